/*
 * orin_commands.h - what the parts of the `orin` command share: the exit
 * statuses, the error message, and the commands kept in files of their
 * own.
 */
#ifndef ORIN_COMMANDS_H
#define ORIN_COMMANDS_H

#include <string>
#include <string_view>
#include <vector>
#include "orinbase.h"

namespace orintool {

constexpr int kExitLibrary = 1;        // the library reported an error
constexpr int kExitUsage = 2;          // a wrong command line

/* Prints "orin: WHAT: error N (meaning)" on standard error; kExitLibrary.
 * The meaning is the code's usual one unless the caller knows better. */
int fail(const char *what, USHORT rc, const char *meaning = nullptr);

/* Commands on a closed profile file by name (check, pack, repair, convert). */
bool isMaintenanceCommand(std::string_view cmd);
int runMaintenanceCommand(std::string_view cmd, const char *file, int argc, char **argv);

/* `orin gzip FILE` and `orin gunzip FILE.gz` (orin_gzip.cpp), given the
 * whole command line; the exit status. */
int runZipCommand(int argc, char **argv);

/* Sorts the sections of a profile file into the order they were created;
 * sections whose place cannot be learned go last, in the order given. */
void putInCreationOrder(const char *file, std::vector<std::string> &sections);

/* `orin chop FILE VOLUMESIZE` and `orin merge FIRSTVOLUME TARGET`; argv[1]
 * names the command.  Returns the exit status. */
int runChopCommand(int argc, char **argv);

}  // namespace orintool

#endif
