// What the command helpers of the main window work on: the camera set, the panels, the
// status bar and the command actions. The window fills it once and updates the pointers
// that change when panels are rebuilt (settings tree, playback control).
#pragma once

#include "CameraMap.h"

#include <QIcon>
#include <QPointer>
#include <QString>

#include <functional>
#include <map>
#include <optional>

class CameraAcquisition;
class CameraSettingsTree;
class HealthMonitor;
class QAction;
class QComboBox;
class QStatusBar;
class QWidget;
class StatusReporter;
class VideoControl;

struct CommandsContext {
    QWidget* window = nullptr;                                        // parent of every dialog
    const CameraMap* cameras = nullptr;                               // the window's camera map
    const std::map<DWORD, CameraAcquisition*>* acquisitions = nullptr;// the window's acquisition objects
    QPointer<CameraSettingsTree> settingsTree;                        // the settings panel (rebuilt on rescan)
    QPointer<VideoControl> videoControl;                              // the playback control (rebuilt on rescan)
    StatusReporter* status = nullptr;                                 // 3000 ms messages
    QStatusBar* statusBar = nullptr;                                  // holds the save progress widgets
    QComboBox* cameraSelector = nullptr;                              // the selected camera
    HealthMonitor* health = nullptr;                                  // its ignore-warnings flag is cleared
    QAction* preview = nullptr;
    QAction* record = nullptr;
    QAction* trigger = nullptr;
    QAction* scan = nullptr;
    QAction* saveAll = nullptr;
    QAction* saveAs = nullptr;
    std::function<QIcon(const QString& name)> icons;                  // icon of an icon-theme name
    std::function<void(DWORD serial, int bits)> setBitDepth;          // the histogram's bit depth of a camera
    QString lastPath;                                                 // last recording or save path; empty at start
    std::optional<DWORD> savingAllOf;                                 // camera whose images "Save all Images" writes now

    // The handle of serial, null when there is none.
    std::shared_ptr<vyk::AnyCamera> camera(DWORD serial) const;
    // The acquisition object of serial, null when there is none.
    CameraAcquisition* acquisition(DWORD serial) const;
    // Whether serial's camera records. Asked through its acquisition object, whose worker
    // thread may be using the camera; false when there is no camera or it cannot answer.
    bool cameraRecording(DWORD serial) const;
    // Whether any camera of the map records.
    bool anyCameraRecording() const;
    // Sets icon, checked and enabled state of action without announcing the change.
    void setActionState(QAction* action, const QString& iconName, bool checked, bool enabled) const;
};
