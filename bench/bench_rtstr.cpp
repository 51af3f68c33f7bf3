/*
 * bench_rtstr.cpp - speed of the rich-text string layer over 1 MiB of rich
 * text (words with a formatting change every few words), in MiB/s, next to
 * a plain pass of the C library over the same bytes in the same run:
 * RtStrLen against strlen, RtStrSplit against a memchr pass that finds
 * every escape byte, RtStripFromFormatting and RtStrMakeStore /
 * RtStrRetrieveStore against strlen + memcpy of the same bytes.
 *
 * Painting (a 32-bit DIB section in a memory context, a PS on it, a
 * two-entry context): RtStrFindWrapPos walking the whole text line by line
 * against a plain pass that adds up native character widths of the same
 * bytes, and drawing the first lines with RtStrCharStringAt against
 * TextOutA of the same lines with their codes stripped.
 *
 * Under ANSI code page 932 (LC_ALL=ja_JP.UTF-8 scripts/run-bench
 * bench_rtstr) the text also holds double-byte characters and the layer
 * steps over them; the C library's passes count bytes either way.
 */
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>
#include "knl.h"
#include "rt.h"
#include "rtpaint.h"

namespace {

constexpr size_t kTextBytes = 1024 * 1024;
constexpr int kRounds = 10;       /* passes over the text per timing */
constexpr int kRepeats = 5;       /* timings per figure; the fastest counts */
constexpr double kMiB = 1024.0 * 1024.0;

double now()
{
    LARGE_INTEGER f, t;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&t);
    return (double)t.QuadPart / (double)f.QuadPart;
}

unsigned long seed = 20261207UL;

unsigned nextRandom()
{
    seed = seed * 1103515245UL + 12345UL;
    return (unsigned)(seed >> 16) & 0x7FFF;
}

/* Words of letters and blanks with an escape sequence every few words
 * (bold, colour, font, underline switches) and now and then a caret; with
 * dbcs a fifth of the characters are code page 932 pairs. */
std::string makeText(bool dbcs)
{
    static const char *const codes[] = {"\x7f" "b1;", "\x7f" "b0;", "\x7f" "c12;", "\x7f" "f3;",
                                        "\x7f" "u1;", "\x7f" "u0;", "\x7f" "g300;", "\x7f" "i1"};
    std::string s;
    s.reserve(kTextBytes + 16);
    while (s.size() < kTextBytes) {
        unsigned r = nextRandom();
        if (r % 23 == 0)
            s += codes[r / 23 % 8];
        else if (r % 7 == 0)
            s += ' ';
        else if (r % 97 == 0)
            s += '^';
        else if (dbcs && r % 5 == 0)
            s += "\x82\xa0";
        else
            s += (char)('a' + r / 7 % 26);
    }
    return s;
}

volatile size_t sink;

/* MiB/s of a pass over bytes bytes, the fastest of kRepeats timings. */
template <class F>
double rate(size_t bytes, F pass)
{
    double best = 1e30;
    for (int r = 0; r < kRepeats; r++) {
        double t0 = now();
        for (int i = 0; i < kRounds; i++)
            pass();
        double t = now() - t0;
        if (t < best)
            best = t;
    }
    return (double)bytes * kRounds / kMiB / best;
}

void row(const char *what, double ours, const char *peerName, double peer)
{
    std::printf("  %-26s %9.1f MiB/s   %-22s %9.1f MiB/s   (%.2fx)\n", what, ours, peerName, peer,
                ours / peer);
}

void measure(const std::string &text)
{
    const char *s = text.c_str();
    size_t n = text.size();
    char *out = (char *)std::malloc(2 * n + 1);

    double strlenRate = rate(n, [&] { sink = std::strlen(s); });
    double memchrRate = rate(n, [&] {
        size_t hits = 0;
        for (const char *p = s; (p = (const char *)std::memchr(p, 0x7F, n - (size_t)(p - s))); p++)
            hits++;
        sink = hits;
    });
    double copyRate = rate(n, [&] { std::memcpy(out, s, std::strlen(s) + 1); sink = out[0]; });

    row("RtStrLen", rate(n, [&] { sink = RtStrLen(s); }), "strlen", strlenRate);
    row("RtStrSplit (grown array)", rate(n, [&] {
            PRTSTRRUN runs = nullptr;
            ULONG count = RtStrSplit(s, &runs, 0);
            for (ULONG i = 0; i < count; i++)
                std::free(runs[i].pszText);
            std::free(runs);
            sink = count;
        }), "memchr escapes", memchrRate);
    row("RtStrToStr", rate(n, [&] { sink = (size_t)RtStrToStr(s, out); }), "strlen+memcpy", copyRate);
    row("RtStripFromFormatting", rate(n, [&] {
            char *p = RtStripFromFormatting(s);
            sink = (size_t)p;
            std::free(p);
        }), "strlen+memcpy", copyRate);
    char *stored = RtStrMakeStore(s, nullptr);
    row("RtStrMakeStore", rate(n, [&] {
            char *p = RtStrMakeStore(s, nullptr);
            sink = (size_t)p;
            std::free(p);
        }), "strlen+memcpy", copyRate);
    row("RtStrRetrieveStore", rate(std::strlen(stored), [&] {
            char *p = RtStrRetrieveStore(stored);
            sink = (size_t)p;
            std::free(p);
        }), "strlen+memcpy", copyRate);
    std::free(stored);
    std::free(out);
}

