// The acquisition engine and the recorder when a local camera stops answering, when the
// disk fills up during a file recording and when a memory recording asks for more images
// than the machine can hold. Each test prints what it measured ("[ measured ]" lines).

#include <atomic>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <map>
#include <random>
#include <sstream>
#include <thread>

#include <tiffio.h>

#include "AcquisitionFixture.h"
#include "acquisition/ImageQueueSet.h"
#include "camera/CameraException.h"
#include "kv2_cam.h"
#include "vyk_recorder.h"

namespace {

using namespace std::chrono_literals;
using vyk::RecordMode;
using Clock = std::chrono::steady_clock;

constexpr uint32_t kPreview = AcquisitionSettings::kPreview;
constexpr uint32_t kSequence = AcquisitionSettings::kSequence;
constexpr uint32_t kFile = AcquisitionSettings::kFile;

// The images of a failing camera: it stops answering after this many.
constexpr uint32_t kFramesBeforeFault = 40;

class CameraFaultTest : public AcquisitionTest {
 protected:
  // A small fast camera that stops answering after kFramesBeforeFault images.
  std::shared_ptr<vyk::AnyCamera> failingCamera(DWORD serial) {
    nlohmann::json config = smallCamera(serial);
    config["failure"] = {{"after_frames", kFramesBeforeFault}};
    useCameras(config);
    return open(serial);
  }

  // Runs acquisition until it reports a camera error; returns the milliseconds from start to
  // the signal and checks the orderly end: no recordingDone, nothing running, queues off.
  long long runUntilCamError(CameraAcquisition& acquisition) {
    SignalLog events(acquisition);
    const auto start = Clock::now();
    acquisition.startCameraThread();
    EXPECT_TRUE(events.waitFor([&] { return !events.errors.empty(); })) << "the worker never reported the fault";
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
    if (events.errors.empty()) return elapsed;
    EXPECT_EQ(events.errors.front().first, acquisition.serial());
    EXPECT_TRUE(events.errors.front().second);
    EXPECT_TRUE(waitUntil([&] { return !acquisition.isRunning(); }));
    EXPECT_FALSE(viewQueues().isActive(acquisition.serial()));
    EXPECT_FALSE(histogramQueues().isActive(acquisition.serial()));
    acquisition.stopCameraThreads();  // joins; the failing stop is logged and passed over
    events.flush();
    EXPECT_TRUE(events.done.empty());
    EXPECT_EQ(events.errors.size(), 1u);
    return elapsed;
  }

  // Fetches every recorded image 0..count-1 and returns their recorder image numbers.
  static std::vector<uint32_t> fetchAll(vyk::AnyCamera& camera, uint32_t count) {
    std::vector<uint32_t> numbers;
    vyk::Image image;
    for (uint32_t i = 0; i < count; ++i) {
      camera.image(image, i, vyk::DataFormat::Mono16);
      EXPECT_EQ(image.rawData16().size(), 64u * 48u);
      numbers.push_back(image.recorderImageNumber());
    }
    return numbers;
  }
};

TEST_F(CameraFaultTest, CameraFailingMidSequenceEndsTheWorkerAndKeepsItsImages) {
  auto camera = failingCamera(7301);
  CameraAcquisition acquisition(camera);
  prepare(acquisition, kSequence, RecordMode::SequenceNonBlocking, 200);

  const long long ms = runUntilCamError(acquisition);
  EXPECT_FALSE(log_.firstStartingWith("Error during recording sequence of camera: 7301 With error: ").isEmpty());

  // The recorder holds the images of the computer's memory: all taken before the fault.
  const uint32_t recorded = camera->getRecordedImageCount();
  EXPECT_EQ(recorded, kFramesBeforeFault);
  const std::vector<uint32_t> numbers = fetchAll(*camera, recorded);
  for (uint32_t i = 0; i < numbers.size(); ++i) EXPECT_EQ(numbers[i], i + 1) << i;
  std::cout << "[ measured ] sequence: camError after " << ms << " ms, " << recorded << " of 200 images kept\n";
}

TEST_F(CameraFaultTest, CameraFailingDuringABlockingSequenceFailsItsStart) {
  auto camera = failingCamera(7302);
  CameraAcquisition acquisition(camera);
  prepare(acquisition, kSequence, RecordMode::Sequence, 100);

  const long long ms = runUntilCamError(acquisition);
  EXPECT_FALSE(log_.firstStartingWith("Error starting record for Sequence of camera: 7302 With error: ").isEmpty());
  // The record command waiting for the start must not be left hanging.
  EXPECT_TRUE(recordingStartedSemaphore().tryAcquire());
  EXPECT_EQ(camera->getRecordedImageCount(), kFramesBeforeFault);
  fetchAll(*camera, kFramesBeforeFault);
  std::cout << "[ measured ] blocking sequence: camError after " << ms << " ms\n";
}

TEST_F(CameraFaultTest, CameraFailingMidPreviewLeavesTheRingReadable) {
  auto camera = failingCamera(7303);
  CameraAcquisition acquisition(camera);
  prepare(acquisition, kPreview, RecordMode::RingBuffer, 10);

  const long long ms = runUntilCamError(acquisition);
  EXPECT_FALSE(log_.firstStartingWith("Error during Preview of camera: 7303 With error: ").isEmpty());
  // The ring holds the last ten images before the fault, oldest first.
  const std::vector<uint32_t> numbers = fetchAll(*camera, 10);
  for (uint32_t i = 0; i < numbers.size(); ++i) EXPECT_EQ(numbers[i], kFramesBeforeFault - 9 + i) << i;
  std::cout << "[ measured ] preview: camError after " << ms << " ms, ring holds images " << numbers.front()
            << ".." << numbers.back() << "\n";
}

TEST_F(CameraFaultTest, CameraFailingDuringAFileRecordingKeepsTheFilesWritten) {
  auto camera = failingCamera(7304);
  CameraAcquisition acquisition(camera);
  prepare(acquisition, kFile, RecordMode::Tif, 100);
  acquisition.settings().filePath = (dir_ / "shot.tif").string();

  const long long ms = runUntilCamError(acquisition);
  EXPECT_FALSE(log_.firstStartingWith("Error during recording File of camera: 7304 With error: ").isEmpty());
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir_)) {
    if (entry.path().extension() != ".tif") continue;
    TIFF* tiff = TIFFOpen(entry.path().c_str(), "r");
    ASSERT_NE(tiff, nullptr) << entry.path();
    uint32_t width = 0;
    TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &width);
    EXPECT_EQ(width, 64u);
    TIFFClose(tiff);
    ++files;
  }
  EXPECT_EQ(files, static_cast<int>(kFramesBeforeFault));
  EXPECT_EQ(camera->getRecordedImageCount(), kFramesBeforeFault);
  std::cout << "[ measured ] file recording: camError after " << ms << " ms, " << files << " valid files\n";
}

