// Damaged PRFF200 profiles: ten thousand mutants of two seed profiles, each
// opened read-only and read key by key and listed, checked, then opened for
// writing, changed and closed.
//
// What the format guards: the 3980-byte profile header, every section table
// and key table and the first 18 bytes of every value piece carry a checksum;
// the 96-byte block-file header, the 8-byte block headers, the key name
// inside a piece and the value data carry none.  So:
//   - a key whose blocks (header, section table, key table, pieces) and the
//     file headers are as written reads back exactly as written;
//   - any read that succeeds gives the written length, and each value byte
//     is the written one unless the mutation changed the file byte that holds
//     it (then the byte read is the file's; once the damaged file has been
//     written to, such a byte, or one cut off, may hold what was written);
//   - listed names are names that were written in that place.
// Every call answers 0 or a code of the profile or block-file layers.
#include <gtest/gtest.h>
#include <map>
#include <set>
#include "mutate.h"
#include "profile/prftest.h"
#include "profile/falint.h"

using namespace mutate;

namespace {

const char *const kName = "mut.prf";

/* Where value byte i of a key lies in the seed file. */
struct Stored {
    std::string value;
    ULONG size = 0;                 // what PrfQueryProfileSize answers for it
    std::vector<size_t> dataAt;     // file offset of each value byte
    std::vector<Unit> blocks;       // the blocks a read of the key depends on
};

using Model = std::map<std::string, std::map<std::string, Stored>>;

struct PrfSeed {
    Seed seed;
    Model model;
};

const std::set<USHORT> kCodes = {0, ORIN_ERR_FILE_NOT_FOUND, ORIN_ERR_NO_MEMORY,
                                 ORIN_ERR_INVALID_PARAM, ORIN_ERR_BUFFER_TOO_SMALL,
                                 ORIN_ERR_DISK_FULL, ORIN_ERR_NO_KEY, PRF_ERR_EXISTS,
                                 PRF_ERR_INUPDATE, PRF_ERR_CURSOR, PRF_ERR_OLDVERSION,
                                 PRF_ERR_CHECKSUM, PRF_ERR_VERSION, PRF_ERR_NOSTRING,
                                 FAL_ERR_MAGIC, FAL_ERR_BLOCKTYPE, FAL_ERR_FREELIST,
                                 FAL_ERR_BEYONDEND, FAL_ERR_SIGNATURE};

std::string valueOf(const std::string &sec, const std::string &key, size_t n)
{
    std::string v(n, '\0');
    for (size_t i = 0; i < n; i++)
        v[i] = static_cast<char>(' ' + (sec.size() * 31 + key[0] * 7 + sec[0] + i) % 90);
    return v;
}

/* The extent of FAL block id: its header and capacity. */
Unit blockAt(const Bytes &b, size_t id)
{
    return {id - FAL_HDR_VARIABLE, prftest::u16(b, id - 2)};
}

/* Blocks and fields of a sound profile file. */
void describe(PrfSeed &p, const std::vector<prftest::Section> &layout)
{
    Seed &s = p.seed;
    const Bytes &b = s.bytes;
    s.units.push_back({0, FAL_HEADER_SIZE});
    s.units.push_back({FAL_HEADER_SIZE, 3980});
    for (size_t at : {12, 14, 16, 20})
        s.fields.push_back({at, at >= 16 ? 4u : 2u});
    for (int i = 0; i < FAL_LIST_COUNT; i++) {
        addU32(s, 24 + 4 * i);
        addU16(s, 72 + 2 * i);
    }
    FALFILEHEADER hdr;
    memcpy(&hdr, b.data(), sizeof hdr);
    for (size_t at = hdr.firstBlockOffset; at + FAL_HDR_VARIABLE <= b.size();) {
        Unit u = blockAt(b, at + FAL_HDR_VARIABLE);
        s.units.push_back(u);
        addU16(s, at + 4);
        addU16(s, at + 6);
        at += u.length;
    }
    for (int i = 0; i < prftest::BUCKETS; i++)
        if (prftest::u32(b, FAL_HEADER_SIZE + 8 + 4 * i))
            addU32(s, FAL_HEADER_SIZE + 8 + 4 * i);
    addU32(s, FAL_HEADER_SIZE + 3972);
    addU16(s, FAL_HEADER_SIZE + 3976);
    for (const auto &sec : layout)
        for (const auto &k : sec.keys)
            for (const auto &pc : k.pieces) {
                addU16(s, pc.id + 10);              // pieceHeaderLength
                addU16(s, pc.id + 12);              // pieceIndex
                addU32(s, pc.id + 14);              // sectionId
            }
}

/* Which section table holds a section: the bucket's block. */
size_t tableOf(const Bytes &b, const prftest::Section &sec)
{
    for (int i = 0; i < prftest::BUCKETS; i++) {
        size_t tab = prftest::u32(b, FAL_HEADER_SIZE + 8 + 4 * i);
        if (!tab)
            continue;
        for (size_t pos = 6; pos < prftest::blockUsed(b, tab);) {
            if (prftest::u32(b, tab + pos + 4) == sec.id)
                return tab;
            pos += prftest::u16(b, tab + pos);
        }
    }
    return 0;
}

PrfSeed build(unsigned sections, unsigned seedNo)
{
    PrfSeed p;
    {
        prftest::MemProfile prof(kName);
        std::vector<std::string> names = {"alpha", "beta", "gamma", "bare"};
        for (unsigned i = names.size(); i < sections; i++)
            names.push_back("s" + std::to_string(i * 7 + seedNo));
        for (const auto &sec : names) {
            if (sec == "bare") {
                EXPECT_EQ(PrfCreateSection(prof.h, sec.c_str()), 0);
                p.model[sec];
                continue;
            }
            // the same key names with values of the same lengths in every
            // section, so that one section's tables and pieces copied over
            // another's still carry good checksums
            for (auto [key, n] : {std::pair<const char *, size_t>{"k1", 8}, {"k2", 40},
                                  {"empty", 0}, {"gone", 12}}) {
                std::string v = valueOf(sec, key, n);
                EXPECT_EQ(PrfWriteProfileData(prof.h, sec.c_str(), key, v.data(), (ULONG)n), 0);
                p.model[sec][key].value = v;
            }
            EXPECT_EQ(PrfWriteProfileData(prof.h, sec.c_str(), "gone", nullptr, 0), 0);
            p.model[sec].erase("gone");
        }
        std::string big = valueOf("alpha", "big", 17000);
        EXPECT_EQ(PrfWriteProfileData(prof.h, "alpha", "big", big.data(), (ULONG)big.size()), 0);
        p.model["alpha"]["big"].value = big;
        for (auto &[sec, keys] : p.model)
            for (auto &[key, st] : keys)
                EXPECT_EQ(PrfQueryProfileSize(prof.h, sec.c_str(), key.c_str(), &st.size), 0);
    }
    p.seed.bytes = prftest::bytesOf(kName);
    const Bytes &b = p.seed.bytes;
    auto layout = prftest::readLayout(kName);
    describe(p, layout);
    for (const auto &sec : layout)
        for (const auto &k : sec.keys) {
            Stored &st = p.model[sec.name][k.name];
            st.blocks.push_back(blockAt(b, tableOf(b, sec)));
            st.blocks.push_back(blockAt(b, sec.keyTable));
            for (const auto &pc : k.pieces) {
                st.blocks.push_back(blockAt(b, pc.id));
                size_t data = pc.id + prftest::u16(b, pc.id + 10);
                for (size_t i = 0; i < pc.dataLength; i++)
                    st.dataAt.push_back(data + i);
            }
            EXPECT_EQ(st.dataAt.size(), st.value.size()) << sec.name << "/" << k.name;
        }
    return p;
}

std::vector<PrfSeed> &seeds()
{
    static std::vector<PrfSeed> all = [] {
        std::vector<PrfSeed> v;
        v.push_back(build(5, 0));
        v.push_back(build(24, 1));
        return v;
    }();
    return all;
}

class Checker {
public:
    Checker(const Bytes &mutant, const PrfSeed &p) : mutant_(mutant), p_(p) {}

