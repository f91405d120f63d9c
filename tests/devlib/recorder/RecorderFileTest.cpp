// File recording through the C interface: every file type read back pixel-exactly with
// an independent reader, the overwrite rule, and a disk that cannot keep up.
#include <gtest/gtest.h>

#include <tiffio.h>

#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcfilefo.h>

#include <condition_variable>
#include <cstring>
#include <filesystem>
#include <functional>
#include <fstream>
#include <mutex>

#include "FileSequenceWriter.h"
#include "Recorder.h"
#include "RecorderFixture.h"
#include "RecorderRegistry.h"

using namespace rectest;

namespace {

using Image = std::vector<uint16_t>;

// Every page of a (multi-page) TIFF file; empty when it cannot be read.
std::vector<Image> readTiff(const std::string& path, uint32_t width, uint32_t height)
{
    std::vector<Image> pages;
    TIFF* tiff = TIFFOpen(path.c_str(), "r");
    if (tiff == nullptr)
        return pages;
    do {
        uint32_t w = 0, h = 0;
        uint16_t bits = 0;
        TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &w);
        TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &h);
        TIFFGetField(tiff, TIFFTAG_BITSPERSAMPLE, &bits);
        EXPECT_EQ(w, width);
        EXPECT_EQ(h, height);
        EXPECT_EQ(bits, 16);
        Image page(size_t(width) * height);
        for (uint32_t row = 0; row < height; ++row)
            EXPECT_EQ(TIFFReadScanline(tiff, page.data() + size_t(row) * width, row, 0), 1);
        pages.push_back(std::move(page));
    } while (TIFFReadDirectory(tiff));
    TIFFClose(tiff);
    return pages;
}

std::vector<uint8_t> readBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

template <typename T>
T field(const std::vector<uint8_t>& bytes, size_t offset)
{
    T value{};
    if (offset + sizeof(T) <= bytes.size())
        std::memcpy(&value, bytes.data() + offset, sizeof(T));
    return value;
}

Image pixelsAt(const std::vector<uint8_t>& bytes, size_t offset, size_t count)
{
    Image pixels(count);
    if (offset + count * 2 <= bytes.size())
        std::memcpy(pixels.data(), bytes.data() + offset, count * 2);
    return pixels;
}

// Frames of a raw sequence file, by its documented layout.
std::vector<Image> readRaw(const std::string& path, uint32_t width, uint32_t height)
{
    const auto bytes = readBytes(path);
    std::vector<Image> frames;
    if (bytes.size() < 64 || std::memcmp(bytes.data(), "VYKRAWSQ", 8) != 0)
        return frames;
    EXPECT_EQ(field<uint32_t>(bytes, 16), width);
    EXPECT_EQ(field<uint32_t>(bytes, 20), height);
    const uint32_t header = field<uint32_t>(bytes, 12);
    const uint32_t frameHeader = field<uint32_t>(bytes, 28);
    const uint64_t record = field<uint64_t>(bytes, 32);
    const uint64_t count = field<uint64_t>(bytes, 40);
    for (uint64_t i = 0; i < count; ++i)
        frames.push_back(pixelsAt(bytes, header + i * record + frameHeader, size_t(width) * height));
    return frames;
}

// Pixels of a B16 file, by its documented layout.
Image readB16(const std::string& path, uint32_t width, uint32_t height)
{
    const auto bytes = readBytes(path);
    if (bytes.size() < 32 || std::memcmp(bytes.data(), "B16R", 4) != 0)
        return {};
    EXPECT_EQ(field<uint32_t>(bytes, 8), width);
    EXPECT_EQ(field<uint32_t>(bytes, 12), height);
    return pixelsAt(bytes, field<uint32_t>(bytes, 4), size_t(width) * height);
}

