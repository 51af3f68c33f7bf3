/*
 * prfint.h - the profile handle and the helpers shared by the profile
 * calls, the name normalisation and the handlers.
 *
 * A handle carries its handler, one word for the handler's own state, a
 * reference count, the OEM mode and a scratch buffer in which the calls
 * keep the normalised section name (first half) and key name (second
 * half) of the request being built.
 */
#ifndef PRFINT_H
#define PRFINT_H

#include "prf.h"

#ifdef __cplusplus
extern "C" {
#endif

#define PRF_NAME_INITIAL   256          /* characters per name half at open */
#define PRF_LIST_SEPARATOR '~'
/* The record behind a handle; handles are checked against the pool of
 * open handles (prf_handle.cpp), never by reading through them. */
typedef struct _PRFINFO {
    ~_PRFINFO();
    PFNPRFHANDLER handler;
    ULONG_PTR handlerData;
    USHORT refCount;
    USHORT oemMode;
    char *nameBuffer;
    ULONG nameCapacity;                 /* characters per half; 0 without a buffer */
} PRFINFO;

/* True for a live handle that has a handler. */
BOOL   prfIsValid(HPRF h);

/* Copies, trims and checks a section (half 0) or key (half 1) name into
 * the handle's buffer and converts it to OEM when `oem` is set.  Returns
 * 0 with *out pointing into the buffer, 8 or 123. */
USHORT prfNormaliseName(HPRF h, int half, const char *name, BOOL oem, const char **out);

/* True when a (normalised) name may be stored: not empty, no '~'. */
BOOL   prfNameIsValid(const char *name);

#ifdef __cplusplus
}
#endif

#endif /* PRFINT_H */
