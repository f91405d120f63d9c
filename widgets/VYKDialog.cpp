#include "VYKDialog.h"

#include <QLayout>

VYKDialog::VYKDialog(QLayout* layout, QWidget* parent, Qt::WindowFlags flags)
    : QDialog(parent, flags)
{
    if (layout)
        setLayout(layout);
    resize(200, 100);
}

void VYKDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    emit showSignal();
}

void VYKDialog::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    emit hideSignal();
}
