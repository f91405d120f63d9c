// One recorder: the recording of one camera into memory, files or from camera RAM.
#ifndef VYK_RECORDER_RECORDER_H
#define VYK_RECORDER_RECORDER_H

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "AutoExposure.h"
#include "Compander.h"
#include "FrameStore.h"
#include "MemoryBudget.h"
#include "vyk_recorder.h"
#include "vyk_sim_frames.h"

namespace vyksim {
class FileSequenceWriter;
struct FileWriterOptions;
struct AcquisitionFacts;
}

namespace vykrec {

class RecordedFileReader;

// Threads: API calls come from any thread; frames arrive on the camera's frame thread
// (onFrame); the recorder's own worker thread, started by start() and joined by stop(),
// makes the camera calls the frame thread must not make (stopping the camera when a
// sequence is full, setting the exposure for auto exposure).
// Locks: opLock_ serialises init/start/stop; lock_ guards the recording state listed
// below and is never held during a camera call or an image copy; FrameStore and the file
// writer lock themselves. Order: opLock_, then lock_.
class Recorder {
public:
    // Receives one image: pixels (width*height values), size and what was kept with it.
    using ImageReader = std::function<void(const uint16_t* pixels, uint32_t width, uint32_t height,
                                           const FrameInfo& info)>;

    // Makes a recorder for camera in mode (VYK_RECORDER_MODE_*); path only for files.
    static int32_t create(VYK_HANDLE camera, uint32_t mode, const std::string& path,
                          std::shared_ptr<Recorder>& out);
    ~Recorder(); // stops

    // The camera recorded, and the capacity measured at creation.
    VYK_HANDLE camera() const { return camera_; }
    uint32_t capacity() const { return capacity_; }

    // The operations of vyk_recorder.h for this recorder's camera.
    int32_t init(uint32_t imageCount, uint16_t type, uint16_t fileFlag, const char* path, uint16_t segment);
    int32_t start();
    int32_t stop();
    int32_t status(uint32_t* running, uint32_t* recorded, uint32_t* bufferSize, int32_t* errorStatus);
    void frameCounts(uint64_t* delivered, uint64_t* lost);
    void settings(uint32_t* settingsWord, uint16_t* width, uint16_t* height);

    // Significant bits per pixel of the recording.
    uint16_t bitDepth();

    // Hands image index to reader; VYK_ERR_NO_IMAGE when there is none.
    int32_t read(uint32_t index, const ImageReader& reader);

    // Companding for CompressedMono8: set the parameters, get the table (null before).
    int32_t setCompression(const VYK_CompressionParams& params);
    std::shared_ptr<const Compander> compander();

    // Auto exposure: the region, and on/off with limits in seconds.
    int32_t setAutoExposureRegion(uint16_t region);
    int32_t setAutoExposure(bool on, uint16_t smoothness, double minimumS, double maximumS);

    // Options for the file writers of later recordings (tests slow the disk down with them).
    void setFileWriterOptions(const vyksim::FileWriterOptions& options);

    // The preview ring of the file modes holds at most this many images; older images of
    // a file recording are read back from its files once they are complete.
    static constexpr uint32_t kPreviewImages = 16;

private:
    Recorder(VYK_HANDLE camera, uint32_t mode, std::string path, uint32_t capacity, uint64_t available);

    int32_t stopLocked();                         // stop() with opLock_ held
    bool ended();                                 // started, and ended by itself since
    void onFrame(const vyksim::SimFrame& frame); // camera frame thread
    void workerLoop();                            // worker thread
    void shutdownCamera();                        // removes the sink, switches recording off
    int32_t finishFiles();                        // closes the files; the writer's error status
    vyksim::AcquisitionFacts cameraFacts();       // the camera's name, serial and exposure now
    void adjustExposure(double level);            // worker: one auto-exposure step
    void noteError(int32_t code);                 // keeps the first failure; lock_ held
    int32_t readFormat();                         // camera's image size into width_ etc.; lock_ held
    void releaseStore();                          // frees the images and their budget; lock_ held
    bool allocateStore(StorePolicy policy, uint32_t images); // new store_; false: no memory; lock_ held
    void resetCounts();                           // error status and frame counts to 0; lock_ held
    int32_t initMemory(uint32_t imageCount, uint16_t type, const char* path);
    int32_t initFiles(uint32_t imageCount, uint16_t type, uint16_t fileFlag, const char* path);
    int32_t initCamRam(uint16_t type, const char* path, uint16_t segment);
    int32_t readCamRam(uint32_t index, const ImageReader& reader);
    int32_t readFiles(uint32_t index, const ImageReader& reader);

    const VYK_HANDLE camera_;
    const uint32_t mode_;        // VYK_RECORDER_MODE_*
    const std::string createPath_;
    const uint32_t capacity_;
    const uint64_t availableAtCreate_; // bytes of memory the system had when capacity_ was measured

    std::mutex opLock_;          // serialises init, start and stop

    mutable std::mutex lock_;    // guards every member below
    std::condition_variable workCv_; // wakes the worker (with lock_)
    uint16_t type_ = 0;          // type of init; 0 before init
    uint32_t imageCount_ = 0;    // images asked for by init
    uint16_t segment_ = 0;       // camera RAM: the segment read
    uint32_t width_ = 0;         // image size of the recording
    uint32_t height_ = 0;
    uint16_t bitDepth_ = 16;
    std::string filePath_;       // files: the target
    std::shared_ptr<FrameStore> store_;                  // memory images, or the files' preview ring
    std::unique_ptr<MemoryBudget::Reservation> reservation_; // the store's share of the memory budget
    std::shared_ptr<vyksim::FileSequenceWriter> writer_; // files: the writer of the current recording
    std::shared_ptr<const vyksim::FileWriterOptions> writerOptions_; // null: the writer's defaults
    std::vector<FrameInfo> fileInfos_;   // files: what came with each accepted image, in recording order
    std::shared_ptr<RecordedFileReader> fileReader_; // files: reads the closed files back; null until needed
    bool started_ = false;       // between start() and stop()
    bool running_ = false;       // reported running flag
    bool accepting_ = false;     // the frame sink takes images
    bool sinkInstalled_ = false; // our sink is installed on the camera
    bool cameraOn_ = false;      // we switched the camera's recording state on
    bool stopWorker_ = false;    // the worker should end
    bool finishRequested_ = false; // the recording is complete: the worker shuts it down
    bool aePending_ = false;     // aeLevel_ waits for the worker
    double aeLevel_ = 0.0;       // latest measured level (0..1)
    uint64_t aeSettleFrame_ = 0; // frames before this number were exposed before the last change
    AutoExposure autoExposure_;  // settings and controller
    double cameraMinExposureS_ = 0.0; // the camera's own exposure limits, read at start
    double cameraMaxExposureS_ = 1e9;
    std::shared_ptr<const Compander> compander_;
    uint64_t delivered_ = 0;     // frames the camera delivered into this recording
    uint64_t lost_ = 0;          // frames that did not make it into the recording
    uint64_t accepted_ = 0;      // files: frames the writer accepted
    uint64_t lastFrameNumber_ = 0; // camera frame number of the last delivered frame
    int32_t errorStatus_ = 0;    // first failure of the recording

    std::thread worker_;         // owned; joined by stop() (opLock_ held)
};

} // namespace vykrec

#endif // VYK_RECORDER_RECORDER_H
