/*
 * brd_memo.cpp - memos and redlines of a document: two sub-sections
 * ("Doc_<n>.MEMOS", "Doc_<n>.REDLINES") whose content the caller's copy
 * function moves between the archive and the caller's own profile; the
 * library only names the sections and keeps the per-field information
 * keys "MM.InfoField.<name>" and "RL.InfoLayer.<name>".
 */
#include "archive/arcint.h"

#include <cstring>

#include "frame/boundary.h"

namespace orin::arc {
namespace {

constexpr char kMemos[] = "MEMOS";
constexpr char kRedlines[] = "REDLINES";
constexpr char kMemoInfo[] = "MM.InfoField.";
constexpr char kLayerInfo[] = "RL.InfoLayer.";
constexpr size_t kNameSize = 256;

struct Name {
    char text[kNameSize];
    explicit Name(const char *s) noexcept { snprintf(text, sizeof text, "%s", s ? s : ""); }
};

Name subSection(const BrdDocument &d, const char *which) noexcept
{
    char s[kNameSize];
    snprintf(s, sizeof s, "%s.%s", d.section, which);
    return Name(s);
}

USHORT copySection(BrdDocument *document, const char *which, bool intoArchive, HPRF profile,
                   PFNBRDCOPYSECTION copy, void *context, const char *section) noexcept
{
    BrdDocument *d = liveDocument(document);
    if (d == nullptr)
        return ORIN_ERR_INVALID_HANDLE;
    if (copy == nullptr)
        return 0;
    Name mine = subSection(*d, which);
    Name theirs(section);
    HPRF archiveProfile = d->archive->profile;
    if (intoArchive)
        copy(context, archiveProfile, profile, mine.text, theirs.text);
    else
        copy(context, profile, archiveProfile, theirs.text, mine.text);
    return 0;
}

USHORT copyKey(BrdDocument *document, const char *which, bool intoArchive, HPRF profile,
               PFNBRDCOPYKEY copy, const char *section, const char *archiveKey,
               const char *callerKey, ULONG flag) noexcept
{
    BrdDocument *d = liveDocument(document);
    if (d == nullptr)
        return ORIN_ERR_INVALID_HANDLE;
    if (copy == nullptr)
        return 0;
    Name mine = subSection(*d, which);
    Name theirs(section), aKey(archiveKey), cKey(callerKey);
    HPRF archiveProfile = d->archive->profile;
    if (intoArchive)
        return copy(archiveProfile, profile, mine.text, theirs.text, aKey.text, cKey.text, flag);
    return copy(profile, archiveProfile, theirs.text, mine.text, cKey.text, aKey.text, 0);
}

USHORT deleteSubSection(BrdDocument *document, const char *which) noexcept
{
    BrdDocument *d = liveDocument(document);
    if (d == nullptr)
        return ORIN_ERR_INVALID_HANDLE;
    return PrfDestroySection(d->archive->profile, subSection(*d, which).text);
}

template <class F>
USHORT withInfoKey(BrdDocument *document, const char *which, const char *prefix, const char *name,
                   F &&f) noexcept
{
    BrdDocument *d = liveDocument(document);
    if (d == nullptr)
        return ORIN_ERR_INVALID_HANDLE;
    if (name == nullptr)
        return ORIN_ERR_INVALID_PARAM;
    char key[kNameSize];
    snprintf(key, sizeof key, "%s%s", prefix, name);
    return f(d->archive->profile, subSection(*d, which).text, key);
}

}  // namespace
}  // namespace orin::arc

using namespace orin::arc;
using orin::guardCode;

USHORT ORINAPI BrdSetMemos(BrdDocument *document, HPRF profile, PFNBRDCOPYSECTION copy,
                           void *context, const char *section) noexcept
{
    return copySection(document, kMemos, true, profile, copy, context, section);
}

USHORT ORINAPI BrdGetMemos(BrdDocument *document, HPRF profile, PFNBRDCOPYSECTION copy,
                           void *context, const char *section) noexcept
{
    return copySection(document, kMemos, false, profile, copy, context, section);
}

