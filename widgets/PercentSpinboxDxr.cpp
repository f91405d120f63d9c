#include "PercentSpinboxDxr.h"

#include <QSpinBox>

PercentSpinboxDxr::PercentSpinboxDxr(QObject* parent)
    : QStyledItemDelegate(parent)
{
}

QWidget* PercentSpinboxDxr::createEditor(QWidget* parent, const QStyleOptionViewItem& /*option*/,
                                         const QModelIndex& /*index*/) const
{
    auto* editor = new QSpinBox(parent);
    editor->setRange(0, 100);
    editor->setSuffix(QStringLiteral("%"));
    editor->setSingleStep(1);
    return editor;
}

void PercentSpinboxDxr::setEditorData(QWidget* editor, const QModelIndex& index) const
{
    auto* spinBox = qobject_cast<QSpinBox*>(editor);
    if (!spinBox)
        return;
    spinBox->setValue(index.model()->data(index, Qt::EditRole).toInt());
}

void PercentSpinboxDxr::setModelData(QWidget* editor, QAbstractItemModel* model,
                                     const QModelIndex& index) const
{
    auto* spinBox = qobject_cast<QSpinBox*>(editor);
    if (!spinBox)
        return;
    // Take over text the user typed but did not confirm yet.
    spinBox->interpretText();
    model->setData(index, spinBox->value(), Qt::EditRole);
}
