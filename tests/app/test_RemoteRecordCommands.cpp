// The record and preview commands of the main window on remote cameras served by a device
// server on loopback: file recordings into the server's data folder through the format and
// name dialogs, and the refusal of DXR cameras without an active storage segment.
#include "MainWindowFixture.h"

#include "CameraSelectionDialog.h"
#include "CameraSelector.h"
#include "CommandsContext.h"
#include "MainWindow.h"

#include "acquisition/CameraAcquisition.h"
#include "camera/AnyCamera.h"
#include "camera/RamAllocation.h"
#include "widgets/CameraSettingsTree.h"
#include "widgets/VYKTreeComboBox.h"

#include <tiffio.h>

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QInputDialog>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QStatusBar>
#include <QTableWidget>
#include <QTest>

#ifdef RASTEL_DEVSERVER

namespace {

constexpr int kWaitMs = 10000;
constexpr DWORD kRemoteSerial = 5001;
constexpr DWORD kDxrSerial = 6001;
constexpr DWORD kOtherDxrSerial = 6002;

const QString kFormatTitle = QStringLiteral("Select file format");
const QString kNameTitle = QStringLiteral("Remote file name");
const QString kAllocationTitle = QStringLiteral("Allocation error!");
const QString kAllocationText = QStringLiteral(
    "Problem with allocated segments of vyk.dxr.\nMake sure you have segments correctly allocated and chosen an active one.");

const QStringList kFilters{QStringLiteral("TIFF Files (*.tif)"),   QStringLiteral("Multi-TIFF Files (*.tif)"),
                           QStringLiteral("B16 Files (*.b16)"),     QStringLiteral("DICOM Files (*.dcm)"),
                           QStringLiteral("Multi-DICOM Files (*.dcm)"), QStringLiteral("VYKRAW Files (*.vykraw)")};

// What a TIFF file holds: its pages and the first page's size; pages 0 when it cannot be read.
struct TiffContents {
    int pages = 0;
    uint32_t width = 0;
    uint32_t height = 0;
    uint16_t bits = 0;
};

TiffContents readTiff(const QString& path)
{
    TiffContents contents;
    TIFF* tiff = TIFFOpen(path.toLocal8Bit().constData(), "r");
    if (!tiff)
        return contents;
    TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &contents.width);
    TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &contents.height);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_BITSPERSAMPLE, &contents.bits);
    do {
        ++contents.pages;
    } while (TIFFReadDirectory(tiff) == 1);
    TIFFClose(tiff);
    return contents;
}

// Answers the format dialog with filter after checking what it offers.
ModalAnswerer::Handler chooseFormat(const QString& filter)
{
    return [filter](QWidget* widget) {
        auto* dialog = qobject_cast<QInputDialog*>(widget);
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(dialog->labelText(), QStringLiteral("File format:"));
        EXPECT_EQ(dialog->comboBoxItems(), kFilters);
        EXPECT_FALSE(dialog->isComboBoxEditable());
        EXPECT_EQ(dialog->textValue(), kFilters.first());
        dialog->setTextValue(filter);
        dialog->accept();
    };
}

// Answers the name dialog with name (a null name keeps the preset) after checking the preset.
ModalAnswerer::Handler enterName(const QString& name)
{
    return [name](QWidget* widget) {
        auto* dialog = qobject_cast<QInputDialog*>(widget);
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(dialog->labelText(), QStringLiteral("Base name on VRam:"));
        EXPECT_EQ(dialog->textValue(), QStringLiteral("vyk_vram"));
        if (!name.isNull())
            dialog->setTextValue(name);
        dialog->accept();
    };
}

class RemoteRecordTest : public MainWindowTest {
protected:
    void TearDown() override
    {
        // The window releases its cameras on the server, so it goes first.
        window_.reset();
        if (server_.state() != QProcess::NotRunning) {
            server_.terminate();
            EXPECT_TRUE(server_.waitForFinished(5000));
        }
        MainWindowTest::TearDown();
    }