// ---- too little memory ----

// Resident memory of this process in KiB.
long residentKiB() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
  }
  return -1;
}

TEST_F(CameraFaultTest, MemoryRecordingAskingForMoreThanFitsIsReducedNotFailed) {
  useCameras(smallCamera(7305));
  auto camera = open(7305);
  const long before = residentKiB();
  const uint32_t asked = 4000000000u;  // 4e9 images of 6 KiB: far beyond any machine's memory
  ::testing::internal::CaptureStdout();
  std::string failure;
  try {
    camera->record(asked, RecordMode::RingBuffer);
  } catch (const vyk::CameraException& e) {
    failure = e.what();
  }
  const std::string printed = ::testing::internal::GetCapturedStdout();
  ASSERT_TRUE(failure.empty()) << failure;
  EXPECT_NE(printed.find("Not enough space for your application.\nReqired number of images get adapted to max possible.\n"),
            std::string::npos)
      << printed;
  const uint32_t granted = camera->getRecorderBufferSize();
  EXPECT_GT(granted, 4u);
  EXPECT_LT(granted, asked);
  camera->waitForFirstImage(true, 5.0);
  ASSERT_TRUE(waitUntil([&] { return camera->getRecordedImageCount() >= 200; }));
  EXPECT_TRUE(camera->isRecording());
  vyk::Image image;
  camera->image(image, 0, vyk::DataFormat::Mono16);
  camera->stop();
  // The buffer is reserved, not touched: only what was recorded (and the slots'
  // bookkeeping) may become resident, far less than the pixel memory granted.
  const long grown = residentKiB() - before;
#if !defined(__SANITIZE_THREAD__)
  // (Under the thread sanitizer, its shadow memory, several times what the program touches,
  // makes the resident size no measure of the recording's own.)
  EXPECT_LT(grown, static_cast<long>(granted / 10 * 6)) << "KiB";
#endif
  std::cout << "[ measured ] memory: asked " << asked << ", granted " << granted << " images ("
            << granted / 1024 * 6 << " MiB), resident growth " << grown << " KiB\n";
}

// ---- disk full ----

// The disk-full recording runs in a child process whose file size limit stands in for a
// full disk (writes beyond it fail with EFBIG). It reports "key value" lines on stdout.
constexpr const char* kChildFolder = "RASTEL_RELIABILITY_DISK_FULL_DIR";
constexpr rlim_t kFileLimitBytes = 100 * 1024;

