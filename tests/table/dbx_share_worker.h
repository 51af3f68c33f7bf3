// The work each of the two processes of test_dbx_shared does on the shared
// table: append its own records, update each under a locking read, and
// walk the NAME index between the changes checking that it stays sorted.
// Returns 0, or a number saying which check failed.
#ifndef DBX_SHARE_WORKER_H
#define DBX_SHARE_WORKER_H

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>
#include "ocdbf.h"
#include "ocdbx.h"

namespace dbxshare {

constexpr int RECORDS = 30;
inline const char *kName[] = {"NAME"};
constexpr ULONG kAttach = DBX_ATTACH_CREATE | DBX_ATTACH_MAINTAIN | DBX_ATTACH_ENTERNEW;

inline std::string nameOf(char tag, int i)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "%c%03d", tag, i);
    return buf;
}

inline std::string qtyOf(int i) { return std::to_string(i * 7 + 1); }

/* The second process deletes these of its records behind the engine, with
 * the record layer alone, leaving their index entries stale. */
inline bool deletedLater(char tag, int i) { return tag == 'B' && i % 5 == 0; }

inline int walkSorted(OcDbx &t)
{
    std::string last;
    for (ULONG r = t.FirstRec(); r != 0 && r != DBX_NO_RECORD; r = t.NextRec()) {
        char name[16];
        t.QueryField("NAME", name, sizeof name);
        if (last > name)
            return 1;
        last = name;
    }
    return 0;
}

inline int work(const char *table, char tag)
{
    std::vector<ULONG> mine;
    OcDbx t;
    if (!t.Open(table, nullptr, 0, 1))
        return 10;
    if (!t.AttachIndex(0, nullptr, kName, 1, kAttach, 1))
        return 11;
    for (int i = 0; i < RECORDS; ++i) {
        t.ClearBuffer();
        t.SetField("NAME", nameOf(tag, i).c_str());
        t.SetField("QTY", "0");
        ULONG rec = t.Append(0);
        if (rec == DBX_NO_RECORD)
            return 12;
        mine.push_back(rec);
        if (walkSorted(t))
            return 13;
        int rc;
        while ((rc = t.Read(rec, 1)) == 0 && t.GetLastError() == DBX_BUSY)
            Sleep(5);
        if (!rc)
            return 14;
        t.SetField("QTY", qtyOf(i).c_str());
        if (!t.WriteCmd(rec, DBX_WRITE_UNLOCK))
            return 15;
    }
    if (walkSorted(t))
        return 16;
    OcDbf records;
    if (!records.Open((std::string(table) + ".DBF").c_str(), 1))
        return 17;
    for (int i = 0; i < RECORDS; ++i)
        if (deletedLater(tag, i) && !records.Delete(mine[i], 1, 0))
            return 18;
    return 0;
}

}  // namespace dbxshare

#endif
