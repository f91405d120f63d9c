#include "RamPieWidget.h"

#include <QPainter>

#include <algorithm>
#include <array>

namespace {

constexpr int kFullCircle = 5760; // QPainter angles are in sixteenths of a degree
constexpr int kMargin = 20;       // pixels between the pie and the shorter widget side

// Whole sixteenths of a degree covering percent of the circle (truncated).
int spanOf(int percent)
{
    return static_cast<int>(percent / 100.0 * kFullCircle);
}

} // namespace

RamPieWidget::RamPieWidget(QWidget* parent)
    : QWidget(parent)
{
    setMinimumSize(150, 150);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void RamPieWidget::setPercentages(const QList<int>& percentages)
{
    percentages_ = percentages;
    update();
}

QColor RamPieWidget::segmentColor(int index)
{
    static const std::array<QColor, 4> firstFour = {QColor(0, 128, 255), QColor(0, 200, 120),
                                                    QColor(255, 170, 0), QColor(200, 0, 80)};
    if (index >= 0 && index < static_cast<int>(firstFour.size()))
        return firstFour[static_cast<std::size_t>(index)];
    return QColor::fromHsv((37 * index) % 360, 200, 230, 255);
}

QColor RamPieWidget::restColor()
{
    return QColor(140, 140, 140);
}

void RamPieWidget::paintEvent(QPaintEvent*)
{
    const int side = std::min(width(), height()) - kMargin;
    if (side <= 0)
        return;
    const QRect square((width() - side) / 2, (height() - side) / 2, side, side);
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);

    int start = 0;
    int total = 0;
    for (int i = 0; i < percentages_.size(); ++i) {
        const int percent = percentages_.at(i);
        total += percent;
        if (percent <= 0)
            continue;
        const int span = spanOf(percent);
        painter.setBrush(segmentColor(i));
        painter.drawPie(square, start, span);
        start += span;
    }
    const int rest = 100 - std::clamp(total, 0, 100);
    if (rest > 0) {
        painter.setBrush(restColor());
        painter.drawPie(square, start, spanOf(rest));
    }

    painter.setBrush(Qt::NoBrush);
    painter.setPen(Qt::black);
    painter.drawEllipse(square);
}
