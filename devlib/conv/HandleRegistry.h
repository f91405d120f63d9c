// Process-wide table of live conversion handles.
#ifndef VYKCONV_HANDLE_REGISTRY_H
#define VYKCONV_HANDLE_REGISTRY_H

#include <cstdint>
#include <memory>
#include <mutex>
#include <unordered_map>

#include "vyk_conv.h"

namespace vykconv {

class Converter;

// Maps handle values to converters. A handle value is a serial number that is never
// handed out twice, so a deleted or invented handle is recognised instead of being
// dereferenced.
class HandleRegistry {
public:
    // The one registry of the process.
    static HandleRegistry& instance();

    // Registers a converter and returns its new handle.
    VYKCONV_HANDLE add(std::shared_ptr<Converter> converter);

    // The converter of a live handle, or null.
    std::shared_ptr<Converter> find(VYKCONV_HANDLE handle) const;

    // Unregisters a handle and returns its converter, or null when it was not live.
    std::shared_ptr<Converter> remove(VYKCONV_HANDLE handle);

private:
    mutable std::mutex mutex_;  // guards handles_ and nextId_
    std::unordered_map<uintptr_t, std::shared_ptr<Converter>> handles_; // live handles
    uintptr_t nextId_ = 1;      // value of the next handle; never reused
};

} // namespace vykconv

#endif
