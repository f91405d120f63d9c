#include "view/HistogramPlot.h"

#include <qwt_plot_marker.h>
#include <qwt_scale_div.h>
#include <qwt_scale_widget.h>

#include <QContextMenuEvent>
#include <QDebug>
#include <QDoubleValidator>
#include <QFormLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QToolTip>
#include <QWheelEvent>
#include <QWidgetAction>

#include <algorithm>
#include <cmath>

const QString HistogramPlot::kXAxisTip = QStringLiteral("Press Shift and scroll wheel to zoom X-Axis");
const QString HistogramPlot::kYAxisTip = QStringLiteral("Scroll wheel to zoom Y-Axis");

namespace {

// Markers count as hit within this share of the visible x range.
constexpr double kNearShare = 0.02;
constexpr double kWheelFactor = 1.1;

QwtPlotMarker* makeMarker(QwtPlot* plot)
{
    auto* marker = new QwtPlotMarker();
    marker->setLineStyle(QwtPlotMarker::VLine);
    marker->setLinePen(QPen(Qt::darkGray, 2, Qt::DashLine));
    marker->attach(plot);
    return marker;
}

}  // namespace

HistogramPlot::HistogramPlot(QWidget* parent)
    : QwtPlot(parent)
    , leftMarker_(makeMarker(this))
    , rightMarker_(makeMarker(this))
{
    // The count axis follows the data until the user zooms it or resets the view.
    setAxisAutoScale(QwtPlot::yLeft, true);
    canvas()->installEventFilter(this);
    canvas()->setMouseTracking(true);
    canvas()->setFocusPolicy(Qt::StrongFocus);
    setFocusPolicy(Qt::StrongFocus);
    for (int axis : {QwtPlot::xBottom, QwtPlot::yLeft}) {
        axisWidget(axis)->installEventFilter(this);
        axisWidget(axis)->setMouseTracking(true);
    }
    setCursor(Qt::OpenHandCursor);
    setBitDepth(16);
}

void HistogramPlot::setBitDepth(int bits)
{
    bitDepth_ = std::clamp(bits, 1, 16);
    xMin_ = 0.0;
    xMax_ = std::ldexp(1.0, bitDepth_) - 1.0;
    setAxisScale(QwtPlot::xBottom, xMin_, xMax_);
    leftMarker_->setXValue(xMin_);
    rightMarker_->setXValue(xMax_);
    centreMarkersVertically();
    replot();
}

void HistogramPlot::setMarkers(double xMin, double xMax)
{
    leftMarker_->setXValue(std::max(xMin, 0.0));
    rightMarker_->setXValue(std::min(xMax, xMax_));
    centreMarkersVertically();
    replot();
}

double HistogramPlot::leftMarkerValue() const
{
    return leftMarker_->xValue();
}

double HistogramPlot::rightMarkerValue() const
{
    return rightMarker_->xValue();
}

void HistogramPlot::setMarkersVisible(bool visible)
{
    leftMarker_->setVisible(visible);
    rightMarker_->setVisible(visible);
}

bool HistogramPlot::markersVisible() const
{
    return leftMarker_->isVisible();
}

void HistogramPlot::centreMarkersVertically()
{
    const QwtScaleDiv& y = axisScaleDiv(QwtPlot::yLeft);
    const double middle = (y.lowerBound() + y.upperBound()) / 2.0;
    leftMarker_->setYValue(middle);
    rightMarker_->setYValue(middle);
}

void HistogramPlot::resetView()
{
    setAxisAutoScale(QwtPlot::xBottom, true);
    setAxisAutoScale(QwtPlot::yLeft, true);
    replot();
    setAxisAutoScale(QwtPlot::xBottom, false);
    setAxisAutoScale(QwtPlot::yLeft, false);
    centreMarkersVertically();
    replot();
}

double HistogramPlot::canvasToValue(const QPoint& pos) const
{
    return invTransform(QwtPlot::xBottom, pos.x());
}

bool HistogramPlot::near(double x, double markerValue) const
{
    const QwtScaleDiv& div = axisScaleDiv(QwtPlot::xBottom);
    return std::abs(x - markerValue) < kNearShare * std::abs(div.upperBound() - div.lowerBound());
}

