/*
 * orin_tool.cpp - the `orin` command: looks into and changes profile files
 * from the command line, compresses files (orin_gzip.cpp), chops files
 * into volumes and merges them (orin_chop.cpp), and looks into and
 * changes document archives (orin_arc.cpp, `orin arc --help`).
 *
 *   orin prf sections FILE            list the sections
 *   orin prf keys FILE SECTION        list the keys of a section
 *   orin prf get FILE SECTION KEY     print a value (text, or a hex dump)
 *   orin prf set FILE SECTION KEY VALUE
 *   orin prf delete FILE SECTION [KEY]
 *   orin prf import FILE < text       read INI-style text into the profile
 *   orin prf export FILE              write the profile as INI-style text
 *
 *   orin prf set FILE SECTION KEY -        the value is standard input
 *   orin prf set FILE SECTION KEY @PATH    the value is the file PATH
 * FILE may also be "reg:SUBKEY", the registry key
 * HKEY_LOCAL_MACHINE\\Software\\Orin\\SUBKEY, or "ini:PATH", an INI file read
 * and written through the system's calls (which cannot list sections, so
 * "sections" and "export" do not work on it).
 *
 *   orin prf check FILE               verify every table and value piece
 *   orin prf pack FILE [--backup]     copy into a fresh, compact file
 *   orin prf repair FILE              rebuild a damaged profile from its blocks
 *   orin prf convert FILE             turn a first-format profile into the current
 *                                     format, keeping the old file as BAK
 *
 *   orin gzip FILE                    compress FILE into FILE.gz
 *   orin gunzip FILE.gz               decompress FILE.gz into FILE
 *
 *   orin chop FILE VOLUMESIZE         cut FILE into volumes FILE.000, FILE.001, ...
 *   orin merge FIRSTVOLUME TARGET     join the volumes into TARGET (orin_chop.cpp)
 *
 *   orin arc COMMAND ARCHIVE [ARGS]   documents, fields and indexes of an archive
 *   orin dbf COMMAND FILE [ARGS]      fields, records and indexes of a table (orin_dbf.cpp)
 *
 * Import and export carry INI text as the system's INI calls read it:
 * "[section]" and "key=value" lines, names and values taken literally
 * (a backslash is just a backslash), blanks around them trimmed, a value
 * in double quotes taken without them, lines starting with ';' ignored.
 * Export writes the sections in the order they were created, so an
 * imported INI file without comments comes back byte for byte.
 * A value with blanks at either end, or in quotes itself, is exported in
 * one more pair of quotes.  Names and values INI text cannot carry (line
 * breaks, zero and other control bytes, '=' or a leading ';' or '[' in a
 * key, ']' in a section, blanks at the ends of a name) are exported with
 * the line ";orin:hex" before them and the names and the value of the
 * next line in hexadecimal; other INI readers see a comment and a key
 * they do not know.  A value set from standard input or a file is stored
 * byte for byte.  The exit status is 0 on success, 1 when the library
 * reports an error (named with its code) or the input is malformed, 2 for
 * a wrong command line.
 */
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <io.h>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>
#include "knl.h"
#include "knlnam.h"
#include "brc.h"
#include "prf.h"
#include "orin_commands.h"

using orintool::fail;
using orintool::fetch;
using orintool::kExitLibrary;
using orintool::kExitUsage;
using orintool::splitNames;

