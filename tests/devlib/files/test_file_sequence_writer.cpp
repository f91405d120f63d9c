// The recorder's file writers: every kind written and read back pixel-exactly with the
// standard libraries, numbered names, the BigTIFF switch, and the bounded buffer that
// refuses frames instead of losing them.
#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

#include "B16File.h"
#include "FileReadBack.h"
#include "FileSequenceWriter.h"
#include "TempDir.h"
#include "VykRawFile.h"
#include "vyk_errors.h"

using namespace vyksim;
using vyktest::TempDir;

namespace {

// Deterministic pseudo-random frame of width*height values below 2^bitDepth.
std::vector<uint16_t> makeFrame(uint32_t width, uint32_t height, uint32_t seed, uint16_t bitDepth = 16)
{
    std::vector<uint16_t> frame(static_cast<size_t>(width) * height);
    uint32_t state = seed * 2654435761u + 12345u;
    const uint32_t mask = (1u << bitDepth) - 1u;
    for (uint16_t& value : frame) {
        state = state * 1664525u + 1013904223u;
        value = static_cast<uint16_t>((state >> 12) & mask);
    }
    return frame;
}

std::array<uint8_t, 69> makeMetadata(uint8_t seed)
{
    std::array<uint8_t, 69> block{};
    for (size_t i = 0; i < block.size(); ++i)
        block[i] = static_cast<uint8_t>(seed + 3 * i);
    return block;
}

std::array<uint8_t, 22> makeTimestamp(uint8_t seed)
{
    std::array<uint8_t, 22> block{};
    for (size_t i = 0; i < block.size(); ++i)
        block[i] = static_cast<uint8_t>(seed ^ (7 * i));
    return block;
}

bool exists(const std::string& path)
{
    return std::filesystem::exists(path);
}

// Waits (generously) until pred holds; false on timeout.
template <typename Pred>
bool eventually(Pred pred)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!pred()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// A gate the writer thread blocks on from inside the beforeWrite hook.
class WriterGate {
public:
    // Hook for FileWriterOptions: frame index `at` waits until open() was called.
    std::function<void(uint64_t)> hook(uint64_t at)
    {
        return [this, at](uint64_t index) {
            if (index != at)
                return;
            std::unique_lock<std::mutex> lock(mutex_);
            entered_ = true;
            changed_.notify_all();
            changed_.wait(lock, [this] { return open_; });
        };
    }
    // Waits until the writer is held at the gate.
    bool waitEntered()
    {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, std::chrono::seconds(60), [this] { return entered_; });
    }
    // Lets the writer go on.
    void open()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        open_ = true;
        changed_.notify_all();
    }

private:
    std::mutex mutex_;                 // guards entered_ and open_
    std::condition_variable changed_;  // entered_ or open_ changed
    bool entered_ = false;             // the writer reached the gate
    bool open_ = false;                // the writer may pass
};

constexpr uint32_t kWidth = 13;  // odd on purpose: no accidental padding or alignment
constexpr uint32_t kHeight = 7;

FileFrameFormat format12()
{
    FileFrameFormat format;
    format.width = kWidth;
    format.height = kHeight;
    format.bitDepth = 12;
    return format;
}

} // namespace

TEST(FileSequenceWriterNames, NumberedNamesKeepFolderAndSuffix)
{
    TempDir dir;
    FileSequenceWriter tiff(FileKind::Tiff, dir.file("shot.tif"), format12(), 3, 4);
    EXPECT_EQ(tiff.fileNameFor(0), dir.file("shot_000001.tif"));
    EXPECT_EQ(tiff.fileNameFor(41), dir.file("shot_000042.tif"));
    EXPECT_EQ(tiff.fileNameFor(1234566), dir.file("shot_1234567.tif"));

    std::filesystem::create_directory(dir.file("a.b"));
    FileSequenceWriter b16(FileKind::B16, dir.file("a.b/name"), format12(), 1, 1);
    EXPECT_EQ(b16.fileNameFor(0), dir.file("a.b/name_000001.b16"));
    FileSequenceWriter dicom(FileKind::Dicom, dir.file("scan.x.dcm"), format12(), 1, 1);
    EXPECT_EQ(dicom.fileNameFor(2), dir.file("scan.x_000003.dcm"));

    FileSequenceWriter multi(FileKind::MultiTiff, dir.file("all.tif"), format12(), 1, 1);
    EXPECT_EQ(multi.fileNameFor(0), dir.file("all.tif"));
    EXPECT_EQ(multi.fileNameFor(5), dir.file("all.tif"));
}

