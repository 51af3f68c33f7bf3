// Programs in files: load from source and from stored queries, lsp2lsq,
// the search path, and stored query files checked against their layout.
//
// Stored query files are built here byte by byte by LsqImage, a writer of
// the file layout of its own (header, string table, 6-byte pre-order
// records), so the library's reader is checked against the format and
// not only against the library's writer; files the library writes are
// decoded by the same image and compared with records worked out by hand.
// Damaged files (truncated at every length, wrong counts, bad string
// indexes, bad records, every byte mutated) must give an error code and
// leave no node or heap block behind.
#include <gtest/gtest.h>
#include <windows.h>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>
#include "knl.h"
#include "lsp.h"
#include "lsq_testfiles.h"
#include "lsp_fixture.h"

namespace {

constexpr uint16_t T_NIL = 0, T_SYM = 1, T_STR = 2, T_INT = 3, T_FLOAT = 4, T_DT = 5;
constexpr uint16_t T_LIST = 0x8000;
constexpr uint16_t ELEMS = 1, NEXT = 2;
constexpr unsigned kInvalidData = 13;

struct Rec {
    uint16_t type, flags, text;
    bool operator==(const Rec &o) const
    {
        return type == o.type && flags == o.flags && text == o.text;
    }
};

void put16(std::string &b, uint16_t v)
{
    b += char(v & 0xFF);
    b += char(v >> 8);
}

void put32(std::string &b, uint32_t v)
{
    put16(b, uint16_t(v));
    put16(b, uint16_t(v >> 16));
}

uint16_t get16(const std::string &b, size_t at)
{
    return uint16_t((unsigned char)b[at] | ((unsigned char)b[at + 1] << 8));
}

uint32_t get32(const std::string &b, size_t at)
{
    return get16(b, at) | (uint32_t(get16(b, at + 2)) << 16);
}

// A stored query as its parts, and its bytes as the layout gives them:
// 13 bytes "OrinLSQ01.00\n", a 0, the u32 0x01000000, u16 string count,
// u32 string bytes, 8 zero bytes, the NUL-terminated strings, the records.
struct LsqImage {
    std::vector<std::string> strings;
    std::vector<Rec> recs;

    uint32_t tableBytes() const
    {
        uint32_t n = 0;
        for (const std::string &s : strings)
            n += uint32_t(s.size() + 1);
        return n;
    }
    std::string bytes() const { return bytes(uint16_t(strings.size()), tableBytes()); }
    std::string bytes(uint16_t count, uint32_t tableSize) const
    {
        std::string b("OrinLSQ01.00\n", 13);
        b += '\0';
        b += std::string("\0\0\0\1", 4);
        put16(b, count);
        put32(b, tableSize);
        b += std::string(8, '\0');
        for (const std::string &s : strings) {
            b += s;
            b += '\0';
        }
        for (const Rec &r : recs) {
            put16(b, r.type);
            put16(b, r.flags);
            put16(b, r.text);
        }
        return b;
    }
    // Decodes bytes laid out as above; false when they are not.
    static bool decode(const std::string &b, LsqImage *img)
    {
        if (b.size() < 32 || b.compare(0, 14, std::string("OrinLSQ01.00\n\0", 14)) != 0 ||
            get32(b, 14) != 0x01000000 || get32(b, 24) != 0 || get32(b, 28) != 0)
            return false;
        uint16_t count = get16(b, 18);
        uint32_t bytes = get32(b, 20);
        size_t at = 32, end = 32 + bytes;
        if (end > b.size())
            return false;
        img->strings.clear();
        img->recs.clear();
        while (at < end) {
            size_t nul = b.find('\0', at);
            if (nul == std::string::npos || nul >= end)
                return false;
            img->strings.push_back(b.substr(at, nul - at));
            at = nul + 1;
        }
        if (img->strings.size() != count || (b.size() - end) % 6 != 0)
            return false;
        for (at = end; at < b.size(); at += 6)
            img->recs.push_back(Rec{ get16(b, at), get16(b, at + 2), get16(b, at + 4) });
        return true;
    }
};

bool exists(const std::string &name)
{
    return GetFileAttributesA(name.c_str()) != INVALID_FILE_ATTRIBUTES;
}

class LsqLoad : public LispSessionTest {
protected:
    std::vector<std::string> scratch;

