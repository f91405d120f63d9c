#include "view/DisplayGeometry.h"
#include "view/ImageStatistics.h"
#include "view/OverlayText.h"

#include "TestImages.h"

#include <gtest/gtest.h>

using viewtest::makeImage;
using viewtest::uniformImage;
using vyk::DataFormat;
using vyk::RawFormat;

TEST(ImageStatistics, AllThousandImageHasNoSpreadAndAlignedFields)
{
    const vyk::Image image = uniformImage(DataFormat::Mono16, RawFormat::Word, 7, 5, 1000, 0);
    const RawStatistics stats = ImageStatistics::raw(image);
    ASSERT_EQ(stats.status, StatisticsStatus::Ok);
    EXPECT_EQ(stats.min, 1000);
    EXPECT_EQ(stats.max, 1000);
    EXPECT_EQ(stats.mean, 1000);
    EXPECT_EQ(stats.stddev, 0);
    EXPECT_EQ(OverlayText::statistics(stats), QStringLiteral("Min:   1000 Max:   1000 Mean:   1000 Stddev:      0"));
}

TEST(ImageStatistics, RawMeanIsTruncatedBeforeTheDeviationsAreSummed)
{
    // Values 1 and 2: the truncated mean 1 gives variance 1 / 1 = 1; the exact mean 1.5
    // would give 0.5 and a standard deviation of 0.
    const vyk::Image image = makeImage(
        DataFormat::Mono16, RawFormat::Word, 2, 1, [](uint64_t c, uint64_t) { return unsigned(c + 1); },
        [](uint64_t, uint64_t, unsigned) { return 0u; });
    const RawStatistics stats = ImageStatistics::raw(image);
    EXPECT_EQ(stats.min, 1);
    EXPECT_EQ(stats.max, 2);
    EXPECT_EQ(stats.mean, 1);
    EXPECT_EQ(stats.stddev, 1);
}

TEST(ImageStatistics, RawStatisticsOfByteAndWordRaw)
{
    // 8-bit raw 0..255 ramp over 256 pixels: mean 127 (127.5 truncated).
    const vyk::Image bytes = makeImage(
        DataFormat::Mono8, RawFormat::Byte, 16, 16, [](uint64_t c, uint64_t r) { return unsigned(r * 16 + c); },
        [](uint64_t, uint64_t, unsigned) { return 0u; });
    const RawStatistics byteStats = ImageStatistics::raw(bytes);
    EXPECT_EQ(byteStats.bits, 8u);
    EXPECT_EQ(byteStats.min, 0);
    EXPECT_EQ(byteStats.max, 255);
    EXPECT_EQ(byteStats.mean, 127);
    EXPECT_EQ(byteStats.stddev, 74);  // sqrt(1398144 / 255) = 74.05

    // A 12-bit camera's words behind Mono8 display bytes are what the statistics describe.
    const vyk::Image words = makeImage(
        DataFormat::Mono8, RawFormat::Word, 3, 1, [](uint64_t c, uint64_t) { return unsigned(4000 + c * 40); },
        [](uint64_t, uint64_t, unsigned) { return 7u; });
    const RawStatistics wordStats = ImageStatistics::raw(words);
    EXPECT_EQ(wordStats.bits, 16u);
    EXPECT_EQ(wordStats.min, 4000);
    EXPECT_EQ(wordStats.max, 4080);
    EXPECT_EQ(wordStats.mean, 4040);
    EXPECT_EQ(wordStats.stddev, 40);
}

TEST(ImageStatistics, SinglePixelDividesByOne)
{
    const vyk::Image image = uniformImage(DataFormat::Mono16, RawFormat::Word, 1, 1, 9, 0);
    const RawStatistics stats = ImageStatistics::raw(image);
    EXPECT_EQ(stats.mean, 9);
    EXPECT_EQ(stats.stddev, 0);
    const DisplayStatistics display = ImageStatistics::display(image);
    EXPECT_EQ(display.count, 1u);
    EXPECT_DOUBLE_EQ(display.stddev, 0.0);
}

TEST(ImageStatistics, MissingBuffersAreReportedAndLeaveZeros)
{
    const vyk::Image none;
    EXPECT_EQ(ImageStatistics::raw(none).status, StatisticsStatus::NoData);
    EXPECT_EQ(ImageStatistics::display(none).status, StatisticsStatus::UnknownFormat);

    vyk::Image emptyRaw;
    emptyRaw.setRoi(vyk::Roi{1, 1, 4, 4});
    emptyRaw.setFormat(DataFormat::Mono8);
    emptyRaw.setRaw(std::vector<uint16_t>{});
    const RawStatistics raw = ImageStatistics::raw(emptyRaw);
    EXPECT_EQ(raw.status, StatisticsStatus::Empty);
    EXPECT_EQ(raw.bits, 16u);
    EXPECT_EQ(raw.min, 0);
    EXPECT_EQ(raw.stddev, 0);
    EXPECT_EQ(ImageStatistics::display(emptyRaw).status, StatisticsStatus::NoData);

    emptyRaw.setData(std::vector<uint8_t>{});
    const DisplayStatistics display = ImageStatistics::display(emptyRaw);
    EXPECT_EQ(display.status, StatisticsStatus::Empty);
    EXPECT_EQ(display.bits, 8u);

    vyk::Image rgb;
    rgb.reshape(vyk::Roi{1, 1, 4, 4}, DataFormat::RGB8, RawFormat::Word);
    EXPECT_EQ(ImageStatistics::display(rgb).status, StatisticsStatus::UnknownFormat);
}

