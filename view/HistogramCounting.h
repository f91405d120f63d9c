// Counting one image into histogram bins: the work of the histogram threads.
#pragma once

#include "camera/Image.h"

#include <QVector>

/// The histogram of one image: either mono bins or three 256-bin colour lists.
struct HistogramCounts {
    bool colour = false;   ///< true: red/green/blue hold the counts; false: mono does
    QVector<double> mono;  ///< 2^bit depth bins of raw values (mono images)
    QVector<double> red;   ///< 256 bins of the red byte (colour images)
    QVector<double> green; ///< 256 bins of the green byte (colour images)
    QVector<double> blue;  ///< 256 bins of the blue byte (colour images)
};

/// Whether format carries colour pixels (three or four components per pixel).
bool isColourFormat(vyk::DataFormat format);

/// Counts image. Mono formats count the raw values: with byte raw data into 256 bins, else
/// into 2^cameraBitDepth bins (cameraBitDepth 1..16), each value masked to that depth.
/// Colour formats count the display data's blue, green and red components into 256 bins
/// each, skipping row padding; 16-bit components are shifted down to 8 bits by
/// cameraBitDepth - 8. Counting is integer; only the finished bins become doubles.
HistogramCounts countHistogram(const vyk::Image& image, unsigned cameraBitDepth);

/// Counts values into 2^bitDepth bins (bitDepth 1..16), each value masked to bitDepth bits.
QVector<double> countValues(const uint16_t* values, std::size_t count, unsigned bitDepth);
