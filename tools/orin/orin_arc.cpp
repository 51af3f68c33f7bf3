/*
 * orin_arc.cpp - `orin arc COMMAND ARCHIVE ...`: document archives from the
 * command line, entirely through the archive calls of brc.h.
 *
 *   create ARCHIVE [--archive]        a new, empty archive (plain, or of the
 *                                     "archive" flavour)
 *   info ARCHIVE                      header, counts, index and view definitions
 *   docs ARCHIVE                      one line per document
 *   fields ARCHIVE DOC                one line per field of a document
 *   get ARCHIVE DOC FIELD [OUTFILE]   a field's value, expanded when compressed
 *   put ARCHIVE DOC FIELD FILE [--compress]
 *   add ARCHIVE SITE ID               a new active document; prints its number
 *   delete ARCHIVE DOC
 *   index ARCHIVE DEFINITION          the documents in the order of an index
 *   rebuild ARCHIVE                   every index built anew from the documents
 *   check ARCHIVE                     (orin_arccheck.cpp)
 *
 * An archive is opened with the plain calls and, when it turns out to be
 * of the "archive" flavour, with the "archive" calls.  Commands that only
 * look open it read-only; commands that change it open it exclusively
 * (see orin_arc.h).  `index` opens it for changes only when no index has
 * the definition yet and it has to be defined and built.
 * Listings are lines of tab-separated columns; date-times are written
 * YYYY-MM-DD hh:mm:ss.  `put` gives a field it creates the type 'B' (the
 * binary content of a file); an existing field keeps its type.
 */
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <io.h>
#include <string>
#include <vector>
#include "knl.h"
#include "orin_arc.h"
#include "orin_commands.h"

