#pragma once

#include "camera/Image.h"
#include "camera/RamAllocation.h"
#include "camera/Roi.h"

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

namespace devserver {

/// The simulated DXR recorder storage that every CLHS_DXR camera of one server shares: a
/// list of segments, each owned by one camera, sized in MiB as a percentage of the whole.
/// Each camera has an active segment (alloc_id, 0 = none) that its recordings go to.
/// The camera's recorder holds the images of its last recording; when the camera records
/// into another segment, the images of the earlier one move into that segment's keeping
/// here, so that each segment serves its own images after a switch back.
/// Thread safe; failures throw vyk::CameraException.
class DxrStorage {
public:
    /// Images a segment keeps: raw, in recording order, with the sensor ROI they were taken at.
    struct KeptImages {
        std::vector<vyk::Image> images; ///< index 0 = first image of the recording
        vyk::Roi recordRoi{1, 1, 1, 1}; ///< sensor ROI of that recording
    };

    /// Storage of totalMiB MiB, divided evenly among cameraSerials (one segment each, active).
    DxrStorage(uint64_t totalMiB, const std::vector<uint32_t>& cameraSerials);

    /// Every segment, sorted by alloc_id.
    std::vector<vyk::RamAllocation> allocation() const;
    /// Replaces the segments of camera serial by those entries of segments that name it;
    /// entries of other cameras are ignored (their segments stay). alloc_ids must be non-zero
    /// and unique, percentages 0..100 with a total of at most 100; sizes are recomputed.
    /// An active segment that no longer exists falls back to the camera's first segment.
    void setAllocation(uint32_t serial, const std::vector<vyk::RamAllocation>& segments);
    /// The active segment of camera serial; fails with 0xa0163006 when it has none.
    vyk::RamAllocation activeSegment(uint32_t serial) const;
    /// The active segment's alloc_id of camera serial (0 = none).
    uint16_t activeId(uint32_t serial) const;
    /// Makes allocId the active segment of camera serial; it must be one of its segments.
    void switchTo(uint32_t serial, uint16_t allocId);
    /// Images of imageBytes bytes that the active segment of camera serial holds (0 without one).
    uint32_t capacity(uint32_t serial, uint64_t imageBytes) const;
    /// Records that the active segment of camera serial now holds images images, in the
    /// camera's recorder: what the segment kept before is gone.
    void setStored(uint32_t serial, uint32_t images);
    /// Segment allocId takes over images (recorded by its camera's recorder, which is about
    /// to record into another segment); its stored count becomes their number.
    void keep(uint16_t allocId, KeptImages images);
    /// The images the active segment of camera serial keeps; null when its images are in the
    /// camera's recorder or it has none.
    std::shared_ptr<const KeptImages> kept(uint32_t serial) const;
    /// Images stored in the active segment of camera serial.
    uint32_t stored(uint32_t serial) const;
    /// Total storage, MiB.
    uint64_t totalMiB() const { return totalMiB_; }

private:
    const vyk::RamAllocation* findLocked(uint16_t allocId) const;

    const uint64_t totalMiB_;                  ///< whole storage, MiB
    mutable std::mutex mutex_;                 ///< guards every member below
    std::vector<vyk::RamAllocation> segments_; ///< sorted by alloc_id (mutex_)
    std::map<uint32_t, uint16_t> active_;      ///< camera serial -> active alloc_id (mutex_)
    std::map<uint16_t, uint32_t> stored_;      ///< alloc_id -> images stored in it (mutex_)
    std::map<uint16_t, std::shared_ptr<const KeptImages>> kept_; ///< alloc_id -> images it keeps (mutex_)
};

}  // namespace devserver
