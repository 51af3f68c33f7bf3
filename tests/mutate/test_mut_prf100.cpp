// Damaged first-format (PRFF100) profiles: ten thousand mutants of two seed
// profiles, each opened through the first-format handler, read key by key
// and listed, then changed, read back and closed.
//
// What the format guards: nothing.  It has no checksum, no signature of its
// own but the version, and the block file's 8-byte block headers carry only
// a type byte and a fixed signature.  So the sweep holds the store to this:
//   - a key whose file headers, section list, key list and value block are
//     as written reads back exactly as written;
//   - before any write, a value read with success is the data of some block
//     of the damaged file as it stands (its used length and bytes), never
//     bytes from nowhere, and nothing is written past it in the buffer;
//   - a listed name is a name record of the damaged file (its length then
//     its bytes), or a part of one that holds the list separator '~';
//   - a value written with success to the damaged file reads back as
//     written at once;
//   - the changed file, opened again, still answers only codes and gives
//     values that are data of its blocks.
// Every call answers 0 or a code of the profile or block-file layers.
#include <gtest/gtest.h>
#include <cstring>
#include <map>
#include <set>
#include "mutate.h"
#include "profile/prf100test.h"
#include "profile/falint.h"

using namespace mutate;
using prf100file::get16;
using prf100file::record;

namespace {

const char *const kName = "mut100.prf";

struct Stored {
    std::string value;
    std::vector<Unit> blocks;       // the blocks a read of the key depends on
};

struct Prf100Seed {
    Seed seed;
    std::map<std::string, std::map<std::string, Stored>> model;
};

const std::set<ULONG> kCodes = {0, ORIN_ERR_FILE_NOT_FOUND, ORIN_ERR_NO_MEMORY,
                                ORIN_ERR_INVALID_PARAM, ORIN_ERR_BUFFER_TOO_SMALL,
                                ORIN_ERR_DISK_FULL, ORIN_ERR_NO_KEY, PRF_ERR_EXISTS,
                                PRF_ERR_CURSOR, PRF_ERR_NOTFIRSTFORMAT, FAL_ERR_MAGIC,
                                FAL_ERR_BLOCKTYPE, FAL_ERR_FREELIST, FAL_ERR_BEYONDEND,
                                FAL_ERR_SIGNATURE};

constexpr size_t kBlockHeader = prf100file::kBlockHeader;

std::string valueOf(const std::string &sec, const std::string &key, size_t n)
{
    std::string v(n, '\0');
    for (size_t i = 0; i < n; i++)
        v[i] = static_cast<char>('!' + (sec.size() * 13 + key[0] * 5 + i) % 90);
    return v;
}

/* The whole block whose data starts at id. */
Unit blockAt(const Bytes &b, size_t id)
{
    return {id - kBlockHeader, get16(b, id - 2)};
}

/* A name list written by hand; the fields of its records are noted. */
struct ListBuilder {
    std::string bytes;
    std::vector<size_t> fieldAt;        // offsets inside the list: u16 length, u32 target
    void add(const std::string &name, unsigned long target)
    {
        fieldAt.push_back(bytes.size());
        fieldAt.push_back(bytes.size() + 2 + name.size());
        bytes += record(name, target);
    }
};

/* A seed profile: `sections` sections holding the same keys with values
 * of the same lengths (so that one block copied over its twin keeps a
 * sound shape), a section without keys and a key without value. */
Prf100Seed build(unsigned sections, size_t bigValue)
{
    Prf100Seed p;
    prf100file::Writer w;
    Seed &s = p.seed;
    std::vector<std::pair<size_t, ListBuilder>> lists;        // block id, list
    ListBuilder sectionList;
    for (unsigned i = 0; i < sections; i++) {
        std::string sec = i == 0 ? "Main" : i == 1 ? "Bare" : "S" + std::to_string(i * 3);
        p.model[sec];
        if (sec == "Bare") {
            sectionList.add(sec, 0);
            continue;
        }
        ListBuilder keys;
        std::vector<std::pair<std::string, size_t>> values;
        for (auto [key, n] : {std::pair<const char *, size_t>{"a", 5}, {"b", 40}, {"c", 1}})
            values.push_back({key, n});
        if (i == 0)
            values.push_back({"big", bigValue});
        for (auto &[key, n] : values) {
            std::string v = valueOf(sec, key, n);
            unsigned long id = w.block(v);
            keys.add(key, id);
            p.model[sec][key].value = v;
            p.model[sec][key].blocks.push_back({id, 0});      // fixed up below
        }
        keys.add("none", 0);
        unsigned long kl = w.block(keys.bytes);
        for (auto &[key, st] : p.model[sec])
            st.blocks.push_back({kl, 0});
        sectionList.add(sec, kl);
        lists.push_back({kl, keys});
    }
    unsigned long sl = w.block(sectionList.bytes);
    lists.push_back({sl, sectionList});
    w.header("PRFF100", sl);
    s.bytes = w.bytes();
    const Bytes &b = s.bytes;

    for (auto &[sec, keys] : p.model)
        for (auto &[key, st] : keys) {
            st.blocks.push_back({sl, 0});
            for (Unit &u : st.blocks)
                u = blockAt(b, u.offset);
        }
    s.units.push_back({0, FAL_HEADER_SIZE});
    s.units.push_back({FAL_HEADER_SIZE, prf100file::kUserHeaderSize});
    for (size_t at : {12, 14, 16, 20})
        s.fields.push_back({at, at >= 16 ? 4u : 2u});
    for (int i = 0; i < FAL_LIST_COUNT; i++) {
        addU32(s, 24 + 4 * i);
        addU16(s, 72 + 2 * i);
    }
    addU32(s, prf100file::kSectionListAt);
    for (size_t at = prf100file::kFirstBlock; at + kBlockHeader <= b.size();) {
        Unit u = blockAt(b, at + kBlockHeader);
        s.units.push_back(u);
        addU16(s, at + 4);
        addU16(s, at + 6);
        at += u.length;
    }
    for (auto &[id, list] : lists)
        for (size_t i = 0; i < list.fieldAt.size(); i++)
            s.fields.push_back({id + list.fieldAt[i], i % 2 ? 4u : 2u});
    return p;
}

std::vector<Prf100Seed> &seeds()
{
    static std::vector<Prf100Seed> all = [] {
        std::vector<Prf100Seed> v;
        v.push_back(build(4, 300));
        v.push_back(build(12, 3000));
        return v;
    }();
    return all;
}

class Checker {
public:
    // `rewritten`: the file is the mutant as changed and closed, so no key
    // is held to its seed value, only to the file's blocks.
    Checker(const Bytes &mutant, const Prf100Seed &p, bool rewritten = false)
        : mutant_(mutant), p_(p), rewritten_(rewritten) {}

