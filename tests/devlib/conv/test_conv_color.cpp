// Colour conversions: Bayer phases, both demosaics, channel orders and padding, flip,
// white balance, colour matrix, saturation and vibrance, and the 16-bit output.
#include <algorithm>
#include <array>
#include <cmath>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "ConvHandle.h"
#include "vyk_conv.h"

namespace {

using Rgb = std::array<int, 3>;

// Colour of sensor pixel (x, y) for a pattern code: 0 red, 1 green, 2 blue.
int bayerChannel(int x, int y, int pattern)
{
    const bool redColumn = (x & 1) == (pattern & 1);
    const bool redRow = (y & 1) == (pattern >> 1);
    if (redColumn && redRow)
        return 0;
    if (!redColumn && !redRow)
        return 2;
    return 1;
}

// A raw frame of a uniformly coloured scene.
std::vector<uint16_t> flatField(int w, int h, int pattern, Rgb colour)
{
    std::vector<uint16_t> raw(static_cast<size_t>(w) * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            raw[static_cast<size_t>(y * w + x)] = static_cast<uint16_t>(colour[bayerChannel(x, y, pattern)]);
    return raw;
}

int level12(int v) { return static_cast<int>(std::lround(std::min(v, 4095) * 255.0 / 4095.0)); }

struct Converted {
    std::vector<uint8_t> data;
    size_t pitch = 0;
    int channels = 3;
    // Pixel (x, y) as red, green, blue for the given channel order flags.
    Rgb at(int x, int y, uint32_t order) const
    {
        const uint8_t* p = data.data() + static_cast<size_t>(y) * pitch + static_cast<size_t>(x) * channels;
        const bool redFirst = order == VYKCONV_FLAG_RGB || order == VYKCONV_FLAG_RGBA;
        return redFirst ? Rgb{p[0], p[1], p[2]} : Rgb{p[2], p[1], p[0]};
    }
};

Converted convert8(ConvHandle& h, const std::vector<uint16_t>& raw, int w, int hgt, uint32_t flags, int pattern)
{
    Converted c;
    const uint32_t order = flags & VYKCONV_FLAG_ORDER_MASK;
    c.channels = (order == VYKCONV_FLAG_BGRA || order == VYKCONV_FLAG_RGBA) ? 4 : 3;
    c.data.assign(ConvHandle::outputCount(VYKCONV_MODE_COLOR, flags, w, hgt), 0xCD);
    c.pitch = c.data.size() / static_cast<size_t>(hgt);
    EXPECT_EQ(VYKCONV_ConvertColor8(h.get(), flags, pattern, w, hgt, raw.data(), raw.size(), c.data.data(),
                                    c.data.size()),
              VYK_NOERROR);
    return c;
}

class BayerPhase : public ::testing::TestWithParam<std::tuple<int, bool>> {};

TEST_P(BayerPhase, FlatColouredFieldComesOutInItsColour)
{
    const int pattern = std::get<0>(GetParam());
    const uint32_t demosaic = std::get<1>(GetParam()) ? VYKCONV_FLAG_EDGE_DEMOSAIC : 0u;
    const Rgb colour = {3000, 1500, 600};
    const Rgb want = {level12(3000), level12(1500), level12(600)};
    for (auto size : {std::pair<int, int>{8, 6}, {7, 5}, {2, 2}, {3, 3}}) {
        ConvHandle h(VYKCONV_MODE_COLOR, 12);
        const int w = size.first, hgt = size.second;
        const auto raw = flatField(w, hgt, pattern, colour);
        // Sharpening (on by default in the camera layer) must not disturb a flat field.
        for (uint32_t sharpen : {0u, VYKCONV_FLAG_SHARPEN | VYKCONV_FLAG_ADAPTIVE_SHARPEN}) {
            const auto out = convert8(h, raw, w, hgt, VYKCONV_FLAG_BASE | demosaic | sharpen, pattern);
            for (int y = 0; y < hgt; ++y)
                for (int x = 0; x < w; ++x)
                    ASSERT_EQ(out.at(x, y, 0), want) << w << "x" << hgt << " at " << x << "," << y;
        }
        // Read with the wrong phase the same raw frame is a different colour.
        const auto wrong = convert8(h, raw, w, hgt, VYKCONV_FLAG_BASE | demosaic, pattern ^ 3);
        EXPECT_NE(wrong.at(0, 0, 0), want);
    }
}

INSTANTIATE_TEST_SUITE_P(AllPhases, BayerPhase,
                         ::testing::Combine(::testing::Values(0, 1, 2, 3), ::testing::Bool()));

TEST(ColorLayout, ChannelOrdersAlphaAndPaddingForOddWidths)
{
    const Rgb colour = {4095, 2048, 0};
    const Rgb want = {255, level12(2048), 0};
    for (int w : {3, 5, 6, 9}) {
        const int hgt = 4;
        const auto raw = flatField(w, hgt, 1, colour);
        for (uint32_t order : {0u, VYKCONV_FLAG_RGB, VYKCONV_FLAG_BGRA, VYKCONV_FLAG_RGBA}) {
            ConvHandle h(VYKCONV_MODE_COLOR, 12);
            const auto out = convert8(h, raw, w, hgt, VYKCONV_FLAG_BASE | order, 1);
            const bool alpha = out.channels == 4;
            const size_t pitch = alpha ? static_cast<size_t>(w) * 4 : (static_cast<size_t>(w) + 3) / 4 * 12;
            ASSERT_EQ(out.pitch, pitch);
            for (int y = 0; y < hgt; ++y) {
                for (int x = 0; x < w; ++x) {
                    EXPECT_EQ(out.at(x, y, order), want) << "order " << order << " w " << w;
                    if (alpha) {
                        EXPECT_EQ(out.data[static_cast<size_t>(y) * pitch + x * 4u + 3u], 255);
                    }
                }
                for (size_t i = static_cast<size_t>(w) * out.channels; i < pitch; ++i)
                    EXPECT_EQ(out.data[static_cast<size_t>(y) * pitch + i], 0) << "padding, w " << w;
            }
        }
    }
}

TEST(ColorLayout, FlipPutsTheBottomRowFirst)
{
    const int w = 6, hgt = 8;
    // Top half red, bottom half blue.
    auto raw = flatField(w, hgt, 0, {4000, 0, 0});
    const auto bottom = flatField(w, hgt, 0, {0, 0, 4000});
    std::copy(bottom.begin() + w * 4, bottom.end(), raw.begin() + w * 4);
    ConvHandle h(VYKCONV_MODE_COLOR, 12);
    const auto upright = convert8(h, raw, w, hgt, VYKCONV_FLAG_BASE, 0);
    const auto flipped = convert8(h, raw, w, hgt, VYKCONV_FLAG_BASE | VYKCONV_FLAG_FLIP_VERTICAL, 0);
    EXPECT_GT(upright.at(2, 0, 0)[0], 200);
    EXPECT_LT(upright.at(2, 0, 0)[2], 50);
    for (int y = 0; y < hgt; ++y)
        for (int x = 0; x < w; ++x)
            EXPECT_EQ(flipped.at(x, y, 0), upright.at(x, hgt - 1 - y, 0));
}

// Average of the pixels of one colour inside the 3 x 3 neighbourhood, with pixels
// outside the frame replaced by the nearest one of the same colour: the bilinear
// demosaic written plainly.
int referenceBilinear(const std::vector<uint16_t>& raw, int w, int h, int pattern, int x, int y, int channel)
{
    auto fold = [](int i, int n) { return i < 0 ? i + 2 : (i >= n ? i - 2 : i); };
    int sum = 0, count = 0;
    for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx) {
            if (bayerChannel(x + dx, y + dy, pattern) != channel)
                continue;
            if (dx == 0 && dy == 0)
                return raw[static_cast<size_t>(y * w + x)];
            sum += raw[static_cast<size_t>(fold(y + dy, h) * w + fold(x + dx, w))];
            ++count;
        }
    return (sum + count / 2) / count;
}

TEST(ColorDemosaic, BilinearMatchesAPlainReferenceOnARandomLargeFrame)
{
    const int w = 701, h = 400; // odd width, large enough for both cores
    std::mt19937 rng(11);
    std::vector<uint16_t> raw(static_cast<size_t>(w) * h);
    for (auto& v : raw)
        v = static_cast<uint16_t>(rng() % 4096);
    for (int pattern : {0, 3}) {
        ConvHandle conv(VYKCONV_MODE_COLOR, 12);
        const auto out = convert8(conv, raw, w, h, VYKCONV_FLAG_BASE | VYKCONV_FLAG_RGB, pattern);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const Rgb got = out.at(x, y, VYKCONV_FLAG_RGB);
                for (int c = 0; c < 3; ++c)
                    ASSERT_EQ(got[c], level12(referenceBilinear(raw, w, h, pattern, x, y, c)))
                        << "pattern " << pattern << " at " << x << "," << y << " channel " << c;
            }
    }
}

