/* Simulated conversion library: raw sensor pixels to display formats.
 *
 * A C-style interface in the manner of the maker's closed conversion library.
 * Every operation returns a 32-bit result code (see vyk_errors.h); records begin
 * with their own size field. A handle converts for one conversion mode and keeps
 * its own parameter block, sensor description and (pseudocolour) colour table.
 * All operations are safe to call from several threads; conversions on one handle
 * run one at a time. A deleted handle is never reused: using it afterwards returns
 * VYK_ERR_INVALID_HANDLE.
 *
 * Output layouts (W = width, W4 = W rounded up to a multiple of 4, H = height):
 *   Mono8                     W4 x H bytes
 *   BGR8 / RGB8               W4 x 3 x H bytes
 *   BGRA8 / RGBA8             W x 4 x H bytes (alpha 255)
 *   BGR16 / RGB16             W4 x 3 x H 16-bit values
 * Padding at the end of a row is written as zero. The top source row becomes the top
 * output row unless VYKCONV_FLAG_FLIP_VERTICAL is given. */
#ifndef VYK_CONV_H
#define VYK_CONV_H

#include <stddef.h>
#include <stdint.h>

#include "vyk_errors.h"

#ifdef __cplusplus
extern "C" {
#endif

/* A conversion handle. Null is never a valid handle. */
typedef void* VYKCONV_HANDLE;

/* Conversion modes of VYKCONV_CreateHandle. */
#define VYKCONV_MODE_MONO 1          /* Mono8 conversion */
#define VYKCONV_MODE_COLOR 2         /* colour 8-bit conversion (Bayer sensor) */
#define VYKCONV_MODE_PSEUDOCOLOR 3   /* mono mapping through a 256-entry colour table */
#define VYKCONV_MODE_COLOR16 4       /* colour 16-bit conversion (Bayer sensor) */

/* Conversion flags (bits may be combined; unknown bits are ignored). */
#define VYKCONV_FLAG_FLIP_VERTICAL 0x1u       /* last source row becomes the first output row */
#define VYKCONV_FLAG_AUTO_MINMAX 0x20u        /* map the frame's own smallest..largest value */
#define VYKCONV_FLAG_BGRA 0x100u              /* channel order B, G, R, A (8-bit only) */
#define VYKCONV_FLAG_RGB 0x200u               /* channel order R, G, B */
#define VYKCONV_FLAG_RGBA 0x300u              /* channel order R, G, B, A (8-bit only) */
#define VYKCONV_FLAG_ORDER_MASK 0x300u        /* the channel-order bits; 0 = B, G, R */
#define VYKCONV_FLAG_BASE 0x1000u             /* always set by the camera layer; no effect */
#define VYKCONV_FLAG_SHARPEN 0x100000u        /* 3 x 3 unsharp mask on the 8-bit result */
#define VYKCONV_FLAG_ADAPTIVE_SHARPEN 0x200000u /* unsharp mask damped in flat, noisy areas; wins over SHARPEN */
#define VYKCONV_FLAG_EDGE_DEMOSAIC 0x400000u  /* edge-directed demosaic instead of bilinear */

/* Lookup-table kinds of VYKCONV_LoadLut (see docs/conversion.md for the formats):
 *   0  binary, 768 bytes: 256 red, then 256 green, then 256 blue values
 *   1  text: exactly 256 lines "R G B" (0..255); '#' starts a comment
 *   2  binary, 768 bytes: 256 interleaved R, G, B triplets
 *   3  text: control points "index R G B", indices strictly ascending from 0 to 255,
 *      linearly interpolated in between */
#define VYKCONV_LUT_PLANAR_BINARY 0
#define VYKCONV_LUT_TEXT 1
#define VYKCONV_LUT_INTERLEAVED_BINARY 2
#define VYKCONV_LUT_CONTROL_POINTS 3

/* The nine colour-matrix coefficients of the sensor, row by row (output = M x input). */
typedef struct VYK_ColorCoeff {
    double da11, da12, da13;
    double da21, da22, da23;
    double da31, da32, da33;
} VYK_ColorCoeff;

/* The 264-byte sensor description. An all-zero colour matrix means identity. */
typedef struct VYK_SensorInfo {
    uint16_t wSize;                 /* 264 */
    uint16_t wDummy;                /* reserved */
    int32_t iConversionFactor;      /* conversion factor x 100, 0 if unknown */
    int32_t iDataBits;              /* significant bits per raw pixel, 1..16 */
    int32_t iSensorInfoBits;        /* 0x1 colour sensor, 0x2 no colour setting */
    int32_t iDarkOffset;            /* dark offset in counts (informational) */
    uint16_t wIMAGE_SIZE_X_Offset;  /* horizontal offset of the image on the sensor */
    uint16_t wIMAGE_SIZE_Y_Offset;  /* vertical offset of the image on the sensor */
    VYK_ColorCoeff strColorCoeff;   /* sensor colour matrix (bytes 24..95) */
    int32_t iCamNum;                /* camera number */
    int32_t iAlignmentPad;          /* bytes 100..103, unused */
    union {
        void* hCamera;              /* device handle; never dereferenced by this library */
        uint64_t qwCameraPad;       /* keeps the handle 8 bytes wide on every platform */
    } uCamera;
    uint32_t dwzzDummy1[38];        /* reserved (bytes 112..263) */
} VYK_SensorInfo;

/* The 264-byte parameter block of a handle. Set validates and stores it verbatim;
 * get returns exactly what was last set (or the defaults). */
typedef struct VYKCONV_Params {
    uint16_t wSize;               /* 264 */
    uint16_t wDummy;              /* reserved */
    int32_t iMinLimit;            /* raw value mapped to 0 (default 0) */
    int32_t iMaxLimit;            /* raw value mapped to 255 (default 2^bits - 1); at least min + 1 is used */
    int32_t iGamma;               /* gamma x 100, 1..1000 (default 100); output = input^(100 / iGamma) */
    int32_t iContrast;            /* -100..100 (default 0) around mid-grey */
    int32_t iColorTemperature;    /* Kelvin, 1000..20000 (default 6500 = no white-balance correction) */
    int32_t iColorTint;           /* -100..100 (default 0); positive is magenta, negative green */
    int32_t iColorSaturation;     /* -100..100 (default 0); -100 is grey */
    int32_t iColorVibrance;       /* -100..100 (default 0); saturation change weighted to dull colours */
    uint32_t dwzzDummy[57];       /* reserved, kept verbatim */
} VYKCONV_Params;

/* Creates a handle for mode (VYKCONV_MODE_*) with the given sensor description. */
int32_t VYKCONV_CreateHandle(VYKCONV_HANDLE* handle, const VYK_SensorInfo* sensorInfo, int32_t mode);

/* Deletes a handle; waits for a conversion running on it. */
int32_t VYKCONV_DeleteHandle(VYKCONV_HANDLE handle);

/* Replaces the handle's sensor description (bits, colour matrix). */
int32_t VYKCONV_SetSensorInfo(VYKCONV_HANDLE handle, const VYK_SensorInfo* sensorInfo);

/* Copies the handle's parameter block into params (params->wSize must be 264). */
int32_t VYKCONV_GetParams(VYKCONV_HANDLE handle, VYKCONV_Params* params);

/* Validates and stores a parameter block (wSize 264). */
int32_t VYKCONV_SetParams(VYKCONV_HANDLE handle, const VYKCONV_Params* params);

/* Loads the colour table of a pseudocolour handle from a file of the given kind
 * (VYKCONV_LUT_*). On failure the previous table stays in use. */
int32_t VYKCONV_LoadLut(VYKCONV_HANDLE handle, int32_t kind, const char* path);

/* The red, green and blue white-balance gains that the colour conversions apply for
 * a colour temperature (Kelvin) and tint; 6500 K and tint 0 give 1, 1, 1. */
int32_t VYKCONV_GetWhiteBalanceRanges(VYKCONV_HANDLE handle, int32_t temperature, int32_t tint,
                                      double* gainRed, double* gainGreen, double* gainBlue);

/* Number of destination elements a conversion needs (bytes for the 8-bit modes,
 * 16-bit values for VYKCONV_MODE_COLOR16), from mode, flags and size. */
int32_t VYKCONV_GetOutputCount(int32_t mode, uint32_t flags, int32_t width, int32_t height, size_t* count);

/* Mono 8-bit conversion on a VYKCONV_MODE_MONO handle. colorPattern is ignored.
 * src holds srcCount >= width x height raw values, dst dstCount bytes. */
int32_t VYKCONV_ConvertMono8(VYKCONV_HANDLE handle, uint32_t flags, int32_t colorPattern,
                             int32_t width, int32_t height,
                             const uint16_t* src, size_t srcCount, uint8_t* dst, size_t dstCount);

/* Colour 8-bit conversion on a VYKCONV_MODE_COLOR handle. colorPattern 0..3 is the
 * Bayer phase of the top-left source pixel: 0 R G / G B, 1 G R / B G, 2 G B / R G,
 * 3 B G / G R (bit 0: red on odd columns, bit 1: red on odd rows). */
int32_t VYKCONV_ConvertColor8(VYKCONV_HANDLE handle, uint32_t flags, int32_t colorPattern,
                              int32_t width, int32_t height,
                              const uint16_t* src, size_t srcCount, uint8_t* dst, size_t dstCount);

/* Pseudocolour 8-bit conversion on a VYKCONV_MODE_PSEUDOCOLOR handle. colorPattern is ignored. */
int32_t VYKCONV_ConvertPseudo8(VYKCONV_HANDLE handle, uint32_t flags, int32_t colorPattern,
                               int32_t width, int32_t height,
                               const uint16_t* src, size_t srcCount, uint8_t* dst, size_t dstCount);

/* Colour 16-bit conversion (demosaic and white balance, values kept in 0..2^bits - 1)
 * on a VYKCONV_MODE_COLOR16 handle. Channel order B, G, R, or R, G, B with
 * VYKCONV_FLAG_RGB; alpha orders are refused. dst holds dstCount 16-bit values. */
int32_t VYKCONV_ConvertColor16(VYKCONV_HANDLE handle, uint32_t flags, int32_t colorPattern,
                               int32_t width, int32_t height,
                               const uint16_t* src, size_t srcCount, uint16_t* dst, size_t dstCount);

#ifdef __cplusplus
}
#endif

