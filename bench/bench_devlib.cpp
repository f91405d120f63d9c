// Simulated camera and recorder on the default 2048 x 2048 16-bit camera: how fast the
// simulator renders frames on one core compared with the camera's own maximum frame
// rate, whether a memory recording at full rate loses frames, and how fast the file
// writers store frames compared with a plain sequential write of the same bytes into the
// same folder, both until the writes returned and until the data is on the disk (the
// ratios use the latter). Prints figures; never fails. Writes only below a temporary folder.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

#include "FileSequenceWriter.h"
#include "kv2_cam.h"
#include "vyk_recorder.h"
#include "vyk_sim_frames.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr uint32_t kRecordFrames = 1000; // memory recording length
constexpr uint32_t kRingImages = 32;     // ring buffer of the memory recording
constexpr uint32_t kFileFrames = 48;     // frames per file throughput figure
constexpr double kRenderSeconds = 3.0;   // time spent measuring the render rate
constexpr int kWriteRounds = 6;          // timed rounds of the file writing figures

double secondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

bool check(int32_t rc, const char* what)
{
    if (VYK_FAILED(rc)) {
        char text[128] = {};
        VYK_GetErrorText(uint32_t(rc), text, sizeof text);
        std::printf("%s failed: 0x%08x %s\n", what, uint32_t(rc), text);
        return false;
    }
    return true;
}

// The first camera of the built-in camera set (the 2048 x 2048 16-bit one).
VYK_HANDLE openDefaultCamera()
{
    VYK_OpenStruct request{};
    request.wSize = sizeof(request);
    request.wInterfaceType = VYK_INTERFACE_USB3;
    request.wCameraNumber = 0;
    request.wOpenMode = VYK_OPEN_BY_NUMBER;
    VYK_HANDLE camera = nullptr;
    return check(VYK_OpenCamera(&camera, &request), "open camera") ? camera : nullptr;
}

// Frames per second the camera allows at its shortest exposure and fastest pixel rate.
double cameraMaxFps(VYK_HANDLE camera)
{
    VYK_Description description{};
    description.wSize = sizeof(description);
    check(VYK_GetCameraDescription(camera, &description), "description");
    const uint32_t fastest = *std::max_element(std::begin(description.dwPixelRateDESC),
                                               std::end(description.dwPixelRateDESC));
    check(VYK_SetPixelRate(camera, fastest), "set pixel rate");
    check(VYK_SetDelayExposureTime(camera, 0, description.dwMinExposDESC, VYK_TIMEBASE_MS, VYK_TIMEBASE_NS),
          "set exposure");
    check(VYK_ArmCamera(camera), "arm");
    uint32_t seconds = 0, nanoseconds = 0;
    check(VYK_GetFrameTime(camera, &seconds, &nanoseconds), "frame time");
    const double period = seconds + nanoseconds * 1e-9;
    return period > 0.0 ? 1.0 / period : 0.0;
}

// Frames the simulator renders per second on this thread.
double renderFps(VYK_HANDLE camera)
{
    vyksim::SimFrame frame;
    vyksim::simRenderFrame(camera, frame); // warm-up
    uint64_t frames = 0;
    const auto start = Clock::now();
    while (secondsSince(start) < kRenderSeconds) {
        if (!check(vyksim::simRenderFrame(camera, frame), "render"))
            return 0.0;
        ++frames;
    }
    return double(frames) / secondsSince(start);
}

