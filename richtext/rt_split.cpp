/*
 * rt_split.cpp - a rich-text string taken apart: into runs of equal
 * formatting (RtStrSplit), into its visible text alone (RtStrToStr,
 * RtStripFromFormatting), and into the codes of its runs (RtStrSplitAndPaste).
 *
 * All of them walk the runs of the string (forEachRun in rtint.h), which
 * are slices of it.  RtStrSplit copies each slice to a heap text of its
 * own; with no caller array it keeps the records in a heap array that
 * doubles when full, and a failure part way frees everything made so far.
 */
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include "richtext/rtint.h"

namespace orin::rt {
namespace {

constexpr ULONG kFirstRuns = 8;

/* The run records being filled: the caller's array (fixed size) or a heap
 * array of our own that grows. */
class RunSink {
public:
    RunSink(RTSTRRUN *callerArray, ULONG capacity) noexcept
        : runs_(callerArray), capacity_(capacity), growing_(capacity == 0) {}
    ~RunSink() { release(); }
    RunSink(const RunSink &) = delete;
    RunSink &operator=(const RunSink &) = delete;

    /* False when memory ran out. */
    bool add(const Format &f, const char *text, std::size_t bytes) noexcept
    {
        if (count_ == capacity_ && !(growing_ && grow()))
            return !growing_;                // a full caller array takes no more
        char *copy = heapCopy(text, bytes);
        if (!copy)
            return false;
        runs_[count_++] = RTSTRRUN{f.word, f.color, f.back, copy};
        return true;
    }

    /* Hands the records to the caller. */
    RTSTRRUN *take(ULONG &count) noexcept
    {
        count = count_;
        RTSTRRUN *r = runs_;
        runs_ = nullptr;
        count_ = 0;
        return r;
    }

private:
    bool grow() noexcept
    {
        ULONG next = capacity_ ? capacity_ * 2 : kFirstRuns;
        void *bigger = std::realloc(runs_, next * sizeof(RTSTRRUN));
        if (!bigger)
            return false;
        runs_ = static_cast<RTSTRRUN *>(bigger);
        capacity_ = next;
        return true;
    }

    /* On failure: frees the texts made, and the array when it is ours. */
    void release() noexcept
    {
        for (ULONG i = 0; i < count_; i++) {
            std::free(runs_[i].pszText);
            runs_[i].pszText = nullptr;
        }
        if (growing_)
            std::free(runs_);
    }

    RTSTRRUN *runs_;
    ULONG capacity_;
    ULONG count_ = 0;
    bool growing_;
};

/* Copies the visible bytes of s to out and terminates them; returns the
 * position of the terminator written. */
char *copyVisible(const char *s, char *out) noexcept
{
    char *w = out;
    forEachRun(s, [&w](const Format &, const char *text, std::size_t bytes) {
        std::memmove(w, text, bytes);
        w += bytes;
    });
    *w = 0;
    return w;
}

}  // namespace
}  // namespace orin::rt

using namespace orin;
using namespace orin::rt;

ULONG ORINAPI RtStrSplit(const char *s, PRTSTRRUN *runs, ULONG maxRuns) noexcept
{
    if (!s || !runs || (maxRuns != 0 && !*runs)) {
        SetLastError(ORIN_ERR_INVALID_PARAM);
        return 0;
    }
    RunSink sink(maxRuns ? *runs : nullptr, maxRuns);
    bool ok = true;
    forEachRun(s, [&](const Format &f, const char *text, std::size_t bytes) {
        ok = ok && sink.add(f, text, bytes);
    });
    if (!ok) {
        SetLastError(ORIN_ERR_NO_MEMORY);
        return 0;
    }
    ULONG count;
    RTSTRRUN *array = sink.take(count);
    if (maxRuns == 0)
        *runs = array;
    return count;
}

char *ORINAPI RtStrToStr(const char *s, char *out) noexcept
{
    if (!s || !out)
        return fail(ORIN_ERR_INVALID_PARAM);
    copyVisible(s, out);
    return out;
}

char *ORINAPI RtStripFromFormatting(const char *s) noexcept
{
    if (!s)
        return fail(ORIN_ERR_INVALID_PARAM);
    char *out = heapCopy(s, std::strlen(s));
    if (out)
        copyVisible(out, out);    // never longer than what it reads
    return out;
}

/* Rewrites s as the codes of its runs: per run an f code with the run's
 * whole formatting word, a c code with its colour and an s code without a
 * number; the run texts are not written.  The rewrite happens only when
 * the codes fit in the bytes the string has (its length and terminator);
 * otherwise s stays as it was and the answer is 111. */
USHORT ORINAPI RtStrSplitAndPaste(char *s) noexcept
{
    if (!s)
        return ORIN_ERR_INVALID_PARAM;
    try {
        std::string codes;
        char piece[32];
        forEachRun(s, [&](const Format &f, const char *, std::size_t) {
            int n = std::snprintf(piece, sizeof piece, "%cf%u;%cc%u;%cs", kEscape,
                                  static_cast<unsigned>(f.word), kEscape,
                                  static_cast<unsigned>(f.color), kEscape);
            codes.append(piece, static_cast<std::size_t>(n));
        });
        if (codes.size() > std::strlen(s))
            return ORIN_ERR_BUFFER_TOO_SMALL;
        std::memcpy(s, codes.c_str(), codes.size() + 1);
        return ORIN_OK;
    } catch (...) {
        return ORIN_ERR_NO_MEMORY;
    }
}
