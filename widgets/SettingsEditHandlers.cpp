// The handlers of CameraSettingsTree that carry the user's edits to the camera, and the
// ROI arithmetic they share.
#include "SettingsEditHandlers.h"

#include "widgets/CameraSettingsTree.h"
#include "widgets/FilePathWidget.h"
#include "widgets/RamWindow.h"
#include "widgets/RamWindowDxr.h"
#include "widgets/UnitTreeDoubleSpinbox.h"
#include "widgets/VYKTreeComboBox.h"
#include "widgets/VYKTreeDoubleSpinBox.h"
#include "widgets/VYKTreePushButton.h"
#include "widgets/VYKTreeSpinBox.h"

#include "camera/CameraException.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QSignalBlocker>
#include <QTimer>
#include <QtDebug>

#include <algorithm>
#include <functional>

namespace {

// Blocks the tree's editor signals for one scope, also when a camera call throws.
class EditorBlock {
public:
    explicit EditorBlock(std::function<void(bool)> setBlocked)
        : setBlocked_(std::move(setBlocked))
    {
        setBlocked_(true);
    }
    ~EditorBlock() { setBlocked_(false); }
    EditorBlock(const EditorBlock&) = delete;
    EditorBlock& operator=(const EditorBlock&) = delete;

private:
    std::function<void(bool)> setBlocked_;
};

int64_t roundDown(int64_t value, int64_t step)
{
    return value - value % step;
}

} // namespace

RoiAxis adjustRoiAxis(int64_t start, int64_t end, int64_t max, int64_t minSize, int64_t step,
                      bool symmetric, bool startChanged)
{
    const int64_t s = std::max<int64_t>(1, step);
    const int64_t m = std::max<int64_t>(1, minSize);
    const auto clampToAxis = [max](int64_t v) { return std::max<int64_t>(1, std::min(max, v)); };

    if (symmetric) {
        const int64_t kmax = std::max<int64_t>(0, (max - m) / (2 * s));
        int64_t margin = 0;
        if (startChanged) {
            margin = roundDown(clampToAxis(start) - 1, s);
        } else {
            margin = max - roundDown(clampToAxis(end), s);
        }
        const int64_t k = std::max<int64_t>(0, std::min(kmax, margin / s));
        return {k * s + 1, max - k * s};
    }

    if (!startChanged) {
        const int64_t endOnGrid = roundDown(clampToAxis(end), s);
        const int64_t highest = roundDown(std::min(max - 1 + start, max), s);
        // The smallest end on the step grid that keeps the width at least m.
        const int64_t lowest = roundDown(std::max<int64_t>(start - 1 + m, 1) - 1 + s, s);
        if (lowest > highest)
            return {start, clampToAxis(endOnGrid < lowest ? lowest : highest)};
        return {start, std::max(lowest, std::min(highest, endOnGrid))};
    }

    const int64_t wanted = roundDown(clampToAxis(start) - 1, s) + 1;
    const int64_t topOnGrid = roundDown(std::min(end - m + 1, max) - 1, s);
    const int64_t highest = topOnGrid + 1;
    const int64_t bottomOnGrid = roundDown(std::max<int64_t>(0, end - max) - 1 + s, s);
    const int64_t lowest = bottomOnGrid + 1;
    if (lowest > highest)
        return {clampToAxis((wanted < lowest ? bottomOnGrid : topOnGrid) + 1), end};
    return {std::max(lowest, std::min(highest, wanted)), end};
}

// ---------------------------------------------------------------------------------------
// Camera configuration

void CameraSettingsTree::onCamConfigChanged()
{
    if (!camera_)
        return;
    qInfo().noquote() << QStringLiteral("Setting new configuration to camera: %1").arg(serial_);
    try {
        vyk::Configuration config = camera_->getConfiguration();
        // An index of -1 (nothing selected) becomes the unset marker and keeps the camera's value.
        config.timestamp_mode = static_cast<uint16_t>(timestamp_->currentIndex());
        const int rate = pixelRate_->currentIndex();
        if (rate >= 0 && rate < static_cast<int>(description_.pixelrate_vec.size()))
            config.pixelrate = description_.pixelrate_vec[rate];
        const int factor = conversionFactor_->currentIndex();
        if (factor >= 0 && factor < static_cast<int>(description_.conversion_factor_vec.size()))
            config.conversion_factor = description_.conversion_factor_vec[factor];
        config.trigger_mode = static_cast<uint16_t>(triggerMode_->currentIndex());
        // A camera without noise filter shows the single entry "N/A", so it is sent mode 0.
        config.noise_filter_mode = static_cast<uint16_t>(noiseFilter_->currentIndex());
        if (description_.has_acquire_mode)
            config.acquire_mode = 0;
        if (description_.has_metadata_mode)
            config.metadata_mode = 1;
        camera_->setConfiguration(config);
        configuration_ = config;
        updateSettingsMap();
        updateMaxFps();
    } catch (const std::exception& error) {
        reportFailure(QStringLiteral("Error setting config to camera: "),
                      QStringLiteral("Error setting configuration to camera!"), error);
    }
}

