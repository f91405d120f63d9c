#include "camera/HttpTransport.h"

#include <exception>

#include <httplib.h>

#include "camera/CameraException.h"
#include "camera/RemoteError.h"

namespace vyk {

namespace {

constexpr int kStatusOk = 200;
constexpr int kStatusRemoteError = 503;
constexpr const char* kJsonType = "application/json";

// A client for one request; closed when it goes out of scope.
std::unique_ptr<httplib::Client> connect(const std::string& host, uint16_t port) {
  auto client = std::make_unique<httplib::Client>(host, port);
  client->set_connection_timeout(HttpTransport::kConnectionTimeoutS, 0);
  client->set_read_timeout(HttpTransport::kReadTimeoutS, 0);
  return client;
}

httplib::Params toParams(const RequestParams& params) {
  httplib::Params out;
  for (const auto& entry : params) out.emplace(entry.first, entry.second);
  return out;
}

// The answer of a finished request: JSON for 200, the RemoteError for 503, else failure.
nlohmann::json answerOf(const httplib::Result& result, const std::string& failure) {
  if (!result) throw CameraException(failure, CameraException::kLayerError);
  if (result->status == kStatusRemoteError) HttpTransport::throwRemoteError(result->body, failure);
  if (result->status != kStatusOk) throw CameraException(failure, CameraException::kLayerError);
  if (result->body.empty()) return nullptr;
  return nlohmann::json::parse(result->body);
}

}  // namespace

HttpTransport::HttpTransport(std::string host, uint16_t port) : _host(std::move(host)), _port(port) {}

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
  auto client = connect(_host, _port);
  return answerOf(client->Get(path, toParams(params), httplib::Headers{}), "HTTP GET failed: " + path);
}

nlohmann::json HttpTransport::action(const std::string& path, const RequestParams& params) const {
  auto client = connect(_host, _port);
  return answerOf(client->Post(path, toParams(params)), "HTTP POST failed: " + path);
}

nlohmann::json HttpTransport::setting(const std::string& path, const nlohmann::json& body) const {
  auto client = connect(_host, _port);
  return answerOf(client->Put(path, body.dump(), kJsonType), "HTTP PUT failed: " + path);
}

nlohmann::json HttpTransport::upload(const std::string& path, const std::string& partName,
                                     const std::string& fileName, const std::string& content,
                                     const std::string& failureMessage) const {
  auto client = connect(_host, _port);
  const httplib::MultipartFormDataItems items{{partName, content, fileName, "application/octet-stream"}};
  const httplib::Result result = client->Post(path, items);
  if (!result || result->status != kStatusOk) throw CameraException(failureMessage, CameraException::kLayerError);
  if (result->body.empty()) return nullptr;
  return nlohmann::json::parse(result->body);
}

void HttpTransport::stream(const std::string& path, const RequestParams& params,
                           const std::function<bool(const Head&)>& onHead,
                           const std::function<bool(const char*, std::size_t)>& onBody,
                           const std::string& failureMessage) const {
  auto client = connect(_host, _port);
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
  if (!result || status != kStatusOk) throw CameraException(failureMessage, CameraException::kLayerError);
}

}  // namespace vyk
