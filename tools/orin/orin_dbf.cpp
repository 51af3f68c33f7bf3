/*
 * orin_dbf.cpp - `orin dbf`: looks into dBase III tables.
 *
 *   orin dbf info FILE                fields and record count
 *   orin dbf dump FILE [--csv]        every record with its state
 *   orin dbf check FILE               header, count and record states
 *   orin dbf index FILE FIELD[,FIELD...]  builds an index (FILE.I01 beside
 *                                     the table) and lists the records in its order
 *
 * Record states are printed as words: normal, deleted, frozen, kept, with
 * ",locked" when a process holds the record for update.
 */
#include <cstring>
#include <string>
#include <vector>
#include "ocdbf.h"
#include "ocdbx.h"
#include "orin_commands.h"

namespace orintool {

const char *const dbfUsage =
    "     orin dbf info FILE                 fields and record count\n"
    "     orin dbf dump FILE [--csv]         records with their states\n"
    "     orin dbf check FILE                header, count and states\n"
    "     orin dbf index FILE FIELD[,FIELD]  build an index and list records in its order\n";

namespace {

const char *stateName(OcDbf &t, ULONG record)
{
    if (t.IsDeleted(record))
        return "deleted";
    if (t.IsFrozen(record))
        return "frozen";
    return t.IsKeeped(record) ? "kept" : "normal";
}

std::string csvQuoted(const std::string &s)
{
    std::string out = "\"";
    for (char c : s)
        out += c == '"' ? std::string("\"\"") : std::string(1, c);
    return out + "\"";
}

std::string trimmed(const char *s)
{
    std::string v(s);
    size_t end = v.find_last_not_of(' ');
    return end == std::string::npos ? std::string() : v.substr(0, end + 1);
}

/* Fields other than the status field, which dump shows as the state. */
std::vector<const DBXFIELDDES *> dataFields(OcDbf &t)
{
    std::vector<const DBXFIELDDES *> fields;
    for (USHORT i = 0; i < t.QueryNrFields(); ++i) {
        const DBXFIELDDES *f = t.QueryFieldNr(i);
        if (std::strcmp(f->name, DBX_STATUS_FIELD) != 0)
            fields.push_back(f);
    }
    return fields;
}

void printRecord(OcDbf &t, ULONG record, bool csv)
{
    std::string line = std::to_string(record) + (csv ? "," : "\t") + stateName(t, record);
    if (t.IsLocked(record))
        line += ",locked";
    char value[256];
    for (const DBXFIELDDES *f : dataFields(t)) {
        t.QueryField(f, value, sizeof value);
        line += csv ? "," + csvQuoted(trimmed(value)) : "\t" + trimmed(value);
    }
    printf("%s\n", line.c_str());
}

int info(OcDbf &t)
{
    printf("records: %lu\nfields: %u\n", t.QueryNrRecords(), t.QueryNrFields());
    for (USHORT i = 0; i < t.QueryNrFields(); ++i) {
        const DBXFIELDDES *f = t.QueryFieldNr(i);
        printf("  %-10s %c %3u %u\n", f->name, f->type, f->length, f->decimals);
    }
    return 0;
}

int dump(OcDbf &t, bool csv)
{
    if (csv) {
        std::string head = "record,state";
        for (const DBXFIELDDES *f : dataFields(t))
            head += std::string(",") + f->name;
        printf("%s\n", head.c_str());
    }
    for (ULONG r = 1; r <= t.QueryNrRecords(); ++r) {
        if (!t.Read(r))
            return fail("read", USHORT(t.GetLastError()));
        printRecord(t, r, csv);
    }
    return 0;
}

int check(OcDbf &t)
{
    ULONG counts[4] = {}, locked = 0;
    const char *names[] = {"normal", "deleted", "frozen", "kept"};
    for (ULONG r = 1; r <= t.QueryNrRecords(); ++r) {
        std::string s = stateName(t, r);
        for (int i = 0; i < 4; ++i)
            counts[i] += s == names[i];
        locked += t.IsLocked(r) != 0;
    }
    printf("records: %lu\n", t.QueryNrRecords());
    for (int i = 0; i < 4; ++i)
        printf("%s: %lu\n", names[i], counts[i]);
    printf("locked: %lu\n", locked);
    return locked ? kExitLibrary : 0;
}

int index(const char *file, const char *fieldList)
{
    std::vector<std::string> names;
    for (const char *p = fieldList; *p;) {
        const char *comma = std::strchr(p, ',');
        names.emplace_back(p, comma ? size_t(comma - p) : std::strlen(p));
        p = comma ? comma + 1 : p + std::strlen(p);
    }
    std::vector<const char *> ptrs;
    for (auto &n : names)
        ptrs.push_back(n.c_str());
    OcDbx x;
    constexpr ULONG attach = DBX_ATTACH_BUILD | DBX_ATTACH_REPLACE | DBX_ATTACH_MAINTAIN;
    if (!x.Open(file, nullptr, 0, 0))
        return fail(file, USHORT(x.GetLastError()));
    if (!x.AttachIndex(0, nullptr, ptrs.data(), USHORT(ptrs.size()), attach, 0))
        return fail(fieldList, USHORT(x.GetLastError()));
    std::vector<ULONG> order;
    for (ULONG r = x.FirstRec(); r != 0 && r != DBX_NO_RECORD; r = x.NextRec())
        order.push_back(r);
    x.Close();
    OcDbf d;
    std::string table = file;
    if (table.find('.') == std::string::npos)
        table += ".DBF";
    if (!d.Open(table.c_str(), 0, 0, 1))
        return fail(file, USHORT(d.GetLastError()));
    for (ULONG r : order) {
        d.Read(r);
        printRecord(d, r, false);
    }
    return 0;
}

}  // namespace

int runDbfCommand(int argc, char **argv)
{
    if (argc < 4 || (std::strcmp(argv[2], "index") == 0 && argc < 5)) {
        fputs("usage:\n", stderr);
        fputs(dbfUsage, stderr);
        return kExitUsage;
    }
    const char *cmd = argv[2], *file = argv[3];
    if (std::strcmp(cmd, "index") == 0)
        return index(file, argv[4]);
    OcDbf t;
    if (!t.Open(file, 0, 0, 1))
        return fail(file, USHORT(t.GetLastError()));
    if (std::strcmp(cmd, "info") == 0)
        return info(t);
    if (std::strcmp(cmd, "dump") == 0)
        return dump(t, argc > 4 && std::strcmp(argv[4], "--csv") == 0);
    if (std::strcmp(cmd, "check") == 0)
        return check(t);
    fputs(dbfUsage, stderr);
    return kExitUsage;
}

}  // namespace orintool
