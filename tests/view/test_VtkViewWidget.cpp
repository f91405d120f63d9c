#include "ViewFixture.h"
#include "TestImages.h"
#include "tests/support/ThreadActivity.h"

#include <QApplication>
#include <QSignalSpy>
#include <QSurfaceFormat>

#include <vtkCamera.h>
#include <vtkImageData.h>
#include <vtkImageImport.h>
#include <vtkRenderWindow.h>
#include <vtkRenderer.h>

#include <atomic>
#include <thread>

using namespace viewtest;
using vyk::DataFormat;
using vyk::RawFormat;

namespace {

// VTK needs its surface format as the default before the QApplication exists.
const bool kSurfaceFormatSet = [] {
    QSurfaceFormat::setDefaultFormat(QVTKOpenGLNativeWidget::defaultFormat());
    return true;
}();

vyk::Image bgrImage(uint64_t width, uint64_t height, uint8_t blue, uint8_t green, uint8_t red)
{
    return makeImage(
        DataFormat::BGR8, RawFormat::Word, width, height, [](uint64_t, uint64_t) { return 0u; },
        [=](uint64_t, uint64_t, unsigned k) { return unsigned(k == 0 ? blue : (k == 1 ? green : red)); });
}

// Display values 20 .. 200 across the columns, raw 12-bit values beneath.
vyk::Image rampImage()
{
    return makeImage(
        DataFormat::Mono8, RawFormat::Word, 64, 48, [](uint64_t c, uint64_t) { return unsigned(c * 64); },
        [](uint64_t c, uint64_t, unsigned) { return c == 0 ? 20u : (c == 63 ? 200u : 100u); });
}

}  // namespace

TEST_F(ViewTest, StartsWithTheInitialOverlayTextsAndAutoRange)
{
    EXPECT_EQ(view_->overlayText(VtkViewWidget::Overlay::PixelValues), QStringLiteral("Position X: -, Y: -  Value: -"));
    EXPECT_EQ(view_->overlayText(VtkViewWidget::Overlay::ImageStatistics),
              QStringLiteral("Min: - Max: - Mean: - Stddev: -"));
    EXPECT_EQ(view_->overlayText(VtkViewWidget::Overlay::Counters), QStringLiteral("Recorder Cnt: -  Image Cnt: - "));
    EXPECT_EQ(view_->displayRangeMode(), DisplayRangeMode::AutoRange);
    ASSERT_NE(view_->pipeline(QStringLiteral("OriginalImage")), nullptr);
    // The blank image of the camera's region is imported until the first image arrives.
    const int* extent = view_->imageSource()->GetWholeExtent();
    EXPECT_EQ(extent[1], 63);
    EXPECT_EQ(extent[3], 47);
    EXPECT_EQ(view_->displayedImage()->format(), DataFormat::Mono16);
}

TEST_F(ViewTest, ColourImageShowsRedAndBlueSwappedRelativeToMemory)
{
    ASSERT_TRUE(showImage(bgrImage(64, 48, 0, 0, 200)));  // memory order blue, green, red
    QImage frame = view_->grabFramebuffer();
    QColor centre = frame.pixelColor(frame.width() / 2, frame.height() / 2);
    EXPECT_GT(centre.red(), 150);
    EXPECT_LT(centre.blue(), 60);

    ASSERT_TRUE(showImage(bgrImage(64, 48, 200, 0, 0)));
    frame = view_->grabFramebuffer();
    centre = frame.pixelColor(frame.width() / 2, frame.height() / 2);
    EXPECT_GT(centre.blue(), 150);
    EXPECT_LT(centre.red(), 60);
}

TEST_F(ViewTest, NewSizeResetsTheImportExtent)
{
    ASSERT_TRUE(showImage(uniformImage(DataFormat::Mono8, RawFormat::Byte, 64, 48, 5, 5)));
    ASSERT_TRUE(showImage(uniformImage(DataFormat::Mono8, RawFormat::Byte, 100, 30, 5, 5)));
    const int* extent = view_->imageSource()->GetWholeExtent();
    EXPECT_EQ(extent[0], 0);
    EXPECT_EQ(extent[1], 99);
    EXPECT_EQ(extent[2], 0);
    EXPECT_EQ(extent[3], 29);
    EXPECT_EQ(extent[4], 0);
    EXPECT_EQ(extent[5], 0);
    int dimensions[3];
    view_->imageSource()->GetOutput()->GetDimensions(dimensions);
    EXPECT_EQ(dimensions[0], 100);
    EXPECT_EQ(dimensions[1], 30);
}

