/*
 * gpi_attr.cpp - PS attributes: colour resolution (PM colour values and
 * the system-colour table), the mix and pattern tables, the setters and
 * queries, the nearest PM colour of an RGB triple, and the realisation of
 * one attribute set (line, character, area) in the native context.
 *
 * Realisation is lazy: setters only store and reset the PS mode; the
 * first primitive of a kind calls gpiRealize, which does nothing while
 * the PS is still in that mode.  The line pen is cached with the colour
 * and width it was made for and replaced only when either changes.
 */
#include <array>
#include <cassert>
#include "pm/gpi/gpiint.h"

namespace orin::pm::gpi {
namespace {

constexpr LONG kFirstSysColor = -48;
constexpr LONG kLastSysColor = -10;

/* PM system colour (-48 ... -10) -> host system-colour index. */
constexpr std::array<BYTE, kLastSysColor - kFirstSysColor + 1> kSysColorIndex = {
    23, 24, 5, 10, 14, 13, 1, 20, 15, 16,   // -48 ... -39
    6, 6, 17, 18, 5, 14, 13, 3, 2, 19,      // -38 ... -29
    9, 18, 18, 0, 1, 2, 3, 4, 15, 6,        // -28 ... -19
    7, 8, 9, 10, 11, 15, 5, 8, 14};         // -18 ... -10

/* PM colour index 0 ... 15 -> native 0x00BBGGRR. */
constexpr std::array<COLORREF, 16> kIndexColor = {
    0x000000, 0xFF0000, 0x0000FF, 0xFF00FF, 0x00FF00, 0xFFFF00, 0x00FFFF, 0xFFFFFF,
    0x808080, 0x800000, 0x000080, 0x800080, 0x008000, 0x808000, 0x004180, 0xC0C0C0};

constexpr COLORREF kWhite = 0xFFFFFF;
constexpr COLORREF kBlack = 0x000000;

struct MixOps {
    int rop2;
    DWORD rop3;
};
constexpr MixOps kCopy{R2_COPYPEN, PATCOPY};
constexpr USHORT kMixCount = 18;

/* PM mix 0 ... 17 -> native line and fill raster operations. */
constexpr std::array<MixOps, kMixCount> kMixTable = {{
    kCopy,                          // 0 default
    {R2_MERGEPEN, 0xFA0089},        // 1 or
    kCopy,                          // 2 overpaint
    {R2_NOTCOPYPEN, 0x0F0001},      // 3
    {R2_XORPEN, 0x5A0049},          // 4 xor
    kCopy,                          // 5 leave alone
    {R2_MASKPEN, 0xA000C9},         // 6 and
    kCopy, kCopy, kCopy,            // 7, 8, 9
    {R2_MASKNOTPEN, 0x0A0329},      // 10
    {R2_NOTXORPEN, 0x5F00E9},       // 11
    {R2_NOTCOPYPEN, 0x0F0001},      // 12
    kCopy, kCopy, kCopy,            // 13, 14, 15
    {R2_NOTMERGEPEN, 0x0500A9},     // 16
    kCopy,                          // 17
}};

constexpr MixOps mixOps(USHORT mix) noexcept
{
    return kMixTable[mix < kMixCount ? mix : 0];
}

/* 8x8 patterns, eight 16-bit rows each (low byte used), top row first;
 * a 0 bit takes the foreground, a 1 bit the background. */
using PatternRows = std::array<USHORT, 8>;
constexpr PatternRows kSolidRows{};
constexpr std::array<PatternRows, 18> kPatterns = {{
    kSolidRows, kSolidRows,
    {0x88, 0x22, 0x88, 0x22, 0x88, 0x22, 0x88, 0x22},
    {0xAA, 0x55, 0xAA, 0x55, 0xAA, 0x55, 0xAA, 0x55},
    {0xDD, 0x77, 0xDD, 0x77, 0xDD, 0x77, 0xDD, 0x77},
    {0xFF, 0xDD, 0xFF, 0x77, 0xFF, 0xDD, 0xFF, 0x77},
    {0xFF, 0xF7, 0xFF, 0x7F, 0xFF, 0xF7, 0xFF, 0x7F},
    {0xFF, 0xFF, 0xFF, 0x7F, 0xFF, 0xFF, 0xFF, 0xF7},
    {0xFF, 0xFF, 0xFF, 0xF7, 0xFF, 0xFF, 0xFF, 0xFF},
    {0xBB, 0xBB, 0xBB, 0xBB, 0xBB, 0xBB, 0xBB, 0xBB},
    {0xFF, 0x00, 0xFF, 0xFF, 0xFF, 0x00, 0xFF, 0xFF},
    {0x77, 0xBB, 0xDD, 0xEE, 0x77, 0xBB, 0xDD, 0xEE},
    {0x7F, 0xBF, 0xDF, 0xEF, 0xF7, 0xFB, 0xFD, 0xFE},
    {0xEE, 0xDD, 0xBB, 0x77, 0xEE, 0xDD, 0xBB, 0x77},
    {0xFE, 0xFD, 0xFB, 0xF7, 0xEF, 0xDF, 0xBF, 0x7F},
    {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF},
    kSolidRows, kSolidRows,
}};

constexpr USHORT kPatternKeepBrush = 11;

bool isSolidPattern(USHORT p) noexcept { return p == 0 || p == 1 || p == 16; }

/* Pen width in pixels: width times factor, either alone when the other is 0. */
int penPixels(const GpiPS &ps) noexcept
{
    if (ps.penWidth && ps.lineWidthFactor)
        return ps.penWidth * ps.lineWidthFactor;
    return ps.penWidth ? ps.penWidth : ps.lineWidthFactor;
}

void realizeLine(GpiPS &ps) noexcept
{
    COLORREF color = lineColor(ps);
    int width = penPixels(ps);
    if (!ps.pen || ps.penColor != color || ps.penPixels != width) {
        GdiObject pen(CreatePen(PS_SOLID, width, color));
        if (pen) {
            SelectObject(ps.hdc, pen.get());
            ps.pen = std::move(pen);      // the old pen goes after the new one is in
            ps.penColor = color;
            ps.penPixels = width;
        }
    }
    SetBkColor(ps.hdc, resolveColor(ps, ps.lineBack));
}

void realizeChar(GpiPS &ps) noexcept
{
    SetTextColor(ps.hdc, resolveColor(ps, ps.charFore));
    SetBkColor(ps.hdc, resolveColor(ps, ps.charBack));
}

void realizeArea(GpiPS &ps) noexcept
{
    COLORREF fore = resolveColor(ps, ps.areaFore);
    if (ps.pattern != kPatternKeepBrush) {
        GdiObject bitmap, brush;
        if (isSolidPattern(ps.pattern)) {
            brush.reset(CreateSolidBrush(fore));
        } else {
            bitmap.reset(CreateBitmap(8, 8, 1, 1, patternRows(ps.pattern)));
            if (bitmap)
                brush.reset(CreatePatternBrush(static_cast<HBITMAP>(bitmap.get())));
            SetTextColor(ps.hdc, fore);
        }
        if (brush) {
            SelectObject(ps.hdc, brush.get());
            ps.brush = std::move(brush);
            ps.patternBitmap = std::move(bitmap);
        }
    }
    SetBkColor(ps.hdc, resolveColor(ps, ps.areaBack));
}

}  // namespace

COLORREF resolveColor(const GpiPS &ps, LONG c) noexcept
{
    if (c >= kFirstSysColor && c <= kLastSysColor)
        return GetSysColor(kSysColorIndex[c - kFirstSysColor]);
    if (ps.paletteSelected)
        return PALETTEINDEX(c & 0xFFFF);
    if (c >= 1 && c <= 15)
        return kIndexColor[c];
    if (c == -4 || c == -3 || c == -2 || c == -255)
        return kWhite;
    return kBlack;
}

COLORREF lineColor(const GpiPS &ps) noexcept
{
    return ps.allLinesBlack ? kBlack : resolveColor(ps, ps.lineFore);
}

int lineRop2(USHORT mix) noexcept { return mixOps(mix).rop2; }
DWORD fillRop3(USHORT mix) noexcept { return mixOps(mix).rop3; }

const USHORT *patternRows(USHORT pattern) noexcept
{
    return kPatterns[pattern < kPatterns.size() ? pattern : 0].data();
}

void gpiRealize(GpiPS &ps, USHORT mode) noexcept
{
    if (ps.mode == mode)
        return;
    // Invariant: a primitive asks for exactly one attribute set.
    assert(mode == kModeLine || mode == kModeChar || mode == kModeArea);
    if (mode == kModeLine)
        realizeLine(ps);
    else if (mode == kModeChar)
        realizeChar(ps);
    else if (mode == kModeArea)
        realizeArea(ps);
    SetROP2(ps.hdc, lineRop2(ps.mix));
    ps.mode = mode;
}

void gpiDropCachedObjects(GpiPS &ps) noexcept
{
    if (ps.hdc) {
        SelectObject(ps.hdc, GetStockObject(BLACK_PEN));
        SelectObject(ps.hdc, GetStockObject(WHITE_BRUSH));
    }
    ps.pen.reset();
    ps.brush.reset();
    ps.patternBitmap.reset();
    ps.mode = kModeNone;
}

}  // namespace orin::pm::gpi

