#include "BayerDemosaic.h"
#include "HotLoop.h"

#include <algorithm>
#include <climits>
#include <cstdlib>

namespace vykconv {

namespace {

// Index i mapped into [0, n) onto the nearest index of the same parity (n >= 2),
// so that a neighbour outside the frame is the nearest pixel of the same colour.
inline int sameParityInside(int i, int n)
{
    if (i < 0)
        return i + 2 * ((1 - i) / 2);
    if (i >= n)
        return i - 2 * ((i - n) / 2 + 1);
    return i;
}

inline int32_t absolute(int32_t v) { return v < 0 ? -v : v; }

// Four times the edge-steered green estimate at a red or blue site, from the centre
// value, its horizontal neighbours at distance 1 and 2, and the vertical ones.
inline int32_t steeredGreen4(int32_t centre, int32_t left1, int32_t right1, int32_t left2, int32_t right2,
                             int32_t up1, int32_t down1, int32_t up2, int32_t down2)
{
    const int32_t lapH = 2 * centre - left2 - right2;
    const int32_t lapV = 2 * centre - up2 - down2;
    const int32_t estH = 2 * (left1 + right1) + lapH;
    const int32_t estV = 2 * (up1 + down1) + lapV;
    const int32_t gradH = absolute(left1 - right1) + absolute(lapH);
    const int32_t gradV = absolute(up1 - down1) + absolute(lapV);
    const int32_t both = (estH + estV) >> 1;
    return gradH < gradV ? estH : (gradV < gradH ? estV : both);
}

} // namespace

BayerDemosaic::BayerDemosaic(const uint16_t* src, int width, int height, int pattern, bool edgeDirected, int maxCode)
    : src_(src), width_(width), height_(height), pattern_(pattern & 3), edge_(edgeDirected), maxCode_(maxCode)
{
    for (int i = 0; i < 3; ++i)
        greenRowIds_[i] = INT_MIN;
    if (edge_)
        for (auto& r : greenRows_)
            r.resize(static_cast<size_t>(width_));
}

const uint16_t* BayerDemosaic::rawRow(int y) const
{
    return src_ + static_cast<size_t>(sameParityInside(y, height_)) * static_cast<size_t>(width_);
}

int BayerDemosaic::column(int x) const { return sameParityInside(x, width_); }

bool BayerDemosaic::isRedRow(int y) const { return (y & 1) == (pattern_ >> 1); }

int BayerDemosaic::ownColumnParity(int y) const
{
    // In a red row the non-green pixels are red, at the red column parity; in a blue
    // row they are blue, at the other parity.
    return isRedRow(y) ? (pattern_ & 1) : ((pattern_ & 1) ^ 1);
}

int32_t BayerDemosaic::rawAt(const uint16_t* rowPtr, int x) const { return rowPtr[column(x)]; }

void BayerDemosaic::row(int y, int32_t* red, int32_t* green, int32_t* blue)
{
    int32_t* own = isRedRow(y) ? red : blue;
    int32_t* other = isRedRow(y) ? blue : red;
    if (edge_)
        edgeRow(y, own, green, other);
    else
        bilinearRow(y, own, green, other);
}

VYKCONV_HOT_LOOP
void BayerDemosaic::bilinearRow(int y, int32_t* __restrict own, int32_t* __restrict green, int32_t* __restrict other)
{
    const int32_t top = maxCode_;
    const int width = width_;
    auto fit = [top](int32_t v) { return std::min(v, top); }; // averages of raw values are never negative
    const uint16_t* u = rawRow(y - 1);
    const uint16_t* c = rawRow(y);
    const uint16_t* d = rawRow(y + 1);
    const int parity = ownColumnParity(y);
    // Any column, with neighbours outside the frame folded back.
    auto generic = [&](int x) {
        if ((x & 1) == parity) {
            own[x] = fit(c[x]);
            green[x] = fit((rawAt(c, x - 1) + rawAt(c, x + 1) + u[x] + d[x] + 2) >> 2);
            other[x] = fit((rawAt(u, x - 1) + rawAt(u, x + 1) + rawAt(d, x - 1) + rawAt(d, x + 1) + 2) >> 2);
        } else {
            green[x] = fit(c[x]);
            own[x] = fit((rawAt(c, x - 1) + rawAt(c, x + 1) + 1) >> 1);
            other[x] = fit((u[x] + d[x] + 1) >> 1);
        }
    };
    // Interior columns 1..width-2 in (own colour, green) pairs, no border checks.
    int x = 0;
    const int first = parity == 1 ? 1 : 2; // first interior column of the own colour
    for (; x < first && x < width; ++x)
        generic(x);
    const int last = width - 2; // last interior column
    for (; x + 1 <= last; x += 2) {
        own[x] = fit(c[x]);
        green[x] = fit((c[x - 1] + c[x + 1] + u[x] + d[x] + 2) >> 2);
        other[x] = fit((u[x - 1] + u[x + 1] + d[x - 1] + d[x + 1] + 2) >> 2);
        green[x + 1] = fit(c[x + 1]);
        own[x + 1] = fit((c[x] + c[x + 2] + 1) >> 1);
        other[x + 1] = fit((u[x + 1] + d[x + 1] + 1) >> 1);
    }
    for (; x < width; ++x)
        generic(x);
}

int32_t BayerDemosaic::edgeGreenAt(int y, int x) const
{
    const uint16_t* c = rawRow(y);
    if ((x & 1) != ownColumnParity(y))
        return std::min<int32_t>(c[x], maxCode_);
    const uint16_t* u = rawRow(y - 1);
    const uint16_t* d = rawRow(y + 1);
    const uint16_t* uu = rawRow(y - 2);
    const uint16_t* dd = rawRow(y + 2);
    const int32_t g4 = steeredGreen4(c[x], rawAt(c, x - 1), rawAt(c, x + 1), rawAt(c, x - 2), rawAt(c, x + 2),
                                     u[x], d[x], uu[x], dd[x]);
    return std::min(std::max((g4 + 2) >> 2, 0), maxCode_);
}

VYKCONV_HOT_LOOP
void BayerDemosaic::edgeGreenRow(int y, int32_t* __restrict out) const
{
    const int width = width_;
    const uint16_t* c = rawRow(y);
    const uint16_t* u = rawRow(y - 1);
    const uint16_t* d = rawRow(y + 1);
    const uint16_t* uu = rawRow(y - 2);
    const uint16_t* dd = rawRow(y + 2);
    const int parity = ownColumnParity(y);
    const int32_t top = maxCode_;
    int x = 0;
    const int first = parity == 0 ? 2 : 3;
    for (; x < first && x < width; ++x)
        out[x] = edgeGreenAt(y, x);
    const int last = width - 3; // last column with two neighbours on each side
    for (; x + 1 <= last; x += 2) {
        const int32_t g4 = steeredGreen4(c[x], c[x - 1], c[x + 1], c[x - 2], c[x + 2], u[x], d[x], uu[x], dd[x]);
        out[x] = std::min(std::max((g4 + 2) >> 2, 0), top);
        out[x + 1] = std::min<int32_t>(c[x + 1], top);
    }
    for (; x < width; ++x)
        out[x] = edgeGreenAt(y, x);
}

const int32_t* BayerDemosaic::cachedGreenRow(int y)
{
    const int slot = ((y % 3) + 3) % 3;
    if (greenRowIds_[slot] != y) {
        edgeGreenRow(sameParityInside(y, height_), greenRows_[slot].data());
        greenRowIds_[slot] = y;
    }
    return greenRows_[slot].data();
}

VYKCONV_HOT_LOOP
void BayerDemosaic::edgeRow(int y, int32_t* __restrict own, int32_t* __restrict green, int32_t* __restrict other)
{
    const int32_t top = maxCode_;
    const int width = width_;
    // Colour differences can overshoot either end of the range.
    auto fit = [top](int32_t v) { return std::min(std::max(v, 0), top); };
    const uint16_t* u = rawRow(y - 1);
    const uint16_t* c = rawRow(y);
    const uint16_t* d = rawRow(y + 1);
    const int32_t* gu = cachedGreenRow(y - 1);
    const int32_t* gc = cachedGreenRow(y);
    const int32_t* gd = cachedGreenRow(y + 1);
    const int parity = ownColumnParity(y);
    // Red and blue follow green through the colour difference of their neighbours.
    auto generic = [&](int x) {
        const int l = column(x - 1);
        const int r = column(x + 1);
        green[x] = gc[x];
        if ((x & 1) == parity) {
            own[x] = fit(c[x]);
            other[x] = fit(gc[x] + (((u[l] - gu[l]) + (u[r] - gu[r]) + (d[l] - gd[l]) + (d[r] - gd[r]) + 2) >> 2));
        } else {
            own[x] = fit(gc[x] + (((c[l] - gc[l]) + (c[r] - gc[r]) + 1) >> 1));
            other[x] = fit(gc[x] + (((u[x] - gu[x]) + (d[x] - gd[x]) + 1) >> 1));
        }
    };
    int x = 0;
    const int first = parity == 1 ? 1 : 2;
    for (; x < first && x < width; ++x)
        generic(x);
    const int last = width - 2;
    for (; x + 1 <= last; x += 2) {
        green[x] = gc[x];
        own[x] = fit(c[x]);
        other[x] = fit(gc[x] + (((u[x - 1] - gu[x - 1]) + (u[x + 1] - gu[x + 1]) + (d[x - 1] - gd[x - 1])
                                 + (d[x + 1] - gd[x + 1]) + 2) >> 2));
        const int x1 = x + 1;
        green[x1] = gc[x1];
        own[x1] = fit(gc[x1] + (((c[x] - gc[x]) + (c[x + 2] - gc[x + 2]) + 1) >> 1));
        other[x1] = fit(gc[x1] + (((u[x1] - gu[x1]) + (d[x1] - gd[x1]) + 1) >> 1));
    }
    for (; x < width; ++x)
        generic(x);
}

} // namespace vykconv
