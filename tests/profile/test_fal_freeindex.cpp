// The in-memory mirror of the free lists: the structure against a plain
// list model, then whole block files run through the same random
// workloads with the mirror switched on and off - every call's answer and
// id and the final file bytes must be equal, for each fit strategy, when
// steps fail, with two shared handles changing one file, and when a free
// block is changed behind the mirror's back.
#include <gtest/gtest.h>
#include <algorithm>
#include <random>
#include <string>
#include <vector>
#include "profile/falint.h"
#include "profile/fal_freeindex.h"
#include "profile/fal_seam.h"
#include "memvbf.h"

namespace {

using orin::fal::FreeIndex;

// ---- The structure against a model -------------------------------------------

// A list in list order, head first, as the file keeps it.
struct ModelBlock {
    ULONG id, size;
};

ULONG modelFirstBetween(const std::vector<ModelBlock> &m, ULONG low, ULONG high)
{
    for (const auto &b : m)
        if (b.size >= low && b.size <= high)
            return b.id;
    return 0;
}

ULONG modelFirstOfSmallest(const std::vector<ModelBlock> &m, ULONG low)
{
    const ModelBlock *best = nullptr;
    for (const auto &b : m)
        if (b.size >= low && (!best || b.size < best->size))
            best = &b;
    return best ? best->id : 0;
}

ULONG modelFirstOfLargest(const std::vector<ModelBlock> &m)
{
    const ModelBlock *best = nullptr;
    for (const auto &b : m)
        if (!best || b.size > best->size)
            best = &b;
    return best ? best->id : 0;
}

ULONG idOf(const FreeIndex &ix, FreeIndex::Slot s) { return s == FreeIndex::kNone ? 0 : ix.entry(s).id; }

// Removes the block a question named from both, checking its neighbours.
void take(FreeIndex &ix, std::vector<ModelBlock> &m, int list, FreeIndex::Slot s)
{
    FreeIndex::Entry e = ix.entry(s);
    auto at = std::find_if(m.begin(), m.end(), [&](const ModelBlock &b) { return b.id == e.id; });
    ASSERT_NE(at, m.end());
    EXPECT_EQ(e.totalSize, at->size);
    EXPECT_EQ(e.prev, at == m.begin() ? 0 : (at - 1)->id);
    EXPECT_EQ(e.next, at + 1 == m.end() ? 0 : (at + 1)->id);
    m.erase(at);
    ix.remove(list, s);
}

TEST(FalFreeIndexStructure, AnswersAsAWalkOfTheListWould)
{
    for (int list : {0, 5, 11}) {
        SCOPED_TRACE("list " + std::to_string(list));
        const ULONG first = list == 0 ? 12 : falListClass[list - 1] + 1, last = falListClass[list];
        // Few distinct sizes, so that sizes repeat and their order matters.
        std::mt19937 rng(77 + list);
        auto size = [&] { return first + (ULONG)(rng() % 9) * ((last - first) / 8); };
        std::vector<ModelBlock> m;
        std::vector<FreeIndex::Block> initial;
        ULONG nextId = 1000;
        for (int k = 0; k < 40; k++) {
            m.push_back({nextId, size()});
            initial.push_back({nextId, m.back().size});
            nextId += 16;
        }
        FreeIndex ix;
        ASSERT_TRUE(ix.mirror(list, initial));
        EXPECT_TRUE(ix.mirrored(list));
        for (int round = 0; round < 3000; round++) {
            ASSERT_EQ(ix.length(list), m.size());
            ULONG low = size() - (rng() % 2), high = low + (ULONG)(rng() % (last - first + 1));
            FreeIndex::Slot between = ix.firstBetween(list, low, high);
            FreeIndex::Slot smallest = ix.firstOfSmallest(list, low);
            FreeIndex::Slot largest = ix.firstOfLargest(list);
            ASSERT_EQ(idOf(ix, between), modelFirstBetween(m, low, high));
            ASSERT_EQ(idOf(ix, smallest), modelFirstOfSmallest(m, low));
            ASSERT_EQ(idOf(ix, largest), modelFirstOfLargest(m));
            switch (rng() % 4) {
            case 0:
            case 1: {
                ULONG s = size();
                ASSERT_TRUE(ix.push(list, nextId, s));
                m.insert(m.begin(), {nextId, s});
                nextId += 16;
                break;
            }
            case 2:
                if (between != FreeIndex::kNone)
                    take(ix, m, list, between);
                break;
            default:
                if (rng() % 2 && smallest != FreeIndex::kNone)
                    take(ix, m, list, smallest);
                else if (largest != FreeIndex::kNone)
                    take(ix, m, list, largest);
                break;
            }
        }
        if (list > 0) {
            EXPECT_FALSE(ix.push(list, 1, first - 1));  // outside the class
        }
        EXPECT_FALSE(ix.push(list, 1, last + 1));
        EXPECT_GT(ix.bytes(), 0u);
        ix.reset();
        EXPECT_FALSE(ix.mirrored(list));
        EXPECT_EQ(ix.length(list), 0u);
    }
}

TEST(FalFreeIndexStructure, RefusesAListWithABlockOutsideItsClass)
{
    FreeIndex ix;
    std::vector<FreeIndex::Block> blocks = {{200, 300}, {400, 100}};   // 100 is not in list 4
    EXPECT_FALSE(ix.mirror(4, blocks));
    EXPECT_FALSE(ix.mirrored(4));
    EXPECT_EQ(ix.length(4), 0u);
    blocks[1].totalSize = 260;
    EXPECT_TRUE(ix.mirror(4, blocks));
    EXPECT_EQ(ix.length(4), 2u);
    EXPECT_EQ(idOf(ix, ix.firstBetween(4, 257, 512)), 200u);             // the head
}

// ---- Whole files with and without the mirror ------------------------------------

std::vector<unsigned char> &bytesOf(const std::string &name) { return memvbf::files()[name].data; }

bool mirrored(HFAL h, int list) { return h->freeIndex && h->freeIndex->mirrored(list); }

// One call's answer.
struct Answer {
    USHORT rc;
    ULONG id;
    bool operator==(const Answer &) const = default;
};

// Sizes from 1 byte to 4 KiB, most of them small, so that the lower lists
// fill with blocks of many sizes.
ULONG randomLength(std::mt19937 &rng)
{
    ULONG base = 8UL << (rng() % 9);
    return base + rng() % base - 7;
}

// A block file under a random mix of allocations, frees and
// reallocations, some at granularity 128, through one or two handles.
// Every call runs with the mirror switched as this workload says.
class Workload {
public:
    Workload(std::string name, USHORT falFlags, bool mirror, USHORT openFlags = 0)
        : name_(std::move(name)), openFlags_(openFlags), mirror_(mirror)
    {
        memvbf::files().erase(name_);
        EXPECT_EQ(FalCreate(NULL, name_.c_str(), &h_[0], falFlags, 40, 0, openFlags,
                            memvbf::table()), 0);
    }
    ~Workload()
    {
        for (HFAL h : h_)
            if (h)
                FalClose(h);
        orin::fal::setFreeIndexEnabled(true);
    }

