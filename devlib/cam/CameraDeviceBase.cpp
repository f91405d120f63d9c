// What every camera device shares.
#include "CameraDeviceBase.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace vyksim {

namespace {

constexpr uint16_t kTimeBaseCount = 3; // ns, us, ms

// Whether a binning factor is allowed on an axis: 1..maximum, and a power of two unless linear.
bool binningAllowed(uint16_t factor, uint16_t maximum, bool linear)
{
    if (factor < 1 || factor > maximum)
        return false;
    return linear || (factor & (factor - 1)) == 0;
}

} // namespace

CameraDeviceBase::CameraDeviceBase(const CameraSettings& initial)
    : settings_(initial)
{
}

bool CameraDeviceBase::timeBasesValid(uint16_t delayBase, uint16_t exposureBase)
{
    return delayBase < kTimeBaseCount && exposureBase < kTimeBaseCount;
}

void CameraDeviceBase::describeSensor(VYK_Description& d) const
{
    const CameraConfig& config = sensorConfig();
    std::memset(&d, 0, sizeof d);
    d.wSize = sizeof d;
    d.wSensorTypeDESC = config.color ? VYK_SENSOR_COLOR : 0;
    d.wMaxHorzResStdDESC = config.width;
    d.wMaxVertResStdDESC = config.height;
    d.wMaxHorzResExtDESC = config.extWidth;
    d.wMaxVertResExtDESC = config.extHeight;
    d.wDynResDESC = config.bitDepth;
    d.wMaxBinHorzDESC = config.maxBinHorz;
    d.wBinHorzSteppingDESC = config.binLinear ? 1 : 0;
    d.wMaxBinVertDESC = config.maxBinVert;
    d.wBinVertSteppingDESC = config.binLinear ? 1 : 0;
    d.wRoiHorStepsDESC = config.roiStepHorz;
    d.wRoiVertStepsDESC = config.roiStepVert;
    d.wNumADCsDESC = 1;
    d.wColorPatternDESC = config.colorPattern;
}

void CameraDeviceBase::reportHealth(uint32_t* warnings, uint32_t* errors, uint32_t* status, uint32_t warningBits,
                                    uint32_t errorBits, uint32_t statusBits)
{
    if (warnings != nullptr)
        *warnings = warningBits;
    if (errors != nullptr)
        *errors = errorBits;
    if (status != nullptr)
        *status = statusBits;
}

int32_t CameraDeviceBase::checkAlive()
{
    if (closed_)
        return VYK_ERR_INVALID_HANDLE;
    return failed_ ? VYK_ERR_DEVICE_TIMEOUT : VYK_NOERROR;
}

int32_t CameraDeviceBase::checkIdle()
{
    const int32_t alive = checkAlive();
    if (VYK_FAILED(alive))
        return alive;
    return recording_ ? VYK_ERR_RECORDING_RUNS : VYK_NOERROR;
}

int32_t CameraDeviceBase::refuse(int32_t code)
{
    return query([code] { return code; });
}

// ---- Identity and arming ---------------------------------------------------------

int32_t CameraDeviceBase::cameraType(VYK_CameraType& t)
{
    return query([&] {
        const CameraConfig& config = sensorConfig();
        std::memset(&t, 0, sizeof t);
        t.wSize = sizeof t;
        t.wCamType = config.type;
        t.wCamSubType = config.subType;
        t.wInterfaceType = config.interfaceType;
        t.dwSerialNumber = config.serial;
        t.dwHWVersion = config.hwVersion;
        t.dwFWVersion = config.fwVersion;
        return VYK_NOERROR;
    });
}

int32_t CameraDeviceBase::name(char* out, uint16_t length)
{
    return query([&] {
        const std::string& text = sensorConfig().name;
        if (text.size() + 1 > length) {
            out[0] = '\0';
            return VYK_ERR_WRONG_SIZE;
        }
        std::memcpy(out, text.c_str(), text.size() + 1);
        return VYK_NOERROR;
    });
}

int32_t CameraDeviceBase::arm()
{
    std::lock_guard<std::mutex> lock(mutex_);
    const int32_t idle = checkIdle();
    return VYK_FAILED(idle) ? idle : armLocked();
}

int32_t CameraDeviceBase::resetToDefaults()
{
    return change([&](CameraSettings& next) {
        next = defaultSettings();
        return VYK_NOERROR;
    });
}

int32_t CameraDeviceBase::transferMode(uint16_t* mode)
{
    return query([&] {
        *mode = transferMode_;
        return VYK_NOERROR;
    });
}

