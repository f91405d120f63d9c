// The memory image store: sequence, ring and FIFO order, index addressing, concurrency.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "FrameStore.h"

using vykrec::FrameInfo;
using vykrec::FrameStore;
using vykrec::StorePolicy;

namespace {

constexpr uint32_t kWidth = 5;
constexpr uint32_t kHeight = 3;

// An image whose every pixel holds value.
std::vector<uint16_t> image(uint16_t value)
{
    return std::vector<uint16_t>(kWidth * kHeight, value);
}

// Puts images with the values first, first+1, ... into store; returns the results.
std::vector<FrameStore::PutResult> putRange(FrameStore& store, uint16_t first, uint16_t count)
{
    std::vector<FrameStore::PutResult> results;
    for (uint16_t i = 0; i < count; ++i)
        results.push_back(store.put(image(uint16_t(first + i)).data(), nullptr, nullptr));
    return results;
}

// Value of the first pixel and the number of image index; -1 when there is none.
std::pair<int, int> valueAt(FrameStore& store, uint32_t index)
{
    std::pair<int, int> seen{-1, -1};
    store.read(index, [&](const uint16_t* pixels, const FrameInfo& info) {
        seen = {pixels[0], int(info.number)};
        for (uint32_t i = 1; i < kWidth * kHeight; ++i)
            EXPECT_EQ(pixels[i], pixels[0]);
    });
    return seen;
}

} // namespace

TEST(FrameStore, SequenceStopsTakingImagesWhenFull)
{
    FrameStore store(StorePolicy::Sequence, 3, kWidth, kHeight);
    const auto results = putRange(store, 10, 5);
    EXPECT_EQ(results[2], FrameStore::PutResult::Stored);
    EXPECT_EQ(results[3], FrameStore::PutResult::Full);
    EXPECT_EQ(results[4], FrameStore::PutResult::Full);
    EXPECT_EQ(store.held(), 3u);
    EXPECT_EQ(store.stored(), 3u);
    EXPECT_EQ(valueAt(store, 0), std::make_pair(10, 1));
    EXPECT_EQ(valueAt(store, 2), std::make_pair(12, 3));
    EXPECT_EQ(valueAt(store, FrameStore::kLatest), std::make_pair(12, 3));
    EXPECT_EQ(valueAt(store, 3).first, -1);
    // Reading does not remove anything.
    EXPECT_EQ(valueAt(store, 0), std::make_pair(10, 1));
}

TEST(FrameStore, RingKeepsTheNewestImagesOldestFirst)
{
    FrameStore store(StorePolicy::Ring, 4, kWidth, kHeight);
    const auto results = putRange(store, 100, 10);
    for (auto r : results)
        EXPECT_EQ(r, FrameStore::PutResult::Stored);
    EXPECT_EQ(store.held(), 4u);
    EXPECT_EQ(store.stored(), 10u);
    // Images 7..10 (values 106..109) are held; index 0 is the oldest of them.
    for (uint32_t i = 0; i < 4; ++i)
        EXPECT_EQ(valueAt(store, i), std::make_pair(int(106 + i), int(7 + i))) << "index " << i;
    EXPECT_EQ(valueAt(store, FrameStore::kLatest), std::make_pair(109, 10));
    EXPECT_EQ(valueAt(store, 4).first, -1);
}

TEST(FrameStore, RingBeforeWrappingAddressesFromTheFirstImage)
{
    FrameStore store(StorePolicy::Ring, 8, kWidth, kHeight);
    putRange(store, 1, 3);
    EXPECT_EQ(store.held(), 3u);
    EXPECT_EQ(valueAt(store, 0), std::make_pair(1, 1));
    EXPECT_EQ(valueAt(store, FrameStore::kLatest), std::make_pair(3, 3));
    EXPECT_EQ(valueAt(store, 3).first, -1);
}

TEST(FrameStore, FifoHandsImagesOutInOrderAndRemovesThem)
{
    FrameStore store(StorePolicy::Fifo, 4, kWidth, kHeight);
    const auto results = putRange(store, 50, 6);
    EXPECT_EQ(results[3], FrameStore::PutResult::Stored);
    EXPECT_EQ(results[4], FrameStore::PutResult::Overflow);
    EXPECT_EQ(results[5], FrameStore::PutResult::Overflow);
    EXPECT_EQ(store.held(), 4u);
    // Whatever index is asked for, the oldest comes out.
    EXPECT_EQ(valueAt(store, 3), std::make_pair(50, 1));
    EXPECT_EQ(valueAt(store, FrameStore::kLatest), std::make_pair(51, 2));
    EXPECT_EQ(store.held(), 2u);
    // Freed slots take new images, which come after the ones still waiting.
    putRange(store, 60, 2);
    EXPECT_EQ(valueAt(store, 0), std::make_pair(52, 3));
    EXPECT_EQ(valueAt(store, 0), std::make_pair(53, 4));
    EXPECT_EQ(valueAt(store, 0), std::make_pair(60, 5));
    EXPECT_EQ(valueAt(store, 0), std::make_pair(61, 6));
    EXPECT_EQ(valueAt(store, 0).first, -1);
    EXPECT_EQ(store.held(), 0u);
}

