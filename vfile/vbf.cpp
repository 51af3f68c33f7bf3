/*
 * vbf.cpp - the Vbf handle: opening, closing and the dispatchers.
 *
 * A handle is a record in orin::vbf::handles holding the table of
 * operations and the back-end handle that the table's Open produced.
 * Without a caller's table a handle opens a buffered file and uses that
 * family's direct table.  Every call first looks
 * the handle up in the pool: a null, closed or made-up handle answers 6
 * (invalid handle) without anything being read through it.  The call then
 * takes its slot with slotOf: the slot is used only when the table's
 * length word reaches past it and the slot is filled; otherwise the call
 * answers 50 (not supported).  The dispatchers keep no state and do not
 * touch the thread's last error, so a back-end's code reaches the caller
 * unchanged.
 */
#include "vfile/vbfint.h"
#include "vfile/fbfint.h"

namespace orin::vbf {
namespace {

/* Result of VbfTell for a handle that is not live. */
constexpr ULONG kTellInvalid = 0xFFFFFFFF;

/* A back-end operation seen as the non-throwing call it must be: the
 * operations are C functions reached across the C interface.  Called this
 * way the dispatcher hands over to the back-end with a jump instead of
 * keeping a frame of its own around the call. */
template <class R, class... P>
auto nonThrowing(R (*fn)(P...)) noexcept
{
    return reinterpret_cast<R (*)(P...) noexcept>(fn);
}

/* Runs slot `Slot` of a live handle with its back-end handle and args. */
template <auto Slot, class... Args>
USHORT dispatch(HVBF h, Args... args) noexcept
{
    _VBF *v = handles.get(h);
    if (v == nullptr)
        return ORIN_ERR_INVALID_HANDLE;
    auto fn = slotOf<Slot>(v->table);
    return fn != nullptr ? nonThrowing(fn)(v->backend, args...) : ORIN_ERR_NOT_SUPPORTED;
}

/* Opens a buffered file for a new handle.  The handle uses the buffered
 * family's direct table: its back-end handle is known to be live as long
 * as the Vbf handle is, so the Fbf lookup is not repeated on every call. */
USHORT openBuffered(void *nameSpace, const char *fileName, HVBF *handle, ULONG *action,
                    ULONG initialSize, ULONG attribute, ULONG openFlags, ULONG openMode) noexcept
{
    auto h = handles.tryMake(orin::fbf::directTable());
    if (h == nullptr)
        return ORIN_ERR_NO_MEMORY;
    HFBF backend = nullptr;
    USHORT rc = FbfOpen(reinterpret_cast<ULONG_PTR>(nameSpace), fileName, &backend, action,
                        initialSize, attribute, openFlags, openMode, 0);
    if (rc != 0)
        return rc;
    h->backend = backend;
    *handle = h.release();
    return 0;
}

}  // namespace

HVBF wrapBackend(const VBFFUNCS *table, void *backend) noexcept
{
    auto h = handles.tryMake(table);
    if (h == nullptr)
        return nullptr;
    h->backend = backend;
    return h.release();
}

}  // namespace orin::vbf

using namespace orin::vbf;

USHORT ORINAPI VbfOpen(void *nameSpace, const char *fileName, HVBF *handle, ULONG *action,
                       ULONG initialSize, ULONG attribute, ULONG openFlags, ULONG openMode,
                       VBFFUNCS *funcStruct) noexcept
{
    if (handle == nullptr || fileName == nullptr)
        return ORIN_ERR_INVALID_PARAM;
    *handle = nullptr;
    if (funcStruct == nullptr)
        return openBuffered(nameSpace, fileName, handle, action, initialSize, attribute,
                            openFlags, openMode);
    auto open = slotOf<&VBFFUNCS::Open>(funcStruct);
    if (open == nullptr)
        return ORIN_ERR_NOT_SUPPORTED;
    auto h = handles.tryMake(funcStruct);
    if (h == nullptr)
        return ORIN_ERR_NO_MEMORY;
    ULONG_PTR extra = funcStruct->cb >= sizeof(VBFFUNCS) ? funcStruct->extra : 0;
    USHORT rc = open(funcStruct->context, fileName, &h->backend, action, initialSize, attribute,
                     openFlags, openMode, extra);
    if (rc != 0)
        return rc;    // the record goes with h; the caller's table stays
    *handle = h.release();
    return 0;
}

/* The handle ends even when the back-end's Close fails. */
USHORT ORINAPI VbfClose(HVBF handle) noexcept
{
    _VBF *v = handles.get(handle);
    if (v == nullptr)
        return ORIN_ERR_INVALID_HANDLE;
    auto close = slotOf<&VBFFUNCS::Close>(v->table);
    USHORT rc = close != nullptr ? close(v->backend) : ORIN_ERR_NOT_SUPPORTED;
    handles.destroy(v);
    return rc;
}

