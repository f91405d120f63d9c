// The state and conversions behind one conversion handle.
#ifndef VYKCONV_CONVERTER_H
#define VYKCONV_CONVERTER_H

#include <cstdint>
#include <mutex>

#include "ColorTransform.h"
#include "LutFile.h"
#include "OutputLayout.h"
#include "RowParallel.h"
#include "ToneCurve.h"
#include "vyk_conv.h"

namespace vykconv {

// One conversion handle: mode, sensor description, parameter block, colour table
// and the cached mappings derived from them. All members are guarded by mutex_;
// a conversion holds it from start to end, so parameters never change mid-frame.
class Converter {
public:
    // A converter for mode (VYKCONV_MODE_*) and a sensor description that passed checkSensorInfo.
    Converter(int32_t mode, const VYK_SensorInfo& info);

    // VYK_NOERROR when info may be given to a converter, else the reason.
    static int32_t checkSensorInfo(const VYK_SensorInfo& info);

    // VYK_NOERROR when params may be stored, else the reason.
    static int32_t checkParams(const VYKCONV_Params& params);

    // The conversion mode given at creation.
    int32_t mode() const { return mode_; }

    // Replaces the sensor description (checked by the caller).
    void setSensorInfo(const VYK_SensorInfo& info);

    // The current parameter block.
    VYKCONV_Params params();

    // Stores a parameter block (checked by the caller).
    void setParams(const VYKCONV_Params& params);

    // Loads the pseudocolour table from a file; result code.
    int32_t loadLut(int32_t kind, const char* path);

    // Converts a frame to 8 bits per element in the handle's mode (mono, colour or
    // pseudocolour). Sizes are checked by the caller against layout.
    void convert8(uint32_t flags, int pattern, const OutputLayout& layout, const uint16_t* src, uint8_t* dst);

    // Converts a Bayer frame to 16 bits per channel.
    void convert16(uint32_t flags, int pattern, const OutputLayout& layout, const uint16_t* src, uint16_t* dst);

    // Waits until no conversion runs on this converter.
    void waitIdle();

private:
    // Configures tone_ from the parameters, or from the frame's range with auto min/max.
    void prepareTone(uint32_t flags, const OutputLayout& layout, const uint16_t* src);
    // Configures transform_: white balance, plus matrix, saturation and vibrance when withMatrix.
    void prepareColor(bool withMatrix);
    // Mono8 and pseudocolour conversion.
    void convertMonoLike(uint32_t flags, const OutputLayout& layout, const uint16_t* src, uint8_t* dst);
    // Colour 8-bit conversion.
    void convertColor8(uint32_t flags, int pattern, const OutputLayout& layout, const uint16_t* src, uint8_t* dst);
    // Paints one row of 8-bit levels through lut_ into an output row.
    void colorize(const uint8_t* index, const OutputLayout& layout, uint8_t* out) const;

    std::mutex mutex_;          // guards every member below and serialises conversions
    const int32_t mode_;        // VYKCONV_MODE_*
    VYK_SensorInfo info_;       // sensor description
    VYKCONV_Params params_;     // parameter block, verbatim as last set
    LutFile::Table lut_;        // pseudocolour table
    ToneCurve tone_;            // raw -> 8-bit mapping, rebuilt when its inputs change
    ColorTransform transform_;  // white balance, colour matrix, saturation, vibrance
    RowParallel parallel_;      // shares each frame's rows with a helper thread; used under mutex_
};

} // namespace vykconv

#endif
