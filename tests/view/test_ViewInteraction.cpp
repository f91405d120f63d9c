#include "ViewFixture.h"
#include "TestImages.h"

#include "view/ImageInteractorStyle.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QLineEdit>
#include <QMenu>
#include <QSignalSpy>
#include <QTimer>
#include <QWindow>

#include <vtkCamera.h>
#include <vtkRenderWindow.h>
#include <vtkRenderWindowInteractor.h>
#include <vtkRenderer.h>

#include <functional>

using namespace viewtest;
using vyk::DataFormat;
using vyk::RawFormat;

namespace {

// Opens the view's context menu and runs drive on it while it is open; the menu is closed
// afterwards unless drive's choice closed it already.
bool runContextMenu(VtkViewWidget* view, const std::function<void(QMenu*)>& drive)
{
    bool driven = false;
    QTimer timer;
    timer.setInterval(10);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (!menu || driven)
            return;
        driven = true;
        timer.stop();
        drive(menu);
        if (menu->isVisible())
            menu->close();
    });
    timer.start();
    const QPoint position(20, 20);
    QContextMenuEvent event(QContextMenuEvent::Mouse, position, view->mapToGlobal(position));
    QApplication::sendEvent(view, &event);
    return driven;
}

QAction* findAction(QMenu* menu, const QString& text)
{
    for (QAction* action : menu->findChildren<QAction*>())
        if (action->text() == text)
            return action;
    ADD_FAILURE() << "no menu entry " << text.toStdString();
    return nullptr;
}

QLineEdit* field(QMenu* menu, const char* name)
{
    auto* edit = menu->findChild<QLineEdit*>(QString::fromLatin1(name));
    EXPECT_NE(edit, nullptr) << name;
    return edit;
}

// Display values 20 .. 200 with mean 100 and a sample standard deviation of 10 over the
// 101 pixels of one row: 50 x 90, 50 x 110 and one 100; the extremes stand in the next row.
vyk::Image sigmaImage()
{
    return makeImage(
        DataFormat::Mono8, RawFormat::Word, 101, 1, [](uint64_t, uint64_t) { return 0u; },
        [](uint64_t c, uint64_t, unsigned) { return c < 50 ? 90u : (c < 100 ? 110u : 100u); });
}

vyk::Image rampImage()
{
    return makeImage(
        DataFormat::Mono8, RawFormat::Word, 64, 48, [](uint64_t c, uint64_t) { return unsigned(c * 64); },
        [](uint64_t c, uint64_t, unsigned) { return c == 0 ? 20u : (c == 63 ? 200u : 100u); });
}

class ViewInteractionTest : public ViewTest {
protected:
    vtkCamera* camera() const { return view_->renderer()->GetActiveCamera(); }
    vtkRenderWindowInteractor* interactor() const { return view_->renderWindow()->GetInteractor(); }
    ImageInteractorStyle* style() const
    {
        return ImageInteractorStyle::SafeDownCast(interactor()->GetInteractorStyle());
    }

    // Display position of the centre of image pixel (column, row), row 0 on top.
    std::array<int, 2> displayPositionOf(uint64_t column, uint64_t row)
    {
        const uint64_t height = view_->displayedImage()->height();
        vtkRenderer* renderer = view_->renderer();
        renderer->SetWorldPoint(double(column), double(height - 1 - row), 0.0, 1.0);
        renderer->WorldToDisplay();
        const double* display = renderer->GetDisplayPoint();
        return {int(display[0] + 0.5), int(display[1] + 0.5)};
    }

    void moveMouseTo(int x, int y)
    {
        interactor()->SetEventInformation(x, y, 0, 0);
        interactor()->InvokeEvent(vtkCommand::MouseMoveEvent);
    }

