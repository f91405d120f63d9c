// The histogram window: cameras, threads on the histogram queue set, refresh, markers, layout.
#include "acquisition/ImageQueueSet.h"
#include "test_HistogramSupport.h"
#include "view/HistogramPlot.h"
#include "view/HistogramWidget.h"
#include "tests/support/ThreadActivity.h"

#include <gtest/gtest.h>

#include <QPointer>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

#include <qwt_plot_curve.h>
#include <qwt_scale_widget.h>
#include <qwt_text.h>

#include <chrono>
#include <thread>

using namespace histtest;

namespace {

constexpr DWORD kMono = 11;
constexpr DWORD kOther = 12;

// Processes events until condition holds (10 s at most); true when it did.
template <typename Condition>
bool eventually(Condition condition)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        QTest::qWait(2);
    }
    return true;
}

class HistogramWidgetTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        widget_.addCamera(kMono, QStringLiteral("pco.edge"), QStringLiteral("green"), 12);
        widget_.addCamera(kOther, QStringLiteral("pco.panda"), QStringLiteral("gold"), 16);
        widget_.resize(600, 600);
    }
    // Pushes image for serial and waits until one more image of it was counted.
    void countOne(DWORD serial, const vyk::Image& image)
    {
        const uint64_t before = widget_.imagesCounted(serial);
        queues_.push(serial, image);
        ASSERT_TRUE(eventually([&] { return widget_.imagesCounted(serial) == before + 1; }));
    }

    ImageQueueSet queues_;
    HistogramWidget widget_{queues_};
};

}  // namespace

TEST_F(HistogramWidgetTest, TwelveBitCameraGetsItsRangeAndFollowsTheViewsDisplayRange)
{
    HistogramPlot* plot = widget_.plot(kMono);
    ASSERT_NE(plot, nullptr);
    EXPECT_EQ(plot->axisTitle(QwtPlot::xBottom).text(), QStringLiteral("Pixelvalue"));
    EXPECT_EQ(plot->axisTitle(QwtPlot::yLeft).text(), QStringLiteral("Amount"));
    EXPECT_EQ(lower(*plot), 0.0);
    EXPECT_EQ(upper(*plot), 4095.0);
    widget_.onAdaptHistMarkers(kMono, 16, 240);
    EXPECT_EQ(plot->leftMarkerValue(), 256.0);
    EXPECT_EQ(plot->rightMarkerValue(), 3840.0);
    EXPECT_EQ(widget_.plot(kOther)->rightMarkerValue(), 65535.0); // other cameras keep theirs

    widget_.setBitDepth(kMono, 8);
    EXPECT_EQ(upper(*plot), 255.0);
    widget_.onAdaptHistMarkers(kMono, 16, 240);
    EXPECT_EQ(plot->leftMarkerValue(), 16.0);
    EXPECT_EQ(plot->rightMarkerValue(), 240.0);
}

TEST_F(HistogramWidgetTest, DraggingTheRightMarkerToTheEndReportsTheEightBitMaximum)
{
    widget_.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&widget_));
    HistogramPlot* plot = widget_.plot(kMono);
    widget_.onAdaptHistMarkers(kMono, 16, 200);
    QSignalSpy range(&widget_, &HistogramWidget::newColorMinMax);
    drag(*plot, 3200, QPoint(plot->canvas()->width() + 100, 5));
    ASSERT_GE(range.count(), 1);
    EXPECT_EQ(range.last().at(0).value<DWORD>(), kMono);
    EXPECT_EQ(range.last().at(1).toInt(), 16);
    EXPECT_EQ(range.last().at(2).toInt(), 255);
}

TEST_F(HistogramWidgetTest, OpenWindowCountsEachCamerasImagesIntoItsCurve)
{
    EXPECT_FALSE(widget_.isThreadRunning(kMono));
    widget_.onAnalysisWindowToggled(true);
    EXPECT_TRUE(widget_.isThreadRunning(kMono));
    EXPECT_TRUE(widget_.isThreadRunning(kOther));
    countOne(kMono, monoImage(16, 8, [](std::size_t i) { return i % 2 == 0 ? 4000 : 4096 + 7; }));
    const HistogramCounts counts = widget_.latestCounts(kMono);
    ASSERT_EQ(counts.mono.size(), 4096);
    EXPECT_EQ(counts.mono[4000], 64.0);
    EXPECT_EQ(counts.mono[7], 64.0);

    ASSERT_TRUE(eventually([&] { return widget_.monoCurve(kMono)->dataSize() == 4096; })); // the 30 ms timer
    EXPECT_EQ(widget_.monoCurve(kMono)->sample(4000), QPointF(4000, 64));
    EXPECT_GE(upper(*widget_.plot(kMono), QwtPlot::yLeft), 64.0); // counts follow the data
    EXPECT_TRUE(widget_.monoCurve(kMono)->isVisible());
    EXPECT_FALSE(widget_.redCurve(kMono)->isVisible());
    EXPECT_EQ(widget_.monoCurve(kOther)->dataSize(), 0u);
}

