#include "view/OverlayText.h"

QString OverlayText::initialPixelValues()
{
    return QStringLiteral("Position X: -, Y: -  Value: -");
}

QString OverlayText::initialStatistics()
{
    return QStringLiteral("Min: - Max: - Mean: - Stddev: -");
}

QString OverlayText::initialCounters()
{
    return QStringLiteral("Recorder Cnt: -  Image Cnt: - ");
}

QString OverlayText::statistics(const RawStatistics& stats)
{
    const auto field = [](int64_t value) {
        return QStringLiteral("%1").arg(static_cast<double>(value), 6, 'f', 0, QLatin1Char(' '));
    };
    return QStringLiteral("Min: %1 Max: %2 Mean: %3 Stddev: %4")
        .arg(field(stats.min), field(stats.max), field(stats.mean), field(stats.stddev));
}

QString OverlayText::counters(const vyk::Image& image)
{
    const QString recorder = QString::number(image.recorderImageNumber());
    if (const std::optional<uint32_t> number = imageNumber(image)) {
        return QStringLiteral("Image Nr.: %1 Recorder Nr.: %2")
            .arg(QStringLiteral("%1").arg(*number, 4, 10, QLatin1Char(' ')), recorder);
    }
    return QStringLiteral("Image Nr.: N/A Recorder Nr.: %1").arg(recorder);
}

std::optional<uint32_t> OverlayText::imageNumber(const vyk::Image& image)
{
    if (!image.metadata())
        return std::nullopt;
    const auto& bcd = image.metadata()->bIMAGE_COUNTER_BCD;
    uint32_t number = 0;
    for (int i = 3; i >= 0; --i)
        number = number * 100 + (bcd[i] >> 4) * 10 + (bcd[i] & 0x0F);
    return number;
}
