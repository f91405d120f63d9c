#include "VYKToolbarPopup.h"

#include "widgets/VYKDialog.h"

#include <QAction>

VYKToolbarPopup::VYKToolbarPopup(QAction* action, QLayout* panelLayout, QWidget* parent)
    : VYKToolbarWidget(action, parent)
    , popup_(new VYKDialog(panelLayout, this, Qt::Popup))
{
    setFixedSize(45, 45);
    popup_->setWindowModality(Qt::WindowModal);
    connect(popup_, &VYKDialog::hideSignal, this, &VYKToolbarPopup::onPopupHide);
    connect(this, &VYKToolbarWidget::checkedChanged, this, &VYKToolbarPopup::onChecked);
}

void VYKToolbarPopup::onChecked(bool checked)
{
    if (!checked)
        return;
    popup_->adjustSize();
    popup_->move(mapToGlobal(QPoint(0, height())));
    popup_->show();
}

void VYKToolbarPopup::onPopupHide()
{
    onActionSetChecked(false);
}
