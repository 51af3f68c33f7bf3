/*
 * gpi_bitmap.cpp - palettes and bitmaps on a PS.
 *
 * Palettes: PM palette entries are 0x00RRGGBB words; while a palette is
 * selected into a PS its colour values 0 ... 0xFFFF are palette indices
 * (the system colours -48 ... -10 stay what they are).
 *
 * Bitmaps are native bitmaps described by native BITMAPINFO headers; scan
 * lines are counted from the bottom as in both PM and native DIBs.
 * GpiBitBlt takes PM points: target lower-left and upper-right corners
 * (the upper-right one not included), then the source lower-left corner,
 * and for stretching the source upper-right one.  WinDrawBitmap draws a
 * bitmap with its lower-left corner at a PM point, or stretched into an
 * inclusive PM rectangle (PM_DBM_STRETCH); with PM_DBM_IMAGEATTRS the 1
 * bits of a monochrome bitmap take clrFore and the 0 bits clrBack, without
 * it 1 bits are white and 0 bits black.
 */
#include <vector>
#include "pm/gpi/gpiint.h"

namespace orin::pm::gpi {
namespace {

constexpr ULONG kMaxPaletteEntries = 256;

/* A memory context holding one bitmap for the length of a call. */
class BitmapDC {
public:
    BitmapDC(HDC compatible, HBITMAP hbm) noexcept
        : hdc_(CreateCompatibleDC(compatible)),
          old_(hdc_ ? SelectObject(hdc_, hbm) : nullptr) {}
    ~BitmapDC()
    {
        if (hdc_) {
            SelectObject(hdc_, old_);
            DeleteDC(hdc_);
        }
    }
    BitmapDC(const BitmapDC &) = delete;
    BitmapDC &operator=(const BitmapDC &) = delete;
    bool ok() const noexcept { return hdc_ && old_; }
    HDC get() const noexcept { return hdc_; }

private:
    HDC hdc_;
    HGDIOBJ old_;
};

/* The shared 1x1 bitmap every new memory context starts with (a stock
 * object: selecting it anywhere and never deleting it is fine). */
HGDIOBJ defaultBitmap() noexcept
{
    static HGDIOBJ stock = [] {
        HDC probe = CreateCompatibleDC(nullptr);
        HGDIOBJ bmp = probe ? GetCurrentObject(probe, OBJ_BITMAP) : nullptr;
        if (probe)
            DeleteDC(probe);
        return bmp;
    }();
    return stock;
}

/* Takes the bitmap out of a memory context while the DIB calls run (they
 * want it unselected) and puts it back afterwards. */
class BitmapOut {
public:
    explicit BitmapOut(HDC hdc) noexcept
        : hdc_(hdc), bitmap_(static_cast<HBITMAP>(SelectObject(hdc, defaultBitmap()))) {}
    ~BitmapOut()
    {
        if (bitmap_)
            SelectObject(hdc_, bitmap_);
    }
    BitmapOut(const BitmapOut &) = delete;
    BitmapOut &operator=(const BitmapOut &) = delete;
    HBITMAP bitmap() const noexcept { return bitmap_; }

private:
    HDC hdc_;
    HBITMAP bitmap_;
};

struct RopName {
    BYTE pm;
    DWORD native;
};
constexpr RopName kRops[] = {
    {0xCC, SRCCOPY}, {0xEE, SRCPAINT}, {0x88, SRCAND}, {0x66, SRCINVERT},
    {0x44, SRCERASE}, {0x33, NOTSRCCOPY}, {0x11, NOTSRCERASE}, {0xC0, MERGECOPY},
    {0xBB, MERGEPAINT}, {0xF0, PATCOPY}, {0xFB, PATPAINT}, {0x5A, PATINVERT},
    {0x55, DSTINVERT}, {0x00, BLACKNESS}, {0xFF, WHITENESS}, {0xAA, 0x00AA0029}};

/* The native ternary raster operation of a PM one (its index byte). */
DWORD nativeRop(LONG rop) noexcept
{
    BYTE index = static_cast<BYTE>(rop & 0xFF);
    for (const RopName &r : kRops)
        if (r.pm == index)
            return r.native;
    return static_cast<DWORD>(index) << 16;
}

bool usesSource(DWORD rop) noexcept
{
    BYTE index = static_cast<BYTE>(rop >> 16);
    return ((index >> 2) & 0x33) != (index & 0x33);
}

bool usesPattern(DWORD rop) noexcept
{
    BYTE index = static_cast<BYTE>(rop >> 16);
    return ((index >> 4) & 0x0F) != (index & 0x0F);
}

constexpr ULONG kBboIgnore = 2;
constexpr ULONG kBboAnd = 1;

int stretchModeOf(ULONG options) noexcept
{
    if (options & kBboIgnore)
        return COLORONCOLOR;
    return (options & kBboAnd) ? WHITEONBLACK : BLACKONWHITE;
}

SIZE bitmapSize(HBITMAP hbm) noexcept
{
    BITMAP bm{};
    if (!hbm || GetObjectA(hbm, sizeof bm, &bm) != sizeof bm)
        return SIZE{0, 0};
    return SIZE{bm.bmWidth, bm.bmHeight};
}

bool isMemoryPS(const GpiPS &ps) noexcept { return GetObjectType(ps.hdc) == OBJ_MEMDC; }

/* Keeps the text and background colours of a context for one call. */
class ColorsKept {
public:
    explicit ColorsKept(GpiPS &ps) noexcept
        : ps_(ps), text_(GetTextColor(ps.hdc)), back_(GetBkColor(ps.hdc)) {}
    ~ColorsKept()
    {
        SetTextColor(ps_.hdc, text_);
        SetBkColor(ps_.hdc, back_);
    }
    ColorsKept(const ColorsKept &) = delete;
    ColorsKept &operator=(const ColorsKept &) = delete;

private:
    GpiPS &ps_;
    COLORREF text_, back_;
};

}  // namespace
}  // namespace orin::pm::gpi

