// The simulated light-source library through its C interface.
#include "LumraTestEnvironment.h"
#include "lsx_lumra.h"

#include <atomic>
#include <cstring>
#include <thread>
#include <vector>

namespace {

using lsxtest::lightSource;

class LumraLibraryTest : public lsxtest::LumraTest {
protected:
    void TearDown() override
    {
        for (LUMRA_HANDLE handle : opened_)
            LUMRA_CloseDevice(handle);
        LUMRA_SetLogMode(0);
        LUMRA_SetLogFile(nullptr);
        lsxtest::LumraTest::TearDown();
    }

    std::vector<LUMRA_HANDLE> scan()
    {
        std::vector<LUMRA_HANDLE> handles(LUMRA_MAX_DEVICES);
        uint32_t count = 0;
        EXPECT_EQ(LUMRA_ScanDevices(handles.data(), LUMRA_MAX_DEVICES, &count), LUMRA_OK);
        handles.resize(count);
        return handles;
    }

    LUMRA_HANDLE openFirst()
    {
        const std::vector<LUMRA_HANDLE> handles = scan();
        EXPECT_FALSE(handles.empty());
        EXPECT_EQ(LUMRA_OpenDeviceEx(handles.at(0)), LUMRA_OK);
        opened_.push_back(handles.at(0));
        return handles.at(0);
    }

    static LUMRA_LMStruct read(LUMRA_HANDLE handle)
    {
        LUMRA_LMStruct lmStruct{};
        lmStruct.size = LUMRA_STRUCT_SIZE;
        EXPECT_EQ(LUMRA_GetLMStruct(handle, &lmStruct), LUMRA_OK);
        return lmStruct;
    }

    static std::string command(LUMRA_HANDLE handle, const char* text, const char* value = nullptr)
    {
        char answer[LUMRA_ANSWER_SIZE] = {};
        EXPECT_EQ(LUMRA_ExecuteCommandWithValue(handle, text, answer, sizeof(answer), value), LUMRA_OK) << text;
        return answer;
    }

    std::vector<LUMRA_HANDLE> opened_;
};

uint32_t le32(const uint8_t* bytes, size_t offset)
{
    return bytes[offset] | (bytes[offset + 1] << 8) | (bytes[offset + 2] << 16)
        | (static_cast<uint32_t>(bytes[offset + 3]) << 24);
}

TEST_F(LumraLibraryTest, DefaultDeviceSetIsOneFourChannelLightSourceWithTwoExclusiveChannels)
{
    const std::vector<LUMRA_HANDLE> handles = scan();
    ASSERT_EQ(handles.size(), 1u);
    uint32_t type = 0;
    uint32_t status = 99;
    char text[LUMRA_INFO_TEXT_SIZE] = {};
    ASSERT_EQ(LUMRA_GetDeviceInfo(handles[0], &type, text, sizeof(text), &status), LUMRA_OK);
    EXPECT_EQ(status, LUMRA_STATUS_READY);
    EXPECT_LE(type, 9u);
    EXPECT_STRNE(text, "");

    const LUMRA_HANDLE handle = openFirst();
    const LUMRA_LMStruct lmStruct = read(handle);
    ASSERT_EQ(lmStruct.channelCount, 4);
    const uint32_t wavelengths[] = {385, 470, 560, 640};
    int exclusive = 0;
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(lmStruct.channels[i].wavelength, wavelengths[i]);
        exclusive += lmStruct.channels[i].exclusivity != 0 ? 1 : 0;
        EXPECT_EQ(lmStruct.channels[i].flags & LUMRA_CHANNEL_ON, 0u) << "powered up with channel " << i << " on";
    }
    EXPECT_EQ(exclusive, 2);
}

TEST_F(LumraLibraryTest, DeviceStructureUsesTheDocumentedByteOffsets)
{
    useLightSources({lightSource(0x01020304, "/dev/ttyUSB1", 3, {{405, 0}, {488, 7}})});
    const LUMRA_HANDLE handle = openFirst();
    LUMRA_LMStruct lmStruct = read(handle);
    lmStruct.channels[1].flags |= LUMRA_CHANNEL_ON;
    lmStruct.channels[1].intensity = 777;
    ASSERT_EQ(LUMRA_SetLMStruct(handle, &lmStruct, 2), LUMRA_OK);
    lmStruct = read(handle);

    uint8_t bytes[LUMRA_STRUCT_SIZE];
    std::memcpy(bytes, &lmStruct, sizeof(bytes));
    EXPECT_EQ(bytes[0] | (bytes[1] << 8), 2008);
    EXPECT_EQ(le32(bytes, 48), 2u);
    EXPECT_EQ(le32(bytes, 60), 0x01020304u);
    EXPECT_EQ(le32(bytes, 168), 405u);
    EXPECT_EQ(le32(bytes, 168 + 116 + 0), 488u);
    EXPECT_EQ(le32(bytes, 172 + 116), 7u);
    EXPECT_EQ(le32(bytes, 176 + 116), 777u);
    EXPECT_EQ(le32(bytes, 180 + 116), 50u);
    EXPECT_EQ(le32(bytes, 184 + 116), 1000u);
    EXPECT_EQ(le32(bytes, 200 + 116) & 1u, 1u);
    EXPECT_EQ(le32(bytes, 200) & 1u, 0u);
}

