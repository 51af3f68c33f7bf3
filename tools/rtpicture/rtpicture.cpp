/*
 * rtpicture.cpp - paints a page of rich text into a memory presentation
 * space and saves it as richtext.bmp next to the program: fonts, bold and
 * italic, underlines, strike-out, colours, backgrounds, a rule line,
 * word-wrapped paragraphs and lines turned by 90 and 270 degrees.
 */
#include <cstdio>
#include <string>
#include "rtpaint.h"

namespace {

constexpr LONG kWidth = 640, kHeight = 480;
#define ESC "\x7f"

/* A 24-bit top-down DIB section in a memory context, with a PS on it. */
struct Page {
    HDC hdc = CreateCompatibleDC(nullptr);
    BYTE *bits = nullptr;
    HBITMAP dib = nullptr;
    HGDIOBJ old = nullptr;
    HPS hps = nullptr;
    BITMAPINFO bi{};

    Page()
    {
        bi.bmiHeader.biSize = sizeof bi.bmiHeader;
        bi.bmiHeader.biWidth = kWidth;
        bi.bmiHeader.biHeight = -kHeight;
        bi.bmiHeader.biPlanes = 1;
        bi.bmiHeader.biBitCount = 24;
        dib = CreateDIBSection(hdc, &bi, DIB_RGB_COLORS, reinterpret_cast<void **>(&bits), nullptr, 0);
        old = SelectObject(hdc, dib);
        PatBlt(hdc, 0, 0, kWidth, kHeight, WHITENESS);
        PM_SIZEL size{kWidth, kHeight};
        hps = GpiCreatePS(WinInitialize(0), hdc, &size, PM_GPIA_ASSOC);
    }
    ~Page()
    {
        if (hps)
            GpiDestroyPS(hps);
        SelectObject(hdc, old);
        DeleteObject(dib);
        DeleteDC(hdc);
    }
    bool save(const std::string &path) const
    {
        GdiFlush();
        DWORD row = (kWidth * 3 + 3) & ~3u, image = row * kHeight;
        BITMAPFILEHEADER fh{};
        fh.bfType = 0x4D42;
        fh.bfOffBits = sizeof fh + sizeof bi.bmiHeader;
        fh.bfSize = fh.bfOffBits + image;
        FILE *f = std::fopen(path.c_str(), "wb");
        if (!f)
            return false;
        bool ok = std::fwrite(&fh, sizeof fh, 1, f) == 1 &&
                  std::fwrite(&bi.bmiHeader, sizeof bi.bmiHeader, 1, f) == 1 &&
                  std::fwrite(bits, image, 1, f) == 1;
        return std::fclose(f) == 0 && ok;
    }
};

std::string besideProgram(const char *name)
{
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
    std::string dir(path, n);
    size_t slash = dir.find_last_of("\\/");
    return (slash == std::string::npos ? std::string() : dir.substr(0, slash + 1)) + name;
}

}  // namespace

int main()
{
    Page page;
    PRTCONTEXT ctx = RtStrCreateContext();
    RtStrAddContextEntry(ctx, "Tahoma", -11);          // f0: body text
    RtStrAddContextEntry(ctx, "Tahoma", -22);          // f1: heading
    RtStrAddContextEntry(ctx, "Courier New", -11);     // f2: code
    PRTFONTSET fs = RtStrPutContextIntoPS(page.hps, ctx);
    if (!page.hps || !fs) {
        std::fprintf(stderr, "rtpicture: no presentation space or fonts\n");
        return 1;
    }
    PM_POINTL at{20, 440};
    RtStrCharStringAt(page.hps, fs, &at, ESC "f1;" ESC "b1;" ESC "c9;Rich text " ESC "i1;" ESC "c2;painted");
    at = PM_POINTL{20, 425};
    RtStrCharStringAt(page.hps, fs, &at, ESC "x;");
    at = PM_POINTL{20, 400};
    RtStrCharStringAt(page.hps, fs, &at,
                      "plain, " ESC "b1;bold" ESC "b0;, " ESC "i1;italic" ESC "i0;, " ESC
                      "u1;underlined" ESC "u0;, " ESC "u2;double" ESC "u0;, " ESC "s1;struck" ESC
                      "s0;, x" ESC "p2;raised" ESC "p0; and x" ESC "p1;small" ESC "p0;");
    at = PM_POINTL{20, 375};
    RtStrCharStringAt(page.hps, fs, &at,
                      ESC "c1;blue " ESC "c2;red " ESC "c4;green " ESC "c0;" ESC "g6;on yellow" ESC
                      "g256; " ESC "c7;" ESC "g1;white on blue" ESC "g256;" ESC "c0; " ESC
                      "f2;fixed-width code");
    const char *story =
        "Wrapped paragraphs: this text is broken into lines at blanks and after hyphens so that "
        "every line fits the frame. " ESC "b1;" ESC "c2;A bold red passage keeps its weight and "
        "colour on the next line, " ESC "g6;while its yellow background starts again only where "
        "the text asks for it." ESC "g256;" ESC "b0;" ESC "c0;\n"
        "A second paragraph begins after a line feed; a very-long-hyphenated-compound-word shows "
        "the break after a hyphen.";
    PM_RECTL frame{20, 150, 420, 355};
    RtPaintStrWrapRect(page.hps, fs, story, &frame, RT_PAINT_CLIP, 0);
    PM_RECTL up{460, 150, 530, 355}, down{550, 150, 620, 355};
    RtPaintStrWrapRect(page.hps, fs, ESC "c12;turned by 90 degrees, reading upwards", &up,
                       RT_PAINT_CLIP, 90);
    RtPaintStrWrapRect(page.hps, fs, ESC "c9;turned by 270 degrees, reading downwards", &down,
                       RT_PAINT_CLIP, 270);
    PM_RECTL upside{20, 40, 420, 120};
    RtPaintStrWrapRect(page.hps, fs, ESC "c14;" ESC "i1;and this paragraph stands on its head, "
                       "turned by 180 degrees", &upside, RT_PAINT_CLIP, 180);
    RtStrReleaseContextFromPS(page.hps, fs, ctx);
    RtStrDestroyContext(ctx);
    std::string out = besideProgram("richtext.bmp");
    if (!page.save(out)) {
        std::fprintf(stderr, "rtpicture: cannot write %s\n", out.c_str());
        return 1;
    }
    std::printf("rtpicture: wrote %s\n", out.c_str());
    return 0;
}
