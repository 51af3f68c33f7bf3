/*
 * knlnam_match.cpp - wild-card comparison, name validity and device names.
 *
 * Wild cards: the basic match walks text and pattern together up to the
 * first '*' or '?'; '*' accepts whatever follows, '?' skips one character
 * (and at the end of the text requires the pattern to end too).  The full
 * compare matches the whole name first and then, when the pattern has an
 * extension, the name's extension against it, so "*.txt" does not match
 * "a.doc" while "*.*" matches a name without a point.
 *
 * Validity: a volume without long-name support imposes the 8.3 rule on
 * every component (at most 8 + 3 characters, one point, no blank, only
 * characters of the short-name table); wild cards are refused unless
 * allowed, and paths also reject misplaced colons and doubled backslashes.
 */
#include <array>
#include <initializer_list>
#include <string.h>
#include "frame/knlnamint.h"

namespace orin::knlnam {
namespace {

constexpr auto SHORT_BASE_MAX = 8;
constexpr auto SHORT_EXT_MAX = 3;
constexpr auto SHORT_UPPER_LAST = 0xFE;
constexpr auto LONG_UPPER_LAST = 0xFA;
constexpr auto UPPER_FIRST = 0x80;
constexpr char SHORT_EXTRA[] = "$#&@!%()-_{}'~^";
constexpr char LONG_EXTRA[] = "[]+=., `";

/* Compares one character at each position; returns its byte length or 0
 * when they differ. */
size_t sameChar(const char *a, const char *b)
{
    if (orin::knl::isLeadByte(static_cast<BYTE>(*a)) && a[1]) {
        return (a[0] == b[0] && a[1] == b[1]) ? 2 : 0;
    }
    if (orin::knl::isLeadByte(static_cast<BYTE>(*b)) && b[1])
        return 0;
    return orin::knl::upperByte((BYTE)*a) == orin::knl::upperByte((BYTE)*b) ? 1 : 0;
}

int basicMatch(const char *text, const char *pat)
{
    if (!*text)
        return pat[0] == 0 || pat[1] == 0 || pat[1] == '*';
    for (;;) {
        if (*pat == '*')
            return 1;
        if (*pat == '?') {
            if (!*text)
                return pat[1] == 0;
            text = orin::knl::charNext(text);
            pat++;
            continue;
        }
        if (!*pat)
            return !*text;
        {
            size_t n = *text ? sameChar(text, pat) : 0;
            if (!n)
                return 0;
            text += n;
            pat += n;
        }
    }
}

/* Last occurrence of c, stepping by characters. */
const char *lastChar(const char *s, char c)
{
    const char *found = NULL;
    for (; *s; s = orin::knl::charNext(s))
        if (*s == c)
            found = s;
    return found;
}

/* The characters allowed in names: letters, digits, the upper half up
 * to lastUpper, and the extra punctuation.  Computed when compiling. */
using CharTable = std::array<BYTE, 256>;

constexpr CharTable charTable(BYTE lastUpper, std::initializer_list<const char *> extras)
{
    CharTable t{};
    for (int c = 0; c < 256; c++)
        t[c] = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')
               || (c >= UPPER_FIRST && c <= lastUpper);
    for (const char *extra : extras)
        for (const char *p = extra; *p; p++)
            t[static_cast<BYTE>(*p)] = 1;
    return t;
}

constexpr CharTable shortChars = charTable(SHORT_UPPER_LAST, {SHORT_EXTRA});
constexpr CharTable longChars = charTable(LONG_UPPER_LAST, {SHORT_EXTRA, LONG_EXTRA});

/* Bytes of the character at s[i] in a run ending at end: 2 for a lead
 * byte with its trail byte inside the run, else 1. */
size_t charLength(const char *s, size_t i, size_t end)
{
    return orin::knl::isLeadByte(static_cast<BYTE>(s[i])) && i + 1 < end ? 2 : 1;
}

int isWild(char c)
{
    return c == '*' || c == '?';
}

int isSeparator(char c)
{
    return c == '\\' || c == '/';
}

int isDotComponent(const char *s, size_t n)
{
    return (n == 1 && s[0] == '.') || (n == 2 && s[0] == '.' && s[1] == '.');
}

/* The 8.3 rule for one component of n bytes; wild cards count as
 * characters of the name when allowed. */
int validShortComponent(const char *s, size_t n, int wildOk)
{
    size_t base = 0, ext = 0, i = 0;
    int points = 0;
    while (i < n) {
        size_t step = charLength(s, i, n);
        if (s[i] == '.') {
            if (++points > 1)
                return 0;
        } else {
            if (step == 1 && !shortChars[(BYTE)s[i]] && !(wildOk && isWild(s[i])))
                return 0;
            if (points)
                ext += step;
            else
                base += step;
        }
        i += step;
    }
    return base <= SHORT_BASE_MAX && ext <= SHORT_EXT_MAX;
}

/* Checks every component of one entry: the 8.3 rule without long names,
 * the characters of table when given, and wild cards (only in the last
 * component, and only when allowed). */
int validComponents(const char *entry, size_t len, int longNames, int wildOk,
                           const BYTE *table)
{
    size_t i = 0, start;
    const char *rest = KnlNamSkipDriveName(entry);
    size_t skip = (size_t)(rest - entry);

    i = skip < len ? skip : len;
    while (i < len) {
        size_t n, j;
        int last;
        while (i < len && isSeparator(entry[i]))
            i++;
        start = i;
        while (i < len && !isSeparator(entry[i]))
            i += charLength(entry, i, len);
        n = i - start;
        if (n == 0 || isDotComponent(entry + start, n))
            continue;
        last = i >= len;
        for (j = start; j < i; j += charLength(entry, j, i)) {
            char c = entry[j];
            if (charLength(entry, j, i) == 2)
                continue;
            if (isWild(c)) {
                if (!wildOk || !last)
                    return 0;
                continue;
            }
            if (c == ' ' && !longNames)
                return 0;
            if (table && !table[(BYTE)c] && !(c == '.' && !longNames))
                return 0;
        }
        if (!longNames && !validShortComponent(entry + start, n, wildOk && last))
            return 0;
    }
    return 1;
}

/* Colons only as the drive colon at position 1, doubled backslashes
 * only at the start. */
int validStructure(const char *entry, size_t len)
{
    size_t i;
    for (i = 0; i < len; i += charLength(entry, i, len)) {
        if (charLength(entry, i, len) == 2)
            continue;
        if (entry[i] == ':' && i != 1)
            return 0;
        if (i > 0 && entry[i] == '\\' && entry[i - 1] == '\\' && i != 1)
            return 0;
    }
    return 1;
}

/* Long-name support of the volume a name is on (or the current one). */
int volumeHasLongNames(const char *name)
{
    char drive[KNLNAM_MAXPATH];
    KnlNamGetDriveName(name, drive, sizeof drive);
    return KnlNamQuerySupportLFN(KnlNamGetDefaultNS(), drive[0] ? drive : NULL);
}

int validEntries(const char *list, int longNames, int wildOk, const BYTE *table,
                        int isPath)
{
    const char *p = list;
    for (;;) {
        const char *end = strchr(p, ';');
        size_t len = end ? (size_t)(end - p) : strlen(p);
        if (len) {
            if (isPath && !validStructure(p, len))
                return 0;
            if (!validComponents(p, len, longNames, wildOk, table))
                return 0;
        }
        if (!end)
            return 1;
        p = end + 1;
    }
}

int validNameOrPath(const char *name, BOOL wildOk, int isPath)
{
    int longNames = 1;
    if (!name || !*name || strlen(name) > KNLNAM_MAXNAME)
        return 0;
    if (!wildOk)
        longNames = volumeHasLongNames(name);
    if (!isPath)
        return validComponents(name, strlen(name), longNames, wildOk, NULL);
    return validEntries(name, longNames, wildOk, NULL, 1);
}

}  // namespace
}  // namespace orin::knlnam

