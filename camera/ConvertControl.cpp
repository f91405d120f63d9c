#include "camera/ConvertControl.h"

#include "camera/JsonFields.h"
#include "camera/Unset.h"

namespace vyk {

namespace {

constexpr const char* kKinds[] = {"mono", "color", "pseudocolor"};

void writeBase(nlohmann::json& j, const ConvertControlBase& c) {
  j = nlohmann::json{{"sharpen", c.sharpen},
                     {"adaptive_sharpen", c.adaptive_sharpen},
                     {"flip_vertical", c.flip_vertical},
                     {"auto_minmax", c.auto_minmax},
                     {"add_conv_flags", c.add_conv_flags},
                     {"min_limit", c.min_limit},
                     {"max_limit", c.max_limit},
                     {"gamma", c.gamma},
                     {"contrast", c.contrast}};
}

void readBase(const nlohmann::json& j, ConvertControlBase& c) {
  detail::readField(j, "sharpen", c.sharpen);
  detail::readField(j, "adaptive_sharpen", c.adaptive_sharpen);
  detail::readField(j, "flip_vertical", c.flip_vertical);
  detail::readField(j, "auto_minmax", c.auto_minmax);
  detail::readField(j, "add_conv_flags", c.add_conv_flags);
  detail::readField(j, "min_limit", c.min_limit);
  detail::readField(j, "max_limit", c.max_limit);
  detail::readField(j, "gamma", c.gamma);
  detail::readField(j, "contrast", c.contrast);
}

// Colour adjustments shared by the colour and the pseudocolour alternative.
template <typename C>
void writeColorAdjustments(nlohmann::json& j, const C& c) {
  j["color_temperature"] = c.color_temperature;
  j["color_saturation"] = c.color_saturation;
  j["color_vibrance"] = c.color_vibrance;
  j["color_tint"] = c.color_tint;
}

template <typename C>
void readColorAdjustments(const nlohmann::json& j, C& c) {
  detail::readField(j, "color_temperature", c.color_temperature);
  detail::readField(j, "color_saturation", c.color_saturation);
  detail::readField(j, "color_vibrance", c.color_vibrance);
  detail::readField(j, "color_tint", c.color_tint);
}

template <typename C>
bool sameColorAdjustments(const C& a, const C& b) {
  return a.color_temperature == b.color_temperature &&
         a.color_saturation == b.color_saturation && a.color_vibrance == b.color_vibrance &&
         a.color_tint == b.color_tint;
}

}  // namespace

const ConvertControlBase& commonFields(const ConvertControl& c) {
  return std::visit([](const auto& alternative) -> const ConvertControlBase& { return alternative; },
                    c);
}

ConvertControlBase& commonFields(ConvertControl& c) {
  return std::visit([](auto& alternative) -> ConvertControlBase& { return alternative; }, c);
}

const char* kindOf(const ConvertControl& c) { return kKinds[c.index()]; }

bool operator==(const ConvertControlBase& a, const ConvertControlBase& b) {
  return a.sharpen == b.sharpen && a.adaptive_sharpen == b.adaptive_sharpen &&
         a.flip_vertical == b.flip_vertical && a.auto_minmax == b.auto_minmax &&
         a.add_conv_flags == b.add_conv_flags && a.min_limit == b.min_limit &&
         a.max_limit == b.max_limit && sameValue(a.gamma, b.gamma) && a.contrast == b.contrast;
}

bool operator==(const ConvertControlMono& a, const ConvertControlMono& b) {
  return static_cast<const ConvertControlBase&>(a) == static_cast<const ConvertControlBase&>(b);
}

bool operator==(const ConvertControlColor& a, const ConvertControlColor& b) {
  return static_cast<const ConvertControlBase&>(a) == static_cast<const ConvertControlBase&>(b) &&
         a.vyk_debayer_algorithm == b.vyk_debayer_algorithm && sameColorAdjustments(a, b);
}

bool operator==(const ConvertControlPseudocolor& a, const ConvertControlPseudocolor& b) {
  return static_cast<const ConvertControlBase&>(a) == static_cast<const ConvertControlBase&>(b) &&
         sameColorAdjustments(a, b) && a.lut_file == b.lut_file;
}

void to_json(nlohmann::json& j, const ConvertControlMono& c) { writeBase(j, c); }

void from_json(const nlohmann::json& j, ConvertControlMono& c) { readBase(j, c); }

void to_json(nlohmann::json& j, const ConvertControlColor& c) {
  writeBase(j, c);
  j["vyk_debayer_algorithm"] = c.vyk_debayer_algorithm;
  writeColorAdjustments(j, c);
}

void from_json(const nlohmann::json& j, ConvertControlColor& c) {
  readBase(j, c);
  detail::readField(j, "vyk_debayer_algorithm", c.vyk_debayer_algorithm);
  readColorAdjustments(j, c);
}

void to_json(nlohmann::json& j, const ConvertControlPseudocolor& c) {
  writeBase(j, c);
  writeColorAdjustments(j, c);
  j["lut_file"] = c.lut_file;
}

void from_json(const nlohmann::json& j, ConvertControlPseudocolor& c) {
  readBase(j, c);
  readColorAdjustments(j, c);
  detail::readField(j, "lut_file", c.lut_file);
}

void to_json(nlohmann::json& j, const ConvertControl& c) {
  nlohmann::json value;
  std::visit([&value](const auto& alternative) { to_json(value, alternative); }, c);
  j = nlohmann::json{{"kind", kindOf(c)}, {"value", std::move(value)}};
}

void from_json(const nlohmann::json& j, ConvertControl& c) {
  const std::string kind = j.at("kind").get<std::string>();
  if (kind == kKinds[0]) {
    c = j.at("value").get<ConvertControlMono>();
  } else if (kind == kKinds[1]) {
    c = j.at("value").get<ConvertControlColor>();
  } else if (kind == kKinds[2]) {
    c = j.at("value").get<ConvertControlPseudocolor>();
  } else {
    throw nlohmann::json::type_error::create(302, "Unknown kind in ConvertControl: " + kind, &j);
  }
}

}  // namespace vyk
