/* Export of one image to a file, the recorder library's export function.
 *
 * The file type follows from the suffix of the file name (case-insensitive):
 *   ".tif" / ".tiff"  TIFF, uncompressed: mono 8/16-bit grayscale, colour as RGB
 *                     (8/16-bit) or RGBA (8-bit, "C_08_A") whatever the buffer order
 *   ".b16"            B16 (see docs/file-formats.md): "M_16" only
 *   ".dcm"            DICOM secondary capture: mono MONOCHROME2 8/16-bit, colour RGB
 *                     (the alpha sample of "C_08_A" is dropped)
 *   ".raw"            the raw sequence format with this one image (16-bit mono only)
 * The given name is written as it is; picking a free name is the caller's duty. */
#ifndef VYK_EXPORT_H
#define VYK_EXPORT_H

#include <stdint.h>

#include "vyk_errors.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Writes one image to fileName. Returns VYK_NOERROR or a failure code.
 *   data        first pixel of the top row; 8-bit data for "M_08", "C_08", "C_08_A",
 *               16-bit data for "M_16", "C_16". Rows of "M_08", "C_08" and "C_16" are
 *               padded to a multiple of 4 pixels; rows of "M_16" and "C_08_A" are not.
 *   width       pixels per row (without padding), 1 or more
 *   height      rows, 1 or more
 *   layout      "M_08" mono 8, "M_16" mono 16, "C_08" three 8-bit samples,
 *               "C_08_A" four 8-bit samples (colour plus alpha), "C_16" three 16-bit samples
 *   colourOrder 1: blue first (BGR, BGRA) or a mono layout; 0: red first (RGB, RGBA)
 *   fileName    the file to write, 8-bit string; its suffix selects the file type
 *   flag        must be 1 (reserved)
 *   metadata    the image's 69-byte metadata block, or NULL. A ".raw" file keeps it whole;
 *               its capture time, exposure and camera serial go into the TIFF and DICOM
 *               metadata;
 *               its bit resolution (byte 48) becomes the significant bits stored by
 *               ".b16", ".raw" and ".dcm" (BitsStored) files when it fits the samples.
 * Failures: VYK_ERR_NULL_POINTER (data or fileName missing), VYK_ERR_INVALID_ARGUMENT
 * (zero size, unknown layout, flag not 1, colour order not 0/1), VYK_ERR_EXPORT_FORMAT
 * (unknown suffix, or a layout the file type cannot hold), VYK_ERR_FILE_IO (the file
 * could not be written; no partial file is left behind). */
int32_t VYK_RecorderExportImage(const void* data, uint32_t width, uint16_t height,
                                const char* layout, int32_t colourOrder,
                                const char* fileName, int32_t flag,
                                const uint8_t* metadata);

/* What is known about the camera and the moment of an exported image, for the file's
 * metadata (OME-XML, Model and DateTime in TIFF; the acquisition attributes in DICOM). */
typedef struct {
    const char* cameraName;    /* the camera's name, or NULL */
    uint32_t serial;           /* the camera's serial number; 0: take it from the metadata block */
    uint16_t bitResolution;    /* the camera's significant bits; 0: unknown. The metadata
                                * block's bit resolution wins over it. */
    double exposureS;          /* exposure in seconds; NaN: unknown. The metadata block's
                                * exposure wins over it. */
    const uint8_t* timestamp;  /* the image's 22-byte time-stamp block, or NULL */
} VYK_ExportFacts;

/* VYK_RecorderExportImage with the camera's facts (facts may be NULL). The image's time is
 * its time stamp, else the capture time of its metadata block, else the moment of export. */
int32_t VYK_RecorderExportImageWithFacts(const void* data, uint32_t width, uint16_t height,
                                         const char* layout, int32_t colourOrder,
                                         const char* fileName, int32_t flag,
                                         const uint8_t* metadata, const VYK_ExportFacts* facts);

#ifdef __cplusplus
}
#endif

#endif /* VYK_EXPORT_H */
