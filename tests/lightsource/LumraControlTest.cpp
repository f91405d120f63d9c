// The light-source control panel over simulated local light sources and a light source
// served on loopback.
#include "LumraServerFixture.h"
#include "LumraTestEnvironment.h"
#include "lightsource/lsx/AnyLumra.h"
#include "lightsource/lsx/Lumra.h"
#include "lightsource/lsx/LumraException.h"
#include "lightsource/lsx/RemoteLumra.h"
#include "lightsource/panel/LumraChannelWidget.h"
#include "lightsource/panel/LumraControl.h"
#include "lightsource/panel/LumraLightSourceWidget.h"
#include "lightsource/panel/WavelengthColor.h"
#include "widgets/VYKTreeComboBox.h"
#include "widgets/VYKTreeSpinBox.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

#include <chrono>
#include <stdexcept>

namespace {

using nlohmann::json;
using LumraPtr = std::shared_ptr<lsx::AnyLumra>;

constexpr DWORD kCameraA = 7;
constexpr DWORD kCameraB = 8;

// Closes every modal message box as soon as it shows and remembers what it said.
class MessageBoxAnswerer {
public:
    MessageBoxAnswerer()
    {
        timer_.setInterval(5);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                seen_ << box->windowTitle() + QStringLiteral("|") + box->text();
                box->accept();
            }
        });
        timer_.start();
    }
    const QStringList& seen() const { return seen_; }

private:
    QTimer timer_;
    QStringList seen_;
};

// First field of the "GetUnitStatus" answer: 1 while the light output is on.
bool outputOn(lsx::AnyLumra& lumra)
{
    return lumra.executeCommand("GetUnitStatus", "").rfind("1,", 0) == 0;
}

json withStatus(json lightSource, uint32_t statusWord)
{
    lightSource["status_word"] = statusWord;
    return lightSource;
}

class LumraControlTest : public lsxtest::LumraTest {
protected:
    void SetUp() override
    {
        lsxtest::LumraTest::SetUp();
        options_.healthPeriod = std::chrono::milliseconds(20);
        options_.errorSettleTime = std::chrono::milliseconds(0);
        options_.iconLoader = [](const QString& name) {
            QPixmap pixmap(8, 8);
            pixmap.fill(name == QStringLiteral("wifi") ? Qt::blue : Qt::gray);
            return QIcon(pixmap);
        };
    }
    void TearDown() override
    {
        panel_.reset();
        lumras_.clear();
        lsxtest::LumraTest::TearDown();
    }

    // Opens every simulated light source of the current set.
    void openAll()
    {
        for (;;) {
            try {
                auto lumra = std::make_shared<lsx::AnyLumra>(std::make_unique<lsx::Lumra>());
                lumras_[lumra->getDescription().serial] = lumra;
            } catch (const lsx::LumraException&) {
                return;
            }
        }
    }
    void makePanel()
    {
        panel_ = std::make_unique<LumraControl>(lumras_, cameras_, nullptr, options_);
        panel_->show();
    }
    LumraChannelWidget* channel(int index) { return panel_->channelWidgets().at(index); }
    // Shows the light source with serial in the panel.
    void select(DWORD serial)
    {
        VYKTreeComboBox* selector = panel_->lightSourceWidget()->selector();
        selector->setCurrentIndex(selector->findData(serial));
        ASSERT_EQ(panel_->lightSourceWidget()->currentSerial().toUInt(), serial);
    }
    void tick(int channelIndex, bool on) { channel(channelIndex)->onBox()->setChecked(on); }
    std::vector<bool> onStates(DWORD serial) { return lumras_.at(serial)->getConfiguration().on_states; }
    // Processes events until condition holds (10 s at most); true when it did.
    template <typename Condition>
    static bool eventually(Condition condition)
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!condition()) {
            if (std::chrono::steady_clock::now() > deadline)
                return false;
            QTest::qWait(5);
        }
        return true;
    }

    LumraControl::Options options_;
    LumraControl::LumraMap lumras_;
    LumraControl::CameraNames cameras_{{kCameraA, QStringLiteral("Cam A")}, {kCameraB, QStringLiteral("Cam B")}};
    std::unique_ptr<LumraControl> panel_;
};

}  // namespace

