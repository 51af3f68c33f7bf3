/*
 * zip_gzip.cpp - gzip members (RFC 1952): writing one, reading any number
 * in a row, and the plain length of a single member from its trailer.
 *
 * A member written here has no optional fields: magic, method 8, flags 0,
 * the source's last-write time (0 when it has none), the extra-flags byte
 * of the level, operating system 3, the raw deflate stream, and the CRC-32
 * and length of the plain bytes.
 *
 * A member read here may start with either magic (0x1F 0x8B, or 0x1F 0x9E
 * of older writers) and must use method 8.  The extra field, the name and
 * the comment are skipped.  Flag bit 0x02 (a continuation of a multi-part
 * file, in older writers), 0x20 (encrypted) and the undefined bits 0x40
 * and 0x80 are refused, since the member could not be decoded correctly.
 * Each member's CRC and length are checked.  Behind a member the file
 * either ends or holds another member; anything else is refused.
 *
 * Because a valid file is made of members and nothing else, its last
 * eight bytes are the last member's trailer.  That trailer gives the
 * plain length of the whole file only when the file is one member, which
 * gzipPlainLength makes sure of by finding no other place in the file
 * where a member could start.
 */
#include <cstring>
#include <zlib.h>
#include "vfile/vbfint.h"
#include "vfile/zipint.h"

namespace orin::zip {
namespace {

constexpr BYTE kMagic0 = 0x1F;
constexpr BYTE kMagic1 = 0x8B;
constexpr BYTE kMagic1Old = 0x9E;
constexpr BYTE kMethodDeflate = 8;
constexpr BYTE kFlagExtra = 0x04;
constexpr BYTE kFlagName = 0x08;
constexpr BYTE kFlagComment = 0x10;
constexpr BYTE kFlagsRefused = 0x02 | 0x20 | 0x40 | 0x80;
constexpr BYTE kOsUnix = 3;
constexpr int kLevel = 5;
constexpr std::size_t kHeaderSize = 10;
constexpr std::size_t kTrailerSize = 8;
constexpr std::size_t kStartSize = 4;     // magic, method, flags
/* Header, the shortest deflate stream (an empty fixed block) and trailer. */
constexpr ULONG kShortestMember = kHeaderSize + 2 + kTrailerSize;

/* 100 ns ticks from 1601 (file times) to 1970 (the gzip time field). */
constexpr std::uint64_t kUnixEpochTicks = 116444736000000000ULL;
constexpr std::uint64_t kTicksPerSecond = 10000000;

/* The extra-flags byte: 2 for the slowest level, 4 for the fastest. */
constexpr BYTE extraFlagsFor(int level)
{
    return level == Z_BEST_COMPRESSION ? 2 : level == Z_BEST_SPEED ? 4 : 0;
}

/* Whether four bytes open a member this reader would accept. */
bool isMemberStart(const BYTE *p) noexcept
{
    return p[0] == kMagic0 && (p[1] == kMagic1 || p[1] == kMagic1Old) && p[2] == kMethodDeflate
           && (p[3] & kFlagsRefused) == 0;
}

/* Skips a zero-terminated field. */
void skipString(Input &in)
{
    for (;;) {
        auto s = in.peek();
        if (s.empty())
            fail();
        const void *zero = std::memchr(s.data(), 0, s.size());
        if (zero != nullptr) {
            in.skip(static_cast<const BYTE *>(zero) - s.data() + 1);
            return;
        }
        in.skip(s.size());
    }
}

void readMemberHeader(Input &in)
{
    BYTE h[kHeaderSize];
    in.read(h, sizeof h);
    if (!isMemberStart(h))
        fail();
    BYTE flags = h[3];
    if (flags & kFlagExtra)
        in.discard(in.le16());
    if (flags & kFlagName)
        skipString(in);
    if (flags & kFlagComment)
        skipString(in);
}

/* Whether a member could start anywhere behind the first byte. */
bool anotherMemberStart(Input &in)
{
    in.skip(1);
    for (;;) {
        auto s = in.peek(kStartSize);
        if (s.size() < kStartSize)
            return false;
        const BYTE *p = s.data();
        const BYTE *last = s.data() + s.size() - kStartSize;   // last place a start fits
        while (p <= last) {
            p = static_cast<const BYTE *>(std::memchr(p, kMagic0, last - p + 1));
            if (p == nullptr)
                break;
            if (isMemberStart(p))
                return true;
            p++;
        }
        in.skip(s.size() - (kStartSize - 1));
    }
}

}  // namespace

void writeGzip(Input &in, Output &out, std::uint32_t unixTime)
{
    const BYTE header[kHeaderSize] = {kMagic0, kMagic1, kMethodDeflate, 0,
                                      static_cast<BYTE>(unixTime),
                                      static_cast<BYTE>(unixTime >> 8),
                                      static_cast<BYTE>(unixTime >> 16),
                                      static_cast<BYTE>(unixTime >> 24),
                                      extraFlagsFor(kLevel), kOsUnix};
    out.write(header, sizeof header);
    PlainSum sum = deflateAll(in, out, kLevel);
    out.le32(sum.crc);
    out.le32(static_cast<std::uint32_t>(sum.length));
}

void readGzip(Input &in, Output &out)
{
    Inflater inflater;
    do {
        readMemberHeader(in);
        PlainSum sum = inflater.run(in, out);
        std::uint32_t crc = in.le32();
        std::uint32_t length = in.le32();
        if (crc != sum.crc || length != static_cast<std::uint32_t>(sum.length))
            fail();
    } while (!in.atEnd());
}

bool gzipPlainLength(HVBF compressed, ULONG *length) noexcept
{
    try {
        ULONG size = 0;
        if (VbfQueryLength(compressed, &size) != 0 || size < kShortestMember
            || VbfChgFilePtr(compressed, 0, VBF_FILE_BEGIN, nullptr) != 0)
            return false;
        {
            Input in(compressed);
            auto start = in.peek(kStartSize);
            if (start.size() < kStartSize || !isMemberStart(start.data()) || anotherMemberStart(in))
                return false;
        }
        if (VbfChgFilePtr(compressed, static_cast<LONG>(size - kTrailerSize), VBF_FILE_BEGIN,
                          nullptr) != 0)
            return false;
        Input trailer(compressed);
        trailer.le32();    // CRC
        *length = trailer.le32();
        return true;
    } catch (...) {
        return false;
    }
}

std::uint32_t unixWriteTime(HVBF h) noexcept
{
    VBFFILESTATUS st;
    if (VbfQFileInfo(h, VBF_INFO_LEVEL_STANDARD, &st, sizeof st) != 0)
        return 0;
    FILETIME ft = vbf::fatToFileTime(st.fdateLastWrite, st.ftimeLastWrite);
    std::uint64_t ticks = std::uint64_t{ft.dwHighDateTime} << 32 | ft.dwLowDateTime;
    if (ticks <= kUnixEpochTicks)
        return 0;
    std::uint64_t seconds = (ticks - kUnixEpochTicks) / kTicksPerSecond;
    return seconds > 0xFFFFFFFFu ? 0 : static_cast<std::uint32_t>(seconds);
}

}  // namespace orin::zip
