#include "LumraRegistry.h"

#include <cstdlib>
#include <fstream>
#include <iostream>
#include <set>
#include <sstream>

namespace lumrasim {

namespace {

constexpr uint64_t kHandleTag = 0x4C55000000000000ull;
constexpr uint64_t kHandleTagMask = 0xFFFF000000000000ull;

// The configuration path and its contents: a changed fingerprint means re-plugged devices.
std::string configurationFingerprint()
{
    const char* path = std::getenv("RASTEL_SIM_CONFIG");
    if (path == nullptr)
        return {};
    std::ifstream in(path);
    std::ostringstream contents;
    contents << in.rdbuf();
    return std::string(path) + '\n' + contents.str();
}

}  // namespace

LumraRegistry& LumraRegistry::instance()
{
    static LumraRegistry registry;
    return registry;
}

void LumraRegistry::reloadIfChanged()
{
    for (const auto& device : devices_) {
        if (device->isOpen())
            return;
    }
    std::string fingerprint = configurationFingerprint();
    if (loaded_ && fingerprint == fingerprint_)
        return;
    devices_.clear();
    std::set<uint32_t> serials;
    for (const SimLumraSpec& spec : loadSimLumraSpecs()) {
        if (!serials.insert(spec.serial).second) {
            std::cerr << "lsx_lumra: skipping a second light source with serial " << spec.serial << "\n";
            continue;
        }
        if (devices_.size() == LUMRA_MAX_DEVICES)
            break;
        devices_.push_back(std::make_unique<SimLumraDevice>(spec));
    }
    fingerprint_ = std::move(fingerprint);
    loaded_ = true;
    ++generation_;
}

int32_t LumraRegistry::scan(LUMRA_HANDLE* handles, uint32_t capacity, uint32_t* count)
{
    if (handles == nullptr || count == nullptr)
        return LUMRA_ERR_NULL_POINTER;
    std::lock_guard<std::mutex> lock(mutex_);
    reloadIfChanged();
    uint32_t written = 0;
    for (size_t i = 0; i < devices_.size() && written < capacity; ++i, ++written)
        handles[i] = kHandleTag | (static_cast<uint64_t>(generation_) << 16) | (i + 1);
    *count = written;
    return LUMRA_OK;
}

int32_t LumraRegistry::withDevice(LUMRA_HANDLE handle,
                                  const std::function<int32_t(SimLumraDevice&)>& call)
{
    std::lock_guard<std::mutex> lock(mutex_);
    const uint64_t index = handle & 0xFFFFu;
    const uint64_t generation = (handle >> 16) & 0xFFFFFFFFull;
    if ((handle & kHandleTagMask) != kHandleTag || generation != generation_ || index == 0
        || index > devices_.size())
        return LUMRA_ERR_INVALID_HANDLE;
    return call(*devices_[index - 1]);
}

}  // namespace lumrasim
