// Camera-RAM mode: the recorder reads what the camera stored in its segments.
#include <gtest/gtest.h>

#include "RecorderFixture.h"

using namespace rectest;

namespace {

// Prepares the mono camera to record into segment: storage into RAM, stop when full.
void prepareRam(VYK_HANDLE camera, uint16_t segment)
{
    ASSERT_FALSE(VYK_FAILED(VYK_SetActiveRamSegment(camera, segment)));
    ASSERT_FALSE(VYK_FAILED(VYK_SetStorageMode(camera, VYK_STORAGE_RECORDER)));
    ASSERT_FALSE(VYK_FAILED(VYK_SetRecorderSubmode(camera, VYK_RAM_SUBMODE_SEQUENCE)));
    ASSERT_FALSE(VYK_FAILED(VYK_ArmCamera(camera)));
}

} // namespace

TEST_F(RecorderTest, CamRamSegmentIsRecordedAndReadBack)
{
    VYK_HANDLE camera = open(kMonoSerial);
    setExposure(camera, 0.001);
    // Dividing the RAM clears every segment, so it happens once, before anything is recorded.
    const uint32_t sizes[VYK_RAM_SEGMENTS] = {32, 16, 0, 0};
    ASSERT_FALSE(VYK_FAILED(VYK_SetCameraRamSegmentSize(camera, sizes)));
    prepareRam(camera, 1);
    uint32_t valid = 0, maximum = 0;
    ASSERT_FALSE(VYK_FAILED(VYK_GetNumberOfImagesInSegment(camera, 1, &valid, &maximum)));
    ASSERT_GT(maximum, 2u);

    uint32_t capacity = 0;
    VYK_RECORDER recorder = create(camera, VYK_RECORDER_MODE_CAMRAM, nullptr, &capacity);
    EXPECT_EQ(capacity, maximum);
    EXPECT_EQ(VYK_RecorderInit(recorder, 1, VYK_RECORDER_CAMRAM_SEGMENT, 0, nullptr, 5), VYK_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(VYK_RecorderInit(recorder, 1, 2, 0, nullptr, 1), VYK_ERR_INVALID_ARGUMENT);
    ASSERT_EQ(VYK_RecorderInit(recorder, 1, VYK_RECORDER_CAMRAM_SEGMENT, 0, nullptr, 1), VYK_NOERROR);
    uint32_t word = 0;
    VYK_RecorderGetSettings(recorder, camera, &word, nullptr, nullptr, nullptr);
    EXPECT_EQ((word >> 16) & 3u, 3u);
    EXPECT_EQ(word & 3u, 1u);

    ASSERT_EQ(VYK_RecorderStart(recorder), VYK_NOERROR);
    // The camera stops by itself when the segment is full.
    ASSERT_TRUE(waitFor([&] { return status(recorder, camera).running == 0; }));
    const Status s = status(recorder, camera);
    EXPECT_EQ(s.recorded, maximum);
    EXPECT_EQ(s.bufferSize, maximum);
    EXPECT_EQ(s.error, 0);
    std::vector<uint32_t> counters;
    for (uint32_t i = 0; i < maximum; ++i) {
        const auto c = copy(recorder, camera, i);
        ASSERT_EQ(c.rc, VYK_NOERROR) << i;
        EXPECT_EQ(c.number, i + 1);
        counters.push_back(c.counter);
    }
    for (size_t i = 1; i < counters.size(); ++i)
        EXPECT_EQ(counters[i], counters[i - 1] + 1);
    EXPECT_EQ(copy(recorder, camera, VYK_RECORDER_LATEST_IMAGE).number, maximum);
    EXPECT_EQ(copy(recorder, camera, maximum).rc, VYK_ERR_NO_IMAGE);
    const auto first = copy(recorder, camera, 0);
    ASSERT_EQ(VYK_RecorderStop(recorder), VYK_NOERROR);
    ASSERT_EQ(VYK_RecorderDelete(recorder), VYK_NOERROR);

    // Record into segment 2, then read segment 1 again: its images are still there.
    prepareRam(camera, 2);
    VYK_RECORDER second = create(camera, VYK_RECORDER_MODE_CAMRAM, nullptr);
    ASSERT_EQ(VYK_RecorderInit(second, 1, VYK_RECORDER_CAMRAM_SEGMENT, 0, nullptr, 2), VYK_NOERROR);
    ASSERT_EQ(VYK_RecorderStart(second), VYK_NOERROR);
    ASSERT_TRUE(waitFor([&] { return status(second, camera).running == 0; }));
    EXPECT_GT(status(second, camera).recorded, 0u);
    ASSERT_EQ(VYK_RecorderStop(second), VYK_NOERROR);

    ASSERT_FALSE(VYK_FAILED(VYK_SetActiveRamSegment(camera, 1)));
    VYK_RECORDER reader = create(camera, VYK_RECORDER_MODE_CAMRAM, nullptr);
    ASSERT_EQ(VYK_RecorderInit(reader, 1, VYK_RECORDER_CAMRAM_SEGMENT, 0, nullptr, 1), VYK_NOERROR);
    EXPECT_EQ(status(reader, camera).recorded, maximum);
    const auto again = copy(reader, camera, 0);
    ASSERT_EQ(again.rc, VYK_NOERROR);
    EXPECT_EQ(again.pixels, first.pixels);
    EXPECT_EQ(again.counter, first.counter);
}

TEST_F(RecorderTest, CamRamRingKeepsTheNewestImages)
{
    VYK_HANDLE camera = open(kMonoSerial);
    setExposure(camera, 0.001);
    const uint32_t sizes[VYK_RAM_SEGMENTS] = {8, 0, 0, 0};
    ASSERT_FALSE(VYK_FAILED(VYK_SetCameraRamSegmentSize(camera, sizes)));
    ASSERT_FALSE(VYK_FAILED(VYK_SetActiveRamSegment(camera, 1)));
    ASSERT_FALSE(VYK_FAILED(VYK_SetStorageMode(camera, VYK_STORAGE_RECORDER)));
    ASSERT_FALSE(VYK_FAILED(VYK_SetRecorderSubmode(camera, VYK_RAM_SUBMODE_RING)));
    ASSERT_FALSE(VYK_FAILED(VYK_ArmCamera(camera)));
    uint32_t capacity = 0;
    VYK_RECORDER recorder = create(camera, VYK_RECORDER_MODE_CAMRAM, nullptr, &capacity);
    ASSERT_GE(capacity, 4u);
    ASSERT_EQ(VYK_RecorderInit(recorder, 1, VYK_RECORDER_CAMRAM_SEGMENT, 0, nullptr, 1), VYK_NOERROR);
    ASSERT_EQ(VYK_RecorderStart(recorder), VYK_NOERROR);
    // Full, and still running: the ring wraps.
    ASSERT_TRUE(waitFor([&] { return status(recorder, camera).recorded == capacity; }));
    const auto early = copy(recorder, camera, 0);
    ASSERT_TRUE(waitFor([&] { return copy(recorder, camera, 0).counter > early.counter + capacity; }));
    EXPECT_EQ(status(recorder, camera).running, 1u);
    EXPECT_EQ(copy(recorder, camera, VYK_RECORDER_LATEST_IMAGE).number, VYK_RECORDER_LATEST_IMAGE);
    EXPECT_EQ(copy(recorder, camera, 2).number, 3u);
    ASSERT_EQ(VYK_RecorderStop(recorder), VYK_NOERROR);
    EXPECT_EQ(status(recorder, camera).running, 0u);
    // Oldest first, without gaps; the latest is now the last position.
    std::vector<uint32_t> counters;
    for (uint32_t i = 0; i < capacity; ++i)
        counters.push_back(copy(recorder, camera, i).counter);
    for (size_t i = 1; i < counters.size(); ++i)
        EXPECT_EQ(counters[i], counters[i - 1] + 1);
    const auto latest = copy(recorder, camera, VYK_RECORDER_LATEST_IMAGE);
    EXPECT_EQ(latest.number, capacity);
    EXPECT_EQ(latest.counter, counters.back());
}
