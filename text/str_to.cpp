/*
 * str_to.cpp - number parsing for narrow and wide strings: the C
 * library's converters for the plain forms, and the library's own counted
 * parsers for 16-bit decimal, 32-bit hexadecimal and binary numbers.
 *
 * The counted parsers look at no more than n characters, each step
 * (skipped blank, sign, prefix byte, digit) using up one.  They never
 * fail: a string without digits gives 0, and the 16-bit decimal forms
 * wrap like the 16-bit registers they were written for.  A double-byte
 * character ends every scan.  One scanner template reads narrow
 * characters or wide units (str_units.h).  The plain wide parsers copy
 * the leading units below 256 into a narrow string for the C library.
 */
#include <cstdlib>
#include <string>
#include "frame/boundary.h"
#include "text/str_units.h"

namespace orin::str {
namespace {

constexpr std::size_t kHexPrefixChars = 3;   // "0x" and at least one more character
constexpr WCHAR kFirstWideOnly = 256;        // first unit not copied for the C library

/* A scan over at most n characters of a text. */
template <class P>
class Scan {
public:
    Scan(const typename P::Char *s, std::size_t n) noexcept : p_(s), left_(s ? n : 0) {}

    /* The character at the position; 0 once n characters are used. */
    USHORT current() const noexcept { return left_ ? P::scanValue(p_) : 0; }
    /* The raw unit k places on (k = 0 or 1, behind a non-zero). */
    USHORT peek(std::size_t k) const noexcept { return P::raw(p_, k); }
    std::size_t left() const noexcept { return left_; }
    void next() noexcept
    {
        p_ += P::step(p_);
        left_--;
    }

private:
    const typename P::Char *p_;
    std::size_t left_;
};

bool isWhite(USHORT ch) noexcept
{
    return ch && ch <= kSingleMax && (knlCharTable[ch].flags & KNL_CT_SPACE);
}

bool isDecimal(USHORT ch) noexcept
{
    return ch >= '0' && ch <= '9';
}

template <class P>
void skipWhite(Scan<P> &sc) noexcept
{
    while (isWhite(sc.current()))
        sc.next();
}

/* Tabs, blanks and plus signs are skipped wherever they stand. */
template <class P>
USHORT parseUShort(Scan<P> sc) noexcept
{
    USHORT value = 0;
    for (;;) {
        USHORT ch = sc.current();
        if (ch == '\t' || ch == ' ' || ch == '+') {
            sc.next();
        } else if (isDecimal(ch)) {
            value = static_cast<USHORT>(value * kDecRadix + (ch - '0'));
            sc.next();
        } else {
            return value;
        }
    }
}

/* White space and plus signs are skipped; each minus flips the sign. */
template <class P>
SHORT parseShort(Scan<P> sc) noexcept
{
    USHORT value = 0;
    bool negative = false;
    for (;;) {
        USHORT ch = sc.current();
        if (isWhite(ch) || ch == '+') {
            sc.next();
        } else if (ch == '-') {
            negative = !negative;
            sc.next();
        } else if (isDecimal(ch)) {
            value = static_cast<USHORT>(value * kDecRadix + (ch - '0'));
            sc.next();
        } else {
            return static_cast<SHORT>(negative ? static_cast<USHORT>(0u - value) : value);
        }
    }
}

/* Digit value of ch in the radix, or -1. */
int digitValue(USHORT ch, unsigned radix) noexcept
{
    if (radix == kBinRadix)
        return (ch == '0' || ch == '1') ? ch - '0' : -1;
    if (ch > kSingleMax || !ChrIsHexDigit(ch))
        return -1;
    return ChrToHex(ch);
}

/* Whether "0x" (either case) follows. */
template <class P>
bool atHexPrefix(const Scan<P> &sc) noexcept
{
    return sc.current() == '0' && (sc.peek(1) == 'x' || sc.peek(1) == 'X');
}

/* The frame shared by the hexadecimal and binary parsers: blanks, a minus
 * (which negates the parse of the rest), any mix of plus and blanks, the
 * prefix when allowed, then digits until another character or n. */
template <class P>
ULONG parseRadix(Scan<P> sc, unsigned radix) noexcept
{
    skipWhite(sc);
    if (sc.current() == '-') {
        sc.next();
        return 0u - parseRadix(sc, radix);
    }
    while (sc.current() == '+' || isWhite(sc.current()))
        sc.next();
    if (radix == kHexRadix && atHexPrefix(sc)) {
        if (sc.left() < kHexPrefixChars)
            return 0;
        sc.next();
        sc.next();
        skipWhite(sc);
    }
    if (digitValue(sc.current(), radix) < 0)
        return 0;
    ULONG value = 0;
    for (int digit; (digit = digitValue(sc.current(), radix)) >= 0; sc.next())
        value = value * radix + static_cast<ULONG>(digit);
    return value;
}

/* The leading units below 256 of a wide string as a narrow string. */
std::string narrowCopy(const WCHAR *s)
{
    std::string copy;
    if (s)
        for (; *s && *s < kFirstWideOnly; s++)
            copy.push_back(static_cast<char>(*s));
    return copy;
}

/* Runs a narrow plain parser over the narrow copy of a wide string; when
 * the copy cannot be made the answer is fail (and 8 the last error). */
template <class R, class Parse>
R parseNarrowed(const WCHAR *s, R fail, Parse parse) noexcept
{
    return guardValue<R>(fail, [&] { return parse(narrowCopy(s).c_str()); });
}

}  // namespace
}  // namespace orin::str