TEST(FrameStore, KeepsMetadataAndTimestampWithTheImage)
{
    FrameStore store(StorePolicy::Ring, 4, kWidth, kHeight);
    std::array<uint8_t, 69> metadata{};
    std::array<uint8_t, 22> timestamp{};
    for (size_t i = 0; i < metadata.size(); ++i)
        metadata[i] = uint8_t(i + 1);
    for (size_t i = 0; i < timestamp.size(); ++i)
        timestamp[i] = uint8_t(200 - i);
    store.put(image(1).data(), metadata.data(), timestamp.data());
    store.put(image(2).data(), nullptr, nullptr);
    store.read(0, [&](const uint16_t*, const FrameInfo& info) {
        EXPECT_TRUE(info.hasMetadata);
        EXPECT_EQ(info.metadata, metadata);
        EXPECT_TRUE(info.hasTimestamp);
        EXPECT_EQ(info.timestamp, timestamp);
    });
    store.read(1, [&](const uint16_t*, const FrameInfo& info) {
        EXPECT_FALSE(info.hasMetadata);
        EXPECT_FALSE(info.hasTimestamp);
    });
}

TEST(FrameStore, ClearForgetsImagesAndRestartsNumbering)
{
    FrameStore store(StorePolicy::Sequence, 2, kWidth, kHeight);
    putRange(store, 1, 2);
    store.clear();
    EXPECT_EQ(store.held(), 0u);
    EXPECT_EQ(store.stored(), 0u);
    EXPECT_EQ(valueAt(store, 0).first, -1);
    putRange(store, 7, 1);
    EXPECT_EQ(valueAt(store, 0), std::make_pair(7, 1));
}

TEST(FrameStore, ReadersNeverSeeHalfWrittenImages)
{
    // A producer overwrites the ring as fast as it can while a reader checks that every
    // image it copies is uniform and newer than or equal to the one before.
    FrameStore store(StorePolicy::Ring, 4, kWidth, kHeight);
    std::atomic<bool> done{false};
    std::thread producer([&] {
        for (uint32_t v = 1; v <= 20000; ++v)
            store.put(image(uint16_t(v & 0xFFFF)).data(), nullptr, nullptr);
        done = true;
    });
    uint32_t lastNumber = 0;
    bool uniform = true, ordered = true;
    while (!done) {
        store.read(FrameStore::kLatest, [&](const uint16_t* pixels, const FrameInfo& info) {
            for (uint32_t i = 1; i < kWidth * kHeight; ++i)
                uniform = uniform && pixels[i] == pixels[0];
            uniform = uniform && pixels[0] == uint16_t(info.number & 0xFFFF);
            ordered = ordered && info.number >= lastNumber;
            lastNumber = info.number;
        });
    }
    producer.join();
    EXPECT_TRUE(uniform);
    EXPECT_TRUE(ordered);
    EXPECT_EQ(store.stored(), 20000u);
}

TEST(FrameStore, FifoUnderConcurrentUseLosesNothingItAccepted)
{
    FrameStore store(StorePolicy::Fifo, 8, kWidth, kHeight);
    std::atomic<bool> done{false};
    std::atomic<uint32_t> accepted{0};
    std::thread producer([&] {
        for (uint32_t v = 1; v <= 5000; ++v) {
            if (store.put(image(uint16_t(v)).data(), nullptr, nullptr) == FrameStore::PutResult::Stored)
                ++accepted;
        }
        done = true;
    });
    std::vector<uint32_t> numbers;
    int lastValue = 0;
    bool increasing = true;
    auto drain = [&] {
        store.read(0, [&](const uint16_t* pixels, const FrameInfo& info) {
            numbers.push_back(info.number);
            increasing = increasing && pixels[0] > lastValue;
            lastValue = pixels[0];
        });
    };
    while (!done)
        drain();
    producer.join();
    while (store.held() > 0)
        drain();
    EXPECT_TRUE(increasing);
    ASSERT_EQ(numbers.size(), accepted.load());
    for (size_t i = 0; i < numbers.size(); ++i)
        ASSERT_EQ(numbers[i], i + 1);
}
