// The real main window with a GenICam camera (Aravis's in-process fake, listed in
// RASTEL_GENICAM) beside a simulated one: found by the scan, previewed into its view and
// counted by the histogram.
#include "MainWindowFixture.h"

#include "MainWindow.h"

#include "acquisition/CameraAcquisition.h"
#include "view/HistogramWidget.h"
#include "view/VtkViewWidget.h"

#include <qtadvanceddocking/DockWidget.h>

#include <QAction>
#include <QTest>

namespace {

constexpr int kWaitMs = 10000;
constexpr DWORD kFakeSerial = 1; // the fake's DeviceSerialNumber is "1"

// Lists the in-process fake camera for the device library while it lives.
struct FakeGenicamListed {
    FakeGenicamListed() { qputenv("RASTEL_GENICAM", "Fake_1"); }
    ~FakeGenicamListed() { qunsetenv("RASTEL_GENICAM"); }
};

} // namespace

TEST_F(MainWindowTest, GenicamCameraIsFoundPreviewedAndCountedInTheHistogram)
{
    FakeGenicamListed listed;
    useCameras(nlohmann::json::array({camera(11)}));
    MainWindow& window = makeWindow();
    EXPECT_TRUE(logged(QStringLiteral("Local Camera added! Serial:  1")));
    ASSERT_EQ(window.views().count(kFakeSerial), 1u);
    HistogramWidget* histogram = window.histogram();
    ASSERT_NE(histogram, nullptr);
    EXPECT_EQ(histogram->cameras(), (QList<DWORD>{kFakeSerial, 11}));
    if (window.histogramDock()->isClosed())
        window.histogramDock()->toggleView(true);
    ASSERT_TRUE(QTest::qWaitFor([&] { return histogram->isThreadRunning(kFakeSerial); }, kWaitMs));

    // The smallest serial is selected first: the GenICam camera.
    const CommandsContext& commands = window.commandsContext();
    VtkViewWidget* view = window.views().at(kFakeSerial);
    const auto before = view->displayedImage();
    commands.preview->trigger();
    EXPECT_TRUE(window.acquisitions().at(kFakeSerial)->isRunning());
    ASSERT_TRUE(QTest::qWaitFor([&] { return view->displayedImage() && view->displayedImage() != before; }, kWaitMs));
    ASSERT_TRUE(QTest::qWaitFor([&] { return histogram->imagesCounted(kFakeSerial) > 0; }, kWaitMs));
    EXPECT_EQ(histogram->imagesCounted(11), 0u);

    commands.preview->trigger();
    ASSERT_TRUE(QTest::qWaitFor([&] { return commands.record->isEnabled(); }, kWaitMs));
    EXPECT_FALSE(window.acquisitions().at(kFakeSerial)->isRunning());
}
