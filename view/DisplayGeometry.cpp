#include "view/DisplayGeometry.h"

#include <variant>

namespace {

// Geometry of buffer seen as height rows of width pixels with the given components; the
// row length is whatever the buffer holds per row, so padded and unpadded rows both work.
DisplayGeometry fromBuffer(const vyk::PixelBuffer& buffer, uint64_t width, uint64_t height,
                           unsigned components)
{
    DisplayGeometry geometry;
    geometry.bits = vyk::elementBits(buffer);
    if (geometry.bits == 0) {
        geometry.status = DisplayGeometry::Status::NoData;
        return geometry;
    }
    const uint64_t count = vyk::elementCount(buffer);
    if (count == 0) {
        geometry.status = DisplayGeometry::Status::Empty;
        return geometry;
    }
    geometry.components = components;
    geometry.width = width;
    geometry.height = height;
    geometry.rowElements = height > 0 ? count / height : 0;
    if (height == 0 || width == 0 || geometry.rowElements < width * components) {
        geometry.status = DisplayGeometry::Status::Malformed;
        return geometry;
    }
    if (const auto* bytes = std::get_if<std::vector<uint8_t>>(&buffer))
        geometry.data = bytes->data();
    else
        geometry.data = std::get<std::vector<uint16_t>>(buffer).data();
    geometry.status = DisplayGeometry::Status::Ok;
    return geometry;
}

}  // namespace

DisplayGeometry DisplayGeometry::of(const vyk::Image& image)
{
    const uint64_t width = image.roi().isValid() ? image.width() : 0;
    const uint64_t height = image.roi().isValid() ? image.height() : 0;
    // The same buffer choice as Image::data8 / data16: for Mono8 with byte raw and Mono16
    // with word raw the raw buffer is the image, else the converted data.
    switch (image.format()) {
    case vyk::DataFormat::Mono8:
        if (vyk::elementBits(image.raw()) == 8)
            return fromBuffer(image.raw(), width, height, 1);
        if (vyk::elementBits(image.data()) == 8)
            return fromBuffer(image.data(), width, height, 1);
        return DisplayGeometry{};
    case vyk::DataFormat::BGR8:
        if (vyk::elementBits(image.data()) == 8)
            return fromBuffer(image.data(), width, height, 3);
        return DisplayGeometry{};
    case vyk::DataFormat::Mono16:
        if (vyk::elementBits(image.raw()) == 16)
            return fromBuffer(image.raw(), width, height, 1);
        if (vyk::elementBits(image.data()) == 16)
            return fromBuffer(image.data(), width, height, 1);
        return DisplayGeometry{};
    default:
        break;
    }
    DisplayGeometry unknown;
    unknown.status = Status::UnknownFormat;
    return unknown;
}

DisplayGeometry DisplayGeometry::ofRaw(const vyk::Image& image)
{
    const uint64_t width = image.roi().isValid() ? image.width() : 0;
    const uint64_t height = image.roi().isValid() ? image.height() : 0;
    return fromBuffer(image.raw(), width, height, 1);
}

const void* DisplayGeometry::element(uint64_t column, uint64_t row) const
{
    const uint64_t offset = row * rowElements + column * components;
    if (bits == 8)
        return static_cast<const uint8_t*>(data) + offset;
    return static_cast<const uint16_t*>(data) + offset;
}