    // Starts the device server on loopback serving cameras; recordings go to serverData().
    void startServer(const nlohmann::json& cameras)
    {
        const QString set = dir_.filePath(QStringLiteral("server-cameras.json"));
        QFile file(set);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArray::fromStdString(nlohmann::json{{"cameras", cameras}}.dump()));
        file.close();
        server_.setProcessChannelMode(QProcess::MergedChannels);
        server_.start(QStringLiteral(RASTEL_DEVSERVER),
                      {"--bind", "127.0.0.1", "--base-port", "0", "--discovery-port", QString::number(discoveryPort_),
                       "--config", set, "--data-dir", serverData(), "--no-light-sources", "--dxr-storage-mib", "1"});
        ASSERT_TRUE(server_.waitForStarted(5000));
        QByteArray output;
        ASSERT_TRUE(QTest::qWaitFor([&] { return (output += server_.readAll()).contains("ready"); }, kWaitMs))
            << output.constData();
    }

    // Builds the window with every camera the server offers, all chosen in the selection dialog.
    MainWindow& openRemoteWindow(int cameraCount)
    {
        setSetting(QStringLiteral("mainWindow/Searchmode"), QStringLiteral("remote"));
        answerer_->on(QStringLiteral("Select Remote Devices"), [cameraCount](QWidget* dialog) {
            auto* selection = qobject_cast<CameraSelectionDialog*>(dialog);
            ASSERT_NE(selection, nullptr);
            ASSERT_EQ(selection->table()->rowCount(), cameraCount);
            for (int row = 0; row < cameraCount; ++row)
                selection->table()->cellWidget(row, 0)->findChild<QCheckBox*>()->setChecked(true);
            selection->findChild<QPushButton*>()->click();
        });
        MainWindow& window = makeWindow(false);
        EXPECT_EQ(window.cameras().size(), static_cast<size_t>(cameraCount));
        return window;
    }

    // One remote camera on a fresh server, its window set to record imageCount images to a file.
    MainWindow& openForRemoteFileRecording(int imageCount)
    {
        startServer(nlohmann::json::array({camera(kRemoteSerial)}));
        MainWindow& window = openRemoteWindow(1);
        setTreeCombo(window, QStringLiteral("Record Mode"), QStringLiteral("File"));
        window.settingsTree()->setImageCount(imageCount);
        return window;
    }

    // Sets a combo row of the window's settings tree (named label) to text, as the user would.
    void setTreeCombo(MainWindow& window, const QString& label, const QString& text)
    {
        auto* combo = window.settingsTree()->findChild<VYKTreeComboBox*>(label);
        ASSERT_NE(combo, nullptr) << label.toStdString();
        const int index = combo->findText(text);
        ASSERT_GE(index, 0) << text.toStdString();
        combo->setCurrentIndex(index);
        ASSERT_EQ(combo->currentText(), text);
    }

    // Waits until the recording of the selected camera is over and the buttons are idle again.
    static void waitForIdle(const CommandsContext& commands)
    {
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return !commands.record->isChecked() && commands.record->isEnabled() && commands.preview->isEnabled(); },
            kWaitMs));
    }

    QString serverData() const { return dir_.filePath(QStringLiteral("server-data")); }
    QStringList serverFiles() const { return QDir(serverData()).entryList(QDir::Files); }

    QProcess server_;
};

QString statusMessageOf(MainWindow& window)
{
    return window.statusBar()->currentMessage();
}

// One segment of the DXR storage for camera serial.
vyk::RamAllocation segment(uint16_t id, double percent, uint32_t serial)
{
    vyk::RamAllocation allocation;
    allocation.alloc_id = id;
    allocation.percent_of_total = percent;
    allocation.camera_serial = serial;
    return allocation;
}

} // namespace

