// OcStack through the DLL: ring and growth behaviour, GetAt from both
// ends, partial sizes, indirect storage of large elements, copies,
// Invert and Sort against std::stable_sort of the same elements.
#include <gtest/gtest.h>
#include <algorithm>
#include <cctype>
#include <cstring>
#include <string>
#include <vector>
#include "ocstack.h"

namespace {

int at(const OcStack &s, LONG index)
{
    int v = -1;
    return s.GetAt(index, &v, sizeof v) ? v : -1;
}

std::vector<int> contents(const OcStack &s)
{
    std::vector<int> v;
    for (ULONG i = 1; i <= s.TopElement(); i++)
        v.push_back(at(s, (LONG)i));
    return v;
}

std::string textAt(const OcStack &s, LONG index)
{
    std::string buf(s.DataSize(), '\0');
    if (!s.GetAt(index, buf.data(), 0))
        return "<none>";
    return std::string(buf.c_str());
}

}  // namespace

TEST(OcStack, RingKeepsTheNewestAndGrowthAddsOneSlot)
{
    OcStack ring(sizeof(int), 3, TRUE);
    for (int v = 1; v <= 5; v++)
        ASSERT_EQ(ring.Push(&v, sizeof v), 1);
    EXPECT_EQ(ring.Size(), 3u);
    EXPECT_EQ(contents(ring), (std::vector<int>{3, 4, 5}));

    OcStack grow(sizeof(int), 2, FALSE);
    int v = 7;
    grow.Push(&v);
    grow.Push(&v);
    EXPECT_EQ(grow.Size(), 2u);
    grow.Push(&v);
    EXPECT_EQ(grow.Size(), 3u);
    EXPECT_EQ(grow.TopElement(), 3u);

    OcStack empty(sizeof(int));  // no buffer until the first push
    EXPECT_EQ(empty.Size(), 0u);
    EXPECT_EQ(empty.Pop(), 0);
    empty.Push(&v);
    EXPECT_EQ(empty.Size(), 1u);

    OcStack ring0(sizeof(int), 0, TRUE);  // a ring of one slot
    for (int i = 1; i <= 4; i++)
        ring0.Push(&i);
    EXPECT_EQ(contents(ring0), std::vector<int>{4});
}

TEST(OcStack, GetAtCountsFromBothEnds)
{
    OcStack s(sizeof(int), 4);
    for (int v = 10; v <= 40; v += 10)
        s.Push(&v);
    EXPECT_EQ(at(s, 0), 40);
    EXPECT_EQ(at(s, 1), 10);
    EXPECT_EQ(at(s, -1), 30);
    EXPECT_EQ(at(s, -3), 10);
    EXPECT_EQ(at(s, 4), 40);
    EXPECT_EQ(at(s, -4), -1);
    EXPECT_EQ(at(s, 5), -1);
    int out = 0;
    EXPECT_EQ(s.Pop(&out, sizeof out), 1);
    EXPECT_EQ(out, 40);
    EXPECT_EQ(at(s, 0), 30);
    s.Clear();
    EXPECT_EQ(s.TopElement(), 0u);
    EXPECT_EQ(s.Size(), 4u);
    EXPECT_EQ(at(s, 0), -1);
    s.Free();
    EXPECT_EQ(s.Size(), 0u);
}

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

TEST(OcStack, InvertAndSort)
{
    OcStack s(sizeof(int), 0);
    EXPECT_EQ(s.Sort(TRUE, FALSE), 0);  // fewer than two elements
    std::vector<int> model;
    for (int i = 0; i < 9; i++) {
        int v = (i * 37) % 11;
        s.Push(&v);
        model.push_back(v);
    }
    EXPECT_EQ(s.Invert(), 1);
    std::reverse(model.begin(), model.end());
    EXPECT_EQ(contents(s), model);

    // Byte-wise order of the elements' bytes, not of the int values.
    auto bytesLess = [](int a, int b) { return memcmp(&a, &b, sizeof a) < 0; };
    std::vector<int> big = {0x100, 0x2, 0x10000, 0x1, 0xFF};
    OcStack b(sizeof(int));
    for (int v : big)
        b.Push(&v);
    ASSERT_NE(b.Sort(TRUE, FALSE), 0);
    std::stable_sort(big.begin(), big.end(), bytesLess);
    EXPECT_EQ(contents(b), big);
}

TEST(OcStack, SortFoldsCaseAndKeepsEqualElementsInOrder)
{
    const std::vector<std::string> words = {"delta", "Alpha", "charlie", "ALPHA", "bravo",
                                            "Charlie", "alpha", "Bravo"};
    auto fold = [](const std::string &w) {
        std::string f(16, '\0');
        for (size_t i = 0; i < w.size(); i++)
            f[i] = (char)tolower((unsigned char)w[i]);
        return f;
    };
    for (int variant = 0; variant < 4; variant++) {
        bool cs = variant & 1, desc = variant & 2;
        OcStack s(16, 0, FALSE);
        for (auto &w : words)
            s.Push(w.c_str(), (ULONG)w.size() + 1);
        ASSERT_NE(s.Sort(cs, desc), 0);
        std::vector<std::string> expect = words;
        std::stable_sort(expect.begin(), expect.end(), [&](const std::string &a, const std::string &b) {
            std::string ka = cs ? a : fold(a), kb = cs ? b : fold(b);
            int r = memcmp(ka.c_str(), kb.c_str(), std::min(ka.size(), kb.size()) + 1);
            return desc ? r > 0 : r < 0;
        });
        for (size_t i = 0; i < expect.size(); i++)
            EXPECT_EQ(textAt(s, (LONG)i + 1), expect[i]) << "variant " << variant << " at " << i;
    }
}
