// The conversion library's C interface: record layouts, handle lifetime, parameter
// block, argument checks and the destination sizes.
#include <atomic>
#include <cstddef>
#include <cstring>
#include <limits>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "ConvHandle.h"
#include "vyk_conv.h"

namespace {

TEST(ConvRecords, SensorInfoHasTheSharedByteLayout)
{
    EXPECT_EQ(sizeof(VYK_SensorInfo), 264u);
    EXPECT_EQ(offsetof(VYK_SensorInfo, wDummy), 2u);
    EXPECT_EQ(offsetof(VYK_SensorInfo, iDarkOffset), 16u);
    EXPECT_EQ(offsetof(VYK_SensorInfo, strColorCoeff) + offsetof(VYK_ColorCoeff, da11), 24u);
    EXPECT_EQ(offsetof(VYK_SensorInfo, strColorCoeff) + offsetof(VYK_ColorCoeff, da33), 88u);
    EXPECT_EQ(offsetof(VYK_SensorInfo, iCamNum), 96u);
    EXPECT_EQ(offsetof(VYK_SensorInfo, uCamera), 104u);
    EXPECT_EQ(offsetof(VYK_SensorInfo, dwzzDummy1) + 38 * sizeof(uint32_t), 264u);
    EXPECT_EQ(sizeof(VYKCONV_Params), 264u);
    EXPECT_EQ(offsetof(VYKCONV_Params, iMinLimit), 4u);
}

TEST(ConvHandles, CreateRefusesBadArguments)
{
    VYK_SensorInfo info = ConvHandle::sensorInfo(12);
    VYKCONV_HANDLE h = reinterpret_cast<VYKCONV_HANDLE>(0x1234);
    EXPECT_EQ(VYKCONV_CreateHandle(nullptr, &info, VYKCONV_MODE_MONO), VYK_ERR_NULL_POINTER);
    EXPECT_EQ(VYKCONV_CreateHandle(&h, nullptr, VYKCONV_MODE_MONO), VYK_ERR_NULL_POINTER);
    EXPECT_EQ(VYKCONV_CreateHandle(&h, &info, 0), VYK_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(h, nullptr);
    EXPECT_EQ(VYKCONV_CreateHandle(&h, &info, 5), VYK_ERR_INVALID_ARGUMENT);
    info.wSize = 260;
    EXPECT_EQ(VYKCONV_CreateHandle(&h, &info, VYKCONV_MODE_MONO), VYK_ERR_WRONG_SIZE);
    info = ConvHandle::sensorInfo(17);
    EXPECT_EQ(VYKCONV_CreateHandle(&h, &info, VYKCONV_MODE_MONO), VYK_ERR_INVALID_ARGUMENT);
    info = ConvHandle::sensorInfo(0);
    EXPECT_EQ(VYKCONV_CreateHandle(&h, &info, VYKCONV_MODE_MONO), VYK_ERR_INVALID_ARGUMENT);
    info = ConvHandle::sensorInfo(12);
    info.strColorCoeff.da22 = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(VYKCONV_CreateHandle(&h, &info, VYKCONV_MODE_COLOR), VYK_ERR_INVALID_ARGUMENT);
}

TEST(ConvHandles, DeletedAndInventedHandlesAreRefusedEverywhere)
{
    VYK_SensorInfo info = ConvHandle::sensorInfo(12);
    VYKCONV_HANDLE h = nullptr;
    ASSERT_EQ(VYKCONV_CreateHandle(&h, &info, VYKCONV_MODE_MONO), VYK_NOERROR);
    ASSERT_NE(h, nullptr);
    ASSERT_EQ(VYKCONV_DeleteHandle(h), VYK_NOERROR);

    // A new handle must not bring the deleted one back to life.
    VYKCONV_HANDLE other = nullptr;
    ASSERT_EQ(VYKCONV_CreateHandle(&other, &info, VYKCONV_MODE_MONO), VYK_NOERROR);
    EXPECT_NE(other, h);

    VYKCONV_Params p{};
    p.wSize = sizeof p;
    std::vector<uint16_t> src(16, 100);
    std::vector<uint8_t> dst(16);
    std::vector<uint16_t> dst16(64);
    double g[3];
    const VYKCONV_HANDLE invented = reinterpret_cast<VYKCONV_HANDLE>(static_cast<uintptr_t>(0xdeadbeef));
    for (VYKCONV_HANDLE bad : {h, invented, static_cast<VYKCONV_HANDLE>(nullptr)}) {
        EXPECT_EQ(VYKCONV_DeleteHandle(bad), VYK_ERR_INVALID_HANDLE);
        EXPECT_EQ(VYKCONV_SetSensorInfo(bad, &info), VYK_ERR_INVALID_HANDLE);
        EXPECT_EQ(VYKCONV_GetParams(bad, &p), VYK_ERR_INVALID_HANDLE);
        EXPECT_EQ(VYKCONV_SetParams(bad, &p), VYK_ERR_INVALID_HANDLE);
        EXPECT_EQ(VYKCONV_LoadLut(bad, 1, "x.lut"), VYK_ERR_INVALID_HANDLE);
        EXPECT_EQ(VYKCONV_GetWhiteBalanceRanges(bad, 6500, 0, &g[0], &g[1], &g[2]), VYK_ERR_INVALID_HANDLE);
        EXPECT_EQ(VYKCONV_ConvertMono8(bad, 0, 0, 4, 4, src.data(), src.size(), dst.data(), dst.size()),
                  VYK_ERR_INVALID_HANDLE);
        EXPECT_EQ(VYKCONV_ConvertColor8(bad, 0, 0, 4, 4, src.data(), src.size(), dst.data(), dst.size()),
                  VYK_ERR_INVALID_HANDLE);
        EXPECT_EQ(VYKCONV_ConvertPseudo8(bad, 0, 0, 4, 4, src.data(), src.size(), dst.data(), dst.size()),
                  VYK_ERR_INVALID_HANDLE);
        EXPECT_EQ(VYKCONV_ConvertColor16(bad, 0, 0, 4, 4, src.data(), src.size(), dst16.data(), dst16.size()),
                  VYK_ERR_INVALID_HANDLE);
    }
    EXPECT_EQ(VYKCONV_DeleteHandle(other), VYK_NOERROR);
}

TEST(ConvHandles, DeleteWhileAnotherThreadConvertsIsSafe)
{
    const int w = 512, h = 512; // large enough to use both cores
    std::vector<uint16_t> src(static_cast<size_t>(w) * h, 2000);
    for (int round = 0; round < 20; ++round) {
        VYK_SensorInfo info = ConvHandle::sensorInfo(12);
        VYKCONV_HANDLE handle = nullptr;
        ASSERT_EQ(VYKCONV_CreateHandle(&handle, &info, VYKCONV_MODE_COLOR), VYK_NOERROR);
        std::atomic<int> failures{0};
        std::atomic<bool> started{false};
        std::thread converter([&] {
            std::vector<uint8_t> dst(static_cast<size_t>(w) * h * 3);
            for (int i = 0; i < 50; ++i) {
                const int32_t rc = VYKCONV_ConvertColor8(handle, VYKCONV_FLAG_BASE | VYKCONV_FLAG_SHARPEN, 0, w, h,
                                                         src.data(), src.size(), dst.data(), dst.size());
                started = true;
                if (rc == VYK_ERR_INVALID_HANDLE)
                    break;
                if (rc != VYK_NOERROR)
                    ++failures;
            }
        });
        while (!started)
            std::this_thread::yield();
        EXPECT_EQ(VYKCONV_DeleteHandle(handle), VYK_NOERROR);
        converter.join();
        EXPECT_EQ(failures.load(), 0);
    }
}

TEST(ConvParams, DefaultsFollowTheSensorBits)
{
    ConvHandle h(VYKCONV_MODE_COLOR, 12);
    const VYKCONV_Params p = h.params();
    EXPECT_EQ(p.wSize, 264);
    EXPECT_EQ(p.iMinLimit, 0);
    EXPECT_EQ(p.iMaxLimit, 4095);
    EXPECT_EQ(p.iGamma, 100);
    EXPECT_EQ(p.iContrast, 0);
    EXPECT_EQ(p.iColorTemperature, 6500);
    EXPECT_EQ(p.iColorTint, 0);
    EXPECT_EQ(p.iColorSaturation, 0);
    EXPECT_EQ(p.iColorVibrance, 0);
}

TEST(ConvParams, SetThenGetRoundTripsEveryByte)
{
    ConvHandle h(VYKCONV_MODE_PSEUDOCOLOR, 14);
    VYKCONV_Params p = h.params();
    p.wDummy = 0xBEEF;
    p.iMinLimit = 120;
    p.iMaxLimit = 9000;
    p.iGamma = 61;
    p.iContrast = -35;
    p.iColorTemperature = 3200;
    p.iColorTint = 17;
    p.iColorSaturation = -100;
    p.iColorVibrance = 100;
    for (uint32_t i = 0; i < 57; ++i)
        p.dwzzDummy[i] = 0x01010101u * i;
    ASSERT_EQ(VYKCONV_SetParams(h.get(), &p), VYK_NOERROR);
    const VYKCONV_Params back = h.params();
    EXPECT_EQ(std::memcmp(&back, &p, sizeof p), 0);
}

TEST(ConvParams, OutOfRangeValuesAreRefusedAndLeaveTheBlockAlone)
{
    ConvHandle h(VYKCONV_MODE_COLOR, 12);
    const VYKCONV_Params before = h.params();
    auto refused = [&](auto change) {
        VYKCONV_Params p = before;
        change(p);
        return VYKCONV_SetParams(h.get(), &p);
    };
    EXPECT_EQ(refused([](VYKCONV_Params& p) { p.iGamma = 0; }), VYK_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(refused([](VYKCONV_Params& p) { p.iGamma = 1001; }), VYK_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(refused([](VYKCONV_Params& p) { p.iContrast = 101; }), VYK_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(refused([](VYKCONV_Params& p) { p.iColorTemperature = 999; }), VYK_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(refused([](VYKCONV_Params& p) { p.iColorTint = -101; }), VYK_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(refused([](VYKCONV_Params& p) { p.iColorSaturation = 200; }), VYK_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(refused([](VYKCONV_Params& p) { p.iColorVibrance = -200; }), VYK_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(refused([](VYKCONV_Params& p) { p.wSize = 263; }), VYK_ERR_WRONG_SIZE);
    EXPECT_EQ(VYKCONV_SetParams(h.get(), nullptr), VYK_ERR_NULL_POINTER);
    const VYKCONV_Params after = h.params();
    EXPECT_EQ(std::memcmp(&before, &after, sizeof before), 0);

    VYKCONV_Params wrong = before;
    wrong.wSize = 100;
    EXPECT_EQ(VYKCONV_GetParams(h.get(), &wrong), VYK_ERR_WRONG_SIZE);
    EXPECT_EQ(VYKCONV_GetParams(h.get(), nullptr), VYK_ERR_NULL_POINTER);
}

TEST(ConvParams, SensorInfoUpdateIsChecked)
{
    ConvHandle h(VYKCONV_MODE_MONO, 12);
    VYK_SensorInfo info = ConvHandle::sensorInfo(16);
    EXPECT_EQ(VYKCONV_SetSensorInfo(h.get(), &info), VYK_NOERROR);
    info.wSize = 0;
    EXPECT_EQ(VYKCONV_SetSensorInfo(h.get(), &info), VYK_ERR_WRONG_SIZE);
    EXPECT_EQ(VYKCONV_SetSensorInfo(h.get(), nullptr), VYK_ERR_NULL_POINTER);
}

TEST(ConvLayout, OutputCountsFollowTheRowPadding)
{
    EXPECT_EQ(ConvHandle::outputCount(VYKCONV_MODE_MONO, 0, 10, 2), 24u);
    EXPECT_EQ(ConvHandle::outputCount(VYKCONV_MODE_COLOR, VYKCONV_FLAG_BGRA, 10, 2), 80u);
    EXPECT_EQ(ConvHandle::outputCount(VYKCONV_MODE_COLOR, VYKCONV_FLAG_RGBA, 5, 3), 60u);
    EXPECT_EQ(ConvHandle::outputCount(VYKCONV_MODE_COLOR, 0, 5, 2), 48u);
    EXPECT_EQ(ConvHandle::outputCount(VYKCONV_MODE_PSEUDOCOLOR, VYKCONV_FLAG_RGB, 8, 2), 48u);
    EXPECT_EQ(ConvHandle::outputCount(VYKCONV_MODE_COLOR16, VYKCONV_FLAG_RGB, 5, 1 + 1), 48u);
    size_t n = 99;
    EXPECT_EQ(VYKCONV_GetOutputCount(VYKCONV_MODE_COLOR16, VYKCONV_FLAG_BGRA, 4, 4, &n), VYK_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(VYKCONV_GetOutputCount(7, 0, 4, 4, &n), VYK_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(VYKCONV_GetOutputCount(VYKCONV_MODE_MONO, 0, 0, 4, &n), VYK_ERR_WRONG_SIZE);
    EXPECT_EQ(VYKCONV_GetOutputCount(VYKCONV_MODE_MONO, 0, 4, 4, nullptr), VYK_ERR_NULL_POINTER);
}

TEST(ConvArguments, ConversionsRefuseWrongSizesBuffersAndModes)
{
    ConvHandle mono(VYKCONV_MODE_MONO, 12);
    ConvHandle color(VYKCONV_MODE_COLOR, 12);
    ConvHandle color16(VYKCONV_MODE_COLOR16, 12);
    std::vector<uint16_t> src(6 * 4, 500);
    std::vector<uint8_t> dst(8 * 4 * 4);
    std::vector<uint16_t> dst16(8 * 3 * 4);
    const uint32_t f = VYKCONV_FLAG_BASE;
    auto mono8 = [&](int w, int h, const uint16_t* s, size_t sn, uint8_t* d, size_t dn) {
        return VYKCONV_ConvertMono8(mono.get(), f, 0, w, h, s, sn, d, dn);
    };
    EXPECT_EQ(mono8(6, 4, src.data(), src.size(), dst.data(), 32), VYK_NOERROR);
    EXPECT_EQ(mono8(6, 4, src.data(), src.size(), dst.data(), 31), VYK_ERR_WRONG_SIZE);
    EXPECT_EQ(mono8(6, 4, src.data(), 23, dst.data(), 32), VYK_ERR_WRONG_SIZE);
    EXPECT_EQ(mono8(0, 4, src.data(), src.size(), dst.data(), 32), VYK_ERR_WRONG_SIZE);
    EXPECT_EQ(mono8(6, -4, src.data(), src.size(), dst.data(), 32), VYK_ERR_WRONG_SIZE);
    EXPECT_EQ(mono8(70000, 1, src.data(), src.size(), dst.data(), 32), VYK_ERR_WRONG_SIZE);
    EXPECT_EQ(mono8(6, 4, nullptr, src.size(), dst.data(), 32), VYK_ERR_NULL_POINTER);
    EXPECT_EQ(mono8(6, 4, src.data(), src.size(), nullptr, 32), VYK_ERR_NULL_POINTER);

    // A conversion belongs to one kind of handle.
    EXPECT_EQ(VYKCONV_ConvertColor8(mono.get(), f, 0, 6, 4, src.data(), src.size(), dst.data(), dst.size()),
              VYK_ERR_NOT_SUPPORTED);
    EXPECT_EQ(VYKCONV_ConvertMono8(color.get(), f, 0, 6, 4, src.data(), src.size(), dst.data(), dst.size()),
              VYK_ERR_NOT_SUPPORTED);
    EXPECT_EQ(VYKCONV_ConvertColor16(color.get(), f, 0, 6, 4, src.data(), src.size(), dst16.data(), dst16.size()),
              VYK_ERR_NOT_SUPPORTED);

    // Bayer conversions need a whole 2 x 2 tile and a pattern code 0..3.
    EXPECT_EQ(VYKCONV_ConvertColor8(color.get(), f, 0, 1, 4, src.data(), src.size(), dst.data(), dst.size()),
              VYK_ERR_WRONG_SIZE);
    EXPECT_EQ(VYKCONV_ConvertColor8(color.get(), f, 4, 6, 4, src.data(), src.size(), dst.data(), dst.size()),
              VYK_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(VYKCONV_ConvertColor8(color.get(), f, -1, 6, 4, src.data(), src.size(), dst.data(), dst.size()),
              VYK_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(VYKCONV_ConvertColor8(color.get(), f | VYKCONV_FLAG_BGRA, 0, 6, 4, src.data(), src.size(),
                                    dst.data(), 6 * 4 * 4 - 1),
              VYK_ERR_WRONG_SIZE);
    EXPECT_EQ(VYKCONV_ConvertColor16(color16.get(), f | VYKCONV_FLAG_RGBA, 0, 6, 4, src.data(), src.size(),
                                     dst16.data(), dst16.size()),
              VYK_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(VYKCONV_ConvertColor16(color16.get(), f, 0, 6, 4, src.data(), src.size(), dst16.data(), 95),
              VYK_ERR_WRONG_SIZE);
    EXPECT_EQ(VYKCONV_ConvertColor16(color16.get(), f, 0, 6, 4, src.data(), src.size(), dst16.data(), 96),
              VYK_NOERROR);
}

TEST(ConvArguments, NothingBeyondTheDestinationIsWritten)
{
    ConvHandle color(VYKCONV_MODE_COLOR, 12);
    const int w = 5, h = 3;
    std::vector<uint16_t> src(static_cast<size_t>(w) * h, 4095);
    const size_t need = ConvHandle::outputCount(VYKCONV_MODE_COLOR, 0, w, h);
    std::vector<uint8_t> dst(need + 16, 0xAB);
    ASSERT_EQ(VYKCONV_ConvertColor8(color.get(), VYKCONV_FLAG_BASE | VYKCONV_FLAG_SHARPEN, 0, w, h, src.data(),
                                    src.size(), dst.data(), need),
              VYK_NOERROR);
    for (size_t i = need; i < dst.size(); ++i)
        EXPECT_EQ(dst[i], 0xAB) << "byte " << i;
}

TEST(ConvWhiteBalance, RangesAreCheckedAndNeutralAtDaylight)
{
    ConvHandle color(VYKCONV_MODE_COLOR, 12);
    double r = 0, g = 0, b = 0;
    ASSERT_EQ(VYKCONV_GetWhiteBalanceRanges(color.get(), 6500, 0, &r, &g, &b), VYK_NOERROR);
    EXPECT_NEAR(r, 1.0, 1e-9);
    EXPECT_NEAR(g, 1.0, 1e-9);
    EXPECT_NEAR(b, 1.0, 1e-9);
    EXPECT_EQ(VYKCONV_GetWhiteBalanceRanges(color.get(), 500, 0, &r, &g, &b), VYK_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(VYKCONV_GetWhiteBalanceRanges(color.get(), 6500, 150, &r, &g, &b), VYK_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(VYKCONV_GetWhiteBalanceRanges(color.get(), 6500, 0, nullptr, &g, &b), VYK_ERR_NULL_POINTER);
}

} // namespace
