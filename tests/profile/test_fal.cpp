// Block files on an in-memory back-end: layout, allocation and the fit
// strategies, fixed-size mode, the user header, wrong-type operations and
// damaged files.
#include <gtest/gtest.h>
#include <vector>
#include "profile/falint.h"
#include "memvbf.h"

namespace {

std::vector<unsigned char> &bytesOf(const char *name) { return memvbf::files()[name].data; }

struct Fal {
    HFAL h = nullptr;
    const char *name;
    Fal(const char *n, USHORT falFlags = FAL_FIRST_FIT, USHORT userHeader = 0, USHORT minBlock = 0)
        : name(n)
    {
        memvbf::files().erase(n);
        EXPECT_EQ(FalCreate(NULL, n, &h, falFlags, userHeader, minBlock, 0, memvbf::table()), 0);
    }
    ~Fal() { if (h) FalClose(h); }
    ULONG alloc(ULONG length, const char *data = nullptr)
    {
        ULONG id = 0;
        EXPECT_EQ(FalAllocBlock(h, &id, length, data, data ? (ULONG)strlen(data) : 0), 0);
        return id;
    }
    FALBLOCKHEADER header(ULONG id) const
    {
        FALBLOCKHEADER b;
        memcpy(&b, bytesOf(name).data() + id - FAL_HDR_VARIABLE, sizeof b);
        return b;
    }
    size_t size() const { return bytesOf(name).size(); }
    void reopen()
    {
        ASSERT_EQ(FalClose(h), 0);
        h = nullptr;
        ASSERT_EQ(FalOpenEx(NULL, name, &h, 0, memvbf::table()), 0);
    }
};

TEST(FalLayout, HeaderAndFirstBlockOffset)
{
    Fal f("layout", FAL_FIRST_FIT, 3980);
    EXPECT_EQ(f.h->hdr.firstBlockOffset, 4080u);
    EXPECT_EQ(f.size(), 4080u);
    const auto &b = bytesOf("layout");
    EXPECT_EQ(memcmp(b.data(), "FAL100\x1A\0", 8), 0);
    EXPECT_EQ(b[10] | b[11] << 8, FAL_FIRST_FIT);
    EXPECT_EQ(b[14] | b[15] << 8, 3980);
    EXPECT_EQ(b[16], 96);
    EXPECT_EQ(b[20] | b[21] << 8, 4080);
    EXPECT_EQ(b[12] | b[13] << 8, 8);               // recorded minimum block size
}

TEST(FalLayout, OneByteBlockHasCapacityEight)
{
    Fal f("onebyte");
    ULONG id = f.alloc(1, "x");
    EXPECT_EQ(id, 96u + 8);
    ULONG cap = 0, used = 0;
    EXPECT_EQ(FalQueryTotalBlockSize(f.h, id, &cap), 0);
    EXPECT_EQ(FalQueryBlockSize(f.h, id, &used), 0);
    EXPECT_EQ(cap, 8u);
    EXPECT_EQ(used, 1u);
    EXPECT_EQ(f.header(id).totalSize, 16);
    EXPECT_EQ(f.header(id).type, 'U');
    EXPECT_EQ(f.size(), 96u + 16);
}

TEST(FalLayout, DataSurvivesReopen)
{
    Fal f("reopen");
    ULONG a = f.alloc(5, "hello"), b = f.alloc(300, "world");
    f.reopen();
    char buf[16] = {};
    EXPECT_EQ(FalGetBlock(f.h, a, buf, sizeof buf), 0);
    EXPECT_STREQ(buf, "hello");
    memset(buf, 0, sizeof buf);
    EXPECT_EQ(FalReadBlock(f.h, b, 2, buf, 3), 0);
    EXPECT_STREQ(buf, "rld");
    EXPECT_EQ(FalCheck(f.h), 0);
}

TEST(FalLayout, FreeingTheLastBlockShortensTheFile)
{
    Fal f("shorten");
    ULONG a = f.alloc(40), b = f.alloc(40);
    size_t before = f.size();
    EXPECT_EQ(FalFreeBlock(f.h, b), 0);
    EXPECT_EQ(f.size(), before - 48);
    EXPECT_EQ(f.h->hdr.freeCount[1], 0);             // not put on a list
    EXPECT_EQ(FalFreeBlock(f.h, a), 0);
    EXPECT_EQ(f.size(), 96u);
}

TEST(FalLayout, OversizedRequestIsRefused)
{
    Fal f("huge");
    ULONG id = 0;
    EXPECT_EQ(FalAllocBlock(f.h, &id, 65530, NULL, 0), ORIN_ERR_INVALID_PARAM);
    EXPECT_EQ(FalAllocBlock(f.h, &id, 65512, NULL, 0), 0);      // total 65520 fits
    EXPECT_EQ(f.header(id).totalSize, 65520);
}

// A 512-byte free block reused for a 240-byte need leaves a 272-byte tail.
TEST(FalAlloc, SplitLeavesAFreeTail)
{
    Fal f("split");
    ULONG big = f.alloc(504), guard = f.alloc(8);
    (void)guard;
    ASSERT_EQ(f.header(big).totalSize, 512);
    ASSERT_EQ(FalFreeBlock(f.h, big), 0);
    ULONG id = f.alloc(232);
    EXPECT_EQ(id, big);
    EXPECT_EQ(f.header(id).totalSize, 240);
    ULONG tail = big + 240;
    EXPECT_EQ(f.header(tail).type, 'F');
    EXPECT_EQ(f.header(tail).totalSize, 272);
    EXPECT_EQ(f.h->hdr.freeHead[falListFor(272)], tail);
    EXPECT_EQ(FalCheck(f.h), 0);
}

TEST(FalAlloc, NoSplitWhenTooLittleWouldRemain)
{
    Fal f("nosplit");
    ULONG big = f.alloc(504);
    f.alloc(8);
    FalFreeBlock(f.h, big);
    ULONG id = f.alloc(264);                         // need 272, 240 would remain
    EXPECT_EQ(id, big);
    EXPECT_EQ(f.header(id).totalSize, 512);
    ULONG cap = 0;
    FalQueryTotalBlockSize(f.h, id, &cap);
    EXPECT_EQ(cap, 504u);
}

// Three free blocks on the 513..1024 list, freed in the order 1024, 640,
// 800 (so the chain reads 800, 640, 1024), each followed by a used guard.
struct FitCase {
    USHORT flags;
    ULONG expectTotal;
};

class FalFit : public ::testing::TestWithParam<FitCase> {};

TEST_P(FalFit, ChoosesTheBlockItsStrategyNames)
{
    Fal f("fit", GetParam().flags);
    const std::vector<ULONG> totals = {1024, 640, 800};
    std::vector<ULONG> ids;
    for (ULONG total : totals) {
        ids.push_back(f.alloc(total - 8));
        f.alloc(8);
    }
    for (ULONG id : ids)
        ASSERT_EQ(FalFreeBlock(f.h, id), 0);
    ULONG id = f.alloc(592);                         // needs a total of 608
    ULONG expected = 0;
    for (size_t i = 0; i < ids.size(); i++)
        if (totals[i] == GetParam().expectTotal)
            expected = ids[i];
    EXPECT_EQ(id, expected);
    EXPECT_EQ(FalCheck(f.h), 0);
}

INSTANTIATE_TEST_SUITE_P(Strategies, FalFit, ::testing::Values(
    FitCase{FAL_FIRST_FIT, 800},                     // head of the chain
    FitCase{FAL_BEST_FIT, 640},                      // smallest that fits
    FitCase{FAL_EXACT_FIT, 800},                     // none close: first that fits
    FitCase{FAL_WORST_FIT, 1024}));                  // largest

TEST(FalAlloc, ExactFitTakesACloseBlockAtOnce)
{
    Fal f("exact", FAL_EXACT_FIT);
    ULONG a = f.alloc(792); f.alloc(8);
    ULONG b = f.alloc(600); f.alloc(8);              // total 608: close to 600
    FalFreeBlock(f.h, b);
    FalFreeBlock(f.h, a);                            // chain: a (800), b (608)
    EXPECT_EQ(f.alloc(592), b);
}

TEST(FalAlloc, NoStrategyAlwaysAppends)
{
    Fal f("append", 0);
    ULONG a = f.alloc(100);
    f.alloc(8);
    FalFreeBlock(f.h, a);
    size_t before = f.size();
    ULONG id = f.alloc(100);
    EXPECT_NE(id, a);
    EXPECT_EQ(f.size(), before + 112);
}

TEST(FalAlloc, GranularityRoundsBlocks)
{
    FalSetGranularity(128);
    Fal f("gran");
    ULONG id = f.alloc(1);
    EXPECT_EQ(f.header(id).totalSize, 128);
    FalSetGranularity(3);                            // below 16 means 16
    EXPECT_EQ(FalQueryGranularity(), 16);
}

TEST(FalFixed, IdsCountFromOneAndFreedBlocksAreReused)
{
    Fal f("fixed", FAL_FIXED, 10, 30);
    ASSERT_EQ(f.h->hdr.blockSize, 30);
    ULONG first = f.h->hdr.firstBlockOffset;
    EXPECT_EQ(first, 112u);
    ULONG a = f.alloc(30, "a"), b = f.alloc(5, "b"), c = f.alloc(50, "c");
    EXPECT_EQ(a, 1u);
    EXPECT_EQ(b, 2u);
    EXPECT_EQ(c, 3u);
    EXPECT_EQ(f.size(), first + 3 * 36);
    EXPECT_EQ(bytesOf("fixed")[first + 6 + 36 * 1], 'b');      // data of id 2
    ULONG used = 0;
    FalQueryBlockSize(f.h, c, &used);
    EXPECT_EQ(used, 30u);                            // cut to the block size
    EXPECT_EQ(FalFreeBlock(f.h, a), 0);
    EXPECT_EQ(f.h->hdr.freeCount[0], 1);
    EXPECT_EQ(f.alloc(3, "new"), a);
    EXPECT_EQ(FalCheck(f.h), 0);
}

TEST(FalUserHeader, IdZeroIsTheUserHeaderArea)
{
    Fal f("userhdr", FAL_FIRST_FIT, 20);
    ULONG cap = 0, used = 0;
    EXPECT_EQ(FalQueryTotalBlockSize(f.h, 0, &cap), 0);
    EXPECT_EQ(cap, 32u);
    FalQueryBlockSize(f.h, 0, &used);
    EXPECT_EQ(used, 20u);
    EXPECT_EQ(FalWriteBlock(f.h, 0, 15, "0123456789", 10), 0);   // cut at 20
    char buf[32] = {};
    EXPECT_EQ(FalGetBlock(f.h, 0, buf, sizeof buf), 0);
    EXPECT_EQ(std::string(buf + 15, 5), "01234");
    EXPECT_EQ(bytesOf("userhdr")[96 + 20], 0);
    EXPECT_EQ(FalFreeBlock(f.h, 0), 0);              // a no-op
}

TEST(FalRealloc, InPlaceOrMoved)
{
    Fal f("realloc");
    ULONG id = f.alloc(100, "original");
    f.alloc(8);
    ULONG same = id;
    EXPECT_EQ(FalReallocBlock(f.h, &same, 50, "short", 5), 0);
    EXPECT_EQ(same, id);
    ULONG used = 0;
    FalQueryBlockSize(f.h, id, &used);
    EXPECT_EQ(used, 50u);
    ULONG moved = id;
    EXPECT_EQ(FalReallocBlock(f.h, &moved, 500, "bigger", 6), 0);
    EXPECT_NE(moved, id);
    char buf[8] = {};
    FalGetBlock(f.h, moved, buf, 6);
    EXPECT_STREQ(buf, "bigger");
    ULONG fresh = 0;
    EXPECT_EQ(FalReallocBlock(f.h, &fresh, 10, "new", 3), 0);   // id 0 allocates
    EXPECT_NE(fresh, 0u);
    EXPECT_EQ(FalCheck(f.h), 0);
}

TEST(FalWrite, StaysInsideTheUsedPart)
{
    Fal f("write");
    ULONG id = f.alloc(10, "abcdefghij");
    ULONG next = f.alloc(10, "0123456789");
    EXPECT_EQ(FalWriteBlock(f.h, id, 8, "XYZW", 4), 0);
    EXPECT_EQ(FalWriteBlock(f.h, id, 10, "no", 2), 0);        // at the end: nothing
    char buf[16] = {};
    FalGetBlock(f.h, id, buf, sizeof buf);
    EXPECT_STREQ(buf, "abcdefghXY");
    memset(buf, 0, sizeof buf);
    FalGetBlock(f.h, next, buf, sizeof buf);
    EXPECT_STREQ(buf, "0123456789");
}

TEST(FalTypes, OperationsOnAFreeBlockAreRefused)
{
    Fal f("types");
    ULONG id = f.alloc(20, "data");
    f.alloc(8);
    ASSERT_EQ(FalFreeBlock(f.h, id), 0);
    char buf[8];
    EXPECT_EQ(FalGetBlock(f.h, id, buf, sizeof buf), FAL_ERR_BLOCKTYPE);
    EXPECT_EQ(FalFreeBlock(f.h, id), FAL_ERR_BLOCKTYPE);
    EXPECT_EQ(FalWriteBlock(f.h, id, 0, "x", 1), FAL_ERR_BLOCKTYPE);
    ULONG again = id;
    EXPECT_EQ(FalReallocBlock(f.h, &again, 4, "x", 1), FAL_ERR_BLOCKTYPE);
    // Ids that name no block: inside the header area, inside a block.
    EXPECT_EQ(FalGetBlock(f.h, 97, buf, sizeof buf), FAL_ERR_BLOCKTYPE);
    ULONG other = f.alloc(64);
    for (ULONG inside : {other + 8, other + 13}) {
        EXPECT_EQ(FalGetBlock(f.h, inside, buf, sizeof buf), FAL_ERR_BLOCKTYPE) << inside;
        EXPECT_EQ(FalReadBlock(f.h, inside, 0, buf, sizeof buf), FAL_ERR_BLOCKTYPE) << inside;
        EXPECT_EQ(FalWriteBlock(f.h, inside, 0, "x", 1), FAL_ERR_BLOCKTYPE) << inside;
        EXPECT_EQ(FalFreeBlock(f.h, inside), FAL_ERR_BLOCKTYPE) << inside;
    }
    EXPECT_EQ(FalCheck(f.h), 0);
    EXPECT_EQ(FalGetBlock(f.h, 1u << 30, buf, sizeof buf), FAL_ERR_BEYONDEND);
}

TEST(FalHandles, BadHandlesAndArguments)
{
    ULONG v = 0;
    char buf[4];
    EXPECT_EQ(FalClose(NULL), ORIN_ERR_INVALID_HANDLE);
    EXPECT_EQ(FalGetBlock(NULL, 0, buf, 4), ORIN_ERR_INVALID_HANDLE);
    EXPECT_EQ(FalAllocBlock(NULL, &v, 4, NULL, 0), ORIN_ERR_INVALID_HANDLE);
    EXPECT_EQ(FalUnlock(NULL), ORIN_ERR_INVALID_HANDLE);
    Fal f("args");
    EXPECT_EQ(FalAllocBlock(f.h, NULL, 4, NULL, 0), ORIN_ERR_INVALID_PARAM);
    EXPECT_EQ(FalQueryTotalBlockSize(f.h, 0, NULL), ORIN_ERR_INVALID_PARAM);
    EXPECT_EQ(FalUnlock(f.h), ORIN_ERR_LOCK_VIOLATION);
    HFAL h = nullptr;
    EXPECT_EQ(FalCreate(NULL, "ro", &h, 0, 0, 0, FAL_OPEN_READONLY, memvbf::table()),
              ORIN_ERR_ACCESS_DENIED);
    memvbf::files()["empty"].data.clear();
    EXPECT_EQ(FalOpenEx(NULL, "empty", &h, 0, memvbf::table()), ORIN_ERR_FILE_NOT_FOUND);
    EXPECT_EQ(FalOpenEx(NULL, "missing", &h, 0, memvbf::table()), ORIN_ERR_FILE_NOT_FOUND);
    EXPECT_EQ(h, nullptr);
}

TEST(FalReadOnly, ChangesAreRefused)
{
    { Fal f("readonly"); f.alloc(4, "keep"); }
    HFAL h = nullptr;
    ASSERT_EQ(FalOpenEx(NULL, "readonly", &h, FAL_OPEN_READONLY, memvbf::table()), 0);
    ULONG id = 0;
    EXPECT_EQ(FalAllocBlock(h, &id, 4, NULL, 0), ORIN_ERR_ACCESS_DENIED);
    EXPECT_EQ(FalFreeBlock(h, 104), ORIN_ERR_ACCESS_DENIED);
    char buf[5] = {};
    EXPECT_EQ(FalGetBlock(h, 104, buf, 4), 0);
    EXPECT_STREQ(buf, "keep");
    EXPECT_EQ(FalClose(h), 0);
}

// ---- Damaged files ---------------------------------------------------------

TEST(FalDamage, WrongMagicIsRefusedAndLeftAlone)
{
    { Fal f("magic"); f.alloc(10, "abc"); }
    bytesOf("magic")[3] = '2';
    auto copy = bytesOf("magic");
    HFAL h = nullptr;
    EXPECT_EQ(FalOpenEx(NULL, "magic", &h, 0, memvbf::table()), FAL_ERR_MAGIC);
    EXPECT_EQ(bytesOf("magic"), copy);
    bytesOf("magic").resize(50);                     // too short for a header
    EXPECT_EQ(FalOpenEx(NULL, "magic", &h, 0, memvbf::table()), FAL_ERR_MAGIC);
}

// Builds a file with blocks a, b, c, d (each followed by a guard) where a
// and c are free; returns their ids.
struct Damaged : Fal {
    ULONG a, b, c, d;
    Damaged(const char *n) : Fal(n)
    {
        a = alloc(100); alloc(8); b = alloc(100); alloc(8);
        c = alloc(100); alloc(8); d = alloc(100); alloc(8);
        FalFreeBlock(h, a);
        FalFreeBlock(h, c);
        EXPECT_EQ(FalCheck(h), 0);
    }
    // Changes bytes of the closed file, then opens it again.
    void poke(ULONG offset, const void *v, size_t n)
    {
        ASSERT_EQ(FalClose(h), 0);
        memcpy(bytesOf(name).data() + offset, v, n);
        h = nullptr;
        ASSERT_EQ(FalOpenEx(NULL, name, &h, 0, memvbf::table()), 0);
    }
};

TEST(FalDamage, CyclicFreeList)
{
    Damaged f("cyclic");
    f.poke(f.a, &f.c, 4);                            // a links back to c
    EXPECT_EQ(FalCheck(f.h), FAL_ERR_FREELIST);
    ULONG id;
    EXPECT_EQ(FalAllocBlock(f.h, &id, 200, NULL, 0), 0);   // no list to walk: appended
    EXPECT_EQ(FalAllocBlock(f.h, &id, 120, NULL, 0), FAL_ERR_FREELIST);  // walks the cycle
}

TEST(FalDamage, OverlongFreeList)
{
    Damaged f("overlong");
    USHORT one = 1;
    f.poke(72 + 2 * falListFor(112), &one, 2);       // count 1, chain of 2
    EXPECT_EQ(FalCheck(f.h), FAL_ERR_FREELIST);
}

TEST(FalDamage, FreeListPointingIntoAUsedBlock)
{
    Damaged f("intoused");
    f.poke(f.a, &f.b, 4);
    EXPECT_EQ(FalCheck(f.h), FAL_ERR_FREELIST);
}

TEST(FalDamage, OverlappingExtents)
{
    Damaged f("overlap");
    USHORT big = 272;                                // a's extent now covers c's
    f.poke(f.a - 2, &big, 2);
    EXPECT_EQ(FalCheck(f.h), FAL_ERR_FREELIST);
}

TEST(FalDamage, BadSignatureAndTypes)
{
    Damaged f("signature");
    unsigned char bad = 0x12;
    f.poke(f.b - 7, &bad, 1);
    EXPECT_EQ(FalCheck(f.h), FAL_ERR_SIGNATURE);
    char buf[4];
    EXPECT_EQ(FalGetBlock(f.h, f.b, buf, 4), FAL_ERR_SIGNATURE);

    Damaged g("stray");
    unsigned char free = 'F';
    g.poke(g.d - 8, &free, 1);                       // free but on no list
    EXPECT_EQ(FalCheck(g.h), FAL_ERR_BLOCKTYPE);
}

TEST(FalDamage, BlockRunningPastTheEnd)
{
    Damaged f("pastend");
    bytesOf("pastend").resize(bytesOf("pastend").size() - 4);
    f.reopen();
    EXPECT_EQ(FalCheck(f.h), 0);                     // the cut block ends the walk
    char buf[4];
    ULONG last = (ULONG)bytesOf("pastend").size() + 4 - 16 + 8;
    EXPECT_EQ(FalGetBlock(f.h, last, buf, 4), FAL_ERR_BEYONDEND);
}

} // namespace
