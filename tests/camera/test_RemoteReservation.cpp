// Reservation of served cameras: heartbeats keep a camera reserved, silence frees it.

#include <thread>

#include "test_RemoteFixture.h"

namespace remotetest {
namespace {

class RemoteReservationTest : public RemoteTest {
 protected:
  void SetUp() override {
    RemoteTest::SetUp();
    startServer(100);  // the server frees a camera after 300 ms of silence
  }
};

TEST_F(RemoteReservationTest, SilenceFreesTheCameraAndStopsItsRecording) {
  // One heartbeat at construction, then none for a minute.
  auto silent = std::make_unique<vyk::RemoteCamera>("127.0.0.1", portOf(kMonoSerial), 60000);
  silent->record(10, vyk::RecordMode::RingBuffer);
  EXPECT_FALSE(stateOf(kMonoSerial).isFree());
  // Watched from the server's side: a request from here would renew the reservation.
  devserver::CameraServerState& state = stateOf(kMonoSerial);
  ASSERT_TRUE(eventually([&] {
    auto lock = state.lockCamera();
    return !state.camera().isRecording();
  })) << "the expired recording still runs";
  EXPECT_TRUE(state.isFree());
  EXPECT_FALSE(silent->isRecording());
  EXPECT_FALSE(state.isFree()) << "a request reserves the camera again";
}

TEST_F(RemoteReservationTest, HeartbeatsKeepTheReservation) {
  auto alive = connect(kColourSerial, 20);
  alive->setExposureTime(0.001);
  alive->record(10, vyk::RecordMode::RingBuffer);
  // Ten expiry periods with only heartbeats: the recording goes on.
  std::this_thread::sleep_for(std::chrono::milliseconds(1000));
  EXPECT_FALSE(stateOf(kColourSerial).isFree());
  auto lock = stateOf(kColourSerial).lockCamera();
  EXPECT_TRUE(stateOf(kColourSerial).camera().isRecording());
}

TEST_F(RemoteReservationTest, SetFreeReleasesAtOnce) {
  auto camera = connect(kDxrSerial, 20);
  EXPECT_FALSE(stateOf(kDxrSerial).isFree());
  camera.reset();
  EXPECT_TRUE(stateOf(kDxrSerial).isFree());
}

}  // namespace
}  // namespace remotetest
