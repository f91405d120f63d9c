#pragma once
// Per-camera image queues keyed by serial. Two process-wide sets exist: one feeds the image
// views, one the histogram. Lock order: the set's mutex, then a queue's mutex.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>

#include "acquisition/Dword.h"
#include "acquisition/ImageQueue.h"
#include "camera/Image.h"

/// A map from camera serial to its ImageQueue; queues are created on first use, never removed.
class ImageQueueSet {
 public:
  /// Capacity of a queue that was never sized.
  static constexpr uint64_t kDefaultCapacity = 5;

  /// An empty set whose new queues get defaultCapacity.
  explicit ImageQueueSet(uint64_t defaultCapacity = kDefaultCapacity);
  /// Deactivates and empties every queue.
  ~ImageQueueSet();
  ImageQueueSet(const ImageQueueSet&) = delete;
  ImageQueueSet& operator=(const ImageQueueSet&) = delete;

  /// Adds a copy of image to serial's queue (created if missing), dropping its oldest when full.
  void push(DWORD serial, const vyk::Image& image);
  /// The same, moving image in and handing a spare back in it; see ImageQueue::push.
  void push(DWORD serial, vyk::Image&& image);
  /// Gives serial's queue an image its consumer is done with (see ImageQueue::recycle);
  /// freed when the queue does not exist (it is not created).
  void recycle(DWORD serial, vyk::Image&& image);
  /// The oldest image of serial's queue (created if missing); see ImageQueue::pop.
  std::optional<vyk::Image> pop(DWORD serial,
                                std::optional<std::chrono::milliseconds> timeout = std::nullopt);
  /// The oldest image of serial's queue (created if missing), waiting also while the queue
  /// is inactive; see ImageQueue::waitPop.
  std::optional<vyk::Image> waitPop(DWORD serial, std::chrono::milliseconds timeout);
  /// Sets the capacity of serial's queue (created if missing); 0 is ignored entirely.
  void setCapacity(DWORD serial, uint64_t capacity);
  /// Deactivates and empties serial's queue if it exists (it is not created).
  void deactivate(DWORD serial);
  /// Deactivates and empties every queue.
  void deactivateAll();
  /// Images waiting in serial's queue; 0 when it does not exist (it is not created).
  std::size_t size(DWORD serial);
  /// Capacity of serial's queue, or the default when it does not exist (it is not created).
  uint64_t capacity(DWORD serial);
  /// Whether serial's queue is active; false when it does not exist (it is not created).
  bool isActive(DWORD serial);

 private:
  ImageQueue& findOrCreate(DWORD serial);
  ImageQueue* find(DWORD serial);

  std::mutex _mutex;                                       // guards _queues
  std::map<DWORD, std::unique_ptr<ImageQueue>> _queues;    // guarded by _mutex; stable addresses
  const uint64_t _defaultCapacity;                         // capacity of new queues
};

/// The process-wide set that feeds the image views.
ImageQueueSet& viewQueues();
/// The process-wide set that feeds the histogram.
ImageQueueSet& histogramQueues();
