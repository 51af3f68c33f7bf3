/*
 * orin_tool.cpp - the `orin` command: looks into and changes profile files
 * from the command line.
 *
 *   orin prf sections FILE            list the sections
 *   orin prf keys FILE SECTION        list the keys of a section
 *   orin prf get FILE SECTION KEY     print a value (text, or a hex dump)
 *   orin prf set FILE SECTION KEY VALUE
 *   orin prf delete FILE SECTION [KEY]
 *   orin prf import FILE < text       read INI-style text into the profile
 *   orin prf export FILE              write the profile as INI-style text
 *
 * Exported text: "[section]" lines, then "key=value" lines.  So that a
 * round trip loses nothing, names and values are escaped: a backslash,
 * and in names '=' and ']', are preceded by a backslash; control bytes
 * become \n, \r, \t or \xHH.  A value holding a zero byte is written as
 * "hex:" and its bytes in hexadecimal (a text value that itself begins
 * with "hex:" gets its 'h' escaped).  The exit status is 0 on success,
 * 1 when the library reports an error (named with its code), 2 for a
 * wrong command line.
 */
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>
#include "knl.h"
#include "prf.h"

namespace {

constexpr int kExitLibrary = 1;
constexpr int kExitUsage = 2;
constexpr std::string_view kHexPrefix = "hex:";
constexpr ULONG kDumpWidth = 16;
constexpr char kListSeparator = '~';

constexpr const char *kUsageText =
    "usage: orin prf COMMAND FILE [ARGS]\n"
    "  sections FILE                 list the sections of a profile\n"
    "  keys FILE SECTION             list the keys of a section\n"
    "  get FILE SECTION KEY          print a value (text, or a hex dump of binary data)\n"
    "  set FILE SECTION KEY VALUE    store a string value (creates the profile if needed)\n"
    "  delete FILE SECTION [KEY]     delete a key, or a section with all its keys\n"
    "  import FILE < TEXT            store the sections and keys of INI-style text\n"
    "  export FILE                   print the profile as INI-style text\n";

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
    {211, "no such section or key"},
    {0xE08C, "not a profile file (bad block-file magic)"},
    {0xE08E, "damaged block file (block type)"},
    {0xE08F, "damaged block file (free list)"},
    {0xE090, "damaged block file (block beyond end)"},
    {0xE091, "damaged block file (block header)"},
    {PRF_ERR_INUPDATE, "profile left in the middle of an update; it needs repair"},
    {PRF_ERR_OLDVERSION, "first-format profile; convert it first"},
    {PRF_ERR_CHECKSUM, "checksum wrong; the profile is damaged"},
    {PRF_ERR_VERSION, "unknown profile version"},
};

struct ProfileCloser {
    void operator()(HPRF h) const noexcept { PrfCloseProfile(h); }
};
using Profile = std::unique_ptr<std::remove_pointer_t<HPRF>, ProfileCloser>;

int fail(const char *what, USHORT rc)
{
    const char *text = "error";
    for (const Meaning &m : kMeanings)
        if (m.code == rc)
            text = m.text;
    fprintf(stderr, "orin: %s: error %u (%s)\n", what, rc, text);
    return kExitLibrary;
}

int usage()
{
    fputs(kUsageText, stderr);
    return kExitUsage;
}

/* ---- Reading lists and values ------------------------------------------------ */

/* Fetches a value, or the list of sections or keys, into out. */
USHORT fetch(HPRF h, const char *section, const char *key, std::string &out)
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

/* The names of a '~' list; each name ends at its separator (or at a zero
 * byte before it), and a last part without a separator is not a name. */
std::vector<std::string> splitNames(const std::string &list)
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

/* ---- Escaped text ------------------------------------------------------------ */

bool startsWithHexPrefix(std::string_view v)
{
    return v.substr(0, kHexPrefix.size()) == kHexPrefix;
}

void putEscaped(std::string_view v, bool name)
{
    bool hexLookalike = !name && startsWithHexPrefix(v);
    for (size_t i = 0; i < v.size(); i++) {
        auto c = static_cast<unsigned char>(v[i]);
        if (c == '\\' || (name && (c == '=' || c == ']' || c == '[')))
            printf("\\%c", c);
        else if (c == '\n')
            fputs("\\n", stdout);
        else if (c == '\r')
            fputs("\\r", stdout);
        else if (c == '\t')
            fputs("\\t", stdout);
        else if (c < 0x20 || c == 0x7F)
            printf("\\x%02x", c);
        else if (i == 0 && hexLookalike)
            printf("\\x%02x", c);
        else
            putchar(c);
    }
}

