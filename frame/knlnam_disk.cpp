/*
 * knlnam_disk.cpp - drives, volumes and the working directory: existence of
 * files and directories, the current drive, drive-type tests, volume
 * allocation and label queries, long-name support, and the process-wide
 * flag for disconnected network resources.
 *
 * Drives are numbered from 1 for A (OS/2 numbering) in the drive calls;
 * the level-1 volume record numbers them from 0 for A, as its format has
 * it.  Every call that touches a drive suppresses the system's
 * critical-error boxes while it runs.
 */
#include <atomic>
#include <string.h>
#include "frame/knlnamint.h"
#include "frame/scope.h"

static_assert(sizeof(KNLFSALLOCATE) == 18);   // level 1, packed
static_assert(sizeof(KNLFSVOLUME) == 18);

namespace orin::knlnam {
namespace {

constexpr auto LFN_MIN_COMPONENT = 65;   /* longest component of a short-name volume is below */
constexpr auto DRIVE_COUNT = 26;
constexpr ULONG FSALLOC_SIZE = 18;
constexpr ULONG FSVOLUME_SIZE = 17;
constexpr auto LABEL_MAX = 11;
constexpr auto ERR_INVALID_LEVEL_FS = 125;   /* also the system's "no volume label" */

/* Process-wide; any thread may switch it. */
std::atomic<USHORT> disconnectedResources{0};

DWORD attributesOf(const char *name)
{
    WCHAR wide[KNLNAM_MAXPATH];
    if (knlNamToWide(name, wide, KNLNAM_MAXPATH))
        return INVALID_FILE_ATTRIBUTES;
    QuietErrors quiet;
    return GetFileAttributesW(wide);
}

BOOL anyFileMatches(const char *pattern)
{
    WIN32_FIND_DATAA fd;
    BOOL found = FALSE;
    QuietErrors quiet;

    orin::UniqueFindHandle h(FindFirstFileA(pattern, &fd));
    if (h.get() != INVALID_HANDLE_VALUE) {
        do
            found = !(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
        while (!found && FindNextFileA(h.get(), &fd));
    }
    return found;
}

/* The system's type of drive n (1 = A); DRIVE_NO_ROOT_DIR when invalid. */
UINT driveType(ULONG drive)
{
    char root[4] = "A:\\";
    if (drive < 1 || drive > DRIVE_COUNT)
        return DRIVE_NO_ROOT_DIR;
    root[0] = (char)('A' + drive - 1);
    return GetDriveTypeA(root);
}

/* Root of the volume a name is on: its drive part and '\'; an empty
 * drive part gives an empty root. */
void volumeRoot(const char *name, char *root, size_t size)
{
    size_t n = (size_t)(KnlNamSkipDriveName(name) - name);
    if (n + 2 > size)
        n = 0;
    memcpy(root, name, n);
    root[n] = 0;
    if (n)
        strcat(root, "\\");
}

USHORT allocationInfo(const char *root, const char *path, KNLFSALLOCATE *out)
{
    DWORD spc, bps, freeC, totalC;
    if (!GetDiskFreeSpaceA(root, &spc, &bps, &freeC, &totalC))
        return knlNamLastError();
    memset(out, 0, sizeof *out);
    if (path[1] == ':')
        out->idFileSystem = (ULONG)((path[0] | 0x20) - 'a');
    else
        out->idFileSystem = KNLNAM_NO_DRIVE_NUMBER;
    out->cSectorUnit = spc;
    out->cUnit = totalC;
    out->cUnitAvail = freeC;
    out->cbSector = (USHORT)bps;
    return 0;
}

USHORT volumeInfo(const char *root, KNLFSVOLUME *out)
{
    char label[MAX_PATH] = "";
    DWORD serial = 0;
    if (!GetVolumeInformationA(root, label, sizeof label, &serial, NULL, NULL, NULL, 0))
        return knlNamLastError();
    memset(out, 0, sizeof *out);
    out->ulVSN = serial;
    knlNamCopy(out->szVolLabel, label, LABEL_MAX + 1);
    out->cch = (BYTE)strlen(out->szVolLabel);
    return 0;
}

}  // namespace
}  // namespace orin::knlnam

using namespace orin::knlnam;


USHORT ORINAPI KnlNamEnableDisconnectedResources(USHORT enable) noexcept
{
    return disconnectedResources.exchange(enable);
}

USHORT ORINAPI KnlNamQFileExist(void *ns, const char *name) noexcept
{
    DWORD attrs;
    if (!name || !*name || strlen(name) > KNLNAM_MAXNAME)
        return 0;
    if (KnlNamFnameHasWildCards(ns, name))
        return anyFileMatches(name);
    attrs = attributesOf(name);
    return attrs != INVALID_FILE_ATTRIBUTES && !(attrs & FILE_ATTRIBUTE_DIRECTORY);
}

USHORT ORINAPI KnlNamQDirExist(void *ns, const char *name) noexcept
{
    char full[KNLNAM_MAXPATH];
    DWORD attrs;
    if (!name || !*name || strlen(name) > KNLNAM_MAXNAME)
        return 0;
    if (KnlNamExpandPath(ns, (char *)name, full, sizeof full))
        return 0;
    attrs = attributesOf(full);
    return attrs != INVALID_FILE_ATTRIBUTES && (attrs & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

USHORT ORINAPI KnlNamGetCwd(void *ns, char *buf, USHORT size) noexcept
{
    char cwd[KNLNAM_MAXPATH];
    DWORD len;
    if (!buf || !size)
        return ORIN_ERR_INVALID_PARAM;
    buf[0] = 0;
    len = GetCurrentDirectoryA(sizeof cwd, cwd);
    if (len == 0)
        return knlNamLastError();
    if (len >= sizeof cwd || len >= size)
        return ORIN_ERR_BUFFER_TOO_SMALL;
    strcpy(buf, cwd);
    return 0;
}

USHORT ORINAPI KnlNamSetCwd(void *ns, const char *dir) noexcept
{
    WCHAR wide[KNLNAM_MAXPATH];
    USHORT err;
    if ((err = knlNamToWide(dir, wide, KNLNAM_MAXPATH)) != 0)
        return err;
    QuietErrors quiet;
    if (!SetCurrentDirectoryW(wide))
        err = knlNamLastError();
    return err;
}

USHORT ORINAPI KnlNamQCurDisk(void *ns, ULONG *drive) noexcept
{
    char cwd[KNLNAM_MAXPATH];
    if (!drive)
        return ORIN_ERR_INVALID_PARAM;
    *drive = 0;
    if (!GetCurrentDirectoryA(sizeof cwd, cwd))
        return knlNamLastError();
    if (cwd[1] != ':')
        return ORIN_ERR_INVALID_DRIVE;
    *drive = (ULONG)((cwd[0] | 0x20) - 'a' + 1);
    return 0;
}

USHORT ORINAPI KnlNamQDiskExist(void *ns, ULONG drive) noexcept
{
    UINT t = driveType(drive);
    return t != DRIVE_NO_ROOT_DIR && t != DRIVE_UNKNOWN;
}

USHORT ORINAPI KnlNamQDiskChangeable(void *ns, ULONG drive) noexcept
{
    UINT t = driveType(drive);
    return t == DRIVE_REMOVABLE || t == DRIVE_CDROM;
}

USHORT ORINAPI KnlNamQDiskRemote(void *ns, ULONG drive) noexcept
{
    return driveType(drive) == DRIVE_REMOTE;
}

USHORT ORINAPI KnlNamQDiskIsCDRom(void *ns, ULONG drive) noexcept
{
    return driveType(drive) == DRIVE_CDROM;
}

USHORT ORINAPI KnlNamQuerySupportLFN(void *ns, const char *root) noexcept
{
    char vol[KNLNAM_MAXPATH];
    DWORD maxComponent = 0;
    BOOL ok;

    if (root && *root)
        volumeRoot(root, vol, sizeof vol);
    else
        vol[0] = 0;
    {
        QuietErrors quiet;
        ok = GetVolumeInformationA(vol[0] ? vol : NULL, NULL, 0, NULL, &maxComponent, NULL, NULL, 0);
    }
    return !ok || maxComponent >= LFN_MIN_COMPONENT;
}

USHORT ORINAPI KnlNamQFSPathInfo(void *ns, const char *path, ULONG level, void *buf,
                                 ULONG size) noexcept
{
    char root[KNLNAM_MAXPATH];
    USHORT err;

    if (!path || !buf)
        return ORIN_ERR_INVALID_PARAM;
    if (level != KNLNAM_FSINFO_ALLOCATION && level != KNLNAM_FSINFO_VOLUME)
        return ERR_INVALID_LEVEL_FS;
    volumeRoot(path, root, sizeof root);
    if (!root[0])
        return ORIN_ERR_INVALID_DRIVE;
    if (size < (level == KNLNAM_FSINFO_ALLOCATION ? FSALLOC_SIZE : FSVOLUME_SIZE))
        return ORIN_ERR_BUFFER_TOO_SMALL;
    QuietErrors quiet;
    if (level == KNLNAM_FSINFO_ALLOCATION) {
        KNLFSALLOCATE info;
        err = allocationInfo(root, path, &info);
        if (!err)
            memcpy(buf, &info, FSALLOC_SIZE);
    } else {
        KNLFSVOLUME info;
        err = volumeInfo(root, &info);
        if (!err)
            memcpy(buf, &info, FSVOLUME_SIZE);
    }
    return err;
}
