#pragma once

#include "lightsource/lsx/DeviceEntry.h"
#include "lightsource/lsx/Lumra.h"
#include "server/Reservation.h"

#include <cstdint>
#include <memory>
#include <string>

namespace devserver {

/// One served light source and its reservation: free until a client uses it, free again
/// on "/v1/setFree" or when no request has arrived for three heartbeat periods.
class LumraServerState {
public:
    /// Serves lumra; clients are expected to send a heartbeat every heartbeatPeriodMs.
    LumraServerState(std::shared_ptr<lsx::Lumra> lumra, uint32_t heartbeatPeriodMs = 2000);

    /// The served light source (thread safe itself).
    lsx::Lumra& lumra() { return *lumra_; }
    /// A client request arrived: reserve the light source and restart the expiry clock.
    void markUsed();
    /// The client released the light source.
    void setFree();
    /// True when nobody holds the light source (never used, released, or heartbeat expired).
    bool isFree() const;
    /// The discovery answer entry: type "lumra", the given ip and port, model name, serial, free.
    lsx::DeviceEntry discoveryEntry(const std::string& ip, uint16_t port) const;

private:
    const std::shared_ptr<lsx::Lumra> lumra_; ///< the served light source
    const std::string name_;                  ///< model name, read once
    const uint32_t serial_;                   ///< serial number, read once
    Reservation reservation_;                 ///< whether a client holds the light source (own lock)
};

}  // namespace devserver
