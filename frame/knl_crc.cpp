/*
 * knl_crc.c - the library's two checksums.
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
 *  - three streams: a run of 3 x STRIDE bytes is split into three parts
 *    whose registers are computed side by side (the second and third from
 *    zero), so the processor works on three independent chains.  They are
 *    joined with reg(A|B) = skip(reg(A)) ^ reg0(B), where skip() is the
 *    effect of STRIDE zero bytes on a register: also linear, so it too is
 *    a table look-up per register byte.
 * The remaining bytes go through the plain byte-wise step.
 */
#include <string.h>
#include <zlib.h>
#include "frame/knlint.h"

#define POLY    0xEDB88320UL
#define SLICES  8
#define STRIDE  512            /* bytes per stream in one three-stream run */

static USHORT crc16Table[SLICES][256];
static USHORT crc16Skip[2][256];

static USHORT crc16Zeros(USHORT reg, int n)
{
    while (n--)
        reg = (USHORT)((reg >> 8) ^ crc16Table[0][reg & 0xFF]);
    return reg;
}

__attribute__((constructor)) static void buildCrcTables(void)
{
    USHORT bit16[16];
    int i, k, bit;

    for (i = 0; i < 256; i++) {
        ULONG c = (ULONG)i;
        for (bit = 0; bit < 8; bit++)
            c = (c & 1) ? (c >> 1) ^ POLY : c >> 1;
        crc16Table[0][i] = (USHORT)(c & 0xFFFF);
    }
    for (k = 1; k < SLICES; k++)
        for (i = 0; i < 256; i++) {
            USHORT s = crc16Table[k - 1][i];
            crc16Table[k][i] = (USHORT)((s >> 8) ^ crc16Table[0][s & 0xFF]);
        }
    /* Skip table from the images of single bits, by linearity. */
    for (bit = 0; bit < 16; bit++)
        bit16[bit] = crc16Zeros((USHORT)(1U << bit), STRIDE);
    for (k = 0; k < 2; k++)
        for (i = 0; i < 256; i++) {
            USHORT v = 0;
            for (bit = 0; bit < 8; bit++)
                if (i & (1 << bit))
                    v ^= bit16[8 * k + bit];
            crc16Skip[k][i] = v;
        }
}

/* ---- 16-bit checksum --------------------------------------------------- */

static inline USHORT crc16Slice8(USHORT reg, const BYTE *p)
{
    USHORT first = (USHORT)(reg ^ (p[0] | (p[1] << 8)));
    return (USHORT)(crc16Table[7][first & 0xFF] ^ crc16Table[6][first >> 8]
         ^ crc16Table[5][p[2]] ^ crc16Table[4][p[3]]
         ^ crc16Table[3][p[4]] ^ crc16Table[2][p[5]]
         ^ crc16Table[1][p[6]] ^ crc16Table[0][p[7]]);
}

static inline USHORT crc16Skip512(USHORT reg)
{
    return (USHORT)(crc16Skip[0][reg & 0xFF] ^ crc16Skip[1][reg >> 8]);
}

static USHORT crc16Update(USHORT reg, const BYTE *p, size_t len)
{
    while (len >= 3 * STRIDE) {
        USHORT a = reg, b = 0, c = 0;
        size_t i;
        for (i = 0; i < STRIDE; i += SLICES) {
            a = crc16Slice8(a, p + i);
            b = crc16Slice8(b, p + STRIDE + i);
            c = crc16Slice8(c, p + 2 * STRIDE + i);
        }
        reg = (USHORT)(crc16Skip512((USHORT)(crc16Skip512(a) ^ b)) ^ c);
        p += 3 * STRIDE;
        len -= 3 * STRIDE;
    }
    for (; len >= SLICES; p += SLICES, len -= SLICES)
        reg = crc16Slice8(reg, p);
    while (len--)
        reg = (USHORT)((reg >> 8) ^ crc16Table[0][(*p++ ^ reg) & 0xFF]);
    return reg;
}

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
