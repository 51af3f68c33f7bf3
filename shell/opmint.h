/*
 * opmint.h - internal steps of the program starter and the URL opener,
 * split out so they can be driven with chosen registry contents.
 */
#ifndef OPMINT_H
#define OPMINT_H

#include "opm.h"

#ifdef __cplusplus
extern "C" {
#endif

#define OPM_APP_PATHS "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths"

/* Application-path rewriting of a command line.  When the program has a
 * registration that applies, *newCmd gets the rewritten command line and
 * *newEnv the environment block for the child (either may stay NULL when
 * unchanged); both are heap blocks for the caller to free.  Returns 0, or
 * ORIN_ERR_NO_MEMORY. */
USHORT opmAppPathRewrite(const char *cmdLine, const char *envBlock, char **newCmd,
                         char **newEnv);

/* The command the ".htm" handler would run for url, or an error code. */
USHORT opmUrlHandlerCommand(const char *url, char *out, size_t size);

#ifdef __cplusplus
}
#endif

#endif /* OPMINT_H */
