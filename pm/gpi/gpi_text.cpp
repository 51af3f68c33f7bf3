/*
 * gpi_text.cpp - text on a PS and its logical fonts.
 *
 * GpiCharStringAt moves to (x, H - y) and GpiCharString draws at the
 * current position, aligned to the baseline, and leaves the position after
 * the text.  GpiQueryTextBox answers from the font metrics alone (average
 * character width, one more when the widest character is wider; height,
 * external leading, descent), not from the glyphs of the string.
 *
 * Logical fonts: a PS keeps native fonts under local ids 1 ... 4094; an id
 * is taken until GpiDeleteSetId frees it.  0 and 4095 name the font the
 * context had when the PS was made.  The face, cell height, average width,
 * bold, italic, underscore and strike-out of the font attributes are used;
 * code page 932 asks for the Shift-JIS character set.  Failures of font
 * creation set PMERR_GPI_NOT_TEXTMODE, PMERR_GPI_NO_MEMORY,
 * PMERR_GPI_FONT_CREATE or PMERR_GPI_INV_SETID.
 */
#include <cstring>
#include "pm/gpi/gpiint.h"

namespace orin::pm::gpi {
namespace {

constexpr USHORT kCodePageShiftJis = 932;
constexpr int kDecipointsPerInch = 720;
constexpr USHORT kWeightBold = 700;
constexpr USHORT kWidthClassNormal = 5;
constexpr USHORT kFmTypeFixed = 0x0001;
constexpr USHORT kFmDefnOutline = 0x0001;

bool defaultLcid(LONG lcid) noexcept { return lcid == PM_LCID_DEFAULT || lcid == kDefaultLcid; }

LOGFONTA logFontFrom(const PM_FATTRS &fat) noexcept
{
    LOGFONTA lf{};
    lf.lfHeight = fat.lMaxBaselineExt;
    lf.lfWidth = fat.lAveCharWidth;
    lf.lfWeight = (fat.fsSelection & PM_FATTR_SEL_BOLD) ? FW_BOLD : FW_NORMAL;
    lf.lfItalic = (fat.fsSelection & PM_FATTR_SEL_ITALIC) != 0;
    lf.lfUnderline = (fat.fsSelection & PM_FATTR_SEL_UNDERSCORE) != 0;
    lf.lfStrikeOut = (fat.fsSelection & PM_FATTR_SEL_STRIKEOUT) != 0;
    lf.lfCharSet = fat.usCodePage == kCodePageShiftJis ? SHIFTJIS_CHARSET : DEFAULT_CHARSET;
    lf.lfQuality = DEFAULT_QUALITY;
    // The face name may fill its field without a terminator; lf keeps one.
    memcpy(lf.lfFaceName, fat.szFacename, strnlen(fat.szFacename, sizeof lf.lfFaceName - 1));
    return lf;
}

/* Character cell of the selected font as the text box uses it. */
struct TextCell {
    LONG width, height, leading, descent;
};

TextCell textCell(HDC hdc) noexcept
{
    TEXTMETRICA tm{};
    GetTextMetricsA(hdc, &tm);
    LONG width = tm.tmAveCharWidth + (tm.tmMaxCharWidth > tm.tmAveCharWidth ? 1 : 0);
    return TextCell{width, tm.tmHeight, tm.tmExternalLeading, tm.tmDescent};
}

void fillMetrics(HDC hdc, PM_FONTMETRICS &fm) noexcept
{
    TEXTMETRICA tm{};
    GetTextMetricsA(hdc, &tm);
    GetTextFaceA(hdc, sizeof fm.szFacename, fm.szFacename);
    memcpy(fm.szFamilyname, fm.szFacename, sizeof fm.szFamilyname);
    int dpiY = GetDeviceCaps(hdc, LOGPIXELSY);
    fm.usCodePage = tm.tmCharSet == SHIFTJIS_CHARSET ? kCodePageShiftJis : USHORT(GetACP());
    fm.lEmHeight = tm.tmHeight - tm.tmInternalLeading;
    fm.lMaxAscender = fm.lLowerCaseAscent = tm.tmAscent;
    fm.lMaxDescender = fm.lLowerCaseDescent = tm.tmDescent;
    fm.lInternalLeading = tm.tmInternalLeading;
    fm.lExternalLeading = tm.tmExternalLeading;
    fm.lAveCharWidth = tm.tmAveCharWidth;
    fm.lMaxCharInc = fm.lEmInc = tm.tmMaxCharWidth;
    fm.lMaxBaselineExt = tm.tmHeight;
    fm.usWeightClass = static_cast<USHORT>(tm.tmWeight / 100);
    fm.usWidthClass = kWidthClassNormal;
    fm.sXDeviceRes = static_cast<SHORT>(GetDeviceCaps(hdc, LOGPIXELSX));
    fm.sYDeviceRes = static_cast<SHORT>(dpiY);
    fm.sFirstChar = tm.tmFirstChar;
    fm.sLastChar = tm.tmLastChar;
    fm.sDefaultChar = tm.tmDefaultChar;
    fm.sBreakChar = tm.tmBreakChar;
    fm.sNominalPointSize = static_cast<SHORT>(
        dpiY ? MulDiv(fm.lEmHeight, kDecipointsPerInch, dpiY) : 0);
    fm.sMinimumPointSize = fm.sMaximumPointSize = fm.sNominalPointSize;
    // the native flag is set for variable pitch
    fm.fsType = (tm.tmPitchAndFamily & TMPF_FIXED_PITCH) ? 0 : kFmTypeFixed;
    fm.fsDefn = (tm.tmPitchAndFamily & (TMPF_VECTOR | TMPF_TRUETYPE)) ? kFmDefnOutline : 0;
    fm.fsSelection = (tm.tmItalic ? PM_FATTR_SEL_ITALIC : 0) |
                     (tm.tmUnderlined ? PM_FATTR_SEL_UNDERSCORE : 0) |
                     (tm.tmStruckOut ? PM_FATTR_SEL_STRIKEOUT : 0) |
                     (tm.tmWeight >= kWeightBold ? PM_FATTR_SEL_BOLD : 0);
}

}  // namespace
}  // namespace orin::pm::gpi

