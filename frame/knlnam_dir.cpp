/*
 * knlnam_dir.cpp - directories and whole files: create and remove
 * directories, delete, rename, move across devices, copy, compare, and
 * enumerate directory entries.
 *
 * Enumeration hands out a record of a handle pool as its handle; entries are filtered
 * by an OS/2-style attribute mask (normal files always, hidden, system and
 * directory entries only when their bit is in the mask) and reported with
 * ANSI names and DOS dates.  Copies go through the library's own open
 * calls in blocks; a short write ends the copy with 112 (disk full) and a
 * copy onto the source itself is refused before anything is truncated.
 */
#include <stdlib.h>
#include <string.h>
#include "frame/handle_pool.h"
#include "frame/knlnamint.h"
#include "frame/scope.h"

static_assert(sizeof(KNLFINDBUF) == 286);
#include "frame/dosint.h"
#include "dos.h"

namespace orin::knlnam {
namespace {

constexpr auto COPY_BLOCK = 65536;
constexpr auto ERR_NOT_SAME_DEVICE = 17;
constexpr auto ERR_FILE_EXISTS = 80;
constexpr auto FIND_FILTERED_ATTRS = (KNLNAM_ATTR_HIDDEN | KNLNAM_ATTR_SYSTEM | KNLNAM_ATTR_DIRECTORY);

USHORT runOnName(const char *name, BOOL (WINAPI *fn)(LPCWSTR))
{
    WCHAR wide[KNLNAM_MAXPATH];
    USHORT err = knlNamToWide(name, wide, KNLNAM_MAXPATH);
    if (err)
        return err;
    QuietErrors quiet;
    if (!fn(wide))
        err = knlNamLastError();
    return err;
}

BOOL WINAPI makeDirectory(LPCWSTR name) { return CreateDirectoryW(name, NULL); }

/* A file opened through KnlNamOpen, closed however the scope ends. */
class OpenedFile {
public:
    USHORT open(void *ns, const char *name, ULONG openFlags, ULONG mode) noexcept
    {
        ULONG action;
        KNLHFILE h;
        USHORT err = KnlNamOpen(ns, name, &h, &action, 0, 0, openFlags, mode, 0);
        if (!err)
            owner_.reset(KNLNAM_TO_HANDLE(h));
        return err;
    }
    KNLHFILE get() const noexcept { return KNLNAM_FROM_HANDLE(owner_.get()); }
    void close() noexcept { owner_.reset(); }

private:
    orin::UniqueHandle owner_;
};

/* A block for copies and compares; null without memory. */
orin::UniqueMalloc<char> copyBlock() noexcept
{
    return orin::UniqueMalloc<char>(static_cast<char *>(malloc(COPY_BLOCK)));
}

USHORT openForCopy(void *ns, const char *to, ULONG flags, OpenedFile &dst)
{
    ULONG pos;
    ULONG mode = KNLNAM_ACCESS_WRITE | KNLNAM_SHARE_DENYALL;
    USHORT err;

    if (flags & KNLNAM_COPY_APPEND) {
        err = dst.open(ns, to, KNLNAM_OPEN_ALWAYS, mode);
        if (!err)
            err = KnlNamChgFilePtr(ns, dst.get(), 0, KNLNAM_SEEK_END, &pos);
        return err;
    }
    if (!(flags & KNLNAM_COPY_REPLACE) && KnlNamQFileExist(ns, to))
        return ERR_FILE_EXISTS;
    return dst.open(ns, to, KNLNAM_OPEN_CREATE, mode);
}

USHORT copyBlocks(void *ns, KNLHFILE src, KNLHFILE dst, char *block)
{
    for (;;) {
        ULONG got = 0, put = 0;
        USHORT err = KnlNamRead(ns, src, block, COPY_BLOCK, &got);
        if (err)
            return err;
        if (got == 0)
            return 0;
        if ((err = KnlNamWrite(ns, dst, block, got, &put)) != 0)
            return err;
        if (put < got)
            return ORIN_ERR_DISK_FULL;
        if (dosCopySoundFlag())
            DosBeep(DOS_COPY_SOUND_FREQ, DOS_COPY_SOUND_MS);
    }
}

void copyLastWriteTime(KNLHFILE src, KNLHFILE dst)
{
    FILETIME t;
    if (GetFileTime(KNLNAM_TO_HANDLE(src), NULL, NULL, &t))
        SetFileTime(KNLNAM_TO_HANDLE(dst), NULL, NULL, &t);
}

/* Reads both files block by block; *equal stays 1 while they agree. */
USHORT compareBlocks(void *ns, KNLHFILE a, KNLHFILE b, char *blockA, char *blockB,
                            ULONG *equal)
{
    USHORT err = 0;
    *equal = 1;
    while (*equal) {
        ULONG gotA = 0, gotB = 0;
        if ((err = KnlNamRead(ns, a, blockA, COPY_BLOCK, &gotA)) != 0
            || (err = KnlNamRead(ns, b, blockB, COPY_BLOCK, &gotB)) != 0) {
            *equal = 0;
            break;
        }
        if (gotA != gotB || memcmp(blockA, blockB, gotA) != 0)
            *equal = 0;
        if (gotA == 0)
            break;
    }
    return err;
}

/* Each enumeration is a record in a handle pool, so a handle is checked
 * by value and a wrong or closed one is never read through. */
struct FindRecord {
    orin::UniqueFindHandle h;
    ULONG attrMask;
};

constinit orin::HandlePool<FindRecord> finds;

BOOL entryWanted(const WIN32_FIND_DATAA *fd, ULONG mask)
{
    ULONG attrs = knlNamAttrFromSystem(fd->dwFileAttributes);
    return (attrs & FIND_FILTERED_ATTRS & ~mask) == 0;
}

void fillFindBuf(const WIN32_FIND_DATAA *fd, KNLFINDBUF *buf)
{
    memset(buf, 0, sizeof *buf);
    knlNamFileTimeToDos(&fd->ftLastWriteTime, &buf->fdateLastWrite, &buf->ftimeLastWrite);
    knlNamFileTimeToDos((fd->ftCreationTime.dwLowDateTime || fd->ftCreationTime.dwHighDateTime)
                            ? &fd->ftCreationTime : &fd->ftLastWriteTime,
                        &buf->fdateCreation, &buf->ftimeCreation);
    knlNamFileTimeToDos((fd->ftLastAccessTime.dwLowDateTime || fd->ftLastAccessTime.dwHighDateTime)
                            ? &fd->ftLastAccessTime : &fd->ftLastWriteTime,
                        &buf->fdateLastAccess, &buf->ftimeLastAccess);
    buf->cbFile = fd->nFileSizeLow;
    buf->cbFileAlloc = fd->nFileSizeLow;
    buf->attrFile = knlNamAttrFromSystem(fd->dwFileAttributes);
    knlNamCopy(buf->achName, fd->cFileName, sizeof buf->achName);
    buf->cchName = (BYTE)(strlen(buf->achName) > 255 ? 255 : strlen(buf->achName));
}

/* Steps to the next wanted entry, starting with the one in fd. */
USHORT nextWanted(FindRecord &rec, WIN32_FIND_DATAA *fd, KNLFINDBUF *buf)
{
    while (!entryWanted(fd, rec.attrMask)) {
        if (!FindNextFileA(rec.h.get(), fd))
            return KNLNAM_ERR_NO_MORE_FILES;
    }
    fillFindBuf(fd, buf);
    return 0;
}

FindRecord *findRecord(ULONG_PTR hFind)
{
    return finds.get(reinterpret_cast<const void *>(hFind));
}

}  // namespace
}  // namespace orin::knlnam

