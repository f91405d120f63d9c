// Opening cameras, the camera set file, description records and argument checks.
#include "SimCameraFixture.h"

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <thread>

using nlohmann::json;

namespace {

VYK_Description describe(VYK_HANDLE handle)
{
    VYK_Description d{};
    d.wSize = sizeof d;
    EXPECT_EQ(VYK_GetCameraDescription(handle, &d), VYK_NOERROR);
    return d;
}

uint32_t serialOf(VYK_HANDLE handle)
{
    VYK_CameraType t{};
    t.wSize = sizeof t;
    EXPECT_EQ(VYK_GetCameraType(handle, &t), VYK_NOERROR);
    return t.dwSerialNumber;
}

// A camera with every optional capability switched on.
json everyCapability(uint32_t serial)
{
    json c = SimCameraFixture::baseCamera(serial);
    c["sensor"] = {{"width", 128}, {"height", 96}, {"ext_width", 160}, {"ext_height", 120}, {"bits", 14},
                   {"color", true}, {"bayer_pattern", "GBRG"}};
    c["pixel_rates_hz"] = {10000000, 20000000, 40000000, 80000000};
    c["conversion_factors"] = {0.46, 1.0, 1.5};
    c["alternative_sensitivity"] = {{"exposure", {{"min_ns", 5000}, {"max_ms", 100}, {"step_ns", 50}}},
                                    {"delay", {{"min_ns", 100}, {"max_ms", 10}, {"step_ns", 10}}}};
    c["roi"] = {{"step_horz", 4}, {"step_vert", 2}, {"symmetric_horz", true}, {"symmetric_vert", true},
                {"min_width", 16}, {"min_height", 8}};
    c["binning"] = {{"max_horz", 4}, {"max_vert", 8}, {"linear", true}, {"average", true}};
    c["ram"] = {{"pages", 1000}, {"page_size", 1024}};
    c["capabilities"] = {{"line_sensor", false}, {"noise_filter", true}, {"metadata", true}, {"timestamp", true},
                         {"timestamp_ascii", true}, {"acquire_mode", true}, {"ext_acquire_mode", true},
                         {"ext_exposure_control", true}, {"double_image", true}};
    c["pixel_formats"] = {14, 12, 8};
    c["color_matrix"] = {1.5, -0.3, -0.2, -0.1, 1.2, -0.1, 0.0, -0.4, 1.4};
    return c;
}

} // namespace

TEST_F(SimCameraFixture, DefaultSetHasMonoRamCameraOnUsb3AndColourCameraOnGigE)
{
    useDefaultCameras();
    VYK_HANDLE mono = openByNumber(VYK_INTERFACE_USB3, 0);
    const VYK_Description m = describe(mono);
    EXPECT_EQ(m.wMaxHorzResStdDESC, 2048);
    EXPECT_EQ(m.wMaxVertResStdDESC, 2048);
    EXPECT_EQ(m.wDynResDESC, 16);
    EXPECT_EQ(m.wSensorTypeDESC & VYK_SENSOR_COLOR, 0);
    EXPECT_EQ(m.dwGeneralCapsDESC1 & VYK_CAPS1_NO_CAMRAM, 0u);
    EXPECT_NE(m.dwGeneralCapsDESC1 & VYK_CAPS1_METADATA, 0u);
    EXPECT_NE(m.dwGeneralCapsDESC1 & VYK_CAPS1_NOISE_FILTER, 0u);
    EXPECT_EQ(m.dwGeneralCapsDESC1 & VYK_CAPS1_NO_TIMESTAMP, 0u);
    uint32_t segments[4] = {};
    ASSERT_EQ(VYK_GetCameraRamSegmentSize(mono, segments), VYK_NOERROR);
    VYK_RamSize ram{};
    ram.wSize = sizeof ram;
    ASSERT_EQ(VYK_GetCameraRamSize(mono, &ram), VYK_NOERROR);
    EXPECT_EQ(segments[0] + segments[1] + segments[2] + segments[3], ram.dwRamSize);

    VYK_HANDLE colour = openByNumber(VYK_INTERFACE_GIGE, 0);
    const VYK_Description c = describe(colour);
    EXPECT_EQ(c.wMaxHorzResStdDESC, 1920);
    EXPECT_EQ(c.wMaxVertResStdDESC, 1200);
    EXPECT_EQ(c.wDynResDESC, 12);
    EXPECT_EQ(c.wSensorTypeDESC & VYK_SENSOR_COLOR, VYK_SENSOR_COLOR);
    EXPECT_NE(c.dwGeneralCapsDESC2 & VYK_CAPS2_PIXEL_FORMAT, 0u);
    EXPECT_NE(c.wColorPatternDESC & 0xF, 0);
    uint32_t current = 0;
    uint32_t supported = 0;
    ASSERT_EQ(VYK_GetPixelFormat(colour, &current, &supported), VYK_NOERROR);
    EXPECT_EQ(current, uint32_t(VYK_PIXELFORMAT_12BIT));
    EXPECT_EQ(supported, uint32_t(VYK_PIXELFORMAT_12BIT | VYK_PIXELFORMAT_8BIT));
    EXPECT_NE(serialOf(mono), serialOf(colour));
}

