/*
 * orin_order.cpp - the order in which a profile's sections were created.
 *
 * A profile lists its sections by hash bucket, which is no order a person
 * chose.  Export writes them in the order they were created instead (the
 * order of an imported INI file), so that an INI file comes back as it
 * went in.  Each section record carries a section id given in creation
 * order; the records are read from the profile's section tables through
 * the block-file calls: the profile header (block 0) holds, from offset 8,
 * the block id of each of the 991 buckets' section tables; a table is
 * "@Sec", a 2-byte checksum, then records of recordLength u16, flags u16,
 * sectionId u32, keyTable u32 and the NUL-terminated name.
 */
#include <algorithm>
#include <cstring>
#include <map>
#include <vector>
#include "fal.h"
#include "orin_commands.h"

namespace orintool {

namespace {

constexpr ULONG kHeaderSize = 3980;
constexpr ULONG kBucketsAt = 8;
constexpr ULONG kBuckets = 991;
constexpr ULONG kRecordsAt = 6;
constexpr ULONG kRecordFixed = 12;

ULONG u32At(const std::vector<unsigned char> &b, size_t at)
{
    return (ULONG)b[at] | (ULONG)b[at + 1] << 8 | (ULONG)b[at + 2] << 16 | (ULONG)b[at + 3] << 24;
}

class BlockFile {
public:
    explicit BlockFile(const char *name)
    {
        if (FalOpen(nullptr, name, &f_, FAL_OPEN_READONLY) != 0)
            f_ = nullptr;
    }
    ~BlockFile()
    {
        if (f_)
            FalClose(f_);
    }
    BlockFile(const BlockFile &) = delete;
    BlockFile &operator=(const BlockFile &) = delete;

    // The block's bytes, its whole capacity; empty when it cannot be read.
    std::vector<unsigned char> block(ULONG id, ULONG atMost)
    {
        ULONG capacity = 0;
        if (!f_ || FalQueryTotalBlockSize(f_, id, &capacity) != 0)
            return {};
        std::vector<unsigned char> b(std::min(capacity, atMost));
        if (FalGetBlock(f_, id, b.data(), (ULONG)b.size()) != 0)
            return {};
        return b;
    }

private:
    HFAL f_ = nullptr;
};

// Section name -> id, from every section table that can be read.
std::map<std::string, ULONG> sectionIds(const char *file)
{
    std::map<std::string, ULONG> ids;
    BlockFile f(file);
    std::vector<unsigned char> header = f.block(0, kHeaderSize);
    if (header.size() < kBucketsAt + 4 * kBuckets)
        return ids;
    for (ULONG bucket = 0; bucket < kBuckets; bucket++) {
        ULONG table = u32At(header, kBucketsAt + 4 * bucket);
        if (!table)
            continue;
        std::vector<unsigned char> t = f.block(table, 0xFFFF);
        if (t.size() < kRecordsAt || memcmp(t.data(), "@Sec", 4) != 0)
            continue;
        for (size_t at = kRecordsAt; at + kRecordFixed < t.size();) {
            size_t length = t[at] | t[at + 1] << 8;
            if (length <= kRecordFixed || at + length > t.size() || t[at + length - 1] != 0)
                break;
            ids.emplace(std::string((const char *)&t[at + kRecordFixed]), u32At(t, at + 4));
            at += length;
        }
    }
    return ids;
}

}  // namespace

void putInCreationOrder(const char *file, std::vector<std::string> &sections)
{
    std::map<std::string, ULONG> ids = sectionIds(file);
    auto idOf = [&](const std::string &s) {
        auto it = ids.find(s);
        return it == ids.end() ? ~0ul : (unsigned long)it->second;
    };
    std::stable_sort(sections.begin(), sections.end(),
                     [&](const std::string &a, const std::string &b) { return idOf(a) < idOf(b); });
}

}  // namespace orintool
