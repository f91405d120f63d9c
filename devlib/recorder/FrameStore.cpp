#include "FrameStore.h"

#include <algorithm>
#include <cstring>

namespace vykrec {

FrameStore::FrameStore(StorePolicy policy, uint32_t capacity, uint32_t width, uint32_t height)
    : policy_(policy), capacity_(capacity), width_(width), height_(height)
{
    const size_t pixels = size_t(width) * height;
    // One block for every slot, not value-initialised: the pages are committed when an
    // image first lands in them. (Separate small blocks would each be touched by the
    // allocator's own bookkeeping, making a large store resident before any image.)
    pixels_.reset(new uint16_t[size_t(capacity) * pixels]);
    slots_.reserve(capacity);
    for (uint32_t i = 0; i < capacity; ++i) {
        auto slot = std::make_unique<Slot>();
        slot->pixels = pixels_.get() + size_t(i) * pixels;
        slots_.push_back(std::move(slot));
    }
}

FrameStore::~FrameStore() = default;

uint64_t FrameStore::bytesFor(uint32_t capacity, uint32_t width, uint32_t height)
{
    // Each image also costs its slot's bookkeeping, which is committed at once.
    return uint64_t(capacity) * (uint64_t(width) * height * sizeof(uint16_t) + sizeof(Slot));
}

FrameStore::PutResult FrameStore::put(const uint16_t* pixels, const uint8_t* metadata,
                                      const uint8_t* timestamp)
{
    std::lock_guard<std::mutex> producer(putLock_);
    uint32_t slotIndex = 0;
    uint32_t number = 0;
    {
        std::lock_guard<std::mutex> guard(lock_);
        if (capacity_ == 0)
            return policy_ == StorePolicy::Fifo ? PutResult::Overflow : PutResult::Full;
        if (held_ == capacity_) {
            if (policy_ == StorePolicy::Sequence)
                return PutResult::Full;
            if (policy_ == StorePolicy::Fifo)
                return PutResult::Overflow;
            // Ring: the oldest image leaves the readable range before it is overwritten.
            first_ = (first_ + 1) % capacity_;
            --held_;
        }
        slotIndex = (first_ + held_) % capacity_;
        number = uint32_t(std::min<uint64_t>(stored_ + 1, 0xFFFFFFFEu));
    }
    {
        // A reader may still copy this slot (a FIFO image just taken out, or the ring's
        // oldest image); the slot lock makes the producer wait for it.
        Slot& slot = *slots_[slotIndex];
        std::lock_guard<std::mutex> slotGuard(slot.lock);
        std::memcpy(slot.pixels, pixels, size_t(width_) * height_ * sizeof(uint16_t));
        slot.info.number = number;
        slot.info.hasMetadata = metadata != nullptr;
        if (metadata != nullptr)
            std::memcpy(slot.info.metadata.data(), metadata, slot.info.metadata.size());
        slot.info.hasTimestamp = timestamp != nullptr;
        if (timestamp != nullptr)
            std::memcpy(slot.info.timestamp.data(), timestamp, slot.info.timestamp.size());
    }
    std::lock_guard<std::mutex> guard(lock_);
    ++held_;
    ++stored_;
    return PutResult::Stored;
}

bool FrameStore::read(uint32_t index, const Reader& reader)
{
    std::unique_lock<std::mutex> guard(lock_);
    if (held_ == 0)
        return false;
    uint32_t offset = 0;
    if (policy_ == StorePolicy::Fifo)
        offset = 0; // a FIFO always hands out its oldest image, whatever the index
    else if (index == kLatest)
        offset = held_ - 1;
    else if (index < held_)
        offset = index;
    else
        return false;
    Slot& slot = *slots_[(first_ + offset) % capacity_];
    std::unique_lock<std::mutex> slotGuard(slot.lock);
    if (policy_ == StorePolicy::Fifo) {
        first_ = (first_ + 1) % capacity_;
        --held_;
    }
    guard.unlock();
    reader(slot.pixels, slot.info);
    return true;
}

void FrameStore::clear()
{
    std::lock_guard<std::mutex> producer(putLock_);
    std::lock_guard<std::mutex> guard(lock_);
    first_ = 0;
    held_ = 0;
    stored_ = 0;
}

uint32_t FrameStore::held() const
{
    std::lock_guard<std::mutex> guard(lock_);
    return held_;
}

uint64_t FrameStore::stored() const
{
    std::lock_guard<std::mutex> guard(lock_);
    return stored_;
}

} // namespace vykrec