TEST(FileSequenceWriterTiff, SingleFilesHoldEachFrameExactly)
{
    TempDir dir;
    std::vector<std::vector<uint16_t>> frames;
    {
        FileSequenceWriter writer(FileKind::Tiff, dir.file("img.tif"), format12(), 3, 4);
        for (uint32_t i = 0; i < 3; ++i) {
            frames.push_back(makeFrame(kWidth, kHeight, i, 12));
            ASSERT_TRUE(writer.push(frames.back().data(), nullptr, nullptr));
        }
        writer.finish();
        EXPECT_EQ(writer.errorStatus(), 0);
        EXPECT_EQ(writer.acceptedCount(), 3u);
        EXPECT_EQ(writer.writtenCount(), 3u);
        for (uint32_t i = 0; i < 3; ++i) {
            bool big = true;
            const auto pages = vyktest::readTiff(writer.fileNameFor(i), &big);
            ASSERT_EQ(pages.size(), 1u) << writer.fileNameFor(i);
            EXPECT_FALSE(big);
            EXPECT_EQ(pages[0].width, kWidth);
            EXPECT_EQ(pages[0].height, kHeight);
            EXPECT_EQ(pages[0].samplesPerPixel, 1);
            EXPECT_EQ(pages[0].bitsPerSample, 16);
            EXPECT_EQ(vyktest::words(pages[0].bytes), frames[i]);
        }
        EXPECT_FALSE(exists(writer.fileNameFor(3)));
    }
}

TEST(FileSequenceWriterTiff, MultiPageHoldsFramesInOrder)
{
    TempDir dir;
    const std::string path = dir.file("seq.tif");
    std::vector<std::vector<uint16_t>> frames;
    FileSequenceWriter writer(FileKind::MultiTiff, path, format12(), 5, 2);
    for (uint32_t i = 0; i < 5; ++i) {
        frames.push_back(makeFrame(kWidth, kHeight, 100 + i, 12));
        // A buffer of two frames: wait for room instead of counting on the disk's speed.
        ASSERT_TRUE(eventually([&] { return writer.acceptedCount() - writer.writtenCount() < 2; }));
        ASSERT_TRUE(writer.push(frames.back().data(), nullptr, nullptr));
    }
    writer.finish();
    EXPECT_EQ(writer.errorStatus(), 0);
    EXPECT_EQ(writer.writtenCount(), 5u);

    bool big = true;
    const auto pages = vyktest::readTiff(path, &big);
    EXPECT_FALSE(big);
    ASSERT_EQ(pages.size(), 5u);
    for (size_t i = 0; i < pages.size(); ++i) {
        EXPECT_EQ(pages[i].width, kWidth);
        EXPECT_EQ(pages[i].height, kHeight);
        EXPECT_EQ(pages[i].bitsPerSample, 16);
        EXPECT_EQ(vyktest::words(pages[i].bytes), frames[i]) << "page " << i;
    }
}

