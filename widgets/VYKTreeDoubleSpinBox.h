// Floating-point editor for a settings tree row: steps only while focused, otherwise lets
// the wheel scroll the tree.
#pragma once

#include "widgets/TreeRowBinding.h"

#include <QDoubleSpinBox>

class VYKTreeDoubleSpinBox : public QDoubleSpinBox {
    Q_OBJECT
public:
    // Editor for row item of tree (either may be null), with the spin box's default range.
    VYKTreeDoubleSpinBox(QTreeWidgetItem* item, QTreeWidget* tree, QWidget* parent = nullptr);
    // Editor with the range [minimum, maximum].
    VYKTreeDoubleSpinBox(double minimum, double maximum, QTreeWidgetItem* item, QTreeWidget* tree,
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
