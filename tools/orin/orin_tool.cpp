/*
 * orin_tool.c - the `orin` command: looks into and changes profile files
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
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include "knl.h"
#include "prf.h"

#define EXIT_LIBRARY 1
#define EXIT_USAGE   2
#define HEX_PREFIX   "hex:"
#define HEX_PREFIX_LEN 4
#define DUMP_WIDTH   16
#define LINE_CHUNK   256

static const char *usageText =
    "usage: orin prf COMMAND FILE [ARGS]\n"
    "  sections FILE                 list the sections of a profile\n"
    "  keys FILE SECTION             list the keys of a section\n"
    "  get FILE SECTION KEY          print a value (text, or a hex dump of binary data)\n"
    "  set FILE SECTION KEY VALUE    store a string value (creates the profile if needed)\n"
    "  delete FILE SECTION [KEY]     delete a key, or a section with all its keys\n"
    "  import FILE < TEXT            store the sections and keys of INI-style text\n"
    "  export FILE                   print the profile as INI-style text\n";

static const struct { USHORT code; const char *text; } meanings[] = {
    { 2, "file not found" },
    { 3, "path not found" },
    { 5, "access denied" },
    { 6, "invalid handle" },
    { 8, "out of memory or table full" },
    { 33, "locked by another process" },
    { 85, "section already exists" },
    { 111, "buffer too small" },
    { 112, "disk full" },
    { 123, "invalid section or key name" },
    { 211, "no such section or key" },
    { 0xE08C, "not a profile file (bad block-file magic)" },
    { 0xE08E, "damaged block file (block type)" },
    { 0xE08F, "damaged block file (free list)" },
    { 0xE090, "damaged block file (block beyond end)" },
    { 0xE091, "damaged block file (block header)" },
    { PRF_ERR_INUPDATE, "profile left in the middle of an update; it needs repair" },
    { PRF_ERR_OLDVERSION, "first-format profile; convert it first" },
    { PRF_ERR_CHECKSUM, "checksum wrong; the profile is damaged" },
    { PRF_ERR_VERSION, "unknown profile version" },
};

static int fail(const char *what, USHORT rc)
{
    const char *text = "error";
    size_t i;
    for (i = 0; i < sizeof meanings / sizeof meanings[0]; i++)
        if (meanings[i].code == rc)
            text = meanings[i].text;
    fprintf(stderr, "orin: %s: error %u (%s)\n", what, rc, text);
    return EXIT_LIBRARY;
}

static int usage(void)
{
    fputs(usageText, stderr);
    return EXIT_USAGE;
}

/* ---- Reading lists and values ------------------------------------------------ */

/* Fetches a value or list into a fresh buffer (zero-terminated). */
static USHORT fetch(HPRF h, const char *section, const char *key, char **out, ULONG *length)
{
    ULONG size = 0;
    char *buf;
    USHORT rc = PrfQueryProfileSize(h, section, key, &size);
    *out = NULL;
    if (rc)
        return rc;
    buf = (char *)malloc(size + 1);
    if (!buf)
        return ORIN_ERR_NO_MEMORY;
    *length = size;
    rc = PrfQueryProfileData(h, section, key, buf, length);
    if (rc) {
        free(buf);
        return rc;
    }
    buf[*length] = 0;
    *out = buf;
    return 0;
}

/* Calls fn for each name of a '~' list. */
static void eachName(char *list, ULONG length, void (*fn)(const char *, void *), void *arg)
{
    char *p = list, *end = list + length;
    while (p < end) {
        char *sep = (char*)memchr(p, '~', (size_t)(end - p));
        if (!sep)
            break;
        *sep = 0;
        fn(p, arg);
        p = sep + 1;
    }
}

static void printLine(const char *name, void *arg)
{
    (void)arg;
    puts(name);
}

static BOOL isText(const unsigned char *v, ULONG n)
{
    ULONG i;
    for (i = 0; i < n; i++)
        if (v[i] == 0 || (v[i] < 0x20 && v[i] != '\t' && v[i] != '\r' && v[i] != '\n'))
            return FALSE;
    return TRUE;
}

static void hexDump(const unsigned char *v, ULONG n)
{
    ULONG row, i;
    for (row = 0; row < n; row += DUMP_WIDTH) {
        printf("%08lx ", (unsigned long)row);
        for (i = row; i < row + DUMP_WIDTH; i++)
            if (i < n)
                printf(" %02x", v[i]);
            else
                printf("   ");
        printf("  ");
        for (i = row; i < row + DUMP_WIDTH && i < n; i++)
            putchar(v[i] >= 0x20 && v[i] < 0x7F ? v[i] : '.');
        putchar('\n');
    }
}

/* ---- Escaped text ------------------------------------------------------------ */

