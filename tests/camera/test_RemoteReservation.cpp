// Reservation of served cameras: heartbeats keep a camera reserved, silence frees it.

#include <thread>

#include "test_RemoteFixture.h"

namespace remotetest {
namespace {

using RemoteReservationTest = RemoteTest;

TEST_F(RemoteReservationTest, SilenceFreesTheCameraAndStopsItsRecording) {
  startServer(100);  // the server frees a camera after 300 ms of silence
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
  startServer(300);  // expiry after 900 ms of silence; heartbeats come every 20 ms
  auto alive = connect(kColourSerial, 20);
  alive->setExposureTime(0.001);
  alive->record(10, vyk::RecordMode::RingBuffer);
  // Well beyond the expiry with nothing but heartbeats: the recording goes on.
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));
  EXPECT_FALSE(stateOf(kColourSerial).isFree());
  auto lock = stateOf(kColourSerial).lockCamera();
  EXPECT_TRUE(stateOf(kColourSerial).camera().isRecording());
}

TEST_F(RemoteReservationTest, SetFreeReleasesAtOnce) {
  startServer();
  auto camera = connect(kDxrSerial, 20);
  EXPECT_FALSE(stateOf(kDxrSerial).isFree());
  camera.reset();
  EXPECT_TRUE(stateOf(kDxrSerial).isFree());
}

}  // namespace
}  // namespace remotetest
