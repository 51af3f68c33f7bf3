// bench_containers.cpp - OcStack, OcArray and OcTable next to the standard
// containers doing the same work in the same run: pushes and pops of
// 16-byte elements (std::vector of arrays), a 1,000-entry ring (std::deque
// with pop_front), a sort of 100,000 elements (std::stable_sort), pointer
// appends and middle inserts (std::vector<void*>), and name look-ups in a
// table of 100 names (std::map with a case-blind comparison).
#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <deque>
#include <map>
#include <string>
#include <vector>
#include "ocarray.h"
#include "ocstack.h"
#include "octable.h"

namespace {

double now()
{
    LARGE_INTEGER f, t;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&t);
    return (double)t.QuadPart / (double)f.QuadPart;
}

using Elem = std::array<unsigned char, 16>;
volatile unsigned long sink;

void report(const char *what, double ours, double peer, const char *peerName)
{
    printf("%-34s %9.2f ms   %-22s %9.2f ms   (%.2fx)\n", what, ours * 1e3, peerName, peer * 1e3,
           ours / peer);
}

Elem make(unsigned i)
{
    Elem e{};
    for (unsigned b = 0; b < e.size(); b++)
        e[b] = (unsigned char)((i * 2654435761u) >> (b % 24));
    return e;
}

void benchStack()
{
    const unsigned kN = 1000000;
    double t0 = now();
    {
        OcStack s(sizeof(Elem), 0);
        for (unsigned i = 0; i < kN; i++) {
            Elem e = make(i);
            s.Push(e.data());
        }
        Elem out;
        while (s.Pop(out.data()))
            sink = sink + out[0];
    }
    double ours = now() - t0;
    t0 = now();
    {
        std::vector<Elem> v;
        for (unsigned i = 0; i < kN; i++)
            v.push_back(make(i));
        while (!v.empty()) {
            sink = sink + v.back()[0];
            v.pop_back();
        }
    }
    report("OcStack push+pop 1M x 16 B", ours, now() - t0, "std::vector");

    const unsigned kRing = 1000, kRingPushes = 200000;
    t0 = now();
    {
        OcStack r(sizeof(Elem), kRing, TRUE);
        for (unsigned i = 0; i < kRingPushes; i++) {
            Elem e = make(i);
            r.Push(e.data());
        }
        sink = sink + r.TopElement();
    }
    ours = now() - t0;
    t0 = now();
    {
        std::deque<Elem> d;
        for (unsigned i = 0; i < kRingPushes; i++) {
            if (d.size() == kRing)
                d.pop_front();
            d.push_back(make(i));
        }
        sink = sink + d.size();
    }
    report("OcStack ring 1000, 200k pushes", ours, now() - t0, "std::deque");

    const unsigned kSort = 100000;
    OcStack s(sizeof(Elem), kSort);
    std::vector<Elem> v;
    for (unsigned i = 0; i < kSort; i++) {
        Elem e = make(i * 7919);
        s.Push(e.data());
        v.push_back(e);
    }
    t0 = now();
    s.Sort(TRUE, FALSE);
    ours = now() - t0;
    t0 = now();
    std::stable_sort(v.begin(), v.end(),
                     [](const Elem &a, const Elem &b) { return memcmp(a.data(), b.data(), a.size()) < 0; });
    report("OcStack sort 100k x 16 B", ours, now() - t0, "std::stable_sort");
}

void benchArray()
{
    static int cells[256];
    const unsigned kN = 1000000, kMid = 20000;
    double t0 = now();
    {
        OcArray a;
        for (unsigned i = 0; i < kN; i++)
            a.Append(&cells[i & 255]);
        for (unsigned i = 0; i < a.Count(); i++)
            sink = sink + (a.GetAt(i) != nullptr);
    }
    double ours = now() - t0;
    t0 = now();
    {
        std::vector<void *> v;
        for (unsigned i = 0; i < kN; i++)
            v.push_back(&cells[i & 255]);
        for (size_t i = 0; i < v.size(); i++)
            sink = sink + (v[i] != nullptr);
    }
    report("OcArray append+read 1M", ours, now() - t0, "std::vector<void*>");

    t0 = now();
    {
        OcArray a;
        for (unsigned i = 0; i < kMid; i++)
            a.Insert(a.Count() / 2, &cells[i & 255]);
    }
    ours = now() - t0;
    t0 = now();
    {
        std::vector<void *> v;
        for (unsigned i = 0; i < kMid; i++)
            v.insert(v.begin() + v.size() / 2, &cells[i & 255]);
    }
    report("OcArray middle inserts 20k", ours, now() - t0, "std::vector<void*>");
}

struct CaseBlindLess {
    bool operator()(const std::string &a, const std::string &b) const
    {
        return _stricmp(a.c_str(), b.c_str()) < 0;
    }
};

void benchTable()
{
    const unsigned kNames = 100, kLookups = 1000000;
    static int cells[kNames];
    std::vector<std::string> names;
    for (unsigned i = 0; i < kNames; i++)
        names.push_back("Setting" + std::to_string(i * 37));
    OcTable t;
    std::map<std::string, void *, CaseBlindLess> m;
    for (unsigned i = 0; i < kNames; i++) {
        t.NameAdd(names[i].c_str(), &cells[i]);
        m[names[i]] = &cells[i];
    }
    std::vector<std::string> probes;
    for (unsigned i = 0; i < kNames; i++) {
        std::string p = names[(i * 31) % kNames];
        for (auto &c : p)
            c = (char)toupper((unsigned char)c);
        probes.push_back(p);
    }
    double t0 = now();
    for (unsigned i = 0; i < kLookups; i++)
        sink = sink + (t.NameLookup(probes[i % kNames].c_str()) != nullptr);
    double ours = now() - t0;
    t0 = now();
    for (unsigned i = 0; i < kLookups; i++)
        sink = sink + (m.find(probes[i % kNames]) != m.end());
    report("OcTable 1M look-ups, 100 names", ours, now() - t0, "std::map (stricmp)");
}

}  // namespace

int main()
{
    benchStack();
    benchArray();
    benchTable();
    return (int)(sink & 0);
}
