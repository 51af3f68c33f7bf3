/*
 * bench_fal.c - FAL block files: allocate-and-write, read and free 100,000
 * blocks of mixed sizes (16 bytes to 16 KiB, spread evenly over the powers
 * of two), once on a file opened by one process and once opened shared
 * (header lock and refresh on every call).  Prints operations per second,
 * the file size against the live data size, and the block read path next
 * to reading the same bytes with VbfRead at known offsets.
 */
#include <stdio.h>
#include <stdlib.h>
#include "profile/falint.h"
#include "knlnam.h"

#define BLOCKS     100000
#define MAX_BLOCK  16384
#define FILE_NAME  "bench_fal.fal"

static double now(void)
{
    LARGE_INTEGER f, t;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&t);
    return (double)t.QuadPart / (double)f.QuadPart;
}

static unsigned long rngState = 12345;
static unsigned long nextRandom(void)
{
    rngState = rngState * 1103515245UL + 12345UL;
    return (rngState >> 8) & 0xFFFFFF;
}

/* 16 << k for k in 0..10, then a random part of the next step. */
static ULONG mixedSize(void)
{
    ULONG base = 16UL << (nextRandom() % 11);
    ULONG size = base + nextRandom() % base;
    return size > MAX_BLOCK ? MAX_BLOCK : size;
}

static void report(const char *what, int count, double seconds)
{
    printf("  %-28s %10.0f ops/s  (%d in %.2f s)\n", what, count / seconds, count, seconds);
}

static int runOnce(USHORT openFlags, const char *label)
{
    static ULONG ids[BLOCKS], sizes[BLOCKS];
    static BYTE data[MAX_BLOCK], buf[MAX_BLOCK];
    void *ns = KnlNamGetDefaultNS();
    HFAL h = NULL;
    HVBF plain = NULL;
    ULONG fileLength = 0, action = 0;
    unsigned long long live = 0;
    double t0, tFal, tVbf;
    int i;
    USHORT rc;

    for (i = 0; i < MAX_BLOCK; i++)
        data[i] = (BYTE)(i * 7);
    rc = FalCreate(ns, FILE_NAME, &h, FAL_FIRST_FIT, 0, 0, openFlags, NULL);
    if (rc) {
        printf("create failed: %u\n", rc);
        return 1;
    }
    printf("%s:\n", label);

    t0 = now();
    for (i = 0; i < BLOCKS; i++) {
        sizes[i] = mixedSize();
        live += sizes[i];
        if ((rc = FalAllocBlock(h, &ids[i], sizes[i], data, sizes[i])) != 0)
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
    for (i = 0; i < BLOCKS; i++)
        FalGetBlock(h, ids[(i * 7919) % BLOCKS], buf, MAX_BLOCK);
    tFal = now() - t0;
    report("FalGetBlock (random order)", BLOCKS, tFal);

    /* The same bytes through a plain Vbf handle: a block's id is the file
     * offset of its data in variable mode. */
    if (VbfOpen(ns, FILE_NAME, &plain, &action, 0, VBF_ATTR_NORMAL, VBF_OPEN_EXISTING,
                VBF_MODE_READ | VBF_SHARE_DENY_NONE, NULL) == 0) {
        t0 = now();
        for (i = 0; i < BLOCKS; i++) {
            int k = (i * 7919) % BLOCKS;
            ULONG done;
            VbfChgFilePtr(plain, (LONG)ids[k], VBF_FILE_BEGIN, NULL);
            VbfRead(plain, buf, sizes[k], &done);
        }
        tVbf = now() - t0;
        report("VbfRead at known offsets", BLOCKS, tVbf);
        printf("  block read path costs %.2fx the plain read\n", tFal / tVbf);
        VbfClose(plain);
    }

    t0 = now();
    for (i = 0; i < BLOCKS; i += 2)
        FalFreeBlock(h, ids[i]);
    for (i = 0; i < BLOCKS; i += 2)
        FalAllocBlock(h, &ids[i], sizes[i], data, sizes[i]);
    report("free half, allocate again", BLOCKS, now() - t0);
    VbfQueryLength(h->vbf, &fileLength);
    printf("  file after reuse: %lu bytes (%.1f%% overhead)\n", fileLength,
           100.0 * ((double)fileLength - (double)live) / (double)live);

    t0 = now();
    for (i = 0; i < BLOCKS; i++)
        FalFreeBlock(h, ids[(i * 7919) % BLOCKS]);
    report("free (random order)", BLOCKS, now() - t0);
    FalClose(h);
    KnlNamDelete(ns, FILE_NAME);
    return 0;
}

int main(void)
{
    int rc = runOnce(0, "One process");
    rngState = 12345;
    return rc | runOnce(FAL_OPEN_SHARED, "Shared (lock and refresh per call)");
}
