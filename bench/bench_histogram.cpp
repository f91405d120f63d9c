// Cost of counting one 2048 x 2048 16-bit image into the histogram's bins (what each
// histogram thread does per image), beside a memcpy of the same image in the same run.
// Prints ms per image; the last line is histogram_vs_memcpy=R for the 16-bit camera.
#include "view/HistogramCounting.h"

#include <algorithm>
#include <atomic>
#include <ctime>
#include <cstdio>
#include <cstring>
#include <functional>
#include <random>
#include <vector>

namespace {

constexpr uint64_t kSize = 2048;
constexpr int kRounds = 15;

vyk::Image benchImage(const std::function<uint16_t(std::size_t)>& value)
{
    vyk::Image image;
    image.reshape(vyk::Roi{1, 1, kSize, kSize}, vyk::DataFormat::Mono16, vyk::RawFormat::Word);
    std::vector<uint16_t>& raw = image.rawData16();
    for (std::size_t i = 0; i < raw.size(); ++i)
        raw[i] = value(i);
    return image;
}

// CPU time of this thread, ms: the machine is shared, so wall time would count the time
// other processes hold the core.
double threadCpuMs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

// Median ms of kRounds runs of work.
double medianMs(const std::function<void()>& work)
{
    std::vector<double> times;
    work(); // warm caches and page tables
    for (int round = 0; round < kRounds; ++round) {
        const double start = threadCpuMs();
        work();
        times.push_back(threadCpuMs() - start);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

double countMs(const vyk::Image& image, unsigned bitDepth)
{
    double sink = 0.0;
    const double ms = medianMs([&] { sink += countHistogram(image, bitDepth).mono[1]; });
    if (sink < 0.0)
        std::printf("impossible\n");
    return ms;
}

}  // namespace

int main()
{
    // A camera image: noise around a mid-grey level in 12 significant bits.
    std::mt19937 random(42);
    std::normal_distribution<double> noise(2000.0, 300.0);
    const vyk::Image camera = benchImage([&](std::size_t) {
        return static_cast<uint16_t>(std::clamp(noise(random), 0.0, 65535.0));
    });
    // Every value of the full 16-bit range, spread over the image.
    const vyk::Image spread = benchImage([](std::size_t i) { return static_cast<uint16_t>(i * 40503u); });
    // One value everywhere: the worst case for a single counter.
    const vyk::Image flat = benchImage([](std::size_t) { return 1234; });

    const std::vector<uint16_t>& source = camera.rawData16();
    std::vector<uint16_t> target(source.size());
    const double memcpyMs = medianMs([&] {
        std::memcpy(target.data(), source.data(), source.size() * sizeof(uint16_t));
        std::atomic_signal_fence(std::memory_order_seq_cst);
    });

    const double camera16 = countMs(camera, 16);
    std::printf("image: %llu x %llu, 16-bit raw (%.1f MB), median thread CPU time of %d rounds\n",
                static_cast<unsigned long long>(kSize), static_cast<unsigned long long>(kSize),
                source.size() * 2 / 1e6, kRounds);
    std::printf("memcpy of the image:                    %7.3f ms\n", memcpyMs);
    std::printf("count, 16-bit camera, noisy image:      %7.3f ms\n", camera16);
    std::printf("count, 12-bit camera, noisy image:      %7.3f ms\n", countMs(camera, 12));
    std::printf("count, 16-bit camera, all 65536 values: %7.3f ms\n", countMs(spread, 16));
    std::printf("count, 16-bit camera, uniform image:    %7.3f ms\n", countMs(flat, 16));
    std::printf("count, 12-bit camera, uniform image:    %7.3f ms\n", countMs(flat, 12));
    std::printf("histogram_vs_memcpy=%.2f\n", camera16 / memcpyMs);
    return 0;
}
