/*
 * vbf.c - the Vbf handle: opening, closing and the dispatchers.
 *
 * A handle is a small record holding the table of operations, the
 * back-end handle that the table's Open produced and a flag saying whether
 * the handle owns (and so frees) the table.  Every public call looks up its
 * slot with VBF_SLOT: the slot is used only when the table's length word
 * reaches past it and the slot is filled; otherwise the call answers 50
 * (not supported).  The dispatchers keep no state and do not touch the
 * thread's last error, so a back-end's code reaches the caller unchanged.
 */
#include <stddef.h>
#include <stdlib.h>
#include "vfile/vbfint.h"
#include "fbf.h"

/* The slot `field` of the handle's table, or null when the table is too
 * short to hold it or leaves it empty. */
#define VBF_HAS_SLOT(t, field) \
    ((t) != NULL && (t)->cb >= offsetof(VBFFUNCS, field) + sizeof((t)->field) && (t)->field != NULL)
#define VBF_SLOT(h, field) \
    (((h) != NULL && VBF_HAS_SLOT((h)->table, field)) ? (h)->table->field : NULL)

HVBF VbfWrapBackend(VBFFUNCS *table, void *backend)
{
    HVBF h = (HVBF)calloc(1, sizeof *h);
    if (h == NULL)
        return NULL;
    h->table = table;
    h->backend = backend;
    h->ownsTable = 1;
    return h;
}

USHORT ORINAPI VbfOpen(void *nameSpace, const char *fileName, HVBF *handle, ULONG *action,
                       ULONG initialSize, ULONG attribute, ULONG openFlags, ULONG openMode,
                       VBFFUNCS *funcStruct) noexcept
{
    HVBF h;
    USHORT rc;

    if (handle == NULL || fileName == NULL)
        return ORIN_ERR_INVALID_PARAM;
    *handle = NULL;
    h = (HVBF)calloc(1, sizeof *h);
    if (h == NULL)
        return ORIN_ERR_NO_MEMORY;
    if (funcStruct != NULL) {
        h->table = funcStruct;
    } else {
        h->table = FbfAllocVbfFuncStruct(nameSpace);
        if (h->table == NULL) {
            free(h);
            return ORIN_ERR_NO_MEMORY;
        }
        h->ownsTable = 1;
    }
    if (!VBF_HAS_SLOT(h->table, Open)) {
        rc = ORIN_ERR_NOT_SUPPORTED;
    } else {
        rc = h->table->Open(h->table->context, fileName, &h->backend, action, initialSize,
                            attribute, openFlags, openMode,
                            h->table->cb >= sizeof(VBFFUNCS) ? h->table->extra : 0);
    }
    if (rc != 0) {
        if (h->ownsTable)
            free(h->table);
        free(h);
        return rc;
    }
    *handle = h;
    return 0;
}

USHORT ORINAPI VbfClose(HVBF handle) noexcept
{
    PFNVBFCLOSE fn = VBF_SLOT(handle, Close);
    USHORT rc;

    if (handle == NULL)
        return ORIN_ERR_INVALID_HANDLE;
    rc = fn ? fn(handle->backend) : ORIN_ERR_NOT_SUPPORTED;
    if (handle->ownsTable)
        free(handle->table);
    free(handle);
    return rc;
}

