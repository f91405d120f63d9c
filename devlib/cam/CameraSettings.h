// The adjustable settings of a simulated camera, in the device's own units.
#ifndef VYKSIM_CAMERA_SETTINGS_H
#define VYKSIM_CAMERA_SETTINGS_H

#include <cstdint>

namespace vyksim {

struct CameraConfig;

// Every value a client can set; what arming turns into a FrameSetup.
struct CameraSettings {
    uint32_t delay = 0;           // in delayBase units
    uint16_t delayBase = 1;       // VYK_TIMEBASE_*
    uint32_t exposure = 10000;    // in exposureBase units
    uint16_t exposureBase = 1;    // VYK_TIMEBASE_*
    uint16_t roiX0 = 1;           // ROI corners, 1-based inclusive, binned pixels
    uint16_t roiY0 = 1;
    uint16_t roiX1 = 1;
    uint16_t roiY1 = 1;
    uint16_t binHorz = 1;         // binning words: factor | VYK_BINNING_AVERAGE
    uint16_t binVert = 1;
    uint32_t pixelRate = 0;       // Hz
    uint16_t convFactor = 0;      // x 100; 0 when the camera lists none
    uint16_t triggerMode = 0;     // VYK_TRIGGER_*
    uint16_t acquireMode = 0;     // VYK_ACQUIRE_*
    uint32_t acquireNumber = 0;   // images per sequence in acquire mode 4
    uint16_t timestampMode = 0;   // VYK_TIMESTAMP_*
    uint16_t metadataMode = 0;    // 0 off, 1 on
    uint16_t noiseFilter = 0;     // 0 off, 1 on
    uint32_t pixelFormat = 0;     // one VYK_PIXELFORMAT_* flag
    uint16_t sensorFormat = 0;    // VYK_SENSORFORMAT_*
    uint16_t doubleImage = 0;     // 0 off, 1 on
    uint16_t altSensitivity = 0;  // 0 off, 1 on

    // The settings after power-on or a reset to defaults.
    static CameraSettings defaults(const CameraConfig& config);
    // A time in a time base as nanoseconds (time base already checked to be 0..2).
    static uint64_t toNanoseconds(uint32_t value, uint16_t base);
    // Sensor width and height of a sensor format.
    static void formatSize(const CameraConfig& config, uint16_t format, uint16_t& width, uint16_t& height);
};

} // namespace vyksim

#endif // VYKSIM_CAMERA_SETTINGS_H
