#include "camera/ConvertControl.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "JsonFailure.h"

namespace vyk {
namespace {

using nlohmann::json;

void fillCommon(ConvertControlBase& c) {
  c.sharpen = true;
  c.adaptive_sharpen = false;
  c.flip_vertical = true;
  c.auto_minmax = true;
  c.add_conv_flags = 0x400;
  c.min_limit = -12;
  c.max_limit = 65535;
  c.gamma = 1.8;
  c.contrast = -20;
}

ConvertControlColor sampleColor() {
  ConvertControlColor c;
  fillCommon(c);
  c.vyk_debayer_algorithm = true;
  c.color_temperature = 6500;
  c.color_saturation = 10;
  c.color_vibrance = -5;
  c.color_tint = 3;
  return c;
}

ConvertControlPseudocolor samplePseudocolor() {
  ConvertControlPseudocolor c;
  fillCommon(c);
  c.color_temperature = 5000;
  c.color_saturation = 1;
  c.color_vibrance = 2;
  c.color_tint = -3;
  c.lut_file = "/tmp/luts/heat map.lt2";
  return c;
}

TEST(ConvertControlJson, MonoIsKindAndValueWithTheCommonFields) {
  ConvertControlMono mono;
  fillCommon(mono);
  const json j = ConvertControl{mono};
  EXPECT_EQ(j["kind"], "mono");
  EXPECT_EQ(j.size(), 2u);
  EXPECT_EQ(j["value"], (json{{"sharpen", true},
                              {"adaptive_sharpen", false},
                              {"flip_vertical", true},
                              {"auto_minmax", true},
                              {"add_conv_flags", 0x400},
                              {"min_limit", -12},
                              {"max_limit", 65535},
                              {"gamma", 1.8},
                              {"contrast", -20}}));
  const auto back = json::parse(j.dump()).get<ConvertControl>();
  ASSERT_EQ(back.index(), 0u);
  EXPECT_EQ(std::get<ConvertControlMono>(back), mono);
}

TEST(ConvertControlJson, ColorRoundTripsWithItsExtraFields) {
  const ConvertControl original = sampleColor();
  const json j = original;
  EXPECT_EQ(j["kind"], "color");
  EXPECT_EQ(j["value"].size(), 14u);
  EXPECT_EQ(j["value"]["vyk_debayer_algorithm"], true);
  EXPECT_EQ(j["value"]["color_temperature"], 6500);
  const auto back = json::parse(j.dump()).get<ConvertControl>();
  ASSERT_EQ(back.index(), 1u);
  EXPECT_EQ(std::get<ConvertControlColor>(back), sampleColor());
}

TEST(ConvertControlJson, PseudocolorRoundTripsWithItsLutPath) {
  const ConvertControl original = samplePseudocolor();
  const json j = original;
  EXPECT_EQ(j["kind"], "pseudocolor");
  EXPECT_EQ(j["value"].size(), 14u);
  EXPECT_EQ(j["value"]["lut_file"], "/tmp/luts/heat map.lt2");
  EXPECT_FALSE(j["value"].contains("vyk_debayer_algorithm"));
  const auto back = json::parse(j.dump()).get<ConvertControl>();
  ASSERT_EQ(back.index(), 2u);
  EXPECT_EQ(std::get<ConvertControlPseudocolor>(back), samplePseudocolor());
  EXPECT_STREQ(kindOf(back), "pseudocolor");
  EXPECT_EQ(commonFields(back).contrast, -20);
}

TEST(ConvertControlJson, UnknownKindFailsWithTypeError302) {
  json j = ConvertControl{sampleColor()};
  j["kind"] = "colour";
  const auto failure = test::jsonFailure<json::type_error>([&] { j.get<ConvertControl>(); });
  EXPECT_EQ(failure.id, 302);
  EXPECT_EQ(failure.message, "Unknown kind in ConvertControl: colour");
  // The kind decides before the value is looked at.
  const json noValue{{"kind", "grey"}};
  EXPECT_EQ(test::jsonFailure<json::type_error>([&] { noValue.get<ConvertControl>(); }).message,
            "Unknown kind in ConvertControl: grey");
}

TEST(ConvertControlJson, StrictReadingOfTheValue) {
  json j = ConvertControl{sampleColor()};
  j["value"].erase("color_tint");
  EXPECT_EQ(test::jsonFailure<json::out_of_range>([&] { j.get<ConvertControl>(); }).message,
            "key 'color_tint' not found");
  j = ConvertControl{samplePseudocolor()};
  j["value"]["lut_file"] = 5;
  EXPECT_EQ(test::jsonFailure<json::type_error>([&] { j.get<ConvertControl>(); }).message,
            "type must be string, but is number");
  j = ConvertControl{samplePseudocolor()};
  j["value"]["flip_vertical"] = 0;
  EXPECT_EQ(test::jsonFailure<json::type_error>([&] { j.get<ConvertControl>(); }).message,
            "type must be boolean, but is number");
  EXPECT_EQ(test::jsonFailure<json::out_of_range>([] { json{{"value", 1}}.get<ConvertControl>(); })
                .message,
            "key 'kind' not found");
}

TEST(ConvertControl, CommonFieldsReachEveryAlternative) {
  ConvertControl c = ConvertControlPseudocolor{};
  commonFields(c).max_limit = 4095;
  EXPECT_EQ(std::get<ConvertControlPseudocolor>(c).max_limit, 4095);
  c = ConvertControlMono{};
  EXPECT_STREQ(kindOf(c), "mono");
  EXPECT_EQ(commonFields(c).max_limit, 0);
}

}  // namespace
}  // namespace vyk