bool HistogramPlot::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == canvas())
        return canvasEvent(event);
    const bool xAxis = watched == axisWidget(QwtPlot::xBottom);
    const bool yAxis = watched == axisWidget(QwtPlot::yLeft);
    if (xAxis || yAxis) {
        auto* axis = static_cast<QWidget*>(watched);
        if (event->type() == QEvent::Wheel) {
            // The axes invite the wheel in their tool tips: it zooms as over the canvas,
            // with the cursor's place taken along the canvas.
            auto* wheelEvent = static_cast<QWheelEvent*>(event);
            const QPoint onCanvas = canvas()->mapFrom(this, axis->mapTo(this, wheelEvent->position().toPoint()));
            wheelBy(onCanvas, *wheelEvent);
            return true;
        }
        if (event->type() == QEvent::Enter || event->type() == QEvent::MouseMove)
            QToolTip::showText(QCursor::pos(), xAxis ? kXAxisTip : kYAxisTip, axis);
        else if (event->type() == QEvent::Leave)
            QToolTip::hideText();
    }
    return QwtPlot::eventFilter(watched, event);
}

bool HistogramPlot::canvasEvent(QEvent* event)
{
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() != Qt::LeftButton)
            return false;
        press(mouse->pos());
        return true;
    }
    case QEvent::MouseMove:
        move(static_cast<QMouseEvent*>(event)->pos());
        return true;
    case QEvent::MouseButtonRelease:
        if (static_cast<QMouseEvent*>(event)->button() != Qt::LeftButton)
            return false;
        release();
        return true;
    case QEvent::Wheel: {
        auto* wheelEvent = static_cast<QWheelEvent*>(event);
        wheelBy(wheelEvent->position().toPoint(), *wheelEvent);
        return true;
    }
    default:
        return false;
    }
}

void HistogramPlot::wheelBy(const QPoint& canvasPos, const QWheelEvent& event)
{
    // Some platforms turn a Shift-wheel into a horizontal one.
    const QPoint angle = event.angleDelta();
    wheel(canvasPos, angle.y() != 0 ? angle.y() : angle.x(), event.modifiers().testFlag(Qt::ShiftModifier));
}

void HistogramPlot::press(const QPoint& pos)
{
    setCursor(Qt::ClosedHandCursor);
    canvas()->setCursor(Qt::ClosedHandCursor);
    const double x = canvasToValue(pos);
    // Hidden markers cannot be grabbed: a drag there pans, and the view keeps its range mode.
    const bool grabbable = markersVisible();
    if (grabbable && near(x, leftMarker_->xValue())) {
        dragging_ = Drag::Left;
        qDebug() << "Left Marker selected!";
    } else if (grabbable && near(x, rightMarker_->xValue())) {
        dragging_ = Drag::Right;
        qDebug() << "Right Marker selected!";
    } else {
        panning_ = true;
        lastPos_ = pos;
        qDebug() << "No Marker selected -> Paning";
    }
}

void HistogramPlot::move(const QPoint& pos)
{
    if (dragging_ != Drag::None) {
        const QwtScaleDiv& div = axisScaleDiv(QwtPlot::xBottom);
        const double x = std::clamp(canvasToValue(pos), div.lowerBound(), div.upperBound());
        (dragging_ == Drag::Left ? leftMarker_ : rightMarker_)->setXValue(x);
        emit markerMoved(static_cast<int>(leftMarker_->xValue()), static_cast<int>(rightMarker_->xValue()));
        replot();
    } else if (panning_) {
        pan(pos);
    } else {
        const double x = canvasToValue(pos);
        const bool overMarker = markersVisible() && (near(x, leftMarker_->xValue()) || near(x, rightMarker_->xValue()));
        canvas()->setCursor(overMarker ? Qt::OpenHandCursor : Qt::ArrowCursor);
    }
}

void HistogramPlot::pan(const QPoint& pos)
{
    const int dx = pos.x() - lastPos_.x();
    lastPos_ = pos;
    const QwtScaleDiv& div = axisScaleDiv(QwtPlot::xBottom);
    const double width = std::min(xMax_, div.upperBound() - div.lowerBound());
    // The step grows with the bit depth so that wide ranges pan at a usable speed.
    double lower = div.lowerBound() - (bitDepth_ * 0.25 + 1.0) * dx;
    lower = std::max(std::min(lower, xMax_ - width), xMin_);
    double upper = lower + width;
    if (upper > xMax_) {
        upper = xMax_;
        lower = std::max(xMax_ - width, xMin_);
    }
    setAxisScale(QwtPlot::xBottom, lower, upper);
    replot();
}

