/*
 * bench_prf_stores.cpp - the adapters next to what they adapt, in the
 * same run.
 *
 * In-profile file: 16 MiB written and read in 4 KiB blocks, sequentially
 * and at random block offsets, through the PrfFile calls (a value of a
 * profile file) and through a plain buffered file (Fbf).  Registry and
 * INI handlers: 2,000 string writes and reads of one section through the
 * profile calls and through the system's calls directly; the handler's
 * overhead is printed as a ratio.
 */
#include <windows.h>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>
#include "fbf.h"
#include "prf.h"

namespace {

constexpr ULONG kBlock = 4096;
constexpr ULONG kBlocks = 4096;                 // 16 MiB
constexpr int kValues = 2000;
constexpr const char *kProfile = "bench_stores.prf";
constexpr const char *kPlain = "bench_stores.dat";
constexpr const char *kRegSubKey = "BenchStores";
constexpr const char *kRegSection = "Software\\Orin\\BenchStores\\Values";
constexpr const char *kIni = "bench_stores.ini";

double now()
{
    LARGE_INTEGER f, c;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&c);
    return (double)c.QuadPart / (double)f.QuadPart;
}

/* The four access patterns over one file, given its calls. */
struct FileCalls {
    void *h;
    USHORT (*seek)(void *, LONG, ULONG, ULONG *);
    USHORT (*read)(void *, void *, ULONG, ULONG *);
    USHORT (*write)(void *, const void *, ULONG, ULONG *);
};

struct Times {
    double seqWrite, seqRead, randWrite, randRead;
};

Times runPatterns(const FileCalls &f)
{
    std::vector<char> block(kBlock, 'b');
    std::vector<ULONG> order(kBlocks);
    std::mt19937 rng(1);
    for (ULONG i = 0; i < kBlocks; i++)
        order[i] = rng() % kBlocks;
    ULONG n, pos;
    Times t;
    double t0 = now();
    f.seek(f.h, 0, 0, &pos);
    for (ULONG i = 0; i < kBlocks; i++)
        f.write(f.h, block.data(), kBlock, &n);
    t.seqWrite = now() - t0;
    t0 = now();
    f.seek(f.h, 0, 0, &pos);
    for (ULONG i = 0; i < kBlocks; i++)
        f.read(f.h, block.data(), kBlock, &n);
    t.seqRead = now() - t0;
    t0 = now();
    for (ULONG i = 0; i < kBlocks; i++) {
        f.seek(f.h, (LONG)(order[i] * kBlock), 0, &pos);
        f.write(f.h, block.data(), kBlock, &n);
    }
    t.randWrite = now() - t0;
    t0 = now();
    for (ULONG i = 0; i < kBlocks; i++) {
        f.seek(f.h, (LONG)(order[i] * kBlock), 0, &pos);
        f.read(f.h, block.data(), kBlock, &n);
    }
    t.randRead = now() - t0;
    return t;
}

void printPattern(const char *what, double ours, double peer)
{
    double mib = (double)kBlock * kBlocks / (1024.0 * 1024.0);
    printf("  %-18s in-profile %8.1f MiB/s   Fbf %8.1f MiB/s   in-profile takes %.2fx\n", what,
           mib / ours, mib / peer, ours / peer);
}

void benchInProfileFile()
{
    DeleteFileA(kProfile);
    DeleteFileA(kPlain);
    std::string name = std::string(kProfile) + ";Files~data";
    HPRFFILE pf = nullptr;
    ULONG action;
    if (PrfFileOpen(nullptr, name.c_str(), &pf, &action, 0, 0, 0x12, 0x12) != 0) {
        printf("in-profile file: open failed\n");
        return;
    }
    HFBF fb = nullptr;
    if (FbfOpen(0, kPlain, &fb, &action, 0, 0, 0x12, 0x12, 0) != 0) {
        printf("plain file: open failed\n");
        PrfFileClose(pf);
        return;
    }
    FileCalls inProfile = {pf, (USHORT(*)(void *, LONG, ULONG, ULONG *))PrfFileChgFilePtr,
                           (USHORT(*)(void *, void *, ULONG, ULONG *))PrfFileRead,
                           (USHORT(*)(void *, const void *, ULONG, ULONG *))PrfFileWrite};
    FileCalls plain = {fb, (USHORT(*)(void *, LONG, ULONG, ULONG *))FbfChgFilePtr,
                       (USHORT(*)(void *, void *, ULONG, ULONG *))FbfRead,
                       (USHORT(*)(void *, const void *, ULONG, ULONG *))FbfWrite};
    Times a = runPatterns(inProfile), b = runPatterns(plain);
    PrfFileClose(pf);
    FbfClose(fb);
    printf("16 MiB in 4 KiB blocks:\n");
    printPattern("sequential write", a.seqWrite, b.seqWrite);
    printPattern("sequential read", a.seqRead, b.seqRead);
    printPattern("random write", a.randWrite, b.randWrite);
    printPattern("random read", a.randRead, b.randRead);
    DeleteFileA(kProfile);
    DeleteFileA(kPlain);
}

