#include "FileSequenceWriter.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <deque>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

#include "BinaryFile.h"
#include "B16File.h"
#include "DicomFile.h"
#include "FrameClock.h"
#include "OmeXml.h"
#include "TiffFile.h"
#include "VykRawFile.h"
#include "vyk_errors.h"

namespace vyksim {

namespace {

// One frame waiting for the disk.
struct QueuedFrame {
    uint64_t index = 0;               // 0-based position in the recording
    std::vector<uint16_t> pixels;     // width*height values
    bool hasMetadata = false;         // metadata holds the camera's block
    std::array<uint8_t, VykRawFile::kMetadataSize> metadata{};
    bool hasTimestamp = false;        // timestamp holds the camera's block
    std::array<uint8_t, VykRawFile::kTimestampSize> timestamp{};
    int64_t arrival = 0;              // FrameClock time push() took the frame
};

// Most bytes reserved in a multi-page TIFF for its final description; a longer one goes
// to the end of the file when it is closed.
constexpr uint64_t kMaxDescriptionRoom = 16u << 20;
// Planes the room of a multi-page TIFF's description holds at least, however small the frames.
constexpr uint64_t kPlanesAlwaysRoomed = 16;

bool isSingleImageKind(FileKind kind)
{
    return kind == FileKind::Tiff || kind == FileKind::B16 || kind == FileKind::Dicom;
}

const char* defaultSuffix(FileKind kind)
{
    switch (kind) {
    case FileKind::B16:
        return ".b16";
    case FileKind::Dicom:
    case FileKind::MultiDicom:
        return ".dcm";
    case FileKind::VykRaw:
        return ".raw";
    default:
        return ".tif";
    }
}

// Position of the suffix's dot in path, or npos when the file name has none.
size_t suffixDot(const std::string& path)
{
    const size_t slash = path.find_last_of('/');
    const size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return std::string::npos;
    if (dot == (slash == std::string::npos ? 0 : slash + 1))
        return std::string::npos; // a leading dot names a hidden file, not a suffix
    return dot;
}

std::string directoryOf(const std::string& path)
{
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// The DICOM image of frames of a recording. A multi-frame file of a camera of 8 bits or
// less holds bytes (the grayscale byte class); everything else 16-bit words.
DicomFile::Image dicomMono(const FileFrameFormat& format, uint32_t frames, bool multiFrame)
{
    DicomFile::Image image;
    image.width = format.width;
    image.height = format.height;
    image.samplesPerPixel = 1;
    image.bitsAllocated = multiFrame && format.bitDepth <= 8 ? 8 : 16;
    image.bitsStored = format.bitDepth;
    image.frames = frames;
    image.multiFrame = multiFrame;
    return image;
}

} // namespace

class FileSequenceWriter::Impl {
public:
    Impl(FileKind kind, const std::string& path, FileFrameFormat format, uint32_t expectedCount,
         uint32_t bufferFrames, const FileWriterOptions& options, const AcquisitionFacts& facts);

    std::string fileNameFor(uint64_t index) const;
    bool push(const uint16_t* pixels, const uint8_t* metadata, const uint8_t* timestamp);
    bool push(std::vector<uint16_t>&& pixels, const uint8_t* metadata, const uint8_t* timestamp);
    void finish();
    void setError(int32_t code);

