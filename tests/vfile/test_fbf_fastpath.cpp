// The buffered files' fast paths (long misses read past the cache,
// several pages read with one call, read-ahead, transfers that name their
// offset) against the plain page-by-page reads that seek before each
// transfer and against an in-memory model of the file.  Seeded
// workloads of seeks, reads of every size, byte and line reads, direct
// reads, writes, size changes, flushes and length queries run through two
// handles on one file while a third handle on another file takes page
// slots away; every result is compared with the model step by step, the
// traces of the runs with the fast paths on and off must be equal, and so
// must the final file bytes.
#include <gtest/gtest.h>
#include <algorithm>
#include <random>
#include <string>
#include "vfile/fbfint.h"
#include "knlnam.h"
#include "testutil.h"

using testutil::ScratchFile;

namespace {

const ULONG kStartSize = 300 * 1024;     // more pages than the whole cache holds
const ULONG kOtherSize = 200 * 1024;
const ULONG kHotSpan = 24 * 1024;        // a region read again and again
const int kSteps = 2500;

std::string pattern(size_t n, unsigned seed)
{
    std::string s(n, '\0');
    for (size_t i = 0; i < n; i++) {
        unsigned v = (unsigned)(i * 2654435761u + seed) >> 13;
        s[i] = (v % 53 == 0) ? '\n' : (v % 71 == 0) ? '\r' : (char)('a' + v % 26);
    }
    return s;
}

HFBF openFbf(const std::string &name, ULONG share = VBF_SHARE_DENY_NONE)
{
    HFBF h = nullptr;
    EXPECT_EQ(FbfOpen((ULONG_PTR)KnlNamGetDefaultNS(), name.c_str(), &h, nullptr, 0, 128, 1,
                      VBF_MODE_READWRITE | share, 0),
              0);
    return h;
}

// The file as the operations should leave it, with each handle's position.
struct Model {
    std::string bytes;
    ULONG pos[2] = {0, 0};

    ULONG readAt(int k, char *dst, ULONG n)
    {
        ULONG p = pos[k];
        ULONG avail = p < bytes.size() ? (ULONG)bytes.size() - p : 0;
        ULONG take = std::min(n, avail);
        if (take != 0)
            bytes.copy(dst, take, p);
        pos[k] += take;
        return take;
    }

    void write(int k, const std::string &data)
    {
        ULONG end = pos[k] + (ULONG)data.size();
        if (bytes.size() < end)
            bytes.resize(end, '\0');
        bytes.replace(pos[k], data.size(), data);
        pos[k] = end;
    }

    void seek(int k, LONG distance, ULONG method)
    {
        long long base = method == 0 ? 0 : method == 1 ? pos[k] : (long long)bytes.size();
        long long target = base + distance;
        pos[k] = target < 0 ? 0 : (ULONG)target;
    }

    // A line as the buffered files read it: to the end of the page first,
    // then the rest of the buffer when that found no CR LF.
    std::string line(int k, ULONG size, ULONG *consumed)
    {
        ULONG start = pos[k], quota = size - 1;
        ULONG first = std::min(FBF_PAGE_SIZE - (start & (FBF_PAGE_SIZE - 1)), quota);
        std::string got(quota, '\0');
        ULONG n = readAt(k, got.data(), first);
        if (n == first && got.substr(0, n).find("\r\n") == std::string::npos)
            n += readAt(k, got.data() + n, quota - n);
        got.resize(n);
        size_t crlf = got.find("\r\n"), lf = got.find('\n');
        size_t len = crlf != std::string::npos ? crlf : lf != std::string::npos ? lf : n;
        ULONG term = crlf != std::string::npos ? 2 : lf != std::string::npos ? 1 : 0;
        pos[k] = start + (ULONG)len + term;
        *consumed = (ULONG)len + term;
        return got.substr(0, len);
    }
};

// One seeded run; returns the trace of every result.
class Run {
public:
    Run(const std::string &name, const std::string &other, unsigned seed, ULONG share)
        : rng_(seed), name_(name)
    {
        model_.bytes = pattern(kStartSize, seed);
        EXPECT_TRUE(testutil::writeFile(name, model_.bytes));
        EXPECT_TRUE(testutil::writeFile(other, pattern(kOtherSize, seed + 1)));
        h_[0] = openFbf(name, share);
        h_[1] = openFbf(name, share);
        other_ = openFbf(other, share);
    }

