// A shown VtkViewWidget bound to a serial of its own, with the log messages it writes.
#pragma once

#include "view/VtkViewWidget.h"
#include "view/PipelineBase.h"

#include "acquisition/ImageQueueSet.h"

#include <gtest/gtest.h>

#include <QStringList>
#include <QElapsedTimer>
#include <QTest>

#include <vtkImageActor.h>
#include <vtkImageProperty.h>

#include <memory>
#include <mutex>

namespace viewtest {

// Collects every Qt message while alive (messages may come from the view's threads).
class MessageLog {
public:
    MessageLog()
    {
        std::lock_guard<std::mutex> lock(mutex());
        lines().clear();
        previous_ = qInstallMessageHandler(&MessageLog::handle);
    }
    ~MessageLog() { qInstallMessageHandler(previous_); }

    bool contains(const QString& text) const
    {
        std::lock_guard<std::mutex> lock(mutex());
        return lines().contains(text);
    }

private:
    static void handle(QtMsgType, const QMessageLogContext&, const QString& message)
    {
        std::lock_guard<std::mutex> lock(mutex());
        lines().append(message);
    }
    static std::mutex& mutex()
    {
        static std::mutex m;
        return m;
    }
    static QStringList& lines()
    {
        static QStringList l;
        return l;
    }

    QtMessageHandler previous_ = nullptr;
};

// Runs the event loop until condition holds; false when timeoutMs pass first. (QTRY_* only
// return from the function on failure outside QtTest, so gtest would not see it.)
template <typename Condition>
bool waitFor(Condition condition, int timeoutMs = 5000)
{
    QElapsedTimer elapsed;
    elapsed.start();
    while (!condition()) {
        if (elapsed.elapsed() > timeoutMs)
            return false;
        QTest::qWait(5);
    }
    return true;
}

class ViewTest : public ::testing::Test {
protected:
    // Each test gets a camera serial no other test uses, so queues never mix.
    static DWORD nextSerial()
    {
        static DWORD serial = 7000;
        return ++serial;
    }

    void SetUp() override { view_ = makeView(64, 48); }

    void TearDown() override
    {
        view_.reset();
        viewQueues().deactivate(serial_);
    }

    std::unique_ptr<VtkViewWidget> makeView(uint64_t width, uint64_t height, uint16_t bitResolution = 12)
    {
        serial_ = nextSerial();
        auto view = std::make_unique<VtkViewWidget>(nullptr, 2048, 2048);
        vyk::Description description;
        description.serial = serial_;
        description.bit_resolution = bitResolution;
        view->addCameraInfo(serial_, vyk::Roi{1, 1, width, height}, description);
        view->createImagePipeline();
        view->addActorsToRenderer();
        view->resize(320, 240);
        view->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(view.get()));
        return view;
    }

    // Pushes image into the view's queue and waits until the view has displayed it.
    [[nodiscard]] bool showImage(vyk::Image image)
    {
        const uint32_t number = ++pushed_;
        image.setRecorderImageNumber(number);
        viewQueues().push(serial_, image);
        return waitFor([&] { return view_->displayedImage()->recorderImageNumber() == number; });
    }

    // Shows image and waits until the colour calculation has described it.
    [[nodiscard]] bool showImageAndStatistics(vyk::Image image)
    {
        if (!showImage(std::move(image)))
            return false;
        const QString counters = QStringLiteral("Image Nr.: N/A Recorder Nr.: %1").arg(pushed_);
        return waitFor([&] { return view_->overlayText(VtkViewWidget::Overlay::Counters) == counters; });
    }

    vtkImageProperty* imageProperty() const
    {
        auto* actor = vtkImageActor::SafeDownCast(view_->pipeline(QStringLiteral("OriginalImage"))->getActor());
        return actor->GetProperty();
    }

    DWORD serial_ = 0;
    uint32_t pushed_ = 0;
    std::unique_ptr<VtkViewWidget> view_;
};

}  // namespace viewtest
