// The process-wide table of the camera set and the open cameras.
#ifndef VYKSIM_CAMERA_REGISTRY_H
#define VYKSIM_CAMERA_REGISTRY_H

#include "CameraConfig.h"
#include "kv2_cam.h"

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <set>

namespace vyksim {

class SimCamera;

// Handles are opaque numbers, never pointers, so a stale or forged handle is refused
// instead of dereferenced. The registry lock is held only for table work; it is never
// held while a camera is built (its scene takes a moment) or while a camera operation runs.
class CameraRegistry {
public:
    // The one registry of the process; its destructor closes cameras left open.
    static CameraRegistry& instance();
    ~CameraRegistry();

    int32_t initialize();   // counts an initialisation; loads the camera set on the first
    int32_t cleanup();      // undoes one initialisation; the last closes every camera
    int32_t reset();        // reloads the camera set; refused while cameras are open

    // Opens a camera as the open record asks and fills its out fields.
    int32_t open(VYK_OpenStruct& request, VYK_HANDLE& handle);
    // Closes an open camera; the handle is invalid afterwards.
    int32_t close(VYK_HANDLE handle);
    // The camera of a handle, or null with result set to the failure.
    std::shared_ptr<SimCamera> find(VYK_HANDLE handle, int32_t& result);

private:
    CameraRegistry() = default;
    // Reads the camera set again. Caller holds mutex_.
    void reload();
    // Picks the camera an open request names and reserves its serial. Caller holds mutex_.
    int32_t reserve(const VYK_OpenStruct& request, CameraConfig& chosen, uint16_t& number);

    std::mutex mutex_;                                       // guards every member below
    int initCount_ = 0;                                      // initialisations not yet cleaned up
    CameraSet set_;                                          // the cameras that exist
    std::map<uintptr_t, std::shared_ptr<SimCamera>> open_;   // handle -> open camera
    std::set<uint32_t> opening_;                             // serials being built by open()
    uintptr_t nextHandle_ = 0x5100;                          // never reused within a process
};

} // namespace vyksim

#endif // VYKSIM_CAMERA_REGISTRY_H
