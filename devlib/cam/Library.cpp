// The C entry points of the simulated camera device library.
//
// Each entry point checks its pointers and record sizes, finds the camera of the
// handle in the registry and hands the call to it. No entry point dereferences a
// handle; every failure is a result code.
#include "kv2_cam.h"

#include "CameraRegistry.h"
#include "CameraDevice.h"
#include "vyk_sim_frames.h"

#include <initializer_list>

using vyksim::CameraRegistry;
using vyksim::CameraDevice;

namespace {

// Runs call on the camera of handle, or returns why there is none.
template <typename Fn>
int32_t withCamera(VYK_HANDLE handle, Fn call)
{
    int32_t result = VYK_NOERROR;
    std::shared_ptr<CameraDevice> camera = CameraRegistry::instance().find(handle, result);
    if (!camera)
        return result;
    return call(*camera);
}

// True when every pointer is set.
bool allSet(std::initializer_list<const void*> pointers)
{
    for (const void* p : pointers) {
        if (p == nullptr)
            return false;
    }
    return true;
}

// Checks a record pointer and its size field, then runs call on the camera.
template <typename Record, typename Fn>
int32_t withRecord(VYK_HANDLE handle, Record* record, Fn call)
{
    if (record == nullptr)
        return VYK_ERR_NULL_POINTER;
    if (record->wSize != sizeof(Record))
        return VYK_ERR_WRONG_SIZE;
    return withCamera(handle, [&](CameraDevice& camera) { return call(camera, *record); });
}

} // namespace

