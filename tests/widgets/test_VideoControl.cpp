// Playback control against simulated cameras with recorded sequences: stepping, scrubbing,
// range rules, playback from and to the right images, loop, per-camera positions and ranges,
// the slider's 1-based range.

#include "SimCameraFixture.h"

#include "acquisition/CameraAcquisition.h"
#include "widgets/RangeSlider.h"
#include "widgets/RangeWidget.h"
#include "widgets/VideoControl.h"

#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <mutex>
#include <vector>

namespace {

// Collects the debug lines of one test.
class DebugLines {
public:
    DebugLines() { previous_ = qInstallMessageHandler(&DebugLines::handle); }
    ~DebugLines()
    {
        qInstallMessageHandler(previous_);
        std::lock_guard<std::mutex> lock(mutex());
        lines().clear();
    }
    static int count(const QString& text)
    {
        std::lock_guard<std::mutex> lock(mutex());
        return static_cast<int>(std::count_if(lines().begin(), lines().end(),
                                              [&](const QString& line) { return line.contains(text); }));
    }

private:
    static void handle(QtMsgType, const QMessageLogContext&, const QString& message)
    {
        std::lock_guard<std::mutex> lock(mutex());
        lines().push_back(message);
    }
    static std::mutex& mutex()
    {
        static std::mutex m;
        return m;
    }
    static std::vector<QString>& lines()
    {
        static std::vector<QString> l;
        return l;
    }
    QtMessageHandler previous_;
};

} // namespace

class VideoControlTest : public SimCameraTest {
protected:
    // Opens camera serial, records images into its memory and makes its acquisition object,
    // wired to the control as the main window wires it.
    CameraAcquisition& recorded(uint32_t serial, int images)
    {
        auto camera = open(serial);
        if (images > 0) {
            camera->record(static_cast<uint32_t>(images), vyk::RecordMode::Sequence);
            EXPECT_TRUE(QTest::qWaitFor([&] { return camera->getRecordedImageCount() >= static_cast<uint32_t>(images); }, 5000));
            camera->stop();
        }
        cameras_.push_back(camera);
        acquisitions_.push_back(std::make_unique<CameraAcquisition>(camera));
        CameraAcquisition& acquisition = *acquisitions_.back();
        acquisition.settings().imageCount = images;
        acquisition.settings().recMode = vyk::RecordMode::Sequence;
        QObject::connect(&acquisition, &CameraAcquisition::newPlayPosition, &control_, &VideoControl::onPlayPositionChanged);
        QObject::connect(&acquisition, &CameraAcquisition::recordingDone, &control_, &VideoControl::onRecordingDone);
        QObject::connect(&acquisition, &CameraAcquisition::newPlayPosition, &control_,
                         [this](DWORD, int i) { positions_.push_back(i); });
        return acquisition;
    }
    void select(size_t which)
    {
        control_.onCameraChanged(cameras_.at(which), QStringLiteral("#ff0000"), acquisitions_.at(which).get());
    }
    // Moves the indicator as a user drag would (1-based image number).
    void scrubTo(int imageNumber) { control_.slider()->setIndicatorValue(imageNumber, true); }
    void playAndWaitForEnd()
    {
        control_.playButton()->click();
        ASSERT_TRUE(QTest::qWaitFor([&] { return !control_.isPlaying(); }, 5000));
    }

    void TearDown() override
    {
        acquisitions_.clear();
        cameras_.clear();
        SimCameraTest::TearDown();
    }

    DebugLines log_;
    VideoControl control_;
    std::vector<std::shared_ptr<vyk::AnyCamera>> cameras_;
    std::vector<std::unique_ptr<CameraAcquisition>> acquisitions_;
    std::vector<int> positions_; // every newPlayPosition index, in order
};

TEST_F(VideoControlTest, SteppingStopsAtBothEnds)
{
    useCameras(baseCamera(9101));
    recorded(9101, 10);
    select(0);
    EXPECT_TRUE(control_.isEnabled());
    EXPECT_EQ(control_.positionLabel()->text(), QStringLiteral("Image 1 / 10"));
    EXPECT_EQ(control_.titleLabel()->text(), QStringLiteral("<font color='#ff0000'>camera test 9101<br>9101</font>"));

    scrubTo(9);
    EXPECT_EQ(control_.currentIndex(), 8);
    control_.stepForwardButton()->click();
    EXPECT_EQ(control_.currentIndex(), 9);
    EXPECT_EQ(control_.positionLabel()->text(), QStringLiteral("Image 10 / 10"));
    EXPECT_EQ(control_.slider()->indicatorValue(), 10);
    EXPECT_EQ(DebugLines::count(QStringLiteral("Already last image of camera: ")), 1);
    control_.stepForwardButton()->click();
    EXPECT_EQ(control_.currentIndex(), 9);

    control_.firstButton()->click();
    EXPECT_EQ(control_.currentIndex(), 0);
    control_.stepBackButton()->click();
    EXPECT_EQ(control_.currentIndex(), 0);
    EXPECT_GE(DebugLines::count(QStringLiteral("Already first Image of camera: ")), 1);
    control_.lastButton()->click();
    EXPECT_EQ(control_.currentIndex(), 9);
    control_.stepBackButton()->click();
    EXPECT_EQ(control_.currentIndex(), 8);
}