    // A second handle on the same file (both shared).
    void openSecond()
    {
        ASSERT_EQ(FalOpenEx(NULL, name_.c_str(), &h_[1], openFlags_, memvbf::table()), 0);
    }

    // Runs `ops` calls; with two handles, runs of calls alternate between them.
    void run(unsigned seed, int ops, int allocPercent = 45)
    {
        use();
        std::mt19937 rng(seed);
        for (int n = 0; n < ops; n++) {
            if (h_[1] && rng() % 40 == 0)
                current_ = 1 - current_;
            step(rng, allocPercent);
        }
    }

    void step(std::mt19937 &rng, int allocPercent)
    {
        HFAL h = h_[current_];
        unsigned op = rng() % 100;
        if (live_.empty() || op < (unsigned)allocPercent) {
            ULONG id = 0, length = randomLength(rng);
            std::string data(length, (char)('a' + answers_.size() % 26));
            USHORT rc;
            if (op % 10 == 0) {
                orin::fal::GranularityScope coarse(h, 128);
                rc = FalAllocBlock(h, &id, length, data.data(), length);
            } else {
                rc = FalAllocBlock(h, &id, length, data.data(), length / 2);
            }
            answers_.push_back({rc, id});
            if (rc == 0)
                live_.push_back(id);
        } else if (op < 85) {
            size_t k = rng() % live_.size();
            answers_.push_back({FalFreeBlock(h, live_[k]), live_[k]});
            live_[k] = live_.back();
            live_.pop_back();
        } else {
            size_t k = rng() % live_.size();
            ULONG length = randomLength(rng);
            std::string data(length, (char)('A' + answers_.size() % 26));
            USHORT rc = FalReallocBlock(h, &live_[k], length, data.data(), length);
            answers_.push_back({rc, live_[k]});
        }
    }

