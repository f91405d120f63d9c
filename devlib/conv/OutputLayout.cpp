#include "OutputLayout.h"

#include "vyk_conv.h"

namespace vykconv {

int32_t OutputLayout::make(int32_t mode, uint32_t flags, int32_t width, int32_t height, OutputLayout& out)
{
    if (width < 1 || height < 1 || width > kMaxDimension || height > kMaxDimension)
        return VYK_ERR_WRONG_SIZE;
    const bool bayer = mode == VYKCONV_MODE_COLOR || mode == VYKCONV_MODE_COLOR16;
    if (bayer && (width < 2 || height < 2))
        return VYK_ERR_WRONG_SIZE; // a Bayer tile needs two rows and two columns
    out = OutputLayout{};
    out.width = width;
    out.height = height;
    const size_t w4 = (static_cast<size_t>(width) + 3u) & ~static_cast<size_t>(3u);
    const uint32_t order = flags & VYKCONV_FLAG_ORDER_MASK;
    switch (mode) {
    case VYKCONV_MODE_MONO:
        out.channels = 1;
        out.rowPitch = w4;
        break;
    case VYKCONV_MODE_COLOR:
    case VYKCONV_MODE_PSEUDOCOLOR:
        out.hasAlpha = order == VYKCONV_FLAG_BGRA || order == VYKCONV_FLAG_RGBA;
        out.channels = out.hasAlpha ? 4 : 3;
        out.rowPitch = out.hasAlpha ? static_cast<size_t>(width) * 4u : w4 * 3u;
        break;
    case VYKCONV_MODE_COLOR16:
        if (order == VYKCONV_FLAG_BGRA || order == VYKCONV_FLAG_RGBA)
            return VYK_ERR_INVALID_ARGUMENT; // there is no 16-bit format with alpha
        out.channels = 3;
        out.rowPitch = w4 * 3u;
        break;
    default:
        return VYK_ERR_INVALID_ARGUMENT;
    }
    const bool redFirst = order == VYKCONV_FLAG_RGB || order == VYKCONV_FLAG_RGBA;
    out.redIndex = redFirst ? 0 : 2;
    out.blueIndex = redFirst ? 2 : 0;
    out.elementCount = out.rowPitch * static_cast<size_t>(height);
    return VYK_NOERROR;
}

} // namespace vykconv
