/*
 * knl_os.c - the last error, operating-system queries, and sorting and
 * searching with a caller's comparison.
 *
 * The library's last error is the system's per-thread value; callers see
 * its low 16 bits.  The OS version is read once and cached; a failed read
 * is retried on the next query.
 */
#include <stdlib.h>
#include "frame/knlint.h"

/* KnlQueryOS numbering; KnlQueryPlatform swaps the Win32s and 95 codes. */
enum { OS_UNKNOWN = 0, OS_NT = 1, OS_WIN95 = 2, OS_WIN32S = 3 };
enum { PLATFORM_NT = 1, PLATFORM_WIN32S = 2, PLATFORM_WIN95 = 3 };
#define NEW_SHELL_VERSION 0x0400

static OSVERSIONINFOA osVersion;
static BOOL osVersionRead;

USHORT ORINAPI KnlGetLastError(void) noexcept
{
    return (USHORT)(GetLastError() & 0xFFFF);
}

void ORINAPI KnlSetLastError(ULONG code) noexcept
{
    SetLastError(code);
}

static BOOL readVersion(void)
{
    if (!osVersionRead) {
        osVersion.dwOSVersionInfoSize = sizeof osVersion;
        osVersionRead = GetVersionExA(&osVersion);
    }
    return osVersionRead;
}

USHORT ORINAPI KnlQueryOS(USHORT *version) noexcept
{
    if (!readVersion())
        return OS_UNKNOWN;
    if (version)
        *version = (USHORT)((osVersion.dwMajorVersion << 8) | (osVersion.dwMinorVersion & 0xFF));
    switch (osVersion.dwPlatformId) {
    case VER_PLATFORM_WIN32_NT:      return OS_NT;
    case VER_PLATFORM_WIN32_WINDOWS: return OS_WIN95;
    case VER_PLATFORM_WIN32s:        return OS_WIN32S;
    default:                         return OS_UNKNOWN;
    }
}

USHORT ORINAPI KnlQueryPlatform(void) noexcept
{
    switch (KnlQueryOS(NULL)) {
    case OS_NT:     return PLATFORM_NT;
    case OS_WIN95:  return PLATFORM_WIN95;
    case OS_WIN32S: return PLATFORM_WIN32S;
    default:        return 0;
    }
}

USHORT ORINAPI KnlIsNewShell(void) noexcept
{
    static USHORT cached = 0xFFFF;
    USHORT version = 0;

    if (cached != 0xFFFF)
        return cached;
    if (KnlQueryOS(&version) == OS_UNKNOWN)
        return 0;
    cached = version >= NEW_SHELL_VERSION;
    return cached;
}

USHORT ORINAPI DosSetMaxFH(ULONG count) noexcept
{
    SetHandleCount(count);
    return 0;
}

void ORINAPI KnlQSort(void *base, size_t count, size_t size, KNLCOMPAREFN cmp) noexcept
{
    if (cmp && base)
        qsort(base, count, size, cmp);
}

void *ORINAPI KnlBSearch(const void *key, const void *base, size_t count,
                         size_t size, KNLCOMPAREFN cmp) noexcept
{
    if (!cmp || !base)
        return NULL;
    return bsearch(key, base, count, size, cmp);
}
