// Saved window state, docking state and perspectives in the settings file.
#include "LogCapture.h"

#include "LayoutPersistence.h"
#include "Logging.h"
#include "ThemeActions.h"

#include <gtest/gtest.h>

#include <qtadvanceddocking/DockManager.h>
#include <qtadvanceddocking/DockWidget.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QMainWindow>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

bool anyLineContains(const QStringList& lines, const QString& text)
{
    for (const QString& line : lines)
        if (line.contains(text))
            return true;
    return false;
}

// The parts of the main window that layouts concern: window, dock manager with three
// docks, perspective selector and theme actions.
struct Shell {
    Shell()
        : dockManager(new ads::CDockManager(&window))
        , theme(new ThemeActions(&window))
        , selector(new QComboBox(&window))
        , layout(dockManager, selector, &window, theme)
    {
        for (const char* title : {"Histogram", "Camera Settings", "Video Control"}) {
            auto* dock = new ads::CDockWidget(QLatin1String(title));
            dock->setWidget(new QLabel(QLatin1String(title)));
            dockManager->addDockWidget(ads::RightDockWidgetArea, dock);
            docks << dock;
        }
        window.resize(800, 600);
        window.show();
    }

    ads::CDockWidget* dock(int i) const { return docks.at(i); }

    QMainWindow window;
    ads::CDockManager* dockManager; // child of window
    ThemeActions* theme;            // child of window
    QComboBox* selector;            // child of window
    QList<ads::CDockWidget*> docks;
    LayoutPersistence layout;
};

class LayoutTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        previousPath_ = settingsFilePath;
        settingsFilePath = dir_.filePath(QStringLiteral("rastel_setup.ini"));
    }
    void TearDown() override
    {
        settingsFilePath = previousPath_;
        qApp->setStyleSheet(QString());
        qApp->setProperty("activeStyleSheet", QVariant());
    }

    // Writes key = value into the settings file.
    static void store(const QString& key, const QVariant& value)
    {
        QSettings settings(settingsFilePath, QSettings::IniFormat);
        settings.setValue(key, value);
    }

    static QVariant stored(const QString& key)
    {
        QSettings settings(settingsFilePath, QSettings::IniFormat);
        return settings.value(key);
    }

    // A first session that closes dock 2 in perspective "Lean", keeps all docks in "Full"
    // and writes both to the settings file.
    static void savePerspectivesInFirstSession()
    {
        Shell first;
        first.dockManager->addPerspective(QStringLiteral("Full"));
        first.dock(2)->toggleView(false);
        first.dockManager->addPerspective(QStringLiteral("Lean"));
        first.layout.savePerspectives();
    }

    QTemporaryDir dir_;
    QString previousPath_;
};

} // namespace

TEST_F(LayoutTest, SaveStateWritesEveryKey)
{
    LogCapture log(3);
    Shell shell;
    shell.theme->checkAccent(QStringLiteral("Green"));
    shell.theme->checkBrightness(QStringLiteral("Bright"));
    shell.selector->addItems({"One", "Two"});
    shell.selector->setCurrentIndex(1);
    shell.layout.saveState();

    EXPECT_FALSE(stored(QStringLiteral("mainWindow/Geometry")).toByteArray().isEmpty());
    EXPECT_EQ(stored(QStringLiteral("mainWindow/LastPerspective")).toString(), QStringLiteral("Two"));
    EXPECT_EQ(stored(QStringLiteral("mainWindow/Theme")).toString(), QStringLiteral("Green"));
    EXPECT_EQ(stored(QStringLiteral("mainWindow/StyleSheet")).toString(), QStringLiteral("Bright"));
    EXPECT_EQ(stored(QStringLiteral("Dockmanager/DockingState")).toByteArray(), shell.dockManager->saveState(0));
    EXPECT_TRUE(anyLineContains(log.lines(), QStringLiteral("Current State successfully saved in:  \"")
                                                 + settingsFilePath + QLatin1Char('"')));
}

