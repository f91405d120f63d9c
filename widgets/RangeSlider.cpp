#include "RangeSlider.h"

#include <QMouseEvent>
#include <QPainter>
#include <QStringList>

#include <algorithm>
#include <cmath>

namespace {

// Role names as style sheets write them in the itemColors property.
const char* const kRoleNames[RangeSlider::ColorRoleCount] = {
    "Background", "Border", "Selected", "Disabled", "Handle", "HandleHover"};

QColor defaultColor(int role)
{
    switch (role) {
    case RangeSlider::Background:
    case RangeSlider::Disabled:
        return QColor(Qt::gray);
    case RangeSlider::Border:
        return QColor(Qt::darkGray);
    case RangeSlider::Selected:
        return QColor(30, 144, 255);
    default:
        return QColor(250, 250, 250);
    }
}

} // namespace

RangeSlider::RangeSlider(QWidget* parent)
    : RangeSlider(Qt::Horizontal, NoHandle, parent)
{
}

RangeSlider::RangeSlider(Qt::Orientation orientation, int handleSet, QWidget* parent)
    : QWidget(parent)
    , orientation_(orientation)
    , handleSet_(handleSet)
{
    // Hover colours need move events without a pressed button.
    setMouseTracking(true);
}

void RangeSlider::setRange(int minimum, int maximum)
{
    // Both ends in one step: setting them one after the other would let the swap rule of
    // setMinimum see the old maximum, so that 1..n set on a 0..0 slider became 0..n.
    applyRange(std::min(minimum, maximum), std::max(minimum, maximum));
}

void RangeSlider::setLowerValue(int aLowerValue)
{
    lowerValue_ = std::clamp(aLowerValue, minimum_, maximum_);
    emit lowerValueChanged(lowerValue_);
    update();
}

void RangeSlider::setUpperValue(int aUpperValue)
{
    upperValue_ = std::clamp(aUpperValue, minimum_, maximum_);
    emit upperValueChanged(upperValue_);
    update();
}

void RangeSlider::setMinimum(int aMinimum)
{
    if (aMinimum > maximum_)
        applyRange(maximum_, aMinimum);
    else
        applyRange(aMinimum, maximum_);
}

void RangeSlider::setMaximum(int aMaximum)
{
    if (aMaximum < minimum_)
        applyRange(aMaximum, minimum_);
    else
        applyRange(minimum_, aMaximum);
}

void RangeSlider::applyRange(int minimum, int maximum)
{
    minimum_ = minimum;
    maximum_ = maximum;
    interval_ = maximum_ - minimum_;
    if (indicatorShown_)
        indicatorValue_ = std::clamp(indicatorValue_, minimum_, maximum_);
    setLowerValue(minimum_);
    setUpperValue(maximum_);
    emit rangeChanged(minimum_, maximum_);
}

void RangeSlider::setIndicatorValue(int value, bool byUser)
{
    value = std::clamp(value, minimum_, maximum_);
    if (indicatorShown_ && indicatorValue_ == value)
        return;
    indicatorValue_ = value;
    indicatorShown_ = true;
    update();
    if (byUser)
        emit indicatorValueChangedByUser(value);
}

void RangeSlider::hideIndicator()
{
    if (!indicatorShown_)
        return;
    indicatorShown_ = false;
    update();
}

QColor RangeSlider::color(ColorRole role) const
{
    QColor& slot = colors_[role];
    if (!slot.isValid())
        slot = defaultColor(role);
    return slot;
}

void RangeSlider::setColor(ColorRole role, const QColor& colour)
{
    colors_[role] = colour;
    update();
}

QString RangeSlider::itemColors() const
{
    QStringList pairs;
    for (int role = 0; role < ColorRoleCount; ++role) {
        const QColor c = color(static_cast<ColorRole>(role));
        const QString text = c.alpha() == 255 ? c.name() : c.name(QColor::HexArgb);
        pairs << QStringLiteral("%1=%2").arg(QLatin1String(kRoleNames[role]), text);
    }
    return pairs.join(QLatin1Char(' '));
}

void RangeSlider::setItemColors(const QString& text)
{
    const QStringList parts = text.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    for (const QString& part : parts) {
        const int equals = part.indexOf(QLatin1Char('='));
        if (equals <= 0 || equals == part.size() - 1)
            continue;
        const QString name = part.left(equals);
        const QColor colour(part.mid(equals + 1));
        if (!colour.isValid())
            continue;
        for (int role = 0; role < ColorRoleCount; ++role) {
            if (name == QLatin1String(kRoleNames[role])) {
                colors_[role] = colour;
                break;
            }
        }
    }
    update();
}

void RangeSlider::setHandleSize(int size)
{
    handleSize_ = size;
    update();
}

void RangeSlider::setHandleRadius(int radius)
{
    handleRadius_ = radius;
    update();
}

