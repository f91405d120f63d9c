// Test helper: a conversion handle that is deleted when the test ends, and sensor
// descriptions to create it with.
#ifndef CONV_HANDLE_H
#define CONV_HANDLE_H

#include <cstring>
#include <vector>

#include <gtest/gtest.h>

#include "vyk_conv.h"

// Owns one conversion handle for the lifetime of a test.
class ConvHandle {
public:
    // A sensor description with the given significant bits and no colour matrix.
    static VYK_SensorInfo sensorInfo(int bits)
    {
        VYK_SensorInfo info;
        std::memset(&info, 0, sizeof info);
        info.wSize = sizeof info;
        info.iDataBits = bits;
        return info;
    }

    // Creates a handle of mode; the test fails if that does not work.
    ConvHandle(int32_t mode, int bits) : ConvHandle(mode, sensorInfo(bits)) {}

    ConvHandle(int32_t mode, const VYK_SensorInfo& info)
    {
        EXPECT_EQ(VYKCONV_CreateHandle(&handle_, &info, mode), VYK_NOERROR);
    }

    ~ConvHandle()
    {
        if (handle_ != nullptr)
            VYKCONV_DeleteHandle(handle_);
    }

    ConvHandle(const ConvHandle&) = delete;
    ConvHandle& operator=(const ConvHandle&) = delete;

    // The raw handle.
    VYKCONV_HANDLE get() const { return handle_; }

    // The current parameter block.
    VYKCONV_Params params() const
    {
        VYKCONV_Params p;
        std::memset(&p, 0, sizeof p);
        p.wSize = sizeof p;
        EXPECT_EQ(VYKCONV_GetParams(handle_, &p), VYK_NOERROR);
        return p;
    }

    // Changes the mapping parameters, leaving the others as they are.
    void setMapping(int32_t minLimit, int32_t maxLimit, int32_t gammaX100 = 100, int32_t contrast = 0)
    {
        VYKCONV_Params p = params();
        p.iMinLimit = minLimit;
        p.iMaxLimit = maxLimit;
        p.iGamma = gammaX100;
        p.iContrast = contrast;
        ASSERT_EQ(VYKCONV_SetParams(handle_, &p), VYK_NOERROR);
    }

    // Destination size for a conversion of this handle's kind.
    static size_t outputCount(int32_t mode, uint32_t flags, int width, int height)
    {
        size_t n = 0;
        EXPECT_EQ(VYKCONV_GetOutputCount(mode, flags, width, height, &n), VYK_NOERROR);
        return n;
    }

private:
    VYKCONV_HANDLE handle_ = nullptr;
};

#endif
