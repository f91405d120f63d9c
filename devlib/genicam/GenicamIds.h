// Which GenICam cameras the device library offers: the RASTEL_GENICAM list.
#ifndef VYKSIM_GENICAM_IDS_H
#define VYKSIM_GENICAM_IDS_H

#include <cstdint>
#include <string>
#include <vector>

namespace vyksim {

// One entry of the list: an Aravis device id and the feature values written to the camera
// right after it is opened.
struct GenicamId {
    std::string device;      // Aravis device id: an IPv4 address, "Fake_1", or a camera id
    std::string features;    // "Feature=Value Feature=Value ..." applied at open; may be empty
    uint16_t interfaceType;  // VYK_INTERFACE_GIGE for addresses and the fake camera, else VYK_INTERFACE_USB3
};

// The parsed list.
struct GenicamList {
    std::vector<GenicamId> ids;  // in list order, without duplicates
    bool discover = false;       // the word "discover" was listed: ask Aravis for every camera it finds
};

// Name of the environment variable holding the list.
constexpr const char* kGenicamVariable = "RASTEL_GENICAM";

// Parses a list: entries separated by commas; in each entry the first word is the device id
// and the other words (separated by blanks) are Feature=Value pairs. Empty entries are
// skipped; "discover" (any case) sets the discover flag instead of naming a device.
GenicamList parseGenicamList(const std::string& text);

// The list in RASTEL_GENICAM; empty when the variable is unset.
GenicamList genicamListFromEnvironment();

// The interface a device id is taken to be on before it is opened.
uint16_t interfaceOfGenicamId(const std::string& device);

// The 32-bit serial of a GenICam serial text: the number itself when the text is a decimal
// number below 2^32, else the FNV-1a hash of the text with the top bit set (so that it stays
// apart from small numeric serials).
uint32_t serialOfGenicamText(const std::string& text);

} // namespace vyksim

#endif // VYKSIM_GENICAM_IDS_H
