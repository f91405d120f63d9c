#pragma once
// A first-come first-served mutex. A camera's worker thread calls the camera in a tight
// loop; with a plain std::mutex the GUI thread could wait many turns for a stop, a trigger
// or a setting. Here every locker is served in the order it arrived, so it waits at most
// for the call that is running.

#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace vyk {

/// Ticket lock with the BasicLockable interface (usable with std::lock_guard). Not recursive.
class FairMutex {
 public:
  /// Takes a ticket and waits until it is served.
  void lock();
  /// Serves the next ticket.
  void unlock();

 private:
  std::mutex _mutex;                 // guards _next and _serving
  std::condition_variable _changed;  // signalled whenever _serving advances
  uint64_t _next = 0;                // guarded by _mutex; the ticket the next locker gets
  uint64_t _serving = 0;             // guarded by _mutex; the ticket that holds the lock
};

}  // namespace vyk