// Records kRecordFrames at full rate into a memory ring; prints the figures, returns lost frames.
uint64_t memoryRecording(VYK_HANDLE camera, double cameraFps)
{
    VYK_RECORDER recorder = nullptr;
    uint32_t capacity = 0;
    if (!check(VYK_RecorderCreate(&recorder, &camera, 1, VYK_RECORDER_MODE_MEMORY, nullptr, &capacity), "create"))
        return UINT64_MAX;
    const uint32_t ring = std::min(kRingImages, capacity);
    uint64_t delivered = 0, lost = UINT64_MAX;
    if (check(VYK_RecorderInit(recorder, ring, VYK_RECORDER_MEMORY_RING, 0, nullptr, 0), "init") &&
        check(VYK_RecorderStart(recorder), "start")) {
        const auto start = Clock::now();
        uint32_t recorded = 0, running = 1;
        int32_t error = 0;
        while (recorded < kRecordFrames && running && secondsSince(start) < 120.0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
            VYK_RecorderGetStatus(recorder, camera, &running, &recorded, nullptr, &error);
        }
        const double elapsed = secondsSince(start);
        VYK_RecorderStop(recorder);
        VYK_RecorderGetStatus(recorder, camera, nullptr, &recorded, nullptr, &error);
        VYK_RecorderGetFrameCounts(recorder, camera, &delivered, &lost);
        // The simulator does not number images it had no time to render, so a frame thread
        // that falls behind shows as a rate below the camera's, not as lost frames.
        const double due = elapsed * cameraFps;
        std::printf("memory recording: %u frames into a ring of %u in %.2f s = %.1f fps (camera %.1f fps, "
                    "%.0f frames due on its schedule), delivered %llu, lost %llu, error status 0x%08x, "
                    "capacity %u images\n",
                    recorded, ring, elapsed, recorded / elapsed, cameraFps, due, (unsigned long long)delivered,
                    (unsigned long long)lost, uint32_t(error), capacity);
    }
    VYK_RecorderDelete(recorder);
    return lost;
}

// Throughput of one way of writing a recording, in MB/s: until the writer returned
// (the bytes may still sit in the page cache) and until they are on the disk.
struct Throughput {
    double cached = 0.0;  // MB/s until the last write returned and the files were closed
    double durable = 0.0; // MB/s until every written file was flushed to the disk
};

// Flushes the file system holding the named files to the disk, once for all of them; false
// when that failed. One flush rather than one per file: a recording of many single-image
// files is on the disk when all of them are, and flushing them one by one would measure the
// file system's journal commits per file (a plain write split into as many files scores as
// low) instead of the writer.
bool flushFiles(const std::vector<std::string>& names)
{
    const int fd = ::open(names.front().c_str(), O_RDONLY);
    const bool ok = fd >= 0 && ::syncfs(fd) == 0;
    if (fd >= 0)
        ::close(fd);
    return ok;
}

// Times write() (which returns the names of the files it wrote) from a clean page cache:
// the dirty pages of earlier figures are flushed first, outside the timing, so that no
// figure pays for the writeback of another, and the files are removed after timing, so
// that no figure pays for reclaiming the cached pages of another (where the process's
// memory is limited, the kernel reclaims them during the next writes).
Throughput timedWrite(uint64_t bytes, const std::function<std::vector<std::string>()>& write)
{
    ::sync();
    const auto start = Clock::now();
    const std::vector<std::string> names = write();
    const double cached = secondsSince(start);
    const bool flushed = !names.empty() && flushFiles(names);
    const double durable = secondsSince(start);
    for (const std::string& name : names)
        std::remove(name.c_str());
    if (!flushed)
        return {};
    return {bytes / 1e6 / cached, bytes / 1e6 / durable};
}

// The pixels of the kFileFrames frames of one figure (the rendered frames, cycled), each in a
// buffer of its own as a recording's frames are: every figure writes from memory prepared the
// same way, before its timing.
std::vector<std::vector<uint16_t>> recordingPixels(const std::vector<vyksim::SimFrame>& frames)
{
    std::vector<std::vector<uint16_t>> pixels;
    for (uint32_t i = 0; i < kFileFrames; ++i)
        pixels.push_back(frames[i % frames.size()].pixels);
    return pixels;
}

