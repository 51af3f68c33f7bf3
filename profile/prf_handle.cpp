/*
 * prf_handle.cpp - profile handles: opening and closing through a handler,
 * reference counts, the handler's own word and the OEM mode.
 *
 * PrfOpenHandler allocates the handle with its name buffer and sends the
 * open message; the handler attaches whatever state it needs to the
 * handle's word.  The handle lives until its reference count falls to 0,
 * when the close message is sent and the handle freed.
 */
#include <stdlib.h>
#include <string.h>
#include "frame/handle_pool.h"
#include "profile/prfint.h"

/* Every open profile handle: a handle is checked by membership, never by
 * reading through it. */
static orin::HandlePool<PRFINFO> prfHandles;

_PRFINFO::~_PRFINFO()
{
    free(nameBuffer);
}

static BOOL isHandle(HPRF h)
{
    return prfHandles.live(h);
}

BOOL prfIsValid(HPRF h)
{
    return isHandle(h) && h->handler;
}

USHORT ORINAPI PrfOpenHandler(PFNPRFHANDLER handler, void *openRecord, HPRF *out) noexcept
{
    USHORT rc;

    if (!out)
        return ORIN_ERR_INVALID_PARAM;
    *out = NULL;
    if (!handler)
        return ORIN_ERR_INVALID_HANDLE;
    auto owned = prfHandles.tryMake();
    if (!owned)
        return ORIN_ERR_NO_MEMORY;
    HPRF h = owned.get();
    h->handler = handler;
    h->nameBuffer = (char *)calloc(PRF_NAME_INITIAL, 2);
    h->nameCapacity = h->nameBuffer ? PRF_NAME_INITIAL : 0;
    rc = (USHORT)handler(h, PRF_CMD_OPEN, openRecord);
    if (rc)
        return rc;
    h->refCount = 1;
    *out = owned.release();
    return 0;
}

static void release(HPRF h)
{
    if (h->refCount > 0)
        h->refCount--;
    if (h->refCount == 0) {
        if (h->handler)
            h->handler(h, PRF_CMD_CLOSE, NULL);
        prfHandles.destroy(h);
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
