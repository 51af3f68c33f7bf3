/*
 * arcint.h - what the archive's files share: the records behind the
 * archive, document and index-entry handles, the names of the schema's
 * sections and keys, and the seams between documents, fields and indexes.
 *
 * An archive is nothing but a profile: every byte goes through the Prf
 * calls.  Handles live in handle pools so that a closed or made-up handle
 * is refused with 6 instead of being read through.
 */
#ifndef ORIN_ARCHIVE_ARCINT_H
#define ORIN_ARCHIVE_ARCINT_H

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "brc.h"

/* One open archive index (an Ixd tree kept in "Index_<n>" ~ "Tree"). */
struct BrcIndexEntry {
    PIX ix = nullptr;
    std::vector<BrcIxSegment> segments;
    USHORT number = 0;
    USHORT uses = 0;
    USHORT keyLength = 0;
    std::vector<BYTE> newKey;   // keyLength bytes each
    std::vector<BYTE> oldKey;
    bool oldKeyCaptured = false;
};

struct BrcArchive {
    void *anchor = nullptr;
    std::string fileName;
    HPRF profile = nullptr;
    PFNBRCBUSY busy = nullptr;
    ULONGLONG busyUser = 0;
    USHORT busyInterval = 0;
    bool ansi = false;          // strings stored in the ANSI code page
    USHORT openMode = 0;        // profile mode in effect; 0 also for read-only
    // Invariant: entries are owned here and never move, so an entry
    // pointer handed to a caller stays valid until that entry closes.
    std::vector<std::unique_ptr<BrcIndexEntry>> indexes;
    BrcIndexEntry *defaultIndex = nullptr;
    VBFFUNCS *prfFileFuncs = nullptr;   // profile-file back-end, malloc'ed

    bool shared() const { return openMode != 0; }
};

struct BrdDocument {
    BrcArchive *archive = nullptr;
    USHORT number = 0;                   // BRC_TEMPLATE_NUMBER for the template
    bool locked = false;
    char section[12] = {};               // "Doc_<n>" or "Template"
    std::optional<std::string> fields;   // cached field list; empty optional: none
    bool fieldsCached = false;
    bool fieldsDirty = false;

    bool isTemplate() const { return number == BRC_TEMPLATE_NUMBER; }
};

