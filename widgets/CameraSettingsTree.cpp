#include "CameraSettingsTree.h"

#include "widgets/FilePathWidget.h"
#include "widgets/UnitTreeDoubleSpinbox.h"
#include "widgets/VYKTreeComboBox.h"
#include "widgets/VYKTreeDoubleSpinBox.h"
#include "widgets/VYKTreePushButton.h"
#include "widgets/VYKTreeSpinBox.h"

#include "camera/CameraException.h"

#include <QCheckBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QSignalBlocker>
#include <QTimer>
#include <QtDebug>

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace {

// Colours the Camera Info labels: %1 colour name, %2 text.
const QString kLabelTemplate = QStringLiteral("<font color='%1'>%2</font>");
constexpr int kRowHeight = 25;          // section rows and editors, pixels
constexpr int kExposurePollMs = 200;    // auto-exposure read-back interval
constexpr int kMaxImageCount = 20000;   // Image Count editor maximum
constexpr int kMaxLinesPerImage = 100000; // Bottom maximum of a line sensor
constexpr uint16_t kNoNoiseFilter = 65535; // configured noise-filter mode of a camera without one

const QString kColor = QStringLiteral("Color");
const QString kRecordModeKey = QStringLiteral("Record Mode");
const QString kImageCountKey = QStringLiteral("Image Count");
const QString kAutoExposureKey = QStringLiteral("Autoexposure state");
const QString kDataFormatKey = QStringLiteral("Dataformat");
const QString kLinesPerImageKey = QStringLiteral("Lines per Image");

// A camera seen for the first time: no data format of its own, so that the selector keeps
// its current choice.
QVariantMap freshSettingsMap()
{
    QVariantMap map;
    map.insert(kRecordModeKey, QStringLiteral("Sequence"));
    map.insert(kAutoExposureKey, QStringLiteral("Off"));
    map.insert(kImageCountKey, 10);
    return map;
}

// The whole-MHz text of a pixel rate in Hz.
QString megahertz(double rate_hz)
{
    return QString::number(std::llround(rate_hz / 1e6));
}

const char* expectedKind(vyk::DataFormat format, bool colored)
{
    if (format == vyk::DataFormat::Mono8)
        return "mono";
    return colored ? "color" : "pseudocolor";
}

} // namespace

CameraSettingsTree::CameraSettingsTree(QWidget* parent, std::shared_ptr<vyk::AnyCamera> camera)
    : QTreeWidget(parent)
    , exposurePoll_(new QTimer(this))
    , camRamDialog_(ramWindowDialog())
    , dxrDialog_(ramWindowDxrDialog())
{
    // The serial travels as DWORD, also through queued connections from camera threads.
    qRegisterMetaType<DWORD>("DWORD");
    setIndentation(24);
    setColumnCount(2);
    setAlternatingRowColors(true);
    setHeaderLabels({QStringLiteral("Property"), QStringLiteral("Value")});
    header()->setStretchLastSection(true);
    header()->resizeSection(0, 150);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setAllColumnsShowFocus(false);

    exposurePoll_->setInterval(kExposurePollMs);
    connect(exposurePoll_, &QTimer::timeout, this, &CameraSettingsTree::pollExposureTime);

    buildRows();
    connectEditors();

    camera_ = std::move(camera);
    if (camera_) {
        try {
            readCamera();
            selectSettingsMap(serial_);
            adaptToCamera();
        } catch (const std::exception& error) {
            reportFailure(QStringLiteral("Error reading settings of camera: "),
                          QStringLiteral("Error reading camera settings!"), error);
            camera_.reset();
        }
    }
    if (!camera_)
        disableCameraEditors();
    expandAll();
}

CameraSettingsTree::~CameraSettingsTree()
{
    exposurePoll_->stop();
}

// ---------------------------------------------------------------------------------------
// Rows

QTreeWidgetItem* CameraSettingsTree::newRow(QTreeWidgetItem* parent, const QString& label)
{
    auto* item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(this);
    item->setText(0, label);
    return item;
}

QTreeWidgetItem* CameraSettingsTree::addSection(QTreeWidgetItem* parent, const QString& label)
{
    QTreeWidgetItem* item = newRow(parent, label);
    if (!parent)
        item->setSizeHint(0, QSize(0, kRowHeight));
    return item;
}

template <typename Editor>
Editor* CameraSettingsTree::addRow(QTreeWidgetItem* item, const QString& label, const QString& toolTip,
                                   Editor* editor)
{
    editor->setObjectName(label);
    editor->setMinimumHeight(kRowHeight);
    editor->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    if (!toolTip.isEmpty())
        editor->setToolTip(toolTip);
    setItemWidget(item, 1, editor);
    return editor;
}

QLabel* CameraSettingsTree::addLabelRow(QTreeWidgetItem* parent, const QString& label)
{
    QTreeWidgetItem* item = newRow(parent, label);
    return addRow(item, label, QString(), new QLabel());
}