std::string keyName(int i) { return "key" + std::to_string(i); }

void printStore(const char *what, int count, double handler, double direct)
{
    printf("  %-22s handler %9.0f ops/s   system calls %9.0f ops/s   overhead %.2fx\n", what,
           count / handler, count / direct, handler / direct);
}

void benchRegistry()
{
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, "Software\\Orin\\BenchStores");
    HPRF h = PrfWinRegHandlerOpen(kRegSubKey);
    PrfCreateSection(h, "Values");
    char buf[64];
    double t0 = now();
    for (int i = 0; i < kValues; i++)
        PrfWriteProfileString(h, "Values", keyName(i).c_str(), "a registry value");
    double hw = now() - t0;
    t0 = now();
    for (int i = 0; i < kValues; i++)
        PrfQueryProfileString(h, "Values", keyName(i).c_str(), "", buf, sizeof buf);
    double hr = now() - t0;
    PrfCloseProfile(h);

    HKEY k;
    RegCreateKeyExA(HKEY_LOCAL_MACHINE, kRegSection, 0, NULL, 0, KEY_ALL_ACCESS, NULL, &k, NULL);
    RegCloseKey(k);
    t0 = now();
    for (int i = 0; i < kValues; i++) {        // open per call, as the handler must
        RegOpenKeyExA(HKEY_LOCAL_MACHINE, kRegSection, 0, KEY_WRITE, &k);
        RegSetValueExA(k, keyName(i).c_str(), 0, REG_SZ, (const BYTE *)"a registry value", 17);
        RegCloseKey(k);
    }
    double dw = now() - t0;
    t0 = now();
    for (int i = 0; i < kValues; i++) {
        DWORD size = sizeof buf;
        RegOpenKeyExA(HKEY_LOCAL_MACHINE, kRegSection, 0, KEY_READ, &k);
        RegQueryValueExA(k, keyName(i).c_str(), NULL, NULL, (BYTE *)buf, &size);
        RegCloseKey(k);
    }
    double dr = now() - t0;
    printf("registry, %d values:\n", kValues);
    printStore("write", kValues, hw, dw);
    printStore("read", kValues, hr, dr);
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, "Software\\Orin\\BenchStores");
}

void benchIni()
{
    char full[MAX_PATH];
    GetFullPathNameA(kIni, sizeof full, full, NULL);
    DeleteFileA(full);
    HPRF h = PrfWinIniHandlerOpen(full);
    char buf[64];
    const int n = kValues / 4;                  // every INI write rewrites the file
    double t0 = now();
    for (int i = 0; i < n; i++)
        PrfWriteProfileString(h, "Values", keyName(i).c_str(), "an INI value");
    double hw = now() - t0;
    t0 = now();
    for (int i = 0; i < n; i++)
        PrfQueryProfileString(h, "Values", keyName(i).c_str(), "", buf, sizeof buf);
    double hr = now() - t0;
    PrfCloseProfile(h);
    DeleteFileA(full);
    t0 = now();
    for (int i = 0; i < n; i++)
        WritePrivateProfileStringA("Values", keyName(i).c_str(), "an INI value", full);
    double dw = now() - t0;
    t0 = now();
    for (int i = 0; i < n; i++)
        GetPrivateProfileStringA("Values", keyName(i).c_str(), "", buf, sizeof buf, full);
    double dr = now() - t0;
    printf("INI file, %d values:\n", n);
    printStore("write", n, hw, dw);
    printStore("read", n, hr, dr);
    DeleteFileA(full);
}

}  // namespace

int main()
{
    benchInProfileFile();
    benchRegistry();
    benchIni();
    return 0;
}
