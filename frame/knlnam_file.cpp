/*
 * knlnam_file.cpp - open files: the OS/2-style open with numeric flags,
 * close, read, write, seek, length, duplicate, flush, file information in
 * DOS date/time form, attributes by name, and temporary files.
 *
 * KnlNamOpen maps its numbers onto the system's open call:
 *   access   open mode 0x02 read/write, else 0x01 write, else read;
 *   sharing  open mode 0x10/0x30 none, 0x20 read, 0x40 read and write,
 *            otherwise read for a read-only open and none for writers;
 *   action   open flags 0x11 open or create, 0x10 create or replace,
 *            0x02 with size 0 truncate, otherwise open existing.
 * Only disk files are accepted; a device or pipe is closed again and
 * refused with 5.  Every call that reaches a drive suppresses the system's
 * critical-error boxes for its duration.
 */
#include <string.h>
#include "frame/knlnamint.h"
#include "frame/scope.h"

static_assert(sizeof(KNLFILESTATUS) == 34);   // level-1 information, packed

namespace orin::knlnam {
namespace {

constexpr auto OPEN_CREATE_ATTRS = (KNLNAM_ATTR_READONLY | KNLNAM_ATTR_HIDDEN | KNLNAM_ATTR_SYSTEM | KNLNAM_ATTR_ARCHIVE);
constexpr char TEMP_PREFIX[] = "ON";   /* two-letter prefix of temporary names */
constexpr auto TEMP_DIR_MAX = 258;
constexpr auto ALLOCATION_UNIT = 4096;   /* allocated size is reported in these units */

DWORD accessFromMode(ULONG mode)
{
    if (mode & KNLNAM_ACCESS_READWRITE)
        return GENERIC_READ | GENERIC_WRITE;
    if (mode & KNLNAM_ACCESS_WRITE)
        return GENERIC_WRITE;
    return GENERIC_READ;
}

DWORD sharingFromMode(ULONG mode)
{
    switch (mode & kOpenShareMask) {
    case KNLNAM_SHARE_DENYALL:
    case KNLNAM_SHARE_DENYALL2:  return 0;
    case KNLNAM_SHARE_DENYWRITE: return FILE_SHARE_READ;
    case KNLNAM_SHARE_DENYNONE:  return FILE_SHARE_READ | FILE_SHARE_WRITE;
    default:
        return (mode & (KNLNAM_ACCESS_WRITE | KNLNAM_ACCESS_READWRITE)) ? 0 : FILE_SHARE_READ;
    }
}

DWORD attributesForCreate(ULONG attribute)
{
    DWORD out = 0;
    if (attribute & KNLNAM_ATTR_READONLY) out |= FILE_ATTRIBUTE_READONLY;
    if (attribute & KNLNAM_ATTR_HIDDEN)   out |= FILE_ATTRIBUTE_HIDDEN;
    if (attribute & KNLNAM_ATTR_SYSTEM)   out |= FILE_ATTRIBUTE_SYSTEM;
    if (attribute & KNLNAM_ATTR_ARCHIVE)  out |= FILE_ATTRIBUTE_ARCHIVE;
    return out ? out : FILE_ATTRIBUTE_NORMAL;
}

/* Chooses the system disposition and the action it will report. */
DWORD dispositionFromFlags(ULONG flags, ULONG size, ULONG *action)
{
    if ((flags & KNLNAM_OPEN_ALWAYS) == KNLNAM_OPEN_ALWAYS) {
        *action = KNLNAM_ACTION_CREATED;   /* corrected after the open */
        return OPEN_ALWAYS;
    }
    if (flags & KNLNAM_OPEN_CREATE) {
        *action = KNLNAM_ACTION_CREATED;
        return CREATE_ALWAYS;
    }
    if ((flags & KNLNAM_OPEN_REPLACE) && size == 0) {
        *action = KNLNAM_ACTION_REPLACED;
        return TRUNCATE_EXISTING;
    }
    *action = KNLNAM_ACTION_EXISTED;
    return OPEN_EXISTING;
}

USHORT createDirectory(const WCHAR *wide, ULONG flags, ULONG *action)
{
    if (flags != KNLNAM_OPEN_CREATE)
        return ORIN_ERR_INVALID_PARAM;
    if (!CreateDirectoryW(wide, NULL))
        return knlNamLastError();
    *action = KNLNAM_ACTION_CREATED;
    return 0;
}

/* Sets the length of an open file and puts the position back. */
USHORT setLengthKeepingPosition(HANDLE h, ULONG size)
{
    LARGE_INTEGER zero, pos, target;
    USHORT err = 0;

    zero.QuadPart = 0;
    target.QuadPart = size;
    if (!SetFilePointerEx(h, zero, &pos, FILE_CURRENT))
        return knlNamLastError();
    if (!SetFilePointerEx(h, target, NULL, FILE_BEGIN) || !SetEndOfFile(h))
        err = knlNamLastError();
    SetFilePointerEx(h, pos, NULL, FILE_BEGIN);
    return err;
}

/* A time the file system does not keep (zero) is the last-write time. */
const FILETIME *timeOrLastWrite(const FILETIME *t, const FILETIME *lastWrite)
{
    return (t->dwLowDateTime || t->dwHighDateTime) ? t : lastWrite;
}

USHORT checkInfoArgs(ULONG level, const void *buf, ULONG size)
{
    if (level != KNLNAM_INFO_LEVEL1)
        return ORIN_ERR_INVALID_LEVEL;
    if (!buf || size < sizeof(KNLFILESTATUS))
        return ORIN_ERR_INVALID_PARAM;
    return 0;
}

/* A date and time of 0 leave that time of the file unchanged. */
const FILETIME *dosTimeOrNull(USHORT date, USHORT time, FILETIME *ft)
{
    if (date == 0 && time == 0)
        return NULL;
    return knlNamDosToFileTime(date, time, ft) ? ft : NULL;
}

}  // namespace
}  // namespace orin::knlnam

