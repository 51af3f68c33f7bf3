/*
 * brc_ixdef.cpp - index and view definitions: the text "NAME,10,R;DATE,8,LN"
 * and the segments it stands for, and the look-up of a definition among
 * the archive's indexes.
 *
 * The text is read with the match scanner's cursor in place: blanks, the
 * field name up to ',', a decimal length (low 16 bits, as the scanner's
 * short readers keep) and the one separator behind it, then flag letters
 * up to ';' or the end.  It is written back with "%s,%d," and one of R, C,
 * L, followed by N for a required segment.  A definition is stored only
 * when its text reads back as the same segments, so every stored text can
 * be found again by its segments.
 */
#include "archive/brc_ixint.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "text/stuint.h"

namespace orin::arc::ix {
namespace {

constexpr unsigned kAnyDigits = 0xFFFF;

USHORT flagOf(USHORT ch) noexcept
{
    switch (ch) {
    case 'R': return BRC_SEG_RIGHT;
    case 'C': return BRC_SEG_CENTER;
    case 'N': return BRC_SEG_REQUIRED;
    default: return 0;
    }
}

bool ignoredInFlags(USHORT ch) noexcept
{
    return ch == ' ' || ch == '\t' || ch == '\n' || ch == '\r';
}

/* R wins over C; bits the text cannot say are dropped. */
USHORT normalFlags(USHORT flags) noexcept
{
    USHORT justify = (flags & BRC_SEG_RIGHT) ? BRC_SEG_RIGHT : (flags & BRC_SEG_CENTER);
    return USHORT(justify | (flags & BRC_SEG_REQUIRED));
}

void setName(BrcIxSegment &segment, std::string_view name) noexcept
{
    name = name.substr(0, BRC_FIELD_NAME_MAX);
    std::memset(segment.name, 0, sizeof segment.name);
    std::memcpy(segment.name, name.data(), name.size());
}

/* One segment from the cursor's position; the ';' behind it is taken. */
USHORT parseSegment(orin::stu::Cursor &cur, BrcIxSegment *segment) noexcept
{
    cur.blanks();
    const char *start = cur.ptr();
    for (;;) {
        USHORT ch = cur.queryChar();
        if (ch == 0)
            return BRC_ERR_DEFINITION;   // no ',' after the name
        if (ch == ',')
            break;
        cur.getChar();
    }
    setName(*segment, std::string_view(start, size_t(cur.ptr() - start)));
    cur.getChar();                        // the ','
    segment->length = USHORT(cur.readDigits(kAnyDigits, orin::stu::kDecimalBase));
    cur.getChar();                        // the separator behind the length
    segment->flags = 0;
    for (;;) {
        USHORT ch = cur.getChar();
        if (ch == 0 || ch == ';')
            return 0;
        if (ch == 'L' || ignoredInFlags(ch))
            continue;
        USHORT flag = flagOf(ch);
        if (flag == 0)
            return BRC_ERR_DEFINITION;
        segment->flags |= flag;
    }
}

char justifyLetter(USHORT flags) noexcept
{
    if (flags & BRC_SEG_RIGHT)
        return 'R';
    return (flags & BRC_SEG_CENTER) ? 'C' : 'L';
}

bool sameSegment(const BrcIxSegment &a, const BrcIxSegment &b, bool ignoreCase) noexcept
{
    std::string_view na = segmentName(a), nb = segmentName(b);
    if (a.length != b.length || normalFlags(a.flags) != normalFlags(b.flags) ||
        na.size() != nb.size())
        return false;
    if (na.empty())
        return true;
    return ignoreCase ? _strnicmp(na.data(), nb.data(), na.size()) == 0
                      : std::memcmp(na.data(), nb.data(), na.size()) == 0;
}

}  // namespace

std::string_view segmentName(const BrcIxSegment &segment) noexcept
{
    return std::string_view(segment.name, strnlen(segment.name, BRC_FIELD_NAME_MAX));
}

USHORT parseDefinition(const char *text, Segments *segments) noexcept
{
    try {
        segments->clear();
        if (text == nullptr || std::strlen(text) >= kDefinitionSize)
            return BRC_ERR_DEFINITION;
        orin::stu::Cursor cur(text);
        do {
            BrcIxSegment segment{};
            USHORT rc = parseSegment(cur, &segment);
            if (rc)
                return rc;
            segments->push_back(segment);
        } while (!cur.atEnd());
        return 0;
    } catch (const std::bad_alloc &) {
        return ORIN_ERR_NO_MEMORY;
    }
}

USHORT formatDefinition(std::span<const BrcIxSegment> segments, std::string *text) noexcept
{
    try {
        text->clear();
        for (const BrcIxSegment &s : segments) {
            char item[BRC_FIELD_NAME_MAX + 16];
            std::string name(segmentName(s));
            snprintf(item, sizeof item, "%s%s,%d,%c%s", text->empty() ? "" : ";", name.c_str(),
                     int(s.length), justifyLetter(s.flags),
                     (s.flags & BRC_SEG_REQUIRED) ? "N" : "");
            *text += item;
            if (text->size() >= kDefinitionSize)
                return BRC_ERR_DEFINITION;
        }
        return 0;
    } catch (const std::bad_alloc &) {
        return ORIN_ERR_NO_MEMORY;
    }
}

USHORT normalizeSegments(const BrcIxSegment *segments, USHORT count, Segments *out) noexcept
{
    if (segments == nullptr && count != 0)
        return ORIN_ERR_INVALID_PARAM;
    if (count == 0)
        return BRC_ERR_DEFINITION;
    try {
        out->clear();
        for (USHORT i = 0; i < count; i++) {
            BrcIxSegment s{};
            setName(s, segmentName(segments[i]));
            s.length = segments[i].length;
            s.flags = normalFlags(segments[i].flags);
            out->push_back(s);
        }
        std::string text;
        Segments back;
        USHORT rc = formatDefinition(*out, &text);
        if (rc == 0)
            rc = parseDefinition(text.c_str(), &back);
        if (rc)
            return rc;
        if (back.size() != out->size())
            return BRC_ERR_DEFINITION;
        for (size_t i = 0; i < back.size(); i++)
            if (!sameSegment(back[i], (*out)[i], false))
                return BRC_ERR_DEFINITION;   // a name the text cannot carry
        return 0;
    } catch (const std::bad_alloc &) {
        return ORIN_ERR_NO_MEMORY;
    }
}

ULONG keyLengthOf(std::span<const BrcIxSegment> segments) noexcept
{
    ULONG sum = 0;
    for (const BrcIxSegment &s : segments)
        sum += s.length;
    return sum;
}

bool sameDefinition(std::span<const BrcIxSegment> a, std::span<const BrcIxSegment> b) noexcept
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); i++)
        if (!sameSegment(a[i], b[i], true))
            return false;
    return true;
}

