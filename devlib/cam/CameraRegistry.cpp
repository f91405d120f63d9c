// Camera set, handles and open cameras.
#include "CameraRegistry.h"

#include "GObjectReaper.h"
#include "GenicamCamera.h"
#include "SimCamera.h"

#include <algorithm>
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
    // Made first so that it is destroyed last: closing a failed GenICam camera at exit
    // still hands its Aravis objects to it.
    GObjectReaper::instance();
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
    const GenicamList list = genicamListFromEnvironment();
    genicam_ = list.ids;
    if (list.discover) {
        for (const GenicamId& found : GenicamCamera::discoverAll()) {
            const bool listed = std::any_of(genicam_.begin(), genicam_.end(),
                                            [&](const GenicamId& id) { return id.device == found.device; });
            if (!listed)
                genicam_.push_back(found);
        }
    }
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
    std::vector<std::shared_ptr<CameraDevice>> closing;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (initCount_ == 0)
            return VYK_NOERROR; // nothing to undo
        if (--initCount_ > 0)
            return VYK_NOERROR;
        for (auto& entry : open_)
            closing.push_back(entry.second);
        open_.clear();
        openKeys_.clear();
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

bool CameraRegistry::taken(const std::string& key, bool bySerial, uint32_t serial) const
{
    if (opening_.count(key) != 0)
        return true;
    for (const auto& entry : openKeys_) {
        if (entry.second == key)
            return true;
    }
    if (bySerial) {
        for (const auto& entry : open_) {
            if (entry.second->serial() == serial)
                return true;
        }
    }
    return false;
}

int32_t CameraRegistry::reserve(const VYK_OpenStruct& request, const std::set<std::string>& probed, Choice& chosen)
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

    // The simulated cameras come first on each interface, then the GenICam cameras in list
    // order. A GenICam camera's serial is known once it has been opened.
    std::map<uint16_t, uint16_t> countPerInterface;
    auto consider = [&](uint16_t interfaceType, bool serialKnown, uint32_t serial, const std::string& key) {
        const uint16_t numberHere = countPerInterface[interfaceType]++;
        const bool interfaceMatches =
            request.wInterfaceType == VYK_INTERFACE_ANY || request.wInterfaceType == interfaceType;
        if (!interfaceMatches)
            return false;
        if (bySerial ? !(serialKnown && serial == request.dwSerialNumber) : numberHere != request.wCameraNumber)
            return false;
        chosen.number = numberHere;
        chosen.key = key;
        return true;
    };
    bool found = false;
    for (const CameraConfig& config : set_.cameras) {
        if (consider(config.interfaceType, true, config.serial, "sim:" + std::to_string(config.serial))) {
            chosen.genicam = false;
            chosen.config = config;
            found = true;
            break;
        }
    }
    for (size_t i = 0; !found && i < genicam_.size(); ++i) {
        const auto known = genicamSerials_.find(genicam_[i].device);
        const bool serialKnown = known != genicamSerials_.end();
        if (consider(genicam_[i].interfaceType, serialKnown, serialKnown ? known->second : 0,
                     "genicam:" + genicam_[i].device)) {
            chosen.genicam = true;
            chosen.id = genicam_[i];
            found = true;
        }
    }
    chosen.probe = false;
    for (size_t i = 0; !found && bySerial && i < genicam_.size(); ++i) {
        const GenicamId& id = genicam_[i];
        const std::string key = "genicam:" + id.device;
        const bool interfaceMatches =
            request.wInterfaceType == VYK_INTERFACE_ANY || request.wInterfaceType == id.interfaceType;
        if (interfaceMatches && genicamSerials_.count(id.device) == 0 && probed.count(id.device) == 0
            && !taken(key, false, 0)) {
            chosen.genicam = true;
            chosen.probe = true;
            chosen.id = id;
            chosen.key = key;
            chosen.number = uint16_t(
                std::count_if(set_.cameras.begin(), set_.cameras.end(),
                              [&](const CameraConfig& c) { return c.interfaceType == id.interfaceType; })
                + std::count_if(genicam_.begin(), genicam_.begin() + i,
                                [&](const GenicamId& other) { return other.interfaceType == id.interfaceType; }));
            found = true;
        }
    }
    if (!found)
        return VYK_ERR_NO_CAMERA;
    const uint32_t serial = chosen.genicam ? 0 : chosen.config.serial;
    if (taken(chosen.key, !chosen.genicam, serial))
        return VYK_ERR_CAMERA_BUSY;
    opening_.insert(chosen.key);
    return VYK_NOERROR;
}

std::shared_ptr<CameraDevice> CameraRegistry::build(const Choice& chosen, int32_t& result)
{
    result = VYK_NOERROR;
    if (!chosen.genicam)
        return std::make_shared<SimCamera>(chosen.config, chosen.number);
    return GenicamCamera::open(chosen.id, chosen.number, result);
}

int32_t CameraRegistry::open(VYK_OpenStruct& request, VYK_HANDLE& handle)
{
    // GenICam cameras opened here only to learn their serial; each round learns one more,
    // so the loop ends.
    std::set<std::string> probed;
    for (;;) {
        Choice chosen;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            const int32_t reserved = reserve(request, probed, chosen);
            if (VYK_FAILED(reserved))
                return reserved;
        }
        int32_t built = VYK_NOERROR;
        std::shared_ptr<CameraDevice> camera = build(chosen, built); // closed after the lock when not kept
        std::lock_guard<std::mutex> lock(mutex_);
        opening_.erase(chosen.key);
        if (!camera && chosen.probe) {
            probed.insert(chosen.id.device);
            continue;
        }
        if (!camera)
            return built;
        if (initCount_ == 0)
            return VYK_ERR_NOT_INITIALIZED; // cleaned up meanwhile
        if (chosen.genicam) {
            genicamSerials_[chosen.id.device] = camera->serial();
            if (chosen.probe && camera->serial() != request.dwSerialNumber) {
                probed.insert(chosen.id.device);
                continue;
            }
            // The same camera listed twice (by address and by name) is open only once.
            if (taken(chosen.key, true, camera->serial()))
                return VYK_ERR_CAMERA_BUSY;
        }
        const uintptr_t id = nextHandle_++;
        open_[id] = camera;
        openKeys_[id] = chosen.key;
        handle = reinterpret_cast<VYK_HANDLE>(id);
        request.wCameraNumAtInterface = chosen.number;
        request.wOpenedInterface = camera->interfaceType();
        return VYK_NOERROR;
    }
}

int32_t CameraRegistry::close(VYK_HANDLE handle)
{
    std::shared_ptr<CameraDevice> camera;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        auto it = open_.find(reinterpret_cast<uintptr_t>(handle));
        if (it == open_.end())
            return VYK_ERR_INVALID_HANDLE;
        camera = it->second;
        open_.erase(it);
        openKeys_.erase(reinterpret_cast<uintptr_t>(handle));
    }
    return camera->shutdown();
}

std::shared_ptr<CameraDevice> CameraRegistry::find(VYK_HANDLE handle, int32_t& result)
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
