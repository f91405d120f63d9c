// One simulated camera device.
#include "SimCamera.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace vyksim {

namespace {

// A frame thread further behind its schedule than this starts afresh instead of catching up.
constexpr std::chrono::milliseconds kMaxLag{200};
// The simulated acquire-enable input is high during this part of every second of a recording.
constexpr double kAcquireHighFraction = 0.5;

std::chrono::steady_clock::duration seconds(double s)
{
    return std::chrono::duration_cast<std::chrono::steady_clock::duration>(std::chrono::duration<double>(s));
}

double secondsBetween(std::chrono::steady_clock::time_point from, std::chrono::steady_clock::time_point to)
{
    return std::chrono::duration<double>(to - from).count();
}

} // namespace

SimCamera::SimCamera(const CameraConfig& config, uint16_t numberAtInterface)
    : CameraDeviceBase(CameraSettings::defaults(config))
    , config_(config)
    , number_(numberAtInterface)
    , openTime_(Clock::now())
    , renderer_(config)
    , ram_(config.ramPages, config.ramPageSize)
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        armLocked();
    }
    thread_ = std::thread([this] { frameLoop(); });
}

SimCamera::~SimCamera()
{
    shutdown();
}

int32_t SimCamera::shutdown()
{
    bool wasFailed = false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (closed_)
            return VYK_NOERROR;
        closed_ = true;
        stop_ = true;
        recording_ = false;
        wasFailed = failed_;
    }
    wake_.notify_all();
    if (thread_.joinable())
        thread_.join();
    return wasFailed ? VYK_ERR_DEVICE_TIMEOUT : VYK_NOERROR;
}

int32_t SimCamera::checkAlive()
{
    if (!closed_ && !failed_ && config_.failAfterS > 0.0
        && secondsBetween(openTime_, Clock::now()) >= config_.failAfterS) {
        failed_ = true;
        recording_ = false;
        wake_.notify_all();
    }
    return CameraDeviceBase::checkAlive();
}

template <typename Fn>
int32_t SimCamera::ramOperation(bool isChange, Fn run)
{
    std::lock_guard<std::mutex> lock(mutex_);
    const int32_t alive = checkAlive();
    if (VYK_FAILED(alive))
        return alive;
    if (config_.ramPages == 0)
        return VYK_ERR_NO_CAMERA_RAM;
    if (isChange && recording_)
        return VYK_ERR_RECORDING_RUNS;
    return run();
}

int32_t SimCamera::readSwitch(bool supported, uint16_t CameraSettings::*field, uint16_t* mode)
{
    return query([&] {
        if (!supported)
            return VYK_ERR_NOT_SUPPORTED;
        *mode = settings_.*field;
        return VYK_NOERROR;
    });
}

template <typename Fn>
int32_t SimCamera::writeSwitch(bool supported, uint16_t CameraSettings::*field, uint16_t mode, Fn also)
{
    return change([&](CameraSettings& next) {
        if (!supported)
            return VYK_ERR_NOT_SUPPORTED;
        if (!isOnOff(mode))
            return VYK_ERR_INVALID_ARGUMENT;
        also(next);
        next.*field = mode;
        return VYK_NOERROR;
    });
}

int32_t SimCamera::writeSwitch(bool supported, uint16_t CameraSettings::*field, uint16_t mode)
{
    return writeSwitch(supported, field, mode, [](CameraSettings&) {});
}

// ---- Identity and health ----------------------------------------------------

