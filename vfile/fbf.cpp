/*
 * fbf.c - buffered files: the process-wide table of open files and the
 * operations that do not go through the read cache (open, close,
 * positioning, direct reads, write-through, locks, sizes, file
 * information, mapped views) plus the Vbf table of the family.
 *
 * Method.  The table has FBF_MAX_FILES entries, used from index 0 upward;
 * entries given back by a last close are chained into a free list through
 * their osHandle word and reused first.  Opening a name that an entry in
 * use already holds (compared ignoring case) only counts one more user and
 * hands out a new handle with its own position: the operating-system
 * handle, the cached pages, the known length and the mapped view stay
 * shared.  Every transfer therefore puts the shared handle's pointer at
 * the caller's position first; the entry remembers where that pointer
 * stands after each call, so the seek is left out when the pointer is
 * already there (sequential reads then cost one system call per page).
 * The file length is remembered once asked and kept up to date by writes
 * and size changes, so seeks from the end cost no system call.
 */
#include <stdlib.h>
#include <string.h>
#include "vfile/fbfint.h"
#include "vfile/vbfint.h"
#include "knlnam.h"

FBFENTRY fbfFiles[FBF_MAX_FILES];
static SHORT fbfFreeHead = FBF_NO_ENTRY;
static USHORT fbfUsedCount;              /* entries ever used (high-water mark) */

/* A handle opened for reading only may not write, even when the shared
 * operating-system handle (opened by an earlier caller) could. */
#define FBF_ACCESS_MASK  0x03

#define FBF_NS(h)        ((void *)(h)->user)
#define FBF_ENTRY(h)     (&fbfFiles[(h)->fileIndex])

HANDLE FbfOsHandle(const FBFENTRY *e)
{
    return (HANDLE)(LONG_PTR)(LONG)e->osHandle;
}

static int findOpenEntry(const char *name)
{
    int i;

    for (i = 0; i < fbfUsedCount; i++) {
        if (fbfFiles[i].useCount != 0 && lstrcmpiA(fbfFiles[i].name, name) == 0)
            return i;
    }
    return FBF_NO_ENTRY;
}

/* Takes an entry for a new name: the free-list head, else the next
 * never-used one; FBF_NO_ENTRY when the table is full. */
static int takeEntry(void)
{
    int i;

    if (fbfFreeHead != FBF_NO_ENTRY) {
        i = fbfFreeHead;
        fbfFreeHead = (SHORT)(LONG)fbfFiles[i].osHandle;
        return i;
    }
    if (fbfUsedCount < FBF_MAX_FILES)
        return fbfUsedCount++;
    return FBF_NO_ENTRY;
}

static void giveBackEntry(int i)
{
    fbfFiles[i].useCount = 0;
    fbfFiles[i].osHandle = (ULONG)(LONG)fbfFreeHead;
    fbfFreeHead = (SHORT)i;
}

USHORT ORINAPI FbfOpen(ULONG_PTR context, const char *name, HFBF *handle, ULONG *action,
                       ULONG initialSize, ULONG attribute, ULONG openFlags, ULONG openMode,
                       ULONG_PTR extra) noexcept
{
    char shortName[FBF_MAX_NAME + 1];
    FBFENTRY *e;
    KNLHFILE os;
    HFBF h;
    int i;
    USHORT rc;

    if (handle == NULL || name == NULL)
        return ORIN_ERR_INVALID_PARAM;
    *handle = NULL;
    lstrcpynA(shortName, name, sizeof shortName);
    h = (HFBF)calloc(1, sizeof *h);
    if (h == NULL)
        return ORIN_ERR_NO_MEMORY;
    h->openMode = (USHORT)openMode;
    h->user = context;

    i = findOpenEntry(shortName);
    if (i != FBF_NO_ENTRY) {
        fbfFiles[i].useCount++;
        h->fileIndex = (USHORT)i;
        *handle = h;
        return 0;
    }
    i = takeEntry();
    if (i == FBF_NO_ENTRY) {
        free(h);
        return ORIN_ERR_TOO_MANY_FILES;
    }
    rc = KnlNamOpen((void *)context, shortName, &os, action, initialSize, attribute,
                    openFlags, openMode, 0);
    if (rc != 0) {
        giveBackEntry(i);
        free(h);
        return rc;
    }
    e = &fbfFiles[i];
    memset(e, 0, sizeof *e);
    strcpy(e->name, shortName);
    e->osHandle = os;
    e->useCount = 1;
    e->knownLength = FBF_LENGTH_UNKNOWN;
    e->osPosition = FBF_OSPOS_UNKNOWN;
    h->fileIndex = (USHORT)i;
    *handle = h;
    return 0;
}

