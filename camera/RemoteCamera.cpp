#include "camera/RemoteCamera.h"

#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <map>
#include <mutex>
#include <thread>

#include <nlohmann/json.hpp>

#include "camera/AutoExposure.h"
#include "camera/CameraException.h"
#include "camera/ConversionSet.h"
#include "camera/HttpTransport.h"
#include "camera/ImageMetadata.h"
#include "camera/ImageTimestamp.h"
#include "camera/JsonFields.h"
#include "camera/RecordModeInfo.h"
#include "camera/Roi.h"

namespace vyk {

namespace {

constexpr uint32_t kInvalid = 0xa0163001u;
constexpr uint32_t kLutMissing = 0xa0163018u;
constexpr uint32_t kDxrOnly = 0xa0160013u;

using nlohmann::json;
using detail::readNumber;  // plain numbers of an answer: a float outside the type's range is refused

// The value of a header that must be present, parsed as JSON.
json requiredHeader(const HttpTransport::Head& head, const char* name) {
  const auto value = head.header(name);
  if (!value) throw CameraException(std::string("image header missing: ") + name, CameraException::kLayerError);
  return json::parse(*value);
}

// The crop a server sends decides how much memory the image takes. When the announced body
// is too short for even the unpadded crop, the answer is refused before anything is allocated.
void checkCropFitsBody(const HttpTransport::Head& head, const Roi& crop, uint64_t bytesPerPixel) {
  const auto length = head.header("Content-Length");
  if (!length || !crop.isValid()) return;  // reshape refuses an invalid crop itself
  char* end = nullptr;
  const uint64_t available = std::strtoull(length->c_str(), &end, 10);
  if (end == length->c_str()) return;
  if (crop.width() > available / bytesPerPixel / crop.height()) {
    throw CameraException("size mismatch in image reconstruction!", CameraException::kLayerError);
  }
}

// The value of an optional header, parsed as JSON; null when absent or null.
json optionalHeader(const HttpTransport::Head& head, const char* name) {
  const auto value = head.header(name);
  return value ? json::parse(*value) : json();
}

// A ConvertControl without its LUT path: the path names a file on the server, while the
// local handle already holds the table that setConvertControl loaded.
ConvertControl withoutLut(ConvertControl control) {
  if (auto* pseudo = std::get_if<ConvertControlPseudocolor>(&control)) pseudo->lut_file.clear();
  return control;
}

}  // namespace

struct RemoteCamera::State {
  State(std::string host, uint16_t port, uint32_t period, std::string token)
      : transport(std::move(host), port, std::move(token)), heartbeatMs(period) {}

  const HttpTransport transport;  // server address; read by the heartbeat thread
  const uint32_t heartbeatMs;     // heartbeat period, ms; read by the heartbeat thread
  std::atomic<bool> running{true};  // cleared at destruction; ends the heartbeat loop
  std::mutex wakeMutex;             // pairs with wake to cut the heartbeat's sleep short
  std::condition_variable wake;     // notified when running is cleared
  std::thread heartbeat;            // heartbeat thread; joined by stopHeartbeat()

  std::mutex requestMutex;  // held for the whole of every locked request
  unsigned rawElementSize = 2;  // 1 for byte raw pixels, else 2; fixed after construction
  bool colored = false;         // colour sensor; fixed after construction
  ConversionSet conversions;    // local conversion state (requestMutex)
  std::map<DataFormat, ConvertControl> appliedControls;  // last server settings applied per format (requestMutex)

  void heartbeatLoop() {
    while (running) {
      try {
        transport.action("/v1/heartbeat");
      } catch (...) {
        // A missed heartbeat is nobody's error; the next one may get through.
      }
      std::unique_lock<std::mutex> lock(wakeMutex);
      if (heartbeatMs > 0) {
        wake.wait_for(lock, std::chrono::milliseconds(heartbeatMs), [this] { return !running; });
      }
    }
  }

  void stopHeartbeat() noexcept {
    {
      std::lock_guard<std::mutex> lock(wakeMutex);
      running = false;
    }
    wake.notify_all();
    if (heartbeat.joinable()) heartbeat.join();
  }