// ---- Timing ------------------------------------------------------------------------

int32_t CameraDeviceBase::delayExposure(uint32_t* delay, uint32_t* exposure, uint16_t* delayBase,
                                        uint16_t* exposureBase)
{
    return query([&] {
        *delay = settings_.delay;
        *exposure = settings_.exposure;
        *delayBase = settings_.delayBase;
        *exposureBase = settings_.exposureBase;
        return VYK_NOERROR;
    });
}

int32_t CameraDeviceBase::setDelayExposure(uint32_t delay, uint32_t exposure, uint16_t delayBase,
                                           uint16_t exposureBase)
{
    std::lock_guard<std::mutex> lock(mutex_);
    const int32_t alive = checkAlive();
    if (VYK_FAILED(alive))
        return alive;
    if (!timeBasesValid(delayBase, exposureBase))
        return VYK_ERR_INVALID_ARGUMENT;
    if (!timingAllowed(CameraSettings::toNanoseconds(delay, delayBase),
                       CameraSettings::toNanoseconds(exposure, exposureBase)))
        return VYK_ERR_INVALID_ARGUMENT;
    CameraSettings next = settings_;
    next.delay = delay;
    next.delayBase = delayBase;
    next.exposure = exposure;
    next.exposureBase = exposureBase;
    if (recording_) {
        const int32_t applied = applyLiveTiming(next);
        if (VYK_FAILED(applied))
            return applied;
    } else {
        armedCurrent_ = false;
    }
    settings_ = next;
    return VYK_NOERROR;
}

int32_t CameraDeviceBase::frameTime(uint32_t* seconds, uint32_t* nanoseconds)
{
    return query([&] {
        const double period = periodSeconds();
        const double whole = std::floor(period);
        *seconds = static_cast<uint32_t>(whole);
        *nanoseconds = static_cast<uint32_t>(std::min(999999999.0, std::round((period - whole) * 1e9)));
        return VYK_NOERROR;
    });
}

// ---- Geometry ----------------------------------------------------------------------

int32_t CameraDeviceBase::roi(uint16_t* x0, uint16_t* y0, uint16_t* x1, uint16_t* y1)
{
    return query([&] {
        *x0 = settings_.roiX0;
        *y0 = settings_.roiY0;
        *x1 = settings_.roiX1;
        *y1 = settings_.roiY1;
        return VYK_NOERROR;
    });
}

int32_t CameraDeviceBase::setRoi(uint16_t x0, uint16_t y0, uint16_t x1, uint16_t y1)
{
    return change([&](CameraSettings& next) {
        const CameraConfig& sensor = sensorConfig();
        uint16_t width = 0;
        uint16_t height = 0;
        CameraSettings::formatSize(sensor, next.sensorFormat, width, height);
        if (x0 < 1 || y0 < 1 || x0 > x1 || y0 > y1 || x1 > width || y1 > height)
            return VYK_ERR_INVALID_ARGUMENT;
        // Each axis: the start lies on the step grid and the size is a whole number of steps;
        // a step of 0 means the axis cannot be moved (the region starts at the first pixel).
        auto axisOk = [](uint16_t first, uint16_t last, uint16_t step) {
            if (step == 0)
                return first == 1;
            return (first - 1u) % step == 0 && (uint32_t(last) - first + 1u) % step == 0;
        };
        if (!axisOk(x0, x1, sensor.roiStepHorz) || !axisOk(y0, y1, sensor.roiStepVert))
            return VYK_ERR_INVALID_ARGUMENT;
        next.roiX0 = x0;
        next.roiY0 = y0;
        next.roiX1 = x1;
        next.roiY1 = y1;
        return VYK_NOERROR;
    });
}

int32_t CameraDeviceBase::binning(uint16_t* horz, uint16_t* vert)
{
    return query([&] {
        *horz = settings_.binHorz;
        *vert = settings_.binVert;
        return VYK_NOERROR;
    });
}

int32_t CameraDeviceBase::setBinning(uint16_t horz, uint16_t vert)
{
    return change([&](CameraSettings& next) {
        const int32_t mode = checkBinningMode(horz & ~VYK_BINNING_FACTOR_MASK, vert & ~VYK_BINNING_FACTOR_MASK);
        if (VYK_FAILED(mode))
            return mode;
        const CameraConfig& sensor = sensorConfig();
        if (!binningAllowed(horz & VYK_BINNING_FACTOR_MASK, sensor.maxBinHorz, sensor.binLinear)
            || !binningAllowed(vert & VYK_BINNING_FACTOR_MASK, sensor.maxBinVert, sensor.binLinear))
            return VYK_ERR_INVALID_ARGUMENT;
        next.binHorz = horz;
        next.binVert = vert;
        return VYK_NOERROR;
    });
}

