#include "SimCameraFixture.h"

#include "tests/support/SimulatedCameras.h"

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
    return testsupport::simulatedCamera(serial, "camera test " + std::to_string(serial));
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
    testsupport::useSimulatedCameras(dir_ / "cameras.json", cameras);
    const int32_t result = VYK_InitializeLib();
    initialised_ = true;
    ASSERT_FALSE(VYK_FAILED(result)) << std::hex << result;
}

std::shared_ptr<vyk::AnyCamera> SimCameraTest::open(uint32_t serial)
{
    return std::make_shared<vyk::AnyCamera>(std::make_unique<vyk::Camera>(vyk::InterfaceType::Any, serial));
}
