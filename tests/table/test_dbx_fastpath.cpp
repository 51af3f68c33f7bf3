// The table layer's fast paths (plain positioned I/O, one header lock held
// across an engine transaction) against the step-by-step way:
// - the same random workload of appends, locking reads, writes of indexed
//   and plain fields with every write command, deletes, undeletes, look-ups
//   and walks runs once each way, shared and unshared, and every answer,
//   field and byte of the table and index files must agree;
// - the lock round trips and I/O calls of single calls are counted against
//   the protocol's own numbers;
// - an engine write that meets another handle's transaction waits without
//   holding the header lock, times out, and leaves that transaction alone.
#include <gtest/gtest.h>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <random>
#include <string>
#include <vector>
#include "ocdbf.h"
#include "ocdbx.h"
#include "table/dbf_table.h"
#include "dbxtest.h"

namespace {

namespace table = orin::table;

using dbxtest::field;

const DBXFIELDDES kFields[] = {field("NAME", 'C', 8), field("CODE", 'C', 4), field("QTY", 'N', 5)};
const char *kByName[] = {"NAME"};
const char *kByCode[] = {"CODE"};
constexpr ULONG kAttach = DBX_ATTACH_CREATE | DBX_ATTACH_MAINTAIN | DBX_ATTACH_ENTERNEW;

std::vector<char> bytesOf(const std::string &file)
{
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

/* Restores the fast paths whatever a test does. */
struct FastPaths {
    explicit FastPaths(bool on) { table::setFastPaths(on); }
    ~FastPaths() { table::setFastPaths(true); }
};

std::string fieldOf(OcDbx &t, const char *name)
{
    char buf[16] = "";
    t.QueryField(name, buf, sizeof buf);
    return buf;
}

/* Runs the seeded workload on a new table and returns every answer. */
std::vector<std::string> workload(const char *name, bool shared, unsigned seed)
{
    std::vector<std::string> log;
    auto note = [&](const char *what, unsigned long v) {
        log.push_back(std::string(what) + " " + std::to_string(v));
    };
    DbxGetVtbl()->FileOp(DBX_FILE_DELETE, name, nullptr, 0);
    OcDbx t;
    if (!t.Create(name, kFields, 3, shared) ||
        !t.AttachIndex(0, nullptr, kByName, 1, kAttach, shared) ||
        !t.AttachIndex(1, nullptr, kByCode, 1, kAttach | DBX_ATTACH_CASE, shared))
        return {"cannot create"};
    std::mt19937 rng(seed);
    auto pick = [&](unsigned n) { return unsigned(rng() % n); };
    auto word = [&](unsigned len) {
        std::string s;
        for (unsigned i = 0; i < len; ++i)
            s += "abAB"[pick(4)];
        return s;
    };
    for (int step = 0; step < 400; ++step) {
        ULONG count = t.QueryNrRecords();
        ULONG rec = count ? 1 + pick(count) : 0;
        switch (count < 5 ? 0 : pick(7)) {
        case 0: {
            t.ClearBuffer();
            t.SetField("NAME", word(3).c_str());
            t.SetField("CODE", word(2).c_str());
            t.SetField("QTY", std::to_string(step).c_str());
            ULONG lock = pick(2);
            ULONG r = t.Append(lock);
            note("append", r);
            if (lock)
                note("release", t.WriteCmd(r, DBX_WRITE_UNLOCK));
            break;
        }
        case 1:
        case 2: {
            note("lockread", t.Read(rec, 1));
            if (pick(2))
                t.SetField("NAME", word(3).c_str());
            if (pick(2))
                t.SetField("CODE", word(2).c_str());
            t.SetField("QTY", std::to_string(step).c_str());
            auto cmd = DBX_WRITECMD(pick(4));
            note("write", t.WriteCmd(rec, cmd));
            if (cmd == DBX_WRITE_KEEPLOCK)
                note("rewrite", t.WriteCmd(rec, DBX_WRITE_UNLOCK));
            break;
        }
        case 3:
            note("delete", t.DeleteRecordIx(rec, pick(2), 0));
            break;
        case 4: {
            note("search", t.SearchKeyExact(word(pick(3) + 1).c_str()));
            log.push_back(fieldOf(t, "NAME") + fieldOf(t, "QTY"));
            break;
        }
        case 5: {
            PDBFIX ix = t.QueryIndex(USHORT(pick(2)));
            std::string order;
            for (ULONG r = t.FirstRec(ix); r != 0 && r != DBX_NO_RECORD; r = t.NextRec(ix))
                order += std::to_string(r) + fieldOf(t, "CODE") + ",";
            log.push_back(order);
            break;
        }
        default:
            note("readfast", t.ReadFast(rec));
            log.push_back(fieldOf(t, "NAME") + fieldOf(t, "CODE"));
            break;
        }
    }
    note("records", t.QueryNrRecords());
    t.Close();
    return log;
}

void sameBothWays(bool shared)
{
    ULONG oldTimeout = DbxSetTransactionTimeout(1000);   /* a stuck flag fails fast */
    for (unsigned seed : {1u, 2u, 3u}) {
        std::vector<std::string> fast, slow;
        {
            FastPaths on(true);
            fast = workload("FPON", shared, seed);
        }
        {
            FastPaths off(false);
            slow = workload("FPOFF", shared, seed);
        }
        ASSERT_GT(fast.size(), 400u);
        EXPECT_EQ(fast, slow) << "seed " << seed;
        for (const char *ext : {".DBF", ".I01", ".I02"}) {
            auto a = bytesOf(std::string("FPON") + ext), b = bytesOf(std::string("FPOFF") + ext);
            EXPECT_GT(a.size(), 0u) << ext;
            EXPECT_TRUE(a == b) << ext << " differs, seed " << seed;
        }
    }
    DbxGetVtbl()->FileOp(DBX_FILE_DELETE, "FPON", nullptr, 0);
    DbxGetVtbl()->FileOp(DBX_FILE_DELETE, "FPOFF", nullptr, 0);
    DbxSetTransactionTimeout(oldTimeout);
}

TEST(DbxFastPath, SharedWorkloadGivesTheSameAnswersAndBytes) { sameBothWays(true); }
TEST(DbxFastPath, UnsharedWorkloadGivesTheSameAnswersAndBytes) { sameBothWays(false); }

/* Lock round trips and I/O calls of one call on a shared table with a
 * maintained index, the index file's own lock aside. */
struct Cost {
    uint32_t locks, reads, writes;
};

Cost costOf(const std::function<void()> &call)
{
    table::resetIoCounts();
    call();
    auto c = table::ioCounts();
    return {c.lockPairs, c.reads, c.writes};
}

TEST(DbxFastPath, CallsCostTheProtocolsLockRoundTrips)
{
    for (bool fast : {true, false}) {
        FastPaths mode(fast);
        DbxGetVtbl()->FileOp(DBX_FILE_DELETE, "FPCOST", nullptr, 0);
        OcDbx t;
        ASSERT_TRUE(t.Create("FPCOST", kFields, 3, 1));
        ASSERT_NE(t.AttachIndex(0, nullptr, kByName, 1, kAttach, 1), nullptr);
        t.ClearBuffer();
        t.SetField("NAME", "first");
        // transaction flag read + set, count read, record write, count
        // write, flag clear: under one header lock, or three
        Cost append = costOf([&] { EXPECT_EQ(t.Append(0), 1u); });
        EXPECT_EQ(append.locks, fast ? 1u : 3u);
        EXPECT_EQ(append.reads, 2u);
        EXPECT_EQ(append.writes, 4u);

        // a locking read: the record lock, the record, its status byte back
        Cost read = costOf([&] { EXPECT_TRUE(t.Read(1, 1)); });
        EXPECT_EQ(read.locks, 1u);
        EXPECT_EQ(read.reads, 1u);
        EXPECT_EQ(read.writes, 1u);

        // a write that moves an index entry: transaction and record lock
        t.SetField("NAME", "second");
        Cost write = costOf([&] { EXPECT_TRUE(t.WriteCmd(1, DBX_WRITE_UNLOCK)); });
        EXPECT_EQ(write.locks, fast ? 2u : 3u);
        EXPECT_EQ(write.writes, 3u);

        // a plain field: no transaction, only the record lock
        EXPECT_TRUE(t.Read(1, 1));
        t.SetField("QTY", "5");
        Cost plain = costOf([&] { EXPECT_TRUE(t.WriteCmd(1, DBX_WRITE_UNLOCK)); });
        EXPECT_EQ(plain.locks, 1u);
        EXPECT_EQ(plain.reads, 0u);

        // a look-up reads the record found and takes no table lock
        Cost look = costOf([&] { EXPECT_EQ(t.SearchKeyExact("SECOND"), 1u); });
        EXPECT_EQ(look.locks, 0u);
        EXPECT_EQ(look.reads, 1u);
        EXPECT_EQ(fieldOf(t, "QTY"), "5    ");
        t.Close();
    }
    DbxGetVtbl()->FileOp(DBX_FILE_DELETE, "FPCOST", nullptr, 0);
}

uint8_t transactionByte(const char *file)
{
    auto b = bytesOf(file);
    return b.size() > 14 ? uint8_t(b[14]) : 0xFF;
}

TEST(DbxFastPath, BusyTransactionIsWaitedForWithoutTheHeaderLock)
{
    FastPaths on(true);
    DbxGetVtbl()->FileOp(DBX_FILE_DELETE, "FPBUSY", nullptr, 0);
    OcDbx t;
    ASSERT_TRUE(t.Create("FPBUSY", kFields, 3, 1));
    ASSERT_NE(t.AttachIndex(0, nullptr, kByName, 1, kAttach, 1), nullptr);
    OcDbf other;
    ASSERT_TRUE(other.Open("FPBUSY.DBF", 1));
    ASSERT_TRUE(other.StartTransaction());
    ULONG old = DbxSetTransactionTimeout(450);
    t.ClearBuffer();
    t.SetField("NAME", "late");
    EXPECT_EQ(t.Append(0), DBX_NO_RECORD);
    EXPECT_EQ(t.GetLastError(), ULONG(ORIN_ERR_LOCK_VIOLATION));
    // the flag is still the other handle's, and the header lock is free
    EXPECT_EQ(transactionByte("FPBUSY.DBF"), 1);
    EXPECT_EQ(other.QueryNrRecords(), 0u);
    EXPECT_TRUE(other.EndTransaction());
    EXPECT_EQ(transactionByte("FPBUSY.DBF"), 0);
    EXPECT_EQ(t.Append(0), 1u);
    EXPECT_EQ(transactionByte("FPBUSY.DBF"), 0);
    EXPECT_EQ(t.SearchKeyExact("LATE"), 1u);
    DbxSetTransactionTimeout(old);
    other.Close();
    t.Close();
    DbxGetVtbl()->FileOp(DBX_FILE_DELETE, "FPBUSY", nullptr, 0);
}

}  // namespace
