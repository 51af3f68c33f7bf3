// The index's fast paths (the node cache's hash table, nodes used where
// the cache keeps them, word-wise key comparison) against the plain ways
// they replace: the same random workload runs once with them and once
// without, and every call's answer (result, error word, key, record), the
// four performance counters after every call and the final file bytes must
// agree.  The workloads mix changes, searches, steps and prefix counts with
// cache resizes and reopens, over several key lengths, node sizes and cache
// sizes, in shared and unshared mode, on in-memory and real files, and with
// reads and writes that fail now and then.  Smaller cases check the key
// comparison against memcmp and that the switch really changes the path.
#include <gtest/gtest.h>
#include <cstring>
#include <random>
#include <set>
#include <string>
#include <vector>
#include "index/ixdint.h"
#include "memvbf.h"
#include "testutil.h"

namespace {

using orin::ixd::setFastPaths;

/* Restores the fast paths whatever a test did. */
struct FastPathsOn {
    ~FastPathsOn() { setFastPaths(true); }
};

struct Config {
    const char *label;
    USHORT keyLen, nodeSize, cacheSlots;
    ULONG shared;
    unsigned positions;        /* key bytes that vary */
    unsigned steps, seed;
    long readEvery, writeEvery;   /* memvbf faults, 0: none */
    bool realFile;
};

/* One call's answer and the counters after it. */
struct Step {
    std::string what;
    USHORT rc = 0;
    ULONG err = 0;
    std::string key;
    ULONG rec = 0;
    ULONG counters[4] = {};
    bool operator==(const Step &o) const
    {
        return what == o.what && rc == o.rc && err == o.err && key == o.key && rec == o.rec &&
               std::memcmp(counters, o.counters, sizeof counters) == 0;
    }
};

std::ostream &operator<<(std::ostream &os, const Step &s)
{
    return os << s.what << " rc " << s.rc << " err " << s.err << " rec " << s.rec
              << " hits " << s.counters[0] << " fails " << s.counters[1] << " reads "
              << s.counters[2] << " writes " << s.counters[3];
}

struct Trace {
    std::vector<Step> steps;
    std::string file;
};

/* Bytes that sort around the sign bit and the ends, so that a comparison
 * treating bytes as signed, or words in the wrong byte order, goes wrong. */
const BYTE kAlphabet[] = {0x00, 0x01, 0x41, 0x7F, 0x80, 0xC3, 0xFE, 0xFF};
const ULONG kRecords[] = {0, 1, 0x7F, 0x80, 0xFF, 0x100, 0x01000000, 0x80000000, 0xFFFFFFFF};
const USHORT kCacheSizes[] = {0, 1, 2, 3, 7, 50, 1000};

class Workload {
public:
    Workload(const Config &c, const std::string &name, VBFFUNCS *funcs)
        : c_(c), name_(name), funcs_(funcs), rng_(c.seed)
    {
        for (unsigned i = 0; i < c.positions; i++)
            positions_.push_back(c.positions == 1 ? 0 : i * (c.keyLen - 1) / (c.positions - 1));
    }

    /* Runs the workload; the handle is closed at the end. */
    Trace run()
    {
        Trace t;
        IxdSetCacheSize(c_.cacheSlots);
        ULONG err = 0;
        ix_ = IxdCreate(name_.c_str(), c_.keyLen, c_.shared, c_.nodeSize, 64, funcs_, &err);
        if (ix_ == nullptr) {
            ADD_FAILURE() << "create failed " << err;
            return t;
        }
        for (unsigned i = 0; i < c_.steps && ix_ != nullptr; i++)
            t.steps.push_back(step());
        IxdClose(ix_);
        t.file = funcs_ != nullptr ? memvbf::bytes(name_) : testutil::readFile(name_);
        IxdSetCacheSize(IXD_DEFAULT_CACHE);
        return t;
    }

private:
    const Config &c_;
    std::string name_;
    VBFFUNCS *funcs_;
    std::mt19937 rng_;
    std::vector<unsigned> positions_;
    PIX ix_ = nullptr;
    bool broken_ = false;              /* a change failed: the handle takes no more */
    std::set<std::string> present_;    /* stored keys entered and not removed */

