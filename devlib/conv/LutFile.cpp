#include "LutFile.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <sstream>
#include <vector>

#include "vyk_conv.h"

namespace vykconv {

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// Splits content into lines of whitespace-separated numbers, dropping comments ('#'
// to the end of the line) and blank lines. Returns false on anything that is not a
// decimal integer in 0..255.
bool numberLines(const std::string& content, std::vector<std::vector<int>>& lines)
{
    std::istringstream in(content);
    std::string line;
    while (std::getline(in, line)) {
        const auto hash = line.find('#');
        if (hash != std::string::npos)
            line.erase(hash);
        std::istringstream words(line);
        std::string word;
        std::vector<int> numbers;
        while (words >> word) {
            char* end = nullptr;
            errno = 0;
            const long v = std::strtol(word.c_str(), &end, 10);
            if (errno != 0 || end == word.c_str() || *end != '\0' || v < 0 || v > 255)
                return false;
            numbers.push_back(static_cast<int>(v));
        }
        if (!numbers.empty())
            lines.push_back(std::move(numbers));
    }
    return true;
}

int32_t parseText(const std::string& content, LutFile::Table& out)
{
    std::vector<std::vector<int>> lines;
    if (!numberLines(content, lines) || lines.size() != 256)
        return VYK_ERR_FILE_FORMAT;
    for (size_t i = 0; i < 256; ++i) {
        if (lines[i].size() != 3)
            return VYK_ERR_FILE_FORMAT;
        for (size_t c = 0; c < 3; ++c)
            out[i][c] = static_cast<uint8_t>(lines[i][c]);
    }
    return VYK_NOERROR;
}

int32_t parseControlPoints(const std::string& content, LutFile::Table& out)
{
    std::vector<std::vector<int>> points;
    if (!numberLines(content, points) || points.size() < 2)
        return VYK_ERR_FILE_FORMAT;
    for (size_t k = 0; k < points.size(); ++k) {
        if (points[k].size() != 4 || (k > 0 && points[k][0] <= points[k - 1][0]))
            return VYK_ERR_FILE_FORMAT;
    }
    if (points.front()[0] != 0 || points.back()[0] != 255)
        return VYK_ERR_FILE_FORMAT;
    for (size_t k = 0; k + 1 < points.size(); ++k) {
        const auto& a = points[k];
        const auto& b = points[k + 1];
        const int span = b[0] - a[0];
        for (int i = a[0]; i <= b[0]; ++i)
            for (size_t c = 0; c < 3; ++c) {
                const int num = a[c + 1] * (b[0] - i) + b[c + 1] * (i - a[0]);
                out[static_cast<size_t>(i)][c] = static_cast<uint8_t>((num + span / 2) / span);
            }
    }
    return VYK_NOERROR;
}

int32_t parseBinary(const std::string& content, bool planar, LutFile::Table& out)
{
    if (content.size() != 768)
        return VYK_ERR_FILE_FORMAT;
    for (size_t i = 0; i < 256; ++i)
        for (size_t c = 0; c < 3; ++c)
            out[i][c] = static_cast<uint8_t>(planar ? content[c * 256 + i] : content[i * 3 + c]);
    return VYK_NOERROR;
}

} // namespace

int32_t LutFile::parse(int32_t kind, const std::string& content, Table& out)
{
    Table table{};
    int32_t rc;
    switch (kind) {
    case VYKCONV_LUT_PLANAR_BINARY: rc = parseBinary(content, true, table); break;
    case VYKCONV_LUT_TEXT: rc = parseText(content, table); break;
    case VYKCONV_LUT_INTERLEAVED_BINARY: rc = parseBinary(content, false, table); break;
    case VYKCONV_LUT_CONTROL_POINTS: rc = parseControlPoints(content, table); break;
    default: return VYK_ERR_INVALID_ARGUMENT;
    }
    if (rc == VYK_NOERROR)
        out = table;
    return rc;
}

int32_t LutFile::load(int32_t kind, const char* path, Table& out)
{
    if (path == nullptr)
        return VYK_ERR_NULL_POINTER;
    if (kind < VYKCONV_LUT_PLANAR_BINARY || kind > VYKCONV_LUT_CONTROL_POINTS)
        return VYK_ERR_INVALID_ARGUMENT;
    errno = 0;
    FilePtr file(std::fopen(path, "rb"));
    if (!file)
        return errno == ENOENT || errno == ENOTDIR ? VYK_ERR_FILE_NOT_FOUND : VYK_ERR_FILE_IO;
    std::string content;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, file.get())) > 0) {
        content.append(buffer, n);
        if (content.size() > kMaxFileBytes)
            return VYK_ERR_FILE_FORMAT;
    }
    if (std::ferror(file.get()))
        return VYK_ERR_FILE_IO; // e.g. the path names a directory
    return parse(kind, content, out);
}

LutFile::Table LutFile::grey()
{
    Table t{};
    for (size_t i = 0; i < 256; ++i)
        t[i] = {static_cast<uint8_t>(i), static_cast<uint8_t>(i), static_cast<uint8_t>(i)};
    return t;
}

} // namespace vykconv
