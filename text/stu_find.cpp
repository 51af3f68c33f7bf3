/*
 * stu_find.cpp - the scanner's forward search (StuMatchFindEx): move on
 * character by character until a pattern matches, copying what is passed
 * over.
 *
 * The scan keeps three kinds of "open stretch" in which the pattern is not
 * tried: a marker stretch (between a caller's opening and closing marker),
 * a quoted stretch (between double quotes) and a bracket level.  Only one
 * bracket kind is tracked at a time: the first opener sets the kind, and
 * brackets of other kinds inside it are ordinary characters.  With quotes
 * honoured, a backslash escapes the next character: the backslash is not
 * copied and the escaped character neither opens nor closes anything nor
 * ends the search; a doubled backslash gives one plain backslash.
 *
 * The copy takes each character whole while it fits with room for the
 * terminator; the first one that does not fit ends the copying and raises
 * the overflow flag, but the scan goes on.
 */
#include <cstring>
#include <string_view>
#include "text/stuint.h"

namespace orin::stu {
namespace {

constexpr std::string_view kBracketOpen = "([{";
constexpr std::string_view kBracketClose = ")]}";
constexpr USHORT kLastAscii = 0x7F;

/* Where the characters passed over go: the caller's buffer of size bytes
 * (terminator included), until the first one that does not fit. */
class Copy {
public:
    Copy(char *buf, std::size_t size, USHORT *overflow) noexcept
        : buf_(size ? buf : nullptr), size_(size), overflow_(overflow)
    {
        if (overflow_)
            *overflow_ = 0;
    }

    void append(const BYTE *bytes, std::size_t len) noexcept
    {
        if (!buf_ || full_)
            return;
        if (len_ + len < size_) {
            std::memcpy(buf_ + len_, bytes, len);
            len_ += len;
        } else {
            full_ = true;
            if (overflow_)
                *overflow_ = STU_OVERFLOW;
        }
    }

    void terminate() noexcept
    {
        if (buf_)
            buf_[len_] = 0;
    }

private:
    char *buf_;
    std::size_t size_;
    std::size_t len_ = 0;
    bool full_ = false;
    USHORT *overflow_;
};

/* The bracket level: one kind at a time, never below 0. */
class Brackets {
public:
    bool open() const noexcept { return level_ > 0; }

    void track(USHORT ch) noexcept
    {
        if (ch == 0 || ch > kLastAscii)
            return;
        auto c = static_cast<char>(ch);
        std::size_t open = kBracketOpen.find(c), close = kBracketClose.find(c);
        if (open != std::string_view::npos) {
            if (level_ == 0) {
                kind_ = kBracketOpen[open];
                level_ = 1;
            } else if (kind_ == kBracketOpen[open]) {
                level_++;
            }
        } else if (close != std::string_view::npos && level_ > 0 &&
                   kind_ == kBracketOpen[close]) {
            level_--;
        }
    }

private:
    int level_ = 0;
    char kind_ = 0;             // opener of the kind that is open
};

}  // namespace

bool Cursor::find(const char *pattern, USHORT flags, char *buf, USHORT size, USHORT *overflow,
                  const char *const *markers) noexcept
{
    const bool ignoreCase = (flags & STU_FIND_ICASE) != 0;
    const bool quotes = (flags & STU_FIND_QUOTES) != 0;
    const bool useMarkers = (flags & STU_FIND_MARKERS) && markers;
    const std::size_t plen = std::strlen(pattern);
    const Mark start = mark();
    Copy copy(buf, size, overflow);
    Brackets brackets;
    bool inQuote = false, inMarker = false, prevBackslash = false, found = false;

    /* Copies len bytes from the position, then consumes them. */
    auto passOver = [&](std::size_t len) {
        copy.append(pos_, len);
        advance(len);
    };
    /* Marker pair: an opening marker starts a stretch, a closing marker
     * inside one ends it; the marker text is passed over whole. */
    auto takeMarker = [&] {
        const char *m = inMarker ? markers[1] : markers[0];
        std::size_t len = m ? std::strlen(m) : 0;
        if (len == 0 || !looksAt(m, len, false))
            return false;
        inMarker = !inMarker;
        passOver(len);
        return true;
    };

    for (;;) {
        std::size_t len;
        USHORT ch = charAt(len);
        if (len == 0)
            break;
        if (!inQuote && !inMarker && !brackets.open() && looksAt(pattern, plen, ignoreCase)) {
            advance(plen);
            found = true;
            break;
        }
        if (useMarkers && !prevBackslash && takeMarker()) {
            prevBackslash = false;
            continue;
        }
        if (!inMarker && quotes) {
            if (ch == '\\') {
                /* Drop the backslash, take the next character as plain text. */
                advance(len);
                charAt(len);
                if (len)
                    passOver(len);
                prevBackslash = false;
                continue;
            }
            if (ch == '"')
                inQuote = !inQuote;
            else if (!inQuote)
                brackets.track(ch);
        }
        prevBackslash = ch == '\\';
        passOver(len);
    }

    copy.terminate();
    if (!found && !(flags & STU_FIND_STAYATEND))
        restore(start);
    return found;
}

}  // namespace orin::stu
