// The acquisition facts that the recorder's files and exported images carry: OME-XML in
// every TIFF (checked with an XML parser against the pages libtiff finds), the TIFF text
// tags, and DICOM files that the standard's checker dciodvfy accepts without an error.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstring>
#include <thread>
#include <vector>

#include "FileSequenceWriter.h"
#include "TempDir.h"
#include "tests/support/FileMetadataCheck.h"
#include "vyk_errors.h"
#include "vyk_export.h"

using namespace vyksim;
using filecheck::Expected;
using vyktest::TempDir;

namespace {

constexpr uint32_t kWidth = 13;  // odd: an 8-bit frame has an odd byte count
constexpr uint32_t kHeight = 7;
constexpr double kExposureS = 0.0025;  // in the frames' metadata blocks
constexpr double kSetExposureS = 0.04; // the recording's exposure when frames carry none

std::vector<uint16_t> frameOf(uint32_t seed, uint16_t bits, uint32_t width = kWidth, uint32_t height = kHeight)
{
    std::vector<uint16_t> frame(static_cast<size_t>(width) * height);
    uint32_t state = seed * 2654435761u + 99u;
    for (uint16_t& value : frame) {
        state = state * 1664525u + 1013904223u;
        value = static_cast<uint16_t>((state >> 10) & ((1u << bits) - 1u));
    }
    return frame;
}

// A camera time stamp of 2026-03-04 05:06:07 plus offsetUs.
std::array<uint8_t, 22> timestampAt(uint32_t offsetUs)
{
    std::array<uint8_t, 22> block{};
    const uint16_t fields[] = {22, 0, 0, 2026, 3, 4, 5, 6, static_cast<uint16_t>(7 + offsetUs / 1000000)};
    std::memcpy(block.data(), fields, sizeof fields);
    const uint32_t micro = offsetUs % 1000000;
    std::memcpy(block.data() + 18, &micro, sizeof micro);
    return block;
}

// A metadata block with the exposure kExposureS (2500 us), the bit resolution and no clock.
std::array<uint8_t, 69> metadataWith(uint8_t bits)
{
    std::array<uint8_t, 69> block{};
    const uint16_t size = 69, base = 1;
    const uint32_t exposure = 2500;
    std::memcpy(block.data(), &size, 2);
    std::memcpy(block.data() + 18, &base, 2);
    std::memcpy(block.data() + 20, &exposure, 4);
    block[48] = bits;
    return block;
}

AcquisitionFacts facts()
{
    AcquisitionFacts f;
    f.cameraName = "vyk.edge 4.2 <A&B>"; // characters XML must escape
    f.serial = 4711;
    f.exposureS = kSetExposureS;
    return f;
}

Expected expectation(uint16_t bits, double exposureS)
{
    Expected e;
    e.cameraName = facts().cameraName;
    e.serial = facts().serial;
    e.significantBits = bits;
    e.exposureS = exposureS;
    return e;
}

// Writes frames 0..count-1 (seeded by index) of kind to path; with camera blocks, frame i
// carries a time stamp 10 ms after the previous one and the metadata exposure; without,
// frames are pushed at least 2 ms apart so that their arrival times differ.
std::vector<std::vector<uint16_t>> record(FileKind kind, const std::string& path, uint16_t bits, uint32_t count,
                                          bool cameraBlocks, uint32_t expectedCount = 0,
                                          const FileWriterOptions& options = FileWriterOptions{})
{
    std::vector<std::vector<uint16_t>> frames;
    FileSequenceWriter writer(kind, path, FileFrameFormat{kWidth, kHeight, bits},
                              expectedCount == 0 ? count : expectedCount, count, options, facts());
    const std::array<uint8_t, 69> metadata = metadataWith(static_cast<uint8_t>(bits));
    for (uint32_t i = 0; i < count; ++i) {
        frames.push_back(frameOf(i, bits));
        const std::array<uint8_t, 22> timestamp = timestampAt(i * 10000);
        if (cameraBlocks) {
            EXPECT_TRUE(writer.push(frames.back().data(), metadata.data(), timestamp.data()));
        } else {
            EXPECT_TRUE(writer.push(frames.back().data(), nullptr, nullptr));
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }
    writer.finish();
    EXPECT_EQ(writer.errorStatus(), 0);
    return frames;
}

std::vector<std::vector<uint8_t>> bytesOf(const std::vector<std::vector<uint16_t>>& frames, bool narrow = false)
{
    std::vector<std::vector<uint8_t>> pages;
    for (const std::vector<uint16_t>& frame : frames)
        pages.push_back(narrow ? std::vector<uint8_t>(frame.begin(), frame.end()) : filecheck::bytesOf(frame));
    return pages;
}

} // namespace

TEST(FileMetadataTiff, MultiPageFileDescribesEveryPageWithCameraTimes)
{
    for (const bool big : {false, true}) {
        SCOPED_TRACE(big ? "BigTIFF" : "classic TIFF");
        TempDir dir;
        const std::string path = dir.file("run.tif");
        FileWriterOptions options;
        options.bigTiffThreshold = big ? 0 : FileWriterOptions{}.bigTiffThreshold;
        Expected expected = expectation(12, kExposureS);
        expected.pages = bytesOf(record(FileKind::MultiTiff, path, 12, 5, true, 0, options));
        EXPECT_TRUE(filecheck::isOmeTiff(path, expected));
        const filecheck::OmeTiff ome = filecheck::readOmeTiff(path);
        ASSERT_EQ(ome.planes.size(), 5u);
        for (size_t i = 0; i < ome.planes.size(); ++i)
            EXPECT_NEAR(ome.planes[i].deltaT, 0.01 * i, 1e-9) << "plane " << i;
        EXPECT_EQ(ome.acquisitionDate, "2026-03-04T05:06:07.000000");
        EXPECT_EQ(ome.dateTime, "2026:03:04 05:06:07");
        EXPECT_EQ(ome.type, "uint16");
        EXPECT_EQ(ome.sizeC, 1u);
        EXPECT_EQ(ome.sizeX, kWidth);
        EXPECT_EQ(ome.sizeY, kHeight);
    }
}

TEST(FileMetadataTiff, SingleFilesCarryTheirPlaneTimedByArrival)
{
    TempDir dir;
    const std::vector<std::vector<uint16_t>> frames = record(FileKind::Tiff, dir.file("shot.tif"), 10, 3, false);
    FileSequenceWriter names(FileKind::Tiff, dir.file("shot.tif"), FileFrameFormat{kWidth, kHeight, 10}, 1, 1);
    double previous = -1.0;
    for (uint32_t i = 0; i < frames.size(); ++i) {
        const std::string file = names.fileNameFor(i);
        Expected expected = expectation(10, kSetExposureS);
        expected.pages = bytesOf({frames[i]});
        EXPECT_TRUE(filecheck::isOmeTiff(file, expected));
        const filecheck::OmeTiff ome = filecheck::readOmeTiff(file);
        ASSERT_EQ(ome.planes.size(), 1u);
        // Each file's time counts from the recording's first frame.
        if (i == 0)
            EXPECT_EQ(ome.planes[0].deltaT, 0.0);
        else
            EXPECT_GE(ome.planes[0].deltaT, previous + 0.002) << "file " << i;
        previous = ome.planes[0].deltaT;
    }
}

TEST(FileMetadataTiff, DescriptionMatchesThePagesOfAnEarlyOrOverlongEnd)
{
    TempDir dir;
    // Stopped after 4 of 50 announced frames: the reserved description shrinks to 4 planes.
    Expected early = expectation(16, kExposureS);
    early.pages = bytesOf(record(FileKind::MultiTiff, dir.file("early.tif"), 16, 4, true, 50));
    EXPECT_TRUE(filecheck::isOmeTiff(dir.file("early.tif"), early));
    // More frames than announced: the final description outgrows its room and moves to the
    // end of the file.
    Expected overlong = expectation(16, kExposureS);
    overlong.pages = bytesOf(record(FileKind::MultiTiff, dir.file("long.tif"), 16, 40, true, 1));
    EXPECT_TRUE(filecheck::isOmeTiff(dir.file("long.tif"), overlong));
}

// Records 40 frames of side x side pixels (the recording announces `announced`) into a
// multi-page TIFF in a child process whose files may not grow past limitBytes: its writes
// beyond the limit fail (EFBIG) as they would on a full disk (ENOSPC). True when the
// recording ended early with the write error.
bool recordOntoFullDisk(const std::string& path, uint32_t side, uint32_t announced, rlim_t limitBytes)
{
    const pid_t child = fork();
    if (child < 0)
        return false;
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{limitBytes, limitBytes};
        setrlimit(RLIMIT_FSIZE, &limit);
        FileSequenceWriter writer(FileKind::MultiTiff, path, FileFrameFormat{side, side, 16}, announced, 40,
                                  FileWriterOptions{}, facts());
        for (uint32_t i = 0; i < 40; ++i) {
            const std::vector<uint16_t> frame = frameOf(i, 16, side, side);
            const std::array<uint8_t, 22> timestamp = timestampAt(i * 10000);
            writer.push(frame.data(), nullptr, timestamp.data());
        }
        writer.finish();
        _exit(writer.errorStatus() == VYK_ERR_FILE_IO && writer.writtenCount() < 40 ? 0 : 1);
    }
    int status = -1;
    return waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

TEST(FileMetadataTiff, FullDiskLeavesADescriptionOfThePagesOnDisk)
{
    TempDir dir;
    // Large frames: the final description fits the room the first page kept.
    const std::string path = dir.file("full.tif");
    ASSERT_TRUE(recordOntoFullDisk(path, 64, 40, 40000)) << "the limit did not end the recording early";
    const filecheck::OmeTiff ome = filecheck::readOmeTiff(path);
    ASSERT_GE(ome.pageCount, 1u);
    EXPECT_LT(ome.pageCount, 40u);
    Expected expected = expectation(16, kSetExposureS);
    for (uint32_t i = 0; i < ome.pageCount; ++i)
        expected.pages.push_back(filecheck::bytesOf(frameOf(i, 16, 64, 64)));
    EXPECT_TRUE(filecheck::isOmeTiff(path, expected));

    // Small frames beyond the one announced: the full description fits neither the room nor
    // the full disk, so the short form (SizeT, one TiffData for all pages) still matches.
    const std::string small = dir.file("small.tif");
    ASSERT_TRUE(recordOntoFullDisk(small, 16, 1, 16000)) << "the limit did not end the recording early";
    const filecheck::OmeTiff shortForm = filecheck::readOmeTiff(small);
    ASSERT_TRUE(shortForm.error.empty()) << shortForm.error;
    EXPECT_GT(shortForm.pageCount, 10u);
    EXPECT_EQ(shortForm.sizeT, shortForm.pageCount);
    EXPECT_EQ(shortForm.tiffDataIfds, std::vector<uint64_t>{0});
    EXPECT_TRUE(shortForm.planes.empty());
}

TEST(FileMetadataDicom, EveryRecordedKindPassesTheChecker)
{
    TempDir dir;
    // One file per image: Secondary Capture without NumberOfFrames.
    const std::vector<std::vector<uint16_t>> singles = record(FileKind::Dicom, dir.file("shot.dcm"), 12, 2, true);
    FileSequenceWriter names(FileKind::Dicom, dir.file("shot.dcm"), FileFrameFormat{kWidth, kHeight, 12}, 1, 1);
    for (uint32_t i = 0; i < singles.size(); ++i) {
        Expected expected = expectation(12, kExposureS);
        expected.pages = bytesOf({singles[i]});
        EXPECT_TRUE(filecheck::isDicom(names.fileNameFor(i), false, expected));
    }
    // Multi-frame: the word class for 12 bits, the byte class (odd pixel bytes, padded)
    // for an 8-bit camera; timed by camera time stamps and by arrival.
    for (const uint16_t bits : {12, 8}) {
        for (const bool blocks : {true, false}) {
            SCOPED_TRACE(std::to_string(bits) + " bits, camera blocks " + std::to_string(blocks));
            const std::string path = dir.file("run" + std::to_string(bits) + std::to_string(blocks) + ".dcm");
            Expected expected = expectation(bits, blocks ? kExposureS : kSetExposureS);
            expected.pages = bytesOf(record(FileKind::MultiDicom, path, bits, 3, blocks), bits == 8);
            EXPECT_TRUE(filecheck::isDicom(path, true, expected));
        }
    }
}

TEST(FileMetadataExport, EveryLayoutCarriesTheCameraFacts)
{
    TempDir dir;
    const std::vector<uint16_t> words = frameOf(7, 12);
    std::vector<uint8_t> bytes(static_cast<size_t>(16) * kHeight * 4, 0); // padded rows, up to 4 samples
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<uint8_t>(i * 7);
    std::vector<uint16_t> colour16(static_cast<size_t>(16) * kHeight * 3, 0);
    for (size_t i = 0; i < colour16.size(); ++i)
        colour16[i] = static_cast<uint16_t>(i * 13);
    const std::array<uint8_t, 22> timestamp = timestampAt(0);
    const std::string name = facts().cameraName;
    const VYK_ExportFacts given{name.c_str(), facts().serial, 12, kSetExposureS, timestamp.data()};
    struct Case {
        const char* layout;
        const void* data;
        uint16_t bits; // significant bits the files state
    };
    const Case cases[] = {{"M_16", words.data(), 12},
                          {"M_08", bytes.data(), 8},
                          {"C_08", bytes.data(), 8},
                          {"C_08_A", bytes.data(), 8},
                          {"C_16", colour16.data(), 12}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.layout);
        const std::string tif = dir.file(std::string(c.layout) + ".tif");
        const std::string dcm = dir.file(std::string(c.layout) + ".dcm");
        ASSERT_EQ(VYK_RecorderExportImageWithFacts(c.data, kWidth, kHeight, c.layout, 1, tif.c_str(), 1, nullptr, &given),
                  0);
        ASSERT_EQ(VYK_RecorderExportImageWithFacts(c.data, kWidth, kHeight, c.layout, 1, dcm.c_str(), 1, nullptr, &given),
                  0);
        Expected expected = expectation(c.bits, kSetExposureS);
        if (std::string(c.layout) == "M_16")
            expected.pages = {filecheck::bytesOf(words)};
        EXPECT_TRUE(filecheck::isOmeTiff(tif, expected));
        EXPECT_EQ(filecheck::readOmeTiff(tif).acquisitionDate, "2026-03-04T05:06:07.000000");
        EXPECT_TRUE(filecheck::isDicom(dcm, false, expected));
    }
    // Without facts, the metadata block supplies exposure and bit resolution.
    const std::array<uint8_t, 69> metadata = metadataWith(12);
    const std::string plain = dir.file("plain.tif");
    ASSERT_EQ(VYK_RecorderExportImage(words.data(), kWidth, kHeight, "M_16", 1, plain.c_str(), 1, metadata.data()), 0);
    Expected fromBlock;
    fromBlock.significantBits = 12;
    fromBlock.exposureS = kExposureS;
    EXPECT_TRUE(filecheck::isOmeTiff(plain, fromBlock));
}
