// The twelve camera colours and their assignment by ascending serial.
#pragma once

#include "CameraMap.h"

#include <QStringList>

namespace CameraPalette {

// "green", "steelblue", ... "orchid", in assignment order.
const QStringList& colours();

// The i-th camera in ascending serial order gets colours()[i mod 12]; each assignment is
// logged (info) with the camera's name and serial.
ColourMap assign(const CameraMap& cameras);

// Position of colour in the palette, 0 when it is not one of the twelve.
int indexOf(const QString& colour);

} // namespace CameraPalette
