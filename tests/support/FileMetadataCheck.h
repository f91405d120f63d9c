// Reads image files back the way outside tools do and checks the acquisition facts they
// carry: the OME-XML of TIFF files (parsed with Qt's XML reader), the TIFF text tags, the
// DICOM attributes, and the verdict of the DICOM standard's checker dciodvfy.
#ifndef RASTEL_TEST_FILE_METADATA_CHECK_H
#define RASTEL_TEST_FILE_METADATA_CHECK_H

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

namespace filecheck {

// What a file must say; an empty or zero or NaN field is not checked.
struct Expected {
  std::string cameraName;  // TIFF Model, OME Detector Model, DICOM ManufacturerModelName
  uint32_t serial = 0;     // OME Detector SerialNumber, DICOM DeviceSerialNumber
  uint16_t significantBits = 0;  // OME SignificantBits, DICOM BitsStored
  double exposureS = std::numeric_limits<double>::quiet_NaN();  // every plane's exposure
  // Samples of each page or frame in file order, host byte order (16-bit samples as two
  // bytes each); empty: pixels not checked.
  std::vector<std::vector<uint8_t>> pages;
};

// One plane of an OME-TIFF.
struct OmePlane {
  uint64_t theT = 0;      // TheT
  double deltaT = -1.0;   // DeltaT in seconds (DeltaTUnit "s" checked)
  double exposureS = std::numeric_limits<double>::quiet_NaN();  // ExposureTime in seconds
};

// An OME-TIFF file as a reader sees it.
struct OmeTiff {
  std::string error;              // why the file is not a valid OME-TIFF; "" when it is
  uint32_t pageCount = 0;         // pages libtiff finds
  std::vector<std::vector<uint8_t>> pages;  // samples of every page
  std::string model, dateTime, software;    // TIFF text tags of the first page
  uint64_t sizeT = 0;             // Pixels SizeT
  uint32_t sizeX = 0, sizeY = 0, sizeC = 0, sizeZ = 0;  // Pixels sizes
  std::string type, dimensionOrder;  // Pixels Type, DimensionOrder
  uint32_t significantBits = 0;   // Pixels SignificantBits
  std::vector<uint64_t> tiffDataIfds;  // IFD of every TiffData
  std::vector<OmePlane> planes;   // every Plane in document order
  std::string detectorModel, detectorSerial, acquisitionDate;  // Instrument and Image facts
};

// Reads path with libtiff and parses its first page's description.
OmeTiff readOmeTiff(const std::string& path);

// The file is an OME-TIFF whose description matches its pages (SizeT = pages, one TiffData
// and one Plane per page, TheT in order, DeltaT increasing from 0) and the expectations.
::testing::AssertionResult isOmeTiff(const std::string& path, const Expected& expected);

// dciodvfy reports no error for the file. Fails when dciodvfy cannot be run.
::testing::AssertionResult passesDciodvfy(const std::string& path);

// The DICOM file passes dciodvfy, has the Secondary Capture class (single frame, no
// NumberOfFrames) or a multi-frame grayscale class with one FrameTimeVector entry per
// frame (0, then positive increments), AcquisitionDateTime, and the expectations.
::testing::AssertionResult isDicom(const std::string& path, bool multiFrame, const Expected& expected);

// Bytes of 16-bit samples in host order.
std::vector<uint8_t> bytesOf(const std::vector<uint16_t>& samples);

}  // namespace filecheck

#endif  // RASTEL_TEST_FILE_METADATA_CHECK_H