TEST(ColorDemosaic, EdgeDirectedMakesLessFalseColourAtEdges)
{
    // A grey scene with a sharp vertical and a sharp horizontal edge.
    const int w = 32, h = 32;
    std::vector<uint16_t> raw(static_cast<size_t>(w) * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            raw[static_cast<size_t>(y * w + x)] = (x >= 15) != (y >= 17) ? 3500 : 400;
    auto falseColour = [&](uint32_t flags) {
        ConvHandle conv(VYKCONV_MODE_COLOR, 12);
        const auto out = convert8(conv, raw, w, h, VYKCONV_FLAG_BASE | flags, 0);
        long total = 0;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const Rgb p = out.at(x, y, 0);
                total += std::abs(p[0] - p[1]) + std::abs(p[2] - p[1]);
            }
        return total;
    };
    const long bilinear = falseColour(0);
    const long edge = falseColour(VYKCONV_FLAG_EDGE_DEMOSAIC);
    EXPECT_GT(bilinear, 0);
    EXPECT_LT(edge, bilinear / 2) << "bilinear " << bilinear << ", edge-directed " << edge;
}

// Gains for a temperature and tint.
std::array<double, 3> gains(ConvHandle& h, int temperature, int tint)
{
    std::array<double, 3> g{};
    EXPECT_EQ(VYKCONV_GetWhiteBalanceRanges(h.get(), temperature, tint, &g[0], &g[1], &g[2]), VYK_NOERROR);
    return g;
}

