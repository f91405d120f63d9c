// The local light source lsx::Lumra over the simulated library.
#include "LumraTestEnvironment.h"
#include "lightsource/lsx/AnyLumra.h"
#include "lightsource/lsx/Lumra.h"
#include "lightsource/lsx/LumraException.h"
#include "lsx_lumra.h"

#include <atomic>
#include <memory>
#include <set>
#include <thread>
#include <vector>

namespace {

using lsx::Lumra;
using lsx::LumraConfiguration;
using lsx::LumraException;

class LocalLumraTest : public lsxtest::LumraTest {};

// Expects a LumraException with code and exactly message from running call.
template <typename Call>
void expectLumraError(Call call, uint32_t code, const std::string& message)
{
    try {
        call();
        ADD_FAILURE() << "no exception, expected: " << message;
    } catch (const LumraException& e) {
        EXPECT_EQ(e.code(), code);
        EXPECT_EQ(std::string(e.what()), message);
    }
}

// The first value of the unit status answer: 1 while the output is on.
bool outputOn(Lumra& lumra)
{
    return lumra.executeCommand("GetUnitStatus", "").rfind("1,", 0) == 0;
}

TEST_F(LocalLumraTest, FreshLightSourceIsSwitchedOffWithAllChannelsOff)
{
    {
        Lumra lumra;
        lumra.switchOn();
        lumra.setConfiguration({{100, 200, 300, 400}, {true, false, true, false}});
    }
    Lumra lumra;
    const LumraConfiguration configuration = lumra.getConfiguration();
    EXPECT_EQ(configuration.on_states, std::vector<bool>(4, false));
    EXPECT_EQ(configuration.intensities, (std::vector<uint32_t>{100, 200, 300, 400})) << "intensities are kept";
    EXPECT_FALSE(outputOn(lumra));
}

TEST_F(LocalLumraTest, DescriptionOfTheDefaultLightSource)
{
    Lumra lumra;
    const lsx::LumraDescription description = lumra.getDescription();
    EXPECT_EQ(description.wavelengths, (std::vector<uint32_t>{385, 470, 560, 640}));
    EXPECT_EQ(description.exclusivity.size(), 4u);
    EXPECT_EQ(description.name, lsx::lumraTypeName(description.type));
    EXPECT_FALSE(description.com_port.empty());
    EXPECT_EQ(description.intensity_max, std::vector<uint32_t>(4, 1000));
    EXPECT_EQ(description.intensity_min, std::vector<uint32_t>(4, 0));
}

TEST_F(LocalLumraTest, PortWithAnyTypeOpensExactlyTheDeviceAtThatPort)
{
    useLightSources(lsxtest::threeLightSources());
    Lumra lumra(lsx::kLumraTypeAny, "/dev/ttyUSB2");
    const lsx::LumraDescription description = lumra.getDescription();
    EXPECT_EQ(description.serial, 102u);
    EXPECT_EQ(description.com_port, "/dev/ttyUSB2");
    EXPECT_EQ(description.type, 5u);
    EXPECT_EQ(description.name, lsx::lumraTypeName(5));
    EXPECT_EQ(description.exclusivity, (std::vector<uint32_t>{1, 1, 2, 0}));
    EXPECT_EQ(description.intensity_min, std::vector<uint32_t>(4, 50));
}

TEST_F(LocalLumraTest, OpeningByTypeAndPortRules)
{
    useLightSources(lsxtest::threeLightSources());
    {
        Lumra byType(3);
        EXPECT_EQ(byType.getDescription().serial, 101u) << "first device of the model";
        Lumra secondOfType(3);
        EXPECT_EQ(secondOfType.getDescription().serial, 103u) << "the first one is open already";
    }
    {
        Lumra typeAndPort(3, "/dev/ttyUSB3");
        EXPECT_EQ(typeAndPort.getDescription().serial, 103u)
            << "the device at the port, although another device of its model comes first";
    }
    expectLumraError([] { Lumra lumra(5, "/dev/ttyUSB1"); }, 0xA0163013u,
                     "lsx::LumraException: LumraType does not match connected device at specific COM port");
    expectLumraError([] { Lumra lumra(lsx::kLumraTypeAny, "/dev/ttyUSB9"); }, 0xA0163013u,
                     LumraException(0xA0163013u).what());
    expectLumraError([] { Lumra lumra(7); }, 0xA0163013u, LumraException(0xA0163013u).what());
}

TEST_F(LocalLumraTest, EnumerationOpensEveryDeviceOnceThenFails)
{
    useLightSources(lsxtest::threeLightSources());
    std::vector<std::unique_ptr<Lumra>> found;
    std::set<uint32_t> serials;
    try {
        for (int i = 0; i < 10; ++i) {
            auto lumra = std::make_unique<Lumra>();
            if (!serials.insert(lumra->getDescription().serial).second)
                break;
            found.push_back(std::move(lumra));
        }
        FAIL() << "enumeration did not end";
    } catch (const LumraException& e) {
        EXPECT_EQ(e.code(), 0xA0163013u);
    }
    EXPECT_EQ(serials, (std::set<uint32_t>{101, 102, 103}));
}

TEST_F(LocalLumraTest, SilentDevicesAreNotOpened)
{
    nlohmann::json silent = lsxtest::lightSource(1, "/dev/ttyUSB1", 1, {{405, 0}});
    silent["failure"] = "not_responding";
    useLightSources({silent, lsxtest::lightSource(2, "/dev/ttyUSB2", 1, {{405, 0}})});
    {
        Lumra lumra;
        EXPECT_EQ(lumra.getDescription().serial, 2u);
    }
    expectLumraError([] { Lumra lumra(lsx::kLumraTypeAny, "/dev/ttyUSB1"); }, 0xA0163013u,
                     LumraException(0xA0163013u).what());
}

TEST_F(LocalLumraTest, FailedOpeningReleasesTheDevice)
{
    nlohmann::json refusing = lsxtest::lightSource(1, "/dev/ttyUSB1", 1, {{405, 0}});
    refusing["failure"] = "open_fails";
    useLightSources({refusing});
    EXPECT_THROW(Lumra lumra, LumraException);
    EXPECT_THROW(Lumra lumra, LumraException);
}

TEST_F(LocalLumraTest, IntensitiesSizeIsCheckedBeforeOnStates)
{
    Lumra lumra;
    const std::string intensities =
        "lsx::LumraException: Wrong size of intensities vector. Must match number of channels.";
    const std::string onStates = "lsx::LumraException: Wrong size of on_states vector. Must match number of channels.";
    expectLumraError([&] { lumra.setConfiguration({{100, 100, 100}, {true, false}}); }, 0xA0570001u, intensities);
    expectLumraError([&] { lumra.setConfiguration({{100, 100, 100, 100, 100}, {}}); }, 0xA0570001u, intensities);
    expectLumraError([&] { lumra.setConfiguration({{100, 100, 100, 100}, {true, false, false}}); }, 0xA0570001u,
                     onStates);
}

TEST_F(LocalLumraTest, ExclusivityGroups)
{
    useLightSources(lsxtest::threeLightSources());
    {
        Lumra lumra(lsx::kLumraTypeAny, "/dev/ttyUSB1");
        lumra.setConfiguration({{100, 200}, {true, true}});
        EXPECT_EQ(lumra.getConfiguration().on_states, (std::vector<bool>{true, true})) << "group 0 never excludes";
    }
    Lumra lumra(lsx::kLumraTypeAny, "/dev/ttyUSB2");
    lumra.setConfiguration({{60, 70, 80, 90}, {false, true, true, true}});
    const LumraConfiguration before = lumra.getConfiguration();
    EXPECT_EQ(before.on_states, (std::vector<bool>{false, true, true, true})) << "different groups may both be on";
    expectLumraError([&] { lumra.setConfiguration({{0, 0, 500, 500}, {true, true, false, false}}); }, 0xA0570001u,
                     "lsx::LumraException: Just single wavelength from exclusive list can be set.");
    EXPECT_EQ(lumra.getConfiguration(), before) << "a refused configuration must leave the device unchanged";
}

TEST_F(LocalLumraTest, SwitchingAndDefaultConfiguration)
{
    Lumra lumra;
    lumra.setConfiguration({{100, 200, 300, 400}, {true, false, true, true}});
    lumra.switchOn();
    EXPECT_TRUE(outputOn(lumra));
    lumra.defaultConfiguration();
    EXPECT_FALSE(outputOn(lumra));
    const LumraConfiguration configuration = lumra.getConfiguration();
    EXPECT_EQ(configuration.on_states, std::vector<bool>(4, false));
    EXPECT_EQ(configuration.intensities, (std::vector<uint32_t>{100, 200, 300, 400}));
}

TEST_F(LocalLumraTest, LibraryFailuresCarryTheLibraryCode)
{
    Lumra lumra;
    expectLumraError([&] { lumra.setConfiguration({{1001, 0, 0, 0}, {false, false, false, false}}); },
                     0xA0163001u, LumraException(0xA0163001u).what());
    expectLumraError([&] { lumra.executeCommand("NoSuchCommand", ""); }, 0x80160007u,
                     LumraException(0x80160007u).what());
}

TEST_F(LocalLumraTest, CommandValueIsPassedOnlyWhenNotEmpty)
{
    useLightSources({lsxtest::lightSource(4, "/dev/ttyUSB4", 2, {{385, 1}, {470, 1}, {560, 0}, {640, 0}})});
    Lumra lumra;
    EXPECT_EQ(lumra.executeCommand("GetWavelength", "2"), "560");
    EXPECT_EQ(lumra.executeCommand("SimSetUnitStatus", "6144"), "OK");
    EXPECT_EQ(lumra.executeCommand("GetUnitStatus", ""), "0,25,6144");
    // The library refuses a missing value for this command, so the empty value did not reach it.
    EXPECT_THROW(lumra.executeCommand("SimSetUnitStatus", ""), LumraException);
}

TEST_F(LocalLumraTest, DestructionSwitchesOffAndClosesAndNeverThrows)
{
    {
        Lumra lumra;
        lumra.switchOn();
    }
    std::vector<LUMRA_HANDLE> handles(LUMRA_MAX_DEVICES);
    uint32_t count = 0;
    ASSERT_EQ(LUMRA_ScanDevices(handles.data(), LUMRA_MAX_DEVICES, &count), LUMRA_OK);
    ASSERT_EQ(count, 1u);
    uint32_t status = 99;
    ASSERT_EQ(LUMRA_GetDeviceInfo(handles[0], nullptr, nullptr, 0, &status), LUMRA_OK);
    EXPECT_EQ(status, LUMRA_STATUS_READY) << "closed";
    ASSERT_EQ(LUMRA_OpenDeviceEx(handles[0]), LUMRA_OK);
    char answer[LUMRA_ANSWER_SIZE] = {};
    ASSERT_EQ(LUMRA_ExecuteCommandWithValue(handles[0], "GetUnitStatus", answer, sizeof(answer), nullptr), LUMRA_OK);
    EXPECT_EQ(answer[0], '0') << "switched off at close";
    ASSERT_EQ(LUMRA_CloseDevice(handles[0]), LUMRA_OK);

    // A device that stops answering still closes without an exception. It stays silent
    // until the device set is reloaded, so it gets a set of its own.
    useLightSources({lsxtest::lightSource(9, "/dev/ttyUSB9", 1, {{405, 0}})});
    auto silent = std::make_unique<Lumra>();
    silent->executeCommand("SimSetNotResponding", "");
    EXPECT_THROW(silent->switchOn(), LumraException);
    EXPECT_NO_THROW(silent.reset());
}

TEST_F(LocalLumraTest, LibraryLogGoesToTheDataDirectory)
{
    {
        Lumra lumra;
        lumra.switchOn();
    }
    const std::string log = lsxtest::readFile(tempDir() / "vyk" / "lsx_lumra.log");
    EXPECT_EQ(log.rfind("==================== vyk.lumra logging started from high-level SDK vyk.cpp "
                        "===============\n",
                        0),
              0u)
        << log;
    EXPECT_NE(log.find("LUMRA_OpenDeviceEx"), std::string::npos);
    EXPECT_NE(log.find("LUMRA_SwitchLumra"), std::string::npos);
    EXPECT_NE(log.find("LUMRA_CloseDevice"), std::string::npos);
    LUMRA_SetLogMode(0);
    LUMRA_SetLogFile(nullptr);
}

TEST_F(LocalLumraTest, GuiAndHealthThreadsMayUseOneLightSourceAtOnce)
{
    useLightSources({lsxtest::lightSource(4, "/dev/ttyUSB4", 2, {{385, 1}, {470, 1}, {560, 0}, {640, 0}})});
    Lumra lumra;
    std::atomic<bool> stop{false};
    std::atomic<int> failures{0};
    std::thread health([&] {
        while (!stop) {
            try {
                const std::string status = lumra.executeCommand("GetUnitStatus", "");
                if (status.substr(status.rfind(',') + 1) != "0")
                    ++failures;
                lumra.getDescription();
            } catch (const LumraException&) {
                ++failures;
            }
        }
    });
    for (int i = 0; i < 200; ++i) {
        lumra.setConfiguration({{static_cast<uint32_t>(50 + i % 900), 500, 500, 500}, {i % 2 == 0, false, true, false}});
        lumra.defaultConfiguration();
        lumra.switchOn();
    }
    stop = true;
    health.join();
    EXPECT_EQ(failures.load(), 0);
}

TEST_F(LocalLumraTest, HandleForwardsToTheLocalLightSource)
{
    lsx::AnyLumra handle(std::make_unique<Lumra>());
    EXPECT_FALSE(handle.isRemote());
    EXPECT_EQ(handle.getDescription().wavelengths.size(), 4u);
    handle.setConfiguration({{10, 20, 30, 40}, {false, false, true, false}});
    EXPECT_EQ(handle.getConfiguration().intensities, (std::vector<uint32_t>{10, 20, 30, 40}));
    handle.switchOn();
    EXPECT_EQ(handle.executeCommand("GetUnitStatus", "").substr(0, 2), "1,");
    handle.defaultConfiguration();
    EXPECT_EQ(handle.getConfiguration().on_states, std::vector<bool>(4, false));
    EXPECT_THROW(lsx::AnyLumra(std::unique_ptr<Lumra>()), std::invalid_argument);
}

}  // namespace
