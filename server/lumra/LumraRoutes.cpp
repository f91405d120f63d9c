#include "server/lumra/LumraRoutes.h"

#include "lightsource/lsx/LumraConfiguration.h"
#include "lightsource/lsx/LumraDescription.h"
#include "lightsource/lsx/LumraException.h"

#include <functional>

#include <httplib.h>
#include <nlohmann/json.hpp>

namespace devserver {

namespace {

constexpr uint32_t kMalformedRequest = 0xA0163001; // invalid argument or setting
constexpr int kFailureStatus = 503;

using Operation = std::function<nlohmann::json(const httplib::Request&)>;

void answerError(httplib::Response& response, uint32_t code, const std::string& where)
{
    const nlohmann::json body = {{"code", static_cast<int32_t>(code)}, {"where", where}};
    response.status = kFailureStatus;
    response.set_content(body.dump(), "application/json");
}

nlohmann::json parseBody(const httplib::Request& request)
{
    return request.body.empty() ? nlohmann::json() : nlohmann::json::parse(request.body);
}

// Runs operation for one request; every failure becomes a 503 answer, never an escape.
httplib::Server::Handler guarded(LumraServerState& state, bool reserves, Operation operation)
{
    return [&state, reserves, operation = std::move(operation)](const httplib::Request& request,
                                                                 httplib::Response& response) {
        try {
            if (reserves)
                state.markUsed();
            const nlohmann::json answer = operation(request);
            response.status = 200;
            if (!answer.is_null())
                response.set_content(answer.dump(), "application/json");
        } catch (const lsx::LumraException& e) {
            answerError(response, e.code(), e.what());
        } catch (const nlohmann::json::exception& e) {
            answerError(response, kMalformedRequest, std::string("Malformed request to ") + request.path + ": " + e.what());
        } catch (const std::exception& e) {
            answerError(response, lsx::LumraException::kTransport, e.what());
        } catch (...) {
            answerError(response, lsx::LumraException::kTransport, "unknown failure");
        }
    };
}

}  // namespace

void registerLumraRoutes(httplib::Server& server, LumraServerState& state)
{
    server.Get("/v1/getDescription", guarded(state, true, [&state](const httplib::Request&) {
                   return nlohmann::json(state.lumra().getDescription());
               }));
    server.Get("/v1/getConfiguration", guarded(state, true, [&state](const httplib::Request&) {
                   return nlohmann::json(state.lumra().getConfiguration());
               }));
    server.Put("/v1/setConfiguration", guarded(state, true, [&state](const httplib::Request& request) {
                   state.lumra().setConfiguration(parseBody(request).get<lsx::LumraConfiguration>());
                   return nlohmann::json();
               }));
    server.Put("/v1/defaultConfiguration", guarded(state, true, [&state](const httplib::Request& request) {
                   parseBody(request); // the body is null; anything unparsable is refused
                   state.lumra().defaultConfiguration();
                   return nlohmann::json();
               }));
    server.Post("/v1/switchOn", guarded(state, true, [&state](const httplib::Request&) {
                    state.lumra().switchOn();
                    return nlohmann::json();
                }));
    server.Post("/v1/switchOff", guarded(state, true, [&state](const httplib::Request&) {
                    state.lumra().switchOff();
                    return nlohmann::json();
                }));
    server.Post("/v1/executeCommand", guarded(state, true, [&state](const httplib::Request& request) {
                    const nlohmann::json body = parseBody(request);
                    const std::string command = body.at("command").get<std::string>();
                    const std::string value = body.value("in_val", std::string());
                    return nlohmann::json(state.lumra().executeCommand(command, value));
                }));
    server.Post("/v1/heartbeat", guarded(state, true, [](const httplib::Request&) { return nlohmann::json(); }));
    server.Post("/v1/setFree", guarded(state, false, [&state](const httplib::Request&) {
                    state.setFree();
                    return nlohmann::json();
                }));
}

bool isLumraDiscoveryRequest(const std::string& datagram)
{
    const nlohmann::json request = nlohmann::json::parse(datagram, nullptr, false);
    return request.is_object() && request.value("action", nlohmann::json()) == "discover"
        && request.value("type", nlohmann::json()) == "lumra";
}

}  // namespace devserver
