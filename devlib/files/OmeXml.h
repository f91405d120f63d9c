// The OME-XML description that makes a TIFF an OME-TIFF: the image's shape, the timing and
// exposure of every plane, and the camera that took it.
#ifndef VYK_OME_XML_H
#define VYK_OME_XML_H

#include <cstdint>
#include <string>
#include <vector>

#include "AcquisitionFacts.h"

namespace vyksim {

// Builds the text of one OME-XML document for the pages of one TIFF file.
class OmeXml {
public:
    // One page of the file, one time point.
    struct Plane {
        double deltaS = 0.0;   // seconds since the recording's first frame
        double exposureS = 0.0; // exposure, seconds; NaN leaves ExposureTime out
    };

    // Shape of every page.
    struct Shape {
        uint32_t width = 0;           // SizeX
        uint32_t height = 0;          // SizeY
        uint16_t samplesPerPixel = 1; // SizeC and the channel's SamplesPerPixel
        uint16_t bitsPerSample = 16;  // Type uint8 or uint16
        uint16_t significantBits = 16; // SignificantBits
    };

    // The document for pages that each hold one plane, in order (SizeT = planes.size()).
    // acquisitionDate is an xsd:dateTime (FrameClock::isoDateTime).
    // With withPlanes false the document is the short form: one TiffData for all pages
    // (PlaneCount = SizeT) and no Plane elements, for a file that has no room for more.
    static std::string document(const Shape& shape, const AcquisitionFacts& facts,
                                const std::string& acquisitionDate, const std::vector<Plane>& planes,
                                bool withPlanes = true);

    // Bytes the document can take for this many planes at most, so that room for the final
    // document can be reserved in a file before its frames are known.
    static uint64_t boundFor(const AcquisitionFacts& facts, uint64_t planes);
};

} // namespace vyksim

#endif // VYK_OME_XML_H
