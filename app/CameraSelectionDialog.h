// Modal dialog listing free remote devices; the user ticks the ones to use.
#pragma once

#include "camera/DeviceEntry.h"

#include <QDialog>

#include <vector>

class QTableWidget;

class CameraSelectionDialog : public QDialog {
    Q_OBJECT
public:
    // One row per entry, in the given order, with an unticked "Use" box; the "Device" cell of
    // an entry whose server demands a token says "(token required)".
    explicit CameraSelectionDialog(const std::vector<vyk::DeviceEntry>& entries, QWidget* parent = nullptr);

    // The entries whose "Use" box is ticked, in row order.
    std::vector<vyk::DeviceEntry> selectedEntries() const;

    // The table (for tests and automation).
    QTableWidget* table() const { return table_; }

private:
    // Sizes the columns to their contents and widens the dialog to show them whole.
    void fitColumnsToContents();

    std::vector<vyk::DeviceEntry> entries_; // row i shows entries_[i]
    QTableWidget* table_;                   // child
};
