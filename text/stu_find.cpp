/*
 * stu_find.c - StuMatchFindEx, the scanner's forward search: move on
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
#include <string.h>
#include "text/stuint.h"

typedef struct _FINDSTATE {
    char   *buf;
    size_t  size;
    size_t  len;
    int     full;
    USHORT *overflow;
    int     inQuote;
    int     inMarker;
    int     level;
    char    bracketOpen;     /* opener of the kind that is open */
} FINDSTATE;

static const char BRACKET_OPEN[] = "([{";
static const char BRACKET_CLOSE[] = ")]}";

/* Copies len bytes from the position, then consumes them. */
static void passOver(STUMATCH *c, FINDSTATE *st, size_t len)
{
    if (st->buf && !st->full) {
        if (st->len + len < st->size) {
            memcpy(st->buf + st->len, c->pos, len);
            st->len += len;
        } else {
            st->full = 1;
            if (st->overflow)
                *st->overflow = STU_OVERFLOW;
        }
    }
    StuAdvance(c, len);
}

static void trackBracket(FINDSTATE *st, USHORT ch)
{
    const char *open, *close;

    if (ch == 0 || ch > 0x7F)
        return;
    open = strchr(BRACKET_OPEN, (char)ch);
    close = strchr(BRACKET_CLOSE, (char)ch);
    if (open) {
        if (st->level == 0) {
            st->bracketOpen = *open;
            st->level = 1;
        } else if (st->bracketOpen == *open) {
            st->level++;
        }
    } else if (close && st->level > 0 &&
               st->bracketOpen == BRACKET_OPEN[close - BRACKET_CLOSE]) {
        st->level--;
    }
}

/* Marker pair: an opening marker starts a stretch, a closing marker inside
 * one ends it; the marker text is passed over whole.  Answers whether a
 * marker was taken. */
static int takeMarker(STUMATCH *c, FINDSTATE *st, const char *const *markers)
{
    const char *m = st->inMarker ? markers[1] : markers[0];
    size_t len = m ? strlen(m) : 0;

    if (len == 0 || !StuLooksAt(c, m, len, 0))
        return 0;
    st->inMarker = !st->inMarker;
    passOver(c, st, len);
    return 1;
}

/* A backslash with quotes honoured: drop it and take the next character
 * as plain text. */
static void takeEscape(STUMATCH *c, FINDSTATE *st, size_t backslashLen)
{
    size_t len;

    StuAdvance(c, backslashLen);
    StuCharAt(c, &len);
    if (len)
        passOver(c, st, len);
}

USHORT ORINAPI StuMatchFindEx(STUMATCH *c, const char *pattern, USHORT flags,
                              char *buf, USHORT size, USHORT *overflow,
                              const char *const *markers) noexcept
{
    FINDSTATE st;
    STUMARK start;
    size_t plen, len;
    int ignoreCase = (flags & STU_FIND_ICASE) != 0;
    int quotes = (flags & STU_FIND_QUOTES) != 0;
    int useMarkers = (flags & STU_FIND_MARKERS) && markers;
    int prevBackslash = 0, found = 0;
    USHORT ch;

    if (overflow)
        *overflow = 0;
    memset(&st, 0, sizeof st);
    st.buf = size ? buf : NULL;
    st.size = size;
    st.overflow = overflow;
    if (!c || !pattern) {
        if (st.buf)
            buf[0] = 0;
        return 0;
    }
    plen = strlen(pattern);
    start = StuMark(c);

    for (;;) {
        ch = StuCharAt(c, &len);
        if (len == 0)
            break;
        if (!st.inQuote && !st.inMarker && st.level == 0 &&
            StuLooksAt(c, pattern, plen, ignoreCase)) {
            StuAdvance(c, plen);
            found = 1;
            break;
        }
        if (useMarkers && !prevBackslash && takeMarker(c, &st, markers)) {
            prevBackslash = 0;
            continue;
        }
        if (!st.inMarker && quotes) {
            if (ch == '\\') {
                takeEscape(c, &st, len);
                prevBackslash = 0;
                continue;
            }
            if (ch == '"')
                st.inQuote = !st.inQuote;
            else if (!st.inQuote)
                trackBracket(&st, ch);
        }
        prevBackslash = ch == '\\';
        passOver(c, &st, len);
    }

    if (st.buf)
        buf[st.len] = 0;
    if (!found && !(flags & STU_FIND_STAYATEND))
        StuRestore(c, start);
    return (USHORT)found;
}
