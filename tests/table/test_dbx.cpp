// The built-in engine through OcDbx and the engine table: index files and
// their names, key lengths, keys left alone when a write does not change
// them, stale entries of records deleted behind the engine's back, unique
// indexes, builds with the busy function, description files of both
// versions, engines and their attachment, transactions, copies and bad
// calls.  Expected orders come from sorting the test's own rows.
#include <gtest/gtest.h>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>
#include "ocdbf.h"
#include "ocdbx.h"
#include "dbxtest.h"

namespace {

using dbxtest::field;

const DBXFIELDDES kOrder[] = {field("NAME", 'C', 30), field("DATE", 'D', 8), field("QTY", 'N', 6)};

void removeTable(const char *name)
{
    DbxGetVtbl()->FileOp(DBX_FILE_DELETE, name, nullptr, 0);
}

bool exists(const std::string &name)
{
    return GetFileAttributesA(name.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string field(OcDbx &t, const char *name)
{
    char buf[64] = "";
    t.QueryField(name, buf, sizeof buf);
    std::string s(buf);
    return s.substr(0, s.find_last_not_of(' ') + 1);
}

ULONG add(OcDbx &t, const char *name, const char *date, const char *qty = "1")
{
    t.ClearBuffer();
    t.SetField("NAME", name);
    t.SetField("DATE", date);
    t.SetField("QTY", qty);
    return t.Append(0);
}

std::vector<std::string> walk(OcDbx &t, PDBFIX ix = nullptr)
{
    std::vector<std::string> names;
    for (ULONG r = t.FirstRec(ix); r != 0 && r != DBX_NO_RECORD; r = t.NextRec(ix))
        names.push_back(field(t, "NAME"));
    return names;
}

const char *kNameDate[] = {"NAME", "DATE"};
const char *kName[] = {"NAME"};
const ULONG kMaintained = DBX_ATTACH_BUILD | DBX_ATTACH_MAINTAIN | DBX_ATTACH_ENTERNEW;   // 50

TEST(DbxIndexes, FileNamesKeyLengthsAndAttachErrors)
{
    removeTable("ORDERS");
    OcDbx t;
    ASSERT_TRUE(t.Create("ORDERS", kOrder, 3)) << t.GetLastError();
    EXPECT_TRUE(exists("ORDERS.DBF"));
    EXPECT_EQ(t.QueryNrFields(), 4);   // the status field comes first
    PDBFIX ix = t.AttachIndex(0, nullptr, kNameDate, 2, kMaintained, 0);
    ASSERT_NE(ix, nullptr) << t.GetLastError();
    EXPECT_TRUE(exists("ORDERS.I01"));
    EXPECT_EQ(t.QueryKeyLength(ix), 38);
    EXPECT_EQ(t.QueryNrFieldsInIndex(ix), 2);
    EXPECT_EQ(t.QueryIndex(), ix);      // the first index becomes current

    PDBFIX named = t.AttachIndex(100, "ORDERS.QIX", kName, 1, DBX_ATTACH_CREATE, 0);
    ASSERT_NE(named, nullptr);
    EXPECT_TRUE(exists("ORDERS.QIX"));

    const char *unknown[] = {"NAME", "NOPE"};
    EXPECT_EQ(t.AttachIndex(1, nullptr, unknown, 2, kMaintained, 0), nullptr);
    EXPECT_EQ(t.GetLastError(), (ULONG)DBX_ERR_UNKNOWN_FIELD);
    EXPECT_EQ(t.AttachIndex(2, nullptr, kName, 1, DBX_ATTACH_MAINTAIN, 0), nullptr);
    EXPECT_EQ(t.GetLastError(), (ULONG)DBX_ERR_NO_INDEX_FILE);
    EXPECT_FALSE(exists("ORDERS.I03"));
    t.Close();

    // 1,025 bytes of key: 4 x 255 + 5.
    removeTable("WIDE");
    DBXFIELDDES wide[] = {field("A", 'C', 255), field("B", 'C', 255), field("C", 'C', 255),
                          field("D", 'C', 255), field("E", 'C', 5), field("F", 'C', 4)};
    ASSERT_TRUE(t.Create("WIDE", wide, 6));
    const char *tooLong[] = {"A", "B", "C", "D", "E"};
    EXPECT_EQ(t.AttachIndex(0, nullptr, tooLong, 5, kMaintained, 0), nullptr);
    EXPECT_EQ(t.GetLastError(), (ULONG)DBX_ERR_KEY_TOO_LONG);
    const char *justFits[] = {"A", "B", "C", "D", "F"};
    EXPECT_NE(t.AttachIndex(0, nullptr, justFits, 5, kMaintained, 0), nullptr);
    t.Close();
    removeTable("WIDE");
    EXPECT_FALSE(exists("WIDE.DBF"));
    EXPECT_FALSE(exists("WIDE.I01"));
}

TEST(DbxIndexes, SeventyFiveIndexesAtMost)
{
    removeTable("MANY");
    OcDbx t;
    ASSERT_TRUE(t.Create("MANY", kOrder, 3));
    for (USHORT i = 0; i < DBX_MAX_INDEXES; ++i)
        ASSERT_NE(t.AttachIndex(i, nullptr, kName, 1, DBX_ATTACH_CREATE, 0), nullptr) << i;
    EXPECT_EQ(t.AttachIndex(75, nullptr, kName, 1, DBX_ATTACH_CREATE, 0), nullptr);
    EXPECT_EQ(t.GetLastError(), (ULONG)DBX_ERR_TOO_MANY_INDEXES);
    ASSERT_TRUE(t.DetachIndex(t.QueryIndex(USHORT(10)), 1));
    EXPECT_NE(t.AttachIndex(75, nullptr, kName, 1, DBX_ATTACH_CREATE, 0), nullptr);
    EXPECT_EQ(t.QueryIndex(USHORT(10)) != nullptr, true);   // the freed slot is reused
    t.Close();
    removeTable("MANY");
}

TEST(DbxNavigation, IndexOrderIsCaseBlindAndSearchesPrefixes)
{
    removeTable("NAV");
    OcDbx t;
    ASSERT_TRUE(t.Create("NAV", kOrder, 3));
    std::vector<std::string> rows = {"pear", "Apple", "banana", "apple", "Cherry"};
    for (auto &r : rows)
        add(t, r.c_str(), "20200101");
    PDBFIX ix = t.AttachIndex(0, nullptr, kName, 1, kMaintained, 0);
    ASSERT_NE(ix, nullptr);
    std::vector<std::string> want = rows;
    std::stable_sort(want.begin(), want.end(), [](const std::string &a, const std::string &b) {
        return _stricmp(a.c_str(), b.c_str()) < 0;
    });
    EXPECT_EQ(walk(t), want);
    ULONG r = t.SearchKey("BAN");
    EXPECT_EQ(r, 3u);
    EXPECT_EQ(t.SearchKeyExact("cher"), 5u);
    EXPECT_EQ(t.SearchKeyExact("dog"), DBX_NO_RECORD);
    EXPECT_FALSE(t.IsBufValid());
    EXPECT_EQ(t.SearchKey("zzz"), DBX_NO_RECORD);
    EXPECT_EQ(t.LastRec(), 1u);
    EXPECT_EQ(t.PrevRec(), 5u);
    EXPECT_EQ(t.FirstRec(), 2u);
    EXPECT_EQ(t.NextPrevNRec(3), 5u);
    EXPECT_EQ(DbxGetSequenceNr(t, 5, nullptr, 0), 3u);
    EXPECT_EQ(DbxGetSequenceNr(t, 1, nullptr, 2), 2u);   // counting stops at the limit
    EXPECT_EQ(DbxGetSequenceNr(t, 0, nullptr, 0), 0u);
    t.Close();
}

TEST(DbxWrites, UnchangedKeyLeavesTheIndexAloneChangedKeyMovesIt)
{
    removeTable("WR");
    OcDbx t;
    ASSERT_TRUE(t.Create("WR", kOrder, 3, 1));   // shared: every change moves the tree version
    PDBFIX byName = t.AttachIndex(0, nullptr, kName, 1, kMaintained | DBX_ATTACH_CREATE, 1);
    ASSERT_NE(byName, nullptr);
    add(t, "Smith", "20200101");
    add(t, "Jones", "20200102");
    PIX hix = t.QueryIndexHix(byName);
    USHORT before = 0, after = 0;
    ULONG err;
    IxdQueryTreeVersion(hix, &before, &err);
    ASSERT_TRUE(t.Read(1, 1));
    t.SetField("QTY", "99");
    ASSERT_TRUE(t.WriteCmd(1, DBX_WRITE_UNLOCK));
    IxdQueryTreeVersion(hix, &after, &err);
    EXPECT_EQ(after, before);
    EXPECT_EQ(t.QueryNrKeys(), 2u);

    ASSERT_TRUE(t.Read(1, 1));
    t.SetField("NAME", "Adams");
    ASSERT_TRUE(t.WriteCmd(1, DBX_WRITE_UNLOCK));
    EXPECT_EQ(walk(t), (std::vector<std::string>{"Adams", "Jones"}));
    EXPECT_EQ(t.SearchKeyExact("SMITH"), DBX_NO_RECORD);
    EXPECT_EQ(t.QueryNrKeys(), 2u);
    EXPECT_GE(DbxQueryPerformanceCounter(t, 8, 0), 2u);   // two record writes at least

    // A write of a record this process did not lock is refused.
    ASSERT_TRUE(t.Read(2, 0));
    t.SetField("NAME", "Zed");
    EXPECT_FALSE(t.WriteCmd(2, DBX_WRITE_UNLOCK));
    EXPECT_EQ(t.GetLastError(), (ULONG)DBX_FAILED);
    EXPECT_EQ(walk(t), (std::vector<std::string>{"Adams", "Jones"}));
    // Command 2 keeps the lock and the copy: a second write moves the key again.
    ASSERT_TRUE(t.Read(2, 1));
    t.SetField("NAME", "Baker");
    ASSERT_TRUE(t.WriteCmd(2, DBX_WRITE_KEEPLOCK));
    EXPECT_TRUE(t.QueryLocked(2));
    t.SetField("NAME", "Young");
    ASSERT_TRUE(t.WriteCmd(2, DBX_WRITE_UNLOCK));
    EXPECT_FALSE(t.QueryLocked(2));
    EXPECT_EQ(walk(t), (std::vector<std::string>{"Adams", "Young"}));
    t.Close();
}

TEST(DbxWrites, KeysReplacedAddedAndRemovedByHand)
{
    removeTable("HAND");
    OcDbx t;
    ASSERT_TRUE(t.Create("HAND", kOrder, 3));
    PDBFIX ix = t.AttachIndex(0, nullptr, kName, 1, kMaintained | DBX_ATTACH_CREATE, 0);
    ASSERT_NE(ix, nullptr);
    add(t, "old", "20200101");
    add(t, "other", "20200101");
    std::string oldKey = "OLD" + std::string(27, ' '), newKey = "NEW" + std::string(27, ' ');
    EXPECT_FALSE(t.ReplaceKey(ix, 1, oldKey.c_str(), newKey.c_str()));   // record not locked
    ASSERT_TRUE(t.Read(1, 1));
    ASSERT_TRUE(t.ReplaceKey(ix, 1, oldKey.c_str(), newKey.c_str()));
    ASSERT_TRUE(t.WriteCmd(1, DBX_WRITE_RELEASE));
    EXPECT_EQ(t.SearchKeyExact("NEW"), 1u);
    EXPECT_EQ(t.SearchKeyExact("OLD"), DBX_NO_RECORD);
    char key[31] = "";
    ASSERT_EQ(t.SearchKeyExact("OTHER"), 2u);
    ASSERT_TRUE(t.GetCurrentKey(ix, key, 30));
    EXPECT_EQ(std::string(key, 5), "OTHER");
    ASSERT_TRUE(t.RemoveFromIndex(ix, 2));           // the buffer holds record 2
    EXPECT_EQ(t.SearchKeyExact("OTHER"), DBX_NO_RECORD);
    EXPECT_EQ(t.QueryNrKeys(ix), 1u);
    ASSERT_TRUE(t.ReadFast(2));
    ASSERT_TRUE(t.AddToIndex(ix, 2));
    EXPECT_FALSE(t.AddToIndex(ix, 2));               // the pair is there already
    EXPECT_EQ(t.SearchKeyExact("OTHER"), 2u);
    ASSERT_TRUE(t.SyncIndex(ix));
    EXPECT_EQ(t.NextRec(), 0u);
    t.Close();
}

TEST(DbxNavigation, StaleEntryOfARecordDeletedElsewhereIsRemoved)
{
    removeTable("STALE");
    OcDbx t;
    ASSERT_TRUE(t.Create("STALE", kOrder, 3, 1));
    ASSERT_NE(t.AttachIndex(0, nullptr, kName, 1, kMaintained | DBX_ATTACH_CREATE, 1), nullptr);
    for (const char *n : {"a", "b", "c", "d"})
        add(t, n, "20200101");
    {
        OcDbf other;   // another user of the file, deleting and freezing behind the engine
        ASSERT_TRUE(other.Open("STALE.DBF", 1));
        ASSERT_TRUE(other.Delete(2, 1, 0));
        ASSERT_TRUE(other.Delete(3, 1, 1));
    }
    EXPECT_EQ(t.QueryNrKeys(), 4u);
    EXPECT_EQ(t.FirstRec(), 1u);
    EXPECT_EQ(t.NextRec(), 4u);            // b and c skipped
    EXPECT_EQ(t.QueryNrKeys(), 2u);        // and their entries gone
    EXPECT_EQ(t.NextRec(), 0u);
    EXPECT_FALSE(t.IsBufValid());
    ULONG other = 9;
    EXPECT_EQ(t.CheckRec(nullptr, 1, &other), 1u);
    EXPECT_EQ(other, 0u);
    t.Close();
}

TEST(DbxUnique, SecondNonBlankKeyRefusedBlankKeysAccepted)
{
    removeTable("UNIQ");
    OcDbx t;
    ASSERT_TRUE(t.Create("UNIQ", kOrder, 3));
    PDBFIX ix = t.AttachIndex(0, nullptr, kName, 1, 114 | DBX_ATTACH_CREATE, 0);
    ASSERT_NE(ix, nullptr);
    EXPECT_TRUE(ix->flags & DBX_IXF_UNIQUE);
    ULONG first = add(t, "Same", "20200101");
    ASSERT_TRUE(t.CheckUnique(first));
    ULONG second = add(t, "same", "20200102");   // case-blind index: same key
    USHORT which = 99;
    char key[64] = "";
    EXPECT_FALSE(t.CheckUnique(second, 1, &which, key, sizeof key));
    EXPECT_EQ(t.GetLastError(), (ULONG)DBX_ERR_DUPLICATE);
    EXPECT_EQ(which, 0);
    EXPECT_EQ(std::string(key).substr(0, 4), "SAME");
    EXPECT_EQ(field(t, "NAME"), "");             // key fields blanked on request
    for (int i = 0; i < 3; ++i) {
        ULONG r = add(t, "", "20200103");
        EXPECT_TRUE(t.CheckUnique(r)) << i;
    }
    ASSERT_TRUE(t.Read(first));
    EXPECT_FALSE(t.CheckUnique(second));         // not the current record
    EXPECT_EQ(t.GetLastError(), (ULONG)DBX_ERR_ACCESS_DENIED);
    t.Close();
}

struct BusyLog {
    std::vector<ULONG> phases;
    ULONG cancelAt = 0;
};

ULONG busy(PDBXGROUP, ULONG record, ULONG percent, ULONG phase, void *user)
{
    auto *log = static_cast<BusyLog *>(user);
    log->phases.push_back(phase);
    return log->cancelAt && phase == 3 && record >= log->cancelAt;
}

TEST(DbxBuild, BusyFunctionSeesEveryPhaseAndMayCancel)
{
    removeTable("BLD");
    OcDbx t;
    ASSERT_TRUE(t.Create("BLD", kOrder, 3));
    for (int i = 0; i < 40; ++i)
        add(t, std::to_string(1000 - i).c_str(), "20200101");
    ASSERT_TRUE(t.DeleteRecord(5));
    BusyLog log;
    t.SetBusyFunc(busy, &log, 16);
    PDBFIX ix = t.AttachIndex(0, nullptr, kName, 1, kMaintained, 0);
    ASSERT_NE(ix, nullptr);
    EXPECT_EQ(log.phases, (std::vector<ULONG>{1, 3, 3, 2}));
    EXPECT_EQ(t.QueryNrKeys(ix), 39u);           // the deleted record is left out
    ASSERT_TRUE(t.DetachIndex(ix, 1));
    EXPECT_FALSE(exists("BLD.I01"));

    log = BusyLog{};
    log.cancelAt = 32;
    EXPECT_EQ(t.AttachIndex(0, nullptr, kName, 1, kMaintained, 0), nullptr);
    EXPECT_EQ(t.GetLastError(), (ULONG)DBX_ERR_BUILD);
    EXPECT_FALSE(exists("BLD.I01"));
    EXPECT_EQ(log.phases.back(), 2u);
    t.Close();
}

// Writes a description file byte by byte as the format says.
void writeAbd(const char *name, bool v01, const std::vector<std::pair<std::string, int>> &indexes)
{
    size_t countsAt = v01 ? 530 : 140, descAt = v01 ? 536 : 144, descSize = v01 ? 519 : 129;
    std::vector<unsigned char> b(descAt + indexes.size() * descSize + 3 * 20, 0);
    std::memcpy(b.data(), v01 ? "ABD101" : "ABD100", 6);
    b[countsAt] = (unsigned char)indexes.size();
    b[countsAt + 2] = 3;
    for (size_t i = 0; i < indexes.size(); ++i) {
        std::memcpy(&b[descAt + i * descSize], indexes[i].first.c_str(), indexes[i].first.size());
        b[descAt + i * descSize + descSize - 1] = (unsigned char)indexes[i].second;
    }
    for (int f = 0; f < 3; ++f) {
        unsigned char *d = &b[descAt + indexes.size() * descSize + f * 20];
        std::memcpy(d, kOrder[f].name, strlen(kOrder[f].name));
        d[11] = kOrder[f].type;
        d[12] = (unsigned char)kOrder[f].length;
    }
    std::ofstream(name, std::ios::binary).write((const char *)b.data(), b.size());
}

TEST(DbxDescription, BothVersionsAttachTheListedIndexes)
{
    for (bool v01 : {true, false}) {
        removeTable("DESC");
        writeAbd("DESC.abd", v01, {{"{NAME}{DATE}", 0}, {"{QTY}", 1}});
        OcDbx t;
        EXPECT_FALSE(t.Open("DESC", 0, 0));              // no table yet
        ASSERT_TRUE(t.Open("DESC", 0, OCDBX_CREATE)) << t.GetLastError();
        PDBFIX a = t.QueryIndex(USHORT(0)), b = t.QueryIndex(USHORT(1));
        ASSERT_NE(a, nullptr);
        ASSERT_NE(b, nullptr);
        EXPECT_EQ(t.QueryKeyLength(a), 38);
        EXPECT_EQ(a->flags, 3);                           // 50 >> 4
        EXPECT_EQ(b->flags, 7);                           // 114 >> 4
        EXPECT_TRUE(exists("DESC.I01") && exists("DESC.I02"));
        add(t, "x", "20200101", "5");
        ULONG r = add(t, "y", "20200101", "5");
        EXPECT_FALSE(t.CheckUnique(r));
        t.Close();
        // A description whose fields differ from the table's is refused.
        writeAbd("DESC.abd", v01, {});
        std::fstream f("DESC.abd", std::ios::in | std::ios::out | std::ios::binary);
        f.seekp((v01 ? 536 : 144) + 12);
        f.put(31);   // NAME length 31 instead of 30
        f.close();
        EXPECT_FALSE(t.Open("DESC", 0, 0));
        EXPECT_EQ(t.GetLastError(), (ULONG)DBX_ERR_MISMATCH);
    }
    std::ofstream("BAD.abd") << "ABD2";
    OcDbx t;
    EXPECT_FALSE(t.Open("BAD", 0, 0));
    EXPECT_FALSE(t.Open("NOTHERE", 0, 0));
}

TEST(DbxEngine, AttachingEnginesAndTheTimeOut)
{
    PDBXVTBL builtin = DbxGetEngineVtbl(0);
    ASSERT_NE(builtin, nullptr);
    EXPECT_EQ(DbxGetEngineVtbl(1), nullptr);
    EXPECT_EQ(DbxGetVtbl(), builtin);
    EXPECT_EQ(builtin->Init, nullptr);
    EXPECT_EQ(builtin->Term, nullptr);
    EXPECT_EQ(DbxAttachEngine("", 0), 1u);
    EXPECT_EQ(DbxGetVtbl(), builtin);
    EXPECT_EQ(DbxAttachEngine("no_such_engine.dll", 0), 0u);
    EXPECT_EQ(DbxGetVtbl(), builtin);
    EXPECT_EQ(DbxAttachEngine("kernel32.dll", 0), 0u);   // loads, but exports no table
    EXPECT_EQ(DbxAttachEngine(nullptr, 5), 0u);          // the built-in knows parameter 0 only
    EXPECT_EQ(DbxGetVtbl(), builtin);

    ULONG old = DbxSetTransactionTimeout(300);
    EXPECT_EQ(old, 20000u);
    removeTable("TXN");
    OcDbx t;
    ASSERT_TRUE(t.Create("TXN", kOrder, 3, 1));
    ASSERT_NE(t.AttachIndex(0, nullptr, kName, 1, kMaintained | DBX_ATTACH_CREATE, 1), nullptr);
    add(t, "k", "20200101");
    OcDbf holder;
    ASSERT_TRUE(holder.Open("TXN.DBF", 1));
    ASSERT_TRUE(holder.StartTransaction());
    ASSERT_TRUE(t.Read(1, 1));
    t.SetField("QTY", "5");                      // no key moves: no transaction needed
    EXPECT_TRUE(t.WriteCmd(1, DBX_WRITE_UNLOCK));
    ASSERT_TRUE(t.Read(1, 1));
    t.SetField("NAME", "m");                     // a key moves: waits for the flag, then gives up
    DWORD start = GetTickCount();
    EXPECT_FALSE(t.WriteCmd(1, DBX_WRITE_UNLOCK));
    EXPECT_GE(GetTickCount() - start, 250u);
    holder.EndTransaction();
    EXPECT_TRUE(t.WriteCmd(1, DBX_WRITE_UNLOCK));
    EXPECT_EQ(walk(t), std::vector<std::string>{"m"});
    EXPECT_EQ(DbxSetTransactionTimeout(old), 300u);
    t.Close();
}

TEST(DbxCopy, CopyKeepsFieldsAndStates)
{
    removeTable("SRC");
    removeTable("DST");
    {
        OcDbx t;
        ASSERT_TRUE(t.Create("SRC", kOrder, 3));
        add(t, "one", "20200101", "1");
        add(t, "two", "20200102", "2");
        add(t, "three", "20200103", "3");
        ASSERT_TRUE(t.DeleteRecord(2));
        ASSERT_TRUE(t.DeleteRecord(3, 1, 1));
    }
    EXPECT_EQ(DbxCopyTableEx("SRC", "DST", 1, nullptr, ""), 0);
    OcDbx d;
    ASSERT_TRUE(d.Open("DST", nullptr, 0, 0));
    ASSERT_EQ(d.QueryNrRecords(), 3u);
    ASSERT_TRUE(d.ReadFast(3));
    EXPECT_EQ(field(d, "NAME"), "three");
    EXPECT_EQ(field(d, "QTY"), "3");
    EXPECT_FALSE(d.QueryDeleted(1));
    EXPECT_TRUE(d.QueryDeleted(2));
    EXPECT_TRUE(d.QueryFlags(3, DBX_FLAG_FROZEN));
    d.Close();
    EXPECT_EQ(DbxCopyTableEx("SRC", "DST", 1, nullptr, nullptr), DBX_ERR_EXISTS);
    EXPECT_NE(DbxCopyTableEx("SRC", "DST2", 1, "no_such_engine.dll", nullptr), 0);
    EXPECT_EQ(DbxGetVtbl()->FileOp(DBX_FILE_COPY, "SRC", "SRC2", 0), 0);
    EXPECT_TRUE(exists("SRC2.DBF"));
    EXPECT_EQ(DbxGetVtbl()->FileOp(DBX_FILE_MOVE, "SRC2", "SRC3", 0), 0);
    EXPECT_FALSE(exists("SRC2.DBF"));
    EXPECT_EQ(DbxGetVtbl()->FileOp(DBX_FILE_CHECK, "SRC3", nullptr, 0), 0);
    removeTable("SRC3");
    EXPECT_EQ(DbxGetVtbl()->FileOp(DBX_FILE_CHECK, "SRC3", nullptr, 0), 2);
}

TEST(DbxBadCalls, DeadTablesAndBadArgumentsAnswerFailures)
{
    PDBXVTBL v = DbxGetVtbl();
    DBXGROUP fake{};
    EXPECT_EQ(v->Read(&fake, 1, 0), DBX_FAILED);
    EXPECT_EQ(v->Read(nullptr, 1, 0), DBX_FAILED);
    EXPECT_EQ(v->FirstRec(&fake, nullptr), DBX_NO_RECORD);
    EXPECT_EQ(v->QueryBuffer(&fake), nullptr);
    EXPECT_EQ(v->Close(&fake), DBX_FAILED);
    EXPECT_EQ(DbxQueryPerformanceCounter(&fake, 15, 1), 0u);
    ULONG err = 0;
    EXPECT_EQ(v->Open(nullptr, nullptr, 0, 0, 0, &err), nullptr);
    EXPECT_EQ(v->Open("NO_TABLE", nullptr, 0, 0, 0, &err), nullptr);
    EXPECT_EQ(err, 2u);
    OcDbx t;
    EXPECT_EQ(t.FirstRec(), DBX_NO_RECORD);
    EXPECT_EQ(t.GetLastError(), (ULONG)ORIN_ERR_INVALID_HANDLE);
    removeTable("BADC");
    ASSERT_TRUE(t.Create("BADC", kOrder, 3));
    PDBXGROUP closed = t;
    EXPECT_EQ(t.FirstRec(), DBX_NO_RECORD);              // no index at all
    EXPECT_FALSE(t.Read(7));
    EXPECT_EQ(t.AttachIndex(0, nullptr, nullptr, 0, kMaintained, 0), nullptr);
    EXPECT_FALSE(t.SetCurrentIndex((PDBFIX)&fake));
    EXPECT_FALSE(t.WriteCmd(1, (DBX_WRITECMD)7));
    t.Close();
    EXPECT_EQ(v->Read(closed, 1, 0), DBX_FAILED);
}

}  // namespace

namespace {

TEST(DbxEngine, EngineFromAModuleRunsItsInitialiserAndTerminator)
{
    HMODULE keep = LoadLibraryA("fake_dbx_engine.dll");   // keeps the counters alive between attachments
    ASSERT_NE(keep, nullptr);
    auto counts = reinterpret_cast<void (*)(int *, int *)>(GetProcAddress(keep, "FakeEngineCounts"));
    int inits = 0, terms = 0;
    PDBXVTBL builtin = DbxGetEngineVtbl(0);

    ASSERT_EQ(DbxAttachEngine("fake_dbx_engine.dll", 0), 1u);
    counts(&inits, &terms);
    EXPECT_EQ(inits, 1);
    EXPECT_EQ(terms, 0);
    EXPECT_NE(DbxGetVtbl(), builtin);
    EXPECT_EQ(DbxGetVtbl()->Term != nullptr, true);
    {
        removeTable("FAKE");
        OcDbx t;   // every call goes through the module's table
        ASSERT_TRUE(t.Create("FAKE", kOrder, 3));
        EXPECT_EQ(add(t, "x", "20200101"), 1u);
    }
    ASSERT_EQ(DbxAttachEngine(nullptr, 0), 1u);
    counts(&inits, &terms);
    EXPECT_EQ(terms, 1);
    EXPECT_EQ(DbxGetVtbl(), builtin);

    EXPECT_EQ(DbxAttachEngine("fake_dbx_engine.dll", 7), 0u);   // initialiser says no
    counts(&inits, &terms);
    EXPECT_EQ(inits, 2);
    EXPECT_EQ(DbxGetVtbl(), builtin);
    EXPECT_EQ(DbxAttachEngine("fake_dbx_engine.dll", 9), 0u);   // no table
    EXPECT_EQ(DbxGetVtbl(), builtin);
    FreeLibrary(keep);
}

}  // namespace
