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
//
// metadata, when present, is the packed little-endian 69-byte block: wSize 0, wVersion 2,
// image counter BCD 4..7 and time BCD 8..16 (us 3 bytes, s, min, h, day, month,
// year % 100), each least significant byte first,
// time status 17, wEXPOSURE_TIME_BASE 18, dwEXPOSURE_TIME 20, dwFRAMERATE_MILLIHZ 24,
// sSENSOR_TEMPERATURE 28, wIMAGE_SIZE_X 30, wIMAGE_SIZE_Y 32, bBINNING_X 34, bBINNING_Y 35,
// dwSENSOR_READOUT_FREQUENCY 36, wSENSOR_CONV_FACTOR 40, dwCAMERA_SERIAL_NO 42,
// wCAMERA_TYPE 46, bBIT_RESOLUTION 48, bSYNC_STATUS 49, wDARK_OFFSET 50, bTRIGGER_MODE 52,
// bDOUBLE_IMAGE_MODE 53, bCAMERA_SYNC_MODE 54, bIMAGE_TYPE 55, wCOLOR_PATTERN 56,
// wCAMERA_SUBTYPE 58, dwEVENT_NUMBER 60, wIMAGE_SIZE_X_Offset 64, wIMAGE_SIZE_Y_Offset 66,
// bREADOUT_MODE 68.
// timestamp, when present, is the packed little-endian 22-byte block: wSize 0 (22),
// dwImgCounter 2, wYear 6, wMonth 8, wDay 10, wHour 12, wMinute 14, wSecond 16,
// dwMicroSeconds 18.
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
    bool incomplete = false;         // the camera delivered this image incomplete: no pixels, counts as lost
};

// Receives every frame the camera produces while its recording state is on and it
// does not record into camera RAM. Called on the camera's own frame thread: it must
// copy what it needs and return quickly. Must not call back into the camera library.
using FrameSink = std::function<void(const SimFrame&)>;

// Installs (or, with an empty sink, removes) the frame sink of a camera. Returns
// only after any call into the previous sink has finished.
int32_t simSetFrameSink(VYK_HANDLE camera, FrameSink sink);

// Reads image index (0-based; 0 is the oldest valid image, also after a ring wrapped)
// of a camera-RAM segment (1..4) into out.
int32_t simReadCamRamImage(VYK_HANDLE camera, uint16_t segment, uint32_t index, SimFrame& out);

// Number of valid images in a camera-RAM segment and how many it can hold at the
// current ROI.
int32_t simCamRamImageCounts(VYK_HANDLE camera, uint16_t segment, uint32_t* valid, uint32_t* maximum);

// Image size at the armed ROI and binning, and significant bits of the armed pixel format.
int32_t simImageFormat(VYK_HANDLE camera, uint32_t* width, uint32_t* height, uint16_t* bitDepth);

// Renders the camera's next image at the armed settings on the calling thread, as fast as
// it can, without pacing and without delivering it anywhere (benchmarks, tests). Its
// frame number is the count of images the camera has made since it was opened.
int32_t simRenderFrame(VYK_HANDLE camera, SimFrame& out);

// What the transport of a real (GenICam) camera reported for its current or last recording:
// buffers completed, buffers that arrived incomplete, and frames dropped (for want of a free
// buffer, or never seen). VYK_ERR_NOT_SUPPORTED for simulated cameras.
int32_t simStreamCounts(VYK_HANDLE camera, uint64_t* completed, uint64_t* incomplete, uint64_t* underruns);

} // namespace vyksim

#endif // VYK_SIM_FRAMES_H
