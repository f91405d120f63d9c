#include "camera/AnyCamera.h"

#include "camera/CameraException.h"

namespace vyk {

namespace {
constexpr uint32_t kDxrOnlyCode = 0xa0160013u;
}  // namespace

AnyCamera::AnyCamera(std::unique_ptr<Camera> camera) : _camera(std::move(camera)) {}

AnyCamera::AnyCamera(std::unique_ptr<RemoteCamera> camera) : _camera(std::move(camera)) {}

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

Camera& AnyCamera::localCamera(const char* operation) {
  if (isEmpty()) throw CameraException("AnyCamera holds no camera", CameraException::kLayerError);
  Camera* camera = local();
  if (camera == nullptr)
    throw CameraException(std::string(operation) + " is not available for remote cameras yet",
                          CameraException::kLayerError);
  return *camera;
}

std::string AnyCamera::getName() { return localCamera("getName").getName(); }
uint32_t AnyCamera::getSerial() { return localCamera("getSerial").getSerial(); }
InterfaceType AnyCamera::getInterface() { return localCamera("getInterface").getInterface(); }
RawFormat AnyCamera::getRawFormat() { return localCamera("getRawFormat").getRawFormat(); }
bool AnyCamera::isColored() { return localCamera("isColored").isColored(); }
Description AnyCamera::getDescription() { return localCamera("getDescription").getDescription(); }
SensorInfo AnyCamera::getSensorInfo() { return localCamera("getSensorInfo").getSensorInfo(); }
CameraHealth AnyCamera::getHealth() { return localCamera("getHealth").getHealth(); }
double AnyCamera::getFrameTime() { return localCamera("getFrameTime").getFrameTime(); }

Configuration AnyCamera::getConfiguration() { return localCamera("getConfiguration").getConfiguration(); }
void AnyCamera::setConfiguration(const Configuration& configuration) {
  localCamera("setConfiguration").setConfiguration(configuration);
}
void AnyCamera::defaultConfiguration() { localCamera("defaultConfiguration").defaultConfiguration(); }
double AnyCamera::getExposureTime() { return localCamera("getExposureTime").getExposureTime(); }
void AnyCamera::setExposureTime(double exposure_s) { localCamera("setExposureTime").setExposureTime(exposure_s); }
double AnyCamera::getDelayTime() { return localCamera("getDelayTime").getDelayTime(); }
void AnyCamera::setDelayTime(double delay_s) { localCamera("setDelayTime").setDelayTime(delay_s); }
void AnyCamera::autoExposureOn() { localCamera("autoExposureOn").autoExposureOn(); }
void AnyCamera::autoExposureOff() { localCamera("autoExposureOff").autoExposureOff(); }
void AnyCamera::configureAutoExposure(AutoExposureRegion region, double minExposure_s, double maxExposure_s) {
  localCamera("configureAutoExposure").configureAutoExposure(region, minExposure_s, maxExposure_s);
}
ConvertControl AnyCamera::getConvertControl(DataFormat format) {
  return localCamera("getConvertControl").getConvertControl(format);
}
void AnyCamera::setConvertControl(DataFormat format, const ConvertControl& control) {
  localCamera("setConvertControl").setConvertControl(format, control);
}
bool AnyCamera::trigger() { return localCamera("trigger").trigger(); }

void AnyCamera::record(uint32_t imageCount, RecordMode mode, const std::filesystem::path& filePath, uint16_t flags) {
  localCamera("record").record(imageCount, mode, filePath, flags);
}
void AnyCamera::stop() { localCamera("stop").stop(); }
bool AnyCamera::isRecording() { return localCamera("isRecording").isRecording(); }
uint32_t AnyCamera::getRecordedImageCount() { return localCamera("getRecordedImageCount").getRecordedImageCount(); }
uint32_t AnyCamera::getRecorderBufferSize() { return localCamera("getRecorderBufferSize").getRecorderBufferSize(); }
void AnyCamera::waitForFirstImage(bool delay, double timeout_s) {
  localCamera("waitForFirstImage").waitForFirstImage(delay, timeout_s);
}
void AnyCamera::waitForNewImage(bool delay, double timeout_s) {
  localCamera("waitForNewImage").waitForNewImage(delay, timeout_s);
}
void AnyCamera::image(Image& target, const Roi& roi, uint64_t index, DataFormat format,
                      const std::optional<CompressionParams>& compression) {
  localCamera("image").image(target, roi, index, format, compression);
}
void AnyCamera::image(Image& target, uint64_t index, DataFormat format,
                      const std::optional<CompressionParams>& compression) {
  localCamera("image").image(target, index, format, compression);
}

std::vector<uint32_t> AnyCamera::getCamRamAllocation() { return localCamera("getCamRamAllocation").getCamRamAllocation(); }
void AnyCamera::setCamRamAllocation(const std::vector<uint32_t>& percentages) {
  localCamera("setCamRamAllocation").setCamRamAllocation(percentages);
}
uint16_t AnyCamera::getCamRamSegment() { return localCamera("getCamRamSegment").getCamRamSegment(); }
void AnyCamera::switchToCamRam(uint16_t segment) { localCamera("switchToCamRam").switchToCamRam(segment); }
uint32_t AnyCamera::getCamRamMaxImages() { return localCamera("getCamRamMaxImages").getCamRamMaxImages(); }
uint32_t AnyCamera::getCamRamNumImages() { return localCamera("getCamRamNumImages").getCamRamNumImages(); }

std::vector<RamAllocation> AnyCamera::getDxrAllocation() {
  localCamera("getDxrAllocation");
  throw CameraException("Function only available for vyk.dxr!", kDxrOnlyCode);
}
void AnyCamera::setDxrAllocation(const std::vector<RamAllocation>&) {
  localCamera("setDxrAllocation");
  throw CameraException("Function only available for vyk.dxr!", kDxrOnlyCode);
}
RamAllocation AnyCamera::getDxrSegment() {
  localCamera("getDxrSegment");
  throw CameraException("Function only available for vyk.dxr!", kDxrOnlyCode);
}

}  // namespace vyk