static USHORT unmapView(FBFENTRY *e)
{
    USHORT rc = 0;

    if (e->view != NULL && !UnmapViewOfFile(e->view))
        rc = (USHORT)GetLastError();
    if (e->mapping != NULL)
        CloseHandle(e->mapping);
    e->view = NULL;
    e->mapping = NULL;
    return rc;
}

USHORT ORINAPI FbfClose(HFBF h) noexcept
{
    FBFENTRY *e;
    USHORT rc = 0;

    if (h == NULL)
        return ORIN_ERR_INVALID_HANDLE;
    e = FBF_ENTRY(h);
    if (e->useCount > 0 && --e->useCount == 0) {
        FbfReleaseFilePages(h->fileIndex);
        unmapView(e);
        rc = KnlNamClose(FBF_NS(h), e->osHandle);
        giveBackEntry(h->fileIndex);
    }
    free(h);
    return rc;
}

/* The file length, asked of the operating system when not yet known. */
static USHORT knownLength(HFBF h, ULONG *length)
{
    FBFENTRY *e = FBF_ENTRY(h);
    ULONG len;
    USHORT rc;

    if (e->knownLength == FBF_LENGTH_UNKNOWN) {
        rc = KnlNamChgFilePtr(FBF_NS(h), e->osHandle, 0, KNLNAM_SEEK_END, &len);
        e->osPosition = rc == 0 ? (LONGLONG)len : FBF_OSPOS_UNKNOWN;
        if (rc != 0)
            return rc;
        e->knownLength = (LONG)len;
    }
    *length = (ULONG)e->knownLength;
    return 0;
}

USHORT ORINAPI FbfChgFilePtr(HFBF h, LONG distance, ULONG method, ULONG *newPos) noexcept
{
    LONGLONG base, target;
    ULONG len;
    USHORT rc;

    if (h == NULL)
        return ORIN_ERR_INVALID_HANDLE;
    switch (method) {
    case VBF_FILE_BEGIN:
        base = 0;
        break;
    case VBF_FILE_CURRENT:
        base = h->position;
        break;
    case VBF_FILE_END:
        rc = knownLength(h, &len);
        if (rc != 0)
            return rc;
        base = len;
        break;
    default:
        base = -1;
        break;
    }
    if (base >= 0) {
        target = base + distance;
        h->position = target < 0 ? 0 : (ULONG)target;
    }
    if (newPos)
        *newPos = h->position;
    return 0;
}

/* Puts the shared handle's pointer at `offset`. */
static USHORT seekOs(HFBF h, ULONG offset)
{
    FBFENTRY *e = FBF_ENTRY(h);
    ULONG pos;
    USHORT rc;

    if (e->osPosition == (LONGLONG)offset)
        return 0;
    rc = KnlNamChgFilePtr(FBF_NS(h), e->osHandle, (LONG)offset, KNLNAM_SEEK_BEGIN, &pos);
    e->osPosition = rc == 0 ? (LONGLONG)offset : FBF_OSPOS_UNKNOWN;
    return rc;
}

/* Notes where the pointer stands after a transfer of `done` bytes. */
static void advanceOs(FBFENTRY *e, USHORT rc, ULONG done)
{
    if (rc != 0)
        e->osPosition = FBF_OSPOS_UNKNOWN;
    else if (e->osPosition != FBF_OSPOS_UNKNOWN)
        e->osPosition += done;
}

