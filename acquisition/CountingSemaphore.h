#pragma once
// A counting semaphore built from a mutex and a condition variable (C++17 has none).

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>

/// Counting semaphore; the count starts at 0 and never goes below 0.
class CountingSemaphore {
 public:
  /// Adds one to the count and wakes one waiter.
  void release();
  /// Waits until the count is positive, then takes one.
  void acquire();
  /// Takes one if the count is positive; never waits. True when one was taken.
  bool tryAcquire();
  /// Waits at most timeout for a positive count and takes one. True when one was taken.
  bool tryAcquireFor(std::chrono::milliseconds timeout);
  /// Waits until deadline at most for a positive count and takes one. True when one was taken.
  bool tryAcquireUntil(std::chrono::steady_clock::time_point deadline);
  /// The current count.
  int32_t available() const;

 private:
  mutable std::mutex _mutex;         // guards _count
  std::condition_variable _changed;  // signalled on every release
  int32_t _count = 0;                // guarded by _mutex
};