TEST_F(VideoControlTest, PlaybackStartsAtRangeStartWhenOutsideAndEndsAtRangeEnd)
{
    useCameras(baseCamera(9102));
    recorded(9102, 10);
    select(0);
    QSignalSpy states(&control_, &VideoControl::playbackStateChanged);
    scrubTo(8);
    control_.slider()->setLowerValue(3);
    control_.slider()->setUpperValue(5);
    EXPECT_EQ(control_.rangeLower(), 2);
    EXPECT_EQ(control_.rangeUpper(), 4);

    playAndWaitForEnd();
    EXPECT_EQ(positions_, (std::vector<int>{2, 3, 4}));
    EXPECT_EQ(control_.currentIndex(), 4);
    EXPECT_EQ(control_.playIconName(), QStringLiteral("play-solid"));
    ASSERT_EQ(states.count(), 2);
    EXPECT_EQ(states.at(0).at(1).toBool(), true);
    EXPECT_EQ(states.at(1).at(1).toBool(), false);
    // The range survives the end of the playback.
    EXPECT_EQ(control_.rangeLower(), 2);
    EXPECT_EQ(control_.rangeUpper(), 4);

    // From image 4 inside 3..5 only 4 and 5 are played.
    positions_.clear();
    scrubTo(4);
    playAndWaitForEnd();
    EXPECT_EQ(positions_, (std::vector<int>{3, 4}));
}

TEST_F(VideoControlTest, LoopRepeatsTheRangeUntilStopped)
{
    useCameras(baseCamera(9103));
    recorded(9103, 10);
    select(0);
    control_.slider()->setLowerValue(3);
    control_.slider()->setUpperValue(5);
    control_.loopButton()->click();
    EXPECT_TRUE(control_.isLooping());
    scrubTo(4);

    control_.playButton()->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return positions_.size() >= 7; }, 5000));
    ASSERT_TRUE(control_.isPlaying());
    control_.playButton()->click();
    EXPECT_FALSE(control_.isPlaying());
    QTest::qWait(50);
    EXPECT_FALSE(control_.isPlaying());
    for (size_t i = 0; i < 6; ++i)
        EXPECT_EQ(positions_[i], 2 + static_cast<int>(i % 3)) << i;
    // Stopping keeps the image last played and the range.
    EXPECT_GE(control_.currentIndex(), 2);
    EXPECT_LE(control_.currentIndex(), 4);
    EXPECT_EQ(control_.rangeUpper(), 4);
}

TEST_F(VideoControlTest, UpperHandleBelowLowerMakesBothEqual)
{
    useCameras(baseCamera(9104));
    recorded(9104, 10);
    select(0);
    control_.slider()->setLowerValue(6);
    control_.slider()->setUpperValue(3);
    EXPECT_EQ(control_.rangeLower(), 5);
    EXPECT_EQ(control_.rangeUpper(), 5);
    EXPECT_EQ(control_.slider()->upperValue(), 6);
    // Lower above upper drags the upper along.
    control_.slider()->setUpperValue(7);
    control_.slider()->setLowerValue(9);
    EXPECT_EQ(control_.rangeLower(), 8);
    EXPECT_EQ(control_.rangeUpper(), 8);
}

TEST_F(VideoControlTest, EachCameraKeepsItsPosition)
{
    useCameras(nlohmann::json::array({baseCamera(9105), baseCamera(9106)}));
    recorded(9105, 10);
    recorded(9106, 8);
    select(0);
    scrubTo(7);
    select(1);
    EXPECT_EQ(control_.currentIndex(), 0);
    EXPECT_EQ(control_.positionLabel()->text(), QStringLiteral("Image 1 / 8"));
    scrubTo(3);
    select(0);
    EXPECT_EQ(control_.currentIndex(), 6);
    EXPECT_EQ(control_.positionLabel()->text(), QStringLiteral("Image 7 / 10"));
    select(1);
    EXPECT_EQ(control_.currentIndex(), 2);
}

