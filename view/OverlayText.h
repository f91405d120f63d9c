// The texts of an image view's three overlays: pixel value, image statistics, image counters.
#pragma once

#include "view/ImageStatistics.h"

#include "camera/Image.h"

#include <QString>

#include <optional>

class OverlayText {
public:
    // Texts shown before the first image.
    static QString initialPixelValues();
    static QString initialStatistics();
    static QString initialCounters();

    // "Min: .. Max: .. Mean: .. Stddev: ..", each value right-aligned in 6 characters.
    static QString statistics(const RawStatistics& stats);
    // "Image Nr.: .. Recorder Nr.: ..", or "N/A" for the image number without metadata.
    static QString counters(const vyk::Image& image);
    // The image counter of the metadata block (BCD, least significant byte first), if any.
    static std::optional<uint32_t> imageNumber(const vyk::Image& image);
};
