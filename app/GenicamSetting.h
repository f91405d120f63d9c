// Which GenICam cameras the local camera scan opens: the Camera Setup dialog's choice, kept
// in the settings file, or else the RASTEL_GENICAM environment variable.
#pragma once

#include <QString>

class GenicamSetting {
public:
    // Settings key of the list ("cameraSetup/GenicamCameras").
    static const char* const kKey;

    // The list as stored in the settings file (empty: none chosen in the dialog).
    static QString stored();
    // Stores the list in the settings file; the next camera scan uses it.
    static void store(const QString& list);
    // Hands the list to the device library (through RASTEL_GENICAM) before a local camera
    // scan: a stored list takes the place of the variable; without one the variable stays
    // as the process was started with it.
    static void apply();
};