namespace orin::arc {

// Schema names.
inline constexpr char kHeader[] = "BrcHeader";
inline constexpr char kTemplate[] = "Template";
inline constexpr char kKeyVersion[] = "Version";
inline constexpr char kKeyId[] = "ID";
inline constexpr char kKeyNrDocs[] = "NrDocs";
inline constexpr char kKeyNrIndex[] = "NrIndex";
inline constexpr char kKeyNrViews[] = "NrViews";
inline constexpr char kKeyArchive[] = "Archive";
inline constexpr char kKeyAnsi[] = "Ansi";
inline constexpr char kKeyComment[] = "Comment";
inline constexpr char kKeyPassword[] = "KPpW";
inline constexpr char kKeyAppSite[] = "AppSite";
inline constexpr char kKeyDocId[] = "DocID";
inline constexpr char kKeyEntrance[] = "DTEntrance";
inline constexpr char kKeyActive[] = "Active";
inline constexpr char kKeyActiveOnEntrance[] = "ActiveOnEntrance";
inline constexpr char kKeyFields[] = "Fields";
inline constexpr char kKeyHistory[] = "History";
inline constexpr char kKeyIxFields[] = "IxFields";
inline constexpr char kKeyVwFields[] = "VwFields";
inline constexpr char kKeyViewName[] = "Name";
inline constexpr char kKeyTree[] = "Tree";
inline constexpr char kStampTemplate[] = "[Y][0M][0D][0i][0m][0s]";
inline constexpr size_t kStampDigits = 14;
inline constexpr size_t kFieldKeySize = 45;      // "Value.<name>" buffer
inline constexpr size_t kFieldValueSlice = 260;  // values read for keys and compares

// Handles.
BrcArchive *liveArchive(BrcArchive *archive) noexcept;
BrdDocument *liveDocument(BrdDocument *document) noexcept;
BrcArchive *newArchive();                  // throws std::bad_alloc
void freeArchive(BrcArchive *archive) noexcept;
BrdDocument *newDocument(BrcArchive *archive, USHORT number);  // throws
void freeDocument(BrdDocument *document) noexcept;
/* f(record) for a live handle, else 6 (invalid handle). */
template <class F>
USHORT withArchive(BrcArchive *archive, F &&f) noexcept
{
    BrcArchive *a = liveArchive(archive);
    return a ? f(*a) : USHORT(ORIN_ERR_INVALID_HANDLE);
}
template <class F>
USHORT withDocument(BrdDocument *document, F &&f) noexcept
{
    BrdDocument *d = liveDocument(document);
    return d ? f(*d) : USHORT(ORIN_ERR_INVALID_HANDLE);
}
/* The entry when it is open on the archive, else null. */
BrcIndexEntry *liveEntry(BrcArchive *archive, BrcIndexEntry *entry) noexcept;

// Names.
std::string docSection(USHORT number);      // "Doc_<n>"
std::string indexSection(USHORT number);    // "Index_<n>"
std::string viewSection(USHORT number);     // "View_<n>"
std::string infoKey(std::string_view field);   // "Info.<name>"
std::string valueKey(std::string_view field);  // "Value.<name>"
/* "@PRFHANDLE@<16 hex digits>;<section>~<key>": an in-profile file. */
std::string profileFileName(HPRF profile, std::string_view section, std::string_view key);

// Profile helpers.
bool sectionExists(HPRF profile, const char *section) noexcept;
USHORT readHeaderCount(BrcArchive &archive, const char *key, USHORT *value) noexcept;
USHORT writeHeaderCount(BrcArchive &archive, const char *key, USHORT value) noexcept;
/* Lock or unlock the header section in shared mode; 0 otherwise. */
USHORT lockHeader(BrcArchive &archive, bool lock) noexcept;
/* A string key read the comment way: with a buffer at most size bytes,
 * size = length + 1; without, size = stored length + 1; a missing key
 * gives an empty string, size 1 and 211. */
USHORT readTextKey(HPRF profile, const char *section, const char *key, char *buffer,
                   ULONG *size) noexcept;
/* Documents whose "Active" is non-zero. */
USHORT countActiveDocs(BrcArchive &archive, USHORT *count) noexcept;
/* 14 digits YYYYMMDDhhmmss of dt, or of now when dt is null. */
std::string dateTimeStamp(const DATETIME *dt);
/* Parses 14 digits back into a date-time (missing parts zero). */
DATETIME parseDateTimeStamp(std::string_view digits) noexcept;

/* A string key of the document's section (default empty). */
USHORT readDocString(BrdDocument &document, const char *key, char *buffer, ULONG size) noexcept;

// Field lists.
/* The document's field list, re-read as the sharing rules require; null
 * when the document has no fields. */
const std::string *fieldList(BrdDocument &document, USHORT *rc) noexcept;
/* Stores a new list (nullopt: no fields): at once in shared mode, on
 * close otherwise. */
USHORT storeFieldList(BrdDocument &document, std::optional<std::string> list) noexcept;
/* Writes a list changed in the cache only: on close in non-shared mode,
 * and after a new field's value in shared mode. */
USHORT flushFieldList(BrdDocument &document) noexcept;
/* Names of a list, each cut to 31 characters. */
std::vector<std::string> splitFieldList(std::string_view list);
/* Position of name in the list (case-insensitive), or -1. */
int findInFieldList(std::string_view list, std::string_view name) noexcept;
bool hasField(BrdDocument &document, std::string_view name) noexcept;
/* A field name is 1 to 31 characters without ','. */
bool validFieldName(const char *name) noexcept;
/* Appends a name to the list and stores it. */
USHORT appendFieldName(BrdDocument &document, const char *name);
/* Appends a name to the cached list only (in every mode); flushFieldList
 * stores it. */
USHORT appendFieldNameLater(BrdDocument &document, const char *name);
/* The name as the list spells it (keys are named after that spelling),
 * or name itself when it is not listed. */
std::string listedName(BrdDocument &document, std::string_view name);

// Field information and values.
USHORT readFieldInfo(BrdDocument &document, const char *name, PRFFLDINFO *info) noexcept;
USHORT writeFieldInfo(BrdDocument &document, const char *name, const PRFFLDINFO *info) noexcept;
/* Up to `size` bytes of Value.<name> from its start; *length gets what
 * was read.  211 when the key is missing. */
USHORT readFieldValue(BrdDocument &document, const char *name, void *buffer, ULONG size,
                      ULONG *length) noexcept;
/* Whether name is in the list (57526 when not); when expectedType or
 * type asks for it, the stored type (57527 when it differs). */
USHORT findField(BrdDocument &document, const char *name, USHORT expectedType,
                 USHORT *type) noexcept;
/* Writes Value.<name> with index maintenance around the write. */
USHORT writeFieldValue(BrdDocument &document, const char *name, const void *data,
                       ULONG length) noexcept;
/* Sets updated = 1 and the update time to now (and, when `created`, the
 * creation time too) in the field's information. */
USHORT markFieldUpdated(BrdDocument &document, const char *name, bool created) noexcept;
/* True when value[0..length) is "[...]" (a final zero ignored); path
 * gets the trimmed text between the brackets. */
bool isFileReference(const void *value, ULONG length, std::string *path);
/* value without the surrounding '"'s, when it has them. */
std::string_view stripQuotes(const void *value, ULONG length) noexcept;

/* 0, 1 (stored greater or longer) or 65535 (smaller or shorter); in
 * prefix mode a shorter given value that matches counts as equal. */
USHORT compareBytes(const void *stored, ULONG storedLength, const void *given, ULONG givenLength,
                    USHORT mode) noexcept;

// Indexes: the seam the documents call (see brc_ixmaint.cpp).
/* Before a value change: capture the current keys of the indexes that
 * use `field`. */
void keysBefore(BrdDocument &document, const char *field) noexcept;
/* After it: move the document's pairs of those indexes (all indexes when
 * field is null) to their new keys. */
void keysAfter(BrdDocument &document, const char *field) noexcept;
/* Keys captured before a change that lasts longer than one call (a field
 * file open for writing): the index number and, when it could be built,
 * the document's key in that index then.  Held by the caller, so that
 * other changes meanwhile do not overwrite them. */
struct CapturedKey {
    USHORT index;
    std::optional<std::vector<BYTE>> key;
};
using CapturedKeys = std::vector<CapturedKey>;
/* keysBefore into the caller's record (throws std::bad_alloc). */
CapturedKeys captureKeys(BrdDocument &document, const char *field);
/* keysAfter from the caller's record; indexes closed meanwhile are skipped. */
void moveKeys(BrdDocument &document, const char *field, const CapturedKeys &captured) noexcept;
/* Removes the document's pairs from every open index. */
void removeDocumentKeys(BrdDocument &document) noexcept;
/* Opens the indexes the header lists (at archive open). */
USHORT openListedIndexes(BrcArchive &archive) noexcept;
/* Closes every open index (at archive close); the first error is returned. */
USHORT closeAllIndexes(BrcArchive &archive) noexcept;

}  // namespace orin::arc

#endif /* ORIN_ARCHIVE_ARCINT_H */
