/*
 * bench_str.c - speed of the narrow string family over 1 MiB of text next
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
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include "knl.h"
#include "str.h"

#define TEXT_BYTES   (1024 * 1024)
#define ROUNDS       20      /* passes over the text per timing */
#define REPEATS      5       /* timings per figure; the fastest counts */
#define DBCS_LOCALE  "ja_JP.UTF-8"

static double now(void)
{
    LARGE_INTEGER f, t;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&t);
    return (double)t.QuadPart / (double)f.QuadPart;
}

static unsigned long seed = 20261205UL;

static unsigned nextRandom(void)
{
    seed = seed * 1103515245UL + 12345UL;
    return (unsigned)(seed >> 16) & 0x7FFF;
}

/* Fills buf with words and blanks; with dbcs, a third of the characters
 * are code page 932 pairs.  No 'Q' appears, so searches for it run to the
 * end; the text ends with the search target "EndMarker". */
static void makeText(char *buf, size_t size, int dbcs)
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
static void lowerAscii(char *dst, const char *src)
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

typedef struct {
    const char *name;
    double lib, crt;
} FIGURE;

static void report(const char *text, const FIGURE *f, int count)
{
    int i;
    double mib = (double)ROUNDS * TEXT_BYTES / (1024.0 * 1024.0);
    printf("%s, code page %u, DBCS %s\n", text, GetACP(),
           ChrIsDBCSLeadByte(0x81) ? "on" : "off");
    for (i = 0; i < count; i++)
        printf("  %-26s %9.1f MiB/s  C library %9.1f MiB/s  ratio %.2fx\n",
               f[i].name, mib / f[i].lib, mib / f[i].crt, f[i].lib / f[i].crt);
}

static volatile size_t sink;
static const char *benchText, *benchLower;

static void libLen(void)  { sink = sink + StrCLen(benchText); }
static void crtLen(void)  { sink = sink + strlen(benchText); }
static void libChr(void)  { sink = sink + (size_t)StrChr(benchText, 'Q'); }
static void crtChr(void)  { sink = sink + (size_t)strchr(benchText, 'Q'); }
static void libIStr(void) { sink = sink + (size_t)StrIStr(benchText, "endmarker"); }
static void crtStr(void)  { sink = sink + (size_t)strstr(benchText, "EndMarker"); }
static void libICmp(void) { sink = sink + (size_t)StrCNICmp(benchText, benchLower, (size_t)-1); }
static void crtICmp(void) { sink = sink + (size_t)_stricmp(benchText, benchLower); }

/* Fastest of REPEATS timings of ROUNDS calls: the machine is shared, so
 * the fastest run is the one least disturbed. */
static double bestTime(void (*fn)(void))
{
    double best = 1e30;
    int r, i;
    for (r = 0; r < REPEATS; r++) {
        double t0 = now();
        for (i = 0; i < ROUNDS; i++)
            fn();
        t0 = now() - t0;
        if (t0 < best)
            best = t0;
    }
    return best;
}

static void measure(const char *label, const char *text, const char *lower)
{
    FIGURE f[] = {
        {"StrCLen / strlen", 0, 0},
        {"StrChr / strchr (absent)", 0, 0},
        {"StrIStr / strstr (at end)", 0, 0},
        {"StrCNICmp / _stricmp", 0, 0},
    };
    void (*lib[])(void) = { libLen, libChr, libIStr, libICmp };
    void (*crt[])(void) = { crtLen, crtChr, crtStr, crtICmp };
    int i;

    benchText = text;
    benchLower = lower;
    if (StrCNICmp(text, lower, (size_t)-1) != 0 || !StrIStr(text, "endmarker")) {
        printf("%s: the library's results are wrong, no figures\n", label);
        return;
    }
    for (i = 0; i < 4; i++) {
        f[i].lib = bestTime(lib[i]);
        f[i].crt = bestTime(crt[i]);
    }
    report(label, f, 4);
}

int main(void)
{
    char *text = (char*)malloc(TEXT_BYTES), *lower = (char*)malloc(TEXT_BYTES);

    if (!text || !lower)
        return 1;
    KnlInitCP();
    KnlInitDBCSEv();

    makeText(text, TEXT_BYTES, 0);
    lowerAscii(lower, text);
    measure("single-byte text", text, lower);

    if (ChrIsDBCSLeadByte(0x81)) {
        makeText(text, TEXT_BYTES, 1);
        lowerAscii(lower, text);
        measure("code page 932 text", text, lower);
    } else {
        printf("(code page 932 figures: run with LC_ALL=%s)\n", DBCS_LOCALE);
    }
    free(text);
    free(lower);
    return (int)(sink & 0);
}