// Frames of a (multi-frame) DICOM file.
std::vector<Image> readDicom(const std::string& path, uint32_t width, uint32_t height)
{
    std::vector<Image> frames;
    DcmFileFormat file;
    if (file.loadFile(path.c_str()).bad())
        return frames;
    DcmDataset* data = file.getDataset();
    Uint16 rows = 0, columns = 0, bits = 0;
    data->findAndGetUint16(DCM_Rows, rows);
    data->findAndGetUint16(DCM_Columns, columns);
    data->findAndGetUint16(DCM_BitsAllocated, bits);
    EXPECT_EQ(rows, height);
    EXPECT_EQ(columns, width);
    EXPECT_EQ(bits, 16);
    // A single-frame Secondary Capture file has no NumberOfFrames: it holds one frame.
    Sint32 count = 1;
    if (data->findAndGetSint32(DCM_NumberOfFrames, count).bad())
        count = 1;
    const Uint16* pixels = nullptr;
    unsigned long values = 0;
    if (data->findAndGetUint16Array(DCM_PixelData, pixels, &values).bad())
        return frames;
    const size_t frameValues = size_t(width) * height;
    EXPECT_EQ(values, frameValues * size_t(count));
    for (Sint32 i = 0; i < count && (i + 1) * frameValues <= values; ++i)
        frames.emplace_back(pixels + i * frameValues, pixels + (i + 1) * frameValues);
    return frames;
}

// Numbered name of image index for the single-image types: "_" and index+1 in six digits.
std::string numbered(const std::string& folder, const char* stem, const char* suffix, uint32_t index)
{
    char number[16];
    std::snprintf(number, sizeof number, "_%06u", index + 1);
    return folder + "/" + stem + number + suffix;
}

class FileRecording : public RecorderTest {
protected:
    // Records count images of the mono camera into path with type; returns the copies of
    // them that the recorder hands out by index.
    std::vector<Image> record(const std::string& path, uint16_t type, uint32_t count)
    {
        camera_ = open(kMonoSerial);
        setExposure(camera_, 0.001);
        recorder_ = create(camera_, VYK_RECORDER_MODE_FILE, path.c_str());
        EXPECT_FALSE(VYK_FAILED(VYK_RecorderInit(recorder_, count, type, 1, nullptr, 0)));
        uint32_t word = 0;
        VYK_RecorderGetSettings(recorder_, camera_, &word, nullptr, nullptr, nullptr);
        // The type bits 0-1 read as a sequence for every file type (type 3 must not read as a FIFO).
        EXPECT_EQ(word, (VYK_RECORDER_MODE_FILE << 16) | (uint32_t(type) << 8) | VYK_RECORDER_MEMORY_SEQUENCE);
        EXPECT_EQ(VYK_RecorderStart(recorder_), VYK_NOERROR);
        EXPECT_TRUE(waitFor([&] { return status(recorder_, camera_).running == 0; }));
        const Status s = status(recorder_, camera_);
        EXPECT_EQ(s.recorded, count);
        EXPECT_EQ(s.error, 0);
        // Every image stays reachable, not only those of the preview ring.
        EXPECT_EQ(s.bufferSize, count);
        std::vector<Image> images;
        for (uint32_t i = 0; i < count; ++i) {
            const auto c = copy(recorder_, camera_, i);
            EXPECT_EQ(c.rc, VYK_NOERROR);
            EXPECT_EQ(c.number, i + 1);
            images.push_back(c.pixels);
        }
        return images;
    }

    VYK_HANDLE camera_ = nullptr;
    VYK_RECORDER recorder_ = nullptr;
};

} // namespace

TEST_F(FileRecording, SingleTiffFilesHoldTheRecordedPixels)
{
    const std::string dir = folder();
    const auto images = record(dir + "/rec.tif", VYK_RECORDER_FILE_TIFF, 5);
    for (uint32_t i = 0; i < 5; ++i) {
        const auto pages = readTiff(numbered(dir, "rec", ".tif", i), 64, 48);
        ASSERT_EQ(pages.size(), 1u) << i;
        EXPECT_EQ(pages[0], images[i]) << i;
    }
    EXPECT_FALSE(std::filesystem::exists(numbered(dir, "rec", ".tif", 5)));
}

TEST_F(FileRecording, MultiPageTiffHoldsEveryImageInOrder)
{
    const std::string dir = folder();
    const auto images = record(dir + "/rec.tif", VYK_RECORDER_FILE_MULTITIFF, 6);
    EXPECT_EQ(readTiff(dir + "/rec.tif", 64, 48), images);
}

