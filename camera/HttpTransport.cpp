#include "camera/HttpTransport.h"

#include <exception>

#include <httplib.h>

#include "camera/CameraException.h"
#include "camera/RemoteAccess.h"
#include "camera/RemoteError.h"

namespace vyk {

namespace {

constexpr int kStatusOk = 200;
constexpr int kStatusRemoteError = 503;
constexpr const char* kJsonType = "application/json";

httplib::Params toParams(const RequestParams& params) {
  httplib::Params out;
  for (const auto& entry : params) out.emplace(entry.first, entry.second);
  return out;
}

}  // namespace

HttpTransport::HttpTransport(std::string host, uint16_t port, std::string token)
    : _host(std::move(host)), _port(port), _token(std::move(token)) {}

// A client for one request; closed when it goes out of scope.
std::unique_ptr<httplib::Client> HttpTransport::connect() const {
  auto client = std::make_unique<httplib::Client>(_host, _port);
  client->set_connection_timeout(kConnectionTimeoutS, 0);
  client->set_read_timeout(kReadTimeoutS, 0);
  if (!_token.empty()) client->set_default_headers({{"Authorization", bearerHeader(_token)}});
  return client;
}

// The answer of a finished request: JSON for 200, the RemoteError for 503, the refusal for
// 401, else failure.
nlohmann::json HttpTransport::answerOf(const httplib::Result& result, const std::string& path,
                                       const std::string& failure) const {
  if (!result) throw CameraException(failure, CameraException::kLayerError);
  if (result->status == kStatusRemoteError) throwRemoteError(result->body, failure);
  if (result->status == kStatusRefused) throwRefused(path, result->body);
  if (result->status != kStatusOk) throw CameraException(failure, CameraException::kLayerError);
  if (result->body.empty()) return nullptr;
  return nlohmann::json::parse(result->body);
}

void HttpTransport::throwRefused(const std::string& path, const std::string& body) const {
  throw CameraException(refusalMessage(_host, _port, path, body), kRefusedCode);
}

void HttpTransport::throwRemoteError(const std::string& body, const std::string& fallback) {
  RemoteError error;
  try {
    nlohmann::json::parse(body).get_to(error);
  } catch (const nlohmann::json::exception&) {
    throw CameraException(fallback, CameraException::kLayerError);
  }
  throw CameraException(static_cast<uint32_t>(error.code));
}

nlohmann::json HttpTransport::query(const std::string& path, const RequestParams& params) const {
  auto client = connect();
  return answerOf(client->Get(path, toParams(params), httplib::Headers{}), path, "HTTP GET failed: " + path);
}

nlohmann::json HttpTransport::action(const std::string& path, const RequestParams& params) const {
  auto client = connect();
  return answerOf(client->Post(path, toParams(params)), path, "HTTP POST failed: " + path);
}

nlohmann::json HttpTransport::setting(const std::string& path, const nlohmann::json& body) const {
  auto client = connect();
  return answerOf(client->Put(path, body.dump(), kJsonType), path, "HTTP PUT failed: " + path);
}

nlohmann::json HttpTransport::upload(const std::string& path, const std::string& partName,
                                     const std::string& fileName, const std::string& content,
                                     const std::string& failureMessage) const {
  auto client = connect();
  const httplib::MultipartFormDataItems items{{partName, content, fileName, "application/octet-stream"}};
  const httplib::Result result = client->Post(path, items);
  if (result && result->status == kStatusRefused) throwRefused(path, result->body);
  if (!result || result->status != kStatusOk) throw CameraException(failureMessage, CameraException::kLayerError);
  if (result->body.empty()) return nullptr;
  return nlohmann::json::parse(result->body);
}

void HttpTransport::stream(const std::string& path, const RequestParams& params,
                           const std::function<bool(const Head&)>& onHead,
                           const std::function<bool(const char*, std::size_t)>& onBody,
                           const std::string& failureMessage) const {
  auto client = connect();
  int status = 0;
  std::exception_ptr failure;
  const auto onResponse = [&](const httplib::Response& response) {
    status = response.status;
    if (status != kStatusOk) return false;  // every failure has the one text; its body is not needed
    try {
      Head head;
      head.status = status;
      head.header = [&response](const std::string& name) -> std::optional<std::string> {
        if (!response.has_header(name.c_str())) return std::nullopt;
        return response.get_header_value(name.c_str());
      };
      return onHead(head);
    } catch (...) {
      failure = std::current_exception();
      return false;
    }
  };
  const auto onContent = [&](const char* data, std::size_t length) {
    try {
      return onBody(data, length);
    } catch (...) {
      failure = std::current_exception();
      return false;
    }
  };
  const httplib::Result result = client->Get(path, toParams(params), httplib::Headers{}, onResponse, onContent);
  if (failure) std::rethrow_exception(failure);
  // The refusal's body was not read (the answer was cancelled at its head); its text still says why.
  if (status == kStatusRefused) throwRefused(path, std::string());
  if (!result || status != kStatusOk) throw CameraException(failureMessage, CameraException::kLayerError);
}

}  // namespace vyk
