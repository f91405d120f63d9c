// One simulated camera device: settings, arming, recording state, frame thread, RAM.
#ifndef VYKSIM_SIM_CAMERA_H
#define VYKSIM_SIM_CAMERA_H

#include "CamRam.h"
#include "CameraDeviceBase.h"
#include "CameraConfig.h"
#include "CameraSettings.h"
#include "FrameSetup.h"
#include "SceneRenderer.h"
#include "kv2_cam.h"
#include "vyk_sim_frames.h"

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace vyksim {

// Every public operation may be called from any thread. Lock order: mutex_ is never
// held while sinkMutex_ is taken or while the sink runs, and vice versa; the registry
// lock is never taken by a camera. The frame thread is started by the constructor and
// joined by shutdown() (or the destructor).
class SimCamera : public CameraDeviceBase {
public:
    // Opens the device: defaults applied and armed, frame thread started.
    SimCamera(const CameraConfig& config, uint16_t numberAtInterface);
    // Calls shutdown().
    ~SimCamera() override;
    SimCamera(const SimCamera&) = delete;
    SimCamera& operator=(const SimCamera&) = delete;

    // Stops taking images and joins the frame thread; afterwards every call fails with VYK_ERR_INVALID_HANDLE.
    // Returns VYK_ERR_DEVICE_TIMEOUT when the device had stopped answering.
    int32_t shutdown() override;
    // The fixed configuration.
    const CameraConfig& config() const { return config_; }
    // Number of the camera on its interface.
    uint16_t numberAtInterface() const { return number_; }
    uint32_t serial() const override { return config_.serial; }
    uint16_t interfaceType() const override { return config_.interfaceType; }

    int32_t description(VYK_Description& out) override;                          // description record
    int32_t description2(VYK_Description2& out) override;                        // second description block
    int32_t health(uint32_t* warnings, uint32_t* errors, uint32_t* status) override; // health words
    int32_t setTransferMode(uint16_t mode) override;
    int32_t pixelRate(uint32_t* rate) override;
    int32_t setPixelRate(uint32_t rate) override;
    int32_t sensorFormat(uint16_t* format) override;
    int32_t setSensorFormat(uint16_t format) override;
    int32_t conversionFactor(uint16_t* factor) override;
    int32_t setConversionFactor(uint16_t factor) override;
    int32_t noiseFilter(uint16_t* mode) override;
    int32_t setNoiseFilter(uint16_t mode) override;
    int32_t darkOffset(uint16_t* offset) override;
    int32_t doubleImage(uint16_t* mode) override;
    int32_t setDoubleImage(uint16_t mode) override;
    int32_t altSensitivity(uint16_t* mode) override;
    int32_t setAltSensitivity(uint16_t mode) override;
    int32_t colorSetting(uint16_t* setting) override;
    int32_t colorMatrix(double* matrix) override;
    int32_t forceTrigger(uint16_t* accepted) override;                           // software trigger
    int32_t acquireMode(uint16_t* mode) override;
    int32_t setAcquireMode(uint16_t mode) override;
    int32_t acquireModeEx(uint16_t* mode, uint32_t* number) override;
    int32_t setAcquireModeEx(uint16_t mode, uint32_t number) override;
    int32_t setRecordingState(uint16_t state) override;
    int32_t ramSize(VYK_RamSize& out) override;
    int32_t segmentSizes(uint32_t* sizes) override;
    int32_t setSegmentSizes(const uint32_t* sizes) override;
    int32_t activeSegment(uint16_t* segment) override;
    int32_t setActiveSegment(uint16_t segment) override;
    int32_t segmentImages(uint16_t segment, uint32_t* valid, uint32_t* maximum) override;
    int32_t storageMode(uint16_t* mode) override;
    int32_t setStorageMode(uint16_t mode) override;
    int32_t recorderSubmode(uint16_t* mode) override;
    int32_t setRecorderSubmode(uint16_t mode) override;

    int32_t readCamRam(uint16_t segment, uint32_t index, SimFrame& out) override;
    int32_t renderFrame(SimFrame& out) override;                                 // unpaced render (benchmarks)

private:
    using Clock = std::chrono::steady_clock;

    // What CameraDeviceBase asks of a device (see there), answered from config_.
    // checkAlive() also fails the device once its configured lifetime is over.
    int32_t checkAlive() override;
    int32_t armLocked() override;                                            // prepares the scene
    CameraSettings defaultSettings() const override { return CameraSettings::defaults(config_); }
    double periodSeconds() const override;
    bool timingAllowed(uint64_t delayNs, uint64_t exposureNs) const override;
    int32_t applyLiveTiming(const CameraSettings& next) override;            // wakes the frame thread
    uint32_t supportedPixelFormats() const override;
    bool offersPixelFormat(uint32_t flag) const override;
    const CameraConfig& sensorConfig() const override { return config_; }
    int32_t checkBinningMode(uint16_t modeHorz, uint16_t modeVert) const override;
    bool offersMetadata() const override { return config_.metadata; }
    bool offersTimestamp() const override { return config_.timestamp; }
    uint16_t maxTimestampMode() const override;
    bool offersTriggerMode(uint16_t mode) const override;

    // Reads an optional on/off setting; not supported when the camera lacks it.
    int32_t readSwitch(bool supported, uint16_t CameraSettings::*field, uint16_t* mode);
    // Writes an optional on/off setting (0 or 1); then runs also(next) on the pending settings.
    template <typename Fn>
    int32_t writeSwitch(bool supported, uint16_t CameraSettings::*field, uint16_t mode, Fn also);
    int32_t writeSwitch(bool supported, uint16_t CameraSettings::*field, uint16_t mode);
    // Locks, checks liveness and camera RAM, refuses changes while recording; for RAM settings.
    template <typename Fn> int32_t ramOperation(bool isChange, Fn run);

    // Exposure and delay limits in force (ns, ms, ns). Caller holds mutex_.
    void timingLimits(uint32_t& minExpNs, uint32_t& maxExpMs, uint32_t& expStepNs, uint32_t& minDelayNs,
                      uint32_t& maxDelayMs) const;
    // Checks the settings as a whole; VYK_NOERROR when they can be armed.
    int32_t validateForArm(const CameraSettings& s) const;
    // Readout time of one image at settings s, seconds.
    double readoutSeconds(const CameraSettings& s) const;
    // Exposure of the next image, ns (the pulse width in trigger mode 3). Caller holds mutex_.
    uint64_t liveExposureNs() const;
    // Builds the recipe of the next image. Caller holds mutex_.
    FrameRecipe nextRecipe(uint32_t imageNumber);
    // Body of the frame thread.
    void frameLoop();
    // Start time of the next image, or false while it must wait for a trigger. Caller holds mutex_.
    bool nextStart(Clock::time_point now, Clock::time_point& start);
    // Hands finished recipes to camera RAM and the sink. Caller holds lock; it is released while rendering.
    void deliver(std::unique_lock<std::mutex>& lock, const std::vector<FrameRecipe>& images);

    const CameraConfig config_;
    const uint16_t number_;
    const Clock::time_point openTime_;
    SceneRenderer renderer_;                      // guarded by mutex_ for prepare(); render() is const

    // Guarded by mutex_ (of CameraDeviceBase) up to frameBuffer_:
    std::condition_variable wake_;                // frame thread waits here (with mutex_)
    bool stop_ = false;                           // frame thread must end
    bool descriptionChanged_ = false;             // status bit until the description is read
    uint16_t storageMode_ = VYK_STORAGE_RECORDER;
    uint16_t submode_ = VYK_RAM_SUBMODE_RING;
    uint16_t activeSegment_ = 1;
    CamRam ram_;
    Clock::time_point recordStart_;
    Clock::time_point nextAutoStart_;             // auto trigger: start of the next image
    Clock::time_point busyUntil_;                 // no new exposure before this
    bool triggerPending_ = false;                 // software trigger accepted, image not started
    Clock::time_point triggerTime_;
    uint32_t imageCounter_ = 0;                   // images since recording was switched on
    uint64_t sceneIndex_ = 0;                     // images made since open
    uint64_t imagesMade_ = 0;                     // for failure injection

    SimFrame frameBuffer_;                        // frame thread only
    std::thread thread_;                          // the frame thread; joined by shutdown()
};

} // namespace vyksim

#endif // VYKSIM_SIM_CAMERA_H
