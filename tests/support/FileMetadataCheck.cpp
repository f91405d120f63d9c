#include "tests/support/FileMetadataCheck.h"

#include <tiffio.h>

#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcfilefo.h>
#include <dcmtk/dcmdata/dcuid.h>
#include <dcmtk/dcmdata/dcvrat.h>

#include <cmath>
#include <cstring>
#include <sstream>

#include <QProcess>
#include <QString>
#include <QXmlStreamReader>

namespace filecheck {

namespace {

using ::testing::AssertionFailure;
using ::testing::AssertionResult;
using ::testing::AssertionSuccess;

std::string text(const QStringRef& value) { return value.toString().toStdString(); }

// Samples of the current page, rows back to back.
std::vector<uint8_t> pageBytes(TIFF* tiff) {
  uint32_t height = 0;
  TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &height);
  const tmsize_t rowBytes = TIFFScanlineSize(tiff);
  std::vector<uint8_t> bytes(static_cast<size_t>(rowBytes) * height);
  for (uint32_t y = 0; y < height; ++y) {
    if (TIFFReadScanline(tiff, bytes.data() + static_cast<size_t>(rowBytes) * y, y) < 0) return {};
  }
  return bytes;
}

std::string stringTag(TIFF* tiff, uint32_t tag) {
  const char* value = nullptr;
  return TIFFGetField(tiff, tag, &value) == 1 && value != nullptr ? std::string(value) : std::string();
}

// Reads the parts of the OME document the checks need into ome.
void parseOme(const std::string& xml, OmeTiff& ome) {
  QXmlStreamReader reader(QString::fromStdString(xml));
  bool sawRoot = false;
  while (!reader.atEnd()) {
    if (reader.readNext() != QXmlStreamReader::StartElement) continue;
    const QXmlStreamAttributes a = reader.attributes();
    const QStringRef name = reader.name();
    if (!sawRoot) {
      sawRoot = true;
      if (name != QLatin1String("OME") ||
          reader.namespaceUri() != QLatin1String("http://www.openmicroscopy.org/Schemas/OME/2016-06")) {
        ome.error = "the root element is not OME of the 2016-06 schema";
        return;
      }
    }
    if (name == QLatin1String("Detector")) {
      ome.detectorModel = text(a.value("Model"));
      ome.detectorSerial = text(a.value("SerialNumber"));
    } else if (name == QLatin1String("AcquisitionDate")) {
      ome.acquisitionDate = reader.readElementText().toStdString();
    } else if (name == QLatin1String("Pixels")) {
      ome.sizeT = a.value("SizeT").toULongLong();
      ome.sizeX = a.value("SizeX").toUInt();
      ome.sizeY = a.value("SizeY").toUInt();
      ome.sizeC = a.value("SizeC").toUInt();
      ome.sizeZ = a.value("SizeZ").toUInt();
      ome.type = text(a.value("Type"));
      ome.dimensionOrder = text(a.value("DimensionOrder"));
      ome.significantBits = a.value("SignificantBits").toUInt();
    } else if (name == QLatin1String("TiffData")) {
      if (!ome.planes.empty()) {
        ome.error = "a TiffData follows a Plane (the OME schema puts every TiffData first)";
        return;
      }
      ome.tiffDataIfds.push_back(a.value("IFD").toULongLong());
    } else if (name == QLatin1String("Plane")) {
      OmePlane plane;
      plane.theT = a.value("TheT").toULongLong();
      if (a.value("DeltaTUnit") == QLatin1String("s")) plane.deltaT = a.value("DeltaT").toDouble();
      if (a.hasAttribute("ExposureTime") && a.value("ExposureTimeUnit") == QLatin1String("s"))
        plane.exposureS = a.value("ExposureTime").toDouble();
      ome.planes.push_back(plane);
    }
  }
  if (reader.hasError()) ome.error = "the description is not well-formed XML: " + reader.errorString().toStdString();
  else if (!sawRoot) ome.error = "the description holds no element";
}

bool near(double a, double b) { return std::fabs(a - b) <= 1e-9 + 1e-6 * std::fabs(b); }

AssertionResult pagesMatch(const std::vector<std::vector<uint8_t>>& found, const Expected& expected,
                           const std::string& what) {
  if (expected.pages.empty()) return AssertionSuccess();
  if (found.size() != expected.pages.size())
    return AssertionFailure() << what << ": " << found.size() << " images, expected " << expected.pages.size();
  for (size_t i = 0; i < found.size(); ++i) {
    if (found[i] != expected.pages[i]) return AssertionFailure() << what << ": pixels of image " << i << " differ";
  }
  return AssertionSuccess();
}

std::string dicomString(DcmDataset& dataset, const DcmTagKey& key) {
  OFString value;
  return dataset.findAndGetOFStringArray(key, value).good() ? std::string(value.c_str()) : std::string("<absent>");
}

// The DICOM file's frames as bytes in host order.
std::vector<std::vector<uint8_t>> dicomFrames(DcmDataset& dataset, size_t frames) {
  Uint16 rows = 0, columns = 0, bits = 0;
  dataset.findAndGetUint16(DCM_Rows, rows);
  dataset.findAndGetUint16(DCM_Columns, columns);
  dataset.findAndGetUint16(DCM_BitsAllocated, bits);
  Uint16 samples = 1;
  dataset.findAndGetUint16(DCM_SamplesPerPixel, samples);
  const size_t frameBytes = size_t(rows) * columns * samples * (bits / 8u);
  const uint8_t* data = nullptr;
  if (bits == 8) {
    const Uint8* bytes = nullptr;
    dataset.findAndGetUint8Array(DCM_PixelData, bytes);
    data = bytes;
  } else {
    const Uint16* words = nullptr;
    dataset.findAndGetUint16Array(DCM_PixelData, words);
    data = reinterpret_cast<const uint8_t*>(words);
  }
  std::vector<std::vector<uint8_t>> result;
  if (data == nullptr) return result;
  for (size_t i = 0; i < frames; ++i) result.emplace_back(data + i * frameBytes, data + (i + 1) * frameBytes);
  return result;
}

}  // namespace

