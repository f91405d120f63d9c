// A GenICam camera driven through Aravis.
#include "GenicamCamera.h"

#include "FrameStamp.h"
#include "GObjectReaper.h"

#include <arv.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace vyksim {

namespace {

// Buffers queued on the stream: about 64 MiB, between 4 and 32.
constexpr size_t kStreamBytes = size_t(64) << 20;
// The frame thread waits this long for a buffer before it looks at its stop flag again (us).
constexpr guint64 kPopTimeoutUs = 100000;
// Larger jumps of the frame id are taken as a camera that restarted its count, not as losses.
constexpr uint64_t kMaxFrameGap = 10000;
// A free-running camera silent for this long (plus its frame time) is asked whether it still answers.
constexpr double kSilenceS = 2.0;
// Exposure resolution given to clients: GenICam cameras take exposure in microseconds.
constexpr uint32_t kTimeStepNs = 1000;

// The Bayer patterns as colour-pattern words: one nibble per pixel of the 2x2 cell (1 R,
// 2 G in the R row, 3 G in the B row, 4 B), top left in the lowest nibble.
struct Pattern {
    const char* prefix;
    uint16_t word;
};
constexpr Pattern kPatterns[] = {{"BayerRG", 0x4321}, {"BayerBG", 0x1234}, {"BayerGR", 0x3412}, {"BayerGB", 0x2143}};

// Unpacked bit depths taken; packed layouts ("Mono12p", "Mono12Packed") are not offered.
constexpr uint16_t kDepths[] = {8, 10, 12, 14, 16};

uint32_t flagOfBits(uint16_t bits)
{
    return CameraConfig::flagOfBits(bits);
}

// Releases a GError on scope exit.
struct ErrorHolder {
    GError* error = nullptr;
    ~ErrorHolder()
    {
        if (error != nullptr)
            g_error_free(error);
    }
    GError** out() { return &error; }
    GError* take() { return std::exchange(error, nullptr); }
};

} // namespace

// ---- Opening ---------------------------------------------------------------------

std::shared_ptr<GenicamCamera> GenicamCamera::open(const GenicamId& id, uint16_t numberAtInterface, int32_t& result)
{
    if (id.device.rfind("Fake_", 0) == 0)
        arv_enable_interface("Fake");
    ErrorHolder error;
    GObjectRef<ArvCamera> camera(arv_camera_new(id.device.c_str(), error.out()));
    if (!camera) {
        result = VYK_ERR_NO_CAMERA;
        return nullptr;
    }
    if (!id.features.empty()
        && !arv_device_set_features_from_string(arv_camera_get_device(camera.get()), id.features.c_str(),
                                                error.out())) {
        result = VYK_ERR_INVALID_ARGUMENT;
        return nullptr;
    }
    std::shared_ptr<GenicamCamera> opened(new GenicamCamera(id, numberAtInterface, std::move(camera)));
    std::lock_guard<std::mutex> lock(opened->mutex_);
    result = opened->readCapabilities();
    if (VYK_FAILED(result))
        return nullptr;
    opened->settings_ = opened->defaults_;
    result = opened->armLocked();
    return VYK_FAILED(result) ? nullptr : opened;
}

std::vector<GenicamId> GenicamCamera::discoverAll()
{
    std::vector<GenicamId> found;
    arv_update_device_list();
    const unsigned count = arv_get_n_devices();
    for (unsigned i = 0; i < count; ++i) {
        const char* device = arv_get_device_id(i);
        if (device == nullptr)
            continue;
        GenicamId id;
        id.device = device;
        const char* protocol = arv_get_device_protocol(i);
        id.interfaceType = protocol != nullptr && std::strcmp(protocol, "USB3Vision") == 0 ? VYK_INTERFACE_USB3
                                                                                          : VYK_INTERFACE_GIGE;
        found.push_back(id);
    }
    return found;
}

GenicamCamera::GenicamCamera(const GenicamId& id, uint16_t numberAtInterface, GObjectRef<ArvCamera> camera)
    : id_(id)
    , number_(numberAtInterface)
    , camera_(std::move(camera))
{
    ArvDevice* device = arv_camera_get_device(camera_.get());
    if (ARV_IS_GV_DEVICE(device))
        controlLostHandler_ = g_signal_connect(device, "control-lost", G_CALLBACK(&GenicamCamera::onControlLost), this);
}

GenicamCamera::~GenicamCamera()
{
    shutdown();
}

