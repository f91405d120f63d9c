#include "Sharpener.h"
#include "HotLoop.h"

#include <algorithm>
#include <cstring>

namespace vykconv {

namespace {

// Detail of one element: 16 x centre minus the binomial 3 x 3 sum (weights 1 2 1 / 2 4 2 / 1 2 1).
inline int32_t detail(const uint8_t* a, const uint8_t* r, const uint8_t* b, int i, int step)
{
    const int32_t sum = a[i - step] + 2 * a[i] + a[i + step] + 2 * r[i - step] + 4 * r[i] + 2 * r[i + step]
                        + b[i - step] + 2 * b[i] + b[i + step];
    return 16 * r[i] - sum;
}

} // namespace

VYKCONV_HOT_LOOP
void Sharpener::sharpenRow(const uint8_t* above, const uint8_t* row, const uint8_t* below, int width,
                           int channels, bool adaptive, uint8_t* out)
{
    const int step = channels;
    const int total = width * channels;
    if (width < 3) {
        std::memcpy(out, row, static_cast<size_t>(total));
        return;
    }
    std::memcpy(out, row, static_cast<size_t>(step));
    std::memcpy(out + total - step, row + total - step, static_cast<size_t>(step));
    if (adaptive) {
        for (int i = step; i < total - step; ++i) {
            const int32_t d = detail(above, row, below, i, step);
            const int32_t magnitude = d < 0 ? -d : d;
            const int32_t weight = std::min(std::max(magnitude - kNoiseLevel, 0), kNoiseLevel);
            const int32_t v = row[i] + ((d * weight * 3) >> 11); // d x weight / kNoiseLevel x 1.5 / 16
            out[i] = static_cast<uint8_t>(std::min(std::max(v, 0), 255));
        }
    } else {
        for (int i = step; i < total - step; ++i) {
            const int32_t v = row[i] + ((detail(above, row, below, i, step) * 3) >> 5); // 1.5 / 16
            out[i] = static_cast<uint8_t>(std::min(std::max(v, 0), 255));
        }
    }
}

} // namespace vykconv