TEST_F(RemoteRecordTest, FileRecordingGoesIntoTheServersDataFolderUnderTheChosenName)
{
    MainWindow& window = openForRemoteFileRecording(3);
    const CommandsContext& commands = window.commandsContext();
    CameraAcquisition& acquisition = *window.acquisitions().at(kRemoteSerial);

    answerer_->on(kFormatTitle, chooseFormat(QStringLiteral("Multi-TIFF Files (*.tif)")));
    answerer_->on(kNameTitle, enterName(QStringLiteral("  test ")));
    commands.record->trigger(); // returns once the server records
    EXPECT_EQ(answerer_->count(kFormatTitle), 1);
    EXPECT_EQ(answerer_->count(kNameTitle), 1);
    EXPECT_EQ(acquisition.settings().mode, AcquisitionSettings::kFile);
    EXPECT_EQ(acquisition.settings().recMode, vyk::RecordMode::Multitif);
    EXPECT_EQ(acquisition.settings().filePath, "test.tif");
    EXPECT_EQ(acquisition.settings().imageCount, 3);
    EXPECT_FALSE(logged(QStringLiteral("Error starting Record")));
    EXPECT_TRUE(statusMessageOf(window).startsWith(QStringLiteral("Started Record with imagecount: ")))
        << statusMessageOf(window).toStdString();
    waitForIdle(commands);

    const QString written = QDir(serverData()).filePath(QStringLiteral("test.tif"));
    ASSERT_TRUE(QFile::exists(written)) << serverFiles().join(QLatin1Char(' ')).toStdString();
    const TiffContents tiff = readTiff(written);
    EXPECT_EQ(tiff.pages, 3);
    EXPECT_EQ(tiff.width, 64u);
    EXPECT_EQ(tiff.height, 48u);
    EXPECT_EQ(tiff.bits, 16);

    // The preset name is the server's own target and takes no extension.
    answerer_->on(kNameTitle, enterName(QString()));
    window.settingsTree()->setImageCount(2);
    commands.record->trigger();
    EXPECT_EQ(acquisition.settings().recMode, vyk::RecordMode::Multitif);
    EXPECT_EQ(acquisition.settings().filePath, "vyk_vram");
    waitForIdle(commands);
    EXPECT_FALSE(logged(QStringLiteral("Error starting Record")));
    EXPECT_EQ(readTiff(QDir(serverData()).filePath(QStringLiteral("vyk_vram"))).pages, 2)
        << serverFiles().join(QLatin1Char(' ')).toStdString();
}

TEST_F(RemoteRecordTest, CancelledOrEmptyRemoteNameStartsNothing)
{
    MainWindow& window = openForRemoteFileRecording(3);
    const CommandsContext& commands = window.commandsContext();
    CameraAcquisition& acquisition = *window.acquisitions().at(kRemoteSerial);

    const auto expectNothingStarted = [&](const char* what) {
        SCOPED_TRACE(what);
        EXPECT_FALSE(acquisition.isRunning());
        EXPECT_FALSE(acquisition.cameraRecording());
        EXPECT_FALSE(commands.record->isChecked());
        EXPECT_TRUE(commands.record->isEnabled());
        EXPECT_TRUE(commands.preview->isEnabled());
        EXPECT_TRUE(serverFiles().isEmpty()) << serverFiles().join(QLatin1Char(' ')).toStdString();
    };

    // The format dialog cancelled (the answerer rejects dialogs it has no handler for).
    commands.record->trigger();
    EXPECT_EQ(answerer_->count(kFormatTitle), 1);
    EXPECT_EQ(answerer_->count(kNameTitle), 0);
    expectNothingStarted("format cancelled");

    // The name dialog cancelled.
    answerer_->on(kFormatTitle, chooseFormat(QStringLiteral("Multi-TIFF Files (*.tif)")));
    commands.record->trigger();
    EXPECT_EQ(answerer_->count(kNameTitle), 1);
    expectNothingStarted("name cancelled");

    // A name of blanks only.
    answerer_->on(kNameTitle, enterName(QStringLiteral("   ")));
    commands.record->trigger();
    EXPECT_EQ(answerer_->count(kNameTitle), 2);
    expectNothingStarted("blank name");
    EXPECT_FALSE(logged(QStringLiteral("Error starting Record")));
}

