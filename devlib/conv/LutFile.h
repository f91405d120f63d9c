// Reading the 256-entry colour tables of the pseudocolour conversion.
#ifndef VYKCONV_LUT_FILE_H
#define VYKCONV_LUT_FILE_H

#include <array>
#include <cstdint>
#include <string>

namespace vykconv {

// Parses colour-table files of the four kinds (see vyk_conv.h, VYKCONV_LUT_*).
class LutFile {
public:
    // 256 entries of red, green, blue.
    using Table = std::array<std::array<uint8_t, 3>, 256>;

    // Reads and parses a file; returns a vyk result code and leaves out untouched on failure.
    static int32_t load(int32_t kind, const char* path, Table& out);

    // Parses file content of the given kind; returns a vyk result code.
    static int32_t parse(int32_t kind, const std::string& content, Table& out);

    // The identity grey ramp used until a table is loaded.
    static Table grey();

    // Files larger than this are refused as malformed without being read.
    static constexpr size_t kMaxFileBytes = 1u << 20;
};

} // namespace vykconv

#endif
