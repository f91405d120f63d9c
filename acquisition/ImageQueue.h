#pragma once
// One camera's bounded image queue between a producer (worker thread or GUI thread) and one
// consumer thread. A full queue drops its oldest image, so a producer never waits.

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>

#include "acquisition/CountingSemaphore.h"
#include "camera/Image.h"

/// Bounded drop-oldest queue of deep-copied images; Active from creation and after every push.
class ImageQueue {
 public:
  /// An empty, active queue that holds at most capacity images before a push.
  explicit ImageQueue(uint64_t capacity);

  /// Drops the oldest image when capacity are waiting, re-activates, appends a copy of image.
  void push(const vyk::Image& image);
  /// The oldest image, or nothing when the queue is or becomes inactive (or timeout passes).
  /// Without timeout it polls every 1 ms until an image arrives or the queue is deactivated.
  std::optional<vyk::Image> pop(std::optional<std::chrono::milliseconds> timeout);
  /// Replaces the capacity (0 is ignored); images already waiting stay.
  void setCapacity(uint64_t capacity);
  /// Clears active and discards every waiting image; wakes a consumer waiting with a timeout.
  void deactivate();
  /// True while the queue is active.
  bool isActive() const { return _active.load(); }
  /// Number of images waiting.
  std::size_t size() const;
  /// The current capacity.
  uint64_t capacity() const;

 private:
  mutable std::mutex _mutex;        // guards _items and _capacity
  std::deque<vyk::Image> _items;    // guarded by _mutex; oldest at the front
  uint64_t _capacity;               // guarded by _mutex; most images a push leaves before adding
  CountingSemaphore _available;     // released once per push; paces pop only
  std::atomic<bool> _active{true};  // read outside _mutex by pop
};