void CameraSettingsTree::onDelayExposureTimeChanged()
{
    if (!camera_)
        return;
    try {
        EditorBlock block([this](bool b) { setEditorsSignalsBlocked(b); });
        camera_->setExposureTime(exposureTime_->valueInSec());
        camera_->setDelayTime(delayTime_->valueInSec());
        configuration_.exposure_time_s = camera_->getExposureTime();
        configuration_.delay_time_s = camera_->getDelayTime();
        exposureTime_->setValueInSec(configuration_.exposure_time_s);
        delayTime_->setValueInSec(configuration_.delay_time_s);
        updateSettingsMap();
        updateMaxFps();
    } catch (const std::exception& error) {
        reportFailure(QStringLiteral("Error setting exp delay to camera: "),
                      QStringLiteral("Error setting exposure and delaytime to camera!"), error);
    }
}

// ---------------------------------------------------------------------------------------
// Auto exposure

void CameraSettingsTree::onAutoExposureChanged()
{
    if (!camera_)
        return;
    try {
        EditorBlock block([this](bool b) { setEditorsSignalsBlocked(b); });
        camera_->configureAutoExposure(static_cast<vyk::AutoExposureRegion>(aeRegion_->currentIndex()),
                                       aeMinTime_->valueInSec(), aeMaxTime_->valueInSec());
        configuration_.auto_exposure = camera_->getConfiguration().auto_exposure;
        aeMinTime_->setValueInSec(configuration_.auto_exposure.min_exposure_s);
        aeMaxTime_->setValueInSec(configuration_.auto_exposure.max_exposure_s);
    } catch (const std::exception& error) {
        reportFailure(QStringLiteral("Error setting autoexposure to camera: "),
                      QStringLiteral("Error setting autoexposure to camera!"), error);
    }
}

void CameraSettingsTree::switchAutoExposure()
{
    if (!camera_)
        return;
    try {
        if (autoExposure_->currentText() == QLatin1String("On")) {
            exposureTime_->setEnabled(false);
            delayTime_->setEnabled(false);
            camera_->autoExposureOn();
            exposurePoll_->start(200);
        } else {
            enableTimeEditors();
            exposurePoll_->stop();
            camera_->autoExposureOff();
        }
        updateSettingsMap();
    } catch (const std::exception& error) {
        reportFailure(QStringLiteral("Error setting autoexposure to camera: "),
                      QStringLiteral("Error setting autoexposure to camera!"), error);
    }
}

void CameraSettingsTree::pollExposureTime()
{
    if (!camera_)
        return;
    try {
        const double exposure_s = camera_->getExposureTime();
        const QSignalBlocker blocker(exposureTime_);
        exposureTime_->setValueInSec(exposure_s);
    } catch (const std::exception& error) {
        // The timer goes on: a passing failure must not end the read-back.
        qCritical().noquote() << QStringLiteral("Error setting config to camera: ") + QString::number(serial_) +
                                     QStringLiteral(". Error: ") + QString::fromUtf8(error.what());
    }
}

// ---------------------------------------------------------------------------------------
// Record mode and data format

void CameraSettingsTree::applyRecordModeLimits()
{
    // A ring buffer needs room to turn over.
    imageCount_->setMinimum(recordMode_->currentText() == QLatin1String("Ring Buffer") ? 4 : 1);
    imageCount_->setEnabled(!isCamRamMode());
}

void CameraSettingsTree::switchRecordMode()
{
    applyRecordModeLimits();
    if (isCamRamMode() && camera_) {
        try {
            setImageCount(static_cast<int>(camera_->getCamRamMaxImages()));
        } catch (const std::exception& error) {
            reportFailure(QStringLiteral("Error setting record mode to camera: "),
                          QStringLiteral("Error setting record mode to camera!"), error);
        }
    }
    updateSettingsMap();
}

