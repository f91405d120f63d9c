#pragma once
// Fixture for widget tests against simulated local cameras: each test writes its own camera
// set into a temporary folder, points the device library at it and opens camera handles.
// Message boxes the code under test opens are answered and recorded.

#include <gtest/gtest.h>

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <cstdint>
#include <filesystem>
#include <memory>

#include <nlohmann/json.hpp>

#include "camera/AnyCamera.h"

// Closes every message box that becomes the active modal widget (with Ok / accept) and
// records its title and text. Works inside the box's own nested event loop.
class MessageBoxAnswerer : public QObject {
    Q_OBJECT
public:
    MessageBoxAnswerer();
    // Titles and texts of the boxes answered so far, in order.
    QStringList titles;
    QStringList texts;

private:
    void answer();
    QTimer timer_;
};

class SimCameraTest : public ::testing::Test {
public:
    // A small 16-bit mono USB3 camera: 64 x 48, pixel rates 10 and 20 MHz, conversion factors
    // 1.0 and 0.5, no RAM, no timestamp, no acquire mode, no noise filter.
    static nlohmann::json baseCamera(uint32_t serial);

protected:
    void SetUp() override;
    void TearDown() override;
    // Writes the set, points RASTEL_SIM_CONFIG at it and initialises the device library.
    void useCameras(const nlohmann::json& cameras);
    // Opens the local camera with serial.
    std::shared_ptr<vyk::AnyCamera> open(uint32_t serial);

    std::filesystem::path dir_; // temporary folder of this test, removed afterwards
    bool initialised_ = false;  // the library was initialised by useCameras
};