using namespace orin::pm::gpi;

namespace {

/* Stores one attribute and makes the next primitive realise again. */
template <class F>
BOOL setAttribute(HPS hps, F store) noexcept
{
    GpiPS *ps = gpiFind(hps);
    if (!ps)
        return FALSE;
    if (!store(*ps))
        return fail(PMERR_GPI_INV_PARAM, FALSE);
    ps->mode = kModeNone;
    return TRUE;
}

constexpr LONG kBundleLine = PM_PRIM_LINE;
constexpr LONG kBundleChar = PM_PRIM_CHAR;
constexpr LONG kBundleArea = PM_PRIM_AREA;
constexpr LONG kBundleAll = kBundleLine | kBundleChar | kBundleArea;

/* The colour slots a bundle kind names (a bit set of the three kinds). */
template <class Slot>
bool setBundle(GpiPS &ps, LONG kind, LONG color, Slot slot) noexcept
{
    if (kind <= 0 || (kind & ~kBundleAll))
        return false;
    if (kind & kBundleLine)
        slot(ps, kBundleLine) = color;
    if (kind & kBundleChar)
        slot(ps, kBundleChar) = color;
    if (kind & kBundleArea)
        slot(ps, kBundleArea) = color;
    return true;
}

LONG &foreSlot(GpiPS &ps, LONG kind) noexcept
{
    return kind == kBundleLine ? ps.lineFore : kind == kBundleChar ? ps.charFore : ps.areaFore;
}

LONG &backSlot(GpiPS &ps, LONG kind) noexcept
{
    return kind == kBundleLine ? ps.lineBack : kind == kBundleChar ? ps.charBack : ps.areaBack;
}

template <class F>
LONG query(HPS hps, LONG failure, F read) noexcept
{
    GpiPS *ps = gpiFind(hps);
    return ps ? read(*ps) : failure;
}

constexpr LONG kLastMix = 17;
constexpr LONG kMaxShortAttr = 0xFFFF;

}  // namespace

