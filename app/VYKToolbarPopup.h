// A small tool-bar button that opens a pop-up panel right below itself while its action
// is checked; hiding the panel unchecks the action.
#pragma once

#include "VYKToolbarWidget.h"

class VYKDialog;
class QLayout;

class VYKToolbarPopup : public VYKToolbarWidget {
    Q_OBJECT
public:
    // 45 x 45 button on action; the panel (owned) holds panelLayout.
    VYKToolbarPopup(QAction* action, QLayout* panelLayout, QWidget* parent = nullptr);

    VYKDialog* popup() const { return popup_; }

public slots:
    // The panel was hidden: the action is unchecked.
    void onPopupHide();

private:
    void onChecked(bool checked);

    VYKDialog* popup_; // child
};
