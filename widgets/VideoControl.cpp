#include "VideoControl.h"

#include "RangeSlider.h"
#include "RangeWidget.h"

#include "acquisition/AcquisitionSettings.h"
#include "acquisition/CameraAcquisition.h"
#include "camera/AnyCamera.h"

#include <QDebug>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include <algorithm>
#include <exception>

namespace {

constexpr int kStepButtonSize = 32;
constexpr int kPlayButtonSize = 48;

} // namespace

VideoControl::VideoControl(IconProvider icons, QWidget* parent)
    : QWidget(parent)
    , icons_(std::move(icons))
    , titleLabel_(new QLabel(this))
    , positionLabel_(new QLabel(QStringLiteral("Image: 0 / 0"), this))
    , rangeWidget_(new RangeWidget(QStringLiteral("Playback Range"), Qt::Horizontal,
                                   RangeSlider::BothHandles, this))
    , slider_(rangeWidget_->slider())
{
    firstButton_ = makeButton(QStringLiteral("skip-prev-solid"), QStringLiteral("Step to first image"), kStepButtonSize);
    stepBackButton_ = makeButton(QStringLiteral("rewind-solid"), QStringLiteral("Step 1 image back"), kStepButtonSize);
    playButton_ = makeButton(QStringLiteral("play-solid"), QStringLiteral("Start / Stop Playback"), kPlayButtonSize);
    playIconName_ = QStringLiteral("play-solid");
    stepForwardButton_ = makeButton(QStringLiteral("forward-solid"), QStringLiteral("Step 1 image forward"), kStepButtonSize);
    lastButton_ = makeButton(QStringLiteral("skip-next-solid"), QStringLiteral("Step to last image"), kStepButtonSize);
    loopButton_ = makeButton(QStringLiteral("restart"), QStringLiteral("Loop playback"), kStepButtonSize);
    loopButton_->setCheckable(true);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    for (QPushButton* button : {firstButton_, stepBackButton_, playButton_, stepForwardButton_, lastButton_, loopButton_})
        buttons->addWidget(button);
    buttons->addStretch();

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(titleLabel_);
    layout->addLayout(buttons);
    layout->addWidget(positionLabel_, 0, Qt::AlignHCenter);
    layout->addWidget(rangeWidget_);

    connect(firstButton_, &QPushButton::clicked, this, &VideoControl::onFirstImagePressed);
    connect(stepBackButton_, &QPushButton::clicked, this, &VideoControl::onStepLeftPressed);
    connect(playButton_, &QPushButton::clicked, this, &VideoControl::onTogglePlaybackPressed);
    connect(stepForwardButton_, &QPushButton::clicked, this, &VideoControl::onStepRightPressed);
    connect(lastButton_, &QPushButton::clicked, this, &VideoControl::onLastImagePressed);
    connect(loopButton_, &QPushButton::toggled, this, &VideoControl::onLoopModeToggled);
    connect(slider_, &RangeSlider::lowerValueChanged, this, &VideoControl::onPlaybackRangeLowerChanged);
    connect(slider_, &RangeSlider::upperValueChanged, this, &VideoControl::onPlaybackRangeUpperChanged);
    connect(slider_, &RangeSlider::indicatorValueChangedByUser, this, &VideoControl::onIndicatorScrubbed);

    setSliderRange(0, true);
    setEnabled(false);
}

// ---- public slots ----------------------------------------------------------------------

void VideoControl::onPlayPositionChanged(DWORD serialNo, int value)
{
    if (serialNo != serial_)
        return;
    const int m = slider_->maximum();
    currentIndex_ = m > 0 ? std::clamp(value, 0, m - 1) : value;
    refresh();
}

void VideoControl::onRecordingInProgress()
{
    qDebug() << "Disable videoctrl due to recording in progress";
    if (playing_) {
        playing_ = false;
        stopping_ = true;
        emit playbackStateChanged(serial_, false);
        setPlayIcon(QStringLiteral("play-solid"));
    }
    // The images of this camera are being replaced: the next end starts at the first image.
    freshImages_.insert(serial_);
    setEnabled(false);
}

