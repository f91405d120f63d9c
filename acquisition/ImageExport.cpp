#include "acquisition/ImageExport.h"

#include <cstring>
#include <limits>
#include <vector>

#include <QFile>
#include <QFileInfo>

#include "camera/AnyCamera.h"
#include "camera/CameraException.h"
#include "vyk_export.h"

namespace imageexport {

namespace {

uint64_t roundUpTo4(uint64_t value) { return (value + 3) / 4 * 4; }

[[noreturn]] void fail(const char* message) {
  throw vyk::CameraException(message, vyk::CameraException::kLayerError);
}

// Samples per pixel of a layout code.
uint64_t samplesPerPixel(const Layout& layout) {
  const std::string code = layout.code;
  if (code == "C_08_A") return 4;
  if (code[0] == 'C') return 3;
  return 1;
}

}  // namespace

std::optional<Layout> layoutOf(vyk::DataFormat format) {
  using vyk::DataFormat;
  switch (format) {
    case DataFormat::Mono8:
      return Layout{"M_08", 1, false, true};
    case DataFormat::Mono16:
      return Layout{"M_16", 1, true, false};
    case DataFormat::BGR8:
      return Layout{"C_08", 1, false, true};
    case DataFormat::BGRA8:
      return Layout{"C_08_A", 1, false, false};
    case DataFormat::RGB8:
      return Layout{"C_08", 0, false, true};
    case DataFormat::RGBA8:
      return Layout{"C_08_A", 0, false, false};
    case DataFormat::RGB16:
      return Layout{"C_16", 0, true, true};
    case DataFormat::BGR16:
      return Layout{"C_16", 1, true, true};
    case DataFormat::Undefined:
    case DataFormat::CompressedMono8:
      break;
  }
  return std::nullopt;
}

QString freeFileName(const QString& path) {
  const QFileInfo wanted(path);
  QString name = path;
  for (uint64_t n = 1; QFileInfo::exists(name); ++n) {
    name = wanted.path() + QStringLiteral("/") +
           QStringLiteral("%1_%2.%3").arg(wanted.completeBaseName()).arg(n).arg(wanted.suffix());
  }
  return name;
}

CameraFacts cameraFactsOf(vyk::AnyCamera& camera) {
  CameraFacts facts;
  facts.name = camera.getName();
  facts.serial = camera.getSerial();
  facts.bitResolution = camera.getDescription().bit_resolution;
  facts.exposureS = camera.getConfiguration().exposure_time_s;
  return facts;
}

int32_t writeImage(const vyk::Image& image, const QString& fileName, const CameraFacts& camera) {
  const std::optional<Layout> layout = layoutOf(image.format());
  if (!layout) fail("No Dataformat set or currently not supported format");
  const uint64_t width = image.width();
  const uint64_t height = image.height();
  if (width == 0 || height == 0 || width > std::numeric_limits<uint32_t>::max() ||
      height > std::numeric_limits<uint16_t>::max()) {
    fail("Image size does not fit the export");
  }
  const uint64_t samples = samplesPerPixel(*layout);
  const uint64_t rowSamples = (layout->paddedRows ? roundUpTo4(width) : width) * samples;

  const void* data = nullptr;
  std::vector<uint8_t> padded;  // Mono8 rows widened to the padded row length
  if (layout->sixteenBit) {
    const std::vector<uint16_t>& words = image.data16();
    if (words.size() < rowSamples * height) fail("Image data is smaller than the image");
    data = words.data();
  } else {
    const std::vector<uint8_t>& bytes = image.data8();
    if (bytes.size() >= rowSamples * height) {
      data = bytes.data();
    } else if (image.format() == vyk::DataFormat::Mono8 && bytes.size() >= width * height) {
      // Mono8 straight from an 8-bit sensor is the raw buffer: rows of exactly width bytes.
      padded.assign(rowSamples * height, 0);
      for (uint64_t row = 0; row < height; ++row) {
        std::memcpy(padded.data() + row * rowSamples, bytes.data() + row * width, width);
      }
      data = padded.data();
    } else {
      fail("Image data is smaller than the image");
    }
  }
  const uint8_t* metadata =
      image.metadata() ? reinterpret_cast<const uint8_t*>(&*image.metadata()) : nullptr;
  VYK_ExportFacts facts{};
  facts.cameraName = camera.name.empty() ? nullptr : camera.name.c_str();
  facts.serial = camera.serial;
  facts.bitResolution = camera.bitResolution;
  facts.exposureS = camera.exposureS;
  facts.timestamp = image.timestamp() ? reinterpret_cast<const uint8_t*>(&*image.timestamp()) : nullptr;
  const QByteArray name = QFile::encodeName(fileName);
  return VYK_RecorderExportImageWithFacts(data, static_cast<uint32_t>(width), static_cast<uint16_t>(height),
                                          layout->code, layout->colourOrder, name.constData(), 1, metadata,
                                          &facts);
}

}  // namespace imageexport
