/*
 * gpi.h - presentation spaces and drawing (the Gpi and Dev families).
 *
 * PM drawing code draws into a presentation space (HPS) in bottom-left
 * coordinates with PM colour indices, mixes and pattern symbols.  A PS is
 * a record around a native device context: a point (x, y) is drawn at the
 * native pixel (x, H - y - 1), H being the PS height (the window's client
 * height, or the size given to GpiCreatePS).  Attributes become native
 * pens, brushes and raster operations only when a primitive needs them,
 * and lines include their end point as PM lines do.
 *
 * Device contexts (HDC) are native device contexts: DevOpenDC makes a
 * memory context (PM_OD_MEMORY) or a display context (PM_OD_INFO,
 * PM_OD_DIRECT); GpiCreatePS with PM_GPIA_ASSOC draws into any native
 * context, for example a memory context holding a DIB section.
 *
 * Failures: calls returning BOOL/LONG give FALSE / PM_GPI_ERROR (0) and
 * leave a code in the thread's last error:
 *   PMERR_GPI_NO_MEMORY    0xE201  out of memory
 *   PMERR_GPI_FONT_CREATE  0xE202  the native font cannot be created
 *   PMERR_GPI_INV_HPS      0xE203  null, closed or foreign PS handle, or a
 *                                  PS without a device context asked to draw
 *   PMERR_GPI_INV_PARAM    0xE204  null pointer or count out of range
 *   PMERR_GPI_INV_SETID    0xE205  local font id outside 1..4094, or taken
 *   PMERR_GPI_NOT_TEXTMODE 0xE206  the context is not in the text mapping mode
 * Colour queries answer PM_CLR_ERROR (-255), mix and pattern queries -1.
 *
 * Choices made here:
 *   - WinBeginPaint always makes a new PS; a PS passed in is not reused.
 *   - A PS leaves the background of text alone (transparent text).
 *   - Colour bundles (PM_PRIM_*) may be combined as a bit set.
 *   - Lines between GpiBeginArea and GpiEndArea are only recorded, and
 *     drawn as well when the area was begun with PM_BA_BOUNDARY.
 *   - GpiQueryPel answers the pixel as 0x00RRGGBB.
 *   - GpiFrameBox draws the outline (and the fill the control asks for)
 *     and answers the box as an inclusive PM rectangle.
 *   - GpiSetMarkerBox sets the size (in pixels) of the ellipse GpiPoint
 *     draws; 0 x 0, the default, draws a single pixel.
 *   - DevQueryCaps of a memory context holding a bitmap answers the
 *     bitmap's width and height, so that GpiCreatePS with a zero size
 *     flips against the bitmap.
 *   - A PS has one path, with the id 1.
 *
 * Records exchanged with callers use 2-byte packing.
 */
#ifndef GPI_H
#define GPI_H

#include "win.h"

ORIN_BEGIN_DECLS

typedef struct PM_HPS__ *HPS;
typedef HPALETTE PM_HPAL;

/* ---- error values ---- */
#define PMERR_GPI_NO_MEMORY     0xE201
#define PMERR_GPI_FONT_CREATE   0xE202
#define PMERR_GPI_INV_HPS       0xE203
#define PMERR_GPI_INV_PARAM     0xE204
#define PMERR_GPI_INV_SETID     0xE205
#define PMERR_GPI_NOT_TEXTMODE  0xE206

#define PM_GPI_ERROR   0L
#define PM_GPI_OK      1L
#define PM_CLR_ERROR   (-255L)

