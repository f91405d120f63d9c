// The process-wide table of the camera set and the open cameras.
#ifndef VYKSIM_CAMERA_REGISTRY_H
#define VYKSIM_CAMERA_REGISTRY_H

#include "CameraConfig.h"
#include "GenicamIds.h"
#include "kv2_cam.h"

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

namespace vyksim {

class CameraDevice;

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
    std::shared_ptr<CameraDevice> find(VYK_HANDLE handle, int32_t& result);

private:
    // The camera an open request picked: a simulated one or an entry of the GenICam list.
    struct Choice {
        bool genicam = false;
        CameraConfig config;     // simulated camera
        GenicamId id;            // GenICam camera
        uint16_t number = 0;     // number on its interface
        std::string key;         // reservation key: "sim:" serial or "genicam:" device id
        bool probe = false;      // GenICam camera of unknown serial, opened to learn it
    };

    CameraRegistry() = default;
    // Reads the camera set and the GenICam list again. Caller holds mutex_.
    void reload();
    // Picks the camera an open request names and reserves it. A request by serial that no
    // known serial answers picks a GenICam camera of unknown serial not in probed, to be
    // opened to learn it. Caller holds mutex_.
    int32_t reserve(const VYK_OpenStruct& request, const std::set<std::string>& probed, Choice& chosen);
    // Whether an open camera or one being opened has this key or this serial. Caller holds mutex_.
    bool taken(const std::string& key, bool bySerial, uint32_t serial) const;
    // Builds the chosen camera; no lock held (opening a real camera takes a while).
    static std::shared_ptr<CameraDevice> build(const Choice& chosen, int32_t& result);

    std::mutex mutex_;                                       // guards every member below
    int initCount_ = 0;                                      // initialisations not yet cleaned up
    CameraSet set_;                                          // the simulated cameras that exist
    std::vector<GenicamId> genicam_;                         // the GenICam cameras asked for
    std::map<std::string, uint32_t> genicamSerials_;         // device id -> serial, learnt at open
    std::map<uintptr_t, std::shared_ptr<CameraDevice>> open_; // handle -> open camera
    std::map<uintptr_t, std::string> openKeys_;              // handle -> reservation key
    std::set<std::string> opening_;                          // keys being built by open()
    uintptr_t nextHandle_ = 0x5100;                          // never reused within a process
};

} // namespace vyksim

#endif // VYKSIM_CAMERA_REGISTRY_H
