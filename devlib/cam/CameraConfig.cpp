// Reading the camera set: the built-in default and the JSON file format.
#include "CameraConfig.h"

#include "kv2_cam.h"

#include <nlohmann/json.hpp>

#include <cstdlib>
#include <fstream>
#include <initializer_list>
#include <limits>
#include <set>
#include <sstream>
#include <stdexcept>

namespace vyksim {

namespace {

using nlohmann::json;

// A configuration mistake; the text names the camera and the key.
struct ConfigError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Refuses keys that the format does not know, so that typing mistakes are reported.
void checkKeys(const json& object, std::initializer_list<const char*> known, const std::string& where)
{
    if (!object.is_object())
        throw ConfigError(where + " must be a JSON object");
    std::set<std::string> names(known.begin(), known.end());
    for (auto it = object.begin(); it != object.end(); ++it) {
        if (names.count(it.key()) == 0)
            throw ConfigError(where + ": unknown key \"" + it.key() + "\"");
    }
}

// Reads an unsigned number within [0, maximum] when the key is present.
template <typename T>
void readUnsigned(const json& object, const char* key, T& target, const std::string& where,
                  uint64_t maximum = std::numeric_limits<T>::max())
{
    auto it = object.find(key);
    if (it == object.end())
        return;
    if (!it->is_number_unsigned() && !(it->is_number_integer() && it->get<int64_t>() >= 0))
        throw ConfigError(where + ": \"" + key + "\" must be a non-negative integer");
    const uint64_t value = it->get<uint64_t>();
    if (value > maximum)
        throw ConfigError(where + ": \"" + key + "\" is larger than " + std::to_string(maximum));
    target = static_cast<T>(value);
}

// Reads a number that must not be negative when the key is present.
void readDouble(const json& object, const char* key, double& target, const std::string& where)
{
    auto it = object.find(key);
    if (it == object.end())
        return;
    if (!it->is_number() || it->get<double>() < 0.0)
        throw ConfigError(where + ": \"" + key + "\" must be a non-negative number");
    target = it->get<double>();
}

void readBool(const json& object, const char* key, bool& target, const std::string& where)
{
    auto it = object.find(key);
    if (it == object.end())
        return;
    if (!it->is_boolean())
        throw ConfigError(where + ": \"" + key + "\" must be true or false");
    target = it->get<bool>();
}

// The object under key, or an empty object when absent.
json section(const json& object, const char* key, std::initializer_list<const char*> known,
             const std::string& where)
{
    auto it = object.find(key);
    if (it == object.end())
        return json::object();
    checkKeys(*it, known, where + "." + key);
    return *it;
}

uint16_t interfaceFromJson(const json& value, const std::string& where)
{
    static const std::pair<const char*, uint16_t> names[] = {
        {"FireWire", VYK_INTERFACE_FIREWIRE}, {"CameraLinkMTX", VYK_INTERFACE_CAMLINK_MTX},
        {"GenICam", VYK_INTERFACE_GENICAM},   {"CameraLinkNAT", VYK_INTERFACE_CAMLINK_NAT},
        {"GigE", VYK_INTERFACE_GIGE},         {"USB", VYK_INTERFACE_USB},
        {"CameraLinkME4", VYK_INTERFACE_CAMLINK_ME4}, {"USB3", VYK_INTERFACE_USB3},
        {"WLAN", VYK_INTERFACE_WLAN},         {"CLHS", VYK_INTERFACE_CLHS},
        {"CLHS_DXR", VYK_INTERFACE_CLHS_DXR},
    };
    for (const auto& entry : names) {
        if ((value.is_string() && value.get<std::string>() == entry.first)
            || (value.is_number_unsigned() && value.get<uint64_t>() == entry.second))
            return entry.second;
    }
    throw ConfigError(where + ": unknown interface " + value.dump());
}

// Colour-pattern word of a Bayer pattern name: one nibble per cell position.
uint16_t patternWord(const std::string& name, const std::string& where)
{
    if (name == "RGGB")
        return 0x4321;
    if (name == "GRBG")
        return 0x3412;
    if (name == "GBRG")
        return 0x2143;
    if (name == "BGGR")
        return 0x1234;
    throw ConfigError(where + ": unknown bayer_pattern \"" + name + "\"");
}

void readTimeLimits(const json& object, const char* key, uint32_t& minNs, uint32_t& maxMs, uint32_t& stepNs,
                    const std::string& where)
{
    const json limits = section(object, key, {"min_ns", "max_ms", "step_ns"}, where);
    readUnsigned(limits, "min_ns", minNs, where + "." + key);
    readUnsigned(limits, "max_ms", maxMs, where + "." + key);
    readUnsigned(limits, "step_ns", stepNs, where + "." + key);
}

CameraConfig parseCamera(const json& object, size_t index)
{
    const std::string where = "cameras[" + std::to_string(index) + "]";
    checkKeys(object,
              {"serial", "name", "type", "sub_type", "interface", "sensor", "pixel_rates_hz",
               "conversion_factors", "exposure", "delay", "alternative_sensitivity", "roi", "binning",
               "ram", "capabilities", "pixel_formats", "dark_offset", "read_noise", "color_matrix",
               "color_setting", "reference_exposure_s", "external_trigger_hz", "external_pulse_s", "seed",
               "health", "failure", "hw_version", "fw_version"},
              where);
    CameraConfig c;
    if (!object.contains("serial") || !object.contains("sensor"))
        throw ConfigError(where + ": \"serial\" and \"sensor\" are required");
    readUnsigned(object, "serial", c.serial, where);
    c.name = "sim camera " + std::to_string(c.serial);
    if (object.contains("name")) {
        if (!object["name"].is_string() || object["name"].get<std::string>().size() > 259)
            throw ConfigError(where + ": \"name\" must be a string of at most 259 characters");
        c.name = object["name"].get<std::string>();
    }
    readUnsigned(object, "type", c.type, where);
    readUnsigned(object, "sub_type", c.subType, where);
    if (object.contains("interface"))
        c.interfaceType = interfaceFromJson(object["interface"], where);

    const json sensor = section(object, "sensor", {"width", "height", "ext_width", "ext_height", "bits",
                                                   "color", "bayer_pattern"}, where);
    readUnsigned(sensor, "width", c.width, where + ".sensor", 16384);
    readUnsigned(sensor, "height", c.height, where + ".sensor", 16384);
    readUnsigned(sensor, "bits", c.bitDepth, where + ".sensor", 16);
    if (c.width == 0 || c.height == 0 || c.bitDepth < 8)
        throw ConfigError(where + ".sensor: width and height must be at least 1, bits 8 to 16");
    c.extWidth = c.width;
    c.extHeight = c.height;
    readUnsigned(sensor, "ext_width", c.extWidth, where + ".sensor", 16384);
    readUnsigned(sensor, "ext_height", c.extHeight, where + ".sensor", 16384);
    if (c.extWidth == 0 || c.extHeight == 0)
        throw ConfigError(where + ".sensor: ext_width and ext_height must be at least 1");
    readBool(sensor, "color", c.color, where + ".sensor");
    if (c.color) {
        std::string pattern = "RGGB";
        if (sensor.contains("bayer_pattern")) {
            if (!sensor["bayer_pattern"].is_string())
                throw ConfigError(where + ".sensor: \"bayer_pattern\" must be a string");
            pattern = sensor["bayer_pattern"].get<std::string>();
        }
        c.colorPattern = patternWord(pattern, where + ".sensor");
    }

    c.pixelRates = {100000000u};
    if (object.contains("pixel_rates_hz")) {
        const json& rates = object["pixel_rates_hz"];
        if (!rates.is_array() || rates.empty() || rates.size() > 4)
            throw ConfigError(where + ": \"pixel_rates_hz\" must list 1 to 4 rates");
        c.pixelRates.clear();
        for (const json& rate : rates) {
            if (!rate.is_number_unsigned() || rate.get<uint64_t>() == 0 || rate.get<uint64_t>() > 0xFFFFFFFFu)
                throw ConfigError(where + ": pixel rates must be positive integers (Hz)");
            c.pixelRates.push_back(rate.get<uint32_t>());
        }
    }
    if (object.contains("conversion_factors")) {
        const json& factors = object["conversion_factors"];
        if (!factors.is_array() || factors.size() > 4)
            throw ConfigError(where + ": \"conversion_factors\" must list at most 4 factors");
        for (const json& factor : factors) {
            if (!factor.is_number() || factor.get<double>() <= 0.0 || factor.get<double>() > 655.0)
                throw ConfigError(where + ": conversion factors must lie in (0, 655]");
            c.convFactors.push_back(static_cast<uint16_t>(factor.get<double>() * 100.0 + 0.5));
        }
    }
    readTimeLimits(object, "exposure", c.minExposureNs, c.maxExposureMs, c.exposureStepNs, where);
    readTimeLimits(object, "delay", c.minDelayNs, c.maxDelayMs, c.delayStepNs, where);
    if (object.contains("alternative_sensitivity")) {
        const json alt = section(object, "alternative_sensitivity", {"exposure", "delay", "gain"}, where);
        c.altSensitivity = true;
        c.altMinExposureNs = c.minExposureNs;
        c.altMaxExposureMs = c.maxExposureMs;
        c.altExposureStepNs = c.exposureStepNs;
        c.altMinDelayNs = c.minDelayNs;
        c.altMaxDelayMs = c.maxDelayMs;
        c.altDelayStepNs = c.delayStepNs;
        const std::string altWhere = where + ".alternative_sensitivity";
        readTimeLimits(alt, "exposure", c.altMinExposureNs, c.altMaxExposureMs, c.altExposureStepNs, altWhere);
        readTimeLimits(alt, "delay", c.altMinDelayNs, c.altMaxDelayMs, c.altDelayStepNs, altWhere);
        readDouble(alt, "gain", c.altGain, altWhere);
    }
    if (c.minExposureNs == 0 || uint64_t(c.maxExposureMs) * 1000000u < c.minExposureNs)
        throw ConfigError(where + ".exposure: min_ns must be positive and not above max_ms");

    const json roi = section(object, "roi", {"step_horz", "step_vert", "symmetric_horz", "symmetric_vert",
                                             "min_width", "min_height"}, where);
    readUnsigned(roi, "step_horz", c.roiStepHorz, where + ".roi");
    readUnsigned(roi, "step_vert", c.roiStepVert, where + ".roi");
    readBool(roi, "symmetric_horz", c.roiSymmetricHorz, where + ".roi");
    readBool(roi, "symmetric_vert", c.roiSymmetricVert, where + ".roi");
    readUnsigned(roi, "min_width", c.minWidth, where + ".roi");
    readUnsigned(roi, "min_height", c.minHeight, where + ".roi");

    const json binning = section(object, "binning", {"max_horz", "max_vert", "linear", "average"}, where);
    readUnsigned(binning, "max_horz", c.maxBinHorz, where + ".binning", 0x0FFF);
    readUnsigned(binning, "max_vert", c.maxBinVert, where + ".binning", 0x0FFF);
    readBool(binning, "linear", c.binLinear, where + ".binning");
    readBool(binning, "average", c.averageBinning, where + ".binning");
    if (c.maxBinHorz == 0 || c.maxBinVert == 0)
        throw ConfigError(where + ".binning: maxima must be at least 1");

    const json ram = section(object, "ram", {"pages", "page_size"}, where);
    readUnsigned(ram, "pages", c.ramPages, where + ".ram");
    readUnsigned(ram, "page_size", c.ramPageSize, where + ".ram");
    if (c.ramPageSize == 0)
        throw ConfigError(where + ".ram: page_size must be at least 1");

    const json caps = section(object, "capabilities", {"line_sensor", "noise_filter", "metadata", "timestamp",
                                                       "timestamp_ascii", "acquire_mode", "ext_acquire_mode",
                                                       "ext_exposure_control", "double_image"}, where);
    const std::string capsWhere = where + ".capabilities";
    readBool(caps, "line_sensor", c.lineSensor, capsWhere);
    readBool(caps, "noise_filter", c.noiseFilter, capsWhere);
    readBool(caps, "metadata", c.metadata, capsWhere);
    readBool(caps, "timestamp", c.timestamp, capsWhere);
    readBool(caps, "timestamp_ascii", c.timestampAscii, capsWhere);
    readBool(caps, "acquire_mode", c.acquireMode, capsWhere);
    readBool(caps, "ext_acquire_mode", c.extAcquireMode, capsWhere);
    readBool(caps, "ext_exposure_control", c.extExposureControl, capsWhere);
    readBool(caps, "double_image", c.doubleImage, capsWhere);
    if (c.extAcquireMode && !c.acquireMode)
        throw ConfigError(capsWhere + ": ext_acquire_mode needs acquire_mode");

    if (object.contains("pixel_formats")) {
        const json& formats = object["pixel_formats"];
        if (!formats.is_array() || formats.empty())
            throw ConfigError(where + ": \"pixel_formats\" must list bit resolutions");
        bool hasNative = false;
        for (const json& bits : formats) {
            const uint32_t flag = bits.is_number_unsigned() && bits.get<uint64_t>() <= 16
                ? CameraConfig::flagOfBits(bits.get<uint16_t>()) : 0;
            if (flag == 0 || bits.get<uint16_t>() > c.bitDepth)
                throw ConfigError(where + ": pixel formats must be 8, 10, 12, 14 or 16 and not above the sensor bits");
            hasNative = hasNative || bits.get<uint16_t>() == c.bitDepth;
            c.pixelFormatFlags.push_back(flag);
        }
        if (!hasNative)
            throw ConfigError(where + ": \"pixel_formats\" must include the sensor bits");
    } else if (CameraConfig::flagOfBits(c.bitDepth) == 0) {
        throw ConfigError(where + ".sensor: bits must be 8, 10, 12, 14 or 16");
    }

    readUnsigned(object, "dark_offset", c.darkOffset, where);
    readDouble(object, "read_noise", c.readNoise, where);
    if (object.contains("color_matrix")) {
        const json& matrix = object["color_matrix"];
        if (!matrix.is_array() || matrix.size() != 9)
            throw ConfigError(where + ": \"color_matrix\" must hold 9 numbers");
        for (size_t i = 0; i < 9; ++i) {
            if (!matrix[i].is_number())
                throw ConfigError(where + ": \"color_matrix\" must hold 9 numbers");
            c.colorMatrix[i] = matrix[i].get<double>();
        }
    }
    readUnsigned(object, "color_setting", c.colorSetting, where);
    if (!c.color)
        c.colorSetting = object.contains("color_setting") ? c.colorSetting : 0;
    readDouble(object, "reference_exposure_s", c.referenceExposureS, where);
    readDouble(object, "external_trigger_hz", c.externalTriggerHz, where);
    readDouble(object, "external_pulse_s", c.externalPulseS, where);
    if (c.referenceExposureS <= 0.0 || c.externalTriggerHz <= 0.0 || c.externalPulseS <= 0.0)
        throw ConfigError(where + ": reference_exposure_s, external_trigger_hz and external_pulse_s must be positive");
    readUnsigned(object, "seed", c.seed, where);
    readUnsigned(object, "hw_version", c.hwVersion, where);
    readUnsigned(object, "fw_version", c.fwVersion, where);

    const json health = section(object, "health", {"warnings", "errors", "status", "after_s"}, where);
    readUnsigned(health, "warnings", c.healthWarnings, where + ".health");
    readUnsigned(health, "errors", c.healthErrors, where + ".health");
    readUnsigned(health, "status", c.healthStatus, where + ".health");
    readDouble(health, "after_s", c.healthAfterS, where + ".health");
    const json failure = section(object, "failure", {"after_frames", "after_s"}, where);
    readUnsigned(failure, "after_frames", c.failAfterFrames, where + ".failure");
    readDouble(failure, "after_s", c.failAfterS, where + ".failure");
    return c;
}

CameraSet failed(int32_t code, const std::string& text)
{
    CameraSet set;
    set.result = code;
    set.error = text;
    return set;
}

} // namespace

uint32_t CameraConfig::flagOfBits(uint16_t bits)
{
    switch (bits) {
    case 16: return VYK_PIXELFORMAT_16BIT;
    case 14: return VYK_PIXELFORMAT_14BIT;
    case 12: return VYK_PIXELFORMAT_12BIT;
    case 10: return VYK_PIXELFORMAT_10BIT;
    case 8: return VYK_PIXELFORMAT_8BIT;
    default: return 0;
    }
}

uint16_t CameraConfig::bitsOfFlag(uint32_t flag)
{
    for (uint16_t bits : {16, 14, 12, 10, 8}) {
        if (flagOfBits(bits) == flag)
            return bits;
    }
    return 0;
}

CameraSet defaultCameraSet()
{
    CameraSet set;
    CameraConfig mono;
    mono.serial = 1001;
    mono.name = "Rastel Sim 2048 mono";
    mono.type = 0x1300;
    mono.interfaceType = VYK_INTERFACE_USB3;
    mono.width = mono.extWidth = 2048;
    mono.height = mono.extHeight = 2048;
    mono.bitDepth = 16;
    mono.pixelRates = {95333333u, 272250000u};
    mono.convFactors = {46, 100};
    mono.minExposureNs = 10000;
    mono.maxExposureMs = 10000;
    mono.exposureStepNs = 10;
    mono.roiStepHorz = 4;
    mono.roiStepVert = 2;
    mono.roiSymmetricVert = true;
    mono.minWidth = 64;
    mono.minHeight = 16;
    mono.maxBinHorz = 4;
    mono.maxBinVert = 4;
    mono.averageBinning = true;
    mono.ramPages = 1u << 20;     // 4 Gi pixels: 1024 full images
    mono.ramPageSize = 4096;
    mono.noiseFilter = true;
    mono.metadata = true;
    mono.timestamp = true;
    mono.timestampAscii = true;
    mono.acquireMode = true;
    mono.extAcquireMode = true;
    mono.darkOffset = 100;
    mono.readNoise = 12.0;
    mono.seed = 1001;
    set.cameras.push_back(mono);

    CameraConfig color;
    color.serial = 2002;
    color.name = "Rastel Sim 1920 colour";
    color.type = 0x1400;
    color.interfaceType = VYK_INTERFACE_GIGE;
    color.width = color.extWidth = 1920;
    color.height = color.extHeight = 1200;
    color.bitDepth = 12;
    color.color = true;
    color.colorPattern = 0x4321; // RGGB
    color.pixelRates = {80000000u};
    color.convFactors = {100};
    color.minExposureNs = 20000;
    color.maxExposureMs = 2000;
    color.exposureStepNs = 100;
    color.roiStepHorz = 2;
    color.roiStepVert = 2;
    color.maxBinHorz = 1;
    color.maxBinVert = 1;
    color.metadata = true;
    color.timestamp = true;
    color.acquireMode = true;
    color.pixelFormatFlags = {VYK_PIXELFORMAT_12BIT, VYK_PIXELFORMAT_8BIT};
    color.colorMatrix = {{1.55, -0.40, -0.15, -0.25, 1.45, -0.20, -0.05, -0.50, 1.55}};
    color.colorSetting = 1;
    color.darkOffset = 32;
    color.readNoise = 2.0;
    color.seed = 2002;
    set.cameras.push_back(color);
    return set;
}

CameraSet parseCameraSet(const std::string& jsonText)
{
    json document;
    try {
        document = json::parse(jsonText);
    } catch (const json::exception& e) {
        return failed(VYK_ERR_FILE_FORMAT, std::string("camera set is not valid JSON: ") + e.what());
    }
    try {
        checkKeys(document, {"cameras", "light_sources"}, "camera set"); // light_sources: read by lsx_lumra
        if (!document.contains("cameras") || !document["cameras"].is_array() || document["cameras"].empty())
            throw ConfigError("camera set: \"cameras\" must list at least one camera");
        CameraSet set;
        std::set<uint32_t> serials;
        for (size_t i = 0; i < document["cameras"].size(); ++i) {
            set.cameras.push_back(parseCamera(document["cameras"][i], i));
            if (!serials.insert(set.cameras.back().serial).second)
                throw ConfigError("cameras[" + std::to_string(i) + "]: serial "
                                  + std::to_string(set.cameras.back().serial) + " appears twice");
        }
        return set;
    } catch (const ConfigError& e) {
        return failed(VYK_ERR_FILE_FORMAT, e.what());
    } catch (const json::exception& e) {
        return failed(VYK_ERR_FILE_FORMAT, e.what());
    }
}

CameraSet loadCameraSetFromEnvironment()
{
    const char* path = std::getenv("RASTEL_SIM_CONFIG");
    if (path == nullptr || *path == '\0')
        return defaultCameraSet();
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return failed(VYK_ERR_FILE_IO, std::string("cannot read camera set ") + path);
    std::ostringstream text;
    text << file.rdbuf();
    return parseCameraSet(text.str());
}

} // namespace vyksim
