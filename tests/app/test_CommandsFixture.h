// Test support for the command helpers: the parts of the main window they work on (status
// bar, camera selector, command actions, settings tree, playback control) around simulated
// cameras, with acquisition objects wired as the window wires them.
#pragma once

#include "MainWindow.h"
#include "MainWindowFixture.h"

#include "CommandsContext.h"
#include "RecordCommands.h"
#include "SaveImageCommands.h"
#include "StatusReporter.h"

#include "acquisition/CameraAcquisition.h"
#include "widgets/CameraSettingsTree.h"
#include "widgets/VideoControl.h"

#include <QAction>
#include <QComboBox>
#include <QMainWindow>
#include <QStatusBar>

#include <map>
#include <memory>

class CommandsTest : public MainWindowTest {
protected:
    void SetUp() override;
    void TearDown() override;
    // Opens the cameras of the current set (serials 11 and 22 unless replaced) and builds the
    // window parts; the first camera is selected.
    void build();
    // Selects camera serial in the selector, the settings tree and the playback control.
    void select(DWORD serial);
    // Sets a combo row of the settings tree (named label) to text, as the user would.
    void setTreeCombo(const QString& label, const QString& text);
    // Records images into serial's memory directly and tells its acquisition object.
    void recordDirectly(DWORD serial, int images);
    // The text the status bar shows now.
    QString statusText() const { return host_->statusBar()->currentMessage(); }
    CameraAcquisition& acquisition(DWORD serial) { return *acquisitions_.at(serial); }

    std::unique_ptr<QMainWindow> host_;
    CameraMap cameras_;
    std::map<DWORD, CameraAcquisition*> acquisitions_; // owned: deleted in TearDown
    CameraSettingsTree* tree_ = nullptr;              // child of host_
    VideoControl* video_ = nullptr;                   // child of host_
    QComboBox* selector_ = nullptr;                   // child of host_
    std::unique_ptr<StatusReporter> status_;
    CommandsContext context_;
    std::unique_ptr<RecordCommands> record_;
    std::unique_ptr<SaveImageCommands> save_;
    std::map<DWORD, int> bitDepths_; // what updateCameraBitness reported
};
