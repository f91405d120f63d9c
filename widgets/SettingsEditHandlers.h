// The ROI arithmetic the settings tree's ROI and binning handlers share.
#pragma once

#include <cstdint>

// One axis of a ROI: 1-based, inclusive pixel coordinates.
struct RoiAxis {
    int64_t start;
    int64_t end;
};

// Fits one ROI axis to the camera's rules: coordinates in 1..max, margins and ends on the
// step grid (a step of 0 counts as 1), width at least minSize, and with symmetric a ROI
// centred on the axis. startChanged says which end the user edited; the other end is kept
// unless the axis is symmetric.
RoiAxis adjustRoiAxis(int64_t start, int64_t end, int64_t max, int64_t minSize, int64_t step,
                      bool symmetric, bool startChanged);
