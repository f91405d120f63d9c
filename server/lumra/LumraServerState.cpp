#include "server/lumra/LumraServerState.h"

#include <stdexcept>

namespace devserver {

namespace {

constexpr int kExpiryPeriods = 3;

std::shared_ptr<lsx::Lumra> requireLumra(std::shared_ptr<lsx::Lumra> lumra)
{
    if (!lumra)
        throw std::invalid_argument("LumraServerState needs a light source");
    return lumra;
}

}  // namespace

LumraServerState::LumraServerState(std::shared_ptr<lsx::Lumra> lumra, uint32_t heartbeatPeriodMs)
    : lumra_(requireLumra(std::move(lumra))),
      expiry_(std::chrono::milliseconds(static_cast<int64_t>(heartbeatPeriodMs) * kExpiryPeriods)),
      name_(lumra_->getDescription().name),
      serial_(lumra_->getDescription().serial)
{
}

void LumraServerState::markUsed()
{
    std::lock_guard<std::mutex> lock(mutex_);
    reserved_ = true;
    lastUse_ = Clock::now();
}

void LumraServerState::setFree()
{
    std::lock_guard<std::mutex> lock(mutex_);
    reserved_ = false;
}

bool LumraServerState::isFree() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return !reserved_ || Clock::now() - lastUse_ > expiry_;
}

lsx::DeviceEntry LumraServerState::discoveryEntry(const std::string& ip, uint16_t port) const
{
    lsx::DeviceEntry entry;
    entry.type = "lumra";
    entry.ip = ip;
    entry.port = port;
    entry.name = name_;
    entry.serial = serial_;
    entry.free = isFree();
    return entry;
}

}  // namespace devserver
