/*
 * bench_vbf.cpp - reads through VbfRead on a buffered file next to plain
 * ReadFile with SetFilePointer on the same 64 MiB file, and writes through
 * VbfWrite next to plain WriteFile with SetFilePointer, in the same run.
 *
 * Each pattern reads the same offsets both ways (a fixed pseudo-random
 * sequence for the random ones) and checks that both give the same bytes.
 * Patterns: sequential 4 KiB and 64-byte reads, random 4 KiB and 64-byte
 * reads over the whole file (mostly cache misses), random 64 KiB reads,
 * random records (an 8-byte header, then the 4 KiB body right after it,
 * as block files read a block) and random reads inside a 128 KiB hot
 * region that the 53-page cache holds.  For each, the share of reads
 * served by the fast path, by a cached page, by a one-page fill, by a fill
 * of several pages and straight from the operating system is printed from
 * the cache's counters and, for a copy of the file opened to deny all
 * sharing (which is read through a mapped view of its first 48 MiB), the
 * share served by the view, against ReadFile on the first file.  Write
 * patterns write the same bytes at the same offsets both ways, the Vbf
 * side with the hot region cached so that writes patch pages.  Each figure
 * is the best of a few rounds, the rounds of both sides interleaved, since
 * the machine is shared.  The process's peak working set ends the run.
 */
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>
#include "vbf.h"
#include "knlnam.h"
#include "vfile/fbfint.h"
#include <psapi.h>

namespace {

constexpr const char *kFileName = "bench_vbf.dat";
constexpr const char *kOwnFileName = "bench_vbf_own.dat";   /* the copy opened to deny all */
constexpr ULONG kFileSize = 64u << 20;
constexpr ULONG kHotRegion = 128u << 10;
constexpr ULONG kBigRead = 4096u;
constexpr ULONG kSmallRead = 64u;
constexpr ULONG kHugeRead = 64u << 10;
constexpr ULONG kRecordHeader = 8u;
constexpr ULONG kChunk = 1u << 20;
constexpr int kRounds = 3;

struct ReadPattern {
    const char *name;
    ULONG readSize;
    ULONG count;
    ULONG span;        /* random offsets fall in [0, span - headerSize - readSize] */
    bool sequential;
    ULONG headerSize = 0;  /* when set, each read is this many bytes and then readSize more */
};

constexpr ReadPattern kPatterns[] = {
    {"sequential 4 KiB", kBigRead, kFileSize / kBigRead, kFileSize, true},
    {"sequential 64 B", kSmallRead, (16u << 20) / kSmallRead, kFileSize, true},
    {"random 4 KiB, whole file", kBigRead, 20000, kFileSize, false},
    {"random 64 B, whole file", kSmallRead, 20000, kFileSize, false},
    {"random 64 KiB, whole file", kHugeRead, 2000, kFileSize, false},
    {"record: 8 B, then 4 KiB", kBigRead, 20000, kFileSize, false, kRecordHeader},
    {"random 4 KiB, 128 KiB hot", kBigRead, 200000, kHotRegion, false},
    {"random 64 B, 128 KiB hot", kSmallRead, 1000000, kHotRegion, false},
};

constexpr ReadPattern kWritePatterns[] = {
    {"write sequential 4 KiB", kBigRead, (16u << 20) / kBigRead, kFileSize, true},
    {"write random 4 KiB", kBigRead, 20000, kFileSize, false},
    {"write random 64 B", kSmallRead, 20000, kFileSize, false},
    {"write random 64 B, hot", kSmallRead, 100000, kHotRegion, false},
};

struct HandleCloser {
    void operator()(HANDLE h) const noexcept { CloseHandle(h); }
};
using FileHandle = std::unique_ptr<void, HandleCloser>;

FileHandle openFile(const char *name, DWORD access, DWORD share, DWORD disposition)
{
    HANDLE h = CreateFileA(name, access, share, NULL, disposition, 0, NULL);
    return FileHandle(h == INVALID_HANDLE_VALUE ? nullptr : h);
}

double now()
{
    LARGE_INTEGER f, t;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&t);
    return (double)t.QuadPart / (double)f.QuadPart;
}

std::vector<ULONG> makeOffsets(const ReadPattern &p)
{
    std::vector<ULONG> off(p.count);
    ULONG seed = 12345;
    for (ULONG i = 0; i < p.count; i++) {
        seed = seed * 1103515245u + 12345u;
        off[i] = p.sequential ? i * p.readSize
                              : (ULONG)(((ULONGLONG)seed << 8 ^ seed >> 8)
                                        % (p.span - p.headerSize - p.readSize));
    }
    return off;
}

