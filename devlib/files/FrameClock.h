// Times of frames as the files record them, from the camera's blocks or the arrival time.
#ifndef VYK_FRAME_CLOCK_H
#define VYK_FRAME_CLOCK_H

#include <cstdint>
#include <string>

namespace vyksim {

// A frame time is a count of microseconds of civil (wall-clock, local) time, counted as if
// the local calendar were UTC: the camera's time stamp carries no time zone, so both the
// camera's clock and the arrival clock are kept in the same zone-less form, and two times
// subtract to a plain duration.
class FrameClock {
public:
    // Time of the camera's 22-byte time-stamp block; -1 when the block is missing or its
    // date is not a calendar date.
    static int64_t fromTimestampBlock(const uint8_t* timestamp);
    // Time of the BCD capture time in the camera's 69-byte metadata block; -1 when the
    // block is missing or holds no calendar date (a camera without clock fills zeros).
    static int64_t fromMetadataBlock(const uint8_t* metadata);
    // Now, by the computer's clock in local time.
    static int64_t now();
    // The frame's time: its time stamp, else the metadata's capture time, else arrival.
    static int64_t frameTime(const uint8_t* timestamp, const uint8_t* metadata, int64_t arrival);

    // Exposure of the frame from its metadata block in seconds; NaN without a block.
    static double exposureFromMetadata(const uint8_t* metadata);

    // "2026-12-08T21:13:08.123456" (xsd:dateTime without zone).
    static std::string isoDateTime(int64_t time);
    // "2026:12:08 21:13:08" (TIFF DateTime).
    static std::string tiffDateTime(int64_t time);
    // "20261208211308.123456" (DICOM DT); date "20261208" and time "211308.123456" are its parts.
    static std::string dicomDateTime(int64_t time);
};

} // namespace vyksim

#endif // VYK_FRAME_CLOCK_H