    ~Run() { closeAll(); }

    std::string go()
    {
        for (step_ = 0; step_ < kSteps && !::testing::Test::HasFailure(); step_++)
            oneStep();
        closeAll();                      // a file opened to deny all is read only then
        EXPECT_EQ(testutil::readFile(name_), model_.bytes) << "final file bytes";
        return trace_;
    }

private:
    ULONG pick(ULONG n) { return (ULONG)(rng_() % n); }

    void closeAll()
    {
        for (HFBF *h : {&h_[0], &h_[1], &other_}) {
            if (*h != nullptr)
                FbfClose(*h);
            *h = nullptr;
        }
    }

    // Read sizes from one byte to well past the read-ahead span.
    ULONG readSize()
    {
        switch (pick(6)) {
        case 0: return 1 + pick(64);
        case 1: return 1 + pick(3000);
        case 2: return FBF_PAGE_SIZE;
        case 3: return 2 * FBF_PAGE_SIZE + pick(3);
        case 4: return 60 * 1024 + pick(10 * 1024);
        default: return 1 + pick(150 * 1024);
        }
    }

    // Offsets mostly inside a hot region, else anywhere up to a bit past
    // the end.
    ULONG offset()
    {
        ULONG len = (ULONG)model_.bytes.size();
        if (pick(2) == 0)
            return pick(kHotSpan);
        return pick(len + 2 * FBF_PAGE_SIZE);
    }

    void note(const std::string &what, ULONG a, ULONG b = 0)
    {
        trace_ += what + ' ' + std::to_string(a) + ' ' + std::to_string(b) + '\n';
    }

    void checkPos(int k)
    {
        ASSERT_EQ(FbfTell(h_[k]), model_.pos[k]) << "step " << step_;
    }

    void read(int k)
    {
        ULONG n = readSize(), got = 0;
        std::string buf(n, '\0'), want(n, '\0');
        bool direct = pick(8) == 0;
        USHORT rc = direct ? FbfReadDirect(h_[k], buf.data(), n, &got)
                           : FbfRead(h_[k], buf.data(), n, &got);
        ULONG wantGot = model_.readAt(k, want.data(), n);
        ASSERT_EQ(rc, 0) << "step " << step_;
        ASSERT_EQ(got, wantGot) << "step " << step_ << " read " << n;
        ASSERT_EQ(buf.substr(0, got), want.substr(0, got)) << "step " << step_ << " read " << n;
        note(direct ? "direct" : "read", got, got ? (BYTE)buf[got - 1] : 0);
    }

