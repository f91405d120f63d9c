#include "SimLumraSpec.h"

#include "lsx_lumra.h"

#include <cstdlib>
#include <fstream>
#include <iostream>

#include <nlohmann/json.hpp>

namespace lumrasim {

namespace {

SimFailure parseFailure(const std::string& text)
{
    if (text == "none")
        return SimFailure::None;
    if (text == "not_responding")
        return SimFailure::NotResponding;
    if (text == "open_fails")
        return SimFailure::OpenFails;
    throw std::invalid_argument("unknown failure \"" + text + "\"");
}

SimChannelSpec parseChannel(const nlohmann::json& j)
{
    SimChannelSpec channel;
    channel.wavelength = j.at("wavelength_nm").get<uint32_t>();
    channel.exclusivity = j.value("exclusivity", 0u);
    channel.intensityMin = j.value("intensity_min", 0u);
    channel.intensityMax = j.value("intensity_max", 1000u);
    channel.intensity = j.value("intensity", (channel.intensityMin + channel.intensityMax) / 2);
    if (channel.intensityMin > channel.intensityMax || channel.intensity < channel.intensityMin
        || channel.intensity > channel.intensityMax)
        throw std::invalid_argument("intensity outside intensity_min..intensity_max");
    return channel;
}

SimLumraSpec parseLightSource(const nlohmann::json& j)
{
    SimLumraSpec spec;
    spec.serial = j.at("serial").get<uint32_t>();
    spec.connection = j.at("connection").get<std::string>();
    spec.model = j.value("model", 2u);
    if (spec.model > 9)
        throw std::invalid_argument("model must be 0..9");
    for (const nlohmann::json& channel : j.at("channels"))
        spec.channels.push_back(parseChannel(channel));
    if (spec.channels.empty() || spec.channels.size() > LUMRA_MAX_CHANNELS)
        throw std::invalid_argument("a light source has 1..15 channels");
    spec.statusWord = j.value("status_word", 0u);
    spec.failure = parseFailure(j.value("failure", std::string("none")));
    return spec;
}

}  // namespace

SimLumraSpec defaultSimLumraSpec()
{
    SimLumraSpec spec;
    spec.serial = 7001;
    spec.connection = "/dev/ttyACM0";
    spec.model = 2;
    spec.channels = {{385, 1, 0, 1000, 500}, {470, 1, 0, 1000, 500}, {560, 0, 0, 1000, 500},
                     {640, 0, 0, 1000, 500}};
    return spec;
}

std::vector<SimLumraSpec> loadSimLumraSpecs()
{
    const char* path = std::getenv("RASTEL_SIM_CONFIG");
    if (path == nullptr || *path == '\0')
        return {defaultSimLumraSpec()};
    std::ifstream in(path);
    if (!in) {
        std::cerr << "lsx_lumra: cannot read " << path << ", using the built-in light source\n";
        return {defaultSimLumraSpec()};
    }
    nlohmann::json root;
    try {
        in >> root;
    } catch (const nlohmann::json::exception& e) {
        std::cerr << "lsx_lumra: " << path << " is not JSON (" << e.what()
                  << "), using the built-in light source\n";
        return {defaultSimLumraSpec()};
    }
    if (!root.is_object() || !root.contains("light_sources"))
        return {defaultSimLumraSpec()};
    std::vector<SimLumraSpec> specs;
    const nlohmann::json& list = root["light_sources"];
    if (!list.is_array()) {
        std::cerr << "lsx_lumra: \"light_sources\" must be an array\n";
        return specs;
    }
    for (const nlohmann::json& entry : list) {
        try {
            specs.push_back(parseLightSource(entry));
        } catch (const std::exception& e) {
            std::cerr << "lsx_lumra: skipping light source " << entry.dump() << ": " << e.what() << "\n";
        }
    }
    return specs;
}

}  // namespace lumrasim
