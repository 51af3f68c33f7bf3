/*
 * dos_thread.cpp - threads with OS/2 argument conventions over the system's
 * thread calls.  DosWaitThread can wait while dispatching the calling
 * thread's window messages, so a window thread stays responsive while a
 * worker finishes; on success the handle is closed and cleared.
 */
#include "dos.h"

namespace orin::dos {
namespace {

constexpr auto SUSPEND_FAILED = ((DWORD)-1);

USHORT lastError(void)
{
    USHORT err = (USHORT)(GetLastError() & 0xFFFF);
    return err ? err : ORIN_ERR_GENERAL;
}

/* Waits for the thread while translating and dispatching every message
 * that arrives for the calling thread. */
USHORT waitDispatching(HANDLE thread)
{
    for (;;) {
        DWORD r = MsgWaitForMultipleObjects(1, &thread, FALSE, INFINITE, QS_ALLINPUT);
        MSG msg;
        if (r == WAIT_OBJECT_0)
            return 0;
        if (r != WAIT_OBJECT_0 + 1)
            return lastError();
        while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
}

}  // namespace
}  // namespace orin::dos

using namespace orin::dos;


USHORT ORINAPI DosCreateThread(HANDLE *thread, DOSTHREADFN start, void *arg, ULONG flags,
                               ULONG stackSize) noexcept
{
    if (!thread || !start)
        return ORIN_ERR_INVALID_PARAM;
    *thread = CreateThread(NULL, stackSize, (LPTHREAD_START_ROUTINE)start, arg, flags, NULL);
    return *thread ? 0 : lastError();
}

USHORT ORINAPI DosSuspendThread(HANDLE thread) noexcept
{
    return SuspendThread(thread) == SUSPEND_FAILED ? lastError() : 0;
}

USHORT ORINAPI DosResumeThread(HANDLE thread) noexcept
{
    return ResumeThread(thread) == SUSPEND_FAILED ? lastError() : 0;
}

USHORT ORINAPI DosKillThread(HANDLE thread) noexcept
{
    if (!TerminateThread(thread, 0))
        return lastError();
    CloseHandle(thread);
    return 0;
}

USHORT ORINAPI DosWaitThread(HANDLE *thread, ULONG option) noexcept
{
    USHORT err = 0;
    if (!thread || !*thread)
        return ORIN_ERR_INVALID_PARAM;
    switch (option) {
    case DOS_WAIT_THREAD:
        if (WaitForSingleObject(*thread, INFINITE) != WAIT_OBJECT_0)
            err = lastError();
        break;
    case DOS_WAIT_NOWAIT:
        break;
    case DOS_WAIT_DISPATCH:
        err = waitDispatching(*thread);
        break;
    default:
        return ORIN_ERR_INVALID_PARAM;
    }
    if (!err) {
        CloseHandle(*thread);
        *thread = NULL;
    }
    return err;
}