    void step(int k)
    {
        switch (pick(20)) {
        case 0: case 1: case 2: case 3: {          // seek then read
            ULONG at = offset();
            ASSERT_EQ(FbfChgFilePtr(h_[k], (LONG)at, VBF_FILE_BEGIN, nullptr), 0);
            model_.seek(k, (LONG)at, 0);
            read(k);
            break;
        }
        case 4: case 5: case 6:                    // read on from where it stands
            read(k);
            break;
        case 7: {                                  // seek by any method
            ULONG method = pick(3);
            LONG distance = (LONG)pick(2 * kHotSpan) - (LONG)kHotSpan;
            ULONG newPos = 0;
            ASSERT_EQ(FbfChgFilePtr(h_[k], distance, method, &newPos), 0);
            model_.seek(k, distance, method);
            ASSERT_EQ(newPos, model_.pos[k]) << "step " << step_;
            note("seek", newPos);
            break;
        }
        case 8: case 9: {                          // byte reads
            for (int i = 0; i < 1 + (int)pick(40); i++) {
                BYTE ch = 0;
                char want = 0;
                ASSERT_EQ(FbfGetch(h_[k], &ch), 0);
                BYTE expect = model_.readAt(k, &want, 1) ? (BYTE)want : 0xFF;
                ASSERT_EQ(ch, expect) << "step " << step_;
            }
            note("getch", model_.pos[k]);
            break;
        }
        case 10: {                                 // a line
            ULONG size = 2 + pick(pick(2) ? 200 : 9000), consumed = 0, want = 0;
            std::string buf(size, '\x7f');
            ASSERT_EQ(FbfGets(h_[k], buf.data(), size, &consumed), 0);
            std::string line = model_.line(k, size, &want);
            ASSERT_EQ(consumed, want) << "step " << step_;
            ASSERT_EQ(buf.substr(0, line.size()), line) << "step " << step_;
            ASSERT_EQ(buf[line.size()], '\0') << "step " << step_;
            note("gets", consumed);
            break;
        }
        case 11: case 12: case 13: {               // a write somewhere
            ULONG at = pick(3) ? offset() : (ULONG)model_.bytes.size() + pick(3 * FBF_PAGE_SIZE);
            ULONG n = pick(2) ? 1 + pick(100) : 1 + pick(20000);
            std::string data = pattern(n, step_ * 31 + k);
            ULONG done = 0;
            ASSERT_EQ(FbfChgFilePtr(h_[k], (LONG)at, VBF_FILE_BEGIN, nullptr), 0);
            model_.seek(k, (LONG)at, 0);
            ASSERT_EQ(FbfWrite(h_[k], data.data(), n, &done), 0);
            ASSERT_EQ(done, n);
            model_.write(k, data);
            note("write", at, n);
            break;
        }
        case 14: {                                 // grow or shrink
            ULONG len = (ULONG)model_.bytes.size();
            ULONG size = pick(2) ? len / 2 + pick(len / 2 + 1) : len + pick(5 * FBF_PAGE_SIZE);
            if (size < 16 * 1024)
                size = 16 * 1024 + pick(kStartSize);
            ASSERT_EQ(FbfNewSize(h_[k], size), 0);
            model_.bytes.resize(size, '\0');
            note("size", size);
            break;
        }
        case 15:
            ASSERT_EQ(FbfFlush(h_[k]), 0);
            note("flush", 0);
            break;
        case 16: {
            ULONG len = 0;
            ASSERT_EQ(FbfQueryLength(h_[k], &len), 0);
            ASSERT_EQ(len, model_.bytes.size()) << "step " << step_;
            note("length", len);
            break;
        }
        default: {                                 // the other file takes slots
            ULONG n = 1 + pick(6000), got = 0;
            std::string buf(n, '\0');
            FbfChgFilePtr(other_, (LONG)pick(kOtherSize), VBF_FILE_BEGIN, nullptr);
            ASSERT_EQ(FbfRead(other_, buf.data(), n, &got), 0);
            break;
        }
        }
        checkPos(k);
    }

    void oneStep() { step((int)pick(2)); }

    std::mt19937 rng_;
    std::string name_, trace_;
    Model model_;
    HFBF h_[2] = {};
    HFBF other_ = nullptr;
    int step_ = 0;
};

// Switches the fast paths, the positioned transfers and the read views
// for one scope.
class Paths {
public:
    Paths(bool fast, bool positioned, bool views)
    {
        orin::fbf::setFastPaths(fast);
        orin::fbf::setPositionedIo(positioned);
        orin::fbf::setMappedReads(views);
    }
    ~Paths()
    {
        orin::fbf::setFastPaths(true);
        orin::fbf::setPositionedIo(true);
        orin::fbf::setMappedReads(true);
    }
};

// How a workload's files are opened and read.
struct Way {
    bool fast = true;
    bool positioned = true;
    ULONG share = VBF_SHARE_DENY_NONE;   // VBF_SHARE_DENY_ALL: read views apply
    bool views = true;
};

std::string runWith(const Way &way, unsigned seed)
{
    Paths paths(way.fast, way.positioned, way.views);
    ScratchFile f(way.fast ? "fbffp_on.dat" : "fbffp_off.dat");
    ScratchFile o(way.fast ? "fbffp_on2.dat" : "fbffp_off2.dat");
    return Run(f.name, o.name, seed, way.share).go();
}

} // namespace

