/* Simulated camera device library.
 *
 * A C-style interface in the manner of the maker's closed device library: every
 * operation returns a 32-bit result code (see vyk_errors.h), records begin with
 * their own size field (wSize, which the caller sets to sizeof the record), and all
 * operations are safe to call from several threads at once.
 *
 * Device model, shared by every function below:
 * - Times travel as a value and a time base: VYK_TIMEBASE_NS, _US, _MS.
 * - ROI corners are 1-based and inclusive, in pixels of the binned image:
 *   width = x1 - x0 + 1. Setting the ROI checks it against the unbinned sensor
 *   format and the ROI steps; arming checks it against the binned sensor
 *   (max / binning), the minimum size and the symmetry rules.
 * - Binning words: the low 12 bits are the factor, VYK_BINNING_AVERAGE (0x1000) in
 *   the upper nibble selects averaging instead of summing.
 * - Settings take effect when the camera is armed. Every setting except delay and
 *   exposure is refused while the camera records; delay and exposure may change
 *   during a recording and act from the next image on. Changing a setting disarms
 *   the camera; switching the recording state on needs an armed camera. A freshly
 *   opened camera is armed with its default settings.
 * - Cameras with camera RAM (capability bit VYK_CAPS1_NO_CAMRAM clear) write every
 *   image into the active RAM segment while storage mode is VYK_STORAGE_RECORDER;
 *   with transfer mode 1 every image is also delivered live to the computer.
 */
#ifndef KV2_CAM_H
#define KV2_CAM_H

#include <stddef.h>
#include <stdint.h>

#include "vyk_errors.h"

