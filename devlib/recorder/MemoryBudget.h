// How many images fit into the machine's memory or onto a disk.
#ifndef VYK_RECORDER_MEMORY_BUDGET_H
#define VYK_RECORDER_MEMORY_BUDGET_H

#include <cstdint>
#include <string>

namespace vykrec {

// Capacities are measured, never assumed: memory from the kernel's estimate of what can
// be allocated without swapping (MemAvailable), of which recordings take at most half,
// minus what live recordings have already reserved; disk from the free space of the folder.
class MemoryBudget {
public:
    // Holds bytes of the memory budget for a live recording until destroyed.
    class Reservation {
    public:
        explicit Reservation(uint64_t bytes); // takes bytes from the budget
        ~Reservation();                       // gives them back
        Reservation(const Reservation&) = delete;
        Reservation& operator=(const Reservation&) = delete;

    private:
        uint64_t bytes_;
    };

    // MemAvailable of a /proc/meminfo text in bytes; 0 when it has no such line.
    static uint64_t parseMemAvailable(const std::string& meminfo);

    // MemAvailable of this machine in bytes (0 when it cannot be read).
    static uint64_t availableBytes();

    // Bytes currently reserved by live recordings.
    static uint64_t reservedBytes();

    // Images of imageBytes each that a new memory recording may hold, given available bytes.
    static uint32_t memoryCapacity(uint64_t imageBytes, uint64_t available);

    // Images of imageBytes each that fit into the free space of the folder holding path
    // (0 when the folder does not exist).
    static uint32_t diskCapacity(const std::string& path, uint64_t imageBytes);
};

} // namespace vykrec

#endif // VYK_RECORDER_MEMORY_BUDGET_H
