// What one profile call costs the file system, counted through a back-end
// that notes every lock, read and write: a shared profile takes one lock
// pair per call and reads the file's update count once, and reads its
// header again only when another handle changed the file; a write that
// leaves a key's record as it was writes the in-update count, the data
// and the count again, in that order, and nothing else.
#include <gtest/gtest.h>
#include <string>
#include "countvbf.h"
#include "prf.h"
#include "profile/falint.h"

namespace {

/* File offsets of the layout: the block file's 96-byte header with its
 * update count at 8, then the profile header with its in-update count
 * and checksum in the last 4 of its 3980 bytes. */
constexpr ULONG kCountOffset = 8;
constexpr ULONG kFalHeaderSize = 96;
constexpr ULONG kProfileHeader = 96;
constexpr ULONG kProfileHeaderSize = 3980;
constexpr ULONG kInUpdateOffset = kProfileHeader + 3976;

struct Profile {
    HPRF h = nullptr;
    Profile(const char *file, USHORT flags)
    {
        EXPECT_EQ(PrfOpenProfileOnVbf(nullptr, &h, file, flags, countvbf::table()), 0);
    }
    ~Profile() { PrfCloseProfile(h); }
    std::string get(const char *s, const char *k)
    {
        char buf[256] = "";
        USHORT rc = PrfQueryProfileString(h, s, k, nullptr, buf, sizeof buf);
        return rc ? "<error " + std::to_string(rc) + ">" : std::string(buf);
    }
};

/* A fresh profile with keys k0..k49 of section s. */
void fill(const char *file, USHORT flags)
{
    memvbf::files().erase(file);
    Profile p(file, flags);
    for (int i = 0; i < 50; i++)
        ASSERT_EQ(PrfWriteProfileString(p.h, "s", ("k" + std::to_string(i)).c_str(), "value"), 0);
}

/* Writes that touch the block file's header. */
int falHeaderWrites()
{
    int n = 0;
    for (const auto &a : countvbf::counts().writes)
        n += a.offset < kFalHeaderSize;
    return n;
}

void expectOneLockPair()
{
    EXPECT_EQ(countvbf::counts().locks, 1);
    EXPECT_EQ(countvbf::counts().unlocks, 1);
}

TEST(PrfCalls, SharedReadTakesOneLockPairAndOneCountRead)
{
    fill("calls.prf", PRF_OPEN_SHARED);
    Profile p("calls.prf", PRF_OPEN_SHARED);
    EXPECT_EQ(p.get("s", "k9"), "value");   /* tables loaded */
    for (const char *key : { "k9", "k10", "missing" }) {
        countvbf::reset();
        EXPECT_EQ(p.get("s", key), key[0] == 'm' ? "<error 211>" : "value");
        SCOPED_TRACE(key);
        expectOneLockPair();
        EXPECT_EQ(countvbf::readsTouching(kCountOffset, 2), 1);
        EXPECT_EQ(countvbf::readsTouching(kProfileHeader, kProfileHeaderSize), 0);
        EXPECT_TRUE(countvbf::counts().writes.empty());
    }
}

TEST(PrfCalls, SharedWriteTakesOneLockPairAndWritesTheHeaderTwice)
{
    fill("calls.prf", PRF_OPEN_SHARED);
    Profile p("calls.prf", PRF_OPEN_SHARED);
    EXPECT_EQ(p.get("s", "k7"), "value");
    for (const char *key : { "k7", "new" }) {
        countvbf::reset();
        ASSERT_EQ(PrfWriteProfileString(p.h, "s", key, "other"), 0);
        SCOPED_TRACE(key);
        expectOneLockPair();
        EXPECT_EQ(countvbf::readsTouching(kCountOffset, 2), 1);
        EXPECT_EQ(countvbf::readsTouching(kProfileHeader, kProfileHeaderSize), 0);
        /* The block file's header goes with the in-update mark, so that
         * other processes see the count move before any block changes,
         * and with the closing count at the end: each time one write
         * from offset 0 through the in-update count. */
        const auto &w = countvbf::counts().writes;
        ASSERT_GE(w.size(), 3u);
        EXPECT_EQ(w[0].offset, 0u);
        EXPECT_EQ(w[0].length, kInUpdateOffset + 4);
        EXPECT_EQ(w.back().offset, 0u);
        EXPECT_EQ(w.back().length, kInUpdateOffset + 4);
        /* between them the data alone, or a new piece and the key table */
        EXPECT_EQ(w.size(), key[0] == 'n' ? 4u : 3u);
        EXPECT_EQ(falHeaderWrites(), 2);
        EXPECT_EQ(p.get("s", key), "other");
    }
}

// The other handle's change moved the count: the reader reads the header
// again (once) and sees the new value; its next call trusts its copy.
TEST(PrfCalls, SharedReaderReadsTheHeaderOnlyAfterAChange)
{
    fill("calls.prf", PRF_OPEN_SHARED);
    Profile reader("calls.prf", PRF_OPEN_SHARED);
    Profile writer("calls.prf", PRF_OPEN_SHARED);
    EXPECT_EQ(reader.get("s", "k3"), "value");
    ASSERT_EQ(PrfWriteProfileString(writer.h, "s", "k3", "changed elsewhere"), 0);
    countvbf::reset();
    EXPECT_EQ(reader.get("s", "k3"), "changed elsewhere");
    EXPECT_EQ(countvbf::readsTouching(kProfileHeader, kProfileHeaderSize), 1);
    countvbf::reset();
    EXPECT_EQ(reader.get("s", "k3"), "changed elsewhere");
    EXPECT_EQ(countvbf::readsTouching(kProfileHeader, kProfileHeaderSize), 0);
}

// Not shared: overwriting a value with one of the same length leaves the
// key record as it was, so the key table and the piece's block header
// are not written; a longer value changes the record and the table goes.
TEST(PrfCalls, UnchangedKeyRecordIsNotWrittenAgain)
{
    fill("calls.prf", 0);
    Profile p("calls.prf", 0);
    EXPECT_EQ(p.get("s", "k7"), "value");
    countvbf::reset();
    ASSERT_EQ(PrfWriteProfileString(p.h, "s", "k7", "VALUE"), 0);
    const auto &w = countvbf::counts().writes;
    ASSERT_EQ(w.size(), 3u);
    EXPECT_EQ(w[0].offset, kInUpdateOffset);
    EXPECT_EQ(w[1].length, 5u);
    EXPECT_EQ(w[2].offset, kInUpdateOffset);
    countvbf::reset();
    ASSERT_EQ(PrfWriteProfileString(p.h, "s", "k7", "longer value"), 0);
    EXPECT_GT(countvbf::counts().writes.size(), 3u);
}

/* A profile (k0..k49 of section s) with a key of three pieces, "big", and
 * a key after it, so that freeing pieces of big puts them on the free
 * lists rather than cutting the file. */
void fillWithBigKey(const char *file, USHORT flags)
{
    fill(file, flags);
    Profile p(file, flags);
    std::string big(40000, 'b');
    ASSERT_EQ(PrfWriteProfileData(p.h, "s", "big", big.data(), (ULONG)big.size()), 0);
    ASSERT_EQ(PrfWriteProfileString(p.h, "s", "k1", "x"), 0);
}

// A change that moves the free lists ends with the block file's header
// and the profile header's in-update count in one write from offset 0,
// the file header first; the mark still goes before any block.
TEST(PrfCalls, FreeListsAndClosingCountGoInOneWrite)
{
    fillWithBigKey("calls.prf", 0);
    Profile p("calls.prf", 0);
    countvbf::reset();
    ASSERT_EQ(PrfSetProfileDataSize(p.h, "s", "big", 10), 0);   /* frees two pieces */
    const auto &w = countvbf::counts().writes;
    ASSERT_GE(w.size(), 3u);
    EXPECT_EQ(w[0].offset, kInUpdateOffset);
    EXPECT_EQ(w.back().offset, 0u);
    EXPECT_EQ(w.back().length, kInUpdateOffset + 4);
    for (size_t i = 1; i + 1 < w.size(); i++) {
        EXPECT_GE(w[i].offset, kProfileHeader + kProfileHeaderSize) << i;
        EXPECT_NE(w[i].length, 4u) << i << ": a free block's link went apart from its header";
    }
}

// Shared: the free lists a change moves wait behind the in-update mark and
// go out with the closing count, so the block file's header is written at
// the two ends of the update and nowhere between; the file then reads
// back whole through another handle.  Without the lean I/O the header
// goes out again at each change of the lists (so the check can fail).
TEST(PrfCalls, SharedFreeListsWaitForTheClosingWrite)
{
    bool was = orin::fal::leanIo();
    for (bool lean : { true, false }) {
        SCOPED_TRACE(lean ? "lean" : "plain");
        orin::fal::setLeanIo(lean);
        fillWithBigKey("calls.prf", PRF_OPEN_SHARED);
        {
            Profile p("calls.prf", PRF_OPEN_SHARED);
            EXPECT_EQ(p.get("s", "k1"), "x");
            countvbf::reset();
            ASSERT_EQ(PrfSetProfileDataSize(p.h, "s", "big", 10), 0);   /* frees two pieces */
            ASSERT_EQ(PrfWriteProfileString(p.h, "s", "k2", "new value"), 0);
            const auto &w = countvbf::counts().writes;
            ASSERT_GE(w.size(), 4u);
            if (lean)
                EXPECT_EQ(falHeaderWrites(), 4);   /* two calls, two ends each */
            else
                EXPECT_GT(falHeaderWrites(), 4);
        }
        Profile other("calls.prf", PRF_OPEN_READONLY);
        EXPECT_EQ(PrfCheckConsistent(other.h), 0);
        EXPECT_EQ(other.get("s", "big"), std::string(10, 'b'));
        EXPECT_EQ(other.get("s", "k2"), "new value");
        EXPECT_EQ(other.get("s", "k9"), "value");
    }
    orin::fal::setLeanIo(was);
}

// Without the lean I/O a freed block's header and link are two writes:
// the check above can see the difference.
TEST(PrfCalls, PlainIoWritesAFreedBlocksLinkApart)
{
    bool was = orin::fal::leanIo();
    orin::fal::setLeanIo(false);
    fillWithBigKey("calls.prf", 0);
    {
        Profile p("calls.prf", 0);
        countvbf::reset();
        ASSERT_EQ(PrfSetProfileDataSize(p.h, "s", "big", 10), 0);
        int links = 0;
        for (const auto &a : countvbf::counts().writes)
            links += a.length == 4 && a.offset >= kProfileHeader + kProfileHeaderSize;
        EXPECT_GE(links, 1);
    }
    orin::fal::setLeanIo(was);
}

// What the lean writes left is what was written: read back through a new
// handle after the writer closed.
TEST(PrfCalls, LeanWritesReadBackAfterReopening)
{
    fill("calls.prf", 0);
    {
        Profile p("calls.prf", 0);
        ASSERT_EQ(PrfWriteProfileString(p.h, "s", "k7", "VALUE"), 0);
        ASSERT_EQ(PrfWriteProfileString(p.h, "s", "k8", "longer value"), 0);
    }
    Profile p("calls.prf", PRF_OPEN_READONLY);
    EXPECT_EQ(p.get("s", "k7"), "VALUE");
    EXPECT_EQ(p.get("s", "k8"), "longer value");
    EXPECT_EQ(p.get("s", "k9"), "value");
    EXPECT_EQ(PrfCheckConsistent(p.h), 0);
}

// With the lean I/O off, the same write rewrites the block header and the
// key table: the count above is the lean path's doing, not the workload's.
TEST(PrfCalls, PlainIoWritesTheUnchangedRecordAgain)
{
    bool was = orin::fal::leanIo();
    orin::fal::setLeanIo(false);
    fill("calls.prf", 0);
    {
        Profile p("calls.prf", 0);
        EXPECT_EQ(p.get("s", "k7"), "value");
        countvbf::reset();
        ASSERT_EQ(PrfWriteProfileString(p.h, "s", "k7", "VALUE"), 0);
        EXPECT_EQ(countvbf::counts().writes.size(), 5u);
    }
    orin::fal::setLeanIo(was);
}

}  // namespace
