#pragma once
// The request conventions of the device server's HTTP/JSON API: one new connection per
// request, parameters as compact JSON texts, status 200 = success, 503 = RemoteError.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

namespace httplib {
class Client;
class Result;
}  // namespace httplib

namespace vyk {

/// Request parameters in order: name and the compact JSON text of the value.
using RequestParams = std::vector<std::pair<std::string, std::string>>;

/// Sends requests to one server address. Stateless and safe to use from several threads.
/// Failures throw vyk::CameraException: a 503 answer with the RemoteError's code, a 401
/// (refused token or address) with kRefusedCode and a text saying so, any other failure with
/// 0x160000 and a text naming the method and the path.
class HttpTransport {
 public:
  /// Connection time-out of every request, seconds.
  static constexpr int kConnectionTimeoutS = 5;
  /// Read time-out of every request, seconds: long enough for a wait without time-out.
  static constexpr int kReadTimeoutS = 300;

  /// Status and headers of a streamed answer, handed over before its body.
  struct Head {
    int status = 0;                                       ///< HTTP status
    std::function<std::optional<std::string>(const std::string&)> header;  ///< header value by name
  };

  /// Targets host:port; every request carries "Authorization: Bearer <token>" unless token is empty.
  HttpTransport(std::string host, uint16_t port, std::string token = {});

  /// Server address.
  const std::string& host() const { return _host; }
  /// Server port.
  uint16_t port() const { return _port; }

  /// GET path with query parameters; the answer as JSON (null for an empty body).
  nlohmann::json query(const std::string& path, const RequestParams& params = {}) const;
  /// POST path with form-encoded parameters (possibly none).
  nlohmann::json action(const std::string& path, const RequestParams& params = {}) const;
  /// PUT path with a JSON body.
  nlohmann::json setting(const std::string& path, const nlohmann::json& body) const;
  /// POST path as a multipart form with one file part; the answer as JSON. Any status
  /// other than 200 (or no answer) throws failureMessage with 0x160000.
  nlohmann::json upload(const std::string& path, const std::string& partName, const std::string& fileName,
                        const std::string& content, const std::string& failureMessage) const;
  /// GET path and stream the answer: onHead sees status and headers of a 200 answer and
  /// returns false to cancel; onBody receives each body chunk. A 401 throws the refusal;
  /// any other status (503 included) or no answer throws failureMessage with 0x160000.
  /// An exception thrown by a callback cancels the request and is rethrown.
  void stream(const std::string& path, const RequestParams& params, const std::function<bool(const Head&)>& onHead,
              const std::function<bool(const char*, std::size_t)>& onBody, const std::string& failureMessage) const;

  /// Throws the CameraException that a 503 answer's RemoteError body describes; a body
  /// that is no RemoteError throws fallback with 0x160000.
  [[noreturn]] static void throwRemoteError(const std::string& body, const std::string& fallback);
  /// The compact JSON text of value, for request parameters.
  static std::string param(const nlohmann::json& value) { return value.dump(); }

 private:
  std::unique_ptr<httplib::Client> connect() const;
  nlohmann::json answerOf(const httplib::Result& result, const std::string& path, const std::string& failure) const;
  [[noreturn]] void throwRefused(const std::string& path, const std::string& body) const;

  std::string _host;   // server address
  uint16_t _port;      // server port
  std::string _token;  // sent with every request unless empty
};

}  // namespace vyk
