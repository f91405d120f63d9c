#include "acquisition/ImageQueueSet.h"

ImageQueueSet::ImageQueueSet(uint64_t defaultCapacity) : _defaultCapacity(defaultCapacity) {}

ImageQueueSet::~ImageQueueSet() { deactivateAll(); }

ImageQueue& ImageQueueSet::findOrCreate(DWORD serial) {
  std::lock_guard<std::mutex> lock(_mutex);
  std::unique_ptr<ImageQueue>& queue = _queues[serial];
  if (!queue) queue = std::make_unique<ImageQueue>(_defaultCapacity);
  // Queues are never removed, so the reference outlives the lock.
  return *queue;
}

ImageQueue* ImageQueueSet::find(DWORD serial) {
  std::lock_guard<std::mutex> lock(_mutex);
  const auto it = _queues.find(serial);
  return it == _queues.end() ? nullptr : it->second.get();
}

void ImageQueueSet::push(DWORD serial, const vyk::Image& image) { findOrCreate(serial).push(image); }

void ImageQueueSet::push(DWORD serial, vyk::Image&& image) { findOrCreate(serial).push(std::move(image)); }

void ImageQueueSet::recycle(DWORD serial, vyk::Image&& image) {
  if (ImageQueue* queue = find(serial)) queue->recycle(std::move(image));
}

std::optional<vyk::Image> ImageQueueSet::pop(DWORD serial, std::optional<std::chrono::milliseconds> timeout) {
  return findOrCreate(serial).pop(timeout);
}

std::optional<vyk::Image> ImageQueueSet::waitPop(DWORD serial, std::chrono::milliseconds timeout) {
  return findOrCreate(serial).waitPop(timeout);
}

void ImageQueueSet::setCapacity(DWORD serial, uint64_t capacity) {
  if (capacity == 0) return;
  findOrCreate(serial).setCapacity(capacity);
}

void ImageQueueSet::deactivate(DWORD serial) {
  std::lock_guard<std::mutex> lock(_mutex);
  const auto it = _queues.find(serial);
  if (it != _queues.end()) it->second->deactivate();
}

void ImageQueueSet::deactivateAll() {
  std::lock_guard<std::mutex> lock(_mutex);
  for (auto& entry : _queues) entry.second->deactivate();
}

std::size_t ImageQueueSet::size(DWORD serial) {
  ImageQueue* queue = find(serial);
  return queue ? queue->size() : 0;
}

uint64_t ImageQueueSet::capacity(DWORD serial) {
  ImageQueue* queue = find(serial);
  return queue ? queue->capacity() : _defaultCapacity;
}

bool ImageQueueSet::isActive(DWORD serial) {
  ImageQueue* queue = find(serial);
  return queue != nullptr && queue->isActive();
}

// The two process-wide sets are never destroyed: a consumer thread still waiting on one of
// their queues while the process exits (a view the window did not delete) would otherwise
// meet a condition variable being destroyed under it, and the exit would hang.
ImageQueueSet& viewQueues() {
  static ImageQueueSet* const set = new ImageQueueSet;
  return *set;
}

ImageQueueSet& histogramQueues() {
  static ImageQueueSet* const set = new ImageQueueSet;
  return *set;
}