int32_t SimCamera::description(VYK_Description& d)
{
    return query([&] {
        describeSensor(d);
        d.wDoubleImageDESC = config_.doubleImage ? 1 : 0;
        for (size_t i = 0; i < config_.pixelRates.size() && i < 4; ++i)
            d.dwPixelRateDESC[i] = config_.pixelRates[i];
        for (size_t i = 0; i < config_.convFactors.size() && i < 4; ++i)
            d.wConvFactDESC[i] = config_.convFactors[i];
        d.dwMinDelayDESC = config_.minDelayNs;
        d.dwMaxDelayDESC = config_.maxDelayMs;
        d.dwMinDelayStepDESC = config_.delayStepNs;
        d.dwMinExposDESC = config_.minExposureNs;
        d.dwMaxExposDESC = config_.maxExposureMs;
        d.dwMinExposStepDESC = config_.exposureStepNs;
        if (config_.altSensitivity) {
            d.dwMinDelayAltDESC = config_.altMinDelayNs;
            d.dwMaxDelayAltDESC = config_.altMaxDelayMs;
            d.dwMinDelayStepAltDESC = config_.altDelayStepNs;
            d.dwMinExposAltDESC = config_.altMinExposureNs;
            d.dwMaxExposAltDESC = config_.altMaxExposureMs;
            d.dwMinExposStepAltDESC = config_.altExposureStepNs;
            d.wAltSensitivityDESC = 1;
        }
        d.wPatternTypeDESC = 0;
        uint32_t caps = 0;
        caps |= config_.noiseFilter ? VYK_CAPS1_NOISE_FILTER : 0u;
        caps |= config_.timestampAscii ? VYK_CAPS1_TIMESTAMP_ASCII : 0u;
        caps |= config_.extExposureControl ? 0u : VYK_CAPS1_NO_EXTEXPCTRL;
        caps |= config_.timestamp ? 0u : VYK_CAPS1_NO_TIMESTAMP;
        caps |= config_.acquireMode ? 0u : VYK_CAPS1_NO_ACQUIRE_MODE;
        caps |= config_.ramPages != 0 ? 0u : VYK_CAPS1_NO_CAMRAM;
        caps |= config_.metadata ? VYK_CAPS1_METADATA : 0u;
        caps |= config_.lineSensor ? VYK_CAPS1_LINE_SENSOR : 0u;
        caps |= config_.extAcquireMode ? VYK_CAPS1_EXT_ACQUIRE_MODE : 0u;
        caps |= config_.roiSymmetricVert ? VYK_CAPS1_ROI_VERT_SYMMETRIC : 0u;
        caps |= config_.roiSymmetricHorz ? VYK_CAPS1_ROI_HORZ_SYMMETRIC : 0u;
        caps |= (config_.minWidth != 0 || config_.minHeight != 0) ? VYK_CAPS1_DESCRIPTION2 : 0u;
        d.dwGeneralCapsDESC1 = caps;
        d.dwGeneralCapsDESC2 = (config_.averageBinning ? VYK_CAPS2_AVERAGE_BINNING : 0u)
            | (config_.pixelFormatFlags.empty() ? 0u : VYK_CAPS2_PIXEL_FORMAT);
        descriptionChanged_ = false;
        return VYK_NOERROR;
    });
}

int32_t SimCamera::description2(VYK_Description2& d)
{
    return query([&] {
        if (config_.minWidth == 0 && config_.minHeight == 0)
            return VYK_ERR_NOT_SUPPORTED;
        std::memset(&d, 0, sizeof d);
        d.wSize = sizeof d;
        d.wMinSizeHorzDESC = std::max<uint16_t>(1, config_.minWidth);
        d.wMinSizeVertDESC = std::max<uint16_t>(1, config_.minHeight);
        return VYK_NOERROR;
    });
}

int32_t SimCamera::health(uint32_t* warnings, uint32_t* errors, uint32_t* status)
{
    return query([&] {
        const bool due = secondsBetween(openTime_, Clock::now()) >= config_.healthAfterS;
        reportHealth(warnings, errors, status, due ? config_.healthWarnings : 0u, due ? config_.healthErrors : 0u,
                     (due ? config_.healthStatus : 0u) | (descriptionChanged_ ? VYK_STATUS_DESCRIPTION_CHANGED : 0u));
        return VYK_NOERROR;
    });
}

