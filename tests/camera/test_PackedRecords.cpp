// Byte layouts and JSON forms of the packed records the camera and conversion library share.
#include <gtest/gtest.h>

#include <array>
#include <cstring>

#include <nlohmann/json.hpp>

#include "JsonFailure.h"
#include "camera/ImageMetadata.h"
#include "camera/ImageTimestamp.h"
#include "camera/SensorInfo.h"
#include "vyk_conv.h"

namespace vyk {
namespace {

using nlohmann::json;

// Writes value little-endian into bytes at offset, width bytes wide.
template <std::size_t N>
void put(std::array<uint8_t, N>& bytes, std::size_t offset, uint64_t value, std::size_t width) {
  ASSERT_LE(offset + width, N);
  for (std::size_t i = 0; i < width; ++i) bytes[offset + i] = static_cast<uint8_t>(value >> (8 * i));
}

template <typename T, std::size_t N>
T fromBytes(const std::array<uint8_t, N>& bytes) {
  static_assert(sizeof(T) == N);
  T record;
  std::memcpy(&record, bytes.data(), N);
  return record;
}

TEST(ImageMetadataLayout, FieldsSitAtTheCameraOffsets) {
  std::array<uint8_t, 69> bytes{};
  put(bytes, 0, 69, 2);
  put(bytes, 2, 0x0102, 2);
  put(bytes, 4, 0x78563412, 4);  // counter BCD bytes 12 34 56 78
  put(bytes, 8, 0x563412, 3);
  put(bytes, 11, 0x59, 1);
  put(bytes, 17, 0x80, 1);
  put(bytes, 18, 1, 2);
  put(bytes, 20, 3000000000u, 4);
  put(bytes, 24, 25000, 4);
  put(bytes, 28, static_cast<uint16_t>(-7), 2);
  put(bytes, 30, 2048, 2);
  put(bytes, 32, 1536, 2);
  put(bytes, 34, 2, 1);
  put(bytes, 35, 4, 1);
  put(bytes, 36, 286000000, 4);
  put(bytes, 40, 46, 2);
  put(bytes, 42, 4000000123u, 4);
  put(bytes, 46, 0x1340, 2);
  put(bytes, 48, 16, 1);
  put(bytes, 50, 100, 2);
  put(bytes, 56, 0x4321, 2);
  put(bytes, 58, 9, 2);
  put(bytes, 60, 0xDEADBEEF, 4);
  put(bytes, 64, 12, 2);
  put(bytes, 66, 34, 2);
  put(bytes, 68, 0xAB, 1);
  const auto m = fromBytes<ImageMetadata>(bytes);
  EXPECT_EQ(+m.wSize, 69);
  EXPECT_EQ(+m.wVersion, 0x0102);
  EXPECT_EQ(+m.bIMAGE_COUNTER_BCD[0], 0x12);
  EXPECT_EQ(+m.bIMAGE_COUNTER_BCD[3], 0x78);
  EXPECT_EQ(+m.bIMAGE_TIME_US_BCD[2], 0x56);
  EXPECT_EQ(+m.bIMAGE_TIME_SEC_BCD, 0x59);
  EXPECT_EQ(+m.bIMAGE_TIME_STATUS, 0x80);
  EXPECT_EQ(+m.wEXPOSURE_TIME_BASE, 1);
  EXPECT_EQ(+m.dwEXPOSURE_TIME, 3000000000u);
  EXPECT_EQ(+m.dwFRAMERATE_MILLIHZ, 25000u);
  EXPECT_EQ(+m.sSENSOR_TEMPERATURE, -7);
  EXPECT_EQ(+m.wIMAGE_SIZE_X, 2048);
  EXPECT_EQ(+m.wIMAGE_SIZE_Y, 1536);
  EXPECT_EQ(+m.bBINNING_X, 2);
  EXPECT_EQ(+m.bBINNING_Y, 4);
  EXPECT_EQ(+m.dwSENSOR_READOUT_FREQUENCY, 286000000u);
  EXPECT_EQ(+m.wSENSOR_CONV_FACTOR, 46);
  EXPECT_EQ(+m.dwCAMERA_SERIAL_NO, 4000000123u);
  EXPECT_EQ(+m.wCAMERA_TYPE, 0x1340);
  EXPECT_EQ(+m.bBIT_RESOLUTION, 16);
  EXPECT_EQ(+m.wDARK_OFFSET, 100);
  EXPECT_EQ(+m.wCOLOR_PATTERN, 0x4321);
  EXPECT_EQ(+m.wCAMERA_SUBTYPE, 9);
  EXPECT_EQ(+m.dwEVENT_NUMBER, 0xDEADBEEFu);
  EXPECT_EQ(+m.wIMAGE_SIZE_X_Offset, 12);
  EXPECT_EQ(+m.wIMAGE_SIZE_Y_Offset, 34);
  EXPECT_EQ(+m.bREADOUT_MODE, 0xAB);
  EXPECT_EQ(ImageMetadata{}.wSize, 69);
}

TEST(ImageMetadataJson, RoundTripsWithBcdArrays) {
  std::array<uint8_t, 69> bytes{};
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i * 7 + 1);
  const auto m = fromBytes<ImageMetadata>(bytes);
  const json j = m;
  EXPECT_EQ(j.size(), 36u);
  EXPECT_EQ(j["bIMAGE_COUNTER_BCD"], json::array({29, 36, 43, 50}));
  EXPECT_EQ(j["bIMAGE_TIME_US_BCD"], json::array({57, 64, 71}));
  EXPECT_TRUE(j["dwEVENT_NUMBER"].is_number());
  const auto back = json::parse(j.dump()).get<ImageMetadata>();
  EXPECT_EQ(std::memcmp(&back, bytes.data(), bytes.size()), 0);
}

TEST(ImageMetadataJson, StrictReading) {
  json j = ImageMetadata{};
  j["bIMAGE_TIME_US_BCD"] = json::array({1, 2});
  EXPECT_EQ(test::jsonFailure<json::out_of_range>([&] { j.get<ImageMetadata>(); }).id, 401);
  j = ImageMetadata{};
  j["bIMAGE_COUNTER_BCD"] = 5;
  EXPECT_EQ(test::jsonFailure<json::type_error>([&] { j.get<ImageMetadata>(); }).message,
            "type must be array, but is number");
  j = ImageMetadata{};
  j.erase("bREADOUT_MODE");
  EXPECT_EQ(test::jsonFailure<json::out_of_range>([&] { j.get<ImageMetadata>(); }).message,
            "key 'bREADOUT_MODE' not found");
}

TEST(ImageTimestampLayout, FieldsSitAtTheCameraOffsetsAndRoundTrip) {
  std::array<uint8_t, 22> bytes{};
  put(bytes, 0, 22, 2);
  put(bytes, 2, 4000000000u, 4);
  put(bytes, 6, 2026, 2);
  put(bytes, 8, 12, 2);
  put(bytes, 10, 8, 2);
  put(bytes, 12, 23, 2);
  put(bytes, 14, 59, 2);
  put(bytes, 16, 58, 2);
  put(bytes, 18, 999999, 4);
  const auto t = fromBytes<ImageTimestamp>(bytes);
  EXPECT_EQ(+t.wSize, 22);
  EXPECT_EQ(+t.dwImgCounter, 4000000000u);
  EXPECT_EQ(+t.wYear, 2026);
  EXPECT_EQ(+t.wMonth, 12);
  EXPECT_EQ(+t.wDay, 8);
  EXPECT_EQ(+t.wHour, 23);
  EXPECT_EQ(+t.wMinute, 59);
  EXPECT_EQ(+t.wSecond, 58);
  EXPECT_EQ(+t.dwMicroSeconds, 999999u);
  const json j = t;
  EXPECT_EQ(j.size(), 9u);
  EXPECT_EQ(j["dwMicroSeconds"], 999999);
  EXPECT_EQ(json::parse(j.dump()).get<ImageTimestamp>(), t);
  json broken = j;
  broken["wYear"] = "2026";
  EXPECT_EQ(test::jsonFailure<json::type_error>([&] { broken.get<ImageTimestamp>(); }).message,
            "type must be number, but is string");
}

std::array<uint8_t, 264> sensorInfoBytes() {
  std::array<uint8_t, 264> bytes{};
  put(bytes, 0, 264, 2);
  put(bytes, 2, 0x5A5A, 2);
  put(bytes, 4, 46, 4);
  put(bytes, 8, 16, 4);
  put(bytes, 12, 1, 4);
  put(bytes, 16, static_cast<uint32_t>(-100), 4);
  put(bytes, 20, 8, 2);
  put(bytes, 22, 16, 2);
  for (int i = 0; i < 9; ++i) {
    const double coefficient = 1.0 + i * 0.25;
    uint64_t bits;
    std::memcpy(&bits, &coefficient, sizeof(bits));
    put(bytes, 24 + 8 * i, bits, 8);
  }
  put(bytes, 96, 3, 4);
  put(bytes, 100, 0x11223344, 4);
  put(bytes, 104, 0x0000123456789ABCull, 8);
  for (int i = 0; i < 38; ++i) put(bytes, 112 + 4 * i, 1000u + i, 4);
  return bytes;
}

TEST(SensorInfoLayout, FieldsSitAtTheConversionLibraryOffsets) {
  const auto s = fromBytes<SensorInfo>(sensorInfoBytes());
  EXPECT_EQ(s.wSize, 264);
  EXPECT_EQ(s.wDummy, 0x5A5A);
  EXPECT_EQ(s.iConversionFactor, 46);
  EXPECT_EQ(s.iDataBits, 16);
  EXPECT_EQ(s.iSensorInfoBits, 1);
  EXPECT_EQ(s.iDarkOffset, -100);
  EXPECT_EQ(s.wIMAGE_SIZE_X_Offset, 8);
  EXPECT_EQ(s.wIMAGE_SIZE_Y_Offset, 16);
  EXPECT_EQ(s.strColorCoeff.da11, 1.0);
  EXPECT_EQ(s.strColorCoeff.da23, 2.25);
  EXPECT_EQ(s.strColorCoeff.da33, 3.0);
  EXPECT_EQ(s.iCamNum, 3);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(s.hCamera), 0x0000123456789ABCull);
  uint32_t last;
  std::memcpy(&last, reinterpret_cast<const uint8_t*>(&s) + 260, sizeof(last));
  EXPECT_EQ(last, 1037u);
  EXPECT_EQ(SensorInfo{}.wSize, 264);
}