    void code(ULONG rc, const char *what)
    {
        trace(what, rc);
        EXPECT_TRUE(kCodes.count(rc)) << what << " answered " << rc << " for " << where();
    }

    bool intact(const Stored &st) const
    {
        const Bytes &good = p_.seed.bytes;
        if (rewritten_ || !same(mutant_, good, 0, prf100file::kFirstBlock))
            return false;
        for (const Unit &u : st.blocks)
            if (!same(mutant_, good, u.offset, u.length))
                return false;
        return true;
    }

    /* True when some block of the damaged file holds exactly v: its used
     * length (the u16 four bytes before the data) and its bytes. */
    bool blockOfFile(const std::string &v) const
    {
        for (size_t id = kBlockHeader; id + v.size() <= mutant_.size(); id++)
            if (get16(mutant_, id - 4) == v.size() &&
                (v.empty() || memcmp(v.data(), &mutant_[id], v.size()) == 0))
                return true;
        return false;
    }

    /* True when the file holds a name record of this name, or a name
     * holding '~' (the list separator) of which n is a part cut there. */
    bool nameOfFile(const std::string &n) const
    {
        return recordOfFile(n) || cutAtTilde(n);
    }

    bool cutAtTilde(const std::string &n) const
    {
        for (size_t at = 0; at + n.size() <= mutant_.size(); at++) {
            if (!n.empty() && memcmp(n.data(), &mutant_[at], n.size()) != 0)
                continue;
            bool before = at > 0 && mutant_[at - 1] == '~';
            bool after = at + n.size() < mutant_.size() && mutant_[at + n.size()] == '~';
            if (before || after)
                return true;
        }
        return false;
    }

    bool recordOfFile(const std::string &n) const
    {
        for (size_t at = 0; at + 2 + n.size() <= mutant_.size(); at++)
            if (get16(mutant_, at) == n.size() &&
                (n.empty() || memcmp(n.data(), &mutant_[at + 2], n.size()) == 0))
                return true;
        return false;
    }

    void readKey(HPRF h, const std::string &sec, const std::string &key, const Stored &st)
    {
        std::string buf(st.value.size() + 16, '\xEE');
        ULONG n = (ULONG)buf.size();
        USHORT rc = call("PrfQueryProfileData", [&] {
            return PrfQueryProfileData(h, sec.c_str(), key.c_str(), &buf[0], &n);
        });
        code(rc, "PrfQueryProfileData");
        const std::string what = sec + "/" + key + " " + where();
        if (intact(st)) {
            ASSERT_EQ(rc, 0) << what;
            ASSERT_EQ(buf.substr(0, n), st.value) << what;
        }
        if (rc != 0 || n > buf.size())
            return;
        EXPECT_TRUE(blockOfFile(buf.substr(0, n))) << "a value from nowhere: " << what;
        // a key without value block reads as length 0 and a buffer whose
        // first byte is 0
        size_t past = n == 0 && buf[0] == '\0' ? 1 : n;
        EXPECT_EQ(buf.find_first_not_of('\xEE', past), std::string::npos)
            << "bytes written past the value: " << what;
    }