using namespace orin::knlnam;


USHORT ORINAPI KnlNamMkDir(void *ns, const char *name) noexcept  { return runOnName(name, makeDirectory); }
USHORT ORINAPI KnlNamRmDir(void *ns, const char *name) noexcept  { return runOnName(name, RemoveDirectoryW); }
USHORT ORINAPI KnlNamDelete(void *ns, const char *name) noexcept { return runOnName(name, DeleteFileW); }

USHORT ORINAPI KnlNamMove(void *ns, const char *from, const char *to) noexcept
{
    WCHAR wfrom[KNLNAM_MAXPATH], wto[KNLNAM_MAXPATH];
    USHORT err;
    if ((err = knlNamToWide(from, wfrom, KNLNAM_MAXPATH)) != 0
        || (err = knlNamToWide(to, wto, KNLNAM_MAXPATH)) != 0)
        return err;
    QuietErrors quiet;
    if (!MoveFileW(wfrom, wto))
        err = knlNamLastError();
    return err;
}

USHORT ORINAPI KnlNamMoveDev(void *ns, const char *from, const char *to) noexcept
{
    USHORT err;
    if (!from || !to)
        return ORIN_ERR_INVALID_PARAM;
    if (KnlNamIsTheSameFile(from, to))
        return KnlNamMove(ns, from, to);    /* a change of case only */
    KnlNamDelete(ns, to);
    err = KnlNamMove(ns, from, to);
    if (err == ERR_NOT_SAME_DEVICE || (err && from[0] == '\\' && from[1] == '\\')) {
        err = KnlNamCopy(ns, from, to, KNLNAM_COPY_REPLACE, 0);
        if (!err)
            err = KnlNamDelete(ns, from);
    }
    return err;
}

/* ---- copy and compare ------------------------------------------------------ */