TEST_F(ViewTest, OddWidthsAreImportedWithoutSkew)
{
    // A bright column at 500 in a 1003-pixel wide image whose rows are padded to 1004; a
    // skewed import would move the column by one pixel per row and show the padding (77).
    const auto line = [](uint64_t c, uint64_t, unsigned) { return c == 500 ? 255u : 0u; };
    ASSERT_TRUE(showImage(makeImage(DataFormat::Mono8, RawFormat::Word, 1003, 8, [](uint64_t, uint64_t) { return 0u; }, line, 77)));
    vtkImageData* imported = view_->imageSource()->GetOutput();
    for (int row = 0; row < 8; ++row) {
        EXPECT_EQ(imported->GetScalarComponentAsDouble(500, row, 0, 0), 255.0) << "row " << row;
        EXPECT_EQ(imported->GetScalarComponentAsDouble(501, row, 0, 0), 0.0) << "row " << row;
        EXPECT_EQ(imported->GetScalarComponentAsDouble(1002, row, 0, 0), 0.0) << "row " << row;
    }

    // The same for colour rows (1004 x 3 bytes) and unpadded byte raw rows.
    ASSERT_TRUE(showImage(makeImage(DataFormat::BGR8, RawFormat::Word, 1003, 8, [](uint64_t, uint64_t) { return 0u; },
                        [](uint64_t c, uint64_t, unsigned k) { return c == 500 ? 10u * (k + 1) : 0u; }, 77)));
    imported = view_->imageSource()->GetOutput();
    for (int row = 0; row < 8; ++row) {
        EXPECT_EQ(imported->GetScalarComponentAsDouble(500, row, 0, 0), 10.0) << "row " << row;
        EXPECT_EQ(imported->GetScalarComponentAsDouble(500, row, 0, 2), 30.0) << "row " << row;
        EXPECT_EQ(imported->GetScalarComponentAsDouble(1002, row, 0, 1), 0.0) << "row " << row;
    }
    ASSERT_TRUE(showImage(makeImage(DataFormat::Mono8, RawFormat::Byte, 1003, 8,
                        [](uint64_t c, uint64_t) { return c == 500 ? 255u : 0u; }, line)));
    imported = view_->imageSource()->GetOutput();
    for (int row = 0; row < 8; ++row)
        EXPECT_EQ(imported->GetScalarComponentAsDouble(500, row, 0, 0), 255.0) << "row " << row;
}

TEST_F(ViewTest, Mono16IsRefusedAndThePreviousImageStays)
{
    ASSERT_TRUE(showImage(uniformImage(DataFormat::Mono8, RawFormat::Byte, 64, 48, 5, 5)));
    const auto shown = view_->displayedImage();
    MessageLog log;
    vyk::Image words = uniformImage(DataFormat::Mono16, RawFormat::Word, 32, 16, 1000, 0, 99);
    viewQueues().push(serial_, words);
    ASSERT_TRUE(waitFor(
        [&] { return log.contains(QStringLiteral("Invalid Dataformat was: 2 No Image is going to be displayed!")); }));
    EXPECT_EQ(view_->displayedImage(), shown);
    EXPECT_EQ(view_->imageSource()->GetWholeExtent()[1], 63);
    // A re-render still reads the previous image.
    view_->renderWindow()->Render();
    // The view takes images again afterwards.
    ASSERT_TRUE(showImage(uniformImage(DataFormat::Mono8, RawFormat::Byte, 64, 48, 6, 6)));
}

TEST_F(ViewTest, HidingAndShowingEmitVisibilityChanged)
{
    QSignalSpy spy(view_.get(), &VtkViewWidget::visibilityChanged);
    view_->hide();
    ASSERT_EQ(spy.count(), 1);
    EXPECT_FALSE(spy.takeFirst().at(0).toBool());
    view_->show();
    ASSERT_EQ(spy.count(), 1);
    EXPECT_TRUE(spy.takeFirst().at(0).toBool());
}

