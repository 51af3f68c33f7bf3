/*
 * brc_ixint.h - what the archive's index files share: definitions (their
 * text form and the segments it stands for), the open-entry table, key
 * building and the rebuild.
 *
 * A definition is kept as a vector of segments whose names are cut to 31
 * characters and whose flags hold only the bits the text form can say
 * (R, C, N; R wins over C), so that two definitions are the same exactly
 * when their texts are.
 */
#ifndef ORIN_ARCHIVE_BRC_IXINT_H
#define ORIN_ARCHIVE_BRC_IXINT_H

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "archive/arcint.h"

namespace orin::arc::ix {

using Segments = std::vector<BrcIxSegment>;

inline constexpr size_t kDefinitionSize = 256;      // definition text with its terminator
inline constexpr USHORT kNoNumber = 0xFFFF;         // "no index" / "no view"
inline constexpr ULONG kMaxKeyLength = 0xFFFF;

// ---- Definitions (brc_ixdef.cpp) ----

/* The segments of a definition text; 57534 for a syntax error or a text
 * that does not fit in kDefinitionSize bytes. */
USHORT parseDefinition(const char *text, Segments *segments) noexcept;
/* The text form of the segments; 57534 when it does not fit. */
USHORT formatDefinition(std::span<const BrcIxSegment> segments, std::string *text) noexcept;
/* The caller's segments in the normal form (names cut, flags reduced);
 * 57534 when there are none or their text would not read back the same. */
USHORT normalizeSegments(const BrcIxSegment *segments, USHORT count, Segments *out) noexcept;
/* A segment's field name (at most 31 characters, terminator or not). */
std::string_view segmentName(const BrcIxSegment &segment) noexcept;
ULONG keyLengthOf(std::span<const BrcIxSegment> segments) noexcept;
bool sameDefinition(std::span<const BrcIxSegment> a, std::span<const BrcIxSegment> b) noexcept;
/* Whether some segment names the field (case-insensitively). */
bool usesField(std::span<const BrcIxSegment> segments, std::string_view field) noexcept;
/* "IxFields" of a section into text; 57535 when it is missing. */
USHORT readDefinitionText(HPRF profile, const char *section, std::string *text) noexcept;
/* The parsed definition of index `number`; 57535 when there is none. */
USHORT readDefinition(BrcArchive &archive, USHORT number, Segments *segments) noexcept;
/* The lowest index number with this definition; 57535 when none. */
USHORT findDefinition(BrcArchive &archive, std::span<const BrcIxSegment> segments,
                      USHORT *number) noexcept;

// ---- Entries (brc_index.cpp) ----

/* The open entry, the default index for null, or null. */
BrcIndexEntry *resolveEntry(BrcArchive &archive, BrcIndexEntry *entry) noexcept;
/* The name of index `number`'s tree as an in-profile file. */
std::string treeName(const BrcArchive &archive, USHORT number);
/* Opens index `number`, defined by `segments` (defining it first when
 * `number` is kNoNumber). */
USHORT openIndex(BrcArchive &archive, USHORT number, const Segments &segments,
                 BrcIndexEntry **entry) noexcept;
/* Releases one use; at the last, closes and (when asked) deletes. */
USHORT closeEntry(BrcArchive &archive, BrcIndexEntry *entry, bool deleting) noexcept;

// ---- Keys (brc_ixkey.cpp) ----

/* An index key (forIndex) or display line of the document into buffer. */
USHORT buildKey(BrdDocument &document, std::span<const BrcIxSegment> segments, bool forIndex,
                BYTE *buffer, USHORT length) noexcept;
/* The entry's key of the document (keyLength bytes). */
USHORT entryKey(BrdDocument &document, const BrcIndexEntry &entry, BYTE *buffer) noexcept;
/* The entry's key of document `number`, opened without lock for it. */
USHORT entryKeyOf(BrcArchive &archive, const BrcIndexEntry &entry, USHORT number,
                  BYTE *buffer) noexcept;

// ---- Rebuild (brc_ixbuild.cpp) ----

USHORT rebuildIndex(BrcArchive &archive, BrcIndexEntry &entry) noexcept;

}  // namespace orin::arc::ix

#endif /* ORIN_ARCHIVE_BRC_IXINT_H */
