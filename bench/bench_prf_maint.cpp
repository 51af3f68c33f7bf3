/*
 * bench_prf_maint.cpp - packing and repairing a large profile.
 *
 * A profile of 100,000 values of 200 to 1,900 bytes in 1,000 sections
 * (about 100 MiB) is written once.  Then, each in a process of its own so
 * that its peak memory is its own: the profile is packed, and a copy
 * whose first 4 KiB are zeroed is repaired.  Next to them, in the same
 * run, the plain copy of the same file (CopyFileA) that any rebuild must
 * at least match.  Printed: seconds, MiB per second, and the peak working
 * set and peak committed memory of the process.
 */
#include <windows.h>
#include <psapi.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>
#include "prf.h"

namespace {

constexpr int kValues = 100000;
constexpr int kSections = 1000;
constexpr int kMinValue = 200;
constexpr int kValueSpan = 1700;
constexpr ULONG kZeroed = 4096;
constexpr const char *kFile = "bench_maint.prf";
constexpr const char *kPackFile = "bench_maint_pack.prf";
constexpr const char *kRepairFile = "bench_maint_repair.prf";
constexpr const char *kCopyFile = "bench_maint_copy.prf";

double now()
{
    LARGE_INTEGER f, c;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&c);
    return (double)c.QuadPart / (double)f.QuadPart;
}

double mib(double bytes) { return bytes / (1024.0 * 1024.0); }

ULONGLONG fileSize(const char *name)
{
    WIN32_FILE_ATTRIBUTE_DATA a;
    if (!GetFileAttributesExA(name, GetFileExInfoStandard, &a))
        return 0;
    return (ULONGLONG)a.nFileSizeHigh << 32 | a.nFileSizeLow;
}

bool writeProfile()
{
    HPRF h = nullptr;
    DeleteFileA(kFile);
    if (PrfOpenProfile(nullptr, &h, kFile, 0) != 0)
        return false;
    std::vector<char> value(kMinValue + kValueSpan);
    unsigned seed = 12345;
    PrfTransaction(h, TRUE);
    for (int i = 0; i < kValues; i++) {
        seed = seed * 1103515245u + 12345u;
        size_t length = kMinValue + (seed >> 8) % kValueSpan;
        for (size_t j = 0; j < length; j++)
            value[j] = (char)('a' + (i + j * 7) % 26);
        char section[32], key[32];
        snprintf(section, sizeof section, "Section %04d", i % kSections);
        snprintf(key, sizeof key, "key %06d", i);
        if (PrfWriteProfileData(h, section, key, value.data(), (ULONG)length) != 0) {
            PrfCloseProfile(h);
            return false;
        }
    }
    PrfTransaction(h, FALSE);
    return PrfCloseProfile(h) == 0;
}

bool copyWithZeroedStart(const char *from, const char *to)
{
    if (!CopyFileA(from, to, FALSE))
        return false;
    HANDLE f = CreateFileA(to, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE)
        return false;
    std::vector<char> zeros(kZeroed, 0);
    DWORD done = 0;
    bool ok = WriteFile(f, zeros.data(), kZeroed, &done, nullptr) && done == kZeroed;
    CloseHandle(f);
    return ok;
}

/* ---- One phase in a process of its own -------------------------------------------- */

int runPhase(const char *phase)
{
    double t0 = now();
    int rc = -1;
    if (strcmp(phase, "pack") == 0)
        rc = PrfFalPack(nullptr, kPackFile, FALSE);
    else if (strcmp(phase, "repair") == 0)
        rc = PrfFalRepair(nullptr, kRepairFile);
    else if (strcmp(phase, "copy") == 0)
        rc = CopyFileA(kFile, kCopyFile, FALSE) ? 0 : (int)GetLastError();
    double seconds = now() - t0;
    PROCESS_MEMORY_COUNTERS m = {};
    m.cb = sizeof m;
    GetProcessMemoryInfo(GetCurrentProcess(), &m, sizeof m);
    printf("%d %.3f %.1f %.1f\n", rc, seconds, mib((double)m.PeakWorkingSetSize),
           mib((double)m.PeakPagefileUsage));
    return rc;
}

struct Figures {
    int rc = -1;
    double seconds = 0, peakWorkingSet = 0, peakCommitted = 0;
};

Figures inChild(const char *self, const char *phase)
{
    Figures f;
    std::string cmd = std::string(self) + " --phase " + phase;
    FILE *p = _popen(cmd.c_str(), "r");
    if (!p)
        return f;
    if (fscanf(p, "%d %lf %lf %lf", &f.rc, &f.seconds, &f.peakWorkingSet, &f.peakCommitted) != 4)
        f.rc = -1;
    _pclose(p);
    return f;
}

void report(const char *what, const Figures &f, double bytes, const Figures &copy)
{
    if (f.rc != 0) {
        printf("%-28s failed (%d)\n", what, f.rc);
        return;
    }
    printf("%-28s %7.2f s %8.1f MiB/s   peak working set %7.1f MiB, committed %7.1f MiB"
           "   (%.1fx the copy's time)\n",
           what, f.seconds, mib(bytes) / f.seconds, f.peakWorkingSet, f.peakCommitted,
           copy.seconds > 0 ? f.seconds / copy.seconds : 0.0);
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc == 3 && strcmp(argv[1], "--phase") == 0)
        return runPhase(argv[2]);

    double t0 = now();
    if (!writeProfile()) {
        printf("writing the profile failed\n");
        return 1;
    }
    double size = (double)fileSize(kFile);
    printf("profile: %d values in %d sections, %.1f MiB, written in %.1f s\n", kValues,
           kSections, mib(size), now() - t0);

    Figures copy = inChild(argv[0], "copy");
    CopyFileA(kFile, kPackFile, FALSE);
    Figures pack = inChild(argv[0], "pack");
    copyWithZeroedStart(kFile, kRepairFile);
    Figures repair = inChild(argv[0], "repair");

    printf("%-28s %7.2f s %8.1f MiB/s   peak working set %7.1f MiB, committed %7.1f MiB\n",
           "peer: CopyFileA", copy.seconds, mib(size) / copy.seconds, copy.peakWorkingSet,
           copy.peakCommitted);
    report("PrfFalPack", pack, size, copy);
    report("PrfFalRepair (4 KiB zeroed)", repair, size, copy);
    printf("packed: %.1f MiB; repaired: %.1f MiB\n", mib((double)fileSize(kPackFile)),
           mib((double)fileSize(kRepairFile)));

    for (const char *name : {kFile, kPackFile, kRepairFile, kCopyFile, "bench_maint_repair.BAK"})
        DeleteFileA(name);
    return 0;
}
