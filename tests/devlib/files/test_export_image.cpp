// The export function: each layout code with its row padding and colour order, each file
// type by suffix, read back with libtiff and DCMTK, and the refusals.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "B16File.h"
#include "FileReadBack.h"
#include "TempDir.h"
#include "VykRawFile.h"
#include "vyk_export.h"

using vyktest::TempDir;

namespace {

constexpr uint32_t kWidth = 10; // not a multiple of 4: padded layouts carry 2 extra pixels
constexpr uint16_t kHeight = 3;

// Sample c (0 red or gray, 1 green, 2 blue, 3 alpha) of pixel (x, y) of the test picture.
uint16_t sample(uint32_t x, uint32_t y, int c, int bits)
{
    const uint32_t value = (x * 37u + y * 101u + static_cast<uint32_t>(c) * 59u) * 7919u + 13u;
    return static_cast<uint16_t>(bits == 8 ? value % 251u : value % 65521u);
}

// How a caller's buffer is laid out.
struct Layout {
    const char* code;    // layout code
    int channels;        // samples per pixel in the buffer
    int bits;            // bits per sample
    bool padded;         // rows padded to a multiple of 4 pixels
    int colourOrder;     // 1 blue first (or mono), 0 red first
};

// The test picture in the caller's layout; padding pixels hold a sentinel that must never
// reach a file.
std::vector<uint8_t> buffer(const Layout& l, uint32_t width = kWidth)
{
    const uint32_t rowPixels = l.padded ? (width + 3) / 4 * 4 : width;
    const size_t bytesPerSample = l.bits / 8;
    std::vector<uint8_t> out(rowPixels * kHeight * l.channels * bytesPerSample, 0xEE);
    for (uint32_t y = 0; y < kHeight; ++y) {
        for (uint32_t x = 0; x < width; ++x) {
            for (int c = 0; c < l.channels; ++c) {
                // Blue-first buffers hold blue in slot 0 and red in slot 2.
                int slot = c;
                if (l.channels >= 3 && l.colourOrder == 1 && c != 1 && c != 3)
                    slot = 2 - c;
                const size_t index = (static_cast<size_t>(y) * rowPixels + x) * l.channels + slot;
                const uint16_t v = sample(x, y, c, l.bits);
                if (l.bits == 8)
                    out[index] = static_cast<uint8_t>(v);
                else
                    std::memcpy(&out[index * 2], &v, 2);
            }
        }
    }
    return out;
}

// The picture as a file must hold it: packed rows, red first.
std::vector<uint16_t> expectedSamples(int channels, int bits, uint32_t width = kWidth)
{
    std::vector<uint16_t> out;
    for (uint32_t y = 0; y < kHeight; ++y)
        for (uint32_t x = 0; x < width; ++x)
            for (int c = 0; c < channels; ++c)
                out.push_back(sample(x, y, c, bits));
    return out;
}

std::vector<uint16_t> widen(const std::vector<uint8_t>& bytes)
{
    return std::vector<uint16_t>(bytes.begin(), bytes.end());
}

const Layout kLayouts[] = {
    {"M_08", 1, 8, true, 1},    {"M_16", 1, 16, false, 1}, {"C_08", 3, 8, true, 1},
    {"C_08", 3, 8, true, 0},    {"C_08_A", 4, 8, false, 1}, {"C_08_A", 4, 8, false, 0},
    {"C_16", 3, 16, true, 0},   {"C_16", 3, 16, true, 1},
};

// Widths leaving 3, 2, 1 and 0 padding pixels per row in the padded layouts; 5 x 3 mono
// 8-bit also gives DICOM an odd pixel byte count that needs its pad byte.
const uint32_t kWidths[] = {5, 6, 7, 8};

std::string describe(const Layout& l, uint32_t width = kWidth)
{
    return std::string(l.code) + "_order" + std::to_string(l.colourOrder) + "_w" + std::to_string(width);
}

std::array<uint8_t, 69> metadataWithBits(uint8_t bits)
{
    std::array<uint8_t, 69> block{};
    block[0] = 69;
    block[48] = bits; // bBIT_RESOLUTION
    for (size_t i = 50; i < block.size(); ++i)
        block[i] = static_cast<uint8_t>(i);
    return block;
}

} // namespace

