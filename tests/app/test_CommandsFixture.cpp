#include "test_CommandsFixture.h"

#include "CameraSelector.h"

#include "camera/Camera.h"
#include "widgets/VYKTreeComboBox.h"

#include <QTest>
#include <QVBoxLayout>

void CommandsTest::SetUp()
{
    MainWindowTest::SetUp();
}

void CommandsTest::TearDown()
{
    record_.reset();
    save_.reset();
    for (auto& [serial, acquisition] : acquisitions_)
        delete acquisition;
    acquisitions_.clear();
    host_.reset();
    status_.reset();
    cameras_.clear();
    MainWindowTest::TearDown();
}

void CommandsTest::build()
{
    for (uint32_t serial : {11u, 22u}) {
        try {
            cameras_[serial] = std::make_shared<vyk::AnyCamera>(
                std::make_unique<vyk::Camera>(vyk::InterfaceType::Any, serial));
        } catch (const std::exception&) {
            // Not in this test's camera set.
        }
    }
    ColourMap colours;
    for (const auto& [serial, camera] : cameras_) {
        acquisitions_[serial] = new CameraAcquisition(camera);
        colours[serial] = QStringLiteral("#ff0000");
    }
    host_ = std::make_unique<QMainWindow>();
    auto* central = new QWidget;
    auto* layout = new QVBoxLayout(central);
    selector_ = new QComboBox;
    CameraSelector::fill(selector_, cameras_, colours);
    tree_ = new CameraSettingsTree(nullptr, cameras_.begin()->second);
    video_ = new VideoControl;
    layout->addWidget(selector_);
    layout->addWidget(tree_);
    layout->addWidget(video_);
    host_->setCentralWidget(central);
    status_ = std::make_unique<StatusReporter>(host_->statusBar());

    context_.window = host_.get();
    context_.cameras = &cameras_;
    context_.acquisitions = &acquisitions_;
    context_.settingsTree = tree_;
    context_.videoControl = video_;
    context_.status = status_.get();
    context_.statusBar = host_->statusBar();
    context_.cameraSelector = selector_;
    context_.icons = [](const QString&) { return QIcon(); };
    context_.setBitDepth = [this](DWORD serial, int bits) { bitDepths_[serial] = bits; };
    for (QAction** action : {&context_.preview, &context_.record, &context_.trigger, &context_.scan,
                             &context_.saveAll, &context_.saveAs}) {
        *action = new QAction(host_.get());
    }
    context_.preview->setCheckable(true);
    context_.record->setCheckable(true);

    record_ = std::make_unique<RecordCommands>(context_);
    save_ = std::make_unique<SaveImageCommands>(context_);
    // As the main window wires them.
    QObject::connect(record_.get(), &RecordCommands::recordingInProgress, record_.get(),
                     [this] { record_->onRecordingInProgress(); });
    QObject::connect(record_.get(), &RecordCommands::recordingInProgress, video_, &VideoControl::onRecordingInProgress);
    for (const auto& [serial, acquisition] : acquisitions_) {
        QObject::connect(acquisition, &CameraAcquisition::recordingDone, record_.get(),
                         [this](DWORD done) { record_->onRecordingDone(done); });
        QObject::connect(acquisition, &CameraAcquisition::recordingDone, video_, &VideoControl::onRecordingDone);
        QObject::connect(acquisition, &CameraAcquisition::newPlayPosition, video_, &VideoControl::onPlayPositionChanged);
    }
    host_->show();
    video_->onCameraChanged(cameras_.begin()->second, QStringLiteral("#ff0000"), acquisitions_.begin()->second);
}

void CommandsTest::select(DWORD serial)
{
    selector_->setCurrentIndex(CameraSelector::indexOf(selector_, serial));
    tree_->onCameraChanged(cameras_.at(serial), QStringLiteral("#ff0000"));
    video_->onCameraChanged(cameras_.at(serial), QStringLiteral("#ff0000"), acquisitions_.at(serial));
}

void CommandsTest::setTreeCombo(const QString& label, const QString& text)
{
    auto* combo = tree_->findChild<VYKTreeComboBox*>(label);
    ASSERT_NE(combo, nullptr) << label.toStdString();
    const int index = combo->findText(text);
    ASSERT_GE(index, 0) << text.toStdString();
    combo->setCurrentIndex(index);
    ASSERT_EQ(combo->currentText(), text);
}

void CommandsTest::recordDirectly(DWORD serial, int images)
{
    vyk::AnyCamera& camera = *cameras_.at(serial);
    camera.record(static_cast<uint32_t>(images), vyk::RecordMode::Sequence);
    ASSERT_TRUE(QTest::qWaitFor([&] { return camera.getRecordedImageCount() >= static_cast<uint32_t>(images); }, 5000));
    camera.stop();
    acquisition(serial).settings().imageCount = images;
    acquisition(serial).settings().recMode = vyk::RecordMode::Sequence;
}