USHORT ORINAPI KnlNamCopy(void *ns, const char *from, const char *to, ULONG flags,
                          ULONG options) noexcept
{
    OpenedFile src, dst;
    USHORT err;

    if (!from || !to)
        return ORIN_ERR_INVALID_PARAM;
    if (KnlNamIsTheSameFile(from, to))
        return ORIN_ERR_ACCESS_DENIED;
    if ((err = src.open(ns, from, KNLNAM_OPEN_EXISTING, KNLNAM_SHARE_DENYWRITE)) != 0)
        return err;
    orin::UniqueMalloc<char> block = copyBlock();
    if (!block)
        return ORIN_ERR_NO_MEMORY;
    if ((err = openForCopy(ns, to, flags, dst)) != 0)
        return err;
    err = copyBlocks(ns, src.get(), dst.get(), block.get());
    if (!err && !(flags & KNLNAM_COPY_APPEND))
        copyLastWriteTime(src.get(), dst.get());
    dst.close();
    if (err && !(flags & KNLNAM_COPY_APPEND))
        KnlNamDelete(ns, to);           /* no half copies */
    return err;
}

USHORT ORINAPI KnlNamCompareFile(void *ns, const char *a, const char *b, ULONG *equal) noexcept
{
    OpenedFile fa, fb;
    ULONG sizeA = 0, sizeB = 0;
    USHORT err;

    if (!equal)
        return ORIN_ERR_INVALID_PARAM;
    *equal = 0;
    if ((err = fa.open(ns, a, KNLNAM_OPEN_EXISTING, KNLNAM_SHARE_DENYNONE)) != 0
        || (err = fb.open(ns, b, KNLNAM_OPEN_EXISTING, KNLNAM_SHARE_DENYNONE)) != 0)
        return err;
    orin::UniqueMalloc<char> blockA = copyBlock(), blockB = copyBlock();
    if (!blockA || !blockB)
        return ORIN_ERR_NO_MEMORY;
    if ((err = KnlNamQFileSize(ns, fa.get(), &sizeA)) != 0
        || (err = KnlNamQFileSize(ns, fb.get(), &sizeB)) != 0 || sizeA != sizeB)
        return err;
    return compareBlocks(ns, fa.get(), fb.get(), blockA.get(), blockB.get(), equal);
}

/* ---- enumeration ---------------------------------------------------------------- */

USHORT ORINAPI KnlNamFindFirst(void *ns, const char *pattern, ULONG attrMask,
                               ULONG_PTR *hFind, KNLFINDBUF *buf, ULONG size) noexcept
{
    if (!hFind)
        return ORIN_ERR_INVALID_PARAM;
    *hFind = KNLNAM_FIND_HANDLE_NONE;
    if (!pattern || !buf)
        return ORIN_ERR_INVALID_PARAM;
    if (strlen(pattern) > KNLNAM_MAXNAME)
        return ORIN_ERR_INVALID_NAME;
    if (size < sizeof(KNLFINDBUF))
        return ORIN_ERR_BUFFER_TOO_SMALL;
    auto rec = finds.tryMake();
    if (!rec)
        return ORIN_ERR_NO_MEMORY;
    WIN32_FIND_DATAA fd;
    USHORT err;
    {
        QuietErrors quiet;
        rec->h.reset(FindFirstFileA(pattern, &fd));
        err = rec->h.get() == INVALID_HANDLE_VALUE ? knlNamLastError() : 0;
    }
    if (err)
        return err == ORIN_ERR_FILE_NOT_FOUND ? KNLNAM_ERR_NO_MORE_FILES : err;
    rec->attrMask = attrMask;
    if ((err = nextWanted(*rec, &fd, buf)) != 0)
        return err;
    *hFind = reinterpret_cast<ULONG_PTR>(rec.release());
    return 0;
}

USHORT ORINAPI KnlNamFindNext(void *ns, ULONG_PTR hFind, KNLFINDBUF *buf, ULONG size) noexcept
{
    WIN32_FIND_DATAA fd;
    FindRecord *rec = findRecord(hFind);
    if (!rec)
        return ORIN_ERR_INVALID_HANDLE;
    if (!buf)
        return ORIN_ERR_INVALID_PARAM;
    if (size < sizeof(KNLFINDBUF))
        return ORIN_ERR_BUFFER_TOO_SMALL;
    if (!FindNextFileA(rec->h.get(), &fd))
        return KNLNAM_ERR_NO_MORE_FILES;
    return nextWanted(*rec, &fd, buf);
}

USHORT ORINAPI KnlNamFindClose(void *ns, ULONG_PTR hFind) noexcept
{
    FindRecord *rec = findRecord(hFind);
    if (!rec)
        return ORIN_ERR_INVALID_HANDLE;
    finds.destroy(rec);
    return 0;
}
