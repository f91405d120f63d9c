// Timestamp pixels and the metadata and timestamp blocks of a rendered image.
#ifndef VYKSIM_FRAME_STAMP_H
#define VYKSIM_FRAME_STAMP_H

#include "CameraConfig.h"
#include "FrameSetup.h"
#include "vyk_sim_frames.h"

namespace vyksim {

// Writes what the camera adds to an image besides the scene.
class FrameStamp {
public:
    // Binary modes: 14 BCD pixels in row 0 (counter 8 digits, year 4, month, day, hour,
    // minute, second, microseconds 6; most significant first). ASCII modes: the text
    // "counter yyyy-mm-dd hh:mm:ss.uuuuuu" in a 5x7 font, row 0 (mode 3) or row 1 (mode 2).
    static void stampPixels(const FrameRecipe& recipe, SimFrame& out);

    // Fills out's metadata and timestamp blocks when their modes are on.
    static void attachBlocks(const CameraConfig& config, const FrameRecipe& recipe, SimFrame& out);

    // Calendar fields of a capture time (local time).
    struct Clock {
        unsigned year, month, day, hour, minute, second, microsecond;
    };
    static Clock clockOf(int64_t wallTimeUs);
};

} // namespace vyksim

#endif // VYKSIM_FRAME_STAMP_H
