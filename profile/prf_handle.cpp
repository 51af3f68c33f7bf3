/*
 * prf_handle.c - profile handles: opening and closing through a handler,
 * reference counts, the handler's own word and the OEM mode.
 *
 * PrfOpenHandler allocates the handle with its name buffer and sends the
 * open message; the handler attaches whatever state it needs to the
 * handle's word.  The handle lives until its reference count falls to 0,
 * when the close message is sent and the handle freed.
 */
#include <stdlib.h>
#include <string.h>
#include "profile/prfint.h"

static HPRF allocHandle(PFNPRFHANDLER handler)
{
    HPRF h = (HPRF)calloc(1, sizeof *h);
    if (!h)
        return NULL;
    h->handler = handler;
    h->sig = PRF_HANDLE_SIG;
    h->nameBuffer = (char *)calloc(PRF_NAME_INITIAL, 2);
    h->nameCapacity = h->nameBuffer ? PRF_NAME_INITIAL : 0;
    return h;
}

static void freeHandle(HPRF h)
{
    h->sig = 0;
    free(h->nameBuffer);
    free(h);
}

USHORT ORINAPI PrfOpenHandler(PFNPRFHANDLER handler, void *openRecord, HPRF *out) noexcept
{
    HPRF h;
    USHORT rc;

    if (!out)
        return ORIN_ERR_INVALID_PARAM;
    *out = NULL;
    if (!handler)
        return ORIN_ERR_INVALID_HANDLE;
    h = allocHandle(handler);
    if (!h)
        return ORIN_ERR_NO_MEMORY;
    rc = (USHORT)handler(h, PRF_CMD_OPEN, openRecord);
    if (rc) {
        freeHandle(h);
        return rc;
    }
    h->refCount = 1;
    *out = h;
    return 0;
}

static BOOL isHandle(HPRF h)
{
    return h && h->sig == PRF_HANDLE_SIG;
}

static void release(HPRF h)
{
    if (h->refCount > 0)
        h->refCount--;
    if (h->refCount == 0) {
        if (h->handler)
            h->handler(h, PRF_CMD_CLOSE, NULL);
        freeHandle(h);
    }
}

USHORT ORINAPI PrfCloseHandler(HPRF h) noexcept
{
    if (!h)
        return 0;
    if (!isHandle(h))
        return ORIN_ERR_GENERAL;
    release(h);
    return 0;
}

USHORT ORINAPI PrfCloseProfile(HPRF h) noexcept
{
    return PrfCloseHandler(h);
}

USHORT ORINAPI PrfLockHandler(HPRF h, BOOL add) noexcept
{
    USHORT count;
    if (!isHandle(h))
        return 0;
    if (add)
        return ++h->refCount;
    count = h->refCount ? (USHORT)(h->refCount - 1) : 0;
    release(h);
    return count;
}

USHORT ORINAPI PrfUtlQueryHandlerLockCount(HPRF h) noexcept
{
    return isHandle(h) ? h->refCount : 0;
}

void ORINAPI PrfUtlSetHandlerULongPtr(HPRF h, ULONG_PTR value) noexcept
{
    if (isHandle(h))
        h->handlerData = value;
}

ULONG_PTR ORINAPI PrfUtlQueryHandlerULongPtr(HPRF h) noexcept
{
    return isHandle(h) ? h->handlerData : 0;
}

void ORINAPI PrfUtlSetHandlerULong(HPRF h, ULONG value) noexcept
{
    PrfUtlSetHandlerULongPtr(h, value);
}

ULONG ORINAPI PrfUtlQueryHandlerULong(HPRF h) noexcept
{
    return (ULONG)PrfUtlQueryHandlerULongPtr(h);
}

USHORT ORINAPI PrfSetOemMode(HPRF h, USHORT mode) noexcept
{
    USHORT old;
    if (!isHandle(h))
        return 0;
    old = h->oemMode;
    h->oemMode = mode;
    return old;
}

USHORT ORINAPI PrfGetOemMode(HPRF h) noexcept
{
    return isHandle(h) ? h->oemMode : 0;
}