    // A left-button drag of (dx, dy) pixels from the view's centre with the given modifiers.
    void drag(int dx, int dy, bool control, bool shift)
    {
        const int x = view_->width() / 2;
        const int y = view_->height() / 2;
        interactor()->SetEventInformation(x, y, control, shift);
        interactor()->InvokeEvent(vtkCommand::LeftButtonPressEvent);
        interactor()->SetEventInformation(x + dx, y + dy, control, shift);
        interactor()->InvokeEvent(vtkCommand::MouseMoveEvent);
        interactor()->InvokeEvent(vtkCommand::LeftButtonReleaseEvent);
    }
};

}  // namespace

TEST_F(ViewInteractionTest, ColourPixelReadOutUnderTheMouse)
{
    ASSERT_TRUE(showImage(makeImage(
        DataFormat::BGR8, RawFormat::Word, 64, 48, [](uint64_t, uint64_t) { return 0u; },
        [](uint64_t c, uint64_t r, unsigned k) { return c == 40 && r == 10 ? 10u * (k + 1) : 0u; })));
    const auto position = displayPositionOf(40, 10);
    moveMouseTo(position[0], position[1]);
    EXPECT_EQ(view_->overlayText(VtkViewWidget::Overlay::PixelValues),
              QStringLiteral("Position X: 40, Y: 10  Red: 30 Green: 20 Blue: 10"));
    EXPECT_TRUE(view_->isMouseOnImage());

    // The image does not reach the view's corner.
    moveMouseTo(2, 2);
    EXPECT_EQ(view_->overlayText(VtkViewWidget::Overlay::PixelValues), QStringLiteral("N/A"));
    EXPECT_FALSE(view_->isMouseOnImage());
}

TEST_F(ViewInteractionTest, MonoReadOutShowsTheRawValueOfAnOddWidthImage)
{
    view_ = makeView(63, 47);
    ASSERT_TRUE(showImage(makeImage(
        DataFormat::Mono8, RawFormat::Word, 63, 47, [](uint64_t c, uint64_t r) { return unsigned(r * 100 + c); },
        [](uint64_t c, uint64_t, unsigned) { return unsigned(c); }, 77)));
    const auto position = displayPositionOf(61, 45);
    moveMouseTo(position[0], position[1]);
    EXPECT_EQ(view_->overlayText(VtkViewWidget::Overlay::PixelValues),
              QStringLiteral("Position X: 61, Y: 45  Value: 4561"));
}

TEST_F(ViewInteractionTest, WheelZoomStopsAtTheScaleLimits)
{
    ASSERT_TRUE(showImage(rampImage()));
    interactor()->SetEventInformation(view_->width() / 2, view_->height() / 2, 0, 0);

    camera()->SetParallelScale(100.0);
    style()->OnMouseWheelForward();
    EXPECT_DOUBLE_EQ(camera()->GetParallelScale(), 100.0 / 1.2);
    style()->OnMouseWheelBackward();
    EXPECT_DOUBLE_EQ(camera()->GetParallelScale(), 100.0 / 1.2 / 0.8);

    camera()->SetParallelScale(1.1);  // 1.1 / 1.2 would be below 1.0
    style()->OnMouseWheelForward();
    EXPECT_DOUBLE_EQ(camera()->GetParallelScale(), 1.1);
    camera()->SetParallelScale(1.2);  // exactly 1.0 is allowed
    style()->OnMouseWheelForward();
    EXPECT_DOUBLE_EQ(camera()->GetParallelScale(), 1.0);

    camera()->SetParallelScale(5000.0);  // 5000 / 0.8 would be above 6000.0
    style()->OnMouseWheelBackward();
    EXPECT_DOUBLE_EQ(camera()->GetParallelScale(), 5000.0);
}

