/*
 * prftest.h - helpers for the profile tests: a profile on the in-memory
 * back-end, and a reader of profile files that knows the byte offsets of
 * the format on its own (it shares no declaration with the library), so
 * the tests check the layout against an independent reading.
 */
#ifndef PRFTEST_H
#define PRFTEST_H

#include <gtest/gtest.h>
#include <string>
#include <vector>
#include "prf.h"
#include "memvbf.h"

namespace prftest {

inline std::vector<unsigned char> &bytesOf(const std::string &name)
{
    return memvbf::files()[name].data;
}

inline unsigned u16(const std::vector<unsigned char> &b, size_t off)
{
    return off + 2 <= b.size() ? b[off] | b[off + 1] << 8 : 0xFFFFFFFFu;
}

inline unsigned long u32(const std::vector<unsigned char> &b, size_t off)
{
    return off + 4 <= b.size()
               ? (unsigned long)b[off] | (unsigned long)b[off + 1] << 8
                     | (unsigned long)b[off + 2] << 16 | (unsigned long)b[off + 3] << 24
               : 0xFFFFFFFFul;
}

/* A profile on the in-memory back-end, created fresh unless told not to. */
struct MemProfile {
    HPRF h = nullptr;
    std::string name;
    explicit MemProfile(const std::string &n, bool fresh = true, USHORT flags = 0) : name(n)
    {
        if (fresh)
            memvbf::files().erase(n);
        EXPECT_EQ(open(flags), 0);
    }
    ~MemProfile() { close(); }
    USHORT open(USHORT flags = 0)
    {
        return PrfOpenProfileOnVbf(NULL, &h, name.c_str(), flags, memvbf::table());
    }
    void close()
    {
        if (h)
            PrfCloseProfile(h);
        h = nullptr;
    }
    USHORT reopen(USHORT flags = 0)
    {
        close();
        return open(flags);
    }
    std::string get(const char *s, const char *k)
    {
        ULONG size = 0;
        if (PrfQueryProfileSize(h, s, k, &size))
            return "<missing>";
        std::string v(size, '\0');
        ULONG n = size;
        EXPECT_EQ(PrfQueryProfileData(h, s, k, &v[0], &n), 0);
        v.resize(n);
        return v;
    }
    std::string list(const char *s = nullptr)
    {
        char buf[4096];
        USHORT rc = PrfQueryProfileString(h, s, NULL, NULL, buf, sizeof buf);
        return rc ? "<error " + std::to_string(rc) + ">" : std::string(buf);
    }
};

/* What the file holds, read with the format's offsets. */
struct Piece {
    unsigned long id;
    unsigned index, dataLength;
    unsigned long sectionId;
};
struct Key {
    std::string name;
    unsigned long length;
    std::vector<Piece> pieces;
};
struct Section {
    std::string name;
    unsigned flags;
    unsigned long id, keyTable;
    std::vector<Key> keys;
};

enum { FAL_HEADER = 96, USER_HEADER = 3980, BUCKETS = 991 };

inline unsigned blockUsed(const std::vector<unsigned char> &b, unsigned long id)
{
    return u16(b, id - 4);
}

inline std::vector<Section> readLayout(const std::string &file)
{
    const auto &b = bytesOf(file);
    std::vector<Section> out;
    for (int i = 0; i < BUCKETS; i++) {
        unsigned long tab = u32(b, FAL_HEADER + 8 + 4 * i);
        if (!tab)
            continue;
        unsigned used = blockUsed(b, tab);
        EXPECT_EQ(std::string((const char *)&b[tab], 4), "@Sec");
        for (size_t pos = 6; pos < used;) {
            Section s;
            unsigned len = u16(b, tab + pos);
            s.flags = u16(b, tab + pos + 2);
            s.id = u32(b, tab + pos + 4);
            s.keyTable = u32(b, tab + pos + 8);
            s.name = (const char *)&b[tab + pos + 12];
            EXPECT_EQ(len, 12 + s.name.size() + 1);
            pos += len;
            if (s.keyTable) {
                unsigned long kt = s.keyTable;
                EXPECT_EQ(std::string((const char *)&b[kt], 4), "@Key");
                unsigned head = u16(b, kt + 6), kused = blockUsed(b, kt);
                EXPECT_EQ(u32(b, kt + 8), s.id);
                EXPECT_EQ(std::string((const char *)&b[kt + 12]), s.name);
                EXPECT_EQ(head, 12 + s.name.size() + 1);
                for (size_t kp = head; kp < kused;) {
                    Key k;
                    unsigned klen = u16(b, kt + kp), count = u16(b, kt + kp + 2);
                    k.length = u32(b, kt + kp + 4);
                    k.name = (const char *)&b[kt + kp + 8];
                    EXPECT_EQ(klen, 8 + k.name.size() + 1 + 4 * count);
                    for (unsigned p = 0; p < count; p++) {
                        Piece pc;
                        pc.id = u32(b, kt + kp + klen - 4 * count + 4 * p);
                        EXPECT_EQ(std::string((const char *)&b[pc.id], 4), "@Val");
                        unsigned hl = u16(b, pc.id + 10);
                        pc.index = u16(b, pc.id + 12);
                        pc.sectionId = u32(b, pc.id + 14);
                        pc.dataLength = blockUsed(b, pc.id) - hl;
                        EXPECT_EQ(hl, 18 + k.name.size() + 1);
                        k.pieces.push_back(pc);
                    }
                    kp += klen;
                    s.keys.push_back(k);
                }
            }
            out.push_back(s);
        }
    }
    return out;
}

inline const Section *findSection(const std::vector<Section> &l, const std::string &name)
{
    for (const auto &s : l)
        if (s.name == name)
            return &s;
    return nullptr;
}

/* Data of piece p as stored. */
inline std::string pieceData(const std::string &file, const Piece &p)
{
    const auto &b = bytesOf(file);
    unsigned hl = u16(b, p.id + 10);
    return std::string((const char *)&b[p.id + hl], p.dataLength);
}

} // namespace prftest

#endif
