// The five checkable actions of the "&Log Level" menu and the level switch behind them.
#pragma once

#include <QList>
#include <QObject>

class QAction;
class QMenu;

class LogLevelActions : public QObject {
    Q_OBJECT
public:
    // Creates the actions Off, Error, Warning, Info (checked), Debug as children of parent.
    explicit LogLevelActions(QObject* parent);

    // Adds the actions to menu in level order.
    void addTo(QMenu* menu) const;

    // Checks sender, unchecks the others, logs the selection at the level in force, then
    // switches logLevel. Does nothing for an object that is not one of the five actions.
    void select(QObject* sender);

    // The actions in level order (index = level).
    const QList<QAction*>& actions() const { return actions_; }

private:
    QList<QAction*> actions_; // index = log level 0..4
};
