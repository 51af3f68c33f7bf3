// bench_ixd - index file throughput and shape for a million keys.
//
// For 8-byte and 32-byte keys, entered in ascending and in random order,
// on a real file through the buffered back-end: enter every key, look up
// every key in random order, walk the whole index in order, remove every
// key in random order.  Printed per run: operations per second, file node
// reads (and cache hits) per lookup from the handle's performance counters,
// and the file size against the key data it holds (stored key + record
// number per pair; the ratio is the inverse of the fill factor).  Unshared
// handles keep a write-back cache; shared handles lock, synchronise and
// write through on every call, which is much slower, so the shared runs
// may use fewer keys (the count is printed).  A std::multimap<key, record>
// doing the same operations in memory in the same run is the ceiling; the
// last column is how many times faster it is.
//
// Every call costs system calls: a node that neither the handle's small
// cache nor the buffered files' page cache holds is read from the file
// (an unshared index, opened to deny all sharing, is read through a mapped
// view instead: those reads are printed as view reads and cost no call),
// a dirty node pushed out of the cache is written back, and a shared call
// also reads the version bytes and writes what a change must write (the
// header twice, each changed node).  The buffered files count those calls, so each phase
// prints them per call, and the same kinds of calls are timed on a plain
// file - seeks, seeks with a read (a node, or the version's 2 bytes when
// shared) and seeks with a node-sized write.  The floor of a call is its
// system calls at those rates, and each figure is printed as a fraction of
// it.  Shared phases time them alongside the calls (after every LOCK_CHUNK
// calls, as many of each, timed apart), so that both figures see the same
// load on the machine; unshared phases time them right after the phase:
// interleaved, the plain file's megabytes of transfers would push the
// index's nodes out of the processor's caches and slow the calls measured
// (by about 15% for lookups here).
//
// Shared handles also take and release the index lock around every call,
// so their ceiling is a lock/unlock pair of the index lock range (shared
// pairs for the read calls, exclusive ones for changes), timed alongside
// in the same way; each shared figure is printed as a fraction of it, and
// the shared floor adds one pair to the system calls.
// The process's peak working set ends the output (most of it is the
// multimap's; the index holds its node cache, the page cache and the view's
// pages it touched).
//
// An argument "unshared" or "shared" runs only those cases; a second one,
// a key length (8 or 32), only the runs with that length.
#include <windows.h>
#include <psapi.h>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>
#include "ixd.h"
#include "knlnam.h"
#include "vbf.h"
#include "vfile/fbfint.h"

namespace {

constexpr unsigned FULL_KEYS = 1000000;
constexpr unsigned SHARED_KEYS = 100000;
constexpr const char *FILE_NAME = "bench_ixd.ixd";
constexpr const char *LOCK_FILE_NAME = "bench_ixd.lck";
constexpr unsigned NODE_READS = 200000;
constexpr unsigned LOCK_CHUNK = 500;
constexpr unsigned APART_CHUNKS = 40;            /* floor rounds after an unshared phase */
constexpr ULONG INDEX_LOCK_OFFSET = 0x8000000;   /* the index lock range */
constexpr ULONG INDEX_LOCK_LENGTH = 12;
constexpr const char *RAW_FILE_NAME = "bench_ixd.raw";
/* The plain file is about as large as the index, so that its reads come
 * from memory as scattered as the index's. */
constexpr ULONG RAW_FILE_PAGES = 8192;
constexpr DWORD VERSION_BYTES = 2;

double now()
{
    LARGE_INTEGER f, c;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&c);
    return (double)c.QuadPart / (double)f.QuadPart;
}

/* Key number v as keyLen bytes: zero-padded decimal, so that the byte
 * order is the numeric order. */
std::string keyOf(unsigned v, USHORT keyLen)
{
    char k[40];
    snprintf(k, sizeof k, "%0*u", (int)keyLen, v);
    return std::string(k, keyLen);
}

struct Timings {
    double enter, lookup, walk, remove;   /* operations per second */
};