int32_t GenicamCamera::shutdown()
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (closed_)
        return VYK_NOERROR;
    closed_ = true;
    stopFrames();
    recording_ = false;
    if (controlLostHandler_ != 0)
        g_signal_handler_disconnect(arv_camera_get_device(camera_.get()), controlLostHandler_);
    controlLostHandler_ = 0;
    releaseObject(camera_);
    return failed_ ? VYK_ERR_DEVICE_TIMEOUT : VYK_NOERROR;
}

void GenicamCamera::onControlLost(void* /*device*/, void* self)
{
    static_cast<GenicamCamera*>(self)->failed_ = true;
}

std::string GenicamCamera::featureName(const char* standard, const char* fallback)
{
    for (const char* name : {standard, fallback}) {
        if (name != nullptr && arv_camera_is_feature_available(camera_.get(), name, nullptr))
            return name;
    }
    return std::string();
}

int32_t GenicamCamera::readCapabilities()
{
    ArvCamera* cam = camera_.get();
    ErrorHolder error;
    Capabilities c;
    const char* vendor = arv_camera_get_vendor_name(cam, nullptr);
    const char* model = arv_camera_get_model_name(cam, nullptr);
    c.name = std::string(vendor != nullptr ? vendor : "GenICam") + " " + (model != nullptr ? model : "camera");
    const char* serialText = arv_camera_get_device_serial_number(cam, nullptr);
    c.serialText = serialText != nullptr ? serialText : id_.device;
    c.serial = serialOfGenicamText(c.serialText);
    c.interfaceType = arv_camera_is_gv_device(cam)   ? uint16_t(VYK_INTERFACE_GIGE)
                    : arv_camera_is_uv_device(cam) ? uint16_t(VYK_INTERFACE_USB3)
                                                   : id_.interfaceType;

    gint width = 0, height = 0;
    arv_camera_get_sensor_size(cam, &width, &height, error.out());
    if (error.error != nullptr)
        return failure(error.take());
    c.sensorWidth = uint16_t(std::clamp(width, 0, 65535));
    c.sensorHeight = uint16_t(std::clamp(height, 0, 65535));
    if (arv_camera_is_region_offset_available(cam, nullptr)) {
        c.roiStepHorz = uint16_t(std::max(arv_camera_get_width_increment(cam, nullptr),
                                          arv_camera_get_x_offset_increment(cam, nullptr)));
        c.roiStepVert = uint16_t(std::max(arv_camera_get_height_increment(cam, nullptr),
                                          arv_camera_get_y_offset_increment(cam, nullptr)));
        c.roiStepHorz = std::max<uint16_t>(c.roiStepHorz, 1);
        c.roiStepVert = std::max<uint16_t>(c.roiStepVert, 1);
    }
    if (arv_camera_is_binning_available(cam, nullptr)) {
        gint low = 1, high = 1;
        arv_camera_get_x_binning_bounds(cam, &low, &high, nullptr);
        c.maxBinHorz = uint16_t(std::clamp(high, 1, 64));
        arv_camera_get_y_binning_bounds(cam, &low, &high, nullptr);
        c.maxBinVert = uint16_t(std::clamp(high, 1, 64));
        c.binLinear = arv_camera_get_x_binning_increment(cam, nullptr) <= 1;
    }

    c.exposureFeature = featureName("ExposureTime", "ExposureTimeAbs");
    if (!c.exposureFeature.empty())
        arv_camera_get_float_bounds(cam, c.exposureFeature.c_str(), &c.minExposureUs, &c.maxExposureUs, nullptr);
    c.delayFeature = featureName("TriggerDelay", "TriggerDelayAbs");
    if (!c.delayFeature.empty()) {
        double low = 0.0;
        arv_camera_get_float_bounds(cam, c.delayFeature.c_str(), &low, &c.maxDelayUs, nullptr);
    }
    c.frameRateFeature = featureName("AcquisitionFrameRate", "AcquisitionFrameRateAbs");
    if (!c.frameRateFeature.empty())
        arv_camera_get_float_bounds(cam, c.frameRateFeature.c_str(), &c.minFrameRate, &c.maxFrameRate, nullptr);
    c.temperatureFeature = featureName("DeviceTemperature");

    c.hasTriggerSelector = arv_camera_is_feature_available(cam, "TriggerSelector", nullptr);
    if (arv_camera_is_feature_available(cam, "TriggerMode", nullptr)) {
        guint n = 0;
        const char** sources = arv_camera_dup_available_enumerations_as_strings(cam, "TriggerSource", &n, nullptr);
        for (guint i = 0; sources != nullptr && i < n; ++i) {
            const std::string source = sources[i];
            if (source == "Software")
                c.softwareTrigger = arv_camera_is_feature_available(cam, "TriggerSoftware", nullptr);
            else if (source.rfind("Line", 0) == 0 && c.lineSource.empty())
                c.lineSource = source;
        }
        g_free(sources);
    }

    // Pixel formats: a camera offering Bayer formats is a colour camera and offers only the
    // Bayer formats of the pattern it starts with; a mono camera offers its Mono formats.
    const char* currentFormat = arv_camera_get_pixel_format_as_string(cam, error.out());
    if (error.error != nullptr)
        return failure(error.take());
    const std::string current = currentFormat != nullptr ? currentFormat : "";
    std::string family = "Mono";
    for (const Pattern& p : kPatterns) {
        if (current.rfind(p.prefix, 0) == 0) {
            family = p.prefix;
            c.color = true;
            c.colorPattern = p.word;
        }
    }
    guint n = 0;
    const char** names = arv_camera_dup_available_pixel_formats_as_strings(cam, &n, nullptr);
    for (uint16_t bits : kDepths) {
        const std::string wanted = family + std::to_string(bits);
        for (guint i = 0; names != nullptr && i < n; ++i) {
            if (wanted == names[i])
                c.formats.push_back({wanted, flagOfBits(bits), bits});
        }
    }
    g_free(names);
    if (c.formats.empty())
        return VYK_ERR_NOT_SUPPORTED; // nothing Rastel can take images in
    c.maxBits = c.formats.back().bits;
    caps_ = c;

    sensorConfig_.serial = c.serial;
    sensorConfig_.name = c.name;
    sensorConfig_.interfaceType = c.interfaceType;
    sensorConfig_.hwVersion = 0; // neither version is read from the camera
    sensorConfig_.fwVersion = 0;
    sensorConfig_.width = c.sensorWidth;
    sensorConfig_.height = c.sensorHeight;
    sensorConfig_.extWidth = c.sensorWidth; // no extended format
    sensorConfig_.extHeight = c.sensorHeight;
    sensorConfig_.bitDepth = c.maxBits;
    sensorConfig_.color = c.color;
    sensorConfig_.colorPattern = c.colorPattern;
    sensorConfig_.maxBinHorz = c.maxBinHorz;
    sensorConfig_.maxBinVert = c.maxBinVert;
    sensorConfig_.binLinear = c.binLinear;
    sensorConfig_.roiStepHorz = c.roiStepHorz;
    sensorConfig_.roiStepVert = c.roiStepVert;

    // Defaults: the camera's own state at open, within what Rastel offers.
    CameraSettings d;
    gint x = 0, y = 0, w = 0, h = 0;
    arv_camera_get_region(cam, &x, &y, &w, &h, error.out());
    if (error.error != nullptr)
        return failure(error.take());
    gint bh = 1, bv = 1;
    if (arv_camera_is_binning_available(cam, nullptr))
        arv_camera_get_binning(cam, &bh, &bv, nullptr);
    d.binHorz = uint16_t(std::max(bh, 1));
    d.binVert = uint16_t(std::max(bv, 1));
    d.roiX0 = uint16_t(x + 1);
    d.roiY0 = uint16_t(y + 1);
    d.roiX1 = uint16_t(x + w);
    d.roiY1 = uint16_t(y + h);
    const Format* fmt = nullptr;
    for (const Format& f : caps_.formats) {
        if (f.name == current)
            fmt = &f;
    }
    d.pixelFormat = (fmt != nullptr ? fmt : &caps_.formats.front())->flag;
    double exposureUs = 10000.0;
    if (!c.exposureFeature.empty())
        exposureUs = arv_camera_get_float(cam, c.exposureFeature.c_str(), nullptr);
    d.exposure = uint32_t(std::lround(std::max(exposureUs, 1.0)));
    d.exposureBase = VYK_TIMEBASE_US;
    d.delay = 0;
    d.delayBase = VYK_TIMEBASE_US;
    d.triggerMode = VYK_TRIGGER_AUTO;
    defaults_ = d;
    return VYK_NOERROR;
}

