/*
 * flu_names.cpp - the names of the volumes of a chopped file.
 *
 * The first volume's name is expanded and normalised once; volume 0 keeps
 * it.  Its extension decides the numbering: three digits ("005", "123"),
 * or a letter and two digits ("D05"), give the number of volume 0, and
 * later volumes count on from there; any other extension starts at 0.
 * Volume number n above 0 gets the extension "first character of the base
 * extension" + n in two digits while n is below 100 (D01 ... D99; "0"
 * stands in for a missing extension), else n in three digits (100, 101
 * ..., and n - 1000 from 1000 on).  The first character is taken whole:
 * a double-byte character keeps both its bytes.
 */
#include <cstdio>
#include <cstring>
#include "vfile/fluint.h"
#include "frame/knlnamint.h"

namespace orin::flu {
namespace {

constexpr ULONG kTwoDigitLimit = 100;     // below: lead character + two digits
constexpr ULONG kWrapAt = 1000;           // from here three digits of n - 1000
constexpr std::size_t kNumberedExtLength = 3;

bool isDigit(char c) noexcept
{
    return c >= '0' && c <= '9';
}

bool isAsciiLetter(char c) noexcept
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

ULONG digitsValue(const char *p, std::size_t n) noexcept
{
    ULONG v = 0;
    for (std::size_t i = 0; i < n; i++)
        v = v * 10 + static_cast<ULONG>(p[i] - '0');
    return v;
}

/* The number an extension (without its point) gives volume 0, or 0. */
ULONG startNumber(const char *ext) noexcept
{
    if (std::strlen(ext) != kNumberedExtLength || !isDigit(ext[1]) || !isDigit(ext[2]))
        return 0;
    if (isDigit(ext[0]))
        return digitsValue(ext, 3);
    return isAsciiLetter(ext[0]) ? digitsValue(ext + 1, 2) : 0;
}

}  // namespace

USHORT VolumeNames::init(void *ns, const char *firstName) noexcept
{
    if (firstName == nullptr)
        return ORIN_ERR_INVALID_PARAM;
    if (std::strlen(firstName) >= kPathRoom)
        return ORIN_ERR_INVALID_NAME;
    ns_ = ns;
    std::strcpy(base_, firstName);
    USHORT rc = KnlNamExpandPath(ns, base_, nullptr, sizeof base_);
    if (rc == 0)
        rc = KnlNamNormalizePathEx(ns, base_, 0);
    if (rc != 0)
        return rc;
    const char *point = KnlNamQueryExt(ns, base_);
    start_ = 0;
    std::strcpy(lead_, "0");
    if (point != nullptr) {
        const char *ext = point + 1;
        start_ = startNumber(ext);
        std::size_t n = orin::knl::charBytes(ext);
        std::memcpy(lead_, ext, n);
        lead_[n] = 0;
    }
    return 0;
}

USHORT VolumeNames::name(ULONG index, char *out) const noexcept
{
    std::strcpy(out, base_);
    if (index == 0)
        return 0;
    ULONG n = start_ + index;
    char ext[16];
    if (n < kTwoDigitLimit)
        std::snprintf(ext, sizeof ext, "%s%02lu", lead_, n);
    else
        std::snprintf(ext, sizeof ext, "%03lu", n >= kWrapAt ? n - kWrapAt : n);
    return KnlNamSetExt(ns_, out, ext);
}

}  // namespace orin::flu