using namespace orin::str;

/* ---- Plain forms: the C library ---------------------------------------------- */

SHORT ORINAPI StrToShort(const char *s) noexcept { return s ? static_cast<SHORT>(atoi(s)) : 0; }
USHORT ORINAPI StrToUShort(const char *s) noexcept { return s ? static_cast<USHORT>(atoi(s)) : 0; }
LONG ORINAPI StrToLong(const char *s) noexcept { return s ? static_cast<LONG>(atol(s)) : 0; }
ULONG ORINAPI StrToULong(const char *s) noexcept { return s ? static_cast<ULONG>(atol(s)) : 0; }
double ORINAPI StrToDouble(const char *s) noexcept { return s ? atof(s) : 0.0; }

/* 0 only when strtod used every byte; the value is stored either way. */
USHORT ORINAPI StrToDoubleEx(const char *s, double *value) noexcept
{
    if (!s) {
        if (value)
            *value = 0.0;
        return ORIN_ERR_GENERAL;
    }
    char *end = nullptr;
    double v = strtod(s, &end);
    if (!value)
        return ORIN_ERR_GENERAL;
    *value = v;
    return (end && *end == 0 && end != s) ? 0 : ORIN_ERR_GENERAL;
}

SHORT ORINAPI WStrToShort(const WCHAR *s) noexcept
{
    return parseNarrowed(s, static_cast<SHORT>(ORIN_ERR_GENERAL), StrToShort);
}

USHORT ORINAPI WStrToUShort(const WCHAR *s) noexcept
{
    return parseNarrowed<USHORT>(s, ORIN_ERR_GENERAL, StrToUShort);
}

LONG ORINAPI WStrToLong(const WCHAR *s) noexcept
{
    return parseNarrowed<LONG>(s, ORIN_ERR_GENERAL, StrToLong);
}

ULONG ORINAPI WStrToULong(const WCHAR *s) noexcept
{
    return parseNarrowed<ULONG>(s, ORIN_ERR_GENERAL, StrToULong);
}

double ORINAPI WStrToDouble(const WCHAR *s) noexcept
{
    return parseNarrowed(s, 0.0, StrToDouble);
}

USHORT ORINAPI WStrToDoubleEx(const WCHAR *s, double *value) noexcept
{
    return parseNarrowed<USHORT>(s, ORIN_ERR_GENERAL,
                                 [value](const char *n) { return StrToDoubleEx(n, value); });
}

/* ---- Counted forms: the library's scanners -------------------------------------- */

USHORT ORINAPI StrToNUShort(const char *s, size_t n) noexcept
{
    return parseUShort(Scan<Narrow>(s, n));
}

USHORT ORINAPI WStrToNUShort(const WCHAR *s, size_t n) noexcept
{
    return parseUShort(Scan<Wide>(s, n));
}

SHORT ORINAPI StrToNShort(const char *s, size_t n) noexcept
{
    return parseShort(Scan<Narrow>(s, n));
}

SHORT ORINAPI WStrToNShort(const WCHAR *s, size_t n) noexcept
{
    return parseShort(Scan<Wide>(s, n));
}

LONG ORINAPI StrToNHexLong(const char *s, size_t n) noexcept
{
    return static_cast<LONG>(parseRadix(Scan<Narrow>(s, n), kHexRadix));
}

LONG ORINAPI WStrToNHexLong(const WCHAR *s, size_t n) noexcept
{
    return static_cast<LONG>(parseRadix(Scan<Wide>(s, n), kHexRadix));
}

LONG ORINAPI StrToNBinLong(const char *s, size_t n) noexcept
{
    return static_cast<LONG>(parseRadix(Scan<Narrow>(s, n), kBinRadix));
}

/* The narrow whole-string forms: the long one counts characters, the
 * short ones bytes. */
LONG ORINAPI StrToHexLong(const char *s) noexcept { return StrToNHexLong(s, StrCLen(s)); }
SHORT ORINAPI StrToHexShort(const char *s) noexcept
{
    return static_cast<SHORT>(StrToNHexLong(s, s ? std::strlen(s) : 0));
}
USHORT ORINAPI StrToHexUShort(const char *s) noexcept
{
    return static_cast<USHORT>(StrToNHexLong(s, s ? std::strlen(s) : 0));
}
SHORT ORINAPI StrToNHexShort(const char *s, size_t n) noexcept
{
    return static_cast<SHORT>(StrToNHexLong(s, n));
}
USHORT ORINAPI StrToNHexUShort(const char *s, size_t n) noexcept
{
    return static_cast<USHORT>(StrToNHexLong(s, n));
}

LONG ORINAPI WStrToHexLong(const WCHAR *s) noexcept { return WStrToNHexLong(s, WStrCLen(s)); }
SHORT ORINAPI WStrToHexShort(const WCHAR *s) noexcept
{
    return static_cast<SHORT>(WStrToNHexLong(s, WStrCLen(s)));
}
USHORT ORINAPI WStrToHexUShort(const WCHAR *s) noexcept
{
    return static_cast<USHORT>(WStrToNHexLong(s, WStrCLen(s)));
}
SHORT ORINAPI WStrToNHexShort(const WCHAR *s, size_t n) noexcept
{
    return static_cast<SHORT>(WStrToNHexLong(s, n));
}
USHORT ORINAPI WStrToNHexUShort(const WCHAR *s, size_t n) noexcept
{
    return static_cast<USHORT>(WStrToNHexLong(s, n));
}
