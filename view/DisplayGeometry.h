// Where the display pixels of an image lie in memory: element width, components per pixel
// and the length of a row including the padding the camera layer adds to 8-bit rows.
#pragma once

#include "camera/Image.h"

#include <cstdint>

class DisplayGeometry {
public:
    // Whether an image's display pixels can be addressed.
    enum class Status {
        Ok,             // data, width, height and rowElements describe the pixels
        UnknownFormat,  // only Mono8, BGR8 and Mono16 have display pixels here
        NoData,         // the buffer the format needs is missing
        Empty,          // the buffer is there but holds no element
        Malformed,      // the buffer is too short for the image's region
    };

    // The display pixels of image: Mono8 and BGR8 as bytes, Mono16 as words.
    static DisplayGeometry of(const vyk::Image& image);

    // The raw pixels of image (one component, W x H elements without padding).
    static DisplayGeometry ofRaw(const vyk::Image& image);

    // Pointer to element (column, row, component 0); the geometry must be Ok.
    const void* element(uint64_t column, uint64_t row) const;

    Status status = Status::NoData;  // whether the fields below are meaningful
    unsigned bits = 0;               // 8 or 16 bits per element
    unsigned components = 0;         // elements per pixel: 1, or 3 for BGR8
    uint64_t width = 0;              // pixels per row that belong to the image
    uint64_t height = 0;             // rows
    uint64_t rowElements = 0;        // elements from one row start to the next (>= width x components)
    const void* data = nullptr;      // first element of the first row; owned by the image
};
