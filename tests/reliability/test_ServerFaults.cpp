// The remote camera client when its device server dies (during a preview, a recording and
// an image download) or comes back, a client whose heartbeats stop, and several clients
// hammering one server while it streams. The server runs as a separate process.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <iostream>
#include <thread>

#include <QCoreApplication>

#include <httplib.h>
#include <sys/resource.h>
#include <tiffio.h>
#include <nlohmann/json.hpp>

#include "AcquisitionFixture.h"
#include "ServerProcess.h"
#include "acquisition/CameraAcquisition.h"
#include "acquisition/ImageQueueSet.h"
#include "camera/AnyCamera.h"
#include "camera/CameraException.h"
#include "camera/Discovery.h"
#include "camera/RemoteCamera.h"

namespace {

using namespace std::chrono_literals;
using nlohmann::json;
using Clock = std::chrono::steady_clock;

constexpr const char* kHost = "127.0.0.1";
constexpr uint32_t kHeartbeatMs = 200;
// How long a client may take to notice a dead server: the connection time-out, plus slack
// for a loaded machine. Waiting longer than this counts as a hang.
constexpr auto kNoticeBound = 5s + 3s;

// AddressSanitizer keeps freed memory in quarantine (256 MiB by default) before reuse.
// GCC announces it with __SANITIZE_ADDRESS__, clang through __has_feature.
#if defined(__SANITIZE_ADDRESS__)
#define RASTEL_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define RASTEL_ADDRESS_SANITIZER 1
#endif
#endif
#if defined(RASTEL_ADDRESS_SANITIZER)
constexpr long kSanitizerQuarantineKiB = 256 * 1024;
#else
constexpr long kSanitizerQuarantineKiB = 0;
#endif

json smallCamera(uint32_t serial, uint32_t width = 64, uint32_t height = 48) {
  return {{"serial", serial},
          {"interface", "USB3"},
          {"sensor", {{"width", width}, {"height", height}}},
          {"exposure", {{"min_ns", 1000}, {"max_ms", 5000}, {"step_ns", 100}}},
          {"capabilities", {{"timestamp", false}, {"acquire_mode", false}}},
          {"read_noise", 0.0}};
}

json devices(const json& cameras) { return {{"cameras", json::array({cameras})}}; }

// Pages of the TIFF file that read back without a libtiff error; -1 when it does not open or
// a reader meets an error.
int tiffPages(const std::filesystem::path& file) {
  static int errors = 0;
  errors = 0;
  const TIFFErrorHandler previous = TIFFSetErrorHandler([](const char*, const char*, va_list) { ++errors; });
  int pages = -1;
  if (TIFF* tiff = TIFFOpen(file.c_str(), "r")) {
    pages = TIFFNumberOfDirectories(tiff);
    TIFFClose(tiff);
  }
  TIFFSetErrorHandler(previous);
  return errors == 0 ? pages : -1;
}

long long msSince(Clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

// Destroys what holds the remote camera and checks that it finishes and says why release failed.
void destroyAfterServerDeath(std::shared_ptr<vyk::AnyCamera>& camera, const char* scenario) {
  ::testing::internal::CaptureStderr();
  const auto start = Clock::now();
  camera.reset();
  const long long ms = msSince(start);
  const std::string printed = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(printed.find("setFree failed! Probably error on server or connection.\n"), std::string::npos) << printed;
  std::cout << "[ measured ] " << scenario << ": destruction took " << ms << " ms\n";
}

class ServerFaultTest : public ::testing::Test {
 protected:
  ScratchFolder folder_{"rastel_serverfault"};
  LogCapture log_;  // the acquisition engine's log lines
};

TEST_F(ServerFaultTest, ServerKilledDuringRemotePreview) {
  ServerProcess server(folder_.path(), devices({smallCamera(311)}));
  auto camera = std::make_shared<vyk::AnyCamera>(
      std::make_unique<vyk::RemoteCamera>(kHost, server.port("camera 311"), kHeartbeatMs));
  camera->setExposureTime(0.002);
  long long ms = 0;
  size_t before = 0;
  {
    CameraAcquisition acquisition(camera);
    SignalLog events(acquisition);
    acquisition.settings().setPreview();
    acquisition.startCameraThread();
    ASSERT_TRUE(events.waitFor([&] { return viewQueues().size(311) >= 5; })) << "no preview images arrived";
    before = viewQueues().size(311);

    server.kill();
    const auto start = Clock::now();
    ASSERT_TRUE(events.waitFor([&] { return !events.errors.empty(); }, kNoticeBound));
    ms = msSince(start);
    EXPECT_FALSE(acquisition.isRunning());
    EXPECT_FALSE(viewQueues().isActive(311));
    EXPECT_FALSE(histogramQueues().isActive(311));
    acquisition.stopCameraThreads();
    events.flush();
    EXPECT_TRUE(events.done.empty());
  }
  std::cout << "[ measured ] remote preview: " << before << " images queued before the kill, camError " << ms
            << " ms after it\n";
  destroyAfterServerDeath(camera, "remote preview");
}

TEST_F(ServerFaultTest, ServerKilledDuringRemoteRecording) {
  ServerProcess server(folder_.path(), devices({smallCamera(312)}));
  auto camera = std::make_shared<vyk::AnyCamera>(
      std::make_unique<vyk::RemoteCamera>(kHost, server.port("camera 312"), kHeartbeatMs));
  camera->setExposureTime(0.002);
  CameraAcquisition acquisition(camera);
  SignalLog events(acquisition);
  AcquisitionSettings& s = acquisition.settings();
  s.mode = AcquisitionSettings::kSequence;
  s.recMode = vyk::RecordMode::SequenceNonBlocking;
  s.imageCount = 5000;
  acquisition.startCameraThread();
  uint32_t recorded = 0;
  ASSERT_TRUE(events.waitFor([&] {
    recorded = camera->getRecordedImageCount();
    return recorded >= 20;
  }));

  server.kill();
  const auto start = Clock::now();
  ASSERT_TRUE(events.waitFor([&] { return !events.errors.empty(); }, kNoticeBound));
  const long long ms = msSince(start);
  EXPECT_FALSE(log_.firstStartingWith("Error during recording sequence of camera: 312 With error: ").isEmpty());
  acquisition.stopCameraThreads();
  events.flush();
  EXPECT_TRUE(events.done.empty());
  // Every later call fails with the camera layer's exception, never hangs.
  const auto callStart = Clock::now();
  EXPECT_THROW(camera->getRecordedImageCount(), vyk::CameraException);
  EXPECT_FALSE(camera->isRecording());
  EXPECT_LT(Clock::now() - callStart, kNoticeBound);
  std::cout << "[ measured ] remote recording: " << recorded << " images recorded before the kill, camError " << ms
            << " ms after it\n";
}

TEST_F(ServerFaultTest, ServerKilledDuringImageDownload) {
  ServerProcess server(folder_.path(), devices({smallCamera(313, 2048, 2048)}));
  vyk::RemoteCamera camera(kHost, server.port("camera 313"), kHeartbeatMs);
  camera.setExposureTime(0.002);
  camera.record(4, vyk::RecordMode::RingBuffer);
  camera.waitForFirstImage(true, 5.0);

  // Downloads 8 MiB images one after the other until the server dies under one of them.
  std::atomic<int> downloads{0};
  std::atomic<bool> failedWithCameraException{false};
  std::atomic<bool> failedOtherwise{false};
  Clock::time_point failedAt;
  std::thread downloader([&] {
    vyk::Image image;
    try {
      for (;;) {
        camera.image(image, 0, vyk::DataFormat::Mono16);
        ASSERT_EQ(image.rawData16().size(), 2048u * 2048u);
        ++downloads;
      }
    } catch (const vyk::CameraException&) {
      failedAt = Clock::now();
      failedWithCameraException = true;
    } catch (...) {
      failedOtherwise = true;
    }
  });
  ASSERT_TRUE(AcquisitionTest::waitUntil([&] { return downloads >= 3; }));
  const auto killedAt = Clock::now();
  server.kill();
  ASSERT_TRUE(AcquisitionTest::waitUntil([&] { return failedWithCameraException || failedOtherwise; },
                                         std::chrono::duration_cast<std::chrono::milliseconds>(kNoticeBound)));
  downloader.join();
  EXPECT_TRUE(failedWithCameraException);
  std::cout << "[ measured ] image download: " << downloads << " images of 8 MiB before the kill, exception "
            << std::chrono::duration_cast<std::chrono::milliseconds>(failedAt - killedAt).count()
            << " ms after it\n";
}

TEST_F(ServerFaultTest, RestartedServerServesANewClient) {
  uint16_t port = 0;
  {
    ServerProcess first(folder_.path(), devices({smallCamera(314)}));
    port = first.port("camera 314");
    auto old = std::make_shared<vyk::AnyCamera>(std::make_unique<vyk::RemoteCamera>(kHost, port, kHeartbeatMs));
    old->record(10, vyk::RecordMode::RingBuffer);
    first.kill();
    EXPECT_THROW(old->getConfiguration(), vyk::CameraException);
    destroyAfterServerDeath(old, "restart");
  }
  ServerProcess second(folder_.path(), devices({smallCamera(314)}), port);
  ASSERT_EQ(second.port("camera 314"), port);
  vyk::RemoteCamera camera(kHost, port, kHeartbeatMs);
  EXPECT_EQ(camera.getSerial(), 314u);
  EXPECT_FALSE(camera.isRecording());
  camera.setExposureTime(0.001);
  camera.record(10, vyk::RecordMode::RingBuffer);
  camera.waitForFirstImage(true, 5.0);
  vyk::Image image;
  camera.image(image, 0, vyk::DataFormat::Mono8);
  EXPECT_EQ(image.data8().size(), 64u * 48u);
  camera.stop();
}

// Whether the server's discovery answer reports camera serial as free.
bool reportedFree(ServerProcess& server, uint32_t serial) {
  for (const vyk::DeviceEntry& entry : vyk::discover(server.port("discovery"), 300)) {
    if (entry.serial == serial) return entry.free;
  }
  ADD_FAILURE() << "camera " << serial << " not discovered";
  return false;
}

TEST_F(ServerFaultTest, ClientWithoutHeartbeatsLosesItsReservationAndItsRecording) {
  setenv("RASTEL_DISCOVERY_ADDRESS", "127.255.255.255", 1);
  ServerProcess server(folder_.path(), devices({smallCamera(315)}), 0, {"--heartbeat-ms", "100"});
  EXPECT_TRUE(reportedFree(server, 315));
  // A client that records and then falls silent, as a crashed application would.
  httplib::Client silent(kHost, server.port("camera 315"));
  const httplib::Result started =
      silent.Post("/v1/record", httplib::Params{{"imgCount", "100"}, {"recMode", "\"ring_buffer\""}, {"flags", "0"}});
  ASSERT_TRUE(started);
  ASSERT_EQ(started->status, 200) << started->body;
  EXPECT_FALSE(reportedFree(server, 315));
  const auto start = Clock::now();
  ASSERT_TRUE(AcquisitionTest::waitUntil([&] { return reportedFree(server, 315); }, 5000ms));
  const long long ms = msSince(start);
  // The watchdog stopped the abandoned recording.
  const httplib::Result recording = silent.Get("/v1/isRecording");
  ASSERT_TRUE(recording);
  EXPECT_EQ(recording->body, "false");
  std::cout << "[ measured ] heartbeat 100 ms: reservation released " << ms << " ms after the last request\n";

  // A client that keeps sending heartbeats keeps its reservation over many periods.
  vyk::RemoteCamera alive(kHost, server.port("camera 315"), 50);
  std::this_thread::sleep_for(600ms);
  EXPECT_FALSE(reportedFree(server, 315));
}

TEST_F(ServerFaultTest, ConcurrentClientsWhileStreamingGetWellFormedAnswers) {
  ServerProcess server(folder_.path(), devices({smallCamera(316)}));
  const uint16_t port = server.port("camera 316");
  // The owner streams a preview through the acquisition engine.
  auto camera = std::make_shared<vyk::AnyCamera>(std::make_unique<vyk::RemoteCamera>(kHost, port, kHeartbeatMs));
  camera->setExposureTime(0.001);
  CameraAcquisition acquisition(camera);
  acquisition.settings().setPreview();
  acquisition.startCameraThread();
  ASSERT_TRUE(AcquisitionTest::waitUntil([&] { return viewQueues().size(316) > 0; }));
  const long residentBefore = server.residentKiB();

  constexpr int kClients = 4;
  constexpr int kRounds = 60;
  std::atomic<int> answers{0};
  std::vector<std::string> faults[kClients];
  std::vector<std::thread> clients;
  for (int c = 0; c < kClients; ++c) {
    clients.emplace_back([&, c] {
      httplib::Client client(kHost, port);
      const auto fault = [&](const std::string& what) { faults[c].push_back(what); };
      for (int round = 0; round < kRounds; ++round) {
        for (const char* path : {"/v1/getConfiguration", "/v1/getDescription", "/v1/getRecordedImageCount",
                                 "/v1/isRecording", "/v1/getName"}) {
          const httplib::Result r = client.Get(path);
          if (!r || r->status != 200) {
            fault(std::string(path) + " failed");
            continue;
          }
          if (json::parse(r->body, nullptr, false).is_discarded()) fault(std::string(path) + " answered " + r->body);
          ++answers;
        }
        const httplib::Result image =
            client.Get("/v1/image", httplib::Params{{"index", "-1"}, {"format", "\"Mono16\""}}, httplib::Headers{});
        if (!image || image->status != 200) {
          fault("/v1/image failed");
          continue;
        }
        const json crop = json::parse(image->get_header_value("crop"), nullptr, false);
        if (crop.is_discarded() || !crop.is_object()) {
          fault("image without a crop");
          continue;
        }
        const uint64_t pixels = (crop.at("x1").get<uint64_t>() - crop.at("x0").get<uint64_t>() + 1) *
                                (crop.at("y1").get<uint64_t>() - crop.at("y0").get<uint64_t>() + 1);
        if (image->body.size() != pixels * 2) fault("image body of " + std::to_string(image->body.size()) + " bytes");
        ++answers;
      }
    });
  }
  for (std::thread& client : clients) client.join();
  for (int c = 0; c < kClients; ++c) EXPECT_TRUE(faults[c].empty()) << faults[c].front();
  EXPECT_EQ(answers, kClients * kRounds * 6);
  EXPECT_TRUE(acquisition.isRunning()) << "the streaming owner was disturbed";
  const long grown = server.residentKiB() - residentBefore;
  EXPECT_LT(grown, 64 * 1024 + kSanitizerQuarantineKiB) << "KiB";
  acquisition.stopCameraThreads();
  std::cout << "[ measured ] load: " << kClients << " clients, " << answers << " well-formed answers while streaming, "
            << "server resident growth " << grown << " KiB\n";
}

// A server whose disk is full: the file limit is set for the server process only (a child
// inherits it, and ignoring SIGXFSZ turns the kill into a write error). The client's file
// recording ends with the recorder's write error, not as a lost camera, and what the
// server counted is what its file holds.
TEST_F(ServerFaultTest, RemoteFileRecordingOnAFullDiskReportsTheWriteError) {
  constexpr rlim_t kLimitBytes = 100 * 1024;
  rlimit previous{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &previous), 0);
  const auto previousHandler = signal(SIGXFSZ, SIG_IGN);
  std::unique_ptr<ServerProcess> server;
  {
    // The devices file is written before the server starts, within the limit.
    const rlimit limited{kLimitBytes, previous.rlim_max};
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
    server = std::make_unique<ServerProcess>(folder_.path(), devices({smallCamera(314)}));
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &previous), 0);
    signal(SIGXFSZ, previousHandler);
  }
  auto camera = std::make_shared<vyk::AnyCamera>(
      std::make_unique<vyk::RemoteCamera>(kHost, server->port("camera 314"), kHeartbeatMs));
  camera->setExposureTime(0.002);
  CameraAcquisition acquisition(camera);
  SignalLog events(acquisition);
  std::atomic<int> failed{0};  // counted on the worker thread (direct connection)
  QObject::connect(&acquisition, &CameraAcquisition::recordingFailed, [&failed](DWORD, const QString&) { ++failed; });
  AcquisitionSettings& s = acquisition.settings();
  s.mode = AcquisitionSettings::kFile;
  s.recMode = vyk::RecordMode::Multitif;
  s.imageCount = 500;
  s.filePath = "full.tif";
  acquisition.startCameraThread();
  ASSERT_TRUE(events.waitFor([&] { return !events.done.empty() || !events.errors.empty(); }, 20s));
  acquisition.stopCameraThreads();
  events.flush();
  EXPECT_EQ(events.done.size(), 1u);
  EXPECT_TRUE(events.errors.empty()) << "a full disk is not a lost camera";
  EXPECT_EQ(failed, 1);
  const QString failure = log_.firstStartingWith("Error during recording File of camera: 314 With error: ");
  EXPECT_TRUE(failure.contains(QStringLiteral("(0x8016000a)"))) << failure.toStdString();

  const uint32_t recorded = camera->getRecordedImageCount();
  EXPECT_GT(recorded, 0u);
  EXPECT_LT(recorded, 500u);
  EXPECT_FALSE(camera->isRecording());
  camera->setExposureTime(0.003);  // the camera is still in use
  const std::filesystem::path file = folder_.path() / "data" / "full.tif";
  EXPECT_EQ(tiffPages(file), static_cast<int>(recorded));
  std::cout << "[ measured ] remote disk full at " << kLimitBytes / 1024 << " KiB: " << recorded
            << " of 500 images recorded and readable\n";
}

}  // namespace