void RangeSlider::setBorderSize(int size)
{
    borderSize_ = size;
    update();
}

void RangeSlider::setBarHeight(int height)
{
    barHeight_ = height;
    update();
}

void RangeSlider::setLrMargin(int margin)
{
    lrMargin_ = margin;
    update();
}

int RangeSlider::length() const
{
    return horizontal() ? width() : height();
}

int RangeSlider::crossExtent() const
{
    return horizontal() ? height() : width();
}

int RangeSlider::available() const
{
    const int handles = (hasLower() && hasUpper()) ? 2 : 1;
    return length() - 2 * lrMargin_ - handles * handleSize_;
}

QRect RangeSlider::grooveRect() const
{
    if (horizontal())
        return QRect(lrMargin_, (height() - barHeight_) / 2, width() - 2 * lrMargin_, barHeight_);
    return QRect((width() - barHeight_) / 2, lrMargin_, barHeight_, height() - 2 * lrMargin_);
}

int RangeSlider::handleStart(int value, int extraOffset) const
{
    // An empty range (minimum == maximum) parks the handles at the start.
    const float fraction = interval_ > 0 ? float(value - minimum_) / float(interval_) : 0.0f;
    return static_cast<int>(float(available()) * fraction + float(lrMargin_ + extraOffset));
}

QRect RangeSlider::handleSquare(int start) const
{
    if (horizontal())
        return QRect(start, (height() - handleSize_) / 2, handleSize_, handleSize_);
    return QRect((width() - handleSize_) / 2, start, handleSize_, handleSize_);
}

QRect RangeSlider::lowerHandleRect() const
{
    return handleSquare(handleStart(lowerValue_, 0));
}

QRect RangeSlider::upperHandleRect() const
{
    return handleSquare(handleStart(upperValue_, hasLower() ? handleSize_ : 0));
}

int RangeSlider::valueAt(int along) const
{
    if (interval_ <= 0)
        return minimum_;
    const QRect groove = grooveRect();
    double fraction = 0.0;
    if (horizontal()) {
        const double left = groove.x();
        const double extent = groove.width();
        const double x = std::clamp(double(along), left, left + std::max(0.0, extent));
        fraction = extent > 0 ? (x - left) / extent : 0.0;
    } else {
        const double top = groove.y();
        const double extent = groove.height();
        const double bottom = top + extent;
        const double y = std::clamp(double(along), top, std::max(top, bottom));
        fraction = extent > 0 ? (bottom - y) / extent : 0.0;
    }
    return minimum_ + static_cast<int>(std::lround(interval_ * fraction));
}

double RangeSlider::indicatorPosition() const
{
    const QRect groove = grooveRect();
    const double t = interval_ > 0
        ? std::clamp(double(indicatorValue_ - minimum_) / double(interval_), 0.0, 1.0)
        : 0.0;
    if (horizontal())
        return groove.x() + groove.width() * t;
    return groove.y() + groove.height() - groove.height() * t;
}

QSize RangeSlider::minimumSizeHint() const
{
    const QSize along(2 * (lrMargin_ + handleSize_), handleSize_);
    return horizontal() ? along : along.transposed();
}

void RangeSlider::paintEvent(QPaintEvent* /*event*/)
{
    QPainter painter(this);
    const QRect groove = grooveRect();
    const QPen pen(color(Border), borderSize_, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin);

    painter.setPen(pen);
    painter.setBrush(color(Background));
    painter.drawRoundedRect(groove, 1.0, 1.0, Qt::AbsoluteSize);

    const QRect lower = lowerHandleRect();
    const QRect upper = upperHandleRect();
    painter.setRenderHint(QPainter::Antialiasing, true);
    if (hasLower()) {
        painter.setBrush(color(static_cast<ColorRole>(lowerHandleColorIndex_)));
        painter.drawRoundedRect(lower, handleRadius_, handleRadius_);
    }
    if (hasUpper()) {
        painter.setBrush(color(static_cast<ColorRole>(upperHandleColorIndex_)));
        painter.drawRoundedRect(upper, handleRadius_, handleRadius_);
    }

    painter.setRenderHint(QPainter::Antialiasing, false);
    QRect selection = groove;
    const int selStart = hasLower() ? endOf(lower) : startOf(lower);
    const int selEnd = hasUpper() ? startOf(upper) : endOf(upper);
    if (horizontal()) {
        selection.setLeft(selStart);
        selection.setRight(selEnd);
    } else {
        selection.setTop(selStart);
        selection.setBottom(selEnd);
    }
    painter.setBrush(color(static_cast<ColorRole>(selectionColorIndex_)));
    painter.drawRect(selection);

    if (indicatorShown_ && interval_ > 0) {
        painter.setRenderHint(QPainter::Antialiasing, true);
        painter.setPen(QPen(color(HandleHover), 4.0, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin));
        const double position = indicatorPosition();
        const double overhang = barHeight_ / 4.0;
        if (horizontal()) {
            painter.drawLine(QPointF(position, groove.y() - overhang),
                             QPointF(position, groove.y() + groove.height() + overhang));
        } else {
            painter.drawLine(QPointF(groove.x() - overhang, position),
                             QPointF(groove.x() + groove.width() + overhang, position));
        }
    }
}

