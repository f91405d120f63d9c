// The hold before polling for a camera's next image, learnt from the images that arrived.

#include "acquisition/FramePacer.h"

#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;
using Clock = FramePacer::Clock;

const Clock::time_point kStart = Clock::now();

}  // namespace

TEST(FramePacer, HoldsThreeQuartersOfTheFrameTimeOnceTwoImagesArrived) {
  FramePacer pacer;
  EXPECT_LE(pacer.pollFrom(), kStart) << "nothing is held before any image";
  pacer.arrived(1, kStart);
  EXPECT_LE(pacer.pollFrom(), kStart) << "one image tells no frame time";
  pacer.arrived(2, kStart + 20ms);
  EXPECT_EQ(pacer.pollFrom(), kStart + 20ms + 15ms);
  // Images the loop did not take in between count: three images in 60 ms is 20 ms each.
  pacer.arrived(5, kStart + 80ms);
  EXPECT_EQ(pacer.pollFrom(), kStart + 80ms + 15ms);
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
  pacer.arrived(2, kStart + 150ms);
  EXPECT_EQ(pacer.pollFrom(), kStart + 150ms + 7500us);
}