TEST_F(ViewInteractionTest, WheelZoomWorksOnAFrameTallerThanTheScaleLimit)
{
    // A line camera's frame: fitted into the view it needs a scale far above the upper limit.
    view_ = makeView(64, 15000);
    ASSERT_TRUE(showImage(makeImage(
        DataFormat::Mono8, RawFormat::Word, 64, 15000, [](uint64_t c, uint64_t) { return unsigned(c); },
        [](uint64_t c, uint64_t, unsigned) { return unsigned(c); })));
    const double fitted = camera()->GetParallelScale();
    ASSERT_GT(fitted, ImageInteractorStyle::kMaxParallelScale);
    interactor()->SetEventInformation(view_->width() / 2, view_->height() / 2, 0, 0);

    style()->OnMouseWheelBackward();
    EXPECT_DOUBLE_EQ(camera()->GetParallelScale(), fitted) << "further out is refused";
    style()->OnMouseWheelForward();
    EXPECT_DOUBLE_EQ(camera()->GetParallelScale(), fitted / 1.2) << "towards the limits is allowed";
    style()->OnMouseWheelBackward();
    EXPECT_DOUBLE_EQ(camera()->GetParallelScale(), fitted / 1.2) << "still outside: no step back out";

    // Once inside, the limit holds again.
    for (int step = 0; step < 10 && camera()->GetParallelScale() > ImageInteractorStyle::kMaxParallelScale; ++step)
        style()->OnMouseWheelForward();
    ASSERT_LE(camera()->GetParallelScale(), ImageInteractorStyle::kMaxParallelScale);
    const double inside = camera()->GetParallelScale();
    EXPECT_GT(inside, ImageInteractorStyle::kMaxParallelScale / 1.2);
    style()->OnMouseWheelBackward();
    EXPECT_DOUBLE_EQ(camera()->GetParallelScale(), inside);

    // The same below the lower limit: only magnifying further is refused.
    camera()->SetParallelScale(0.5);
    style()->OnMouseWheelForward();
    EXPECT_DOUBLE_EQ(camera()->GetParallelScale(), 0.5);
    style()->OnMouseWheelBackward();
    EXPECT_DOUBLE_EQ(camera()->GetParallelScale(), 0.5 / 0.8);
}

TEST_F(ViewInteractionTest, ZoomKeepsTheFocalPlaneAndMovesTowardsTheCursor)
{
    ASSERT_TRUE(showImage(rampImage()));
    double before[3];
    camera()->GetFocalPoint(before);
    const double eyeZ = camera()->GetPosition()[2];
    interactor()->SetEventInformation(view_->width() - 10, view_->height() / 2, 0, 0);
    style()->OnMouseWheelForward();
    EXPECT_GT(camera()->GetFocalPoint()[0], before[0]);
    EXPECT_DOUBLE_EQ(camera()->GetFocalPoint()[2], 0.0);
    EXPECT_DOUBLE_EQ(camera()->GetPosition()[2], eyeZ);
}

TEST_F(ViewInteractionTest, FixedZoomShowsOneImageRowPerScreenRow)
{
    ASSERT_TRUE(showImage(rampImage()));
    const int height = view_->renderWindow()->GetSize()[1];
    view_->setZoom(1.0);
    EXPECT_DOUBLE_EQ(camera()->GetParallelScale(), height * 0.5);
    view_->setZoom(4.0);
    EXPECT_DOUBLE_EQ(camera()->GetParallelScale(), height * 0.5 / 4.0);
}

TEST_F(ViewInteractionTest, LeftDragPansUnlessControlIsHeldAndShiftSetsWindowLevel)
{
    ASSERT_TRUE(showImage(rampImage()));
    view_->onColorMinMaxChangedFromExtern(serial_, 10, 50);  // no automatic range meddles
    double focal[3];
    camera()->GetFocalPoint(focal);

    drag(30, 20, true, false);
    EXPECT_DOUBLE_EQ(camera()->GetFocalPoint()[0], focal[0]);
    EXPECT_DOUBLE_EQ(camera()->GetFocalPoint()[1], focal[1]);
    EXPECT_EQ(imageProperty()->GetColorWindow(), 40.0);
    EXPECT_EQ(imageProperty()->GetColorLevel(), 30.0);

    drag(30, 20, false, true);
    EXPECT_DOUBLE_EQ(camera()->GetFocalPoint()[0], focal[0]);
    EXPECT_TRUE(imageProperty()->GetColorWindow() != 40.0 || imageProperty()->GetColorLevel() != 30.0);

    drag(30, 20, false, false);
    EXPECT_NE(camera()->GetFocalPoint()[0], focal[0]);
}

