/*
 * rtint.h - the rich-text string layer as the rest of the library sees it:
 * the formatting state, the scanning rule every RtStr function shares, the
 * runs of a string as slices of it, the context records, and the pure
 * rules the painting layer builds on (font ids, point sizes).
 *
 * Scanning: at each byte, an escape byte followed by one of the nine code
 * letters starts an escape sequence (the letter, its digits and one ';'),
 * which changes the formatting state; an escape byte right before the
 * terminator ends the string; anything else is a visible character,
 * stepped with the frame's DBCS rules (text/strint.h), so an escape byte
 * that trails a lead byte is part of a double-byte character.
 *
 * A run is the visible text between two escape sequences: it lies in one
 * piece in the string, so runs are handed out as (pointer, length) slices
 * and nothing is copied unless the caller wants heap texts (RtStrSplit).
 */
#ifndef ORIN_RICHTEXT_RTINT_H
#define ORIN_RICHTEXT_RTINT_H

#include <cstddef>
#include <cstring>
#include <string>
#include <vector>
#include "frame/scope.h"
#include "rt.h"
#include "text/strint.h"

namespace orin::rt {

inline constexpr char kEscape = static_cast<char>(RT_ESCAPE);
inline constexpr char kCaret = RT_CARET;
inline constexpr char kNumberEnd = ';';
inline constexpr unsigned kNumberMax = 0xFFFF;       // numbers saturate here
inline constexpr unsigned kFontMax = 0xFF;
inline constexpr unsigned kBackgroundLimit = 256;    // g from here on: no background
inline constexpr USHORT kDefaultFontId = 4095;       // the presentation space's default font
inline constexpr int kDefaultPoints = 12;
inline constexpr int kPointsPerInch = 72;
inline constexpr std::size_t kFaceBytesRead = 39;    // a face name read from context text
inline constexpr std::size_t kFaceBytesUsed = 32;    // a face name given to a font

/* The formatting state in force at a point of a string. */
struct Format {
    USHORT word = 0;
    USHORT color = 0;
    USHORT back = RT_NO_BACKGROUND;

    USHORT font() const noexcept { return static_cast<USHORT>((word & RT_FMT_FONT) >> RT_FMT_FONT_SHIFT); }
    bool operator==(const Format &) const = default;
};

/* The font id a run is drawn with: one of the four fonts the painting
 * layer makes per context entry (normal, italic, bold, bold italic). */
constexpr USHORT fontId(USHORT word) noexcept
{
    return static_cast<USHORT>((word & (RT_FMT_FONT | RT_FMT_BOLD | RT_FMT_ITALIC)) + 1);
}

/* The drawing attributes of a run: strike-out, underlines, positions. */
constexpr USHORT drawAttributes(USHORT word) noexcept
{
    return static_cast<USHORT>(word & (RT_FMT_STRIKEOUT | RT_FMT_UNDERLINE | RT_FMT_DUNDERLINE |
                                       RT_FMT_SMALL | RT_FMT_RAISED));
}

/* Points of a context entry's size: negative = points, positive = device
 * pixels at the given vertical resolution (pixels per inch), 0 = 12. */
constexpr int pointSize(SHORT size, int pixelsPerInch) noexcept
{
    if (size < 0)
        return -size;
    if (size == 0 || pixelsPerInch <= 0)
        return kDefaultPoints;
    return size * kPointsPerInch / pixelsPerInch;
}

bool isCodeLetter(char c) noexcept;

/* Whether the string ends at p: the terminator, or an escape byte right
 * before it. */
inline bool atEnd(const char *p) noexcept
{
    return p[0] == 0 || (p[0] == kEscape && p[1] == 0);
}

/* Length of the escape sequence at p, 0 when none starts there. */
std::size_t codeLength(const char *p) noexcept;

/* Applies the escape sequence at p to f and returns its length (0 and no
 * change when none starts there). */
std::size_t applyCode(const char *p, Format &f) noexcept;

/* The first escape byte at or behind p that is a character of its own, or
 * the terminator.  Without lead bytes this is the C library's search. */
inline const char *nextEscape(const char *p) noexcept
{
    if (!knlDbcsEnabled) {
        const char *e = std::strchr(p, kEscape);
        return e ? e : p + std::strlen(p);
    }
    // Invariant: the escape byte is never a lead byte, so at a character
    // start it is a character of its own.
    while (*p && *p != kEscape)
        p += str::charBytes(p);
    return p;
}

/* Walks a string: escape sequences change the state, visible characters
 * are stepped one at a time. */
class Scanner {
public:
    explicit Scanner(const char *s, Format start = {}) noexcept : p_(s), f_(start) {}