#ifdef __cplusplus
static_assert(sizeof(VYK_SensorInfo) == 264, "VYK_SensorInfo must be 264 bytes");
static_assert(offsetof(VYK_SensorInfo, iConversionFactor) == 4, "sensor info layout");
static_assert(offsetof(VYK_SensorInfo, iDataBits) == 8, "sensor info layout");
static_assert(offsetof(VYK_SensorInfo, iSensorInfoBits) == 12, "sensor info layout");
static_assert(offsetof(VYK_SensorInfo, iDarkOffset) == 16, "sensor info layout");
static_assert(offsetof(VYK_SensorInfo, wIMAGE_SIZE_X_Offset) == 20, "sensor info layout");
static_assert(offsetof(VYK_SensorInfo, wIMAGE_SIZE_Y_Offset) == 22, "sensor info layout");
static_assert(offsetof(VYK_SensorInfo, strColorCoeff) == 24, "sensor info layout");
static_assert(offsetof(VYK_SensorInfo, iCamNum) == 96, "sensor info layout");
static_assert(offsetof(VYK_SensorInfo, uCamera) == 104, "sensor info layout");
static_assert(offsetof(VYK_SensorInfo, dwzzDummy1) == 112, "sensor info layout");
static_assert(sizeof(VYKCONV_Params) == 264, "VYKCONV_Params must be 264 bytes");
#else
_Static_assert(sizeof(VYK_SensorInfo) == 264, "VYK_SensorInfo must be 264 bytes");
_Static_assert(offsetof(VYK_SensorInfo, strColorCoeff) == 24, "sensor info layout");
_Static_assert(offsetof(VYK_SensorInfo, iCamNum) == 96, "sensor info layout");
_Static_assert(offsetof(VYK_SensorInfo, uCamera) == 104, "sensor info layout");
_Static_assert(offsetof(VYK_SensorInfo, dwzzDummy1) == 112, "sensor info layout");
_Static_assert(sizeof(VYKCONV_Params) == 264, "VYKCONV_Params must be 264 bytes");
#endif

#endif /* VYK_CONV_H */
