/* A stand-in for the Novell client's directory library, for tests: the
 * logged-in user is "bob" in a three-part directory name. */
#include <windows.h>
#include <string.h>

extern "C" {

__declspec(dllexport) LONG WINAPI NWDSCreateContext(void) { return 5; }
__declspec(dllexport) LONG WINAPI NWDSWhoAmI(LONG context, char *name)
{
    strcpy(name, "bob.sales.acme");
    return context == 5 ? 0 : -1;
}
__declspec(dllexport) LONG WINAPI NWDSFreeContext(LONG context) { return 0; }

}  // extern "C"
