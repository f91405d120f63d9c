#include "server/lumra/LumraServerState.h"

#include <stdexcept>

namespace devserver {

namespace {

std::shared_ptr<lsx::Lumra> requireLumra(std::shared_ptr<lsx::Lumra> lumra)
{
    if (!lumra)
        throw std::invalid_argument("LumraServerState needs a light source");
    return lumra;
}

}  // namespace

LumraServerState::LumraServerState(std::shared_ptr<lsx::Lumra> lumra, uint32_t heartbeatPeriodMs)
    : lumra_(requireLumra(std::move(lumra))),
      name_(lumra_->getDescription().name),
      serial_(lumra_->getDescription().serial),
      reservation_(heartbeatPeriodMs)
{
}

void LumraServerState::markUsed()
{
    reservation_.markUsed();
}

void LumraServerState::setFree()
{
    reservation_.release();
}

bool LumraServerState::isFree() const
{
    return reservation_.isFree();
}

lsx::DeviceEntry LumraServerState::discoveryEntry(const std::string& ip, uint16_t port) const
{
    lsx::DeviceEntry entry;
    entry.type = "lumra";
    entry.ip = ip;
    entry.port = port;
    entry.name = name_;
    entry.serial = serial_;
    entry.free = isFree();
    return entry;
}

}  // namespace devserver
