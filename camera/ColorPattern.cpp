#include "camera/ColorPattern.h"

namespace vyk {

namespace {

// Code by top-left colour p (row; 1 = red, 2 = green in a red row, 3 = green in a blue row,
// 4 = blue) and the parity of the absolute 1-based column x and row y (column:
// x even/y even, x odd/y even, x even/y odd, x odd/y odd).
constexpr int32_t kCodes[4][4] = {
    {3, 2, 1, 0},  // p = 1 (and every p outside 2..4)
    {2, 3, 0, 1},  // p = 2
    {1, 0, 3, 2},  // p = 3
    {0, 1, 2, 3},  // p = 4
};

}  // namespace

int32_t ColorPattern::code(uint16_t patternWord, const Roi& roi, const Roi& sensorRoi) {
  if (patternWord == 0) return 0;
  const unsigned p = patternWord & 0xFu;
  const unsigned row = (p >= 2 && p <= 4) ? p - 1 : 0;
  // Only the parity matters, so unsigned wrap-around cannot change the answer.
  const uint64_t x = roi.x0 + sensorRoi.x0 - 1;
  const uint64_t y = roi.y0 + sensorRoi.y0 - 1;
  const unsigned column = static_cast<unsigned>((x & 1u) + 2u * (y & 1u));
  return kCodes[row][column];
}

}  // namespace vyk
