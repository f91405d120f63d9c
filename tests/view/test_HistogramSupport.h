// Images and mouse gestures for the histogram tests.
#pragma once

#include "camera/Image.h"
#include "view/HistogramPlot.h"

#include <QApplication>
#include <QMouseEvent>
#include <QWheelEvent>

#include <qwt_scale_div.h>

#include <functional>

namespace histtest {

// A width x height Mono16 image whose 16-bit raw pixel i is value(i).
inline vyk::Image monoImage(uint64_t width, uint64_t height, const std::function<uint16_t(std::size_t)>& value)
{
    vyk::Image image;
    image.reshape(vyk::Roi{1, 1, width, height}, vyk::DataFormat::Mono16, vyk::RawFormat::Word);
    std::vector<uint16_t>& raw = image.rawData16();
    for (std::size_t i = 0; i < raw.size(); ++i)
        raw[i] = value(i);
    return image;
}

// A width x height image of a three-component 8-bit format with every pixel (c0, c1, c2) in
// memory order; row padding bytes are 7.
inline vyk::Image colourImage(vyk::DataFormat format, uint64_t width, uint64_t height, uint8_t c0, uint8_t c1,
                              uint8_t c2)
{
    vyk::Image image;
    image.reshape(vyk::Roi{1, 1, width, height}, format, vyk::RawFormat::Byte);
    std::vector<uint8_t>& data = image.data8();
    const std::size_t stride = data.size() / height;
    for (std::size_t r = 0; r < height; ++r) {
        for (std::size_t i = 0; i < stride; ++i) {
            const uint8_t component = i % 3 == 0 ? c0 : (i % 3 == 1 ? c1 : c2);
            data[r * stride + i] = i < width * 3 ? component : 7;
        }
    }
    return image;
}

// Canvas pixel of value x on the plot's bottom axis.
inline QPoint canvasPoint(const HistogramPlot& plot, double x)
{
    return QPoint(static_cast<int>(plot.transform(QwtPlot::xBottom, x)), plot.canvas()->height() / 2);
}

inline void sendMouse(HistogramPlot& plot, QEvent::Type type, const QPoint& pos, Qt::MouseButtons buttons)
{
    QMouseEvent event(type, pos, plot.canvas()->mapToGlobal(pos), type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton,
                      buttons, Qt::NoModifier);
    QApplication::sendEvent(plot.canvas(), &event);
}

// Presses the left button at value from, drags to canvas pixel to and releases there.
inline void drag(HistogramPlot& plot, double from, const QPoint& to)
{
    const QPoint start = canvasPoint(plot, from);
    sendMouse(plot, QEvent::MouseButtonPress, start, Qt::LeftButton);
    sendMouse(plot, QEvent::MouseMove, to, Qt::LeftButton);
    sendMouse(plot, QEvent::MouseButtonRelease, to, Qt::NoButton);
}

// One wheel step at pixel pos of target (forward zooms in), with or without Shift.
inline void wheelOver(QWidget* target, const QPoint& pos, bool forward, bool shift)
{
    QWheelEvent event(QPointF(pos), QPointF(target->mapToGlobal(pos)), QPoint(), QPoint(0, forward ? 120 : -120),
                      Qt::NoButton, shift ? Qt::ShiftModifier : Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(target, &event);
}

// One wheel step over value x of the canvas (forward zooms in), with or without Shift.
inline void wheel(HistogramPlot& plot, double x, bool forward, bool shift)
{
    wheelOver(plot.canvas(), canvasPoint(plot, x), forward, shift);
}

inline double lower(const HistogramPlot& plot, int axis = QwtPlot::xBottom)
{
    return plot.axisScaleDiv(axis).lowerBound();
}

inline double upper(const HistogramPlot& plot, int axis = QwtPlot::xBottom)
{
    return plot.axisScaleDiv(axis).upperBound();
}

}  // namespace histtest
