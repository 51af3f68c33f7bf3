/*
 * num.cpp - small numeric helpers: minimum and maximum, clamping into a
 * range whose bounds may come in either order, absolute value, sign,
 * scaling by a ratio, and a 32-bit random number built from three draws
 * of the C library's 15-bit rand() (whose state the run time keeps per
 * thread).
 */
#include <cmath>
#include <cstdlib>
#include "num.h"

namespace orin::num {
namespace {

constexpr unsigned kRandBits = 15;
constexpr ULONG kRandMask = (1UL << kRandBits) - 1;

template <class T>
constexpr T smaller(T a, T b) noexcept
{
    return a < b ? a : b;
}

template <class T>
constexpr T larger(T a, T b) noexcept
{
    return a > b ? a : b;
}

/* v clamped between the two bounds, given in either order. */
template <class T>
constexpr T clampBetween(T v, T bound1, T bound2) noexcept
{
    T lo = smaller(bound1, bound2), hi = larger(bound1, bound2);
    return v < lo ? lo : (v > hi ? hi : v);
}

template <class T>
constexpr T signOf(T v) noexcept
{
    return static_cast<T>((v > 0) - (v < 0));
}

}  // namespace
}  // namespace orin::num

using namespace orin::num;

USHORT ORINAPI NumUsMin(USHORT a, USHORT b) noexcept { return smaller(a, b); }
USHORT ORINAPI NumUsMax(USHORT a, USHORT b) noexcept { return larger(a, b); }
SHORT  ORINAPI NumSMin(SHORT a, SHORT b) noexcept    { return smaller(a, b); }
SHORT  ORINAPI NumSMax(SHORT a, SHORT b) noexcept    { return larger(a, b); }
ULONG  ORINAPI NumUlMin(ULONG a, ULONG b) noexcept   { return smaller(a, b); }
ULONG  ORINAPI NumUlMax(ULONG a, ULONG b) noexcept   { return larger(a, b); }
LONG   ORINAPI NumLMin(LONG a, LONG b) noexcept      { return smaller(a, b); }
LONG   ORINAPI NumLMax(LONG a, LONG b) noexcept      { return larger(a, b); }
double ORINAPI NumDMin(double a, double b) noexcept  { return smaller(a, b); }
double ORINAPI NumDMax(double a, double b) noexcept  { return larger(a, b); }

USHORT ORINAPI NumUsLimit(USHORT v, USHORT b1, USHORT b2) noexcept { return clampBetween(v, b1, b2); }
SHORT  ORINAPI NumSLimit(SHORT v, SHORT b1, SHORT b2) noexcept     { return clampBetween(v, b1, b2); }
ULONG  ORINAPI NumUlLimit(ULONG v, ULONG b1, ULONG b2) noexcept    { return clampBetween(v, b1, b2); }
LONG   ORINAPI NumLLimit(LONG v, LONG b1, LONG b2) noexcept        { return clampBetween(v, b1, b2); }
double ORINAPI NumDLimit(double v, double b1, double b2) noexcept  { return clampBetween(v, b1, b2); }

/* The absolute value of the most negative number is itself, as the
 * 16- and 32-bit registers give it. */
SHORT  ORINAPI NumSAbs(SHORT v) noexcept  { return v < 0 ? static_cast<SHORT>(0u - static_cast<USHORT>(v)) : v; }
LONG   ORINAPI NumLAbs(LONG v) noexcept   { return v < 0 ? static_cast<LONG>(0u - static_cast<ULONG>(v)) : v; }
double ORINAPI NumDAbs(double v) noexcept { return std::fabs(v); }

SHORT  ORINAPI NumSSgn(SHORT v) noexcept  { return signOf(v); }
LONG   ORINAPI NumLSgn(LONG v) noexcept   { return signOf(v); }
double ORINAPI NumDSgn(double v) noexcept { return signOf(v); }

double ORINAPI NumDModf(double v, double *intPart) noexcept
{
    double ip;
    double frac = std::modf(v, &ip);
    if (intPart)
        *intPart = ip;
    return frac;
}

/* a x b / c in 32 bits, truncated; the error value also stands for any
 * result that does not fit -32766..32766. */
SHORT ORINAPI NumSMulDiv(SHORT a, SHORT b, SHORT c) noexcept
{
    if (c == 0)
        return NUM_SMULDIV_ERROR;
    long r = (static_cast<long>(a) * b) / c;
    if (r < -NUM_SMULDIV_MAX || r > NUM_SMULDIV_MAX)
        return NUM_SMULDIV_ERROR;
    return static_cast<SHORT>(r);
}

/* The system's MulDiv: 64-bit intermediate, rounded to nearest, -1 for
 * c = 0 or an overflowing result. */
LONG ORINAPI NumLMulDiv(LONG a, LONG b, LONG c) noexcept
{
    return MulDiv(a, b, c);
}

ULONG ORINAPI NumUlRandom(void) noexcept
{
    auto r1 = static_cast<ULONG>(std::rand());
    auto r2 = static_cast<ULONG>(std::rand()) & kRandMask;
    auto r3 = static_cast<ULONG>(std::rand()) & kRandMask;
    return (((r1 << kRandBits) + r2) << kRandBits) + r3;
}
