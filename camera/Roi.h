#pragma once

#include <cstdint>

#include <nlohmann/json_fwd.hpp>

namespace vyk {

/// Region of interest: the inclusive corners, in pixels (1-based as the camera counts them).
struct Roi {
  uint64_t x0 = 0;  ///< left column
  uint64_t y0 = 0;  ///< top row
  uint64_t x1 = 0;  ///< right column (inclusive)
  uint64_t y1 = 0;  ///< bottom row (inclusive)

  /// A ROI whose four coordinates all hold the unset marker.
  static Roi unset();
  /// True when none of the four coordinates holds the unset marker.
  bool isSet() const;
  /// x1 - x0 + 1, in pixels.
  uint64_t width() const { return x1 - x0 + 1; }
  /// y1 - y0 + 1, in pixels.
  uint64_t height() const { return y1 - y0 + 1; }
  /// True when x0 <= x1 and y0 <= y1, so that width and height are meaningful.
  bool isValid() const { return x0 <= x1 && y0 <= y1; }
};

bool operator==(const Roi& a, const Roi& b);
bool operator!=(const Roi& a, const Roi& b);

void to_json(nlohmann::json& j, const Roi& roi);
void from_json(const nlohmann::json& j, Roi& roi);

}  // namespace vyk