static void putEscaped(const unsigned char *v, ULONG n, BOOL name)
{
    ULONG i;
    for (i = 0; i < n; i++) {
        unsigned char c = v[i];
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
        else if (i == 0 && !name && n >= HEX_PREFIX_LEN && memcmp(v, HEX_PREFIX, HEX_PREFIX_LEN) == 0)
            printf("\\x%02x", c);
        else
            putchar(c);
    }
}

static int hexDigit(int c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

/* Undoes putEscaped in place; returns the new length. */
static size_t unescape(char *s, size_t n)
{
    size_t r = 0, w = 0;
    while (r < n) {
        char c = s[r++];
        if (c == '\\' && r < n) {
            char e = s[r++];
            if (e == 'n') c = '\n';
            else if (e == 'r') c = '\r';
            else if (e == 't') c = '\t';
            else if (e == 'x' && r + 1 < n + 1 && hexDigit(s[r]) >= 0 && r + 1 < n
                     && hexDigit(s[r + 1]) >= 0) {
                c = (char)(hexDigit(s[r]) * 16 + hexDigit(s[r + 1]));
                r += 2;
            } else c = e;
        }
        s[w++] = c;
    }
    return w;
}

/* ---- Commands ---------------------------------------------------------------- */

static int cmdList(HPRF h, const char *section)
{
    char *list;
    ULONG n = 0;
    USHORT rc = fetch(h, section, NULL, &list, &n);
    if (rc)
        return fail(section ? "listing keys" : "listing sections", rc);
    eachName(list, n, printLine, NULL);
    free(list);
    return 0;
}

static int cmdGet(HPRF h, const char *section, const char *key)
{
    char *v;
    ULONG n = 0;
    USHORT rc = fetch(h, section, key, &v, &n);
    if (rc)
        return fail("reading the value", rc);
    if (isText((unsigned char *)v, n)) {
        fwrite(v, 1, n, stdout);
        putchar('\n');
    } else {
        hexDump((unsigned char *)v, n);
    }
    free(v);
    return 0;
}

typedef struct {
    HPRF h;
    const char *section;
    USHORT rc;
} EXPORTCTX;

static void exportKey(const char *key, void *arg)
{
    EXPORTCTX *x = (EXPORTCTX *)arg;
    char *v;
    ULONG n = 0, i;
    USHORT rc = fetch(x->h, x->section, key, &v, &n);
    if (rc) {
        if (!x->rc)
            x->rc = rc;
        return;
    }
    putEscaped((const unsigned char *)key, (ULONG)strlen(key), TRUE);
    putchar('=');
    if (memchr(v, 0, n)) {
        fputs(HEX_PREFIX, stdout);
        for (i = 0; i < n; i++)
            printf("%02x", (unsigned char)v[i]);
    } else {
        putEscaped((const unsigned char *)v, n, FALSE);
    }
    putchar('\n');
    free(v);
}

static void exportSection(const char *section, void *arg)
{
    EXPORTCTX *x = (EXPORTCTX *)arg;
    char *keys;
    ULONG n = 0;
    USHORT rc = fetch(x->h, section, NULL, &keys, &n);
    if (rc) {
        if (!x->rc)
            x->rc = rc;
        return;
    }
    putchar('[');
    putEscaped((const unsigned char *)section, (ULONG)strlen(section), TRUE);
    fputs("]\n", stdout);
    x->section = section;
    eachName(keys, n, exportKey, x);
    putchar('\n');
    free(keys);
}

static int cmdExport(HPRF h)
{
    EXPORTCTX x = { h, NULL, 0 };
    char *sections;
    ULONG n = 0;
    USHORT rc = fetch(h, NULL, NULL, &sections, &n);
    if (rc)
        return fail("listing sections", rc);
    eachName(sections, n, exportSection, &x);
    free(sections);
    return x.rc ? fail("exporting", x.rc) : 0;
}

/* Reads one line of any length from stdin without its line end. */
static char *readLine(size_t *length)
{
    size_t cap = LINE_CHUNK, n = 0;
    char *line = (char *)malloc(cap);
    int c;
    if (!line)
        return NULL;
    while ((c = getchar()) != EOF && c != '\n') {
        if (n + 1 >= cap) {
            char *bigger = (char *)realloc(line, cap *= 2);
            if (!bigger) {
                free(line);
                return NULL;
            }
            line = bigger;
        }
        line[n++] = (char)c;
    }
    if (c == EOF && n == 0) {
        free(line);
        return NULL;
    }
    if (n && line[n - 1] == '\r')
        n--;
    line[n] = 0;
    *length = n;
    return line;
}

/* Position of the first unescaped `stop` character, or -1. */
static long findUnescaped(const char *s, size_t n, char stop)
{
    size_t i;
    for (i = 0; i < n; i++) {
        if (s[i] == '\\')
            i++;
        else if (s[i] == stop)
            return (long)i;
    }
    return -1;
}

static USHORT importValue(HPRF h, const char *section, char *key, size_t keyLen, char *value,
                          size_t valueLen)
{
    USHORT rc;
    key[unescape(key, keyLen)] = 0;
    if (valueLen >= HEX_PREFIX_LEN && memcmp(value, HEX_PREFIX, HEX_PREFIX_LEN) == 0) {
        size_t i, n = (valueLen - HEX_PREFIX_LEN) / 2;
        for (i = 0; i < n; i++)
            value[i] = (char)(hexDigit(value[HEX_PREFIX_LEN + 2 * i]) * 16
                              + hexDigit(value[HEX_PREFIX_LEN + 2 * i + 1]));
        return PrfWriteProfileData(h, section, key, value, (ULONG)n);
    }
    valueLen = unescape(value, valueLen);
    rc = PrfWriteProfileData(h, section, key, value, (ULONG)valueLen);
    return rc;
}

static int cmdImport(HPRF h)
{
    char *line, *section = NULL;
    size_t n;
    unsigned long lineNo = 0;
    int status = 0;

    while (status == 0 && (line = readLine(&n)) != NULL) {
        long eq, close;
        lineNo++;
        if (n == 0 || line[0] == ';' || line[0] == '#') {
            free(line);
            continue;
        }
        close = findUnescaped(line, n, ']');
        if (line[0] == '[' && close > 0) {
            free(section);
            line[close] = 0;
            section = _strdup(line + 1);
            section[unescape(section, strlen(section))] = 0;
            {
                USHORT rc = PrfCreateSection(h, section);
                if (rc && rc != PRF_ERR_EXISTS)
                    status = fail("creating a section", rc);
            }
        } else if ((eq = findUnescaped(line, n, '=')) > 0 && section) {
            USHORT rc = importValue(h, section, line, (size_t)eq, line + eq + 1, n - eq - 1);
            if (rc)
                status = fail("storing a value", rc);
        } else {
            fprintf(stderr, "orin: line %lu: expected [section] or key=value\n", lineNo);
            status = EXIT_LIBRARY;
        }
        free(line);
    }
    free(section);
    return status;
}

static int cmdDelete(HPRF h, const char *section, const char *key)
{
    USHORT rc = key ? PrfWriteProfileData(h, section, key, NULL, 0)
                    : PrfDestroySection(h, section);
    return rc ? fail(key ? "deleting the key" : "deleting the section", rc) : 0;
}

static int runCommand(const char *cmd, HPRF h, int argc, char **argv)
{
    if (strcmp(cmd, "sections") == 0 && argc == 0)
        return cmdList(h, NULL);
    if (strcmp(cmd, "keys") == 0 && argc == 1)
        return cmdList(h, argv[0]);
    if (strcmp(cmd, "get") == 0 && argc == 2)
        return cmdGet(h, argv[0], argv[1]);
    if (strcmp(cmd, "set") == 0 && argc == 3) {
        USHORT rc = PrfWriteProfileString(h, argv[0], argv[1], argv[2]);
        return rc ? fail("storing the value", rc) : 0;
    }
    if (strcmp(cmd, "delete") == 0 && (argc == 1 || argc == 2))
        return cmdDelete(h, argv[0], argc == 2 ? argv[1] : NULL);
    if (strcmp(cmd, "import") == 0 && argc == 0)
        return cmdImport(h);
    if (strcmp(cmd, "export") == 0 && argc == 0)
        return cmdExport(h);
    return usage();
}

static BOOL isReadOnlyCommand(const char *cmd)
{
    return strcmp(cmd, "sections") == 0 || strcmp(cmd, "keys") == 0
        || strcmp(cmd, "get") == 0 || strcmp(cmd, "export") == 0;
}

static BOOL isKnownCommand(const char *cmd)
{
    static const char *const known[] = { "sections", "keys", "get", "set", "delete",
                                         "import", "export" };
    size_t i;
    for (i = 0; i < sizeof known / sizeof known[0]; i++)
        if (strcmp(cmd, known[i]) == 0)
            return TRUE;
    return FALSE;
}

int main(int argc, char **argv)
{
    HPRF h = NULL;
    USHORT rc;
    int status;

    if (argc >= 2 && (strcmp(argv[1], "--help") == 0 || strcmp(argv[1], "-h") == 0)) {
        fputs(usageText, stdout);
        return 0;
    }
    if (argc < 4 || strcmp(argv[1], "prf") != 0 || !isKnownCommand(argv[2]))
        return usage();
    KnlInitCP();
    KnlInitDBCSEv();
    rc = PrfOpenProfile(NULL, &h, argv[3], isReadOnlyCommand(argv[2]) ? PRF_OPEN_READONLY : 0);
    if (rc)
        return fail(argv[3], rc);
    status = runCommand(argv[2], h, argc - 4, argv + 4);
    PrfCloseProfile(h);
    return status;
}
