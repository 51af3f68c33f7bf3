/*
 * rt_fontset.cpp - font sets and compiled contexts: the logical fonts a
 * context makes in a presentation space, and selecting a run's font.
 *
 * Entry i of a context gives the font ids 4i+1 .. 4i+4 (normal, italic,
 * bold, bold italic).  The font attributes are worked out from the
 * context once (face name cut to 31 bytes, cell height = points at the
 * device's vertical resolution) and kept in the font set; a compiled
 * context keeps them too, so that putting it into another PS only creates
 * the native fonts.  Width tables are loaded per font id when first asked.
 */
#include <algorithm>
#include <cstring>
#include "frame/handle_pool.h"
#include "pm/gpi/gpiint.h"
#include "richtext/rtpaintint.h"

namespace orin::rt {
namespace {

HandlePool<FontSet> fontSets;

constexpr USHORT kVariantSelection[RT_FONTS_PER_ENTRY] = {
    0, PM_FATTR_SEL_ITALIC, PM_FATTR_SEL_BOLD, PM_FATTR_SEL_BOLD | PM_FATTR_SEL_ITALIC};

PRTFONTSET handleOf(FontSet *fs) noexcept { return reinterpret_cast<PRTFONTSET>(fs); }

}  // namespace

FontSet *liveFontSet(HPS hps, PRTFONTSET fs) noexcept
{
    if (!fs)
        return fail(ORIN_ERR_INVALID_PARAM);
    FontSet *f = fontSets.get(fs);
    if (!f || f->hps != hps)
        return fail(ORIN_ERR_INVALID_HANDLE);
    return f;
}

int pixelsPerInch(HPS hps) noexcept
{
    HDC hdc = pm::gpi::gpiNativeDC(hps);
    return hdc ? GetDeviceCaps(hdc, LOGPIXELSY) : 0;
}

void appendEntryFonts(std::vector<PM_FATTRS> &out, const char *face, SHORT size, int ppi)
{
    PM_FATTRS fat{};
    fat.usRecordLength = sizeof fat;
    std::strncpy(fat.szFacename, face ? face : "", sizeof fat.szFacename - 1);
    fat.lMaxBaselineExt = std::max(1, MulDiv(pointSize(size, ppi), ppi > 0 ? ppi : kPointsPerInch,
                                             kPointsPerInch));
    for (USHORT selection : kVariantSelection) {
        fat.fsSelection = selection;
        out.push_back(fat);
    }
}

void createFonts(HPS hps, const std::vector<PM_FATTRS> &fonts, std::size_t first) noexcept
{
    // A font that cannot be made is left out: selecting it falls back.
    for (std::size_t i = first; i < fonts.size(); i++)
        GpiCreateLogFontSov(hps, nullptr, static_cast<LONG>(i + 1), &fonts[i]);
}

/* A new font set of hps holding fonts (created there). */
PRTFONTSET makeFontSet(HPS hps, std::vector<PM_FATTRS> fonts) noexcept
{
    if (!pm::gpi::gpiNativeDC(hps))
        return nullptr;
    auto made = fontSets.tryMake();
    if (!made)
        return fail(ORIN_ERR_NO_MEMORY);
    made->hps = hps;
    made->fonts = std::move(fonts);
    createFonts(hps, made->fonts, 0);
    return handleOf(made.release());
}

void releaseFontSet(HPS hps, FontSet *fs) noexcept
{
    GpiSetCharSet(hps, RT_FONT_DEFAULT);
    for (std::size_t i = 0; i < fs->fonts.size(); i++)
        GpiDeleteSetId(hps, static_cast<LONG>(i + 1));
    fontSets.destroy(fs);
}

/* ---- compiled contexts ---- */

struct CompContext {
    PRTCONTEXT ctx = nullptr;
    HDC hdc = nullptr;
    HPS hps = nullptr;
    PRTFONTSET own = nullptr;
    std::vector<PM_FATTRS> fonts;
    std::vector<std::pair<HPS, PRTFONTSET>> shares;
    int ppi = 0;

    ~CompContext()
    {
        for (auto &[ps, fs] : shares)
            if (FontSet *f = fontSets.get(fs))
                releaseFontSet(ps, f);
        if (FontSet *f = fontSets.get(own))
            releaseFontSet(hps, f);
        if (hps)
            GpiDestroyPS(hps);
        if (hdc)
            DevCloseDC(hdc);
    }
};

namespace {
HandlePool<CompContext> compContexts;

CompContext *liveComp(PRTCOMPCONTEXT cc) noexcept
{
    if (!cc)
        return fail(ORIN_ERR_INVALID_PARAM);
    CompContext *c = compContexts.get(cc);
    return c ? c : fail(ORIN_ERR_INVALID_HANDLE);
}

bool fontsOf(const Context &c, int ppi, std::vector<PM_FATTRS> &out) noexcept
{
    try {
        out.reserve(c.entries.size() * RT_FONTS_PER_ENTRY);
        for (const ContextEntry &e : c.entries)
            appendEntryFonts(out, e.face.get(), e.size, ppi);
        return true;
    } catch (...) {
        return fail(ORIN_ERR_NO_MEMORY) != nullptr;
    }
}
}  // namespace

}  // namespace orin::rt