TEST_F(SimCameraFixture, NumbersCountPerInterfaceAndSerialsFindTheirCamera)
{
    json second = baseCamera(12);
    json third = baseCamera(13);
    third["interface"] = "GigE";
    useCameras({baseCamera(11), second, third});

    VYK_HANDLE handle = nullptr;
    EXPECT_EQ(tryOpen(VYK_INTERFACE_USB3, VYK_OPEN_BY_NUMBER, 2, 0, &handle), VYK_ERR_NO_CAMERA);
    EXPECT_EQ(tryOpen(VYK_INTERFACE_FIREWIRE, VYK_OPEN_BY_NUMBER, 0, 0, &handle), VYK_ERR_NO_CAMERA);
    EXPECT_EQ(serialOf(openByNumber(VYK_INTERFACE_USB3, 1)), 12u);
    EXPECT_EQ(serialOf(openByNumber(VYK_INTERFACE_GIGE, 0)), 13u);

    // By serial: on any interface, on its own one, never on another.
    EXPECT_EQ(tryOpen(VYK_INTERFACE_GIGE, VYK_OPEN_BY_SERIAL, 0, 11, &handle), VYK_ERR_NO_CAMERA);
    EXPECT_EQ(tryOpen(VYK_INTERFACE_ANY, VYK_OPEN_BY_SERIAL, 0, 99, &handle), VYK_ERR_NO_CAMERA);
    VYK_OpenStruct request{};
    request.wSize = sizeof request;
    request.wInterfaceType = VYK_INTERFACE_ANY;
    request.wOpenMode = VYK_OPEN_BY_SERIAL;
    request.dwSerialNumber = 11;
    ASSERT_EQ(VYK_OpenCamera(&handle, &request), VYK_NOERROR);
    open_.push_back(handle);
    EXPECT_EQ(request.wOpenedInterface, VYK_INTERFACE_USB3);
    EXPECT_EQ(request.wCameraNumAtInterface, 0);
    EXPECT_EQ(serialOf(handle), 11u);
}

