// The file a TiffFile writes through: libtiff's many small writes per page (header, tag
// values, directory) are gathered and reach the file together with the next large write or
// at the next read or close, and its seeks cost no system call. Pixels go to the file
// directly, never through a buffer.
#ifndef VYK_TIFF_WRITE_CHANNEL_H
#define VYK_TIFF_WRITE_CHANNEL_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

typedef struct tiff TIFF;

namespace vyksim {

class TiffWriteChannel {
public:
    // Creates (truncates) path; check ok() afterwards.
    explicit TiffWriteChannel(const std::string& path);
    ~TiffWriteChannel(); // closes the file if libtiff did not
    TiffWriteChannel(const TiffWriteChannel&) = delete;
    TiffWriteChannel& operator=(const TiffWriteChannel&) = delete;

    // A libtiff handle writing through this channel (mode as for TIFFOpen); null when the
    // file was not created or libtiff refused it. TIFFClose closes the channel.
    TIFF* openTiff(const std::string& name, const char* mode);
    // True while the file is open (or was closed cleanly) and no write, read or close failed.
    bool ok() const { return fd_ >= 0 ? !failed_ : closedCleanly_; }

private:
    // Gathered writes up to this many bytes; a larger write goes out with them in one call.
    static constexpr std::size_t kGatherBytes = 64 * 1024;

    int64_t write(const void* data, std::size_t bytes);
    int64_t read(void* data, std::size_t bytes);
    uint64_t seek(uint64_t offset, int whence);
    uint64_t size() const { return end_; }
    int close();
    // Writes the gathered bytes, then data (may be null), at the gathered bytes' offset.
    bool flush(const void* data = nullptr, std::size_t bytes = 0);

    // libtiff's callbacks: the handle is the channel.
    static int64_t readProc(void* channel, void* data, int64_t bytes);
    static int64_t writeProc(void* channel, void* data, int64_t bytes);
    static uint64_t seekProc(void* channel, uint64_t offset, int whence);
    static int closeProc(void* channel);
    static uint64_t sizeProc(void* channel);
    static int mapProc(void* channel, void** base, uint64_t* bytes);
    static void unmapProc(void* channel, void* base, uint64_t bytes);

    int fd_ = -1;                  // the file; -1 once closed
    bool failed_ = false;          // a write, read or close failed
    bool closedCleanly_ = false;   // closed with every byte written
    uint64_t position_ = 0;        // libtiff's file position, bytes
    uint64_t end_ = 0;             // the file's size once the gathered bytes are written
    uint64_t gatheredAt_ = 0;      // file offset of gathered_[0]
    std::vector<uint8_t> gathered_; // contiguous small writes not yet in the file
};

} // namespace vyksim

#endif // VYK_TIFF_WRITE_CHANNEL_H
