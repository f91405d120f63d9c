// Qt's own save dialog with an extra row choosing the pixel data format of the written image.
#pragma once

#include <QFileDialog>
#include <QList>
#include <QString>
#include <QStringList>

class QComboBox;

class SaveImageFileDialog : public QFileDialog {
    Q_OBJECT
public:
    // A save dialog titled title in startFolder with nameFilters; the data-format row offers
    // formatNames (formatValues[i] is the value of formatNames[i]) and preselects
    // preselectIndex, clamped to the list.
    SaveImageFileDialog(QWidget* parent, const QString& title, const QString& startFolder,
                        const QStringList& nameFilters, const QStringList& formatNames,
                        const QList<int> formatValues, int preselectIndex);

    // The first selected file, empty when none.
    QString selectedFile() const;
    // The data-format value of the chosen entry; -1 when the dialog has no format row.
    int selectedDataFormat() const;
    // The data-format combo box; null when the dialog's layout left no room for it.
    QComboBox* formatCombo() const { return formatCombo_; }

public slots:
    // Offers only the formats the file type of filter can hold, keeping the choice if possible.
    void onNameFilterChanged(QString filter);

private:
    QStringList formatNames_;  // every format of the camera, in display order
    QList<int> formatValues_;  // the DataFormat value of each entry of formatNames_
    QString chosenFormat_;     // the entry the user picked last (or the preselected one)
    QComboBox* formatCombo_ = nullptr; // child; null without a grid layout
};
