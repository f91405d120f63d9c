// The shell's small parts on their own: health texts, the remote-usage rules, the About
// box, the greeting, the selection and setup dialogs and the tool-bar pop-up.
#include "MainWindowFixture.h"

#include "AboutBox.h"
#include "CameraScanner.h"
#include "CameraSelectionDialog.h"
#include "CameraSetup.h"
#include "GenicamSetting.h"
#include "HealthMonitor.h"
#include "MainWindow.h"
#include "VYKToolbarPopup.h"

#include "widgets/VYKDialog.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QTableWidget>
#include <QTest>
#include <QTreeWidget>
#include <QVBoxLayout>

TEST(HealthTexts, LowestSetBitDecides)
{
    EXPECT_EQ(HealthMonitor::warningText(0x6), QStringLiteral("Power supply temperature near limit"));
    EXPECT_EQ(HealthMonitor::warningText(0x20), QStringLiteral("Offset regulation range near limit"));
    EXPECT_EQ(HealthMonitor::warningText(0x41), QStringLiteral("Power supply voltage near limits"));
    EXPECT_EQ(HealthMonitor::warningText(0x40), QStringLiteral("Unknown Camera Warning occured:0x40"));
    EXPECT_EQ(HealthMonitor::errorText(0x10 | 0x20000), QStringLiteral("External battery completely discharged"));
    EXPECT_EQ(HealthMonitor::errorText(0x80000 | 0x20), QStringLiteral("Camera head board failure"));
    EXPECT_EQ(HealthMonitor::errorText(0x20), QStringLiteral("Unknown Camera Error occured: 0x20"));
}

class RemoteUsageTest : public MainWindowTest {
protected:
    // Answers the question with button, ticking "Do not ask again" when tick.
    void answerWith(QMessageBox::StandardButton button, bool tick)
    {
        answerer_->on(QStringLiteral("Remote Devices"), [button, tick](QWidget* dialog) {
            auto* box = qobject_cast<QMessageBox*>(dialog);
            ASSERT_NE(box, nullptr);
            box->checkBox()->setChecked(tick);
            box->button(button)->click();
        });
    }
};

TEST_F(RemoteUsageTest, RemoteModeNeverAsksAndStopsAsking)
{
    EXPECT_TRUE(CameraScanner::askRemoteUsage(QStringLiteral("remote"), nullptr));
    EXPECT_EQ(setting(QStringLiteral("mainWindow/AskRemoteUsage")).toString(), QStringLiteral("false"));
    EXPECT_EQ(answerer_->count(QStringLiteral("Remote Devices")), 0);
}

TEST_F(RemoteUsageTest, WithoutAskingLocalSaysNoAndAllSaysYes)
{
    setSetting(QStringLiteral("mainWindow/AskRemoteUsage"), false);
    EXPECT_FALSE(CameraScanner::askRemoteUsage(QStringLiteral("local"), nullptr));
    EXPECT_TRUE(CameraScanner::askRemoteUsage(QStringLiteral("all"), nullptr));
    EXPECT_TRUE(CameraScanner::askRemoteUsage(QStringLiteral("other"), nullptr));
    EXPECT_EQ(answerer_->count(QStringLiteral("Remote Devices")), 0);
}

TEST_F(RemoteUsageTest, AnswersAndTheTickDecideTheStoredMode)
{
    answerWith(QMessageBox::No, true);
    EXPECT_FALSE(CameraScanner::askRemoteUsage(QStringLiteral("all"), nullptr));
    EXPECT_EQ(setting(QStringLiteral("mainWindow/Searchmode")).toString(), QStringLiteral("local"));
    EXPECT_FALSE(setting(QStringLiteral("mainWindow/AskRemoteUsage")).toBool());

    // Untick: asked again next time, mode untouched.
    setSetting(QStringLiteral("mainWindow/AskRemoteUsage"), true);
    setSetting(QStringLiteral("mainWindow/Searchmode"), QStringLiteral("all"));
    answerWith(QMessageBox::Yes, false);
    EXPECT_TRUE(CameraScanner::askRemoteUsage(QStringLiteral("all"), nullptr));
    EXPECT_TRUE(setting(QStringLiteral("mainWindow/AskRemoteUsage")).toBool());
    EXPECT_EQ(setting(QStringLiteral("mainWindow/Searchmode")).toString(), QStringLiteral("all"));

    // Local mode, Yes without the tick: used this time only.
    setSetting(QStringLiteral("mainWindow/Searchmode"), QStringLiteral("local"));
    EXPECT_TRUE(CameraScanner::askRemoteUsage(QStringLiteral("local"), nullptr));
    EXPECT_EQ(setting(QStringLiteral("mainWindow/Searchmode")).toString(), QStringLiteral("local"));
    EXPECT_EQ(answerer_->count(QStringLiteral("Remote Devices")), 3);
}