TEST_F(ViewInteractionTest, MenuShowsTheStateAndTogglesOverlays)
{
    ASSERT_TRUE(runContextMenu(view_.get(), [](QMenu* menu) {
        EXPECT_TRUE(findAction(menu, QStringLiteral("Pixelvalues"))->isChecked());
        EXPECT_TRUE(findAction(menu, QStringLiteral("Auto Range"))->isChecked());
        EXPECT_FALSE(findAction(menu, QStringLiteral("Manual"))->isEnabled());
        EXPECT_TRUE(field(menu, "displayRangeMin")->text().isEmpty());
        findAction(menu, QStringLiteral("Image Stats"))->trigger();
    }));
    EXPECT_FALSE(view_->isOverlayVisible(VtkViewWidget::Overlay::ImageStatistics));
    EXPECT_TRUE(view_->isOverlayVisible(VtkViewWidget::Overlay::PixelValues));
    EXPECT_EQ(view_->displayRangeMode(), DisplayRangeMode::AutoRange);

    ASSERT_TRUE(runContextMenu(view_.get(), [](QMenu* menu) {
        EXPECT_FALSE(findAction(menu, QStringLiteral("Image Stats"))->isChecked());
        findAction(menu, QStringLiteral("Image Stats"))->trigger();
    }));
    EXPECT_TRUE(view_->isOverlayVisible(VtkViewWidget::Overlay::ImageStatistics));
}

TEST_F(ViewInteractionTest, MenuZoomEntries)
{
    ASSERT_TRUE(showImage(rampImage()));
    ASSERT_TRUE(runContextMenu(view_.get(), [](QMenu* menu) { findAction(menu, QStringLiteral("Zoom 2x"))->trigger(); }));
    EXPECT_DOUBLE_EQ(camera()->GetParallelScale(), view_->renderWindow()->GetSize()[1] * 0.5 / 2.0);
}

TEST_F(ViewInteractionTest, TwelveBitManualMaximumIsShiftedBothWays)
{
    ASSERT_TRUE(showImageAndStatistics(rampImage()));  // display values 20 .. 200
    QSignalSpy spy(view_.get(), &VtkViewWidget::adaptHistMarkersOnMinMaxChange);
    ASSERT_TRUE(runContextMenu(view_.get(), [](QMenu* menu) { field(menu, "displayRangeMax")->setText(QStringLiteral("4095")); }));
    EXPECT_EQ(view_->displayRangeMode(), DisplayRangeMode::Manual);
    // Maximum 4095 >> 4 = 255; the empty minimum takes the last display minimum, 20.
    EXPECT_EQ(imageProperty()->GetColorWindow(), 235.0);
    EXPECT_EQ(imageProperty()->GetColorLevel(), 137.5);
    ASSERT_EQ(spy.count(), 1);
    EXPECT_EQ(spy.at(0).at(1).toInt(), 20);
    EXPECT_EQ(spy.at(0).at(2).toInt(), 255);

    QString shownMin;
    QString shownMax;
    bool manualChecked = false;
    ASSERT_TRUE(runContextMenu(view_.get(), [&](QMenu* menu) {
        shownMin = field(menu, "displayRangeMin")->text();
        shownMax = field(menu, "displayRangeMax")->text();
        manualChecked = findAction(menu, QStringLiteral("Manual"))->isChecked();
    }));
    EXPECT_EQ(shownMax, QStringLiteral("4080"));
    EXPECT_EQ(shownMin, QStringLiteral("320"));
    EXPECT_TRUE(manualChecked);
    // Closing the menu with its pre-filled fields keeps the same range.
    EXPECT_EQ(view_->displayRangeMode(), DisplayRangeMode::Manual);
    EXPECT_EQ(imageProperty()->GetColorWindow(), 235.0);
}

