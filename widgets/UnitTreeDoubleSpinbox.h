// Time editor for a settings tree row: shows a duration in ns, µs, ms or s, picking the
// unit that suits the value, and reports it in seconds.
#pragma once

#include "widgets/VYKTreeDoubleSpinBox.h"

class UnitTreeDoubleSpinbox : public VYKTreeDoubleSpinBox {
    Q_OBJECT
public:
    // Display units; the value is the unit's code.
    enum Unit : quint32 { Nanoseconds = 0, Microseconds = 1, Milliseconds = 2, Seconds = 3 };

    // Editor for row item of tree, showing milliseconds with 2 decimals, range 0 s to 1 s.
    UnitTreeDoubleSpinbox(QTreeWidgetItem* item, QTreeWidget* tree, QWidget* parent = nullptr);

    // The unit a value in seconds is shown in: below 1 µs ns, below 1 ms µs, below 1 s ms, else s.
    static quint32 unitFor(double value_s);
    // Seconds per displayed step of the unit (1e-9, 1e-6, 1e-3 or 1.0).
    static double factorOf(quint32 unit);
    // The suffix shown after the value (" ns", " µs", " ms", " s").
    static QString suffixOf(quint32 unit);

    // The display unit in force.
    quint32 unit() const { return unit_; }
    // Switches the display unit (codes above 3 are ignored); range and step follow.
    void setUnit(quint32 unit);
    // Sets the range in seconds, applied in the current unit.
    void setRangeInSec(double min_s, double max_s);
    // Sets the single step in seconds (at least 0.1 of the displayed unit).
    void setStepInSec(double step_s);
    // Shows value_s in the unit that suits it, without emitting any signal.
    void setValueInSec(double value_s);
    // The displayed value in seconds, rounded to the nearest nanosecond.
    double valueInSec() const;

signals:
    // The user finished editing; value_s is the new value in seconds, rounded to 1 ns.
    void valueChangedInSec(double value_s);

public slots:
    // Re-displays the edited value in the unit that suits it and reports it in seconds.
    void onValueChanged();

private:
    // Applies suffix, single step and range for the current unit.
    void applyUnit();
    // Shows value_s in the current unit with signals blocked.
    void showInCurrentUnit(double value_s);

    quint32 unit_ = Milliseconds;
    double step_s_ = 1e-6; // single step, seconds
    double min_s_ = 0.0;   // minimum, seconds
    double max_s_ = 1.0;   // maximum, seconds
};