void VideoControl::onRecordingDone(DWORD serialNo)
{
    if (serialNo != serial_)
        return;
    qDebug() << "Enable videoctrl due to recording done for camera: " << serialNo;
    const bool wasPlaying = playing_;
    // Only a new recording moves the position back to the first image; the end of a
    // playback, a stopped playback and a camera switch keep the image last shown.
    const bool reset = !wasPlaying && !stopping_ && freshImages_.count(serial_) != 0;
    const bool adapted = adaptToImages(reset);
    if (adapted) {
        if (reset)
            freshImages_.erase(serial_);
        playing_ = false;
        if (wasPlaying)
            emit playbackStateChanged(serial_, false);
        setPlayIcon(QStringLiteral("play-solid"));
        enableForImages();
        if (wasPlaying && loop_ && !stopping_ && slider_->maximum() >= 1)
            startPlayback();
    }
    // A stop request ends with the run it stopped.
    stopping_ = false;
}

void VideoControl::onCameraChanged(std::weak_ptr<vyk::AnyCamera> newCam, QString newColor,
                                   CameraAcquisition* newAcuisitionInstance)
{
    const std::shared_ptr<vyk::AnyCamera> camera = newCam.lock();
    if (!camera)
        return;
    try {
        const DWORD newSerial = camera->getSerial();
        qInfo() << "Changing camera in videoctrl to camera: " << newSerial;
        if (playing_)
            stopPlayback();
        if (acquisition_)
            storePlace();
        serial_ = newSerial;
        cameraName_ = QString::fromStdString(camera->getName());
        restorePlace();
        acquisition_ = newAcuisitionInstance;
        // With an acquisition, ask in turn with its worker's calls on the camera.
        const bool recording = acquisition_ != nullptr ? acquisition_->cameraRecording() : camera->isRecording();
        if (!recording)
            onRecordingDone(serial_);
        else
            setEnabled(false);
    } catch (const std::exception& e) {
        qWarning() << "Could not read the new camera in videoctrl: " << e.what();
    }
    colour_ = newColor;
    updateTitle();
}

void VideoControl::setCameraColor(DWORD serialNo, const QString& color)
{
    if (serialNo != serial_)
        return;
    colour_ = color;
    updateTitle();
}

void VideoControl::updateTitle()
{
    // Rich text shows a newline as a space: the name and serial line break becomes <br>.
    QString title = titleFormat_.arg(colour_.toHtmlEscaped(), cameraName_.toHtmlEscaped(), QString::number(serial_));
    titleLabel_->setText(title.replace(QLatin1Char('\n'), QStringLiteral("<br>")));
}

void VideoControl::onConvertParamsChanged(DWORD serialNo)
{
    if (serialNo != serial_ || playing_ || !acquisition_)
        return;
    if (currentIndex_ >= 0 && currentIndex_ <= count())
        show(currentIndex_);
}

void VideoControl::onCamRamSegmentChanged(DWORD serialNo, QString format)
{
    if (serialNo != serial_ || !acquisition_)
        return;
    qDebug() << "Adapting videoctrl to new camramsegment";
    acquisition_->setDataFormat(serial_, format);
    if (adaptToImages(true)) {
        setPlayIcon(QStringLiteral("play-solid"));
        enableForImages();
    }
}

// ---- private slots ---------------------------------------------------------------------

void VideoControl::onFirstImagePressed()
{
    if (playing_ || refuseWithoutImages())
        return;
    qDebug() << "Showing first image of camera: " << serial_;
    stepTo(0);
}

void VideoControl::onStepLeftPressed()
{
    if (playing_ || refuseWithoutImages())
        return;
    qDebug() << "Showing previous image of camera: " << serial_;
    int index = currentIndex_ - 1;
    if (index < 1) {
        index = 0;
        qDebug() << "Already first Image of camera: " << serial_;
    }
    stepTo(index);
}

void VideoControl::onStepRightPressed()
{
    if (playing_ || refuseWithoutImages())
        return;
    qDebug() << "Showing next image of camera: " << serial_;
    int index = currentIndex_ + 1;
    const int last = count() - 1;
    if (index >= last) {
        qDebug() << "Already last image of camera: " << serial_;
        index = last;
    }
    stepTo(index);
}

