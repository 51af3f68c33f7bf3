/*
 * killrun.h - the killing side of the kill tests: starts kill_helper on a
 * store, lets it work for a random while, ends it with TerminateProcess
 * and reads back which operations it reported finished; then hands that
 * to the store's check.  Each round starts from a fresh file.
 *
 * The rounds' seeds and delays come from one generator whose seed is
 * printed (ORIN_KILL_SEED=N repeats a run; ORIN_KILL_ROUNDS=N changes the
 * count of rounds: 60 by default, 200 with ORIN_LONG_SWEEPS=1, since a
 * round costs a process start under Wine).  Most rounds wait until the helper says its store is
 * open and kill it 0..maxDelay ms later; one round in eight kills it at a
 * random moment after it was let go, while the store may still be being
 * made.
 */
#ifndef KILLRUN_H
#define KILLRUN_H

#include <gtest/gtest.h>
#include <windows.h>
#include <cstdio>
#include <cstdlib>
#include <algorithm>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace killrun {

constexpr int kDefaultRounds = 60;   // ORIN_LONG_SWEEPS=1: kLongRounds
constexpr int kLongRounds = 200;
constexpr unsigned kDefaultSeed = 20261207;
constexpr UINT kKilledCode = 0xDEAD;
constexpr DWORD kReadyTimeout = 60000;
constexpr int kFailuresShown = 3;   // a run stops after this many failing rounds
constexpr unsigned kEarlyKillOneIn = 8;
constexpr DWORD kEarlyKillMaxDelay = 150;
constexpr DWORD kReleaseTimeout = 10000, kReleasePoll = 5;
constexpr int kStartAttempts = 3;
constexpr DWORD kStartRetryPause = 200;

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
    explicit Helper(const std::string &args)
    {
        STARTUPINFOA si = {sizeof si};
        std::string cmd = "kill_helper.exe " + args;
        // Under load Wine now and then fails a process start: try again.
        for (int attempt = 0; attempt < kStartAttempts && !started_; attempt++) {
            started_ = CreateProcessA(NULL, &cmd[0], NULL, NULL, FALSE, 0, NULL, NULL, &si, &pi_);
            if (!started_) {
                fprintf(stderr, "[ kills ] starting kill_helper.exe failed: %lu\n", GetLastError());
                Sleep(kStartRetryPause);
            }
        }
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

/* Waits until no process holds `file` open (or it does not exist).  Under
 * Wine a killed process's handles may outlive the signal of its end by a
 * moment, and the checks must not meet its sharing modes. */
inline bool waitUntilReleased(const std::string &file)
{
    for (DWORD waited = 0; waited < kReleaseTimeout; waited += kReleasePoll) {
        HANDLE h = CreateFileA(file.c_str(), GENERIC_READ | GENERIC_WRITE, 0, NULL, OPEN_EXISTING,
                               0, NULL);
        if (h != INVALID_HANDLE_VALUE) {
            CloseHandle(h);
            return true;
        }
        if (GetLastError() != ERROR_SHARING_VIOLATION)
            return true;
        Sleep(kReleasePoll);
    }
    return false;
}

/* A named event of this test process that helpers open by name. */
class NamedEvent {
public:
    NamedEvent(const char *what, bool manualReset)
        : name_(std::string("OrinKill") + what + "-" + std::to_string(GetCurrentProcessId()))
    {
        h_ = CreateEventA(NULL, manualReset, FALSE, name_.c_str());
    }
    ~NamedEvent()
    {
        if (h_)
            CloseHandle(h_);
    }
    NamedEvent(const NamedEvent &) = delete;
    NamedEvent &operator=(const NamedEvent &) = delete;
    const std::string &name() const { return name_; }
    HANDLE handle() const { return h_; }

private:
    std::string name_;
    HANDLE h_;
};

struct Round {
    int number;
    unsigned seed;   // the workload's seed
    DWORD delay;     // ms before the kill
    bool early;      // counted from "go", not from "ready"
};

inline std::string describe(const Round &r)
{
    return "round " + std::to_string(r.number) + ": workload seed " + std::to_string(r.seed) +
           ", kill " + std::to_string(r.delay) + " ms after " + (r.early ? "go" : "ready");
}

inline std::vector<Round> plan(unsigned seed, int rounds, DWORD maxDelay)
{
    std::mt19937 rng(seed);
    std::vector<Round> out;
    for (int i = 0; i < rounds; i++) {
        Round r{i, unsigned(rng()), 0, rng() % kEarlyKillOneIn == 0};
        r.delay = DWORD(rng() % ((r.early ? kEarlyKillMaxDelay : maxDelay) + 1));
        out.push_back(r);
    }
    return out;
}

/*
 * The rounds of one store.  A helper is started (on a thread, so that a
 * round could be started ahead of its turn) and waits for its "go" event
 * (auto-reset; two, taken in turn) before it touches any file; the clock
 * of an early kill starts at "go".  Rounds run one after the other: with a
 * helper starting while another was killed, Wine now and then refused the
 * next one its store file, so the overlap was dropped.
 */
class Rounds {
public:
    Rounds(const char *store, const char *file)
        : store_(store), file_(file), log_(std::string(file) + ".log"), ready_("Ready", true),
          go_{NamedEvent("Go0", false), NamedEvent("Go1", false)}
    {
    }
    ~Rounds()
    {
        for (std::thread &t : starter_)
            if (t.joinable())
                t.join();
    }
    bool ok() const { return ready_.handle() && go_[0].handle() && go_[1].handle(); }

    /* Starts the helper of round `r` in the background. */
    void prepare(const Round &r)
    {
        int slot = r.number % 2;
        std::string args = store_ + " " + file_ + " " + std::to_string(r.seed) + " " + logOf(r) +
                           " " + ready_.name() + " " + go_[slot].name();
        starter_[slot] = std::thread([this, slot, args] {
            pending_[slot] = std::make_unique<Helper>(args);
        });
    }

    /* Lets the prepared helper of `r` go on a fresh file and kills it as `r` says. */
    Finished run(const Round &r)
    {
        int slot = r.number % 2;
        starter_[slot].join();
        std::unique_ptr<Helper> h = std::move(pending_[slot]);
        Finished f;
        EXPECT_TRUE(h && h->started()) << "kill_helper.exe did not start";
        if (!h || !h->started())
            return f;
        const std::string log = logOf(r);
        DeleteFileA(file_.c_str());
        DeleteFileA(log.c_str());
        ResetEvent(ready_.handle());
        SetEvent(go_[slot].handle());
        DWORD t0 = GetTickCount();
        if (!r.early) {
            HANDLE both[2] = {ready_.handle(), h->process()};
            DWORD w = WaitForMultipleObjects(2, both, FALSE, kReadyTimeout);
            EXPECT_EQ(w, WAIT_OBJECT_0) << "the helper stopped before its store was open";
        }
        f.startMillis = GetTickCount() - t0;
        Sleep(r.delay);
        DWORD code = h->kill();
        EXPECT_EQ(code, kKilledCode) << "the helper stopped by itself with code " << code;
        h.reset();
        EXPECT_TRUE(waitUntilReleased(file_)) << "the killed helper's file stayed open";
        EXPECT_TRUE(waitUntilReleased(log)) << "the killed helper's log stayed open";
        DWORD startMillis = f.startMillis;
        f = readLog(log);
        f.early = r.early;
        f.startMillis = startMillis;
        DeleteFileA(log.c_str());
        return f;
    }

private:
    /* Each round logs to a file of its own: a name is never reused while
     * a killed helper's handle to it may linger. */
    std::string logOf(const Round &r) const { return log_ + std::to_string(r.number); }

    std::string store_, file_, log_;
    NamedEvent ready_;
    NamedEvent go_[2];
    std::thread starter_[2];
    std::unique_ptr<Helper> pending_[2];
};

/* Runs the rounds; `check(finished, round)` opens what each kill left.
 * A store whose rounds are dear may run fewer than kDefaultRounds when
 * not long. */
template <class Check>
void sweep(const char *store, const char *file, DWORD maxDelay, Check &&check,
           int defaultRounds = kDefaultRounds)
{
    unsigned seed = envNumber("ORIN_KILL_SEED", kDefaultSeed);
    bool longSweeps = envNumber("ORIN_LONG_SWEEPS", 0) == 1;
    int count = int(envNumber("ORIN_KILL_ROUNDS", longSweeps ? kLongRounds : defaultRounds));
    printf("[ kills ] %s: %d rounds, ORIN_KILL_SEED=%u\n", store, count, seed);
    std::vector<Round> rounds = plan(seed, count, maxDelay);
    Rounds runner(store, file);
    ASSERT_TRUE(runner.ok());
    int failures = 0;
    long operations = 0;
    DWORD startMillis = 0, began = GetTickCount();
    for (size_t i = 0; i < rounds.size(); i++) {
        const Round &r = rounds[i];
        SCOPED_TRACE(describe(r));
        runner.prepare(r);
        Finished f = runner.run(r);
        operations += f.count;
        startMillis += f.startMillis;
        check(f, r);
        if (::testing::Test::HasFailure() && ++failures >= kFailuresShown)
            break;
    }
    DeleteFileA(file);
    unsigned n = unsigned(std::max(count, 1));
    printf("[ kills ] %s: %ld finished operations before the kills in all; %lu ms a round, "
           "%lu ms of it from go to ready\n",
           store, operations, (unsigned long)(GetTickCount() - began) / n,
           (unsigned long)startMillis / n);
}

}  // namespace killrun

#endif
