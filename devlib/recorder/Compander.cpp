#include "Compander.h"

#include <algorithm>
#include <cmath>

namespace vykrec {

bool Compander::valid(const VYK_CompressionParams& p)
{
    const double values[] = {p.dGainK, p.dDarkNoise_e, p.dDSNU_e, p.dPRNU_pct, p.dLightSourceNoise_pct};
    for (double v : values) {
        if (!std::isfinite(v) || v < 0.0)
            return false;
    }
    return p.dGainK > 0.0;
}

Compander::Compander(const VYK_CompressionParams& params, uint16_t bitDepth, uint32_t darkOffset)
    : params_(params), bitDepth_(std::clamp<uint16_t>(bitDepth, 1, 16)), darkOffset_(darkOffset)
{
    const size_t levels = size_t(1) << bitDepth_;
    // Y at the lower edge of every raw value; the step of raw value u is 1 / sigma(u).
    std::vector<double> edge(levels + 1, 0.0);
    for (size_t u = 0; u < levels; ++u)
        edge[u + 1] = edge[u] + 1.0 / sigma(double(u));
    const double total = edge[levels];
    table_.resize(levels);
    std::vector<double> sum(256, 0.0);
    std::vector<double> count(256, 0.0);
    for (size_t u = 0; u < levels; ++u) {
        // Position of the middle of raw value u on the Y scale.
        const double y = 0.5 * (edge[u] + edge[u + 1]);
        const auto code = uint8_t(std::clamp(std::floor(256.0 * y / total), 0.0, 255.0));
        table_[u] = code;
        sum[code] += double(u);
        count[code] += 1.0;
    }
    // Codes that no raw value reaches decode to the nearest value below them.
    centres_.assign(256, 0.0);
    double last = 0.0;
    for (int c = 0; c < 256; ++c) {
        if (count[c] > 0.0)
            last = sum[c] / count[c];
        centres_[c] = last;
    }
    stepInSigma_ = total / 256.0;
}

double Compander::sigma(double v) const
{
    const double k = params_.dGainK;
    const double s = std::max(0.0, v - double(darkOffset_));
    const double dark = k * params_.dDarkNoise_e;
    const double dsnu = k * params_.dDSNU_e;
    const double prnu = params_.dPRNU_pct / 100.0 * s;
    const double light = params_.dLightSourceNoise_pct / 100.0 * s;
    return std::sqrt(k * s + dark * dark + dsnu * dsnu + prnu * prnu + light * light + 1.0 / 12.0);
}

} // namespace vykrec
