// Second process of the profile sharing tests.
//   prf_helper share FILE TAG SEED N    writes N operations to a shared profile,
//                                       reading the other side's keys between
//   prf_helper try FILE RESULT          one write to a shared profile; its code
//                                       goes to RESULT
//   prf_helper create-slow FILE EVENT   creates a new shared profile, stopping
//                                       for a while at its first write (after
//                                       setting EVENT), then writes one key
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <windows.h>
#include "fbf.h"
#include "prf.h"
#include "prf_worker.h"

using namespace prfworker;

static int share(const char *file, const char *tag, unsigned seed, int count)
{
    HPRF h = nullptr;
    if (PrfOpenProfile(NULL, &h, file, PRF_OPEN_SHARED))
        return 3;
    std::string other = tag[0] == 'a' ? "b" : "a";
    std::string buf(50000, '\0');
    for (int j = 0; j < count; j++) {
        std::string v = valueOf(seed, j);
        USHORT rc = PrfWriteProfileData(h, sectionOf(j).c_str(), keyOf(tag, j).c_str(),
                                        v.data(), (ULONG)v.size());
        if (rc) {
            fprintf(stderr, "write %d: %u\n", j, rc);
            return 5;
        }
        ULONG size = (ULONG)buf.size();
        rc = PrfQueryProfileData(h, sectionOf(j).c_str(), keyOf(other, j).c_str(), &buf[0],
                                 &size);
        if (rc && rc != ORIN_ERR_NO_KEY) {
            fprintf(stderr, "read %d: %u\n", j, rc);
            return 6;
        }
    }
    PrfCloseProfile(h);
    return 0;
}

static int tryWrite(const char *file, const char *result)
{
    HPRF h = nullptr;
    USHORT rc = PrfOpenProfile(NULL, &h, file, PRF_OPEN_SHARED);
    if (!rc)
        rc = PrfWriteProfileString(h, "try", "key", "helper");
    PrfCloseProfile(h);
    FILE *out = fopen(result, "wb");
    if (!out)
        return 4;
    fprintf(out, "%u\n", rc);
    fclose(out);
    return 0;
}

static PFNVBFWRITE realWrite;
static HANDLE pauseEvent;

/* The first write to the new file stops for a while: the file then exists
 * and is empty, as it is for a moment whenever a profile is created. */
static USHORT slowFirstWrite(void *h, const void *buf, ULONG count, ULONG *done)
{
    if (pauseEvent) {
        SetEvent(pauseEvent);
        CloseHandle(pauseEvent);
        pauseEvent = NULL;
        Sleep(1500);
    }
    return realWrite(h, buf, count, done);
}

static int createSlowly(const char *file, const char *event)
{
    VBFFUNCS *funcs = FbfAllocVbfFuncStruct(NULL);
    HPRF h = nullptr;
    if (!funcs || !(pauseEvent = OpenEventA(EVENT_MODIFY_STATE, FALSE, event)))
        return 4;
    realWrite = funcs->Write;
    funcs->Write = slowFirstWrite;
    if (PrfOpenProfileOnVbf(NULL, &h, file, PRF_OPEN_SHARED, funcs))
        return 3;
    USHORT rc = PrfWriteProfileString(h, "made", "by-helper", "yes");
    PrfCloseProfile(h);
    return rc ? 5 : 0;
}

int main(int argc, char **argv)
{
    if (argc == 6 && strcmp(argv[1], "share") == 0)
        return share(argv[2], argv[3], (unsigned)atoi(argv[4]), atoi(argv[5]));
    if (argc == 4 && strcmp(argv[1], "try") == 0)
        return tryWrite(argv[2], argv[3]);
    if (argc == 4 && strcmp(argv[1], "create-slow") == 0)
        return createSlowly(argv[2], argv[3]);
    return 2;
}
