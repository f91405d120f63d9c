#include "view/HistogramWidget.h"

#include "acquisition/ImageQueueSet.h"
#include "acquisition/ThreadName.h"
#include "view/HistogramPlot.h"

#include <qwt_plot_curve.h>

#include <QDebug>
#include <QScrollArea>
#include <QVBoxLayout>

#include <chrono>
#include <cmath>

namespace {

// Longest a histogram thread waits for an image before it looks at its run flag again.
// Every push and every deactivation end the wait at once; the limit only bounds a stop that
// comes before the thread's first wait has made its queue, and the idle thread's wake-ups.
constexpr auto kIdleCheck = std::chrono::milliseconds(500);
constexpr int kBrushAlpha = 80;
constexpr int kColourPenAlpha = 120;

QwtPlotCurve* makeCurve(HistogramPlot* plot, DWORD serial, const QColor& penColour, const QColor& brushColour)
{
    auto* curve = new QwtPlotCurve(QStringLiteral("Histogram %1").arg(serial));
    curve->setStyle(QwtPlotCurve::Lines);
    // Thousands of bins on a few hundred pixels: skip points that land on the same pixel.
    curve->setPaintAttribute(QwtPlotCurve::FilterPoints, true);
    curve->setPen(QPen(penColour, 1.0, Qt::SolidLine));
    curve->setBrush(QBrush(brushColour));
    curve->attach(plot);
    return curve;
}

QColor withAlpha(QColor colour, int alpha)
{
    colour.setAlpha(alpha);
    return colour;
}

}  // namespace

HistogramWidget::HistogramWidget(QWidget* parent)
    : HistogramWidget(histogramQueues(), parent)
{
}

HistogramWidget::HistogramWidget(ImageQueueSet& queues, QWidget* parent)
    : QWidget(parent)
    , queues_(queues)
    , scrollArea_(new QScrollArea(this))
    , plotArea_(new QWidget)
    , layout_(new QVBoxLayout(plotArea_))
{
    // The plots share the window's height down to their minimum; below that the window scrolls
    // instead of squeezing each plot until its axis labels overlap.
    scrollArea_->setWidgetResizable(true);
    scrollArea_->setFrameShape(QFrame::NoFrame);
    scrollArea_->setWidget(plotArea_);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(scrollArea_);
    qRegisterMetaType<DWORD>("DWORD"); // serials in queued signals
    refreshTimer_.setInterval(kRefreshMs);
    connect(&refreshTimer_, &QTimer::timeout, this, &HistogramWidget::refresh);
}

HistogramWidget::~HistogramWidget()
{
    refreshTimer_.stop();
    for (auto& entry : cameras_)
        entry.second->run = false;
    queues_.deactivateAll();
    for (auto& entry : cameras_) {
        if (entry.second->thread.joinable())
            entry.second->thread.join();
    }
}

int HistogramWidget::shiftFor(int bitDepth)
{
    return bitDepth > 8 ? bitDepth - 8 : 0;
}

HistogramWidget::Camera* HistogramWidget::find(DWORD serial) const
{
    const auto it = cameras_.find(serial);
    return it == cameras_.end() ? nullptr : it->second.get();
}

void HistogramWidget::setTitle(Camera& camera, const QString& color, const QString& cameraName)
{
    // The title is rich text, where a newline is only a space: the line break becomes <br>.
    // The name is escaped so that a camera named with markup cannot restyle the plot.
    QString title = QStringLiteral("<font color='%1'>%2\n%3</font>")
                            .arg(color.toHtmlEscaped(), cameraName.toHtmlEscaped())
                            .arg(camera.serial);
    camera.plot->setTitle(title.replace(QLatin1Char('\n'), QStringLiteral("<br>")));
}

void HistogramWidget::addCamera(DWORD serial, const QString& cameraName, const QString& colour, int bitDepth)
{
    qDebug().noquote() << QStringLiteral("Adding new entry in graphs for camera: ") + QString::number(serial)
            + QStringLiteral(" with color: ") + colour;
    if (find(serial) != nullptr)
        onCameraError(serial); // a camera added again starts afresh
    auto camera = std::make_unique<Camera>();
    camera->serial = serial;
    camera->plot = new HistogramPlot(plotArea_);
    camera->plot->setMinimumHeight(kMinPlotHeight);
    camera->plot->setAxisTitle(QwtPlot::xBottom, QStringLiteral("Pixelvalue"));
    camera->plot->setAxisTitle(QwtPlot::yLeft, QStringLiteral("Amount"));
    camera->plot->setBitDepth(bitDepth);
    camera->bitDepth = camera->plot->bitDepth();
    layout_->addWidget(camera->plot);
    connect(camera->plot, &HistogramPlot::markerMoved, this, [this, serial](int xMin, int xMax) {
        const Camera* moved = find(serial);
        const int shift = shiftFor(moved != nullptr ? moved->bitDepth.load() : 8);
        emit newColorMinMax(serial, xMin >> shift, xMax >> shift);
    });
    camera->blue = makeCurve(camera->plot, serial, QColor(0, 0, 255, kColourPenAlpha), QColor(0, 0, 255, kBrushAlpha));
    camera->green = makeCurve(camera->plot, serial, QColor(0, 255, 0, kColourPenAlpha), QColor(0, 255, 0, kBrushAlpha));
    camera->red = makeCurve(camera->plot, serial, QColor(255, 0, 0, kColourPenAlpha), QColor(255, 0, 0, kBrushAlpha));
    camera->mono = makeCurve(camera->plot, serial, QColor(colour), withAlpha(QColor(colour), kBrushAlpha));
    for (QwtPlotCurve* curve : {camera->blue, camera->green, camera->red})
        curve->setVisible(false); // until colour counts arrive
    setTitle(*camera, colour, cameraName);
    Camera& added = *camera;
    cameras_[serial] = std::move(camera);
    if (open_)
        startThread(added);
    qInfo().noquote() << QStringLiteral("Added camera entry with serial number: ") + QString::number(serial)
            + QStringLiteral(" and color: ") + colour;
}

