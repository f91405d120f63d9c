// Geometry and radiance of the grey wedge and the colour chart.
#include "ReferenceTargets.h"

#include <algorithm>
#include <cmath>

namespace vyksim {

namespace {

// The wedge: ten equal steps across the top of the image.
constexpr float kWedgeTop = 0.04f;
constexpr float kWedgeBottom = 0.12f; // inclusive
constexpr float kWedgeLeft = 0.05f;
constexpr float kWedgeStepWidth = 0.09f;
constexpr float kWedgeLevelStep = 0.095f; // grey level added per step

// The chart: two rows of six patches near the bottom, each patch inside a dark frame.
constexpr float kChartLeft = 0.10f;
constexpr float kChartTop = 0.78f;
constexpr float kChartCellWidth = 0.13f;
constexpr float kChartCellHeight = 0.08f;
constexpr float kChartMargin = 0.012f;   // frame width around each patch, in either fraction
constexpr float kChartFrameLevel = 0.04f; // the frame is a dark neutral grey
constexpr int kChartRows = ReferenceTargets::kChartPatches / ReferenceTargets::kChartColumns;

// Listed colours, red, green, blue. Saturated: red, green, blue, yellow, cyan, magenta;
// natural: dark skin, light skin, blue sky, foliage, blue flower, bluish green.
constexpr ReferenceTargets::Rgb8 kPatchColours[ReferenceTargets::kChartPatches] = {
    {220, 35, 35},  {35, 190, 50},   {40, 50, 215},  {230, 195, 30}, {30, 180, 220},  {205, 45, 185},
    {115, 82, 68},  {194, 150, 130}, {98, 122, 157}, {87, 108, 67},  {133, 128, 177}, {103, 189, 170},
};

} // namespace

float ReferenceTargets::wedgeLevel(float u)
{
    if (u < kWedgeLeft || u >= kWedgeLeft + kWedgeSteps * kWedgeStepWidth)
        return -1.0f;
    const float step = std::min(float(kWedgeSteps - 1), std::floor((u - kWedgeLeft) / kWedgeStepWidth));
    return kWedgeLevelStep * (1.0f + step);
}

ReferenceTargets::Area ReferenceTargets::wedgeStep(int step)
{
    const float u0 = kWedgeLeft + float(step) * kWedgeStepWidth;
    return {u0, kWedgeTop, u0 + kWedgeStepWidth, kWedgeBottom};
}

bool ReferenceTargets::inWedgeRows(float v)
{
    return v >= kWedgeTop && v <= kWedgeBottom;
}

ReferenceTargets::Rgb8 ReferenceTargets::patchColour(int patch)
{
    return kPatchColours[std::clamp(patch, 0, kChartPatches - 1)];
}

ReferenceTargets::Area ReferenceTargets::patchArea(int patch)
{
    const int column = patch % kChartColumns;
    const int row = patch / kChartColumns;
    const float u0 = kChartLeft + float(column) * kChartCellWidth + kChartMargin;
    const float v0 = kChartTop + float(row) * kChartCellHeight + kChartMargin;
    return {u0, v0, u0 + kChartCellWidth - 2.0f * kChartMargin, v0 + kChartCellHeight - 2.0f * kChartMargin};
}

bool ReferenceTargets::inChartRows(float v)
{
    return v >= kChartTop && v < kChartTop + kChartRows * kChartCellHeight;
}

bool ReferenceTargets::chartRadiance(float u, float v, Rgb& rgb)
{
    if (!inChartRows(v) || u < kChartLeft || u >= kChartLeft + kChartColumns * kChartCellWidth)
        return false;
    const int column = std::min(kChartColumns - 1, int((u - kChartLeft) / kChartCellWidth));
    const int row = std::min(kChartRows - 1, int((v - kChartTop) / kChartCellHeight));
    const int patch = row * kChartColumns + column;
    const Area a = patchArea(patch);
    if (u >= a.u0 && u < a.u1 && v >= a.v0 && v < a.v1) {
        const Rgb8& c = kPatchColours[patch];
        rgb = {c[0] / 255.0f, c[1] / 255.0f, c[2] / 255.0f};
    } else {
        rgb = {kChartFrameLevel, kChartFrameLevel, kChartFrameLevel};
    }
    return true;
}

} // namespace vyksim
