// The match scanner, grouped by behaviour: literal and whole-word tests
// (each consumes what it matched or leaves the cursor where it was),
// numbers, the forward search with its quotes, brackets, escapes and
// markers, double-byte text (in the code page 932 pass), and file cursors
// whose window is smaller than the file, checked against a text cursor
// over the same bytes.
#include <string>
#include <vector>
#include "textinit.h"
#include "testutil.h"
#include "stu.h"
#include "strlst.h"
#include "knlnam.h"

namespace {

textinit::Init init;

// A cursor on a private copy of the text, closed at scope end.
struct Cursor {
    STUMATCH *c = nullptr;
    explicit Cursor(const char *text) { EXPECT_EQ(StuMatchOpen(text, &c), 0); }
    ~Cursor() { StuMatchClose(c); }
    operator STUMATCH *() const { return c; }
    std::string rest() const { return StuMatchPtr(c); }
};

// ---- Literals ----

TEST(StuLiteral, MatchConsumesOrLeavesTheCursor)
{
    Cursor c("Hello, World");
    EXPECT_EQ(StuMatchMatch(c, "hello"), 0);
    EXPECT_EQ(StuMatchIndex(c), 0);
    EXPECT_EQ(StuMatchIMatch(c, "hELLO"), 1);
    EXPECT_EQ(StuMatchIndex(c), 5);
    EXPECT_EQ(StuMatchMatch(c, ","), 1);
    EXPECT_EQ(StuMatchMatch(c, "World"), 0) << "blank first";
    EXPECT_EQ(StuMatchIndex(c), 6);
    EXPECT_EQ(StuMatchBMatch(c, "world"), 0);
    EXPECT_EQ(StuMatchIndex(c), 7) << "the blanks stay skipped";
    EXPECT_EQ(StuMatchBIMatch(c, "WORLD"), 1);
    EXPECT_EQ(StuMatchEom(c), 1);
    EXPECT_EQ(StuMatchMatch(c, ""), 1) << "an empty literal always follows";
}

TEST(StuLiteral, TextEndingInsideTheLiteralDoesNotMatch)
{
    Cursor c("abc");
    EXPECT_EQ(StuMatchMatch(c, "abcd"), 0);
    EXPECT_EQ(StuMatchIMatch(c, "ABCD"), 0);
    EXPECT_EQ(StuMatchIndex(c), 0);
    EXPECT_EQ(StuMatchMatch(c, "abc"), 1);
}

TEST(StuLiteral, WholeWordNames)
{
    Cursor c("12abc begin_x begin;BEGIN");
    EXPECT_EQ(StuMatchMatchName(c, "12"), 0) << "a letter follows";
    EXPECT_EQ(StuMatchIndex(c), 0);
    EXPECT_EQ(StuMatchMatchName(c, "12abc"), 1);
    StuMatchBlanks(c);
    EXPECT_EQ(StuMatchMatchName(c, "begin"), 0) << "underscore follows";
    EXPECT_EQ(StuMatchMatchName(c, "begin_x"), 1);
    StuMatchBlanks(c);
    EXPECT_EQ(StuMatchMatchName(c, "begin"), 1);
    EXPECT_EQ(StuMatchMatch(c, ";"), 1);
    EXPECT_EQ(StuMatchMatchName(c, "begin"), 0);
    EXPECT_EQ(StuMatchIMatchName(c, "begin"), 1) << "the end of the text ends a word";
}

// ---- Characters ----

TEST(StuChars, StepQueryAndCopy)
{
    Cursor c("  \tab cd");
    EXPECT_EQ(StuMatchIsAlpha(c), 0);
    EXPECT_EQ(StuMatchBlanks(c), 1);
    EXPECT_EQ(StuMatchBlanks(c), 0);
    EXPECT_EQ(StuMatchIsAlpha(c), 1);
    EXPECT_EQ(StuMatchQueryChar(c), 'a');
    EXPECT_EQ(StuMatchQueryChar(c), 'a') << "not consumed";
    EXPECT_EQ(StuMatchGetChar(c), 'a');
    char buf[16];
    EXPECT_EQ(StuMatchGetStr(c, 3, buf), 1);
    EXPECT_STREQ(buf, "b c");
    EXPECT_EQ(StuMatchGetStr(c, 5, buf), 0) << "the end came first";
    EXPECT_STREQ(buf, "d");
    EXPECT_EQ(StuMatchEom(c), 1);
    EXPECT_EQ(StuMatchGetChar(c), 0);
    EXPECT_EQ(StuMatchQueryChar(c), 0);
    EXPECT_EQ(StuMatchIndex(c), 8) << "nothing consumed at the end";
    StuMatchRewind(c);
    EXPECT_EQ(StuMatchIndex(c), 0);
    EXPECT_EQ(StuMatchGetStr(c, 2, NULL), 1);
    EXPECT_EQ(StuMatchQueryChar(c), '\t');
}

TEST(StuChars, BorrowedBufferIsReadInPlace)
{
    char text[] = "x=1";
    STUMATCH *c;
    ASSERT_EQ(StuMatchOpenRealBuffer(text, &c), 0);
    EXPECT_EQ(StuMatchPtr(c), text);
    StuMatchGetChar(c);
    EXPECT_EQ(StuMatchPtr(c), text + 1);
    text[1] = ':';
    EXPECT_EQ(StuMatchMatch(c, ":"), 1) << "the caller's buffer, not a copy";
    StuMatchClose(c);
    EXPECT_STREQ(text, "x:1") << "still the caller's";

    Cursor own(text);
    EXPECT_NE(StuMatchPtr(own), text);
}

// ---- Numbers ----

TEST(StuNumbers, SignsBlanksAndLimits)
{
    {
        Cursor c("12abc");
        EXPECT_EQ(StuMatchIsNumber(c), 1);
        EXPECT_EQ(StuMatchIndex(c), 0);
        EXPECT_EQ(StuMatchLong(c), 12);
        EXPECT_EQ(c.rest(), "abc");
        EXPECT_EQ(StuMatchIsNumber(c), 0);
        EXPECT_EQ(StuMatchIsHexNumber(c), 1);
    }
    {
        Cursor c(" - + 5");
        EXPECT_EQ(StuMatchIsNumber(c), 1);
        EXPECT_EQ(StuMatchLong(c), -5);
        EXPECT_EQ(StuMatchEom(c), 1);
    }
    {
        Cursor c("--7 -+-8");
        EXPECT_EQ(StuMatchLong(c), 7);
        EXPECT_EQ(StuMatchShort(c), 0) << "minus signs only before the plus signs";
        EXPECT_EQ(c.rest(), "-8");
    }
    {
        Cursor c("2024");
        EXPECT_EQ(StuMatchUShortN(c, 2), 20);
        EXPECT_EQ(c.rest(), "24");
        EXPECT_EQ(StuMatchULongN(c, 0), 0u);
        EXPECT_EQ(StuMatchULong(c), 24u);
    }
    {
        Cursor c("-5");
        EXPECT_EQ(StuMatchULong(c), 0u) << "no minus for unsigned";
        EXPECT_EQ(c.rest(), "-5");
    }
    {
        Cursor c("   ");
        EXPECT_EQ(StuMatchIsNumber(c), 0);
        EXPECT_EQ(StuMatchLong(c), 0);
    }
}

TEST(StuNumbers, HexAndWrapping)
{
    {
        Cursor c("0x1F -ff 0X10 0x0X2 g");
        EXPECT_EQ(StuMatchHexLong(c), 31);
        EXPECT_EQ(StuMatchHexLong(c), -255);
        EXPECT_EQ(StuMatchHexShort(c), 16);
        EXPECT_EQ(StuMatchHexLong(c), 2) << "both prefixes in turn";
        EXPECT_EQ(StuMatchHexLong(c), 0);
        EXPECT_EQ(c.rest(), "g");
    }
    {
        Cursor c("4294967297 65537 123456789012345678901234567890");
        EXPECT_EQ(StuMatchULong(c), 1u) << "32-bit wrap";
        EXPECT_EQ(StuMatchUShort(c), 1) << "low 16 bits";
        ULONG wrapped = 0;
        for (char ch : std::string("123456789012345678901234567890"))
            wrapped = wrapped * 10 + (ULONG)(ch - '0');
        EXPECT_EQ(StuMatchLong(c), (LONG)wrapped);
    }
}

// ---- Forward search ----

struct Found {
    USHORT result;
    std::string copy;
    USHORT overflow;
    std::string rest;
};

Found find(const char *text, const char *pattern, USHORT flags, USHORT size = 64,
           const char *const *markers = nullptr)
{
    Cursor c(text);
    std::vector<char> buf(size + 8, 'G');
    USHORT ovf = 1234;
    Found f;
    f.result = StuMatchFindEx(c, pattern, flags, buf.data(), size, &ovf, markers);
    f.copy = buf.data();
    f.overflow = ovf;
    f.rest = c.rest();
    for (size_t i = size; i < buf.size(); i++)
        EXPECT_EQ(buf[i], 'G') << "written past the copy buffer";
    return f;
}

TEST(StuFind, PlainSearchCopiesWhatItPasses)
{
    Found f = find("key = value; next", ";", 0);
    EXPECT_EQ(f.result, 1);
    EXPECT_EQ(f.copy, "key = value");
    EXPECT_EQ(f.rest, " next");
    EXPECT_EQ(f.overflow, 0);

    f = find("key = value", ";", 0);
    EXPECT_EQ(f.result, 0);
    EXPECT_EQ(f.copy, "key = value") << "the whole rest is copied";
    EXPECT_EQ(f.rest, "key = value") << "and the position restored";

    f = find("key = value", ";", STU_FIND_STAYATEND);
    EXPECT_EQ(f.result, 0);
    EXPECT_EQ(f.rest, "");

    EXPECT_EQ(find("aENDb", "end", 0).result, 0);
    f = find("aENDb", "end", STU_FIND_ICASE);
    EXPECT_EQ(f.copy, "a");
    EXPECT_EQ(f.rest, "b");
}

TEST(StuFind, QuotesAndBrackets)
{
    Found f = find("a(b,c),d", ",", STU_FIND_QUOTES);
    EXPECT_EQ(f.copy, "a(b,c)");
    EXPECT_EQ(f.rest, "d");
    EXPECT_EQ(find("a(b,c),d", ",", 0).copy, "a(b");

    EXPECT_EQ(find("\"x,y\",z", ",", STU_FIND_QUOTES).copy, "\"x,y\"");
    EXPECT_EQ(find("[a(b],c)],d", ",", STU_FIND_QUOTES).copy, "[a(b]") << "only the open kind counts";
    EXPECT_EQ(find("{a{b}c,d},e", ",", STU_FIND_QUOTES).copy, "{a{b}c,d}");
    EXPECT_EQ(find("a),b", ",", STU_FIND_QUOTES).copy, "a)") << "never below level 0";
    EXPECT_EQ(find("\"(\",x", ",", STU_FIND_QUOTES).copy, "\"(\"") << "brackets inside quotes";
    f = find("(a,b", ",", STU_FIND_QUOTES);
    EXPECT_EQ(f.result, 0);
    EXPECT_EQ(f.rest, "(a,b");
}

TEST(StuFind, BackslashEscapes)
{
    EXPECT_EQ(find("a\\,b,c", ",", STU_FIND_QUOTES).copy, "a,b");
    EXPECT_EQ(find("\"a\\\"b\",c", ",", STU_FIND_QUOTES).copy, "\"a\"b\"") << "an escaped quote stays open";
    EXPECT_EQ(find("a\\(b,c", ",", STU_FIND_QUOTES).copy, "a(b");
    EXPECT_EQ(find("a\\\\,b", ",", STU_FIND_QUOTES).copy, "a\\") << "a doubled backslash escapes nothing";
    EXPECT_EQ(find("a\\,b,c", ",", 0).copy, "a\\") << "plain text without the flag";
}

TEST(StuFind, MarkerPairs)
{
    const char *const comment[] = { "/*", "*/" };
    Found f = find("a/*;*/b;c", ";", STU_FIND_MARKERS, 64, comment);
    EXPECT_EQ(f.copy, "a/*;*/b");
    EXPECT_EQ(f.rest, "c");
    EXPECT_EQ(find("a/*;*/b;c", ";", 0, 64, comment).copy, "a/*") << "markers need their flag";
    EXPECT_EQ(find("a/*;*/b;c", ";", STU_FIND_MARKERS, 64, nullptr).copy, "a/*");
    EXPECT_EQ(find("a\\/*;*/", ";", STU_FIND_MARKERS, 64, comment).copy, "a\\/*")
        << "a marker after a backslash does not count";
    const char *const same[] = { "'", "'" };
    EXPECT_EQ(find("x';'y;z", ";", STU_FIND_MARKERS, 64, same).copy, "x';'y");
}

TEST(StuFind, CopyOverflowStopsCopyingNotScanning)
{
    Found f = find("abcdefgh;rest", ";", 0, 5);
    EXPECT_EQ(f.result, 1);
    EXPECT_EQ(f.copy, "abcd");
    EXPECT_EQ(f.overflow, STU_OVERFLOW);
    EXPECT_EQ(f.rest, "rest");
    f = find("abcd;", ";", 0, 5);
    EXPECT_EQ(f.copy, "abcd");
    EXPECT_EQ(f.overflow, 0) << "exactly fits with its terminator";

    Cursor c("abc;");
    EXPECT_EQ(StuMatchFindEx(c, ";", 0, NULL, 0, NULL, NULL), 1) << "no copy, no flag";
    EXPECT_EQ(c.rest(), "");
}

// ---- Double-byte text ----

TEST(StuDbcs, CharactersAreWholeAndCaseLeavesThemAlone)
{
    NEED_CP932();
    // 0x82 0xA0 is a hiragana letter; 0x81 0x61 has a trail byte that
    // looks like 'a'; 0x95 0x5C has a trail byte that looks like '\'.
    Cursor c("\x82\xA0\x81\x61Z");
    EXPECT_EQ(StuMatchQueryChar(c), 0xA082);
    EXPECT_EQ(StuMatchIsAlpha(c), 1);
    EXPECT_EQ(StuMatchGetChar(c), 0xA082);
    EXPECT_EQ(StuMatchIndex(c), 2);
    EXPECT_EQ(StuMatchIMatch(c, "\x81\x41"), 0) << "the trail byte is not a letter";
    EXPECT_EQ(StuMatchIMatch(c, "\x81\x61z"), 1);
    StuMatchRewind(c);
    char buf[8];
    EXPECT_EQ(StuMatchGetStr(c, 2, buf), 1);
    EXPECT_STREQ(buf, "\x82\xA0\x81\x61");
}

TEST(StuDbcs, WordsAndEscapesSeeWholeCharacters)
{
    NEED_CP932();
    Cursor w("abc\x82\xA0 abc\x81\x40");
    EXPECT_EQ(StuMatchMatchName(w, "abc"), 0) << "a double-byte letter continues the word";
    EXPECT_EQ(StuMatchFindEx(w, " ", 0, NULL, 0, NULL, NULL), 1);
    EXPECT_EQ(StuMatchMatchName(w, "abc"), 1) << "a double-byte blank does not";

    Found f = find("\x95\x5C\"a,b\",c", ",", STU_FIND_QUOTES);
    EXPECT_EQ(f.copy, "\x95\x5C\"a,b\"") << "a trail byte is no backslash";
    EXPECT_EQ(f.rest, "c");

    // The copy never takes half a character.
    f = find("\x82\xA0\x82\xA0;", ";", 0, 4);
    EXPECT_EQ(f.copy, "\x82\xA0");
    EXPECT_EQ(f.overflow, STU_OVERFLOW);
    // A lead byte before the terminator is a character of its own.
    Cursor d("\x82");
    EXPECT_EQ(StuMatchGetChar(d), 0x82);
    EXPECT_EQ(StuMatchEom(d), 1);
}

// ---- File cursors ----

class StuFile : public ::testing::Test {
protected:
    const char *name = "stu_file.txt";
    void TearDown() override { DeleteFileA(name); }