extern "C" {

int32_t VYK_InitializeLib(void)
{
    return CameraRegistry::instance().initialize();
}

int32_t VYK_CleanupLib(void)
{
    return CameraRegistry::instance().cleanup();
}

int32_t VYK_ResetLib(void)
{
    return CameraRegistry::instance().reset();
}

int32_t VYK_OpenCamera(VYK_HANDLE* handle, VYK_OpenStruct* open)
{
    if (!allSet({handle, open}))
        return VYK_ERR_NULL_POINTER;
    if (open->wSize != sizeof(VYK_OpenStruct))
        return VYK_ERR_WRONG_SIZE;
    VYK_HANDLE opened = nullptr;
    const int32_t result = CameraRegistry::instance().open(*open, opened);
    *handle = VYK_FAILED(result) ? nullptr : opened;
    return result;
}

int32_t VYK_CloseCamera(VYK_HANDLE handle)
{
    return CameraRegistry::instance().close(handle);
}

int32_t VYK_GetCameraDescription(VYK_HANDLE handle, VYK_Description* description)
{
    return withRecord(handle, description, [](CameraDevice& c, VYK_Description& d) { return c.description(d); });
}

int32_t VYK_GetCameraDescription2(VYK_HANDLE handle, VYK_Description2* description)
{
    return withRecord(handle, description, [](CameraDevice& c, VYK_Description2& d) { return c.description2(d); });
}

int32_t VYK_GetCameraType(VYK_HANDLE handle, VYK_CameraType* type)
{
    return withRecord(handle, type, [](CameraDevice& c, VYK_CameraType& t) { return c.cameraType(t); });
}

int32_t VYK_GetCameraName(VYK_HANDLE handle, char* name, uint16_t length)
{
    if (name == nullptr)
        return VYK_ERR_NULL_POINTER;
    if (length == 0)
        return VYK_ERR_WRONG_SIZE;
    return withCamera(handle, [&](CameraDevice& c) { return c.name(name, length); });
}

int32_t VYK_GetCameraHealthStatus(VYK_HANDLE handle, uint32_t* warnings, uint32_t* errors, uint32_t* status)
{
    return withCamera(handle, [&](CameraDevice& c) { return c.health(warnings, errors, status); });
}

int32_t VYK_ArmCamera(VYK_HANDLE handle)
{
    return withCamera(handle, [](CameraDevice& c) { return c.arm(); });
}

int32_t VYK_ResetSettingsToDefault(VYK_HANDLE handle)
{
    return withCamera(handle, [](CameraDevice& c) { return c.resetToDefaults(); });
}

int32_t VYK_GetTransferMode(VYK_HANDLE handle, uint16_t* mode)
{
    if (mode == nullptr)
        return VYK_ERR_NULL_POINTER;
    return withCamera(handle, [&](CameraDevice& c) { return c.transferMode(mode); });
}

int32_t VYK_SetTransferMode(VYK_HANDLE handle, uint16_t mode)
{
    return withCamera(handle, [&](CameraDevice& c) { return c.setTransferMode(mode); });
}

int32_t VYK_GetDelayExposureTime(VYK_HANDLE handle, uint32_t* delay, uint32_t* exposure, uint16_t* delayBase,
                                 uint16_t* exposureBase)
{
    if (!allSet({delay, exposure, delayBase, exposureBase}))
        return VYK_ERR_NULL_POINTER;
    return withCamera(handle, [&](CameraDevice& c) { return c.delayExposure(delay, exposure, delayBase, exposureBase); });
}

int32_t VYK_SetDelayExposureTime(VYK_HANDLE handle, uint32_t delay, uint32_t exposure, uint16_t delayBase,
                                 uint16_t exposureBase)
{
    return withCamera(handle,
                      [&](CameraDevice& c) { return c.setDelayExposure(delay, exposure, delayBase, exposureBase); });
}

int32_t VYK_GetFrameTime(VYK_HANDLE handle, uint32_t* seconds, uint32_t* nanoseconds)
{
    if (!allSet({seconds, nanoseconds}))
        return VYK_ERR_NULL_POINTER;
    return withCamera(handle, [&](CameraDevice& c) { return c.frameTime(seconds, nanoseconds); });
}

int32_t VYK_GetPixelRate(VYK_HANDLE handle, uint32_t* rate)
{
    if (rate == nullptr)
        return VYK_ERR_NULL_POINTER;
    return withCamera(handle, [&](CameraDevice& c) { return c.pixelRate(rate); });
}

int32_t VYK_SetPixelRate(VYK_HANDLE handle, uint32_t rate)
{
    return withCamera(handle, [&](CameraDevice& c) { return c.setPixelRate(rate); });
}

int32_t VYK_GetROI(VYK_HANDLE handle, uint16_t* x0, uint16_t* y0, uint16_t* x1, uint16_t* y1)
{
    if (!allSet({x0, y0, x1, y1}))
        return VYK_ERR_NULL_POINTER;
    return withCamera(handle, [&](CameraDevice& c) { return c.roi(x0, y0, x1, y1); });
}

int32_t VYK_SetROI(VYK_HANDLE handle, uint16_t x0, uint16_t y0, uint16_t x1, uint16_t y1)
{
    return withCamera(handle, [&](CameraDevice& c) { return c.setRoi(x0, y0, x1, y1); });
}

int32_t VYK_GetBinning(VYK_HANDLE handle, uint16_t* horz, uint16_t* vert)
{
    if (!allSet({horz, vert}))
        return VYK_ERR_NULL_POINTER;
    return withCamera(handle, [&](CameraDevice& c) { return c.binning(horz, vert); });
}

int32_t VYK_SetBinning(VYK_HANDLE handle, uint16_t horz, uint16_t vert)
{
    return withCamera(handle, [&](CameraDevice& c) { return c.setBinning(horz, vert); });
}

int32_t VYK_GetSensorFormat(VYK_HANDLE handle, uint16_t* format)
{
    if (format == nullptr)
        return VYK_ERR_NULL_POINTER;
    return withCamera(handle, [&](CameraDevice& c) { return c.sensorFormat(format); });
}

int32_t VYK_SetSensorFormat(VYK_HANDLE handle, uint16_t format)
{
    return withCamera(handle, [&](CameraDevice& c) { return c.setSensorFormat(format); });
}

int32_t VYK_GetConversionFactor(VYK_HANDLE handle, uint16_t* factor)
{
    if (factor == nullptr)
        return VYK_ERR_NULL_POINTER;
    return withCamera(handle, [&](CameraDevice& c) { return c.conversionFactor(factor); });
}

int32_t VYK_SetConversionFactor(VYK_HANDLE handle, uint16_t factor)
{
    return withCamera(handle, [&](CameraDevice& c) { return c.setConversionFactor(factor); });
}

int32_t VYK_GetPixelFormat(VYK_HANDLE handle, uint32_t* current, uint32_t* supported)
{
    if (!allSet({current, supported}))
        return VYK_ERR_NULL_POINTER;
    return withCamera(handle, [&](CameraDevice& c) { return c.pixelFormat(current, supported); });
}

int32_t VYK_SetPixelFormat(VYK_HANDLE handle, uint32_t flag)
{
    return withCamera(handle, [&](CameraDevice& c) { return c.setPixelFormat(flag); });
}

int32_t VYK_GetNoiseFilterMode(VYK_HANDLE handle, uint16_t* mode)
{
    if (mode == nullptr)
        return VYK_ERR_NULL_POINTER;
    return withCamera(handle, [&](CameraDevice& c) { return c.noiseFilter(mode); });
}

int32_t VYK_SetNoiseFilterMode(VYK_HANDLE handle, uint16_t mode)
{
    return withCamera(handle, [&](CameraDevice& c) { return c.setNoiseFilter(mode); });
}

int32_t VYK_GetDarkOffset(VYK_HANDLE handle, uint16_t* offset)
{
    if (offset == nullptr)
        return VYK_ERR_NULL_POINTER;
    return withCamera(handle, [&](CameraDevice& c) { return c.darkOffset(offset); });
}

int32_t VYK_GetDoubleImageMode(VYK_HANDLE handle, uint16_t* mode)
{
    if (mode == nullptr)
        return VYK_ERR_NULL_POINTER;
    return withCamera(handle, [&](CameraDevice& c) { return c.doubleImage(mode); });
}

int32_t VYK_SetDoubleImageMode(VYK_HANDLE handle, uint16_t mode)
{
    return withCamera(handle, [&](CameraDevice& c) { return c.setDoubleImage(mode); });
}

int32_t VYK_GetAltSensitivityMode(VYK_HANDLE handle, uint16_t* mode)
{
    if (mode == nullptr)
        return VYK_ERR_NULL_POINTER;
    return withCamera(handle, [&](CameraDevice& c) { return c.altSensitivity(mode); });
}

int32_t VYK_SetAltSensitivityMode(VYK_HANDLE handle, uint16_t mode)
{
    return withCamera(handle, [&](CameraDevice& c) { return c.setAltSensitivity(mode); });
}

int32_t VYK_GetColorSetting(VYK_HANDLE handle, uint16_t* setting)
{
    if (setting == nullptr)
        return VYK_ERR_NULL_POINTER;
    return withCamera(handle, [&](CameraDevice& c) { return c.colorSetting(setting); });
}

int32_t VYK_GetColorMatrix(VYK_HANDLE handle, double matrix[9])
{
    if (matrix == nullptr)
        return VYK_ERR_NULL_POINTER;
    return withCamera(handle, [&](CameraDevice& c) { return c.colorMatrix(matrix); });
}

int32_t VYK_GetTimestampMode(VYK_HANDLE handle, uint16_t* mode)
{
    if (mode == nullptr)
        return VYK_ERR_NULL_POINTER;
    return withCamera(handle, [&](CameraDevice& c) { return c.timestampMode(mode); });
}

int32_t VYK_SetTimestampMode(VYK_HANDLE handle, uint16_t mode)
{
    return withCamera(handle, [&](CameraDevice& c) { return c.setTimestampMode(mode); });
}

int32_t VYK_GetMetaDataMode(VYK_HANDLE handle, uint16_t* mode, uint16_t* size, uint16_t* version)
{
    return withCamera(handle, [&](CameraDevice& c) { return c.metadataMode(mode, size, version); });
}

int32_t VYK_SetMetaDataMode(VYK_HANDLE handle, uint16_t mode, uint16_t* size, uint16_t* version)
{
    return withCamera(handle, [&](CameraDevice& c) { return c.setMetadataMode(mode, size, version); });
}

int32_t VYK_GetTriggerMode(VYK_HANDLE handle, uint16_t* mode)
{
    if (mode == nullptr)
        return VYK_ERR_NULL_POINTER;
    return withCamera(handle, [&](CameraDevice& c) { return c.triggerMode(mode); });
}

int32_t VYK_SetTriggerMode(VYK_HANDLE handle, uint16_t mode)
{
    return withCamera(handle, [&](CameraDevice& c) { return c.setTriggerMode(mode); });
}

int32_t VYK_ForceTrigger(VYK_HANDLE handle, uint16_t* accepted)
{
    if (accepted == nullptr)
        return VYK_ERR_NULL_POINTER;
    *accepted = 0;
    return withCamera(handle, [&](CameraDevice& c) { return c.forceTrigger(accepted); });
}

int32_t VYK_GetAcquireMode(VYK_HANDLE handle, uint16_t* mode)
{
    if (mode == nullptr)
        return VYK_ERR_NULL_POINTER;
    return withCamera(handle, [&](CameraDevice& c) { return c.acquireMode(mode); });
}

int32_t VYK_SetAcquireMode(VYK_HANDLE handle, uint16_t mode)
{
    return withCamera(handle, [&](CameraDevice& c) { return c.setAcquireMode(mode); });
}

int32_t VYK_GetAcquireModeEx(VYK_HANDLE handle, uint16_t* mode, uint32_t* number)
{
    if (!allSet({mode, number}))
        return VYK_ERR_NULL_POINTER;
    return withCamera(handle, [&](CameraDevice& c) { return c.acquireModeEx(mode, number); });
}

int32_t VYK_SetAcquireModeEx(VYK_HANDLE handle, uint16_t mode, uint32_t number)
{
    return withCamera(handle, [&](CameraDevice& c) { return c.setAcquireModeEx(mode, number); });
}

int32_t VYK_GetRecordingState(VYK_HANDLE handle, uint16_t* state)
{
    if (state == nullptr)
        return VYK_ERR_NULL_POINTER;
    return withCamera(handle, [&](CameraDevice& c) { return c.recordingState(state); });
}

int32_t VYK_SetRecordingState(VYK_HANDLE handle, uint16_t state)
{
    return withCamera(handle, [&](CameraDevice& c) { return c.setRecordingState(state); });
}

int32_t VYK_GetCameraRamSize(VYK_HANDLE handle, VYK_RamSize* ramSize)
{
    return withRecord(handle, ramSize, [](CameraDevice& c, VYK_RamSize& r) { return c.ramSize(r); });
}

int32_t VYK_GetCameraRamSegmentSize(VYK_HANDLE handle, uint32_t sizes[VYK_RAM_SEGMENTS])
{
    if (sizes == nullptr)
        return VYK_ERR_NULL_POINTER;
    return withCamera(handle, [&](CameraDevice& c) { return c.segmentSizes(sizes); });
}

int32_t VYK_SetCameraRamSegmentSize(VYK_HANDLE handle, const uint32_t sizes[VYK_RAM_SEGMENTS])
{
    if (sizes == nullptr)
        return VYK_ERR_NULL_POINTER;
    return withCamera(handle, [&](CameraDevice& c) { return c.setSegmentSizes(sizes); });
}

int32_t VYK_GetActiveRamSegment(VYK_HANDLE handle, uint16_t* segment)
{
    if (segment == nullptr)
        return VYK_ERR_NULL_POINTER;
    return withCamera(handle, [&](CameraDevice& c) { return c.activeSegment(segment); });
}

int32_t VYK_SetActiveRamSegment(VYK_HANDLE handle, uint16_t segment)
{
    return withCamera(handle, [&](CameraDevice& c) { return c.setActiveSegment(segment); });
}

int32_t VYK_GetNumberOfImagesInSegment(VYK_HANDLE handle, uint16_t segment, uint32_t* valid, uint32_t* maximum)
{
    if (!allSet({valid, maximum}))
        return VYK_ERR_NULL_POINTER;
    return withCamera(handle, [&](CameraDevice& c) { return c.segmentImages(segment, valid, maximum); });
}

int32_t VYK_GetStorageMode(VYK_HANDLE handle, uint16_t* mode)
{
    if (mode == nullptr)
        return VYK_ERR_NULL_POINTER;
    return withCamera(handle, [&](CameraDevice& c) { return c.storageMode(mode); });
}

int32_t VYK_SetStorageMode(VYK_HANDLE handle, uint16_t mode)
{
    return withCamera(handle, [&](CameraDevice& c) { return c.setStorageMode(mode); });
}

int32_t VYK_GetRecorderSubmode(VYK_HANDLE handle, uint16_t* mode)
{
    if (mode == nullptr)
        return VYK_ERR_NULL_POINTER;
    return withCamera(handle, [&](CameraDevice& c) { return c.recorderSubmode(mode); });
}

int32_t VYK_SetRecorderSubmode(VYK_HANDLE handle, uint16_t mode)
{
    return withCamera(handle, [&](CameraDevice& c) { return c.setRecorderSubmode(mode); });
}

int32_t VYK_ReleaseOptionalResource(VYK_HANDLE handle)
{
    return withCamera(handle, [](CameraDevice& c) { return c.releaseOptionalResource(); });
}

} // extern "C"