TEST(WavelengthColor, BandsFactorsAndTextColour)
{
    EXPECT_EQ(wavelengthToColor(0), QColor(55, 0, 55));             // dim violet, factor 0.3
    EXPECT_EQ(swatchTextColor(wavelengthToColor(0)), QColor(Qt::white));
    EXPECT_EQ(wavelengthToColor(560), QColor(194, 255, 0));
    EXPECT_EQ(swatchTextColor(wavelengthToColor(560)), QColor(Qt::black));
    EXPECT_EQ(wavelengthToColor(700), QColor(255, 0, 0));
    EXPECT_EQ(wavelengthToColor(470), QColor(0, 169, 255));
    EXPECT_EQ(wavelengthToColor(800), QColor(55, 0, 0));            // beyond 781 nm: dim red
    EXPECT_EQ(wavelengthToColor(385).alpha(), 255);
}

TEST(LumraChannelWidget, SwatchRangeAndSignals)
{
    QTreeWidget tree;
    auto* row = new QTreeWidgetItem(&tree, {QStringLiteral("Channel 1")});
    LumraChannelWidget widget(3, true, 2, 0, row, &tree);
    EXPECT_EQ(widget.swatch()->text(), QStringLiteral("0"));
    EXPECT_EQ(widget.swatch()->styleSheet(),
              QStringLiteral("QLabel { color: rgb(255, 255, 255); background-color: rgb(55, 0, 55); }"));
    EXPECT_EQ(widget.intensityPercent(), 5); // below the smallest settable intensity
    EXPECT_EQ(widget.intensityBox()->minimum(), 5);
    EXPECT_EQ(widget.intensityBox()->maximum(), 100);
    EXPECT_TRUE(widget.isOn());

    QList<int> reported;
    QObject::connect(&widget, &LumraChannelWidget::propertyChanged, [&](int idx) { reported << idx; });
    widget.setOnSilently(false);
    EXPECT_TRUE(reported.isEmpty());
    widget.onBox()->setChecked(true);
    EXPECT_EQ(reported, QList<int>{2});
    EXPECT_EQ(tree.currentItem(), row);
    emit widget.intensityBox()->editingFinished();
    EXPECT_EQ(reported, (QList<int>{2, 2}));
}

TEST(LumraControlStatus, LastValueDecides)
{
    EXPECT_TRUE(LumraControl::statusIndicatesError("1,25,2048"));
    EXPECT_TRUE(LumraControl::statusIndicatesError("1"));
    EXPECT_TRUE(LumraControl::statusIndicatesError("0,25,4096"));
    EXPECT_FALSE(LumraControl::statusIndicatesError("2048,2048,2"));
    EXPECT_FALSE(LumraControl::statusIndicatesError("0,25,65536")); // only the low 16 bits count
    EXPECT_FALSE(LumraControl::statusIndicatesError("0"));
    EXPECT_THROW(LumraControl::statusIndicatesError("1,25,"), std::invalid_argument);
    EXPECT_THROW(LumraControl::statusIndicatesError("1,25,99999999999"), std::out_of_range);
}

