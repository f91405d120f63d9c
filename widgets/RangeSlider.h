// A slider with up to two handles selecting a sub-range, plus an optional value indicator
// line (for example the current playback position) that the user can drag.
#pragma once

#include <QColor>
#include <QRect>
#include <QWidget>

#include <array>

class RangeSlider : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QString itemColors READ itemColors WRITE setItemColors)
    Q_PROPERTY(QColor bkgColor READ bkgColor WRITE setBkgColor)
    Q_PROPERTY(QColor borderColor READ borderColor WRITE setBorderColor)
    Q_PROPERTY(QColor selectedColor READ selectedColor WRITE setSelectedColor)
    Q_PROPERTY(QColor disabledColor READ disabledColor WRITE setDisabledColor)
    Q_PROPERTY(QColor handleColor READ handleColor WRITE setHandleColor)
    Q_PROPERTY(QColor handleHoverColor READ handleHoverColor WRITE setHandleHoverColor)
    Q_PROPERTY(int handleSize READ handleSize WRITE setHandleSize)
    Q_PROPERTY(int handleRadius READ handleRadius WRITE setHandleRadius)
    Q_PROPERTY(int borderSize READ borderSize WRITE setBorderSize)
    Q_PROPERTY(int barHeight READ barHeight WRITE setBarHeight)
    Q_PROPERTY(int lrMargin READ lrMargin WRITE setLrMargin)

public:
    // Which handles exist (bit 0: lower, bit 1: upper).
    enum HandleSet { NoHandle = 0, LowerHandle = 1, UpperHandle = 2, BothHandles = 3 };
    // Colour slots, in the order the itemColors names list them.
    enum ColorRole { Background = 0, Border, Selected, Disabled, Handle, HandleHover, ColorRoleCount };

    // Horizontal slider without handles (groove and indicator only).
    explicit RangeSlider(QWidget* parent = nullptr);
    // Slider with the given orientation and handle set (a HandleSet value).
    RangeSlider(Qt::Orientation orientation, int handleSet, QWidget* parent = nullptr);

    // Range and handle positions.
    int minimum() const { return minimum_; }
    int maximum() const { return maximum_; }
    int lowerValue() const { return lowerValue_; }
    int upperValue() const { return upperValue_; }
    // Sets both ends at once (in either order) and resets the handles to them.
    void setRange(int minimum, int maximum);

    // Orientation and handle set given at construction.
    Qt::Orientation orientation() const { return orientation_; }
    int handleSet() const { return handleSet_; }

    // Moves the indicator to value (clamped into the range) and shows it; emits
    // indicatorValueChangedByUser when byUser and the value changed.
    void setIndicatorValue(int value, bool byUser = false);
    // Hides the indicator.
    void hideIndicator();
    // The indicator's value (meaningful while shown).
    int indicatorValue() const { return indicatorValue_; }
    // Whether the indicator is drawn.
    bool isIndicatorShown() const { return indicatorShown_; }

    // Colour of a role; an unset colour is replaced by its default on first use.
    QColor color(ColorRole role) const;
    // Sets the colour of a role and repaints.
    void setColor(ColorRole role, const QColor& colour);
    // "Name=colour" pairs of all six roles, space separated.
    QString itemColors() const;
    // Parses space separated "Name=colour" pairs; unknown names and missing colours are skipped.
    void setItemColors(const QString& text);

    QColor bkgColor() const { return color(Background); }
    void setBkgColor(const QColor& c) { setColor(Background, c); }
    QColor borderColor() const { return color(Border); }
    void setBorderColor(const QColor& c) { setColor(Border, c); }
    QColor selectedColor() const { return color(Selected); }
    void setSelectedColor(const QColor& c) { setColor(Selected, c); }
    QColor disabledColor() const { return color(Disabled); }
    void setDisabledColor(const QColor& c) { setColor(Disabled, c); }
    QColor handleColor() const { return color(Handle); }
    void setHandleColor(const QColor& c) { setColor(Handle, c); }
    QColor handleHoverColor() const { return color(HandleHover); }
    void setHandleHoverColor(const QColor& c) { setColor(HandleHover, c); }

    // Geometry parameters, pixels.
    int handleSize() const { return handleSize_; }
    int handleRadius() const { return handleRadius_; }
    int borderSize() const { return borderSize_; }
    int barHeight() const { return barHeight_; }
    int lrMargin() const { return lrMargin_; }

    // The groove rectangle in widget pixels.
    QRect grooveRect() const;
    // The lower handle's square in widget pixels.
    QRect lowerHandleRect() const;
    // The upper handle's square in widget pixels.
    QRect upperHandleRect() const;
    // The value under a coordinate along the slider, as the indicator maps it.
    int valueAt(int along) const;
    // The indicator's coordinate along the slider.
    double indicatorPosition() const;

    QSize minimumSizeHint() const override;

