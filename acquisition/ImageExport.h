#pragma once
// Writing one image to a file through the recorder library's export function: the pixel
// layout per data format, the row padding the export expects and a file name that never
// overwrites an existing file.

#include <cstdint>
#include <limits>
#include <optional>
#include <string>

#include <QString>

#include "camera/Enums.h"
#include "camera/Image.h"

namespace vyk {
class AnyCamera;
}

namespace imageexport {

/// How the export function receives images of one data format.
struct Layout {
  const char* code;     ///< layout code: "M_08", "M_16", "C_08", "C_08_A" or "C_16"
  int32_t colourOrder;  ///< 1 blue first or mono, 0 red first
  bool sixteenBit;      ///< the buffer is the image's 16-bit data (else its 8-bit data)
  bool paddedRows;      ///< rows are padded to a multiple of 4 pixels
};

/// The layout of format; nothing for Undefined and CompressedMono8, which cannot be exported.
std::optional<Layout> layoutOf(vyk::DataFormat format);

/// path when no file of that name exists, else the first free "<dir>/<base>_<n>.<suffix>"
/// for n = 1, 2, ...
QString freeFileName(const QString& path);

/// The camera an exported image came from, for the file's metadata.
struct CameraFacts {
  std::string name;           ///< camera name; "" unknown
  uint32_t serial = 0;        ///< serial number; 0 unknown
  uint16_t bitResolution = 0; ///< significant bits of the camera's raw pixels; 0 unknown
  double exposureS = std::numeric_limits<double>::quiet_NaN();  ///< exposure, seconds; NaN unknown
};

/// The facts of camera as they stand now (name, serial, bit resolution, exposure).
/// Camera errors propagate as vyk::CameraException.
CameraFacts cameraFactsOf(vyk::AnyCamera& camera);

/// Writes image (of a format layoutOf accepts) to fileName, whose suffix selects the file
/// type, with the camera's facts and the image's own time stamp and metadata in the file's
/// metadata; returns the export function's result (0 on success). Mono8 rows that come
/// unpadded from the camera are padded here, since the export expects padded rows.
/// Throws vyk::CameraException (0x160000) for a format without layout, a buffer smaller
/// than the image or an image too tall for the export's 16-bit height.
int32_t writeImage(const vyk::Image& image, const QString& fileName, const CameraFacts& camera = CameraFacts{});

}  // namespace imageexport