namespace vyksim {

int32_t simSetFrameSink(VYK_HANDLE camera, FrameSink sink)
{
    return withCamera(camera, [&](CameraDevice& c) { return c.setSink(std::move(sink)); });
}

int32_t simReadCamRamImage(VYK_HANDLE camera, uint16_t segment, uint32_t index, SimFrame& out)
{
    return withCamera(camera, [&](CameraDevice& c) { return c.readCamRam(segment, index, out); });
}

int32_t simCamRamImageCounts(VYK_HANDLE camera, uint16_t segment, uint32_t* valid, uint32_t* maximum)
{
    if (!allSet({valid, maximum}))
        return VYK_ERR_NULL_POINTER;
    return withCamera(camera, [&](CameraDevice& c) { return c.segmentImages(segment, valid, maximum); });
}

int32_t simImageFormat(VYK_HANDLE camera, uint32_t* width, uint32_t* height, uint16_t* bitDepth)
{
    if (!allSet({width, height, bitDepth}))
        return VYK_ERR_NULL_POINTER;
    return withCamera(camera, [&](CameraDevice& c) { return c.imageFormat(width, height, bitDepth); });
}

int32_t simRenderFrame(VYK_HANDLE camera, SimFrame& out)
{
    return withCamera(camera, [&](CameraDevice& c) { return c.renderFrame(out); });
}

int32_t simStreamCounts(VYK_HANDLE camera, uint64_t* completed, uint64_t* incomplete, uint64_t* underruns)
{
    if (!allSet({completed, incomplete, underruns}))
        return VYK_ERR_NULL_POINTER;
    return withCamera(camera, [&](CameraDevice& c) { return c.streamCounts(completed, incomplete, underruns); });
}

} // namespace vyksim
