#include "FramePacer.h"

#include <algorithm>

#include "camera/Image.h"

using vyk::Image;

void FramePacer::arrived(uint32_t number, Clock::time_point at) {
  if (number == Image::kNoLastingNumber || !_lastNumber || number <= *_lastNumber) {
    _frameTime = Clock::duration{0};
  } else {
    _frameTime = (at - _lastAt) / (number - *_lastNumber);
  }
  _lastNumber = number == Image::kNoLastingNumber ? std::nullopt : std::optional<uint32_t>(number);
  _lastAt = at;
}

FramePacer::Clock::time_point FramePacer::pollFrom() const {
  const Clock::duration margin = std::max<Clock::duration>(_frameTime / 8, kPollMargin);
  if (_frameTime <= margin) return Clock::time_point{};
  return _lastAt + std::min<Clock::duration>(_frameTime - margin, kLongestHold);
}
