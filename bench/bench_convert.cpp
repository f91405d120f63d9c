// Conversion speed on a 2048 x 2048 12-bit frame: ms per frame (median) for the
// library's conversions, a memcpy of the raw frame as the floor, and the nearest
// OpenCV operations when OpenCV is available, each timed interleaved with the
// conversion it is compared with. Prints figures; never fails.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <random>
#include <sys/resource.h>
#include <vector>

#include "vyk_conv.h"

#ifdef RASTEL_HAVE_OPENCV
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#endif

namespace {

constexpr int kWidth = 2048;
constexpr int kHeight = 2048;
constexpr int kBits = 12;
constexpr int kFrames = 30;      // timed repetitions per figure (median taken)
constexpr int32_t kMin = 100;    // mapping limits used by every 8-bit figure
constexpr int32_t kMax = 3900;

// Processor time of the whole process (all threads) in milliseconds.
double processCpuMs()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return (u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1e3 + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e3;
}

// Median wall time and mean processor time (all threads) of repeated runs of one operation.
struct Timing {
    double ms = 0;    // median wall time per frame, milliseconds
    double cpuMs = 0; // mean processor time per frame, milliseconds
};

// Collects the runs of one operation.
class Runs {
public:
    // Runs op once and records its wall and processor time.
    void time(const std::function<void()>& op)
    {
        const double cpu0 = processCpuMs();
        const auto t0 = std::chrono::steady_clock::now();
        op();
        const auto t1 = std::chrono::steady_clock::now();
        cpuMs_ += processCpuMs() - cpu0;
        ms_.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
    }
    Timing result()
    {
        std::nth_element(ms_.begin(), ms_.begin() + ms_.size() / 2, ms_.end());
        return {ms_[ms_.size() / 2], cpuMs_ / ms_.size()};
    }

private:
    std::vector<double> ms_;
    double cpuMs_ = 0;
};

// kFrames runs of op after one warm-up run.
Timing measure(const std::function<void()>& op)
{
    op();
    Runs runs;
    for (int i = 0; i < kFrames; ++i)
        runs.time(op);
    return runs.result();
}

// kFrames runs each of a and b, interleaved (a b, b a, a b, ...) so that both meet the
// same load from other work on the machine; a ratio of the two is then a fair one.
std::pair<Timing, Timing> measurePair(const std::function<void()>& a, const std::function<void()>& b)
{
    a();
    b();
    Runs ra, rb;
    for (int i = 0; i < kFrames; ++i) {
        if (i % 2 == 0) {
            ra.time(a);
            rb.time(b);
        } else {
            rb.time(b);
            ra.time(a);
        }
    }
    return {ra.result(), rb.result()};
}

// A smooth scene with noise, as a Bayer (R G / G B) raw frame.
std::vector<uint16_t> makeFrame()
{
    std::vector<uint16_t> raw(static_cast<size_t>(kWidth) * kHeight);
    std::mt19937 rng(42);
    std::normal_distribution<double> noise(0.0, 12.0);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            const double scene = 400 + 3000.0 * ((x + y) % 1024) / 1024.0 + ((x / 64 + y / 64) % 2) * 300;
            const double channel = (x % 2 == 0 && y % 2 == 0) ? 0.9 : ((x % 2 == 1 && y % 2 == 1) ? 0.6 : 1.0);
            const double v = scene * channel + noise(rng);
            raw[static_cast<size_t>(y) * kWidth + x] = static_cast<uint16_t>(std::clamp(v, 0.0, 4095.0));
        }
    return raw;
}

VYKCONV_HANDLE createHandle(int32_t mode, int32_t gammaX100)
{
    VYK_SensorInfo info;
    std::memset(&info, 0, sizeof info);
    info.wSize = sizeof info;
    info.iDataBits = kBits;
    VYKCONV_HANDLE h = nullptr;
    if (VYKCONV_CreateHandle(&h, &info, mode) != VYK_NOERROR) {
        std::printf("cannot create a handle of mode %d\n", mode);
        return nullptr;
    }
    VYKCONV_Params p;
    std::memset(&p, 0, sizeof p);
    p.wSize = sizeof p;
    VYKCONV_GetParams(h, &p);
    p.iMinLimit = kMin;
    p.iMaxLimit = kMax;
    p.iGamma = gammaX100;
    VYKCONV_SetParams(h, &p);
    return h;
}

void report(const char* name, const Timing& t)
{
    std::printf("%-34s %8.3f ms/frame  (cpu %8.3f ms/frame, all threads)\n", name, t.ms, t.cpuMs);
}

} // namespace

