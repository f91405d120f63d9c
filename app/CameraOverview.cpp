#include "CameraOverview.h"

#include <QBrush>
#include <QCheckBox>
#include <QColor>
#include <QComboBox>
#include <QDebug>
#include <QVariant>

namespace {

const char* const kSerialProperty = "serial";
const char* const kItemProperty = "cameraItem";

QString itemText(const QString& name, DWORD serial)
{
    return QStringLiteral("%1 (%2)").arg(name).arg(serial);
}

} // namespace

CameraOverview::CameraOverview(QWidget* parent)
    : QTreeWidget(parent)
{
    setColumnCount(2);
    setHeaderLabels({QStringLiteral("Property"), QStringLiteral("Value")});
    setIndentation(24);
    setColumnWidth(0, 150);
    setSelectionMode(QAbstractItemView::SingleSelection);
}

void CameraOverview::addCamera(DWORD serial, const QString& name, const QStringList& palette, int palettePosition)
{
    qInfo() << "Adding camera entry in overview for camera: " << serial;
    names_[serial] = name;

    auto* item = new QTreeWidgetItem(this);
    item->setText(0, itemText(name, serial));
    item->setData(0, Qt::UserRole, serial);
    item->setForeground(0, QBrush(QColor(palette.value(palettePosition))));

    auto* colourRow = new QTreeWidgetItem(item);
    colourRow->setText(0, QStringLiteral("Camera Color"));
    auto* colourBox = new QComboBox(this);
    colourBox->addItems(palette);
    colourBox->setCurrentIndex(palettePosition);
    colourBox->setToolTip(QStringLiteral("Change color for this camera"));
    colourBox->setProperty(kSerialProperty, serial);
    colourBox->setProperty(kItemProperty, QVariant::fromValue(static_cast<void*>(item)));
    setItemWidget(colourRow, 1, colourBox);

    auto* histogramRow = new QTreeWidgetItem(item);
    histogramRow->setText(0, QStringLiteral("Histogram"));
    auto* histogramBox = new QCheckBox(this);
    histogramBox->setChecked(true);
    histogramBox->setToolTip(QStringLiteral("Enable/Disable Histogram for this camera"));
    histogramBox->setProperty(kSerialProperty, serial);
    setItemWidget(histogramRow, 1, histogramBox);

    item->setExpanded(true);
    connect(colourBox, &QComboBox::currentTextChanged, this, &CameraOverview::onColorChanged);
    connect(histogramBox, &QCheckBox::stateChanged, this, &CameraOverview::onGraphBoxClicked);
}

void CameraOverview::removeCamera(DWORD serial)
{
    qInfo() << "Removing camera entry in overview for camera: " << serial;
    names_.erase(serial);
    delete itemOf(serial);
}

QTreeWidgetItem* CameraOverview::itemOf(DWORD serial) const
{
    for (int i = 0; i < topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = topLevelItem(i);
        if (item->data(0, Qt::UserRole).toUInt() == serial)
            return item;
    }
    return nullptr;
}

DWORD CameraOverview::senderSerial() const
{
    const QObject* editor = sender();
    return editor ? editor->property(kSerialProperty).toUInt() : 0;
}

void CameraOverview::onColorChanged(const QString& color)
{
    const DWORD serial = senderSerial();
    const auto name = names_.find(serial);
    if (name == names_.end())
        return;
    emit cameraColorChanged(serial, color, name->second);
    // The item is looked up again: the property's pointer is only a tag, not an owner.
    if (QTreeWidgetItem* item = itemOf(serial)) {
        item->setText(0, itemText(name->second, serial));
        item->setForeground(0, QBrush(QColor(color)));
    }
}

void CameraOverview::onEdgeBoxClicked(int state)
{
    const DWORD serial = senderSerial();
    if (state == Qt::Checked)
        emit showPipelineRequest(serial, QStringLiteral("flyingEdges"));
    else
        emit hidePipelineRequest(serial, QStringLiteral("flyingEdges"));
}

void CameraOverview::onIsoLevelChanged(int value)
{
    emit isoLevelChanged(senderSerial(), value);
}

void CameraOverview::onGraphBoxClicked(int state)
{
    emit changeHistogramVisible(senderSerial(), state == Qt::Checked);
}
