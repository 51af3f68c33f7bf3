/*
 * net_map.c - translation between paths on mapped network drives and
 * their universal form (\\server\share\...).
 *
 * The drive-mapping table (at most 28 entries: drive letter, universal
 * name) is built once, on first need, from the host's enumeration of
 * connected disk resources, read in blocks of 2,400 bytes (enlarged when
 * the host asks for more).  It is marked built even when the enumeration
 * fails and is never refreshed.  Tests may put a fixed list in place of
 * the host's enumeration (NetSetMappingSource); that also forgets the
 * table so the next call builds it again.
 */
#include <ctype.h>
#include <stdlib.h>
#include <string.h>
#include "frame/knl_hooks.h"
#include "frame/knlint.h"
#include "net.h"
#include "shell/netint.h"

#define MAP_MAX_ENTRIES   28
#define MAP_UNC_MAX       258          /* characters after the two backslashes */
#define ENUM_BUFFER_SIZE  2400
#define NAME_MAX          (KNL_MAX_PATH - 1)

typedef struct _MAPENTRY {
    char drive;
    char unc[2 + MAP_UNC_MAX + 1];
} MAPENTRY;

static MAPENTRY table[MAP_MAX_ENTRIES];
static int tableCount;
static BOOL tableBuilt;
static const NETMAPPING *testList;
static int testCount;

static void addEntry(const char *local, const char *remote)
{
    MAPENTRY *e;
    size_t n;

    if (tableCount >= MAP_MAX_ENTRIES || !local || !*local || !remote || !*remote)
        return;
    e = &table[tableCount++];
    e->drive = (char)toupper((unsigned char)local[0]);
    while (*remote == '\\')
        remote++;
    n = strlen(remote);
    if (n > MAP_UNC_MAX)
        n = MAP_UNC_MAX;
    e->unc[0] = e->unc[1] = '\\';
    memcpy(e->unc + 2, remote, n);
    e->unc[2 + n] = 0;
}

static void enumerateHost(void)
{
    HANDLE h;
    DWORD size = ENUM_BUFFER_SIZE, err;
    NETRESOURCEA *buf;

    if (WNetOpenEnumA(RESOURCE_CONNECTED, RESOURCETYPE_DISK, 0, NULL, &h) != NO_ERROR)
        return;
    buf = (NETRESOURCEA*)malloc(size);
    while (buf && tableCount < MAP_MAX_ENTRIES) {
        DWORD count = (DWORD)-1, want = size, i;
        err = WNetEnumResourceA(h, &count, buf, &want);
        if (err == ERROR_MORE_DATA && want > size) {
            NETRESOURCEA *bigger = (NETRESOURCEA*)realloc(buf, want);
            if (!bigger)
                break;
            buf = bigger;
            size = want;
            continue;
        }
        if (err != NO_ERROR)
            break;
        for (i = 0; i < count; i++)
            addEntry(buf[i].lpLocalName, buf[i].lpRemoteName);
    }
    free(buf);
    WNetCloseEnum(h);
}

static void buildTable(void)
{
    int i;
    if (tableBuilt)
        return;
    tableBuilt = TRUE;
    tableCount = 0;
    if (testList) {
        for (i = 0; i < testCount; i++) {
            char local[3] = { testList[i].drive, ':', 0 };
            addEntry(testList[i].drive ? local : "", testList[i].remote);
        }
        return;
    }
    enumerateHost();
}

void NetSetMappingSource(const NETMAPPING *list, int count)
{
    testList = count > 0 ? list : NULL;
    testCount = count > 0 ? count : 0;
    tableBuilt = FALSE;
    tableCount = 0;
}

static BOOL sameIgnoringCase(const char *a, const char *b, size_t n)
{
    return CompareStringA(LOCALE_SYSTEM_DEFAULT, NORM_IGNORECASE, a, (int)n, b, (int)n)
           == CSTR_EQUAL;
}

static USHORT copyUnchanged(char *out, const char *in)
{
    size_t n = strlen(in);
    if (n > NAME_MAX)
        n = NAME_MAX;
    memmove(out, in, n);
    out[n] = 0;
    return NET_NOT_MAPPED;
}

USHORT ORINAPI NetGetUniversalName(char *out, const char *in) noexcept
{
    char full[KNL_MAX_PATH], result[KNL_MAX_PATH];
    const MAPENTRY *best = NULL;
    DWORD len;
    int i;

    if (!out || !in)
        return ORIN_ERR_INVALID_PARAM;
    len = GetFullPathNameA(in, sizeof full, full, NULL);
    if (len == 0 || len >= sizeof full) {
        USHORT err = len ? ORIN_ERR_INVALID_NAME : KnlGetLastError();
        copyUnchanged(out, in);
        return err ? err : ORIN_ERR_GENERAL;
    }
    if (!isalpha((unsigned char)full[0]) || full[1] != ':')
        return copyUnchanged(out, in);
    buildTable();
    for (i = 0; i < tableCount; i++)
        if (table[i].drive == toupper((unsigned char)full[0])
            && (!best || strlen(table[i].unc) > strlen(best->unc)))
            best = &table[i];
    if (!best || strlen(best->unc) + strlen(full + 2) > NAME_MAX)
        return copyUnchanged(out, in);
    strcpy(result, best->unc);
    strcat(result, full + 2);
    CharUpperBuffA(result, (DWORD)strlen(result));
    strcpy(out, result);
    return 0;
}

USHORT ORINAPI NetGetMappedName(char *out, const char *in) noexcept
{
    const MAPENTRY *best = NULL;
    size_t bestLen = 0;
    int i;

    if (!out || !in)
        return ORIN_ERR_INVALID_PARAM;
    if (in[0] != '\\' || in[1] != '\\')
        return copyUnchanged(out, in);
    buildTable();
    for (i = 0; i < tableCount; i++) {
        size_t n = strlen(table[i].unc);
        char after = in[n < strlen(in) ? n : strlen(in)];
        if (n > strlen(in) || n <= bestLen || !sameIgnoringCase(table[i].unc, in, n))
            continue;
        if (after == 0 || after == '\\' || after == '/') {
            best = &table[i];
            bestLen = n;
        }
    }
    if (!best || 2 + strlen(in + bestLen) > NAME_MAX)
        return copyUnchanged(out, in);
    {
        char result[KNL_MAX_PATH];
        result[0] = best->drive;
        result[1] = ':';
        strcpy(result + 2, in + bestLen);
        strcpy(out, result);
    }
    return 0;
}

/* The frame's name normalisation asks for universal names through this
 * hook; installed with this file, wherever it is linked. */
static constexpr orin::knl::NameHooks kNameHooks = {NetGetUniversalName};
[[maybe_unused]] static const bool nameHooksInstalled = orin::knl::installNameHooks(kNameHooks);