#ifdef __cplusplus
extern "C" {
#endif

/* An open camera. Null is never a valid handle. */
typedef void* VYK_HANDLE;

/* ---- Constants ----------------------------------------------------------- */

/* Interface types (wInterfaceType). */
#define VYK_INTERFACE_FIREWIRE      1
#define VYK_INTERFACE_CAMLINK_MTX   2
#define VYK_INTERFACE_GENICAM       3
#define VYK_INTERFACE_CAMLINK_NAT   4
#define VYK_INTERFACE_GIGE          5
#define VYK_INTERFACE_USB           6
#define VYK_INTERFACE_CAMLINK_ME4   7
#define VYK_INTERFACE_USB3          8
#define VYK_INTERFACE_WLAN          9
#define VYK_INTERFACE_CLHS          11
#define VYK_INTERFACE_CLHS_DXR      16
#define VYK_INTERFACE_ANY           0xFFFF

/* Open modes (VYK_OpenStruct.wOpenMode). */
#define VYK_OPEN_BY_NUMBER          0  /* the wCameraNumber-th camera (0..63) of wInterfaceType */
#define VYK_OPEN_BY_SERIAL          1  /* the camera with dwSerialNumber on wInterfaceType (or any) */

/* General capability word 1 (VYK_Description.dwGeneralCapsDESC1). */
#define VYK_CAPS1_NOISE_FILTER        0x00000001u /* noise filter available */
#define VYK_CAPS1_TIMESTAMP_ASCII     0x00000008u /* timestamp mode 3 (ASCII only) available */
#define VYK_CAPS1_NO_EXTEXPCTRL       0x00000080u /* trigger mode 3 (external exposure control) not available */
#define VYK_CAPS1_NO_TIMESTAMP        0x00000100u /* no timestamp mode */
#define VYK_CAPS1_NO_ACQUIRE_MODE     0x00000200u /* no acquire mode */
#define VYK_CAPS1_NO_CAMRAM           0x00001000u /* no camera RAM */
#define VYK_CAPS1_METADATA            0x00004000u /* metadata available */
#define VYK_CAPS1_LINE_SENSOR         0x00080000u /* line sensor */
#define VYK_CAPS1_EXT_ACQUIRE_MODE    0x00200000u /* extended acquire mode (with sequence number) */
#define VYK_CAPS1_ROI_VERT_SYMMETRIC  0x00800000u /* ROI must be vertically symmetric */
#define VYK_CAPS1_ROI_HORZ_SYMMETRIC  0x01000000u /* ROI must be horizontally symmetric */
#define VYK_CAPS1_DESCRIPTION2        0x10000000u /* second description block available */

/* General capability word 2 (VYK_Description.dwGeneralCapsDESC2). */
#define VYK_CAPS2_AVERAGE_BINNING     0x00004000u /* average binning available */
#define VYK_CAPS2_PIXEL_FORMAT        0x00020000u /* pixel format selectable; colour matrix supplied */

/* Sensor type (VYK_Description.wSensorTypeDESC). */
#define VYK_SENSOR_COLOR              0x0001u     /* bit 0: colour (Bayer) sensor */

/* Pixel-format flags. */
#define VYK_PIXELFORMAT_16BIT         0x01u
#define VYK_PIXELFORMAT_14BIT         0x02u
#define VYK_PIXELFORMAT_12BIT         0x04u
#define VYK_PIXELFORMAT_10BIT         0x08u
#define VYK_PIXELFORMAT_8BIT          0x10u

/* Time bases. */
#define VYK_TIMEBASE_NS               0
#define VYK_TIMEBASE_US               1
#define VYK_TIMEBASE_MS               2

/* Binning word: averaging flag in the upper nibble. */
#define VYK_BINNING_AVERAGE           0x1000u
#define VYK_BINNING_FACTOR_MASK       0x0FFFu

/* Trigger modes. The external source fires at the camera's configured external
 * trigger rate (see docs/simulated-cameras.md). */
#define VYK_TRIGGER_AUTO              0  /* free running */
#define VYK_TRIGGER_SOFTWARE          1  /* one image per accepted VYK_ForceTrigger */
#define VYK_TRIGGER_EXTERNAL_START    2  /* exposure started by each external pulse */
#define VYK_TRIGGER_EXTERNAL_CONTROL  3  /* exposure lasts as long as the external pulse */

/* Acquire modes. */
#define VYK_ACQUIRE_AUTO              0  /* every image is kept */
#define VYK_ACQUIRE_EXTERNAL          1  /* images kept only while the acquire-enable input is high */
#define VYK_ACQUIRE_SEQUENCE          4  /* extended: a sequence of N images, then recording stops */

/* Timestamp modes: BCD counter and time in the first 14 pixels, and/or ASCII text. */
#define VYK_TIMESTAMP_OFF             0
#define VYK_TIMESTAMP_BINARY          1
#define VYK_TIMESTAMP_BINARY_ASCII    2
#define VYK_TIMESTAMP_ASCII           3

/* Sensor formats. */
#define VYK_SENSORFORMAT_STANDARD     0
#define VYK_SENSORFORMAT_EXTENDED     1

/* Camera RAM storage modes and recorder sub-modes. */
#define VYK_STORAGE_RECORDER          0  /* images are written into the active segment */
#define VYK_STORAGE_FIFO              1  /* camera RAM only buffers the live transfer */
#define VYK_RAM_SUBMODE_SEQUENCE      0  /* stop recording when the segment is full */
#define VYK_RAM_SUBMODE_RING          1  /* overwrite the oldest images */
#define VYK_RAM_SEGMENTS              4

/* Health status word bits. */
#define VYK_STATUS_DESCRIPTION_CHANGED 0x40000000u /* description changed: read it again */

/* Packed block sizes attached to images (byte layouts documented in vyk_sim_frames.h). */
#define VYK_METADATA_SIZE             69
#define VYK_METADATA_VERSION          1
#define VYK_TIMESTAMP_BLOCK_SIZE      22

/* ---- Records ------------------------------------------------------------- */

/* Open request; 112 bytes. */
typedef struct {
    uint16_t wSize;                 /* sizeof(VYK_OpenStruct) */
    uint16_t wInterfaceType;        /* VYK_INTERFACE_*; VYK_INTERFACE_ANY only with VYK_OPEN_BY_SERIAL */
    uint16_t wCameraNumber;         /* by number: 0..63, counted per interface */
    uint16_t wCameraNumAtInterface; /* out: the number of the opened camera on its interface */
    uint16_t wOpenMode;             /* VYK_OPEN_BY_NUMBER or VYK_OPEN_BY_SERIAL */
    uint16_t wOpenedInterface;      /* out: the interface of the opened camera */
    uint32_t dwSerialNumber;        /* by serial: the serial number to open */
    uint32_t dwReserved[24];
} VYK_OpenStruct;

/* Fixed capabilities of a camera; 436 bytes. Times: ns fields in nanoseconds, ms fields in milliseconds. */
typedef struct {
    uint16_t wSize;                 /* sizeof(VYK_Description) */
    uint16_t wSensorTypeDESC;       /* bit 0 (VYK_SENSOR_COLOR): colour sensor */
    uint16_t wSensorSubTypeDESC;    /* sensor sub-type code */
    uint16_t wMaxHorzResStdDESC;    /* sensor width, standard format (pixels) */
    uint16_t wMaxVertResStdDESC;    /* sensor height, standard format */
    uint16_t wMaxHorzResExtDESC;    /* sensor width, extended format */
    uint16_t wMaxVertResExtDESC;    /* sensor height, extended format */
    uint16_t wDynResDESC;           /* bit resolution of the sensor */
    uint16_t wMaxBinHorzDESC;       /* largest horizontal binning factor */
    uint16_t wBinHorzSteppingDESC;  /* 1 = linear steps (1,2,3..), 0 = doubling (1,2,4..) */
    uint16_t wMaxBinVertDESC;       /* largest vertical binning factor */
    uint16_t wBinVertSteppingDESC;  /* as wBinHorzSteppingDESC */
    uint16_t wRoiHorStepsDESC;      /* horizontal ROI step (pixels); 0 = ROI not settable */
    uint16_t wRoiVertStepsDESC;     /* vertical ROI step (pixels); 0 = ROI not settable */
    uint16_t wNumADCsDESC;          /* number of converters */
    uint16_t wDoubleImageDESC;      /* non-zero: double-image mode available */
    uint32_t dwPixelRateDESC[4];    /* selectable pixel rates in Hz; 0 = unused entry */
    uint16_t wConvFactDESC[4];      /* conversion factors x 100; 0 = unused entry */
    uint32_t dwMinDelayDESC;        /* ns */
    uint32_t dwMaxDelayDESC;        /* ms */
    uint32_t dwMinDelayStepDESC;    /* ns */
    uint32_t dwMinExposDESC;        /* ns */
    uint32_t dwMaxExposDESC;        /* ms */
    uint32_t dwMinExposStepDESC;    /* ns */
    uint32_t dwMinDelayAltDESC;     /* ns, alternative sensitivity mode */
    uint32_t dwMaxDelayAltDESC;     /* ms, alternative sensitivity mode */
    uint32_t dwMinDelayStepAltDESC; /* ns, alternative sensitivity mode */
    uint32_t dwMinExposAltDESC;     /* ns, alternative sensitivity mode */
    uint32_t dwMaxExposAltDESC;     /* ms, alternative sensitivity mode */
    uint32_t dwMinExposStepAltDESC; /* ns, alternative sensitivity mode */
    uint16_t wAltSensitivityDESC;   /* non-zero: alternative sensitivity mode with the Alt limits */
    uint16_t wColorPatternDESC;     /* colour of the 2x2 cell, one nibble per pixel (1 R, 2 G in R row,
                                       3 G in B row, 4 B): bits 0-3 top left, 4-7 top right,
                                       8-11 bottom left, 12-15 bottom right; 0 for mono */
    uint16_t wPatternTypeDESC;      /* 0 = Bayer */
    uint16_t wReserved0;
    uint32_t dwGeneralCapsDESC1;    /* VYK_CAPS1_* */
    uint32_t dwGeneralCapsDESC2;    /* VYK_CAPS2_* */
    uint32_t dwReserved[79];
} VYK_Description;

/* Second description block (available with VYK_CAPS1_DESCRIPTION2); 64 bytes. */
typedef struct {
    uint16_t wSize;                 /* sizeof(VYK_Description2) */
    uint16_t wMinSizeHorzDESC;      /* smallest ROI width (pixels) */
    uint16_t wMinSizeVertDESC;      /* smallest ROI height (pixels) */
    uint16_t wReserved0;
    uint32_t dwReserved[14];
} VYK_Description2;

/* Camera type record; 1364 bytes. */
typedef struct {
    uint16_t wSize;                 /* sizeof(VYK_CameraType) */
    uint16_t wCamType;              /* camera type code */
    uint16_t wCamSubType;           /* camera sub-type code */
    uint16_t wInterfaceType;        /* interface the camera is attached to */
    uint32_t dwSerialNumber;        /* serial number */
    uint32_t dwHWVersion;           /* hardware version */
    uint32_t dwFWVersion;           /* firmware version */
    uint32_t dwReserved[336];
} VYK_CameraType;

/* Camera RAM size; 188 bytes. */
typedef struct {
    uint16_t wSize;                 /* sizeof(VYK_RamSize) */
    uint16_t wPageSize;             /* pixels per RAM page */
    uint32_t dwRamSize;             /* total RAM in pages */
    uint32_t dwReserved[45];
} VYK_RamSize;

#ifdef __cplusplus
static_assert(sizeof(VYK_OpenStruct) == 112, "open record is 112 bytes");
static_assert(sizeof(VYK_Description) == 436, "description record is 436 bytes");
static_assert(sizeof(VYK_Description2) == 64, "second description block is 64 bytes");
static_assert(sizeof(VYK_CameraType) == 1364, "camera type record is 1364 bytes");
static_assert(sizeof(VYK_RamSize) == 188, "RAM size record is 188 bytes");
#endif

/* ---- Library ------------------------------------------------------------- */

/* Library initialisation at start-up; safe to call more than once. Loads the camera set. */
int32_t VYK_InitializeLib(void);

/* Library clean-up: closes every camera still open. The counterpart of VYK_InitializeLib. */
int32_t VYK_CleanupLib(void);

/* Library reset after all cameras are closed: reloads the camera set (RASTEL_SIM_CONFIG). */
int32_t VYK_ResetLib(void);

/* Writes the text of code into buffer (at most length bytes including the terminator). */
int32_t VYK_GetErrorText(uint32_t code, char* buffer, uint32_t length);

/* ---- Open, close, identity, health --------------------------------------- */

/* Opens a camera by number or serial; fills *handle and the out fields of the record. */
int32_t VYK_OpenCamera(VYK_HANDLE* handle, VYK_OpenStruct* open);

/* Closes a camera: stops its recording and frame thread; the handle becomes invalid. */
int32_t VYK_CloseCamera(VYK_HANDLE handle);

/* Reads the description record. Clears VYK_STATUS_DESCRIPTION_CHANGED. */
int32_t VYK_GetCameraDescription(VYK_HANDLE handle, VYK_Description* description);

/* Reads the second description block (VYK_ERR_NOT_SUPPORTED without VYK_CAPS1_DESCRIPTION2). */
int32_t VYK_GetCameraDescription2(VYK_HANDLE handle, VYK_Description2* description);

/* Reads the camera type record (type, sub-type, serial, interface). */
int32_t VYK_GetCameraType(VYK_HANDLE handle, VYK_CameraType* type);

/* Copies the camera name, terminated, into name (length bytes; 260 always suffices). */
int32_t VYK_GetCameraName(VYK_HANDLE handle, char* name, uint16_t length);

/* Reads the health words: warnings, errors and status (any pointer may be null). */
int32_t VYK_GetCameraHealthStatus(VYK_HANDLE handle, uint32_t* warnings, uint32_t* errors, uint32_t* status);

/* ---- Arm, defaults ------------------------------------------------------- */

/* Validates the settings as a whole and makes them the ones images are taken with. */
int32_t VYK_ArmCamera(VYK_HANDLE handle);

/* Restores every setting to the camera's defaults (camera disarmed; RAM kept). */
int32_t VYK_ResetSettingsToDefault(VYK_HANDLE handle);

/* Reads the image transfer mode: 1 = images delivered live to the computer, 0 = camera RAM only. */
int32_t VYK_GetTransferMode(VYK_HANDLE handle, uint16_t* mode);

/* Sets the image transfer mode (0 or 1); applied with 1 after a reset to defaults. */
int32_t VYK_SetTransferMode(VYK_HANDLE handle, uint16_t mode);

/* ---- Timing ------------------------------------------------------------- */

/* Reads delay and exposure with their time bases (VYK_TIMEBASE_*). */
int32_t VYK_GetDelayExposureTime(VYK_HANDLE handle, uint32_t* delay, uint32_t* exposure,
                                 uint16_t* delayBase, uint16_t* exposureBase);

/* Sets delay and exposure with their time bases; checked against the active limits. */
int32_t VYK_SetDelayExposureTime(VYK_HANDLE handle, uint32_t delay, uint32_t exposure,
                                 uint16_t delayBase, uint16_t exposureBase);

/* Reads the time from one image to the next at the armed settings, as seconds and nanoseconds. */
int32_t VYK_GetFrameTime(VYK_HANDLE handle, uint32_t* seconds, uint32_t* nanoseconds);

/* Reads the pixel rate in Hz. */
int32_t VYK_GetPixelRate(VYK_HANDLE handle, uint32_t* rate);

/* Sets the pixel rate (one of dwPixelRateDESC). */
int32_t VYK_SetPixelRate(VYK_HANDLE handle, uint32_t rate);

/* ---- Image geometry ------------------------------------------------------ */

/* Reads the ROI corners (1-based, inclusive, binned pixels). */
int32_t VYK_GetROI(VYK_HANDLE handle, uint16_t* x0, uint16_t* y0, uint16_t* x1, uint16_t* y1);

/* Sets the ROI corners. */
int32_t VYK_SetROI(VYK_HANDLE handle, uint16_t x0, uint16_t y0, uint16_t x1, uint16_t y1);

/* Reads the binning words (factor | VYK_BINNING_AVERAGE). */
int32_t VYK_GetBinning(VYK_HANDLE handle, uint16_t* horz, uint16_t* vert);

/* Sets the binning words; both must use the same mode; averaging needs VYK_CAPS2_AVERAGE_BINNING. */
int32_t VYK_SetBinning(VYK_HANDLE handle, uint16_t horz, uint16_t vert);

/* Reads the sensor format in use (VYK_SENSORFORMAT_*). */
int32_t VYK_GetSensorFormat(VYK_HANDLE handle, uint16_t* format);

/* Sets the sensor format; ROI and binning are reset to the full new format without binning. */
int32_t VYK_SetSensorFormat(VYK_HANDLE handle, uint16_t format);

/* ---- Pixel values -------------------------------------------------------- */

/* Reads the conversion factor x 100. */
int32_t VYK_GetConversionFactor(VYK_HANDLE handle, uint16_t* factor);

/* Sets the conversion factor x 100 (one of wConvFactDESC). */
int32_t VYK_SetConversionFactor(VYK_HANDLE handle, uint16_t factor);

/* Reads the current pixel-format flag and the supported flags (OR of VYK_PIXELFORMAT_*). */
int32_t VYK_GetPixelFormat(VYK_HANDLE handle, uint32_t* current, uint32_t* supported);

/* Sets the pixel format (one supported flag); needs VYK_CAPS2_PIXEL_FORMAT. */
int32_t VYK_SetPixelFormat(VYK_HANDLE handle, uint32_t flag);

/* Reads the noise filter mode (0 off, 1 on); needs VYK_CAPS1_NOISE_FILTER. */
int32_t VYK_GetNoiseFilterMode(VYK_HANDLE handle, uint16_t* mode);

/* Sets the noise filter mode. */
int32_t VYK_SetNoiseFilterMode(VYK_HANDLE handle, uint16_t mode);

/* Reads the dark offset in counts (added to every pixel). */
int32_t VYK_GetDarkOffset(VYK_HANDLE handle, uint16_t* offset);

/* Reads the double-image mode (0 off, 1 on: two images per exposure); needs wDoubleImageDESC. */
int32_t VYK_GetDoubleImageMode(VYK_HANDLE handle, uint16_t* mode);

/* Sets the double-image mode. */
int32_t VYK_SetDoubleImageMode(VYK_HANDLE handle, uint16_t mode);

/* Reads the alternative sensitivity mode (0 off, 1 on); needs wAltSensitivityDESC. */
int32_t VYK_GetAltSensitivityMode(VYK_HANDLE handle, uint16_t* mode);

/* Sets the alternative sensitivity mode; the Alt timing limits apply while it is on. */
int32_t VYK_SetAltSensitivityMode(VYK_HANDLE handle, uint16_t mode);

/* Colour-setting query: 1 when the camera's own colour settings (matrix) apply, 0 when not. */
int32_t VYK_GetColorSetting(VYK_HANDLE handle, uint16_t* setting);

/* Reads the 3x3 colour matrix row by row; needs VYK_CAPS2_PIXEL_FORMAT. */
int32_t VYK_GetColorMatrix(VYK_HANDLE handle, double matrix[9]);

/* ---- Image attachments --------------------------------------------------- */

/* Reads the timestamp mode (VYK_TIMESTAMP_*). */
int32_t VYK_GetTimestampMode(VYK_HANDLE handle, uint16_t* mode);

/* Sets the timestamp mode. */
int32_t VYK_SetTimestampMode(VYK_HANDLE handle, uint16_t mode);

/* Reads the metadata mode (0 off, 1 on) with the block size in bytes and its version (any may be null). */
int32_t VYK_GetMetaDataMode(VYK_HANDLE handle, uint16_t* mode, uint16_t* size, uint16_t* version);

/* Sets the metadata mode; reports the block size and version (size and version may be null). */
int32_t VYK_SetMetaDataMode(VYK_HANDLE handle, uint16_t mode, uint16_t* size, uint16_t* version);

/* ---- Trigger and acquire -------------------------------------------------- */

/* Reads the trigger mode (VYK_TRIGGER_*). */
int32_t VYK_GetTriggerMode(VYK_HANDLE handle, uint16_t* mode);

/* Sets the trigger mode. */
int32_t VYK_SetTriggerMode(VYK_HANDLE handle, uint16_t mode);

/* Software trigger: *accepted = 1 when an exposure starts; 0 (and VYK_ERR_TRIGGER_REJECTED) while busy or idle. */
int32_t VYK_ForceTrigger(VYK_HANDLE handle, uint16_t* accepted);

/* Reads the acquire mode (0 auto, 1 external acquire enable). */
int32_t VYK_GetAcquireMode(VYK_HANDLE handle, uint16_t* mode);

/* Sets the acquire mode (0 or 1); needs acquire modes (VYK_CAPS1_NO_ACQUIRE_MODE clear). */
int32_t VYK_SetAcquireMode(VYK_HANDLE handle, uint16_t mode);

/* Reads the extended acquire mode and its sequence number; needs VYK_CAPS1_EXT_ACQUIRE_MODE. */
int32_t VYK_GetAcquireModeEx(VYK_HANDLE handle, uint16_t* mode, uint32_t* number);

/* Sets the extended acquire mode: 0, 1, or 4 with number >= 1 (number ignored otherwise). */
int32_t VYK_SetAcquireModeEx(VYK_HANDLE handle, uint16_t mode, uint32_t number);

/* ---- Recording state ------------------------------------------------------ */

/* Reads the recording state (0 stopped, 1 recording). */
int32_t VYK_GetRecordingState(VYK_HANDLE handle, uint16_t* state);

/* Starts (1, camera must be armed) or stops (0) taking images. */
int32_t VYK_SetRecordingState(VYK_HANDLE handle, uint16_t state);

/* ---- Camera RAM (VYK_ERR_NO_CAMERA_RAM without it) ------------------------ */

/* Reads the RAM size record (pages and page size). */
int32_t VYK_GetCameraRamSize(VYK_HANDLE handle, VYK_RamSize* ramSize);

/* Reads the four segment sizes in pages. */
int32_t VYK_GetCameraRamSegmentSize(VYK_HANDLE handle, uint32_t sizes[VYK_RAM_SEGMENTS]);

/* Sets the four segment sizes in pages (sum at most the RAM size); clears every segment. */
int32_t VYK_SetCameraRamSegmentSize(VYK_HANDLE handle, const uint32_t sizes[VYK_RAM_SEGMENTS]);

/* Reads the active segment (1..4). */
int32_t VYK_GetActiveRamSegment(VYK_HANDLE handle, uint16_t* segment);

/* Makes a segment (1..4) active; the images in every segment are kept. */
int32_t VYK_SetActiveRamSegment(VYK_HANDLE handle, uint16_t segment);

/* Reads the valid image count of a segment (1..4) and how many images it holds at the armed ROI. */
int32_t VYK_GetNumberOfImagesInSegment(VYK_HANDLE handle, uint16_t segment, uint32_t* valid, uint32_t* maximum);

/* Reads the storage mode (VYK_STORAGE_*). */
int32_t VYK_GetStorageMode(VYK_HANDLE handle, uint16_t* mode);

/* Sets the storage mode. */
int32_t VYK_SetStorageMode(VYK_HANDLE handle, uint16_t mode);

/* Reads the recorder sub-mode (VYK_RAM_SUBMODE_*). */
int32_t VYK_GetRecorderSubmode(VYK_HANDLE handle, uint16_t* mode);

/* Sets the recorder sub-mode. */
int32_t VYK_SetRecorderSubmode(VYK_HANDLE handle, uint16_t mode);

/* ---- Other --------------------------------------------------------------- */

/* Releases the optional device resource; the simulated cameras hold none, so this only checks the handle. */
int32_t VYK_ReleaseOptionalResource(VYK_HANDLE handle);

#ifdef __cplusplus
}
#endif

#endif /* KV2_CAM_H */
