#include "RecordCommands.h"

#include "CameraSelector.h"
#include "CommandsContext.h"
#include "HealthMonitor.h"
#include "StatusReporter.h"

#include "acquisition/AcquisitionSettings.h"
#include "acquisition/CameraAcquisition.h"
#include "camera/AnyCamera.h"
#include "camera/CameraException.h"
#include "camera/Configuration.h"
#include "camera/Description.h"
#include "widgets/CameraSettingsTree.h"

#include <QAction>
#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QMessageBox>
#include <QPointer>
#include <QThread>

#include <array>

namespace {

constexpr int kPollIntervalMs = 200;
// The device library's code for a wait that timed out.
constexpr uint32_t kTimeoutCode = 0x80004001u;

const QString kAllocationTitle = QStringLiteral("Allocation error!");
const QString kAllocationText = QStringLiteral(
    "Problem with allocated segments of vyk.dxr.\nMake sure you have segments correctly allocated and chosen an active one.");
const QString kRemotePreset = QStringLiteral("vyk_vram");

struct FileFormat {
    const char* filter;
    vyk::RecordMode mode;
    const char* extension;
};

// In the order in which a chosen filter is matched by its beginning.
const std::array<FileFormat, 6> kFileFormats{{
    {"TIFF Files (*.tif)", vyk::RecordMode::Tif, "tif"},
    {"Multi-TIFF Files (*.tif)", vyk::RecordMode::Multitif, "tif"},
    {"B16 Files (*.b16)", vyk::RecordMode::B16, "b16"},
    {"DICOM Files (*.dcm)", vyk::RecordMode::Dicom, "dcm"},
    {"Multi-DICOM Files (*.dcm)", vyk::RecordMode::Multidicom, "dcm"},
    {"VYKRAW Files (*.vykraw)", vyk::RecordMode::Vykraw, "vykraw"},
}};

QStringList fileFilters()
{
    QStringList filters;
    for (const FileFormat& format : kFileFormats)
        filters << QString::fromLatin1(format.filter);
    return filters;
}

// The format of a chosen filter: the first whose keyword begins it; TIFF otherwise.
const FileFormat& formatOf(const QString& filter)
{
    static const std::array<const char*, 6> keywords{{"TIFF", "Multi-TIFF", "B16", "DICOM", "Multi-DICOM", "VYKRAW"}};
    for (size_t i = 0; i < keywords.size(); ++i) {
        if (filter.startsWith(QLatin1String(keywords[i]), Qt::CaseInsensitive))
            return kFileFormats[i];
    }
    return kFileFormats[0];
}

uint16_t treeTriggerMode(const CameraSettingsTree& tree)
{
    return static_cast<uint16_t>(tree.settingValue(QStringLiteral("Triggermode"), 0).toUInt());
}

DWORD treeSerial(const CameraSettingsTree& tree)
{
    return tree.settingValue(QStringLiteral("Serial"), 0).toUInt();
}

QString folderOf(const QString& path)
{
    return path.isEmpty() ? QCoreApplication::applicationDirPath() : QFileInfo(path).absolutePath();
}

} // namespace

RecordCommands::RecordCommands(CommandsContext& context, QObject* parent)
    : QObject(parent)
    , context_(context)
{
}

// ---- preview ---------------------------------------------------------------------------

void RecordCommands::onPreviewButtonPressed(bool checked)
{
    if (!context_.cameras || context_.cameras->empty() || !context_.settingsTree) {
        withdraw(context_.preview, QStringLiteral("play-solid"), "Preview");
        return;
    }
    const DWORD serial = treeSerial(*context_.settingsTree);
    const uint16_t triggerMode = treeTriggerMode(*context_.settingsTree);
    try {
        const std::shared_ptr<vyk::AnyCamera> camera = context_.camera(serial);
        CameraAcquisition* acquisition = context_.acquisition(serial);
        if (!camera || !acquisition) {
            withdraw(context_.preview, QStringLiteral("play-solid"), "Preview");
            return;
        }
        if (!checked) {
            qInfo() << "Preview stop requested for camera: " << serial;
            acquisition->stopCameraThreads();
            return;
        }
        if (refuseWhileSaving(serial, context_.preview, QStringLiteral("play-solid")))
            return;
        const vyk::Description description = camera->getDescription();
        if (camera->isRemote() && description.interface_type == vyk::InterfaceType::CLHS_DXR
            && !dxrAllocationUsable(*camera, serial)) {
            refuseDxr(context_.preview, QStringLiteral("play-solid"));
            return;
        }
        try {
            updateCameraBitness();
        } catch (const vyk::CameraException& e) {
            qCritical() << "Error updating cameras bitness!" << serial << e.what();
            // The camera is removed right here; nothing of it may be used afterwards.
            emit camError(serial, true);
            return;
        }
        qInfo() << "Preview start requested for camera: " << serial;
        acquisition->settings().setPreview(triggerMode, linesPerImage(description));
        emit recordingInProgress(serial);
        acquisition->startCameraThread();
    } catch (const vyk::CameraException& e) {
        qCritical() << "Error starting Preview" << serial << e.what();
        context_.status->show(QStringLiteral("Error starting preview: %1").arg(QString::fromStdString(e.message())));
        emit camError(serial, true);
    }
}

