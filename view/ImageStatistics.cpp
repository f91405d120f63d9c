#include "view/ImageStatistics.h"

#include "view/DisplayGeometry.h"

#include <array>
#include <cmath>
#include <optional>
#include <vector>

namespace {

// Value counts of a buffer: bin v holds how often v occurs.
class ValueHistogram {
public:
    explicit ValueHistogram(unsigned bits)
        : bins_(std::size_t{1} << bits, 0)
    {
    }

    // Counts the image pixels of every row of geometry (row padding is skipped).
    void addRows(const DisplayGeometry& geometry)
    {
        const uint64_t valuesPerRow = geometry.width * geometry.components;
        if (geometry.bits == 8) {
            // Four partial histograms break the dependency between neighbouring equal
            // values, which otherwise serialises the increments; folded in at the end.
            std::vector<std::array<uint64_t, 256>> lanes(4, std::array<uint64_t, 256>{});
            for (uint64_t row = 0; row < geometry.height; ++row)
                addBytes(static_cast<const uint8_t*>(geometry.element(0, row)), valuesPerRow, lanes);
            for (std::size_t v = 0; v < 256; ++v)
                bins_[v] += lanes[0][v] + lanes[1][v] + lanes[2][v] + lanes[3][v];
        } else {
            for (uint64_t row = 0; row < geometry.height; ++row) {
                const auto* values = static_cast<const uint16_t*>(geometry.element(0, row));
                for (uint64_t i = 0; i < valuesPerRow; ++i)
                    ++bins_[values[i]];
            }
        }
    }

    // Number of values counted, their sum, extremes, and the sum of squared distances.
    uint64_t count() const;
    uint64_t sum() const;
    int lowest() const;
    int highest() const;
    double squaredDeviations(double mean) const;

private:
    static void addBytes(const uint8_t* values, uint64_t n, std::vector<std::array<uint64_t, 256>>& lanes)
    {
        uint64_t i = 0;
        for (; i + 4 <= n; i += 4) {
            ++lanes[0][values[i]];
            ++lanes[1][values[i + 1]];
            ++lanes[2][values[i + 2]];
            ++lanes[3][values[i + 3]];
        }
        for (; i < n; ++i)
            ++lanes[0][values[i]];
    }

    std::vector<uint64_t> bins_;  // bins_[v]: occurrences of v
};

uint64_t ValueHistogram::count() const
{
    uint64_t n = 0;
    for (uint64_t c : bins_)
        n += c;
    return n;
}

uint64_t ValueHistogram::sum() const
{
    uint64_t total = 0;
    for (std::size_t v = 0; v < bins_.size(); ++v)
        total += bins_[v] * v;
    return total;
}

int ValueHistogram::lowest() const
{
    for (std::size_t v = 0; v < bins_.size(); ++v)
        if (bins_[v] != 0)
            return static_cast<int>(v);
    return 0;
}

int ValueHistogram::highest() const
{
    for (std::size_t v = bins_.size(); v-- > 0;)
        if (bins_[v] != 0)
            return static_cast<int>(v);
    return 0;
}

double ValueHistogram::squaredDeviations(double mean) const
{
    double total = 0.0;
    for (std::size_t v = 0; v < bins_.size(); ++v) {
        if (bins_[v] == 0)
            continue;
        const double d = static_cast<double>(v) - mean;
        total += static_cast<double>(bins_[v]) * d * d;
    }
    return total;
}

StatisticsStatus statusOf(DisplayGeometry::Status status)
{
    switch (status) {
    case DisplayGeometry::Status::Ok:
        return StatisticsStatus::Ok;
    case DisplayGeometry::Status::UnknownFormat:
        return StatisticsStatus::UnknownFormat;
    case DisplayGeometry::Status::Empty:
        return StatisticsStatus::Empty;
    case DisplayGeometry::Status::NoData:
    case DisplayGeometry::Status::Malformed:
        break;
    }
    return StatisticsStatus::NoData;
}

// Fills stats' bits and status from geometry and, when there is something to count,
// counts its values.
template <typename Statistics>
std::optional<ValueHistogram> countInto(const DisplayGeometry& geometry, Statistics& stats)
{
    stats.bits = geometry.bits;
    stats.status = statusOf(geometry.status);
    if (stats.status != StatisticsStatus::Ok)
        return std::nullopt;
    ValueHistogram histogram(geometry.bits);
    histogram.addRows(geometry);
    return histogram;
}

// sqrt(sum((v - mean)^2) / max(n - 1, 1)) over the values counted.
double sampleDeviation(const ValueHistogram& histogram, double mean)
{
    const uint64_t n = histogram.count();
    return std::sqrt(histogram.squaredDeviations(mean) / static_cast<double>(n > 1 ? n - 1 : 1));
}

}  // namespace

RawStatistics ImageStatistics::raw(const vyk::Image& image)
{
    RawStatistics stats;
    const std::optional<ValueHistogram> histogram = countInto(DisplayGeometry::ofRaw(image), stats);
    if (!histogram)
        return stats;
    stats.min = histogram->lowest();
    stats.max = histogram->highest();
    stats.mean = static_cast<int64_t>(histogram->sum() / histogram->count());
    stats.stddev = static_cast<int64_t>(sampleDeviation(*histogram, static_cast<double>(stats.mean)));
    return stats;
}

DisplayStatistics ImageStatistics::display(const vyk::Image& image)
{
    DisplayStatistics stats;
    const std::optional<ValueHistogram> histogram = countInto(DisplayGeometry::of(image), stats);
    if (!histogram)
        return stats;
    stats.count = histogram->count();
    stats.min = histogram->lowest();
    stats.max = histogram->highest();
    stats.mean = static_cast<double>(histogram->sum()) / static_cast<double>(stats.count);
    stats.stddev = sampleDeviation(*histogram, stats.mean);
    return stats;
}
