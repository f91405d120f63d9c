// Byte-level checks of our own file formats (raw sequence, B16) and of the readers'
// handling of damaged files, plus the layout sizes of caller buffers.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "B16File.h"
#include "ImageLayout.h"
#include "TempDir.h"
#include "VykRawFile.h"

using namespace vyksim;
using vyktest::TempDir;

namespace {

std::vector<uint8_t> fileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeBytes(const std::string& path, const std::vector<uint8_t>& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

uint32_t le32(const std::vector<uint8_t>& b, size_t at)
{
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<uint32_t>(b[at + 3]) << 24);
}

uint16_t le16(const std::vector<uint8_t>& b, size_t at)
{
    return static_cast<uint16_t>(b[at] | (b[at + 1] << 8));
}

} // namespace

TEST(B16Format, HeaderFieldsAreLittleEndianAtTheirOffsets)
{
    TempDir dir;
    const std::string path = dir.file("x.b16");
    const std::vector<uint16_t> pixels = {0x0102, 0xA0B0, 0x0FFF, 0x0000, 0x1234, 0xFFFF};
    ASSERT_TRUE(B16File::write(path, 3, 2, 12, pixels.data()));
    const std::vector<uint8_t> b = fileBytes(path);
    ASSERT_EQ(b.size(), 32u + 12u);
    EXPECT_EQ(std::string(b.begin(), b.begin() + 4), "B16R");
    EXPECT_EQ(le32(b, 4), 32u);
    EXPECT_EQ(le32(b, 8), 3u);
    EXPECT_EQ(le32(b, 12), 2u);
    EXPECT_EQ(le16(b, 16), 12u);
    EXPECT_EQ(le16(b, 18), 1u);
    for (size_t i = 20; i < 32; ++i)
        EXPECT_EQ(b[i], 0) << "reserved byte " << i;
    EXPECT_EQ(b[32], 0x02);
    EXPECT_EQ(b[33], 0x01);
    EXPECT_EQ(le16(b, 32 + 2 * 5), 0xFFFF);
}

TEST(B16Format, DamagedFilesAreRefused)
{
    TempDir dir;
    const std::string path = dir.file("x.b16");
    const std::vector<uint16_t> pixels(20, 7);
    ASSERT_TRUE(B16File::write(path, 5, 4, 16, pixels.data()));
    const std::vector<uint8_t> good = fileBytes(path);
    B16File::Info info;
    std::vector<uint16_t> back;

    std::vector<uint8_t> truncated(good.begin(), good.end() - 1);
    writeBytes(path, truncated);
    EXPECT_FALSE(B16File::read(path, info, back));

    std::vector<uint8_t> wrongMagic = good;
    wrongMagic[0] = 'X';
    writeBytes(path, wrongMagic);
    EXPECT_FALSE(B16File::read(path, info, back));

    // A header promising a huge image must not make the reader allocate it.
    std::vector<uint8_t> huge = good;
    huge[11] = 0x7F;
    writeBytes(path, huge);
    EXPECT_FALSE(B16File::read(path, info, back));

    EXPECT_FALSE(B16File::read(dir.file("absent.b16"), info, back));
}

TEST(VykRawFormat, HeaderAndRecordLayout)
{
    TempDir dir;
    const std::string path = dir.file("x.raw");
    const std::vector<uint16_t> pixels = {1, 2, 3, 0xBEEF};
    std::array<uint8_t, 22> timestamp{};
    timestamp[0] = 22;
    {
        VykRawFile file(path, 2, 2, 14);
        ASSERT_TRUE(file.ok());
        ASSERT_TRUE(file.append(pixels.data(), nullptr, timestamp.data()));
        ASSERT_TRUE(file.finish());
    }
    const std::vector<uint8_t> b = fileBytes(path);
    ASSERT_EQ(b.size(), 64u + 96u + 8u);
    EXPECT_EQ(std::string(b.begin(), b.begin() + 8), "VYKRAWSQ");
    EXPECT_EQ(le32(b, 8), 1u);
    EXPECT_EQ(le32(b, 12), 64u);
    EXPECT_EQ(le32(b, 16), 2u);
    EXPECT_EQ(le32(b, 20), 2u);
    EXPECT_EQ(le16(b, 24), 14u);
    EXPECT_EQ(le32(b, 28), 96u);
    EXPECT_EQ(le32(b, 32), 104u); // record size, low half
    EXPECT_EQ(le32(b, 36), 0u);
    EXPECT_EQ(le32(b, 40), 1u);   // frame count, low half
    EXPECT_EQ(le32(b, 44), 0u);
    EXPECT_EQ(b[64], 0x02);       // flags: timestamp only
    EXPECT_EQ(b[64 + 73], 22);    // timestamp block
    EXPECT_EQ(le16(b, 64 + 96 + 6), 0xBEEF);
}

TEST(VykRawFormat, DamagedFilesAreRefused)
{
    TempDir dir;
    const std::string path = dir.file("x.raw");
    const std::vector<uint16_t> pixels(6, 9);
    {
        VykRawFile file(path, 3, 2, 16);
        ASSERT_TRUE(file.append(pixels.data(), nullptr, nullptr));
        ASSERT_TRUE(file.append(pixels.data(), nullptr, nullptr));
        ASSERT_TRUE(file.finish());
    }
    const std::vector<uint8_t> good = fileBytes(path);
    VykRawFile::Info info;
    ASSERT_TRUE(VykRawFile::readInfo(path, info));
    EXPECT_EQ(info.frameCount, 2u);

    // A finished file missing part of its last frame is damaged.
    writeBytes(path, std::vector<uint8_t>(good.begin(), good.end() - 2));
    EXPECT_FALSE(VykRawFile::readInfo(path, info));

    // A record size that does not match the image size.
    std::vector<uint8_t> badRecord = good;
    badRecord[32] ^= 0x10;
    writeBytes(path, badRecord);
    EXPECT_FALSE(VykRawFile::readInfo(path, info));

    std::vector<uint8_t> badMagic = good;
    badMagic[3] = 'x';
    writeBytes(path, badMagic);
    EXPECT_FALSE(VykRawFile::readInfo(path, info));

    writeBytes(path, std::vector<uint8_t>(good.begin(), good.begin() + 30));
    EXPECT_FALSE(VykRawFile::readInfo(path, info));
}

TEST(ImageLayoutSizes, PaddedAndUnpaddedRows)
{
    // A 10 x 2 image: padded layouts round rows up to 12 pixels.
    EXPECT_EQ(ImageLayout::fromCode("M_08")->bufferBytes(10, 2), 24u);
    EXPECT_EQ(ImageLayout::fromCode("M_16")->bufferBytes(10, 2), 40u);
    EXPECT_EQ(ImageLayout::fromCode("C_08")->bufferBytes(10, 2), 72u);
    EXPECT_EQ(ImageLayout::fromCode("C_08_A")->bufferBytes(10, 2), 80u);
    EXPECT_EQ(ImageLayout::fromCode("C_16")->bufferBytes(10, 2), 144u);
    EXPECT_EQ(ImageLayout::fromCode("M_08")->bufferBytes(12, 1), 12u);
    EXPECT_FALSE(ImageLayout::fromCode("C_08A").has_value());
    EXPECT_FALSE(ImageLayout::fromCode("").has_value());
}
