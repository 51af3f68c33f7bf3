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

USHORT ORINAPI NumUsMin(USHORT a, USHORT b);
USHORT ORINAPI NumUsMax(USHORT a, USHORT b);
SHORT  ORINAPI NumSMin(SHORT a, SHORT b);
SHORT  ORINAPI NumSMax(SHORT a, SHORT b);
ULONG  ORINAPI NumUlMin(ULONG a, ULONG b);
ULONG  ORINAPI NumUlMax(ULONG a, ULONG b);
LONG   ORINAPI NumLMin(LONG a, LONG b);
LONG   ORINAPI NumLMax(LONG a, LONG b);
double ORINAPI NumDMin(double a, double b);
double ORINAPI NumDMax(double a, double b);

/* The value clamped between the two bounds, given in either order. */
USHORT ORINAPI NumUsLimit(USHORT v, USHORT bound1, USHORT bound2);
SHORT  ORINAPI NumSLimit(SHORT v, SHORT bound1, SHORT bound2);
ULONG  ORINAPI NumUlLimit(ULONG v, ULONG bound1, ULONG bound2);
LONG   ORINAPI NumLLimit(LONG v, LONG bound1, LONG bound2);
double ORINAPI NumDLimit(double v, double bound1, double bound2);

SHORT  ORINAPI NumSAbs(SHORT v);
LONG   ORINAPI NumLAbs(LONG v);
double ORINAPI NumDAbs(double v);
SHORT  ORINAPI NumSSgn(SHORT v);
LONG   ORINAPI NumLSgn(LONG v);
double ORINAPI NumDSgn(double v);
double ORINAPI NumDModf(double v, double *intPart);

SHORT  ORINAPI NumSMulDiv(SHORT a, SHORT b, SHORT c);
LONG   ORINAPI NumLMulDiv(LONG a, LONG b, LONG c);
ULONG  ORINAPI NumUlRandom(void);

ORIN_END_DECLS

#endif /* NUM_H */