std::vector<uint8_t> bytesOf(const std::vector<uint16_t>& samples) {
  std::vector<uint8_t> bytes(samples.size() * 2);
  std::memcpy(bytes.data(), samples.data(), bytes.size());
  return bytes;
}

OmeTiff readOmeTiff(const std::string& path) {
  OmeTiff ome;
  TIFF* tiff = TIFFOpen(path.c_str(), "r");
  if (tiff == nullptr) {
    ome.error = "libtiff cannot open " + path;
    return ome;
  }
  const std::string description = stringTag(tiff, TIFFTAG_IMAGEDESCRIPTION);
  ome.model = stringTag(tiff, TIFFTAG_MODEL);
  ome.dateTime = stringTag(tiff, TIFFTAG_DATETIME);
  ome.software = stringTag(tiff, TIFFTAG_SOFTWARE);
  do {
    ome.pages.push_back(pageBytes(tiff));
    ++ome.pageCount;
  } while (TIFFReadDirectory(tiff) == 1);
  TIFFClose(tiff);
  if (description.empty()) {
    ome.error = "the first page has no ImageDescription";
    return ome;
  }
  parseOme(description, ome);
  return ome;
}

AssertionResult isOmeTiff(const std::string& path, const Expected& expected) {
  const OmeTiff ome = readOmeTiff(path);
  if (!ome.error.empty()) return AssertionFailure() << path << ": " << ome.error;
  const uint32_t pages = ome.pageCount;
  if (ome.sizeT != pages || ome.tiffDataIfds.size() != pages || ome.planes.size() != pages)
    return AssertionFailure() << path << ": " << pages << " pages but SizeT " << ome.sizeT << ", "
                              << ome.tiffDataIfds.size() << " TiffData, " << ome.planes.size() << " Plane";
  if (ome.sizeZ != 1 || ome.dimensionOrder != "XYCZT" || (ome.type != "uint16" && ome.type != "uint8"))
    return AssertionFailure() << path << ": Pixels SizeZ " << ome.sizeZ << ", DimensionOrder " << ome.dimensionOrder
                              << ", Type " << ome.type;
  for (uint32_t i = 0; i < pages; ++i) {
    const OmePlane& plane = ome.planes[i];
    if (ome.tiffDataIfds[i] != i || plane.theT != i)
      return AssertionFailure() << path << ": page " << i << " has TiffData IFD " << ome.tiffDataIfds[i]
                                << " and Plane TheT " << plane.theT;
    if (plane.deltaT < 0.0 || (i > 0 && !(plane.deltaT > ome.planes[i - 1].deltaT)))
      return AssertionFailure() << path << ": DeltaT of plane " << i << " is " << plane.deltaT
                                << ", not increasing from 0 s";
    if (!std::isnan(expected.exposureS) && !near(plane.exposureS, expected.exposureS))
      return AssertionFailure() << path << ": ExposureTime of plane " << i << " is " << plane.exposureS << " s, set "
                                << expected.exposureS << " s";
  }
  if (expected.significantBits != 0 && ome.significantBits != expected.significantBits)
    return AssertionFailure() << path << ": SignificantBits " << ome.significantBits;
  if (!expected.cameraName.empty() && (ome.detectorModel != expected.cameraName || ome.model != expected.cameraName))
    return AssertionFailure() << path << ": Detector Model \"" << ome.detectorModel << "\", Model tag \"" << ome.model
                              << "\"";
  if (expected.serial != 0 && ome.detectorSerial != std::to_string(expected.serial))
    return AssertionFailure() << path << ": Detector SerialNumber \"" << ome.detectorSerial << "\"";
  if (ome.acquisitionDate.size() < 19 || ome.dateTime.size() != 19 || ome.software != "Rastel")
    return AssertionFailure() << path << ": AcquisitionDate \"" << ome.acquisitionDate << "\", DateTime \""
                              << ome.dateTime << "\", Software \"" << ome.software << "\"";
  return pagesMatch(ome.pages, expected, path);
}

