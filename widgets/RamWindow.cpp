#include "RamWindow.h"

#include "widgets/LiveCamera.h"
#include "widgets/RamPieWidget.h"

#include "camera/CameraException.h"

#include <QButtonGroup>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QVBoxLayout>
#include <QtDebug>

#include <algorithm>
#include <numeric>
#include <vector>

RamWindow::Edit RamWindow::editAllocation(QWidget* parent, const std::weak_ptr<vyk::AnyCamera>& camera,
                                          const std::vector<uint32_t>& percentages, int activeIndex)
{
    RamWindow dialog(camera, parent);
    dialog.loadAllocation(percentages, activeIndex);
    dialog.setFixedSize(dialog.sizeHint());
    if (dialog.exec() == QDialog::Accepted)
        return {dialog.percentages(), dialog.activeIndex(), true};
    return {percentages, activeIndex, false};
}

RamWindow::RamWindow(std::weak_ptr<vyk::AnyCamera> camera, QWidget* parent)
    : QDialog(parent)
    , camera_(std::move(camera))
    , activeGroup_(new QButtonGroup(this))
    , remainingLabel_(new QLabel(this))
    , buttons_(new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this))
    , pie_(new RamPieWidget(this))
{
    setWindowTitle(QStringLiteral("CamRAM Allocation"));
    setModal(true);
    setSizeGripEnabled(false);

    auto* grid = new QGridLayout;
    for (int i = 0; i < kMaxSegments; ++i) {
        auto* spin = new QSpinBox(this);
        spin->setRange(0, 100);
        spin->setSuffix(QStringLiteral("%"));
        spin->setSingleStep(5);
        spin->setObjectName(QStringLiteral("SegmentSpin%1").arg(i + 1));
        auto* radio = new QRadioButton(QStringLiteral("Active"), this);
        radio->setObjectName(QStringLiteral("SegmentActive%1").arg(i + 1));
        activeGroup_->addButton(radio, i);
        auto* info = new QLabel(this);
        info->setObjectName(QStringLiteral("SegmentInfo%1").arg(i + 1));
        info->setMinimumSize(100, 35);
        info->setSizePolicy(QSizePolicy::Fixed, info->sizePolicy().verticalPolicy());
        grid->addWidget(new QLabel(QStringLiteral("Segment %1").arg(i + 1), this), i, 0);
        grid->addWidget(spin, i, 1);
        grid->addWidget(radio, i, 2);
        grid->addWidget(info, i, 3);
        spins_.append(spin);
        radios_.append(radio);
        infoLabels_.append(info);
        percentages_.append(0);
        appliedPercentages_.append(0);
        imageCounts_.append(0);
        connect(spin, qOverload<int>(&QSpinBox::valueChanged), this, &RamWindow::onSpinChanged);
        connect(radio, &QRadioButton::toggled, this, &RamWindow::onActiveChanged);
    }
    remainingLabel_->setObjectName(QStringLiteral("RemainingLabel"));
    applyButton_ = buttons_->addButton(QStringLiteral("Apply"), QDialogButtonBox::ApplyRole);
    pie_->setObjectName(QStringLiteral("RamPie"));

    auto* left = new QVBoxLayout;
    left->addLayout(grid);
    left->addWidget(remainingLabel_);
    left->addWidget(buttons_);
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(left);
    layout->addWidget(pie_, 1);

    connect(buttons_, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons_, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(applyButton_, &QPushButton::clicked, this, &RamWindow::onApplyClicked);
    updateAllocation();
}

void RamWindow::loadAllocation(const std::vector<uint32_t>& percentages, int activeIndex)
{
    QList<int> given;
    for (int i = 0; i < kMaxSegments; ++i) {
        const auto index = static_cast<std::size_t>(i);
        // Clamped so that a corrupt entry cannot wrap around into a small sum.
        given.append(index < percentages.size() ? static_cast<int>(std::min<uint32_t>(percentages[index], 101)) : 0);
    }
    appliedPercentages_ = given;
    // A division above 100 % cannot be shown as it is; starting from nothing lets the user
    // build a valid one instead of editing an invalid one.
    if (std::accumulate(given.begin(), given.end(), 0) > 100)
        std::fill(given.begin(), given.end(), 0);
    percentages_ = given;
    activeIndex_ = std::clamp(activeIndex, 0, kMaxSegments - 1);
    appliedActiveIndex_ = activeIndex_;
    showEditors();
    updateAllocation();
}

std::vector<uint32_t> RamWindow::percentages() const
{
    return std::vector<uint32_t>(percentages_.begin(), percentages_.end());
}

void RamWindow::onSpinChanged(int)
{
    updateAllocation();
}

void RamWindow::onActiveChanged()
{
    updateAllocation();
    applyButton_->setEnabled(true);
}

void RamWindow::showEditors()
{
    // Every editor stays blocked until all are set: checking one radio unchecks another,
    // whose signal would otherwise run the update on half-restored editors.
    std::vector<QSignalBlocker> blockers;
    for (int i = 0; i < kMaxSegments; ++i) {
        blockers.emplace_back(spins_.at(i));
        blockers.emplace_back(radios_.at(i));
    }
    for (int i = 0; i < kMaxSegments; ++i) {
        spins_.at(i)->setValue(percentages_.at(i));
        if (i == activeIndex_)
            radios_.at(i)->setChecked(true); // unchecks the others of the exclusive group
    }
}

int RamWindow::checkedIndex() const
{
    const int id = activeGroup_->checkedId();
    return id >= 0 ? id : activeIndex_;
}

int RamWindow::sum() const
{
    return std::accumulate(percentages_.begin(), percentages_.end(), 0);
}

void RamWindow::updateAllocation()
{
    QList<int> edited;
    for (const QSpinBox* spin : spins_)
        edited.append(spin->value());
    const int checked = checkedIndex();
    if (std::accumulate(edited.begin(), edited.end(), 0) > 100 || edited.at(checked) == 0) {
        // Refused: the editors (the radios too, so that they never name a segment the
        // dialog does not hold as active) go back to the current division.
        showEditors();
    } else {
        percentages_ = edited;
        activeIndex_ = checked;
    }

    pie_->setPercentages(percentages_);
    remainingLabel_->setText(QStringLiteral("Remaining: %1 %").arg(100 - sum()));
    applyButton_->setEnabled(true);
    refreshInfoLabels();
    bool anyAllocated = false;
    for (int i = 0; i < kMaxSegments; ++i) {
        radios_.at(i)->setEnabled(percentages_.at(i) > 0);
        anyAllocated = anyAllocated || percentages_.at(i) > 0;
    }
    buttons_->button(QDialogButtonBox::Ok)->setEnabled(anyAllocated && sum() <= 100);
}

void RamWindow::refreshInfoLabels()
{
    for (int i = 0; i < kMaxSegments; ++i) {
        QString text = QStringLiteral("Seg %1: %2%").arg(i + 1).arg(percentages_.at(i));
        const int count = imageCounts_.at(i);
        text += count > 0 ? QStringLiteral(" \n%1 Images").arg(count) : QStringLiteral(" \nN/A");
        infoLabels_.at(i)->setText(text);
        infoLabels_.at(i)->setStyleSheet(QStringLiteral("color: %1;").arg(RamPieWidget::segmentColor(i).name()));
    }
}

void RamWindow::onApplyClicked()
{
    updateAllocation();
    applyButton_->setEnabled(false);
    const int total = sum();
    if (total < 1 || total > 100) {
        QMessageBox::warning(this, QStringLiteral("Invalid RAM layout"),
                             QStringLiteral("Total percentage must be between 1 and 100."));
        return;
    }
    const std::shared_ptr<vyk::AnyCamera> camera = liveCameraOrWarn(camera_, this);
    if (!camera)
        return;
    try {
        applyTo(*camera);
    } catch (const std::exception& error) {
        qCritical().noquote() << QStringLiteral("Error setting RAM Configuration to camera. Error: ") +
                                     QString::fromUtf8(error.what());
        QString name;
        try {
            name = QString::fromStdString(camera->getName());
        } catch (const std::exception& nameError) {
            // A camera that fails to write often fails to name itself too; the box still
            // has to appear, so it names the camera generically.
            qWarning().noquote() << QStringLiteral("Reading the camera name failed: ") +
                                        QString::fromUtf8(nameError.what());
            name = QStringLiteral("camera");
        }
        QMessageBox::critical(this, QStringLiteral("Error with: %1").arg(name),
                              QStringLiteral("Error setting RAM Configuration to camera!\nReconnect and press rescan"));
    }
}

void RamWindow::applyTo(vyk::AnyCamera& camera)
{
    if (percentages_ != appliedPercentages_) {
        camera.setCamRamAllocation(percentages());
        appliedPercentages_ = percentages_;
        appliedActiveIndex_ = activeIndex_;
    }
    for (int i = 0; i < kMaxSegments; ++i) {
        if (percentages_.at(i) == 0) {
            imageCounts_[i] = 0;
            continue;
        }
        camera.switchToCamRam(static_cast<uint16_t>(i + 1));
        imageCounts_[i] = static_cast<int>(camera.getCamRamMaxImages());
    }
    camera.switchToCamRam(static_cast<uint16_t>(activeIndex_ + 1));
    refreshInfoLabels();
}
