/*
 * prf100file.h - first-format ("PRFF100") profile files made and read by
 * the tests byte by byte, from the layout of the format alone: the 96-byte
 * block-file header, 8-byte block headers, the 12-byte profile header,
 * name lists of (length u16, name, target u32) records and one block per
 * value.  Nothing here comes from the library, so the handler is checked
 * against the format and not against itself.
 *
 * build() writes a profile given as sections in list order; decode() reads
 * one back, checking the block tiling and that every used block is named
 * exactly once (nothing leaked, nothing shared).
 */
#ifndef PRF100FILE_H
#define PRF100FILE_H

#include <gtest/gtest.h>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace prf100file {

using Bytes = std::vector<unsigned char>;

struct Key {
    std::string name;
    std::optional<std::string> value;   // none: the key has no value block
    bool operator==(const Key &) const = default;
};
struct Section {
    std::string name;
    std::vector<Key> keys;              // none: the section has no key list
    bool operator==(const Section &) const = default;
};
using Layout = std::vector<Section>;

constexpr size_t kFalHeaderSize = 96;
constexpr size_t kUserHeaderSize = 12;
constexpr size_t kFirstBlock = 112;     // 96 + 12 rounded up to 16
constexpr size_t kBlockHeader = 8;
constexpr size_t kVersionAt = kFalHeaderSize;
constexpr size_t kSectionListAt = kFalHeaderSize + 8;

inline void put16(Bytes &b, size_t at, unsigned v)
{
    b[at] = (unsigned char)v;
    b[at + 1] = (unsigned char)(v >> 8);
}

inline void put32(Bytes &b, size_t at, unsigned long v)
{
    put16(b, at, (unsigned)(v & 0xFFFF));
    put16(b, at + 2, (unsigned)(v >> 16));
}

inline unsigned get16(const Bytes &b, size_t at)
{
    return at + 2 <= b.size() ? b[at] | b[at + 1] << 8 : 0xFFFFFFFFu;
}

inline unsigned long get32(const Bytes &b, size_t at)
{
    return at + 4 <= b.size() ? (unsigned long)get16(b, at) | (unsigned long)get16(b, at + 2) << 16
                              : 0xFFFFFFFFul;
}

/* A block file being written: the header, the profile header area, then
 * blocks appended one after the other. */
class Writer {
public:
    Writer() : bytes_(kFirstBlock, 0)
    {
        const char magic[8] = {'F', 'A', 'L', '1', '0', '0', 0x1A, 0};
        std::copy(magic, magic + 8, bytes_.begin());
        put16(bytes_, 10, 0x0020);                  // first fit
        put16(bytes_, 12, 8);                       // block size 16 - 8
        put16(bytes_, 14, (unsigned)kUserHeaderSize);
        put32(bytes_, 16, kFalHeaderSize);
        put32(bytes_, 20, kFirstBlock);
        header("PRFF100", 0);
    }

    // Appends a block ('U' used, 'F' free) holding `data`; its id.
    unsigned long block(const std::string &data, char type = 'U')
    {
        size_t at = bytes_.size();
        size_t total = (std::max<size_t>(data.size(), 8) + kBlockHeader + 15) / 16 * 16;
        bytes_.resize(at + total, 0);
        bytes_[at] = (unsigned char)type;
        bytes_[at + 1] = 0xAA;
        bytes_[at + 2] = 0x55;
        bytes_[at + 3] = 0x00;
        put16(bytes_, at + 4, (unsigned)std::max<size_t>(data.size(), type == 'F' ? 4 : 0));
        put16(bytes_, at + 6, (unsigned)total);
        std::copy(data.begin(), data.end(), bytes_.begin() + at + kBlockHeader);
        return (unsigned long)(at + kBlockHeader);
    }

    void header(const char *version, unsigned long sectionList)
    {
        for (size_t i = 0; i < 8; i++)
            bytes_[kVersionAt + i] = (unsigned char)version[i];
        put32(bytes_, kSectionListAt, sectionList);
    }

    const Bytes &bytes() const { return bytes_; }

private:
    Bytes bytes_;
};

/* One name-list record. */
inline std::string record(const std::string &name, unsigned long target)
{
    Bytes b(2 + name.size() + 4);
    put16(b, 0, (unsigned)name.size());
    std::copy(name.begin(), name.end(), b.begin() + 2);
    put32(b, 2 + name.size(), target);
    return std::string(b.begin(), b.end());
}