    void code(USHORT rc, const char *what)
    {
        trace(what, rc);
        EXPECT_TRUE(kCodes.count(rc)) << what << " answered " << rc << " for " << where();
    }

    bool intact(const Stored &st) const
    {
        const Bytes &good = p_.seed.bytes;
        if (!same(mutant_, good, 0, FAL_HEADER_SIZE + 3980))
            return false;
        for (const Unit &u : st.blocks)
            if (!same(mutant_, good, u.offset, u.length))
                return false;
        return true;
    }

    /* Reads one key whole; a success must give the written value, but for
     * bytes whose place in the file the mutation changed. */
    void readKey(HPRF h, const std::string &sec, const std::string &key, const Stored &st,
                 bool afterWrites = false)
    {
        ULONG size = 0;
        USHORT rcSize = call("PrfQueryProfileSize", [&] {
            return PrfQueryProfileSize(h, sec.c_str(), key.c_str(), &size);
        });
        code(rcSize, "PrfQueryProfileSize");
        std::string buf(st.value.size() + 16, '\xEE');
        ULONG n = (ULONG)buf.size();
        USHORT rc = call("PrfQueryProfileData", [&] {
            return PrfQueryProfileData(h, sec.c_str(), key.c_str(), &buf[0], &n);
        });
        code(rc, "PrfQueryProfileData");
        const std::string what = sec + "/" + key + " " + where();
        if (!afterWrites && intact(st)) {
            EXPECT_EQ(rcSize, 0) << what;
            EXPECT_EQ(rc, 0) << what;
        }
        if (rcSize == 0) {
            EXPECT_EQ(size, st.size) << what;
        }
        if (rc != 0)
            return;
        ASSERT_EQ(n, st.value.size()) << what;
        for (size_t i = 0; i < n; i++) {
            size_t at = st.dataAt[i];
            bool changed = at >= mutant_.size() || mutant_[at] != p_.seed.bytes[at];
            // before any write the byte read is the file's; after writes a
            // byte the mutation changed or cut off may hold what they wrote
            bool fileByte = at < mutant_.size() && (unsigned char)buf[i] == mutant_[at];
            if (buf[i] != st.value[i] && !(changed && (fileByte || afterWrites))) {
                ADD_FAILURE() << "byte " << i << " of " << what << " is "
                              << (int)(unsigned char)buf[i] << ", written "
                              << (int)(unsigned char)st.value[i];
                return;
            }
        }
        if (st.value.size() > 16384) {          // the second piece on its own
            char part[8];
            ULONG m = sizeof part;
            USHORT rcPart = call("PrfQueryProfileDataOffset", [&] {
                return PrfQueryProfileDataOffset(h, sec.c_str(), key.c_str(), 16380, part, &m);
            });
            code(rcPart, "PrfQueryProfileDataOffset");
        }
    }

