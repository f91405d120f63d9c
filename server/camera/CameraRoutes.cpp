#include "server/camera/CameraRoutes.h"

#include "camera/AutoExposure.h"
#include "camera/CameraException.h"
#include "camera/ColorPattern.h"
#include "camera/CompressionParams.h"
#include "camera/Configuration.h"
#include "camera/ConvertControl.h"
#include "camera/Description.h"
#include "camera/Image.h"
#include "camera/ImageMetadata.h"
#include "camera/ImageTimestamp.h"
#include "camera/RamAllocation.h"
#include "camera/RecordModeInfo.h"
#include "camera/SensorInfo.h"
#include "server/ServerLog.h"

#include <atomic>
#include <cctype>
#include <chrono>
#include <cmath>
#include <fstream>
#include <functional>
#include <limits>
#include <optional>
#include <stdexcept>
#include <thread>

#include <httplib.h>
#include <nlohmann/json.hpp>

namespace devserver {

namespace {

using nlohmann::json;

constexpr uint32_t kInvalid = 0xA0163001u;     // invalid argument or setting
constexpr uint32_t kTimeout = 0x80004001u;     // wait for an image timed out
constexpr uint32_t kNoSegmentMemory = 0xa0163006u;
constexpr uint32_t kNoImage = 0x80153013u;      // the recorder's "no image at this index"
constexpr int kFailureStatus = 503;

/// A request the server cannot read: missing or mistyped parameter, bad JSON, unknown enum.
class MalformedRequest : public std::invalid_argument {
public:
    using std::invalid_argument::invalid_argument;
};

using Operation = std::function<json(const httplib::Request&, httplib::Response&)>;

void answerError(httplib::Response& response, uint32_t code, const std::string& where)
{
    const json body = {{"code", static_cast<int32_t>(code)}, {"where", where}};
    response.status = kFailureStatus;
    response.headers.clear();
    response.set_content(body.dump(), "application/json");
}

// Runs operation for one request; every failure becomes a logged 503 answer, never an escape.
httplib::Server::Handler guarded(CameraServerState& state, bool reserves, Operation operation)
{
    return [&state, reserves, operation = std::move(operation)](const httplib::Request& request,
                                                                 httplib::Response& response) {
        const std::string cause = "camera " + std::to_string(state.serial()) + " " + request.method + " "
            + request.path;
        try {
            if (reserves)
                state.markUsed();
            const json answer = operation(request, response);
            response.status = 200;
            if (!answer.is_null())
                response.set_content(answer.dump(), "application/json");
            return;
        } catch (const vyk::CameraException& e) {
            // Clients wait for images in short slices (a remote preview between any two
            // images): a wait that runs out of time is their ordinary answer, not a fault.
            logLine(e.code() == kTimeout ? LogLevel::Debug : LogLevel::Warning, cause + " failed: " + e.what());
            answerError(response, e.code(), e.what());
        } catch (const MalformedRequest& e) {
            const std::string where = "Malformed request to " + request.path + ": " + e.what();
            logLine(LogLevel::Warning, cause + " refused: " + where);
            answerError(response, kInvalid, where);
        } catch (const json::exception& e) {
            const std::string where = "Malformed request to " + request.path + ": " + e.what();
            logLine(LogLevel::Warning, cause + " refused: " + where);
            answerError(response, kInvalid, where);
        } catch (const std::exception& e) {
            logLine(LogLevel::Error, cause + " failed: " + e.what());
            answerError(response, vyk::CameraException::kLayerError, e.what());
        } catch (...) {
            logLine(LogLevel::Error, cause + " failed: unknown failure");
            answerError(response, vyk::CameraException::kLayerError, "unknown failure");
        }
    };
}

// ---- request reading --------------------------------------------------------------------

json parseJson(const std::string& text, const std::string& what)
{
    json value = json::parse(text, nullptr, false);
    if (value.is_discarded())
        throw MalformedRequest(what + " is not JSON: " + text);
    return value;
}

json body(const httplib::Request& request)
{
    return request.body.empty() ? json() : parseJson(request.body, "the body");
}

// The JSON value of a required parameter.
json param(const httplib::Request& request, const std::string& name)
{
    if (!request.has_param(name.c_str()))
        throw MalformedRequest("parameter '" + name + "' missing");
    return parseJson(request.get_param_value(name.c_str()), "parameter '" + name + "'");
}

// value as an enumeration; strings outside the enumeration's table are refused (the JSON
// form would silently read them as the table's first value).
template <typename Enum>
Enum enumValue(const json& value, const std::string& what)
{
    if (!value.is_string())
        throw MalformedRequest(what + " must be a string, but is " + value.dump());
    const Enum result = value.get<Enum>();
    if (json(result) != value)
        throw MalformedRequest("unknown " + what + ": " + value.dump());
    return result;
}

// The enumeration strings nested in a record must survive a round trip through the record.
void requireKnownEnums(const json& sent, const json& parsed, const std::string& what)
{
    for (const auto& [outer, inner] : {std::pair<const char*, const char*>{"binning", "mode"},
                                       std::pair<const char*, const char*>{"auto_exposure", "region"}}) {
        if (!sent.contains(outer) || !parsed.contains(outer))
            continue;
        const json& given = sent.at(outer).at(inner);
        if (given != parsed.at(outer).at(inner))
            throw MalformedRequest("unknown " + what + " " + outer + "." + inner + ": " + given.dump());
    }
}

template <typename Number>
Number numberValue(const json& value, const std::string& what)
{
    if (!value.is_number_integer() && !value.is_number_unsigned())
        throw MalformedRequest(what + " must be an integer, but is " + value.dump());
    if (value.is_number_unsigned()) {
        if (value.get<uint64_t>() > std::numeric_limits<Number>::max())
            throw MalformedRequest(what + " out of range: " + value.dump());
    } else if (value.get<int64_t>() < 0 || static_cast<uint64_t>(value.get<int64_t>()) > std::numeric_limits<Number>::max()) {
        throw MalformedRequest(what + " out of range: " + value.dump());
    }
    return value.get<Number>();
}

bool boolValue(const json& value, const std::string& what)
{
    if (!value.is_boolean())
        throw MalformedRequest(what + " must be a boolean, but is " + value.dump());
    return value.get<bool>();
}

// The image index: a decimal unsigned 64-bit number; -1 (or its unsigned form) is the newest.
uint64_t indexValue(const json& value)
{
    if (value.is_number_integer() && value.get<int64_t>() == -1)
        return static_cast<uint64_t>(-1);
    return numberValue<uint64_t>(value, "parameter 'index'");
}

// ---- waits --------------------------------------------------------------------------------

// Waits through the camera's own wait, one check at a time, so that the camera lock is
// free between checks: status queries and the expiry watchdog are not held up by a wait.
void pollWait(CameraServerState& state, bool delay, double timeout_s,
              void (vyk::Camera::*wait)(bool, double))
{
    const auto start = std::chrono::steady_clock::now();
    for (;;) {
        {
            auto lock = state.lockCamera();
            try {
                (state.camera().*wait)(false, 0.0); // one check: done, or a time-out at once
                return;
            } catch (const vyk::CameraException& e) {
                if (e.code() != kTimeout)
                    throw;
            }
        }
        if (!std::isnan(timeout_s)) {
            const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
            if (elapsed.count() >= timeout_s)
                throw vyk::CameraException(kTimeout);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(delay ? 1 : 0));
    }
}

Operation waitOperation(CameraServerState& state, void (vyk::Camera::*wait)(bool, double))
{
    return [&state, wait](const httplib::Request& request, httplib::Response&) {
        const bool delay = boolValue(param(request, "delay"), "parameter 'delay'");
        double timeout_s = std::numeric_limits<double>::quiet_NaN();
        if (request.has_param("timeout")) {
            const json timeout = param(request, "timeout");
            if (!timeout.is_number())
                throw MalformedRequest("parameter 'timeout' must be a number, but is " + timeout.dump());
            timeout_s = timeout.get<double>();
        }
        pollWait(state, delay, timeout_s, wait);
        return json();
    };
}

// ---- recording ----------------------------------------------------------------------------

uint64_t imageBytes(vyk::Camera& camera)
{
    const vyk::Roi roi = camera.getConfiguration().roi;
    const uint64_t element = camera.getRawFormat() == vyk::RawFormat::Byte ? 1 : 2;
    return roi.width() * roi.height() * element;
}

// The camera's recorder holds the images of the DXR segment it last recorded into; a new
// recording replaces that recorder, so the segment takes the images into its own keeping.
void keepDxrRecording(CameraServerState& state, DxrStorage& dxr)
{
    const uint16_t segment = state.dxrRecordSegment();
    if (segment == 0)
        return;
    vyk::Camera& camera = state.camera();
    if (camera.isRecording())
        camera.stop();
    const vyk::DataFormat raw =
        camera.getRawFormat() == vyk::RawFormat::Byte ? vyk::DataFormat::Mono8 : vyk::DataFormat::Mono16;
    const uint32_t count = std::min(camera.getRecordedImageCount(), camera.getRecorderBufferSize());
    DxrStorage::KeptImages kept;
    kept.recordRoi = state.recordRoi();
    kept.images.resize(count);
    for (uint32_t i = 0; i < count; ++i)
        camera.image(kept.images[i], i, raw);
    dxr.keep(segment, std::move(kept));
}

json record(CameraServerState& state, const httplib::Request& request)
{
    uint32_t count = numberValue<uint32_t>(param(request, "imgCount"), "parameter 'imgCount'");
    vyk::RecordMode mode = enumValue<vyk::RecordMode>(param(request, "recMode"), "recMode");
    const uint16_t flags = request.has_param("flags") ? numberValue<uint16_t>(param(request, "flags"), "parameter 'flags'")
                                                      : 0;
    const vyk::RecordModeInfo info = vyk::RecordModeInfo::of(mode);
    std::filesystem::path path;
    if (info.isFile()) {
        std::string requested;
        if (request.has_param("filePath")) {
            const json value = param(request, "filePath");
            if (!value.is_string())
                throw MalformedRequest("parameter 'filePath' must be a string, but is " + value.dump());
            requested = value.get<std::string>();
        }
        path = confinedRecordingPath(state.folders().data, requested);
    }

    auto lock = state.lockCamera();
    vyk::Camera& camera = state.camera();
    uint16_t dxrSegment = 0;
    if (DxrStorage* dxr = state.dxr(); dxr != nullptr && !info.isFile()) {
        // A DXR camera records into its active storage segment, which bounds the count.
        dxrSegment = dxr->activeSegment(state.serial()).alloc_id;
        const uint32_t capacity = dxr->capacity(state.serial(), imageBytes(camera));
        if (capacity == 0)
            throw vyk::CameraException("Camera has no memory allocated for the active segment", kNoSegmentMemory);
        if (mode == vyk::RecordMode::CamramRing || mode == vyk::RecordMode::CamramSegment) {
            mode = mode == vyk::RecordMode::CamramRing ? vyk::RecordMode::RingBuffer
                                                       : vyk::RecordMode::SequenceNonBlocking;
            count = capacity;
        }
        count = std::min(count, capacity);
        dxr->setStored(state.serial(), 0);
    }
    if (DxrStorage* dxr = state.dxr(); dxr != nullptr && state.dxrRecordSegment() != dxrSegment)
        keepDxrRecording(state, *dxr);
    state.dxrRecordSegment() = 0;
    camera.record(count, mode, path, flags);
    state.dxrRecordSegment() = dxrSegment;
    state.recordRoi() = camera.getConfiguration().roi;
    logLine(LogLevel::Info, "camera " + std::to_string(state.serial()) + " records " + std::to_string(count)
                                + " images in mode " + json(mode).get<std::string>()
                                + (path.empty() ? std::string() : " to " + path.string()));
    return json();
}

// The images a DXR camera's active segment holds: what the last recording put there.
uint32_t dxrStoredImages(CameraServerState& state, DxrStorage& dxr)
{
    if (state.dxrRecordSegment() != 0 && state.dxrRecordSegment() == dxr.activeId(state.serial())) {
        const uint32_t capacity = dxr.capacity(state.serial(), imageBytes(state.camera()));
        dxr.setStored(state.serial(), std::min(state.camera().getRecordedImageCount(), capacity));
    }
    return dxr.stored(state.serial());
}

// ---- images -------------------------------------------------------------------------------

// Checks that a raw image of raw format can be sent for format; the client converts it
// with the answer's ConvertControl (null for Mono16).
json rawImageControl(vyk::Camera& camera, vyk::DataFormat format, vyk::RawFormat raw)
{
    if (format == vyk::DataFormat::Undefined)
        throw MalformedRequest("DataFormat \"Undefined\" cannot be sent");
    if (raw == vyk::RawFormat::Byte && format != vyk::DataFormat::Mono8)
        throw vyk::CameraException("RawFormat::Byte can not be represented in specified DataFormat!", kInvalid);
    if (!camera.isColored() && format == vyk::DataFormat::BGR16)
        throw vyk::CameraException("DataFormat::BGR16 is not supported for mono cameras!", kInvalid);
    // The client converts: the camera hands over raw pixels only.
    if (format == vyk::DataFormat::Mono16)
        return json();
    return camera.getConvertControl(format);
}

// The images a DXR camera's active segment keeps; null when they are the recorder's (the
// segment recorded last) or the camera is not on the DXR interface.
std::shared_ptr<const DxrStorage::KeptImages> keptDxrImages(CameraServerState& state)
{
    DxrStorage* dxr = state.dxr();
    // Without a segment recording (none yet, or a file recording) the recorder serves.
    if (dxr == nullptr || state.dxrRecordSegment() == 0 || state.dxrRecordSegment() == dxr->activeId(state.serial()))
        return nullptr;
    std::shared_ptr<const DxrStorage::KeptImages> kept = dxr->kept(state.serial());
    // A segment that keeps nothing has no images to serve, whatever the recorder holds.
    return kept ? kept : std::make_shared<const DxrStorage::KeptImages>();
}

void serveImage(CameraServerState& state, const httplib::Request& request, httplib::Response& response)
{
    const uint64_t index = indexValue(param(request, "index"));
    const vyk::DataFormat format = enumValue<vyk::DataFormat>(param(request, "format"), "DataFormat");
    std::optional<vyk::CompressionParams> compression;
    if (request.has_param("comp_params"))
        compression = param(request, "comp_params").get<vyk::CompressionParams>();

    std::shared_ptr<const vyk::Image> image;
    json control;
    vyk::RawFormat raw = vyk::RawFormat::Word;
    int32_t colorMode = 0;
    {
        auto lock = state.lockCamera();
        vyk::Camera& camera = state.camera();
        raw = camera.getRawFormat();
        const bool rawIsByte = raw == vyk::RawFormat::Byte;
        const std::shared_ptr<const DxrStorage::KeptImages> kept = keptDxrImages(state);
        if (kept) {
            // The active DXR segment serves the images it keeps, not the recorder's.
            if (format == vyk::DataFormat::CompressedMono8)
                throw vyk::CameraException("Only uncompressed images are kept for this DXR segment", kInvalid);
            const uint64_t count = kept->images.size();
            const uint64_t position = index == std::numeric_limits<uint64_t>::max() && count > 0 ? count - 1 : index;
            if (position >= count)
                throw vyk::CameraException(kNoImage);
            image = std::shared_ptr<const vyk::Image>(kept, &kept->images[position]);
            raw = vyk::elementBits(image->raw()) == 8 ? vyk::RawFormat::Byte : vyk::RawFormat::Word;
            control = rawImageControl(camera, format, raw);
            colorMode = vyk::ColorPattern::code(state.colorPatternWord(), image->roi(), kept->recordRoi);
        } else if (format == vyk::DataFormat::CompressedMono8) {
            auto buffer = state.imageBuffer();
            camera.image(*buffer, index, format, compression);
            image = buffer;
        } else {
            control = rawImageControl(camera, format, raw);
            auto buffer = state.imageBuffer();
            camera.image(*buffer, index, rawIsByte ? vyk::DataFormat::Mono8 : vyk::DataFormat::Mono16);
            image = buffer;
            colorMode = vyk::ColorPattern::code(state.colorPatternWord(), image->roi(), state.recordRoi());
        }
    }
    state.countImageServed();

    response.set_header("crop", json(image->roi()).dump());
    response.set_header("format", json(format).dump());
    response.set_header("rawFormat", json(raw).dump());
    response.set_header("recorderImageNumber", std::to_string(image->recorderImageNumber()));
    response.set_header("colorMode", std::to_string(colorMode));
    if (image->metadata())
        response.set_header("metadata", json(*image->metadata()).dump());
    if (image->timestamp())
        response.set_header("timestamp", json(*image->timestamp()).dump());
    if (!control.is_null())
        response.set_header("convCtrl", control.dump());

    const uint8_t* bytes = nullptr;
    std::size_t size = 0;
    if (format == vyk::DataFormat::CompressedMono8 || raw == vyk::RawFormat::Byte) {
        const std::vector<uint8_t>& pixels = image->rawData8();
        bytes = pixels.data();
        size = pixels.size();
    } else {
        const std::vector<uint16_t>& pixels = image->rawData16();
        bytes = reinterpret_cast<const uint8_t*>(pixels.data());
        size = pixels.size() * sizeof(uint16_t);
    }
    // The provider owns the image until the body is sent: no copy of the pixels.
    response.set_content_provider(size, "application/octet-stream",
                                  [image, bytes](size_t offset, size_t length, httplib::DataSink& sink) {
                                      return sink.write(reinterpret_cast<const char*>(bytes) + offset, length);
                                  });
}

// ---- conversion ---------------------------------------------------------------------------

// A pseudocolour LUT path from a client must name a table uploaded to this server.
void requireUploadedLut(const CameraServerState& state, const vyk::ConvertControl& control)
{
    const auto* pseudo = std::get_if<vyk::ConvertControlPseudocolor>(&control);
    if (pseudo == nullptr || pseudo->lut_file.empty())
        return;
    std::error_code error;
    const std::filesystem::path folder = std::filesystem::weakly_canonical(state.folders().luts, error);
    const std::filesystem::path file = std::filesystem::weakly_canonical(pseudo->lut_file, error);
    if (error || file.parent_path() != folder)
        throw vyk::CameraException("LUT file must be one uploaded to this server: " + pseudo->lut_file.string(),
                                   kInvalid);
}

// The extension of an uploaded LUT, kept because it selects the table's kind; only
// letters and digits survive.
std::string lutExtension(const std::string& fileName)
{
    const std::string extension = std::filesystem::path(fileName).extension().string();
    std::string clean = ".";
    for (std::size_t i = 1; i < extension.size() && clean.size() < 5; ++i)
        if (std::isalnum(static_cast<unsigned char>(extension[i])))
            clean += extension[i];
    return clean.size() > 1 ? clean : ".lut";
}

json uploadLut(CameraServerState& state, const httplib::Request& request)
{
    static std::atomic<uint64_t> uploads{0};
    if (!request.has_file("lut"))
        throw MalformedRequest("multipart part 'lut' missing");
    const httplib::MultipartFormData part = request.get_file_value("lut");
    std::filesystem::create_directories(state.folders().luts);
    const std::filesystem::path saved = state.folders().luts
        / ("upload_" + std::to_string(state.serial()) + "_" + std::to_string(++uploads) + lutExtension(part.filename));
    std::ofstream file(saved, std::ios::binary | std::ios::trunc);
    file.write(part.content.data(), static_cast<std::streamsize>(part.content.size()));
    file.close();
    if (!file)
        throw std::runtime_error("cannot write " + saved.string());
    logLine(LogLevel::Info, "camera " + std::to_string(state.serial()) + " stored LUT " + part.filename + " as "
                                + saved.string());
    return {{"saved", saved.string()}};
}

// ---- route helpers ------------------------------------------------------------------------

// An operation on the locked camera that takes nothing from the request.
template <typename Fn>
Operation onCamera(CameraServerState& state, Fn fn)
{
    return [&state, fn](const httplib::Request&, httplib::Response&) {
        auto lock = state.lockCamera();
        return json(fn(state.camera()));
    };
}

// As onCamera, for operations without an answer.
template <typename Fn>
Operation doOnCamera(CameraServerState& state, Fn fn)
{
    return [&state, fn](const httplib::Request&, httplib::Response&) {
        auto lock = state.lockCamera();
        fn(state.camera());
        return json();
    };
}

DxrStorage& requireDxr(CameraServerState& state)
{
    DxrStorage* dxr = state.dxr();
    if (dxr == nullptr)
        throw vyk::CameraException("Function only available for vyk.dxr!", 0xa0160013u);
    return *dxr;
}

}  // namespace

std::filesystem::path confinedRecordingPath(const std::filesystem::path& folder, const std::string& requested)
{
    const std::filesystem::path relative(requested.empty() ? std::string("vyk_vram") : requested);
    if (relative.is_absolute() || relative.has_root_name() || relative.has_root_directory())
        throw vyk::CameraException("Absolute recording paths are not allowed: " + requested, kInvalid);
    for (const auto& part : relative)
        if (part == "..")
            throw vyk::CameraException("Recording paths must not contain \"..\": " + requested, kInvalid);
    const std::filesystem::path path = folder / relative.lexically_normal();
    std::filesystem::create_directories(path.parent_path());
    return path;
}

bool isCameraDiscoveryRequest(const std::string& datagram)
{
    const json request = json::parse(datagram, nullptr, false);
    return request.is_object() && request.value("action", json()) == "discover"
        && request.value("type", json()) == "camera";
}

void registerCameraRoutes(httplib::Server& server, CameraServerState& state)
{
    using vyk::Camera;
    // ---- identity ----
    server.Get("/v1/getName", guarded(state, true, onCamera(state, [](Camera& c) { return c.getName(); })));
    server.Get("/v1/getSerial", guarded(state, true, onCamera(state, [](Camera& c) { return c.getSerial(); })));
    server.Get("/v1/getInterface", guarded(state, true, onCamera(state, [](Camera& c) { return c.getInterface(); })));
    server.Get("/v1/getRawFormat", guarded(state, true, onCamera(state, [](Camera& c) { return c.getRawFormat(); })));
    server.Get("/v1/isColored", guarded(state, true, onCamera(state, [](Camera& c) { return c.isColored(); })));
    server.Get("/v1/isRecording", guarded(state, true, onCamera(state, [](Camera& c) { return c.isRecording(); })));
    server.Get("/v1/getDescription",
               guarded(state, true, onCamera(state, [](Camera& c) { return c.getDescription(); })));
    server.Get("/v1/getSensorInfo", guarded(state, true, onCamera(state, [](Camera& c) { return c.getSensorInfo(); })));

    // ---- settings ----
    server.Get("/v1/getConfiguration",
               guarded(state, true, onCamera(state, [](Camera& c) { return c.getConfiguration(); })));
    server.Put("/v1/setConfiguration", guarded(state, true, [&state](const httplib::Request& request, httplib::Response&) {
                   const json sent = body(request);
                   const vyk::Configuration configuration = sent.get<vyk::Configuration>();
                   requireKnownEnums(sent, json(configuration), "Configuration");
                   auto lock = state.lockCamera();
                   state.camera().setConfiguration(configuration);
                   return json();
               }));
    server.Put("/v1/defaultConfiguration", guarded(state, true, [&state](const httplib::Request& request, httplib::Response&) {
                   body(request); // the body is null; anything unparsable is refused
                   auto lock = state.lockCamera();
                   state.camera().defaultConfiguration();
                   return json();
               }));
    server.Get("/v1/getExposureTime", guarded(state, true, onCamera(state, [](Camera& c) {
                   return json{{"exposure_s", c.getExposureTime()}};
               })));
    server.Put("/v1/setExposureTime", guarded(state, true, [&state](const httplib::Request& request, httplib::Response&) {
                   const json value = body(request).at("exposure_s");
                   if (!value.is_number())
                       throw MalformedRequest("exposure_s must be a number, but is " + value.dump());
                   auto lock = state.lockCamera();
                   state.camera().setExposureTime(value.get<double>());
                   return json();
               }));
    server.Get("/v1/getDelayTime", guarded(state, true, onCamera(state, [](Camera& c) {
                   return json{{"delay_s", c.getDelayTime()}};
               })));
    server.Put("/v1/setDelayTime", guarded(state, true, [&state](const httplib::Request& request, httplib::Response&) {
                   const json value = body(request).at("delay_s");
                   if (!value.is_number())
                       throw MalformedRequest("delay_s must be a number, but is " + value.dump());
                   auto lock = state.lockCamera();
                   state.camera().setDelayTime(value.get<double>());
                   return json();
               }));
    server.Post("/v1/autoExposureOn", guarded(state, true, doOnCamera(state, [](Camera& c) { c.autoExposureOn(); })));
    server.Post("/v1/autoExposureOff", guarded(state, true, doOnCamera(state, [](Camera& c) { c.autoExposureOff(); })));
    server.Put("/v1/configureAutoExposure",
               guarded(state, true, [&state](const httplib::Request& request, httplib::Response&) {
                   const json sent = body(request);
                   const vyk::AutoExposure settings = sent.get<vyk::AutoExposure>();
                   enumValue<vyk::AutoExposureRegion>(sent.at("region"), "AutoExposureRegion");
                   auto lock = state.lockCamera();
                   state.camera().configureAutoExposure(settings.region, settings.min_exposure_s, settings.max_exposure_s);
                   return json();
               }));
    server.Get("/v1/getConvertControl", guarded(state, true, [&state](const httplib::Request& request, httplib::Response&) {
                   const auto format = enumValue<vyk::DataFormat>(param(request, "format"), "DataFormat");
                   auto lock = state.lockCamera();
                   return json(state.camera().getConvertControl(format));
               }));
    server.Put("/v1/setConvertControl", guarded(state, true, [&state](const httplib::Request& request, httplib::Response&) {
                   const json sent = body(request);
                   const auto format = enumValue<vyk::DataFormat>(sent.at("format"), "DataFormat");
                   const vyk::ConvertControl control = sent.at("convert").get<vyk::ConvertControl>();
                   requireUploadedLut(state, control);
                   auto lock = state.lockCamera();
                   state.camera().setConvertControl(format, control);
                   return json();
               }));
    server.Post("/v1/uploadLut", guarded(state, true, [&state](const httplib::Request& request, httplib::Response&) {
                    return uploadLut(state, request);
                }));
    server.Post("/v1/trigger", guarded(state, true, onCamera(state, [](Camera& c) { return c.trigger(); })));

    // ---- recording ----
    server.Post("/v1/record", guarded(state, true, [&state](const httplib::Request& request, httplib::Response&) {
                    return record(state, request);
                }));
    server.Post("/v1/stop", guarded(state, true, doOnCamera(state, [](Camera& c) { c.stop(); })));
    server.Get("/v1/getRecordedImageCount", guarded(state, true, onCamera(state, [](Camera& c) {
                   return json{{"recorded", c.getRecordedImageCount()}};
               })));
    server.Get("/v1/getRecorderBufferSize", guarded(state, true, onCamera(state, [](Camera& c) {
                   return json{{"buffSize", c.getRecorderBufferSize()}};
               })));
    server.Post("/v1/waitForFirstImage", guarded(state, true, waitOperation(state, &Camera::waitForFirstImage)));
    server.Post("/v1/waitForNewImage", guarded(state, true, waitOperation(state, &Camera::waitForNewImage)));
    server.Get("/v1/image", guarded(state, true, [&state](const httplib::Request& request, httplib::Response& response) {
                   serveImage(state, request, response);
                   return json();
               }));

    // ---- camera RAM (a DXR camera's segments are its DXR storage segments) ----
    server.Get("/v1/getCamRamAllocation",
               guarded(state, true, onCamera(state, [](Camera& c) { return c.getCamRamAllocation(); })));
    server.Put("/v1/setCamRamAllocation", guarded(state, true, [&state](const httplib::Request& request, httplib::Response&) {
                   const auto percents = body(request).at("percents").get<std::vector<uint32_t>>();
                   auto lock = state.lockCamera();
                   state.camera().setCamRamAllocation(percents);
                   return json();
               }));
    server.Get("/v1/getCamRamSegment", guarded(state, true, [&state](const httplib::Request&, httplib::Response&) {
                   auto lock = state.lockCamera();
                   if (DxrStorage* dxr = state.dxr())
                       return json(dxr->activeId(state.serial()));
                   return json(state.camera().getCamRamSegment());
               }));
    server.Post("/v1/switchToCamRam", guarded(state, true, [&state](const httplib::Request& request, httplib::Response&) {
                    const auto segment = numberValue<uint16_t>(param(request, "segment"), "parameter 'segment'");
                    auto lock = state.lockCamera();
                    if (DxrStorage* dxr = state.dxr()) {
                        dxr->switchTo(state.serial(), segment);
                    } else {
                        state.camera().switchToCamRam(segment);
                        // Its images are read back at the ROI they were taken with: the current one.
                        state.recordRoi() = state.camera().getConfiguration().roi;
                    }
                    return json();
                }));
    server.Get("/v1/getCamRamMaxImages", guarded(state, true, [&state](const httplib::Request&, httplib::Response&) {
                   auto lock = state.lockCamera();
                   if (DxrStorage* dxr = state.dxr())
                       return json(dxr->capacity(state.serial(), imageBytes(state.camera())));
                   return json(state.camera().getCamRamMaxImages());
               }));
    server.Get("/v1/getCamRamNumImages", guarded(state, true, [&state](const httplib::Request&, httplib::Response&) {
                   auto lock = state.lockCamera();
                   if (DxrStorage* dxr = state.dxr())
                       return json(dxrStoredImages(state, *dxr));
                   return json(state.camera().getCamRamNumImages());
               }));

    // ---- DXR storage ----
    server.Get("/v1/getDxrAllocation", guarded(state, true, [&state](const httplib::Request&, httplib::Response&) {
                   return json(requireDxr(state).allocation());
               }));
    server.Get("/v1/getDxrSegment", guarded(state, true, [&state](const httplib::Request&, httplib::Response&) {
                   return json(requireDxr(state).activeSegment(state.serial()));
               }));
    server.Put("/v1/setDxrAllocation", guarded(state, true, [&state](const httplib::Request& request, httplib::Response&) {
                   DxrStorage& dxr = requireDxr(state);
                   const auto segments = body(request).at("segments").get<std::vector<vyk::RamAllocation>>();
                   auto lock = state.lockCamera();
                   if (state.camera().isRecording())
                       throw vyk::CameraException("Can not set DXR allocation while recording!", 0x80163022u);
                   dxr.setAllocation(state.serial(), segments);
                   return json();
               }));

    // ---- reservation ----
    server.Post("/v1/heartbeat", guarded(state, true, [](const httplib::Request&, httplib::Response&) { return json(); }));
    server.Post("/v1/setFree", guarded(state, false, [&state](const httplib::Request&, httplib::Response&) {
                    state.setFree();
                    logLine(LogLevel::Info, "camera " + std::to_string(state.serial()) + " released");
                    return json();
                }));
}

}  // namespace devserver