using namespace orin;
using namespace orin::rt;

PRTFONTSET ORINAPI RtStrPutContextIntoPS(HPS hps, PRTCONTEXT ctx) noexcept
{
    Context *c = liveContext(ctx);
    if (!c)
        return nullptr;
    std::vector<PM_FATTRS> fonts;
    if (!fontsOf(*c, pixelsPerInch(hps), fonts))
        return nullptr;
    return makeFontSet(hps, std::move(fonts));
}

BOOL ORINAPI RtStrReleaseContextFromPS(HPS hps, PRTFONTSET fs, PRTCONTEXT) noexcept
{
    FontSet *f = liveFontSet(hps, fs);
    if (!f)
        return FALSE;
    releaseFontSet(hps, f);
    return TRUE;
}

PRTCOMPCONTEXT ORINAPI RtStrCreateCompContext(PRTCONTEXT ctx, HDC hdcDevice) noexcept
{
    Context *c = liveContext(ctx);
    if (!c)
        return nullptr;
    auto made = compContexts.tryMake();
    if (!made)
        return fail(ORIN_ERR_NO_MEMORY);
    made->ctx = ctx;
    made->hdc = DevOpenDC(0, PM_OD_MEMORY, "*", 0, nullptr, hdcDevice);
    PM_SIZEL one{1, 1};
    made->hps = made->hdc ? GpiCreatePS(0, made->hdc, &one, PM_GPIA_ASSOC) : nullptr;
    if (!made->hps)
        return nullptr;
    made->ppi = pixelsPerInch(made->hps);
    if (!fontsOf(*c, made->ppi, made->fonts))
        return nullptr;
    try {
        made->own = makeFontSet(made->hps, made->fonts);
    } catch (...) {
        return fail(ORIN_ERR_NO_MEMORY);
    }
    if (!made->own)
        return nullptr;
    return reinterpret_cast<PRTCOMPCONTEXT>(made.release());
}

USHORT ORINAPI RtStrAddCompContextEntry(PRTCOMPCONTEXT cc, const char *face, SHORT size) noexcept
{
    CompContext *c = liveComp(cc);
    if (!c)
        return RT_ERR_CONTEXT;
    USHORT result = RtStrAddContextEntry(c->ctx, face, size);
    Context *ctx = liveContext(c->ctx);
    if (result == RT_ERR_CONTEXT || !ctx || ctx->entries.empty())
        return result;
    const ContextEntry &added = ctx->entries.back();
    FontSet *own = liveFontSet(c->hps, c->own);
    try {
        std::size_t first = c->fonts.size();
        appendEntryFonts(c->fonts, added.face.get(), added.size, c->ppi);
        if (own) {
            own->fonts = c->fonts;
            createFonts(c->hps, own->fonts, first);
        }
    } catch (...) {
        SetLastError(ORIN_ERR_NO_MEMORY);
    }
    return result;
}

PRTFONTSET ORINAPI RtStrPutCompContextIntoPS(HPS hps, PRTCOMPCONTEXT cc) noexcept
{
    CompContext *c = liveComp(cc);
    if (!c)
        return nullptr;
    try {
        PRTFONTSET fs = makeFontSet(hps, c->fonts);
        if (fs)
            c->shares.emplace_back(hps, fs);
        return fs;
    } catch (...) {
        return fail(ORIN_ERR_NO_MEMORY);
    }
}

BOOL ORINAPI RtStrReleaseCompContextFromPS(HPS hps, PRTCOMPCONTEXT cc) noexcept
{
    CompContext *c = liveComp(cc);
    if (!c)
        return FALSE;
    auto it = std::find_if(c->shares.begin(), c->shares.end(),
                           [hps](const auto &s) { return s.first == hps; });
    if (it == c->shares.end()) {
        SetLastError(ORIN_ERR_INVALID_HANDLE);
        return FALSE;
    }
    if (FontSet *f = fontSets.get(it->second))
        releaseFontSet(hps, f);
    c->shares.erase(it);
    return TRUE;
}

PRTCONTEXT ORINAPI RtStrDestroyCompContext(PRTCOMPCONTEXT cc) noexcept
{
    CompContext *c = liveComp(cc);
    if (!c)
        return nullptr;
    PRTCONTEXT ctx = c->ctx;
    compContexts.destroy(c);
    return ctx;
}
