/*
 * net_init.cpp - start and stop of the network layer and the optional
 * Novell client.
 *
 * NetInitNetworking loads the client's two libraries at run time unless
 * the DWORD "DisableNovellLibrary" under HKLM\Software\Orin\Shared is
 * non-zero.  Every entry point the library uses is looked up by name;
 * where a library or an entry point is missing, a substitute that reports
 * failure takes its place, so callers never test for null pointers.  The
 * client counts as present (NetNovellLoaded) only when every entry point
 * was found, and as connected (NetIsNovell) when its initialisation call
 * also succeeds.
 *
 * The entry-point table starts out holding the substitutes (a constant
 * initialiser, nothing runs on first use), so queries from any thread only
 * read it.  Start and stop rewrite it and belong to the start-up thread:
 * call them before other threads use the layer, and not while they do.
 */
#include <string.h>
#include "net.h"
#include "frame/knl_hooks.h"
#include "frame/knlint.h"
#include "frame/scope.h"
#include "shell/netint.h"
#include "shell/netnovell.h"

namespace orin::net {
namespace {

constexpr char CALLS_LIBRARY[] = "calwin32.dll";
constexpr char DIRECTORY_LIBRARY[] = "netwin32.dll";
constexpr char SHARED_KEY[] = "Software\\Orin\\Shared";
constexpr char DISABLE_VALUE[] = "DisableNovellLibrary";
constexpr char DISABLE_LOCKS_VALUE[] = "DisableNovellLocks";
constexpr auto NOVELL_FAILURE = 0xFFFF;

/* Substitutes: each reports failure and touches no argument. */
LONG WINAPI noCallsInit(void *a, void *b)                         { return NOVELL_FAILURE; }
LONG WINAPI noDefaultConnection(ULONG *conn)                      { return NOVELL_FAILURE; }
LONG WINAPI noConnectionNumber(ULONG conn, USHORT *number)        { return NOVELL_FAILURE; }
LONG WINAPI noInternetAddress(ULONG conn, USHORT n, BYTE *addr)   { return NOVELL_FAILURE; }
LONG WINAPI noLogRecord(HANDLE h, ULONG off, ULONG len, BYTE flags, USHORT t)
                                                                  { return NOVELL_FAILURE; }
LONG WINAPI noClearRecord(HANDLE h, ULONG off, ULONG len)         { return NOVELL_FAILURE; }
LONG WINAPI noCreateContext(void)                                 { return NOVELL_FAILURE; }
LONG WINAPI noWhoAmI(LONG context, char *name)                    { return NOVELL_FAILURE; }
LONG WINAPI noFreeContext(LONG context)                           { return NOVELL_FAILURE; }

constexpr NETNOVELLAPI kSubstitutes = {
    noCallsInit, noDefaultConnection, noConnectionNumber, noInternetAddress, noLogRecord,
    noClearRecord, noCreateContext, noWhoAmI, noFreeContext};

/* The client's libraries, freed by NetDeinitNetworking; left loaded when
 * this library is unloaded, since no library may be freed from within
 * another one's unload. */
struct ClientLibraries {
    orin::UniqueModule calls, directory;
    ~ClientLibraries()
    {
        (void)calls.release();
        (void)directory.release();
    }
} client;
bool allEntriesFound;

/* Looks an entry up; keeps the substitute and notes the gap when absent. */
void bind(const orin::UniqueModule &lib, const char *name, FARPROC *slot)
{
    FARPROC p = lib ? GetProcAddress(lib.get(), name) : NULL;
    if (p)
        *slot = p;
    else
        allEntriesFound = FALSE;
}

/* Record locks go through the client when it is loaded and the DWORD
 * "DisableNovellLocks" under HKLM\Software\Orin\Shared does not turn
 * them off. */
bool clientLocksWanted(void) noexcept
{
    return NetNovellLoaded() && !NetSharedFlag(DISABLE_LOCKS_VALUE);
}

/* KnlInit and KnlTerminate start and stop the layer, and the frame's
 * record locks use the client, through these hooks; installed with this
 * file, wherever it is linked. */
constexpr orin::knl::NetworkHooks kNetworkHooks = {
    NetInitNetworking, NetDeinitNetworking, clientLocksWanted, NetNovellLockRecord,
    NetNovellUnlockRecord};
[[maybe_unused]] static const bool networkHooksInstalled =
    orin::knl::installNetworkHooks(kNetworkHooks);

}  // namespace
}  // namespace orin::net

using namespace orin::net;


NETNOVELLAPI netNovell = kSubstitutes;

BOOL NetSharedFlag(const char *valueName)
{
    HKEY opened;
    DWORD value = 0, size = sizeof value, type;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, SHARED_KEY, 0, KEY_READ, &opened) != ERROR_SUCCESS)
        return FALSE;
    orin::UniqueRegKey key(opened);
    if (RegQueryValueExA(key.get(), valueName, NULL, &type, (BYTE *)&value, &size)
        != ERROR_SUCCESS || type != REG_DWORD)
        value = 0;
    return value != 0;
}

USHORT NetInitNetworking(void) noexcept
{
    NetDeinitNetworking();
    if (NetSharedFlag(DISABLE_VALUE))
        return 0;
    client.calls.reset(LoadLibraryA(CALLS_LIBRARY));
    client.directory.reset(LoadLibraryA(DIRECTORY_LIBRARY));
    allEntriesFound = client.calls && client.directory;
    bind(client.calls, "NWCallsInit", (FARPROC *)&netNovell.callsInit);
    bind(client.calls, "NWGetDefaultConnectionID", (FARPROC *)&netNovell.defaultConnection);
    bind(client.calls, "NWGetConnectionNumber", (FARPROC *)&netNovell.connectionNumber);
    bind(client.calls, "NWGetInternetAddress", (FARPROC *)&netNovell.internetAddress);
    bind(client.calls, "NWLogPhysicalRecord", (FARPROC *)&netNovell.logRecord);
    bind(client.calls, "NWClearPhysicalRecord", (FARPROC *)&netNovell.clearRecord);
    bind(client.directory, "NWDSCreateContext", (FARPROC *)&netNovell.createContext);
    bind(client.directory, "NWDSWhoAmI", (FARPROC *)&netNovell.whoAmI);
    bind(client.directory, "NWDSFreeContext", (FARPROC *)&netNovell.freeContext);
    return 0;
}

void NetDeinitNetworking(void) noexcept
{
    netNovell = kSubstitutes;
    client.calls.reset();
    client.directory.reset();
    allEntriesFound = false;
}

BOOL NetNovellLoaded(void)
{
    return allEntriesFound;
}

USHORT ORINAPI NetIsNovell(void) noexcept
{
    return NetNovellLoaded() && netNovell.callsInit(NULL, NULL) == 0;
}

/* A non-zero answer from the client (a handle on another volume, or a
 * refused lock) lets the system lock decide, which also sees locks taken
 * through the redirector. */
USHORT NetNovellLockRecord(HANDLE h, ULONG offset, ULONG length, BOOL exclusive,
                           BOOL *handled) noexcept
{
    BYTE flags = exclusive ? NOVELL_LOCK_EXCLUSIVE : NOVELL_LOCK_SHARED;
    *handled = NetNovellLoaded() && netNovell.logRecord(h, offset, length, flags, 0) == 0;
    return 0;
}

USHORT NetNovellUnlockRecord(HANDLE h, ULONG offset, ULONG length, BOOL *handled) noexcept
{
    *handled = NetNovellLoaded() && netNovell.clearRecord(h, offset, length) == 0;
    return 0;
}

