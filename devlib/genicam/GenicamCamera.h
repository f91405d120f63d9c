// A GenICam camera (GigE Vision, USB3 Vision) driven through Aravis, behind the device operations.
#ifndef VYKSIM_GENICAM_CAMERA_H
#define VYKSIM_GENICAM_CAMERA_H

#include "CameraConfig.h"
#include "CameraDeviceBase.h"
#include "CameraSettings.h"
#include "FrameSetup.h"
#include "GenicamIds.h"
#include "GObjectRef.h"

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace vyksim {

// Settings follow the device model of kv2_cam.h: they are kept here as set and written to
// the camera when it is armed, in an order the camera accepts (binning, pixel format, ROI,
// timing, trigger). Frames come from an Aravis stream read by a frame thread that exists
// while the recording state is on; incomplete buffers are never handed on as images but as
// frames marked incomplete, so that the recorder counts them as lost.
//
// Locks: mutex_ guards the Aravis camera (its feature tree is not thread-safe) and every
// setting; sinkMutex_ guards the sink. The frame thread never waits for mutex_ (it only
// tries it), so the owner may join it while holding mutex_.
class GenicamCamera : public CameraDeviceBase {
public:
    // Opens the device named by id, writes its start-up features and reads its capabilities.
    // Null with result set to the failure when it cannot be opened.
    static std::shared_ptr<GenicamCamera> open(const GenicamId& id, uint16_t numberAtInterface, int32_t& result);
    // The ids of every camera Aravis finds on every interface. Broadcasts: for a user's
    // explicit "discover" only.
    static std::vector<GenicamId> discoverAll();

    // Calls shutdown().
    ~GenicamCamera() override;
    GenicamCamera(const GenicamCamera&) = delete;
    GenicamCamera& operator=(const GenicamCamera&) = delete;

    int32_t shutdown() override;
    uint32_t serial() const override { return caps_.serial; }
    uint16_t interfaceType() const override { return caps_.interfaceType; }
    // The entry of the list this camera was opened from.
    const GenicamId& id() const { return id_; }

    // No camera RAM, acquire modes, conversion factors, noise filter, double image or
    // alternative sensitivity: those operations keep the refusals of CameraDeviceBase, and so
    // does renderFrame(), as a real camera makes images only while it records.
    int32_t description(VYK_Description& out) override;
    int32_t health(uint32_t* warnings, uint32_t* errors, uint32_t* status) override;
    int32_t setTransferMode(uint16_t mode) override;
    int32_t pixelRate(uint32_t* rate) override;
    int32_t setPixelRate(uint32_t rate) override;
    int32_t sensorFormat(uint16_t* format) override;
    int32_t setSensorFormat(uint16_t format) override;
    int32_t darkOffset(uint16_t* offset) override;
    int32_t colorSetting(uint16_t* setting) override;
    int32_t colorMatrix(double* matrix) override;
    int32_t forceTrigger(uint16_t* accepted) override;
    int32_t setRecordingState(uint16_t state) override;
    int32_t streamCounts(uint64_t* completed, uint64_t* incomplete, uint64_t* underruns) override;

private:
    using Clock = std::chrono::steady_clock;

    // One pixel format the camera offers and Rastel takes.
    struct Format {
        std::string name;        // GenICam PixelFormat entry, e.g. "Mono16", "BayerRG8"
        uint32_t flag;           // VYK_PIXELFORMAT_*
        uint16_t bits;           // significant bits
    };

    // What the camera is and can do, read once at open. Feature names are empty when the
    // camera lacks the feature (neither the standard nor the older name exists).
    struct Capabilities {
        std::string name;                // "vendor model"
        std::string serialText;          // DeviceSerialNumber as the camera gives it
        uint32_t serial = 0;             // serialOfGenicamText(serialText)
        uint16_t interfaceType = VYK_INTERFACE_GIGE;
        uint16_t sensorWidth = 0;        // pixels, unbinned
        uint16_t sensorHeight = 0;
        uint16_t roiStepHorz = 0;        // pixels; 0 when the offsets cannot be set
        uint16_t roiStepVert = 0;
        uint16_t maxBinHorz = 1;
        uint16_t maxBinVert = 1;
        bool binLinear = true;           // factors 1,2,3.. (else powers of two)
        std::string exposureFeature;     // ExposureTime or ExposureTimeAbs (microseconds)
        double minExposureUs = 0.0;
        double maxExposureUs = 0.0;
        std::string delayFeature;        // TriggerDelay or TriggerDelayAbs (microseconds)
        double maxDelayUs = 0.0;
        std::string frameRateFeature;    // AcquisitionFrameRate or AcquisitionFrameRateAbs (Hz)
        double minFrameRate = 0.0;
        double maxFrameRate = 0.0;
        std::string temperatureFeature;  // DeviceTemperature (degrees Celsius)
        bool hasTriggerSelector = false;
        bool softwareTrigger = false;    // TriggerSource Software with TriggerSoftware
        std::string lineSource;          // first "Line..." trigger source, empty without one
        bool color = false;              // Bayer formats offered
        uint16_t colorPattern = 0;       // colour-pattern word of the Bayer formats
        std::vector<Format> formats;     // offered formats, ascending bits
        uint16_t maxBits = 8;            // deepest offered format
    };

    GenicamCamera(const GenicamId& id, uint16_t numberAtInterface, GObjectRef<ArvCamera> camera);

    // Reads caps_ and the defaults from the camera. Caller holds mutex_ (or is open()).
    int32_t readCapabilities();
    // The GenICam name of a feature: standard if the camera has it, else fallback, else "".
    std::string featureName(const char* standard, const char* fallback = nullptr);
    // Result code of a failed Aravis call; a lost link marks the camera failed. Frees error.
    int32_t failure(GError* error);
    // The offered format with a flag, or null.
    const Format* formatOf(uint32_t flag) const;
    // Checks settings against the binned sensor and the limits; VYK_NOERROR when they can be armed.
    int32_t validateForArm(const CameraSettings& s) const;
    // What CameraDeviceBase asks of a device (see there), answered from caps_.
    // armLocked() writes the settings to the camera and reads back the image geometry.
    int32_t armLocked() override;
    CameraSettings defaultSettings() const override { return defaults_; }
    double periodSeconds() const override { return frameTimeS_; }
    bool timingAllowed(uint64_t delayNs, uint64_t exposureNs) const override;
    int32_t applyLiveTiming(const CameraSettings& next) override;            // writeTiming()
    uint32_t supportedPixelFormats() const override;
    bool offersPixelFormat(uint32_t flag) const override;
    const CameraConfig& sensorConfig() const override { return sensorConfig_; }
    int32_t checkBinningMode(uint16_t modeHorz, uint16_t modeVert) const override;
    bool offersMetadata() const override { return true; }     // the metadata block is made here
    bool offersTimestamp() const override { return true; }    // time stamps are written into the pixels here
    uint16_t maxTimestampMode() const override { return VYK_TIMESTAMP_BINARY_ASCII; }
    bool offersTriggerMode(uint16_t mode) const override;

    // Writes exposure and delay. Caller holds mutex_.
    int32_t writeTiming(const CameraSettings& s);
    // Writes the trigger mode. Caller holds mutex_.
    int32_t writeTrigger(uint16_t mode);
    // Starts the stream, the acquisition and the frame thread. Caller holds mutex_.
    int32_t startFrames();
    // Stops the frame thread, the acquisition and the stream. Caller holds mutex_.
    void stopFrames();
    // Body of the frame thread.
    void frameLoop();
    // Drops a stream or camera reference; on a failed camera off the calling thread.
    template <typename T> void releaseObject(GObjectRef<T>& object);
    // Frames missing before a buffer with frameId, from the gap to the last one. Frame thread only.
    uint64_t missedBefore(uint64_t frameId);
    // Copies Aravis's stream statistics into completed_, incomplete_ and dropped_.
    void readStatistics(ArvStream* stream);
    // Turns one buffer into a frame and hands it to the sink. Frame thread only.
    void deliver(ArvBuffer* buffer);
    // Reads something cheap from a camera that sent nothing for a while; marks it failed when
    // it does not answer. Frame thread only; skips when mutex_ is busy.
    void probeSilentCamera();
    // Called by Aravis when the control link to a GigE Vision camera is lost.
    static void onControlLost(void* device, void* self);

    const GenicamId id_;
    const uint16_t number_;
    Capabilities caps_;                           // fixed after open
    // Identity and sensor fields of caps_ as a configuration, for the metadata block and the
    // description record; fixed after open.
    CameraConfig sensorConfig_;

    // Guarded by mutex_ (of CameraDeviceBase) up to stopThread_:
    GObjectRef<ArvCamera> camera_;
    unsigned long controlLostHandler_ = 0;        // signal connection on the device
    CameraSettings defaults_;                     // the camera's own state at open
    std::atomic<double> frameTimeS_{0.0};         // seconds from one image to the next; also read by the frame thread
    GObjectRef<ArvStream> stream_;                // exists while recording
    std::thread thread_;                          // the frame thread; joined by stopFrames()
    Clock::time_point triggerSentAt_;             // last accepted software trigger
    std::atomic<bool> triggerPending_{false};     // software trigger accepted, its image not arrived

    std::atomic<bool> stopThread_{false};         // the frame thread must end
    std::atomic<int16_t> temperature_{0};         // last read device temperature, degrees Celsius
    // Aravis's stream statistics, kept when the stream goes: written by the frame thread
    // (and by stopFrames() after joining it), read under mutex_ by streamCounts().
    std::atomic<uint64_t> completed_{0};
    std::atomic<uint64_t> incomplete_{0};
    std::atomic<uint64_t> dropped_{0};            // underruns and frames never seen
    // Frame thread only:
    SimFrame frame_;                              // the frame being handed on
    uint64_t frameCount_ = 0;                     // frames since recording was switched on, dropped ones included
    uint64_t lastFrameId_ = 0;                    // frame id of the last buffer (0: none yet)
    int missingFramesInfo_ = -1;                  // index of the stream's "n_missing_frames" figure, -1 without
    uint64_t firstDeviceNs_ = 0;                  // device time of the first buffer
    int64_t firstWallUs_ = 0;                     // computer time of the first buffer, us since the epoch
    Clock::time_point lastBufferAt_;              // arrival of the last buffer (or the start)
};

} // namespace vyksim

#endif // VYKSIM_GENICAM_CAMERA_H