signals:
    void lowerValueChanged(int aLowerValue);
    void upperValueChanged(int aUpperValue);
    void rangeChanged(int aMin, int aMax);
    void indicatorValueChangedByUser(int value);

public slots:
    void setLowerValue(int aLowerValue);
    void setUpperValue(int aUpperValue);
    void setMinimum(int aMinimum);
    void setMaximum(int aMaximum);
    void setHandleSize(int size);
    void setHandleRadius(int radius);
    void setBorderSize(int size);
    void setBarHeight(int height);
    void setLrMargin(int margin);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    bool hasLower() const { return (handleSet_ & LowerHandle) != 0; }
    bool hasUpper() const { return (handleSet_ & UpperHandle) != 0; }
    bool horizontal() const { return orientation_ == Qt::Horizontal; }
    // Width (horizontal) or height (vertical) of the widget.
    int length() const;
    // Height (horizontal) or width (vertical) of the widget.
    int crossExtent() const;
    // Pixels the handles can travel: length − margins − the handles' own extent.
    int available() const;
    // Start coordinate along the slider of a handle showing value.
    int handleStart(int value, int extraOffset) const;
    // A handle square starting at along-coordinate start.
    QRect handleSquare(int start) const;
    // Coordinate along the slider of a point.
    int alongOf(const QPoint& point) const { return horizontal() ? point.x() : point.y(); }
    int acrossOf(const QPoint& point) const { return horizontal() ? point.y() : point.x(); }
    // Start and end coordinates of a rectangle along the slider.
    int startOf(const QRect& r) const { return horizontal() ? r.left() : r.top(); }
    int endOf(const QRect& r) const { return horizontal() ? r.right() : r.bottom(); }
    // Steps a handle for a click on the groove outside the handles.
    void stepTowards(int along);
    // Handle drags while the left button is held.
    void dragTo(int along);
    // Sets minimum and maximum (already ordered) and resets the handles to the ends.
    void applyRange(int minimum, int maximum);

    int minimum_ = 0;
    int maximum_ = 100;
    int lowerValue_ = 0;
    int upperValue_ = 100;
    bool firstHandlePressed_ = false;
    bool secondHandlePressed_ = false;
    int interval_ = 100;
    int delta_ = 0; // press point minus the pressed handle's centre, pixels
    Qt::Orientation orientation_ = Qt::Horizontal;
    int handleSet_ = NoHandle;
    mutable std::array<QColor, ColorRoleCount> colors_; // invalid until set or first used
    int selectionColorIndex_ = Selected;
    int lowerHandleColorIndex_ = Handle;
    int upperHandleColorIndex_ = Handle;
    int handleSize_ = 16;
    int handleRadius_ = 2;
    int borderSize_ = 1;
    int barHeight_ = 8;
    int lrMargin_ = 1;
    int indicatorValue_ = 0;
    bool indicatorShown_ = false;
    bool indicatorDragged_ = false;
};