// ---- Arming -------------------------------------------------------------------

void SimCamera::timingLimits(uint32_t& minExpNs, uint32_t& maxExpMs, uint32_t& expStepNs, uint32_t& minDelayNs,
                             uint32_t& maxDelayMs) const
{
    const bool alt = config_.altSensitivity && settings_.altSensitivity != 0;
    minExpNs = alt ? config_.altMinExposureNs : config_.minExposureNs;
    maxExpMs = alt ? config_.altMaxExposureMs : config_.maxExposureMs;
    expStepNs = alt ? config_.altExposureStepNs : config_.exposureStepNs;
    minDelayNs = alt ? config_.altMinDelayNs : config_.minDelayNs;
    maxDelayMs = alt ? config_.altMaxDelayMs : config_.maxDelayMs;
}

int32_t SimCamera::validateForArm(const CameraSettings& s) const
{
    uint16_t width = 0;
    uint16_t height = 0;
    CameraSettings::formatSize(config_, s.sensorFormat, width, height);
    const uint16_t binH = s.binHorz & VYK_BINNING_FACTOR_MASK;
    const uint16_t binV = s.binVert & VYK_BINNING_FACTOR_MASK;
    const uint32_t maxX = width / binH;
    const uint32_t maxY = height / binV;
    if (s.roiX1 > maxX || s.roiY1 > maxY || maxX == 0 || maxY == 0)
        return VYK_ERR_INVALID_ARGUMENT;
    const uint32_t roiWidth = uint32_t(s.roiX1) - s.roiX0 + 1;
    const uint32_t roiHeight = uint32_t(s.roiY1) - s.roiY0 + 1;
    if (roiWidth < std::max<uint32_t>(1, config_.minWidth / binH)
        || roiHeight < std::max<uint32_t>(1, config_.minHeight / binV))
        return VYK_ERR_INVALID_ARGUMENT;
    if (config_.roiSymmetricHorz && s.roiX0 - 1u != maxX - s.roiX1)
        return VYK_ERR_INVALID_ARGUMENT;
    if (config_.roiSymmetricVert && s.roiY0 - 1u != maxY - s.roiY1)
        return VYK_ERR_INVALID_ARGUMENT;
    uint32_t minExpNs, maxExpMs, stepNs, minDelayNs, maxDelayMs;
    timingLimits(minExpNs, maxExpMs, stepNs, minDelayNs, maxDelayMs);
    const uint64_t exposureNs = CameraSettings::toNanoseconds(s.exposure, s.exposureBase);
    const uint64_t delayNs = CameraSettings::toNanoseconds(s.delay, s.delayBase);
    if (exposureNs + stepNs < minExpNs || exposureNs > uint64_t(maxExpMs) * 1000000u || delayNs < minDelayNs
        || delayNs > uint64_t(maxDelayMs) * 1000000u)
        return VYK_ERR_INVALID_ARGUMENT;
    return VYK_NOERROR;
}

double SimCamera::readoutSeconds(const CameraSettings& s) const
{
    uint16_t width = 0;
    uint16_t height = 0;
    CameraSettings::formatSize(config_, s.sensorFormat, width, height);
    const double rows = double(uint32_t(s.roiY1) - s.roiY0 + 1) * (s.binVert & VYK_BINNING_FACTOR_MASK);
    const double rate = s.pixelRate != 0 ? double(s.pixelRate) : 1e8;
    return rows * double(width) / rate;
}

int32_t SimCamera::armLocked()
{
    const int32_t valid = validateForArm(settings_);
    if (VYK_FAILED(valid))
        return valid;
    armed_ = renderer_.prepare(settings_, readoutSeconds(settings_), armed_);
    armedCurrent_ = true;
    return VYK_NOERROR;
}

