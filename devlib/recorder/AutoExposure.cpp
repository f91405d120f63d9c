#include "AutoExposure.h"

#include <algorithm>
#include <cmath>

namespace vykrec {

namespace {

// Mean of the pixels in columns [x0, x1) and rows [y0, y1), on a grid of at most 64 x 64.
double blockMean(const uint16_t* pixels, uint32_t width, uint32_t x0, uint32_t x1, uint32_t y0,
                 uint32_t y1)
{
    if (x1 <= x0 || y1 <= y0)
        return 0.0;
    const uint32_t stepX = std::max<uint32_t>(1, (x1 - x0) / 64);
    const uint32_t stepY = std::max<uint32_t>(1, (y1 - y0) / 64);
    double sum = 0.0;
    uint64_t count = 0;
    for (uint32_t y = y0; y < y1; y += stepY) {
        const uint16_t* row = pixels + size_t(y) * width;
        for (uint32_t x = x0; x < x1; x += stepX) {
            sum += row[x];
            ++count;
        }
    }
    return sum / double(count);
}

} // namespace

double AutoExposure::measure(const uint16_t* pixels, uint32_t width, uint32_t height,
                             uint16_t bitDepth, Region region)
{
    if (pixels == nullptr || width == 0 || height == 0)
        return 0.0;
    const double fullScale = double((uint32_t(1) << std::clamp<uint16_t>(bitDepth, 1, 16)) - 1);
    const double full = blockMean(pixels, width, 0, width, 0, height);
    // The centre: the middle half in both directions (at least one pixel).
    const uint32_t cx0 = width / 4, cx1 = std::max(cx0 + 1, width - width / 4);
    const uint32_t cy0 = height / 4, cy1 = std::max(cy0 + 1, height - height / 4);
    double mean = full;
    switch (region) {
    case Full:
        break;
    case Centre:
        mean = blockMean(pixels, width, cx0, cx1, cy0, cy1);
        break;
    case Corners: {
        // Four blocks of a quarter width and height (at least one pixel) in the corners.
        const uint32_t qw = std::max<uint32_t>(1, width / 4), qh = std::max<uint32_t>(1, height / 4);
        mean = 0.25 * (blockMean(pixels, width, 0, qw, 0, qh) +
                       blockMean(pixels, width, width - qw, width, 0, qh) +
                       blockMean(pixels, width, 0, qw, height - qh, height) +
                       blockMean(pixels, width, width - qw, width, height - qh, height));
        break;
    }
    case Balanced:
    default:
        mean = 0.5 * (full + blockMean(pixels, width, cx0, cx1, cy0, cy1));
        break;
    }
    return mean / fullScale;
}

void AutoExposure::configure(double minimumS, double maximumS, uint16_t smoothness)
{
    minimumS_ = minimumS;
    maximumS_ = maximumS;
    smoothness_ = std::clamp<uint16_t>(smoothness, 1, 10);
}

double AutoExposure::next(double currentS, double level) const
{
    const double current = std::clamp(currentS, minimumS_, maximumS_);
    if (std::fabs(level - kTarget) <= kDeadBand * kTarget)
        return current;
    // Brightness grows about linearly with the exposure, so target / level estimates the
    // factor; a dark image (level near 0) is limited to a factor of 1000 per step.
    const double factor = kTarget / std::max(level, kTarget / 1000.0);
    const double step = std::pow(factor, 1.0 / double(smoothness_));
    return std::clamp(current * step, minimumS_, maximumS_);
}

} // namespace vykrec
