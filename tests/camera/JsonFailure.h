#pragma once
// Test support: runs a JSON conversion that must fail and returns the JSON library's
// message without its "[json.exception.<kind>.<id>] " prefix.

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include <nlohmann/json.hpp>

namespace vyk::test {

/// The failure of a JSON conversion: exception id and message without prefix.
struct JsonFailure {
  int id = 0;           ///< the library's exception id (403 key missing, 302 type, ...)
  std::string message;  ///< the text after the "[json.exception...] " prefix
};

/// Runs action, which must throw a nlohmann::json exception of type E; returns its id and text.
template <typename E>
JsonFailure jsonFailure(const std::function<void()>& action) {
  try {
    action();
  } catch (const E& e) {
    const std::string what = e.what();
    const auto end = what.find("] ");
    EXPECT_EQ(what.rfind("[json.exception.", 0), 0u) << what;
    return JsonFailure{e.id, end == std::string::npos ? what : what.substr(end + 2)};
  }
  ADD_FAILURE() << "the conversion did not fail";
  return {};
}

}  // namespace vyk::test
