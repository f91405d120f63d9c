// DICOM Secondary Capture files, single- or multi-frame, written with DCMTK.
//
// Every file is Secondary Capture Image Storage in Explicit VR Little Endian with native
// (uncompressed) pixel data: Rows, Columns, SamplesPerPixel (1 mono MONOCHROME2, 3 RGB
// with PlanarConfiguration 0), BitsAllocated 8 or 16, BitsStored, HighBit =
// BitsStored - 1, PixelRepresentation 0, NumberOfFrames, ContentDate/Time and
// StudyDate/Time of the moment of writing, Modality "OT", ConversionType "DI", and
// Study, Series and SOP Instance UIDs from dcmGenerateUniqueIdentifier.
#ifndef VYK_DICOM_FILE_H
#define VYK_DICOM_FILE_H

#include <cstdint>
#include <string>

namespace vyksim {

// Writes DICOM files. All static; a Series ties the files of one recording together.
class DicomFile {
public:
    // Shape of the pixel data of one file.
    struct Image {
        uint32_t width = 0;            // Columns; at most 65535
        uint32_t height = 0;           // Rows; at most 65535
        uint16_t samplesPerPixel = 1;  // 1 MONOCHROME2, 3 RGB
        uint16_t bitsAllocated = 16;   // 8 or 16
        uint16_t bitsStored = 16;      // significant bits, 1..bitsAllocated
        uint32_t frames = 1;           // NumberOfFrames
    };

    // Study and series shared by the files of one recording.
    struct Series {
        std::string studyUid;  // StudyInstanceUID
        std::string seriesUid; // SeriesInstanceUID
    };

    // Largest pixel data a file can hold: native pixel data has a 32-bit even length.
    static constexpr uint64_t kMaxPixelBytes = 0xFFFFFFFEull;

    // A new study and series with freshly generated UIDs.
    static Series newSeries();

    // Bytes of pixel data of an image of this shape (all frames, without pad byte).
    static uint64_t pixelBytes(const Image& image);

    // True when DICOM can hold an image of this shape (sizes, sample and bit counts).
    static bool fits(const Image& image);

    // Writes pixels (packed rows, samples red-first, 16-bit samples in host order).
    // On failure returns false and removes the partly written file.
    static bool write(const std::string& path, const Image& image, const void* pixels,
                      const Series& series, uint32_t instanceNumber);

    // Like write(), with 16-bit pixel data read from a little-endian raw file starting at
    // byte offset (all frames back to back) while the DICOM file is written, so a long
    // recording never has to fit in memory. The raw file is left in place.
    static bool writeFromRawFile(const std::string& path, const Image& image,
                                 const std::string& rawPath, uint64_t offset,
                                 const Series& series, uint32_t instanceNumber);
};

} // namespace vyksim

#endif // VYK_DICOM_FILE_H
