#include "VYKTreeSpinBox.h"

#include <QWheelEvent>

VYKTreeSpinBox::VYKTreeSpinBox(QTreeWidgetItem* item, QTreeWidget* tree, QWidget* parent)
    : QSpinBox(parent)
    , row_(item, tree)
{
    setFocusPolicy(Qt::ClickFocus);
    setAutoFillBackground(false);
}

VYKTreeSpinBox::VYKTreeSpinBox(int minimum, int maximum, QTreeWidgetItem* item, QTreeWidget* tree,
                               QWidget* parent)
    : VYKTreeSpinBox(item, tree, parent)
{
    setRange(minimum, maximum);
}

void VYKTreeSpinBox::focusInEvent(QFocusEvent* event)
{
    row_.spinBoxFocusIn(this);
    QSpinBox::focusInEvent(event);
}

void VYKTreeSpinBox::focusOutEvent(QFocusEvent* event)
{
    row_.spinBoxFocusOut(this);
    QSpinBox::focusOutEvent(event);
}

void VYKTreeSpinBox::wheelEvent(QWheelEvent* event)
{
    // An unfocused editor must not swallow the wheel: the tree scrolls instead.
    if (hasFocus())
        QSpinBox::wheelEvent(event);
    else
        event->ignore();
}

void VYKTreeSpinBox::showEvent(QShowEvent* event)
{
    QSpinBox::showEvent(event);
    setButtonSymbols(QAbstractSpinBox::NoButtons);
}
