/*
 * rt_wrap.cpp - rich-text strings in rectangles: drawn once, or word-
 * wrapped into lines, also turned by 90, 180 or 270 degrees.
 *
 * Wrapping works in the turned frame: for 90 and 270 degrees the
 * rectangle's width and height exchange roles, and the frame's top-left
 * corner (where the first line starts) is the rectangle corner that the
 * turn brings there: bottom-left for 90, bottom-right for 180, top-right
 * for 270.  Paragraphs end at line feeds; each is broken into lines with
 * the wrap rule of rt_measure.  Every line after the first is drawn from a
 * copy that starts with the codes restoring the formatting in force at its
 * start (font, colour, bold, underline, italic, strike-out, position; not
 * the background).  Lines stack downwards in the frame, each as high as
 * its box (top - bottom + 1).
 */
#include "pm/gpi/gpiint.h"
#include "richtext/rtpaintint.h"

namespace orin::rt {
namespace {

constexpr char kLineFeed = '\n';
constexpr char kReturn = '\r';

/* Owner of a native clip state: saved on entry, given back at the end. */
class SavedDC {
public:
    explicit SavedDC(HDC hdc) noexcept : hdc_(hdc), id_(SaveDC(hdc)) {}
    ~SavedDC()
    {
        if (id_)
            RestoreDC(hdc_, id_);
    }
    SavedDC(const SavedDC &) = delete;
    SavedDC &operator=(const SavedDC &) = delete;

private:
    HDC hdc_;
    int id_;
};

void clipTo(HPS hps, const PM_RECTL &r) noexcept
{
    LONG h = pm::gpi::gpiHeight(hps);
    IntersectClipRect(pm::gpi::gpiNativeDC(hps), r.xLeft, h - r.yTop - 1, r.xRight + 1,
                      h - r.yBottom);
}

void erase(HPS hps, const PM_RECTL &r) noexcept
{
    PM_POINTL a{r.xLeft, r.yBottom}, b{r.xRight, r.yTop};
    GpiSetColor(hps, PM_CLR_WHITE);
    GpiMove(hps, &a);
    GpiBox(hps, PM_DRO_FILL, &b, 0, 0);
}

/* The formatting in force after the bytes [from, to) starting with f. */
Format formatAt(const char *from, const char *to, Format f) noexcept
{
    Scanner sc(from, f);
    while (sc.pos() < to && sc.skipCodes() && sc.pos() < to)
        sc.step();
    return sc.format();
}

/* The turned frame: its top-left corner and extent. */
struct Frame {
    PM_POINTL corner;
    LONG width, height;
};

Frame frameOf(const PM_RECTL &r, LONG angle) noexcept
{
    LONG w = r.xRight - r.xLeft + 1, h = r.yTop - r.yBottom + 1;
    switch (angle) {
    case 90:  return Frame{{r.xLeft, r.yBottom}, h, w};
    case 180: return Frame{{r.xRight + 1, r.yBottom}, w, h};
    case 270: return Frame{{r.xRight + 1, r.yTop + 1}, h, w};
    default:  return Frame{{r.xLeft, r.yTop + 1}, w, h};
    }
}

/* One laid-out line: its text (with the restoring codes) and baseline start. */
struct Line {
    std::string text;
    PM_POINTL at;
};

/* Breaks paragraphs into lines stacked downwards from the frame's top.
 * Measuring happens here, before any turn is set on the context. */
class LineLayout {
public:
    LineLayout(HPS hps, FontSet &fs, const Frame &frame) noexcept
        : hps_(hps), fs_(fs), frame_(frame), top_(frame.corner.y) {}

    /* Lays out one paragraph [p, end); throws std::bad_alloc. */
    void paragraph(const char *p, const char *end)
    {
        std::string text(p, end);
        if (!text.empty() && text.back() == kReturn)
            text.pop_back();
        const char *s = text.c_str();
        for (;;) {
            const char *next = findWrap(hps_, fs_, s, frame_.width, format_.word);
            if (next == s && *s)            // Invariant: every line moves on
                next = s + std::strlen(s);
            addLine(std::string(s, next));
            format_ = formatAt(s, next, format_);
            s = next;
            if (atEnd(s))
                return;
        }
    }
    const std::vector<Line> &lines() const noexcept { return lines_; }

private:
    void addLine(const std::string &line)
    {
        std::string text = lines_.empty() ? line : restoreCodes(format_) + line;
        RTSTRINFO info;
        measureString(hps_, fs_, text.c_str(), info);
        PM_POINTL at{frame_.corner.x, top_ - info.box.yTop};
        top_ -= info.box.yTop - info.box.yBottom + 1;
        lines_.push_back(Line{std::move(text), at});
    }

