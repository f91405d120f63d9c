// The RASTEL_GENICAM list and the serial numbers of GenICam cameras.
#include <gtest/gtest.h>

#include "GenicamIds.h"
#include "kv2_cam.h"

using vyksim::parseGenicamList;
using vyksim::serialOfGenicamText;

TEST(GenicamList, EntriesCarryTheirDeviceFeaturesAndInterface)
{
    const auto list = parseGenicamList(" 127.0.0.1 , Fake_1 PixelFormat=BayerRG8  Width=64,,Basler-a2A-40012345");
    ASSERT_EQ(list.ids.size(), 3u);
    EXPECT_FALSE(list.discover);
    EXPECT_EQ(list.ids[0].device, "127.0.0.1");
    EXPECT_EQ(list.ids[0].features, "");
    EXPECT_EQ(list.ids[0].interfaceType, VYK_INTERFACE_GIGE);
    EXPECT_EQ(list.ids[1].device, "Fake_1");
    EXPECT_EQ(list.ids[1].features, "PixelFormat=BayerRG8 Width=64");
    EXPECT_EQ(list.ids[1].interfaceType, VYK_INTERFACE_GIGE);
    EXPECT_EQ(list.ids[2].device, "Basler-a2A-40012345");
    EXPECT_EQ(list.ids[2].interfaceType, VYK_INTERFACE_USB3);
}

TEST(GenicamList, DiscoverIsAWordNotADeviceAndDuplicatesCountOnce)
{
    const auto list = parseGenicamList("Discover,10.0.0.7,10.0.0.7 Width=8,10.0.0.256");
    EXPECT_TRUE(list.discover);
    ASSERT_EQ(list.ids.size(), 2u);
    EXPECT_EQ(list.ids[0].device, "10.0.0.7");
    EXPECT_EQ(list.ids[0].features, ""); // the first mention wins
    // Not an address (256): taken as a camera id on USB3.
    EXPECT_EQ(list.ids[1].interfaceType, VYK_INTERFACE_USB3);
    EXPECT_TRUE(parseGenicamList("").ids.empty());
    EXPECT_TRUE(parseGenicamList(" , ").ids.empty());
}

TEST(GenicamSerial, NumbersStayNumbersOtherTextsHashStably)
{
    EXPECT_EQ(serialOfGenicamText("1"), 1u);
    EXPECT_EQ(serialOfGenicamText("4294967295"), 4294967295u);
    // Too large, or not a number: the FNV-1a hash with the top bit set.
    EXPECT_EQ(serialOfGenicamText("GV01"), 0xcfd8d643u); // documented in docs/genicam.md
    EXPECT_NE(serialOfGenicamText("4294967296"), 0u);
    EXPECT_NE(serialOfGenicamText("4294967296") & 0x80000000u, 0u);
    EXPECT_NE(serialOfGenicamText("GV01"), serialOfGenicamText("GV02"));
    EXPECT_EQ(serialOfGenicamText(""), 0x80000000u | 2166136261u);
}
