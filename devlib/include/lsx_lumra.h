/* Simulated light-source library lsx_lumra: multi-channel LED illuminators behind a
 * serial connection. Which devices exist comes from the "light_sources" key of the JSON
 * file named by RASTEL_SIM_CONFIG (see docs/simulated-light-sources.md); without it one
 * four-channel device is attached. Every function is thread safe.
 *
 * Result codes share the code space of vyk_errors.h, so VYK_GetErrorText of the camera
 * device library knows their texts: negative with bit 30 clear is a failure. */
#ifndef LSX_LUMRA_H
#define LSX_LUMRA_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Opaque 64-bit device handle; valid from a scan until the device set is reloaded. */
typedef uint64_t LUMRA_HANDLE;

#define LUMRA_STRUCT_SIZE 2008u      /* size of LUMRA_LMStruct in bytes */
#define LUMRA_MAX_CHANNELS 15        /* channel blocks that fit into the structure */
#define LUMRA_MAX_DEVICES 256u       /* the most devices one scan reports */
#define LUMRA_INFO_TEXT_SIZE 260u    /* recommended connection text buffer size */
#define LUMRA_ANSWER_SIZE 1024u      /* recommended command answer buffer size */
#define LUMRA_CHANNEL_ON 0x1u        /* channel flag: the channel emits when the output is on */
#define LUMRA_ANY_TYPE 65535u        /* model code meaning "any model" */

/* Device status reported by LUMRA_GetDeviceInfo. */
#define LUMRA_STATUS_READY 0u        /* attached, healthy and not opened */
#define LUMRA_STATUS_OPEN 1u         /* opened by a handle */
#define LUMRA_STATUS_NOT_RESPONDING 2u /* attached but not answering */

/* Result codes (values of vyk_errors.h). */
#define LUMRA_OK 0
#define LUMRA_ERR_INVALID_ARGUMENT ((int32_t)0xA0163001u) /* argument or setting out of range */
#define LUMRA_ERR_INVALID_HANDLE ((int32_t)0x80160002u)   /* unknown or stale handle */
#define LUMRA_ERR_NULL_POINTER ((int32_t)0x80160003u)     /* a required pointer is null */
#define LUMRA_ERR_WRONG_SIZE ((int32_t)0x80160004u)       /* structure size or channel count wrong */
#define LUMRA_ERR_BUSY ((int32_t)0x80162001u)             /* device already opened */
#define LUMRA_ERR_NOT_SUPPORTED ((int32_t)0x80160007u)    /* unknown device command */
#define LUMRA_ERR_TIMEOUT ((int32_t)0x80160008u)          /* the device does not answer */
#define LUMRA_ERR_NOT_OPEN ((int32_t)0x80160001u)         /* device not opened */
#define LUMRA_ERR_FILE_IO ((int32_t)0x8016000Au)          /* the log file cannot be written */

/* One channel block of the device structure: 116 bytes, little-endian. */
typedef struct {
    uint32_t wavelength;        /* +0: emission peak, nm */
    uint32_t exclusivity;       /* +4: exclusivity group, 0 = not exclusive */
    uint32_t intensity;         /* +8: intensity, tenths of a percent */
    uint32_t intensityMin;      /* +12: smallest intensity, tenths of a percent */
    uint32_t intensityMax;      /* +16: largest intensity, tenths of a percent */
    uint8_t reserved1[12];      /* +20 */
    uint32_t flags;             /* +32: bit 0 = channel on (LUMRA_CHANNEL_ON) */
    uint8_t reserved2[80];      /* +36 */
} LUMRA_Channel;

/* The device structure of LUMRA_GetLMStruct / LUMRA_SetLMStruct: 2008 bytes. */
typedef struct {
    uint16_t size;              /* 0: LUMRA_STRUCT_SIZE, set by the caller before reading */
    uint8_t reserved0[46];      /* 2 */
    int32_t channelCount;       /* 48: number of channels */
    uint32_t modelCode;         /* 52: model code (read only) */
    uint32_t firmwareVersion;   /* 56: firmware version, major << 16 | minor (read only) */
    uint32_t serial;            /* 60: serial number */
    uint8_t reserved1[104];     /* 64 */
    LUMRA_Channel channels[LUMRA_MAX_CHANNELS]; /* 168 + 116 * i */
    uint8_t reserved2[100];     /* 1908 */
} LUMRA_LMStruct;

#ifdef __cplusplus
static_assert(sizeof(LUMRA_Channel) == 116, "channel block is 116 bytes");
static_assert(offsetof(LUMRA_Channel, flags) == 32, "flags at +32 of a channel block");
static_assert(sizeof(LUMRA_LMStruct) == 2008, "device structure is 2008 bytes");
static_assert(offsetof(LUMRA_LMStruct, channelCount) == 48, "channel count at 48");
static_assert(offsetof(LUMRA_LMStruct, serial) == 60, "serial at 60");
static_assert(offsetof(LUMRA_LMStruct, channels) == 168, "first channel block at 168");
#endif

/* Lists attached devices: writes at most capacity handles, *count = number written.
 * While no device is open the device set is reloaded from RASTEL_SIM_CONFIG first. */
int32_t LUMRA_ScanDevices(LUMRA_HANDLE* handles, uint32_t capacity, uint32_t* count);

/* Reads a device's model code, connection text and status; each out pointer may be null. */
int32_t LUMRA_GetDeviceInfo(LUMRA_HANDLE handle, uint32_t* type, char* text, uint32_t textSize,
                            uint32_t* status);

/* Opens a listed device; fails with LUMRA_ERR_BUSY when it is already open. */
int32_t LUMRA_OpenDeviceEx(LUMRA_HANDLE handle);

/* Closes an open device; its settings stay as they were (the hardware keeps them). */
int32_t LUMRA_CloseDevice(LUMRA_HANDLE handle);

/* Switches the light output of an open device: output must be 1, on is 1 or 0. */
int32_t LUMRA_SwitchLumra(LUMRA_HANDLE handle, uint32_t output, uint32_t on);

/* Reads the device structure; lmStruct->size must be LUMRA_STRUCT_SIZE. */
int32_t LUMRA_GetLMStruct(LUMRA_HANDLE handle, LUMRA_LMStruct* lmStruct);

/* Writes intensities and on flags of channelCount channels (must equal the device's).
 * Refused as a whole when an intensity leaves its range or two channels of one
 * non-zero exclusivity group are on. */
int32_t LUMRA_SetLMStruct(LUMRA_HANDLE handle, const LUMRA_LMStruct* lmStruct, int32_t channelCount);

/* Sends a device command with an optional value (null or ""); the answer is written into
 * answer (answerSize bytes including the terminator). Commands: see the docs. */
int32_t LUMRA_ExecuteCommandWithValue(LUMRA_HANDLE handle, const char* command, char* answer,
                                      uint32_t answerSize, const char* value);

/* Selects which calls are logged: bit 0 = open/close/scan, bit 1 = switching,
 * bit 2 = structure transfers, bit 3 = commands, bit 4 = info queries, bit 12 = errors. */
int32_t LUMRA_SetLogBits(uint32_t bits);

/* Log mode: 0 = off, 1 = append lines to the log file. */
int32_t LUMRA_SetLogMode(uint32_t mode);

/* Names the log file (appended to); null or "" stops file logging. */
int32_t LUMRA_SetLogFile(const char* path);

#ifdef __cplusplus
}
#endif

#endif /* LSX_LUMRA_H */