/* ---- colours ---- */
#define PM_CLR_BACKGROUND   0L
#define PM_CLR_BLUE         1L
#define PM_CLR_RED          2L
#define PM_CLR_PINK         3L
#define PM_CLR_GREEN        4L
#define PM_CLR_CYAN         5L
#define PM_CLR_YELLOW       6L
#define PM_CLR_NEUTRAL      7L
#define PM_CLR_DARKGRAY     8L
#define PM_CLR_DARKBLUE     9L
#define PM_CLR_DARKRED      10L
#define PM_CLR_DARKPINK     11L
#define PM_CLR_DARKGREEN    12L
#define PM_CLR_DARKCYAN     13L
#define PM_CLR_BROWN        14L
#define PM_CLR_PALEGRAY     15L
#define PM_CLR_BLACK        (-1L)
#define PM_CLR_WHITE        (-2L)
#define PM_CLR_DEFAULT      (-3L)
#define PM_SYSCLR_WINDOW    (-19L)
#define PM_SYSCLR_WINDOWTEXT (-20L)

/* attribute bundles of GpiSetColorBundle / GpiSetBackColorBundle */
#define PM_PRIM_LINE    1L
#define PM_PRIM_CHAR    2L
#define PM_PRIM_AREA    4L

/* mixes */
#define PM_FM_DEFAULT     0
#define PM_FM_OR          1
#define PM_FM_OVERPAINT   2
#define PM_FM_XOR         4
#define PM_FM_LEAVEALONE  5
#define PM_FM_AND         6
#define PM_FM_SUBTRACT    7
#define PM_FM_MASKSRCNOT  8
#define PM_FM_ZERO        9
#define PM_FM_NOTMERGESRC 10
#define PM_FM_NOTXORSRC   11
#define PM_FM_INVERT      12
#define PM_FM_MERGESRCNOT 13
#define PM_FM_NOTCOPYSRC  14
#define PM_FM_MERGENOTSRC 15
#define PM_FM_NOTMASKSRC  16
#define PM_FM_ONE         17

/* pattern symbols */
#define PM_PATSYM_DEFAULT  0
#define PM_PATSYM_DENSE1   1
#define PM_PATSYM_DENSE3   3        /* lines of a PS with this pattern are dotted */
#define PM_PATSYM_DIAG1    11
#define PM_PATSYM_NOSHADE  15
#define PM_PATSYM_SOLID    16
#define PM_PATSYM_HALFTONE 17

/* GpiCreatePS options, box control, area options */
#define PM_GPIA_ASSOC      0x4000UL
#define PM_DRO_FILL        1L
#define PM_DRO_OUTLINE     2L
#define PM_DRO_OUTLINEFILL 3L
#define PM_BA_BOUNDARY     0x0001UL

/* device contexts */
#define PM_OD_DIRECT   5L
#define PM_OD_INFO     6L
#define PM_OD_MEMORY   8L

/* DevQueryCaps indices */
#define PM_CAPS_FAMILY             0L
#define PM_CAPS_HEIGHT             4L
#define PM_CAPS_WIDTH              5L
#define PM_CAPS_VERTICAL_RESOLUTION   8L   /* pels per metre */
#define PM_CAPS_HORIZONTAL_RESOLUTION 9L
#define PM_CAPS_CHAR_HEIGHT        10L
#define PM_CAPS_CHAR_WIDTH         11L
#define PM_CAPS_COLORS             14L
#define PM_CAPS_COLOR_PLANES       15L
#define PM_CAPS_COLOR_BITCOUNT     16L
#define PM_CAPS_COUNT              17L     /* indices 0..16 are answered */

/* GpiQueryTextBox points */
#define PM_TXTBOX_TOPLEFT     0
#define PM_TXTBOX_BOTTOMLEFT  1
#define PM_TXTBOX_TOPRIGHT    2
#define PM_TXTBOX_BOTTOMRIGHT 3
#define PM_TXTBOX_CONCAT      4
#define PM_TXTBOX_COUNT       5

/* font attributes */
#define PM_FATTR_SEL_ITALIC     0x0001
#define PM_FATTR_SEL_UNDERSCORE 0x0002
#define PM_FATTR_SEL_STRIKEOUT  0x0010
#define PM_FATTR_SEL_BOLD       0x0020
#define PM_LCID_DEFAULT         0L      /* and 4095: the PS's default font */
#define PM_FONT_DEFAULT         1L
#define PM_FONT_MATCH           2L

