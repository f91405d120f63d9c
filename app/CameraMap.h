// The per-camera maps of the shell, keyed by camera serial and iterated in ascending order.
#pragma once

#include "acquisition/Dword.h"

#include <QString>

#include <map>
#include <memory>

namespace vyk {
class AnyCamera;
}

// Serial to camera handle; the first entry is "the first camera".
using CameraMap = std::map<DWORD, std::shared_ptr<vyk::AnyCamera>>;
// Serial to colour name.
using ColourMap = std::map<DWORD, QString>;