namespace {

constexpr std::string_view kHexDirective = ";orin:hex";
constexpr ULONG kDumpWidth = 16;
constexpr char kListSeparator = '~';
constexpr std::string_view kRegistryPrefix = "reg:";
constexpr std::string_view kIniPrefix = "ini:";

constexpr const char *kUsageText =
    "usage: orin prf COMMAND FILE [ARGS]\n"
    "  FILE is a profile file, reg:SUBKEY (the registry key\n"
    "  HKEY_LOCAL_MACHINE\\Software\\Orin\\SUBKEY) or ini:PATH (an INI file)\n"
    "  sections FILE                 list the sections of a profile\n"
    "  keys FILE SECTION             list the keys of a section\n"
    "  get FILE SECTION KEY          print a value (text, or a hex dump of binary data)\n"
    "  set FILE SECTION KEY VALUE    store a string value (creates the profile if needed);\n"
    "                                VALUE - reads it from standard input, @PATH from a file\n"
    "  delete FILE SECTION [KEY]     delete a key, or a section with all its keys\n"
    "  import FILE < TEXT            store the sections and keys of INI-style text\n"
    "  export FILE                   print the profile as INI-style text\n"
    "  check FILE                    verify every table and value piece of a profile\n"
    "  pack FILE [--backup]          copy a profile into a fresh, compact file\n"
    "                                (--backup keeps the old one with the extension BAK)\n"
    "  repair FILE                   rebuild a damaged profile from the blocks it still\n"
    "                                holds; the damaged file is kept with the extension BAK\n"
    "  convert FILE                  turn a first-format profile into the current format;\n"
    "                                the old file is kept with the extension BAK\n"
    "   or: orin gzip FILE            compress FILE into FILE.gz\n"
    "       orin gunzip FILE.gz       decompress FILE.gz (gzip, zip, pack or compress data) into FILE\n"
    "   or: orin chop FILE VOLUMESIZE  cut FILE into volumes FILE.000, FILE.001, ... of at most\n"
    "                                VOLUMESIZE bytes (a file that fits is copied to FILE.000)\n"
    "       orin merge FIRSTVOLUME TARGET  join the volumes starting with FIRSTVOLUME into TARGET\n";

struct Meaning {
    USHORT code;
    const char *text;
};

constexpr Meaning kMeanings[] = {
    {2, "file not found"},
    {3, "path not found"},
    {5, "access denied"},
    {6, "invalid handle"},
    {8, "out of memory or table full"},
    {33, "locked by another process"},
    {85, "section already exists"},
    {111, "buffer too small"},
    {112, "disk full"},
    {123, "invalid section or key name"},
    {32, "file in use"},
    {211, "no such section or key"},
    {PRF_ERR_CANCELLED, "cancelled"},
    {PRF_ERR_NOBLOCKS, "no block of a profile found in the file"},
    {0xE08C, "not a profile file (bad block-file magic)"},
    {0xE08E, "damaged block file (block type)"},
    {0xE08F, "damaged block file (free list)"},
    {0xE090, "damaged block file (block beyond end)"},
    {0xE091, "damaged block file (block header)"},
    {PRF_ERR_INUPDATE, "profile left in the middle of an update; it needs repair"},
    {PRF_ERR_OLDVERSION, "first-format profile; convert it first with `orin prf convert FILE`"},
    {PRF_ERR_CHECKSUM, "checksum wrong; the profile is damaged"},
    {PRF_ERR_VERSION, "unknown profile version"},
    {0xE0DC, "not a chopped volume, or its sizes disagree"},
    {0xE0DD, "wrong volume"},
    {BRC_ERR_VERSION, "archive version is not 100"},
    {BRC_ERR_NO_DOC, "no such document"},
    {BRC_ERR_IS_ARCHIVE, "an \"archive\" archive"},
    {BRC_ERR_NOT_ARCHIVE, "not an \"archive\" archive"},
    {BRC_ERR_NO_FIELD, "no such field"},
    {BRC_ERR_FIELD_TYPE, "the field has another type"},
    {BRC_ERR_DEFINITION, "bad index definition"},
    {BRC_ERR_NO_INDEX, "no such index"},
};

struct ProfileCloser {
    void operator()(HPRF h) const noexcept { PrfCloseProfile(h); }
};
using Profile = std::unique_ptr<std::remove_pointer_t<HPRF>, ProfileCloser>;

}  // namespace

const char *orintool::meaningOf(USHORT rc)
{
    for (const Meaning &m : kMeanings)
        if (m.code == rc)
            return m.text;
    return "error";
}

int orintool::fail(const char *what, USHORT rc, const char *meaning)
{
    fprintf(stderr, "orin: %s: error %u (%s)\n", what, rc, meaning ? meaning : meaningOf(rc));
    return kExitLibrary;
}

