// What one simulated camera is: identity, sensor, limits and capabilities.
#ifndef VYKSIM_CAMERA_CONFIG_H
#define VYKSIM_CAMERA_CONFIG_H

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace vyksim {

// The fixed properties of one simulated camera, as read from the camera-set file.
// Times in the units of the description record: ns fields in nanoseconds, ms fields in
// milliseconds.
struct CameraConfig {
    uint32_t serial = 0;                 // serial number, unique within the set
    std::string name;                    // device name (at most 259 characters)
    uint16_t type = 0;                   // camera type code
    uint16_t subType = 0;                // camera sub-type code
    uint16_t interfaceType = 8;          // VYK_INTERFACE_*
    uint16_t width = 0;                  // sensor width, standard format
    uint16_t height = 0;                 // sensor height, standard format
    uint16_t extWidth = 0;               // sensor width, extended format
    uint16_t extHeight = 0;              // sensor height, extended format
    uint16_t bitDepth = 16;              // bit resolution of the sensor (8..16)
    bool color = false;                  // Bayer colour sensor
    uint16_t colorPattern = 0;           // colour-pattern word (0 for mono)
    std::vector<uint32_t> pixelRates;    // Hz, 1..4 entries
    std::vector<uint16_t> convFactors;   // conversion factors x 100, 0..4 entries
    uint32_t minExposureNs = 10000;
    uint32_t maxExposureMs = 10000;
    uint32_t exposureStepNs = 10;
    uint32_t minDelayNs = 0;
    uint32_t maxDelayMs = 1000;
    uint32_t delayStepNs = 10;
    bool altSensitivity = false;         // alternative sensitivity mode with the Alt limits
    uint32_t altMinExposureNs = 0;
    uint32_t altMaxExposureMs = 0;
    uint32_t altExposureStepNs = 0;
    uint32_t altMinDelayNs = 0;
    uint32_t altMaxDelayMs = 0;
    uint32_t altDelayStepNs = 0;
    double altGain = 4.0;                // brightness factor while the alternative mode is on
    uint16_t roiStepHorz = 1;            // 0 = ROI not settable horizontally
    uint16_t roiStepVert = 1;
    bool roiSymmetricHorz = false;
    bool roiSymmetricVert = false;
    uint16_t minWidth = 0;               // non-zero: second description block with the minimum ROI
    uint16_t minHeight = 0;
    uint16_t maxBinHorz = 1;
    uint16_t maxBinVert = 1;
    bool binLinear = false;              // binning steps 1,2,3.. (else 1,2,4..)
    uint32_t ramPages = 0;               // camera RAM in pages; 0 = none
    uint16_t ramPageSize = 4096;         // pixels per page
    bool lineSensor = false;
    bool noiseFilter = false;
    bool metadata = false;
    bool timestamp = true;
    bool timestampAscii = false;         // timestamp mode 3 available
    bool acquireMode = true;
    bool extAcquireMode = false;
    bool extExposureControl = true;      // trigger mode 3 available
    bool averageBinning = false;
    std::vector<uint32_t> pixelFormatFlags; // selectable flags; empty = fixed at the bit depth
    bool doubleImage = false;
    uint16_t darkOffset = 100;           // counts at the sensor bit depth
    double readNoise = 2.0;              // noise sigma in counts at the sensor bit depth
    std::array<double, 9> colorMatrix{{1, 0, 0, 0, 1, 0, 0, 0, 1}}; // row by row
    uint16_t colorSetting = 1;           // answer of the colour-setting query
    double referenceExposureS = 0.02;    // exposure at which the brightest scene part reaches full scale
    double externalTriggerHz = 10.0;     // rate of the simulated external trigger source
    double externalPulseS = 0.005;       // pulse width (= exposure) in trigger mode 3
    uint32_t seed = 1;                   // seed of the scene and its noise
    uint32_t healthWarnings = 0;         // reported once healthAfterS has passed since open
    uint32_t healthErrors = 0;
    uint32_t healthStatus = 0;
    double healthAfterS = 0.0;
    uint64_t failAfterFrames = 0;        // non-zero: device stops answering after this many images
    double failAfterS = 0.0;             // non-zero: device stops answering this long after open
    uint32_t hwVersion = 0x0100;
    uint32_t fwVersion = 0x0200;

    // Pixel-format flag of a bit resolution (0 when there is none).
    static uint32_t flagOfBits(uint16_t bits);
    // Bit resolution of a pixel-format flag (0 when it is not a flag).
    static uint16_t bitsOfFlag(uint32_t flag);
};

// Result of reading a camera set: the cameras, or a failure code and its reason.
struct CameraSet {
    std::vector<CameraConfig> cameras;   // in file order
    int32_t result = 0;                  // VYK_NOERROR or the reason nothing could be read
    std::string error;                   // readable reason when result is a failure
};

// The built-in set: a 16-bit mono USB3 camera with RAM and a 12-bit colour GigE camera.
CameraSet defaultCameraSet();

// Parses a camera-set JSON text (format in docs/simulated-cameras.md).
CameraSet parseCameraSet(const std::string& jsonText);

// The set named by RASTEL_SIM_CONFIG, or the built-in set when the variable is unset or empty.
CameraSet loadCameraSetFromEnvironment();

} // namespace vyksim

#endif // VYKSIM_CAMERA_CONFIG_H
