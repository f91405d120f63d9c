// What the writers know about the camera and the exposure of a recording or image, for the
// metadata the files carry besides their pixels.
#ifndef VYK_ACQUISITION_FACTS_H
#define VYK_ACQUISITION_FACTS_H

#include <cstdint>
#include <limits>
#include <string>

namespace vyksim {

// Facts that hold for every frame of one recording (or for one exported image).
struct AcquisitionFacts {
    std::string cameraName;  // the camera's name (its model as the user sees it); "" unknown
    uint32_t serial = 0;     // the camera's serial number; 0 unknown
    // Exposure set for the recording, seconds; NaN when unknown. A frame's own metadata
    // block, when it has one, wins over this.
    double exposureS = std::numeric_limits<double>::quiet_NaN();
};

} // namespace vyksim

#endif // VYK_ACQUISITION_FACTS_H