TEST(AboutBoxTest, ReportsTheQtVersionInUseAndTheBuild)
{
    const QString text = AboutBox::text();
    EXPECT_TRUE(text.startsWith(QStringLiteral("<b>Rastel</b><br>Version: 1.1.1.0<br><br>")));
    EXPECT_TRUE(text.contains(QStringLiteral("Built with Qt ") + QLatin1String(qVersion()) + QStringLiteral("<br>Compiled: ")));
    // The date and time the about box was compiled, as the compiler writes them ("Dec  9 2026
    // 01:32:07"); not this file's own, which may have been compiled on another day.
    EXPECT_TRUE(text.contains(QRegularExpression(
        QStringLiteral("<br>Compiled: [A-Z][a-z]{2} [ 1-3][0-9] [0-9]{4} [0-2][0-9]:[0-5][0-9]:[0-5][0-9]<br>"))));
    EXPECT_TRUE(text.endsWith(QStringLiteral("style=\"color:#ffaa00;\">Visit our website</a>")));
}

TEST(AprilGreeting, OnlyOnTheFirstOfAprilAndAlternatingColours)
{
    EXPECT_EQ(AboutBox::showAprilGreeting(QDate(2026, 4, 2)), nullptr);
    EXPECT_EQ(AboutBox::showAprilGreeting(QDate(2026, 3, 1)), nullptr);
    QPointer<QMessageBox> box = AboutBox::showAprilGreeting(QDate(2026, 4, 1));
    ASSERT_FALSE(box.isNull());
    EXPECT_FALSE(box->isModal());
    EXPECT_EQ(box->parent(), nullptr);
    EXPECT_EQ(box->windowTitle(), QString::fromUtf8("\xF0\x9F\x8E\x89 Cheers!"));
    EXPECT_EQ(box->text(), QStringLiteral("Happy April Fools' Day!"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !box->styleSheet().isEmpty(); }, 5000));
    const QString first = box->styleSheet();
    ASSERT_TRUE(QTest::qWaitFor([&] { return box->styleSheet() != first; }, 5000));
    EXPECT_TRUE((QStringList{"background-color: magenta;", "background-color: yellow;"}).contains(box->styleSheet()));
    box->close();
    ASSERT_TRUE(QTest::qWaitFor([&] { return box.isNull(); }, 5000));
}

TEST(SelectionDialog, ListsEntriesAndReturnsTheTickedOnesInOrder)
{
    std::vector<vyk::DeviceEntry> entries{{"camera", "127.0.0.2", 8080, "First", 5, true},
                                          {"camera", "127.0.0.3", 8081, "Second", 6, true},
                                          {"camera", "127.0.0.4", 8082, "Third", 7, true}};
    CameraSelectionDialog dialog(entries);
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Select Remote Devices"));
    QTableWidget* table = dialog.table();
    ASSERT_EQ(table->rowCount(), 3);
    ASSERT_EQ(table->columnCount(), 6);
    EXPECT_EQ(table->horizontalHeaderItem(5)->text(), QStringLiteral("Name"));
    EXPECT_EQ(table->item(1, 2)->text(), QStringLiteral("8081"));
    EXPECT_EQ(table->item(2, 4)->text(), QStringLiteral("7"));
    EXPECT_FALSE(table->item(0, 1)->flags() & Qt::ItemIsEditable);
    EXPECT_TRUE(dialog.selectedEntries().empty());

    table->cellWidget(2, 0)->findChild<QCheckBox*>()->setChecked(true);
    table->cellWidget(0, 0)->findChild<QCheckBox*>()->setChecked(true);
    const auto selected = dialog.selectedEntries();
    ASSERT_EQ(selected.size(), 2u);
    EXPECT_EQ(selected[0].serial, 5u);
    EXPECT_EQ(selected[1].serial, 7u);

    dialog.findChild<QPushButton*>()->click();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
}

TEST(SelectionDialog, ColumnsShowTheirWholeContents)
{
    std::vector<vyk::DeviceEntry> entries{
        {"camera", "127.0.0.2", 8080, "Line scan camera on the inspection bench, left side (spare unit)", 5, true},
        {"camera-with-a-long-device-type", "127.100.200.250", 65535, "Short", 4294967295u, true}};
    CameraSelectionDialog dialog(entries);
    dialog.show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return dialog.isVisible(); }, 5000));
    QApplication::processEvents();
    QTableWidget* table = dialog.table();
    const QHeaderView* header = table->horizontalHeader();
    for (int column = 0; column < table->columnCount(); ++column) {
        SCOPED_TRACE(table->horizontalHeaderItem(column)->text().toStdString());
        // QTableView hides the item views' public content width.
        EXPECT_GE(header->sectionSize(column), static_cast<const QAbstractItemView*>(table)->sizeHintForColumn(column));
        EXPECT_GE(header->sectionSize(column), header->sectionSizeHint(column));
        // Shown whole in the table, without scrolling.
        EXPECT_GE(header->sectionViewportPosition(column), 0);
        EXPECT_LE(header->sectionViewportPosition(column) + header->sectionSize(column), table->viewport()->width());
    }
    // The name column still takes the room that is left.
    EXPECT_TRUE(header->stretchLastSection());
    EXPECT_GE(dialog.width(), 650);
    dialog.close();
}

