/*
 * str_step.c - walking a narrow string character by character: next and
 * previous character, character values, character positions, lengths in
 * characters and dangling lead bytes.
 *
 * A character is two bytes when its first byte is a lead byte and the
 * next byte is not the terminator, else one.  With the DBCS flag at 0
 * every character is one byte and the lengths come from strlen.  Going
 * back is only safe by scanning forward from the string start (a trail
 * byte may look like a lead byte), so StrCharPrev does that in DBCS mode.
 */
#include "text/strint.h"

USHORT ORINAPI MbsLen(const char *pos) noexcept
{
    if (!pos)
        return 0;
    return (USHORT)(knlDbcsEnabled && KNL_ISLEAD(*pos) ? 2 : 1);
}

/* At the terminator the position stays where it is. */
char *ORINAPI StrCharNext(const char *pos) noexcept
{
    if (!pos)
        return NULL;
    if (!*pos)
        return (char *)pos;
    return (char *)pos + strCharBytes(pos);
}

char *ORINAPI StrCharPrev(const char *start, const char *pos) noexcept
{
    const char *p, *prev;

    if (!start || !pos || pos <= start)
        return (char *)start;
    if (!knlDbcsEnabled)
        return (char *)pos - 1;
    p = prev = start;
    while (p < pos && *p) {
        prev = p;
        p += strCharBytes(p);
    }
    /* pos lies beyond the terminator or inside a pair: the last character
     * start seen before it is the answer. */
    return (char *)prev;
}

USHORT ORINAPI StrGetChar(const char *pos) noexcept
{
    return pos ? strCharValue(pos) : 0;
}

/* Stores the character (0 at the terminator) and returns the position
 * behind it; the terminator counts as one byte. */
char *ORINAPI StrGetCharNext(const char *pos, USHORT *ch) noexcept
{
    USHORT c;
    if (!pos) {
        if (ch) *ch = 0;
        return NULL;
    }
    c = strCharValue(pos);
    if (ch)
        *ch = c;
    return (char *)pos + strCharBytes(pos);
}

char *ORINAPI StrGetCharPrev(const char *start, const char *pos, USHORT *ch) noexcept
{
    char *prev;
    if (!start || !pos || pos <= start) {
        if (ch) *ch = 0;
        return (char *)start;
    }
    prev = StrCharPrev(start, pos);
    if (ch)
        *ch = strCharValue(prev);
    return prev;
}

/* Writes the low byte, and the high byte as well when the low byte is a
 * lead byte. */
char *ORINAPI StrPutChar(char *pos, USHORT ch) noexcept
{
    StrPutCharNext(pos, ch);
    return pos;
}

char *ORINAPI StrPutCharNext(char *pos, USHORT ch) noexcept
{
    if (!pos)
        return NULL;
    ch = chrNorm(ch);
    pos[0] = (char)(ch & 0xFF);
    if (KNL_ISLEAD(ch & 0xFF)) {
        pos[1] = (char)(ch >> 8);
        return pos + 2;
    }
    return pos + 1;
}

char *ORINAPI StrGetCharPos(const char *s, size_t n) noexcept
{
    if (!s)
        return NULL;
    if (!knlDbcsEnabled)
        return n <= strlen(s) ? (char *)s + n : NULL;
    for (; n > 0; n--) {
        if (!*s)
            return NULL;
        s += strCharBytes(s);
    }
    return (char *)s;
}

size_t ORINAPI StrCLen(const char *s) noexcept
{
    size_t n = 0;
    if (!s)
        return 0;
    if (!knlDbcsEnabled)
        return strlen(s);
    for (; *s; s += strCharBytes(s))
        n++;
    return n;
}

/* Position of a dangling lead byte at the end of s, or NULL. */
static char *danglingLead(const char *s)
{
    if (!knlDbcsEnabled)
        return NULL;
    for (; *s; s += strCharBytes(s))
        if (KNL_ISLEAD(*s) && !s[1])
            return (char *)s;
    return NULL;
}

USHORT ORINAPI StrIsValidDBCS(const char *s) noexcept
{
    if (!s)
        return 1;
    return danglingLead(s) ? 0 : 1;
}

USHORT ORINAPI StrValidateDBCS(char *s) noexcept
{
    char *lead;
    if (!s)
        return 1;
    lead = danglingLead(s);
    if (!lead)
        return 1;
    *lead = 0;
    return 0;
}
