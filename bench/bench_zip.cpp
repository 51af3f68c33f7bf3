// bench_zip.cpp - ZipCompressVbfFiles deflating 64 MiB of mixed text and
// binary data into a gzip member and inflating it back, file to file,
// next to zlib's gzwrite and gzread at level 5 on the same data in the
// same run.  Each side runs kRuns times, alternating; the best time
// counts.  Both outputs are checked against the input.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>
#include <windows.h>
#include <zlib.h>
#include "knlnam.h"
#include "vbf.h"
#include "zip.h"

namespace {

constexpr std::size_t kSize = 64u << 20;
constexpr std::size_t kChunk = 128 * 1024;
constexpr int kRuns = 3;
constexpr const char *kPlain = "bench_zip.dat";
constexpr const char *kOursGz = "bench_zip.ours.gz";
constexpr const char *kOursBack = "bench_zip.ours.back";
constexpr const char *kZlibGz = "bench_zip.zlib.gz";
constexpr const char *kZlibBack = "bench_zip.zlib.back";

double now()
{
    LARGE_INTEGER f, t;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&t);
    return (double)t.QuadPart / (double)f.QuadPart;
}

/* Words with repeats, stretches of random bytes and runs. */
std::string mixedData()
{
    static const char *const kWords[] = {"archive ", "profile ", "section ", "value\r\n",
                                         "document ", "field ", "index ", "key=", "0123 "};
    std::string s;
    s.reserve(kSize);
    unsigned x = 12345;
    auto next = [&] { x ^= x << 13; x ^= x >> 17; x ^= x << 5; return x; };
    while (s.size() < kSize) {
        unsigned kind = next() % 10;
        if (kind < 6) {
            for (int i = 0; i < 200; i++)
                s += kWords[next() % 9];
        } else if (kind < 9) {
            for (int i = 0; i < 2000; i++)
                s.push_back((char)next());
        } else {
            s.append(1000 + next() % 3000, (char)next());
        }
    }
    s.resize(kSize);
    return s;
}

std::string readAll(const char *name)
{
    std::string out;
    FILE *f = fopen(name, "rb");
    if (!f)
        return out;
    std::vector<char> buf(kChunk);
    size_t n;
    while ((n = fread(buf.data(), 1, buf.size(), f)) > 0)
        out.append(buf.data(), n);
    fclose(f);
    return out;
}

HVBF openFile(const char *name, bool create)
{
    HVBF h = nullptr;
    VbfOpen(KnlNamGetDefaultNS(), name, &h, nullptr, 0, VBF_ATTR_NORMAL,
            create ? VBF_CREATE_OR_REPLACE : VBF_OPEN_EXISTING,
            create ? VBF_MODE_READWRITE | VBF_SHARE_DENY_ALL : VBF_MODE_READ | VBF_SHARE_DENY_WRITE,
            nullptr);
    return h;
}

/* One ZipCompressVbfFiles run between two files; seconds, or -1. */
double timeOurs(const char *from, const char *to, ULONG decompress)
{
    HVBF in = openFile(from, false), out = openFile(to, true);
    if (!in || !out)
        return -1;
    double t0 = now();
    USHORT rc = ZipCompressVbfFiles(in, out, decompress);
    VbfClose(out);
    double t = now() - t0;
    VbfClose(in);
    return rc == 0 ? t : -1;
}

double timeZlibWrite()
{
    double t0 = now();
    FILE *in = fopen(kPlain, "rb");
    gzFile out = gzopen(kZlibGz, "wb5");
    if (!in || !out)
        return -1;
    gzbuffer(out, kChunk);
    std::vector<char> buf(kChunk);
    size_t n;
    while ((n = fread(buf.data(), 1, buf.size(), in)) > 0)
        gzwrite(out, buf.data(), (unsigned)n);
    fclose(in);
    return gzclose(out) == Z_OK ? now() - t0 : -1;
}

double timeZlibRead()
{
    double t0 = now();
    gzFile in = gzopen(kZlibGz, "rb");
    FILE *out = fopen(kZlibBack, "wb");
    if (!in || !out)
        return -1;
    gzbuffer(in, kChunk);
    std::vector<char> buf(kChunk);
    int n;
    while ((n = gzread(in, buf.data(), (unsigned)buf.size())) > 0)
        fwrite(buf.data(), 1, n, out);
    fclose(out);
    return gzclose(in) == Z_OK && n == 0 ? now() - t0 : -1;
}

void keepBest(double *best, double t)
{
    if (t >= 0 && (*best < 0 || t < *best))
        *best = t;
}

long fileSize(const char *name)
{
    WIN32_FILE_ATTRIBUTE_DATA d;
    return GetFileAttributesExA(name, GetFileExInfoStandard, &d) ? (long)d.nFileSizeLow : -1;
}

void report(const char *what, double ours, double zlib)
{
    double mib = kSize / 1048576.0;
    printf("%-10s ours %7.3f s (%6.1f MiB/s)   zlib %7.3f s (%6.1f MiB/s)   ours/zlib %.2fx\n",
           what, ours, mib / ours, zlib, mib / zlib, ours / zlib);
}

}  // namespace

int main()
{
    std::string plain = mixedData();
    FILE *f = fopen(kPlain, "wb");
    if (!f || fwrite(plain.data(), 1, plain.size(), f) != plain.size()) {
        printf("cannot write %s\n", kPlain);
        return 1;
    }
    fclose(f);

    double oursDeflate = -1, oursInflate = -1, zlibDeflate = -1, zlibInflate = -1;
    for (int i = 0; i < kRuns; i++) {
        keepBest(&zlibDeflate, timeZlibWrite());
        keepBest(&oursDeflate, timeOurs(kPlain, kOursGz, 0));
        keepBest(&zlibInflate, timeZlibRead());
        keepBest(&oursInflate, timeOurs(kOursGz, kOursBack, 1));
    }
    bool ok = oursDeflate > 0 && oursInflate > 0 && zlibDeflate > 0 && zlibInflate > 0
              && readAll(kOursBack) == plain && readAll(kZlibBack) == plain;
    printf("64 MiB of mixed text and binary data, level 5, file to file, best of %d\n", kRuns);
    report("deflate", oursDeflate, zlibDeflate);
    report("inflate", oursInflate, zlibInflate);
    printf("compressed: ours %ld bytes, zlib %ld bytes\n", fileSize(kOursGz), fileSize(kZlibGz));
    for (const char *name : {kPlain, kOursGz, kOursBack, kZlibGz, kZlibBack})
        DeleteFileA(name);
    if (!ok) {
        printf("MISMATCH or failure\n");
        return 1;
    }
    return 0;
}
