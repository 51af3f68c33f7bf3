/*
 * net_ident.cpp - who and where the caller is on the network: the network
 * user name, the workstation identifier, the kind of network, and printer
 * capture.
 *
 * The workstation identifier is "prefix machine-user" (pattern "%s%s-%s"),
 * at most 49 characters:
 *   NV:  network address of a Novell station (platform 2 with the client);
 *   GN:/CN:  volume data of C:\ and the user (platform 2 without it);
 *   CN:  computer name cut or padded with ':' to 12 characters and the
 *        user name likewise to 8 (every other platform);
 *   HW:  processor architecture and type and the serial number of C:\
 *        when no computer name is found.
 * The host's queries go through a small table of functions so that tests
 * can put known answers in place of the system's.
 */
#include <stdio.h>
#include <string.h>
#include "frame/knlnamint.h"
#include "str.h"
#include "net.h"
#include "shell/netint.h"
#include "shell/netnovell.h"

namespace orin::net {
namespace {

constexpr auto PLATFORM_NT = 1;
constexpr auto PLATFORM_WIN32S = 2;
constexpr auto PLATFORM_WIN95 = 3;
constexpr auto NO_NETWORK = 1222;   /* ERROR_NO_NETWORK */
constexpr auto COMPUTER_NAME_MAX = 15;
constexpr auto STATION_MACHINE_LEN = 12;
constexpr auto STATION_USER_LEN = 8;
constexpr char STATION_PAD = ':';
constexpr char STATION_PATTERN[] = "%s%s-%s";
constexpr auto CN_FAILED_PAD_LEN = 50;
constexpr char DEFAULT_PRINTER_PORT[] = "LPT1";
constexpr char COMPUTER_NAME_KEY[] = "SYSTEM\\CurrentControlSet\\Control\\ComputerName\\ComputerName";
constexpr char SYSTEM_ROOT[] = "C:\\";

DWORD sysGlobalNetStatus(void)
{
    HANDLE h;
    DWORD err = WNetOpenEnumA(RESOURCE_GLOBALNET, RESOURCETYPE_ANY, 0, NULL, &h);
    if (err == NO_ERROR)
        WNetCloseEnum(h);
    return err == ERROR_NO_NETWORK ? ERROR_NO_NETWORK : 0;
}

DWORD sysUserName(char *buf, DWORD *size)
{
    return WNetGetUserA(NULL, buf, size);
}

BOOL sysComputerName(char *buf, DWORD *size)
{
    return GetComputerNameA(buf, size);
}

const NETHOSTAPI systemHost = { sysGlobalNetStatus, sysUserName, sysComputerName };
const NETHOSTAPI *host = &systemHost;

/* The Novell directory name of the logged-in user, up to its first '.'. */
USHORT directoryUserName(char *buf)
{
    char name[NOVELL_NAME_MAX];
    LONG context;
    char *dot;

    if (!NetNovellLoaded())
        return NET_ERR_FAILURE;
    context = netNovell.createContext();
    if (context == -1 || context == 0xFFFF)
        return NET_ERR_FAILURE;
    name[0] = 0;
    if (netNovell.whoAmI(context, name) != 0 || !name[0]) {
        netNovell.freeContext(context);
        return NET_ERR_FAILURE;
    }
    netNovell.freeContext(context);
    if ((dot = strchr(name, '.')) != NULL)
        *dot = 0;
    snprintf(buf, NET_NAME_BUFFER, "%s", name);
    return 0;
}

USHORT hostUserName(char *buf)
{
    char name[NET_NAME_BUFFER];
    DWORD size = sizeof name, err;
    USHORT platform = KnlQueryPlatform();

    if (platform != PLATFORM_NT && platform != PLATFORM_WIN95)
        return NET_ERR_FAILURE;
    err = host->userName(name, &size);
    if (err != NO_ERROR) {
        SetLastError(err);
        return NET_ERR_FAILURE;
    }
    name[NET_NAME_BUFFER - 1] = 0;
    strcpy(buf, name);
    return 0;
}

USHORT finishIdentifier(char *buffer, const char *prefix, const char *machine,
                               const char *user)
{
    char id[NET_NAME_BUFFER];
    snprintf(id, sizeof id, STATION_PATTERN, prefix, machine, user);
    strcpy(buffer, id);
    return 0;
}

USHORT novellStationID(char *buffer)
{
    BYTE addr[NOVELL_ADDRESS_SIZE];
    ULONG conn, net, nodeHigh;
    USHORT number, nodeLow;
    char part[32];

    if (netNovell.defaultConnection(&conn) != 0
        || netNovell.connectionNumber(conn, &number) != 0
        || netNovell.internetAddress(conn, number, addr) != 0)
        return NET_ERR_FAILURE;
    /* The client keeps network and node in network (big-endian) order. */
    net = ((ULONG)addr[0] << 24) | ((ULONG)addr[1] << 16) | ((ULONG)addr[2] << 8) | addr[3];
    nodeHigh = ((ULONG)addr[4] << 24) | ((ULONG)addr[5] << 16) | ((ULONG)addr[6] << 8) | addr[7];
    nodeLow = (USHORT)((addr[8] << 8) | addr[9]);
    snprintf(part, sizeof part, "NV:%08lx-%08lx%04x", (unsigned long)net,
             (unsigned long)nodeHigh, nodeLow);
    strcpy(buffer, part);
    return 0;
}

USHORT volumeStationID(char *buffer)
{
    char user[NET_NAME_BUFFER] = "", machine[CN_FAILED_PAD_LEN + 1];
    KNLFSVOLUME vol;

    NetGetNetworkUserName(user);
    if (KnlNamQFSPathInfo(KnlNamGetDefaultNS(), SYSTEM_ROOT, KNLNAM_FSINFO_VOLUME,
                          &vol, sizeof vol) == 0) {
        snprintf(machine, sizeof machine, "%02X%02X%08lX", vol.cch,
                 (BYTE)vol.szVolLabel[0], (unsigned long)vol.ulVSN);
        return finishIdentifier(buffer, "GN:", machine, user);
    }
    memset(machine, STATION_PAD, CN_FAILED_PAD_LEN);
    machine[CN_FAILED_PAD_LEN] = 0;
    return finishIdentifier(buffer, "CN:", machine, user);
}

BOOL readComputerName(char *name, DWORD size)
{
    HKEY key;
    DWORD len = size, type;

    if (host->computerName(name, &len)) {
        name[COMPUTER_NAME_MAX < size - 1 ? COMPUTER_NAME_MAX : size - 1] = 0;
        return TRUE;
    }
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, COMPUTER_NAME_KEY, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return FALSE;
    len = size - 1;
    if (RegQueryValueExA(key, "ComputerName", NULL, &type, (BYTE *)name, &len) != ERROR_SUCCESS
        || type != REG_SZ)
        len = 0;
    RegCloseKey(key);
    name[len < size ? len : size - 1] = 0;
    return len > 0;
}

USHORT hostStationID(char *buffer)
{
    char user[NET_NAME_BUFFER] = "", machine[NET_NAME_BUFFER] = "";

    if (host->globalNetStatus() == NO_NETWORK)
        return NET_ERR_FAILURE;
    NetGetNetworkUserName(user);
    StrMakeLenCh(user, STATION_USER_LEN, STATION_PAD);
    if (readComputerName(machine, sizeof machine)) {
        StrLRTrim(machine);
        if (machine[0]) {
            StrMakeLenCh(machine, STATION_MACHINE_LEN, STATION_PAD);
            return finishIdentifier(buffer, "CN:", machine, user);
        }
    }
    {
        SYSTEM_INFO si;
        DWORD serial = 0;
        GetSystemInfo(&si);
        GetVolumeInformationA(SYSTEM_ROOT, NULL, 0, &serial, NULL, NULL, NULL, 0);
        snprintf(machine, sizeof machine, "%02X%02X%08lX", si.wProcessorArchitecture,
                 (unsigned)si.dwProcessorType, (unsigned long)serial);
        return finishIdentifier(buffer, "HW:", machine, user);
    }
}

}  // namespace
}  // namespace orin::net

