#pragma once
// How often named threads of this process went to sleep of their own accord, read from the
// kernel's per-thread counters (Linux /proc). A thread that waits on a condition adds about
// one voluntary context switch per wake-up; one that polls adds one per poll. So the count
// over an idle stretch tells a waiting thread from a polling one, whatever the machine's load.

#include <cstdint>
#include <string>

namespace testsupport {

/// Voluntary context switches so far, summed over this process's threads named name.
uint64_t voluntarySwitches(const std::string& name);
/// Number of this process's threads named name.
int threadsNamed(const std::string& name);
/// Voluntary context switches of the calling thread so far.
uint64_t voluntarySwitchesOfThisThread();

}  // namespace testsupport
