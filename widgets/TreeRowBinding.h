// The link between a tree editor widget and the tree row it edits.
#pragma once

#include <QPointer>

class QAbstractSpinBox;
class QTreeWidget;
class QTreeWidgetItem;

class TreeRowBinding {
public:
    // Binds to row item of tree; either may be null (then the row operations do nothing).
    TreeRowBinding(QTreeWidgetItem* item, QTreeWidget* tree);

    // The bound row (not owned; the tree owns it).
    QTreeWidgetItem* item() const { return item_; }
    // The tree showing the row; null once it is gone or while it is being destroyed.
    QTreeWidget* tree() const;
    // Whether the row may be touched: it exists and so does the tree it was bound to.
    bool rowUsable() const;

    // Makes the row the tree's current item.
    void makeCurrent() const;
    // Selects or deselects the row.
    void setSelected(bool selected) const;

    // Spin box editors: focus in makes the row current and shows the step buttons.
    void spinBoxFocusIn(QAbstractSpinBox* box) const;
    // Spin box editors: focus out hides the step buttons and deselects the row.
    void spinBoxFocusOut(QAbstractSpinBox* box) const;

private:
    QTreeWidgetItem* item_;      // not owned; the tree deletes the editor together with the row
    QPointer<QTreeWidget> tree_; // not owned
    bool boundToTree_;           // a tree was given; its rows die with it
};
