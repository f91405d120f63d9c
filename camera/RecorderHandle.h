#pragma once
// Owner of one recorder of the recorder library, bound to one camera.

#include <cstdint>
#include <string>

#include "kv2_cam.h"
#include "vyk_recorder.h"

namespace vyk {

/// One recorder for one camera; deleted (and so stopped) on destruction. Every operation
/// but release and queryStatus throws vyk::CameraException on a failing result.
class RecorderHandle {
 public:
  /// What the recorder's status query reports.
  struct Status {
    bool running = false;        ///< the recording runs
    uint32_t recorded = 0;       ///< images recorded (FIFO: waiting; camera RAM: valid in the segment)
    uint32_t bufferSize = 0;     ///< images the recorder holds for copying
    int32_t errorStatus = 0;     ///< first failure of the recording, 0 when none
  };
  /// What the recorder's settings query reports.
  struct Settings {
    uint32_t word = 0;      ///< bits 16-17 the mode word, bits 0-15 the type
    uint32_t capacity = 0;  ///< capacity reported at create
    uint16_t width = 0;     ///< image width, pixels
    uint16_t height = 0;    ///< image height, pixels
    /// True when the recorder works on camera RAM.
    bool onCamRam() const { return ((word >> 16) & 0x3u) == 3u; }
    /// The type bits (bits 0 and 1).
    uint32_t typeBits() const { return word & 0x3u; }
  };

  /// Creates a recorder for camera with modeWord; filePath only for file modes (empty =
  /// none). Throws the create result on failure, leaving nothing behind.
  RecorderHandle(VYK_HANDLE camera, uint32_t modeWord, const std::string& filePath);
  /// Deletes the recorder; never throws.
  ~RecorderHandle();
  RecorderHandle(const RecorderHandle&) = delete;
  RecorderHandle& operator=(const RecorderHandle&) = delete;

  /// The largest image count that fits, as create reported it.
  uint32_t capacity() const { return _capacity; }
  /// Deletes the recorder now; returns the library result (no throw). Idempotent.
  int32_t release() noexcept;

  /// Prepares a recording of imageCount images of type; a file path only for files.
  /// The file-exists warning counts as success.
  void init(uint32_t imageCount, uint16_t type, uint16_t fileFlag, const std::string& filePath,
            uint16_t segment);
  /// Starts the recording.
  void start();
  /// Stops the recording (no error when it does not run).
  void stop();
  /// Stops a recording that has ended by itself, waiting until the recorder has switched
  /// the camera off. Never throws: the recording's failure stays in the status.
  void windUp() noexcept;
  /// The status; throws on failure.
  Status status() const;
  /// Frames the camera delivered that did not make it into the recording (incomplete, or not
  /// taken in time); throws on failure.
  uint64_t lostFrames() const;
  /// The status into out; false (and out untouched) when the query fails.
  bool queryStatus(Status& out) const noexcept;
  /// The settings; throws on failure.
  Settings settings() const;
  /// Copies image index, cut to x0..x1, y0..y1, as 16-bit values; returns the recorder image number.
  uint32_t copy(uint32_t index, const uint16_t roi[4], uint16_t* buffer, uint8_t* metadata,
                uint8_t* timestamp);
  /// As copy, as 8-bit values (recordings of at most 8 bits).
  uint32_t copy8(uint32_t index, const uint16_t roi[4], uint8_t* buffer, uint8_t* metadata,
                 uint8_t* timestamp);
  /// As copy, companded to one byte per pixel.
  uint32_t copyCompressed(uint32_t index, const uint16_t roi[4], uint8_t* buffer, uint8_t* metadata,
                          uint8_t* timestamp);
  /// Sets the companding parameters of CompressedMono8.
  void setCompressionParams(const VYK_CompressionParams& params);
  /// Sets the region auto exposure measures.
  void setAutoExposureRegion(uint16_t region);
  /// Switches auto exposure on or off with its smoothness and limits in timeBase.
  void setAutoExposure(bool on, uint16_t smoothness, uint32_t minExposure, uint32_t maxExposure,
                       uint16_t timeBase);

 private:
  VYK_RECORDER _recorder = nullptr;  // null after release
  VYK_HANDLE _camera = nullptr;      // the camera recorded; owned by the caller
  uint32_t _capacity = 0;            // from create
};

}  // namespace vyk
