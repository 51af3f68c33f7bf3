/*
 * gpiint.h - the presentation-space record and what the drawing files of
 * the PM emulation share.  Not part of the exported interface.
 *
 * A PS handle (HPS) is the address of a GpiPS record in a handle pool, so
 * a closed or made-up handle is refused without reading through it
 * (gpiFind).  The record wraps a native device context:
 *
 *   - hdc      the native context every primitive draws into;
 *   - height   the flip base H: a PM point (x, y) is the native pixel
 *              (x, H - y - 1).  Layers drawn on top of a PS (rich-text
 *              painting, printing) use gpiNativeDC() and gpiHeight() and
 *              the flip helpers below rather than the fields directly;
 *   - mode     which attribute set (line, character, area) is realised
 *              in the native context; setters reset it to kModeNone so
 *              the next primitive realises again (gpiRealize).
 *
 * Native objects the PS made (pen, brush, pattern bitmap, fonts) are owned
 * by GdiObject holders; before a PS ends, the context gets its stock
 * objects back so that every owned object can really be deleted.
 */
#ifndef ORIN_PM_GPI_GPIINT_H
#define ORIN_PM_GPI_GPIINT_H

#include <map>
#include <memory>
#include <type_traits>
#include <vector>
#include "gpi.h"

namespace orin::pm::gpi {

/* Owner of one GDI object (pen, brush, bitmap, font, region, palette). */
struct GdiDeleter {
    void operator()(HGDIOBJ h) const noexcept { DeleteObject(h); }
};
using GdiObject = std::unique_ptr<std::remove_pointer_t<HGDIOBJ>, GdiDeleter>;

/* Selects an object into a context for one scope and puts back the one it
 * replaced when the scope ends. */
class ScopedSelect {
public:
    ScopedSelect(HDC hdc, HGDIOBJ obj) noexcept : hdc_(hdc), old_(SelectObject(hdc, obj)) {}
    ~ScopedSelect()
    {
        if (old_)
            SelectObject(hdc_, old_);
    }
    ScopedSelect(const ScopedSelect &) = delete;
    ScopedSelect &operator=(const ScopedSelect &) = delete;

private:
    HDC hdc_;
    HGDIOBJ old_;
};

/* Attribute sets a primitive can need realised in the native context. */
inline constexpr USHORT kModeNone = 0;
inline constexpr USHORT kModeLine = 1;
inline constexpr USHORT kModeChar = 2;
inline constexpr USHORT kModeArea = 4;

inline constexpr LONG kDefaultFore = -20;   // window text
inline constexpr LONG kDefaultBack = -19;   // window
inline constexpr USHORT kDefaultMix = 2;    // overpaint
inline constexpr USHORT kMaxPattern = 16;   // solid; larger symbols become it
inline constexpr USHORT kPatternDotted = 3;
inline constexpr ULONG kAssocOption = PM_GPIA_ASSOC;
inline constexpr LONG kFirstLcid = 1;
inline constexpr LONG kLastLcid = 4094;
inline constexpr LONG kDefaultLcid = 4095;

/* How a PS came to be, which decides how its context is given back. */
enum class Origin { Paint, Window, Created, Printer };

/* The device record of a PS made on a device context. */
struct DevRecord {
    HDC hdc = nullptr;
};

struct GpiPS {
    HDC hdc = nullptr;
    HWND hwnd = nullptr;                    // null for a memory / device PS
    std::unique_ptr<DevRecord> dev;
    PAINTSTRUCT paint{};                    // for a PS of WinBeginPaint
    LONG left = 0, top = 0, width = 0, height = 0;
    USHORT fromGetPS = 0;                   // 1 for WinGetPS and GpiCreatePS
    Origin origin = Origin::Created;
    USHORT mode = kModeNone;
    LONG charFore = kDefaultFore, charBack = kDefaultBack;
    LONG lineFore = kDefaultFore, lineBack = kDefaultBack;
    LONG areaFore = kDefaultFore, areaBack = kDefaultBack;
    USHORT mix = kDefaultMix;
    USHORT pattern = 0;
    GdiObject pen;
    COLORREF penColor = 0;
    int penPixels = 0;                      // width the cached pen was made with
    GdiObject brush;
    GdiObject patternBitmap;
    bool paletteSelected = false;
    HPALETTE palette = nullptr;
    bool allLinesBlack = false;
    USHORT lineWidthFactor = 0;
    USHORT penWidth = 0;
    SIZE markerBox{0, 0};
    bool inPath = false;
    bool recordingArea = false;
    bool areaBoundary = false;
    std::map<LONG, GdiObject> fonts;        // local font ids 1..4094
    LONG charSet = 0;                       // selected local id, 0 = default
    HGDIOBJ defaultFont = nullptr;          // font of the context at creation
};

/* The live record behind hps, or null with PMERR_GPI_INV_HPS set. */
GpiPS *gpiFind(HPS hps) noexcept;
/* The same, also refusing a PS without a device context. */
GpiPS *gpiFindDrawable(HPS hps) noexcept;
/* A fresh zero-state record in the pool, or null. */
GpiPS *gpiMake() noexcept;
/* Gives the context back its stock objects, deletes what the PS made and
 * ends the record (the caller releases the context itself). */
void gpiRelease(GpiPS *ps) noexcept;

/* For layers drawn on top of a PS: the native context and the flip base. */
HDC  gpiNativeDC(HPS hps) noexcept;         // null for a bad handle
LONG gpiHeight(HPS hps) noexcept;           // 0 for a bad handle

/* PM point -> native pixel, and back (low 16 bits of each field, signed). */
inline LONG pmCoord(LONG v) noexcept { return static_cast<SHORT>(v & 0xFFFF); }
inline POINT toNative(const GpiPS &ps, const PM_POINTL &p) noexcept
{
    return POINT{pmCoord(p.x), ps.height - pmCoord(p.y) - 1};
}
inline PM_RECTL toPMRect(const GpiPS &ps, const RECT &rc) noexcept
{
    return PM_RECTL{rc.left, ps.height - rc.bottom, rc.right - 1, ps.height - rc.top - 1};
}
inline RECT toNativeRect(const GpiPS &ps, const PM_RECTL &r) noexcept
{
    return RECT{pmCoord(r.xLeft), ps.height - pmCoord(r.yTop) - 1, pmCoord(r.xRight) + 1,
                ps.height - pmCoord(r.yBottom)};
}

/* ---- colours and attributes ---- */
COLORREF resolveColor(const GpiPS &ps, LONG pmColor) noexcept;
COLORREF lineColor(const GpiPS &ps) noexcept;    // black when all lines are black
int      lineRop2(USHORT mix) noexcept;
DWORD    fillRop3(USHORT mix) noexcept;
const USHORT *patternRows(USHORT pattern) noexcept;   // eight 16-bit rows
void     gpiRealize(GpiPS &ps, USHORT mode) noexcept;
void     gpiDropCachedObjects(GpiPS &ps) noexcept;    // stock pen/brush back first

/* ---- shared by the primitives ---- */
void areaRecord(const POINT &pt) noexcept;            // while an area is open
void dotLine(GpiPS &ps, POINT from, POINT to) noexcept;   // pattern-3 lines

/* Sets the error and answers the failure value. */
template <class R>
inline R fail(DWORD code, R value) noexcept
{
    SetLastError(code);
    return value;
}

}  // namespace orin::pm::gpi

#endif  // ORIN_PM_GPI_GPIINT_H
