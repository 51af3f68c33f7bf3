// Second process of the shared block-file test: runs one worker and
// writes its outcome (error, operations, live blocks) to a result file.
#include <cstdio>
#include <cstdlib>
#include "fal_worker.h"

int main(int argc, char **argv)
{
    if (argc != 6)                      // file tag seed millis result-file
        return 2;
    falworker::Result r = falworker::run(argv[1], argv[2], (unsigned)atoi(argv[3]),
                                         (DWORD)atoi(argv[4]));
    FILE *out = fopen(argv[5], "w");
    if (!out)
        return 3;
    fprintf(out, "%u %d %s\n", r.error, r.operations, r.what.empty() ? "-" : r.what.c_str());
    for (auto &e : r.live)
        fprintf(out, "%lu %s\n", (unsigned long)e.first, e.second.c_str());
    fclose(out);
    return r.error ? 1 : 0;
}
