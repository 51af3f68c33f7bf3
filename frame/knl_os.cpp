/*
 * knl_os.cpp - the last error, operating-system queries, and sorting and
 * searching with a caller's comparison.
 *
 * The library's last error is the system's per-thread value; callers see
 * its low 16 bits.  The OS version is read once and cached; a failed read
 * is retried on the next query.  The cache is filled under a lock and
 * published through an atomic flag, so any thread may query.
 */
#include <atomic>
#include <mutex>
#include <stdlib.h>
#include "frame/knlint.h"
#include "frame/scope.h"

/* KnlQueryOS numbering; KnlQueryPlatform swaps the Win32s and 95 codes. */
enum { OS_UNKNOWN = 0, OS_NT = 1, OS_WIN95 = 2, OS_WIN32S = 3 };
enum { PLATFORM_NT = 1, PLATFORM_WIN32S = 2, PLATFORM_WIN95 = 3 };
constexpr DWORD kNewShellVersion = 0x0400;

USHORT ORINAPI KnlGetLastError(void) noexcept
{
    return (USHORT)(GetLastError() & 0xFFFF);
}

void ORINAPI KnlSetLastError(ULONG code) noexcept
{
    SetLastError(code);
}

namespace orin::knl {
namespace {

/* The version record, read on the first query that succeeds. */
class VersionCache {
public:
    const OSVERSIONINFOA *get() noexcept
    {
        if (read_.load(std::memory_order_acquire))
            return &info_;
        std::lock_guard<SlimLock> hold(lock_);
        if (!read_.load(std::memory_order_relaxed)) {
            info_.dwOSVersionInfoSize = sizeof info_;
            if (!GetVersionExA(&info_))
                return nullptr;
            read_.store(true, std::memory_order_release);
        }
        return &info_;
    }

private:
    SlimLock lock_;
    std::atomic<bool> read_{false};
    OSVERSIONINFOA info_{};
};

constinit VersionCache versionCache;

}  // namespace
}  // namespace orin::knl

USHORT ORINAPI KnlQueryOS(USHORT *version) noexcept
{
    const OSVERSIONINFOA *os = orin::knl::versionCache.get();
    if (!os)
        return OS_UNKNOWN;
    if (version)
        *version = (USHORT)((os->dwMajorVersion << 8) | (os->dwMinorVersion & 0xFF));
    switch (os->dwPlatformId) {
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
    USHORT version = 0;
    if (KnlQueryOS(&version) == OS_UNKNOWN)
        return 0;
    return version >= kNewShellVersion;
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