TEST_F(FileRecording, RawSequenceFileHoldsEveryImage)
{
    const std::string dir = folder();
    const auto images = record(dir + "/rec.raw", VYK_RECORDER_FILE_VYKRAW, 4);
    EXPECT_EQ(readRaw(dir + "/rec.raw", 64, 48), images);
}

TEST_F(FileRecording, B16FilesHoldTheRecordedPixels)
{
    const std::string dir = folder();
    const auto images = record(dir + "/rec.b16", VYK_RECORDER_FILE_B16, 3);
    for (uint32_t i = 0; i < 3; ++i)
        EXPECT_EQ(readB16(numbered(dir, "rec", ".b16", i), 64, 48), images[i]) << i;
}

TEST_F(FileRecording, DicomFilesHoldTheRecordedPixels)
{
    const std::string dir = folder();
    const auto images = record(dir + "/rec.dcm", VYK_RECORDER_FILE_DICOM, 3);
    for (uint32_t i = 0; i < 3; ++i) {
        const auto frames = readDicom(numbered(dir, "rec", ".dcm", i), 64, 48);
        ASSERT_EQ(frames.size(), 1u) << i;
        EXPECT_EQ(frames[0], images[i]) << i;
    }
}

TEST_F(FileRecording, MultiFrameDicomHoldsEveryImage)
{
    const std::string dir = folder();
    const auto images = record(dir + "/rec.dcm", VYK_RECORDER_FILE_MULTIDICOM, 4);
    EXPECT_EQ(readDicom(dir + "/rec.dcm", 64, 48), images);
}

// Longer than the preview ring: index i is image i of the recording for every file type,
// the old ones read back from the files, with what the camera sent along kept.
TEST_F(FileRecording, EveryImageOfALongRecordingIsCopiedInRecordingOrder)
{
    constexpr uint32_t kCount = 40;
    static_assert(kCount > vykrec::Recorder::kPreviewImages, "the recording must outgrow the preview ring");
    const std::string dir = folder();
    struct Case {
        uint16_t type;
        const char* name;
        std::function<std::vector<Image>(const std::string&)> readAll;
    };
    const auto numberedFiles = [&](const char* stem, const char* suffix, auto readOne) {
        return [=](const std::string&) {
            std::vector<Image> images;
            for (uint32_t i = 0; i < kCount; ++i)
                images.push_back(readOne(numbered(dir, stem, suffix, i)));
            return images;
        };
    };
    const Case cases[] = {
        {VYK_RECORDER_FILE_MULTITIFF, "long.tif", [](const std::string& p) { return readTiff(p, 64, 48); }},
        {VYK_RECORDER_FILE_VYKRAW, "long.raw", [](const std::string& p) { return readRaw(p, 64, 48); }},
        {VYK_RECORDER_FILE_MULTIDICOM, "long.dcm", [](const std::string& p) { return readDicom(p, 64, 48); }},
        {VYK_RECORDER_FILE_TIFF, "single.tif",
         numberedFiles("single", ".tif", [](const std::string& p) { return readTiff(p, 64, 48).at(0); })},
        {VYK_RECORDER_FILE_B16, "single.b16",
         numberedFiles("single", ".b16", [](const std::string& p) { return readB16(p, 64, 48); })},
        {VYK_RECORDER_FILE_DICOM, "single.dcm",
         numberedFiles("single", ".dcm", [](const std::string& p) { return readDicom(p, 64, 48).at(0); })},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir + "/" + c.name;
        const auto copies = record(path, c.type, kCount);
        const auto files = c.readAll(path);
        ASSERT_EQ(files.size(), kCount);
        for (uint32_t i = 0; i < kCount; ++i)
            EXPECT_EQ(copies[i], files[i]) << "image " << i;
        // The timestamp block of each image comes with it: the camera's counter runs on by one.
        const auto first = copy(recorder_, camera_, 0);
        const auto last = copy(recorder_, camera_, kCount - 1);
        EXPECT_EQ(last.counter, first.counter + kCount - 1);
        EXPECT_EQ(copy(recorder_, camera_, VYK_RECORDER_LATEST_IMAGE).number, kCount);
        EXPECT_EQ(copy(recorder_, camera_, kCount).rc, VYK_ERR_NO_IMAGE);
        VYK_RecorderDelete(recorder_);
        VYK_CloseCamera(camera_);
    }
}

