#pragma once

#include <cstdint>
#include <string>

namespace lsx {

/// Light-source model code: 0..9 name our models, kLumraTypeAny means "any model".
using LumraType = uint32_t;

/// "Any model"; also the undefined value.
constexpr LumraType kLumraTypeAny = 65535;

/// Display name of a model: "Lumra 4" ...; "<Undefined Type>" for 65535; empty when unknown.
std::string lumraTypeName(LumraType type);

/// JSON text of a model code: "Lumra4" ..., "Any" for 65535, decimal digits for other codes.
std::string lumraTypeToString(LumraType type);

/// Inverse of lumraTypeToString; throws std::invalid_argument for an unknown text.
LumraType lumraTypeFromString(const std::string& text);

}  // namespace lsx
