// The histogram plot: range, markers, dragging, panning, zooming, reset, tool tips, menu.
#include "test_HistogramSupport.h"
#include "view/HistogramPlot.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QLineEdit>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QToolTip>

#include <qwt_plot_curve.h>
#include <qwt_scale_widget.h>

#include <functional>

using namespace histtest;

namespace {

class HistogramPlotTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        plot_.resize(600, 400);
        plot_.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&plot_));
        plot_.setBitDepth(12);
    }

    // Runs the context menu; handle(menu) acts on it once it shows.
    void withContextMenu(const std::function<void(QMenu*)>& handle)
    {
        bool handled = false;
        QTimer poll;
        poll.setInterval(5);
        QObject::connect(&poll, &QTimer::timeout, [&] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            if (menu == nullptr || handled)
                return;
            handled = true;
            handle(menu);
        });
        poll.start();
        plot_.execContextMenu(plot_.mapToGlobal(QPoint(50, 50)));
        EXPECT_TRUE(handled);
    }

    HistogramPlot plot_;
};

}  // namespace

TEST_F(HistogramPlotTest, BitDepthFixesRangeAndMarkers)
{
    EXPECT_EQ(plot_.xMax(), 4095.0);
    EXPECT_EQ(lower(plot_), 0.0);
    EXPECT_EQ(upper(plot_), 4095.0);
    EXPECT_EQ(plot_.leftMarkerValue(), 0.0);
    EXPECT_EQ(plot_.rightMarkerValue(), 4095.0);
    plot_.setMarkers(-20, 9000);
    EXPECT_EQ(plot_.leftMarkerValue(), 0.0);
    EXPECT_EQ(plot_.rightMarkerValue(), 4095.0);
    plot_.setMarkers(256, 3840);
    EXPECT_EQ(plot_.leftMarkerValue(), 256.0);
    EXPECT_EQ(plot_.rightMarkerValue(), 3840.0);
}

TEST_F(HistogramPlotTest, DraggingAMarkerStaysInsideTheVisibleRangeAndReportsIntegers)
{
    plot_.setMarkers(1000, 3000);
    QSignalSpy moved(&plot_, &HistogramPlot::markerMoved);
    drag(plot_, 3000, QPoint(plot_.canvas()->width() + 200, 10)); // far beyond the right edge
    ASSERT_GE(moved.count(), 1);
    EXPECT_EQ(moved.last().at(0).toInt(), 1000);
    EXPECT_EQ(moved.last().at(1).toInt(), 4095);
    EXPECT_EQ(plot_.rightMarkerValue(), 4095.0);

    drag(plot_, 1000, QPoint(-50, 10));
    EXPECT_EQ(moved.last().at(0).toInt(), 0);
    EXPECT_EQ(lower(plot_), 0.0); // dragging never pans
    EXPECT_EQ(upper(plot_), 4095.0);
}

TEST_F(HistogramPlotTest, ShiftWheelNeverShowsLessThanOneValueNorLeavesTheRange)
{
    for (double centre : {0.0, 1.5, 2047.0, 4094.7, 4095.0}) {
        for (int step = 0; step < 150; ++step) {
            wheel(plot_, centre, true, true);
            ASSERT_GE(upper(plot_) - lower(plot_), 1.0 - 1e-9) << centre << " step " << step;
            ASSERT_GE(lower(plot_), 0.0);
            ASSERT_LE(upper(plot_), 4095.0);
        }
        EXPECT_NEAR(upper(plot_) - lower(plot_), 1.0, 1e-9);
        // Zooming out around the middle widens by at least 5 % per step up to the full range.
        for (int step = 0; step < 1000 && upper(plot_) - lower(plot_) < 4095.0; ++step) {
            wheel(plot_, (lower(plot_) + upper(plot_)) / 2, false, true);
            ASSERT_GE(lower(plot_), 0.0);
            ASSERT_LE(upper(plot_), 4095.0);
        }
        EXPECT_EQ(lower(plot_), 0.0) << centre;
        EXPECT_EQ(upper(plot_), 4095.0) << centre;
    }
}

