// Library-wide initialisation of the simulated device library.
#include "kv2_cam.h"

#include <atomic>

namespace {
// Counts VYK_InitializeLib calls not yet matched by VYK_CleanupLib.
std::atomic<int> initCount{0};
} // namespace

extern "C" int32_t VYK_InitializeLib(void)
{
    ++initCount;
    return VYK_NOERROR;
}

extern "C" int32_t VYK_CleanupLib(void)
{
    if (initCount.load() > 0)
        --initCount;
    return VYK_NOERROR;
}