QList<DWORD> HistogramWidget::cameras() const
{
    QList<DWORD> serials;
    for (const auto& entry : cameras_)
        serials << entry.first;
    return serials;
}

HistogramPlot* HistogramWidget::plot(DWORD serial) const
{
    const Camera* camera = find(serial);
    return camera != nullptr ? camera->plot : nullptr;
}

void HistogramWidget::setBitDepth(DWORD serial, int bitDepth)
{
    Camera* camera = find(serial);
    if (camera == nullptr)
        return;
    camera->plot->setBitDepth(bitDepth);
    camera->bitDepth = camera->plot->bitDepth();
}

bool HistogramWidget::isThreadRunning(DWORD serial) const
{
    const Camera* camera = find(serial);
    return camera != nullptr && camera->run && camera->thread.joinable();
}

uint64_t HistogramWidget::imagesCounted(DWORD serial) const
{
    const Camera* camera = find(serial);
    return camera != nullptr ? camera->counted.load() : 0;
}

HistogramCounts HistogramWidget::latestCounts(DWORD serial) const
{
    const Camera* camera = find(serial);
    if (camera == nullptr)
        return {};
    const std::lock_guard<std::mutex> lock(countsMutex_);
    return camera->counts;
}

QwtPlotCurve* HistogramWidget::curveOf(DWORD serial, QwtPlotCurve* Camera::*curve) const
{
    const Camera* camera = find(serial);
    return camera != nullptr ? camera->*curve : nullptr;
}

QwtPlotCurve* HistogramWidget::monoCurve(DWORD serial) const
{
    return curveOf(serial, &Camera::mono);
}

QwtPlotCurve* HistogramWidget::redCurve(DWORD serial) const
{
    return curveOf(serial, &Camera::red);
}

QwtPlotCurve* HistogramWidget::greenCurve(DWORD serial) const
{
    return curveOf(serial, &Camera::green);
}

QwtPlotCurve* HistogramWidget::blueCurve(DWORD serial) const
{
    return curveOf(serial, &Camera::blue);
}

void HistogramWidget::onCameraColorChanged(DWORD serial, QString color, QString cameraName)
{
    qInfo().noquote() << QStringLiteral("Changing Line color for camera: ") + QString::number(serial)
            + QStringLiteral(" with new color: ") + color;
    Camera* camera = find(serial);
    if (camera == nullptr)
        return;
    setTitle(*camera, color, cameraName);
    camera->mono->setBrush(QBrush(withAlpha(QColor(color), kBrushAlpha)));
    camera->mono->setPen(QPen(QColor(color), 1.0, Qt::SolidLine));
    camera->plot->replot();
}

void HistogramWidget::onHideShowRequest(DWORD serial, bool visibility)
{
    qInfo().noquote() << QStringLiteral("Histogram hide show request for camera: ") + QString::number(serial)
            + QStringLiteral(". Visibility: ") + (visibility ? QStringLiteral("true") : QStringLiteral("false"));
    Camera* camera = find(serial);
    if (camera == nullptr)
        return;
    camera->visible = visibility;
    bool colour = false;
    {
        const std::lock_guard<std::mutex> lock(countsMutex_);
        colour = camera->counts.colour;
    }
    camera->mono->setVisible(visibility && !colour);
    for (QwtPlotCurve* curve : {camera->red, camera->green, camera->blue})
        curve->setVisible(visibility && colour);
    qDebug() << "Set marker visibility to: " << visibility;
    camera->plot->setMarkersVisible(visibility);
    camera->plot->replot();
}

void HistogramWidget::onAdaptHistMarkers(DWORD serial, int xMin, int xMax)
{
    Camera* camera = find(serial);
    if (camera == nullptr)
        return;
    // The view's range is on the 8-bit display scale; the plot shows raw values.
    const int bits = camera->bitDepth;
    const double scale = bits != 8 ? std::ldexp(1.0, bits - 8) : 1.0;
    camera->plot->setMarkers(xMin * scale, xMax * scale);
}