// The file writer storing frames as fast as it accepts them. The frames are handed over by
// move: the figure is the writer's own, without the copy a producer makes when it only lends
// its frame (on a loaded machine that copy alone can halve the figure, since the plain write
// has no such copy).
Throughput writerThroughput(vyksim::FileKind kind, const std::string& path, const std::vector<vyksim::SimFrame>& frames)
{
    const vyksim::SimFrame& first = frames.front();
    const vyksim::FileFrameFormat format{first.width, first.height, first.bitDepth};
    const uint64_t bytes = uint64_t(first.width) * first.height * 2 * kFileFrames;
    std::vector<std::vector<uint16_t>> owned = recordingPixels(frames);
    // Outlives the timing: releasing its spare buffers is no part of writing the files.
    std::unique_ptr<vyksim::FileSequenceWriter> writer;
    return timedWrite(bytes, [&] {
        std::vector<std::string> names;
        // With the facts a recording has, so the figure includes writing the metadata.
        vyksim::AcquisitionFacts facts;
        facts.cameraName = "bench camera";
        facts.serial = 1;
        facts.exposureS = 0.01;
        writer = std::make_unique<vyksim::FileSequenceWriter>(kind, path, format, kFileFrames, 16,
                                                              vyksim::FileWriterOptions{}, facts);
        for (uint32_t i = 0; i < kFileFrames; ++i) {
            const vyksim::SimFrame& f = frames[i % frames.size()];
            // A full buffer refuses the frame (and leaves it to us); offer it again until the
            // disk made room. A taken frame's place in owned receives a written frame's
            // buffer, released after the timing like the plain write's buffers.
            while (!writer->push(std::move(owned[i]), f.metadata.data(), f.timestamp.data())) {
                if (writer->errorStatus() == VYK_ERR_FILE_IO) {
                    std::printf("file write failed\n");
                    return names;
                }
                std::this_thread::sleep_for(std::chrono::microseconds(200));
            }
        }
        writer->finish();
        const uint32_t files = kind == vyksim::FileKind::MultiTiff ? 1 : kFileFrames;
        for (uint32_t i = 0; i < files; ++i)
            names.push_back(writer->fileNameFor(i));
        return names;
    });
}

// The same frames written into one file with plain sequential writes.
Throughput plainThroughput(const std::string& path, const std::vector<vyksim::SimFrame>& frames)
{
    const vyksim::SimFrame& first = frames.front();
    const size_t frameBytes = size_t(first.width) * first.height * 2;
    const std::vector<std::vector<uint16_t>> pixels = recordingPixels(frames);
    return timedWrite(uint64_t(frameBytes) * kFileFrames, [&] {
        std::ofstream out(path, std::ios::binary);
        for (const std::vector<uint16_t>& frame : pixels)
            out.write(reinterpret_cast<const char*>(frame.data()), frameBytes);
        out.close();
        return out ? std::vector<std::string>{path} : std::vector<std::string>{};
    });
}

// Records frames through the recorder into a multi-page TIFF at the camera's rate.
void fileRecording(VYK_HANDLE camera, const std::string& path)
{
    VYK_RECORDER recorder = nullptr;
    uint32_t capacity = 0;
    if (!check(VYK_RecorderCreate(&recorder, &camera, 1, VYK_RECORDER_MODE_FILE, path.c_str(), &capacity),
               "create file recorder"))
        return;
    if (check(VYK_RecorderInit(recorder, kFileFrames, VYK_RECORDER_FILE_MULTITIFF, 1, nullptr, 0), "init") &&
        check(VYK_RecorderStart(recorder), "start")) {
        const auto start = Clock::now();
        uint32_t running = 1, recorded = 0;
        int32_t error = 0;
        double acquired = 0.0; // seconds until the last image was taken
        while (running && secondsSince(start) < 60.0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            VYK_RecorderGetStatus(recorder, camera, &running, &recorded, nullptr, &error);
            if (acquired == 0.0 && recorded >= kFileFrames)
                acquired = secondsSince(start);
        }
        const double closed = secondsSince(start);
        uint64_t delivered = 0, lost = 0;
        VYK_RecorderGetFrameCounts(recorder, camera, &delivered, &lost);
        std::printf("recorder multi-page TIFF at camera rate: %u frames taken in %.2f s = %.1f fps, files closed "
                    "after %.2f s = %.0f MB/s overall, delivered %llu, lost %llu, error status 0x%08x\n",
                    recorded, acquired, acquired > 0.0 ? recorded / acquired : 0.0, closed,
                    double(recorded) * 2048.0 * 2048.0 * 2.0 / 1e6 / closed, (unsigned long long)delivered,
                    (unsigned long long)lost, uint32_t(error));
    }
    VYK_RecorderDelete(recorder);
}

} // namespace

