#include "acquisition/CountingSemaphore.h"

void CountingSemaphore::release() {
  {
    std::lock_guard<std::mutex> lock(_mutex);
    ++_count;
  }
  _changed.notify_one();
}

void CountingSemaphore::acquire() {
  std::unique_lock<std::mutex> lock(_mutex);
  _changed.wait(lock, [this] { return _count > 0; });
  --_count;
}

bool CountingSemaphore::tryAcquire() {
  std::lock_guard<std::mutex> lock(_mutex);
  if (_count <= 0) return false;
  --_count;
  return true;
}

bool CountingSemaphore::tryAcquireFor(std::chrono::milliseconds timeout) {
  std::unique_lock<std::mutex> lock(_mutex);
  if (!_changed.wait_for(lock, timeout, [this] { return _count > 0; })) return false;
  --_count;
  return true;
}

bool CountingSemaphore::tryAcquireUntil(std::chrono::steady_clock::time_point deadline) {
  std::unique_lock<std::mutex> lock(_mutex);
  if (!_changed.wait_until(lock, deadline, [this] { return _count > 0; })) return false;
  --_count;
  return true;
}

int32_t CountingSemaphore::available() const {
  std::lock_guard<std::mutex> lock(_mutex);
  return _count;
}