using namespace orin::pm::gpi;

PM_HPAL ORINAPI GpiCreatePalette(HAB, ULONG, ULONG, ULONG ulCount, const ULONG *aulTable) noexcept
{
    if (!aulTable || ulCount == 0 || ulCount > kMaxPaletteEntries)
        return fail<PM_HPAL>(PMERR_GPI_INV_PARAM, nullptr);
    struct {
        WORD version;
        WORD count;
        PALETTEENTRY entries[kMaxPaletteEntries];
    } pal{0x300, static_cast<WORD>(ulCount), {}};
    for (ULONG i = 0; i < ulCount; i++) {
        ULONG v = aulTable[i];
        pal.entries[i] = PALETTEENTRY{BYTE(v >> 16), BYTE(v >> 8), BYTE(v), 0};
    }
    HPALETTE hpal = CreatePalette(reinterpret_cast<const LOGPALETTE *>(&pal));
    if (!hpal)
        SetLastError(PMERR_GPI_NO_MEMORY);
    return hpal;
}

PM_HPAL ORINAPI GpiSelectPalette(HPS hps, PM_HPAL hpal) noexcept
{
    GpiPS *ps = gpiFindDrawable(hps);
    if (!ps)
        return nullptr;
    if (hpal && GetObjectType(hpal) != OBJ_PAL)
        return fail<PM_HPAL>(PMERR_GPI_INV_PARAM, nullptr);
    PM_HPAL previous = ps->palette;
    HPALETTE native = hpal ? hpal : static_cast<HPALETTE>(GetStockObject(DEFAULT_PALETTE));
    SelectPalette(ps->hdc, native, FALSE);
    ps->palette = hpal;
    ps->paletteSelected = hpal != nullptr;
    ps->mode = kModeNone;      // colour values now resolve differently
    return previous;
}

LONG ORINAPI GpiRealizePalette(HPS hps) noexcept
{
    GpiPS *ps = gpiFindDrawable(hps);
    if (!ps)
        return PM_GPI_ERROR;
    UINT n = RealizePalette(ps->hdc);
    return n == GDI_ERROR ? -1L : static_cast<LONG>(n);
}

BOOL ORINAPI GpiDestroyPalette(PM_HPAL hpal) noexcept
{
    if (!hpal || GetObjectType(hpal) != OBJ_PAL)
        return fail(PMERR_GPI_INV_PARAM, FALSE);
    return DeleteObject(hpal);
}

HBITMAP ORINAPI GpiCreateBitmap(HPS hps, const BITMAPINFOHEADER *pbmpNew, ULONG flOptions,
                                const BYTE *pbInitData, const BITMAPINFO *pbmiInfo) noexcept
{
    GpiPS *ps = gpiFindDrawable(hps);
    if (!ps)
        return nullptr;
    bool init = (flOptions & PM_CBM_INIT) != 0;
    if (!pbmpNew || (init && (!pbInitData || !pbmiInfo)))
        return fail<HBITMAP>(PMERR_GPI_INV_PARAM, nullptr);
    HBITMAP hbm = CreateDIBitmap(ps->hdc, pbmpNew, init ? CBM_INIT : 0, pbInitData, pbmiInfo,
                                 DIB_RGB_COLORS);
    if (!hbm)
        SetLastError(PMERR_GPI_NO_MEMORY);
    return hbm;
}

