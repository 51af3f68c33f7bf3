// Damaged Ixd index files: ten thousand mutants of two seed indexes (small
// nodes with many levels, and larger nodes with runs of equal keys), each
// opened, counted, walked both ways, searched, skipped, its user area read,
// then entered into and removed from, and closed.
//
// An index file carries no checksum.  What it promises: every call answers
// 0 or IXD_FAILED with a code of the family, every walk ends, and a pair
// (key, record) answered with success was entered into the index at some
// time or stands, as its ten stored bytes, in the damaged file - a read
// never makes up a pair.  A file whose first bytes are exactly the seed's
// (junk appended only) still finds every pair entered and not removed.
#include <gtest/gtest.h>
#include <algorithm>
#include <set>
#include "mutate.h"
#include "memvbf.h"
#include "index/ixdcheck.h"
#include "index/ixdprobe.h"

using namespace mutate;

namespace {

const char *const kName = "mut.ixd";
const USHORT kKeyLen = 6;
const ULONG kUserSize = 100;

struct IxdSeed {
    Seed seed;
    std::set<std::string> everEntered;   // stored keys: key and record
    std::set<std::string> present;       // entered and not removed
};

std::string keyOf(unsigned v)
{
    char k[16];
    snprintf(k, sizeof k, "k%05u", v % 100000);
    return std::string(k, kKeyLen);
}

std::string stored(const std::string &key, ULONG rec)
{
    std::string s = key;
    for (int i = 0; i < 4; i++)
        s += static_cast<char>(rec >> (8 * i));
    return s;
}

std::string asString(const Bytes &b) { return std::string(b.begin(), b.end()); }

void describe(IxdSeed &x)
{
    Seed &s = x.seed;
    const std::string b = asString(s.bytes);
    auto h = ixdcheck::header(b);
    s.units.push_back({0, 48});
    s.units.push_back({h.userOff, h.userSize});
    for (size_t at : {10, 14, 28, 32, 36, 40, 44})
        addU32(s, at);
    for (size_t at : {18, 20, 22, 24, 26})
        addU16(s, at);
    for (uint32_t n = 0; n < h.nNodes; n++) {
        size_t at = h.node0 + (size_t)n * h.nodeSize;
        s.units.push_back({at, h.nodeSize});
        addU32(s, at);
        addU32(s, at + 4);
        addU16(s, at + 8);
        addU32(s, at + 10 + h.storedKeyLen);        // first entry's pointer
    }
}

IxdSeed build(unsigned n, USHORT nodeSize, unsigned dupEvery)
{
    IxdSeed x;
    memvbf::files().erase(kName);
    ULONG err = 0;
    PIX ix = IxdCreate(kName, kKeyLen, 0, nodeSize, kUserSize, memvbf::table(), &err);
    EXPECT_NE(ix, nullptr) << err;
    if (!ix)
        return x;
    std::string user(kUserSize, 'u');
    ULONG done = 0;
    EXPECT_EQ(IxdUserWrite(ix, user.data(), kUserSize, &done, &err), 0);
    std::vector<unsigned> order(n);
    for (unsigned i = 0; i < n; i++)
        order[i] = i;
    std::shuffle(order.begin(), order.end(), std::mt19937(n));
    for (unsigned v : order) {
        // runs of equal keys told apart by their records
        std::string key = keyOf(dupEvery ? v / dupEvery : v);
        EXPECT_EQ(IxdEnter(ix, key.data(), v, &err), 0);
        x.everEntered.insert(stored(key, v));
        x.present.insert(stored(key, v));
    }
    for (unsigned v = 0; v < n; v += 3) {
        std::string key = keyOf(dupEvery ? v / dupEvery : v);
        EXPECT_EQ(IxdRemove(ix, key.data(), v, &err), 0);
        x.present.erase(stored(key, v));
    }
    IxdClose(ix);
    x.seed.bytes = memvbf::files()[kName].data;
    EXPECT_EQ(ixdcheck::verify(asString(x.seed.bytes)), "");
    describe(x);
    return x;
}

std::vector<IxdSeed> &seeds()
{
    static std::vector<IxdSeed> all = [] {
        std::vector<IxdSeed> v;
        v.push_back(build(300, 64, 0));
        v.push_back(build(1500, 256, 7));
        return v;
    }();
    return all;
}

class Checker {
public:
    Checker(const Bytes &mutant, const IxdSeed &x)
        : x_(x), file_(asString(mutant)), asWritten_(same(mutant, x.seed.bytes, 0, x.seed.bytes.size()))
    {
    }

