// The DXR storage allocation dialog against an in-process device server whose two DXR
// cameras share one simulated recorder storage: the table with own and foreign rows, cell
// clamping, adding and removing segments, Apply with its message boxes, and the round trip
// from the settings tree's storage button to a recording in the chosen segment.

#include "FakeCameraServer.h"
#include "SimCameraFixture.h"
#include "test_RamSupport.h"

#include "widgets/CameraSettingsTree.h"
#include "widgets/PercentSpinboxDxr.h"
#include "widgets/RamPieWidget.h"
#include "widgets/RamWindowDxr.h"
#include "widgets/VYKTreePushButton.h"
#include "widgets/VYKTreeSpinBox.h"

#include "camera/Image.h"
#include "camera/RemoteCamera.h"
#include "server/DeviceServer.h"

#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTableWidget>
#include <QtTest/QTest>

#include <fstream>
#include <random>

using nlohmann::json;
using namespace ramtest;

namespace {

constexpr uint32_t kFirst = 6001;  // the camera the dialog edits
constexpr uint32_t kSecond = 6002; // shares the storage
using Entries = std::vector<vyk::RamAllocation>;

QTableWidget* table(const QWidget& w) { return child<QTableWidget>(w, "DxrTable"); }
QString cell(const QWidget& w, int row, int column) { return table(w)->item(row, column)->text(); }
void typePercent(const QWidget& w, int row, const QString& text)
{
    table(w)->item(row, RamWindowDxr::kPercent)->setText(text);
}
// The Active radio of the row of allocId (replaced cell widgets linger until deleted later).
QRadioButton* radio(const QWidget& w, int allocId)
{
    QTableWidget* t = table(w);
    for (int row = 0; row < t->rowCount(); ++row)
        if (t->item(row, RamWindowDxr::kAllocId)->text() == QString::number(allocId))
            return t->cellWidget(row, RamWindowDxr::kActive)->findChild<QRadioButton*>();
    ADD_FAILURE() << "no row " << allocId;
    return nullptr;
}
QLabel* remaining(const QWidget& w) { return child<QLabel>(w, "RemainingLabel"); }
QPushButton* button(const QWidget& w, const char* text)
{
    for (QPushButton* b : w.findChildren<QPushButton*>())
        if (b->text() == QLatin1String(text))
            return b;
    ADD_FAILURE() << "no button " << text;
    return nullptr;
}
QStringList column(const QWidget& w, int col)
{
    QStringList texts;
    for (int row = 0; row < table(w)->rowCount(); ++row)
        texts << cell(w, row, col);
    return texts;
}

class RamWindowDxrTest : public ::testing::Test {
protected:
    // Two DXR cameras of 512 x 512 x 16 bit (512 KiB per image) on 10 MiB of storage, so
    // that every MiB of a segment holds two images. Each camera starts with 50 %.
    void SetUp() override
    {
        std::random_device random;
        folder_ = std::filesystem::temp_directory_path() / ("rastel_ramdxr_" + std::to_string(random()));
        std::filesystem::create_directories(folder_);
        const auto camera = [](uint32_t serial) {
            return json{{"serial", serial},
                        {"name", "dxr test " + std::to_string(serial)},
                        {"interface", "CLHS_DXR"},
                        {"sensor", {{"width", 512}, {"height", 512}, {"bits", 16}}},
                        {"exposure", {{"min_ns", 10000}, {"max_ms", 1000}, {"step_ns", 10}}},
                        {"pixel_rates_hz", {100000000}}};
        };
        std::ofstream(folder_ / "devices.json")
            << json{{"cameras", {camera(kFirst), camera(kSecond)}}, {"light_sources", json::array()}}.dump();
        devserver::ServerOptions options;
        options.basePort = 0;
        options.discoveryPort = 0;
        options.configFile = (folder_ / "devices.json").string();
        options.dataDir = folder_ / "data";
        options.dxrStorageMiB = 10;
        options.lightSources = false;
        options.logLevel = devserver::LogLevel::Error;
        server_ = std::make_unique<devserver::DeviceServer>(options);
        server_->start();
    }
    void TearDown() override
    {
        server_.reset();
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }
    std::shared_ptr<vyk::AnyCamera> connect(uint32_t serial)
    {
        for (const auto& endpoint : server_->endpoints())
            if (endpoint.type == "camera" && endpoint.serial == serial)
                return std::make_shared<vyk::AnyCamera>(std::make_unique<vyk::RemoteCamera>("127.0.0.1", endpoint.port));
        ADD_FAILURE() << "no camera " << serial;
        return {};
    }

