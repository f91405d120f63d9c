#include "DicomFile.h"

#include <cstdio>

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

// Fills every attribute except the pixel data. False when DCMTK refused a value.
bool putAttributes(DcmDataset& dataset, const DicomFile::Image& image,
                   const DicomFile::Series& series, uint32_t instanceNumber)
{
    OFString date;
    OFString time;
    DcmDate::getCurrentDate(date);
    DcmTime::getCurrentTime(time);
    const std::string sopUid = newUid();
    const bool colour = image.samplesPerPixel == 3;
    bool good = dataset.putAndInsertString(DCM_SOPClassUID, UID_SecondaryCaptureImageStorage).good()
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
        && dataset.putAndInsertString(DCM_SeriesNumber, "1").good()
        && dataset.putAndInsertString(DCM_InstanceNumber, std::to_string(instanceNumber).c_str()).good()
        && dataset.putAndInsertUint16(DCM_Rows, static_cast<Uint16>(image.height)).good()
        && dataset.putAndInsertUint16(DCM_Columns, static_cast<Uint16>(image.width)).good()
        && dataset.putAndInsertUint16(DCM_SamplesPerPixel, image.samplesPerPixel).good()
        && dataset.putAndInsertString(DCM_PhotometricInterpretation, colour ? "RGB" : "MONOCHROME2").good()
        && dataset.putAndInsertUint16(DCM_BitsAllocated, image.bitsAllocated).good()
        && dataset.putAndInsertUint16(DCM_BitsStored, image.bitsStored).good()
        && dataset.putAndInsertUint16(DCM_HighBit, static_cast<Uint16>(image.bitsStored - 1)).good()
        && dataset.putAndInsertUint16(DCM_PixelRepresentation, 0).good()
        && dataset.putAndInsertString(DCM_NumberOfFrames, std::to_string(image.frames).c_str()).good();
    if (good && colour)
        good = dataset.putAndInsertUint16(DCM_PlanarConfiguration, 0).good();
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
        && ((pixelBytes(image) + 1u) & ~uint64_t{1}) <= kMaxPixelBytes; // with the pad byte
}

bool DicomFile::write(const std::string& path, const Image& image, const void* pixels,
                      const Series& series, uint32_t instanceNumber)
{
    if (!fits(image) || pixels == nullptr)
        return false;
    DcmFileFormat file;
    DcmDataset& dataset = *file.getDataset();
    if (!putAttributes(dataset, image, series, instanceNumber))
        return false;
    const auto bytes = static_cast<unsigned long>(pixelBytes(image));
    const bool put = image.bitsAllocated == 8
        ? dataset.putAndInsertUint8Array(DCM_PixelData, static_cast<const Uint8*>(pixels), bytes).good()
        : dataset.putAndInsertUint16Array(DCM_PixelData, static_cast<const Uint16*>(pixels), bytes / 2).good();
    return put && save(file, path);
}

bool DicomFile::writeFromRawFile(const std::string& path, const Image& image,
                                 const std::string& rawPath, uint64_t offset,
                                 const Series& series, uint32_t instanceNumber)
{
    if (!fits(image) || image.bitsAllocated != 16)
        return false;
    DcmFileFormat file;
    DcmDataset& dataset = *file.getDataset();
    if (!putAttributes(dataset, image, series, instanceNumber))
        return false;
    auto* pixelData = new DcmPixelData(DcmTag(DCM_PixelData, EVR_OW));
    if (dataset.insert(pixelData, true).bad()) {
        delete pixelData;
        return false;
    }
    // The element takes the factory; the value is streamed from the raw file by
    // saveFile() in blocks instead of being loaded as a whole.
    auto* factory = new DcmInputFileStreamFactory(rawPath.c_str(), static_cast<offile_off_t>(offset));
    if (pixelData->createValueFromTempFile(factory, static_cast<Uint32>(pixelBytes(image)),
                                           EBO_LittleEndian).bad()) {
        delete factory;
        return false;
    }
    return save(file, path);
}

} // namespace vyksim
