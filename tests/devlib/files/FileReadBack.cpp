#include "FileReadBack.h"

#include <sys/wait.h>

#include <cstdio>
#include <cstring>

#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcfilefo.h>
#include <tiffio.h>

namespace vyktest {

std::vector<TiffPageData> readTiff(const std::string& path, bool* bigTiff)
{
    std::vector<TiffPageData> pages;
    TIFF* tiff = TIFFOpen(path.c_str(), "r");
    if (tiff == nullptr)
        return pages;
    if (bigTiff != nullptr)
        *bigTiff = TIFFIsBigTIFF(tiff) != 0;
    do {
        TiffPageData page;
        uint16_t extraCount = 0;
        uint16_t* extraTypes = nullptr;
        TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &page.width);
        TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &page.height);
        TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLESPERPIXEL, &page.samplesPerPixel);
        TIFFGetFieldDefaulted(tiff, TIFFTAG_BITSPERSAMPLE, &page.bitsPerSample);
        TIFFGetField(tiff, TIFFTAG_PHOTOMETRIC, &page.photometric);
        if (TIFFGetField(tiff, TIFFTAG_EXTRASAMPLES, &extraCount, &extraTypes))
            page.extraSamples = extraCount;
        const tmsize_t rowBytes = TIFFScanlineSize(tiff);
        page.bytes.resize(static_cast<size_t>(rowBytes) * page.height);
        for (uint32_t row = 0; row < page.height; ++row) {
            if (TIFFReadScanline(tiff, page.bytes.data() + row * rowBytes, row) < 0) {
                page.bytes.clear();
                break;
            }
        }
        pages.push_back(std::move(page));
    } while (TIFFReadDirectory(tiff));
    TIFFClose(tiff);
    return pages;
}

DicomData readDicom(const std::string& path)
{
    DicomData data;
    DcmFileFormat file;
    if (file.loadFile(path.c_str()).bad())
        return data;
    data.loaded = true;
    DcmDataset& set = *file.getDataset();
    OFString text;
    set.findAndGetUint16(DCM_Rows, data.rows);
    set.findAndGetUint16(DCM_Columns, data.columns);
    if (set.findAndGetLongInt(DCM_NumberOfFrames, data.frames).bad())
        data.frames = 1;
    set.findAndGetUint16(DCM_SamplesPerPixel, data.samplesPerPixel);
    set.findAndGetUint16(DCM_BitsAllocated, data.bitsAllocated);
    set.findAndGetUint16(DCM_BitsStored, data.bitsStored);
    set.findAndGetUint16(DCM_HighBit, data.highBit);
    set.findAndGetUint16(DCM_PixelRepresentation, data.pixelRepresentation);
    if (set.findAndGetOFString(DCM_PhotometricInterpretation, text).good())
        data.photometric = text.c_str();
    if (set.findAndGetOFString(DCM_SOPClassUID, text).good())
        data.sopClassUid = text.c_str();
    if (set.findAndGetOFString(DCM_SOPInstanceUID, text).good())
        data.sopInstanceUid = text.c_str();
    if (set.findAndGetOFString(DCM_StudyInstanceUID, text).good())
        data.studyUid = text.c_str();
    if (set.findAndGetOFString(DCM_SeriesInstanceUID, text).good())
        data.seriesUid = text.c_str();
    if (set.findAndGetOFString(DCM_ContentDate, text).good())
        data.contentDate = text.c_str();
    const size_t samples = static_cast<size_t>(data.rows) * data.columns * data.samplesPerPixel
        * static_cast<size_t>(data.frames);
    if (data.bitsAllocated == 8) {
        const Uint8* values = nullptr;
        unsigned long count = 0;
        if (set.findAndGetUint8Array(DCM_PixelData, values, &count).good() && count >= samples)
            data.pixels8.assign(values, values + samples);
    } else {
        const Uint16* values = nullptr;
        unsigned long count = 0;
        if (set.findAndGetUint16Array(DCM_PixelData, values, &count).good() && count >= samples)
            data.pixels16.assign(values, values + samples);
    }
    return data;
}

std::vector<uint16_t> words(const std::vector<uint8_t>& bytes)
{
    std::vector<uint16_t> out(bytes.size() / 2);
    std::memcpy(out.data(), bytes.data(), out.size() * 2);
    return out;
}

CommandResult runCommand(const std::string& command)
{
    CommandResult result;
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (pipe == nullptr)
        return result;
    char buffer[4096];
    size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        result.output.append(buffer, n);
    const int status = pclose(pipe);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

bool haveTool(const std::string& name)
{
    return runCommand("command -v " + name).status == 0;
}

} // namespace vyktest