TEST(FbfFastPaths, SeededWorkloadsMatchThePlainPathAndTheModel)
{
    for (unsigned seed : {1u, 7u, 2024u, 90210u}) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        std::string fast = runWith(Way{}, seed);
        ASSERT_FALSE(HasFailure());
        std::string plain = runWith(Way{false}, seed);
        ASSERT_FALSE(HasFailure());
        EXPECT_EQ(fast, plain);
        // and with every transfer a seek, then the read or write
        std::string seeking = runWith(Way{true, false}, seed);
        ASSERT_FALSE(HasFailure());
        EXPECT_EQ(seeking, plain);
    }
}

// Files no other handle may open are read through views of the system's
// copy: the same workloads, writes, growth and size changes included,
// give the same results and bytes as through the cache alone.
TEST(FbfFastPaths, ReadViewsMatchTheCacheAndTheModel)
{
    for (unsigned seed : {3u, 11u, 4096u}) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        FbfResetCacheStats();
        std::string viewed = runWith(Way{true, true, VBF_SHARE_DENY_ALL, true}, seed);
        ASSERT_FALSE(HasFailure());
        FBFCACHESTATS st;
        FbfQueryCacheStats(&st);
        EXPECT_GT(st.viewReads, 100u) << "the workload must read through views";
        std::string cached = runWith(Way{true, true, VBF_SHARE_DENY_ALL, false}, seed);
        ASSERT_FALSE(HasFailure());
        EXPECT_EQ(viewed, cached);
        EXPECT_EQ(viewed, runWith(Way{false}, seed));
    }
}

// The workloads above must reach every fast path, or they prove nothing.
TEST(FbfFastPaths, WorkloadReachesEveryPath)
{
    FbfResetCacheStats();
    runWith(Way{}, 5);
    FBFCACHESTATS st;
    FbfQueryCacheStats(&st);
    EXPECT_GT(st.directReads, 0u);
    EXPECT_GT(st.spanFills, 0u);
    EXPECT_GT(st.slowHits, 0u);
    EXPECT_GT(st.fastHits, 0u);
    EXPECT_GT(st.misses, 0u);
}

// A file of pattern bytes open through the buffered files, the cache
// counters reset; closed and deleted at the end of the scope.
struct PatternFile {
    ScratchFile file;
    std::string data;
    HFBF h;
    PatternFile(const char *name, ULONG pages, unsigned seed, ULONG share = VBF_SHARE_DENY_NONE)
        : file(name), data(pattern(pages * FBF_PAGE_SIZE, seed))
    {
        EXPECT_TRUE(testutil::writeFile(file.name, data));
        h = openFbf(file.name, share);
        FbfResetCacheStats();
    }
    ~PatternFile() { FbfClose(h); }
    /* Reads n bytes at `at` and checks them against the file. */
    void expectRead(ULONG at, ULONG n) const
    {
        std::string got(n, '\0');
        ULONG done = 0;
        ASSERT_EQ(FbfChgFilePtr(h, (LONG)at, VBF_FILE_BEGIN, nullptr), 0);
        ASSERT_EQ(FbfRead(h, got.data(), n, &done), 0);
        ASSERT_EQ(done, n);
        ASSERT_EQ(got, data.substr(at, n)) << "at " << at;
    }
    ULONG64 cachedPages() const { return orin::fbf::fbfFiles[h->fileIndex].pageCount; }
};

FBFCACHESTATS cacheStats()
{
    FBFCACHESTATS st;
    FbfQueryCacheStats(&st);
    return st;
}

