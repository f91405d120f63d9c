// Memory recording through the C interface on a simulated camera: sequence, ring, FIFO,
// copies with region, compression, auto exposure, lost frames, invalid use.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <thread>
#include <vector>

#include "AutoExposure.h"
#include "Compander.h"
#include "RecorderFixture.h"

using namespace rectest;

namespace {

// Counter values of copies must run without gaps: no image lost or repeated.
void expectConsecutive(const std::vector<uint32_t>& counters)
{
    for (size_t i = 1; i < counters.size(); ++i)
        EXPECT_EQ(counters[i], counters[i - 1] + 1) << "at " << i;
}

} // namespace

TEST_F(RecorderTest, CreateReportsMemoryCapacityAndSettings)
{
    VYK_HANDLE camera = open(kMonoSerial);
    uint32_t capacity = 0;
    VYK_RECORDER recorder = create(camera, VYK_RECORDER_MODE_MEMORY, nullptr, &capacity);
    // At most half of the available memory, in 64 x 48 16-bit images.
    EXPECT_GT(capacity, 1000u);
    uint32_t word = 0, reported = 0;
    uint16_t width = 0, height = 0;
    ASSERT_EQ(VYK_RecorderGetSettings(recorder, camera, &word, &reported, &width, &height), VYK_NOERROR);
    EXPECT_EQ(reported, capacity);
    EXPECT_EQ(word, VYK_RECORDER_MODE_MEMORY << 16);
    EXPECT_EQ(width, 64);
    EXPECT_EQ(height, 48);
    ASSERT_EQ(VYK_RecorderInit(recorder, 10, VYK_RECORDER_MEMORY_RING, 0, nullptr, 0), VYK_NOERROR);
    VYK_RecorderGetSettings(recorder, camera, &word, nullptr, nullptr, nullptr);
    EXPECT_EQ(word >> 16 & 3u, VYK_RECORDER_MODE_MEMORY);
    EXPECT_EQ(word & 3u, VYK_RECORDER_MEMORY_RING);
    const Status s = status(recorder, camera);
    EXPECT_EQ(s.running, 0u);
    EXPECT_EQ(s.recorded, 0u);
    EXPECT_EQ(s.bufferSize, 10u);
    // More than fits is refused.
    if (capacity < 0xFFFFFFFEu) {
        EXPECT_EQ(VYK_RecorderInit(recorder, capacity + 1, VYK_RECORDER_MEMORY_SEQUENCE, 0, nullptr, 0),
                  VYK_ERR_OUT_OF_MEMORY);
    }
}

TEST_F(RecorderTest, CapacityReportedAtCreateIsGrantedWhenOthersTakeMemoryBeforeInit)
{
    // Another program taking memory between create and init must not make the exact
    // capacity create reported fail: the caller was told it fits.
    VYK_HANDLE camera = open(kMonoSerial);
    uint32_t capacity = 0;
    VYK_RECORDER recorder = create(camera, VYK_RECORDER_MODE_MEMORY, nullptr, &capacity);
    ASSERT_GT(capacity, 1000u);
    std::vector<char> taken(size_t(512) << 20);
    std::memset(taken.data(), 1, taken.size()); // resident, so MemAvailable drops
    EXPECT_EQ(VYK_RecorderInit(recorder, capacity, VYK_RECORDER_MEMORY_RING, 0, nullptr, 0), VYK_NOERROR);
    EXPECT_EQ(status(recorder, camera).bufferSize, capacity);
    EXPECT_EQ(taken[taken.size() / 2], 1);
}

