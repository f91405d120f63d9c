// Keeps actions and widgets disabled for as long as a command that must not be disturbed
// by them runs (for example while "Save all Images" writes a recording, nothing may delete
// or re-record that camera's images), and gives each its former enabled state back.
//
// GUI thread only. Targets are watched: one deleted in the meantime is skipped.
#pragma once

#include <QObject>
#include <QPointer>

#include <initializer_list>
#include <utility>
#include <vector>

class CommandLockout {
public:
    // Disables every target (a QAction or a QWidget; null entries are skipped).
    explicit CommandLockout(std::initializer_list<QObject*> targets);
    // Gives every target still alive its former enabled state, unless dismissed.
    ~CommandLockout();

    CommandLockout(const CommandLockout&) = delete;
    CommandLockout& operator=(const CommandLockout&) = delete;

    // The targets' owner has set their states anew in the meantime (the camera set
    // changed): nothing is given back.
    void dismiss() { targets_.clear(); }

private:
    std::vector<std::pair<QPointer<QObject>, bool>> targets_; // target and its former enabled state
};
