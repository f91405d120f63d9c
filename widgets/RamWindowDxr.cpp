#include "RamWindowDxr.h"

#include "widgets/PercentSpinboxDxr.h"
#include "widgets/LiveCamera.h"
#include "widgets/RamPieWidget.h"

#include "camera/CameraException.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <QtDebug>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

const QString kNotAvailable = QStringLiteral("N/A");
const QColor kForeignText(120, 120, 120);

void sortById(std::vector<vyk::RamAllocation>& entries)
{
    std::stable_sort(entries.begin(), entries.end(),
                     [](const vyk::RamAllocation& a, const vyk::RamAllocation& b) { return a.alloc_id < b.alloc_id; });
}

// A cell showing value that the user cannot edit.
QTableWidgetItem* fixedItem(const QString& text)
{
    auto* item = new QTableWidgetItem(text);
    item->setFlags(item->flags() & ~Qt::ItemIsEditable);
    return item;
}

} // namespace

RamWindowDxr::Edit RamWindowDxr::editAllocation(QWidget* parent, const std::weak_ptr<vyk::AnyCamera>& camera,
                                                const std::vector<vyk::RamAllocation>& entries,
                                                uint16_t activeSegment)
{
    RamWindowDxr dialog(camera.lock(), parent);
    dialog.loadEntries(entries, activeSegment);
    if (dialog.exec() == QDialog::Accepted)
        return {dialog.entries(), dialog.activeSegment(), true};
    return {entries, activeSegment, false};
}