    const FileKind kind;              // file type
    const std::string path;           // the file, or the pattern of numbered names
    const FileFrameFormat format;     // shape of every frame
    const uint32_t expectedCount;     // images the recording asks for
    const size_t capacity;            // frames that may wait for the disk
    const FileWriterOptions options;  // thresholds and hooks
    const AcquisitionFacts facts;     // the camera, for the files' metadata
    const size_t frameValues;         // width * height
    std::atomic<int32_t> error{0};    // first failure; FILE_IO replaces an overrun
    std::atomic<uint64_t> accepted{0}; // frames taken by push()
    std::atomic<uint64_t> written{0};  // frames on disk

private:
    // Checks for room (setting the overrun status when there is none) and hands frame a
    // reusable pixel buffer when one waits. False: the frame is refused.
    bool admit(QueuedFrame& frame);
    // Keeps the buffer of a refused frame for the next push (nothing when it is empty).
    void keepSpare(std::vector<uint16_t>&& pixels);
    // Fills in the blocks and queues the frame; false when finish() came in between.
    bool enqueue(QueuedFrame& frame, const uint8_t* metadata, const uint8_t* timestamp);
    void run();                          // the writer thread
    bool writeFrame(const QueuedFrame& frame);
    // Notes the time and exposure of the frame about to be written (writer thread).
    OmeXml::Plane notePlane(const QueuedFrame& frame);
    // Appends one page with the text tags; description "" leaves it without one, room is
    // the space its description keeps (see TiffFile::Page).
    bool writeTiffPage(TiffFile& file, const uint16_t* pixels, const std::string& description,
                       uint64_t room, int64_t time);
    // The OME-XML of a TIFF file holding these planes (OmeXml::document).
    std::string omeDocument(const std::vector<OmeXml::Plane>& planes, bool withPlanes = true) const;
    // The DICOM acquisition facts of a frame taken at time.
    DicomFile::Acquisition dicomAcquisition(int64_t time, double exposureS) const;
    // Appends one frame to the multi-frame part file (as bytes for 8-bit cameras).
    bool writeDicomPart(const uint16_t* pixels);
    bool closeFiles();                   // writer thread, after the last frame
    std::string dicomPartPath() const { return path + ".frames.part"; }

    std::mutex mutex_;                       // guards queue_, spare_, finishing_
    std::condition_variable workReady_;      // a frame was queued or finishing_ was set
    std::deque<QueuedFrame> queue_;          // guarded by mutex_; at most capacity frames
    std::vector<std::vector<uint16_t>> spare_; // guarded by mutex_; at most capacity buffers for reuse
    bool finishing_ = false;                 // guarded by mutex_; no frames accepted any more

    std::mutex finishMutex_;                 // serialises finish(); guards thread_ joining
    std::thread thread_;                     // the writer; joined by finish()

