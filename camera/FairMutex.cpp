#include "camera/FairMutex.h"

namespace vyk {

void FairMutex::lock() {
  std::unique_lock<std::mutex> lock(_mutex);
  const uint64_t ticket = _next++;
  _changed.wait(lock, [&] { return _serving == ticket; });
}

void FairMutex::unlock() {
  {
    std::lock_guard<std::mutex> lock(_mutex);
    ++_serving;
  }
  // Every waiter checks whether its ticket is now served.
  _changed.notify_all();
}

}  // namespace vyk
