// Helper process for the buffered-file tests: writes a text into a file at
// an offset with plain system calls, sharing read and write, then exits
// with 0 on success.  Usage: fbf_writer <file> <offset> <text>
#include <windows.h>
#include <cstdlib>
#include <cstring>

int main(int argc, char **argv)
{
    if (argc != 4)
        return 2;
    HANDLE h = CreateFileA(argv[1], GENERIC_READ | GENERIC_WRITE,
                           FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return 3;
    DWORD done = 0;
    bool ok = SetFilePointer(h, (LONG)strtoul(argv[2], nullptr, 10), nullptr, FILE_BEGIN)
                  != INVALID_SET_FILE_POINTER
              && WriteFile(h, argv[3], (DWORD)strlen(argv[3]), &done, nullptr)
              && done == strlen(argv[3]);
    CloseHandle(h);
    return ok ? 0 : 4;
}
