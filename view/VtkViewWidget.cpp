#include "view/VtkViewWidget.h"

#include "acquisition/ImageQueueSet.h"
#include "acquisition/ThreadName.h"
#include "view/DisplayGeometry.h"
#include "view/ImageInteractorStyle.h"
#include "view/ImageStatistics.h"
#include "view/OverlayText.h"
#include "view/PipelineOriginalImage.h"
#include "view/PixelReadout.h"
#include "view/ViewContextMenu.h"

#include <QContextMenuEvent>
#include <QDebug>
#include <QLineEdit>

#include <vtkCallbackCommand.h>
#include <vtkCamera.h>
#include <vtkCellPicker.h>
#include <vtkCoordinate.h>
#include <vtkGenericOpenGLRenderWindow.h>
#include <vtkImageActor.h>
#include <vtkImageData.h>
#include <vtkImageImport.h>
#include <vtkNamedColors.h>
#include <vtkProp.h>
#include <vtkPropCollection.h>
#include <vtkRenderWindowInteractor.h>
#include <vtkRenderer.h>
#include <vtkTextActor.h>
#include <vtkTextProperty.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <utility>

namespace {

const QString kOriginalImage = QStringLiteral("OriginalImage");
// Background colours of the themes (RGBA).
const unsigned char kDarkBackground[4] = {51, 51, 51, 255};
const unsigned char kBrightBackground[4] = {245, 245, 247, 255};
// Longest the polling thread waits for an image before it looks at its run flag again. Every
// push and the destructor's deactivation end the wait at once; the limit only bounds the
// idle thread's wake-ups (two per second) should a wake-up ever be missed.
constexpr auto kPopTimeout = std::chrono::milliseconds(500);

std::size_t indexOf(VtkViewWidget::Overlay overlay)
{
    return static_cast<std::size_t>(overlay);
}

}  // namespace

VtkViewWidget::VtkViewWidget(QWidget* parent, uint64_t maxHeight, uint64_t maxWidth)
    : QVTKOpenGLNativeWidget(parent)
    , maxHeight_(maxHeight)
    , maxWidth_(maxWidth)
{
    qRegisterMetaType<DWORD>("DWORD");
    setUpVtk();
    rangeMode_.store(static_cast<int>(DisplayRangeMode::AutoRange));
    colorRun_.store(true);
    colorThread_ = std::thread(&VtkViewWidget::calculateColors, this);
    pollRun_.store(true);
    pollThread_ = std::thread(&VtkViewWidget::pollImages, this);
}

VtkViewWidget::~VtkViewWidget()
{
    const DWORD serial = serial_.load();
    {
        std::lock_guard<std::mutex> lock(pollMutex_);
        pollRun_.store(false);
    }
    pollWake_.notify_all();
    if (cameraInfoAdded_)
        viewQueues().deactivate(serial);
    if (pollThread_.joinable()) {
        pollThread_.join();
        qDebug().nospace() << "Joined image thread of camera: " << serial;
    }
    colorRun_.store(false);
    colorWake_.release();
    if (colorThread_.joinable()) {
        colorThread_.join();
        qDebug().nospace() << "Joined color calc thread of camera: " << serial;
    }
    // The actors stay with the renderer until the render window releases its graphics
    // resources in the base class's destructor, while the context is still there.
    qDeleteAll(pipelines_);
    pipelines_.clear();
    qInfo().nospace() << "Cleaned up vtk widget of camera: " << serial;
}

