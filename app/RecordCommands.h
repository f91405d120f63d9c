// The tool-bar commands "Preview", "Record" and "Trigger" of the selected camera, and the
// command buttons' reactions to what each camera does (recording state, playback, data
// format, bit depth). The main window's slots forward here.
//
// GUI thread only. The record command blocks the GUI thread until the recording has
// started (bounded by startTimeout).
#pragma once

#include "acquisition/Dword.h"
#include "camera/Enums.h"

#include <QObject>
#include <QString>

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

class CameraAcquisition;
struct CommandsContext;
class QAction;

namespace vyk {
class AnyCamera;
struct Description;
}

class RecordCommands : public QObject {
    Q_OBJECT
public:
    // Works on context, which must outlive this object.
    explicit RecordCommands(CommandsContext& context, QObject* parent = nullptr);

    // "Preview" toggled: starts or stops the live preview of the selected camera.
    void onPreviewButtonPressed(bool checked);
    // "Record" toggled: starts a recording in the tree's record mode, or stops it.
    void onSequenceButtonPressed(bool checked);
    // "Trigger": a software trigger of the selected camera's running acquisition.
    void onSoftTriggerButtonPressed();
    // A preview or recording started on the selected camera: buttons to the running state.
    void onRecordingInProgress();
    // A run of serialNo ended (or its file dialog was cancelled): buttons back to idle.
    void onRecordingDone(DWORD serialNo);
    // A file recording of serial ended early (error says why): tells the user; the images
    // recorded until then stay on disk.
    void onRecordingFailed(DWORD serial, const QString& error);
    // Shows in the status bar how many images a camera lost in its last preview or recording.
    void onImagesLost(DWORD serial, quint64 count);
    // Playback of serial started or stopped.
    void onPlaybackStateChanged(DWORD serial, bool running);
    // The settings tree switched the data format of serial.
    void onDataformatChanged(DWORD serial, const QString& format);
    // Passes every camera's pixel depth to the histogram; camera errors propagate.
    void updateCameraBitness();

    // Longest wait for a recording to start (default 10 s).
    void setStartTimeout(std::chrono::milliseconds timeout) { startTimeout_ = timeout; }

signals:
    // A preview or recording is being started on serial.
    void recordingInProgress(DWORD serial);
    // serial failed; the window removes it.
    void camError(DWORD serial, bool msgBox = true);

private:
    // Where a file recording goes.
    struct FileTarget {
        vyk::RecordMode mode;
        std::string path;
    };

    // True when a DXR camera has storage segments and an active one; false when reading fails.
    static bool dxrAllocationUsable(vyk::AnyCamera& camera, DWORD serial);
    // The "Allocation error!" box; action gets iconName back and is unchecked.
    void refuseDxr(QAction* action, const QString& iconName);
    // A pressed command that has nothing to start on: action gets iconName back, unchecked.
    void withdraw(QAction* action, const QString& iconName, const char* command);
    // True (action unchecked with iconName) while "Save all Images" writes serial's images:
    // a new run would replace them in the middle of the file set.
    bool refuseWhileSaving(DWORD serial, QAction* action, const QString& iconName);
    // serial's camera went away while the record command waited for events or dialogs.
    void reportGoneBeforeStart(DWORD serial);
    // The tree's "Lines per Image" for a line camera, else -1.
    int32_t linesPerImage(const vyk::Description& description) const;
    // The local "Save Sequence" dialog; none when cancelled.
    std::optional<FileTarget> chooseLocalFile(DWORD serial);
    // The remote format and base-name dialogs; none when cancelled or empty.
    std::optional<FileTarget> chooseRemoteFile();
    // Asks for the target, starts a recording into files and waits until the camera records;
    // false when the user cancelled, throws on time-out.
    bool startFileRecording(DWORD serial, vyk::AnyCamera& camera, uint16_t triggerMode, int32_t imageCount);
    // Waits for acquisition's sequence thread to signal its start; throws on time-out.
    void waitForSequenceStart(CameraAcquisition& acquisition);
    // Writes the count the recording holds into the tree and reports it.
    void reportMemoryCount(CameraAcquisition& acquisition, int32_t requested);

    CommandsContext& context_;
    std::chrono::milliseconds startTimeout_{10000};
};
