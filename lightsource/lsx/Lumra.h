#pragma once

#include "lightsource/lsx/LumraConfiguration.h"
#include "lightsource/lsx/LumraDescription.h"
#include "lightsource/lsx/LumraType.h"

#include <cstdint>
#include <mutex>
#include <string>

namespace lsx {

/// A light source attached to this computer, driven through the lsx_lumra library.
/// Owns the opened device; every operation throws LumraException on failure.
/// Safe to call from several threads at once (the GUI and the panel's health thread).
class Lumra {
public:
    /// Opens a device: type kLumraTypeAny = any model, empty comPort = any port.
    /// The device is left switched off with every channel off.
    explicit Lumra(LumraType type = kLumraTypeAny, const std::string& comPort = std::string());
    /// Switches the device off if it is open and closes it; never throws.
    ~Lumra();
    Lumra(const Lumra&) = delete;
    Lumra& operator=(const Lumra&) = delete;

    /// Serial, connection text, model and per-channel properties.
    LumraDescription getDescription();
    /// Per channel intensity and on state.
    LumraConfiguration getConfiguration();
    /// Checks list sizes and exclusivity, then writes intensities and on states.
    void setConfiguration(const LumraConfiguration& configuration);
    /// Switches the light output on.
    void switchOn();
    /// Switches the light output off.
    void switchOff();
    /// Switches off, then turns every channel off (intensities are kept).
    void defaultConfiguration();
    /// Sends a raw device command; value is passed only when not empty. Returns the answer.
    std::string executeCommand(const std::string& command, const std::string& value);

private:
    static uint64_t selectDevice(LumraType type, const std::string& comPort);
    void switchOutput(bool on);
    void allChannelsOff();

    std::recursive_mutex mutex_; ///< serialises every library call on handle_ (operations nest)
    uint64_t handle_ = 0;        ///< the library's device handle; fixed after construction
};

}  // namespace lsx
