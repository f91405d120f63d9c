/* Simulated recorder library.
 *
 * Records the images of one camera (opened with kv2_cam.h) into computer memory, into
 * image files, or reads them from the camera's own RAM, and hands them out by index.
 * Every operation returns a 32-bit result code (vyk_errors.h); 0 and warnings are
 * success. All operations may be called from several threads at once. A recorder
 * handle stays valid until VYK_RecorderDelete; a deleted or unknown handle gives
 * VYK_ERR_INVALID_HANDLE, never a crash.
 *
 * Life of a recorder: VYK_RecorderCreate -> VYK_RecorderInit -> VYK_RecorderStart ->
 * (running) -> VYK_RecorderStop, or it stops by itself (sequence full, camera-RAM
 * segment full) -> images stay readable until VYK_RecorderDelete. Init and start may
 * be repeated after a stop; each start begins a new recording.
 *
 * Image indices (copy functions): see docs/recorder.md.
 *   sequence          0 = first recorded image, in recording order
 *   ring buffer       0 = oldest image still held, held-1 = newest
 *   FIFO              index ignored: every copy hands out and removes the oldest image
 *   files             0 = first recorded image, as the sequence: the newest images from a
 *                     small preview ring in memory, older ones read back from the files
 *                     once the recording has closed them (VYK_ERR_NO_IMAGE before)
 *   camera RAM        0 = first image of the segment
 *   VYK_RECORDER_LATEST_IMAGE (0xFFFFFFFF, a 64-bit -1 cut to 32 bits) = the newest image
 *   (FIFO: still the oldest, as for every FIFO copy).
 * The recorder image number reported by a copy is 1-based: the position of the image
 * in the recording counted from the start (memory and file modes), so that it can be
 * compared with the recorded count of VYK_RecorderGetStatus; in camera-RAM mode the
 * 1-based position in the segment, except for VYK_RECORDER_LATEST_IMAGE while the camera
 * records in its ring sub-mode: the newest image then has no lasting position and its
 * number is 0xFFFFFFFF. */
#ifndef VYK_RECORDER_H
#define VYK_RECORDER_H

#include <stdint.h>

#include "kv2_cam.h"
#include "vyk_errors.h"
#include "vyk_export.h"

