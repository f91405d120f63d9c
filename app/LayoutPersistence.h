// The window layout in the settings file: saved window state, theme choice, docking state
// and the named layouts (perspectives) with their selector and commands.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>

class QComboBox;
class QMainWindow;
class QWidget;
class ThemeActions;

namespace ads {
class CDockManager;
}

class LayoutPersistence : public QObject {
    Q_OBJECT
public:
    // Asks the user for a new perspective name: (dialog parent, &confirmed) -> the name.
    using NameProvider = std::function<QString(QWidget* parent, bool* confirmed)>;

    // Works on the window's dock manager, perspective selector and theme actions (none
    // owned; each may go away first). Every access opens settingsFilePath in INI format.
    LayoutPersistence(ads::CDockManager* dockManager, QComboBox* perspectiveSelector,
                      QMainWindow* window, ThemeActions* themeActions, QObject* parent = nullptr);

    // Replaces the "Add Perspective" text dialog (tests, automation); null restores it.
    void setNameProvider(NameProvider provider);

    // Writes geometry, last perspective, theme, style sheet and docking state.
    void saveState();
    // Re-applies the saved theme, geometry and docking state, falling back to perspectives.
    void restoreState();
    // Loads the saved perspectives into the dock manager and the selector.
    void restorePerspectives();
    // Replaces the "Perspectives" group of the settings file with the dock manager's.
    void savePerspectives();
    // Refills the selector with the dock manager's perspective names.
    void refillSelector();

public slots:
    // "Add Perspective": asks for a name and stores the current layout under it.
    void onAddPerspectiveClicked();
    // "Update Perspective": stores the current layout under the selector's text.
    void onSavePerspectiveClicked();
    // "Remove Perspective": removes the perspective named by the selector's text.
    void onRemovePerspectiveClicked();
    // Opens the perspective the user picked in the selector.
    void onPerspectiveActivated(const QString& name);

private:
    QPointer<ads::CDockManager> dockManager_;
    QPointer<QComboBox> selector_;
    QPointer<QMainWindow> window_;
    QPointer<ThemeActions> themeActions_;
    NameProvider nameProvider_;
};
