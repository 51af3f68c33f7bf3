// First-format profiles changed through their handler, and the files it
// leaves decoded by the tests' own reader (prf100file.h): the records in
// their order, one block per value, key lists freed when they empty, no
// block leaked.  Creating and destroying sections, the rules of a write
// without key or without data, the size limit and read-only profiles.
#include <gtest/gtest.h>
#include <cstring>
#include "prf100test.h"

using namespace prf100test;
using prf100file::Decoded;
using prf100file::Key;
using prf100file::Layout;
using prf100file::Section;

namespace {

TEST(Prf100Write, TheFileHoldsTheDocumentedRecords)
{
    MemProfile p("layout.prf");
    ASSERT_EQ(p.rc, 0);
    ASSERT_EQ(write(p.h, "Main", "first", "one"), 0);
    ASSERT_EQ(write(p.h, "Main", "second", std::string("\0\1\2", 3)), 0);
    ASSERT_EQ(write(p.h, "Other", "empty", ""), 0);
    ASSERT_EQ(PrfWriteProfileString(p.h, "  Main ", "third", "three"), 0);
    Decoded d = p.decodeClosed();
    EXPECT_EQ(d.version, std::string("PRFF100\0", 8));
    Layout want = {
        Section{"Main", {Key{"first", "one"}, Key{"second", std::string("\0\1\2", 3)},
                         Key{"third", "three"}}},
        Section{"Other", {Key{"empty", ""}}},
    };
    EXPECT_EQ(d.layout, want);
    EXPECT_EQ(d.usedBlocks, 4u + 2u + 1u);
}

TEST(Prf100Write, WithoutDataTheKeyIsDeleted)
{
    MemProfile p("delkey.prf");
    ASSERT_EQ(p.rc, 0);
    ASSERT_EQ(write(p.h, "S", "a", "1"), 0);
    ASSERT_EQ(write(p.h, "S", "b", "2"), 0);
    ASSERT_EQ(write(p.h, "T", "c", "3"), 0);
    EXPECT_EQ(PrfWriteProfileData(p.h, "S", "a", nullptr, 5), 0);
    EXPECT_EQ(list(p.h, "S"), "b~");
    EXPECT_EQ(PrfWriteProfileString(p.h, "S", "a", nullptr), ORIN_ERR_NO_KEY);
    EXPECT_EQ(PrfWriteProfileData(p.h, "Missing", "a", nullptr, 0), ORIN_ERR_NO_KEY);
    EXPECT_EQ(list(p.h), "S~T~");                  // no section made by a delete
    // The last key goes with its key list; the section stays.
    EXPECT_EQ(PrfWriteProfileString(p.h, "S", "b", nullptr), 0);
    Decoded d = p.decodeClosed();
    Layout want = {Section{"S", {}}, Section{"T", {Key{"c", "3"}}}};
    EXPECT_EQ(d.layout, want);
    EXPECT_EQ(d.usedBlocks, 3u);                   // section list, T's key list, c
}

TEST(Prf100Write, WithoutKeyEveryKeyIsDeleted)
{
    MemProfile p("delall.prf");
    ASSERT_EQ(p.rc, 0);
    for (const char *k : {"a", "b", "c"})
        ASSERT_EQ(write(p.h, "S", k, std::string(100, *k)), 0);
    ASSERT_EQ(write(p.h, "T", "d", "4"), 0);
    // Data given without a key changes nothing of that rule.
    EXPECT_EQ(PrfWriteProfileData(p.h, "S", nullptr, "x", 1), 0);
    EXPECT_EQ(list(p.h), "S~T~");
    EXPECT_EQ(list(p.h, "S"), "");
    EXPECT_EQ(PrfWriteProfileData(p.h, "S", nullptr, nullptr, 0), 0);   // already none
    EXPECT_EQ(PrfWriteProfileData(p.h, "Missing", nullptr, nullptr, 0), ORIN_ERR_NO_KEY);
    Decoded d = p.decodeClosed();
    Layout want = {Section{"S", {}}, Section{"T", {Key{"d", "4"}}}};
    EXPECT_EQ(d.layout, want);
    EXPECT_EQ(d.usedBlocks, 3u);
}

TEST(Prf100Write, CreateAndDestroySections)
{
    MemProfile p("sections.prf");
    ASSERT_EQ(p.rc, 0);
    EXPECT_EQ(PrfCreateSection(p.h, "Empty"), 0);
    EXPECT_EQ(PrfCreateSection(p.h, "Empty"), PRF_ERR_EXISTS);
    EXPECT_EQ(PrfCreateSection(p.h, "empty"), 0);
    for (const char *k : {"a", "b"})
        ASSERT_EQ(write(p.h, "Full", k, std::string(300, *k)), 0);
    EXPECT_EQ(PrfCreateSection(p.h, "Full"), PRF_ERR_EXISTS);
    EXPECT_EQ(list(p.h), "Empty~empty~Full~");
    Layout want = {Section{"Empty", {}}, Section{"empty", {}},
                   Section{"Full", {Key{"a", std::string(300, 'a')}, Key{"b", std::string(300, 'b')}}}};
    EXPECT_EQ(p.decodeClosed().layout, want);

    // Destroying frees the values and the key list with the record.
    EXPECT_EQ(PrfDestroySection(p.h, "Full"), 0);
    EXPECT_EQ(PrfDestroySection(p.h, "Full"), ORIN_ERR_NO_KEY);
    EXPECT_EQ(value(p.h, "Full", "a"), "<error 211>");
    Decoded d = p.decodeClosed();
    want.pop_back();
    EXPECT_EQ(d.layout, want);
    EXPECT_EQ(d.usedBlocks, 1u);
    // The last section takes the section list with it.
    EXPECT_EQ(PrfDestroySection(p.h, "Empty"), 0);
    EXPECT_EQ(PrfDestroySection(p.h, "empty"), 0);
    d = p.decodeClosed();
    EXPECT_TRUE(d.layout.empty());
    EXPECT_EQ(d.usedBlocks, 0u);
    EXPECT_EQ(prf100file::get32(bytesOf("sections.prf"), prf100file::kSectionListAt), 0ul);
    EXPECT_EQ(list(p.h), "");
}

// A value is one block: one too long for any block is refused before the
// file is touched.
TEST(Prf100Write, AValueMustFitOneBlock)
{
    MemProfile p("limit.prf");
    ASSERT_EQ(p.rc, 0);
    ASSERT_EQ(write(p.h, "S", "k", "old"), 0);
    p.close();
    Bytes before = bytesOf("limit.prf");
    ASSERT_EQ(p.open(), 0);
    const size_t largest = 0xFFFF - 8 - 128;
    EXPECT_EQ(write(p.h, "S", "k", std::string(largest + 1, 'x')), ORIN_ERR_NO_MEMORY);
    EXPECT_EQ(write(p.h, "New", "k", std::string(70000, 'x')), ORIN_ERR_NO_MEMORY);
    p.close();
    EXPECT_EQ(bytesOf("limit.prf"), before);
    ASSERT_EQ(p.open(), 0);
    std::string most(largest, 'y');
    most[0] = 'a';
    most[largest - 1] = 'z';
    EXPECT_EQ(write(p.h, "S", "k", most), 0);
    EXPECT_EQ(value(p.h, "S", "k"), most);
}

// Names a write would store must be storable; the calls check them too.
TEST(Prf100Write, BadNamesAreRefused)
{
    MemProfile p("badnames.prf");
    ASSERT_EQ(p.rc, 0);
    EXPECT_EQ(write(p.h, "S", "a~b", "v"), ORIN_ERR_INVALID_NAME);
    EXPECT_EQ(write(p.h, "   ", "k", "v"), ORIN_ERR_INVALID_NAME);
    PRFREQUEST rq = request("S", "", (void *)"v", 1);
    EXPECT_EQ(send(p.h, PRF_CMD_WRITE, &rq), (ULONG)ORIN_ERR_INVALID_NAME);
    rq = request("a~b", "k", (void *)"v", 1);
    EXPECT_EQ(send(p.h, PRF_CMD_WRITE, &rq), (ULONG)ORIN_ERR_INVALID_NAME);
    EXPECT_EQ(send(p.h, PRF_CMD_CREATESECTION, (void *)"x~y"), (ULONG)ORIN_ERR_INVALID_NAME);
    EXPECT_EQ(send(p.h, PRF_CMD_CREATESECTION, (void *)""), (ULONG)ORIN_ERR_INVALID_NAME);
    EXPECT_EQ(list(p.h), "");
    EXPECT_TRUE(p.decodeClosed().layout.empty());
}

TEST(Prf100Write, AReadOnlyProfileIsNotChanged)
{
    MemProfile p("ro.prf");
    ASSERT_EQ(p.rc, 0);
    ASSERT_EQ(write(p.h, "S", "k", "v"), 0);
    p.close();
    Bytes before = bytesOf("ro.prf");
    ASSERT_EQ(p.open(PRF_OPEN_READONLY), 0);
    EXPECT_EQ(write(p.h, "S", "k", "w"), ORIN_ERR_ACCESS_DENIED);
    EXPECT_EQ(write(p.h, "S", "k2", "w"), ORIN_ERR_ACCESS_DENIED);
    EXPECT_EQ(PrfWriteProfileData(p.h, "S", "k", nullptr, 0), ORIN_ERR_ACCESS_DENIED);
    EXPECT_EQ(PrfCreateSection(p.h, "T"), ORIN_ERR_ACCESS_DENIED);
    EXPECT_EQ(PrfDestroySection(p.h, "S"), ORIN_ERR_ACCESS_DENIED);
    EXPECT_EQ(value(p.h, "S", "k"), "v");
    EXPECT_EQ(list(p.h), "S~");
    p.close();
    EXPECT_EQ(bytesOf("ro.prf"), before);
}

}  // namespace