// ---- Helpers -------------------------------------------------------------------

int32_t GenicamCamera::failure(GError* error)
{
    int32_t code = VYK_ERR_INVALID_ARGUMENT;
    if (error != nullptr && error->domain == ARV_DEVICE_ERROR
        && (error->code == ARV_DEVICE_ERROR_TIMEOUT || error->code == ARV_DEVICE_ERROR_NOT_CONNECTED
            || error->code == ARV_DEVICE_ERROR_TRANSFER_ERROR || error->code == ARV_DEVICE_ERROR_PROTOCOL_ERROR)) {
        failed_ = true;
        code = VYK_ERR_DEVICE_TIMEOUT;
    }
    if (error != nullptr)
        g_error_free(error);
    return code;
}

const GenicamCamera::Format* GenicamCamera::formatOf(uint32_t flag) const
{
    for (const Format& f : caps_.formats) {
        if (f.flag == flag)
            return &f;
    }
    return nullptr;
}

// ---- Identity and health -----------------------------------------------------------

int32_t GenicamCamera::description(VYK_Description& d)
{
    return query([&] {
        describeSensor(d);
        d.dwMinDelayDESC = 0;
        d.dwMaxDelayDESC = uint32_t(caps_.maxDelayUs / 1000.0);
        d.dwMinDelayStepDESC = kTimeStepNs;
        d.dwMinExposDESC = uint32_t(std::ceil(caps_.minExposureUs * 1000.0));
        d.dwMaxExposDESC = uint32_t(caps_.maxExposureUs / 1000.0);
        d.dwMinExposStepDESC = kTimeStepNs;
        d.dwGeneralCapsDESC1 = VYK_CAPS1_NO_CAMRAM | VYK_CAPS1_NO_ACQUIRE_MODE | VYK_CAPS1_NO_EXTEXPCTRL
            | VYK_CAPS1_METADATA;
        d.dwGeneralCapsDESC2 = caps_.formats.size() >= 2 ? VYK_CAPS2_PIXEL_FORMAT : 0u;
        return VYK_NOERROR;
    });
}

