#include "RangeWidget.h"

#include "RangeSlider.h"

#include <QLabel>
#include <QVBoxLayout>

RangeWidget::RangeWidget(const QString& title, Qt::Orientation orientation, int handleSet,
                         QWidget* parent)
    : QWidget(parent)
    , title_(title)
    , handleSet_(handleSet)
    , label_(new QLabel(this))
    , slider_(new RangeSlider(orientation, handleSet, this))
{
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label_);
    layout->addWidget(slider_);
    connect(slider_, &RangeSlider::lowerValueChanged, this, &RangeWidget::onLowerValueChanged);
    connect(slider_, &RangeSlider::upperValueChanged, this, &RangeWidget::onUpperValueChanged);
    lower_ = slider_->lowerValue();
    upper_ = slider_->upperValue();
    updateLabel();
}

void RangeWidget::setValues(int lower, int upper)
{
    lower_ = lower;
    upper_ = upper;
    updateLabel();
}

void RangeWidget::onLowerValueChanged(int value)
{
    lower_ = value;
    if (handleSet_ & RangeSlider::LowerHandle)
        updateLabel();
}

void RangeWidget::onUpperValueChanged(int value)
{
    upper_ = value;
    if (handleSet_ & RangeSlider::UpperHandle)
        updateLabel();
}

void RangeWidget::updateLabel()
{
    switch (handleSet_) {
    case RangeSlider::BothHandles:
        label_->setText(title_ + QStringLiteral(": [%1, %2]").arg(lower_).arg(upper_));
        break;
    case RangeSlider::LowerHandle:
        label_->setText(title_ + QStringLiteral(": %1").arg(lower_));
        break;
    case RangeSlider::UpperHandle:
        label_->setText(title_ + QStringLiteral(": %1").arg(upper_));
        break;
    default:
        label_->setText(title_);
        break;
    }
}
