// The periodic health check of the locally attached cameras: warnings in amber (with a box
// the user may silence), errors in red followed by the camera's removal.
#pragma once

#include "CameraMap.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <cstdint>

class StatusReporter;

class HealthMonitor : public QObject {
    Q_OBJECT
public:
    // boxParent parents the message boxes; status shows the health texts.
    HealthMonitor(QWidget* boxParent, StatusReporter* status, QObject* parent = nullptr);

    // Text of the lowest set warning bit (0x1 .. 0x20), else the unknown-warning text.
    static QString warningText(uint32_t warnings);
    // Text of the lowest listed set error bit, else the unknown-error text.
    static QString errorText(uint32_t errors);

    // One run over cameras in ascending serial order (remote cameras are skipped). cameras
    // is the live map: a camera removed by a cameraFailed receiver during the run is not
    // checked any more. The first hardware error ends the run. A call made while a run is
    // still going (from the nested event loop of its message box) does nothing.
    void checkAll(const CameraMap& cameras);

    // True after the user answered a warning with "Ignore".
    bool ignoreWarnings() const { return ignoreWarnings_; }
    // Lets warning boxes appear again (recording started or stopped, rescan).
    void clearIgnoreWarnings() { ignoreWarnings_ = false; }

signals:
    // A camera failed its check and is to be removed; msgBox asks for the removal box.
    void cameraFailed(DWORD serial, bool msgBox);

private:
    // Checks one camera; returns false when the run is to end (hardware error).
    bool checkCamera(DWORD serial, vyk::AnyCamera& camera);
    void reportWarning(uint32_t warnings);

    QPointer<QWidget> boxParent_;
    StatusReporter* status_;     // owned by the main window
    bool ignoreWarnings_ = false; // GUI thread only
    bool checking_ = false;       // GUI thread only; set for the duration of checkAll
};
