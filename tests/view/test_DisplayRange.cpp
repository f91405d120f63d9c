#include "view/DisplayRange.h"

#include <gtest/gtest.h>

namespace {

DisplayStatistics displayStats(int min, int max, double mean, double stddev)
{
    DisplayStatistics stats;
    stats.status = StatisticsStatus::Ok;
    stats.min = min;
    stats.max = max;
    stats.mean = mean;
    stats.stddev = stddev;
    return stats;
}

}  // namespace

TEST(DisplayRange, AutoRangeSpansTheDisplayExtremes)
{
    const auto range = DisplayRange::forMode(DisplayRangeMode::AutoRange, displayStats(1000, 1000, 1000, 0));
    ASSERT_TRUE(range);
    EXPECT_DOUBLE_EQ(range->window, 0.0);
    EXPECT_DOUBLE_EQ(range->level, 1000.0);

    const auto spread = DisplayRange::forMode(DisplayRangeMode::AutoRange, displayStats(20, 201, 0, 0));
    EXPECT_DOUBLE_EQ(spread->window, 181.0);
    EXPECT_DOUBLE_EQ(spread->level, 110.5);
    EXPECT_EQ(spread->lower(), 20);
    EXPECT_EQ(spread->upper(), 201);
}

TEST(DisplayRange, SigmaModesCentreOnTheMean)
{
    const DisplayStatistics stats = displayStats(0, 255, 100, 10);
    const auto three = DisplayRange::forMode(DisplayRangeMode::ThreeSigma, stats);
    ASSERT_TRUE(three);
    EXPECT_DOUBLE_EQ(three->window, 60.0);
    EXPECT_DOUBLE_EQ(three->level, 100.0);
    EXPECT_EQ(three->lower(), 70);
    EXPECT_EQ(three->upper(), 130);

    const auto five = DisplayRange::forMode(DisplayRangeMode::FiveSigma, stats);
    EXPECT_DOUBLE_EQ(five->window, 100.0);
    EXPECT_EQ(five->lower(), 50);
    EXPECT_EQ(five->upper(), 150);

    // Markers are truncated, not rounded: 100.7 -+ 3 x 3.3.
    const auto fraction = DisplayRange::forMode(DisplayRangeMode::ThreeSigma, displayStats(0, 0, 100.7, 3.3));
    EXPECT_EQ(fraction->lower(), 90);
    EXPECT_EQ(fraction->upper(), 110);
}

TEST(DisplayRange, ManualModeComputesNothing)
{
    EXPECT_FALSE(DisplayRange::forMode(DisplayRangeMode::Manual, displayStats(0, 255, 100, 10)));
    const WindowLevel limits = DisplayRange::fromLimits(10, 50);
    EXPECT_DOUBLE_EQ(limits.window, 40.0);
    EXPECT_DOUBLE_EQ(limits.level, 30.0);
}

TEST(DisplayRange, LimitFieldsScaleByBitResolution)
{
    EXPECT_EQ(DisplayRange::parseField(QStringLiteral("4095"), 12), 255);
    EXPECT_EQ(DisplayRange::fieldText(255, 12), QStringLiteral("4080"));
    EXPECT_EQ(DisplayRange::parseField(QStringLiteral("200"), 8), 200);
    EXPECT_EQ(DisplayRange::fieldText(200, 8), QStringLiteral("200"));
    EXPECT_EQ(DisplayRange::parseField(QStringLiteral("65535"), 16), 255);
    EXPECT_FALSE(DisplayRange::parseField(QString(), 12));
    EXPECT_FALSE(DisplayRange::parseField(QStringLiteral("12x"), 12));
    EXPECT_FALSE(DisplayRange::parseField(QStringLiteral("1.5"), 12));
}