TEST_F(HistogramPlotTest, WheelZoomsTheCountAxisAboveZero)
{
    plot_.setAxisScale(QwtPlot::yLeft, 100, 1000);
    plot_.replot();
    wheel(plot_, 100, false, false); // backward: out
    EXPECT_NEAR(upper(plot_, QwtPlot::yLeft), 1100.0, 1e-6);
    EXPECT_NEAR(lower(plot_, QwtPlot::yLeft), 110.0, 1e-6);
    for (int step = 0; step < 200; ++step)
        wheel(plot_, 100, true, false);
    EXPECT_GE(lower(plot_, QwtPlot::yLeft), 0.0);
    EXPECT_GT(upper(plot_, QwtPlot::yLeft), lower(plot_, QwtPlot::yLeft));
    EXPECT_EQ(upper(plot_), 4095.0); // x untouched
}

TEST_F(HistogramPlotTest, WheelOverTheAxesZoomsAsTheirToolTipsSay)
{
    plot_.setAxisScale(QwtPlot::yLeft, 0, 1000);
    plot_.replot();
    QWidget* yAxis = plot_.axisWidget(QwtPlot::yLeft);
    wheelOver(yAxis, QPoint(yAxis->width() / 2, yAxis->height() / 2), false, false);
    EXPECT_NEAR(upper(plot_, QwtPlot::yLeft), 1100.0, 1e-6);
    wheelOver(yAxis, QPoint(yAxis->width() / 2, yAxis->height() / 2), true, false);
    EXPECT_NEAR(upper(plot_, QwtPlot::yLeft), 1000.0, 1e-6);
    EXPECT_EQ(upper(plot_), 4095.0); // x untouched

    // Shift and the wheel over the x axis zoom x around the value under the cursor.
    QWidget* xAxis = plot_.axisWidget(QwtPlot::xBottom);
    const int atThousand = plot_.canvas()->mapTo(&plot_, canvasPoint(plot_, 1000)).x() - xAxis->x();
    wheelOver(xAxis, QPoint(atThousand, xAxis->height() / 2), true, true);
    EXPECT_NEAR(lower(plot_), 1000.0 - 1000.0 / 1.1, 15.0);
    EXPECT_NEAR(upper(plot_), 1000.0 + 3095.0 / 1.1, 15.0);
    EXPECT_NEAR(upper(plot_, QwtPlot::yLeft), 1000.0, 1e-6); // y untouched
}

TEST_F(HistogramPlotTest, HiddenMarkersCannotBeDragged)
{
    QSignalSpy moved(&plot_, &HistogramPlot::markerMoved);
    plot_.setMarkers(1000, 3000);
    plot_.setMarkersVisible(false);
    drag(plot_, 3000, canvasPoint(plot_, 2000));
    drag(plot_, 1000, canvasPoint(plot_, 1500));
    EXPECT_EQ(moved.count(), 0);
    EXPECT_EQ(plot_.leftMarkerValue(), 1000.0);
    EXPECT_EQ(plot_.rightMarkerValue(), 3000.0);

    // Shown again, they follow the mouse.
    plot_.setMarkersVisible(true);
    drag(plot_, 3000, canvasPoint(plot_, 2000));
    ASSERT_EQ(moved.count(), 1);
    EXPECT_NEAR(plot_.rightMarkerValue(), 2000.0, 10.0);
}

TEST_F(HistogramPlotTest, PanningKeepsTheWidthInsideTheRange)
{
    for (int step = 0; step < 10; ++step)
        wheel(plot_, 2000, true, true);
    const double width = upper(plot_) - lower(plot_);
    const QPoint start = canvasPoint(plot_, (lower(plot_) + upper(plot_)) / 2); // far from both markers
    const double before = lower(plot_);
    sendMouse(plot_, QEvent::MouseButtonPress, start, Qt::LeftButton);
    sendMouse(plot_, QEvent::MouseMove, start + QPoint(5, 0), Qt::LeftButton);
    EXPECT_NEAR(upper(plot_) - lower(plot_), width, 1e-6);
    EXPECT_NEAR(lower(plot_), before - (12 * 0.25 + 1.0) * 5, 1e-6); // dragging right shows lower values
    sendMouse(plot_, QEvent::MouseMove, start + QPoint(3000, 0), Qt::LeftButton);
    EXPECT_EQ(lower(plot_), 0.0);
    EXPECT_NEAR(upper(plot_), width, 1e-6);
    sendMouse(plot_, QEvent::MouseMove, start - QPoint(3000, 0), Qt::LeftButton);
    EXPECT_EQ(upper(plot_), 4095.0);
    EXPECT_NEAR(lower(plot_), 4095.0 - width, 1e-6);
    sendMouse(plot_, QEvent::MouseButtonRelease, start, Qt::NoButton);
    EXPECT_EQ(plot_.leftMarkerValue(), 0.0);
    EXPECT_EQ(plot_.rightMarkerValue(), 4095.0);
}

