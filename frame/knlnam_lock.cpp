/*
 * knlnam_lock.c - byte-range locks with retries.
 *
 * KnlNamFileLocksEx unlocks one range (one attempt) and locks another.
 * A lock that meets a lock violation (33) is tried again up to 25 times in
 * all, waiting (rand() & 31) * 64 ms between attempts so that processes
 * contending for the same range drift apart; any other error ends at once.
 *
 * The primitive is chosen once per process: the Novell physical-record
 * locks when that client is loaded and not disabled by the DWORD
 * "DisableNovellLocks" under HKLM\Software\Orin\Shared (and only for
 * handles on its volumes); on the NT family from 4.0 the extended lock
 * call, which never waits (a pending answer is checked once and otherwise
 * reported as 33); elsewhere the plain exclusive lock call.
 */
#include <stdlib.h>
#include <string.h>
#include "frame/knlnamint.h"
#include "shell/netint.h"

#define LOCK_ATTEMPTS       25
#define LOCK_BACKOFF_MASK   31
#define LOCK_BACKOFF_UNIT   64       /* milliseconds */
#define DISABLE_LOCKS_VALUE "DisableNovellLocks"
#define OS_NT               1
#define EXTENDED_LOCK_OS    0x0400

enum { PRIM_UNDECIDED, PRIM_NOVELL, PRIM_EXTENDED, PRIM_PLAIN };
static int lockPrimitive = PRIM_UNDECIDED;

static int choosePrimitive(void)
{
    USHORT version = 0;
    if (lockPrimitive != PRIM_UNDECIDED)
        return lockPrimitive;
    if (NetNovellLoaded() && !NetSharedFlag(DISABLE_LOCKS_VALUE))
        lockPrimitive = PRIM_NOVELL;
    else if (KnlQueryOS(&version) == OS_NT && version >= EXTENDED_LOCK_OS)
        lockPrimitive = PRIM_EXTENDED;
    else
        lockPrimitive = PRIM_PLAIN;
    return lockPrimitive;
}

static void setOffset(OVERLAPPED *ov, ULONGLONG offset)
{
    memset(ov, 0, sizeof *ov);
    ov->Offset = (DWORD)offset;
    ov->OffsetHigh = (DWORD)(offset >> 32);
}

/* The extended lock, failing at once instead of waiting. */
static BOOL lockExtended(HANDLE h, ULONGLONG offset, ULONG length, BOOL exclusive)
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

/* One lock attempt with the chosen primitive; 0 or the error. */
static USHORT lockOnce(HANDLE h, const FILELOCK *range)
{
    BOOL ok, handled = FALSE;
    int prim = choosePrimitive();

    if (prim == PRIM_NOVELL) {
        USHORT err = NetNovellLockRecord(h, range->offset, range->length,
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

static USHORT unlockOnce(HANDLE h, const FILELOCK *range)
{
    BOOL handled = FALSE;
    int prim = choosePrimitive();

    if (prim == PRIM_NOVELL) {
        USHORT err = NetNovellUnlockRecord(h, range->offset, range->length, &handled);
        if (handled)
            return err;
        prim = PRIM_EXTENDED;
    }
    if (prim == PRIM_EXTENDED)
        return knlNamUnlockRaw(h, range->offset, range->length) ? 0 : knlNamLastError();
    return UnlockFile(h, range->offset, 0, range->length, 0) ? 0 : knlNamLastError();
}

static USHORT lockWithRetries(HANDLE h, const FILELOCK *range)
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
