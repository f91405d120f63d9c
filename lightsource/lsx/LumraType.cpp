#include "lightsource/lsx/LumraType.h"

#include <stdexcept>

namespace lsx {

namespace {

struct ModelName {
    const char* display; ///< shown to the user
    const char* json;    ///< carried in JSON
};

// Index = model code.
constexpr ModelName kModels[] = {
    {"Lumra Mini", "LumraMini"},   {"Lumra 2", "Lumra2"},         {"Lumra 4", "Lumra4"},
    {"Lumra 4 LED", "Lumra4LED"},  {"Lumra 6", "Lumra6"},         {"Lumra 8 LED", "Lumra8LED"},
    {"Lumra 12", "Lumra12"},       {"Lumra UV", "LumraUV"},       {"Lumra IR", "LumraIR"},
    {"Lumra Spectra", "LumraSpectra"},
};
constexpr LumraType kModelCount = sizeof(kModels) / sizeof(kModels[0]);

}  // namespace

std::string lumraTypeName(LumraType type)
{
    if (type == kLumraTypeAny)
        return "<Undefined Type>";
    return type < kModelCount ? kModels[type].display : "";
}

std::string lumraTypeToString(LumraType type)
{
    if (type == kLumraTypeAny)
        return "Any";
    return type < kModelCount ? kModels[type].json : std::to_string(type);
}

LumraType lumraTypeFromString(const std::string& text)
{
    if (text == "Any")
        return kLumraTypeAny;
    for (LumraType code = 0; code < kModelCount; ++code) {
        if (text == kModels[code].json)
            return code;
    }
    if (!text.empty() && text.size() <= 10 && text.find_first_not_of("0123456789") == std::string::npos) {
        const unsigned long long value = std::stoull(text);
        if (value <= 0xFFFFFFFFull)
            return static_cast<LumraType>(value);
    }
    throw std::invalid_argument("unknown LumraType \"" + text + "\"");
}

}  // namespace lsx