TEST(SensorInfoLayout, CopiesByteForByteIntoTheConversionLibraryRecord) {
  static_assert(sizeof(SensorInfo) == sizeof(VYK_SensorInfo));
  const auto s = fromBytes<SensorInfo>(sensorInfoBytes());
  VYK_SensorInfo c;
  std::memcpy(&c, &s, sizeof(c));
  EXPECT_EQ(c.wSize, 264);
  EXPECT_EQ(c.iDarkOffset, -100);
  EXPECT_EQ(c.wIMAGE_SIZE_Y_Offset, 16);
  EXPECT_EQ(c.strColorCoeff.da32, 2.75);
  EXPECT_EQ(c.iCamNum, 3);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(c.uCamera.hCamera), 0x0000123456789ABCull);
  EXPECT_EQ(c.dwzzDummy1[0], 1000u);
  EXPECT_EQ(c.dwzzDummy1[37], 1037u);
}

TEST(SensorInfoJson, RoundTripDropsTheHandle) {
  const auto s = fromBytes<SensorInfo>(sensorInfoBytes());
  const json j = s;
  EXPECT_EQ(j.size(), 11u);
  EXPECT_FALSE(j.contains("hCamera"));
  EXPECT_EQ(j["strColorCoeff"].size(), 9u);
  EXPECT_EQ(j["strColorCoeff"]["da12"], 1.25);
  ASSERT_TRUE(j["dwzzDummy1"].is_array());
  ASSERT_EQ(j["dwzzDummy1"].size(), 38u);
  EXPECT_EQ(j["dwzzDummy1"][37], 1037);

  SensorInfo back = fromBytes<SensorInfo>(sensorInfoBytes());  // handle set before reading
  json::parse(j.dump()).get_to(back);
  EXPECT_EQ(back.hCamera, nullptr);
  EXPECT_EQ(back, s);
  // Every serialised byte survives; only the gap and the handle (bytes 100 to 111) are cleared.
  const auto original = sensorInfoBytes();
  const auto* copied = reinterpret_cast<const uint8_t*>(&back);
  EXPECT_EQ(std::memcmp(copied, original.data(), 100), 0);
  EXPECT_EQ(std::memcmp(copied + 112, original.data() + 112, 152), 0);
}

TEST(SensorInfoJson, StrictReading) {
  json j = fromBytes<SensorInfo>(sensorInfoBytes());
  j["strColorCoeff"].erase("da31");
  EXPECT_EQ(test::jsonFailure<json::out_of_range>([&] { j.get<SensorInfo>(); }).message,
            "key 'da31' not found");
  j = SensorInfo{};
  j["dwzzDummy1"] = json::object();
  EXPECT_EQ(test::jsonFailure<json::type_error>([&] { j.get<SensorInfo>(); }).message,
            "type must be array, but is object");
  j = SensorInfo{};
  j["dwzzDummy1"].erase(37);
  EXPECT_EQ(test::jsonFailure<json::out_of_range>([&] { j.get<SensorInfo>(); }).id, 401);
}

}  // namespace
}  // namespace vyk