    // Allocates `length` bytes (kind 0), or grows the first live block that
    // is too small for them (kind 1).
    void allocOrGrow(int kind, ULONG length)
    {
        HFAL h = use();
        ULONG fresh = 0, *id = &fresh;
        for (ULONG &old : live_) {
            ULONG capacity = 0;
            if (kind == 1 && FalQueryTotalBlockSize(h, old, &capacity) == 0 && capacity < length) {
                id = &old;
                break;
            }
        }
        USHORT rc = FalReallocBlock(h, id, length, "grown", 5);
        answers_.push_back({rc, *id});
        if (rc == 0 && id == &fresh)
            live_.push_back(fresh);
    }

    // Closes the file; answers its check first.  The mirror's figures of
    // the handles add up in stats().
    USHORT close()
    {
        use();
        USHORT check = FalCheck(h_[0]);
        for (HFAL &h : h_)
            if (h) {
                orin::fal::FreeIndexStats st = orin::fal::freeIndexStats(h);
                stats_.picks += st.picks;
                stats_.disagreements += st.disagreements;
                stats_.mirroredLists += st.mirroredLists;
                EXPECT_EQ(FalClose(h), 0);
                h = nullptr;
            }
        return check;
    }

    // The current handle, with the mirror switched for this workload.
    HFAL use()
    {
        orin::fal::setFreeIndexEnabled(mirror_);
        return h_[current_];
    }
    const std::vector<ULONG> &live() const { return live_; }
    std::vector<Answer> &answers() { return answers_; }
    const orin::fal::FreeIndexStats &stats() const { return stats_; }
    const std::vector<unsigned char> &bytes() const { return bytesOf(name_); }

private:
    std::string name_;
    USHORT openFlags_;
    bool mirror_;
    HFAL h_[2] = {nullptr, nullptr};
    int current_ = 0;
    std::vector<ULONG> live_;
    std::vector<Answer> answers_;
    orin::fal::FreeIndexStats stats_ = {};
};

struct Strategy {
    const char *name;
    USHORT flags;
};

void PrintTo(const Strategy &s, std::ostream *os) { *os << s.name; }

class FalFreeIndexDiff : public ::testing::TestWithParam<Strategy> {};

TEST_P(FalFreeIndexDiff, SameAnswersAndBytesWithAndWithoutTheMirror)
{
    const Strategy st = GetParam();
    for (unsigned seed : {1u, 2u, 3u}) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        Workload with("diff-on", st.flags, true), without("diff-off", st.flags, false);
        for (Workload *w : {&with, &without}) {
            w->run(seed, 2500, 70);                     // fill: long free lists
            w->run(seed + 100, 6000);                  // churn
        }
        EXPECT_EQ(with.close(), 0);
        EXPECT_EQ(without.close(), 0);
        ASSERT_EQ(with.answers().size(), without.answers().size());
        for (size_t k = 0; k < with.answers().size(); k++)
            ASSERT_EQ(with.answers()[k], without.answers()[k]) << "call " << k;
        EXPECT_TRUE(with.bytes() == without.bytes());
        EXPECT_GT(with.stats().picks, 500u);          // the mirror really answered
        EXPECT_EQ(with.stats().disagreements, 0u);    // and was never found out of step
        EXPECT_GT(with.stats().mirroredLists, 0u);
        EXPECT_EQ(without.stats().picks, 0u);
    }
}

INSTANTIATE_TEST_SUITE_P(Strategies, FalFreeIndexDiff, ::testing::Values(
    Strategy{"first", FAL_FIRST_FIT}, Strategy{"best", FAL_BEST_FIT},
    Strategy{"exact", FAL_EXACT_FIT}, Strategy{"worst", FAL_WORST_FIT},
    Strategy{"firstworst", FAL_FIRST_FIT | FAL_WORST_FIT},
    Strategy{"bestworst", FAL_BEST_FIT | FAL_WORST_FIT},
    Strategy{"bestexact", FAL_BEST_FIT | FAL_EXACT_FIT}),
    [](const ::testing::TestParamInfo<Strategy> &i) { return std::string(i.param.name); });

// Two shared handles change one file by turns: each sees the other's
// changes through the update counter and must drop its mirror then.
TEST(FalFreeIndexShared, TwoHandlesByTurns)
{
    Workload with("shared-on", FAL_FIRST_FIT, true, FAL_OPEN_SHARED);
    Workload without("shared-off", FAL_FIRST_FIT, false, FAL_OPEN_SHARED);
    for (Workload *w : {&with, &without}) {
        w->run(5, 2500, 70);
        w->openSecond();
        w->run(6, 6000);
    }
    EXPECT_EQ(with.close(), 0);
    EXPECT_EQ(without.close(), 0);
    EXPECT_TRUE(with.answers() == without.answers());
    EXPECT_TRUE(with.bytes() == without.bytes());
    EXPECT_GT(with.stats().picks, 200u);
    EXPECT_EQ(with.stats().disagreements, 0u);
}

