#include "camera/AnyCamera.h"

#include <type_traits>

#include "camera/CameraException.h"

namespace vyk {

namespace {

constexpr uint32_t kDxrOnly = 0xa0160013u;

[[noreturn]] void failEmpty() {
  throw CameraException("AnyCamera holds no camera", CameraException::kLayerError);
}

}  // namespace

AnyCamera::AnyCamera(std::unique_ptr<Camera> camera) : _camera(std::move(camera)) {}

AnyCamera::AnyCamera(std::unique_ptr<RemoteCamera> camera) : _camera(std::move(camera)) {}

// Destroying the owned camera closes it (local) or releases it on its server (remote).
AnyCamera::~AnyCamera() = default;

bool AnyCamera::isRemote() const { return _camera.index() == 1; }

bool AnyCamera::isEmpty() const {
  return std::visit([](const auto& camera) { return camera == nullptr; }, _camera);
}

Camera* AnyCamera::local() {
  auto* held = std::get_if<0>(&_camera);
  return held != nullptr ? held->get() : nullptr;
}

RemoteCamera* AnyCamera::remote() {
  auto* held = std::get_if<1>(&_camera);
  return held != nullptr ? held->get() : nullptr;
}

template <typename Fn>
decltype(auto) AnyCamera::forwardUnlocked(Fn&& fn) {
  return std::visit(
      [&fn](auto& camera) -> decltype(auto) {
        if (camera == nullptr) failEmpty();
        return fn(*camera);
      },
      _camera);
}

template <typename Fn>
decltype(auto) AnyCamera::forward(Fn&& fn) {
  const std::lock_guard<FairMutex> guard(_callLock);
  return forwardUnlocked(std::forward<Fn>(fn));
}

Camera& AnyCamera::localCamera(const char* operation) {
  if (isEmpty()) failEmpty();
  Camera* camera = local();
  if (camera == nullptr) {
    throw CameraException(std::string(operation) + " is only available for local cameras",
                          CameraException::kLayerError);
  }
  return *camera;
}

// ---- identity ----

std::string AnyCamera::getName() {
  return forwardUnlocked([](auto& c) { return c.getName(); });
}
uint32_t AnyCamera::getSerial() {
  return forwardUnlocked([](auto& c) { return c.getSerial(); });
}
InterfaceType AnyCamera::getInterface() {
  return forwardUnlocked([](auto& c) { return c.getInterface(); });
}
RawFormat AnyCamera::getRawFormat() {
  return forward([](auto& c) { return c.getRawFormat(); });
}
bool AnyCamera::isColored() {
  return forwardUnlocked([](auto& c) { return c.isColored(); });
}
Description AnyCamera::getDescription() {
  return forward([](auto& c) { return c.getDescription(); });
}
SensorInfo AnyCamera::getSensorInfo() {
  return forward([](auto& c) { return c.getSensorInfo(); });
}
CameraHealth AnyCamera::getHealth() { return localCamera("getHealth").getHealth(); }
double AnyCamera::getFrameTime() {
  Camera& camera = localCamera("getFrameTime");
  const std::lock_guard<FairMutex> guard(_callLock);
  return camera.getFrameTime();
}

// ---- settings ----

Configuration AnyCamera::getConfiguration() {
  return forward([](auto& c) { return c.getConfiguration(); });
}
void AnyCamera::setConfiguration(const Configuration& configuration) {
  forward([&](auto& c) { c.setConfiguration(configuration); });
}
void AnyCamera::defaultConfiguration() {
  forward([](auto& c) { c.defaultConfiguration(); });
}
double AnyCamera::getExposureTime() {
  return forward([](auto& c) { return c.getExposureTime(); });
}
void AnyCamera::setExposureTime(double exposure_s) {
  forward([&](auto& c) { c.setExposureTime(exposure_s); });
}
double AnyCamera::getDelayTime() {
  return forward([](auto& c) { return c.getDelayTime(); });
}
void AnyCamera::setDelayTime(double delay_s) {
  forward([&](auto& c) { c.setDelayTime(delay_s); });
}
void AnyCamera::autoExposureOn() {
  forward([](auto& c) { c.autoExposureOn(); });
}
void AnyCamera::autoExposureOff() {
  forward([](auto& c) { c.autoExposureOff(); });
}
void AnyCamera::configureAutoExposure(AutoExposureRegion region, double minExposure_s, double maxExposure_s) {
  forward([&](auto& c) { c.configureAutoExposure(region, minExposure_s, maxExposure_s); });
}
ConvertControl AnyCamera::getConvertControl(DataFormat format) {
  return forward([&](auto& c) { return c.getConvertControl(format); });
}
void AnyCamera::setConvertControl(DataFormat format, const ConvertControl& control) {
  forward([&](auto& c) { c.setConvertControl(format, control); });
}
bool AnyCamera::trigger() {
  return forward([](auto& c) { return c.trigger(); });
}

// ---- recording ----

void AnyCamera::record(uint32_t imageCount, RecordMode mode, const std::filesystem::path& filePath, uint16_t flags) {
  forward([&](auto& c) { c.record(imageCount, mode, filePath, flags); });
}
void AnyCamera::stop() {
  forward([](auto& c) { c.stop(); });
}
bool AnyCamera::isRecording() {
  return forward([](auto& c) { return c.isRecording(); });
}
uint32_t AnyCamera::getRecordedImageCount() {
  return forward([](auto& c) { return c.getRecordedImageCount(); });
}
uint32_t AnyCamera::getRecorderBufferSize() {
  return forward([](auto& c) { return c.getRecorderBufferSize(); });
}
void AnyCamera::waitForFirstImage(bool delay, double timeout_s) {
  forward([&](auto& c) { c.waitForFirstImage(delay, timeout_s); });
}
void AnyCamera::waitForNewImage(bool delay, double timeout_s) {
  forward([&](auto& c) { c.waitForNewImage(delay, timeout_s); });
}

void AnyCamera::image(Image& target, const Roi& roi, uint64_t index, DataFormat format,
                      const std::optional<CompressionParams>& compression) {
  const std::lock_guard<FairMutex> guard(_callLock);
  if (RemoteCamera* camera = remote()) {
    camera->image(target, index, format, compression);  // the server chooses the crop
    return;
  }
  localCamera("image").image(target, roi, index, format, compression);
}
void AnyCamera::image(Image& target, uint64_t index, DataFormat format,
                      const std::optional<CompressionParams>& compression) {
  forward([&](auto& c) { c.image(target, index, format, compression); });
}

// ---- camera RAM ----

std::vector<uint32_t> AnyCamera::getCamRamAllocation() {
  return forward([](auto& c) { return c.getCamRamAllocation(); });
}
void AnyCamera::setCamRamAllocation(const std::vector<uint32_t>& percentages) {
  forward([&](auto& c) { c.setCamRamAllocation(percentages); });
}
uint16_t AnyCamera::getCamRamSegment() {
  return forward([](auto& c) { return c.getCamRamSegment(); });
}
void AnyCamera::switchToCamRam(uint16_t segment) {
  forward([&](auto& c) { c.switchToCamRam(segment); });
}
uint32_t AnyCamera::getCamRamMaxImages() {
  return forward([](auto& c) { return c.getCamRamMaxImages(); });
}
uint32_t AnyCamera::getCamRamNumImages() {
  return forward([](auto& c) { return c.getCamRamNumImages(); });
}

// ---- DXR ----

RemoteCamera& AnyCamera::dxrCamera() {
  if (isEmpty()) failEmpty();
  RemoteCamera* camera = remote();
  if (camera == nullptr) throw CameraException("Function only available for vyk.dxr!", kDxrOnly);
  return *camera;
}

std::vector<RamAllocation> AnyCamera::getDxrAllocation() {
  RemoteCamera& camera = dxrCamera();
  const std::lock_guard<FairMutex> guard(_callLock);
  return camera.getDxrAllocation();
}
void AnyCamera::setDxrAllocation(const std::vector<RamAllocation>& segments) {
  RemoteCamera& camera = dxrCamera();
  const std::lock_guard<FairMutex> guard(_callLock);
  camera.setDxrAllocation(segments);
}
RamAllocation AnyCamera::getDxrSegment() {
  RemoteCamera& camera = dxrCamera();
  const std::lock_guard<FairMutex> guard(_callLock);
  return camera.getDxrSegment();
}

}  // namespace vyk
