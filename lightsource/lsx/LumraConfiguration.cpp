#include "lightsource/lsx/LumraConfiguration.h"

#include <nlohmann/json.hpp>

namespace lsx {

bool operator==(const LumraConfiguration& a, const LumraConfiguration& b)
{
    return a.intensities == b.intensities && a.on_states == b.on_states;
}

bool operator!=(const LumraConfiguration& a, const LumraConfiguration& b)
{
    return !(a == b);
}

void to_json(nlohmann::json& j, const LumraConfiguration& configuration)
{
    j = nlohmann::json{{"intensities", configuration.intensities}, {"on_states", configuration.on_states}};
}

void from_json(const nlohmann::json& j, LumraConfiguration& configuration)
{
    j.at("intensities").get_to(configuration.intensities);
    j.at("on_states").get_to(configuration.on_states);
}

}  // namespace lsx