int32_t SimCamera::setTransferMode(uint16_t mode)
{
    std::lock_guard<std::mutex> lock(mutex_);
    const int32_t alive = checkAlive();
    if (VYK_FAILED(alive))
        return alive;
    if (!isOnOff(mode))
        return VYK_ERR_INVALID_ARGUMENT;
    if (recording_)
        return VYK_ERR_RECORDING_RUNS;
    transferMode_ = mode;
    return VYK_NOERROR;
}

// ---- Timing --------------------------------------------------------------------

bool SimCamera::timingAllowed(uint64_t delayNs, uint64_t exposureNs) const
{
    uint32_t minExpNs, maxExpMs, stepNs, minDelayNs, maxDelayMs;
    timingLimits(minExpNs, maxExpMs, stepNs, minDelayNs, maxDelayMs);
    // One step below the minimum is accepted (rounding of converted times) and taken as the minimum.
    if (exposureNs + stepNs < minExpNs || exposureNs > uint64_t(maxExpMs) * 1000000u)
        return false;
    return delayNs >= minDelayNs && delayNs <= uint64_t(maxDelayMs) * 1000000u;
}

int32_t SimCamera::applyLiveTiming(const CameraSettings&)
{
    wake_.notify_all(); // the next image is timed with the new values
    return VYK_NOERROR;
}

uint64_t SimCamera::liveExposureNs() const
{
    if (settings_.triggerMode == VYK_TRIGGER_EXTERNAL_CONTROL)
        return static_cast<uint64_t>(config_.externalPulseS * 1e9);
    uint32_t minExpNs, maxExpMs, stepNs, minDelayNs, maxDelayMs;
    timingLimits(minExpNs, maxExpMs, stepNs, minDelayNs, maxDelayMs);
    return std::max<uint64_t>(minExpNs, CameraSettings::toNanoseconds(settings_.exposure, settings_.exposureBase));
}

double SimCamera::periodSeconds() const
{
    const double exposing =
        double(CameraSettings::toNanoseconds(settings_.delay, settings_.delayBase) + liveExposureNs()) * 1e-9;
    return std::max(exposing, armed_->readoutS);
}

int32_t SimCamera::pixelRate(uint32_t* rate)
{
    return query([&] {
        *rate = settings_.pixelRate;
        return VYK_NOERROR;
    });
}

int32_t SimCamera::setPixelRate(uint32_t rate)
{
    return change([&](CameraSettings& next) {
        if (std::find(config_.pixelRates.begin(), config_.pixelRates.end(), rate) == config_.pixelRates.end())
            return VYK_ERR_INVALID_ARGUMENT;
        next.pixelRate = rate;
        return VYK_NOERROR;
    });
}

// ---- Geometry ------------------------------------------------------------------

int32_t SimCamera::checkBinningMode(uint16_t modeHorz, uint16_t modeVert) const
{
    if (modeHorz != modeVert || (modeHorz != 0 && modeHorz != VYK_BINNING_AVERAGE))
        return VYK_ERR_INVALID_ARGUMENT;
    if (modeHorz == VYK_BINNING_AVERAGE && !config_.averageBinning)
        return VYK_ERR_NOT_SUPPORTED;
    return VYK_NOERROR;
}

int32_t SimCamera::sensorFormat(uint16_t* format)
{
    return query([&] {
        *format = settings_.sensorFormat;
        return VYK_NOERROR;
    });
}

int32_t SimCamera::setSensorFormat(uint16_t format)
{
    return change([&](CameraSettings& next) {
        if (!isOnOff(format))
            return VYK_ERR_INVALID_ARGUMENT;
        if (format != next.sensorFormat) {
            next.sensorFormat = format;
            CameraSettings::formatSize(config_, format, next.roiX1, next.roiY1);
            next.roiX0 = 1;
            next.roiY0 = 1;
            next.binHorz = 1;
            next.binVert = 1;
        }
        return VYK_NOERROR;
    });
}

// ---- Pixel values --------------------------------------------------------------

