// Camera RAM: segment sizes, capacity, recording into segments, reading images back.
#include "SimCameraFixture.h"

#include <thread>

using nlohmann::json;
using Clock = std::chrono::steady_clock;

namespace {

// A 64 x 48 camera (3 pages of 1024 pixels per image) with 4000 pages of RAM.
json ramCamera(uint32_t serial)
{
    json camera = SimCameraFixture::baseCamera(serial);
    camera["ram"] = {{"pages", 4000}, {"page_size", 1024}};
    camera["capabilities"]["timestamp"] = true;
    return camera;
}

// Polls until predicate holds or 20 s pass.
template <typename Predicate>
bool eventually(Predicate predicate)
{
    const Clock::time_point start = Clock::now();
    while (!predicate()) {
        if (Clock::now() - start > std::chrono::seconds(20))
            return false;
        std::this_thread::yield();
    }
    return true;
}

uint32_t validIn(VYK_HANDLE h, uint16_t segment)
{
    uint32_t valid = 0, maximum = 0;
    EXPECT_EQ(VYK_GetNumberOfImagesInSegment(h, segment, &valid, &maximum), VYK_NOERROR);
    return valid;
}

uint16_t recordingState(VYK_HANDLE h)
{
    uint16_t state = 9;
    EXPECT_EQ(VYK_GetRecordingState(h, &state), VYK_NOERROR);
    return state;
}

} // namespace

