/*
 * lsp_load.cpp - the builtins load and lsp2lsq.
 *
 * (load name [fallback]) resolves the program's name (lsq_file.cpp),
 * reads the file as a stored query and, when it is none (or vanished),
 * as source; refuses a program whose top-level list was never closed;
 * and evaluates the top-level forms in order, freeing each form once it
 * has been evaluated and every value but the last.  The value is the
 * last form's, or nil for an empty program.  When anything fails and a
 * fallback was given, the error word is cleared and the fallback is the
 * value.
 *
 * (lsp2lsq source target) reads the source file as source text and
 * writes its tree as a stored query; T on success.  A `/` in either name
 * stands for the platform's directory delimiter.
 */
#include <cstring>
#include "lisp/lsq.h"
#include "knlnam.h"

namespace orin::lsp {

namespace {

/* File names are strings; anything else is refused with LSPERR_TYPE. */
bool fileNameArg(PLSPLIST a, unsigned int *err)
{
    if (a->type == LSP_T_STRING)
        return true;
    lspFail(err, LSPERR_TYPE, lspNodeText(a));
    return false;
}

/* The file a program name stands for, into full (KNLNAM_MAXPATH). */
bool resolve(PLSPLIST a, char *full, unsigned int *err)
{
    if (!fileNameArg(a, err))
        return false;
    if (!lspResolveProgram(a->value.psz, full, KNLNAM_MAXPATH)) {
        lspFail(err, LSPERR_NOTFOUND, a->value.psz);
        return false;
    }
    return true;
}

/* A program's top-level chain: every list in it closed. */
PLSPLIST closedProgram(PLSPLIST chain, const char *file, unsigned int *err)
{
    Tree program(chain);
    if (*err)
        return nullptr;
    if (lspFirstOpenList(program.get())) {
        lspFail(err, LSPERR_UNCLOSED, file);
        return nullptr;
    }
    return program.release();
}

PLSPLIST readProgram(LSPSESSION *s, const char *file, unsigned int *err)
{
    Tree chain(lspReadStored(file, err));
    if (*err == LSPERR_NOTFOUND || *err == LSPERR_NOTLSQ) {
        *err = 0;
        chain.reset(lspReadSource(s, file, err));
    }
    return closedProgram(chain.release(), file, err);
}

/* Evaluates the forms of a program (which it takes over) in order. */
PLSPLIST runProgram(LSPSESSION *s, PLSPLIST program, unsigned int *err)
{
    Tree rest(program), value;
    while (rest && !*err) {
        PLSPLIST head = rest.release();
        Tree form(lspDetachFirst(&head));
        rest.reset(head);
        value.reset();
        s->discardNext = rest != nullptr;         // only the last value is kept
        value.reset(lspEval(s, form.get(), err));
    }
    if (*err)
        return nullptr;
    return value ? value.release() : lspMade(lspNewNil(nullptr), err);
}

PLSPLIST load(LSPSESSION *s, PLSPLIST a, unsigned int *err)
{
    char full[KNLNAM_MAXPATH];
    if (!resolve(a, full, err))
        return nullptr;
    PLSPLIST program = readProgram(s, full, err);
    if (*err)
        return nullptr;
    return runProgram(s, program, err);
}

PLSPLIST biLoad(LSPSESSION *s, PLSPLIST a, unsigned int *err)
{
    Tree value(load(s, a, err));
    if (*err && a->next) {
        *err = 0;
        return lspMade(lspTreeCopy(a->next), err);
    }
    return value.release();
}

PLSPLIST biLsp2Lsq(LSPSESSION *s, PLSPLIST a, unsigned int *err)
{
    char full[KNLNAM_MAXPATH];
    if (!resolve(a, full, err) || !fileNameArg(a->next, err))
        return nullptr;
    Tree program(closedProgram(lspReadSource(s, full, err), full, err));
    if (*err)
        return nullptr;
    char target[KNLNAM_MAXPATH];
    if (!lspPlatformName(a->next->value.psz, target, sizeof target)) {
        lspFail(err, LSPERR_OPEN, a->next->value.psz);
        return nullptr;
    }
    if (!lspWriteStored(program.get(), target, err))
        return nullptr;
    return lspMade(lspNewTruth(nullptr, 1), err);
}

}  // namespace

PLSPLIST lspBiLoad(LSPSESSION *s, USHORT id, PLSPLIST a, unsigned int *err)
{
    return id == kBiLoad ? biLoad(s, a, err) : biLsp2Lsq(s, a, err);
}

}  // namespace orin::lsp
