#include "RowParallel.h"

#include <algorithm>
#include <system_error>

namespace vykconv {

RowParallel::~RowParallel()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    wake_.notify_all();
    if (helper_.joinable())
        helper_.join();
}

bool RowParallel::ensureHelper()
{
    if (helper_.joinable())
        return true;
    try {
        helper_ = std::thread([this] { helperLoop(); });
    } catch (const std::system_error&) {
        return false; // no thread to be had: the caller does all of it
    }
    return true;
}

std::exception_ptr RowParallel::takeChunks(const std::function<void(int, int)>& body)
{
    const int chunks = (rows_ + chunkRows_ - 1) / chunkRows_;
    for (;;) {
        const int chunk = nextChunk_.fetch_add(1, std::memory_order_relaxed);
        if (chunk >= chunks)
            return nullptr;
        const int first = chunk * chunkRows_;
        try {
            body(first, std::min(first + chunkRows_, rows_));
        } catch (...) {
            nextChunk_.store(chunks, std::memory_order_relaxed); // nobody begins another chunk
            return std::current_exception();
        }
    }
}

void RowParallel::helperLoop()
{
    std::unique_lock<std::mutex> lock(mutex_);
    uint64_t seen = 0;
    for (;;) {
        wake_.wait(lock, [&] { return stop_ || (job_ != nullptr && generation_ != seen); });
        if (stop_)
            return;
        seen = generation_;
        const std::function<void(int, int)>& body = *job_;
        helperBusy_ = true;
        lock.unlock();
        std::exception_ptr error = takeChunks(body);
        lock.lock();
        helperBusy_ = false;
        if (error && !helperError_)
            helperError_ = error;
        idle_.notify_all();
    }
}

void RowParallel::run(int rows, size_t pixelsPerRow, const std::function<void(int, int)>& body, size_t minPixels)
{
    if (rows <= 0)
        return;
    static const unsigned cores = std::thread::hardware_concurrency();
    const size_t pixels = static_cast<size_t>(rows) * pixelsPerRow;
    if (rows < 2 || pixels < minPixels || cores < 2) {
        body(0, rows);
        return;
    }
    std::lock_guard<std::mutex> runLock(runMutex_);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!ensureHelper()) {
            body(0, rows);
            return;
        }
        const size_t byPixels = std::max<size_t>(pixels / kMinChunkPixels, 2);
        const int chunks = static_cast<int>(std::min<size_t>({byPixels, static_cast<size_t>(kMaxChunks),
                                                              static_cast<size_t>(rows)}));
        rows_ = rows;
        chunkRows_ = (rows + chunks - 1) / chunks;
        nextChunk_.store(0, std::memory_order_relaxed);
        helperError_ = nullptr;
        job_ = &body;
        ++generation_;
    }
    wake_.notify_one();
    const std::exception_ptr ownError = takeChunks(body);
    std::exception_ptr helperError;
    {
        // Withdraw the job: a helper that has not taken it by now never will; one that
        // has is finishing its last chunk.
        std::unique_lock<std::mutex> lock(mutex_);
        job_ = nullptr;
        idle_.wait(lock, [&] { return !helperBusy_; });
        helperError = helperError_;
        helperError_ = nullptr;
    }
    if (ownError)
        std::rethrow_exception(ownError);
    if (helperError)
        std::rethrow_exception(helperError);
}

} // namespace vykconv
