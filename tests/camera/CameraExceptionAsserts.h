#pragma once
// Assertions on the vyk::CameraException a statement must throw, shared by the camera tests.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "camera/CameraException.h"

/// Asserts that statement throws vyk::CameraException with the given message and code.
#define EXPECT_CAMERA_ERROR(statement, expectedMessage, expectedCode)                    \
  do {                                                                                   \
    try {                                                                                \
      statement;                                                                         \
      ADD_FAILURE() << "no vyk::CameraException from " #statement;                       \
    } catch (const vyk::CameraException& e) {                                            \
      EXPECT_EQ(e.message(), std::string(expectedMessage));                              \
      EXPECT_EQ(e.code(), static_cast<uint32_t>(expectedCode)) << std::hex << e.code();  \
    }                                                                                    \
  } while (0)

/// Asserts that statement throws vyk::CameraException with the given code (any message).
#define EXPECT_CAMERA_CODE(statement, expectedCode)                                      \
  do {                                                                                   \
    try {                                                                                \
      statement;                                                                         \
      ADD_FAILURE() << "no vyk::CameraException from " #statement;                       \
    } catch (const vyk::CameraException& e) {                                            \
      EXPECT_EQ(e.code(), static_cast<uint32_t>(expectedCode)) << e.what();              \
    }                                                                                    \
  } while (0)