int32_t SimCamera::conversionFactor(uint16_t* factor)
{
    return query([&] {
        if (config_.convFactors.empty())
            return VYK_ERR_NOT_SUPPORTED;
        *factor = settings_.convFactor;
        return VYK_NOERROR;
    });
}

int32_t SimCamera::setConversionFactor(uint16_t factor)
{
    return change([&](CameraSettings& next) {
        if (config_.convFactors.empty())
            return VYK_ERR_NOT_SUPPORTED;
        if (std::find(config_.convFactors.begin(), config_.convFactors.end(), factor) == config_.convFactors.end())
            return VYK_ERR_INVALID_ARGUMENT;
        next.convFactor = factor;
        return VYK_NOERROR;
    });
}

uint32_t SimCamera::supportedPixelFormats() const
{
    uint32_t flags = CameraConfig::flagOfBits(config_.bitDepth);
    for (uint32_t flag : config_.pixelFormatFlags)
        flags |= flag;
    return flags;
}

bool SimCamera::offersPixelFormat(uint32_t flag) const
{
    return CameraConfig::bitsOfFlag(flag) != 0 && (flag & supportedPixelFormats()) != 0;
}

int32_t SimCamera::noiseFilter(uint16_t* mode)
{
    return readSwitch(config_.noiseFilter, &CameraSettings::noiseFilter, mode);
}

int32_t SimCamera::setNoiseFilter(uint16_t mode)
{
    return writeSwitch(config_.noiseFilter, &CameraSettings::noiseFilter, mode);
}

int32_t SimCamera::darkOffset(uint16_t* offset)
{
    return query([&] {
        *offset = config_.darkOffset;
        return VYK_NOERROR;
    });
}

int32_t SimCamera::doubleImage(uint16_t* mode)
{
    return readSwitch(config_.doubleImage, &CameraSettings::doubleImage, mode);
}

int32_t SimCamera::setDoubleImage(uint16_t mode)
{
    return writeSwitch(config_.doubleImage, &CameraSettings::doubleImage, mode);
}

int32_t SimCamera::altSensitivity(uint16_t* mode)
{
    return readSwitch(config_.altSensitivity, &CameraSettings::altSensitivity, mode);
}

int32_t SimCamera::setAltSensitivity(uint16_t mode)
{
    return writeSwitch(config_.altSensitivity, &CameraSettings::altSensitivity, mode, [&](CameraSettings& next) {
        if (next.altSensitivity != mode)
            descriptionChanged_ = true; // the timing limits in force changed
    });
}

int32_t SimCamera::colorSetting(uint16_t* setting)
{
    return query([&] {
        *setting = config_.colorSetting;
        return VYK_NOERROR;
    });
}

int32_t SimCamera::colorMatrix(double* matrix)
{
    return query([&] {
        if (config_.pixelFormatFlags.empty())
            return VYK_ERR_NOT_SUPPORTED;
        std::copy(config_.colorMatrix.begin(), config_.colorMatrix.end(), matrix);
        return VYK_NOERROR;
    });
}

// ---- Attachments ---------------------------------------------------------------

uint16_t SimCamera::maxTimestampMode() const
{
    return config_.timestampAscii ? VYK_TIMESTAMP_ASCII : VYK_TIMESTAMP_BINARY_ASCII;
}

// ---- Trigger and acquire -------------------------------------------------------

bool SimCamera::offersTriggerMode(uint16_t mode) const
{
    return mode < VYK_TRIGGER_EXTERNAL_CONTROL || (mode == VYK_TRIGGER_EXTERNAL_CONTROL && config_.extExposureControl);
}

int32_t SimCamera::forceTrigger(uint16_t* accepted)
{
    std::lock_guard<std::mutex> lock(mutex_);
    *accepted = 0;
    const int32_t alive = checkAlive();
    if (VYK_FAILED(alive))
        return alive;
    if (!recording_ || settings_.triggerMode != VYK_TRIGGER_SOFTWARE || triggerPending_
        || Clock::now() < busyUntil_)
        return VYK_ERR_TRIGGER_REJECTED;
    triggerPending_ = true;
    triggerTime_ = Clock::now();
    *accepted = 1;
    wake_.notify_all();
    return VYK_NOERROR;
}