// The child: a file recording through the acquisition engine, as the GUI runs it.
TEST_F(AcquisitionTest, DiskFullChildRecordsIntoAFileThatCannotGrow) {
  const char* folder = std::getenv(kChildFolder);
  if (folder == nullptr) GTEST_SKIP() << "runs only as the child of DiskFull tests";
  const DWORD serial = 7306;
  useCameras(smallCamera(serial));
  auto camera = open(serial);
  CameraAcquisition acquisition(camera);
  SignalLog events(acquisition);
  std::atomic<int> failed{0};  // counted on the worker thread (direct connection)
  QObject::connect(&acquisition, &CameraAcquisition::recordingFailed,
                   [&failed](DWORD, const QString&) { ++failed; });
  prepare(acquisition, kFile, RecordMode::Multitif, 500);
  acquisition.settings().filePath = std::string(folder) + "/full.tif";
  acquisition.startCameraThread();
  events.waitFor([&] { return !events.done.empty() || !events.errors.empty(); }, 20s);
  acquisition.stopCameraThreads();
  events.flush();
  const QString failure = log_.firstStartingWith("Error during recording File of camera: 7306 With error: ");
  // The camera stays usable: it records no more and takes new settings.
  bool usable = false;
  try {
    camera->setConfiguration(camera->getConfiguration());  // refused while a recording runs
    usable = !camera->isRecording();
  } catch (const vyk::CameraException& e) {
    std::cout << "unusable: " << e.what() << "\n";
  }
  std::cout << "done " << events.done.size() << "\ncamerror " << events.errors.size() << "\nrecorded "
            << camera->getRecordedImageCount() << "\nusable " << usable << "\nfailed " << failed << "\nended "
            << log_.has(QtInfoMsg, QStringLiteral("Recording File of camera: 7306 ended!")) << "\n"
            << "failure " << failure.toStdString() << "\n"
            << std::flush;
}

TEST(DiskFull, FileRecordingReportsTheErrorAndCountsOnlyValidImages) {
  std::random_device random;
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("rastel_diskfull_" + std::to_string(random()));
  std::filesystem::create_directories(folder);
  int out[2];
  ASSERT_EQ(pipe(out), 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    dup2(out[1], STDOUT_FILENO);
    close(out[0]);
    close(out[1]);
    const rlimit limit{kFileLimitBytes, kFileLimitBytes};
    setrlimit(RLIMIT_FSIZE, &limit);
    signal(SIGXFSZ, SIG_IGN);  // a write beyond the limit fails with EFBIG instead of killing
    setenv(kChildFolder, folder.c_str(), 1);
    execl("/proc/self/exe", "test_reliability", "--gtest_filter=*DiskFullChild*", "--gtest_brief=1",
          static_cast<char*>(nullptr));
    _exit(127);
  }
  close(out[1]);
  std::string output;
  char buffer[4096];
  for (ssize_t n; (n = read(out[0], buffer, sizeof(buffer))) > 0;) output.append(buffer, static_cast<size_t>(n));
  close(out[0]);
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << output;

  std::map<std::string, long long> reported;
  std::string failure;
  std::istringstream lines(output);
  for (std::string key; lines >> key;) {
    if (key == "failure") {
      std::getline(lines, failure);
    } else if (key == "done" || key == "camerror" || key == "recorded" || key == "usable" || key == "ended" ||
               key == "failed") {
      long long value = 0;
      lines >> value, reported[key] = value;
    }
  }
  ASSERT_EQ(reported.size(), 6u) << output;
  // The write failure reaches the user as a critical line with the recorder's code; the
  // run ends as a finished recording, not as a camera failure that would remove the camera.
  EXPECT_NE(failure.find("(0x8016000a)"), std::string::npos) << output;
  EXPECT_EQ(reported["done"], 1) << output;
  EXPECT_EQ(reported["camerror"], 0) << output;
  EXPECT_EQ(reported["failed"], 1) << output;  // the user is told, not only the log
  EXPECT_EQ(reported["ended"], 1) << output;
  EXPECT_EQ(reported["usable"], 1) << output;
  EXPECT_GT(reported["recorded"], 0);
  EXPECT_LT(reported["recorded"], 500);

  // Every image counted is a readable page of the file, and there is no other: the chain of
  // pages ends at the last page written, so a reader meets no error.
  static int readErrors = 0;
  readErrors = 0;
  const TIFFErrorHandler previous = TIFFSetErrorHandler([](const char*, const char*, va_list) { ++readErrors; });
  TIFF* tiff = TIFFOpen((folder / "full.tif").c_str(), "r");
  ASSERT_NE(tiff, nullptr);
  long long pages = 0;
  std::vector<uint16_t> row(64);
  do {
    uint32_t width = 0, height = 0;
    TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &height);
    EXPECT_EQ(width, 64u);
    EXPECT_EQ(height, 48u);
    for (uint32_t y = 0; y < height; ++y) ASSERT_EQ(TIFFReadScanline(tiff, row.data(), y), 1) << pages << " " << y;
    ++pages;
  } while (TIFFReadDirectory(tiff));
  TIFFClose(tiff);
  TIFFSetErrorHandler(previous);
  EXPECT_EQ(readErrors, 0);
  EXPECT_EQ(pages, reported["recorded"]);
  std::cout << "[ measured ] disk full at " << kFileLimitBytes / 1024 << " KiB: " << reported["recorded"]
            << " of 500 images recorded and readable;" << failure << "\n";
  std::filesystem::remove_all(folder);
}

}  // namespace