// ---- record ----------------------------------------------------------------------------

void RecordCommands::onSequenceButtonPressed(bool checked)
{
    // Watched: the events processed below (and the file dialogs) may remove the camera with
    // its acquisition object, or rebuild the panels.
    const QPointer<CameraSettingsTree> tree = context_.settingsTree;
    if (!context_.cameras || context_.cameras->empty() || !tree) {
        withdraw(context_.record, QStringLiteral("circle"), "Record");
        return;
    }
    const DWORD serial = treeSerial(*tree);
    const uint16_t triggerMode = treeTriggerMode(*tree);
    int32_t imageCount = tree->settingValue(QStringLiteral("Image Count"), 0).toInt();
    const QString recordMode = tree->settingValue(QStringLiteral("Record Mode")).toString();
    const std::shared_ptr<vyk::AnyCamera> camera = context_.camera(serial);
    const QPointer<CameraAcquisition> acquisition = context_.acquisition(serial);
    if (!camera || !acquisition) {
        withdraw(context_.record, QStringLiteral("circle"), "Record");
        return;
    }
    try {
        if (!checked) {
            qInfo() << "Record sequence stop requested. Camera: " << serial;
            acquisition->stopCameraThreads();
            return;
        }
        if (refuseWhileSaving(serial, context_.record, QStringLiteral("circle")))
            return;
        qInfo() << "Record sequence start requested. Camera: " << serial << " RecMode: " << recordMode
                << " Imagecount: " << imageCount;
        if (acquisition->isRunning()) {
            qInfo() << "Camera: " << serial << " already had an active task (" << acquisition->settings().mode
                    << "). Stopping it before starting the new recording request.";
            acquisition->stopCameraThreads();
            // The stopped run's end is delivered now, so it cannot reset the buttons of the
            // recording started below.
            QCoreApplication::processEvents();
            if (!acquisition || !tree) {
                reportGoneBeforeStart(serial);
                return;
            }
        }
        updateCameraBitness();
        const vyk::Description description = camera->getDescription();
        AcquisitionSettings& settings = acquisition->settings();

        if (recordMode == QStringLiteral("File")) {
            if (startFileRecording(serial, *camera, triggerMode, imageCount) && acquisition)
                reportMemoryCount(*acquisition, imageCount);
            return;
        }

        // DXR storage exists on remote cameras only; a local camera reading as DXR records as usual.
        if (camera->isRemote() && description.interface_type == vyk::InterfaceType::CLHS_DXR) {
            if (!dxrAllocationUsable(*camera, serial)) {
                refuseDxr(context_.record, QStringLiteral("circle"));
                return;
            }
            imageCount = static_cast<int32_t>(camera->getCamRamMaxImages());
        }
        const bool camRam = recordMode == QStringLiteral("Sequence CamRam")
                            || recordMode == QStringLiteral("Ring Buffer CamRam");
        settings.mode = AcquisitionSettings::kSequence;
        settings.noFirstImageWait = false;
        settings.triggerMode = triggerMode;
        settings.linesPerImage = linesPerImage(description);
        if (camRam) {
            const int64_t maximum = camera->getCamRamMaxImages();
            if (imageCount > maximum) {
                imageCount = static_cast<int32_t>(maximum);
                tree->setImageCount(imageCount);
            }
            settings.recMode = recordMode == QStringLiteral("Sequence CamRam") ? vyk::RecordMode::CamramSegment
                                                                                : vyk::RecordMode::CamramRing;
            settings.imageCount = imageCount;
            emit recordingInProgress(serial);
            acquisition->startCameraThread();
            context_.status->show(QStringLiteral("Started Record using CamRam with imagecount: %1").arg(imageCount));
            return;
        }
        settings.recMode = recordMode == QStringLiteral("Ring Buffer") ? vyk::RecordMode::RingBuffer
                                                                        : vyk::RecordMode::SequenceNonBlocking;
        settings.imageCount = imageCount;
        // A start signal left over from a run whose wait gave up must not pass this wait.
        while (recordingStartedSemaphore().tryAcquire()) {
        }
        emit recordingInProgress(serial);
        acquisition->startCameraThread();
        waitForSequenceStart(*acquisition);
        reportMemoryCount(*acquisition, imageCount);
    } catch (const vyk::CameraException& e) {
        qCritical() << "Error starting Record" << serial << e.what();
        context_.status->show(QStringLiteral("Error starting record: %1").arg(QString::fromStdString(e.message())));
        emit camError(serial, true);
    }
}

