// The recorder library's export function: one image into a file whose type follows from
// the file name's suffix.
#include "vyk_export.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <limits>
#include <cstdio>
#include <cstring>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "AcquisitionFacts.h"
#include "B16File.h"
#include "DicomFile.h"
#include "FrameClock.h"
#include "ImageLayout.h"
#include "OmeXml.h"
#include "TiffFile.h"
#include "VykRawFile.h"

namespace {

using vyksim::ImageLayout;

constexpr size_t kBitResolutionOffset = 48; // bBIT_RESOLUTION within the metadata block
constexpr size_t kSerialOffset = 42;        // dwCAMERA_SERIAL_NO within the metadata block

// The facts one exported image carries into its file.
struct ExportedImage {
    vyksim::AcquisitionFacts facts; // camera; exposure of this image
    uint16_t significantBits = 0;   // bits that hold the values
    int64_t time = 0;               // FrameClock time the image was taken (or exported)
};

// Lower-case suffix of the file name without the dot, or "" when it has none.
std::string suffixOf(const std::string& name)
{
    const size_t slash = name.find_last_of('/');
    const size_t dot = name.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return std::string();
    std::string suffix = name.substr(dot + 1);
    std::transform(suffix.begin(), suffix.end(), suffix.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return suffix;
}

// Significant bits of the samples: the camera's bit resolution from the metadata (else the
// caller's) when it is plausible for the layout, else the full sample width.
uint16_t significantBits(const ImageLayout& layout, const uint8_t* metadata, uint16_t callerBits)
{
    const uint16_t bits = metadata != nullptr ? metadata[kBitResolutionOffset] : callerBits;
    return bits >= 1 && bits <= layout.bitsPerSample() ? bits : layout.bitsPerSample();
}

ExportedImage exportedImage(const ImageLayout& layout, const uint8_t* metadata, const VYK_ExportFacts* given)
{
    const VYK_ExportFacts none{nullptr, 0, 0, std::numeric_limits<double>::quiet_NaN(), nullptr};
    const VYK_ExportFacts& facts = given != nullptr ? *given : none;
    ExportedImage image;
    image.facts.cameraName = facts.cameraName != nullptr ? facts.cameraName : "";
    image.facts.serial = facts.serial;
    if (image.facts.serial == 0 && metadata != nullptr)
        std::memcpy(&image.facts.serial, metadata + kSerialOffset, sizeof image.facts.serial);
    image.facts.exposureS = vyksim::FrameClock::exposureFromMetadata(metadata);
    if (!std::isfinite(image.facts.exposureS))
        image.facts.exposureS = facts.exposureS;
    image.significantBits = significantBits(layout, metadata, facts.bitResolution);
    image.time = vyksim::FrameClock::frameTime(facts.timestamp, metadata, vyksim::FrameClock::now());
    return image;
}

// Packed 16-bit mono pixels from the packed bytes of an "M_16" image.
std::vector<uint16_t> asWords(const std::vector<uint8_t>& bytes)
{
    std::vector<uint16_t> words(bytes.size() / 2);
    std::memcpy(words.data(), bytes.data(), words.size() * 2);
    return words;
}

int32_t writeTiff(const std::string& name, const ImageLayout& layout, uint32_t width,
                  uint32_t height, const std::vector<uint8_t>& pixels, const ExportedImage& exported)
{
    const bool big = pixels.size() + vyksim::TiffFile::kPageOverhead > 0xFFFFFFFFull;
    vyksim::OmeXml::Shape shape;
    shape.width = width;
    shape.height = height;
    shape.samplesPerPixel = layout.channels();
    shape.bitsPerSample = layout.bitsPerSample();
    shape.significantBits = exported.significantBits;
    const std::string description = vyksim::OmeXml::document(
        shape, exported.facts, vyksim::FrameClock::isoDateTime(exported.time), {{0.0, exported.facts.exposureS}});
    const std::string dateTime = vyksim::FrameClock::tiffDateTime(exported.time);
    bool done = false;
    {
        vyksim::TiffFile file(name, big);
        vyksim::TiffFile::Page page;
        page.width = width;
        page.height = height;
        page.samplesPerPixel = layout.channels();
        page.bitsPerSample = layout.bitsPerSample();
        page.pixels = pixels.data();
        page.dateTime = dateTime.c_str();
        page.model = exported.facts.cameraName.empty() ? nullptr : exported.facts.cameraName.c_str();
        page.description = description.c_str();
        done = file.ok() && file.writePage(page) && file.close();
    }
    if (!done)
        std::remove(name.c_str());
    return done ? VYK_NOERROR : VYK_ERR_FILE_IO;
}

int32_t writeDicom(const std::string& name, const ImageLayout& layout, uint32_t width,
                   uint32_t height, const std::vector<uint8_t>& packed, const ExportedImage& exported)
{
    vyksim::DicomFile::Image image;
    image.width = width;
    image.height = height;
    image.samplesPerPixel = layout.isMono() ? 1 : 3;
    image.bitsAllocated = layout.bitsPerSample();
    image.bitsStored = exported.significantBits;
    if (!vyksim::DicomFile::fits(image))
        return VYK_ERR_EXPORT_FORMAT;
    const void* pixels = packed.data();
    std::vector<uint8_t> rgb;
    if (layout.channels() == 4) {
        // DICOM has no RGB plus alpha: the alpha sample is dropped.
        rgb.resize(static_cast<size_t>(width) * height * 3);
        for (size_t i = 0, n = static_cast<size_t>(width) * height; i < n; ++i)
            std::memcpy(&rgb[3 * i], &packed[4 * i], 3);
        pixels = rgb.data();
    }
    const vyksim::DicomFile::Series series = vyksim::DicomFile::newSeries();
    vyksim::DicomFile::Acquisition acquisition;
    acquisition.dateTime = vyksim::FrameClock::dicomDateTime(exported.time);
    acquisition.facts = exported.facts;
    return vyksim::DicomFile::write(name, image, pixels, series, 1, acquisition) ? VYK_NOERROR : VYK_ERR_FILE_IO;
}

int32_t writeRaw(const std::string& name, uint32_t width, uint32_t height, uint16_t bitDepth,
                 const std::vector<uint16_t>& pixels, const uint8_t* metadata)
{
    bool done = false;
    {
        vyksim::VykRawFile file(name, width, height, bitDepth);
        done = file.append(pixels.data(), metadata, nullptr) && file.finish();
    }
    if (!done)
        std::remove(name.c_str());
    return done ? VYK_NOERROR : VYK_ERR_FILE_IO;
}

int32_t exportImage(const void* data, uint32_t width, uint16_t height, const char* layoutCode,
                    int32_t colourOrder, const char* fileName, int32_t flag,
                    const uint8_t* metadata, const VYK_ExportFacts* facts)
{
    if (data == nullptr || fileName == nullptr || layoutCode == nullptr)
        return VYK_ERR_NULL_POINTER;
    const std::optional<ImageLayout> layout = ImageLayout::fromCode(layoutCode);
    if (!layout || width == 0 || height == 0 || flag != 1 || (colourOrder != 0 && colourOrder != 1))
        return VYK_ERR_INVALID_ARGUMENT;
    const std::string name(fileName);
    const std::string suffix = suffixOf(name);
    const bool tiff = suffix == "tif" || suffix == "tiff";
    const bool mono16Only = suffix == "b16" || suffix == "raw";
    if (!tiff && !mono16Only && suffix != "dcm")
        return VYK_ERR_EXPORT_FORMAT;
    if (mono16Only && !(layout->isMono() && layout->bitsPerSample() == 16))
        return VYK_ERR_EXPORT_FORMAT;

    std::vector<uint8_t> packed = layout->packed(data, width, height, colourOrder == 1);
    const ExportedImage exported = exportedImage(*layout, metadata, facts);
    if (tiff)
        return writeTiff(name, *layout, width, height, packed, exported);
    if (suffix == "dcm")
        return writeDicom(name, *layout, width, height, packed, exported);
    const std::vector<uint16_t> words = asWords(packed);
    const uint16_t bits = exported.significantBits;
    if (suffix == "b16")
        return vyksim::B16File::write(name, width, height, bits, words.data()) ? VYK_NOERROR
                                                                               : VYK_ERR_FILE_IO;
    return writeRaw(name, width, height, bits, words, metadata);
}

// A C entry point: no exception may leave it.
int32_t exportGuarded(const void* data, uint32_t width, uint16_t height, const char* layout,
                      int32_t colourOrder, const char* fileName, int32_t flag, const uint8_t* metadata,
                      const VYK_ExportFacts* facts)
{
    try {
        return exportImage(data, width, height, layout, colourOrder, fileName, flag, metadata, facts);
    } catch (const std::bad_alloc&) {
        return VYK_ERR_OUT_OF_MEMORY;
    } catch (...) {
        return VYK_ERR_FILE_IO;
    }
}

} // namespace

extern "C" int32_t VYK_RecorderExportImage(const void* data, uint32_t width, uint16_t height,
                                           const char* layout, int32_t colourOrder,
                                           const char* fileName, int32_t flag,
                                           const uint8_t* metadata)
{
    return exportGuarded(data, width, height, layout, colourOrder, fileName, flag, metadata, nullptr);
}

extern "C" int32_t VYK_RecorderExportImageWithFacts(const void* data, uint32_t width, uint16_t height,
                                                    const char* layout, int32_t colourOrder,
                                                    const char* fileName, int32_t flag,
                                                    const uint8_t* metadata, const VYK_ExportFacts* facts)
{
    return exportGuarded(data, width, height, layout, colourOrder, fileName, flag, metadata, facts);
}