TEST_F(RecorderTest, SequenceStopsItselfWhenFull)
{
    VYK_HANDLE camera = open(kMonoSerial);
    setExposure(camera, 0.001);
    VYK_RECORDER recorder = create(camera, VYK_RECORDER_MODE_MEMORY, "");
    ASSERT_EQ(VYK_RecorderInit(recorder, 20, VYK_RECORDER_MEMORY_SEQUENCE, 0, "", 0), VYK_NOERROR);
    ASSERT_EQ(VYK_RecorderStart(recorder), VYK_NOERROR);
    ASSERT_TRUE(waitFor([&] { return status(recorder, camera).running == 0; }));
    const Status s = status(recorder, camera);
    EXPECT_EQ(s.recorded, 20u);
    EXPECT_EQ(s.bufferSize, 20u);
    EXPECT_EQ(s.error, 0);
    // The recorder switches the camera off by itself.
    uint16_t state = 1;
    EXPECT_TRUE(waitFor([&] { return !VYK_FAILED(VYK_GetRecordingState(camera, &state)) && state == 0; }));
    std::vector<uint32_t> counters;
    for (uint32_t i = 0; i < 20; ++i) {
        const auto c = copy(recorder, camera, i);
        ASSERT_EQ(c.rc, VYK_NOERROR) << i;
        EXPECT_EQ(c.number, i + 1);
        counters.push_back(c.counter);
    }
    expectConsecutive(counters);
    EXPECT_EQ(copy(recorder, camera, VYK_RECORDER_LATEST_IMAGE).number, 20u);
    EXPECT_EQ(copy(recorder, camera, 20).rc, VYK_ERR_NO_IMAGE);
    uint64_t delivered = 0, lost = 99;
    VYK_RecorderGetFrameCounts(recorder, camera, &delivered, &lost);
    EXPECT_EQ(delivered, 20u);
    EXPECT_EQ(lost, 0u);
    // Stopping a recorder that stopped by itself is harmless; images stay readable.
    EXPECT_EQ(VYK_RecorderStop(recorder), VYK_NOERROR);
    EXPECT_EQ(copy(recorder, camera, 0).number, 1u);
}

TEST_F(RecorderTest, RingWrapsAroundAndKeepsTheNewestOldestFirst)
{
    VYK_HANDLE camera = open(kMonoSerial);
    setExposure(camera, 0.001);
    VYK_RECORDER recorder = create(camera, VYK_RECORDER_MODE_MEMORY, nullptr);
    ASSERT_EQ(VYK_RecorderInit(recorder, 8, VYK_RECORDER_MEMORY_RING, 0, nullptr, 0), VYK_NOERROR);
    ASSERT_EQ(VYK_RecorderStart(recorder), VYK_NOERROR);
    ASSERT_TRUE(waitFor([&] { return status(recorder, camera).recorded >= 30; }));
    EXPECT_EQ(status(recorder, camera).running, 1u);
    // While running, the latest image keeps getting newer.
    const uint32_t before = copy(recorder, camera, VYK_RECORDER_LATEST_IMAGE).number;
    ASSERT_TRUE(waitFor([&] { return copy(recorder, camera, VYK_RECORDER_LATEST_IMAGE).number > before; }));
    ASSERT_EQ(VYK_RecorderStop(recorder), VYK_NOERROR);
    const Status s = status(recorder, camera);
    EXPECT_EQ(s.running, 0u);
    EXPECT_EQ(s.error, 0);
    EXPECT_EQ(s.bufferSize, 8u);
    const uint32_t total = s.recorded;
    std::vector<uint32_t> counters;
    for (uint32_t i = 0; i < 8; ++i) {
        const auto c = copy(recorder, camera, i);
        ASSERT_EQ(c.rc, VYK_NOERROR);
        EXPECT_EQ(c.number, total - 7 + i) << "index " << i;
        counters.push_back(c.counter);
    }
    expectConsecutive(counters);
    EXPECT_EQ(copy(recorder, camera, VYK_RECORDER_LATEST_IMAGE).number, total);
    EXPECT_EQ(copy(recorder, camera, 8).rc, VYK_ERR_NO_IMAGE);
}

