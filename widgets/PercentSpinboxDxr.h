// Item delegate editing a whole percentage (0 % to 100 %) with a spin box, for the DXR
// storage allocation table.
#pragma once

#include <QStyledItemDelegate>

class PercentSpinboxDxr : public QStyledItemDelegate {
    Q_OBJECT
public:
    explicit PercentSpinboxDxr(QObject* parent = nullptr);

    // A QSpinBox with range 0..100, suffix "%" and step 1.
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    // Loads the model's edit-role value, as int, into the spin box.
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    // Writes the spin box value back as int with the edit role.
    void setModelData(QWidget* editor, QAbstractItemModel* model,
                      const QModelIndex& index) const override;
};