TEST_F(RecorderTest, FileTargetRules)
{
    VYK_HANDLE camera = open(kMonoSerial);
    const std::string dir = folder();
    const std::string target = dir + "/seq.tif";
    uint32_t capacity = 0;
    VYK_RECORDER recorder = create(camera, VYK_RECORDER_MODE_FILE, target.c_str(), &capacity);
    EXPECT_GT(capacity, 0u);
    EXPECT_EQ(VYK_RecorderInit(recorder, 5, VYK_RECORDER_FILE_MULTITIFF, 0, "", 0), VYK_ERR_FILE_PATH_RULE);
    EXPECT_EQ(VYK_RecorderInit(recorder, 5, 7, 0, nullptr, 0), VYK_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(VYK_RecorderInit(recorder, 5, VYK_RECORDER_FILE_MULTITIFF, 0, (dir + "/no/such.tif").c_str(), 0),
              VYK_ERR_FILE_IO);
    EXPECT_EQ(VYK_RecorderInit(recorder, 5, VYK_RECORDER_FILE_MULTITIFF, 0, nullptr, 0), VYK_NOERROR);
    std::ofstream(target) << "old";
    // An existing target is refused with flag 0 and replaced, with a warning, with flag 1.
    EXPECT_EQ(VYK_RecorderInit(recorder, 5, VYK_RECORDER_FILE_MULTITIFF, 0, nullptr, 0), VYK_ERR_FILE_EXISTS);
    const int32_t replaced = VYK_RecorderInit(recorder, 5, VYK_RECORDER_FILE_MULTITIFF, 1, nullptr, 0);
    EXPECT_EQ(uint32_t(replaced), 0xC0153011u);
    EXPECT_FALSE(VYK_FAILED(replaced));
    VYK_RECORDER missing = nullptr;
    EXPECT_EQ(VYK_RecorderCreate(&missing, &camera, 1, VYK_RECORDER_MODE_FILE, (dir + "/no/x.tif").c_str(),
                                 &capacity),
              VYK_ERR_FILE_IO);
}

TEST_F(FileRecording, SlowDiskLosesFramesOnlyWithAnErrorAndAnHonestCount)
{
    const std::string dir = folder();
    camera_ = open(kMonoSerial);
    setExposure(camera_, 0.001);
    recorder_ = create(camera_, VYK_RECORDER_MODE_FILE, (dir + "/slow.raw").c_str());
    // The disk stalls on the first frame until the test has seen the recorder refuse frames.
    std::mutex lock;
    std::condition_variable released;
    bool go = false;
    vyksim::FileWriterOptions options;
    options.beforeWrite = [&](uint64_t index) {
        if (index != 0)
            return;
        std::unique_lock<std::mutex> guard(lock);
        released.wait(guard, [&] { return go; });
    };
    vykrec::RecorderRegistry::find(recorder_)->setFileWriterOptions(options);
    ASSERT_EQ(VYK_RecorderInit(recorder_, 150, VYK_RECORDER_FILE_VYKRAW, 1, nullptr, 0), VYK_NOERROR);
    ASSERT_EQ(VYK_RecorderStart(recorder_), VYK_NOERROR);
    const bool refused = waitFor([&] { return status(recorder_, camera_).error != 0; });
    {
        std::lock_guard<std::mutex> guard(lock);
        go = true;
    }
    released.notify_all();
    ASSERT_TRUE(refused);
    ASSERT_TRUE(waitFor([&] { return status(recorder_, camera_).running == 0; }));
    const Status s = status(recorder_, camera_);
    EXPECT_EQ(s.error, VYK_ERR_BUFFER_OVERRUN);
    EXPECT_EQ(s.recorded, 150u);
    uint64_t delivered = 0, lost = 0;
    VYK_RecorderGetFrameCounts(recorder_, camera_, &delivered, &lost);
    EXPECT_GT(lost, 0u);
    EXPECT_EQ(delivered, 150u + lost);
    // Exactly the accepted frames are in the file, in camera order.
    const auto frames = readRaw(dir + "/slow.raw", 64, 48);
    EXPECT_EQ(frames.size(), 150u);
}
