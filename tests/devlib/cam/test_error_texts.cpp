// Every result code the simulated libraries declare in their public headers has a text of
// its own: a user never reads "Error 0x... without a known text." for a code we return.
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "kv2_cam.h"

namespace {

// One code declared in a header: where, under which name, and its value.
struct DeclaredCode {
    std::string header; // file name inside the include folder
    std::string name;   // the macro's name
    uint32_t value = 0; // the code
};

// The headers whose codes the libraries return (light sources share the code space).
const char* const kHeaders[] = {"vyk_errors.h", "vyk_recorder.h", "vyk_conv.h", "vyk_export.h",
                                "kv2_cam.h", "lsx_lumra.h"};

// Every "#define NAME ((int32_t)0x...u)" whose name marks an error or a warning.
std::vector<DeclaredCode> declaredCodes()
{
    const std::regex define(R"(#define\s+(\w*_(?:ERR|WARN)\w*)\s+\(\(int32_t\)\s*0x([0-9A-Fa-f]+)u?\))");
    std::vector<DeclaredCode> codes;
    for (const char* header : kHeaders) {
        std::ifstream in(std::string(RASTEL_DEVLIB_INCLUDE_DIR) + "/" + header);
        EXPECT_TRUE(in.good()) << header;
        std::stringstream text;
        text << in.rdbuf();
        const std::string content = text.str();
        for (std::sregex_iterator it(content.begin(), content.end(), define), end; it != end; ++it)
            codes.push_back({header, (*it)[1].str(), uint32_t(std::stoul((*it)[2].str(), nullptr, 16))});
    }
    return codes;
}

std::string textOf(uint32_t code, uint32_t length = 100)
{
    std::vector<char> buffer(length + 1, '\0');
    EXPECT_EQ(VYK_GetErrorText(code, buffer.data(), length), VYK_NOERROR);
    return buffer.data();
}

} // namespace

TEST(ErrorTexts, EveryDeclaredCodeHasItsOwnText)
{
    const std::vector<DeclaredCode> codes = declaredCodes();
    // The walk must find the codes at all, including the recorder's own ones.
    ASSERT_GE(codes.size(), 30u);
    std::set<std::string> names;
    for (const DeclaredCode& code : codes)
        names.insert(code.name);
    for (const char* name : {"VYK_ERR_FILE_EXISTS", "VYK_ERR_NO_IMAGE", "VYK_WARN_FILE_EXISTS", "VYK_ERR_LAYER",
                             "LUMRA_ERR_TIMEOUT"})
        EXPECT_EQ(names.count(name), 1u) << name;

    const std::string unknown = textOf(0x8015FFFFu);
    ASSERT_NE(unknown.find("without a known text"), std::string::npos) << unknown;
    for (const DeclaredCode& code : codes) {
        const std::string text = textOf(code.value);
        EXPECT_EQ(text.find("without a known text"), std::string::npos)
            << code.name << " (" << code.header << ") has no text: " << text;
        EXPECT_FALSE(text.empty()) << code.name;
        // The camera layer asks with a buffer of 100: the text must not be cut there.
        EXPECT_LT(text.size(), 100u) << code.name;
    }
}

TEST(ErrorTexts, RecorderCodesReadAsWhatHappened)
{
    EXPECT_NE(textOf(0x80153013u).find("image"), std::string::npos) << textOf(0x80153013u);
    EXPECT_NE(textOf(0x80153012u).find("exists"), std::string::npos) << textOf(0x80153012u);
    EXPECT_NE(textOf(0xC0153011u).find("replaced"), std::string::npos) << textOf(0xC0153011u);
    // A short buffer gets a cut, terminated text, never an overrun.
    EXPECT_EQ(textOf(0x80153013u, 8).size(), 7u);
}