void CameraSettingsTree::switchDataFormat()
{
    updateSettingsMap();
    updateConvertRows();
    fillConvertEditors();
    if (cameraRead_)
        emit newDataFormat(serial_, dataFormat_->currentText());
}

// ---------------------------------------------------------------------------------------
// ROI and binning

void CameraSettingsTree::onRoiChanged()
{
    if (!camera_)
        return;
    qInfo().noquote() << QStringLiteral("Setting new Roi to camera: %1").arg(serial_);
    QObject* changed = sender();
    try {
        vyk::Configuration config = camera_->getConfiguration();
        if (isLineSensor()) {
            // The Bottom editor of a line sensor counts lines per image; only the map keeps it.
            config.roi.x1 = static_cast<uint64_t>(roiRight_->value());
            camera_->setConfiguration(config);
            configuration_ = config;
            updateSettingsMap();
            return;
        }
        const int64_t maxX = static_cast<int64_t>(description_.max_width / std::max<uint16_t>(1, config.binning.horz));
        const int64_t maxY = static_cast<int64_t>(description_.max_height / std::max<uint16_t>(1, config.binning.vert));
        qDebug().noquote() << QStringLiteral("ROI Horizontal:%1, ROI Vertical:%2")
                                  .arg(QVariant(description_.roi_symmetric_horz).toString(),
                                       QVariant(description_.roi_symmetric_vert).toString());
        {
            EditorBlock block([this](bool b) { setEditorsSignalsBlocked(b); });
            if (changed == roiLeft_ || changed == roiRight_) {
                const RoiAxis x = adjustRoiAxis(roiLeft_->value(), roiRight_->value(), maxX,
                                                static_cast<int64_t>(description_.min_width),
                                                static_cast<int64_t>(description_.roi_step_horz),
                                                description_.roi_symmetric_horz, changed == roiLeft_);
                roiLeft_->setValue(static_cast<int>(x.start));
                roiRight_->setValue(static_cast<int>(x.end));
                config.roi.x0 = static_cast<uint64_t>(x.start);
                config.roi.x1 = static_cast<uint64_t>(x.end);
            }
            if (changed == roiTop_ || changed == roiBottom_) {
                const RoiAxis y = adjustRoiAxis(roiTop_->value(), roiBottom_->value(), maxY,
                                                static_cast<int64_t>(description_.min_height),
                                                static_cast<int64_t>(description_.roi_step_vert),
                                                description_.roi_symmetric_vert, changed == roiTop_);
                roiTop_->setValue(static_cast<int>(y.start));
                roiBottom_->setValue(static_cast<int>(y.end));
                config.roi.y0 = static_cast<uint64_t>(y.start);
                config.roi.y1 = static_cast<uint64_t>(y.end);
            }
        }
        camera_->setConfiguration(config);
        configuration_ = config;
        updateSettingsMap();
        updateMaxFps();
    } catch (const std::exception& error) {
        reportFailure(QStringLiteral("Error setting roi to camera: "),
                      QStringLiteral("Error setting roi to camera!"), error);
    }
}

