#include "view/DisplayRange.h"

int WindowLevel::lower() const
{
    return static_cast<int>(level - window * 0.5);
}

int WindowLevel::upper() const
{
    return static_cast<int>(level + window * 0.5);
}

std::optional<WindowLevel> DisplayRange::forMode(DisplayRangeMode mode, const DisplayStatistics& stats)
{
    switch (mode) {
    case DisplayRangeMode::AutoRange:
        return fromLimits(stats.min, stats.max);
    case DisplayRangeMode::ThreeSigma:
    case DisplayRangeMode::FiveSigma: {
        const double k = mode == DisplayRangeMode::ThreeSigma ? 3.0 : 5.0;
        return WindowLevel{stats.mean, 2.0 * k * stats.stddev};
    }
    case DisplayRangeMode::Manual:
        break;
    }
    return std::nullopt;
}

WindowLevel DisplayRange::fromLimits(int min, int max)
{
    const double window = static_cast<double>(max) - static_cast<double>(min);
    return WindowLevel{min + window * 0.5, window};
}

QString DisplayRange::fieldText(int value, unsigned bitResolution)
{
    // Multiplying keeps negative limits meaningful, where a left shift would not be defined.
    return QString::number(static_cast<int64_t>(value) * (int64_t{1} << shiftFor(bitResolution)));
}

std::optional<int> DisplayRange::parseField(const QString& text, unsigned bitResolution)
{
    bool ok = false;
    const int value = text.trimmed().toInt(&ok, 10);
    if (!ok)
        return std::nullopt;
    return value >> shiftFor(bitResolution);
}

unsigned DisplayRange::shiftFor(unsigned bitResolution)
{
    // More than 16 bits never occur; the bound keeps the shifts defined for any input.
    if (bitResolution <= 8)
        return 0;
    return bitResolution > 24 ? 16 : bitResolution - 8;
}