int32_t GenicamCamera::health(uint32_t* warnings, uint32_t* errors, uint32_t* status)
{
    return query([&] {
        // Reading from the camera also shows whether it still answers.
        ErrorHolder error;
        if (!caps_.temperatureFeature.empty()) {
            const double celsius = arv_camera_get_float(camera_.get(), caps_.temperatureFeature.c_str(), error.out());
            if (error.error == nullptr)
                temperature_ = int16_t(std::lround(celsius));
        } else {
            arv_camera_get_integer(camera_.get(), "Width", error.out());
        }
        if (error.error != nullptr && VYK_FAILED(failure(error.take())) && failed_)
            return VYK_ERR_DEVICE_TIMEOUT;
        reportHealth(warnings, errors, status, 0, 0, 0);
        return VYK_NOERROR;
    });
}

// ---- Arming ----------------------------------------------------------------------

int32_t GenicamCamera::validateForArm(const CameraSettings& s) const
{
    const uint32_t maxX = caps_.sensorWidth / std::max<uint16_t>(s.binHorz, 1);
    const uint32_t maxY = caps_.sensorHeight / std::max<uint16_t>(s.binVert, 1);
    if (s.roiX1 > maxX || s.roiY1 > maxY || maxX == 0 || maxY == 0)
        return VYK_ERR_INVALID_ARGUMENT;
    return formatOf(s.pixelFormat) != nullptr ? VYK_NOERROR : VYK_ERR_INVALID_ARGUMENT;
}

int32_t GenicamCamera::writeTiming(const CameraSettings& s)
{
    ArvCamera* cam = camera_.get();
    ErrorHolder error;
    const double exposureUs = double(CameraSettings::toNanoseconds(s.exposure, s.exposureBase)) / 1000.0;
    const double delayUs = double(CameraSettings::toNanoseconds(s.delay, s.delayBase)) / 1000.0;
    if (!caps_.exposureFeature.empty())
        arv_camera_set_float(cam, caps_.exposureFeature.c_str(),
                             std::clamp(exposureUs, caps_.minExposureUs, caps_.maxExposureUs), error.out());
    if (error.error == nullptr && !caps_.delayFeature.empty())
        arv_camera_set_float(cam, caps_.delayFeature.c_str(), delayUs, error.out());
    // Free running, one image follows the other as the exposure and the delay allow, as far
    // as the camera's frame rate goes.
    if (error.error == nullptr && !caps_.frameRateFeature.empty()) {
        if (arv_camera_is_feature_available(cam, "AcquisitionFrameRateEnable", nullptr))
            arv_camera_set_boolean(cam, "AcquisitionFrameRateEnable", TRUE, error.out());
        const double wanted = 1e6 / std::max(exposureUs + delayUs, 1.0);
        if (error.error == nullptr)
            arv_camera_set_float(cam, caps_.frameRateFeature.c_str(),
                                 std::clamp(wanted, caps_.minFrameRate, caps_.maxFrameRate), error.out());
    }
    if (error.error != nullptr)
        return failure(error.take());
    double period = (exposureUs + delayUs) * 1e-6;
    if (!caps_.frameRateFeature.empty()) {
        const double rate = arv_camera_get_float(cam, caps_.frameRateFeature.c_str(), error.out());
        if (error.error != nullptr)
            return failure(error.take());
        if (rate > 0.0)
            period = std::max(period, 1.0 / rate);
    }
    frameTimeS_ = period;
    return VYK_NOERROR;
}