void VtkViewWidget::setUpVtk()
{
    qDebug() << "Setting up vtk!";
    colors_ = vtkSmartPointer<vtkNamedColors>::New();
    // Until a theme is applied the background is the dark theme's.
    colors_->SetColor("BkgColor", kDarkBackground);
    renderer_ = vtkSmartPointer<vtkRenderer>::New();
    renderer_->SetBackground(colors_->GetColor3d("BkgColor").GetData());

    vtkCamera* camera = renderer_->GetActiveCamera();
    camera->SetPosition(0.0, 0.0, 1000.0);
    camera->ParallelProjectionOn();

    renderWindow_ = vtkSmartPointer<vtkGenericOpenGLRenderWindow>::New();
    // Multisampling smooths polygon edges, of which an image view has none; with software
    // OpenGL it multiplies the cost of every frame.
    renderWindow_->SetMultiSamples(0);
    setRenderWindow(renderWindow_);
    renderWindow_->AddRenderer(renderer_);
    style_ = vtkSmartPointer<ImageInteractorStyle>::New();
    vtkRenderWindowInteractor* interactor = renderWindow_->GetInteractor();
    interactor->SetInteractorStyle(style_);

    mouseMoveCallback_ = vtkSmartPointer<vtkCallbackCommand>::New();
    mouseMoveCallback_->SetCallback(&VtkViewWidget::onMouseMove);
    mouseMoveCallback_->SetClientData(this);
    interactor->AddObserver(vtkCommand::MouseMoveEvent, mouseMoveCallback_);

    picker_ = vtkSmartPointer<vtkCellPicker>::New();
    picker_->PickFromListOn();

    const std::array<QString, 3> texts{OverlayText::initialPixelValues(), OverlayText::initialStatistics(),
                                       OverlayText::initialCounters()};
    for (std::size_t i = 0; i < overlays_.size(); ++i) {
        auto text = vtkSmartPointer<vtkTextActor>::New();
        text->SetInput(texts[i].toUtf8().constData());
        text->GetTextProperty()->SetFontSize(12);
        text->GetTextProperty()->SetColor(1.0, 1.0, 1.0);
        text->GetPositionCoordinate()->SetCoordinateSystemToDisplay();
        text->SetPosition(10.0, 10.0 + 20.0 * static_cast<double>(i));
        renderer_->AddActor2D(text);
        overlays_[i] = text;
    }
}

void VtkViewWidget::addCameraInfo(DWORD serial, const vyk::Roi& roi, const vyk::Description& description)
{
    qDebug().nospace() << "Adding camerainfo entry for camera: " << serial;
    serial_.store(serial);
    description_ = description;
    import_ = vtkSmartPointer<vtkImageImport>::New();

    // A camera that reports no usable region gets a blank of the whole sensor.
    vyk::Roi blankRoi = roi;
    if (!roi.isSet() || !roi.isValid())
        blankRoi = vyk::Roi{1, 1, std::max<uint64_t>(maxWidth_, 1), std::max<uint64_t>(maxHeight_, 1)};
    auto blank = std::make_shared<vyk::Image>();
    blank->reshape(blankRoi, vyk::DataFormat::Mono16, vyk::RawFormat::Word);
    displayed_ = blank;
    shownFormat_ = blank->format();
    shownRawBits_ = 16;
    shownWidth_ = blank->width();
    shownHeight_ = blank->height();

    import_->SetDataScalarTypeToUnsignedShort();
    import_->SetNumberOfScalarComponents(1);
    import_->SetWholeExtent(0, static_cast<int>(shownWidth_) - 1, 0, static_cast<int>(shownHeight_) - 1, 0, 0);
    import_->SetDataExtentToWholeExtent();
    import_->SetImportVoidPointer(const_cast<uint16_t*>(blank->rawData16().data()));
    import_->ReleaseDataFlagOff();
    cameraInfoAdded_ = true;
}

void VtkViewWidget::createImagePipeline()
{
    if (!import_ || pipelines_.contains(kOriginalImage))
        return;
    auto* pipeline = new PipelineOriginalImage;
    pipeline->setInput(import_->GetOutputPort(), false, {0, 1, 2});
    pipelines_.insert(kOriginalImage, pipeline);
    pipelineVisible_.store(true);
    {
        std::lock_guard<std::mutex> lock(pollMutex_);
        pipelineReady_.store(true);
    }
    pollWake_.notify_all();
}