TEST_F(VideoControlTest, EachCameraKeepsItsRangeAndANewCameraGetsAllItsImages)
{
    useCameras(nlohmann::json::array({baseCamera(9109), baseCamera(9110)}));
    recorded(9109, 8);
    recorded(9110, 10);
    select(0);
    EXPECT_EQ(control_.rangeUpper(), 7);

    // From 8 images to 10: the whole of the second camera plays, not the first one's 8.
    select(1);
    EXPECT_EQ(control_.rangeLower(), 0);
    EXPECT_EQ(control_.rangeUpper(), 9);
    EXPECT_EQ(control_.slider()->upperValue(), 10);
    EXPECT_EQ(control_.rangeWidget()->label()->text(), QStringLiteral("Playback Range: [1, 10]"));
    playAndWaitForEnd();
    ASSERT_FALSE(positions_.empty());
    EXPECT_EQ(positions_.back(), 9);
    EXPECT_EQ(control_.currentIndex(), 9);

    // A range narrowed on one camera stays there.
    control_.slider()->setLowerValue(3);
    control_.slider()->setUpperValue(5);
    select(0);
    EXPECT_EQ(control_.rangeLower(), 0);
    EXPECT_EQ(control_.rangeUpper(), 7);
    EXPECT_EQ(control_.slider()->lowerValue(), 1);
    EXPECT_EQ(control_.slider()->upperValue(), 8);
    EXPECT_EQ(control_.rangeWidget()->label()->text(), QStringLiteral("Playback Range: [1, 8]"));
    control_.slider()->setLowerValue(2);

    select(1);
    EXPECT_EQ(control_.rangeLower(), 2);
    EXPECT_EQ(control_.rangeUpper(), 4);
    EXPECT_EQ(control_.slider()->lowerValue(), 3);
    EXPECT_EQ(control_.slider()->upperValue(), 5);
    EXPECT_EQ(control_.rangeWidget()->label()->text(), QStringLiteral("Playback Range: [3, 5]"));
    positions_.clear();
    control_.firstButton()->click();
    playAndWaitForEnd();
    EXPECT_EQ(positions_, (std::vector<int>{2, 3, 4}));

    select(0);
    EXPECT_EQ(control_.rangeLower(), 1);
    EXPECT_EQ(control_.rangeUpper(), 7);
}

TEST_F(VideoControlTest, SliderCountsFromOneWhenTheFirstImagesArrive)
{
    useCameras(baseCamera(9111));
    CameraAcquisition& acquisition = recorded(9111, 0);
    select(0);
    EXPECT_EQ(control_.slider()->maximum(), 0);

    acquisition.settings().imageCount = 5;
    control_.onRecordingInProgress();
    cameras_.at(0)->record(5, vyk::RecordMode::Sequence);
    ASSERT_TRUE(QTest::qWaitFor([&] { return cameras_.at(0)->getRecordedImageCount() >= 5; }, 5000));
    cameras_.at(0)->stop();
    control_.onRecordingDone(9111);

    EXPECT_TRUE(control_.isEnabled());
    EXPECT_EQ(control_.slider()->minimum(), 1);
    EXPECT_EQ(control_.slider()->maximum(), 5);
    EXPECT_EQ(control_.rangeWidget()->label()->text(), QStringLiteral("Playback Range: [1, 5]"));
    EXPECT_EQ(control_.positionLabel()->text(), QStringLiteral("Image 1 / 5"));
    // The lower handle pulled to the far left stops at image 1.
    control_.slider()->setLowerValue(0);
    EXPECT_EQ(control_.slider()->lowerValue(), 1);
    EXPECT_EQ(control_.rangeLower(), 0);
    EXPECT_EQ(control_.rangeWidget()->label()->text(), QStringLiteral("Playback Range: [1, 5]"));
}

TEST_F(VideoControlTest, NewRecordingStartsAtFirstImageAndDisablesWhileRunning)
{
    useCameras(baseCamera(9107));
    recorded(9107, 10);
    select(0);
    scrubTo(6);
    control_.onRecordingInProgress();
    EXPECT_FALSE(control_.isEnabled());
    control_.onRecordingDone(9107);
    EXPECT_TRUE(control_.isEnabled());
    EXPECT_EQ(control_.currentIndex(), 0);
    // A recording done for another camera changes nothing.
    scrubTo(4);
    control_.onRecordingDone(1);
    EXPECT_EQ(control_.currentIndex(), 3);
}

TEST_F(VideoControlTest, NoImagesWarnsAndDisables)
{
    useCameras(baseCamera(9108));
    recorded(9108, 0);
    select(0);
    EXPECT_FALSE(control_.isEnabled());
    EXPECT_EQ(control_.positionLabel()->text(), QStringLiteral("Image: 0 / 0"));
    EXPECT_FALSE(control_.slider()->isEnabled());

    // Enabled by force, a step finds nothing to show.
    control_.setEnabled(true);
    MessageBoxAnswerer answerer;
    control_.stepForwardButton()->click();
    ASSERT_EQ(answerer.titles, QStringList{QStringLiteral("No Images.")});
    EXPECT_TRUE(answerer.texts.first().startsWith(QStringLiteral("No Images to show.\nRecord Images with this camera.")));
    EXPECT_FALSE(control_.isEnabled());
}