HVBF openVbf(const char *name, ULONG flags)
{
    HVBF h = nullptr;
    ULONG action = 0;
    if (VbfOpen(KnlNamGetDefaultNS(), name, &h, &action, 0, VBF_ATTR_NORMAL, flags,
                VBF_MODE_READWRITE | VBF_SHARE_DENY_NONE, nullptr) != 0)
        return nullptr;
    return h;
}

/* Per-call costs of the system calls a shared call makes, in seconds. */
struct SysCosts {
    double seek = 0, read = 0, write = 0;
};

/* System calls the buffered files made, per call of a phase. */
struct SysCalls {
    double seeks = 0, reads = 0, writes = 0;
    double viewReads = 0;      /* reads served by a read view: no system call */
};

FBFCACHESTATS fbfStats()
{
    FBFCACHESTATS st;
    FbfQueryCacheStats(&st);
    return st;
}

/* Times one phase of calls.  With a lock file, every LOCK_CHUNK calls
 * are followed by as many lock/unlock pairs of the index lock range on it
 * (shared or exclusive, through a Vbf handle as the index takes them),
 * and as many seeks, seeks with a version-sized read and seeks with a
 * node-sized write on a plain file, each timed apart from the calls.
 * Without one, APART_CHUNKS rounds of those system calls follow the
 * phase. */
class Phase {
public:
    Phase(HVBF lockFile, HANDLE rawFile, ULONG exclusive)
        : lockFile_(lockFile), rawFile_(rawFile), exclusive_(exclusive),
          readBytes_(lockFile != nullptr ? VERSION_BYTES : IXD_DEFAULT_NODE_SIZE)
    {
        FBFCACHESTATS st = fbfStats();
        seeks_ = st.osSeeks;
        reads_ = st.osReads;
        writes_ = st.osWrites;
        viewReads_ = st.viewReads;
        start_ = now();
    }
    void called()
    {
        if (++calls_ % LOCK_CHUNK == 0 && lockFile_ != nullptr) {
            callTime_ += now() - start_;
            lockPairs();
            sysCalls();
            start_ = now();
        }
    }
    double callRate()
    {
        callTime_ += now() - start_;
        if (lockFile_ == nullptr)
            for (unsigned i = 0; i < APART_CHUNKS; i++)
                sysCalls();
        FBFCACHESTATS st = fbfStats();
        perCall_.seeks = (double)(st.osSeeks - seeks_) / calls_;
        perCall_.reads = (double)(st.osReads - reads_) / calls_;
        perCall_.writes = (double)(st.osWrites - writes_) / calls_;
        perCall_.viewReads = (double)(st.viewReads - viewReads_) / calls_;
        start_ = now();
        return calls_ / callTime_;
    }
    double pairRate() const { return pairTime_ > 0 ? pairs_ / pairTime_ : 0; }
    SysCalls perCall() const { return perCall_; }
    SysCosts costs() const
    {
        SysCosts c;
        if (sysRounds_ == 0)
            return c;
        c.seek = seekTime_ / sysRounds_;
        c.read = readTime_ / sysRounds_ - c.seek;
        c.write = writeTime_ / sysRounds_ - c.seek;
        return c;
    }

private:
    void lockPairs()
    {
        double s = now();
        for (unsigned i = 0; i < LOCK_CHUNK; i++) {
            FILELOCK lock = {INDEX_LOCK_OFFSET, INDEX_LOCK_LENGTH, exclusive_};
            FILELOCK unlock = {INDEX_LOCK_OFFSET, INDEX_LOCK_LENGTH, 0};
            pairs_ += VbfFileLocksEx(lockFile_, nullptr, &lock) == 0 &&
                      VbfFileLocks(lockFile_, &unlock, nullptr) == 0;
        }
        pairTime_ += now() - s;
    }
    /* Seeks to scattered pages of the plain file, alone, then each with a
     * read (of the version's size when shared, a node when not, as the
     * calls read), then each with a node-sized write. */
    void sysCalls()
    {
        if (rawFile_ == INVALID_HANDLE_VALUE)
            return;
        static BYTE node[IXD_DEFAULT_NODE_SIZE];
        DWORD n = 0;
        ULONG first = sysRounds_;
        auto seekTo = [&](unsigned i) {
            LARGE_INTEGER at;
            at.QuadPart = (LONGLONG)((first + i) * 7919u % RAW_FILE_PAGES) * IXD_DEFAULT_NODE_SIZE;
            SetFilePointerEx(rawFile_, at, nullptr, FILE_BEGIN);
        };
        double s = now();
        for (unsigned i = 0; i < LOCK_CHUNK; i++)
            seekTo(i);
        double t = now();
        seekTime_ += t - s;
        for (unsigned i = 0; i < LOCK_CHUNK; i++) {
            seekTo(i);
            ReadFile(rawFile_, node, readBytes_, &n, nullptr);
        }
        s = now();
        readTime_ += s - t;
        for (unsigned i = 0; i < LOCK_CHUNK; i++) {
            seekTo(i);
            WriteFile(rawFile_, node, sizeof node, &n, nullptr);
        }
        writeTime_ += now() - s;
        sysRounds_ += LOCK_CHUNK;
    }