/* ---- Reading lists and values ------------------------------------------------ */

USHORT orintool::fetch(HPRF h, const char *section, const char *key, std::string &out)
{
    ULONG size = 0;
    USHORT rc = PrfQueryProfileSize(h, section, key, &size);
    if (rc)
        return rc;
    out.assign(size, '\0');
    ULONG length = size;
    rc = PrfQueryProfileData(h, section, key, out.data(), &length);
    if (rc)
        return rc;
    out.resize(length);
    return 0;
}

std::vector<std::string> orintool::splitNames(const std::string &list)
{
    std::vector<std::string> names;
    size_t p = 0, sep;
    while ((sep = list.find(kListSeparator, p)) != std::string::npos) {
        auto begin = list.begin() + p, end = list.begin() + sep;
        names.emplace_back(begin, std::find(begin, end, '\0'));
        p = sep + 1;
    }
    return names;
}

namespace {

void printUsage(FILE *to)
{
    fputs(kUsageText, to);
    fputs("   or: orin arc COMMAND ARCHIVE [ARGS]   document archives\n", to);
    fputs(orintool::arcUsage, to);
    fputs("   or: orin dbf COMMAND FILE [ARGS]       dBase tables\n", to);
    fputs(orintool::dbfUsage, to);
}

int usage()
{
    printUsage(stderr);
    return kExitUsage;
}

bool isText(std::string_view v)
{
    return std::all_of(v.begin(), v.end(), [](char ch) {
        auto c = static_cast<unsigned char>(ch);
        return c != 0 && (c >= 0x20 || c == '\t' || c == '\r' || c == '\n');
    });
}

void hexDump(std::string_view text)
{
    auto v = reinterpret_cast<const unsigned char *>(text.data());
    ULONG n = static_cast<ULONG>(text.size());
    for (ULONG row = 0; row < n; row += kDumpWidth) {
        printf("%08lx ", (unsigned long)row);
        for (ULONG i = row; i < row + kDumpWidth; i++)
            if (i < n)
                printf(" %02x", v[i]);
            else
                printf("   ");
        printf("  ");
        for (ULONG i = row; i < row + kDumpWidth && i < n; i++)
            putchar(v[i] >= 0x20 && v[i] < 0x7F ? v[i] : '.');
        putchar('\n');
    }
}

/* ---- INI text ---------------------------------------------------------------- */

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

bool hasControlBytes(std::string_view v)
{
    return std::any_of(v.begin(), v.end(), [](char ch) {
        auto c = static_cast<unsigned char>(ch);
        return (c < 0x20 && c != '\t') || c == 0x7F;
    });
}

bool blankAtAnEnd(std::string_view v)
{
    return !v.empty() && (isBlank(v.front()) || isBlank(v.back()));
}

bool inQuotes(std::string_view v)
{
    return v.size() >= 2 && v.front() == '"' && v.back() == '"';
}

std::string_view trimmed(std::string_view v)
{
    while (!v.empty() && isBlank(v.front()))
        v.remove_prefix(1);
    while (!v.empty() && isBlank(v.back()))
        v.remove_suffix(1);
    return v;
}

bool keyIsLiteral(std::string_view k)
{
    return !k.empty() && !hasControlBytes(k) && !blankAtAnEnd(k) &&
           k.find('=') == std::string_view::npos && k.front() != ';' && k.front() != '[';
}

bool sectionIsLiteral(std::string_view s)
{
    return !s.empty() && !hasControlBytes(s) && !blankAtAnEnd(s) &&
           s.find(']') == std::string_view::npos;
}

void putHex(std::string_view v)
{
    for (char c : v)
        printf("%02x", static_cast<unsigned char>(c));
}

int hexDigit(int c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

/* The bytes of a hexadecimal text; none when it is not one. */
std::optional<std::string> fromHex(std::string_view s)
{
    if (s.size() % 2 != 0)
        return std::nullopt;
    std::string out(s.size() / 2, '\0');
    for (size_t i = 0; i < out.size(); i++) {
        int hi = hexDigit(s[2 * i]), lo = hexDigit(s[2 * i + 1]);
        if (hi < 0 || lo < 0)
            return std::nullopt;
        out[i] = static_cast<char>(hi * 16 + lo);
    }
    return out;
}

/* Text up to its first zero byte, as a C string would end it. */
std::string_view asCString(std::string_view s)
{
    return s.substr(0, std::min(s.find('\0'), s.size()));
}

/* All of a stream's bytes. */
std::string readAll(FILE *f)
{
    std::string out;
    char buf[65536];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0)
        out.append(buf, n);
    return out;
}

/* ---- Commands ---------------------------------------------------------------- */

int cmdList(HPRF h, const char *section)
{
    std::string list;
    USHORT rc = fetch(h, section, nullptr, list);
    if (rc)
        return fail(section ? "listing keys" : "listing sections", rc);
    for (const std::string &name : splitNames(list))
        puts(name.c_str());
    return 0;
}

int cmdGet(HPRF h, const char *section, const char *key)
{
    std::string v;
    USHORT rc = fetch(h, section, key, v);
    if (rc)
        return fail("reading the value", rc);
    if (isText(v)) {
        fwrite(v.data(), 1, v.size(), stdout);
        putchar('\n');
    } else {
        hexDump(v);
    }
    return 0;
}

/* Writes sections and keys as INI-style text; remembers the first error
 * and goes on with the rest. */
class Exporter {
public:
    // Registry strings carry their terminator: dropTerminator cuts it.
    Exporter(HPRF h, bool dropTerminator) : h_(h), dropTerminator_(dropTerminator) {}

