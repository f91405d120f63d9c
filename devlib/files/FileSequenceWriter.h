// Writes a recording into image files on a writer thread behind a bounded buffer.
#ifndef VYK_FILE_SEQUENCE_WRITER_H
#define VYK_FILE_SEQUENCE_WRITER_H

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "AcquisitionFacts.h"

namespace vyksim {

// The recorder's file types, numbered as the recorder's type word for file mode.
enum class FileKind : uint32_t {
    Tiff = 1,        // one TIFF file per image, numbered names
    MultiTiff = 2,   // one multi-page TIFF file, BigTIFF when it would pass 4 GiB
    VykRaw = 3,      // the raw sequence file
    B16 = 4,         // one B16 file per image, numbered names
    Dicom = 5,       // one DICOM file per image, numbered names
    MultiDicom = 6,  // one multi-frame DICOM file
};

// Shape of every frame of one recording (16-bit monochrome pixels).
struct FileFrameFormat {
    uint32_t width = 0;     // pixels per row
    uint32_t height = 0;    // rows
    uint16_t bitDepth = 16; // significant bits per pixel
};

// Tuning and test knobs of a writer; the defaults are what the recorder uses.
struct FileWriterOptions {
    // MultiTiff: the file is written as BigTIFF when its estimated size (header plus
    // expectedCount pages of pixels and page overhead) exceeds this many bytes.
    // Classic TIFF offsets are 32-bit, so the default is the largest classic file.
    uint64_t bigTiffThreshold = 0xFFFFFFFFull;
    // Called on the writer thread just before frame index (0-based) is written; may
    // block, which holds up the writer exactly as a slow disk would.
    std::function<void(uint64_t index)> beforeWrite;
};

// Numbered names: the single-image kinds write image index i (0-based) to the path with
// "_" and i + 1 in at least six decimal digits inserted before the suffix:
// "dir/name.tif" -> "dir/name_000001.tif", "dir/name_000002.tif", ... A path without
// suffix gets the kind's own (".tif", ".b16", ".dcm").
// Every TIFF carries an OME-XML description (docs/file-formats.md) and every DICOM file
// the acquisition facts: the camera from AcquisitionFacts, and per frame its time (the
// camera's time stamp or metadata, else the moment push() took it) and its exposure (the
// frame's metadata, else the facts' exposure).
// MultiTiff and MultiDicom leave no file when no frame was written (neither format can
// hold zero images). MultiDicom collects the pixels in "<path>.frames.part" next to the
// target and builds the DICOM file from it in finish(); the part file is then removed.
// States: open (accepting frames) -> finished (all frames on disk, files closed).
// push() is called from one producer thread; the other calls may come from any thread.
class FileSequenceWriter {
public:
    // path: the file for the multi-image kinds; for the single-image kinds the name from
    // which numbered names are derived. expectedCount: images the recording asks for.
    // bufferFrames: how many frames may wait for the disk. Throws std::runtime_error
    // when the first file cannot be created.
    // Throws std::invalid_argument for an empty frame, a bit depth outside 1..16, no
    // buffer, or a frame DICOM cannot hold.
    FileSequenceWriter(FileKind kind, const std::string& path, FileFrameFormat format,
                       uint32_t expectedCount, uint32_t bufferFrames);
    // The same with explicit options.
    FileSequenceWriter(FileKind kind, const std::string& path, FileFrameFormat format,
                       uint32_t expectedCount, uint32_t bufferFrames,
                       const FileWriterOptions& options);
    // The same with the camera's facts for the files' metadata.
    FileSequenceWriter(FileKind kind, const std::string& path, FileFrameFormat format,
                       uint32_t expectedCount, uint32_t bufferFrames,
                       const FileWriterOptions& options, const AcquisitionFacts& facts);
    ~FileSequenceWriter(); // finishes

    // Queues one frame (width*height values) with its optional 69-byte metadata and
    // 22-byte timestamp blocks. Returns false, without taking the frame, when the
    // buffer is full or a write failed; errorStatus() then says why. Also false, with
    // the status unchanged, for null pixels or after finish().
    bool push(const uint16_t* pixels, const uint8_t* metadata, const uint8_t* timestamp);

    // The same, taking over a frame the caller already copied (width*height values;
    // another size is refused like null pixels), so the pixels are not copied again.
    // On success pixels holds the buffer of a written frame (contents undefined) or is
    // empty: the caller reuses or frees it on its own thread. Left untouched when refused.
    bool push(std::vector<uint16_t>&& pixels, const uint8_t* metadata, const uint8_t* timestamp);

    // Writes every queued frame, closes the files and joins the writer thread. Idempotent.
    void finish();

    // 0, VYK_ERR_BUFFER_OVERRUN when a frame had to be refused, VYK_ERR_FILE_IO when a
    // write or the closing of a file failed (it wins over an earlier overrun).
    int32_t errorStatus() const;

    // Frames accepted by push() so far; every one of them is (or will be) on disk unless
    // errorStatus() reports VYK_ERR_FILE_IO.
    uint64_t acceptedCount() const;

    // Frames completely written to disk so far.
    uint64_t writtenCount() const;

    // File name of image index (0-based) for the single-image kinds; the path for the others.
    std::string fileNameFor(uint64_t index) const;

private:
    class Impl;
    std::unique_ptr<Impl> d;
};

} // namespace vyksim

#endif // VYK_FILE_SEQUENCE_WRITER_H
