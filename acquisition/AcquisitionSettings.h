#pragma once
// The parameters of one acquisition run. The starter fills them in; each worker thread
// runs on a private copy taken when it starts.

#include <cstdint>
#include <string>

#include "camera/Enums.h"

/// What a CameraAcquisition run does and how; a plain record copied whole into each run.
struct AcquisitionSettings {
  /// Values of mode.
  static constexpr uint32_t kPreview = 0;
  static constexpr uint32_t kSequence = 1;
  static constexpr uint32_t kPlayback = 2;
  static constexpr uint32_t kFile = 3;

  uint32_t mode = kPreview;                                ///< kPreview, kSequence, kPlayback or kFile
  vyk::DataFormat dataFormat = vyk::DataFormat::Mono8;      ///< format in which images are fetched
  vyk::RecordMode recMode = vyk::RecordMode::RingBuffer;    ///< passed to record
  bool noFirstImageWait = false;                           ///< recordings skip the wait for the first image
  uint16_t triggerMode = 0;                                ///< 0 automatic, 1 to 3 triggered, others idle
  int32_t imageCount = 0;  ///< images to record; after a stop, the images that can be shown
  std::string filePath;    ///< target of a file recording; empty otherwise
  uint32_t playFrom = 0;   ///< first image index of playback (0-based, inclusive)
  uint32_t playTo = 0;     ///< last image index of playback (0-based, inclusive)
  int32_t linesPerImage = -1;  ///< line cameras: lines per displayed frame; below 2 = no assembly

  /// Makes these the settings of a preview as the Preview command starts one: a ring buffer
  /// of 10 images, waiting for the first image; the data format and file fields stay.
  void setPreview(uint16_t trigger = 0, int32_t lines = -1) {
    mode = kPreview;
    recMode = vyk::RecordMode::RingBuffer;
    imageCount = 10;
    noFirstImageWait = false;
    triggerMode = trigger;
    linesPerImage = lines;
  }
};
