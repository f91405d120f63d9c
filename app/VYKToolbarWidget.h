// A custom-painted tool-bar button bound to a checkable action: icon above, bold text
// below, filled when checked or hovered.
#pragma once

#include <QAction>
#include <QColor>
#include <QPointer>
#include <QWidget>

class QAction;

class VYKToolbarWidget : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QColor iconColor MEMBER iconColor_)
    Q_PROPERTY(QColor textColor MEMBER textColor_)
    Q_PROPERTY(QColor pressedColor MEMBER pressedColor_)
    Q_PROPERTY(QColor hoveredColor MEMBER hoveredColor_)
public:
    // Binds to action (made checkable; not owned), 85 x 85 pixels.
    explicit VYKToolbarWidget(QAction* action, QWidget* parent = nullptr);

    QAction* action() const { return action_; }
    bool isHovered() const { return hovered_; }

signals:
    // The bound action's checked state changed.
    void checkedChanged(bool checked);

public slots:
    // Sets the bound action's checked state and repaints.
    void onActionSetChecked(bool checked);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    QPointer<QAction> action_;
    QColor iconColor_{0, 0, 0, 255};
    QColor textColor_{0, 0, 0, 255};
    QColor pressedColor_{100, 100, 100, 255};
    QColor hoveredColor_{130, 130, 130, 255};
    bool hovered_ = false;
};
