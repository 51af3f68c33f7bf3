/*
 * flu_header.cpp - the 12-byte header every volume of a chopped file
 * starts with, written by the chop and read by the merge, the queries and
 * the back-end.
 *
 * Layout, little-endian whatever the host: "CHOP1" and a NUL, the volume
 * index (u16), the length of the whole chopped file (u32).  A header is
 * decoded from the bytes that were read, so a file shorter than a header
 * is simply not a volume.  A volume whose header index is 65535 fits any
 * place in the series.
 */
#include <cstring>
#include "vfile/fluint.h"

namespace orin::flu {
namespace {

constexpr char kMagic[] = "CHOP1";            // and its NUL: 6 bytes
constexpr std::size_t kMagicSize = sizeof kMagic;
constexpr std::size_t kIndexAt = 6;
constexpr std::size_t kTotalAt = 8;
static_assert(kMagicSize == kIndexAt && kTotalAt + 4 == kHeaderSize);

void putLe(BYTE *at, ULONG value, int bytes) noexcept
{
    for (int i = 0; i < bytes; i++)
        at[i] = static_cast<BYTE>(value >> (8 * i));
}

ULONG getLe(const BYTE *at, int bytes) noexcept
{
    ULONG value = 0;
    for (int i = bytes - 1; i >= 0; i--)
        value = value << 8 | at[i];
    return value;
}

}  // namespace

void encodeHeader(const VolumeHeader &h, BYTE (&out)[kHeaderSize]) noexcept
{
    std::memcpy(out, kMagic, kMagicSize);
    putLe(out + kIndexAt, h.index, 2);
    putLe(out + kTotalAt, h.totalSize, 4);
}

USHORT decodeHeader(const BYTE *in, ULONG length, VolumeHeader *h) noexcept
{
    if (length < kHeaderSize || std::memcmp(in, kMagic, kMagicSize) != 0)
        return FLU_ERR_NOT_CHOPPED;
    h->index = static_cast<USHORT>(getLe(in + kIndexAt, 2));
    h->totalSize = getLe(in + kTotalAt, 4);
    return 0;
}

bool indexFits(USHORT found, USHORT expected) noexcept
{
    return found == expected || found == kAnyIndex;
}

USHORT checkHeader(const VolumeHeader &h, USHORT expectedIndex, ULONG totalSize) noexcept
{
    if (!indexFits(h.index, expectedIndex))
        return FLU_ERR_WRONG_VOLUME;
    return h.totalSize == totalSize ? 0 : FLU_ERR_NOT_CHOPPED;
}

USHORT openVolumeFile(void *ns, const char *path, PlainFile &file, VolumeHeader *h,
                      ULONG *dataSize) noexcept
{
    USHORT rc = file.open(ns, path, KNLNAM_OPEN_EXISTING, KNLNAM_SHARE_DENYNONE);
    BYTE bytes[kHeaderSize];
    ULONG got = 0;
    if (rc == 0)
        rc = file.read(bytes, kHeaderSize, &got);
    if (rc == 0)
        rc = decodeHeader(bytes, got, h);
    ULONG length = 0;
    if (rc == 0 && dataSize != nullptr && (rc = file.size(&length)) == 0)
        *dataSize = length - kHeaderSize;
    return rc;
}

}  // namespace orin::flu
