/*
 * rt_draw.cpp - drawing rich-text strings run by run.
 *
 * A run is drawn with its colour and font id; positioned text gets a
 * half-size font (p2 raised by 3/10 of the em height); a background fills
 * the run's box first; strike-out, single and double underline are lines
 * over the run's width.  A run with the rule flag is a horizontal line in
 * colour 15 from x = 0 to x = 1000 at the current height instead.
 *
 * Rotation by 90, 180 or 270 degrees sets a world transform on the
 * native context that turns everything drawn about the start point
 * (counter-clockwise, as PM angles go), so runs, fills and lines turn
 * together.
 */
#include "pm/gpi/gpiint.h"
#include "richtext/rtpaintint.h"

namespace orin::rt {
namespace {

constexpr LONG kDoubleUnderlineGap = 2;
constexpr LONG kStrikeDivisor = 3;

void line(HPS hps, LONG x0, LONG x1, LONG y) noexcept
{
    PM_POINTL a{x0, y}, b{x1, y};
    GpiMove(hps, &a);
    GpiLine(hps, &b);
}

void fillBox(HPS hps, LONG x0, LONG y0, LONG x1, LONG y1) noexcept
{
    PM_POINTL a{x0, y0}, b{x1, y1};
    GpiMove(hps, &a);
    GpiBox(hps, PM_DRO_FILL, &b, 0, 0);
}

/* Current position of the PS as a PM point. */
PM_POINTL currentPosition(HPS hps) noexcept
{
    POINT pt{};
    GetCurrentPositionEx(pm::gpi::gpiNativeDC(hps), &pt);
    return PM_POINTL{pt.x, pm::gpi::gpiHeight(hps) - pt.y};
}

/* The one run-drawing rule every caller goes through. */
void drawRun(HPS hps, FontSet &fs, PM_POINTL &pt, USHORT fontId, USHORT attributes, USHORT color,
             USHORT back, const char *text, std::size_t bytes) noexcept
{
    HDC hdc = pm::gpi::gpiNativeDC(hps);
    GpiSetColor(hps, color);
    RunFont font(hps, fs, fontId, attributes);
    RunBox box = measureSelected(hdc, text, bytes, font.raise());
    LONG right = pt.x + box.width - 1;
    if (back != RT_NO_BACKGROUND && box.width > 0) {
        GpiSetColor(hps, back);
        fillBox(hps, pt.x, pt.y - box.below, right, pt.y + box.above - 1);
        GpiSetColor(hps, color);
    }
    if (bytes) {
        PM_POINTL at{pt.x, pt.y + font.raise()};
        GpiCharStringAt(hps, &at, static_cast<LONG>(bytes), text);
    }
    if (box.width > 0) {
        if (attributes & RT_FMT_STRIKEOUT)
            line(hps, pt.x, right, pt.y + box.above / kStrikeDivisor);
        if (attributes & (RT_FMT_UNDERLINE | RT_FMT_DUNDERLINE))
            line(hps, pt.x, right, pt.y - 1);
        if (attributes & RT_FMT_DUNDERLINE)
            line(hps, pt.x, right, pt.y - 1 - kDoubleUnderlineGap);
    }
    pt.x += box.width;
}

void drawRule(HPS hps, const PM_POINTL &pt) noexcept
{
    GpiSetColor(hps, RT_RULE_COLOR);
    line(hps, 0, RT_RULE_RIGHT, pt.y);
}

bool validArguments(HPS hps, PRTFONTSET fs, const void *a, const void *b, FontSet *&out) noexcept
{
    out = liveFontSet(hps, fs);
    if (!out)
        return false;
    if (!a || !b) {
        SetLastError(ORIN_ERR_INVALID_PARAM);
        return false;
    }
    return pm::gpi::gpiNativeDC(hps) != nullptr;
}

BOOL badAngle() noexcept
{
    SetLastError(ORIN_ERR_INVALID_PARAM);
    return FALSE;
}

}  // namespace

bool drawString(HPS hps, FontSet &fs, PM_POINTL &pt, const char *s) noexcept
{
    forEachRun(s, [&](const Format &f, const char *text, std::size_t bytes) {
        if (f.word & RT_FMT_RULE)
            drawRule(hps, pt);
        else
            drawRun(hps, fs, pt, fontId(f.word), drawAttributes(f.word), f.color, f.back, text, bytes);
    });
    GpiMove(hps, &pt);
    return true;
}

Rotation::Rotation(HPS hps, const PM_POINTL &pivot, LONG angle) noexcept
{
    if (angle == 0)
        return;
    hdc_ = pm::gpi::gpiNativeDC(hps);
    if (!hdc_)
        return;
    // cos and sin of the multiples of 90 degrees
    FLOAT c = angle == 180 ? -1.0f : (angle == 0 ? 1.0f : 0.0f);
    FLOAT s = angle == 90 ? 1.0f : (angle == 270 ? -1.0f : 0.0f);
    FLOAT px = static_cast<FLOAT>(pivot.x);
    FLOAT py = static_cast<FLOAT>(pm::gpi::gpiHeight(hps) - pivot.y);
    // native y grows downwards: a counter-clockwise turn on screen is
    // x' = px + dx c + dy s, y' = py - dx s + dy c
    XFORM xf{c, -s, s, c, px - px * c - py * s, py + px * s - py * c};
    oldMode_ = SetGraphicsMode(hdc_, GM_ADVANCED);
    GetWorldTransform(hdc_, &old_);
    SetWorldTransform(hdc_, &xf);
}

Rotation::~Rotation()
{
    if (!hdc_)
        return;
    SetWorldTransform(hdc_, &old_);
    SetGraphicsMode(hdc_, oldMode_);
}

}  // namespace orin::rt

using namespace orin;
using namespace orin::rt;

BOOL ORINAPI RtStrOutAt(HPS hps, PRTFONTSET fs, PM_POINTL *pt, USHORT fontId, USHORT attributes,
                        USHORT color, USHORT background, const char *text, LONG length) noexcept
{
    FontSet *f;
    if (!validArguments(hps, fs, pt, text, f))
        return FALSE;
    if (length < 0)
        return badAngle();
    drawRun(hps, *f, *pt, fontId, attributes, color, background, text,
            strnlen(text, static_cast<std::size_t>(length)));
    GpiMove(hps, pt);
    return TRUE;
}

BOOL ORINAPI RtStrCharStringAtRot(HPS hps, PRTFONTSET fs, const PM_POINTL *pt, const char *s,
                                  LONG angle) noexcept
{
    FontSet *f;
    if (!validArguments(hps, fs, pt, s, f))
        return FALSE;
    if (!drawableAngle(angle))
        return badAngle();
    PM_POINTL at = *pt;
    Rotation turn(hps, at, angle);
    return drawString(hps, *f, at, s);
}

BOOL ORINAPI RtStrCharStringAt(HPS hps, PRTFONTSET fs, const PM_POINTL *pt, const char *s) noexcept
{
    return RtStrCharStringAtRot(hps, fs, pt, s, 0);
}

BOOL ORINAPI RtStrCharStringRot(HPS hps, PRTFONTSET fs, const char *s, LONG angle) noexcept
{
    if (!pm::gpi::gpiNativeDC(hps))
        return FALSE;
    PM_POINTL at = currentPosition(hps);
    return RtStrCharStringAtRot(hps, fs, &at, s, angle);
}

BOOL ORINAPI RtStrCharString(HPS hps, PRTFONTSET fs, const char *s) noexcept
{
    return RtStrCharStringRot(hps, fs, s, 0);
}
