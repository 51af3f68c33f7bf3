/*
 * bench_lisp.c - speed of the Lisp interpreter on three workloads (a
 * recursive fib of 25, a loop building and measuring a 10,000-element
 * list, string concatenation in a loop), next to TinyScheme running the
 * same algorithms in the same run.
 *
 * Each workload is evaluated repeatedly in one session; the figure is
 * evaluations of the workload per second, from the best of BEST_OF runs
 * on each side (the machine is shared, so the best run is the one least
 * disturbed).  TinyScheme (a Linux program,
 * started through Wine's support for host executables) runs a script
 * that repeats the same workload; its start-up time, measured with an
 * empty script, is subtracted.  The ratio is TinyScheme's time divided by
 * ours: above 1 means we are faster.
 */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>
#include "knl.h"
#include "lsp.h"

#define BUFSIZE        16384
#define TS_SHELL_WIN   "Z:\\bin\\sh"
#define TS_EXE_UNIX    "/usr/bin/tinyscheme"
#define TS_EXE_WIN     "Z:\\usr\\bin\\tinyscheme"
#define TS_SCRIPT_WIN  "Z:\\tmp\\orin_bench_lisp.scm"
#define TS_SCRIPT_UNIX "/tmp/orin_bench_lisp.scm"
#define TS_TIME_WIN    "Z:\\tmp\\orin_bench_lisp.time"
#define TS_TIME_UNIX   "/tmp/orin_bench_lisp.time"
#define TS_TIMEOUT_MS  600000
#define TS_POLL_MS     20
#define BEST_OF        3

typedef struct {
    const char *name;
    const char *setup;       /* ours, evaluated once */
    const char *work;        /* ours, one evaluation */
    const char *expect;      /* result of one evaluation */
    const char *scheme;      /* TinyScheme: defines (work) */
    int rounds;
} WORKLOAD;

static const WORKLOAD workloads[] = {
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

static double now(void)
{
    LARGE_INTEGER f, t;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&t);
    return (double)t.QuadPart / (double)f.QuadPart;
}

static double runOurs(const WORKLOAD *w)
{
    static char result[BUFSIZE];
    HLSPSESSION s = LspSessionStart(BUFSIZE, NULL);
    double t0, t;
    int i;
    if (!s)
        return -1;
    LspParseExpressions(s, w->setup, result, sizeof result, NULL);
    t0 = now();
    for (i = 0; i < w->rounds; i++) {
        USHORT rc = LspParseExpressions(s, w->work, result, sizeof result, NULL);
        if (rc || strcmp(result, w->expect) != 0) {
            printf("  %s: wrong result %s (code 0x%X)\n", w->name, result, rc);
            LspSessionEnd(s);
            return -1;
        }
    }
    t = now() - t0;
    LspSessionEnd(s);
    return t / w->rounds;
}

/* Runs TinyScheme on a script; returns its run time in seconds, or -1.
 * Wine starts a host program detached from the process handle it hands
 * back, so a shell runs TinyScheme between two clock readings and leaves
 * them in a file, which appears (renamed into place) when it is done. */
static double runScheme(const char *script)
{
    FILE *f = fopen(TS_SCRIPT_WIN, "wb");
    STARTUPINFOA si;
    PROCESS_INFORMATION pi;
    char cmd[512];
    double start = 0, end = 0;
    int waited;
    if (!f)
        return -1;
    fputs(script, f);
    fclose(f);
    DeleteFileA(TS_TIME_WIN);
    memset(&si, 0, sizeof si);
    si.cb = sizeof si;
    snprintf(cmd, sizeof cmd,
             "%s -c \"s=$(date +%%s.%%N); %s %s >/dev/null 2>&1; e=$(date +%%s.%%N); "
             "echo $s $e > %s.part; mv %s.part %s\"",
             TS_SHELL_WIN, TS_EXE_UNIX, TS_SCRIPT_UNIX, TS_TIME_UNIX, TS_TIME_UNIX, TS_TIME_UNIX);
    if (!CreateProcessA(NULL, cmd, NULL, NULL, FALSE, 0, NULL, NULL, &si, &pi))
        return -1;
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    for (waited = 0; waited < TS_TIMEOUT_MS; waited += TS_POLL_MS) {
        f = fopen(TS_TIME_WIN, "rb");
        if (f) {
            int n = fscanf(f, "%lf %lf", &start, &end);
            fclose(f);
            DeleteFileA(TS_TIME_WIN);
            return n == 2 ? end - start : -1;
        }
        Sleep(TS_POLL_MS);
    }
    return -1;
}

static double schemePerRound(const WORKLOAD *w, double startup)
{
    char script[2048];
    double t;
    snprintf(script, sizeof script, "%s(define (repeat k) (if (> k 0) (begin (work) (repeat (- k 1)))))\n"
             "(repeat %d)\n(quit)\n", w->scheme, w->rounds);
    t = runScheme(script);
    if (t < 0)
        return -1;
    t -= startup;
    return (t > 0 ? t : 1e-6) / w->rounds;
}

int main(void)
{
    double startup;
    size_t i;
    KnlInitCP();
    KnlInitDBCSEv();
    startup = -1;
    for (i = 0; i < BEST_OF && GetFileAttributesA(TS_EXE_WIN) != INVALID_FILE_ATTRIBUTES; i++) {
        double t = runScheme("(quit)\n");
        if (t >= 0 && (startup < 0 || t < startup))
            startup = t;
    }
    if (startup < 0)
        printf("TinyScheme not found at %s: only our figures\n", TS_EXE_UNIX);
    printf("%-15s %14s %14s %8s\n", "workload", "ours eval/s", "tinyscm eval/s", "ratio");
    for (i = 0; i < sizeof workloads / sizeof workloads[0]; i++) {
        const WORKLOAD *w = &workloads[i];
        double ours = -1, theirs = -1, t;
        int run;
        for (run = 0; run < BEST_OF; run++) {
            t = runOurs(w);
            if (t > 0 && (ours < 0 || t < ours))
                ours = t;
            t = startup >= 0 ? schemePerRound(w, startup) : -1;
            if (t > 0 && (theirs < 0 || t < theirs))
                theirs = t;
        }
        if (ours <= 0)
            continue;
        if (theirs > 0)
            printf("%-15s %14.2f %14.2f %7.2fx\n", w->name, 1.0 / ours, 1.0 / theirs, theirs / ours);
        else
            printf("%-15s %14.2f %14s\n", w->name, 1.0 / ours, "-");
    }
    DeleteFileA(TS_SCRIPT_WIN);
    return 0;
}
