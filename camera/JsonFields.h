#pragma once
// Strict field reading shared by the JSON conversions of the camera records.
// Every read goes through json::at, so a missing key fails with the library's own
// "key '...' not found" and a wrong type with "type must be ..., but is ...".

#include <array>
#include <cstddef>
#include <limits>
#include <type_traits>
#include <vector>

#include <nlohmann/json.hpp>

#include "camera/Unset.h"

namespace vyk::detail {

/// True for the sequence types that records read (vectors and fixed arrays).
template <typename T>
struct IsSequence : std::false_type {};
template <typename T>
struct IsSequence<std::vector<T>> : std::true_type {};
template <typename T, std::size_t N>
struct IsSequence<std::array<T, N>> : std::true_type {};

/// A JSON float read into an integer field must lie within the field's range: the JSON
/// library's own cast of one outside it is undefined. Fails with its out_of_range error 406.
template <typename T>
void requireRepresentable(const nlohmann::json& value) {
  if constexpr (std::is_integral_v<T> && !std::is_same_v<T, bool>) {
    if (!value.is_number_float()) return;
    const double number = value.get<double>();
    if (!(number >= static_cast<double>(std::numeric_limits<T>::min()) &&
          number < static_cast<double>(std::numeric_limits<T>::max()) + 1.0)) {
      throw nlohmann::json::out_of_range::create(406, "number out of range: " + value.dump(), &value);
    }
  } else if constexpr (IsSequence<T>::value) {
    if (!value.is_array()) return;
    for (const nlohmann::json& element : value) requireRepresentable<typename T::value_type>(element);
  }
}

/// Returns value as T; fails on the wrong type, and on a number outside T's range as above.
template <typename T>
T readNumber(const nlohmann::json& value) {
  requireRepresentable<T>(value);
  return value.get<T>();
}

/// Reads j[key] into field; fails when the key is missing or has the wrong type.
template <typename T>
void readField(const nlohmann::json& j, const char* key, T& field) {
  const nlohmann::json& value = j.at(key);
  requireRepresentable<T>(value);
  value.get_to(field);
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
