// What an armed camera takes images with, and what one image is made of.
#ifndef VYKSIM_FRAME_SETUP_H
#define VYKSIM_FRAME_SETUP_H

#include "CameraSettings.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace vyksim {

// Immutable snapshot made when the camera is armed: the settings, the image geometry
// they give, and the precomputed static scene at that geometry. Shared by the frame
// thread and by every camera-RAM image taken with it.
struct FrameSetup {
    CameraSettings settings;          // the settings as armed
    uint32_t width = 0;               // image width after ROI and binning
    uint32_t height = 0;              // image height
    uint16_t binHorz = 1;             // binning factors without the mode nibble
    uint16_t binVert = 1;
    bool average = false;             // averaging (else summing) binning
    uint16_t bitDepth = 16;           // significant bits of the armed pixel format
    uint16_t maxValue = 65535;        // 2^bitDepth - 1
    int32_t offset = 0;               // dark offset in counts at bitDepth
    double readoutS = 0.0;            // sensor readout time of one image, seconds
    // Static scene at the reference exposure in counts, width*height; shared between setups of one geometry.
    std::shared_ptr<const std::vector<float>> base;
    // Noise table; rows start at random offsets below kNoiseSpan. Shared like base.
    std::shared_ptr<const std::vector<int16_t>> noise;
    static constexpr uint32_t kNoiseSpan = 1u << 18; // offsets a row may start at
};

// Everything that decides one image; rendering a recipe again gives the same pixels,
// which is how camera RAM keeps its images.
struct FrameRecipe {
    std::shared_ptr<const FrameSetup> setup; // geometry and scene
    uint64_t sceneIndex = 0;          // moves the objects and seeds the noise
    uint32_t imageNumber = 0;         // 1-based count since recording was switched on
    uint64_t exposureNs = 0;          // exposure of this image
    uint32_t exposureValue = 0;       // the same in the device's time base
    uint16_t exposureBase = 1;
    double frameTimeS = 0.0;          // time from one image to the next when it was taken
    int64_t wallTimeUs = 0;           // capture time, microseconds since the epoch (UTC)
};

} // namespace vyksim

#endif // VYKSIM_FRAME_SETUP_H