int main()
{
    unsetenv("RASTEL_SIM_CONFIG"); // the built-in camera set
    if (!check(VYK_InitializeLib(), "initialise"))
        return 0;
    VYK_HANDLE camera = openDefaultCamera();
    if (camera == nullptr)
        return 0;
    uint32_t width = 0, height = 0;
    uint16_t bits = 0;
    vyksim::simImageFormat(camera, &width, &height, &bits);
    std::printf("camera: %u x %u, %u bit\n", width, height, bits);

    const double cameraFps = cameraMaxFps(camera);
    const double simFps = renderFps(camera);
    std::printf("frame generation on one core: %.1f fps; camera maximum %.1f fps\n", simFps, cameraFps);

    const uint64_t lost = memoryRecording(camera, cameraFps);

    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("bench_devlib_" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    std::vector<vyksim::SimFrame> frames(8);
    for (auto& f : frames)
        vyksim::simRenderFrame(camera, f);
    // One untimed round first: the first large writes of the process also pay for reclaiming
    // what the page cache held before, which no figure should carry. Then kWriteRounds
    // rounds, every other one in reverse order, keep the best of each: the disk is shared.
    Throughput plain, tiff, multi;
    const auto keepBest = [](Throughput& best, const Throughput& t) {
        best.cached = std::max(best.cached, t.cached);
        best.durable = std::max(best.durable, t.durable);
    };
    for (int round = 0; round <= kWriteRounds; ++round) {
        const std::string tag = std::to_string(round);
        Throughput sink;
        const auto keep = [&](Throughput& best, const Throughput& t) { keepBest(round == 0 ? sink : best, t); };
        const std::function<void()> figures[3] = {
            [&] { keep(plain, plainThroughput((folder / ("plain" + tag + ".bin")).string(), frames)); },
            [&] {
                keep(tiff, writerThroughput(vyksim::FileKind::Tiff, (folder / ("single" + tag + ".tif")).string(),
                                            frames));
            },
            [&] {
                keep(multi, writerThroughput(vyksim::FileKind::MultiTiff, (folder / ("multi" + tag + ".tif")).string(),
                                             frames));
            },
        };
        for (int i = 0; i < 3; ++i)
            figures[round % 2 == 0 ? i : 2 - i]();
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder);
    }
    const double megabytes = double(width) * height * 2 * kFileFrames / 1e6;
    std::printf("file writing of %u frames (%.0f MB), best of %d, until written: TIFF files %.0f MB/s, multi-page "
                "TIFF %.0f MB/s, plain sequential write %.0f MB/s\n",
                kFileFrames, megabytes, kWriteRounds, tiff.cached, multi.cached, plain.cached);
    std::printf("file writing of %u frames (%.0f MB), best of %d, until on disk: TIFF files %.0f MB/s, multi-page "
                "TIFF %.0f MB/s, plain sequential write %.0f MB/s\n",
                kFileFrames, megabytes, kWriteRounds, tiff.durable, multi.durable, plain.durable);
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    fileRecording(camera, (folder / "recorded.tif").string());
    std::filesystem::remove_all(folder);

    VYK_CloseCamera(camera);
    VYK_CleanupLib();
    // Writer throughput over a plain sequential write of the same bytes to the same folder,
    // in two measurements: "until on disk" (the file system flushed once) keeps the plain
    // names tiff_vs_raw_write and multitiff_vs_raw_write; "until written" (the last write
    // returned and the files were closed, the bytes possibly still in the page cache) adds
    // "_cached" to them. Single TIFF files (tiff_) and one multi-page TIFF (multitiff_).
    const auto ratio = [](double writer, double baseline) { return baseline > 0.0 ? writer / baseline : 0.0; };
    std::printf("multitiff_vs_raw_write=%.3f\n", ratio(multi.durable, plain.durable));
    std::printf("multitiff_vs_raw_write_cached=%.3f\n", ratio(multi.cached, plain.cached));
    std::printf("sim_fps_vs_camera_fps=%.3f\n", cameraFps > 0.0 ? simFps / cameraFps : 0.0);
    std::printf("frames_lost=%llu\n", (unsigned long long)lost);
    std::printf("tiff_vs_raw_write=%.3f\n", ratio(tiff.durable, plain.durable));
    std::printf("tiff_vs_raw_write_cached=%.3f\n", ratio(tiff.cached, plain.cached));
    return 0;
}
