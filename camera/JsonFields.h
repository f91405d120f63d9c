#pragma once
// Strict field reading shared by the JSON conversions of the camera records.
// Every read goes through json::at, so a missing key fails with the library's own
// "key '...' not found" and a wrong type with "type must be ..., but is ...".

#include <nlohmann/json.hpp>

#include "camera/Unset.h"

namespace vyk::detail {

/// Reads j[key] into field; fails when the key is missing or has the wrong type.
template <typename T>
void readField(const nlohmann::json& j, const char* key, T& field) {
  j.at(key).get_to(field);
}

/// Reads a double; JSON null reads as NaN, because NaN (an unset field) is written as null.
inline void readField(const nlohmann::json& j, const char* key, double& field) {
  const nlohmann::json& value = j.at(key);
  field = value.is_null() ? kUnsetDouble : value.get<double>();
}

/// Returns j[key] as T; for fields that cannot be bound by reference (packed records).
template <typename T>
T readValue(const nlohmann::json& j, const char* key) {
  T value{};
  readField(j, key, value);
  return value;
}

/// Returns a copy of a value; lets packed fields be handed to the JSON library by value.
template <typename T>
constexpr T unpacked(T value) {
  return value;
}

}  // namespace vyk::detail