void HistogramPlot::release()
{
    canvas()->setCursor(Qt::ArrowCursor);
    setCursor(Qt::OpenHandCursor);
    dragging_ = Drag::None;
    panning_ = false;
}

void HistogramPlot::wheel(const QPoint& pos, int delta, bool shift)
{
    const double f = delta < 1 ? kWheelFactor : 1.0 / kWheelFactor;
    if (shift) {
        const QwtScaleDiv& div = axisScaleDiv(QwtPlot::xBottom);
        // The value under the cursor, kept inside the shown range (the wheel may turn over
        // the canvas border).
        const double c = std::clamp(canvasToValue(pos), std::max(div.lowerBound(), xMin_),
                                    std::min(div.upperBound(), xMax_));
        double lower = std::clamp(c - (c - div.lowerBound()) * f, xMin_, xMax_);
        double upper = std::clamp(c + (div.upperBound() - c) * f, xMin_ + 1.0, xMax_);
        if (upper - lower < 1.0) {
            // Never narrower than one value: keep c at the same share of a one-value range.
            const double share = (c - div.lowerBound()) / std::max(div.upperBound() - div.lowerBound(), 1e-9);
            lower = std::clamp(c - share, xMin_, xMax_ - 1.0);
            upper = lower + 1.0;
        }
        setAxisScale(QwtPlot::xBottom, lower, upper);
    } else {
        const QwtScaleDiv& div = axisScaleDiv(QwtPlot::yLeft);
        double upper = std::min(2.0 * div.upperBound(), div.upperBound() * f);
        const double lower = std::max(div.lowerBound() * f, 0.0);
        upper = std::max(upper, lower + 1.0); // at least one count visible
        setAxisScale(QwtPlot::yLeft, lower, upper);
        centreMarkersVertically();
    }
    replot();
}

void HistogramPlot::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_R) {
        resetView();
        return;
    }
    QwtPlot::keyPressEvent(event);
}

void HistogramPlot::contextMenuEvent(QContextMenuEvent* event)
{
    execContextMenu(event->globalPos());
}

void HistogramPlot::execContextMenu(const QPoint& globalPos)
{
    QMenu menu(this);
    QAction* markers = menu.addAction(QStringLiteral("Markers"));
    markers->setCheckable(true);
    markers->setChecked(markersVisible());
    QAction* reset = menu.addAction(QStringLiteral("Reset"));
    menu.addSeparator();

    auto* form = new QWidget(&menu);
    auto* layout = new QFormLayout(form);
    const QwtScaleDiv& div = axisScaleDiv(QwtPlot::xBottom);
    auto* minEdit = new QLineEdit(QString::number(div.lowerBound(), 'g', 6), form);
    auto* maxEdit = new QLineEdit(QString::number(div.upperBound(), 'g', 6), form);
    minEdit->setObjectName(QStringLiteral("histogramMin"));
    maxEdit->setObjectName(QStringLiteral("histogramMax"));
    minEdit->setValidator(new QDoubleValidator(minEdit));
    maxEdit->setValidator(new QDoubleValidator(maxEdit));
    layout->addRow(QStringLiteral("Min:"), minEdit);
    layout->addRow(QStringLiteral("Max:"), maxEdit);
    auto* formAction = new QWidgetAction(&menu);
    formAction->setDefaultWidget(form);
    menu.addAction(formAction);

    QAction* chosen = menu.exec(globalPos);
    if (chosen == markers) {
        setMarkersVisible(markers->isChecked());
    } else if (chosen == reset) {
        resetView();
    } else {
        bool minValid = false;
        bool maxValid = false;
        const double min = minEdit->text().toDouble(&minValid);
        const double max = maxEdit->text().toDouble(&maxValid);
        if (minValid && maxValid && max > min) {
            setAxisAutoScale(QwtPlot::xBottom, false);
            setAxisScale(QwtPlot::xBottom, min, max);
        }
    }
    replot();
}
