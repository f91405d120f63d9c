// Counting images into histogram bins.
#include "test_HistogramSupport.h"
#include "view/HistogramCounting.h"

#include <gtest/gtest.h>

using histtest::colourImage;
using histtest::monoImage;

TEST(HistogramCounting, TwelveBitCameraCountsMaskedRawValuesIntoFourThousandBins)
{
    // 7 pixels (not a multiple of the interleave width): 5, 5, 4095, 4096 + 5, 0, 5, 65535.
    const std::vector<uint16_t> values{5, 5, 4095, 4096 + 5, 0, 5, 65535};
    const HistogramCounts counts = countHistogram(monoImage(7, 1, [&](std::size_t i) { return values[i]; }), 12);
    EXPECT_FALSE(counts.colour);
    ASSERT_EQ(counts.mono.size(), 4096);
    EXPECT_EQ(counts.mono[5], 4.0);
    EXPECT_EQ(counts.mono[4095], 2.0);
    EXPECT_EQ(counts.mono[0], 1.0);
    double total = 0;
    for (double c : counts.mono)
        total += c;
    EXPECT_EQ(total, 7.0);
}

TEST(HistogramCounting, SixteenBitAndUniformImages)
{
    const HistogramCounts counts = countHistogram(monoImage(64, 33, [](std::size_t) { return 60000; }), 16);
    ASSERT_EQ(counts.mono.size(), 65536);
    EXPECT_EQ(counts.mono[60000], 64.0 * 33.0);
    const HistogramCounts ramp = countHistogram(monoImage(256, 16, [](std::size_t i) { return i; }), 16);
    for (int v = 0; v < 4096; ++v)
        ASSERT_EQ(ramp.mono[v], 1.0) << v;
    EXPECT_EQ(ramp.mono[4096], 0.0);
}

TEST(HistogramCounting, ByteRawDataGivesEightBitBinsWhateverTheCamera)
{
    vyk::Image image;
    image.reshape(vyk::Roi{1, 1, 5, 1}, vyk::DataFormat::Mono8, vyk::RawFormat::Byte);
    image.rawData8() = {1, 1, 200, 255, 0};
    const HistogramCounts counts = countHistogram(image, 14);
    ASSERT_EQ(counts.mono.size(), 256);
    EXPECT_EQ(counts.mono[1], 2.0);
    EXPECT_EQ(counts.mono[255], 1.0);
}

TEST(HistogramCounting, ColourImagesCountBlueGreenRedWithoutRowPadding)
{
    // Width 3 pads each row to 4 pixels; the padding bytes (7) must not be counted.
    const HistogramCounts bgr = countHistogram(colourImage(vyk::DataFormat::BGR8, 3, 2, 10, 20, 30), 16);
    EXPECT_TRUE(bgr.colour);
    ASSERT_EQ(bgr.blue.size(), 256);
    ASSERT_EQ(bgr.green.size(), 256);
    ASSERT_EQ(bgr.red.size(), 256);
    EXPECT_EQ(bgr.blue[10], 6.0);
    EXPECT_EQ(bgr.green[20], 6.0);
    EXPECT_EQ(bgr.red[30], 6.0);
    EXPECT_EQ(bgr.blue[7] + bgr.green[7] + bgr.red[7], 0.0);

    const HistogramCounts rgb = countHistogram(colourImage(vyk::DataFormat::RGB8, 4, 1, 10, 20, 30), 8);
    EXPECT_EQ(rgb.red[10], 4.0);
    EXPECT_EQ(rgb.blue[30], 4.0);
}
