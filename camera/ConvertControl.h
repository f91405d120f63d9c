#pragma once
// Settings of the conversion from raw pixels to display data: a tagged union of a
// mono, a colour and a pseudocolour alternative that share their leading fields.

#include <cstdint>
#include <filesystem>
#include <variant>

#include <nlohmann/json_fwd.hpp>

namespace vyk {

/// The fields every alternative begins with.
struct ConvertControlBase {
  bool sharpen = false;           ///< sharpen the image
  bool adaptive_sharpen = false;  ///< adaptive sharpening
  bool flip_vertical = false;     ///< flip rows
  bool auto_minmax = false;       ///< derive min_limit / max_limit from each image
  int32_t add_conv_flags = 0;     ///< extra conversion flags, ORed into the library call
  int32_t min_limit = 0;          ///< raw value mapped to the darkest output
  int32_t max_limit = 0;          ///< raw value mapped to the brightest output
  double gamma = 1.0;             ///< gamma of the mapping
  int32_t contrast = 0;           ///< contrast adjustment
};

/// Mono conversion: only the common fields.
struct ConvertControlMono : ConvertControlBase {};

/// Colour conversion of a colour sensor.
struct ConvertControlColor : ConvertControlBase {
  bool vyk_debayer_algorithm = false;  ///< use the maker's own debayering
  int32_t color_temperature = 0;       ///< white balance, Kelvin
  int32_t color_saturation = 0;        ///< saturation adjustment
  int32_t color_vibrance = 0;          ///< vibrance adjustment
  int32_t color_tint = 0;              ///< tint adjustment
};

/// Pseudocolour conversion of a mono sensor through a lookup table.
struct ConvertControlPseudocolor : ConvertControlBase {
  int32_t color_temperature = 0;  ///< white balance, Kelvin
  int32_t color_saturation = 0;   ///< saturation adjustment
  int32_t color_vibrance = 0;     ///< vibrance adjustment
  int32_t color_tint = 0;         ///< tint adjustment
  std::filesystem::path lut_file;  ///< lookup-table file; empty for none
};

/// Index 0 mono, 1 colour, 2 pseudocolour; JSON {"kind": ..., "value": {...}}.
using ConvertControl =
    std::variant<ConvertControlMono, ConvertControlColor, ConvertControlPseudocolor>;

/// The common fields of whichever alternative c holds.
const ConvertControlBase& commonFields(const ConvertControl& c);
/// Mutable access to the common fields of whichever alternative c holds.
ConvertControlBase& commonFields(ConvertControl& c);
/// The JSON kind of c: "mono", "color" or "pseudocolor".
const char* kindOf(const ConvertControl& c);

/// Field-wise equality; gamma NaN compares equal to NaN.
bool operator==(const ConvertControlBase& a, const ConvertControlBase& b);
bool operator==(const ConvertControlMono& a, const ConvertControlMono& b);
bool operator==(const ConvertControlColor& a, const ConvertControlColor& b);
bool operator==(const ConvertControlPseudocolor& a, const ConvertControlPseudocolor& b);

void to_json(nlohmann::json& j, const ConvertControlMono& c);
void from_json(const nlohmann::json& j, ConvertControlMono& c);
void to_json(nlohmann::json& j, const ConvertControlColor& c);
void from_json(const nlohmann::json& j, ConvertControlColor& c);
void to_json(nlohmann::json& j, const ConvertControlPseudocolor& c);
void from_json(const nlohmann::json& j, ConvertControlPseudocolor& c);
/// Writes {"kind": ..., "value": {...}}.
void to_json(nlohmann::json& j, const ConvertControl& c);
/// Reads {"kind": ..., "value": {...}}; an unknown kind fails with type error 302
/// "Unknown kind in ConvertControl: " + kind.
void from_json(const nlohmann::json& j, ConvertControl& c);

}  // namespace vyk