void RangeSlider::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    indicatorDragged_ = false;
    const QPoint point = event->pos();
    const int along = alongOf(point);
    const int across = acrossOf(point);
    const QRect lower = lowerHandleRect();
    const QRect upper = upperHandleRect();

    secondHandlePressed_ = hasUpper() && upper.contains(point);
    firstHandlePressed_ = !secondHandlePressed_ && hasLower() && lower.contains(point);
    if (secondHandlePressed_)
        delta_ = along - handleSize_ / 2 - startOf(upper);
    else if (firstHandlePressed_)
        delta_ = along - handleSize_ / 2 - startOf(lower);

    const bool insideAcross = across >= 2 && across <= crossExtent() - 2;
    if (!firstHandlePressed_ && !secondHandlePressed_ && indicatorShown_ && interval_ >= 1) {
        const double reach = std::max(4, handleSize_ / 2);
        if (std::fabs(along - indicatorPosition()) <= reach && insideAcross) {
            indicatorDragged_ = true;
            setIndicatorValue(valueAt(along), true);
            return;
        }
    }
    if (!insideAcross)
        return;
    stepTowards(along);
}

void RangeSlider::stepTowards(int along)
{
    const int step = interval_ >= 10 ? interval_ / 10 : 1;
    const QRect lower = lowerHandleRect();
    const QRect upper = upperHandleRect();

    if (hasLower() && along < startOf(lower)) {
        setLowerValue(lowerValue_ - step);
        return;
    }
    if (hasUpper() && along > endOf(upper)) {
        setUpperValue(upperValue_ + step);
        return;
    }
    const bool pastLower = !hasLower() || along > endOf(lower);
    const bool beforeUpper = !hasUpper() || along < startOf(upper);
    if (!pastLower || !beforeUpper)
        return; // on a handle: the press only starts a drag
    if (hasLower() && hasUpper()) {
        const int towardsLower = along - endOf(lower);
        const int towardsUpper = startOf(upper) - along;
        if (towardsLower < towardsUpper)
            setLowerValue(std::min(lowerValue_ + step, upperValue_));
        else
            setUpperValue(std::max(upperValue_ - step, lowerValue_));
    } else if (hasLower()) {
        setLowerValue(std::min(lowerValue_ + step, upperValue_));
    } else if (hasUpper()) {
        setUpperValue(std::max(upperValue_ - step, lowerValue_));
    }
}

void RangeSlider::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint point = event->pos();
    lowerHandleColorIndex_ = lowerHandleRect().contains(point) ? HandleHover : Handle;
    upperHandleColorIndex_ = upperHandleRect().contains(point) ? HandleHover : Handle;
    if (event->buttons() & Qt::LeftButton)
        dragTo(alongOf(point));
    update();
}

void RangeSlider::dragTo(int along)
{
    const int avail = available();
    const int half = handleSize_ / 2;
    const bool both = hasLower() && hasUpper();
    if (firstHandlePressed_ && hasLower() && avail > 0) {
        int value = upperValue_;
        if (along - delta_ + half <= startOf(upperHandleRect()))
            value = static_cast<int>(double(along - lrMargin_ - half - delta_) / avail * interval_ + minimum_);
        // Rounding of the handle positions must not let the lower handle pass the upper one.
        setLowerValue(std::min(value, upperValue_));
    }
    if (secondHandlePressed_ && hasUpper() && avail > 0) {
        int value = lowerValue_;
        const double threshold = startOf(lowerHandleRect()) + handleSize_ * (both ? 1.5 : 0.5);
        if (along - delta_ >= threshold) {
            const int offset = half + lrMargin_ + (hasLower() ? handleSize_ : 0) + delta_;
            value = static_cast<int>(double(along - offset) / avail * interval_ + minimum_);
        }
        setUpperValue(std::max(value, lowerValue_));
    }
    if (indicatorDragged_)
        setIndicatorValue(valueAt(along), true);
}

void RangeSlider::mouseReleaseEvent(QMouseEvent* event)
{
    firstHandlePressed_ = false;
    secondHandlePressed_ = false;
    indicatorDragged_ = false;
    QWidget::mouseReleaseEvent(event);
}

void RangeSlider::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::EnabledChange) {
        selectionColorIndex_ = isEnabled() ? Selected : Disabled;
        update();
    }
    QWidget::changeEvent(event);
}
