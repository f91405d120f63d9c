// Acquisition pipeline figures on the built-in 2048 x 2048 simulated camera at its highest
// frame rate:
//  * recording alone: the camera recording into a memory ring buffer with nobody fetching,
//    and the CPU time of the process per recorded frame (the floor any preview sits on);
//  * preview: distinct frames a consumer pops from the view queue per second (popping as fast
//    as it can), beside the camera's own frame rate, the pops per distinct frame and the CPU
//    time per distinct frame, also as a multiple of the recording's (five alternating rounds
//    of both: the lowest CPU figure of each, the lowest rate, the most pops);
//    Each round also prints the acquisition worker's own CPU time per previewed frame (fetch,
//    conversion, delivery and waiting), read from the kernel's per-thread run times;
//  * a 1000-image memory sequence: images recorded against images requested, once with the
//    camera alone for reference and once through the sequence loop.
// The last lines are preview_fps_vs_camera_fps=R, preview_cpu_per_frame_vs_recording=R,
// view_pops_per_frame=R and sequence_lost=N.

#include <sys/resource.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include <QCoreApplication>

#include "acquisition/CameraAcquisition.h"
#include "acquisition/ImageQueueSet.h"
#include "camera/AnyCamera.h"
#include "camera/Camera.h"
#include "kv2_cam.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr uint32_t kSerial = 1001;  // the built-in 2048 x 2048 camera
constexpr auto kPreviewTime = std::chrono::seconds(5);
constexpr int kRounds = 5;  // alternating rounds of recording alone and preview
constexpr int32_t kSequenceImages = 1000;

double cpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Run time of the process's threads named "acquisition" (the acquisition worker), seconds.
double workerCpuSeconds() {
  double total = 0.0;
  for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
    std::string name;
    std::getline(std::ifstream(task.path() / "comm"), name);
    if (name != "acquisition") continue;
    uint64_t runtime_ns = 0;
    std::ifstream(task.path() / "schedstat") >> runtime_ns;
    total += static_cast<double>(runtime_ns) / 1e9;
  }
  return total;
}

// Sets the fastest pixel rate and the shortest exposure, so readout alone paces the camera.
void fastest(vyk::AnyCamera& camera) {
  const vyk::Description description = camera.getDescription();
  vyk::Configuration configuration = vyk::Configuration::unset();
  configuration.pixelrate = *std::max_element(description.pixelrate_vec.begin(), description.pixelrate_vec.end());
  configuration.exposure_time_s = description.min_exposure_time_s;
  configuration.delay_time_s = 0.0;
  camera.setConfiguration(configuration);
}

// Records into a 10-image ring buffer for kPreviewTime with nobody fetching; returns the CPU
// time of the process per recorded frame, ms.
double recordingAlone(vyk::AnyCamera& camera) {
  camera.record(10, vyk::RecordMode::RingBuffer);
  camera.waitForFirstImage(true, 5.0);
  const uint32_t framesAtStart = camera.getRecordedImageCount();
  const double cpuAtStart = cpuSeconds();
  std::this_thread::sleep_for(kPreviewTime);
  const uint32_t recorded = camera.getRecordedImageCount() - framesAtStart;
  const double cpu = cpuSeconds() - cpuAtStart;
  camera.stop();
  return recorded > 0 ? cpu / static_cast<double>(recorded) * 1000.0 : 0.0;
}

// Runs a preview for kPreviewTime with one consumer popping the view queue; returns the
// distinct frames per second the consumer saw.
double preview(CameraAcquisition& acquisition, double& cpuPerFrame_ms, double& workerPerFrame_ms,
               double& popsPerFrame) {
  acquisition.settings().setPreview();
  acquisition.onHistVisibleChanged(false);  // the histogram thread is not part of this figure

  std::atomic<bool> consuming{true};
  uint64_t pops = 0;
  uint64_t frames = 0;
  std::thread consumer([&] {
    uint32_t last = 0xFFFFFFFFu;
    while (consuming) {
      std::optional<vyk::Image> image = viewQueues().pop(kSerial, std::chrono::milliseconds(100));
      if (!image) continue;
      ++pops;
      if (image->recorderImageNumber() != last) ++frames;
      last = image->recorderImageNumber();
      viewQueues().recycle(kSerial, std::move(*image));  // done with it, as the image view is
    }
  });
  acquisition.startCameraThread();
  std::this_thread::sleep_for(std::chrono::milliseconds(500));  // past the start phase
  const uint64_t framesAtStart = frames;
  const uint64_t popsAtStart = pops;
  const double cpuAtStart = cpuSeconds();
  const double workerAtStart = workerCpuSeconds();
  const auto start = Clock::now();
  std::this_thread::sleep_for(kPreviewTime);
  const double worker = workerCpuSeconds() - workerAtStart;
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  const uint64_t delivered = frames - framesAtStart;
  const uint64_t popped = pops - popsAtStart;
  const double cpu = cpuSeconds() - cpuAtStart;
  acquisition.stopCameraThreads();
  consuming = false;
  consumer.join();
  cpuPerFrame_ms = delivered > 0 ? cpu / static_cast<double>(delivered) * 1000.0 : 0.0;
  workerPerFrame_ms = delivered > 0 ? worker / static_cast<double>(delivered) * 1000.0 : 0.0;
  popsPerFrame = delivered > 0 ? static_cast<double>(popped) / static_cast<double>(delivered) : 0.0;
  return static_cast<double>(delivered) / seconds;
}

