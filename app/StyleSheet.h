// Switching the application's style sheet (brightness mode and accent colour).
#pragma once

#include <QString>

// Resource path of the style sheet for a brightness mode: "Dark" and "Bright" have one,
// any other mode an empty path.
QString styleSheetResource(const QString& mode);

// The style sheet text for mode with every "@accent_hex" replaced by accentHex and every
// "@accent_rgb" by accentRgb (empty for a mode without a sheet).
QString styleSheetText(const QString& accentHex, const QString& accentRgb, const QString& mode);

// Makes that text the application's style sheet, records the resource path in the
// application property "activeStyleSheet" (the icon loader picks its icon set by it) and
// announces mode through ThemeNotifier::themeChanged. GUI thread only.
void applyStyleSheet(const QString& accentHex, const QString& accentRgb, const QString& mode);
