/* A stand-in for the Novell client's calls library, for tests: it answers
 * initialisation and connection queries and accepts record locks on any
 * handle, counting them so a test can see that they went through it. */
#include <windows.h>

static LONG lockCalls, clearCalls;

extern "C" {

__declspec(dllexport) LONG WINAPI NWCallsInit(void *a, void *b) { return 0; }
__declspec(dllexport) LONG WINAPI NWGetDefaultConnectionID(ULONG *conn) { *conn = 7; return 0; }
__declspec(dllexport) LONG WINAPI NWGetConnectionNumber(ULONG conn, USHORT *n) { *n = 3; return 0; }
__declspec(dllexport) LONG WINAPI NWGetInternetAddress(ULONG conn, USHORT n, BYTE *addr)
{
    static const BYTE a[12] = { 0x01, 0x02, 0x03, 0x04, 0xA1, 0xB2, 0xC3, 0xD4, 0xE5, 0xF6, 0, 0 };
    memcpy(addr, a, sizeof a);
    return 0;
}
__declspec(dllexport) LONG WINAPI NWLogPhysicalRecord(HANDLE h, ULONG off, ULONG len, BYTE flags,
                                                      USHORT timeout)
{
    InterlockedIncrement(&lockCalls);
    return 0;
}
__declspec(dllexport) LONG WINAPI NWClearPhysicalRecord(HANDLE h, ULONG off, ULONG len)
{
    InterlockedIncrement(&clearCalls);
    return 0;
}
__declspec(dllexport) LONG WINAPI FakeLockCalls(void) { return lockCalls; }
__declspec(dllexport) LONG WINAPI FakeClearCalls(void) { return clearCalls; }

}  // extern "C"
