// A live preview of a remote camera through the acquisition engine: the server is asked for
// each image of the camera once, however fast the client could ask.

#include <chrono>
#include <cstdint>
#include <vector>

#include "acquisition/CameraAcquisition.h"
#include "acquisition/ImageQueueSet.h"
#include "test_RemoteFixture.h"

namespace remotetest {
namespace {

using namespace std::chrono_literals;

TEST_F(RemoteTest, PreviewRequestsEachImageOnce) {
  startServer();
  auto camera = connect(kMonoSerial);
  camera->setExposureTime(0.05);  // 20 images per second; a 128 x 96 image travels in far less
  CameraAcquisition acquisition(camera);
  acquisition.settings().setPreview();
  acquisition.onHistVisibleChanged(false);
  const devserver::CameraServerState& served = stateOf(kMonoSerial);
  const uint64_t servedBefore = served.imagesServed();

  acquisition.startCameraThread();
  std::vector<uint32_t> numbers;
  for (const auto end = std::chrono::steady_clock::now() + 1500ms; std::chrono::steady_clock::now() < end;) {
    if (const auto image = viewQueues().pop(kMonoSerial, 50ms)) numbers.push_back(image->recorderImageNumber());
  }
  acquisition.stopCameraThreads();
  const uint64_t requests = served.imagesServed() - servedBefore;

  ASSERT_GE(numbers.size(), 5u);
  for (std::size_t i = 1; i < numbers.size(); ++i) EXPECT_GT(numbers[i], numbers[i - 1]) << "image " << i;
  // One request per image shown; images fetched after the last pop above and before the
  // stop took effect were requested but not popped.
  EXPECT_LE(requests, numbers.size() + 2);
}

}  // namespace
}  // namespace remotetest
