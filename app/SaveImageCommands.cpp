#include "SaveImageCommands.h"

#include "CameraSelector.h"
#include "CommandLockout.h"
#include "CommandsContext.h"
#include "StatusReporter.h"

#include "acquisition/CameraAcquisition.h"
#include "camera/AnyCamera.h"
#include "camera/CameraException.h"
#include "camera/ConvertControl.h"
#include "widgets/CameraSettingsTree.h"
#include "widgets/SaveImageFileDialog.h"
#include "widgets/VideoControl.h"

#include <QAction>
#include <QComboBox>
#include <QCoreApplication>
#include <QDebug>
#include <QFileInfo>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QProgressBar>
#include <QScopedValueRollback>
#include <QShortcut>
#include <QStatusBar>

#include <algorithm>
#include <exception>
#include <variant>

namespace {

const QString kAborted = QStringLiteral("Saving aborted!");

QString folderOf(const QString& path)
{
    return path.isEmpty() ? QCoreApplication::applicationDirPath() : QFileInfo(path).absolutePath();
}

// True when a pseudocolour conversion with a lookup table stands behind BGR output.
bool hasLookupTable(vyk::AnyCamera& camera)
{
    const vyk::ConvertControl control = camera.getConvertControl(vyk::DataFormat::BGR8);
    const auto* pseudo = std::get_if<vyk::ConvertControlPseudocolor>(&control);
    return pseudo && !pseudo->lut_file.empty();
}

} // namespace

SaveImageCommands::SaveImageCommands(CommandsContext& context, QObject* parent)
    : QObject(parent)
    , context_(context)
{
}

QStringList SaveImageCommands::nameFilters()
{
    return {QStringLiteral("TIFF Files (*.tif *.tiff)"), QStringLiteral("B16 Files (*.b16)"),
            QStringLiteral("DICOM Files (*.dcm)")};
}

QList<SaveImageCommands::DataFormatEntry> SaveImageCommands::dataFormats(vyk::AnyCamera& camera)
{
    const DataFormatEntry mono16{QStringLiteral("Mono 16-bit"), 2};
    const DataFormatEntry mono8{QStringLiteral("Mono 8-bit"), 1};
    const QList<DataFormatEntry> colour8{{QStringLiteral("BGR 8-bit"), 3}, {QStringLiteral("BGRA 8-bit"), 4},
                                         {QStringLiteral("RGB 8-bit"), 5}, {QStringLiteral("RGBA 8-bit"), 6}};
    if (camera.isColored())
        return QList<DataFormatEntry>{mono16} + colour8
               + QList<DataFormatEntry>{{QStringLiteral("RGB 16-bit"), 7}, {QStringLiteral("BGR 16-bit"), 8}};
    if (hasLookupTable(camera))
        return QList<DataFormatEntry>{mono16, mono8} + colour8;
    return {mono16, mono8};
}

bool SaveImageCommands::hasImageEnding(const QString& path)
{
    for (const char* ending : {".tif", ".tiff", ".b16", ".dcm"}) {
        if (path.endsWith(QLatin1String(ending), Qt::CaseInsensitive))
            return true;
    }
    return false;
}

QString SaveImageCommands::defaultExtension(const QString& filter)
{
    if (filter.contains(QStringLiteral("B16"), Qt::CaseInsensitive))
        return QStringLiteral(".b16");
    if (filter.contains(QStringLiteral("DICOM"), Qt::CaseInsensitive))
        return QStringLiteral(".dcm");
    return QStringLiteral(".tif");
}

// ---- one image -------------------------------------------------------------------------

void SaveImageCommands::onSaveOneImageClicked(bool saveAs)
{
    qDebug() << "Entered onSaveOneImageClicked -> open QFileDialog";
    const std::optional<DWORD> serial = CameraSelector::currentSerial(context_.cameraSelector);
    context_.status->clearStyle();
    // Watched: the camera can be removed while the dialog runs its event loop.
    const QPointer<CameraAcquisition> acquisition = serial ? context_.acquisition(*serial) : nullptr;
    if (!acquisition)
        return;

    QString path;
    int index = -1;
    int dataFormat = static_cast<int>(vyk::DataFormat::Mono16);
    if (saveAs || context_.lastPath.isEmpty()) {
        const std::optional<Choice> choice = ask(*serial, QStringLiteral("Save Current Image"));
        if (!choice)
            return;
        if (!acquisition) {
            reportCameraGone(*serial);
            return;
        }
        path = choice->path;
        if (saveAs) {
            index = context_.videoControl ? context_.videoControl->currentIndex() : 0;
            dataFormat = choice->dataFormat;
        }
    } else {
        path = context_.lastPath;
    }

    qInfo() << "Saving image Nr.: " << index << " to given path: " << path;
    if (!hasImageEnding(path)) {
        refuseEnding(path, QStringLiteral(" .Leaving save Function!"));
        return;
    }
    try {
        const QString written = acquisition->saveImage(path, index, static_cast<vyk::DataFormat>(dataFormat));
        qInfo() << "Saved imageNr.: " << index << " to given Path:" << path;
        context_.status->show(QStringLiteral("Saved image to: %1").arg(written));
    } catch (const std::exception& e) {
        reportSaveError(e);
    }
}

// ---- all images ------------------------------------------------------------------------