using namespace orin::knlnam;


USHORT ORINAPI KnlNamWildCompare(void *ns, const char *name, const char *pattern) noexcept
{
    const char *patDot, *patSep, *nameDot, *slash;

    if (!name || !pattern)
        return 0;
    if (!lastChar(pattern, '\\') && (slash = lastChar(name, '\\')) != NULL)
        name = slash + 1;
    patDot = lastChar(pattern, '.');
    patSep = lastChar(pattern, '\\');
    if (!patDot || (patSep && patSep > patDot))
        return (USHORT)basicMatch(name, pattern);
    if (!basicMatch(name, pattern))
        return 0;
    slash = lastChar(name, '\\');
    nameDot = lastChar(slash ? slash + 1 : name, '.');
    if (!nameDot) {
        size_t n = strlen(pattern);
        return n && pattern[n - 1] == '*';
    }
    return (USHORT)basicMatch(nameDot, patDot);
}

/* ---- validity ---------------------------------------------------------- */

const BYTE *ORINAPI KnlNamQueryValidFileChars(BOOL longNames) noexcept
{
    return longNames ? longChars.data() : shortChars.data();
}

USHORT ORINAPI KnlNamIsValidName(const char *name, BOOL wildOk) noexcept
{
    return (USHORT)validNameOrPath(name, wildOk, 0);
}

USHORT ORINAPI KnlNamIsValidPath(const char *name, BOOL wildOk) noexcept
{
    return (USHORT)validNameOrPath(name, wildOk, 1);
}

USHORT ORINAPI KnlNamIsValidPathFilter(BOOL longNames, const char *list, BOOL wildOk,
                                       const BYTE *validChars) noexcept
{
    if (!list)
        return 0;
    if (!validChars)
        validChars = longNames ? longChars.data() : shortChars.data();
    return (USHORT)validEntries(list, longNames != 0, wildOk != 0, validChars, 1);
}

/* ---- devices -------------------------------------------------------------- */

USHORT ORINAPI KnlNamIsDevice(void *ns, const char *name) noexcept
{
    static const char *const devices[] = { "CON", "AUX", "LPT", "PRN" };
    char base[KNLNAM_MAXPART];
    size_t i;

    if (!name || !*name || strlen(name) > KNLNAM_MAXNAME || KnlNamQDirExist(ns, name))
        return 0;
    KnlNamSplitPath(ns, name, NULL, NULL, base, NULL);
    CharUpperBuffA(base, (DWORD)strlen(base));
    for (i = 0; i < sizeof devices / sizeof devices[0]; i++)
        if (strcmp(base, devices[i]) == 0)
            return 1;
    return 0;
}
