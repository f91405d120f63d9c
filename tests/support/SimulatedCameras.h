// Camera sets for the simulated camera library, shared by the fixtures of every test folder.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

#include <nlohmann/json.hpp>

namespace testsupport {

/// A small 64 x 48 16-bit USB3 camera that starts fast and makes noise-free images:
/// the base most tests adjust. name is its "name".
nlohmann::json simulatedCamera(uint32_t serial, const std::string& name);

/// Writes cameras (one camera object or an array of them) as the simulator's configuration
/// to file and points RASTEL_SIM_CONFIG at it; the library reads it when it is initialised.
void useSimulatedCameras(const std::filesystem::path& file, const nlohmann::json& cameras);

}  // namespace testsupport