TEST(ImageStatistics, DisplayValuesOfColourImagesCountEveryComponentButNoPadding)
{
    // 3 x 2 BGR8: rows padded to 4 pixels; the padding bytes hold 255 and must not count.
    const vyk::Image image = makeImage(
        DataFormat::BGR8, RawFormat::Word, 3, 2, [](uint64_t, uint64_t) { return 0u; },
        [](uint64_t c, uint64_t r, unsigned k) { return unsigned(10 + k + c * 3 + r * 9); }, 255);
    const DisplayStatistics stats = ImageStatistics::display(image);
    ASSERT_EQ(stats.status, StatisticsStatus::Ok);
    EXPECT_EQ(stats.count, 18u);
    EXPECT_EQ(stats.min, 10);
    EXPECT_EQ(stats.max, 27);
    EXPECT_DOUBLE_EQ(stats.mean, 18.5);
}

TEST(ImageStatistics, DisplayStatisticsOfPaddedMonoRowsAndOfWords)
{
    // 101 x 1 Mono8 with 12-bit raw: 50 values of 90, 50 of 110, one of 100 give mean 100
    // and a sample standard deviation of exactly 10; the three padding bytes are 0.
    const vyk::Image image = makeImage(
        DataFormat::Mono8, RawFormat::Word, 101, 1, [](uint64_t, uint64_t) { return 0u; },
        [](uint64_t c, uint64_t, unsigned) { return c < 50 ? 90u : (c < 100 ? 110u : 100u); }, 0);
    const DisplayStatistics stats = ImageStatistics::display(image);
    EXPECT_EQ(stats.count, 101u);
    EXPECT_EQ(stats.min, 90);
    EXPECT_EQ(stats.max, 110);
    EXPECT_DOUBLE_EQ(stats.mean, 100.0);
    EXPECT_DOUBLE_EQ(stats.stddev, 10.0);

    const vyk::Image words = uniformImage(DataFormat::Mono16, RawFormat::Word, 5, 3, 1000, 0);
    const DisplayStatistics wordStats = ImageStatistics::display(words);
    EXPECT_EQ(wordStats.bits, 16u);
    EXPECT_EQ(wordStats.min, 1000);
    EXPECT_EQ(wordStats.max, 1000);
    EXPECT_DOUBLE_EQ(wordStats.mean, 1000.0);
}

TEST(DisplayGeometry, RowLengthFollowsTheBufferThatHoldsTheImage)
{
    const vyk::Image bytes = uniformImage(DataFormat::Mono8, RawFormat::Byte, 5, 3, 1, 1);
    const DisplayGeometry unpadded = DisplayGeometry::of(bytes);
    ASSERT_EQ(unpadded.status, DisplayGeometry::Status::Ok);
    EXPECT_EQ(unpadded.rowElements, 5u);

    const vyk::Image converted = uniformImage(DataFormat::Mono8, RawFormat::Word, 5, 3, 1, 1);
    EXPECT_EQ(DisplayGeometry::of(converted).rowElements, 8u);
    EXPECT_EQ(DisplayGeometry::ofRaw(converted).rowElements, 5u);

    const vyk::Image colour = uniformImage(DataFormat::BGR8, RawFormat::Word, 1003, 2, 1, 1);
    const DisplayGeometry bgr = DisplayGeometry::of(colour);
    EXPECT_EQ(bgr.components, 3u);
    EXPECT_EQ(bgr.rowElements, 1004u * 3);

    vyk::Image shortBuffer;
    shortBuffer.setRoi(vyk::Roi{1, 1, 10, 10});
    shortBuffer.setFormat(DataFormat::BGR8);
    shortBuffer.setData(std::vector<uint8_t>(50, 0));
    EXPECT_EQ(DisplayGeometry::of(shortBuffer).status, DisplayGeometry::Status::Malformed);
}

TEST(OverlayText, CountersWithAndWithoutImageNumber)
{
    vyk::Image image = uniformImage(DataFormat::Mono8, RawFormat::Byte, 4, 4, 0, 0, 17);
    EXPECT_EQ(OverlayText::counters(image), QStringLiteral("Image Nr.: N/A Recorder Nr.: 17"));

    vyk::ImageMetadata metadata;
    metadata.bIMAGE_COUNTER_BCD[0] = 0x07;  // BCD, least significant byte first
    image.setMetadata(metadata);
    EXPECT_EQ(OverlayText::counters(image), QStringLiteral("Image Nr.:    7 Recorder Nr.: 17"));

    metadata.bIMAGE_COUNTER_BCD[0] = 0x45;
    metadata.bIMAGE_COUNTER_BCD[1] = 0x23;
    metadata.bIMAGE_COUNTER_BCD[2] = 0x01;
    image.setMetadata(metadata);
    EXPECT_EQ(OverlayText::counters(image), QStringLiteral("Image Nr.: 12345 Recorder Nr.: 17"));
}