void VtkViewWidget::addActorsToRenderer()
{
    qInfo().nospace() << "Adding actors to renderer of camera: " << serial_.load();
    for (PipelineBase* pipeline : std::as_const(pipelines_)) {
        renderer_->AddActor(pipeline->getActor());
        picker_->AddPickList(pipeline->getActor());
    }
    renderer_->ResetCamera();
}

void VtkViewWidget::applyTheme(const QString& themeName)
{
    if (themeName == QLatin1String("Dark"))
        colors_->SetColor("BkgColor", kDarkBackground);
    else if (themeName == QLatin1String("Bright"))
        colors_->SetColor("BkgColor", kBrightBackground);
    renderer_->SetBackground(colors_->GetColor3d("BkgColor").GetData());
    render();
}

void VtkViewWidget::showPipeline(DWORD serial, const QString& name)
{
    PipelineBase* found = serial == serial_.load() ? pipeline(name) : nullptr;
    if (!found)
        return;
    found->getActor()->VisibilityOn();
    if (name == kOriginalImage)
        pipelineVisible_.store(true);
    qInfo().noquote() << "pipeline:" << name << "of camera:" << serial << "shown";
    import_->Modified();
    render();
}

void VtkViewWidget::hidePipeline(DWORD serial, const QString& name)
{
    PipelineBase* found = serial == serial_.load() ? pipeline(name) : nullptr;
    if (!found)
        return;
    found->getActor()->VisibilityOff();
    if (name == kOriginalImage)
        pipelineVisible_.store(false);
    qDebug().noquote() << "pipeline:" << name << "of camera:" << serial << "hidden";
    render();
}

void VtkViewWidget::setZoom(double factor)
{
    PipelineBase* original = pipeline(kOriginalImage);
    auto* actor = original ? vtkImageActor::SafeDownCast(original->getActor()) : nullptr;
    vtkImageData* input = actor ? actor->GetInput() : nullptr;
    if (!input || factor <= 0.0)
        return;
    double spacing[3];
    input->GetSpacing(spacing);
    const int heightPixels = renderWindow_->GetSize()[1];
    renderer_->GetActiveCamera()->SetParallelScale(heightPixels * spacing[1] * 0.5 / factor);
    renderer_->ResetCameraClippingRange();
    render();
}

PipelineBase* VtkViewWidget::pipeline(const QString& name) const
{
    return pipelines_.value(name, nullptr);
}

vtkImageImport* VtkViewWidget::imageSource() const
{
    return import_;
}

vtkRenderer* VtkViewWidget::renderer() const
{
    return renderer_;
}

QString VtkViewWidget::overlayText(Overlay overlay) const
{
    return QString::fromUtf8(overlays_[indexOf(overlay)]->GetInput());
}

bool VtkViewWidget::isOverlayVisible(Overlay overlay) const
{
    return overlays_[indexOf(overlay)]->GetVisibility() != 0;
}

void VtkViewWidget::onCameraColorChanged(DWORD /*serialNo*/, QString /*color*/)
{
    render();
}

void VtkViewWidget::onIsoLevelChanged(DWORD /*serialNo*/, int /*value*/)
{
    render();
}

void VtkViewWidget::onColorMinMaxChangedFromExtern(DWORD serial, int min, int max)
{
    if (serial != serial_.load())
        return;
    setRangeMode(DisplayRangeMode::Manual);
    manualMin_ = min;
    manualMax_ = max;
    applyWindowLevel(DisplayRange::fromLimits(min, max));
    render();
}

void VtkViewWidget::showEvent(QShowEvent* event)
{
    QVTKOpenGLNativeWidget::showEvent(event);
    render();
    emit visibilityChanged(true);
    qDebug() << "showEvent of VtkWidget";
}

void VtkViewWidget::hideEvent(QHideEvent* event)
{
    QVTKOpenGLNativeWidget::hideEvent(event);
    emit visibilityChanged(false);
    qDebug() << "hideEvent of VtkWidget";
}

