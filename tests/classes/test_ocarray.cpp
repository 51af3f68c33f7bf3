// OcArray through the DLL: deletion with and without a callback and the
// extent.  Insertion, removal and swaps against a model are in
// test_container_model.cpp.
#include <gtest/gtest.h>
#include <cstdlib>
#include <vector>
#include "ocarray.h"

namespace {

std::vector<void *> deleted;
void recordDeleted(void *p)
{
    deleted.push_back(p);
}

std::vector<int> values(const OcArray &a)
{
    std::vector<int> v;
    for (ULONG i = 0; i < a.Count(); i++)
        v.push_back(*static_cast<int *>(a.GetAt(i)));
    return v;
}

}  // namespace

TEST(OcArray, DeleteHandsTheElementToTheCallbackThenFreesIt)
{
    OcArray a(5);
    std::vector<int *> owned;
    for (int i = 0; i < 4; i++) {
        int *p = static_cast<int *>(malloc(sizeof(int)));
        *p = i * 100;
        owned.push_back(p);
        a.Append(p);
    }
    deleted.clear();
    EXPECT_EQ(a.Delete(1, recordDeleted), 1);
    ASSERT_EQ(deleted.size(), 1u);
    EXPECT_EQ(deleted[0], owned[1]);
    EXPECT_EQ(values(a), (std::vector<int>{0, 200, 300}));
    EXPECT_EQ(a.Delete(3, recordDeleted), 0);
    EXPECT_EQ(deleted.size(), 1u);
    EXPECT_EQ(a.Delete(0), 1);  // no callback: the caller keeps it
    EXPECT_EQ(*owned[0], 0);
    free(owned[0]);
    a.SetExtent(0);
    EXPECT_EQ(a.Extent(), 2u);
    while (a.Count() != 0)
        a.Delete(0, recordDeleted);
    EXPECT_EQ(deleted.size(), 3u);
}