int32_t GenicamCamera::writeTrigger(uint16_t mode)
{
    ArvCamera* cam = camera_.get();
    if (!arv_camera_is_feature_available(cam, "TriggerMode", nullptr))
        return mode == VYK_TRIGGER_AUTO ? VYK_NOERROR : VYK_ERR_NOT_SUPPORTED;
    ErrorHolder error;
    if (caps_.hasTriggerSelector)
        arv_camera_set_string(cam, "TriggerSelector", "FrameStart", error.out());
    if (error.error == nullptr)
        arv_camera_set_string(cam, "TriggerMode", mode == VYK_TRIGGER_AUTO ? "Off" : "On", error.out());
    if (error.error == nullptr && mode != VYK_TRIGGER_AUTO)
        arv_camera_set_string(cam, "TriggerSource",
                              mode == VYK_TRIGGER_SOFTWARE ? "Software" : caps_.lineSource.c_str(), error.out());
    return error.error != nullptr ? failure(error.take()) : VYK_NOERROR;
}

int32_t GenicamCamera::armLocked()
{
    const int32_t valid = validateForArm(settings_);
    if (VYK_FAILED(valid))
        return valid;
    const CameraSettings& s = settings_;
    ArvCamera* cam = camera_.get();
    ErrorHolder error;
    if (arv_camera_is_binning_available(cam, nullptr))
        arv_camera_set_binning(cam, s.binHorz, s.binVert, error.out());
    if (error.error == nullptr)
        arv_camera_set_pixel_format_from_string(cam, formatOf(s.pixelFormat)->name.c_str(), error.out());
    // Offsets first to zero, so that the new size fits wherever the old region was.
    if (error.error == nullptr && caps_.roiStepHorz != 0)
        arv_camera_set_region(cam, 0, 0, s.roiX1 - s.roiX0 + 1, s.roiY1 - s.roiY0 + 1, error.out());
    if (error.error == nullptr)
        arv_camera_set_region(cam, s.roiX0 - 1, s.roiY0 - 1, s.roiX1 - s.roiX0 + 1, s.roiY1 - s.roiY0 + 1,
                              error.out());
    if (error.error != nullptr)
        return failure(error.take());
    int32_t result = writeTiming(s);
    if (!VYK_FAILED(result))
        result = writeTrigger(s.triggerMode);
    if (VYK_FAILED(result))
        return result;

    gint x = 0, y = 0, w = 0, h = 0;
    arv_camera_get_region(cam, &x, &y, &w, &h, error.out());
    if (error.error != nullptr)
        return failure(error.take());
    auto setup = std::make_shared<FrameSetup>();
    setup->settings = s;
    setup->width = uint32_t(w);
    setup->height = uint32_t(h);
    setup->binHorz = s.binHorz;
    setup->binVert = s.binVert;
    setup->bitDepth = formatOf(s.pixelFormat)->bits;
    setup->maxValue = uint16_t((1u << setup->bitDepth) - 1u);
    armed_ = setup;
    armedCurrent_ = true;
    return VYK_NOERROR;
}

int32_t GenicamCamera::setTransferMode(uint16_t mode)
{
    return change([&](CameraSettings&) {
        if (!isOnOff(mode))
            return VYK_ERR_INVALID_ARGUMENT;
        transferMode_ = mode;
        return VYK_NOERROR;
    });
}

// ---- Timing ----------------------------------------------------------------------

bool GenicamCamera::timingAllowed(uint64_t delayNs, uint64_t exposureNs) const
{
    // One step below the minimum is accepted (rounding of converted times) and taken as the minimum.
    const double exposure = double(exposureNs);
    if (exposure + kTimeStepNs < caps_.minExposureUs * 1000.0 || exposure > caps_.maxExposureUs * 1000.0)
        return false;
    return double(delayNs) <= caps_.maxDelayUs * 1000.0;
}

int32_t GenicamCamera::applyLiveTiming(const CameraSettings& next)
{
    // Acts from the next image on, as the camera takes exposure changes while it runs.
    return writeTiming(next);
}

int32_t GenicamCamera::pixelRate(uint32_t* rate)
{
    return query([&] {
        *rate = 0;
        return VYK_NOERROR;
    });
}

