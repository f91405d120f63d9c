#include "RecorderRegistry.h"

#include <cstdint>
#include <map>
#include <mutex>

namespace vykrec {

namespace {

struct Tables {
    std::mutex lock;                                          // guards every member
    uintptr_t nextHandle = 0x5EC0001;                         // never 0, never reused
    std::map<uintptr_t, std::shared_ptr<Recorder>> recorders; // handle -> recorder
    std::map<VYK_HANDLE, const Recorder*> claims;             // camera -> recorder it feeds
};

Tables& tables()
{
    static Tables instance;
    return instance;
}

} // namespace

VYK_RECORDER RecorderRegistry::add(std::shared_ptr<Recorder> recorder)
{
    Tables& t = tables();
    std::lock_guard<std::mutex> guard(t.lock);
    const uintptr_t handle = t.nextHandle;
    t.nextHandle += 2;
    t.recorders.emplace(handle, std::move(recorder));
    return reinterpret_cast<VYK_RECORDER>(handle);
}

std::shared_ptr<Recorder> RecorderRegistry::find(VYK_RECORDER handle)
{
    Tables& t = tables();
    std::lock_guard<std::mutex> guard(t.lock);
    const auto it = t.recorders.find(reinterpret_cast<uintptr_t>(handle));
    return it == t.recorders.end() ? nullptr : it->second;
}

std::shared_ptr<Recorder> RecorderRegistry::remove(VYK_RECORDER handle)
{
    Tables& t = tables();
    std::lock_guard<std::mutex> guard(t.lock);
    const auto it = t.recorders.find(reinterpret_cast<uintptr_t>(handle));
    if (it == t.recorders.end())
        return nullptr;
    std::shared_ptr<Recorder> recorder = std::move(it->second);
    t.recorders.erase(it);
    return recorder;
}

bool RecorderRegistry::claimCamera(VYK_HANDLE camera, const Recorder* owner)
{
    Tables& t = tables();
    std::lock_guard<std::mutex> guard(t.lock);
    const auto it = t.claims.find(camera);
    if (it != t.claims.end())
        return it->second == owner;
    t.claims.emplace(camera, owner);
    return true;
}

void RecorderRegistry::releaseCamera(VYK_HANDLE camera, const Recorder* owner)
{
    Tables& t = tables();
    std::lock_guard<std::mutex> guard(t.lock);
    const auto it = t.claims.find(camera);
    if (it != t.claims.end() && it->second == owner)
        t.claims.erase(it);
}

} // namespace vykrec