    // Open files of the multi-image kinds: created by the constructor, then used and
    // closed only by the writer thread.
    std::unique_ptr<TiffFile> multiTiff_;
    std::unique_ptr<VykRawFile> raw_;
    std::unique_ptr<BinaryFile> dicomPart_;
    DicomFile::Series series_;               // UIDs shared by this recording's DICOM files
    uint64_t dicomPartFrames_ = 0;           // writer thread only: frames in the part file
    std::vector<uint8_t> narrowed_;          // writer thread only: a frame as bytes for the part file
    // Writer thread only: the first frame's time (-1 before it), the previous frame's, and
    // the timing of the frames of the multi-image kinds (DeltaT/exposure; DICOM increments).
    int64_t firstTime_ = -1;
    int64_t previousTime_ = -1;
    double firstExposureS_ = 0.0;
    std::vector<OmeXml::Plane> planes_;
    std::vector<double> incrementsMs_;
    bool writing_ = true;                    // writer thread only: false after a failure
};

FileSequenceWriter::Impl::Impl(FileKind kind_, const std::string& path_, FileFrameFormat format_,
                               uint32_t expectedCount_, uint32_t bufferFrames,
                               const FileWriterOptions& options_, const AcquisitionFacts& facts_)
    : kind(kind_), path(path_), format(format_), expectedCount(expectedCount_),
      capacity(bufferFrames), options(options_), facts(facts_),
      frameValues(static_cast<size_t>(format_.width) * format_.height)
{
    if (format.width == 0 || format.height == 0)
        throw std::invalid_argument("file writer: empty frame size");
    if (format.bitDepth < 1 || format.bitDepth > 16)
        throw std::invalid_argument("file writer: bit depth outside 1..16");
    if (bufferFrames == 0)
        throw std::invalid_argument("file writer: no buffer frames");
    if ((kind == FileKind::Dicom || kind == FileKind::MultiDicom)
        && !DicomFile::fits(dicomMono(format, 1, kind == FileKind::MultiDicom)))
        throw std::invalid_argument("file writer: frame too large for DICOM");
    if (path.empty())
        throw std::runtime_error("file writer: no file name");
    series_ = DicomFile::newSeries();

    const uint64_t frameBytes = static_cast<uint64_t>(frameValues) * 2u;
    switch (kind) {
    case FileKind::MultiTiff: {
        const uint64_t pages = expectedCount == 0 ? 1 : expectedCount;
        const uint64_t estimate = 16 + pages * (frameBytes + TiffFile::kPageOverhead);
        multiTiff_ = std::make_unique<TiffFile>(path, estimate > options.bigTiffThreshold);
        if (!multiTiff_->ok())
            throw std::runtime_error("file writer: cannot create " + path);
        break;
    }
    case FileKind::VykRaw:
        raw_ = std::make_unique<VykRawFile>(path, format.width, format.height, format.bitDepth);
        if (!raw_->ok())
            throw std::runtime_error("file writer: cannot create " + path);
        break;
    case FileKind::MultiDicom:
        dicomPart_ = std::make_unique<BinaryFile>(dicomPartPath(), BinaryFile::Mode::Create);
        if (!dicomPart_->ok())
            throw std::runtime_error("file writer: cannot create " + dicomPartPath());
        break;
    default:
        // One file per image: the files come later; the folder must take them.
        if (::access(directoryOf(path).c_str(), W_OK | X_OK) != 0)
            throw std::runtime_error("file writer: cannot write into " + directoryOf(path));
        break;
    }
    thread_ = std::thread([this] { run(); });
}

std::string FileSequenceWriter::Impl::fileNameFor(uint64_t index) const
{
    if (!isSingleImageKind(kind))
        return path;
    char number[32];
    std::snprintf(number, sizeof number, "_%06llu", static_cast<unsigned long long>(index + 1));
    const size_t dot = suffixDot(path);
    if (dot == std::string::npos)
        return path + number + defaultSuffix(kind);
    return path.substr(0, dot) + number + path.substr(dot);
}

void FileSequenceWriter::Impl::setError(int32_t code)
{
    int32_t none = 0;
    if (!error.compare_exchange_strong(none, code) && code == VYK_ERR_FILE_IO)
        error.store(code);
}

bool FileSequenceWriter::Impl::admit(QueuedFrame& frame)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (finishing_ || error.load() == VYK_ERR_FILE_IO)
        return false;
    if (queue_.size() >= capacity) {
        setError(VYK_ERR_BUFFER_OVERRUN);
        return false;
    }
    if (!spare_.empty()) {
        frame.pixels = std::move(spare_.back());
        spare_.pop_back();
    }
    return true;
}

bool FileSequenceWriter::Impl::enqueue(QueuedFrame& frame, const uint8_t* metadata,
                                       const uint8_t* timestamp)
{
    frame.hasMetadata = metadata != nullptr;
    if (frame.hasMetadata)
        std::memcpy(frame.metadata.data(), metadata, frame.metadata.size());
    frame.hasTimestamp = timestamp != nullptr;
    if (frame.hasTimestamp)
        std::memcpy(frame.timestamp.data(), timestamp, frame.timestamp.size());
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (finishing_)
            return false; // finish() came from another thread after admit()
        frame.index = accepted.load();
        queue_.push_back(std::move(frame));
        accepted.fetch_add(1);
    }
    workReady_.notify_one();
    return true;
}

