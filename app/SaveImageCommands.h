// The "&File" menu commands "Save latest Image", "Save current Image as" and "Save all
// Images": the save dialog with its data-format choice, the path check, the progress display
// with its Escape abort, and the messages. Each image is written by the acquisition object.
//
// GUI thread only; "Save all Images" keeps the window responsive by processing pending
// events once per image.
#pragma once

#include "acquisition/Dword.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <optional>

class CameraAcquisition;
struct CommandsContext;

namespace vyk {
class AnyCamera;
}

class SaveImageCommands : public QObject {
    Q_OBJECT
public:
    // A data format the save dialog offers: display name and DataFormat value.
    struct DataFormatEntry {
        QString name;
        int value;
    };

    // Works on context, which must outlive this object.
    explicit SaveImageCommands(CommandsContext& context, QObject* parent = nullptr);

    // "Save latest Image" (saveAs false) or "Save current Image as" (true).
    void onSaveOneImageClicked(bool saveAs);
    // "Save all Images".
    void onSaveAllImagesClicked();

    // The save name filters, in display order.
    static QStringList nameFilters();
    // The data formats camera's images can be saved in; camera errors propagate.
    static QList<DataFormatEntry> dataFormats(vyk::AnyCamera& camera);
    // True when path ends in one of the accepted endings (any case).
    static bool hasImageEnding(const QString& path);
    // The default extension of a name filter (".tif", ".b16" or ".dcm").
    static QString defaultExtension(const QString& filter);

private:
    // What the user chose in the save dialog.
    struct Choice {
        QString path;
        int dataFormat;
    };

    // Runs the save dialog for serial; none when cancelled (reported in the status bar).
    std::optional<Choice> ask(DWORD serial, const QString& title);
    // The "Invalid Fileformat" refusal; logLine ends the log line after the path.
    void refuseEnding(const QString& path, const QString& logTail);
    // The camera of serial went away while saving: what was written stays, the rest is not
    // written.
    void reportCameraGone(DWORD serial);
    // The "Save Error" reports of a failed save.
    void reportSaveError(const std::exception& error);

    CommandsContext& context_;
};