int32_t SimCamera::acquireMode(uint16_t* mode)
{
    return readSwitch(config_.acquireMode, &CameraSettings::acquireMode, mode);
}

int32_t SimCamera::setAcquireMode(uint16_t mode)
{
    return writeSwitch(config_.acquireMode, &CameraSettings::acquireMode, mode,
                       [](CameraSettings& next) { next.acquireNumber = 0; });
}

int32_t SimCamera::acquireModeEx(uint16_t* mode, uint32_t* number)
{
    return query([&] {
        if (!config_.extAcquireMode)
            return VYK_ERR_NOT_SUPPORTED;
        *mode = settings_.acquireMode;
        *number = settings_.acquireNumber;
        return VYK_NOERROR;
    });
}

int32_t SimCamera::setAcquireModeEx(uint16_t mode, uint32_t number)
{
    return change([&](CameraSettings& next) {
        if (!config_.extAcquireMode)
            return VYK_ERR_NOT_SUPPORTED;
        if (!isOnOff(mode) && !(mode == VYK_ACQUIRE_SEQUENCE && number >= 1))
            return VYK_ERR_INVALID_ARGUMENT;
        next.acquireMode = mode;
        next.acquireNumber = mode == VYK_ACQUIRE_SEQUENCE ? number : 0;
        return VYK_NOERROR;
    });
}

// ---- Recording -----------------------------------------------------------------

int32_t SimCamera::setRecordingState(uint16_t state)
{
    std::lock_guard<std::mutex> lock(mutex_);
    const int32_t alive = checkAlive();
    if (VYK_FAILED(alive))
        return alive;
    if (!isOnOff(state))
        return VYK_ERR_INVALID_ARGUMENT;
    if ((state == 1) == recording_)
        return VYK_NOERROR;
    if (state == 1) {
        if (!armedCurrent_)
            return VYK_ERR_NOT_ARMED;
        const Clock::time_point now = Clock::now();
        recordStart_ = now;
        nextAutoStart_ = now;
        busyUntil_ = now;
        triggerPending_ = false;
        imageCounter_ = 0;
        if (config_.ramPages != 0 && storageMode_ == VYK_STORAGE_RECORDER)
            ram_.restart(activeSegment_, armed_->width, armed_->height);
    }
    recording_ = state == 1;
    wake_.notify_all();
    return VYK_NOERROR;
}

// ---- Camera RAM ----------------------------------------------------------------

int32_t SimCamera::ramSize(VYK_RamSize& out)
{
    return ramOperation(false, [&] {
        std::memset(&out, 0, sizeof out);
        out.wSize = sizeof out;
        out.wPageSize = ram_.pageSize();
        out.dwRamSize = ram_.totalPages();
        return VYK_NOERROR;
    });
}

int32_t SimCamera::segmentSizes(uint32_t* sizes)
{
    return ramOperation(false, [&] {
        for (uint16_t i = 0; i < CamRam::kSegments; ++i)
            sizes[i] = ram_.segmentPages(i + 1);
        return VYK_NOERROR;
    });
}

int32_t SimCamera::setSegmentSizes(const uint32_t* sizes)
{
    return ramOperation(true, [&] { return ram_.setSegmentPages(sizes) ? VYK_NOERROR : VYK_ERR_INVALID_ARGUMENT; });
}

int32_t SimCamera::activeSegment(uint16_t* segment)
{
    return ramOperation(false, [&] {
        *segment = activeSegment_;
        return VYK_NOERROR;
    });
}

