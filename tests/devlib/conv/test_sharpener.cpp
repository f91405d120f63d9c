// One row of the unsharp mask against the formula, element by element, for every channel
// count and for widths around the 32-element steps of the vector code, so that its body and
// the steps placed against the row's end meet the same values as short element-wise rows.
#include "Sharpener.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <random>
#include <vector>

using vykconv::Sharpener;

namespace {

// c + 1.5 (c - blur) of element i (binomial 3 x 3 blur over the same channel), scaled by
// the adaptive weight when asked, clamped to 0..255.
int expected(const std::vector<uint8_t>& a, const std::vector<uint8_t>& r, const std::vector<uint8_t>& b, int i,
             int step, bool adaptive)
{
    const int sum = a[i - step] + 2 * a[i] + a[i + step] + 2 * r[i - step] + 4 * r[i] + 2 * r[i + step] + b[i - step] +
                    2 * b[i] + b[i + step];
    const int detail = 16 * r[i] - sum;
    double correction = 1.5 * detail / 16.0;
    if (adaptive)
        correction *= std::clamp(std::abs(detail) - Sharpener::kNoiseLevel, 0, Sharpener::kNoiseLevel) /
                      double(Sharpener::kNoiseLevel);
    return std::clamp(r[i] + static_cast<int>(std::floor(correction)), 0, 255);
}

} // namespace

TEST(Sharpener, EveryElementOfARowFollowsTheFormula)
{
    std::mt19937 random(7);
    for (int channels : {1, 3, 4}) {
        for (int width = 1; width <= 200; ++width) {
            const size_t total = static_cast<size_t>(width) * channels;
            // Sharp contrasts (0 and 255 beside mid-greys) drive the clamps both ways.
            std::vector<uint8_t> rows[3];
            for (auto& row : rows) {
                row.resize(total);
                for (auto& v : row)
                    v = random() % 3 == 0 ? uint8_t(random() % 2 * 255) : uint8_t(random() % 256);
            }
            for (bool adaptive : {false, true}) {
                std::vector<uint8_t> out(total, 0xA5);
                Sharpener::sharpenRow(rows[0].data(), rows[1].data(), rows[2].data(), width, channels, adaptive,
                                      out.data());
                for (size_t i = 0; i < total; ++i) {
                    const bool border = width < 3 || i < size_t(channels) || i >= total - channels;
                    const int want = border ? rows[1][i]
                                            : expected(rows[0], rows[1], rows[2], int(i), channels, adaptive);
                    ASSERT_EQ(out[i], want) << "channels " << channels << ", width " << width << ", element " << i
                                            << (adaptive ? ", adaptive" : "");
                }
            }
        }
    }
}
