#include "view/HistogramCounting.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

namespace {

constexpr int kColourBins = 256;

// Integer counting into one table of 32-bit counters, turned into doubles at the end.
// (Interleaved partial tables, the usual cure for runs of equal values, measured no faster
// here: the core forwards a counter's store to its next load, and four tables crowd the
// first-level cache.) Each thread reuses its table, so a 16-bit depth does not allocate and
// fault in 256 KB per image.
template <typename T>
QVector<double> countMasked(const T* values, std::size_t count, std::size_t bins)
{
    thread_local std::vector<uint32_t> table;
    table.assign(bins, 0);
    const uint32_t mask = static_cast<uint32_t>(bins - 1);
    uint32_t* counter = table.data();
    std::size_t i = 0;
    if constexpr (sizeof(T) == 2) {
        // Four pixels per 64-bit load. Which lane holds which pixel depends on the byte
        // order, which does not matter: every pixel is counted once.
        for (; i + 4 <= count; i += 4) {
            uint64_t word = 0;
            std::memcpy(&word, values + i, sizeof word);
            ++counter[word & mask];
            ++counter[(word >> 16) & mask];
            ++counter[(word >> 32) & mask];
            ++counter[(word >> 48) & mask];
        }
    }
    for (; i < count; ++i)
        ++counter[values[i] & mask];
    QVector<double> result(static_cast<int>(bins));
    for (std::size_t bin = 0; bin < bins; ++bin)
        result[static_cast<int>(bin)] = counter[bin];
    return result;
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
