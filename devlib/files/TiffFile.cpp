#include "TiffFile.h"

#include <tiffio.h>

#include <cstdio>
#include <memory>

namespace vyksim {

namespace {

// Reads an unsigned integer of size 2, 4 or 8 bytes at offset, in host byte order (the
// order the file is written in).
bool readUnsigned(std::FILE* file, uint64_t offset, std::size_t size, uint64_t& value)
{
    uint16_t value16 = 0;
    uint32_t value32 = 0;
    uint64_t value64 = 0;
    void* target = size == 2 ? static_cast<void*>(&value16)
        : size == 4          ? static_cast<void*>(&value32)
                             : static_cast<void*>(&value64);
    if (fseeko(file, static_cast<off_t>(offset), SEEK_SET) != 0 || std::fread(target, size, 1, file) != 1)
        return false;
    value = size == 2 ? value16 : size == 4 ? value32 : value64;
    return true;
}

// Writes the low size bytes (4 or 8) of value at offset, in host byte order.
bool writeUnsigned(std::FILE* file, uint64_t offset, std::size_t size, uint64_t value)
{
    const uint32_t value32 = static_cast<uint32_t>(value);
    const void* source = size == 4 ? static_cast<const void*>(&value32) : static_cast<const void*>(&value);
    return fseeko(file, static_cast<off_t>(offset), SEEK_SET) == 0 && std::fwrite(source, size, 1, file) == 1;
}

using FileHandle = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;

// Layout of the directories of a classic TIFF or a BigTIFF.
struct DirectoryLayout {
    explicit DirectoryLayout(bool bigTiff)
        : offsetSize(bigTiff ? 8 : 4), countSize(bigTiff ? 8 : 2), entrySize(bigTiff ? 20 : 12),
          firstOffsetAt(bigTiff ? 8 : 4) {}
    std::size_t offsetSize; // bytes of a file offset and of an entry's count
    std::size_t countSize;  // bytes of a directory's entry count
    uint64_t entrySize;     // bytes of one entry: tag, type, count, value or offset
    uint64_t firstOffsetAt; // where the header keeps the first directory's offset
};

}  // namespace

TiffFile::TiffFile(const std::string& path, bool bigTiff)
    : path_(path), bigTiff_(bigTiff), channel_(std::make_unique<TiffWriteChannel>(path))
{
    tiff_ = channel_->openTiff(path, bigTiff ? "w8" : "w");
}

TiffFile::~TiffFile()
{
    if (tiff_ != nullptr)
        TIFFClose(tiff_);
}

bool TiffFile::writePage(const Page& page)
{
    if (!ok())
        return false;
    const uint64_t stripBytes = static_cast<uint64_t>(page.width) * page.height
        * page.samplesPerPixel * (page.bitsPerSample / 8u);
    bool good = TIFFSetField(tiff_, TIFFTAG_IMAGEWIDTH, page.width)
        && TIFFSetField(tiff_, TIFFTAG_IMAGELENGTH, page.height)
        && TIFFSetField(tiff_, TIFFTAG_SAMPLESPERPIXEL, page.samplesPerPixel)
        && TIFFSetField(tiff_, TIFFTAG_BITSPERSAMPLE, page.bitsPerSample)
        && TIFFSetField(tiff_, TIFFTAG_SAMPLEFORMAT, SAMPLEFORMAT_UINT)
        && TIFFSetField(tiff_, TIFFTAG_PHOTOMETRIC,
                        page.samplesPerPixel >= 3 ? PHOTOMETRIC_RGB : PHOTOMETRIC_MINISBLACK)
        && TIFFSetField(tiff_, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG)
        && TIFFSetField(tiff_, TIFFTAG_COMPRESSION, COMPRESSION_NONE)
        && TIFFSetField(tiff_, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT)
        && TIFFSetField(tiff_, TIFFTAG_ROWSPERSTRIP, page.height)
        && TIFFSetField(tiff_, TIFFTAG_SOFTWARE, "Rastel");
    if (good && page.dateTime != nullptr)
        good = TIFFSetField(tiff_, TIFFTAG_DATETIME, page.dateTime);
    if (good && page.model != nullptr)
        good = TIFFSetField(tiff_, TIFFTAG_MODEL, page.model);
    if (good && page.description != nullptr) {
        std::string description(page.description);
        if (description.size() < page.descriptionRoom)
            description.resize(page.descriptionRoom, ' ');
        good = TIFFSetField(tiff_, TIFFTAG_IMAGEDESCRIPTION, description.c_str());
    } else if (good) {
        // libtiff keeps a field set for one page for the next: a page without text has none.
        TIFFUnsetField(tiff_, TIFFTAG_IMAGEDESCRIPTION);
    }
    if (good && page.samplesPerPixel == 4) {
        // The fourth sample is unassociated alpha, as BGRA/RGBA buffers carry it.
        const uint16_t extra[1] = {EXTRASAMPLE_UNASSALPHA};
        good = TIFFSetField(tiff_, TIFFTAG_EXTRASAMPLES, 1, extra);
    }
    // One strip holding the whole page, handed to the file as it is: uncompressed data in
    // the file's (native) byte order needs no encoding, so no copy through libtiff's buffer.
    good = good
        && TIFFWriteRawStrip(tiff_, 0, const_cast<void*>(page.pixels), static_cast<tmsize_t>(stripBytes))
            == static_cast<tmsize_t>(stripBytes);
    good = good && TIFFWriteDirectory(tiff_);
    if (!good) {
        failed_ = true;
        return false;
    }
    ++pages_;
    return true;
}

bool TiffFile::close()
{
    if (tiff_ == nullptr)
        return false;
    // TIFFClose flushes but cannot report a failure; an explicit flush before it can.
    const bool flushed = TIFFFlush(tiff_) != 0;
    TIFFClose(tiff_);
    tiff_ = nullptr;
    failed_ = failed_ || !channel_->ok(); // the last gathered bytes reach the file at the close
    if (failed_)
        endChainAfterGoodPages();
    return flushed && !failed_;
}

bool TiffFile::closeWithDescription(const std::string& text, const std::string& shortText)
{
    const bool closed = close();
    return pages_ > 0 && (replaceDescription(text, true) || replaceDescription(shortText, false)) && closed;
}

bool TiffFile::replaceDescription(const std::string& text, bool mayAppend) const
{
    const FileHandle file(std::fopen(path_.c_str(), "r+b"), &std::fclose);
    if (!file)
        return false;
    const DirectoryLayout layout(bigTiff_);
    uint64_t directory = 0, entries = 0;
    if (!readUnsigned(file.get(), layout.firstOffsetAt, layout.offsetSize, directory)
        || !readUnsigned(file.get(), directory, layout.countSize, entries))
        return false;
    for (uint64_t i = 0; i < entries; ++i) {
        const uint64_t entry = directory + layout.countSize + i * layout.entrySize;
        uint64_t tag = 0, count = 0, offset = 0;
        if (!readUnsigned(file.get(), entry, 2, tag))
            return false;
        if (tag != TIFFTAG_IMAGEDESCRIPTION)
            continue;
        const uint64_t countAt = entry + 4;
        const uint64_t offsetAt = countAt + layout.offsetSize;
        if (!readUnsigned(file.get(), countAt, layout.offsetSize, count)
            || !readUnsigned(file.get(), offsetAt, layout.offsetSize, offset))
            return false;
        const uint64_t needed = text.size() + 1; // with the terminating NUL
        if (count <= layout.offsetSize)
            return false; // a text kept inside the entry left no room to grow
        if (needed > count) {
            // No room: the text goes to the end of the file (classic TIFF offsets are 32-bit).
            if (!mayAppend || fseeko(file.get(), 0, SEEK_END) != 0)
                return false;
            offset = static_cast<uint64_t>(ftello(file.get()));
            offset += offset & 1; // TIFF values start on a word boundary
            if (!bigTiff_ && offset + needed > 0xFFFFFFFFull)
                return false;
        }
        return fseeko(file.get(), static_cast<off_t>(offset), SEEK_SET) == 0
            && std::fwrite(text.c_str(), needed, 1, file.get()) == 1
            && writeUnsigned(file.get(), countAt, layout.offsetSize, needed)
            && writeUnsigned(file.get(), offsetAt, layout.offsetSize, offset) && std::fflush(file.get()) == 0;
    }
    return false;
}

bool TiffFile::endChainAfterGoodPages() const
{
    if (pages_ == 0)
        return false; // nothing readable to keep
    const FileHandle file(std::fopen(path_.c_str(), "r+b"), &std::fclose);
    if (!file)
        return false;
    // Header: the first directory's offset after the byte order and version (and, in
    // BigTIFF, the offset size and padding). A directory: its entry count, the entries, and
    // the next directory's offset.
    const DirectoryLayout layout(bigTiff_);
    const std::size_t offsetSize = layout.offsetSize;
    const std::size_t countSize = layout.countSize;
    const uint64_t entrySize = layout.entrySize;
    uint64_t directory = 0;
    if (!readUnsigned(file.get(), layout.firstOffsetAt, offsetSize, directory))
        return false;
    for (uint32_t page = 1;; ++page) {
        uint64_t entries = 0;
        if (directory == 0 || !readUnsigned(file.get(), directory, countSize, entries))
            return false;
        const uint64_t next = directory + countSize + entries * entrySize;
        if (page == pages_) {
            const uint64_t end = 0;
            return fseeko(file.get(), static_cast<off_t>(next), SEEK_SET) == 0
                && std::fwrite(&end, offsetSize, 1, file.get()) == 1;
        }
        directory = 0;
        if (!readUnsigned(file.get(), next, offsetSize, directory))
            return false;
    }
}

} // namespace vyksim