UnitTreeDoubleSpinbox* CameraSettingsTree::addTimeRow(QTreeWidgetItem* parent, const QString& label,
                                                      const QString& toolTip)
{
    QTreeWidgetItem* item = newRow(parent, label);
    auto* editor = addRow(item, label, toolTip, new UnitTreeDoubleSpinbox(item, this));
    editors_.append(editor);
    return editor;
}

VYKTreeComboBox* CameraSettingsTree::addComboRow(QTreeWidgetItem* parent, const QString& label,
                                                 const QString& toolTip)
{
    QTreeWidgetItem* item = newRow(parent, label);
    auto* editor = addRow(item, label, toolTip, new VYKTreeComboBox(item, this));
    editors_.append(editor);
    return editor;
}

VYKTreeSpinBox* CameraSettingsTree::addSpinRow(QTreeWidgetItem* parent, const QString& label,
                                               const QString& toolTip, int minimum, int maximum,
                                               int step, int value)
{
    QTreeWidgetItem* item = newRow(parent, label);
    auto* editor = addRow(item, label, toolTip, new VYKTreeSpinBox(minimum, maximum, item, this));
    editor->setSingleStep(step);
    editor->setValue(value);
    editors_.append(editor);
    return editor;
}

VYKTreePushButton* CameraSettingsTree::addButtonRow(const QString& text, const QString& toolTip)
{
    QTreeWidgetItem* item = newRow(nullptr, QString());
    item->setFirstColumnSpanned(true);
    auto* button = new VYKTreePushButton(text, item, this);
    button->setMinimumHeight(kRowHeight);
    button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    button->setToolTip(toolTip);
    setItemWidget(item, 0, button);
    editors_.append(button);
    return button;
}

void CameraSettingsTree::buildRows()
{
    QTreeWidgetItem* info = addSection(nullptr, QStringLiteral("Camera Info"));
    nameLabel_ = addLabelRow(info, QStringLiteral("Name"));
    serialLabel_ = addLabelRow(info, QStringLiteral("Serial Number"));
    maxFpsLabel_ = addLabelRow(info, QStringLiteral("Max-FPS [Hz]"));

    QTreeWidgetItem* timing = addSection(nullptr, QStringLiteral("Timing"));
    exposureTime_ = addTimeRow(timing, QStringLiteral("Exposure Time"), QStringLiteral("Set exposure time"));
    delayTime_ = addTimeRow(timing, QStringLiteral("Delay Time"), QStringLiteral("Set delay time"));
    pixelRate_ = addComboRow(timing, QStringLiteral("Pixel Rate [MHz]"),
                             QStringLiteral("Change camera pixel rate"));
    conversionFactor_ = addComboRow(timing, QStringLiteral("Conversion Factor"),
                                    QStringLiteral("Change camera conversion factor"));
    QTreeWidgetItem* autoSection = addSection(timing, QStringLiteral("Autoexposure"));
    autoExposure_ = addComboRow(autoSection, QStringLiteral("Autoexposure"),
                                QStringLiteral("Enable/Disable autoexposure feature"));
    autoExposure_->addItems({QStringLiteral("Off"), QStringLiteral("On")});
    aeMinTime_ = addTimeRow(autoSection, QStringLiteral("Min Time"),
                            QStringLiteral("Set minimal exposure time for autoexposure"));
    aeMaxTime_ = addTimeRow(autoSection, QStringLiteral("Max Time"),
                            QStringLiteral("Set maximal exposure time for autoexposure"));
    aeRegion_ = addComboRow(autoSection, QStringLiteral("Region"),
                            QStringLiteral("Select calculation region for autoexposure"));
    // Indices are the auto-exposure region values 0 to 3.
    aeRegion_->addItems({QStringLiteral("Balanced"), QStringLiteral("Center-based"),
                         QStringLiteral("Corner-based"), QStringLiteral("Full")});

    QTreeWidgetItem* image = addSection(nullptr, QStringLiteral("Image"));
    QTreeWidgetItem* roi = addSection(image, QStringLiteral("ROI"));
    roiLeft_ = addSpinRow(roi, QStringLiteral("Left"), QStringLiteral("Set x start ROI"), 0, 0, 1, 0);
    roiRight_ = addSpinRow(roi, QStringLiteral("Right"), QStringLiteral("Set x end ROI"), 0, 0, 1, 0);
    roiTop_ = addSpinRow(roi, QStringLiteral("Top"), QStringLiteral("Set y start ROI"), 0, 0, 1, 0);
    roiBottom_ = addSpinRow(roi, QStringLiteral("Bottom"), QStringLiteral("Set y end ROI"), 0, 0, 1, 0);
    QTreeWidgetItem* binning = addSection(image, QStringLiteral("Binning"));
    binningHorz_ = addComboRow(binning, QStringLiteral("Horizontal"), QStringLiteral("Set horizontal binning"));
    binningVert_ = addComboRow(binning, QStringLiteral("Vertical"), QStringLiteral("Set vertical binning"));
    binningMode_ = addComboRow(binning, QStringLiteral("Mode"), QStringLiteral("Set binning mode"));
    timestamp_ = addComboRow(image, QStringLiteral("Timestamp"), QStringLiteral("Change timestamp mode"));
    noiseFilter_ = addComboRow(image, QStringLiteral("Noisefilter"), QStringLiteral("Enable/Disable noisefilter"));

    QTreeWidgetItem* recording = addSection(nullptr, QStringLiteral("Recording"));
    triggerMode_ = addComboRow(recording, QStringLiteral("Trigger Mode"), QStringLiteral("Change trigger mode"));
    recordMode_ = addComboRow(recording, QStringLiteral("Record Mode"), QStringLiteral("Change record mode"));
    dataFormat_ = addComboRow(recording, QStringLiteral("Data Format"),
                              QStringLiteral("Switch between monochrome and color view"));
    dataFormat_->addItems({QStringLiteral("Mono"), QStringLiteral("Color")});
    imageCount_ = addSpinRow(recording, QStringLiteral("Image Count"),
                             QStringLiteral("Change image count for record (ignored for preview)"), 1,
                             kMaxImageCount, 1, 10);

    buildConvertRows(addSection(nullptr, QStringLiteral("Convert")));

    ramButton_ = addButtonRow(QStringLiteral("CamRam Allocation"), QStringLiteral("Configure Camera Ram segments"));
    ramButton_->setObjectName(QStringLiteral("RamButton"));
    resetButton_ = addButtonRow(QStringLiteral("Reset to Default"), QStringLiteral("Reset all settings to default"));
    resetButton_->setObjectName(QStringLiteral("ResetButton"));
}