int main()
{
    const std::vector<uint16_t> raw = makeFrame();
    const size_t pixels = raw.size();
    std::printf("frame %d x %d, %d bit, median of %d frames\n", kWidth, kHeight, kBits, kFrames);
    double load[1] = {0};
    if (getloadavg(load, 1) == 1)
        std::printf("load average at start: %.2f (figures are noisy when other work shares the cores)\n", load[0]);

    std::vector<uint16_t> copy(pixels);
    report("memcpy raw frame (floor)", measure([&] { std::memcpy(copy.data(), raw.data(), pixels * 2); }));

    const uint32_t base = VYKCONV_FLAG_BASE;
    size_t monoCount = 0, bgrCount = 0, rgb16Count = 0;
    VYKCONV_GetOutputCount(VYKCONV_MODE_MONO, base, kWidth, kHeight, &monoCount);
    VYKCONV_GetOutputCount(VYKCONV_MODE_COLOR, base, kWidth, kHeight, &bgrCount);
    VYKCONV_GetOutputCount(VYKCONV_MODE_COLOR16, VYKCONV_FLAG_RGB, kWidth, kHeight, &rgb16Count);
    std::vector<uint8_t> mono(monoCount), bgr(bgrCount);
    std::vector<uint16_t> rgb16(rgb16Count);

    VYKCONV_HANDLE monoLinear = createHandle(VYKCONV_MODE_MONO, 100);
    VYKCONV_HANDLE monoGamma = createHandle(VYKCONV_MODE_MONO, 60);
    VYKCONV_HANDLE color = createHandle(VYKCONV_MODE_COLOR, 100);
    VYKCONV_HANDLE color16 = createHandle(VYKCONV_MODE_COLOR16, 100);
    if (!monoLinear || !monoGamma || !color || !color16)
        return 0;

    const auto mono8 = [&] {
        VYKCONV_ConvertMono8(monoLinear, base, 0, kWidth, kHeight, raw.data(), pixels, mono.data(), mono.size());
    };
    const auto bgr8 = [&] {
        VYKCONV_ConvertColor8(color, base, 0, kWidth, kHeight, raw.data(), pixels, bgr.data(), bgr.size());
    };
#ifdef RASTEL_HAVE_OPENCV
    // The OpenCV peers run interleaved with the conversion they are compared with.
    const cv::Mat src(kHeight, kWidth, CV_16UC1, const_cast<uint16_t*>(raw.data()));
    const double alpha = 255.0 / (kMax - kMin);
    const double beta = -kMin * alpha;
    cv::Mat cvMono, cvBgr16, cvBgr8;
    const auto monoPair = measurePair(mono8, [&] { cv::convertScaleAbs(src, cvMono, alpha, beta); });
    // An R G / G B sensor is OpenCV's "BayerBG" layout.
    const auto bgrPair = measurePair(bgr8, [&] {
        cv::cvtColor(src, cvBgr16, cv::COLOR_BayerBG2BGR);
        cv::convertScaleAbs(cvBgr16, cvBgr8, alpha, beta);
    });
    const Timing mono8Time = monoPair.first;
    const Timing bgr8Time = bgrPair.first;
#else
    const Timing mono8Time = measure(mono8);
    const Timing bgr8Time = measure(bgr8);
#endif
    report("Mono8 gamma 1.0", mono8Time);
    report("Mono8 gamma 0.6", measure([&] {
        VYKCONV_ConvertMono8(monoGamma, base, 0, kWidth, kHeight, raw.data(), pixels, mono.data(), mono.size());
    }));
    report("Mono8 gamma 1.0 + adaptive sharpen", measure([&] {
        VYKCONV_ConvertMono8(monoLinear, base | VYKCONV_FLAG_ADAPTIVE_SHARPEN, 0, kWidth, kHeight, raw.data(), pixels,
                             mono.data(), mono.size());
    }));
    report("BGR8 bilinear", bgr8Time);
    report("BGR8 bilinear + adaptive sharpen", measure([&] {
        VYKCONV_ConvertColor8(color, base | VYKCONV_FLAG_ADAPTIVE_SHARPEN, 0, kWidth, kHeight, raw.data(), pixels,
                              bgr.data(), bgr.size());
    }));
    report("BGR8 edge-directed", measure([&] {
        VYKCONV_ConvertColor8(color, base | VYKCONV_FLAG_EDGE_DEMOSAIC, 0, kWidth, kHeight, raw.data(), pixels,
                              bgr.data(), bgr.size());
    }));
    report("RGB16 bilinear", measure([&] {
        VYKCONV_ConvertColor16(color16, base | VYKCONV_FLAG_RGB, 0, kWidth, kHeight, raw.data(), pixels, rgb16.data(),
                               rgb16.size());
    }));

#ifdef RASTEL_HAVE_OPENCV
    report("OpenCV convertScaleAbs (Mono8)", monoPair.second);
    report("OpenCV cvtColor + convertScaleAbs", bgrPair.second);
    std::printf("opencv_threads=%d\n", cv::getNumThreads());
    std::printf("mono8_vs_opencv=%.3f\n", mono8Time.ms / monoPair.second.ms);
    std::printf("bgr8_vs_opencv=%.3f\n", bgr8Time.ms / bgrPair.second.ms);
#else
    std::printf("OpenCV not available: no peer figures\n");
    std::printf("mono8_vs_opencv=n/a\n");
    std::printf("bgr8_vs_opencv=n/a\n");
#endif

    VYKCONV_DeleteHandle(monoLinear);
    VYKCONV_DeleteHandle(monoGamma);
    VYKCONV_DeleteHandle(color);
    VYKCONV_DeleteHandle(color16);
    return 0;
}
