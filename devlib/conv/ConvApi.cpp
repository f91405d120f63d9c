// The C entry points of the conversion library: argument checks, handle look-up and
// translation of exceptions into result codes. The work is done by Converter.
#include <exception>
#include <new>

#include "Converter.h"
#include "HandleRegistry.h"
#include "OutputLayout.h"
#include "WhiteBalance.h"
#include "vyk_conv.h"

using vykconv::Converter;
using vykconv::HandleRegistry;
using vykconv::OutputLayout;

namespace {

// Runs an operation, turning an escaping exception into a result code: no exception
// may cross the C interface.
template <typename Op>
int32_t guarded(Op op) noexcept
{
    try {
        return op();
    } catch (const std::bad_alloc&) {
        return VYK_ERR_OUT_OF_MEMORY;
    } catch (...) {
        return VYK_ERR_OUT_OF_MEMORY; // thread or buffer resources could not be had
    }
}

// Checks the arguments shared by all conversions and finds the converter, which must
// be of the expected mode. On success fills converter and layout.
int32_t prepareConversion(VYKCONV_HANDLE handle, int32_t expectedMode, uint32_t flags, int32_t pattern,
                          int32_t width, int32_t height, const void* src, size_t srcCount, const void* dst,
                          size_t dstCount, std::shared_ptr<Converter>& converter, OutputLayout& layout)
{
    converter = HandleRegistry::instance().find(handle);
    if (!converter)
        return VYK_ERR_INVALID_HANDLE;
    if (converter->mode() != expectedMode)
        return VYK_ERR_NOT_SUPPORTED;
    if (src == nullptr || dst == nullptr)
        return VYK_ERR_NULL_POINTER;
    if (pattern < 0 || pattern > 3)
        return VYK_ERR_INVALID_ARGUMENT;
    const int32_t rc = OutputLayout::make(expectedMode, flags, width, height, layout);
    if (rc != VYK_NOERROR)
        return rc;
    if (srcCount < static_cast<size_t>(width) * static_cast<size_t>(height) || dstCount < layout.elementCount)
        return VYK_ERR_WRONG_SIZE;
    return VYK_NOERROR;
}

int32_t convert8(VYKCONV_HANDLE handle, int32_t mode, uint32_t flags, int32_t pattern, int32_t width, int32_t height,
                 const uint16_t* src, size_t srcCount, uint8_t* dst, size_t dstCount)
{
    return guarded([&] {
        std::shared_ptr<Converter> converter;
        OutputLayout layout;
        const int32_t rc = prepareConversion(handle, mode, flags, pattern, width, height, src, srcCount, dst,
                                             dstCount, converter, layout);
        if (rc != VYK_NOERROR)
            return rc;
        converter->convert8(flags, pattern, layout, src, dst);
        return VYK_NOERROR;
    });
}

} // namespace