AssertionResult passesDciodvfy(const std::string& path) {
  QProcess checker;
  checker.setProcessChannelMode(QProcess::MergedChannels);
  checker.start(QStringLiteral("dciodvfy"), {QString::fromStdString(path)});
  if (!checker.waitForStarted(10000) || !checker.waitForFinished(60000))
    return AssertionFailure() << "dciodvfy could not be run (Debian package dicom3tools)";
  const std::string output = checker.readAll().toStdString();
  std::istringstream lines(output);
  std::string line;
  std::string errors;
  while (std::getline(lines, line)) {
    if (line.rfind("Error", 0) == 0) errors += line + "\n";
  }
  if (!errors.empty()) return AssertionFailure() << path << ": dciodvfy reports\n" << output;
  return AssertionSuccess();
}

AssertionResult isDicom(const std::string& path, bool multiFrame, const Expected& expected) {
  const AssertionResult verdict = passesDciodvfy(path);
  if (!verdict) return verdict;
  DcmFileFormat file;
  if (file.loadFile(path.c_str()).bad()) return AssertionFailure() << "DCMTK cannot load " << path;
  DcmDataset& dataset = *file.getDataset();
  const std::string sopClass = dicomString(dataset, DCM_SOPClassUID);
  const std::string frames = dicomString(dataset, DCM_NumberOfFrames);
  size_t frameCount = 1;
  if (multiFrame) {
    if (sopClass != UID_MultiframeGrayscaleWordSecondaryCaptureImageStorage &&
        sopClass != UID_MultiframeGrayscaleByteSecondaryCaptureImageStorage)
      return AssertionFailure() << path << ": SOP class " << sopClass;
    frameCount = std::stoul(frames);
    DcmElement* element = nullptr;
    DcmTagKey pointer;
    if (dataset.findAndGetElement(DCM_FrameIncrementPointer, element).bad() || element->ident() != EVR_AT ||
        static_cast<DcmAttributeTag*>(element)->getTagVal(pointer).bad() || pointer != DCM_FrameTimeVector)
      return AssertionFailure() << path << ": the frame increment pointer does not name FrameTimeVector";
    for (size_t i = 0; i < frameCount; ++i) {
      Float64 increment = -1.0;
      dataset.findAndGetFloat64(DCM_FrameTimeVector, increment, static_cast<unsigned long>(i));
      if (i == 0 ? increment != 0.0 : !(increment > 0.0))
        return AssertionFailure() << path << ": FrameTimeVector entry " << i << " is " << increment;
    }
  } else if (sopClass != UID_SecondaryCaptureImageStorage || frames != "<absent>") {
    return AssertionFailure() << path << ": SOP class " << sopClass << ", NumberOfFrames " << frames;
  }
  if (dicomString(dataset, DCM_AcquisitionDateTime).size() < 14)
    return AssertionFailure() << path << ": AcquisitionDateTime " << dicomString(dataset, DCM_AcquisitionDateTime);
  if (!expected.cameraName.empty() && dicomString(dataset, DCM_ManufacturerModelName) != expected.cameraName)
    return AssertionFailure() << path << ": ManufacturerModelName " << dicomString(dataset, DCM_ManufacturerModelName);
  if (expected.serial != 0 && dicomString(dataset, DCM_DeviceSerialNumber) != std::to_string(expected.serial))
    return AssertionFailure() << path << ": DeviceSerialNumber " << dicomString(dataset, DCM_DeviceSerialNumber);
  Float64 exposureMs = -1.0;
  dataset.findAndGetFloat64(DCM_ExposureTimeInms, exposureMs);
  if (!std::isnan(expected.exposureS) &&
      (!near(exposureMs, expected.exposureS * 1e3) ||
       dicomString(dataset, DCM_ExposureTime) != std::to_string(std::llround(expected.exposureS * 1e3))))
    return AssertionFailure() << path << ": ExposureTime " << dicomString(dataset, DCM_ExposureTime)
                              << ", ExposureTimeInms " << exposureMs << ", set " << expected.exposureS << " s";
  Uint16 bitsStored = 0;
  dataset.findAndGetUint16(DCM_BitsStored, bitsStored);
  if (expected.significantBits != 0 && bitsStored != expected.significantBits)
    return AssertionFailure() << path << ": BitsStored " << bitsStored;
  return pagesMatch(dicomFrames(dataset, frameCount), expected, path);
}

}  // namespace filecheck
