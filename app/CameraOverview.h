// The camera overview panel: per camera its colour choice and its histogram switch.
#pragma once

#include "acquisition/Dword.h"

#include <QString>
#include <QStringList>
#include <QTreeWidget>

#include <map>

class QTreeWidgetItem;

class CameraOverview : public QTreeWidget {
    Q_OBJECT
public:
    explicit CameraOverview(QWidget* parent = nullptr);

    // Adds the camera's item "name (serial)" in its colour with the rows "Camera Color"
    // (palette, preselecting palettePosition) and "Histogram" (checked).
    void addCamera(DWORD serial, const QString& name, const QStringList& palette, int palettePosition);
    // Removes the camera's item; unknown serials are ignored.
    void removeCamera(DWORD serial);

    // The top-level item of serial, or null.
    QTreeWidgetItem* itemOf(DWORD serial) const;

signals:
    void cameraColorChanged(DWORD serial, QString color, QString cameraName);
    void showPipelineRequest(DWORD serial, QString pipeline);
    void hidePipelineRequest(DWORD serial, QString pipeline);
    void isoLevelChanged(DWORD serial, int value);
    void changeHistogramVisible(DWORD serial, bool visible);

public slots:
    // From a colour combo box: announces the new colour and recolours the camera's item.
    void onColorChanged(const QString& color);
    // From a pipeline check box: shows or hides the "flyingEdges" pipeline.
    void onEdgeBoxClicked(int state);
    // From an iso-level editor.
    void onIsoLevelChanged(int value);
    // From a "Histogram" check box.
    void onGraphBoxClicked(int state);

private:
    // The "serial" property of the sending editor.
    DWORD senderSerial() const;

    std::map<DWORD, QString> names_; // serial to camera name
};