HBITMAP ORINAPI GpiLoadBitmap(HPS hps, HMODULE hmod, ULONG idBitmap, LONG lWidth,
                              LONG lHeight) noexcept
{
    if (!gpiFind(hps))
        return nullptr;
    if (lWidth < 0 || lHeight < 0)
        return fail<HBITMAP>(PMERR_GPI_INV_PARAM, nullptr);
    HMODULE from = hmod ? hmod : GetModuleHandleA(nullptr);
    return static_cast<HBITMAP>(LoadImageA(from, MAKEINTRESOURCEA(idBitmap), IMAGE_BITMAP,
                                           lWidth, lHeight, LR_DEFAULTCOLOR));
}

BOOL ORINAPI GpiDeleteBitmap(HBITMAP hbm) noexcept
{
    if (!hbm || GetObjectType(hbm) != OBJ_BITMAP)
        return fail(PMERR_GPI_INV_PARAM, FALSE);
    return DeleteObject(hbm);
}

HBITMAP ORINAPI GpiSetBitmap(HPS hps, HBITMAP hbm) noexcept
{
    GpiPS *ps = gpiFindDrawable(hps);
    if (!ps)
        return nullptr;
    if (!isMemoryPS(*ps) || (hbm && GetObjectType(hbm) != OBJ_BITMAP))
        return fail<HBITMAP>(PMERR_GPI_INV_PARAM, nullptr);
    HGDIOBJ next = hbm ? static_cast<HGDIOBJ>(hbm) : defaultBitmap();
    return static_cast<HBITMAP>(SelectObject(ps->hdc, next));
}

LONG ORINAPI GpiBitBlt(HPS hpsTarget, HPS hpsSource, LONG lCount, const PM_POINTL *aptl,
                       LONG lRop, ULONG flOptions) noexcept
{
    GpiPS *dst = gpiFindDrawable(hpsTarget);
    if (!dst)
        return PM_GPI_ERROR;
    if (!aptl || lCount < 2 || lCount > 4)
        return fail(PMERR_GPI_INV_PARAM, PM_GPI_ERROR);
    DWORD rop = nativeRop(lRop);
    GpiPS *src = nullptr;
    if (usesSource(rop)) {
        if (lCount < 3)
            return fail(PMERR_GPI_INV_PARAM, PM_GPI_ERROR);
        if (!(src = gpiFindDrawable(hpsSource)))
            return PM_GPI_ERROR;
    }
    LONG x0 = pmCoord(aptl[0].x), y0 = pmCoord(aptl[0].y);
    LONG w = pmCoord(aptl[1].x) - x0, h = pmCoord(aptl[1].y) - y0;
    if (w <= 0 || h <= 0)
        return fail(PMERR_GPI_INV_PARAM, PM_GPI_ERROR);
    LONG top = dst->height - y0 - h;
    if (usesPattern(rop))
        gpiRealize(*dst, kModeArea);
    if (!src)
        return PatBlt(dst->hdc, x0, top, w, h, rop) ? PM_GPI_OK : PM_GPI_ERROR;
    LONG sx = pmCoord(aptl[2].x), sy = pmCoord(aptl[2].y);
    LONG sw = w, sh = h;
    if (lCount == 4) {
        sw = pmCoord(aptl[3].x) - sx;
        sh = pmCoord(aptl[3].y) - sy;
        if (sw <= 0 || sh <= 0)
            return fail(PMERR_GPI_INV_PARAM, PM_GPI_ERROR);
    }
    LONG stop = src->height - sy - sh;
    BOOL ok;
    if (sw == w && sh == h) {
        ok = BitBlt(dst->hdc, x0, top, w, h, src->hdc, sx, stop, rop);
    } else {
        SetStretchBltMode(dst->hdc, stretchModeOf(flOptions));
        ok = StretchBlt(dst->hdc, x0, top, w, h, src->hdc, sx, stop, sw, sh, rop);
    }
    return ok ? PM_GPI_OK : PM_GPI_ERROR;
}

LONG ORINAPI GpiQueryBitmapBits(HPS hps, LONG lScanStart, LONG lScans, BYTE *pbBuffer,
                                BITMAPINFO *pbmi) noexcept
{
    GpiPS *ps = gpiFindDrawable(hps);
    if (!ps)
        return -1L;
    if (!isMemoryPS(*ps) || !pbmi || lScanStart < 0 || lScans < 0)
        return fail(PMERR_GPI_INV_PARAM, -1L);
    BitmapOut out(ps->hdc);
    if (!out.bitmap())
        return fail(PMERR_GPI_NO_MEMORY, -1L);
    return GetDIBits(ps->hdc, out.bitmap(), static_cast<UINT>(lScanStart),
                     static_cast<UINT>(lScans), pbBuffer, pbmi, DIB_RGB_COLORS);
}