TEST_F(SimCameraFixture, OpenCameraIsBusyUntilClosedAndBusyLetsNumberScanGoOn)
{
    useCameras({baseCamera(21), baseCamera(22)});
    VYK_HANDLE first = openByNumber(VYK_INTERFACE_USB3, 0);
    VYK_HANDLE again = nullptr;
    const int32_t busy = tryOpen(VYK_INTERFACE_USB3, VYK_OPEN_BY_NUMBER, 0, 0, &again);
    EXPECT_EQ(busy, VYK_ERR_CAMERA_BUSY);
    EXPECT_EQ(again, nullptr);
    // A scan over camera numbers goes on after this code and finds the next camera.
    EXPECT_EQ(uint32_t(busy) & 0x8000FFFFu, 0x80002001u);
    EXPECT_EQ(uint32_t(VYK_ERR_NO_CAMERA) & 0x8000FFFFu, 0x80000005u);
    EXPECT_EQ(serialOf(openByNumber(VYK_INTERFACE_USB3, 1)), 22u);
    EXPECT_EQ(tryOpen(VYK_INTERFACE_ANY, VYK_OPEN_BY_SERIAL, 0, 21, &again), VYK_ERR_CAMERA_BUSY);

    closeCamera(first);
    EXPECT_EQ(serialOf(openBySerial(21)), 21u);
}

TEST_F(SimCameraFixture, HandlesThatAreNullForgedOrClosedAreRefused)
{
    useCameras({baseCamera(31)});
    uint16_t mode = 0;
    EXPECT_EQ(VYK_GetTriggerMode(nullptr, &mode), VYK_ERR_INVALID_HANDLE);
    EXPECT_EQ(VYK_GetTriggerMode(reinterpret_cast<VYK_HANDLE>(uintptr_t(0xdeadbeef)), &mode), VYK_ERR_INVALID_HANDLE);
    VYK_HANDLE handle = openBySerial(31);
    EXPECT_EQ(VYK_GetTriggerMode(handle, &mode), VYK_NOERROR);
    closeCamera(handle);
    EXPECT_EQ(VYK_GetTriggerMode(handle, &mode), VYK_ERR_INVALID_HANDLE);
    EXPECT_EQ(VYK_CloseCamera(handle), VYK_ERR_INVALID_HANDLE);
    EXPECT_EQ(VYK_SetRecordingState(handle, 1), VYK_ERR_INVALID_HANDLE);
    // A new open never hands out the closed handle again.
    VYK_HANDLE reopened = openBySerial(31);
    EXPECT_NE(reopened, handle);
}