    /* Lists sections and their keys: every name listed was written there. */
    void list(HPRF h)
    {
        std::string buf(8192, '\0');
        USHORT rc = call("PrfQueryProfileString", [&] {
            return PrfQueryProfileString(h, NULL, NULL, NULL, &buf[0], (ULONG)buf.size());
        });
        code(rc, "PrfQueryProfileString (sections)");
        if (rc == 0) {
            for (const std::string &s : split(buf.c_str()))
                EXPECT_TRUE(p_.model.count(s)) << "section " << s << " listed, " << where();
        }
        for (const auto &[sec, keys] : p_.model) {
            rc = call("PrfQueryProfileString", [&] {
                return PrfQueryProfileString(h, sec.c_str(), NULL, NULL, &buf[0], (ULONG)buf.size());
            });
            code(rc, "PrfQueryProfileString (keys)");
            if (rc == 0) {
                for (const std::string &k : split(buf.c_str()))
                    EXPECT_TRUE(keys.count(k)) << "key " << sec << "/" << k << " listed, " << where();
            }
        }
    }

private:
    const Bytes &mutant_;
    const PrfSeed &p_;

    static std::vector<std::string> split(const char *list)
    {
        std::vector<std::string> out;
        std::string cur;
        for (const char *c = list; *c; c++) {
            if (*c == '~') {
                out.push_back(cur);
                cur.clear();
            } else {
                cur += *c;
            }
        }
        return out;
    }
};

/* Reads every key of the model, lists and checks the profile. */
void readEverything(Checker &run, HPRF h, const PrfSeed &p)
{
    for (const auto &[sec, keys] : p.model)
        for (const auto &[key, st] : keys)
            run.readKey(h, sec, key, st);
    run.list(h);
    run.code(call("PrfCheckConsistent", [&] { return PrfCheckConsistent(h); }),
             "PrfCheckConsistent");
}

/* Every call on one mutant; true when it opened.  An open costs a few
 * milliseconds of system calls (the cross-process open guard), so most
 * mutants are opened once, for writing, and read before they are changed;
 * one in eight is first read through a read-only open as well. */
bool exercise(const Bytes &mutant, size_t which, std::mt19937_64 &rng)
{
    const PrfSeed &p = seeds()[which];
    Checker run(mutant, p);
    prftest::bytesOf(kName) = mutant;
    HPRF h = nullptr;
    USHORT rc;
    if (rng() % 8 == 0) {
        rc = call("PrfOpenProfileOnVbf (read-only)", [&] {
            return PrfOpenProfileOnVbf(NULL, &h, kName, PRF_OPEN_READONLY, memvbf::table());
        });
        run.code(rc, "PrfOpenProfileOnVbf (read-only)");
        if (rc == 0) {
            readEverything(run, h, p);
            run.code(call("PrfCloseProfile", [&] { return PrfCloseProfile(h); }), "PrfCloseProfile");
        }
        h = nullptr;
    }
    rc = call("PrfOpenProfileOnVbf", [&] {
        return PrfOpenProfileOnVbf(NULL, &h, kName, 0, memvbf::table());
    });
    run.code(rc, "PrfOpenProfileOnVbf");
    if (rc)
        return false;
    readEverything(run, h, p);

    // Changes to the damaged file.
    std::string v(1 + rng() % 20000, 'n');
    run.code(call("PrfWriteProfileData", [&] {
        return PrfWriteProfileData(h, "alpha", "k1", v.data(), (ULONG)v.size());
    }), "PrfWriteProfileData");
    run.code(call("PrfWriteProfileString", [&] {
        return PrfWriteProfileString(h, "fresh", "k", "v");
    }), "PrfWriteProfileString");
    run.code(call("PrfWriteProfileData (delete)", [&] {
        return PrfWriteProfileData(h, "beta", "k2", nullptr, 0);
    }), "PrfWriteProfileData (delete)");
    run.code(call("PrfDestroySection", [&] { return PrfDestroySection(h, "gamma"); }),
             "PrfDestroySection");
    run.code(call("PrfCreateSection", [&] { return PrfCreateSection(h, "made"); }),
             "PrfCreateSection");
    // its pieces stay where they were: only its key table moves
    run.readKey(h, "alpha", "k2", p.model.at("alpha").at("k2"), true);
    run.code(call("PrfCloseProfile", [&] { return PrfCloseProfile(h); }), "PrfCloseProfile");
    return true;
}

TEST(MutatePrf, TenThousandMutantsAnswerWithCodesAndNeverAnUnwrittenValue)
{
    unsigned opened = 0, runs = 0;
    sweep(2, plainSeeds(seeds()), [&](const Bytes &mutant, size_t which, std::mt19937_64 &rng) {
        runs++;
        opened += exercise(mutant, which, rng);
    });
    EXPECT_GT(opened, runs / 4);
}

} // namespace
