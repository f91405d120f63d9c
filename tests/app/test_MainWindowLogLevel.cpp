#include "MainWindowFixture.h"

#include "LogLevelActions.h"
#include "MainWindow.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QDebug>
#include <QMenu>
#include <QMenuBar>

namespace {

QAction* actionNamed(MainWindow& window, const char* name)
{
    return window.findChild<QAction*>(QString::fromLatin1(name));
}

QMenu* logMenu(MainWindow& window)
{
    for (QAction* action : window.menuBar()->actions())
        if (action->text() == QStringLiteral("&Log Level"))
            return action->menu();
    return nullptr;
}

// The lines the log-level slot wrote; the window's worker threads (histogram, health) may
// log in between.
QStringList slotLines(const LogCapture& log)
{
    QStringList lines;
    for (const QString& line : log.lines())
        if (line.contains(QStringLiteral("Debug Level '")) || line.contains(QStringLiteral("Entered onLogLevelChanged")))
            lines << line;
    return lines;
}

} // namespace

TEST_F(MainWindowTest, LogLevelMenuHasFiveActionsInLevelOrderWithInfoChecked)
{
    MainWindow& window = makeWindow(false);
    QMenu* menu = logMenu(window);
    ASSERT_NE(menu, nullptr);
    QStringList texts, names;
    for (QAction* action : menu->actions()) {
        texts << action->text();
        names << action->objectName();
        EXPECT_TRUE(action->isCheckable());
        EXPECT_EQ(action->isChecked(), action->text() == QStringLiteral("Info"));
    }
    EXPECT_EQ(texts, (QStringList{"Off", "Error", "Warning", "Info", "Debug"}));
    EXPECT_EQ(names, (QStringList{"Log: OFF", "Log: Error", "Log: Warning", "Log: Info", "Log: Debug"}));
}

TEST_F(MainWindowTest, LogLevelSelectionKeepsExactlyOneCheckedAndSetsTheLevel)
{
    MainWindow& window = makeWindow(false);
    LogCapture log(3);
    actionNamed(window, "Log: Debug")->trigger();
    EXPECT_EQ(logLevel.load(), 4);
    actionNamed(window, "Log: Warning")->trigger();
    EXPECT_EQ(logLevel.load(), 2);
    int checked = 0;
    for (QAction* action : window.logLevelActions()->actions())
        checked += action->isChecked() ? 1 : 0;
    EXPECT_EQ(checked, 1);
    EXPECT_TRUE(actionNamed(window, "Log: Warning")->isChecked());

    // Info -> Debug: written at Info. Debug -> Warning: the debug line of the slot and
    // the info line are both written at Debug.
    const QStringList lines = slotLines(log);
    ASSERT_EQ(lines.size(), 3);
    EXPECT_TRUE(lines[0].contains(QStringLiteral("{INFO } ")));
    EXPECT_TRUE(lines[0].contains(QStringLiteral("Debug Level 'Debug' selected (:0)")));
    EXPECT_TRUE(lines[1].contains(QStringLiteral("{DEBUG} ")));
    EXPECT_TRUE(lines[1].contains(QStringLiteral("Entered onLogLevelChanged with senderaction: \"Log: Warning\"")));
    EXPECT_TRUE(lines[2].contains(QStringLiteral("Debug Level 'Warning' selected")));
}

TEST_F(MainWindowTest, LogLevelOffAndBackToErrorWritesNothing)
{
    MainWindow& window = makeWindow(false);
    LogCapture log(2);
    actionNamed(window, "Log: OFF")->trigger();
    EXPECT_EQ(logLevel.load(), 0);
    actionNamed(window, "Log: Error")->trigger();
    EXPECT_EQ(logLevel.load(), 1);
    // Worker threads of the window may report errors of their own; the slot writes nothing.
    EXPECT_TRUE(slotLines(log).isEmpty());
    qCritical() << "now visible";
    EXPECT_EQ(log.lines().filter(QStringLiteral("now visible")).size(), 1);
}
