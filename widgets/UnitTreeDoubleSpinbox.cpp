#include "UnitTreeDoubleSpinbox.h"

#include <QSignalBlocker>

#include <algorithm>
#include <cmath>

namespace {

constexpr double kFactors[] = {1e-9, 1e-6, 1e-3, 1.0};

double roundToNanosecond(double value_s)
{
    return std::round(value_s * 1e9) / 1e9;
}

} // namespace

UnitTreeDoubleSpinbox::UnitTreeDoubleSpinbox(QTreeWidgetItem* item, QTreeWidget* tree, QWidget* parent)
    : VYKTreeDoubleSpinBox(item, tree, parent)
{
    setDecimals(2);
    setCorrectionMode(QAbstractSpinBox::CorrectToNearestValue);
    applyUnit();
    connect(this, &QAbstractSpinBox::editingFinished, this, &UnitTreeDoubleSpinbox::onValueChanged);
}

quint32 UnitTreeDoubleSpinbox::unitFor(double value_s)
{
    const double magnitude = std::fabs(value_s);
    if (magnitude < 1e-6)
        return Nanoseconds;
    if (magnitude < 0.001)
        return Microseconds;
    if (magnitude < 1.0)
        return Milliseconds;
    return Seconds;
}

double UnitTreeDoubleSpinbox::factorOf(quint32 unit)
{
    return kFactors[std::min<quint32>(unit, Seconds)];
}

QString UnitTreeDoubleSpinbox::suffixOf(quint32 unit)
{
    switch (unit) {
    case Nanoseconds:
        return QStringLiteral(" ns");
    case Microseconds:
        return QStringLiteral(" \u00B5s");
    case Milliseconds:
        return QStringLiteral(" ms");
    default:
        return QStringLiteral(" s");
    }
}

void UnitTreeDoubleSpinbox::setUnit(quint32 unit)
{
    if (unit > Seconds)
        return;
    unit_ = unit;
    applyUnit();
}

void UnitTreeDoubleSpinbox::setRangeInSec(double min_s, double max_s)
{
    min_s_ = min_s;
    max_s_ = max_s;
    const double factor = factorOf(unit_);
    setRange(min_s_ / factor, max_s_ / factor);
}

void UnitTreeDoubleSpinbox::setStepInSec(double step_s)
{
    step_s_ = step_s;
    setSingleStep(std::max(0.1, step_s_ / factorOf(unit_)));
}

void UnitTreeDoubleSpinbox::setValueInSec(double value_s)
{
    const quint32 unit = unitFor(value_s);
    if (unit != unit_)
        setUnit(unit);
    showInCurrentUnit(value_s);
}

double UnitTreeDoubleSpinbox::valueInSec() const
{
    return roundToNanosecond(value() * factorOf(unit_));
}

void UnitTreeDoubleSpinbox::onValueChanged()
{
    const double value_s = roundToNanosecond(value() * factorOf(unit_));
    const quint32 unit = unitFor(value_s);
    if (unit != unit_) {
        setUnit(unit);
        showInCurrentUnit(value_s);
    }
    emit valueChangedInSec(value_s);
}

void UnitTreeDoubleSpinbox::applyUnit()
{
    const double factor = factorOf(unit_);
    // Block signals: narrowing the range may clamp the shown value, which is no user edit.
    const QSignalBlocker blocker(this);
    setSuffix(suffixOf(unit_));
    setSingleStep(std::max(0.1, step_s_ / factor));
    setRange(min_s_ / factor, max_s_ / factor);
}

void UnitTreeDoubleSpinbox::showInCurrentUnit(double value_s)
{
    const QSignalBlocker blocker(this);
    setValue(value_s / factorOf(unit_));
}
