// Reads the images of a finished file recording back from its files, by recording index.
#ifndef VYK_RECORDER_RECORDED_FILE_READER_H
#define VYK_RECORDER_RECORDED_FILE_READER_H

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace vykrec {

// A file recording keeps only its newest images in memory; every older one is read back
// from the files the recording wrote: the page of a multi-page TIFF, the frame of a raw
// sequence file or a multi-frame DICOM, or the numbered file of the single-image types.
// Only the pixels are read: what the recorder kept beside them comes from the recorder.
// Reads only files that are complete (the recording's writer has finished them); a file
// still being written is not supported. Thread safe (one lock per reader); the open
// multi-image file stays open between reads, so stepping through a recording does not
// reopen it for every image.
class RecordedFileReader {
public:
    // File name of image index for the single-image types (the writer's numbering).
    using NameFor = std::function<std::string(uint64_t index)>;

    // kind: the recorder's file type (VYK_RECORDER_FILE_*); path: the recording's file for
    // the multi-image types; nameFor: names of the single-image types; width x height: the
    // image size every file must have.
    RecordedFileReader(uint16_t kind, std::string path, NameFor nameFor, uint32_t width, uint32_t height);
    ~RecordedFileReader();
    RecordedFileReader(const RecordedFileReader&) = delete;
    RecordedFileReader& operator=(const RecordedFileReader&) = delete;

    // Reads image index (0-based, recording order) into pixels (width*height values).
    // VYK_NOERROR; VYK_ERR_FILE_IO when the file or the page cannot be read;
    // VYK_ERR_FILE_FORMAT when it does not hold a 16-bit image of the recording's size.
    int32_t read(uint64_t index, std::vector<uint16_t>& pixels);

private:
    struct OpenTiff;   // the multi-page TIFF, opened at the first read
    struct OpenDicom;  // the multi-frame DICOM, its header parsed at the first read

    int32_t readTiffPage(const std::string& file, uint64_t page, std::vector<uint16_t>& pixels); // lock_ held
    int32_t readDicomFrame(const std::string& file, uint64_t frame, std::vector<uint16_t>& pixels); // lock_ held

    const uint16_t kind_;        // VYK_RECORDER_FILE_*
    const std::string path_;     // the multi-image file
    const NameFor nameFor_;      // names of the single-image files
    const uint32_t width_;       // pixels per row
    const uint32_t height_;      // rows

    std::mutex lock_;                    // guards the open files below
    std::unique_ptr<OpenTiff> tiff_;     // multi-page TIFF kept open (lock_)
    std::unique_ptr<OpenDicom> dicom_;   // multi-frame DICOM kept parsed (lock_)
};

} // namespace vykrec

#endif // VYK_RECORDER_RECORDED_FILE_READER_H
