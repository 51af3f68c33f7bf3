// The memory a profile file's handler keeps (tables of every section,
// key indexes, value pieces, the header's last checksum) must change no
// result and no byte: the same random workload runs with it and without
// it, and every answer and the final file must be the same.  Also: the
// kept bytes stay within the limit, and a profile shared by two handles
// sees the other's changes.  The same holds for the lean block-file I/O
// (one count check per lock hold, header writes gathered to the end of a
// message, unchanged block headers and key tables not written again).
#include <gtest/gtest.h>
#include <functional>
#include <random>
#include <string>
#include <vector>
#include "prftest.h"
#include "profile/prffal.h"

using namespace prftest;

namespace {

/* Turns the cache on or off (and sets its limit) for the profiles opened
 * in its scope. */
class CacheSetting {
public:
    CacheSetting(bool on, size_t limit = orin::prf::kDefaultCacheLimit)
        : on_(orin::prf::caching()), limit_(orin::prf::cacheLimit())
    {
        orin::prf::setCaching(on);
        orin::prf::setCacheLimit(limit);
    }
    ~CacheSetting()
    {
        orin::prf::setCaching(on_);
        orin::prf::setCacheLimit(limit_);
    }

private:
    bool on_;
    size_t limit_;
};

/* Turns the lean block-file I/O on or off for the files opened in its
 * scope. */
class LeanSetting {
public:
    explicit LeanSetting(bool on) : on_(orin::fal::leanIo()) { orin::fal::setLeanIo(on); }
    ~LeanSetting() { orin::fal::setLeanIo(on_); }

private:
    bool on_;
};

constexpr size_t kCountOffset = 8;      /* the block file's update count */

const char *const kSections[] = { "alpha", "Alpha", "beta", "gamma", "delta", "s1", "s2",
                                  "s3", "s4", "s5", "s6", "s7", "s8", "s9", "ab", "ba" };
constexpr int kKeyNames = 10;

std::string keyName(int i) { return "key" + std::to_string(i); }

/* Runs `steps` random calls on handle(s) given by `pick` and writes each
 * call's answer into the log.  The same seed gives the same calls. */
struct Workload {
    std::mt19937 rng;
    std::vector<std::string> log;
    explicit Workload(unsigned seed) : rng(seed) {}

    unsigned below(unsigned n) { return rng() % n; }
    std::string data(ULONG len)
    {
        std::string d(len, '\0');
        for (auto &c : d)
            c = (char)('a' + below(26));
        return d;
    }
    void note(const std::string &what, USHORT rc, const std::string &out = "")
    {
        log.push_back(what + " rc=" + std::to_string(rc) + " " + out);
    }
    ULONG length()
    {
        switch (below(8)) {
        case 0: return below(40000);
        case 1: return 0;
        default: return below(300);
        }
    }

