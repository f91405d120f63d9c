#include "camera/RecordModeInfo.h"

#include "vyk_recorder.h"

namespace vyk {

RecordModeInfo RecordModeInfo::of(RecordMode mode) {
  constexpr uint32_t kFile = VYK_RECORDER_MODE_FILE;
  constexpr uint32_t kMemory = VYK_RECORDER_MODE_MEMORY;
  constexpr uint32_t kCamRam = VYK_RECORDER_MODE_CAMRAM;
  switch (mode) {
    case RecordMode::Sequence: return {kMemory, VYK_RECORDER_MEMORY_SEQUENCE, true, false, 1};
    case RecordMode::SequenceNonBlocking: return {kMemory, VYK_RECORDER_MEMORY_SEQUENCE, false, false, 1};
    case RecordMode::RingBuffer: return {kMemory, VYK_RECORDER_MEMORY_RING, false, false, 4};
    case RecordMode::Fifo: return {kMemory, VYK_RECORDER_MEMORY_FIFO, false, false, 4};
    case RecordMode::Tif: return {kFile, VYK_RECORDER_FILE_TIFF, false, true, 1};
    case RecordMode::Multitif: return {kFile, VYK_RECORDER_FILE_MULTITIFF, false, true, 1};
    case RecordMode::Vykraw: return {kFile, VYK_RECORDER_FILE_VYKRAW, false, true, 1};
    case RecordMode::B16: return {kFile, VYK_RECORDER_FILE_B16, false, true, 1};
    case RecordMode::Dicom: return {kFile, VYK_RECORDER_FILE_DICOM, false, true, 1};
    case RecordMode::Multidicom: return {kFile, VYK_RECORDER_FILE_MULTIDICOM, false, true, 1};
    case RecordMode::CamramRing: return {kCamRam, VYK_RECORDER_CAMRAM_SEGMENT, false, false, 1};
    case RecordMode::CamramSegment: return {kCamRam, VYK_RECORDER_CAMRAM_SEGMENT, false, false, 1};
  }
  // A value outside the table records like the table's first mode.
  return of(RecordMode::Sequence);
}

}  // namespace vyk