using namespace orin::knlnam;


USHORT ORINAPI KnlNamOpen(void *ns, const char *name, KNLHFILE *handle, ULONG *action,
                          ULONG size, ULONG attribute, ULONG openFlags, ULONG openMode,
                          ULONG reserved) noexcept
{
    return orin::knlnam::openFile(name, handle, action, size, attribute, openFlags, openMode, 0);
}

USHORT orin::knlnam::openFile(const char *name, KNLHFILE *handle, ULONG *action, ULONG size,
                              ULONG attribute, ULONG openFlags, ULONG openMode,
                              DWORD systemFlags) noexcept
{
    WCHAR wide[KNLNAM_MAXPATH];
    ULONG act = 0;
    DWORD access, disposition;
    HANDLE h;
    USHORT err;

    if (!handle)
        return ORIN_ERR_INVALID_PARAM;
    *handle = 0;
    if (action)
        *action = 0;
    if (attribute & KNLNAM_ATTR_VOLUME)
        return ORIN_ERR_ACCESS_DENIED;
    if ((err = knlNamToWide(name, wide, KNLNAM_MAXPATH)) != 0)
        return err;

    if (attribute & KNLNAM_ATTR_DIRECTORY) {
        {
            QuietErrors quiet;
            err = createDirectory(wide, openFlags, &act);
        }
        if (action)
            *action = act;
        return err;
    }
    access = accessFromMode(openMode);
    disposition = dispositionFromFlags(openFlags, size, &act);
    {
        QuietErrors quiet;
        h = CreateFileW(wide, access, sharingFromMode(openMode), NULL, disposition,
                        attributesForCreate(attribute & OPEN_CREATE_ATTRS) | FILE_FLAG_RANDOM_ACCESS
                            | systemFlags,
                        NULL);
        if (h == INVALID_HANDLE_VALUE)
            return knlNamLastError();
        if (disposition == OPEN_ALWAYS && GetLastError() == ERROR_ALREADY_EXISTS)
            act = KNLNAM_ACTION_EXISTED;
    }

    orin::UniqueHandle file(h);
    if (GetFileType(h) != FILE_TYPE_DISK)
        return ORIN_ERR_ACCESS_DENIED;
    if ((openFlags & KNLNAM_OPEN_REPLACE) && disposition != TRUNCATE_EXISTING
        && (access & GENERIC_WRITE) && (err = setLengthKeepingPosition(h, size)) != 0)
        return err;
    *handle = KNLNAM_FROM_HANDLE(file.release());
    if (action)
        *action = act;
    return 0;
}

