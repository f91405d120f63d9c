// Shared set-up of the tests that drive GenICam cameras through the device library.
#ifndef RASTEL_GENICAM_FIXTURE_H
#define RASTEL_GENICAM_FIXTURE_H

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "kv2_cam.h"
#include "vyk_recorder.h"

namespace gentest {

// Waits (polling every millisecond) until condition holds or timeoutS have passed.
bool waitFor(const std::function<bool()>& condition, double timeoutS = 30.0);

// One recorded image as the recorder hands it out.
struct Copy {
    int32_t rc = 0;
    std::vector<uint16_t> pixels;
    uint32_t number = 0;           // recorder image number
    uint32_t counter = 0;          // dwImgCounter of the timestamp block
    uint8_t metadata[VYK_METADATA_SIZE] = {};
};

// Status fields of a recorder for one camera.
struct Status {
    uint32_t running = 0;
    uint32_t recorded = 0;
    uint32_t bufferSize = 0;
    int32_t error = 0;
};

// Opens GenICam cameras named by RASTEL_GENICAM and cleans up cameras, recorders and folders.
class GenicamTest : public ::testing::Test {
protected:
    void TearDown() override;

    // Sets RASTEL_GENICAM to list and opens the first GenICam camera on the GigE interface
    // (it follows the one simulated GigE camera of the built-in set), trying again for up
    // to waitS seconds (a camera process still starting). Null on failure.
    VYK_HANDLE openGenicam(const std::string& list, double waitS = 0.0);
    // Closes a camera opened by openGenicam.
    void close(VYK_HANDLE camera);
    // Creates a recorder (deleted in TearDown).
    VYK_RECORDER create(VYK_HANDLE camera, uint32_t mode, const char* path = nullptr);
    // Status of recorder for camera.
    Status status(VYK_RECORDER recorder, VYK_HANDLE camera);
    // Delivered and lost frame counts.
    void frameCounts(VYK_RECORDER recorder, VYK_HANDLE camera, uint64_t& delivered, uint64_t& lost);
    // Copies image index with its metadata and timestamp blocks.
    Copy copy(VYK_RECORDER recorder, VYK_HANDLE camera, uint32_t index);
    // Records count images into memory (sequence) and waits until the recording ended.
    VYK_RECORDER recordSequence(VYK_HANDLE camera, uint32_t count);
    // A fresh temporary folder (removed in TearDown).
    std::string folder();

private:
    std::vector<VYK_HANDLE> cameras_;
    std::vector<VYK_RECORDER> recorders_;
    std::vector<std::string> folders_;
};

} // namespace gentest

#endif // RASTEL_GENICAM_FIXTURE_H
