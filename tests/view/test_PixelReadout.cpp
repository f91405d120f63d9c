#include "view/PixelReadout.h"

#include "TestImages.h"

#include <gtest/gtest.h>

using viewtest::makeImage;
using vyk::DataFormat;
using vyk::RawFormat;

// World y of image row r in a view that shows row 0 on top.
static double worldY(uint64_t height, uint64_t row)
{
    return static_cast<double>(height - 1 - row);
}

TEST(PixelReadout, ColourPixelIsReadAsRedGreenBlue)
{
    // Pixel (1, 0) of a 3 x 2 BGR8 image holds the bytes 10, 20, 30 in memory.
    const vyk::Image image = makeImage(
        DataFormat::BGR8, RawFormat::Word, 3, 2, [](uint64_t, uint64_t) { return 0u; },
        [](uint64_t c, uint64_t r, unsigned k) { return c == 1 && r == 0 ? 10u * (k + 1) : 0u; }, 99);
    const PixelReadout readout = PixelReadout::at(image, 1.2, worldY(2, 0) - 0.3);
    EXPECT_EQ(readout.text, QStringLiteral("Position X: 1, Y: 0  Red: 30 Green: 20 Blue: 10"));
    EXPECT_FALSE(readout.unknownFormat);
}

TEST(PixelReadout, OddWidthAddressesPaddedRows)
{
    // 1003 columns: display rows are padded to 1004 pixels, raw rows are not.
    const auto rawValue = [](uint64_t c, uint64_t r) { return unsigned(r * 1003 + c) & 0x0FFF; };
    const auto bgr = [](uint64_t c, uint64_t r, unsigned k) { return unsigned(c + r + k) & 0xFF; };
    const vyk::Image colour = makeImage(DataFormat::BGR8, RawFormat::Word, 1003, 4, rawValue, bgr, 7);
    EXPECT_EQ(PixelReadout::at(colour, 1002.0, worldY(4, 3)).text,
              QStringLiteral("Position X: 1002, Y: 3  Red: %1 Green: %2 Blue: %3")
                  .arg((1002 + 3 + 2) & 0xFF).arg((1002 + 3 + 1) & 0xFF).arg((1002 + 3) & 0xFF));

    const vyk::Image mono = makeImage(DataFormat::Mono8, RawFormat::Word, 1003, 4, rawValue,
                                      [](uint64_t, uint64_t, unsigned) { return 1u; }, 7);
    EXPECT_EQ(PixelReadout::at(mono, 17.0, worldY(4, 2)).text,
              QStringLiteral("Position X: 17, Y: 2  Value: %1").arg(rawValue(17, 2)));
}

TEST(PixelReadout, MonoReadsRawBytesOrWordsAndMono16ItsValue)
{
    const auto rawValue = [](uint64_t c, uint64_t r) { return unsigned(c * 10 + r); };
    const vyk::Image bytes = makeImage(DataFormat::Mono8, RawFormat::Byte, 5, 3, rawValue,
                                       [](uint64_t, uint64_t, unsigned) { return 0u; });
    EXPECT_EQ(PixelReadout::at(bytes, 4.0, worldY(3, 1)).text, QStringLiteral("Position X: 4, Y: 1  Value: 41"));

    const vyk::Image words = makeImage(
        DataFormat::Mono8, RawFormat::Word, 5, 3, [](uint64_t c, uint64_t r) { return unsigned(4000 + c + r); },
        [](uint64_t, uint64_t, unsigned) { return 0u; });
    EXPECT_EQ(PixelReadout::at(words, 2.0, worldY(3, 2)).text, QStringLiteral("Position X: 2, Y: 2  Value: 4004"));

    const vyk::Image mono16 = makeImage(DataFormat::Mono16, RawFormat::Word, 5, 3, rawValue,
                                        [](uint64_t, uint64_t, unsigned) { return 0u; });
    EXPECT_EQ(PixelReadout::at(mono16, 3.0, worldY(3, 0)).text, QStringLiteral("Position X: 3, Y: 0  Value: 30"));
}

TEST(PixelReadout, PositionsAreClampedIntoTheImage)
{
    const auto rawValue = [](uint64_t c, uint64_t r) { return unsigned(c * 10 + r); };
    const vyk::Image image = makeImage(DataFormat::Mono8, RawFormat::Byte, 5, 3, rawValue,
                                       [](uint64_t, uint64_t, unsigned) { return 0u; });
    // Negative coordinates become 0; the outer half of the last column stays in it.
    EXPECT_EQ(PixelReadout::at(image, -0.4, 2.4).text, QStringLiteral("Position X: 0, Y: 0  Value: 0"));
    EXPECT_EQ(PixelReadout::at(image, 4.5, -0.2).text, QStringLiteral("Position X: 4, Y: 2  Value: 42"));
}

TEST(PixelReadout, UnknownFormatAndMissingData)
{
    vyk::Image rgb;
    rgb.reshape(vyk::Roi{1, 1, 4, 4}, DataFormat::RGB8, RawFormat::Word);
    const PixelReadout unknown = PixelReadout::at(rgb, 1.0, 1.0);
    EXPECT_TRUE(unknown.unknownFormat);
    EXPECT_EQ(unknown.text, QStringLiteral("Not set - Should not happen!"));

    vyk::Image noData;
    noData.setRoi(vyk::Roi{1, 1, 4, 4});
    noData.setFormat(DataFormat::BGR8);
    const PixelReadout missing = PixelReadout::at(noData, 1.0, 1.0);
    EXPECT_FALSE(missing.unknownFormat);
    EXPECT_EQ(missing.text, QStringLiteral("Not set - Should not happen!"));
}