void SaveImageCommands::onSaveAllImagesClicked()
{
    qDebug() << "Entered onSaveAllImagesClicked -> open QFileDialog";
    const std::optional<DWORD> serial = CameraSelector::currentSerial(context_.cameraSelector);
    // Watched: the dialog and the loop below run event loops, in which the camera can be
    // removed (health check, camera error), rescanned or the window closed.
    const QPointer<CameraAcquisition> acquisition = serial ? context_.acquisition(*serial) : nullptr;
    if (!acquisition)
        return;
    const std::optional<Choice> choice = ask(*serial, QStringLiteral("Save All Images"));
    if (!choice)
        return;
    if (!acquisition) {
        reportCameraGone(*serial);
        return;
    }
    const QString& path = choice->path;
    const int count = std::max(0, std::min(acquisition->maxImageCount(), acquisition->availableImageCount()));
    qDebug() << "Begin saving: " << count << " images to given Path:" << path;

    // Progress widgets and the Escape shortcut live exactly as long as this command.
    bool aborted = false;
    auto* label = new QLabel(QStringLiteral("Saving images... Press ESC to abort!"));
    auto* progress = new QProgressBar;
    progress->setRange(0, 100);
    progress->setValue(0);
    context_.statusBar->addWidget(label);
    context_.statusBar->addWidget(progress);
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), context_.window, nullptr, nullptr, Qt::WindowShortcut);
    connect(escape, &QShortcut::activated, this, [this, &aborted] {
        aborted = true;
        context_.status->show(QStringLiteral("Aborting..."), 0);
    });
    const auto removeProgress = [&] {
        context_.statusBar->removeWidget(label);
        context_.statusBar->removeWidget(progress);
        delete label;
        delete progress;
        delete escape;
    };

    if (!hasImageEnding(path)) {
        removeProgress();
        refuseEnding(path, QStringLiteral(" . Leaving save Function!"));
        return;
    }

    // Until the last image is written nothing may re-record this camera's images (a second
    // recording would end up in the same file set) or switch the panels to another camera.
    // The settings tree's state is its own; the rest is set anew when the camera set changes.
    const QScopedValueRollback<std::optional<DWORD>> saving(context_.savingAllOf, serial);
    CommandLockout panel{context_.settingsTree.data()};
    CommandLockout commands{context_.preview,    context_.record,         context_.trigger,
                            context_.scan,       context_.saveAll,        context_.saveAs,
                            context_.cameraSelector, context_.videoControl.data()};

    const QString folder = QFileInfo(path).absolutePath();
    for (int i = 0; i < count && !aborted; ++i) {
        qDebug() << "Save image No.:" << i << " in: " << folder;
        progress->setValue(i * 100 / count);
        QCoreApplication::processEvents();
        if (!acquisition) {
            commands.dismiss();
            removeProgress();
            reportCameraGone(*serial);
            return;
        }
        try {
            acquisition->saveImage(path, i, static_cast<vyk::DataFormat>(choice->dataFormat));
        } catch (const std::exception& e) {
            // The first failing image ends the run; the others would fail alike.
            removeProgress();
            reportSaveError(e);
            return;
        }
    }
    removeProgress();
    if (aborted) {
        context_.status->show(kAborted);
    } else {
        qDebug() << count << " Images saved in path:" << path;
        context_.status->show(QStringLiteral("Saving images done!"));
    }
}

// ---- helpers ---------------------------------------------------------------------------

std::optional<SaveImageCommands::Choice> SaveImageCommands::ask(DWORD serial, const QString& title)
{
    QStringList names;
    QList<int> values;
    if (const std::shared_ptr<vyk::AnyCamera> camera = context_.camera(serial)) {
        try {
            for (const DataFormatEntry& entry : dataFormats(*camera)) {
                names << entry.name;
                values << entry.value;
            }
        } catch (const vyk::CameraException& e) {
            // Without the camera's own list the universal mono formats stay available.
            qWarning() << "Could not read the data formats of camera: " << serial << e.what();
            names = QStringList{QStringLiteral("Mono 16-bit"), QStringLiteral("Mono 8-bit")};
            values = QList<int>{2, 1};
        }
    }
    SaveImageFileDialog dialog(context_.window, title, folderOf(context_.lastPath), nameFilters(), names, values, 0);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFile().isEmpty()) {
        context_.status->show(QStringLiteral("Filesave aborted by user!"));
        return std::nullopt;
    }
    QString path = dialog.selectedFile();
    if (QFileInfo(path).suffix().isEmpty())
        path += defaultExtension(dialog.selectedNameFilter());
    context_.lastPath = path;
    const int dataFormat = dialog.selectedDataFormat();
    return Choice{path, dataFormat < 0 ? static_cast<int>(vyk::DataFormat::Mono16) : dataFormat};
}

void SaveImageCommands::refuseEnding(const QString& path, const QString& logTail)
{
    qWarning().noquote() << QStringLiteral("Given path or filename/extension is invalid! Given Path:") + path + logTail;
    QMessageBox::information(context_.window, QStringLiteral("Invalid Fileformat"),
                             QStringLiteral("The fileformat you provided is not supported or invalid please select a "
                                            "supported format!"));
    context_.status->show(kAborted);
}

void SaveImageCommands::reportCameraGone(DWORD serial)
{
    qWarning() << "Camera: " << serial << " was removed while its images were being saved. Leaving save Function!";
    context_.status->show(kAborted);
}

void SaveImageCommands::reportSaveError(const std::exception& error)
{
    const auto* camera = dynamic_cast<const vyk::CameraException*>(&error);
    const QString message = camera ? QString::fromStdString(camera->message()) : QString::fromUtf8(error.what());
    qWarning().noquote() << QStringLiteral("Error while saving Image Error was: ") + message
                                + QStringLiteral(" . Leaving save Function!");
    QMessageBox::warning(context_.window, QStringLiteral("Save Error"), QStringLiteral("Error while saving Image"));
    context_.status->show(QStringLiteral("Error saving image: %1").arg(message));
}
