// Dropping GObject references off the caller's thread.
#include "GObjectReaper.h"

#include <glib-object.h>

namespace vyksim {

GObjectReaper& GObjectReaper::instance()
{
    static GObjectReaper reaper;
    return reaper;
}

GObjectReaper::~GObjectReaper()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable())
        thread_.join();
}

void GObjectReaper::release(void* object)
{
    if (object == nullptr)
        return;
    std::lock_guard<std::mutex> lock(mutex_);
    queue_.push_back(object);
    if (!thread_.joinable())
        thread_ = std::thread([this] { run(); });
    wake_.notify_all();
}

void GObjectReaper::run()
{
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return stop_ || !queue_.empty(); });
        if (queue_.empty())
            return; // stop_ and nothing left
        void* object = queue_.front();
        queue_.pop_front();
        lock.unlock();
        g_object_unref(object);
        lock.lock();
    }
}

} // namespace vyksim
