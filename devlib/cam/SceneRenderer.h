// Renders the moving test scene of one simulated camera.
#ifndef VYKSIM_SCENE_RENDERER_H
#define VYKSIM_SCENE_RENDERER_H

#include "CameraConfig.h"
#include "FrameSetup.h"
#include "vyk_sim_frames.h"

#include <array>
#include <memory>
#include <vector>

namespace vyksim {

// The scene is a static part (gradients, rings, a grey-level strip, colour patches),
// computed once per sensor format at full resolution, plus moving discs and a sweeping
// bar drawn per image, plus seeded noise. Brightness is proportional to exposure.
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
    // Draws the moving objects over the noisy static image.
    void drawObjects(const FrameRecipe& recipe, float gain, uint64_t& rng, SimFrame& out) const;

    const CameraConfig config_;                     // immutable after construction
    std::array<std::vector<uint16_t>, 2> scenes_;   // per sensor format; written only by prepare()
};

} // namespace vyksim

#endif // VYKSIM_SCENE_RENDERER_H
