#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <variant>
#include <vector>

#include "camera/Enums.h"
#include "camera/ImageMetadata.h"
#include "camera/ImageTimestamp.h"
#include "camera/Roi.h"

namespace vyk {

/// A pixel buffer: empty, 8-bit or 16-bit elements, row by row.
using PixelBuffer = std::variant<std::monostate, std::vector<uint8_t>, std::vector<uint16_t>>;

/// Element count of converted data for format and a width x height image; rows padded as
/// the format requires (Mono8: W4*H, BGR8/RGB8: W4*H*3, BGRA8/RGBA8: W*H*4,
/// RGB16/BGR16: W4*H*3, CompressedMono8 and Mono16: W*H, Undefined: 0; W4 = W rounded
/// up to a multiple of 4).
uint64_t dataElementCount(DataFormat format, uint64_t width, uint64_t height);
/// Bits per data element of format: 8, 16, or 0 for Undefined.
unsigned dataElementBits(DataFormat format);
/// Bits per raw element: 8 for byte, 16 for word.
unsigned rawElementBits(RawFormat raw);
/// Element count of a buffer (0 when empty).
std::size_t elementCount(const PixelBuffer& buffer);
/// Bits per element of a buffer: 8, 16, or 0 when empty.
unsigned elementBits(const PixelBuffer& buffer);

/// One image as a camera delivers it: raw pixels, converted data, region and metadata.
/// For Mono16 with word raw and for Mono8 with byte raw the raw buffer is the image and
/// data is unused; for CompressedMono8 the compressed bytes (one per pixel) stand in data.
class Image {
 public:
  /// The raw pixels as the camera delivered them.
  const PixelBuffer& raw() const { return _raw; }
  /// The pixels converted to format().
  const PixelBuffer& data() const { return _data; }
  /// The region the pixels cover.
  const Roi& roi() const { return _roi; }
  /// The requested data format.
  DataFormat format() const { return _format; }
  /// Index of the image in the recorder.
  uint32_t recorderImageNumber() const { return _recorderImageNumber; }
  /// Recorder image number of a camera-RAM image without a lasting position (the camera still
  /// records into its ring): such images cannot be told apart by number.
  static constexpr uint32_t kNoLastingNumber = 0xFFFFFFFFu;
  /// Metadata block, present when the camera delivered one.
  const std::optional<ImageMetadata>& metadata() const { return _metadata; }
  /// Mutable metadata, for filling in place.
  std::optional<ImageMetadata>& metadata() { return _metadata; }
  /// Time stamp, present when the camera delivered one.
  const std::optional<ImageTimestamp>& timestamp() const { return _timestamp; }
  /// Mutable time stamp, for filling in place.
  std::optional<ImageTimestamp>& timestamp() { return _timestamp; }

  /// The 16-bit raw buffer; throws 0x160000 when raw is not 16-bit.
  std::vector<uint16_t>& rawData16();
  const std::vector<uint16_t>& rawData16() const;
  /// CompressedMono8 with 8-bit data: the data buffer; else the 8-bit raw buffer (or throws).
  std::vector<uint8_t>& rawData8();
  const std::vector<uint8_t>& rawData8() const;
  /// Mono16 with 16-bit raw: the raw buffer; else the 16-bit data buffer (or throws).
  std::vector<uint16_t>& data16();
  const std::vector<uint16_t>& data16() const;
  /// Mono8 with 8-bit raw: the raw buffer; else the 8-bit data buffer (or throws).
  std::vector<uint8_t>& data8();
  const std::vector<uint8_t>& data8() const;

  /// x1 - x0 + 1.
  uint64_t width() const { return _roi.width(); }
  /// y1 - y0 + 1.
  uint64_t height() const { return _roi.height(); }
  /// 0 when raw is empty, else its element count.
  std::size_t rawPixelCount() const { return elementCount(_raw); }

  /// Replaces the metadata and marks it present.
  void setMetadata(const ImageMetadata& metadata) { _metadata = metadata; }
  /// Removes the metadata.
  void clearMetadata() { _metadata.reset(); }
  /// Replaces the time stamp and marks it present.
  void setTimestamp(const ImageTimestamp& timestamp) { _timestamp = timestamp; }
  /// Removes the time stamp.
  void clearTimestamp() { _timestamp.reset(); }
  /// Replaces the recorder image number.
  void setRecorderImageNumber(uint32_t number) { _recorderImageNumber = number; }
  /// Replaces the raw buffer as it stands (no shape check).
  void setRaw(PixelBuffer raw) { _raw = std::move(raw); }
  /// Replaces the data buffer as it stands (no shape check).
  void setData(PixelBuffer data) { _data = std::move(data); }
  /// Replaces the region (no buffer change).
  void setRoi(const Roi& roi) { _roi = roi; }
  /// Replaces the format (no buffer change).
  void setFormat(DataFormat format) { _format = format; }

  /// Reuse test: true when the buffers already fit format, roi and raw, so a fetch can
  /// reuse them. Undefined never passes.
  bool hasShape(DataFormat format, const Roi& roi, RawFormat raw) const;
  /// Sets roi and format and allocates zeroed buffers of the exact sizes: raw W*H elements
  /// of raw's width (none for CompressedMono8), data dataElementCount elements (none when
  /// raw carries the image). Throws 0x160000 for an inverted or oversized roi.
  void reshape(const Roi& roi, DataFormat format, RawFormat raw);

 private:
  PixelBuffer _raw;                           // raw pixels, W*H elements
  PixelBuffer _data;                          // converted pixels, padded as format requires
  Roi _roi{1, 1, 0, 0};                       // covers no pixel until reshaped
  DataFormat _format = DataFormat::Undefined;  // requested data format
  uint32_t _recorderImageNumber = 0;          // index in the recorder
  std::optional<ImageMetadata> _metadata;     // present when delivered
  std::optional<ImageTimestamp> _timestamp;   // present when delivered
};

}  // namespace vyk
