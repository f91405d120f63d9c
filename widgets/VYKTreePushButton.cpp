#include "VYKTreePushButton.h"

#include <QWheelEvent>

VYKTreePushButton::VYKTreePushButton(const QString& text, QTreeWidgetItem* item, QTreeWidget* tree,
                                     QWidget* parent)
    : QPushButton(text, parent)
    , row_(item, tree)
{
    setFocusPolicy(Qt::NoFocus);
    setAutoFillBackground(true);
}

void VYKTreePushButton::focusInEvent(QFocusEvent* event)
{
    row_.makeCurrent();
    QPushButton::focusInEvent(event);
}

void VYKTreePushButton::focusOutEvent(QFocusEvent* event)
{
    row_.setSelected(false);
    QPushButton::focusOutEvent(event);
}

void VYKTreePushButton::wheelEvent(QWheelEvent* event)
{
    if (hasFocus())
        QPushButton::wheelEvent(event);
    else
        event->ignore();
}

void VYKTreePushButton::mousePressEvent(QMouseEvent* event)
{
    row_.makeCurrent();
    QPushButton::mousePressEvent(event);
}