RamWindowDxr::RamWindowDxr(const std::shared_ptr<vyk::AnyCamera>& camera, QWidget* parent)
    : QDialog(parent)
    , camera_(camera)
    , addButton_(new QPushButton(QStringLiteral("+ Segment"), this))
    , removeButton_(new QPushButton(QStringLiteral("- Segment"), this))
    , table_(new QTableWidget(0, kColumnCount, this))
    , activeGroup_(new QButtonGroup(this))
    , remainingLabel_(new QLabel(QStringLiteral("Remaining: 100 %"), this))
    , buttons_(new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this))
    , pie_(new RamPieWidget(this))
{
    if (camera)
        serial_ = camera->getSerial();
    setWindowTitle(QStringLiteral("DXR Allocation"));
    setModal(true);
    setSizeGripEnabled(true);
    resize(800, 480);

    table_->setObjectName(QStringLiteral("DxrTable"));
    table_->setHorizontalHeaderLabels({QStringLiteral("Alloc ID"), QStringLiteral("Camera"), QStringLiteral("Percent"),
                                       QStringLiteral("Active"), QStringLiteral("Images")});
    for (int column = kAllocId; column < kImages; ++column)
        table_->horizontalHeader()->setSectionResizeMode(column, QHeaderView::ResizeToContents);
    table_->horizontalHeader()->setSectionResizeMode(kImages, QHeaderView::Stretch);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->setEditTriggers(QAbstractItemView::AllEditTriggers);
    table_->setItemDelegateForColumn(kPercent, new PercentSpinboxDxr(table_));
    activeGroup_->setExclusive(true);
    remainingLabel_->setObjectName(QStringLiteral("RemainingLabel"));
    applyButton_ = buttons_->addButton(QStringLiteral("Apply"), QDialogButtonBox::ApplyRole);
    pie_->setObjectName(QStringLiteral("RamPie"));

    auto* left = new QVBoxLayout;
    left->addWidget(addButton_);
    left->addWidget(removeButton_);
    left->addStretch();
    auto* centre = new QVBoxLayout;
    centre->addWidget(table_);
    centre->addWidget(remainingLabel_);
    centre->addWidget(buttons_);
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(left);
    layout->addLayout(centre, 1);
    layout->addWidget(pie_);

    connect(addButton_, &QPushButton::clicked, this, &RamWindowDxr::onAddSegment);
    connect(removeButton_, &QPushButton::clicked, this, &RamWindowDxr::onRemoveSegment);
    connect(table_, &QTableWidget::cellChanged, this, &RamWindowDxr::onCellChanged);
    connect(buttons_, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons_, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(applyButton_, &QPushButton::clicked, this, &RamWindowDxr::onApply);
    connect(activeGroup_, &QButtonGroup::idToggled, this, [this](int id, bool checked) {
        if (checked && !updating_)
            activeSegment_ = static_cast<uint16_t>(id);
    });
}

void RamWindowDxr::loadEntries(const std::vector<vyk::RamAllocation>& entries, uint16_t activeSegment)
{
    entries_ = entries;
    sortById(entries_);
    activeSegment_ = activeSegment;
    if (activeSegment_ == 0)
        activateFirstOwnSegment();
    imageCounts_.clear();
    rebuildTable();
    refreshRemaining();
}

std::vector<vyk::RamAllocation> RamWindowDxr::entries()
{
    takePercentCells();
    return entries_;
}

bool RamWindowDxr::ownsRow(int row) const
{
    return row >= 0 && row < static_cast<int>(entries_.size()) &&
           entries_[static_cast<std::size_t>(row)].camera_serial == serial_;
}

void RamWindowDxr::activateFirstOwnSegment()
{
    activeSegment_ = 0;
    for (const vyk::RamAllocation& entry : entries_) {
        if (entry.camera_serial == serial_) {
            activeSegment_ = entry.alloc_id;
            return;
        }
    }
}

void RamWindowDxr::rebuildTable()
{
    updating_ = true;
    for (QAbstractButton* radio : activeGroup_->buttons())
        activeGroup_->removeButton(radio);
    table_->clearContents();
    table_->setRowCount(static_cast<int>(entries_.size()));
    for (int row = 0; row < table_->rowCount(); ++row) {
        const vyk::RamAllocation& entry = entries_[static_cast<std::size_t>(row)];
        const bool own = entry.camera_serial == serial_;
        const int percent = static_cast<int>(std::lround(entry.percent_of_total));

        auto* percentItem = new QTableWidgetItem(QString::number(percent));
        percentItem->setData(Qt::EditRole, percent);
        const QList<QTableWidgetItem*> items = {fixedItem(QString::number(entry.alloc_id)),
                                                fixedItem(QString::number(entry.camera_serial)), percentItem,
                                                fixedItem(QString()), fixedItem(kNotAvailable)};
        for (int column = 0; column < kColumnCount; ++column) {
            QTableWidgetItem* item = items.at(column);
            item->setForeground(own ? RamPieWidget::segmentColor(row) : kForeignText);
            if (!own)
                item->setToolTip(QStringLiteral("Allocated by another camera"));
            table_->setItem(row, column, item);
        }
        if (own) {
            percentItem->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEditable | Qt::ItemIsEnabled);
            percentItem->setToolTip(QStringLiteral("Percents of total storage used by segment"));
        } else {
            percentItem->setFlags(percentItem->flags() & ~(Qt::ItemIsEditable | Qt::ItemIsEnabled));
        }
        if (imageCounts_.contains(entry.alloc_id))
            setImagesCell(row, imageCounts_.value(entry.alloc_id));

        auto* radio = new QRadioButton;
        radio->setObjectName(QStringLiteral("ActiveRadio%1").arg(entry.alloc_id));
        radio->setEnabled(own);
        radio->setChecked(entry.alloc_id == activeSegment_);
        activeGroup_->addButton(radio, entry.alloc_id);
        auto* cell = new QWidget;
        auto* cellLayout = new QHBoxLayout(cell);
        cellLayout->setContentsMargins(0, 0, 0, 0);
        cellLayout->setAlignment(Qt::AlignCenter);
        cellLayout->addWidget(radio);
        table_->setCellWidget(row, kActive, cell);
    }
    updating_ = false;
}

int RamWindowDxr::percentCell(int row) const
{
    const QTableWidgetItem* item = table_->item(row, kPercent);
    if (!item)
        return 0;
    bool number = false;
    const int value = item->text().toInt(&number);
    return number ? std::clamp(value, 0, 100) : 0;
}

int RamWindowDxr::percentSum() const
{
    int sum = 0;
    for (int row = 0; row < table_->rowCount(); ++row)
        sum += percentCell(row);
    return sum;
}

void RamWindowDxr::takePercentCells()
{
    for (int row = 0; row < table_->rowCount() && row < static_cast<int>(entries_.size()); ++row)
        entries_[static_cast<std::size_t>(row)].percent_of_total = percentCell(row);
}

void RamWindowDxr::refreshRemaining()
{
    QList<int> percentages;
    for (int row = 0; row < table_->rowCount(); ++row)
        percentages.append(percentCell(row));
    pie_->setPercentages(percentages);
    const int sum = percentSum();
    remainingLabel_->setText(QStringLiteral("Remaining: %1 %").arg(std::max(0, 100 - sum)));
    const bool valid = sum >= 1 && sum <= 100;
    remainingLabel_->setStyleSheet(valid ? QString() : QStringLiteral("color: #c62828;"));
    buttons_->button(QDialogButtonBox::Ok)->setEnabled(valid);
    if (!valid)
        applyButton_->setEnabled(false);
}

