// Range slider: range and value rules, clicks, drags, the indicator, colours and painting.
#include "widgets/RangeSlider.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QPixmap>
#include <QSignalSpy>

namespace {

void press(RangeSlider& s, QPoint p)
{
    QMouseEvent e(QEvent::MouseButtonPress, p, s.mapToGlobal(p), Qt::LeftButton, Qt::LeftButton,
                  Qt::NoModifier);
    QApplication::sendEvent(&s, &e);
}

void dragTo(RangeSlider& s, QPoint p)
{
    QMouseEvent e(QEvent::MouseMove, p, s.mapToGlobal(p), Qt::NoButton, Qt::LeftButton,
                  Qt::NoModifier);
    QApplication::sendEvent(&s, &e);
}

void hover(RangeSlider& s, QPoint p)
{
    QMouseEvent e(QEvent::MouseMove, p, s.mapToGlobal(p), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(&s, &e);
}

void release(RangeSlider& s, QPoint p)
{
    QMouseEvent e(QEvent::MouseButtonRelease, p, s.mapToGlobal(p), Qt::LeftButton, Qt::NoButton,
                  Qt::NoModifier);
    QApplication::sendEvent(&s, &e);
}

void click(RangeSlider& s, QPoint p)
{
    press(s, p);
    release(s, p);
}

// A horizontal two-handle slider 200 x 20 px over [min, max].
struct Horizontal {
    explicit Horizontal(int min = 0, int max = 100, int handles = RangeSlider::BothHandles)
        : slider(Qt::Horizontal, handles)
    {
        slider.resize(200, 20);
        slider.setRange(min, max);
    }
    int midY() const { return slider.height() / 2; }
    RangeSlider slider;
};

} // namespace

TEST(RangeSlider, DefaultsAndMinimumSize)
{
    RangeSlider plain;
    EXPECT_EQ(plain.orientation(), Qt::Horizontal);
    EXPECT_EQ(plain.handleSet(), RangeSlider::NoHandle);
    EXPECT_EQ(plain.minimum(), 0);
    EXPECT_EQ(plain.maximum(), 100);
    EXPECT_EQ(plain.lowerValue(), 0);
    EXPECT_EQ(plain.upperValue(), 100);
    EXPECT_FALSE(plain.isIndicatorShown());
    EXPECT_TRUE(plain.hasMouseTracking());
    EXPECT_EQ(plain.minimumSizeHint(), QSize(34, 16));
    plain.setLrMargin(3);
    plain.setHandleSize(10);
    EXPECT_EQ(plain.minimumSizeHint(), QSize(26, 10));

    RangeSlider vertical(Qt::Vertical, RangeSlider::BothHandles);
    EXPECT_EQ(vertical.minimumSizeHint(), QSize(16, 34));
}

TEST(RangeSlider, ValuesAreClampedAndAlwaysSignalled)
{
    RangeSlider s(Qt::Horizontal, RangeSlider::BothHandles);
    QSignalSpy lower(&s, &RangeSlider::lowerValueChanged);
    QSignalSpy upper(&s, &RangeSlider::upperValueChanged);
    s.setLowerValue(-5);
    s.setUpperValue(500);
    EXPECT_EQ(s.lowerValue(), 0);
    EXPECT_EQ(s.upperValue(), 100);
    ASSERT_EQ(lower.count(), 1);
    EXPECT_EQ(lower.at(0).at(0).toInt(), 0);
    ASSERT_EQ(upper.count(), 1);
    EXPECT_EQ(upper.at(0).at(0).toInt(), 100);
}

TEST(RangeSlider, SettingTheRangeResetsHandlesAndReportsTheRange)
{
    RangeSlider s(Qt::Horizontal, RangeSlider::BothHandles);
    s.setLowerValue(30);
    s.setUpperValue(60);
    QSignalSpy range(&s, &RangeSlider::rangeChanged);
    QSignalSpy lower(&s, &RangeSlider::lowerValueChanged);
    s.setMinimum(10);
    EXPECT_EQ(s.lowerValue(), 10);
    EXPECT_EQ(s.upperValue(), 100);
    EXPECT_EQ(lower.count(), 1);
    ASSERT_EQ(range.count(), 1);
    EXPECT_EQ(range.at(0).at(0).toInt(), 10);
    EXPECT_EQ(range.at(0).at(1).toInt(), 100);
}

TEST(RangeSlider, MaximumBelowMinimumSwapsThem)
{
    RangeSlider s(Qt::Horizontal, RangeSlider::BothHandles);
    s.setRange(20, 80);
    QSignalSpy range(&s, &RangeSlider::rangeChanged);
    s.setMaximum(5);
    EXPECT_EQ(s.minimum(), 5);
    EXPECT_EQ(s.maximum(), 20);
    EXPECT_EQ(s.lowerValue(), 5);
    EXPECT_EQ(s.upperValue(), 20);
    ASSERT_EQ(range.count(), 1);
    EXPECT_EQ(range.at(0).at(0).toInt(), 5);
    EXPECT_EQ(range.at(0).at(1).toInt(), 20);

    s.setMinimum(50);
    EXPECT_EQ(s.minimum(), 20);
    EXPECT_EQ(s.maximum(), 50);
    EXPECT_EQ(s.lowerValue(), 20);
    EXPECT_EQ(s.upperValue(), 50);
}

TEST(RangeSlider, SetRangeTakesBothEndsAtOnceWhateverTheRangeBefore)
{
    // An empty 0..0 slider (no images yet) given 1..10: the old maximum 0 must not become
    // the minimum on the way.
    Horizontal h(0, 0);
    QSignalSpy range(&h.slider, &RangeSlider::rangeChanged);
    h.slider.setRange(1, 10);
    EXPECT_EQ(h.slider.minimum(), 1);
    EXPECT_EQ(h.slider.maximum(), 10);
    EXPECT_EQ(h.slider.lowerValue(), 1);
    EXPECT_EQ(h.slider.upperValue(), 10);
    ASSERT_EQ(range.count(), 1);
    EXPECT_EQ(range.at(0).at(0).toInt(), 1);
    EXPECT_EQ(range.at(0).at(1).toInt(), 10);

    // The lower handle dragged to the far left stops at the minimum.
    h.slider.setLowerValue(5);
    const QPoint grab = h.slider.lowerHandleRect().center();
    press(h.slider, grab);
    dragTo(h.slider, QPoint(0, grab.y()));
    release(h.slider, QPoint(0, grab.y()));
    EXPECT_EQ(h.slider.lowerValue(), 1);

    // A range above the old one, and ends given the wrong way round.
    h.slider.setRange(50, 60);
    EXPECT_EQ(h.slider.minimum(), 50);
    EXPECT_EQ(h.slider.maximum(), 60);
    h.slider.setRange(9, 3);
    EXPECT_EQ(h.slider.minimum(), 3);
    EXPECT_EQ(h.slider.maximum(), 9);
    EXPECT_EQ(h.slider.lowerValue(), 3);
    EXPECT_EQ(h.slider.upperValue(), 9);
}

TEST(RangeSlider, IndicatorIsClampedShownAndReportedOnlyForUserChanges)
{
    RangeSlider s(Qt::Horizontal, RangeSlider::BothHandles);
    s.setRange(0, 50);
    QSignalSpy byUser(&s, &RangeSlider::indicatorValueChangedByUser);
    s.setIndicatorValue(70);
    EXPECT_TRUE(s.isIndicatorShown());
    EXPECT_EQ(s.indicatorValue(), 50);
    EXPECT_EQ(byUser.count(), 0);
    s.setIndicatorValue(20, true);
    ASSERT_EQ(byUser.count(), 1);
    EXPECT_EQ(byUser.at(0).at(0).toInt(), 20);
    s.setIndicatorValue(20, true);
    EXPECT_EQ(byUser.count(), 1) << "no change, no signal";
    s.setRange(30, 40);
    EXPECT_EQ(s.indicatorValue(), 30) << "a shown indicator follows the range";
    s.hideIndicator();
    EXPECT_FALSE(s.isIndicatorShown());
    s.setIndicatorValue(30, true);
    EXPECT_EQ(byUser.count(), 2) << "showing again at the same value counts as a change";
}

TEST(RangeSlider, HandleGeometry)
{
    Horizontal h;
    // available = 200 - 2*1 - 2*16 = 166
    EXPECT_EQ(h.slider.grooveRect(), QRect(1, 6, 198, 8));
    EXPECT_EQ(h.slider.lowerHandleRect(), QRect(1, 2, 16, 16));
    EXPECT_EQ(h.slider.upperHandleRect(), QRect(183, 2, 16, 16));
    h.slider.setLowerValue(50);
    EXPECT_EQ(h.slider.lowerHandleRect().left(), 84);
    h.slider.setUpperValue(50);
    EXPECT_EQ(h.slider.upperHandleRect().left(), 100) << "upper sits one handle after lower";

    RangeSlider single(Qt::Horizontal, RangeSlider::UpperHandle);
    single.resize(200, 20);
    single.setUpperValue(100);
    EXPECT_EQ(single.upperHandleRect().left(), 183) << "available = 200 - 2 - 16";

    RangeSlider vertical(Qt::Vertical, RangeSlider::BothHandles);
    vertical.resize(20, 200);
    EXPECT_EQ(vertical.grooveRect(), QRect(6, 1, 8, 198));
    EXPECT_EQ(vertical.upperHandleRect(), QRect(2, 183, 16, 16));
}

TEST(RangeSlider, EmptyRangeParksHandlesWithoutFailing)
{
    Horizontal h(7, 7);
    EXPECT_EQ(h.slider.lowerHandleRect().left(), 1);
    EXPECT_EQ(h.slider.valueAt(150), 7);
    h.slider.grab();
    click(h.slider, QPoint(100, h.midY()));
    EXPECT_EQ(h.slider.lowerValue(), 7);
    EXPECT_EQ(h.slider.upperValue(), 7);
}

TEST(RangeSlider, ClicksBesideHandlesStepByATenthOrByOne)
{
    for (const auto& [max, step] : {std::pair{5, 1}, std::pair{250, 25}}) {
        SCOPED_TRACE(max);
        Horizontal h(0, max);
        h.slider.setLowerValue(max * 2 / 5);
        h.slider.setUpperValue(max * 3 / 5);
        const int lower = h.slider.lowerValue();
        const int upper = h.slider.upperValue();

        click(h.slider, QPoint(h.slider.lowerHandleRect().left() - 1, h.midY()));
        EXPECT_EQ(h.slider.lowerValue(), lower - step);
        click(h.slider, QPoint(h.slider.upperHandleRect().right() + 1, h.midY()));
        EXPECT_EQ(h.slider.upperValue(), upper + step);

        // Between the handles: the nearer handle moves inwards.
        click(h.slider, QPoint(h.slider.lowerHandleRect().right() + 1, h.midY()));
        EXPECT_EQ(h.slider.lowerValue(), lower);
        click(h.slider, QPoint(h.slider.upperHandleRect().left() - 1, h.midY()));
        EXPECT_EQ(h.slider.upperValue(), upper);
    }
}

TEST(RangeSlider, InwardStepsNeverCrossTheOtherHandle)
{
    Horizontal h(0, 100);
    h.slider.setLowerValue(48);
    h.slider.setUpperValue(52);
    click(h.slider, QPoint(h.slider.lowerHandleRect().right() + 1, h.midY()));
    EXPECT_EQ(h.slider.lowerValue(), 52);

    Horizontal lowerOnly(0, 100, RangeSlider::LowerHandle);
    lowerOnly.slider.setUpperValue(95);
    lowerOnly.slider.setLowerValue(90);
    click(lowerOnly.slider, QPoint(190, lowerOnly.midY()));
    EXPECT_EQ(lowerOnly.slider.lowerValue(), 95);

    Horizontal upperOnly(0, 100, RangeSlider::UpperHandle);
    upperOnly.slider.setLowerValue(10);
    upperOnly.slider.setUpperValue(15);
    click(upperOnly.slider, QPoint(5, upperOnly.midY()));
    EXPECT_EQ(upperOnly.slider.upperValue(), 10);
}

TEST(RangeSlider, ClickOnAHandleChangesNothing)
{
    Horizontal h(0, 100);
    h.slider.setLowerValue(20);
    h.slider.setUpperValue(80);
    click(h.slider, h.slider.lowerHandleRect().center());
    click(h.slider, h.slider.upperHandleRect().center());
    EXPECT_EQ(h.slider.lowerValue(), 20);
    EXPECT_EQ(h.slider.upperValue(), 80);
}

TEST(RangeSlider, ClicksAtTheEdgesOnlyStartHandleDrags)
{
    RangeSlider s(Qt::Horizontal, RangeSlider::BothHandles);
    s.resize(200, 16); // handles span the full height
    s.setRange(0, 100);
    s.setLowerValue(30);
    s.setUpperValue(70);
    click(s, QPoint(5, 1));
    click(s, QPoint(195, 15));
    click(s, QPoint(100, 0));
    EXPECT_EQ(s.lowerValue(), 30);
    EXPECT_EQ(s.upperValue(), 70);

    // On the handle itself the edge press still grabs it.
    const QRect lower = s.lowerHandleRect();
    press(s, QPoint(lower.center().x(), 1));
    dragTo(s, QPoint(lower.center().x() - 40, 1));
    release(s, QPoint(lower.center().x() - 40, 1));
    EXPECT_LT(s.lowerValue(), 30);
}

TEST(RangeSlider, DraggingFollowsThePointerKeepingTheGrabOffset)
{
    Horizontal h(0, 166);
    // available is 166 px, so one value per pixel.
    const QPoint grab = h.slider.lowerHandleRect().center() + QPoint(3, 0);
    press(h.slider, grab);
    dragTo(h.slider, grab + QPoint(40, 0));
    EXPECT_EQ(h.slider.lowerValue(), 40);
    release(h.slider, grab + QPoint(40, 0));
    dragTo(h.slider, grab + QPoint(80, 0));
    EXPECT_EQ(h.slider.lowerValue(), 40) << "released: moving no longer drags";
}

TEST(RangeSlider, HandlesCannotBeDraggedPastEachOther)
{
    Horizontal h(0, 100);
    h.slider.setLowerValue(20);
    h.slider.setUpperValue(60);
    QPoint p = h.slider.lowerHandleRect().center();
    press(h.slider, p);
    dragTo(h.slider, QPoint(195, p.y()));
    release(h.slider, QPoint(195, p.y()));
    EXPECT_EQ(h.slider.lowerValue(), 60);
    EXPECT_EQ(h.slider.upperValue(), 60);

    h.slider.setLowerValue(40);
    h.slider.setUpperValue(90);
    p = h.slider.upperHandleRect().center();
    press(h.slider, p);
    dragTo(h.slider, QPoint(2, p.y()));
    release(h.slider, QPoint(2, p.y()));
    EXPECT_EQ(h.slider.upperValue(), 40);
    EXPECT_EQ(h.slider.lowerValue(), 40);

    // Odd ratios of pixels to values must not let rounding cross the handles.
    for (int lower = 0; lower <= 3; ++lower) {
        Horizontal odd(0, 3);
        odd.slider.setLowerValue(lower);
        odd.slider.setUpperValue(3);
        const QPoint up = odd.slider.upperHandleRect().center();
        press(odd.slider, up);
        for (int x = up.x(); x >= 0; --x) {
            dragTo(odd.slider, QPoint(x, up.y()));
            ASSERT_GE(odd.slider.upperValue(), odd.slider.lowerValue()) << "x=" << x;
        }
        release(odd.slider, QPoint(0, up.y()));
    }
}

TEST(RangeSlider, IndicatorCanBeGrabbedAndDraggedByTheUser)
{
    RangeSlider s(Qt::Horizontal, RangeSlider::NoHandle);
    s.resize(202, 20); // groove 200 px wide starting at x = 1
    s.setRange(0, 100);
    s.setIndicatorValue(50);
    EXPECT_DOUBLE_EQ(s.indicatorPosition(), 101.0);
    QSignalSpy byUser(&s, &RangeSlider::indicatorValueChangedByUser);

    press(s, QPoint(106, 10)); // within max(4, 16/2) px
    ASSERT_EQ(byUser.count(), 1);
    EXPECT_EQ(s.indicatorValue(), 53) << "2.5 rounds away from zero";
    dragTo(s, QPoint(151, 10));
    EXPECT_EQ(s.indicatorValue(), 75);
    dragTo(s, QPoint(500, 10));
    EXPECT_EQ(s.indicatorValue(), 100) << "clamped to the groove";
    release(s, QPoint(500, 10));
    dragTo(s, QPoint(1, 10));
    EXPECT_EQ(s.indicatorValue(), 100);

    press(s, QPoint(20, 10)); // far from the indicator
    release(s, QPoint(20, 10));
    EXPECT_EQ(s.indicatorValue(), 100);
    press(s, QPoint(199, 1)); // near it but at the edge
    EXPECT_EQ(byUser.count(), 3);
}

TEST(RangeSlider, VerticalIndicatorCountsFromTheBottom)
{
    RangeSlider s(Qt::Vertical, RangeSlider::NoHandle);
    s.resize(20, 102);
    s.setRange(0, 10);
    EXPECT_EQ(s.valueAt(101), 0);
    EXPECT_EQ(s.valueAt(1), 10);
    EXPECT_EQ(s.valueAt(51), 5);
    s.setIndicatorValue(10);
    EXPECT_DOUBLE_EQ(s.indicatorPosition(), 1.0);
}

TEST(RangeSlider, ItemColorsTextSetsKnownRolesAndSkipsTheRest)
{
    RangeSlider s;
    const QColor defaultBorder = s.borderColor();
    EXPECT_EQ(defaultBorder, QColor(Qt::darkGray));
    EXPECT_EQ(s.selectedColor(), QColor(30, 144, 255));
    EXPECT_EQ(s.handleColor(), QColor(250, 250, 250));
    EXPECT_EQ(s.bkgColor(), QColor(Qt::gray));

    s.setItemColors(QStringLiteral("  Background=#102030 Handle=red Bogus=#00ff00 Border= Selected"));
    EXPECT_EQ(s.bkgColor(), QColor(0x10, 0x20, 0x30));
    EXPECT_EQ(s.handleColor(), QColor(Qt::red));
    EXPECT_EQ(s.borderColor(), defaultBorder);
    EXPECT_EQ(s.selectedColor(), QColor(30, 144, 255));
    EXPECT_TRUE(s.itemColors().startsWith(QStringLiteral("Background=#102030 Border=#808080")));

    s.setProperty("handleHoverColor", QColor(Qt::blue));
    EXPECT_EQ(s.handleHoverColor(), QColor(Qt::blue));
    s.setProperty("barHeight", 12);
    EXPECT_EQ(s.barHeight(), 12);
}

TEST(RangeSlider, StyleSheetColoursTheSliderThroughItsProperties)
{
    QWidget parent;
    auto* s = new RangeSlider(Qt::Horizontal, RangeSlider::BothHandles, &parent);
    parent.setStyleSheet(QStringLiteral(
        "RangeSlider { qproperty-itemColors: \"Selected=#123456 Handle=#abcdef\"; qproperty-handleSize: 12; }"));
    s->ensurePolished();
    EXPECT_EQ(s->selectedColor(), QColor(0x12, 0x34, 0x56));
    EXPECT_EQ(s->handleColor(), QColor(0xab, 0xcd, 0xef));
    EXPECT_EQ(s->handleSize(), 12);
}

TEST(RangeSlider, PaintsGrooveHandlesSelectionAndIndicator)
{
    Horizontal h(0, 100);
    RangeSlider& s = h.slider;
    s.setItemColors(QStringLiteral(
        "Background=#000080 Border=#000000 Selected=#00ff00 Disabled=#808080 Handle=#ff0000 HandleHover=#ffff00"));
    s.setLowerValue(20);
    s.setUpperValue(80);
    QImage image = s.grab().toImage();
    const int y = h.midY();
    EXPECT_EQ(QColor(image.pixel(s.lowerHandleRect().center())), QColor(Qt::red));
    EXPECT_EQ(QColor(image.pixel(s.upperHandleRect().center())), QColor(Qt::red));
    EXPECT_EQ(QColor(image.pixel(100, y)), QColor(Qt::green)) << "selection between the handles";
    EXPECT_EQ(QColor(image.pixel(10, y)), QColor(0, 0, 128)) << "groove outside the selection";

    hover(s, s.upperHandleRect().center());
    image = s.grab().toImage();
    EXPECT_EQ(QColor(image.pixel(s.upperHandleRect().center())), QColor(Qt::yellow));
    EXPECT_EQ(QColor(image.pixel(s.lowerHandleRect().center())), QColor(Qt::red));

    s.setIndicatorValue(50);
    image = s.grab().toImage();
    const int x = static_cast<int>(s.indicatorPosition());
    EXPECT_EQ(QColor(image.pixel(x, y)), QColor(Qt::yellow));
    EXPECT_EQ(QColor(image.pixel(x, s.grooveRect().top() - 1)), QColor(Qt::yellow))
        << "the line reaches past the groove";

    s.setEnabled(false);
    image = s.grab().toImage();
    EXPECT_EQ(QColor(image.pixel(70, y)), QColor(0x80, 0x80, 0x80));
    s.setEnabled(true);
    image = s.grab().toImage();
    EXPECT_EQ(QColor(image.pixel(70, y)), QColor(Qt::green));
}