void VtkViewWidget::contextMenuEvent(QContextMenuEvent* event)
{
    const unsigned bits = bitResolution();
    const std::array<bool, 3> visible{isOverlayVisible(Overlay::PixelValues),
                                      isOverlayVisible(Overlay::ImageStatistics),
                                      isOverlayVisible(Overlay::Counters)};
    ViewContextMenu menu(visible, displayRangeMode(), DisplayRange::fieldText(manualMin_, bits),
                         DisplayRange::fieldText(manualMax_, bits), this);
    menu.exec(event->globalPos());

    for (std::size_t i = 0; i < overlays_.size(); ++i)
        overlays_[i]->SetVisibility(menu.overlayChecked(static_cast<int>(i)) ? 1 : 0);

    QAction* chosen = menu.chosen();
    if (const std::optional<DisplayRangeMode> mode = menu.rangeModeOf(chosen)) {
        menu.minField()->clear();
        menu.maxField()->clear();
        menu.checkRangeEntry(*mode);
        setRangeMode(*mode);
        // The colour thread's result arrives after this handler; it renders the new range.
        renderOnResult_.store(true);
        colorWake_.release();
    } else if (const double factor = menu.zoomOf(chosen); factor > 0.0) {
        setZoom(factor);
    }

    const std::optional<int> min = DisplayRange::parseField(menu.minField()->text(), bits);
    const std::optional<int> max = DisplayRange::parseField(menu.maxField()->text(), bits);
    if (min || max) {
        menu.checkRangeEntry(DisplayRangeMode::Manual);
        setRangeMode(DisplayRangeMode::Manual);
        manualMin_ = min.value_or(displayMin_.load());
        manualMax_ = max.value_or(displayMax_.load());
        const WindowLevel range = DisplayRange::fromLimits(manualMin_, manualMax_);
        applyWindowLevel(range);
        emit adaptHistMarkersOnMinMaxChange(serial_.load(), range.lower(), range.upper());
        colorWake_.release();
    } else {
        menu.checkRangeEntry(DisplayRangeMode::Manual, false);
    }
    render();
}

void VtkViewWidget::pollImages()
{
    setThreadName("view-poll");
    const DWORD serial = serial_.load();
    qDebug().nospace() << "Started polling image queue thread of camera: " << serial;
    while (pollRun_.load()) {
        {
            // Until a pipeline exists and the GUI thread has shown the last image there is
            // nothing to do: sleep until one of them changes (or the view goes).
            std::unique_lock<std::mutex> lock(pollMutex_);
            pollWake_.wait(lock, [this] { return !pollRun_.load() || (pipelineReady_.load() && !busy_.load()); });
        }
        if (!pollRun_.load())
            break;
        // Waits while the queue is empty and also while it is inactive (no acquisition runs).
        std::optional<vyk::Image> image = viewQueues().waitPop(serial_.load(), kPopTimeout);
        if (!image)
            continue;
        // When the view and its statistics no longer hold the image, its buffers go back to
        // the queue for the acquisition's next fetch, which then allocates nothing.
        const DWORD from = serial_.load();
        std::shared_ptr<const vyk::Image> shared(new vyk::Image(std::move(*image)), [from](vyk::Image* done) {
            viewQueues().recycle(from, std::move(*done));
            delete done;
        });
        {
            std::lock_guard<std::mutex> lock(imageMutex_);
            pending_ = std::move(shared);
        }
        busy_.store(true);
        QMetaObject::invokeMethod(
            this,
            [this] {
                displayCurrentImage();
                {
                    std::lock_guard<std::mutex> lock(pollMutex_);
                    busy_.store(false);
                }
                pollWake_.notify_all();
            },
            Qt::QueuedConnection);
    }
}

