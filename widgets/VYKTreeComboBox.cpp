#include "VYKTreeComboBox.h"

#include <QFocusEvent>
#include <QWheelEvent>

namespace {

// Focus that comes back from the combo box's own pop-up or from re-activating the window
// continues the edit; any other focus change is a fresh click into the tree.
bool continuesEdit(Qt::FocusReason reason)
{
    return reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason;
}

} // namespace

VYKTreeComboBox::VYKTreeComboBox(QTreeWidgetItem* item, QTreeWidget* tree, QWidget* parent)
    : QComboBox(parent)
    , row_(item, tree)
{
    setFocusPolicy(Qt::ClickFocus);
    setAutoFillBackground(true);
}

void VYKTreeComboBox::focusInEvent(QFocusEvent* event)
{
    row_.makeCurrent();
    if (!continuesEdit(event->reason())) {
        row_.setSelected(false);
        event->ignore();
    } else {
        row_.setSelected(true);
    }
    QComboBox::focusInEvent(event);
}

void VYKTreeComboBox::focusOutEvent(QFocusEvent* event)
{
    if (!continuesEdit(event->reason())) {
        row_.setSelected(false);
    } else {
        row_.makeCurrent();
        row_.setSelected(true);
    }
    QComboBox::focusOutEvent(event);
}

void VYKTreeComboBox::wheelEvent(QWheelEvent* event)
{
    event->ignore();
}