bool RecordCommands::startFileRecording(DWORD serial, vyk::AnyCamera& camera, uint16_t triggerMode, int32_t imageCount)
{
    const std::optional<FileTarget> target = camera.isRemote() ? chooseRemoteFile() : chooseLocalFile(serial);
    if (!target) {
        onRecordingDone(serial);
        return false;
    }
    // The dialogs ran event loops, in which the camera may have been removed.
    CameraAcquisition* acquisition = context_.acquisition(serial);
    if (!acquisition) {
        reportGoneBeforeStart(serial);
        return false;
    }
    AcquisitionSettings& settings = acquisition->settings();
    settings.mode = AcquisitionSettings::kFile;
    settings.recMode = target->mode;
    settings.noFirstImageWait = false;
    settings.triggerMode = triggerMode;
    settings.imageCount = imageCount;
    settings.filePath = target->path;
    settings.linesPerImage = -1;
    emit recordingInProgress(serial);
    acquisition->startCameraThread();
    // A camera that never starts recording must not hold the window for ever. A short
    // recording may be over before the first poll, and a run that ended by itself reports
    // its own errors: neither is a start failure. The worker thread uses the camera from
    // now on, so every question goes through the acquisition object.
    const auto deadline = std::chrono::steady_clock::now() + startTimeout_;
    while (!acquisition->cameraRecording() && acquisition->isRunning()
           && acquisition->cameraRecordedImageCount() <= 0) {
        if (std::chrono::steady_clock::now() >= deadline)
            throw vyk::CameraException("File recording did not start", kTimeoutCode);
        QThread::msleep(kPollIntervalMs);
    }
    return true;
}

std::optional<RecordCommands::FileTarget> RecordCommands::chooseLocalFile(DWORD serial)
{
    QFileDialog dialog(context_.window, QStringLiteral("Save Sequence"), folderOf(context_.lastPath));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilters(fileFilters());
    dialog.setSizeGripEnabled(false);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    QString chosen = dialog.selectedFiles().first();
    const FileFormat& format = formatOf(dialog.selectedNameFilter());
    if (QFileInfo(chosen).suffix().isEmpty())
        chosen += QLatin1Char('.') + QLatin1String(format.extension);
    context_.lastPath = chosen;
    const QFileInfo file(chosen);
    const int position = CameraSelector::indexOf(context_.cameraSelector, serial) + 1;
    const QString name = QStringLiteral("%1Cam0%2.%3").arg(file.completeBaseName()).arg(position).arg(file.suffix());
    return FileTarget{format.mode, QDir(file.absolutePath()).filePath(name).toStdString()};
}

std::optional<RecordCommands::FileTarget> RecordCommands::chooseRemoteFile()
{
    bool ok = false;
    const QString filter = QInputDialog::getItem(context_.window, QStringLiteral("Select file format"),
                                                 QStringLiteral("File format:"), fileFilters(), 0, false, &ok);
    if (!ok)
        return std::nullopt;
    const QString name = QInputDialog::getText(context_.window, QStringLiteral("Remote file name"),
                                               QStringLiteral("Base name on VRam:"), QLineEdit::Normal, kRemotePreset, &ok)
                             .trimmed();
    if (!ok || name.isEmpty())
        return std::nullopt;
    const FileFormat& format = formatOf(filter);
    // The preset name is the server's own recording target and takes no extension.
    const QString path = name == kRemotePreset ? name : name + QLatin1Char('.') + QLatin1String(format.extension);
    return FileTarget{format.mode, path.toStdString()};
}