/* Reads at a file offset through the shared handle; *flag (when given)
 * gets FBF_FILL_SEEK_FAILED or FBF_FILL_READ_FAILED on a failure. */
USHORT FbfOsReadAt(HFBF h, ULONG offset, void *buffer, ULONG count, ULONG *done, int *flag)
{
    FBFENTRY *e = FBF_ENTRY(h);
    USHORT rc;

    *done = 0;
    rc = seekOs(h, offset);
    if (rc != 0) {
        if (flag)
            *flag = FBF_FILL_SEEK_FAILED;
        return rc;
    }
    rc = KnlNamRead(FBF_NS(h), e->osHandle, buffer, count, done);
    advanceOs(e, rc, *done);
    if (rc != 0 && flag)
        *flag = FBF_FILL_READ_FAILED;
    return rc;
}

USHORT ORINAPI FbfReadDirect(HFBF h, void *buffer, ULONG count, ULONG *read) noexcept
{
    ULONG done = 0;
    USHORT rc;

    if (h == NULL)
        return ORIN_ERR_INVALID_HANDLE;
    if (buffer == NULL && count != 0)
        return ORIN_ERR_INVALID_PARAM;
    rc = FbfOsReadAt(h, h->position, buffer, count, &done, NULL);
    h->position += done;
    if (read)
        *read = done;
    return rc;
}

USHORT ORINAPI FbfWrite(HFBF h, const void *buffer, ULONG count, ULONG *written) noexcept
{
    FBFENTRY *e;
    ULONG done = 0;
    USHORT rc;

    if (written)
        *written = 0;
    if (h == NULL)
        return ORIN_ERR_INVALID_HANDLE;
    if (buffer == NULL && count != 0)
        return ORIN_ERR_INVALID_PARAM;
    if ((h->openMode & FBF_ACCESS_MASK) == VBF_MODE_READ)
        return ORIN_ERR_ACCESS_DENIED;
    e = FBF_ENTRY(h);
    rc = seekOs(h, h->position);
    if (rc != 0)
        return rc;
    rc = KnlNamWrite(FBF_NS(h), e->osHandle, buffer, count, &done);
    advanceOs(e, rc, done);
    if (rc != 0)
        return rc;
    if (e->knownLength != FBF_LENGTH_UNKNOWN && h->position + done > (ULONG)e->knownLength)
        e->knownLength = (LONG)(h->position + done);
    FbfPatchPages(h->fileIndex, h->position, (const BYTE*)buffer, done);
    h->position += done;
    if (written)
        *written = done;
    return done < count ? ORIN_ERR_DISK_FULL : 0;
}

static USHORT fileLocks(HFBF h, FILELOCK *unlockRange, FILELOCK *lockRange)
{
    if (h == NULL)
        return ORIN_ERR_INVALID_HANDLE;
    return KnlNamFileLocksEx(FBF_NS(h), FBF_ENTRY(h)->osHandle, unlockRange, lockRange);
}

/* Locks every range exclusively. */
USHORT ORINAPI FbfFileLocks(HFBF h, FILELOCK *unlockRange, FILELOCK *lockRange) noexcept
{
    if (h != NULL && lockRange != NULL)
        lockRange->exclusive = 1;
    return fileLocks(h, unlockRange, lockRange);
}

/* Locks exclusively or shared as the lock range says. */
USHORT ORINAPI FbfFileLocksEx(HFBF h, FILELOCK *unlockRange, FILELOCK *lockRange) noexcept
{
    return fileLocks(h, unlockRange, lockRange);
}

ULONG ORINAPI FbfTell(HFBF h) noexcept
{
    return h != NULL ? h->position : (ULONG)-1;
}

