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

namespace orintool {

namespace {

constexpr char kSuffix[] = ".gz";
constexpr std::size_t kSuffixLength = sizeof kSuffix - 1;
constexpr const char *kDamaged = "damaged or unsupported compressed data";

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
    return rc != 0 ? fail(source.c_str(), rc, rc == ZIP_ERR_FAILED ? kDamaged : nullptr) : 0;
}

}  // namespace orintool
