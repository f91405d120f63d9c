// Drops GObject references on a thread of its own.
#ifndef VYKSIM_GOBJECT_REAPER_H
#define VYKSIM_GOBJECT_REAPER_H

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace vyksim {

// Aravis takes several seconds to finalise a stream or a device whose camera no longer
// answers (it still tries to tell the camera). Such objects are handed here, so that closing
// a failed camera does not block the caller. The thread starts with the first object and is
// joined by the destructor (at process exit), which finishes what is queued.
class GObjectReaper {
public:
    // The one reaper of the process.
    static GObjectReaper& instance();
    ~GObjectReaper();
    GObjectReaper(const GObjectReaper&) = delete;
    GObjectReaper& operator=(const GObjectReaper&) = delete;

    // Takes over one reference (may be null) and drops it soon on the reaper thread.
    void release(void* object);

private:
    GObjectReaper() = default;
    void run();

    std::mutex mutex_;                // guards queue_, stop_ and the start of thread_
    std::condition_variable wake_;    // with mutex_
    std::deque<void*> queue_;         // references still to drop
    bool stop_ = false;
    std::thread thread_;              // started by the first release(), joined by the destructor
};

} // namespace vyksim

#endif // VYKSIM_GOBJECT_REAPER_H