int32_t GenicamCamera::setPixelRate(uint32_t rate)
{
    // GenICam cameras choose their own readout: only "none" (0) is taken.
    return change([&](CameraSettings&) { return rate == 0 ? VYK_NOERROR : VYK_ERR_INVALID_ARGUMENT; });
}

// ---- Geometry --------------------------------------------------------------------

int32_t GenicamCamera::checkBinningMode(uint16_t modeHorz, uint16_t modeVert) const
{
    // GenICam binning sums or averages as the camera is set up (BinningHorizontalMode): no mode nibble.
    return modeHorz != 0 || modeVert != 0 ? VYK_ERR_NOT_SUPPORTED : VYK_NOERROR;
}

int32_t GenicamCamera::sensorFormat(uint16_t* format)
{
    return query([&] {
        *format = VYK_SENSORFORMAT_STANDARD;
        return VYK_NOERROR;
    });
}

int32_t GenicamCamera::setSensorFormat(uint16_t format)
{
    return change([&](CameraSettings&) {
        return format == VYK_SENSORFORMAT_STANDARD ? VYK_NOERROR : VYK_ERR_INVALID_ARGUMENT;
    });
}

// ---- Pixel values ------------------------------------------------------------------

uint32_t GenicamCamera::supportedPixelFormats() const
{
    uint32_t flags = 0;
    for (const Format& f : caps_.formats)
        flags |= f.flag;
    return flags;
}

bool GenicamCamera::offersPixelFormat(uint32_t flag) const
{
    return formatOf(flag) != nullptr;
}

int32_t GenicamCamera::darkOffset(uint16_t* offset)
{
    return query([&] {
        *offset = 0; // GenICam cameras subtract their black level themselves
        return VYK_NOERROR;
    });
}

int32_t GenicamCamera::colorSetting(uint16_t* setting)
{
    return query([&] {
        *setting = 1;
        return VYK_NOERROR;
    });
}

int32_t GenicamCamera::colorMatrix(double* matrix)
{
    return query([&] {
        // Offered with a choice of pixel formats. A GenICam camera applies its own colour
        // correction (if any) on the camera: the matrix for the raw data is the identity.
        if (caps_.formats.size() < 2)
            return VYK_ERR_NOT_SUPPORTED;
        const double identity[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
        std::copy(identity, identity + 9, matrix);
        return VYK_NOERROR;
    });
}

// ---- Attachments ---------------------------------------------------------------------

// ---- Trigger and acquire ---------------------------------------------------------------

bool GenicamCamera::offersTriggerMode(uint16_t mode) const
{
    return mode == VYK_TRIGGER_AUTO || (mode == VYK_TRIGGER_SOFTWARE && caps_.softwareTrigger)
        || (mode == VYK_TRIGGER_EXTERNAL_START && !caps_.lineSource.empty());
}

int32_t GenicamCamera::forceTrigger(uint16_t* accepted)
{
    std::lock_guard<std::mutex> lock(mutex_);
    *accepted = 0;
    const int32_t alive = checkAlive();
    if (VYK_FAILED(alive))
        return alive;
    // One image per accepted trigger: a trigger is refused until the image of the previous
    // one has arrived (or clearly will not: twice its frame time and at least a second).
    const double waitS = std::max(1.0, 2.0 * frameTimeS_);
    const bool previousOpen =
        triggerPending_ && std::chrono::duration<double>(Clock::now() - triggerSentAt_).count() < waitS;
    if (!recording_ || settings_.triggerMode != VYK_TRIGGER_SOFTWARE || previousOpen)
        return VYK_ERR_TRIGGER_REJECTED;
    ErrorHolder error;
    arv_camera_software_trigger(camera_.get(), error.out());
    if (error.error != nullptr)
        return failure(error.take());
    triggerPending_ = true;
    triggerSentAt_ = Clock::now();
    *accepted = 1;
    return VYK_NOERROR;
}

// ---- Recording -------------------------------------------------------------------------

int32_t GenicamCamera::setRecordingState(uint16_t state)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (closed_)
        return VYK_ERR_INVALID_HANDLE;
    if (!isOnOff(state))
        return VYK_ERR_INVALID_ARGUMENT;
    if (state == 0) {
        // Switching off also works on a camera that stopped answering: it ends the frame thread.
        if (recording_)
            stopFrames();
        recording_ = false;
        return failed_ ? VYK_ERR_DEVICE_TIMEOUT : VYK_NOERROR;
    }
    if (failed_)
        return VYK_ERR_DEVICE_TIMEOUT;
    if (recording_)
        return VYK_NOERROR;
    if (!armedCurrent_)
        return VYK_ERR_NOT_ARMED;
    const int32_t started = startFrames();
    if (VYK_FAILED(started))
        return started;
    recording_ = true;
    return VYK_NOERROR;
}