void CameraSettingsTree::buildConvertRows(QTreeWidgetItem* section)
{
    const auto checkRow = [&](const QString& label) {
        QTreeWidgetItem* item = newRow(section, label);
        auto* box = addRow(item, label, QString(), new QCheckBox());
        box->setChecked(true);
        convertRows_.insert(label, item);
        convertEditors_.insert(label, box);
        editors_.append(box);
        return box;
    };
    const auto spinRow = [&](const QString& label, int minimum, int maximum, int step, int value) {
        VYKTreeSpinBox* box = addSpinRow(section, label, QString(), minimum, maximum, step, value);
        convertRows_.insert(label, box->row().item());
        convertEditors_.insert(label, box);
        return box;
    };

    sharpen_ = checkRow(QStringLiteral("Sharpen"));
    adaptiveSharpen_ = checkRow(QStringLiteral("Adaptive sharpen"));
    flip_ = checkRow(QStringLiteral("Flip"));
    autoMinMax_ = checkRow(QStringLiteral("Auto min max"));
    convertMin_ = spinRow(QStringLiteral("Convert min"), 0, 20000, 1, 0);
    convertMax_ = spinRow(QStringLiteral("Convert max"), 0, 65535, 1, 20000);

    QTreeWidgetItem* gammaItem = newRow(section, QStringLiteral("Gamma"));
    gamma_ = addRow(gammaItem, QStringLiteral("Gamma"), QString(),
                    new VYKTreeDoubleSpinBox(0.01, 10.0, gammaItem, this));
    gamma_->setSingleStep(0.01);
    gamma_->setDecimals(3);
    gamma_->setValue(1.0);
    editors_.append(gamma_);
    convertRows_.insert(QStringLiteral("Gamma"), gammaItem);
    convertEditors_.insert(QStringLiteral("Gamma"), gamma_);

    contrast_ = spinRow(QStringLiteral("Contrast"), -100, 100, 1, 0);
    temperature_ = spinRow(QStringLiteral("Temperature"), 1000, 20000, 100, 6500);
    saturation_ = spinRow(QStringLiteral("Saturation"), -100, 100, 1, 0);
    vibrance_ = spinRow(QStringLiteral("Vibrance"), -100, 100, 1, 0);
    tint_ = spinRow(QStringLiteral("Tint"), -100, 100, 1, 0);

    const QString lutKey = QStringLiteral("LUT file");
    QTreeWidgetItem* lutItem = newRow(section, QStringLiteral("LUT"));
    lutFile_ = addRow(lutItem, lutKey, QString(), new FilePathWidget());
    editors_.append(lutFile_);
    convertRows_.insert(lutKey, lutItem);
    convertEditors_.insert(lutKey, lutFile_);
}

