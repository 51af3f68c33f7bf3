/*
 * ixd_user.cpp - the user area of an Ixd file: a byte range after the
 * header block that the owner of the index may use for its own data.
 *
 * Each handle keeps a position in the area.  Reads and writes transfer at
 * most the bytes left up to the area's end and advance the position; a
 * position at or past the end is an error (IXD_ERR_USER_RANGE) that also
 * puts the position back to 0.  In shared mode the transfer runs under the
 * index lock, and a read first drops the file's buffered pages so that
 * another process's writes are seen.  Only this family's own live handles
 * have a user area: any other handle answers 6 (invalid handle).
 */
#include "index/ixdint.h"

namespace orin::ixd {
namespace {

USHORT outOfRange(IX *ix)
{
    ix->userPos = 0;
    return IXD_ERR_USER_RANGE;
}

/* Clamps a transfer of count bytes at the position to the area. */
USHORT clampTransfer(IX *ix, ULONG count, ULONG *n)
{
    if (ix->userPos >= ix->hdr.userSize)
        return outOfRange(ix);
    *n = ix->hdr.userSize - ix->userPos;
    if (count < *n)
        *n = count;
    return 0;
}

enum Direction { kRead, kWrite };

USHORT transfer(PIX handle, void *buffer, ULONG count, ULONG *done, Direction dir)
{
    if (done != nullptr)
        *done = 0;
    IX *ix = handles.get(handle);
    if (ix == nullptr)
        return ORIN_ERR_INVALID_HANDLE;
    if (buffer == nullptr && count != 0)
        return ORIN_ERR_INVALID_PARAM;
    ULONG n = 0;
    USHORT rc = clampTransfer(ix, count, &n);
    if (rc != 0)
        return rc;
    IndexLock lock(ix, dir == kWrite ? IndexLock::kUpdate : IndexLock::kRead);
    if (lock.code() != 0)
        return lock.code();
    if (ix->shared && dir == kRead)
        VbfFlush(ix->vbf.get());
    ULONG at = ix->hdr.userOffset + ix->userPos;
    rc = lock.release(dir == kWrite ? writeAt(ix, at, buffer, n) : readAt(ix, at, buffer, n));
    if (rc == 0) {
        ix->userPos += n;
        if (done != nullptr)
            *done = n;
    }
    return rc;
}

}  // namespace
}  // namespace orin::ixd

using namespace orin::ixd;

USHORT ORINAPI IxdUserSetPos(PIX handle, LONG value, ULONG method, ULONG *newPos,
                             ULONG *error) noexcept
{
    IX *ix = handles.get(handle);
    if (ix == nullptr)
        return result(error, ORIN_ERR_INVALID_HANDLE);
    long long pos;
    switch (method) {
    case IXD_USER_BEGIN:   pos = value; break;
    case IXD_USER_CURRENT: pos = static_cast<long long>(ix->userPos) + value; break;
    case IXD_USER_END:     pos = static_cast<long long>(ix->hdr.userSize) - 1 + value; break;
    default:               return result(error, ORIN_ERR_INVALID_PARAM);
    }
    if (pos < 0 || pos >= static_cast<long long>(ix->hdr.userSize))
        return result(error, outOfRange(ix));
    ix->userPos = static_cast<ULONG>(pos);
    if (newPos != nullptr)
        *newPos = ix->userPos;
    return result(error, 0);
}

USHORT ORINAPI IxdUserRead(PIX ix, void *buffer, ULONG count, ULONG *done, ULONG *error) noexcept
{
    return result(error, transfer(ix, buffer, count, done, kRead));
}

USHORT ORINAPI IxdUserWrite(PIX ix, const void *buffer, ULONG count, ULONG *done,
                            ULONG *error) noexcept
{
    return result(error, transfer(ix, const_cast<void *>(buffer), count, done, kWrite));
}

ULONG ORINAPI IxdUserQuerySize(PIX handle) noexcept
{
    const IX *ix = handles.get(handle);
    return ix != nullptr ? ix->hdr.userSize : 0;
}