bool FileSequenceWriter::Impl::push(const uint16_t* pixels, const uint8_t* metadata,
                                    const uint8_t* timestamp)
{
    if (pixels == nullptr)
        return false;
    QueuedFrame frame;
    frame.arrival = FrameClock::now();
    if (!admit(frame))
        return false;
    // The copy runs outside the lock so the writer is never held up by it. With a single
    // producer the queue can only shrink meanwhile, so the room admit() found stays.
    frame.pixels.resize(frameValues);
    std::memcpy(frame.pixels.data(), pixels, frameValues * sizeof(uint16_t));
    if (enqueue(frame, metadata, timestamp))
        return true;
    keepSpare(std::move(frame.pixels));
    return false;
}

void FileSequenceWriter::Impl::keepSpare(std::vector<uint16_t>&& pixels)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (!pixels.empty())
        spare_.push_back(std::move(pixels));
}

bool FileSequenceWriter::Impl::push(std::vector<uint16_t>&& pixels, const uint8_t* metadata,
                                    const uint8_t* timestamp)
{
    if (pixels.size() != frameValues)
        return false;
    QueuedFrame frame;
    frame.arrival = FrameClock::now();
    if (!admit(frame))
        return false;
    // The caller's buffer goes to the writer and a written frame's buffer, when one waits,
    // comes back in its place: buffers are then released by the producer, never by the
    // writer between two writes (freeing a frame's pages costs about as much as writing them).
    std::swap(frame.pixels, pixels);
    if (enqueue(frame, metadata, timestamp))
        return true;
    std::swap(frame.pixels, pixels); // refused: the caller keeps its frame
    keepSpare(std::move(frame.pixels));
    return false;
}

void FileSequenceWriter::Impl::run()
{
    for (;;) {
        QueuedFrame frame;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            workReady_.wait(lock, [this] { return !queue_.empty() || finishing_; });
            if (queue_.empty())
                break;
            frame = std::move(queue_.front());
            queue_.pop_front();
        }
        // After a failed write the files are in doubt: later frames are dropped, and the
        // error status (FILE_IO) and written count tell the truth about it.
        if (writing_) {
            if (options.beforeWrite)
                options.beforeWrite(frame.index);
            if (writeFrame(frame)) {
                written.fetch_add(1);
            } else {
                writing_ = false;
                setError(VYK_ERR_FILE_IO);
            }
        }
        // Every push takes a spare when one waits, so the spares stay within the buffer's
        // size; a buffer beyond it (only before the first spare came back) is freed here.
        std::lock_guard<std::mutex> lock(mutex_);
        if (spare_.size() < capacity)
            spare_.push_back(std::move(frame.pixels));
    }
    if (!closeFiles())
        setError(VYK_ERR_FILE_IO);
}

OmeXml::Plane FileSequenceWriter::Impl::notePlane(const QueuedFrame& frame)
{
    const uint8_t* metadata = frame.hasMetadata ? frame.metadata.data() : nullptr;
    const uint8_t* timestamp = frame.hasTimestamp ? frame.timestamp.data() : nullptr;
    const int64_t time = FrameClock::frameTime(timestamp, metadata, frame.arrival);
    double exposure = FrameClock::exposureFromMetadata(metadata);
    if (!std::isfinite(exposure))
        exposure = facts.exposureS;
    if (firstTime_ < 0) {
        firstTime_ = previousTime_ = time;
        firstExposureS_ = exposure;
    }
    if (kind == FileKind::MultiDicom)
        incrementsMs_.push_back(static_cast<double>(time - previousTime_) / 1e3);
    previousTime_ = time;
    return OmeXml::Plane{static_cast<double>(time - firstTime_) / 1e6, exposure};
}

std::string FileSequenceWriter::Impl::omeDocument(const std::vector<OmeXml::Plane>& planes, bool withPlanes) const
{
    OmeXml::Shape shape;
    shape.width = format.width;
    shape.height = format.height;
    shape.significantBits = format.bitDepth;
    return OmeXml::document(shape, facts, FrameClock::isoDateTime(firstTime_), planes, withPlanes);
}

