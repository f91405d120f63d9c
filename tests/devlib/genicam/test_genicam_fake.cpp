// GenICam cameras through the device library and the recorder, on Aravis's in-process fake
// camera (no network at all).
#include "GenicamFixture.h"

#include <tiffio.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <ctime>
#include <thread>

using namespace gentest;

namespace {

constexpr const char* kFake = "Fake_1";

uint16_t field16(const uint8_t* block, size_t offset)
{
    return uint16_t(block[offset] | (block[offset + 1] << 8));
}

uint32_t field32(const uint8_t* block, size_t offset)
{
    return uint32_t(field16(block, offset)) | (uint32_t(field16(block, offset + 2)) << 16);
}

void setExposureUs(VYK_HANDLE camera, uint32_t microseconds)
{
    ASSERT_EQ(VYK_SetDelayExposureTime(camera, 0, microseconds, VYK_TIMEBASE_US, VYK_TIMEBASE_US), VYK_NOERROR);
}

void arm(VYK_HANDLE camera)
{
    ASSERT_EQ(VYK_ArmCamera(camera), VYK_NOERROR);
}

using FakeCamera = GenicamTest;

} // namespace

TEST_F(FakeCamera, OpensWithItsIdentityAndCapabilities)
{
    VYK_HANDLE camera = openGenicam(kFake);
    ASSERT_NE(camera, nullptr);
    char name[260] = {};
    ASSERT_EQ(VYK_GetCameraName(camera, name, sizeof name), VYK_NOERROR);
    EXPECT_STREQ(name, "Aravis Fake");
    VYK_CameraType type{};
    type.wSize = sizeof type;
    ASSERT_EQ(VYK_GetCameraType(camera, &type), VYK_NOERROR);
    EXPECT_EQ(type.dwSerialNumber, 1u); // the fake's serial text is "1"
    EXPECT_EQ(type.wInterfaceType, VYK_INTERFACE_GIGE);

    VYK_Description d{};
    d.wSize = sizeof d;
    ASSERT_EQ(VYK_GetCameraDescription(camera, &d), VYK_NOERROR);
    EXPECT_EQ(d.wMaxHorzResStdDESC, 2048);
    EXPECT_EQ(d.wMaxVertResStdDESC, 2048);
    EXPECT_EQ(d.wSensorTypeDESC & VYK_SENSOR_COLOR, 0);
    EXPECT_EQ(d.wDynResDESC, 16);
    EXPECT_EQ(d.wMaxBinHorzDESC, 16);
    EXPECT_EQ(d.wRoiHorStepsDESC, 1);
    EXPECT_EQ(d.dwMinExposDESC, 10000u);  // ExposureTimeAbs 10 us
    EXPECT_EQ(d.dwMaxExposDESC, 10000u);  // 10 s
    EXPECT_EQ(d.dwMaxDelayDESC, 0u);      // no TriggerDelay: only no delay
    EXPECT_NE(d.dwGeneralCapsDESC1 & VYK_CAPS1_NO_CAMRAM, 0u);
    EXPECT_NE(d.dwGeneralCapsDESC1 & VYK_CAPS1_NO_ACQUIRE_MODE, 0u);
    EXPECT_NE(d.dwGeneralCapsDESC2 & VYK_CAPS2_PIXEL_FORMAT, 0u);

    // Open once only; afterwards it is found by its serial too.
    VYK_OpenStruct again{};
    again.wSize = sizeof again;
    again.wInterfaceType = VYK_INTERFACE_GIGE;
    again.wCameraNumber = 1;
    VYK_HANDLE second = nullptr;
    EXPECT_EQ(VYK_OpenCamera(&second, &again), VYK_ERR_CAMERA_BUSY);
    close(camera);
    again.wOpenMode = VYK_OPEN_BY_SERIAL;
    again.wInterfaceType = VYK_INTERFACE_ANY;
    again.dwSerialNumber = 1;
    ASSERT_EQ(VYK_OpenCamera(&second, &again), VYK_NOERROR);
    EXPECT_EQ(again.wOpenedInterface, VYK_INTERFACE_GIGE);
    EXPECT_EQ(VYK_CloseCamera(second), VYK_NOERROR);
}

