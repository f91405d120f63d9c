/* Simulated camera device library.
 *
 * A C-style interface in the manner of the maker's closed device library: every
 * operation returns a 32-bit result code (see vyk_errors.h), records begin with
 * their own size field, and all operations are safe to call from several threads. */
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

/* Library initialisation at start-up; safe to call more than once. */
int32_t VYK_InitializeLib(void);

/* Library clean-up: closes every camera still open. The counterpart of VYK_InitializeLib. */
int32_t VYK_CleanupLib(void);

/* Writes the text of code into buffer (at most length bytes including the terminator). */
int32_t VYK_GetErrorText(uint32_t code, char* buffer, uint32_t length);

#ifdef __cplusplus
}
#endif

#endif /* KV2_CAM_H */
