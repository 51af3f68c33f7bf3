// The second process of the shared-index test.  In turns with the test it
// checks that it sees the test's changes (the number of 't' keys), makes
// its own round of changes to 'h' keys and hands the turn back; at the end
// it makes changes while the test reads concurrently.
//   ixd_share_helper <index file> <helper-turn event> <test-turn event>
// Exit code 0 on success; otherwise the failing step.
//   ixd_share_helper churn <index file> <ready event>
// instead opens the file unshared and enters and removes keys without end;
// after CHURN_READY changes it signals the event, and the test kills it.
#include <windows.h>
#include <cstring>
#include "ixdshare.h"

using namespace ixdshare;

namespace {

int churn(const char *file, const char *readyName)
{
    HANDLE ready = OpenEventA(EVENT_MODIFY_STATE, FALSE, readyName);
    ULONG err = 0;
    PIX ix = IxdOpen(file, KEY_LEN, 0, nullptr, &err);
    if (!ready || !ix)
        return 3;
    for (unsigned long round = 0;; round++) {
        auto list = ops('c', (unsigned)round, CHURN_READY);
        for (const Op &op : list)
            change(ix, op);
        if (round == 0)
            SetEvent(ready);
    }
}

} // namespace

int main(int argc, char **argv)
{
    if (argc == 4 && strcmp(argv[1], "churn") == 0)
        return churn(argv[2], argv[3]);
    if (argc != 4)
        return 2;
    HANDLE myTurn = OpenEventA(SYNCHRONIZE, FALSE, argv[2]);
    HANDLE theirTurn = OpenEventA(EVENT_MODIFY_STATE, FALSE, argv[3]);
    if (!myTurn || !theirTurn)
        return 3;
    ULONG err = 0;
    PIX ix = IxdOpen(argv[1], KEY_LEN, 1, nullptr, &err);
    if (!ix)
        return 4;
    auto mine = ops('h', HELPER_SEED, ROUNDS * PER_ROUND + CONCURRENT);
    auto theirs = ops('t', TEST_SEED, ROUNDS * PER_ROUND);
    int rc = 0;
    for (unsigned r = 0; r < ROUNDS && rc == 0; r++) {
        if (WaitForSingleObject(myTurn, 60000) != WAIT_OBJECT_0) {
            rc = 5;
            break;
        }
        ULONG seen = 0;
        if (IxdGetNrRecords(ix, "t", &seen) != 0 || seen != live(theirs, (r + 1) * PER_ROUND))
            rc = 10 + (int)r;
        for (unsigned i = r * PER_ROUND; i < (r + 1) * PER_ROUND && rc == 0; i++)
            if (change(ix, mine[i]) != 0)
                rc = 30 + (int)r;
        SetEvent(theirTurn);
    }
    if (rc == 0 && WaitForSingleObject(myTurn, 60000) != WAIT_OBJECT_0)
        rc = 6;
    for (size_t i = ROUNDS * PER_ROUND; i < mine.size() && rc == 0; i++) {
        if (change(ix, mine[i]) != 0)
            rc = 7;
        Sleep(2);
    }
    IxdClose(ix);
    return rc;
}
