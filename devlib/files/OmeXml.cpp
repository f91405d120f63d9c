#include "OmeXml.h"

#include <cmath>
#include <cstdio>

namespace vyksim {

namespace {

// Bytes of the fixed part of the document, camera name excluded: generous.
constexpr uint64_t kFixedBytes = 2048;
// Bytes of one TiffData and one Plane element at their longest: 32-bit counters and
// times of up to 15 digits before the point.
constexpr uint64_t kPlaneBytes = 256;

// The text of an attribute value with the five XML special characters escaped.
std::string escaped(const std::string& text)
{
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&apos;"; break;
        default:
            // Control characters are not allowed in XML 1.0 at all.
            if (static_cast<unsigned char>(c) >= 0x20 || c == '\t')
                out += c;
        }
    }
    return out;
}

bool hostIsBigEndian()
{
    const uint16_t probe = 1;
    return *reinterpret_cast<const uint8_t*>(&probe) == 0;
}

void appendTiffData(std::string& xml, uint64_t index)
{
    char text[kPlaneBytes];
    std::snprintf(text, sizeof text, "<TiffData IFD=\"%llu\" FirstT=\"%llu\" PlaneCount=\"1\"/>",
                  static_cast<unsigned long long>(index), static_cast<unsigned long long>(index));
    xml += text;
}

void appendPlane(std::string& xml, uint64_t index, const OmeXml::Plane& plane)
{
    char text[kPlaneBytes];
    int used = std::snprintf(text, sizeof text, "<Plane TheZ=\"0\" TheC=\"0\" TheT=\"%llu\" DeltaT=\"%.6f\" DeltaTUnit=\"s\"",
                             static_cast<unsigned long long>(index), plane.deltaS);
    if (std::isfinite(plane.exposureS))
        used += std::snprintf(text + used, sizeof text - used, " ExposureTime=\"%.9g\" ExposureTimeUnit=\"s\"",
                              plane.exposureS);
    xml.append(text, static_cast<size_t>(used));
    xml += "/>";
}

} // namespace

std::string OmeXml::document(const Shape& shape, const AcquisitionFacts& facts,
                             const std::string& acquisitionDate, const std::vector<Plane>& planes,
                             bool withPlanes)
{
    std::string xml;
    xml.reserve(kFixedBytes + planes.size() * kPlaneBytes);
    xml += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
           "<OME xmlns=\"http://www.openmicroscopy.org/Schemas/OME/2016-06\""
           " xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\""
           " xsi:schemaLocation=\"http://www.openmicroscopy.org/Schemas/OME/2016-06"
           " http://www.openmicroscopy.org/Schemas/OME/2016-06/ome.xsd\" Creator=\"Rastel\">";
    xml += "<Instrument ID=\"Instrument:0\"><Detector ID=\"Detector:0:0\"";
    if (!facts.cameraName.empty())
        xml += " Model=\"" + escaped(facts.cameraName) + "\"";
    if (facts.serial != 0)
        xml += " SerialNumber=\"" + std::to_string(facts.serial) + "\"";
    xml += "/></Instrument>";
    xml += "<Image ID=\"Image:0\" Name=\"" + escaped(facts.cameraName.empty() ? "Rastel" : facts.cameraName) + "\">";
    xml += "<AcquisitionDate>" + escaped(acquisitionDate) + "</AcquisitionDate>";
    xml += "<InstrumentRef ID=\"Instrument:0\"/>";
    char pixels[512];
    std::snprintf(pixels, sizeof pixels,
                  "<Pixels ID=\"Pixels:0\" DimensionOrder=\"XYCZT\" Type=\"%s\" SignificantBits=\"%u\""
                  " SizeX=\"%u\" SizeY=\"%u\" SizeC=\"%u\" SizeZ=\"1\" SizeT=\"%llu\" BigEndian=\"%s\""
                  " Interleaved=\"%s\">"
                  "<Channel ID=\"Channel:0:0\" SamplesPerPixel=\"%u\"><DetectorSettings ID=\"Detector:0:0\"/></Channel>",
                  shape.bitsPerSample == 8 ? "uint8" : "uint16", unsigned{shape.significantBits}, shape.width,
                  shape.height, unsigned{shape.samplesPerPixel}, static_cast<unsigned long long>(planes.size()),
                  hostIsBigEndian() ? "true" : "false", shape.samplesPerPixel > 1 ? "true" : "false",
                  unsigned{shape.samplesPerPixel});
    xml += pixels;
    if (withPlanes) {
        // The schema wants every TiffData before the first Plane.
        for (size_t i = 0; i < planes.size(); ++i)
            appendTiffData(xml, i);
        for (size_t i = 0; i < planes.size(); ++i)
            appendPlane(xml, i, planes[i]);
    } else {
        xml += "<TiffData IFD=\"0\" PlaneCount=\"" + std::to_string(planes.size()) + "\"/>";
    }
    xml += "</Pixels></Image></OME>";
    return xml;
}

uint64_t OmeXml::boundFor(const AcquisitionFacts& facts, uint64_t planes)
{
    // Escaping makes a character at most six; the name appears twice.
    return kFixedBytes + 12 * facts.cameraName.size() + planes * kPlaneBytes;
}

} // namespace vyksim
