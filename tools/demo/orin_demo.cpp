/*
 * orin_demo.c - a small application on orin.dll, following the start-up
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
#include <stdio.h>
#include <stdlib.h>
#include "knl.h"
#include "lsp.h"

#define CHUNK 65535
#define LISP_BUFFER 2048

/* Each text is evaluated in one session, so later ones see the function
 * the first defines; the result is the printed value of the last form. */
static const char *const lispSamples[] = {
    "(defun square (x) (* x x))",
    "(list (square 12) (square 1.5))",
    "(strcat (strupr \"orin\") \" \" (substr \"evaluator\" 1 4))",
    "(dllfunc \"user32.dll\" \"CharUpperA\" 1 \"STRRESULT\" \"called in a system library\")",
    "(setq total 0) (setq i 1) (while (<= i 10) (setq total (+ total i)) (setq i (+ i 1))) total",
};

static void lispDemo(void)
{
    static char result[LISP_BUFFER];
    HLSPSESSION session = LspSessionStart(LISP_BUFFER, NULL);
    size_t i;
    if (!session) {
        printf("VelaLISP: no session\n");
        return;
    }
    for (i = 0; i < sizeof lispSamples / sizeof lispSamples[0]; i++) {
        USHORT rc = LspParseExpressions(session, lispSamples[i], result, sizeof result, NULL);
        printf("VelaLISP> %s\n  = %s", lispSamples[i], result);
        printf(rc ? " (error 0x%04X)\n" : "\n", rc);
    }
    printf("VelaLISP session ended: %u\n", LspSessionEnd(session));
}

static int crcOfFile(const char *name, unsigned long *crc)
{
    static unsigned char buf[CHUNK];
    FILE *f = fopen(name, "rb");
    size_t n;
    ULONG reg = 0xFFFFFFFFUL;
    if (!f)
        return 0;
    /* KnlCrc32 complements its result; undo that to chain the chunks. */
    while ((n = fread(buf, 1, sizeof buf, f)) > 0)
        reg = ~KnlCrc32(buf, (USHORT)n, reg);
    fclose(f);
    *crc = ~reg;
    return 1;
}

int main(int argc0, char **argv0)
{
    char module[MAX_PATH];
    char *argv[KNL_MAX_ARGS];
    USHORT argc = 0, i, version = 0;
    unsigned long crc;
    const char *cmdLine = argc0 > 1 ? argv0[1] : "";
    USHORT rc;

    GetModuleFileNameA(NULL, module, sizeof module);
    KnlSetExecutableFileName(module);
    rc = KnlInit(GetModuleHandleA(NULL), NULL, cmdLine, SW_SHOWNORMAL, &argc, argv);
    printf("KnlInit: %u, executable directory %s\n", rc, KnlQueryExecutablePath());
    printf("KnlInitCP: %u (0 or the error of reading the two-digit-year key)\n", KnlInitCP());
    KnlInitDBCSEv();

    printf("Command line: %s\n", cmdLine);
    for (i = 0; i < argc; i++)
        printf("  argv[%u] = [%s]\n", i, argv[i]);

    i = KnlQueryOS(&version);
    printf("Code pages: ANSI %u, OEM %u; OS kind %u, version %u.%u\n",
           GetACP(), GetOEMCP(), i, version >> 8, version & 0xFF);
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