    HVBF lockFile_;
    HANDLE rawFile_;
    ULONG exclusive_;
    DWORD readBytes_;
    double start_, callTime_ = 0, pairTime_ = 0;
    double seekTime_ = 0, readTime_ = 0, writeTime_ = 0;
    unsigned calls_ = 0, pairs_ = 0, sysRounds_ = 0;
    ULONG64 seeks_, reads_, writes_, viewReads_;
    SysCalls perCall_;
};

/* What one shared phase measured. */
struct PhaseFigures {
    double rate = 0;          /* calls per second */
    double pairRate = 0;      /* lock/unlock pairs per second alongside */
    SysCalls perCall;
    SysCosts costs;
};

/* The shared phases' figures. */
struct LockCeiling {
    PhaseFigures enter, lookup, walk, remove;
};

PhaseFigures finish(Phase &p)
{
    PhaseFigures f;
    f.rate = p.callRate();
    f.pairRate = p.pairRate();
    f.perCall = p.perCall();
    f.costs = p.costs();
    return f;
}

struct Workload {
    USHORT keyLen;
    std::vector<std::string> keys;        /* keys[v] is key number v */
    std::vector<unsigned> enterOrder, lookupOrder, removeOrder;
};

Workload makeWorkload(unsigned n, USHORT keyLen, bool ascending)
{
    Workload w;
    w.keyLen = keyLen;
    for (unsigned v = 0; v < n; v++)
        w.keys.push_back(keyOf(v, keyLen));
    std::vector<unsigned> seq(n);
    for (unsigned v = 0; v < n; v++)
        seq[v] = v;
    w.enterOrder = w.lookupOrder = w.removeOrder = seq;
    if (!ascending)
        std::shuffle(w.enterOrder.begin(), w.enterOrder.end(), std::mt19937(1));
    std::shuffle(w.lookupOrder.begin(), w.lookupOrder.end(), std::mt19937(2));
    std::shuffle(w.removeOrder.begin(), w.removeOrder.end(), std::mt19937(3));
    return w;
}

unsigned long fileSize(const char *name)
{
    WIN32_FILE_ATTRIBUTE_DATA a;
    return GetFileAttributesExA(name, GetFileExInfoStandard, &a) ? a.nFileSizeLow : 0;
}

/* Runs the phases; lockFile is null for unshared runs, else the file the
 * ceiling's lock pairs are taken on (and rawFile the plain file the
 * system calls are timed on). */