// For each mirrored list of h, the smallest and the largest length its
// blocks serve: the first is mostly met by the head, the second further
// down the list or by a larger block that is split.
std::vector<ULONG> lengthsFromMirroredLists(HFAL h)
{
    std::vector<ULONG> lengths;
    for (int list = 1; list < FAL_LIST_COUNT - 1; list++)
        if (mirrored(h, list)) {
            lengths.push_back(falListClass[list - 1] + 16 - FAL_HDR_VARIABLE);
            lengths.push_back(falListClass[list] - FAL_HDR_VARIABLE);
        }
    return lengths;
}

// A failure at each step of allocations and growing reallocations that
// the mirror answers: the failed call, the file it leaves (a failed
// allocation may leave a free block off its list, as it always did) and
// the calls after it are the same as without the mirror.
TEST(FalFreeIndexFaults, EveryFailedStepEndsAsWithoutTheMirror)
{
    using orin::fal::stepSeam;
    bool succeeded = false;
    for (std::uint64_t nth = 1; !succeeded; nth++) {
        SCOPED_TRACE("failing step " + std::to_string(nth));
        ASSERT_LT(nth, 200u);
        Workload with("fault-on", FAL_FIRST_FIT, true), without("fault-off", FAL_FIRST_FIT, false);
        std::vector<ULONG> lengths;
        std::uint64_t steps[2] = {0, 0};
        int side = 0;
        for (Workload *w : {&with, &without}) {
            w->run(9, 2500, 70);
            w->run(19, 3000);
            if (w == &with) {
                lengths = lengthsFromMirroredLists(w->use());
                ASSERT_GE(lengths.size(), 6u);
            }
            ULONG picks = orin::fal::freeIndexStats(w->use()).picks;
            stepSeam.inject(nth);
            for (ULONG length : lengths)
                for (int kind = 0; kind < 2; kind++)
                    w->allocOrGrow(kind, length);
            steps[side++] = stepSeam.counted();
            stepSeam.inject(0);
            if (w == &with) {                          // the mirror named the blocks
                ULONG named = orin::fal::freeIndexStats(w->use()).picks - picks;
                EXPECT_GE(named, steps[0] < nth ? lengths.size() : 1u);
            }
            w->run(10, 1500);
        }
        succeeded = steps[0] < nth;                    // no step failed
        EXPECT_EQ(steps[0], steps[1]);                 // the same writes in the same order
        EXPECT_EQ(with.close(), without.close());
        EXPECT_TRUE(with.answers() == without.answers());
        EXPECT_TRUE(with.bytes() == without.bytes());
        EXPECT_EQ(with.stats().disagreements, 0u);
    }
}

// Free list 4 (totals 257..512) holding a block B of 272 bytes at its
// head, then a block V of 512 bytes, then forty more of 272 bytes; the
// list has been walked enough to be mirrored.  First fit for 512 bytes
// passes B and takes V.
struct ListWithVictim {
    static constexpr ULONG kSmall = 272 - FAL_HDR_VARIABLE, kLarge = 512 - FAL_HDR_VARIABLE;
    ULONG b = 0, v = 0, guard = 0;

    explicit ListWithVictim(Workload &w)
    {
        HFAL h = w.use();
        std::vector<ULONG> small(40);
        for (ULONG &id : small) {
            EXPECT_EQ(FalAllocBlock(h, &id, kSmall, NULL, 0), 0);
            EXPECT_EQ(FalAllocBlock(h, &guard, 8, NULL, 0), 0);
        }
        EXPECT_EQ(FalAllocBlock(h, &v, kLarge, NULL, 0), 0);
        EXPECT_EQ(FalAllocBlock(h, &guard, 8, NULL, 0), 0);
        EXPECT_EQ(FalAllocBlock(h, &b, kSmall, NULL, 0), 0);
        EXPECT_EQ(FalAllocBlock(h, &guard, 8, NULL, 0), 0);
        for (ULONG id : small)
            EXPECT_EQ(FalFreeBlock(h, id), 0);
        ULONG walker = 0;                              // walks all forty, then appends
        EXPECT_EQ(FalAllocBlock(h, &walker, kLarge, NULL, 0), 0);
        EXPECT_FALSE(mirrored(h, 4));
        EXPECT_EQ(FalAllocBlock(h, &walker, kLarge, NULL, 0), 0);   // has earned the mirror
        EXPECT_EQ(mirrored(h, 4), orin::fal::freeIndexEnabled());
        EXPECT_EQ(FalFreeBlock(h, v), 0);
        EXPECT_EQ(FalFreeBlock(h, b), 0);
        EXPECT_EQ(h->hdr.freeHead[4], b);
    }
};