void CameraSettingsTree::onBinningChanged()
{
    if (!camera_)
        return;
    qInfo().noquote() << QStringLiteral("Setting new Roi to camera: %1").arg(serial_);
    try {
        vyk::Configuration config = camera_->getConfiguration();
        {
            EditorBlock block([this](bool b) { setEditorsSignalsBlocked(b); });
            const uint16_t vert = std::max<uint16_t>(1, binningVert_->currentText().toUShort());
            const uint16_t horz = std::max<uint16_t>(1, binningHorz_->currentText().toUShort());
            const int mode = std::max(0, binningMode_->currentIndex());
            const int64_t maxX = static_cast<int64_t>(description_.max_width / horz);
            const int64_t maxY = static_cast<int64_t>(description_.max_height / vert);

            const int64_t x0 = roiLeft_->value() >= maxX ? 1 : roiLeft_->value();
            const int64_t x1 = std::min<int64_t>(roiRight_->value(), maxX);
            const RoiAxis x = adjustRoiAxis(x0, x1, maxX, static_cast<int64_t>(description_.min_width),
                                            static_cast<int64_t>(description_.roi_step_horz),
                                            description_.roi_symmetric_horz, false);
            roiRight_->setMaximum(static_cast<int>(maxX));
            roiLeft_->setValue(static_cast<int>(x.start));
            roiRight_->setValue(static_cast<int>(x.end));
            config.roi.x0 = static_cast<uint64_t>(x.start);
            config.roi.x1 = static_cast<uint64_t>(x.end);

            // The Bottom editor of a line sensor counts lines per image, not sensor rows.
            if (!isLineSensor()) {
                const int64_t y0 = roiTop_->value() >= maxY ? 1 : roiTop_->value();
                const int64_t y1 = std::min<int64_t>(roiBottom_->value(), maxY);
                const RoiAxis y = adjustRoiAxis(y0, y1, maxY, static_cast<int64_t>(description_.min_height),
                                                static_cast<int64_t>(description_.roi_step_vert),
                                                description_.roi_symmetric_vert, false);
                roiBottom_->setMaximum(static_cast<int>(maxY));
                roiTop_->setValue(static_cast<int>(y.start));
                roiBottom_->setValue(static_cast<int>(y.end));
                config.roi.y0 = static_cast<uint64_t>(y.start);
                config.roi.y1 = static_cast<uint64_t>(y.end);
            }
            config.binning.vert = vert;
            config.binning.horz = horz;
            config.binning.mode = static_cast<vyk::BinningMode>(mode);
            camera_->setConfiguration(config);
            configuration_ = config;
        }
        updateSettingsMap();
        updateMaxFps();
    } catch (const std::exception& error) {
        reportFailure(QStringLiteral("Error setting binning to camera: "),
                      QStringLiteral("Error setting binning to camera!"), error);
    }
}

// ---------------------------------------------------------------------------------------
// Conversion

void CameraSettingsTree::copyConvertEditors(vyk::ConvertControlBase& control) const
{
    control.sharpen = sharpen_->isChecked();
    control.adaptive_sharpen = adaptiveSharpen_->isChecked();
    control.flip_vertical = flip_->isChecked();
    control.auto_minmax = autoMinMax_->isChecked();
    control.min_limit = convertMin_->value();
    control.max_limit = convertMax_->value();
    control.gamma = gamma_->value();
    control.contrast = contrast_->value();
}

template <typename ColorControl>
void CameraSettingsTree::copyColorEditors(ColorControl& control) const
{
    copyConvertEditors(control);
    control.color_temperature = temperature_->value();
    control.color_saturation = saturation_->value();
    control.color_vibrance = vibrance_->value();
    control.color_tint = tint_->value();
}

void CameraSettingsTree::onConvertChanged()
{
    // Without a camera (after a failure) the Convert editors stay enabled; edits go nowhere.
    if (!camera_)
        return;
    try {
        const auto expect = [](const vyk::ConvertControl& control, const char* kind) {
            if (QLatin1String(vyk::kindOf(control)) != QLatin1String(kind))
                throw vyk::CameraException(std::string("Unexpected ConvertControl kind ") +
                                               vyk::kindOf(control) + ", expected " + kind,
                                           vyk::CameraException::kLayerError);
        };
        if (dataFormat_->currentText() != QLatin1String("Color")) {
            vyk::ConvertControl control = camera_->getConvertControl(vyk::DataFormat::Mono8);
            expect(control, "mono");
            copyConvertEditors(vyk::commonFields(control));
            monoConvert_ = control;
            camera_->setConvertControl(vyk::DataFormat::Mono8, control);
        } else if (description_.is_colored) {
            if (!colorConvert_)
                return;
            copyColorEditors(std::get<vyk::ConvertControlColor>(*colorConvert_));
            camera_->setConvertControl(vyk::DataFormat::BGR8, *colorConvert_);
            camera_->setConvertControl(vyk::DataFormat::BGR16, *colorConvert_);
        } else {
            vyk::ConvertControl control = camera_->getConvertControl(vyk::DataFormat::BGR8);
            expect(control, "pseudocolor");
            auto& pseudo = std::get<vyk::ConvertControlPseudocolor>(control);
            copyColorEditors(pseudo);
            pseudo.lut_file = std::filesystem::path(lutFile_->lineEdit()->text().toStdString());
            pseudoConvert_ = control;
            camera_->setConvertControl(vyk::DataFormat::BGR8, control);
        }
        emit convertParamsChanged(serial_);
    } catch (const std::exception& error) {
        reportFailure(QStringLiteral("Error setting ConvertControl to camera: "),
                      QStringLiteral("Setting Convert parameters failed.\nValues not set."), error);
    }
}