LONG ORINAPI GpiSetBitmapBits(HPS hps, LONG lScanStart, LONG lScans, const BYTE *pbBuffer,
                              const BITMAPINFO *pbmi) noexcept
{
    GpiPS *ps = gpiFindDrawable(hps);
    if (!ps)
        return -1L;
    if (!isMemoryPS(*ps) || !pbmi || !pbBuffer || lScanStart < 0 || lScans < 0)
        return fail(PMERR_GPI_INV_PARAM, -1L);
    BitmapOut out(ps->hdc);
    if (!out.bitmap())
        return fail(PMERR_GPI_NO_MEMORY, -1L);
    return SetDIBits(ps->hdc, out.bitmap(), static_cast<UINT>(lScanStart),
                     static_cast<UINT>(lScans), pbBuffer, pbmi, DIB_RGB_COLORS);
}

BOOL ORINAPI WinDrawBitmap(HPS hpsDst, HBITMAP hbm, const PM_RECTL *pwrcSrc,
                           const PM_POINTL *pptlDst, LONG clrFore, LONG clrBack, ULONG fl) noexcept
{
    GpiPS *ps = gpiFindDrawable(hpsDst);
    if (!ps)
        return FALSE;
    SIZE size = bitmapSize(hbm);
    if (!pptlDst || size.cx <= 0 || size.cy <= 0)
        return fail(PMERR_GPI_INV_PARAM, FALSE);
    // source: an inclusive PM rectangle in the bitmap, or all of it
    RECT srcRc{0, 0, size.cx, size.cy};
    if (pwrcSrc)
        srcRc = RECT{pwrcSrc->xLeft, size.cy - pwrcSrc->yTop - 1, pwrcSrc->xRight + 1,
                     size.cy - pwrcSrc->yBottom};
    LONG sw = srcRc.right - srcRc.left, sh = srcRc.bottom - srcRc.top;
    RECT dstRc;
    if (fl & PM_DBM_STRETCH)
        dstRc = toNativeRect(*ps, *reinterpret_cast<const PM_RECTL *>(pptlDst));
    else
        dstRc = RECT{pmCoord(pptlDst->x), ps->height - pmCoord(pptlDst->y) - sh,
                     pmCoord(pptlDst->x) + sw, ps->height - pmCoord(pptlDst->y)};
    BitmapDC mem(ps->hdc, hbm);
    if (!mem.ok())
        return fail(PMERR_GPI_NO_MEMORY, FALSE);
    ColorsKept kept(*ps);
    ps->mode = kModeNone;
    // native monochrome blits give 0 bits the text colour and 1 bits the background
    bool attrs = (fl & PM_DBM_IMAGEATTRS) != 0;
    SetTextColor(ps->hdc, attrs ? resolveColor(*ps, clrBack) : RGB(0, 0, 0));
    SetBkColor(ps->hdc, attrs ? resolveColor(*ps, clrFore) : RGB(255, 255, 255));
    DWORD rop = (fl & PM_DBM_INVERT) ? NOTSRCCOPY : SRCCOPY;
    SetStretchBltMode(ps->hdc, COLORONCOLOR);
    return StretchBlt(ps->hdc, dstRc.left, dstRc.top, dstRc.right - dstRc.left,
                      dstRc.bottom - dstRc.top, mem.get(), srcRc.left, srcRc.top, sw, sh, rop);
}

BOOL ORINAPI WinDrawTransparentBitmap(HPS hpsDst, HBITMAP hbm, const PM_POINTL *pptlDst,
                                      COLORREF rgbTransparent) noexcept
{
    GpiPS *ps = gpiFindDrawable(hpsDst);
    if (!ps)
        return FALSE;
    SIZE size = bitmapSize(hbm);
    if (!pptlDst || size.cx <= 0 || size.cy <= 0)
        return fail(PMERR_GPI_INV_PARAM, FALSE);
    BitmapDC mem(ps->hdc, hbm);
    if (!mem.ok())
        return fail(PMERR_GPI_NO_MEMORY, FALSE);
    LONG top = ps->height - pmCoord(pptlDst->y) - size.cy;
    return GdiTransparentBlt(ps->hdc, pmCoord(pptlDst->x), top, size.cx, size.cy, mem.get(), 0, 0,
                             size.cx, size.cy, rgbTransparent);
}
