/*
 * rt_measure.cpp - measuring rich-text strings: character widths, boxes
 * and where a line has to break.
 *
 * Widths come from the font each run is drawn with (its half-size font
 * for positioned text); single-byte characters are read from the 256-entry
 * width table of the font id, loaded once per font set, and double-byte
 * characters are measured one at a time.
 *
 * Line breaks: break characters are the blank and '-' and, for character
 * values of 128 and above, the white space of the Str family.  The line
 * ends after the last break character before the width passes the
 * maximum (a word longer than the line is not split: the line then ends
 * at the next break character); the next line starts at the first
 * character after it that is neither a break character nor a code.
 */
#include "pm/gpi/gpiint.h"
#include "richtext/rtpaintint.h"
#include "str.h"

namespace orin::rt {
namespace {

bool isBreak(const Scanner &sc) noexcept
{
    USHORT ch = sc.charValue();
    if (ch < 0x80)
        return ch == ' ' || ch == '-';
    return ChrIsSpace(ch) != 0;
}

/* Walks a string with the width table of the font in force. */
class Measurer {
public:
    Measurer(HPS hps, FontSet &fs) noexcept : hps_(hps), fs_(fs), hdc_(pm::gpi::gpiNativeDC(hps)) {}

    LONG width(const Scanner &sc) noexcept
    {
        USHORT id = fontId(sc.format().word);
        USHORT attributes = drawAttributes(sc.format().word) & (RT_FMT_SMALL | RT_FMT_RAISED);
        if (!font_ || id != id_ || attributes != attributes_) {
            font_.reset();
            font_ = std::make_unique<RunFont>(hps_, fs_, id, attributes);
            id_ = id;
            attributes_ = attributes;
            // half-size fonts live only as long as the run: measured directly
            table_ = font_->halfSize() ? nullptr : widthTable(fs_, hdc_, font_->id());
        }
        return charWidth(hdc_, table_, sc.pos(), sc.charLen());
    }

private:
    HPS hps_;
    FontSet &fs_;
    HDC hdc_;
    std::unique_ptr<RunFont> font_;
    USHORT id_ = 0, attributes_ = 0;
    const WidthTable *table_ = nullptr;
};

/* From p, skips break characters and codes: the start of the next line. */
const char *nextLineStart(const char *p, Format f) noexcept
{
    Scanner sc(p, f);
    while (sc.skipCodes() && isBreak(sc))
        sc.step();
    return sc.pos();
}

}  // namespace

const char *findWrap(HPS hps, FontSet &fs, const char *s, LONG maxWidth, USHORT word) noexcept
{
    Measurer m(hps, fs);
    Scanner sc(s, Format{word, 0, RT_NO_BACKGROUND});
    const char *lineEnd = nullptr;        // after the most recent break character
    Format endFormat;
    bool wordSeen = false;                // a break only counts after some text
    bool overflow = false;                // past the maximum in a word without a break
    LONG sum = 0;
    while (sc.skipCodes()) {
        bool brk = isBreak(sc) && wordSeen;
        if (!overflow) {
            sum += m.width(sc);
            if (sum > maxWidth) {
                // a blank may hang past the edge; anything else moves down
                if (brk && sc.charValue() != '-') {
                    sc.step();
                    return nextLineStart(sc.pos(), sc.format());
                }
                if (lineEnd)
                    return nextLineStart(lineEnd, endFormat);
                overflow = true;
            }
        }
        wordSeen = wordSeen || !isBreak(sc);
        sc.step();
        if (brk) {
            if (overflow)
                return nextLineStart(sc.pos(), sc.format());
            lineEnd = sc.pos();
            endFormat = sc.format();
        }
    }
    return sc.pos();
}

bool measureString(HPS hps, FontSet &fs, const char *s, RTSTRINFO &info) noexcept
{
    HDC hdc = pm::gpi::gpiNativeDC(hps);
    if (!hdc)
        return false;
    info = RTSTRINFO{};
    LONG above = 0, below = 0;
    forEachRun(s, [&](const Format &f, const char *text, std::size_t bytes) {
        info.cRuns++;
        if (f.word & RT_FMT_RULE)
            return;
        RunFont font(hps, fs, fontId(f.word), drawAttributes(f.word));
        RunBox box = measureSelected(hdc, text, bytes, font.raise());
        info.box.cx += box.width;
        above = std::max(above, box.above);
        below = std::max(below, box.below);
        for (std::size_t i = 0; i < bytes; i += str::charBytes(text + i))
            info.cChars++;
    });
    info.box.yTop = above;
    info.box.yBottom = -below;
    return true;
}

}  // namespace orin::rt

using namespace orin;
using namespace orin::rt;

namespace {

FontSet *checked(HPS hps, PRTFONTSET fs, const void *a, const void *b) noexcept
{
    FontSet *f = liveFontSet(hps, fs);
    if (f && (!a || !b)) {
        SetLastError(ORIN_ERR_INVALID_PARAM);
        return nullptr;
    }
    return f && pm::gpi::gpiNativeDC(hps) ? f : nullptr;
}

}  // namespace

ULONG ORINAPI RtStrQueryWidthTable(HPS hps, PRTFONTSET fs, const char *s, LONG *widths,
                                   ULONG maxWidths) noexcept
{
    FontSet *f = checked(hps, fs, s, s);
    if (!f)
        return 0;
    Measurer m(hps, *f);
    Scanner sc(s);
    ULONG n = 0;
    while (sc.skipCodes()) {
        if (widths && n < maxWidths)
            widths[n] = m.width(sc);
        n++;
        sc.step();
    }
    return widths ? std::min(n, maxWidths) : n;
}

char *ORINAPI RtStrFindWrapPos(HPS hps, PRTFONTSET fs, const char *s, LONG maxWidth,
                               USHORT word) noexcept
{
    FontSet *f = checked(hps, fs, s, s);
    if (!f)
        return nullptr;
    return const_cast<char *>(findWrap(hps, *f, s, maxWidth, word));
}

BOOL ORINAPI RtStrQueryInfo(HPS hps, PRTFONTSET fs, const char *s, RTSTRINFO *info) noexcept
{
    FontSet *f = checked(hps, fs, s, info);
    return f && measureString(hps, *f, s, *info);
}

BOOL ORINAPI RtStrQueryBox(HPS hps, PRTFONTSET fs, const char *s, RTSTRBOX *box) noexcept
{
    RTSTRINFO info;
    if (!box) {
        SetLastError(ORIN_ERR_INVALID_PARAM);
        return FALSE;
    }
    if (!RtStrQueryInfo(hps, fs, s, &info))
        return FALSE;
    *box = info.box;
    return TRUE;
}

BOOL ORINAPI RtStrQueryStringRect(HPS hps, PRTFONTSET fs, const char *s, const PM_POINTL *pt,
                                  PM_RECTL *rect) noexcept
{
    RTSTRBOX box;
    if (!pt || !rect) {
        SetLastError(ORIN_ERR_INVALID_PARAM);
        return FALSE;
    }
    if (!RtStrQueryBox(hps, fs, s, &box))
        return FALSE;
    *rect = PM_RECTL{pt->x, pt->y + box.yBottom, pt->x + box.cx - 1, pt->y + box.yTop - 1};
    return TRUE;
}
