// How an image view maps display values to grey levels: the display range modes, the colour
// window and level they give, and the manual limits as the user types them.
#pragma once

#include "view/ImageStatistics.h"

#include <QString>

#include <optional>

// How the display range of a view is found; the numbers are the stored mode values.
enum class DisplayRangeMode : int {
    Manual = 0,      // limits set by the user or the histogram markers
    AutoRange = 1,   // smallest to largest display value
    ThreeSigma = 2,  // mean +- 3 standard deviations
    FiveSigma = 3,   // mean +- 5 standard deviations
};

// A colour window and level, in display values.
struct WindowLevel {
    double level = 0.0;   // display value mapped to mid grey
    double window = 0.0;  // width of the mapped range

    // level - window / 2, truncated: the lower histogram marker.
    int lower() const;
    // level + window / 2, truncated: the upper histogram marker.
    int upper() const;
};

class DisplayRange {
public:
    // The window and level that mode gives for stats; nothing in manual mode.
    static std::optional<WindowLevel> forMode(DisplayRangeMode mode, const DisplayStatistics& stats);
    // The window and level that cover [min, max].
    static WindowLevel fromLimits(int min, int max);
    // A manual limit (display value) as shown in the limit fields: scaled up to the camera's
    // bit resolution by shifting left (bitResolution - 8) bits.
    static QString fieldText(int value, unsigned bitResolution);
    // A limit field's text as a display value (shifted right by bitResolution - 8 bits);
    // nothing when the text is not a decimal integer.
    static std::optional<int> parseField(const QString& text, unsigned bitResolution);

private:
    // Bits between the camera's values and 8-bit display values (0 for 8 bits and less).
    static unsigned shiftFor(unsigned bitResolution);
};
