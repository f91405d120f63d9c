// The camera settings tree against simulated local cameras: its rows, how it shows a
// camera, the per-camera settings maps, recording and error states, and each edit reaching
// the camera.
#include "SimCameraFixture.h"

#include "widgets/CameraSettingsTree.h"
#include "widgets/FilePathWidget.h"
#include "widgets/UnitTreeDoubleSpinbox.h"
#include "widgets/VYKTreeComboBox.h"
#include "widgets/VYKTreeDoubleSpinBox.h"
#include "widgets/VYKTreePushButton.h"
#include "widgets/VYKTreeSpinBox.h"

#include <QCheckBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTreeWidgetItem>

#include <QElapsedTimer>
#include <QTest>

#include <cmath>
#include <functional>

namespace {

using json = nlohmann::json;

class SettingsTreeTest : public SimCameraTest {
protected:
    template <typename T>
    static T* editor(const CameraSettingsTree& tree, const char* name)
    {
        T* found = tree.findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    static VYKTreeComboBox* combo(const CameraSettingsTree& tree, const char* name)
    {
        return editor<VYKTreeComboBox>(tree, name);
    }
    static VYKTreeSpinBox* spin(const CameraSettingsTree& tree, const char* name)
    {
        return editor<VYKTreeSpinBox>(tree, name);
    }
    static UnitTreeDoubleSpinbox* time(const CameraSettingsTree& tree, const char* name)
    {
        return editor<UnitTreeDoubleSpinbox>(tree, name);
    }
    static QStringList items(const QComboBox* box)
    {
        QStringList texts;
        for (int i = 0; i < box->count(); ++i)
            texts << box->itemText(i);
        return texts;
    }
    // The user picks text in a selector.
    static void choose(QComboBox* box, const QString& text)
    {
        const int index = box->findText(text);
        ASSERT_GE(index, 0) << text.toStdString();
        box->setCurrentIndex(index);
    }
    // The user types value into a spin box and leaves it.
    template <typename Box, typename Value>
    static void type(Box* box, Value value)
    {
        box->setValue(value);
        emit box->editingFinished();
    }
    // The user types a time (given in seconds) into a time editor and leaves it.
    static void typeSeconds(UnitTreeDoubleSpinbox* box, double value_s)
    {
        box->setValueInSec(value_s);
        emit box->editingFinished();
    }
    // Runs the event loop until condition holds (true) or 5 s pass (false).
    static bool eventually(const std::function<bool()>& condition)
    {
        QElapsedTimer clock;
        clock.start();
        while (!condition()) {
            if (clock.elapsed() > 5000)
                return false;
            QTest::qWait(10);
        }
        return true;
    }
    static QStringList cameraEditorNames()
    {
        return {"Exposure Time", "Delay Time", "Pixel Rate [MHz]", "Conversion Factor", "Autoexposure",
                "Min Time",      "Max Time",   "Region",           "Left",              "Right",
                "Top",           "Bottom",     "Horizontal",       "Vertical",          "Mode",
                "Timestamp",     "Noisefilter", "Trigger Mode",    "Record Mode",       "Data Format",
                "Image Count",   "RamButton",  "ResetButton"};
    }
    static bool enabled(const CameraSettingsTree& tree, const QString& name)
    {
        auto* widget = tree.findChild<QWidget*>(name);
        EXPECT_NE(widget, nullptr) << name.toStdString();
        return widget && widget->isEnabled();
    }
};

// ---------------------------------------------------------------------------------------

TEST_F(SettingsTreeTest, RowsToolTipsAndLayoutWithoutACamera)
{
    CameraSettingsTree tree;
    EXPECT_EQ(tree.columnCount(), 2);
    EXPECT_EQ(tree.headerItem()->text(0), "Property");
    EXPECT_EQ(tree.headerItem()->text(1), "Value");
    EXPECT_EQ(tree.indentation(), 24);
    EXPECT_EQ(tree.header()->sectionSize(0), 150);

    QStringList sections;
    for (int i = 0; i < tree.topLevelItemCount(); ++i)
        sections << tree.topLevelItem(i)->text(0);
    EXPECT_EQ(sections, (QStringList{"Camera Info", "Timing", "Image", "Recording", "Convert", "", ""}));

    const QList<QPair<const char*, const char*>> toolTips = {
        {"Exposure Time", "Set exposure time"},
        {"Delay Time", "Set delay time"},
        {"Pixel Rate [MHz]", "Change camera pixel rate"},
        {"Conversion Factor", "Change camera conversion factor"},
        {"Autoexposure", "Enable/Disable autoexposure feature"},
        {"Min Time", "Set minimal exposure time for autoexposure"},
        {"Max Time", "Set maximal exposure time for autoexposure"},
        {"Region", "Select calculation region for autoexposure"},
        {"Left", "Set x start ROI"},
        {"Right", "Set x end ROI"},
        {"Top", "Set y start ROI"},
        {"Bottom", "Set y end ROI"},
        {"Horizontal", "Set horizontal binning"},
        {"Vertical", "Set vertical binning"},
        {"Mode", "Set binning mode"},
        {"Timestamp", "Change timestamp mode"},
        {"Noisefilter", "Enable/Disable noisefilter"},
        {"Trigger Mode", "Change trigger mode"},
        {"Record Mode", "Change record mode"},
        {"Data Format", "Switch between monochrome and color view"},
        {"Image Count", "Change image count for record (ignored for preview)"},
        {"RamButton", "Configure Camera Ram segments"},
        {"ResetButton", "Reset all settings to default"},
    };
    for (const auto& [name, tip] : toolTips) {
        auto* widget = tree.findChild<QWidget*>(QLatin1String(name));
        ASSERT_NE(widget, nullptr) << name;
        EXPECT_EQ(widget->toolTip(), QLatin1String(tip)) << name;
        EXPECT_GE(widget->minimumHeight(), 25) << name;
    }
    EXPECT_EQ(items(combo(tree, "Autoexposure")), (QStringList{"Off", "On"}));
    EXPECT_EQ(items(combo(tree, "Region")), (QStringList{"Balanced", "Center-based", "Corner-based", "Full"}));
    EXPECT_EQ(items(combo(tree, "Data Format")), (QStringList{"Mono", "Color"}));
    EXPECT_EQ(editor<VYKTreePushButton>(tree, "RamButton")->text(), "CamRam Allocation");
    EXPECT_EQ(editor<VYKTreePushButton>(tree, "ResetButton")->text(), "Reset to Default");

    // Convert editors with their initial values; all usable without a camera.
    for (const char* box : {"Sharpen", "Adaptive sharpen", "Flip", "Auto min max"})
        EXPECT_TRUE(editor<QCheckBox>(tree, box)->isChecked()) << box;
    EXPECT_EQ(spin(tree, "Convert max")->maximum(), 65535);
    EXPECT_EQ(spin(tree, "Convert max")->value(), 20000);
    EXPECT_EQ(spin(tree, "Convert min")->maximum(), 20000);
    EXPECT_DOUBLE_EQ(editor<VYKTreeDoubleSpinBox>(tree, "Gamma")->value(), 1.0);
    EXPECT_EQ(editor<VYKTreeDoubleSpinBox>(tree, "Gamma")->decimals(), 3);
    EXPECT_EQ(spin(tree, "Temperature")->value(), 6500);
    EXPECT_EQ(spin(tree, "Temperature")->singleStep(), 100);
    EXPECT_NE(editor<FilePathWidget>(tree, "LUT file"), nullptr);
    EXPECT_TRUE(editor<QCheckBox>(tree, "Sharpen")->isEnabled());

    // Without a camera nothing can be sent anywhere.
    for (const QString& name : cameraEditorNames())
        EXPECT_FALSE(enabled(tree, name)) << name.toStdString();
    EXPECT_EQ(tree.settingValue("Serial", 7).toInt(), 7);
}

TEST_F(SettingsTreeTest, ReadsACameraSeenForTheFirstTime)
{
    useCameras(baseCamera(101));
    auto camera = open(101);
    CameraSettingsTree tree(nullptr, camera);
    tree.setCameraColor(101, "red");

    EXPECT_EQ(tree.settingValue("Serial").toUInt(), 101u);
    EXPECT_EQ(tree.settingValue("Record Mode").toString(), "Sequence");
    EXPECT_EQ(tree.settingValue("Image Count").toInt(), 10);
    EXPECT_EQ(tree.settingValue("Autoexposure state").toString(), "Off");
    EXPECT_EQ(tree.settingValue("Triggermode").toInt(), 0);
    EXPECT_EQ(tree.settingValue("Dataformat").toString(), "Mono");
    EXPECT_EQ(tree.settingValue("Color").toString(), "red");
    EXPECT_FALSE(tree.settingValue("Lines per Image").isValid());
    EXPECT_FALSE(tree.settingValue("RamSeg1Percent").isValid());

    EXPECT_EQ(editor<QLabel>(tree, "Name")->text(), "<font color='red'>camera test 101</font>");
    EXPECT_EQ(editor<QLabel>(tree, "Serial Number")->text(), "<font color='red'>101</font>");
    const QString fps = editor<QLabel>(tree, "Max-FPS [Hz]")->text();
    ASSERT_TRUE(fps.startsWith("<font color='red'>")) << fps.toStdString();
    const double expectedFps = 1.0 / camera->getFrameTime();
    EXPECT_EQ(fps, QString("<font color='red'>%1</font>").arg(QString::number(expectedFps)));

    const vyk::Configuration config = camera->getConfiguration();
    EXPECT_EQ(items(combo(tree, "Pixel Rate [MHz]")), (QStringList{"10", "20"}));
    EXPECT_EQ(combo(tree, "Pixel Rate [MHz]")->currentText(), QString::number(config.pixelrate / 1000000));
    EXPECT_EQ(items(combo(tree, "Conversion Factor")), (QStringList{"1", "0.5"}));
    EXPECT_EQ(items(combo(tree, "Trigger Mode")),
              (QStringList{"Auto Sequence", "Soft Trigger", "Ext. Start", "Ext. Exp. Ctrl"}));
    EXPECT_EQ(items(combo(tree, "Record Mode")), (QStringList{"Sequence", "Ring Buffer", "File"}));
    EXPECT_EQ(items(combo(tree, "Timestamp")), (QStringList{"Off"}));
    EXPECT_EQ(items(combo(tree, "Mode")), (QStringList{"Sum"}));
    EXPECT_EQ(items(combo(tree, "Horizontal")), (QStringList{"1"}));

    // No noise filter: a single disabled "N/A".
    EXPECT_EQ(items(combo(tree, "Noisefilter")), (QStringList{"N/A"}));
    EXPECT_FALSE(combo(tree, "Noisefilter")->isEnabled());

    UnitTreeDoubleSpinbox* exposure = time(tree, "Exposure Time");
    EXPECT_NEAR(exposure->valueInSec(), config.exposure_time_s, 1e-9);
    EXPECT_NEAR(exposure->maximum() * UnitTreeDoubleSpinbox::factorOf(exposure->unit()), 5.0 - 100e-9, 1e-6);
    EXPECT_TRUE(exposure->isEnabled());
    EXPECT_TRUE(time(tree, "Delay Time")->isEnabled());
    EXPECT_EQ(spin(tree, "Right")->maximum(), 64);
    EXPECT_EQ(spin(tree, "Right")->value(), static_cast<int>(config.roi.x1));
    EXPECT_EQ(spin(tree, "Bottom")->value(), static_cast<int>(config.roi.y1));
    EXPECT_EQ(spin(tree, "Image Count")->value(), 10);
    EXPECT_FALSE(enabled(tree, "RamButton"));
    EXPECT_TRUE(enabled(tree, "ResetButton"));

    // Convert rows of a mono view: no colour rows, no LUT.
    for (const char* row : {"Temperature", "Saturation", "Vibrance", "Tint", "LUT file"})
        EXPECT_FALSE(tree.findChild<QWidget*>(row)->isEnabled()) << row;
}

TEST_F(SettingsTreeTest, EditsReachTheCamera)
{
    useCameras(baseCamera(101));
    auto camera = open(101);
    CameraSettingsTree tree(nullptr, camera);

    typeSeconds(time(tree, "Exposure Time"), 0.002);
    typeSeconds(time(tree, "Delay Time"), 1e-5);
    vyk::Configuration config = camera->getConfiguration();
    EXPECT_NEAR(config.exposure_time_s, 0.002, 1e-9);
    EXPECT_NEAR(config.delay_time_s, 1e-5, 1e-9);
    EXPECT_EQ(time(tree, "Exposure Time")->unit(), UnitTreeDoubleSpinbox::Milliseconds);
    EXPECT_NEAR(tree.settingValue("Exposure Time").toDouble(), 0.002, 1e-9);

    choose(combo(tree, "Pixel Rate [MHz]"), "20");
    choose(combo(tree, "Conversion Factor"), "0.5");
    choose(combo(tree, "Trigger Mode"), "Soft Trigger");
    config = camera->getConfiguration();
    EXPECT_EQ(config.pixelrate, 20000000u);
    EXPECT_DOUBLE_EQ(config.conversion_factor, 0.5);
    EXPECT_EQ(config.trigger_mode, 1);
    EXPECT_EQ(tree.settingValue("Triggermode").toInt(), 1);
    EXPECT_EQ(tree.settingValue("Pixel Rate").toInt(), 1);

    typeSeconds(time(tree, "Min Time"), 0.002);
    typeSeconds(time(tree, "Max Time"), 0.05);
    choose(combo(tree, "Region"), "Full");
    config = camera->getConfiguration();
    EXPECT_NEAR(config.auto_exposure.min_exposure_s, 0.002, 1e-9);
    EXPECT_NEAR(config.auto_exposure.max_exposure_s, 0.05, 1e-9);
    EXPECT_EQ(config.auto_exposure.region, vyk::AutoExposureRegion::Full);

    type(spin(tree, "Image Count"), 77);
    EXPECT_EQ(tree.settingValue("Image Count").toInt(), 77);
}

TEST_F(SettingsTreeTest, AutoExposureShowsTheCamerasExposureWhileOn)
{
    useCameras(baseCamera(101));
    auto camera = open(101);
    CameraSettingsTree tree(nullptr, camera);
    UnitTreeDoubleSpinbox* exposure = time(tree, "Exposure Time");
    choose(combo(tree, "Autoexposure"), "On");
    EXPECT_FALSE(exposure->isEnabled());
    EXPECT_FALSE(time(tree, "Delay Time")->isEnabled());
    EXPECT_EQ(tree.settingValue("Autoexposure state").toString(), "On");

    // What the camera's exposure becomes is read back into the disabled editor.
    camera->setExposureTime(0.0042);
    EXPECT_TRUE(eventually([&] { return std::fabs(exposure->valueInSec() - 0.0042) < 1e-9; }));

    choose(combo(tree, "Autoexposure"), "Off");
    EXPECT_TRUE(exposure->isEnabled());
    EXPECT_TRUE(time(tree, "Delay Time")->isEnabled());
    EXPECT_EQ(tree.settingValue("Autoexposure state").toString(), "Off");
}

TEST_F(SettingsTreeTest, RoiEditsFollowTheStepGridAndMinimumWidth)
{
    json cam = baseCamera(101);
    cam["roi"] = {{"step_horz", 4}, {"step_vert", 2}, {"min_width", 16}, {"min_height", 8}};
    useCameras(cam);
    auto camera = open(101);
    CameraSettingsTree tree(nullptr, camera);
    VYKTreeSpinBox* left = spin(tree, "Left");
    VYKTreeSpinBox* right = spin(tree, "Right");
    EXPECT_EQ(left->maximum(), 64 - 16);
    EXPECT_EQ(right->minimum(), 16);

    // Left at its maximum (48) snaps down onto the grid: 45..64.
    type(left, 48);
    EXPECT_EQ(left->value(), 45);
    EXPECT_EQ(camera->getConfiguration().roi.x0, 45u);

    // Right below Left + minimum width - 1 moves up to the next aligned end.
    type(left, 1);
    type(right, 10);
    EXPECT_EQ(right->value(), 16);
    vyk::Roi roi = camera->getConfiguration().roi;
    EXPECT_EQ(roi.x0, 1u);
    EXPECT_EQ(roi.x1, 16u);

    type(spin(tree, "Top"), 7);
    roi = camera->getConfiguration().roi;
    EXPECT_EQ(roi.y0, 7u);
    EXPECT_EQ(tree.settingValue("Y0").toInt(), 7);
    EXPECT_EQ(tree.settingValue("X1").toInt(), 16);
}

TEST_F(SettingsTreeTest, SymmetricRoiStaysCentred)
{
    json cam = baseCamera(101);
    cam["roi"] = {{"step_horz", 2}, {"step_vert", 2}, {"symmetric_vert", true}};
    useCameras(cam);
    auto camera = open(101);
    CameraSettingsTree tree(nullptr, camera);
    type(spin(tree, "Top"), 10);
    const vyk::Roi roi = camera->getConfiguration().roi;
    EXPECT_EQ(roi.y0, 9u);
    EXPECT_EQ(roi.y1, 40u);
    EXPECT_EQ(spin(tree, "Bottom")->value(), 40);
}

TEST_F(SettingsTreeTest, BinningClampsTheRoiToTheBinnedSensor)
{
    json cam = baseCamera(101);
    cam["binning"] = {{"max_horz", 2}, {"max_vert", 2}};
    useCameras(cam);
    auto camera = open(101);
    CameraSettingsTree tree(nullptr, camera);
    EXPECT_EQ(items(combo(tree, "Horizontal")), (QStringList{"1", "2"}));

    type(spin(tree, "Top"), 30);
    ASSERT_EQ(camera->getConfiguration().roi.y0, 30u);

    choose(combo(tree, "Horizontal"), "2");
    vyk::Configuration config = camera->getConfiguration();
    EXPECT_EQ(config.binning.horz, 2);
    EXPECT_EQ(config.roi.x1, 32u);
    EXPECT_EQ(spin(tree, "Right")->maximum(), 32);
    EXPECT_EQ(spin(tree, "Right")->value(), 32);

    // Top beyond the binned height (24) goes back to 1; Bottom is clamped to 24.
    choose(combo(tree, "Vertical"), "2");
    config = camera->getConfiguration();
    EXPECT_EQ(config.binning.vert, 2);
    EXPECT_EQ(config.roi.y0, 1u);
    EXPECT_EQ(config.roi.y1, 24u);
    EXPECT_EQ(spin(tree, "Top")->value(), 1);
    EXPECT_EQ(spin(tree, "Bottom")->maximum(), 24);
}

TEST_F(SettingsTreeTest, NoiseFilterAndTimestampSelectors)
{
    json without = baseCamera(101);
    json with = baseCamera(102);
    with["capabilities"] = {{"noise_filter", true}, {"timestamp", true}, {"timestamp_ascii", true},
                            {"acquire_mode", true}, {"metadata", true}};
    useCameras(json::array({without, with}));
    auto plain = open(101);
    CameraSettingsTree tree(nullptr, plain);
    MessageBoxAnswerer boxes;

    // "N/A" is index 0: the camera without a noise filter is sent mode 0 and accepts it.
    choose(combo(tree, "Trigger Mode"), "Ext. Start");
    EXPECT_TRUE(boxes.texts.isEmpty()) << boxes.texts.join("|").toStdString();
    EXPECT_EQ(plain->getConfiguration().trigger_mode, 2);
    EXPECT_EQ(combo(tree, "Noisefilter")->currentText(), "N/A");
    EXPECT_EQ(tree.settingValue("Noisefilter").toString(), "N/A");

    auto full = open(102);
    tree.onCameraChanged(full, "blue");
    EXPECT_EQ(items(combo(tree, "Noisefilter")), (QStringList{"Off", "On"}));
    EXPECT_TRUE(combo(tree, "Noisefilter")->isEnabled());
    EXPECT_EQ(items(combo(tree, "Timestamp")), (QStringList{"Off", "Binary", "Binary & ASCII", "ASCII"}));
    choose(combo(tree, "Noisefilter"), "On");
    choose(combo(tree, "Timestamp"), "Binary & ASCII");
    const vyk::Configuration config = full->getConfiguration();
    EXPECT_EQ(config.noise_filter_mode, 1);
    EXPECT_EQ(config.timestamp_mode, 2);
    EXPECT_EQ(config.metadata_mode, 1);
    EXPECT_EQ(config.acquire_mode, 0);
}

TEST_F(SettingsTreeTest, CameraWithoutDelayKeepsDelayDisabledInEveryState)
{
    json cam = baseCamera(101);
    cam["delay"] = {{"min_ns", 0}, {"max_ms", 0}, {"step_ns", 100}};
    useCameras(cam);
    auto camera = open(101);
    ASSERT_LE(camera->getDescription().max_delay_time_s, 0.0);
    CameraSettingsTree tree(nullptr, camera);
    UnitTreeDoubleSpinbox* delay = time(tree, "Delay Time");
    EXPECT_FALSE(delay->isEnabled());
    tree.onRecordingInProgress();
    EXPECT_FALSE(delay->isEnabled());
    EXPECT_TRUE(time(tree, "Exposure Time")->isEnabled());
    tree.onRecordingDone(101);
    EXPECT_FALSE(delay->isEnabled());
    choose(combo(tree, "Autoexposure"), "On");
    choose(combo(tree, "Autoexposure"), "Off");
    EXPECT_FALSE(delay->isEnabled());
    EXPECT_TRUE(time(tree, "Exposure Time")->isEnabled());
}

TEST_F(SettingsTreeTest, AxisWithoutRoiStepKeepsItsEditorsDisabledInEveryState)
{
    json cam = baseCamera(101);
    cam["roi"] = {{"step_horz", 0}, {"step_vert", 1}};
    json other = baseCamera(102);
    other["roi"] = {{"step_horz", 1}, {"step_vert", 0}};
    useCameras(json::array({cam, other}));
    auto a = open(101);
    auto b = open(102);
    CameraSettingsTree tree(nullptr, a);
    const auto check = [&](bool horzFixed) {
        EXPECT_EQ(enabled(tree, "Left"), !horzFixed);
        EXPECT_EQ(enabled(tree, "Right"), !horzFixed);
        EXPECT_EQ(enabled(tree, "Top"), horzFixed);
        EXPECT_EQ(enabled(tree, "Bottom"), horzFixed);
    };
    check(true);
    tree.onRecordingInProgress();
    tree.onRecordingDone(101);
    check(true);
    tree.onCameraChanged(b, "green");
    check(false);
    tree.onRecordingInProgress();
    tree.onRecordingDone(102);
    check(false);
    tree.findChild<VYKTreePushButton*>("ResetButton")->click();
    check(false);
}

TEST_F(SettingsTreeTest, SwitchingCamerasRestoresEachCamerasMap)
{
    useCameras(json::array({baseCamera(101), baseCamera(102)}));
    auto a = open(101);
    auto b = open(102);
    CameraSettingsTree tree(nullptr, a);
    choose(combo(tree, "Record Mode"), "Ring Buffer");
    type(spin(tree, "Image Count"), 50);
    choose(combo(tree, "Data Format"), "Color");
    choose(combo(tree, "Autoexposure"), "On");
    EXPECT_FALSE(time(tree, "Exposure Time")->isEnabled());

    // B is new: its own defaults, but the data format selector keeps its choice.
    tree.onCameraChanged(b, "blue");
    EXPECT_EQ(tree.settingValue("Serial").toUInt(), 102u);
    EXPECT_EQ(combo(tree, "Record Mode")->currentText(), "Sequence");
    EXPECT_EQ(spin(tree, "Image Count")->value(), 10);
    EXPECT_EQ(combo(tree, "Autoexposure")->currentText(), "Off");
    EXPECT_TRUE(time(tree, "Exposure Time")->isEnabled());
    EXPECT_EQ(combo(tree, "Data Format")->currentText(), "Color");
    EXPECT_EQ(tree.settingValue("Dataformat").toString(), "Color");
    choose(combo(tree, "Data Format"), "Mono");

    tree.onCameraChanged(a, "red");
    EXPECT_EQ(tree.settingValue("Serial").toUInt(), 101u);
    EXPECT_EQ(combo(tree, "Record Mode")->currentText(), "Ring Buffer");
    EXPECT_EQ(tree.settingValue("Record Mode").toString(), "Ring Buffer");
    EXPECT_EQ(spin(tree, "Image Count")->value(), 50);
    EXPECT_EQ(tree.settingValue("Image Count").toInt(), 50);
    EXPECT_EQ(combo(tree, "Autoexposure")->currentText(), "On");
    EXPECT_FALSE(time(tree, "Exposure Time")->isEnabled());
    EXPECT_EQ(combo(tree, "Data Format")->currentText(), "Color");
    EXPECT_EQ(tree.settingValue("Color").toString(), "red");

    tree.onCameraChanged(b, "blue");
    EXPECT_EQ(combo(tree, "Data Format")->currentText(), "Mono");
    tree.stopExposurePolling();
}

TEST_F(SettingsTreeTest, RecordingStateEnablesOnlyTimingAndConvert)
{
    useCameras(baseCamera(101));
    auto camera = open(101);
    CameraSettingsTree tree(nullptr, camera);
    tree.onRecordingInProgress();
    for (const QString& name : cameraEditorNames()) {
        const bool stays = name == "Exposure Time" || name == "Delay Time" || name == "Autoexposure";
        EXPECT_EQ(enabled(tree, name), stays) << name.toStdString();
    }
    EXPECT_TRUE(editor<QCheckBox>(tree, "Sharpen")->isEnabled());
    EXPECT_TRUE(editor<VYKTreeDoubleSpinBox>(tree, "Gamma")->isEnabled());

    // The end of another camera's recording changes nothing.
    tree.onRecordingDone(999);
    EXPECT_FALSE(enabled(tree, "Record Mode"));
    tree.onRecordingDone(101);
    for (const QString& name : cameraEditorNames()) {
        const bool off = name == "RamButton" || name == "Noisefilter";
        EXPECT_EQ(enabled(tree, name), !off) << name.toStdString();
    }
}

TEST_F(SettingsTreeTest, CameraChangeToARecordingCameraShowsTheRecordingState)
{
    useCameras(json::array({baseCamera(101), baseCamera(102)}));
    auto a = open(101);
    auto b = open(102);
    CameraSettingsTree tree(nullptr, a);
    b->record(10, vyk::RecordMode::RingBuffer);
    tree.onCameraChanged(b, "blue");
    EXPECT_FALSE(enabled(tree, "Record Mode"));
    EXPECT_TRUE(enabled(tree, "Exposure Time"));
    b->stop();
    tree.onCameraChanged(a, "red");
    EXPECT_TRUE(enabled(tree, "Record Mode"));
}

TEST_F(SettingsTreeTest, CameraErrorDropsOnlyTheCurrentCamera)
{
    useCameras(baseCamera(101));
    auto camera = open(101);
    CameraSettingsTree tree(nullptr, camera);
    tree.adaptToCameraError(555);
    EXPECT_TRUE(enabled(tree, "Record Mode"));
    EXPECT_TRUE(enabled(tree, "Exposure Time"));
    choose(combo(tree, "Trigger Mode"), "Soft Trigger");
    EXPECT_EQ(camera->getConfiguration().trigger_mode, 1);

    tree.adaptToCameraError(101);
    for (const QString& name : cameraEditorNames())
        EXPECT_FALSE(enabled(tree, name)) << name.toStdString();
    EXPECT_TRUE(editor<QCheckBox>(tree, "Sharpen")->isEnabled());
    // Edits without a camera go nowhere.
    QSignalSpy converted(&tree, &CameraSettingsTree::convertParamsChanged);
    type(editor<VYKTreeDoubleSpinBox>(tree, "Gamma"), 2.0);
    EXPECT_EQ(converted.count(), 0);
    EXPECT_EQ(camera.use_count(), 1);
    // A late end of recording does not bring the editors back.
    tree.onRecordingDone(101);
    EXPECT_FALSE(enabled(tree, "Record Mode"));
}

TEST_F(SettingsTreeTest, RecordModesSetImageCountLimits)
{
    json ram = baseCamera(101);
    ram["ram"] = {{"pages", 400}, {"page_size", 4096}};
    useCameras(ram);
    auto camera = open(101);
    CameraSettingsTree tree(nullptr, camera);
    EXPECT_EQ(items(combo(tree, "Record Mode")),
              (QStringList{"Sequence", "Ring Buffer", "File", "Sequence CamRam", "Ring Buffer CamRam"}));
    EXPECT_TRUE(enabled(tree, "RamButton"));
    ASSERT_GT(camera->getCamRamAllocation()[0], 0u);
    EXPECT_EQ(tree.settingValue("RamSeg1Percent").toUInt(), camera->getCamRamAllocation()[0]);
    EXPECT_EQ(tree.settingValue("RamActiveIndex").toInt(), camera->getCamRamSegment() - 1);

    VYKTreeSpinBox* count = spin(tree, "Image Count");
    choose(combo(tree, "Record Mode"), "Ring Buffer");
    EXPECT_EQ(count->minimum(), 4);
    type(count, 2);
    EXPECT_EQ(count->value(), 4);
    EXPECT_EQ(tree.settingValue("Image Count").toInt(), 4);

    choose(combo(tree, "Record Mode"), "Sequence CamRam");
    const int maxImages = static_cast<int>(camera->getCamRamMaxImages());
    ASSERT_GT(maxImages, 0);
    EXPECT_FALSE(count->isEnabled());
    EXPECT_EQ(count->value(), maxImages);
    EXPECT_EQ(tree.settingValue("Image Count").toInt(), maxImages);
    EXPECT_EQ(tree.settingValue("Record Mode").toString(), "Sequence CamRam");
    tree.onRecordingInProgress();
    tree.onRecordingDone(101);
    EXPECT_FALSE(count->isEnabled());

    choose(combo(tree, "Record Mode"), "Sequence");
    EXPECT_TRUE(count->isEnabled());
    EXPECT_EQ(count->minimum(), 1);
}

TEST_F(SettingsTreeTest, ResetToDefaultRestoresTheCameraAndTheSelectors)
{
    useCameras(baseCamera(101));
    auto camera = open(101);
    const vyk::Configuration defaults = camera->getConfiguration();
    CameraSettingsTree tree(nullptr, camera);
    choose(combo(tree, "Pixel Rate [MHz]"), "20");
    choose(combo(tree, "Conversion Factor"), "0.5");
    choose(combo(tree, "Trigger Mode"), "Soft Trigger");
    typeSeconds(time(tree, "Exposure Time"), 0.003);
    type(spin(tree, "Left"), 20);
    choose(combo(tree, "Record Mode"), "Ring Buffer");
    type(spin(tree, "Image Count"), 60);
    choose(combo(tree, "Autoexposure"), "On");
    ASSERT_NE(camera->getConfiguration().trigger_mode, defaults.trigger_mode);

    tree.findChild<VYKTreePushButton*>("ResetButton")->click();
    const vyk::Configuration config = camera->getConfiguration();
    EXPECT_EQ(config.trigger_mode, defaults.trigger_mode);
    EXPECT_EQ(config.roi, defaults.roi);
    EXPECT_NEAR(config.exposure_time_s, defaults.exposure_time_s, 1e-9);
    EXPECT_EQ(combo(tree, "Pixel Rate [MHz]")->currentIndex(), 0);
    EXPECT_EQ(combo(tree, "Conversion Factor")->currentIndex(), 0);
    EXPECT_EQ(combo(tree, "Autoexposure")->currentText(), "Off");
    EXPECT_TRUE(time(tree, "Exposure Time")->isEnabled());
    EXPECT_NEAR(time(tree, "Exposure Time")->valueInSec(), defaults.exposure_time_s, 1e-9);
    EXPECT_EQ(combo(tree, "Trigger Mode")->currentIndex(), defaults.trigger_mode);
    EXPECT_EQ(spin(tree, "Left")->value(), static_cast<int>(defaults.roi.x0));
    EXPECT_EQ(combo(tree, "Record Mode")->currentText(), "Sequence");
    EXPECT_EQ(spin(tree, "Image Count")->value(), 10);
    EXPECT_EQ(spin(tree, "Image Count")->minimum(), 1);
    EXPECT_EQ(tree.settingValue("Image Count").toInt(), 10);
    EXPECT_EQ(tree.settingValue("Record Mode").toString(), "Sequence");
    EXPECT_EQ(tree.settingValue("Autoexposure state").toString(), "Off");
}

TEST_F(SettingsTreeTest, ConvertRowsFollowTheDataFormat)
{
    json color = baseCamera(102);
    color["sensor"] = {{"width", 64}, {"height", 48}, {"bits", 12}, {"color", true}};
    useCameras(json::array({baseCamera(101), color}));
    auto mono = open(101);
    auto colour = open(102);
    CameraSettingsTree tree(nullptr, mono);
    QSignalSpy formats(&tree, &CameraSettingsTree::newDataFormat);
    QSignalSpy converted(&tree, &CameraSettingsTree::convertParamsChanged);
    const auto shown = [&](const char* name) { return tree.findChild<QWidget*>(name)->isEnabled(); };

    // Mono view: gamma reaches the mono conversion.
    type(editor<VYKTreeDoubleSpinBox>(tree, "Gamma"), 2.5);
    EXPECT_DOUBLE_EQ(vyk::commonFields(mono->getConvertControl(vyk::DataFormat::Mono8)).gamma, 2.5);
    EXPECT_EQ(converted.count(), 1);
    EXPECT_EQ(converted.at(0).at(0).toUInt(), 101u);
    // Fixed limits count only without automatic min/max.
    editor<QCheckBox>(tree, "Auto min max")->setChecked(false);
    editor<QCheckBox>(tree, "Flip")->setChecked(false);
    type(spin(tree, "Convert max"), 4000);
    const vyk::ConvertControlBase monoFields = vyk::commonFields(mono->getConvertControl(vyk::DataFormat::Mono8));
    EXPECT_FALSE(monoFields.flip_vertical);
    EXPECT_TRUE(monoFields.sharpen);
    EXPECT_FALSE(monoFields.auto_minmax);
    EXPECT_EQ(monoFields.max_limit, 4000);
    EXPECT_EQ(converted.count(), 4);

    // Pseudocolour view of a mono camera: colour rows and the LUT.
    choose(combo(tree, "Data Format"), "Color");
    ASSERT_EQ(formats.count(), 1);
    EXPECT_EQ(formats.at(0).at(0).toUInt(), 101u);
    EXPECT_EQ(formats.at(0).at(1).toString(), "Color");
    for (const char* row : {"Temperature", "Saturation", "Vibrance", "Tint", "LUT file", "Gamma"})
        EXPECT_TRUE(shown(row)) << row;
    type(spin(tree, "Saturation"), 40);
    const auto pseudo =
        std::get<vyk::ConvertControlPseudocolor>(mono->getConvertControl(vyk::DataFormat::BGR8));
    EXPECT_EQ(pseudo.color_saturation, 40);

    // A LUT file that does not exist is refused with the Convert message.
    {
        MessageBoxAnswerer boxes;
        FilePathWidget* lut = editor<FilePathWidget>(tree, "LUT file");
        lut->lineEdit()->setText(QString::fromStdString((dir_ / "missing.lut").string()));
        emit lut->lineEdit()->editingFinished();
        ASSERT_EQ(boxes.texts.size(), 1);
        EXPECT_EQ(boxes.titles.at(0), "Error with: 101");
        EXPECT_EQ(boxes.texts.at(0), "Setting Convert parameters failed.\nValues not set.");
    }

    // A colour camera in colour view: no LUT; the colour values go to BGR8 and BGR16.
    tree.onCameraChanged(colour, "blue");
    EXPECT_EQ(combo(tree, "Data Format")->currentText(), "Color");
    EXPECT_TRUE(shown("Temperature"));
    EXPECT_FALSE(shown("LUT file"));
    type(spin(tree, "Tint"), -20);
    for (vyk::DataFormat format : {vyk::DataFormat::BGR8, vyk::DataFormat::BGR16}) {
        const auto control = std::get<vyk::ConvertControlColor>(colour->getConvertControl(format));
        EXPECT_EQ(control.color_tint, -20);
    }
    choose(combo(tree, "Data Format"), "Mono");
    EXPECT_FALSE(shown("Temperature"));
    EXPECT_FALSE(shown("LUT file"));

    // The editors show the camera's values when the camera is read again.
    vyk::ConvertControl monoControl = colour->getConvertControl(vyk::DataFormat::Mono8);
    vyk::commonFields(monoControl).contrast = 33;
    vyk::commonFields(monoControl).sharpen = false;
    colour->setConvertControl(vyk::DataFormat::Mono8, monoControl);
    tree.onCameraChanged(mono, "red");
    tree.onCameraChanged(colour, "blue");
    EXPECT_EQ(spin(tree, "Contrast")->value(), 33);
    EXPECT_FALSE(editor<QCheckBox>(tree, "Sharpen")->isChecked());
}

TEST_F(SettingsTreeTest, FailuresShowTheHandlersMessages)
{
    json cam = baseCamera(101);
    cam["capabilities"]["ext_exposure_control"] = false;
    cam["binning"] = {{"max_horz", 2}, {"max_vert", 2}};
    useCameras(cam);
    auto camera = open(101);
    CameraSettingsTree tree(nullptr, camera);
    MessageBoxAnswerer boxes;

    choose(combo(tree, "Trigger Mode"), "Ext. Exp. Ctrl");
    ASSERT_EQ(boxes.texts.size(), 1);
    EXPECT_EQ(boxes.titles.at(0), "Error with: 101");
    EXPECT_EQ(boxes.texts.at(0), "Error setting configuration to camera!");
    // No rollback of the editor.
    EXPECT_EQ(combo(tree, "Trigger Mode")->currentText(), "Ext. Exp. Ctrl");

    // Above the auto-exposure maximum of 0.1 s.
    typeSeconds(time(tree, "Min Time"), 0.2);
    ASSERT_EQ(boxes.texts.size(), 2);
    EXPECT_EQ(boxes.texts.at(1), "Error setting autoexposure to camera!");

    // A running recording refuses configuration changes.
    choose(combo(tree, "Trigger Mode"), "Auto Sequence");
    boxes.texts.clear();
    camera->record(10, vyk::RecordMode::RingBuffer);
    choose(combo(tree, "Trigger Mode"), "Soft Trigger");
    type(spin(tree, "Left"), 5);
    choose(combo(tree, "Horizontal"), "2");
    camera->stop();
    ASSERT_EQ(boxes.texts.size(), 3) << boxes.texts.join("|").toStdString();
    EXPECT_EQ(boxes.texts.at(0), "Error setting configuration to camera!");
    EXPECT_EQ(boxes.texts.at(1), "Error setting roi to camera!");
    EXPECT_EQ(boxes.texts.at(2), "Error setting binning to camera!");
}

TEST_F(SettingsTreeTest, LineSensorCountsLinesPerImage)
{
    json cam = baseCamera(101);
    cam["sensor"] = {{"width", 256}, {"height", 1}, {"bits", 12}};
    cam["capabilities"]["line_sensor"] = true;
    cam["roi"] = {{"step_horz", 8}, {"step_vert", 1}};
    useCameras(cam);
    auto camera = open(101);
    ASSERT_EQ(camera->getDescription().line_sensor_mode, 1u);
    CameraSettingsTree tree(nullptr, camera);
    EXPECT_FALSE(enabled(tree, "Top"));
    EXPECT_EQ(spin(tree, "Top")->maximum(), 1);
    EXPECT_EQ(spin(tree, "Bottom")->maximum(), 100000);
    type(spin(tree, "Bottom"), 500);
    EXPECT_EQ(tree.settingValue("Lines per Image").toInt(), 500);
    EXPECT_EQ(camera->getConfiguration().roi.y1, 1u);
    type(spin(tree, "Right"), 128);
    EXPECT_EQ(camera->getConfiguration().roi.x1, 128u);
    tree.onRecordingInProgress();
    tree.onRecordingDone(101);
    EXPECT_FALSE(enabled(tree, "Top"));
    EXPECT_TRUE(enabled(tree, "Bottom"));
    EXPECT_EQ(spin(tree, "Bottom")->value(), 500);
}

TEST_F(SettingsTreeTest, RamButton)
{
    json none = baseCamera(101);
    json dxr = baseCamera(102);
    dxr["interface"] = "CLHS_DXR";
    json ram = baseCamera(103);
    ram["ram"] = {{"pages", 400}, {"page_size", 4096}};
    useCameras(json::array({none, dxr, ram}));
    auto plain = open(101);
    auto local = std::make_shared<vyk::AnyCamera>(std::make_unique<vyk::Camera>(vyk::InterfaceType::CLHS_DXR, 102));
    auto withRam = open(103);
    CameraSettingsTree tree(nullptr, plain);
    MessageBoxAnswerer boxes;
    QMetaObject::invokeMethod(&tree, "onRamButtonClicked");
    ASSERT_EQ(boxes.texts.size(), 1);
    EXPECT_EQ(boxes.titles.at(0), "Camera RAM");
    EXPECT_EQ(boxes.texts.at(0), "This camera has no RAM segments.");

    // A local DXR camera: the button is there, but only informs.
    tree.onCameraChanged(local, "green");
    auto* button = tree.findChild<VYKTreePushButton*>("RamButton");
    EXPECT_EQ(button->text(), "Storage Allocation");
    EXPECT_EQ(button->toolTip(), "Configure segment sizes and active segment");
    EXPECT_TRUE(button->isEnabled());
    EXPECT_EQ(items(combo(tree, "Record Mode")), (QStringList{"Sequence", "Ring Buffer"}));
    int dxrRuns = 0;
    tree.setRamDialogs({}, [&](QWidget*, std::shared_ptr<vyk::AnyCamera>, const std::vector<vyk::RamAllocation>&,
                               const vyk::RamAllocation&) {
        ++dxrRuns;
        return CameraSettingsTree::DxrEdit{};
    });
    button->click();
    ASSERT_EQ(boxes.texts.size(), 2);
    EXPECT_EQ(boxes.titles.at(1), "No vyk.dxr");
    EXPECT_EQ(boxes.texts.at(1), "Camera is not from vyk.dxr, no dxr allocation possible.");
    EXPECT_EQ(dxrRuns, 0);

    // Camera RAM: the dialog's answer reaches the camera.
    withRam->setCamRamAllocation({50, 50, 0, 0});
    withRam->switchToCamRam(1);
    tree.onCameraChanged(withRam, "red");
    EXPECT_EQ(button->text(), "CamRam Allocation");
    std::vector<uint32_t> shown;
    int shownActive = -2;
    CameraSettingsTree::CamRamEdit answer{{50, 50, 0, 0}, 1, true};
    tree.setRamDialogs(
        [&](QWidget*, std::shared_ptr<vyk::AnyCamera> cam, const std::vector<uint32_t>& percentages, int active) {
            EXPECT_EQ(cam, withRam);
            shown = percentages;
            shownActive = active;
            return answer;
        },
        {});
    QSignalSpy segments(&tree, &CameraSettingsTree::camRamSegmentChanged);
    button->click();
    EXPECT_EQ(shown, (std::vector<uint32_t>{50, 50, 0, 0}));
    EXPECT_EQ(shownActive, 0);
    EXPECT_EQ(withRam->getCamRamSegment(), 2);
    EXPECT_EQ(tree.settingValue("RamActiveIndex").toInt(), 1);
    EXPECT_EQ(segments.count(), 0); // not in a CamRam record mode

    choose(combo(tree, "Record Mode"), "Ring Buffer CamRam");
    answer = {{25, 25, 50, 0}, 2, true};
    button->click();
    EXPECT_EQ(withRam->getCamRamAllocation(), (std::vector<uint32_t>{25, 25, 50, 0}));
    EXPECT_EQ(withRam->getCamRamSegment(), 3);
    EXPECT_EQ(tree.settingValue("RamSeg3Percent").toUInt(), 50u);
    EXPECT_EQ(spin(tree, "Image Count")->value(), static_cast<int>(withRam->getCamRamMaxImages()));
    ASSERT_EQ(segments.count(), 1);
    EXPECT_EQ(segments.at(0).at(1).toString(), "Mono");

    // Cancelled: nothing changes.
    answer = {{100, 0, 0, 0}, 0, false};
    button->click();
    EXPECT_EQ(withRam->getCamRamSegment(), 3);
    EXPECT_EQ(boxes.texts.size(), 2);

    // An allocation the camera refuses.
    answer = {{60, 60, 0, 0}, 0, true};
    button->click();
    ASSERT_EQ(boxes.texts.size(), 3);
    EXPECT_EQ(boxes.titles.at(2), "Error with: 103");
    EXPECT_EQ(boxes.texts.at(2), "Error setting RAM Configuration to camera!");
    EXPECT_EQ(withRam->getCamRamSegment(), 3);
}

} // namespace

// ---------------------------------------------------------------------------------------
// Remote cameras

#include "FakeCameraServer.h"
#include "camera/RemoteCamera.h"

namespace {

class RemoteSettingsTreeTest : public SettingsTreeTest {
protected:
    std::shared_ptr<vyk::AnyCamera> remote(const FakeCameraServer& server)
    {
        return std::make_shared<vyk::AnyCamera>(std::make_unique<vyk::RemoteCamera>("127.0.0.1", server.port()));
    }
};

TEST_F(RemoteSettingsTreeTest, RemoteCameraShowsNoMaxFps)
{
    useCameras(baseCamera(101));
    FakeCameraServer server(std::make_unique<vyk::Camera>(vyk::InterfaceType::Any, 101), vyk::InterfaceType::USB3);
    auto camera = remote(server);
    CameraSettingsTree tree(nullptr, camera);
    tree.setCameraColor(101, "orange");
    EXPECT_EQ(editor<QLabel>(tree, "Max-FPS [Hz]")->text(), "<font color='orange'>N/A</font>");
    EXPECT_EQ(editor<QLabel>(tree, "Name")->text(), "<font color='orange'>camera test 101</font>");
    choose(combo(tree, "Trigger Mode"), "Soft Trigger");
    EXPECT_EQ(camera->getConfiguration().trigger_mode, 1);
    EXPECT_EQ(editor<QLabel>(tree, "Max-FPS [Hz]")->text(), "<font color='orange'>N/A</font>");
}

TEST_F(RemoteSettingsTreeTest, DxrStorageDialogAnswerReachesTheServer)
{
    useCameras(baseCamera(101));
    FakeCameraServer server(std::make_unique<vyk::Camera>(vyk::InterfaceType::Any, 101),
                            vyk::InterfaceType::CLHS_DXR);
    auto camera = remote(server);
    CameraSettingsTree tree(nullptr, camera);
    auto* button = tree.findChild<VYKTreePushButton*>("RamButton");
    EXPECT_EQ(button->text(), "Storage Allocation");
    EXPECT_TRUE(button->isEnabled());

    std::vector<vyk::RamAllocation> shown;
    vyk::RamAllocation shownActive;
    CameraSettingsTree::DxrEdit answer;
    answer.segments = {{1, 1000, 40.0, 101}, {2, 500, 30.0, 4242}, {3, 0, 30.0, 101}};
    answer.activateSegment = 3;
    answer.accepted = true;
    tree.setRamDialogs({}, [&](QWidget*, std::shared_ptr<vyk::AnyCamera>, const std::vector<vyk::RamAllocation>& s,
                               const vyk::RamAllocation& active) {
        shown = s;
        shownActive = active;
        return answer;
    });
    QSignalSpy segments(&tree, &CameraSettingsTree::camRamSegmentChanged);
    button->click();
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shownActive.alloc_id, 1);
    EXPECT_EQ(server.dxrSegments(), answer.segments);
    EXPECT_EQ(server.switchedSegments(), (std::vector<uint16_t>{3}));
    EXPECT_EQ(spin(tree, "Image Count")->value(), 321);
    EXPECT_EQ(tree.settingValue("Image Count").toInt(), 321);
    ASSERT_EQ(segments.count(), 1);
    EXPECT_EQ(segments.at(0).at(0).toUInt(), 101u);

    // A segment the server refuses: the DXR message.
    MessageBoxAnswerer boxes;
    answer.activateSegment = 9;
    button->click();
    ASSERT_EQ(boxes.texts.size(), 1);
    EXPECT_EQ(boxes.titles.at(0), "Error with: 101");
    EXPECT_EQ(boxes.texts.at(0), "Error setting DXR RAM configuration!\nReconnect and press rescan");
    EXPECT_EQ(segments.count(), 1);
}

} // namespace
