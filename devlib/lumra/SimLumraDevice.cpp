#include "SimLumraDevice.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>

namespace lumrasim {

namespace {

constexpr uint32_t kFirmwareVersion = (1u << 16) | 4u;
constexpr uint32_t kAmbientTemperatureC = 25;
constexpr uint32_t kHeatPerChannelC = 3;

// Parses a whole decimal number into out; false on anything else.
bool parseUnsigned(const std::string& text, uint32_t& out)
{
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    errno = 0;
    const unsigned long long value = std::strtoull(text.c_str(), nullptr, 10);
    if (errno != 0 || value > 0xFFFFFFFFull)
        return false;
    out = static_cast<uint32_t>(value);
    return true;
}

}  // namespace

SimLumraDevice::SimLumraDevice(const SimLumraSpec& spec)
    : spec_(spec), channelFlags_(spec.channels.size(), 0u)
{
}

int32_t SimLumraDevice::checkAnswering() const
{
    return spec_.failure == SimFailure::NotResponding ? LUMRA_ERR_TIMEOUT : LUMRA_OK;
}

int32_t SimLumraDevice::checkOpenAndAnswering() const
{
    if (!open_)
        return LUMRA_ERR_NOT_OPEN;
    return checkAnswering();
}

int32_t SimLumraDevice::info(uint32_t* type, char* text, uint32_t textSize, uint32_t* status) const
{
    if (text != nullptr) {
        if (textSize <= spec_.connection.size())
            return LUMRA_ERR_WRONG_SIZE;
        std::memcpy(text, spec_.connection.c_str(), spec_.connection.size() + 1);
    }
    if (type != nullptr)
        *type = spec_.model;
    if (status != nullptr) {
        if (spec_.failure == SimFailure::NotResponding)
            *status = LUMRA_STATUS_NOT_RESPONDING;
        else
            *status = open_ ? LUMRA_STATUS_OPEN : LUMRA_STATUS_READY;
    }
    return LUMRA_OK;
}

int32_t SimLumraDevice::open()
{
    if (open_)
        return LUMRA_ERR_BUSY;
    if (spec_.failure != SimFailure::None)
        return LUMRA_ERR_TIMEOUT;
    open_ = true;
    return LUMRA_OK;
}

int32_t SimLumraDevice::close()
{
    if (!open_)
        return LUMRA_ERR_NOT_OPEN;
    open_ = false;
    return LUMRA_OK;
}

int32_t SimLumraDevice::switchOutput(uint32_t output, uint32_t on)
{
    if (const int32_t rc = checkOpenAndAnswering(); rc != LUMRA_OK)
        return rc;
    if (output != 1 || on > 1)
        return LUMRA_ERR_INVALID_ARGUMENT;
    outputOn_ = on == 1;
    return LUMRA_OK;
}

int32_t SimLumraDevice::readStruct(LUMRA_LMStruct* lmStruct) const
{
    if (lmStruct->size != LUMRA_STRUCT_SIZE)
        return LUMRA_ERR_WRONG_SIZE;
    if (const int32_t rc = checkOpenAndAnswering(); rc != LUMRA_OK)
        return rc;
    lmStruct->channelCount = static_cast<int32_t>(spec_.channels.size());
    lmStruct->modelCode = spec_.model;
    lmStruct->firmwareVersion = kFirmwareVersion;
    lmStruct->serial = spec_.serial;
    for (size_t i = 0; i < spec_.channels.size(); ++i) {
        LUMRA_Channel& block = lmStruct->channels[i];
        const SimChannelSpec& channel = spec_.channels[i];
        block.wavelength = channel.wavelength;
        block.exclusivity = channel.exclusivity;
        block.intensity = channel.intensity;
        block.intensityMin = channel.intensityMin;
        block.intensityMax = channel.intensityMax;
        block.flags = channelFlags_[i];
    }
    return LUMRA_OK;
}

int32_t SimLumraDevice::writeStruct(const LUMRA_LMStruct* lmStruct, int32_t channelCount)
{
    if (lmStruct->size != LUMRA_STRUCT_SIZE)
        return LUMRA_ERR_WRONG_SIZE;
    if (const int32_t rc = checkOpenAndAnswering(); rc != LUMRA_OK)
        return rc;
    const size_t count = spec_.channels.size();
    if (channelCount < 0 || static_cast<size_t>(channelCount) != count
        || lmStruct->channelCount != channelCount)
        return LUMRA_ERR_WRONG_SIZE;
    // Validate everything first: the device takes the structure as a whole or not at all.
    std::set<uint32_t> groupsOn;
    for (size_t i = 0; i < count; ++i) {
        const LUMRA_Channel& block = lmStruct->channels[i];
        const SimChannelSpec& channel = spec_.channels[i];
        if (block.intensity < channel.intensityMin || block.intensity > channel.intensityMax)
            return LUMRA_ERR_INVALID_ARGUMENT;
        if ((block.flags & LUMRA_CHANNEL_ON) != 0 && channel.exclusivity != 0
            && !groupsOn.insert(channel.exclusivity).second)
            return LUMRA_ERR_INVALID_ARGUMENT;
    }
    for (size_t i = 0; i < count; ++i) {
        spec_.channels[i].intensity = lmStruct->channels[i].intensity;
        channelFlags_[i] = lmStruct->channels[i].flags;
    }
    return LUMRA_OK;
}

std::string SimLumraDevice::unitStatus() const
{
    uint32_t emitting = 0;
    for (uint32_t flags : channelFlags_)
        emitting += (outputOn_ && (flags & LUMRA_CHANNEL_ON) != 0) ? 1u : 0u;
    const uint32_t temperature = kAmbientTemperatureC + kHeatPerChannelC * emitting;
    return std::to_string(outputOn_ ? 1 : 0) + "," + std::to_string(temperature) + ","
        + std::to_string(spec_.statusWord);
}

int32_t SimLumraDevice::execute(const std::string& command, const std::string& value,
                                std::string& answer)
{
    if (const int32_t rc = checkOpenAndAnswering(); rc != LUMRA_OK)
        return rc;
    if (command == "GetUnitStatus") {
        answer = unitStatus();
    } else if (command == "GetSerial") {
        answer = std::to_string(spec_.serial);
    } else if (command == "GetFirmware") {
        answer = std::to_string(kFirmwareVersion >> 16) + "." + std::to_string(kFirmwareVersion & 0xFFFFu);
    } else if (command == "GetChannelCount") {
        answer = std::to_string(spec_.channels.size());
    } else if (command == "GetWavelength") {
        uint32_t channel = 0;
        if (!parseUnsigned(value, channel) || channel >= spec_.channels.size())
            return LUMRA_ERR_INVALID_ARGUMENT;
        answer = std::to_string(spec_.channels[channel].wavelength);
    } else if (command == "SimSetUnitStatus") {
        uint32_t word = 0;
        if (!parseUnsigned(value, word))
            return LUMRA_ERR_INVALID_ARGUMENT;
        spec_.statusWord = word;
        answer = "OK";
    } else if (command == "SimSetNotResponding") {
        if (!value.empty())
            return LUMRA_ERR_INVALID_ARGUMENT;
        spec_.failure = SimFailure::NotResponding;
        answer = "OK";
    } else {
        return LUMRA_ERR_NOT_SUPPORTED;
    }
    return LUMRA_OK;
}

}  // namespace lumrasim