using namespace orin::pm::gpi;

LONG ORINAPI GpiCharString(HPS hps, LONG lCount, const char *pchString) noexcept
{
    GpiPS *ps = gpiFindDrawable(hps);
    if (!ps)
        return PM_GPI_ERROR;
    if (lCount < 0 || (lCount > 0 && !pchString))
        return fail(PMERR_GPI_INV_PARAM, PM_GPI_ERROR);
    if (lCount == 0)
        return PM_GPI_ERROR;
    gpiRealize(*ps, kModeChar);
    SetTextAlign(ps->hdc, TA_BASELINE | TA_LEFT | TA_UPDATECP);
    int n = static_cast<int>(strnlen(pchString, static_cast<size_t>(lCount)));
    return TextOutA(ps->hdc, 0, 0, pchString, n) ? PM_GPI_OK : PM_GPI_ERROR;
}

LONG ORINAPI GpiCharStringAt(HPS hps, const PM_POINTL *pptl, LONG lCount,
                             const char *pchString) noexcept
{
    GpiPS *ps = gpiFindDrawable(hps);
    if (!ps)
        return PM_GPI_ERROR;
    if (!pptl)
        return fail(PMERR_GPI_INV_PARAM, PM_GPI_ERROR);
    // text sits on the baseline y, which is the native row H - y
    MoveToEx(ps->hdc, pmCoord(pptl->x), ps->height - pmCoord(pptl->y), nullptr);
    return GpiCharString(hps, lCount, pchString);
}