BOOL ORINAPI GpiSetColor(HPS hps, LONG c) noexcept
{
    return setAttribute(hps, [c](GpiPS &ps) { return setBundle(ps, kBundleAll, c, foreSlot); });
}

BOOL ORINAPI GpiSetBackColor(HPS hps, LONG c) noexcept
{
    return setAttribute(hps, [c](GpiPS &ps) { return setBundle(ps, kBundleAll, c, backSlot); });
}

BOOL ORINAPI GpiSetColorBundle(HPS hps, LONG kind, LONG c) noexcept
{
    return setAttribute(hps, [=](GpiPS &ps) { return setBundle(ps, kind, c, foreSlot); });
}

BOOL ORINAPI GpiSetBackColorBundle(HPS hps, LONG kind, LONG c) noexcept
{
    return setAttribute(hps, [=](GpiPS &ps) { return setBundle(ps, kind, c, backSlot); });
}

BOOL ORINAPI GpiSetMix(HPS hps, LONG mix) noexcept
{
    return setAttribute(hps, [mix](GpiPS &ps) {
        if (mix < 0 || mix > kLastMix)
            return false;
        ps.mix = static_cast<USHORT>(mix);
        return true;
    });
}

BOOL ORINAPI GpiSetPattern(HPS hps, LONG pattern) noexcept
{
    return setAttribute(hps, [pattern](GpiPS &ps) {
        if (pattern < 0)
            return false;
        ps.pattern = static_cast<USHORT>(pattern > kMaxPattern ? kMaxPattern : pattern);
        return true;
    });
}

