// Cost of the image view's statistics per 2048 x 2048 image: raw statistics (12-bit words)
// and display statistics (Mono8 and BGR8 bytes) through integer histograms, beside a
// straightforward per-value double loop of the same statistics for comparison.
#include "view/ImageStatistics.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <functional>

namespace {

using Clock = std::chrono::steady_clock;
constexpr uint64_t kSize = 2048;
constexpr int kRounds = 10;

vyk::Image benchImage(vyk::DataFormat format)
{
    vyk::Image image;
    image.reshape(vyk::Roi{1, 1, kSize, kSize}, format, vyk::RawFormat::Word);
    auto& raw = image.rawData16();
    for (std::size_t i = 0; i < raw.size(); ++i)
        raw[i] = static_cast<uint16_t>((i * 7919) & 0x0FFF);
    auto& data = image.data8();
    for (std::size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<uint8_t>((i * 13) >> 4);
    return image;
}

// Mean and standard deviation with one double operation per value, two passes.
template <typename T>
double naiveStddev(const std::vector<T>& values)
{
    double sum = 0.0;
    for (T v : values)
        sum += v;
    const double mean = sum / values.size();
    double squares = 0.0;
    for (T v : values)
        squares += (v - mean) * (v - mean);
    return std::sqrt(squares / (values.size() - 1));
}

double millisecondsPerRound(const std::function<double()>& work)
{
    volatile double sink = 0.0;
    sink = sink + work();  // warm-up
    const auto start = Clock::now();
    for (int i = 0; i < kRounds; ++i)
        sink = sink + work();
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count() / kRounds;
}

}  // namespace

int main()
{
    const vyk::Image mono = benchImage(vyk::DataFormat::Mono8);
    const vyk::Image bgr = benchImage(vyk::DataFormat::BGR8);
    std::printf("raw 12-bit words     histogram %7.2f ms   per-value doubles %7.2f ms\n",
                millisecondsPerRound([&] { return double(ImageStatistics::raw(mono).stddev); }),
                millisecondsPerRound([&] { return naiveStddev(mono.rawData16()); }));
    std::printf("display Mono8 bytes  histogram %7.2f ms   per-value doubles %7.2f ms\n",
                millisecondsPerRound([&] { return ImageStatistics::display(mono).stddev; }),
                millisecondsPerRound([&] { return naiveStddev(mono.data8()); }));
    std::printf("display BGR8 bytes   histogram %7.2f ms   per-value doubles %7.2f ms\n",
                millisecondsPerRound([&] { return ImageStatistics::display(bgr).stddev; }),
                millisecondsPerRound([&] { return naiveStddev(bgr.data8()); }));
    return 0;
}
