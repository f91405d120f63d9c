// Remote image throughput over loopback: 2048 x 2048 Mono16 images fetched from the device
// server through vyk::RemoteCamera, beside plain HTTP downloads of the same number of bytes
// from an httplib server in the same process (a new connection per request, as the remote
// camera does). Then a 500-image sequence is recorded remotely and read back in full; every
// image must arrive with its own recorder number. Last, a 10 s remote preview through the
// acquisition engine at 256 x 256 and 50 frames/s: the image requests the server answered
// per distinct image that reached the view queue. Prints figures; never fails. Writes only
// below a temporary folder.
#include "acquisition/CameraAcquisition.h"
#include "acquisition/ImageQueueSet.h"
#include "camera/AnyCamera.h"
#include "camera/CameraException.h"
#include "camera/Image.h"
#include "camera/RemoteCamera.h"
#include "server/DeviceServer.h"

#include <QCoreApplication>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <httplib.h>
#include <nlohmann/json.hpp>

namespace {

using Clock = std::chrono::steady_clock;

constexpr uint32_t kFetches = 40;          // images fetched per throughput figure
constexpr uint32_t kRingImages = 8;        // ring buffer the fetched images come from
constexpr uint32_t kSequenceImages = 500;  // length of the lost-frame check
constexpr uint64_t kSide = 2048;           // throughput images: kSide x kSide Mono16
constexpr uint64_t kSequenceSide = 256;    // sequence images: small enough to keep in memory
constexpr auto kPreviewTime = std::chrono::seconds(10); // length of the remote preview
constexpr double kPreviewExposure_s = 0.02;             // 50 frames/s in the remote preview

double secondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

struct Rate {
    double imagesPerSecond = 0.0;
    double megabytesPerSecond = 0.0;
};

Rate rateOf(uint32_t images, uint64_t bytes, double seconds)
{
    return {images / seconds, static_cast<double>(bytes) / seconds / 1e6};
}

// Fetches kFetches images of the ring buffer through the remote camera.
Rate remoteFetches(vyk::RemoteCamera& camera, uint64_t& bytes)
{
    vyk::Image image;
    bytes = 0;
    const auto start = Clock::now();
    for (uint32_t i = 0; i < kFetches; ++i) {
        camera.image(image, i % kRingImages, vyk::DataFormat::Mono16);
        bytes += image.rawData16().size() * sizeof(uint16_t);
    }
    return rateOf(kFetches, bytes, secondsSince(start));
}

// Downloads kFetches bodies of imageBytes from a plain httplib server on loopback.
Rate plainDownloads(std::size_t imageBytes)
{
    const std::vector<char> blob(imageBytes, '\x5a');
    httplib::Server server;
    server.Get("/blob", [&blob](const httplib::Request&, httplib::Response& response) {
        response.set_content_provider(blob.size(), "application/octet-stream",
                                      [&blob](size_t offset, size_t length, httplib::DataSink& sink) {
                                          return sink.write(blob.data() + offset, length);
                                      });
    });
    const int port = server.bind_to_any_port("127.0.0.1");
    std::thread listener([&server] { server.listen_after_bind(); });
    while (!server.is_running())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));

    std::vector<char> target(imageBytes);
    uint64_t bytes = 0;
    const auto start = Clock::now();
    for (uint32_t i = 0; i < kFetches; ++i) {
        httplib::Client client("127.0.0.1", port);
        std::size_t length = 0;
        client.Get("/blob", [&](const char* data, std::size_t size) {
            if (length + size <= target.size())
                std::copy(data, data + size, target.begin() + static_cast<std::ptrdiff_t>(length));
            length += size;
            return true;
        });
        bytes += length;
    }
    const Rate rate = rateOf(kFetches, bytes, secondsSince(start));
    server.stop();
    listener.join();
    return rate;
}

// Records kSequenceImages remotely and reads them all back; the images whose recorder
// number is missing or repeated count as lost.
uint32_t sequenceFramesLost(vyk::RemoteCamera& camera)
{
    vyk::Configuration configuration = camera.getConfiguration();
    const uint64_t x0 = (kSide - kSequenceSide) / 2 + 1;
    configuration.roi = vyk::Roi{x0, x0, x0 + kSequenceSide - 1, x0 + kSequenceSide - 1};
    configuration.exposure_time_s = 0.0001;
    camera.setConfiguration(configuration);
    camera.record(kSequenceImages, vyk::RecordMode::Sequence);
    const uint32_t recorded = camera.getRecordedImageCount();
    std::set<uint32_t> numbers;
    vyk::Image image;
    for (uint32_t index = 0; index < recorded; ++index) {
        camera.image(image, index, vyk::DataFormat::Mono16);
        numbers.insert(image.recorderImageNumber());
    }
    const uint32_t distinct = static_cast<uint32_t>(numbers.size());
    return distinct >= kSequenceImages ? 0 : kSequenceImages - distinct;
}

