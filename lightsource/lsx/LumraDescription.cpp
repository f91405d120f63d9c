#include "lightsource/lsx/LumraDescription.h"

#include <nlohmann/json.hpp>

namespace lsx {

namespace {
// Peers read the misspelt key; it must stay exactly like this.
constexpr const char* kWavelengthsKey = "wavelenghts_vec";
}  // namespace

bool operator==(const LumraDescription& a, const LumraDescription& b)
{
    return a.serial == b.serial && a.com_port == b.com_port && a.type == b.type && a.name == b.name
        && a.wavelengths == b.wavelengths && a.exclusivity == b.exclusivity
        && a.intensity_max == b.intensity_max && a.intensity_min == b.intensity_min;
}

bool operator!=(const LumraDescription& a, const LumraDescription& b)
{
    return !(a == b);
}

void to_json(nlohmann::json& j, const LumraDescription& description)
{
    j = nlohmann::json{{"serial", description.serial},
                       {"com_port", description.com_port},
                       {"type", lumraTypeToString(description.type)},
                       {"name", description.name},
                       {kWavelengthsKey, description.wavelengths},
                       {"exclusivity_vec", description.exclusivity},
                       {"intensity_max_vec", description.intensity_max},
                       {"intensity_min_vec", description.intensity_min}};
}

void from_json(const nlohmann::json& j, LumraDescription& description)
{
    j.at("serial").get_to(description.serial);
    j.at("com_port").get_to(description.com_port);
    description.type = lumraTypeFromString(j.at("type").get<std::string>());
    j.at("name").get_to(description.name);
    j.at(kWavelengthsKey).get_to(description.wavelengths);
    j.at("exclusivity_vec").get_to(description.exclusivity);
    j.at("intensity_max_vec").get_to(description.intensity_max);
    j.at("intensity_min_vec").get_to(description.intensity_min);
}

}  // namespace lsx
