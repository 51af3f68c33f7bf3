/*
 * zip_pkzip.cpp - a PKZIP archive holding one entry ("PK" 3 4).
 *
 * The entry's local header is read: signature, version, flags, method,
 * time and date, CRC-32, compressed and plain size, name and extra
 * field.  Sizes of 0xFFFFFFFF are taken from the 64-bit extra field
 * (tag 1), which holds the plain size first and the compressed size next,
 * each only when its 32-bit field is 0xFFFFFFFF.  Methods 0 (stored) and
 * 8 (deflated) are decoded; encryption (flag bits 0 and 6), patch data
 * (bit 5) and every other method are refused.
 *
 * With flag bit 3 the CRC and sizes follow the data in a descriptor
 * (optionally behind the signature "PK" 7 8), with 8-byte sizes when the
 * header has the 64-bit extra field.  A deflated entry ends by itself; a
 * stored one can only be read when the header states its size, so a
 * stored entry with a descriptor and no size is refused.  CRC and both
 * sizes are checked against what was decoded.
 *
 * Behind the entry must come the rest of a whole archive: one central
 * directory entry ("PK" 1 2) with the same CRC, the end records (the
 * 64-bit ones, "PK" 6 6 and "PK" 6 7, where present, then "PK" 5 6 with
 * its comment) and nothing after them.  A second entry, a cut archive or
 * anything else refuses the archive rather than dropping data.
 */
#include <initializer_list>
#include <memory>
#include "vfile/zipint.h"