bool usesField(std::span<const BrcIxSegment> segments, std::string_view field) noexcept
{
    field = field.substr(0, BRC_FIELD_NAME_MAX);
    for (const BrcIxSegment &s : segments) {
        std::string_view name = segmentName(s);
        if (name.size() == field.size() &&
            (name.empty() || _strnicmp(name.data(), field.data(), name.size()) == 0))
            return true;
    }
    return false;
}

USHORT readDefinitionText(HPRF profile, const char *section, std::string *text) noexcept
{
    char buffer[kDefinitionSize] = {};
    USHORT rc = PrfQueryProfileString(profile, section, kKeyIxFields, "", buffer, sizeof buffer);
    if (rc == ORIN_ERR_NO_KEY)
        return BRC_ERR_NO_INDEX;
    if (rc == ORIN_ERR_BUFFER_TOO_SMALL)
        return BRC_ERR_DEFINITION;
    if (rc)
        return rc;
    try {
        *text = buffer;
    } catch (const std::bad_alloc &) {
        return ORIN_ERR_NO_MEMORY;
    }
    return 0;
}

USHORT readDefinition(BrcArchive &archive, USHORT number, Segments *segments) noexcept
{
    try {
        std::string text;
        USHORT rc = readDefinitionText(archive.profile, indexSection(number).c_str(), &text);
        return rc ? rc : parseDefinition(text.c_str(), segments);
    } catch (const std::bad_alloc &) {
        return ORIN_ERR_NO_MEMORY;
    }
}