    std::string randomKey()
    {
        std::string k(c_.keyLen, '\x41');
        for (unsigned p : positions_)
            k[p] = (char)kAlphabet[rng_() % sizeof kAlphabet];
        return k;
    }

    static std::string stored(const std::string &k, ULONG rec)
    {
        std::string s = k;
        for (int i = 0; i < 4; i++)
            s += (char)(rec >> (8 * i));
        return s;
    }

    /* Closes the handle and opens the file again, with read locks off so
     * that a file a failed change left marked inconsistent opens too; a
     * failing read may need a second try. */
    void reopen(Step *s)
    {
        s->what = "reopen";
        IxdClose(ix_);
        ULONG allowed = IxdAllowReadlock(0);
        for (int tries = 0; tries < 3; tries++) {
            ix_ = IxdOpen(name_.c_str(), c_.keyLen, c_.shared, funcs_, &s->err);
            if (ix_ != nullptr)
                break;
        }
        IxdAllowReadlock(allowed);
        s->rc = ix_ == nullptr;
        broken_ = false;
    }

    /* A change that failed part way stops the handle's changes. */
    void noteChange(const Step &s)
    {
        broken_ = s.rc != 0 && (s.err == IXD_ERR_IO || s.err == IXD_ERR_BAD_FILE);
    }

    /* Mostly a pair that is in the index. */
    void existingPair(std::string *k, ULONG *rec)
    {
        if (present_.empty() || rng_() % 4 == 0)
            return;
        auto it = present_.lower_bound(stored(*k, 0));
        if (it == present_.end())
            it = present_.begin();
        *k = it->substr(0, c_.keyLen);
        *rec = (ULONG)(BYTE)(*it)[c_.keyLen] | (ULONG)(BYTE)(*it)[c_.keyLen + 1] << 8 |
               (ULONG)(BYTE)(*it)[c_.keyLen + 2] << 16 | (ULONG)(BYTE)(*it)[c_.keyLen + 3] << 24;
    }