    void section(const std::string &name)
    {
        std::string keys;
        if (!note(fetch(h_, name.c_str(), nullptr, keys)))
            return;
        if (sectionIsLiteral(name)) {
            printf("[%s]\n", name.c_str());
        } else {
            printf("%s\n[", kHexDirective.data());
            putHex(name);
            fputs("]\n", stdout);
        }
        for (const std::string &key : splitNames(keys))
            value(name, key);
        putchar('\n');
    }

    USHORT firstError() const { return rc_; }

private:
    void value(const std::string &section, const std::string &key)
    {
        std::string v;
        if (!note(fetch(h_, section.c_str(), key.c_str(), v)))
            return;
        if (dropTerminator_ && !v.empty() && v.back() == '\0')
            v.pop_back();
        if (keyIsLiteral(key) && !hasControlBytes(v)) {
            bool quote = blankAtAnEnd(v) || inQuotes(v);
            printf(quote ? "%s=\"" : "%s=", key.c_str());
            fwrite(v.data(), 1, v.size(), stdout);
            fputs(quote ? "\"\n" : "\n", stdout);
        } else {
            printf("%s\n", kHexDirective.data());
            putHex(key);
            putchar('=');
            putHex(v);
            putchar('\n');
        }
    }

    bool note(USHORT rc)
    {
        if (rc && !rc_)
            rc_ = rc;
        return rc == 0;
    }

    HPRF h_;
    bool dropTerminator_;
    USHORT rc_ = 0;
};

int cmdExport(HPRF h, const char *file)
{
    std::string sections;
    USHORT rc = fetch(h, nullptr, nullptr, sections);
    if (rc)
        return fail("listing sections", rc);
    std::vector<std::string> names = splitNames(sections);
    orintool::putInCreationOrder(file, names);
    Exporter x(h, std::string_view(file).substr(0, kRegistryPrefix.size()) == kRegistryPrefix);
    for (const std::string &section : names)
        x.section(section);
    return x.firstError() ? fail("exporting", x.firstError()) : 0;
}

/* One line of any length from stdin without its line end; none at the
 * end of the input. */
std::optional<std::string> readLine()
{
    std::string line;
    int c;
    while ((c = getchar()) != EOF && c != '\n')
        line += (char)c;
    if (c == EOF && line.empty())
        return std::nullopt;
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return line;
}

/* Reads INI text into the profile, line by line; a malformed line or a
 * library error stops the import. */
class Importer {
public:
    explicit Importer(HPRF h) : h_(h) {}

