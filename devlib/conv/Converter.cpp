#include "Converter.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>
#include <vector>

#include "BayerDemosaic.h"
#include "HotLoop.h"
#include "RowParallel.h"
#include "Sharpener.h"
#include "WhiteBalance.h"

namespace vykconv {

namespace {

constexpr uint32_t kSharpenFlags = VYKCONV_FLAG_SHARPEN | VYKCONV_FLAG_ADAPTIVE_SHARPEN;

// Significant bits of the raw values.
int dataBits(const VYK_SensorInfo& info) { return info.iDataBits; }

// The sensor colour matrix, row by row.
std::array<double, 9> colorMatrix(const VYK_SensorInfo& info)
{
    const VYK_ColorCoeff& m = info.strColorCoeff;
    return {m.da11, m.da12, m.da13, m.da21, m.da22, m.da23, m.da31, m.da32, m.da33};
}

// Writes n pixels of red, green and blue (each within 0..65535) as interleaved 16-bit
// triplets, red first when redFirst, else blue first.
VYKCONV_HOT_LOOP
void interleave16(const int32_t* red, const int32_t* green, const int32_t* blue, uint16_t* __restrict out, int n,
                  bool redFirst)
{
    const int32_t* first = redFirst ? red : blue;
    const int32_t* last = redFirst ? blue : red;
    for (int x = 0; x < n; ++x) {
        out[x * 3] = static_cast<uint16_t>(first[x]);
        out[x * 3 + 1] = static_cast<uint16_t>(green[x]);
        out[x * 3 + 2] = static_cast<uint16_t>(last[x]);
    }
}

// Smallest and largest of n raw values.
VYKCONV_HOT_LOOP
void valueRange(const uint16_t* p, size_t n, uint16_t& lo, uint16_t& hi)
{
    uint16_t a = 0xFFFF, b = 0;
    for (size_t i = 0; i < n; ++i) {
        a = std::min(a, p[i]);
        b = std::max(b, p[i]);
    }
    lo = a;
    hi = b;
}

// Smallest and largest raw value of a frame, values above maxCode counting as maxCode.
std::pair<int32_t, int32_t> frameRange(RowParallel& parallel, const uint16_t* src, int width, int height,
                                       int32_t maxCode)
{
    std::mutex merge; // guards range while bands fold their results in
    std::pair<int32_t, int32_t> range{maxCode, 0};
    // A scan at memory speed.
    parallel.run(height, static_cast<size_t>(width), [&](int y0, int y1) {
        const uint16_t* p = src + static_cast<size_t>(y0) * static_cast<size_t>(width);
        const size_t n = static_cast<size_t>(y1 - y0) * static_cast<size_t>(width);
        uint16_t lo = 0xFFFF, hi = 0;
        valueRange(p, n, lo, hi);
        std::lock_guard<std::mutex> lock(merge);
        range.first = std::min<int32_t>(range.first, std::min<int32_t>(lo, maxCode));
        range.second = std::max<int32_t>(range.second, std::min<int32_t>(hi, maxCode));
    }, RowParallel::kMinPixelsLightWork);
    return range;
}

// Start of the destination row that source row y lands in.
uint8_t* outputRow(uint8_t* dst, const OutputLayout& layout, int y, bool flip)
{
    return dst + static_cast<size_t>(layout.outputRow(y, flip)) * layout.rowPitch;
}

// Clears the bytes after the last pixel of an output row.
void zeroPadding(uint8_t* row, const OutputLayout& layout)
{
    const size_t used = static_cast<size_t>(layout.width) * static_cast<size_t>(layout.channels);
    if (layout.rowPitch > used)
        std::memset(row + used, 0, layout.rowPitch - used);
}

// Sharpens the rows [y0, y1) of a frame: produce(y, row) makes the unsharpened 8-bit
// row y (width x channels bytes), emit(y, row) receives the sharpened one, which goes
// straight to place(y) when that gives a row (else to a row of the band's own). Rows pass
// through a window of three so that the frame is never held whole; the rows just
// outside the band are produced too, as neighbours. Rows are produced in ascending order.
template <typename Produce, typename Place, typename Emit>
void sharpenBand(int y0, int y1, const OutputLayout& layout, int channels, bool adaptive, Produce produce,
                 Place place, Emit emit)
{
    const size_t rowBytes = static_cast<size_t>(layout.width) * static_cast<size_t>(channels);
    std::vector<uint8_t> window(3 * rowBytes);
    std::vector<uint8_t> out(rowBytes);
    int held[3] = {-1, -1, -1}; // frame row in each window slot
    auto rowAt = [&](int y) -> const uint8_t* {
        y = std::min(std::max(y, 0), layout.height - 1); // at the frame's edge a row is its own neighbour
        const int slot = y % 3;
        uint8_t* p = window.data() + static_cast<size_t>(slot) * rowBytes;
        if (held[slot] != y) {
            produce(y, p);
            held[slot] = y;
        }
        return p;
    };
    for (int y = y0; y < y1; ++y) {
        const uint8_t* above = rowAt(y - 1);
        const uint8_t* row = rowAt(y);
        const uint8_t* below = rowAt(y + 1);
        uint8_t* target = place(y);
        if (target == nullptr)
            target = out.data();
        Sharpener::sharpenRow(above, row, below, layout.width, channels, adaptive, target);
        emit(y, target);
    }
}

} // namespace

Converter::Converter(int32_t mode, const VYK_SensorInfo& info) : mode_(mode), info_(info), lut_(LutFile::grey())
{
    std::memset(&params_, 0, sizeof params_);
    params_.wSize = sizeof(VYKCONV_Params);
    params_.iMinLimit = 0;
    params_.iMaxLimit = (1 << dataBits(info)) - 1;
    params_.iGamma = 100;
    params_.iContrast = 0;
    params_.iColorTemperature = WhiteBalance::kReferenceTemperature;
}

int32_t Converter::checkSensorInfo(const VYK_SensorInfo& info)
{
    if (info.wSize != sizeof(VYK_SensorInfo))
        return VYK_ERR_WRONG_SIZE;
    if (info.iDataBits < 1 || info.iDataBits > 16)
        return VYK_ERR_INVALID_ARGUMENT;
    for (double v : colorMatrix(info))
        if (!std::isfinite(v))
            return VYK_ERR_INVALID_ARGUMENT;
    return VYK_NOERROR;
}

int32_t Converter::checkParams(const VYKCONV_Params& p)
{
    if (p.wSize != sizeof(VYKCONV_Params))
        return VYK_ERR_WRONG_SIZE;
    auto within = [](int32_t v, int32_t lo, int32_t hi) { return v >= lo && v <= hi; };
    const bool ok = within(p.iGamma, 1, 1000) && within(p.iContrast, -100, 100)
                    && within(p.iColorTemperature, 1000, 20000) && within(p.iColorTint, -100, 100)
                    && within(p.iColorSaturation, -100, 100) && within(p.iColorVibrance, -100, 100);
    return ok ? VYK_NOERROR : VYK_ERR_INVALID_ARGUMENT;
}

void Converter::setSensorInfo(const VYK_SensorInfo& info)
{
    std::lock_guard<std::mutex> lock(mutex_);
    info_ = info;
}

VYKCONV_Params Converter::params()
{
    std::lock_guard<std::mutex> lock(mutex_);
    return params_;
}

void Converter::setParams(const VYKCONV_Params& params)
{
    std::lock_guard<std::mutex> lock(mutex_);
    params_ = params;
}

int32_t Converter::loadLut(int32_t kind, const char* path)
{
    LutFile::Table table;
    const int32_t rc = LutFile::load(kind, path, table);
    if (rc != VYK_NOERROR)
        return rc;
    std::lock_guard<std::mutex> lock(mutex_);
    lut_ = table;
    return VYK_NOERROR;
}

void Converter::waitIdle()
{
    std::lock_guard<std::mutex> lock(mutex_);
}

void Converter::prepareTone(uint32_t flags, const OutputLayout& layout, const uint16_t* src)
{
    const int bits = dataBits(info_);
    int32_t lo = params_.iMinLimit;
    int32_t hi = params_.iMaxLimit;
    if (flags & VYKCONV_FLAG_AUTO_MINMAX) {
        const auto range = frameRange(parallel_, src, layout.width, layout.height, (1 << bits) - 1);
        lo = range.first;
        hi = range.second;
        if (hi <= lo && lo > 0)
            lo = hi - 1; // a flat frame maps to white
    }
    tone_.configure(bits, lo, hi, params_.iGamma, params_.iContrast);
}

void Converter::prepareColor(bool withMatrix)
{
    const auto gains = WhiteBalance::gains(params_.iColorTemperature, params_.iColorTint);
    if (withMatrix)
        transform_.configure(gains, colorMatrix(info_), params_.iColorSaturation, params_.iColorVibrance,
                             dataBits(info_));
    else
        transform_.configure(gains, {}, 0, 0, dataBits(info_));
}

void Converter::convert8(uint32_t flags, int pattern, const OutputLayout& layout, const uint16_t* src, uint8_t* dst)
{
    std::lock_guard<std::mutex> lock(mutex_);
    prepareTone(flags, layout, src);
    if (mode_ == VYKCONV_MODE_COLOR)
        convertColor8(flags, pattern, layout, src, dst);
    else
        convertMonoLike(flags, layout, src, dst);
}

void Converter::colorize(const uint8_t* index, const OutputLayout& layout, uint8_t* out) const
{
    const int c = layout.channels;
    const int r = layout.redIndex;
    const int b = layout.blueIndex;
    for (int x = 0; x < layout.width; ++x) {
        const auto& e = lut_[index[x]];
        uint8_t* p = out + static_cast<size_t>(x) * static_cast<size_t>(c);
        p[r] = e[0];
        p[1] = e[1];
        p[b] = e[2];
    }
    if (layout.hasAlpha)
        for (int x = 0; x < layout.width; ++x)
            out[static_cast<size_t>(x) * 4u + 3u] = 255;
}

void Converter::convertMonoLike(uint32_t flags, const OutputLayout& layout, const uint16_t* src, uint8_t* dst)
{
    const bool mono = mode_ == VYKCONV_MODE_MONO;
    const bool flip = (flags & VYKCONV_FLAG_FLIP_VERTICAL) != 0;
    const size_t width = static_cast<size_t>(layout.width);
    // Hands a finished 8-bit mono row to the destination.
    auto emit = [&](int y, const uint8_t* row) {
        uint8_t* out = outputRow(dst, layout, y, flip);
        if (mono) {
            if (out != row)
                std::memcpy(out, row, width);
        } else {
            colorize(row, layout, out);
        }
        zeroPadding(out, layout);
    };
    // Mono through the linear ramp is light work, sharpened or not.
    const size_t minPixels =
        mono && tone_.isLinear() ? RowParallel::kMinPixelsLightWork : RowParallel::kMinPixels;
    if (flags & kSharpenFlags) {
        const bool adaptive = (flags & VYKCONV_FLAG_ADAPTIVE_SHARPEN) != 0;
        parallel_.run(layout.height, width, [&](int y0, int y1) {
            // Mono rows are sharpened into the destination; pseudocolour ones are coloured
            // from the band's row.
            sharpenBand(y0, y1, layout, 1, adaptive, [&](int y, uint8_t* row) {
                tone_.mapRaw(src + static_cast<size_t>(y) * width, row, layout.width);
            }, [&](int y) { return mono ? outputRow(dst, layout, y, flip) : nullptr; }, emit);
        }, minPixels);
        return;
    }
    parallel_.run(layout.height, width, [&](int y0, int y1) {
        std::vector<uint8_t> row(mono ? 0 : width);
        for (int y = y0; y < y1; ++y) {
            uint8_t* target = mono ? outputRow(dst, layout, y, flip) : row.data();
            tone_.mapRaw(src + static_cast<size_t>(y) * width, target, layout.width);
            emit(y, target);
        }
    }, minPixels);
}

void Converter::convertColor8(uint32_t flags, int pattern, const OutputLayout& layout, const uint16_t* src,
                              uint8_t* dst)
{
    prepareColor(true);
    const bool flip = (flags & VYKCONV_FLAG_FLIP_VERTICAL) != 0;
    const bool sharpen = (flags & kSharpenFlags) != 0;
    const bool edge = (flags & VYKCONV_FLAG_EDGE_DEMOSAIC) != 0;
    const size_t width = static_cast<size_t>(layout.width);
    const bool adaptive = (flags & VYKCONV_FLAG_ADAPTIVE_SHARPEN) != 0;
    parallel_.run(layout.height, width, [&](int y0, int y1) {
        BayerDemosaic demosaic(src, layout.width, layout.height, pattern, edge, tone_.maxCode());
        std::vector<int32_t> rgb(width * 3u);
        int32_t* r = rgb.data();
        int32_t* g = r + width;
        int32_t* b = g + width;
        // Makes the finished, unsharpened 8-bit row y.
        auto produce = [&](int y, uint8_t* out) {
            demosaic.row(y, r, g, b);
            transform_.apply(r, g, b, layout.width);
            tone_.mapPixels(r, g, b, out, layout.width, layout.channels, layout.redIndex == 0);
        };
        if (sharpen) {
            sharpenBand(y0, y1, layout, layout.channels, adaptive, produce,
                        [&](int y) { return outputRow(dst, layout, y, flip); },
                        [&](int, uint8_t* row) { zeroPadding(row, layout); });
            return;
        }
        for (int y = y0; y < y1; ++y) {
            uint8_t* out = outputRow(dst, layout, y, flip);
            produce(y, out);
            zeroPadding(out, layout);
        }
    });
}

void Converter::convert16(uint32_t flags, int pattern, const OutputLayout& layout, const uint16_t* src, uint16_t* dst)
{
    std::lock_guard<std::mutex> lock(mutex_);
    prepareColor(false);
    const bool flip = (flags & VYKCONV_FLAG_FLIP_VERTICAL) != 0;
    const bool edge = (flags & VYKCONV_FLAG_EDGE_DEMOSAIC) != 0;
    const size_t width = static_cast<size_t>(layout.width);
    const int maxCode = (1 << dataBits(info_)) - 1;
    parallel_.run(layout.height, width, [&](int y0, int y1) {
        BayerDemosaic demosaic(src, layout.width, layout.height, pattern, edge, maxCode);
        std::vector<int32_t> rgb(width * 3u);
        int32_t* r = rgb.data();
        int32_t* g = r + width;
        int32_t* b = g + width;
        for (int y = y0; y < y1; ++y) {
            demosaic.row(y, r, g, b);
            transform_.apply(r, g, b, layout.width);
            uint16_t* out = dst + static_cast<size_t>(layout.outputRow(y, flip)) * layout.rowPitch;
            interleave16(r, g, b, out, layout.width, layout.redIndex == 0);
            std::fill(out + width * 3u, out + layout.rowPitch, uint16_t{0});
        }
    });
}

} // namespace vykconv