TEST(ColorWhiteBalance, GainsMoveWithTemperatureAndTint)
{
    ConvHandle h(VYKCONV_MODE_COLOR, 12);
    std::array<double, 3> previous = gains(h, 1000, 0);
    for (int t = 2000; t <= 20000; t += 1000) {
        const auto g = gains(h, t, 0);
        EXPECT_GT(g[0], previous[0]) << "red gain rises with the temperature, at " << t;
        EXPECT_LT(g[2], previous[2]) << "blue gain falls with the temperature, at " << t;
        EXPECT_DOUBLE_EQ(g[1], 1.0);
        previous = g;
    }
    const auto warm = gains(h, 3000, 0);
    EXPECT_LT(warm[0], 1.0);
    EXPECT_GT(warm[2], 1.0);
    const auto magenta = gains(h, 6500, 50);
    const auto green = gains(h, 6500, -50);
    EXPECT_LT(magenta[1], 1.0);
    EXPECT_GT(green[1], 1.0);
    EXPECT_DOUBLE_EQ(magenta[0], 1.0);
    for (int t : {1000, 20000})
        for (double g : gains(h, t, 100)) {
            EXPECT_GE(g, 1.0 / 16);
            EXPECT_LE(g, 16.0);
        }
}

TEST(ColorWhiteBalance, AWhiteObjectUnderWarmLightComesOutGrey)
{
    ConvHandle h(VYKCONV_MODE_COLOR, 12);
    const auto g = gains(h, 3200, 10);
    // What the sensor records of a white object lit at 3200 K: the gains undo it.
    const Rgb raw = {static_cast<int>(std::lround(2000 / g[0])), static_cast<int>(std::lround(2000 / g[1])),
                     static_cast<int>(std::lround(2000 / g[2]))};
    const auto field = flatField(8, 8, 2, raw);
    const auto unbalanced = convert8(h, field, 8, 8, VYKCONV_FLAG_BASE, 2).at(4, 4, 0);
    EXPECT_GT(unbalanced[0] - unbalanced[2], 20) << "without correction the object looks orange";
    VYKCONV_Params p = h.params();
    p.iColorTemperature = 3200;
    p.iColorTint = 10;
    ASSERT_EQ(VYKCONV_SetParams(h.get(), &p), VYK_NOERROR);
    const auto balanced = convert8(h, field, 8, 8, VYKCONV_FLAG_BASE, 2).at(4, 4, 0);
    for (int c = 0; c < 3; ++c)
        EXPECT_NEAR(balanced[c], level12(2000), 1) << "channel " << c;
}

