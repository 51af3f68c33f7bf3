// The OcIxd object: results and error words of the calls it forwards,
// members used before an index is open, and moves between objects.
#include <gtest/gtest.h>
#include <type_traits>
#include <utility>
#include "ocixd.h"
#include "testutil.h"

TEST(OcIxd, ForwardsCallsAndKeepsTheirErrors)
{
    testutil::ScratchFile f("ocixd.ixd");
    OcIxd ix;
    EXPECT_EQ(ix.Enter("abcd", 1), 0);
    EXPECT_EQ(ix.LastError(), (ULONG)ORIN_ERR_INVALID_HANDLE);
    EXPECT_EQ(ix.Create(f.name.c_str(), 4, 20, 0, 0), 0);
    EXPECT_EQ(ix.LastError(), (ULONG)IXD_ERR_NODE_SIZE);
    ASSERT_NE(ix.Create(f.name.c_str(), 4, 0, 0, 0), 0);
    EXPECT_TRUE(ix.Ok());
    for (ULONG r = 1; r <= 3; r++)
        EXPECT_NE(ix.Enter("abcd", r), 0);
    EXPECT_EQ(ix.Enter("abcd", 2), 0);
    EXPECT_EQ(ix.LastError(), (ULONG)IXD_ERR_DUPLICATE);
    EXPECT_NE(ix.Enter("abce", 9), 0);
    EXPECT_EQ(ix.QueryNrKeys(), 4u);
    EXPECT_EQ(ix.QueryNrRecords("abcd"), 3u);
    EXPECT_EQ(ix.QueryKeyLength(), 4);
    EXPECT_EQ(ix.QueryKeyBufLength(), 8);

    char k[4];
    ULONG rec = 0;
    ASSERT_NE(ix.SearchID("abcd", 2, k, &rec), 0);
    EXPECT_EQ(rec, 2u);
    EXPECT_NE(ix.Remove("abcd", 2), 0);
    ASSERT_NE(ix.Next(k, &rec), 0);          // moved on from the removed pair
    EXPECT_EQ(rec, 3u);
    EXPECT_EQ(ix.LastError(), (ULONG)IXD_ERR_KEY_VANISHED);
    EXPECT_FALSE(ix.Ok());
    EXPECT_NE(ix.Skip(1, k, &rec), 0);
    EXPECT_EQ(std::string(k, 4), "abce");
    EXPECT_EQ(ix.Skip(1, k, &rec), 0);
    EXPECT_EQ(ix.LastError(), (ULONG)IXD_ERR_NOT_FOUND);
    EXPECT_EQ(ix.Retrieve("abcd", 2), 0);
    EXPECT_NE(ix.Close(), 0);
    EXPECT_EQ(ix.QueryKeyLength(f.name.c_str()), 4);

    OcIxd again;
    ASSERT_NE(again.Open(f.name.c_str(), 4, 1), 0);
    EXPECT_NE(again.Last(k, &rec), 0);
    EXPECT_EQ(rec, 9u);
    EXPECT_EQ(again.QueryTreeChanged(), 0);
}

// The object owns its index handle alone: a copy would close it twice.
static_assert(!std::is_copy_constructible_v<OcIxd> && !std::is_copy_assignable_v<OcIxd>);
static_assert(std::is_nothrow_move_constructible_v<OcIxd> && std::is_nothrow_move_assignable_v<OcIxd>);

namespace {

bool openableElsewhere(const std::string &name)
{
    HANDLE h = CreateFileA(name.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(h);
    return true;
}

} // namespace

// A move hands the index over: the source answers "not open" and closes
// nothing when it ends; moving onto an object closes the index it had.
TEST(OcIxd, MoveHandsOverTheIndex)
{
    testutil::ScratchFile f("ocixd_move_a.ixd"), g("ocixd_move_b.ixd");
    OcIxd target;
    ASSERT_NE(target.Create(g.name.c_str(), 4, 0, 0, 0), 0);
    {
        OcIxd source;
        ASSERT_NE(source.Create(f.name.c_str(), 4, 0, 0, 0), 0);
        ASSERT_NE(source.Enter("abcd", 7), 0);
        OcIxd moved(std::move(source));
        EXPECT_EQ(source.Enter("abcd", 8), 0);
        EXPECT_EQ(source.LastError(), (ULONG)ORIN_ERR_INVALID_HANDLE);
        EXPECT_EQ(source.Handle(), nullptr);
        ASSERT_FALSE(openableElsewhere(g.name));
        target = std::move(moved);
        EXPECT_TRUE(openableElsewhere(g.name)) << "the replaced index was closed";
        EXPECT_EQ(moved.Close(), 0);
        EXPECT_EQ(moved.LastError(), (ULONG)ORIN_ERR_INVALID_HANDLE);
    }
    EXPECT_FALSE(openableElsewhere(f.name)) << "the moved-from objects left the index open";
    ASSERT_NE(target.Enter("abce", 9), 0);
    EXPECT_EQ(target.QueryNrKeys(), 2u);
    char k[4];
    ULONG rec = 0;
    ASSERT_NE(target.First(k, &rec), 0);
    EXPECT_EQ(rec, 7u);
}
