// A second process for the lock tests: locks a byte range of a file with
// the system's own call, signals that it holds it, waits to be told to
// release it, unlocks and exits.
//   lock_helper <file> <offset> <length> <exclusive 0|1> <ready event> <release event>
#include <windows.h>
#include <cstdlib>

int main(int argc, char **argv)
{
    if (argc != 7)
        return 2;
    HANDLE f = CreateFileA(argv[1], GENERIC_READ | GENERIC_WRITE,
                           FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE)
        return 3;
    DWORD offset = strtoul(argv[2], nullptr, 10), length = strtoul(argv[3], nullptr, 10);
    DWORD flags = LOCKFILE_FAIL_IMMEDIATELY | (atoi(argv[4]) ? LOCKFILE_EXCLUSIVE_LOCK : 0);
    OVERLAPPED ov = {};
    ov.Offset = offset;
    if (!LockFileEx(f, flags, 0, length, 0, &ov))
        return 4;
    HANDLE ready = OpenEventA(EVENT_MODIFY_STATE, FALSE, argv[5]);
    HANDLE release = OpenEventA(SYNCHRONIZE, FALSE, argv[6]);
    if (!ready || !release)
        return 5;
    SetEvent(ready);
    WaitForSingleObject(release, 60000);
    UnlockFileEx(f, 0, length, 0, &ov);
    CloseHandle(f);
    return 0;
}
