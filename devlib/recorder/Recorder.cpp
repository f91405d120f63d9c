#include "Recorder.h"

#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <new>
#include <stdexcept>

#include "RecorderRegistry.h"

#ifdef VYK_RECORDER_HAVE_FILES
#include "FileSequenceWriter.h"
#include "RecordedFileReader.h"
#endif

namespace vykrec {

namespace {

// Seconds of a device time value in time base 0 (ns), 1 (us) or 2 (ms).
double toSeconds(uint32_t value, uint16_t base)
{
    static const double scale[] = {1e-9, 1e-6, 1e-3};
    return double(value) * scale[std::min<uint16_t>(base, 2)];
}

// A time in seconds as the device takes it: nanoseconds below 4 ms, microseconds below 4 s,
// else milliseconds.
void fromSeconds(double seconds, uint32_t* value, uint16_t* base)
{
    if (seconds < 0.004) {
        *base = VYK_TIMEBASE_NS;
        *value = uint32_t(seconds * 1e9);
    } else if (seconds < 4.0) {
        *base = VYK_TIMEBASE_US;
        *value = uint32_t(seconds * 1e6);
    } else {
        *base = VYK_TIMEBASE_MS;
        *value = uint32_t(seconds * 1e3);
    }
}

bool fileExists(const std::string& path)
{
    struct stat info {};
    return stat(path.c_str(), &info) == 0;
}

bool folderExists(const std::string& path)
{
    const size_t slash = path.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
    struct stat info {};
    return stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool empty(const char* path)
{
    return path == nullptr || path[0] == '\0';
}

// Frames the file writer may hold back: about 256 MiB, between 4 and 64 images.
uint32_t writerBufferFrames(uint64_t imageBytes)
{
    const uint64_t frames = (uint64_t(256) << 20) / std::max<uint64_t>(imageBytes, 1);
    return uint32_t(std::clamp<uint64_t>(frames, 4, 64));
}

} // namespace

int32_t Recorder::create(VYK_HANDLE camera, uint32_t mode, const std::string& path,
                         std::shared_ptr<Recorder>& out)
{
    uint32_t width = 0, height = 0;
    uint16_t bits = 0;
    const int32_t format = vyksim::simImageFormat(camera, &width, &height, &bits);
    if (VYK_FAILED(format))
        return format;
    const uint64_t imageBytes = uint64_t(width) * height * sizeof(uint16_t);
    uint32_t capacity = 0;
    uint64_t available = 0;
    switch (mode) {
    case VYK_RECORDER_MODE_MEMORY:
        if (!path.empty())
            return VYK_ERR_FILE_PATH_RULE;
        // Measured as init measures it, slot bookkeeping included, so init accepts it.
        available = MemoryBudget::availableBytes();
        capacity = MemoryBudget::memoryCapacity(FrameStore::bytesFor(1, width, height), available);
        if (capacity == 0)
            return VYK_ERR_OUT_OF_MEMORY;
        break;
    case VYK_RECORDER_MODE_FILE:
#ifndef VYK_RECORDER_HAVE_FILES
        return VYK_ERR_NOT_SUPPORTED;
#endif
        if (path.empty())
            return VYK_ERR_FILE_PATH_RULE;
        if (!folderExists(path))
            return VYK_ERR_FILE_IO;
        capacity = MemoryBudget::diskCapacity(path, imageBytes);
        break;
    case VYK_RECORDER_MODE_CAMRAM: {
        if (!path.empty())
            return VYK_ERR_FILE_PATH_RULE;
        uint16_t segment = 0;
        const int32_t active = VYK_GetActiveRamSegment(camera, &segment);
        if (VYK_FAILED(active))
            return active;
        uint32_t valid = 0;
        const int32_t counts = vyksim::simCamRamImageCounts(camera, segment, &valid, &capacity);
        if (VYK_FAILED(counts))
            return counts;
        break;
    }
    default:
        return VYK_ERR_INVALID_ARGUMENT;
    }
    out.reset(new Recorder(camera, mode, path, capacity, available));
    std::lock_guard<std::mutex> guard(out->lock_);
    out->width_ = width;
    out->height_ = height;
    out->bitDepth_ = bits;
    return VYK_NOERROR;
}

Recorder::Recorder(VYK_HANDLE camera, uint32_t mode, std::string path, uint32_t capacity, uint64_t available)
    : camera_(camera), mode_(mode), createPath_(std::move(path)), capacity_(capacity), availableAtCreate_(available)
{
}

Recorder::~Recorder()
{
    stop();
}

void Recorder::noteError(int32_t code)
{
    // The first failure stays, except that lost frames give way to a failure that ends the
    // recording (a write that failed, a camera that stopped answering): the status must
    // tell why the recording ended.
    auto lostFrames = [](int32_t c) { return c == VYK_ERR_BUFFER_OVERRUN || c == VYK_ERR_INCOMPLETE_IMAGES; };
    if (errorStatus_ == 0 || (lostFrames(errorStatus_) && !lostFrames(code)))
        errorStatus_ = code;
}

int32_t Recorder::readFormat()
{
    uint32_t width = 0, height = 0;
    uint16_t bits = 0;
    const int32_t rc = vyksim::simImageFormat(camera_, &width, &height, &bits);
    if (VYK_FAILED(rc))
        return rc;
    width_ = width;
    height_ = height;
    bitDepth_ = bits;
    return VYK_NOERROR;
}

int32_t Recorder::init(uint32_t imageCount, uint16_t type, uint16_t fileFlag, const char* path,
                       uint16_t segment)
{
    std::lock_guard<std::mutex> op(opLock_);
    // A recording that ended by itself is wound up here; a running one refuses.
    if (ended())
        stopLocked();
    {
        std::lock_guard<std::mutex> guard(lock_);
        if (started_)
            return VYK_ERR_RECORDING_RUNS;
    }
    switch (mode_) {
    case VYK_RECORDER_MODE_MEMORY:
        return initMemory(imageCount, type, path);
    case VYK_RECORDER_MODE_FILE:
        return initFiles(imageCount, type, fileFlag, path);
    default:
        return initCamRam(type, path, segment);
    }
}

int32_t Recorder::initMemory(uint32_t imageCount, uint16_t type, const char* path)
{
    if (!empty(path))
        return VYK_ERR_FILE_PATH_RULE;
    if (type < VYK_RECORDER_MEMORY_SEQUENCE || type > VYK_RECORDER_MEMORY_FIFO || imageCount == 0)
        return VYK_ERR_INVALID_ARGUMENT;
    if (type != VYK_RECORDER_MEMORY_SEQUENCE && imageCount < 4)
        return VYK_ERR_NO_MEMORY_SEGMENT;
    std::lock_guard<std::mutex> guard(lock_);
    const int32_t format = readFormat();
    if (VYK_FAILED(format))
        return format;
    // Release the old buffers first: their memory counts against the new budget.
    releaseStore();
    const uint64_t imageBytes = FrameStore::bytesFor(1, width_, height_);
    // The capacity promised at create holds even when other processes have taken some
    // memory since (the caller asked for exactly that many); recorders of this process
    // that reserved since then still count against it.
    const uint64_t available = std::max(availableAtCreate_, MemoryBudget::availableBytes());
    if (imageCount > capacity_ || imageCount > MemoryBudget::memoryCapacity(imageBytes, available))
        return VYK_ERR_OUT_OF_MEMORY;
    const StorePolicy policy = type == VYK_RECORDER_MEMORY_SEQUENCE ? StorePolicy::Sequence
                               : type == VYK_RECORDER_MEMORY_RING   ? StorePolicy::Ring
                                                                    : StorePolicy::Fifo;
    if (!allocateStore(policy, imageCount))
        return VYK_ERR_OUT_OF_MEMORY;
    type_ = type;
    imageCount_ = imageCount;
    resetCounts();
    return VYK_NOERROR;
}

void Recorder::releaseStore()
{
    store_.reset();
    reservation_.reset();
}

bool Recorder::allocateStore(StorePolicy policy, uint32_t images)
{
    releaseStore();
    try {
        store_ = std::make_shared<FrameStore>(policy, images, width_, height_);
    } catch (const std::bad_alloc&) {
        return false;
    }
    reservation_ = std::make_unique<MemoryBudget::Reservation>(FrameStore::bytesFor(images, width_, height_));
    return true;
}

void Recorder::resetCounts()
{
    errorStatus_ = 0;
    delivered_ = lost_ = accepted_ = 0;
}

int32_t Recorder::initFiles(uint32_t imageCount, uint16_t type, uint16_t fileFlag, const char* path)
{
#ifndef VYK_RECORDER_HAVE_FILES
    (void)imageCount, (void)type, (void)fileFlag, (void)path;
    return VYK_ERR_NOT_SUPPORTED;
#else
    const std::string target = path != nullptr ? std::string(path) : createPath_;
    if (target.empty())
        return VYK_ERR_FILE_PATH_RULE;
    if (type < VYK_RECORDER_FILE_TIFF || type > VYK_RECORDER_FILE_MULTIDICOM || imageCount == 0 || fileFlag > 1)
        return VYK_ERR_INVALID_ARGUMENT;
    if (!folderExists(target))
        return VYK_ERR_FILE_IO;
    // Only the one-file types write to the target itself; the others derive numbered names.
    const bool oneFile = type == VYK_RECORDER_FILE_MULTITIFF || type == VYK_RECORDER_FILE_VYKRAW ||
                         type == VYK_RECORDER_FILE_MULTIDICOM;
    const bool exists = oneFile && fileExists(target);
    if (exists && fileFlag == 0)
        return VYK_ERR_FILE_EXISTS;
    std::lock_guard<std::mutex> guard(lock_);
    const int32_t format = readFormat();
    if (VYK_FAILED(format))
        return format;
    if (!allocateStore(StorePolicy::Ring, std::min(imageCount, kPreviewImages)))
        return VYK_ERR_OUT_OF_MEMORY;
    writer_.reset();
    fileReader_.reset();
    fileInfos_.clear();
    filePath_ = target;
    type_ = type;
    imageCount_ = imageCount;
    resetCounts();
    return exists ? VYK_WARN_FILE_EXISTS : VYK_NOERROR;
#endif
}

int32_t Recorder::initCamRam(uint16_t type, const char* path, uint16_t segment)
{
    if (!empty(path))
        return VYK_ERR_FILE_PATH_RULE;
    if (type != VYK_RECORDER_CAMRAM_SEGMENT || segment < 1 || segment > VYK_RAM_SEGMENTS)
        return VYK_ERR_INVALID_ARGUMENT;
    uint32_t valid = 0, maximum = 0;
    const int32_t counts = vyksim::simCamRamImageCounts(camera_, segment, &valid, &maximum);
    if (VYK_FAILED(counts))
        return counts;
    std::lock_guard<std::mutex> guard(lock_);
    const int32_t format = readFormat();
    if (VYK_FAILED(format))
        return format;
    type_ = type;
    segment_ = segment;
    imageCount_ = maximum;
    resetCounts();
    return VYK_NOERROR;
}

int32_t Recorder::start()
{
    std::lock_guard<std::mutex> op(opLock_);
    if (ended())
        stopLocked();
    {
        std::lock_guard<std::mutex> guard(lock_);
        if (type_ == 0)
            return VYK_ERR_NO_RECORDING;
        if (started_)
            return VYK_ERR_RECORDING_RUNS;
        if (mode_ != VYK_RECORDER_MODE_CAMRAM) {
            uint32_t width = 0, height = 0;
            uint16_t bits = 0;
            const int32_t rc = vyksim::simImageFormat(camera_, &width, &height, &bits);
            if (VYK_FAILED(rc))
                return rc;
            // The buffers were shaped at init; the camera must still deliver that shape.
            if (width != width_ || height != height_)
                return VYK_ERR_WRONG_SIZE;
            bitDepth_ = bits;
        }
    }
    if (!RecorderRegistry::claimCamera(camera_, this))
        return VYK_ERR_CAMERA_BUSY;

    // The camera's own exposure limits bound auto exposure.
    VYK_Description description{};
    description.wSize = sizeof(description);
    double minExposure = 0.0, maxExposure = 1e9;
    if (!VYK_FAILED(VYK_GetCameraDescription(camera_, &description))) {
        uint16_t alternative = 0;
        const bool alt = description.wAltSensitivityDESC != 0 &&
                         !VYK_FAILED(VYK_GetAltSensitivityMode(camera_, &alternative)) && alternative != 0;
        minExposure = (alt ? description.dwMinExposAltDESC : description.dwMinExposDESC) * 1e-9;
        maxExposure = (alt ? description.dwMaxExposAltDESC : description.dwMaxExposDESC) * 1e-3;
    }

#ifdef VYK_RECORDER_HAVE_FILES
    std::shared_ptr<vyksim::FileSequenceWriter> writer;
    if (mode_ == VYK_RECORDER_MODE_FILE) {
        const vyksim::AcquisitionFacts facts = cameraFacts();
        std::lock_guard<std::mutex> guard(lock_);
        const vyksim::FileFrameFormat format{width_, height_, bitDepth_};
        try {
            const uint32_t buffer = writerBufferFrames(FrameStore::bytesFor(1, width_, height_));
            writer = std::make_shared<vyksim::FileSequenceWriter>(
                vyksim::FileKind(type_), filePath_, format, imageCount_, buffer,
                writerOptions_ ? *writerOptions_ : vyksim::FileWriterOptions{}, facts);
        } catch (const std::exception&) {
            RecorderRegistry::releaseCamera(camera_, this);
            return VYK_ERR_FILE_IO;
        }
    }
#endif

    {
        std::lock_guard<std::mutex> guard(lock_);
        if (store_)
            store_->clear();
#ifdef VYK_RECORDER_HAVE_FILES
        writer_ = writer;
        fileReader_.reset();
        fileInfos_.clear();
#endif
        cameraMinExposureS_ = minExposure;
        cameraMaxExposureS_ = maxExposure;
        resetCounts();
        lastFrameNumber_ = 0;
        aeSettleFrame_ = 0;
        aePending_ = finishRequested_ = stopWorker_ = false;
        started_ = running_ = accepting_ = true;
        sinkInstalled_ = true;
    }
    worker_ = std::thread(&Recorder::workerLoop, this);

    int32_t rc = vyksim::simSetFrameSink(camera_, [this](const vyksim::SimFrame& frame) { onFrame(frame); });
    if (!VYK_FAILED(rc)) {
        rc = VYK_SetRecordingState(camera_, 1);
        if (!VYK_FAILED(rc)) {
            std::lock_guard<std::mutex> guard(lock_);
            cameraOn_ = true;
            return VYK_NOERROR;
        }
    } else {
        std::lock_guard<std::mutex> guard(lock_);
        sinkInstalled_ = false;
    }
    // Undo: the recording never began.
    {
        std::lock_guard<std::mutex> guard(lock_);
        stopWorker_ = true;
        accepting_ = false;
    }
    workCv_.notify_all();
    worker_.join();
    shutdownCamera();
    finishFiles();
    std::lock_guard<std::mutex> guard(lock_);
    started_ = running_ = false;
    return rc;
}

int32_t Recorder::stop()
{
    std::lock_guard<std::mutex> op(opLock_);
    return stopLocked();
}

int32_t Recorder::stopLocked()
{
    {
        std::lock_guard<std::mutex> guard(lock_);
        if (!started_)
            return VYK_NOERROR;
        accepting_ = false;
        stopWorker_ = true;
    }
    workCv_.notify_all();
    if (worker_.joinable())
        worker_.join();
    shutdownCamera();
    // Lost images are the recording's status; the stop itself fails only when accepted
    // images could not be written.
    const int32_t rc = finishFiles();
    std::lock_guard<std::mutex> guard(lock_);
    started_ = running_ = false;
    return rc == VYK_ERR_FILE_IO ? rc : VYK_NOERROR;
}

bool Recorder::ended()
{
    bool started = false, running = false;
    {
        std::lock_guard<std::mutex> guard(lock_);
        started = started_;
        running = running_;
    }
    if (!started)
        return false;
    if (mode_ != VYK_RECORDER_MODE_CAMRAM)
        return !running;
    uint16_t state = 0;
    return VYK_FAILED(VYK_GetRecordingState(camera_, &state)) || state == 0;
}

void Recorder::shutdownCamera()
{
    bool sink = false, on = false;
    {
        std::lock_guard<std::mutex> guard(lock_);
        std::swap(sink, sinkInstalled_);
        std::swap(on, cameraOn_);
    }
    // Removing the sink waits for a frame still being handed over, which still counts.
    if (sink)
        vyksim::simSetFrameSink(camera_, {});
    {
        std::lock_guard<std::mutex> guard(lock_);
        accepting_ = false;
    }
    if (on)
        VYK_SetRecordingState(camera_, 0);
    RecorderRegistry::releaseCamera(camera_, this);
}

int32_t Recorder::finishFiles()
{
#ifdef VYK_RECORDER_HAVE_FILES
    std::shared_ptr<vyksim::FileSequenceWriter> writer;
    {
        std::lock_guard<std::mutex> guard(lock_);
        writer = writer_;
    }
    if (!writer)
        return VYK_NOERROR;
    writer->finish();
    const int32_t rc = writer->errorStatus();
    std::lock_guard<std::mutex> guard(lock_);
    if (rc != 0)
        noteError(rc);
    return rc;
#else
    return VYK_NOERROR;
#endif
}

void Recorder::onFrame(const vyksim::SimFrame& frame)
{
    std::shared_ptr<FrameStore> store;
#ifdef VYK_RECORDER_HAVE_FILES
    std::shared_ptr<vyksim::FileSequenceWriter> writer;
#endif
    bool measure = false;
    AutoExposure::Region region = AutoExposure::Balanced;
    {
        std::lock_guard<std::mutex> guard(lock_);
        if (!accepting_)
            return;
        ++delivered_;
        if (lastFrameNumber_ != 0 && frame.frameNumber > lastFrameNumber_ + 1) {
            lost_ += frame.frameNumber - lastFrameNumber_ - 1;
            noteError(VYK_ERR_BUFFER_OVERRUN);
        }
        lastFrameNumber_ = frame.frameNumber;
        if (frame.incomplete) {
            // Never stored: an incomplete image would pass for a good one.
            ++lost_;
            noteError(VYK_ERR_INCOMPLETE_IMAGES);
            return;
        }
        measure = autoExposure_.on && frame.frameNumber >= aeSettleFrame_ && !aePending_;
        region = autoExposure_.region;
        if (mode_ != VYK_RECORDER_MODE_CAMRAM) {
            if (frame.width != width_ || frame.height != height_ ||
                frame.pixels.size() < size_t(width_) * height_) {
                ++lost_;
                noteError(VYK_ERR_WRONG_SIZE);
                return;
            }
            store = store_;
#ifdef VYK_RECORDER_HAVE_FILES
            writer = writer_;
#endif
        }
    }
    if (measure) {
        const double level = AutoExposure::measure(frame.pixels.data(), frame.width, frame.height,
                                                   frame.bitDepth, region);
        std::lock_guard<std::mutex> guard(lock_);
        aeLevel_ = level;
        aePending_ = true;
        workCv_.notify_all();
    }
    if (!store)
        return;
    const uint8_t* metadata = frame.hasMetadata ? frame.metadata.data() : nullptr;
    const uint8_t* timestamp = frame.hasTimestamp ? frame.timestamp.data() : nullptr;
    bool complete = false;
    if (mode_ == VYK_RECORDER_MODE_FILE) {
#ifdef VYK_RECORDER_HAVE_FILES
        const bool taken = writer && writer->push(frame.pixels.data(), metadata, timestamp);
        if (taken)
            store->put(frame.pixels.data(), metadata, timestamp); // the preview ring never refuses
        std::lock_guard<std::mutex> guard(lock_);
        if (taken) {
            ++accepted_;
            complete = accepted_ >= imageCount_;
            FrameInfo info;
            info.number = uint32_t(std::min<uint64_t>(accepted_, 0xFFFFFFFFu));
            info.hasMetadata = metadata != nullptr;
            if (metadata != nullptr)
                std::copy(metadata, metadata + info.metadata.size(), info.metadata.begin());
            info.hasTimestamp = timestamp != nullptr;
            if (timestamp != nullptr)
                std::copy(timestamp, timestamp + info.timestamp.size(), info.timestamp.begin());
            fileInfos_.push_back(info);
        } else {
            ++lost_;
            const int32_t why = writer ? writer->errorStatus() : 0;
            noteError(why != 0 ? why : VYK_ERR_BUFFER_OVERRUN);
            // A writer that failed (a full disk) writes nothing more: the recording ends
            // with the error instead of running on and losing every further image.
            complete = why == VYK_ERR_FILE_IO;
        }
#endif
    } else {
        const FrameStore::PutResult result = store->put(frame.pixels.data(), metadata, timestamp);
        std::lock_guard<std::mutex> guard(lock_);
        if (result == FrameStore::PutResult::Overflow) {
            ++lost_;
            noteError(VYK_ERR_BUFFER_OVERRUN);
        } else if (store->policy() == StorePolicy::Sequence) {
            complete = result == FrameStore::PutResult::Full || store->stored() >= imageCount_;
        }
    }
    if (complete) {
        std::lock_guard<std::mutex> guard(lock_);
        accepting_ = false;
        finishRequested_ = true;
        // The recording reads as running until the worker has switched the camera off (and
        // closed the files): a caller that sees it ended may change the camera at once.
        workCv_.notify_all();
    }
}

void Recorder::workerLoop()
{
    std::unique_lock<std::mutex> guard(lock_);
    for (;;) {
        workCv_.wait(guard, [this] { return stopWorker_ || finishRequested_ || aePending_; });
        if (stopWorker_)
            return;
        if (finishRequested_) {
            finishRequested_ = false;
            guard.unlock();
            shutdownCamera();
            finishFiles();
            guard.lock();
            running_ = false;
            continue;
        }
        if (aePending_) {
            const double level = aeLevel_;
            guard.unlock();
            adjustExposure(level);
            guard.lock();
            aePending_ = false;
        }
    }
}

#ifdef VYK_RECORDER_HAVE_FILES
vyksim::AcquisitionFacts Recorder::cameraFacts()
{
    vyksim::AcquisitionFacts facts;
    char name[260] = {};
    if (!VYK_FAILED(VYK_GetCameraName(camera_, name, sizeof name - 1)))
        facts.cameraName = name;
    VYK_CameraType type{};
    type.wSize = sizeof type;
    if (!VYK_FAILED(VYK_GetCameraType(camera_, &type)))
        facts.serial = type.dwSerialNumber;
    uint32_t delay = 0, exposure = 0;
    uint16_t delayBase = 0, exposureBase = 0;
    if (!VYK_FAILED(VYK_GetDelayExposureTime(camera_, &delay, &exposure, &delayBase, &exposureBase)))
        facts.exposureS = toSeconds(exposure, exposureBase);
    return facts;
}
#endif

void Recorder::adjustExposure(double level)
{
    uint32_t delay = 0, exposure = 0;
    uint16_t delayBase = 0, exposureBase = 0;
    if (VYK_FAILED(VYK_GetDelayExposureTime(camera_, &delay, &exposure, &delayBase, &exposureBase)))
        return;
    const double current = toSeconds(exposure, exposureBase);
    double next = 0.0, lowest = 0.0, highest = 0.0;
    {
        std::lock_guard<std::mutex> guard(lock_);
        if (!autoExposure_.on)
            return;
        next = autoExposure_.next(current, level);
        lowest = cameraMinExposureS_;
        highest = cameraMaxExposureS_;
    }
    next = std::clamp(next, lowest, std::max(lowest, highest));
    if (std::fabs(next - current) <= 0.005 * current)
        return;
    uint32_t value = 0;
    uint16_t base = 0;
    fromSeconds(next, &value, &base);
    if (VYK_FAILED(VYK_SetDelayExposureTime(camera_, delay, value, delayBase, base)))
        return;
    // The camera may already expose the next image with the old time: skip two frames.
    std::lock_guard<std::mutex> guard(lock_);
    aeSettleFrame_ = lastFrameNumber_ + 3;
}

int32_t Recorder::status(uint32_t* running, uint32_t* recorded, uint32_t* bufferSize, int32_t* errorStatus)
{
    uint32_t isRunning = 0, count = 0, size = 0;
    int32_t error = 0;
    if (mode_ == VYK_RECORDER_MODE_CAMRAM) {
        uint16_t segment = 0;
        bool started = false;
        {
            std::lock_guard<std::mutex> guard(lock_);
            segment = segment_;
            started = started_;
            error = errorStatus_;
        }
        if (segment != 0) {
            const int32_t rc = vyksim::simCamRamImageCounts(camera_, segment, &count, &size);
            if (VYK_FAILED(rc))
                return rc;
        }
        uint16_t state = 0;
        if (started) {
            const int32_t rc = VYK_GetRecordingState(camera_, &state);
            if (VYK_FAILED(rc)) {
                std::lock_guard<std::mutex> guard(lock_);
                noteError(rc);
                error = errorStatus_;
            }
        }
        isRunning = started && state != 0;
    } else {
        bool checkCamera = false;
        {
            std::lock_guard<std::mutex> guard(lock_);
            checkCamera = accepting_ && cameraOn_;
        }
        // A camera that stopped by itself (acquire sequence done, camera-RAM segment full)
        // ends the recording; one that stopped answering ends it with its error.
        uint16_t state = 1;
        const int32_t cameraState = checkCamera ? VYK_GetRecordingState(camera_, &state) : VYK_NOERROR;
        std::lock_guard<std::mutex> guard(lock_);
        if ((VYK_FAILED(cameraState) || state == 0) && accepting_ && cameraOn_) {
            if (VYK_FAILED(cameraState))
                noteError(cameraState);
            // The camera's last image may still be on its way through the sink: the worker
            // takes the sink away (waiting for it) before the recording stops taking images.
            finishRequested_ = true;
            workCv_.notify_all();
        }
        isRunning = running_;
        error = errorStatus_;
        if (store_) {
            if (mode_ == VYK_RECORDER_MODE_FILE) {
                uint64_t images = accepted_;
#ifdef VYK_RECORDER_HAVE_FILES
                // After a failed write the writer drops what it had accepted: only the
                // images on disk count (a full disk must not inflate the count).
                if (writer_ && writer_->errorStatus() == VYK_ERR_FILE_IO)
                    images = std::min<uint64_t>(images, writer_->writtenCount());
#endif
                count = uint32_t(std::min<uint64_t>(images, 0xFFFFFFFFu));
                // Every image of the recording can be copied: the newest from the preview
                // ring, the others from the files.
                size = imageCount_;
            } else {
                count = store_->policy() == StorePolicy::Fifo
                            ? store_->held()
                            : uint32_t(std::min<uint64_t>(store_->stored(), 0xFFFFFFFFu));
                size = imageCount_;
            }
        }
    }
    if (running != nullptr)
        *running = isRunning;
    if (recorded != nullptr)
        *recorded = count;
    if (bufferSize != nullptr)
        *bufferSize = size;
    if (errorStatus != nullptr)
        *errorStatus = error;
    return VYK_NOERROR;
}

void Recorder::frameCounts(uint64_t* delivered, uint64_t* lost)
{
    std::lock_guard<std::mutex> guard(lock_);
    if (delivered != nullptr)
        *delivered = delivered_;
    if (lost != nullptr)
        *lost = lost_;
}

void Recorder::settings(uint32_t* settingsWord, uint16_t* width, uint16_t* height)
{
    std::lock_guard<std::mutex> guard(lock_);
    if (settingsWord != nullptr) {
        // Bits 0-1 tell a reader how copies address the images. A file recording is
        // addressed as a sequence (index 0 = its first image), so it reports the sequence
        // type there and its file type in bits 8-15: file type 3 in bits 0-1 would read as
        // a FIFO.
        const uint32_t type = mode_ == VYK_RECORDER_MODE_FILE && type_ != 0
            ? (uint32_t(type_) << 8) | VYK_RECORDER_MEMORY_SEQUENCE
            : type_;
        *settingsWord = (mode_ << 16) | type;
    }
    if (width != nullptr)
        *width = uint16_t(width_);
    if (height != nullptr)
        *height = uint16_t(height_);
}

uint16_t Recorder::bitDepth()
{
    std::lock_guard<std::mutex> guard(lock_);
    return bitDepth_;
}

int32_t Recorder::read(uint32_t index, const ImageReader& reader)
{
    if (mode_ == VYK_RECORDER_MODE_CAMRAM)
        return readCamRam(index, reader);
    if (mode_ == VYK_RECORDER_MODE_FILE)
        return readFiles(index, reader);
    std::shared_ptr<FrameStore> store;
    {
        std::lock_guard<std::mutex> guard(lock_);
        store = store_;
    }
    if (!store)
        return VYK_ERR_NO_RECORDING;
    const bool found = store->read(index, [&](const uint16_t* pixels, const FrameInfo& info) {
        reader(pixels, store->width(), store->height(), info);
    });
    return found ? VYK_NOERROR : VYK_ERR_NO_IMAGE;
}

int32_t Recorder::readCamRam(uint32_t index, const ImageReader& reader)
{
    uint16_t segment = 0;
    {
        std::lock_guard<std::mutex> guard(lock_);
        segment = segment_;
    }
    if (segment == 0)
        return VYK_ERR_NO_RECORDING;
    uint32_t valid = 0, maximum = 0;
    const int32_t counts = vyksim::simCamRamImageCounts(camera_, segment, &valid, &maximum);
    if (VYK_FAILED(counts))
        return counts;
    if (valid == 0)
        return VYK_ERR_NO_IMAGE;
    const uint32_t position = index == VYK_RECORDER_LATEST_IMAGE ? valid - 1 : index;
    if (position >= valid)
        return VYK_ERR_NO_IMAGE;
    vyksim::SimFrame frame;
    const int32_t rc = vyksim::simReadCamRamImage(camera_, segment, position, frame);
    if (VYK_FAILED(rc))
        return rc;
    if (frame.pixels.size() < size_t(frame.width) * frame.height)
        return VYK_ERR_WRONG_SIZE;
    FrameInfo info;
    info.number = position + 1;
    if (index == VYK_RECORDER_LATEST_IMAGE) {
        // While the camera overwrites its ring, the newest image has no lasting position:
        // its number says so, and a caller waiting for newer images need not wait for
        // the valid count to grow (it stays at the segment's size).
        uint16_t state = 0, submode = 0;
        if (!VYK_FAILED(VYK_GetRecordingState(camera_, &state)) && state != 0 &&
            !VYK_FAILED(VYK_GetRecorderSubmode(camera_, &submode)) && submode == VYK_RAM_SUBMODE_RING)
            info.number = VYK_RECORDER_LATEST_IMAGE;
    }
    info.hasMetadata = frame.hasMetadata;
    info.metadata = frame.metadata;
    info.hasTimestamp = frame.hasTimestamp;
    info.timestamp = frame.timestamp;
    reader(frame.pixels.data(), frame.width, frame.height, info);
    return VYK_NOERROR;
}

int32_t Recorder::readFiles(uint32_t index, const ImageReader& reader)
{
#ifndef VYK_RECORDER_HAVE_FILES
    (void)index, (void)reader;
    return VYK_ERR_NO_RECORDING;
#else
    std::shared_ptr<FrameStore> store;
    {
        std::lock_guard<std::mutex> guard(lock_);
        store = store_;
    }
    if (!store)
        return VYK_ERR_NO_RECORDING;
    const auto fromRing = [&](uint32_t ringIndex, uint64_t wanted) {
        bool found = false;
        store->read(ringIndex, [&](const uint16_t* pixels, const FrameInfo& info) {
            // The ring may have turned since its counts were read: only the wanted image counts.
            if (wanted != 0 && info.number != wanted)
                return;
            reader(pixels, store->width(), store->height(), info);
            found = true;
        });
        return found;
    };
    if (index == VYK_RECORDER_LATEST_IMAGE)
        return fromRing(FrameStore::kLatest, 0) ? VYK_NOERROR : VYK_ERR_NO_IMAGE;
    // The newest images are still in the preview ring.
    const uint64_t stored = store->stored();
    const uint64_t oldestHeld = stored - std::min<uint64_t>(store->held(), stored);
    if (index < stored && index >= oldestHeld && fromRing(uint32_t(index - oldestHeld), uint64_t(index) + 1))
        return VYK_NOERROR;
    // The older ones are read back from the files, once the recording has closed them.
    std::shared_ptr<RecordedFileReader> files;
    FrameInfo info;
    uint32_t width = 0, height = 0;
    {
        std::lock_guard<std::mutex> guard(lock_);
        if (!writer_ || running_ || index >= fileInfos_.size() || index >= writer_->writtenCount())
            return VYK_ERR_NO_IMAGE;
        if (!fileReader_) {
            const std::shared_ptr<vyksim::FileSequenceWriter> writer = writer_;
            fileReader_ = std::make_shared<RecordedFileReader>(
                type_, filePath_, [writer](uint64_t i) { return writer->fileNameFor(i); }, width_, height_);
        }
        files = fileReader_;
        info = fileInfos_[index];
        width = width_;
        height = height_;
    }
    std::vector<uint16_t> pixels;
    const int32_t rc = files->read(index, pixels);
    if (VYK_FAILED(rc))
        return rc;
    reader(pixels.data(), width, height, info);
    return VYK_NOERROR;
#endif
}

void Recorder::setFileWriterOptions(const vyksim::FileWriterOptions& options)
{
#ifdef VYK_RECORDER_HAVE_FILES
    auto copy = std::make_shared<const vyksim::FileWriterOptions>(options);
    std::lock_guard<std::mutex> guard(lock_);
    writerOptions_ = std::move(copy);
#else
    (void)options;
#endif
}

int32_t Recorder::setCompression(const VYK_CompressionParams& params)
{
    if (!Compander::valid(params))
        return VYK_ERR_INVALID_ARGUMENT;
    uint16_t offset = 0;
    if (VYK_FAILED(VYK_GetDarkOffset(camera_, &offset)))
        offset = 0;
    const uint16_t bits = bitDepth();
    auto table = std::make_shared<const Compander>(params, bits, offset);
    std::lock_guard<std::mutex> guard(lock_);
    compander_ = std::move(table);
    return VYK_NOERROR;
}

std::shared_ptr<const Compander> Recorder::compander()
{
    std::lock_guard<std::mutex> guard(lock_);
    return compander_;
}

int32_t Recorder::setAutoExposureRegion(uint16_t region)
{
    if (!AutoExposure::validRegion(region))
        return VYK_ERR_INVALID_ARGUMENT;
    std::lock_guard<std::mutex> guard(lock_);
    autoExposure_.region = AutoExposure::Region(region);
    return VYK_NOERROR;
}

int32_t Recorder::setAutoExposure(bool on, uint16_t smoothness, double minimumS, double maximumS)
{
    std::lock_guard<std::mutex> guard(lock_);
    if (!on) {
        // Switching off needs no usable limits.
        autoExposure_.on = false;
        return VYK_NOERROR;
    }
    if (smoothness < 1 || smoothness > 10 || !(minimumS >= 0.0) || !(maximumS > 0.0) || minimumS > maximumS)
        return VYK_ERR_INVALID_ARGUMENT;
    autoExposure_.configure(minimumS, maximumS, smoothness);
    autoExposure_.on = true;
    aeSettleFrame_ = lastFrameNumber_ + 1;
    return VYK_NOERROR;
}

} // namespace vykrec