USHORT ORINAPI FbfQueryLength(HFBF h, ULONG *length) noexcept
{
    if (h == NULL)
        return ORIN_ERR_INVALID_HANDLE;
    if (length == NULL)
        return ORIN_ERR_INVALID_PARAM;
    return knownLength(h, length);
}

USHORT ORINAPI FbfNewSize(HFBF h, ULONG newLength) noexcept
{
    FBFENTRY *e;
    ULONG oldLength;
    USHORT rc;

    if (h == NULL)
        return ORIN_ERR_INVALID_HANDLE;
    e = FBF_ENTRY(h);
    rc = knownLength(h, &oldLength);
    if (rc == 0)
        rc = KnlNamNewSize(FBF_NS(h), e->osHandle, newLength);
    e->osPosition = FBF_OSPOS_UNKNOWN;
    e->knownLength = rc == 0 ? (LONG)newLength : FBF_LENGTH_UNKNOWN;
    /* Any change of size invalidates cached pages: a shrink leaves bytes
     * past the new end, a growth leaves the old last page ending early. */
    if (rc != 0 || newLength != oldLength) {
        FbfReleaseFilePages(h->fileIndex);
        e->knownLength = FBF_LENGTH_UNKNOWN;
    }
    return rc;
}

USHORT ORINAPI FbfQueryFilename(HFBF h, char *buffer, ULONG size) noexcept
{
    if (h == NULL)
        return ORIN_ERR_INVALID_HANDLE;
    if (buffer == NULL || size == 0)
        return ORIN_ERR_INVALID_PARAM;
    lstrcpynA(buffer, FBF_ENTRY(h)->name, size > FBF_MAX_NAME + 1 ? FBF_MAX_NAME + 1 : (int)size);
    return 0;
}

static USHORT checkInfoArgs(HFBF h, ULONG level, const void *buffer, ULONG size)
{
    if (h == NULL)
        return ORIN_ERR_INVALID_HANDLE;
    if (level != VBF_INFO_LEVEL_STANDARD)
        return ORIN_ERR_INVALID_LEVEL;
    if (buffer == NULL || size < VBF_FILESTATUS_SIZE)
        return ORIN_ERR_INVALID_PARAM;
    return 0;
}

/* The file calls keep dates and times in 16-bit words; the virtual-file
 * record holds each in a 32-bit word.  Both describe the same values. */
USHORT ORINAPI FbfQFileInfo(HFBF h, ULONG level, void *buffer, ULONG size) noexcept
{
    KNLFILESTATUS ks;
    VBFFILESTATUS vs = {0};
    USHORT rc = checkInfoArgs(h, level, buffer, size);

    if (rc == 0)
        rc = KnlNamQFileInfo(FBF_NS(h), FBF_ENTRY(h)->osHandle, KNLNAM_INFO_LEVEL1, &ks,
                             sizeof ks);
    if (rc != 0)
        return rc;
    vs.fdateCreation = ks.fdateCreation;
    vs.ftimeCreation = ks.ftimeCreation;
    vs.fdateLastAccess = ks.fdateLastAccess;
    vs.ftimeLastAccess = ks.ftimeLastAccess;
    vs.fdateLastWrite = ks.fdateLastWrite;
    vs.ftimeLastWrite = ks.ftimeLastWrite;
    vs.cbFile = ks.cbFile;
    vs.cbFileAlloc = ks.cbFileAlloc;
    vs.attrFile = (USHORT)ks.attrFile;
    memcpy(buffer, &vs, VBF_FILESTATUS_SIZE);
    return 0;
}