    std::filesystem::path folder_;                  // device set and recording folder
    std::unique_ptr<devserver::DeviceServer> server_;
};

TEST_F(RamWindowDxrTest, TableShowsOwnAndForeignRows)
{
    auto camera = connect(kFirst);
    RamWindowDxr window(camera);
    EXPECT_EQ(window.windowTitle(), "DXR Allocation");
    EXPECT_TRUE(window.isSizeGripEnabled());
    EXPECT_EQ(window.size(), QSize(800, 480));
    EXPECT_EQ(remaining(window)->text(), "Remaining: 100 %");
    // Given out of order and without an active segment.
    window.loadEntries({{3, 0, 0.0, kFirst}, {2, 5, 50.0, kSecond}, {1, 5, 49.6, kFirst}}, 0);

    QTableWidget* t = table(window);
    ASSERT_EQ(t->columnCount(), 5);
    QStringList headers;
    for (int col = 0; col < t->columnCount(); ++col)
        headers << t->horizontalHeaderItem(col)->text();
    EXPECT_EQ(headers, (QStringList{"Alloc ID", "Camera", "Percent", "Active", "Images"}));
    EXPECT_NE(qobject_cast<PercentSpinboxDxr*>(t->itemDelegateForColumn(RamWindowDxr::kPercent)), nullptr);
    EXPECT_EQ(t->selectionBehavior(), QAbstractItemView::SelectRows);
    EXPECT_EQ(t->selectionMode(), QAbstractItemView::SingleSelection);

    EXPECT_EQ(column(window, 0), (QStringList{"1", "2", "3"}));
    EXPECT_EQ(column(window, 1), (QStringList{"6001", "6002", "6001"}));
    EXPECT_EQ(column(window, 2), (QStringList{"50", "50", "0"}));
    EXPECT_EQ(column(window, 4), (QStringList{"N/A", "N/A", "N/A"}));
    EXPECT_EQ(t->item(0, 2)->data(Qt::EditRole).toInt(), 50);

    const Qt::ItemFlags ownPercent = t->item(0, 2)->flags();
    EXPECT_TRUE(ownPercent & Qt::ItemIsEditable);
    EXPECT_TRUE(ownPercent & Qt::ItemIsEnabled);
    EXPECT_TRUE(ownPercent & Qt::ItemIsSelectable);
    EXPECT_EQ(t->item(0, 2)->toolTip(), "Percents of total storage used by segment");
    EXPECT_EQ(t->item(0, 0)->foreground().color(), RamPieWidget::segmentColor(0));
    EXPECT_EQ(t->item(2, 2)->foreground().color(), RamPieWidget::segmentColor(2));
    EXPECT_FALSE(t->item(0, 0)->flags() & Qt::ItemIsEditable);
    EXPECT_FALSE(t->item(0, 4)->flags() & Qt::ItemIsEditable);

    const Qt::ItemFlags foreignPercent = t->item(1, 2)->flags();
    EXPECT_FALSE(foreignPercent & Qt::ItemIsEditable);
    EXPECT_FALSE(foreignPercent & Qt::ItemIsEnabled);
    EXPECT_EQ(t->item(1, 2)->toolTip(), "Allocated by another camera");
    EXPECT_EQ(t->item(1, 0)->foreground().color(), QColor(120, 120, 120));

    // The first own segment became active; only own segments can be chosen.
    EXPECT_EQ(window.activeSegment(), 1);
    EXPECT_TRUE(radio(window, 1)->isChecked());
    EXPECT_TRUE(radio(window, 1)->isEnabled());
    EXPECT_FALSE(radio(window, 2)->isEnabled());
    radio(window, 3)->click();
    EXPECT_EQ(window.activeSegment(), 3);
    EXPECT_FALSE(radio(window, 1)->isChecked());

    EXPECT_EQ(remaining(window)->text(), "Remaining: 0 %");
    EXPECT_EQ(remaining(window)->styleSheet(), "");
    EXPECT_TRUE(okButton(window)->isEnabled());
    EXPECT_EQ(child<RamPieWidget>(window, "RamPie")->percentages(), (QList<int>{50, 50, 0}));

    // A given active segment is kept.
    window.loadEntries({{1, 5, 50.0, kFirst}, {4, 0, 10.0, kFirst}}, 4);
    EXPECT_EQ(window.activeSegment(), 4);
    EXPECT_TRUE(radio(window, 4)->isChecked());
}

TEST_F(RamWindowDxrTest, PercentCellsAreClamped)
{
    auto camera = connect(kFirst);
    RamWindowDxr window(camera);
    window.loadEntries(camera->getDxrAllocation(), 0);
    ASSERT_EQ(column(window, 2), (QStringList{"50", "50"}));

    typePercent(window, 0, "150");
    EXPECT_EQ(cell(window, 0, 2), "100");
    EXPECT_EQ(table(window)->item(0, 2)->data(Qt::EditRole).toInt(), 100);
    EXPECT_EQ(remaining(window)->text(), "Remaining: 0 %");
    EXPECT_EQ(remaining(window)->styleSheet(), "color: #c62828;");
    EXPECT_FALSE(okButton(window)->isEnabled());
    EXPECT_FALSE(applyButton(window)->isEnabled());

    typePercent(window, 0, "many");
    EXPECT_EQ(cell(window, 0, 2), "0");
    EXPECT_EQ(remaining(window)->text(), "Remaining: 50 %");
    EXPECT_EQ(remaining(window)->styleSheet(), "");
    EXPECT_TRUE(okButton(window)->isEnabled());
    EXPECT_TRUE(applyButton(window)->isEnabled());

    typePercent(window, 0, "-5");
    EXPECT_EQ(cell(window, 0, 2), "0");
    typePercent(window, 0, "30");
    EXPECT_EQ(child<RamPieWidget>(window, "RamPie")->percentages(), (QList<int>{30, 50}));
    EXPECT_EQ(window.entries().front().percent_of_total, 30.0);
}

TEST_F(RamWindowDxrTest, AddingAndRemovingSegments)
{
    auto camera = connect(kFirst);
    RamWindowDxr window(camera);
    window.loadEntries({{1, 5, 40.0, kFirst}, {2, 5, 50.0, kSecond}, {5, 0, 0.0, kFirst}}, 5);

    // The next id follows the largest, although 3 and 4 are free; unapplied edits stay.
    typePercent(window, 0, "10");
    button(window, "+ Segment")->click();
    EXPECT_EQ(column(window, 0), (QStringList{"1", "2", "5", "6"}));
    EXPECT_EQ(column(window, 1), (QStringList{"6001", "6002", "6001", "6001"}));
    EXPECT_EQ(column(window, 2), (QStringList{"10", "50", "0", "0"}));
    EXPECT_TRUE(radio(window, 5)->isChecked());

    // Another camera's row cannot be removed.
    MessageBoxAnswerer boxes;
    table(window)->selectRow(1);
    button(window, "- Segment")->click();
    ASSERT_EQ(boxes.titles.size(), 1);
    EXPECT_EQ(boxes.titles.at(0), "Not allowed");
    EXPECT_EQ(boxes.texts.at(0), "You can only remove segments of this camera.");
    EXPECT_EQ(table(window)->rowCount(), 4);

    // Nothing selected: the last own row goes.
    table(window)->clearSelection();
    button(window, "- Segment")->click();
    EXPECT_EQ(column(window, 0), (QStringList{"1", "2", "5"}));
    // The selected own row goes; the active segment it was falls back to the first own one.
    table(window)->selectRow(2);
    button(window, "- Segment")->click();
    EXPECT_EQ(column(window, 0), (QStringList{"1", "2"}));
    EXPECT_EQ(window.activeSegment(), 1);
    EXPECT_TRUE(radio(window, 1)->isChecked());
    table(window)->clearSelection();
    button(window, "- Segment")->click();
    EXPECT_EQ(column(window, 0), (QStringList{"2"}));
    EXPECT_EQ(window.activeSegment(), 0);
    button(window, "- Segment")->click(); // no own row left: nothing happens
    EXPECT_EQ(column(window, 0), (QStringList{"2"}));
    EXPECT_EQ(boxes.titles.size(), 1);

    window.loadEntries({}, 0);
    button(window, "+ Segment")->click();
    EXPECT_EQ(column(window, 0), (QStringList{"1"}));
    EXPECT_EQ(window.entries().front().camera_serial, kFirst);
}

TEST_F(RamWindowDxrTest, ApplyWritesReadsBackCountsImagesAndSwitches)
{
    auto camera = connect(kFirst);
    RamWindowDxr window(camera);
    window.loadEntries(camera->getDxrAllocation(), camera->getDxrSegment().alloc_id);
    typePercent(window, 0, "30");
    button(window, "+ Segment")->click();
    typePercent(window, 2, "20");
    radio(window, 3)->click();
    applyButton(window)->click();

    const Entries stored = camera->getDxrAllocation();
    ASSERT_EQ(stored.size(), 3u);
    EXPECT_EQ(stored[0], (vyk::RamAllocation{1, 3, 30.0, kFirst}));
    EXPECT_EQ(stored[1], (vyk::RamAllocation{2, 5, 50.0, kSecond}));
    EXPECT_EQ(stored[2], (vyk::RamAllocation{3, 2, 20.0, kFirst}));
    EXPECT_EQ(window.entries(), stored);
    // Two images per MiB; the other camera's segment is not counted.
    EXPECT_EQ(column(window, 4), (QStringList{"6", "N/A", "4"}));
    EXPECT_EQ(camera->getCamRamSegment(), 3);
    EXPECT_FALSE(applyButton(window)->isEnabled());

    // A segment without room shows no count.
    typePercent(window, 2, "0");
    applyButton(window)->click();
    EXPECT_EQ(column(window, 4), (QStringList{"6", "N/A", "N/A"}));
}

TEST_F(RamWindowDxrTest, ApplyReportsInvalidTotalsVanishedCamerasAndRefusals)
{
    auto camera = connect(kFirst);
    RamWindowDxr window(camera);
    MessageBoxAnswerer boxes;
    window.loadEntries({{1, 0, 0.0, kFirst}}, 1);
    EXPECT_FALSE(applyButton(window)->isEnabled());
    window.onApply();
    ASSERT_EQ(boxes.titles.size(), 1);
    EXPECT_EQ(boxes.titles.at(0), "Invalid allocation");
    EXPECT_EQ(boxes.texts.at(0), "Global total percentage must be between 1 and 100.");

    // The server refuses while the camera records.
    window.loadEntries(camera->getDxrAllocation(), 1);
    typePercent(window, 0, "40");
    camera->record(10, vyk::RecordMode::RingBuffer);
    applyButton(window)->click();
    camera->stop();
    ASSERT_EQ(boxes.titles.size(), 2);
    EXPECT_EQ(boxes.titles.at(1), "Apply failed");
    EXPECT_TRUE(boxes.texts.at(1).startsWith("Error setting vyk.dxr allocation:\nvyk::CameraException"))
        << boxes.texts.at(1).toStdString();
    EXPECT_EQ(camera->getDxrAllocation().front().percent_of_total, 50.0);
    EXPECT_EQ(cell(window, 0, 2), "40"); // the dialog keeps the user's values

    camera.reset();
    applyButton(window)->click();
    ASSERT_EQ(boxes.titles.size(), 3);
    EXPECT_EQ(boxes.titles.at(2), "Camera unavailable");
    EXPECT_EQ(boxes.texts.at(2), "The camera is no longer available.");
    EXPECT_EQ(connect(kFirst)->getDxrAllocation().front().percent_of_total, 50.0);
}

// The settings tree's storage button opens the dialog; the storage is divided 50/30/20 and
// a "Sequence CamRam" recording fills segment 2.
TEST_F(RamWindowDxrTest, RoundTripFromTheSettingsTreeToARecordingInSegmentTwo)
{
    connect(kSecond)->setDxrAllocation({}); // the other camera gives its half back
    auto camera = connect(kFirst);
    CameraSettingsTree tree(nullptr, camera);
    auto* storage = tree.findChild<VYKTreePushButton*>("RamButton");
    ASSERT_NE(storage, nullptr);
    ASSERT_EQ(storage->text(), "Storage Allocation");
    whenShown<RamWindowDxr>([](RamWindowDxr* dialog) {
        EXPECT_EQ(column(*dialog, 2), (QStringList{"50"}));
        button(*dialog, "+ Segment")->click();
        typePercent(*dialog, 1, "30");
        button(*dialog, "+ Segment")->click();
        typePercent(*dialog, 2, "20");
        radio(*dialog, 2)->click();
        okButton(*dialog)->click();
    });
    QSignalSpy changed(&tree, &CameraSettingsTree::camRamSegmentChanged);
    storage->click();
    const Entries stored = camera->getDxrAllocation();
    ASSERT_EQ(stored.size(), 3u);
    EXPECT_EQ(stored[1], (vyk::RamAllocation{2, 3, 30.0, kFirst}));
    EXPECT_EQ(camera->getCamRamSegment(), 2);
    EXPECT_EQ(tree.findChild<VYKTreeSpinBox*>("Image Count")->value(), 6);
    EXPECT_EQ(changed.count(), 1);

    camera->setExposureTime(0.0001);
    camera->record(6, vyk::RecordMode::CamramSegment);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !camera->isRecording(); }, 10000));
    EXPECT_EQ(camera->getCamRamNumImages(), 6u);
    vyk::Image first;
    camera->image(first, 0);
    EXPECT_EQ(first.width(), 512u);
    EXPECT_EQ(first.height(), 512u);
    vyk::Image last;
    EXPECT_NO_THROW(camera->image(last, 5));

    camera->switchToCamRam(1);
    EXPECT_EQ(camera->getCamRamMaxImages(), 10u);
    EXPECT_EQ(camera->getCamRamNumImages(), 0u);
    camera->switchToCamRam(3);
    EXPECT_EQ(camera->getCamRamMaxImages(), 4u);
}

