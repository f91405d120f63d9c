// Splits a frame's rows between the calling thread and one helper thread.
#ifndef VYKCONV_ROW_PARALLEL_H
#define VYKCONV_ROW_PARALLEL_H

#include <cstddef>
#include <functional>

namespace vykconv {

// Runs a row-band function over a frame, on two cores when the frame is large enough.
class RowParallel {
public:
    // Calls body(firstRow, endRow) over [0, rows). Frames of at least kMinPixels pixels
    // are split in two bands, the second run on a helper thread that is joined before
    // returning. An exception thrown by either band is rethrown after the join.
    static void run(int rows, size_t pixelsPerRow, const std::function<void(int, int)>& body);

    // Frames smaller than this many pixels are converted on the calling thread alone:
    // starting a thread costs more than it saves.
    static constexpr size_t kMinPixels = 128 * 1024;
};

} // namespace vykconv

#endif
