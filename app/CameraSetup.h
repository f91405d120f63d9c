// The camera "Setup" dialog: the pixel format (bit depth) of the selected camera, and which
// GenICam cameras the camera scan opens.
#pragma once

#include "camera/Configuration.h"
#include "camera/Description.h"

#include <QDialog>

class QComboBox;
class QLineEdit;
class QTreeWidget;

class CameraSetup : public QDialog {
    Q_OBJECT
public:
    // Works on a copy of configuration; the "Pixelformat" row appears only when the
    // description offers at least two pixel formats. The "Remote Access" row edits the token
    // for device servers, kept in the settings file when the dialog is accepted.
    CameraSetup(const vyk::Configuration& configuration, const vyk::Description& description,
                QWidget* parent = nullptr);

    // The configuration as edited.
    const vyk::Configuration& configuration() const { return configuration_; }
    // The GenICam camera list as edited (starts as the stored one).
    QString genicamCameras() const;

    // The tree and the pixel-format box (null without the row), for tests.
    QTreeWidget* tree() const { return tree_; }
    QComboBox* pixelFormatBox() const { return pixelFormatBox_; }
    // The token field, for tests.
    QLineEdit* tokenEdit() const { return tokenEdit_; }
    QLineEdit* genicamEdit() const { return genicamEdit_; }

public slots:
    // Stores the flag of entry index as the pixel format.
    void onComboChanged(int index);

private:
    vyk::Configuration configuration_;
    QTreeWidget* tree_;                  // child
    QComboBox* pixelFormatBox_ = nullptr; // child of tree_, or null
    QLineEdit* tokenEdit_ = nullptr;      // child of tree_
    QLineEdit* genicamEdit_;             // child of tree_
};