void RecordCommands::waitForSequenceStart(CameraAcquisition& acquisition)
{
    // The sequence thread releases the semaphore once its start phase is over; a thread
    // that never ran (camera released) would leave the window waiting for ever.
    if (!acquisition.isRunning() && acquisition.availableImageCount() < 0)
        throw vyk::CameraException("Recording did not start", kTimeoutCode);
    if (!recordingStartedSemaphore().tryAcquireFor(startTimeout_))
        throw vyk::CameraException("Recording did not start", kTimeoutCode);
}

void RecordCommands::reportMemoryCount(CameraAcquisition& acquisition, int32_t requested)
{
    if (!context_.settingsTree)
        return;
    const int32_t holds = acquisition.maxImageCount();
    context_.settingsTree->setImageCount(holds);
    if (holds < requested)
        context_.status->show(QStringLiteral("Required Image count too much for system memory. Reduced to: %1").arg(holds));
    else
        context_.status->show(QStringLiteral("Started Record with imagecount: %1").arg(holds));
}

bool RecordCommands::dxrAllocationUsable(vyk::AnyCamera& camera, DWORD serial)
{
    try {
        return !camera.getDxrAllocation().empty() && camera.getDxrSegment().alloc_id > 0;
    } catch (const vyk::CameraException& e) {
        qWarning() << "Could not read the DXR allocation of camera: " << serial << e.what();
        return false;
    }
}

void RecordCommands::withdraw(QAction* action, const QString& iconName, const char* command)
{
    qInfo() << command << " can not start: no camera, settings or acquisition object";
    context_.setActionState(action, iconName, false, action ? action->isEnabled() : false);
}

bool RecordCommands::refuseWhileSaving(DWORD serial, QAction* action, const QString& iconName)
{
    if (context_.savingAllOf != serial)
        return false;
    qInfo() << "Camera: " << serial << " is saving its images; no new run before saving ends.";
    context_.status->show(QStringLiteral("Saving images... Press ESC to abort!"));
    context_.setActionState(action, iconName, false, action ? action->isEnabled() : false);
    return true;
}

void RecordCommands::reportGoneBeforeStart(DWORD serial)
{
    qWarning() << "Camera: " << serial << " was removed before its recording could start.";
}

void RecordCommands::refuseDxr(QAction* action, const QString& iconName)
{
    QMessageBox::warning(context_.window, kAllocationTitle, kAllocationText);
    context_.setActionState(action, iconName, false, action ? action->isEnabled() : false);
}

int32_t RecordCommands::linesPerImage(const vyk::Description& description) const
{
    if (description.line_sensor_mode != 1 || !context_.settingsTree)
        return -1;
    return context_.settingsTree->settingValue(QStringLiteral("Lines per Image"), -1).toInt();
}

// ---- trigger and state -----------------------------------------------------------------

void RecordCommands::onSoftTriggerButtonPressed()
{
    if (!context_.cameras || context_.cameras->empty() || !context_.settingsTree)
        return;
    const DWORD serial = treeSerial(*context_.settingsTree);
    qInfo() << "Trigger for camera: " << serial << " requested";
    if (CameraAcquisition* acquisition = context_.acquisition(serial))
        acquisition->triggerCamera(serial);
}

