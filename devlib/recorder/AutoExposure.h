// Auto exposure: the image level over a region and the next exposure time.
#ifndef VYK_RECORDER_AUTO_EXPOSURE_H
#define VYK_RECORDER_AUTO_EXPOSURE_H

#include <cstdint>

namespace vykrec {

// Measures images and steers the exposure so that the mean level over the region
// approaches half the full scale. Not locked: the recorder guards it (see Recorder).
class AutoExposure {
public:
    // Regions, numbered as the camera layer's AutoExposureRegion.
    enum Region : uint16_t { Balanced = 0, Centre = 1, Corners = 2, Full = 3 };

    // Level the controller aims at, as a fraction of full scale.
    static constexpr double kTarget = 0.5;

    // Relative distance from the target within which the exposure is left alone.
    static constexpr double kDeadBand = 0.05;

    // Mean level (0..1 of full scale 2^bitDepth - 1) of a width x height image over
    // region; samples a grid of at most about 64 x 64 points per part of the region.
    static double measure(const uint16_t* pixels, uint32_t width, uint32_t height,
                          uint16_t bitDepth, Region region);

    // True for the four known regions.
    static bool validRegion(uint16_t region) { return region <= Full; }

    // Sets the limits (seconds, 0 < minimum < maximum) and the smoothness (1..10).
    void configure(double minimumS, double maximumS, uint16_t smoothness);

    // The exposure in seconds to use after an image exposed for currentS measured level;
    // equal to currentS (within the limits) when the level is inside the dead band.
    double next(double currentS, double level) const;

    // The region and the on flag, kept for the recorder.
    Region region = Balanced;
    bool on = false;

private:
    double minimumS_ = 0.001;
    double maximumS_ = 0.1;
    uint16_t smoothness_ = 3;
};

} // namespace vykrec

#endif // VYK_RECORDER_AUTO_EXPOSURE_H