  // Sends the release; true when the server took it.
  bool release() noexcept {
    try {
      transport.action("/v1/setFree");
      return true;
    } catch (...) {
      return false;
    }
  }
};

RemoteCamera::RemoteCamera(std::string host, uint16_t port, uint32_t heartbeatPeriodMs, std::string token)
    : _s(std::make_unique<State>(std::move(host), port, heartbeatPeriodMs, std::move(token))) {
  State& s = *_s;
  s.rawElementSize = getRawFormat() == RawFormat::Byte ? 1 : 2;
  s.heartbeat = std::thread([&s] { s.heartbeatLoop(); });
  try {
    s.colored = isColored();
    const SensorInfo info = getSensorInfo();
    s.conversions.build(s.colored, static_cast<uint16_t>(info.iDataBits), info);
  } catch (...) {
    // The destructor does not run for a failed constructor: end the heartbeat and hand
    // the camera back to the server here.
    s.stopHeartbeat();
    s.release();
    throw;
  }
}

RemoteCamera::~RemoteCamera() {
  try {
    if (isRecording()) stop();
  } catch (...) {
    // The server may be gone; destruction goes on regardless.
  }
  _s->stopHeartbeat();
  if (!_s->release()) {
    std::cerr << "setFree failed! Probably error on server or connection.\n"
                 "If new connection fails, check if server is running!\n";
  }
}

const std::string& RemoteCamera::getHost() const { return _s->transport.host(); }

uint16_t RemoteCamera::getPort() const { return _s->transport.port(); }

// ---- identity ----

std::string RemoteCamera::getName() { return _s->transport.query("/v1/getName").get<std::string>(); }

uint32_t RemoteCamera::getSerial() { return readNumber<uint32_t>(_s->transport.query("/v1/getSerial")); }

InterfaceType RemoteCamera::getInterface() { return _s->transport.query("/v1/getInterface").get<InterfaceType>(); }

RawFormat RemoteCamera::getRawFormat() { return _s->transport.query("/v1/getRawFormat").get<RawFormat>(); }

bool RemoteCamera::isColored() { return _s->transport.query("/v1/isColored").get<bool>(); }

Description RemoteCamera::getDescription() { return _s->transport.query("/v1/getDescription").get<Description>(); }

SensorInfo RemoteCamera::getSensorInfo() { return _s->transport.query("/v1/getSensorInfo").get<SensorInfo>(); }

// ---- settings ----

Configuration RemoteCamera::getConfiguration() {
  return _s->transport.query("/v1/getConfiguration").get<Configuration>();
}

void RemoteCamera::setConfiguration(const Configuration& configuration) {
  std::lock_guard<std::mutex> lock(_s->requestMutex);
  _s->transport.setting("/v1/setConfiguration", configuration);
}

void RemoteCamera::defaultConfiguration() {
  std::lock_guard<std::mutex> lock(_s->requestMutex);
  _s->transport.setting("/v1/defaultConfiguration", nullptr);
}

double RemoteCamera::getExposureTime() {
  return _s->transport.query("/v1/getExposureTime").at("exposure_s").get<double>();
}

void RemoteCamera::setExposureTime(double exposure_s) {
  _s->transport.setting("/v1/setExposureTime", {{"exposure_s", exposure_s}});
}

double RemoteCamera::getDelayTime() { return _s->transport.query("/v1/getDelayTime").at("delay_s").get<double>(); }

void RemoteCamera::setDelayTime(double delay_s) { _s->transport.setting("/v1/setDelayTime", {{"delay_s", delay_s}}); }

void RemoteCamera::autoExposureOn() {
  std::lock_guard<std::mutex> lock(_s->requestMutex);
  _s->transport.action("/v1/autoExposureOn");
}

void RemoteCamera::autoExposureOff() {
  std::lock_guard<std::mutex> lock(_s->requestMutex);
  _s->transport.action("/v1/autoExposureOff");
}

void RemoteCamera::configureAutoExposure(AutoExposureRegion region, double minExposure_s, double maxExposure_s) {
  std::lock_guard<std::mutex> lock(_s->requestMutex);
  _s->transport.setting("/v1/configureAutoExposure", AutoExposure{region, minExposure_s, maxExposure_s});
}

ConvertControl RemoteCamera::getConvertControl(DataFormat format) {
  const json answer = _s->transport.query("/v1/getConvertControl", {{"format", HttpTransport::param(format)}});
  if (answer.empty()) {  // null, {} and [] alike
    throw CameraException("Camera returned empty ConvertControl", CameraException::kLayerError);
  }
  return answer.get<ConvertControl>();
}

void RemoteCamera::setConvertControl(DataFormat format, const ConvertControl& control) {
  std::lock_guard<std::mutex> lock(_s->requestMutex);
  ConvertControl sent = control;
  if (auto* pseudo = std::get_if<ConvertControlPseudocolor>(&sent); pseudo != nullptr && !pseudo->lut_file.empty()) {
    std::error_code error;
    if (!std::filesystem::exists(pseudo->lut_file, error)) throw CameraException("LUT file does not exist!", kLutMissing);
    _s->conversions.setControl(format, control);  // loads the table into the local handle
    pseudo->lut_file = uploadLut(pseudo->lut_file);
  }
  _s->transport.setting("/v1/setConvertControl", {{"format", format}, {"convert", sent}});
}

std::string RemoteCamera::uploadLut(const std::filesystem::path& lutFile) {
  std::error_code error;
  if (!std::filesystem::is_regular_file(lutFile, error)) {
    throw CameraException("LUT file not found: " + lutFile.string(), CameraException::kLayerError);
  }
  std::ifstream file(lutFile, std::ios::binary);
  const std::string content{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
  if (!file && !file.eof()) throw CameraException("LUT file not found: " + lutFile.string(), CameraException::kLayerError);
  const json answer =
      _s->transport.upload("/v1/uploadLut", "lut", lutFile.filename().string(), content, "uploadLutFile failed");
  return answer.at("saved").get<std::string>();
}

bool RemoteCamera::trigger() {
  try {
    // A server that reports the trigger as refused answers false: that is no success either.
    return _s->transport.action("/v1/trigger") != json(false);
  } catch (...) {
    return false;
  }
}

// ---- recording ----

void RemoteCamera::record(uint32_t imageCount, RecordMode mode, const std::filesystem::path& filePath,
                          uint16_t flags) {
  std::lock_guard<std::mutex> lock(_s->requestMutex);
  RequestParams params{{"imgCount", std::to_string(imageCount)},
                       {"recMode", HttpTransport::param(mode)},
                       {"flags", HttpTransport::param(flags)}};
  if (RecordModeInfo::of(mode).isFile() && !filePath.empty()) {
    params.emplace_back("filePath", HttpTransport::param(filePath.generic_string()));
  }
  _s->transport.action("/v1/record", params);
  _s->conversions.markAllAutoRangePending();
}

void RemoteCamera::stop() {
  std::lock_guard<std::mutex> lock(_s->requestMutex);
  _s->transport.action("/v1/stop");
}

bool RemoteCamera::isRecording() {
  try {
    const json answer = _s->transport.query("/v1/isRecording");
    return answer.is_boolean() && answer.get<bool>();
  } catch (...) {
    return false;
  }
}

uint32_t RemoteCamera::getRecordedImageCount() {
  return readNumber<uint32_t>(_s->transport.query("/v1/getRecordedImageCount").at("recorded"));
}

uint32_t RemoteCamera::getRecorderBufferSize() {
  return readNumber<uint32_t>(_s->transport.query("/v1/getRecorderBufferSize").at("buffSize"));
}

namespace {

RequestParams waitParams(bool delay, double timeout_s) {
  RequestParams params{{"delay", HttpTransport::param(delay)}};
  if (!std::isnan(timeout_s)) params.emplace_back("timeout", HttpTransport::param(timeout_s));
  return params;
}

}  // namespace

void RemoteCamera::waitForFirstImage(bool delay, double timeout_s) {
  _s->transport.action("/v1/waitForFirstImage", waitParams(delay, timeout_s));
}

void RemoteCamera::waitForNewImage(bool delay, double timeout_s) {
  _s->transport.action("/v1/waitForNewImage", waitParams(delay, timeout_s));
}

void RemoteCamera::image(Image& target, uint64_t index, DataFormat format,
                         const std::optional<CompressionParams>& compression) {
  std::lock_guard<std::mutex> lock(_s->requestMutex);
  State& s = *_s;
  if (format == DataFormat::Undefined) format = s.rawElementSize == 1 ? DataFormat::Mono8 : DataFormat::Mono16;
  RequestParams params{{"index", std::to_string(index)}, {"format", HttpTransport::param(format)}};
  if (compression) params.emplace_back("comp_params", HttpTransport::param(*compression));

  DataFormat received = format;
  RawFormat raw = RawFormat::Word;
  int32_t colorMode = 0;
  json control;
  uint8_t* destination = nullptr;  // where the body goes: the raw buffer (data for CompressedMono8)
  std::size_t expected = 0;        // its size in bytes
  std::size_t length = 0;          // body bytes received so far

  const auto onHead = [&](const HttpTransport::Head& head) {
    const Roi crop = requiredHeader(head, "crop").get<Roi>();
    received = requiredHeader(head, "format").get<DataFormat>();
    raw = requiredHeader(head, "rawFormat").get<RawFormat>();
    const uint32_t number = readNumber<uint32_t>(requiredHeader(head, "recorderImageNumber"));
    colorMode = readNumber<int32_t>(requiredHeader(head, "colorMode"));
    const json metadata = optionalHeader(head, "metadata");
    const json timestamp = optionalHeader(head, "timestamp");
    control = optionalHeader(head, "convCtrl");

    const bool bytes = received == DataFormat::CompressedMono8 || raw == RawFormat::Byte;
    checkCropFitsBody(head, crop, bytes ? 1 : 2);
    if (!target.hasShape(received, crop, raw)) target.reshape(crop, received, raw);
    target.setRecorderImageNumber(number);
    if (metadata.is_null()) {
      target.clearMetadata();
    } else {
      target.setMetadata(metadata.get<ImageMetadata>());
    }
    if (timestamp.is_null()) {
      target.clearTimestamp();
    } else {
      target.setTimestamp(timestamp.get<ImageTimestamp>());
    }
    // rawData8 gives the data buffer for CompressedMono8, whose bytes stand in data.
    if (bytes) {
      std::vector<uint8_t>& data = target.rawData8();
      destination = data.data();
      expected = data.size();
    } else {
      std::vector<uint16_t>& words = target.rawData16();
      destination = reinterpret_cast<uint8_t*>(words.data());
      expected = words.size() * sizeof(uint16_t);
    }
    return true;
  };
  const auto onBody = [&](const char* data, std::size_t size) {
    if (length + size <= expected) std::memcpy(destination + length, data, size);
    length += size;
    return true;
  };
  s.transport.stream("/v1/image", params, onHead, onBody, "image call failed");
  if (length != expected) {
    throw CameraException("size mismatch in image reconstruction!", CameraException::kLayerError);
  }

  if (raw == RawFormat::Byte || received == DataFormat::Mono16 || received == DataFormat::CompressedMono8) return;
  if (!s.conversions.hasHandle(received)) throw CameraException("Data format is not supported by the camera!", kInvalid);
  if (control.is_null()) throw CameraException("ConvertControl not available for this DataFormat!", kInvalid);
  const ConvertControl settings = withoutLut(control.get<ConvertControl>());
  const auto applied = s.appliedControls.find(received);
  if (applied == s.appliedControls.end() || !(applied->second == settings)) {
    s.conversions.setControl(received, settings);
    s.appliedControls[received] = settings;
  }
  s.conversions.convert(received, colorMode, target);
}

// ---- camera RAM ----

std::vector<uint32_t> RemoteCamera::getCamRamAllocation() {
  return readNumber<std::vector<uint32_t>>(_s->transport.query("/v1/getCamRamAllocation"));
}

void RemoteCamera::setCamRamAllocation(const std::vector<uint32_t>& percentages) {
  std::lock_guard<std::mutex> lock(_s->requestMutex);
  _s->transport.setting("/v1/setCamRamAllocation", {{"percents", percentages}});
}

uint16_t RemoteCamera::getCamRamSegment() {
  return readNumber<uint16_t>(_s->transport.query("/v1/getCamRamSegment"));
}

void RemoteCamera::switchToCamRam(uint16_t segment) {
  std::lock_guard<std::mutex> lock(_s->requestMutex);
  _s->transport.action("/v1/switchToCamRam", {{"segment", HttpTransport::param(segment)}});
}

uint32_t RemoteCamera::getCamRamMaxImages() {
  return readNumber<uint32_t>(_s->transport.query("/v1/getCamRamMaxImages"));
}

uint32_t RemoteCamera::getCamRamNumImages() {
  return readNumber<uint32_t>(_s->transport.query("/v1/getCamRamNumImages"));
}

// ---- DXR ----

namespace {

void requireDxr(RemoteCamera& camera) {
  if (camera.getInterface() != InterfaceType::CLHS_DXR) {
    throw CameraException("Function only available for vyk.dxr!", kDxrOnly);
  }
}

}  // namespace

std::vector<RamAllocation> RemoteCamera::getDxrAllocation() {
  requireDxr(*this);
  std::lock_guard<std::mutex> lock(_s->requestMutex);
  return _s->transport.query("/v1/getDxrAllocation").get<std::vector<RamAllocation>>();
}

void RemoteCamera::setDxrAllocation(const std::vector<RamAllocation>& segments) {
  requireDxr(*this);
  std::lock_guard<std::mutex> lock(_s->requestMutex);
  _s->transport.setting("/v1/setDxrAllocation", {{"segments", segments}});
}

RamAllocation RemoteCamera::getDxrSegment() {
  requireDxr(*this);
  return _s->transport.query("/v1/getDxrSegment").get<RamAllocation>();
}

}  // namespace vyk
