/*
 * bench_prf.c - profiles next to the registry and private-profile INI
 * files, in the same run.
 *
 * 10,000 string keys of 20 to 200 bytes in 100 sections are written and
 * read back through a profile file (not shared, then shared between
 * processes), through the registry (values of 100 sub-keys of a test key
 * under HKEY_CURRENT_USER) and through an INI file (a tenth of the keys:
 * each INI write rewrites the whole file).  Then 1 MiB values go
 * through a profile (in 16 KiB pieces) and the registry.  Figures are
 * operations (or MiB) per second and the profile's speed as a multiple
 * of each peer's.
 */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>
#include "knl.h"
#include "prf.h"

#define KEYS        10000
#define SECTIONS    100
#define MIN_VALUE   20
#define VALUE_SPAN  181                 /* lengths 20..200 */
#define BIG_VALUE   (1024 * 1024)
#define BIG_COUNT   16
#define REG_ROOT    "Software\\Orin\\BenchPrf"
#define PRF_FILE    "bench_prf.prf"
#define PRF_SHARED  "bench_prf_shared.prf"
#define INI_FILE    ".\\bench_prf.ini"
#define INI_KEYS    (KEYS / 10)         /* the INI calls rewrite the file: fewer */

static char sections[SECTIONS][16];
static char keys[KEYS][16];
static char values[KEYS][VALUE_SPAN + MIN_VALUE + 1];

static double now(void)
{
    LARGE_INTEGER f, c;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&c);
    return (double)c.QuadPart / (double)f.QuadPart;
}

static void makeData(void)
{
    int i, j;
    for (i = 0; i < SECTIONS; i++)
        sprintf(sections[i], "section%03d", i);
    for (i = 0; i < KEYS; i++) {
        int len = MIN_VALUE + (i * 37) % VALUE_SPAN;
        sprintf(keys[i], "key%05d", i);
        for (j = 0; j < len; j++)
            values[i][j] = (char)('a' + (i + j * 7) % 26);
        values[i][len] = 0;
    }
}

typedef struct { double write, read; } RATES;

static int failed(const char *what, unsigned code)
{
    fprintf(stderr, "bench_prf: %s failed: %u\n", what, code);
    return 1;
}

static int benchProfile(const char *file, USHORT flags, RATES *r)
{
    HPRF h = NULL;
    char buf[256];
    double t;
    int i;
    USHORT rc;

    DeleteFileA(file);
    rc = PrfOpenProfile(NULL, &h, file, flags);
    if (rc)
        return failed("PrfOpenProfile", rc);
    t = now();
    for (i = 0; i < KEYS; i++)
        if ((rc = PrfWriteProfileString(h, sections[i % SECTIONS], keys[i], values[i])) != 0)
            return failed("PrfWriteProfileString", rc);
    r->write = KEYS / (now() - t);
    t = now();
    for (i = 0; i < KEYS; i++) {
        rc = PrfQueryProfileString(h, sections[i % SECTIONS], keys[i], NULL, buf, sizeof buf);
        if (rc || strcmp(buf, values[i]) != 0)
            return failed("PrfQueryProfileString", rc ? rc : 1);
    }
    r->read = KEYS / (now() - t);
    PrfCloseProfile(h);
    DeleteFileA(file);
    return 0;
}

static int benchRegistry(RATES *r)
{
    static HKEY sub[SECTIONS];
    HKEY root;
    char buf[256];
    DWORD size, type;
    double t;
    int i;
    LONG rc;

    RegDeleteTreeA(HKEY_CURRENT_USER, REG_ROOT);
    if (RegCreateKeyExA(HKEY_CURRENT_USER, REG_ROOT, 0, NULL, 0, KEY_ALL_ACCESS, NULL, &root,
                        NULL))
        return failed("RegCreateKeyExA", 1);
    for (i = 0; i < SECTIONS; i++)
        if (RegCreateKeyExA(root, sections[i], 0, NULL, 0, KEY_ALL_ACCESS, NULL, &sub[i], NULL))
            return failed("RegCreateKeyExA", 2);
    t = now();
    for (i = 0; i < KEYS; i++)
        if ((rc = RegSetValueExA(sub[i % SECTIONS], keys[i], 0, REG_SZ, (const BYTE *)values[i],
                                 (DWORD)strlen(values[i]) + 1)) != 0)
            return failed("RegSetValueExA", (unsigned)rc);
    r->write = KEYS / (now() - t);
    t = now();
    for (i = 0; i < KEYS; i++) {
        size = sizeof buf;
        rc = RegQueryValueExA(sub[i % SECTIONS], keys[i], NULL, &type, (BYTE *)buf, &size);
        if (rc || strcmp(buf, values[i]) != 0)
            return failed("RegQueryValueExA", rc ? (unsigned)rc : 1);
    }
    r->read = KEYS / (now() - t);
    for (i = 0; i < SECTIONS; i++)
        RegCloseKey(sub[i]);
    RegCloseKey(root);
    RegDeleteTreeA(HKEY_CURRENT_USER, REG_ROOT);
    return 0;
}