TEST_F(HistogramWidgetTest, ReopeningRestartsEveryThreadAndNeverCountsAQueuedImageTwice)
{
    widget_.onAnalysisWindowToggled(true);
    countOne(kMono, monoImage(4, 4, [](std::size_t) { return 100; }));
    widget_.onAnalysisWindowToggled(false);
    EXPECT_FALSE(widget_.isOpen());
    EXPECT_FALSE(widget_.isThreadRunning(kMono));
    EXPECT_FALSE(widget_.isThreadRunning(kOther));

    queues_.push(kMono, monoImage(4, 4, [](std::size_t) { return 200; })); // queued while closed
    widget_.onAnalysisWindowToggled(true);
    EXPECT_TRUE(widget_.isThreadRunning(kMono));
    EXPECT_TRUE(widget_.isThreadRunning(kOther));
    EXPECT_EQ(queues_.size(kMono), 0u);
    QTest::qWait(30);
    EXPECT_EQ(widget_.imagesCounted(kMono), 1u);

    countOne(kMono, monoImage(4, 4, [](std::size_t) { return 300; }));
    const HistogramCounts counts = widget_.latestCounts(kMono);
    EXPECT_EQ(counts.mono[300], 16.0);
    EXPECT_EQ(counts.mono[100], 0.0);
    EXPECT_EQ(counts.mono[200], 0.0);
    countOne(kOther, monoImage(4, 4, [](std::size_t) { return 300; }));
}

TEST_F(HistogramWidgetTest, ColourCameraShowsThreeCurvesOf256Bins)
{
    widget_.onAnalysisWindowToggled(true);
    countOne(kOther, colourImage(vyk::DataFormat::BGR8, 5, 3, 10, 20, 30));
    ASSERT_TRUE(eventually([&] { return widget_.redCurve(kOther)->dataSize() == 256; }));
    EXPECT_EQ(widget_.greenCurve(kOther)->dataSize(), 256u);
    EXPECT_EQ(widget_.blueCurve(kOther)->dataSize(), 256u);
    // Display bytes spread over the 16-bit camera's axis, as its markers are.
    EXPECT_EQ(widget_.redCurve(kOther)->sample(30), QPointF(30 * 256, 15));
    EXPECT_EQ(widget_.blueCurve(kOther)->sample(10), QPointF(10 * 256, 15));
    EXPECT_EQ(widget_.greenCurve(kOther)->sample(255).x(), 255 * 256);
    EXPECT_TRUE(widget_.redCurve(kOther)->isVisible());
    EXPECT_FALSE(widget_.monoCurve(kOther)->isVisible());
    EXPECT_EQ(widget_.redCurve(kOther)->title().text(), QStringLiteral("Histogram 12"));

    // Back to mono data: the mono curve returns.
    countOne(kOther, monoImage(4, 4, [](std::size_t) { return 9; }));
    ASSERT_TRUE(eventually([&] { return widget_.monoCurve(kOther)->isVisible(); }));
    EXPECT_FALSE(widget_.redCurve(kOther)->isVisible());
}

TEST_F(HistogramWidgetTest, HidingOneCameraHidesOnlyItsCurveAndMarkers)
{
    widget_.onAnalysisWindowToggled(true);
    widget_.onHideShowRequest(kMono, false);
    EXPECT_FALSE(widget_.monoCurve(kMono)->isVisible());
    EXPECT_FALSE(widget_.plot(kMono)->markersVisible());
    EXPECT_TRUE(widget_.monoCurve(kOther)->isVisible());
    EXPECT_TRUE(widget_.plot(kOther)->markersVisible());
    countOne(kMono, monoImage(4, 4, [](std::size_t) { return 1; }));
    widget_.refresh();
    EXPECT_FALSE(widget_.monoCurve(kMono)->isVisible()); // new data does not show it again
    widget_.onHideShowRequest(kMono, true);
    EXPECT_TRUE(widget_.monoCurve(kMono)->isVisible());
    EXPECT_TRUE(widget_.plot(kMono)->markersVisible());
}

TEST_F(HistogramWidgetTest, CameraErrorRemovesItsPlotAndThreadOnly)
{
    widget_.onAnalysisWindowToggled(true);
    QPointer<HistogramPlot> plot = widget_.plot(kMono);
    widget_.onCameraError(kMono);
    EXPECT_EQ(widget_.cameras(), QList<DWORD>{kOther});
    EXPECT_FALSE(widget_.isThreadRunning(kMono));
    EXPECT_EQ(widget_.plot(kMono), nullptr);
    ASSERT_TRUE(eventually([&] { return plot.isNull(); }));
    EXPECT_TRUE(widget_.isThreadRunning(kOther));
    countOne(kOther, monoImage(2, 2, [](std::size_t) { return 5; }));
    widget_.onAdaptHistMarkers(kMono, 1, 2); // a late signal of the removed camera is harmless
    widget_.onAnalysisWindowToggled(false);
}