void CameraSettingsTree::connectEditors()
{
    const auto comboChanged = QOverload<int>::of(&QComboBox::currentIndexChanged);
    connect(exposureTime_, &UnitTreeDoubleSpinbox::valueChangedInSec, this,
            &CameraSettingsTree::onDelayExposureTimeChanged);
    connect(delayTime_, &UnitTreeDoubleSpinbox::valueChangedInSec, this,
            &CameraSettingsTree::onDelayExposureTimeChanged);
    for (VYKTreeComboBox* box : {pixelRate_, conversionFactor_, timestamp_, noiseFilter_, triggerMode_})
        connect(box, comboChanged, this, &CameraSettingsTree::onCamConfigChanged);
    connect(autoExposure_, comboChanged, this, &CameraSettingsTree::switchAutoExposure);
    connect(aeMinTime_, &UnitTreeDoubleSpinbox::valueChangedInSec, this,
            &CameraSettingsTree::onAutoExposureChanged);
    connect(aeMaxTime_, &UnitTreeDoubleSpinbox::valueChangedInSec, this,
            &CameraSettingsTree::onAutoExposureChanged);
    connect(aeRegion_, comboChanged, this, &CameraSettingsTree::onAutoExposureChanged);
    for (VYKTreeSpinBox* box : {roiLeft_, roiRight_, roiTop_, roiBottom_})
        connect(box, &QAbstractSpinBox::editingFinished, this, &CameraSettingsTree::onRoiChanged);
    for (VYKTreeComboBox* box : {binningHorz_, binningVert_, binningMode_})
        connect(box, comboChanged, this, &CameraSettingsTree::onBinningChanged);
    connect(recordMode_, comboChanged, this, &CameraSettingsTree::switchRecordMode);
    connect(dataFormat_, &QComboBox::currentTextChanged, this, &CameraSettingsTree::switchDataFormat);
    connect(imageCount_, &QAbstractSpinBox::editingFinished, this, &CameraSettingsTree::updateSettingsMap);

    for (QCheckBox* box : {sharpen_, adaptiveSharpen_, flip_, autoMinMax_})
        connect(box, &QCheckBox::toggled, this, &CameraSettingsTree::onConvertChanged);
    for (VYKTreeSpinBox* box : {convertMin_, convertMax_, contrast_, temperature_, saturation_, vibrance_, tint_})
        connect(box, &QAbstractSpinBox::editingFinished, this, &CameraSettingsTree::onConvertChanged);
    connect(gamma_, &QAbstractSpinBox::editingFinished, this, &CameraSettingsTree::onConvertChanged);
    connect(lutFile_, &FilePathWidget::pathChanged, this, &CameraSettingsTree::onConvertChanged);

    connect(ramButton_, &QPushButton::clicked, this, &CameraSettingsTree::onRamButtonClicked);
    connect(resetButton_, &QPushButton::clicked, this, &CameraSettingsTree::onSetDefaultValues);
}

// ---------------------------------------------------------------------------------------
// Reading and showing a camera

void CameraSettingsTree::readCamera()
{
    vyk::Description description = camera_->getDescription();
    vyk::Configuration configuration = camera_->getConfiguration();

    // Each conversion record must be of the kind its format stands for; anything else is a
    // camera fault and reported like one.
    const auto readConvert = [this, &description](vyk::DataFormat format) {
        vyk::ConvertControl control = camera_->getConvertControl(format);
        const char* expected = expectedKind(format, description.is_colored);
        if (QLatin1String(vyk::kindOf(control)) != QLatin1String(expected)) {
            throw vyk::CameraException(std::string("Unexpected ConvertControl kind ") + vyk::kindOf(control) +
                                           ", expected " + expected,
                                       vyk::CameraException::kLayerError);
        }
        return control;
    };
    vyk::ConvertControl mono = readConvert(vyk::DataFormat::Mono8);
    vyk::ConvertControl bgr = readConvert(vyk::DataFormat::BGR8);

    std::vector<uint32_t> percentages;
    int activeIndex = -1;
    if (description.has_ram) {
        percentages = camera_->getCamRamAllocation();
        activeIndex = static_cast<int>(camera_->getCamRamSegment()) - 1;
    }

    // Commit only a complete reading.
    description_ = std::move(description);
    configuration_ = std::move(configuration);
    serial_ = description_.serial;
    cameraRead_ = true;
    monoConvert_ = std::move(mono);
    if (description_.is_colored) {
        colorConvert_ = std::move(bgr);
        pseudoConvert_.reset();
    } else {
        pseudoConvert_ = std::move(bgr);
        colorConvert_.reset();
    }
    ramPercentages_ = std::move(percentages);
    ramActiveIndex_ = activeIndex;
}

void CameraSettingsTree::selectSettingsMap(DWORD serial)
{
    settingsMap_ = settingsMaps_.value(serial, freshSettingsMap());
    settingsMap_.insert(QStringLiteral("Serial"), QVariant::fromValue<quint32>(serial));
}

