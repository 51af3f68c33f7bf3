/*
 * orin_gzip.cpp - `orin gzip FILE` writes FILE.gz, one gzip member of
 * FILE; `orin gunzip FILE.gz` writes FILE from FILE.gz, which may hold
 * gzip, one-entry zip, pack or compress data.  Both go through
 * ZipCompress: the source stays, an existing target is replaced, and a
 * target left incomplete by a failure is removed.  Exit status 0 on
 * success, 1 when the library reports an error (named with its code on
 * standard error), 2 for a wrong command line.
 */
#include <cstdio>
#include <cstring>
#include <string>
#include <windows.h>
#include "knl.h"
#include "knlnam.h"
#include "orin_commands.h"
#include "zip.h"

namespace {

constexpr int kExitLibrary = 1;
constexpr int kExitUsage = 2;
constexpr char kSuffix[] = ".gz";
constexpr std::size_t kSuffixLength = sizeof kSuffix - 1;

struct Meaning {
    USHORT code;
    const char *text;
};

constexpr Meaning kMeanings[] = {
    {2, "file not found"},
    {3, "path not found"},
    {5, "access denied"},
    {8, "out of memory"},
    {32, "file in use"},
    {112, "disk full"},
    {123, "invalid file name"},
    {ZIP_ERR_FAILED, "damaged or unsupported compressed data"},
};

int fail(const char *what, USHORT rc)
{
    const char *text = "error";
    for (const Meaning &m : kMeanings)
        if (m.code == rc)
            text = m.text;
    fprintf(stderr, "orin: %s: error %u (%s)\n", what, rc, text);
    return kExitLibrary;
}

int usage()
{
    fputs("usage: orin gzip FILE       compress FILE into FILE.gz\n"
          "       orin gunzip FILE.gz  decompress FILE.gz into FILE\n",
          stderr);
    return kExitUsage;
}

bool hasSuffix(const std::string &name)
{
    return name.size() > kSuffixLength
           && lstrcmpiA(name.c_str() + name.size() - kSuffixLength, kSuffix) == 0;
}

}  // namespace

int runZipCommand(int argc, char **argv)
{
    if (argc != 3)
        return usage();
    bool unpack = strcmp(argv[1], "gunzip") == 0;
    std::string source = argv[2];
    if (unpack && !hasSuffix(source))
        return usage();
    std::string target = unpack ? source.substr(0, source.size() - kSuffixLength) : source + kSuffix;
    KnlInitCP();
    KnlInitDBCSEv();
    USHORT rc = ZipCompress(KnlNamGetDefaultNS(), source.c_str(), target.c_str(), unpack ? 1 : 0);
    return rc != 0 ? fail(source.c_str(), rc) : 0;
}
