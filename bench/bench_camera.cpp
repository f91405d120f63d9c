// Image retrieval through vyk::Camera on a simulated 2048 x 2048 camera: ms per image
// (median) for fetching a recorded image without conversion (Mono16) and with each
// conversion the views use, on a 12-bit mono and a 12-bit colour camera. Prints figures;
// never fails.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "camera/Camera.h"
#include "camera/CameraException.h"
#include "kv2_cam.h"

namespace {

constexpr int kSize = 2048;
constexpr uint32_t kImages = 8;  // recorded once, fetched in turn
constexpr int kFetches = 24;     // timed fetches per figure (median taken)

nlohmann::json camera(uint32_t serial, bool color) {
  return {{"serial", serial},
          {"name", color ? "bench colour" : "bench mono"},
          {"interface", "USB3"},
          {"sensor", {{"width", kSize}, {"height", kSize}, {"bits", 12}, {"color", color}}},
          {"pixel_rates_hz", {272250000}},
          {"exposure", {{"min_ns", 10000}, {"max_ms", 1000}, {"step_ns", 10}}},
          {"capabilities", {{"timestamp", true}, {"metadata", true}}},
          {"read_noise", 4.0}};
}

// Median ms of kFetches fetches of the recorded images in format.
double medianFetchMs(vyk::Camera& cam, vyk::DataFormat format) {
  vyk::Image image;
  cam.image(image, 0, format);  // shapes the image once, as a view's polling loop does
  std::vector<double> ms;
  for (int i = 0; i < kFetches; ++i) {
    const auto t0 = std::chrono::steady_clock::now();
    cam.image(image, static_cast<uint64_t>(i % kImages), format);
    ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count());
  }
  std::nth_element(ms.begin(), ms.begin() + ms.size() / 2, ms.end());
  return ms[ms.size() / 2];
}

void benchCamera(uint32_t serial, const char* label, const std::vector<vyk::DataFormat>& formats) {
  vyk::Camera cam(vyk::InterfaceType::Any, serial);
  vyk::Configuration c = vyk::Configuration::unset();
  c.exposure_time_s = 0.001;
  cam.setConfiguration(c);
  cam.record(kImages, vyk::RecordMode::Sequence);
  for (vyk::DataFormat format : formats) {
    std::printf("%s %dx%d: image() %-8s %7.2f ms per image\n", label, kSize, kSize, vyk::toString(format),
                medianFetchMs(cam, format));
  }
}

}  // namespace

int main() {
  const std::filesystem::path config = std::filesystem::temp_directory_path() / "rastel_bench_camera.json";
  std::ofstream(config) << nlohmann::json{{"cameras", {camera(9001, false), camera(9002, true)}}}.dump();
  setenv("RASTEL_SIM_CONFIG", config.c_str(), 1);
  if (VYK_FAILED(VYK_InitializeLib())) {
    std::printf("camera library could not be initialised\n");
    return 0;
  }
  try {
    using F = vyk::DataFormat;
    benchCamera(9001, "mono  ", {F::Mono16, F::Mono8, F::BGR8, F::RGBA8});
    benchCamera(9002, "colour", {F::Mono16, F::Mono8, F::BGR8, F::RGBA8, F::RGB16});
  } catch (const vyk::CameraException& e) {
    std::printf("%s\n", e.what());
  }
  VYK_CleanupLib();
  std::filesystem::remove(config);
  return 0;
}