namespace orintool {

const char *const arcUsage =
    "  create ARCHIVE [--archive]    create an empty archive (--archive: of the \"archive\" flavour)\n"
    "  info ARCHIVE                  header, counts, index and view definitions\n"
    "  docs ARCHIVE                  one line per document: number, site, id, active (1/0),\n"
    "                                entrance date-time, number of fields (tab-separated)\n"
    "  fields ARCHIVE DOC            one line per field: name, type, stored size, compressed\n"
    "                                (1/0), updated (1/0), created and updated date-times\n"
    "  get ARCHIVE DOC FIELD [OUTFILE]  write a field's value (expanded when compressed)\n"
    "                                to standard output or to OUTFILE\n"
    "  put ARCHIVE DOC FIELD FILE [--compress]  store FILE as the value of a field; a new\n"
    "                                field gets the type B (binary file content)\n"
    "  add ARCHIVE SITE ID           add an active document and print its number\n"
    "  delete ARCHIVE DOC            delete a document\n"
    "  index ARCHIVE DEFINITION      list the documents in index order with their keys,\n"
    "                                defining and building the index first when needed;\n"
    "                                DEFINITION is FIELD,LENGTH,FLAGS[;FIELD,LENGTH,FLAGS...]\n"
    "                                with FLAGS L, R or C (justified) and N (required)\n"
    "  rebuild ARCHIVE               build every index anew from the documents\n"
    "  check ARCHIVE                 verify the profile, the header slots, the fields and\n"
    "                                every index; exit status 1 when anything is wrong\n";

namespace arc {

/* ---- What the parts share --------------------------------------------------- */

namespace {

constexpr USHORT kReadOnlyMode = 2;
constexpr USHORT kLastDocNumber = BRC_TEMPLATE_NUMBER - 1;
constexpr char kHexDigits[] = "0123456789ABCDEF";

USHORT openWith(const char *file, Access access, bool archiveFlavour, BrcArchive **out)
{
    if (access == Access::ReadOnly)
        return archiveFlavour ? BrcOpenArchiveReadonly(nullptr, out, file, kReadOnlyMode)
                              : BrcOpenReadonly(nullptr, out, file, kReadOnlyMode);
    return archiveFlavour ? BrcOpenArchive(nullptr, out, file, kExclusiveMode)
                          : BrcOpen(nullptr, out, file, kExclusiveMode);
}

}  // namespace

USHORT openArchive(const char *file, Access access, OpenArchive *out)
{
    BrcArchive *raw = nullptr;
    bool archiveFlavour = false;
    USHORT rc = openWith(file, access, archiveFlavour, &raw);
    if (rc == BRC_ERR_IS_ARCHIVE) {
        archiveFlavour = true;
        rc = openWith(file, access, archiveFlavour, &raw);
    }
    if (rc)
        return rc;
    out->handle.reset(raw);
    out->archiveFlavour = archiveFlavour;
    return 0;
}

int closeArchive(OpenArchive &archive, const char *file)
{
    USHORT rc = BrcClose(archive.handle.release());
    return rc ? fail(file, rc) : 0;
}

std::optional<USHORT> parseDocNumber(std::string_view text)
{
    if (text.empty() || text.size() > 5 || text.find_first_not_of("0123456789") != text.npos)
        return std::nullopt;
    unsigned long n = std::stoul(std::string(text));
    if (n > kLastDocNumber)
        return std::nullopt;
    return static_cast<USHORT>(n);
}

USHORT openDocument(BrcArchive *archive, USHORT number, bool lock, Document *out)
{
    BrdDocument *raw = nullptr;
    USHORT rc = BrdOpenDocument(archive, &raw, number, lock);
    if (rc == 0)
        out->reset(raw);
    return rc;
}

std::string printableKey(const void *key, size_t length)
{
    auto bytes = static_cast<const unsigned char *>(key);
    std::string text;
    for (size_t i = 0; i < length; i++) {
        unsigned char c = bytes[i];
        if (c == '\\') {
            text += "\\\\";
        } else if (c >= 0x20 && c < 0x7F) {
            text += static_cast<char>(c);
        } else {
            text += "\\x";
            text += kHexDigits[c >> 4];
            text += kHexDigits[c & 0xF];
        }
    }
    return text;
}

}  // namespace arc

namespace {

using arc::Access;
using arc::Document;
using arc::OpenArchive;

constexpr USHORT kDefaultFieldType = 'B';
constexpr ULONG kCopyBufferSize = 65536;
constexpr ULONG kDefinitionSize = 257;     // definition texts fit in 256 bytes
constexpr ULONG kViewNameSize = 32;
constexpr USHORT kNoNumber = 65535;
constexpr USHORT kPercent = 100;

constexpr char kUsageLine[] = "usage: orin arc COMMAND ARCHIVE [ARGS]\n";

int usage()
{
    fputs(kUsageLine, stderr);
    fputs(arcUsage, stderr);
    return kExitUsage;
}

std::string dateTimeText(const DATETIME &dt)
{
    char text[32];
    snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u", dt.year, dt.month, dt.day,
             dt.hours, dt.minutes, dt.seconds);
    return text;
}

std::string docLabel(USHORT number)
{
    return "document " + std::to_string(number);
}

/* A virtual file closed at the end of the scope. */
struct VbfCloser {
    void operator()(std::remove_pointer_t<HVBF> *v) const noexcept { VbfClose(v); }
};
using VirtualFile = std::unique_ptr<std::remove_pointer_t<HVBF>, VbfCloser>;

/* ---- Whole archives ------------------------------------------------------------ */

int cmdCreate(const char *file, bool archiveFlavour)
{
    BrcArchive *raw = nullptr;
    USHORT rc = archiveFlavour ? BrcCreateArchive(nullptr, &raw, file, arc::kExclusiveMode)
                               : BrcCreate(nullptr, &raw, file, arc::kExclusiveMode);
    if (rc)
        return fail(file, rc);
    OpenArchive created;
    created.handle.reset(raw);
    return arc::closeArchive(created, file);
}

std::string comment(BrcArchive *a)
{
    ULONG size = 0;
    if (BrcGetComment(a, nullptr, &size) != 0 || size <= 1)
        return "";
    std::string text(size, '\0');
    if (BrcGetComment(a, text.data(), &size) != 0)
        return "";
    return text.c_str();
}

std::string profileString(HPRF h, const std::string &section, const char *key, ULONG size)
{
    std::string text(size, '\0');
    if (PrfQueryProfileString(h, section.c_str(), key, "", text.data(), size) != 0)
        return "";
    return text.c_str();
}

void printIndexes(BrcArchive *a, USHORT slots)
{
    for (USHORT n = 0; n < slots; n++) {
        if (!BrcQueryIxExist(a, n))
            continue;
        char text[kDefinitionSize] = {};
        USHORT rc = BrcIxGetIxDefStr(a, n, text, sizeof text);
        printf("index %-5u %s\n", n, rc ? "(definition unreadable)" : text);
    }
}

/* Views have no calls of their own to read them back: their three keys
 * are read from the section. */
void printViews(BrcArchive *a, USHORT slots)
{
    HPRF h = BrcGetPrfHandle(a);
    for (USHORT n = 0; n < slots; n++) {
        if (!BrcQueryViewExist(a, n))
            continue;
        std::string section = "View_" + std::to_string(n);
        printf("view %-6u %s | sort %s | display %s\n", n,
               profileString(h, section, "Name", kViewNameSize).c_str(),
               profileString(h, section, "IxFields", kDefinitionSize).c_str(),
               profileString(h, section, "VwFields", kDefinitionSize).c_str());
    }
}

int cmdInfo(const char *file)
{
    OpenArchive a;
    if (USHORT rc = arc::openArchive(file, Access::ReadOnly, &a))
        return fail(file, rc);
    BrcHeaderInfo info = {};
    if (USHORT rc = BrcGetHeaderInfo(a.get(), &info))
        return fail("reading the header", rc);
    std::string note = comment(a.get());
    printf("version     %u\n", info.version);
    printf("flavour     %s\n", a.archiveFlavour ? "archive" : "plain");
    printf("strings     %s\n", PrfGetOemMode(BrcGetPrfHandle(a.get())) ? "OEM" : "ANSI");
    printf("id          %s\n", info.id);
    printf("comment     %s\n", note.empty() ? "(none)" : note.c_str());
    printf("documents   %u in %u slots, %u active\n", info.docs, info.maxDocs, info.activeDocs);
    printf("indexes     %u in %u slots\n", info.indexes, info.maxIndexes);
    printf("views       %u in %u slots\n", info.views, info.maxViews);
    printIndexes(a.get(), info.maxIndexes);
    printViews(a.get(), info.maxViews);
    return 0;
}

/* ---- Documents ----------------------------------------------------------------- */

int cmdDocs(const char *file)
{
    OpenArchive a;
    if (USHORT rc = arc::openArchive(file, Access::ReadOnly, &a))
        return fail(file, rc);
    USHORT slots = 0;
    if (USHORT rc = BrcGetMaxNrDocs(a.get(), &slots))
        return fail("reading the document count", rc);
    for (USHORT n = 0; n < slots; n++) {
        Document d;
        USHORT rc = arc::openDocument(a.get(), n, false, &d);
        if (rc == BRC_ERR_NO_DOC)
            continue;
        BrdHeaderInfo info = {};
        if (rc == 0)
            rc = BrdGetHeaderInfo(d.get(), &info);
        if (rc)
            return fail(docLabel(n).c_str(), rc);
        printf("%u\t%s\t%s\t%lu\t%s\t%u\n", n, info.appSite, info.docId,
               (unsigned long)(info.active != 0), dateTimeText(info.entrance).c_str(),
               info.nrFields);
    }
    return 0;
}

int cmdAdd(const char *file, const char *site, const char *id)
{
    OpenArchive a;
    if (USHORT rc = arc::openArchive(file, Access::Exclusive, &a))
        return fail(file, rc);
    BrdDocument *raw = nullptr;
    if (USHORT rc = BrdAddDocument(a.get(), &raw, site, id, TRUE, FALSE))
        return fail("adding the document", rc);
    USHORT number = BrdGetDocNumber(raw);
    if (USHORT rc = BrdCloseDocument(raw))
        return fail(docLabel(number).c_str(), rc);
    printf("%u\n", number);
    return arc::closeArchive(a, file);
}

int cmdDelete(const char *file, USHORT number)
{
    OpenArchive a;
    if (USHORT rc = arc::openArchive(file, Access::Exclusive, &a))
        return fail(file, rc);
    Document d;
    if (USHORT rc = arc::openDocument(a.get(), number, false, &d))
        return fail(docLabel(number).c_str(), rc);
    if (USHORT rc = BrdDeleteDocument(d.release()))
        return fail(docLabel(number).c_str(), rc);
    return arc::closeArchive(a, file);
}

/* ---- Fields -------------------------------------------------------------------- */

std::string typeText(USHORT type)
{
    char c = static_cast<char>(type);
    return type < 0x100 ? arc::printableKey(&c, 1) : std::to_string(type);
}

int cmdFields(const char *file, USHORT number)
{
    OpenArchive a;
    if (USHORT rc = arc::openArchive(file, Access::ReadOnly, &a))
        return fail(file, rc);
    Document d;
    USHORT count = 0;
    USHORT rc = arc::openDocument(a.get(), number, false, &d);
    if (rc == 0)
        rc = BrdGetNrFields(d.get(), &count);
    if (rc)
        return fail(docLabel(number).c_str(), rc);
    for (USHORT i = 0; i < count; i++) {
        char name[BRC_FIELD_NAME_MAX + 1] = {};
        PRFFLDINFO info = {};
        rc = BrdFldGetName(d.get(), i, name, sizeof name);
        if (rc == 0)
            rc = BrdFldGetInfo(d.get(), name, &info);
        if (rc)
            return fail(name[0] ? name : "reading the field list", rc);
        printf("%s\t%s\t%lu\t%u\t%u\t%s\t%s\n", name, typeText(info.type).c_str(),
               (unsigned long)info.size, info.compressed ? 1u : 0u, info.updated ? 1u : 0u,
               dateTimeText(info.created).c_str(), dateTimeText(info.lastUpdate).c_str());
    }
    return 0;
}

/* The value through the field's virtual file, which shows a compressed
 * value expanded. */
int copyToStdout(BrdDocument *d, const char *field)
{
    HVBF raw = nullptr;
    if (USHORT rc = BrdFldGetVbf(d, field, FALSE, FALSE, &raw))
        return fail(field, rc);
    VirtualFile value(raw);
    _setmode(_fileno(stdout), _O_BINARY);
    std::vector<char> buffer(kCopyBufferSize);
    for (;;) {
        ULONG got = 0;
        if (USHORT rc = VbfRead(value.get(), buffer.data(), kCopyBufferSize, &got))
            return fail(field, rc);
        if (got == 0)
            break;
        if (fwrite(buffer.data(), 1, got, stdout) != got) {
            fprintf(stderr, "orin: cannot write to standard output\n");
            return kExitLibrary;
        }
    }
    if (USHORT rc = VbfClose(value.release()))
        return fail(field, rc);
    return fflush(stdout) == 0 ? 0 : kExitLibrary;
}

int cmdGet(const char *file, USHORT number, const char *field, const char *outFile)
{
    OpenArchive a;
    if (USHORT rc = arc::openArchive(file, Access::ReadOnly, &a))
        return fail(file, rc);
    Document d;
    if (USHORT rc = arc::openDocument(a.get(), number, false, &d))
        return fail(docLabel(number).c_str(), rc);
    if (!outFile)
        return copyToStdout(d.get(), field);
    USHORT rc = BrdFldCopyToDisk(d.get(), field, outFile, FALSE);
    return rc ? fail(field, rc) : 0;
}

/* A field `put` creates starts empty with the default type; when the copy
 * fails it goes again, so that a failed put leaves no field behind. */
int cmdPut(const char *file, USHORT number, const char *field, const char *source, bool compress)
{
    OpenArchive a;
    if (USHORT rc = arc::openArchive(file, Access::Exclusive, &a))
        return fail(file, rc);
    Document d;
    if (USHORT rc = arc::openDocument(a.get(), number, false, &d))
        return fail(docLabel(number).c_str(), rc);
    bool created = !BrdFldQueryExist(d.get(), field);
    if (created) {
        if (USHORT rc = BrdFldSet(d.get(), field, kDefaultFieldType, nullptr, 0, compress))
            return fail(field, rc);
    }
    USHORT rc = BrdFldCopyFromDisk(d.get(), field, source, compress);
    if (rc && created)
        BrdFldDelete(d.get(), field);
    if (rc)
        return fail(source, rc);
    if ((rc = BrdCloseDocument(d.release())) != 0)
        return fail(docLabel(number).c_str(), rc);
    return arc::closeArchive(a, file);
}

/* ---- Indexes ------------------------------------------------------------------- */

/* Opens the index with that definition; the archive, opened read-only,
 * is opened again for changes when the index has to be defined first. */
USHORT openIndex(const char *file, const char *definition, OpenArchive *a, BrcIndexEntry **entry)
{
    USHORT number = kNoNumber;
    USHORT rc = BrcIxFindStr(a->get(), definition, &number);
    if (rc == 0)
        return BrcIxOpenNr(a->get(), number, entry);
    if (rc != BRC_ERR_NO_INDEX)
        return rc;
    a->handle.reset();
    rc = arc::openArchive(file, Access::Exclusive, a);
    if (rc == 0)
        rc = BrcIxOpenStr(a->get(), definition, entry);
    if (rc == 0)
        fprintf(stderr, "orin: %s: index %u defined and built\n", file,
                BrcIxQueryNumber(a->get(), *entry));
    return rc;
}

int cmdIndex(const char *file, const char *definition)
{
    OpenArchive a;
    if (USHORT rc = arc::openArchive(file, Access::ReadOnly, &a))
        return fail(file, rc);
    BrcIndexEntry *entry = nullptr;
    if (USHORT rc = openIndex(file, definition, &a, &entry))
        return fail(a.get() ? definition : file, rc);
    std::vector<BYTE> key(BrcIxQueryKeyLength(a.get(), entry));
    ULONG pairs = BrcIxQueryNrKeys(a.get(), entry);
    USHORT doc = kNoNumber;
    USHORT rc = BrcIxFirst(a.get(), entry, &doc);
    // Every step reaches a new pair; the count only guards against a tree
    // that leads round in a circle.
    for (ULONG shown = 0; rc == 0 && shown < pairs; shown++) {
        rc = BrcIxQueryKeyFromDocNr(a.get(), entry, doc, key.data());
        if (rc)
            return fail(docLabel(doc).c_str(), rc, "its key cannot be built");
        printf("%u\t%s\n", doc, arc::printableKey(key.data(), key.size()).c_str());
        USHORT next = kNoNumber;
        rc = BrcIxNextPrev(a.get(), entry, doc, 1, &next);
        if (rc == IXD_ERR_KEY_VANISHED)
            rc = 0;
        doc = next;
    }
    if (rc && rc != IXD_ERR_NOT_FOUND)
        return fail(definition, rc);
    return arc::closeArchive(a, file);   // its close writes a new definition out
}

/* The busy function of the rebuild; the user value is the index number. */
USHORT ORINAPI showRebuild(BrcArchive *, USHORT, USHORT value, USHORT phase, ULONGLONG index)
{
    std::string doing = "rebuilding index " + std::to_string(index);
    ProgressLine::show(doing.c_str(), phase == BRC_BUSY_START ? 0
                                      : phase == BRC_BUSY_END ? 100
                                                              : value);
    return 0;
}

USHORT rebuildIndex(BrcArchive *a, USHORT number)
{
    BrcIndexEntry *entry = nullptr;
    USHORT rc = BrcIxOpenNr(a, number, &entry);
    if (rc == 0)
        rc = BrcIxBuildIx(a, entry);
    if (entry)
        BrcIxClose(a, entry);
    return rc;
}

int cmdRebuild(const char *file)
{
    OpenArchive a;
    if (USHORT rc = arc::openArchive(file, Access::Exclusive, &a))
        return fail(file, rc);
    USHORT slots = 0, docSlots = 0;
    USHORT rc = BrcGetMaxNrIx(a.get(), &slots);
    if (rc == 0)
        rc = BrcGetMaxNrDocs(a.get(), &docSlots);
    if (rc)
        return fail("reading the header", rc);
    USHORT interval = docSlots >= kPercent ? docSlots / kPercent : 1;  // a call per percent
    unsigned rebuilt = 0;
    for (USHORT n = 0; n < slots; n++) {
        if (!BrcQueryIxExist(a.get(), n))
            continue;
        ProgressLine::begin(file);
        BrcSetBusyFunc(a.get(), showRebuild, n, interval);
        rc = rebuildIndex(a.get(), n);
        ProgressLine::end();
        if (rc)
            return fail(("index " + std::to_string(n)).c_str(), rc,
                        rc == BRC_ERR_GENERAL ? "a document lacks a required field" : nullptr);
        rebuilt++;
    }
    printf("%s: %u index%s rebuilt\n", file, rebuilt, rebuilt == 1 ? "" : "es");
    return arc::closeArchive(a, file);
}

/* ---- Dispatch ------------------------------------------------------------------ */

/* The document argument, or none after telling that it is no number. */
std::optional<USHORT> docArgument(const char *text)
{
    std::optional<USHORT> n = arc::parseDocNumber(text);
    if (!n)
        fprintf(stderr, "orin: %s: not a document number (0 to %u)\n", text,
                BRC_TEMPLATE_NUMBER - 1);
    return n;
}

bool isFlag(const char *arg, const char *flag)
{
    return strcmp(arg, flag) == 0;
}

int runWithDocument(std::string_view cmd, const char *file, USHORT doc, int argc, char **argv)
{
    if (cmd == "fields" && argc == 0)
        return cmdFields(file, doc);
    if (cmd == "delete" && argc == 0)
        return cmdDelete(file, doc);
    if (cmd == "get" && (argc == 1 || argc == 2))
        return cmdGet(file, doc, argv[0], argc == 2 ? argv[1] : nullptr);
    if (cmd == "put" && argc == 2)
        return cmdPut(file, doc, argv[0], argv[1], false);
    if (cmd == "put" && argc == 3 && isFlag(argv[2], "--compress"))
        return cmdPut(file, doc, argv[0], argv[1], true);
    return usage();
}

bool takesDocument(std::string_view cmd)
{
    return cmd == "fields" || cmd == "delete" || cmd == "get" || cmd == "put";
}

/* argv[0] is the command, argv[1] the archive. */
int runCommand(std::string_view cmd, const char *file, int argc, char **argv)
{
    if (cmd == "create" && argc == 0)
        return cmdCreate(file, false);
    if (cmd == "create" && argc == 1 && isFlag(argv[0], "--archive"))
        return cmdCreate(file, true);
    if (cmd == "info" && argc == 0)
        return cmdInfo(file);
    if (cmd == "docs" && argc == 0)
        return cmdDocs(file);
    if (cmd == "add" && argc == 2)
        return cmdAdd(file, argv[0], argv[1]);
    if (cmd == "index" && argc == 1)
        return cmdIndex(file, argv[0]);
    if (cmd == "rebuild" && argc == 0)
        return cmdRebuild(file);
    if (cmd == "check" && argc == 0)
        return arc::checkArchive(file);
    if (takesDocument(cmd) && argc >= 1) {
        std::optional<USHORT> doc = docArgument(argv[0]);
        return doc ? runWithDocument(cmd, file, *doc, argc - 1, argv + 1) : usage();
    }
    return usage();
}

}  // namespace

int runArcCommand(int argc, char **argv)
{
    if (argc == 3 && (isFlag(argv[2], "--help") || isFlag(argv[2], "-h"))) {
        fputs(kUsageLine, stdout);
        fputs(arcUsage, stdout);
        return 0;
    }
    if (argc < 4)
        return usage();
    KnlInitCP();
    KnlInitDBCSEv();
    return runCommand(argv[2], argv[3], argc - 4, argv + 4);
}

}  // namespace orintool