TEST_F(RamWindowDxrTest, CameraDroppedByTheTreeWhileTheDialogIsOpen)
{
    auto camera = connect(kFirst);
    std::weak_ptr<vyk::AnyCamera> observed = camera;
    CameraSettingsTree tree(nullptr, camera);
    MessageBoxAnswerer boxes;
    whenShown<RamWindowDxr>([&](RamWindowDxr* dialog) {
        tree.adaptToCameraError(kFirst);
        camera.reset();
        EXPECT_TRUE(observed.expired());
        typePercent(*dialog, 0, "20");
        applyButton(*dialog)->click();
        okButton(*dialog)->click();
    });
    tree.findChild<VYKTreePushButton*>("RamButton")->click();
    ASSERT_EQ(boxes.titles.size(), 1);
    EXPECT_EQ(boxes.titles.at(0), "Camera unavailable");
    EXPECT_EQ(connect(kFirst)->getDxrAllocation().front().percent_of_total, 50.0);
}

// A camera that owns no storage reaches the dialog and gets its first segment there.
TEST_F(RamWindowDxrTest, CameraWithoutStorageGetsItsFirstSegment)
{
    auto camera = connect(kSecond);
    camera->setDxrAllocation({});
    CameraSettingsTree tree(nullptr, camera);
    whenShown<RamWindowDxr>([](RamWindowDxr* dialog) {
        EXPECT_EQ(column(*dialog, 1), (QStringList{"6001"}));
        EXPECT_EQ(dialog->activeSegment(), 0);
        button(*dialog, "+ Segment")->click(); // id 2 is free again after the largest, 1
        EXPECT_EQ(dialog->activeSegment(), 2);
        EXPECT_TRUE(radio(*dialog, 2)->isChecked());
        typePercent(*dialog, 1, "40");
        button(*dialog, "+ Segment")->click();
        EXPECT_EQ(dialog->activeSegment(), 2);
        okButton(*dialog)->click();
    });
    tree.findChild<VYKTreePushButton*>("RamButton")->click();
    EXPECT_EQ(camera->getDxrSegment(), (vyk::RamAllocation{2, 4, 40.0, kSecond}));
    EXPECT_EQ(camera->getDxrAllocation().size(), 3u);
    EXPECT_EQ(tree.findChild<VYKTreeSpinBox*>("Image Count")->value(), 8);
}

