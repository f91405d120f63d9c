// The C entry points of lsx_lumra: argument checks, logging, and the registry.
#include "LumraLog.h"
#include "LumraRegistry.h"
#include "lsx_lumra.h"

#include <cstring>
#include <sstream>
#include <string>

using lumrasim::LumraLog;
using lumrasim::LumraRegistry;
using lumrasim::SimLumraDevice;

namespace {

std::string handleText(LUMRA_HANDLE handle)
{
    std::ostringstream out;
    out << "0x" << std::hex << handle;
    return out.str();
}

// Runs call on the device, logs "function(handle extra)" under category and returns the code.
int32_t deviceCall(const char* function, uint32_t category, LUMRA_HANDLE handle, const std::string& extra,
                   const std::function<int32_t(SimLumraDevice&)>& call)
{
    const int32_t result = LumraRegistry::instance().withDevice(handle, call);
    LumraLog::instance().write(category,
                               std::string(function) + "(" + handleText(handle) + extra + ")", result);
    return result;
}

}  // namespace

extern "C" int32_t LUMRA_ScanDevices(LUMRA_HANDLE* handles, uint32_t capacity, uint32_t* count)
{
    const int32_t result = LumraRegistry::instance().scan(handles, capacity, count);
    LumraLog::instance().write(lumrasim::kLogOpenClose,
                               "LUMRA_ScanDevices(capacity " + std::to_string(capacity) + ", found "
                                   + std::to_string(result == LUMRA_OK ? *count : 0u) + ")",
                               result);
    return result;
}

extern "C" int32_t LUMRA_GetDeviceInfo(LUMRA_HANDLE handle, uint32_t* type, char* text, uint32_t textSize,
                                       uint32_t* status)
{
    return deviceCall("LUMRA_GetDeviceInfo", lumrasim::kLogInfo, handle, "",
                      [&](SimLumraDevice& device) { return device.info(type, text, textSize, status); });
}

extern "C" int32_t LUMRA_OpenDeviceEx(LUMRA_HANDLE handle)
{
    return deviceCall("LUMRA_OpenDeviceEx", lumrasim::kLogOpenClose, handle, "",
                      [](SimLumraDevice& device) { return device.open(); });
}

extern "C" int32_t LUMRA_CloseDevice(LUMRA_HANDLE handle)
{
    return deviceCall("LUMRA_CloseDevice", lumrasim::kLogOpenClose, handle, "",
                      [](SimLumraDevice& device) { return device.close(); });
}

extern "C" int32_t LUMRA_SwitchLumra(LUMRA_HANDLE handle, uint32_t output, uint32_t on)
{
    return deviceCall("LUMRA_SwitchLumra", lumrasim::kLogSwitch, handle,
                      ", " + std::to_string(output) + ", " + std::to_string(on),
                      [&](SimLumraDevice& device) { return device.switchOutput(output, on); });
}

extern "C" int32_t LUMRA_GetLMStruct(LUMRA_HANDLE handle, LUMRA_LMStruct* lmStruct)
{
    return deviceCall("LUMRA_GetLMStruct", lumrasim::kLogStruct, handle, "", [&](SimLumraDevice& device) {
        return lmStruct == nullptr ? LUMRA_ERR_NULL_POINTER : device.readStruct(lmStruct);
    });
}

extern "C" int32_t LUMRA_SetLMStruct(LUMRA_HANDLE handle, const LUMRA_LMStruct* lmStruct, int32_t channelCount)
{
    return deviceCall("LUMRA_SetLMStruct", lumrasim::kLogStruct, handle,
                      ", channels " + std::to_string(channelCount), [&](SimLumraDevice& device) {
                          return lmStruct == nullptr ? LUMRA_ERR_NULL_POINTER
                                                     : device.writeStruct(lmStruct, channelCount);
                      });
}

extern "C" int32_t LUMRA_ExecuteCommandWithValue(LUMRA_HANDLE handle, const char* command, char* answer,
                                                 uint32_t answerSize, const char* value)
{
    const std::string commandText = command == nullptr ? "" : command;
    const std::string valueText = value == nullptr ? "" : value;
    return deviceCall("LUMRA_ExecuteCommandWithValue", lumrasim::kLogCommand, handle,
                      ", \"" + commandText + "\", \"" + valueText + "\"", [&](SimLumraDevice& device) {
                          if (command == nullptr || answer == nullptr)
                              return LUMRA_ERR_NULL_POINTER;
                          std::string reply;
                          const int32_t rc = device.execute(commandText, valueText, reply);
                          if (rc != LUMRA_OK)
                              return rc;
                          if (answerSize <= reply.size())
                              return LUMRA_ERR_WRONG_SIZE;
                          std::memcpy(answer, reply.c_str(), reply.size() + 1);
                          return LUMRA_OK;
                      });
}

extern "C" int32_t LUMRA_SetLogBits(uint32_t bits)
{
    LumraLog::instance().setBits(bits);
    return LUMRA_OK;
}

extern "C" int32_t LUMRA_SetLogMode(uint32_t mode)
{
    if (mode > 1)
        return LUMRA_ERR_INVALID_ARGUMENT;
    LumraLog::instance().setMode(mode);
    return LUMRA_OK;
}

extern "C" int32_t LUMRA_SetLogFile(const char* path)
{
    return LumraLog::instance().setFile(path == nullptr ? "" : path) ? LUMRA_OK : LUMRA_ERR_FILE_IO;
}