TEST_F(LayoutTest, EmptySettingsFallBackToBlueAndDark)
{
    LogCapture log(4);
    Shell shell;
    shell.theme->checkAccent(QStringLiteral("Orange"));
    shell.layout.restorePerspectives();
    shell.layout.restoreState();
    EXPECT_EQ(shell.theme->checkedAccent(), QStringLiteral("VYK Blue"));
    EXPECT_EQ(shell.theme->checkedBrightness(), QStringLiteral("Dark"));
    EXPECT_EQ(qApp->property("activeStyleSheet").toString(), QStringLiteral(":/vyk_style/vyk_style_dark.qss"));
    const QStringList lines = log.lines();
    EXPECT_TRUE(anyLineContains(lines, QStringLiteral("Settings appear empty - nothing to restore")));
    EXPECT_TRUE(anyLineContains(lines, QStringLiteral("{WARNING} [THR_ID: ")));
    EXPECT_TRUE(anyLineContains(lines, QStringLiteral("Settings appear empty - nothing to restore. Setting VYK Blue.")));
    EXPECT_TRUE(anyLineContains(lines, QStringLiteral("Entered onStyleChanged")));
}

TEST_F(LayoutTest, SavedThemeGeometryAndDockingStateComeBack)
{
    {
        Shell first;
        first.theme->checkAccent(QStringLiteral("Orange"));
        first.theme->checkBrightness(QStringLiteral("Bright"));
        first.window.resize(640, 480);
        first.dock(1)->toggleView(false);
        first.layout.saveState();
    }
    LogCapture log(3);
    Shell second;
    second.selector->addItem(QStringLiteral("Something"));
    ASSERT_FALSE(second.dock(1)->isClosed());
    second.layout.restoreState();
    EXPECT_EQ(second.theme->checkedAccent(), QStringLiteral("Orange"));
    EXPECT_EQ(second.theme->checkedBrightness(), QStringLiteral("Bright"));
    EXPECT_TRUE(qApp->styleSheet().contains(QLatin1String("#B78620")));
    EXPECT_EQ(qApp->property("activeStyleSheet").toString(), QStringLiteral(":/vyk_style/vyk_style_bright.qss"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return second.window.size() == QSize(640, 480); }, 5000));
    EXPECT_TRUE(second.dock(1)->isClosed());
    EXPECT_FALSE(second.dock(0)->isClosed());
    EXPECT_EQ(second.selector->currentIndex(), -1);
    EXPECT_TRUE(anyLineContains(log.lines(), QStringLiteral("Successfully restored last docking state")));
}

TEST_F(LayoutTest, MissingDockingStateOpensTheLastPerspective)
{
    savePerspectivesInFirstSession();
    store(QStringLiteral("mainWindow/LastPerspective"), QStringLiteral("Lean"));
    store(QStringLiteral("mainWindow/Theme"), QStringLiteral("VYK Blue"));

    LogCapture log(3);
    Shell shell;
    shell.layout.restorePerspectives();
    EXPECT_EQ(shell.selector->count(), 2);
    EXPECT_TRUE(anyLineContains(log.lines(), QStringLiteral("Perspectives from  \"") + settingsFilePath
                                                 + QStringLiteral("\"  file successfully restored")));
    ASSERT_FALSE(shell.dock(2)->isClosed());
    shell.layout.restoreState();
    EXPECT_TRUE(shell.dock(2)->isClosed());
    EXPECT_EQ(shell.selector->currentText(), QStringLiteral("Lean"));
    EXPECT_TRUE(anyLineContains(log.lines(), QStringLiteral("Fallback: opened perspective  \"Lean\"")));
}

TEST_F(LayoutTest, RefusedDockingStateOpensTheFirstPerspective)
{
    savePerspectivesInFirstSession();
    store(QStringLiteral("Dockmanager/DockingState"), QByteArray("not a docking state"));
    store(QStringLiteral("mainWindow/LastPerspective"), QStringLiteral("Gone"));

    LogCapture log(3);
    Shell shell;
    shell.layout.restorePerspectives();
    shell.dock(2)->toggleView(false);
    shell.layout.restoreState();
    EXPECT_EQ(shell.selector->currentText(), QStringLiteral("Full"));
    EXPECT_FALSE(shell.dock(2)->isClosed()) << "perspective Full shows every dock";
    EXPECT_TRUE(anyLineContains(log.lines(), QStringLiteral("Fallback: opened first available perspective:  \"Full\"")));
}

