// Camera set, handles and open cameras.
#include "CameraRegistry.h"

#include "SimCamera.h"

#include <vector>

namespace vyksim {

namespace {

bool knownInterface(uint16_t type)
{
    return (type >= VYK_INTERFACE_FIREWIRE && type <= VYK_INTERFACE_WLAN) || type == VYK_INTERFACE_CLHS
        || type == VYK_INTERFACE_CLHS_DXR;
}

} // namespace

CameraRegistry& CameraRegistry::instance()
{
    static CameraRegistry registry;
    return registry;
}

CameraRegistry::~CameraRegistry()
{
    for (auto& entry : open_)
        entry.second->shutdown();
}

void CameraRegistry::reload()
{
    set_ = loadCameraSetFromEnvironment();
}

int32_t CameraRegistry::initialize()
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (initCount_++ == 0 && open_.empty() && opening_.empty())
        reload();
    return set_.result;
}

int32_t CameraRegistry::cleanup()
{
    std::vector<std::shared_ptr<SimCamera>> closing;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (initCount_ == 0)
            return VYK_NOERROR; // nothing to undo
        if (--initCount_ > 0)
            return VYK_NOERROR;
        for (auto& entry : open_)
            closing.push_back(entry.second);
        open_.clear();
    }
    for (auto& camera : closing)
        camera->shutdown();
    return VYK_NOERROR;
}

int32_t CameraRegistry::reset()
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (initCount_ == 0)
        return VYK_ERR_NOT_INITIALIZED;
    if (!open_.empty() || !opening_.empty())
        return VYK_ERR_CAMERA_BUSY;
    reload();
    return set_.result;
}

int32_t CameraRegistry::reserve(const VYK_OpenStruct& request, CameraConfig& chosen, uint16_t& number)
{
    if (initCount_ == 0)
        return VYK_ERR_NOT_INITIALIZED;
    // A new camera set takes effect when no camera of the old one is open.
    if (open_.empty() && opening_.empty())
        reload();
    if (VYK_FAILED(set_.result))
        return set_.result;
    const bool bySerial = request.wOpenMode == VYK_OPEN_BY_SERIAL;
    if (request.wOpenMode > VYK_OPEN_BY_SERIAL)
        return VYK_ERR_INVALID_ARGUMENT;
    if (!knownInterface(request.wInterfaceType) && !(bySerial && request.wInterfaceType == VYK_INTERFACE_ANY))
        return VYK_ERR_INVALID_ARGUMENT;
    if (!bySerial && request.wCameraNumber > 63)
        return VYK_ERR_INVALID_ARGUMENT;

    std::map<uint16_t, uint16_t> countPerInterface;
    for (const CameraConfig& config : set_.cameras) {
        const uint16_t numberHere = countPerInterface[config.interfaceType]++;
        const bool interfaceMatches =
            request.wInterfaceType == VYK_INTERFACE_ANY || request.wInterfaceType == config.interfaceType;
        if (!interfaceMatches
            || (bySerial ? config.serial != request.dwSerialNumber : numberHere != request.wCameraNumber))
            continue;
        if (opening_.count(config.serial) != 0)
            return VYK_ERR_CAMERA_BUSY;
        for (const auto& entry : open_) {
            if (entry.second->config().serial == config.serial)
                return VYK_ERR_CAMERA_BUSY;
        }
        opening_.insert(config.serial);
        chosen = config;
        number = numberHere;
        return VYK_NOERROR;
    }
    return VYK_ERR_NO_CAMERA;
}

int32_t CameraRegistry::open(VYK_OpenStruct& request, VYK_HANDLE& handle)
{
    CameraConfig chosen;
    uint16_t number = 0;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        const int32_t reserved = reserve(request, chosen, number);
        if (VYK_FAILED(reserved))
            return reserved;
    }
    auto camera = std::make_shared<SimCamera>(chosen, number);
    std::lock_guard<std::mutex> lock(mutex_);
    opening_.erase(chosen.serial);
    if (initCount_ == 0)
        return VYK_ERR_NOT_INITIALIZED; // cleaned up meanwhile; camera shuts down after the lock is released
    const uintptr_t id = nextHandle_++;
    open_[id] = std::move(camera);
    handle = reinterpret_cast<VYK_HANDLE>(id);
    request.wCameraNumAtInterface = number;
    request.wOpenedInterface = chosen.interfaceType;
    return VYK_NOERROR;
}

int32_t CameraRegistry::close(VYK_HANDLE handle)
{
    std::shared_ptr<SimCamera> camera;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        auto it = open_.find(reinterpret_cast<uintptr_t>(handle));
        if (it == open_.end())
            return VYK_ERR_INVALID_HANDLE;
        camera = it->second;
        open_.erase(it);
    }
    return camera->shutdown();
}

std::shared_ptr<SimCamera> CameraRegistry::find(VYK_HANDLE handle, int32_t& result)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (initCount_ == 0) {
        result = VYK_ERR_NOT_INITIALIZED;
        return nullptr;
    }
    auto it = open_.find(reinterpret_cast<uintptr_t>(handle));
    if (it == open_.end()) {
        result = VYK_ERR_INVALID_HANDLE;
        return nullptr;
    }
    result = VYK_NOERROR;
    return it->second;
}

} // namespace vyksim
