// Time editor: unit choice, conversions, rounding and the user's edits.
#include "widgets/UnitTreeDoubleSpinbox.h"

#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>

namespace {

// Replaces the editable number with text and confirms with Enter, as a user would.
void typeValue(UnitTreeDoubleSpinbox& box, const QString& text)
{
    box.selectAll();
    QTest::keyClicks(&box, text);
    QTest::keyClick(&box, Qt::Key_Enter);
}

const QString kMicro = QStringLiteral("\u00B5s");

} // namespace

TEST(UnitTreeDoubleSpinbox, StartsInMillisecondsWithTwoDecimalsOverOneSecond)
{
    UnitTreeDoubleSpinbox box(nullptr, nullptr);
    EXPECT_EQ(box.unit(), UnitTreeDoubleSpinbox::Milliseconds);
    EXPECT_EQ(box.suffix(), QStringLiteral(" ms"));
    EXPECT_EQ(box.decimals(), 2);
    EXPECT_DOUBLE_EQ(box.singleStep(), 0.1) << "1 us step is below the 0.1 floor";
    EXPECT_DOUBLE_EQ(box.minimum(), 0.0);
    EXPECT_DOUBLE_EQ(box.maximum(), 1000.0);
    EXPECT_EQ(box.correctionMode(), QAbstractSpinBox::CorrectToNearestValue);
}

TEST(UnitTreeDoubleSpinbox, UnitBoundaries)
{
    using U = UnitTreeDoubleSpinbox;
    EXPECT_EQ(U::unitFor(0.0), U::Nanoseconds);
    EXPECT_EQ(U::unitFor(9.99e-7), U::Nanoseconds);
    EXPECT_EQ(U::unitFor(1e-6), U::Microseconds);
    EXPECT_EQ(U::unitFor(9.99e-4), U::Microseconds);
    EXPECT_EQ(U::unitFor(1e-3), U::Milliseconds);
    EXPECT_EQ(U::unitFor(0.999), U::Milliseconds);
    EXPECT_EQ(U::unitFor(1.0), U::Seconds);
    EXPECT_EQ(U::unitFor(-5e-7), U::Nanoseconds) << "chosen by magnitude";
    EXPECT_EQ(U::unitFor(-2.0), U::Seconds);
    EXPECT_EQ(U::suffixOf(U::Nanoseconds), QStringLiteral(" ns"));
    EXPECT_EQ(U::suffixOf(U::Microseconds), QStringLiteral(" ") + kMicro);
    EXPECT_EQ(U::suffixOf(U::Seconds), QStringLiteral(" s"));
}

TEST(UnitTreeDoubleSpinbox, SetValueInSecondsPicksTheUnitSilently)
{
    UnitTreeDoubleSpinbox box(nullptr, nullptr);
    QSignalSpy changed(&box, qOverload<double>(&QDoubleSpinBox::valueChanged));
    QSignalSpy inSec(&box, &UnitTreeDoubleSpinbox::valueChangedInSec);
    box.setValueInSec(5e-6);
    EXPECT_EQ(box.unit(), UnitTreeDoubleSpinbox::Microseconds);
    EXPECT_DOUBLE_EQ(box.value(), 5.0);
    EXPECT_EQ(box.text(), QStringLiteral("5.00 ") + kMicro);
    EXPECT_DOUBLE_EQ(box.maximum(), 1e6) << "range follows the unit";
    EXPECT_EQ(changed.count(), 0);
    EXPECT_EQ(inSec.count(), 0);

    box.setValueInSec(5e-7); // below 1 us: nanoseconds
    EXPECT_EQ(box.unit(), UnitTreeDoubleSpinbox::Nanoseconds);
    EXPECT_EQ(box.text(), QStringLiteral("500.00 ns"));
    EXPECT_DOUBLE_EQ(box.valueInSec(), 5e-7);
    EXPECT_EQ(changed.count(), 0);

    box.setValueInSec(0.25);
    EXPECT_EQ(box.unit(), UnitTreeDoubleSpinbox::Milliseconds);
    EXPECT_EQ(box.text(), QStringLiteral("250.00 ms"));
    EXPECT_DOUBLE_EQ(box.valueInSec(), 0.25);
}

