// The token sent to device servers started with --token-file.
#pragma once

#include <QString>

#include <string>

class RemoteToken {
public:
    // Settings key of the token entered in the Camera Setup dialog.
    static constexpr const char* kSettingsKey = "remote/Token";

    // The token the remote cameras and light sources send: $RASTEL_TOKEN when it is set and not
    // empty, else the stored one; empty when neither is there.
    static std::string configured();
    // The token kept in the settings file (empty when none).
    static QString stored();
    // Keeps token in the settings file; an empty token removes the key.
    static void store(const QString& token);
};