TEST(FileSequenceWriterTiff, FramesHandedOverByMove)
{
    TempDir dir;
    const std::string path = dir.file("moved.tif");
    FileSequenceWriter writer(FileKind::MultiTiff, path, format12(), 3, 4);
    std::vector<std::vector<uint16_t>> frames;
    for (uint32_t i = 0; i < 3; ++i) {
        frames.push_back(makeFrame(kWidth, kHeight, 200 + i, 12));
        std::vector<uint16_t> copy = frames.back();
        ASSERT_TRUE(writer.push(std::move(copy), nullptr, nullptr));
    }
    std::vector<uint16_t> wrongSize(kWidth * kHeight - 1, 5);
    EXPECT_FALSE(writer.push(std::move(wrongSize), nullptr, nullptr));
    EXPECT_EQ(wrongSize.size(), kWidth * kHeight - 1); // a refused frame stays with the caller
    EXPECT_EQ(writer.errorStatus(), 0);
    writer.finish();
    std::vector<uint16_t> late = frames[0];
    EXPECT_FALSE(writer.push(std::move(late), nullptr, nullptr));
    EXPECT_EQ(late, frames[0]);
    const auto pages = vyktest::readTiff(path);
    ASSERT_EQ(pages.size(), 3u);
    for (size_t i = 0; i < 3; ++i)
        EXPECT_EQ(vyktest::words(pages[i].bytes), frames[i]);
}

TEST(FileSequenceWriterTiff, BuffersComingBackFromMovedFramesAreFreeToOverwrite)
{
    // The producer refills every buffer it gets back at once: a buffer handed back while its
    // frame still waited for the disk would put the wrong pixels into the file.
    TempDir dir;
    const std::string path = dir.file("recycled.tif");
    constexpr uint32_t kFrames = 12;
    FileSequenceWriter writer(FileKind::MultiTiff, path, format12(), kFrames, 2);
    std::vector<std::vector<uint16_t>> expected;
    std::vector<uint16_t> buffer;
    uint32_t recycled = 0;
    for (uint32_t i = 0; i < kFrames; ++i) {
        expected.push_back(makeFrame(kWidth, kHeight, 300 + i, 12));
        if (buffer.empty())
            buffer.resize(expected.back().size());
        std::copy(expected.back().begin(), expected.back().end(), buffer.begin());
        while (!writer.push(std::move(buffer), nullptr, nullptr))
            std::this_thread::sleep_for(std::chrono::milliseconds(1)); // the two-frame buffer is full
        recycled += buffer.empty() ? 0 : 1;
        std::fill(buffer.begin(), buffer.end(), uint16_t(0xFFF));
    }
    writer.finish();
    EXPECT_GT(recycled, 0u);
    const auto pages = vyktest::readTiff(path);
    ASSERT_EQ(pages.size(), kFrames);
    for (size_t i = 0; i < kFrames; ++i)
        EXPECT_EQ(vyktest::words(pages[i].bytes), expected[i]) << "page " << i;
}

TEST(FileSequenceWriterTiff, BigTiffChosenWhenEstimatePassesThreshold)
{
    // Estimated size: 16 + count * (frame bytes + page overhead).
    const uint64_t estimate3 = 16 + 3 * (uint64_t{kWidth} * kHeight * 2 + 1024);
    struct Case {
        uint64_t threshold;
        bool expectBig;
    };
    for (const Case c : {Case{estimate3 - 1, true}, Case{estimate3, false}, Case{1000, true}}) {
        TempDir dir;
        const std::string path = dir.file("big.tif");
        FileWriterOptions options;
        options.bigTiffThreshold = c.threshold;
        std::vector<std::vector<uint16_t>> frames;
        {
            FileSequenceWriter writer(FileKind::MultiTiff, path, format12(), 3, 8, options);
            for (uint32_t i = 0; i < 3; ++i) {
                frames.push_back(makeFrame(kWidth, kHeight, 7 * i, 12));
                ASSERT_TRUE(writer.push(frames.back().data(), nullptr, nullptr));
            }
        } // the destructor finishes
        bool big = !c.expectBig;
        const auto pages = vyktest::readTiff(path, &big);
        EXPECT_EQ(big, c.expectBig) << "threshold " << c.threshold;
        ASSERT_EQ(pages.size(), 3u);
        for (size_t i = 0; i < 3; ++i)
            EXPECT_EQ(vyktest::words(pages[i].bytes), frames[i]);
    }
}

