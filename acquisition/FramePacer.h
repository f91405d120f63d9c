#pragma once
// When a loop that shows every new image of a camera should start looking for the next one.

#include <chrono>
#include <cstdint>
#include <optional>

/// Paces the wait for a camera's next image. A camera in automatic trigger mode records at a
/// steady rate, so the next image is not due before most of a frame time has passed since the
/// last one arrived; polling the camera before that only costs CPU time (the camera's wait
/// polls its recorder every millisecond, and each poll is a sleep and a wake-up). The frame
/// time is learnt from the recorder image numbers and arrival times of the images delivered,
/// so images the loop skipped do not lengthen it. An arrival is seen up to a poll (1 ms) after
/// the camera recorded it, so the hold ends an eighth of the frame time, and at least
/// kPollMargin, before the next image is due. Not thread-safe: one loop owns it.
class FramePacer {
 public:
  using Clock = std::chrono::steady_clock;

  /// The image with recorder image number `number` arrived at `at`. Numbers without a lasting
  /// position (all ones) and numbers that do not grow (a new recording) forget the frame time.
  void arrived(uint32_t number, Clock::time_point at);
  /// Until then no next image is due: the last arrival plus the frame time less the margin,
  /// held to at most kLongestHold. Before a frame time is known, the distant past.
  Clock::time_point pollFrom() const;

  /// Longest hold after an arrival: a camera that became faster is served late at most by this.
  static constexpr std::chrono::milliseconds kLongestHold{50};
  /// Least time between the end of the hold and the next image's due time.
  static constexpr std::chrono::milliseconds kPollMargin{2};

 private:
  std::optional<uint32_t> _lastNumber;  // recorder image number of the last arrival
  Clock::time_point _lastAt{};          // time of the last arrival
  Clock::duration _frameTime{0};        // time per recorded image, 0 while unknown
};