TEST(ExportImageTiff, EveryLayoutUnpaddedAndRedFirst)
{
    TempDir dir;
    for (uint32_t width : kWidths) {
        for (const Layout& l : kLayouts) {
            const std::string name = dir.file(describe(l, width) + ".tif");
            const std::vector<uint8_t> data = buffer(l, width);
            ASSERT_EQ(VYK_RecorderExportImage(data.data(), width, kHeight, l.code, l.colourOrder,
                                              name.c_str(), 1, nullptr), VYK_NOERROR) << name;
            const auto pages = vyktest::readTiff(name);
            ASSERT_EQ(pages.size(), 1u) << name;
            const vyktest::TiffPageData& p = pages[0];
            EXPECT_EQ(p.width, width);
            EXPECT_EQ(p.height, kHeight);
            EXPECT_EQ(p.samplesPerPixel, l.channels) << name;
            EXPECT_EQ(p.bitsPerSample, l.bits) << name;
            EXPECT_EQ(p.photometric, l.channels == 1 ? 1 /* min-is-black */ : 2 /* RGB */) << name;
            EXPECT_EQ(p.extraSamples, l.channels == 4 ? 1 : 0) << name;
            const std::vector<uint16_t> got = l.bits == 8 ? widen(p.bytes) : vyktest::words(p.bytes);
            EXPECT_EQ(got, expectedSamples(l.channels, l.bits, width)) << name;
        }
    }
}

TEST(ExportImageTiff, SuffixIsCaseInsensitiveAndTiffAccepted)
{
    TempDir dir;
    const Layout mono{"M_16", 1, 16, false, 1};
    const std::vector<uint8_t> data = buffer(mono);
    for (const char* leaf : {"a.TIF", "b.tiff", "c.Tiff"}) {
        const std::string name = dir.file(leaf);
        ASSERT_EQ(VYK_RecorderExportImage(data.data(), kWidth, kHeight, "M_16", 1, name.c_str(), 1, nullptr),
                  VYK_NOERROR) << leaf;
        const auto pages = vyktest::readTiff(name);
        ASSERT_EQ(pages.size(), 1u) << leaf;
        EXPECT_EQ(vyktest::words(pages[0].bytes), expectedSamples(1, 16));
    }
}

TEST(ExportImageDicom, MonoAndColourLayouts)
{
    TempDir dir;
    for (uint32_t width : kWidths) {
        for (const Layout& l : kLayouts) {
            const std::string name = dir.file(describe(l, width) + ".dcm");
            const std::vector<uint8_t> data = buffer(l, width);
            ASSERT_EQ(VYK_RecorderExportImage(data.data(), width, kHeight, l.code, l.colourOrder,
                                              name.c_str(), 1, nullptr), VYK_NOERROR) << name;
            const vyktest::DicomData d = vyktest::readDicom(name);
            ASSERT_TRUE(d.loaded) << name;
            const int fileChannels = l.channels == 1 ? 1 : 3; // alpha has no place in DICOM
            EXPECT_EQ(d.rows, kHeight);
            EXPECT_EQ(d.columns, width);
            EXPECT_EQ(d.frames, 1);
            EXPECT_EQ(d.samplesPerPixel, fileChannels) << name;
            EXPECT_EQ(d.photometric, fileChannels == 1 ? "MONOCHROME2" : "RGB") << name;
            EXPECT_EQ(d.bitsAllocated, l.bits);
            EXPECT_EQ(d.bitsStored, l.bits);
            EXPECT_EQ(d.highBit, l.bits - 1);
            EXPECT_EQ(d.pixelRepresentation, 0);
            const std::vector<uint16_t> got = l.bits == 8 ? widen(d.pixels8) : d.pixels16;
            EXPECT_EQ(got, expectedSamples(fileChannels, l.bits, width)) << name;
        }
    }
}

TEST(ExportImageDicom, BitsStoredFollowsMetadata)
{
    TempDir dir;
    const Layout mono{"M_16", 1, 16, false, 1};
    const std::vector<uint8_t> data = buffer(mono);
    const auto metadata = metadataWithBits(12);
    const std::string name = dir.file("meta.dcm");
    ASSERT_EQ(VYK_RecorderExportImage(data.data(), kWidth, kHeight, "M_16", 1, name.c_str(), 1,
                                      metadata.data()), VYK_NOERROR);
    const vyktest::DicomData d = vyktest::readDicom(name);
    ASSERT_TRUE(d.loaded);
    EXPECT_EQ(d.bitsStored, 12);
    EXPECT_EQ(d.highBit, 11);
    EXPECT_EQ(d.pixels16, expectedSamples(1, 16)); // values are stored as given
}