TEST(FileSequenceWriterRaw, FramesMetadataAndTimestampsReadBack)
{
    TempDir dir;
    const std::string path = dir.file("rec.raw");
    std::vector<std::vector<uint16_t>> frames;
    {
        FileSequenceWriter writer(FileKind::VykRaw, path, format12(), 4, 8);
        for (uint32_t i = 0; i < 4; ++i) {
            frames.push_back(makeFrame(kWidth, kHeight, 40 + i, 12));
            const auto metadata = makeMetadata(static_cast<uint8_t>(i));
            const auto timestamp = makeTimestamp(static_cast<uint8_t>(i));
            // Metadata on even frames only, a timestamp on every frame.
            ASSERT_TRUE(writer.push(frames.back().data(), i % 2 == 0 ? metadata.data() : nullptr,
                                    timestamp.data()));
        }
        writer.finish();
        EXPECT_EQ(writer.errorStatus(), 0);
    }
    VykRawFile::Info info;
    ASSERT_TRUE(VykRawFile::readInfo(path, info));
    EXPECT_TRUE(info.finished);
    EXPECT_EQ(info.frameCount, 4u);
    EXPECT_EQ(info.width, kWidth);
    EXPECT_EQ(info.height, kHeight);
    EXPECT_EQ(info.bitDepth, 12);
    for (uint32_t i = 0; i < 4; ++i) {
        VykRawFile::Frame frame;
        ASSERT_TRUE(readVykRawFrame(path, i, frame));
        EXPECT_EQ(frame.pixels, frames[i]);
        EXPECT_EQ(frame.hasMetadata, i % 2 == 0);
        if (frame.hasMetadata)
            EXPECT_EQ(frame.metadata, makeMetadata(static_cast<uint8_t>(i)));
        else
            EXPECT_EQ(frame.metadata, (std::array<uint8_t, 69>{}));
        EXPECT_TRUE(frame.hasTimestamp);
        EXPECT_EQ(frame.timestamp, makeTimestamp(static_cast<uint8_t>(i)));
    }
    VykRawFile::Frame beyond;
    EXPECT_FALSE(readVykRawFrame(path, 4, beyond));
}

TEST(FileSequenceWriterRaw, UnfinishedFileShowsItsCompleteFrames)
{
    TempDir dir;
    const std::string path = dir.file("open.raw");
    WriterGate gate;
    FileWriterOptions options;
    options.beforeWrite = gate.hook(2);
    FileSequenceWriter writer(FileKind::VykRaw, path, format12(), 5, 8, options);
    std::vector<std::vector<uint16_t>> frames;
    for (uint32_t i = 0; i < 3; ++i) {
        frames.push_back(makeFrame(kWidth, kHeight, 70 + i, 12));
        ASSERT_TRUE(writer.push(frames.back().data(), nullptr, nullptr));
    }
    ASSERT_TRUE(gate.waitEntered()); // frames 0 and 1 are on disk, 2 is held back

    VykRawFile::Info info;
    ASSERT_TRUE(VykRawFile::readInfo(path, info));
    EXPECT_FALSE(info.finished);
    EXPECT_EQ(info.frameCount, 2u);
    VykRawFile::Frame frame;
    ASSERT_TRUE(readVykRawFrame(path, 1, frame));
    EXPECT_EQ(frame.pixels, frames[1]);
    EXPECT_FALSE(readVykRawFrame(path, 2, frame));

    gate.open();
    writer.finish();
    ASSERT_TRUE(VykRawFile::readInfo(path, info));
    EXPECT_TRUE(info.finished);
    EXPECT_EQ(info.frameCount, 3u);
}

