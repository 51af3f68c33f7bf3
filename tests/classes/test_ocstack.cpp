// OcStack through the DLL: partial sizes, indirect storage of large
// elements, copies.  Ring and growth behaviour, GetAt from both ends,
// Invert and Sort are checked against a model in test_container_model.cpp.
#include <gtest/gtest.h>
#include <string>
#include <vector>
#include "ocstack.h"

TEST(OcStack, PartialSizesZeroFillAndOversizeMeansWhole)
{
    OcStack s(8, 2);
    EXPECT_EQ(s.DataSize(), 8u);
    s.Push("ABCDEFGH", 0);
    s.Push("xyzXYZ12", 3);
    s.Push("12345678XXXX", 12);
    char out[12];
    memset(out, '#', sizeof out);
    s.GetAt(2, out, 0);
    EXPECT_EQ(std::string(out, 8), std::string("xyz\0\0\0\0\0", 8));
    memset(out, '#', sizeof out);
    s.GetAt(3, out, 100);
    EXPECT_EQ(std::string(out, 12), "12345678####");
    memset(out, '#', sizeof out);
    s.GetAt(1, out, 2);
    EXPECT_EQ(std::string(out, 4), "AB##");
    s.Push(nullptr, 0);
    memset(out, '#', sizeof out);
    s.Pop(out, 0);
    EXPECT_EQ(std::string(out, 8), std::string(8, '\0'));
}

TEST(OcStack, LargeElementsLiveApartAndCopiesAreDeep)
{
    EXPECT_FALSE(OcStack(1023, 10).IsIndirect());
    EXPECT_TRUE(OcStack(1024, 1).IsIndirect());
    EXPECT_TRUE(OcStack(100, 656).IsIndirect());   // 65,600 bytes
    EXPECT_FALSE(OcStack(100, 655).IsIndirect());  // 65,500 bytes

    const ULONG kSize = 1024;
    OcStack s(kSize, 2);
    std::vector<std::string> pushed;
    for (int i = 0; i < 5; i++) {
        std::string e(kSize, '\0');
        for (ULONG b = 0; b < kSize; b++)
            e[b] = (char)(b * 7 + i * 13);
        pushed.push_back(e);
        ASSERT_EQ(s.Push(e.data(), 0), 1);
    }
    s.Push(nullptr, 0);  // an element without data reads as zeros
    std::string out(kSize, 'x');
    s.GetAt(0, out.data());
    EXPECT_EQ(out, std::string(kSize, '\0'));
    s.Pop();

    OcStack copy(s);
    EXPECT_EQ(copy.Size(), 5u);
    EXPECT_EQ(copy.TopElement(), 5u);
    s.Pop();
    std::string other(kSize, 'z');
    s.Push(other.data());
    for (ULONG i = 1; i <= 5; i++) {
        copy.GetAt((LONG)i, out.data());
        EXPECT_EQ(out, pushed[i - 1]) << i;
    }
    s.GetAt(0, out.data());
    EXPECT_EQ(out, other);

    OcStack assigned(4, 1);
    assigned = copy;
    EXPECT_EQ(assigned.DataSize(), kSize);
    copy.Free();
    assigned.GetAt(-4, out.data());
    EXPECT_EQ(out, pushed[0]);
    assigned = assigned;
    EXPECT_EQ(assigned.TopElement(), 5u);
}
