#include "camera/Image.h"

#include <new>
#include <utility>

#include "camera/CameraException.h"

namespace vyk {

namespace {

// Largest pixel count an image may have, so that every padded element count fits 64 bits.
constexpr uint64_t kMaxPixels = uint64_t{1} << 40;

uint64_t roundUpTo4(uint64_t value) { return (value + 3) / 4 * 4; }

// True when the raw buffer is the image itself and data stays unused.
bool rawCarriesImage(DataFormat format, RawFormat raw) {
  return (format == DataFormat::Mono16 && raw == RawFormat::Word) ||
         (format == DataFormat::Mono8 && raw == RawFormat::Byte);
}

template <typename T>
const std::vector<T>* bufferOf(const PixelBuffer& buffer) {
  return std::get_if<std::vector<T>>(&buffer);
}

// Gives buffer count zeroed elements of the given width, reusing its storage when it
// already holds that element type; bits 0 empties it.
void allocate(PixelBuffer& buffer, unsigned bits, uint64_t count) {
  if (bits == 8) {
    if (!std::holds_alternative<std::vector<uint8_t>>(buffer)) buffer = std::vector<uint8_t>{};
    std::get<std::vector<uint8_t>>(buffer).assign(count, 0);
  } else if (bits == 16) {
    if (!std::holds_alternative<std::vector<uint16_t>>(buffer)) buffer = std::vector<uint16_t>{};
    std::get<std::vector<uint16_t>>(buffer).assign(count, 0);
  } else {
    buffer = std::monostate{};
  }
}

[[noreturn]] void fail(const char* message) {
  throw CameraException(message, CameraException::kLayerError);
}

}  // namespace

uint64_t dataElementCount(DataFormat format, uint64_t width, uint64_t height) {
  switch (format) {
    case DataFormat::Mono8:
      return roundUpTo4(width) * height;
    case DataFormat::Mono16:
    case DataFormat::CompressedMono8:
      return width * height;
    case DataFormat::BGR8:
    case DataFormat::RGB8:
    case DataFormat::RGB16:
    case DataFormat::BGR16:
      return roundUpTo4(width) * height * 3;
    case DataFormat::BGRA8:
    case DataFormat::RGBA8:
      return width * height * 4;
    case DataFormat::Undefined:
      break;
  }
  return 0;
}

unsigned dataElementBits(DataFormat format) {
  switch (format) {
    case DataFormat::Mono8:
    case DataFormat::BGR8:
    case DataFormat::BGRA8:
    case DataFormat::RGB8:
    case DataFormat::RGBA8:
    case DataFormat::CompressedMono8:
      return 8;
    case DataFormat::Mono16:
    case DataFormat::RGB16:
    case DataFormat::BGR16:
      return 16;
    case DataFormat::Undefined:
      break;
  }
  return 0;
}

unsigned rawElementBits(RawFormat raw) { return raw == RawFormat::Byte ? 8 : 16; }

std::size_t elementCount(const PixelBuffer& buffer) {
  if (const auto* bytes = bufferOf<uint8_t>(buffer)) return bytes->size();
  if (const auto* words = bufferOf<uint16_t>(buffer)) return words->size();
  return 0;
}

unsigned elementBits(const PixelBuffer& buffer) {
  if (bufferOf<uint8_t>(buffer)) return 8;
  if (bufferOf<uint16_t>(buffer)) return 16;
  return 0;
}

const std::vector<uint16_t>& Image::rawData16() const {
  if (const auto* raw = bufferOf<uint16_t>(_raw)) return *raw;
  fail("Image raw data does not contain 16bit data");
}

const std::vector<uint8_t>& Image::rawData8() const {
  if (_format == DataFormat::CompressedMono8) {
    if (const auto* compressed = bufferOf<uint8_t>(_data)) return *compressed;
  }
  if (const auto* raw = bufferOf<uint8_t>(_raw)) return *raw;
  fail("Image raw data does not contain 8bit data");
}

const std::vector<uint16_t>& Image::data16() const {
  if (_format == DataFormat::Mono16) {
    if (const auto* raw = bufferOf<uint16_t>(_raw)) return *raw;
  }
  if (const auto* data = bufferOf<uint16_t>(_data)) return *data;
  fail("Image data does not contain 16bit data");
}

const std::vector<uint8_t>& Image::data8() const {
  if (_format == DataFormat::Mono8) {
    if (const auto* raw = bufferOf<uint8_t>(_raw)) return *raw;
  }
  if (const auto* data = bufferOf<uint8_t>(_data)) return *data;
  fail("Image data does not contain 8bit data");
}

// The mutable accessors follow exactly the rules of the const ones.
std::vector<uint16_t>& Image::rawData16() {
  return const_cast<std::vector<uint16_t>&>(std::as_const(*this).rawData16());
}

std::vector<uint8_t>& Image::rawData8() {
  return const_cast<std::vector<uint8_t>&>(std::as_const(*this).rawData8());
}

std::vector<uint16_t>& Image::data16() {
  return const_cast<std::vector<uint16_t>&>(std::as_const(*this).data16());
}

std::vector<uint8_t>& Image::data8() {
  return const_cast<std::vector<uint8_t>&>(std::as_const(*this).data8());
}

bool Image::hasShape(DataFormat format, const Roi& roi, RawFormat raw) const {
  // The region must match as well as the area: reused buffers keep the image's own
  // region, and a same-area region of another width would pad its rows differently.
  if (format != _format || roi != _roi || !roi.isValid()) return false;
  if (dataElementBits(format) == 0) return false;
  const uint64_t pixels = roi.width() * roi.height();
  if (format != DataFormat::CompressedMono8) {
    if (elementBits(_raw) != rawElementBits(raw) || elementCount(_raw) != pixels) return false;
    if (rawCarriesImage(format, raw)) return true;
  }
  return elementBits(_data) == dataElementBits(format) &&
         elementCount(_data) == dataElementCount(format, roi.width(), roi.height());
}

void Image::reshape(const Roi& roi, DataFormat format, RawFormat raw) {
  if (!roi.isValid() || roi.width() > kMaxPixels || roi.height() > kMaxPixels / roi.width()) {
    fail("Image ROI is invalid");
  }
  const uint64_t width = roi.width();
  const uint64_t height = roi.height();
  try {
    if (format == DataFormat::CompressedMono8) {
      allocate(_raw, 0, 0);  // the compressed bytes stand in data
    } else {
      allocate(_raw, rawElementBits(raw), width * height);
    }
    if (rawCarriesImage(format, raw)) {
      allocate(_data, 0, 0);
    } else {
      allocate(_data, dataElementBits(format), dataElementCount(format, width, height));
    }
  } catch (const std::bad_alloc&) {
    // Leave no half-shaped image behind: it covers no pixel and holds no buffer.
    _raw = std::monostate{};
    _data = std::monostate{};
    _roi = Roi{1, 1, 0, 0};
    fail("Image buffers could not be allocated");
  }
  _roi = roi;
  _format = format;
}

}  // namespace vyk