void HistogramWidget::onAnalysisWindowToggled(bool open)
{
    if (open) {
        qInfo() << "Histogram window toggled ON -> starting threads";
        refresh();
        for (auto& entry : cameras_) {
            Camera& camera = *entry.second;
            camera.run = false;
            queues_.deactivateAll();
            if (camera.thread.joinable()) {
                camera.thread.join();
                qDebug().noquote() << QStringLiteral("Joined Histogram Thread of serial before starting it again: ")
                        + QString::number(camera.serial);
            }
            startThread(camera);
        }
        refreshTimer_.start();
    } else {
        qInfo() << "Histogram window toggled OFF -> stopping threads";
        for (auto& entry : cameras_)
            stopThread(*entry.second, "Joined Histogram Thread of serial on window close: ");
        refreshTimer_.stop();
    }
    open_ = open;
}

void HistogramWidget::startThread(Camera& camera)
{
    camera.run = true;
    camera.thread = std::thread([this, &camera] { histogramLoop(&camera); });
}

void HistogramWidget::stopThread(Camera& camera, const char* joinedMessage)
{
    camera.run = false;
    // A thread waiting in pop returns once the queues are inactive.
    queues_.deactivateAll();
    if (camera.thread.joinable()) {
        camera.thread.join();
        qDebug().noquote() << QString::fromLatin1(joinedMessage) + QString::number(camera.serial);
    }
}

void HistogramWidget::histogramLoop(Camera* camera)
{
    setThreadName("histogram");
    qInfo().noquote() << QStringLiteral("Started Histogram Thread of serial: ") + QString::number(camera->serial);
    while (camera->run) {
        // Sleeps while the queue is empty or inactive; a deactivation (the stop) wakes it.
        std::optional<vyk::Image> image = queues_.waitPop(camera->serial, kIdleCheck);
        if (!image)
            continue;
        HistogramCounts counts = countHistogram(*image, static_cast<unsigned>(camera->bitDepth.load()));
        queues_.recycle(camera->serial, std::move(*image)); // its buffers serve the next fetch
        {
            const std::lock_guard<std::mutex> lock(countsMutex_);
            camera->counts = std::move(counts);
            camera->fresh = true;
        }
        ++camera->counted;
    }
}

void HistogramWidget::onCameraError(DWORD serial)
{
    const auto it = cameras_.find(serial);
    if (it == cameras_.end())
        return;
    Camera& camera = *it->second;
    camera.run = false;
    queues_.deactivate(serial);
    if (camera.thread.joinable()) {
        if (camera.thread.get_id() == std::this_thread::get_id()) {
            // Cannot happen from the GUI; a thread cannot join itself, so its entry must stay.
            qWarning() << "onCameraError called from the histogram thread itself; plot kept";
            return;
        }
        camera.thread.join();
        qInfo().noquote() << QStringLiteral("Joined Histogram Thread of serial on cameraError: ")
                + QString::number(serial);
    }
    layout_->removeWidget(camera.plot);
    camera.plot->hide();
    camera.plot->deleteLater();
    cameras_.erase(it);
}

void HistogramWidget::refresh()
{
    for (auto& entry : cameras_) {
        Camera& camera = *entry.second;
        HistogramCounts counts;
        {
            const std::lock_guard<std::mutex> lock(countsMutex_);
            if (!camera.fresh)
                continue;
            camera.fresh = false;
            counts = camera.counts; // implicitly shared lists: no copy of the bins
        }
        const QVector<double>& widest = counts.colour ? counts.red : counts.mono;
        if (xValues_.size() < widest.size()) {
            xValues_.resize(widest.size());
            for (int i = 0; i < xValues_.size(); ++i)
                xValues_[i] = i;
        }
        const auto xFor = [this](const QVector<double>& y) { return xValues_.mid(0, y.size()); };
        if (counts.colour) {
            // The 256 colour bins are display bytes; spread them over the camera's value axis,
            // where the markers stand, as the display range maps bytes onto raw values.
            QVector<double> x = xFor(counts.red);
            const double step = double(1 << shiftFor(camera.bitDepth.load()));
            for (double& value : x)
                value *= step;
            camera.red->setSamples(x, counts.red);
            camera.green->setSamples(x, counts.green);
            camera.blue->setSamples(x, counts.blue);
        } else {
            camera.mono->setSamples(xFor(counts.mono), counts.mono);
        }
        camera.mono->setVisible(camera.visible && !counts.colour);
        for (QwtPlotCurve* curve : {camera.red, camera.green, camera.blue})
            curve->setVisible(camera.visible && counts.colour);
        camera.plot->replot();
    }
}

void HistogramWidget::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    emit visibilityChanged(true);
}

void HistogramWidget::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    emit visibilityChanged(false);
}
