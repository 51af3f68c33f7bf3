// Numeric helpers: clamping with bounds in either order, scaling at the
// limits of 16 and 32 bits against a 64-bit model, and the random number
// assembled from three rand() draws.
#include <gtest/gtest.h>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include "num.h"

namespace {

TEST(NumRange, ClampTakesBoundsInEitherOrder)
{
    EXPECT_EQ(NumSMin(-3, 2), -3);                      // signed, not unsigned
    EXPECT_EQ(NumUlMax(0xFFFFFFFFu, 1), 0xFFFFFFFFu);   // unsigned, not signed
    EXPECT_EQ(NumUsLimit(5, 10, 1), 5);
    EXPECT_EQ(NumUsLimit(50, 10, 1), 10);
    EXPECT_EQ(NumUsLimit(0, 10, 1), 1);
    EXPECT_EQ(NumSLimit(-40, -10, 10), -10);
    EXPECT_EQ(NumSLimit(40, 10, -10), 10);
    EXPECT_EQ(NumUlLimit(7, 3, 3), 3u);
    EXPECT_EQ(NumLLimit(-7, 100, -5), -5);
    EXPECT_DOUBLE_EQ(NumDLimit(0.75, 1.0, 0.5), 0.75);
    EXPECT_DOUBLE_EQ(NumDLimit(2.0, 1.0, 0.5), 1.0);
}

TEST(NumSign, AbsSignAndFraction)
{
    EXPECT_EQ(NumSAbs(-32768), -32768);                 // wraps as in 16 bits
    EXPECT_EQ(NumLAbs(-70000), 70000);
    EXPECT_EQ(NumSSgn(0), 0);
    EXPECT_DOUBLE_EQ(NumDSgn(-0.1), -1.0);
    double ip = 0;
    EXPECT_DOUBLE_EQ(NumDModf(-3.25, &ip), -0.25);
    EXPECT_DOUBLE_EQ(ip, -3.0);
}

TEST(NumScale, ShortMulDivAtItsLimits)
{
    EXPECT_EQ(NumSMulDiv(200, 200, 1), -32768);
    EXPECT_EQ(NumSMulDiv(300, 100, 2), 15000);
    EXPECT_EQ(NumSMulDiv(1, 1, 0), -32768);
    EXPECT_EQ(NumSMulDiv(32766, 1, 1), 32766);
    EXPECT_EQ(NumSMulDiv(32767, 1, 1), -32768);         // outside -32766..32766
    EXPECT_EQ(NumSMulDiv(-32766, 1, 1), -32766);
    EXPECT_EQ(NumSMulDiv(-32767, 1, 1), -32768);
    EXPECT_EQ(NumSMulDiv(32767, 32767, 32767), -32768);
    EXPECT_EQ(NumSMulDiv(32000, 32000, 32767), 31250);   // the product needs 32 bits
    EXPECT_EQ(NumSMulDiv(-7, 3, 2), -10);                // truncates towards zero
}

// Rounded a*b/c in 64 bits, half away from zero, or -1 when out of range.
long modelMulDiv(long a, long b, long c)
{
    if (c == 0)
        return -1;
    int64_t p = (int64_t)a * b;
    int64_t q = p / c, r = p % c;
    if (2 * std::llabs(r) >= std::llabs((int64_t)c))
        q += ((p < 0) != (c < 0)) ? -1 : 1;
    if (q > INT32_MAX || q < INT32_MIN)
        return -1;
    return (long)q;
}

TEST(NumScale, LongMulDivRoundsWithA64BitIntermediate)
{
    EXPECT_EQ(NumLMulDiv(7, 1, 2), 4);
    EXPECT_EQ(NumLMulDiv(-7, 1, 2), -4);
    EXPECT_EQ(NumLMulDiv(100000, 100000, 1000), 10000000);
    EXPECT_EQ(NumLMulDiv(1, 1, 0), -1);
    EXPECT_EQ(NumLMulDiv(0x7FFFFFFF, 2, 1), -1);        // overflow
    EXPECT_EQ(NumLMulDiv(0x7FFFFFFF, 0x7FFFFFFF, 0x7FFFFFFF), 0x7FFFFFFF);
    const long cases[][3] = {
        {123456789, 987, 654}, {-2000000000, 3, 7}, {46341, 46341, 1},
        {5, 5, 10}, {-5, 5, 10}, {2147483647, 1, -1}, {1000, -3000, -7},
    };
    for (auto &c : cases)
        EXPECT_EQ(NumLMulDiv(c[0], c[1], c[2]), modelMulDiv(c[0], c[1], c[2]))
            << c[0] << "*" << c[1] << "/" << c[2];
}

TEST(NumRandom, ThreeDrawsOfRand)
{
    srand(12345);
    unsigned long r1 = rand(), r2 = rand() & 0x7FFF, r3 = rand() & 0x7FFF;
    unsigned long expect = (unsigned long)(((((uint64_t)r1 << 15) + r2) << 15) + r3);
    srand(12345);
    EXPECT_EQ(NumUlRandom(), (ULONG)expect);
    ULONG a = NumUlRandom(), b = NumUlRandom();
    EXPECT_NE(a, b);
}

} // namespace
