/*
 * dosint.h - process-service state read by other frame sources.
 */
#ifndef DOSINT_H
#define DOSINT_H

#include "orinbase.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Non-zero while KnlNamCopy should beep after each block. */
USHORT dosCopySoundFlag(void);

#ifdef __cplusplus
}
#endif

#endif /* DOSINT_H */
