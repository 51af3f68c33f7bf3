/*
 * knl_crc.cpp - the library's two checksums.
 *
 * KnlCrc32 is the reflected CRC with polynomial POLY (the CRC-32 of
 * ISO-HDLC): register = (register >> 8) ^ table[(byte ^ register) & 0xFF],
 * result = ~register.  That is exactly zlib's crc32 with the caller's
 * start register complemented on the way in, so the library's zlib does
 * the work (its braided code is as fast as a table method gets).
 *
 * KnlCrc16 runs the same step on a 16-bit register whose table holds the
 * low 16 bits of the CRC-32 table, starting from 0xFFFF; profile and
 * archive files store this value, so the table must be built exactly that
 * way.  It is no published CRC-16, so it has its own code.
 *
 * Method for KnlCrc16.  The step is linear over GF(2), which gives two
 * speed-ups that keep the results bit-identical to the byte-wise
 * definition:
 *  - slicing by eight: table k gives the effect of a byte followed by k
 *    zero bytes, so eight bytes fold into the register with eight
 *    independent look-ups instead of a chain of eight;
 *  - three streams: a run of 3 x kStride bytes is split into three parts
 *    whose registers are computed side by side (the second and third from
 *    zero), so the processor works on three independent chains.  They are
 *    joined with reg(A|B) = skip(reg(A)) ^ reg0(B), where skip() is the
 *    effect of kStride zero bytes on a register: also linear, so it too is
 *    a table look-up per register byte.
 * The remaining bytes go through the plain byte-wise step.  All tables are
 * computed when compiling: constant data any thread may read.
 */
#include <array>
#include <cstddef>
#include <zlib.h>
#include "frame/knlint.h"

namespace orin::knl {
namespace {

constexpr ULONG kPoly = 0xEDB88320UL;
constexpr std::size_t kSlices = 8;
constexpr std::size_t kStride = 512;   /* bytes per stream in one three-stream run */

using Crc16Row = std::array<USHORT, 256>;

/* Row k: the effect of a byte followed by k zero bytes. */
constexpr std::array<Crc16Row, kSlices> makeSliceTables()
{
    std::array<Crc16Row, kSlices> t{};
    for (int i = 0; i < 256; i++) {
        ULONG c = static_cast<ULONG>(i);
        for (int bit = 0; bit < 8; bit++)
            c = (c & 1) ? (c >> 1) ^ kPoly : c >> 1;
        t[0][i] = static_cast<USHORT>(c & 0xFFFF);
    }
    for (std::size_t k = 1; k < kSlices; k++)
        for (int i = 0; i < 256; i++) {
            USHORT s = t[k - 1][i];
            t[k][i] = static_cast<USHORT>((s >> 8) ^ t[0][s & 0xFF]);
        }
    return t;
}

constexpr std::array<Crc16Row, kSlices> crc16Table = makeSliceTables();

constexpr USHORT crc16Zeros(USHORT reg, std::size_t n)
{
    while (n--)
        reg = static_cast<USHORT>((reg >> 8) ^ crc16Table[0][reg & 0xFF]);
    return reg;
}

/* The effect of kStride zero bytes on each register byte (low, high),
 * from the images of single bits, by linearity. */
constexpr std::array<Crc16Row, 2> makeSkipTables()
{
    std::array<USHORT, 16> bit16{};
    for (int bit = 0; bit < 16; bit++)
        bit16[bit] = crc16Zeros(static_cast<USHORT>(1U << bit), kStride);
    std::array<Crc16Row, 2> t{};
    for (int k = 0; k < 2; k++)
        for (int i = 0; i < 256; i++) {
            USHORT v = 0;
            for (int bit = 0; bit < 8; bit++)
                if (i & (1 << bit))
                    v ^= bit16[8 * k + bit];
            t[k][i] = v;
        }
    return t;
}

constexpr std::array<Crc16Row, 2> crc16Skip = makeSkipTables();

/* ---- 16-bit checksum --------------------------------------------------- */

inline USHORT crc16Slice8(USHORT reg, const BYTE *p)
{
    USHORT first = (USHORT)(reg ^ (p[0] | (p[1] << 8)));
    return (USHORT)(crc16Table[7][first & 0xFF] ^ crc16Table[6][first >> 8]
         ^ crc16Table[5][p[2]] ^ crc16Table[4][p[3]]
         ^ crc16Table[3][p[4]] ^ crc16Table[2][p[5]]
         ^ crc16Table[1][p[6]] ^ crc16Table[0][p[7]]);
}

inline USHORT crc16SkipStride(USHORT reg)
{
    return (USHORT)(crc16Skip[0][reg & 0xFF] ^ crc16Skip[1][reg >> 8]);
}

USHORT crc16Update(USHORT reg, const BYTE *p, size_t len)
{
    while (len >= 3 * kStride) {
        USHORT a = reg, b = 0, c = 0;
        size_t i;
        for (i = 0; i < kStride; i += kSlices) {
            a = crc16Slice8(a, p + i);
            b = crc16Slice8(b, p + kStride + i);
            c = crc16Slice8(c, p + 2 * kStride + i);
        }
        reg = (USHORT)(crc16SkipStride((USHORT)(crc16SkipStride(a) ^ b)) ^ c);
        p += 3 * kStride;
        len -= 3 * kStride;
    }
    for (; len >= kSlices; p += kSlices, len -= kSlices)
        reg = crc16Slice8(reg, p);
    while (len--)
        reg = (USHORT)((reg >> 8) ^ crc16Table[0][(*p++ ^ reg) & 0xFF]);
    return reg;
}

}  // namespace
}  // namespace orin::knl

using orin::knl::crc16Update;

/* ---- Exported calls ---------------------------------------------------- */

ULONG ORINAPI KnlCrc32(const void *bytes, USHORT len, ULONG start) noexcept
{
    if (!bytes)
        return ~start;
    return (ULONG)crc32(~start, (const Bytef *)bytes, len);
}

USHORT ORINAPI KnlCrc32Check(const void *bytes, USHORT len, ULONG expected) noexcept
{
    if (len == 0 || !bytes)
        return expected == 0;
    return KnlCrc32(bytes, len, 0xFFFFFFFFUL) == expected;
}

USHORT ORINAPI KnlCrc16(const void *bytes, USHORT len) noexcept
{
    if (len == 0 || !bytes)
        return 0;
    return (USHORT)~crc16Update(0xFFFF, (const BYTE *)bytes, len);
}

USHORT ORINAPI KnlCrc16Check(const void *bytes, USHORT len, USHORT expected) noexcept
{
    return KnlCrc16(bytes, len) == expected;
}