TEST(ColorCorrection, SensorMatrixSaturationAndVibrance)
{
    const Rgb colour = {3000, 1500, 600};
    const auto field = flatField(8, 8, 0, colour);

    // A matrix that exchanges red and blue.
    VYK_SensorInfo info = ConvHandle::sensorInfo(12);
    info.strColorCoeff.da13 = 1.0;
    info.strColorCoeff.da22 = 1.0;
    info.strColorCoeff.da31 = 1.0;
    ConvHandle swapped(VYKCONV_MODE_COLOR, info);
    EXPECT_EQ(convert8(swapped, field, 8, 8, 0, 0).at(3, 3, 0), (Rgb{level12(600), level12(1500), level12(3000)}));

    ConvHandle h(VYKCONV_MODE_COLOR, 12);
    VYKCONV_Params p = h.params();
    p.iColorSaturation = -100;
    ASSERT_EQ(VYKCONV_SetParams(h.get(), &p), VYK_NOERROR);
    const Rgb grey = convert8(h, field, 8, 8, 0, 0).at(3, 3, 0);
    const int luma = level12(static_cast<int>(std::lround(0.299 * 3000 + 0.587 * 1500 + 0.114 * 600)));
    for (int c = 0; c < 3; ++c)
        EXPECT_NEAR(grey[c], luma, 1);

    p.iColorSaturation = 50;
    ASSERT_EQ(VYKCONV_SetParams(h.get(), &p), VYK_NOERROR);
    const Rgb vivid = convert8(h, field, 8, 8, 0, 0).at(3, 3, 0);
    EXPECT_GT(vivid[0] - vivid[2], level12(3000) - level12(600));

    // Vibrance lifts a dull colour much more than a vivid one.
    p.iColorSaturation = 0;
    p.iColorVibrance = 100;
    ASSERT_EQ(VYKCONV_SetParams(h.get(), &p), VYK_NOERROR);
    const Rgb dullIn = {2200, 2000, 1800};
    const Rgb vividIn = {4000, 2000, 100};
    const Rgb dullOut = convert8(h, flatField(8, 8, 0, dullIn), 8, 8, 0, 0).at(3, 3, 0);
    const Rgb vividOut = convert8(h, flatField(8, 8, 0, vividIn), 8, 8, 0, 0).at(3, 3, 0);
    const double dullGain = (dullOut[0] - dullOut[2]) / static_cast<double>(level12(2200) - level12(1800));
    const double vividGain = (vividOut[0] - vividOut[2]) / static_cast<double>(level12(4000) - level12(100));
    EXPECT_GT(dullGain, 1.5);
    EXPECT_LT(vividGain, 1.1);
}

