// The recorder handles handed out by the C interface, and which camera records for whom.
#ifndef VYK_RECORDER_REGISTRY_H
#define VYK_RECORDER_REGISTRY_H

#include <memory>

#include "vyk_recorder.h"

namespace vykrec {

class Recorder;

// Handles are numbers that are never reused, so a deleted handle stays invalid even when
// a new recorder is created. A found recorder is shared: deleting it while another thread
// still works with it releases it when that thread is done. Process-wide, locked inside.
class RecorderRegistry {
public:
    // Registers a recorder and returns its new handle.
    static VYK_RECORDER add(std::shared_ptr<Recorder> recorder);

    // The recorder of handle, or null.
    static std::shared_ptr<Recorder> find(VYK_RECORDER handle);

    // Unregisters handle and returns its recorder (null when unknown).
    static std::shared_ptr<Recorder> remove(VYK_RECORDER handle);

    // Marks camera as fed into owner; false when another recorder already has it.
    static bool claimCamera(VYK_HANDLE camera, const Recorder* owner);

    // Releases the claim of owner on camera (no effect when owner does not hold it).
    static void releaseCamera(VYK_HANDLE camera, const Recorder* owner);
};

} // namespace vykrec

#endif // VYK_RECORDER_REGISTRY_H
