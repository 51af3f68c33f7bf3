// Damaged FAL block files: ten thousand mutants of three seed files (first
// fit with a user header, best fit, fixed-size blocks), each opened, checked,
// every model block sized and read, then written to and closed.
//
// A block file carries no checksum, so what it promises is exact: when the
// 96-byte file header, a block's own header and data bytes and the headers
// of the blocks before it are as they were written, a read of that block
// gives the written bytes, whatever the mutation did elsewhere - and still
// does after the writes the sweep makes on the damaged file.  A changed
// header or data byte of a block may change what that block reads.  Every
// call answers 0 or a code of the library.
#include <gtest/gtest.h>
#include <map>
#include <set>
#include "mutate.h"
#include "memvbf.h"
#include "profile/falint.h"

using namespace mutate;

namespace {

const char *const kName = "mut.fal";

struct Block {
    ULONG dataOffset, headerOffset, extent;     // extent: header and capacity
    std::string data;
};

/* A seed file and what its blocks hold. */
struct FalSeed {
    Seed seed;
    bool fixed;
    USHORT userHeader;
    std::map<ULONG, Block> blocks;      // by id: the blocks in use
    std::vector<size_t> headers;        // file offsets of all block headers
};

// 2: the file is empty.
const std::set<USHORT> kCodes = {0, ORIN_ERR_FILE_NOT_FOUND, FAL_ERR_MAGIC, FAL_ERR_BLOCKTYPE, FAL_ERR_FREELIST,
                                 FAL_ERR_BEYONDEND, FAL_ERR_SIGNATURE, ORIN_ERR_INVALID_PARAM,
                                 ORIN_ERR_NO_MEMORY, ORIN_ERR_DISK_FULL};

std::string payload(unsigned i, size_t n)
{
    std::string s(n, '\0');
    for (size_t j = 0; j < n; j++)
        s[j] = static_cast<char>('a' + (i * 7 + j) % 26);
    return s;
}

/* Structures and fields of a sound file, read from its bytes. */
void describe(FalSeed &f)
{
    Seed &s = f.seed;
    const Bytes &b = s.bytes;
    FALFILEHEADER hdr;
    memcpy(&hdr, b.data(), sizeof hdr);
    s.units.push_back({0, FAL_HEADER_SIZE});
    if (hdr.userHeaderSize)
        s.units.push_back({FAL_HEADER_SIZE, hdr.userHeaderSize});
    for (size_t at : {12, 14, 16, 20})
        s.fields.push_back({at, at >= 16 ? 4u : 2u});
    for (int i = 0; i < FAL_LIST_COUNT; i++) {
        addU32(s, 24 + 4 * i);
        addU16(s, 72 + 2 * i);
    }
    ULONG hl = f.fixed ? FAL_HDR_FIXED : FAL_HDR_VARIABLE;
    for (size_t at = hdr.firstBlockOffset; at + hl <= b.size();) {
        FALBLOCKHEADER bh = {};
        memcpy(&bh, &b[at], hl);
        size_t total = f.fixed ? hl + hdr.blockSize : bh.totalSize;
        ASSERT_GE(total, hl);
        s.units.push_back({at, total});
        f.headers.push_back(at);
        addU16(s, at + 4);
        if (!f.fixed)
            addU16(s, at + 6);
        if (bh.type == FAL_TYPE_FREE)
            addU32(s, at + hl);                     // the free link
        at += total;
    }
}

FalSeed build(USHORT falFlags, USHORT userHeader, USHORT minBlock, unsigned nBlocks)
{
    FalSeed f;
    f.fixed = (falFlags & FAL_FIXED) != 0;
    f.userHeader = userHeader;
    memvbf::files().erase(kName);
    HFAL h = nullptr;
    EXPECT_EQ(FalCreate(NULL, kName, &h, falFlags, userHeader, minBlock, 0, memvbf::table()), 0);
    if (userHeader) {
        std::string u = payload(99, userHeader);
        EXPECT_EQ(FalWriteBlock(h, 0, 0, u.data(), userHeader), 0);
        f.blocks[0] = {FAL_HEADER_SIZE, FAL_HEADER_SIZE, userHeader, u};
    }
    std::vector<ULONG> ids;
    for (unsigned i = 0; i < nBlocks; i++) {
        size_t n = f.fixed ? 1 + (i * 13) % minBlock : 1 + (i * 53) % 700;
        std::string d = payload(i, n);
        ULONG id = 0;
        EXPECT_EQ(FalAllocBlock(h, &id, (ULONG)n, d.data(), (ULONG)n), 0);
        ids.push_back(id);
        f.blocks[id] = {0, 0, 0, d};
    }
    for (unsigned i = 1; i < nBlocks; i += 4) {      // free lists with several entries
        EXPECT_EQ(FalFreeBlock(h, ids[i]), 0);
        f.blocks.erase(ids[i]);
    }
    EXPECT_EQ(FalCheck(h), 0);
    for (auto &[id, blk] : f.blocks) {
        if (id == 0)
            continue;
        FALDESC d = {};
        EXPECT_EQ(falDescribe(h, id, &d), 0);
        blk.dataOffset = d.dataOffset;
        blk.headerOffset = d.headerOffset;
        blk.extent = d.totalSize;
    }
    EXPECT_EQ(FalClose(h), 0);
    f.seed.bytes = memvbf::files()[kName].data;
    describe(f);
    return f;
}

std::vector<FalSeed> &seeds()
{
    static std::vector<FalSeed> all = [] {
        std::vector<FalSeed> v;
        v.push_back(build(FAL_FIRST_FIT, 200, 0, 30));
        v.push_back(build(FAL_BEST_FIT, 0, 0, 24));
        v.push_back(build(FAL_FIXED, 16, 40, 20));
        return v;
    }();
    return all;
}

/* True when nothing a read of the block depends on was changed: the file
 * header, the block's whole extent (its header and all its capacity), and
 * the header of every block before it.  A size is guarded by nothing but
 * the walk of the file: a block before this one whose size is changed to
 * end exactly on a later block's header swallows the blocks between, and
 * the walk then simply steps over them (FalCheck notices only when a
 * swallowed block was on a free list). */
bool intact(const Bytes &mutant, const FalSeed &f, const Block &blk)
{
    const Bytes &good = f.seed.bytes;
    if (!same(mutant, good, 0, FAL_HEADER_SIZE) || !same(mutant, good, blk.headerOffset, blk.extent))
        return false;
    ULONG hl = f.fixed ? FAL_HDR_FIXED : FAL_HDR_VARIABLE;
    for (size_t at : f.headers)
        if (at < blk.headerOffset && !same(mutant, good, at, hl))
            return false;
    return true;
}

class Checker {
public:
    Checker(const Bytes &mutant, const FalSeed &f) : mutant_(mutant), f_(f) {}

