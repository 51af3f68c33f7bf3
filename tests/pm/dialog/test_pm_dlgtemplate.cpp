// The font adaptation of dialog templates, checked on the bytes it makes:
// a reader written here (after the documented template layout) takes the
// original and the adapted template apart and compares them.  Runs in the
// default locale and under code page 932, where the system adapts.
#include <gtest/gtest.h>
#include <cstring>
#include <string>
#include <vector>
#include "pm/dialog/dlg_int.h"

using namespace orin::pm::dialog;

namespace {

struct Parsed {
    bool ext = false;
    DWORD style = 0;
    bool font = false;
    WORD points = 0, weight = 0;
    BYTE italic = 0;
    std::u16string face, title;
    int items = 0;
    std::vector<BYTE> itemBytes;       // from the first item to the end
    std::vector<std::u16string> itemTexts;
};

struct Cursor {
    const BYTE *p;
    size_t off = 0;
    WORD w() { WORD v; memcpy(&v, p + off, 2); off += 2; return v; }
    DWORD d() { DWORD v; memcpy(&v, p + off, 4); off += 4; return v; }
    std::u16string str() { std::u16string s; for (WORD c; (c = w());) s += (char16_t)c; return s; }
    std::u16string nameOrOrd()
    {
        WORD first;
        memcpy(&first, p + off, 2);
        if (first == 0xFFFF) { off += 4; return u"#"; }
        return str();
    }
    void align() { off = (off + 3) & ~size_t(3); }
};

Parsed parse(const BYTE *p, size_t size)
{
    Parsed t;
    Cursor c{p};
    t.ext = c.w() == 1 && c.w() == 0xFFFF;
    c.off = 0;
    if (t.ext) {
        c.off = 12;
        t.style = c.d();
        t.items = c.w();
        c.off += 8;
    } else {
        t.style = c.d();
        c.d();
        t.items = c.w();
        c.off += 8;
    }
    c.nameOrOrd();
    c.nameOrOrd();
    t.title = c.str();
    t.font = (t.style & 0x40) != 0;
    if (t.font) {
        t.points = c.w();
        if (t.ext) {
            t.weight = c.w();
            t.italic = p[c.off];
            c.off += 2;
        }
        t.face = c.str();
    }
    c.align();
    size_t first = c.off;
    for (int i = 0; i < t.items; i++) {
        c.align();
        c.off += t.ext ? 24 : 18;
        c.nameOrOrd();
        t.itemTexts.push_back(c.nameOrOrd());
        WORD extra = c.w();
        c.off += extra;
    }
    EXPECT_LE(c.off, size);
    t.itemBytes.assign(p + first, p + c.off);
    return t;
}

std::vector<BYTE> resource(int id)
{
    HMODULE m = GetModuleHandleA(NULL);
    HRSRC r = FindResourceA(m, MAKEINTRESOURCEA(id), (LPCSTR)RT_DIALOG);
    EXPECT_NE(r, (HRSRC)NULL);
    if (!r)
        return {};
    auto p = (const BYTE *)LockResource(LoadResource(m, r));
    return std::vector<BYTE>(p, p + SizeofResource(m, r));
}

const FontChoice kGothic = {u"MS UI Gothic", 9, SHIFTJIS_CHARSET};

struct Case {
    int id;
    bool adapted;
    bool ext;
    WORD points;       // expected point size after adaptation
};

TEST(DialogTemplate, ReplaceableFontsAndMissingFontsGetTheChosenOne)
{
    const Case cases[] = {{100, true, false, 9},   // size 8 takes the font's
                          {101, true, true, 10},   // other sizes are kept
                          {102, false, false, 0},  // another face: unchanged
                          {103, true, true, 9}};   // no font at all
    for (const Case &c : cases) {
        SCOPED_TRACE(c.id);
        std::vector<BYTE> orig = resource(c.id);
        ASSERT_FALSE(orig.empty());
        std::vector<BYTE> out = AdaptTemplate(orig.data(), orig.size(), kGothic);
        EXPECT_EQ(!out.empty(), c.adapted);
        if (!c.adapted)
            continue;
        Parsed before = parse(orig.data(), orig.size());
        Parsed after = parse(out.data(), out.size());
        EXPECT_EQ(after.ext, c.ext);
        EXPECT_TRUE(after.font);
        EXPECT_EQ(after.style, before.style | 0x40);
        EXPECT_EQ(after.face, u"MS UI Gothic");
        EXPECT_EQ(after.points, c.points);
        EXPECT_EQ(after.title, before.title);
        EXPECT_EQ(after.items, before.items);
        EXPECT_EQ(after.itemTexts, before.itemTexts);
        EXPECT_EQ(after.itemBytes, before.itemBytes);   // moved intact
        if (c.id == 101) {
            EXPECT_EQ(after.weight, 700);
            EXPECT_EQ(after.italic, 1);
        }
        // The layout reader of the library agrees with the copy's size.
        auto layout = ParseTemplate(out.data(), out.size());
        ASSERT_TRUE(layout.has_value());
        EXPECT_EQ(layout->size, out.size());
        EXPECT_EQ(layout->itemsOffset % 4, 0u);
    }
}

TEST(DialogTemplate, DamagedTemplatesAreRefused)
{
    std::vector<BYTE> orig = resource(100);
    for (size_t cut : {size_t(0), size_t(3), size_t(20), orig.size() - 2}) {
        EXPECT_FALSE(ParseTemplate(orig.data(), cut).has_value()) << cut;
        EXPECT_TRUE(AdaptTemplate(orig.data(), cut, kGothic).empty()) << cut;
    }
    EXPECT_FALSE(ParseTemplate(nullptr, 100).has_value());
}

TEST(DialogTemplate, SystemAdaptsOnlyOnDbcsSystems)
{
    LOGFONTW lf = {};
    GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof lf, &lf);
    std::u16string gui((const char16_t *)lf.lfFaceName);
    bool dbcs = GetSystemMetrics(SM_DBCSENABLED) != 0;
    if (GetACP() == 932) {
        EXPECT_TRUE(dbcs);   // the run under code page 932 must adapt
    }
    for (int id : {100, 101, 102, 103}) {
        SCOPED_TRACE(id);
        std::vector<BYTE> orig = resource(id);
        std::vector<BYTE> out = AdaptForSystem(orig.data(), orig.size());
        EXPECT_EQ(!out.empty(), dbcs && id != 102);
        if (out.empty())
            continue;
        Parsed after = parse(out.data(), out.size());
        EXPECT_EQ(after.face, gui);
        // The adapted template makes a dialog whose font has that face.
        HWND dlg = CreateDialogIndirectParamW(GetModuleHandleA(NULL), (LPCDLGTEMPLATEW)out.data(),
                                              NULL, [](HWND, UINT, WPARAM, LPARAM) -> INT_PTR {
                                                  return FALSE;
                                              }, 0);
        ASSERT_NE(dlg, (HWND)NULL);
        LOGFONTW used = {};
        GetObjectW((HFONT)SendMessageW(dlg, WM_GETFONT, 0, 0), sizeof used, &used);
        EXPECT_EQ(std::u16string((const char16_t *)used.lfFaceName), gui);
        EXPECT_EQ(GetDlgItem(dlg, 1) != NULL, true);
        DestroyWindow(dlg);
    }
}

} // namespace
