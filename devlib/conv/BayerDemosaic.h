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
    const uint16_t* rawRow(int y) const;          // raw row y, folded into the frame
    int column(int x) const;                       // column x, folded into the frame
    bool isRedRow(int y) const;                    // row y holds red (else blue) pixels
    int ownColumnParity(int y) const;              // column parity of row y's red or blue pixels
    int32_t rawAt(const uint16_t* rowPtr, int x) const; // raw value at a folded column
    void bilinearRow(int y, int32_t* own, int32_t* green, int32_t* other); // bilinear row y
    int32_t edgeGreenAt(int y, int x) const;       // steered green at one pixel (border path)
    void edgeGreenRow(int y, int32_t* out) const;  // steered green of a whole row
    const int32_t* cachedGreenRow(int y);          // green row y from the three-row cache
    void edgeRow(int y, int32_t* own, int32_t* green, int32_t* other); // edge-directed row y

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
