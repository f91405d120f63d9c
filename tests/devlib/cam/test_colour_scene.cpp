// The colour camera's test scene through the colour conversion: the grey wedge comes out
// neutral at the default white balance (6500 K, the scene's light), a lower colour
// temperature makes it bluer and a higher one warmer, the chart's patches come out in their
// listed colours, and the moving objects never cover the wedge or the chart.
#include "SimCameraFixture.h"

#include "ReferenceTargets.h"
#include "vyk_conv.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

namespace {

using vyksim::ReferenceTargets;
using Rgb = std::array<double, 3>; // red, green, blue output levels

constexpr uint32_t kColourSerial = 2002; // the built-in colour camera
constexpr int kFullScale = 4095;         // its 12-bit range
constexpr uint32_t kSharpenFlags = VYKCONV_FLAG_SHARPEN | VYKCONV_FLAG_ADAPTIVE_SHARPEN;

// The chart as documented for users, red, green, blue, left to right, top row first.
constexpr std::array<std::array<int, 3>, 12> kListedColours = {{
    {220, 35, 35}, {35, 190, 50}, {40, 50, 215}, {230, 195, 30}, {30, 180, 220}, {205, 45, 185},
    {115, 82, 68}, {194, 150, 130}, {98, 122, 157}, {87, 108, 67}, {133, 128, 177}, {103, 189, 170},
}};

int strongest(const Rgb& c)
{
    return int(std::max_element(c.begin(), c.end()) - c.begin());
}

std::string text(const Rgb& c)
{
    return "(" + std::to_string(std::lround(c[0])) + ", " + std::to_string(std::lround(c[1])) + ", "
        + std::to_string(std::lround(c[2])) + ")";
}

// A BGR8 picture of a converted frame.
struct Picture {
    int width = 0;
    int height = 0;
    size_t pitch = 0;
    std::vector<uint8_t> bytes;

    // Mean colour over an area of the scene, three pixels in from its edges so that neither
    // the demosaic nor the sharpening across the edge counts.
    Rgb mean(const ReferenceTargets::Area& a) const
    {
        const int x0 = int(std::ceil(a.u0 * (width - 1))) + 3;
        const int x1 = int(std::floor(a.u1 * (width - 1))) - 3;
        const int y0 = int(std::ceil(a.v0 * (height - 1))) + 3;
        const int y1 = int(std::floor(a.v1 * (height - 1))) - 3;
        EXPECT_LT(x0, x1);
        EXPECT_LT(y0, y1);
        Rgb sum = {0, 0, 0};
        for (int y = y0; y <= y1; ++y)
            for (int x = x0; x <= x1; ++x) {
                const uint8_t* p = bytes.data() + size_t(y) * pitch + size_t(x) * 3;
                sum[0] += p[2];
                sum[1] += p[1];
                sum[2] += p[0];
            }
        const double n = double(x1 - x0 + 1) * (y1 - y0 + 1);
        return {sum[0] / n, sum[1] / n, sum[2] / n};
    }
};

// Largest difference between the channels of a colour.
double spread(const Rgb& c)
{
    return *std::max_element(c.begin(), c.end()) - *std::min_element(c.begin(), c.end());
}

class ColourSceneTest : public SimCameraFixture {
protected:
    void SetUp() override
    {
        useDefaultCameras();
        camera_ = openBySerial(kColourSerial);
        VYK_SensorInfo info;
        std::memset(&info, 0, sizeof info);
        info.wSize = sizeof info;
        info.iDataBits = 12;
        double matrix[9] = {};
        ASSERT_EQ(VYK_GetColorMatrix(camera_, matrix), VYK_NOERROR);
        static_assert(sizeof info.strColorCoeff == sizeof matrix, "nine doubles");
        std::memcpy(&info.strColorCoeff, matrix, sizeof matrix);
        ASSERT_EQ(VYKCONV_CreateHandle(&conv_, &info, VYKCONV_MODE_COLOR), VYK_NOERROR);
        // The camera layer's limits at 6500 K: the whole 12-bit range.
        setParams(0, kFullScale, 6500);
    }

