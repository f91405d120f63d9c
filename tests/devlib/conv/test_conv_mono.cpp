// Mono 8-bit conversion: the tone mapping (limits, gamma, contrast), auto range,
// flip, row padding, sharpening, and the two-core split.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "ConvHandle.h"
#include "ToneCurve.h"
#include "vyk_conv.h"

namespace {

// The documented mapping, computed here on its own: normalise to the limits, raise to
// 1/gamma, stretch around mid-grey by the contrast slope, scale to 0..255.
double expectedLevel(int v, int lo, int hi, double gamma, int contrast, int maxCode)
{
    v = std::min(v, maxCode);
    double x = std::clamp((static_cast<double>(v) - lo) / (hi - lo), 0.0, 1.0);
    x = std::pow(x, 1.0 / gamma);
    const double slope = contrast <= 0 ? 1.0 + contrast / 100.0 : 1.0 + 3.0 * contrast / 100.0;
    x = std::clamp(0.5 + (x - 0.5) * slope, 0.0, 1.0);
    return x * 255.0;
}

// Converts a one-row ramp 0..count-1 and returns the 8-bit results.
std::vector<uint8_t> convertRamp(ConvHandle& h, int count, uint32_t flags = VYKCONV_FLAG_BASE)
{
    std::vector<uint16_t> src(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i)
        src[static_cast<size_t>(i)] = static_cast<uint16_t>(i);
    std::vector<uint8_t> dst(ConvHandle::outputCount(VYKCONV_MODE_MONO, 0, count, 1));
    EXPECT_EQ(VYKCONV_ConvertMono8(h.get(), flags, 0, count, 1, src.data(), src.size(), dst.data(), dst.size()),
              VYK_NOERROR);
    dst.resize(static_cast<size_t>(count));
    return dst;
}

struct RampCase {
    int lo, hi, gammaX100, contrast;
};

class MonoRamp : public ::testing::TestWithParam<RampCase> {};

TEST_P(MonoRamp, FollowsLimitsGammaAndContrast)
{
    const RampCase c = GetParam();
    ConvHandle h(VYKCONV_MODE_MONO, 12);
    h.setMapping(c.lo, c.hi, c.gammaX100, c.contrast);
    const auto out = convertRamp(h, 4096);
    for (int v = 0; v < 4096; ++v) {
        const double want = expectedLevel(v, c.lo, std::max(c.hi, c.lo + 1), c.gammaX100 / 100.0, c.contrast, 4095);
        // The rounded mapping. Before rounding, the fixed-point linear ramp is within 1/128
        // level of the exact one, so it may round the other way where the exact level lies
        // that close to a half.
        ASSERT_LE(std::abs(out[static_cast<size_t>(v)] - want), 0.5 + 1.0 / 128) << "raw value " << v;
    }
    EXPECT_TRUE(std::is_sorted(out.begin(), out.end())) << "the mapping is monotonic";
}

INSTANTIATE_TEST_SUITE_P(Mappings, MonoRamp,
                         ::testing::Values(RampCase{0, 4095, 100, 0}, RampCase{1000, 3000, 100, 0},
                                           RampCase{1000, 3000, 60, 0}, RampCase{0, 4095, 220, 0},
                                           RampCase{200, 2200, 100, 50}, RampCase{200, 2200, 150, -60},
                                           RampCase{0, 4095, 100, -100}, RampCase{500, 500, 100, 0},
                                           RampCase{3000, 100, 100, 0}, RampCase{0, 100000, 100, 0}));

TEST(MonoMapping, EndpointsAndGammaDirection)
{
    ConvHandle h(VYKCONV_MODE_MONO, 12);
    h.setMapping(1000, 3000);
    auto out = convertRamp(h, 4096);
    EXPECT_EQ(out[0], 0);
    EXPECT_EQ(out[1000], 0);
    EXPECT_EQ(out[2000], 128); // 127.5 rounds up
    EXPECT_EQ(out[3000], 255);
    EXPECT_EQ(out[4095], 255);
    h.setMapping(0, 4095, 220);
    out = convertRamp(h, 4096);
    EXPECT_GT(out[2048], 160) << "gamma above 1 lifts the mid-tones";
    h.setMapping(0, 4095, 60);
    out = convertRamp(h, 4096);
    EXPECT_LT(out[2048], 90) << "gamma below 1 darkens the mid-tones";
}

TEST(MonoMapping, ValuesAboveTheSensorRangeSaturate)
{
    for (int gamma : {100, 60}) {
        ConvHandle h(VYKCONV_MODE_MONO, 12);
        h.setMapping(0, 4095, gamma);
        std::vector<uint16_t> src = {4095, 4096, 40000, 65535};
        std::vector<uint8_t> dst(4);
        ASSERT_EQ(VYKCONV_ConvertMono8(h.get(), VYKCONV_FLAG_BASE, 0, 4, 1, src.data(), 4, dst.data(), 4), VYK_NOERROR);
        EXPECT_EQ(dst, std::vector<uint8_t>(4, 255)) << "gamma " << gamma;
    }
}

TEST(MonoMapping, LinearRampHoldsForEveryDepthAndRange)
{
    // Tiny, odd, sensor-sized and wider-than-sensor ranges, limits beyond the codes, and
    // random ones: the ramp keeps within rounding of the exact mapping, is monotonic and
    // maps its limits to 0 and 255.
    std::mt19937 rng(7);
    for (int bits : {8, 10, 12, 14, 16}) {
        const int top = (1 << bits) - 1;
        std::vector<std::pair<int, int>> ranges = {{0, top}, {0, 1}, {5, 6}, {7, 10}, {100, top + 5000},
                                                   {top, top + 1}, {top + 10, top + 20}, {0, 1 << 20}, {1, top - 1}};
        std::uniform_int_distribution<int> limit(0, top);
        for (int i = 0; i < 20; ++i) {
            const int a = limit(rng), b = limit(rng);
            ranges.emplace_back(std::min(a, b), std::max(a, b) + 1);
        }
        std::vector<uint16_t> src(static_cast<size_t>(top) + 1);
        for (size_t v = 0; v < src.size(); ++v)
            src[v] = static_cast<uint16_t>(v);
        std::vector<uint8_t> out(src.size());
        for (const auto& [lo, hi] : ranges) {
            vykconv::ToneCurve curve;
            curve.configure(bits, lo, hi, 100, 0);
            ASSERT_TRUE(curve.isLinear());
            curve.mapRaw(src.data(), out.data(), static_cast<int>(src.size()));
            for (int v = 0; v <= top; ++v) {
                const double want = expectedLevel(v, lo, hi, 1.0, 0, top);
                ASSERT_LE(std::abs(out[static_cast<size_t>(v)] - want), 0.5 + 1.0 / 128)
                    << bits << " bits, limits " << lo << ".." << hi << ", raw value " << v;
            }
            ASSERT_TRUE(std::is_sorted(out.begin(), out.end())) << bits << " bits, limits " << lo << ".." << hi;
            if (hi <= top) {
                EXPECT_EQ(out[static_cast<size_t>(hi)], 255) << bits << " bits, limits " << lo << ".." << hi;
            }
            if (lo <= top) {
                EXPECT_EQ(out[static_cast<size_t>(lo)], 0) << bits << " bits, limits " << lo << ".." << hi;
            }
        }
    }
}

TEST(MonoMapping, TableIsRebuiltOnlyWhenItsInputsChange)
{
    vykconv::ToneCurve curve;
    EXPECT_TRUE(curve.configure(12, 0, 4095, 60, 0));
    EXPECT_FALSE(curve.isLinear());
    EXPECT_FALSE(curve.configure(12, 0, 4095, 60, 0));
    EXPECT_TRUE(curve.configure(12, 0, 4000, 60, 0));
    EXPECT_TRUE(curve.configure(12, 0, 4000, 60, 10));
    EXPECT_TRUE(curve.configure(14, 0, 4000, 60, 10));
    EXPECT_FALSE(curve.configure(14, 0, 4000, 60, 10));
    EXPECT_TRUE(curve.configure(14, 0, 4000, 100, 0));
    EXPECT_TRUE(curve.isLinear());
}

TEST(MonoAutoRange, MapsTheFramesOwnRangeWithoutTouchingTheLimits)
{
    ConvHandle h(VYKCONV_MODE_MONO, 12);
    h.setMapping(0, 4095);
    std::vector<uint16_t> src = {500, 750, 1000, 1250, 1500, 600, 700, 800};
    std::vector<uint8_t> dst(8);
    ASSERT_EQ(VYKCONV_ConvertMono8(h.get(), VYKCONV_FLAG_BASE | VYKCONV_FLAG_AUTO_MINMAX, 0, 8, 1, src.data(), 8,
                                   dst.data(), 8),
              VYK_NOERROR);
    EXPECT_EQ(dst[0], 0);
    EXPECT_EQ(dst[4], 255);
    EXPECT_EQ(dst[2], 128);
    EXPECT_EQ(dst[1], 64);
    EXPECT_EQ(h.params().iMaxLimit, 4095);

    // Without the flag the stored limits apply again.
    ASSERT_EQ(VYKCONV_ConvertMono8(h.get(), VYKCONV_FLAG_BASE, 0, 8, 1, src.data(), 8, dst.data(), 8), VYK_NOERROR);
    EXPECT_EQ(dst[4], static_cast<uint8_t>(std::lround(1500 * 255.0 / 4095)));

    // A flat frame shows white, an all-black frame black.
    std::vector<uint16_t> flat(8, 700);
    ASSERT_EQ(VYKCONV_ConvertMono8(h.get(), VYKCONV_FLAG_AUTO_MINMAX, 0, 8, 1, flat.data(), 8, dst.data(), 8),
              VYK_NOERROR);
    EXPECT_EQ(dst, std::vector<uint8_t>(8, 255));
    std::vector<uint16_t> black(8, 0);
    ASSERT_EQ(VYKCONV_ConvertMono8(h.get(), VYKCONV_FLAG_AUTO_MINMAX, 0, 8, 1, black.data(), 8, dst.data(), 8),
              VYK_NOERROR);
    EXPECT_EQ(dst, std::vector<uint8_t>(8, 0));
}

TEST(MonoLayout, OddWidthsArePaddedWithZerosAndFlipReversesRows)
{
    for (int w : {1, 2, 3, 5, 6, 7, 9}) {
        const int hgt = 3;
        ConvHandle h(VYKCONV_MODE_MONO, 8);
        std::vector<uint16_t> src(static_cast<size_t>(w) * hgt);
        for (int y = 0; y < hgt; ++y)
            for (int x = 0; x < w; ++x)
                src[static_cast<size_t>(y * w + x)] = static_cast<uint16_t>(10 * y + x + 1);
        const size_t pitch = (static_cast<size_t>(w) + 3) / 4 * 4;
        for (bool flip : {false, true}) {
            std::vector<uint8_t> dst(pitch * hgt, 0xEE);
            const uint32_t flags = VYKCONV_FLAG_BASE | (flip ? VYKCONV_FLAG_FLIP_VERTICAL : 0u);
            ASSERT_EQ(VYKCONV_ConvertMono8(h.get(), flags, 0, w, hgt, src.data(), src.size(), dst.data(), dst.size()),
                      VYK_NOERROR);
            for (int y = 0; y < hgt; ++y) {
                const int srcRow = flip ? hgt - 1 - y : y;
                for (int x = 0; x < w; ++x)
                    EXPECT_EQ(dst[static_cast<size_t>(y) * pitch + x], 10 * srcRow + x + 1)
                        << "w " << w << " flip " << flip << " at " << x << "," << y;
                for (size_t x = static_cast<size_t>(w); x < pitch; ++x)
                    EXPECT_EQ(dst[static_cast<size_t>(y) * pitch + x], 0) << "padding, w " << w;
            }
        }
    }
}

// Converts a w x h frame with the given flags on an 8-bit handle (identity mapping).
std::vector<uint8_t> convertIdentity(const std::vector<uint16_t>& src, int w, int h, uint32_t flags)
{
    ConvHandle conv(VYKCONV_MODE_MONO, 8);
    std::vector<uint8_t> dst(ConvHandle::outputCount(VYKCONV_MODE_MONO, 0, w, h));
    EXPECT_EQ(VYKCONV_ConvertMono8(conv.get(), flags, 0, w, h, src.data(), src.size(), dst.data(), dst.size()),
              VYK_NOERROR);
    return dst;
}

TEST(MonoSharpen, FlatAreasStayFlatAndEdgesGainContrast)
{
    const int w = 16, h = 8;
    std::vector<uint16_t> flat(static_cast<size_t>(w) * h, 90);
    for (uint32_t f : {VYKCONV_FLAG_SHARPEN, VYKCONV_FLAG_ADAPTIVE_SHARPEN})
        EXPECT_EQ(convertIdentity(flat, w, h, f), std::vector<uint8_t>(static_cast<size_t>(w) * h, 90));

    // A vertical step from 60 to 180 between columns 7 and 8.
    std::vector<uint16_t> step(static_cast<size_t>(w) * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            step[static_cast<size_t>(y * w + x)] = x < 8 ? 60 : 180;
    for (uint32_t f : {VYKCONV_FLAG_SHARPEN, VYKCONV_FLAG_ADAPTIVE_SHARPEN, VYKCONV_FLAG_SHARPEN | VYKCONV_FLAG_ADAPTIVE_SHARPEN}) {
        const auto out = convertIdentity(step, w, h, f);
        const size_t row = 4 * w;
        EXPECT_LT(out[row + 7], 60) << "dark side undershoots, flags " << f;
        EXPECT_GT(out[row + 8], 180) << "bright side overshoots, flags " << f;
        EXPECT_EQ(out[row + 3], 60) << "away from the edge nothing changes";
        EXPECT_EQ(out[row + 12], 180);
        EXPECT_EQ(out[row + 0], 60) << "border column is copied";
    }
}

TEST(MonoSharpen, AdaptiveLeavesLowNoiseAlone)
{
    const int w = 32, h = 16;
    std::mt19937 rng(7);
    std::vector<uint16_t> noisy(static_cast<size_t>(w) * h);
    for (auto& v : noisy)
        v = static_cast<uint16_t>(100 + static_cast<int>(rng() % 5) - 2); // +-2 grey levels
    const auto adaptive = convertIdentity(noisy, w, h, VYKCONV_FLAG_ADAPTIVE_SHARPEN);
    const auto plain = convertIdentity(noisy, w, h, VYKCONV_FLAG_SHARPEN);
    const auto none = convertIdentity(noisy, w, h, 0);
    EXPECT_EQ(adaptive, none) << "noise within the noise level is not amplified";
    EXPECT_NE(plain, none) << "the plain mask amplifies it";
}

TEST(MonoThreads, LargeFramesGiveTheSameResultAsRowByRowConversion)
{
    const int w = 1000, h = 600; // above the two-core threshold
    std::mt19937 rng(3);
    std::vector<uint16_t> src(static_cast<size_t>(w) * h);
    for (auto& v : src)
        v = static_cast<uint16_t>(rng() % 4096);
    for (int gamma : {100, 70}) {
        ConvHandle whole(VYKCONV_MODE_MONO, 12);
        whole.setMapping(100, 3900, gamma, 20);
        std::vector<uint8_t> big(ConvHandle::outputCount(VYKCONV_MODE_MONO, 0, w, h));
        ASSERT_EQ(VYKCONV_ConvertMono8(whole.get(), VYKCONV_FLAG_FLIP_VERTICAL, 0, w, h, src.data(), src.size(),
                                       big.data(), big.size()),
                  VYK_NOERROR);
        const size_t pitch = big.size() / h;
        std::vector<uint8_t> row(pitch);
        for (int y = 0; y < h; ++y) {
            ASSERT_EQ(VYKCONV_ConvertMono8(whole.get(), 0, 0, w, 1, src.data() + static_cast<size_t>(y) * w, w,
                                           row.data(), row.size()),
                      VYK_NOERROR);
            ASSERT_TRUE(std::equal(row.begin(), row.end(), big.begin() + static_cast<long>((h - 1 - y) * pitch)))
                << "row " << y;
        }
    }
}

// The unsharp mask written plainly: binomial 3 x 3 blur, c + 1.5 (c - blur) (with the
// adaptive weight when asked), border pixels copied, rows outside the frame repeated.
std::vector<uint8_t> referenceSharpen(const std::vector<uint8_t>& img, size_t pitch, int w, int h, bool adaptive)
{
    std::vector<uint8_t> out = img;
    for (int y = 0; y < h; ++y)
        for (int x = 1; x + 1 < w; ++x) {
            int sum = 0;
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx) {
                    const int yy = std::clamp(y + dy, 0, h - 1);
                    const int weight = (dx == 0 ? 2 : 1) * (dy == 0 ? 2 : 1);
                    sum += weight * img[static_cast<size_t>(yy) * pitch + static_cast<size_t>(x + dx)];
                }
            const int c = img[static_cast<size_t>(y) * pitch + static_cast<size_t>(x)];
            const int detail = 16 * c - sum;
            double correction = 1.5 * detail / 16.0;
            if (adaptive)
                correction *= std::clamp(std::abs(detail) - 64, 0, 64) / 64.0;
            out[static_cast<size_t>(y) * pitch + static_cast<size_t>(x)] =
                static_cast<uint8_t>(std::clamp(c + static_cast<int>(std::floor(correction)), 0, 255));
        }
    return out;
}

TEST(MonoThreads, SharpenedLargeFramesMatchThePlainUnsharpMask)
{
    const int w = 1001, h = 500; // above the two-core threshold: the band seam is inside
    std::mt19937 rng(5);
    std::vector<uint16_t> src(static_cast<size_t>(w) * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            src[static_cast<size_t>(y) * w + x] =
                static_cast<uint16_t>(((x / 7 + y / 5) % 2) * 120 + 60 + static_cast<int>(rng() % 9));
    const auto plain = convertIdentity(src, w, h, 0);
    const size_t pitch = plain.size() / h;
    for (bool adaptive : {false, true}) {
        const auto want = referenceSharpen(plain, pitch, w, h, adaptive);
        const auto got =
            convertIdentity(src, w, h, adaptive ? VYKCONV_FLAG_ADAPTIVE_SHARPEN : VYKCONV_FLAG_SHARPEN);
        ASSERT_EQ(got.size(), want.size());
        for (size_t i = 0; i < got.size(); ++i)
            ASSERT_EQ(got[i], want[i]) << "adaptive " << adaptive << " at row " << i / pitch << " column " << i % pitch;
    }
}

} // namespace
