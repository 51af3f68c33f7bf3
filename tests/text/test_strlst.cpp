// String lists (strings in one block closed by an empty string) and the
// reentrant tokenizer, including double-byte delimiters and trail bytes
// under code page 932.
#include <vector>
#include "textinit.h"
#include "strlst.h"
#include "stu.h"

namespace {

textinit::Init init;

std::vector<std::string> items(const char *list)
{
    std::vector<std::string> out;
    for (const char *p = list; p && *p; p += strlen(p) + 1)
        out.push_back(p);
    return out;
}

using V = std::vector<std::string>;

TEST(StrLstBuild, CreateFromSeparatedText)
{
    char *l = StrLstCreateList("x,y,z", ',');
    ASSERT_NE(l, nullptr);
    EXPECT_EQ(items(l), (V{"x", "y", "z"}));
    USHORT size = 0;
    EXPECT_EQ(StrLstGetListInfo(l, &size), 3);
    EXPECT_EQ(size, 7);
    free(l);

    l = StrLstCreateList("x,,y", ',');
    EXPECT_EQ(items(l), (V{"x"}));                     // the empty string ends it
    free(l);
    l = StrLstCreateList("", ',');
    ASSERT_NE(l, nullptr);
    EXPECT_EQ(StrLstGetListInfo(l, &size), 0);
    EXPECT_EQ(size, 0);
    free(l);
    EXPECT_EQ(StrLstCreateList(nullptr, ','), nullptr);
}

TEST(StrLstBuild, AddAppendsInANewBlock)
{
    char *l = StrLstAddString(nullptr, "a");
    ASSERT_NE(l, nullptr);
    EXPECT_EQ(std::string(l, 3), std::string("a\0\0", 3));
    l = StrLstAddString(l, "bc");
    l = StrLstAddString(l, "d");
    EXPECT_EQ(items(l), (V{"a", "bc", "d"}));
    USHORT size = 0;
    EXPECT_EQ(StrLstGetListInfo(l, &size), 3);
    EXPECT_EQ(size, 2 + 3 + 2 + 1);
    char *same = StrLstAddString(l, "");
    EXPECT_EQ(same, l);
    EXPECT_EQ(StrLstAddString(l, nullptr), l);
    free(l);

    char *empty = StrLstAddString(nullptr, "");
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(empty[0], 0);
    empty = StrLstAddString(empty, "z");
    EXPECT_EQ(items(empty), (V{"z"}));
    free(empty);
}

TEST(StrLstBuild, SizeLimitLeavesTheListIntact)
{
    std::string big(40000, 'x');
    char *l = StrLstAddString(nullptr, big.c_str());
    ASSERT_NE(l, nullptr);
    EXPECT_EQ(StrLstAddString(l, big.c_str()), nullptr);
    EXPECT_EQ(KnlGetLastError(), ORIN_ERR_INVALID_PARAM);
    EXPECT_EQ(items(l), (V{big}));                      // untouched, still ours
    free(l);
}

TEST(StrLstEdit, ChangeInPlaceOrInANewBlock)
{
    char *l = StrLstCreateList("a,bb,c", ',');
    char *r = StrLstChangeString(l, "xx", 2);
    EXPECT_EQ(r, l);
    EXPECT_EQ(items(r), (V{"a", "xx", "c"}));
    r = StrLstChangeString(l, "xyz", 2);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(items(r), (V{"a", "xyz", "c"}));
    l = r;
    r = StrLstChangeString(l, "q", 3);
    EXPECT_EQ(items(r), (V{"a", "xyz", "q"}));
    l = r;
    EXPECT_EQ(StrLstChangeString(l, "", 1), l);
    EXPECT_EQ(StrLstChangeString(l, "n", 0), nullptr);
    EXPECT_EQ(StrLstChangeString(l, "n", 4), nullptr);
    EXPECT_EQ(StrLstChangeString(nullptr, "n", 1), nullptr);
    EXPECT_EQ(items(l), (V{"a", "xyz", "q"}));
    free(l);
}

TEST(StrLstEdit, Delete)
{
    char *l = StrLstCreateList("a,b,c", ',');
    EXPECT_EQ(StrLstDeleteString(l, 0), nullptr);
    EXPECT_EQ(StrLstDeleteString(l, 4), nullptr);
    EXPECT_EQ(items(l), (V{"a", "b", "c"}));
    l = StrLstDeleteString(l, 2);
    EXPECT_EQ(items(l), (V{"a", "c"}));
    l = StrLstDeleteString(l, 2);
    l = StrLstDeleteString(l, 1);
    ASSERT_NE(l, nullptr);
    EXPECT_EQ(StrLstGetListInfo(l, nullptr), 0);
    EXPECT_EQ(StrLstDeleteString(l, 1), nullptr);
    free(l);
    EXPECT_EQ(StrLstDeleteString(nullptr, 1), nullptr);
}

TEST(StrLstQuery, FindAndNumber)
{
    char *l = StrLstCreateList("a;b;c", ';');
    EXPECT_EQ(StrLstFindString(l, "B", 0), 2);
    EXPECT_EQ(StrLstFindString(l, "B", 1), 0);
    EXPECT_EQ(StrLstFindString(l, "c", 1), 3);
    EXPECT_EQ(StrLstFindString(l, "", 0), 0);
    EXPECT_STREQ(StrLstGetStringNrPtr(l, 3), "c");
    EXPECT_EQ(StrLstGetStringNrPtr(l, 0), nullptr);
    EXPECT_EQ(StrLstGetStringNrPtr(l, 4), nullptr);
    EXPECT_EQ(StrLstGetStringNrPtr(nullptr, 1), nullptr);
    EXPECT_EQ(StrLstGetListInfo(nullptr, nullptr), 0);
    free(l);
}

TEST(StrLstQuery, Sort)
{
    char *l = StrLstCreateList("c,a,B", ',');
    l = StrLstSort(l, 0);
    EXPECT_EQ(items(l), (V{"a", "B", "c"}));
    l = StrLstSort(l, 1);
    EXPECT_EQ(items(l), (V{"B", "a", "c"}));          // upper case sorts first
    free(l);
    char *one = StrLstCreateList("only", ',');
    EXPECT_EQ(StrLstSort(one, 1), one);
    free(one);
    if (GetACP() == 1252) {
        // Byte-wise means unsigned: 0xE9 sorts after 'z'.
        char *u = StrLstCreateList("\xE9,z", ',');
        u = StrLstSort(u, 1);
        EXPECT_EQ(items(u), (V{"z", "\xE9"}));
        free(u);
    }
}

TEST(StrLstBuild, DoubleByteSeparatorAndTrailBytes)
{
    NEED_CP932();
    // The trail byte of 0x83 0x41 equals the separator 'A' and must not split.
    char *l = StrLstCreateList("\x83\x41" "1A2", 'A');
    EXPECT_EQ(items(l), (V{"\x83\x41" "1", "2"}));
    free(l);
    l = StrLstCreateList("a\x81\x40" "b", 0x4081);
    EXPECT_EQ(items(l), (V{"a", "b"}));
    free(l);
}

TEST(StrTokReentrant, SplitsAtDelimiterRuns)
{
    HSTRTOK t = StrTokOpen("a;;b,c");
    ASSERT_NE(t, nullptr);
    EXPECT_STREQ(StrTokGet(t, ";,"), "a");
    EXPECT_STREQ(StrTokGet(t, ";,"), "b");
    EXPECT_STREQ(StrTokGet(t, ";,"), "c");
    EXPECT_EQ(StrTokGet(t, ";,"), nullptr);
    EXPECT_EQ(StrTokGet(t, ";,"), nullptr);
    StrTokClose(t);

    t = StrTokOpen(";;;");
    EXPECT_STREQ(StrTokGet(t, ";"), "");
    EXPECT_EQ(StrTokGet(t, ";"), nullptr);
    StrTokClose(t);

    t = StrTokOpen("x;");
    EXPECT_STREQ(StrTokGet(t, ";"), "x");
    EXPECT_EQ(StrTokGet(t, ";"), nullptr);
    StrTokClose(t);
    StrTokClose(nullptr);
    EXPECT_EQ(StrTokGet(nullptr, ";"), nullptr);
}

TEST(StrTokReentrant, TwoTokenizersAtOnceAndTheCallerTextUntouched)
{
    const char text[] = "1 2 3";
    HSTRTOK a = StrTokOpen(text), b = StrTokOpen("x-y");
    EXPECT_STREQ(StrTokGet(a, " "), "1");
    EXPECT_STREQ(StrTokGet(b, "-"), "x");
    EXPECT_STREQ(StrTokGet(a, " "), "2");
    EXPECT_STREQ(StrTokGet(b, "-"), "y");
    EXPECT_STREQ(StrTokGet(a, " "), "3");
    EXPECT_STREQ(text, "1 2 3");
    // Delimiters may change from call to call.
    HSTRTOK c = StrTokOpen("k=v;w");
    EXPECT_STREQ(StrTokGet(c, "="), "k");
    EXPECT_STREQ(StrTokGet(c, ";"), "v");
    EXPECT_STREQ(StrTokGet(c, ";"), "w");
    StrTokClose(a);
    StrTokClose(b);
    StrTokClose(c);
}

TEST(StrTokReentrant, DoubleByteDelimiters)
{
    NEED_CP932();
    HSTRTOK t = StrTokOpen("\x83\x41" "A" "b\x81\x40" "c");
    EXPECT_STREQ(StrTokGet(t, "A"), "\x83\x41");       // the trail 'A' does not split
    EXPECT_STREQ(StrTokGet(t, "\x81\x40"), "b");
    EXPECT_STREQ(StrTokGet(t, "\x81\x40"), "c");
    EXPECT_EQ(StrTokGet(t, "\x81\x40"), nullptr);
    StrTokClose(t);
}


// A tokenizer handle that is not a live tokenizer gives no token and
// leaves 87: a closed one (also when closed twice), a made-up record of
// the same shape, a match cursor.
TEST(StrTokReentrant, WrongAndClosedHandlesAreRefused)
{
    HSTRTOK closed = StrTokOpen("a b");
    ASSERT_NE(closed, nullptr);
    StrTokClose(closed);

    char text[] = "p q";
    struct { char *text, *pos; } fake = {text, text};
    STUMATCH *cursor = nullptr;
    ASSERT_EQ(StuMatchOpen("c d", &cursor), 0);

    for (HSTRTOK bad : {closed, reinterpret_cast<HSTRTOK>(&fake), reinterpret_cast<HSTRTOK>(cursor)}) {
        SetLastError(0);
        EXPECT_EQ(StrTokGet(bad, " "), nullptr);
        EXPECT_EQ(KnlGetLastError(), ORIN_ERR_INVALID_PARAM);
        SetLastError(0);
        StrTokClose(bad);
        EXPECT_EQ(KnlGetLastError(), ORIN_ERR_INVALID_PARAM);
    }
    EXPECT_STREQ(text, "p q");
    EXPECT_STREQ(StuMatchPtr(cursor), "c d") << "the cursor is untouched";
    StuMatchClose(cursor);

    HSTRTOK live = StrTokOpen("x,y");
    EXPECT_STREQ(StrTokGet(live, ","), "x");
    EXPECT_STREQ(StrTokGet(live, ","), "y");
    StrTokClose(live);
}

} // namespace
