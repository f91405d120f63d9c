#include "TiffFile.h"

#include <tiffio.h>

namespace vyksim {

TiffFile::TiffFile(const std::string& path, bool bigTiff)
{
    tiff_ = TIFFOpen(path.c_str(), bigTiff ? "w8" : "w");
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
    return flushed && !failed_;
}

} // namespace vyksim