BOOL ORINAPI GpiQueryTextBox(HPS hps, LONG lCount, const char *, LONG lCount2,
                             PM_POINTL *aptlPoints) noexcept
{
    GpiPS *ps = gpiFindDrawable(hps);
    if (!ps)
        return FALSE;
    if (lCount < 0 || lCount2 < 0 || lCount2 > PM_TXTBOX_COUNT || (lCount2 && !aptlPoints))
        return fail(PMERR_GPI_INV_PARAM, FALSE);
    TextCell cell = textCell(ps->hdc);
    for (LONG i = 0; i < lCount2; i++) {
        aptlPoints[i].x = i < 2 ? 0 : lCount * cell.width;
        aptlPoints[i].y = (i % 2 == 0) ? cell.height + cell.leading - cell.descent : -cell.descent;
    }
    return TRUE;
}

LONG ORINAPI GpiCreateLogFontSov(HPS hps, const char *, LONG lcid, const PM_FATTRS *pfat) noexcept
{
    GpiPS *ps = gpiFindDrawable(hps);
    if (!ps)
        return PM_GPI_ERROR;
    if (!pfat)
        return fail(PMERR_GPI_INV_PARAM, PM_GPI_ERROR);
    if (GetMapMode(ps->hdc) != MM_TEXT)
        return fail(PMERR_GPI_NOT_TEXTMODE, PM_GPI_ERROR);
    if (lcid < kFirstLcid || lcid > kLastLcid || ps->fonts.count(lcid))
        return fail(PMERR_GPI_INV_SETID, PM_GPI_ERROR);
    LOGFONTA lf = logFontFrom(*pfat);
    GdiObject font(CreateFontIndirectA(&lf));
    if (!font)
        return fail(PMERR_GPI_FONT_CREATE, PM_GPI_ERROR);
    try {
        ps->fonts.emplace(lcid, std::move(font));
    } catch (...) {
        return fail(PMERR_GPI_NO_MEMORY, PM_GPI_ERROR);
    }
    return PM_FONT_MATCH;
}

BOOL ORINAPI GpiDeleteSetId(HPS hps, LONG lcid) noexcept
{
    GpiPS *ps = gpiFind(hps);
    if (!ps)
        return FALSE;
    auto it = ps->fonts.find(lcid);
    if (it == ps->fonts.end())
        return fail(PMERR_GPI_INV_SETID, FALSE);
    if (ps->charSet == lcid) {
        SelectObject(ps->hdc, ps->defaultFont);
        ps->charSet = PM_LCID_DEFAULT;
    }
    ps->fonts.erase(it);
    return TRUE;
}

BOOL ORINAPI GpiSetCharSet(HPS hps, LONG lcid) noexcept
{
    GpiPS *ps = gpiFindDrawable(hps);
    if (!ps)
        return FALSE;
    HGDIOBJ font = ps->defaultFont;
    if (!defaultLcid(lcid)) {
        auto it = ps->fonts.find(lcid);
        if (it == ps->fonts.end())
            return fail(PMERR_GPI_INV_SETID, FALSE);
        font = it->second.get();
    }
    SelectObject(ps->hdc, font);
    ps->charSet = defaultLcid(lcid) ? PM_LCID_DEFAULT : lcid;
    return TRUE;
}

LONG ORINAPI GpiQueryCharSet(HPS hps) noexcept
{
    GpiPS *ps = gpiFind(hps);
    return ps ? ps->charSet : -1L;
}

BOOL ORINAPI GpiQueryFontMetrics(HPS hps, LONG lMetricsLength, PM_FONTMETRICS *pfm) noexcept
{
    GpiPS *ps = gpiFindDrawable(hps);
    if (!ps)
        return FALSE;
    if (!pfm || lMetricsLength < 0)
        return fail(PMERR_GPI_INV_PARAM, FALSE);
    PM_FONTMETRICS fm{};
    fillMetrics(ps->hdc, fm);
    size_t n = std::min(static_cast<size_t>(lMetricsLength), sizeof fm);
    memcpy(pfm, &fm, n);
    return TRUE;
}