TEST_F(RecorderTest, FifoHandsImagesOutInOrder)
{
    VYK_HANDLE camera = open(kMonoSerial);
    setExposure(camera, 0.001);
    VYK_RECORDER recorder = create(camera, VYK_RECORDER_MODE_MEMORY, nullptr);
    ASSERT_EQ(VYK_RecorderInit(recorder, 1000, VYK_RECORDER_MEMORY_FIFO, 0, nullptr, 0), VYK_NOERROR);
    ASSERT_EQ(VYK_RecorderStart(recorder), VYK_NOERROR);
    std::vector<uint32_t> numbers, counters;
    // Take images out while the camera records, then drain after the stop.
    while (numbers.size() < 25) {
        ASSERT_TRUE(waitFor([&] { return status(recorder, camera).recorded > 0; }));
        const auto c = copy(recorder, camera, VYK_RECORDER_LATEST_IMAGE);
        ASSERT_EQ(c.rc, VYK_NOERROR);
        numbers.push_back(c.number);
        counters.push_back(c.counter);
    }
    ASSERT_EQ(VYK_RecorderStop(recorder), VYK_NOERROR);
    const uint32_t waiting = status(recorder, camera).recorded;
    for (uint32_t i = 0; i < waiting; ++i) {
        const auto c = copy(recorder, camera, 0);
        ASSERT_EQ(c.rc, VYK_NOERROR);
        numbers.push_back(c.number);
        counters.push_back(c.counter);
    }
    EXPECT_EQ(status(recorder, camera).recorded, 0u);
    EXPECT_EQ(copy(recorder, camera, 0).rc, VYK_ERR_NO_IMAGE);
    for (size_t i = 0; i < numbers.size(); ++i)
        ASSERT_EQ(numbers[i], i + 1);
    expectConsecutive(counters);
    EXPECT_EQ(status(recorder, camera).error, 0);
}

TEST_F(RecorderTest, FullFifoReportsLostImages)
{
    VYK_HANDLE camera = open(kMonoSerial);
    setExposure(camera, 0.001);
    VYK_RECORDER recorder = create(camera, VYK_RECORDER_MODE_MEMORY, nullptr);
    ASSERT_EQ(VYK_RecorderInit(recorder, 4, VYK_RECORDER_MEMORY_FIFO, 0, nullptr, 0), VYK_NOERROR);
    ASSERT_EQ(VYK_RecorderStart(recorder), VYK_NOERROR);
    ASSERT_TRUE(waitFor([&] { return status(recorder, camera).error != 0; }));
    ASSERT_EQ(VYK_RecorderStop(recorder), VYK_NOERROR);
    const Status s = status(recorder, camera);
    EXPECT_EQ(s.error, VYK_ERR_BUFFER_OVERRUN);
    EXPECT_EQ(s.recorded, 4u);
    uint64_t delivered = 0, lost = 0;
    VYK_RecorderGetFrameCounts(recorder, camera, &delivered, &lost);
    EXPECT_GT(lost, 0u);
    EXPECT_EQ(delivered, lost + 4);
    // The four kept are the first four.
    for (uint32_t i = 1; i <= 4; ++i)
        EXPECT_EQ(copy(recorder, camera, 0).number, i);
}