TEST_F(LumraControlTest, StartsWithEveryLightSourceOnInManualModeWithChannelsOff)
{
    useLightSources(lsxtest::threeLightSources());
    openAll();
    ASSERT_EQ(lumras_.size(), 3u);
    for (const auto& entry : lumras_) {
        lsx::LumraConfiguration configuration = entry.second->getConfiguration();
        configuration.on_states[0] = true;
        entry.second->setConfiguration(configuration);
    }
    makePanel();

    EXPECT_EQ(panel_->lightSourceSerials(), (std::vector<DWORD>{101, 102, 103}));
    for (const auto& [serial, lumra] : lumras_) {
        EXPECT_EQ(panel_->controlMode(serial), LumraControl::kManual);
        EXPECT_TRUE(outputOn(*lumra));
        for (bool on : onStates(serial))
            EXPECT_FALSE(on);
    }
    VYKTreeComboBox* selector = panel_->lightSourceWidget()->selector();
    ASSERT_EQ(selector->count(), 3);
    EXPECT_EQ(selector->currentIndex(), 0);
    EXPECT_EQ(selector->itemText(1), QStringLiteral("Lumra 8 LED"));
    EXPECT_FALSE(selector->itemIcon(0).isNull());

    VYKTreeComboBox* modes = panel_->controlModeBox();
    ASSERT_EQ(modes->count(), 3);
    EXPECT_EQ(modes->itemText(0), QStringLiteral("Manual"));
    EXPECT_EQ(modes->itemText(1), QStringLiteral("Cam A"));
    EXPECT_EQ(modes->toolTip(), QStringLiteral("Set controlling camera for Lumra"));

    // 101: two channels, configured intensity 300 -> 30 %.
    ASSERT_EQ(panel_->channelWidgets().size(), 2);
    EXPECT_EQ(panel_->channelsRow()->child(0)->text(0), QStringLiteral("Channel 1"));
    EXPECT_EQ(channel(0)->intensityPercent(), 30);
    EXPECT_EQ(channel(1)->wavelength(), 488u);

    select(102);
    ASSERT_EQ(panel_->channelWidgets().size(), 4);
    ASSERT_EQ(panel_->channelsRow()->childCount(), 4);
    EXPECT_EQ(panel_->channelsRow()->child(0)->text(0), QStringLiteral("Channel 1 (W1)"));
    EXPECT_EQ(panel_->channelsRow()->child(2)->text(0), QStringLiteral("Channel 3 (W2)"));
    EXPECT_EQ(panel_->channelsRow()->child(3)->text(0), QStringLiteral("Channel 4"));
}

TEST_F(LumraControlTest, ChannelsWithoutExclusivityStayOnTogether)
{
    useLightSources(lsxtest::threeLightSources());
    openAll();
    makePanel();
    tick(0, true);
    tick(1, true);
    EXPECT_EQ(onStates(101), (std::vector<bool>{true, true}));
    EXPECT_TRUE(channel(0)->isOn());
    tick(0, false);
    EXPECT_EQ(onStates(101), (std::vector<bool>{false, true}));
}

TEST_F(LumraControlTest, ExclusiveChannelSwitchesOffEveryOtherExclusiveChannel)
{
    useLightSources(lsxtest::threeLightSources());
    openAll();
    makePanel();
    select(102); // groups 1, 1, 2, 0
    tick(3, true);
    tick(0, true);
    EXPECT_EQ(onStates(102), (std::vector<bool>{true, false, false, true}));
    tick(2, true); // another group, still switches channel 1 off
    EXPECT_EQ(onStates(102), (std::vector<bool>{false, false, true, true}));
    EXPECT_FALSE(channel(0)->isOn());
    tick(1, true);
    EXPECT_EQ(onStates(102), (std::vector<bool>{false, true, false, true}));
    EXPECT_FALSE(channel(2)->isOn());
    EXPECT_TRUE(channel(3)->isOn());
}

TEST_F(LumraControlTest, IntensityIsWrittenInTenthsWithFivePercentMinimum)
{
    useLightSources(lsxtest::threeLightSources());
    openAll();
    makePanel();
    VYKTreeSpinBox* box = channel(1)->intensityBox();
    box->setValue(2);
    emit box->editingFinished();
    EXPECT_EQ(lumras_.at(101)->getConfiguration().intensities, (std::vector<uint32_t>{300, 50}));
    box->setValue(87);
    emit box->editingFinished();
    EXPECT_EQ(lumras_.at(101)->getConfiguration().intensities, (std::vector<uint32_t>{300, 870}));
}