// Records a kSequenceImages memory sequence through the sequence loop; returns the images recorded.
int32_t sequence(CameraAcquisition& acquisition, vyk::AnyCamera& camera) {
  AcquisitionSettings& s = acquisition.settings();
  s.mode = AcquisitionSettings::kSequence;
  s.recMode = vyk::RecordMode::SequenceNonBlocking;
  s.imageCount = kSequenceImages;
  acquisition.startCameraThread();
  recordingStartedSemaphore().acquire();
  while (acquisition.isRunning()) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  acquisition.stopCameraThreads();
  return static_cast<int32_t>(camera.getRecordedImageCount());
}

// The same recording with nobody but this function watching the camera, for reference:
// losses here come from the machine, not from the acquisition engine.
int32_t sequenceAlone(vyk::AnyCamera& camera) {
  camera.record(kSequenceImages, vyk::RecordMode::SequenceNonBlocking);
  while (camera.isRecording()) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  camera.stop();
  return static_cast<int32_t>(camera.getRecordedImageCount());
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  unsetenv("RASTEL_SIM_CONFIG");  // the built-in camera set
  if (VYK_FAILED(VYK_InitializeLib())) {
    std::fprintf(stderr, "device library did not initialise\n");
    return 1;
  }
  int status = 0;
  try {
    auto camera = std::make_shared<vyk::AnyCamera>(std::make_unique<vyk::Camera>(vyk::InterfaceType::Any, kSerial));
    fastest(*camera);
    const double cameraFps = 1.0 / camera->getFrameTime();
    CameraAcquisition acquisition(camera);

    // Alternating rounds of both; the CPU figures keep each one's lowest (other work on the
    // machine only ever adds to them), the rate and the pops each one's worst.
    double recordingCpu_ms = 0.0;
    double cpuPerFrame_ms = 0.0;
    double popsPerFrame = 0.0;
    double previewFps = 0.0;
    for (int round = 0; round < kRounds; ++round) {
      const double recording = recordingAlone(*camera);
      double cpu = 0.0;
      double worker = 0.0;
      double pops = 0.0;
      const double fps = preview(acquisition, cpu, worker, pops);
      std::printf(
          "round %d: %.3f ms CPU per recorded frame, %.3f ms per previewed frame (worker %.3f ms), %.2f frames/s\n",
          round + 1, recording, cpu, worker, fps);
      recordingCpu_ms = round == 0 ? recording : std::min(recordingCpu_ms, recording);
      cpuPerFrame_ms = round == 0 ? cpu : std::min(cpuPerFrame_ms, cpu);
      previewFps = round == 0 ? fps : std::min(previewFps, fps);
      popsPerFrame = std::max(popsPerFrame, pops);
    }
    std::printf("camera frame rate:            %8.2f frames/s\n", cameraFps);
    std::printf("CPU time per recorded frame:  %8.3f ms (recording alone, lowest of %d)\n", recordingCpu_ms, kRounds);
    std::printf("preview frames to view queue: %8.2f frames/s (distinct)\n", previewFps);
    std::printf("view queue pops:              %8.2f per distinct frame\n", popsPerFrame);
    std::printf("CPU time per delivered frame: %8.3f ms (preview, lowest of %d)\n", cpuPerFrame_ms, kRounds);

    const int32_t alone = sequenceAlone(*camera);
    std::printf("sequence without the engine: %d of %d images recorded\n", alone, kSequenceImages);
    const int32_t recorded = sequence(acquisition, *camera);
    std::printf("sequence through the engine: %d of %d images recorded\n", recorded, kSequenceImages);
    std::printf("preview_fps_vs_camera_fps=%.3f\n", previewFps / cameraFps);
    std::printf("preview_cpu_per_frame_vs_recording=%.3f\n",
                recordingCpu_ms > 0.0 ? cpuPerFrame_ms / recordingCpu_ms : 0.0);
    std::printf("view_pops_per_frame=%.3f\n", popsPerFrame);
    std::printf("sequence_lost=%d\n", kSequenceImages - recorded);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    status = 1;
  }
  VYK_CleanupLib();
  return status;
}
