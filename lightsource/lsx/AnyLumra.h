#pragma once

#include "lightsource/lsx/Lumra.h"
#include "lightsource/lsx/RemoteLumra.h"

#include <memory>
#include <string>
#include <variant>

namespace lsx {

/// The light-source handle: owns a local or a remote light source and forwards every
/// operation to it. Shared as std::shared_ptr<AnyLumra>; adds no locking of its own.
class AnyLumra {
public:
    /// Holds a local light source; throws std::invalid_argument for null.
    explicit AnyLumra(std::unique_ptr<Lumra> local);
    /// Holds a remote light source; throws std::invalid_argument for null.
    explicit AnyLumra(std::unique_ptr<RemoteLumra> remote);

    /// True when the handle holds a remote light source.
    bool isRemote() const;

    /// See Lumra::getDescription / RemoteLumra::getDescription.
    LumraDescription getDescription();
    /// See Lumra::getConfiguration.
    LumraConfiguration getConfiguration();
    /// See Lumra::setConfiguration.
    void setConfiguration(const LumraConfiguration& configuration);
    /// See Lumra::defaultConfiguration.
    void defaultConfiguration();
    /// See Lumra::switchOn.
    void switchOn();
    /// See Lumra::switchOff.
    void switchOff();
    /// See Lumra::executeCommand.
    std::string executeCommand(const std::string& command, const std::string& value);

private:
    template <typename Operation>
    decltype(auto) forward(Operation&& operation);

    std::variant<std::unique_ptr<Lumra>, std::unique_ptr<RemoteLumra>> device_; ///< 0 = local, 1 = remote
};

}  // namespace lsx
