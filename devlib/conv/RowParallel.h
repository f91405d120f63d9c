// Shares a frame's rows between the calling thread and one helper thread.
#ifndef VYKCONV_ROW_PARALLEL_H
#define VYKCONV_ROW_PARALLEL_H

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>

namespace vykconv {

// Runs a row-band function over a frame, on two cores when the frame is large enough.
// The rows are cut into chunks that the calling thread and the helper take in turn, so
// a helper that the scheduler starts late (the cores are busy) only takes fewer chunks:
// the caller never waits for a helper that has not begun, only for the chunk the helper
// is working on. The helper thread is started on the first frame that is split and
// joined by the destructor. One run at a time per object; concurrent calls queue.
class RowParallel {
public:
    RowParallel() = default;
    // Stops and joins the helper thread.
    ~RowParallel();
    RowParallel(const RowParallel&) = delete;
    RowParallel& operator=(const RowParallel&) = delete;

    // Calls body(firstRow, endRow) over disjoint bands that together cover [0, rows), each
    // row once. Frames smaller than minPixels run as one band on the calling thread. An
    // exception thrown by a band is rethrown once every band has ended; bands not yet
    // begun by then are skipped.
    void run(int rows, size_t pixelsPerRow, const std::function<void(int, int)>& body,
             size_t minPixels = kMinPixels);

    // Frames smaller than this many pixels are converted on the calling thread alone:
    // waking a helper costs more than it saves.
    static constexpr size_t kMinPixels = 128 * 1024;
    // The same for light work: passes at memory speed and vector code of a few instructions
    // per pixel (range scans, the linear tone ramp, mono sharpening). A 4-Mpixel frame takes
    // under a millisecond on one core; a helper would shorten that but cost more CPU time
    // than it saves (a fifth more for mono sharpening), and on a busy machine it may wait a
    // scheduler slice for a core.
    static constexpr size_t kMinPixelsLightWork = 16 * 1024 * 1024;
    // Chunks hold at least this many pixels (fewer chunks, less per-band set-up) ...
    static constexpr size_t kMinChunkPixels = 64 * 1024;
    // ... and a frame is cut into at most this many.
    static constexpr int kMaxChunks = 16;

private:
    // Takes chunks of the current job until none is left; returns the first exception.
    std::exception_ptr takeChunks(const std::function<void(int, int)>& body);
    // Body of the helper thread.
    void helperLoop();
    // Starts the helper thread if it does not run; false when no thread can be had.
    bool ensureHelper();

    std::mutex runMutex_;                       // held for a whole run(): one job at a time
    std::mutex mutex_;                          // guards the members below up to helper_
    std::condition_variable wake_;              // the helper waits here for a job or stop_
    std::condition_variable idle_;              // run() waits here for the helper to leave a job
    const std::function<void(int, int)>* job_ = nullptr; // job on offer; null once withdrawn
    uint64_t generation_ = 0;                   // counts jobs offered
    bool helperBusy_ = false;                   // the helper works on the job
    bool stop_ = false;                         // the helper must end
    std::exception_ptr helperError_;            // first exception of the helper's bands
    std::thread helper_;                        // joined by the destructor
    // Job geometry: written by run() before the job is offered, read-only while it is.
    int rows_ = 0;                              // rows of the frame
    int chunkRows_ = 0;                         // rows per chunk
    std::atomic<int> nextChunk_{0};             // next chunk to take; chunks are taken once
};

} // namespace vykconv

#endif