int hexDigit(int c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

/* Undoes putEscaped. */
std::string unescape(std::string_view s)
{
    std::string out;
    out.reserve(s.size());
    size_t r = 0, n = s.size();
    while (r < n) {
        char c = s[r++];
        if (c == '\\' && r < n) {
            char e = s[r++];
            if (e == 'n') c = '\n';
            else if (e == 'r') c = '\r';
            else if (e == 't') c = '\t';
            else if (e == 'x' && r + 1 < n && hexDigit(s[r]) >= 0 && hexDigit(s[r + 1]) >= 0) {
                c = (char)(hexDigit(s[r]) * 16 + hexDigit(s[r + 1]));
                r += 2;
            } else c = e;
        }
        out += c;
    }
    return out;
}

/* Text up to its first zero byte, as a C string would end it. */
std::string_view asCString(std::string_view s)
{
    return s.substr(0, std::min(s.find('\0'), s.size()));
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
    explicit Exporter(HPRF h) : h_(h) {}

    void section(const std::string &name)
    {
        std::string keys;
        if (!note(fetch(h_, name.c_str(), nullptr, keys)))
            return;
        putchar('[');
        putEscaped(name, true);
        fputs("]\n", stdout);
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
        putEscaped(key, true);
        putchar('=');
        if (v.find('\0') != std::string::npos) {
            fputs(kHexPrefix.data(), stdout);
            for (char c : v)
                printf("%02x", (unsigned char)c);
        } else {
            putEscaped(v, false);
        }
        putchar('\n');
    }

    bool note(USHORT rc)
    {
        if (rc && !rc_)
            rc_ = rc;
        return rc == 0;
    }

    HPRF h_;
    USHORT rc_ = 0;
};

int cmdExport(HPRF h)
{
    std::string sections;
    USHORT rc = fetch(h, nullptr, nullptr, sections);
    if (rc)
        return fail("listing sections", rc);
    Exporter x(h);
    for (const std::string &section : splitNames(sections))
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

/* Position of the first unescaped `stop` character, or -1. */
long findUnescaped(std::string_view s, char stop)
{
    for (size_t i = 0; i < s.size(); i++) {
        if (s[i] == '\\')
            i++;
        else if (s[i] == stop)
            return (long)i;
    }
    return -1;
}

USHORT importValue(HPRF h, const std::string &section, std::string_view key,
                   std::string_view value)
{
    std::string name = unescape(key);
    if (startsWithHexPrefix(value)) {
        std::string bytes((value.size() - kHexPrefix.size()) / 2, '\0');
        for (size_t i = 0; i < bytes.size(); i++)
            bytes[i] = (char)(hexDigit(value[kHexPrefix.size() + 2 * i]) * 16 +
                              hexDigit(value[kHexPrefix.size() + 2 * i + 1]));
        return PrfWriteProfileData(h, section.c_str(), name.c_str(), bytes.data(),
                                   (ULONG)bytes.size());
    }
    std::string text = unescape(value);
    return PrfWriteProfileData(h, section.c_str(), name.c_str(), text.data(), (ULONG)text.size());
}

int cmdImport(HPRF h)
{
    std::optional<std::string> section;
    unsigned long lineNo = 0;
    int status = 0;

    while (status == 0) {
        std::optional<std::string> read = readLine();
        if (!read)
            break;
        std::string_view line = *read;
        lineNo++;
        if (line.empty() || line[0] == ';' || line[0] == '#')
            continue;
        long close = findUnescaped(line, ']');
        long eq;
        if (line[0] == '[' && close > 0) {
            section = std::string(unescape(asCString(line.substr(1, close - 1))));
            USHORT rc = PrfCreateSection(h, section->c_str());
            if (rc && rc != PRF_ERR_EXISTS)
                status = fail("creating a section", rc);
        } else if ((eq = findUnescaped(line, '=')) > 0 && section) {
            USHORT rc = importValue(h, *section, line.substr(0, eq), line.substr(eq + 1));
            if (rc)
                status = fail("storing a value", rc);
        } else {
            fprintf(stderr, "orin: line %lu: expected [section] or key=value\n", lineNo);
            status = kExitLibrary;
        }
    }
    return status;
}

int cmdDelete(HPRF h, const char *section, const char *key)
{
    USHORT rc = key ? PrfWriteProfileData(h, section, key, nullptr, 0)
                    : PrfDestroySection(h, section);
    return rc ? fail(key ? "deleting the key" : "deleting the section", rc) : 0;
}

int runCommand(std::string_view cmd, HPRF h, int argc, char **argv)
{
    if (cmd == "sections" && argc == 0)
        return cmdList(h, nullptr);
    if (cmd == "keys" && argc == 1)
        return cmdList(h, argv[0]);
    if (cmd == "get" && argc == 2)
        return cmdGet(h, argv[0], argv[1]);
    if (cmd == "set" && argc == 3) {
        USHORT rc = PrfWriteProfileString(h, argv[0], argv[1], argv[2]);
        return rc ? fail("storing the value", rc) : 0;
    }
    if (cmd == "delete" && (argc == 1 || argc == 2))
        return cmdDelete(h, argv[0], argc == 2 ? argv[1] : nullptr);
    if (cmd == "import" && argc == 0)
        return cmdImport(h);
    if (cmd == "export" && argc == 0)
        return cmdExport(h);
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

}  // namespace

int main(int argc, char **argv)
{
    if (argc >= 2 && (strcmp(argv[1], "--help") == 0 || strcmp(argv[1], "-h") == 0)) {
        fputs(kUsageText, stdout);
        return 0;
    }
    if (argc < 4 || strcmp(argv[1], "prf") != 0 || !isKnownCommand(argv[2]))
        return usage();
    KnlInitCP();
    KnlInitDBCSEv();
    HPRF h = nullptr;
    USHORT rc = PrfOpenProfile(nullptr, &h, argv[3],
                               isReadOnlyCommand(argv[2]) ? PRF_OPEN_READONLY : 0);
    if (rc)
        return fail(argv[3], rc);
    Profile profile(h);
    return runCommand(argv[2], h, argc - 4, argv + 4);
}
