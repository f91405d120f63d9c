// The colour in which the panel shows an LED channel of a given wavelength.
#pragma once

#include <QColor>

/// The visible colour of light of wavelengthNm (opaque): violet-dim below 380 nm, dim red
/// from 781 nm, dimmed towards both ends of the visible range.
QColor wavelengthToColor(double wavelengthNm);

/// Black, or white when the perceived brightness of background (0..255 scale) is below 130:
/// the text colour that stays readable on a swatch of that colour.
QColor swatchTextColor(const QColor& background);
