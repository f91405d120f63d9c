// The hold before polling for a camera's next image, learnt from the images that arrived.

#include "acquisition/FramePacer.h"

#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;
using Clock = FramePacer::Clock;

const Clock::time_point kStart = Clock::now();

}  // namespace

TEST(FramePacer, HoldsUntilAnEighthOfTheFrameTimeBeforeTheNextImage) {
  FramePacer pacer;
  EXPECT_LE(pacer.pollFrom(), kStart) << "nothing is held before any image";
  pacer.arrived(1, kStart);
  EXPECT_LE(pacer.pollFrom(), kStart) << "one image tells no frame time";
  pacer.arrived(2, kStart + 40ms);
  EXPECT_EQ(pacer.pollFrom(), kStart + 40ms + 35ms);
  // Images the loop did not take in between count: three images in 120 ms is 40 ms each.
  pacer.arrived(5, kStart + 160ms);
  EXPECT_EQ(pacer.pollFrom(), kStart + 160ms + 35ms);
}

TEST(FramePacer, FastCamerasKeepTheLeastMarginOrAreNotHeld) {
  FramePacer pacer;
  pacer.arrived(1, kStart);
  pacer.arrived(2, kStart + 10ms);  // an eighth would be 1.25 ms
  EXPECT_EQ(pacer.pollFrom(), kStart + 10ms + 10ms - FramePacer::kPollMargin);
  pacer.arrived(3, kStart + 12ms);  // no time left to hold
  EXPECT_LE(pacer.pollFrom(), kStart);
}

TEST(FramePacer, SlowCamerasAreHeldAtMostTheLongestHold) {
  FramePacer pacer;
  pacer.arrived(1, kStart);
  pacer.arrived(2, kStart + 2s);
  EXPECT_EQ(pacer.pollFrom(), kStart + 2s + FramePacer::kLongestHold);
}

TEST(FramePacer, ImagesWithoutALastingNumberOrANewRecordingForgetTheFrameTime) {
  FramePacer pacer;
  pacer.arrived(1, kStart);
  pacer.arrived(2, kStart + 20ms);
  pacer.arrived(0xFFFFFFFFu, kStart + 40ms);  // camera RAM still recording into its ring
  EXPECT_LE(pacer.pollFrom(), kStart);
  pacer.arrived(0xFFFFFFFFu, kStart + 60ms);
  EXPECT_LE(pacer.pollFrom(), kStart);

  pacer.arrived(7, kStart + 100ms);
  pacer.arrived(8, kStart + 120ms);
  pacer.arrived(1, kStart + 140ms);  // the recording started again
  EXPECT_LE(pacer.pollFrom(), kStart);
  pacer.arrived(2, kStart + 156ms);
  EXPECT_EQ(pacer.pollFrom(), kStart + 156ms + 14ms);
}
