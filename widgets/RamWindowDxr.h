// Modal dialog "DXR Allocation": edits the storage of the DXR recorder, which several
// cameras share, as a list of segments each owned by one camera with a share of the total.
// Only this camera's segments can be edited, added or removed; the others are shown so that
// the division adds up. "Apply" writes to the server while the dialog is open.
#pragma once

#include "camera/AnyCamera.h"
#include "camera/RamAllocation.h"

#include <QDialog>
#include <QMap>

#include <cstdint>
#include <memory>
#include <vector>

class QButtonGroup;
class QDialogButtonBox;
class QLabel;
class QPushButton;
class QTableWidget;
class RamPieWidget;

class RamWindowDxr : public QDialog {
    Q_OBJECT
public:
    // What editAllocation returns: the segments with the table's percentages, the segment
    // to switch to (0 = none) and whether the user pressed OK.
    struct Edit {
        std::vector<vyk::RamAllocation> entries;
        uint16_t activeSegment = 0;
        bool accepted = false;
    };

    // Runs the dialog modally on entries; with activeSegment 0 the first segment of this
    // camera becomes active. Cancel returns the given values with accepted = false. The
    // camera is held only while its serial is read, so that one that goes away meanwhile is
    // reported instead of used.
    static Edit editAllocation(QWidget* parent, const std::weak_ptr<vyk::AnyCamera>& camera,
                               const std::vector<vyk::RamAllocation>& entries, uint16_t activeSegment);

    // Builds the dialog and reads the camera's serial (may throw vyk::CameraException);
    // afterwards the camera is only observed.
    explicit RamWindowDxr(const std::shared_ptr<vyk::AnyCamera>& camera, QWidget* parent = nullptr);

    // Shows entries (sorted by alloc_id) with activeSegment, or this camera's first segment
    // when activeSegment is 0.
    void loadEntries(const std::vector<vyk::RamAllocation>& entries, uint16_t activeSegment);
    // The segments with the table's percentages.
    std::vector<vyk::RamAllocation> entries();
    // The alloc_id to switch to; 0 = none.
    uint16_t activeSegment() const { return activeSegment_; }

    // Table columns.
    enum Column { kAllocId = 0, kCamera, kPercent, kActive, kImages, kColumnCount };

public slots:
    // Appends a segment of this camera after the largest alloc_id; it becomes active when
    // no segment is.
    void onAddSegment();
    void onRemoveSegment();
    void onApply();
    void onCellChanged(int row, int col);

private:
    void rebuildTable();
    // Pie, "Remaining" and the OK / Apply buttons from the Percent cells.
    void refreshRemaining();
    // Copies the Percent cells into entries_, so that a rebuild keeps unapplied edits.
    void takePercentCells();
    int percentCell(int row) const;
    int percentSum() const;
    bool ownsRow(int row) const;
    // Makes this camera's first segment active (0 when it has none).
    void activateFirstOwnSegment();
    // Reads each own segment's image capacity into the Images column.
    void countImages(vyk::AnyCamera& camera);
    void setImagesCell(int row, uint32_t count);

    std::weak_ptr<vyk::AnyCamera> camera_;   // observed only
    uint32_t serial_ = 0;                    // this camera's serial, read at construction
    std::vector<vyk::RamAllocation> entries_; // sorted by alloc_id ascending; table row i = entry i
    uint16_t activeSegment_ = 0;             // alloc_id to switch to, 0 = none
    QMap<uint16_t, uint32_t> imageCounts_;   // images per alloc_id found by the last Apply
    bool updating_ = false;                  // set while the dialog itself writes cells

    QPushButton* addButton_;
    QPushButton* removeButton_;
    QTableWidget* table_;
    QButtonGroup* activeGroup_;              // radios of the Active column; id = alloc_id
    QLabel* remainingLabel_;
    QDialogButtonBox* buttons_;
    QPushButton* applyButton_;
    RamPieWidget* pie_;
};
