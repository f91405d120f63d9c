#include "acquisition/ImageQueue.h"

#include <thread>

ImageQueue::ImageQueue(uint64_t capacity) : _capacity(capacity) {}

void ImageQueue::push(const vyk::Image& image) {
  {
    std::lock_guard<std::mutex> lock(_mutex);
    // At most one drop per push: after a capacity decrease the count shrinks only as
    // consumers take images.
    if (_items.size() >= _capacity && !_items.empty()) _items.pop_front();
    _active.store(true);
    _items.push_back(image);
  }
  _available.release();
}

std::optional<vyk::Image> ImageQueue::pop(std::optional<std::chrono::milliseconds> timeout) {
  if (!_active.load()) return std::nullopt;
  for (;;) {
    std::optional<vyk::Image> front;
    {
      std::lock_guard<std::mutex> lock(_mutex);
      if (!_items.empty()) {
        front.emplace(std::move(_items.front()));
        _items.pop_front();
      }
    }
    if (front) return front;
    // The semaphore only paces the loop; whether an image is taken depends on the item
    // count alone, so counts left over from dropped images never yield a phantom image.
    if (timeout) {
      if (!_available.tryAcquireFor(*timeout)) return std::nullopt;
    } else if (!_available.tryAcquire()) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    if (!_active.load()) return std::nullopt;
  }
}

void ImageQueue::setCapacity(uint64_t capacity) {
  if (capacity == 0) return;
  std::lock_guard<std::mutex> lock(_mutex);
  _capacity = capacity;
}

void ImageQueue::deactivate() {
  {
    std::lock_guard<std::mutex> lock(_mutex);
    _active.store(false);
    _items.clear();
  }
  _available.release();
}

std::size_t ImageQueue::size() const {
  std::lock_guard<std::mutex> lock(_mutex);
  return _items.size();
}

uint64_t ImageQueue::capacity() const {
  std::lock_guard<std::mutex> lock(_mutex);
  return _capacity;
}