TEST_F(RecorderTest, CopiesRegionsMetadataAndCompressedImages)
{
    VYK_HANDLE camera = open(kMonoSerial);
    setExposure(camera, 0.005);
    VYK_RECORDER recorder = create(camera, VYK_RECORDER_MODE_MEMORY, nullptr);
    ASSERT_EQ(VYK_RecorderInit(recorder, 3, VYK_RECORDER_MEMORY_SEQUENCE, 0, nullptr, 0), VYK_NOERROR);
    ASSERT_EQ(VYK_RecorderStart(recorder), VYK_NOERROR);
    ASSERT_TRUE(waitFor([&] { return status(recorder, camera).running == 0; }));
    const auto whole = copy(recorder, camera, 1);
    ASSERT_EQ(whole.rc, VYK_NOERROR);

    // Region x 11..30, y 5..14 (1-based, inclusive).
    std::vector<uint16_t> part(20 * 10);
    uint32_t number = 0;
    uint8_t metadata[VYK_METADATA_SIZE] = {VYK_METADATA_SIZE, 0};
    ASSERT_EQ(VYK_RecorderCopyImage(recorder, camera, 1, 11, 5, 30, 14, part.data(), &number, metadata, nullptr),
              VYK_NOERROR);
    EXPECT_EQ(number, 2u);
    for (uint32_t y = 0; y < 10; ++y)
        for (uint32_t x = 0; x < 20; ++x)
            ASSERT_EQ(part[y * 20 + x], whole.pixels[(y + 4) * 64 + x + 10]) << x << "," << y;
    uint16_t sizeX = 0;
    std::memcpy(&sizeX, metadata + 30, 2);
    EXPECT_EQ(sizeX, 64); // wIMAGE_SIZE_X of the camera's block

    // Regions outside the image and undersized blocks are refused.
    EXPECT_EQ(VYK_RecorderCopyImage(recorder, camera, 1, 1, 1, 65, 48, part.data(), nullptr, nullptr, nullptr),
              VYK_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(VYK_RecorderCopyImage(recorder, camera, 1, 0, 1, 10, 10, part.data(), nullptr, nullptr, nullptr),
              VYK_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(VYK_RecorderCopyImage(recorder, camera, 1, 5, 1, 4, 10, part.data(), nullptr, nullptr, nullptr),
              VYK_ERR_INVALID_ARGUMENT);
    uint8_t shortBlock[VYK_METADATA_SIZE] = {10, 0};
    EXPECT_EQ(VYK_RecorderCopyImage(recorder, camera, 1, 1, 1, 4, 4, part.data(), nullptr, shortBlock, nullptr),
              VYK_ERR_WRONG_SIZE);
    EXPECT_EQ(VYK_RecorderCopyImage(recorder, camera, 1, 1, 1, 4, 4, nullptr, nullptr, nullptr, nullptr),
              VYK_ERR_NULL_POINTER);
    // 8-bit copies need an 8-bit recording.
    std::vector<uint8_t> bytes(64 * 48);
    EXPECT_EQ(VYK_RecorderCopyImage8(recorder, camera, 1, 1, 1, 64, 48, bytes.data(), nullptr, nullptr, nullptr),
              VYK_ERR_NOT_SUPPORTED);

    // Compressed: the companding of the raw pixels, by the documented noise model.
    EXPECT_EQ(VYK_RecorderCopyImageCompressed(recorder, camera, 1, 1, 1, 64, 48, bytes.data(), nullptr, nullptr,
                                              nullptr),
              VYK_ERR_INVALID_ARGUMENT);
    const VYK_CompressionParams params{0.8, 2.0, 1.0, 0.5, 0.2};
    VYK_CompressionParams bad = params;
    bad.dGainK = -1.0;
    EXPECT_EQ(VYK_RecorderSetCompressionParams(recorder, camera, &bad), VYK_ERR_INVALID_ARGUMENT);
    ASSERT_EQ(VYK_RecorderSetCompressionParams(recorder, camera, &params), VYK_NOERROR);
    ASSERT_EQ(VYK_RecorderCopyImageCompressed(recorder, camera, 1, 1, 1, 64, 48, bytes.data(), &number, nullptr,
                                              nullptr),
              VYK_NOERROR);
    EXPECT_EQ(number, 2u);
    uint16_t offset = 0;
    ASSERT_FALSE(VYK_FAILED(VYK_GetDarkOffset(camera, &offset)));
    const vykrec::Compander expected(params, 16, offset);
    for (size_t i = 0; i < bytes.size(); ++i)
        ASSERT_EQ(bytes[i], expected.encode(whole.pixels[i])) << i;
}

TEST_F(RecorderTest, EightBitRecordingsCopyIntoBytes)
{
    VYK_HANDLE camera = open(kByteSerial);
    setExposure(camera, 0.002);
    VYK_RECORDER recorder = create(camera, VYK_RECORDER_MODE_MEMORY, nullptr);
    ASSERT_EQ(VYK_RecorderInit(recorder, 2, VYK_RECORDER_MEMORY_SEQUENCE, 0, nullptr, 0), VYK_NOERROR);
    ASSERT_EQ(VYK_RecorderStart(recorder), VYK_NOERROR);
    ASSERT_TRUE(waitFor([&] { return status(recorder, camera).running == 0; }));
    const auto words = copy(recorder, camera, 0);
    ASSERT_EQ(words.rc, VYK_NOERROR);
    std::vector<uint8_t> bytes(32 * 24);
    ASSERT_EQ(VYK_RecorderCopyImage8(recorder, camera, 0, 1, 1, 32, 24, bytes.data(), nullptr, nullptr, nullptr),
              VYK_NOERROR);
    for (size_t i = 0; i < bytes.size(); ++i) {
        ASSERT_LE(words.pixels[i], 255);
        ASSERT_EQ(bytes[i], words.pixels[i]);
    }
}

TEST_F(RecorderTest, AutoExposureBringsTheLevelToHalfScale)
{
    VYK_HANDLE camera = open(kMonoSerial);
    setExposure(camera, 0.0001); // far too dark
    VYK_RECORDER recorder = create(camera, VYK_RECORDER_MODE_MEMORY, nullptr);
    ASSERT_EQ(VYK_RecorderInit(recorder, 4, VYK_RECORDER_MEMORY_RING, 0, nullptr, 0), VYK_NOERROR);
    EXPECT_EQ(VYK_RecorderSetAutoExposureRegion(recorder, camera, 4), VYK_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(VYK_RecorderSetAutoExposure(recorder, camera, 1, 0, 50, 100000, VYK_TIMEBASE_US),
              VYK_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(VYK_RecorderSetAutoExposure(recorder, camera, 1, 3, 500, 100, VYK_TIMEBASE_US),
              VYK_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(VYK_RecorderSetAutoExposure(recorder, camera, 1, 3, 50, 100000, 3), VYK_ERR_INVALID_ARGUMENT);
    ASSERT_EQ(VYK_RecorderSetAutoExposureRegion(recorder, camera, vykrec::AutoExposure::Full), VYK_NOERROR);
    ASSERT_EQ(VYK_RecorderSetAutoExposure(recorder, camera, 1, 3, 50, 100000, VYK_TIMEBASE_US), VYK_NOERROR);
    ASSERT_EQ(VYK_RecorderStart(recorder), VYK_NOERROR);
    auto level = [&] {
        const auto c = copy(recorder, camera, VYK_RECORDER_LATEST_IMAGE);
        return c.rc == VYK_NOERROR ? vykrec::AutoExposure::measure(c.pixels.data(), 64, 48, 16,
                                                                   vykrec::AutoExposure::Full)
                                   : 0.0;
    };
    // Within 10 % of the target, stably: three images in a row.
    int inBand = 0;
    uint32_t lastNumber = 0;
    EXPECT_TRUE(waitFor([&] {
        const auto c = copy(recorder, camera, VYK_RECORDER_LATEST_IMAGE);
        if (c.rc != VYK_NOERROR || c.number == lastNumber)
            return false;
        lastNumber = c.number;
        inBand = std::fabs(level() - 0.5) < 0.05 ? inBand + 1 : 0;
        return inBand >= 3;
    })) << "level " << level();
    uint32_t delay = 0, exposure = 0;
    uint16_t delayBase = 0, exposureBase = 0;
    VYK_GetDelayExposureTime(camera, &delay, &exposure, &delayBase, &exposureBase);
    const double seconds = exposure * std::pow(10.0, -3.0 * (3 - exposureBase));
    EXPECT_GT(seconds, 0.0001 * 2);
    EXPECT_LE(seconds, 0.1);
    // Off needs no limits.
    ASSERT_EQ(VYK_RecorderSetAutoExposure(recorder, camera, 0, 0, 0, 0, 9), VYK_NOERROR);
    EXPECT_EQ(VYK_RecorderSetAutoExposure(recorder, camera, 2, 3, 50, 100000, VYK_TIMEBASE_US),
              VYK_ERR_INVALID_ARGUMENT);
    ASSERT_EQ(VYK_RecorderStop(recorder), VYK_NOERROR);
}

TEST_F(RecorderTest, DeviceFailureEndsTheRecordingWithAnError)
{
    VYK_HANDLE camera = open(kFailingSerial);
    setExposure(camera, 0.001);
    VYK_RECORDER recorder = create(camera, VYK_RECORDER_MODE_MEMORY, nullptr);
    ASSERT_EQ(VYK_RecorderInit(recorder, 10, VYK_RECORDER_MEMORY_RING, 0, nullptr, 0), VYK_NOERROR);
    ASSERT_EQ(VYK_RecorderStart(recorder), VYK_NOERROR);
    ASSERT_TRUE(waitFor([&] { return status(recorder, camera).running == 0; }));
    const Status s = status(recorder, camera);
    EXPECT_TRUE(VYK_FAILED(s.error)) << std::hex << s.error;
    EXPECT_LE(s.recorded, 40u);
    // What was recorded stays readable.
    EXPECT_EQ(copy(recorder, camera, VYK_RECORDER_LATEST_IMAGE).number, s.recorded);
}

TEST_F(RecorderTest, CameraThatStopsByItselfEndsTheRecording)
{
    // The camera's acquire sequence ends its recording after 12 images.
    VYK_HANDLE camera = open(kMonoSerial);
    ASSERT_FALSE(VYK_FAILED(VYK_SetAcquireModeEx(camera, VYK_ACQUIRE_SEQUENCE, 12)));
    setExposure(camera, 0.001);
    VYK_RECORDER recorder = create(camera, VYK_RECORDER_MODE_MEMORY, nullptr);
    ASSERT_EQ(VYK_RecorderInit(recorder, 8, VYK_RECORDER_MEMORY_RING, 0, nullptr, 0), VYK_NOERROR);
    ASSERT_EQ(VYK_RecorderStart(recorder), VYK_NOERROR);
    ASSERT_TRUE(waitFor([&] { return status(recorder, camera).running == 0; }));
    const Status s = status(recorder, camera);
    EXPECT_EQ(s.recorded, 12u);
    EXPECT_EQ(s.error, 0);
    EXPECT_EQ(copy(recorder, camera, VYK_RECORDER_LATEST_IMAGE).number, 12u);
    EXPECT_EQ(copy(recorder, camera, 0).number, 5u);
}

TEST_F(RecorderTest, RefusesInvalidUse)
{
    VYK_HANDLE camera = open(kMonoSerial);
    VYK_RECORDER recorder = nullptr;
    uint32_t capacity = 0;
    EXPECT_EQ(VYK_RecorderCreate(nullptr, &camera, 1, 2, nullptr, &capacity), VYK_ERR_NULL_POINTER);
    EXPECT_EQ(VYK_RecorderCreate(&recorder, nullptr, 1, 2, nullptr, &capacity), VYK_ERR_NULL_POINTER);
    EXPECT_EQ(VYK_RecorderCreate(&recorder, &camera, 1, 2, nullptr, nullptr), VYK_ERR_NULL_POINTER);
    EXPECT_EQ(VYK_RecorderCreate(&recorder, &camera, 2, 2, nullptr, &capacity), VYK_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(VYK_RecorderCreate(&recorder, &camera, 1, 0, nullptr, &capacity), VYK_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(VYK_RecorderCreate(&recorder, &camera, 1, 2, "/tmp/x.tif", &capacity), VYK_ERR_FILE_PATH_RULE);
    EXPECT_EQ(VYK_RecorderCreate(&recorder, &camera, 1, 3, "/tmp/x.tif", &capacity), VYK_ERR_FILE_PATH_RULE);
    EXPECT_EQ(VYK_RecorderCreate(&recorder, &camera, 1, 1, "", &capacity), VYK_ERR_FILE_PATH_RULE);
    VYK_HANDLE stranger = reinterpret_cast<VYK_HANDLE>(uintptr_t(0x1234));
    EXPECT_TRUE(VYK_FAILED(VYK_RecorderCreate(&recorder, &stranger, 1, 2, nullptr, &capacity)));
    EXPECT_EQ(recorder, nullptr);

    recorder = create(camera, VYK_RECORDER_MODE_MEMORY | 0x100u, nullptr); // caller's flag bits are ignored
    EXPECT_EQ(VYK_RecorderStart(recorder), VYK_ERR_NO_RECORDING);
    EXPECT_EQ(copy(recorder, camera, 0).rc, VYK_ERR_NO_RECORDING);
    EXPECT_EQ(VYK_RecorderInit(recorder, 3, VYK_RECORDER_MEMORY_RING, 0, nullptr, 0), VYK_ERR_NO_MEMORY_SEGMENT);
    EXPECT_EQ(VYK_RecorderInit(recorder, 3, VYK_RECORDER_MEMORY_FIFO, 0, nullptr, 0), VYK_ERR_NO_MEMORY_SEGMENT);
    EXPECT_EQ(VYK_RecorderInit(recorder, 0, VYK_RECORDER_MEMORY_SEQUENCE, 0, nullptr, 0), VYK_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(VYK_RecorderInit(recorder, 5, 4, 0, nullptr, 0), VYK_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(VYK_RecorderInit(recorder, 5, VYK_RECORDER_MEMORY_SEQUENCE, 0, "/tmp/x", 0), VYK_ERR_FILE_PATH_RULE);
    ASSERT_EQ(VYK_RecorderInit(recorder, 5, VYK_RECORDER_MEMORY_SEQUENCE, 0, nullptr, 0), VYK_NOERROR);
    EXPECT_EQ(copy(recorder, camera, 0).rc, VYK_ERR_NO_IMAGE);

    // A camera that is not the recorder's, and handles that do not exist (any more).
    VYK_HANDLE other = open(kByteSerial);
    uint32_t running = 0;
    EXPECT_EQ(VYK_RecorderGetStatus(recorder, other, &running, nullptr, nullptr, nullptr), VYK_ERR_INVALID_HANDLE);
    EXPECT_EQ(VYK_RecorderGetStatus(nullptr, camera, &running, nullptr, nullptr, nullptr), VYK_ERR_INVALID_HANDLE);
    VYK_RECORDER gone = nullptr;
    ASSERT_EQ(VYK_RecorderCreate(&gone, &camera, 1, 2, nullptr, &capacity), VYK_NOERROR);
    ASSERT_EQ(VYK_RecorderDelete(gone), VYK_NOERROR);
    EXPECT_EQ(VYK_RecorderDelete(gone), VYK_ERR_INVALID_HANDLE);
    EXPECT_EQ(VYK_RecorderStart(gone), VYK_ERR_INVALID_HANDLE);
    EXPECT_EQ(VYK_RecorderStop(gone), VYK_ERR_INVALID_HANDLE);
    EXPECT_EQ(VYK_RecorderInit(gone, 5, 1, 0, nullptr, 0), VYK_ERR_INVALID_HANDLE);
    EXPECT_EQ(VYK_RecorderSetAutoExposureRegion(gone, camera, 0), VYK_ERR_INVALID_HANDLE);

    // Settings cannot change under a running recording; a second recorder cannot take the camera.
    setExposure(camera, 0.002);
    ASSERT_EQ(VYK_RecorderInit(recorder, 1000, VYK_RECORDER_MEMORY_SEQUENCE, 0, nullptr, 0), VYK_NOERROR);
    ASSERT_EQ(VYK_RecorderStart(recorder), VYK_NOERROR);
    EXPECT_EQ(VYK_RecorderStart(recorder), VYK_ERR_RECORDING_RUNS);
    EXPECT_EQ(VYK_RecorderInit(recorder, 5, VYK_RECORDER_MEMORY_SEQUENCE, 0, nullptr, 0), VYK_ERR_RECORDING_RUNS);
    VYK_RECORDER second = create(camera, VYK_RECORDER_MODE_MEMORY, nullptr);
    ASSERT_EQ(VYK_RecorderInit(second, 5, VYK_RECORDER_MEMORY_SEQUENCE, 0, nullptr, 0), VYK_NOERROR);
    EXPECT_EQ(VYK_RecorderStart(second), VYK_ERR_CAMERA_BUSY);
    // Deleting a running recorder stops the camera.
    ASSERT_EQ(VYK_RecorderDelete(recorder), VYK_NOERROR);
    uint16_t state = 1;
    ASSERT_FALSE(VYK_FAILED(VYK_GetRecordingState(camera, &state)));
    EXPECT_EQ(state, 0);
    EXPECT_EQ(VYK_RecorderStart(second), VYK_NOERROR);
    EXPECT_EQ(VYK_RecorderStop(second), VYK_NOERROR);
}

TEST_F(RecorderTest, RestartBeginsANewRecording)
{
    VYK_HANDLE camera = open(kMonoSerial);
    setExposure(camera, 0.001);
    VYK_RECORDER recorder = create(camera, VYK_RECORDER_MODE_MEMORY, nullptr);
    ASSERT_EQ(VYK_RecorderInit(recorder, 5, VYK_RECORDER_MEMORY_SEQUENCE, 0, nullptr, 0), VYK_NOERROR);
    for (int round = 0; round < 2; ++round) {
        ASSERT_EQ(VYK_RecorderStart(recorder), VYK_NOERROR);
        ASSERT_TRUE(waitFor([&] { return status(recorder, camera).running == 0; }));
        EXPECT_EQ(status(recorder, camera).recorded, 5u);
        EXPECT_EQ(copy(recorder, camera, 0).number, 1u);
    }
}