// ---- Pixel values ------------------------------------------------------------------

int32_t CameraDeviceBase::pixelFormat(uint32_t* current, uint32_t* supported)
{
    return query([&] {
        if (current != nullptr)
            *current = settings_.pixelFormat;
        if (supported != nullptr)
            *supported = supportedPixelFormats();
        return VYK_NOERROR;
    });
}

int32_t CameraDeviceBase::setPixelFormat(uint32_t flag)
{
    return change([&](CameraSettings& next) {
        if (!offersPixelFormat(flag))
            return VYK_ERR_INVALID_ARGUMENT;
        next.pixelFormat = flag;
        return VYK_NOERROR;
    });
}

// ---- Attachments -------------------------------------------------------------------

int32_t CameraDeviceBase::timestampMode(uint16_t* mode)
{
    return query([&] {
        if (!offersTimestamp())
            return VYK_ERR_NOT_SUPPORTED;
        *mode = settings_.timestampMode;
        return VYK_NOERROR;
    });
}

int32_t CameraDeviceBase::setTimestampMode(uint16_t mode)
{
    return change([&](CameraSettings& next) {
        if (!offersTimestamp())
            return VYK_ERR_NOT_SUPPORTED;
        if (mode > maxTimestampMode())
            return VYK_ERR_INVALID_ARGUMENT;
        next.timestampMode = mode;
        return VYK_NOERROR;
    });
}

int32_t CameraDeviceBase::metadataMode(uint16_t* mode, uint16_t* size, uint16_t* version)
{
    return query([&] {
        if (!offersMetadata())
            return VYK_ERR_NOT_SUPPORTED;
        if (mode != nullptr)
            *mode = settings_.metadataMode;
        if (size != nullptr)
            *size = VYK_METADATA_SIZE;
        if (version != nullptr)
            *version = VYK_METADATA_VERSION;
        return VYK_NOERROR;
    });
}

int32_t CameraDeviceBase::setMetadataMode(uint16_t mode, uint16_t* size, uint16_t* version)
{
    return change([&](CameraSettings& next) {
        if (!offersMetadata())
            return VYK_ERR_NOT_SUPPORTED;
        if (!isOnOff(mode))
            return VYK_ERR_INVALID_ARGUMENT;
        next.metadataMode = mode;
        if (size != nullptr)
            *size = VYK_METADATA_SIZE;
        if (version != nullptr)
            *version = VYK_METADATA_VERSION;
        return VYK_NOERROR;
    });
}

// ---- Trigger and recording -----------------------------------------------------------

int32_t CameraDeviceBase::triggerMode(uint16_t* mode)
{
    return query([&] {
        *mode = settings_.triggerMode;
        return VYK_NOERROR;
    });
}

int32_t CameraDeviceBase::setTriggerMode(uint16_t mode)
{
    return change([&](CameraSettings& next) {
        if (!offersTriggerMode(mode))
            return VYK_ERR_INVALID_ARGUMENT;
        next.triggerMode = mode;
        return VYK_NOERROR;
    });
}

int32_t CameraDeviceBase::recordingState(uint16_t* state)
{
    return query([&] {
        *state = recording_ ? 1 : 0;
        return VYK_NOERROR;
    });
}

int32_t CameraDeviceBase::releaseOptionalResource()
{
    return query([] { return VYK_NOERROR; });
}

// ---- Hand-over to the recorder -------------------------------------------------------

int32_t CameraDeviceBase::setSink(FrameSink sink)
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (closed_)
            return VYK_ERR_INVALID_HANDLE;
    }
    // The previous sink is destroyed after sinkMutex_ is released.
    FrameSink previous;
    {
        std::lock_guard<std::mutex> lock(sinkMutex_);
        previous.swap(sink_);
        sink_ = std::move(sink);
    }
    return VYK_NOERROR;
}

int32_t CameraDeviceBase::imageFormat(uint32_t* width, uint32_t* height, uint16_t* bitDepth)
{
    return query([&] {
        if (width != nullptr)
            *width = armed_->width;
        if (height != nullptr)
            *height = armed_->height;
        if (bitDepth != nullptr)
            *bitDepth = armed_->bitDepth;
        return VYK_NOERROR;
    });
}

} // namespace vyksim
