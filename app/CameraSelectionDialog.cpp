#include "CameraSelectionDialog.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace {

QTableWidgetItem* readOnlyItem(const QString& text)
{
    auto* item = new QTableWidgetItem(text);
    item->setFlags(Qt::ItemIsEnabled);
    return item;
}

// The "Device" cell: the device type, marked when its server demands a token.
QTableWidgetItem* deviceItem(const vyk::DeviceEntry& entry)
{
    QTableWidgetItem* item = readOnlyItem(QString::fromStdString(entry.type));
    if (entry.tokenRequired) {
        item->setText(item->text() + QStringLiteral(" (token required)"));
        item->setToolTip(QStringLiteral("The server demands a token: enter it in Camera Setup or set RASTEL_TOKEN"));
    }
    return item;
}

// The "Use" cell: a centred check box without margins inside a holder widget.
QWidget* useCell(QWidget* parent)
{
    auto* holder = new QWidget(parent);
    auto* layout = new QHBoxLayout(holder);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setAlignment(Qt::AlignCenter);
    auto* box = new QCheckBox(holder);
    box->setChecked(false);
    layout->addWidget(box);
    return holder;
}

} // namespace

CameraSelectionDialog::CameraSelectionDialog(const std::vector<vyk::DeviceEntry>& entries, QWidget* parent)
    : QDialog(parent)
    , entries_(entries)
    , table_(new QTableWidget(static_cast<int>(entries.size()), 6, this))
{
    setWindowTitle(QStringLiteral("Select Remote Devices"));
    setModal(true);
    resize(650, 350);

    table_->setHorizontalHeaderLabels({QStringLiteral("Use"), QStringLiteral("IP"), QStringLiteral("Port"),
                                       QStringLiteral("Device"), QStringLiteral("Serial"), QStringLiteral("Name")});
    table_->setSelectionMode(QAbstractItemView::NoSelection);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->horizontalHeader()->setStretchLastSection(true);
    for (int row = 0; row < table_->rowCount(); ++row) {
        const vyk::DeviceEntry& entry = entries_[static_cast<size_t>(row)];
        table_->setCellWidget(row, 0, useCell(table_));
        table_->setItem(row, 1, readOnlyItem(QString::fromStdString(entry.ip)));
        table_->setItem(row, 2, readOnlyItem(QString::number(entry.port)));
        table_->setItem(row, 3, deviceItem(entry));
        table_->setItem(row, 4, readOnlyItem(QString::number(entry.serial)));
        table_->setItem(row, 5, readOnlyItem(QString::fromStdString(entry.name)));
    }

    auto* addButton = new QPushButton(QStringLiteral("Add Selected Devices"), this);
    connect(addButton, &QPushButton::clicked, this, &QDialog::accept);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(table_);
    layout->addWidget(addButton);
    fitColumnsToContents();
}

void CameraSelectionDialog::fitColumnsToContents()
{
    // Every column is as wide as its widest cell or title, so no device name is cut; the
    // stretched last column takes what is left over.
    QHeaderView* header = table_->horizontalHeader();
    const int last = table_->columnCount() - 1;
    for (int column = 0; column < last; ++column)
        header->setSectionResizeMode(column, QHeaderView::ResizeToContents);

    int needed = table_->verticalHeader()->sizeHint().width() + 2 * table_->frameWidth()
                 + table_->verticalScrollBar()->sizeHint().width();
    // QTableView hides the item views' public content width.
    const QAbstractItemView* view = table_;
    for (int column = 0; column <= last; ++column)
        needed += std::max(view->sizeHintForColumn(column), header->sectionSizeHint(column));
    const QMargins margins = layout()->contentsMargins();
    needed += margins.left() + margins.right();

    // The dialog widens for long names as far as the screen allows; beyond that the last
    // column keeps its full width too and the table scrolls sideways.
    const QScreen* shownOn = screen();
    const int available = shownOn ? shownOn->availableGeometry().width() : needed;
    if (needed > available) {
        header->setStretchLastSection(false);
        header->setSectionResizeMode(last, QHeaderView::ResizeToContents);
    }
    resize(std::max(width(), std::min(needed, available)), height());
}

std::vector<vyk::DeviceEntry> CameraSelectionDialog::selectedEntries() const
{
    std::vector<vyk::DeviceEntry> selected;
    for (int row = 0; row < table_->rowCount(); ++row) {
        const QWidget* holder = table_->cellWidget(row, 0);
        const QCheckBox* box = holder ? holder->findChild<QCheckBox*>() : nullptr;
        if (box && box->isChecked())
            selected.push_back(entries_[static_cast<size_t>(row)]);
    }
    return selected;
}
