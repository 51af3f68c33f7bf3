// Helper program for the program-starter tests: opm_helper <outfile> <sleep-ms> [args...]
// Sleeps, then writes its arguments (one per line) and its PATH into
// outfile (through a temporary name, so the file appears whole).
#include <windows.h>
#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char **argv)
{
    if (argc < 3)
        return 2;
    Sleep((DWORD)atoi(argv[2]));
    std::string tmp = std::string(argv[1]) + ".part";
    FILE *f = fopen(tmp.c_str(), "wb");
    if (!f)
        return 3;
    for (int i = 3; i < argc; i++)
        fprintf(f, "arg=%s\n", argv[i]);
    char path[8192];
    DWORD n = GetEnvironmentVariableA("PATH", path, sizeof path);
    fprintf(f, "PATH=%s\n", n && n < sizeof path ? path : "");
    fclose(f);
    MoveFileExA(tmp.c_str(), argv[1], MOVEFILE_REPLACE_EXISTING);
    return 0;
}
