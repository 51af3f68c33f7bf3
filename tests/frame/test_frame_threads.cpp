// Two threads using the frame families at once on their own handles give
// the same files and results as the same work done one after the other:
// error-log and debug-channel lines go out whole, files written, locked,
// read back and enumerated through KnlNam stay separate, and timers started
// at once get different ids.  The process-wide queries (the OS version,
// read once on first use, the name-character tables and checksums) answer
// the same from two threads.
#include <gtest/gtest.h>
#include <algorithm>
#include <functional>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>
#include "dos.h"
#include "knl.h"
#include "knlnam.h"
#include "testutil.h"

namespace {

using testutil::readFile;
using testutil::ScratchFile;

constexpr int kRounds = 1000;

void *ns() { return KnlNamGetDefaultNS(); }

/* Runs a and b on two threads started together, or one after the other. */
void runBoth(bool together, const std::function<void()> &a, const std::function<void()> &b)
{
    if (!together) {
        a();
        b();
        return;
    }
    std::thread ta(a), tb(b);
    ta.join();
    tb.join();
}

std::vector<std::string> sortedLines(const std::string &text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    std::sort(lines.begin(), lines.end());
    return lines;
}

/* Answers of the calls whose tables or caches are filled on first use. */
std::string firstUseQueries()
{
    std::string seen;
    for (int i = 0; i < kRounds; i++) {
        USHORT version = 0;
        seen = std::to_string(KnlQueryOS(&version)) + "/" + std::to_string(version) + "/"
               + std::to_string(KnlIsNewShell());
        seen += KnlNamIsValidPathFilter(FALSE, "A$B#C.TX~;X[1].Y", FALSE, nullptr) ? "+" : "-";
        seen += KnlNamIsValidPathFilter(TRUE, "A$B#C.TX~;X[1].Y", FALSE, nullptr) ? "+" : "-";
        const BYTE *shortChars = KnlNamQueryValidFileChars(FALSE);
        seen += std::to_string(shortChars['$']) + std::to_string(shortChars['[']);
        seen += "/" + std::to_string(KnlCrc16("first use", 9));
    }
    return seen;
}

/* Defined first, so that its threads are the first to ask for the OS
 * version in the process. */
TEST(FrameThreads, ProcessWideQueriesAnswerAlikeOnTwoThreads)
{
    std::string a, b;
    runBoth(true, [&] { a = firstUseQueries(); }, [&] { b = firstUseQueries(); });
    std::string alone = firstUseQueries();
    EXPECT_EQ(alone.substr(alone.find_first_of("+-"), 4), "-+10");
    EXPECT_EQ(a, alone);
    EXPECT_EQ(b, alone);
}

/* The error log is exported by ordinal only. */
template <class Fn>
Fn errLogCall(int ordinal)
{
    return reinterpret_cast<Fn>(GetProcAddress(GetModuleHandleA("orin.dll"),
                                               MAKEINTRESOURCEA(ordinal)));
}

std::string errorLogRun(bool together)
{
    auto openFn = errLogCall<USHORT (*)(const char *, BOOL)>(KNL_ORD_ERRLOGOPEN);
    auto printfFn = errLogCall<USHORT(__cdecl *)(const char *, ...)>(KNL_ORD_ERRLOGPRINTF);
    auto closeFn = errLogCall<USHORT (*)()>(KNL_ORD_ERRLOGCLOSE);
    ScratchFile log("thr_log.err");
    EXPECT_EQ(openFn(log.name.c_str(), FALSE), 1);
    auto writer = [&](char who) {
        return [=] {
            for (int i = 0; i < kRounds; i++)
                printfFn("thread %c line %04d %s", who, i, "with some text to make it longer");
        };
    };
    runBoth(together, writer('A'), writer('B'));
    closeFn();
    return readFile(log.name);
}

TEST(FrameThreads, ErrorLogLinesStayWhole)
{
    std::string oneByOne = errorLogRun(false), atOnce = errorLogRun(true);
    ASSERT_FALSE(oneByOne.empty());
    EXPECT_EQ(sortedLines(atOnce), sortedLines(oneByOne));
}

TEST(FrameThreads, DebugChannelLinesStayWhole)
{
    ScratchFile out("thr_dbg.out");
    SetEnvironmentVariableA("ORINDBG", "file:thr_dbg.out");
    auto writer = [](char who) {
        return [=] {
            for (int i = 0; i < kRounds; i++)
                KnlDbgPrintf("debug %c %04d and a tail of text\n", who, i);
        };
    };
    runBoth(true, writer('A'), writer('B'));
    SetEnvironmentVariableA("ORINDBG", nullptr);
    std::set<std::string> expected = {"----------Debug channel:"};
    for (char who : {'A', 'B'})
        for (int i = 0; i < kRounds; i++) {
            char line[64];
            snprintf(line, sizeof line, "debug %c %04d and a tail of text", who, i);
            expected.insert(line);
        }
    std::vector<std::string> lines = sortedLines(readFile(out.name));
    EXPECT_EQ(std::set<std::string>(lines.begin(), lines.end()), expected);
    EXPECT_EQ(lines.size(), expected.size());
}

/* One thread's file work: write records with locks, read them back, find
 * its own files; answers what it saw. */
std::string fileWork(const std::string &tag)
{
    std::string seen, name = "thr_" + tag + ".dat";
    KNLHFILE h;
    ULONG action, done;
    if (KnlNamOpen(ns(), name.c_str(), &h, &action, 0, 0, KNLNAM_OPEN_CREATE | KNLNAM_OPEN_REPLACE,
                   KNLNAM_ACCESS_READWRITE | KNLNAM_SHARE_DENYNONE, 0) != 0)
        return "open failed";
    for (int i = 0; i < kRounds; i++) {
        char rec[16];
        snprintf(rec, sizeof rec, "%s%05d;", tag.c_str(), i);
        FILELOCK range = {static_cast<ULONG>(i * 8), 8, 1};
        seen += KnlNamFileLocksEx(ns(), h, nullptr, &range) == 0 ? "" : "L";
        seen += KnlNamWrite(ns(), h, rec, 8, &done) == 0 && done == 8 ? "" : "W";
        seen += KnlNamFileLocksEx(ns(), h, &range, nullptr) == 0 ? "" : "U";
    }
    ULONG pos, size = 0;
    KnlNamChgFilePtr(ns(), h, 0, KNLNAM_SEEK_BEGIN, &pos);
    KnlNamQFileSize(ns(), h, &size);
    std::string back(size, '\0');
    KnlNamRead(ns(), h, back.data(), size, &done);
    KnlNamClose(ns(), h);
    seen += back;
    KNLFINDBUF buf;
    ULONG_PTR find;
    std::string pattern = "thr_" + tag + ".*";
    for (USHORT rc = KnlNamFindFirst(ns(), pattern.c_str(), 0, &find, &buf, sizeof buf); rc == 0;
         rc = KnlNamFindNext(ns(), find, &buf, sizeof buf))
        seen += std::string("|") + buf.achName;
    KnlNamFindClose(ns(), find);
    KnlNamDelete(ns(), name.c_str());
    return seen;
}

TEST(FrameThreads, FilesLocksAndFindsOnTheirOwnHandles)
{
    std::string a1, b1, a2, b2;
    runBoth(false, [&] { a1 = fileWork("a"); }, [&] { b1 = fileWork("b"); });
    runBoth(true, [&] { a2 = fileWork("a"); }, [&] { b2 = fileWork("b"); });
    EXPECT_EQ(a1.size(), 8u * kRounds + 10);
    EXPECT_EQ(a2, a1);
    EXPECT_EQ(b2, b1);
}

/* Starts timers until ids run out for this thread's share, then stops them. */
std::vector<USHORT> timerWork()
{
    std::vector<USHORT> ids;
    for (int i = 0; i < DOS_TIMER_COUNT / 2; i++) {
        USHORT id = 0;
        if (DosTimerStart(60000, &id) == 0)
            ids.push_back(id);
    }
    return ids;
}

TEST(FrameThreads, TimersStartedAtOnceGetTheirOwnIds)
{
    DosTimerInit();
    for (int round = 0; round < 20; round++) {
        std::vector<USHORT> a, b;
        runBoth(true, [&] { a = timerWork(); }, [&] { b = timerWork(); });
        std::set<USHORT> all(a.begin(), a.end());
        all.insert(b.begin(), b.end());
        ASSERT_EQ(a.size() + b.size(), static_cast<size_t>(DOS_TIMER_COUNT)) << round;
        ASSERT_EQ(all.size(), static_cast<size_t>(DOS_TIMER_COUNT)) << round;
        runBoth(true, [&] { for (USHORT id : a) DosTimerStop(id); },
                [&] { for (USHORT id : b) DosTimerStop(id); });
        ULONG ms;
        ASSERT_EQ(DosTimerQueryFirst(&ms), 0) << round;
    }
    DosTimerTerm();
}

}  // namespace