TEST_F(LumraControlTest, StatusWithErrorBitRemovesTheLightSourceButStatusTwoDoesNot)
{
    useLightSources({withStatus(lsxtest::lightSource(201, "/dev/ttyUSB1", 2, {{405, 0}}), 2048),
                     withStatus(lsxtest::lightSource(202, "/dev/ttyUSB2", 2, {{488, 0}, {560, 0}}), 2)});
    openAll();
    MessageBoxAnswerer answerer;
    makePanel();
    ASSERT_TRUE(eventually([&] { return answerer.seen().size() == 1; }));
    EXPECT_EQ(answerer.seen().at(0),
              QStringLiteral("Lumra Error|Error in Lumra! \nLumra removed from LumraControl \nReconnect Lumra and press rescan"));
    EXPECT_EQ(panel_->lightSourceSerials(), std::vector<DWORD>{202});
    EXPECT_EQ(panel_->controlMode(201), QString());
    EXPECT_EQ(panel_->lightSourceWidget()->selector()->count(), 1);
    EXPECT_EQ(panel_->channelWidgets().size(), 2);

    // Several more rounds: 202 stays.
    const uint64_t rounds = panel_->healthRounds();
    ASSERT_TRUE(eventually([&] { return panel_->healthRounds() > rounds + 3; }));
    QCoreApplication::processEvents();
    EXPECT_EQ(panel_->lightSourceSerials(), std::vector<DWORD>{202});
    EXPECT_EQ(answerer.seen().size(), 1);
}

TEST_F(LumraControlTest, RemovingTheLastLightSourceLeavesAnEmptyPanelWithAnIdleHealthThread)
{
    useLightSources({lsxtest::lightSource(301, "/dev/ttyUSB1", 2, {{405, 0}, {640, 0}})});
    openAll();
    MessageBoxAnswerer answerer;
    makePanel();
    ASSERT_EQ(panel_->channelWidgets().size(), 2);
    lumras_.at(301)->executeCommand("SimSetUnitStatus", "4096");
    ASSERT_TRUE(eventually([&] { return answerer.seen().size() == 1; }));
    EXPECT_TRUE(panel_->lightSourceSerials().empty());
    EXPECT_EQ(panel_->lightSourceWidget()->selector()->count(), 0);
    EXPECT_EQ(panel_->channelsRow()->childCount(), 0);
    EXPECT_TRUE(panel_->channelWidgets().isEmpty());

    const uint64_t rounds = panel_->healthRounds();
    ASSERT_TRUE(eventually([&] { return panel_->healthRounds() > rounds + 2; }));
    panel_->stopHealthThread();
    panel_->stopHealthThread(); // a second stop is harmless
    EXPECT_EQ(answerer.seen().size(), 1);
}

TEST_F(LumraControlTest, FailedChannelChangeRemovesTheLightSource)
{
    useLightSources(lsxtest::threeLightSources());
    openAll();
    options_.healthPeriod = std::chrono::hours(1); // only the GUI's call reports the failure
    MessageBoxAnswerer answerer;
    makePanel();
    ASSERT_TRUE(eventually([&] { return panel_->healthRounds() == 1; }));
    lumras_.at(101)->executeCommand("SimSetNotResponding", "");
    tick(0, true);
    ASSERT_TRUE(eventually([&] { return answerer.seen().size() == 1; }));
    EXPECT_EQ(panel_->lightSourceSerials(), (std::vector<DWORD>{102, 103}));
    EXPECT_EQ(panel_->lightSourceWidget()->currentSerial().toUInt(), 102u);
    EXPECT_EQ(panel_->channelWidgets().size(), 4);
    // The new first light source is fully usable.
    tick(3, true);
    EXPECT_EQ(onStates(102), (std::vector<bool>{false, false, false, true}));
}

