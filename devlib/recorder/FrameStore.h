// Images of one recording held in computer memory, as a sequence, a ring or a FIFO.
#ifndef VYK_RECORDER_FRAME_STORE_H
#define VYK_RECORDER_FRAME_STORE_H

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace vykrec {

// What a store keeps beside the pixels of one image.
struct FrameInfo {
    uint32_t number = 0;                // recorder image number: 1-based position in the recording
    bool hasMetadata = false;           // metadata holds the camera's 69-byte block
    std::array<uint8_t, 69> metadata{};
    bool hasTimestamp = false;          // timestamp holds the camera's 22-byte block
    std::array<uint8_t, 22> timestamp{};
};

// How a full store treats the next image, and how indices address the images held.
enum class StorePolicy {
    Sequence, // full: refuses further images; index 0 = first image
    Ring,     // full: overwrites the oldest; index 0 = oldest held, held-1 = newest
    Fifo,     // full: refuses (overflow); a read hands out and removes the oldest
};

// Fixed-size slots allocated once. One producer (put) and any number of readers may
// work at the same time: the producer fills a slot that no reader can address, and a
// reader keeps its slot locked while it copies, so no image is ever read half-written.
class FrameStore {
public:
    // Called by read() with the image's width*height pixels while its slot is locked.
    using Reader = std::function<void(const uint16_t* pixels, const FrameInfo& info)>;

    // Result of put().
    enum class PutResult { Stored, Full, Overflow };

    // Index value that addresses the newest image (the oldest for a FIFO).
    static constexpr uint32_t kLatest = 0xFFFFFFFFu;

    // Allocates capacity slots of width*height pixels; throws std::bad_alloc.
    FrameStore(StorePolicy policy, uint32_t capacity, uint32_t width, uint32_t height);
    ~FrameStore();
    FrameStore(const FrameStore&) = delete;
    FrameStore& operator=(const FrameStore&) = delete;

    // Stores one image (width*height pixels; metadata/timestamp may be null).
    PutResult put(const uint16_t* pixels, const uint8_t* metadata, const uint8_t* timestamp);

    // Hands image index to reader; false (reader not called) when there is no such image.
    bool read(uint32_t index, const Reader& reader);

    // Forgets every image; the next image gets number 1.
    void clear();

    // Images that can be read now.
    uint32_t held() const;

    // Images stored since construction or the last clear().
    uint64_t stored() const;

    // Slots, and the image size in pixels.
    uint32_t capacity() const { return capacity_; }
    uint32_t width() const { return width_; }
    uint32_t height() const { return height_; }
    StorePolicy policy() const { return policy_; }

    // Bytes of memory a store of this shape allocates: pixels and slot bookkeeping.
    static uint64_t bytesFor(uint32_t capacity, uint32_t width, uint32_t height);

private:
    struct Slot {
        std::mutex lock;                    // held while the slot's pixels or info change or are read
        uint16_t* pixels = nullptr;         // width*height values in pixels_ (guarded by lock)
        FrameInfo info;                     // guarded by lock
    };

    const StorePolicy policy_;
    const uint32_t capacity_;
    const uint32_t width_;
    const uint32_t height_;
    std::unique_ptr<uint16_t[]> pixels_;  // the pixels of every slot, capacity_ images in a row
    std::vector<std::unique_ptr<Slot>> slots_;

    std::mutex putLock_;         // serialises producers
    mutable std::mutex lock_;    // guards first_, held_, stored_; order: lock_ before a slot's lock
    uint32_t first_ = 0;         // slot of the oldest readable image (guarded by lock_)
    uint32_t held_ = 0;          // readable images (guarded by lock_)
    uint64_t stored_ = 0;        // images stored since clear (guarded by lock_)
};

} // namespace vykrec

#endif // VYK_RECORDER_FRAME_STORE_H