void CameraSettingsTree::adaptToCamera()
{
    qDebug().noquote() << QStringLiteral("Adapting camera settings to camera: %1").arg(serial_);
    setEditorsSignalsBlocked(true);
    updateMaxFps();
    const vyk::Description& d = description_;
    const vyk::Configuration& c = configuration_;

    exposureTime_->setRangeInSec(d.min_exposure_time_s, d.max_exposure_time_s - d.min_exposure_step_s);
    exposureTime_->setStepInSec(d.min_exposure_step_s);
    exposureTime_->setValueInSec(c.exposure_time_s);
    delayTime_->setUnit(UnitTreeDoubleSpinbox::Nanoseconds);
    delayTime_->setRangeInSec(d.min_delay_time_s, d.max_delay_time_s);
    delayTime_->setStepInSec(d.min_delay_step_s);
    delayTime_->setValueInSec(c.delay_time_s);

    pixelRate_->clear();
    for (uint32_t rate : d.pixelrate_vec)
        pixelRate_->addItem(megahertz(rate));
    const int rateIndex = pixelRate_->findText(megahertz(c.pixelrate));
    if (rateIndex >= 0)
        pixelRate_->setCurrentIndex(rateIndex);
    conversionFactor_->clear();
    for (double factor : d.conversion_factor_vec)
        conversionFactor_->addItem(QString::number(factor, 'g', 2));
    const int factorIndex = conversionFactor_->findText(QString::number(c.conversion_factor, 'g', 6));
    if (factorIndex >= 0)
        conversionFactor_->setCurrentIndex(factorIndex);

    autoExposure_->setCurrentText(settingsMap_.value(kAutoExposureKey).toString());
    const bool autoOn = autoExposure_->currentText() == QLatin1String("On");
    if (autoOn) {
        exposureTime_->setEnabled(false);
        delayTime_->setEnabled(false);
    } else {
        enableTimeEditors();
    }
    // The read-back timer follows the shown state, so that a camera switched to with auto
    // exposure on is polled again and one with it off is not polled for another camera's state.
    if (autoOn)
        exposurePoll_->start();
    else
        exposurePoll_->stop();
    for (UnitTreeDoubleSpinbox* box : {aeMinTime_, aeMaxTime_}) {
        box->setRangeInSec(d.min_exposure_time_s, d.max_exposure_time_s);
        box->setStepInSec(d.min_exposure_step_s);
    }
    aeMinTime_->setValueInSec(c.auto_exposure.min_exposure_s);
    aeMaxTime_->setValueInSec(c.auto_exposure.max_exposure_s);
    aeRegion_->setCurrentIndex(static_cast<int>(c.auto_exposure.region));

    const auto toInt = [](uint64_t v) { return static_cast<int>(std::min<uint64_t>(v, INT32_MAX)); };
    roiLeft_->setRange(1, toInt(d.max_width - d.min_width));
    roiRight_->setRange(toInt(d.min_width), toInt(d.max_width));
    roiLeft_->setSingleStep(toInt(d.roi_step_horz));
    roiRight_->setSingleStep(toInt(d.roi_step_horz));
    roiLeft_->setValue(toInt(c.roi.x0));
    roiRight_->setValue(toInt(c.roi.x1));
    if (!isLineSensor()) {
        roiTop_->setRange(1, toInt(d.max_height - d.min_height));
        roiBottom_->setRange(toInt(d.min_height), toInt(d.max_height));
        roiTop_->setSingleStep(toInt(d.roi_step_vert));
        roiBottom_->setSingleStep(toInt(d.roi_step_vert));
        roiTop_->setValue(toInt(c.roi.y0));
        roiBottom_->setValue(toInt(c.roi.y1));
        roiTop_->setEnabled(d.roi_step_vert != 0);
        roiBottom_->setEnabled(d.roi_step_vert != 0);
    } else {
        roiTop_->setRange(1, 1);
        roiTop_->setEnabled(false);
        roiBottom_->setRange(toInt(d.min_height), kMaxLinesPerImage);
        roiBottom_->setSingleStep(1);
        roiBottom_->setValue(settingsMap_.value(kLinesPerImageKey, 0).toInt());
        roiBottom_->setEnabled(true);
    }
    roiLeft_->setEnabled(d.roi_step_horz != 0);
    roiRight_->setEnabled(d.roi_step_horz != 0);

    binningVert_->clear();
    for (uint16_t factor : d.binning_vert_vec)
        binningVert_->addItem(QString::number(factor), factor);
    binningHorz_->clear();
    for (uint16_t factor : d.binning_horz_vec)
        binningHorz_->addItem(QString::number(factor), factor);
    binningMode_->clear();
    binningMode_->addItem(QStringLiteral("Sum"));
    if (d.has_average_binning)
        binningMode_->addItem(QStringLiteral("Average"));
    binningVert_->setCurrentIndex(binningVert_->findText(QString::number(c.binning.vert)));
    binningHorz_->setCurrentIndex(binningHorz_->findText(QString::number(c.binning.horz)));
    binningMode_->setCurrentIndex(static_cast<int>(c.binning.mode));

    timestamp_->clear();
    timestamp_->addItem(QStringLiteral("Off"));
    if (d.has_timestamp_mode)
        timestamp_->addItems({QStringLiteral("Binary"), QStringLiteral("Binary & ASCII")});
    if (d.has_timestamp_mode_ascii_only)
        timestamp_->addItem(QStringLiteral("ASCII"));
    timestamp_->setCurrentIndex(c.timestamp_mode);
    noiseFilter_->clear();
    noiseFilterSupported_ = c.noise_filter_mode < kNoNoiseFilter;
    if (!noiseFilterSupported_) {
        noiseFilter_->addItem(QStringLiteral("N/A"));
        noiseFilter_->setCurrentIndex(0);
        noiseFilter_->setEnabled(false);
    } else {
        noiseFilter_->addItems({QStringLiteral("Off"), QStringLiteral("On")});
        noiseFilter_->setCurrentIndex(c.noise_filter_mode);
        noiseFilter_->setEnabled(true);
    }

    triggerMode_->clear();
    triggerMode_->addItems({QStringLiteral("Auto Sequence"), QStringLiteral("Soft Trigger"),
                            QStringLiteral("Ext. Start"), QStringLiteral("Ext. Exp. Ctrl")});
    triggerMode_->setCurrentIndex(c.trigger_mode);

    recordMode_->clear();
    recordMode_->addItems({QStringLiteral("Sequence"), QStringLiteral("Ring Buffer")});
    if (!isDxr())
        recordMode_->addItem(QStringLiteral("File"));
    if (d.has_ram) {
        recordMode_->addItems({QStringLiteral("Sequence CamRam"), QStringLiteral("Ring Buffer CamRam")});
        ramButton_->setEnabled(true);
        ramButton_->setText(QStringLiteral("CamRam Allocation"));
        ramButton_->setToolTip(QStringLiteral("Configure Camera Ram segments"));
    } else {
        ramButton_->setEnabled(isDxr());
    }
    if (isDxr()) {
        ramButton_->setText(QStringLiteral("Storage Allocation"));
        ramButton_->setToolTip(QStringLiteral("Configure segment sizes and active segment"));
    }
    recordMode_->setCurrentText(settingsMap_.value(kRecordModeKey).toString());

    if (settingsMap_.contains(kDataFormatKey))
        dataFormat_->setCurrentText(settingsMap_.value(kDataFormatKey).toString());
    imageCount_->setRange(1, kMaxImageCount);
    imageCount_->setValue(settingsMap_.value(kImageCountKey, 10).toInt());

    updateConvertRows();
    fillConvertEditors();
    setEditorsSignalsBlocked(false);
    updateSettingsMap();
}

