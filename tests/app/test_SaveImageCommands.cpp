// Image saving commands against a simulated camera with a recorded sequence: the dialog's
// data-format lists, the default extension, the path check, the non-overwriting names,
// "Save latest Image" reusing the last path, the Escape abort, and files read back by the
// TIFF and DICOM tools.

#include "test_CommandsFixture.h"

#include "tests/support/FileMetadataCheck.h"
#include "widgets/SaveImageFileDialog.h"

#include <QComboBox>
#include <QDir>
#include <QProcess>
#include <QProgressBar>
#include <QShortcut>
#include <QTest>

namespace {

// Answers a SaveImageFileDialog with file under filter and data format name.
ModalAnswerer::Handler saveAs(const QString& file, const QString& filter = QString(),
                              const QString& format = QString())
{
    return [=](QWidget* widget) {
        auto* dialog = qobject_cast<SaveImageFileDialog*>(widget);
        ASSERT_NE(dialog, nullptr);
        if (!filter.isEmpty()) {
            dialog->selectNameFilter(filter);
            dialog->onNameFilterChanged(filter);
        }
        if (!format.isEmpty())
            dialog->formatCombo()->setCurrentText(format);
        dialog->selectFile(file);
        static_cast<QDialog*>(dialog)->accept();
    };
}

QStringList comboTexts(const QComboBox* combo)
{
    QStringList texts;
    for (int i = 0; i < combo->count(); ++i)
        texts << combo->itemText(i);
    return texts;
}

QString run(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished(10000);
    return QString::fromUtf8(process.readAllStandardOutput() + process.readAllStandardError());
}

} // namespace

TEST_F(CommandsTest, SaveDialogFormatListsFollowTheFilter)
{
    useCameras(nlohmann::json::array({camera(11)}));
    build();
    const QStringList mono{QStringLiteral("Mono 16-bit"), QStringLiteral("Mono 8-bit")};
    QStringList names;
    QList<int> values;
    for (const auto& entry : SaveImageCommands::dataFormats(*cameras_.at(11))) {
        names << entry.name;
        values << entry.value;
    }
    EXPECT_EQ(names, mono);
    EXPECT_EQ(values, (QList<int>{2, 1}));

    const QStringList colour{QStringLiteral("Mono 16-bit"), QStringLiteral("BGR 8-bit"), QStringLiteral("BGRA 8-bit"),
                             QStringLiteral("RGB 8-bit"), QStringLiteral("RGBA 8-bit"), QStringLiteral("RGB 16-bit"),
                             QStringLiteral("BGR 16-bit")};
    SaveImageFileDialog dialog(host_.get(), QStringLiteral("Save Current Image"), dir_.path(),
                               SaveImageCommands::nameFilters(), colour, {2, 3, 4, 5, 6, 7, 8}, 99);
    QComboBox* combo = dialog.formatCombo();
    ASSERT_NE(combo, nullptr);
    EXPECT_EQ(combo->currentText(), QStringLiteral("BGR 16-bit")); // index clamped to the list
    combo->setCurrentIndex(2);
    emit combo->activated(2); // the user picks BGRA
    dialog.onNameFilterChanged(QStringLiteral("B16 Files (*.b16)"));
    EXPECT_EQ(comboTexts(combo), QStringList{QStringLiteral("Mono 16-bit")});
    EXPECT_EQ(dialog.selectedDataFormat(), 2);
    dialog.onNameFilterChanged(QStringLiteral("DICOM Files (*.dcm)"));
    EXPECT_FALSE(comboTexts(combo).contains(QStringLiteral("BGRA 8-bit")));
    EXPECT_FALSE(comboTexts(combo).contains(QStringLiteral("RGBA 8-bit")));
    EXPECT_EQ(comboTexts(combo).size(), 5);
    dialog.onNameFilterChanged(QStringLiteral("TIFF Files (*.tif *.tiff)"));
    EXPECT_EQ(comboTexts(combo), colour);
    EXPECT_EQ(combo->currentText(), QStringLiteral("BGRA 8-bit"));
    EXPECT_EQ(dialog.selectedDataFormat(), 4);
}

