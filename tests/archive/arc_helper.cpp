/*
 * arc_helper.cpp - the second process of the shared-archive tests.
 *
 *   arc_helper writer FILE FIRST COUNT SEED   add documents FIRST.. with
 *       their NAME and BODY, renaming earlier ones under the document lock
 *   arc_helper hold FILE DOC                  lock document DOC, signal the
 *       event "arc_helper_locked", wait for "arc_helper_release", close
 * The exit status is 0, or the library code that stopped the work.
 */
#include <windows.h>
#include <cstdio>
#include <cstdlib>
#include <string>
#include "arc_worker.h"
#include "brc.h"

using namespace arcworker;

namespace {

/* Shared-mode section locks are refused while another holds them: retry. */
template <class F>
USHORT retrying(F &&f)
{
    USHORT rc = 0;
    for (int attempt = 0; attempt < 2000; attempt++) {
        rc = f();
        if (rc != ORIN_ERR_LOCK_VIOLATION)
            return rc;
        Sleep(2);
    }
    return rc;
}

USHORT setField(BrdDocument *d, const char *field, const std::string &v)
{
    return BrdFldSet(d, field, 'T', v.data(), ULONG(v.size()), FALSE);
}

int writer(const char *file, int first, int count, unsigned seed)
{
    BrcArchive *a = nullptr;
    USHORT rc = BrcOpen(nullptr, &a, file, 1);
    if (rc)
        return rc;
    for (int i = first; i < first + count && rc == 0; i++) {
        BrdDocument *d = nullptr;
        rc = retrying([&] {
            return BrdAddDocument(a, &d, kSite, std::to_string(i).c_str(), TRUE, TRUE);
        });
        if (rc)
            break;
        if (BrdGetDocNumber(d) != i)
            rc = 0xFFFF;
        if (rc == 0)
            rc = setField(d, "NAME", nameOf(seed, i, 0));
        if (rc == 0)
            rc = setField(d, "BODY", bodyOf(seed, i));
        USHORT closeRc = BrdCloseDocument(d);
        if (rc == 0)
            rc = closeRc;
        int target = renamedBy(i);
        if (rc || target < first)
            continue;
        BrdDocument *t = nullptr;
        rc = retrying([&] { return BrdOpenDocument(a, &t, USHORT(target), TRUE); });
        if (rc == 0) {
            rc = BrdFldSetString(t, "NAME", nameOf(seed, target, 1).c_str());
            USHORT c = BrdCloseDocument(t);
            if (rc == 0)
                rc = c;
        }
    }
    USHORT closeRc = BrcClose(a);
    return rc ? rc : closeRc;
}

int hold(const char *file, USHORT doc)
{
    HANDLE locked = CreateEventA(nullptr, TRUE, FALSE, "arc_helper_locked");
    HANDLE release = CreateEventA(nullptr, TRUE, FALSE, "arc_helper_release");
    BrcArchive *a = nullptr;
    USHORT rc = BrcOpen(nullptr, &a, file, 1);
    if (rc)
        return rc;
    BrdDocument *d = nullptr;
    rc = BrdOpenDocument(a, &d, doc, TRUE);
    SetEvent(locked);
    if (rc == 0) {
        WaitForSingleObject(release, 60000);
        rc = BrdCloseDocument(d);
    }
    BrcClose(a);
    CloseHandle(locked);
    CloseHandle(release);
    return rc;
}

}  // namespace

int main(int argc, char **argv)
{
    std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "writer" && argc == 6)
        return writer(argv[2], atoi(argv[3]), atoi(argv[4]), unsigned(strtoul(argv[5], nullptr, 10)));
    if (mode == "hold" && argc == 4)
        return hold(argv[2], USHORT(atoi(argv[3])));
    fprintf(stderr, "usage: arc_helper writer FILE FIRST COUNT SEED | hold FILE DOC\n");
    return 2;
}
