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
#include <windows.h>
#include <algorithm>
#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <vector>
#include "ixd.h"

namespace {

constexpr unsigned FULL_KEYS = 1000000;
constexpr unsigned SHARED_KEYS = 100000;
constexpr const char *FILE_NAME = "bench_ixd.ixd";

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

bool runIndex(const Workload &w, ULONG shared, Timings *t)
{
    const unsigned n = (unsigned)w.keys.size();
    ULONG err = 0, rec = 0, bad = 0;
    DeleteFileA(FILE_NAME);
    PIX ix = IxdCreate(FILE_NAME, w.keyLen, shared, 0, 0, nullptr, &err);
    if (!ix) {
        printf("  create failed: %lu\n", (unsigned long)err);
        return false;
    }
    double s = now();
    for (unsigned v : w.enterOrder)
        bad += IxdEnter(ix, w.keys[v].data(), v, &err) != 0;
    t->enter = n / (now() - s);

    IxdQueryPerformanceCounter(ix, ~0UL, 1);
    std::string out(w.keyLen, '\0');
    s = now();
    for (unsigned v : w.lookupOrder)
        bad += IxdSearch(ix, w.keys[v].data(), &out[0], &rec, &err) != 0 || rec != v;
    t->lookup = n / (now() - s);
    double reads = IxdQueryPerformanceCounter(ix, IXD_COUNT_NODE_READS, 0) / (double)n;
    double hits = IxdQueryPerformanceCounter(ix, IXD_COUNT_CACHE_HITS, 0) / (double)n;

    unsigned seen = 0;
    s = now();
    for (USHORT rc = IxdFirst(ix, &out[0], &rec, &err); rc == 0;
         rc = IxdNext(ix, &out[0], &rec, &err))
        seen++;
    t->walk = seen / (now() - s);
    bad += seen != n;

    IxdClose(ix);   /* the write-back cache reaches the file */
    unsigned long size = fileSize(FILE_NAME);
    double data = (double)n * (w.keyLen + 4);
    ix = IxdOpen(FILE_NAME, w.keyLen, shared, nullptr, &err);
    if (!ix) {
        printf("  reopen failed: %lu\n", (unsigned long)err);
        return false;
    }
    s = now();
    for (unsigned v : w.removeOrder)
        bad += IxdRemove(ix, w.keys[v].data(), v, &err) != 0;
    t->remove = n / (now() - s);
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

void run(unsigned n, USHORT keyLen, bool ascending, ULONG shared)
{
    Workload w = makeWorkload(n, keyLen, ascending);
    printf("%s, %u keys of %u bytes, %s order\n", shared ? "shared" : "unshared", n,
           (unsigned)keyLen, ascending ? "ascending" : "random");
    Timings ix, mm;
    if (!runIndex(w, shared, &ix))
        return;
    runMultimap(w, &mm);
    printRow("enter", ix.enter, mm.enter);
    printRow("lookup", ix.lookup, mm.lookup);
    printRow("walk", ix.walk, mm.walk);
    printRow("remove", ix.remove, mm.remove);
    fflush(stdout);
}

} // namespace

int main()
{
    printf("Ixd index on a real file, node size %u, default cache; the multimap is the same"
           " work in memory\n", (unsigned)IXD_DEFAULT_NODE_SIZE);
    for (ULONG shared : {0u, 1u})
        for (USHORT keyLen : {(USHORT)8, (USHORT)32})
            for (bool ascending : {true, false})
                run(shared ? SHARED_KEYS : FULL_KEYS, keyLen, ascending, shared);
    return 0;
}
