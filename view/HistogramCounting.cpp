#include "view/HistogramCounting.h"

#include <algorithm>
#include <array>
#include <vector>

namespace {

constexpr int kColourBins = 256;

// Adds the partial tables of interleaved counting into one list of doubles.
QVector<double> mergeTables(const std::vector<uint32_t>& tables, std::size_t bins, std::size_t tableCount)
{
    QVector<double> result(static_cast<int>(bins), 0.0);
    for (std::size_t bin = 0; bin < bins; ++bin) {
        uint64_t sum = 0;
        for (std::size_t t = 0; t < tableCount; ++t)
            sum += tables[t * bins + bin];
        result[static_cast<int>(bin)] = static_cast<double>(sum);
    }
    return result;
}

// Integer counting into several interleaved tables: consecutive equal values (flat image
// areas) would otherwise serialise on one counter's load-add-store chain.
template <typename T>
QVector<double> countMasked(const T* values, std::size_t count, std::size_t bins)
{
    // Four tables while they fit comfortably in the core's cache, two for 16-bit depths.
    const std::size_t tableCount = bins <= 4096 ? 4 : 2;
    std::vector<uint32_t> tables(tableCount * bins, 0);
    const uint32_t mask = static_cast<uint32_t>(bins - 1);
    uint32_t* t0 = tables.data();
    uint32_t* t1 = t0 + bins;
    std::size_t i = 0;
    if (tableCount == 4) {
        uint32_t* t2 = t1 + bins;
        uint32_t* t3 = t2 + bins;
        for (; i + 4 <= count; i += 4) {
            ++t0[values[i] & mask];
            ++t1[values[i + 1] & mask];
            ++t2[values[i + 2] & mask];
            ++t3[values[i + 3] & mask];
        }
    } else {
        for (; i + 2 <= count; i += 2) {
            ++t0[values[i] & mask];
            ++t1[values[i + 1] & mask];
        }
    }
    for (; i < count; ++i)
        ++t0[values[i] & mask];
    return mergeTables(tables, bins, tableCount);
}

// Where each colour component sits in one pixel of format, and how many components it has.
struct ColourLayout {
    int components; ///< 3 or 4
    int blue;       ///< index of blue
    int green;      ///< index of green
    int red;        ///< index of red
};

ColourLayout colourLayout(vyk::DataFormat format)
{
    switch (format) {
    case vyk::DataFormat::RGB8:
    case vyk::DataFormat::RGB16:
        return {3, 2, 1, 0};
    case vyk::DataFormat::RGBA8:
        return {4, 2, 1, 0};
    case vyk::DataFormat::BGRA8:
        return {4, 0, 1, 2};
    default:
        return {3, 0, 1, 2};
    }
}

// Counts the components of every pixel (skipping row padding); shift brings them to 8 bits.
template <typename T>
void countColour(const std::vector<T>& data, const vyk::Image& image, unsigned shift, HistogramCounts& counts)
{
    const ColourLayout layout = colourLayout(image.format());
    const std::size_t width = image.width();
    const std::size_t height = image.height();
    std::array<std::array<uint32_t, kColourBins>, 3> bins{}; // blue, green, red
    if (width > 0 && height > 0 && !data.empty()) {
        const std::size_t stride = data.size() / height;
        const std::size_t rowElements = std::min(stride, width * static_cast<std::size_t>(layout.components));
        for (std::size_t y = 0; y < height; ++y) {
            const T* row = data.data() + y * stride;
            for (std::size_t x = 0; x + layout.components <= rowElements; x += layout.components) {
                ++bins[0][std::min<unsigned>(row[x + layout.blue] >> shift, kColourBins - 1)];
                ++bins[1][std::min<unsigned>(row[x + layout.green] >> shift, kColourBins - 1)];
                ++bins[2][std::min<unsigned>(row[x + layout.red] >> shift, kColourBins - 1)];
            }
        }
    }
    QVector<double>* lists[3] = {&counts.blue, &counts.green, &counts.red};
    for (int c = 0; c < 3; ++c) {
        lists[c]->resize(kColourBins);
        for (int v = 0; v < kColourBins; ++v)
            (*lists[c])[v] = bins[static_cast<std::size_t>(c)][static_cast<std::size_t>(v)];
    }
}

}  // namespace

bool isColourFormat(vyk::DataFormat format)
{
    switch (format) {
    case vyk::DataFormat::BGR8:
    case vyk::DataFormat::BGRA8:
    case vyk::DataFormat::RGB8:
    case vyk::DataFormat::RGBA8:
    case vyk::DataFormat::RGB16:
    case vyk::DataFormat::BGR16:
        return true;
    default:
        return false;
    }
}

QVector<double> countValues(const uint16_t* values, std::size_t count, unsigned bitDepth)
{
    const unsigned bits = std::clamp(bitDepth, 1u, 16u);
    return countMasked(values, count, std::size_t{1} << bits);
}

HistogramCounts countHistogram(const vyk::Image& image, unsigned cameraBitDepth)
{
    HistogramCounts counts;
    if (isColourFormat(image.format())) {
        counts.colour = true;
        if (const auto* data8 = std::get_if<std::vector<uint8_t>>(&image.data())) {
            countColour(*data8, image, 0, counts);
        } else if (const auto* data16 = std::get_if<std::vector<uint16_t>>(&image.data())) {
            countColour(*data16, image, cameraBitDepth > 8 ? std::min(cameraBitDepth, 16u) - 8 : 0, counts);
        } else {
            countColour(std::vector<uint8_t>(), image, 0, counts);
        }
        return counts;
    }
    // Byte raw data (or compressed bytes standing in for it) is 8-bit whatever the camera.
    if (const auto* raw16 = std::get_if<std::vector<uint16_t>>(&image.raw())) {
        counts.mono = countValues(raw16->data(), raw16->size(), cameraBitDepth);
    } else {
        const std::vector<uint8_t>* bytes = std::get_if<std::vector<uint8_t>>(&image.raw());
        if (bytes == nullptr)
            bytes = std::get_if<std::vector<uint8_t>>(&image.data());
        counts.mono = bytes != nullptr ? countMasked(bytes->data(), bytes->size(), 256)
                                       : QVector<double>(256, 0.0);
    }
    return counts;
}