static int benchIni(RATES *r)
{
    char buf[256];
    double t;
    int i;

    DeleteFileA(INI_FILE);
    t = now();
    for (i = 0; i < INI_KEYS; i++)
        if (!WritePrivateProfileStringA(sections[i % SECTIONS], keys[i], values[i], INI_FILE))
            return failed("WritePrivateProfileStringA", GetLastError());
    r->write = INI_KEYS / (now() - t);
    t = now();
    for (i = 0; i < INI_KEYS; i++) {
        GetPrivateProfileStringA(sections[i % SECTIONS], keys[i], "", buf, sizeof buf, INI_FILE);
        if (strcmp(buf, values[i]) != 0)
            return failed("GetPrivateProfileStringA", 1);
    }
    r->read = INI_KEYS / (now() - t);
    DeleteFileA(INI_FILE);
    return 0;
}

static int benchBigProfile(RATES *r, BYTE *data, BYTE *back)
{
    HPRF h = NULL;
    char key[16];
    double t;
    int i;
    USHORT rc;

    DeleteFileA(PRF_FILE);
    if ((rc = PrfOpenProfile(NULL, &h, PRF_FILE, 0)) != 0)
        return failed("PrfOpenProfile", rc);
    t = now();
    for (i = 0; i < BIG_COUNT; i++) {
        sprintf(key, "big%d", i);
        if ((rc = PrfWriteProfileData(h, "big", key, data, BIG_VALUE)) != 0)
            return failed("PrfWriteProfileData", rc);
    }
    r->write = BIG_COUNT / (now() - t);
    t = now();
    for (i = 0; i < BIG_COUNT; i++) {
        ULONG size = BIG_VALUE;
        sprintf(key, "big%d", i);
        rc = PrfQueryProfileData(h, "big", key, back, &size);
        if (rc || size != BIG_VALUE || memcmp(back, data, BIG_VALUE) != 0)
            return failed("PrfQueryProfileData", rc ? rc : 1);
    }
    r->read = BIG_COUNT / (now() - t);
    PrfCloseProfile(h);
    DeleteFileA(PRF_FILE);
    return 0;
}

static int benchBigRegistry(RATES *r, BYTE *data, BYTE *back)
{
    HKEY root;
    char key[16];
    double t;
    int i;

    RegDeleteTreeA(HKEY_CURRENT_USER, REG_ROOT);
    if (RegCreateKeyExA(HKEY_CURRENT_USER, REG_ROOT, 0, NULL, 0, KEY_ALL_ACCESS, NULL, &root,
                        NULL))
        return failed("RegCreateKeyExA", 1);
    t = now();
    for (i = 0; i < BIG_COUNT; i++) {
        sprintf(key, "big%d", i);
        if (RegSetValueExA(root, key, 0, REG_BINARY, data, BIG_VALUE))
            return failed("RegSetValueExA", 1);
    }
    r->write = BIG_COUNT / (now() - t);
    t = now();
    for (i = 0; i < BIG_COUNT; i++) {
        DWORD size = BIG_VALUE, type;
        sprintf(key, "big%d", i);
        if (RegQueryValueExA(root, key, NULL, &type, back, &size) || size != BIG_VALUE
            || memcmp(back, data, BIG_VALUE) != 0)
            return failed("RegQueryValueExA", 1);
    }
    r->read = BIG_COUNT / (now() - t);
    RegCloseKey(root);
    RegDeleteTreeA(HKEY_CURRENT_USER, REG_ROOT);
    return 0;
}

static void row(const char *what, const RATES *r, const char *unit)
{
    printf("  %-26s write %10.0f %s/s   read %10.0f %s/s\n", what, r->write, unit, r->read, unit);
}

static void ratio(const char *what, const RATES *ours, const RATES *peer)
{
    printf("  profile / %-15s write x%.2f   read x%.2f\n", what, ours->write / peer->write,
           ours->read / peer->read);
}

int main(void)
{
    RATES unshared = {0, 0}, shared = {0, 0}, reg = {0, 0}, ini = {0, 0};
    RATES bigPrf = {0, 0}, bigReg = {0, 0};
    BYTE *data = (BYTE *)malloc(BIG_VALUE), *back = (BYTE *)malloc(BIG_VALUE);
    int i;

    if (!data || !back)
        return 1;
    KnlInitCP();
    KnlInitDBCSEv();
    makeData();
    for (i = 0; i < BIG_VALUE; i++)
        data[i] = (BYTE)(i * 131 + (i >> 9));
    if (benchProfile(PRF_FILE, 0, &unshared) || benchProfile(PRF_SHARED, PRF_OPEN_SHARED, &shared)
        || benchRegistry(&reg) || benchIni(&ini) || benchBigProfile(&bigPrf, data, back)
        || benchBigRegistry(&bigReg, data, back))
        return 1;
    printf("%d string keys (%d-%d bytes) in %d sections, operations per second:\n", KEYS,
           MIN_VALUE, MIN_VALUE + VALUE_SPAN - 1, SECTIONS);
    row("profile, not shared", &unshared, "op");
    row("profile, shared", &shared, "op");
    row("registry (HKCU)", &reg, "op");
    row("INI file (1/10 of the keys)", &ini, "op");
    ratio("registry", &unshared, &reg);
    ratio("INI file", &unshared, &ini);
    printf("  shared profile / registry  write x%.2f   read x%.2f\n", shared.write / reg.write,
           shared.read / reg.read);
    printf("%d values of 1 MiB (profile: 16 KiB pieces), MiB per second:\n", BIG_COUNT);
    row("profile, not shared", &bigPrf, "MiB");
    row("registry (HKCU)", &bigReg, "MiB");
    ratio("registry", &bigPrf, &bigReg);
    free(data);
    free(back);
    return 0;
}