bool runIndex(const Workload &w, ULONG shared, HVBF lockFile, HANDLE rawFile, Timings *t,
              LockCeiling *c)
{
    const unsigned n = (unsigned)w.keys.size();
    ULONG err = 0, rec = 0, bad = 0;
    DeleteFileA(FILE_NAME);
    PIX ix = IxdCreate(FILE_NAME, w.keyLen, shared, 0, 0, nullptr, &err);
    if (!ix) {
        printf("  create failed: %lu\n", (unsigned long)err);
        return false;
    }
    Phase enter(lockFile, rawFile, 1);
    for (unsigned v : w.enterOrder) {
        bad += IxdEnter(ix, w.keys[v].data(), v, &err) != 0;
        enter.called();
    }
    c->enter = finish(enter);
    t->enter = c->enter.rate;

    IxdQueryPerformanceCounter(ix, ~0UL, 1);
    std::string out(w.keyLen, '\0');
    Phase lookup(lockFile, rawFile, 0);
    for (unsigned v : w.lookupOrder) {
        bad += IxdSearch(ix, w.keys[v].data(), &out[0], &rec, &err) != 0 || rec != v;
        lookup.called();
    }
    c->lookup = finish(lookup);
    t->lookup = c->lookup.rate;
    double reads = IxdQueryPerformanceCounter(ix, IXD_COUNT_NODE_READS, 0) / (double)n;
    double hits = IxdQueryPerformanceCounter(ix, IXD_COUNT_CACHE_HITS, 0) / (double)n;

    unsigned seen = 0;
    Phase walk(lockFile, rawFile, 0);
    for (USHORT rc = IxdFirst(ix, &out[0], &rec, &err); rc == 0;
         rc = IxdNext(ix, &out[0], &rec, &err)) {
        seen++;
        walk.called();
    }
    c->walk = finish(walk);
    t->walk = c->walk.rate;
    bad += seen != n;

    IxdClose(ix);   /* the write-back cache reaches the file */
    unsigned long size = fileSize(FILE_NAME);
    double data = (double)n * (w.keyLen + 4);
    ix = IxdOpen(FILE_NAME, w.keyLen, shared, nullptr, &err);
    if (!ix) {
        printf("  reopen failed: %lu\n", (unsigned long)err);
        return false;
    }
    Phase remove(lockFile, rawFile, 1);
    for (unsigned v : w.removeOrder) {
        bad += IxdRemove(ix, w.keys[v].data(), v, &err) != 0;
        remove.called();
    }
    c->remove = finish(remove);
    t->remove = c->remove.rate;
    ULONG left = 1;
    IxdQueryNrKeys(ix, &left, &err);
    IxdClose(ix);
    DeleteFileA(FILE_NAME);

    printf("  node reads per lookup %.2f (cache hits %.2f); file %lu bytes for %.0f bytes of"
           " keys and records: %.2fx (fill %.0f%%)\n",
           reads, hits, size, data, size / data, 100.0 * data / size);
    if (bad || left)
        printf("  ! %lu calls failed, %lu keys left\n", (unsigned long)bad, (unsigned long)left);
    return true;
}

void runMultimap(const Workload &w, Timings *t)
{
    const unsigned n = (unsigned)w.keys.size();
    std::multimap<std::string, ULONG> m;
    unsigned bad = 0;
    double s = now();
    for (unsigned v : w.enterOrder)
        m.emplace(w.keys[v], v);
    t->enter = n / (now() - s);
    s = now();
    for (unsigned v : w.lookupOrder) {
        auto it = m.lower_bound(w.keys[v]);
        bad += it == m.end() || it->second != v;
    }
    t->lookup = n / (now() - s);
    unsigned seen = 0;
    s = now();
    for (auto it = m.begin(); it != m.end(); ++it)
        seen += it->second < n;
    t->walk = seen / (now() - s);
    s = now();
    for (unsigned v : w.removeOrder) {
        auto range = m.equal_range(w.keys[v]);
        for (auto it = range.first; it != range.second; ++it)
            if (it->second == v) {
                m.erase(it);
                break;
            }
    }
    t->remove = n / (now() - s);
    if (bad || seen != n || !m.empty())
        printf("  ! multimap disagrees\n");
}

void printRow(const char *op, double ix, double mm)
{
    printf("  %-8s %12.0f /s   multimap %12.0f /s   ratio %6.1fx\n", op, ix, mm, mm / ix);
}

void printCeilingRow(const char *op, const PhaseFigures &f)
{
    printf("  %-8s %12.0f /s   lock/unlock pairs alongside %8.0f /s   %.2fx of the ceiling\n",
           op, f.rate, f.pairRate, f.rate / f.pairRate);
}

/* The floor: the call's system calls at the rates timed alongside, plus
 * one lock pair when shared. */