TEST_F(HistogramWidgetTest, FourCamerasKeepReadablePlotsAndTheWindowScrolls)
{
    // A window that keeps its size, as a dock does: the histogram is not free to grow.
    QWidget window;
    window.resize(600, 400);
    auto* histogram = new HistogramWidget(queues_, &window);
    histogram->setGeometry(0, 0, 600, 400);
    const QList<DWORD> serials{21, 22, 23, 24};
    for (DWORD serial : serials)
        histogram->addCamera(serial, QStringLiteral("pco.edge"), QStringLiteral("red"), 12);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    ASSERT_TRUE(eventually([&] { return histogram->plot(24)->y() > histogram->plot(21)->y(); })) << "laid out";

    // Far more than a quarter of the window each: the plots are stacked and the window scrolls.
    int previousBottom = -1;
    for (DWORD serial : serials) {
        HistogramPlot* plot = histogram->plot(serial);
        EXPECT_GE(plot->height(), HistogramWidget::kMinPlotHeight) << serial;
        EXPECT_GT(plot->y(), previousBottom) << "plots must not overlap: " << serial;
        previousBottom = plot->geometry().bottom();
        // Room for the count axis' labels: the canvas is at least as tall as the scale needs.
        EXPECT_GE(plot->canvas()->height(), plot->axisWidget(QwtPlot::yLeft)->minimumSizeHint().height()) << serial;
    }
    auto* scroll = histogram->findChild<QScrollArea*>();
    ASSERT_NE(scroll, nullptr);
    ASSERT_TRUE(eventually([&] { return scroll->verticalScrollBar()->maximum() > 0; }));
    scroll->verticalScrollBar()->setValue(scroll->verticalScrollBar()->maximum());
    const QPoint lastTop = histogram->plot(24)->mapTo(histogram, QPoint(0, 0));
    EXPECT_LT(lastTop.y(), histogram->height()) << "the last plot can be scrolled into view";

    // A window tall enough for all of them needs no scrolling, and the plots share the height.
    histogram->resize(600, 1050);
    ASSERT_TRUE(eventually([&] { return scroll->verticalScrollBar()->maximum() == 0; }));
    for (DWORD serial : serials)
        EXPECT_GT(histogram->plot(serial)->height(), HistogramWidget::kMinPlotHeight) << serial;

    // Cameras removed give their room back: two plots fit where four needed scrolling.
    histogram->resize(600, 2 * HistogramWidget::kMinPlotHeight + 100);
    ASSERT_TRUE(eventually([&] { return scroll->verticalScrollBar()->maximum() > 0; }));
    histogram->onCameraError(23);
    histogram->onCameraError(24);
    ASSERT_TRUE(eventually([&] { return scroll->verticalScrollBar()->maximum() == 0; }));
}

TEST_F(HistogramWidgetTest, ColourChangeRecoloursTitleAndMonoCurve)
{
    widget_.onCameraColorChanged(kMono, QStringLiteral("deeppink"), QStringLiteral("pco.edge"));
    EXPECT_EQ(widget_.plot(kMono)->title().text(), QStringLiteral("<font color='deeppink'>pco.edge<br>11</font>"));
    EXPECT_EQ(widget_.monoCurve(kMono)->pen().color(), QColor(QStringLiteral("deeppink")));
    EXPECT_EQ(widget_.monoCurve(kMono)->brush().color().alpha(), 80);
    widget_.onCameraColorChanged(kMono, QStringLiteral("red"), QStringLiteral("<b>cam</b>"));
    EXPECT_EQ(widget_.plot(kMono)->title().text(),
              QStringLiteral("<font color='red'>&lt;b&gt;cam&lt;/b&gt;<br>11</font>"));
}

TEST_F(HistogramWidgetTest, ShowAndHideAnnounceTheWindowsVisibility)
{
    QSignalSpy visibility(&widget_, &HistogramWidget::visibilityChanged);
    widget_.show();
    widget_.hide();
    ASSERT_EQ(visibility.count(), 2);
    EXPECT_TRUE(visibility.at(0).at(0).toBool());
    EXPECT_FALSE(visibility.at(1).at(0).toBool());
}

TEST_F(HistogramWidgetTest, IdleThreadsSleepUntilAnImageArrives)
{
    // Counted are the threads' voluntary sleeps during 600 ms; a thread that looks at its
    // queue every few milliseconds sleeps over a hundred times.
    widget_.onAnalysisWindowToggled(true);
    ASSERT_TRUE(eventually([] { return testsupport::threadsNamed("histogram") == 2; }));
    const auto sleepsWhileIdle = [] {
        const uint64_t before = testsupport::voluntarySwitches("histogram");
        std::this_thread::sleep_for(std::chrono::milliseconds(600));
        return testsupport::voluntarySwitches("histogram") - before;
    };

    // Open window, acquisitions running, no image yet: the queues are active and empty.
    countOne(kMono, monoImage(4, 4, [](std::size_t) { return 10; }));
    EXPECT_LE(sleepsWhileIdle(), 10u);

    // The acquisitions ended: the queues are inactive.
    queues_.deactivate(kMono);
    queues_.deactivate(kOther);
    EXPECT_LE(sleepsWhileIdle(), 10u);

    // The next acquisition's images are counted at once.
    countOne(kMono, monoImage(4, 4, [](std::size_t) { return 20; }));
    countOne(kOther, monoImage(4, 4, [](std::size_t) { return 30; }));
}
