// Light-source records, their JSON forms, the model table and the exception texts.
#include "lightsource/lsx/DeviceEntry.h"
#include "lightsource/lsx/LumraConfiguration.h"
#include "lightsource/lsx/LumraDescription.h"
#include "lightsource/lsx/LumraException.h"
#include "lightsource/lsx/LumraType.h"
#include "kv2_cam.h"

#include <set>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace {

using nlohmann::json;

lsx::LumraDescription sampleDescription()
{
    lsx::LumraDescription description;
    description.serial = 4711;
    description.com_port = "/dev/ttyACM3";
    description.type = 5;
    description.name = lsx::lumraTypeName(5);
    description.wavelengths = {365, 450, 530};
    description.exclusivity = {1, 1, 0};
    description.intensity_max = {1000, 1000, 800};
    description.intensity_min = {50, 50, 0};
    return description;
}

TEST(LumraRecords, DescriptionJsonUsesThePeersKeysIncludingTheMisspeltOne)
{
    const json j = sampleDescription();
    const std::set<std::string> expected = {"serial", "com_port", "type", "name", "wavelenghts_vec",
                                            "exclusivity_vec", "intensity_max_vec", "intensity_min_vec"};
    std::set<std::string> keys;
    for (auto it = j.begin(); it != j.end(); ++it)
        keys.insert(it.key());
    EXPECT_EQ(keys, expected);
    EXPECT_EQ(j.at("type"), "Lumra8LED");
    EXPECT_EQ(j.at("wavelenghts_vec"), json({365, 450, 530}));
    EXPECT_EQ(j.at("serial"), 4711);
    EXPECT_EQ(j.get<lsx::LumraDescription>(), sampleDescription());
}

TEST(LumraRecords, DefaultDescriptionIsUndefined)
{
    const lsx::LumraDescription description;
    EXPECT_EQ(description.serial, 0xFFFFFFFFu);
    EXPECT_EQ(description.type, 65535u);
    const json j = description;
    EXPECT_EQ(j.at("type"), "Any");
    EXPECT_EQ(j.get<lsx::LumraDescription>(), description);
}

TEST(LumraRecords, DescriptionAnswerLackingAKeyOrWithAnUnknownModelFails)
{
    json j = sampleDescription();
    j.erase("exclusivity_vec");
    EXPECT_THROW(j.get<lsx::LumraDescription>(), json::out_of_range);
    j = sampleDescription();
    j["type"] = "Lumra 99 Ultra";
    EXPECT_THROW(j.get<lsx::LumraDescription>(), std::invalid_argument);
}

TEST(LumraRecords, ConfigurationRoundTripAndArrayRule)
{
    lsx::LumraConfiguration configuration;
    configuration.intensities = {50, 1000, 0};
    configuration.on_states = {true, false, true};
    const json j = configuration;
    EXPECT_EQ(j, json::parse(R"({"intensities":[50,1000,0],"on_states":[true,false,true]})"));
    EXPECT_EQ(j.get<lsx::LumraConfiguration>(), configuration);

    const json notArray = json::parse(R"({"intensities":null,"on_states":[]})");
    try {
        notArray.get<lsx::LumraConfiguration>();
        FAIL() << "null intensities accepted";
    } catch (const json::type_error& e) {
        EXPECT_NE(std::string(e.what()).find("type must be array, but is null"), std::string::npos) << e.what();
    }
}

TEST(LumraRecords, ModelTableNamesTenModelsAndTheUndefinedType)
{
    std::set<std::string> names;
    for (lsx::LumraType code = 0; code < 10; ++code) {
        const std::string name = lsx::lumraTypeName(code);
        EXPECT_FALSE(name.empty()) << code;
        names.insert(name);
        EXPECT_EQ(lsx::lumraTypeFromString(lsx::lumraTypeToString(code)), code);
    }
    EXPECT_EQ(names.size(), 10u) << "model names must differ";
    EXPECT_EQ(lsx::lumraTypeName(65535), "<Undefined Type>");
    EXPECT_EQ(lsx::lumraTypeName(10), "");
    EXPECT_EQ(lsx::lumraTypeToString(65535), "Any");
    EXPECT_EQ(lsx::lumraTypeFromString("Any"), 65535u);
    EXPECT_EQ(lsx::lumraTypeFromString(lsx::lumraTypeToString(42)), 42u);
    EXPECT_THROW(lsx::lumraTypeFromString(""), std::invalid_argument);
    EXPECT_THROW(lsx::lumraTypeFromString("99999999999"), std::invalid_argument);
}

TEST(LumraRecords, DeviceEntryRoundTrip)
{
    lsx::DeviceEntry entry{"lumra", "127.0.0.1", 8123, "Lumra 4", 7001, true};
    const json j = entry;
    EXPECT_EQ(j, json::parse(R"({"type":"lumra","ip":"127.0.0.1","port":8123,"name":"Lumra 4","serial":7001,"free":true})"));
    EXPECT_EQ(j.get<lsx::DeviceEntry>(), entry);
}

TEST(LumraException, CodeMessageCarriesHexCodeAndTheDeviceLibraryText)
{
    char text[100] = {};
    VYK_GetErrorText(0xA0163013u, text, sizeof(text));
    const lsx::LumraException error(0xA0163013u);
    EXPECT_EQ(std::string(error.what()), std::string("lsx::LumraException (0xa0163013): ") + text);
    EXPECT_EQ(error.code(), 0xA0163013u);
    EXPECT_EQ(std::string(lsx::LumraException(0x1234).what()).rfind("lsx::LumraException (0x1234): ", 0), 0u);
}

TEST(LumraException, TextMessage)
{
    const lsx::LumraException error("Lumra returned no answer!", 0x160000);
    EXPECT_STREQ(error.what(), "lsx::LumraException: Lumra returned no answer!");
    EXPECT_EQ(error.code(), 0x160000u);
}

TEST(LumraException, OnlyNegativeCodesWithoutWarningBitFail)
{
    EXPECT_NO_THROW(lsx::LumraException::throwIfFailed(0));
    EXPECT_NO_THROW(lsx::LumraException::throwIfFailed(0x160000));
    EXPECT_NO_THROW(lsx::LumraException::throwIfFailed(static_cast<int32_t>(0xC0163001u)));
    EXPECT_NO_THROW(lsx::LumraException::throwIfFailed(0x40000001));
    try {
        lsx::LumraException::throwIfFailed(static_cast<int32_t>(0x80160008u));
        FAIL() << "failure not raised";
    } catch (const lsx::LumraException& e) {
        EXPECT_EQ(e.code(), 0x80160008u);
    }
}

}  // namespace