using namespace orin::net;


/* ---- host queries ---------------------------------------------------- */

void NetSetHostApi(const NETHOSTAPI *api)
{
    host = api ? api : &systemHost;
}

/* ---- user names -------------------------------------------------------- */

USHORT ORINAPI NetGetNetworkUserNameForNet(char *buffer, USHORT net) noexcept
{
    if (!buffer)
        return ORIN_ERR_INVALID_PARAM;
    if (net == NET_USER_ANY && directoryUserName(buffer) == 0)
        return 0;
    if (net == NET_USER_DIRECTORY)
        return directoryUserName(buffer);
    return hostUserName(buffer);
}

USHORT ORINAPI NetGetNetworkUserName(char *buffer) noexcept
{
    return NetGetNetworkUserNameForNet(buffer, NET_USER_ANY);
}

/* ---- workstation identifier --------------------------------------------- */

USHORT ORINAPI NetGetNetworkStationID(char *buffer) noexcept
{
    if (!buffer)
        return ORIN_ERR_INVALID_PARAM;
    if (KnlQueryPlatform() == PLATFORM_WIN32S)
        return NetNovellLoaded() ? novellStationID(buffer) : volumeStationID(buffer);
    return hostStationID(buffer);
}

/* ---- network type and printers -------------------------------------------- */

USHORT ORINAPI NetQueryNetworkType(void) noexcept
{
    char name[NET_NAME_BUFFER];
    if (KnlQueryPlatform() == PLATFORM_WIN32S) {
        if (NetIsNovell())
            return NET_TYPE_NOVELL;
        return directoryUserName(name) == 0 ? NET_TYPE_DIRECTORY : NET_TYPE_NONE;
    }
    return host->globalNetStatus() == NO_NETWORK ? NET_TYPE_NONE : NET_TYPE_HOST;
}

USHORT ORINAPI NetCapturePrinter(const char *localDevice, const char *remoteName) noexcept
{
    NETRESOURCEA res;
    DWORD err;

    if (!remoteName)
        return ORIN_ERR_INVALID_PARAM;
    memset(&res, 0, sizeof res);
    res.dwType = RESOURCETYPE_PRINT;
    res.lpLocalName = (char *)(localDevice ? localDevice : DEFAULT_PRINTER_PORT);
    res.lpRemoteName = (char *)remoteName;
    err = WNetAddConnection2A(&res, NULL, NULL, 0);
    if (err != NO_ERROR)
        SetLastError(err);
    return (USHORT)(err & 0xFFFF);
}

USHORT ORINAPI NetDecapturePrinter(void) noexcept
{
    DWORD err = WNetCancelConnection2A(DEFAULT_PRINTER_PORT, 0, TRUE);
    if (err != NO_ERROR)
        SetLastError(err);
    return (USHORT)(err & 0xFFFF);
}