    /* Applies the escape sequences at the current position; false at the
     * end of the string (where the position stays). */
    bool skipCodes() noexcept
    {
        for (;;) {
            if (atEnd(p_))
                return false;
            std::size_t n = applyCode(p_, f_);
            if (n == 0)
                return true;
            p_ += n;
        }
    }
    /* Bytes of the visible character at the current position. */
    std::size_t charLen() const noexcept { return str::charBytes(p_); }
    USHORT charValue() const noexcept { return str::charValue(p_); }
    void step() noexcept { p_ += str::charBytes(p_); }
    const char *pos() const noexcept { return p_; }
    const Format &format() const noexcept { return f_; }

private:
    const char *p_;
    Format f_;
};

/* Calls onRun(format, text, bytes) for every run of s: a run ends at each
 * escape sequence that follows visible text, and the last run is reported
 * even when it is empty (so an empty string has one empty run). */
template <class F>
void forEachRun(const char *s, F &&onRun)
{
    Format f;
    const char *p = s;
    const char *runStart = s;
    for (;;) {
        p = nextEscape(p);
        if (atEnd(p))
            break;
        Format runFormat = f;                // the state of the text before
        std::size_t n = applyCode(p, f);
        if (n == 0) {                        // an escape byte that is text
            p++;
            continue;
        }
        if (p != runStart)
            onRun(static_cast<const Format &>(runFormat), runStart, static_cast<std::size_t>(p - runStart));
        p += n;
        runStart = p;
    }
    onRun(static_cast<const Format &>(f), runStart, static_cast<std::size_t>(p - runStart));
}

/* Where the n-th visible character of s stands (n equal to the visible
 * count: the terminator).  before is the start of the escape sequences
 * directly in front of it, at its own position when there are none;
 * format is the state in force for the character. */
struct VisiblePos {
    const char *before = nullptr;
    const char *at = nullptr;
    Format format;
};

/* False when s has fewer than n visible characters. */
bool findVisibleChar(const char *s, std::size_t n, VisiblePos &out) noexcept;

/* One context entry: a face name and a size (see pointSize). */
struct ContextEntry {
    UniqueMalloc<char> face;
    SHORT size = 0;
};

/* The record behind a context handle. */
struct Context {
    std::vector<ContextEntry> entries;    // Invariant: at most RT_CONTEXT_CAPACITY
};

/* The record behind a live context handle, or null (then the last error
 * is 6; for a null handle 87). */
Context *liveContext(PRTCONTEXT ctx) noexcept;

/* The context text: "name,size;" per entry. */
std::string contextText(const Context &c);

/* The stored form: the escape byte written as '^', a literal '^' as "^^";
 * double-byte characters are copied as they are.  Both throw
 * std::bad_alloc when memory runs out. */
void appendStoreForm(std::string &out, const char *s);
/* Reads the stored form back: every '^' stands for the escape byte, and
 * two of them (or of escape bytes) in a row for one literal '^'. */
void appendFromStoreForm(std::string &out, const char *stored);

/* The escape sequences (in-memory form) that set the formatting f again
 * at the start of a continuation line: font, colour, then bold,
 * underline, italic, strike-out and position, each written out; the
 * background is not carried over.  Throws std::bad_alloc. */
std::string restoreCodes(const Format &f);

/* A heap copy of bytes [p, p + n) with a terminator, or null. */
char *heapCopy(const char *p, std::size_t n) noexcept;

/* Reports a failed call: sets the last error, answers null. */
std::nullptr_t fail(DWORD code) noexcept;

}  // namespace orin::rt

#endif  // ORIN_RICHTEXT_RTINT_H