/* clipping */
#define PM_SCP_RESET      0L
#define PM_SCP_WINDING    2L
#define PM_SCP_AND        4L
#define PM_RGN_ERROR      0L
#define PM_RGN_NULL       1L
#define PM_RGN_RECT       2L
#define PM_RGN_COMPLEX    3L

/* bitmaps */
#define PM_CBM_INIT       0x0004UL
#define PM_ROP_SRCCOPY    0x00CCL
#define PM_ROP_SRCPAINT   0x00EEL
#define PM_ROP_SRCAND     0x0088L
#define PM_ROP_SRCINVERT  0x0066L
#define PM_ROP_NOTSRCCOPY 0x0033L
#define PM_ROP_PATCOPY    0x00F0L
#define PM_ROP_DSTINVERT  0x0055L
#define PM_ROP_ZERO       0x0000L
#define PM_ROP_ONE        0x00FFL
#define PM_DBM_NORMAL     0x0000UL
#define PM_DBM_INVERT     0x0001UL
#define PM_DBM_STRETCH    0x0004UL
#define PM_DBM_IMAGEATTRS 0x0008UL

#pragma pack(push, 2)
typedef struct _PM_SIZEL {
    LONG cx;
    LONG cy;
} PM_SIZEL, *PPM_SIZEL;

typedef struct _PM_RGB {            /* stored blue, green, red */
    BYTE bBlue;
    BYTE bGreen;
    BYTE bRed;
} PM_RGB, *PPM_RGB;

typedef struct _PM_FATTRS {
    USHORT usRecordLength;
    USHORT fsSelection;             /* PM_FATTR_SEL_* */
    LONG lMatch;
    char szFacename[32];
    USHORT idRegistry;
    USHORT usCodePage;              /* 0: the PS's code page; 932: Shift-JIS */
    LONG lMaxBaselineExt;           /* cell height in device units; 0: default */
    LONG lAveCharWidth;             /* 0: chosen by the font */
    USHORT fsType;
    USHORT fsFontUse;
} PM_FATTRS, *PPM_FATTRS;

typedef struct _PM_FONTMETRICS {    /* the leading part of PM's record */
    char szFamilyname[32];
    char szFacename[32];
    USHORT idRegistry;
    USHORT usCodePage;
    LONG lEmHeight;
    LONG lXHeight;
    LONG lMaxAscender;
    LONG lMaxDescender;
    LONG lLowerCaseAscent;
    LONG lLowerCaseDescent;
    LONG lInternalLeading;
    LONG lExternalLeading;
    LONG lAveCharWidth;
    LONG lMaxCharInc;
    LONG lEmInc;
    LONG lMaxBaselineExt;
    SHORT sCharSlope;
    SHORT sInlineDir;
    SHORT sCharRot;
    USHORT usWeightClass;
    USHORT usWidthClass;
    SHORT sXDeviceRes;
    SHORT sYDeviceRes;
    SHORT sFirstChar;
    SHORT sLastChar;
    SHORT sDefaultChar;
    SHORT sBreakChar;
    SHORT sNominalPointSize;        /* decipoints */
    SHORT sMinimumPointSize;
    SHORT sMaximumPointSize;
    USHORT fsType;
    USHORT fsDefn;
    USHORT fsSelection;
    USHORT fsCapabilities;
} PM_FONTMETRICS, *PPM_FONTMETRICS;

/* mp2 of PM WM_DRAWITEM (mp1: the control id), made from the native
 * draw-item record: the control, a presentation space over the native
 * context (flipped against the control's client height), the selected
 * state (1) now and before, the item rectangle in the control's PM
 * coordinates (inclusive) and the item number.  hItem is not filled (0).
 * A non-zero reply means the item was drawn; with the focus state the
 * focus box is drawn around the rectangle then.  The PS lives for the
 * message only. */
