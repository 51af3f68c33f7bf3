/*
 * orin_commands.h - what the parts of the `orin` command share: the exit
 * statuses, the error message, reading profile lists, the progress line,
 * and the commands kept in files of their own.
 */
#ifndef ORIN_COMMANDS_H
#define ORIN_COMMANDS_H

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>
#include "orinbase.h"
#include "prf.h"

namespace orintool {

constexpr int kExitLibrary = 1;        // the library reported an error
constexpr int kExitUsage = 2;          // a wrong command line

/* Prints "orin: WHAT: error N (meaning)" on standard error; kExitLibrary.
 * The meaning is the code's usual one unless the caller knows better. */
int fail(const char *what, USHORT rc, const char *meaning = nullptr);

/* The usual meaning of a library error code ("error" when it has none). */
const char *meaningOf(USHORT rc);

/* Fetches a value, or the '~' list of sections (null section) or keys
 * (null key), into out. */
USHORT fetch(HPRF h, const char *section, const char *key, std::string &out);

/* The names of a '~' list; each name ends at its separator (or at a zero
 * byte before it), and a last part without a separator is not a name. */
std::vector<std::string> splitNames(const std::string &list);

/* One line of standard error that shows how far a long job has come,
 * rewritten as the percentage moves.  The library's progress callbacks
 * carry no context, so the one line being shown is kept here. */
class ProgressLine {
public:
    static void begin(const char *file)
    {
        file_ = file;
        shown_.clear();
    }
    static void show(const char *doing, unsigned percent)
    {
        std::string text = std::string(doing) + " " + std::to_string(percent) + "%";
        if (text == shown_)
            return;
        fprintf(stderr, "\rorin: %s: %-24s", file_, text.c_str());
        fflush(stderr);
        shown_ = text;
    }
    static void end()
    {
        if (!shown_.empty())
            fputc('\n', stderr);
        shown_.clear();
    }

private:
    static inline const char *file_ = "";
    static inline std::string shown_;
};

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

/* `orin arc COMMAND ARCHIVE ...` (orin_arc.cpp), given the whole command
 * line; the exit status.  arcUsage lists its commands for the usage text. */
int runArcCommand(int argc, char **argv);
extern const char *const arcUsage;

/* `orin dbf COMMAND FILE [ARGS]` (orin_dbf.cpp); the exit status.  dbfUsage
 * lists its commands for the usage text. */
int runDbfCommand(int argc, char **argv);
extern const char *const dbfUsage;

}  // namespace orintool

#endif