USHORT ORINAPI KnlNamClose(void *ns, KNLHFILE h) noexcept
{
    return CloseHandle(KNLNAM_TO_HANDLE(h)) ? 0 : knlNamLastError();
}

USHORT ORINAPI KnlNamRead(void *ns, KNLHFILE h, void *buf, ULONG count, ULONG *done) noexcept
{
    DWORD n = 0;
    if (done)
        *done = 0;
    if (!buf && count)
        return ORIN_ERR_INVALID_PARAM;
    if (!ReadFile(KNLNAM_TO_HANDLE(h), buf, count, &n, NULL))
        return knlNamLastError();
    if (done)
        *done = n;
    return 0;
}

USHORT ORINAPI KnlNamWrite(void *ns, KNLHFILE h, const void *buf, ULONG count, ULONG *done) noexcept
{
    DWORD n = 0;
    if (done)
        *done = 0;
    if (!buf && count)
        return ORIN_ERR_INVALID_PARAM;
    if (!WriteFile(KNLNAM_TO_HANDLE(h), buf, count, &n, NULL))
        return knlNamLastError();
    if (done)
        *done = n;
    return 0;
}

USHORT ORINAPI KnlNamChgFilePtr(void *ns, KNLHFILE h, LONG offset, ULONG method,
                                ULONG *newPos) noexcept
{
    static const DWORD moves[] = { FILE_BEGIN, FILE_CURRENT, FILE_END };
    LARGE_INTEGER dist, pos;

    if (newPos)
        *newPos = 0;
    if (method > KNLNAM_SEEK_END)
        return ORIN_ERR_INVALID_PARAM;
    dist.QuadPart = offset;
    if (!SetFilePointerEx(KNLNAM_TO_HANDLE(h), dist, &pos, moves[method]))
        return knlNamLastError();
    if (newPos)
        *newPos = (ULONG)pos.QuadPart;
    return 0;
}

USHORT ORINAPI KnlNamNewSize(void *ns, KNLHFILE h, ULONG size) noexcept
{
    return setLengthKeepingPosition(KNLNAM_TO_HANDLE(h), size);
}

USHORT ORINAPI KnlNamQFileSize(void *ns, KNLHFILE h, ULONG *size) noexcept
{
    LARGE_INTEGER len;
    if (!size)
        return ORIN_ERR_INVALID_PARAM;
    *size = 0;
    if (!GetFileSizeEx(KNLNAM_TO_HANDLE(h), &len))
        return ORIN_ERR_ACCESS_DENIED;
    *size = (ULONG)len.QuadPart;
    return 0;
}

USHORT ORINAPI KnlNamDupHandle(void *ns, KNLHFILE h, KNLHFILE *dup) noexcept
{
    HANDLE out;
    if (!dup)
        return ORIN_ERR_INVALID_PARAM;
    *dup = 0;
    if (!DuplicateHandle(GetCurrentProcess(), KNLNAM_TO_HANDLE(h), GetCurrentProcess(),
                         &out, 0, FALSE, DUPLICATE_SAME_ACCESS))
        return knlNamLastError();
    *dup = KNLNAM_FROM_HANDLE(out);
    return 0;
}

USHORT ORINAPI KnlNamBufReset(void *ns, KNLHFILE h) noexcept
{
    return FlushFileBuffers(KNLNAM_TO_HANDLE(h)) ? 0 : knlNamLastError();
}

