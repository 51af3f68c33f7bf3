// The stored form with carets, contexts and their text form, and rich text
// with its context: written out, read back, and refused where the
// arguments are bad.
#include "rttest.h"

namespace {

textinit::Init init;
using namespace rttest;

TEST(RtStore, RetrievePairsCaretsFromTheLeft)
{
    struct Case { const char *stored, *expect; };
    const Case cases[] = {
        {"", ""},
        {"^", ESC},
        {"^^", "^"},
        {"^^^b1", "^" ESC "b1"},
        {"^^^^", "^^"},
        {"a^" ESC "b", "a^b"},            // a caret and an escape byte make a pair
        {"^b1;Hi^b0;!", ESC "b1;Hi" ESC "b0;!"},
    };
    for (const Case &c : cases) {
        Heap got(RtStrRetrieveStore(c.stored));
        EXPECT_EQ(str(got), c.expect) << "stored " << c.stored;
    }
}

TEST(RtContext, EntriesAddQueryDeleteAndFill)
{
    Context c;
    ASSERT_NE(c.h, nullptr);
    EXPECT_EQ(RtStrAddContextEntry(c.h, "Arial", -10), 0);
    EXPECT_EQ(RtStrAddContextEntry(c.h, "Courier", 0), 0);
    EXPECT_EQ(RtStrAddContextEntry(c.h, "Times", 24), 0);
    const char *face = nullptr;
    SHORT size = 1;
    EXPECT_EQ(RtStrQueryContextEntry(c.h, 1, &face, &size), 0);
    EXPECT_STREQ(face, "Courier");
    EXPECT_EQ(size, 0);
    EXPECT_EQ(RtStrQueryContextEntry(c.h, 3, &face, &size), 0xFFFF);
    EXPECT_EQ(RtStrDeleteContextEntry(c.h, 0), 0);
    EXPECT_EQ(RtStrQueryContextEntry(c.h, 0, &face, &size), 0);
    EXPECT_STREQ(face, "Courier");
    EXPECT_EQ(RtStrQueryContextEntry(c.h, 1, &face, &size), 0);
    EXPECT_STREQ(face, "Times");
    EXPECT_EQ(size, 24);
    EXPECT_EQ(RtStrDeleteContextEntry(c.h, 2), 0xFFFF);

    // The name is copied.
    char name[] = "Mutable";
    EXPECT_EQ(RtStrAddContextEntry(c.h, name, 8), 0);
    name[0] = 'X';
    EXPECT_EQ(RtStrQueryContextEntry(c.h, 2, &face, nullptr), 0);
    EXPECT_STREQ(face, "Mutable");

    for (int i = 3; i < 256; i++)
        ASSERT_EQ(RtStrAddContextEntry(c.h, "F", SHORT(i)), 0) << i;
    EXPECT_EQ(RtStrAddContextEntry(c.h, "Full", 1), 0xFFFF);
    EXPECT_EQ(RtStrQueryContextEntry(c.h, 255, nullptr, &size), 0);
    EXPECT_EQ(size, 255);
}

TEST(RtContext, BadHandlesGetTheContextCode)
{
    EXPECT_EQ(RtStrAddContextEntry(nullptr, "Arial", 0), 0xFFFF);
    EXPECT_EQ(RtStrDeleteContextEntry(nullptr, 0), 0xFFFF);
    EXPECT_EQ(RtStrQueryContextEntry(nullptr, 0, nullptr, nullptr), 0xFFFF);
    RtStrDestroyContext(nullptr);
    PRTCONTEXT dead = RtStrCreateContext();
    RtStrDestroyContext(dead);
    EXPECT_EQ(RtStrAddContextEntry(dead, "Arial", 0), 0xFFFF);
    RtStrDestroyContext(dead);                        // twice: ignored
    int local = 0;
    PRTCONTEXT madeUp = reinterpret_cast<PRTCONTEXT>(&local);
    EXPECT_EQ(RtStrQueryContextEntry(madeUp, 0, nullptr, nullptr), 0xFFFF);
    SetLastError(0);
    EXPECT_EQ(RtStrStoreContext(madeUp), nullptr);
    EXPECT_EQ(KnlGetLastError(), 6);
    Context c;
    EXPECT_EQ(RtStrAddContextEntry(c.h, nullptr, 0), 0xFFFF);
    SetLastError(0);
    EXPECT_EQ(RtStrRetrieveContext(nullptr), nullptr);
    EXPECT_EQ(KnlGetLastError(), 87);
}

TEST(RtContext, TextFormWritesAndReads)
{
    Context c;
    RtStrAddContextEntry(c.h, "Arial", -10);
    RtStrAddContextEntry(c.h, "Courier", 0);
    Heap text(RtStrStoreContext(c.h));
    EXPECT_EQ(str(text), "Arial,-10;Courier,0;");

    Context back(RtStrRetrieveContext("Arial,-10;Courier New,12;Sym,x;Last"));
    const char *face;
    SHORT size;
    struct Entry { const char *face; SHORT size; };
    const Entry expect[] = {{"Arial", -10}, {"Courier New", 12}, {"Sym", 0}, {"Last", 0}};
    for (USHORT i = 0; i < 4; i++) {
        ASSERT_EQ(RtStrQueryContextEntry(back.h, i, &face, &size), 0) << i;
        EXPECT_STREQ(face, expect[i].face);
        EXPECT_EQ(size, expect[i].size);
    }
    EXPECT_EQ(RtStrQueryContextEntry(back.h, 4, &face, &size), 0xFFFF);

    // Names keep at most 39 characters; the rest of the name is skipped.
    std::string longName(50, 'n');
    std::string t = longName + ",7;Next,-3;";
    Context cut(RtStrRetrieveContext(t.c_str()));
    ASSERT_EQ(RtStrQueryContextEntry(cut.h, 0, &face, &size), 0);
    EXPECT_EQ(std::string(face), std::string(39, 'n'));
    EXPECT_EQ(size, 7);
    ASSERT_EQ(RtStrQueryContextEntry(cut.h, 1, &face, &size), 0);
    EXPECT_STREQ(face, "Next");

    // Reading stops adding at 256 entries.
    std::string many;
    for (int i = 0; i < 300; i++)
        many += "F" + std::to_string(i) + "," + std::to_string(i) + ";";
    Context full(RtStrRetrieveContext(many.c_str()));
    EXPECT_EQ(RtStrQueryContextEntry(full.h, 255, &face, &size), 0);
    EXPECT_STREQ(face, "F255");
    EXPECT_EQ(RtStrQueryContextEntry(full.h, 256, &face, &size), 0xFFFF);
}

TEST(RtTxt, ContextAndStringTravelTogether)
{
    Context c;
    RtStrAddContextEntry(c.h, "Arial", -10);
    RtStrAddContextEntry(c.h, "Courier", 0);
    const char s[] = ESC "f1;2^3" ESC "f0;x";
    char *text = nullptr;
    ULONG len = RtMakeRtTxt(c.h, s, &text);
    Heap owned(text);
    EXPECT_EQ(str(owned), "Arial,-10;Courier,0;^f1;2^^3^f0;x");
    EXPECT_EQ(len, strlen("Arial,-10;Courier,0;^f1;2^^3^f0;x") + 1);

    PRTCONTEXT ctx = nullptr;
    char *rich = nullptr;
    EXPECT_EQ(RtSplitRtTxt(text, &ctx, &rich), 1);
    Context gotCtx(ctx);
    Heap gotRich(rich);
    EXPECT_EQ(str(gotRich), s);
    Heap ctxText(RtStrStoreContext(ctx));
    EXPECT_EQ(str(ctxText), "Arial,-10;Courier,0;");

    // No context: the text is the stored string alone.
    char *plain = nullptr;
    EXPECT_EQ(RtMakeRtTxt(nullptr, "a^", &plain), 4u);
    Heap ownedPlain(plain);
    EXPECT_EQ(str(ownedPlain), "a^^");
}

TEST(RtTxt, WithoutSemicolonTheTextIsAPlainString)
{
    PRTCONTEXT ctx = nullptr;
    char *rich = nullptr;
    const char text[] = "Arial,-10 ^b1;x";
    EXPECT_EQ(RtSplitRtTxt(text, &ctx, &rich), 1);
    Context c(ctx);
    Heap r(rich);
    EXPECT_EQ(str(r), text);
    const char *face;
    EXPECT_EQ(RtStrQueryContextEntry(ctx, 0, &face, nullptr), 0xFFFF);   // empty

    // Blanks between the last ';' and the caret are allowed.
    EXPECT_EQ(RtSplitRtTxt("Arial,-10; \t^b1;x", &ctx, &rich), 1);
    Context c2(ctx);
    Heap r2(rich);
    EXPECT_EQ(str(r2), ESC "b1;x");
    SHORT size = 0;
    EXPECT_EQ(RtStrQueryContextEntry(ctx, 0, &face, &size), 0);
    EXPECT_STREQ(face, "Arial");
    EXPECT_EQ(size, -10);

    // No caret at all: a plain string.
    EXPECT_EQ(RtSplitRtTxt("Arial,-10;", &ctx, &rich), 1);
    Context c3(ctx);
    Heap r3(rich);
    EXPECT_EQ(str(r3), "Arial,-10;");
}

TEST(RtTxt, BadArgumentsGetCodes)
{
    PRTCONTEXT ctx = reinterpret_cast<PRTCONTEXT>(1);
    char *rich = reinterpret_cast<char *>(1);
    EXPECT_EQ(RtSplitRtTxt(nullptr, &ctx, &rich), 0);
    EXPECT_EQ(ctx, nullptr);
    EXPECT_EQ(rich, nullptr);
    EXPECT_EQ(RtSplitRtTxt("a", nullptr, &rich), 0);
    char *text = reinterpret_cast<char *>(1);
    SetLastError(0);
    EXPECT_EQ(RtMakeRtTxt(nullptr, nullptr, &text), 0u);
    EXPECT_EQ(text, nullptr);
    EXPECT_EQ(KnlGetLastError(), 87);
    PRTCONTEXT dead = RtStrCreateContext();
    RtStrDestroyContext(dead);
    SetLastError(0);
    EXPECT_EQ(RtMakeRtTxt(dead, "a", &text), 0u);
    EXPECT_EQ(KnlGetLastError(), 6);
    ULONG len = 99;
    EXPECT_EQ(RtStrMakeStore(nullptr, &len), nullptr);
    EXPECT_EQ(len, 0u);
    EXPECT_EQ(RtStrRetrieveStore(nullptr), nullptr);
}

}  // namespace
