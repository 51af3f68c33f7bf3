/*
 * num.c - small numeric helpers: minimum and maximum, clamping into a
 * range whose bounds may come in either order, absolute value, sign,
 * scaling by a ratio, and a 32-bit random number built from three draws
 * of the C library's 15-bit rand().
 */
#include <math.h>
#include <stdlib.h>
#include "num.h"

#define RAND_BITS   15
#define RAND_MASK   ((1UL << RAND_BITS) - 1)

USHORT ORINAPI NumUsMin(USHORT a, USHORT b) noexcept { return a < b ? a : b; }
USHORT ORINAPI NumUsMax(USHORT a, USHORT b) noexcept { return a > b ? a : b; }
SHORT  ORINAPI NumSMin(SHORT a, SHORT b) noexcept    { return a < b ? a : b; }
SHORT  ORINAPI NumSMax(SHORT a, SHORT b) noexcept    { return a > b ? a : b; }
ULONG  ORINAPI NumUlMin(ULONG a, ULONG b) noexcept   { return a < b ? a : b; }
ULONG  ORINAPI NumUlMax(ULONG a, ULONG b) noexcept   { return a > b ? a : b; }
LONG   ORINAPI NumLMin(LONG a, LONG b) noexcept      { return a < b ? a : b; }
LONG   ORINAPI NumLMax(LONG a, LONG b) noexcept      { return a > b ? a : b; }
double ORINAPI NumDMin(double a, double b) noexcept  { return a < b ? a : b; }
double ORINAPI NumDMax(double a, double b) noexcept  { return a > b ? a : b; }

/* Each clamp takes the bounds in either order. */
USHORT ORINAPI NumUsLimit(USHORT v, USHORT b1, USHORT b2) noexcept
{
    USHORT lo = NumUsMin(b1, b2), hi = NumUsMax(b1, b2);
    return v < lo ? lo : (v > hi ? hi : v);
}

SHORT ORINAPI NumSLimit(SHORT v, SHORT b1, SHORT b2) noexcept
{
    SHORT lo = NumSMin(b1, b2), hi = NumSMax(b1, b2);
    return v < lo ? lo : (v > hi ? hi : v);
}

ULONG ORINAPI NumUlLimit(ULONG v, ULONG b1, ULONG b2) noexcept
{
    ULONG lo = NumUlMin(b1, b2), hi = NumUlMax(b1, b2);
    return v < lo ? lo : (v > hi ? hi : v);
}

LONG ORINAPI NumLLimit(LONG v, LONG b1, LONG b2) noexcept
{
    LONG lo = NumLMin(b1, b2), hi = NumLMax(b1, b2);
    return v < lo ? lo : (v > hi ? hi : v);
}

double ORINAPI NumDLimit(double v, double b1, double b2) noexcept
{
    double lo = NumDMin(b1, b2), hi = NumDMax(b1, b2);
    return v < lo ? lo : (v > hi ? hi : v);
}

/* The absolute value of the most negative number is itself, as the
 * 16- and 32-bit registers give it. */
SHORT  ORINAPI NumSAbs(SHORT v) noexcept  { return v < 0 ? (SHORT)(0u - (USHORT)v) : v; }
LONG   ORINAPI NumLAbs(LONG v) noexcept   { return v < 0 ? (LONG)(0u - (ULONG)v) : v; }
double ORINAPI NumDAbs(double v) noexcept { return fabs(v); }

SHORT  ORINAPI NumSSgn(SHORT v) noexcept  { return (SHORT)((v > 0) - (v < 0)); }
LONG   ORINAPI NumLSgn(LONG v) noexcept   { return (LONG)((v > 0) - (v < 0)); }
double ORINAPI NumDSgn(double v) noexcept { return (double)((v > 0) - (v < 0)); }

double ORINAPI NumDModf(double v, double *intPart) noexcept
{
    double ip;
    double frac = modf(v, &ip);
    if (intPart)
        *intPart = ip;
    return frac;
}

/* a x b / c in 32 bits, truncated; the error value also stands for any
 * result that does not fit -32766..32766. */
SHORT ORINAPI NumSMulDiv(SHORT a, SHORT b, SHORT c) noexcept
{
    long r;
    if (c == 0)
        return NUM_SMULDIV_ERROR;
    r = ((long)a * (long)b) / c;
    if (r < -NUM_SMULDIV_MAX || r > NUM_SMULDIV_MAX)
        return NUM_SMULDIV_ERROR;
    return (SHORT)r;
}

/* The system's MulDiv: 64-bit intermediate, rounded to nearest, -1 for
 * c = 0 or an overflowing result. */
LONG ORINAPI NumLMulDiv(LONG a, LONG b, LONG c) noexcept
{
    return MulDiv(a, b, c);
}

ULONG ORINAPI NumUlRandom(void) noexcept
{
    ULONG r1 = (ULONG)rand();
    ULONG r2 = (ULONG)rand() & RAND_MASK;
    ULONG r3 = (ULONG)rand() & RAND_MASK;
    return (((r1 << RAND_BITS) + r2) << RAND_BITS) + r3;
}
