/*
 * lsq_format.h - the stored query file: a node tree read once and kept in
 * a compact binary form, so that loading it skips the reader.
 *
 * All integers are little-endian.
 *
 *   offset  size  field
 *        0    13  magic "OrinLSQ01.00\n"
 *       13     1  0
 *       14     4  reserved, the u32 0x01000000 (bytes 0, 0, 0, 1)
 *       18     2  stringCount: texts in the string table
 *       20     4  stringBytes: size of the string table, terminators included
 *       24     8  reserved, 0
 *       32     -  string table: stringCount NUL-terminated texts, index 1 first
 *        -     -  node records, 6 bytes each, in pre-order
 *
 * A node record is: u16 type (0..5 or 0x8000), u16 flags, u16 text (the
 * 1-based string index of the node's text, 0 for none; unused for a
 * list).  Flag kElements: the node is a list with at least one element,
 * whose records follow at once.  Flag kNext: the node has a next sibling,
 * whose record follows the node's own (and its elements').  A record with
 * neither flag ends its chain; the reader then closes the innermost open
 * list and keeps closing enclosing ones until it closes one that has a
 * next sibling.
 *
 * The text of an atom is its text form: a symbol's or string's own text,
 * "NIL", "%ld" for integers, "%.13lG" for floats, the date-time text for
 * date-times; reading converts it back by type.  Equal texts share one
 * string-table entry whatever the types of the nodes using them.
 *
 * The writer (lsq_write.cpp) and the reader (lsq_read.cpp) share the
 * encoders and decoders below; nothing else knows the byte layout.
 */
#ifndef ORIN_LISP_LSQ_FORMAT_H
#define ORIN_LISP_LSQ_FORMAT_H

#include <cstddef>
#include <cstdint>
#include <cstring>
#include "lsp.h"

namespace orin::lsp::lsq {

inline constexpr char kMagic[] = "OrinLSQ01.00\n";
inline constexpr std::size_t kMagicSize = sizeof kMagic;   // with the 0 byte after it
static_assert(kMagicSize == 14, "13 bytes of magic and a 0 byte");
inline constexpr std::size_t kHeaderSize = 32;
inline constexpr std::size_t kRecordSize = 6;
inline constexpr uint32_t kReservedMark = 0x01000000;
inline constexpr std::size_t kCountOffset = 18;
inline constexpr std::size_t kBytesOffset = 20;
inline constexpr std::size_t kMarkOffset = 14;
/* Records are read and written in blocks of this size (10880 records). */
inline constexpr std::size_t kRecordBlock = 65280;
static_assert(kRecordBlock % kRecordSize == 0, "whole records per block");

inline constexpr uint16_t kElements = 0x0001;
inline constexpr uint16_t kNext = 0x0002;
inline constexpr std::size_t kMaxStrings = 0xFFFF;   // string indexes are u16

struct Header {
    uint16_t stringCount;
    uint32_t stringBytes;
};

struct Record {
    uint16_t type;
    uint16_t flags;
    uint16_t text;
};

inline void putU16(unsigned char *p, uint16_t v)
{
    p[0] = static_cast<unsigned char>(v);
    p[1] = static_cast<unsigned char>(v >> 8);
}

inline void putU32(unsigned char *p, uint32_t v)
{
    putU16(p, static_cast<uint16_t>(v));
    putU16(p + 2, static_cast<uint16_t>(v >> 16));
}

inline uint16_t getU16(const unsigned char *p)
{
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

inline uint32_t getU32(const unsigned char *p)
{
    return getU16(p) | (static_cast<uint32_t>(getU16(p + 2)) << 16);
}

inline void encodeHeader(const Header &h, unsigned char out[kHeaderSize])
{
    std::memset(out, 0, kHeaderSize);
    std::memcpy(out, kMagic, kMagicSize);
    putU32(out + kMarkOffset, kReservedMark);
    putU16(out + kCountOffset, h.stringCount);
    putU32(out + kBytesOffset, h.stringBytes);
}

/* False when the bytes are not a stored query header: fewer than
 * kHeaderSize of them, or no magic followed by its 0 byte.  The
 * reserved fields are not looked at. */
inline bool decodeHeader(const unsigned char *in, std::size_t len, Header *h)
{
    if (len < kHeaderSize || std::memcmp(in, kMagic, kMagicSize) != 0)
        return false;
    h->stringCount = getU16(in + kCountOffset);
    h->stringBytes = getU32(in + kBytesOffset);
    return true;
}

inline void encodeRecord(const Record &r, unsigned char out[kRecordSize])
{
    putU16(out, r.type);
    putU16(out + 2, r.flags);
    putU16(out + 4, r.text);
}

inline Record decodeRecord(const unsigned char *in)
{
    return Record{ getU16(in), getU16(in + 2), getU16(in + 4) };
}

/* The node types a record may carry: the atoms and the closed list. */
inline bool isStoredType(uint16_t type)
{
    return type <= LSP_T_DATETIME || type == LSP_T_LIST;
}

}  // namespace orin::lsp::lsq

#endif  // ORIN_LISP_LSQ_FORMAT_H
