// The context menu of an image view: overlay toggles, the "Display Range" submenu with the
// manual limit fields, and the "Zoom" submenu. It only shows and collects choices; the view
// applies them after the menu closes.
#pragma once

#include "view/DisplayRange.h"

#include <QMenu>

#include <array>

class QAction;
class QLineEdit;

class ViewContextMenu : public QMenu {
    Q_OBJECT
public:
    // The menu for the given overlay visibilities (pixel values, statistics, counters) and
    // display range mode; in manual mode the limit fields show minText and maxText.
    ViewContextMenu(const std::array<bool, 3>& overlaysVisible, DisplayRangeMode mode,
                    const QString& minText, const QString& maxText, QWidget* parent = nullptr);

    // The action triggered while the menu was open, or null.
    QAction* chosen() const { return chosen_; }
    // Whether overlay i (pixel values, statistics, counters) is checked now.
    bool overlayChecked(int i) const;
    // The range mode of a range entry, if action is one of "Auto Range", "3Sigma", "5Sigma".
    std::optional<DisplayRangeMode> rangeModeOf(const QAction* action) const;
    // The zoom factor of a zoom entry, or 0 when action is none.
    double zoomOf(const QAction* action) const;
    // Checks the entry of mode (the entries are exclusive); for Manual the entry may be unchecked.
    void checkRangeEntry(DisplayRangeMode mode, bool checked = true);

    QLineEdit* minField() const { return minField_; }  // limit field "Min"
    QLineEdit* maxField() const { return maxField_; }  // limit field "Max"

private:
    QWidget* buildLimitRow();

    std::array<QAction*, 3> overlays_{};  // "Pixelvalues", "Image Stats", "Performance Stats"
    std::array<QAction*, 4> ranges_{};    // indexed by DisplayRangeMode: Manual, Auto, 3Sigma, 5Sigma
    std::array<QAction*, 4> zooms_{};     // "Zoom 0.5x" ... "Zoom 4x"
    QLineEdit* minField_ = nullptr;       // owned by the display range submenu
    QLineEdit* maxField_ = nullptr;       // owned by the display range submenu
    QAction* chosen_ = nullptr;           // last triggered action
};