void VideoControl::onLastImagePressed()
{
    if (playing_ || refuseWithoutImages())
        return;
    qDebug() << "Showing last image of camera: " << serial_;
    stepTo(count() - 1);
}

void VideoControl::onTogglePlaybackPressed()
{
    if (!acquisition_)
        return;
    playButton_->setEnabled(false);
    if (playing_) {
        stopPlayback();
        return;
    }
    if (count() <= 0) {
        playButton_->setEnabled(true);
        refuseWithoutImages();
        return;
    }
    startPlayback();
}

void VideoControl::onLoopModeToggled(bool enabled)
{
    loop_ = enabled;
}

void VideoControl::onPlaybackRangeLowerChanged(int value)
{
    rangeSet_ = true;
    rangeLower_ = std::max(value - 1, 0);
    if (rangeLower_ > rangeUpper_)
        rangeUpper_ = rangeLower_;
}

void VideoControl::onPlaybackRangeUpperChanged(int value)
{
    rangeSet_ = true;
    rangeUpper_ = std::max(value - 1, 0);
    if (rangeUpper_ < rangeLower_) {
        rangeUpper_ = rangeLower_;
        // The handle follows the rule so that what the slider shows is what plays.
        const QSignalBlocker blocker(slider_);
        slider_->setUpperValue(rangeUpper_ + 1);
        rangeWidget_->setValues(rangeLower_ + 1, rangeUpper_ + 1);
    }
}

void VideoControl::onIndicatorScrubbed(int value)
{
    const int m = slider_->maximum();
    if (playing_ || m <= 0)
        return;
    currentIndex_ = std::max(std::min(m, value), 1) - 1;
    if (show(currentIndex_)) {
        updatePositionLabel();
        slider_->setIndicatorValue(currentIndex_ + 1);
    }
}

// ---- helpers ---------------------------------------------------------------------------

QPushButton* VideoControl::makeButton(const QString& iconName, const QString& toolTip, int size)
{
    auto* button = new QPushButton(this);
    button->setObjectName(iconName);
    button->setToolTip(toolTip);
    button->setFixedSize(size, size);
    button->setIconSize(QSize(size * 3 / 4, size * 3 / 4));
    if (icons_)
        button->setIcon(icons_(iconName));
    return button;
}

void VideoControl::setPlayIcon(const QString& name)
{
    playIconName_ = name;
    if (icons_)
        playButton_->setIcon(icons_(name));
}

int VideoControl::available() const
{
    return acquisition_ ? acquisition_->availableImageCount() : -1;
}

int VideoControl::count() const
{
    if (!acquisition_)
        return 0;
    return std::min(acquisition_->availableImageCount(), acquisition_->settings().imageCount);
}

bool VideoControl::refuseWithoutImages()
{
    if (available() >= 1)
        return false;
    qDebug() << "No images to show, returning";
    QMessageBox::warning(this, QStringLiteral("No Images."),
                         QStringLiteral("No Images to show.\nRecord Images with this camera.\nThis can happen if you use "
                                        "the CamRam Allocation after recording a sequence with a CamRam Camera."));
    setEnabled(false);
    return true;
}

bool VideoControl::show(int index)
{
    return acquisition_ && acquisition_->showImage(index) >= 0;
}

void VideoControl::refresh()
{
    if (slider_->maximum() > 0)
        slider_->setIndicatorValue(currentIndex_ + 1);
    else
        slider_->hideIndicator();
    updatePositionLabel();
}

void VideoControl::updatePositionLabel()
{
    const int m = slider_->maximum();
    if (m > 0)
        positionLabel_->setText(QStringLiteral("Image %1 / %2").arg(currentIndex_ + 1).arg(m));
    else
        positionLabel_->setText(QStringLiteral("Image: 0 / 0"));
}

void VideoControl::stepTo(int index)
{
    currentIndex_ = index;
    if (show(currentIndex_))
        refresh();
}