    void step(HPRF h)
    {
        const char *s = kSections[below(sizeof kSections / sizeof *kSections)];
        std::string k = keyName((int)below(kKeyNames));
        std::string id = std::string(s) + "/" + k;
        int op = (int)below(100);
        if (op < 30) {
            std::string d = data(length());
            note("write " + id, PrfWriteProfileData(h, s, k.c_str(), d.data(), (ULONG)d.size()));
        } else if (op < 36) {
            std::string d = data(length());
            ULONG off = below(40000);
            note("offset " + id,
                 PrfWriteProfileDataOffset(h, s, k.c_str(), off, d.data(), (ULONG)d.size()));
        } else if (op < 40) {
            note("size " + id, PrfSetProfileDataSize(h, s, k.c_str(), below(40000)));
        } else if (op < 45) {
            note("delete " + id, PrfWriteProfileData(h, s, k.c_str(), NULL, 0));
        } else if (op < 47) {
            note("clear " + std::string(s), PrfWriteProfileData(h, s, NULL, NULL, 0));
        } else if (op < 49) {
            note("destroy " + std::string(s), PrfDestroySection(h, s));
        } else if (op < 51) {
            note("create " + std::string(s), PrfCreateSection(h, s));
        } else if (op < 53) {
            note("lock " + std::string(s),
                 PrfLockSection(h, s, (BOOL)below(2), (BOOL)below(2)));
        } else if (op < 80) {
            std::string buf(45000, '\0');
            ULONG n = (ULONG)buf.size();
            USHORT rc = PrfQueryProfileData(h, s, k.c_str(), &buf[0], &n);
            note("read " + id, rc, std::to_string(n) + ":" + buf.substr(0, n));
        } else if (op < 88) {
            std::string buf(5000, '\0');
            ULONG n = below(5000), off = below(40000);
            USHORT rc = PrfQueryProfileDataOffset(h, s, k.c_str(), off, &buf[0], &n);
            note("part " + id, rc, std::to_string(n) + ":" + buf.substr(0, n));
        } else if (op < 93) {
            ULONG size = 0;
            USHORT rc = PrfQueryProfileSize(h, s, k.c_str(), &size);
            note("querysize " + id, rc, std::to_string(size));
        } else if (op < 97) {
            std::string buf(2000, '\0');
            ULONG n = (ULONG)buf.size();
            USHORT rc = PrfQueryProfileData(h, s, NULL, &buf[0], &n);
            note("keys " + std::string(s), rc, buf.substr(0, n));
        } else if (op < 99) {
            std::string buf(2000, '\0');
            ULONG n = (ULONG)buf.size();
            USHORT rc = PrfQueryProfileData(h, NULL, NULL, &buf[0], &n);
            note("sections", rc, buf.substr(0, n));
        } else {
            note("check", PrfCheckConsistent(h));
        }
    }
};

/* The log and the final bytes of one run on a fresh profile. */
struct Outcome {
    std::vector<std::string> log;
    std::vector<unsigned char> bytes;
};

Outcome runAlone(bool cached, size_t limit, unsigned seed, int steps, const std::string &file)
{
    CacheSetting setting(cached, limit);
    Workload w(seed);
    MemProfile p(file);
    for (int i = 0; i < steps; i++) {
        if (i % 500 == 499)
            w.note("reopen", p.reopen());
        else if (i % 300 == 150)
            w.note("transaction", PrfTransaction(p.h, TRUE));
        else if (i % 300 == 160)
            w.note("transaction end", PrfTransaction(p.h, FALSE));
        else
            w.step(p.h);
        if (cached) {
            PRFFAL *st = prffStateOf(p.h);
            EXPECT_TRUE(st && st->cache.bytes() <= limit) << "step " << i;
        }
    }
    w.note("check", PrfCheckConsistent(p.h));
    p.close();
    return { w.log, bytesOf(file) };
}

void expectSame(const Outcome &with, const Outcome &without)
{
    ASSERT_EQ(with.log.size(), without.log.size());
    for (size_t i = 0; i < with.log.size(); i++)
        ASSERT_EQ(with.log[i], without.log[i]) << "call " << i;
    EXPECT_TRUE(with.bytes == without.bytes) << "the files differ";
}

TEST(PrfCache, RandomWorkloadGivesTheSameAnswersAndBytes)
{
    for (unsigned seed : { 1u, 2u, 3u }) {
        Outcome with = runAlone(true, orin::prf::kDefaultCacheLimit, seed, 3000, "cached.prf");
        Outcome without = runAlone(false, orin::prf::kDefaultCacheLimit, seed, 3000, "plain.prf");
        SCOPED_TRACE(seed);
        expectSame(with, without);
    }
}

// A limit far below what the workload touches: tables and pieces are
// dropped over and over, and still nothing changes.
TEST(PrfCache, SmallLimitGivesTheSameAnswersAndBytes)
{
    for (size_t limit : { (size_t)0, (size_t)3000, (size_t)40000 }) {
        Outcome with = runAlone(true, limit, 7, 2000, "cached.prf");
        Outcome without = runAlone(false, limit, 7, 2000, "plain.prf");
        SCOPED_TRACE(limit);
        expectSame(with, without);
    }
}

// Two handles share one file and take turns; each must see the other's
// changes, cached or not.
Outcome runShared(bool cached, unsigned seed, int steps, const std::string &file)
{
    CacheSetting setting(cached);
    Workload w(seed);
    MemProfile a(file, true, PRF_OPEN_SHARED);
    MemProfile b(file, false, PRF_OPEN_SHARED);
    for (int i = 0; i < steps; i++)
        w.step(w.below(2) ? a.h : b.h);
    a.close();
    b.close();
    return { w.log, bytesOf(file) };
}

TEST(PrfCache, SharedHandlesSeeEachOthersChanges)
{
    for (unsigned seed : { 11u, 12u }) {
        Outcome with = runShared(true, seed, 2000, "cached.prf");
        Outcome without = runShared(false, seed, 2000, "plain.prf");
        SCOPED_TRACE(seed);
        expectSame(with, without);
    }
}

// The plain case spelled out: a value written through one shared handle
// is read through the other, which had the old value in memory.
TEST(PrfCache, LeanIoGivesTheSameAnswersAndBytes)
{
    for (unsigned seed : { 21u, 22u }) {
        Outcome lean, plain;
        {
            LeanSetting on(true);
            lean = runAlone(true, orin::prf::kDefaultCacheLimit, seed, 3000, "lean.prf");
        }
        {
            LeanSetting off(false);
            plain = runAlone(true, orin::prf::kDefaultCacheLimit, seed, 3000, "plain.prf");
        }
        SCOPED_TRACE(seed);
        expectSame(lean, plain);
    }
}

// Shared handles taking turns: the header writes a lean handle gathers
// must leave the same file, and each handle must still see the other's
// changes (the count it checks once per call moved).
TEST(PrfCache, LeanIoOnSharedHandlesGivesTheSameAnswersAndBytes)
{
    for (unsigned seed : { 31u, 32u }) {
        Outcome lean, plain;
        {
            LeanSetting on(true);
            lean = runShared(true, seed, 2000, "lean.prf");
        }
        {
            LeanSetting off(false);
            plain = runShared(true, seed, 2000, "plain.prf");
        }
        SCOPED_TRACE(seed);
        /* A shared file's update count counts the block calls that changed
         * something; the lean handles leave out rewrites of unchanged key
         * tables, so theirs may end lower.  Every other byte is the same. */
        ASSERT_GT(lean.bytes.size(), kCountOffset + 2);
        unsigned leanCount = u16(lean.bytes, kCountOffset);
        unsigned plainCount = u16(plain.bytes, kCountOffset);
        EXPECT_LE(leanCount, plainCount);
        lean.bytes[kCountOffset] = plain.bytes[kCountOffset];
        lean.bytes[kCountOffset + 1] = plain.bytes[kCountOffset + 1];
        expectSame(lean, plain);
    }
}

// A write that runs out of room in a full key table fails before it writes
// anything, but may leave the table in hand half edited (a new key record
// in memory without its piece): that table must not be trusted afterwards,
// while the rest of what is kept still may be.
std::vector<std::string> fillKeyTable(bool cached, const std::string &file)
{
    CacheSetting setting(cached);
    std::vector<std::string> log;
    MemProfile p(file);
    const int keys = 1000;
    for (int i = 0; i < keys; i++) {
        char name[8];
        snprintf(name, sizeof name, "k%04d", i);
        EXPECT_EQ(PrfWriteProfileString(p.h, "s", name, "v"), 0);
    }
    EXPECT_EQ(PrfWriteProfileString(p.h, "other", "k", "kept"), 0);
    /* Key table: 12-byte head, "s" and its NUL, then records of 8 bytes, the
     * name and its NUL and 4 bytes per piece.  The longest names that still
     * fit without a piece but not with one fail only when the piece is added. */
    const size_t tableMax = 0x10000 - 128 - 8, used = 14 + (size_t)keys * (8 + 6 + 4);
    int refused = 0;
    for (size_t d = 0; d < 8; d++) {
        std::string name(tableMax - used - 9 - d, (char)('a' + d));
        USHORT rc = PrfWriteProfileString(p.h, "s", name.c_str(), "long");
        refused += rc == ORIN_ERR_NO_MEMORY;
        ULONG size = 0;
        USHORT rc2 = PrfQueryProfileSize(p.h, "s", name.c_str(), &size);
        log.push_back(std::to_string(d) + " " + std::to_string(rc) + " " + std::to_string(rc2)
                      + " " + std::to_string(size));
        log.push_back(p.get("other", "k"));
        EXPECT_EQ(PrfQueryProfileSize(p.h, "s", NULL, &size), 0);
        log.push_back("keys " + std::to_string(size));
    }
    EXPECT_GE(refused, 4);
    EXPECT_EQ(PrfCheckConsistent(p.h), 0);
    return log;
}

TEST(PrfCache, WriteThatFindsTheTableFullLeavesNoTrace)
{
    std::vector<std::string> with = fillKeyTable(true, "cached.prf");
    std::vector<std::string> without = fillKeyTable(false, "plain.prf");
    EXPECT_EQ(with, without);
    EXPECT_TRUE(bytesOf("cached.prf") == bytesOf("plain.prf"));
}

// Many keys in one section: the key index grows and follows records that
// move when values before them change size or go.
TEST(PrfCache, KeyIndexFollowsEdits)
{
    CacheSetting setting(true);
    MemProfile p("index.prf");
    for (int i = 0; i < 300; i++)
        ASSERT_EQ(PrfWriteProfileString(p.h, "s", keyName(i).c_str(), keyName(i).c_str()), 0);
    std::string big(50000, 'x');
    for (int i = 0; i < 300; i += 7)
        ASSERT_EQ(PrfWriteProfileData(p.h, "s", keyName(i).c_str(), big.data(), (ULONG)big.size()),
                  0);
    for (int i = 3; i < 300; i += 11)
        ASSERT_EQ(PrfWriteProfileData(p.h, "s", keyName(i).c_str(), NULL, 0), 0);
    for (int i = 0; i < 300; i++) {
        std::string want = i % 11 == 3 ? "<missing>" : i % 7 == 0 ? big : keyName(i);
        ASSERT_EQ(p.get("s", keyName(i).c_str()), want) << i;
    }
    EXPECT_EQ(p.get("s", "key300"), "<missing>");
}

}  // namespace
