// The histogram window: one plot per camera, fed by one counting thread per camera.
#pragma once

#include "acquisition/Dword.h"
#include "view/HistogramCounting.h"

#include <QString>
#include <QTimer>
#include <QVector>
#include <QWidget>

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

class HistogramPlot;
class ImageQueueSet;
class QScrollArea;
class QVBoxLayout;
class QwtPlotCurve;

/// Live histograms of all cameras. While the window is open every camera has a thread that
/// pops images from the histogram queue set and counts them; a 30 ms timer on the GUI
/// thread copies the finished lists into the curves.
///
/// Layout: one plot per camera, stacked in a scroll area, so that every plot keeps a readable
/// height (kMinPlotHeight) however many cameras there are.
///
/// Threads: the GUI thread owns everything; each camera's histogram thread (started by
/// onAnalysisWindowToggled(true), joined on close, on camera error and by the destructor)
/// reads its camera's run flag and bit depth and stores finished counts under countsMutex_.
class HistogramWidget : public QWidget {
    Q_OBJECT
public:
    /// Refresh period of the curves, ms.
    static constexpr int kRefreshMs = 30;
    /// Smallest height of one camera's plot, pixels: title, both axes with their labels and
    /// a readable canvas. More plots than fit make the window scroll.
    static constexpr int kMinPlotHeight = 220;

    /// An empty histogram window reading images from queues (the process-wide histogram
    /// queue set by default; it must outlive the widget).
    explicit HistogramWidget(QWidget* parent = nullptr);
    HistogramWidget(ImageQueueSet& queues, QWidget* parent = nullptr);
    /// Stops and joins every histogram thread.
    ~HistogramWidget() override;

    /// Adds a plot and curves for a camera with bitDepth bits per raw value. Its thread
    /// starts with the next opening of the window (or at once while it is open).
    void addCamera(DWORD serial, const QString& cameraName, const QString& colour, int bitDepth);
    /// Camera serials with a plot, ascending.
    QList<DWORD> cameras() const;
    /// The camera's plot; null when unknown.
    HistogramPlot* plot(DWORD serial) const;
    /// Changes a camera's bit depth (bins, x range, markers).
    void setBitDepth(DWORD serial, int bitDepth);
    /// Whether the window is open (threads run, timer active).
    bool isOpen() const { return open_; }
    /// Whether the camera's histogram thread runs.
    bool isThreadRunning(DWORD serial) const;
    /// Images counted by the camera's threads so far.
    uint64_t imagesCounted(DWORD serial) const;
    /// The camera's latest counts (empty lists before the first image).
    HistogramCounts latestCounts(DWORD serial) const;
    /// The camera's curves: mono, red, green, blue.
    QwtPlotCurve* monoCurve(DWORD serial) const;
    QwtPlotCurve* redCurve(DWORD serial) const;
    QwtPlotCurve* greenCurve(DWORD serial) const;
    QwtPlotCurve* blueCurve(DWORD serial) const;

signals:
    /// The user moved a marker of serial's plot; the range in the view's 8-bit scale.
    void newColorMinMax(DWORD serial, int min, int max);
    /// The window was shown (true) or hidden (false).
    void visibilityChanged(bool visible);

public slots:
    /// Recolours the camera's title and mono curve.
    void onCameraColorChanged(DWORD serial, QString color, QString cameraName);
    /// Shows or hides the camera's curves and markers.
    void onHideShowRequest(DWORD serial, bool visibility);
    /// Starts (open) or stops (closed) every camera's histogram thread.
    void onAnalysisWindowToggled(bool open);
    /// The view's display range changed to xMin..xMax (8-bit scale): moves the markers.
    void onAdaptHistMarkers(DWORD serial, int xMin, int xMax);
    /// The camera failed: ends its thread and removes its plot.
    void onCameraError(DWORD serial);
    /// Copies every camera's latest counts into its curves and replots.
    void refresh();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    /// Everything of one camera. Members without a lock are GUI-thread only.
    struct Camera {
        DWORD serial = 0;                    ///< camera serial
        HistogramPlot* plot = nullptr;       ///< its plot (child of the widget)
        QwtPlotCurve* blue = nullptr;        ///< colour curves and the mono curve (owned by plot)
        QwtPlotCurve* green = nullptr;
        QwtPlotCurve* red = nullptr;
        QwtPlotCurve* mono = nullptr;
        bool visible = true;                 ///< as last set by onHideShowRequest
        std::atomic<int> bitDepth{16};       ///< bits per raw value; read by the thread
        std::atomic<bool> run{false};        ///< the thread loops while set
        std::atomic<uint64_t> counted{0};    ///< images counted
        HistogramCounts counts;              ///< latest counts (countsMutex_)
        bool fresh = false;                  ///< counts not yet shown (countsMutex_)
        std::thread thread;                  ///< the histogram thread; joined by the widget
    };

    void startThread(Camera& camera);
    void stopThread(Camera& camera, const char* joinedMessage);
    void histogramLoop(Camera* camera);
    Camera* find(DWORD serial) const;
    static int shiftFor(int bitDepth);
    // The curve member of serial's entry, or null for an unknown camera.
    QwtPlotCurve* curveOf(DWORD serial, QwtPlotCurve* Camera::*curve) const;
    static void setTitle(Camera& camera, const QString& color, const QString& cameraName);

    ImageQueueSet& queues_;                         ///< where the images come from
    QScrollArea* scrollArea_;                       ///< scrolls the plots when they do not fit (child)
    QWidget* plotArea_;                             ///< holds the plots (owned by scrollArea_)
    QVBoxLayout* layout_;                           ///< plotArea_'s layout, one plot per camera
    std::map<DWORD, std::unique_ptr<Camera>> cameras_; ///< by serial; changed by the GUI thread only,
                                                    ///< and only while the camera's thread is joined
    mutable std::mutex countsMutex_;                ///< guards every Camera::counts and ::fresh
    QTimer refreshTimer_;                           ///< 30 ms refresh while open
    bool open_ = false;                             ///< the window is open
    QVector<double> xValues_;                       ///< 0, 1, 2, ... for the samples' x (GUI thread)
};