void RamWindowDxr::onCellChanged(int row, int col)
{
    if (updating_ || col != kPercent)
        return;
    QTableWidgetItem* item = table_->item(row, kPercent);
    if (!item)
        return;
    const int value = percentCell(row);
    updating_ = true;
    item->setText(QString::number(value));
    item->setData(Qt::EditRole, value);
    updating_ = false;
    // Enabled before the refresh, which disables it again for a total outside 1..100.
    applyButton_->setEnabled(true);
    refreshRemaining();
}

void RamWindowDxr::onAddSegment()
{
    uint16_t largest = 0;
    for (const vyk::RamAllocation& entry : entries_)
        largest = std::max(largest, entry.alloc_id);
    if (largest == std::numeric_limits<uint16_t>::max()) {
        qWarning() << "No DXR segment added: the segment numbers are used up";
        return;
    }
    takePercentCells();
    vyk::RamAllocation added;
    added.alloc_id = static_cast<uint16_t>(largest + 1);
    added.camera_serial = serial_;
    entries_.push_back(added);
    if (activeSegment_ == 0)
        activeSegment_ = added.alloc_id; // the camera's first segment is the one it records into
    rebuildTable();
    refreshRemaining();
}

void RamWindowDxr::onRemoveSegment()
{
    const QModelIndexList selected = table_->selectionModel()->selectedRows();
    int row = -1;
    if (selected.isEmpty()) {
        for (int i = static_cast<int>(entries_.size()) - 1; i >= 0 && row < 0; --i)
            if (ownsRow(i))
                row = i;
        if (row < 0)
            return;
    } else {
        row = selected.first().row();
        if (!ownsRow(row)) {
            QMessageBox::information(this, QStringLiteral("Not allowed"),
                                     QStringLiteral("You can only remove segments of this camera."));
            return;
        }
    }
    takePercentCells();
    const uint16_t removed = entries_[static_cast<std::size_t>(row)].alloc_id;
    entries_.erase(entries_.begin() + row);
    // Switching to a segment that no longer exists would fail; the camera's first
    // remaining segment takes its place.
    if (removed == activeSegment_)
        activateFirstOwnSegment();
    imageCounts_.remove(removed);
    rebuildTable();
    refreshRemaining();
}

void RamWindowDxr::setImagesCell(int row, uint32_t count)
{
    if (QTableWidgetItem* item = table_->item(row, kImages))
        item->setText(count > 0 ? QString::number(count) : kNotAvailable);
}

void RamWindowDxr::onApply()
{
    takePercentCells();
    int sum = 0;
    for (const vyk::RamAllocation& entry : entries_)
        sum += static_cast<int>(std::lround(entry.percent_of_total));
    if (sum < 1 || sum > 100) {
        QMessageBox::warning(this, QStringLiteral("Invalid allocation"),
                             QStringLiteral("Global total percentage must be between 1 and 100."));
        return;
    }
    const std::shared_ptr<vyk::AnyCamera> camera = liveCameraOrWarn(camera_, this);
    if (!camera)
        return;
    try {
        camera->setDxrAllocation(entries_);
        entries_ = camera->getDxrAllocation();
        sortById(entries_);
        imageCounts_.clear();
        rebuildTable();
        refreshRemaining();
        countImages(*camera);
        if (activeSegment_ != 0)
            camera->switchToCamRam(activeSegment_);
        applyButton_->setEnabled(false);
        refreshRemaining();
    } catch (const std::exception& error) {
        QMessageBox::warning(this, QStringLiteral("Apply failed"),
                             QStringLiteral("Error setting vyk.dxr allocation:\n%1").arg(QString::fromUtf8(error.what())));
    }
}

void RamWindowDxr::countImages(vyk::AnyCamera& camera)
{
    for (int row = 0; row < static_cast<int>(entries_.size()); ++row) {
        if (!ownsRow(row))
            continue;
        const uint16_t segment = entries_[static_cast<std::size_t>(row)].alloc_id;
        try {
            camera.switchToCamRam(segment);
            const uint32_t count = camera.getCamRamMaxImages();
            imageCounts_.insert(segment, count);
            setImagesCell(row, count);
        } catch (const vyk::CameraException& error) {
            qWarning().noquote() << QStringLiteral("Error getting image amount for segment: %1. Error was: %2")
                                        .arg(segment)
                                        .arg(QString::fromUtf8(error.what()));
            QMessageBox::warning(this, QStringLiteral("Error"),
                                 QStringLiteral("Error while getting possible image amount for segment: %1.\n"
                                                "Please try again after apply is finished.")
                                     .arg(segment));
        }
    }
}