    /* One call's answer: 0, or IXD_FAILED with a family code. */
    bool code(USHORT rc, const ULONG &err, const char *what)   // err read after the call
    {
        trace(what, rc ? err : 0);
        EXPECT_TRUE(ixdprobe::answered(rc, err)) << what << " answered " << rc << "/" << err
                                                 << " for " << where();
        return rc == 0;
    }

    /* A pair given back with success was entered, or stands in the file. */
    void pair(const char *key, ULONG rec, const char *what)
    {
        std::string s = stored(std::string(key, kKeyLen), rec);
        if (x_.everEntered.count(s) || added_.count(s) || file_.find(s) != std::string::npos)
            return;
        ADD_FAILURE() << what << " gave a pair never entered and not in the file: "
                      << std::string(key, kKeyLen) << "/" << rec << ", " << where();
    }

    void added(const std::string &s) { added_.insert(s); }
    bool asWritten() const { return asWritten_; }
    const IxdSeed &seed() const { return x_; }
    size_t fileSize() const { return file_.size(); }

private:
    const IxdSeed &x_;
    std::string file_;
    bool asWritten_;
    std::set<std::string> added_;      // pairs this run entered
};

/* Walks from one end with a bound: the walk must end with a code. */
void walk(Checker &run, PIX ix, bool backwards, ULONG bound)
{
    char k[kKeyLen];
    ULONG rec = 0, err = 0, steps = 0;
    const char *name = backwards ? "IxdLast/IxdPrev" : "IxdFirst/IxdNext";
    USHORT rc = call(name, [&] {
        return backwards ? IxdLast(ix, k, &rec, &err) : IxdFirst(ix, k, &rec, &err);
    });
    while (run.code(rc, err, name)) {
        run.pair(k, rec, name);
        if (++steps > bound) {
            ADD_FAILURE() << name << " walked past every pair the file can hold, " << where();
            return;
        }
        rc = call(name, [&] {
            return backwards ? IxdPrev(ix, k, &rec, &err) : IxdNext(ix, k, &rec, &err);
        });
    }
}

bool exercise(const Bytes &mutant, size_t which, std::mt19937_64 &rng)
{
    const IxdSeed &x = seeds()[which];
    Checker run(mutant, x);
    memvbf::files()[kName].data = mutant;
    ULONG err = 0;
    PIX ix = call("IxdOpen", [&] { return IxdOpen(kName, kKeyLen, 0, memvbf::table(), &err); });
    if (!ix) {
        EXPECT_TRUE(ixdprobe::familyCode(err)) << "IxdOpen answered " << err << " for " << where();
        EXPECT_FALSE(run.asWritten()) << "sound file refused, " << where();
        return false;
    }
    // every entry takes at least its ten stored bytes
    ULONG bound = (ULONG)(mutant.size() / (kKeyLen + 4)) + 2;
    ULONG count = 0;
    run.code(call("IxdQueryNrKeys", [&] { return IxdQueryNrKeys(ix, &count, &err); }), err,
             "IxdQueryNrKeys");
    walk(run, ix, false, bound);
    walk(run, ix, true, bound);

    // Searches for pairs that are there; a sound tree finds every one.
    auto it = x.present.begin();
    std::advance(it, rng() % (x.present.size() - 20));
    for (int i = 0; i < 20; i++, ++it) {
        const std::string &s = *it;
        ULONG want = (unsigned char)s[6] | (unsigned char)s[7] << 8 | (unsigned char)s[8] << 16 |
                     (ULONG)(unsigned char)s[9] << 24;
        char k[kKeyLen];
        ULONG rec = 0;
        USHORT rc = call("IxdSearchID", [&] {
            return IxdSearchID(ix, s.data(), want, k, &rec, &err);
        });
        if (run.code(rc, err, "IxdSearchID"))
            run.pair(k, rec, "IxdSearchID");
        if (run.asWritten()) {
            EXPECT_EQ(rc, 0) << "pair not found in a sound tree, " << where();
            if (rc == 0) {
                EXPECT_EQ(stored(std::string(k, kKeyLen), rec), s) << where();
            }
        }
        rc = call("IxdSearch", [&] { return IxdSearch(ix, s.data(), k, &rec, &err); });
        if (run.code(rc, err, "IxdSearch"))
            run.pair(k, rec, "IxdSearch");
        rc = call("IxdSkipkey", [&] { return IxdSkipkey(ix, (SHORT)(rng() % 200) - 100, k, &rec, &err); });
        if (run.code(rc, err, "IxdSkipkey"))
            run.pair(k, rec, "IxdSkipkey");
    }
    ULONG n = 0;
    USHORT rc = call("IxdGetNrRecords", [&] { return IxdGetNrRecords(ix, "k0", &n); });
    EXPECT_TRUE(rc == 0 || rc == IXD_FAILED) << where();
    if (rc == 0) {
        EXPECT_LE(n, bound) << where();
    }

    char user[kUserSize];
    ULONG done = 0, pos = 0;
    run.code(call("IxdUserSetPos", [&] { return IxdUserSetPos(ix, 0, IXD_USER_BEGIN, &pos, &err); }),
             err, "IxdUserSetPos");
    rc = call("IxdUserRead", [&] { return IxdUserRead(ix, user, kUserSize, &done, &err); });
    if (run.code(rc, err, "IxdUserRead")) {
        EXPECT_LE(done, kUserSize) << where();
    }

    // Changes to the damaged file, then one more walk.
    for (int i = 0; i < 30; i++) {
        unsigned v = 90000 + (unsigned)(rng() % 5000);
        run.added(stored(keyOf(v), v));
        run.code(call("IxdEnter", [&] { return IxdEnter(ix, keyOf(v).data(), v, &err); }), err,
                 "IxdEnter");
    }
    const std::string &gone = *std::next(x.present.begin(), rng() % x.present.size());
    ULONG goneRec = (unsigned char)gone[6] | (unsigned char)gone[7] << 8 |
                    (unsigned char)gone[8] << 16 | (ULONG)(unsigned char)gone[9] << 24;
    run.code(call("IxdRemove", [&] { return IxdRemove(ix, gone.data(), goneRec, &err); }), err,
             "IxdRemove");
    walk(run, ix, false, bound + 64);
    call("IxdClose", [&] {
        IxdClose(ix);
        return 0;
    });
    return true;
}

TEST(MutateIxd, TenThousandMutantsAnswerWithCodesAndNeverMakeUpAPair)
{
    unsigned opened = 0, runs = 0;
    sweep(3, plainSeeds(seeds()), [&](const Bytes &mutant, size_t which, std::mt19937_64 &rng) {
        runs++;
        opened += exercise(mutant, which, rng);
    });
    EXPECT_GT(opened, runs / 4);
}

} // namespace