TEST(UnitTreeDoubleSpinbox, TypedValueSwitchesUnitAndIsReportedInSeconds)
{
    UnitTreeDoubleSpinbox box(nullptr, nullptr);
    box.setValueInSec(5e-6);
    QSignalSpy inSec(&box, &UnitTreeDoubleSpinbox::valueChangedInSec);
    typeValue(box, QStringLiteral("2000"));
    ASSERT_EQ(inSec.count(), 1);
    EXPECT_DOUBLE_EQ(inSec.at(0).at(0).toDouble(), 0.002);
    EXPECT_EQ(box.unit(), UnitTreeDoubleSpinbox::Milliseconds);
    EXPECT_EQ(box.text(), QStringLiteral("2.00 ms"));

    box.setValueInSec(5e-7);
    typeValue(box, QStringLiteral("2000")); // 2000 ns
    ASSERT_EQ(inSec.count(), 2);
    EXPECT_DOUBLE_EQ(inSec.at(1).at(0).toDouble(), 2e-6);
    EXPECT_EQ(box.unit(), UnitTreeDoubleSpinbox::Microseconds);
    EXPECT_EQ(box.text(), QStringLiteral("2.00 ") + kMicro);
}

TEST(UnitTreeDoubleSpinbox, TypingPastASecondInMillisecondsSwitchesToSeconds)
{
    UnitTreeDoubleSpinbox box(nullptr, nullptr);
    box.setRangeInSec(0.0, 10.0);
    box.setValueInSec(0.5);
    QSignalSpy inSec(&box, &UnitTreeDoubleSpinbox::valueChangedInSec);
    typeValue(box, QStringLiteral("1500"));
    ASSERT_EQ(inSec.count(), 1);
    EXPECT_DOUBLE_EQ(inSec.at(0).at(0).toDouble(), 1.5);
    EXPECT_EQ(box.unit(), UnitTreeDoubleSpinbox::Seconds);
    EXPECT_EQ(box.text(), QStringLiteral("1.50 s"));
    EXPECT_DOUBLE_EQ(box.maximum(), 10.0);
}

TEST(UnitTreeDoubleSpinbox, ValuesAreRoundedToTheNanosecond)
{
    UnitTreeDoubleSpinbox box(nullptr, nullptr);
    box.setValueInSec(4e-10);
    EXPECT_EQ(box.unit(), UnitTreeDoubleSpinbox::Nanoseconds);
    EXPECT_DOUBLE_EQ(box.value(), 0.4);
    EXPECT_DOUBLE_EQ(box.valueInSec(), 0.0);

    box.setValueInSec(1.23456e-4); // 123.46 us displayed
    EXPECT_DOUBLE_EQ(box.valueInSec(), 1.23460e-4);

    QSignalSpy inSec(&box, &UnitTreeDoubleSpinbox::valueChangedInSec);
    box.setUnit(UnitTreeDoubleSpinbox::Nanoseconds);
    box.setValue(7.6);
    box.onValueChanged();
    ASSERT_EQ(inSec.count(), 1);
    EXPECT_DOUBLE_EQ(inSec.at(0).at(0).toDouble(), 8e-9);
}

TEST(UnitTreeDoubleSpinbox, StepAndRangeAreKeptInSecondsAcrossUnits)
{
    UnitTreeDoubleSpinbox box(nullptr, nullptr);
    box.setStepInSec(0.5);
    EXPECT_DOUBLE_EQ(box.singleStep(), 500.0);
    box.setRangeInSec(1e-3, 2.0);
    EXPECT_DOUBLE_EQ(box.minimum(), 1.0);
    EXPECT_DOUBLE_EQ(box.maximum(), 2000.0);

    box.setUnit(UnitTreeDoubleSpinbox::Seconds);
    EXPECT_EQ(box.suffix(), QStringLiteral(" s"));
    EXPECT_DOUBLE_EQ(box.singleStep(), 0.5);
    EXPECT_DOUBLE_EQ(box.minimum(), 0.0) << "1 ms shows as 0.00 s at two decimals";
    EXPECT_DOUBLE_EQ(box.maximum(), 2.0);

    box.setStepInSec(1e-9);
    EXPECT_DOUBLE_EQ(box.singleStep(), 0.1);

    box.setUnit(7);
    EXPECT_EQ(box.unit(), UnitTreeDoubleSpinbox::Seconds) << "unknown unit codes are ignored";
}

TEST(UnitTreeDoubleSpinbox, EditingFinishedWithoutUnitChangeStillReports)
{
    UnitTreeDoubleSpinbox box(nullptr, nullptr);
    box.setValueInSec(0.010);
    QSignalSpy inSec(&box, &UnitTreeDoubleSpinbox::valueChangedInSec);
    typeValue(box, QStringLiteral("20"));
    ASSERT_EQ(inSec.count(), 1);
    EXPECT_DOUBLE_EQ(inSec.at(0).at(0).toDouble(), 0.020);
    EXPECT_EQ(box.unit(), UnitTreeDoubleSpinbox::Milliseconds);
}
