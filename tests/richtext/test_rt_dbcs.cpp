// Double-byte text under code page 932: a double-byte character whose
// trail byte is the escape byte, a caret or a code letter is one visible
// character and never part of an escape sequence or the stored form's
// carets; positions and cuts count whole characters.  Under code page
// 1252 the same bytes are single characters, and the first case shows it.
#include "rttest.h"

namespace {

textinit::Init init;
using namespace rttest;

TEST(RtDbcs, TrailCaretsAreNotDoubled)
{
    NEED_CP932();
    const char s[] = "\x81\x5e" ESC "b1^";
    Heap stored(RtStrMakeStore(s, nullptr));
    EXPECT_EQ(str(stored), "\x81\x5e^b1^^");
    Heap back(RtStrRetrieveStore(stored.get()));
    EXPECT_EQ(str(back), s);
    // The stored form of a rich text: the first caret is the real one.
    PRTCONTEXT ctx = nullptr;
    char *rich = nullptr;
    ASSERT_EQ(RtSplitRtTxt("\x83\x5e,1;^b1;\x81\x5e", &ctx, &rich), 1);
    Context c(ctx);
    Heap r(rich);
    EXPECT_EQ(str(r), ESC "b1;\x81\x5e");
    const char *face = nullptr;
    ASSERT_EQ(RtStrQueryContextEntry(ctx, 0, &face, nullptr), 0);
    EXPECT_STREQ(face, "\x83\x5e");
    EXPECT_EQ(RtStrChr(s, '^'), s + 5);
    EXPECT_EQ(RtStrChr(s, 0x5e81), s);
}

TEST(RtDbcs, PositionsAndCutsKeepCharactersWhole)
{
    NEED_CP932();
    const char s[] = "\x82\xa0" ESC "b1\x83\x62" "b\x82\xa2";
    EXPECT_EQ(RtStrLen(s), 7u);
    EXPECT_EQ(RtStrNBytesToNChr(s, 3), 1u);
    EXPECT_EQ(RtStrNBytesToNChr(s, 4), 2u);
    USHORT attr = 0;
    EXPECT_EQ(RtStrNAttr(s, 1, nullptr, &attr, nullptr, nullptr), s + 5);
    EXPECT_EQ(attr, 0x0002);
    EXPECT_EQ(RtStrNCAttr(s, 3, nullptr, nullptr, nullptr, nullptr), s + 8);
    EXPECT_EQ(RtStrStr(s, "\x83\x62" "b"), s + 5);
    EXPECT_EQ(RtStrStr(s, "bb"), nullptr);               // the trail b is no b
    EXPECT_EQ(RtStrRChr(s, 'b'), s + 7);

    char buf[32];
    strcpy(buf, s);
    RtStrUpr(buf);
    EXPECT_STREQ(buf, "\x82\xa0" ESC "b1\x83\x62" "B\x82\xa2");
    RtStrDeleteChar(buf, 1);
    EXPECT_STREQ(buf, "\x82\xa0" ESC "b1" "B\x82\xa2");
    RtStrInsertChar(buf, 1, 0x9f88);
    EXPECT_STREQ(buf, "\x82\xa0" ESC "b1\x88\x9f" "B\x82\xa2");
    RtStrSet(buf, 0xa082);
    EXPECT_STREQ(buf, "\x82\xa0" ESC "b1\x82\xa0" " \x82\xa0");
    RtStrSet(buf, '-');
    EXPECT_STREQ(buf, "--" ESC "b1-----");
}

TEST(RtDbcs, ContextNamesAreCutBetweenCharacters)
{
    NEED_CP932();
    std::string name;
    for (int i = 0; i < 20; i++)
        name += "\x82\xa0";                               // 40 bytes
    Context c(RtStrRetrieveContext((name + ",5;").c_str()));
    const char *face = nullptr;
    ASSERT_EQ(RtStrQueryContextEntry(c.h, 0, &face, nullptr), 0);
    EXPECT_EQ(std::string(face), name.substr(0, 38));
}

}  // namespace