// ---------------------------------------------------------------------------------------
// Reset to Default

void CameraSettingsTree::onSetDefaultValues()
{
    if (!camera_)
        return;
    qInfo().noquote() << QStringLiteral("Setting default settings to camera: %1").arg(serial_);
    try {
        EditorBlock block([this](bool b) { setEditorsSignalsBlocked(b); });
        camera_->defaultConfiguration();
        readCamera();
        const vyk::Configuration& c = configuration_;
        exposureTime_->setValueInSec(c.exposure_time_s);
        delayTime_->setValueInSec(c.delay_time_s);
        pixelRate_->setCurrentIndex(0);
        conversionFactor_->setCurrentIndex(0);
        // The selector goes back to "Off" without its switch running: end the read-back and
        // make the time editors usable again, as switching to "Off" would.
        autoExposure_->setCurrentIndex(0);
        exposurePoll_->stop();
        camera_->autoExposureOff();
        enableTimeEditors();
        aeMinTime_->setValueInSec(c.auto_exposure.min_exposure_s);
        aeMaxTime_->setValueInSec(c.auto_exposure.max_exposure_s);
        aeRegion_->setCurrentIndex(static_cast<int>(c.auto_exposure.region));
        timestamp_->setCurrentIndex(c.timestamp_mode);
        triggerMode_->setCurrentIndex(c.trigger_mode);
        noiseFilter_->setCurrentIndex(c.noise_filter_mode >= 65535 ? 0 : c.noise_filter_mode);
        binningVert_->setCurrentIndex(binningVert_->findText(QString::number(c.binning.vert)));
        binningHorz_->setCurrentIndex(binningHorz_->findText(QString::number(c.binning.horz)));
        binningMode_->setCurrentIndex(static_cast<int>(c.binning.mode));
        roiRight_->setMaximum(static_cast<int>(description_.max_width / std::max<uint16_t>(1, c.binning.horz)));
        roiLeft_->setValue(static_cast<int>(c.roi.x0));
        roiRight_->setValue(static_cast<int>(c.roi.x1));
        if (!isLineSensor()) {
            roiBottom_->setMaximum(static_cast<int>(description_.max_height / std::max<uint16_t>(1, c.binning.vert)));
            roiTop_->setValue(static_cast<int>(c.roi.y0));
            roiBottom_->setValue(static_cast<int>(c.roi.y1));
        }
        recordMode_->setCurrentIndex(0);
        applyRecordModeLimits();
        imageCount_->setValue(10);
        updateConvertRows();
        fillConvertEditors();
        updateSettingsMap();
        updateMaxFps();
    } catch (const std::exception& error) {
        reportFailure(QStringLiteral("Error setting default settings to camera: "),
                      QStringLiteral("Error setting default settings to camera!"), error);
    }
}

// ---------------------------------------------------------------------------------------
// RAM allocation

CameraSettingsTree::CamRamDialog CameraSettingsTree::ramWindowDialog()
{
    return [](QWidget* parent, std::shared_ptr<vyk::AnyCamera> camera, const std::vector<uint32_t>& percentages,
              int active) {
        // The dialog only observes the camera: a failure that removes it while the dialog
        // is open must be able to close it.
        const std::weak_ptr<vyk::AnyCamera> observed = camera;
        camera.reset();
        const RamWindow::Edit edit = RamWindow::editAllocation(parent, observed, percentages, active);
        return CamRamEdit{edit.percentages, edit.activeIndex, edit.accepted};
    };
}

CameraSettingsTree::DxrDialog CameraSettingsTree::ramWindowDxrDialog()
{
    return [](QWidget* parent, std::shared_ptr<vyk::AnyCamera> camera, const std::vector<vyk::RamAllocation>& segments,
              const vyk::RamAllocation& active) {
        const std::weak_ptr<vyk::AnyCamera> observed = camera; // as above
        camera.reset();
        const RamWindowDxr::Edit edit = RamWindowDxr::editAllocation(parent, observed, segments, active.alloc_id);
        return DxrEdit{edit.entries, edit.activeSegment, edit.accepted};
    };
}