TEST_F(LumraLibraryTest, StructureTransfersCheckSizeOpenStateAndChannelCount)
{
    useLightSources(lsxtest::threeLightSources());
    const std::vector<LUMRA_HANDLE> handles = scan();
    ASSERT_EQ(handles.size(), 3u);
    LUMRA_LMStruct lmStruct{};
    lmStruct.size = LUMRA_STRUCT_SIZE;
    EXPECT_EQ(LUMRA_GetLMStruct(handles[0], &lmStruct), LUMRA_ERR_NOT_OPEN);

    const LUMRA_HANDLE handle = openFirst();
    lmStruct.size = 2000;
    EXPECT_EQ(LUMRA_GetLMStruct(handle, &lmStruct), LUMRA_ERR_WRONG_SIZE);
    EXPECT_EQ(LUMRA_GetLMStruct(handle, nullptr), LUMRA_ERR_NULL_POINTER);
    lmStruct = read(handle);
    EXPECT_EQ(LUMRA_SetLMStruct(handle, &lmStruct, 1), LUMRA_ERR_WRONG_SIZE);
    EXPECT_EQ(LUMRA_SetLMStruct(handle, &lmStruct, 2), LUMRA_OK);
}

TEST_F(LumraLibraryTest, SetStructureRefusesOutOfRangeIntensityAndExclusiveConflictAsAWhole)
{
    useLightSources({lightSource(5, "/dev/ttyUSB5", 5, {{365, 1}, {450, 1}, {530, 0}})});
    const LUMRA_HANDLE handle = openFirst();
    const LUMRA_LMStruct before = read(handle);

    LUMRA_LMStruct change = before;
    change.channels[2].intensity = 900;
    change.channels[2].flags |= LUMRA_CHANNEL_ON;
    change.channels[0].intensity = 49; // below intensity_min 50
    EXPECT_EQ(LUMRA_SetLMStruct(handle, &change, 3), LUMRA_ERR_INVALID_ARGUMENT);
    change.channels[0].intensity = 1001;
    EXPECT_EQ(LUMRA_SetLMStruct(handle, &change, 3), LUMRA_ERR_INVALID_ARGUMENT);
    change.channels[0].intensity = 100;
    change.channels[0].flags |= LUMRA_CHANNEL_ON;
    change.channels[1].flags |= LUMRA_CHANNEL_ON;
    EXPECT_EQ(LUMRA_SetLMStruct(handle, &change, 3), LUMRA_ERR_INVALID_ARGUMENT);
    const LUMRA_LMStruct unchanged = read(handle);
    EXPECT_EQ(std::memcmp(&before, &unchanged, sizeof(before)), 0) << "a refused write changed the device";

    change.channels[1].flags &= ~LUMRA_CHANNEL_ON;
    ASSERT_EQ(LUMRA_SetLMStruct(handle, &change, 3), LUMRA_OK);
    const LUMRA_LMStruct after = read(handle);
    EXPECT_EQ(after.channels[2].intensity, 900u);
    EXPECT_EQ(after.channels[0].flags & LUMRA_CHANNEL_ON, 1u);
}

TEST_F(LumraLibraryTest, OpenCloseAndStatus)
{
    const LUMRA_HANDLE handle = openFirst();
    uint32_t status = 0;
    ASSERT_EQ(LUMRA_GetDeviceInfo(handle, nullptr, nullptr, 0, &status), LUMRA_OK);
    EXPECT_EQ(status, LUMRA_STATUS_OPEN);
    EXPECT_EQ(LUMRA_OpenDeviceEx(handle), LUMRA_ERR_BUSY);
    ASSERT_EQ(LUMRA_CloseDevice(handle), LUMRA_OK);
    opened_.clear();
    ASSERT_EQ(LUMRA_GetDeviceInfo(handle, nullptr, nullptr, 0, &status), LUMRA_OK);
    EXPECT_EQ(status, LUMRA_STATUS_READY);
    EXPECT_EQ(LUMRA_CloseDevice(handle), LUMRA_ERR_NOT_OPEN);
    EXPECT_EQ(LUMRA_SwitchLumra(handle, 1, 1), LUMRA_ERR_NOT_OPEN);
    EXPECT_EQ(LUMRA_OpenDeviceEx(0), LUMRA_ERR_INVALID_HANDLE);
    char tiny[4] = {};
    EXPECT_EQ(LUMRA_GetDeviceInfo(handle, nullptr, tiny, sizeof(tiny), nullptr), LUMRA_ERR_WRONG_SIZE);
}

