// The reference targets of the test scene: a grey wedge and a chart of known colours.
#ifndef VYKSIM_REFERENCE_TARGETS_H
#define VYKSIM_REFERENCE_TARGETS_H

#include <array>
#include <cstdint>

namespace vyksim {

// Where the scene's reference targets lie and what light they send, so that a user (or a
// test) can judge exposure, white balance and colour against known values. Positions are
// fractions of the sensor format: u across (0 left .. 1 right), v down (0 top .. 1 bottom).
// Radiances are linear, 0..1 = full scale at the camera's reference exposure, and the light
// is daylight: a neutral target sends equal red, green and blue.
//
// Every sensor shows the wedge; colour sensors also show the chart, and on them the wedge is
// untinted and the moving objects pass behind both targets.
class ReferenceTargets {
public:
    // A rectangle [u0, u1) x [v0, v1) in sensor fractions.
    struct Area {
        float u0, v0, u1, v1;
    };
    using Rgb = std::array<float, 3>;         // linear red, green, blue, 0..1
    using Rgb8 = std::array<uint8_t, 3>;      // red, green, blue as listed, 0..255

    static constexpr int kWedgeSteps = 10;    // grey steps, darkest on the left
    static constexpr int kChartColumns = 6;   // patches per chart row
    static constexpr int kChartPatches = 12;  // top row saturated, bottom row natural colours

    // Grey level (0..1) of the wedge at u, or a negative number outside the wedge's columns.
    static float wedgeLevel(float u);
    // Area of wedge step (0..kWedgeSteps-1).
    static Area wedgeStep(int step);
    // True when row v crosses the wedge.
    static bool inWedgeRows(float v);

    // Listed colour of chart patch (0..kChartPatches-1), left to right, top row first.
    static Rgb8 patchColour(int patch);
    // Area of chart patch, without the dark frame around it.
    static Area patchArea(int patch);
    // True when row v crosses the chart (frame included).
    static bool inChartRows(float v);
    // Linear radiance of the chart at (u, v): true and rgb filled when (u, v) lies on the
    // chart, on a patch or on its frame.
    static bool chartRadiance(float u, float v, Rgb& rgb);
};

} // namespace vyksim

#endif // VYKSIM_REFERENCE_TARGETS_H
