#include "VYKToolbarWidget.h"

#include <QAction>
#include <algorithm>
#include <QApplication>
#include <QMouseEvent>
#include <QPainter>

VYKToolbarWidget::VYKToolbarWidget(QAction* action, QWidget* parent)
    : QWidget(parent)
    , action_(action)
{
    setFixedSize(85, 85);
    setMouseTracking(true);
    if (action_) {
        action_->setCheckable(true);
        connect(action_, &QAction::toggled, this, &VYKToolbarWidget::checkedChanged);
        connect(action_, &QAction::changed, this, qOverload<>(&QWidget::update));
        setToolTip(action_->toolTip());
    }
}

void VYKToolbarWidget::onActionSetChecked(bool checked)
{
    if (action_)
        action_->setChecked(checked);
    update();
}

void VYKToolbarWidget::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QRect area = rect();
    const bool checked = action_ && action_->isChecked();
    if (checked)
        painter.fillRect(area, pressedColor_);
    else if (hovered_)
        painter.fillRect(area, hoveredColor_);
    if (!action_)
        return;

    QFont font = this->font();
    font.setBold(true);
    font.setPointSizeF(std::max(1.0, QApplication::font().pointSizeF() - 2));
    painter.setFont(font);
    const int textHeight = action_->text().isEmpty() ? 0 : QFontMetrics(font).height();

    const int iconSide = std::min(area.width(), area.height() - textHeight) * 3 / 5;
    if (!action_->icon().isNull() && iconSide > 0) {
        const QRect iconRect((area.width() - iconSide) / 2, (area.height() - textHeight - iconSide) / 2, iconSide, iconSide);
        action_->icon().paint(&painter, iconRect);
    }
    if (textHeight > 0) {
        painter.setPen(textColor_);
        painter.drawText(QRect(0, area.height() - textHeight, area.width(), textHeight),
                         Qt::AlignHCenter | Qt::AlignBottom, action_->text());
    }
}

void VYKToolbarWidget::mouseMoveEvent(QMouseEvent* event)
{
    hovered_ = true;
    update();
    QWidget::mouseMoveEvent(event);
}

void VYKToolbarWidget::leaveEvent(QEvent* event)
{
    hovered_ = false;
    update();
    QWidget::leaveEvent(event);
}

void VYKToolbarWidget::mousePressEvent(QMouseEvent* event)
{
    if (action_ && action_->isEnabled())
        action_->setChecked(!action_->isChecked());
    update();
    event->accept();
}
