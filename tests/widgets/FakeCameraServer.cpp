#include "FakeCameraServer.h"

#include <httplib.h>
#include <stdexcept>
#include <nlohmann/json.hpp>

#include "camera/CameraException.h"
#include "camera/Configuration.h"
#include "camera/ConvertControl.h"
#include "camera/Description.h"
#include "camera/Enums.h"
#include "camera/RemoteError.h"
#include "camera/SensorInfo.h"

using json = nlohmann::json;

FakeCameraServer::FakeCameraServer(std::unique_ptr<vyk::Camera> camera, vyk::InterfaceType interface)
    : camera_(std::move(camera))
    , interface_(interface)
    , server_(std::make_unique<httplib::Server>())
{
    const uint32_t serial = camera_->getSerial();
    dxr_ = {{1, 1000, 60.0, serial}, {2, 500, 30.0, 4242}};
    addRoutes();
    // The socket listens once bound: requests wait in its backlog until the thread accepts.
    const int port = server_->bind_to_any_port("127.0.0.1");
    if (port <= 0)
        throw std::runtime_error("FakeCameraServer: no loopback port");
    port_ = static_cast<uint16_t>(port);
    thread_ = std::thread([this] { server_->listen_after_bind(); });
}

FakeCameraServer::~FakeCameraServer()
{
    server_->stop();
    thread_.join();
}

std::vector<vyk::RamAllocation> FakeCameraServer::dxrSegments() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return dxr_;
}

std::vector<uint16_t> FakeCameraServer::switchedSegments() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return switched_;
}

void FakeCameraServer::addRoutes()
{
    using Handler = std::function<json(const httplib::Request&)>;
    const auto answer = [this](Handler handler) {
        return [this, handler](const httplib::Request& request, httplib::Response& response) {
            std::lock_guard<std::mutex> lock(mutex_);
            try {
                const json body = handler(request);
                response.set_content(body.is_null() ? std::string() : body.dump(), "application/json");
            } catch (const vyk::CameraException& error) {
                response.status = 503;
                response.set_content(json(vyk::RemoteError{static_cast<int32_t>(error.code()), error.message()}).dump(),
                                     "application/json");
            }
        };
    };
    const auto none = [](const httplib::Request&) { return json(); };
    httplib::Server& s = *server_;
    s.Post("/v1/heartbeat", answer(none));
    s.Post("/v1/setFree", answer(none));
    s.Get("/v1/getName", answer([this](const httplib::Request&) { return json(camera_->getName()); }));
    s.Get("/v1/getSerial", answer([this](const httplib::Request&) { return json(camera_->getSerial()); }));
    s.Get("/v1/getInterface", answer([this](const httplib::Request&) { return json(interface_); }));
    s.Get("/v1/getRawFormat", answer([this](const httplib::Request&) { return json(camera_->getRawFormat()); }));
    s.Get("/v1/isColored", answer([this](const httplib::Request&) { return json(camera_->isColored()); }));
    s.Get("/v1/isRecording", answer([this](const httplib::Request&) { return json(camera_->isRecording()); }));
    s.Get("/v1/getSensorInfo", answer([this](const httplib::Request&) { return json(camera_->getSensorInfo()); }));
    s.Get("/v1/getDescription", answer([this](const httplib::Request&) {
              vyk::Description description = camera_->getDescription();
              description.interface_type = interface_;
              return json(description);
          }));
    s.Get("/v1/getConfiguration",
          answer([this](const httplib::Request&) { return json(camera_->getConfiguration()); }));
    s.Put("/v1/setConfiguration", answer([this](const httplib::Request& r) {
              camera_->setConfiguration(json::parse(r.body).get<vyk::Configuration>());
              return json();
          }));
    s.Get("/v1/getConvertControl", answer([this](const httplib::Request& r) {
              const auto format = json::parse(r.get_param_value("format")).get<vyk::DataFormat>();
              return json(camera_->getConvertControl(format));
          }));
    s.Get("/v1/getExposureTime",
          answer([this](const httplib::Request&) { return json{{"exposure_s", camera_->getExposureTime()}}; }));
    s.Get("/v1/getDelayTime",
          answer([this](const httplib::Request&) { return json{{"delay_s", camera_->getDelayTime()}}; }));
    s.Get("/v1/getCamRamMaxImages", answer([](const httplib::Request&) { return json(321); }));
    s.Get("/v1/getDxrAllocation", answer([this](const httplib::Request&) { return json(dxr_); }));
    s.Get("/v1/getDxrSegment", answer([this](const httplib::Request&) { return json(dxr_.front()); }));
    s.Put("/v1/setDxrAllocation", answer([this](const httplib::Request& r) {
              dxr_ = json::parse(r.body).at("segments").get<std::vector<vyk::RamAllocation>>();
              return json();
          }));
    s.Post("/v1/switchToCamRam", answer([this](const httplib::Request& r) {
               const auto segment = json::parse(r.get_param_value("segment")).get<uint16_t>();
               if (segment == 0 || segment > dxr_.size())
                   throw vyk::CameraException("No such DXR segment", 0x80000001u);
               switched_.push_back(segment);
               return json();
           }));
}
