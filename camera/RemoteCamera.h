#pragma once
// A camera that a device server exposes through its HTTP/JSON API under "/v1/".
// Images arrive as raw pixels and are converted here with the conversion library.

#include <cstdint>
#include <filesystem>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "camera/CompressionParams.h"
#include "camera/Configuration.h"
#include "camera/ConvertControl.h"
#include "camera/Description.h"
#include "camera/Enums.h"
#include "camera/Image.h"
#include "camera/RamAllocation.h"
#include "camera/SensorInfo.h"

namespace vyk {

/// A remote camera. Every failure throws vyk::CameraException (malformed JSON answers
/// throw the JSON library's own exception). State-changing requests are serialised by
/// one request lock; queries may run concurrently, each on its own connection.
class RemoteCamera {
 public:
  /// Time-out value meaning "wait without time-out".
  static constexpr double kNoTimeout = std::numeric_limits<double>::quiet_NaN();
  /// Heartbeat period the application uses, milliseconds.
  static constexpr uint32_t kDefaultHeartbeatMs = 2000;

  /// Connects to the camera served at host:port: reads raw format, colour and sensor info,
  /// builds the local conversion handles and starts the heartbeat (every heartbeatPeriodMs).
  /// Every request carries token when it is not empty; a server that refuses it makes this
  /// throw a CameraException whose message says that the server refused the token.
  RemoteCamera(std::string host, uint16_t port, uint32_t heartbeatPeriodMs = kDefaultHeartbeatMs,
               std::string token = {});
  /// Stops a running recording, ends the heartbeat and sends "/v1/setFree"; never throws.
  ~RemoteCamera();
  RemoteCamera(const RemoteCamera&) = delete;
  RemoteCamera& operator=(const RemoteCamera&) = delete;

  /// Server address.
  const std::string& getHost() const;
  /// Server port.
  uint16_t getPort() const;

  // ---- identity ----
  /// The device name.
  std::string getName();
  /// The serial number.
  uint32_t getSerial();
  /// The interface on which the server's camera is attached.
  InterfaceType getInterface();
  /// Byte when raw pixels are 8-bit, else word.
  RawFormat getRawFormat();
  /// True for a colour sensor.
  bool isColored();
  /// The fixed capabilities.
  Description getDescription();
  /// The sensor description the conversion library needs.
  SensorInfo getSensorInfo();

  // ---- settings ----
  /// The current settings.
  Configuration getConfiguration();
  /// Applies every set field of configuration (locked).
  void setConfiguration(const Configuration& configuration);
  /// Resets the camera to its defaults (locked).
  void defaultConfiguration();
  /// Current exposure time, seconds.
  double getExposureTime();
  /// Sets the exposure time, seconds.
  void setExposureTime(double exposure_s);
  /// Current delay time, seconds.
  double getDelayTime();
  /// Sets the delay time, seconds.
  void setDelayTime(double delay_s);
  /// Switches auto exposure on (locked).
  void autoExposureOn();
  /// Switches auto exposure off (locked).
  void autoExposureOff();
  /// Sets the auto-exposure region and limits in seconds (locked).
  void configureAutoExposure(AutoExposureRegion region, double minExposure_s, double maxExposure_s);
  /// The conversion settings of format as the server keeps them.
  ConvertControl getConvertControl(DataFormat format);
  /// Applies the conversion settings of format locally and on the server (locked); a
  /// pseudocolour LUT is loaded locally and uploaded, and the server's path is sent.
  void setConvertControl(DataFormat format, const ConvertControl& control);
  /// Uploads a LUT file; returns the path under which the server saved it.
  std::string uploadLut(const std::filesystem::path& lutFile);
  /// Software trigger; true when the request succeeded, false on any failure.
  bool trigger();

  // ---- recording ----
  /// Starts a recording (locked). For a file mode a non-empty filePath is sent as
  /// "filePath" and names the file inside the server's recording folder.
  void record(uint32_t imageCount, RecordMode mode, const std::filesystem::path& filePath = {},
              uint16_t flags = 0);
  /// Stops the recording (locked).
  void stop();
  /// True while the server's recorder runs; any failure gives false.
  bool isRecording();
  /// Images recorded so far.
  uint32_t getRecordedImageCount();
  /// The recorder's buffer size in images.
  uint32_t getRecorderBufferSize();
  /// Waits on the server until the recorder holds an image; timeout in seconds (NaN = none).
  void waitForFirstImage(bool delay = true, double timeout_s = kNoTimeout);
  /// Waits on the server for an image newer than the last fetched one, or the recorder's end.
  void waitForNewImage(bool delay = true, double timeout_s = kNoTimeout);
  /// Fetches image index (-1 = newest) into target, converted locally to format
  /// (Undefined = Mono8 for byte raw, else Mono16); the server chooses the crop (locked).
  void image(Image& target, uint64_t index, DataFormat format = DataFormat::Undefined,
             const std::optional<CompressionParams>& compression = std::nullopt);

  // ---- camera RAM ----
  /// The four segment sizes as percentages of the camera RAM.
  std::vector<uint32_t> getCamRamAllocation();
  /// Divides the camera RAM into segments by percentage (locked).
  void setCamRamAllocation(const std::vector<uint32_t>& percentages);
  /// The active segment.
  uint16_t getCamRamSegment();
  /// Makes segment active (locked).
  void switchToCamRam(uint16_t segment);
  /// Images the active segment holds.
  uint32_t getCamRamMaxImages();
  /// Images recorded in the active segment.
  uint32_t getCamRamNumImages();

  // ---- DXR recorder storage (interface CLHS_DXR only, else 0xa0160013) ----
  /// The DXR storage segments (locked).
  std::vector<RamAllocation> getDxrAllocation();
  /// Replaces the DXR storage segments (locked).
  void setDxrAllocation(const std::vector<RamAllocation>& segments);
  /// The DXR segment this camera records into.
  RamAllocation getDxrSegment();

 private:
  struct State;
  std::unique_ptr<State> _s;  // every member; see RemoteCamera.cpp
};

}  // namespace vyk
