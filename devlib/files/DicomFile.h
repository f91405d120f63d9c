// DICOM Secondary Capture files, single- or multi-frame, written with DCMTK.
//
// A single-frame file is Secondary Capture Image Storage; a multi-frame file is
// Multi-frame Grayscale Byte (8-bit) or Word (16-bit) Secondary Capture Image Storage,
// with NumberOfFrames, the frame increment pointer and a FrameTimeVector. All are
// Explicit VR Little Endian with native (uncompressed) pixel data: Rows, Columns,
// SamplesPerPixel (1 mono MONOCHROME2, 3 RGB with PlanarConfiguration 0), BitsAllocated 8
// or 16, BitsStored, HighBit = BitsStored - 1, PixelRepresentation 0, ContentDate/Time and
// StudyDate/Time of the moment of writing, Modality "OT", ConversionType "DI", Study,
// Series and SOP Instance UIDs from dcmGenerateUniqueIdentifier, and the acquisition
// facts (AcquisitionDateTime, ManufacturerModelName, DeviceSerialNumber, ExposureTime).
// Every Type 1 and Type 2 attribute of these IODs is present, empty where unknown.
#ifndef VYK_DICOM_FILE_H
#define VYK_DICOM_FILE_H

#include <cstdint>
#include <string>
#include <vector>

#include "AcquisitionFacts.h"

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
        uint32_t frames = 1;           // frames in the pixel data
        // Multi-frame SOP class (mono only) with NumberOfFrames; false: Secondary Capture
        // with a single frame, which has no NumberOfFrames.
        bool multiFrame = false;
    };

    // When and with what the image was taken.
    struct Acquisition {
        std::string dateTime;             // AcquisitionDateTime (DT) of the first frame; "" none
        AcquisitionFacts facts;           // ManufacturerModelName, DeviceSerialNumber, ExposureTime
        std::vector<double> frameTimesMs; // multi-frame: FrameTimeVector (0, then increments, ms)
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
                      const Series& series, uint32_t instanceNumber,
                      const Acquisition& acquisition = Acquisition{});

    // Like write(), with pixel data read from a raw file starting at byte offset (all
    // frames back to back; 16-bit samples little-endian) while the DICOM file is written,
    // so a long recording never has to fit in memory. Byte data of odd length needs its pad
    // byte in the raw file too. The raw file is left in place.
    static bool writeFromRawFile(const std::string& path, const Image& image,
                                 const std::string& rawPath, uint64_t offset,
                                 const Series& series, uint32_t instanceNumber,
                                 const Acquisition& acquisition = Acquisition{});
};

} // namespace vyksim

#endif // VYK_DICOM_FILE_H
