// The camera-RAM allocation dialog and its pie chart: the update rule, loading, Apply
// against a simulated camera with RAM, its message boxes, and the round trip from the
// settings tree's RAM button to a recording in the chosen segment.

#include "SimCameraFixture.h"
#include "test_RamSupport.h"

#include "widgets/CameraSettingsTree.h"
#include "widgets/RamPieWidget.h"
#include "widgets/RamWindow.h"
#include "widgets/VYKTreeComboBox.h"
#include "widgets/VYKTreePushButton.h"
#include "widgets/VYKTreeSpinBox.h"

#include "camera/Image.h"

#include <QLabel>
#include <QRadioButton>
#include <QSpinBox>
#include <QtMath>
#include <QtTest/QTest>

#include <algorithm>
#include <cmath>

using nlohmann::json;
using namespace ramtest;

namespace {

// ---------------------------------------------------------------------------------------
// Pie

// The colour of the pie at angle_deg (counter-clockwise from 3 o'clock), half-way out.
QColor pieColorAt(const QImage& image, double angle_deg)
{
    const double radius = (std::min(image.width(), image.height()) - 20) / 4.0;
    const double a = qDegreesToRadians(angle_deg);
    const int x = static_cast<int>(std::lround(image.width() / 2.0 + radius * std::cos(a)));
    const int y = static_cast<int>(std::lround(image.height() / 2.0 - radius * std::sin(a)));
    return image.pixelColor(x, y);
}

TEST(RamPieWidget, SlicesFollowThePercentagesAndTheRestIsGrey)
{
    RamPieWidget pie;
    pie.resize(220, 220);
    EXPECT_EQ(pie.minimumSize(), QSize(150, 150));

    pie.setPercentages({30, 20});
    QImage image = pie.grab().toImage();
    EXPECT_EQ(pieColorAt(image, 54), RamPieWidget::segmentColor(0));   // 0° .. 108°
    EXPECT_EQ(pieColorAt(image, 144), RamPieWidget::segmentColor(1));  // 108° .. 180°
    EXPECT_EQ(pieColorAt(image, 200), QColor(140, 140, 140));          // the remaining 50 %
    EXPECT_EQ(pieColorAt(image, 350), QColor(140, 140, 140));
    // The black outline darkens the grey rest where it crosses the bottom of the circle.
    int darkest = 255;
    for (int y = 200; y < 216; ++y)
        darkest = std::min(darkest, qGray(image.pixel(110, y)));
    EXPECT_LT(darkest, 70);

    // An empty segment takes no room; the next one starts where it would have.
    pie.setPercentages({0, 50});
    image = pie.grab().toImage();
    EXPECT_EQ(pieColorAt(image, 45), RamPieWidget::segmentColor(1));
    EXPECT_EQ(pieColorAt(image, 270), QColor(140, 140, 140));

    // More than 100 %: no grey rest.
    pie.setPercentages({60, 60});
    image = pie.grab().toImage();
    EXPECT_EQ(pieColorAt(image, 100), RamPieWidget::segmentColor(0));
    EXPECT_EQ(pieColorAt(image, 300), RamPieWidget::segmentColor(1));
}

TEST(RamPieWidget, SegmentColours)
{
    EXPECT_EQ(RamPieWidget::segmentColor(0), QColor(0, 128, 255));
    EXPECT_EQ(RamPieWidget::segmentColor(1), QColor(0, 200, 120));
    EXPECT_EQ(RamPieWidget::segmentColor(2), QColor(255, 170, 0));
    EXPECT_EQ(RamPieWidget::segmentColor(3), QColor(200, 0, 80));
    EXPECT_EQ(RamPieWidget::segmentColor(4), QColor::fromHsv(148, 200, 230, 255));
    EXPECT_EQ(RamPieWidget::segmentColor(10), QColor::fromHsv(10, 200, 230, 255)); // 370 mod 360
}

// ---------------------------------------------------------------------------------------
// RamWindow

class RamWindowTest : public SimCameraTest {
protected:
    // A camera with RAM for 100 images of 64 x 48 (one page each).
    static json ramCamera(uint32_t serial)
    {
        json camera = baseCamera(serial);
        camera["ram"] = {{"pages", 100}, {"page_size", 64 * 48}};
        return camera;
    }
    static QSpinBox* spin(const QWidget& w, int segment)
    {
        return child<QSpinBox>(w, QStringLiteral("SegmentSpin%1").arg(segment));
    }
    static QRadioButton* radio(const QWidget& w, int segment)
    {
        return child<QRadioButton>(w, QStringLiteral("SegmentActive%1").arg(segment));
    }
    static QString info(const QWidget& w, int segment)
    {
        return child<QLabel>(w, QStringLiteral("SegmentInfo%1").arg(segment))->text();
    }
    static QString remaining(const QWidget& w) { return child<QLabel>(w, "RemainingLabel")->text(); }
    static QList<int> spins(const QWidget& w)
    {
        QList<int> values;
        for (int segment = 1; segment <= 4; ++segment)
            values << spin(w, segment)->value();
        return values;
    }
    static QList<bool> radiosEnabled(const QWidget& w)
    {
        QList<bool> enabled;
        for (int segment = 1; segment <= 4; ++segment)
            enabled << radio(w, segment)->isEnabled();
        return enabled;
    }
    // Records a full segment in the camera's active segment and waits for its end.
    static void recordSegment(vyk::AnyCamera& camera)
    {
        camera.setExposureTime(0.0001);
        camera.record(1, vyk::RecordMode::CamramSegment);
        ASSERT_TRUE(QTest::qWaitFor([&] { return !camera.isRecording(); }, 10000));
    }
};

using U32s = std::vector<uint32_t>;

TEST_F(RamWindowTest, UpdateRefusesSumsAboveHundredAndAnEmptyActiveSegment)
{
    RamWindow window({});
    EXPECT_EQ(window.windowTitle(), "CamRAM Allocation");
    EXPECT_TRUE(window.isModal());
    window.loadAllocation({50, 30, 20, 0}, 0);
    EXPECT_EQ(remaining(window), "Remaining: 0 %");
    EXPECT_EQ(radiosEnabled(window), (QList<bool>{true, true, true, false}));
    EXPECT_EQ(info(window, 1), "Seg 1: 50% \nN/A");
    EXPECT_EQ(child<QLabel>(window, "SegmentInfo1")->styleSheet(), "color: #0080ff;");
    EXPECT_EQ(child<QLabel>(window, "SegmentInfo4")->styleSheet(), "color: #c80050;");
    EXPECT_EQ(spin(window, 1)->suffix(), "%");
    EXPECT_EQ(spin(window, 1)->singleStep(), 5);

    // 105 %: the raised segment snaps back.
    spin(window, 4)->setValue(5);
    EXPECT_EQ(spins(window), (QList<int>{50, 30, 20, 0}));
    EXPECT_EQ(window.percentages(), (U32s{50, 30, 20, 0}));

    spin(window, 1)->setValue(40);
    EXPECT_EQ(window.percentages(), (U32s{40, 30, 20, 0}));
    EXPECT_EQ(remaining(window), "Remaining: 10 %");
    EXPECT_EQ(info(window, 1), "Seg 1: 40% \nN/A");
    EXPECT_EQ(child<RamPieWidget>(window, "RamPie")->percentages(), (QList<int>{40, 30, 20, 0}));

    // The active segment cannot be emptied; an empty segment cannot be made active.
    spin(window, 1)->setValue(0);
    EXPECT_EQ(spin(window, 1)->value(), 40);
    EXPECT_FALSE(radio(window, 4)->isEnabled());
    spin(window, 4)->setValue(10);
    EXPECT_TRUE(radio(window, 4)->isEnabled());
    radio(window, 4)->click();
    EXPECT_EQ(window.activeIndex(), 3);
    spin(window, 4)->setValue(0);
    EXPECT_EQ(spin(window, 4)->value(), 10);
    spin(window, 1)->setValue(0); // no longer the active one
    EXPECT_EQ(window.percentages(), (U32s{0, 30, 20, 10}));
    EXPECT_FALSE(radio(window, 1)->isEnabled());

    // A radio checked by other means than the user is refused like a spin box.
    radio(window, 1)->setChecked(true);
    EXPECT_EQ(window.activeIndex(), 3);
    EXPECT_TRUE(radio(window, 4)->isChecked());
}

TEST_F(RamWindowTest, LoadingNormalisesTheGivenDivision)
{
    RamWindow window({});
    window.loadAllocation({10, 20, 30, 40, 50}, 9); // cut to four, active clamped
    EXPECT_EQ(window.percentages(), (U32s{10, 20, 30, 40}));
    EXPECT_EQ(window.activeIndex(), 3);
    EXPECT_TRUE(radio(window, 4)->isChecked());
    EXPECT_TRUE(okButton(window)->isEnabled());

    window.loadAllocation({25}, -1); // padded, unknown active = first
    EXPECT_EQ(window.percentages(), (U32s{25, 0, 0, 0}));
    EXPECT_EQ(window.activeIndex(), 0);
    EXPECT_EQ(remaining(window), "Remaining: 75 %");

    // More than 100 % (also through a value that would wrap around): every segment at 0 %.
    for (const U32s& given : {U32s{60, 50}, U32s{150}, U32s{0xFFFFFFFFu, 2}}) {
        window.loadAllocation(given, 0);
        EXPECT_EQ(window.percentages(), (U32s{0, 0, 0, 0}));
        EXPECT_EQ(remaining(window), "Remaining: 100 %");
        EXPECT_FALSE(okButton(window)->isEnabled());
        EXPECT_EQ(radiosEnabled(window), (QList<bool>{false, false, false, false}));
    }
}

TEST_F(RamWindowTest, AllSegmentsEmptyDisablesOkUntilTheActiveOneGetsRoom)
{
    RamWindow window({});
    window.loadAllocation({0, 0, 0, 0}, 2);
    EXPECT_FALSE(okButton(window)->isEnabled());
    spin(window, 1)->setValue(20); // the active segment would stay empty
    EXPECT_EQ(window.percentages(), (U32s{0, 0, 0, 0}));
    spin(window, 3)->setValue(20);
    EXPECT_EQ(window.percentages(), (U32s{0, 0, 20, 0}));
    EXPECT_TRUE(okButton(window)->isEnabled());

    // Apply with nothing allocated.
    window.loadAllocation({0, 0, 0, 0}, 0);
    MessageBoxAnswerer boxes;
    applyButton(window)->click();
    ASSERT_EQ(boxes.titles.size(), 1);
    EXPECT_EQ(boxes.titles.at(0), "Invalid RAM layout");
    EXPECT_EQ(boxes.texts.at(0), "Total percentage must be between 1 and 100.");
    EXPECT_FALSE(applyButton(window)->isEnabled());
}

TEST_F(RamWindowTest, ApplyWritesOnlyChangesCountsImagesAndSwitches)
{
    useCameras(ramCamera(103));
    auto camera = open(103);
    ASSERT_EQ(camera->getCamRamAllocation(), (U32s{100, 0, 0, 0}));
    RamWindow window(camera);
    window.loadAllocation(camera->getCamRamAllocation(), camera->getCamRamSegment() - 1);
    spin(window, 1)->setValue(50);
    spin(window, 2)->setValue(30);
    spin(window, 3)->setValue(20);
    radio(window, 2)->click();
    EXPECT_TRUE(applyButton(window)->isEnabled());
    applyButton(window)->click();
    EXPECT_FALSE(applyButton(window)->isEnabled());
    EXPECT_EQ(camera->getCamRamAllocation(), (U32s{50, 30, 20, 0}));
    EXPECT_EQ(camera->getCamRamSegment(), 2);
    EXPECT_EQ(window.imageCounts(), (QList<int>{50, 30, 20, 0}));
    EXPECT_EQ(info(window, 2), "Seg 2: 30% \n30 Images");
    EXPECT_EQ(info(window, 4), "Seg 4: 0% \nN/A");

    // Unchanged percentages: the segments keep their images (a new division would clear
    // them), and the camera still goes to the chosen segment.
    recordSegment(*camera);
    ASSERT_EQ(camera->getCamRamNumImages(), 30u);
    radio(window, 1)->click();
    applyButton(window)->click();
    EXPECT_EQ(camera->getCamRamSegment(), 1);
    camera->switchToCamRam(2);
    EXPECT_EQ(camera->getCamRamNumImages(), 30u);

    // A changed division is written.
    spin(window, 3)->setValue(15);
    applyButton(window)->click();
    EXPECT_EQ(camera->getCamRamAllocation(), (U32s{50, 30, 15, 0}));
    EXPECT_EQ(camera->getCamRamSegment(), 1);
    EXPECT_EQ(info(window, 3), "Seg 3: 15% \n15 Images");
    camera->switchToCamRam(2);
    EXPECT_EQ(camera->getCamRamNumImages(), 0u);
}

TEST_F(RamWindowTest, ApplyReportsAVanishedCameraAndCameraErrors)
{
    useCameras(json::array({ramCamera(103), baseCamera(101)}));
    auto camera = open(103);
    RamWindow window(camera);
    window.loadAllocation({40, 60}, 1);
    camera.reset(); // the last owner lets go: the camera is closed
    MessageBoxAnswerer boxes;
    applyButton(window)->click();
    ASSERT_EQ(boxes.titles.size(), 1);
    EXPECT_EQ(boxes.titles.at(0), "Camera unavailable");
    EXPECT_EQ(boxes.texts.at(0), "The camera is no longer available.");
    EXPECT_EQ(window.imageCounts(), (QList<int>{0, 0, 0, 0}));

    // A camera without RAM refuses: the dialog reports it and stays as it was.
    auto noRam = open(101);
    RamWindow refused(noRam);
    refused.loadAllocation({40, 60}, 1);
    applyButton(refused)->click();
    ASSERT_EQ(boxes.titles.size(), 2);
    EXPECT_EQ(boxes.titles.at(1), "Error with: camera test 101");
    EXPECT_EQ(boxes.texts.at(1), "Error setting RAM Configuration to camera!\nReconnect and press rescan");
    EXPECT_EQ(refused.percentages(), (U32s{40, 60, 0, 0}));
}

TEST_F(RamWindowTest, EditAllocationReturnsTheEditOnOkAndTheInputOnCancel)
{
    useCameras(ramCamera(103));
    auto camera = open(103);
    whenShown<RamWindow>([](RamWindow* dialog) {
        EXPECT_FALSE(dialog->isSizeGripEnabled());
        EXPECT_EQ(dialog->size(), dialog->sizeHint());
        EXPECT_EQ(dialog->minimumSize(), dialog->maximumSize()); // fixed size
        spin(*dialog, 2)->setValue(30);
        radio(*dialog, 2)->click();
        okButton(*dialog)->click();
    });
    RamWindow::Edit edit = RamWindow::editAllocation(nullptr, camera, {60, 0, 0, 0}, 0);
    EXPECT_TRUE(edit.accepted);
    EXPECT_EQ(edit.percentages, (U32s{60, 30, 0, 0}));
    EXPECT_EQ(edit.activeIndex, 1);
    EXPECT_EQ(camera->getCamRamAllocation(), (U32s{100, 0, 0, 0})); // OK alone writes nothing

    whenShown<RamWindow>([](RamWindow* dialog) {
        spin(*dialog, 2)->setValue(30);
        cancelButton(*dialog)->click();
    });
    edit = RamWindow::editAllocation(nullptr, camera, {60, 0, 0, 0}, 7);
    EXPECT_FALSE(edit.accepted);
    EXPECT_EQ(edit.percentages, (U32s{60, 0, 0, 0}));
    EXPECT_EQ(edit.activeIndex, 7);
}

// The settings tree's button opens the dialog; the chosen division and segment reach the
// camera, and a "Sequence CamRam" recording fills exactly the chosen segment.
TEST_F(RamWindowTest, RoundTripFromTheSettingsTreeToARecordingInSegmentTwo)
{
    useCameras(ramCamera(103));
    auto camera = open(103);
    CameraSettingsTree tree(nullptr, camera);
    auto* button = tree.findChild<VYKTreePushButton*>("RamButton");
    ASSERT_NE(button, nullptr);
    whenShown<RamWindow>([](RamWindow* dialog) {
        EXPECT_EQ(dialog->percentages(), (U32s{100, 0, 0, 0}));
        spin(*dialog, 1)->setValue(50);
        spin(*dialog, 2)->setValue(30);
        spin(*dialog, 3)->setValue(20);
        radio(*dialog, 2)->click();
        applyButton(*dialog)->click();
        EXPECT_EQ(info(*dialog, 1), "Seg 1: 50% \n50 Images");
        EXPECT_EQ(info(*dialog, 2), "Seg 2: 30% \n30 Images");
        EXPECT_EQ(info(*dialog, 3), "Seg 3: 20% \n20 Images");
        okButton(*dialog)->click();
    });
    button->click();
    EXPECT_EQ(camera->getCamRamAllocation(), (U32s{50, 30, 20, 0}));
    EXPECT_EQ(camera->getCamRamSegment(), 2);
    EXPECT_EQ(tree.settingValue("RamSeg2Percent").toUInt(), 30u);
    EXPECT_EQ(tree.settingValue("RamActiveIndex").toInt(), 1);

    auto* recordMode = tree.findChild<VYKTreeComboBox*>("Record Mode");
    recordMode->setCurrentIndex(recordMode->findText("Sequence CamRam"));
    EXPECT_EQ(tree.findChild<VYKTreeSpinBox*>("Image Count")->value(), 30);

    recordSegment(*camera);
    EXPECT_EQ(camera->getCamRamNumImages(), 30u);
    vyk::Image first;
    camera->image(first, 0);
    EXPECT_EQ(first.recorderImageNumber(), 1u);
    EXPECT_EQ(first.width(), 64u);
    EXPECT_EQ(first.height(), 48u);
    vyk::Image last;
    camera->image(last, 29);
    EXPECT_EQ(last.recorderImageNumber(), 30u);

    // The other segments kept their sizes and hold nothing.
    camera->switchToCamRam(1);
    EXPECT_EQ(camera->getCamRamMaxImages(), 50u);
    EXPECT_EQ(camera->getCamRamNumImages(), 0u);
    camera->switchToCamRam(3);
    EXPECT_EQ(camera->getCamRamMaxImages(), 20u);
}

// A camera failure while the dialog is open from the tree: the tree drops the camera, the
// dialog reports it on Apply, and OK writes nothing.
TEST_F(RamWindowTest, CameraDroppedByTheTreeWhileTheDialogIsOpen)
{
    useCameras(ramCamera(103));
    auto camera = open(103);
    std::weak_ptr<vyk::AnyCamera> observed = camera;
    CameraSettingsTree tree(nullptr, camera);
    MessageBoxAnswerer boxes;
    whenShown<RamWindow>([&](RamWindow* dialog) {
        tree.adaptToCameraError(103);
        camera.reset();
        EXPECT_TRUE(observed.expired()); // nothing but the tree and the test held it
        spin(*dialog, 1)->setValue(40);
        applyButton(*dialog)->click();
        okButton(*dialog)->click();
    });
    tree.findChild<VYKTreePushButton*>("RamButton")->click();
    ASSERT_EQ(boxes.titles.size(), 1);
    EXPECT_EQ(boxes.titles.at(0), "Camera unavailable");
    EXPECT_EQ(tree.settingValue("RamSeg1Percent").toUInt(), 100u);

    // The same camera opened again still has the whole RAM in one segment.
    EXPECT_EQ(open(103)->getCamRamAllocation(), (U32s{100, 0, 0, 0}));
}

} // namespace
