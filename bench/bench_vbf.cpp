/*
 * bench_vbf.c - reads through VbfRead on a buffered file next to plain
 * ReadFile with SetFilePointer on the same 64 MiB file, in the same run.
 *
 * Each pattern reads the same offsets both ways (a fixed pseudo-random
 * sequence for the random ones) and checks that both give the same bytes.
 * Patterns: sequential 4 KiB and 64-byte reads, random 4 KiB and 64-byte
 * reads over the whole file (mostly cache misses), and random reads inside
 * a 128 KiB hot region that the 53-page cache holds.  For each, the share
 * of reads served by the fast path, by a cached page and by the operating
 * system is printed from the cache's counters.
 */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include "vbf.h"
#include "knlnam.h"
#include "vfile/fbfint.h"

#define FILE_NAME   "bench_vbf.dat"
#define FILE_SIZE   (64u << 20)
#define HOT_REGION  (128u << 10)
#define BIG_READ    4096u
#define SMALL_READ  64u

typedef struct READPATTERN {
    const char *name;
    ULONG readSize;
    ULONG count;
    ULONG span;        /* random offsets fall in [0, span - readSize] */
    int sequential;
} READPATTERN;

static const READPATTERN patterns[] = {
    {"sequential 4 KiB", BIG_READ, FILE_SIZE / BIG_READ, FILE_SIZE, 1},
    {"sequential 64 B", SMALL_READ, (16u << 20) / SMALL_READ, FILE_SIZE, 1},
    {"random 4 KiB, whole file", BIG_READ, 20000, FILE_SIZE, 0},
    {"random 64 B, whole file", SMALL_READ, 20000, FILE_SIZE, 0},
    {"random 4 KiB, 128 KiB hot", BIG_READ, 200000, HOT_REGION, 0},
    {"random 64 B, 128 KiB hot", SMALL_READ, 1000000, HOT_REGION, 0},
};

static double now(void)
{
    LARGE_INTEGER f, t;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&t);
    return (double)t.QuadPart / (double)f.QuadPart;
}

static ULONG *makeOffsets(const READPATTERN *p)
{
    ULONG *off = (ULONG*)malloc(p->count * sizeof *off);
    ULONG seed = 12345, i;

    for (i = 0; i < p->count; i++) {
        seed = seed * 1103515245u + 12345u;
        off[i] = p->sequential ? i * p->readSize
                               : (ULONG)(((ULONGLONG)seed << 8 ^ seed >> 8) % (p->span - p->readSize));
    }
    return off;
}

static int createFile(void)
{
    HANDLE h = CreateFileA(FILE_NAME, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    BYTE *chunk = (BYTE*)malloc(1u << 20);
    DWORD done, i, k;

    if (h == INVALID_HANDLE_VALUE || chunk == NULL)
        return 0;
    for (k = 0; k < FILE_SIZE >> 20; k++) {
        for (i = 0; i < (1u << 20); i++)
            chunk[i] = (BYTE)((k << 20 | i) * 2654435761u >> 24);
        WriteFile(h, chunk, 1u << 20, &done, NULL);
    }
    CloseHandle(h);
    free(chunk);
    return 1;
}

int main(void)
{
    HVBF vbf = NULL;
    HANDLE plain;
    BYTE *a = (BYTE*)malloc(BIG_READ), *b = (BYTE*)malloc(BIG_READ);
    size_t i;
    int mismatch = 0;

    if (!createFile()) {
        printf("cannot create %s\n", FILE_NAME);
        return 1;
    }
    if (VbfOpen(KnlNamGetDefaultNS(), FILE_NAME, &vbf, NULL, 0, VBF_ATTR_NORMAL,
                VBF_OPEN_EXISTING, VBF_MODE_READ | VBF_SHARE_DENY_NONE, NULL) != 0) {
        printf("VbfOpen failed\n");
        return 1;
    }
    plain = CreateFileA(FILE_NAME, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                        OPEN_EXISTING, 0, NULL);

    printf("%-28s %12s %12s %8s   %s\n", "reads", "VbfRead ns", "ReadFile ns", "speedup",
           "fast / page hit / miss");
    for (i = 0; i < sizeof patterns / sizeof patterns[0]; i++) {
        const READPATTERN *p = &patterns[i];
        ULONG *off = makeOffsets(p), k, got;
        double t0, tVbf, tPlain;
        FBFCACHESTATS st;
        volatile BYTE sink = 0;

        /* Correctness first: both ways give the same bytes. */
        for (k = 0; k < p->count; k += p->count / 50 + 1) {
            VbfChgFilePtr(vbf, (LONG)off[k], VBF_FILE_BEGIN, NULL);
            VbfRead(vbf, a, p->readSize, &got);
            SetFilePointer(plain, (LONG)off[k], NULL, FILE_BEGIN);
            ReadFile(plain, b, p->readSize, &got, NULL);
            mismatch |= memcmp(a, b, p->readSize) != 0;
        }

        t0 = now();
        for (k = 0; k < p->count; k++) {
            SetFilePointer(plain, (LONG)off[k], NULL, FILE_BEGIN);
            ReadFile(plain, b, p->readSize, &got, NULL);
            sink = sink ^ b[0];
        }
        tPlain = now() - t0;

        VbfFlush(vbf);
        VbfChgFilePtr(vbf, p->sequential ? 0 : (LONG)off[0], VBF_FILE_BEGIN, NULL);
        FbfResetCacheStats();
        t0 = now();
        for (k = 0; k < p->count; k++) {
            if (!p->sequential)
                VbfChgFilePtr(vbf, (LONG)off[k], VBF_FILE_BEGIN, NULL);
            VbfRead(vbf, a, p->readSize, &got);
            sink = sink ^ a[0];
        }
        tVbf = now() - t0;
        FbfQueryCacheStats(&st);

        printf("%-28s %12.1f %12.1f %7.2fx   %.1f%% / %.1f%% / %.1f%%\n", p->name,
               tVbf * 1e9 / p->count, tPlain * 1e9 / p->count, tPlain / tVbf,
               100.0 * (double)st.fastHits / p->count, 100.0 * (double)st.slowHits / p->count,
               100.0 * (double)st.misses / p->count);
        free(off);
    }
    if (mismatch)
        printf("MISMATCH between VbfRead and ReadFile\n");
    VbfClose(vbf);
    CloseHandle(plain);
    DeleteFileA(FILE_NAME);
    free(a);
    free(b);
    return mismatch;
}
