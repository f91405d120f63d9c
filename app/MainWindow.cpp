#include "MainWindow.h"

#include "LogLevelActions.h"

#include "kv2_cam.h"

#include <QAction>
#include <QCloseEvent>
#include <QDebug>
#include <QMenuBar>

MainWindow::MainWindow(QWidget* parent)
    : QMainWindow(parent)
    , logLevelActions_(new LogLevelActions(this))
{
    setWindowTitle(QStringLiteral("Rastel"));
    resize(1280, 800);

    QMenu* logMenu = menuBar()->addMenu(QStringLiteral("&Log Level"));
    logLevelActions_->addTo(logMenu);
    for (QAction* action : logLevelActions_->actions())
        connect(action, &QAction::triggered, this, &MainWindow::onLogLevelChanged);
}

MainWindow::~MainWindow()
{
    qDebug() << "Entered MainWindow destructor";
    VYK_CleanupLib();
}

void MainWindow::onLogLevelChanged()
{
    QObject* action = sender();
    qDebug() << "Entered onLogLevelChanged with senderaction:" << (action ? action->objectName() : QString());
    logLevelActions_->select(action);
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    qDebug() << "closeEvent of MainWindow";
    qDebug() << "Leave closeEvent of MainWindow";
    event->accept();
}