TEST_F(ViewTest, DestructionReturnsWithoutImagesAndWhileImagesArrive)
{
    // No image ever arrives: deactivating the queue releases the polling thread.
    view_.reset();
    // Never bound to a camera.
    { VtkViewWidget unbound(nullptr, 100, 100); }

    // Images keep arriving while the view goes away.
    view_ = makeView(64, 48);
    std::atomic<bool> pushing{true};
    const DWORD serial = serial_;
    std::thread producer([&] {
        const vyk::Image image = uniformImage(DataFormat::Mono8, RawFormat::Byte, 64, 48, 9, 9);
        while (pushing.load()) {
            viewQueues().push(serial, image);
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
    ASSERT_TRUE(waitFor([&] { return view_->displayedImage()->format() == DataFormat::Mono8; }));
    QTest::qWait(50);
    view_.reset();
    pushing.store(false);
    producer.join();
}

TEST_F(ViewTest, StatisticsOfAnAllThousandImage)
{
    ASSERT_TRUE(showImageAndStatistics(uniformImage(DataFormat::Mono8, RawFormat::Word, 64, 48, 1000, 62)));
    EXPECT_EQ(view_->overlayText(VtkViewWidget::Overlay::ImageStatistics),
              QStringLiteral("Min:   1000 Max:   1000 Mean:   1000 Stddev:      0"));
    ASSERT_TRUE(waitFor([&] { return imageProperty()->GetColorWindow() == 0.0; }));
    EXPECT_EQ(imageProperty()->GetColorLevel(), 62.0);
}

TEST_F(ViewTest, AutoRangeMovesTheHistogramMarkers)
{
    QSignalSpy spy(view_.get(), &VtkViewWidget::adaptHistMarkersOnMinMaxChange);
    ASSERT_TRUE(showImageAndStatistics(rampImage()));
    ASSERT_TRUE(waitFor([&] { return !spy.isEmpty(); }));
    const QList<QVariant> markers = spy.takeLast();
    EXPECT_EQ(markers.at(0).toUInt(), serial_);
    EXPECT_EQ(markers.at(1).toInt(), 20);
    EXPECT_EQ(markers.at(2).toInt(), 200);
    EXPECT_EQ(imageProperty()->GetColorWindow(), 180.0);
    EXPECT_EQ(imageProperty()->GetColorLevel(), 110.0);
}

TEST_F(ViewTest, ManualRangeFromOutsideIsKeptWhateverImagesArrive)
{
    view_->onColorMinMaxChangedFromExtern(serial_ + 1000, 0, 1);  // another camera's
    EXPECT_EQ(view_->displayRangeMode(), DisplayRangeMode::AutoRange);

    view_->onColorMinMaxChangedFromExtern(serial_, 10, 50);
    EXPECT_EQ(view_->displayRangeMode(), DisplayRangeMode::Manual);
    EXPECT_EQ(imageProperty()->GetColorWindow(), 40.0);
    EXPECT_EQ(imageProperty()->GetColorLevel(), 30.0);
    QSignalSpy spy(view_.get(), &VtkViewWidget::adaptHistMarkersOnMinMaxChange);
    ASSERT_TRUE(showImageAndStatistics(rampImage()));
    ASSERT_TRUE(showImageAndStatistics(uniformImage(DataFormat::Mono8, RawFormat::Word, 64, 48, 1000, 62)));
    EXPECT_EQ(imageProperty()->GetColorWindow(), 40.0);
    EXPECT_EQ(imageProperty()->GetColorLevel(), 30.0);
    EXPECT_TRUE(spy.isEmpty());
}

TEST_F(ViewTest, HiddenPipelineIsInvisibleAndShownAgain)
{
    vtkProp* actor = view_->pipeline(QStringLiteral("OriginalImage"))->getActor();
    view_->hidePipeline(serial_ + 1, QStringLiteral("OriginalImage"));  // another camera's
    EXPECT_TRUE(actor->GetVisibility());
    view_->hidePipeline(serial_, QStringLiteral("NoSuchPipeline"));
    EXPECT_TRUE(actor->GetVisibility());
    view_->hidePipeline(serial_, QStringLiteral("OriginalImage"));
    EXPECT_FALSE(actor->GetVisibility());
    // A hidden image gets no statistics.
    ASSERT_TRUE(showImage(rampImage()));
    QTest::qWait(100);
    EXPECT_EQ(view_->overlayText(VtkViewWidget::Overlay::ImageStatistics),
              QStringLiteral("Min: - Max: - Mean: - Stddev: -"));
    view_->showPipeline(serial_, QStringLiteral("OriginalImage"));
    EXPECT_TRUE(actor->GetVisibility());
    ASSERT_TRUE(showImageAndStatistics(rampImage()));
}

TEST_F(ViewTest, ThemesSetTheBackground)
{
    view_->applyTheme(QStringLiteral("Bright"));
    double background[3];
    view_->renderer()->GetBackground(background);
    EXPECT_DOUBLE_EQ(background[0], 245.0 / 255.0);
    EXPECT_DOUBLE_EQ(background[2], 247.0 / 255.0);
    view_->applyTheme(QStringLiteral("Dark"));
    view_->renderer()->GetBackground(background);
    EXPECT_DOUBLE_EQ(background[1], 51.0 / 255.0);
}

TEST_F(ViewTest, CameraWithoutUsableRegionGetsABlankOfTheWholeSensor)
{
    VtkViewWidget view(nullptr, 30, 40);  // sensor 40 columns x 30 rows
    view.addCameraInfo(nextSerial(), vyk::Roi::unset(), vyk::Description{});
    const int* extent = view.imageSource()->GetWholeExtent();
    EXPECT_EQ(extent[1], 39);
    EXPECT_EQ(extent[3], 29);
    EXPECT_EQ(view.displayedImage()->width(), 40u);
}

TEST_F(ViewTest, OneImageAtATimeIsHandedToTheGuiThread)
{
    // While the GUI thread is busy, the polling thread holds one image for display and
    // leaves the rest in the queue, where the queue's drop rule keeps the newest five.
    viewQueues().push(serial_, uniformImage(DataFormat::Mono8, RawFormat::Byte, 64, 48, 1, 1, 1));
    const auto popped = [&] { return viewQueues().size(serial_) == 0; };
    for (int i = 0; i < 400 && !popped(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));  // no events processed
    ASSERT_TRUE(popped());
    for (uint32_t i = 2; i <= 30; ++i)
        viewQueues().push(serial_, uniformImage(DataFormat::Mono8, RawFormat::Byte, 64, 48, i, i, i));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(viewQueues().size(serial_), 5u);
    EXPECT_EQ(view_->displayedImage()->format(), DataFormat::Mono16);  // still the blank

    ASSERT_TRUE(waitFor([&] { return view_->displayedImage()->recorderImageNumber() == 30u; }));
}

TEST_F(ViewTest, IdlePollingThreadSleepsUntilSomethingChanges)
{
    // An idle view costs nothing: the polling thread waits for a change instead of looking
    // again every few milliseconds. Counted are its voluntary sleeps during 600 ms, where a
    // thread that looks every 5 ms would sleep over a hundred times.
    ASSERT_EQ(testsupport::threadsNamed("view-poll"), 1);
    const auto sleepsWhileIdle = [] {
        const uint64_t before = testsupport::voluntarySwitches("view-poll");
        std::this_thread::sleep_for(std::chrono::milliseconds(600));
        return testsupport::voluntarySwitches("view-poll") - before;
    };

    // No acquisition runs: the camera's queue is inactive.
    viewQueues().setCapacity(serial_, 5);
    viewQueues().deactivate(serial_);
    EXPECT_LE(sleepsWhileIdle(), 5u);

    // An image was handed to the GUI thread, which processes no events meanwhile.
    vyk::Image image = uniformImage(DataFormat::Mono8, RawFormat::Byte, 64, 48, 3, 3);
    image.setRecorderImageNumber(41);
    viewQueues().push(serial_, image);
    for (int i = 0; i < 400 && viewQueues().size(serial_) > 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));  // no events processed
    ASSERT_EQ(viewQueues().size(serial_), 0u);
    EXPECT_LE(sleepsWhileIdle(), 5u);

    // Shown at last, and the next image is taken at once.
    ASSERT_TRUE(waitFor([&] { return view_->displayedImage()->recorderImageNumber() == 41u; }));
    image.setRecorderImageNumber(42);
    viewQueues().push(serial_, image);
    EXPECT_TRUE(waitFor([&] { return view_->displayedImage()->recorderImageNumber() == 42u; }));
}
