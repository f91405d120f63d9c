// Pseudocolour tables: the four file kinds, malformed files, the shipped tables, and
// the pseudocolour conversion that uses them.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ConvHandle.h"
#include "LutFile.h"
#include "vyk_conv.h"

namespace fs = std::filesystem;

namespace {

// A temporary directory for the files of one test, removed at the end.
class LutFiles : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir_ = fs::temp_directory_path()
               / ("vykconv_lut_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "_"
                  + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string write(const std::string& name, const std::string& content)
    {
        const fs::path p = dir_ / name;
        std::ofstream(p, std::ios::binary) << content;
        return p.string();
    }

    fs::path dir_;
};

// A table whose entry i is (i, 255 - i, i / 2).
std::string planarBinary()
{
    std::string s(768, '\0');
    for (int i = 0; i < 256; ++i) {
        s[static_cast<size_t>(i)] = static_cast<char>(i);
        s[static_cast<size_t>(256 + i)] = static_cast<char>(255 - i);
        s[static_cast<size_t>(512 + i)] = static_cast<char>(i / 2);
    }
    return s;
}

std::string interleavedBinary()
{
    std::string s(768, '\0');
    for (int i = 0; i < 256; ++i) {
        s[static_cast<size_t>(3 * i)] = static_cast<char>(i);
        s[static_cast<size_t>(3 * i + 1)] = static_cast<char>(255 - i);
        s[static_cast<size_t>(3 * i + 2)] = static_cast<char>(i / 2);
    }
    return s;
}

std::string textTable(int lines = 256)
{
    std::string s = "# test table\n\n";
    for (int i = 0; i < lines; ++i)
        s += std::to_string(i) + " " + std::to_string(255 - i) + "\t" + std::to_string(i / 2) + "  # entry\n";
    return s;
}

void expectTestTable(const vykconv::LutFile::Table& t)
{
    for (int i = 0; i < 256; ++i) {
        EXPECT_EQ(t[static_cast<size_t>(i)][0], i);
        EXPECT_EQ(t[static_cast<size_t>(i)][1], 255 - i);
        EXPECT_EQ(t[static_cast<size_t>(i)][2], i / 2);
    }
}

TEST_F(LutFiles, EachKindReadsItsFormat)
{
    vykconv::LutFile::Table t{};
    ASSERT_EQ(vykconv::LutFile::load(VYKCONV_LUT_PLANAR_BINARY, write("a.lt4", planarBinary()).c_str(), t), VYK_NOERROR);
    expectTestTable(t);
    t = {};
    ASSERT_EQ(vykconv::LutFile::load(VYKCONV_LUT_INTERLEAVED_BINARY, write("b.lt2", interleavedBinary()).c_str(), t),
              VYK_NOERROR);
    expectTestTable(t);
    t = {};
    ASSERT_EQ(vykconv::LutFile::load(VYKCONV_LUT_TEXT, write("c.lut", textTable()).c_str(), t), VYK_NOERROR);
    expectTestTable(t);
    t = {};
    const std::string points = "# ramp with a kink\n0 0 255 10\n100 200 55 10\n255 255 0 10\n";
    ASSERT_EQ(vykconv::LutFile::load(VYKCONV_LUT_CONTROL_POINTS, write("d.lt1", points).c_str(), t), VYK_NOERROR);
    EXPECT_EQ(t[0], (std::array<uint8_t, 3>{0, 255, 10}));
    EXPECT_EQ(t[50], (std::array<uint8_t, 3>{100, 155, 10}));
    EXPECT_EQ(t[100], (std::array<uint8_t, 3>{200, 55, 10}));
    EXPECT_EQ(t[255], (std::array<uint8_t, 3>{255, 0, 10}));
    EXPECT_EQ(t[101][0], 200); // 200 + 55 / 155 rounds to 200
}

TEST_F(LutFiles, MalformedFilesAreRefused)
{
    struct Bad {
        int kind;
        std::string content;
    };
    std::string badValue = textTable();
    badValue.replace(badValue.find("\n10 245"), 7, "\n10 256");
    std::string badWord = textTable();
    badWord.replace(badWord.find("\n10 245"), 7, "\n10 24x");
    std::string twoNumbers = textTable(255) + "1 2\n";
    const std::vector<Bad> cases = {
        {VYKCONV_LUT_PLANAR_BINARY, planarBinary().substr(1)},
        {VYKCONV_LUT_PLANAR_BINARY, planarBinary() + "x"},
        {VYKCONV_LUT_INTERLEAVED_BINARY, ""},
        {VYKCONV_LUT_TEXT, textTable(255)},
        {VYKCONV_LUT_TEXT, textTable(257)},
        {VYKCONV_LUT_TEXT, badValue},
        {VYKCONV_LUT_TEXT, badWord},
        {VYKCONV_LUT_TEXT, twoNumbers},
        {VYKCONV_LUT_TEXT, planarBinary()},
        {VYKCONV_LUT_CONTROL_POINTS, "0 0 0 0\n"},
        {VYKCONV_LUT_CONTROL_POINTS, "1 0 0 0\n255 9 9 9\n"},
        {VYKCONV_LUT_CONTROL_POINTS, "0 0 0 0\n254 9 9 9\n"},
        {VYKCONV_LUT_CONTROL_POINTS, "0 0 0 0\n90 1 1 1\n90 2 2 2\n255 9 9 9\n"},
        {VYKCONV_LUT_CONTROL_POINTS, "0 0 0 0\n255 9 9\n"},
        {VYKCONV_LUT_CONTROL_POINTS, "0 0 0 -1\n255 9 9 9\n"},
    };
    for (size_t i = 0; i < cases.size(); ++i) {
        vykconv::LutFile::Table t = vykconv::LutFile::grey();
        const std::string path = write("bad" + std::to_string(i), cases[i].content);
        EXPECT_EQ(vykconv::LutFile::load(cases[i].kind, path.c_str(), t), VYK_ERR_FILE_FORMAT) << "case " << i;
        EXPECT_EQ(t, vykconv::LutFile::grey()) << "a refused file leaves the table alone, case " << i;
    }
    vykconv::LutFile::Table t{};
    EXPECT_EQ(vykconv::LutFile::load(1, (dir_ / "missing.lut").string().c_str(), t), VYK_ERR_FILE_NOT_FOUND);
    EXPECT_EQ(vykconv::LutFile::load(1, dir_.string().c_str(), t), VYK_ERR_FILE_IO);
    EXPECT_EQ(vykconv::LutFile::load(4, write("ok.lut", textTable()).c_str(), t), VYK_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(vykconv::LutFile::load(-1, write("ok.lut", textTable()).c_str(), t), VYK_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(vykconv::LutFile::load(1, nullptr, t), VYK_ERR_NULL_POINTER);
    EXPECT_EQ(vykconv::LutFile::load(1, write("huge.lut", std::string(2u << 20, ' ')).c_str(), t),
              VYK_ERR_FILE_FORMAT);
}

// Kind from a file extension, as the camera layer derives it: the fourth character of
// the extension, counting the dot.
int kindOf(const std::string& path)
{
    const std::string ext = fs::path(path).extension().string();
    const char c = ext.size() >= 4 ? ext[3] : '\0';
    return c == '1' ? 3 : c == '2' ? 2 : c == '3' ? 1 : c == '4' ? 0 : 1;
}

TEST(ShippedLuts, LoadWithTheKindOfTheirExtension)
{
    const std::string dir = RASTEL_LUT_DIR;
    for (const char* name : {"grey.lut", "fire.lt1", "rainbow.lt1"}) {
        const std::string path = dir + "/" + name;
        vykconv::LutFile::Table t{};
        ASSERT_EQ(vykconv::LutFile::load(kindOf(path), path.c_str(), t), VYK_NOERROR) << name;
        EXPECT_NE(t[0], t[255]) << name;
    }
    vykconv::LutFile::Table grey{};
    ASSERT_EQ(vykconv::LutFile::load(VYKCONV_LUT_TEXT, (dir + "/grey.lut").c_str(), grey), VYK_NOERROR);
    EXPECT_EQ(grey, vykconv::LutFile::grey());
    vykconv::LutFile::Table fire{};
    ASSERT_EQ(vykconv::LutFile::load(VYKCONV_LUT_CONTROL_POINTS, (dir + "/fire.lt1").c_str(), fire), VYK_NOERROR);
    EXPECT_EQ(fire[0], (std::array<uint8_t, 3>{0, 0, 0}));
    EXPECT_EQ(fire[255], (std::array<uint8_t, 3>{255, 255, 255}));
    EXPECT_GT(fire[100][0], fire[100][2]) << "fire is red in the middle";
}

TEST_F(LutFiles, PseudocolourConversionPaintsTheMonoMappingThroughTheTable)
{
    ConvHandle h(VYKCONV_MODE_PSEUDOCOLOR, 8); // identity mapping: raw v is level v
    const int w = 7, hgt = 2;
    std::vector<uint16_t> src(static_cast<size_t>(w) * hgt);
    for (size_t i = 0; i < src.size(); ++i)
        src[i] = static_cast<uint16_t>(i * 18);
    auto run = [&](uint32_t order) {
        std::vector<uint8_t> dst(ConvHandle::outputCount(VYKCONV_MODE_PSEUDOCOLOR, order, w, hgt), 0xCD);
        EXPECT_EQ(VYKCONV_ConvertPseudo8(h.get(), VYKCONV_FLAG_BASE | order, 0, w, hgt, src.data(), src.size(),
                                         dst.data(), dst.size()),
                  VYK_NOERROR);
        return dst;
    };
    // Before any table is loaded the colours are grey.
    auto grey = run(0);
    EXPECT_EQ(grey[3 * 3 + 0], 54);
    EXPECT_EQ(grey[3 * 3 + 2], 54);

    ASSERT_EQ(VYKCONV_LoadLut(h.get(), VYKCONV_LUT_PLANAR_BINARY, write("t.lt4", planarBinary()).c_str()), VYK_NOERROR);
    for (uint32_t order : {0u, VYKCONV_FLAG_RGB, VYKCONV_FLAG_BGRA, VYKCONV_FLAG_RGBA}) {
        const auto out = run(order);
        const int ch = (order == VYKCONV_FLAG_BGRA || order == VYKCONV_FLAG_RGBA) ? 4 : 3;
        const size_t pitch = ch == 4 ? w * 4u : 8u * 3u;
        const bool redFirst = order == VYKCONV_FLAG_RGB || order == VYKCONV_FLAG_RGBA;
        for (int y = 0; y < hgt; ++y) {
            for (int x = 0; x < w; ++x) {
                const int v = src[static_cast<size_t>(y * w + x)];
                const uint8_t* p = out.data() + y * pitch + x * ch;
                EXPECT_EQ(p[redFirst ? 0 : 2], v);
                EXPECT_EQ(p[1], 255 - v);
                EXPECT_EQ(p[redFirst ? 2 : 0], v / 2);
                if (ch == 4) {
                    EXPECT_EQ(p[3], 255);
                }
            }
            for (size_t i = static_cast<size_t>(w) * ch; i < pitch; ++i)
                EXPECT_EQ(out[y * pitch + i], 0);
        }
    }

    // A refused file keeps the loaded table; a mono handle takes no table at all.
    EXPECT_EQ(VYKCONV_LoadLut(h.get(), VYKCONV_LUT_TEXT, write("bad.lut", "1 2 3\n").c_str()), VYK_ERR_FILE_FORMAT);
    EXPECT_EQ(run(VYKCONV_FLAG_RGB)[1], 255);
    EXPECT_EQ(VYKCONV_LoadLut(h.get(), 9, write("t2.lt4", planarBinary()).c_str()), VYK_ERR_INVALID_ARGUMENT);
    ConvHandle mono(VYKCONV_MODE_MONO, 8);
    EXPECT_EQ(VYKCONV_LoadLut(mono.get(), VYKCONV_LUT_PLANAR_BINARY, write("t3.lt4", planarBinary()).c_str()),
              VYK_ERR_NOT_SUPPORTED);
}

TEST_F(LutFiles, PseudocolourSharpensAndFlipsTheIndexBeforePainting)
{
    ConvHandle h(VYKCONV_MODE_PSEUDOCOLOR, 8);
    ASSERT_EQ(VYKCONV_LoadLut(h.get(), VYKCONV_LUT_INTERLEAVED_BINARY, write("t.lt2", interleavedBinary()).c_str()),
              VYK_NOERROR);
    const int w = 8, hgt = 4;
    std::vector<uint16_t> src(static_cast<size_t>(w) * hgt);
    for (int y = 0; y < hgt; ++y)
        for (int x = 0; x < w; ++x)
            src[static_cast<size_t>(y * w + x)] = static_cast<uint16_t>(y * 60 + (x < 4 ? 10 : 40));
    std::vector<uint8_t> dst(ConvHandle::outputCount(VYKCONV_MODE_PSEUDOCOLOR, VYKCONV_FLAG_RGB, w, hgt));
    ASSERT_EQ(VYKCONV_ConvertPseudo8(h.get(), VYKCONV_FLAG_RGB | VYKCONV_FLAG_FLIP_VERTICAL | VYKCONV_FLAG_SHARPEN, 0,
                                     w, hgt, src.data(), src.size(), dst.data(), dst.size()),
              VYK_NOERROR);
    // First output row is the last source row; its first pixel (border) is unsharpened.
    EXPECT_EQ(dst[0], 3 * 60 + 10);
    EXPECT_EQ(dst[1], 255 - (3 * 60 + 10));
    // Inside the sharpened edge the index overshoots the source value.
    const size_t row1 = 24;
    EXPECT_GT(dst[row1 + 4 * 3], 2 * 60 + 40);
}

} // namespace
