#include "SimulatedCameras.h"

#include <cstdlib>
#include <fstream>

namespace testsupport {

nlohmann::json simulatedCamera(uint32_t serial, const std::string& name)
{
    return {
        {"serial", serial},
        {"name", name},
        {"interface", "USB3"},
        {"sensor", {{"width", 64}, {"height", 48}, {"bits", 16}}},
        {"pixel_rates_hz", {10000000, 20000000}},
        {"conversion_factors", {1.0, 0.5}},
        {"exposure", {{"min_ns", 1000}, {"max_ms", 5000}, {"step_ns", 100}}},
        {"delay", {{"min_ns", 0}, {"max_ms", 1000}, {"step_ns", 100}}},
        {"roi", {{"step_horz", 1}, {"step_vert", 1}}},
        {"capabilities", {{"timestamp", false}, {"acquire_mode", false}}},
        {"read_noise", 0.0},
        {"dark_offset", 0},
    };
}

void useSimulatedCameras(const std::filesystem::path& file, const nlohmann::json& cameras)
{
    // A braced list of one camera arrives as that camera's object, not as an array.
    const nlohmann::json list = cameras.is_object() ? nlohmann::json::array({cameras}) : cameras;
    std::ofstream(file) << nlohmann::json{{"cameras", list}}.dump(2);
    setenv("RASTEL_SIM_CONFIG", file.c_str(), 1);
}

}  // namespace testsupport
