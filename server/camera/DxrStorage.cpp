#include "server/camera/DxrStorage.h"

#include "camera/CameraException.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <set>
#include <string>

namespace devserver {

namespace {

constexpr uint32_t kInvalid = 0xa0163001u;
constexpr uint32_t kNoSegmentMemory = 0xa0163006u;
constexpr uint64_t kMiB = 1024 * 1024;

uint64_t sizeOf(double percent, uint64_t totalMiB)
{
    return static_cast<uint64_t>(std::floor(percent * static_cast<double>(totalMiB) / 100.0));
}

[[noreturn]] void invalid(const std::string& message)
{
    throw vyk::CameraException(message, kInvalid);
}

// Removes the entries of a map by alloc_id whose segment does not stay as it was.
template <typename Map, typename Stays>
void eraseIf(Map& map, const Stays& stays)
{
    for (auto it = map.begin(); it != map.end();)
        it = stays(it->first) ? std::next(it) : map.erase(it);
}

}  // namespace

DxrStorage::DxrStorage(uint64_t totalMiB, const std::vector<uint32_t>& cameraSerials) : totalMiB_(totalMiB)
{
    if (cameraSerials.empty())
        return;
    const double share = std::floor(100.0 / static_cast<double>(cameraSerials.size()));
    uint16_t id = 1;
    for (const uint32_t serial : cameraSerials) {
        segments_.push_back({id, sizeOf(share, totalMiB_), share, serial});
        active_[serial] = id;
        ++id;
    }
}

std::vector<vyk::RamAllocation> DxrStorage::allocation() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return segments_;
}

void DxrStorage::setAllocation(uint32_t serial, const std::vector<vyk::RamAllocation>& segments)
{
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<vyk::RamAllocation> result;
    for (const vyk::RamAllocation& segment : segments_)
        if (segment.camera_serial != serial)
            result.push_back(segment);
    for (const vyk::RamAllocation& segment : segments) {
        if (segment.camera_serial != serial)
            continue;
        if (segment.alloc_id == 0)
            invalid("DXR segment id 0 is not allowed");
        if (!(segment.percent_of_total >= 0.0 && segment.percent_of_total <= 100.0))
            invalid("DXR segment percentage out of range: " + std::to_string(segment.percent_of_total));
        vyk::RamAllocation sized = segment;
        sized.segment_size = sizeOf(segment.percent_of_total, totalMiB_);
        result.push_back(sized);
    }
    std::set<uint16_t> ids;
    double total = 0.0;
    for (const vyk::RamAllocation& segment : result) {
        if (!ids.insert(segment.alloc_id).second)
            invalid("DXR segment id used twice: " + std::to_string(segment.alloc_id));
        total += segment.percent_of_total;
    }
    if (total > 100.0 + 1e-9)
        invalid("DXR segments exceed the storage: " + std::to_string(total) + " %");
    std::sort(result.begin(), result.end(),
              [](const vyk::RamAllocation& a, const vyk::RamAllocation& b) { return a.alloc_id < b.alloc_id; });

    // Changed segments lose what they held; unchanged ones keep their images.
    const auto unchanged = [&](uint16_t allocId) {
        const auto before = std::find_if(segments_.begin(), segments_.end(),
                                         [&](const vyk::RamAllocation& s) { return s.alloc_id == allocId; });
        const auto now = std::find_if(result.begin(), result.end(),
                                      [&](const vyk::RamAllocation& s) { return s.alloc_id == allocId; });
        return before != segments_.end() && now != result.end() && *before == *now;
    };
    eraseIf(stored_, unchanged);
    eraseIf(kept_, unchanged);
    segments_ = std::move(result);

    uint16_t& active = active_[serial];
    const vyk::RamAllocation* current = findLocked(active);
    if (current == nullptr || current->camera_serial != serial) {
        active = 0;
        for (const vyk::RamAllocation& segment : segments_)
            if (segment.camera_serial == serial) {
                active = segment.alloc_id;
                break;
            }
    }
}

vyk::RamAllocation DxrStorage::activeSegment(uint32_t serial) const
{
    std::lock_guard<std::mutex> lock(mutex_);
    const auto active = active_.find(serial);
    const vyk::RamAllocation* segment = active == active_.end() ? nullptr : findLocked(active->second);
    if (segment == nullptr)
        throw vyk::CameraException("Camera has no memory allocated for the active segment", kNoSegmentMemory);
    return *segment;
}

uint16_t DxrStorage::activeId(uint32_t serial) const
{
    std::lock_guard<std::mutex> lock(mutex_);
    const auto active = active_.find(serial);
    return active == active_.end() ? 0 : active->second;
}

void DxrStorage::switchTo(uint32_t serial, uint16_t allocId)
{
    std::lock_guard<std::mutex> lock(mutex_);
    const vyk::RamAllocation* segment = findLocked(allocId);
    if (segment == nullptr || segment->camera_serial != serial)
        invalid("DXR segment " + std::to_string(allocId) + " does not belong to camera " + std::to_string(serial));
    active_[serial] = allocId;
}

uint32_t DxrStorage::capacity(uint32_t serial, uint64_t imageBytes) const
{
    std::lock_guard<std::mutex> lock(mutex_);
    const auto active = active_.find(serial);
    const vyk::RamAllocation* segment = active == active_.end() ? nullptr : findLocked(active->second);
    if (segment == nullptr || imageBytes == 0)
        return 0;
    return static_cast<uint32_t>(std::min<uint64_t>(segment->segment_size * kMiB / imageBytes, 0xFFFFFFFEu));
}

void DxrStorage::setStored(uint32_t serial, uint32_t images)
{
    std::lock_guard<std::mutex> lock(mutex_);
    const auto active = active_.find(serial);
    if (active != active_.end() && active->second != 0) {
        stored_[active->second] = images;
        kept_.erase(active->second);
    }
}

void DxrStorage::keep(uint16_t allocId, KeptImages images)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (findLocked(allocId) == nullptr)
        return; // the segment was removed meanwhile: nothing to keep the images in
    stored_[allocId] = static_cast<uint32_t>(images.images.size());
    kept_[allocId] = std::make_shared<const KeptImages>(std::move(images));
}

std::shared_ptr<const DxrStorage::KeptImages> DxrStorage::kept(uint32_t serial) const
{
    std::lock_guard<std::mutex> lock(mutex_);
    const auto active = active_.find(serial);
    if (active == active_.end())
        return nullptr;
    const auto images = kept_.find(active->second);
    return images == kept_.end() ? nullptr : images->second;
}

uint32_t DxrStorage::stored(uint32_t serial) const
{
    std::lock_guard<std::mutex> lock(mutex_);
    const auto active = active_.find(serial);
    if (active == active_.end())
        return 0;
    const auto count = stored_.find(active->second);
    return count == stored_.end() ? 0 : count->second;
}

const vyk::RamAllocation* DxrStorage::findLocked(uint16_t allocId) const
{
    for (const vyk::RamAllocation& segment : segments_)
        if (segment.alloc_id == allocId)
            return &segment;
    return nullptr;
}

}  // namespace devserver
