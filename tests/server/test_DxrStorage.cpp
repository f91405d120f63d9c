// The shared DXR storage: segments owned by cameras, validation and image capacity.

#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "camera/CameraException.h"
#include "server/camera/DxrStorage.h"

namespace {

using devserver::DxrStorage;
using vyk::RamAllocation;

constexpr uint32_t kInvalid = 0xa0163001u;

uint32_t codeOf(const std::function<void()>& call) {
  try {
    call();
  } catch (const vyk::CameraException& e) {
    return e.code();
  }
  return 0;
}

TEST(DxrStorage, StartsWithOneEvenSegmentPerCamera) {
  DxrStorage storage(3000, {7, 8, 9});
  const std::vector<RamAllocation> segments = storage.allocation();
  ASSERT_EQ(segments.size(), 3u);
  EXPECT_EQ(segments[2].alloc_id, 3u);
  EXPECT_EQ(segments[2].camera_serial, 9u);
  EXPECT_DOUBLE_EQ(segments[2].percent_of_total, 33.0);
  EXPECT_EQ(segments[2].segment_size, 990u);
  EXPECT_EQ(storage.activeId(8), 2u);
  EXPECT_EQ(storage.activeSegment(8).alloc_id, 2u);
  EXPECT_EQ(codeOf([&] { storage.activeSegment(99); }), 0xa0163006u);
}

TEST(DxrStorage, ACameraChangesOnlyItsOwnSegments) {
  DxrStorage storage(1000, {7, 8});
  storage.setAllocation(7, {{4, 0, 10.0, 7}, {1, 0, 20.0, 7}, {2, 0, 5.0, 8}});
  const std::vector<RamAllocation> segments = storage.allocation();
  ASSERT_EQ(segments.size(), 3u);
  EXPECT_EQ(segments[0].alloc_id, 1u);
  EXPECT_EQ(segments[0].segment_size, 200u);
  EXPECT_DOUBLE_EQ(segments[1].percent_of_total, 50.0);  // camera 8's segment as it was
  EXPECT_EQ(segments[2].alloc_id, 4u);
  EXPECT_EQ(storage.activeId(7), 1u);

  storage.setAllocation(7, {{4, 0, 10.0, 7}});
  EXPECT_EQ(storage.activeId(7), 4u) << "a removed active segment falls back to the camera's first one";
  storage.setAllocation(7, {});
  EXPECT_EQ(storage.activeId(7), 0u);
  EXPECT_EQ(storage.capacity(7, 100), 0u);
}

TEST(DxrStorage, RefusesWhatDoesNotFit) {
  DxrStorage storage(1000, {7, 8});
  EXPECT_EQ(codeOf([&] { storage.setAllocation(7, {{1, 0, 51.0, 7}}); }), kInvalid);
  EXPECT_EQ(codeOf([&] { storage.setAllocation(7, {{2, 0, 10.0, 7}}); }), kInvalid);  // camera 8's id
  EXPECT_EQ(codeOf([&] { storage.setAllocation(7, {{0, 0, 10.0, 7}}); }), kInvalid);
  EXPECT_EQ(codeOf([&] { storage.setAllocation(7, {{1, 0, -1.0, 7}}); }), kInvalid);
  EXPECT_EQ(codeOf([&] { storage.setAllocation(7, {{1, 0, std::nan(""), 7}}); }), kInvalid);
  EXPECT_EQ(codeOf([&] { storage.setAllocation(7, {{1, 0, 10.0, 7}, {1, 0, 10.0, 7}}); }), kInvalid);
  EXPECT_DOUBLE_EQ(storage.allocation()[0].percent_of_total, 50.0) << "a refused change changes nothing";
  EXPECT_EQ(codeOf([&] { storage.switchTo(7, 2); }), kInvalid);
  EXPECT_EQ(codeOf([&] { storage.switchTo(7, 9); }), kInvalid);
}

TEST(DxrStorage, CapacityAndStoredImagesFollowTheActiveSegment) {
  DxrStorage storage(1, {7});
  EXPECT_EQ(storage.capacity(7, 1024 * 1024 / 10), 10u);
  storage.setStored(7, 6);
  EXPECT_EQ(storage.stored(7), 6u);
  storage.setAllocation(7, {{1, 0, 100.0, 7}, {2, 0, 0.0, 7}});
  EXPECT_EQ(storage.stored(7), 6u) << "an unchanged segment keeps its images";
  storage.switchTo(7, 2);
  EXPECT_EQ(storage.stored(7), 0u);
  EXPECT_EQ(storage.capacity(7, 10), 0u);
  storage.switchTo(7, 1);
  storage.setAllocation(7, {{1, 0, 50.0, 7}});
  EXPECT_EQ(storage.stored(7), 0u) << "a resized segment is emptied";
}

TEST(DxrStorage, SegmentsKeepImagesUntilRecordedIntoOrResized) {
  DxrStorage storage(4, {7, 8});
  storage.setAllocation(7, {{1, 0, 25.0, 7}, {3, 0, 25.0, 7}});
  DxrStorage::KeptImages images;
  images.images.resize(3);
  images.recordRoi = vyk::Roi{1, 1, 64, 48};
  storage.keep(3, images);
  EXPECT_EQ(storage.kept(7), nullptr) << "segment 1 is active and keeps nothing";
  storage.switchTo(7, 3);
  ASSERT_NE(storage.kept(7), nullptr);
  EXPECT_EQ(storage.kept(7)->images.size(), 3u);
  EXPECT_EQ(storage.kept(7)->recordRoi, (vyk::Roi{1, 1, 64, 48}));
  EXPECT_EQ(storage.stored(7), 3u);
  EXPECT_EQ(storage.kept(8), nullptr) << "another camera's segment";

  storage.setAllocation(7, {{1, 0, 25.0, 7}, {3, 0, 25.0, 7}});
  EXPECT_NE(storage.kept(7), nullptr) << "an unchanged segment keeps its images";
  storage.setStored(7, 0);  // a new recording into the active segment
  EXPECT_EQ(storage.kept(7), nullptr);
  EXPECT_EQ(storage.stored(7), 0u);

  storage.keep(3, images);
  storage.setAllocation(7, {{1, 0, 25.0, 7}, {3, 0, 20.0, 7}});
  EXPECT_EQ(storage.kept(7), nullptr) << "a resized segment loses what it kept";
  storage.keep(9, images);  // a segment that does not exist keeps nothing
  EXPECT_EQ(storage.stored(7), 0u);
}

}  // namespace