    Step step()
    {
        Step s;
        unsigned op = rng_() % 1000;
        std::string k = randomKey();
        ULONG rec = kRecords[rng_() % (sizeof kRecords / sizeof kRecords[0])];
        s.key.assign(c_.keyLen, '?');
        void *out = &s.key[0];
        if (broken_) {
            reopen(&s);
        } else if (op < 350) {
            s.what = "enter";
            s.rc = IxdEnter(ix_, k.data(), rec, &s.err);
            if (s.rc == 0)
                present_.insert(stored(k, rec));
            noteChange(s);
        } else if (op < 520) {
            existingPair(&k, &rec);
            std::string key = stored(k, rec);
            if (op < 490) {
                s.what = "remove";
                s.rc = IxdRemove(ix_, k.data(), rec, &s.err);
            } else {
                s.what = "remove-key";
                s.rc = IxdRemoveKey(ix_, key.data(), &s.err);
            }
            if (s.rc == 0)
                present_.erase(key);
            noteChange(s);
        } else if (op < 580) {
            s.what = "search";
            s.rc = IxdSearch(ix_, k.data(), out, &s.rec, &s.err);
        } else if (op < 630) {
            s.what = "search-back";
            s.rc = IxdSearchBack(ix_, k.data(), out, &s.rec, &s.err);
        } else if (op < 670) {
            existingPair(&k, &rec);
            s.what = "search-id";
            s.rc = IxdSearchID(ix_, k.data(), rec, out, &s.rec, &s.err);
        } else if (op < 700) {
            existingPair(&k, &rec);
            s.what = "retrieve";
            s.rc = IxdRetrieve(ix_, k.data(), rec, &s.err);
        } else if (op < 715) {
            s.what = "first";
            s.rc = IxdFirst(ix_, out, &s.rec, &s.err);
        } else if (op < 730) {
            s.what = "last";
            s.rc = IxdLast(ix_, out, &s.rec, &s.err);
        } else if (op < 830) {
            s.what = "next";
            s.rc = IxdNext(ix_, out, &s.rec, &s.err);
        } else if (op < 900) {
            s.what = "prev";
            s.rc = IxdPrev(ix_, out, &s.rec, &s.err);
        } else if (op < 960) {
            s.what = "skip";
            s.rc = IxdSkipkey(ix_, (SHORT)((int)(rng_() % 61) - 30), out, &s.rec, &s.err);
        } else if (op < 990) {
            s.what = "count";
            std::string prefix = k.substr(0, positions_.size() > 1 ? positions_[1] : 1);
            prefix.resize(std::strlen(prefix.c_str()));   // up to the first zero byte
            s.rc = IxdGetNrRecords(ix_, prefix.c_str(), &s.rec);
        } else if (op < 995) {
            s.what = "resize cache";
            s.rc = IxdChandeIndexMode(ix_, c_.shared, kCacheSizes[rng_() % 7]);
        } else {
            reopen(&s);
        }
        static const ULONG masks[] = {IXD_COUNT_CACHE_HITS, IXD_COUNT_CACHE_FAILS,
                                      IXD_COUNT_NODE_READS, IXD_COUNT_NODE_WRITES};
        for (int i = 0; i < 4 && ix_ != nullptr; i++)
            s.counters[i] = IxdQueryPerformanceCounter(ix_, masks[i], 0);
        return s;
    }
};

/* The workload with the fast paths on or off, starting from the same
 * fault counts. */
Trace runWith(const Config &c, bool fast)
{
    setFastPaths(fast);
    memvbf::faults() = memvbf::Faults{c.readEvery, c.writeEvery};
    testutil::ScratchFile real(fast ? "fastpath_on.ixd" : "fastpath_off.ixd");
    Trace t = c.realFile ? Workload(c, real.name, nullptr).run()
                         : Workload(c, fast ? "on.ixd" : "off.ixd", memvbf::table()).run();
    memvbf::faults() = memvbf::Faults{};
    setFastPaths(true);
    return t;
}

::testing::AssertionResult sameTraces(const Trace &on, const Trace &off)
{
    if (on.steps.size() != off.steps.size())
        return ::testing::AssertionFailure() << on.steps.size() << " steps against "
                                             << off.steps.size();
    for (size_t i = 0; i < on.steps.size(); i++)
        if (!(on.steps[i] == off.steps[i]))
            return ::testing::AssertionFailure() << "step " << i << ": fast " << on.steps[i]
                                                 << ", plain " << off.steps[i];
    if (on.file != off.file)
        return ::testing::AssertionFailure() << "final files differ (" << on.file.size()
                                             << " and " << off.file.size() << " bytes)";
    return ::testing::AssertionSuccess();
}

/* The calls that did what the workload is there for. */
size_t countCalls(const Trace &t, const std::string &what, USHORT rc, ULONG err)
{
    size_t n = 0;
    for (const Step &s : t.steps)
        n += s.what == what && s.rc == rc && s.err == err;
    return n;
}

void compare(const Config &c)
{
    SCOPED_TRACE(c.label);
    FastPathsOn restore;
    Trace on = runWith(c, true), off = runWith(c, false);
    ASSERT_TRUE(sameTraces(on, off));
    // the workload reached the paths it is meant to compare; a failing file
    // may end up too damaged to open again, which ends the run early
    bool faults = c.readEvery + c.writeEvery > 0;
    EXPECT_GT(countCalls(on, "enter", 0, 0), c.steps / (faults ? 50 : 10));
    EXPECT_GT(countCalls(on, "next", 0, 0) + countCalls(on, "next", 0, IXD_ERR_KEY_VANISHED), 0u);
    EXPECT_GT(countCalls(on, "search", 0, 0), 0u);
    if (faults) {
        EXPECT_GT(countCalls(on, "enter", IXD_FAILED, IXD_ERR_IO), 0u);
        EXPECT_GT(countCalls(on, "reopen", 0, 0), 0u);
    }
}

} // namespace

