// Image queues: drop-oldest pushes, capacity rules, pops with and without time-out,
// deactivation releasing a waiting consumer, re-activation by push, and consumers that sleep
// (not poll) while nothing arrives.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <optional>
#include <thread>
#include <vector>

#include "acquisition/ImageQueueSet.h"
#include "camera/Image.h"
#include "tests/support/ThreadActivity.h"

namespace {

using namespace std::chrono_literals;

/// A 2 x 1 Mono16 image whose recorder image number tags it.
vyk::Image tagged(uint32_t tag) {
  vyk::Image image;
  image.reshape(vyk::Roi{1, 1, 2, 1}, vyk::DataFormat::Mono16, vyk::RawFormat::Word);
  image.rawData16()[0] = static_cast<uint16_t>(tag);
  image.setRecorderImageNumber(tag);
  return image;
}

/// Tags of every image waiting in serial's queue, oldest first (pops them).
std::vector<uint32_t> drain(ImageQueueSet& set, DWORD serial) {
  std::vector<uint32_t> tags;
  while (set.size(serial) > 0) {
    auto image = set.pop(serial, 0ms);
    if (!image) break;
    tags.push_back(image->recorderImageNumber());
  }
  return tags;
}

TEST(ImageQueueSet, SevenPushesIntoAFreshQueueKeepTheNewestFive) {
  ImageQueueSet set;
  for (uint32_t i = 1; i <= 7; ++i) set.push(42, tagged(i));
  EXPECT_EQ(set.size(42), 5u);
  EXPECT_EQ(drain(set, 42), (std::vector<uint32_t>{3, 4, 5, 6, 7}));
}

TEST(ImageQueueSet, PushStoresADeepCopy) {
  ImageQueueSet set;
  vyk::Image image = tagged(9);
  set.push(1, image);
  image.rawData16()[0] = 1234;
  auto popped = set.pop(1, 0ms);
  ASSERT_TRUE(popped);
  EXPECT_EQ(popped->rawData16()[0], 9);
}

TEST(ImageQueueSet, MovedPushesHandBackTheBuffersOfRecycledAndDroppedImages) {
  ImageQueueSet set;
  set.setCapacity(3, 1);
  vyk::Image produced = tagged(1);
  set.push(3, std::move(produced));
  EXPECT_EQ(vyk::elementCount(produced.raw()), 0u);  // no spare yet: nothing comes back
  // A consumer done with an image gives it back; the next moved push returns its buffer.
  std::optional<vyk::Image> consumed = set.pop(3, 0ms);
  ASSERT_TRUE(consumed);
  const uint16_t* buffer = consumed->rawData16().data();
  set.recycle(3, std::move(*consumed));
  produced = tagged(2);
  set.push(3, std::move(produced));
  ASSERT_EQ(vyk::elementCount(produced.raw()), 2u);
  EXPECT_EQ(produced.rawData16().data(), buffer);
  // The image a full queue drops comes back too, and the queue keeps the newest one.
  produced = tagged(3);
  set.push(3, std::move(produced));
  EXPECT_EQ(produced.recorderImageNumber(), 2u);
  EXPECT_EQ(drain(set, 3), (std::vector<uint32_t>{3}));
}

TEST(ImageQueueSet, CopiedPushesFillASpareWhenOneWaits) {
  ImageQueueSet set;
  set.push(5, tagged(1));
  std::optional<vyk::Image> consumed = set.pop(5, 0ms);
  ASSERT_TRUE(consumed);
  const uint16_t* buffer = consumed->rawData16().data();
  set.recycle(5, std::move(*consumed));
  const vyk::Image source = tagged(7);
  set.push(5, source);
  std::optional<vyk::Image> copied = set.pop(5, 0ms);
  ASSERT_TRUE(copied);
  EXPECT_EQ(copied->rawData16().data(), buffer);
  EXPECT_EQ(copied->rawData16(), source.rawData16());
  EXPECT_EQ(copied->recorderImageNumber(), 7u);
  EXPECT_NE(copied->rawData16().data(), source.rawData16().data());
}

TEST(ImageQueueSet, SparesAreBoundedAndFreedByADeactivation) {
  ImageQueueSet set;
  set.push(4, tagged(1));  // creates the queue
  for (uint32_t i = 0; i < ImageQueue::kMaxSpares + 2; ++i) set.recycle(4, tagged(10 + i));
  std::vector<uint32_t> handedBack;
  for (uint32_t i = 0; i < ImageQueue::kMaxSpares + 1; ++i) {
    vyk::Image produced = tagged(20 + i);
    set.push(4, std::move(produced));
    handedBack.push_back(produced.recorderImageNumber());
  }
  EXPECT_EQ(handedBack, (std::vector<uint32_t>{11, 10, 0}));
  set.recycle(4, tagged(30));
  set.deactivate(4);
  set.recycle(4, tagged(31));  // an inactive queue keeps nothing
  vyk::Image produced = tagged(40);
  set.push(4, std::move(produced));
  EXPECT_EQ(vyk::elementCount(produced.raw()), 0u);
  set.recycle(99, tagged(50));  // an unknown serial: freed, no queue made
  EXPECT_FALSE(set.isActive(99));
}

TEST(ImageQueueSet, LoweringTheCapacityDropsOnlyOnePerPush) {
  ImageQueueSet set;
  set.setCapacity(7, 10);
  for (uint32_t i = 1; i <= 10; ++i) set.push(7, tagged(i));
  EXPECT_EQ(set.size(7), 10u);
  set.setCapacity(7, 5);
  EXPECT_EQ(set.size(7), 10u) << "existing images stay";
  set.push(7, tagged(11));
  set.push(7, tagged(12));
  EXPECT_EQ(set.size(7), 10u) << "each push drops one and adds one";
  const auto tags = drain(set, 7);
  EXPECT_EQ(tags.front(), 3u);
  EXPECT_EQ(tags.back(), 12u);
  // Once consumers have emptied it, the lower capacity bounds the queue.
  for (uint32_t i = 1; i <= 8; ++i) set.push(7, tagged(i));
  EXPECT_EQ(set.size(7), 5u);
}

TEST(ImageQueueSet, CapacityZeroIsIgnoredAndDoesNotCreateAQueue) {
  ImageQueueSet set;
  set.setCapacity(3, 0);
  EXPECT_FALSE(set.isActive(3)) << "no queue was created";
  set.setCapacity(3, 2);
  set.setCapacity(3, 0);
  EXPECT_EQ(set.capacity(3), 2u);
  EXPECT_EQ(set.capacity(99), ImageQueueSet::kDefaultCapacity);
}

TEST(ImageQueueSet, TimedPopOnAnEmptyQueueReturnsNothing) {
  ImageQueueSet set;
  EXPECT_FALSE(set.pop(5, 20ms));
  EXPECT_TRUE(set.isActive(5)) << "pop creates an active queue";
}

TEST(ImageQueueSet, LeftoverSemaphoreCountsNeverYieldAPhantomImage) {
  ImageQueueSet set;
  for (uint32_t i = 1; i <= 7; ++i) set.push(8, tagged(i));  // 7 releases, 5 images
  EXPECT_EQ(drain(set, 8).size(), 5u);
  EXPECT_FALSE(set.pop(8, 10ms));
}

TEST(ImageQueueSet, PopOnAnUnknownSerialWaitsUntilDeactivated) {
  ImageQueueSet set;
  auto consumer = std::async(std::launch::async, [&set] { return set.pop(1234); });
  // The consumer has created the queue and is polling.
  const auto deadline = std::chrono::steady_clock::now() + 30s;
  while (!set.isActive(1234) && std::chrono::steady_clock::now() < deadline) std::this_thread::sleep_for(1ms);
  ASSERT_TRUE(set.isActive(1234));
  EXPECT_EQ(consumer.wait_for(20ms), std::future_status::timeout) << "pop waits while the queue is empty";
  set.deactivate(1234);
  ASSERT_EQ(consumer.wait_for(30s), std::future_status::ready);
  EXPECT_FALSE(consumer.get());
}

TEST(ImageQueueSet, DeactivateReleasesAConsumerWaitingWithATimeout) {
  ImageQueueSet set;
  set.push(77, tagged(1));
  ASSERT_TRUE(set.pop(77, 0ms));
  auto consumer = std::async(std::launch::async, [&set] { return set.pop(77, std::chrono::milliseconds(600000)); });
  EXPECT_EQ(consumer.wait_for(20ms), std::future_status::timeout);
  set.deactivate(77);
  ASSERT_EQ(consumer.wait_for(30s), std::future_status::ready) << "no need to sit out the time-out";
  EXPECT_FALSE(consumer.get());
}

TEST(ImageQueueSet, DeactivateDiscardsImagesAndPushReactivates) {
  ImageQueueSet set;
  set.push(2, tagged(1));
  set.push(2, tagged(2));
  set.deactivate(2);
  EXPECT_EQ(set.size(2), 0u);
  EXPECT_FALSE(set.isActive(2));
  EXPECT_FALSE(set.pop(2)) << "an inactive queue answers at once, without waiting";
  set.push(2, tagged(3));
  EXPECT_TRUE(set.isActive(2));
  auto image = set.pop(2);
  ASSERT_TRUE(image);
  EXPECT_EQ(image->recorderImageNumber(), 3u);
}

TEST(ImageQueueSet, DeactivateOfAnUnknownSerialCreatesNothing) {
  ImageQueueSet set;
  set.deactivate(555);
  EXPECT_FALSE(set.isActive(555));
  set.push(1, tagged(1));
  set.push(2, tagged(2));
  set.deactivateAll();
  EXPECT_FALSE(set.isActive(1));
  EXPECT_FALSE(set.isActive(2));
  EXPECT_EQ(set.size(1) + set.size(2), 0u);
}

TEST(ImageQueueSet, QueuesOfDifferentSerialsAreIndependent) {
  ImageQueueSet set;
  set.push(1, tagged(10));
  set.push(2, tagged(20));
  set.deactivate(1);
  auto image = set.pop(2, 0ms);
  ASSERT_TRUE(image);
  EXPECT_EQ(image->recorderImageNumber(), 20u);
}

TEST(ImageQueueSet, ConcurrentProducerAndConsumerSeeImagesInOrder) {
  ImageQueueSet set;
  set.setCapacity(9, 1000);
  constexpr uint32_t kImages = 2000;
  std::vector<uint32_t> seen;
  std::thread consumer([&] {
    while (auto image = set.pop(9)) seen.push_back(image->recorderImageNumber());
  });
  for (uint32_t i = 1; i <= kImages; ++i) set.push(9, tagged(i));
  // Wait until the consumer has taken everything, then release it.
  const auto deadline = std::chrono::steady_clock::now() + 60s;
  while (set.size(9) > 0 && std::chrono::steady_clock::now() < deadline) std::this_thread::sleep_for(1ms);
  set.deactivate(9);
  consumer.join();
  ASSERT_FALSE(seen.empty());
  for (std::size_t i = 1; i < seen.size(); ++i) ASSERT_LT(seen[i - 1], seen[i]) << "order kept";
  EXPECT_EQ(seen.back(), kImages);
}

TEST(ImageQueueSet, TheTwoProcessWideSetsAreDistinctAndStable) {
  EXPECT_NE(&viewQueues(), &histogramQueues());
  EXPECT_EQ(&viewQueues(), &viewQueues());
  viewQueues().push(0xFFFF0001u, tagged(1));
  EXPECT_EQ(histogramQueues().size(0xFFFF0001u), 0u);
  viewQueues().deactivate(0xFFFF0001u);
}

}  // namespace

