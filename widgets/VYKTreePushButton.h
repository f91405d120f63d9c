// Command button in a settings tree row; clicking it makes its row current.
#pragma once

#include "widgets/TreeRowBinding.h"

#include <QPushButton>

class VYKTreePushButton : public QPushButton {
    Q_OBJECT
public:
    // Button with text for row item of tree; either may be null.
    VYKTreePushButton(const QString& text, QTreeWidgetItem* item, QTreeWidget* tree,
                      QWidget* parent = nullptr);

    // The row this button belongs to.
    const TreeRowBinding& row() const { return row_; }

protected:
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    TreeRowBinding row_;
};