TEST_F(RemoteRecordTest, DxrCameraWithoutActiveSegmentIsRefusedUntilOneIsAllocated)
{
    // Two DXR cameras share the server's storage; each starts with one active segment.
    startServer(nlohmann::json::array({camera(kDxrSerial, {{"interface", "CLHS_DXR"}}),
                                       camera(kOtherDxrSerial, {{"interface", "CLHS_DXR"}})}));
    MainWindow& window = openRemoteWindow(2);
    ASSERT_EQ(CameraSelector::currentSerial(window.commandsContext().cameraSelector).value_or(0), kDxrSerial);
    const CommandsContext& commands = window.commandsContext();
    CameraAcquisition& acquisition = *window.acquisitions().at(kDxrSerial);
    // Held here too: a camera error would take the window's handle away.
    const std::shared_ptr<vyk::AnyCamera> held = window.cameras().at(kDxrSerial);
    vyk::AnyCamera& camera = *held;
    const auto cameraKept = [&] { return window.acquisitions().count(kDxrSerial) == 1; };

    QStringList texts;
    answerer_->on(kAllocationTitle, [&texts](QWidget* widget) {
        auto* box = qobject_cast<QMessageBox*>(widget);
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->icon(), QMessageBox::Warning);
        texts << box->text();
        box->accept();
    });
    const auto expectRefused = [&](const char* what, int boxes) {
        SCOPED_TRACE(what);
        EXPECT_EQ(answerer_->count(kAllocationTitle), boxes);
        ASSERT_EQ(texts.size(), boxes);
        EXPECT_EQ(texts.last(), kAllocationText);
        EXPECT_FALSE(acquisition.isRunning());
        EXPECT_FALSE(acquisition.cameraRecording());
        EXPECT_FALSE(commands.preview->isChecked());
        EXPECT_FALSE(commands.record->isChecked());
        EXPECT_TRUE(commands.preview->isEnabled());
        EXPECT_TRUE(commands.record->isEnabled());
        EXPECT_FALSE(logged(QStringLiteral("Preview start requested for camera:  6001")));
    };

    // Only the other camera's segment is left: the storage is not empty, but this camera
    // has no active segment.
    camera.setDxrAllocation({});
    ASSERT_FALSE(camera.getDxrAllocation().empty());
    commands.preview->trigger();
    expectRefused("preview, no active segment", 1);
    setTreeCombo(window, QStringLiteral("Record Mode"), QStringLiteral("Sequence"));
    commands.record->trigger();
    expectRefused("record, no active segment", 2);

    // The storage empty altogether.
    window.cameras().at(kOtherDxrSerial)->setDxrAllocation({});
    ASSERT_TRUE(camera.getDxrAllocation().empty());
    commands.record->trigger();
    expectRefused("record, empty storage", 3);

    // A segment of its own becomes the active one: preview and record run.
    camera.setDxrAllocation({segment(1, 100.0, kDxrSerial)});
    ASSERT_GT(camera.getDxrSegment().alloc_id, 0);
    commands.preview->trigger();
    EXPECT_TRUE(acquisition.isRunning());
    EXPECT_TRUE(commands.preview->isChecked());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !cameraKept() || acquisition.cameraRecording(); }, kWaitMs));
    ASSERT_TRUE(cameraKept());
    commands.preview->trigger();
    waitForIdle(commands);

    // A DXR recording takes what the active segment holds, whatever the tree asked for.
    const int64_t capacity = camera.getCamRamMaxImages();
    ASSERT_GT(capacity, 3);
    window.settingsTree()->setImageCount(3);
    commands.record->trigger(); // returns once the recording has started
    EXPECT_TRUE(commands.record->isChecked());
    EXPECT_EQ(acquisition.settings().mode, AcquisitionSettings::kSequence);
    EXPECT_EQ(acquisition.settings().imageCount, capacity);
    EXPECT_EQ(window.settingsTree()->settingValue(QStringLiteral("Image Count")).toLongLong(), capacity);
    EXPECT_EQ(statusMessageOf(window), QStringLiteral("Started Record with imagecount: %1").arg(capacity));
    commands.record->trigger();
    waitForIdle(commands);
    ASSERT_TRUE(cameraKept());
    EXPECT_GT(acquisition.availableImageCount(), 0);
    EXPECT_EQ(answerer_->count(kAllocationTitle), 3);
    EXPECT_FALSE(logged(QStringLiteral("Error starting")));
}

#endif