// A server that takes the division but then refuses a segment: each failure has its box.
class RamWindowDxrCountTest : public SimCameraTest {};

TEST_F(RamWindowDxrCountTest, ImageCountFailureIsReportedPerSegment)
{
    useCameras(baseCamera(101));
    FakeCameraServer server(std::make_unique<vyk::Camera>(vyk::InterfaceType::Any, 101), vyk::InterfaceType::CLHS_DXR);
    auto camera = std::make_shared<vyk::AnyCamera>(std::make_unique<vyk::RemoteCamera>("127.0.0.1", server.port()));
    RamWindowDxr window(camera);
    window.loadEntries(camera->getDxrAllocation(), 0); // 1: own 60 %, 2: foreign 30 %
    button(window, "+ Segment")->click();
    typePercent(window, 2, "10");
    table(window)->selectRow(0);
    button(window, "- Segment")->click(); // segment 3 is this camera's only one
    ASSERT_EQ(window.activeSegment(), 3);

    // The fake server knows segments only by their position: 3 of 2 is refused.
    MessageBoxAnswerer boxes;
    applyButton(window)->click();
    ASSERT_EQ(boxes.titles.size(), 2);
    EXPECT_EQ(boxes.titles.at(0), "Error");
    EXPECT_EQ(boxes.texts.at(0), "Error while getting possible image amount for segment: 3.\n"
                                 "Please try again after apply is finished.");
    EXPECT_EQ(boxes.titles.at(1), "Apply failed");
    EXPECT_EQ(server.dxrSegments().size(), 2u);
    EXPECT_EQ(column(window, 4), (QStringList{"N/A", "N/A"}));
}

} // namespace