TEST(FileSequenceWriterB16, FilesCarryHeaderAndPixels)
{
    TempDir dir;
    std::vector<std::vector<uint16_t>> frames;
    FileSequenceWriter writer(FileKind::B16, dir.file("pic.b16"), format12(), 2, 2);
    for (uint32_t i = 0; i < 2; ++i) {
        frames.push_back(makeFrame(kWidth, kHeight, 300 + i, 12));
        ASSERT_TRUE(eventually([&] { return writer.acceptedCount() - writer.writtenCount() < 2; }));
        ASSERT_TRUE(writer.push(frames.back().data(), nullptr, nullptr));
    }
    writer.finish();
    ASSERT_EQ(writer.errorStatus(), 0);
    for (uint32_t i = 0; i < 2; ++i) {
        B16File::Info info;
        std::vector<uint16_t> pixels;
        ASSERT_TRUE(B16File::read(writer.fileNameFor(i), info, pixels));
        EXPECT_EQ(info.width, kWidth);
        EXPECT_EQ(info.height, kHeight);
        EXPECT_EQ(info.bitDepth, 12);
        EXPECT_EQ(pixels, frames[i]);
        EXPECT_EQ(std::filesystem::file_size(writer.fileNameFor(i)), 32u + kWidth * kHeight * 2u);
    }
}

TEST(FileSequenceWriterDicom, SingleFilesShareStudyAndSeries)
{
    TempDir dir;
    std::vector<std::vector<uint16_t>> frames;
    FileSequenceWriter writer(FileKind::Dicom, dir.file("ct.dcm"), format12(), 3, 4);
    for (uint32_t i = 0; i < 3; ++i) {
        frames.push_back(makeFrame(kWidth, kHeight, 500 + i, 12));
        ASSERT_TRUE(writer.push(frames.back().data(), nullptr, nullptr));
    }
    writer.finish();
    ASSERT_EQ(writer.errorStatus(), 0);
    std::vector<vyktest::DicomData> files;
    for (uint32_t i = 0; i < 3; ++i) {
        files.push_back(vyktest::readDicom(writer.fileNameFor(i)));
        const vyktest::DicomData& d = files.back();
        ASSERT_TRUE(d.loaded) << writer.fileNameFor(i);
        EXPECT_EQ(d.rows, kHeight);
        EXPECT_EQ(d.columns, kWidth);
        EXPECT_EQ(d.frames, 1);
        EXPECT_EQ(d.samplesPerPixel, 1);
        EXPECT_EQ(d.bitsAllocated, 16);
        EXPECT_EQ(d.bitsStored, 12);
        EXPECT_EQ(d.highBit, 11);
        EXPECT_EQ(d.pixelRepresentation, 0);
        EXPECT_EQ(d.photometric, "MONOCHROME2");
        EXPECT_EQ(d.sopClassUid, "1.2.840.10008.5.1.4.1.1.7");
        EXPECT_EQ(d.contentDate.size(), 8u);
        EXPECT_EQ(d.pixels16, frames[i]);
    }
    EXPECT_FALSE(files[0].studyUid.empty());
    EXPECT_EQ(files[0].studyUid, files[2].studyUid);
    EXPECT_EQ(files[0].seriesUid, files[2].seriesUid);
    EXPECT_NE(files[0].sopInstanceUid, files[1].sopInstanceUid);
    EXPECT_NE(files[1].sopInstanceUid, files[2].sopInstanceUid);
}

TEST(FileSequenceWriterDicom, MultiFrameFileHoldsAllFrames)
{
    TempDir dir;
    const std::string path = dir.file("movie.dcm");
    std::vector<uint16_t> all;
    {
        FileSequenceWriter writer(FileKind::MultiDicom, path, format12(), 5, 8);
        for (uint32_t i = 0; i < 5; ++i) {
            const auto frame = makeFrame(kWidth, kHeight, 900 + i, 12);
            all.insert(all.end(), frame.begin(), frame.end());
            ASSERT_TRUE(writer.push(frame.data(), nullptr, nullptr));
        }
        writer.finish();
        ASSERT_EQ(writer.errorStatus(), 0);
        EXPECT_EQ(writer.writtenCount(), 5u);
    }
    const vyktest::DicomData d = vyktest::readDicom(path);
    ASSERT_TRUE(d.loaded);
    EXPECT_EQ(d.frames, 5);
    EXPECT_EQ(d.rows, kHeight);
    EXPECT_EQ(d.columns, kWidth);
    EXPECT_EQ(d.bitsStored, 12);
    EXPECT_EQ(d.pixels16, all);
    EXPECT_FALSE(exists(path + ".frames.part"));
}