// Runs a remote preview of the camera on port for kPreviewTime (the ROI the sequence left, a
// 256 x 256 crop) with one consumer popping the view queue; returns the image requests the
// server answered per distinct image the consumer saw.
double remoteRequestsPerFrame(devserver::DeviceServer& server, uint16_t port, uint32_t& distinct)
{
    auto camera = std::make_shared<vyk::AnyCamera>(std::make_unique<vyk::RemoteCamera>("127.0.0.1", port));
    camera->setExposureTime(kPreviewExposure_s);
    const uint32_t serial = camera->getSerial();
    CameraAcquisition acquisition(camera);
    acquisition.settings().setPreview();
    acquisition.onHistVisibleChanged(false); // the histogram is not part of this figure

    std::atomic<bool> consuming{true};
    std::atomic<bool> counting{false};
    std::atomic<uint32_t> frames{0};
    std::thread consumer([&] {
        uint32_t last = 0xFFFFFFFFu;
        while (consuming) {
            const auto image = viewQueues().pop(serial, std::chrono::milliseconds(100));
            if (!image)
                continue;
            if (counting && image->recorderImageNumber() != last)
                ++frames;
            last = image->recorderImageNumber();
        }
    });
    acquisition.startCameraThread();
    std::this_thread::sleep_for(std::chrono::milliseconds(500)); // past the start phase
    const uint64_t servedAtStart = server.camera(0).imagesServed();
    counting = true;
    std::this_thread::sleep_for(kPreviewTime);
    counting = false;
    const uint64_t served = server.camera(0).imagesServed() - servedAtStart;
    acquisition.stopCameraThreads();
    consuming = false;
    consumer.join();
    distinct = frames;
    return distinct > 0 ? static_cast<double>(served) / distinct : 0.0;
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv); // the acquisition engine's signals need one
    std::random_device random;
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("rastel_bench_remote_" + std::to_string(random()));
    std::filesystem::create_directories(folder);
    const nlohmann::json devices = {
        {"cameras",
         {{{"serial", 9001},
           {"sensor", {{"width", kSide}, {"height", kSide}, {"bits", 16}}},
           {"pixel_rates_hz", {400000000}},
           {"exposure", {{"min_ns", 10000}, {"max_ms", 1000}, {"step_ns", 10}}}}}},
        {"light_sources", nlohmann::json::array()}};
    std::ofstream(folder / "devices.json") << devices.dump();

    devserver::ServerOptions options;
    options.basePort = 0;
    options.discoveryPort = 0;
    options.configFile = (folder / "devices.json").string();
    options.dataDir = folder / "data";
    options.lightSources = false;
    options.logLevel = devserver::LogLevel::Error;

    try {
        devserver::DeviceServer server(options);
        server.start();
        vyk::RemoteCamera camera("127.0.0.1", server.endpoints().at(0).port);
        camera.setExposureTime(0.001);
        camera.record(kRingImages, vyk::RecordMode::RingBuffer);
        camera.waitForFirstImage(true, 30.0);
        while (camera.getRecordedImageCount() < kRingImages)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        camera.stop();

        uint64_t bytes = 0;
        const Rate remote = remoteFetches(camera, bytes);
        const Rate plain = plainDownloads(static_cast<std::size_t>(bytes / kFetches));
        std::printf("remote image fetch (%llux%llu Mono16, %u images): %.1f images/s, %.1f MB/s\n",
                    static_cast<unsigned long long>(kSide), static_cast<unsigned long long>(kSide), kFetches,
                    remote.imagesPerSecond, remote.megabytesPerSecond);
        std::printf("plain HTTP download of the same bytes: %.1f downloads/s, %.1f MB/s\n", plain.imagesPerSecond,
                    plain.megabytesPerSecond);
        std::printf("remote_vs_plain_http=%.3f\n", remote.megabytesPerSecond / plain.megabytesPerSecond);
        std::printf("remote_frames_lost=%u\n", sequenceFramesLost(camera));
        uint32_t distinct = 0;
        const double requestsPerFrame = remoteRequestsPerFrame(server, server.endpoints().at(0).port, distinct);
        std::printf("remote preview (256x256 Mono8, %.0f frames/s, %lld s): %u distinct images\n",
                    1.0 / kPreviewExposure_s, static_cast<long long>(kPreviewTime.count()), distinct);
        std::printf("remote_requests_per_frame=%.3f\n", requestsPerFrame);
    } catch (const std::exception& e) {
        std::printf("bench_remote failed: %s\n", e.what());
    }
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
    return 0;
}