TEST_F(LumraLibraryTest, HandlesOfAnEarlierDeviceSetBecomeInvalidAfterReload)
{
    const std::vector<LUMRA_HANDLE> before = scan();
    useLightSources(lsxtest::threeLightSources());
    const std::vector<LUMRA_HANDLE> after = scan();
    ASSERT_EQ(after.size(), 3u);
    EXPECT_EQ(LUMRA_OpenDeviceEx(before.at(0)), LUMRA_ERR_INVALID_HANDLE);
}

TEST_F(LumraLibraryTest, DeviceSetIsNotReloadedWhileADeviceIsOpen)
{
    const LUMRA_HANDLE handle = openFirst();
    useLightSources(lsxtest::threeLightSources());
    const std::vector<LUMRA_HANDLE> handles = scan();
    ASSERT_EQ(handles.size(), 1u);
    EXPECT_EQ(handles[0], handle);
}

TEST_F(LumraLibraryTest, InvalidConfigurationEntriesAreSkipped)
{
    nlohmann::json tooMany = nlohmann::json::array();
    for (int i = 0; i < 16; ++i)
        tooMany.push_back({400 + i, 0});
    useLightSources({lightSource(1, "/dev/a", 1, {{400, 0}}), lightSource(1, "/dev/b", 1, {{500, 0}}),
                     lightSource(2, "/dev/c", 1, tooMany), lightSource(3, "/dev/d", 12, {{500, 0}}),
                     {{"serial", 4}, {"connection", "/dev/e"}}, lightSource(5, "/dev/f", 9, {{700, 0}})});
    const std::vector<LUMRA_HANDLE> handles = scan();
    ASSERT_EQ(handles.size(), 2u);
    char text[LUMRA_INFO_TEXT_SIZE] = {};
    ASSERT_EQ(LUMRA_GetDeviceInfo(handles[1], nullptr, text, sizeof(text), nullptr), LUMRA_OK);
    EXPECT_STREQ(text, "/dev/f");
}

TEST_F(LumraLibraryTest, EmptyLightSourceListMeansNoDevices)
{
    useLightSources({});
    EXPECT_TRUE(scan().empty());
}