bool createFile(const char *name)
{
    FileHandle h = openFile(name, GENERIC_WRITE, 0, CREATE_ALWAYS);
    if (!h)
        return false;
    std::vector<BYTE> chunk(kChunk);
    DWORD done;
    for (DWORD k = 0; k < kFileSize / kChunk; k++) {
        for (DWORD i = 0; i < kChunk; i++)
            chunk[i] = (BYTE)((k << 20 | i) * 2654435761u >> 24);
        WriteFile(h.get(), chunk.data(), kChunk, &done, NULL);
    }
    return true;
}

/* Times the plain reads of a pattern. */
double timePlainReads(HANDLE plain, const ReadPattern &p, const std::vector<ULONG> &off, BYTE *b)
{
    volatile BYTE sink = 0;
    DWORD got;
    double t0 = now();
    for (ULONG k = 0; k < p.count; k++) {
        SetFilePointer(plain, (LONG)off[k], NULL, FILE_BEGIN);
        if (p.headerSize != 0)
            ReadFile(plain, b, p.headerSize, &got, NULL);
        ReadFile(plain, b, p.readSize, &got, NULL);
        sink = sink ^ b[0];
    }
    return now() - t0;
}

/* Times the Vbf reads of a pattern, from an empty cache. */
double timeVbfReads(HVBF vbf, const ReadPattern &p, const std::vector<ULONG> &off, BYTE *a)
{
    volatile BYTE sink = 0;
    ULONG got;
    VbfFlush(vbf);
    VbfChgFilePtr(vbf, p.sequential ? 0 : (LONG)off[0], VBF_FILE_BEGIN, NULL);
    FbfResetCacheStats();
    double t0 = now();
    for (ULONG k = 0; k < p.count; k++) {
        if (!p.sequential)
            VbfChgFilePtr(vbf, (LONG)off[k], VBF_FILE_BEGIN, NULL);
        if (p.headerSize != 0)
            VbfRead(vbf, a, p.headerSize, &got);
        VbfRead(vbf, a, p.readSize, &got);
        sink = sink ^ a[0];
    }
    return now() - t0;
}

double timePlainWrites(HANDLE plain, const ReadPattern &p, const std::vector<ULONG> &off,
                       const BYTE *b)
{
    DWORD done;
    double t0 = now();
    for (ULONG k = 0; k < p.count; k++) {
        SetFilePointer(plain, (LONG)off[k], NULL, FILE_BEGIN);
        WriteFile(plain, b, p.readSize, &done, NULL);
    }
    return now() - t0;
}

/* Times the Vbf writes of a pattern with the region read into the cache
 * first, so that random writes in the hot region patch cached pages. */
double timeVbfWrites(HVBF vbf, const ReadPattern &p, const std::vector<ULONG> &off,
                     const BYTE *a, BYTE *scratch)
{
    ULONG done;
    VbfFlush(vbf);
    for (ULONG at = 0; at < kHotRegion; at += kBigRead) {
        VbfChgFilePtr(vbf, (LONG)at, VBF_FILE_BEGIN, NULL);
        VbfRead(vbf, scratch, kBigRead, &done);
    }
    VbfChgFilePtr(vbf, p.sequential ? 0 : (LONG)off[0], VBF_FILE_BEGIN, NULL);
    double t0 = now();
    for (ULONG k = 0; k < p.count; k++) {
        if (!p.sequential)
            VbfChgFilePtr(vbf, (LONG)off[k], VBF_FILE_BEGIN, NULL);
        VbfWrite(vbf, a, p.readSize, &done);
    }
    return now() - t0;
}

/* Prints one line: Vbf and plain times with the speed-up, the
 * page-by-page time when given (tPaged > 0), and the cache counters. */
void printFigure(const ReadPattern &p, double tVbf, double tPlain, double tPaged,
                 const FBFCACHESTATS *st)
{
    printf("%-28s %10.1f %10.1f %8.2fx", p.name, tVbf * 1e9 / p.count, tPlain * 1e9 / p.count,
           tPlain / tVbf);
    if (tPaged > 0)
        printf(" %10.1f %8.2fx", tPaged * 1e9 / p.count, tPlain / tPaged);
    if (st != nullptr)
        printf("   %.1f%% / %.1f%% / %.1f%% / %.1f%% / %.1f%% / %.1f%%",
               100.0 * (double)st->fastHits / p.count, 100.0 * (double)st->slowHits / p.count,
               100.0 * (double)st->misses / p.count, 100.0 * (double)st->spanFills / p.count,
               100.0 * (double)st->directReads / p.count, 100.0 * (double)st->viewReads / p.count);
    printf("\n");
}

/* Reads a pattern both ways: first a sample of its reads, checked to give
 * the same bytes, then the rounds timed, with the page-by-page path too
 * when `paged`; prints the line.  False when the bytes differed. */