int32_t GenicamCamera::startFrames()
{
    ArvCamera* cam = camera_.get();
    ErrorHolder error;
    const guint payload = arv_camera_get_payload(cam, error.out());
    if (error.error != nullptr)
        return failure(error.take());
    GObjectRef<ArvStream> stream(arv_camera_create_stream(cam, nullptr, nullptr, error.out()));
    if (!stream)
        return error.error != nullptr ? failure(error.take()) : VYK_ERR_OUT_OF_MEMORY;
    const size_t buffers = std::clamp<size_t>(kStreamBytes / std::max<guint>(payload, 1), 4, 32);
    for (size_t i = 0; i < buffers; ++i)
        arv_stream_push_buffer(stream.get(), arv_buffer_new(payload, nullptr));
    if (arv_camera_is_feature_available(cam, "AcquisitionMode", nullptr))
        arv_camera_set_acquisition_mode(cam, ARV_ACQUISITION_MODE_CONTINUOUS, error.out());
    if (error.error == nullptr)
        arv_camera_start_acquisition(cam, error.out());
    if (error.error != nullptr)
        return failure(error.take());
    stream_ = std::move(stream);
    frameCount_ = 0;
    lastFrameId_ = 0;
    completed_ = 0;
    incomplete_ = 0;
    dropped_ = 0;
    missingFramesInfo_ = -1;
    for (guint i = 0; i < arv_stream_get_n_infos(stream_.get()); ++i) {
        const char* info = arv_stream_get_info_name(stream_.get(), i);
        if (info != nullptr && std::strcmp(info, "n_missing_frames") == 0)
            missingFramesInfo_ = int(i);
    }
    firstDeviceNs_ = 0;
    firstWallUs_ = 0;
    lastBufferAt_ = Clock::now();
    triggerPending_ = false;
    stopThread_ = false;
    thread_ = std::thread([this] { frameLoop(); });
    return VYK_NOERROR;
}

void GenicamCamera::stopFrames()
{
    stopThread_ = true;
    if (thread_.joinable())
        thread_.join();
    if (stream_)
        readStatistics(stream_.get());
    if (stream_ && !failed_) {
        ErrorHolder error;
        arv_camera_stop_acquisition(camera_.get(), error.out());
        if (error.error != nullptr)
            failure(error.take()); // the camera is switched off either way; a lost link shows in failed_
    }
    releaseObject(stream_);
}

template <typename T>
void GenicamCamera::releaseObject(GObjectRef<T>& object)
{
    // Finalising talks to the camera: with a camera that stopped answering that waits for
    // several timeouts, which must not block the caller.
    if (failed_)
        GObjectReaper::instance().release(object.release());
    else
        object.reset();
}

// ---- Camera RAM: none ---------------------------------------------------------------------

// ---- Frames ------------------------------------------------------------------------------

void GenicamCamera::frameLoop()
{
    ArvStream* stream = stream_.get(); // stream_ stays until this thread is joined
    while (!stopThread_) {
        ArvBuffer* buffer = arv_stream_timeout_pop_buffer(stream, kPopTimeoutUs);
        if (buffer == nullptr) {
            probeSilentCamera();
            continue;
        }
        lastBufferAt_ = Clock::now();
        readStatistics(stream);
        // Frames the camera sent that never became a buffer (dropped for want of a free
        // buffer, or not seen at all) leave a gap in the frame ids; the same gap in the frame
        // numbers makes the recorder count them as lost.
        frameCount_ += missedBefore(arv_buffer_get_frame_id(buffer));
        deliver(buffer);
        arv_stream_push_buffer(stream, buffer);
    }
}

uint64_t GenicamCamera::missedBefore(uint64_t frameId)
{
    const uint64_t last = lastFrameId_;
    lastFrameId_ = frameId;
    if (last == 0 || frameId == 0)
        return 0; // first buffer, or a camera without frame ids
    if (frameId > last)
        return std::min<uint64_t>(frameId - last - 1, kMaxFrameGap);
    // GigE Vision 1 frame ids count 1..65535 and start again at 1.
    if (last >= 0xFF00 && frameId < 0x100)
        return (0xFFFF - last) + (frameId - 1);
    return 0;
}

void GenicamCamera::readStatistics(ArvStream* stream)
{
    guint64 completed = 0, failures = 0, underruns = 0;
    arv_stream_get_statistics(stream, &completed, &failures, &underruns);
    completed_ = completed;
    incomplete_ = failures;
    dropped_ = underruns + (missingFramesInfo_ >= 0 ? arv_stream_get_info_uint64(stream, guint(missingFramesInfo_)) : 0);
}

