// Images with known pixels for the view tests.
#pragma once

#include "camera/Image.h"

#include <cstdint>
#include <functional>

namespace viewtest {

// A width x height image of format (Mono8, BGR8 or Mono16) with the given raw width;
// raw(c, r) fills the raw buffer and display(c, r, k) component k of the display pixels,
// padding bytes are set to padding.
inline vyk::Image makeImage(vyk::DataFormat format, vyk::RawFormat raw, uint64_t width, uint64_t height,
                            const std::function<unsigned(uint64_t, uint64_t)>& rawValue,
                            const std::function<unsigned(uint64_t, uint64_t, unsigned)>& displayValue,
                            uint8_t padding = 0, uint32_t recorderNumber = 0)
{
    vyk::Image image;
    image.reshape(vyk::Roi{1, 1, width, height}, format, raw);
    image.setRecorderImageNumber(recorderNumber);
    for (uint64_t r = 0; r < height; ++r) {
        for (uint64_t c = 0; c < width; ++c) {
            if (raw == vyk::RawFormat::Byte)
                image.rawData8()[r * width + c] = static_cast<uint8_t>(rawValue(c, r));
            else
                image.rawData16()[r * width + c] = static_cast<uint16_t>(rawValue(c, r));
        }
    }
    if (format == vyk::DataFormat::Mono16 || (format == vyk::DataFormat::Mono8 && raw == vyk::RawFormat::Byte))
        return image;  // the raw buffer is the image
    const unsigned components = format == vyk::DataFormat::BGR8 ? 3 : 1;
    std::vector<uint8_t>& data = image.data8();
    const uint64_t rowElements = data.size() / height;
    for (uint64_t r = 0; r < height; ++r) {
        for (uint64_t i = 0; i < rowElements; ++i) {
            const uint64_t c = i / components;
            data[r * rowElements + i] =
                c < width ? static_cast<uint8_t>(displayValue(c, r, static_cast<unsigned>(i % components))) : padding;
        }
    }
    return image;
}

// An image whose raw and display pixels all hold value.
inline vyk::Image uniformImage(vyk::DataFormat format, vyk::RawFormat raw, uint64_t width, uint64_t height,
                               unsigned rawValue, unsigned displayValue, uint32_t recorderNumber = 0)
{
    return makeImage(
        format, raw, width, height, [=](uint64_t, uint64_t) { return rawValue; },
        [=](uint64_t, uint64_t, unsigned) { return displayValue; }, 0, recorderNumber);
}

}  // namespace viewtest