typedef struct _PM_OWNERITEM {
    HWND hwnd;
    HPS hps;
    USHORT fsState;
    USHORT fsStateOld;
    PM_RECTL rclItem;
    LONG idItem;
    ULONG_PTR hItem;
} PM_OWNERITEM, *PPM_OWNERITEM;
#pragma pack(pop)

#ifdef __cplusplus
static_assert(sizeof(PM_SIZEL) == 8, "PM_SIZEL layout");
static_assert(sizeof(PM_OWNERITEM) == 3 * sizeof(void *) + 4 + 16 + 4, "PM_OWNERITEM is 2-byte packed");
static_assert(sizeof(PM_RGB) == 3, "PM_RGB is three bytes");
static_assert(sizeof(PM_FATTRS) == 56, "PM_FATTRS is 2-byte packed");
static_assert(sizeof(PM_FONTMETRICS) == 64 + 4 + 12 * 4 + 18 * 2, "PM_FONTMETRICS layout");
#endif

/* ---- presentation spaces ---- */
HPS    ORINAPI WinBeginPaint(HWND hwnd, HPS hps, PM_RECTL *prclUpdate) ORIN_NOEXCEPT;
BOOL   ORINAPI WinEndPaint(HPS hps) ORIN_NOEXCEPT;
HPS    ORINAPI WinGetPS(HWND hwnd) ORIN_NOEXCEPT;
BOOL   ORINAPI WinReleasePS(HPS hps) ORIN_NOEXCEPT;
HPS    ORINAPI GpiCreatePS(HAB hab, HDC hdc, const PM_SIZEL *psizl, ULONG flOptions) ORIN_NOEXCEPT;
BOOL   ORINAPI GpiDestroyPS(HPS hps) ORIN_NOEXCEPT;
void   ORINAPI OwmHpsPMPoint2W3Point(HPS hps, const PM_POINTL *pptl, POINT *ppt) ORIN_NOEXCEPT;

/* ---- device contexts ---- */
HDC    ORINAPI DevOpenDC(HAB hab, LONG lType, const char *pszToken, LONG lCount,
                         PVOID pdopData, HDC hdcComp) ORIN_NOEXCEPT;
HDC    ORINAPI DevCloseDC(HDC hdc) ORIN_NOEXCEPT;   /* null on success, hdc on failure */
BOOL   ORINAPI DevQueryCaps(HDC hdc, LONG lStart, LONG lCount, LONG *alArray) ORIN_NOEXCEPT;

/* ---- attributes ---- */
BOOL   ORINAPI GpiSetColor(HPS hps, LONG lColor) ORIN_NOEXCEPT;
BOOL   ORINAPI GpiSetBackColor(HPS hps, LONG lColor) ORIN_NOEXCEPT;
BOOL   ORINAPI GpiSetColorBundle(HPS hps, LONG lPrimType, LONG lColor) ORIN_NOEXCEPT;
BOOL   ORINAPI GpiSetBackColorBundle(HPS hps, LONG lPrimType, LONG lColor) ORIN_NOEXCEPT;
BOOL   ORINAPI GpiSetMix(HPS hps, LONG lMix) ORIN_NOEXCEPT;
BOOL   ORINAPI GpiSetPattern(HPS hps, LONG lPattern) ORIN_NOEXCEPT;
BOOL   ORINAPI GpiSetLineWidthFactor(HPS hps, LONG lFactor) ORIN_NOEXCEPT;
BOOL   ORINAPI GpiSetPenWidth(HPS hps, LONG lWidth) ORIN_NOEXCEPT;
BOOL   ORINAPI GpiSetAllLinesAreBlack(HPS hps, BOOL fBlack) ORIN_NOEXCEPT;
BOOL   ORINAPI GpiSetMarkerBox(HPS hps, const PM_SIZEL *psizl) ORIN_NOEXCEPT;
LONG   ORINAPI GpiQueryColor(HPS hps) ORIN_NOEXCEPT;
LONG   ORINAPI GpiQueryBackColor(HPS hps) ORIN_NOEXCEPT;
LONG   ORINAPI GpiQueryMix(HPS hps) ORIN_NOEXCEPT;
LONG   ORINAPI GpiQueryPattern(HPS hps) ORIN_NOEXCEPT;
LONG   ORINAPI har_Rgb2NearestColor(const PM_RGB *prgb) ORIN_NOEXCEPT;

