#pragma once
// The camera object for a camera attached to this computer: opens the device through
// the camera device library, validates settings before they reach it, records through
// the recorder library and converts images with the conversion library.

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "camera/AutoExposure.h"
#include "camera/CompressionParams.h"
#include "camera/Configuration.h"
#include "camera/ConvertControl.h"
#include "camera/Description.h"
#include "camera/Enums.h"
#include "camera/Image.h"
#include "camera/Roi.h"
#include "camera/SensorInfo.h"

namespace vyk {

/// Health words of the device, as its health query reports them.
struct CameraHealth {
  int32_t result = 0;     ///< the query's own result code (0 = success)
  uint32_t warnings = 0;  ///< warning bits
  uint32_t errors = 0;    ///< error bits
  uint32_t status = 0;    ///< status bits
};

/// A locally attached camera. Every failure throws vyk::CameraException.
/// No lock of its own: the AnyCamera handle that owns it serialises calls on one camera;
/// only getHealth, getSerial, getName, getInterface and isColored may run concurrently with
/// other calls (they touch the device handle and the records read at open only).
class Camera {
 public:
  /// Time-out value meaning "wait without time-out".
  static constexpr double kNoTimeout = std::numeric_limits<double>::quiet_NaN();

  /// Opens the camera with serial (0xFFFFFFFF = the next free camera) on interfaceType
  /// (Any = every interface) and applies the defaults (defaultConfiguration).
  explicit Camera(InterfaceType interfaceType = InterfaceType::Any, uint32_t serial = 0xFFFFFFFFu);
  /// Stops a running recording, then closes; never throws.
  ~Camera();
  Camera(const Camera&) = delete;
  Camera& operator=(const Camera&) = delete;

  /// Releases conversion handles, recorder and device; never throws, prints "Close with ..." lines.
  void close() noexcept;

  // ---- identity ----
  /// The device name read at open.
  std::string getName() const;
  /// Serial number from the camera type record.
  uint32_t getSerial() const;
  /// The interface on which the camera was opened.
  InterfaceType getInterface() const;
  /// True for a colour sensor.
  bool isColored() const;
  /// The fixed capabilities; after close only is_colored (and the identity) is filled.
  Description getDescription();
  /// The sensor description handed to the conversion library.
  SensorInfo getSensorInfo() const;
  /// The device's health words; never throws (the query's code is in result).
  CameraHealth getHealth() const noexcept;
  /// Time from one image to the next at the armed settings, seconds.
  double getFrameTime() const;

  // ---- settings ----
  /// The current settings read from the device (auto_exposure from the stored values).
  Configuration getConfiguration();
  /// Validates and applies every set field of configuration, then arms.
  void setConfiguration(const Configuration& configuration);
  /// Stops the device, resets it to its defaults and arms it.
  void defaultConfiguration();
  /// Current exposure time, seconds.
  double getExposureTime();
  /// Current delay time, seconds.
  double getDelayTime();
  /// Sets the exposure time (seconds), keeping the delay.
  void setExposureTime(double exposure_s);
  /// Sets the delay time (seconds), keeping the exposure.
  void setDelayTime(double delay_s);
  /// Stores the auto-exposure region and limits (seconds) and hands them to the recorder.
  void configureAutoExposure(AutoExposureRegion region, double minExposure_s, double maxExposure_s);
  /// Switches auto exposure on.
  void autoExposureOn();
  /// Switches auto exposure off.
  void autoExposureOff();
  /// The conversion settings of format, refreshed from its conversion handle.
  ConvertControl getConvertControl(DataFormat format);
  /// Stores and applies the conversion settings of format (loads a pseudocolour LUT).
  void setConvertControl(DataFormat format, const ConvertControl& control);
  /// Byte when raw pixels are 8-bit, else word.
  RawFormat getRawFormat();
  /// Software trigger; true when the device accepted it (false without a running recording).
  bool trigger();

  // ---- recording ----
  /// Starts a recording of imageCount images in mode; filePath only for the file modes.
  void record(uint32_t imageCount, RecordMode mode, const std::filesystem::path& filePath = {},
              uint16_t flags = 0);
  /// Stops the recorder, if any.
  void stop();
  /// True while the recorder runs.
  bool isRecording();
  /// Images recorded so far (0 without a recorder).
  uint32_t getRecordedImageCount();
  /// The recorder's buffer size in images (0 without a recorder).
  uint32_t getRecorderBufferSize();
  /// Images of the current or last recording that were lost: delivered incomplete by the
  /// camera or not taken in time (0 without a recorder).
  uint64_t getLostImageCount();
  /// Waits until the recorder holds an image; delay sleeps 1 ms between polls; timeout in seconds (NaN = none).
  void waitForFirstImage(bool delay = true, double timeout_s = kNoTimeout);
  /// Waits for an image newer than the last fetched one, or the recorder's end.
  void waitForNewImage(bool delay = true, double timeout_s = kNoTimeout);
  /// Fetches image index (-1 = newest) cut to roi (1-based within the image) into target,
  /// converted to format (Undefined = Mono8 for byte raw, else Mono16).
  void image(Image& target, const Roi& roi, uint64_t index, DataFormat format = DataFormat::Undefined,
             const std::optional<CompressionParams>& compression = std::nullopt);
  /// As above over the whole recorded image.
  void image(Image& target, uint64_t index, DataFormat format = DataFormat::Undefined,
             const std::optional<CompressionParams>& compression = std::nullopt);

  // ---- camera RAM ----
  /// The four segment sizes as percentages of the camera RAM.
  std::vector<uint32_t> getCamRamAllocation();
  /// Divides the camera RAM into four segments by percentage (padded / cut to four).
  void setCamRamAllocation(const std::vector<uint32_t>& percentages);
  /// The device's active segment (1 to 4).
  uint16_t getCamRamSegment();
  /// Makes segment active and prepares a camera-RAM recorder to read it.
  void switchToCamRam(uint16_t segment);
  /// Images the active segment holds.
  uint32_t getCamRamMaxImages();
  /// Images recorded in the active segment (or by the current recorder).
  uint32_t getCamRamNumImages();

 private:
  struct State;
  std::unique_ptr<State> _s;  // every member; see Camera.cpp
};

}  // namespace vyk
