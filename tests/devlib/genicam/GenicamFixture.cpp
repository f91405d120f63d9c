#include "GenicamFixture.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <thread>

namespace gentest {

namespace {

// The device library stays initialised for the whole test program.
class LibraryEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        unsetenv("RASTEL_SIM_CONFIG"); // the built-in set: one simulated GigE camera
        ASSERT_FALSE(VYK_FAILED(VYK_InitializeLib()));
    }
    void TearDown() override { VYK_CleanupLib(); }
};

const auto* const g_environment = ::testing::AddGlobalTestEnvironment(new LibraryEnvironment);

} // namespace

bool waitFor(const std::function<bool()>& condition, double timeoutS)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(timeoutS);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

void GenicamTest::TearDown()
{
    for (VYK_RECORDER r : recorders_)
        VYK_RecorderDelete(r);
    for (VYK_HANDLE c : cameras_)
        VYK_CloseCamera(c);
    for (const std::string& f : folders_)
        std::filesystem::remove_all(f);
    unsetenv("RASTEL_GENICAM");
}

VYK_HANDLE GenicamTest::openGenicam(const std::string& list, double waitS)
{
    setenv("RASTEL_GENICAM", list.c_str(), 1);
    VYK_OpenStruct request{};
    request.wSize = sizeof(request);
    request.wInterfaceType = VYK_INTERFACE_GIGE;
    request.wOpenMode = VYK_OPEN_BY_NUMBER;
    request.wCameraNumber = 1;
    VYK_HANDLE camera = nullptr;
    int32_t rc = VYK_NOERROR;
    waitFor([&] { return (rc = VYK_OpenCamera(&camera, &request)) == VYK_NOERROR; }, waitS);
    EXPECT_EQ(rc, VYK_NOERROR) << std::hex << rc;
    if (camera != nullptr)
        cameras_.push_back(camera);
    return camera;
}

void GenicamTest::close(VYK_HANDLE camera)
{
    EXPECT_EQ(VYK_CloseCamera(camera), VYK_NOERROR);
    cameras_.erase(std::remove(cameras_.begin(), cameras_.end(), camera), cameras_.end());
}

VYK_RECORDER GenicamTest::create(VYK_HANDLE camera, uint32_t mode, const char* path)
{
    VYK_RECORDER recorder = nullptr;
    uint32_t fits = 0;
    const int32_t rc = VYK_RecorderCreate(&recorder, &camera, 1, mode, path, &fits);
    EXPECT_EQ(rc, VYK_NOERROR) << std::hex << rc;
    if (recorder != nullptr)
        recorders_.push_back(recorder);
    return recorder;
}

Status GenicamTest::status(VYK_RECORDER recorder, VYK_HANDLE camera)
{
    Status s;
    EXPECT_EQ(VYK_RecorderGetStatus(recorder, camera, &s.running, &s.recorded, &s.bufferSize, &s.error),
              VYK_NOERROR);
    return s;
}

void GenicamTest::frameCounts(VYK_RECORDER recorder, VYK_HANDLE camera, uint64_t& delivered, uint64_t& lost)
{
    EXPECT_EQ(VYK_RecorderGetFrameCounts(recorder, camera, &delivered, &lost), VYK_NOERROR);
}

Copy GenicamTest::copy(VYK_RECORDER recorder, VYK_HANDLE camera, uint32_t index)
{
    Copy c;
    uint16_t width = 0, height = 0;
    VYK_RecorderGetSettings(recorder, camera, nullptr, nullptr, &width, &height);
    c.pixels.assign(size_t(width) * height, 0);
    uint8_t timestamp[VYK_TIMESTAMP_BLOCK_SIZE] = {VYK_TIMESTAMP_BLOCK_SIZE, 0};
    c.metadata[0] = VYK_METADATA_SIZE;
    c.rc = VYK_RecorderCopyImage(recorder, camera, index, 1, 1, width, height, c.pixels.data(), &c.number,
                                 c.metadata, timestamp);
    std::memcpy(&c.counter, timestamp + 2, sizeof(c.counter));
    return c;
}

VYK_RECORDER GenicamTest::recordSequence(VYK_HANDLE camera, uint32_t count)
{
    VYK_RECORDER recorder = create(camera, VYK_RECORDER_MODE_MEMORY);
    EXPECT_EQ(VYK_RecorderInit(recorder, count, VYK_RECORDER_MEMORY_SEQUENCE, 0, nullptr, 0), VYK_NOERROR);
    EXPECT_EQ(VYK_RecorderStart(recorder), VYK_NOERROR);
    EXPECT_TRUE(waitFor([&] { return status(recorder, camera).running == 0; }));
    return recorder;
}

std::string GenicamTest::folder()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "rastel_genicam_XXXXXX").string();
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    EXPECT_NE(mkdtemp(buffer.data()), nullptr);
    folders_.emplace_back(buffer.data());
    return folders_.back();
}

} // namespace gentest
