// The playback bar: steps through, scrubs and plays back the recorded images of the selected
// camera through that camera's acquisition object, and remembers the last image shown per camera.
//
// States: Disabled (no images, or a recording runs) -> Idle (stepping and scrubbing allowed)
// -> Playing (steps and scrubbing ignored) -> Idle at the end of the range, by the play
// button, by a recording starting or by a camera change. With loop on, the end of the range
// restarts playback from the range start.
//
// GUI thread only. The acquisition object's newPlayPosition and recordingDone arrive queued
// from its worker thread.
#pragma once

#include "acquisition/Dword.h"

#include <QIcon>
#include <QString>
#include <QWidget>

#include <functional>
#include <map>
#include <memory>
#include <set>

class CameraAcquisition;
class QLabel;
class QPushButton;
class RangeSlider;
class RangeWidget;

namespace vyk {
class AnyCamera;
}

class VideoControl : public QWidget {
    Q_OBJECT
public:
    // Gives the icon of an icon-theme name (the shell passes its loader; widgets stay free of it).
    using IconProvider = std::function<QIcon(const QString& name)>;

    explicit VideoControl(IconProvider icons = {}, QWidget* parent = nullptr);

    // 0-based index of the image shown last.
    int currentIndex() const { return currentIndex_; }
    // True while a playback of this control runs.
    bool isPlaying() const { return playing_; }
    // True while loop mode is on.
    bool isLooping() const { return loop_; }
    // The playback range, 0-based and inclusive.
    int rangeLower() const { return rangeLower_; }
    int rangeUpper() const { return rangeUpper_; }
    // Icon-theme name of the play button's current icon ("play-solid" or "pause-solid").
    const QString& playIconName() const { return playIconName_; }
    // The selected camera's serial (0 before the first camera).
    DWORD serial() const { return serial_; }
    // Child widgets, for the window's layout code and for tests.
    QLabel* titleLabel() const { return titleLabel_; }
    QLabel* positionLabel() const { return positionLabel_; }
    RangeWidget* rangeWidget() const { return rangeWidget_; }
    RangeSlider* slider() const { return slider_; }
    QPushButton* firstButton() const { return firstButton_; }
    QPushButton* stepBackButton() const { return stepBackButton_; }
    QPushButton* playButton() const { return playButton_; }
    QPushButton* stepForwardButton() const { return stepForwardButton_; }
    QPushButton* lastButton() const { return lastButton_; }
    QPushButton* loopButton() const { return loopButton_; }

signals:
    // Playback of serial started (true) or stopped (false).
    void playbackStateChanged(DWORD serial, bool running);

public slots:
    // From CameraAcquisition::newPlayPosition: playback has shown image value.
    void onPlayPositionChanged(DWORD serialNo, int value);
    // A recording or preview started: stops playback bookkeeping and disables the control.
    void onRecordingInProgress();
    // A run of serialNo ended (recording, preview or playback).
    void onRecordingDone(DWORD serialNo);
    // The selected camera changed.
    void onCameraChanged(std::weak_ptr<vyk::AnyCamera> newCam, QString newColor,
                         CameraAcquisition* newAcuisitionInstance);
    // serialNo got colour color: the title takes it when it shows that camera (also while
    // playing); nothing else changes.
    void setCameraColor(DWORD serialNo, const QString& color);
    // The conversion of serialNo changed: shows the current image again.
    void onConvertParamsChanged(DWORD serialNo);
    // The camera RAM segment of serialNo changed: new data format and new images.
    void onCamRamSegmentChanged(DWORD serialNo, QString format);

private slots:
    void onFirstImagePressed();
    void onStepLeftPressed();
    void onTogglePlaybackPressed();
    void onStepRightPressed();
    void onLastImagePressed();
    void onLoopModeToggled(bool enabled);
    void onPlaybackRangeLowerChanged(int value);
    void onPlaybackRangeUpperChanged(int value);
    void onIndicatorScrubbed(int value);

private:
    // Square button with icon name and tooltip.
    QPushButton* makeButton(const QString& iconName, const QString& toolTip, int size);
    void setPlayIcon(const QString& name);
    // Images recorded on the current camera; -1 without an acquisition object.
    int available() const;
    // min(available, the acquisition's image count).
    int count() const;
    // True (with the warning box, control disabled) when no image can be shown.
    bool refuseWithoutImages();
    // Shows image index through the acquisition object; true on success.
    bool show(int index);
    // Indicator at currentIndex_ + 1 (hidden for an empty slider) and the position label.
    void refresh();
    void updatePositionLabel();
    // The title label from the current camera's colour, name and serial.
    void updateTitle();
    // Moves to index (clamped by the callers) and shows it; refreshes on success.
    void stepTo(int index);
    void setSliderRange(int n, bool reset);
    // Reads the camera's images into slider and position; false when showing failed.
    bool adaptToImages(bool reset);
    void startPlayback();
    void stopPlayback();
    // Enables the control when available >= 1, else disables it.
    void enableForImages();
    // What the control showed of a camera when another one was selected: its images differ
    // in number and meaning, so neither position nor range may carry over to the next one.
    struct CameraPlace {
        int index = 0;         // currentIndex_
        bool rangeSet = false; // rangeSet_
        int lower = 0;         // rangeLower_
        int upper = 0;         // rangeUpper_
    };
    // Stores the current camera's place under its serial.
    void storePlace();
    // Takes the place stored for serial_, or the first image and the whole range when none.
    void restorePlace();

    IconProvider icons_;
    QString playIconName_;
    QString titleFormat_ = QStringLiteral("<font color='%1'>%2\n%3</font>");
    QLabel* titleLabel_;          // child
    QPushButton* firstButton_;    // child
    QPushButton* stepBackButton_; // child
    QPushButton* playButton_;     // child
    QPushButton* stepForwardButton_; // child
    QPushButton* lastButton_;     // child
    QPushButton* loopButton_;     // child
    QLabel* positionLabel_;       // child
    RangeWidget* rangeWidget_;    // child
    RangeSlider* slider_;         // owned by rangeWidget_

    DWORD serial_ = 0;                         // current camera
    QString cameraName_;                       // current camera's name
    QString colour_;                           // current camera's colour name
    CameraAcquisition* acquisition_ = nullptr; // current camera's acquisition (owned by the window)
    int currentIndex_ = 0;                     // 0-based image shown last
    bool playing_ = false;
    bool stopping_ = false;                    // set while a stop request is in progress
    bool loop_ = false;
    bool rangeSet_ = false;
    int rangeLower_ = 0;                       // 0-based, inclusive
    int rangeUpper_ = 0;                       // 0-based, inclusive
    std::map<DWORD, CameraPlace> places_;      // serial to the camera's last place
    std::set<DWORD> freshImages_;              // cameras whose recording started since they were last adapted
};
