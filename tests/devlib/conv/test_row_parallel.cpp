// The row sharing of large frames: every row exactly once, errors carried back.
#include "RowParallel.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>
#include <vector>

using vykconv::RowParallel;

namespace {

// Runs one frame of rows x pixelsPerRow and returns how often each row was visited.
std::vector<int> visits(RowParallel& parallel, int rows, size_t pixelsPerRow)
{
    std::vector<std::atomic<int>> count(static_cast<size_t>(rows));
    parallel.run(rows, pixelsPerRow, [&](int y0, int y1) {
        ASSERT_LE(0, y0);
        ASSERT_LT(y0, y1);
        ASSERT_LE(y1, rows);
        for (int y = y0; y < y1; ++y)
            count[static_cast<size_t>(y)].fetch_add(1);
    });
    std::vector<int> out;
    for (auto& c : count)
        out.push_back(c.load());
    return out;
}

} // namespace

TEST(RowParallel, EveryRowIsVisitedOnceForSmallOddAndLargeFrames)
{
    RowParallel parallel;
    const struct {
        int rows;
        size_t width;
    } frames[] = {{1, 5000000}, {7, 3}, {2, RowParallel::kMinPixels / 2}, {2047, 2049}, {4096, 4096}, {3, 100000},
                  {1000, 131}};
    for (const auto& f : frames) {
        for (int repeat = 0; repeat < 3; ++repeat) { // the helper is reused from frame to frame
            const std::vector<int> v = visits(parallel, f.rows, f.width);
            ASSERT_EQ(v, std::vector<int>(static_cast<size_t>(f.rows), 1)) << f.rows << " x " << f.width;
        }
    }
    EXPECT_NO_FATAL_FAILURE(visits(parallel, 0, 1000)); // no rows: nothing to do
}

TEST(RowParallel, LargeFramesShareTheirRowsInSeveralBands)
{
    RowParallel parallel;
    std::atomic<int> bands{0};
    parallel.run(2048, 2048, [&](int, int) { bands.fetch_add(1); });
    EXPECT_GT(bands.load(), 1);
    EXPECT_LE(bands.load(), RowParallel::kMaxChunks);
    bands = 0;
    parallel.run(16, 16, [&](int, int) { bands.fetch_add(1); }); // small: one band, no helper
    EXPECT_EQ(bands.load(), 1);
}

TEST(RowParallel, AnExceptionOfAnyBandReachesTheCallerAndTheNextFrameWorks)
{
    RowParallel parallel;
    for (int failing : {0, 1000, 2047}) {
        EXPECT_THROW(parallel.run(2048, 2048,
                                  [&](int y0, int y1) {
                                      if (failing >= y0 && failing < y1)
                                          throw std::runtime_error("band failed");
                                  }),
                     std::runtime_error);
        const std::vector<int> v = visits(parallel, 2048, 2048);
        EXPECT_EQ(v, std::vector<int>(2048, 1));
    }
}

TEST(RowParallel, SeveralThreadsMayShareOneObject)
{
    RowParallel parallel;
    std::atomic<int> wrong{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 3; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < 20; ++i)
                if (visits(parallel, 512, 1024) != std::vector<int>(512, 1))
                    wrong.fetch_add(1);
        });
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(wrong.load(), 0);
}
