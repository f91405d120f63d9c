// Frame hand-over between the simulated camera and the recorder library.
//
// Internal to the simulated libraries (C++ only): a real recorder receives frames
// from the driver, ours receives them from the simulated camera through these calls.
#ifndef VYK_SIM_FRAMES_H
#define VYK_SIM_FRAMES_H

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

#include "kv2_cam.h"

namespace vyksim {

// One image as the camera delivers it.
struct SimFrame {
    uint32_t width = 0;              // pixels per row, after ROI and binning
    uint32_t height = 0;             // rows
    uint16_t bitDepth = 16;          // significant bits per pixel (8..16)
    std::vector<uint16_t> pixels;    // width * height values, row by row, top row first
    uint64_t frameNumber = 0;        // 1-based, counted since recording was switched on
    bool hasMetadata = false;        // metadata mode on: metadata holds the 69-byte block
    std::array<uint8_t, 69> metadata{};
    bool hasTimestamp = false;       // timestamp mode on: timestamp holds the 22-byte block
    std::array<uint8_t, 22> timestamp{};
};

// Receives every frame the camera produces while its recording state is on and it
// does not record into camera RAM. Called on the camera's own frame thread: it must
// copy what it needs and return quickly. Must not call back into the camera library.
using FrameSink = std::function<void(const SimFrame&)>;

// Installs (or, with an empty sink, removes) the frame sink of a camera. Returns
// only after any call into the previous sink has finished.
int32_t simSetFrameSink(VYK_HANDLE camera, FrameSink sink);

// Reads image index (0-based) of a camera-RAM segment (1..4) into out.
int32_t simReadCamRamImage(VYK_HANDLE camera, uint16_t segment, uint32_t index, SimFrame& out);

// Number of valid images in a camera-RAM segment and how many it can hold at the
// current ROI.
int32_t simCamRamImageCounts(VYK_HANDLE camera, uint16_t segment, uint32_t* valid, uint32_t* maximum);

// Current ROI size after binning, significant bits and colour-pattern word of a camera.
int32_t simImageFormat(VYK_HANDLE camera, uint32_t* width, uint32_t* height, uint16_t* bitDepth);

} // namespace vyksim

#endif // VYK_SIM_FRAMES_H
