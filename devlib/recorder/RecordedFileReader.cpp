#include "RecordedFileReader.h"

// Without the file library the recorder has no file modes, and nothing to read back.
#ifdef VYK_RECORDER_HAVE_FILES

#include <tiffio.h>

#include <algorithm>

#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmdata/dcdatset.h>
#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcelem.h>
#include <dcmtk/dcmdata/dcfcache.h>
#include <dcmtk/dcmdata/dcfilefo.h>

#include "B16File.h"
#include "VykRawFile.h"
#include "vyk_recorder.h"

namespace vykrec {

namespace {

// Elements longer than this stay in the file when a DICOM header is parsed: the pixel
// data of a multi-frame file is read frame by frame, never as a whole.
constexpr Uint32 kDicomHeaderReadLength = 4096;

struct TiffCloser {
    void operator()(TIFF* tiff) const { TIFFClose(tiff); }
};

} // namespace

struct RecordedFileReader::OpenTiff {
    std::unique_ptr<TIFF, TiffCloser> handle; // the open file
    std::string file;                         // its name
};

struct RecordedFileReader::OpenDicom {
    DcmFileFormat format;      // the parsed file; the pixel data stays on disk
    DcmElement* pixelData = nullptr; // owned by format
    DcmFileCache cache;        // keeps the file open between partial reads
    std::string file;          // its name
    long frames = 0;           // NumberOfFrames
};

RecordedFileReader::RecordedFileReader(uint16_t kind, std::string path, NameFor nameFor, uint32_t width,
                                       uint32_t height)
    : kind_(kind), path_(std::move(path)), nameFor_(std::move(nameFor)), width_(width), height_(height)
{
}

RecordedFileReader::~RecordedFileReader() = default;

int32_t RecordedFileReader::read(uint64_t index, std::vector<uint16_t>& pixels)
{
    std::lock_guard<std::mutex> guard(lock_);
    const size_t count = size_t(width_) * height_;
    switch (kind_) {
    case VYK_RECORDER_FILE_TIFF:
        return readTiffPage(nameFor_(index), 0, pixels);
    case VYK_RECORDER_FILE_MULTITIFF:
        return readTiffPage(path_, index, pixels);
    case VYK_RECORDER_FILE_DICOM:
        return readDicomFrame(nameFor_(index), 0, pixels);
    case VYK_RECORDER_FILE_MULTIDICOM:
        return readDicomFrame(path_, index, pixels);
    case VYK_RECORDER_FILE_B16: {
        vyksim::B16File::Info info;
        if (!vyksim::B16File::read(nameFor_(index), info, pixels))
            return VYK_ERR_FILE_IO;
        return info.width == width_ && info.height == height_ && pixels.size() >= count ? VYK_NOERROR
                                                                                      : VYK_ERR_FILE_FORMAT;
    }
    case VYK_RECORDER_FILE_VYKRAW: {
        vyksim::VykRawFile::Frame frame;
        if (!vyksim::readVykRawFrame(path_, index, frame))
            return VYK_ERR_FILE_IO;
        if (frame.pixels.size() != count)
            return VYK_ERR_FILE_FORMAT;
        pixels = std::move(frame.pixels);
        return VYK_NOERROR;
    }
    default:
        return VYK_ERR_NOT_SUPPORTED;
    }
}

int32_t RecordedFileReader::readTiffPage(const std::string& file, uint64_t page, std::vector<uint16_t>& pixels)
{
    if (!tiff_ || tiff_->file != file) {
        tiff_.reset();
        std::unique_ptr<TIFF, TiffCloser> handle(TIFFOpen(file.c_str(), "r"));
        if (!handle)
            return VYK_ERR_FILE_IO;
        tiff_ = std::make_unique<OpenTiff>();
        tiff_->handle = std::move(handle);
        tiff_->file = file;
    }
    TIFF* tiff = tiff_->handle.get();
    if (page > 0xFFFFFFFFull || TIFFSetDirectory(tiff, tdir_t(page)) != 1)
        return VYK_ERR_FILE_IO;
    uint32_t width = 0, height = 0;
    uint16_t bits = 0, samples = 1;
    TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &height);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLESPERPIXEL, &samples);
    if (width != width_ || height != height_ || bits != 16 || samples != 1 || TIFFIsTiled(tiff))
        return VYK_ERR_FILE_FORMAT;
    pixels.resize(size_t(width_) * height_);
    for (uint32_t row = 0; row < height_; ++row) {
        if (TIFFReadScanline(tiff, pixels.data() + size_t(row) * width_, row, 0) != 1)
            return VYK_ERR_FILE_IO;
    }
    return VYK_NOERROR;
}

int32_t RecordedFileReader::readDicomFrame(const std::string& file, uint64_t frame, std::vector<uint16_t>& pixels)
{
    if (!dicom_ || dicom_->file != file) {
        dicom_.reset();
        auto open = std::make_unique<OpenDicom>();
        if (open->format.loadFile(file.c_str(), EXS_Unknown, EGL_noChange, kDicomHeaderReadLength).bad())
            return VYK_ERR_FILE_IO;
        DcmDataset* dataset = open->format.getDataset();
        Uint16 rows = 0, columns = 0, allocated = 0;
        if (dataset->findAndGetUint16(DCM_Rows, rows).bad() || dataset->findAndGetUint16(DCM_Columns, columns).bad() ||
            dataset->findAndGetUint16(DCM_BitsAllocated, allocated).bad())
            return VYK_ERR_FILE_FORMAT;
        if (rows != height_ || columns != width_ || allocated != 16)
            return VYK_ERR_FILE_FORMAT;
        Sint32 frames = 1;
        if (dataset->findAndGetSint32(DCM_NumberOfFrames, frames).bad())
            frames = 1; // a single-frame file may leave it out
        if (dataset->findAndGetElement(DCM_PixelData, open->pixelData).bad() || open->pixelData == nullptr)
            return VYK_ERR_FILE_FORMAT;
        open->frames = frames;
        open->file = file;
        dicom_ = std::move(open);
    }
    if (frame >= uint64_t(std::max<long>(dicom_->frames, 0)))
        return VYK_ERR_FILE_IO;
    const uint64_t frameBytes = uint64_t(width_) * height_ * sizeof(uint16_t);
    if (uint64_t(dicom_->pixelData->getLength()) < (frame + 1) * frameBytes)
        return VYK_ERR_FILE_FORMAT;
    pixels.resize(size_t(width_) * height_);
    // Native pixel data of 32-bit length: every frame offset fits into 32 bits.
    const OFCondition read = dicom_->pixelData->getPartialValue(pixels.data(), Uint32(frame * frameBytes),
                                                                Uint32(frameBytes), &dicom_->cache);
    return read.good() ? VYK_NOERROR : VYK_ERR_FILE_IO;
}

} // namespace vykrec

#endif // VYK_RECORDER_HAVE_FILES
