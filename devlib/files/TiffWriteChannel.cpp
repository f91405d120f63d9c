#include "TiffWriteChannel.h"

#include <fcntl.h>
#include <sys/uio.h>
#include <unistd.h>

#include <tiffio.h>

#include <algorithm>
#include <cerrno>

namespace vyksim {

namespace {

// Writes every byte of the vectors at offset; false on an error or a file that takes nothing.
bool writeAllAt(int fd, iovec* vectors, int count, uint64_t offset)
{
    while (count > 0) {
        const ssize_t done = ::pwritev(fd, vectors, count, static_cast<off_t>(offset));
        if (done < 0 && errno == EINTR)
            continue;
        if (done <= 0)
            return false;
        offset += static_cast<uint64_t>(done);
        size_t left = static_cast<size_t>(done);
        while (count > 0 && left >= vectors->iov_len) {
            left -= vectors->iov_len;
            ++vectors;
            --count;
        }
        if (count > 0) {
            vectors->iov_base = static_cast<uint8_t*>(vectors->iov_base) + left;
            vectors->iov_len -= left;
        }
    }
    return true;
}

} // namespace

TiffWriteChannel::TiffWriteChannel(const std::string& path)
    : fd_(::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666))
{
    gathered_.reserve(kGatherBytes);
}

TiffWriteChannel::~TiffWriteChannel()
{
    if (fd_ >= 0)
        ::close(fd_);
}

TIFF* TiffWriteChannel::openTiff(const std::string& name, const char* mode)
{
    if (fd_ < 0)
        return nullptr;
    return TIFFClientOpen(name.c_str(), mode, this, &readProc, &writeProc, &seekProc, &closeProc, &sizeProc,
                          &mapProc, &unmapProc);
}

bool TiffWriteChannel::flush(const void* data, std::size_t bytes)
{
    iovec vectors[2];
    int count = 0;
    if (!gathered_.empty())
        vectors[count++] = iovec{gathered_.data(), gathered_.size()};
    if (bytes > 0)
        vectors[count++] = iovec{const_cast<void*>(data), bytes};
    const uint64_t at = gathered_.empty() ? position_ : gatheredAt_;
    const bool written = count == 0 || writeAllAt(fd_, vectors, count, at);
    gathered_.clear();
    failed_ = failed_ || !written;
    return written;
}

int64_t TiffWriteChannel::write(const void* data, std::size_t bytes)
{
    if (failed_ || fd_ < 0)
        return -1;
    // Only bytes that continue the gathered ones join them.
    if (!gathered_.empty() && gatheredAt_ + gathered_.size() != position_ && !flush())
        return -1;
    if (gathered_.empty())
        gatheredAt_ = position_;
    if (gathered_.size() + bytes <= kGatherBytes) {
        const uint8_t* bytesIn = static_cast<const uint8_t*>(data);
        gathered_.insert(gathered_.end(), bytesIn, bytesIn + bytes);
    } else if (!flush(data, bytes)) {
        return -1;
    }
    position_ += bytes;
    end_ = std::max(end_, position_);
    return static_cast<int64_t>(bytes);
}

int64_t TiffWriteChannel::read(void* data, std::size_t bytes)
{
    if (failed_ || fd_ < 0 || !flush())
        return -1;
    std::size_t got = 0;
    while (got < bytes) {
        const ssize_t done = ::pread(fd_, static_cast<uint8_t*>(data) + got, bytes - got,
                                     static_cast<off_t>(position_ + got));
        if (done < 0 && errno == EINTR)
            continue;
        if (done < 0) {
            failed_ = true;
            return -1;
        }
        if (done == 0)
            break; // the end of the file
        got += static_cast<std::size_t>(done);
    }
    position_ += got;
    return static_cast<int64_t>(got);
}

uint64_t TiffWriteChannel::seek(uint64_t offset, int whence)
{
    if (whence == SEEK_CUR)
        position_ += offset;
    else if (whence == SEEK_END)
        position_ = end_ + offset;
    else
        position_ = offset;
    return position_;
}

int TiffWriteChannel::close()
{
    if (fd_ < 0)
        return 0;
    const bool flushed = !failed_ && flush();
    const bool closed = ::close(fd_) == 0;
    fd_ = -1;
    closedCleanly_ = flushed && closed;
    return closedCleanly_ ? 0 : -1;
}

int64_t TiffWriteChannel::readProc(void* channel, void* data, int64_t bytes)
{
    return static_cast<TiffWriteChannel*>(channel)->read(data, static_cast<std::size_t>(bytes));
}

int64_t TiffWriteChannel::writeProc(void* channel, void* data, int64_t bytes)
{
    return static_cast<TiffWriteChannel*>(channel)->write(data, static_cast<std::size_t>(bytes));
}

uint64_t TiffWriteChannel::seekProc(void* channel, uint64_t offset, int whence)
{
    return static_cast<TiffWriteChannel*>(channel)->seek(offset, whence);
}

int TiffWriteChannel::closeProc(void* channel)
{
    return static_cast<TiffWriteChannel*>(channel)->close();
}

uint64_t TiffWriteChannel::sizeProc(void* channel)
{
    return static_cast<TiffWriteChannel*>(channel)->size();
}

int TiffWriteChannel::mapProc(void*, void**, uint64_t*)
{
    return 0; // never mapped: libtiff then reads through readProc
}

void TiffWriteChannel::unmapProc(void*, void*, uint64_t) {}

} // namespace vyksim
