// GenICam camera throughput: good frames per second that Rastel's recorder takes from Aravis's
// GigE Vision fake camera on 127.0.0.1, against arv-camera-test-0.8's own good frames per
// second, same region, pixel format (Mono16) and frame rate, alternating in one run.
//
// Prints genicam_vs_aravis=R (Rastel / Aravis) and genicam_frames_lost=N, the frames the
// recorder counted lost during Rastel's runs, beside genicam_aravis_incomplete=M, what Aravis
// reported incomplete or dropped in the same runs (the two should be equal).
#include "kv2_cam.h"
#include "vyk_recorder.h"
#include "vyk_sim_frames.h"

#include <netinet/in.h>
#include <arpa/inet.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

extern char** environ;

namespace {

constexpr const char* kAddress = "127.0.0.1";
constexpr uint16_t kControlPort = 3956;  // GVCP, fixed
constexpr int kWidth = 1024;
constexpr int kHeight = 1024;
constexpr int kFrameRateHz = 50;
constexpr int kSeconds = 4;              // length of one run
constexpr int kRounds = 3;

// Whether nothing listens on the GigE Vision control port of 127.0.0.1.
bool controlPortFree()
{
    const int fd = socket(AF_INET, SOCK_DGRAM, 0);
    if (fd < 0)
        return false;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(kControlPort);
    inet_pton(AF_INET, kAddress, &address.sin_addr);
    const bool free = bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    close(fd);
    return free;
}

// The fake camera as a child process, stopped on destruction.
class FakeCamera {
public:
    FakeCamera()
    {
        char program[] = "arv-fake-gv-camera-0.8";
        char option[] = "-i";
        char address[] = "127.0.0.1";
        char* argv[] = {program, option, address, nullptr};
        if (posix_spawnp(&pid_, program, nullptr, nullptr, argv, environ) != 0)
            pid_ = -1;
    }
    ~FakeCamera()
    {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
    }
    FakeCamera(const FakeCamera&) = delete;
    FakeCamera& operator=(const FakeCamera&) = delete;
    bool running() const { return pid_ > 0; }

private:
    pid_t pid_ = -1;
};

struct RastelRun {
    double goodPerSecond = 0.0;
    uint64_t lost = 0;           // counted by the recorder
    uint64_t aravisLost = 0;     // incomplete and dropped, as Aravis reports them
    bool ok = false;
};

bool check(int32_t rc, const char* what)
{
    if (rc != VYK_NOERROR)
        std::fprintf(stderr, "bench_genicam: %s failed: 0x%08x\n", what, uint32_t(rc));
    return rc == VYK_NOERROR;
}

VYK_HANDLE openFake()
{
    // The built-in simulated set has one GigE camera (number 0); the fake follows it.
    VYK_OpenStruct request{};
    request.wSize = sizeof request;
    request.wInterfaceType = VYK_INTERFACE_GIGE;
    request.wOpenMode = VYK_OPEN_BY_NUMBER;
    request.wCameraNumber = 1;
    VYK_HANDLE camera = nullptr;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (VYK_OpenCamera(&camera, &request) != VYK_NOERROR) {
        if (std::chrono::steady_clock::now() > deadline)
            return nullptr;
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    return camera;
}

RastelRun runRastel()
{
    RastelRun run;
    VYK_HANDLE camera = openFake();
    if (camera == nullptr) {
        std::fprintf(stderr, "bench_genicam: the fake camera does not answer\n");
        return run;
    }
    VYK_RECORDER recorder = nullptr;
    uint32_t capacity = 0;
    uint64_t delivered = 0;
    const bool ready = check(VYK_SetROI(camera, 1, 1, kWidth, kHeight), "ROI")
        && check(VYK_SetPixelFormat(camera, VYK_PIXELFORMAT_16BIT), "pixel format")
        && check(VYK_SetDelayExposureTime(camera, 0, 1000000 / kFrameRateHz, VYK_TIMEBASE_US, VYK_TIMEBASE_US),
                 "exposure")
        && check(VYK_ArmCamera(camera), "arm")
        && check(VYK_RecorderCreate(&recorder, &camera, 1, VYK_RECORDER_MODE_MEMORY, nullptr, &capacity), "recorder")
        && check(VYK_RecorderInit(recorder, 8, VYK_RECORDER_MEMORY_RING, 0, nullptr, 0), "recorder init");
    if (ready && check(VYK_RecorderStart(recorder), "start")) {
        const auto start = std::chrono::steady_clock::now();
        std::this_thread::sleep_for(std::chrono::seconds(kSeconds));
        VYK_RecorderGetFrameCounts(recorder, camera, &delivered, &run.lost);
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        VYK_RecorderStop(recorder);
        uint64_t completed = 0, incomplete = 0, underruns = 0;
        vyksim::simStreamCounts(camera, &completed, &incomplete, &underruns);
        run.aravisLost = incomplete + underruns;
        run.goodPerSecond = double(delivered - run.lost) / seconds;
        run.ok = true;
    }
    if (recorder != nullptr)
        VYK_RecorderDelete(recorder);
    VYK_CloseCamera(camera);
    return run;
}

// arv-camera-test-0.8's completed buffers per second at the same settings; negative on failure.
double runAravis()
{
    const std::string command = "arv-camera-test-0.8 -n " + std::string(kAddress) + " -f " + std::to_string(kFrameRateHz)
        + " -w " + std::to_string(kWidth) + " -h " + std::to_string(kHeight) + " -e "
        + std::to_string(1000000 / kFrameRateHz) + " --features PixelFormat=Mono16 --duration "
        + std::to_string(kSeconds) + " 2>&1";
    FILE* output = popen(command.c_str(), "r");
    if (output == nullptr)
        return -1.0;
    char line[512];
    long long completed = -1;
    while (std::fgets(line, sizeof line, output) != nullptr) {
        long long value = 0;
        if (std::sscanf(line, " n_completed_buffers = %lld", &value) == 1)
            completed = value;
    }
    pclose(output);
    return completed < 0 ? -1.0 : double(completed) / kSeconds;
}

} // namespace

int main()
{
    if (!controlPortFree()) {
        std::printf("bench_genicam: UDP port %u of %s is taken (another GigE Vision camera); skipped\n",
                    kControlPort, kAddress);
        return 0;
    }
    FakeCamera fake;
    if (!fake.running()) {
        std::printf("bench_genicam: arv-fake-gv-camera-0.8 cannot be started; skipped\n");
        return 0;
    }
    unsetenv("RASTEL_SIM_CONFIG");
    setenv("RASTEL_GENICAM", kAddress, 1);
    if (!check(VYK_InitializeLib(), "library"))
        return 1;
    double rastel = 0.0, aravis = 0.0;
    uint64_t lost = 0, aravisLost = 0;
    int rounds = 0;
    for (int i = 0; i < kRounds; ++i) {
        const RastelRun run = runRastel();
        const double peer = runAravis();
        if (!run.ok || peer <= 0.0)
            continue;
        std::printf("round %d: rastel %.1f good frames/s, arv-camera-test %.1f good frames/s, lost %llu\n", i + 1,
                    run.goodPerSecond, peer, static_cast<unsigned long long>(run.lost));
        rastel += run.goodPerSecond;
        aravis += peer;
        lost += run.lost;
        aravisLost += run.aravisLost;
        ++rounds;
    }
    VYK_CleanupLib();
    if (rounds == 0) {
        std::printf("bench_genicam: no round completed\n");
        return 1;
    }
    std::printf("genicam_setup=%dx%d Mono16 %d Hz, %d s per run, %d rounds\n", kWidth, kHeight, kFrameRateHz, kSeconds,
                rounds);
    std::printf("genicam_rastel_fps=%.1f\n", rastel / rounds);
    std::printf("genicam_aravis_fps=%.1f\n", aravis / rounds);
    std::printf("genicam_vs_aravis=%.3f\n", rastel / aravis);
    std::printf("genicam_frames_lost=%llu\n", static_cast<unsigned long long>(lost));
    std::printf("genicam_aravis_incomplete=%llu\n", static_cast<unsigned long long>(aravisLost));
    return 0;
}