/* ---- lines, boxes, areas, points ---- */
BOOL   ORINAPI GpiMove(HPS hps, const PM_POINTL *pptl) ORIN_NOEXCEPT;
LONG   ORINAPI GpiLine(HPS hps, const PM_POINTL *pptl) ORIN_NOEXCEPT;
LONG   ORINAPI GpiPolyLine(HPS hps, LONG lCount, const PM_POINTL *aptl) ORIN_NOEXCEPT;
LONG   ORINAPI GpiBox(HPS hps, LONG lControl, const PM_POINTL *pptl,
                      LONG lHRound, LONG lVRound) ORIN_NOEXCEPT;
LONG   ORINAPI GpiFrameBox(HPS hps, LONG lControl, const PM_POINTL *pptl,
                           PM_RECTL *prclBox) ORIN_NOEXCEPT;
LONG   ORINAPI GpiPoint(HPS hps, const PM_POINTL *pptl) ORIN_NOEXCEPT;
LONG   ORINAPI GpiSetPel(HPS hps, const PM_POINTL *pptl) ORIN_NOEXCEPT;
LONG   ORINAPI GpiQueryPel(HPS hps, const PM_POINTL *pptl) ORIN_NOEXCEPT;  /* 0x00RRGGBB */
BOOL   ORINAPI GpiErase(HPS hps) ORIN_NOEXCEPT;
BOOL   ORINAPI GpiBeginArea(HPS hps, ULONG flOptions) ORIN_NOEXCEPT;
LONG   ORINAPI GpiEndArea(HPS hps) ORIN_NOEXCEPT;

/* ---- text and fonts ---- */
LONG   ORINAPI GpiCharString(HPS hps, LONG lCount, const char *pchString) ORIN_NOEXCEPT;
LONG   ORINAPI GpiCharStringAt(HPS hps, const PM_POINTL *pptl, LONG lCount,
                               const char *pchString) ORIN_NOEXCEPT;
BOOL   ORINAPI GpiQueryTextBox(HPS hps, LONG lCount, const char *pchString,
                               LONG lCount2, PM_POINTL *aptlPoints) ORIN_NOEXCEPT;
LONG   ORINAPI GpiCreateLogFontSov(HPS hps, const char *pszName, LONG lcid,
                                   const PM_FATTRS *pfat) ORIN_NOEXCEPT;
BOOL   ORINAPI GpiDeleteSetId(HPS hps, LONG lcid) ORIN_NOEXCEPT;
BOOL   ORINAPI GpiSetCharSet(HPS hps, LONG lcid) ORIN_NOEXCEPT;
LONG   ORINAPI GpiQueryCharSet(HPS hps) ORIN_NOEXCEPT;
BOOL   ORINAPI GpiQueryFontMetrics(HPS hps, LONG lMetricsLength, PM_FONTMETRICS *pfm) ORIN_NOEXCEPT;

/* ---- paths and clipping ---- */
BOOL   ORINAPI GpiBeginPath(HPS hps, LONG idPath) ORIN_NOEXCEPT;
BOOL   ORINAPI GpiEndPath(HPS hps) ORIN_NOEXCEPT;
LONG   ORINAPI GpiDrawPathPolyline(HPS hps, LONG lCount, const PM_POINTL *aptl) ORIN_NOEXCEPT;
BOOL   ORINAPI GpiSelectClipPath(HPS hps, LONG idPath, LONG lOptions) ORIN_NOEXCEPT;
LONG   ORINAPI GpiFillAndStrokePath(HPS hps, LONG idPath, ULONG flOptions) ORIN_NOEXCEPT;
HRGN   ORINAPI GpiCreatePolygonRgn(HPS hps, LONG lCount, const PM_POINTL *aptl,
                                   ULONG flOptions) ORIN_NOEXCEPT;
