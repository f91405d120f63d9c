#pragma once
// The one camera handle the rest of the program holds: either a local camera or a remote
// one, with every camera operation forwarded to whichever it owns. Shared as
// std::shared_ptr<AnyCamera>; the camera is closed (local) or released on its server
// (remote) when the last owner lets go.

#include <cstdint>
#include <filesystem>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "camera/Camera.h"
#include "camera/CompressionParams.h"
#include "camera/Configuration.h"
#include "camera/ConvertControl.h"
#include "camera/Description.h"
#include "camera/Enums.h"
#include "camera/FairMutex.h"
#include "camera/Image.h"
#include "camera/RamAllocation.h"
#include "camera/RemoteCamera.h"
#include "camera/Roi.h"
#include "camera/SensorInfo.h"

namespace vyk {

/// Owns a vyk::Camera (alternative 0) or a vyk::RemoteCamera (alternative 1) and forwards
/// each operation. Using a handle that holds no camera throws CameraException "AnyCamera
/// holds no camera" (0x160000).
///
/// Thread safety: the GUI thread edits settings while a worker thread fetches images from
/// the same camera, and the cameras themselves keep state that one call must not change
/// under another. So every operation runs under the handle's call lock, served in arrival
/// order, except the identity reads (getName, getSerial, getInterface, isColored) and
/// getHealth, which only read what opening fixed and may run at any time.
class AnyCamera {
 public:
  /// Time-out value meaning "wait without time-out".
  static constexpr double kNoTimeout = std::numeric_limits<double>::quiet_NaN();

  /// Takes ownership of a local camera (a null pointer makes an empty handle).
  explicit AnyCamera(std::unique_ptr<Camera> camera);
  /// Takes ownership of a remote camera (a null pointer makes an empty handle).
  explicit AnyCamera(std::unique_ptr<RemoteCamera> camera);
  /// Closes the local camera or releases the remote one; never throws.
  ~AnyCamera();
  AnyCamera(const AnyCamera&) = delete;
  AnyCamera& operator=(const AnyCamera&) = delete;

  // ---- what the handle holds ----
  /// True when the handle holds a remote camera.
  bool isRemote() const;
  /// True when the handle holds no camera.
  bool isEmpty() const;
  /// The local camera, or nullptr when the handle holds a remote one (or none).
  Camera* local();
  /// The remote camera, or nullptr when the handle holds a local one (or none).
  RemoteCamera* remote();

  // ---- identity ----
  /// The device name.
  std::string getName();
  /// The serial number.
  uint32_t getSerial();
  /// The interface through which the camera is attached (on the server, for a remote one).
  InterfaceType getInterface();
  /// Byte when raw pixels are 8-bit, else word.
  RawFormat getRawFormat();
  /// True for a colour sensor.
  bool isColored();
  /// The fixed capabilities.
  Description getDescription();
  /// The sensor description the conversion library takes.
  SensorInfo getSensorInfo();
  /// Local cameras only: the device's health words (remote: throws 0x160000).
  CameraHealth getHealth();
  /// Local cameras only: time from one image to the next, seconds (remote: throws 0x160000).
  double getFrameTime();

  // ---- settings ----
  /// The current settings.
  Configuration getConfiguration();
  /// Applies every set field of configuration.
  void setConfiguration(const Configuration& configuration);
  /// Resets the camera to its defaults.
  void defaultConfiguration();
  /// Current exposure time, seconds.
  double getExposureTime();
  /// Sets the exposure time, seconds.
  void setExposureTime(double exposure_s);
  /// Current delay time, seconds.
  double getDelayTime();
  /// Sets the delay time, seconds.
  void setDelayTime(double delay_s);
  /// Switches auto exposure on.
  void autoExposureOn();
  /// Switches auto exposure off.
  void autoExposureOff();
  /// Sets the auto-exposure region and limits, seconds.
  void configureAutoExposure(AutoExposureRegion region, double minExposure_s, double maxExposure_s);
  /// The conversion settings of format.
  ConvertControl getConvertControl(DataFormat format);
  /// Applies the conversion settings of format.
  void setConvertControl(DataFormat format, const ConvertControl& control);
  /// Software trigger; true when accepted (a remote camera gives false on any failure).
  bool trigger();

  // ---- recording ----
  /// Starts a recording. filePath names the file of a file mode: a local path for a local
  /// camera, a path inside the server's recording folder for a remote one.
  void record(uint32_t imageCount, RecordMode mode, const std::filesystem::path& filePath = {},
              uint16_t flags = 0);
  /// Stops the recording.
  void stop();
  /// True while a recording runs (a remote camera gives false on any failure).
  bool isRecording();
  /// Images recorded so far.
  uint32_t getRecordedImageCount();
  /// The recorder's buffer size in images.
  uint32_t getRecorderBufferSize();
  /// Waits until the recorder holds an image; timeout in seconds (NaN = none).
  void waitForFirstImage(bool delay = true, double timeout_s = kNoTimeout);
  /// Waits for an image newer than the last fetched one, or the recorder's end.
  void waitForNewImage(bool delay = true, double timeout_s = kNoTimeout);
  /// Fetches image index (-1 = newest) cut to roi into target; the roi reaches a local
  /// camera only (a remote server chooses the crop).
  void image(Image& target, const Roi& roi, uint64_t index, DataFormat format = DataFormat::Undefined,
             const std::optional<CompressionParams>& compression = std::nullopt);
  /// Fetches the whole image index (-1 = newest) into target.
  void image(Image& target, uint64_t index, DataFormat format = DataFormat::Undefined,
             const std::optional<CompressionParams>& compression = std::nullopt);

  // ---- camera RAM ----
  /// The four segment sizes as percentages of the camera RAM.
  std::vector<uint32_t> getCamRamAllocation();
  /// Divides the camera RAM into segments by percentage.
  void setCamRamAllocation(const std::vector<uint32_t>& percentages);
  /// The active segment.
  uint16_t getCamRamSegment();
  /// Makes segment active.
  void switchToCamRam(uint16_t segment);
  /// Images the active segment holds.
  uint32_t getCamRamMaxImages();
  /// Images recorded in the active segment.
  uint32_t getCamRamNumImages();

  // ---- DXR recorder storage: remote CLHS_DXR cameras only (else 0xa0160013) ----
  /// The DXR storage segments.
  std::vector<RamAllocation> getDxrAllocation();
  /// Replaces the DXR storage segments.
  void setDxrAllocation(const std::vector<RamAllocation>& segments);
  /// The DXR segment this camera records into.
  RamAllocation getDxrSegment();

 private:
  Camera& localCamera(const char* operation);
  RemoteCamera& dxrCamera();
  // Runs fn on the held camera under _callLock.
  template <typename Fn>
  decltype(auto) forward(Fn&& fn);
  // Runs fn on the held camera without the lock (identity reads only).
  template <typename Fn>
  decltype(auto) forwardUnlocked(Fn&& fn);

  std::variant<std::unique_ptr<Camera>, std::unique_ptr<RemoteCamera>> _camera;  // the owned camera; fixed at construction
  FairMutex _callLock;  // serialises the camera's operations between the threads that share this handle
};

}  // namespace vyk