USHORT ORINAPI BrdSetRedlines(BrdDocument *document, HPRF profile, PFNBRDCOPYSECTION copy,
                              void *context, const char *section) noexcept
{
    return copySection(document, kRedlines, true, profile, copy, context, section);
}

USHORT ORINAPI BrdGetRedlines(BrdDocument *document, HPRF profile, PFNBRDCOPYSECTION copy,
                              void *context, const char *section) noexcept
{
    return copySection(document, kRedlines, false, profile, copy, context, section);
}

USHORT ORINAPI BrdSetMemoField(BrdDocument *document, HPRF profile, PFNBRDCOPYKEY copy,
                               const char *section, const char *archiveKey, const char *callerKey,
                               ULONG flag) noexcept
{
    return copyKey(document, kMemos, true, profile, copy, section, archiveKey, callerKey, flag);
}

USHORT ORINAPI BrdGetMemoField(BrdDocument *document, HPRF profile, PFNBRDCOPYKEY copy,
                               const char *section, const char *archiveKey,
                               const char *callerKey) noexcept
{
    return copyKey(document, kMemos, false, profile, copy, section, archiveKey, callerKey, 0);
}

USHORT ORINAPI BrdSetRedLayer(BrdDocument *document, HPRF profile, PFNBRDCOPYKEY copy,
                              const char *section, const char *archiveKey, const char *callerKey,
                              ULONG flag) noexcept
{
    return copyKey(document, kRedlines, true, profile, copy, section, archiveKey, callerKey, flag);
}

USHORT ORINAPI BrdGetRedLayer(BrdDocument *document, HPRF profile, PFNBRDCOPYKEY copy,
                              const char *section, const char *archiveKey,
                              const char *callerKey) noexcept
{
    return copyKey(document, kRedlines, false, profile, copy, section, archiveKey, callerKey, 0);
}

USHORT ORINAPI BrdDeleteMemos(BrdDocument *document) noexcept
{
    return deleteSubSection(document, kMemos);
}

USHORT ORINAPI BrdDeleteRedlines(BrdDocument *document) noexcept
{
    return deleteSubSection(document, kRedlines);
}

USHORT ORINAPI BrdFldGetMemoInfo(BrdDocument *document, const char *name, PRFFLDINFO *info) noexcept
{
    if (info == nullptr)
        return ORIN_ERR_INVALID_PARAM;
    return withInfoKey(document, kMemos, kMemoInfo, name, [&](HPRF p, const char *s, const char *k) {
        return PrfQueryProfileFldInfo(p, s, k, info);
    });
}

USHORT ORINAPI BrdFldSetMemoInfo(BrdDocument *document, const char *name,
                                 const PRFFLDINFO *info) noexcept
{
    if (info == nullptr)
        return ORIN_ERR_INVALID_PARAM;
    return withInfoKey(document, kMemos, kMemoInfo, name, [&](HPRF p, const char *s, const char *k) {
        return PrfWriteProfileFldInfo(p, s, k, info);
    });
}

USHORT ORINAPI BrdFldGetRedLayerInfo(BrdDocument *document, const char *name,
                                     PRFFLDINFO *info) noexcept
{
    if (info == nullptr)
        return ORIN_ERR_INVALID_PARAM;
    return withInfoKey(document, kRedlines, kLayerInfo, name,
                       [&](HPRF p, const char *s, const char *k) {
                           return PrfQueryProfileFldInfo(p, s, k, info);
                       });
}

USHORT ORINAPI BrdFldSetRedLayerInfo(BrdDocument *document, const char *name,
                                     const PRFFLDINFO *info) noexcept
{
    if (info == nullptr)
        return ORIN_ERR_INVALID_PARAM;
    return withInfoKey(document, kRedlines, kLayerInfo, name,
                       [&](HPRF p, const char *s, const char *k) {
                           return PrfWriteProfileFldInfo(p, s, k, info);
                       });
}