TEST_F(LumraLibraryTest, UnitStatusEndsWithTheInjectedStatusWord)
{
    nlohmann::json device = lightSource(8, "/dev/ttyUSB8", 1, {{405, 0}, {488, 0}});
    device["status_word"] = 2048;
    useLightSources({device});
    const LUMRA_HANDLE handle = openFirst();
    EXPECT_EQ(command(handle, "GetUnitStatus"), "0,25,2048");
    LUMRA_LMStruct lmStruct = read(handle);
    lmStruct.channels[0].flags |= LUMRA_CHANNEL_ON;
    ASSERT_EQ(LUMRA_SetLMStruct(handle, &lmStruct, 2), LUMRA_OK);
    ASSERT_EQ(LUMRA_SwitchLumra(handle, 1, 1), LUMRA_OK);
    EXPECT_EQ(command(handle, "GetUnitStatus"), "1,28,2048");
    EXPECT_EQ(command(handle, "SimSetUnitStatus", "2"), "OK");
    EXPECT_EQ(command(handle, "GetUnitStatus"), "1,28,2");
    EXPECT_EQ(command(handle, "GetSerial"), "8");
    EXPECT_EQ(command(handle, "GetWavelength", "1"), "488");

    char answer[LUMRA_ANSWER_SIZE] = {};
    EXPECT_EQ(LUMRA_ExecuteCommandWithValue(handle, "GetWavelength", answer, sizeof(answer), "2"),
              LUMRA_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(LUMRA_ExecuteCommandWithValue(handle, "Explode", answer, sizeof(answer), nullptr),
              LUMRA_ERR_NOT_SUPPORTED);
    EXPECT_EQ(LUMRA_ExecuteCommandWithValue(handle, "GetUnitStatus", answer, 3, nullptr), LUMRA_ERR_WRONG_SIZE);
    EXPECT_EQ(LUMRA_SwitchLumra(handle, 2, 1), LUMRA_ERR_INVALID_ARGUMENT);
}

TEST_F(LumraLibraryTest, InjectedFailures)
{
    nlohmann::json silent = lightSource(1, "/dev/ttyUSB1", 1, {{405, 0}});
    silent["failure"] = "not_responding";
    nlohmann::json refusing = lightSource(2, "/dev/ttyUSB2", 1, {{405, 0}});
    refusing["failure"] = "open_fails";
    useLightSources({silent, refusing, lightSource(3, "/dev/ttyUSB3", 1, {{405, 0}})});
    const std::vector<LUMRA_HANDLE> handles = scan();
    ASSERT_EQ(handles.size(), 3u);
    uint32_t status = 0;
    ASSERT_EQ(LUMRA_GetDeviceInfo(handles[0], nullptr, nullptr, 0, &status), LUMRA_OK);
    EXPECT_EQ(status, LUMRA_STATUS_NOT_RESPONDING);
    EXPECT_EQ(LUMRA_OpenDeviceEx(handles[0]), LUMRA_ERR_TIMEOUT);
    ASSERT_EQ(LUMRA_GetDeviceInfo(handles[1], nullptr, nullptr, 0, &status), LUMRA_OK);
    EXPECT_EQ(status, LUMRA_STATUS_READY);
    EXPECT_EQ(LUMRA_OpenDeviceEx(handles[1]), LUMRA_ERR_TIMEOUT);

    ASSERT_EQ(LUMRA_OpenDeviceEx(handles[2]), LUMRA_OK);
    opened_.push_back(handles[2]);
    EXPECT_EQ(command(handles[2], "SimSetNotResponding"), "OK");
    char answer[LUMRA_ANSWER_SIZE] = {};
    EXPECT_EQ(LUMRA_ExecuteCommandWithValue(handles[2], "GetUnitStatus", answer, sizeof(answer), nullptr),
              LUMRA_ERR_TIMEOUT);
    EXPECT_EQ(LUMRA_SwitchLumra(handles[2], 1, 0), LUMRA_ERR_TIMEOUT);
    EXPECT_EQ(LUMRA_CloseDevice(handles[2]), LUMRA_OK) << "the host side can always let go";
    opened_.clear();
}

TEST_F(LumraLibraryTest, LogFileReceivesSelectedCategoriesAndErrors)
{
    const std::filesystem::path log = tempDir() / "lumra.log";
    ASSERT_EQ(LUMRA_SetLogBits(0x1001), LUMRA_OK); // open/close and errors
    ASSERT_EQ(LUMRA_SetLogMode(1), LUMRA_OK);
    ASSERT_EQ(LUMRA_SetLogFile(log.c_str()), LUMRA_OK);
    const LUMRA_HANDLE handle = openFirst();
    ASSERT_EQ(LUMRA_SwitchLumra(handle, 1, 1), LUMRA_OK);
    EXPECT_EQ(LUMRA_SwitchLumra(handle, 7, 1), LUMRA_ERR_INVALID_ARGUMENT);

    const std::string text = lsxtest::readFile(log);
    EXPECT_NE(text.find("LUMRA_OpenDeviceEx"), std::string::npos) << text;
    EXPECT_NE(text.find("LUMRA_SwitchLumra(0x"), std::string::npos) << "the failed switch is an error line";
    EXPECT_NE(text.find(", 7, 1) -> 0xa0163001"), std::string::npos) << text;
    EXPECT_EQ(text.find(", 1, 1) -> 0x00000000"), std::string::npos) << "switching was not selected";

    EXPECT_EQ(LUMRA_SetLogMode(5), LUMRA_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(LUMRA_SetLogFile((tempDir() / "missing" / "x.log").c_str()), LUMRA_ERR_FILE_IO);
}

TEST_F(LumraLibraryTest, ConcurrentCallsOnOneDeviceAllSucceed)
{
    const LUMRA_HANDLE handle = openFirst();
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 300; ++i) {
                LUMRA_LMStruct lmStruct{};
                lmStruct.size = LUMRA_STRUCT_SIZE;
                char answer[LUMRA_ANSWER_SIZE];
                if (LUMRA_GetLMStruct(handle, &lmStruct) != LUMRA_OK)
                    ++failures;
                lmStruct.channels[2].intensity = static_cast<uint32_t>(100 + t * 100 + i % 50);
                if (LUMRA_SetLMStruct(handle, &lmStruct, lmStruct.channelCount) != LUMRA_OK)
                    ++failures;
                if (LUMRA_ExecuteCommandWithValue(handle, "GetUnitStatus", answer, sizeof(answer), nullptr)
                    != LUMRA_OK)
                    ++failures;
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(failures.load(), 0);
}

}  // namespace