TEST_F(ViewInteractionTest, MinimumAloneKeepsTheLastDisplayMaximum)
{
    ASSERT_TRUE(showImageAndStatistics(rampImage()));
    QSignalSpy spy(view_.get(), &VtkViewWidget::adaptHistMarkersOnMinMaxChange);
    ASSERT_TRUE(runContextMenu(view_.get(), [](QMenu* menu) { field(menu, "displayRangeMin")->setText(QStringLiteral("480")); }));
    EXPECT_EQ(view_->displayRangeMode(), DisplayRangeMode::Manual);
    EXPECT_EQ(imageProperty()->GetColorWindow(), 170.0);  // [30, 200]
    EXPECT_EQ(imageProperty()->GetColorLevel(), 115.0);
    ASSERT_EQ(spy.count(), 1);
    EXPECT_EQ(spy.at(0).at(1).toInt(), 30);
    EXPECT_EQ(spy.at(0).at(2).toInt(), 200);
}

TEST_F(ViewInteractionTest, ThreeSigmaClearsTheLimitFieldsAndCentresOnTheMean)
{
    ASSERT_TRUE(showImageAndStatistics(sigmaImage()));
    view_->onColorMinMaxChangedFromExtern(serial_, 10, 50);
    QSignalSpy spy(view_.get(), &VtkViewWidget::adaptHistMarkersOnMinMaxChange);
    ASSERT_TRUE(runContextMenu(view_.get(), [](QMenu* menu) {
        EXPECT_EQ(field(menu, "displayRangeMin")->text(), QStringLiteral("160"));
        findAction(menu, QStringLiteral("3Sigma"))->trigger();
    }));
    EXPECT_EQ(view_->displayRangeMode(), DisplayRangeMode::ThreeSigma);
    ASSERT_TRUE(waitFor([&] { return imageProperty()->GetColorWindow() == 60.0; }));
    EXPECT_EQ(imageProperty()->GetColorLevel(), 100.0);
    ASSERT_FALSE(spy.isEmpty());
    EXPECT_EQ(spy.last().at(1).toInt(), 70);
    EXPECT_EQ(spy.last().at(2).toInt(), 130);

    // The menu now offers no manual limits, so closing it keeps three sigma.
    ASSERT_TRUE(runContextMenu(view_.get(), [](QMenu* menu) {
        EXPECT_TRUE(findAction(menu, QStringLiteral("3Sigma"))->isChecked());
        EXPECT_TRUE(field(menu, "displayRangeMax")->text().isEmpty());
    }));
    EXPECT_EQ(view_->displayRangeMode(), DisplayRangeMode::ThreeSigma);
}

TEST_F(ViewInteractionTest, RightClickForTheMenuLeavesNoInteractionRunning)
{
    ASSERT_TRUE(showImage(rampImage()));
    const double scale = camera()->GetParallelScale();
    bool menuSeen = false;
    QTimer timer;
    timer.setInterval(10);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        if (QWidget* popup = QApplication::activePopupWidget()) {
            menuSeen = true;
            popup->close();
        }
    });
    timer.start();
    const QPoint centre(view_->width() / 2, view_->height() / 2);
    // Through the window, as the windowing system delivers it, so that Qt opens the menu.
    QWindow* window = view_->window()->windowHandle();
    QTest::mousePress(window, Qt::RightButton, Qt::NoModifier, centre);
    QTest::mouseRelease(window, Qt::RightButton, Qt::NoModifier, centre);
    ASSERT_TRUE(waitFor([&] { return menuSeen; }));
    timer.stop();
    // The press reached VTK, the release went to the menu: no zoom may follow the mouse.
    EXPECT_EQ(style()->GetState(), VTKIS_NONE);
    QTest::mouseMove(window, centre + QPoint(0, 60));
    QTest::mouseMove(window, centre + QPoint(0, 90));
    EXPECT_DOUBLE_EQ(camera()->GetParallelScale(), scale);
}
