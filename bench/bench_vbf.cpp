/*
 * bench_vbf.cpp - reads through VbfRead on a buffered file next to plain
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
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>
#include "vbf.h"
#include "knlnam.h"
#include "vfile/fbfint.h"

namespace {

constexpr const char *kFileName = "bench_vbf.dat";
constexpr ULONG kFileSize = 64u << 20;
constexpr ULONG kHotRegion = 128u << 10;
constexpr ULONG kBigRead = 4096u;
constexpr ULONG kSmallRead = 64u;
constexpr ULONG kChunk = 1u << 20;

struct ReadPattern {
    const char *name;
    ULONG readSize;
    ULONG count;
    ULONG span;        /* random offsets fall in [0, span - readSize] */
    bool sequential;
};

constexpr ReadPattern kPatterns[] = {
    {"sequential 4 KiB", kBigRead, kFileSize / kBigRead, kFileSize, true},
    {"sequential 64 B", kSmallRead, (16u << 20) / kSmallRead, kFileSize, true},
    {"random 4 KiB, whole file", kBigRead, 20000, kFileSize, false},
    {"random 64 B, whole file", kSmallRead, 20000, kFileSize, false},
    {"random 4 KiB, 128 KiB hot", kBigRead, 200000, kHotRegion, false},
    {"random 64 B, 128 KiB hot", kSmallRead, 1000000, kHotRegion, false},
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
                              : (ULONG)(((ULONGLONG)seed << 8 ^ seed >> 8) % (p.span - p.readSize));
    }
    return off;
}

bool createFile()
{
    FileHandle h = openFile(kFileName, GENERIC_WRITE, 0, CREATE_ALWAYS);
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

}  // namespace

int main()
{
    HVBF vbf = NULL;
    std::vector<BYTE> bufA(kBigRead), bufB(kBigRead);
    BYTE *a = bufA.data(), *b = bufB.data();
    bool mismatch = false;

    if (!createFile()) {
        printf("cannot create %s\n", kFileName);
        return 1;
    }
    if (VbfOpen(KnlNamGetDefaultNS(), kFileName, &vbf, NULL, 0, VBF_ATTR_NORMAL,
                VBF_OPEN_EXISTING, VBF_MODE_READ | VBF_SHARE_DENY_NONE, NULL) != 0) {
        printf("VbfOpen failed\n");
        return 1;
    }
    FileHandle plainFile = openFile(kFileName, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    OPEN_EXISTING);
    HANDLE plain = plainFile.get();

    printf("%-28s %12s %12s %8s   %s\n", "reads", "VbfRead ns", "ReadFile ns", "speedup",
           "fast / page hit / miss");
    for (const ReadPattern &p : kPatterns) {
        std::vector<ULONG> off = makeOffsets(p);
        ULONG k, got;
        FBFCACHESTATS st;
        volatile BYTE sink = 0;

        /* Correctness first: both ways give the same bytes. */
        for (k = 0; k < p.count; k += p.count / 50 + 1) {
            VbfChgFilePtr(vbf, (LONG)off[k], VBF_FILE_BEGIN, NULL);
            VbfRead(vbf, a, p.readSize, &got);
            SetFilePointer(plain, (LONG)off[k], NULL, FILE_BEGIN);
            ReadFile(plain, b, p.readSize, &got, NULL);
            mismatch |= memcmp(a, b, p.readSize) != 0;
        }

        double t0 = now();
        for (k = 0; k < p.count; k++) {
            SetFilePointer(plain, (LONG)off[k], NULL, FILE_BEGIN);
            ReadFile(plain, b, p.readSize, &got, NULL);
            sink = sink ^ b[0];
        }
        double tPlain = now() - t0;

        VbfFlush(vbf);
        VbfChgFilePtr(vbf, p.sequential ? 0 : (LONG)off[0], VBF_FILE_BEGIN, NULL);
        FbfResetCacheStats();
        t0 = now();
        for (k = 0; k < p.count; k++) {
            if (!p.sequential)
                VbfChgFilePtr(vbf, (LONG)off[k], VBF_FILE_BEGIN, NULL);
            VbfRead(vbf, a, p.readSize, &got);
            sink = sink ^ a[0];
        }
        double tVbf = now() - t0;
        FbfQueryCacheStats(&st);

        printf("%-28s %12.1f %12.1f %7.2fx   %.1f%% / %.1f%% / %.1f%%\n", p.name,
               tVbf * 1e9 / p.count, tPlain * 1e9 / p.count, tPlain / tVbf,
               100.0 * (double)st.fastHits / p.count, 100.0 * (double)st.slowHits / p.count,
               100.0 * (double)st.misses / p.count);
    }
    if (mismatch)
        printf("MISMATCH between VbfRead and ReadFile\n");
    VbfClose(vbf);
    plainFile.reset();
    DeleteFileA(kFileName);
    return mismatch;
}
