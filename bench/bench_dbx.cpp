// bench_dbx - table throughput through OcDbx and the built-in engine.
//
// A table with a 12-byte NAME and a 6-byte QTY field and one maintained
// index on NAME: append N records in random key order, look up every key
// (SearchKeyExact) in random order, walk the whole index in order, and
// update QTY of every record in random order (locking read + write).
// Printed per phase: operations per second, and next to it the same work
// on a std::map<std::string, record> in the same run (the floor: what an
// in-memory map costs for the same keys).  Shared tables take byte-range
// locks on every call, so the shared run also times lock/unlock pairs on
// a scratch file in the same run (the ceiling a single locked call could
// reach) and prints each shared phase as a multiple of one such pair.
//
// The locking protocol itself needs per operation: append with a
// maintained index 2 lock round trips (the table header lock, held across
// the transaction, and the index lock), lookup and walk 1 (the index
// lock; the record is read without one), update 2 (the locking read and
// the write each take the record lock).  The shared run prints that need
// and the measured cost as a multiple of it.
//
// An argument "unshared" or "shared" runs only those cases.
#include <windows.h>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>
#include "ocdbx.h"

namespace {

constexpr unsigned FULL_RECORDS = 100000;
constexpr unsigned SHARED_RECORDS = 20000;
constexpr unsigned LOCK_PAIRS = 20000;

double now()
{
    LARGE_INTEGER f, c;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&c);
    return double(c.QuadPart) / double(f.QuadPart);
}

DBXFIELDDES field(const char *name, char type, USHORT length)
{
    DBXFIELDDES f{};
    std::strncpy(f.name, name, sizeof f.name - 1);
    f.type = type;
    f.length = length;
    return f;
}

std::string keyOf(unsigned i)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "K%010u", i * 2654435761u);
    return buf;
}

/* Seconds of one lock/unlock pair on a scratch file. */
double lockPairSeconds()
{
    HANDLE h = CreateFileA("bench_dbx.lck", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                           nullptr, CREATE_ALWAYS, 0, nullptr);
    double t0 = now();
    for (unsigned i = 0; i < LOCK_PAIRS; ++i) {
        OVERLAPPED ov{};
        ov.Offset = 4;
        LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 4, 0, &ov);
        UnlockFileEx(h, 0, 4, 0, &ov);
    }
    double t = (now() - t0) / LOCK_PAIRS;
    CloseHandle(h);
    DeleteFileA("bench_dbx.lck");
    return t;
}

struct Phase {
    const char *name;
    double seconds, floorSeconds;
    unsigned lockPairsNeeded;
};

void run(bool shared)
{
    unsigned n = shared ? SHARED_RECORDS : FULL_RECORDS;
    std::vector<unsigned> order(n);
    for (unsigned i = 0; i < n; ++i)
        order[i] = i;
    std::mt19937 rng(7);
    std::shuffle(order.begin(), order.end(), rng);

    DbxGetVtbl()->FileOp(DBX_FILE_DELETE, "BENCHDBX", nullptr, 0);
    const DBXFIELDDES fields[] = {field("NAME", 'C', 12), field("QTY", 'N', 6)};
    const char *byName[] = {"NAME"};
    OcDbx t;
    if (!t.Create("BENCHDBX", fields, 2, shared) ||
        !t.AttachIndex(0, nullptr, byName, 1,
                       DBX_ATTACH_CREATE | DBX_ATTACH_MAINTAIN | DBX_ATTACH_ENTERNEW, shared)) {
        std::printf("cannot create the table: %lu\n", t.GetLastError());
        return;
    }
    std::map<std::string, std::pair<unsigned, std::string>> map;
    std::vector<Phase> phases;
    double t0;

    t0 = now();
    for (unsigned i : order) {
        t.ClearBuffer();
        t.SetField("NAME", keyOf(i).c_str());
        t.SetField("QTY", "0");
        t.Append(0);
    }
    double s = now() - t0;
    t0 = now();
    unsigned rec = 0;
    for (unsigned i : order)
        map.emplace(keyOf(i), std::make_pair(++rec, std::string("0")));
    phases.push_back({"append", s, now() - t0, 2});

    std::shuffle(order.begin(), order.end(), rng);
    unsigned found = 0;
    t0 = now();
    for (unsigned i : order)
        found += t.SearchKeyExact(keyOf(i).c_str()) != DBX_NO_RECORD;
    s = now() - t0;
    t0 = now();
    unsigned mapFound = 0;
    for (unsigned i : order)
        mapFound += map.count(keyOf(i)) != 0;
    phases.push_back({"lookup", s, now() - t0, 1});

    t0 = now();
    unsigned walked = 0;
    for (ULONG r = t.FirstRec(); r != 0 && r != DBX_NO_RECORD; r = t.NextRec())
        ++walked;
    s = now() - t0;
    t0 = now();
    unsigned mapWalked = 0;
    for (auto &kv : map)
        mapWalked += kv.second.first != 0;
    phases.push_back({"walk", s, now() - t0, 1});

    t0 = now();
    for (unsigned r = 1; r <= n; ++r) {
        ULONG record = order[r - 1] + 1;
        t.Read(record, 1);
        t.SetField("QTY", "7");
        t.WriteCmd(record, DBX_WRITE_UNLOCK);
    }
    s = now() - t0;
    t0 = now();
    for (unsigned i : order)
        map[keyOf(i)].second = "7";
    phases.push_back({"update", s, now() - t0, 2});
    t.Close();

    double lock = shared ? lockPairSeconds() : 0;
    std::printf("%s table, %u records (found %u/%u, walked %u/%u)\n", shared ? "shared" : "unshared", n,
                found, mapFound, walked, mapWalked);
    std::printf("  %-8s %12s %14s %10s%s\n", "phase", "ops/s", "std::map ops/s", "map x",
                shared ? "   lock pairs per op  needed  x needed" : "");
    for (auto &p : phases) {
        std::printf("  %-8s %12.0f %14.0f %10.1f", p.name, n / p.seconds, n / p.floorSeconds,
                    p.seconds / p.floorSeconds);
        if (shared)
            std::printf("   %18.2f  %6u  %8.2f", (p.seconds / n) / lock, p.lockPairsNeeded,
                        (p.seconds / n) / lock / p.lockPairsNeeded);
        std::printf("\n");
    }
    if (shared)
        std::printf("  one lock/unlock pair: %.1f us\n", lock * 1e6);
    DbxGetVtbl()->FileOp(DBX_FILE_DELETE, "BENCHDBX", nullptr, 0);
}

}  // namespace

int main(int argc, char **argv)
{
    bool onlyShared = argc > 1 && std::strcmp(argv[1], "shared") == 0;
    bool onlyUnshared = argc > 1 && std::strcmp(argv[1], "unshared") == 0;
    if (!onlyShared)
        run(false);
    if (!onlyUnshared)
        run(true);
    return 0;
}