TEST_F(HistogramPlotTest, KeyRResetsToTheDataAndCentresTheMarkers)
{
    auto* curve = new QwtPlotCurve();
    curve->setSamples(QVector<double>{0, 100, 200}, QVector<double>{5, 50000, 7});
    curve->attach(&plot_);
    for (int step = 0; step < 20; ++step)
        wheel(plot_, 2000, true, true);
    QTest::keyClick(&plot_, Qt::Key_R);
    EXPECT_LE(lower(plot_), 0.0);
    EXPECT_GE(upper(plot_), 200.0);
    EXPECT_LT(upper(plot_), 4095.0);
    EXPECT_GE(upper(plot_, QwtPlot::yLeft), 50000.0);
    EXPECT_FALSE(plot_.axisAutoScale(QwtPlot::xBottom));
    EXPECT_FALSE(plot_.axisAutoScale(QwtPlot::yLeft));
}

TEST_F(HistogramPlotTest, AxesExplainTheirZoom)
{
    QEvent enter(QEvent::Enter);
    QApplication::sendEvent(plot_.axisWidget(QwtPlot::xBottom), &enter);
    EXPECT_EQ(QToolTip::text(), QStringLiteral("Press Shift and scroll wheel to zoom X-Axis"));
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(plot_.axisWidget(QwtPlot::xBottom), &leave);
    QApplication::sendEvent(plot_.axisWidget(QwtPlot::yLeft), &enter);
    EXPECT_EQ(QToolTip::text(), QStringLiteral("Scroll wheel to zoom Y-Axis"));
    QApplication::sendEvent(plot_.axisWidget(QwtPlot::yLeft), &leave);
}

TEST_F(HistogramPlotTest, ContextMenuSetsTheRangeTogglesMarkersAndResets)
{
    withContextMenu([](QMenu* menu) {
        const QList<QAction*> actions = menu->actions();
        EXPECT_EQ(actions.at(0)->text(), QStringLiteral("Markers"));
        EXPECT_TRUE(actions.at(0)->isChecked());
        EXPECT_EQ(actions.at(1)->text(), QStringLiteral("Reset"));
        auto* minEdit = menu->findChild<QLineEdit*>(QStringLiteral("histogramMin"));
        auto* maxEdit = menu->findChild<QLineEdit*>(QStringLiteral("histogramMax"));
        EXPECT_EQ(minEdit->text(), QStringLiteral("0"));
        EXPECT_EQ(maxEdit->text(), QStringLiteral("4095"));
        minEdit->setText(QStringLiteral("100.5"));
        maxEdit->setText(QStringLiteral("900"));
        menu->close();
    });
    EXPECT_EQ(lower(plot_), 100.5);
    EXPECT_EQ(upper(plot_), 900.0);

    withContextMenu([](QMenu* menu) {
        menu->findChild<QLineEdit*>(QStringLiteral("histogramMin"))->setText(QStringLiteral("800"));
        menu->findChild<QLineEdit*>(QStringLiteral("histogramMax"))->setText(QStringLiteral("700"));
        menu->close();
    });
    EXPECT_EQ(lower(plot_), 100.5); // Max must exceed Min

    withContextMenu([](QMenu* menu) {
        menu->setActiveAction(menu->actions().at(0));
        QTest::keyClick(menu, Qt::Key_Return);
    });
    EXPECT_FALSE(plot_.markersVisible());

    auto* curve = new QwtPlotCurve();
    curve->setSamples(QVector<double>{0, 3000}, QVector<double>{1, 2});
    curve->attach(&plot_);
    withContextMenu([](QMenu* menu) {
        menu->setActiveAction(menu->actions().at(1));
        QTest::keyClick(menu, Qt::Key_Return);
    });
    EXPECT_GE(upper(plot_), 3000.0);
    EXPECT_FALSE(plot_.markersVisible());
}