/* A file holding the profile: values first, then key lists, then the
 * section list. */
inline Bytes build(const Layout &layout)
{
    Writer w;
    std::string sections;
    for (const Section &s : layout) {
        std::string keys;
        for (const Key &k : s.keys)
            keys += record(k.name, k.value ? w.block(*k.value) : 0);
        sections += record(s.name, s.keys.empty() ? 0 : w.block(keys));
    }
    w.header("PRFF100", layout.empty() ? 0 : w.block(sections));
    return w.bytes();
}

/* ---- Reading ------------------------------------------------------------------ */

struct Decoded {
    std::string version;
    Layout layout;
    size_t usedBlocks = 0, freeBlocks = 0;
};

class Reader {
public:
    explicit Reader(const Bytes &b) : b_(b) {}

    Decoded decode()
    {
        Decoded d;
        const char magic[8] = {'F', 'A', 'L', '1', '0', '0', 0x1A, 0};
        EXPECT_TRUE(b_.size() >= kFirstBlock && std::equal(magic, magic + 8, b_.begin()));
        if (b_.size() < kFirstBlock)
            return d;
        EXPECT_EQ(get16(b_, 14), kUserHeaderSize);
        EXPECT_EQ(get32(b_, 16), kFalHeaderSize);
        EXPECT_EQ(get32(b_, 20), kFirstBlock);
        walkBlocks(d);
        d.version.assign((const char *)&b_[kVersionAt], 8);
        unsigned long list = get32(b_, kSectionListAt);
        for (const auto &[name, keyList] : names(list)) {
            Section s{name, {}};
            for (const auto &[key, value] : names(keyList))
                s.keys.push_back(Key{key, value ? std::optional(data(value)) : std::nullopt});
            EXPECT_TRUE(keyList == 0 || !s.keys.empty()) << "an empty key list is kept: " << name;
            d.layout.push_back(s);
        }
        EXPECT_TRUE(list == 0 || !d.layout.empty()) << "an empty section list is kept";
        EXPECT_EQ(named_.size(), d.usedBlocks) << "used blocks that nothing names";
        return d;
    }

private:
    // Blocks tile the file from the first block to its end.
    void walkBlocks(Decoded &d)
    {
        size_t at = kFirstBlock;
        while (at + kBlockHeader <= b_.size()) {
            unsigned total = get16(b_, at + 6);
            bool signed_ = b_[at + 1] == 0xAA && b_[at + 2] == 0x55 && b_[at + 3] == 0;
            EXPECT_TRUE(signed_ && (b_[at] == 'U' || b_[at] == 'F') && total >= 12)
                << "block header at " << at;
            if (!signed_ || total < 12)
                return;
            EXPECT_LE(get16(b_, at + 4), total - kBlockHeader) << "used length at " << at;
            if (b_[at] == 'U') {
                used_[at + kBlockHeader] = get16(b_, at + 4);
                d.usedBlocks++;
            } else {
                d.freeBlocks++;
            }
            at += total;
        }
        EXPECT_EQ(at, b_.size()) << "blocks do not end with the file";
    }

    std::string data(unsigned long id)
    {
        auto u = used_.find(id);
        EXPECT_NE(u, used_.end()) << "a list names " << id << ", not a used block";
        if (u == used_.end())
            return "<no block>";
        EXPECT_TRUE(named_.insert(id).second) << "block " << id << " named twice";
        return std::string((const char *)&b_[id], u->second);
    }

    std::vector<std::pair<std::string, unsigned long>> names(unsigned long id)
    {
        std::vector<std::pair<std::string, unsigned long>> out;
        if (id == 0)
            return out;
        std::string list = data(id);
        Bytes l(list.begin(), list.end());
        size_t pos = 0;
        while (pos + 6 <= l.size()) {
            unsigned n = get16(l, pos);
            EXPECT_GT(n, 0u);
            if (n == 0 || pos + 6 + n > l.size())
                break;
            out.emplace_back(list.substr(pos + 2, n), get32(l, pos + 2 + n));
            pos += 6 + n;
        }
        EXPECT_EQ(pos, l.size()) << "records run past the list block " << id;
        return out;
    }

    const Bytes &b_;
    std::map<unsigned long, unsigned> used_;   // id -> used length
    std::set<unsigned long> named_;
};

inline Decoded decode(const Bytes &b)
{
    return Reader(b).decode();
}

} // namespace prf100file

#endif