bool FileSequenceWriter::Impl::writeTiffPage(TiffFile& file, const uint16_t* pixels,
                                             const std::string& description, uint64_t room, int64_t time)
{
    const std::string dateTime = FrameClock::tiffDateTime(time);
    TiffFile::Page page;
    page.width = format.width;
    page.height = format.height;
    page.pixels = pixels;
    page.dateTime = dateTime.c_str();
    page.model = facts.cameraName.empty() ? nullptr : facts.cameraName.c_str();
    page.description = description.empty() ? nullptr : description.c_str();
    page.descriptionRoom = room;
    return file.writePage(page);
}

DicomFile::Acquisition FileSequenceWriter::Impl::dicomAcquisition(int64_t time, double exposureS) const
{
    DicomFile::Acquisition acquisition;
    acquisition.dateTime = FrameClock::dicomDateTime(time);
    acquisition.facts = facts;
    acquisition.facts.exposureS = exposureS;
    return acquisition;
}

bool FileSequenceWriter::Impl::writeDicomPart(const uint16_t* pixels)
{
    // Native DICOM pixel data has a 32-bit length: a frame beyond it cannot be stored.
    const DicomFile::Image image = dicomMono(format, static_cast<uint32_t>(dicomPartFrames_ + 1), true);
    if (!DicomFile::fits(image))
        return false;
    if (image.bitsAllocated == 16)
        return dicomPart_->writeU16Array(pixels, frameValues);
    // An 8-bit camera's values fit in bytes unchanged.
    narrowed_.resize(frameValues);
    for (size_t i = 0; i < frameValues; ++i)
        narrowed_[i] = static_cast<uint8_t>(pixels[i]);
    return dicomPart_->writeBytes(narrowed_.data(), narrowed_.size());
}

bool FileSequenceWriter::Impl::writeFrame(const QueuedFrame& frame)
{
    const uint16_t* pixels = frame.pixels.data();
    const OmeXml::Plane plane = notePlane(frame);
    switch (kind) {
    case FileKind::Tiff: {
        const std::string name = fileNameFor(frame.index);
        const uint64_t bytes = static_cast<uint64_t>(frameValues) * 2u + TiffFile::kPageOverhead;
        TiffFile file(name, bytes > options.bigTiffThreshold);
        const bool done = writeTiffPage(file, pixels, omeDocument({plane}), 0, previousTime_) && file.close();
        if (!done)
            std::remove(name.c_str());
        return done;
    }
    case FileKind::MultiTiff: {
        planes_.push_back(plane);
        if (multiTiff_->pageCount() > 0)
            return writeTiffPage(*multiTiff_, pixels, std::string(), 0, previousTime_);
        // The first page holds the description; it keeps room for the final one, which
        // closeFiles() writes once the pages on disk are known. The room costs disk space
        // before any frame needs it, so it is at most about one frame's bytes (and at least
        // enough for a few planes); a longer final description goes to the end of the file.
        const uint64_t frameBytes = static_cast<uint64_t>(frameValues) * 2u;
        const uint64_t room = std::min({OmeXml::boundFor(facts, std::max<uint64_t>(expectedCount, 1)),
                                        std::max(OmeXml::boundFor(facts, kPlanesAlwaysRoomed), frameBytes),
                                        kMaxDescriptionRoom});
        return writeTiffPage(*multiTiff_, pixels, omeDocument(planes_), room, previousTime_);
    }
    case FileKind::VykRaw:
        return raw_->append(pixels, frame.hasMetadata ? frame.metadata.data() : nullptr,
                            frame.hasTimestamp ? frame.timestamp.data() : nullptr);
    case FileKind::B16:
        return B16File::write(fileNameFor(frame.index), format.width, format.height,
                              format.bitDepth, pixels);
    case FileKind::Dicom:
        return DicomFile::write(fileNameFor(frame.index), dicomMono(format, 1, false), pixels, series_,
                                static_cast<uint32_t>(frame.index + 1),
                                dicomAcquisition(previousTime_, plane.exposureS));
    case FileKind::MultiDicom:
        if (!writeDicomPart(pixels))
            return false;
        ++dicomPartFrames_;
        return true;
    }
    return false;
}

