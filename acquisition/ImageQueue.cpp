#include "acquisition/ImageQueue.h"

ImageQueue::ImageQueue(uint64_t capacity) : _capacity(capacity) {}

void ImageQueue::push(const vyk::Image& image) {
  vyk::Image copy;
  {
    std::lock_guard<std::mutex> lock(_mutex);
    copy = takeSpare();
  }
  // Outside the lock; a spare of the same shape keeps its buffers, so nothing is allocated.
  copy = image;
  append(std::move(copy), nullptr);
}

void ImageQueue::push(vyk::Image&& image) { append(std::move(image), &image); }

void ImageQueue::append(vyk::Image&& image, vyk::Image* spare) {
  bool dropped = false;
  {
    std::lock_guard<std::mutex> lock(_mutex);
    // At most one drop per push: after a capacity decrease the count shrinks only as
    // consumers take images.
    dropped = _items.size() >= _capacity && !_items.empty();
    if (dropped) {
      if (_spares.size() < kMaxSpares) _spares.push_back(std::move(_items.front()));
      _items.pop_front();
    }
    _active.store(true);
    _items.push_back(std::move(image));
    if (spare != nullptr) *spare = takeSpare();
  }
  // The semaphore counts waiting images (and deactivations): the dropped image's release
  // stands for the new one, so a consumer never wakes for an image that is not there.
  if (!dropped) _available.release();
}

vyk::Image ImageQueue::takeSpare() {
  vyk::Image spare;
  if (!_spares.empty()) {
    spare = std::move(_spares.back());
    _spares.pop_back();
  }
  return spare;
}

void ImageQueue::recycle(vyk::Image&& image) {
  vyk::Image unused;  // freed outside the lock
  std::lock_guard<std::mutex> lock(_mutex);
  if (_active.load() && _spares.size() < kMaxSpares) {
    _spares.push_back(std::move(image));
  } else {
    unused = std::move(image);
  }
}

std::optional<vyk::Image> ImageQueue::takeFront(bool woken) {
  std::optional<vyk::Image> front;
  {
    std::lock_guard<std::mutex> lock(_mutex);
    if (!_items.empty()) {
      front.emplace(std::move(_items.front()));
      _items.pop_front();
    }
  }
  // An image taken without waiting still holds its release: take it too, or the consumer's
  // next wait would return at once for nothing.
  if (front && !woken) _available.tryAcquire();
  return front;
}

std::optional<vyk::Image> ImageQueue::pop(std::optional<std::chrono::milliseconds> timeout) {
  if (!_active.load()) return std::nullopt;
  for (bool woken = false;; woken = true) {
    if (std::optional<vyk::Image> front = takeFront(woken)) return front;
    // The semaphore only wakes the loop; whether an image is taken depends on the item
    // count alone, so counts left over from dropped images never yield a phantom image
    // (they only cost one more look).
    if (timeout) {
      if (!_available.tryAcquireFor(*timeout)) return std::nullopt;
    } else {
      _available.acquire();  // every push and every deactivation releases it
    }
    if (!_active.load()) return std::nullopt;
  }
}

std::optional<vyk::Image> ImageQueue::waitPop(std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (bool woken = false;; woken = true) {
    if (std::optional<vyk::Image> front = takeFront(woken)) return front;
    // Woken by a push (which re-activates the queue before it releases) or a deactivation.
    if (!_available.tryAcquireUntil(deadline)) return std::nullopt;
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
    _spares.clear();
  }
  // The discarded images' releases go with them; one release wakes the waiting consumer.
  while (_available.tryAcquire()) {
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