// Reading a file from start to end in small pieces reads ahead: far fewer
// system reads than pages.
TEST(FbfFastPaths, SequentialReadingReadsAhead)
{
    PatternFile f("fbffp_seq.dat", 40, 3);
    for (ULONG at = 0; at < f.data.size(); at += 100)
        f.expectRead(at, (ULONG)std::min<size_t>(100, f.data.size() - at));
    FBFCACHESTATS st = cacheStats();
    EXPECT_LE(st.misses + st.spanFills + st.directReads, 6u);
}

// A record's header and then its body, read at scattered places (as a
// block file reads a block), go straight to the file: two reads each, no
// read-ahead, nothing cached.  A third read continuing the same stream is
// taken for sequential reading and reads ahead.
TEST(FbfFastPaths, RecordReadsDoNotReadAheadButLongerStreamsDo)
{
    PatternFile f("fbffp_records.dat", 300, 8);
    for (ULONG k = 0; k < 20; k++) {
        ULONG at = (k * 7919 % 290) * FBF_PAGE_SIZE + k * 37;
        f.expectRead(at, 8);
        f.expectRead(at + 8, FBF_PAGE_SIZE);
    }
    FBFCACHESTATS st = cacheStats();
    EXPECT_EQ(st.directReads, 40u);
    EXPECT_EQ(st.spanFills, 0u);
    EXPECT_EQ(f.cachedPages(), 0u);

    FbfResetCacheStats();
    const ULONG at = 295 * FBF_PAGE_SIZE / 2;
    for (ULONG i = 0; i < 3; i++)
        f.expectRead(at + i * 100, 100);
    st = cacheStats();
    EXPECT_EQ(st.directReads, 2u);
    EXPECT_EQ(st.spanFills, 1u);
}

// A read of many pages that the cache does not hold goes to the caller's
// buffer in one piece and leaves the cache as it was.
TEST(FbfFastPaths, LongMissGoesPastTheCache)
{
    PatternFile f("fbffp_long.dat", 64, 4);
    f.expectRead(100, 40 * FBF_PAGE_SIZE);
    EXPECT_EQ(cacheStats().directReads, 1u);
    EXPECT_EQ(f.cachedPages(), 0u);
}

// A scattered small read that misses goes past the cache the first time;
// the same page missed again is cached, and then read from the cache.
TEST(FbfFastPaths, ScatteredPagesAreCachedWhenMissedAgain)
{
    PatternFile f("fbffp_scatter.dat", 200, 6);
    const ULONG at = 150 * FBF_PAGE_SIZE + 99;
    for (int round = 0; round < 3; round++) {
        f.expectRead(at, 64);
        f.expectRead(at / 2, 1);   // elsewhere, so no reading is sequential
    }
    FBFCACHESTATS st = cacheStats();
    EXPECT_EQ(st.directReads, 2u);    // both pages, the first time
    EXPECT_EQ(st.misses, 2u);         // both pages, the second time
    EXPECT_EQ(st.slowHits + st.fastHits, 2u);
}

// A file larger than what views may hold in all is viewed in its first
// part: reads inside, across and past the view's end give the file's
// bytes, only the first from the view.  Closing gives the room back: a
// second such file gets a view as large.
TEST(FbfFastPaths, AFileLargerThanTheViewBudgetIsViewedInItsFirstPart)
{
    const auto budget = static_cast<ULONG>(orin::fbf::kViewBudget);
    for (unsigned seed : {9u, 10u}) {
        SCOPED_TRACE("file " + std::to_string(seed));
        PatternFile f("fbffp_big.dat", budget / FBF_PAGE_SIZE + 256, seed, VBF_SHARE_DENY_ALL);
        f.expectRead(budget - 10000, FBF_PAGE_SIZE);
        EXPECT_EQ(cacheStats().viewReads, 1u);
        FbfResetCacheStats();
        f.expectRead(budget - 100, FBF_PAGE_SIZE);
        f.expectRead(budget + 5000, FBF_PAGE_SIZE);
        FBFCACHESTATS st = cacheStats();
        EXPECT_EQ(st.viewReads, 0u);
        EXPECT_EQ(st.directReads, 2u);
    }
}