// A camera-controlled light source: off until the camera records, off again after.
void expectFollowsCamera(LumraControl& panel, lsx::AnyLumra& lumra)
{
    panel.controlModeBox()->setCurrentText(QStringLiteral("Cam A"));
    EXPECT_EQ(panel.controlMode(panel.lightSourceWidget()->currentSerial().toUInt()), QStringLiteral("Cam A"));
    EXPECT_FALSE(outputOn(lumra));
    panel.onRecordingInProgress(kCameraB);
    EXPECT_FALSE(outputOn(lumra));
    panel.onRecordingInProgress(kCameraA);
    EXPECT_TRUE(outputOn(lumra));
    panel.onRecordingDone(kCameraA);
    EXPECT_FALSE(outputOn(lumra));
    panel.controlModeBox()->setCurrentText(QStringLiteral("Manual"));
    EXPECT_TRUE(outputOn(lumra));
}

TEST_F(LumraControlTest, CameraControlModeSwitchesALocalLightSourceWithRecording)
{
    useLightSources(lsxtest::threeLightSources());
    openAll();
    makePanel();
    select(103);
    expectFollowsCamera(*panel_, *lumras_.at(103));
    EXPECT_TRUE(outputOn(*lumras_.at(101)));

    // Showing another light source and back keeps each one's mode.
    panel_->controlModeBox()->setCurrentText(QStringLiteral("Cam B"));
    select(101);
    EXPECT_EQ(panel_->controlModeBox()->currentText(), QStringLiteral("Manual"));
    select(103);
    EXPECT_EQ(panel_->controlModeBox()->currentText(), QStringLiteral("Cam B"));
}

TEST_F(LumraControlTest, CameraControlModeSwitchesARemoteLightSourceWithRecording)
{
    useLightSources(lsxtest::threeLightSources());
    devserver::LumraServerState state(std::make_shared<lsx::Lumra>(lsx::kLumraTypeAny, "/dev/ttyUSB2"), 2000);
    lsxtest::LoopbackServer server;
    devserver::registerLumraRoutes(server.server(), state);
    server.start();
    {
        lumras_[102] = std::make_shared<lsx::AnyLumra>(std::make_unique<lsx::RemoteLumra>("127.0.0.1", server.port(), 2000));
        MessageBoxAnswerer answerer;
        makePanel();
        ASSERT_EQ(panel_->lightSourceWidget()->selector()->count(), 1);
        EXPECT_EQ(panel_->channelWidgets().size(), 4);
        expectFollowsCamera(*panel_, *lumras_.at(102));
        EXPECT_TRUE(answerer.seen().isEmpty());
        panel_.reset();
        lumras_.clear(); // releases the light source on the server
    }
    EXPECT_TRUE(state.isFree());
    server.stop();
}

TEST_F(LumraControlTest, RemovedCameraReturnsItsLightSourcesToManual)
{
    useLightSources(lsxtest::threeLightSources());
    openAll();
    makePanel();
    panel_->controlModeBox()->setCurrentText(QStringLiteral("Cam B"));
    select(102);
    panel_->controlModeBox()->setCurrentText(QStringLiteral("Cam A"));
    EXPECT_FALSE(outputOn(*lumras_.at(101)));

    panel_->setCameras({{kCameraA, QStringLiteral("Cam A")}});
    EXPECT_EQ(panel_->controlModeBox()->count(), 2);
    EXPECT_EQ(panel_->controlModeBox()->currentText(), QStringLiteral("Cam A"));
    EXPECT_EQ(panel_->controlMode(102), QStringLiteral("Cam A"));
    EXPECT_EQ(panel_->controlMode(101), QStringLiteral("Manual"));
    EXPECT_TRUE(outputOn(*lumras_.at(101)));
    EXPECT_FALSE(outputOn(*lumras_.at(102)));
}
