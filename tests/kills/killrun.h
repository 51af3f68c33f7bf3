/*
 * killrun.h - the killing side of the kill tests: starts kill_helper on a
 * store, lets it work for a random while, ends it with TerminateProcess
 * and reads back which operations it reported finished; then hands that
 * to the store's check.  Each round starts from a fresh file.
 *
 * The rounds' seeds and delays come from one generator whose seed is
 * printed (ORIN_KILL_SEED=N repeats a run; ORIN_KILL_ROUNDS=N changes the
 * count of rounds).  Most rounds wait until the helper says its store is
 * open and kill it 0..maxDelay ms later; one round in eight kills it at a
 * random moment from its start, while the store may still be being made.
 */
#ifndef KILLRUN_H
#define KILLRUN_H

#include <gtest/gtest.h>
#include <windows.h>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace killrun {

constexpr int kDefaultRounds = 200;
constexpr unsigned kDefaultSeed = 20261207;
constexpr UINT kKilledCode = 0xDEAD;
constexpr DWORD kReadyTimeout = 60000;
constexpr int kFailuresShown = 3;   // a run stops after this many failing rounds
constexpr unsigned kEarlyKillOneIn = 8;
constexpr DWORD kEarlyKillMaxDelay = 150;

inline unsigned envNumber(const char *name, unsigned fallback)
{
    const char *v = getenv(name);
    return v && *v ? unsigned(strtoul(v, nullptr, 10)) : fallback;
}

/* What the helper reported: operations 0..count-1 finished; ids[j] is the
 * block id operation j left (block file only). */
struct Finished {
    int count = 0;
    std::vector<unsigned long> ids;
    bool early = false;   // killed without waiting for the store to open
    DWORD startMillis = 0;  // from the start of the helper to its store being open
};

inline Finished readLog(const std::string &name)
{
    Finished f;
    std::ifstream in(name);
    int j;
    unsigned long id;
    // A line is written whole or not at all; numbers run 0, 1, 2, ...
    while (in >> j >> id && j == f.count) {
        f.ids.push_back(id);
        f.count++;
    }
    return f;
}

/* The helper process; killed and waited for when it goes out of scope. */
class Helper {
public:
    Helper(const std::string &args)
    {
        STARTUPINFOA si = {sizeof si};
        std::string cmd = "kill_helper.exe " + args;
        started_ = CreateProcessA(NULL, &cmd[0], NULL, NULL, FALSE, 0, NULL, NULL, &si, &pi_);
    }
    ~Helper()
    {
        if (started_) {
            kill();
            CloseHandle(pi_.hProcess);
            CloseHandle(pi_.hThread);
        }
    }
    Helper(const Helper &) = delete;
    Helper &operator=(const Helper &) = delete;
    bool started() const { return started_; }
    HANDLE process() const { return pi_.hProcess; }
    /* Ends the process (if it still runs) and gives its exit code. */
    DWORD kill()
    {
        TerminateProcess(pi_.hProcess, kKilledCode);
        WaitForSingleObject(pi_.hProcess, INFINITE);
        DWORD code = 0;
        GetExitCodeProcess(pi_.hProcess, &code);
        return code;
    }

private:
    PROCESS_INFORMATION pi_ = {};
    bool started_ = false;
};

/* The named event a helper sets once its store is open. */
class ReadyEvent {
public:
    ReadyEvent() : name_("OrinKillReady-" + std::to_string(GetCurrentProcessId()))
    {
        h_ = CreateEventA(NULL, TRUE, FALSE, name_.c_str());
    }
    ~ReadyEvent()
    {
        if (h_)
            CloseHandle(h_);
    }
    ReadyEvent(const ReadyEvent &) = delete;
    ReadyEvent &operator=(const ReadyEvent &) = delete;
    const std::string &name() const { return name_; }
    HANDLE handle() const { return h_; }
    void reset() { ResetEvent(h_); }

private:
    std::string name_;
    HANDLE h_;
};

struct Round {
    int number;
    unsigned seed;   // the workload's seed
    DWORD delay;     // ms before the kill
    bool early;      // counted from the start, not from "ready"
};

inline std::string describe(const Round &r)
{
    return "round " + std::to_string(r.number) + ": workload seed " + std::to_string(r.seed) +
           ", kill " + std::to_string(r.delay) + " ms after " + (r.early ? "start" : "ready");
}

/* Runs `store` on `file` once and kills it as the round says. */
inline Finished killOnce(const char *store, const char *file, const Round &r, ReadyEvent &ready)
{
    const std::string log = std::string(file) + ".log";
    DeleteFileA(file);
    DeleteFileA(log.c_str());
    ready.reset();
    Finished f;
    {
        Helper h(std::string(store) + " " + file + " " + std::to_string(r.seed) + " " + log +
                 " " + ready.name());
        EXPECT_TRUE(h.started()) << "kill_helper.exe did not start";
        if (!h.started())
            return f;
        if (!r.early) {
            DWORD t0 = GetTickCount();
            HANDLE both[2] = {ready.handle(), h.process()};
            DWORD w = WaitForMultipleObjects(2, both, FALSE, kReadyTimeout);
            EXPECT_EQ(w, WAIT_OBJECT_0) << "the helper stopped before its store was open";
            f.startMillis = GetTickCount() - t0;
        }
        Sleep(r.delay);
        DWORD code = h.kill();
        EXPECT_EQ(code, kKilledCode) << "the helper stopped by itself with code " << code;
    }
    DWORD startMillis = f.startMillis;
    f = readLog(log);
    f.early = r.early;
    f.startMillis = startMillis;
    DeleteFileA(log.c_str());
    return f;
}

/* Runs the rounds; `check(finished, round)` opens what each kill left. */
template <class Check>
void sweep(const char *store, const char *file, DWORD maxDelay, Check &&check)
{
    unsigned seed = envNumber("ORIN_KILL_SEED", kDefaultSeed);
    int rounds = int(envNumber("ORIN_KILL_ROUNDS", kDefaultRounds));
    printf("[ kills ] %s: %d rounds, ORIN_KILL_SEED=%u\n", store, rounds, seed);
    std::mt19937 rng(seed);
    ReadyEvent ready;
    ASSERT_NE(ready.handle(), nullptr);
    int failures = 0;
    long operations = 0;
    DWORD startMillis = 0, began = GetTickCount();
    for (int i = 0; i < rounds; i++) {
        Round r{i, unsigned(rng()), 0, rng() % kEarlyKillOneIn == 0};
        r.delay = DWORD(rng() % ((r.early ? kEarlyKillMaxDelay : maxDelay) + 1));
        SCOPED_TRACE(describe(r));
        Finished f = killOnce(store, file, r, ready);
        operations += f.count;
        startMillis += f.startMillis;
        check(f, r);
        if (::testing::Test::HasFailure() && ++failures >= kFailuresShown)
            break;
    }
    DeleteFileA(file);
    printf("[ kills ] %s: %ld finished operations before the kills in all; %lu ms a round, "
           "%lu ms of it to start the helper\n",
           store, operations, (unsigned long)(GetTickCount() - began) / unsigned(rounds),
           (unsigned long)startMillis / unsigned(rounds));
}

}  // namespace killrun

#endif
