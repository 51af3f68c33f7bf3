/*
 * dllmain.cpp - the DLL entry point.  No start-up work happens at load time:
 * applications call KnlSetExecutableFileName and KnlInit themselves.
 */
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE hinst, DWORD reason, LPVOID reserved)
{
    (void)hinst; (void)reason; (void)reserved;
    return TRUE;
}