bool benchReads(HVBF vbf, HANDLE plain, const ReadPattern &p, bool paged, BYTE *a, BYTE *b)
{
    std::vector<ULONG> off = makeOffsets(p);
    ULONG got;
    bool same = true;
    for (ULONG k = 0; k < p.count; k += p.count / 50 + 1) {
        VbfChgFilePtr(vbf, (LONG)(off[k] + p.headerSize), VBF_FILE_BEGIN, NULL);
        VbfRead(vbf, a, p.readSize, &got);
        SetFilePointer(plain, (LONG)(off[k] + p.headerSize), NULL, FILE_BEGIN);
        ReadFile(plain, b, p.readSize, &got, NULL);
        same &= memcmp(a, b, p.readSize) == 0;
    }
    double tPlain = 1e9, tVbf = 1e9, tPaged = paged ? 1e9 : -1;
    for (int r = 0; r < kRounds; r++) {
        if (paged) {
            orin::fbf::setFastPaths(false);
            tPaged = std::min(tPaged, timeVbfReads(vbf, p, off, a));
            orin::fbf::setFastPaths(true);
        }
        tPlain = std::min(tPlain, timePlainReads(plain, p, off, b));
        tVbf = std::min(tVbf, timeVbfReads(vbf, p, off, a));
    }
    FBFCACHESTATS st;
    FbfQueryCacheStats(&st);
    printFigure(p, tVbf, tPlain, tPaged, &st);
    return same;
}

}  // namespace

int main()
{
    HVBF vbf = NULL;
    std::vector<BYTE> bufA(kHugeRead), bufB(kHugeRead);
    BYTE *a = bufA.data(), *b = bufB.data();
    bool mismatch = false;

    if (!createFile(kFileName) || !createFile(kOwnFileName)) {
        printf("cannot create %s\n", kFileName);
        return 1;
    }
    if (VbfOpen(KnlNamGetDefaultNS(), kFileName, &vbf, NULL, 0, VBF_ATTR_NORMAL,
                VBF_OPEN_EXISTING, VBF_MODE_READWRITE | VBF_SHARE_DENY_NONE, NULL) != 0) {
        printf("VbfOpen failed\n");
        return 1;
    }
    FileHandle plainFile = openFile(kFileName, GENERIC_READ | GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING);
    HANDLE plain = plainFile.get();

    printf("%-28s %10s %10s %9s %10s %9s   %s\n", "reads", "VbfRead ns", "ReadFile", "speedup",
           "paged ns", "speedup", "fast / page hit / page fill / span fill / past cache / view");
    for (const ReadPattern &p : kPatterns)
        mismatch |= !benchReads(vbf, plain, p, true, a, b);

    /* The same reads on the copy opened to deny all sharing. */
    HVBF own = NULL;
    if (VbfOpen(KnlNamGetDefaultNS(), kOwnFileName, &own, NULL, 0, VBF_ATTR_NORMAL,
                VBF_OPEN_EXISTING, VBF_MODE_READWRITE | VBF_SHARE_DENY_ALL, NULL) != 0) {
        printf("VbfOpen failed\n");
        return 1;
    }
    printf("%-28s %10s %10s %9s\n", "reads, file denying all", "VbfRead ns", "ReadFile", "speedup");
    for (const ReadPattern &p : kPatterns) {
        if (p.span != kHotRegion)            /* the cache holds those: nothing new */
            mismatch |= !benchReads(own, plain, p, false, a, b);
    }
    VbfClose(own);
    DeleteFileA(kOwnFileName);

    printf("%-28s %10s %10s %9s\n", "writes", "VbfWrite ns", "WriteFile", "speedup");
    std::vector<BYTE> scratch(kBigRead);
    for (const ReadPattern &p : kWritePatterns) {
        std::vector<ULONG> off = makeOffsets(p);
        /* Both sides write the same bytes at the same offsets; the reads
         * are done by then. */
        memset(a, 0x5A, p.readSize);
        memset(b, 0x5A, p.readSize);
        double tPlain = 1e9, tVbf = 1e9;
        for (int r = 0; r < kRounds; r++) {
            tPlain = std::min(tPlain, timePlainWrites(plain, p, off, b));
            tVbf = std::min(tVbf, timeVbfWrites(vbf, p, off, a, scratch.data()));
        }
        printFigure(p, tVbf, tPlain, -1, nullptr);
    }

    PROCESS_MEMORY_COUNTERS mem = {};
    mem.cb = sizeof mem;
    if (K32GetProcessMemoryInfo(GetCurrentProcess(), &mem, sizeof mem))
        printf("peak working set %.1f MiB (page cache %u pages of %u bytes)\n",
               (double)mem.PeakWorkingSetSize / (1 << 20), (unsigned)FBF_CACHE_PAGES,
               (unsigned)FBF_PAGE_SIZE);
    if (mismatch)
        printf("MISMATCH between VbfRead and ReadFile\n");
    VbfClose(vbf);
    plainFile.reset();
    DeleteFileA(kFileName);
    return mismatch;
}
