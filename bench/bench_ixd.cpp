// bench_ixd - index file throughput for 100,000 keys: inserts in random
// and in ascending order, searches, and sequential scans forwards, on a
// real file through the buffered back-end, non-shared (write-back cache)
// and shared (write-through, locked).  An in-memory std::set doing the same
// work is printed alongside as the reference.
#include <windows.h>
#include <algorithm>
#include <cstdio>
#include <random>
#include <set>
#include <string>
#include <vector>
#include "ixd.h"

namespace {

const unsigned N = 100000;
const USHORT KEY_LEN = 16;

double now()
{
    LARGE_INTEGER f, c;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&c);
    return (double)c.QuadPart / (double)f.QuadPart;
}

std::string keyOf(unsigned v)
{
    char k[32];
    snprintf(k, sizeof k, "%016u", v);
    return std::string(k, KEY_LEN);
}

void report(const char *what, unsigned count, double seconds)
{
    printf("  %-34s %10.0f /s  (%.3f s)\n", what, count / seconds, seconds);
}

void runIndex(const char *label, const std::vector<unsigned> &order, ULONG shared)
{
    const char *name = "bench_ixd.ixd";
    ULONG err = 0, rec = 0;
    PIX ix = IxdCreate(name, KEY_LEN, shared, 0, 0, nullptr, &err);
    if (!ix) {
        printf("create failed: %lu\n", (unsigned long)err);
        return;
    }
    printf("%s\n", label);
    double t = now();
    for (unsigned i = 0; i < N; i++)
        IxdEnter(ix, keyOf(order[i]).data(), order[i], &err);
    report("insert", N, now() - t);

    std::mt19937 rng(7);
    t = now();
    unsigned hits = 0;
    char out[KEY_LEN];
    for (unsigned i = 0; i < N; i++)
        hits += IxdSearch(ix, keyOf(rng() % N).data(), out, &rec, &err) == 0;
    report("search", N, now() - t);

    t = now();
    unsigned seen = 0;
    for (USHORT rc = IxdFirst(ix, out, &rec, &err); rc == 0; rc = IxdNext(ix, out, &rec, &err))
        seen++;
    report("sequential scan (next)", seen, now() - t);
    if (hits != N || seen != N)
        printf("  ! expected %u pairs, searched %u, scanned %u\n", N, hits, seen);
    printf("  node reads %lu, writes %lu, cache hits %lu\n",
           (unsigned long)IxdQueryPerformanceCounter(ix, IXD_COUNT_NODE_READS, 0),
           (unsigned long)IxdQueryPerformanceCounter(ix, IXD_COUNT_NODE_WRITES, 0),
           (unsigned long)IxdQueryPerformanceCounter(ix, IXD_COUNT_CACHE_HITS, 0));
    IxdClose(ix);
    DeleteFileA(name);
}

void runReference(const std::vector<unsigned> &order)
{
    printf("reference: std::set in memory, random order\n");
    std::set<std::string> s;
    double t = now();
    for (unsigned i = 0; i < N; i++)
        s.insert(keyOf(order[i]) + std::string((const char *)&order[i], 4));
    report("insert", N, now() - t);
    std::mt19937 rng(7);
    t = now();
    unsigned hits = 0;
    for (unsigned i = 0; i < N; i++)
        hits += s.lower_bound(keyOf(rng() % N)) != s.end();
    report("search", N, now() - t);
    t = now();
    unsigned seen = 0;
    for (auto it = s.begin(); it != s.end(); ++it)
        seen += (*it)[0] != 0;
    report("sequential scan", seen, now() - t);
    if (hits != N)
        printf("  ! %u hits\n", hits);
}

} // namespace

int main()
{
    std::vector<unsigned> ascending(N), random(N);
    for (unsigned i = 0; i < N; i++)
        ascending[i] = random[i] = i;
    std::shuffle(random.begin(), random.end(), std::mt19937(3));
    printf("Ixd index, %u keys of %u bytes, node size 4096, default cache\n", N, KEY_LEN);
    runIndex("random order, non-shared (write-back)", random, 0);
    runIndex("ascending order, non-shared (write-back)", ascending, 0);
    runIndex("random order, shared (write-through, locked)", random, 1);
    runReference(random);
    return 0;
}
