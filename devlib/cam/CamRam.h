// The camera's internal RAM: four segments of pages holding recorded images.
#ifndef VYKSIM_CAM_RAM_H
#define VYKSIM_CAM_RAM_H

#include "FrameSetup.h"

#include <array>
#include <cstdint>
#include <vector>

namespace vyksim {

// Segments are numbered 1..4. An image occupies ceil(width*height / page size) pages.
// A segment keeps its images (as recipes, re-rendered on reading) until it is restarted
// or the segment sizes change. Not thread-safe: the owning camera's mutex guards it.
class CamRam {
public:
    static constexpr uint16_t kSegments = 4;

    // What storing an image did.
    enum class StoreResult { Stored, StoredNowFull, NotStored };

    // RAM of pages pages of pageSize pixels; segment 1 gets every page.
    CamRam(uint32_t pages, uint16_t pageSize);

    uint32_t totalPages() const { return totalPages_; }       // RAM size in pages
    uint16_t pageSize() const { return pageSize_; }            // pixels per page
    uint32_t segmentPages(uint16_t segment) const;             // size of a segment (1..4) in pages

    // Sets the four segment sizes (pages); false when they add up to more than the RAM. Clears all segments.
    bool setSegmentPages(const uint32_t pages[kSegments]);

    // How many images of width x height a segment holds.
    uint32_t capacity(uint16_t segment, uint32_t width, uint32_t height) const;

    // Empties a segment and sizes it for images of width x height.
    void restart(uint16_t segment, uint32_t width, uint32_t height);

    // Appends an image; ring overwrites the oldest when full, otherwise a full segment refuses it.
    StoreResult store(uint16_t segment, const FrameRecipe& recipe, bool ring);

    // Number of valid images in a segment.
    uint32_t validCount(uint16_t segment) const;

    // The index-th valid image (0 = oldest); false when index is out of range.
    bool recipeAt(uint16_t segment, uint32_t index, FrameRecipe& out) const;

private:
    struct Segment {
        uint32_t pages = 0;               // size in pages
        uint32_t capacity = 0;            // images it holds at the size of its recording
        std::vector<FrameRecipe> images;  // ring storage, at most capacity entries
        uint32_t next = 0;                // where the next image goes
    };
    uint32_t totalPages_;
    uint16_t pageSize_;
    std::array<Segment, kSegments> segments_;
};

} // namespace vyksim

#endif // VYKSIM_CAM_RAM_H