bool FileSequenceWriter::Impl::closeFiles()
{
    switch (kind) {
    case FileKind::MultiTiff: {
        const uint32_t pages = multiTiff_->pageCount();
        if (pages == 0) {
            multiTiff_->close();
            std::remove(path.c_str());
            return true;
        }
        // The description states exactly the pages on disk, also when a failed page ended
        // the recording early.
        planes_.resize(pages);
        return multiTiff_->closeWithDescription(omeDocument(planes_, true), omeDocument(planes_, false));
    }
    case FileKind::VykRaw:
        return raw_->finish();
    case FileKind::MultiDicom: {
        // Byte pixel data of odd length ends in a pad byte, which the part file supplies.
        const DicomFile::Image image = dicomMono(format, static_cast<uint32_t>(dicomPartFrames_), true);
        const uint8_t pad = 0;
        if (dicomPartFrames_ > 0 && (DicomFile::pixelBytes(image) & 1u) != 0)
            dicomPart_->writeBytes(&pad, 1);
        bool done = dicomPart_->close() || !writing_;
        if (dicomPartFrames_ > 0) {
            // The frames that reached the part file completely go into the DICOM file,
            // also after a failed write, so that what the written count says is there.
            DicomFile::Acquisition acquisition = dicomAcquisition(firstTime_, firstExposureS_);
            acquisition.frameTimesMs = incrementsMs_;
            acquisition.frameTimesMs.resize(dicomPartFrames_);
            done = DicomFile::writeFromRawFile(path, image, dicomPartPath(), 0, series_, 1, acquisition) && done;
        }
        std::remove(dicomPartPath().c_str());
        return done;
    }
    default:
        return true;
    }
}

void FileSequenceWriter::Impl::finish()
{
    std::lock_guard<std::mutex> finishLock(finishMutex_);
    if (!thread_.joinable())
        return;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        finishing_ = true;
    }
    workReady_.notify_all();
    thread_.join();
}

FileSequenceWriter::FileSequenceWriter(FileKind kind, const std::string& path, FileFrameFormat format,
                                       uint32_t expectedCount, uint32_t bufferFrames)
    : FileSequenceWriter(kind, path, format, expectedCount, bufferFrames, FileWriterOptions{})
{
}

FileSequenceWriter::FileSequenceWriter(FileKind kind, const std::string& path, FileFrameFormat format,
                                       uint32_t expectedCount, uint32_t bufferFrames,
                                       const FileWriterOptions& options)
    : FileSequenceWriter(kind, path, format, expectedCount, bufferFrames, options, AcquisitionFacts{})
{
}

FileSequenceWriter::FileSequenceWriter(FileKind kind, const std::string& path, FileFrameFormat format,
                                       uint32_t expectedCount, uint32_t bufferFrames,
                                       const FileWriterOptions& options, const AcquisitionFacts& facts)
    : d(std::make_unique<Impl>(kind, path, format, expectedCount, bufferFrames, options, facts))
{
}

FileSequenceWriter::~FileSequenceWriter()
{
    d->finish();
}

bool FileSequenceWriter::push(const uint16_t* pixels, const uint8_t* metadata, const uint8_t* timestamp)
{
    return d->push(pixels, metadata, timestamp);
}

bool FileSequenceWriter::push(std::vector<uint16_t>&& pixels, const uint8_t* metadata,
                              const uint8_t* timestamp)
{
    return d->push(std::move(pixels), metadata, timestamp);
}

void FileSequenceWriter::finish()
{
    d->finish();
}

int32_t FileSequenceWriter::errorStatus() const
{
    return d->error.load();
}

uint64_t FileSequenceWriter::acceptedCount() const
{
    return d->accepted.load();
}

uint64_t FileSequenceWriter::writtenCount() const
{
    return d->written.load();
}

std::string FileSequenceWriter::fileNameFor(uint64_t index) const
{
    return d->fileNameFor(index);
}

} // namespace vyksim
