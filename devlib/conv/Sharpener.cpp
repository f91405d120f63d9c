#include "Sharpener.h"
#include "HotLoop.h"

#include <algorithm>
#include <cstring>

namespace vykconv {

namespace {

// Detail of one element: 16 x centre minus the binomial 3 x 3 sum (weights 1 2 1 / 2 4 2 / 1 2 1).
// |detail| <= 16 x 255, so 16-bit arithmetic holds it (and lets twice as many lanes run).
inline int16_t detail(const uint8_t* a, const uint8_t* r, const uint8_t* b, int i, int step)
{
    const int16_t sum = static_cast<int16_t>(a[i - step] + 2 * a[i] + a[i + step] + 2 * r[i - step] + 4 * r[i]
                                             + 2 * r[i + step] + b[i - step] + 2 * b[i] + b[i + step]);
    return static_cast<int16_t>(16 * r[i] - sum);
}

} // namespace

VYKCONV_HOT_LOOP
void Sharpener::sharpenRow(const uint8_t* above, const uint8_t* row, const uint8_t* below, int width,
                           int channels, bool adaptive, uint8_t* __restrict out)
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
            const int16_t d = detail(above, row, below, i, step);
            const int16_t magnitude = static_cast<int16_t>(d < 0 ? -d : d);
            const int16_t weight = std::min<int16_t>(std::max<int16_t>(magnitude - kNoiseLevel, 0), kNoiseLevel);
            // d x weight / kNoiseLevel x 1.5 / 16 = (4 d) x (24 weight) / 2^16, both factors within 16 bits.
            const int16_t correction = static_cast<int16_t>((static_cast<int32_t>(d * 4) * (weight * 24)) >> 16);
            const int16_t v = static_cast<int16_t>(row[i] + correction);
            out[i] = static_cast<uint8_t>(std::min<int16_t>(std::max<int16_t>(v, 0), 255));
        }
    } else {
        for (int i = step; i < total - step; ++i) {
            const int16_t v = static_cast<int16_t>(row[i] + ((detail(above, row, below, i, step) * 3) >> 5)); // 1.5 / 16
            out[i] = static_cast<uint8_t>(std::min<int16_t>(std::max<int16_t>(v, 0), 255));
        }
    }
}

} // namespace vykconv