#ifdef __cplusplus
extern "C" {
#endif

/* A recorder. Null is never a valid handle. */
typedef void* VYK_RECORDER;

/* Mode word of VYK_RecorderCreate: bits 0-1 the mode; higher bits are the caller's
 * flags, accepted and ignored (none is defined). */
#define VYK_RECORDER_MODE_FILE    1u /* record into files */
#define VYK_RECORDER_MODE_MEMORY  2u /* record into computer memory */
#define VYK_RECORDER_MODE_CAMRAM  3u /* read what the camera records into its own RAM */

/* Types of VYK_RecorderInit per mode. */
#define VYK_RECORDER_MEMORY_SEQUENCE 1u /* fill once, then stop by itself */
#define VYK_RECORDER_MEMORY_RING     2u /* endless, the oldest image is overwritten */
#define VYK_RECORDER_MEMORY_FIFO     3u /* endless, copies take the oldest image out */
#define VYK_RECORDER_FILE_TIFF       1u /* one TIFF file per image, numbered names */
#define VYK_RECORDER_FILE_MULTITIFF  2u /* one multi-page TIFF (BigTIFF before 4 GiB) */
#define VYK_RECORDER_FILE_VYKRAW     3u /* the raw sequence file */
#define VYK_RECORDER_FILE_B16        4u /* one B16 file per image, numbered names */
#define VYK_RECORDER_FILE_DICOM      5u /* one DICOM file per image, numbered names */
#define VYK_RECORDER_FILE_MULTIDICOM 6u /* one multi-frame DICOM file */
#define VYK_RECORDER_CAMRAM_SEGMENT  1u /* the one camera-RAM type */

/* Index of the newest image for the copy functions. */
#define VYK_RECORDER_LATEST_IMAGE 0xFFFFFFFFu

/* Warning from VYK_RecorderInit in a file mode with the overwrite flag 1: the target
 * file already exists and will be replaced. A success code. */
#define VYK_WARN_FILE_EXISTS ((int32_t)0xC0153011u)

/* Error from VYK_RecorderInit in a file mode with the overwrite flag 0: the target
 * file already exists. */
#define VYK_ERR_FILE_EXISTS ((int32_t)0x80153012u)

/* Error from the copy functions: no image at this index (not recorded yet, no longer
 * held, or an empty FIFO). */
#define VYK_ERR_NO_IMAGE ((int32_t)0x80153013u)

/* Parameters of the CompressedMono8 companding (docs/recorder.md). */
typedef struct VYK_CompressionParams {
    double dGainK;                /* system gain K in digital numbers (DN) per electron, > 0 */
    double dDarkNoise_e;          /* temporal dark noise in electrons, >= 0 */
    double dDSNU_e;               /* dark signal non-uniformity in electrons, >= 0 */
    double dPRNU_pct;             /* photo response non-uniformity in percent, >= 0 */
    double dLightSourceNoise_pct; /* light-source intensity noise in percent, >= 0 */
} VYK_CompressionParams;

/* Creates a recorder for cameras[0..count-1] (count must be 1).
 *   modeWord   VYK_RECORDER_MODE_* in bits 0-1, caller's flags above
 *   filePath   files: the target path (checked again by VYK_RecorderInit); memory and
 *              camera RAM: NULL or empty, else VYK_ERR_FILE_PATH_RULE
 *   capacity   out: the largest image count that fits: memory mode at most half of the
 *              machine's available memory, files the free disk space of the target
 *              folder, camera RAM the image count of the camera's active segment
 * The camera must be armed: the image size is read from it here. A camera already used
 * by a running recorder gives VYK_ERR_CAMERA_BUSY at start, not here.
 * Failures: VYK_ERR_NULL_POINTER, VYK_ERR_INVALID_ARGUMENT (count, mode),
 * VYK_ERR_INVALID_HANDLE (camera), VYK_ERR_FILE_PATH_RULE, VYK_ERR_OUT_OF_MEMORY (not
 * one image fits in memory), VYK_ERR_NO_CAMERA_RAM. */
int32_t VYK_RecorderCreate(VYK_RECORDER* recorder, const VYK_HANDLE* cameras, uint32_t count,
                           uint32_t modeWord, const char* filePath, uint32_t* capacity);

/* Prepares the recording of one camera.
 *   imageCount memory: images to hold (ring buffer and FIFO at least 4, else
 *              VYK_ERR_NO_MEMORY_SEGMENT; at most the capacity, else VYK_ERR_OUT_OF_MEMORY);
 *              files: images to write; camera RAM: ignored (the segment decides)
 *   type       VYK_RECORDER_MEMORY_*, VYK_RECORDER_FILE_* or VYK_RECORDER_CAMRAM_SEGMENT
 *   fileFlag   files: 1 = replace an existing target (returns VYK_WARN_FILE_EXISTS when
 *              it exists), 0 = refuse (VYK_ERR_FILE_EXISTS); other modes: ignored
 *   filePath   files: the target, NULL = the path given at create; others: NULL or empty
 *   segment    camera RAM: the segment (1..4) to read; others: ignored
 * Memory buffers are allocated here. Refused while running (VYK_ERR_RECORDING_RUNS). */
int32_t VYK_RecorderInit(VYK_RECORDER recorder, uint32_t imageCount, uint16_t type,
                         uint16_t fileFlag, const char* filePath, uint16_t segment);

/* Stops the recorder if it runs and releases it with all its images. */
int32_t VYK_RecorderDelete(VYK_RECORDER recorder);

/* Starts recording: installs the frame hand-over and switches the camera's recording
 * state on (camera RAM: the camera records into its segment). Needs VYK_RecorderInit.
 * Restarting clears the images of the previous recording. */
int32_t VYK_RecorderStart(VYK_RECORDER recorder);

/* Stops recording and switches the camera's recording state off. No error when it is
 * not running. File modes: returns when every accepted image is on disk and the files
 * are closed; VYK_ERR_FILE_IO when they could not be written. Lost images are reported
 * by the error status of VYK_RecorderGetStatus, not here. */
int32_t VYK_RecorderStop(VYK_RECORDER recorder);

/* State of the recording of camera. Every out pointer may be NULL.
 *   running       1 while recording, else 0
 *   recordedCount images recorded since start (sequence, ring, files); images waiting
 *                 in the FIFO (FIFO); valid images of the segment (camera RAM)
 *   bufferSize    images the recorder holds for copying: the image count of init
 *                 (memory and files), the segment's capacity (camera RAM)
 *   errorStatus   0, or the first failure of this recording: VYK_ERR_BUFFER_OVERRUN when
 *                 images were lost (FIFO full, file writer behind, frames missed),
 *                 VYK_ERR_FILE_IO when a write failed, VYK_ERR_DEVICE_TIMEOUT; a failure
 *                 that ends the recording replaces an earlier VYK_ERR_BUFFER_OVERRUN */
int32_t VYK_RecorderGetStatus(VYK_RECORDER recorder, VYK_HANDLE camera, uint32_t* running,
                              uint32_t* recordedCount, uint32_t* bufferSize, int32_t* errorStatus);

/* Counts of the current recording: frames the camera delivered, frames lost (gaps in the
 * camera's frame numbers, FIFO overflows, frames the file writer refused). NULL allowed. */
int32_t VYK_RecorderGetFrameCounts(VYK_RECORDER recorder, VYK_HANDLE camera,
                                   uint64_t* delivered, uint64_t* lost);

/* Settings of the recording of camera. Every out pointer may be NULL.
 *   settingsWord  bits 16-17 the mode (VYK_RECORDER_MODE_*); bits 0-15 the type of init
 *                 (0 before init), except for files: bits 0-1 VYK_RECORDER_MEMORY_SEQUENCE
 *                 (copies address the images as a sequence) and the file type in bits 8-15
 *   capacity      the capacity reported by create
 *   width, height image size in pixels */
int32_t VYK_RecorderGetSettings(VYK_RECORDER recorder, VYK_HANDLE camera, uint32_t* settingsWord,
                                uint32_t* capacity, uint16_t* width, uint16_t* height);

/* Copies image index (see the header comment) cut to the region x0..x1, y0..y1 (1-based,
 * inclusive, within the image) into buffer, (x1-x0+1)*(y1-y0+1) values row by row.
 *   imageNumber out: the recorder image number (1-based, see above); may be NULL
 *   metadata    the image's 69-byte metadata block is copied into it when the image has
 *               one; its first 16-bit field (the block size) must be at least 69; may be NULL
 *   timestamp   likewise the 22-byte timestamp block (size field at least 22); may be NULL
 * Failures: VYK_ERR_INVALID_ARGUMENT (region), VYK_ERR_WRONG_SIZE (size fields),
 * VYK_ERR_NO_IMAGE, VYK_ERR_NO_RECORDING (not initialised). */
int32_t VYK_RecorderCopyImage(VYK_RECORDER recorder, VYK_HANDLE camera, uint32_t index,
                              uint16_t x0, uint16_t y0, uint16_t x1, uint16_t y1,
                              uint16_t* buffer, uint32_t* imageNumber,
                              uint8_t* metadata, uint8_t* timestamp);

/* As VYK_RecorderCopyImage for images of at most 8 significant bits, into 8-bit values.
 * VYK_ERR_NOT_SUPPORTED when the recording has more than 8 bits. */
int32_t VYK_RecorderCopyImage8(VYK_RECORDER recorder, VYK_HANDLE camera, uint32_t index,
                               uint16_t x0, uint16_t y0, uint16_t x1, uint16_t y1,
                               uint8_t* buffer, uint32_t* imageNumber,
                               uint8_t* metadata, uint8_t* timestamp);

/* Sets the parameters of the CompressedMono8 companding for camera. Fails with
 * VYK_ERR_INVALID_ARGUMENT when a value is not finite, negative, or the gain is 0. */
int32_t VYK_RecorderSetCompressionParams(VYK_RECORDER recorder, VYK_HANDLE camera,
                                         const VYK_CompressionParams* params);

/* As VYK_RecorderCopyImage, but writes the companded 8-bit values (one byte per pixel,
 * no row padding) of the region into buffer. Needs VYK_RecorderSetCompressionParams
 * first (else VYK_ERR_INVALID_ARGUMENT). */
int32_t VYK_RecorderCopyImageCompressed(VYK_RECORDER recorder, VYK_HANDLE camera, uint32_t index,
                                        uint16_t x0, uint16_t y0, uint16_t x1, uint16_t y1,
                                        uint8_t* buffer, uint32_t* imageNumber,
                                        uint8_t* metadata, uint8_t* timestamp);

/* Region over which auto exposure measures the image level: 0 balanced (whole image and
 * centre, equally weighted), 1 centre (middle half in both directions), 2 corners (the
 * four corner blocks of a quarter width and height), 3 full image. */
int32_t VYK_RecorderSetAutoExposureRegion(VYK_RECORDER recorder, VYK_HANDLE camera, uint16_t region);

/* Switches auto exposure on (1) or off (0). While on and recording, the exposure of the
 * camera is adjusted between minExposure and maxExposure (in timeBase: 0 ns, 1 us, 2 ms)
 * so that the mean level over the region approaches half the full scale. smoothness
 * (1..10; the camera layer passes 3) divides each correction step in the log domain:
 * 1 jumps to the estimate at once, larger values approach it more gently. Switching off
 * ignores the other arguments; switching on with smoothness outside 1..10, minimum above
 * maximum, a zero maximum or an unknown time base gives VYK_ERR_INVALID_ARGUMENT. */
int32_t VYK_RecorderSetAutoExposure(VYK_RECORDER recorder, VYK_HANDLE camera, uint8_t on,
                                    uint16_t smoothness, uint32_t minExposure,
                                    uint32_t maxExposure, uint16_t timeBase);

#ifdef __cplusplus
}
#endif

#endif /* VYK_RECORDER_H */
