/*
 * orin_maint.cpp - `orin prf check|pack|repair|convert FILE`: the
 * maintenance of profile files from the command line.
 *
 * check opens the profile for reading and verifies every table and value
 * piece; pack, repair and convert work on the closed file by name and
 * replace it only when the new file is complete (convert turns a
 * first-format profile into the current format).  Pack and repair show
 * their progress on one line of standard error, rewritten as the
 * percentage moves.
 */
#include <cstdio>
#include <cstring>
#include <string>
#include "orin_commands.h"
#include "prf.h"

namespace orintool {

namespace {

ULONG ORINAPI packProgress(USHORT *percent)
{
    ProgressLine::show("packing", percent ? *percent : 0);
    return 0;
}

ULONG ORINAPI repairProgress(PRFREPAIRPROGRESS *p, ULONG)
{
    ProgressLine::show(p->phase <= 2 ? "scanning" : "rebuilding", p->percent);
    return 0;
}

int check(const char *file)
{
    HPRF h = nullptr;
    USHORT rc = PrfOpenProfile(nullptr, &h, file, PRF_OPEN_READONLY);
    if (rc)
        return fail(file, rc);
    rc = PrfCheckConsistent(h);
    PrfCloseProfile(h);
    if (rc)
        return fail(file, rc);
    printf("%s: no damage found\n", file);
    return 0;
}

int pack(const char *file, bool backup)
{
    USHORT percent = 0;
    ProgressLine::begin(file);
    USHORT rc = PrfFalPackQueryCancel(nullptr, file, backup, packProgress, &percent);
    if (!rc)
        ProgressLine::show("packing", percent);
    ProgressLine::end();
    return rc ? fail(file, rc) : 0;
}

int repair(const char *file)
{
    PRFREPAIRPROGRESS progress;
    ProgressLine::begin(file);
    USHORT rc = PrfFalRepairQueryCancel(nullptr, file, repairProgress, &progress);
    ProgressLine::end();
    if (rc)
        return fail(file, rc);
    printf("%s: repaired; the damaged file is kept with the extension BAK\n", file);
    return 0;
}

int convert(const char *file)
{
    USHORT rc = PrfFalConvert100to200(nullptr, file);
    if (rc == PRF_ERR_NOTFIRSTFORMAT)
        return fail(file, rc, "not a first-format profile");
    if (rc)
        return fail(file, rc);
    printf("%s: converted to the current format; the old file is kept with the extension BAK\n",
           file);
    return 0;
}

}  // namespace

bool isMaintenanceCommand(std::string_view cmd)
{
    return cmd == "check" || cmd == "pack" || cmd == "repair" || cmd == "convert";
}

int runMaintenanceCommand(std::string_view cmd, const char *file, int argc, char **argv)
{
    if (cmd == "check" && argc == 0)
        return check(file);
    if (cmd == "pack" && argc == 0)
        return pack(file, false);
    if (cmd == "pack" && argc == 1 && strcmp(argv[0], "--backup") == 0)
        return pack(file, true);
    if (cmd == "repair" && argc == 0)
        return repair(file);
    if (cmd == "convert" && argc == 0)
        return convert(file);
    return -1;
}

}  // namespace orintool