int32_t SimCamera::setActiveSegment(uint16_t segment)
{
    return ramOperation(true, [&] {
        if (segment < 1 || segment > CamRam::kSegments)
            return VYK_ERR_INVALID_ARGUMENT;
        activeSegment_ = segment;
        return VYK_NOERROR;
    });
}

int32_t SimCamera::segmentImages(uint16_t segment, uint32_t* valid, uint32_t* maximum)
{
    return ramOperation(false, [&] {
        if (segment < 1 || segment > CamRam::kSegments)
            return VYK_ERR_INVALID_ARGUMENT;
        if (valid != nullptr)
            *valid = ram_.validCount(segment);
        if (maximum != nullptr)
            *maximum = ram_.capacity(segment, armed_->width, armed_->height);
        return VYK_NOERROR;
    });
}

int32_t SimCamera::storageMode(uint16_t* mode)
{
    return ramOperation(false, [&] {
        *mode = storageMode_;
        return VYK_NOERROR;
    });
}

int32_t SimCamera::setStorageMode(uint16_t mode)
{
    return ramOperation(true, [&] {
        if (!isOnOff(mode))
            return VYK_ERR_INVALID_ARGUMENT;
        storageMode_ = mode;
        return VYK_NOERROR;
    });
}

int32_t SimCamera::recorderSubmode(uint16_t* mode)
{
    return ramOperation(false, [&] {
        *mode = submode_;
        return VYK_NOERROR;
    });
}

int32_t SimCamera::setRecorderSubmode(uint16_t mode)
{
    return ramOperation(true, [&] {
        if (!isOnOff(mode))
            return VYK_ERR_INVALID_ARGUMENT;
        submode_ = mode;
        return VYK_NOERROR;
    });
}

// ---- Hand-over to the recorder ---------------------------------------------------

int32_t SimCamera::readCamRam(uint16_t segment, uint32_t index, SimFrame& out)
{
    FrameRecipe recipe;
    const int32_t result = ramOperation(false, [&] {
        if (segment < 1 || segment > CamRam::kSegments)
            return VYK_ERR_INVALID_ARGUMENT;
        return ram_.recipeAt(segment, index, recipe) ? VYK_NOERROR : VYK_ERR_INVALID_ARGUMENT;
    });
    if (VYK_FAILED(result))
        return result;
    renderer_.render(recipe, out);
    return VYK_NOERROR;
}

FrameRecipe SimCamera::nextRecipe(uint32_t imageNumber)
{
    FrameRecipe recipe;
    recipe.setup = armed_;
    recipe.sceneIndex = sceneIndex_++;
    recipe.imageNumber = imageNumber;
    recipe.exposureNs = liveExposureNs();
    if (settings_.triggerMode == VYK_TRIGGER_EXTERNAL_CONTROL) {
        recipe.exposureValue = static_cast<uint32_t>(recipe.exposureNs / 1000u);
        recipe.exposureBase = VYK_TIMEBASE_US;
    } else {
        recipe.exposureValue = settings_.exposure;
        recipe.exposureBase = settings_.exposureBase;
    }
    recipe.frameTimeS = periodSeconds();
    recipe.wallTimeUs = std::chrono::duration_cast<std::chrono::microseconds>(
                            std::chrono::system_clock::now().time_since_epoch()).count();
    return recipe;
}

int32_t SimCamera::renderFrame(SimFrame& out)
{
    FrameRecipe recipe;
    const int32_t result = query([&] {
        recipe = nextRecipe(static_cast<uint32_t>(sceneIndex_ + 1));
        return VYK_NOERROR;
    });
    if (VYK_FAILED(result))
        return result;
    renderer_.render(recipe, out);
    return VYK_NOERROR;
}

// ---- Frame thread ----------------------------------------------------------------

