#include "LumraTestEnvironment.h"

#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>

namespace lsxtest {

void LumraTest::SetUp()
{
    std::random_device random;
    tempDir_ = std::filesystem::temp_directory_path()
        / ("lsx_test_" + std::to_string(random()) + "_" + std::to_string(random()));
    std::filesystem::create_directories(tempDir_);
    setenv("ALLUSERSPROFILE", tempDir_.c_str(), 1);
    unsetenv("RASTEL_SIM_CONFIG");
}

void LumraTest::TearDown()
{
    unsetenv("RASTEL_SIM_CONFIG");
    unsetenv("ALLUSERSPROFILE");
    std::error_code error;
    std::filesystem::remove_all(tempDir_, error);
}

void LumraTest::useLightSources(const std::vector<nlohmann::json>& lightSources)
{
    const std::filesystem::path path = tempDir_ / "sim.json";
    nlohmann::json root = nlohmann::json::object();
    root["light_sources"] = lightSources;
    std::ofstream(path) << root.dump(2);
    setenv("RASTEL_SIM_CONFIG", path.c_str(), 1);
}

nlohmann::json lightSource(uint32_t serial, const std::string& connection, uint32_t model,
                           const nlohmann::json& channels)
{
    nlohmann::json list = nlohmann::json::array();
    for (const nlohmann::json& channel : channels) {
        list.push_back({{"wavelength_nm", channel[0]}, {"exclusivity", channel[1]},
                        {"intensity_min", 50}, {"intensity_max", 1000}, {"intensity", 300}});
    }
    return {{"serial", serial}, {"connection", connection}, {"model", model}, {"channels", list}};
}

std::vector<nlohmann::json> threeLightSources()
{
    return {
        lightSource(101, "/dev/ttyUSB1", 3, {{405, 0}, {488, 0}}),
        lightSource(102, "/dev/ttyUSB2", 5, {{365, 1}, {450, 1}, {530, 2}, {625, 0}}),
        lightSource(103, "/dev/ttyUSB3", 3, {{590, 0}}),
    };
}

std::string readFile(const std::filesystem::path& path)
{
    std::ifstream in(path);
    std::ostringstream contents;
    contents << in.rdbuf();
    return contents.str();
}

}  // namespace lsxtest
