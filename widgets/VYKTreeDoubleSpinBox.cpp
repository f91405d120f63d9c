#include "VYKTreeDoubleSpinBox.h"

#include <QWheelEvent>

VYKTreeDoubleSpinBox::VYKTreeDoubleSpinBox(QTreeWidgetItem* item, QTreeWidget* tree, QWidget* parent)
    : QDoubleSpinBox(parent)
    , row_(item, tree)
{
    setFocusPolicy(Qt::ClickFocus);
    setAutoFillBackground(true);
}

VYKTreeDoubleSpinBox::VYKTreeDoubleSpinBox(double minimum, double maximum, QTreeWidgetItem* item,
                                           QTreeWidget* tree, QWidget* parent)
    : VYKTreeDoubleSpinBox(item, tree, parent)
{
    setRange(minimum, maximum);
}

void VYKTreeDoubleSpinBox::focusInEvent(QFocusEvent* event)
{
    row_.spinBoxFocusIn(this);
    QDoubleSpinBox::focusInEvent(event);
}

void VYKTreeDoubleSpinBox::focusOutEvent(QFocusEvent* event)
{
    row_.spinBoxFocusOut(this);
    QDoubleSpinBox::focusOutEvent(event);
}

void VYKTreeDoubleSpinBox::wheelEvent(QWheelEvent* event)
{
    // An unfocused editor must not swallow the wheel: the tree scrolls instead.
    if (hasFocus())
        QDoubleSpinBox::wheelEvent(event);
    else
        event->ignore();
}

void VYKTreeDoubleSpinBox::showEvent(QShowEvent* event)
{
    QDoubleSpinBox::showEvent(event);
    setButtonSymbols(QAbstractSpinBox::NoButtons);
}
