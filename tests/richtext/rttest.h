// rttest.h - shared by the rich-text tests: the code-page set-up of the
// text tests, the escape byte as a string piece, owners for the heap
// results the family hands out, and reading a string's runs.
#ifndef RTTEST_H
#define RTTEST_H

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>
#include "text/textinit.h"
#include "rt.h"

namespace rttest {

#define ESC "\x7f"

struct Freer {
    void operator()(void *p) const { std::free(p); }
};
using Heap = std::unique_ptr<char, Freer>;

inline std::string str(const Heap &h)
{
    return h ? std::string(h.get()) : std::string("<null>");
}

// One run as the tests compare them.
struct RunRecord {
    unsigned word, color, back;
    std::string text;
    bool operator==(const RunRecord &o) const
    {
        return word == o.word && color == o.color && back == o.back && text == o.text;
    }
};

inline std::ostream &operator<<(std::ostream &os, const RunRecord &r)
{
    return os << "{" << std::hex << r.word << "," << r.color << "," << r.back << ",\"" << r.text
              << "\"}" << std::dec;
}

// The runs of s from RtStrSplit with a grown array, released here.
inline std::vector<RunRecord> runsOf(const char *s)
{
    PRTSTRRUN runs = nullptr;
    ULONG n = RtStrSplit(s, &runs, 0);
    std::vector<RunRecord> out;
    for (ULONG i = 0; i < n; i++) {
        out.push_back({runs[i].usFormat, runs[i].usColor, runs[i].usBackColor, runs[i].pszText});
        std::free(runs[i].pszText);
    }
    std::free(runs);
    return out;
}

struct Context {
    PRTCONTEXT h;
    explicit Context(PRTCONTEXT c = RtStrCreateContext()) : h(c) {}
    ~Context() { RtStrDestroyContext(h); }
    Context(const Context &) = delete;
    Context &operator=(const Context &) = delete;
};

} // namespace rttest

#endif