    STUMATCH *open(const std::string &content)
    {
        EXPECT_TRUE(testutil::writeFile(name, content));
        STUMATCH *c = nullptr;
        EXPECT_EQ(StuMatchOpenFile(KnlNamGetDefaultNS(), name, &c, 0x40), 0);
        return c;
    }
};

TEST_F(StuFile, ReadsThroughThreeWindows)
{
    std::string content;
    for (int i = 0; i < 600; i++)
        content += (char)('a' + i % 26);
    STUMATCH *c = open(content);
    ASSERT_NE(c, nullptr);
    std::string read;
    for (int i = 0; i < 600; i++) {
        read += (char)StuMatchGetChar(c);
        if (i == 299) {
            EXPECT_EQ(StuMatchIndex(c), 300 - 256) << "relative to the second window";
            EXPECT_EQ(*StuMatchPtr(c), content[300]);
        }
    }
    EXPECT_EQ(read, content);
    EXPECT_EQ(StuMatchIndex(c), 600 - 512);
    EXPECT_EQ(StuMatchEom(c), 1);
    EXPECT_EQ(StuMatchGetChar(c), 0);
    StuMatchRewind(c);
    EXPECT_EQ(StuMatchQueryChar(c), 'a');
    StuMatchClose(c);
}

TEST_F(StuFile, TokensAcrossTheWindowEdge)
{
    std::string content(250, ' ');
    content += "BOUNDARY 123456 tail";                // spans offset 256
    content += std::string(300, '.') + "END";
    STUMATCH *c = open(content);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(StuMatchBMatch(c, "BOUNDARY"), 1);
    EXPECT_EQ(StuMatchLong(c), 123456);
    EXPECT_EQ(StuMatchBMatch(c, "tail"), 1);
    EXPECT_EQ(StuMatchMatch(c, std::string(257, '.').c_str()), 0) << "longer than the window";
    char copy[400];
    USHORT ovf;
    EXPECT_EQ(StuMatchFindEx(c, "END", 0, copy, sizeof copy, &ovf, NULL), 1);
    EXPECT_EQ(std::string(copy), std::string(300, '.'));
    EXPECT_EQ(StuMatchEom(c), 1);

    // A failed search goes back to where it began, in an earlier window.
    StuMatchRewind(c);
    EXPECT_EQ(StuMatchFindEx(c, "BOUND", 0, NULL, 0, NULL, NULL), 1);
    EXPECT_EQ(StuMatchFindEx(c, "missing", 0, NULL, 0, NULL, NULL), 0);
    EXPECT_EQ(StuMatchMatch(c, "ARY 123"), 1);
    StuMatchClose(c);
}

TEST_F(StuFile, DoubleByteCharacterOnTheWindowEdge)
{
    NEED_CP932();
    std::string content(255, 'x');
    content += "\x82\xA0yz";                          // lead byte at offset 255
    STUMATCH *c = open(content);
    ASSERT_NE(c, nullptr);
    char skip[300];
    EXPECT_EQ(StuMatchGetStr(c, 255, skip), 1);
    EXPECT_EQ(StuMatchQueryChar(c), 0xA082);
    EXPECT_EQ(StuMatchGetChar(c), 0xA082);
    EXPECT_EQ(StuMatchGetChar(c), 'y');
    StuMatchClose(c);
}

// The same little tokenizer over a text cursor and a file cursor must see
// the same tokens: the window is invisible to callers.
std::vector<std::string> tokenize(STUMATCH *c)
{
    std::vector<std::string> out;
    char buf[300];
    while (!StuMatchEom(c)) {
        if (StuMatchBlanks(c))
            continue;
        if (StuMatchIsNumber(c)) {
            out.push_back("n" + std::to_string(StuMatchLong(c)));
        } else if (StuMatchIMatchName(c, "key")) {
            out.push_back("KEY");
        } else if (StuMatchMatch(c, "\"")) {
            StuMatchFindEx(c, "\"", STU_FIND_QUOTES, buf, sizeof buf, NULL, NULL);
            out.push_back(std::string("s") + buf);
        } else {
            out.push_back(std::string("c") + (char)StuMatchGetChar(c));
        }
    }
    return out;
}

TEST_F(StuFile, FileAndTextCursorsAgree)
{
    std::string content;
    unsigned seed = 99;
    for (int i = 0; i < 400; i++) {
        seed = seed * 1103515245u + 12345u;
        switch ((seed >> 16) % 5) {
        case 0: content += " key"; break;
        case 1: content += " KEYS=" + std::to_string(seed % 100000); break;
        case 2: content += " \"quoted \\\" text, (1,2)\""; break;
        case 3: content += "\t-" + std::to_string(seed % 997) + ";"; break;
        default: content += "  keyword\r\n"; break;
        }
    }
    ASSERT_GT(content.size(), 4000u);
    STUMATCH *f = open(content);
    ASSERT_NE(f, nullptr);
    Cursor t(content.c_str());
    EXPECT_EQ(tokenize(f), tokenize(t));
    StuMatchClose(f);
}

TEST_F(StuFile, AFileCutShortEndsTheText)
{
    STUMATCH *c = open(std::string(600, 'q'));
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(StuMatchGetStr(c, 100, NULL), 1);
    HANDLE h = CreateFileA(name, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                           OPEN_EXISTING, 0, NULL);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    SetFilePointer(h, 200, NULL, FILE_BEGIN);
    ASSERT_TRUE(SetEndOfFile(h));
    CloseHandle(h);
    EXPECT_EQ(StuMatchGetStr(c, 500, NULL), 0) << "the loaded window, then nothing";
    EXPECT_EQ(StuMatchEom(c), 1);
    StuMatchRewind(c);
    EXPECT_EQ(StuMatchGetStr(c, 200, NULL), 1);
    EXPECT_EQ(StuMatchEom(c), 1);
    StuMatchClose(c);
}

TEST_F(StuFile, OpenErrors)
{
    STUMATCH *c = (STUMATCH *)1;
    EXPECT_EQ(StuMatchOpenFile(KnlNamGetDefaultNS(), "no_such_file.txt", &c, 0x40), 2);
    EXPECT_EQ(StuMatchOpenFile(KnlNamGetDefaultNS(), NULL, &c, 0x40), 87);
}

// ---- Bad input ----

TEST(StuBadInput, NullCursorAndArguments)
{
    STUMATCH *c = nullptr;
    EXPECT_EQ(StuMatchOpen(NULL, &c), 87);
    EXPECT_EQ(StuMatchOpen("x", NULL), 87);
    EXPECT_EQ(StuMatchOpenRealBuffer(NULL, &c), 87);
    StuMatchClose(NULL);
    StuMatchRewind(NULL);
    EXPECT_EQ(StuMatchPtr(NULL), nullptr);
    EXPECT_EQ(StuMatchEom(NULL), 1);
    EXPECT_EQ(StuMatchGetChar(NULL) | StuMatchMatch(NULL, "a") | StuMatchMatchName(NULL, "a") |
              StuMatchIsNumber(NULL) | (USHORT)StuMatchLong(NULL) | (USHORT)StuMatchHexLong(NULL), 0);
    char buf[4] = "xyz";
    EXPECT_EQ(StuMatchGetStr(NULL, 2, buf), 0);
    EXPECT_STREQ(buf, "");
    USHORT ovf = 5;
    EXPECT_EQ(StuMatchFindEx(NULL, ";", 0, buf, sizeof buf, &ovf, NULL), 0);
    EXPECT_EQ(ovf, 0);

    Cursor t("abc");
    EXPECT_EQ(StuMatchMatch(t, NULL), 0);
    EXPECT_EQ(StuMatchFindEx(t, NULL, 0, NULL, 0, NULL, NULL), 0);
    EXPECT_EQ(StuMatchIndex(t), 0);
}


// A cursor handle that is not a live cursor answers as a null cursor does
// and leaves 87; nothing is read through it and nothing is freed twice.
void expectRefused(STUMATCH *bad, const char *what)
{
    SCOPED_TRACE(what);
    SetLastError(0);
    EXPECT_EQ(StuMatchPtr(bad), nullptr);
    EXPECT_EQ(KnlGetLastError(), ORIN_ERR_INVALID_PARAM);
    EXPECT_EQ(StuMatchIndex(bad), 0);
    EXPECT_EQ(StuMatchEom(bad), 1);
    EXPECT_EQ(StuMatchQueryChar(bad) | StuMatchGetChar(bad) | StuMatchIsAlpha(bad) |
              StuMatchBlanks(bad) | StuMatchMatch(bad, "") | StuMatchBIMatch(bad, "") |
              StuMatchIMatchName(bad, "a") | StuMatchIsHexNumber(bad) |
              (USHORT)StuMatchLongN(bad, 3) | StuMatchUShort(bad) | (USHORT)StuMatchHexShort(bad), 0);
    char buf[8] = "xyz";
    EXPECT_EQ(StuMatchGetStr(bad, 2, buf), 0);
    EXPECT_STREQ(buf, "");
    USHORT ovf = 5;
    strcpy(buf, "xyz");
    EXPECT_EQ(StuMatchFindEx(bad, "", 0, buf, sizeof buf, &ovf, NULL), 0);
    EXPECT_EQ(ovf, 0);
    EXPECT_STREQ(buf, "");
    StuMatchRewind(bad);
    SetLastError(0);
    StuMatchClose(bad);
    EXPECT_EQ(KnlGetLastError(), ORIN_ERR_INVALID_PARAM);
}

TEST(StuBadInput, WrongAndClosedCursorsAreRefused)
{
    STUMATCH *closed = nullptr;
    ASSERT_EQ(StuMatchOpen("abc", &closed), 0);
    StuMatchClose(closed);
    expectRefused(closed, "closed");

    // A made-up record that looks like a text cursor over "x".
    char text[] = "x";
    struct { BYTE *buffer, *pos; ULONG file; } fake = {(BYTE *)text, (BYTE *)text, 0xFFFFFFFFUL};
    expectRefused(reinterpret_cast<STUMATCH *>(&fake), "made up");
    EXPECT_STREQ(text, "x");

    HSTRTOK tok = StrTokOpen("a b");
    ASSERT_NE(tok, nullptr);
    expectRefused(reinterpret_cast<STUMATCH *>(tok), "a tokenizer");
    EXPECT_STREQ(StrTokGet(tok, " "), "a") << "the tokenizer is untouched";
    StrTokClose(tok);

    // A live cursor is unaffected, also one opened after the refusals.
    Cursor live("12 ab");
    EXPECT_EQ(StuMatchLong(live), 12);
    EXPECT_EQ(StuMatchBMatch(live, "ab"), 1);
}

} // namespace
