// One simulated light source: its channels, output state and injected faults.
#pragma once

#include "SimLumraSpec.h"
#include "lsx_lumra.h"

#include <cstdint>
#include <string>
#include <vector>

namespace lumrasim {

/// A simulated light source. Not thread safe: the library's registry lock guards every call.
class SimLumraDevice {
public:
    /// Powers the device up as configured: output off, all channels off.
    explicit SimLumraDevice(const SimLumraSpec& spec);

    /// Model code, connection text and status; each out pointer may be null.
    int32_t info(uint32_t* type, char* text, uint32_t textSize, uint32_t* status) const;
    /// Opens the device for one handle.
    int32_t open();
    /// Closes it again; a silent device closes as well (the host side lets go).
    int32_t close();
    /// Switches the light output.
    int32_t switchOutput(uint32_t output, uint32_t on);
    /// Fills the device structure.
    int32_t readStruct(LUMRA_LMStruct* lmStruct) const;
    /// Takes intensities and on flags from the structure, all or nothing.
    int32_t writeStruct(const LUMRA_LMStruct* lmStruct, int32_t channelCount);
    /// Runs a device command; answer receives the reply text.
    int32_t execute(const std::string& command, const std::string& value, std::string& answer);

    /// True while a handle holds the device open.
    bool isOpen() const { return open_; }
    /// The device's serial number.
    uint32_t serial() const { return spec_.serial; }

private:
    int32_t checkAnswering() const;
    int32_t checkOpenAndAnswering() const;
    std::string unitStatus() const;

    SimLumraSpec spec_;                 ///< configuration; channels[i].intensity is the live intensity
    std::vector<uint32_t> channelFlags_; ///< per channel flags, bit 0 = on
    bool outputOn_ = false;             ///< master light output
    bool open_ = false;                 ///< opened by a handle
};

}  // namespace lumrasim