TEST(IxdFastPaths, SameAnswersCountersAndBytesInMemory)
{
    const Config configs[] = {
        // label, key, node, cache, shared, varying bytes, steps, seed, faults, real file
        {"stored keys of 5 bytes, two entries per node", 1, 28, 50, 0, 1, 20000, 1, 0, 0, false},
        {"one word keys, deep tree", 4, 34, 50, 0, 3, 60000, 2, 0, 0, false},
        {"word and a half, 4 KiB nodes", 8, 4096, 50, 0, 4, 60000, 3, 0, 0, false},
        {"three words and a byte, small cache", 13, 120, 3, 0, 4, 60000, 4, 0, 0, false},
        {"one slot", 6, 64, 1, 0, 3, 40000, 5, 0, 0, false},
        {"no cache", 6, 64, 0, 0, 3, 30000, 6, 0, 0, false},
        {"1000 slots of small nodes", 3, 40, 1000, 0, 3, 60000, 7, 0, 0, false},
        {"shared mode writes through", 9, 200, 50, 1, 4, 40000, 8, 0, 0, false},
        {"long keys", 33, 512, 50, 0, 4, 40000, 9, 0, 0, false},
    };
    for (const Config &c : configs)
        compare(c);
}

TEST(IxdFastPaths, SameAfterFailingReadsAndWrites)
{
    const Config configs[] = {
        {"reads fail", 5, 60, 7, 0, 3, 30000, 11, 97, 0, false},
        {"writes fail: write-back and placement", 5, 60, 3, 0, 3, 30000, 12, 0, 53, false},
        {"both fail, shared", 7, 90, 5, 1, 3, 20000, 13, 89, 61, false},
    };
    for (const Config &c : configs)
        compare(c);
}

TEST(IxdFastPaths, SameOnRealFiles)
{
    compare({"real file, unshared", 8, 256, 20, 0, 4, 15000, 21, 0, 0, true});
    compare({"real file, shared", 8, 256, 20, 1, 4, 5000, 22, 0, 0, true});
}

TEST(IxdFastPaths, WordwiseComparisonOrdersLikeMemcmp)
{
    std::mt19937 rng(31);
    BYTE a[40], b[40];
    for (int round = 0; round < 200000; round++) {
        size_t n = rng() % sizeof a;
        for (size_t i = 0; i < n; i++)
            a[i] = b[i] = kAlphabet[rng() % sizeof kAlphabet];
        if (n > 0 && rng() % 4 != 0)   // one differing byte somewhere, or none
            b[rng() % n] = kAlphabet[rng() % sizeof kAlphabet];
        int want = std::memcmp(a, b, n), got = orin::ixd::compareBytes(a, b, n);
        ASSERT_EQ(want < 0, got < 0) << "length " << n;
        ASSERT_EQ(want == 0, got == 0) << "length " << n;
    }
}

TEST(IxdFastPaths, SwitchChoosesBetweenSlotAndCopy)
{
    FastPathsOn restore;
    ULONG err = 0;
    PIX h = IxdCreate("switch.ixd", 4, 0, 64, 0, memvbf::table(), &err);
    ASSERT_NE(h, nullptr) << err;
    IX *ix = orin::ixd::handles.get(h);
    ASSERT_NE(ix, nullptr);
    const BYTE *slotsBegin = ix->slotBuf.data(), *slotsEnd = slotsBegin + ix->slotBuf.size();
    for (bool fast : {true, false}) {
        setFastPaths(fast);
        BYTE *bytes = nullptr;
        ASSERT_EQ(orin::ixd::nodeFetch(ix, ix->hdr.root, &bytes), 0);
        bool inSlot = bytes >= slotsBegin && bytes < slotsEnd;
        EXPECT_EQ(inSlot, fast);
        EXPECT_EQ(bytes == ix->nodeView.data(), !fast);
    }
    IxdClose(h);
}
