// Parsing of the GenICam camera list.
#include "GenicamIds.h"

#include "kv2_cam.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <sstream>

namespace vyksim {

namespace {

std::string trimmed(const std::string& text)
{
    const auto first = std::find_if_not(text.begin(), text.end(), [](unsigned char c) { return std::isspace(c); });
    const auto last = std::find_if_not(text.rbegin(), text.rend(), [](unsigned char c) { return std::isspace(c); });
    return first < last.base() ? std::string(first, last.base()) : std::string();
}

std::string lowered(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return text;
}

bool isIpv4(const std::string& text)
{
    int parts = 0;
    std::istringstream in(text);
    std::string part;
    while (std::getline(in, part, '.')) {
        if (part.empty() || part.size() > 3 || !std::all_of(part.begin(), part.end(), ::isdigit)
            || std::stoi(part) > 255)
            return false;
        ++parts;
    }
    return parts == 4 && text.back() != '.';
}

} // namespace

uint16_t interfaceOfGenicamId(const std::string& device)
{
    // Aravis's in-process fake camera presents itself as a GigE Vision camera.
    if (isIpv4(device) || device.rfind("Fake_", 0) == 0)
        return VYK_INTERFACE_GIGE;
    return VYK_INTERFACE_USB3;
}

GenicamList parseGenicamList(const std::string& text)
{
    GenicamList list;
    std::istringstream entries(text);
    std::string entry;
    while (std::getline(entries, entry, ',')) {
        std::istringstream words(trimmed(entry));
        GenicamId id;
        if (!(words >> id.device))
            continue;
        if (lowered(id.device) == "discover") {
            list.discover = true;
            continue;
        }
        std::string word;
        while (words >> word)
            id.features += (id.features.empty() ? "" : " ") + word;
        id.interfaceType = interfaceOfGenicamId(id.device);
        const bool seen = std::any_of(list.ids.begin(), list.ids.end(),
                                      [&](const GenicamId& other) { return other.device == id.device; });
        if (!seen)
            list.ids.push_back(id);
    }
    return list;
}

GenicamList genicamListFromEnvironment()
{
    const char* value = std::getenv(kGenicamVariable);
    return value == nullptr ? GenicamList{} : parseGenicamList(value);
}

uint32_t serialOfGenicamText(const std::string& text)
{
    if (!text.empty() && text.size() <= 10 && std::all_of(text.begin(), text.end(), ::isdigit)) {
        const unsigned long long number = std::stoull(text);
        if (number <= 0xFFFFFFFFull)
            return uint32_t(number);
    }
    uint32_t hash = 2166136261u;
    for (unsigned char c : text) {
        hash ^= c;
        hash *= 16777619u;
    }
    return hash | 0x80000000u;
}

} // namespace vyksim
