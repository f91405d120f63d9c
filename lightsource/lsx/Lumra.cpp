#include "lightsource/lsx/Lumra.h"

#include "lightsource/lsx/LumraException.h"
#include "lightsource/lsx/LumraLogPath.h"
#include "lsx_lumra.h"

#include <fstream>
#include <set>
#include <vector>

namespace lsx {

namespace {

constexpr uint32_t kLogBits = 0x707F;
constexpr uint32_t kLogModeFile = 1;
constexpr uint32_t kSwitchOutput = 1;
constexpr uint32_t kScanCapacity = 256;
constexpr uint32_t kInfoTextSize = 260;
constexpr uint32_t kAnswerSize = 1024;

// Appends the banner to the library's log file and points the library at it.
// Logging is best effort: a light source stays usable when its log cannot be written.
void startLibraryLogging()
{
    LUMRA_SetLogBits(kLogBits);
    const std::string path = lumraLogFilePath();
    if (path.empty())
        return;
    {
        std::ofstream log(path, std::ios::out | std::ios::app);
        log << "==================== vyk.lumra logging started from high-level SDK vyk.cpp "
               "===============\n";
    }
    LUMRA_SetLogMode(kLogModeFile);
    LUMRA_SetLogFile(path.c_str());
}

// What the library reports about one listed device.
struct DeviceInfo {
    LUMRA_HANDLE handle = 0;
    uint32_t type = kLumraTypeAny;
    std::string connection;
    uint32_t status = LUMRA_STATUS_NOT_RESPONDING;
    bool readable = false; ///< the info call succeeded
};

std::vector<DeviceInfo> scanDevices()
{
    std::vector<LUMRA_HANDLE> handles(kScanCapacity);
    uint32_t count = 0;
    LumraException::throwIfFailed(LUMRA_ScanDevices(handles.data(), kScanCapacity, &count));
    std::vector<DeviceInfo> devices;
    for (uint32_t i = 0; i < count && i < kScanCapacity; ++i) {
        DeviceInfo info;
        info.handle = handles[i];
        char text[kInfoTextSize] = {};
        info.readable = !LumraException::isFailure(
            LUMRA_GetDeviceInfo(handles[i], &info.type, text, kInfoTextSize, &info.status));
        info.connection = text;
        devices.push_back(info);
    }
    return devices;
}

bool isReady(const DeviceInfo& info)
{
    return info.readable && info.status == LUMRA_STATUS_READY;
}

LUMRA_LMStruct readStruct(LUMRA_HANDLE handle)
{
    LUMRA_LMStruct lmStruct{};
    lmStruct.size = LUMRA_STRUCT_SIZE;
    LumraException::throwIfFailed(LUMRA_GetLMStruct(handle, &lmStruct));
    return lmStruct;
}

size_t channelCount(const LUMRA_LMStruct& lmStruct)
{
    if (lmStruct.channelCount < 0 || lmStruct.channelCount > LUMRA_MAX_CHANNELS)
        throw LumraException("Device reports an invalid number of channels.", LumraException::kBadConfiguration);
    return static_cast<size_t>(lmStruct.channelCount);
}

}  // namespace

uint64_t Lumra::selectDevice(LumraType type, const std::string& comPort)
{
    const std::vector<DeviceInfo> devices = scanDevices();
    const DeviceInfo* portDevice = nullptr;
    if (!comPort.empty()) {
        for (const DeviceInfo& info : devices) {
            if (isReady(info) && info.connection == comPort) {
                portDevice = &info;
                break;
            }
        }
        if (portDevice == nullptr)
            throw LumraException(LumraException::kNoDevice);
    }
    if (type == kLumraTypeAny) {
        if (portDevice != nullptr)
            return portDevice->handle;
        for (const DeviceInfo& info : devices) {
            if (isReady(info))
                return info.handle;
        }
        throw LumraException(LumraException::kNoDevice);
    }
    // A specific model: with a port, the device at that port must be of that model
    // (another device of the same model elsewhere does not make it a mismatch).
    if (portDevice != nullptr) {
        if (portDevice->type != type) {
            throw LumraException("LumraType does not match connected device at specific COM port",
                                 LumraException::kNoDevice);
        }
        return portDevice->handle;
    }
    for (const DeviceInfo& info : devices) {
        if (isReady(info) && info.type == type)
            return info.handle;
    }
    throw LumraException(LumraException::kNoDevice);
}

Lumra::Lumra(LumraType type, const std::string& comPort)
{
    startLibraryLogging();
    const uint64_t handle = selectDevice(type, comPort);
    LumraException::throwIfFailed(LUMRA_OpenDeviceEx(handle));
    handle_ = handle;
    try {
        switchOutput(false);
        allChannelsOff();
    } catch (...) {
        // The destructor does not run for a failed constructor: release the device here.
        LUMRA_CloseDevice(handle_);
        throw;
    }
}

Lumra::~Lumra()
{
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    uint32_t status = LUMRA_STATUS_READY;
    const int32_t infoResult = LUMRA_GetDeviceInfo(handle_, nullptr, nullptr, 0, &status);
    if (!LumraException::isFailure(infoResult) && status == LUMRA_STATUS_OPEN)
        LUMRA_SwitchLumra(handle_, kSwitchOutput, 0); // a failure here changes nothing: close anyway
    LUMRA_CloseDevice(handle_);
}

LumraDescription Lumra::getDescription()
{
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    const LUMRA_LMStruct lmStruct = readStruct(handle_);
    LumraDescription description;
    description.serial = lmStruct.serial;
    char text[kInfoTextSize] = {};
    LumraException::throwIfFailed(LUMRA_GetDeviceInfo(handle_, nullptr, text, kInfoTextSize, nullptr));
    description.com_port = text;
    uint32_t type = kLumraTypeAny;
    LumraException::throwIfFailed(LUMRA_GetDeviceInfo(handle_, &type, nullptr, 0, nullptr));
    description.type = type;
    description.name = lumraTypeName(type);
    const size_t count = channelCount(lmStruct);
    for (size_t i = 0; i < count; ++i) {
        const LUMRA_Channel& channel = lmStruct.channels[i];
        description.wavelengths.push_back(channel.wavelength);
        description.exclusivity.push_back(channel.exclusivity);
        description.intensity_max.push_back(channel.intensityMax);
        description.intensity_min.push_back(channel.intensityMin);
    }
    return description;
}

LumraConfiguration Lumra::getConfiguration()
{
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    const LUMRA_LMStruct lmStruct = readStruct(handle_);
    LumraConfiguration configuration;
    const size_t count = channelCount(lmStruct);
    for (size_t i = 0; i < count; ++i) {
        configuration.intensities.push_back(lmStruct.channels[i].intensity);
        configuration.on_states.push_back((lmStruct.channels[i].flags & LUMRA_CHANNEL_ON) != 0);
    }
    return configuration;
}

void Lumra::setConfiguration(const LumraConfiguration& configuration)
{
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    const LumraDescription description = getDescription();
    const size_t channels = description.wavelengths.size();
    if (configuration.intensities.size() != channels) {
        throw LumraException("Wrong size of intensities vector. Must match number of channels.",
                             LumraException::kBadConfiguration);
    }
    if (configuration.on_states.size() != channels) {
        throw LumraException("Wrong size of on_states vector. Must match number of channels.",
                             LumraException::kBadConfiguration);
    }
    std::set<uint32_t> groupsOn;
    for (size_t i = 0; i < channels; ++i) {
        if (!configuration.on_states[i])
            continue;
        const uint32_t group = description.exclusivity[i];
        if (groupsOn.count(group) != 0) {
            throw LumraException("Just single wavelength from exclusive list can be set.",
                                 LumraException::kBadConfiguration);
        }
        if (group != 0)
            groupsOn.insert(group);
    }
    LUMRA_LMStruct lmStruct = readStruct(handle_);
    const size_t count = channelCount(lmStruct);
    for (size_t i = 0; i < count && i < channels; ++i) {
        LUMRA_Channel& channel = lmStruct.channels[i];
        channel.intensity = configuration.intensities[i];
        channel.flags = configuration.on_states[i] ? (channel.flags | LUMRA_CHANNEL_ON)
                                                   : (channel.flags & ~LUMRA_CHANNEL_ON);
    }
    LumraException::throwIfFailed(LUMRA_SetLMStruct(handle_, &lmStruct, lmStruct.channelCount));
}

void Lumra::switchOutput(bool on)
{
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    LumraException::throwIfFailed(LUMRA_SwitchLumra(handle_, kSwitchOutput, on ? 1u : 0u));
}

void Lumra::switchOn()
{
    switchOutput(true);
}

void Lumra::switchOff()
{
    switchOutput(false);
}

void Lumra::allChannelsOff()
{
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    LumraConfiguration configuration = getConfiguration();
    configuration.on_states.assign(configuration.on_states.size(), false);
    setConfiguration(configuration);
}

void Lumra::defaultConfiguration()
{
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    switchOff();
    allChannelsOff();
}

std::string Lumra::executeCommand(const std::string& command, const std::string& value)
{
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    char answer[kAnswerSize] = {};
    LumraException::throwIfFailed(LUMRA_ExecuteCommandWithValue(handle_, command.c_str(), answer, kAnswerSize,
                                                                value.empty() ? nullptr : value.c_str()));
    return answer;
}

}  // namespace lsx
