// The raw sequence file: every frame of a recording with its metadata and timestamp.
//
// Layout, all fields little-endian.
// File header (64 bytes):
//   offset 0   8 bytes  magic "VYKRAWSQ"
//   offset 8   u32      format version (1)
//   offset 12  u32      header size in bytes (64); the first frame record starts here
//   offset 16  u32      width (pixels per row)
//   offset 20  u32      height (rows)
//   offset 24  u16      significant bits per pixel (1..16)
//   offset 26  u16      reserved, zero
//   offset 28  u32      frame header size in bytes (96); pixels start here in a record
//   offset 32  u64      frame record size in bytes (frame header + width*height*2)
//   offset 40  u64      frame count; 0xFFFFFFFFFFFFFFFF while the recording is still
//                       being written (then count = whole records after the header)
//   offset 48  16 bytes reserved, zero
// Frame record, one per frame, in recording order:
//   offset 0   u8       flags: bit 0 metadata valid, bit 1 timestamp valid
//   offset 1   3 bytes  reserved, zero
//   offset 4   69 bytes the camera's metadata block (zero when not valid)
//   offset 73  22 bytes the camera's timestamp block (zero when not valid)
//   offset 95  1 byte   reserved, zero
//   offset 96  width * height u16 pixels, row by row, top row first, no padding
#ifndef VYK_VYK_RAW_FILE_H
#define VYK_VYK_RAW_FILE_H

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "BinaryFile.h"

namespace vyksim {

// Writes one raw sequence file frame by frame; static members read such files.
class VykRawFile {
public:
    static constexpr char kMagic[8] = {'V', 'Y', 'K', 'R', 'A', 'W', 'S', 'Q'}; // file magic
    static constexpr uint32_t kVersion = 1;           // format version this version writes
    static constexpr uint32_t kHeaderSize = 64;       // file header bytes
    static constexpr uint32_t kFrameHeaderSize = 96;  // frame header bytes before the pixels
    static constexpr uint64_t kCountOpen = ~uint64_t{0}; // frame count of an unfinished file
    static constexpr size_t kMetadataSize = 69;       // bytes of the metadata block
    static constexpr size_t kTimestampSize = 22;      // bytes of the timestamp block

    // Header fields of a raw sequence file.
    struct Info {
        uint32_t width = 0;       // pixels per row
        uint32_t height = 0;      // rows
        uint16_t bitDepth = 16;   // significant bits per pixel
        uint64_t frameCount = 0;  // complete frames in the file
        bool finished = false;    // the writer closed the file and stored the count
        uint32_t headerSize = kHeaderSize;           // offset of the first record
        uint32_t frameHeaderSize = kFrameHeaderSize; // offset of the pixels in a record
        uint64_t recordSize = 0;  // bytes per frame record
    };

    // One frame read back from a file.
    struct Frame {
        std::vector<uint16_t> pixels;                   // width*height values
        bool hasMetadata = false;                       // metadata holds the camera's block
        std::array<uint8_t, kMetadataSize> metadata{};  // metadata block or zeros
        bool hasTimestamp = false;                      // timestamp holds the camera's block
        std::array<uint8_t, kTimestampSize> timestamp{}; // timestamp block or zeros
    };

    // Creates (truncates) the file and writes its header; check ok() afterwards.
    VykRawFile(const std::string& path, uint32_t width, uint32_t height, uint16_t bitDepth);

    // True while the file is open and every write succeeded.
    bool ok() const { return file_.ok(); }
    // Appends one frame; metadata and timestamp may be null (stored as not valid).
    bool append(const uint16_t* pixels, const uint8_t* metadata, const uint8_t* timestamp);
    // Stores the frame count in the header and closes the file; false on any failure.
    bool finish();
    // Frames appended so far.
    uint64_t frameCount() const { return frames_; }

    // Reads the header of a raw sequence file; false when it is not one.
    static bool readInfo(const std::string& path, Info& info);
    // Reads frame index (0-based); false when the file or the frame cannot be read.
    static bool readFrame(const std::string& path, uint64_t index, Frame& frame);

private:
    static bool readInfo(BinaryFile& file, Info& info);

    BinaryFile file_;            // the open file, owned by the writing thread
    uint32_t width_;             // pixels per row
    uint32_t height_;            // rows
    uint64_t frames_ = 0;        // frames appended
};

// Reads frame index (0-based) of the raw sequence file at path into frame.
bool readVykRawFrame(const std::string& path, uint64_t index, VykRawFile::Frame& frame);

} // namespace vyksim

#endif // VYK_VYK_RAW_FILE_H
