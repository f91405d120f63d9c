// Shared set-up of the light-source tests: a temporary data directory and device set.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace lsxtest {

/// Points ALLUSERSPROFILE at a fresh temporary folder (so the library log lands there) and
/// removes RASTEL_SIM_CONFIG; tests may install their own device set with useLightSources.
/// Every light source must be closed before the test ends.
class LumraTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    /// Writes {"light_sources": lightSources} and names it in RASTEL_SIM_CONFIG.
    void useLightSources(const std::vector<nlohmann::json>& lightSources);
    /// The temporary folder of this test.
    const std::filesystem::path& tempDir() const { return tempDir_; }

private:
    std::filesystem::path tempDir_;
};

/// A light source entry for the device set; channels: array of [wavelength, group].
nlohmann::json lightSource(uint32_t serial, const std::string& connection, uint32_t model,
                           const nlohmann::json& channels);

/// Three light sources: 101 at "/dev/ttyUSB1" (model 3, 2 channels, group 0 both),
/// 102 at "/dev/ttyUSB2" (model 5, 4 channels: groups 1, 1, 2, 0),
/// 103 at "/dev/ttyUSB3" (model 3, 1 channel).
std::vector<nlohmann::json> threeLightSources();

/// Reads a whole file.
std::string readFile(const std::filesystem::path& path);

}  // namespace lsxtest
