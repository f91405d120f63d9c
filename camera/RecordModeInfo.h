#pragma once
// How each RecordMode maps onto the recorder: mode word, type, blocking, path rule and
// the smallest image count.

#include <cstdint>

#include "camera/Enums.h"

namespace vyk {

/// The recorder settings of one RecordMode.
struct RecordModeInfo {
  uint32_t mode = 2;           ///< recorder mode word: 1 files, 2 computer memory, 3 camera RAM
  uint16_t type = 1;           ///< recorder type of that mode
  bool blocking = false;       ///< record returns only when the recording has ended
  bool needsPath = false;      ///< a file path is required (else it must be empty)
  uint32_t minimumImages = 1;  ///< smallest image count (camera RAM: the segment decides)

  /// The settings of mode.
  static RecordModeInfo of(RecordMode mode);
  /// True for the file modes.
  bool isFile() const { return mode == 1; }
  /// True for the camera-RAM modes.
  bool isCamRam() const { return mode == 3; }
};

}  // namespace vyk
