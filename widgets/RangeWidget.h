// A titled range slider: a label showing the title and the selected values above a
// RangeSlider.
#pragma once

#include <QWidget>

class QLabel;
class RangeSlider;

class RangeWidget : public QWidget {
    Q_OBJECT
public:
    // Widget titled title with a slider of the given orientation and handle set
    // (RangeSlider::HandleSet).
    RangeWidget(const QString& title, Qt::Orientation orientation, int handleSet,
                QWidget* parent = nullptr);

    // The slider (child widget).
    RangeSlider* slider() const { return slider_; }
    // The label above the slider (child widget).
    QLabel* label() const { return label_; }
    // The values the label shows.
    int lowerValue() const { return lower_; }
    int upperValue() const { return upper_; }
    // Stores both values and rewrites the label; the slider is not moved.
    void setValues(int lower, int upper);

protected slots:
    // The slider's lower handle moved.
    void onLowerValueChanged(int value);
    // The slider's upper handle moved.
    void onUpperValueChanged(int value);

private:
    // Writes the title and the values the handle set shows into the label.
    void updateLabel();

    QString title_;
    int handleSet_;
    int lower_ = 0;
    int upper_ = 0;
    QLabel* label_;       // child
    RangeSlider* slider_; // child
};
