// Camera RAM segments.
#include "CamRam.h"

namespace vyksim {

CamRam::CamRam(uint32_t pages, uint16_t pageSize)
    : totalPages_(pages)
    , pageSize_(pageSize == 0 ? 1 : pageSize)
{
    segments_[0].pages = pages;
}

uint32_t CamRam::segmentPages(uint16_t segment) const
{
    return segments_[segment - 1].pages;
}

bool CamRam::setSegmentPages(const uint32_t pages[kSegments])
{
    uint64_t sum = 0;
    for (uint16_t i = 0; i < kSegments; ++i)
        sum += pages[i];
    if (sum > totalPages_)
        return false;
    for (uint16_t i = 0; i < kSegments; ++i)
        segments_[i] = Segment{pages[i], 0, {}, 0};
    return true;
}

uint32_t CamRam::capacity(uint16_t segment, uint32_t width, uint32_t height) const
{
    const uint64_t pixels = uint64_t(width) * height;
    if (pixels == 0)
        return 0;
    const uint64_t pagesPerImage = (pixels + pageSize_ - 1) / pageSize_;
    return static_cast<uint32_t>(segments_[segment - 1].pages / pagesPerImage);
}

void CamRam::restart(uint16_t segment, uint32_t width, uint32_t height)
{
    Segment& s = segments_[segment - 1];
    s.capacity = capacity(segment, width, height);
    s.images.clear();
    s.next = 0;
}

CamRam::StoreResult CamRam::store(uint16_t segment, const FrameRecipe& recipe, bool ring)
{
    Segment& s = segments_[segment - 1];
    if (s.capacity == 0)
        return StoreResult::NotStored;
    if (s.images.size() < s.capacity) {
        s.images.push_back(recipe);
    } else {
        if (!ring)
            return StoreResult::NotStored;
        s.images[s.next] = recipe;
    }
    s.next = (s.next + 1) % s.capacity;
    return (!ring && s.images.size() == s.capacity) ? StoreResult::StoredNowFull : StoreResult::Stored;
}

uint32_t CamRam::validCount(uint16_t segment) const
{
    return static_cast<uint32_t>(segments_[segment - 1].images.size());
}

bool CamRam::recipeAt(uint16_t segment, uint32_t index, FrameRecipe& out) const
{
    const Segment& s = segments_[segment - 1];
    if (index >= s.images.size())
        return false;
    // Until the ring wraps the oldest image is at 0; afterwards it is where the next one goes.
    const size_t oldest = s.images.size() < s.capacity ? 0 : s.next;
    out = s.images[(oldest + index) % s.images.size()];
    return true;
}

} // namespace vyksim
