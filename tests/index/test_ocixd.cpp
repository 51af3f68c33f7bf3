// The OcIxd object: results and error words of the calls it forwards, and
// members used before an index is open.
#include <gtest/gtest.h>
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