void RecordCommands::onRecordingInProgress()
{
    if (!context_.settingsTree)
        return;
    const DWORD serial = treeSerial(*context_.settingsTree);
    const uint16_t triggerMode = treeTriggerMode(*context_.settingsTree);
    qDebug() << "Entered onRecordingInProgress with camera: " << serial;
    const CameraAcquisition* acquisition = context_.acquisition(serial);
    const bool recording = acquisition && acquisition->settings().mode != AcquisitionSettings::kPreview;
    if (context_.trigger) {
        const bool blocked = context_.trigger->blockSignals(true);
        context_.trigger->setEnabled(triggerMode != 0);
        context_.trigger->blockSignals(blocked);
    }
    if (recording) {
        context_.setActionState(context_.preview, QStringLiteral("play-solid"), false, false);
        context_.setActionState(context_.record, QStringLiteral("square"), true, true);
    } else {
        context_.setActionState(context_.preview, QStringLiteral("square"), true, true);
        context_.setActionState(context_.record, QStringLiteral("circle"), false, false);
    }
    for (QAction* action : {context_.scan, context_.saveAll, context_.saveAs}) {
        if (action)
            action->setEnabled(false);
    }
    qDebug() << "Adapted GUI to Recording state ON of camera: " << serial;
    if (context_.health)
        context_.health->clearIgnoreWarnings();
    qDebug() << "Leave onRecordingInProgress with camera: " << serial;
}

void RecordCommands::onRecordingDone(DWORD serialNo)
{
    qInfo() << "Entered onRecordingDone with camera: " << serialNo;
    if (CameraSelector::currentSerial(context_.cameraSelector) == serialNo) {
        context_.setActionState(context_.preview, QStringLiteral("play-solid"), false, true);
        context_.setActionState(context_.record, QStringLiteral("circle"), false, true);
        if (context_.trigger) {
            const bool blocked = context_.trigger->blockSignals(true);
            context_.trigger->setEnabled(false);
            context_.trigger->blockSignals(blocked);
        }
        for (QAction* action : {context_.saveAll, context_.saveAs}) {
            if (action)
                action->setEnabled(true);
        }
        qDebug() << "Adapted GUI to Recording state OFF of camera: " << serialNo;
    }
    if (context_.scan) {
        context_.scan->setEnabled(true);
        if (context_.anyCameraRecording())
            context_.scan->setEnabled(false);
    }
    if (context_.health)
        context_.health->clearIgnoreWarnings();
    qDebug() << "Leave onRecordingDone with camera: " << serialNo;
}

void RecordCommands::onRecordingFailed(DWORD serial, const QString& error)
{
    const QString text = QStringLiteral("The recording of camera %1 stopped early: the files could not be written.\n"
                                        "%2\nThe images recorded until then are saved.")
                                 .arg(serial)
                                 .arg(error);
    if (context_.statusBar)
        context_.statusBar->showMessage(QStringLiteral("Recording of camera %1 stopped early").arg(serial));
    QMessageBox::warning(context_.window, QStringLiteral("Recording stopped"), text);
}

void RecordCommands::onImagesLost(DWORD serial, quint64 count)
{
    if (context_.statusBar)
        context_.statusBar->showMessage(QStringLiteral("Camera %1 lost %2 images").arg(serial).arg(count));
}

void RecordCommands::onPlaybackStateChanged(DWORD serial, bool running)
{
    if (CameraSelector::currentSerial(context_.cameraSelector) != serial)
        return;
    const CameraAcquisition* acquisition = context_.acquisition(serial);
    const bool busy = running || (acquisition && acquisition->isRunning());
    for (QAction* action : {context_.preview, context_.record}) {
        if (!action)
            continue;
        action->setEnabled(!busy);
        if (!busy)
            action->setChecked(false);
    }
    if (context_.trigger)
        context_.trigger->setEnabled(false);
}

void RecordCommands::onDataformatChanged(DWORD serial, const QString& format)
{
    qInfo() << "Changed Dataformat of camera: " << serial;
    if (CameraAcquisition* acquisition = context_.acquisition(serial))
        acquisition->setDataFormat(serial, format);
}

void RecordCommands::updateCameraBitness()
{
    if (!context_.cameras)
        return;
    for (const auto& [serial, camera] : *context_.cameras) {
        const vyk::Description description = camera->getDescription();
        const vyk::Configuration configuration = camera->getConfiguration();
        if (description.pixel_format_vec.size() < 2)
            continue;
        int bits = description.bit_resolution;
        // One flag names the depth; the highest set flag wins.
        static const std::array<std::pair<uint32_t, int>, 5> flags{
            {{0x10, 8}, {0x8, 10}, {0x4, 12}, {0x2, 14}, {0x1, 16}}};
        for (const auto& [flag, depth] : flags) {
            if (configuration.pixel_format & flag) {
                bits = depth;
                break;
            }
        }
        if (context_.setBitDepth)
            context_.setBitDepth(serial, bits);
    }
}
