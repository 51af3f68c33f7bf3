/*
 * knlnamint.h - internal helpers shared by the file-name sources: handle
 * conversion, name conversion to UTF-16, the critical-error guard, DOS
 * date/time conversion and DBCS-safe stepping over names.
 */
#ifndef KNLNAMINT_H
#define KNLNAMINT_H

#include "knlnam.h"
#include "frame/knlint.h"
#include "frame/knl_dbcs.h"

#ifdef __cplusplus
extern "C" {
#endif

#define KNLNAM_MAXNAME (KNLNAM_MAXPATH - 1)   /* longest name, in bytes */

/* System handles are kept in 32 bits; they sign-extend back. */
#define KNLNAM_TO_HANDLE(h)   ((HANDLE)(LONG_PTR)(LONG)(h))
#define KNLNAM_FROM_HANDLE(h) ((KNLHFILE)(ULONG)(ULONG_PTR)(h))

/* The system's last error reduced to the library's 16 bits. */
USHORT knlNamLastError(void);

/* Converts a narrow name (thread's ANSI code page) to UTF-16: 87 for a
 * null name, 123 for one longer than 259 bytes or not convertible. */
USHORT knlNamToWide(const char *name, WCHAR *wide, size_t wideCount);

/* While one lives, the system shows no critical-error or open-error
 * boxes; the mode before it is restored when it ends. */
class QuietErrors {
public:
    QuietErrors() noexcept : previous_(SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX)) {}
    ~QuietErrors() { SetErrorMode(previous_); }
    QuietErrors(const QuietErrors &) = delete;
    QuietErrors &operator=(const QuietErrors &) = delete;

private:
    UINT previous_;
};

/* FILETIME (UTC) to a DOS date and time in local time; 0 and 0 for a
 * time outside 1980..2107. */
void knlNamFileTimeToDos(const FILETIME *ft, USHORT *date, USHORT *time);
BOOL knlNamDosToFileTime(USHORT date, USHORT time, FILETIME *ft);

/* System attributes to the library's KNLNAM_ATTR_* bits. */
ULONG knlNamAttrFromSystem(DWORD attrs);

/* Delimiter test of a name space ('\\' or '/'). */
int knlNamIsDelim(const void *ns, char c);
/* Position behind the last directory delimiter ('\' or '/'), or name. */
const char *knlNamLastComponent(const void *ns, const char *name);

/* Bounded copy: at most size-1 bytes, always terminated (size > 0). */
void knlNamCopy(char *dst, const char *src, size_t size);

/* Splits a ';'-separated list at its separators, joins each entry with
 * file (KnlNamMakePathFromDF: the file alone for an empty entry or one too
 * long to join) and copies the first that exists to out: 0, 2 when none
 * exists, 111 when it does not fit, 8 without memory. */
USHORT knlNamSearchList(void *ns, const char *list, const char *file, char *out, USHORT size);

/* Cuts text to at most n bytes without leaving half a DBCS character. */
void knlNamCutBytes(char *text, size_t n);

/* Locking one byte range at a 64-bit offset without retries; used by the
 * same-file test. */
BOOL knlNamLockRaw(HANDLE h, ULONGLONG offset, ULONG length, BOOL exclusive);
BOOL knlNamUnlockRaw(HANDLE h, ULONGLONG offset, ULONG length);

#ifdef __cplusplus
}

namespace orin::knlnam {
/* The parts of an open mode (shared by every layer that opens files):
 * access (read, write, read-write) and sharing (deny all, write, read,
 * none). */
constexpr ULONG kOpenAccessMask = 0x03;
constexpr ULONG kOpenShareMask = 0x70;

/* KnlNamOpen with more flags for the system's open call. */
USHORT openFile(const char *name, KNLHFILE *handle, ULONG *action, ULONG size, ULONG attribute,
                ULONG openFlags, ULONG openMode, DWORD systemFlags) noexcept;
}  // namespace orin::knlnam
#endif

#endif /* KNLNAMINT_H */
