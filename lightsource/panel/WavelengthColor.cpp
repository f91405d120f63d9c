#include "lightsource/panel/WavelengthColor.h"

#include <algorithm>
#include <cmath>

namespace {

struct Rgb {
    double r;
    double g;
    double b;
};

// Pure spectral colour components, each 0..1, by wavelength band.
Rgb spectralComponents(double w)
{
    if (w < 380.0)
        return {0.5, 0.0, 0.5};
    if (w < 440.0)
        return {-(w - 440.0) / 60.0, 0.0, 1.0};
    if (w < 490.0)
        return {0.0, (w - 440.0) / 50.0, 1.0};
    if (w < 510.0)
        return {0.0, 1.0, -(w - 510.0) / 20.0};
    if (w < 580.0)
        return {(w - 510.0) / 70.0, 1.0, 0.0};
    if (w < 645.0)
        return {1.0, -(w - 645.0) / 65.0, 0.0};
    if (w < 781.0)
        return {1.0, 0.0, 0.0};
    return {0.5, 0.0, 0.0};
}

// The eye's falling sensitivity towards both ends of the visible range.
double intensityFactor(double w)
{
    if (w < 380.0)
        return 0.3;
    if (w < 420.0)
        return 0.3 + 0.7 * (w - 380.0) / 40.0;
    if (w < 701.0)
        return 1.0;
    if (w < 781.0)
        return 0.3 + 0.7 * (780.0 - w) / 80.0;
    return 0.3;
}

// Gamma 0.8 applied to one weighted component; truncated to 0..255.
int toChannel(double component, double factor)
{
    if (component <= 0.0)
        return 0;
    return static_cast<int>(std::min(255.0, 255.0 * std::pow(factor * component, 0.8)));
}

}  // namespace

QColor wavelengthToColor(double wavelengthNm)
{
    const Rgb c = spectralComponents(wavelengthNm);
    const double f = intensityFactor(wavelengthNm);
    return QColor(toChannel(c.r, f), toChannel(c.g, f), toChannel(c.b, f), 255);
}

QColor swatchTextColor(const QColor& background)
{
    const double r = background.red();
    const double g = background.green();
    const double b = background.blue();
    const double brightness = std::sqrt(0.241 * r * r + 0.691 * g * g + 0.068 * b * b);
    return brightness < 130.0 ? QColor(Qt::white) : QColor(Qt::black);
}