TEST(ExportImageB16, Mono16OnlyWithHeader)
{
    TempDir dir;
    const Layout mono{"M_16", 1, 16, false, 1};
    const std::vector<uint8_t> data = buffer(mono);
    const auto metadata = metadataWithBits(14);
    const std::string name = dir.file("img.b16");
    ASSERT_EQ(VYK_RecorderExportImage(data.data(), kWidth, kHeight, "M_16", 1, name.c_str(), 1,
                                      metadata.data()), VYK_NOERROR);
    vyksim::B16File::Info info;
    std::vector<uint16_t> pixels;
    ASSERT_TRUE(vyksim::B16File::read(name, info, pixels));
    EXPECT_EQ(info.width, kWidth);
    EXPECT_EQ(info.height, kHeight);
    EXPECT_EQ(info.bitDepth, 14);
    EXPECT_EQ(pixels, expectedSamples(1, 16));

    for (const Layout& l : kLayouts) {
        if (std::string(l.code) == "M_16")
            continue;
        const std::string other = dir.file(std::string("no_") + l.code + ".b16");
        const std::vector<uint8_t> buf = buffer(l);
        EXPECT_EQ(VYK_RecorderExportImage(buf.data(), kWidth, kHeight, l.code, l.colourOrder,
                                          other.c_str(), 1, nullptr), VYK_ERR_EXPORT_FORMAT) << describe(l);
        EXPECT_FALSE(std::filesystem::exists(other));
    }
}

TEST(ExportImageRaw, KeepsPixelsAndMetadata)
{
    TempDir dir;
    const Layout mono{"M_16", 1, 16, false, 1};
    const std::vector<uint8_t> data = buffer(mono);
    const auto metadata = metadataWithBits(16);
    const std::string name = dir.file("one.raw");
    ASSERT_EQ(VYK_RecorderExportImage(data.data(), kWidth, kHeight, "M_16", 1, name.c_str(), 1,
                                      metadata.data()), VYK_NOERROR);
    vyksim::VykRawFile::Info info;
    ASSERT_TRUE(vyksim::VykRawFile::readInfo(name, info));
    EXPECT_EQ(info.frameCount, 1u);
    vyksim::VykRawFile::Frame frame;
    ASSERT_TRUE(vyksim::readVykRawFrame(name, 0, frame));
    EXPECT_EQ(frame.pixels, expectedSamples(1, 16));
    EXPECT_TRUE(frame.hasMetadata);
    EXPECT_EQ(frame.metadata, metadata);
    EXPECT_FALSE(frame.hasTimestamp);
}

TEST(ExportImageRefusals, BadArgumentsWriteNothing)
{
    TempDir dir;
    const Layout mono{"M_16", 1, 16, false, 1};
    const std::vector<uint8_t> data = buffer(mono);
    struct Case {
        const char* leaf;
        const void* data;
        uint32_t width;
        uint16_t height;
        const char* layout;
        int32_t order;
        int32_t flag;
        int32_t expected;
    };
    const Case cases[] = {
        {"a.png", data.data(), kWidth, kHeight, "M_16", 1, 1, VYK_ERR_EXPORT_FORMAT},
        {"noSuffix", data.data(), kWidth, kHeight, "M_16", 1, 1, VYK_ERR_EXPORT_FORMAT},
        {"b.tif", data.data(), kWidth, kHeight, "M_12", 1, 1, VYK_ERR_INVALID_ARGUMENT},
        {"c.tif", data.data(), kWidth, kHeight, "m_16", 1, 1, VYK_ERR_INVALID_ARGUMENT},
        {"d.tif", data.data(), kWidth, kHeight, "M_16", 1, 0, VYK_ERR_INVALID_ARGUMENT},
        {"e.tif", data.data(), kWidth, kHeight, "M_16", 2, 1, VYK_ERR_INVALID_ARGUMENT},
        {"f.tif", data.data(), 0, kHeight, "M_16", 1, 1, VYK_ERR_INVALID_ARGUMENT},
        {"g.tif", data.data(), kWidth, 0, "M_16", 1, 1, VYK_ERR_INVALID_ARGUMENT},
        {"h.tif", nullptr, kWidth, kHeight, "M_16", 1, 1, VYK_ERR_NULL_POINTER},
        {"i.tif", data.data(), kWidth, kHeight, nullptr, 1, 1, VYK_ERR_NULL_POINTER},
    };
    for (const Case& c : cases) {
        const std::string name = dir.file(c.leaf);
        EXPECT_EQ(VYK_RecorderExportImage(c.data, c.width, c.height, c.layout, c.order, name.c_str(),
                                          c.flag, nullptr), c.expected) << c.leaf;
        EXPECT_FALSE(std::filesystem::exists(name)) << c.leaf;
    }
    EXPECT_EQ(VYK_RecorderExportImage(data.data(), kWidth, kHeight, "M_16", 1, nullptr, 1, nullptr),
              VYK_ERR_NULL_POINTER);
    EXPECT_TRUE(VYK_FAILED(VYK_ERR_EXPORT_FORMAT));
}

