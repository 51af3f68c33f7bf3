/*
 * lsq.h - programs kept in files: resolving a program's name along the
 * search path, reading a program as source text or as a stored query
 * (lsq_format.h), writing a stored query, and the builtins load and
 * lsp2lsq that stand on them.  Internal to the interpreter.
 *
 * Every reader and writer takes the evaluator's error word and reports
 * through it (with the last-error text where one is named); a returned
 * chain belongs to the caller.
 */
#ifndef ORIN_LISP_LSQ_H
#define ORIN_LISP_LSQ_H

#include <cstddef>
#include "lisp/lspint.h"

namespace orin::lsp {

/* The search path as set through SEARCHPATH, with the platform's
 * directory delimiter (lsp_sysvar.cpp). */
const char *lspSearchPath();

/* name with every `/` turned into the platform's directory delimiter,
 * into out (size bytes); false when it does not fit. */
bool lspPlatformName(const char *name, char *out, std::size_t size);

/* The file a program name stands for, into out (size bytes): a `/` in the
 * name stands for the platform's directory delimiter; a name that exists
 * as given is taken as it is, else its file part is looked up along the
 * search path.  False when neither finds a file. */
bool lspResolveProgram(const char *name, char *out, std::size_t size);

/* A stored query file as a node chain.  LSPERR_NOTFOUND for a missing
 * file, LSPERR_OPEN when it cannot be opened or read, LSPERR_NOTLSQ when
 * it is not a stored query (short header, wrong magic), LSPERR_STRTABLE
 * when its string table is shorter than the header says or a record
 * names a text it lacks, ORIN_ERR_INVALID_DATA for a damaged record,
 * LSPERR_UNCLOSED when the records stop while a top-level sibling is
 * promised, LSPERR_NOMEM when memory runs out or lists nest too deep.
 * Lists still open when the records end are returned open. */
PLSPLIST lspReadStored(const char *file, unsigned int *err);

/* A source file read by the reader, up to its end or a Ctrl+Z.
 * LSPERR_OPEN when it cannot be opened or read, ORIN_ERR_INVALID_DATA
 * when it holds a NUL byte before its end (no source text does), and the
 * reader's codes. */
PLSPLIST lspReadSource(LSPSESSION *s, const char *file, unsigned int *err);

/* Writes chain as a stored query file, creating or replacing it;
 * LSPERR_OPEN when it cannot be created, LSPERR_WRITE when a write fails
 * or the tree has more distinct texts than the format can index.  The
 * file is deleted after any failure. */
bool lspWriteStored(PLSPLIST chain, const char *file, unsigned int *err);

/* The first top-level node of chain that is still an open list, or null. */
PLSPLIST lspFirstOpenList(PLSPLIST chain);

/* The builtins load (id 210) and lsp2lsq (id 211). */
inline constexpr USHORT kBiLoad = 210;
inline constexpr USHORT kBiLsp2Lsq = 211;
PLSPLIST lspBiLoad(LSPSESSION *s, USHORT id, PLSPLIST args, unsigned int *err);

}  // namespace orin::lsp

#endif  // ORIN_LISP_LSQ_H