std::optional<CameraSettingsTree::CamRamEdit>
CameraSettingsTree::runCamRamDialog(const std::vector<uint32_t>& percentages, int active)
{
    if (!camRamDialog_) {
        qWarning() << "No camera RAM allocation dialog is installed";
        return std::nullopt;
    }
    return camRamDialog_(this, camera_, percentages, active);
}

std::optional<CameraSettingsTree::DxrEdit>
CameraSettingsTree::runDxrDialog(const std::vector<vyk::RamAllocation>& segments,
                                 const vyk::RamAllocation& active)
{
    if (!dxrDialog_) {
        qWarning() << "No DXR storage allocation dialog is installed";
        return std::nullopt;
    }
    return dxrDialog_(this, camera_, segments, active);
}

vyk::RamAllocation CameraSettingsTree::activeDxrSegment()
{
    constexpr uint32_t kNoSegment = 0xa0163006; // the camera owns no storage segment
    try {
        return camera_->getDxrSegment();
    } catch (const vyk::CameraException& error) {
        // A camera without storage has to reach the dialog to get some.
        if (error.code() != kNoSegment)
            throw;
        return vyk::RamAllocation{};
    }
}

bool CameraSettingsTree::stillHeld(const std::weak_ptr<vyk::AnyCamera>& edited) const
{
    // The modal dialog runs a nested event loop, in which a camera failure can make the
    // tree drop its camera: then the answer belongs to no camera any more.
    if (camera_ && camera_ == edited.lock())
        return true;
    qWarning() << "The camera went away while its RAM dialog was open; nothing was written";
    return false;
}

void CameraSettingsTree::onRamButtonClicked()
{
    if (!camera_)
        return;
    if (!description_.has_ram && !isDxr()) {
        QMessageBox::information(this, QStringLiteral("Camera RAM"),
                                 QStringLiteral("This camera has no RAM segments."));
        return;
    }
    if (isDxr()) {
        if (!camera_->isRemote()) {
            QMessageBox::information(this, QStringLiteral("No vyk.dxr"),
                                     QStringLiteral("Camera is not from vyk.dxr, no dxr allocation possible."));
            return;
        }
        editDxrStorage();
        return;
    }
    editCamRam();
}

void CameraSettingsTree::editDxrStorage()
{
    try {
        const vyk::RamAllocation active = activeDxrSegment();
        const std::vector<vyk::RamAllocation> segments = camera_->getDxrAllocation();
        const std::weak_ptr<vyk::AnyCamera> edited = camera_;
        const std::optional<DxrEdit> edit = runDxrDialog(segments, active);
        if (!edit || !edit->accepted || !stillHeld(edited))
            return;
        camera_->setDxrAllocation(edit->segments);
        if (edit->activateSegment != 0) {
            camera_->switchToCamRam(edit->activateSegment);
            setImageCount(static_cast<int>(camera_->getCamRamMaxImages()));
        }
        emit camRamSegmentChanged(serial_, dataFormat_->currentText());
        updateSettingsMap();
    } catch (const std::exception& error) {
        reportFailure(QStringLiteral("Error setting DXR RAM Configuration for camera: "),
                      QStringLiteral("Error setting DXR RAM configuration!\nReconnect and press rescan"), error);
    }
}

void CameraSettingsTree::editCamRam()
{
    try {
        ramPercentages_ = camera_->getCamRamAllocation();
        const std::weak_ptr<vyk::AnyCamera> edited = camera_;
        const std::optional<CamRamEdit> edit = runCamRamDialog(ramPercentages_, ramActiveIndex_);
        if (!edit || !edit->accepted || !stillHeld(edited))
            return;
        if (edit->percentages != ramPercentages_) {
            // Kept only once the camera took it, so that the map never shows a refused division.
            camera_->setCamRamAllocation(edit->percentages);
            ramPercentages_ = edit->percentages;
        }
        ramActiveIndex_ = edit->activeIndex;
        camera_->switchToCamRam(static_cast<uint16_t>(ramActiveIndex_ + 1));
        if (isCamRamMode()) {
            setImageCount(static_cast<int>(camera_->getCamRamMaxImages()));
            emit camRamSegmentChanged(serial_, dataFormat_->currentText());
        }
        updateSettingsMap();
    } catch (const std::exception& error) {
        reportFailure(QStringLiteral("Error setting RAM Configuration to camera: "),
                      QStringLiteral("Error setting RAM Configuration to camera!"), error);
    }
}