extern "C" {

int32_t VYKCONV_CreateHandle(VYKCONV_HANDLE* handle, const VYK_SensorInfo* sensorInfo, int32_t mode)
{
    return guarded([&] {
        if (handle == nullptr || sensorInfo == nullptr)
            return VYK_ERR_NULL_POINTER;
        *handle = nullptr;
        if (mode < VYKCONV_MODE_MONO || mode > VYKCONV_MODE_COLOR16)
            return VYK_ERR_INVALID_ARGUMENT;
        const int32_t rc = Converter::checkSensorInfo(*sensorInfo);
        if (rc != VYK_NOERROR)
            return rc;
        *handle = HandleRegistry::instance().add(std::make_shared<Converter>(mode, *sensorInfo));
        return VYK_NOERROR;
    });
}

int32_t VYKCONV_DeleteHandle(VYKCONV_HANDLE handle)
{
    return guarded([&] {
        const auto converter = HandleRegistry::instance().remove(handle);
        if (!converter)
            return VYK_ERR_INVALID_HANDLE;
        converter->waitIdle();
        return VYK_NOERROR;
    });
}

int32_t VYKCONV_SetSensorInfo(VYKCONV_HANDLE handle, const VYK_SensorInfo* sensorInfo)
{
    return guarded([&] {
        const auto converter = HandleRegistry::instance().find(handle);
        if (!converter)
            return VYK_ERR_INVALID_HANDLE;
        if (sensorInfo == nullptr)
            return VYK_ERR_NULL_POINTER;
        const int32_t rc = Converter::checkSensorInfo(*sensorInfo);
        if (rc != VYK_NOERROR)
            return rc;
        converter->setSensorInfo(*sensorInfo);
        return VYK_NOERROR;
    });
}

int32_t VYKCONV_GetParams(VYKCONV_HANDLE handle, VYKCONV_Params* params)
{
    return guarded([&] {
        const auto converter = HandleRegistry::instance().find(handle);
        if (!converter)
            return VYK_ERR_INVALID_HANDLE;
        if (params == nullptr)
            return VYK_ERR_NULL_POINTER;
        if (params->wSize != sizeof(VYKCONV_Params))
            return VYK_ERR_WRONG_SIZE;
        *params = converter->params();
        return VYK_NOERROR;
    });
}

int32_t VYKCONV_SetParams(VYKCONV_HANDLE handle, const VYKCONV_Params* params)
{
    return guarded([&] {
        const auto converter = HandleRegistry::instance().find(handle);
        if (!converter)
            return VYK_ERR_INVALID_HANDLE;
        if (params == nullptr)
            return VYK_ERR_NULL_POINTER;
        const int32_t rc = Converter::checkParams(*params);
        if (rc != VYK_NOERROR)
            return rc;
        converter->setParams(*params);
        return VYK_NOERROR;
    });
}

int32_t VYKCONV_LoadLut(VYKCONV_HANDLE handle, int32_t kind, const char* path)
{
    return guarded([&] {
        const auto converter = HandleRegistry::instance().find(handle);
        if (!converter)
            return VYK_ERR_INVALID_HANDLE;
        if (converter->mode() != VYKCONV_MODE_PSEUDOCOLOR)
            return VYK_ERR_NOT_SUPPORTED;
        return converter->loadLut(kind, path);
    });
}

int32_t VYKCONV_GetWhiteBalanceRanges(VYKCONV_HANDLE handle, int32_t temperature, int32_t tint, double* gainRed,
                                      double* gainGreen, double* gainBlue)
{
    return guarded([&] {
        if (!HandleRegistry::instance().find(handle))
            return VYK_ERR_INVALID_HANDLE;
        if (gainRed == nullptr || gainGreen == nullptr || gainBlue == nullptr)
            return VYK_ERR_NULL_POINTER;
        if (temperature < 1000 || temperature > 20000 || tint < -100 || tint > 100)
            return VYK_ERR_INVALID_ARGUMENT;
        const auto gains = vykconv::WhiteBalance::gains(temperature, tint);
        *gainRed = gains[0];
        *gainGreen = gains[1];
        *gainBlue = gains[2];
        return VYK_NOERROR;
    });
}

int32_t VYKCONV_GetOutputCount(int32_t mode, uint32_t flags, int32_t width, int32_t height, size_t* count)
{
    return guarded([&] {
        if (count == nullptr)
            return VYK_ERR_NULL_POINTER;
        OutputLayout layout;
        const int32_t rc = OutputLayout::make(mode, flags, width, height, layout);
        *count = rc == VYK_NOERROR ? layout.elementCount : 0;
        return rc;
    });
}

int32_t VYKCONV_ConvertMono8(VYKCONV_HANDLE handle, uint32_t flags, int32_t colorPattern, int32_t width,
                             int32_t height, const uint16_t* src, size_t srcCount, uint8_t* dst, size_t dstCount)
{
    (void)colorPattern; // a mono frame has no colour pattern
    return convert8(handle, VYKCONV_MODE_MONO, flags, 0, width, height, src, srcCount, dst, dstCount);
}

int32_t VYKCONV_ConvertColor8(VYKCONV_HANDLE handle, uint32_t flags, int32_t colorPattern, int32_t width,
                              int32_t height, const uint16_t* src, size_t srcCount, uint8_t* dst, size_t dstCount)
{
    return convert8(handle, VYKCONV_MODE_COLOR, flags, colorPattern, width, height, src, srcCount, dst, dstCount);
}

int32_t VYKCONV_ConvertPseudo8(VYKCONV_HANDLE handle, uint32_t flags, int32_t colorPattern, int32_t width,
                               int32_t height, const uint16_t* src, size_t srcCount, uint8_t* dst, size_t dstCount)
{
    (void)colorPattern; // the pseudocolour conversion works on mono frames
    return convert8(handle, VYKCONV_MODE_PSEUDOCOLOR, flags, 0, width, height, src, srcCount, dst, dstCount);
}

int32_t VYKCONV_ConvertColor16(VYKCONV_HANDLE handle, uint32_t flags, int32_t colorPattern, int32_t width,
                               int32_t height, const uint16_t* src, size_t srcCount, uint16_t* dst, size_t dstCount)
{
    return guarded([&] {
        std::shared_ptr<Converter> converter;
        OutputLayout layout;
        const int32_t rc = prepareConversion(handle, VYKCONV_MODE_COLOR16, flags, colorPattern, width, height, src,
                                             srcCount, dst, dstCount, converter, layout);
        if (rc != VYK_NOERROR)
            return rc;
        converter->convert16(flags, colorPattern, layout, src, dst);
        return VYK_NOERROR;
    });
}

} // extern "C"
