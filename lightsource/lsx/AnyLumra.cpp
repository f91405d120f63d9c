#include "lightsource/lsx/AnyLumra.h"

#include <stdexcept>

namespace lsx {

AnyLumra::AnyLumra(std::unique_ptr<Lumra> local) : device_(std::move(local))
{
    if (!std::get<0>(device_))
        throw std::invalid_argument("AnyLumra needs a light source");
}

AnyLumra::AnyLumra(std::unique_ptr<RemoteLumra> remote) : device_(std::move(remote))
{
    if (!std::get<1>(device_))
        throw std::invalid_argument("AnyLumra needs a light source");
}

template <typename Operation>
decltype(auto) AnyLumra::forward(Operation&& operation)
{
    return std::visit([&](auto& device) -> decltype(auto) { return operation(*device); }, device_);
}

bool AnyLumra::isRemote() const
{
    return device_.index() == 1;
}

LumraDescription AnyLumra::getDescription()
{
    return forward([](auto& device) { return device.getDescription(); });
}

LumraConfiguration AnyLumra::getConfiguration()
{
    return forward([](auto& device) { return device.getConfiguration(); });
}

void AnyLumra::setConfiguration(const LumraConfiguration& configuration)
{
    forward([&](auto& device) { device.setConfiguration(configuration); });
}

void AnyLumra::defaultConfiguration()
{
    forward([](auto& device) { device.defaultConfiguration(); });
}

void AnyLumra::switchOn()
{
    forward([](auto& device) { device.switchOn(); });
}

void AnyLumra::switchOff()
{
    forward([](auto& device) { device.switchOff(); });
}

std::string AnyLumra::executeCommand(const std::string& command, const std::string& value)
{
    return forward([&](auto& device) { return device.executeCommand(command, value); });
}

}  // namespace lsx
