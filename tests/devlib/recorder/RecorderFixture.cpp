#include "RecorderFixture.h"

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>

namespace rectest {

namespace {

// The camera set of these tests, written to a temporary file named by RASTEL_SIM_CONFIG.
const char* kCameraSet = R"({"cameras": [
  {"serial": 7001, "name": "recorder test mono", "interface": "USB3",
   "sensor": {"width": 64, "height": 48, "bits": 16},
   "exposure": {"min_ns": 10000, "max_ms": 1000, "step_ns": 10},
   "ram": {"pages": 64, "page_size": 4096},
   "capabilities": {"metadata": true, "timestamp": true, "ext_acquire_mode": true},
   "reference_exposure_s": 0.02, "seed": 11},
  {"serial": 7002, "name": "recorder test failing", "interface": "USB3",
   "sensor": {"width": 32, "height": 24, "bits": 12},
   "capabilities": {"timestamp": true},
   "failure": {"after_frames": 40}, "seed": 12},
  {"serial": 7003, "name": "recorder test byte", "interface": "USB3",
   "sensor": {"width": 32, "height": 24, "bits": 8},
   "capabilities": {"timestamp": true}, "seed": 13}
]})";

// Loads the test camera set once per process.
class CameraSetEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        const std::string path = (std::filesystem::temp_directory_path() /
                                  ("vykrec_cameras_" + std::to_string(::getpid()) + ".json")).string();
        std::ofstream(path) << kCameraSet;
        setenv("RASTEL_SIM_CONFIG", path.c_str(), 1);
        path_ = path;
        ASSERT_FALSE(VYK_FAILED(VYK_InitializeLib()));
        ASSERT_FALSE(VYK_FAILED(VYK_ResetLib()));
    }
    void TearDown() override
    {
        VYK_CleanupLib();
        std::filesystem::remove(path_);
    }

private:
    std::string path_;
};

const auto* const g_environment = ::testing::AddGlobalTestEnvironment(new CameraSetEnvironment);

} // namespace

bool waitFor(const std::function<bool()>& condition)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

void RecorderTest::SetUp() {}

void RecorderTest::TearDown()
{
    for (VYK_RECORDER r : recorders_)
        VYK_RecorderDelete(r);
    for (VYK_HANDLE c : cameras_)
        VYK_CloseCamera(c);
    for (const std::string& f : folders_)
        std::filesystem::remove_all(f);
}

VYK_HANDLE RecorderTest::open(uint32_t serial)
{
    VYK_OpenStruct request{};
    request.wSize = sizeof(request);
    request.wInterfaceType = VYK_INTERFACE_ANY;
    request.wOpenMode = VYK_OPEN_BY_SERIAL;
    request.dwSerialNumber = serial;
    VYK_HANDLE camera = nullptr;
    const int32_t rc = VYK_OpenCamera(&camera, &request);
    EXPECT_FALSE(VYK_FAILED(rc)) << std::hex << rc;
    if (camera == nullptr)
        return nullptr;
    cameras_.push_back(camera);
    // Every image carries its counter (timestamp) and, where possible, metadata.
    VYK_SetTimestampMode(camera, VYK_TIMESTAMP_BINARY);
    VYK_SetMetaDataMode(camera, 1, nullptr, nullptr);
    EXPECT_FALSE(VYK_FAILED(VYK_ArmCamera(camera)));
    return camera;
}

void RecorderTest::setExposure(VYK_HANDLE camera, double seconds)
{
    ASSERT_FALSE(VYK_FAILED(VYK_SetDelayExposureTime(camera, 0, uint32_t(seconds * 1e6), VYK_TIMEBASE_MS,
                                                     VYK_TIMEBASE_US)));
    ASSERT_FALSE(VYK_FAILED(VYK_ArmCamera(camera)));
}

VYK_RECORDER RecorderTest::create(VYK_HANDLE camera, uint32_t mode, const char* path, uint32_t* capacity)
{
    VYK_RECORDER recorder = nullptr;
    uint32_t fits = 0;
    const int32_t rc = VYK_RecorderCreate(&recorder, &camera, 1, mode, path, &fits);
    EXPECT_EQ(rc, VYK_NOERROR) << std::hex << rc;
    if (recorder != nullptr)
        recorders_.push_back(recorder);
    if (capacity != nullptr)
        *capacity = fits;
    return recorder;
}

Status RecorderTest::status(VYK_RECORDER recorder, VYK_HANDLE camera)
{
    Status s;
    EXPECT_EQ(VYK_RecorderGetStatus(recorder, camera, &s.running, &s.recorded, &s.bufferSize, &s.error),
              VYK_NOERROR);
    return s;
}

RecorderTest::Copy RecorderTest::copy(VYK_RECORDER recorder, VYK_HANDLE camera, uint32_t index)
{
    Copy c;
    uint16_t width = 0, height = 0;
    VYK_RecorderGetSettings(recorder, camera, nullptr, nullptr, &width, &height);
    c.pixels.assign(size_t(width) * height, 0);
    uint8_t timestamp[VYK_TIMESTAMP_BLOCK_SIZE] = {VYK_TIMESTAMP_BLOCK_SIZE, 0};
    c.rc = VYK_RecorderCopyImage(recorder, camera, index, 1, 1, width, height, c.pixels.data(), &c.number,
                                 nullptr, timestamp);
    std::memcpy(&c.counter, timestamp + 2, sizeof(c.counter));
    return c;
}

std::string RecorderTest::folder()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "vykrec_XXXXXX").string();
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    EXPECT_NE(mkdtemp(buffer.data()), nullptr);
    folders_.emplace_back(buffer.data());
    return folders_.back();
}

} // namespace rectest
