/*
 * orin_chop.cpp - `orin chop FILE VOLUMESIZE` and `orin merge FIRSTVOLUME
 * TARGET`: cutting a file into volumes and joining them again.
 *
 * chop writes the volumes FILE.000, FILE.001, ... of at most VOLUMESIZE
 * bytes each; a file that fits in one volume is copied to FILE.000 as it
 * is.  merge joins the volumes that start with FIRSTVOLUME into TARGET; a
 * FIRSTVOLUME that is no volume at all (a file that fitted) is copied.
 * Each volume gives one line on standard error ("orin: writing NAME (n
 * left)", "orin: reading NAME"); chop lists the files it wrote on
 * standard output.  The commands run unattended: the first volume that
 * fails ends the command, and the message names that volume.
 */
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include "flu.h"
#include "knl.h"
#include "knlnam.h"
#include "orin_commands.h"

namespace orintool {
namespace {

constexpr const char *kChopUsage =
    "usage: orin chop FILE VOLUMESIZE\n"
    "       orin merge FIRSTVOLUME TARGET\n";
constexpr const char *kFirstVolumeExt = ".000";

/* What the commands learn from the library's events. */
struct Progress {
    ULONG volumesDone = 0;
    char failedVolume[KNLNAM_MAXPATH] = {};
};

ULONG ORINAPI onEvent(USHORT event, USHORT, ULONG value, char *path, ULONG, void *user)
{
    auto *p = static_cast<Progress *>(user);
    switch (event) {
    case FLU_EVENT_NEXT_VOLUME:
        fprintf(stderr, "orin: writing %s (%lu left)\n", path, value);
        return 0;
    case FLU_EVENT_READ_VOLUME:
        fprintf(stderr, "orin: reading %s\n", path);
        return 0;
    case FLU_EVENT_VOLUME_DONE:
        printf("%s\n", path);
        p->volumesDone++;
        return 0;
    default:                                  // a volume failed: give up
        strncpy(p->failedVolume, path, sizeof p->failedVolume - 1);
        return 1;
    }
}

int usage()
{
    fputs(kChopUsage, stderr);
    return kExitUsage;
}

/* A volume size in decimal, above 0 and within 32 bits. */
bool parseSize(const char *text, ULONG *size)
{
    char *end = nullptr;
    errno = 0;
    unsigned long long v = strtoull(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || text[0] == '-' || v == 0 || v > 0xFFFFFFFFull)
        return false;
    *size = static_cast<ULONG>(v);
    return true;
}

int failAt(const Progress &p, const char *whole, USHORT rc)
{
    return fail(p.failedVolume[0] ? p.failedVolume : whole, rc);
}

int chop(const char *file, const char *sizeText)
{
    ULONG volumeSize;
    if (!parseSize(sizeText, &volumeSize))
        return usage();
    const std::string first = std::string(file) + kFirstVolumeExt;
    Progress p;
    USHORT rc = FluFileChop(KnlNamGetDefaultNS(), file, first.c_str(), volumeSize, onEvent, &p);
    if (rc != 0)
        return failAt(p, file, rc);
    if (p.volumesDone == 0) {
        fprintf(stderr, "orin: %s fits in one volume: copied to %s\n", file, first.c_str());
        printf("%s\n", first.c_str());
    }
    return 0;
}

int merge(const char *firstVolume, const char *target)
{
    void *ns = KnlNamGetDefaultNS();
    BOOL chopped = FALSE;
    USHORT rc = FluQueryChopped(ns, firstVolume, FLU_ANY_VOLUME, &chopped);
    if (rc != 0)
        return fail(firstVolume, rc);
    Progress p;
    if (chopped) {
        rc = FluFileMerge(ns, firstVolume, target, onEvent, &p);
    } else {
        fprintf(stderr, "orin: %s is not chopped: copied to %s\n", firstVolume, target);
        rc = KnlNamCopy(ns, firstVolume, target, KNLNAM_COPY_REPLACE, 0);
    }
    return rc != 0 ? failAt(p, firstVolume, rc) : 0;
}

}  // namespace

int runChopCommand(int argc, char **argv)
{
    if (argc != 4)
        return usage();
    KnlInitCP();
    KnlInitDBCSEv();
    return strcmp(argv[1], "chop") == 0 ? chop(argv[2], argv[3]) : merge(argv[2], argv[3]);
}

}  // namespace orintool
