// JSON forms of the plain camera records: keys, round trips and strict reading.
#include <gtest/gtest.h>

#include <set>

#include <nlohmann/json.hpp>

#include "JsonFailure.h"
#include "camera/CompressionParams.h"
#include "camera/Configuration.h"
#include "camera/Description.h"
#include "camera/DeviceEntry.h"
#include "camera/RamAllocation.h"
#include "camera/RemoteError.h"

namespace vyk {
namespace {

using nlohmann::json;

std::set<std::string> keysOf(const json& j) {
  std::set<std::string> keys;
  for (const auto& item : j.items()) keys.insert(item.key());
  return keys;
}

// Converts to JSON text and back, as a record travels over the REST API.
template <typename T>
T throughText(const T& value) {
  return json::parse(json(value).dump()).get<T>();
}

Configuration sampleConfiguration() {
  Configuration c;
  c.exposure_time_s = 0.0125;
  c.delay_time_s = 2.5e-6;
  c.roi = Roi{17, 33, 1040, 2047};
  c.timestamp_mode = 2;
  c.pixelrate = 286000000;
  c.conversion_factor = 1.5;
  c.trigger_mode = 3;
  c.acquire_mode = 4;
  c.acquire_sequence_number = 4000000000u;
  c.metadata_mode = 1;
  c.noise_filter_mode = 5;
  c.pixel_format = 0x10;
  c.binning = Binning{2, 4, BinningMode::Average};
  c.auto_exposure = AutoExposure{AutoExposureRegion::CornerBased, 0.002, 0.5};
  return c;
}

Description sampleDescription() {
  Description d;
  d.serial = 4000000123u;
  d.type = 0x1340;
  d.sub_type = 7;
  d.interface_type = InterfaceType::CLHS_DXR;
  d.min_exposure_time_s = 1e-5;
  d.max_exposure_time_s = 2.0;
  d.min_exposure_step_s = 1e-8;
  d.min_delay_time_s = 0.0;
  d.max_delay_time_s = 1.0;
  d.min_delay_step_s = 1e-8;
  d.min_width = 64;
  d.min_height = 16;
  d.max_width = 5000000000ull;  // beyond 32 bits: the field is 64-bit
  d.max_height = 2048;
  d.roi_step_horz = 8;
  d.roi_step_vert = 2;
  d.roi_symmetric_horz = true;
  d.roi_symmetric_vert = false;
  d.bit_resolution = 16;
  d.has_timestamp_mode = true;
  d.has_timestamp_mode_ascii_only = false;
  d.pixelrate_vec = {95333333, 272250000};
  d.conversion_factor_vec = {0.46, 1.0};
  d.has_trigger_mode_extexpctrl = true;
  d.has_acquire_mode = true;
  d.has_ext_acquire_mode = false;
  d.has_metadata_mode = true;
  d.has_ram = true;
  d.binning_horz_vec = {1, 2, 4};
  d.binning_vert_vec = {1, 2, 3, 4};
  d.has_average_binning = true;
  d.pixel_format_vec = {0x1, 0x10};
  d.is_colored = true;
  return d;
}

TEST(ConfigurationJson, WritesEveryKeyAndNestedRecords) {
  const json j = sampleConfiguration();
  EXPECT_EQ(keysOf(j), (std::set<std::string>{
                           "exposure_time_s", "delay_time_s", "roi", "timestamp_mode", "pixelrate",
                           "conversion_factor", "trigger_mode", "acquire_mode",
                           "acquire_sequence_number", "metadata_mode", "noise_filter_mode",
                           "pixel_format", "binning", "auto_exposure"}));
  EXPECT_EQ(j["roi"], (json{{"x0", 17}, {"y0", 33}, {"x1", 1040}, {"y1", 2047}}));
  EXPECT_EQ(j["binning"], (json{{"vert", 2}, {"horz", 4}, {"mode", "average"}}));
  EXPECT_EQ(j["auto_exposure"],
            (json{{"region", "corner_based"}, {"min_exposure_s", 0.002}, {"max_exposure_s", 0.5}}));
}

TEST(ConfigurationJson, RoundTripsThroughText) {
  const Configuration original = sampleConfiguration();
  EXPECT_EQ(throughText(original), original);
  Configuration changed = original;
  changed.acquire_sequence_number = 1;
  EXPECT_NE(throughText(original), changed);  // equality is not vacuous
}

TEST(ConfigurationJson, UnsetConfigurationSurvivesTheTrip) {
  const Configuration unset = Configuration::unset();
  EXPECT_TRUE(isUnset(unset.exposure_time_s));
  EXPECT_TRUE(isUnset(unset.timestamp_mode));
  EXPECT_TRUE(isUnset(unset.pixelrate));
  EXPECT_FALSE(unset.roi.isSet());
  EXPECT_EQ(unset.roi.x0, std::numeric_limits<uint64_t>::max());
  EXPECT_EQ(unset.binning.vert, 0xFFFF);
  EXPECT_EQ(unset.acquire_sequence_number, 0xFFFFFFFFu);
  // NaN is written as JSON null and read back as NaN, so "keep the current value" travels.
  const json j = json::parse(json(unset).dump());
  EXPECT_TRUE(j["exposure_time_s"].is_null());
  const auto back = j.get<Configuration>();
  EXPECT_EQ(back, unset);
  EXPECT_TRUE(std::isnan(back.delay_time_s));
  EXPECT_TRUE(std::isnan(back.auto_exposure.max_exposure_s));
}

TEST(ConfigurationJson, MissingRoiFailsWithTheLibraryOutOfRangeText) {
  json j = sampleConfiguration();
  j.erase("roi");
  const auto failure = test::jsonFailure<json::out_of_range>([&] { j.get<Configuration>(); });
  EXPECT_EQ(failure.id, 403);
  EXPECT_EQ(failure.message, "key 'roi' not found");
}

TEST(ConfigurationJson, MissingNestedKeyNamesThatKey) {
  json j = sampleConfiguration();
  j["roi"].erase("x1");
  EXPECT_EQ(test::jsonFailure<json::out_of_range>([&] { j.get<Configuration>(); }).message,
            "key 'x1' not found");
  j = sampleConfiguration();
  j["binning"].erase("mode");
  EXPECT_EQ(test::jsonFailure<json::out_of_range>([&] { j.get<Configuration>(); }).message,
            "key 'mode' not found");
}

TEST(ConfigurationJson, WrongTypesFailWithTheLibraryTypeText) {
  json j = sampleConfiguration();
  j["pixelrate"] = "fast";
  auto failure = test::jsonFailure<json::type_error>([&] { j.get<Configuration>(); });
  EXPECT_EQ(failure.id, 302);
  EXPECT_EQ(failure.message, "type must be number, but is string");

  j = sampleConfiguration();
  j["exposure_time_s"] = true;
  EXPECT_EQ(test::jsonFailure<json::type_error>([&] { j.get<Configuration>(); }).message,
            "type must be number, but is boolean");

  j = sampleConfiguration();
  j["auto_exposure"]["region"] = 1;
  EXPECT_EQ(test::jsonFailure<json::type_error>([&] { j.get<Configuration>(); }).message,
            "type must be string, but is number");
}

TEST(DescriptionJson, WritesEveryKeyButLineSensorMode) {
  Description d = sampleDescription();
  d.line_sensor_mode = 2;
  const json j = d;
  EXPECT_EQ(j.size(), 33u);
  EXPECT_FALSE(j.contains("line_sensor_mode"));
  EXPECT_EQ(j["interface_type"], "CLHS_DXR");
  EXPECT_EQ(j["max_width"].get<uint64_t>(), 5000000000ull);
  EXPECT_EQ(j["binning_vert_vec"], json::array({1, 2, 3, 4}));
  for (const char* key : {"serial", "min_exposure_step_s", "roi_symmetric_vert",
                          "has_timestamp_mode_ascii_only", "conversion_factor_vec",
                          "has_trigger_mode_extexpctrl", "has_ram", "has_average_binning",
                          "pixel_format_vec", "is_colored"}) {
    EXPECT_TRUE(j.contains(key)) << key;
  }
}

TEST(DescriptionJson, RoundTripsAndReadsLineSensorModeAsZero) {
  Description d = sampleDescription();
  EXPECT_EQ(throughText(d), d);
  d.line_sensor_mode = 1;
  Description back = throughText(d);
  EXPECT_EQ(back.line_sensor_mode, 0u);
  back.line_sensor_mode = 1;
  EXPECT_EQ(back, d);
}

TEST(DescriptionJson, StrictReadingOfBooleansAndArrays) {
  json j = sampleDescription();
  j["has_ram"] = 1;
  EXPECT_EQ(test::jsonFailure<json::type_error>([&] { j.get<Description>(); }).message,
            "type must be boolean, but is number");
  j = sampleDescription();
  j["pixelrate_vec"] = 100;
  EXPECT_EQ(test::jsonFailure<json::type_error>([&] { j.get<Description>(); }).message,
            "type must be array, but is number");
  j = sampleDescription();
  j["binning_horz_vec"] = json::array({1, "2"});
  EXPECT_EQ(test::jsonFailure<json::type_error>([&] { j.get<Description>(); }).message,
            "type must be number, but is string");
  j = sampleDescription();
  j.erase("is_colored");
  EXPECT_EQ(test::jsonFailure<json::out_of_range>([&] { j.get<Description>(); }).message,
            "key 'is_colored' not found");
}

TEST(CompressionParamsJson, KeysRoundTripAndStrictReading) {
  const CompressionParams p{0.46, 1.2, 0.8, 0.45, 0.05};
  const json j = p;
  EXPECT_EQ(keysOf(j), (std::set<std::string>{"dGainK", "dDarkNoise_e", "dDSNU_e", "dPRNU_pct",
                                              "dLightSourceNoise_pct"}));
  EXPECT_EQ(throughText(p), p);
  json broken = j;
  broken.erase("dPRNU_pct");
  EXPECT_EQ(test::jsonFailure<json::out_of_range>([&] { broken.get<CompressionParams>(); }).message,
            "key 'dPRNU_pct' not found");
}

TEST(RamAllocationJson, ListsTravelAsArrays) {
  const std::vector<RamAllocation> list{{1, 8000000000ull, 62.5, 4000000001u}, {2, 1024, 37.5, 7}};
  const json j = list;
  ASSERT_TRUE(j.is_array());
  EXPECT_EQ(keysOf(j[0]),
            (std::set<std::string>{"alloc_id", "segment_size", "percent_of_total", "camera_serial"}));
  EXPECT_EQ(throughText(list), list);
  json broken = j;
  broken[1]["alloc_id"] = "two";
  EXPECT_EQ(test::jsonFailure<json::type_error>([&] { broken.get<std::vector<RamAllocation>>(); })
                .message,
            "type must be number, but is string");
}

TEST(DeviceEntryJson, KeysRoundTripAndStrictReading) {
  const DeviceEntry e{"camera", "127.0.0.1", 8085, "vyk.edge 4.2", 4000000222u, true};
  const json j = e;
  EXPECT_EQ(keysOf(j), (std::set<std::string>{"type", "ip", "port", "name", "serial", "free"}));
  EXPECT_EQ(throughText(e), e);
  json broken = j;
  broken["ip"] = 2130706433;
  EXPECT_EQ(test::jsonFailure<json::type_error>([&] { broken.get<DeviceEntry>(); }).message,
            "type must be string, but is number");
  broken = j;
  broken["free"] = "yes";
  EXPECT_EQ(test::jsonFailure<json::type_error>([&] { broken.get<DeviceEntry>(); }).message,
            "type must be boolean, but is string");
}

TEST(RemoteErrorJson, KeysRoundTripAndStrictReading) {
  const RemoteError e{-1609224191, "setConfiguration: invalid exposure time"};
  const json j = e;
  EXPECT_EQ(keysOf(j), (std::set<std::string>{"code", "where"}));
  EXPECT_EQ(throughText(e), e);
  EXPECT_EQ(test::jsonFailure<json::out_of_range>([] { json{{"code", 1}}.get<RemoteError>(); })
                .message,
            "key 'where' not found");
}

}  // namespace
}  // namespace vyk
