/*
 * prf100_format.h - the first profile file format ("PRFF100"), kept in a
 * FAL block file, and its name lists.
 *
 * File layout (all integers little-endian):
 *   FAL block 0 (user header, 12 bytes): the version "PRFF100" and a NUL,
 *       then the block id of the section list (0 = no section).
 *   Section list: one FAL block of records back to back, each the name's
 *       length (u16), the name without terminator, and a target (u32):
 *       the block id of the section's key list, 0 = no keys.
 *   Key list: one FAL block per section with keys, records as above whose
 *       target is the block id of the key's value, 0 = no value.
 *   Value: one FAL block whose used length is the value's length.
 * There are no checksums, no hashing and no in-update marker.  Names
 * compare by length and bytes; new records go at the end of their list.
 *
 * A NameList is one list as loaded from its block: the bytes as they will
 * be written back, and where each record starts.  Loading checks every
 * record (inside the block, a name of at least one byte), so the handler
 * never reads past a list however the file was damaged.
 */
#ifndef PRF100_FORMAT_H
#define PRF100_FORMAT_H

#include <string_view>
#include <vector>
#include "orinbase.h"
#include "profile/falint.h"

namespace orin::prf100 {

constexpr char kVersion[] = "PRFF100";           // stored with its NUL: 8 bytes
constexpr ULONG kVersionCompare = 7;             // characters compared
constexpr USHORT kHeaderSize = 12;               // the FAL user header
constexpr ULONG kRecordFixed = 2 + 4;            // name length and target
constexpr USHORT kClearedFalFlags = FAL_FIXED;   // cleared from the caller's FAL flags
// The most a block holds at any allocation granularity up to 128: values
// and lists are kept within it.
constexpr ULONG kLargestGranularity = 128;
constexpr ULONG kMaxBlockData = FAL_MAX_TOTAL - FAL_HDR_VARIABLE - kLargestGranularity;

#pragma pack(push, 1)
struct Header {
    char version[8];
    ULONG sectionList;
};
#pragma pack(pop)
static_assert(sizeof(Header) == kHeaderSize, "the first-format header is 12 bytes");

// A header for a new profile: the version and no section.
Header freshHeader();
bool hasVersion(const Header &hdr);

class NameList {
public:
    static constexpr size_t npos = static_cast<size_t>(-1);

    // Takes the bytes of a list block; PRF_ERR_CURSOR when a record runs
    // past the end or has an empty name (the list is then left empty).
    USHORT assign(std::vector<BYTE> bytes);

    size_t size() const { return starts_.size(); }
    bool empty() const { return starts_.empty(); }
    std::string_view name(size_t i) const;
    ULONG target(size_t i) const;
    void setTarget(size_t i, ULONG target);
    // The first record with this name, or npos.
    size_t find(std::string_view name) const;
    // Appends a record; 8 when the list would outgrow a block.
    USHORT append(std::string_view name, ULONG target);
    void remove(size_t i);
    const std::vector<BYTE> &bytes() const { return bytes_; }

private:
    size_t targetAt(size_t i) const;

    std::vector<BYTE> bytes_;
    std::vector<size_t> starts_;                 // offset of each record
};

}  // namespace orin::prf100

#endif /* PRF100_FORMAT_H */