namespace orin::zip {
namespace {

constexpr std::uint32_t kLocalHeader = 0x04034B50;
constexpr std::uint32_t kCentralHeader = 0x02014B50;
constexpr std::uint32_t kDescriptor = 0x08074B50;
constexpr std::uint32_t kEnd64Record = 0x06064B50;
constexpr std::uint32_t kEnd64Locator = 0x07064B50;
constexpr std::uint32_t kEndRecord = 0x06054B50;
constexpr std::size_t kCentralSkipToCrc = 12;     // version made, needed, flags, method, time, date
constexpr std::size_t kCentralSkipToNames = 8;    // the sizes
constexpr std::size_t kCentralRest = 12;          // disk, attributes, offset
constexpr std::size_t kLocatorRest = 16;
constexpr std::size_t kEndSkipToComment = 16;     // disks, counts, size, offset
constexpr std::uint16_t kFlagEncrypted = 0x0001;
constexpr std::uint16_t kFlagDescriptor = 0x0008;
constexpr std::uint16_t kFlagPatch = 0x0020;
constexpr std::uint16_t kFlagStrongEncryption = 0x0040;
constexpr std::uint16_t kFlagsRefused = kFlagEncrypted | kFlagPatch | kFlagStrongEncryption;
constexpr std::uint16_t kMethodStored = 0;
constexpr std::uint16_t kMethodDeflated = 8;
constexpr std::uint16_t kZip64Tag = 0x0001;
constexpr std::uint32_t kSizeInExtra = 0xFFFFFFFF;
constexpr std::size_t kExtraFieldHead = 4;       // tag and size
constexpr std::size_t kCopyPiece = 64 * 1024;

struct Entry {
    std::uint16_t flags = 0;
    std::uint16_t method = 0;
    std::uint32_t crc = 0;
    std::uint64_t packedSize = 0;
    std::uint64_t plainSize = 0;
    bool zip64 = false;
};

std::uint64_t le64At(const BYTE *p) noexcept
{
    std::uint64_t v = 0;
    for (int i = 7; i >= 0; i--)
        v = v << 8 | p[i];
    return v;
}

/* Takes the sizes out of the 64-bit extra field, where it is. */
void readExtra(Input &in, std::uint16_t size, Entry &e)
{
    auto extra = std::make_unique<BYTE[]>(size + std::size_t{1});
    in.read(extra.get(), size);
    std::size_t at = 0;
    while (at + kExtraFieldHead <= size) {
        std::uint16_t tag = static_cast<std::uint16_t>(extra[at] | extra[at + 1] << 8);
        std::size_t len = extra[at + 2] | extra[at + 3] << 8;
        const BYTE *field = extra.get() + at + kExtraFieldHead;
        if (at + kExtraFieldHead + len > size)
            fail();
        if (tag == kZip64Tag) {
            e.zip64 = true;
            std::size_t used = 0;
            for (std::uint64_t *v : {&e.plainSize, &e.packedSize}) {
                if (*v != kSizeInExtra)
                    continue;
                if (used + 8 > len)
                    fail();
                *v = le64At(field + used);
                used += 8;
            }
        }
        at += kExtraFieldHead + len;
    }
}

Entry readLocalHeader(Input &in)
{
    if (in.le32() != kLocalHeader)
        fail();
    Entry e;
    in.le16();                   // version needed
    e.flags = in.le16();
    e.method = in.le16();
    in.le32();                   // time and date
    e.crc = in.le32();
    e.packedSize = in.le32();
    e.plainSize = in.le32();
    std::uint16_t nameSize = in.le16();
    std::uint16_t extraSize = in.le16();
    in.discard(nameSize);
    readExtra(in, extraSize, e);
    if ((e.flags & kFlagsRefused) != 0 || (e.method != kMethodStored && e.method != kMethodDeflated))
        fail();
    return e;
}

PlainSum copyStored(Input &in, Output &out, std::uint64_t size)
{
    PlainSum sum;
    while (size != 0) {
        auto s = in.peek();
        if (s.empty())
            fail();
        std::size_t k = s.size() < size ? s.size() : static_cast<std::size_t>(size);
        if (k > kCopyPiece)
            k = kCopyPiece;
        addPlain(sum, s.data(), k);
        out.write(s.data(), k);
        in.skip(k);
        size -= k;
    }
    return sum;
}

/* The CRC and sizes of a descriptor behind the data. */
void readDescriptor(Input &in, Entry &e)
{
    std::uint32_t first = in.le32();
    e.crc = first == kDescriptor ? in.le32() : first;
    e.packedSize = e.zip64 ? in.le64() : in.le32();
    e.plainSize = e.zip64 ? in.le64() : in.le32();
}

/* The central directory of the one entry and the end records. */
void readDirectory(Input &in, const Entry &e)
{
    if (in.le32() != kCentralHeader)
        fail();
    in.discard(kCentralSkipToCrc);
    if (in.le32() != e.crc)
        fail();
    in.discard(kCentralSkipToNames);
    std::uint64_t names = in.le16();
    names += in.le16();
    names += in.le16();
    in.discard(kCentralRest + names);
    std::uint32_t sig = in.le32();
    if (sig == kEnd64Record) {
        in.discard(in.le64());
        if (in.le32() != kEnd64Locator)
            fail();
        in.discard(kLocatorRest);
        sig = in.le32();
    }
    if (sig != kEndRecord)
        fail();
    in.discard(kEndSkipToComment);
    in.discard(in.le16());
    if (!in.atEnd())
        fail();
}

}  // namespace

void readPkzip(Input &in, Output &out)
{
    Entry e = readLocalHeader(in);
    bool descriptor = (e.flags & kFlagDescriptor) != 0;
    std::uint64_t start = in.taken();
    PlainSum sum;
    if (e.method == kMethodDeflated) {
        sum = Inflater().run(in, out);
    } else {
        if (descriptor && (e.packedSize == 0 || e.packedSize == kSizeInExtra))
            fail();
        sum = copyStored(in, out, e.packedSize);
    }
    std::uint64_t packed = in.taken() - start;
    if (descriptor)
        readDescriptor(in, e);
    if (e.crc != sum.crc || e.plainSize != sum.length || e.packedSize != packed)
        fail();
    readDirectory(in, e);
}

}  // namespace orin::zip
