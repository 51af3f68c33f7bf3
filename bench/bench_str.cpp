/*
 * bench_str.cpp - speed of the narrow string family over 1 MiB of text next
 * to the C library on the same text in the same run: StrCLen / strlen,
 * StrChr / strchr, StrIStr / strstr and StrCNICmp / _stricmp.
 *
 * Two texts are measured: single-byte text (words of ASCII letters) and
 * double-byte text (the same words mixed with code page 932 characters,
 * some with trail bytes that equal ASCII letters and the backslash).  The
 * double-byte text only means something under ANSI code page 932, which
 * Wine takes from the Unix locale at start-up:
 *     LC_ALL=ja_JP.UTF-8 scripts/run-bench bench_str
 * measures both texts with the DBCS tables on; the default run measures
 * the single-byte text with them off.  The C library's functions count
 * bytes in both cases; they are the yardstick, not a reference for the
 * results.
 */
#include <cstdio>
#include <cstring>
#include <vector>
#include "knl.h"
#include "str.h"

namespace {

constexpr size_t kTextBytes = 1024 * 1024;
constexpr int kRounds = 20;      /* passes over the text per timing */
constexpr int kRepeats = 5;      /* timings per figure; the fastest counts */
constexpr const char *kDbcsLocale = "ja_JP.UTF-8";

double now()
{
    LARGE_INTEGER f, t;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&t);
    return (double)t.QuadPart / (double)f.QuadPart;
}

unsigned long seed = 20261205UL;

unsigned nextRandom()
{
    seed = seed * 1103515245UL + 12345UL;
    return (unsigned)(seed >> 16) & 0x7FFF;
}

/* Fills buf with words and blanks; with dbcs, a third of the characters
 * are code page 932 pairs.  No 'Q' appears, so searches for it run to the
 * end; the text ends with the search target "EndMarker". */
void makeText(char *buf, size_t size, int dbcs)
{
    static const unsigned char pairs[][2] = {
        {0x82, 0xA0}, {0x83, 0x41}, {0x95, 0x5C}, {0x88, 0x9F}, {0x82, 0x60},
        {0x93, 0xFA}, {0x96, 0x7B}, {0x8C, 0xEA}, {0x81, 0x40}, {0x83, 0x61}
    };
    const char *tail = " EndMarker";
    size_t n = 0, tailLen = strlen(tail);

    while (n + tailLen + 2 < size - 1) {
        unsigned r = nextRandom();
        if (dbcs && r % 3 == 0) {
            const unsigned char *p = pairs[r / 3 % 10];
            buf[n++] = (char)p[0];
            buf[n++] = (char)p[1];
        } else if (r % 7 == 0) {
            buf[n++] = ' ';
        } else {
            char c = (char)('a' + r / 7 % 26);
            if (c == 'q') c = 'z';
            buf[n++] = (r & 1) ? c : (char)(c - 32);
        }
    }
    memcpy(buf + n, tail, tailLen + 1);
}

/* Lowers every ASCII letter that is a character of its own, copying
 * double-byte pairs unchanged: the partner text for the case-insensitive
 * comparison, equal to the original apart from case. */
void lowerAscii(char *dst, const char *src)
{
    while (*src) {
        if (IsDBCSLeadByte((BYTE)*src) && src[1]) {
            *dst++ = *src++;
            *dst++ = *src++;
        } else {
            *dst++ = (*src >= 'A' && *src <= 'Z') ? (char)(*src + 32) : *src;
            src++;
        }
    }
    *dst = 0;
}

struct Figure {
    const char *name;
    double lib, crt;
};

void report(const char *text, const Figure *f, int count)
{
    double mib = (double)kRounds * kTextBytes / (1024.0 * 1024.0);
    printf("%s, code page %u, DBCS %s\n", text, GetACP(),
           ChrIsDBCSLeadByte(0x81) ? "on" : "off");
    for (int i = 0; i < count; i++)
        printf("  %-26s %9.1f MiB/s  C library %9.1f MiB/s  ratio %.2fx\n",
               f[i].name, mib / f[i].lib, mib / f[i].crt, f[i].lib / f[i].crt);
}

volatile size_t sink;
const char *benchText, *benchLower;

void libLen()  { sink = sink + StrCLen(benchText); }
void crtLen()  { sink = sink + strlen(benchText); }
void libChr()  { sink = sink + (size_t)StrChr(benchText, 'Q'); }
void crtChr()  { sink = sink + (size_t)strchr(benchText, 'Q'); }
void libIStr() { sink = sink + (size_t)StrIStr(benchText, "endmarker"); }
void crtStr()  { sink = sink + (size_t)strstr(benchText, "EndMarker"); }
void libICmp() { sink = sink + (size_t)StrCNICmp(benchText, benchLower, (size_t)-1); }
void crtICmp() { sink = sink + (size_t)_stricmp(benchText, benchLower); }

/* Fastest of kRepeats timings of kRounds calls: the machine is shared, so
 * the fastest run is the one least disturbed. */
double bestTime(void (*fn)())
{
    double best = 1e30;
    for (int r = 0; r < kRepeats; r++) {
        double t0 = now();
        for (int i = 0; i < kRounds; i++)
            fn();
        t0 = now() - t0;
        if (t0 < best)
            best = t0;
    }
    return best;
}

void measure(const char *label, const char *text, const char *lower)
{
    Figure f[] = {
        {"StrCLen / strlen", 0, 0},
        {"StrChr / strchr (absent)", 0, 0},
        {"StrIStr / strstr (at end)", 0, 0},
        {"StrCNICmp / _stricmp", 0, 0},
    };
    void (*lib[])() = {libLen, libChr, libIStr, libICmp};
    void (*crt[])() = {crtLen, crtChr, crtStr, crtICmp};

    benchText = text;
    benchLower = lower;
    if (StrCNICmp(text, lower, (size_t)-1) != 0 || !StrIStr(text, "endmarker")) {
        printf("%s: the library's results are wrong, no figures\n", label);
        return;
    }
    for (int i = 0; i < 4; i++) {
        f[i].lib = bestTime(lib[i]);
        f[i].crt = bestTime(crt[i]);
    }
    report(label, f, 4);
}

}  // namespace

int main()
{
    std::vector<char> textBuf(kTextBytes), lowerBuf(kTextBytes);
    char *text = textBuf.data(), *lower = lowerBuf.data();

    KnlInitCP();
    KnlInitDBCSEv();

    makeText(text, kTextBytes, 0);
    lowerAscii(lower, text);
    measure("single-byte text", text, lower);

    if (ChrIsDBCSLeadByte(0x81)) {
        makeText(text, kTextBytes, 1);
        lowerAscii(lower, text);
        measure("code page 932 text", text, lower);
    } else {
        printf("(code page 932 figures: run with LC_ALL=%s)\n", kDbcsLocale);
    }
    return (int)(sink & 0);
}