TEST_F(CommandsTest, SaveOneImageInEachFormatWithoutOverwriting)
{
    build();
    recordDirectly(11, 5);
    const QDir folder(dir_.filePath(QStringLiteral("save")));
    QDir().mkpath(folder.path());

    answerer_->on(QStringLiteral("Save Current Image"), saveAs(folder.filePath(QStringLiteral("img.tif"))));
    save_->onSaveOneImageClicked(true);
    EXPECT_TRUE(QFile::exists(folder.filePath(QStringLiteral("img.tif"))));
    EXPECT_EQ(statusText(), QStringLiteral("Saved image to: %1").arg(folder.filePath(QStringLiteral("img.tif"))));

    // "Save latest Image" writes to the last path again without asking, under a new name.
    save_->onSaveOneImageClicked(false);
    EXPECT_EQ(answerer_->count(QStringLiteral("Save Current Image")), 1);
    EXPECT_TRUE(QFile::exists(folder.filePath(QStringLiteral("img_1.tif"))));

    answerer_->on(QStringLiteral("Save Current Image"),
                  saveAs(folder.filePath(QStringLiteral("raw")), QStringLiteral("B16 Files (*.b16)")));
    save_->onSaveOneImageClicked(true);
    EXPECT_TRUE(QFile::exists(folder.filePath(QStringLiteral("raw.b16"))));

    // No suffix under the DICOM filter: ".dcm" is appended.
    answerer_->on(QStringLiteral("Save Current Image"),
                  saveAs(folder.filePath(QStringLiteral("scan")), QStringLiteral("DICOM Files (*.dcm)"),
                         QStringLiteral("Mono 8-bit")));
    save_->onSaveOneImageClicked(true);
    EXPECT_TRUE(QFile::exists(folder.filePath(QStringLiteral("scan.dcm"))));
    EXPECT_EQ(context_.lastPath, folder.filePath(QStringLiteral("scan.dcm")));
    EXPECT_TRUE(run(QStringLiteral("dcmdump"), {folder.filePath(QStringLiteral("scan.dcm"))}).contains(QStringLiteral("(0028,0100) US 8")));

    // ".png" is refused and nothing is written.
    answerer_->on(QStringLiteral("Save Current Image"), saveAs(folder.filePath(QStringLiteral("pic.png"))));
    save_->onSaveOneImageClicked(true);
    EXPECT_EQ(answerer_->count(QStringLiteral("Invalid Fileformat")), 1);
    EXPECT_FALSE(QFile::exists(folder.filePath(QStringLiteral("pic.png"))));
    EXPECT_EQ(statusText(), QStringLiteral("Saving aborted!"));

    // Cancelled.
    answerer_->on(QStringLiteral("Save Current Image"), [](QWidget* dialog) { qobject_cast<QDialog*>(dialog)->reject(); });
    save_->onSaveOneImageClicked(true);
    EXPECT_EQ(statusText(), QStringLiteral("Filesave aborted by user!"));
}

TEST_F(CommandsTest, SaveCurrentImageWithNothingRecordedReportsTheError)
{
    build();
    const QString path = dir_.filePath(QStringLiteral("empty.tif"));
    answerer_->on(QStringLiteral("Save Current Image"), saveAs(path));
    save_->onSaveOneImageClicked(true);
    EXPECT_EQ(answerer_->count(QStringLiteral("Save Error")), 1);
    EXPECT_TRUE(statusText().startsWith(QStringLiteral("Error saving image: "))) << statusText().toStdString();
    EXPECT_FALSE(QFile::exists(path));
}

