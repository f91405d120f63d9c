#include "FilePathWidget.h"

#include <QFileDialog>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QToolButton>

namespace {

QString platformFileDialog(QWidget* parent, const QString& caption, const QString& start,
                           const QString& filter)
{
    return QFileDialog::getOpenFileName(parent, caption, start, filter);
}

} // namespace

FilePathWidget::FilePathWidget(QWidget* parent)
    : QWidget(parent)
    , lineEdit_(new QLineEdit(this))
    , browseButton_(new QToolButton(this))
    , chooser_(platformFileDialog)
{
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    lineEdit_->setPlaceholderText(QStringLiteral("Path to LUT file"));
    browseButton_->setText(QStringLiteral("..."));
    browseButton_->setToolTip(QStringLiteral("Browse for file"));
    layout->addWidget(lineEdit_);
    layout->addWidget(browseButton_);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);

    connect(lineEdit_, &QLineEdit::editingFinished, this, &FilePathWidget::pathChanged);
    connect(browseButton_, &QToolButton::clicked, this, &FilePathWidget::onBrowseClicked);
}

void FilePathWidget::setFileChooser(FileChooser chooser)
{
    chooser_ = chooser ? std::move(chooser) : FileChooser(platformFileDialog);
}

void FilePathWidget::onBrowseClicked()
{
    const QString chosen = chooser_(this, QStringLiteral("Select LUT file"), lineEdit_->text(),
                                    QStringLiteral("LUT files (*.lut *.lt1 *.lt2 *.lt3 *.lt4)"));
    if (chosen.isEmpty())
        return;
    lineEdit_->setText(chosen);
    emit pathChanged();
}
