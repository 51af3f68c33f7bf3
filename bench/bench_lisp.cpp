/*
 * bench_lisp.cpp - speed of the Lisp interpreter on three workloads (a
 * recursive fib of 25, a loop building and measuring a 10,000-element
 * list, string concatenation in a loop), next to TinyScheme running the
 * same algorithms in the same run.
 *
 * Each workload is evaluated repeatedly in one session; the figure is
 * evaluations of the workload per second, from the best of kBestOf runs
 * on each side (the machine is shared, so the best run is the one least
 * disturbed).  TinyScheme (a Linux program,
 * started through Wine's support for host executables) runs a script
 * that repeats the same workload; its start-up time, measured with an
 * empty script, is subtracted.  The ratio is TinyScheme's time divided by
 * ours: above 1 means we are faster.
 *
 * Then the reader alone: a quoted list of 10,000 and of 30,000 atoms is
 * read and measured; the time per atom must not grow with the length.
 */
#include <windows.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include "knl.h"
#include "lsp.h"

namespace {

constexpr unsigned short kBufSize = 16384;
constexpr const char *kTsShellWin = "Z:\\bin\\sh";
constexpr const char *kTsExeUnix = "/usr/bin/tinyscheme";
constexpr const char *kTsExeWin = "Z:\\usr\\bin\\tinyscheme";
constexpr const char *kTsScriptWin = "Z:\\tmp\\orin_bench_lisp.scm";
constexpr const char *kTsScriptUnix = "/tmp/orin_bench_lisp.scm";
constexpr const char *kTsTimeWin = "Z:\\tmp\\orin_bench_lisp.time";
constexpr const char *kTsTimeUnix = "/tmp/orin_bench_lisp.time";
constexpr int kTsTimeoutMs = 600000;
constexpr int kTsPollMs = 20;
constexpr int kBestOf = 3;

struct Workload {
    const char *name;
    const char *setup;       /* ours, evaluated once */
    const char *work;        /* ours, one evaluation */
    const char *expect;      /* result of one evaluation */
    const char *scheme;      /* TinyScheme: defines (work) */
    int rounds;
};

struct SessionEnder {
    void operator()(void *s) const noexcept { LspSessionEnd(s); }
};
using Session = std::unique_ptr<void, SessionEnder>;

struct FileCloser {
    void operator()(FILE *f) const noexcept { fclose(f); }
};
using File = std::unique_ptr<FILE, FileCloser>;

const Workload kWorkloads[] = {
    { "fib 25",
      "(defun fib (n) (if (< n 2) n (+ (fib (- n 1)) (fib (- n 2)))))",
      "(fib 25)", "75025",
      "(define (fib n) (if (< n 2) n (+ (fib (- n 1)) (fib (- n 2)))))\n"
      "(define (work) (fib 25))\n",
      4 },
    { "list of 10000",
      "(defun build (/ l i) (setq l nil) (setq i 0)"
      " (while (< i 10000) (setq l (cons i l)) (setq i (+ i 1))) (length l))",
      "(build)", "10000",
      "(define (work) (define l '()) (define i 0)\n"
      " (let loop () (if (< i 10000) (begin (set! l (cons i l)) (set! i (+ i 1)) (loop))))\n"
      " (length l))\n",
      10 },
    { "strcat x1000",
      "(defun cat (/ s i) (setq s \"\") (setq i 0)"
      " (while (< i 1000) (setq s (strcat s \"x\")) (setq i (+ i 1))) (strlen s))",
      "(cat)", "1000",
      "(define (work) (define s \"\") (define i 0)\n"
      " (let loop () (if (< i 1000) (begin (set! s (string-append s \"x\")) (set! i (+ i 1)) (loop))))\n"
      " (string-length s))\n",
      250 },
};

double now()
{
    LARGE_INTEGER f, t;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&t);
    return (double)t.QuadPart / (double)f.QuadPart;
}

double runOurs(const Workload &w)
{
    static char result[kBufSize];
    Session s(LspSessionStart(kBufSize, NULL));
    if (!s)
        return -1;
    LspParseExpressions(s.get(), w.setup, result, sizeof result, NULL);
    double t0 = now();
    for (int i = 0; i < w.rounds; i++) {
        USHORT rc = LspParseExpressions(s.get(), w.work, result, sizeof result, NULL);
        if (rc || strcmp(result, w.expect) != 0) {
            printf("  %s: wrong result %s (code 0x%X)\n", w.name, result, rc);
            return -1;
        }
    }
    return (now() - t0) / w.rounds;
}

/* The run time in the clock file, once the shell has renamed it into
 * place; -1 when it does not appear in time. */
