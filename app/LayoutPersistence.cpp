#include "LayoutPersistence.h"

#include "Logging.h"
#include "ThemeActions.h"

#include <qtadvanceddocking/DockManager.h>

#include <QComboBox>
#include <QDebug>
#include <QInputDialog>
#include <QMainWindow>
#include <QSettings>

namespace {

const char* const kGeometryKey = "mainWindow/Geometry";
const char* const kLastPerspectiveKey = "mainWindow/LastPerspective";
const char* const kThemeKey = "mainWindow/Theme";
const char* const kStyleSheetKey = "mainWindow/StyleSheet";
const char* const kDockingStateKey = "Dockmanager/DockingState";
const char* const kPerspectivesGroup = "Perspectives";

QString askPerspectiveName(QWidget* parent, bool* confirmed)
{
    return QInputDialog::getText(parent, QStringLiteral("Add Perspective"),
                                 QStringLiteral("Enter unique name:"), QLineEdit::Normal,
                                 QString(), confirmed);
}

// Logs an unreadable settings file; the caller goes on with what could be read.
void reportStatus(const QSettings& settings)
{
    if (settings.status() != QSettings::NoError)
        qWarning() << "Settings file could not be loaded, status: " << settings.status();
}

} // namespace

LayoutPersistence::LayoutPersistence(ads::CDockManager* dockManager, QComboBox* perspectiveSelector,
                                     QMainWindow* window, ThemeActions* themeActions, QObject* parent)
    : QObject(parent)
    , dockManager_(dockManager)
    , selector_(perspectiveSelector)
    , window_(window)
    , themeActions_(themeActions)
    , nameProvider_(askPerspectiveName)
{
    if (selector_)
        connect(selector_, &QComboBox::textActivated, this, &LayoutPersistence::onPerspectiveActivated);
}

void LayoutPersistence::setNameProvider(NameProvider provider)
{
    nameProvider_ = provider ? std::move(provider) : NameProvider(askPerspectiveName);
}

void LayoutPersistence::saveState()
{
    QSettings settings(settingsFilePath, QSettings::IniFormat);
    if (window_)
        settings.setValue(kGeometryKey, window_->saveGeometry());
    settings.setValue(kLastPerspectiveKey, selector_ ? selector_->currentText() : QString());
    if (themeActions_) {
        settings.setValue(kThemeKey, themeActions_->checkedAccent());
        settings.setValue(kStyleSheetKey, themeActions_->checkedBrightness());
    }
    if (dockManager_)
        settings.setValue(kDockingStateKey, dockManager_->saveState(0));
    settings.sync();
    qInfo() << "Current State successfully saved in: " << settings.fileName();
}

void LayoutPersistence::restorePerspectives()
{
    QSettings settings(settingsFilePath, QSettings::IniFormat);
    reportStatus(settings);
    if (settings.allKeys().isEmpty()) {
        qInfo() << "Settings appear empty - nothing to restore";
        return;
    }
    if (dockManager_)
        dockManager_->loadPerspectives(settings);
    refillSelector();
    qInfo() << "Perspectives from " << settings.fileName() << " file successfully restored";
}

void LayoutPersistence::restoreState()
{
    QSettings settings(settingsFilePath, QSettings::IniFormat);
    reportStatus(settings);
    if (settings.allKeys().isEmpty()) {
        qWarning() << "Settings appear empty - nothing to restore. Setting VYK Blue.";
        if (themeActions_) {
            themeActions_->checkAccent(QStringLiteral("VYK Blue"));
            themeActions_->checkBrightness(QStringLiteral("Dark"));
            themeActions_->onStyleChanged();
        }
        return;
    }

    if (themeActions_) {
        themeActions_->checkAccent(settings.value(kThemeKey, QStringLiteral("VYK Blue")).toString());
        themeActions_->checkBrightness(settings.value(kStyleSheetKey, QStringLiteral("Dark")).toString());
        themeActions_->onStyleChanged();
    }
    if (window_)
        window_->restoreGeometry(settings.value(kGeometryKey).toByteArray());
    if (!dockManager_)
        return;

    const QByteArray dockingState = settings.value(kDockingStateKey).toByteArray();
    if (!dockingState.isEmpty() && dockManager_->restoreState(dockingState, 0)) {
        qInfo() << "Successfully restored last docking state";
        if (selector_)
            selector_->setCurrentIndex(-1);
        return;
    }

    const QStringList names = dockManager_->perspectiveNames();
    const QString last = settings.value(kLastPerspectiveKey).toString();
    QString chosen;
    if (!last.isEmpty() && names.contains(last)) {
        chosen = last;
        qInfo() << "Fallback: opened perspective " << chosen;
    } else if (!names.isEmpty()) {
        chosen = names.first();
        qInfo() << "Fallback: opened first available perspective: " << chosen;
    } else {
        qWarning() << "No valid docking state or perspectives found.";
        return;
    }
    dockManager_->openPerspective(chosen);
    if (selector_)
        selector_->setCurrentIndex(selector_->findText(chosen));
}

void LayoutPersistence::savePerspectives()
{
    QSettings settings(settingsFilePath, QSettings::IniFormat);
    settings.remove(kPerspectivesGroup);
    if (dockManager_)
        dockManager_->savePerspectives(settings);
    settings.sync();
    qInfo() << "Perspectives successfully saved in: " << settings.fileName();
}

void LayoutPersistence::refillSelector()
{
    if (!selector_)
        return;
    selector_->clear();
    if (dockManager_)
        selector_->addItems(dockManager_->perspectiveNames());
}

void LayoutPersistence::onAddPerspectiveClicked()
{
    bool confirmed = false;
    const QString name = nameProvider_(window_, &confirmed);
    if (!confirmed || name.isEmpty() || !dockManager_) {
        qInfo() << "Given Perspective name is empty or Dockmanager is nullptr -> Leaving onAddPersectiveClicked";
        return;
    }
    dockManager_->addPerspective(name);
    refillSelector();
    if (selector_)
        selector_->setCurrentIndex(selector_->findText(name));
    qInfo() << "Added Perspective with given name:" << name;
}

void LayoutPersistence::onSavePerspectiveClicked()
{
    if (!dockManager_)
        return;
    const QString name = selector_ ? selector_->currentText() : QString();
    dockManager_->addPerspective(name);
    qInfo() << "New perspective saved: " << name;
}

void LayoutPersistence::onRemovePerspectiveClicked()
{
    if (!dockManager_)
        return;
    const QString name = selector_ ? selector_->currentText() : QString();
    dockManager_->removePerspective(name);
    refillSelector();
    if (selector_)
        selector_->setCurrentIndex(-1);
    qInfo() << "Removed Perspective with given name:" << name;
}

void LayoutPersistence::onPerspectiveActivated(const QString& name)
{
    if (dockManager_)
        dockManager_->openPerspective(name);
}