bool SimCamera::nextStart(Clock::time_point now, Clock::time_point& start)
{
    (void)now;
    const double interval = 1.0 / config_.externalTriggerHz;
    // The first external pulse at or after a time.
    auto pulseAtOrAfter = [&](Clock::time_point t) {
        const double since = std::max(0.0, secondsBetween(recordStart_, t));
        const double k = std::max(1.0, std::ceil(since / interval - 1e-9));
        return recordStart_ + seconds(k * interval);
    };
    switch (settings_.triggerMode) {
    case VYK_TRIGGER_AUTO:
        start = nextAutoStart_;
        break;
    case VYK_TRIGGER_SOFTWARE:
        if (!triggerPending_)
            return false;
        start = triggerTime_;
        break;
    default:
        start = pulseAtOrAfter(busyUntil_);
        break;
    }
    if (settings_.acquireMode == VYK_ACQUIRE_EXTERNAL && settings_.triggerMode != VYK_TRIGGER_SOFTWARE) {
        // Exposures start only while the acquire-enable input is high.
        const double since = secondsBetween(recordStart_, start);
        if (since - std::floor(since) >= kAcquireHighFraction) {
            start = recordStart_ + seconds(std::floor(since) + 1.0);
            if (settings_.triggerMode != VYK_TRIGGER_AUTO)
                start = pulseAtOrAfter(start);
            else
                nextAutoStart_ = start;
        }
    }
    return true;
}

void SimCamera::frameLoop()
{
    std::unique_lock<std::mutex> lock(mutex_);
    while (!stop_) {
        if (!recording_ || failed_) {
            wake_.wait(lock);
            continue;
        }
        const Clock::time_point now = Clock::now();
        Clock::time_point failTime = Clock::time_point::max();
        if (config_.failAfterS > 0.0) {
            failTime = openTime_ + seconds(config_.failAfterS);
            if (now >= failTime) {
                failed_ = true;
                recording_ = false;
                continue;
            }
        }
        Clock::time_point start;
        if (!nextStart(now, start)) {
            if (failTime == Clock::time_point::max())
                wake_.wait(lock);
            else
                wake_.wait_until(lock, failTime);
            continue;
        }
        const Clock::time_point due = start + seconds(periodSeconds());
        if (now < due) {
            wake_.wait_until(lock, std::min(due, failTime));
            continue; // settings, state or time changed: decide again
        }
        std::vector<FrameRecipe> images;
        const int perExposure = settings_.doubleImage ? 2 : 1;
        for (int i = 0; i < perExposure; ++i)
            images.push_back(nextRecipe(++imageCounter_));
        busyUntil_ = due;
        if (settings_.triggerMode == VYK_TRIGGER_AUTO)
            nextAutoStart_ = (now - due > kMaxLag) ? now : due;
        triggerPending_ = false;
        imagesMade_ += images.size();
        deliver(lock, images);
    }
}

void SimCamera::deliver(std::unique_lock<std::mutex>& lock, const std::vector<FrameRecipe>& images)
{
    bool stopNow = false;
    if (config_.ramPages != 0 && storageMode_ == VYK_STORAGE_RECORDER) {
        for (const FrameRecipe& image : images) {
            if (ram_.store(activeSegment_, image, submode_ == VYK_RAM_SUBMODE_RING)
                == CamRam::StoreResult::StoredNowFull)
                stopNow = true; // sequence sub-mode: the segment is full
        }
    }
    if (settings_.acquireMode == VYK_ACQUIRE_SEQUENCE && imageCounter_ >= settings_.acquireNumber)
        stopNow = true;
    if (config_.failAfterFrames != 0 && imagesMade_ >= config_.failAfterFrames) {
        failed_ = true;
        stopNow = true;
    }
    if (stopNow)
        recording_ = false;
    if (transferMode_ == 0)
        return;
    lock.unlock();
    {
        std::lock_guard<std::mutex> sinkLock(sinkMutex_);
        if (sink_) {
            for (const FrameRecipe& image : images) {
                renderer_.render(image, frameBuffer_);
                sink_(frameBuffer_);
            }
        }
    }
    lock.lock();
}

} // namespace vyksim