USHORT ORINAPI FbfSetFileInfo(HFBF h, ULONG level, void *buffer, ULONG size) noexcept
{
    KNLFILESTATUS ks = {0};
    VBFFILESTATUS vs;
    USHORT rc = checkInfoArgs(h, level, buffer, size);

    if (rc != 0)
        return rc;
    memcpy(&vs, buffer, VBF_FILESTATUS_SIZE);
    ks.fdateCreation = (USHORT)vs.fdateCreation;
    ks.ftimeCreation = (USHORT)vs.ftimeCreation;
    ks.fdateLastAccess = (USHORT)vs.fdateLastAccess;
    ks.ftimeLastAccess = (USHORT)vs.ftimeLastAccess;
    ks.fdateLastWrite = (USHORT)vs.fdateLastWrite;
    ks.ftimeLastWrite = (USHORT)vs.ftimeLastWrite;
    ks.cbFile = vs.cbFile;
    ks.cbFileAlloc = vs.cbFileAlloc;
    ks.attrFile = vs.attrFile;
    return KnlNamSetFileInfo(FBF_NS(h), FBF_ENTRY(h)->osHandle, KNLNAM_INFO_LEVEL1, &ks,
                             sizeof ks);
}

/* One view per file: a second request gets the first view whatever its
 * arguments, so every handle on the file sees the same addresses. */
USHORT ORINAPI FbfMapViewOfFile(HFBF h, void **view, ULONG bytes, ULONG offsetHigh,
                                ULONG offsetLow) noexcept
{
    FBFENTRY *e;

    if (h == NULL)
        return ORIN_ERR_INVALID_HANDLE;
    if (view == NULL)
        return ORIN_ERR_INVALID_PARAM;
    e = FBF_ENTRY(h);
    if (e->view == NULL) {
        if (e->mapping == NULL)
            e->mapping = CreateFileMappingA(FbfOsHandle(e), NULL, PAGE_READWRITE, 0, 0, NULL);
        if (e->mapping == NULL)
            return (USHORT)GetLastError();
        e->view = MapViewOfFile(e->mapping, FILE_MAP_WRITE, offsetHigh, offsetLow, bytes);
        if (e->view == NULL)
            return (USHORT)GetLastError();
    }
    *view = e->view;
    return 0;
}

USHORT ORINAPI FbfUnmapViewOfFile(HFBF h) noexcept
{
    if (h == NULL)
        return ORIN_ERR_INVALID_HANDLE;
    return unmapView(FBF_ENTRY(h));
}

VBFFUNCS *ORINAPI FbfAllocVbfFuncStruct(void *nameSpace) noexcept
{
    VBFFUNCS *t = (VBFFUNCS*)calloc(1, sizeof *t);

    if (t == NULL)
        return NULL;
    t->cb = sizeof *t;
    t->context = (ULONG_PTR)nameSpace;
    t->Open = (PFNVBFOPEN)FbfOpen;
    t->Close = (PFNVBFCLOSE)FbfClose;
    t->ChgFilePtr = (PFNVBFCHGFILEPTR)FbfChgFilePtr;
    t->Read = (PFNVBFREAD)FbfRead;
    t->ReadDirect = (PFNVBFREAD)FbfReadDirect;
    t->Write = (PFNVBFWRITE)FbfWrite;
    t->Getch = (PFNVBFGETCH)FbfGetch;
    t->Gets = (PFNVBFGETS)FbfGets;
    t->Flush = (PFNVBFFLUSH)FbfFlush;
    t->FileLocks = (PFNVBFFILELOCKS)FbfFileLocks;
    t->FileLocksEx = (PFNVBFFILELOCKS)FbfFileLocksEx;
    t->Tell = (PFNVBFTELL)FbfTell;
    t->QueryLength = (PFNVBFQUERYLENGTH)FbfQueryLength;
    t->NewSize = (PFNVBFNEWSIZE)FbfNewSize;
    t->QueryFilename = (PFNVBFQUERYFILENAME)FbfQueryFilename;
    t->QFileInfo = (PFNVBFFILEINFO)FbfQFileInfo;
    t->SetFileInfo = (PFNVBFFILEINFO)FbfSetFileInfo;
    t->MapViewOfFile = (PFNVBFMAPVIEW)FbfMapViewOfFile;
    t->UnmapViewOfFile = (PFNVBFUNMAPVIEW)FbfUnmapViewOfFile;
    t->extra = 0;
    return t;
}