    int line(std::string_view text)
    {
        lineNo_++;
        text = trimmed(text);
        if (text.empty())
            return 0;
        if (text == kHexDirective) {
            hexNext_ = true;
            return 0;
        }
        if (text.front() == ';')
            return 0;
        bool hex = std::exchange(hexNext_, false);
        return text.front() == '[' ? sectionLine(text, hex) : keyLine(text, hex);
    }

private:
    int sectionLine(std::string_view text, bool hex)
    {
        size_t close = text.rfind(']');
        if (close == std::string_view::npos)
            return malformed("a section line without ']'");
        std::optional<std::string> name = field(trimmed(text.substr(1, close - 1)), hex);
        if (!name)
            return malformed("bad hexadecimal section name");
        section_ = std::string(asCString(*name));
        USHORT rc = PrfCreateSection(h_, section_->c_str());
        return rc && rc != PRF_ERR_EXISTS ? fail("creating a section", rc) : 0;
    }

    int keyLine(std::string_view text, bool hex)
    {
        if (!section_)
            return malformed("a key before any [section]");
        size_t eq = text.find('=');
        std::string_view rawKey = trimmed(text.substr(0, eq));
        std::string_view rawValue = eq == std::string_view::npos ? "" : trimmed(text.substr(eq + 1));
        if (!hex && inQuotes(rawValue))
            rawValue = rawValue.substr(1, rawValue.size() - 2);
        std::optional<std::string> key = field(rawKey, hex), value = field(rawValue, hex);
        if (!key || !value || (hex && eq == std::string_view::npos))
            return malformed("bad hexadecimal key or value");
        std::string name(asCString(*key));
        USHORT rc = PrfWriteProfileData(h_, section_->c_str(), name.c_str(), value->data(),
                                        static_cast<ULONG>(value->size()));
        return rc ? fail("storing a value", rc) : 0;
    }

    static std::optional<std::string> field(std::string_view text, bool hex)
    {
        return hex ? fromHex(text) : std::optional<std::string>(std::in_place, text);
    }

    int malformed(const char *what) const
    {
        fprintf(stderr, "orin: line %lu: %s\n", lineNo_, what);
        return kExitLibrary;
    }

