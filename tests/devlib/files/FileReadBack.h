// Reads image files back with the standard libraries (libtiff, DCMTK) for the tests.
#ifndef VYK_TEST_FILE_READ_BACK_H
#define VYK_TEST_FILE_READ_BACK_H

#include <cstdint>
#include <string>
#include <vector>

namespace vyktest {

// One TIFF page as libtiff reads it.
struct TiffPageData {
    uint32_t width = 0;             // ImageWidth
    uint32_t height = 0;            // ImageLength
    uint16_t samplesPerPixel = 0;   // SamplesPerPixel
    uint16_t bitsPerSample = 0;     // BitsPerSample
    uint16_t photometric = 0;       // PhotometricInterpretation
    uint16_t extraSamples = 0;      // count of ExtraSamples
    std::vector<uint8_t> bytes;     // decoded rows back to back, host byte order
};

// Every page of a TIFF file, or an empty list when libtiff cannot open it. bigTiff is
// set when the file is a BigTIFF.
std::vector<TiffPageData> readTiff(const std::string& path, bool* bigTiff = nullptr);

// A DICOM file as DCMTK reads it.
struct DicomData {
    bool loaded = false;            // DcmFileFormat::loadFile succeeded
    uint16_t rows = 0;              // Rows
    uint16_t columns = 0;           // Columns
    long frames = 0;                // NumberOfFrames (1 when absent)
    uint16_t samplesPerPixel = 0;   // SamplesPerPixel
    uint16_t bitsAllocated = 0;     // BitsAllocated
    uint16_t bitsStored = 0;        // BitsStored
    uint16_t highBit = 0;           // HighBit
    uint16_t pixelRepresentation = 0xFFFF; // PixelRepresentation
    std::string photometric;        // PhotometricInterpretation
    std::string sopClassUid;        // SOPClassUID
    std::string sopInstanceUid;     // SOPInstanceUID
    std::string studyUid;           // StudyInstanceUID
    std::string seriesUid;          // SeriesInstanceUID
    std::string contentDate;        // ContentDate
    std::vector<uint8_t> pixels8;   // PixelData when BitsAllocated is 8 (without pad byte)
    std::vector<uint16_t> pixels16; // PixelData when BitsAllocated is 16
};

// Loads a DICOM file with DCMTK.
DicomData readDicom(const std::string& path);

// 16-bit samples of a page's bytes.
std::vector<uint16_t> words(const std::vector<uint8_t>& bytes);

// Output of a shell command and its exit status; status -1 when it could not run.
struct CommandResult {
    int status = -1;     // exit status
    std::string output;  // standard output and error
};

// Runs a command line through the shell.
CommandResult runCommand(const std::string& command);

// True when an executable of this name is on the PATH.
bool haveTool(const std::string& name);

} // namespace vyktest

#endif // VYK_TEST_FILE_READ_BACK_H
