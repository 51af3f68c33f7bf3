/*
 * orin_commands.h - command groups of the orin tool kept in sources of
 * their own; main() hands them the whole command line.
 */
#ifndef ORIN_COMMANDS_H
#define ORIN_COMMANDS_H

/* `orin gzip FILE` and `orin gunzip FILE.gz` (orin_gzip.cpp).  Returns the
 * exit status: 0 done, 1 the library reported an error, 2 wrong command
 * line. */
int runZipCommand(int argc, char **argv);

#endif /* ORIN_COMMANDS_H */