double waitForClockFile()
{
    for (int waited = 0; waited < kTsTimeoutMs; waited += kTsPollMs) {
        if (File f{fopen(kTsTimeWin, "rb")}) {
            double start = 0, end = 0;
            int n = fscanf(f.get(), "%lf %lf", &start, &end);
            f.reset();
            DeleteFileA(kTsTimeWin);
            return n == 2 ? end - start : -1;
        }
        Sleep(kTsPollMs);
    }
    return -1;
}

/* Runs TinyScheme on a script; returns its run time in seconds, or -1.
 * Wine starts a host program detached from the process handle it hands
 * back, so a shell runs TinyScheme between two clock readings and leaves
 * them in a file, which appears (renamed into place) when it is done. */
double runScheme(const std::string &script)
{
    {
        File f{fopen(kTsScriptWin, "wb")};
        if (!f)
            return -1;
        fputs(script.c_str(), f.get());
    }
    DeleteFileA(kTsTimeWin);
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi;
    std::string cmd = std::string(kTsShellWin) + " -c \"s=$(date +%s.%N); " + kTsExeUnix + " " +
                      kTsScriptUnix + " >/dev/null 2>&1; e=$(date +%s.%N); echo $s $e > " +
                      kTsTimeUnix + ".part; mv " + kTsTimeUnix + ".part " + kTsTimeUnix + "\"";
    if (!CreateProcessA(NULL, cmd.data(), NULL, NULL, FALSE, 0, NULL, NULL, &si, &pi))
        return -1;
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    return waitForClockFile();
}

double schemePerRound(const Workload &w, double startup)
{
    std::string script = std::string(w.scheme) +
                         "(define (repeat k) (if (> k 0) (begin (work) (repeat (- k 1)))))\n"
                         "(repeat " + std::to_string(w.rounds) + ")\n(quit)\n";
    double t = runScheme(script);
    if (t < 0)
        return -1;
    t -= startup;
    return (t > 0 ? t : 1e-6) / w.rounds;
}

/* Seconds per atom to read and measure one quoted list of n atoms. */
double readPerAtom(int n)
{
    constexpr unsigned short kReadBuf = 65000;
    std::string text = "(length '(";
    for (int i = 0; i < n; i++)
        text += "1 ";
    text += "))";
    static char result[kReadBuf];
    Session s(LspSessionStart(kReadBuf, NULL));
    if (!s)
        return -1;
    double best = -1;
    for (int run = 0; run < kBestOf; run++) {
        double t0 = now();
        USHORT rc = LspParseExpressions(s.get(), text.c_str(), result, sizeof result, NULL);
        double t = now() - t0;
        if (rc || strtol(result, nullptr, 10) != n) {
            printf("  reading %d atoms: wrong result %s (code 0x%X)\n", n, result, rc);
            return -1;
        }
        if (best < 0 || t < best)
            best = t;
    }
    return best / n;
}

void benchReader()
{
    double shortList = readPerAtom(10000), longList = readPerAtom(30000);
    if (shortList <= 0 || longList <= 0)
        return;
    printf("reading a quoted list: %.0f ns/atom at 10,000 atoms, %.0f ns/atom at 30,000 "
           "(%.2fx; 1.00 = linear)\n", shortList * 1e9, longList * 1e9, longList / shortList);
}

}  // namespace

int main()
{
    KnlInitCP();
    KnlInitDBCSEv();
    double startup = -1;
    for (int i = 0; i < kBestOf && GetFileAttributesA(kTsExeWin) != INVALID_FILE_ATTRIBUTES; i++) {
        double t = runScheme("(quit)\n");
        if (t >= 0 && (startup < 0 || t < startup))
            startup = t;
    }
    if (startup < 0)
        printf("TinyScheme not found at %s: only our figures\n", kTsExeUnix);
    printf("%-15s %14s %14s %8s\n", "workload", "ours eval/s", "tinyscm eval/s", "ratio");
    for (const Workload &w : kWorkloads) {
        double ours = -1, theirs = -1;
        for (int run = 0; run < kBestOf; run++) {
            double t = runOurs(w);
            if (t > 0 && (ours < 0 || t < ours))
                ours = t;
            t = startup >= 0 ? schemePerRound(w, startup) : -1;
            if (t > 0 && (theirs < 0 || t < theirs))
                theirs = t;
        }
        if (ours <= 0)
            continue;
        if (theirs > 0)
            printf("%-15s %14.2f %14.2f %7.2fx\n", w.name, 1.0 / ours, 1.0 / theirs, theirs / ours);
        else
            printf("%-15s %14.2f %14s\n", w.name, 1.0 / ours, "-");
    }
    DeleteFileA(kTsScriptWin);
    benchReader();
    return 0;
}
