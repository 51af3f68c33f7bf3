/*
 * rt_runfont.cpp - the font a run is drawn and measured with, and the
 * width tables of the font ids.
 *
 * A run selects its font id, or the default font 4095 when that id cannot
 * be selected.  Positioned text (p1, p2) gets a font of half the cell
 * height under the temporary id 4091 + ((id - 1) AND 3), deleted when the
 * run is done; p2 text is raised by 3/10 of the em height of the run's own
 * font.  Width tables (256 entries per font id) are loaded once per font
 * set; double-byte characters are measured one at a time.
 */
#include <algorithm>
#include "pm/gpi/gpiint.h"
#include "richtext/rtpaintint.h"

namespace orin::rt {
namespace {

constexpr int kRaiseTenths = 3;
constexpr LONG kTempFontMask = 3;

/* Selects id, or the default font when it cannot be; answers the id in force. */
USHORT selectOrDefault(HPS hps, USHORT id) noexcept
{
    if (id >= 1 && id < RT_FONT_HALF_FIRST && GpiSetCharSet(hps, id))
        return id;
    GpiSetCharSet(hps, RT_FONT_DEFAULT);
    return RT_FONT_DEFAULT;
}

LONG emHeight(HPS hps) noexcept
{
    PM_FONTMETRICS fm{};
    return GpiQueryFontMetrics(hps, sizeof fm, &fm) ? fm.lEmHeight : 0;
}

}  // namespace

RunFont::RunFont(HPS hps, FontSet &fs, USHORT fontId, USHORT attributes) noexcept : hps_(hps)
{
    id_ = selectOrDefault(hps, fontId);
    if (!(attributes & (RT_FMT_SMALL | RT_FMT_RAISED)))
        return;
    LONG em = emHeight(hps);
    if (attributes & RT_FMT_RAISED)
        raise_ = em * kRaiseTenths / 10;
    PM_FATTRS half{};
    half.usRecordLength = sizeof half;
    if (id_ != RT_FONT_DEFAULT && id_ <= fs.fonts.size()) {
        half = fs.fonts[id_ - 1];
    } else {
        HDC hdc = pm::gpi::gpiNativeDC(hps);
        GetTextFaceA(hdc, sizeof half.szFacename, half.szFacename);
    }
    PM_FONTMETRICS fm{};
    GpiQueryFontMetrics(hps, sizeof fm, &fm);
    half.lMaxBaselineExt = std::max<LONG>(1, fm.lMaxBaselineExt / 2);
    LONG temp = RT_FONT_HALF_FIRST + ((fontId - 1) & kTempFontMask);
    GpiDeleteSetId(hps, temp);      // a leftover of a failed draw
    if (GpiCreateLogFontSov(hps, nullptr, temp, &half) != PM_GPI_ERROR && GpiSetCharSet(hps, temp))
        tempId_ = temp;
}

RunFont::~RunFont()
{
    if (tempId_)
        GpiDeleteSetId(hps_, tempId_);
}

RunBox measureSelected(HDC hdc, const char *text, std::size_t bytes, LONG raise) noexcept
{
    TEXTMETRICA tm{};
    GetTextMetricsA(hdc, &tm);
    SIZE size{};
    if (bytes)
        GetTextExtentPoint32A(hdc, text, static_cast<int>(bytes), &size);
    return RunBox{size.cx, tm.tmAscent + raise, tm.tmDescent};
}

const WidthTable *widthTable(FontSet &fs, HDC hdc, USHORT id) noexcept
{
    try {
        auto [it, fresh] = fs.widths.try_emplace(id);
        if (fresh) {
            INT w[256];
            if (!GetCharWidth32A(hdc, 0, 255, w))
                std::fill(std::begin(w), std::end(w), 0);
            std::copy(std::begin(w), std::end(w), it->second.begin());
        }
        return &it->second;
    } catch (...) {
        return nullptr;
    }
}

LONG charWidth(HDC hdc, const WidthTable *table, const char *p, std::size_t bytes) noexcept
{
    if (bytes == 1 && table)
        return (*table)[static_cast<BYTE>(*p)];
    SIZE size{};
    GetTextExtentPoint32A(hdc, p, static_cast<int>(bytes), &size);
    return size.cx;
}

}  // namespace orin::rt
