// The B16 file: one 16-bit monochrome image behind a small fixed header.
//
// Layout, all fields little-endian:
//   offset 0   4 bytes  magic "B16R"
//   offset 4   u32      header size in bytes (32); pixels start here
//   offset 8   u32      width (pixels per row)
//   offset 12  u32      height (rows)
//   offset 16  u16      significant bits per pixel (1..16)
//   offset 18  u16      format version (1)
//   offset 20  12 bytes reserved, zero
//   offset 32  width * height u16 pixels, row by row, top row first, no padding
// A reader must honour the header size field, so later versions may grow the header.
#ifndef VYK_B16_FILE_H
#define VYK_B16_FILE_H

#include <cstdint>
#include <string>
#include <vector>

namespace vyksim {

// Writes and reads B16 files.
class B16File {
public:
    static constexpr char kMagic[4] = {'B', '1', '6', 'R'}; // first four bytes of every B16 file
    static constexpr uint32_t kHeaderSize = 32;              // header bytes this version writes
    static constexpr uint16_t kVersion = 1;                  // format version this version writes

    // Header fields of a B16 file.
    struct Info {
        uint32_t width = 0;     // pixels per row
        uint32_t height = 0;    // rows
        uint16_t bitDepth = 16; // significant bits per pixel
        uint32_t headerSize = kHeaderSize; // offset of the first pixel
    };

    // Writes one image (width*height values). On failure returns false and removes
    // the partly written file.
    static bool write(const std::string& path, uint32_t width, uint32_t height,
                      uint16_t bitDepth, const uint16_t* pixels);

    // Reads a B16 file's header and pixels. False when the file cannot be read, its
    // magic or sizes are wrong, or it holds fewer pixels than the header promises.
    static bool read(const std::string& path, Info& info, std::vector<uint16_t>& pixels);
};

} // namespace vyksim

#endif // VYK_B16_FILE_H
