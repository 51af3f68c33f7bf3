/*
 * test_fal_kills.cpp - a process allocating, overwriting, resizing and
 * freeing blocks of a block file is killed at random moments.  The file it
 * leaves must open; every block of a finished operation must read back as
 * written (the block of the operation under way may hold either version);
 * the file's own check may find at most a lost free block (a free block
 * off its list: space, not data); and the used blocks on disk must be the
 * model's, give or take the one the operation under way made or dropped.
 */
#include <gtest/gtest.h>
#include <cstring>
#include <map>
#include <string>
#include "killrun.h"
#include "killwork.h"
#include "profile/falint.h"
#include "testutil.h"

namespace {

using namespace killwork;

constexpr const char *kFile = "kill.fal";
constexpr DWORD kMaxDelay = 120;

/* Used blocks, counted by walking the raw file's block headers. */
long countUsedBlocks(const std::string &bytes)
{
    FALFILEHEADER hdr;
    if (bytes.size() < sizeof hdr)
        return -1;
    memcpy(&hdr, bytes.data(), sizeof hdr);
    long used = 0;
    for (size_t off = hdr.firstBlockOffset; off + sizeof(FALBLOCKHEADER) <= bytes.size();) {
        FALBLOCKHEADER b;
        memcpy(&b, bytes.data() + off, sizeof b);
        if (b.totalSize < sizeof b)
            return -1;
        used += b.type == 'U';
        off += b.totalSize;
    }
    return used;
}

struct Slot {
    ULONG id = 0;
    std::string data;
};

/* The blocks after the finished operations, and the slot of the next. */
struct Model {
    std::map<int, Slot> live;
    int inFlightSlot = -1;
};

Model replay(unsigned seed, const killrun::Finished &f)
{
    Model m;
    FalWork work(seed);
    for (int j = 0; j < f.count; j++) {
        FalOp op = work.next();
        Slot &s = m.live[op.slot];
        if (op.kind == FalOp::kFree) {
            m.live.erase(op.slot);
            continue;
        }
        if (op.kind == FalOp::kWrite)
            s.data.replace(0, op.data.size(), op.data);
        else
            s.data = op.data;
        s.id = ULONG(f.ids[size_t(j)]);
    }
    m.inFlightSlot = work.next().slot;
    return m;
}

void checkFile(const killrun::Finished &f, const killrun::Round &r)
{
    HFAL h = nullptr;
    USHORT rc = FalOpenEx(nullptr, kFile, &h, 0, nullptr);
    if (rc != 0 && f.early && f.count == 0)
        return;   // killed while the file was being made: refused, not crashed
    ASSERT_EQ(rc, 0);
    USHORT check = FalCheck(h);
    EXPECT_TRUE(check == 0 || check == FAL_ERR_BLOCKTYPE) << "check gave " << check;
    Model m = replay(r.seed, f);
    for (const auto &[slot, s] : m.live) {
        if (slot == m.inFlightSlot)
            continue;
        std::string got(s.data.size(), '\0');
        ULONG used = 0;
        EXPECT_EQ(FalQueryBlockSize(h, s.id, &used), 0) << "block " << s.id;
        EXPECT_EQ(used, s.data.size()) << "block " << s.id;
        EXPECT_EQ(FalReadBlock(h, s.id, 0, got.data(), ULONG(got.size())), 0) << "block " << s.id;
        EXPECT_TRUE(got == s.data) << "block " << s.id << " of slot " << slot << " changed";
    }
    EXPECT_EQ(FalClose(h), 0);
    long used = countUsedBlocks(testutil::readFile(kFile));
    long want = long(m.live.size());
    EXPECT_TRUE(used >= want - 1 && used <= want + 1)
        << used << " used blocks on disk, " << want << " in the model";
}

TEST(FalKills, AKilledWriterKeepsEveryFinishedBlock)
{
    killrun::sweep("fal", kFile, kMaxDelay, checkFile);
}

}  // namespace