TEST_F(CommandsTest, SaveAllImagesReadBackAsTiffAndDicom)
{
    build();
    recordDirectly(11, 4);
    const QDir folder(dir_.filePath(QStringLiteral("all")));
    QDir().mkpath(folder.path());
    answerer_->on(QStringLiteral("Save All Images"), saveAs(folder.filePath(QStringLiteral("seq.tif"))));
    save_->onSaveAllImagesClicked();
    EXPECT_EQ(statusText(), QStringLiteral("Saving images done!"));
    const QStringList tiffs = folder.entryList({QStringLiteral("*.tif")}, QDir::Files, QDir::Name);
    ASSERT_EQ(tiffs.size(), 4);
    const QString info = run(QStringLiteral("tiffinfo"), {folder.filePath(tiffs.last())});
    EXPECT_TRUE(info.contains(QStringLiteral("Image Width: 64 Image Length: 48"))) << info.toStdString();
    EXPECT_TRUE(info.contains(QStringLiteral("Bits/Sample: 16"))) << info.toStdString();

    answerer_->on(QStringLiteral("Save All Images"),
                  saveAs(folder.filePath(QStringLiteral("seq")), QStringLiteral("DICOM Files (*.dcm)")));
    save_->onSaveAllImagesClicked();
    const QStringList dicoms = folder.entryList({QStringLiteral("*.dcm")}, QDir::Files, QDir::Name);
    ASSERT_EQ(dicoms.size(), 4);
    const QString dump = run(QStringLiteral("dcmdump"), {folder.filePath(dicoms.first())});
    EXPECT_TRUE(dump.contains(QStringLiteral("(0028,0010) US 48"))) << dump.toStdString();
    EXPECT_TRUE(dump.contains(QStringLiteral("(0028,0011) US 64"))) << dump.toStdString();

    // Every saved file names the camera; the TIFF files' planes are OME-XML, the DICOM files
    // pass dciodvfy.
    filecheck::Expected expected;
    expected.cameraName = cameras_.at(11)->getName();
    expected.serial = 11;
    expected.exposureS = cameras_.at(11)->getConfiguration().exposure_time_s;
    for (const QString& tiff : tiffs)
        EXPECT_TRUE(filecheck::isOmeTiff(folder.filePath(tiff).toStdString(), expected));
    for (const QString& dicom : dicoms)
        EXPECT_TRUE(filecheck::isDicom(folder.filePath(dicom).toStdString(), false, expected));
    // The progress widgets and the shortcut are gone.
    EXPECT_EQ(host_->findChildren<QShortcut*>().size(), 0);
}

TEST_F(CommandsTest, EscapeStopsSaveAllAfterTheCurrentImage)
{
    build();
    recordDirectly(11, 5);
    const QDir folder(dir_.filePath(QStringLiteral("esc")));
    QDir().mkpath(folder.path());
    answerer_->on(QStringLiteral("Save All Images"), [&](QWidget* widget) {
        saveAs(folder.filePath(QStringLiteral("seq.b16")))(widget);
        // Pressed while the first image is written.
        QTimer::singleShot(0, host_.get(), [&] {
            auto* escape = host_->findChild<QShortcut*>();
            ASSERT_NE(escape, nullptr);
            EXPECT_EQ(escape->key(), QKeySequence(Qt::Key_Escape));
            // The key itself needs an active window, which the test display does not grant.
            emit escape->activated();
        });
    });
    save_->onSaveAllImagesClicked();
    EXPECT_EQ(statusText(), QStringLiteral("Saving aborted!"));
    EXPECT_EQ(folder.entryList(QDir::Files).size(), 1);
    EXPECT_EQ(host_->findChildren<QShortcut*>().size(), 0);
}

TEST_F(CommandsTest, SaveAllWithInvalidPathCleansUp)
{
    build();
    recordDirectly(11, 2);
    answerer_->on(QStringLiteral("Save All Images"), saveAs(dir_.filePath(QStringLiteral("seq.png"))));
    save_->onSaveAllImagesClicked();
    EXPECT_EQ(answerer_->count(QStringLiteral("Invalid Fileformat")), 1);
    EXPECT_EQ(statusText(), QStringLiteral("Saving aborted!"));
    EXPECT_EQ(host_->findChildren<QShortcut*>().size(), 0);
    EXPECT_EQ(host_->statusBar()->findChildren<QProgressBar*>().size(), 0);
}