namespace {

// Runs wait on a thread of its own and returns what it returned, how long it took and how
// often the thread went to sleep meanwhile.
struct Waited {
  std::optional<vyk::Image> image;
  std::chrono::steady_clock::duration took;
  uint64_t sleeps;
};
template <typename Wait>
std::future<Waited> consume(Wait wait) {
  return std::async(std::launch::async, [wait] {
    const uint64_t before = testsupport::voluntarySwitchesOfThisThread();
    const auto start = std::chrono::steady_clock::now();
    Waited waited{wait(), {}, 0};
    waited.took = std::chrono::steady_clock::now() - start;
    waited.sleeps = testsupport::voluntarySwitchesOfThisThread() - before;
    return waited;
  });
}

}  // namespace

TEST(ImageQueueSet, ConsumersSleepWhileNothingArrives) {
  // A consumer polling every millisecond would go to sleep about 300 times here.
  ImageQueueSet set;
  set.setCapacity(60, 5);

  // pop without time-out on an empty queue, until the deactivation.
  auto blocked = consume([&set] { return set.pop(60); });
  std::this_thread::sleep_for(300ms);
  set.deactivate(60);
  Waited waited = blocked.get();
  EXPECT_FALSE(waited.image);
  EXPECT_LE(waited.sleeps, 5u);

  // Images taken without waiting leave no wake-up behind: the next wait really waits.
  for (uint32_t i = 1; i <= 3; ++i) set.push(60, tagged(i));
  EXPECT_EQ(drain(set, 60).size(), 3u);
  waited = consume([&set] { return set.waitPop(60, 300ms); }).get();
  EXPECT_FALSE(waited.image);
  EXPECT_GE(waited.took, 250ms) << "woken for an image that was not there";
  EXPECT_LE(waited.sleeps, 5u);

  // An inactive queue: once the deactivation's own wake-up is taken, waitPop sleeps through
  // it until its time-out.
  set.deactivate(60);
  waited = consume([&set] { return set.waitPop(60, 30s); }).get();
  EXPECT_FALSE(waited.image);
  EXPECT_LT(waited.took, 10s) << "a deactivation that came first ends the wait as well";
  waited = consume([&set] { return set.waitPop(60, 300ms); }).get();
  EXPECT_FALSE(waited.image);
  EXPECT_GE(waited.took, 250ms);
  EXPECT_LE(waited.sleeps, 5u);
}

