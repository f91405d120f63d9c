#include "camera/CameraException.h"

#include <gtest/gtest.h>

#include "kv2_cam.h"

namespace vyk {
namespace {

std::string libraryText(uint32_t code) {
  char buffer[101] = {};
  VYK_GetErrorText(code, buffer, 100);
  return buffer;
}

TEST(CameraException, FromCodeCarriesTheLibraryTextAndLowerCaseHex) {
  const CameraException e(0xA0163001u);
  EXPECT_EQ(e.code(), 0xa0163001u);
  EXPECT_FALSE(e.message().empty());
  EXPECT_EQ(e.message(), libraryText(0xa0163001u));
  EXPECT_EQ(std::string(e.what()), "vyk::CameraException (0xa0163001): " + e.message());
}

TEST(CameraException, FromCodeWritesNoLeadingZeros) {
  const CameraException layer(0x160000u);
  EXPECT_EQ(std::string(layer.what()), "vyk::CameraException (0x160000): " + libraryText(0x160000u));
  const CameraException zero(0u);
  EXPECT_EQ(std::string(zero.what()).rfind("vyk::CameraException (0x0): ", 0), 0u);
  const CameraException small(0x2au);
  EXPECT_EQ(std::string(small.what()).rfind("vyk::CameraException (0x2a): ", 0), 0u);
}

TEST(CameraException, FromCodeMessageIsAtMostOneHundredCharacters) {
  for (uint32_t code : {0xA016301Du, 0x80163022u, 0x12345678u, 0xFFFFFFFFu}) {
    const CameraException e(code);
    EXPECT_LE(e.message().size(), 100u);
    EXPECT_FALSE(e.message().empty()) << std::hex << code;
  }
}

TEST(CameraException, FromMessageHasThePlainPrefix) {
  const CameraException e("Image data does not contain 8bit data", 0x160000u);
  EXPECT_EQ(e.code(), 0x160000u);
  EXPECT_EQ(e.message(), "Image data does not contain 8bit data");
  EXPECT_STREQ(e.what(), "vyk::CameraException: Image data does not contain 8bit data");
}

TEST(CameraException, IsAStandardException) {
  try {
    throw CameraException("boom", 1);
  } catch (const std::exception& e) {
    EXPECT_STREQ(e.what(), "vyk::CameraException: boom");
  }
}

TEST(ThrowIfFailed, ThrowsOnlyForErrorsWithoutTheWarningBit) {
  EXPECT_NO_THROW(throwIfFailed(0));
  EXPECT_NO_THROW(throwIfFailed(5));
  EXPECT_NO_THROW(throwIfFailed(static_cast<int32_t>(0xC0153011u)));  // error and warning bit
  EXPECT_NO_THROW(throwIfFailed(0x4016000E));                          // plain warning
  try {
    throwIfFailed(static_cast<int32_t>(0x80163024u));
    ADD_FAILURE() << "no exception";
  } catch (const CameraException& e) {
    EXPECT_EQ(e.code(), 0x80163024u);
    EXPECT_EQ(std::string(e.what()), "vyk::CameraException (0x80163024): " + libraryText(0x80163024u));
  }
}

}  // namespace
}  // namespace vyk