LONG   ORINAPI GpiSetPolygonRgnClip(HPS hps, LONG lCount, const PM_POINTL *aptl,
                                    ULONG flOptions) ORIN_NOEXCEPT;
LONG   ORINAPI GpiExtSetClipRegion(HPS hps, HRGN hrgn, LONG lMode) ORIN_NOEXCEPT;
LONG   ORINAPI GpiResetClipRegion(HPS hps) ORIN_NOEXCEPT;
BOOL   ORINAPI GpiSetGraphicsField(HPS hps, const PM_RECTL *prclField) ORIN_NOEXCEPT;
BOOL   ORINAPI GpiResetGraphicsField(HPS hps) ORIN_NOEXCEPT;
LONG   ORINAPI GpiQueryClipBox(HPS hps, PM_RECTL *prclBound) ORIN_NOEXCEPT;

/* ---- palettes ---- */
PM_HPAL ORINAPI GpiCreatePalette(HAB hab, ULONG flOptions, ULONG ulFormat, ULONG ulCount,
                                 const ULONG *aulTable) ORIN_NOEXCEPT;   /* entries 0x00RRGGBB */
PM_HPAL ORINAPI GpiSelectPalette(HPS hps, PM_HPAL hpal) ORIN_NOEXCEPT;  /* previous, or 0 */
LONG   ORINAPI GpiRealizePalette(HPS hps) ORIN_NOEXCEPT;
BOOL   ORINAPI GpiDestroyPalette(PM_HPAL hpal) ORIN_NOEXCEPT;

/* ---- bitmaps (native bitmap headers) ---- */
HBITMAP ORINAPI GpiCreateBitmap(HPS hps, const BITMAPINFOHEADER *pbmpNew, ULONG flOptions,
                                const BYTE *pbInitData, const BITMAPINFO *pbmiInfo) ORIN_NOEXCEPT;
HBITMAP ORINAPI GpiLoadBitmap(HPS hps, HMODULE hmod, ULONG idBitmap, LONG lWidth,
                              LONG lHeight) ORIN_NOEXCEPT;
BOOL   ORINAPI GpiDeleteBitmap(HBITMAP hbm) ORIN_NOEXCEPT;
HBITMAP ORINAPI GpiSetBitmap(HPS hps, HBITMAP hbm) ORIN_NOEXCEPT;   /* previous; needs a memory PS */
LONG   ORINAPI GpiBitBlt(HPS hpsTarget, HPS hpsSource, LONG lCount, const PM_POINTL *aptl,
                         LONG lRop, ULONG flOptions) ORIN_NOEXCEPT;
LONG   ORINAPI GpiQueryBitmapBits(HPS hps, LONG lScanStart, LONG lScans, BYTE *pbBuffer,
                                  BITMAPINFO *pbmi) ORIN_NOEXCEPT;
LONG   ORINAPI GpiSetBitmapBits(HPS hps, LONG lScanStart, LONG lScans, const BYTE *pbBuffer,
                                const BITMAPINFO *pbmi) ORIN_NOEXCEPT;
BOOL   ORINAPI WinDrawBitmap(HPS hpsDst, HBITMAP hbm, const PM_RECTL *pwrcSrc,
                             const PM_POINTL *pptlDst, LONG clrFore, LONG clrBack,
                             ULONG fl) ORIN_NOEXCEPT;
BOOL   ORINAPI WinDrawTransparentBitmap(HPS hpsDst, HBITMAP hbm, const PM_POINTL *pptlDst,
                                        COLORREF rgbTransparent) ORIN_NOEXCEPT;

ORIN_END_DECLS

#endif /* GPI_H */
