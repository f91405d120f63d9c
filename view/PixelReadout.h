// The pixel overlay's text for a world position over an image view.
#pragma once

#include "camera/Image.h"

#include <QString>

class PixelReadout {
public:
    // The text for world position (x, y) over image as the view shows it: pixel (c, r) is
    // centred on world (c, H - 1 - r) because the view flips rows so that row 0 is on top.
    static PixelReadout at(const vyk::Image& image, double x, double y);

    QString text;                // the overlay text
    bool unknownFormat = false;  // the image's format has no read-out
    uint64_t column = 0;         // the pixel's column
    uint64_t row = 0;            // the pixel's row, counted from the top
};
