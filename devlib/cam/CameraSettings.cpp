// Defaults and unit helpers of the camera settings.
#include "CameraSettings.h"

#include "CameraConfig.h"

namespace vyksim {

CameraSettings CameraSettings::defaults(const CameraConfig& config)
{
    CameraSettings s;
    s.delay = 0;
    s.delayBase = 1;
    s.exposure = 10000; // 10 ms
    s.exposureBase = 1;
    if (CameraSettings::toNanoseconds(s.exposure, s.exposureBase) < config.minExposureNs) {
        s.exposure = config.minExposureNs;
        s.exposureBase = 0;
    }
    formatSize(config, 0, s.roiX1, s.roiY1);
    s.roiX0 = 1;
    s.roiY0 = 1;
    s.binHorz = 1;
    s.binVert = 1;
    s.pixelRate = config.pixelRates.empty() ? 0 : config.pixelRates.front();
    s.convFactor = config.convFactors.empty() ? 0 : config.convFactors.front();
    s.pixelFormat = CameraConfig::flagOfBits(config.bitDepth);
    return s;
}

uint64_t CameraSettings::toNanoseconds(uint32_t value, uint16_t base)
{
    static const uint64_t scale[] = {1u, 1000u, 1000000u};
    return uint64_t(value) * scale[base < 3 ? base : 0];
}

void CameraSettings::formatSize(const CameraConfig& config, uint16_t format, uint16_t& width, uint16_t& height)
{
    width = format == 1 ? config.extWidth : config.width;
    height = format == 1 ? config.extHeight : config.height;
}

} // namespace vyksim
