// Auto exposure: level measurement per region and convergence of the controller.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "AutoExposure.h"

using vykrec::AutoExposure;

namespace {

// A 64 x 48 image of value background with the middle half set to centre.
std::vector<uint16_t> twoLevelImage(uint16_t background, uint16_t centre)
{
    std::vector<uint16_t> pixels(64 * 48, background);
    for (uint32_t y = 12; y < 36; ++y)
        for (uint32_t x = 16; x < 48; ++x)
            pixels[y * 64 + x] = centre;
    return pixels;
}

// A camera whose level grows linearly with the exposure and clips at full scale.
double levelAt(double exposureS, double levelPerSecond, double offset)
{
    return std::min(1.0, offset + levelPerSecond * exposureS);
}

} // namespace

TEST(AutoExposure, MeasuresTheRegions)
{
    const auto pixels = twoLevelImage(1000, 3000);
    const double full = (1000.0 * 0.75 + 3000.0 * 0.25) / 4095.0;
    EXPECT_NEAR(AutoExposure::measure(pixels.data(), 64, 48, 12, AutoExposure::Full), full, 1e-9);
    EXPECT_NEAR(AutoExposure::measure(pixels.data(), 64, 48, 12, AutoExposure::Centre), 3000.0 / 4095.0, 1e-9);
    EXPECT_NEAR(AutoExposure::measure(pixels.data(), 64, 48, 12, AutoExposure::Corners), 1000.0 / 4095.0, 1e-9);
    EXPECT_NEAR(AutoExposure::measure(pixels.data(), 64, 48, 12, AutoExposure::Balanced),
                0.5 * (full + 3000.0 / 4095.0), 1e-9);
}

TEST(AutoExposure, MeasuresTinyImagesWithoutReadingOutside)
{
    const std::vector<uint16_t> one{65535};
    for (uint16_t region = 0; region <= 3; ++region)
        EXPECT_DOUBLE_EQ(AutoExposure::measure(one.data(), 1, 1, 16, AutoExposure::Region(region)), 1.0);
    EXPECT_FALSE(AutoExposure::validRegion(4));
}

TEST(AutoExposure, ConvergesToTheTargetFromBothSides)
{
    for (double start : {0.0001, 0.09}) {
        AutoExposure ae;
        ae.configure(0.0001, 0.1, 3);
        double exposure = start;
        for (int step = 0; step < 40; ++step)
            exposure = ae.next(exposure, levelAt(exposure, 25.0, 0.02));
        const double level = levelAt(exposure, 25.0, 0.02);
        EXPECT_NEAR(level, AutoExposure::kTarget, AutoExposure::kTarget * AutoExposure::kDeadBand + 1e-9)
            << "start " << start;
    }
}

TEST(AutoExposure, RecoversFromASaturatedImage)
{
    AutoExposure ae;
    ae.configure(0.00001, 1.0, 3);
    double exposure = 1.0; // clips at full scale
    for (int step = 0; step < 60; ++step)
        exposure = ae.next(exposure, levelAt(exposure, 100.0, 0.0));
    EXPECT_NEAR(levelAt(exposure, 100.0, 0.0), 0.5, 0.5 * AutoExposure::kDeadBand + 1e-9);
}

TEST(AutoExposure, StaysWithinTheLimits)
{
    AutoExposure ae;
    ae.configure(0.001, 0.01, 1);
    EXPECT_DOUBLE_EQ(ae.next(0.005, 0.0), 0.01);  // black image: up to the maximum
    EXPECT_DOUBLE_EQ(ae.next(0.005, 1.0), 0.0025); // one step of factor 0.5
    EXPECT_DOUBLE_EQ(ae.next(0.0012, 1.0), 0.001); // not below the minimum
    EXPECT_DOUBLE_EQ(ae.next(0.5, 0.5), 0.01);     // a current value outside is brought in
}

TEST(AutoExposure, SmoothnessDividesTheStep)
{
    AutoExposure fast, gentle;
    fast.configure(1e-6, 10.0, 1);
    gentle.configure(1e-6, 10.0, 3);
    EXPECT_NEAR(fast.next(0.01, 0.125), 0.04, 1e-12);
    EXPECT_NEAR(gentle.next(0.01, 0.125), 0.01 * std::cbrt(4.0), 1e-12);
    // Inside the dead band nothing changes.
    EXPECT_DOUBLE_EQ(gentle.next(0.01, 0.51), 0.01);
}