TEST(FileSequenceWriterEmpty, NoFramesLeaveNoBrokenFiles)
{
    TempDir dir;
    {
        FileSequenceWriter multiTiff(FileKind::MultiTiff, dir.file("a.tif"), format12(), 3, 2);
        FileSequenceWriter multiDicom(FileKind::MultiDicom, dir.file("b.dcm"), format12(), 3, 2);
        FileSequenceWriter raw(FileKind::VykRaw, dir.file("c.raw"), format12(), 3, 2);
        multiTiff.finish();
        multiDicom.finish();
        raw.finish();
        EXPECT_EQ(multiTiff.errorStatus(), 0);
        EXPECT_EQ(multiDicom.errorStatus(), 0);
        EXPECT_EQ(raw.errorStatus(), 0);
    }
    EXPECT_FALSE(exists(dir.file("a.tif")));
    EXPECT_FALSE(exists(dir.file("b.dcm")));
    EXPECT_FALSE(exists(dir.file("b.dcm.frames.part")));
    VykRawFile::Info info;
    ASSERT_TRUE(VykRawFile::readInfo(dir.file("c.raw"), info));
    EXPECT_TRUE(info.finished);
    EXPECT_EQ(info.frameCount, 0u);
}

TEST(FileSequenceWriterBuffer, FullBufferRefusesFramesAndSaysSo)
{
    TempDir dir;
    WriterGate gate;
    FileWriterOptions options;
    options.beforeWrite = gate.hook(0);
    FileSequenceWriter writer(FileKind::Tiff, dir.file("slow.tif"), format12(), 10, 2, options);
    std::vector<std::vector<uint16_t>> frames;
    for (uint32_t i = 0; i < 6; ++i)
        frames.push_back(makeFrame(kWidth, kHeight, 60 + i, 12));

    ASSERT_TRUE(writer.push(frames[0].data(), nullptr, nullptr));
    ASSERT_TRUE(gate.waitEntered()); // the writer holds frame 0; the buffer is empty
    EXPECT_TRUE(writer.push(frames[1].data(), nullptr, nullptr));
    EXPECT_TRUE(writer.push(frames[2].data(), nullptr, nullptr));
    EXPECT_EQ(writer.errorStatus(), 0);
    EXPECT_FALSE(writer.push(frames[3].data(), nullptr, nullptr)); // buffer full
    EXPECT_EQ(writer.errorStatus(), VYK_ERR_BUFFER_OVERRUN);
    EXPECT_EQ(writer.acceptedCount(), 3u);
    EXPECT_EQ(writer.writtenCount(), 0u);

    gate.open();
    // Once there is room again frames are taken; the overrun stays reported.
    ASSERT_TRUE(eventually([&] { return writer.writtenCount() == 3; }));
    EXPECT_TRUE(writer.push(frames[4].data(), nullptr, nullptr));
    writer.finish();
    EXPECT_EQ(writer.errorStatus(), VYK_ERR_BUFFER_OVERRUN);
    EXPECT_EQ(writer.acceptedCount(), 4u);
    EXPECT_EQ(writer.writtenCount(), 4u);
    // Accepted frames are numbered consecutively: the refused frame leaves no gap.
    const size_t sources[] = {0, 1, 2, 4};
    for (size_t i = 0; i < 4; ++i) {
        const auto pages = vyktest::readTiff(writer.fileNameFor(i));
        ASSERT_EQ(pages.size(), 1u);
        EXPECT_EQ(vyktest::words(pages[0].bytes), frames[sources[i]]);
    }
    EXPECT_FALSE(exists(writer.fileNameFor(4)));
    EXPECT_FALSE(writer.push(frames[5].data(), nullptr, nullptr)); // finished
}

