/*
 * rtpaintint.h - what the rich-text painting files share: the font-set
 * record, the font selection of a run (with its temporary half-size font),
 * run boxes and the rotation of a native context.
 *
 * Layering: the string layer of this folder (rt_scan ... rt_format) needs
 * nothing of pm/; the painting files (rt_fontset, rt_runfont, rt_draw,
 * rt_measure, rt_wrap) draw through presentation spaces and so stand above pm/gpi.
 * They include pm/gpi/gpiint.h only for gpiNativeDC() and gpiHeight()
 * (glyph widths and world transforms have no Gpi call); nothing in pm/
 * includes this folder.
 */
#ifndef ORIN_RICHTEXT_RTPAINTINT_H
#define ORIN_RICHTEXT_RTPAINTINT_H

#include <array>
#include <map>
#include <memory>
#include <vector>
#include "richtext/rtint.h"
#include "rtpaint.h"

namespace orin::rt {

using WidthTable = std::array<LONG, 256>;

/* The record behind a font-set handle: the PS it belongs to, the font
 * attributes per local id (index id - 1) and the width tables loaded so far. */
struct FontSet {
    HPS hps = nullptr;
    std::vector<PM_FATTRS> fonts;            // Invariant: a multiple of 4 long
    std::map<USHORT, WidthTable> widths;     // by font id
};

/* The live font set fs of hps, or null with the last error set. */
FontSet *liveFontSet(HPS hps, PRTFONTSET fs) noexcept;

/* The four font attributes of one context entry at a resolution. */
void appendEntryFonts(std::vector<PM_FATTRS> &out, const char *face, SHORT size, int pixelsPerInch);
/* Vertical pixels per inch of the PS's device. */
int pixelsPerInch(HPS hps) noexcept;
/* Creates fonts[first ...] under their ids in hps. */
void createFonts(HPS hps, const std::vector<PM_FATTRS> &fonts, std::size_t first) noexcept;

/* The font of a run selected in the PS; for positioned text a half-size
 * font under a temporary id, deleted again when this ends. */
class RunFont {
public:
    RunFont(HPS hps, FontSet &fs, USHORT fontId, USHORT attributes) noexcept;
    ~RunFont();
    RunFont(const RunFont &) = delete;
    RunFont &operator=(const RunFont &) = delete;

    LONG raise() const noexcept { return raise_; }
    bool halfSize() const noexcept { return tempId_ != 0; }
    USHORT id() const noexcept { return id_; }     // the id selected (4095 on fallback)

private:
    HPS hps_;
    USHORT id_ = RT_FONT_DEFAULT;
    LONG tempId_ = 0;
    LONG raise_ = 0;
};

/* Extent of a run's text in the selected font. */
struct RunBox {
    LONG width = 0, above = 0, below = 0;
};
RunBox measureSelected(HDC hdc, const char *text, std::size_t bytes, LONG raise) noexcept;

/* The width table of font id (selected in hdc), loaded once per set. */
const WidthTable *widthTable(FontSet &fs, HDC hdc, USHORT id) noexcept;
/* Advance of the visible character at p in the selected font. */
LONG charWidth(HDC hdc, const WidthTable *table, const char *p, std::size_t bytes) noexcept;

/* The start of the line after the one that starts at s (see rt_measure). */
const char *findWrap(HPS hps, FontSet &fs, const char *s, LONG maxWidth, USHORT word) noexcept;
/* Box, visible characters and runs of s. */
bool measureString(HPS hps, FontSet &fs, const char *s, RTSTRINFO &info) noexcept;

/* Draws s with its left baseline point at pt, run by run; pt advances. */
bool drawString(HPS hps, FontSet &fs, PM_POINTL &pt, const char *s) noexcept;

/* Whether angle is one of the four drawable ones. */
constexpr bool drawableAngle(LONG angle) noexcept
{
    return angle == 0 || angle == 90 || angle == 180 || angle == 270;
}

/* Turns the drawing of a PS by a multiple of 90 degrees (counter-
 * clockwise) about a PM point, through the native world transform, until
 * this ends. */
class Rotation {
public:
    Rotation(HPS hps, const PM_POINTL &pivot, LONG angle) noexcept;
    ~Rotation();
    Rotation(const Rotation &) = delete;
    Rotation &operator=(const Rotation &) = delete;

private:
    HDC hdc_ = nullptr;
    int oldMode_ = 0;
    XFORM old_{};
};

}  // namespace orin::rt

#endif  // ORIN_RICHTEXT_RTPAINTINT_H
