// Loading the application's SVG icons in the set that suits the active style sheet,
// optionally tinted with a camera's colour.
#pragma once

#include <QIcon>
#include <QString>

// Resource folder of the icon set for the active style sheet: ":/icons/white/" while the
// application property "activeStyleSheet" contains "dark" (any case), else ":/icons/black/".
QString iconFolder();

// The icon name + ".svg" from iconFolder(). With a colour name, every opaque pixel of a
// 64 x 64 rendering takes that colour (alpha kept). A missing icon gives an empty icon, an
// invalid colour the untinted icon; both are logged as warnings. GUI thread only.
QIcon loadIcon(const QString& name, const QString& colour = QString());
