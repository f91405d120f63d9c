// The operations every kind of camera device offers the C entry points.
#ifndef VYKSIM_CAMERA_DEVICE_H
#define VYKSIM_CAMERA_DEVICE_H

#include "kv2_cam.h"
#include "vyk_sim_frames.h"

#include <cstdint>

namespace vyksim {

// One open camera, simulated or real. Every operation returns a VYK_* result code and may be
// called from any thread; the meaning of each is that of the C entry point of the same name
// in kv2_cam.h. A device that has no counterpart for an operation answers
// VYK_ERR_NOT_SUPPORTED (or VYK_ERR_NO_CAMERA_RAM for the camera RAM operations).
class CameraDevice {
public:
    virtual ~CameraDevice() = default;

    // Stops taking images and releases the device; afterwards every call fails with
    // VYK_ERR_INVALID_HANDLE. Returns VYK_ERR_DEVICE_TIMEOUT when the device had stopped answering.
    virtual int32_t shutdown() = 0;
    virtual uint32_t serial() const = 0;                                 // serial number, fixed while open
    virtual uint16_t interfaceType() const = 0;                          // VYK_INTERFACE_*

    virtual int32_t description(VYK_Description& out) = 0;
    virtual int32_t description2(VYK_Description2& out) = 0;
    virtual int32_t cameraType(VYK_CameraType& out) = 0;
    virtual int32_t name(char* out, uint16_t length) = 0;
    virtual int32_t health(uint32_t* warnings, uint32_t* errors, uint32_t* status) = 0;
    virtual int32_t arm() = 0;
    virtual int32_t resetToDefaults() = 0;
    virtual int32_t transferMode(uint16_t* mode) = 0;
    virtual int32_t setTransferMode(uint16_t mode) = 0;
    virtual int32_t delayExposure(uint32_t* delay, uint32_t* exposure, uint16_t* delayBase,
                                  uint16_t* exposureBase) = 0;
    virtual int32_t setDelayExposure(uint32_t delay, uint32_t exposure, uint16_t delayBase,
                                     uint16_t exposureBase) = 0;
    virtual int32_t frameTime(uint32_t* seconds, uint32_t* nanoseconds) = 0;
    virtual int32_t pixelRate(uint32_t* rate) = 0;
    virtual int32_t setPixelRate(uint32_t rate) = 0;
    virtual int32_t roi(uint16_t* x0, uint16_t* y0, uint16_t* x1, uint16_t* y1) = 0;
    virtual int32_t setRoi(uint16_t x0, uint16_t y0, uint16_t x1, uint16_t y1) = 0;
    virtual int32_t binning(uint16_t* horz, uint16_t* vert) = 0;
    virtual int32_t setBinning(uint16_t horz, uint16_t vert) = 0;
    virtual int32_t sensorFormat(uint16_t* format) = 0;
    virtual int32_t setSensorFormat(uint16_t format) = 0;
    virtual int32_t conversionFactor(uint16_t* factor) = 0;
    virtual int32_t setConversionFactor(uint16_t factor) = 0;
    virtual int32_t pixelFormat(uint32_t* current, uint32_t* supported) = 0;
    virtual int32_t setPixelFormat(uint32_t flag) = 0;
    virtual int32_t noiseFilter(uint16_t* mode) = 0;
    virtual int32_t setNoiseFilter(uint16_t mode) = 0;
    virtual int32_t darkOffset(uint16_t* offset) = 0;
    virtual int32_t doubleImage(uint16_t* mode) = 0;
    virtual int32_t setDoubleImage(uint16_t mode) = 0;
    virtual int32_t altSensitivity(uint16_t* mode) = 0;
    virtual int32_t setAltSensitivity(uint16_t mode) = 0;
    virtual int32_t colorSetting(uint16_t* setting) = 0;
    virtual int32_t colorMatrix(double* matrix) = 0;
    virtual int32_t timestampMode(uint16_t* mode) = 0;
    virtual int32_t setTimestampMode(uint16_t mode) = 0;
    virtual int32_t metadataMode(uint16_t* mode, uint16_t* size, uint16_t* version) = 0;
    virtual int32_t setMetadataMode(uint16_t mode, uint16_t* size, uint16_t* version) = 0;
    virtual int32_t triggerMode(uint16_t* mode) = 0;
    virtual int32_t setTriggerMode(uint16_t mode) = 0;
    virtual int32_t forceTrigger(uint16_t* accepted) = 0;
    virtual int32_t acquireMode(uint16_t* mode) = 0;
    virtual int32_t setAcquireMode(uint16_t mode) = 0;
    virtual int32_t acquireModeEx(uint16_t* mode, uint32_t* number) = 0;
    virtual int32_t setAcquireModeEx(uint16_t mode, uint32_t number) = 0;
    virtual int32_t recordingState(uint16_t* state) = 0;
    virtual int32_t setRecordingState(uint16_t state) = 0;
    virtual int32_t ramSize(VYK_RamSize& out) = 0;
    virtual int32_t segmentSizes(uint32_t* sizes) = 0;
    virtual int32_t setSegmentSizes(const uint32_t* sizes) = 0;
    virtual int32_t activeSegment(uint16_t* segment) = 0;
    virtual int32_t setActiveSegment(uint16_t segment) = 0;
    virtual int32_t segmentImages(uint16_t segment, uint32_t* valid, uint32_t* maximum) = 0;
    virtual int32_t storageMode(uint16_t* mode) = 0;
    virtual int32_t setStorageMode(uint16_t mode) = 0;
    virtual int32_t recorderSubmode(uint16_t* mode) = 0;
    virtual int32_t setRecorderSubmode(uint16_t mode) = 0;
    virtual int32_t releaseOptionalResource() = 0;

    // Frame hand-over to the recorder (see vyk_sim_frames.h).
    virtual int32_t setSink(FrameSink sink) = 0;
    virtual int32_t readCamRam(uint16_t segment, uint32_t index, SimFrame& out) = 0;
    virtual int32_t imageFormat(uint32_t* width, uint32_t* height, uint16_t* bitDepth) = 0;
    virtual int32_t renderFrame(SimFrame& out) = 0;
    // Counts of the current or last stream of a real camera (see simStreamCounts).
    virtual int32_t streamCounts(uint64_t*, uint64_t*, uint64_t*) { return VYK_ERR_NOT_SUPPORTED; }
};

} // namespace vyksim

#endif // VYKSIM_CAMERA_DEVICE_H
