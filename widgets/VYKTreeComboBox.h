// Choice editor for a settings tree row; never reacts to the mouse wheel, so scrolling the
// tree cannot change a setting by accident.
#pragma once

#include "widgets/TreeRowBinding.h"

#include <QComboBox>

class VYKTreeComboBox : public QComboBox {
    Q_OBJECT
public:
    // Editor for row item of tree; either may be null.
    VYKTreeComboBox(QTreeWidgetItem* item, QTreeWidget* tree, QWidget* parent = nullptr);

    // The row this editor belongs to.
    const TreeRowBinding& row() const { return row_; }

protected:
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    TreeRowBinding row_;
};
