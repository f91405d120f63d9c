#include "SimCameraFixture.h"

#include "camera/Camera.h"
#include "kv2_cam.h"

#include <QApplication>
#include <QMessageBox>

#include <cstdlib>
#include <fstream>
#include <random>

MessageBoxAnswerer::MessageBoxAnswerer()
{
    connect(&timer_, &QTimer::timeout, this, &MessageBoxAnswerer::answer);
    timer_.start(5);
}

void MessageBoxAnswerer::answer()
{
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box)
        return;
    titles.append(box->windowTitle());
    texts.append(box->text());
    box->done(QMessageBox::Ok);
}

nlohmann::json SimCameraTest::baseCamera(uint32_t serial)
{
    return {
        {"serial", serial},
        {"name", "camera test " + std::to_string(serial)},
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

void SimCameraTest::SetUp()
{
    std::random_device random;
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    dir_ = std::filesystem::temp_directory_path() /
           ("rastel_widgets_" + std::string(info->name()) + "_" + std::to_string(random()));
    std::filesystem::create_directories(dir_);
}

void SimCameraTest::TearDown()
{
    if (initialised_)
        VYK_CleanupLib();
    unsetenv("RASTEL_SIM_CONFIG");
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
}

void SimCameraTest::useCameras(const nlohmann::json& cameras)
{
    const std::filesystem::path config = dir_ / "cameras.json";
    const nlohmann::json list = cameras.is_object() ? nlohmann::json::array({cameras}) : cameras;
    std::ofstream(config) << nlohmann::json{{"cameras", list}}.dump(2);
    setenv("RASTEL_SIM_CONFIG", config.c_str(), 1);
    const int32_t result = VYK_InitializeLib();
    initialised_ = true;
    ASSERT_FALSE(VYK_FAILED(result)) << std::hex << result;
}

std::shared_ptr<vyk::AnyCamera> SimCameraTest::open(uint32_t serial)
{
    return std::make_shared<vyk::AnyCamera>(std::make_unique<vyk::Camera>(vyk::InterfaceType::Any, serial));
}
