// Dialog base class that reports when it is shown and hidden, so panels can follow it.
#pragma once

#include <QDialog>

class QLayout;

class VYKDialog : public QDialog {
    Q_OBJECT
public:
    // Dialog with layout (may be null; the dialog takes ownership), 200 x 100 initially.
    explicit VYKDialog(QLayout* layout, QWidget* parent = nullptr, Qt::WindowFlags flags = {});

signals:
    // Emitted after the dialog was shown.
    void showSignal();
    // Emitted after the dialog was hidden.
    void hideSignal();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
};
