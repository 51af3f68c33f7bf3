/*
 * dlg_template.cpp - reading the layout of native dialog templates and
 * giving them another font.
 *
 * Plain form: style, extended style (4+4), item count (2), x y cx cy
 * (4 x 2) = 18 bytes, then the menu, class (each 0x0000, 0xFFFF + ordinal,
 * or a UTF-16 string) and title; with the set-font style (0x40) a point
 * size and a face name follow.  Items start at the next 4-byte boundary:
 * 18 bytes of header, class, title, a creation-data count and its bytes.
 * Extended form (version 1, signature 0xFFFF): help id, extended style,
 * style (2+2+4+4+4), count, position = 26 bytes, the same three names,
 * and point size, weight, italic, charset and face name; items have a
 * 24-byte header.  Items are 4-byte aligned relative to the template start,
 * so moving the item block by a multiple of 4 keeps them valid.
 */
#include <cstring>
#include "pm/dialog/dlg_int.h"

namespace orin::pm::dialog {
namespace {

constexpr DWORD kSetFontStyle = DS_SETFONT;
constexpr size_t kPlainHeader = 18;
constexpr size_t kExtHeader = 26;
constexpr size_t kPlainItemHeader = 18;
constexpr size_t kExtItemHeader = 24;
constexpr size_t kPlainCountOffset = 8;
constexpr size_t kExtCountOffset = 16;
constexpr size_t kExtStyleOffset = 12;
constexpr WORD kExtSignature = 0xFFFF;
constexpr WORD kDefaultPointSize = 8;
constexpr size_t kMaxTemplate = 1u << 20;

size_t align4(size_t n) { return (n + 3) & ~size_t(3); }

/* Reads little-endian words within a bound; fails past it. */
class Reader {
public:
    Reader(const BYTE *p, size_t limit) : p_(p), limit_(limit) {}
    bool word(size_t off, WORD &w) const
    {
        if (off + 2 > limit_) return false;
        std::memcpy(&w, p_ + off, 2);
        return true;
    }
    bool dword(size_t off, DWORD &d) const
    {
        if (off + 4 > limit_) return false;
        std::memcpy(&d, p_ + off, 4);
        return true;
    }
    /* A UTF-16 string ending in 0; off moves past it. */
    bool string(size_t &off, std::u16string *out = nullptr) const
    {
        for (WORD w; word(off, w); off += 2) {
            if (!w) { off += 2; return true; }
            if (out) out->push_back(static_cast<char16_t>(w));
        }
        return false;
    }
    /* 0x0000, 0xFFFF + ordinal, or a string. */
    bool nameOrOrdinal(size_t &off) const
    {
        WORD w;
        if (!word(off, w)) return false;
        if (w == 0xFFFF) { off += 4; return off <= limit_; }
        return string(off);
    }
private:
    const BYTE *p_;
    size_t limit_;
};

bool skipItems(const Reader &r, size_t &off, WORD count, size_t itemHeader)
{
    for (WORD i = 0; i < count; ++i) {
        off = align4(off) + itemHeader;
        WORD extra;
        if (!r.nameOrOrdinal(off) || !r.nameOrOrdinal(off) || !r.word(off, extra))
            return false;
        off += 2 + extra;
    }
    return true;
}

bool isReplaceableFace(const std::u16string &face)
{
    return face == u"Helv" || face == u"MS Sans Serif";
}

void put(std::vector<BYTE> &out, const void *p, size_t n)
{
    auto b = static_cast<const BYTE *>(p);
    out.insert(out.end(), b, b + n);
}

void putWord(std::vector<BYTE> &out, WORD w) { put(out, &w, 2); }

}  // namespace

std::optional<TemplateLayout> ParseTemplate(const BYTE *tpl, size_t limit) noexcept
{
    if (!tpl)
        return std::nullopt;
    Reader r(tpl, limit < kMaxTemplate ? limit : kMaxTemplate);
    TemplateLayout t;
    WORD version, signature, count;
    if (!r.word(0, version) || !r.word(2, signature))
        return std::nullopt;
    t.extended = version == 1 && signature == kExtSignature;
    t.styleOffset = t.extended ? kExtStyleOffset : 0;
    if (!r.dword(t.styleOffset, t.style) ||
        !r.word(t.extended ? kExtCountOffset : kPlainCountOffset, count))
        return std::nullopt;
    size_t off = t.extended ? kExtHeader : kPlainHeader;
    if (!r.nameOrOrdinal(off) || !r.nameOrOrdinal(off) || !r.string(off))
        return std::nullopt;
    t.fontOffset = off;
    t.hasFont = (t.style & kSetFontStyle) != 0;
    if (t.hasFont) {
        if (!r.word(off, t.pointSize))
            return std::nullopt;
        off += t.extended ? 6 : 2;            // size (+ weight, italic, charset)
        if (!r.string(off, &t.face))
            return std::nullopt;
    }
    t.itemsOffset = align4(off);
    off = t.itemsOffset;
    if (!skipItems(r, off, count, t.extended ? kExtItemHeader : kPlainItemHeader))
        return std::nullopt;
    t.size = off;
    return t;
}

std::vector<BYTE> AdaptTemplate(const BYTE *tpl, size_t limit, const FontChoice &font)
{
    auto t = ParseTemplate(tpl, limit);
    if (!t || (t->hasFont && !isReplaceableFace(t->face)))
        return {};
    std::vector<BYTE> out;
    out.reserve(t->size + 64 + font.face.size() * 2);
    put(out, tpl, t->fontOffset);
    DWORD style = t->style | kSetFontStyle;
    std::memcpy(out.data() + t->styleOffset, &style, 4);
    bool keepSize = t->hasFont && t->pointSize != kDefaultPointSize;
    putWord(out, keepSize ? t->pointSize : font.points);
    if (t->extended) {
        WORD weight = FW_NORMAL;
        BYTE italic = 0, charset = font.charset;
        if (t->hasFont) {
            std::memcpy(&weight, tpl + t->fontOffset + 2, 2);
            italic = tpl[t->fontOffset + 4];
        }
        putWord(out, weight);
        put(out, &italic, 1);
        put(out, &charset, 1);
    }
    put(out, font.face.c_str(), (font.face.size() + 1) * 2);
    out.resize(align4(out.size()), 0);
    put(out, tpl + t->itemsOffset, t->size - t->itemsOffset);
    return out;
}

FontChoice SystemDialogFont() noexcept
{
    FontChoice choice;
    LOGFONTW lf = {};
    if (!GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof lf, &lf) &&
        !GetObjectW(GetStockObject(SYSTEM_FONT), sizeof lf, &lf))
        return choice;
    choice.face.assign(reinterpret_cast<const char16_t *>(lf.lfFaceName));
    choice.charset = lf.lfCharSet;
    HDC screen = GetDC(nullptr);
    int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
    if (screen)
        ReleaseDC(nullptr, screen);
    LONG height = lf.lfHeight < 0 ? -lf.lfHeight : lf.lfHeight;
    choice.points = static_cast<WORD>(dpi > 0 ? MulDiv(height, 72, dpi) : kDefaultPointSize);
    return choice;
}

std::vector<BYTE> AdaptForSystem(const BYTE *tpl, size_t limit)
{
    if (!GetSystemMetrics(SM_DBCSENABLED))
        return {};
    return AdaptTemplate(tpl, limit, SystemDialogFont());
}

}  // namespace orin::pm::dialog
