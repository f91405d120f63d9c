// What every camera device shares: the settings as set, their guarded reading and changing,
// the operations that work alike on every device, and the answers of a device that lacks an
// optional feature.
#ifndef VYKSIM_CAMERA_DEVICE_BASE_H
#define VYKSIM_CAMERA_DEVICE_BASE_H

#include "CameraConfig.h"
#include "CameraDevice.h"
#include "CameraSettings.h"
#include "FrameSetup.h"
#include "kv2_cam.h"
#include "vyk_sim_frames.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

namespace vyksim {

// Settings follow one model on every device: they are kept here as set, checked when they
// are changed, and take effect when the device is armed. A derived device answers what its
// hardware (or its configuration) offers through the hooks below and overrides the
// operations it does differently. Every operation may be called from any thread.
//
// Locks: mutex_ guards every member of this class up to sinkMutex_; sinkMutex_ guards sink_
// and is held while the sink runs. A device never holds mutex_ while it takes sinkMutex_.
class CameraDeviceBase : public CameraDevice {
public:
    ~CameraDeviceBase() override = default;
    CameraDeviceBase(const CameraDeviceBase&) = delete;
    CameraDeviceBase& operator=(const CameraDeviceBase&) = delete;

    int32_t cameraType(VYK_CameraType& out) override;                            // from sensorConfig()
    int32_t name(char* out, uint16_t length) override;                           // sensorConfig().name
    int32_t arm() override;                                                      // refused while recording
    int32_t resetToDefaults() override;                                          // defaultSettings(), disarmed
    int32_t transferMode(uint16_t* mode) override;                               // live transfer on/off
    int32_t delayExposure(uint32_t* delay, uint32_t* exposure, uint16_t* delayBase, uint16_t* exposureBase) override;
    // Within timingAllowed(); while recording also in force at once (applyLiveTiming()).
    int32_t setDelayExposure(uint32_t delay, uint32_t exposure, uint16_t delayBase, uint16_t exposureBase) override;
    int32_t frameTime(uint32_t* seconds, uint32_t* nanoseconds) override;        // periodSeconds()
    int32_t roi(uint16_t* x0, uint16_t* y0, uint16_t* x1, uint16_t* y1) override;
    int32_t setRoi(uint16_t x0, uint16_t y0, uint16_t x1, uint16_t y1) override; // on the sensor and its ROI steps
    int32_t binning(uint16_t* horz, uint16_t* vert) override;
    int32_t setBinning(uint16_t horz, uint16_t vert) override;                   // checkBinningMode(), then factors
    int32_t pixelFormat(uint32_t* current, uint32_t* supported) override;
    int32_t setPixelFormat(uint32_t flag) override;                              // offersPixelFormat()
    int32_t timestampMode(uint16_t* mode) override;
    int32_t setTimestampMode(uint16_t mode) override;                            // up to maxTimestampMode()
    int32_t metadataMode(uint16_t* mode, uint16_t* size, uint16_t* version) override;
    int32_t setMetadataMode(uint16_t mode, uint16_t* size, uint16_t* version) override;
    int32_t triggerMode(uint16_t* mode) override;
    int32_t setTriggerMode(uint16_t mode) override;                              // offersTriggerMode()
    int32_t recordingState(uint16_t* state) override;
    int32_t releaseOptionalResource() override;                                  // holds none: checks liveness only
    int32_t setSink(FrameSink sink) override;                                    // frame hand-over to the recorder
    int32_t imageFormat(uint32_t* width, uint32_t* height, uint16_t* bitDepth) override; // of the armed setup

    // Optional features. A device that has them overrides these; as they stand they check
    // liveness and answer VYK_ERR_NOT_SUPPORTED (VYK_ERR_NO_CAMERA_RAM for the camera RAM).
    int32_t description2(VYK_Description2&) override { return refuse(VYK_ERR_NOT_SUPPORTED); }
    int32_t conversionFactor(uint16_t*) override { return refuse(VYK_ERR_NOT_SUPPORTED); }
    int32_t setConversionFactor(uint16_t) override { return refuse(VYK_ERR_NOT_SUPPORTED); }
    int32_t noiseFilter(uint16_t*) override { return refuse(VYK_ERR_NOT_SUPPORTED); }
    int32_t setNoiseFilter(uint16_t) override { return refuse(VYK_ERR_NOT_SUPPORTED); }
    int32_t doubleImage(uint16_t*) override { return refuse(VYK_ERR_NOT_SUPPORTED); }
    int32_t setDoubleImage(uint16_t) override { return refuse(VYK_ERR_NOT_SUPPORTED); }
    int32_t altSensitivity(uint16_t*) override { return refuse(VYK_ERR_NOT_SUPPORTED); }
    int32_t setAltSensitivity(uint16_t) override { return refuse(VYK_ERR_NOT_SUPPORTED); }
    int32_t acquireMode(uint16_t*) override { return refuse(VYK_ERR_NOT_SUPPORTED); }
    int32_t setAcquireMode(uint16_t) override { return refuse(VYK_ERR_NOT_SUPPORTED); }
    int32_t acquireModeEx(uint16_t*, uint32_t*) override { return refuse(VYK_ERR_NOT_SUPPORTED); }
    int32_t setAcquireModeEx(uint16_t, uint32_t) override { return refuse(VYK_ERR_NOT_SUPPORTED); }
    int32_t renderFrame(SimFrame&) override { return refuse(VYK_ERR_NOT_SUPPORTED); }
    int32_t ramSize(VYK_RamSize&) override { return refuse(VYK_ERR_NO_CAMERA_RAM); }
    int32_t segmentSizes(uint32_t*) override { return refuse(VYK_ERR_NO_CAMERA_RAM); }
    int32_t setSegmentSizes(const uint32_t*) override { return refuse(VYK_ERR_NO_CAMERA_RAM); }
    int32_t activeSegment(uint16_t*) override { return refuse(VYK_ERR_NO_CAMERA_RAM); }
    int32_t setActiveSegment(uint16_t) override { return refuse(VYK_ERR_NO_CAMERA_RAM); }
    int32_t segmentImages(uint16_t, uint32_t*, uint32_t*) override { return refuse(VYK_ERR_NO_CAMERA_RAM); }
    int32_t storageMode(uint16_t*) override { return refuse(VYK_ERR_NO_CAMERA_RAM); }
    int32_t setStorageMode(uint16_t) override { return refuse(VYK_ERR_NO_CAMERA_RAM); }
    int32_t recorderSubmode(uint16_t*) override { return refuse(VYK_ERR_NO_CAMERA_RAM); }
    int32_t setRecorderSubmode(uint16_t) override { return refuse(VYK_ERR_NO_CAMERA_RAM); }
    int32_t readCamRam(uint16_t, uint32_t, SimFrame&) override { return refuse(VYK_ERR_NO_CAMERA_RAM); }

protected:
    // Starts with the settings as set at open.
    explicit CameraDeviceBase(const CameraSettings& initial = CameraSettings());

