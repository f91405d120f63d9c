// A TIFF file written page by page with libtiff: uncompressed, one strip per page, with
// the text tags (description, date, camera model) that carry an image's acquisition facts.
#ifndef VYK_TIFF_FILE_H
#define VYK_TIFF_FILE_H

#include <cstdint>
#include <memory>
#include <string>

#include "TiffWriteChannel.h"

namespace vyksim {

// Owns one libtiff handle opened for writing.
class TiffFile {
public:
    // One page: packed rows, samples in red-first order, host byte order (the file is
    // written in host byte order, which every TIFF reader accepts).
    struct Page {
        uint32_t width = 0;           // pixels per row
        uint32_t height = 0;          // rows
        uint16_t samplesPerPixel = 1; // 1 grayscale, 3 RGB, 4 RGB plus alpha
        uint16_t bitsPerSample = 16;  // 8 or 16
        const void* pixels = nullptr; // width*height*samplesPerPixel samples
        const char* dateTime = nullptr;    // DateTime "YYYY:MM:DD HH:MM:SS"; null: none
        const char* model = nullptr;       // Model (the camera's name); null: none
        const char* description = nullptr; // ImageDescription; null: none
        // Bytes the description occupies in the file at least (padded with spaces), so
        // that closeWithDescription() can put a longer final text in its place.
        uint64_t descriptionRoom = 0;
    };

    // Creates (truncates) path, as BigTIFF when bigTiff is set; check ok() afterwards.
    TiffFile(const std::string& path, bool bigTiff);
    ~TiffFile(); // closes
    TiffFile(const TiffFile&) = delete;
    TiffFile& operator=(const TiffFile&) = delete;

    // Bytes one page of this shape adds to a file, besides its pixels, at most.
    static constexpr uint64_t kPageOverhead = 1024;

    // True while the file is open and every page was written.
    bool ok() const { return tiff_ != nullptr && !failed_; }
    // Appends one page; false when libtiff refused it (the file is then failed).
    bool writePage(const Page& page);
    // Pages written so far.
    uint32_t pageCount() const { return pages_; }
    // Closes the file; false when anything failed since opening.
    bool close();
    // Closes the file and then replaces the first page's description with text: in the
    // room the first page reserved when it fits, else appended at the end of the file; when
    // neither works (no room, and a full disk refuses the appended text), with shortText in
    // the room. A file with a failed page gets it after its chain was ended at the last good
    // page. False when the close or the replacement failed (or no page was written).
    bool closeWithDescription(const std::string& text, const std::string& shortText);

private:
    // Ends the directory chain after the pages written: a page that failed half-way may
    // have linked a directory that never reached the disk.
    bool endChainAfterGoodPages() const;
    // Puts text in place of the first page's ImageDescription, appending it to the file
    // when it is longer than the room and mayAppend is set (see closeWithDescription).
    bool replaceDescription(const std::string& text, bool mayAppend) const;

    std::string path_;     // the file, reopened to end its chain after a failure
    bool bigTiff_ = false; // BigTIFF layout (64-bit offsets)
    std::unique_ptr<TiffWriteChannel> channel_; // what tiff_ writes through; outlives it
    TIFF* tiff_ = nullptr; // null once closed
    bool failed_ = false;  // a page could not be written
    uint32_t pages_ = 0;   // pages written
};

} // namespace vyksim

#endif // VYK_TIFF_FILE_H