void CameraSettingsTree::updateConvertRows()
{
    const bool color = dataFormat_->currentText() == QLatin1String("Color");
    const bool pseudocolor = color && !description_.is_colored;
    const auto show = [this](const QString& label, bool shown) {
        convertRows_.value(label)->setHidden(!shown);
        convertEditors_.value(label)->setEnabled(shown);
    };
    for (const char* label : {"Sharpen", "Adaptive sharpen", "Flip", "Auto min max", "Convert min",
                              "Convert max", "Gamma", "Contrast"})
        show(QLatin1String(label), true);
    for (const char* label : {"Temperature", "Saturation", "Vibrance", "Tint"})
        show(QLatin1String(label), color);
    show(QStringLiteral("LUT file"), pseudocolor);
}

void CameraSettingsTree::fillConvertEditors()
{
    const bool color = dataFormat_->currentText() == QLatin1String("Color");
    const std::optional<vyk::ConvertControl>& source =
        !color ? monoConvert_ : (description_.is_colored ? colorConvert_ : pseudoConvert_);
    if (!source)
        return;
    setEditorsSignalsBlocked(true);
    const vyk::ConvertControlBase& common = vyk::commonFields(*source);
    sharpen_->setChecked(common.sharpen);
    adaptiveSharpen_->setChecked(common.adaptive_sharpen);
    flip_->setChecked(common.flip_vertical);
    autoMinMax_->setChecked(common.auto_minmax);
    convertMin_->setValue(common.min_limit);
    convertMax_->setValue(common.max_limit);
    gamma_->setValue(common.gamma);
    contrast_->setValue(common.contrast);
    const auto showColor = [this](const auto& control) {
        temperature_->setValue(control.color_temperature);
        saturation_->setValue(control.color_saturation);
        vibrance_->setValue(control.color_vibrance);
        tint_->setValue(control.color_tint);
    };
    if (const auto* colorControl = std::get_if<vyk::ConvertControlColor>(&*source))
        showColor(*colorControl);
    if (const auto* pseudo = std::get_if<vyk::ConvertControlPseudocolor>(&*source)) {
        showColor(*pseudo);
        lutFile_->lineEdit()->setText(QString::fromStdString(pseudo->lut_file.string()));
    }
    setEditorsSignalsBlocked(false);
}

