// Capacity from the machine's available memory and from free disk space.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "MemoryBudget.h"

using vykrec::MemoryBudget;

TEST(MemoryBudget, ParsesMemAvailableInKilobytes)
{
    const std::string meminfo = "MemTotal:       16000000 kB\n"
                                "MemFree:         1000000 kB\n"
                                "MemAvailable:    8000000 kB\n"
                                "Buffers:          100000 kB\n";
    EXPECT_EQ(MemoryBudget::parseMemAvailable(meminfo), 8000000ull * 1024);
    EXPECT_EQ(MemoryBudget::parseMemAvailable("MemTotal: 5 kB\n"), 0u);
    EXPECT_EQ(MemoryBudget::parseMemAvailable("MemAvailable: x kB\n"), 0u);
    EXPECT_GT(MemoryBudget::availableBytes(), 0u);
}

TEST(MemoryBudget, GivesAtMostHalfOfWhatIsAvailableMinusReservations)
{
    const uint64_t image = 1 << 20;
    EXPECT_EQ(MemoryBudget::memoryCapacity(image, 100ull << 20), 50u);
    {
        MemoryBudget::Reservation held(20ull << 20);
        EXPECT_EQ(MemoryBudget::memoryCapacity(image, 100ull << 20), 30u);
        MemoryBudget::Reservation more(40ull << 20);
        EXPECT_EQ(MemoryBudget::memoryCapacity(image, 100ull << 20), 0u);
    }
    EXPECT_EQ(MemoryBudget::memoryCapacity(image, 100ull << 20), 50u);
    EXPECT_EQ(MemoryBudget::memoryCapacity(0, 100ull << 20), 0u);
}

TEST(MemoryBudget, DiskCapacityComesFromTheTargetFolder)
{
    char folder[] = "/tmp/vykrec_budget_XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    const std::string path = std::string(folder) + "/rec.tif";
    EXPECT_GT(MemoryBudget::diskCapacity(path, 4096), 0u);
    EXPECT_EQ(MemoryBudget::diskCapacity(std::string(folder) + "/missing/rec.tif", 4096), 0u);
    rmdir(folder);
}
