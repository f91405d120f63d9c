// Timestamp pixels, metadata block and timestamp block.
#include "FrameStamp.h"

#include "kv2_cam.h"

#include <cmath>
#include <ctime>
#include <string>

namespace vyksim {

namespace {

inline uint8_t bcd(unsigned twoDigits)
{
    return static_cast<uint8_t>(((twoDigits / 10) % 10) << 4 | (twoDigits % 10));
}

void put16(uint8_t* block, size_t offset, uint16_t value)
{
    block[offset] = static_cast<uint8_t>(value);
    block[offset + 1] = static_cast<uint8_t>(value >> 8);
}

void put32(uint8_t* block, size_t offset, uint32_t value)
{
    put16(block, offset, static_cast<uint16_t>(value));
    put16(block, offset + 2, static_cast<uint16_t>(value >> 16));
}

// 5x7 glyphs, one 5-bit row mask per line, for the characters of the ASCII stamp.
const uint8_t* glyph(char c)
{
    static const uint8_t digits[10][7] = {
        {0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E}, {0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E},
        {0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F}, {0x1F, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0E},
        {0x02, 0x06, 0x0A, 0x12, 0x1F, 0x02, 0x02}, {0x1F, 0x10, 0x1E, 0x01, 0x01, 0x11, 0x0E},
        {0x06, 0x08, 0x10, 0x1E, 0x11, 0x11, 0x0E}, {0x1F, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08},
        {0x0E, 0x11, 0x11, 0x0E, 0x11, 0x11, 0x0E}, {0x0E, 0x11, 0x11, 0x0F, 0x01, 0x02, 0x0C},
    };
    static const uint8_t dash[7] = {0, 0, 0, 0x1F, 0, 0, 0};
    static const uint8_t colon[7] = {0, 0x0C, 0x0C, 0, 0x0C, 0x0C, 0};
    static const uint8_t dot[7] = {0, 0, 0, 0, 0, 0x0C, 0x0C};
    static const uint8_t blank[7] = {0, 0, 0, 0, 0, 0, 0};
    if (c >= '0' && c <= '9')
        return digits[c - '0'];
    return c == '-' ? dash : (c == ':' ? colon : (c == '.' ? dot : blank));
}

void stampAscii(const std::string& text, uint32_t firstRow, uint16_t foreground, SimFrame& out)
{
    constexpr uint32_t cellWidth = 6;
    constexpr uint32_t cellHeight = 8;
    for (uint32_t line = 0; line < cellHeight && firstRow + line < out.height; ++line) {
        uint16_t* row = out.pixels.data() + size_t(firstRow + line) * out.width;
        for (size_t i = 0; i < text.size(); ++i) {
            const uint8_t* g = glyph(text[i]);
            for (uint32_t col = 0; col < cellWidth; ++col) {
                const uint32_t x = uint32_t(i) * cellWidth + col;
                if (x >= out.width)
                    break;
                const bool on = line < 7 && col < 5 && (g[line] >> (4 - col)) & 1u;
                row[x] = on ? foreground : 0;
            }
        }
    }
}

} // namespace

FrameStamp::Clock FrameStamp::clockOf(int64_t wallTimeUs)
{
    const std::time_t seconds = static_cast<std::time_t>(wallTimeUs / 1000000);
    std::tm parts{};
    localtime_r(&seconds, &parts);
    return Clock{unsigned(parts.tm_year + 1900), unsigned(parts.tm_mon + 1), unsigned(parts.tm_mday),
                 unsigned(parts.tm_hour), unsigned(parts.tm_min), unsigned(parts.tm_sec),
                 unsigned(wallTimeUs % 1000000)};
}

void FrameStamp::stampPixels(const FrameRecipe& recipe, SimFrame& out)
{
    const uint16_t mode = recipe.setup->settings.timestampMode;
    if (mode == VYK_TIMESTAMP_OFF || out.pixels.empty())
        return;
    const Clock clock = clockOf(recipe.wallTimeUs);
    const unsigned counter = recipe.imageNumber % 100000000u;
    if (mode == VYK_TIMESTAMP_BINARY || mode == VYK_TIMESTAMP_BINARY_ASCII) {
        const uint8_t bytes[14] = {
            bcd(counter / 1000000), bcd(counter / 10000), bcd(counter / 100), bcd(counter),
            bcd(clock.year / 100), bcd(clock.year), bcd(clock.month), bcd(clock.day),
            bcd(clock.hour), bcd(clock.minute), bcd(clock.second),
            bcd(clock.microsecond / 10000), bcd(clock.microsecond / 100), bcd(clock.microsecond)};
        for (uint32_t i = 0; i < 14 && i < out.width; ++i)
            out.pixels[i] = bytes[i];
    }
    if (mode == VYK_TIMESTAMP_BINARY_ASCII || mode == VYK_TIMESTAMP_ASCII) {
        char text[48];
        std::snprintf(text, sizeof text, "%08u %04u-%02u-%02u %02u:%02u:%02u.%06u", counter, clock.year,
                      clock.month, clock.day, clock.hour, clock.minute, clock.second, clock.microsecond);
        stampAscii(text, mode == VYK_TIMESTAMP_ASCII ? 0 : 1, recipe.setup->maxValue, out);
    }
}

void FrameStamp::attachBlocks(const CameraConfig& config, const FrameRecipe& recipe, SimFrame& out)
{
    const FrameSetup& setup = *recipe.setup;
    const Clock clock = clockOf(recipe.wallTimeUs);
    out.hasMetadata = setup.settings.metadataMode != 0;
    if (out.hasMetadata) {
        uint8_t* m = out.metadata.data();
        out.metadata.fill(0);
        const unsigned counter = recipe.imageNumber % 100000000u;
        put16(m, 0, VYK_METADATA_SIZE);
        put16(m, 2, VYK_METADATA_VERSION);
        // BCD counter and time: least significant byte first.
        m[4] = bcd(counter);
        m[5] = bcd(counter / 100);
        m[6] = bcd(counter / 10000);
        m[7] = bcd(counter / 1000000);
        m[8] = bcd(clock.microsecond);
        m[9] = bcd(clock.microsecond / 100);
        m[10] = bcd(clock.microsecond / 10000);
        m[11] = bcd(clock.second);
        m[12] = bcd(clock.minute);
        m[13] = bcd(clock.hour);
        m[14] = bcd(clock.day);
        m[15] = bcd(clock.month);
        m[16] = bcd(clock.year % 100);
        m[17] = 0; // time status: camera clock running, set from the computer
        put16(m, 18, recipe.exposureBase);
        put32(m, 20, recipe.exposureValue);
        put32(m, 24, recipe.frameTimeS > 0.0 ? uint32_t(std::lround(1000.0 / recipe.frameTimeS)) : 0u);
        put16(m, 28, 25); // sensor temperature, degrees Celsius
        put16(m, 30, static_cast<uint16_t>(setup.width));
        put16(m, 32, static_cast<uint16_t>(setup.height));
        m[34] = static_cast<uint8_t>(setup.binHorz);
        m[35] = static_cast<uint8_t>(setup.binVert);
        put32(m, 36, setup.settings.pixelRate);
        put16(m, 40, setup.settings.convFactor);
        put32(m, 42, config.serial);
        put16(m, 46, config.type);
        m[48] = static_cast<uint8_t>(setup.bitDepth);
        m[49] = 0; // sync status
        put16(m, 50, static_cast<uint16_t>(setup.offset));
        m[52] = static_cast<uint8_t>(setup.settings.triggerMode);
        m[53] = static_cast<uint8_t>(setup.settings.doubleImage);
        m[54] = 0; // camera sync mode: standalone
        m[55] = config.color ? 2 : 1; // image type: 1 monochrome, 2 Bayer
        put16(m, 56, config.colorPattern);
        put16(m, 58, config.subType);
        put32(m, 60, 0); // event number
        put16(m, 64, static_cast<uint16_t>((setup.settings.roiX0 - 1u) * setup.binHorz));
        put16(m, 66, static_cast<uint16_t>((setup.settings.roiY0 - 1u) * setup.binVert));
        m[68] = 0; // readout mode
    }
    out.hasTimestamp = setup.settings.timestampMode != VYK_TIMESTAMP_OFF;
    if (out.hasTimestamp) {
        uint8_t* t = out.timestamp.data();
        put16(t, 0, VYK_TIMESTAMP_BLOCK_SIZE);
        put32(t, 2, recipe.imageNumber);
        put16(t, 6, static_cast<uint16_t>(clock.year));
        put16(t, 8, static_cast<uint16_t>(clock.month));
        put16(t, 10, static_cast<uint16_t>(clock.day));
        put16(t, 12, static_cast<uint16_t>(clock.hour));
        put16(t, 14, static_cast<uint16_t>(clock.minute));
        put16(t, 16, static_cast<uint16_t>(clock.second));
        put32(t, 18, clock.microsecond);
    }
}

} // namespace vyksim