void CameraSettingsTree::updateMaxFps()
{
    if (!camera_)
        return;
    QString fps = QStringLiteral("N/A");
    if (!camera_->isRemote()) {
        try {
            const double frameTime_s = camera_->getFrameTime();
            if (frameTime_s > 0)
                fps = QString::number(1.0 / frameTime_s);
        } catch (const std::exception& error) {
            qWarning().noquote() << QStringLiteral("Reading frame time of camera %1 failed: %2")
                                        .arg(serial_)
                                        .arg(QString::fromUtf8(error.what()));
        }
    }
    maxFpsLabel_->setText(colored(fps));
}

void CameraSettingsTree::updateSettingsMap()
{
    if (!cameraRead_)
        return;
    qDebug().noquote() << QStringLiteral("Updating settingsmap for camera: %1").arg(serial_);
    QVariantMap& m = settingsMap_;
    m.insert(QStringLiteral("Serial"), QVariant::fromValue<quint32>(serial_));
    m.insert(QStringLiteral("Exposure Time"), configuration_.exposure_time_s);
    m.insert(QStringLiteral("Delay Time"), configuration_.delay_time_s);
    m.insert(QStringLiteral("Pixel Rate"), pixelRate_->currentIndex());
    m.insert(QStringLiteral("Conversion Factor"), conversionFactor_->currentIndex());
    m.insert(kAutoExposureKey, autoExposure_->currentText());
    m.insert(QStringLiteral("Timestamp"), timestamp_->currentIndex());
    m.insert(QStringLiteral("Noisefilter"), noiseFilter_->currentText());
    m.insert(QStringLiteral("X0"), roiLeft_->value());
    m.insert(QStringLiteral("X1"), roiRight_->value());
    m.insert(QStringLiteral("Y0"), roiTop_->value());
    m.insert(QStringLiteral("Y1"), roiBottom_->value());
    m.insert(QStringLiteral("Triggermode"), triggerMode_->currentIndex());
    m.insert(kRecordModeKey, recordMode_->currentText());
    m.insert(kDataFormatKey, dataFormat_->currentText());
    m.insert(kImageCountKey, imageCount_->value());
    if (description_.has_ram) {
        for (int i = 0; i < 4; ++i) {
            const quint32 percent = i < static_cast<int>(ramPercentages_.size()) ? ramPercentages_[i] : 0;
            m.insert(QStringLiteral("RamSeg%1Percent").arg(i + 1), QVariant::fromValue<quint32>(percent));
        }
        m.insert(QStringLiteral("RamActiveIndex"), ramActiveIndex_);
    }
    if (isLineSensor())
        m.insert(kLinesPerImageKey, roiBottom_->value());
    settingsMaps_.insert(serial_, m);
}

void CameraSettingsTree::setEditorsSignalsBlocked(bool blocked)
{
    if (blocked) {
        if (signalBlockDepth_++ > 0)
            return;
    } else {
        if (signalBlockDepth_ == 0 || --signalBlockDepth_ > 0)
            return;
    }
    for (QWidget* editor : qAsConst(editors_))
        editor->blockSignals(blocked);
}

void CameraSettingsTree::enableTimeEditors()
{
    exposureTime_->setEnabled(true);
    delayTime_->setEnabled(delaySupported());
}

void CameraSettingsTree::disableCameraEditors()
{
    for (QWidget* editor : qAsConst(editors_)) {
        if (!convertEditors_.key(editor).isEmpty())
            continue;
        editor->setEnabled(false);
    }
}

bool CameraSettingsTree::isCamRamMode() const
{
    const QString mode = recordMode_->currentText();
    return mode == QLatin1String("Sequence CamRam") || mode == QLatin1String("Ring Buffer CamRam");
}

QString CameraSettingsTree::colored(const QString& text) const
{
    return kLabelTemplate.arg(settingsMap_.value(kColor).toString(), text);
}

void CameraSettingsTree::reportFailure(const QString& logPrefix, const QString& boxText,
                                       const std::exception& error)
{
    qCritical().noquote() << logPrefix + QString::number(serial_) + QStringLiteral(". Error: ") +
                                 QString::fromUtf8(error.what());
    QMessageBox::critical(this, QStringLiteral("Error with: %1").arg(serial_), boxText, QMessageBox::Ok);
}

// ---------------------------------------------------------------------------------------
// Public operations

QVariant CameraSettingsTree::settingValue(const QString& key, const QVariant& fallback) const
{
    return settingsMap_.value(key, fallback);
}

void CameraSettingsTree::setImageCount(int count)
{
    {
        const QSignalBlocker blocker(imageCount_);
        imageCount_->setValue(count);
    }
    settingsMap_.insert(kImageCountKey, imageCount_->value());
    if (cameraRead_)
        settingsMaps_.insert(serial_, settingsMap_);
}

