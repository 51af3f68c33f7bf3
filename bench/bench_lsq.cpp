/*
 * bench_lsq.cpp - loading a 1 MiB Lisp program from its source text and
 * from its stored query, side by side, with the two files' sizes.
 *
 * The program is a library of the kind hosts keep in files: function
 * definitions and association lists of settings, about 5,000 of each,
 * written out to 1 MiB of source.  lsp2lsq converts it once; then
 * (load "...") of each form is timed in one session, best of kBestOf runs
 * (the machine is shared, so the best run is the least disturbed).  Both
 * loads evaluate the same forms, so the difference is reading: the
 * reader's tokenizing and classifying against decoding 6-byte records.
 * The ratio is the source load's time over the stored query's: the aim
 * is at least 3.
 */
#include <windows.h>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include "knl.h"
#include "lsp.h"

namespace {

constexpr unsigned short kBufSize = 16384;
constexpr size_t kProgramBytes = 1 << 20;
constexpr int kBestOf = 5;
constexpr char kSource[] = "bench_lsq_program.lsp";
constexpr char kStored[] = "bench_lsq_program.lsq";

struct SessionEnder {
    void operator()(void *s) const noexcept { LspSessionEnd(s); }
};
using Session = std::unique_ptr<void, SessionEnder>;

/* One block of the program: a function and a settings list, numbered. */
std::string block(int n)
{
    char text[512];
    snprintf(text, sizeof text,
             "; settings and rules, part %d\n"
             "(defun rule%d (a b / c)\n"
             "  (setq c (+ a (* b %d.5)))\n"
             "  (if (> c %d) (strcat \"large-%d\" \" \" c)\n"
             "      (list a b c 'small \"rule %d\")))\n"
             "(setq settings%d '((name \"part %d\") (limit %d) (scale %d.25)\n"
             "                 (flags (on off on)) (nested (deep (deeper %d)))))\n",
             n, n, n, n * 3, n, n, n, n, n * 7, n, n);
    return text;
}

/* The program, of at least kProgramBytes; *blocks tells how many blocks. */
std::string program(int *blocks)
{
    std::string p;
    for (*blocks = 0; p.size() < kProgramBytes; ++*blocks)
        p += block(*blocks);
    return p;
}

bool writeFile(const char *name, const std::string &bytes)
{
    FILE *f = fopen(name, "wb");
    if (!f)
        return false;
    bool ok = fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return fclose(f) == 0 && ok;
}

long long fileSize(const char *name)
{
    WIN32_FILE_ATTRIBUTE_DATA a;
    if (!GetFileAttributesExA(name, GetFileExInfoStandard, &a))
        return -1;
    return (static_cast<long long>(a.nFileSizeHigh) << 32) | a.nFileSizeLow;
}

double now()
{
    LARGE_INTEGER c, f;
    QueryPerformanceCounter(&c);
    QueryPerformanceFrequency(&f);
    return static_cast<double>(c.QuadPart) / static_cast<double>(f.QuadPart);
}

/* Seconds of the best of kBestOf evaluations of text, or -1 on failure. */
double best(void *s, const std::string &text, const char *expect)
{
    static char result[kBufSize];
    double bestTime = -1;
    for (int i = 0; i < kBestOf; i++) {
        double t0 = now();
        USHORT rc = LspParseExpressions(s, text.c_str(), result, sizeof result, nullptr);
        double t = now() - t0;
        if (rc != 0 || (expect && strcmp(result, expect) != 0)) {
            std::printf("  %s failed: code 0x%X, result %.60s\n", text.c_str(), rc, result);
            return -1;
        }
        if (bestTime < 0 || t < bestTime)
            bestTime = t;
    }
    return bestTime;
}

}  // namespace

int main()
{
    KnlInitCP();
    KnlInitDBCSEv();
    int blocks;
    std::string text = program(&blocks);
    if (!writeFile(kSource, text)) {
        std::printf("cannot write %s\n", kSource);
        return 1;
    }
    Session s(LspSessionStart(kBufSize, nullptr));
    if (!s) {
        std::printf("no session\n");
        return 1;
    }
    std::string convert = std::string("(lsp2lsq \"") + kSource + "\" \"" + kStored + "\")";
    double tConvert = best(s.get(), convert, "T");
    std::string loadSource = std::string("(load \"") + kSource + "\")";
    std::string loadStored = std::string("(load \"") + kStored + "\")";
    char expect[kBufSize];
    if (LspParseExpressions(s.get(), loadSource.c_str(), expect, sizeof expect, nullptr) != 0) {
        std::printf("the program does not load\n");
        return 1;
    }
    double tSource = best(s.get(), loadSource, expect);
    double tStored = best(s.get(), loadStored, expect);
    long long srcSize = fileSize(kSource), lsqSize = fileSize(kStored);

    std::printf("bench_lsq: a %lld-byte program of %d forms, best of %d\n", srcSize, 2 * blocks,
                kBestOf);
    std::printf("  %-28s %10s %14s\n", "", "ms", "bytes");
    std::printf("  %-28s %10.1f %14lld\n", "load from source", tSource * 1e3, srcSize);
    std::printf("  %-28s %10.1f %14lld\n", "load from stored query", tStored * 1e3, lsqSize);
    std::printf("  %-28s %10.1f\n", "lsp2lsq (read + write)", tConvert * 1e3);
    if (tSource > 0 && tStored > 0)
        std::printf("  stored query loads %.2fx faster (aim: 3x); its size is %.0f%% of the source\n",
                    tSource / tStored, 100.0 * static_cast<double>(lsqSize) / static_cast<double>(srcSize));
    s.reset();
    DeleteFileA(kSource);
    DeleteFileA(kStored);
    return 0;
}