TEST_F(SimCameraFixture, NullPointersWrongSizesAndBadOpenRequestsAreRefused)
{
    useCameras({baseCamera(41)});
    VYK_HANDLE handle = openBySerial(41);
    VYK_Description d{};
    d.wSize = sizeof d - 4;
    EXPECT_EQ(VYK_GetCameraDescription(handle, &d), VYK_ERR_WRONG_SIZE);
    EXPECT_EQ(VYK_GetCameraDescription(handle, nullptr), VYK_ERR_NULL_POINTER);
    VYK_CameraType t{};
    t.wSize = 100;
    EXPECT_EQ(VYK_GetCameraType(handle, &t), VYK_ERR_WRONG_SIZE);
    VYK_RamSize r{};
    r.wSize = sizeof r;
    EXPECT_EQ(VYK_GetCameraRamSize(handle, &r), VYK_ERR_NO_CAMERA_RAM);
    uint32_t a = 0;
    uint16_t b = 0;
    EXPECT_EQ(VYK_GetDelayExposureTime(handle, &a, nullptr, &b, &b), VYK_ERR_NULL_POINTER);
    EXPECT_EQ(VYK_GetROI(handle, &b, &b, nullptr, &b), VYK_ERR_NULL_POINTER);
    EXPECT_EQ(VYK_GetFrameTime(handle, nullptr, &a), VYK_ERR_NULL_POINTER);
    EXPECT_EQ(VYK_ForceTrigger(handle, nullptr), VYK_ERR_NULL_POINTER);
    EXPECT_EQ(VYK_GetColorMatrix(handle, nullptr), VYK_ERR_NULL_POINTER);
    EXPECT_EQ(VYK_GetCameraName(handle, nullptr, 260), VYK_ERR_NULL_POINTER);
    EXPECT_EQ(vyksim::simImageFormat(handle, &a, nullptr, &b), VYK_ERR_NULL_POINTER);

    VYK_HANDLE other = nullptr;
    VYK_OpenStruct request{};
    request.wSize = sizeof request - 2;
    request.wInterfaceType = VYK_INTERFACE_USB3;
    EXPECT_EQ(VYK_OpenCamera(&other, &request), VYK_ERR_WRONG_SIZE);
    EXPECT_EQ(VYK_OpenCamera(nullptr, &request), VYK_ERR_NULL_POINTER);
    EXPECT_EQ(VYK_OpenCamera(&other, nullptr), VYK_ERR_NULL_POINTER);
    EXPECT_EQ(tryOpen(10, VYK_OPEN_BY_NUMBER, 0, 0, &other), VYK_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(tryOpen(VYK_INTERFACE_ANY, VYK_OPEN_BY_NUMBER, 0, 0, &other), VYK_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(tryOpen(VYK_INTERFACE_USB3, VYK_OPEN_BY_NUMBER, 64, 0, &other), VYK_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(tryOpen(VYK_INTERFACE_USB3, 7, 0, 0, &other), VYK_ERR_INVALID_ARGUMENT);
}

TEST_F(SimCameraFixture, NameTypeAndFirmwareComeFromTheCameraSet)
{
    json camera = baseCamera(51);
    camera["name"] = "Bench camera";
    camera["hw_version"] = 3;
    useCameras({camera});
    VYK_HANDLE handle = openBySerial(51);
    char name[260];
    ASSERT_EQ(VYK_GetCameraName(handle, name, sizeof name), VYK_NOERROR);
    EXPECT_STREQ(name, "Bench camera");
    char small[4];
    EXPECT_EQ(VYK_GetCameraName(handle, small, sizeof small), VYK_ERR_WRONG_SIZE);
    EXPECT_STREQ(small, "");
    VYK_CameraType t{};
    t.wSize = sizeof t;
    ASSERT_EQ(VYK_GetCameraType(handle, &t), VYK_NOERROR);
    EXPECT_EQ(t.wCamType, 0x1234);
    EXPECT_EQ(t.wCamSubType, 7);
    EXPECT_EQ(t.wInterfaceType, VYK_INTERFACE_USB3);
    EXPECT_EQ(t.dwHWVersion, 3u);
}

TEST_F(SimCameraFixture, DescriptionCarriesEveryConfiguredCapability)
{
    useCameras({everyCapability(61)});
    VYK_HANDLE handle = openBySerial(61);
    const VYK_Description d = describe(handle);
    EXPECT_EQ(d.wSize, sizeof d);
    EXPECT_EQ(d.wMaxHorzResStdDESC, 128);
    EXPECT_EQ(d.wMaxVertResExtDESC, 120);
    EXPECT_EQ(d.wDynResDESC, 14);
    EXPECT_EQ(d.wSensorTypeDESC & VYK_SENSOR_COLOR, VYK_SENSOR_COLOR);
    EXPECT_EQ(d.wColorPatternDESC, 0x2143); // GBRG
    EXPECT_EQ(d.wMaxBinHorzDESC, 4);
    EXPECT_EQ(d.wMaxBinVertDESC, 8);
    EXPECT_EQ(d.wBinHorzSteppingDESC, 1);
    EXPECT_EQ(d.wRoiHorStepsDESC, 4);
    EXPECT_EQ(d.wRoiVertStepsDESC, 2);
    EXPECT_EQ(d.dwPixelRateDESC[3], 80000000u);
    EXPECT_EQ(d.wConvFactDESC[0], 46);
    EXPECT_EQ(d.wConvFactDESC[2], 150);
    EXPECT_EQ(d.wConvFactDESC[3], 0);
    EXPECT_EQ(d.dwMinExposDESC, 1000u);
    EXPECT_EQ(d.dwMaxExposDESC, 5000u);
    EXPECT_EQ(d.dwMinExposStepDESC, 100u);
    EXPECT_NE(d.wAltSensitivityDESC, 0);
    EXPECT_EQ(d.dwMinExposAltDESC, 5000u);
    EXPECT_EQ(d.dwMaxExposAltDESC, 100u);
    EXPECT_EQ(d.dwMinDelayAltDESC, 100u);
    EXPECT_NE(d.wDoubleImageDESC, 0);
    const uint32_t caps1 = d.dwGeneralCapsDESC1;
    EXPECT_EQ(caps1 & (VYK_CAPS1_NO_CAMRAM | VYK_CAPS1_NO_TIMESTAMP | VYK_CAPS1_NO_ACQUIRE_MODE
                       | VYK_CAPS1_NO_EXTEXPCTRL | VYK_CAPS1_LINE_SENSOR),
              0u);
    for (uint32_t bit : {VYK_CAPS1_NOISE_FILTER, VYK_CAPS1_TIMESTAMP_ASCII, VYK_CAPS1_METADATA,
                         VYK_CAPS1_EXT_ACQUIRE_MODE, VYK_CAPS1_ROI_VERT_SYMMETRIC, VYK_CAPS1_ROI_HORZ_SYMMETRIC,
                         VYK_CAPS1_DESCRIPTION2})
        EXPECT_NE(caps1 & bit, 0u) << std::hex << bit;
    EXPECT_EQ(d.dwGeneralCapsDESC2, VYK_CAPS2_AVERAGE_BINNING | VYK_CAPS2_PIXEL_FORMAT);

    VYK_Description2 d2{};
    d2.wSize = sizeof d2;
    ASSERT_EQ(VYK_GetCameraDescription2(handle, &d2), VYK_NOERROR);
    EXPECT_EQ(d2.wMinSizeHorzDESC, 16);
    EXPECT_EQ(d2.wMinSizeVertDESC, 8);
    double matrix[9] = {};
    ASSERT_EQ(VYK_GetColorMatrix(handle, matrix), VYK_NOERROR);
    EXPECT_DOUBLE_EQ(matrix[0], 1.5);
    EXPECT_DOUBLE_EQ(matrix[7], -0.4);
    uint32_t current = 0;
    uint32_t supported = 0;
    ASSERT_EQ(VYK_GetPixelFormat(handle, &current, &supported), VYK_NOERROR);
    EXPECT_EQ(current, uint32_t(VYK_PIXELFORMAT_14BIT));
    EXPECT_EQ(supported, uint32_t(VYK_PIXELFORMAT_14BIT | VYK_PIXELFORMAT_12BIT | VYK_PIXELFORMAT_8BIT));
}

TEST_F(SimCameraFixture, PlainCameraReportsMissingCapabilities)
{
    useCameras({baseCamera(71)});
    VYK_HANDLE handle = openBySerial(71);
    const VYK_Description d = describe(handle);
    const uint32_t absent = VYK_CAPS1_NO_CAMRAM | VYK_CAPS1_NO_TIMESTAMP | VYK_CAPS1_NO_ACQUIRE_MODE;
    EXPECT_EQ(d.dwGeneralCapsDESC1 & absent, absent);
    EXPECT_EQ(d.dwGeneralCapsDESC1 & (VYK_CAPS1_METADATA | VYK_CAPS1_DESCRIPTION2), 0u);
    EXPECT_EQ(d.dwGeneralCapsDESC2, 0u);
    EXPECT_EQ(d.wAltSensitivityDESC, 0);
    VYK_Description2 d2{};
    d2.wSize = sizeof d2;
    EXPECT_EQ(VYK_GetCameraDescription2(handle, &d2), VYK_ERR_NOT_SUPPORTED);
    uint16_t mode = 0;
    uint32_t number = 0;
    double matrix[9];
    EXPECT_EQ(VYK_GetNoiseFilterMode(handle, &mode), VYK_ERR_NOT_SUPPORTED);
    EXPECT_EQ(VYK_GetMetaDataMode(handle, &mode, nullptr, nullptr), VYK_ERR_NOT_SUPPORTED);
    EXPECT_EQ(VYK_SetTimestampMode(handle, 1), VYK_ERR_NOT_SUPPORTED);
    EXPECT_EQ(VYK_GetAcquireMode(handle, &mode), VYK_ERR_NOT_SUPPORTED);
    EXPECT_EQ(VYK_GetAcquireModeEx(handle, &mode, &number), VYK_ERR_NOT_SUPPORTED);
    EXPECT_EQ(VYK_GetDoubleImageMode(handle, &mode), VYK_ERR_NOT_SUPPORTED);
    EXPECT_EQ(VYK_SetAltSensitivityMode(handle, 1), VYK_ERR_NOT_SUPPORTED);
    EXPECT_EQ(VYK_GetColorMatrix(handle, matrix), VYK_ERR_NOT_SUPPORTED);
    EXPECT_EQ(VYK_SetBinning(handle, 1 | VYK_BINNING_AVERAGE, 1 | VYK_BINNING_AVERAGE), VYK_ERR_NOT_SUPPORTED);
    EXPECT_EQ(VYK_GetActiveRamSegment(handle, &mode), VYK_ERR_NO_CAMERA_RAM);
    EXPECT_EQ(VYK_GetColorSetting(handle, &mode), VYK_NOERROR);
    EXPECT_EQ(mode, 0);
}

TEST_F(SimCameraFixture, LineSensorHasOneRowAndItsCapabilityBit)
{
    json line = baseCamera(81);
    line["sensor"] = {{"width", 256}, {"height", 1}, {"bits", 12}};
    line["capabilities"]["line_sensor"] = true;
    useCameras({line});
    VYK_HANDLE handle = openBySerial(81);
    const VYK_Description d = describe(handle);
    EXPECT_NE(d.dwGeneralCapsDESC1 & VYK_CAPS1_LINE_SENSOR, 0u);
    EXPECT_EQ(d.wMaxVertResStdDESC, 1);
    uint16_t x0, y0, x1, y1;
    ASSERT_EQ(VYK_GetROI(handle, &x0, &y0, &x1, &y1), VYK_NOERROR);
    EXPECT_EQ(y0, 1);
    EXPECT_EQ(y1, 1);
    EXPECT_EQ(VYK_SetROI(handle, 1, 1, 256, 2), VYK_ERR_INVALID_ARGUMENT);
}

TEST_F(SimCameraFixture, BrokenCameraSetFilesAreReportedNotReplaced)
{
    char path[] = "/tmp/rastel_sim_bad_XXXXXX";
    const int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    ::close(fd);
    configPath_ = path;
    setenv("RASTEL_SIM_CONFIG", path, 1);

    const std::string broken[] = {
        "{ not json",
        R"({"cameras": []})",
        R"({"cameras": [{"serial": 1, "sensor": {"width": 10, "height": 10}, "exposre": {}}]})",
        R"({"cameras": [{"serial": 1, "sensor": {"width": 10, "height": 10, "bits": 11}}]})",
        R"({"cameras": [{"serial": 1, "sensor": {"width": 10, "height": 10}, "interface": "SCSI"}]})",
        R"({"cameras": [{"serial": 1, "sensor": {"width": 10, "height": 10}}, {"serial": 1, "sensor": {"width": 10, "height": 10}}]})",
        R"({"cameras": [{"serial": -5, "sensor": {"width": 10, "height": 10}}]})",
    };
    for (const std::string& text : broken) {
        std::ofstream(path, std::ios::trunc) << text;
        EXPECT_EQ(VYK_InitializeLib(), VYK_ERR_FILE_FORMAT) << text;
        VYK_HANDLE handle = nullptr;
        EXPECT_EQ(tryOpen(VYK_INTERFACE_USB3, VYK_OPEN_BY_NUMBER, 0, 0, &handle), VYK_ERR_FILE_FORMAT) << text;
        EXPECT_EQ(VYK_CleanupLib(), VYK_NOERROR);
    }
    setenv("RASTEL_SIM_CONFIG", "/nonexistent/rastel/cameras.json", 1);
    EXPECT_EQ(VYK_InitializeLib(), VYK_ERR_FILE_IO);
    EXPECT_EQ(VYK_CleanupLib(), VYK_NOERROR);
    char text[100];
    ASSERT_EQ(VYK_GetErrorText(uint32_t(VYK_ERR_FILE_FORMAT), text, sizeof text), VYK_NOERROR);
    EXPECT_STRNE(text, "");
}

TEST_F(SimCameraFixture, CameraSetIsReloadedAtOpenAndAtLibraryResetWhenNothingIsOpen)
{
    useCameras({baseCamera(91)});
    VYK_HANDLE first = openByNumber(VYK_INTERFACE_USB3, 0);
    EXPECT_EQ(serialOf(first), 91u);

    const std::string firstPath = configPath_;
    json other = baseCamera(92);
    char path[] = "/tmp/rastel_sim_cam2_XXXXXX";
    const int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    ::close(fd);
    std::ofstream(path) << json{{"cameras", json::array({other})}}.dump();
    setenv("RASTEL_SIM_CONFIG", path, 1);

    // While a camera is open the set stays as it was, and a reset is refused.
    EXPECT_EQ(VYK_ResetLib(), VYK_ERR_CAMERA_BUSY);
    VYK_HANDLE handle = nullptr;
    EXPECT_EQ(tryOpen(VYK_INTERFACE_ANY, VYK_OPEN_BY_SERIAL, 0, 92, &handle), VYK_ERR_NO_CAMERA);
    closeCamera(first);
    EXPECT_EQ(VYK_ResetLib(), VYK_NOERROR);
    EXPECT_EQ(serialOf(openByNumber(VYK_INTERFACE_USB3, 0)), 92u);
    std::remove(path);
    std::remove(firstPath.c_str());
}

TEST(SimCameraLibrary, CallsBeforeInitialisationAreRefused)
{
    uint16_t mode = 0;
    VYK_HANDLE handle = nullptr;
    VYK_OpenStruct request{};
    request.wSize = sizeof request;
    request.wInterfaceType = VYK_INTERFACE_USB3;
    EXPECT_EQ(VYK_OpenCamera(&handle, &request), VYK_ERR_NOT_INITIALIZED);
    EXPECT_EQ(VYK_GetTriggerMode(reinterpret_cast<VYK_HANDLE>(uintptr_t(0x5100)), &mode), VYK_ERR_NOT_INITIALIZED);
    EXPECT_EQ(VYK_ResetLib(), VYK_ERR_NOT_INITIALIZED);
    EXPECT_EQ(VYK_CleanupLib(), VYK_NOERROR);
}

TEST_F(SimCameraFixture, ExampleCameraSetsOpenAndDescribeTheirCameras)
{
    setenv("RASTEL_SIM_CONFIG", RASTEL_SIM_EXAMPLES_DIR "/line-camera.json", 1);
    ASSERT_EQ(VYK_InitializeLib(), VYK_NOERROR);
    initialised_ = true;
    VYK_HANDLE line = openByNumber(VYK_INTERFACE_CLHS, 0);
    const VYK_Description l = describe(line);
    EXPECT_NE(l.dwGeneralCapsDESC1 & VYK_CAPS1_LINE_SENSOR, 0u);
    EXPECT_EQ(l.wMaxVertResStdDESC, 1);
    EXPECT_EQ(l.wMaxHorzResStdDESC, 4096);
    closeCamera(line);

    setenv("RASTEL_SIM_CONFIG", RASTEL_SIM_EXAMPLES_DIR "/every-capability.json", 1);
    VYK_HANDLE all = openBySerial(4004);
    const VYK_Description d = describe(all);
    const uint32_t absent = VYK_CAPS1_NO_CAMRAM | VYK_CAPS1_NO_TIMESTAMP | VYK_CAPS1_NO_ACQUIRE_MODE
        | VYK_CAPS1_NO_EXTEXPCTRL | VYK_CAPS1_LINE_SENSOR | VYK_CAPS1_ROI_HORZ_SYMMETRIC;
    EXPECT_EQ(d.dwGeneralCapsDESC1 & absent, 0u);
    const uint32_t present = VYK_CAPS1_NOISE_FILTER | VYK_CAPS1_TIMESTAMP_ASCII | VYK_CAPS1_METADATA
        | VYK_CAPS1_EXT_ACQUIRE_MODE | VYK_CAPS1_ROI_VERT_SYMMETRIC | VYK_CAPS1_DESCRIPTION2;
    EXPECT_EQ(d.dwGeneralCapsDESC1 & present, present);
    EXPECT_EQ(d.dwGeneralCapsDESC2, VYK_CAPS2_AVERAGE_BINNING | VYK_CAPS2_PIXEL_FORMAT);
    EXPECT_NE(d.wAltSensitivityDESC, 0);
    EXPECT_NE(d.wDoubleImageDESC, 0);
    EXPECT_EQ(d.wSensorTypeDESC & VYK_SENSOR_COLOR, VYK_SENSOR_COLOR);
    // Health warning 4 is configured to appear only after a minute.
    uint32_t warnings = 1;
    ASSERT_EQ(VYK_GetCameraHealthStatus(all, &warnings, nullptr, nullptr), VYK_NOERROR);
    EXPECT_EQ(warnings, 0u);
}

TEST_F(SimCameraFixture, ConcurrentOpensOfOneCameraGiveOneHandle)
{
    useCameras({baseCamera(95), baseCamera(96)});
    std::vector<int32_t> results(8, 1);
    std::vector<VYK_HANDLE> handles(8, nullptr);
    std::vector<std::thread> threads;
    for (size_t i = 0; i < results.size(); ++i) {
        threads.emplace_back([&, i] {
            VYK_OpenStruct request{};
            request.wSize = sizeof request;
            request.wInterfaceType = VYK_INTERFACE_ANY;
            request.wOpenMode = VYK_OPEN_BY_SERIAL;
            request.dwSerialNumber = i % 2 ? 95 : 96;
            results[i] = VYK_OpenCamera(&handles[i], &request);
        });
    }
    for (std::thread& t : threads)
        t.join();
    size_t opened = 0;
    for (size_t i = 0; i < results.size(); ++i) {
        if (results[i] == VYK_NOERROR) {
            ++opened;
            open_.push_back(handles[i]);
        } else {
            EXPECT_EQ(results[i], VYK_ERR_CAMERA_BUSY);
            EXPECT_EQ(handles[i], nullptr);
        }
    }
    EXPECT_EQ(opened, 2u);
}

TEST_F(SimCameraFixture, LastCleanupClosesEveryCamera)
{
    useCameras({baseCamera(97)});
    ASSERT_EQ(VYK_InitializeLib(), VYK_NOERROR); // a second user of the library
    VYK_HANDLE h = openBySerial(97);
    ASSERT_EQ(VYK_SetRecordingState(h, 1), VYK_NOERROR);
    ASSERT_EQ(VYK_CleanupLib(), VYK_NOERROR);
    uint16_t state = 0;
    EXPECT_EQ(VYK_GetRecordingState(h, &state), VYK_NOERROR); // still in use by the first
    ASSERT_EQ(VYK_CleanupLib(), VYK_NOERROR);
    initialised_ = false;
    open_.clear();
    EXPECT_EQ(VYK_GetRecordingState(h, &state), VYK_ERR_NOT_INITIALIZED);
    ASSERT_EQ(VYK_InitializeLib(), VYK_NOERROR);
    initialised_ = true;
    EXPECT_EQ(VYK_GetRecordingState(h, &state), VYK_ERR_INVALID_HANDLE);
    openBySerial(97); // free again
}
