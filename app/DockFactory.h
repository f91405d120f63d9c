// Making the window's docks and putting panels into them.
#pragma once

#include <QIcon>
#include <QString>

class QWidget;

namespace ads {
class CDockWidget;
}

namespace DockFactory {

// Style sheet of every dock that holds a panel: no border, margin or padding.
constexpr const char* kPanelDockStyle = "QWidget { border: none; margin: 0px; padding: 0px; }";

// A dock titled title, named objectName (the title when empty), with icon.
ads::CDockWidget* create(const QString& title, const QIcon& icon, const QString& objectName = QString());

// Puts panel into dock (without a scroll area when scrollArea is false) and gives the dock
// the panel style sheet.
void putPanel(ads::CDockWidget* dock, QWidget* panel, bool scrollArea = true);

// Takes the dock's current panel out and deletes it; false when the dock held none.
bool deletePanel(ads::CDockWidget* dock);

} // namespace DockFactory
