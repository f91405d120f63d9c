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
#include <vector>

#include "acquisition/CountingSemaphore.h"
#include "camera/Image.h"

/// Bounded drop-oldest queue of deep-copied images; Active from creation and after every push.
class ImageQueue {
 public:
  /// An empty, active queue that holds at most capacity images before a push.
  explicit ImageQueue(uint64_t capacity);

  /// Spare images a queue keeps at most for producers to fill again.
  static constexpr std::size_t kMaxSpares = 2;

  /// Drops the oldest image when capacity are waiting, re-activates, appends a copy of image
  /// (made into a spare's buffers when one waits).
  void push(const vyk::Image& image);
  /// The same, moving image in; image then holds a spare (an image dropped or recycled
  /// earlier, whose buffers the producer's next fetch fills without allocating) or is empty.
  void push(vyk::Image&& image);
  /// Takes back an image its consumer is done with, as a spare for push; beyond kMaxSpares
  /// and while the queue is inactive it is freed instead.
  void recycle(vyk::Image&& image);
  /// The oldest image, or nothing when the queue is or becomes inactive (or timeout passes).
  /// Without timeout it sleeps until an image arrives or the queue is deactivated.
  std::optional<vyk::Image> pop(std::optional<std::chrono::milliseconds> timeout);
  /// For a consumer thread that lives longer than one acquisition: the oldest image, waiting
  /// at most timeout for one. Unlike pop it also waits while the queue is inactive, until a
  /// push re-activates it; a deactivation ends the wait with nothing, so that the consumer can
  /// look at its own run flag. The wait is a sleep: an idle consumer costs nothing.
  std::optional<vyk::Image> waitPop(std::chrono::milliseconds timeout);
  /// Replaces the capacity (0 is ignored); images already waiting stay.
  void setCapacity(uint64_t capacity);
  /// Clears active and discards every waiting image and spare; wakes a consumer waiting with a timeout.
  void deactivate();
  /// True while the queue is active.
  bool isActive() const { return _active.load(); }
  /// Number of images waiting.
  std::size_t size() const;
  /// The current capacity.
  uint64_t capacity() const;

 private:
  /// Takes the oldest image out, if there is one; woken tells whether the caller has taken
  /// a release of _available for it already.
  std::optional<vyk::Image> takeFront(bool woken);
  /// Appends image (dropping the oldest when full) and, with spare, hands a spare back in it.
  void append(vyk::Image&& image, vyk::Image* spare);
  /// The newest spare, or an empty image when none waits; the caller holds _mutex.
  vyk::Image takeSpare();

  mutable std::mutex _mutex;        // guards _items and _capacity
  std::deque<vyk::Image> _items;    // guarded by _mutex; oldest at the front
  std::vector<vyk::Image> _spares;  // guarded by _mutex; at most kMaxSpares, for push to hand back
  uint64_t _capacity;               // guarded by _mutex; most images a push leaves before adding
  CountingSemaphore _available;     // one release per waiting image and per deactivation; wakes consumers
  std::atomic<bool> _active{true};  // read outside _mutex by pop
};
