#include "camera/Camera.h"

#include <chrono>
#include <cmath>
#include <cstring>
#include <iostream>
#include <string>
#include <thread>

#include "camera/CameraCloseLine.h"
#include "camera/CameraException.h"
#include "camera/ColorPattern.h"
#include "camera/ConversionSet.h"
#include "camera/DeviceTime.h"
#include "camera/MemoryRule.h"
#include "camera/PixelFormat.h"
#include "camera/RecordModeInfo.h"
#include "camera/RecorderHandle.h"
#include "camera/Unset.h"
#include "kv2_cam.h"
#include "vyk_conv.h"
#include "vyk_recorder.h"

namespace vyk {

namespace {

// Codes the camera layer raises itself.
constexpr uint32_t kInvalid = 0xa0163001u;
constexpr uint32_t kNoSegmentMemory = 0xa0163006u;
constexpr uint32_t kNoSerial = 0xa0163013u;
constexpr uint32_t kPathRule = 0xa016301du;
constexpr uint32_t kRecordingRuns = 0x80163022u;
constexpr uint32_t kNoRecording = 0x80163024u;
constexpr uint32_t kNoCamRamQuery = 0x80167006u;
constexpr uint32_t kTimeout = 0x80004001u;
constexpr uint32_t kLayer = CameraException::kLayerError;

// General capability word 1 bits read by the camera object.
constexpr uint32_t kCapsNoiseFilter = 0x1u;
constexpr uint32_t kCapsTimestampAscii = 0x8u;
constexpr uint32_t kCapsNoExtExpCtrl = 0x80u;
constexpr uint32_t kCapsNoTimestamp = 0x100u;
constexpr uint32_t kCapsNoAcquireMode = 0x200u;
constexpr uint32_t kCapsNoCamRam = 0x1000u;
constexpr uint32_t kCapsMetadata = 0x4000u;
constexpr uint32_t kCapsLineSensor = 0x80000u;
constexpr uint32_t kCapsExtAcquireMode = 0x200000u;
constexpr uint32_t kCapsRoiSymmetricVert = 0x800000u;
constexpr uint32_t kCapsRoiSymmetricHorz = 0x1000000u;
constexpr uint32_t kCapsDescription2 = 0x10000000u;
// General capability word 2 bits.
constexpr uint32_t kCaps2PixelFormat = 0x20000u;
constexpr uint32_t kCaps2AverageBinning = 0x4000u;

// The binning word's averaging mode and factor bits.
constexpr uint16_t kBinningAverage = 0x1000u;
constexpr uint16_t kBinningFactorMask = 0x0FFFu;

// Interfaces tried when opening, FireWire to USB3, then CLHS.
constexpr uint16_t kInterfaces[] = {1, 2, 3, 4, 5, 6, 7, 8, 11};
constexpr uint16_t kCameraNumbers = 64;
// A failed open whose code masked with kBusyMask is kBusyCode goes on with the next number.
constexpr uint32_t kBusyMask = 0x8000FFFFu;
constexpr uint32_t kBusyCode = 0x80002001u;

// The setting results tolerated by pixel rate and conversion factor.
constexpr uint32_t kSettingTolerance = 0x80001020u;
// Arm results after which switchToCamRam returns quietly.
constexpr uint32_t kCamRamArmQuiet = 0x80001025u;

// Throws unless result is success or a failure carrying every bit of kSettingTolerance.
void throwIfSettingFailed(int32_t result) {
  if (result != 0 && (static_cast<uint32_t>(result) & kSettingTolerance) != kSettingTolerance) {
    throwIfFailed(result);
  }
}

// The device's timing limits: ns for minima and steps, ms for maxima.
struct TimingLimits {
  uint32_t minExposureNs = 0;
  uint32_t maxExposureMs = 0;
  uint32_t exposureStepNs = 0;
  uint32_t minDelayNs = 0;
  uint32_t maxDelayMs = 0;
  uint32_t delayStepNs = 0;
};

// Lowest exposure in seconds the limits accept: (min exposure - step) x 1e-9.
double lowestExposure(const TimingLimits& limits) {
  return (static_cast<double>(limits.minExposureNs) - static_cast<double>(limits.exposureStepNs)) * 1e-9;
}

// Prints the "Close with ..." line of a non-zero result during close.
void printCloseLine(int32_t result) { std::cout << CameraCloseLine::of(result) << std::endl; }

}  // namespace

// Every member of the camera. No lock: calls on one camera are serialised by the handle
// that owns it (AnyCamera) or, in the device server, by the server's camera lock.
// Members read by the calls that may run concurrently (getHealth, getSerial, getName,
// getInterface, isColored) are written only while opening, or are atomic.
struct Camera::State {
  std::atomic<VYK_HANDLE> device{nullptr};   // null when closed
  std::unique_ptr<RecorderHandle> recorder;  // null until record or switchToCamRam
  VYK_Description description{};            // read at open, again after a change report
  VYK_CameraType cameraType{};               // read once at open
  std::string name;                          // read once at open, at most 260 characters
  InterfaceType interfaceType = InterfaceType::Any;  // interface the camera opened on
  bool colored = false;                      // sensor-type bit 0, fixed at open
  AutoExposure autoExposure;                 // balanced, 0.001 s, 0.1 s
  bool autoExposureOn = false;               // auto exposure switched on
  Roi lastRoi = Roi::unset();                // device ROI of the recording (1-based on the sensor)
  uint32_t imagesPerExposure = 1;            // 2 in double-image mode
  uint32_t lastRecorderImageNumber = 0;      // recorder image number of the last fetched image
  uint16_t activeSegment = 0;                // camera-RAM segment in use
  uint32_t recorderCapacity = 0xFFFFFFFFu;   // images the recorder can hold
  bool metadataOn = false;                   // recording carries metadata blocks
  bool timestampOn = false;                  // recording carries time stamps
  bool rawIsByte = false;                    // recording's raw pixels are 8-bit
  ConversionSet conversions;                 // handles and settings per DataFormat
  SensorInfo sensorInfo;                     // handed to every conversion handle
  bool optionalResourceHeld = false;         // nothing here acquires it; released by close if held

  VYK_HANDLE dev() const { return device.load(); }
  uint32_t caps1() const { return description.dwGeneralCapsDESC1; }
  uint32_t caps2() const { return description.dwGeneralCapsDESC2; }
  bool hasCamRam() const { return (caps1() & kCapsNoCamRam) == 0; }
  bool hasMetadata() const { return (caps1() & kCapsMetadata) != 0; }
  bool pixelFormatSelectable() const { return (caps2() & kCaps2PixelFormat) != 0; }

