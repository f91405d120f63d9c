// Two cameras previewing in the main window, a mono one and a colour one in colour, in the
// Dark and the Bright theme. With
// RASTEL_SCREENSHOT_DIR set, the window is also saved there as screenshot-dark.png and
// screenshot-bright.png (scripts/screenshot.sh uses this for the README pictures).
#include "MainWindowFixture.h"

#include "MainWindow.h"
#include "ThemeActions.h"

#include "acquisition/CameraAcquisition.h"
#include "view/VtkViewWidget.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QImage>
#include <QTest>

namespace {

// Saves the window's picture when a screenshot folder is given; returns the picture.
QImage capture(MainWindow& window, const QString& theme)
{
    QApplication::processEvents();
    const QImage shot = window.grab().toImage();
    const QByteArray folder = qgetenv("RASTEL_SCREENSHOT_DIR");
    if (!folder.isEmpty())
        shot.save(QDir(QString::fromLocal8Bit(folder)).filePath(QStringLiteral("screenshot-%1.png").arg(theme)));
    return shot;
}

// Waits until every view of window shows an image newer than the one it showed before.
void waitForNewImages(MainWindow& window)
{
    std::map<DWORD, std::shared_ptr<const vyk::Image>> before;
    for (const auto& [serial, view] : window.views())
        before[serial] = view->displayedImage();
    for (const auto& [serial, view] : window.views()) {
        VtkViewWidget* shown = view;
        const auto previous = before[serial];
        ASSERT_TRUE(QTest::qWaitFor([&] { return shown->displayedImage() != previous; }, 10000));
    }
}

} // namespace

TEST_F(MainWindowTest, TwoCamerasPreviewInDarkAndBright)
{
    const nlohmann::json mono = {{"sensor", {{"width", 640}, {"height", 480}}}};
    // A small twin of the built-in colour camera: Bayer mosaic, selectable pixel format, colour matrix.
    const nlohmann::json colour = {
        {"sensor", {{"width", 640}, {"height", 480}, {"bits", 12}, {"color", true}}},
        {"pixel_formats", {12, 8}},
        {"color_matrix", {1.55, -0.40, -0.15, -0.25, 1.45, -0.20, -0.05, -0.50, 1.55}}};
    useCameras(nlohmann::json::array({camera(11, mono), camera(22, colour)}));
    MainWindow& window = makeWindow(false);
    window.resize(1500, 900);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    ASSERT_EQ(window.views().size(), 2u);

    window.acquisitions().at(22)->setDataFormat(22, QStringLiteral("Color"));
    for (const auto& [serial, acquisition] : window.acquisitions()) {
        acquisition->settings().setPreview();
        acquisition->startCameraThread();
    }
    waitForNewImages(window);
    const QImage dark = capture(window, QStringLiteral("dark"));

    window.themeActions()->checkBrightness(QStringLiteral("Bright"));
    window.themeActions()->brightnessActions().at(1)->trigger();
    waitForNewImages(window);
    const QImage bright = capture(window, QStringLiteral("bright"));

    for (const auto& [serial, acquisition] : window.acquisitions())
        acquisition->stopCameraThreads();

    ASSERT_FALSE(dark.isNull());
    ASSERT_FALSE(bright.isNull());
    // The themes differ where the frame is drawn: the menu bar's background.
    EXPECT_LT(dark.pixelColor(5, 5).lightness(), bright.pixelColor(5, 5).lightness());
}
