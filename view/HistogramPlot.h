// One camera's histogram plot: curves, two draggable display-range markers, pan and zoom.
#pragma once

#include <qwt_plot.h>

#include <QPoint>

class QWheelEvent;
class QwtPlotMarker;

/// A Qwt plot over the raw value range 0..2^bitDepth - 1 of one camera. The left and right
/// vertical markers show the camera view's display range; dragging one emits markerMoved.
/// Mouse: drag a shown marker or pan the x axis; Shift+wheel zooms x, wheel zooms y (over the
/// canvas and over both axes); key R resets.
class HistogramPlot : public QwtPlot {
    Q_OBJECT
public:
    /// An 16-bit plot with markers at both ends of the range.
    explicit HistogramPlot(QWidget* parent = nullptr);

    /// Sets the value range to 0..2^bits - 1 (bits 1..16), shows all of it and puts the
    /// markers at its ends.
    void setBitDepth(int bits);
    /// The bit depth.
    int bitDepth() const { return bitDepth_; }
    /// Largest value of the range, 2^bitDepth - 1.
    double xMax() const { return xMax_; }
    /// Places the markers at max(xMin, 0) and min(xMax, 2^bits - 1).
    void setMarkers(double xMin, double xMax);
    /// Marker positions.
    double leftMarkerValue() const;
    double rightMarkerValue() const;
    /// Shows or hides both markers.
    void setMarkersVisible(bool visible);
    /// Whether the markers are shown.
    bool markersVisible() const;
    /// Scales both axes to the data once, then fixes the scales again.
    void resetView();
    /// Opens the plot's context menu at globalPos and applies the choice.
    void execContextMenu(const QPoint& globalPos);

    /// Tool tip over the bottom axis.
    static const QString kXAxisTip;
    /// Tool tip over the left axis.
    static const QString kYAxisTip;

signals:
    /// A marker was dragged; both positions truncated to integers.
    void markerMoved(int xMin, int xMax);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    enum class Drag { None, Left, Right };

    bool canvasEvent(QEvent* event);
    void press(const QPoint& pos);
    void move(const QPoint& pos);
    void release();
    // A wheel event at canvas position canvasPos: Shift zooms x, otherwise y.
    void wheelBy(const QPoint& canvasPos, const QWheelEvent& event);
    void wheel(const QPoint& pos, int delta, bool shift);
    void pan(const QPoint& pos);
    double canvasToValue(const QPoint& pos) const;
    bool near(double x, double markerValue) const;
    void centreMarkersVertically();

    QwtPlotMarker* leftMarker_;   ///< lower end of the display range (owned by the plot)
    QwtPlotMarker* rightMarker_;  ///< upper end of the display range (owned by the plot)
    Drag dragging_ = Drag::None;  ///< marker being dragged
    bool panning_ = false;        ///< left button held away from the markers
    QPoint lastPos_;              ///< last mouse position while panning, canvas pixels
    int bitDepth_ = 16;           ///< bits per value
    double xMin_ = 0.0;           ///< smallest value
    double xMax_ = 65535.0;       ///< largest value, 2^bitDepth - 1
};