USHORT findDefinition(BrcArchive &archive, std::span<const BrcIxSegment> segments,
                      USHORT *number) noexcept
{
    *number = kNoNumber;
    USHORT slots = 0;
    USHORT rc = readHeaderCount(archive, kKeyNrIndex, &slots);
    if (rc && rc != ORIN_ERR_NO_KEY)
        return rc;
    Segments stored;
    for (USHORT n = 0; n < slots; n++) {
        rc = readDefinition(archive, n, &stored);
        if (rc == ORIN_ERR_NO_MEMORY)
            return rc;
        if (rc == 0 && sameDefinition(stored, segments)) {
            *number = n;
            return 0;
        }
    }
    return BRC_ERR_NO_INDEX;
}

}  // namespace orin::arc::ix

using namespace orin::arc;
using namespace orin::arc::ix;

USHORT ORINAPI BrcIxGetIxDef(BrcArchive *archive, USHORT number, BrcIxSegment **segments,
                             USHORT *count) noexcept
{
    BrcArchive *a = liveArchive(archive);
    if (a == nullptr)
        return ORIN_ERR_INVALID_HANDLE;
    if (segments == nullptr || count == nullptr)
        return ORIN_ERR_INVALID_PARAM;
    *segments = nullptr;
    *count = 0;
    Segments parsed;
    USHORT rc = readDefinition(*a, number, &parsed);
    if (rc)
        return rc;
    auto *copy = static_cast<BrcIxSegment *>(std::malloc(parsed.size() * sizeof(BrcIxSegment)));
    if (copy == nullptr)
        return ORIN_ERR_NO_MEMORY;
    std::memcpy(copy, parsed.data(), parsed.size() * sizeof(BrcIxSegment));
    *segments = copy;
    *count = USHORT(parsed.size());
    return 0;
}

USHORT ORINAPI BrcIxGetIxDefStr(BrcArchive *archive, USHORT number, char *buffer, ULONG size) noexcept
{
    BrcArchive *a = liveArchive(archive);
    if (a == nullptr)
        return ORIN_ERR_INVALID_HANDLE;
    if (buffer == nullptr || size == 0)
        return ORIN_ERR_INVALID_PARAM;
    try {
        USHORT rc = PrfQueryProfileString(a->profile, indexSection(number).c_str(), kKeyIxFields,
                                          "", buffer, size);
        return rc == ORIN_ERR_NO_KEY ? BRC_ERR_NO_INDEX : rc;
    } catch (const std::bad_alloc &) {
        return ORIN_ERR_NO_MEMORY;
    }
}

USHORT ORINAPI BrcIxFind(BrcArchive *archive, const BrcIxSegment *segments, USHORT count,
                         USHORT *number) noexcept
{
    USHORT ignored;
    if (number == nullptr)
        number = &ignored;
    *number = kNoNumber;
    BrcArchive *a = liveArchive(archive);
    if (a == nullptr)
        return ORIN_ERR_INVALID_HANDLE;
    Segments wanted;
    USHORT rc = normalizeSegments(segments, count, &wanted);
    return rc ? rc : findDefinition(*a, wanted, number);
}

USHORT ORINAPI BrcIxFindStr(BrcArchive *archive, const char *text, USHORT *number) noexcept
{
    USHORT ignored;
    if (number == nullptr)
        number = &ignored;
    *number = kNoNumber;
    BrcArchive *a = liveArchive(archive);
    if (a == nullptr)
        return ORIN_ERR_INVALID_HANDLE;
    if (text == nullptr)
        return ORIN_ERR_INVALID_PARAM;
    Segments wanted;
    USHORT rc = parseDefinition(text, &wanted);
    return rc ? rc : findDefinition(*a, wanted, number);
}
