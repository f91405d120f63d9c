#pragma once
// Sizing a recording against the image capacity the recorder reports.

#include <cstdint>
#include <ostream>

namespace vyk {

/// Fits a requested image count to the recorder's capacity and tells the user about it.
class MemoryRule {
 public:
  /// The count to record for requested images against capacity: above capacity it prints
  /// the two "space" lines to out and gives capacity; above half of it (integer half) it
  /// prints the 50 % line unless camRamMode; otherwise prints nothing.
  static uint32_t fit(uint32_t requested, uint32_t capacity, bool camRamMode, std::ostream& out);
};

}  // namespace vyk