/* A memory PS on a DIB section with a two-entry context put into it. */
struct PaintPage {
    static constexpr LONG kW = 800, kH = 600;
    HDC hdc = CreateCompatibleDC(nullptr);
    HBITMAP dib = nullptr;
    HGDIOBJ old = nullptr;
    HPS hps = nullptr;
    PRTCONTEXT ctx = RtStrCreateContext();
    PRTFONTSET fs = nullptr;
    PaintPage()
    {
        BITMAPINFO bi{};
        bi.bmiHeader.biSize = sizeof bi.bmiHeader;
        bi.bmiHeader.biWidth = kW;
        bi.bmiHeader.biHeight = -kH;
        bi.bmiHeader.biPlanes = 1;
        bi.bmiHeader.biBitCount = 32;
        void *bits = nullptr;
        dib = CreateDIBSection(hdc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
        old = SelectObject(hdc, dib);
        PM_SIZEL size{kW, kH};
        hps = GpiCreatePS(0, hdc, &size, PM_GPIA_ASSOC);
        RtStrAddContextEntry(ctx, "Tahoma", -10);
        RtStrAddContextEntry(ctx, "Tahoma", -12);
        RtStrAddContextEntry(ctx, "Tahoma", -14);
        RtStrAddContextEntry(ctx, "Tahoma", -16);
        fs = RtStrPutContextIntoPS(hps, ctx);
    }
    ~PaintPage()
    {
        RtStrReleaseContextFromPS(hps, fs, ctx);
        RtStrDestroyContext(ctx);
        GpiDestroyPS(hps);
        SelectObject(hdc, old);
        DeleteObject(dib);
        DeleteDC(hdc);
    }
};

void measurePainting(const std::string &text)
{
    PaintPage page;
    const char *s = text.c_str();
    size_t n = text.size();
    const LONG lineWidth = 600;
    size_t lines = 0;
    double wrapRate = rate(n, [&] {
        lines = 0;
        for (const char *p = s; *p;) {
            const char *next = RtStrFindWrapPos(page.hps, page.fs, p, lineWidth, 0);
            if (!next || next == p)
                break;
            p = next;
            lines++;
        }
        sink = lines;
    });
    INT widths[256];
    GpiSetCharSet(page.hps, 1);
    GetCharWidth32A(page.hdc, 0, 255, widths);
    double sumRate = rate(n, [&] {
        long sum = 0;
        for (size_t i = 0; i < n; i++)
            sum += widths[(unsigned char)s[i]];
        sink = (size_t)sum;
    });
    row("RtStrFindWrapPos", wrapRate, "table width sum", sumRate);
    std::printf("    (%zu lines of at most %ld pixels)\n", lines, (long)lineWidth);

    // the first lines, drawn rich and plain
    std::vector<std::string> rich, plain;
    for (const char *p = s; *p && rich.size() < 2000;) {
        const char *next = RtStrFindWrapPos(page.hps, page.fs, p, lineWidth, 0);
        if (!next || next == p)
            break;
        rich.emplace_back(p, next);
        char *stripped = RtStripFromFormatting(rich.back().c_str());
        plain.emplace_back(stripped ? stripped : "");
        std::free(stripped);
        p = next;
    }
    size_t bytes = 0;
    for (const std::string &l : plain)
        bytes += l.size();
    double richRate = rate(bytes, [&] {
        for (size_t i = 0; i < rich.size(); i++) {
            PM_POINTL at{0, (LONG)(20 + i % 30 * 19)};
            RtStrCharStringAt(page.hps, page.fs, &at, rich[i].c_str());
        }
        GdiFlush();
    });
    double plainRate = rate(bytes, [&] {
        for (size_t i = 0; i < plain.size(); i++)
            TextOutA(page.hdc, 0, (int)(20 + i % 30 * 19), plain[i].data(), (int)plain[i].size());
        GdiFlush();
    });
    row("RtStrCharStringAt", richRate, "TextOutA (plain)", plainRate);
    std::printf("    (%zu lines, %zu visible bytes per pass)\n", rich.size(), bytes);
}

}  // namespace

int main()
{
    KnlInitCP();
    KnlInitDBCSEv();
    std::printf("rich-text strings, 1 MiB of text, %d passes per timing, best of %d\n", kRounds,
                kRepeats);
    std::printf("single-byte text (code page %u):\n", GetACP());
    measure(makeText(false));
    std::printf("painting into a memory PS:\n");
    measurePainting(makeText(false));
    if (GetACP() == 932) {
        std::printf("text with double-byte characters:\n");
        measure(makeText(true));
    }
    return 0;
}