TEST_F(FakeCamera, UnknownDevicesAndFeaturesAreRefused)
{
    setenv("RASTEL_GENICAM", "Fake_1 NoSuchFeature=3", 1);
    VYK_OpenStruct request{};
    request.wSize = sizeof request;
    request.wInterfaceType = VYK_INTERFACE_GIGE;
    request.wCameraNumber = 1;
    VYK_HANDLE camera = nullptr;
    EXPECT_EQ(VYK_OpenCamera(&camera, &request), VYK_ERR_INVALID_ARGUMENT);
    setenv("RASTEL_GENICAM", "Fake_7", 1);
    EXPECT_EQ(VYK_OpenCamera(&camera, &request), VYK_ERR_NO_CAMERA);
    EXPECT_EQ(camera, nullptr);
}

TEST_F(FakeCamera, SettingsRoundTripWithinTheirBounds)
{
    VYK_HANDLE camera = openGenicam(kFake);
    ASSERT_NE(camera, nullptr);
    // Exposure and delay.
    setExposureUs(camera, 2500);
    uint32_t delay = 1, exposure = 0;
    uint16_t delayBase = 9, exposureBase = 9;
    ASSERT_EQ(VYK_GetDelayExposureTime(camera, &delay, &exposure, &delayBase, &exposureBase), VYK_NOERROR);
    EXPECT_EQ(exposure, 2500u);
    EXPECT_EQ(exposureBase, VYK_TIMEBASE_US);
    EXPECT_EQ(delay, 0u);
    EXPECT_EQ(VYK_SetDelayExposureTime(camera, 0, 5, VYK_TIMEBASE_US, VYK_TIMEBASE_US), VYK_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(VYK_SetDelayExposureTime(camera, 0, 11000, VYK_TIMEBASE_US, VYK_TIMEBASE_MS), VYK_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(VYK_SetDelayExposureTime(camera, 1, 2500, VYK_TIMEBASE_MS, VYK_TIMEBASE_US), VYK_ERR_INVALID_ARGUMENT);
    arm(camera);
    // The frame time follows the exposure through the camera's frame rate.
    uint32_t seconds = 9, nanoseconds = 0;
    ASSERT_EQ(VYK_GetFrameTime(camera, &seconds, &nanoseconds), VYK_NOERROR);
    EXPECT_EQ(seconds, 0u);
    EXPECT_NEAR(double(nanoseconds), 2.5e6, 1e4);

    // ROI and binning.
    EXPECT_EQ(VYK_SetROI(camera, 101, 51, 420, 290), VYK_NOERROR);
    uint16_t x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    ASSERT_EQ(VYK_GetROI(camera, &x0, &y0, &x1, &y1), VYK_NOERROR);
    EXPECT_EQ(x0, 101);
    EXPECT_EQ(y0, 51);
    EXPECT_EQ(x1, 420);
    EXPECT_EQ(y1, 290);
    EXPECT_EQ(VYK_SetROI(camera, 1, 1, 2049, 100), VYK_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(VYK_SetROI(camera, 0, 1, 100, 100), VYK_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(VYK_SetBinning(camera, 2, 4), VYK_NOERROR);
    uint16_t bh = 0, bv = 0;
    ASSERT_EQ(VYK_GetBinning(camera, &bh, &bv), VYK_NOERROR);
    EXPECT_EQ(bh, 2);
    EXPECT_EQ(bv, 4);
    EXPECT_EQ(VYK_SetBinning(camera, 17, 1), VYK_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(VYK_SetBinning(camera, 2 | VYK_BINNING_AVERAGE, 2 | VYK_BINNING_AVERAGE), VYK_ERR_NOT_SUPPORTED);
    // A ROI beyond the binned sensor cannot be armed.
    EXPECT_EQ(VYK_SetROI(camera, 1, 1, 1024, 600), VYK_NOERROR);
    EXPECT_EQ(VYK_ArmCamera(camera), VYK_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(VYK_SetROI(camera, 1, 1, 1024, 512), VYK_NOERROR);
    arm(camera);

    // Pixel formats: Mono8 and Mono16 offered, nothing else.
    uint32_t current = 0, supported = 0;
    ASSERT_EQ(VYK_GetPixelFormat(camera, &current, &supported), VYK_NOERROR);
    EXPECT_EQ(supported, uint32_t(VYK_PIXELFORMAT_8BIT | VYK_PIXELFORMAT_16BIT));
    EXPECT_EQ(current, uint32_t(VYK_PIXELFORMAT_8BIT)); // the fake starts in Mono8
    EXPECT_EQ(VYK_SetPixelFormat(camera, VYK_PIXELFORMAT_16BIT), VYK_NOERROR);
    EXPECT_EQ(VYK_SetPixelFormat(camera, VYK_PIXELFORMAT_12BIT), VYK_ERR_INVALID_ARGUMENT);

    // Trigger modes: auto, software and external start (Line0); no exposure control.
    for (uint16_t mode : {VYK_TRIGGER_SOFTWARE, VYK_TRIGGER_EXTERNAL_START, VYK_TRIGGER_AUTO}) {
        EXPECT_EQ(VYK_SetTriggerMode(camera, mode), VYK_NOERROR);
        arm(camera);
        uint16_t read = 99;
        ASSERT_EQ(VYK_GetTriggerMode(camera, &read), VYK_NOERROR);
        EXPECT_EQ(read, mode);
    }
    EXPECT_EQ(VYK_SetTriggerMode(camera, VYK_TRIGGER_EXTERNAL_CONTROL), VYK_ERR_INVALID_ARGUMENT);

    // No camera RAM, no acquire modes, no pixel rates.
    VYK_RamSize ram{};
    ram.wSize = sizeof ram;
    EXPECT_EQ(VYK_GetCameraRamSize(camera, &ram), VYK_ERR_NO_CAMERA_RAM);
    EXPECT_EQ(VYK_SetStorageMode(camera, VYK_STORAGE_RECORDER), VYK_ERR_NO_CAMERA_RAM);
    uint16_t mode = 0;
    EXPECT_EQ(VYK_GetAcquireMode(camera, &mode), VYK_ERR_NOT_SUPPORTED);
    EXPECT_EQ(VYK_SetPixelRate(camera, 100000000), VYK_ERR_INVALID_ARGUMENT);

    // While recording only exposure and delay change; the reset restores the camera's own state.
    ASSERT_EQ(VYK_SetRecordingState(camera, 1), VYK_NOERROR);
    EXPECT_EQ(VYK_SetROI(camera, 1, 1, 100, 100), VYK_ERR_RECORDING_RUNS);
    EXPECT_EQ(VYK_SetDelayExposureTime(camera, 0, 4000, VYK_TIMEBASE_US, VYK_TIMEBASE_US), VYK_NOERROR);
    ASSERT_EQ(VYK_SetRecordingState(camera, 0), VYK_NOERROR);
    ASSERT_EQ(VYK_ResetSettingsToDefault(camera), VYK_NOERROR);
    arm(camera);
    ASSERT_EQ(VYK_GetROI(camera, &x0, &y0, &x1, &y1), VYK_NOERROR);
    EXPECT_EQ(x1 - x0 + 1, 512); // the fake's own region
    ASSERT_EQ(VYK_GetBinning(camera, &bh, &bv), VYK_NOERROR);
    EXPECT_EQ(bh, 1);
}

TEST_F(FakeCamera, RoiAndBinningSetTheImageSize)
{
    VYK_HANDLE camera = openGenicam(kFake);
    ASSERT_NE(camera, nullptr);
    setExposureUs(camera, 5000);
    struct Case {
        uint16_t bin;
        uint16_t x1, y1;
    };
    for (const Case& c : {Case{1, 320, 240}, Case{2, 512, 256}}) {
        ASSERT_EQ(VYK_SetBinning(camera, c.bin, c.bin), VYK_NOERROR);
        ASSERT_EQ(VYK_SetROI(camera, 1, 1, c.x1, c.y1), VYK_NOERROR);
        arm(camera);
        VYK_RECORDER recorder = recordSequence(camera, 3);
        uint16_t width = 0, height = 0;
        ASSERT_EQ(VYK_RecorderGetSettings(recorder, camera, nullptr, nullptr, &width, &height), VYK_NOERROR);
        EXPECT_EQ(width, c.x1);
        EXPECT_EQ(height, c.y1);
        const Status s = status(recorder, camera);
        EXPECT_EQ(s.recorded, 3u);
        EXPECT_EQ(s.error, 0);
        EXPECT_EQ(copy(recorder, camera, 2).rc, VYK_NOERROR);
    }
}

TEST_F(FakeCamera, Mono8AndMono16ImagesKeepTheirValues)
{
    VYK_HANDLE camera = openGenicam(kFake);
    ASSERT_NE(camera, nullptr);
    setExposureUs(camera, 5000);
    ASSERT_EQ(VYK_SetROI(camera, 1, 1, 256, 256), VYK_NOERROR);
    uint16_t largest[2] = {};
    int i = 0;
    for (uint32_t flag : {VYK_PIXELFORMAT_8BIT, VYK_PIXELFORMAT_16BIT}) {
        ASSERT_EQ(VYK_SetPixelFormat(camera, flag), VYK_NOERROR);
        arm(camera);
        VYK_RECORDER recorder = recordSequence(camera, 2);
        const Copy c = copy(recorder, camera, 1);
        ASSERT_EQ(c.rc, VYK_NOERROR);
        largest[i++] = *std::max_element(c.pixels.begin(), c.pixels.end());
    }
    EXPECT_LE(largest[0], 255);
    EXPECT_GT(largest[0], 0);
    EXPECT_GT(largest[1], 255); // Mono16 values are taken whole, not cut to a byte
}

TEST_F(FakeCamera, BayerFormatMakesAColourCameraWithItsPattern)
{
    struct Case {
        const char* format;
        uint16_t pattern;
    };
    for (const Case& c : {Case{"BayerRG8", 0x4321}, Case{"BayerGB8", 0x2143}, Case{"BayerBG8", 0x1234}}) {
        VYK_HANDLE camera = openGenicam(std::string(kFake) + " PixelFormat=" + c.format);
        ASSERT_NE(camera, nullptr);
        VYK_Description d{};
        d.wSize = sizeof d;
        ASSERT_EQ(VYK_GetCameraDescription(camera, &d), VYK_NOERROR);
        EXPECT_NE(d.wSensorTypeDESC & VYK_SENSOR_COLOR, 0) << c.format;
        EXPECT_EQ(d.wColorPatternDESC, c.pattern) << c.format;
        EXPECT_EQ(d.wDynResDESC, 8);
        uint32_t current = 0, supported = 0;
        ASSERT_EQ(VYK_GetPixelFormat(camera, &current, &supported), VYK_NOERROR);
        EXPECT_EQ(supported, uint32_t(VYK_PIXELFORMAT_8BIT)); // only the Bayer formats of its pattern
        setExposureUs(camera, 5000);
        arm(camera);
        VYK_RECORDER recorder = recordSequence(camera, 2);
        EXPECT_EQ(status(recorder, camera).recorded, 2u);
        close(camera);
    }
}

TEST_F(FakeCamera, SoftwareTriggerIsTakenOnlyWhileRecordingInSoftwareMode)
{
    // The in-process fake streams on whatever the trigger mode is; the one image per trigger
    // is checked on the GigE Vision fake.
    VYK_HANDLE camera = openGenicam(kFake);
    ASSERT_NE(camera, nullptr);
    setExposureUs(camera, 2000);
    arm(camera);
    uint16_t accepted = 1;
    ASSERT_EQ(VYK_SetRecordingState(camera, 1), VYK_NOERROR);
    EXPECT_EQ(VYK_ForceTrigger(camera, &accepted), VYK_ERR_TRIGGER_REJECTED); // auto trigger
    EXPECT_EQ(accepted, 0);
    ASSERT_EQ(VYK_SetRecordingState(camera, 0), VYK_NOERROR);
    ASSERT_EQ(VYK_SetTriggerMode(camera, VYK_TRIGGER_SOFTWARE), VYK_NOERROR);
    arm(camera);
    EXPECT_EQ(VYK_ForceTrigger(camera, &accepted), VYK_ERR_TRIGGER_REJECTED); // not recording
    ASSERT_EQ(VYK_SetRecordingState(camera, 1), VYK_NOERROR);
    EXPECT_EQ(VYK_ForceTrigger(camera, &accepted), VYK_NOERROR);
    EXPECT_EQ(accepted, 1);
    ASSERT_EQ(VYK_SetRecordingState(camera, 0), VYK_NOERROR);
}

TEST_F(FakeCamera, MemorySequenceAndRingHoldConsecutiveImages)
{
    VYK_HANDLE camera = openGenicam(kFake);
    ASSERT_NE(camera, nullptr);
    setExposureUs(camera, 2000);
    ASSERT_EQ(VYK_SetROI(camera, 1, 1, 128, 64), VYK_NOERROR);
    ASSERT_EQ(VYK_SetMetaDataMode(camera, 1, nullptr, nullptr), VYK_NOERROR);
    ASSERT_EQ(VYK_SetTimestampMode(camera, VYK_TIMESTAMP_BINARY), VYK_NOERROR);
    arm(camera);

    VYK_RECORDER sequence = recordSequence(camera, 10);
    Status s = status(sequence, camera);
    EXPECT_EQ(s.recorded, 10u);
    EXPECT_EQ(s.error, 0);
    const std::time_t now = std::time(nullptr);
    for (uint32_t i = 1; i < 10; ++i) {
        const Copy previous = copy(sequence, camera, i - 1);
        const Copy c = copy(sequence, camera, i);
        ASSERT_EQ(c.rc, VYK_NOERROR);
        EXPECT_EQ(c.number, i + 1);
        // The counter is the camera's frame id; the metadata carries it and the image size.
        EXPECT_EQ(c.counter, previous.counter + 1);
        EXPECT_EQ(field16(c.metadata, 30), 128);
        EXPECT_EQ(field16(c.metadata, 32), 64);
        EXPECT_EQ(field32(c.metadata, 42), 1u);
    }
    // The timestamp block tells this year (the camera's clock anchored to the computer's).
    const Copy last = copy(sequence, camera, 9);
    uint8_t timestamp[VYK_TIMESTAMP_BLOCK_SIZE] = {VYK_TIMESTAMP_BLOCK_SIZE, 0};
    uint16_t width = 128, height = 64;
    std::vector<uint16_t> pixels(size_t(width) * height);
    ASSERT_EQ(VYK_RecorderCopyImage(sequence, camera, 9, 1, 1, width, height, pixels.data(), nullptr, nullptr,
                                    timestamp),
              VYK_NOERROR);
    std::tm local{};
    localtime_r(&now, &local);
    EXPECT_EQ(field16(timestamp, 6), local.tm_year + 1900);
    EXPECT_EQ(field16(timestamp, 8), local.tm_mon + 1);
    EXPECT_EQ(last.counter, field32(timestamp, 2));

    VYK_RECORDER ring = create(camera, VYK_RECORDER_MODE_MEMORY);
    ASSERT_EQ(VYK_RecorderInit(ring, 4, VYK_RECORDER_MEMORY_RING, 0, nullptr, 0), VYK_NOERROR);
    ASSERT_EQ(VYK_RecorderStart(ring), VYK_NOERROR);
    ASSERT_TRUE(waitFor([&] { return status(ring, camera).recorded >= 12; }));
    ASSERT_EQ(VYK_RecorderStop(ring), VYK_NOERROR);
    s = status(ring, camera);
    EXPECT_EQ(s.bufferSize, 4u);
    EXPECT_EQ(s.error, 0);
    for (uint32_t i = 1; i < 4; ++i)
        EXPECT_EQ(copy(ring, camera, i).counter, copy(ring, camera, i - 1).counter + 1);
    EXPECT_GE(copy(ring, camera, 0).number, 9u); // the oldest images were overwritten
}

TEST_F(FakeCamera, MultiTiffRecordingHoldsTheFetchedImages)
{
    VYK_HANDLE camera = openGenicam(kFake);
    ASSERT_NE(camera, nullptr);
    setExposureUs(camera, 5000);
    ASSERT_EQ(VYK_SetPixelFormat(camera, VYK_PIXELFORMAT_16BIT), VYK_NOERROR);
    ASSERT_EQ(VYK_SetROI(camera, 1, 1, 200, 100), VYK_NOERROR);
    arm(camera);
    const std::string path = folder() + "/fake.tif";
    VYK_RECORDER recorder = create(camera, VYK_RECORDER_MODE_FILE, path.c_str());
    const uint32_t count = 6;
    ASSERT_EQ(VYK_RecorderInit(recorder, count, VYK_RECORDER_FILE_MULTITIFF, 1, nullptr, 0), VYK_NOERROR);
    ASSERT_EQ(VYK_RecorderStart(recorder), VYK_NOERROR);
    ASSERT_TRUE(waitFor([&] { return status(recorder, camera).running == 0; }));
    ASSERT_EQ(status(recorder, camera).recorded, count);

    TIFF* tiff = TIFFOpen(path.c_str(), "r");
    ASSERT_NE(tiff, nullptr);
    uint32_t page = 0;
    do {
        uint32_t w = 0, h = 0;
        TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &w);
        TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &h);
        ASSERT_EQ(w, 200u);
        ASSERT_EQ(h, 100u);
        std::vector<uint16_t> pixels(size_t(w) * h);
        for (uint32_t row = 0; row < h; ++row)
            ASSERT_EQ(TIFFReadScanline(tiff, pixels.data() + size_t(row) * w, row, 0), 1);
        const Copy fetched = copy(recorder, camera, page);
        ASSERT_EQ(fetched.rc, VYK_NOERROR);
        EXPECT_EQ(pixels, fetched.pixels) << "page " << page;
        ++page;
    } while (TIFFReadDirectory(tiff));
    TIFFClose(tiff);
    EXPECT_EQ(page, count);
}