    void TearDown() override
    {
        if (conv_ != nullptr)
            VYKCONV_DeleteHandle(conv_);
        SimCameraFixture::TearDown();
    }

    void setParams(int32_t minLimit, int32_t maxLimit, int32_t temperature)
    {
        VYKCONV_Params p;
        std::memset(&p, 0, sizeof p);
        p.wSize = sizeof p;
        ASSERT_EQ(VYKCONV_GetParams(conv_, &p), VYK_NOERROR);
        p.iMinLimit = minLimit;
        p.iMaxLimit = maxLimit;
        p.iColorTemperature = temperature;
        ASSERT_EQ(VYKCONV_SetParams(conv_, &p), VYK_NOERROR);
    }

    void setExposureUs(uint32_t exposureUs)
    {
        ASSERT_EQ(VYK_SetDelayExposureTime(camera_, 0, exposureUs, VYK_TIMEBASE_US, VYK_TIMEBASE_US), VYK_NOERROR);
        ASSERT_EQ(VYK_ArmCamera(camera_), VYK_NOERROR);
    }

    // The camera's next image converted to BGR8 with the camera layer's default flags (the
    // flip aside, which would only turn the picture upside down).
    Picture nextPicture(bool autoMinMax)
    {
        vyksim::SimFrame frame;
        EXPECT_EQ(vyksim::simRenderFrame(camera_, frame), VYK_NOERROR);
        Picture picture;
        picture.width = int(frame.width);
        picture.height = int(frame.height);
        const uint32_t flags = VYKCONV_FLAG_BASE | kSharpenFlags | (autoMinMax ? VYKCONV_FLAG_AUTO_MINMAX : 0u);
        size_t count = 0;
        EXPECT_EQ(VYKCONV_GetOutputCount(VYKCONV_MODE_COLOR, flags, picture.width, picture.height, &count),
                  VYK_NOERROR);
        picture.bytes.resize(count);
        picture.pitch = count / size_t(picture.height);
        // The sensor is R G / G B at its origin, and the image is the full sensor.
        EXPECT_EQ(VYKCONV_ConvertColor8(conv_, flags, 0, picture.width, picture.height, frame.pixels.data(),
                                        frame.pixels.size(), picture.bytes.data(), picture.bytes.size()),
                  VYK_NOERROR);
        return picture;
    }