TEST(ExportImageRefusals, UnwritablePlaceIsAFileError)
{
    TempDir dir;
    const Layout mono{"M_16", 1, 16, false, 1};
    const std::vector<uint8_t> data = buffer(mono);
    for (const char* leaf : {"missing/x.tif", "missing/x.b16", "missing/x.dcm", "missing/x.raw"}) {
        const std::string name = dir.file(leaf);
        EXPECT_EQ(VYK_RecorderExportImage(data.data(), kWidth, kHeight, "M_16", 1, name.c_str(), 1, nullptr),
                  VYK_ERR_FILE_IO) << leaf;
    }
    // The given name is written as it is: an existing file is replaced, not renamed.
    const std::string name = dir.file("again.tif");
    ASSERT_EQ(VYK_RecorderExportImage(data.data(), kWidth, kHeight, "M_16", 1, name.c_str(), 1, nullptr), 0);
    ASSERT_EQ(VYK_RecorderExportImage(data.data(), kWidth, kHeight, "M_16", 1, name.c_str(), 1, nullptr), 0);
    EXPECT_EQ(vyktest::readTiff(name).size(), 1u);
}

TEST(ExportImageTools, StandardToolsReadTheFiles)
{
    TempDir dir;
    const Layout colour{"C_08", 3, 8, true, 1};
    const std::vector<uint8_t> data = buffer(colour);
    const std::string tif = dir.file("tool.tif");
    const std::string dcm = dir.file("tool.dcm");
    ASSERT_EQ(VYK_RecorderExportImage(data.data(), kWidth, kHeight, "C_08", 1, tif.c_str(), 1, nullptr), 0);
    ASSERT_EQ(VYK_RecorderExportImage(data.data(), kWidth, kHeight, "C_08", 1, dcm.c_str(), 1, nullptr), 0);
    bool ran = false;
    if (vyktest::haveTool("tiffinfo")) {
        ran = true;
        const vyktest::CommandResult r = vyktest::runCommand("tiffinfo '" + tif + "'");
        EXPECT_EQ(r.status, 0) << r.output;
        EXPECT_NE(r.output.find("Image Width: 10 Image Length: 3"), std::string::npos) << r.output;
        EXPECT_NE(r.output.find("RGB color"), std::string::npos) << r.output;
        EXPECT_EQ(r.output.find("rror"), std::string::npos) << r.output;
    }
    if (vyktest::haveTool("dcmdump")) {
        ran = true;
        const vyktest::CommandResult r = vyktest::runCommand("dcmdump '" + dcm + "'");
        EXPECT_EQ(r.status, 0) << r.output;
        EXPECT_NE(r.output.find("(0028,0010) US 3"), std::string::npos) << r.output;
        EXPECT_NE(r.output.find("(0028,0011) US 10"), std::string::npos) << r.output;
        EXPECT_NE(r.output.find("[RGB]"), std::string::npos) << r.output;
        EXPECT_NE(r.output.find("SecondaryCaptureImageStorage"), std::string::npos) << r.output;
    }
    if (!ran)
        GTEST_SKIP() << "neither tiffinfo nor dcmdump is installed";
}
