// A line edit with a browse button for picking a LUT file.
#pragma once

#include <QWidget>

#include <functional>

class QLineEdit;
class QToolButton;

class FilePathWidget : public QWidget {
    Q_OBJECT
public:
    // Asks the user for a file: (parent, caption, start directory or file, filter) -> the
    // chosen path, empty when cancelled.
    using FileChooser =
        std::function<QString(QWidget*, const QString&, const QString&, const QString&)>;

    explicit FilePathWidget(QWidget* parent = nullptr);

    // The line edit holding the path (child widget); the owner reads the path from it.
    QLineEdit* lineEdit() const { return lineEdit_; }
    // The "..." browse button (child widget).
    QToolButton* browseButton() const { return browseButton_; }
    // Replaces the platform file dialog (for tests and embedding); null restores it.
    void setFileChooser(FileChooser chooser);

signals:
    // The path was edited or chosen.
    void pathChanged();

public slots:
    // Lets the user pick a LUT file; a non-empty choice replaces the path.
    void onBrowseClicked();

private:
    QLineEdit* lineEdit_;        // child
    QToolButton* browseButton_;  // child
    FileChooser chooser_;
};
