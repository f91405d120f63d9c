// The theme commands: accent colour ("VYK Blue", "Green", "Orange") and brightness
// ("Dark", "Bright"), each an exclusive group of checkable actions.
#pragma once

#include <QList>
#include <QObject>
#include <QString>

class QAction;
class QActionGroup;
class QMenu;

class ThemeActions : public QObject {
    Q_OBJECT
public:
    // The colour values of one accent.
    struct Accent {
        QString hex; // "@accent_hex" value, "#RRGGBB"
        QString rgb; // "@accent_rgb" value, "r, g, b" in decimal
    };

    // Creates the five actions as children of this object: "VYK Blue" checked, no
    // brightness checked (the saved state decides).
    explicit ThemeActions(QObject* parent = nullptr);

    // The accent colour for an accent action text; unknown texts get "VYK Blue"'s.
    static Accent accentFor(const QString& text);

    // The accent actions in menu order.
    const QList<QAction*>& accentActions() const { return accentActions_; }
    // The brightness actions ("Dark", "Bright").
    const QList<QAction*>& brightnessActions() const { return brightnessActions_; }
    // Adds the accent actions to menu (the brightness actions are in no menu).
    void addAccentActionsTo(QMenu* menu) const;

    // Text of the checked accent action, empty when none is checked.
    QString checkedAccent() const;
    // Text of the checked brightness action, empty when none is checked.
    QString checkedBrightness() const;
    // Checks the accent action with that text; false when there is none.
    bool checkAccent(const QString& text);
    // Checks the brightness action with that text; false when there is none.
    bool checkBrightness(const QString& text);

signals:
    // The user triggered one of the five actions (connect MainWindow::onStyleChanged).
    void styleActionTriggered();

public slots:
    // Applies the style sheet for the checked accent and brightness, logging the choice.
    void onStyleChanged();

private:
    QActionGroup* accentGroup_;     // child; owns the accent actions
    QActionGroup* brightnessGroup_; // child; owns the brightness actions
    QList<QAction*> accentActions_;
    QList<QAction*> brightnessActions_;
};