void VideoControl::setSliderRange(int n, bool reset)
{
    const QSignalBlocker blocker(slider_);
    if (n > 0) {
        rangeWidget_->setEnabled(true);
        slider_->setEnabled(true);
        if (reset || !rangeSet_) {
            rangeLower_ = 0;
            rangeUpper_ = n - 1;
            rangeSet_ = true;
        } else {
            rangeLower_ = std::clamp(rangeLower_, 0, n - 1);
            rangeUpper_ = std::max(rangeLower_, std::min(n - 1, rangeUpper_));
        }
        slider_->setRange(1, n);
        slider_->setLowerValue(rangeLower_ + 1);
        slider_->setUpperValue(rangeUpper_ + 1);
        // The label names the range that plays (a camera's own range comes back narrowed).
        rangeWidget_->setValues(rangeLower_ + 1, rangeUpper_ + 1);
    } else {
        rangeWidget_->setEnabled(false);
        slider_->setEnabled(false);
        rangeWidget_->setValues(0, 0);
        slider_->hideIndicator();
        slider_->setRange(0, 0);
        slider_->setLowerValue(0);
        slider_->setUpperValue(0);
        rangeSet_ = false;
        rangeLower_ = 0;
        rangeUpper_ = 0;
    }
}

bool VideoControl::adaptToImages(bool reset)
{
    qInfo() << "Adapting videoctrl slider range for camera: " << serial_;
    const int n = available();
    if (n > 0) {
        if (reset || currentIndex_ >= n)
            currentIndex_ = 0;
        const int shown = acquisition_->showImage(currentIndex_);
        if (shown < 0)
            return false;
        currentIndex_ = std::clamp(shown, 0, n - 1);
        slider_->setEnabled(true);
        playButton_->setEnabled(true);
        setSliderRange(n, reset);
        refresh();
    } else {
        playButton_->setEnabled(false);
        currentIndex_ = 0;
        setSliderRange(0, reset);
        refresh();
    }
    updatePositionLabel();
    return true;
}

void VideoControl::startPlayback()
{
    const int n = count();
    rangeLower_ = std::clamp(rangeLower_, 0, n - 1);
    rangeUpper_ = std::max(rangeLower_, std::min(n - 1, rangeUpper_));
    if (currentIndex_ < rangeLower_ || currentIndex_ > rangeUpper_) {
        currentIndex_ = rangeLower_;
        if (!show(currentIndex_)) {
            playButton_->setEnabled(true);
            return;
        }
        refresh();
    }
    if (loop_)
        currentIndex_ = rangeLower_;
    AcquisitionSettings& settings = acquisition_->settings();
    settings.mode = AcquisitionSettings::kPlayback;
    settings.playFrom = static_cast<uint32_t>(currentIndex_);
    settings.playTo = static_cast<uint32_t>(rangeUpper_);
    acquisition_->startCameraThread();
    // A short range may already have been played when the thread start returns: its end
    // arrives queued as recordingDone. Only a camera the acquisition no longer holds
    // (no image count) means that nothing was started.
    if (!acquisition_->isRunning() && acquisition_->availableImageCount() < 0) {
        qWarning() << "Failed to start playback for camera: " << serial_;
        setPlayIcon(QStringLiteral("play-solid"));
        playButton_->setEnabled(true);
        return;
    }
    playing_ = true;
    setPlayIcon(QStringLiteral("pause-solid"));
    playButton_->setEnabled(true);
    emit playbackStateChanged(serial_, true);
}

void VideoControl::stopPlayback()
{
    qDebug() << "Stopping playback for camera: " << serial_;
    stopping_ = true;
    if (acquisition_)
        acquisition_->stopCameraThreads();
    playing_ = false;
    setPlayIcon(QStringLiteral("play-solid"));
    playButton_->setEnabled(true);
    stopping_ = false;
    emit playbackStateChanged(serial_, false);
}

void VideoControl::storePlace()
{
    places_[serial_] = CameraPlace{currentIndex_, rangeSet_, rangeLower_, rangeUpper_};
}

void VideoControl::restorePlace()
{
    const auto stored = places_.find(serial_);
    const CameraPlace place = stored == places_.end() ? CameraPlace{} : stored->second;
    currentIndex_ = place.index;
    // Without a range of its own the camera gets all of its images when it is adapted.
    rangeSet_ = place.rangeSet;
    rangeLower_ = place.lower;
    rangeUpper_ = place.upper;
}

void VideoControl::enableForImages()
{
    setEnabled(available() >= 1);
}