    void list(HPRF h, const char *sec)
    {
        std::string buf(8192, '\0');
        USHORT rc = call("PrfQueryProfileString", [&] {
            return PrfQueryProfileString(h, sec, NULL, NULL, &buf[0], (ULONG)buf.size());
        });
        code(rc, "PrfQueryProfileString");
        if (rc != 0)
            return;
        std::string cur;
        for (const char *c = buf.c_str(); *c; c++) {
            if (*c != '~') {
                cur += *c;
                continue;
            }
            EXPECT_TRUE(nameOfFile(cur)) << "name " << cur << " listed, " << where();
            cur.clear();
        }
    }

    /* Writes a value and, when that succeeded, reads it straight back. */
    void writeAndRead(HPRF h, const char *sec, const char *key, const std::string &v)
    {
        USHORT rc = call("PrfWriteProfileData", [&] {
            return PrfWriteProfileData(h, sec, key, v.data(), (ULONG)v.size());
        });
        code(rc, "PrfWriteProfileData");
        if (rc != 0)
            return;
        std::string buf(v.size() + 16, '\0');
        ULONG n = (ULONG)buf.size();
        USHORT rcRead = call("PrfQueryProfileData (written)", [&] {
            return PrfQueryProfileData(h, sec, key, &buf[0], &n);
        });
        code(rcRead, "PrfQueryProfileData (written)");
        EXPECT_EQ(rcRead, 0) << sec << "/" << key << " written, " << where();
        if (rcRead == 0) {
            EXPECT_EQ(buf.substr(0, n), v) << sec << "/" << key << " written, " << where();
        }
    }

private:
    const Bytes &mutant_;
    const Prf100Seed &p_;
    const bool rewritten_;
};

HPRF open(Checker &run)
{
    HPRF h = nullptr;
    ULONG rc = call("PrfOpenHandler", [&] {
        PRFFALOPEN rec = {nullptr, kName, 0x0020, 0, memvbf::table()};
        return PrfOpenHandler(PrfFal100Handler, &rec, &h);
    });
    run.code(rc, "PrfOpenHandler");
    return rc ? nullptr : h;
}

/* Reads every key of the seed and lists the sections and their keys. */
void readEverything(Checker &run, HPRF h, const Prf100Seed &p)
{
    for (const auto &[sec, keys] : p.model)
        for (const auto &[key, st] : keys) {
            run.readKey(h, sec, key, st);
            if (::testing::Test::HasFatalFailure())
                return;
        }
    run.list(h, nullptr);
    for (const auto &[sec, keys] : p.model)
        run.list(h, sec.c_str());
}

/* Every call on one mutant; true when it opened. */
bool exercise(const Bytes &mutant, size_t which, std::mt19937_64 &rng)
{
    const Prf100Seed &p = seeds()[which];
    Checker run(mutant, p);
    memvbf::files().erase(kName);
    prf100test::bytesOf(kName) = mutant;
    HPRF h = open(run);
    if (!h)
        return false;
    readEverything(run, h, p);

    // Changes to the damaged file.
    run.writeAndRead(h, "Main", "a", std::string(1 + rng() % 600, 'n'));
    run.writeAndRead(h, "Fresh", "k", "new value");
    run.code(call("PrfWriteProfileData (delete)", [&] {
        return PrfWriteProfileData(h, "Main", "b", nullptr, 0);
    }), "PrfWriteProfileData (delete)");
    run.code(call("PrfWriteProfileData (delete keys)", [&] {
        return PrfWriteProfileData(h, "S6", nullptr, nullptr, 0);
    }), "PrfWriteProfileData (delete keys)");
    run.code(call("PrfCreateSection", [&] { return PrfCreateSection(h, "Made"); }),
             "PrfCreateSection");
    run.code(call("PrfDestroySection", [&] { return PrfDestroySection(h, "Bare"); }),
             "PrfDestroySection");
    run.writeAndRead(h, "Made", "m", std::string(1 + rng() % 80, 'm'));
    run.code(call("Prf100CloseProfile", [&] { return Prf100CloseProfile(h); }),
             "Prf100CloseProfile");

    // The changed file opened again: codes, and values from its blocks.
    const Bytes rewritten = prf100test::bytesOf(kName);
    Checker again(rewritten, p, true);
    if (HPRF h2 = open(again)) {
        readEverything(again, h2, p);
        again.code(call("Prf100CloseProfile", [&] { return Prf100CloseProfile(h2); }),
                   "Prf100CloseProfile");
    }
    return true;
}

TEST(MutatePrf100, TenThousandMutantsAnswerWithCodesAndNeverAnUnwrittenValue)
{
    unsigned opened = 0, runs = 0;
    sweep(5, plainSeeds(seeds()), [&](const Bytes &mutant, size_t which, std::mt19937_64 &rng) {
        runs++;
        opened += exercise(mutant, which, rng);
    });
    EXPECT_GT(opened, runs / 4);
}

} // namespace
