// Reconstructs red, green and blue for every pixel of a Bayer-pattern raw frame.
#ifndef VYKCONV_BAYER_DEMOSAIC_H
#define VYKCONV_BAYER_DEMOSAIC_H

#include <cstdint>
#include <vector>

namespace vykconv {

// Row-by-row demosaic of one raw frame. Each thread uses its own instance; the
// source frame is only read. Outside the frame the nearest pixel of the same colour
// stands in, so a flat colour field stays flat up to the borders.
class BayerDemosaic {
public:
    // src: width x height raw values (width, height >= 2); pattern 0..3 is the phase of
    // the top-left pixel (bit 0: red on odd columns, bit 1: red on odd rows);
    // edgeDirected selects gradient-steered green with colour-difference red and blue
    // instead of bilinear averaging; results are clamped to 0..maxCode.
    BayerDemosaic(const uint16_t* src, int width, int height, int pattern, bool edgeDirected, int maxCode);

    // Fills red, green and blue (width values each) for row y.
    void row(int y, int32_t* red, int32_t* green, int32_t* blue);

private:
    const uint16_t* rawRow(int y) const;
    int column(int x) const;
    bool isRedRow(int y) const;
    int ownColumnParity(int y) const;
    int32_t rawAt(const uint16_t* rowPtr, int x) const;
    void bilinearRow(int y, int32_t* own, int32_t* green, int32_t* other);
    int32_t edgeGreenAt(int y, int x) const;
    void edgeGreenRow(int y, int32_t* out) const;
    const int32_t* cachedGreenRow(int y);
    void edgeRow(int y, int32_t* own, int32_t* green, int32_t* other);

    const uint16_t* src_;     // the raw frame, row by row
    int width_;               // pixels per row
    int height_;              // rows
    int pattern_;             // Bayer phase 0..3
    bool edge_;               // edge-directed demosaic
    int32_t maxCode_;         // largest valid value
    std::vector<int32_t> greenRows_[3]; // edge-directed: green of three neighbouring rows
    int greenRowIds_[3];      // row index held by each greenRows_ slot (INT32_MIN = none)
};

} // namespace vykconv

#endif