namespace {

std::vector<Seed> keptSeeds() { return plainSeeds(seeds()); }

// The mutant that found the fault: a bit flipped in a leaf's pointer made
// the walk hand out a record number never entered (3).
TEST(MutateIxd, KeptMutants)
{
    replay(3, {3}, keptSeeds(), exercise);
}

// A leaf pointer that no longer repeats the record ending its stored key
// makes the pair unreadable: searches and walks answer "bad file" instead
// of handing out the changed record.
TEST(MutateIxd, LeafPointerDisagreeingWithItsKeyIsReported)
{
    const IxdSeed &x = seeds()[0];
    std::string b = asString(x.seed.bytes);
    auto h = ixdcheck::header(b);
    uint32_t leaf = ixdcheck::levels(b, h).back().front();
    size_t entry = h.node0 + (size_t)leaf * h.nodeSize + 10;
    std::string key = b.substr(entry, kKeyLen);
    ULONG rec = ixdcheck::u32(b, entry + kKeyLen);
    b[entry + h.storedKeyLen + 3] ^= 0x40;           // the pointer's top byte
    memvbf::files()[kName].data.assign(b.begin(), b.end());
    ULONG err = 0, got = 0;
    PIX ix = IxdOpen(kName, kKeyLen, 0, memvbf::table(), &err);
    ASSERT_NE(ix, nullptr);
    char k[kKeyLen];
    EXPECT_EQ(IxdFirst(ix, k, &got, &err), IXD_FAILED);
    EXPECT_EQ(err, (ULONG)IXD_ERR_BAD_FILE);
    EXPECT_EQ(IxdSearchID(ix, key.data(), rec, k, &got, &err), IXD_FAILED);
    EXPECT_EQ(err, (ULONG)IXD_ERR_BAD_FILE);
    IxdClose(ix);

    // the sound file hands out the pair
    memvbf::files()[kName].data = x.seed.bytes;
    ix = IxdOpen(kName, kKeyLen, 0, memvbf::table(), &err);
    ASSERT_NE(ix, nullptr);
    EXPECT_EQ(IxdFirst(ix, k, &got, &err), 0);
    EXPECT_EQ(std::string(k, kKeyLen), key);
    EXPECT_EQ(got, rec);
    IxdClose(ix);
}

} // namespace
