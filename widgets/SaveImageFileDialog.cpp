#include "SaveImageFileDialog.h"

#include <QComboBox>
#include <QDebug>
#include <QGridLayout>
#include <QLabel>

#include <algorithm>

SaveImageFileDialog::SaveImageFileDialog(QWidget* parent, const QString& title, const QString& startFolder,
                                         const QStringList& nameFilters, const QStringList& formatNames,
                                         const QList<int> formatValues, int preselectIndex)
    : QFileDialog(parent, title, startFolder)
    , formatNames_(formatNames)
    , formatValues_(formatValues)
{
    setAcceptMode(QFileDialog::AcceptSave);
    setOptions(QFileDialog::DontConfirmOverwrite | QFileDialog::DontUseNativeDialog);
    setNameFilters(nameFilters);

    auto* grid = qobject_cast<QGridLayout*>(layout());
    if (!grid) {
        qWarning() << "SaveImageFileDialog: unexpected layout type, cannot add format combo.";
    } else {
        formatCombo_ = new QComboBox(this);
        formatCombo_->setObjectName(QStringLiteral("dataFormatCombo"));
        for (int i = 0; i < formatNames_.size() && i < formatValues_.size(); ++i)
            formatCombo_->addItem(formatNames_.at(i), formatValues_.at(i));
        if (formatCombo_->count() > 0)
            formatCombo_->setCurrentIndex(std::clamp(preselectIndex, 0, formatCombo_->count() - 1));
        chosenFormat_ = formatCombo_->currentText();
        connect(formatCombo_, qOverload<int>(&QComboBox::activated), this,
                [this](int index) { chosenFormat_ = formatCombo_->itemText(index); });
        const int row = grid->rowCount();
        grid->addWidget(new QLabel(QStringLiteral("Data format:"), this), row, 0);
        grid->addWidget(formatCombo_, row, 1, 1, 2);
    }
    connect(this, &QFileDialog::filterSelected, this, &SaveImageFileDialog::onNameFilterChanged);
}

QString SaveImageFileDialog::selectedFile() const
{
    const QStringList files = selectedFiles();
    return files.isEmpty() ? QString() : files.first();
}

int SaveImageFileDialog::selectedDataFormat() const
{
    return formatCombo_ && formatCombo_->currentIndex() >= 0 ? formatCombo_->currentData().toInt() : -1;
}

void SaveImageFileDialog::onNameFilterChanged(QString filter)
{
    if (!formatCombo_)
        return;
    const QString previous = formatCombo_->currentText();
    formatCombo_->clear();
    const bool b16 = filter.contains(QStringLiteral("B16"), Qt::CaseInsensitive);
    const bool dicom = filter.contains(QStringLiteral("Dicom"), Qt::CaseInsensitive);
    for (int i = 0; i < formatNames_.size() && i < formatValues_.size(); ++i) {
        const QString& name = formatNames_.at(i);
        // B16 holds 16-bit mono pixels only; DICOM has no alpha channel.
        if (b16 && name != QStringLiteral("Mono 16-bit"))
            continue;
        if (dicom && (name == QStringLiteral("BGRA 8-bit") || name == QStringLiteral("RGBA 8-bit")))
            continue;
        formatCombo_->addItem(name, formatValues_.at(i));
    }
    // The user's own choice comes back once a filter offers it again (B16 -> TIFF).
    const int chosen = formatCombo_->findText(chosenFormat_);
    const int keep = chosen >= 0 ? chosen : formatCombo_->findText(previous);
    if (keep >= 0)
        formatCombo_->setCurrentIndex(keep);
}
