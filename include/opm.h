/*
 * opm.h - program execution and URLs: the program starter (which honours
 * the registered application paths), the closer and the URL opener.
 */
#ifndef OPM_H
#define OPM_H

#include "orinbase.h"

ORIN_BEGIN_DECLS

/* The program starter, exported by ordinal only.  Starts commandLine with
 * the show command (0 = the child's default), waits for the child to end
 * when wait is non-zero.  Returns 0, or 0xFFFF with the host error in
 * *error (8 when memory runs out). */
#define OPM_ORD_STARTPROGRAM 7201
USHORT ORINAPI OpmStartProgram(const char *commandLine, USHORT showCommand, BOOL wait,
                               ULONG *error) ORIN_NOEXCEPT;

USHORT ORINAPI OpmExecProgram(const char *commandLine, USHORT showCommand) ORIN_NOEXCEPT;
USHORT ORINAPI OpmTerminateProgram(const char *windowClassName) ORIN_NOEXCEPT;
USHORT ORINAPI OpmExecURL(const char *url, USHORT showCommand) ORIN_NOEXCEPT;

ORIN_END_DECLS

#endif /* OPM_H */
