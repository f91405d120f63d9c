#include "LogLevelActions.h"

#include "Logging.h"

#include <QAction>
#include <QDebug>
#include <QMenu>

namespace {

struct LevelEntry {
    const char* text;       // action text
    const char* objectName; // also written into the debug line of the slot
};

// Index = log level.
constexpr LevelEntry kLevels[] = {
    {"Off", "Log: OFF"},
    {"Error", "Log: Error"},
    {"Warning", "Log: Warning"},
    {"Info", "Log: Info"},
    {"Debug", "Log: Debug"},
};

} // namespace

LogLevelActions::LogLevelActions(QObject* parent)
    : QObject(parent)
{
    for (const LevelEntry& entry : kLevels) {
        auto* action = new QAction(QString::fromLatin1(entry.text), this);
        action->setObjectName(QString::fromLatin1(entry.objectName));
        action->setCheckable(true);
        actions_.append(action);
    }
    actions_.at(3)->setChecked(true);
}

void LogLevelActions::addTo(QMenu* menu) const
{
    for (QAction* action : actions_)
        menu->addAction(action);
}

void LogLevelActions::select(QObject* sender)
{
    const int level = actions_.indexOf(qobject_cast<QAction*>(sender));
    if (level < 0)
        return;
    for (int i = 0; i < actions_.size(); ++i)
        actions_.at(i)->setChecked(i == level);
    // Logged before the switch, so it is written or dropped by the level in force until now.
    qInfo().noquote() << QStringLiteral("Debug Level '%1' selected").arg(QString::fromLatin1(kLevels[level].text));
    logLevel.store(level);
}