  void open(InterfaceType requested, uint32_t serial);
  void readDescription();
  void arm();
  void buildSensorInfo();
  void switchMetadataOn();
  TimingLimits timingLimits() const;
  void validateAndSendTimes(double exposure, double delay);
  void handOnAutoExposure(bool starting);
  bool recording();
  bool rawIsByteNow() const;
  uint32_t currentPixelFormatFlag() const;
  bool recorderOnCamRam() const;
  void segmentCounts(uint32_t& valid, uint32_t& maximum) const;
  void dropRecorder();
};

void Camera::State::open(InterfaceType requested, uint32_t serial) {
  std::vector<uint16_t> interfaces;
  if (requested != InterfaceType::Any) interfaces.push_back(static_cast<uint16_t>(requested));
  for (uint16_t i : kInterfaces) {
    if (interfaces.empty() || i != interfaces.front()) interfaces.push_back(i);
  }

  uint16_t opened = 0;
  auto tryOpen = [&](uint16_t interfaceCode, uint16_t mode, uint16_t number) {
    VYK_OpenStruct request;
    std::memset(&request, 0, sizeof(request));
    request.wSize = sizeof(VYK_OpenStruct);
    request.wInterfaceType = interfaceCode;
    request.wCameraNumber = number;
    request.wOpenMode = mode;
    request.dwSerialNumber = serial;
    VYK_HANDLE handle = nullptr;
    const int32_t result = VYK_OpenCamera(&handle, &request);
    if (!VYK_FAILED(result) && handle != nullptr) {
      device.store(handle);
      opened = interfaceCode;
    }
    return result;
  };

  if (serial != 0xFFFFFFFFu) {
    for (uint16_t i : interfaces) {
      tryOpen(i, VYK_OPEN_BY_SERIAL, 0);
      if (dev() != nullptr) break;
    }
    if (dev() == nullptr) throw CameraException(kNoSerial);
  } else {
    int32_t last = VYK_ERR_NO_CAMERA;
    for (uint16_t i : interfaces) {
      for (uint16_t number = 0; number < kCameraNumbers && dev() == nullptr; ++number) {
        const int32_t result = tryOpen(i, VYK_OPEN_BY_NUMBER, number);
        if (dev() != nullptr) break;
        last = result;
        if ((static_cast<uint32_t>(result) & kBusyMask) != kBusyCode) break;
      }
      if (dev() != nullptr) break;
    }
    if (dev() == nullptr) throw CameraException(static_cast<uint32_t>(last));
  }
  interfaceType = static_cast<InterfaceType>(opened);

  readDescription();
  cameraType = VYK_CameraType{};
  cameraType.wSize = sizeof(VYK_CameraType);
  throwIfFailed(VYK_GetCameraType(dev(), &cameraType));
  char buffer[261] = {};
  throwIfFailed(VYK_GetCameraName(dev(), buffer, 260));
  buffer[260] = '\0';
  name = buffer;
  colored = (description.wSensorTypeDESC & 0x1u) != 0;
}


void Camera::State::readDescription() {
  VYK_Description fresh;
  std::memset(&fresh, 0, sizeof(fresh));
  fresh.wSize = sizeof(VYK_Description);
  throwIfFailed(VYK_GetCameraDescription(dev(), &fresh));
  description = fresh;
}

void Camera::State::arm() {
  throwIfFailed(VYK_ArmCamera(dev()));
  uint32_t warnings = 0;
  uint32_t errors = 0;
  uint32_t status = 0;
  throwIfFailed(VYK_GetCameraHealthStatus(dev(), &warnings, &errors, &status));
  if ((status & VYK_STATUS_DESCRIPTION_CHANGED) != 0) readDescription();
}

void Camera::State::buildSensorInfo() {
  SensorInfo info;
  uint16_t colorSetting = 1;
  throwIfFailed(VYK_GetColorSetting(dev(), &colorSetting));
  info.iSensorInfoBits = (colorSetting == 0 ? 0x2 : 0) | (colored ? 0x1 : 0);
  info.iConversionFactor = 0;
  info.iDataBits = description.wDynResDESC;
  info.iDarkOffset = 100;
  uint16_t darkOffset = 0;
  throwIfFailed(VYK_GetDarkOffset(dev(), &darkOffset));
  info.iDarkOffset = darkOffset;
  if (pixelFormatSelectable()) {
    double matrix[9] = {};
    throwIfFailed(VYK_GetColorMatrix(dev(), matrix));
    static_assert(sizeof(info.strColorCoeff) == sizeof(matrix), "nine doubles, row by row");
    std::memcpy(&info.strColorCoeff, matrix, sizeof(matrix));
  }
  info.iCamNum = 0;
  info.hCamera = dev();
  sensorInfo = info;
}

void Camera::State::switchMetadataOn() {
  if (!hasMetadata()) return;
  uint16_t size = 0;
  uint16_t version = 0;
  throwIfFailed(VYK_SetMetaDataMode(dev(), 1, &size, &version));
}

TimingLimits Camera::State::timingLimits() const {
  TimingLimits limits{description.dwMinExposDESC, description.dwMaxExposDESC, description.dwMinExposStepDESC,
                      description.dwMinDelayDESC, description.dwMaxDelayDESC, description.dwMinDelayStepDESC};
  if (description.wAltSensitivityDESC != 0) {
    uint16_t mode = 0;
    throwIfFailed(VYK_GetAltSensitivityMode(dev(), &mode));
    if (mode != 0) {
      limits = {description.dwMinExposAltDESC, description.dwMaxExposAltDESC, description.dwMinExposStepAltDESC,
                description.dwMinDelayAltDESC, description.dwMaxDelayAltDESC, description.dwMinDelayStepAltDESC};
    }
  }
  return limits;
}

void Camera::State::validateAndSendTimes(double exposure, double delay) {
  const TimingLimits limits = timingLimits();
  if (exposure < 0.0 || exposure < lowestExposure(limits)) {
    throw CameraException("invalid exposure time: smaller than min limit or negative", kInvalid);
  }
  if (exposure > limits.maxExposureMs * 0.001) {
    throw CameraException("invalid exposure time: greater than max limit", kInvalid);
  }
  if (delay < 0.0 || delay < limits.minDelayNs * 1e-9) {
    throw CameraException("invalid delay time: smaller than min limit or negative", kInvalid);
  }
  if (delay > limits.maxDelayMs * 0.001) {
    throw CameraException("invalid delay time: greater than max limit", kInvalid);
  }
  const DeviceTime e = DeviceTime::fromSeconds(exposure);
  const DeviceTime d = DeviceTime::fromSeconds(delay);
  throwIfFailed(VYK_SetDelayExposureTime(dev(), d.value, e.value, d.base, e.base));
}

void Camera::State::handOnAutoExposure(bool starting) {
  if (!recorder) return;
  recorder->setAutoExposureRegion(static_cast<uint16_t>(autoExposure.region));
  if (!starting && !recording()) return;
  // Both limits travel in the one time base that the maximum needs.
  const uint16_t base = DeviceTime::fromSeconds(autoExposure.max_exposure_s).base;
  recorder->setAutoExposure(autoExposureOn, 3, DeviceTime::countIn(autoExposure.min_exposure_s, base),
                            DeviceTime::countIn(autoExposure.max_exposure_s, base), base);
}

bool Camera::State::recording() {
  if (!recorder) return false;
  RecorderHandle::Status status;
  if (!recorder->queryStatus(status)) return false;
  // A recording that ended by itself (a full sequence or segment) may still have the
  // recorder's worker switching the camera off, and the camera refuses settings until
  // then; winding the recorder up waits for that.
  if (!status.running) recorder->windUp();
  return status.running;
}

uint32_t Camera::State::currentPixelFormatFlag() const {
  uint32_t current = 0;
  uint32_t supported = 0;
  throwIfFailed(VYK_GetPixelFormat(dev(), &current, &supported));
  return current;
}

bool Camera::State::rawIsByteNow() const {
  if (pixelFormatSelectable()) return currentPixelFormatFlag() == 0x10;
  return description.wDynResDESC < 9;
}

bool Camera::State::recorderOnCamRam() const { return recorder && recorder->settings().onCamRam(); }

void Camera::State::segmentCounts(uint32_t& valid, uint32_t& maximum) const {
  throwIfFailed(VYK_GetNumberOfImagesInSegment(dev(), activeSegment, &valid, &maximum));
}

void Camera::State::dropRecorder() {
  if (!recorder) return;
  recorder->stop();
  recorder.reset();
}

// ---- open and close ----------------------------------------------------------------

Camera::Camera(InterfaceType interfaceType, uint32_t serial) : _s(std::make_unique<State>()) {
  try {
    _s->open(interfaceType, serial);
    _s->buildSensorInfo();
    _s->conversions.build(_s->colored, _s->description.wDynResDESC, _s->sensorInfo);
    defaultConfiguration();
  } catch (...) {
    close();
    throw;
  }
}

Camera::~Camera() {
  try {
    if (isRecording()) stop();
  } catch (...) {
    // A failing stop must not keep the camera from closing.
  }
  close();
}

void Camera::close() noexcept {
  try {
    _s->conversions.release([](int32_t result) { printCloseLine(result); });
    if (_s->recorder) {
      const int32_t result = _s->recorder->release();
      _s->recorder.reset();
      if (result != VYK_NOERROR) printCloseLine(result);
    }
    VYK_HANDLE handle = _s->device.load();
    if (handle == nullptr) return;
    if (_s->optionalResourceHeld) {
      const int32_t result = VYK_ReleaseOptionalResource(handle);
      _s->optionalResourceHeld = false;
      if (result != VYK_NOERROR) printCloseLine(result);
    }
    const int32_t result = VYK_CloseCamera(handle);
    _s->device.store(nullptr);
    if (VYK_FAILED(result)) {
      std::cout << CameraCloseLine::ofDeviceClose(result) << std::endl;
    } else if (result != VYK_NOERROR) {
      printCloseLine(result);
    }
  } catch (...) {
    // Closing never throws; an output failure is the only thing that can end up here.
    _s->device.store(nullptr);
  }
}

// ---- identity -----------------------------------------------------------------------

std::string Camera::getName() const { return _s->name; }

uint32_t Camera::getSerial() const { return _s->cameraType.dwSerialNumber; }

InterfaceType Camera::getInterface() const { return _s->interfaceType; }

bool Camera::isColored() const { return _s->colored; }

Description Camera::getDescription() {
  Description d;
  d.serial = _s->cameraType.dwSerialNumber;
  d.type = _s->cameraType.wCamType;
  d.sub_type = _s->cameraType.wCamSubType;
  d.interface_type = _s->interfaceType;
  d.is_colored = _s->colored;
  if (_s->dev() == nullptr) return d;

  _s->readDescription();
  const VYK_Description& desc = _s->description;
  const uint32_t caps = desc.dwGeneralCapsDESC1;
  VYK_Description2 second;
  std::memset(&second, 0, sizeof(second));
  second.wSize = sizeof(VYK_Description2);
  const bool hasSecond = (caps & kCapsDescription2) != 0;
  if (hasSecond) throwIfFailed(VYK_GetCameraDescription2(_s->dev(), &second));

  const TimingLimits limits = _s->timingLimits();
  d.min_exposure_time_s = limits.minExposureNs / 1e9;
  d.max_exposure_time_s = limits.maxExposureMs / 1000.0;
  d.min_exposure_step_s = limits.exposureStepNs / 1e9;
  d.min_delay_time_s = limits.minDelayNs / 1e9;
  d.max_delay_time_s = limits.maxDelayMs / 1000.0;
  d.min_delay_step_s = limits.delayStepNs / 1e9;

  uint16_t sensorFormat = VYK_SENSORFORMAT_STANDARD;
  throwIfFailed(VYK_GetSensorFormat(_s->dev(), &sensorFormat));
  const bool extended = sensorFormat != VYK_SENSORFORMAT_STANDARD;
  d.max_width = extended ? desc.wMaxHorzResExtDESC : desc.wMaxHorzResStdDESC;
  d.max_height = extended ? desc.wMaxVertResExtDESC : desc.wMaxVertResStdDESC;
  d.min_width = hasSecond ? second.wMinSizeHorzDESC : 0;
  d.min_height = hasSecond ? second.wMinSizeVertDESC : 0;
  d.roi_step_horz = desc.wRoiHorStepsDESC;
  d.roi_step_vert = desc.wRoiVertStepsDESC;
  d.roi_symmetric_vert = (caps & kCapsRoiSymmetricVert) != 0;
  d.roi_symmetric_horz = (caps & kCapsRoiSymmetricHorz) != 0;
  d.bit_resolution = desc.wDynResDESC;
  d.has_timestamp_mode = (caps & kCapsNoTimestamp) == 0;
  d.has_timestamp_mode_ascii_only = (caps & kCapsTimestampAscii) != 0;
  for (uint32_t rate : desc.dwPixelRateDESC) {
    if (rate != 0) d.pixelrate_vec.push_back(rate);
  }
  for (uint16_t factor : desc.wConvFactDESC) {
    if (factor != 0) d.conversion_factor_vec.push_back(factor / 100.0);
  }
  d.has_trigger_mode_extexpctrl = (caps & kCapsNoExtExpCtrl) == 0;
  d.has_acquire_mode = (caps & kCapsNoAcquireMode) == 0;
  d.has_ext_acquire_mode = (caps & kCapsExtAcquireMode) != 0;
  d.has_metadata_mode = (caps & kCapsMetadata) != 0;
  d.has_ram = (caps & kCapsNoCamRam) == 0;
  auto binningSteps = [](uint16_t maximum, uint16_t stepping) {
    std::vector<uint16_t> values;
    for (uint32_t v = 1; v <= maximum; v = stepping == 1 ? v + 1 : v * 2) values.push_back(static_cast<uint16_t>(v));
    return values;
  };
  d.binning_horz_vec = binningSteps(desc.wMaxBinHorzDESC, desc.wBinHorzSteppingDESC);
  d.binning_vert_vec = binningSteps(desc.wMaxBinVertDESC, desc.wBinVertSteppingDESC);
  d.has_average_binning = (desc.dwGeneralCapsDESC2 & kCaps2AverageBinning) != 0;
  if (_s->pixelFormatSelectable()) {
    uint32_t current = 0;
    uint32_t supported = 0;
    throwIfFailed(VYK_GetPixelFormat(_s->dev(), &current, &supported));
    for (uint32_t flag = 0x1; flag <= 0x80; flag <<= 1) {
      if ((supported & flag) != 0) d.pixel_format_vec.push_back(flag);
    }
  } else {
    d.pixel_format_vec.push_back(PixelFormat::flagOfBits(desc.wDynResDESC));
  }
  d.line_sensor_mode = (caps & kCapsLineSensor) == 0 ? 0 : (d.max_height < 2 ? 1 : 2);
  return d;
}

SensorInfo Camera::getSensorInfo() const { return _s->sensorInfo; }

CameraHealth Camera::getHealth() const noexcept {
  CameraHealth health;
  health.result = VYK_GetCameraHealthStatus(_s->dev(), &health.warnings, &health.errors, &health.status);
  return health;
}

double Camera::getFrameTime() const {
  uint32_t seconds = 0;
  uint32_t nanoseconds = 0;
  throwIfFailed(VYK_GetFrameTime(_s->dev(), &seconds, &nanoseconds));
  return seconds + nanoseconds / 1e9;
}

// ---- settings -------------------------------------------------------------------------

void Camera::defaultConfiguration() {
  VYK_HANDLE dev = _s->dev();
  if (_s->hasCamRam()) {
    uint16_t segment = 0;
    throwIfFailed(VYK_GetActiveRamSegment(dev, &segment));
    switchToCamRam(segment);
  }
  uint16_t state = 0;
  throwIfFailed(VYK_GetRecordingState(dev, &state));
  if (state != 0) throwIfFailed(VYK_SetRecordingState(dev, 0));
  throwIfFailed(VYK_ResetSettingsToDefault(dev));
  throwIfFailed(VYK_SetTransferMode(dev, 1));
  _s->switchMetadataOn();

  // The stored auto-exposure limits must lie within the device's exposure range.
  const VYK_Description& desc = _s->description;
  const double minExposure = static_cast<double>(desc.dwMinExposDESC);
  const double step = static_cast<double>(desc.dwMinExposStepDESC);
  if ((minExposure - step) * 1e-9 > _s->autoExposure.min_exposure_s) {
    _s->autoExposure.min_exposure_s = (minExposure + step) * 1e-9;
  }
  if (_s->autoExposure.max_exposure_s > desc.dwMaxExposDESC * 0.001) {
    _s->autoExposure.max_exposure_s = desc.dwMaxExposDESC * 0.001;
  }
  _s->arm();
}

Configuration Camera::getConfiguration() {
  VYK_HANDLE dev = _s->dev();
  const uint32_t caps = _s->caps1();
  Configuration c = Configuration::unset();
  c.auto_exposure = AutoExposure{};

  uint32_t delay = 0;
  uint32_t exposure = 0;
  uint16_t delayBase = 0;
  uint16_t exposureBase = 0;
  throwIfFailed(VYK_GetDelayExposureTime(dev, &delay, &exposure, &delayBase, &exposureBase));
  c.delay_time_s = DeviceTime::toSeconds(delay, delayBase);
  c.exposure_time_s = DeviceTime::toSeconds(exposure, exposureBase);

  uint16_t x0 = 0, y0 = 0, x1 = 0, y1 = 0;
  throwIfFailed(VYK_GetROI(dev, &x0, &y0, &x1, &y1));
  c.roi = Roi{x0, y0, x1, y1};

  if ((caps & kCapsNoTimestamp) == 0) {
    throwIfFailed(VYK_GetTimestampMode(dev, &c.timestamp_mode));
  } else {
    c.timestamp_mode = kUnset16;
  }
  uint32_t rate = 0;
  c.pixelrate = VYK_FAILED(VYK_GetPixelRate(dev, &rate)) ? 0 : rate;
  uint16_t factor = 0;
  c.conversion_factor = VYK_FAILED(VYK_GetConversionFactor(dev, &factor)) ? 0.0 : factor / 100.0;
  throwIfFailed(VYK_GetTriggerMode(dev, &c.trigger_mode));
  if ((caps & kCapsNoAcquireMode) == 0) {
    if ((caps & kCapsExtAcquireMode) != 0) {
      uint32_t number = 0;
      throwIfFailed(VYK_GetAcquireModeEx(dev, &c.acquire_mode, &number));
      c.acquire_sequence_number = c.acquire_mode == VYK_ACQUIRE_SEQUENCE ? number : kUnset32;
    } else {
      throwIfFailed(VYK_GetAcquireMode(dev, &c.acquire_mode));
    }
  }
  if ((caps & kCapsMetadata) != 0) {
    throwIfFailed(VYK_GetMetaDataMode(dev, &c.metadata_mode, nullptr, nullptr));
  } else {
    c.metadata_mode = 0;
  }
  if ((caps & kCapsNoiseFilter) != 0) throwIfFailed(VYK_GetNoiseFilterMode(dev, &c.noise_filter_mode));

  uint16_t horz = 0;
  uint16_t vert = 0;
  throwIfFailed(VYK_GetBinning(dev, &horz, &vert));
  c.binning.horz = horz & kBinningFactorMask;
  c.binning.vert = vert & kBinningFactorMask;
  c.binning.mode = (horz >> 12) == 0x1 ? BinningMode::Average : BinningMode::Sum;

  c.pixel_format = _s->pixelFormatSelectable() ? _s->currentPixelFormatFlag()
                                               : PixelFormat::flagOfBits(_s->description.wDynResDESC);
  c.auto_exposure = _s->autoExposure;
  return c;
}

void Camera::setConfiguration(const Configuration& c) {
  if (_s->recording()) throw CameraException("Can not set configuration if recoding is running!", kRecordingRuns);
  VYK_HANDLE dev = _s->dev();
  const VYK_Description& desc = _s->description;
  const uint32_t caps = _s->caps1();

  // 1. Timing: a missing one of the two times keeps the device's current value.
  if (!(isUnset(c.exposure_time_s) && isUnset(c.delay_time_s))) {
    double exposure = c.exposure_time_s;
    double delay = c.delay_time_s;
    if (isUnset(exposure) || isUnset(delay)) {
      uint32_t d = 0, e = 0;
      uint16_t db = 0, eb = 0;
      throwIfFailed(VYK_GetDelayExposureTime(dev, &d, &e, &db, &eb));
      if (isUnset(exposure)) exposure = DeviceTime::toSeconds(e, eb);
      if (isUnset(delay)) delay = DeviceTime::toSeconds(d, db);
    }
    _s->validateAndSendTimes(exposure, delay);
  }
  // 2. ROI; the device counts in 16 bits, so wider coordinates are refused, not cut.
  if (c.roi.isSet()) {
    for (uint64_t v : {c.roi.x0, c.roi.y0, c.roi.x1, c.roi.y1}) {
      if (v > 0xFFFF) throw CameraException(kInvalid);
    }
    throwIfFailed(VYK_SetROI(dev, static_cast<uint16_t>(c.roi.x0), static_cast<uint16_t>(c.roi.y0),
                             static_cast<uint16_t>(c.roi.x1), static_cast<uint16_t>(c.roi.y1)));
  }
  // 3. Timestamp mode.
  if (!isUnset(c.timestamp_mode) && (caps & kCapsNoTimestamp) == 0) {
    throwIfFailed(VYK_SetTimestampMode(dev, c.timestamp_mode));
  }
  // 4. Pixel rate.
  auto anyNonZero = [](const auto& values) {
    for (auto v : values) {
      if (v != 0) return true;
    }
    return false;
  };
  if (!isUnset(c.pixelrate) && anyNonZero(desc.dwPixelRateDESC)) {
    throwIfSettingFailed(VYK_SetPixelRate(dev, c.pixelrate));
  }
  // 5. Conversion factor, sent x 100; the device field is 16-bit.
  if (!isUnset(c.conversion_factor) && anyNonZero(desc.wConvFactDESC)) {
    const double scaled = std::round(c.conversion_factor * 100.0);
    if (c.conversion_factor < 0.0 || c.conversion_factor > 65535.0 || scaled > 65535.0) {
      throw CameraException("conversion_factor is out of range", kInvalid);
    }
    throwIfSettingFailed(VYK_SetConversionFactor(dev, static_cast<uint16_t>(scaled)));
  }
  // 6. Trigger mode.
  if (!isUnset(c.trigger_mode)) throwIfFailed(VYK_SetTriggerMode(dev, c.trigger_mode));
  // 7. Acquire mode.
  if (!isUnset(c.acquire_mode) && (caps & kCapsNoAcquireMode) == 0) {
    if ((caps & kCapsExtAcquireMode) != 0) {
      const bool sequence = c.acquire_mode == VYK_ACQUIRE_SEQUENCE;
      if (sequence && isUnset(c.acquire_sequence_number)) {
        throw CameraException("unspecified value for acquire_sequence_number.", kLayer);
      }
      throwIfFailed(VYK_SetAcquireModeEx(dev, c.acquire_mode, sequence ? c.acquire_sequence_number : 0));
    } else {
      throwIfFailed(VYK_SetAcquireMode(dev, c.acquire_mode));
    }
  }
  // 8. Metadata mode.
  if (!isUnset(c.metadata_mode) && (caps & kCapsMetadata) != 0) {
    uint16_t size = 0, version = 0;
    throwIfFailed(VYK_SetMetaDataMode(dev, c.metadata_mode, &size, &version));
  }
  // 9. Noise filter.
  if (!isUnset(c.noise_filter_mode) && (caps & kCapsNoiseFilter) != 0) {
    throwIfFailed(VYK_SetNoiseFilterMode(dev, c.noise_filter_mode));
  }
  // 10. Binning: a missing factor keeps the device's current factor.
  if (!(isUnset(c.binning.horz) && isUnset(c.binning.vert))) {
    uint16_t horz = c.binning.horz;
    uint16_t vert = c.binning.vert;
    if (isUnset(horz) || isUnset(vert)) {
      uint16_t currentHorz = 0, currentVert = 0;
      throwIfFailed(VYK_GetBinning(dev, &currentHorz, &currentVert));
      if (isUnset(horz)) horz = currentHorz & kBinningFactorMask;
      if (isUnset(vert)) vert = currentVert & kBinningFactorMask;
    }
    if (c.binning.mode == BinningMode::Average) {
      horz = static_cast<uint16_t>(horz + kBinningAverage);
      vert = static_cast<uint16_t>(vert + kBinningAverage);
    }
    throwIfFailed(VYK_SetBinning(dev, horz, vert));
  }
  // 11. Auto exposure: unset (NaN) limits keep the stored ones.
  _s->autoExposure.region = c.auto_exposure.region;
  if (!isUnset(c.auto_exposure.min_exposure_s)) _s->autoExposure.min_exposure_s = c.auto_exposure.min_exposure_s;
  if (!isUnset(c.auto_exposure.max_exposure_s)) _s->autoExposure.max_exposure_s = c.auto_exposure.max_exposure_s;
  _s->handOnAutoExposure(false);
  // 12. Pixel format.
  if (!isUnset(c.pixel_format)) {
    const uint32_t flag = c.pixel_format;
    const bool singleFlag = flag != 0 && (flag & (flag - 1)) == 0;
    if (_s->pixelFormatSelectable()) {
      uint32_t current = 0, supported = 0;
      throwIfFailed(VYK_GetPixelFormat(dev, &current, &supported));
      if (!singleFlag || (supported & flag) == 0) {
        throw CameraException("unsupported pixelformat flag: " + std::to_string(flag), kInvalid);
      }
      throwIfFailed(VYK_SetPixelFormat(dev, flag));
    } else if (flag != PixelFormat::flagOfBits(desc.wDynResDESC)) {
      throw CameraException("unsupported pixelformat flag: " + std::to_string(flag), kInvalid);
    }
  }
  // 13. Arm.
  _s->arm();
}

double Camera::getExposureTime() { return getConfiguration().exposure_time_s; }

double Camera::getDelayTime() { return getConfiguration().delay_time_s; }

void Camera::setExposureTime(double exposure_s) {
  if (std::isnan(exposure_s)) throw CameraException("invalid exposure time: NaN", kInvalid);
  const Configuration current = getConfiguration();
  _s->validateAndSendTimes(exposure_s, current.delay_time_s);
  if (!_s->recording()) _s->arm();
}

void Camera::setDelayTime(double delay_s) {
  if (std::isnan(delay_s)) throw CameraException("invalid delay time: NaN", kInvalid);
  const Configuration current = getConfiguration();
  _s->validateAndSendTimes(current.exposure_time_s, delay_s);
  if (!_s->recording()) _s->arm();
}

void Camera::configureAutoExposure(AutoExposureRegion region, double minExposure_s, double maxExposure_s) {
  if (_s->recording()) {
    throw CameraException("Can not set auto exp configuration if recoding is running!", kRecordingRuns);
  }
  if (std::isnan(minExposure_s) || std::isnan(maxExposure_s)) {
    throw CameraException("invalid exposure time limits for auto exposure: NaN", kInvalid);
  }
  if (minExposure_s >= maxExposure_s) {
    throw CameraException("invalid exposure time limits for auto exposure: min >= max", kInvalid);
  }
  const TimingLimits limits = _s->timingLimits();
  if (minExposure_s < 0.0 || minExposure_s < lowestExposure(limits)) {
    throw CameraException("invalid exposure time limits for auto exposure: smaller than min limit or negative",
                          kInvalid);
  }
  if (maxExposure_s > limits.maxExposureMs * 0.001) {
    throw CameraException("invalid exposure time limits for auto exposure: greater than max limit", kInvalid);
  }
  _s->autoExposure = AutoExposure{region, minExposure_s, maxExposure_s};
  _s->handOnAutoExposure(false);
}

void Camera::autoExposureOn() {
  _s->autoExposureOn = true;
  _s->handOnAutoExposure(false);
}

void Camera::autoExposureOff() {
  _s->autoExposureOn = false;
  _s->handOnAutoExposure(false);
}

ConvertControl Camera::getConvertControl(DataFormat format) { return _s->conversions.getControl(format); }

void Camera::setConvertControl(DataFormat format, const ConvertControl& control) {
  _s->conversions.setControl(format, control);
}

RawFormat Camera::getRawFormat() {
  if (_s->recorder) return _s->rawIsByte ? RawFormat::Byte : RawFormat::Word;
  return _s->rawIsByteNow() ? RawFormat::Byte : RawFormat::Word;
}

bool Camera::trigger() {
  if (!_s->recording()) return false;
  uint16_t accepted = 0;
  throwIfFailed(VYK_ForceTrigger(_s->dev(), &accepted));
  return accepted != 0;
}

// ---- recording --------------------------------------------------------------------------

void Camera::record(uint32_t imageCount, RecordMode mode, const std::filesystem::path& filePath, uint16_t flags) {
  State& s = *_s;
  VYK_HANDLE dev = s.dev();
  const RecordModeInfo info = RecordModeInfo::of(mode);
  s.lastRecorderImageNumber = 0;

  if (info.isCamRam()) {
    if (!s.hasCamRam()) throw CameraException("Camera does not support CamRam!", kInvalid);
    uint32_t maximum = 0;
    if (s.recorderOnCamRam()) {
      maximum = s.recorderCapacity;
    } else {
      uint32_t valid = 0;
      s.segmentCounts(valid, maximum);
    }
    if (maximum == 0) throw CameraException("Camera has no memory allocated for the active segment", kNoSegmentMemory);
    if (imageCount != maximum) {
      std::cout << "CamRam record mode: required_recorder_buffer_size is set automatically to maximum : " << maximum
                << std::endl;
      imageCount = maximum;
    }
    s.switchMetadataOn();
    throwIfFailed(VYK_SetStorageMode(dev, VYK_STORAGE_RECORDER));
  }
  if (s.hasCamRam()) {
    throwIfFailed(VYK_SetRecorderSubmode(dev, mode == RecordMode::CamramSegment ? VYK_RAM_SUBMODE_SEQUENCE
                                                                                : VYK_RAM_SUBMODE_RING));
  }
  s.rawIsByte = s.rawIsByteNow();
  if (imageCount == 0) throw CameraException(kInvalid);

  // The camera cannot be armed while the previous recording still has it recording.
  if (s.recorder) s.recorder->stop();
  s.arm();
  uint16_t timestampMode = VYK_TIMESTAMP_OFF;
  if ((s.caps1() & kCapsNoTimestamp) == 0) throwIfFailed(VYK_GetTimestampMode(dev, &timestampMode));
  s.timestampOn = timestampMode == VYK_TIMESTAMP_BINARY || timestampMode == VYK_TIMESTAMP_BINARY_ASCII;
  uint16_t metadataMode = 0;
  if (s.hasMetadata()) throwIfFailed(VYK_GetMetaDataMode(dev, &metadataMode, nullptr, nullptr));
  s.metadataOn = s.hasMetadata() && metadataMode != 0;

  uint16_t x0 = 0, y0 = 0, x1 = 0, y1 = 0;
  throwIfFailed(VYK_GetROI(dev, &x0, &y0, &x1, &y1));
  s.lastRoi = Roi{x0, y0, x1, y1};
  if (s.description.wDoubleImageDESC != 0) {
    uint16_t doubleImage = 0;
    throwIfFailed(VYK_GetDoubleImageMode(dev, &doubleImage));
    s.imagesPerExposure = doubleImage != 0 ? 2 : 1;
  }

  s.dropRecorder();
  s.buildSensorInfo();
  s.conversions.setSensorInfo(s.sensorInfo);

  if (info.needsPath == filePath.empty()) throw CameraException(kPathRule);
  if (imageCount < info.minimumImages) throw CameraException(kNoSegmentMemory);
  // The recorder takes paths in the local 8-bit code page.
  const std::string path = info.isFile() ? filePath.string() : std::string();

  s.recorder = std::make_unique<RecorderHandle>(dev, info.mode | flags, path);
  s.recorderCapacity = s.recorder->capacity();

  imageCount = MemoryRule::fit(imageCount, s.recorderCapacity, info.isCamRam(), std::cout);
  s.recorder->init(imageCount, info.type, info.isFile() ? 1 : 0, path, info.isCamRam() ? s.activeSegment : 0);

  s.handOnAutoExposure(true);
  s.recorder->start();
  s.conversions.markAllAutoRangePending();

  if (info.blocking) {
    for (;;) {
      const RecorderHandle::Status status = s.recorder->status();
      if (!status.running) {
        // The camera is switched off before the caller gets it back.
        s.recorder->windUp();
        if (status.errorStatus != 0) throw CameraException(static_cast<uint32_t>(status.errorStatus));
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  }
}

void Camera::stop() {
  if (_s->recorder) _s->recorder->stop();
}

bool Camera::isRecording() { return _s->recording(); }

uint32_t Camera::getRecordedImageCount() { return _s->recorder ? _s->recorder->status().recorded : 0; }

uint32_t Camera::getRecorderBufferSize() { return _s->recorder ? _s->recorder->status().bufferSize : 0; }

uint64_t Camera::getLostImageCount() { return _s->recorder ? _s->recorder->lostFrames() : 0; }

namespace {

// Polls done() until it returns true: sleeps 1 ms between polls when delay is set and
// fails with the time-out code once timeout_s (unless NaN) has passed.
template <typename Done>
void pollUntil(bool delay, double timeout_s, Done done) {
  const auto start = std::chrono::steady_clock::now();
  for (;;) {
    if (done()) return;
    if (delay) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    if (!std::isnan(timeout_s)) {
      const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
      if (elapsed.count() >= timeout_s) throw CameraException(kTimeout);
    }
  }
}

// Throws the failure that ended a recording (a file that could not be written, a camera
// that stopped answering). Lost frames alone end no recording and are not thrown here.
void throwIfEndedByFailure(const RecorderHandle::Status& status) {
  if (!status.running && status.errorStatus != 0 && status.errorStatus != VYK_ERR_BUFFER_OVERRUN &&
      status.errorStatus != VYK_ERR_INCOMPLETE_IMAGES) {
    throw CameraException(static_cast<uint32_t>(status.errorStatus));
  }
}

}  // namespace

void Camera::waitForFirstImage(bool delay, double timeout_s) {
  if (!_s->recorder) {
    throw CameraException("Camera has no recorder yet. Call \"record(...)\" before \"waitForFirstImage(...)\"",
                          kNoRecording);
  }
  RecorderHandle& recorder = *_s->recorder;
  pollUntil(delay, timeout_s, [&] {
    const RecorderHandle::Status status = recorder.status();
    if (status.recorded > 0) return true;
    // A recorder that has ended without an image will never deliver one: waiting on
    // would hang the caller (and whoever joins it) for good.
    if (!status.running) {
      if (status.errorStatus != 0) throw CameraException(static_cast<uint32_t>(status.errorStatus));
      return true;
    }
    return false;
  });
}

void Camera::waitForNewImage(bool delay, double timeout_s) {
  if (!_s->recorder) {
    throw CameraException("Camera has no recorder yet. Call \"record(...)\" before \"waitForNewImage(...)\"",
                          kNoRecording);
  }
  RecorderHandle& recorder = *_s->recorder;
  const RecorderHandle::Settings settings = recorder.settings();
  const uint32_t& last = _s->lastRecorderImageNumber;
  pollUntil(delay, timeout_s, [&] {
    const RecorderHandle::Status status = recorder.status();
    // An ended recording brings no new image; one that ended by a failure reports it.
    throwIfEndedByFailure(status);
    if (!status.running) return true;
    if (settings.onCamRam() && last == 0xFFFFFFFFu) return true;
    if (settings.typeBits() > 2 && status.recorded != 0) return true;
    return status.recorded > last;
  });
}

void Camera::image(Image& target, uint64_t index, DataFormat format,
                   const std::optional<CompressionParams>& compression) {
  Roi whole{1, 1, 1, 1};
  if (_s->recorder) {
    const RecorderHandle::Settings settings = _s->recorder->settings();
    whole = Roi{1, 1, settings.width, settings.height};
  }
  image(target, whole, index, format, compression);
}

void Camera::image(Image& target, const Roi& roi, uint64_t index, DataFormat format,
                   const std::optional<CompressionParams>& compression) {
  State& s = *_s;
  if (!s.recorder) {
    if (s.hasCamRam()) throw CameraException("Camera has no memory allocated for the active segment", kNoSegmentMemory);
    throw CameraException("Camera has not recorded yet. Call \"record(...)\" before \"image(...)\"", kNoRecording);
  }
  if (format == DataFormat::Undefined) format = s.rawIsByte ? DataFormat::Mono8 : DataFormat::Mono16;
  if (s.rawIsByte && format != DataFormat::Mono8 && format != DataFormat::CompressedMono8) {
    throw CameraException("RawFormat::Byte can not be represented in specified DataFormat!", kInvalid);
  }
  if (!s.colored && format == DataFormat::BGR16) {
    throw CameraException("DataFormat::BGR16 is not supported for mono cameras!", kInvalid);
  }
  // The recorder counts in 16 bits; a region it cannot express is refused, not cut.
  if (!roi.isValid() || roi.x0 == 0 || roi.y0 == 0 || roi.x1 > 0xFFFF || roi.y1 > 0xFFFF) {
    throw CameraException(kInvalid);
  }
  const uint16_t region[4] = {static_cast<uint16_t>(roi.x0), static_cast<uint16_t>(roi.y0),
                              static_cast<uint16_t>(roi.x1), static_cast<uint16_t>(roi.y1)};
  const bool compressed = format == DataFormat::CompressedMono8;
  if (compressed) {
    if (!compression) {
      throw CameraException("Compression parameters are required for DataFormat::CompressedMono8!", kInvalid);
    }
    VYK_CompressionParams params{compression->dGainK, compression->dDarkNoise_e, compression->dDSNU_e,
                                 compression->dPRNU_pct, compression->dLightSourceNoise_pct};
    s.recorder->setCompressionParams(params);
  }

  const RawFormat raw = s.rawIsByte ? RawFormat::Byte : RawFormat::Word;
  if (!target.hasShape(format, roi, raw)) target.reshape(roi, format, raw);
  target.setRoi(roi);
  target.setFormat(format);
  uint8_t* metadata = nullptr;
  uint8_t* timestamp = nullptr;
  // A reused target may carry the blocks of an image of another recording.
  if (s.metadataOn) {
    if (!target.metadata()) target.setMetadata(ImageMetadata{});
    target.metadata()->wSize = sizeof(ImageMetadata);
    metadata = reinterpret_cast<uint8_t*>(&*target.metadata());
  } else {
    target.clearMetadata();
  }
  if (s.timestampOn) {
    if (!target.timestamp()) target.setTimestamp(ImageTimestamp{});
    target.timestamp()->wSize = sizeof(ImageTimestamp);
    timestamp = reinterpret_cast<uint8_t*>(&*target.timestamp());
  } else {
    target.clearTimestamp();
  }

  // A 64-bit index of -1 cut to 32 bits is the recorder's "newest image".
  const auto recorderIndex = static_cast<uint32_t>(index);
  if (compressed) {
    s.recorder->copyCompressed(recorderIndex, region, target.data8().data(), metadata, timestamp);
    return;
  }
  uint32_t number = 0;
  if (s.rawIsByte) {
    number = s.recorder->copy8(recorderIndex, region, target.rawData8().data(), metadata, timestamp);
  } else {
    number = s.recorder->copy(recorderIndex, region, target.rawData16().data(), metadata, timestamp);
  }
  target.setRecorderImageNumber(number);
  s.lastRecorderImageNumber = number;

  if (s.rawIsByte || format == DataFormat::Mono16) return;
  s.conversions.convert(format, ColorPattern::code(s.description.wColorPatternDESC, roi, s.lastRoi), target);
}

// ---- camera RAM ------------------------------------------------------------------------

namespace {

// Pages of camera RAM per percent; 0 when the RAM is smaller than 100 pages.
uint32_t pagesPerPercent(VYK_HANDLE dev) {
  VYK_RamSize ramSize;
  std::memset(&ramSize, 0, sizeof(ramSize));
  ramSize.wSize = sizeof(VYK_RamSize);
  throwIfFailed(VYK_GetCameraRamSize(dev, &ramSize));
  return ramSize.dwRamSize / 100;
}

}  // namespace

std::vector<uint32_t> Camera::getCamRamAllocation() {
  if (!_s->hasCamRam()) throw CameraException("Camera does not support CamRam!", kInvalid);
  const uint32_t unit = pagesPerPercent(_s->dev());
  uint32_t sizes[VYK_RAM_SEGMENTS] = {};
  throwIfFailed(VYK_GetCameraRamSegmentSize(_s->dev(), sizes));
  std::vector<uint32_t> percentages;
  // Below 100 pages there is no whole page per percent; nothing can be allocated then.
  for (uint32_t size : sizes) percentages.push_back(unit == 0 ? 0 : size / unit);
  return percentages;
}

void Camera::setCamRamAllocation(const std::vector<uint32_t>& percentages) {
  if (!_s->hasCamRam()) throw CameraException("Camera does not support CamRam!", kInvalid);
  std::vector<uint32_t> four(percentages.begin(),
                             percentages.begin() + std::min<std::size_t>(percentages.size(), VYK_RAM_SEGMENTS));
  four.resize(VYK_RAM_SEGMENTS, 0);
  uint64_t sum = 0;  // 64-bit, so huge entries cannot wrap below 100
  for (uint32_t p : four) sum += p;
  if (sum > 100) throw CameraException("Sum of percentages is greater than 100%", kInvalid);
  const uint32_t unit = pagesPerPercent(_s->dev());
  uint32_t sizes[VYK_RAM_SEGMENTS] = {};
  for (std::size_t i = 0; i < VYK_RAM_SEGMENTS; ++i) sizes[i] = four[i] * unit;
  throwIfFailed(VYK_SetCameraRamSegmentSize(_s->dev(), sizes));
}

uint16_t Camera::getCamRamSegment() {
  if (!_s->hasCamRam()) throw CameraException("Camera does not support CamRam!", kNoCamRamQuery);
  uint16_t segment = 0;
  throwIfFailed(VYK_GetActiveRamSegment(_s->dev(), &segment));
  return segment;
}

void Camera::switchToCamRam(uint16_t segment) {
  State& s = *_s;
  if (!s.hasCamRam()) throw CameraException("Camera does not support CamRam!", kNoCamRamQuery);
  VYK_HANDLE dev = s.dev();
  uint16_t state = 0;
  throwIfFailed(VYK_GetRecordingState(dev, &state));
  if (state != 0) throwIfFailed(VYK_SetRecordingState(dev, 0));
  throwIfFailed(VYK_SetActiveRamSegment(dev, segment));
  s.activeSegment = segment;
  s.switchMetadataOn();
  s.dropRecorder();
  s.buildSensorInfo();
  s.conversions.setSensorInfo(s.sensorInfo);
  throwIfFailed(VYK_SetStorageMode(dev, VYK_STORAGE_RECORDER));
  throwIfFailed(VYK_SetRecorderSubmode(dev, VYK_RAM_SUBMODE_RING));
  const int32_t armed = VYK_ArmCamera(dev);
  if ((static_cast<uint32_t>(armed) & kCamRamArmQuiet) == kCamRamArmQuiet) return;
  throwIfFailed(armed);

  s.recorder = std::make_unique<RecorderHandle>(dev, VYK_RECORDER_MODE_CAMRAM, std::string());
  s.recorderCapacity = s.recorder->capacity();
  if (s.recorderCapacity != 0) {
    s.recorder->init(s.recorderCapacity, VYK_RECORDER_CAMRAM_SEGMENT, 0, std::string(), segment);
  }
  const RecorderHandle::Settings settings = s.recorder->settings();
  s.lastRoi = Roi{1, 1, settings.width, settings.height};
  s.lastRecorderImageNumber = 0;
  s.imagesPerExposure = 1;
}

uint32_t Camera::getCamRamMaxImages() {
  if (!_s->hasCamRam()) throw CameraException("Camera does not support CamRam!", kNoCamRamQuery);
  if (_s->recorderOnCamRam()) return _s->recorderCapacity;
  uint32_t valid = 0;
  uint32_t maximum = 0;
  _s->segmentCounts(valid, maximum);
  return maximum;
}

uint32_t Camera::getCamRamNumImages() {
  if (!_s->hasCamRam()) throw CameraException("Camera does not support CamRam!", kNoCamRamQuery);
  if (!_s->recorder) return 0;
  if (_s->recorderOnCamRam()) {
    uint32_t valid = 0;
    uint32_t maximum = 0;
    _s->segmentCounts(valid, maximum);
    return valid;
  }
  return _s->recorder->status().recorded;
}

}  // namespace vyk