    void SetUp() override { startSession(4096, nullptr); }
    void TearDown() override
    {
        LispSessionTest::TearDown();
        for (const std::string &f : scratch)
            DeleteFileA(f.c_str());
        RemoveDirectoryA("lsq_dir");
    }
    std::string file(const std::string &name, const std::string &bytes)
    {
        writeFile(name, bytes);
        scratch.push_back(name);
        return name;
    }
    std::string eval(const std::string &text, unsigned *code = nullptr)
    {
        char result[4096];
        USHORT rc = LspParseExpressions(s, text.c_str(), result, sizeof result, nullptr);
        if (code)
            *code = rc;
        else
            EXPECT_EQ(rc, 0) << text << ": " << lastErr();
        return result;
    }
    std::string lastErr()
    {
        char text[1000];
        LspGetLastErr(s, text, sizeof text);
        return text;
    }
    std::string load(const std::string &name, unsigned *code = nullptr)
    {
        return eval("(load \"" + name + "\")", code);
    }
    void convert(const std::string &from, const std::string &to)
    {
        scratch.push_back(to);
        EXPECT_EQ(eval("(lsp2lsq \"" + from + "\" \"" + to + "\")"), "T");
    }
};

// ---- load from source and from the stored query ----

TEST_F(LsqLoad, ASourceAndItsStoredQueryGiveTheSameValue)
{
    file("lsq_a.lsp", "(setq a 1.5) (+ a 1)");
    convert("lsq_a.lsp", "lsq_a.lsq");
    EXPECT_EQ(load("lsq_a.lsp"), "2.5");
    eval("(setq a 0)");
    EXPECT_EQ(load("lsq_a.lsq"), "2.5");
    EXPECT_EQ(eval("a"), "1.5");

    // The file the library wrote, against the layout worked out by hand:
    // texts in order of first use, records in pre-order.
    LsqImage img;
    ASSERT_TRUE(LsqImage::decode(readFile("lsq_a.lsq"), &img));
    EXPECT_EQ(img.strings, (std::vector<std::string>{ "setq", "a", "1.5", "+", "1" }));
    std::vector<Rec> expect = {
        { T_LIST, ELEMS | NEXT, 0 }, { T_SYM, NEXT, 1 }, { T_SYM, NEXT, 2 }, { T_FLOAT, 0, 3 },
        { T_LIST, ELEMS, 0 }, { T_SYM, NEXT, 4 }, { T_SYM, NEXT, 2 }, { T_INT, 0, 5 },
    };
    EXPECT_EQ(img.recs, expect);
}

TEST_F(LsqLoad, EqualTextsShareOneEntryAndKeepTheirTypes)
{
    file("lsq_t.lsp", "'(x \"x\" 7 \"7\" nil \"NIL\" 2.25 \"2.25\")");
    convert("lsq_t.lsp", "lsq_t.lsq");
    const char *printed = "(x \"x\" 7 \"7\" NIL \"NIL\" 2.25 \"2.25\")";
    EXPECT_EQ(load("lsq_t.lsp"), printed);
    EXPECT_EQ(load("lsq_t.lsq"), printed);
    EXPECT_EQ(eval("(setq v (load \"lsq_t.lsq\")) (list (type-of (car v)) (type-of (cadr v)) "
                   "(type-of (caddr v)) (type-of (car (cdddr v))))"),
              "(symbol string integer string)");
    LsqImage img;
    ASSERT_TRUE(LsqImage::decode(readFile("lsq_t.lsq"), &img));
    EXPECT_EQ(img.strings, (std::vector<std::string>{ "quote", "x", "7", "NIL", "2.25" }));
    ASSERT_EQ(img.recs.size(), 11u);
    EXPECT_EQ(img.recs[3], (Rec{ T_SYM, NEXT, 2 }));
    EXPECT_EQ(img.recs[4], (Rec{ T_STR, NEXT, 2 }));
    EXPECT_EQ(img.recs[7], (Rec{ T_NIL, NEXT, 4 }));
    EXPECT_EQ(img.recs[10], (Rec{ T_STR, 0, 5 }));
}

TEST_F(LsqLoad, NestedListsClosingAtOnePointAreRebuilt)
{
    file("lsq_n.lsp", "'((a (b)))");
    convert("lsq_n.lsp", "lsq_n.lsq");
    EXPECT_EQ(load("lsq_n.lsq"), "((a (b)))");
    LsqImage img;
    ASSERT_TRUE(LsqImage::decode(readFile("lsq_n.lsq"), &img));
    std::vector<Rec> expect = {
        { T_LIST, ELEMS, 0 }, { T_SYM, NEXT, 1 }, { T_LIST, ELEMS, 0 }, { T_LIST, ELEMS, 0 },
        { T_SYM, NEXT, 2 }, { T_LIST, ELEMS, 0 }, { T_SYM, 0, 3 },
    };
    EXPECT_EQ(img.recs, expect);

    // Closing stops at the first list that has a sibling:
    // (setq q '((a (b)) c)) (+ 1 2)
    LsqImage two;
    two.strings = { "setq", "q", "quote", "a", "b", "c", "+", "1", "2" };
    two.recs = {
        { T_LIST, ELEMS | NEXT, 0 }, { T_SYM, NEXT, 1 }, { T_SYM, NEXT, 2 },
        { T_LIST, ELEMS, 0 }, { T_SYM, NEXT, 3 }, { T_LIST, ELEMS, 0 },
        { T_LIST, ELEMS | NEXT, 0 }, { T_SYM, NEXT, 4 }, { T_LIST, ELEMS, 0 }, { T_SYM, 0, 5 },
        { T_SYM, 0, 6 },
        { T_LIST, ELEMS, 0 }, { T_SYM, NEXT, 7 }, { T_INT, NEXT, 8 }, { T_INT, 0, 9 },
    };
    EXPECT_EQ(load(file("lsq_n2.lsq", two.bytes())), "3");
    EXPECT_EQ(eval("q"), "((a (b)) c)");
}

TEST_F(LsqLoad, EveryNodeTypeIsReadFromItsText)
{
    // (quote (sym "str" 42 -2.5 <date-time> nil () <empty symbol>)) then (+ 40 2.5)
    LsqImage img;
    img.strings = { "quote", "sym", "str", "42", "-2.5", "$DT730119.5", "+", "40", "2.5" };
    img.recs = {
        { T_LIST, ELEMS | NEXT, 0 }, { T_SYM, NEXT, 1 }, { T_LIST, ELEMS, 0 },
        { T_SYM, NEXT, 2 }, { T_STR, NEXT, 3 }, { T_INT, NEXT, 4 }, { T_FLOAT, NEXT, 5 },
        { T_DT, NEXT, 6 }, { T_NIL, NEXT, 0 }, { T_LIST, NEXT, 0 }, { T_SYM, 0, 0 },
        { T_LIST, ELEMS, 0 }, { T_SYM, NEXT, 7 }, { T_INT, NEXT, 8 }, { T_FLOAT, 0, 9 },
    };
    file("lsq_types.lsq", img.bytes());
    EXPECT_EQ(load("lsq_types.lsq"), "42.5");
    img.recs.resize(11);
    img.recs[0].flags = ELEMS;
    file("lsq_types.lsq", img.bytes());
    eval("(setq v (load \"lsq_types.lsq\"))");
    EXPECT_EQ(eval("(list (car v) (cadr v) (caddr v) (car (cdddr v)))"), "(sym \"str\" 42 -2.5)");
    EXPECT_EQ(eval("(setq d (cadr (cdddr v))) (type-of d)"), "datetime");
    EXPECT_EQ(eval("(= d (coerce \"$DT730119.5\" 'datetime))"), "T");
    // nil, the empty list (nil once quoted) and a symbol with no text
    EXPECT_EQ(eval("(setq w (cddr (cdddr v))) (list (typenum (car w)) (typenum (cadr w)) "
                   "(type-of (caddr w)) (length v))"),
              "(0 0 symbol 8)");
}

// ---- source files ----

TEST_F(LsqLoad, ACtrlZEndsTheSourceText)
{
    file("lsq_z.lsp", std::string("(setq z 1)\x1A(setq z 2)", 21));
    EXPECT_EQ(load("lsq_z.lsp"), "1");
    EXPECT_EQ(eval("z"), "1");
    convert("lsq_z.lsp", "lsq_z.lsq");
    LsqImage img;
    ASSERT_TRUE(LsqImage::decode(readFile("lsq_z.lsq"), &img));
    EXPECT_EQ(img.recs.size(), 4u);
    eval("(setq z 0)");
    EXPECT_EQ(load("lsq_z.lsq"), "1");
}

TEST_F(LsqLoad, MagicWithANonZeroByte13IsReadAsSource)
{
    file("lsq_m.lsp", "OrinLSQ01.00\nX (+ 40 2)      ; longer than a header\n");
    EXPECT_EQ(load("lsq_m.lsp"), "42");
    // the same magic followed by its 0 byte is a stored query
    LsqImage img;
    img.strings = { "42" };
    img.recs = { { T_INT, 0, 1 } };
    file("lsq_m.lsq", img.bytes());
    EXPECT_EQ(load("lsq_m.lsq"), "42");
    // a long source program that spans several read blocks
    std::string big = "(setq n 0)";
    for (int i = 0; i < 2000; i++)
        big += " (setq n (+ n 1))";
    file("lsq_big.lsp", big);
    EXPECT_EQ(load("lsq_big.lsp"), "2000");
}

TEST_F(LsqLoad, MissingFilesAndFallbackValues)
{
    unsigned code;
    load("lsq_none.lsp", &code);
    EXPECT_EQ(code, 0xE028u);
    EXPECT_EQ(lastErr(), "lsq_none.lsp");
    EXPECT_EQ(eval("(load \"lsq_none.lsp\" '(fall back))"), "(fall back)");
    EXPECT_EQ(eval("(load 'lsq_none.lsp \"x\")"), "x");
    eval("(load 7)", &code);
    EXPECT_EQ(code, 0xE03Au);
    // a failure while evaluating the program also yields the fallback
    file("lsq_e.lsp", "(setq e 1) (nosuchfunction) (setq e 2)");
    EXPECT_EQ(eval("(load \"lsq_e.lsp\" 'failed)"), "failed");
    EXPECT_EQ(eval("e"), "1");
    load("lsq_e.lsp", &code);
    EXPECT_EQ(code, 0xE039u);
    file("lsq_u.lsp", "(setq u 1) (list 1");
    load("lsq_u.lsp", &code);
    EXPECT_EQ(code, 0xE01Fu);
    EXPECT_EQ(eval("(boundp 'u)"), "NIL");
    file("lsq_empty.lsp", "; nothing but a comment\n");
    EXPECT_EQ(load("lsq_empty.lsp"), "NIL");
    // a file another handle holds without sharing exists but cannot be opened
    HANDLE held = CreateFileA("lsq_empty.lsp", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    load("lsq_empty.lsp", &code);
    CloseHandle(held);
    EXPECT_EQ(code, 0xE029u);
}

TEST_F(LsqLoad, NamesResolveAlongTheSearchPath)
{
    CreateDirectoryA("lsq_dir", nullptr);
    file("lsq_dir\\lsq_sp.lsp", "(strcat \"found\" \" \" \"it\")");
    unsigned code;
    load("lsq_sp.lsp", &code);
    EXPECT_EQ(code, 0xE028u);
    EXPECT_EQ(load("lsq_dir/lsq_sp.lsp"), "found it");
    eval("(setsysvar \"SEARCHPATH\" \"lsq_nowhere;lsq_dir/\")");
    EXPECT_EQ(eval("(getsysvar \"SEARCHPATH\")"), "lsq_nowhere;lsq_dir/");
    EXPECT_EQ(load("lsq_sp.lsp"), "found it");
    EXPECT_EQ(load("elsewhere/lsq_sp.lsp"), "found it");
    convert("lsq_sp.lsp", "lsq_dir/lsq_sp.lsq");
    EXPECT_TRUE(exists("lsq_dir\\lsq_sp.lsq"));
    EXPECT_EQ(load("lsq_sp.lsq"), "found it");
    eval("(setsysvar \"SEARCHPATH\" \"\")");
    load("lsq_sp.lsq", &code);
    EXPECT_EQ(code, 0xE028u);
}

TEST_F(LsqLoad, ConversionFailuresLeaveNoTarget)
{
    unsigned code;
    eval("(lsp2lsq \"lsq_none.lsp\" \"lsq_x.lsq\")", &code);
    EXPECT_EQ(code, 0xE028u);
    file("lsq_open.lsp", "(a (b)");
    scratch.push_back("lsq_x.lsq");
    eval("(lsp2lsq \"lsq_open.lsp\" \"lsq_x.lsq\")", &code);
    EXPECT_EQ(code, 0xE01Fu);
    EXPECT_FALSE(exists("lsq_x.lsq"));
    file("lsq_ok.lsp", "(+ 1 2)");
    eval("(lsp2lsq \"lsq_ok.lsp\" \"lsq_no_dir/x.lsq\")", &code);
    EXPECT_EQ(code, 0xE029u);
    eval("(lsp2lsq \"lsq_ok.lsp\" 'x)", &code);
    EXPECT_EQ(code, 0xE03Au);
    // an existing target is replaced
    file("lsq_x.lsq", std::string(5000, 'j'));
    convert("lsq_ok.lsp", "lsq_x.lsq");
    EXPECT_EQ(readFile("lsq_x.lsq").size(), 32u + 6u + 4u * 6u);
    EXPECT_EQ(load("lsq_x.lsq"), "3");
    // more distinct texts than a u16 index reaches: refused, the target kept
    std::string many = "'(";
    for (int i = 0; i < 0x10000; i++)
        many += " s" + std::to_string(i);
    file("lsq_many.lsp", many + ")");
    eval("(lsp2lsq \"lsq_many.lsp\" \"lsq_x.lsq\")", &code);
    EXPECT_EQ(code, 0xE02Bu);
    EXPECT_EQ(load("lsq_x.lsq"), "3");
}

// ---- damaged stored queries ----

// A small program: (quote (alpha ("beta" 3) 4.5 nil)) - texts, types and
// nesting enough for every kind of damage.
LsqImage smallProgram()
{
    LsqImage img;
    img.strings = { "quote", "alpha", "beta", "3", "4.5", "NIL" };
    img.recs = {
        { T_LIST, ELEMS, 0 }, { T_SYM, NEXT, 1 }, { T_LIST, ELEMS, 0 }, { T_SYM, NEXT, 2 },
        { T_LIST, ELEMS | NEXT, 0 }, { T_STR, NEXT, 3 }, { T_INT, 0, 4 },
        { T_FLOAT, NEXT, 5 }, { T_NIL, 0, 6 },
    };
    return img;
}

TEST_F(LsqLoad, TruncatedFilesGiveErrors)
{
    LsqImage img = smallProgram();
    std::string whole = img.bytes();
    EXPECT_EQ(load(file("lsq_d.lsq", whole)), "(alpha (\"beta\" 3) 4.5 NIL)");
    size_t table = 32 + img.tableBytes();
    ULONG nodes = LspQueryNodesUsed();
    LONG heap = LspQueryHeapBlocks();
    for (size_t len = 0; len < whole.size(); len++) {
        file("lsq_d.lsq", whole.substr(0, len));
        unsigned code;
        std::string r = load("lsq_d.lsq", &code);
        // Under 14 bytes the file is no stored query and reads as source:
        // a prefix of the magic evaluates as it does typed in (a symbol,
        // or the function `or`); nothing at all is nil.
        unsigned expect = len < 14 ? 0
                        : len < 32 ? kInvalidData        // magic and its 0: not source text
                        : len < table ? 0xE02Cu
                        : len == table ? 0                // no records: an empty program
                        : (len - table) % 6 ? kInvalidData
                        : 0xE01Fu;                       // the records stop inside a list
        EXPECT_EQ(code, expect) << "length " << len;
        if (len < 14) {
            unsigned direct;
            std::string text = whole.substr(0, len);
            EXPECT_EQ(r, len ? eval(text, &direct) : "NIL") << "length " << len;
        }
        EXPECT_EQ(LspQueryNodesUsed(), nodes) << "length " << len;
        EXPECT_EQ(LspQueryHeapBlocks(), heap) << "length " << len;
    }
}

TEST_F(LsqLoad, WrongCountsAndStringIndexesGiveErrors)
{
    LsqImage img = smallProgram();
    unsigned code;
    struct Case {
        const char *what;
        std::string bytes;
        unsigned code;
    };
    std::vector<Case> cases;
    cases.push_back({ "count above the table", img.bytes(7, img.tableBytes()), 0xE02Cu });
    cases.push_back({ "count below the indexes used", img.bytes(5, img.tableBytes()), 0xE02Cu });
    cases.push_back({ "table bytes beyond the file", img.bytes(6, 100000), 0xE02Cu });
    cases.push_back({ "table bytes of 4 GiB", img.bytes(6, 0xFFFFFFFFu), 0xE02Cu });
    cases.push_back({ "last text unterminated", img.bytes(6, img.tableBytes() - 1), 0xE02Cu });
    LsqImage bad = img;
    bad.recs[3].text = 7;
    cases.push_back({ "index one past the table", bad.bytes(), 0xE02Cu });
    bad.recs[3].text = 0xFFFF;
    cases.push_back({ "index 0xFFFF", bad.bytes(), 0xE02Cu });
    bad = img;
    bad.recs[6].type = 6;
    cases.push_back({ "unknown type", bad.bytes(), kInvalidData });
    bad.recs[6].type = 0x8001;
    cases.push_back({ "open list type", bad.bytes(), kInvalidData });
    bad = img;
    bad.recs[1].flags = ELEMS | NEXT;
    cases.push_back({ "elements flag on a symbol", bad.bytes(), kInvalidData });
    bad = img;
    bad.recs[0].flags = ELEMS | NEXT;
    bad.recs[8].flags = 0;
    cases.push_back({ "a sibling promised and never written", bad.bytes(), 0xE01Fu });
    std::string odd = img.bytes() + "xy";
    cases.push_back({ "a partial record", odd, kInvalidData });
    for (const Case &c : cases) {
        load(file("lsq_c.lsq", c.bytes), &code);
        EXPECT_EQ(code, c.code) << c.what;
        EXPECT_EQ(eval("(load \"lsq_c.lsq\" 'fallback)"), "fallback") << c.what;
    }
    // nesting deeper than the interpreter's limit is refused, not followed
    LsqImage deep;
    for (int i = 0; i < 5000; i++)
        deep.recs.push_back({ T_LIST, ELEMS, 0 });
    deep.recs.push_back({ T_NIL, 0, 0 });
    load(file("lsq_c.lsq", deep.bytes()), &code);
    EXPECT_EQ(code, 0xE015u);
}

TEST_F(LsqLoad, EveryByteMutatedGivesAValueOrAnErrorNeverACrash)
{
    std::string whole = smallProgram().bytes();
    ULONG nodes = LspQueryNodesUsed();
    LONG heap = LspQueryHeapBlocks();
    int failed = 0, loaded = 0;
    const unsigned char masks[] = { 0x01, 0x80, 0xFF };
    for (size_t at = 0; at < whole.size(); at++) {
        for (unsigned char mask : masks) {
            std::string m = whole;
            m[at] = char(m[at] ^ mask);
            file("lsq_mut.lsq", m);
            unsigned code;
            load("lsq_mut.lsq", &code);
            (code ? failed : loaded)++;
            ASSERT_EQ(LspQueryNodesUsed(), nodes) << "byte " << at << " mask " << int(mask);
            ASSERT_EQ(LspQueryHeapBlocks(), heap) << "byte " << at << " mask " << int(mask);
        }
    }
    EXPECT_GT(failed, 0);
    EXPECT_GT(loaded, 0);
    EXPECT_EQ(eval("(+ 1 2)"), "3");
}

} // namespace
