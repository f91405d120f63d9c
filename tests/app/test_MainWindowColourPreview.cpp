// The built-in colour camera previewing in colour in the real main window: after the switch
// to "Color" the view shows the scene's grey wedge neutral and the chart's red patch red.
#include "MainWindowFixture.h"

#include "MainWindow.h"

#include "acquisition/CameraAcquisition.h"
#include "camera/Image.h"
#include "view/VtkViewWidget.h"
#include "widgets/CameraSettingsTree.h"
#include "widgets/VYKTreeComboBox.h"

#include "kv2_cam.h"

#include <qtadvanceddocking/DockWidget.h>

#include <QAction>
#include <QColor>
#include <QComboBox>
#include <QImage>
#include <QTest>

#include <vtkRenderer.h>

#include <algorithm>
#include <array>
#include <cstdlib>

namespace {

constexpr DWORD kColourSerial = 2002; // the built-in colour camera, 1920 x 1200
constexpr int kWaitMs = 20000;

// Mean colour of the 5 x 5 screen pixels of a grabbed view around the scene point (u, v)
// (fractions of the sensor's width and height, v downwards in the scene).
std::array<double, 3> shownColour(VtkViewWidget& view, const QImage& frame, double u, double v)
{
    const auto image = view.displayedImage();
    const double width = double(image->width());
    const double height = double(image->height());
    // The camera flips its images vertically by default and the view shows the first row on
    // top: scene row v lands at height y = v x (rows - 1) above the image's bottom edge.
    vtkRenderer* renderer = view.renderer();
    renderer->SetWorldPoint(u * (width - 1.0), v * (height - 1.0), 0.0, 1.0);
    renderer->WorldToDisplay();
    const double* display = renderer->GetDisplayPoint();
    // Display coordinates are framebuffer pixels, counted from the bottom.
    const int x = int(display[0]);
    const int y = frame.height() - 1 - int(display[1]);
    std::array<double, 3> sum = {0, 0, 0};
    for (int dy = -2; dy <= 2; ++dy)
        for (int dx = -2; dx <= 2; ++dx) {
            const QColor c = frame.pixelColor(x + dx, y + dy);
            sum[0] += c.red();
            sum[1] += c.green();
            sum[2] += c.blue();
        }
    return {sum[0] / 25.0, sum[1] / 25.0, sum[2] / 25.0};
}

} // namespace

TEST_F(MainWindowTest, ColourCameraPreviewsInColourWithANeutralWedgeAndARedPatch)
{
    // The built-in camera set: the mono camera 1001 and the colour camera 2002.
    unsetenv("RASTEL_SIM_CONFIG");
    VYK_ResetLib();
    ASSERT_EQ(VYK_InitializeLib(), 0);
    MainWindow& window = makeWindow(false);
    window.resize(1600, 1000);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    ASSERT_EQ(window.views().count(kColourSerial), 1u);

    const int index = window.cameraSelector()->findData(kColourSerial);
    ASSERT_GE(index, 0);
    window.cameraSelector()->setCurrentIndex(index);
    CameraSettingsTree* tree = window.settingsTree();
    ASSERT_EQ(tree->settingValue(QStringLiteral("Serial")).toUInt(), kColourSerial);
    auto* dataFormat = tree->findChild<VYKTreeComboBox*>(QStringLiteral("Data Format"));
    ASSERT_NE(dataFormat, nullptr);
    dataFormat->setCurrentIndex(dataFormat->findText(QStringLiteral("Color")));
    ASSERT_EQ(tree->settingValue(QStringLiteral("Dataformat")).toString(), QStringLiteral("Color"));

    window.viewDock(kColourSerial)->setAsCurrentTab();
    VtkViewWidget* view = window.views().at(kColourSerial);
    window.commandsContext().preview->trigger();
    ASSERT_TRUE(window.acquisitions().at(kColourSerial)->isRunning());
    ASSERT_TRUE(QTest::qWaitFor([&] { return view->displayedImage() && view->displayedImage()->format() == vyk::DataFormat::BGR8; }, kWaitMs));
    // A few more images, so that the display range follows the colour images.
    for (int i = 0; i < 3; ++i) {
        const auto previous = view->displayedImage();
        ASSERT_TRUE(QTest::qWaitFor([&] { return view->displayedImage() != previous; }, kWaitMs));
    }
    const QImage frame = view->grabFramebuffer();
    window.commandsContext().preview->trigger();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window.acquisitions().at(kColourSerial)->isRunning(); }, kWaitMs));
    ASSERT_FALSE(frame.isNull());

    // The middle of wedge step 6 (of 10) and of the chart's first patch, red.
    const auto grey = shownColour(*view, frame, 0.545, 0.08);
    const auto red = shownColour(*view, frame, 0.165, 0.82);
    const auto [lo, hi] = std::minmax({grey[0], grey[1], grey[2]});
    EXPECT_LE(hi - lo, 4.0) << "grey " << grey[0] << ", " << grey[1] << ", " << grey[2];
    EXPECT_GT(grey[1], 40.0);
    EXPECT_LT(grey[1], 240.0);
    EXPECT_GT(red[0], red[1] + 60.0) << "red " << red[0] << ", " << red[1] << ", " << red[2];
    EXPECT_GT(red[0], red[2] + 60.0) << "red " << red[0] << ", " << red[1] << ", " << red[2];
}
