// Cost of the image view's display path: 2048 x 2048 Mono8 and BGR8 images are pushed into
// the view queue as fast as the view takes them (a new one whenever the queue is empty);
// prints frames displayed per second and the time from push to the end of the render that
// showed the image. Run under xvfb-run; the last line is view_fps=N for Mono8.
#include "acquisition/ImageQueueSet.h"
#include "view/VtkViewWidget.h"

#include <QApplication>
#include <QSurfaceFormat>
#include <QTimer>

#include <vtkCallbackCommand.h>
#include <vtkRenderWindow.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>
#include <vector>

#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

constexpr uint64_t kSize = 2048;
constexpr auto kRunTime = std::chrono::seconds(4);

struct Run {
    DWORD serial;
    vyk::DataFormat format;
    const char* name;
};

struct Measurement {
    std::mutex mutex;                          // guards pushedAt
    std::vector<Clock::time_point> pushedAt;   // by recorder number
    std::vector<double> latenciesMs;           // GUI thread only
    uint32_t lastShown = 0;                    // GUI thread only
    VtkViewWidget* view = nullptr;
    uint64_t renders = 0;                      // GUI thread only; renders seen
};

vyk::Image benchImage(vyk::DataFormat format)
{
    vyk::Image image;
    image.reshape(vyk::Roi{1, 1, kSize, kSize}, format, vyk::RawFormat::Word);
    auto& raw = image.rawData16();
    for (std::size_t i = 0; i < raw.size(); ++i)
        raw[i] = static_cast<uint16_t>((i * 7) & 0x0FFF);
    auto& data = image.data8();
    for (std::size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<uint8_t>((i * 13) >> 4);
    return image;
}

void onRenderEnd(vtkObject*, unsigned long, void* clientData, void*)
{
    auto* m = static_cast<Measurement*>(clientData);
    ++m->renders;
    const auto image = m->view->displayedImage();
    if (!image)
        return;
    const uint32_t number = image->recorderImageNumber();
    if (number == 0 || number == m->lastShown)
        return;
    m->lastShown = number;
    std::lock_guard<std::mutex> lock(m->mutex);
    if (number < m->pushedAt.size()) {
        const auto latency = Clock::now() - m->pushedAt[number];
        m->latenciesMs.push_back(std::chrono::duration<double, std::milli>(latency).count());
    }
}

double measure(const Run& run)
{
    VtkViewWidget view(nullptr, kSize, kSize);
    vyk::Description description;
    description.bit_resolution = 12;
    view.addCameraInfo(run.serial, vyk::Roi{1, 1, kSize, kSize}, description);
    view.createImagePipeline();
    view.addActorsToRenderer();
    view.resize(800, 800);
    view.show();

    Measurement m;
    m.view = &view;
    auto callback = vtkSmartPointer<vtkCallbackCommand>::New();
    callback->SetCallback(&onRenderEnd);
    callback->SetClientData(&m);
    view.renderWindow()->AddObserver(vtkCommand::EndEvent, callback);

    vyk::Image image = benchImage(run.format);
    std::atomic<bool> producing{true};
    std::thread producer([&] {
        uint32_t number = 0;
        while (producing.load()) {
            if (viewQueues().size(run.serial) != 0) {
                std::this_thread::sleep_for(std::chrono::microseconds(200));
                continue;
            }
            image.setRecorderImageNumber(++number);
            {
                std::lock_guard<std::mutex> lock(m.mutex);
                m.pushedAt.resize(number + 1);
                m.pushedAt[number] = Clock::now();
            }
            viewQueues().push(run.serial, image);
        }
    });

    // Let the first frames warm up the pipeline, then count.
    QTimer::singleShot(500, [&] {
        m.latenciesMs.clear();
        m.renders = 0;
    });
    const auto start = Clock::now() + std::chrono::milliseconds(500);
    QTimer::singleShot(std::chrono::duration_cast<std::chrono::milliseconds>(kRunTime).count() + 500,
                       qApp, &QCoreApplication::quit);
    qApp->exec();
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    producing.store(false);
    producer.join();

    std::vector<double> latencies = m.latenciesMs;
    std::sort(latencies.begin(), latencies.end());
    const double fps = latencies.size() / seconds;
    const auto percentile = [&](double p) {
        return latencies.empty() ? 0.0 : latencies[std::min(latencies.size() - 1, std::size_t(p * latencies.size()))];
    };
    std::printf("%-6s %llux%llu: %6.1f frames/s, push-to-rendered latency median %.1f ms, p90 %.1f ms, max %.1f ms"
                " (%zu frames, %llu renders)\n",
                run.name, static_cast<unsigned long long>(kSize), static_cast<unsigned long long>(kSize), fps,
                percentile(0.5), percentile(0.9), latencies.empty() ? 0.0 : latencies.back(), latencies.size(), static_cast<unsigned long long>(m.renders));
    std::fflush(stdout);
    viewQueues().deactivate(run.serial);
    return fps;
}

}  // namespace

int main(int argc, char** argv)
{
    // Without a display (make bench) the program runs itself again under a virtual X server.
    if (!std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY") && !std::getenv("QT_QPA_PLATFORM")) {
        execlp("xvfb-run", "xvfb-run", "-a", "-s", "-screen 0 1920x1080x24", argv[0], static_cast<char*>(nullptr));
        std::printf("bench_view needs a display or xvfb-run; nothing measured\n");
        return 0;
    }
    QSurfaceFormat::setDefaultFormat(QVTKOpenGLNativeWidget::defaultFormat());
    QApplication app(argc, argv);
    // The view logs at debug level for every turn of its threads; keep the figures readable.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& message) {
        if (type == QtWarningMsg || type == QtCriticalMsg || type == QtFatalMsg)
            std::fprintf(stderr, "%s\n", qPrintable(message));
    });
    const double bgrFps = measure(Run{90002, vyk::DataFormat::BGR8, "BGR8"});
    const double monoFps = measure(Run{90001, vyk::DataFormat::Mono8, "Mono8"});
    (void)bgrFps;
    std::printf("view_fps=%.0f\n", monoFps);
    return 0;
}
