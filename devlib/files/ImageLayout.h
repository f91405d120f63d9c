// Pixel layout of an image handed to the export function, and its repacking into
// the tightly packed, red-first order that image files hold.
#ifndef VYK_IMAGE_LAYOUT_H
#define VYK_IMAGE_LAYOUT_H

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vyksim {

// One of the export layout codes "M_08", "M_16", "C_08", "C_08_A", "C_16".
class ImageLayout {
public:
    // The layout for a code, or nothing for an unknown code (codes are case-sensitive).
    static std::optional<ImageLayout> fromCode(const std::string& code);

    // Samples per pixel: 1 (mono), 3 (colour) or 4 (colour plus alpha).
    uint16_t channels() const { return channels_; }
    // Bits per sample: 8 or 16.
    uint16_t bitsPerSample() const { return bits_; }
    // Bytes per sample: 1 or 2.
    size_t bytesPerSample() const { return bits_ / 8u; }
    // True for "M_08" and "M_16".
    bool isMono() const { return channels_ == 1; }
    // Pixels per buffer row for an image width: width rounded up to a multiple of 4 for
    // "M_08", "C_08", "C_16"; width itself for "M_16" and "C_08_A".
    uint32_t rowPixels(uint32_t width) const;
    // Bytes the caller's buffer holds for an image of this size.
    size_t bufferBytes(uint32_t width, uint32_t height) const;

    // Copies the visible pixels of the caller's buffer into rows without padding, with
    // colour samples in red-first order (blueFirst: the buffer holds B,G,R[,A]).
    // Samples keep their width; 16-bit samples are returned in host byte order.
    std::vector<uint8_t> packed(const void* data, uint32_t width, uint32_t height,
                                bool blueFirst) const;

private:
    ImageLayout(uint16_t channels, uint16_t bits, bool padded)
        : channels_(channels), bits_(bits), padded_(padded) {}

    uint16_t channels_; // samples per pixel
    uint16_t bits_;     // bits per sample
    bool padded_;       // rows padded to a multiple of 4 pixels
};

} // namespace vyksim

#endif // VYK_IMAGE_LAYOUT_H
