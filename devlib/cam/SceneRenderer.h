// Renders the moving test scene of one simulated camera.
#ifndef VYKSIM_SCENE_RENDERER_H
#define VYKSIM_SCENE_RENDERER_H

#include "CameraConfig.h"
#include "FrameSetup.h"
#include "ReferenceTargets.h"
#include "vyk_sim_frames.h"

#include <array>
#include <memory>
#include <vector>

namespace vyksim {

// The scene is a static part (gradients, rings and the reference targets: a grey wedge and,
// for colour sensors, a chart of known colours), computed once per sensor format at full
// resolution, plus moving discs and a sweeping bar drawn per image, plus seeded noise.
// Brightness is proportional to exposure. On colour sensors the moving objects pass behind
// the rows of the reference targets, so these stay still and can be measured in any image.
// prepare() must not run concurrently with itself; render() is const and thread-safe.
class SceneRenderer {
public:
    // Keeps a copy of the camera's configuration.
    explicit SceneRenderer(const CameraConfig& config);

    // Builds the setup for armed settings (ROI and binning already validated); the scene
    // and noise of previous are reused when they would come out the same.
    std::shared_ptr<const FrameSetup> prepare(const CameraSettings& settings, double readoutS,
                                              const std::shared_ptr<const FrameSetup>& previous);

    // Renders one image, with its timestamp pixels and attached blocks, into out.
    void render(const FrameRecipe& recipe, SimFrame& out) const;

private:
    // The static scene at full sensor resolution, 0..65535 = full scale at the reference exposure.
    const std::vector<uint16_t>& sensorScene(uint16_t format);
    // Colour channel (0 mono, 1 R, 2 G, 3 B) of a sensor pixel.
    int channelAt(uint32_t sensorX, uint32_t sensorY) const;
    // Signal (0..1) of a colour site (1 R, 2 G, 3 B) under light of the given linear colour.
    float sensorResponse(int channel, const ReferenceTargets::Rgb& light) const;
    // True when moving objects are hidden on an output row made of rows sensor rows from
    // firstRow on: some of them cross a reference target of a colour sensor.
    bool behindTargets(uint32_t firstRow, uint32_t rows, uint32_t sensorHeight) const;
    // Draws the moving objects over the noisy static image.
    void drawObjects(const FrameRecipe& recipe, float gain, uint64_t& rng, SimFrame& out) const;

    const CameraConfig config_;                     // immutable after construction
    const std::array<float, 9> crosstalk_;          // light seen per colour site, row by row (R, G, B site)
    std::array<std::vector<uint16_t>, 2> scenes_;   // per sensor format; written only by prepare()
};

} // namespace vyksim

#endif // VYKSIM_SCENE_RENDERER_H
