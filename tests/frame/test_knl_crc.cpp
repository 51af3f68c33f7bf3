// Both checksums against an independent bit-by-bit definition, over many
// lengths and alignments, plus the known check values.
#include <gtest/gtest.h>
#include <random>
#include <vector>
#include "knl.h"

namespace {

// Reference: shift one bit at a time, no tables.
uint32_t refCrc32Register(uint32_t reg, const uint8_t *p, size_t n)
{
    while (n--) {
        reg ^= *p++;
        for (int b = 0; b < 8; b++)
            reg = (reg & 1) ? (reg >> 1) ^ 0xEDB88320u : reg >> 1;
    }
    return reg;
}

uint32_t refTableEntry(uint8_t i)
{
    uint32_t c = i;
    for (int b = 0; b < 8; b++)
        c = (c & 1) ? (c >> 1) ^ 0xEDB88320u : c >> 1;
    return c;
}

uint16_t refCrc16(const uint8_t *p, size_t n)
{
    uint16_t reg = 0xFFFF;
    while (n--)
        reg = (uint16_t)((reg >> 8) ^ (refTableEntry((uint8_t)(*p++ ^ reg)) & 0xFFFF));
    return (uint16_t)~reg;
}

TEST(KnlCrc, KnownValues)
{
    EXPECT_EQ(KnlCrc32("123456789", 9, 0xFFFFFFFF), 0xCBF43926u);
    EXPECT_EQ(KnlCrc32Check("123456789", 9, 0xCBF43926u), 1);
    EXPECT_EQ(KnlCrc32Check("123456789", 9, 0xCBF43927u), 0);
    // Not a published CRC-16: the low half of the CRC-32 table on a
    // 16-bit register (value computed independently).
    EXPECT_EQ(KnlCrc16("123456789", 9), 0xF40A);
    EXPECT_EQ(KnlCrc16Check("123456789", 9, 0xF40A), 1);
}

TEST(KnlCrc, EmptyInput)
{
    const char bytes[] = "abc";
    EXPECT_EQ(KnlCrc16(bytes, 0), 0);
    EXPECT_EQ(KnlCrc16Check(bytes, 0, 0), 1);
    EXPECT_EQ(KnlCrc16Check(bytes, 0, 1), 0);
    EXPECT_EQ(KnlCrc32Check(bytes, 0, 0), 1);
    EXPECT_EQ(KnlCrc32Check(bytes, 0, 5), 0);
    EXPECT_EQ(KnlCrc32(bytes, 0, 0xFFFFFFFF), 0u);
    EXPECT_EQ(KnlCrc16(NULL, 10), 0);            // no crash on a null buffer
}

TEST(KnlCrc, MatchesBitwiseDefinitionAtEveryLengthAndAlignment)
{
    std::mt19937 rng(12345);
    std::vector<uint8_t> buf(65535 + 16);
    for (auto &b : buf)
        b = (uint8_t)rng();
    for (size_t len = 0; len < 300; len++)
        for (size_t off = 0; off < 8; off++) {
            const uint8_t *p = buf.data() + off;
            ASSERT_EQ(KnlCrc32(p, (USHORT)len, 0xFFFFFFFF),
                      ~refCrc32Register(0xFFFFFFFF, p, len)) << len << "/" << off;
            ASSERT_EQ(KnlCrc16(p, (USHORT)len), refCrc16(p, len)) << len << "/" << off;
        }
    for (size_t len : {4096u, 16383u, 65535u}) {
        EXPECT_EQ(KnlCrc32(buf.data() + 3, (USHORT)len, 0xFFFFFFFF),
                  ~refCrc32Register(0xFFFFFFFF, buf.data() + 3, len));
        EXPECT_EQ(KnlCrc16(buf.data() + 3, (USHORT)len), refCrc16(buf.data() + 3, len));
    }
}

TEST(KnlCrc, CallerStartRegisterChainsBlocks)
{
    const char text[] = "The quick brown fox jumps over the lazy dog";
    uint32_t whole = KnlCrc32(text, 43, 0xFFFFFFFF);
    EXPECT_EQ(whole, 0x414FA339u);
    uint32_t first = ~KnlCrc32(text, 10, 0xFFFFFFFF);
    EXPECT_EQ(KnlCrc32(text + 10, 33, first), whole);
    EXPECT_EQ(KnlCrc32(text, 43, 0x12345678), ~refCrc32Register(0x12345678, (const uint8_t *)text, 43));
}

} // namespace
