// Integer editor for a settings tree row: steps only while focused, otherwise lets the
// wheel scroll the tree.
#pragma once

#include "widgets/TreeRowBinding.h"

#include <QSpinBox>

class VYKTreeSpinBox : public QSpinBox {
    Q_OBJECT
public:
    // Editor for row item of tree (either may be null), with the spin box's default range.
    VYKTreeSpinBox(QTreeWidgetItem* item, QTreeWidget* tree, QWidget* parent = nullptr);
    // Editor with the range [minimum, maximum].
    VYKTreeSpinBox(int minimum, int maximum, QTreeWidgetItem* item, QTreeWidget* tree,
                   QWidget* parent = nullptr);

    // The row this editor belongs to.
    const TreeRowBinding& row() const { return row_; }

protected:
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    TreeRowBinding row_;
};
