#include "server/DeviceServer.h"

#include "camera/Camera.h"
#include "camera/CameraException.h"
#include "camera/DeviceEntry.h"
#include "camera/RemoteAccess.h"
#include "camera/UdpSocket.h"
#include "lightsource/lsx/DeviceEntry.h"
#include "lightsource/lsx/Lumra.h"
#include "server/ServerLog.h"
#include "server/camera/CameraRoutes.h"
#include "server/lumra/LumraRoutes.h"

#include "kv2_cam.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <stdexcept>

#include <httplib.h>
#include <nlohmann/json.hpp>

namespace devserver {

namespace {

using nlohmann::json;

// Largest discovery answer a client reads, bytes.
constexpr std::size_t kMaxDatagram = 2047;
constexpr uint32_t kAnySerial = 0xFFFFFFFFu;

struct ConfiguredCamera {
    uint32_t serial;
    vyk::InterfaceType interface;
};

// The cameras a device-set file lists, with their interfaces (the device library checks the rest).
std::vector<ConfiguredCamera> configuredCameras(const std::string& file)
{
    std::ifstream in(file);
    const json config = json::parse(in, nullptr, false);
    if (config.is_discarded() || !config.is_object() || !config.contains("cameras") || !config.at("cameras").is_array())
        throw std::runtime_error("device set " + file + " has no \"cameras\" list");
    std::vector<ConfiguredCamera> cameras;
    for (const json& entry : config.at("cameras")) {
        ConfiguredCamera camera{entry.at("serial").get<uint32_t>(), vyk::InterfaceType::USB3};
        if (entry.contains("interface")) {
            const json& interface = entry.at("interface");
            camera.interface = interface.is_number() ? static_cast<vyk::InterfaceType>(interface.get<uint16_t>())
                                                     : interface.get<vyk::InterfaceType>();
        }
        cameras.push_back(camera);
    }
    return cameras;
}

bool isLoopback(const std::string& address)
{
    return address.rfind("127.", 0) == 0;
}

// Sets an environment variable, or removes it for an empty value.
void setOrUnset(const char* name, const std::string& value)
{
    if (!value.empty())
        setenv(name, value.c_str(), 1);
    else
        unsetenv(name);
}

// The token (when a token file is given) and the allow list; checked before any device opens.
AccessControl accessOf(const ServerOptions& options)
{
    return AccessControl(options.tokenFile.empty() ? std::string() : readTokenFile(options.tokenFile), options.allow);
}

// The device libraries read the device set named by RASTEL_SIM_CONFIG and the GenICam
// cameras listed in RASTEL_GENICAM.
const ServerOptions& pointLibrariesAt(const ServerOptions& options)
{
    setLogLevel(options.logLevel);
    setOrUnset("RASTEL_SIM_CONFIG", options.configFile);
    setOrUnset("RASTEL_GENICAM", options.genicam);
    return options;
}

// Opens every camera not yet open, on any interface, until none is left.
void openEveryOtherCamera(std::vector<std::unique_ptr<vyk::Camera>>& opened)
{
    for (;;) {
        try {
            opened.push_back(std::make_unique<vyk::Camera>(vyk::InterfaceType::Any, kAnySerial));
        } catch (const vyk::CameraException&) {
            break; // every camera is open
        }
    }
}

}  // namespace

DeviceServer::CameraLibrary::CameraLibrary()
{
    // The device set is read here; a broken file leaves the server without cameras.
    const int32_t result = VYK_InitializeLib();
    if (result != 0)
        logLine(LogLevel::Error, "camera library initialisation failed: "
                                     + vyk::CameraException(static_cast<uint32_t>(result)).message());
}

DeviceServer::CameraLibrary::~CameraLibrary()
{
    VYK_CleanupLib();
}

DeviceServer::DeviceServer(ServerOptions options) : options_(pointLibrariesAt(options)), access_(accessOf(options_))
{
    const std::string exposure = access_.exposureWarning(options_.bindAddress);
    if (!exposure.empty())
        logLine(LogLevel::Warning, exposure);
    std::filesystem::create_directories(options_.dataDir);
    openCameras();
    if (options_.lightSources)
        openLightSources();

    discovery_ = std::make_unique<vyk::UdpSocket>();
    discovery_->enableAddressReuse();
    // Broadcasts reach only sockets bound to the broadcast address or to any address.
    const std::string discoveryBind = isLoopback(options_.bindAddress) ? "127.255.255.255" : "0.0.0.0";
    discovery_->bind(discoveryBind, options_.discoveryPort);
    discovery_->setReceiveTimeout(100);
}

DeviceServer::~DeviceServer()
{
    stop();
    lumras_.clear();
    cameras_.clear();
}

void DeviceServer::openCameras()
{
    std::vector<std::unique_ptr<vyk::Camera>> opened;
    if (!options_.configFile.empty()) {
        for (const ConfiguredCamera& configured : configuredCameras(options_.configFile)) {
            try {
                opened.push_back(std::make_unique<vyk::Camera>(configured.interface, configured.serial));
            } catch (const vyk::CameraException& e) {
                logLine(LogLevel::Error, "camera " + std::to_string(configured.serial) + " cannot be opened: " + e.what());
            }
        }
        if (!options_.genicam.empty())
            openEveryOtherCamera(opened); // the GenICam cameras follow the listed ones
    } else {
        openEveryOtherCamera(opened);
    }
    std::vector<uint32_t> dxrSerials;
    for (const auto& camera : opened)
        if (camera->getInterface() == vyk::InterfaceType::CLHS_DXR)
            dxrSerials.push_back(camera->getSerial());
    if (!dxrSerials.empty())
        dxr_ = std::make_unique<DxrStorage>(options_.dxrStorageMiB, dxrSerials);

    for (auto& camera : opened) {
        ServedCamera served;
        const uint32_t serial = camera->getSerial();
        CameraServerState::Folders folders{options_.dataDir, options_.dataDir / "luts"};
        served.state = std::make_unique<CameraServerState>(std::move(camera), folders, dxr_.get(), options_.heartbeatMs);
        served.http = makeHttp();
        registerCameraRoutes(*served.http, *served.state);
        served.port = bindHttp(*served.http, cameras_.size());
        logLine(LogLevel::Info, "camera " + std::to_string(serial) + " \"" + served.state->name() + "\" on "
                                    + options_.bindAddress + ":" + std::to_string(served.port));
        cameras_.push_back(std::move(served));
    }
}

void DeviceServer::openLightSources()
{
    for (;;) {
        std::shared_ptr<lsx::Lumra> lumra;
        try {
            lumra = std::make_shared<lsx::Lumra>();
        } catch (const std::exception&) {
            break; // every light source is open
        }
        ServedLumra served;
        served.state = std::make_unique<LumraServerState>(lumra, options_.heartbeatMs);
        served.http = makeHttp();
        registerLumraRoutes(*served.http, *served.state);
        served.port = bindHttp(*served.http, cameras_.size() + lumras_.size());
        const uint32_t serial = served.state->discoveryEntry(options_.bindAddress, served.port).serial;
        logLine(LogLevel::Info, "light source " + std::to_string(serial) + " on " + options_.bindAddress + ":"
                                    + std::to_string(served.port));
        lumras_.push_back(std::move(served));
    }
}

std::unique_ptr<httplib::Server> DeviceServer::makeHttp()
{
    auto http = std::make_unique<httplib::Server>();
    http->set_payload_max_length(options_.maxBodyBytes);
    http->set_tcp_nodelay(true);
    // Runs before every route, so a refused request reaches no device and reserves nothing.
    http->set_pre_routing_handler([this](const httplib::Request& request, httplib::Response& response) {
        return admit(request, response) ? httplib::Server::HandlerResponse::Unhandled
                                        : httplib::Server::HandlerResponse::Handled;
    });
    http->set_logger([](const httplib::Request& request, const httplib::Response& response) {
        if (logLevel() >= LogLevel::Debug)
            logLine(LogLevel::Debug, request.remote_addr + " " + request.method + " " + request.path + " -> "
                                         + std::to_string(response.status));
    });
    return http;
}

bool DeviceServer::admit(const httplib::Request& request, httplib::Response& response) const
{
    const AccessControl::Verdict verdict = access_.check(request.remote_addr, request.get_header_value("Authorization"));
    if (verdict == AccessControl::Verdict::Allowed)
        return true;
    const char* reason =
        verdict == AccessControl::Verdict::AddressRefused ? AccessControl::kAddressNotAllowed : AccessControl::kWrongToken;
    logLine(LogLevel::Warning, "refused " + request.method + " " + request.path + " from " + request.remote_addr + ":"
                                   + std::to_string(request.remote_port) + ": " + reason);
    response.status = 401;
    response.set_header("WWW-Authenticate", "Bearer");
    response.set_content(json{{"code", vyk::kRefusedCode}, {"where", reason}}.dump(), "application/json");
    return false;
}

uint16_t DeviceServer::bindHttp(httplib::Server& http, std::size_t deviceIndex)
{
    if (options_.basePort == 0) {
        const int port = http.bind_to_any_port(options_.bindAddress.c_str());
        if (port <= 0)
            throw std::runtime_error("cannot listen on " + options_.bindAddress);
        return static_cast<uint16_t>(port);
    }
    const std::size_t port = options_.basePort + deviceIndex;
    if (port > 65535 || !http.bind_to_port(options_.bindAddress.c_str(), static_cast<int>(port)))
        throw std::runtime_error("cannot listen on " + options_.bindAddress + ":" + std::to_string(port));
    return static_cast<uint16_t>(port);
}

void DeviceServer::start()
{
    if (running_.exchange(true))
        return;
    const auto listen = [this](httplib::Server* http) {
        httpThreads_.emplace_back([http] { http->listen_after_bind(); });
    };
    for (ServedCamera& camera : cameras_)
        listen(camera.http.get());
    for (ServedLumra& lumra : lumras_)
        listen(lumra.http.get());
    // stop() reaches only servers whose accept loop runs; httplib offers no signal for it.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    const auto allRunning = [this] {
        return std::all_of(cameras_.begin(), cameras_.end(), [](const ServedCamera& c) { return c.http->is_running(); })
            && std::all_of(lumras_.begin(), lumras_.end(), [](const ServedLumra& l) { return l.http->is_running(); });
    };
    while (!allRunning() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    discoveryThread_ = std::thread([this] { discoveryLoop(); });
    watchdogThread_ = std::thread([this] { watchdogLoop(); });
    logLine(LogLevel::Info, "discovery on UDP port " + std::to_string(discoveryPort()));
}

void DeviceServer::stop()
{
    {
        std::lock_guard<std::mutex> lock(wakeMutex_);
        if (!running_.exchange(false))
            return;
    }
    wake_.notify_all();
    for (ServedCamera& camera : cameras_)
        camera.http->stop();
    for (ServedLumra& lumra : lumras_)
        lumra.http->stop();
    for (std::thread& thread : httpThreads_)
        thread.join();
    httpThreads_.clear();
    if (discoveryThread_.joinable())
        discoveryThread_.join();
    if (watchdogThread_.joinable())
        watchdogThread_.join();
}

std::vector<DeviceServer::Endpoint> DeviceServer::endpoints() const
{
    std::vector<Endpoint> result;
    for (const ServedCamera& camera : cameras_)
        result.push_back({"camera", camera.state->serial(), camera.port});
    for (const ServedLumra& lumra : lumras_)
        result.push_back({"lumra", lumra.state->discoveryEntry(options_.bindAddress, lumra.port).serial, lumra.port});
    return result;
}

uint16_t DeviceServer::discoveryPort() const
{
    return discovery_->localPort();
}

void DeviceServer::discoveryLoop()
{
    while (running_) {
        vyk::UdpSocket::Peer peer;
        const std::optional<std::string> datagram = discovery_->receive(kMaxDatagram, &peer);
        if (!datagram)
            continue; // time-out: look at running_ again
        if (!access_.allowsAddress(peer.ip)) {
            logLine(LogLevel::Warning, "refused discovery datagram from " + peer.ip + ": "
                                           + AccessControl::kAddressNotAllowed);
            continue;
        }
        try {
            answerDiscovery(*datagram, peer.ip, peer.port);
        } catch (const std::exception& e) {
            logLine(LogLevel::Warning, "discovery answer to " + peer.ip + " failed: " + e.what());
        }
    }
}

std::string DeviceServer::advertisedAddress(const std::string& peerIp) const
{
    if (options_.bindAddress != "0.0.0.0")
        return options_.bindAddress;
    return vyk::UdpSocket::localAddressFor(peerIp);
}

void DeviceServer::answerDiscovery(const std::string& request, const std::string& peerIp, uint16_t peerPort)
{
    json entries = json::array();
    if (isCameraDiscoveryRequest(request)) {
        const std::string ip = advertisedAddress(peerIp);
        for (const ServedCamera& camera : cameras_)
            entries.push_back(camera.state->discoveryEntry(ip, camera.port));
    } else if (isLumraDiscoveryRequest(request)) {
        const std::string ip = advertisedAddress(peerIp);
        for (const ServedLumra& lumra : lumras_)
            entries.push_back(lumra.state->discoveryEntry(ip, lumra.port));
    } else {
        logLine(LogLevel::Debug, "ignored datagram from " + peerIp + ": " + request.substr(0, 200));
        return;
    }
    // Clients show that a device needs a token before anyone tries it.
    if (access_.requiresToken())
        for (json& entry : entries)
            entry["token_required"] = true;
    logLine(LogLevel::Debug, "discovery from " + peerIp + ": " + std::to_string(entries.size()) + " entries");
    if (entries.empty())
        return;
    // Each datagram holds as many entries as fit into what a client reads.
    json batch = json::array();
    for (const json& entry : entries) {
        json candidate = batch;
        candidate.push_back(entry);
        if (!batch.empty() && candidate.dump().size() > kMaxDatagram) {
            discovery_->sendTo(peerIp, peerPort, batch.dump());
            batch = json::array({entry});
        } else {
            batch = std::move(candidate);
        }
    }
    discovery_->sendTo(peerIp, peerPort, batch.dump());
}

void DeviceServer::watchdogLoop()
{
    const auto period = std::chrono::milliseconds(std::max<uint32_t>(options_.heartbeatMs / 4, 10));
    std::unique_lock<std::mutex> lock(wakeMutex_);
    while (running_) {
        wake_.wait_for(lock, period, [this] { return !running_; });
        if (!running_)
            break;
        lock.unlock();
        for (ServedCamera& camera : cameras_)
            if (camera.state->expire())
                logLine(LogLevel::Info, "camera " + std::to_string(camera.state->serial())
                                            + ": no heartbeat for three periods, free again");
        lock.lock();
    }
}

}  // namespace devserver
