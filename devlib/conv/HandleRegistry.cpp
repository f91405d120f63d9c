#include "HandleRegistry.h"

namespace vykconv {

HandleRegistry& HandleRegistry::instance()
{
    // Never destroyed: handles may still be deleted by other objects' destructors while
    // static objects are torn down at exit.
    static HandleRegistry* const registry = new HandleRegistry;
    return *registry;
}

VYKCONV_HANDLE HandleRegistry::add(std::shared_ptr<Converter> converter)
{
    std::lock_guard<std::mutex> lock(mutex_);
    const uintptr_t id = nextId_++;
    handles_.emplace(id, std::move(converter));
    return reinterpret_cast<VYKCONV_HANDLE>(id);
}

std::shared_ptr<Converter> HandleRegistry::find(VYKCONV_HANDLE handle) const
{
    std::lock_guard<std::mutex> lock(mutex_);
    const auto it = handles_.find(reinterpret_cast<uintptr_t>(handle));
    return it == handles_.end() ? nullptr : it->second;
}

std::shared_ptr<Converter> HandleRegistry::remove(VYKCONV_HANDLE handle)
{
    std::lock_guard<std::mutex> lock(mutex_);
    const auto it = handles_.find(reinterpret_cast<uintptr_t>(handle));
    if (it == handles_.end())
        return nullptr;
    auto converter = std::move(it->second);
    handles_.erase(it);
    return converter;
}

} // namespace vykconv
