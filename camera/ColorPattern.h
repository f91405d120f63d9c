#pragma once
// The colour-pattern code the conversion library takes: the Bayer phase of the top-left
// pixel of the converted region.

#include <cstdint>

#include "camera/Roi.h"

namespace vyk {

/// Derives the Bayer phase code (0 to 3) of an image region from the sensor's pattern word.
class ColorPattern {
 public:
  /// Code for region roi (1-based within the recorded image) of an image recorded at
  /// sensorRoi (1-based on the sensor); patternWord is the description's colour-pattern
  /// word, 0 for a sensor without colour pattern (code 0).
  static int32_t code(uint16_t patternWord, const Roi& roi, const Roi& sensorRoi);
};

}  // namespace vyk
