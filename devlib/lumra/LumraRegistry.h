// The set of attached simulated light sources and the handles that name them.
#pragma once

#include "SimLumraDevice.h"
#include "lsx_lumra.h"

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace lumrasim {

/// Process-wide device set; one lock serialises every device call.
class LumraRegistry {
public:
    /// The one registry of the library.
    static LumraRegistry& instance();

    /// Lists the devices; reloads the set first when no device is open and the configuration changed.
    int32_t scan(LUMRA_HANDLE* handles, uint32_t capacity, uint32_t* count);
    /// Runs call on the device named by handle under the registry lock; LUMRA_ERR_INVALID_HANDLE if none.
    int32_t withDevice(LUMRA_HANDLE handle, const std::function<int32_t(SimLumraDevice&)>& call);

private:
    LumraRegistry() = default;
    void reloadIfChanged();

    std::mutex mutex_;                                    ///< guards every member below
    std::vector<std::unique_ptr<SimLumraDevice>> devices_; ///< attached devices (mutex_)
    uint32_t generation_ = 0;     ///< bumped on every reload; part of each handle (mutex_)
    std::string fingerprint_;     ///< configuration the set was loaded from (mutex_)
    bool loaded_ = false;         ///< the set has been loaded once (mutex_)
};

}  // namespace lumrasim
