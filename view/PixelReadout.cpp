#include "view/PixelReadout.h"

#include "view/DisplayGeometry.h"

#include <algorithm>

namespace {

const QString kOutside = QStringLiteral("Not set - Should not happen!");

// Column or row under world coordinate value, clamped into [0, count - 1]: the picker can
// report the outer half of a border pixel, which must not address a neighbouring row.
uint64_t pixelIndex(double value, uint64_t count)
{
    if (value < 0.0 || count == 0)
        return 0;
    const auto index = static_cast<uint64_t>(value + 0.5);
    return std::min(index, count - 1);
}

QString valueText(uint64_t column, uint64_t row, unsigned value)
{
    return QStringLiteral("Position X: %1, Y: %2  Value: %3").arg(column).arg(row).arg(value);
}

}  // namespace

PixelReadout PixelReadout::at(const vyk::Image& image, double x, double y)
{
    PixelReadout readout;
    readout.text = kOutside;
    if (!image.roi().isValid())
        return readout;
    const uint64_t width = image.width();
    const uint64_t height = image.height();
    readout.column = pixelIndex(x, width);
    readout.row = height - 1 - pixelIndex(y, height);
    const uint64_t column = readout.column;
    const uint64_t row = readout.row;

    switch (image.format()) {
    case vyk::DataFormat::BGR8: {
        const DisplayGeometry geometry = DisplayGeometry::of(image);
        if (geometry.status != DisplayGeometry::Status::Ok)
            return readout;
        const auto* bgr = static_cast<const uint8_t*>(geometry.element(column, row));
        readout.text = QStringLiteral("Position X: %1, Y: %2  Red: %3 Green: %4 Blue: %5")
                           .arg(column).arg(row).arg(bgr[2]).arg(bgr[1]).arg(bgr[0]);
        return readout;
    }
    case vyk::DataFormat::Mono16: {
        const DisplayGeometry geometry = DisplayGeometry::of(image);
        if (geometry.status != DisplayGeometry::Status::Ok)
            return readout;
        readout.text = valueText(column, row, *static_cast<const uint16_t*>(geometry.element(column, row)));
        return readout;
    }
    case vyk::DataFormat::Mono8: {
        // The camera's own value: raw bytes or raw words, never the converted display byte.
        const DisplayGeometry geometry = DisplayGeometry::ofRaw(image);
        if (geometry.status != DisplayGeometry::Status::Ok)
            return readout;
        const void* element = geometry.element(column, row);
        const unsigned value = geometry.bits == 8 ? *static_cast<const uint8_t*>(element)
                                                  : *static_cast<const uint16_t*>(element);
        readout.text = valueText(column, row, value);
        return readout;
    }
    default:
        readout.unknownFormat = true;
        return readout;
    }
}
