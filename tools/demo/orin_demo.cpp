/*
 * orin_demo.cpp - a small application on orin.dll, following the start-up
 * an application makes: record the executable, initialise with a command
 * line, set up code pages and DBCS tables, then use a few services and
 * shut down.
 *
 * Usage: orin-demo "COMMAND LINE" [FILE]
 *   splits COMMAND LINE as the library splits an application's arguments,
 *   prints the code-page facts, the CRC-32 of FILE, evaluates a few
 *   VelaLISP expressions, and writes a line to the debug channel and the
 *   error log.
 */
#include <cstdio>
#include <memory>
#include <vector>
#include "knl.h"
#include "lsp.h"

namespace {

constexpr size_t kChunk = 65535;
constexpr unsigned short kLispBuffer = 2048;

/* Each text is evaluated in one session, so later ones see the function
 * the first defines; the result is the printed value of the last form. */
constexpr const char *kLispSamples[] = {
    "(defun square (x) (* x x))",
    "(list (square 12) (square 1.5))",
    "(strcat (strupr \"orin\") \" \" (substr \"evaluator\" 1 4))",
    "(dllfunc \"user32.dll\" \"CharUpperA\" 1 \"STRRESULT\" \"called in a system library\")",
    "(setq total 0) (setq i 1) (while (<= i 10) (setq total (+ total i)) (setq i (+ i 1))) total",
};

struct FileCloser {
    void operator()(FILE *f) const noexcept { fclose(f); }
};
using File = std::unique_ptr<FILE, FileCloser>;

void lispDemo()
{
    std::vector<char> result(kLispBuffer);
    HLSPSESSION session = LspSessionStart(kLispBuffer, NULL);
    if (!session) {
        printf("VelaLISP: no session\n");
        return;
    }
    for (const char *sample : kLispSamples) {
        USHORT rc = LspParseExpressions(session, sample, result.data(), kLispBuffer, NULL);
        printf("VelaLISP> %s\n  = %s", sample, result.data());
        printf(rc ? " (error 0x%04X)\n" : "\n", rc);
    }
    // the session's end code is part of what the demonstration shows
    printf("VelaLISP session ended: %u\n", LspSessionEnd(session));
}

bool crcOfFile(const char *name, unsigned long *crc)
{
    File f(fopen(name, "rb"));
    if (!f)
        return false;
    std::vector<unsigned char> buf(kChunk);
    ULONG reg = 0xFFFFFFFFUL;
    size_t n;
    /* KnlCrc32 complements its result; undo that to chain the chunks. */
    while ((n = fread(buf.data(), 1, buf.size(), f.get())) > 0)
        reg = ~KnlCrc32(buf.data(), (USHORT)n, reg);
    *crc = ~reg;
    return true;
}

}  // namespace

int main(int argc0, char **argv0)
{
    char module[MAX_PATH];
    char *argv[KNL_MAX_ARGS];
    USHORT argc = 0, version = 0;
    unsigned long crc;
    const char *cmdLine = argc0 > 1 ? argv0[1] : "";

    GetModuleFileNameA(NULL, module, sizeof module);
    KnlSetExecutableFileName(module);
    USHORT rc = KnlInit(GetModuleHandleA(NULL), NULL, cmdLine, SW_SHOWNORMAL, &argc, argv);
    printf("KnlInit: %u, executable directory %s\n", rc, KnlQueryExecutablePath());
    printf("KnlInitCP: %u (0 or the error of reading the two-digit-year key)\n", KnlInitCP());
    KnlInitDBCSEv();

    printf("Command line: %s\n", cmdLine);
    for (USHORT i = 0; i < argc; i++)
        printf("  argv[%u] = [%s]\n", i, argv[i]);

    USHORT os = KnlQueryOS(&version);
    printf("Code pages: ANSI %u, OEM %u; OS kind %u, version %u.%u\n",
           GetACP(), GetOEMCP(), os, version >> 8, version & 0xFF);
    printf("  'a' flags 0x%02X other '%c'; 0x81 flags 0x%02X\n",
           KnlQueryCharTable()['a'].flags, KnlQueryCharTable()['a'].other,
           KnlQueryCharTable()[0x81].flags);

    if (argc0 > 2) {
        if (crcOfFile(argv0[2], &crc))
            printf("CRC-32 of %s: %08lX\n", argv0[2], crc);
        else
            printf("cannot read %s\n", argv0[2]);
    }

    lispDemo();

    KnlDbgPrintf("orin-demo: %u arguments\n", argc);
    if (KnlErrLogOpen("orin-demo", FALSE)) {
        KnlErrLogPrintf("orin-demo ran with %u arguments", argc);
        KnlErrLogClose();
        printf("Error log written to orin-demo.err\n");
    }
    return KnlTerminate(0);
}