TEST(FileSequenceWriterFailure, LostFolderIsReportedAndCountsStayTrue)
{
    TempDir dir;
    const std::string folder = dir.file("out");
    std::filesystem::create_directory(folder);
    FileWriterOptions options;
    // Before frame 1 the folder disappears, as a removed disk would.
    options.beforeWrite = [&](uint64_t index) {
        if (index == 1)
            std::filesystem::rename(folder, dir.file("moved"));
    };
    FileSequenceWriter writer(FileKind::Tiff, folder + "/img.tif", format12(), 4, 8, options);
    const auto frame = makeFrame(kWidth, kHeight, 1, 12);
    ASSERT_TRUE(writer.push(frame.data(), nullptr, nullptr));
    ASSERT_TRUE(writer.push(frame.data(), nullptr, nullptr));
    ASSERT_TRUE(eventually([&] { return writer.errorStatus() != 0; }));
    EXPECT_EQ(writer.errorStatus(), VYK_ERR_FILE_IO);
    EXPECT_FALSE(writer.push(frame.data(), nullptr, nullptr));
    writer.finish();
    EXPECT_EQ(writer.errorStatus(), VYK_ERR_FILE_IO);
    EXPECT_EQ(writer.acceptedCount(), 2u);
    EXPECT_EQ(writer.writtenCount(), 1u);
    EXPECT_TRUE(exists(dir.file("moved/img_000001.tif")));
    EXPECT_FALSE(exists(dir.file("moved/img_000002.tif")));
}

TEST(FileSequenceWriterFailure, FullDiskIsReported)
{
    if (!exists("/dev/full"))
        GTEST_SKIP() << "no /dev/full";
    // /dev/full accepts the open and fails every write with "no space left".
    FileSequenceWriter writer(FileKind::VykRaw, "/dev/full", format12(), 2, 2);
    const auto frame = makeFrame(kWidth, kHeight, 2, 12);
    ASSERT_TRUE(writer.push(frame.data(), nullptr, nullptr));
    writer.finish();
    EXPECT_EQ(writer.errorStatus(), VYK_ERR_FILE_IO);
    EXPECT_EQ(writer.writtenCount(), 0u);
}

TEST(FileSequenceWriterFailure, BadArgumentsAndMissingFolderThrow)
{
    TempDir dir;
    const std::string missing = dir.file("no/such/folder/x.tif");
    for (FileKind kind : {FileKind::Tiff, FileKind::MultiTiff, FileKind::VykRaw, FileKind::B16,
                          FileKind::Dicom, FileKind::MultiDicom})
        EXPECT_THROW(FileSequenceWriter(kind, missing, format12(), 1, 1), std::runtime_error)
            << static_cast<int>(kind);

    FileFrameFormat empty = format12();
    empty.width = 0;
    EXPECT_THROW(FileSequenceWriter(FileKind::Tiff, dir.file("x.tif"), empty, 1, 1), std::invalid_argument);
    FileFrameFormat deep = format12();
    deep.bitDepth = 17;
    EXPECT_THROW(FileSequenceWriter(FileKind::Tiff, dir.file("x.tif"), deep, 1, 1), std::invalid_argument);
    EXPECT_THROW(FileSequenceWriter(FileKind::Tiff, dir.file("x.tif"), format12(), 1, 0), std::invalid_argument);
    FileFrameFormat wide = format12();
    wide.width = 70000;
    EXPECT_THROW(FileSequenceWriter(FileKind::Dicom, dir.file("x.dcm"), wide, 1, 1), std::invalid_argument);
}