void CameraSettingsTree::setCameraColor(DWORD serial, const QString& colorName)
{
    if (!camera_)
        return;
    try {
        if (serial != camera_->getSerial())
            return;
        settingsMap_.insert(kColor, colorName);
        settingsMaps_.insert(serial_, settingsMap_);
        nameLabel_->setText(colored(QString::fromStdString(camera_->getName())));
        serialLabel_->setText(colored(QString::number(serial)));
        updateMaxFps();
    } catch (const std::exception& error) {
        qCritical().noquote() << QStringLiteral("Error setting camera color of ") + QString::number(serial) +
                                     QStringLiteral(". Error: ") + QString::fromUtf8(error.what());
        QMessageBox::critical(this, QStringLiteral("Error with: %1").arg(serial),
                              QStringLiteral("Error setting camera color!"), QMessageBox::Ok);
    }
}

void CameraSettingsTree::stopExposurePolling()
{
    exposurePoll_->stop();
}

void CameraSettingsTree::setRamDialogs(CamRamDialog camRamDialog, DxrDialog dxrDialog)
{
    camRamDialog_ = std::move(camRamDialog);
    dxrDialog_ = std::move(dxrDialog);
}

void CameraSettingsTree::onCameraChanged(std::shared_ptr<vyk::AnyCamera> newCam, QString newColor)
{
    updateSettingsMap();
    exposurePoll_->stop();
    camera_ = std::move(newCam);
    if (!camera_) {
        disableCameraEditors();
        return;
    }
    try {
        qInfo().noquote() << QStringLiteral("Changing camera in camera settings to camera: %1")
                                 .arg(camera_->getSerial());
        readCamera();
    } catch (const std::exception& error) {
        reportFailure(QStringLiteral("Error reading settings of camera: "),
                      QStringLiteral("Error reading camera settings!"), error);
        camera_.reset();
        disableCameraEditors();
        return;
    }
    selectSettingsMap(serial_);
    setCameraColor(serial_, newColor);
    adaptToCamera();
    updateMaxFps();
    bool recording = false;
    try {
        recording = camera_->isRecording();
    } catch (const std::exception& error) {
        reportFailure(QStringLiteral("Error reading settings of camera: "),
                      QStringLiteral("Error reading camera settings!"), error);
    }
    if (recording)
        onRecordingInProgress();
    else
        onRecordingDone(serial_);
}

void CameraSettingsTree::onRecordingInProgress()
{
    setEditorsSignalsBlocked(true);
    if (autoExposure_->currentText() == QLatin1String("Off"))
        enableTimeEditors();
    for (QWidget* editor : std::initializer_list<QWidget*>{
             aeMinTime_, aeMaxTime_, aeRegion_, pixelRate_, conversionFactor_, timestamp_, noiseFilter_,
             roiLeft_, roiRight_, roiTop_, roiBottom_, binningHorz_, binningVert_, binningMode_,
             triggerMode_, recordMode_, dataFormat_, imageCount_, resetButton_, ramButton_})
        editor->setEnabled(false);
    setEditorsSignalsBlocked(false);
}

void CameraSettingsTree::onRecordingDone(DWORD serial)
{
    if (!camera_ || serial != serial_)
        return;
    setEditorsSignalsBlocked(true);
    if (autoExposure_->currentText() == QLatin1String("Off"))
        enableTimeEditors();
    for (QWidget* editor : std::initializer_list<QWidget*>{
             pixelRate_, conversionFactor_, autoExposure_, aeMinTime_, aeMaxTime_, aeRegion_, timestamp_,
             binningHorz_, binningVert_, binningMode_, triggerMode_, recordMode_, dataFormat_, resetButton_})
        editor->setEnabled(true);
    noiseFilter_->setEnabled(noiseFilterSupported_);
    roiLeft_->setEnabled(description_.roi_step_horz != 0);
    roiRight_->setEnabled(description_.roi_step_horz != 0);
    roiBottom_->setEnabled(description_.roi_step_vert != 0);
    roiTop_->setEnabled(description_.roi_step_vert != 0 && description_.line_sensor_mode == 0);
    imageCount_->setEnabled(!isCamRamMode());
    ramButton_->setEnabled(description_.has_ram || isDxr());
    setEditorsSignalsBlocked(false);
}

void CameraSettingsTree::adaptToCameraError(DWORD serial)
{
    if (!camera_ || serial != serial_)
        return;
    qInfo().noquote() << QStringLiteral("Adapting camera settings due to error of camera: %1").arg(serial);
    onRecordingInProgress();
    setEditorsSignalsBlocked(true);
    for (QWidget* editor : std::initializer_list<QWidget*>{exposureTime_, delayTime_, autoExposure_,
                                                           aeMinTime_, aeMaxTime_, aeRegion_})
        editor->setEnabled(false);
    exposurePoll_->stop();
    camera_.reset();
    setEditorsSignalsBlocked(false);
}
