// Statistics of one image: of its raw values (shown to the user) and of its display values
// (the base of the automatic display range). Counts through integer histograms, so the cost
// per pixel is one increment whatever the image size; only the bins see floating point.
#pragma once

#include "camera/Image.h"

#include <cstdint>

// What a statistics pass found; the values stay 0 unless Ok.
enum class StatisticsStatus {
    Ok,             // the values describe the image
    NoData,         // the image has no buffer to count
    Empty,          // the buffer holds no value
    UnknownFormat,  // the format has no display values here (display statistics only)
};

// Statistics of the raw values, as whole numbers.
struct RawStatistics {
    StatisticsStatus status = StatisticsStatus::NoData;  // whether the values are meaningful
    unsigned bits = 0;       // 8 or 16: width of the raw values counted
    int64_t min = 0;         // smallest raw value
    int64_t max = 0;         // largest raw value
    int64_t mean = 0;        // sum / n, truncated
    int64_t stddev = 0;      // sqrt(sum((v - mean)^2) / max(n - 1, 1)) with the truncated mean, truncated
};

// Statistics of the display values (all three components of a colour pixel count).
struct DisplayStatistics {
    StatisticsStatus status = StatisticsStatus::NoData;  // whether the values are meaningful
    unsigned bits = 0;       // 8 or 16: width of the display values counted
    uint64_t count = 0;      // values counted (padding excluded)
    int min = 0;             // smallest display value
    int max = 0;             // largest display value
    double mean = 0.0;       // sum / n
    double stddev = 0.0;     // sqrt(sum((v - mean)^2) / max(n - 1, 1))
};

class ImageStatistics {
public:
    // Statistics of the raw buffer (8-bit or 16-bit, whichever the image holds).
    static RawStatistics raw(const vyk::Image& image);
    // Statistics of the display pixels of Mono8, BGR8 and Mono16 images, row padding excluded.
    static DisplayStatistics display(const vyk::Image& image);
};