// Converts to 16 bits per channel; returns the buffer.
std::vector<uint16_t> convert16(ConvHandle& h, const std::vector<uint16_t>& raw, int w, int hgt, uint32_t flags,
                                int pattern)
{
    std::vector<uint16_t> out(ConvHandle::outputCount(VYKCONV_MODE_COLOR16, flags, w, hgt), 0xCDCD);
    EXPECT_EQ(VYKCONV_ConvertColor16(h.get(), flags, pattern, w, hgt, raw.data(), raw.size(), out.data(), out.size()),
              VYK_NOERROR);
    return out;
}

TEST(Color16, KeepsRawValuesInOrderAndRange)
{
    const int w = 5, hgt = 4;
    const size_t pitch = 8 * 3;
    const auto raw = flatField(w, hgt, 1, {3000, 1500, 600});
    ConvHandle h(VYKCONV_MODE_COLOR16, 12);
    const auto bgr = convert16(h, raw, w, hgt, VYKCONV_FLAG_BASE, 1);
    const auto rgb = convert16(h, raw, w, hgt, VYKCONV_FLAG_BASE | VYKCONV_FLAG_RGB, 1);
    ASSERT_EQ(bgr.size(), pitch * hgt);
    for (int y = 0; y < hgt; ++y) {
        for (int x = 0; x < w; ++x) {
            const size_t i = static_cast<size_t>(y) * pitch + static_cast<size_t>(x) * 3;
            EXPECT_EQ((std::array<int, 3>{bgr[i], bgr[i + 1], bgr[i + 2]}), (Rgb{600, 1500, 3000}));
            EXPECT_EQ((std::array<int, 3>{rgb[i], rgb[i + 1], rgb[i + 2]}), (Rgb{3000, 1500, 600}));
        }
        for (size_t i = static_cast<size_t>(w) * 3; i < pitch; ++i)
            EXPECT_EQ(bgr[static_cast<size_t>(y) * pitch + i], 0);
    }

    // Gains above 1 never push a value past the sensor's largest code; and raw values
    // beyond it are clipped as well.
    VYKCONV_Params p = h.params();
    p.iColorTemperature = 20000;
    ASSERT_EQ(VYKCONV_SetParams(h.get(), &p), VYK_NOERROR);
    const auto hot = convert16(h, flatField(w, hgt, 1, {4000, 4095, 65535}), w, hgt, VYKCONV_FLAG_RGB, 1);
    for (int y = 0; y < hgt; ++y)
        for (int x = 0; x < w; ++x) {
            const size_t i = static_cast<size_t>(y) * pitch + static_cast<size_t>(x) * 3;
            EXPECT_EQ(hot[i], 4095) << "red gain > 1 saturates";
            EXPECT_EQ(hot[i + 1], 4095);
            EXPECT_LE(hot[i + 2], 4095);
        }

    // White balance is applied in 16 bits too.
    p.iColorTemperature = 3000;
    ASSERT_EQ(VYKCONV_SetParams(h.get(), &p), VYK_NOERROR);
    const auto warm = convert16(h, raw, w, hgt, VYKCONV_FLAG_RGB, 1);
    const auto g = gains(h, 3000, 0);
    EXPECT_NEAR(warm[0], 3000 * g[0], 3000 * 0.002 + 1);
    EXPECT_NEAR(warm[2], 600 * g[2], 600 * 0.002 + 1);
}

TEST(Color16, SixteenBitSensorsUseTheFullRange)
{
    const auto raw = flatField(4, 4, 0, {65535, 32768, 1});
    ConvHandle h(VYKCONV_MODE_COLOR16, 16);
    const auto out = convert16(h, raw, 4, 4, VYKCONV_FLAG_RGB | VYKCONV_FLAG_EDGE_DEMOSAIC, 0);
    EXPECT_EQ(out[0], 65535);
    EXPECT_EQ(out[1], 32768);
    EXPECT_EQ(out[2], 1);
}

} // namespace