int32_t GenicamCamera::streamCounts(uint64_t* completed, uint64_t* incomplete, uint64_t* underruns)
{
    return query([&] {
        *completed = completed_;
        *incomplete = incomplete_;
        *underruns = dropped_;
        return VYK_NOERROR;
    });
}

void GenicamCamera::probeSilentCamera()
{
    const double silentS = std::chrono::duration<double>(Clock::now() - lastBufferAt_).count();
    if (failed_ || silentS < kSilenceS + frameTimeS_)
        return;
    std::unique_lock<std::mutex> lock(mutex_, std::try_to_lock);
    if (!lock.owns_lock() || settings_.triggerMode != VYK_TRIGGER_AUTO)
        return;
    ErrorHolder error;
    arv_camera_get_integer(camera_.get(), "Width", error.out());
    if (error.error != nullptr)
        failure(error.take());
    lastBufferAt_ = Clock::now();
}

void GenicamCamera::deliver(ArvBuffer* buffer)
{
    const std::shared_ptr<const FrameSetup> setup = armed_; // fixed while recording
    ++frameCount_;
    triggerPending_ = false;
    frame_.frameNumber = frameCount_;
    frame_.width = setup->width;
    frame_.height = setup->height;
    frame_.bitDepth = setup->bitDepth;
    frame_.hasMetadata = false;
    frame_.hasTimestamp = false;

    size_t size = 0;
    const void* data = nullptr;
    const size_t pixels = size_t(setup->width) * setup->height;
    const bool isImage = arv_buffer_get_status(buffer) == ARV_BUFFER_STATUS_SUCCESS
        && arv_buffer_get_payload_type(buffer) == ARV_BUFFER_PAYLOAD_TYPE_IMAGE
        && uint32_t(arv_buffer_get_image_width(buffer)) == setup->width
        && uint32_t(arv_buffer_get_image_height(buffer)) == setup->height;
    const unsigned bytesPerPixel = isImage ? (ARV_PIXEL_FORMAT_BIT_PER_PIXEL(arv_buffer_get_image_pixel_format(buffer)) + 7) / 8 : 0;
    if (isImage)
        data = arv_buffer_get_image_data(buffer, &size);
    frame_.incomplete = data == nullptr || (bytesPerPixel != 1 && bytesPerPixel != 2) || size < pixels * bytesPerPixel;
    if (frame_.incomplete) {
        frame_.pixels.clear();
    } else {
        frame_.pixels.resize(pixels);
        if (bytesPerPixel == 2) {
            std::memcpy(frame_.pixels.data(), data, pixels * 2); // little-endian on the wire and here
        } else {
            const uint8_t* bytes = static_cast<const uint8_t*>(data);
            std::copy(bytes, bytes + pixels, frame_.pixels.begin());
        }
        // The camera's clock gives the spacing, the computer's clock the calendar time.
        const uint64_t deviceNs = arv_buffer_get_timestamp(buffer);
        if (frameCount_ == 1 || firstWallUs_ == 0) {
            firstDeviceNs_ = deviceNs;
            firstWallUs_ = int64_t(arv_buffer_get_system_timestamp(buffer) / 1000u);
        }
        FrameRecipe recipe;
        recipe.setup = setup;
        recipe.imageNumber = uint32_t(arv_buffer_get_frame_id(buffer));
        recipe.exposureValue = setup->settings.exposure;
        recipe.exposureBase = setup->settings.exposureBase;
        recipe.exposureNs = CameraSettings::toNanoseconds(recipe.exposureValue, recipe.exposureBase);
        recipe.frameTimeS = frameTimeS_;
        recipe.wallTimeUs = firstWallUs_ + int64_t(deviceNs - firstDeviceNs_) / 1000;
        if (setup->settings.timestampMode != VYK_TIMESTAMP_OFF)
            FrameStamp::stampPixels(recipe, frame_);
        FrameStamp::attachBlocks(sensorConfig_, recipe, frame_);
        if (frame_.hasMetadata) {
            const int16_t celsius = temperature_;
            frame_.metadata[28] = uint8_t(celsius & 0xFF);
            frame_.metadata[29] = uint8_t((uint16_t(celsius) >> 8) & 0xFF);
        }
    }
    if (transferMode_ == 0)
        return;
    std::lock_guard<std::mutex> sinkLock(sinkMutex_);
    if (sink_)
        sink_(frame_);
}

} // namespace vyksim