void VtkViewWidget::displayCurrentImage()
{
    PipelineBase* original = pipeline(kOriginalImage);
    if (!original)
        return;
    std::shared_ptr<const vyk::Image> image;
    {
        std::lock_guard<std::mutex> lock(imageMutex_);
        image = pending_;
    }
    if (!image)
        return;
    // Everything is checked before the import is touched: a refused image leaves the
    // previous one imported and displayed, buffer and extent alike.
    const vyk::DataFormat format = image->format();
    if (format != vyk::DataFormat::Mono8 && format != vyk::DataFormat::BGR8) {
        qWarning().nospace() << "Invalid Dataformat was: " << static_cast<uint32_t>(format)
                             << " No Image is going to be displayed!";
        return;
    }
    const DisplayGeometry geometry = DisplayGeometry::of(*image);
    if (geometry.status != DisplayGeometry::Status::Ok) {
        qWarning().nospace() << "Image without display data from camera: " << serial_.load()
                             << " No Image is going to be displayed!";
        return;
    }

    const unsigned rawBits = vyk::elementBits(image->raw());
    const bool reshaped = format != shownFormat_ || rawBits != shownRawBits_ || geometry.width != shownWidth_ ||
                          geometry.height != shownHeight_;
    if (reshaped) {
        shownFormat_ = format;
        shownRawBits_ = rawBits;
        shownWidth_ = geometry.width;
        shownHeight_ = geometry.height;
        import_->SetWholeExtent(0, static_cast<int>(shownWidth_) - 1, 0, static_cast<int>(shownHeight_) - 1, 0, 0);
        import_->SetDataExtentToWholeExtent();
    }

    // VTK reads rows of exactly width pixels; rows padded to a multiple of 4 pixels are
    // packed into the view's own buffer, others are imported in place.
    const uint64_t packedRow = geometry.width * geometry.components;
    const void* pixels = geometry.data;
    if (geometry.rowElements != packedRow) {
        unpadded_.resize(packedRow * geometry.height);
        for (uint64_t row = 0; row < geometry.height; ++row)
            std::memcpy(unpadded_.data() + row * packedRow, geometry.element(0, row), packedRow);
        pixels = unpadded_.data();
    }
    const bool colour = format == vyk::DataFormat::BGR8;
    import_->SetDataScalarTypeToUnsignedChar();
    import_->SetNumberOfScalarComponents(static_cast<int>(geometry.components));
    import_->SetImportVoidPointer(const_cast<void*>(pixels));
    // Blue-green-red memory order is shown as red-green-blue.
    original->setInput(import_->GetOutputPort(), colour, {2, 1, 0});

    displayed_ = image;
    {
        std::lock_guard<std::mutex> lock(imageMutex_);
        statsImage_ = image;
    }
    import_->Modified();
    import_->Update();
    colorWake_.release();
    if (reshaped)
        renderer_->ResetCamera();
    render();
}

void VtkViewWidget::calculateColors()
{
    qInfo().nospace() << "Starting color mode calculation of camera: " << serial_.load();
    for (;;) {
        colorWake_.acquire();
        // Wake-ups that piled up while computing all ask for the same newest image.
        while (colorWake_.tryAcquire()) {
        }
        if (!colorRun_.load())
            return;
        if (!pipelineVisible_.load())
            continue;
        std::shared_ptr<const vyk::Image> image;
        {
            std::lock_guard<std::mutex> lock(imageMutex_);
            image = statsImage_;
        }
        if (!image)
            continue;
        const bool renderNow = renderOnResult_.exchange(false);
        ColorResult result = computeColors(*image, displayRangeMode());
        result.render = renderNow;
        QMetaObject::invokeMethod(
            this, [this, result] { applyColorResult(result); }, Qt::QueuedConnection);
    }
}

