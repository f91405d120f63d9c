// The moving test scene: static part precomputed, objects and noise drawn per image.
#include "SceneRenderer.h"

#include "FrameStamp.h"
#include "ReferenceTargets.h"
#include "kv2_cam.h"

#include <algorithm>
#include <cmath>

namespace vyksim {

namespace {

// xorshift64*: fast, seedable, good enough for noise offsets and table contents.
inline uint64_t nextRandom(uint64_t& state)
{
    state ^= state >> 12;
    state ^= state << 25;
    state ^= state >> 27;
    return state * 2685821657736338717ull;
}

// A non-zero generator state derived from two numbers (splitmix64 finaliser).
uint64_t seedState(uint64_t a, uint64_t b)
{
    uint64_t z = a * 0x9E3779B97F4A7C15ull + b + 0x632BE59BD9B4E019ull;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    z ^= z >> 31;
    return z != 0 ? z : 0x2545F4914F6CDD1Dull;
}

// Radiance (0..1) of the moving discs per channel: mono, red, green, blue.
constexpr float kDiscRadiance[3][4] = {
    {0.85f, 0.95f, 0.15f, 0.10f},
    {0.60f, 0.10f, 0.90f, 0.15f},
    {0.40f, 0.15f, 0.20f, 0.95f},
};
constexpr float kBarRadiance = 0.03f;

// How much of the red, green and blue light each colour site of the mosaic sees, row by row
// (red, green, blue site). A camera that reports a colour matrix has the crosstalk that
// matrix undoes, so that scene colours come out as listed after conversion; a singular
// matrix, a mono camera or one without a matrix sees each colour alone.
std::array<float, 9> crosstalkOf(const CameraConfig& config)
{
    std::array<float, 9> identity = {1, 0, 0, 0, 1, 0, 0, 0, 1};
    if (!config.color || config.pixelFormatFlags.empty())
        return identity;
    const std::array<double, 9>& m = config.colorMatrix;
    const double cofactor[9] = {
        m[4] * m[8] - m[5] * m[7], m[2] * m[7] - m[1] * m[8], m[1] * m[5] - m[2] * m[4],
        m[5] * m[6] - m[3] * m[8], m[0] * m[8] - m[2] * m[6], m[2] * m[3] - m[0] * m[5],
        m[3] * m[7] - m[4] * m[6], m[1] * m[6] - m[0] * m[7], m[0] * m[4] - m[1] * m[3],
    };
    const double det = m[0] * cofactor[0] + m[1] * cofactor[3] + m[2] * cofactor[6];
    if (!std::isfinite(det) || std::fabs(det) < 1e-9)
        return identity;
    std::array<float, 9> inverse{};
    for (size_t i = 0; i < 9; ++i)
        inverse[i] = static_cast<float>(cofactor[i] / det);
    return inverse;
}

inline uint16_t clampCount(int32_t value, int32_t maxValue)
{
    return static_cast<uint16_t>(value < 0 ? 0 : (value > maxValue ? maxValue : value));
}

} // namespace

SceneRenderer::SceneRenderer(const CameraConfig& config)
    : config_(config), crosstalk_(crosstalkOf(config))
{
}

int SceneRenderer::channelAt(uint32_t sensorX, uint32_t sensorY) const
{
    if (!config_.color)
        return 0;
    const unsigned cell = ((sensorY & 1u) << 1) | (sensorX & 1u);
    const unsigned colour = (config_.colorPattern >> (4 * cell)) & 0xFu;
    return colour == 1 ? 1 : (colour == 4 ? 3 : 2);
}

const std::vector<uint16_t>& SceneRenderer::sensorScene(uint16_t format)
{
    std::vector<uint16_t>& scene = scenes_[format == 1 ? 1 : 0];
    if (!scene.empty())
        return scene;
    uint16_t w = 0;
    uint16_t h = 0;
    CameraSettings::formatSize(config_, format, w, h);
    scene.resize(size_t(w) * h);
    const float fw = w;
    const float fh = h;
    for (uint32_t y = 0; y < h; ++y) {
        // A line sensor shows the grey wedge.
        const float v = h > 1 ? y / (fh - 1.0f) : 0.08f;
        for (uint32_t x = 0; x < w; ++x) {
            const float u = w > 1 ? x / (fw - 1.0f) : 0.5f;
            float s = 0.06f + 0.5f * u * (0.4f + 0.6f * v);
            // Concentric rings fading outwards.
            const float du = (x - 0.3f * fw) / std::max(fh, 64.0f);
            const float dv = (h > 1 ? (y - 0.62f * fh) / fh : 1.0f);
            const float r = std::sqrt(du * du + dv * dv);
            if (r < 0.22f) {
                const float f = r * 14.0f;
                const float tri = std::fabs(f - std::floor(f) - 0.5f) * 2.0f;
                s += 0.3f * tri * (1.0f - r / 0.22f);
            }
            const float grey = ReferenceTargets::inWedgeRows(v) ? ReferenceTargets::wedgeLevel(u) : -1.0f;
            const int channel = channelAt(x, y);
            if (channel == 0) {
                s = grey >= 0.0f ? grey : s;
            } else {
                // Colour: the background is tinted red to the right and blue to the left, so
                // that white-balance changes show; the wedge is neutral, the chart as listed.
                ReferenceTargets::Rgb light = {s * (0.5f + 0.5f * u), s * 0.85f, s * (1.0f - 0.5f * u)};
                if (grey >= 0.0f)
                    light = {grey, grey, grey};
                else
                    ReferenceTargets::chartRadiance(u, v, light);
                s = sensorResponse(channel, light);
            }
            s = std::min(1.0f, std::max(0.0f, s));
            scene[size_t(y) * w + x] = static_cast<uint16_t>(s * 65535.0f + 0.5f);
        }
    }
    return scene;
}

float SceneRenderer::sensorResponse(int channel, const ReferenceTargets::Rgb& light) const
{
    const float* row = crosstalk_.data() + 3 * (channel - 1);
    return row[0] * light[0] + row[1] * light[1] + row[2] * light[2];
}

bool SceneRenderer::behindTargets(uint32_t firstRow, uint32_t rows, uint32_t sensorHeight) const
{
    if (!config_.color || sensorHeight < 2)
        return false;
    for (uint32_t y = firstRow; y < firstRow + rows; ++y) {
        const float v = y / (float(sensorHeight) - 1.0f);
        if (ReferenceTargets::inWedgeRows(v) || ReferenceTargets::inChartRows(v))
            return true;
    }
    return false;
}

namespace {

// True when two settings give the same static scene and noise table.
bool sameScene(const CameraSettings& a, const CameraSettings& b)
{
    return a.roiX0 == b.roiX0 && a.roiY0 == b.roiY0 && a.roiX1 == b.roiX1 && a.roiY1 == b.roiY1
        && a.binHorz == b.binHorz && a.binVert == b.binVert && a.sensorFormat == b.sensorFormat
        && a.pixelFormat == b.pixelFormat && a.noiseFilter == b.noiseFilter;
}

} // namespace

std::shared_ptr<const FrameSetup> SceneRenderer::prepare(const CameraSettings& settings, double readoutS,
                                                         const std::shared_ptr<const FrameSetup>& previous)
{
    auto setup = std::make_shared<FrameSetup>();
    setup->settings = settings;
    setup->binHorz = settings.binHorz & VYK_BINNING_FACTOR_MASK;
    setup->binVert = settings.binVert & VYK_BINNING_FACTOR_MASK;
    setup->average = (settings.binHorz & VYK_BINNING_AVERAGE) != 0;
    setup->width = uint32_t(settings.roiX1) - settings.roiX0 + 1;
    setup->height = uint32_t(settings.roiY1) - settings.roiY0 + 1;
    setup->bitDepth = CameraConfig::bitsOfFlag(settings.pixelFormat);
    setup->maxValue = static_cast<uint16_t>((1u << setup->bitDepth) - 1u);
    setup->readoutS = readoutS;
    const double depthScale = std::ldexp(1.0, int(setup->bitDepth) - int(config_.bitDepth));
    setup->offset = static_cast<int32_t>(std::lround(config_.darkOffset * depthScale));

    if (previous && sameScene(previous->settings, settings)) {
        setup->base = previous->base;
        setup->noise = previous->noise;
        return setup;
    }
    const std::vector<uint16_t>& scene = sensorScene(settings.sensorFormat);
    uint16_t sensorWidth = 0;
    uint16_t sensorHeight = 0;
    CameraSettings::formatSize(config_, settings.sensorFormat, sensorWidth, sensorHeight);
    (void)sensorHeight; // rows are addressed through the validated ROI
    const uint32_t cell = uint32_t(setup->binHorz) * setup->binVert;
    const float toCounts = float(setup->maxValue) / (65535.0f * float(cell));
    const uint32_t sx0 = (settings.roiX0 - 1u) * setup->binHorz;
    const uint32_t sy0 = (settings.roiY0 - 1u) * setup->binVert;
    auto base = std::make_shared<std::vector<float>>(size_t(setup->width) * setup->height);
    for (uint32_t oy = 0; oy < setup->height; ++oy) {
        for (uint32_t ox = 0; ox < setup->width; ++ox) {
            uint32_t sum = 0;
            for (uint32_t by = 0; by < setup->binVert; ++by) {
                const uint16_t* row = scene.data() + size_t(sy0 + oy * setup->binVert + by) * sensorWidth;
                for (uint32_t bx = 0; bx < setup->binHorz; ++bx)
                    sum += row[sx0 + ox * setup->binHorz + bx];
            }
            (*base)[size_t(oy) * setup->width + ox] = float(sum) * toCounts;
        }
    }

    // Read noise in counts; summing adds the noise of every binned pixel, averaging reduces it.
    double sigma = config_.readNoise * depthScale * (settings.noiseFilter ? 0.35 : 1.0);
    sigma *= setup->average ? 1.0 / std::sqrt(double(cell)) : std::sqrt(double(cell));
    auto noise = std::make_shared<std::vector<int16_t>>(FrameSetup::kNoiseSpan + setup->width);
    uint64_t rng = seedState(config_.seed, 0x5EEDull);
    const double scale = sigma / std::sqrt(1.0 / 3.0);
    for (int16_t& n : *noise) {
        double u = 0.0;
        for (int i = 0; i < 4; ++i)
            u += double(nextRandom(rng) >> 11) * (1.0 / 9007199254740992.0);
        n = static_cast<int16_t>(std::lround(std::clamp((u - 2.0) * scale, -30000.0, 30000.0)));
    }
    setup->base = std::move(base);
    setup->noise = std::move(noise);
    return setup;
}

void SceneRenderer::render(const FrameRecipe& recipe, SimFrame& out) const
{
    const FrameSetup& setup = *recipe.setup;
    out.width = setup.width;
    out.height = setup.height;
    out.bitDepth = setup.bitDepth;
    out.frameNumber = recipe.imageNumber;
    out.pixels.resize(size_t(setup.width) * setup.height);

    double gain = double(recipe.exposureNs) * 1e-9 / config_.referenceExposureS;
    if (setup.settings.altSensitivity)
        gain *= config_.altGain;
    if (!setup.average)
        gain *= double(setup.binHorz) * setup.binVert;
    const float g = static_cast<float>(gain);
    const float maxF = setup.maxValue;
    const int32_t maxValue = setup.maxValue;
    const int32_t offset = setup.offset;
    uint64_t rng = seedState(config_.seed, recipe.sceneIndex + 1);
    for (uint32_t y = 0; y < setup.height; ++y) {
        const float* base = setup.base->data() + size_t(y) * setup.width;
        const int16_t* noise = setup.noise->data() + (nextRandom(rng) & (FrameSetup::kNoiseSpan - 1));
        uint16_t* row = out.pixels.data() + size_t(y) * setup.width;
        for (uint32_t x = 0; x < setup.width; ++x) {
            float v = base[x] * g;
            v = v < maxF ? v : maxF;
            int32_t count = static_cast<int32_t>(v) + offset + noise[x];
            count = count < 0 ? 0 : count;
            count = count > maxValue ? maxValue : count;
            row[x] = static_cast<uint16_t>(count);
        }
    }
    drawObjects(recipe, g, rng, out);
    FrameStamp::stampPixels(recipe, out);
    FrameStamp::attachBlocks(config_, recipe, out);
}

void SceneRenderer::drawObjects(const FrameRecipe& recipe, float gain, uint64_t& rng, SimFrame& out) const
{
    const FrameSetup& setup = *recipe.setup;
    uint16_t sensorWidth = 0;
    uint16_t sensorHeight = 0;
    CameraSettings::formatSize(config_, setup.settings.sensorFormat, sensorWidth, sensorHeight);
    const double fw = sensorWidth;
    const double fh = sensorHeight;
    const double t = double(recipe.sceneIndex) * 0.02;
    const double binH = setup.binHorz;
    const double binV = setup.binVert;
    const double originX = setup.settings.roiX0 - 1.0;
    const double originY = setup.settings.roiY0 - 1.0;
    const int32_t maxValue = setup.maxValue;
    const int16_t* noise = setup.noise->data() + (nextRandom(rng) & (FrameSetup::kNoiseSpan - 1));

    // Fills the output pixels of every row whose centres lie inside an object. span(y, left,
    // right) gives the object's sensor columns [left, right] on sensor row centre y, or false.
    auto paint = [&](const float* radiance, auto span) {
        int32_t level[4];
        for (int c = 0; c < 4; ++c)
            level[c] = static_cast<int32_t>(std::min(radiance[c] * float(maxValue) * gain, float(maxValue)))
                + setup.offset;
        for (uint32_t oy = 0; oy < setup.height; ++oy) {
            const double sensorY = (oy + originY) * binV;
            if (behindTargets(static_cast<uint32_t>(sensorY), setup.binVert, sensorHeight))
                continue;
            double left = 0.0;
            double right = 0.0;
            if (!span(sensorY + 0.5 * binV, left, right))
                continue;
            // Output pixels whose sensor centre lies within [left, right].
            const double first = std::ceil((left - 0.5 * binH) / binH - originX);
            const double last = std::floor((right - 0.5 * binH) / binH - originX);
            const int x0 = static_cast<int>(std::max(0.0, first));
            const int x1 = static_cast<int>(std::min(double(setup.width) - 1.0, last));
            if (x0 > x1)
                continue;
            // The mosaic colour alternates at most with every output column.
            const uint32_t sy = static_cast<uint32_t>(sensorY);
            const int32_t pair[2] = {level[channelAt(uint32_t((x0 + originX) * binH), sy)],
                                     level[channelAt(uint32_t((x0 + 1 + originX) * binH), sy)]};
            uint16_t* row = out.pixels.data() + size_t(oy) * setup.width;
            for (int ox = x0; ox <= x1; ++ox)
                row[ox] = clampCount(pair[(ox - x0) & 1] + noise[ox], maxValue);
        }
    };

    // A dark bar sweeping left to right.
    const double barWidth = std::max(2.0, fw / 80.0);
    const double barX = std::fmod(double(recipe.sceneIndex) * fw / 500.0, fw);
    const float bar[4] = {kBarRadiance, kBarRadiance, kBarRadiance, kBarRadiance};
    paint(bar, [&](double, double& left, double& right) {
        left = barX;
        right = barX + barWidth;
        return true;
    });

    // Three bright discs on Lissajous paths; phases depend on the seed. A line sensor sees
    // them cross its one row.
    const double radius = fh > 1 ? 0.07 * std::min(fw, fh) : 0.05 * fw;
    for (int d = 0; d < 3; ++d) {
        const double phase = double((config_.seed * (d + 3)) % 628) / 100.0;
        const double cx = fw * (0.5 + 0.35 * std::sin(t * (1.0 + 0.3 * d) + phase));
        const double cy = fh > 1 ? fh * (0.5 + 0.35 * std::cos(t * (0.7 + 0.2 * d) + phase * 1.7)) : fh * 0.5;
        paint(kDiscRadiance[d], [&](double y, double& left, double& right) {
            const double dy = fh > 1 ? y - cy : 0.0;
            if (dy * dy > radius * radius)
                return false;
            const double half = std::sqrt(radius * radius - dy * dy);
            left = cx - half;
            right = cx + half;
            return true;
        });
    }
}

} // namespace vyksim