// A free block changed behind the handle's back - the type or the link of
// the block the mirror names, or the link of the block before it: the
// handle reads both before taking one and answers as a walk does.
TEST(FalFreeIndexDamage, AChangedBlockIsNoticedBeforeItIsTaken)
{
    enum { VictimType, VictimLink, PredecessorLink };
    for (int damage : {VictimType, VictimLink, PredecessorLink}) {
        SCOPED_TRACE("damage " + std::to_string(damage));
        Workload with("poke-on", FAL_FIRST_FIT, true), without("poke-off", FAL_FIRST_FIT, false);
        for (Workload *w : {&with, &without}) {
            ListWithVictim l(*w);
            auto &bytes = bytesOf(w == &with ? "poke-on" : "poke-off");
            if (damage == VictimType)
                bytes[l.v - FAL_HDR_VARIABLE] = 'U';
            else
                memcpy(&bytes[damage == VictimLink ? l.v : l.b], &l.guard, 4);
            ULONG id = 0;
            USHORT rc = FalAllocBlock(w->use(), &id, ListWithVictim::kLarge, NULL, 0);
            w->answers().push_back({rc, id});
            EXPECT_EQ(rc, damage == VictimLink ? 0 : FAL_ERR_FREELIST);
        }
        orin::fal::FreeIndexStats st = orin::fal::freeIndexStats(with.use());
        EXPECT_EQ(st.disagreements, 1u);
        EXPECT_EQ(st.picks, 0u);
        EXPECT_TRUE(with.answers() == without.answers());
        EXPECT_TRUE(with.bytes() == without.bytes());
    }
}

// The same list undamaged: the mirror names V and is right.
TEST(FalFreeIndexDamage, TheUndamagedListIsTakenThroughTheMirror)
{
    Workload w("poke-none", FAL_FIRST_FIT, true);
    ListWithVictim l(w);
    ULONG id = 0;
    EXPECT_EQ(FalAllocBlock(w.use(), &id, ListWithVictim::kLarge, NULL, 0), 0);
    EXPECT_EQ(id, l.v);
    orin::fal::FreeIndexStats st = orin::fal::freeIndexStats(w.use());
    EXPECT_EQ(st.picks, 1u);
    EXPECT_EQ(st.disagreements, 0u);
    EXPECT_EQ(w.close(), 0);
}

// A list of 65536 blocks: its 16-bit count has wrapped to 0, and a walk
// gives up at once.  The mirror, which knows the list is longer than its
// count, leaves the answer to the walk.
TEST(FalFreeIndexDamage, AListLongerThanItsCountIsWalked)
{
    Workload with("wrap-on", FAL_FIRST_FIT, true), without("wrap-off", FAL_FIRST_FIT, false);
    for (Workload *w : {&with, &without}) {
        HFAL h = w->use();
        std::vector<ULONG> ids(65538);
        for (ULONG &id : ids)
            ASSERT_EQ(FalAllocBlock(h, &id, 1, NULL, 0), 0);
        for (size_t k = 0; k < 65535; k++)
            ASSERT_EQ(FalFreeBlock(h, ids[k]), 0);
        ULONG walker = 0;                              // too large for list 0: walks it all
        for (int k = 0; k < 2; k++)
            ASSERT_EQ(FalAllocBlock(h, &walker, 24, NULL, 0), 0);
        if (w == &with) {                              // at most 64 bytes a block
            EXPECT_TRUE(mirrored(h, 0));
            EXPECT_LT(orin::fal::freeIndexStats(h).bytes, 65536u * 64);
        }
        ASSERT_EQ(FalFreeBlock(h, ids[65535]), 0);     // the 65536th: the count wraps
        EXPECT_EQ(h->hdr.freeCount[0], 0);
        ULONG id = 0;
        w->answers().push_back({FalAllocBlock(h, &id, 1, NULL, 0), id});
        EXPECT_EQ(w->answers().back().rc, FAL_ERR_FREELIST);
    }
    EXPECT_TRUE(with.answers() == without.answers());
    EXPECT_TRUE(with.bytes() == without.bytes());
    EXPECT_FALSE(mirrored(with.use(), 0));                 // dropped for the walk
}

}  // namespace
