// The ROI axis arithmetic of the settings tree's ROI and binning handlers.
#include "widgets/SettingsEditHandlers.h"

#include <gtest/gtest.h>

#include <ostream>

namespace {

struct RoiCase {
    const char* what;
    int64_t start, end, max, minSize, step;
    bool symmetric, startChanged;
    int64_t expectStart, expectEnd;
};

std::ostream& operator<<(std::ostream& out, const RoiCase& c)
{
    return out << c.what;
}

class AdjustRoiAxisTable : public ::testing::TestWithParam<RoiCase> {};

TEST_P(AdjustRoiAxisTable, FitsTheAxis)
{
    const RoiCase& c = GetParam();
    const RoiAxis axis = adjustRoiAxis(c.start, c.end, c.max, c.minSize, c.step, c.symmetric, c.startChanged);
    EXPECT_EQ(axis.start, c.expectStart) << c.what;
    EXPECT_EQ(axis.end, c.expectEnd) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, AdjustRoiAxisTable,
    ::testing::Values(
        // Not symmetric, end changed: the start stays.
        RoiCase{"end below start + minimum moves up to the next aligned end", 1, 10, 64, 16, 4, false, false, 1, 16},
        RoiCase{"end snaps down onto the step grid", 1, 50, 64, 1, 4, false, false, 1, 48},
        RoiCase{"end beyond the axis is clamped", 1, 100, 64, 1, 1, false, false, 1, 64},
        RoiCase{"no room for the minimum width: end at the axis end", 60, 62, 64, 16, 4, false, false, 60, 64},
        RoiCase{"end of 0 becomes the smallest allowed end", 3, 0, 64, 4, 1, false, false, 3, 6},
        // Not symmetric, start changed: the end stays.
        RoiCase{"start keeps the minimum width", 50, 64, 64, 16, 4, false, true, 49, 64},
        RoiCase{"start too close to the end moves down", 58, 64, 64, 16, 4, false, true, 49, 64},
        RoiCase{"start snaps down onto the step grid", 7, 64, 64, 1, 4, false, true, 5, 64},
        RoiCase{"start of 0 becomes 1", 0, 64, 64, 1, 1, false, true, 1, 64},
        RoiCase{"end smaller than the minimum width: start 1", 5, 10, 64, 16, 4, false, true, 1, 10},
        RoiCase{"end beyond the axis raises the lowest start", 1, 70, 64, 1, 4, false, true, 9, 70},
        // Symmetric: centred, margins a multiple of the step.
        RoiCase{"symmetric, start changed", 10, 64, 64, 1, 2, true, true, 9, 56},
        RoiCase{"symmetric, end changed", 1, 50, 64, 1, 2, true, false, 15, 50},
        RoiCase{"symmetric, margin limited by the minimum width", 40, 64, 64, 16, 8, true, true, 25, 40},
        RoiCase{"symmetric, end beyond the axis", 1, 100, 48, 1, 1, true, false, 1, 48},
        RoiCase{"symmetric, start beyond the axis", 100, 48, 48, 1, 1, true, true, 24, 25},
        RoiCase{"symmetric, minimum width wider than the axis", 5, 20, 20, 32, 1, true, true, 1, 20},
        // A step of 0 counts as 1.
        RoiCase{"step 0, end changed", 5, 37, 64, 1, 0, false, false, 5, 37},
        RoiCase{"step 0, start changed", 13, 37, 64, 1, 0, false, true, 13, 37},
        RoiCase{"step 0, symmetric", 10, 64, 64, 1, 0, true, true, 10, 55},
        // A minimum width of 0 counts as 1.
        RoiCase{"minimum 0, start on the end", 30, 30, 64, 0, 1, false, true, 30, 30}),
    [](const ::testing::TestParamInfo<RoiCase>& info) { return "Case" + std::to_string(info.index); });

TEST(AdjustRoiAxis, StepZeroMatchesStepOne)
{
    for (bool symmetric : {false, true}) {
        for (bool startChanged : {false, true}) {
            for (int64_t start = 0; start <= 66; start += 3) {
                for (int64_t end = 0; end <= 66; end += 5) {
                    const RoiAxis zero = adjustRoiAxis(start, end, 64, 8, 0, symmetric, startChanged);
                    const RoiAxis one = adjustRoiAxis(start, end, 64, 8, 1, symmetric, startChanged);
                    EXPECT_EQ(zero.start, one.start);
                    EXPECT_EQ(zero.end, one.end);
                }
            }
        }
    }
}

TEST(AdjustRoiAxis, ResultsWithinTheAxisKeepTheirRules)
{
    // For every reachable edit on a sensor axis of 64 with step 4 and minimum 16, the result
    // lies on the axis, on the step grid, and is at least 16 wide.
    for (bool startChanged : {false, true}) {
        for (int64_t value = 1; value <= 64; ++value) {
            const RoiAxis axis = startChanged ? adjustRoiAxis(value, 64, 64, 16, 4, false, true)
                                              : adjustRoiAxis(1, value, 64, 16, 4, false, false);
            EXPECT_GE(axis.start, 1);
            EXPECT_LE(axis.end, 64);
            EXPECT_EQ((axis.start - 1) % 4, 0) << value;
            EXPECT_EQ(axis.end % 4, 0) << value;
            EXPECT_GE(axis.end - axis.start + 1, 16) << value;
        }
        for (int64_t value = 1; value <= 64; ++value) {
            const RoiAxis axis = adjustRoiAxis(value, 64, 64, 16, 4, true, startChanged);
            EXPECT_EQ(axis.start - 1, 64 - axis.end) << "centred " << value;
            EXPECT_EQ((axis.start - 1) % 4, 0) << value;
            EXPECT_GE(axis.end - axis.start + 1, 16) << value;
        }
    }
}

} // namespace