/* Dispatch to `field` with the back-end handle and the given arguments. */
#define VBF_DISPATCH(h, field, ...)                                  \
    do {                                                             \
        if ((h) == NULL)                                             \
            return ORIN_ERR_INVALID_HANDLE;                          \
        if (!VBF_HAS_SLOT((h)->table, field))                        \
            return ORIN_ERR_NOT_SUPPORTED;                           \
        return (h)->table->field((h)->backend, ##__VA_ARGS__);       \
    } while (0)

USHORT ORINAPI VbfChgFilePtr(HVBF h, LONG distance, ULONG method, ULONG *newPos) noexcept
{
    VBF_DISPATCH(h, ChgFilePtr, distance, method, newPos);
}

USHORT ORINAPI VbfRead(HVBF h, void *buffer, ULONG count, ULONG *read) noexcept
{
    VBF_DISPATCH(h, Read, buffer, count, read);
}

USHORT ORINAPI VbfReadDirect(HVBF h, void *buffer, ULONG count, ULONG *read) noexcept
{
    VBF_DISPATCH(h, ReadDirect, buffer, count, read);
}

USHORT ORINAPI VbfWrite(HVBF h, const void *buffer, ULONG count, ULONG *written) noexcept
{
    VBF_DISPATCH(h, Write, buffer, count, written);
}

USHORT ORINAPI VbfGetch(HVBF h, BYTE *ch) noexcept
{
    VBF_DISPATCH(h, Getch, ch);
}

USHORT ORINAPI VbfGets(HVBF h, char *buffer, ULONG size, ULONG *consumed) noexcept
{
    VBF_DISPATCH(h, Gets, buffer, size, consumed);
}

USHORT ORINAPI VbfFlush(HVBF h) noexcept
{
    VBF_DISPATCH(h, Flush);
}

USHORT ORINAPI VbfFileLocks(HVBF h, FILELOCK *unlockRange, FILELOCK *lockRange) noexcept
{
    VBF_DISPATCH(h, FileLocks, unlockRange, lockRange);
}

/* Back-ends without shared locks only fill FileLocks, which locks every
 * range exclusively: the stronger lock is the safe substitute. */
USHORT ORINAPI VbfFileLocksEx(HVBF h, FILELOCK *unlockRange, FILELOCK *lockRange) noexcept
{
    if (h == NULL)
        return ORIN_ERR_INVALID_HANDLE;
    if (VBF_HAS_SLOT(h->table, FileLocksEx))
        return h->table->FileLocksEx(h->backend, unlockRange, lockRange);
    VBF_DISPATCH(h, FileLocks, unlockRange, lockRange);
}

/* Returns the position itself; 50 when the back-end cannot tell (which is
 * ambiguous with a real position 50), 0xFFFFFFFF for a null handle. */
ULONG ORINAPI VbfTell(HVBF h) noexcept
{
    if (h == NULL)
        return (ULONG)-1;
    if (!VBF_HAS_SLOT(h->table, Tell))
        return ORIN_ERR_NOT_SUPPORTED;
    return h->table->Tell(h->backend);
}

USHORT ORINAPI VbfQueryLength(HVBF h, ULONG *length) noexcept
{
    VBF_DISPATCH(h, QueryLength, length);
}

USHORT ORINAPI VbfNewSize(HVBF h, ULONG newLength) noexcept
{
    VBF_DISPATCH(h, NewSize, newLength);
}

USHORT ORINAPI VbfQueryFilename(HVBF h, char *buffer, ULONG size) noexcept
{
    VBF_DISPATCH(h, QueryFilename, buffer, size);
}

USHORT ORINAPI VbfQFileInfo(HVBF h, ULONG level, void *buffer, ULONG size) noexcept
{
    VBF_DISPATCH(h, QFileInfo, level, buffer, size);
}

USHORT ORINAPI VbfSetFileInfo(HVBF h, ULONG level, void *buffer, ULONG size) noexcept
{
    VBF_DISPATCH(h, SetFileInfo, level, buffer, size);
}

USHORT ORINAPI VbfMapViewOfFile(HVBF h, void **view, ULONG bytes, ULONG offsetHigh,
                                ULONG offsetLow) noexcept
{
    VBF_DISPATCH(h, MapViewOfFile, view, bytes, offsetHigh, offsetLow);
}

USHORT ORINAPI VbfUnmapViewOfFile(HVBF h) noexcept
{
    VBF_DISPATCH(h, UnmapViewOfFile);
}
