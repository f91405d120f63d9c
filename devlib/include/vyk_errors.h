/* Result codes shared by the simulated device, recorder and conversion libraries.
 *
 * Every operation returns a 32-bit code. Bit 31 marks an error, bit 30 a warning;
 * a result is a failure only when it is negative and its warning bit is clear,
 * so 0 and every warning count as success. */
#ifndef VYK_ERRORS_H
#define VYK_ERRORS_H

#include <stdint.h>

#define VYK_NOERROR 0
#define VYK_WARNING_BIT 0x40000000u

/* True when code is a failure: negative with the warning bit clear. */
#define VYK_FAILED(code) (((int32_t)(code)) < 0 && ((((uint32_t)(code)) & VYK_WARNING_BIT) == 0u))

/* Codes the camera layer raises itself (see vyk::CameraException). */
#define VYK_ERR_INVALID_ARGUMENT      ((int32_t)0xA0163001u) /* invalid argument or setting */
#define VYK_ERR_NO_MEMORY_SEGMENT     ((int32_t)0xA0163006u) /* no memory for the active segment; buffer too small */
#define VYK_ERR_NO_CAMERA_SERIAL      ((int32_t)0xA0163013u) /* no camera with the requested serial could be opened */
#define VYK_ERR_FILE_NOT_FOUND        ((int32_t)0xA0163018u) /* LUT or other file does not exist */
#define VYK_ERR_FILE_PATH_RULE        ((int32_t)0xA016301Du) /* path given for a memory mode or missing for a file mode */
#define VYK_ERR_NOT_DXR               ((int32_t)0xA0160013u) /* DXR operation on a camera not on the DXR interface */
#define VYK_ERR_RECORDING_RUNS        ((int32_t)0x80163022u) /* setting refused while a recording runs */
#define VYK_ERR_NO_RECORDING          ((int32_t)0x80163024u) /* no recording / no recorder yet */
#define VYK_ERR_NO_CAMERA_RAM         ((int32_t)0x80167006u) /* camera has no camera RAM */
#define VYK_ERR_TIMEOUT               ((int32_t)0x80004001u) /* wait for an image timed out */
#define VYK_ERR_LAYER                 ((int32_t)0x00160000u) /* the camera layer's own failures */

/* Further codes the simulated libraries return. */
#define VYK_ERR_NOT_INITIALIZED       ((int32_t)0x80160001u) /* library not initialised */
#define VYK_ERR_INVALID_HANDLE        ((int32_t)0x80160002u) /* unknown, closed or null handle */
#define VYK_ERR_NULL_POINTER          ((int32_t)0x80160003u) /* a required pointer is null */
#define VYK_ERR_WRONG_SIZE            ((int32_t)0x80160004u) /* record size field or buffer size wrong */
#define VYK_ERR_NO_CAMERA             ((int32_t)0x80160005u) /* no camera at this interface and number */
/* Busy carries the low word 0x2001 so that scanning camera numbers goes on to the next number. */
#define VYK_ERR_CAMERA_BUSY           ((int32_t)0x80162001u) /* camera already opened by another handle */
#define VYK_ERR_NOT_SUPPORTED         ((int32_t)0x80160007u) /* the camera lacks this capability */
#define VYK_ERR_DEVICE_TIMEOUT        ((int32_t)0x80160008u) /* the device stopped answering */
#define VYK_ERR_OUT_OF_MEMORY         ((int32_t)0x80160009u) /* buffers could not be allocated */
#define VYK_ERR_FILE_IO               ((int32_t)0x8016000Au) /* a file could not be written or read */
#define VYK_ERR_FILE_FORMAT           ((int32_t)0x8016000Bu) /* a file has the wrong format */
#define VYK_ERR_BUFFER_OVERRUN        ((int32_t)0x8016000Cu) /* frames lost: the writer could not keep up */
#define VYK_ERR_NOT_ARMED             ((int32_t)0x8016000Du) /* camera must be armed first */
#define VYK_ERR_TRIGGER_REJECTED      ((int32_t)0x4016000Eu) /* warning: trigger not accepted while busy */
#define VYK_ERR_EXPORT_FORMAT         ((int32_t)0x8016000Fu) /* export: file suffix or layout not supported */
#define VYK_ERR_INCOMPLETE_IMAGES     ((int32_t)0x80160010u) /* frames lost: the camera delivered them incomplete */

#endif /* VYK_ERRORS_H */
