#include "TreeRowBinding.h"

#include <QAbstractSpinBox>
#include <QTreeWidget>

TreeRowBinding::TreeRowBinding(QTreeWidgetItem* item, QTreeWidget* tree)
    : item_(item)
    , tree_(tree)
    , boundToTree_(tree != nullptr)
{
}

QTreeWidget* TreeRowBinding::tree() const
{
    // While the tree is being destroyed its QWidget destructor still sends focus events to
    // the editors; the guard is not cleared yet, but the dynamic type is no longer a tree.
    return qobject_cast<QTreeWidget*>(tree_.data());
}

bool TreeRowBinding::rowUsable() const
{
    return item_ && (!boundToTree_ || tree());
}

void TreeRowBinding::makeCurrent() const
{
    QTreeWidget* view = tree();
    if (view && rowUsable())
        view->setCurrentItem(item_);
}

void TreeRowBinding::setSelected(bool selected) const
{
    if (rowUsable())
        item_->setSelected(selected);
}

void TreeRowBinding::spinBoxFocusIn(QAbstractSpinBox* box) const
{
    makeCurrent();
    box->setButtonSymbols(QAbstractSpinBox::UpDownArrows);
}

void TreeRowBinding::spinBoxFocusOut(QAbstractSpinBox* box) const
{
    box->setButtonSymbols(QAbstractSpinBox::NoButtons);
    setSelected(false);
}
