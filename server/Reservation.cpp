#include "server/Reservation.h"

namespace devserver {

namespace {

constexpr int64_t kExpiryPeriods = 3;

}  // namespace

Reservation::Reservation(uint32_t heartbeatPeriodMs)
    : expiry_(std::chrono::milliseconds(static_cast<int64_t>(heartbeatPeriodMs) * kExpiryPeriods))
{
}

void Reservation::markUsed()
{
    std::lock_guard<std::mutex> lock(mutex_);
    reserved_ = true;
    lastUse_ = Clock::now();
}

void Reservation::release()
{
    std::lock_guard<std::mutex> lock(mutex_);
    reserved_ = false;
}

bool Reservation::isFree() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return !reserved_ || silentLocked();
}

bool Reservation::expire()
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (!reserved_ || !silentLocked())
        return false;
    reserved_ = false;
    return true;
}

bool Reservation::silentLocked() const
{
    return Clock::now() - lastUse_ > expiry_;
}

}  // namespace devserver
