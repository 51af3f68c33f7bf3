/*
 * num.h - small numeric helpers: minimum, maximum, clamping, absolute
 * value, sign, scaling and random numbers.  All are pure functions of
 * their arguments except NumUlRandom, which draws from the C library's
 * rand().
 */
#ifndef NUM_H
#define NUM_H

#include "orinbase.h"

ORIN_BEGIN_DECLS

#define NUM_SMULDIV_ERROR  ((SHORT)-32768)   /* NumSMulDiv: c = 0 or out of range */
#define NUM_SMULDIV_MAX    32766
#define NUM_LMULDIV_ERROR  (-1L)             /* NumLMulDiv: c = 0 or overflow */

USHORT ORINAPI NumUsMin(USHORT a, USHORT b) ORIN_NOEXCEPT;
USHORT ORINAPI NumUsMax(USHORT a, USHORT b) ORIN_NOEXCEPT;
SHORT  ORINAPI NumSMin(SHORT a, SHORT b) ORIN_NOEXCEPT;
SHORT  ORINAPI NumSMax(SHORT a, SHORT b) ORIN_NOEXCEPT;
ULONG  ORINAPI NumUlMin(ULONG a, ULONG b) ORIN_NOEXCEPT;
ULONG  ORINAPI NumUlMax(ULONG a, ULONG b) ORIN_NOEXCEPT;
LONG   ORINAPI NumLMin(LONG a, LONG b) ORIN_NOEXCEPT;
LONG   ORINAPI NumLMax(LONG a, LONG b) ORIN_NOEXCEPT;
double ORINAPI NumDMin(double a, double b) ORIN_NOEXCEPT;
double ORINAPI NumDMax(double a, double b) ORIN_NOEXCEPT;

/* The value clamped between the two bounds, given in either order. */
USHORT ORINAPI NumUsLimit(USHORT v, USHORT bound1, USHORT bound2) ORIN_NOEXCEPT;
SHORT  ORINAPI NumSLimit(SHORT v, SHORT bound1, SHORT bound2) ORIN_NOEXCEPT;
ULONG  ORINAPI NumUlLimit(ULONG v, ULONG bound1, ULONG bound2) ORIN_NOEXCEPT;
LONG   ORINAPI NumLLimit(LONG v, LONG bound1, LONG bound2) ORIN_NOEXCEPT;
double ORINAPI NumDLimit(double v, double bound1, double bound2) ORIN_NOEXCEPT;

SHORT  ORINAPI NumSAbs(SHORT v) ORIN_NOEXCEPT;
LONG   ORINAPI NumLAbs(LONG v) ORIN_NOEXCEPT;
double ORINAPI NumDAbs(double v) ORIN_NOEXCEPT;
SHORT  ORINAPI NumSSgn(SHORT v) ORIN_NOEXCEPT;
LONG   ORINAPI NumLSgn(LONG v) ORIN_NOEXCEPT;
double ORINAPI NumDSgn(double v) ORIN_NOEXCEPT;
double ORINAPI NumDModf(double v, double *intPart) ORIN_NOEXCEPT;

SHORT  ORINAPI NumSMulDiv(SHORT a, SHORT b, SHORT c) ORIN_NOEXCEPT;
LONG   ORINAPI NumLMulDiv(LONG a, LONG b, LONG c) ORIN_NOEXCEPT;
ULONG  ORINAPI NumUlRandom(void) ORIN_NOEXCEPT;

ORIN_END_DECLS

#endif /* NUM_H */