TEST_F(LayoutTest, NothingToFallBackToIsReported)
{
    store(QStringLiteral("mainWindow/Theme"), QStringLiteral("Green"));
    LogCapture log(3);
    Shell shell;
    shell.layout.restorePerspectives();
    shell.layout.restoreState();
    EXPECT_EQ(shell.theme->checkedAccent(), QStringLiteral("Green"));
    EXPECT_EQ(shell.theme->checkedBrightness(), QStringLiteral("Dark")) << "default brightness";
    EXPECT_TRUE(anyLineContains(log.lines(), QStringLiteral("No valid docking state or perspectives found.")));
}

TEST_F(LayoutTest, UnreadableSettingsFileIsReportedWithItsStatus)
{
    {
        QFile file(settingsFilePath);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("[mainWindow\nTheme=Green\n");
    }
    LogCapture log(3);
    Shell shell;
    shell.layout.restorePerspectives();
    shell.layout.restoreState();
    EXPECT_TRUE(anyLineContains(log.lines(), QStringLiteral("Settings file could not be loaded, status:  QSettings::FormatError")));
    EXPECT_EQ(shell.theme->checkedBrightness(), QStringLiteral("Dark")) << "defaults apply";
}

TEST_F(LayoutTest, AddStoresTheCurrentLayoutUnderTheGivenName)
{
    LogCapture log(3);
    Shell shell;
    QString answer = QStringLiteral("Mine");
    bool confirm = true;
    QStringList asked;
    shell.layout.setNameProvider([&](QWidget* parent, bool* confirmed) {
        asked << (parent == &shell.window ? "window" : "other");
        *confirmed = confirm;
        return answer;
    });

    shell.layout.onAddPerspectiveClicked();
    EXPECT_EQ(asked, QStringList{"window"});
    EXPECT_EQ(shell.dockManager->perspectiveNames(), QStringList{"Mine"});
    EXPECT_EQ(shell.selector->currentText(), QStringLiteral("Mine"));
    EXPECT_TRUE(anyLineContains(log.lines(), QStringLiteral("Added Perspective with given name: \"Mine\"")));

    // An existing name is overwritten with the current layout.
    shell.dock(0)->toggleView(false);
    shell.layout.onAddPerspectiveClicked();
    EXPECT_EQ(shell.dockManager->perspectiveNames(), QStringList{"Mine"});
    shell.dock(0)->toggleView(true);
    shell.dockManager->openPerspective(QStringLiteral("Mine"));
    EXPECT_TRUE(shell.dock(0)->isClosed());

    const QString refused = QStringLiteral("Given Perspective name is empty or Dockmanager is nullptr -> Leaving onAddPersectiveClicked");
    answer.clear();
    shell.layout.onAddPerspectiveClicked();
    answer = QStringLiteral("Cancelled");
    confirm = false;
    shell.layout.onAddPerspectiveClicked();
    EXPECT_EQ(shell.dockManager->perspectiveNames(), QStringList{"Mine"});
    EXPECT_EQ(log.lines().filter(refused).size(), 2);
}

TEST_F(LayoutTest, UpdateOverwritesTheSelectedPerspectiveEvenWithAnEmptyName)
{
    LogCapture log(3);
    Shell shell;
    shell.dockManager->addPerspective(QStringLiteral("Work"));
    shell.layout.refillSelector();
    shell.selector->setCurrentIndex(0);
    shell.dock(1)->toggleView(false);
    shell.layout.onSavePerspectiveClicked();
    EXPECT_TRUE(anyLineContains(log.lines(), QStringLiteral("New perspective saved:  \"Work\"")));
    shell.dock(1)->toggleView(true);
    shell.dockManager->openPerspective(QStringLiteral("Work"));
    EXPECT_TRUE(shell.dock(1)->isClosed());

    shell.selector->setCurrentIndex(-1);
    shell.layout.onSavePerspectiveClicked();
    EXPECT_TRUE(shell.dockManager->perspectiveNames().contains(QString()));
    EXPECT_EQ(shell.dockManager->perspectiveNames().size(), 2);
}