    HPS hps_;
    FontSet &fs_;
    Frame frame_;
    LONG top_;
    std::vector<Line> lines_;
    Format format_;
};

LONG wrapPaint(HPS hps, FontSet &fs, const char *s, const PM_RECTL &rect, ULONG flags,
               LONG angle) noexcept
{
    SavedDC saved(pm::gpi::gpiNativeDC(hps));
    if (flags & RT_PAINT_ERASE)
        erase(hps, rect);
    if (flags & RT_PAINT_CLIP)
        clipTo(hps, rect);
    Frame frame = frameOf(rect, angle);
    LineLayout layout(hps, fs, frame);
    try {
        for (const char *p = s;;) {
            const char *lf = std::strchr(p, kLineFeed);
            layout.paragraph(p, lf ? lf : p + std::strlen(p));
            if (!lf)
                break;
            p = lf + 1;
        }
    } catch (...) {
        SetLastError(ORIN_ERR_NO_MEMORY);   // the string ends with the lines laid out
    }
    Rotation turn(hps, frame.corner, angle);
    for (const Line &line : layout.lines()) {
        PM_POINTL at = line.at;
        drawString(hps, fs, at, line.text.c_str());
    }
    return static_cast<LONG>(layout.lines().size());
}

FontSet *checked(HPS hps, PRTFONTSET fs, const void *s, const void *rect) noexcept
{
    FontSet *f = liveFontSet(hps, fs);
    if (f && (!s || !rect)) {
        SetLastError(ORIN_ERR_INVALID_PARAM);
        return nullptr;
    }
    return f && pm::gpi::gpiNativeDC(hps) ? f : nullptr;
}

}  // namespace
}  // namespace orin::rt

using namespace orin;
using namespace orin::rt;

BOOL ORINAPI RtPaintStrRect(HPS hps, PRTFONTSET fs, const char *s, const PM_RECTL *rect,
                            ULONG flags) noexcept
{
    FontSet *f = checked(hps, fs, s, rect);
    if (!f)
        return FALSE;
    SavedDC saved(pm::gpi::gpiNativeDC(hps));
    if (flags & RT_PAINT_ERASE)
        erase(hps, *rect);
    if (flags & RT_PAINT_CLIP)
        clipTo(hps, *rect);
    RTSTRINFO info;
    measureString(hps, *f, s, info);
    PM_POINTL at{rect->xLeft, rect->yTop + 1 - info.box.yTop};
    return drawString(hps, *f, at, s);
}

BOOL ORINAPI RtStrCharStringRect(HPS hps, PRTFONTSET fs, const char *s, const PM_RECTL *rect) noexcept
{
    return RtPaintStrRect(hps, fs, s, rect, RT_PAINT_CLIP);
}

LONG ORINAPI RtPaintStrWrapRect(HPS hps, PRTFONTSET fs, const char *s, const PM_RECTL *rect,
                                ULONG flags, LONG angle) noexcept
{
    FontSet *f = checked(hps, fs, s, rect);
    if (!f)
        return 0;
    if (!drawableAngle(angle)) {
        SetLastError(ORIN_ERR_INVALID_PARAM);
        return 0;
    }
    return wrapPaint(hps, *f, s, *rect, flags, angle);
}

LONG ORINAPI RtStrCharStringWrapRect(HPS hps, PRTFONTSET fs, const char *s,
                                     const PM_RECTL *rect) noexcept
{
    return RtPaintStrWrapRect(hps, fs, s, rect, RT_PAINT_CLIP, 0);
}

LONG ORINAPI RtStrCharStringWrapRectRot(HPS hps, PRTFONTSET fs, const char *s,
                                        const PM_RECTL *rect, LONG angle) noexcept
{
    return RtPaintStrWrapRect(hps, fs, s, rect, RT_PAINT_CLIP, angle);
}
