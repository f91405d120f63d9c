// Texts of the device library's result codes.
#include "kv2_cam.h"

#include <cstdio>
#include <cstring>

namespace {

struct CodeText {
    uint32_t code;
    const char* text;
};

// Our own wording; every code that any of the libraries returns has an entry (a test walks
// the codes their headers declare).
constexpr CodeText kTexts[] = {
    {0x00000000u, "No error."},
    {0xA0163001u, "Invalid argument or setting."},
    {0xA0163006u, "No memory allocated for the active segment, or the buffer holds too few images."},
    {0xA0163013u, "No camera with the requested serial number could be opened."},
    {0xA0163018u, "The file does not exist."},
    {0xA016301Du, "A file path is required for file recording and not allowed for memory or camera RAM recording."},
    {0xA0160013u, "The operation needs a camera on the DXR interface."},
    {0x80163022u, "The setting cannot be changed while a recording runs."},
    {0x80163024u, "No recording has been started yet."},
    {0x80167006u, "The camera has no camera RAM."},
    {0x80004001u, "Timed out waiting for an image."},
    {0x00160000u, "Camera layer failure."},
    {0x80160001u, "The device library is not initialised."},
    {0x80160002u, "Invalid or closed handle."},
    {0x80160003u, "A required pointer is null."},
    {0x80160004u, "Wrong record or buffer size."},
    {0x80160005u, "No camera found at this interface and camera number."},
    {0x80162001u, "The camera is already in use."},
    {0x80160007u, "The camera does not support this function."},
    {0x80160008u, "The camera does not answer."},
    {0x80160009u, "Not enough memory for the buffers."},
    {0x8016000Au, "A file could not be written or read."},
    {0x8016000Bu, "The file has an unexpected format."},
    {0x8016000Cu, "Images were lost: the file writer could not keep up."},
    {0x8016000Du, "The camera must be armed first."},
    {0x4016000Eu, "Trigger not accepted: the camera is busy."},
    {0x8016000Fu, "The file type or the pixel layout is not supported for export."},
    {0x80160010u, "Images were lost: the camera delivered them incomplete."},
    // The recorder's own codes (vyk_recorder.h).
    {0xC0153011u, "The target file exists and will be replaced."},
    {0x80153012u, "The target file exists already."},
    {0x80153013u, "No image at this index: not recorded yet or no longer held."},
};

} // namespace

extern "C" int32_t VYK_GetErrorText(uint32_t code, char* buffer, uint32_t length)
{
    if (buffer == nullptr || length == 0)
        return VYK_ERR_NULL_POINTER;
    const char* text = nullptr;
    for (const CodeText& entry : kTexts) {
        if (entry.code == code) {
            text = entry.text;
            break;
        }
    }
    if (text != nullptr) {
        std::snprintf(buffer, length, "%s", text);
    } else {
        const char* kind = VYK_FAILED(code) ? "Error" : ((code & VYK_WARNING_BIT) ? "Warning" : "Code");
        std::snprintf(buffer, length, "%s 0x%x without a known text.", kind, code);
    }
    return VYK_NOERROR;
}
