// The image view of one camera: renders the camera's newest image with VTK, shows pixel
// value, image statistics and image counters in three overlays, and derives the display
// range (colour window and level) from each image.
//
// Threads (all owned and joined by the view):
// - GUI thread: displays images, renders, runs the pixel read-out, menus and slots, and is
//   the only thread that touches VTK objects.
// - polling thread: pops the camera's images from the view queue set and hands one at a
//   time to the GUI thread (busy_ is set while one waits for display).
// - colour calculation thread: woken through colorWake_ after each displayed image and
//   after each display range choice; computes statistics and the display range and posts
//   the results to the GUI thread.
//
// Image ownership: an image is immutable once the polling thread publishes it, and shared by
// std::shared_ptr. The image the VTK import points at (displayed_) belongs to the GUI thread
// and is replaced only by the next successful display, so a re-render at any time reads a
// complete, live buffer.
#pragma once

#include "acquisition/Dword.h"
#include "camera/Description.h"
#include "camera/Image.h"
#include "camera/Roi.h"
#include "view/DisplayRange.h"

#include "acquisition/CountingSemaphore.h"

#include <QMap>
#include <QString>
#include <QVTKOpenGLNativeWidget.h>
#include <vtkSmartPointer.h>

#include <array>
#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

class PipelineBase;
class ImageInteractorStyle;
class vtkCallbackCommand;
class vtkCellPicker;
class vtkGenericOpenGLRenderWindow;
class vtkImageImport;
class vtkNamedColors;
class vtkRenderer;
class vtkTextActor;

class VtkViewWidget : public QVTKOpenGLNativeWidget {
    Q_OBJECT
public:
    // The three text overlays, bottom to top.
    enum class Overlay { PixelValues = 0, ImageStatistics = 1, Counters = 2 };

    // Sets up VTK and starts both threads; maxHeight and maxWidth are the sensor's size.
    VtkViewWidget(QWidget* parent, uint64_t maxHeight, uint64_t maxWidth);
    // Stops and joins both threads, then releases the pipelines and VTK objects.
    ~VtkViewWidget() override;

    // Binds the view to camera serial and shows a blank image of the camera's current roi.
    void addCameraInfo(DWORD serial, const vyk::Roi& roi, const vyk::Description& description);
    // Creates the pipeline "OriginalImage" fed by the image import; images are shown from now on.
    void createImagePipeline();
    // Adds every pipeline's actor to the renderer and to the picker's list.
    void addActorsToRenderer();
    // "Dark" or "Bright": sets the background colour and re-renders.
    void applyTheme(const QString& themeName);
    // Shows or hides pipeline name of camera serial (other serials and names are ignored).
    void showPipeline(DWORD serial, const QString& name);
    void hidePipeline(DWORD serial, const QString& name);
    // Fixed zoom: factor 1 shows one image row per screen pixel row.
    void setZoom(double factor);

    // Inspection, GUI thread only.
    DWORD serial() const { return serial_.load(); }
    // The pipeline stored under name, or null.
    PipelineBase* pipeline(const QString& name) const;
    QString overlayText(Overlay overlay) const;
    bool isOverlayVisible(Overlay overlay) const;
    DisplayRangeMode displayRangeMode() const { return static_cast<DisplayRangeMode>(rangeMode_.load()); }
    // The image the view shows (the blank one until the first display).
    std::shared_ptr<const vyk::Image> displayedImage() const { return displayed_; }
    vtkImageImport* imageSource() const;
    vtkRenderer* renderer() const;
    // Whether the last mouse move was over the image.
    bool isMouseOnImage() const { return mouseOnImage_.load(); }

signals:
    // The display range of this view changed to [min, max] (display values).
    void adaptHistMarkersOnMinMaxChange(DWORD serial, int min, int max);
    // The view was shown (true) or hidden (false).
    void visibilityChanged(bool visible);

public slots:
    // Both only re-render; their arguments are not used.
    void onCameraColorChanged(DWORD serialNo, QString color);
    void onIsoLevelChanged(DWORD serialNo, int value);
    // Manual display range [min, max] set from outside (the histogram markers) for serial.
    void onColorMinMaxChangedFromExtern(DWORD serial, int min, int max);

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    // What the colour calculation thread computed for one image, applied on the GUI thread.
    struct ColorResult {
        QString statistics;                 // text of the statistics overlay
        QString counters;                   // text of the counter overlay
        std::optional<WindowLevel> range;   // new window and level, unless manual
        DisplayRangeMode mode;              // the mode range was computed for
        bool render;                        // render at once (a range choice without a new image)
    };