USHORT ORINAPI KnlNamQFileInfo(void *ns, KNLHFILE h, ULONG level, void *buf, ULONG size) noexcept
{
    BY_HANDLE_FILE_INFORMATION info;
    KNLFILESTATUS st;
    ULONGLONG len;
    USHORT err = checkInfoArgs(level, buf, size);

    if (err)
        return err;
    if (!GetFileInformationByHandle(KNLNAM_TO_HANDLE(h), &info))
        return knlNamLastError();
    memset(&st, 0, sizeof st);
    knlNamFileTimeToDos(timeOrLastWrite(&info.ftCreationTime, &info.ftLastWriteTime),
                        &st.fdateCreation, &st.ftimeCreation);
    knlNamFileTimeToDos(timeOrLastWrite(&info.ftLastAccessTime, &info.ftLastWriteTime),
                        &st.fdateLastAccess, &st.ftimeLastAccess);
    knlNamFileTimeToDos(&info.ftLastWriteTime, &st.fdateLastWrite, &st.ftimeLastWrite);
    len = ((ULONGLONG)info.nFileSizeHigh << 32) | info.nFileSizeLow;
    st.cbFile = (ULONG)len;
    st.cbFileHigh = (ULONG)(len >> 32);
    len = (len + ALLOCATION_UNIT - 1) / ALLOCATION_UNIT * ALLOCATION_UNIT;
    st.cbFileAlloc = (ULONG)len;
    st.cbFileAllocHigh = (ULONG)(len >> 32);
    st.attrFile = knlNamAttrFromSystem(info.dwFileAttributes);
    memcpy(buf, &st, sizeof st);
    return 0;
}

USHORT ORINAPI KnlNamSetFileInfo(void *ns, KNLHFILE h, ULONG level, const void *buf,
                                 ULONG size) noexcept
{
    KNLFILESTATUS st;
    FILETIME c, a, w;
    USHORT err = checkInfoArgs(level, buf, size);

    if (err)
        return err;
    memcpy(&st, buf, sizeof st);
    if (!SetFileTime(KNLNAM_TO_HANDLE(h),
                     dosTimeOrNull(st.fdateCreation, st.ftimeCreation, &c),
                     dosTimeOrNull(st.fdateLastAccess, st.ftimeLastAccess, &a),
                     dosTimeOrNull(st.fdateLastWrite, st.ftimeLastWrite, &w)))
        return knlNamLastError();
    return 0;
}

USHORT ORINAPI KnlNamQFileMode(void *ns, const char *name, ULONG *attributes) noexcept
{
    WCHAR wide[KNLNAM_MAXPATH];
    DWORD attrs;
    USHORT err;

    if (!attributes)
        return ORIN_ERR_INVALID_PARAM;
    *attributes = 0;
    if ((err = knlNamToWide(name, wide, KNLNAM_MAXPATH)) != 0)
        return err;
    {
        QuietErrors quiet;
        attrs = GetFileAttributesW(wide);
        err = attrs == INVALID_FILE_ATTRIBUTES ? knlNamLastError() : 0;
    }
    if (!err)
        *attributes = knlNamAttrFromSystem(attrs);
    return err;
}

USHORT ORINAPI KnlNamSetFileMode(void *ns, const char *name, ULONG attributes) noexcept
{
    WCHAR wide[KNLNAM_MAXPATH];
    USHORT err;

    if (attributes & ~(ULONG)OPEN_CREATE_ATTRS)
        return ORIN_ERR_INVALID_PARAM;      /* volume label, directory, unknown */
    if ((err = knlNamToWide(name, wide, KNLNAM_MAXPATH)) != 0)
        return err;
    QuietErrors quiet;
    if (!SetFileAttributesW(wide, attributesForCreate(attributes)))
        err = knlNamLastError();
    return err;
}

USHORT ORINAPI KnlNamCreateTempFile(void *ns, const char *dir, ULONG attribute,
                                    KNLHFILE *handle, char *buf, USHORT size) noexcept
{
    char where[KNLNAM_MAXPATH], made[MAX_PATH];
    ULONG action;
    USHORT err;

    if (!handle || !buf || !size)
        return ORIN_ERR_INVALID_PARAM;
    *handle = 0;
    buf[0] = 0;
    if (dir && *dir)
        knlNamCopy(where, dir, TEMP_DIR_MAX + 1);
    else if (!GetTempPathA(sizeof where, where))
        return knlNamLastError();
    {
        QuietErrors quiet;
        err = GetTempFileNameA(where, TEMP_PREFIX, 0, made) ? 0 : knlNamLastError();
    }
    if (err)
        return err;
    knlNamCopy(buf, made, size);
    err = KnlNamOpen(ns, made, handle, &action, 0, attribute & OPEN_CREATE_ATTRS,
                     KNLNAM_OPEN_TEMP, KNLNAM_ACCESS_READWRITE | KNLNAM_SHARE_DENYALL, 0);
    if (err)
        DeleteFileA(made);
    return err;
}
