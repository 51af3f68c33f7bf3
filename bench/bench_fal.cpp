/*
 * bench_fal.cpp - FAL block files: allocate-and-write, read and free 100,000
 * blocks of mixed sizes (16 bytes to 16 KiB, spread evenly over the powers
 * of two), once on a file opened by one process and once opened shared
 * (header lock and refresh on every call).  Prints operations per second,
 * the file size against the live data size, and the block read path next
 * to reading the same bytes with VbfRead at known offsets.
 *
 * The one-process run is made twice, with the in-memory mirror of the free
 * lists and with plain list walks (as files were handled before it), so
 * "free half, allocate again" shows both in the same run, with a digest of
 * the ids handed out (equal when both picked the same blocks); the memory
 * the mirror holds and the process's peak working set follow each run.
 */
#include <windows.h>
#include <psapi.h>
#include <cstdio>
#include <vector>
#include "profile/falint.h"
#include "profile/fal_freeindex.h"
#include "knlnam.h"

namespace {

constexpr int kBlocks = 100000;
constexpr ULONG kMaxBlock = 16384;
constexpr const char *kFileName = "bench_fal.fal";

double now()
{
    LARGE_INTEGER f, t;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&t);
    return (double)t.QuadPart / (double)f.QuadPart;
}

unsigned long rngState = 12345;
unsigned long nextRandom()
{
    rngState = rngState * 1103515245UL + 12345UL;
    return (rngState >> 8) & 0xFFFFFF;
}

/* 16 << k for k in 0..10, then a random part of the next step. */
ULONG mixedSize()
{
    ULONG base = 16UL << (nextRandom() % 11);
    ULONG size = base + nextRandom() % base;
    return size > kMaxBlock ? kMaxBlock : size;
}

double mib(double bytes) { return bytes / (1024.0 * 1024.0); }

void reportMemory(HFAL h)
{
    orin::fal::FreeIndexStats st = orin::fal::freeIndexStats(h);
    printf("  free-list mirror: %lu lists, %.2f MiB, %lu blocks found through it, %lu disagreements\n",
           st.mirroredLists, mib((double)st.bytes), st.picks, st.disagreements);
}

/* FNV-1a over the ids: runs that picked the same blocks print the same. */
unsigned long digest(const std::vector<ULONG> &ids)
{
    unsigned long x = 2166136261UL;
    for (ULONG id : ids)
        for (int k = 0; k < 4; k++)
            x = (x ^ ((id >> (8 * k)) & 0xFF)) * 16777619UL;
    return x & 0xFFFFFFFFUL;
}

void reportPeak()
{
    PROCESS_MEMORY_COUNTERS m = {};
    m.cb = sizeof m;
    GetProcessMemoryInfo(GetCurrentProcess(), &m, sizeof m);
    printf("  peak working set of the process so far: %.1f MiB\n",
           mib((double)m.PeakWorkingSetSize));
}

void report(const char *what, int count, double seconds)
{
    printf("  %-28s %10.0f ops/s  (%d in %.2f s)\n", what, count / seconds, count, seconds);
}

/* Reads the same bytes through a plain Vbf handle: a block's id is the
 * file offset of its data in variable mode. */
void compareWithPlainReads(void *ns, const std::vector<ULONG> &ids,
                           const std::vector<ULONG> &sizes, BYTE *buf, double tFal)
{
    HVBF plain = NULL;
    ULONG action = 0;
    if (VbfOpen(ns, kFileName, &plain, &action, 0, VBF_ATTR_NORMAL, VBF_OPEN_EXISTING,
                VBF_MODE_READ | VBF_SHARE_DENY_NONE, NULL) != 0)
        return;
    double t0 = now();
    for (int i = 0; i < kBlocks; i++) {
        int k = (i * 7919) % kBlocks;
        ULONG done;
        VbfChgFilePtr(plain, (LONG)ids[k], VBF_FILE_BEGIN, NULL);
        VbfRead(plain, buf, sizes[k], &done);
    }
    double tVbf = now() - t0;
    report("VbfRead at known offsets", kBlocks, tVbf);
    printf("  block read path costs %.2fx the plain read\n", tFal / tVbf);
    VbfClose(plain);
}

int runOnce(USHORT openFlags, bool mirror, const char *label)
{
    std::vector<ULONG> ids(kBlocks), sizes(kBlocks);
    std::vector<BYTE> data(kMaxBlock), buf(kMaxBlock);
    void *ns = KnlNamGetDefaultNS();
    HFAL h = NULL;
    ULONG fileLength = 0;
    unsigned long long live = 0;
    int i;
    USHORT rc;

    rngState = 12345;
    orin::fal::setFreeIndexEnabled(mirror);
    for (ULONG k = 0; k < kMaxBlock; k++)
        data[k] = (BYTE)(k * 7);
    rc = FalCreate(ns, kFileName, &h, FAL_FIRST_FIT, 0, 0, openFlags, NULL);
    if (rc) {
        printf("create failed: %u\n", rc);
        return 1;
    }
    printf("%s:\n", label);

    double t0 = now();
    for (i = 0; i < kBlocks; i++) {
        sizes[i] = mixedSize();
        live += sizes[i];
        if ((rc = FalAllocBlock(h, &ids[i], sizes[i], data.data(), sizes[i])) != 0)
            break;
    }
    report("allocate and write", i, now() - t0);
    if (rc) {
        printf("allocation failed: %u\n", rc);
        FalClose(h);
        return 1;
    }
    VbfQueryLength(h->vbf, &fileLength);
    printf("  file %lu bytes for %llu bytes of data: %.1f%% overhead\n",
           fileLength, live, 100.0 * ((double)fileLength - (double)live) / (double)live);

    t0 = now();
    for (i = 0; i < kBlocks; i++)
        FalGetBlock(h, ids[(i * 7919) % kBlocks], buf.data(), kMaxBlock);
    double tFal = now() - t0;
    report("FalGetBlock (random order)", kBlocks, tFal);
    compareWithPlainReads(ns, ids, sizes, buf.data(), tFal);

    t0 = now();
    for (i = 0; i < kBlocks; i += 2)
        FalFreeBlock(h, ids[i]);
    for (i = 0; i < kBlocks; i += 2)
        FalAllocBlock(h, &ids[i], sizes[i], data.data(), sizes[i]);
    report("free half, allocate again", kBlocks, now() - t0);
    reportMemory(h);
    printf("  digest of the block ids after reuse: %08lx\n", digest(ids));
    VbfQueryLength(h->vbf, &fileLength);
    printf("  file after reuse: %lu bytes (%.1f%% overhead)\n", fileLength,
           100.0 * ((double)fileLength - (double)live) / (double)live);

    t0 = now();
    for (i = 0; i < kBlocks; i++)
        FalFreeBlock(h, ids[(i * 7919) % kBlocks]);
    report("free (random order)", kBlocks, now() - t0);
    FalClose(h);
    KnlNamDelete(ns, kFileName);
    reportPeak();
    return 0;
}

}  // namespace

int main()
{
    int rc = runOnce(0, true, "One process");
    rc |= runOnce(0, false, "One process, lists walked (no mirror)");
    return rc | runOnce(FAL_OPEN_SHARED, true, "Shared (lock and refresh per call)");
}