USHORT ORINAPI VbfChgFilePtr(HVBF h, LONG distance, ULONG method, ULONG *newPos) noexcept
{
    return dispatch<&VBFFUNCS::ChgFilePtr>(h, distance, method, newPos);
}

USHORT ORINAPI VbfRead(HVBF h, void *buffer, ULONG count, ULONG *read) noexcept
{
    return dispatch<&VBFFUNCS::Read>(h, buffer, count, read);
}

USHORT ORINAPI VbfReadDirect(HVBF h, void *buffer, ULONG count, ULONG *read) noexcept
{
    return dispatch<&VBFFUNCS::ReadDirect>(h, buffer, count, read);
}

USHORT ORINAPI VbfWrite(HVBF h, const void *buffer, ULONG count, ULONG *written) noexcept
{
    return dispatch<&VBFFUNCS::Write>(h, buffer, count, written);
}

USHORT ORINAPI VbfGetch(HVBF h, BYTE *ch) noexcept
{
    return dispatch<&VBFFUNCS::Getch>(h, ch);
}

USHORT ORINAPI VbfGets(HVBF h, char *buffer, ULONG size, ULONG *consumed) noexcept
{
    return dispatch<&VBFFUNCS::Gets>(h, buffer, size, consumed);
}

USHORT ORINAPI VbfFlush(HVBF h) noexcept
{
    return dispatch<&VBFFUNCS::Flush>(h);
}

USHORT ORINAPI VbfFileLocks(HVBF h, FILELOCK *unlockRange, FILELOCK *lockRange) noexcept
{
    return dispatch<&VBFFUNCS::FileLocks>(h, unlockRange, lockRange);
}

/* Back-ends without shared locks only fill FileLocks, which locks every
 * range exclusively: the stronger lock is the safe substitute. */
USHORT ORINAPI VbfFileLocksEx(HVBF h, FILELOCK *unlockRange, FILELOCK *lockRange) noexcept
{
    _VBF *v = handles.get(h);
    if (v == nullptr)
        return ORIN_ERR_INVALID_HANDLE;
    if (auto ex = slotOf<&VBFFUNCS::FileLocksEx>(v->table))
        return ex(v->backend, unlockRange, lockRange);
    auto locks = slotOf<&VBFFUNCS::FileLocks>(v->table);
    return locks != nullptr ? locks(v->backend, unlockRange, lockRange) : ORIN_ERR_NOT_SUPPORTED;
}

/* Returns the position itself; 50 when the back-end cannot tell (which is
 * ambiguous with a real position 50), 0xFFFFFFFF for a handle that is not
 * live. */
ULONG ORINAPI VbfTell(HVBF h) noexcept
{
    _VBF *v = handles.get(h);
    if (v == nullptr)
        return kTellInvalid;
    auto tell = slotOf<&VBFFUNCS::Tell>(v->table);
    return tell != nullptr ? tell(v->backend) : ORIN_ERR_NOT_SUPPORTED;
}

USHORT ORINAPI VbfQueryLength(HVBF h, ULONG *length) noexcept
{
    return dispatch<&VBFFUNCS::QueryLength>(h, length);
}

USHORT ORINAPI VbfNewSize(HVBF h, ULONG newLength) noexcept
{
    return dispatch<&VBFFUNCS::NewSize>(h, newLength);
}

USHORT ORINAPI VbfQueryFilename(HVBF h, char *buffer, ULONG size) noexcept
{
    return dispatch<&VBFFUNCS::QueryFilename>(h, buffer, size);
}

USHORT ORINAPI VbfQFileInfo(HVBF h, ULONG level, void *buffer, ULONG size) noexcept
{
    return dispatch<&VBFFUNCS::QFileInfo>(h, level, buffer, size);
}

USHORT ORINAPI VbfSetFileInfo(HVBF h, ULONG level, void *buffer, ULONG size) noexcept
{
    return dispatch<&VBFFUNCS::SetFileInfo>(h, level, buffer, size);
}

USHORT ORINAPI VbfMapViewOfFile(HVBF h, void **view, ULONG bytes, ULONG offsetHigh,
                                ULONG offsetLow) noexcept
{
    return dispatch<&VBFFUNCS::MapViewOfFile>(h, view, bytes, offsetHigh, offsetLow);
}

USHORT ORINAPI VbfUnmapViewOfFile(HVBF h) noexcept
{
    return dispatch<&VBFFUNCS::UnmapViewOfFile>(h);
}