    VYK_HANDLE camera_ = nullptr;
    VYKCONV_HANDLE conv_ = nullptr;
};

TEST_F(ColourSceneTest, WedgeStepsComeOutNeutralAtTheDefaultWhiteBalance)
{
    for (bool autoMinMax : {false, true}) {
        // At the default exposure the wedge spans most of the range; at the reference
        // exposure its brightest steps reach full scale.
        for (uint32_t exposureUs : {10000u, 20000u}) {
            setExposureUs(exposureUs);
            const Picture picture = nextPicture(autoMinMax);
            double widest = 0.0;
            double previousGrey = -1.0;
            for (int step = 0; step < ReferenceTargets::kWedgeSteps; ++step) {
                const Rgb c = picture.mean(ReferenceTargets::wedgeStep(step));
                EXPECT_LE(spread(c), 3.0) << "step " << step << " " << text(c) << ", auto " << autoMinMax
                                          << ", exposure " << exposureUs << " us";
                // A wedge to judge by: every step brighter than the one before.
                EXPECT_GT(c[1], previousGrey + 8.0) << "step " << step;
                previousGrey = c[1];
                widest = std::max(widest, spread(c));
            }
            std::cout << "wedge channel spread, auto min/max " << (autoMinMax ? "on" : "off") << ", exposure "
                      << exposureUs << " us: at most " << widest << " levels\n";
        }
    }
}

TEST_F(ColourSceneTest, ColourTemperatureBelowTheLightGivesABluerWedgeAboveItAWarmerOne)
{
    for (bool autoMinMax : {false, true}) {
        for (int32_t temperature : {3200, 4500, 9000, 15000}) {
            setParams(0, kFullScale, temperature);
            const Picture picture = nextPicture(autoMinMax);
            // The darker steps, which no gain drives into clipping.
            for (int step = 0; step < 6; ++step) {
                const Rgb c = picture.mean(ReferenceTargets::wedgeStep(step));
                const double bluer = c[2] - c[0];
                const std::string where = "step " + std::to_string(step) + " " + text(c) + " at "
                    + std::to_string(temperature) + " K, auto " + std::to_string(autoMinMax);
                if (temperature < 6500)
                    EXPECT_GT(bluer, 3.0) << where;
                else
                    EXPECT_LT(bluer, -3.0) << where;
                // Green stays between red and blue: the cast runs along the black-body line.
                EXPECT_GE(c[1], std::min(c[0], c[2]) - 1.0) << where;
                EXPECT_LE(c[1], std::max(c[0], c[2]) + 1.0) << where;
            }
        }
    }
}

TEST_F(ColourSceneTest, ChartPatchesComeOutInTheirListedColours)
{
    // At the reference exposure with the whole range mapped, a patch shows its listed
    // levels plus the camera's dark offset.
    setExposureUs(20000);
    uint16_t darkOffset = 0;
    ASSERT_EQ(VYK_GetDarkOffset(camera_, &darkOffset), VYK_NOERROR);
    const double darkLift = darkOffset * 255.0 / kFullScale;
    for (bool autoMinMax : {false, true}) {
        const Picture picture = nextPicture(autoMinMax);
        for (int patch = 0; patch < ReferenceTargets::kChartPatches; ++patch) {
            const auto& listed = kListedColours[size_t(patch)];
            const Rgb want = {double(listed[0]), double(listed[1]), double(listed[2])};
            const Rgb c = picture.mean(ReferenceTargets::patchArea(patch));
            EXPECT_EQ(strongest(c), strongest(want))
                << "patch " << patch << " " << text(c) << " listed " << text(want) << ", auto " << autoMinMax;
            if (autoMinMax)
                continue;
            for (size_t k = 0; k < 3; ++k) {
                EXPECT_NEAR(c[k], want[k] + darkLift, 3.0)
                    << "patch " << patch << " channel " << k << " " << text(c) << " listed " << text(want);
            }
        }
    }
}

TEST_F(SimCameraFixture, MovingObjectsPassBehindTheColourScenesWedgeAndChart)
{
    // A small colour sensor shows the same layout; the discs cross every part of the
    // image within a few hundred images.
    nlohmann::json camera = baseCamera(301);
    camera["sensor"] = {{"width", 160}, {"height", 100}, {"bits", 12}, {"color", true}};
    camera["read_noise"] = 0.0;
    useCameras({camera});
    VYK_HANDLE h = openBySerial(301);
    vyksim::SimFrame first;
    ASSERT_EQ(vyksim::simRenderFrame(h, first), VYK_NOERROR);
    std::vector<bool> target(first.pixels.size(), false);
    for (uint32_t y = 0; y < first.height; ++y) {
        const float v = y / (float(first.height) - 1.0f);
        for (uint32_t x = 0; x < first.width; ++x) {
            const float u = x / (float(first.width) - 1.0f);
            ReferenceTargets::Rgb rgb{};
            const bool onWedge = ReferenceTargets::inWedgeRows(v) && ReferenceTargets::wedgeLevel(u) >= 0.0f;
            target[size_t(y) * first.width + x] = onWedge || ReferenceTargets::chartRadiance(u, v, rgb);
        }
    }
    size_t movedElsewhere = 0;
    for (int image = 1; image < 700; ++image) {
        vyksim::SimFrame f;
        ASSERT_EQ(vyksim::simRenderFrame(h, f), VYK_NOERROR);
        for (size_t i = 0; i < f.pixels.size(); ++i) {
            if (target[i])
                ASSERT_EQ(f.pixels[i], first.pixels[i]) << "image " << image << " pixel " << i;
            else if (f.pixels[i] != first.pixels[i])
                ++movedElsewhere;
        }
    }
    EXPECT_GT(movedElsewhere, 1000u); // the objects did move through the rest of the image
}

} // namespace