TEST(CameraSetupDialog, OnePixelFormatShowsOnlyTheSettingsRow)
{
    vyk::Configuration configuration;
    configuration.pixel_format = 0x1;
    vyk::Description description;
    description.pixel_format_vec = {0x1};
    CameraSetup single(configuration, description);
    // "Settings", the device servers' token under "Remote Access", then "GenICam".
    ASSERT_EQ(single.tree()->topLevelItemCount(), 3);
    EXPECT_EQ(single.tree()->topLevelItem(0)->text(0), QStringLiteral("Settings"));
    EXPECT_EQ(single.tree()->topLevelItem(1)->text(0), QStringLiteral("Remote Access"));
    EXPECT_EQ(single.tree()->topLevelItem(0)->childCount(), 0);
    EXPECT_EQ(single.pixelFormatBox(), nullptr);

    description.pixel_format_vec = {0x1, 0x4, 0x10};
    configuration.pixel_format = 0x4;
    CameraSetup several(configuration, description);
    QComboBox* box = several.pixelFormatBox();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->count(), 3);
    EXPECT_EQ(box->itemText(0), QStringLiteral("16"));
    EXPECT_EQ(box->currentText(), QStringLiteral("12"));
    EXPECT_EQ(several.tree()->topLevelItem(0)->child(0)->text(0), QStringLiteral("Pixelformat"));
    box->setCurrentIndex(2);
    EXPECT_EQ(several.configuration().pixel_format, 0x10u);
}

TEST_F(MainWindowTest, CameraSetupKeepsTheGenicamCamerasInTheSettingsFile)
{
    // What the dialog shows comes from the settings file; accepting stores the edit, and the
    // next scan hands it to the device library in place of RASTEL_GENICAM.
    qputenv("RASTEL_GENICAM", "127.0.0.9");
    GenicamSetting::store(QStringLiteral(" Fake_1 "));
    {
        CameraSetup dialog(vyk::Configuration{}, vyk::Description{});
        ASSERT_EQ(dialog.tree()->topLevelItem(2)->text(0), QStringLiteral("GenICam"));
        EXPECT_EQ(dialog.tree()->topLevelItem(2)->child(0)->text(0), QStringLiteral("Cameras"));
        EXPECT_EQ(dialog.genicamEdit()->text(), QStringLiteral("Fake_1"));
        dialog.genicamEdit()->setText(QStringLiteral("127.0.0.1,Fake_1 "));
        EXPECT_EQ(dialog.genicamCameras(), QStringLiteral("127.0.0.1,Fake_1"));
    }
    GenicamSetting::apply();
    EXPECT_EQ(qgetenv("RASTEL_GENICAM"), QByteArray("Fake_1"));
    // Cleared in the dialog: the variable the process started with counts again.
    GenicamSetting::store(QString());
    GenicamSetting::apply();
    EXPECT_EQ(qgetenv("RASTEL_GENICAM"), QByteArray("127.0.0.9"));
    EXPECT_EQ(setting(GenicamSetting::kKey).toString(), QString());
    qunsetenv("RASTEL_GENICAM");
}

TEST(ToolbarPopup, PressingOpensThePanelBelowAndHidingUnchecks)
{
    QWidget host;
    host.resize(200, 200);
    auto* layout = new QVBoxLayout;
    layout->addWidget(new QPushButton(QStringLiteral("Inside")));
    QAction action(QStringLiteral("Layouts"), &host);
    auto* popup = new VYKToolbarPopup(&action, layout, &host);
    popup->move(20, 30);
    host.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&host));
    EXPECT_EQ(popup->size(), QSize(45, 45));
    EXPECT_TRUE(action.isCheckable());

    QTest::mouseClick(popup, Qt::LeftButton);
    EXPECT_TRUE(action.isChecked());
    ASSERT_TRUE(QTest::qWaitFor([&] { return popup->popup()->isVisible(); }, 5000));
    EXPECT_EQ(popup->popup()->pos(), popup->mapToGlobal(QPoint(0, 45)));

    popup->popup()->hide();
    EXPECT_FALSE(action.isChecked());
}

TEST(ToolbarWidget, PressTogglesTheActionAndHoverIsTracked)
{
    QAction action(QStringLiteral("Big"), nullptr);
    VYKToolbarWidget widget(&action);
    EXPECT_EQ(widget.size(), QSize(85, 85));
    EXPECT_TRUE(widget.hasMouseTracking());
    EXPECT_EQ(widget.property("pressedColor").value<QColor>(), QColor(100, 100, 100, 255));
    QList<bool> changes;
    QObject::connect(&widget, &VYKToolbarWidget::checkedChanged, [&changes](bool on) { changes << on; });
    widget.show();
    QTest::mouseClick(&widget, Qt::LeftButton);
    QTest::mouseClick(&widget, Qt::LeftButton);
    EXPECT_EQ(changes, (QList<bool>{true, false}));
    QTest::mouseMove(&widget, QPoint(10, 10));
    ASSERT_TRUE(QTest::qWaitFor([&] { return widget.isHovered(); }, 5000));
    // Painting in both states must work (checked fill, icon-less action).
    widget.onActionSetChecked(true);
    EXPECT_FALSE(widget.grab().isNull());
}
