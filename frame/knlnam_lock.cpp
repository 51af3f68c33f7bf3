/*
 * knlnam_lock.cpp - byte-range locks with retries.
 *
 * KnlNamFileLocksEx unlocks one range (one attempt) and locks another.
 * A lock that meets a lock violation (33) is tried again up to 25 times in
 * all, waiting (rand() & 31) * 64 ms between attempts so that processes
 * contending for the same range drift apart; any other error ends at once.
 *
 * The primitive is chosen once per process: the optional network client's
 * record locks when the network layer says they are wanted (and only for
 * handles on the client's volumes); on the NT family from 4.0 the extended lock
 * call, which never waits (a pending answer is checked once and otherwise
 * reported as 33); elsewhere the plain exclusive lock call.
 */
#include <stdlib.h>
#include <atomic>
#include <string.h>
#include "frame/knl_hooks.h"
#include "frame/knlnamint.h"

static_assert(sizeof(FILELOCK) == 12);

namespace orin::knlnam {
namespace {

constexpr auto LOCK_ATTEMPTS = 25;
constexpr auto LOCK_BACKOFF_MASK = 31;
constexpr auto LOCK_BACKOFF_UNIT = 64;   /* milliseconds */
constexpr auto OS_NT = 1;
constexpr auto EXTENDED_LOCK_OS = 0x0400;

enum { PRIM_UNDECIDED, PRIM_NOVELL, PRIM_EXTENDED, PRIM_PLAIN };
/* Decided on first use; threads deciding at once reach the same answer. */
std::atomic<int> lockPrimitive{PRIM_UNDECIDED};

int choosePrimitive(void)
{
    USHORT version = 0;
    int prim = lockPrimitive.load(std::memory_order_relaxed);
    if (prim != PRIM_UNDECIDED)
        return prim;
    if (orin::knl::networkHooks().clientLocks())
        prim = PRIM_NOVELL;
    else if (KnlQueryOS(&version) == OS_NT && version >= EXTENDED_LOCK_OS)
        prim = PRIM_EXTENDED;
    else
        prim = PRIM_PLAIN;
    lockPrimitive.store(prim, std::memory_order_relaxed);
    return prim;
}

void setOffset(OVERLAPPED *ov, ULONGLONG offset)
{
    memset(ov, 0, sizeof *ov);
    ov->Offset = (DWORD)offset;
    ov->OffsetHigh = (DWORD)(offset >> 32);
}

/* The extended lock, failing at once instead of waiting. */
BOOL lockExtended(HANDLE h, ULONGLONG offset, ULONG length, BOOL exclusive)
{
    OVERLAPPED ov;
    DWORD flags = LOCKFILE_FAIL_IMMEDIATELY | (exclusive ? LOCKFILE_EXCLUSIVE_LOCK : 0);
    DWORD done;

    setOffset(&ov, offset);
    if (LockFileEx(h, flags, 0, length, 0, &ov))
        return TRUE;
    if (GetLastError() != ERROR_IO_PENDING)
        return FALSE;
    if (GetOverlappedResult(h, &ov, &done, FALSE))
        return TRUE;
    SetLastError(ERROR_LOCK_VIOLATION);
    return FALSE;
}

/* One lock attempt with the chosen primitive; 0 or the error. */
USHORT lockOnce(HANDLE h, const FILELOCK *range)
{
    BOOL ok, handled = FALSE;
    int prim = choosePrimitive();

    if (prim == PRIM_NOVELL) {
        USHORT err = orin::knl::networkHooks().clientLock(h, range->offset, range->length,
                                                         range->exclusive != 0, &handled);
        if (handled)
            return err;
        prim = PRIM_EXTENDED;
    }
    if (prim == PRIM_EXTENDED)
        ok = lockExtended(h, range->offset, range->length, range->exclusive != 0);
    else
        ok = LockFile(h, range->offset, 0, range->length, 0);
    return ok ? 0 : knlNamLastError();
}

USHORT unlockOnce(HANDLE h, const FILELOCK *range)
{
    BOOL handled = FALSE;
    int prim = choosePrimitive();

    if (prim == PRIM_NOVELL) {
        USHORT err = orin::knl::networkHooks().clientUnlock(h, range->offset, range->length, &handled);
        if (handled)
            return err;
        prim = PRIM_EXTENDED;
    }
    if (prim == PRIM_EXTENDED)
        return knlNamUnlockRaw(h, range->offset, range->length) ? 0 : knlNamLastError();
    return UnlockFile(h, range->offset, 0, range->length, 0) ? 0 : knlNamLastError();
}

USHORT lockWithRetries(HANDLE h, const FILELOCK *range)
{
    USHORT err = 0;
    int attempt;

    for (attempt = 1; attempt <= LOCK_ATTEMPTS; attempt++) {
        err = lockOnce(h, range);
        if (err != ORIN_ERR_LOCK_VIOLATION)
            break;
        if (attempt < LOCK_ATTEMPTS)
            Sleep((DWORD)(rand() & LOCK_BACKOFF_MASK) * LOCK_BACKOFF_UNIT);
    }
    return err;
}

}  // namespace
}  // namespace orin::knlnam

using namespace orin::knlnam;


BOOL knlNamLockRaw(HANDLE h, ULONGLONG offset, ULONG length, BOOL exclusive)
{
    return lockExtended(h, offset, length, exclusive);
}

BOOL knlNamUnlockRaw(HANDLE h, ULONGLONG offset, ULONG length)
{
    OVERLAPPED ov;
    setOffset(&ov, offset);
    return UnlockFileEx(h, 0, length, 0, &ov);
}

USHORT ORINAPI KnlNamFileLocksEx(void *ns, KNLHFILE h, const FILELOCK *unlock,
                                 const FILELOCK *lock) noexcept
{
    HANDLE sys = KNLNAM_TO_HANDLE(h);
    USHORT unlockErr = 0, lockErr = 0;

    if (unlock)
        unlockErr = unlockOnce(sys, unlock);
    if (lock)
        lockErr = lockWithRetries(sys, lock);
    return lockErr ? lockErr : unlockErr;
}