    void code(USHORT rc, const char *what)
    {
        trace(what, rc);
        EXPECT_TRUE(kCodes.count(rc)) << what << " answered " << rc << " for " << where();
    }

    /* Reads every block of the model; the ones whose bytes are intact must
     * read back as written. */
    void readAll(HFAL h, const std::set<ULONG> &skip)
    {
        for (const auto &[id, blk] : f_.blocks) {
            if (skip.count(id))
                continue;
            ULONG used = 0, cap = 0;
            USHORT rcUsed = call("FalQueryBlockSize", [&] { return FalQueryBlockSize(h, id, &used); });
            code(rcUsed, "FalQueryBlockSize");
            code(call("FalQueryTotalBlockSize", [&] { return FalQueryTotalBlockSize(h, id, &cap); }),
                 "FalQueryTotalBlockSize");
            std::string buf(blk.data.size() + 64, '\xEE');
            USHORT rc = call("FalGetBlock", [&] {
                return FalGetBlock(h, id, &buf[0], (ULONG)buf.size());
            });
            code(rc, "FalGetBlock");
            char tail[8];
            code(call("FalReadBlock", [&] { return FalReadBlock(h, id, 3, tail, sizeof tail); }),
                 "FalReadBlock");
            if (!intact(mutant_, f_, blk))
                continue;
            EXPECT_EQ(rcUsed, 0) << "block " << id << " " << where();
            EXPECT_EQ(rc, 0) << "block " << id << " " << where();
            if (rc == 0 && rcUsed == 0) {
                EXPECT_EQ(used, blk.data.size()) << "block " << id << " " << where();
                EXPECT_EQ(buf.substr(0, blk.data.size()), blk.data)
                    << "block " << id << " read other bytes than written, " << where();
            }
        }
    }

private:
    const Bytes &mutant_;
    const FalSeed &f_;
};

/* Every call on one mutant; true when it opened. */
bool exercise(const Bytes &mutant, size_t which, std::mt19937_64 &rng)
{
    const FalSeed &f = seeds()[which];
    Checker run(mutant, f);
    memvbf::files()[kName].data = mutant;
    HFAL h = nullptr;
    USHORT rc = call("FalOpenEx", [&] { return FalOpenEx(NULL, kName, &h, 0, memvbf::table()); });
    run.code(rc, "FalOpenEx");
    if (rc)
        return false;
    run.code(call("FalCheck", [&] { return FalCheck(h); }), "FalCheck");
    run.readAll(h, {});

    // Writes on the damaged file: a new block, one grown, one written, one freed.
    std::vector<ULONG> ids;
    for (const auto &e : f.blocks)
        if (e.first)
            ids.push_back(e.first);
    ULONG fresh = 0;
    run.code(call("FalAllocBlock", [&] {
        return FalAllocBlock(h, &fresh, 1 + (ULONG)(rng() % 900), "new", 3);
    }), "FalAllocBlock");
    ULONG written = ids[rng() % ids.size()], freed = ids[rng() % ids.size()];
    run.code(call("FalWriteBlock", [&] { return FalWriteBlock(h, written, 0, "w", 1); }),
             "FalWriteBlock");
    ULONG grown = written;
    run.code(call("FalReallocBlock", [&] {
        return FalReallocBlock(h, &grown, 1 + (ULONG)(rng() % 1200), "grow", 4);
    }), "FalReallocBlock");
    run.code(call("FalFreeBlock", [&] { return FalFreeBlock(h, freed); }), "FalFreeBlock");
    // The blocks the writes did not touch still read as written.
    run.readAll(h, {written, freed, grown, fresh});
    run.code(call("FalClose", [&] { return FalClose(h); }), "FalClose");
    EXPECT_LE(memvbf::files()[kName].data.size(), mutant.size() + 4 * 65536) << where();
    return true;
}

TEST(MutateFal, TenThousandMutantsAnswerWithCodesAndIntactBlocksReadBack)
{
    unsigned opened = 0, runs = 0;
    sweep(1, plainSeeds(seeds()), [&](const Bytes &mutant, size_t which, std::mt19937_64 &rng) {
        runs++;
        opened += exercise(mutant, which, rng);
    });
    // Most mutants open, so the block calls were exercised.
    EXPECT_GT(opened, runs / 4);
}

// Mutants that once found faults: a block size grown over the next block,
// which a free and a reuse then trusted and wrote into that block (3767);
// a first-block offset of 0xFFFFFFFF, which the check answered with the
// virtual file's negative-seek code (6683).
TEST(MutateFal, KeptMutants)
{
    replay(1, {3767, 6683}, plainSeeds(seeds()), exercise);
}

// A used block whose size is made to reach over the block after it: no
// write, free or reuse may touch that block, which still reads as written.
TEST(MutateFal, SizeReachingOverTheNextBlockIsNotTrusted)
{
    const FalSeed &f = seeds()[1];
    auto it = f.blocks.begin();
    while (std::next(it) != f.blocks.end() &&
           it->second.headerOffset + it->second.extent != std::next(it)->second.headerOffset)
        ++it;
    ASSERT_NE(std::next(it), f.blocks.end()) << "two used blocks side by side";
    const Block &victim = std::next(it)->second;
    const Block &liar = it->second;
    Bytes bad = f.seed.bytes;
    USHORT reach = (USHORT)(liar.extent + victim.extent / 2);
    memcpy(&bad[liar.headerOffset + 6], &reach, 2);
    memvbf::files()[kName].data = bad;
    HFAL h = nullptr;
    ASSERT_EQ(FalOpenEx(NULL, kName, &h, 0, memvbf::table()), 0);
    ULONG id = it->first;
    std::string big(reach - 8, 'X');
    EXPECT_EQ(FalWriteBlock(h, id, 0, big.data(), (ULONG)big.size()), FAL_ERR_SIGNATURE);
    EXPECT_EQ(FalReallocBlock(h, &id, (ULONG)big.size(), big.data(), (ULONG)big.size()),
              FAL_ERR_SIGNATURE);
    EXPECT_EQ(FalFreeBlock(h, id), FAL_ERR_SIGNATURE);
    std::string back(victim.data.size(), '\0');
    EXPECT_EQ(FalGetBlock(h, std::next(it)->first, &back[0], (ULONG)back.size()), 0);
    EXPECT_EQ(back, victim.data);
    EXPECT_EQ(FalCheck(h), FAL_ERR_SIGNATURE);
    FalClose(h);
}

// Offsets from a damaged header that the virtual file cannot seek to are
// past the end of the block file.
TEST(MutateFal, OffsetsPastTwoGigabytesAreBeyondTheEnd)
{
    Bytes bad = seeds()[0].seed.bytes;
    ULONG huge = 0xFFFFFFFFUL;
    memcpy(&bad[20], &huge, 4);                      // firstBlockOffset
    memvbf::files()[kName].data = bad;
    HFAL h = nullptr;
    ASSERT_EQ(FalOpenEx(NULL, kName, &h, 0, memvbf::table()), 0);
    USHORT rc = FalCheck(h);                         // no block lies before such an offset
    EXPECT_TRUE(rc == 0 || (rc >= FAL_ERR_MAGIC && rc <= FAL_ERR_SIGNATURE)) << rc;
    char buf[4];
    rc = FalGetBlock(h, 0x90000000UL, buf, sizeof buf);
    EXPECT_TRUE(rc >= FAL_ERR_MAGIC && rc <= FAL_ERR_SIGNATURE) << rc;
    FalClose(h);
}

} // namespace