    void setUpVtk();
    void pollImages();
    void displayCurrentImage();
    void calculateColors();
    ColorResult computeColors(const vyk::Image& image, DisplayRangeMode mode);
    void applyColorResult(const ColorResult& result);
    void readPixelUnderMouse();
    void setPixelText(const QString& text);
    void setRangeMode(DisplayRangeMode mode);
    void applyWindowLevel(const WindowLevel& range);
    unsigned bitResolution() const;
    void render();
    static void onMouseMove(vtkObject* caller, unsigned long eventId, void* clientData, void* callData);

    std::atomic<DWORD> serial_{0};           // camera shown; set once by addCameraInfo
    const uint64_t maxHeight_;               // sensor rows
    const uint64_t maxWidth_;                // sensor columns
    vyk::Description description_;           // GUI thread; the camera's description
    bool cameraInfoAdded_ = false;           // GUI thread; addCameraInfo ran

    // VTK objects, GUI thread only.
    vtkSmartPointer<vtkNamedColors> colors_;
    vtkSmartPointer<vtkRenderer> renderer_;
    vtkSmartPointer<vtkGenericOpenGLRenderWindow> renderWindow_;
    vtkSmartPointer<ImageInteractorStyle> style_;
    vtkSmartPointer<vtkCallbackCommand> mouseMoveCallback_;
    vtkSmartPointer<vtkCellPicker> picker_;
    vtkSmartPointer<vtkImageImport> import_;
    std::array<vtkSmartPointer<vtkTextActor>, 3> overlays_;  // indexed by Overlay
    QMap<QString, PipelineBase*> pipelines_;                 // GUI thread; owned ("OriginalImage")

    // Images. pending_ and statsImage_ are guarded by imageMutex_; the rest is GUI thread only.
    std::mutex imageMutex_;
    std::shared_ptr<const vyk::Image> pending_;     // guarded by imageMutex_; newest popped image
    std::shared_ptr<const vyk::Image> statsImage_;  // guarded by imageMutex_; last displayed image
    std::shared_ptr<const vyk::Image> displayed_;   // GUI thread; the image VTK imports from
    std::vector<uint8_t> unpadded_;                 // GUI thread; displayed_ without row padding, when it has some
    vyk::DataFormat shownFormat_ = vyk::DataFormat::Undefined;  // GUI thread; as last displayed
    unsigned shownRawBits_ = 0;                     // GUI thread; raw element width last displayed
    uint64_t shownWidth_ = 0;                       // GUI thread; width last displayed
    uint64_t shownHeight_ = 0;                      // GUI thread; height last displayed

    // Display range. The mode and display extremes are shared with the colour thread.
    std::atomic<int> rangeMode_{static_cast<int>(DisplayRangeMode::AutoRange)};
    int manualMin_ = 0;                        // GUI thread; display value
    int manualMax_ = 0;                        // GUI thread; display value
    std::atomic<int> displayMin_{0};           // smallest display value of the last image
    std::atomic<int> displayMax_{0};           // largest display value of the last image
    std::atomic<bool> renderOnResult_{false};  // the next colour result follows a range choice
    std::atomic<bool> pipelineVisible_{false}; // "OriginalImage" exists and its actor is visible

    // Threads. pipelineReady_, pollRun_ and busy_ are read anywhere but changed under
    // pollMutex_ (busy_ is set by the polling thread itself), so pollWake_ misses no change.
    std::mutex pollMutex_;                     // pairs with pollWake_
    std::condition_variable pollWake_;         // a pipeline, a displayed image or the stop wakes the polling thread
    std::atomic<bool> pipelineReady_{false};   // a pipeline exists; images may be popped
    std::atomic<bool> pollRun_{false};         // polling thread keeps running
    std::atomic<bool> busy_{false};            // an image waits for display on the GUI thread
    std::atomic<bool> colorRun_{false};        // colour calculation thread keeps running
    CountingSemaphore colorWake_;              // one release per turn of the colour thread
    std::atomic<bool> mouseOnImage_{false};    // last mouse move was over the image
    std::thread colorThread_;                  // owned; joined by the destructor
    std::thread pollThread_;                   // owned; joined by the destructor
};