VtkViewWidget::ColorResult VtkViewWidget::computeColors(const vyk::Image& image, DisplayRangeMode mode)
{
    const DWORD serial = serial_.load();
    ColorResult result{};
    result.mode = mode;

    const RawStatistics raw = ImageStatistics::raw(image);
    if (raw.status == StatisticsStatus::Empty)
        qWarning().nospace() << (raw.bits == 8 ? "Empty raw8 vector for stats of camera: "
                                               : "Empty raw16 vector for stats of camera: ")
                             << serial;
    else if (raw.status != StatisticsStatus::Ok)
        qWarning().nospace() << "No raw data available for stats of camera: " << serial;
    result.statistics = OverlayText::statistics(raw);
    result.counters = OverlayText::counters(image);

    const DisplayStatistics display = ImageStatistics::display(image);
    switch (display.status) {
    case StatisticsStatus::Ok:
        displayMin_.store(display.min);
        displayMax_.store(display.max);
        result.range = DisplayRange::forMode(mode, display);
        break;
    case StatisticsStatus::UnknownFormat:
        qWarning().nospace() << "Unknown data format (display stats) of camera: " << serial;
        break;
    case StatisticsStatus::Empty:
        qWarning().nospace() << (display.bits == 8 ? "Empty display8 vector for color params of camera: "
                                                   : "Empty display16 vector for color params of camera: ")
                             << serial;
        break;
    case StatisticsStatus::NoData:
        qWarning().nospace() << "No display data available for color params of camera: " << serial;
        break;
    }
    return result;
}

void VtkViewWidget::applyColorResult(const ColorResult& result)
{
    overlays_[indexOf(Overlay::ImageStatistics)]->SetInput(result.statistics.toUtf8().constData());
    overlays_[indexOf(Overlay::Counters)]->SetInput(result.counters.toUtf8().constData());
    // A range computed before the user switched modes (manual limits from the menu or the
    // histogram) must not overwrite the newer choice.
    if (result.range && displayRangeMode() == result.mode) {
        applyWindowLevel(*result.range);
        emit adaptHistMarkersOnMinMaxChange(serial_.load(), result.range->lower(), result.range->upper());
    }
    if (result.render)
        render();
}

void VtkViewWidget::onMouseMove(vtkObject* /*caller*/, unsigned long /*eventId*/, void* clientData,
                                void* /*callData*/)
{
    static_cast<VtkViewWidget*>(clientData)->readPixelUnderMouse();
}

void VtkViewWidget::readPixelUnderMouse()
{
    if (picker_->GetPickList()->GetNumberOfItems() == 0 || !displayed_)
        return;
    const int* position = renderWindow_->GetInteractor()->GetEventPosition();
    if (picker_->Pick(position[0], position[1], 0.0, renderer_) == 0) {
        setPixelText(QStringLiteral("N/A"));
        render();
        mouseOnImage_.store(false);
        return;
    }
    double world[3];
    picker_->GetPickPosition(world);
    if (world[0] == 0.0 && world[1] == 0.0 && world[2] == 0.0) {
        qDebug() << "Mouse not on Image - setting x,y and value to 0 -> Leave mouseMoveEvent";
        setPixelText(QStringLiteral("N/A"));
        render();
        mouseOnImage_.store(false);
        return;
    }
    mouseOnImage_.store(true);
    const PixelReadout readout = PixelReadout::at(*displayed_, world[0], world[1]);
    if (readout.unknownFormat)
        qWarning().nospace() << "Unknown data format in pixelval calc of camera: " << serial_.load();
    setPixelText(readout.text);
    render();
}

void VtkViewWidget::setPixelText(const QString& text)
{
    overlays_[indexOf(Overlay::PixelValues)]->SetInput(text.toUtf8().constData());
}

void VtkViewWidget::setRangeMode(DisplayRangeMode mode)
{
    rangeMode_.store(static_cast<int>(mode));
}

void VtkViewWidget::applyWindowLevel(const WindowLevel& range)
{
    if (PipelineBase* original = pipeline(kOriginalImage))
        original->setWindowLevel(range.level, range.window);
}

unsigned VtkViewWidget::bitResolution() const
{
    // The image's own word wins: 8-bit raw pixels, then the metadata, then the camera.
    if (displayed_ && vyk::elementBits(displayed_->raw()) == 8)
        return 8;
    if (displayed_ && displayed_->metadata() && displayed_->metadata()->bBIT_RESOLUTION != 0)
        return displayed_->metadata()->bBIT_RESOLUTION;
    return description_.bit_resolution != 0 ? description_.bit_resolution : 16;
}

void VtkViewWidget::render()
{
    if (renderWindow_)
        renderWindow_->Render();
}