TEST(FileSequenceWriterThreads, FinishFromAnotherThreadLosesNoAcceptedFrame)
{
    TempDir dir;
    const std::string path = dir.file("race.tif");
    FileSequenceWriter writer(FileKind::MultiTiff, path, format12(), 1000, 64);
    const auto frame = makeFrame(kWidth, kHeight, 3, 12);
    std::atomic<bool> stop{false};
    std::atomic<uint64_t> acceptedAfterFinish{0};
    std::atomic<bool> finished{false};
    std::thread producer([&] {
        // Pushes as fast as it can; refusals for a full buffer are simply retried.
        while (!stop.load()) {
            const bool wasFinished = finished.load();
            if (writer.push(frame.data(), nullptr, nullptr) && wasFinished)
                acceptedAfterFinish.fetch_add(1);
        }
    });
    ASSERT_TRUE(eventually([&] { return writer.acceptedCount() >= 20; }));
    writer.finish();
    finished.store(true);
    // Let the producer run into the finished writer for a while before stopping it.
    const uint64_t acceptedAtFinish = writer.acceptedCount();
    for (int i = 0; i < 1000; ++i)
        std::this_thread::yield();
    stop.store(true);
    producer.join();
    EXPECT_EQ(acceptedAfterFinish.load(), 0u);
    EXPECT_EQ(writer.acceptedCount(), acceptedAtFinish);
    EXPECT_EQ(writer.writtenCount(), writer.acceptedCount());
    const int32_t status = writer.errorStatus();
    EXPECT_TRUE(status == 0 || status == VYK_ERR_BUFFER_OVERRUN);
    EXPECT_EQ(vyktest::readTiff(path).size(), writer.writtenCount());
}

TEST(FileSequenceWriterTools, StandardToolsReadRecordings)
{
    TempDir dir;
    const std::string tif = dir.file("rec.tif");
    const std::string dcm = dir.file("rec.dcm");
    FileWriterOptions bigTiff;
    bigTiff.bigTiffThreshold = 0; // force BigTIFF: the tool must read that too
    {
        FileSequenceWriter tiffWriter(FileKind::MultiTiff, tif, format12(), 2, 4, bigTiff);
        FileSequenceWriter dicomWriter(FileKind::MultiDicom, dcm, format12(), 2, 4);
        for (uint32_t i = 0; i < 2; ++i) {
            const auto frame = makeFrame(kWidth, kHeight, i, 12);
            ASSERT_TRUE(tiffWriter.push(frame.data(), nullptr, nullptr));
            ASSERT_TRUE(dicomWriter.push(frame.data(), nullptr, nullptr));
        }
    }
    bool ran = false;
    if (vyktest::haveTool("tiffinfo")) {
        ran = true;
        const vyktest::CommandResult r = vyktest::runCommand("tiffinfo '" + tif + "'");
        EXPECT_EQ(r.status, 0) << r.output;
        // Two directories, both 13 x 7 with 16-bit samples.
        size_t pages = 0;
        for (size_t at = r.output.find("Image Width: 13 Image Length: 7"); at != std::string::npos;
             at = r.output.find("Image Width: 13 Image Length: 7", at + 1))
            ++pages;
        EXPECT_EQ(pages, 2u) << r.output;
        EXPECT_NE(r.output.find("Bits/Sample: 16"), std::string::npos) << r.output;
    }
    if (vyktest::haveTool("dcmdump")) {
        ran = true;
        const vyktest::CommandResult r = vyktest::runCommand("dcmdump '" + dcm + "'");
        EXPECT_EQ(r.status, 0) << r.output;
        EXPECT_NE(r.output.find("(0028,0008) IS [2]"), std::string::npos) << r.output;
        EXPECT_NE(r.output.find("(0028,0101) US 12"), std::string::npos) << r.output;
        EXPECT_NE(r.output.find("MONOCHROME2"), std::string::npos) << r.output;
    }
    if (!ran)
        GTEST_SKIP() << "neither tiffinfo nor dcmdump is installed";
}
