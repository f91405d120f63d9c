#include "DicomFile.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcfilefo.h>
#include <dcmtk/dcmdata/dcistrmf.h>
#include <dcmtk/dcmdata/dcpixel.h>
#include <dcmtk/dcmdata/dcuid.h>
#include <dcmtk/dcmdata/dcvrda.h>
#include <dcmtk/dcmdata/dcvrtm.h>

namespace vyksim {

namespace {

std::string newUid()
{
    char uid[100];
    dcmGenerateUniqueIdentifier(uid, SITE_INSTANCE_UID_ROOT);
    return uid;
}

// SOP class of an image: multi-frame files take the grayscale class of their sample width.
const char* sopClassOf(const DicomFile::Image& image)
{
    if (!image.multiFrame)
        return UID_SecondaryCaptureImageStorage;
    return image.bitsAllocated == 8 ? UID_MultiframeGrayscaleByteSecondaryCaptureImageStorage
                                    : UID_MultiframeGrayscaleWordSecondaryCaptureImageStorage;
}

// A decimal string (DS) of at most 16 characters for value.
std::string decimalString(double value)
{
    char text[32];
    for (int digits = 10; digits > 1; --digits) {
        std::snprintf(text, sizeof text, "%.*g", digits, value);
        if (std::strlen(text) <= 16)
            break;
    }
    return text;
}

// The values of a multi-valued DS attribute, backslash-separated.
std::string decimalStrings(const std::vector<double>& values)
{
    std::string text;
    for (size_t i = 0; i < values.size(); ++i) {
        if (i > 0)
            text += '\\';
        text += decimalString(values[i]);
    }
    return text;
}

// Patient, study, series and equipment attributes every file carries; the ones nobody
// knows here are present and empty, as their type (2) asks.
bool putIdentification(DcmDataset& dataset, const DicomFile::Series& series, uint32_t instanceNumber)
{
    OFString date;
    OFString time;
    DcmDate::getCurrentDate(date);
    DcmTime::getCurrentTime(time);
    const std::string sopUid = newUid();
    return dataset.putAndInsertString(DCM_SpecificCharacterSet, "ISO_IR 192").good()
        && dataset.putAndInsertString(DCM_SOPInstanceUID, sopUid.c_str()).good()
        && dataset.putAndInsertString(DCM_StudyInstanceUID, series.studyUid.c_str()).good()
        && dataset.putAndInsertString(DCM_SeriesInstanceUID, series.seriesUid.c_str()).good()
        && dataset.putAndInsertString(DCM_StudyDate, date.c_str()).good()
        && dataset.putAndInsertString(DCM_StudyTime, time.c_str()).good()
        && dataset.putAndInsertString(DCM_ContentDate, date.c_str()).good()
        && dataset.putAndInsertString(DCM_ContentTime, time.c_str()).good()
        && dataset.putAndInsertString(DCM_Modality, "OT").good()
        && dataset.putAndInsertString(DCM_ConversionType, "DI").good()
        && dataset.putAndInsertString(DCM_PatientName, "").good()
        && dataset.putAndInsertString(DCM_PatientID, "").good()
        && dataset.putAndInsertString(DCM_PatientBirthDate, "").good()
        && dataset.putAndInsertString(DCM_PatientSex, "").good()
        && dataset.putAndInsertString(DCM_ReferringPhysicianName, "").good()
        && dataset.putAndInsertString(DCM_StudyID, "").good()
        && dataset.putAndInsertString(DCM_AccessionNumber, "").good()
        && dataset.putAndInsertString(DCM_Laterality, "").good() // the checker asks for it, empty
        && dataset.putAndInsertString(DCM_PatientOrientation, "").good()
        && dataset.putAndInsertString(DCM_Manufacturer, "").good()
        && dataset.putAndInsertString(DCM_SeriesNumber, "1").good()
        && dataset.putAndInsertString(DCM_InstanceNumber, std::to_string(instanceNumber).c_str()).good();
}

// The camera and the time of the acquisition, where known.
bool putAcquisition(DcmDataset& dataset, const DicomFile::Acquisition& acquisition)
{
    const AcquisitionFacts& facts = acquisition.facts;
    bool good = true;
    if (!acquisition.dateTime.empty())
        good = dataset.putAndInsertString(DCM_AcquisitionDateTime, acquisition.dateTime.c_str()).good();
    if (good && !facts.cameraName.empty())
        good = dataset.putAndInsertString(DCM_ManufacturerModelName, facts.cameraName.c_str()).good();
    if (good && facts.serial != 0)
        good = dataset.putAndInsertString(DCM_DeviceSerialNumber, std::to_string(facts.serial).c_str()).good();
    if (good && std::isfinite(facts.exposureS) && facts.exposureS >= 0.0) {
        // ExposureTime is a whole number of milliseconds; the exact value goes along in
        // ExposureTimeInms, which short exposures need.
        const double ms = facts.exposureS * 1e3;
        good = dataset.putAndInsertString(DCM_ExposureTime, std::to_string(std::llround(ms)).c_str()).good()
            && dataset.putAndInsertFloat64(DCM_ExposureTimeInms, ms).good();
    }
    return good;
}

// The attributes of the multi-frame grayscale classes: frame count, the timing that the
// frame increment pointer names, and the grayscale presentation they require.
bool putMultiFrame(DcmDataset& dataset, const DicomFile::Image& image, const std::vector<double>& frameTimesMs)
{
    std::vector<double> times = frameTimesMs;
    times.resize(image.frames, times.empty() ? 0.0 : times.back());
    if (!times.empty())
        times.front() = 0.0; // the first frame has no increment
    bool good = dataset.putAndInsertString(DCM_NumberOfFrames, std::to_string(image.frames).c_str()).good()
        && dataset.putAndInsertTagKey(DCM_FrameIncrementPointer, DCM_FrameTimeVector).good()
        && dataset.putAndInsertString(DCM_FrameTimeVector, decimalStrings(times).c_str()).good()
        && dataset.putAndInsertString(DCM_BurnedInAnnotation, "NO").good()
        && dataset.putAndInsertString(DCM_PresentationLUTShape, "IDENTITY").good()
        && dataset.putAndInsertString(DCM_RescaleIntercept, "0").good()
        && dataset.putAndInsertString(DCM_RescaleSlope, "1").good()
        && dataset.putAndInsertString(DCM_RescaleType, "US").good(); // unspecified: the camera's counts
    return good;
}

// Fills every attribute except the pixel data. False when DCMTK refused a value.
bool putAttributes(DcmDataset& dataset, const DicomFile::Image& image, const DicomFile::Series& series,
                   uint32_t instanceNumber, const DicomFile::Acquisition& acquisition)
{
    const bool colour = image.samplesPerPixel == 3;
    bool good = dataset.putAndInsertString(DCM_SOPClassUID, sopClassOf(image)).good()
        && putIdentification(dataset, series, instanceNumber) && putAcquisition(dataset, acquisition)
        && dataset.putAndInsertUint16(DCM_Rows, static_cast<Uint16>(image.height)).good()
        && dataset.putAndInsertUint16(DCM_Columns, static_cast<Uint16>(image.width)).good()
        && dataset.putAndInsertUint16(DCM_SamplesPerPixel, image.samplesPerPixel).good()
        && dataset.putAndInsertString(DCM_PhotometricInterpretation, colour ? "RGB" : "MONOCHROME2").good()
        && dataset.putAndInsertUint16(DCM_BitsAllocated, image.bitsAllocated).good()
        && dataset.putAndInsertUint16(DCM_BitsStored, image.bitsStored).good()
        && dataset.putAndInsertUint16(DCM_HighBit, static_cast<Uint16>(image.bitsStored - 1)).good()
        && dataset.putAndInsertUint16(DCM_PixelRepresentation, 0).good();
    if (good && colour)
        good = dataset.putAndInsertUint16(DCM_PlanarConfiguration, 0).good();
    if (good && image.multiFrame)
        good = putMultiFrame(dataset, image, acquisition.frameTimesMs);
    return good;
}

bool save(DcmFileFormat& file, const std::string& path)
{
    const bool saved = file.saveFile(path.c_str(), EXS_LittleEndianExplicit).good();
    if (!saved)
        std::remove(path.c_str());
    return saved;
}

} // namespace

DicomFile::Series DicomFile::newSeries()
{
    return Series{newUid(), newUid()};
}

uint64_t DicomFile::pixelBytes(const Image& image)
{
    return static_cast<uint64_t>(image.width) * image.height * image.samplesPerPixel
        * (image.bitsAllocated / 8u) * image.frames;
}

bool DicomFile::fits(const Image& image)
{
    return image.width >= 1 && image.width <= 0xFFFF && image.height >= 1 && image.height <= 0xFFFF
        && (image.samplesPerPixel == 1 || image.samplesPerPixel == 3)
        && (image.bitsAllocated == 8 || image.bitsAllocated == 16)
        && image.bitsStored >= 1 && image.bitsStored <= image.bitsAllocated && image.frames >= 1
        && (image.multiFrame ? image.samplesPerPixel == 1 : image.frames == 1)
        && ((pixelBytes(image) + 1u) & ~uint64_t{1}) <= kMaxPixelBytes; // with the pad byte
}

bool DicomFile::write(const std::string& path, const Image& image, const void* pixels,
                      const Series& series, uint32_t instanceNumber, const Acquisition& acquisition)
{
    if (!fits(image) || pixels == nullptr)
        return false;
    DcmFileFormat file;
    DcmDataset& dataset = *file.getDataset();
    if (!putAttributes(dataset, image, series, instanceNumber, acquisition))
        return false;
    const auto bytes = static_cast<unsigned long>(pixelBytes(image));
    const bool put = image.bitsAllocated == 8
        ? dataset.putAndInsertUint8Array(DCM_PixelData, static_cast<const Uint8*>(pixels), bytes).good()
        : dataset.putAndInsertUint16Array(DCM_PixelData, static_cast<const Uint16*>(pixels), bytes / 2).good();
    return put && save(file, path);
}

bool DicomFile::writeFromRawFile(const std::string& path, const Image& image,
                                 const std::string& rawPath, uint64_t offset,
                                 const Series& series, uint32_t instanceNumber,
                                 const Acquisition& acquisition)
{
    if (!fits(image))
        return false;
    DcmFileFormat file;
    DcmDataset& dataset = *file.getDataset();
    if (!putAttributes(dataset, image, series, instanceNumber, acquisition))
        return false;
    auto* pixelData = new DcmPixelData(DcmTag(DCM_PixelData, image.bitsAllocated == 8 ? EVR_OB : EVR_OW));
    if (dataset.insert(pixelData, true).bad()) {
        delete pixelData;
        return false;
    }
    // The element takes the factory; the value is streamed from the raw file by
    // saveFile() in blocks instead of being loaded as a whole.
    auto* factory = new DcmInputFileStreamFactory(rawPath.c_str(), static_cast<offile_off_t>(offset));
    // An odd byte count is padded to even; the raw file holds the pad byte.
    const uint64_t length = (pixelBytes(image) + 1u) & ~uint64_t{1};
    if (pixelData->createValueFromTempFile(factory, static_cast<Uint32>(length),
                                           EBO_LittleEndian).bad()) {
        delete factory;
        return false;
    }
    return save(file, path);
}

} // namespace vyksim