TEST_F(LayoutTest, RemovingTheSelectedPerspectiveClearsTheSelector)
{
    LogCapture log(3);
    Shell shell;
    shell.dockManager->addPerspective(QStringLiteral("A"));
    shell.dockManager->addPerspective(QStringLiteral("B"));
    shell.layout.refillSelector();
    shell.selector->setCurrentIndex(shell.selector->findText(QStringLiteral("B")));
    shell.layout.onRemovePerspectiveClicked();
    EXPECT_EQ(shell.dockManager->perspectiveNames(), QStringList{"A"});
    EXPECT_EQ(shell.selector->count(), 1);
    EXPECT_EQ(shell.selector->currentIndex(), -1);
    EXPECT_TRUE(shell.selector->currentText().isEmpty());
    EXPECT_TRUE(anyLineContains(log.lines(), QStringLiteral("Removed Perspective with given name: \"B\"")));
}

TEST_F(LayoutTest, ChoosingAnEntryInTheSelectorOpensIt)
{
    Shell shell;
    shell.dockManager->addPerspective(QStringLiteral("A Full"));
    shell.dock(0)->toggleView(false);
    shell.dockManager->addPerspective(QStringLiteral("B Lean"));
    shell.layout.refillSelector();
    shell.selector->setCurrentIndex(1);
    QStringList opened;
    QObject::connect(shell.dockManager, &ads::CDockManager::perspectiveOpened,
                     [&opened](const QString& name) { opened << name; });

    // Keyboard choice on the closed combo box activates the entry like a click would.
    QTest::keyClick(shell.selector, Qt::Key_Up);
    EXPECT_EQ(opened, QStringList{"A Full"});
    EXPECT_FALSE(shell.dock(0)->isClosed());
    QTest::keyClick(shell.selector, Qt::Key_Down);
    EXPECT_EQ(opened, (QStringList{"A Full", "B Lean"}));
    EXPECT_TRUE(shell.dock(0)->isClosed());
}

TEST_F(LayoutTest, SavingPerspectivesReplacesTheGroup)
{
    {
        QSettings settings(settingsFilePath, QSettings::IniFormat);
        settings.beginWriteArray(QStringLiteral("Perspectives"));
        for (int i = 0; i < 3; ++i) {
            settings.setArrayIndex(i);
            settings.setValue(QStringLiteral("Name"), QStringLiteral("Old%1").arg(i));
            settings.setValue(QStringLiteral("State"), QByteArray("x"));
        }
        settings.endArray();
        settings.setValue(QStringLiteral("mainWindow/Theme"), QStringLiteral("Green"));
    }
    LogCapture log(3);
    Shell shell;
    shell.dockManager->addPerspective(QStringLiteral("New"));
    shell.layout.savePerspectives();
    QSettings settings(settingsFilePath, QSettings::IniFormat);
    const int size = settings.beginReadArray(QStringLiteral("Perspectives"));
    ASSERT_EQ(size, 1);
    settings.setArrayIndex(0);
    EXPECT_EQ(settings.value(QStringLiteral("Name")).toString(), QStringLiteral("New"));
    settings.endArray();
    EXPECT_FALSE(settings.contains(QStringLiteral("Perspectives/3/Name")));
    EXPECT_EQ(settings.value(QStringLiteral("mainWindow/Theme")).toString(), QStringLiteral("Green"));
    EXPECT_TRUE(anyLineContains(log.lines(), QStringLiteral("Perspectives successfully saved in: ")));
}

TEST_F(LayoutTest, ToleratesADockManagerThatIsGone)
{
    LogCapture log(3);
    Shell shell;
    delete shell.dockManager;
    shell.layout.setNameProvider([](QWidget*, bool* confirmed) {
        *confirmed = true;
        return QStringLiteral("X");
    });
    shell.layout.onAddPerspectiveClicked();
    shell.layout.onSavePerspectiveClicked();
    shell.layout.onRemovePerspectiveClicked();
    shell.layout.saveState();
    shell.layout.restorePerspectives();
    shell.layout.restoreState();
    EXPECT_TRUE(anyLineContains(log.lines(), QStringLiteral("Dockmanager is nullptr")));
    EXPECT_FALSE(stored(QStringLiteral("mainWindow/Geometry")).toByteArray().isEmpty());
}