    // Whether a switch value is 0 or 1.
    static bool isOnOff(uint16_t mode) { return mode == 0 || mode == 1; }
    // Whether both time bases are VYK_TIMEBASE_* values.
    static bool timeBasesValid(uint16_t delayBase, uint16_t exposureBase);
    // Writes the health words a client asked for (null pointers are skipped).
    static void reportHealth(uint32_t* warnings, uint32_t* errors, uint32_t* status, uint32_t warningBits,
                             uint32_t errorBits, uint32_t statusBits);

    // Clears d and fills its size and the sensor fields (size, depth, colour, binning, ROI
    // steps) from sensorConfig().
    void describeSensor(VYK_Description& d) const;
    // Fails when closed or when the device stopped answering. Caller holds mutex_.
    virtual int32_t checkAlive();
    // Locks, checks liveness and answers code; for an operation the device does not offer.
    int32_t refuse(int32_t code);
    // Fails when not alive or while recording; for changes. Caller holds mutex_.
    int32_t checkIdle();
    // Locks, checks liveness and runs read(); for queries.
    template <typename Fn> int32_t query(Fn read);
    // Locks, checks liveness, refuses while recording, runs apply() on a copy of the settings
    // and takes the copy (disarming) on success.
    template <typename Fn> int32_t change(Fn apply);

    // Arms settings_; caller holds mutex_.
    virtual int32_t armLocked() = 0;
    // The settings after a reset to defaults.
    virtual CameraSettings defaultSettings() const = 0;
    // Time from one image to the next at the armed settings, seconds. Caller holds mutex_.
    virtual double periodSeconds() const = 0;
    // Whether a delay and an exposure (ns) lie within the limits in force. Caller holds mutex_.
    virtual bool timingAllowed(uint64_t delayNs, uint64_t exposureNs) const = 0;
    // Puts new timing into force during a recording, before settings_ takes it. Caller holds mutex_.
    virtual int32_t applyLiveTiming(const CameraSettings& next) = 0;
    // Supported pixel-format flags, ORed.
    virtual uint32_t supportedPixelFormats() const = 0;
    // Whether flag names one pixel format the device takes.
    virtual bool offersPixelFormat(uint32_t flag) const = 0;
    // What the device is: identity, name, sensor size and depth, colour, binning limits, ROI steps.
    virtual const CameraConfig& sensorConfig() const = 0;
    // Whether the mode nibbles of two binning words (without the factors) can be set.
    virtual int32_t checkBinningMode(uint16_t modeHorz, uint16_t modeVert) const = 0;
    // Whether images can carry the metadata block.
    virtual bool offersMetadata() const = 0;
    // Whether images can carry a time stamp, and the highest VYK_TIMESTAMP_* mode taken.
    virtual bool offersTimestamp() const = 0;
    virtual uint16_t maxTimestampMode() const = 0;
    // Whether a VYK_TRIGGER_* mode can be set.
    virtual bool offersTriggerMode(uint16_t mode) const = 0;

    std::mutex mutex_;                            // guards every member below up to sinkMutex_
    bool closed_ = false;
    std::atomic<bool> failed_{false};             // the device stopped answering; set from any thread
    CameraSettings settings_;                     // as set
    std::shared_ptr<const FrameSetup> armed_;     // last armed setup
    bool armedCurrent_ = false;                   // settings_ unchanged since arming
    uint16_t transferMode_ = 1;                   // live transfer to the sink on (1) or off (0)
    bool recording_ = false;

    std::mutex sinkMutex_;                        // guards sink_; held while the sink runs
    FrameSink sink_;
};

template <typename Fn>
int32_t CameraDeviceBase::query(Fn read)
{
    std::lock_guard<std::mutex> lock(mutex_);
    const int32_t alive = checkAlive();
    return VYK_FAILED(alive) ? alive : read();
}

template <typename Fn>
int32_t CameraDeviceBase::change(Fn apply)
{
    std::lock_guard<std::mutex> lock(mutex_);
    const int32_t idle = checkIdle();
    if (VYK_FAILED(idle))
        return idle;
    CameraSettings next = settings_;
    const int32_t result = apply(next);
    if (VYK_FAILED(result))
        return result;
    settings_ = next;
    armedCurrent_ = false;
    return result;
}

} // namespace vyksim

#endif // VYKSIM_CAMERA_DEVICE_BASE_H