BOOL ORINAPI GpiSetLineWidthFactor(HPS hps, LONG factor) noexcept
{
    return setAttribute(hps, [factor](GpiPS &ps) {
        if (factor < 0 || factor > kMaxShortAttr)
            return false;
        ps.lineWidthFactor = static_cast<USHORT>(factor);
        return true;
    });
}

BOOL ORINAPI GpiSetPenWidth(HPS hps, LONG width) noexcept
{
    return setAttribute(hps, [width](GpiPS &ps) {
        if (width < 0 || width > kMaxShortAttr)
            return false;
        ps.penWidth = static_cast<USHORT>(width);
        return true;
    });
}

BOOL ORINAPI GpiSetAllLinesAreBlack(HPS hps, BOOL fBlack) noexcept
{
    GpiPS *ps = gpiFind(hps);
    if (!ps)
        return FALSE;
    ps->allLinesBlack = fBlack != FALSE;   // takes effect at the next pen change
    return TRUE;
}

BOOL ORINAPI GpiSetMarkerBox(HPS hps, const PM_SIZEL *psizl) noexcept
{
    GpiPS *ps = gpiFind(hps);
    if (!ps)
        return FALSE;
    if (!psizl || psizl->cx < 0 || psizl->cy < 0)
        return fail(PMERR_GPI_INV_PARAM, FALSE);
    ps->markerBox = SIZE{psizl->cx, psizl->cy};
    return TRUE;
}

LONG ORINAPI GpiQueryColor(HPS hps) noexcept
{
    return query(hps, PM_CLR_ERROR, [](const GpiPS &ps) { return ps.lineFore; });
}

LONG ORINAPI GpiQueryBackColor(HPS hps) noexcept
{
    return query(hps, PM_CLR_ERROR, [](const GpiPS &ps) { return ps.lineBack; });
}

LONG ORINAPI GpiQueryMix(HPS hps) noexcept
{
    return query(hps, -1, [](const GpiPS &ps) { return LONG(ps.mix); });
}

LONG ORINAPI GpiQueryPattern(HPS hps) noexcept
{
    return query(hps, -1, [](const GpiPS &ps) { return LONG(ps.pattern); });
}

LONG ORINAPI har_Rgb2NearestColor(const PM_RGB *prgb) noexcept
{
    if (!prgb)
        return fail(PMERR_GPI_INV_PARAM, -1L);
    constexpr int kDark = 20, kLight = 210, kMidGrey = 140;   // grey thresholds
    constexpr int kOn = 85, kBright = 170, kBrownGreenMax = 63;
    const int r = prgb->bRed, g = prgb->bGreen, b = prgb->bBlue;
    if (r == g && g == b) {
        if (r < kDark)
            return 0;
        if (r > kLight)
            return 7;
        return r < kMidGrey ? 8 : 15;
    }
    const int n = (r >= kOn) + (g >= kOn) + (b >= kOn);
    const int m = (r > kBright) + (g > kBright) + (b > kBright);
    LONG value = 8;
    if (b >= kOn)
        value = 9;
    if (g >= kOn)
        value = b < kOn ? 12 : 13;
    if (r >= kOn) {
        if (b == 0 && g >= 1 && g <= kBrownGreenMax)
            return 14;
        value |= 2;
    }
    if (n == 0 || 2 * m < n)
        return value;
    return value & ~8L;
}