TEST(ImageQueueSet, WaitPopWaitsAcrossInactivityUntilAPushOrADeactivation) {
  ImageQueueSet set;
  set.setCapacity(61, 5);
  set.deactivate(61);
  EXPECT_FALSE(set.pop(61, 600000ms)) << "pop answers an inactive queue at once";
  // A consumer that comes late to a deactivation is not put to sleep by it: its owner may
  // have stopped it just before it began to wait.
  EXPECT_FALSE(set.waitPop(61, 30s));

  // The next acquisition's first image ends the wait.
  auto waiting = std::async(std::launch::async, [&set] { return set.waitPop(61, 600000ms); });
  EXPECT_EQ(waiting.wait_for(50ms), std::future_status::timeout) << "waitPop waits while the queue is inactive";
  set.push(61, tagged(5));
  ASSERT_EQ(waiting.wait_for(30s), std::future_status::ready);
  const auto image = waiting.get();
  ASSERT_TRUE(image);
  EXPECT_EQ(image->recorderImageNumber(), 5u);

  // A deactivation (the consumer's owner stopping it) ends the wait with nothing.
  waiting = std::async(std::launch::async, [&set] { return set.waitPop(61, 600000ms); });
  EXPECT_EQ(waiting.wait_for(50ms), std::future_status::timeout);
  set.deactivate(61);
  ASSERT_EQ(waiting.wait_for(30s), std::future_status::ready) << "no need to sit out the time-out";
  EXPECT_FALSE(waiting.get());
}
