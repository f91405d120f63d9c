#include "camera/RecorderHandle.h"

#include "camera/CameraException.h"

namespace vyk {

namespace {

// Null for an empty path: the library's "no path" for memory and camera-RAM recorders.
const char* pathOrNull(const std::string& path) { return path.empty() ? nullptr : path.c_str(); }

}  // namespace

RecorderHandle::RecorderHandle(VYK_HANDLE camera, uint32_t modeWord, const std::string& filePath)
    : _camera(camera) {
  VYK_RECORDER created = nullptr;
  const int32_t result = VYK_RecorderCreate(&created, &_camera, 1, modeWord, pathOrNull(filePath), &_capacity);
  if (VYK_FAILED(result)) {
    if (created != nullptr) VYK_RecorderDelete(created);
    throw CameraException(static_cast<uint32_t>(result));
  }
  _recorder = created;
}

RecorderHandle::~RecorderHandle() { release(); }

int32_t RecorderHandle::release() noexcept {
  if (_recorder == nullptr) return VYK_NOERROR;
  const int32_t result = VYK_RecorderDelete(_recorder);
  _recorder = nullptr;
  return result;
}

void RecorderHandle::init(uint32_t imageCount, uint16_t type, uint16_t fileFlag,
                          const std::string& filePath, uint16_t segment) {
  const int32_t result = VYK_RecorderInit(_recorder, imageCount, type, fileFlag, pathOrNull(filePath), segment);
  if (result == VYK_WARN_FILE_EXISTS) return;
  throwIfFailed(result);
}

void RecorderHandle::start() { throwIfFailed(VYK_RecorderStart(_recorder)); }

void RecorderHandle::stop() { throwIfFailed(VYK_RecorderStop(_recorder)); }

void RecorderHandle::windUp() noexcept {
  // The only failure of a stop after the end is a file write that failed, and the
  // recorder keeps that in its status' error field.
  VYK_RecorderStop(_recorder);
}

RecorderHandle::Status RecorderHandle::status() const {
  uint32_t running = 0;
  Status status;
  throwIfFailed(VYK_RecorderGetStatus(_recorder, _camera, &running, &status.recorded, &status.bufferSize,
                                      &status.errorStatus));
  status.running = running != 0;
  return status;
}

uint64_t RecorderHandle::lostFrames() const {
  uint64_t delivered = 0;
  uint64_t lost = 0;
  throwIfFailed(VYK_RecorderGetFrameCounts(_recorder, _camera, &delivered, &lost));
  return lost;
}

bool RecorderHandle::queryStatus(Status& out) const noexcept {
  uint32_t running = 0;
  Status status;
  if (VYK_FAILED(VYK_RecorderGetStatus(_recorder, _camera, &running, &status.recorded, &status.bufferSize,
                                       &status.errorStatus))) {
    return false;
  }
  status.running = running != 0;
  out = status;
  return true;
}

RecorderHandle::Settings RecorderHandle::settings() const {
  Settings settings;
  throwIfFailed(VYK_RecorderGetSettings(_recorder, _camera, &settings.word, &settings.capacity,
                                        &settings.width, &settings.height));
  return settings;
}

uint32_t RecorderHandle::copy(uint32_t index, const uint16_t roi[4], uint16_t* buffer, uint8_t* metadata,
                              uint8_t* timestamp) {
  uint32_t number = 0;
  throwIfFailed(VYK_RecorderCopyImage(_recorder, _camera, index, roi[0], roi[1], roi[2], roi[3], buffer,
                                      &number, metadata, timestamp));
  return number;
}

uint32_t RecorderHandle::copy8(uint32_t index, const uint16_t roi[4], uint8_t* buffer, uint8_t* metadata,
                               uint8_t* timestamp) {
  uint32_t number = 0;
  throwIfFailed(VYK_RecorderCopyImage8(_recorder, _camera, index, roi[0], roi[1], roi[2], roi[3], buffer,
                                       &number, metadata, timestamp));
  return number;
}

uint32_t RecorderHandle::copyCompressed(uint32_t index, const uint16_t roi[4], uint8_t* buffer,
                                        uint8_t* metadata, uint8_t* timestamp) {
  uint32_t number = 0;
  throwIfFailed(VYK_RecorderCopyImageCompressed(_recorder, _camera, index, roi[0], roi[1], roi[2], roi[3],
                                                buffer, &number, metadata, timestamp));
  return number;
}

void RecorderHandle::setCompressionParams(const VYK_CompressionParams& params) {
  throwIfFailed(VYK_RecorderSetCompressionParams(_recorder, _camera, &params));
}

void RecorderHandle::setAutoExposureRegion(uint16_t region) {
  throwIfFailed(VYK_RecorderSetAutoExposureRegion(_recorder, _camera, region));
}

void RecorderHandle::setAutoExposure(bool on, uint16_t smoothness, uint32_t minExposure, uint32_t maxExposure,
                                     uint16_t timeBase) {
  throwIfFailed(VYK_RecorderSetAutoExposure(_recorder, _camera, on ? 1 : 0, smoothness, minExposure,
                                            maxExposure, timeBase));
}

}  // namespace vyk
