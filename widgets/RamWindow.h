// Modal dialog "CamRAM Allocation": divides a camera's internal RAM into four segments by
// percentage and picks the segment the camera records into. "Apply" writes to the camera
// while the dialog is open; OK hands the edited division back to the caller.
#pragma once

#include "camera/AnyCamera.h"

#include <QDialog>
#include <QList>

#include <cstdint>
#include <memory>
#include <vector>

class QButtonGroup;
class QDialogButtonBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QSpinBox;
class RamPieWidget;

class RamWindow : public QDialog {
    Q_OBJECT
public:
    // What editAllocation returns: percentages per segment, the 0-based active segment and
    // whether the user pressed OK.
    struct Edit {
        std::vector<uint32_t> percentages;
        int activeIndex = 0;
        bool accepted = false;
    };

    // Runs the dialog modally on camera's division. OK returns the dialog's values,
    // Cancel the given ones with accepted = false. The dialog keeps the camera alive at no
    // time, so that one that goes away meanwhile is reported instead of used.
    static Edit editAllocation(QWidget* parent, const std::weak_ptr<vyk::AnyCamera>& camera,
                               const std::vector<uint32_t>& percentages, int activeIndex);

    // Builds the dialog; the camera is only observed (a vanished one is reported on Apply).
    explicit RamWindow(std::weak_ptr<vyk::AnyCamera> camera, QWidget* parent = nullptr);

    // Shows percentages (cut or padded to the segment count; all 0 % when they add up to
    // more than 100) and the active segment (clamped to the segments).
    void loadAllocation(const std::vector<uint32_t>& percentages, int activeIndex);
    // The accepted division, one percentage per segment.
    std::vector<uint32_t> percentages() const;
    // The accepted active segment, 0-based.
    int activeIndex() const { return activeIndex_; }
    // Images each segment holds as found by the last Apply; 0 = unknown.
    const QList<int>& imageCounts() const { return imageCounts_; }

    static constexpr int kMinSegments = 4; // the camera's RAM always has four segments
    static constexpr int kMaxSegments = 4;

public slots:
    void onSpinChanged(int value);
    void onActiveChanged();
    void onApplyClicked();

private:
    // Takes the editors' values unless they add up to more than 100 or leave the active
    // segment empty (then the editors go back), and refreshes pie, labels and buttons.
    void updateAllocation();
    void refreshInfoLabels();
    int checkedIndex() const;
    int sum() const;
    void showEditors();
    // Writes the division and the active segment to camera, counting images per segment.
    void applyTo(vyk::AnyCamera& camera);

    std::weak_ptr<vyk::AnyCamera> camera_;  // observed only
    QList<int> percentages_;                // current division, kMaxSegments entries
    int activeIndex_ = 0;                   // current active segment, 0-based
    QList<int> appliedPercentages_;         // division the camera has (loaded, then last Apply)
    int appliedActiveIndex_ = 0;            // active segment at the last Apply
    QList<int> imageCounts_;                // images per segment, 0 = unknown

    QList<QSpinBox*> spins_;                // percentage editor per segment
    QList<QRadioButton*> radios_;           // "Active" per segment
    QList<QLabel*> infoLabels_;             // "Seg n: p%" and image count per segment
    QButtonGroup* activeGroup_;             // makes the radios exclusive
    QLabel* remainingLabel_;
    QDialogButtonBox* buttons_;
    QPushButton* applyButton_;
    RamPieWidget* pie_;
};