TEST_F(SimCameraFixture, SegmentSizesArePagesThatFitTheRam)
{
    useCameras({ramCamera(401)});
    VYK_HANDLE h = openBySerial(401);
    VYK_RamSize ram{};
    ram.wSize = sizeof ram;
    ASSERT_EQ(VYK_GetCameraRamSize(h, &ram), VYK_NOERROR);
    EXPECT_EQ(ram.dwRamSize, 4000u);
    EXPECT_EQ(ram.wPageSize, 1024);
    uint32_t sizes[4] = {};
    ASSERT_EQ(VYK_GetCameraRamSegmentSize(h, sizes), VYK_NOERROR);
    EXPECT_EQ(sizes[0], 4000u);
    const uint32_t tooMuch[4] = {4000, 1, 0, 0};
    EXPECT_EQ(VYK_SetCameraRamSegmentSize(h, tooMuch), VYK_ERR_INVALID_ARGUMENT);
    const uint32_t split[4] = {2000, 1000, 600, 0};
    ASSERT_EQ(VYK_SetCameraRamSegmentSize(h, split), VYK_NOERROR);
    ASSERT_EQ(VYK_GetCameraRamSegmentSize(h, sizes), VYK_NOERROR);
    EXPECT_EQ(std::vector<uint32_t>(sizes, sizes + 4), std::vector<uint32_t>(split, split + 4));

    // Capacity: 3 pages per 64 x 48 image, 1 page per 32 x 32 image.
    uint32_t valid = 9, maximum = 0;
    ASSERT_EQ(VYK_GetNumberOfImagesInSegment(h, 2, &valid, &maximum), VYK_NOERROR);
    EXPECT_EQ(valid, 0u);
    EXPECT_EQ(maximum, 333u);
    ASSERT_EQ(VYK_GetNumberOfImagesInSegment(h, 4, &valid, &maximum), VYK_NOERROR);
    EXPECT_EQ(maximum, 0u);
    ASSERT_EQ(VYK_SetROI(h, 1, 1, 32, 32), VYK_NOERROR);
    ASSERT_EQ(VYK_ArmCamera(h), VYK_NOERROR);
    ASSERT_EQ(vyksim::simCamRamImageCounts(h, 2, &valid, &maximum), VYK_NOERROR);
    EXPECT_EQ(maximum, 1000u);
    EXPECT_EQ(VYK_GetNumberOfImagesInSegment(h, 0, &valid, &maximum), VYK_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(VYK_GetNumberOfImagesInSegment(h, 5, &valid, &maximum), VYK_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(VYK_SetActiveRamSegment(h, 0), VYK_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(VYK_SetActiveRamSegment(h, 5), VYK_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(VYK_SetStorageMode(h, 2), VYK_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(VYK_SetRecorderSubmode(h, 2), VYK_ERR_INVALID_ARGUMENT);
}

TEST_F(SimCameraFixture, SegmentsKeepTheirImagesAcrossSwitchingAndSequenceStopsWhenFull)
{
    useCameras({ramCamera(411)});
    VYK_HANDLE h = openBySerial(411);
    const uint32_t sizes[4] = {30, 30, 0, 0}; // ten images each
    ASSERT_EQ(VYK_SetCameraRamSegmentSize(h, sizes), VYK_NOERROR);
    ASSERT_EQ(VYK_SetDelayExposureTime(h, 0, 2, 0, VYK_TIMEBASE_MS), VYK_NOERROR);
    ASSERT_EQ(VYK_ArmCamera(h), VYK_NOERROR);

    // Segment 1 as a ring: keeps the newest ten.
    ASSERT_EQ(VYK_SetRecorderSubmode(h, VYK_RAM_SUBMODE_RING), VYK_NOERROR);
    FrameCollector frames(h);
    ASSERT_EQ(VYK_SetRecordingState(h, 1), VYK_NOERROR);
    EXPECT_EQ(VYK_SetActiveRamSegment(h, 2), VYK_ERR_RECORDING_RUNS);
    EXPECT_EQ(VYK_SetCameraRamSegmentSize(h, sizes), VYK_ERR_RECORDING_RUNS);
    ASSERT_GE(frames.waitFor(25), 25u);
    ASSERT_EQ(VYK_SetRecordingState(h, 0), VYK_NOERROR);
    const size_t recorded = frames.count();
    EXPECT_EQ(validIn(h, 1), 10u);
    vyksim::SimFrame oldest, newest;
    ASSERT_EQ(vyksim::simReadCamRamImage(h, 1, 0, oldest), VYK_NOERROR);
    ASSERT_EQ(vyksim::simReadCamRamImage(h, 1, 9, newest), VYK_NOERROR);
    EXPECT_EQ(newest.frameNumber, recorded);
    EXPECT_EQ(oldest.frameNumber, recorded - 9);
    EXPECT_EQ(vyksim::simReadCamRamImage(h, 1, 10, oldest), VYK_ERR_INVALID_ARGUMENT);

    // Segment 2 in sequence mode stops the camera when it is full.
    ASSERT_EQ(VYK_SetActiveRamSegment(h, 2), VYK_NOERROR);
    ASSERT_EQ(VYK_SetRecorderSubmode(h, VYK_RAM_SUBMODE_SEQUENCE), VYK_NOERROR);
    ASSERT_EQ(VYK_SetRecordingState(h, 1), VYK_NOERROR);
    ASSERT_TRUE(eventually([&] { return recordingState(h) == 0; }));
    EXPECT_EQ(validIn(h, 2), 10u);
    ASSERT_EQ(vyksim::simReadCamRamImage(h, 2, 0, oldest), VYK_NOERROR);
    EXPECT_EQ(oldest.frameNumber, 1u);
    ASSERT_EQ(vyksim::simReadCamRamImage(h, 2, 9, newest), VYK_NOERROR);
    EXPECT_EQ(newest.frameNumber, 10u);

    // Back on segment 1, its images are still there.
    ASSERT_EQ(VYK_SetActiveRamSegment(h, 1), VYK_NOERROR);
    uint16_t active = 0;
    ASSERT_EQ(VYK_GetActiveRamSegment(h, &active), VYK_NOERROR);
    EXPECT_EQ(active, 1);
    EXPECT_EQ(validIn(h, 1), 10u);
    EXPECT_EQ(validIn(h, 2), 10u);

    // New segment sizes clear every segment.
    ASSERT_EQ(VYK_SetCameraRamSegmentSize(h, sizes), VYK_NOERROR);
    EXPECT_EQ(validIn(h, 1), 0u);
    EXPECT_EQ(validIn(h, 2), 0u);
}

TEST_F(SimCameraFixture, ImagesReadFromRamEqualTheImagesDeliveredLive)
{
    useCameras({ramCamera(421)});
    VYK_HANDLE h = openBySerial(421);
    ASSERT_EQ(VYK_SetTimestampMode(h, VYK_TIMESTAMP_BINARY), VYK_NOERROR);
    ASSERT_EQ(VYK_SetDelayExposureTime(h, 0, 3, 0, VYK_TIMEBASE_MS), VYK_NOERROR);
    ASSERT_EQ(VYK_SetRecorderSubmode(h, VYK_RAM_SUBMODE_SEQUENCE), VYK_NOERROR);
    ASSERT_EQ(VYK_ArmCamera(h), VYK_NOERROR);
    FrameCollector frames(h);
    ASSERT_EQ(VYK_SetRecordingState(h, 1), VYK_NOERROR);
    ASSERT_GE(frames.waitFor(6), 6u);
    ASSERT_EQ(VYK_SetRecordingState(h, 0), VYK_NOERROR);
    const std::vector<vyksim::SimFrame> live = frames.frames();
    for (uint32_t i = 0; i < 6; ++i) {
        vyksim::SimFrame stored;
        ASSERT_EQ(vyksim::simReadCamRamImage(h, 1, i, stored), VYK_NOERROR);
        EXPECT_EQ(stored.frameNumber, live[i].frameNumber);
        EXPECT_EQ(stored.pixels, live[i].pixels) << "image " << i;
        EXPECT_EQ(stored.timestamp, live[i].timestamp);
    }
}

TEST_F(SimCameraFixture, TransferAndStorageModesDecideWhereImagesGo)
{
    useCameras({ramCamera(431)});
    VYK_HANDLE h = openBySerial(431);
    ASSERT_EQ(VYK_SetDelayExposureTime(h, 0, 2, 0, VYK_TIMEBASE_MS), VYK_NOERROR);
    ASSERT_EQ(VYK_ArmCamera(h), VYK_NOERROR);
    FrameCollector frames(h);

    // Transfer off: images only go into camera RAM.
    ASSERT_EQ(VYK_SetTransferMode(h, 0), VYK_NOERROR);
    ASSERT_EQ(VYK_SetRecordingState(h, 1), VYK_NOERROR);
    ASSERT_TRUE(eventually([&] { return validIn(h, 1) >= 5; }));
    ASSERT_EQ(VYK_SetRecordingState(h, 0), VYK_NOERROR);
    EXPECT_EQ(frames.count(), 0u);

    // FIFO storage: images only go to the computer; the segment is left alone.
    const uint32_t before = validIn(h, 1);
    ASSERT_EQ(VYK_SetTransferMode(h, 1), VYK_NOERROR);
    ASSERT_EQ(VYK_SetStorageMode(h, VYK_STORAGE_FIFO), VYK_NOERROR);
    ASSERT_EQ(VYK_SetRecordingState(h, 1), VYK_NOERROR);
    ASSERT_GE(frames.waitFor(5), 5u);
    ASSERT_EQ(VYK_SetRecordingState(h, 0), VYK_NOERROR);
    EXPECT_EQ(validIn(h, 1), before);
    uint16_t mode = 9;
    ASSERT_EQ(VYK_GetStorageMode(h, &mode), VYK_NOERROR);
    EXPECT_EQ(mode, VYK_STORAGE_FIFO);
}
