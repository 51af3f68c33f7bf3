/*
 * ixd_user.c - the user area of an Ixd file: a byte range after the header
 * block that the owner of the index may use for its own data.
 *
 * Each handle keeps a position in the area.  Reads and writes transfer at
 * most the bytes left up to the area's end and advance the position; a
 * position at or past the end is an error (IXD_ERR_USER_RANGE) that also
 * puts the position back to 0.  In shared mode the transfer runs under the
 * index lock, and a read first drops the file's buffered pages so that
 * another process's writes are seen.
 */
#include "index/ixdint.h"

static USHORT outOfRange(IX *ix)
{
    ix->userPos = 0;
    return IXD_ERR_USER_RANGE;
}

USHORT ORINAPI IxdUserSetPos(PIX ix, LONG value, ULONG method, ULONG *newPos, ULONG *error) noexcept
{
    long long pos;

    if (!ixdIsOwnHandle(ix))
        return ixdResult(error, ORIN_ERR_INVALID_HANDLE);
    switch (method) {
    case IXD_USER_BEGIN:   pos = value; break;
    case IXD_USER_CURRENT: pos = (long long)ix->userPos + value; break;
    case IXD_USER_END:     pos = (long long)ix->hdr.userSize - 1 + value; break;
    default:               return ixdResult(error, ORIN_ERR_INVALID_PARAM);
    }
    if (pos < 0 || pos >= (long long)ix->hdr.userSize)
        return ixdResult(error, outOfRange(ix));
    ix->userPos = (ULONG)pos;
    if (newPos)
        *newPos = ix->userPos;
    return ixdResult(error, 0);
}

/* Clamps a transfer of count bytes at the position to the area. */
static USHORT clampTransfer(IX *ix, ULONG count, ULONG *n)
{
    if (ix->userPos >= ix->hdr.userSize)
        return outOfRange(ix);
    *n = ix->hdr.userSize - ix->userPos;
    if (count < *n)
        *n = count;
    return 0;
}

static USHORT transfer(PIX ix, void *buffer, ULONG count, ULONG *done, int write)
{
    ULONG n = 0;
    USHORT rc, urc;

    if (done)
        *done = 0;
    if (!ixdIsOwnHandle(ix))
        return ORIN_ERR_INVALID_HANDLE;
    if (!buffer && count)
        return ORIN_ERR_INVALID_PARAM;
    if ((rc = clampTransfer(ix, count, &n)) != 0)
        return rc;
    if ((write ? ixdLockUpdate(ix) : ixdLockRead(ix)) != 0)
        return IXD_ERR_LOCK;
    if (ix->shared && !write)
        VbfFlush(ix->vbf);
    rc = write ? ixdWriteAt(ix, ix->hdr.userOffset + ix->userPos, buffer, n)
               : ixdReadAt(ix, ix->hdr.userOffset + ix->userPos, buffer, n);
    urc = ixdUnlock(ix);
    if (rc == 0 && urc == 0) {
        ix->userPos += n;
        if (done)
            *done = n;
    }
    return rc ? rc : urc;
}

USHORT ORINAPI IxdUserRead(PIX ix, void *buffer, ULONG count, ULONG *done, ULONG *error) noexcept
{
    return ixdResult(error, transfer(ix, buffer, count, done, 0));
}

USHORT ORINAPI IxdUserWrite(PIX ix, const void *buffer, ULONG count, ULONG *done,
                            ULONG *error) noexcept
{
    return ixdResult(error, transfer(ix, (void *)buffer, count, done, 1));
}

ULONG ORINAPI IxdUserQuerySize(PIX ix) noexcept
{
    return ixdIsOwnHandle(ix) ? ix->hdr.userSize : 0;
}