    HPRF h_;
    std::optional<std::string> section_;
    unsigned long lineNo_ = 0;
    bool hexNext_ = false;
};

/* Standard input with no text-mode translation: bytes as they come. */
FILE *binaryStdin()
{
    _setmode(_fileno(stdin), _O_BINARY);
    return stdin;
}

int cmdImport(HPRF h)
{
    binaryStdin();
    Importer importer(h);
    int status = 0;
    while (status == 0) {
        std::optional<std::string> read = readLine();
        if (!read)
            break;
        status = importer.line(*read);
    }
    return status;
}

/* The bytes of a file; none when it cannot be read. */
std::optional<std::string> fileContents(const char *path)
{
    std::unique_ptr<FILE, int (*)(FILE *)> f(fopen(path, "rb"), fclose);
    if (!f)
        return std::nullopt;
    return readAll(f.get());
}

/* A value argument is stored as a string; "-" stores standard input and
 * "@PATH" a file's contents, byte for byte. */
int cmdSet(HPRF h, const char *section, const char *key, const char *arg)
{
    std::optional<std::string> value;
    if (strcmp(arg, "-") == 0) {
        value = readAll(binaryStdin());
    } else if (arg[0] == '@') {
        value = fileContents(arg + 1);
        if (!value) {
            fprintf(stderr, "orin: cannot read %s\n", arg + 1);
            return kExitLibrary;
        }
    } else {
        USHORT rc = PrfWriteProfileString(h, section, key, arg);
        return rc ? fail("storing the value", rc) : 0;
    }
    USHORT rc = PrfWriteProfileData(h, section, key, value->data(),
                                    static_cast<ULONG>(value->size()));
    return rc ? fail("storing the value", rc) : 0;
}

int cmdDelete(HPRF h, const char *section, const char *key)
{
    USHORT rc = key ? PrfWriteProfileData(h, section, key, nullptr, 0)
                    : PrfDestroySection(h, section);
    return rc ? fail(key ? "deleting the key" : "deleting the section", rc) : 0;
}

int runCommand(std::string_view cmd, HPRF h, const char *file, int argc, char **argv)
{
    if (cmd == "sections" && argc == 0)
        return cmdList(h, nullptr);
    if (cmd == "keys" && argc == 1)
        return cmdList(h, argv[0]);
    if (cmd == "get" && argc == 2)
        return cmdGet(h, argv[0], argv[1]);
    if (cmd == "set" && argc == 3)
        return cmdSet(h, argv[0], argv[1], argv[2]);
    if (cmd == "delete" && (argc == 1 || argc == 2))
        return cmdDelete(h, argv[0], argc == 2 ? argv[1] : nullptr);
    if (cmd == "import" && argc == 0)
        return cmdImport(h);
    if (cmd == "export" && argc == 0)
        return cmdExport(h, file);
    return usage();
}

bool isReadOnlyCommand(std::string_view cmd)
{
    return cmd == "sections" || cmd == "keys" || cmd == "get" || cmd == "export";
}

bool isKnownCommand(std::string_view cmd)
{
    constexpr std::string_view kKnown[] = {"sections", "keys", "get", "set",
                                           "delete", "import", "export"};
    return std::find(std::begin(kKnown), std::end(kKnown), cmd) != std::end(kKnown);
}

/* Opens the profile an argument names: "reg:SUBKEY" in the registry,
 * "ini:PATH" an INI file (a relative path from the current folder), else
 * a profile file. */
USHORT openStore(std::string_view arg, bool readOnly, HPRF *h)
{
    if (arg.substr(0, kRegistryPrefix.size()) == kRegistryPrefix) {
        *h = PrfWinRegHandlerOpen(std::string(arg.substr(kRegistryPrefix.size())).c_str());
        return *h ? 0 : ORIN_ERR_INVALID_NAME;
    }
    if (arg.substr(0, kIniPrefix.size()) == kIniPrefix) {
        char full[KNLNAM_MAXPATH];
        std::string path(arg.substr(kIniPrefix.size()));
        if (path.empty())
            return ORIN_ERR_INVALID_NAME;
        KnlNamGetFullPathName(full, path.c_str());
        *h = PrfWinIniHandlerOpen(full);
        return *h ? 0 : ORIN_ERR_INVALID_NAME;
    }
    return PrfOpenProfile(nullptr, h, std::string(arg).c_str(), readOnly ? PRF_OPEN_READONLY : 0);
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc >= 2 && (strcmp(argv[1], "--help") == 0 || strcmp(argv[1], "-h") == 0)) {
        printUsage(stdout);
        return 0;
    }
    if (argc >= 2 && (strcmp(argv[1], "gzip") == 0 || strcmp(argv[1], "gunzip") == 0))
        return orintool::runZipCommand(argc, argv);
    if (argc >= 2 && (strcmp(argv[1], "chop") == 0 || strcmp(argv[1], "merge") == 0))
        return orintool::runChopCommand(argc, argv);
    if (argc >= 2 && strcmp(argv[1], "arc") == 0)
        return orintool::runArcCommand(argc, argv);
    if (argc >= 2 && strcmp(argv[1], "dbf") == 0)
        return orintool::runDbfCommand(argc, argv);
    if (argc < 4 || strcmp(argv[1], "prf") != 0)
        return usage();
    KnlInitCP();
    KnlInitDBCSEv();
    if (orintool::isMaintenanceCommand(argv[2])) {
        int status = orintool::runMaintenanceCommand(argv[2], argv[3], argc - 4, argv + 4);
        return status < 0 ? usage() : status;
    }
    if (!isKnownCommand(argv[2]))
        return usage();
    HPRF h = nullptr;
    USHORT rc = openStore(argv[3], isReadOnlyCommand(argv[2]), &h);
    if (rc)
        return fail(argv[3], rc);
    Profile profile(h);
    return runCommand(argv[2], h, argv[3], argc - 4, argv + 4);
}
