#pragma once

#include <chrono>
#include <cstdint>
#include <mutex>

namespace devserver {

/// Whether a client holds a served device: free until a client uses it, free again when the
/// client releases it or has been silent for three heartbeat periods. Thread safe.
class Reservation {
public:
    /// Clients are expected to send a heartbeat every heartbeatPeriodMs.
    explicit Reservation(uint32_t heartbeatPeriodMs);

    /// A client request arrived: reserve the device and restart the expiry clock.
    void markUsed();
    /// The client released the device.
    void release();
    /// True when nobody holds the device (never used, released, or heartbeat expired).
    bool isFree() const;
    /// Ends a reservation whose client has been silent for three heartbeat periods; true
    /// when it did so now (false when it was free already or the client is still heard).
    bool expire();

private:
    using Clock = std::chrono::steady_clock;

    /// True when the last use lies more than the expiry time back; call holding mutex_.
    bool silentLocked() const;

    const Clock::duration expiry_; ///< three heartbeat periods
    mutable std::mutex mutex_;     ///< guards reserved_ and lastUse_
    bool reserved_ = false;        ///< a client holds the device (mutex_)
    Clock::time_point lastUse_;    ///< last request of the client (mutex_)
};

}  // namespace devserver
