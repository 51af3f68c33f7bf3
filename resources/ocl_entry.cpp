// Entry point of the resource-only modules: nothing to set up, so loading
// always succeeds.  The modules link without the C run time.
#include <windows.h>

extern "C" BOOL WINAPI OclEntry(HINSTANCE, DWORD, LPVOID)
{
    return TRUE;
}