void printFloorRow(const char *op, const PhaseFigures &f)
{
    const SysCalls &n = f.perCall;
    const SysCosts &c = f.costs;
    double floorTime = (f.pairRate > 0 ? 1 / f.pairRate : 0) + n.seeks * c.seek +
                       n.reads * c.read + n.writes * c.write;
    printf("  %-8s per call %.2f seeks, %.2f reads, %.2f writes (%.2f + %.2f + %.2f us each),"
           " %.2f view reads; floor %8.0f /s   %.2fx of the floor\n",
           op, n.seeks, n.reads, n.writes, c.seek * 1e6, c.read * 1e6, c.write * 1e6,
           n.viewReads, 1 / floorTime, f.rate * floorTime);
}

/* The plain file the system calls are timed on, RAW_FILE_PAGES nodes long. */
HANDLE makeRawFile()
{
    HANDLE h = CreateFileA(RAW_FILE_NAME, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_FLAG_RANDOM_ACCESS, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return h;
    std::vector<BYTE> zeros(IXD_DEFAULT_NODE_SIZE);
    DWORD n = 0;
    for (ULONG i = 0; i < RAW_FILE_PAGES; i++)
        WriteFile(h, zeros.data(), (DWORD)zeros.size(), &n, nullptr);
    return h;
}

void run(unsigned n, USHORT keyLen, bool ascending, ULONG shared)
{
    Workload w = makeWorkload(n, keyLen, ascending);
    printf("%s, %u keys of %u bytes, %s order\n", shared ? "shared" : "unshared", n,
           (unsigned)keyLen, ascending ? "ascending" : "random");
    Timings ix = {}, mm = {};
    LockCeiling ceiling = {};
    HVBF lockFile = shared ? openVbf(LOCK_FILE_NAME, VBF_CREATE_OR_REPLACE) : nullptr;
    HANDLE rawFile = makeRawFile();
    bool ran = runIndex(w, shared, lockFile, rawFile, &ix, &ceiling);
    if (lockFile != nullptr) {
        VbfClose(lockFile);
        DeleteFileA(LOCK_FILE_NAME);
    }
    if (rawFile != INVALID_HANDLE_VALUE) {
        CloseHandle(rawFile);
        DeleteFileA(RAW_FILE_NAME);
    }
    if (!ran)
        return;
    runMultimap(w, &mm);
    printRow("enter", ix.enter, mm.enter);
    printRow("lookup", ix.lookup, mm.lookup);
    printRow("walk", ix.walk, mm.walk);
    printRow("remove", ix.remove, mm.remove);
    if (shared) {
        printCeilingRow("enter", ceiling.enter);
        printCeilingRow("lookup", ceiling.lookup);
        printCeilingRow("walk", ceiling.walk);
        printCeilingRow("remove", ceiling.remove);
    }
    printFloorRow("enter", ceiling.enter);
    printFloorRow("lookup", ceiling.lookup);
    printFloorRow("walk", ceiling.walk);
    printFloorRow("remove", ceiling.remove);
    fflush(stdout);
}

void printPeakWorkingSet()
{
    PROCESS_MEMORY_COUNTERS m = {};
    m.cb = sizeof m;
    if (GetProcessMemoryInfo(GetCurrentProcess(), &m, sizeof m))
        printf("peak working set %.1f MiB\n", m.PeakWorkingSetSize / 1048576.0);
}

} // namespace

int main(int argc, char **argv)
{
    const char *only = argc > 1 ? argv[1] : "";
    int onlyKeyLen = argc > 2 ? atoi(argv[2]) : 0;
    printf("Ixd index on a real file, node size %u, default cache; the multimap is the same"
           " work in memory\n", (unsigned)IXD_DEFAULT_NODE_SIZE);
    for (ULONG shared : {0u, 1u}) {
        if (*only && strcmp(only, shared ? "shared" : "unshared") != 0)
            continue;
        for (USHORT keyLen : {(USHORT)8, (USHORT)32}) {
            if (onlyKeyLen != 0 && keyLen != onlyKeyLen)
                continue;
            for (bool ascending : {true, false})
                run(shared ? SHARED_KEYS : FULL_KEYS, keyLen, ascending, shared);
        }
    }
    printPeakWorkingSet();
    return 0;
}
