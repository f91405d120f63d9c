#include "lightsource/panel/LumraChannelWidget.h"

#include "lightsource/panel/WavelengthColor.h"
#include "widgets/VYKTreeSpinBox.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QSignalBlocker>
#include <QTreeWidget>

namespace {

constexpr int kRowHeight = 24;
constexpr int kEditorHeight = 20;
constexpr int kSwatchWidth = 40;
constexpr int kCheckBoxSize = 20;
constexpr int kIndicatorSize = 18;

}  // namespace

LumraChannelWidget::LumraChannelWidget(int intensityPercent, bool on, int channelIdx,
                                       unsigned wavelengthNm, QTreeWidgetItem* row, QTreeWidget* tree,
                                       QWidget* parent)
    : QWidget(parent)
    , channelIdx_(channelIdx)
    , wavelengthNm_(wavelengthNm)
    , row_(row)
    , tree_(tree)
{
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);

    const QColor background = wavelengthToColor(wavelengthNm);
    const QColor text = swatchTextColor(background);
    swatch_ = new QLabel(QStringLiteral("%1").arg(wavelengthNm), this);
    swatch_->setFixedSize(kSwatchWidth, kEditorHeight);
    swatch_->setAlignment(Qt::AlignCenter);
    swatch_->setStyleSheet(QStringLiteral("QLabel { color: rgb(%1, %2, %3); background-color: rgb(%4, %5, %6); }")
                               .arg(text.red())
                               .arg(text.green())
                               .arg(text.blue())
                               .arg(background.red())
                               .arg(background.green())
                               .arg(background.blue()));
    layout->addWidget(swatch_);

    onBox_ = new QCheckBox(this);
    onBox_->setStyleSheet(
        QStringLiteral("QCheckbox { width: %1px; height: %1px} QCheckBox::indicator { width: %2px; height: %2px; }")
            .arg(kCheckBoxSize)
            .arg(kIndicatorSize));
    onBox_->setFixedHeight(kEditorHeight);
    onBox_->setFocusPolicy(Qt::StrongFocus);
    onBox_->setLayoutDirection(Qt::LeftToRight);
    onBox_->setChecked(on);
    layout->addWidget(onBox_);

    intensityBox_ = new VYKTreeSpinBox(kMinimumPercent, kMaximumPercent, row, tree, this);
    intensityBox_->setFixedHeight(kEditorHeight);
    intensityBox_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    intensityBox_->setValue(intensityPercent); // QSpinBox clamps to 5..100
    layout->addWidget(intensityBox_);

    setFixedHeight(kRowHeight);
    setFocusPolicy(Qt::StrongFocus);

    connect(onBox_, &QCheckBox::stateChanged, this, &LumraChannelWidget::onStateChanged);
    connect(intensityBox_, &QSpinBox::editingFinished, this, &LumraChannelWidget::onIntensityChanged);
}

bool LumraChannelWidget::isOn() const
{
    return onBox_->isChecked();
}

void LumraChannelWidget::setOnSilently(bool on)
{
    const QSignalBlocker blocker(onBox_);
    onBox_->setChecked(on);
}

int LumraChannelWidget::intensityPercent() const
{
    return intensityBox_->value();
}

void LumraChannelWidget::onStateChanged(int /*state*/)
{
    if (tree_ != nullptr && row_ != nullptr)
        tree_->setCurrentItem(row_);
    emit propertyChanged(channelIdx_);
}

void LumraChannelWidget::onIntensityChanged()
{
    emit propertyChanged(channelIdx_);
}
