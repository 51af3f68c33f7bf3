// A database engine in a module of its own, for DbxAttachEngine: it hands
// out the library's built-in table with an initialiser and a terminator
// added that count their calls.  Parameter 7 makes the initialiser fail;
// parameter 9 hands out no table.
#include <windows.h>
#include "dbx.h"

namespace {
DBXVTBL table;
int inits, terms;
ULONG initAnswer = 1;

ULONG countInit() { ++inits; return initAnswer; }
void countTerm() { ++terms; }
}  // namespace

extern "C" __declspec(dllexport) PDBXVTBL DbxGetEngineVtbl(ULONG parameter) noexcept
{
    if (parameter == 9)
        return nullptr;
    auto builtin = reinterpret_cast<PDBXVTBL (*)(ULONG)>(
        GetProcAddress(GetModuleHandleA("orin.dll"), "DbxGetEngineVtbl"));
    table = *builtin(0);
    table.Init = countInit;
    table.Term = countTerm;
    initAnswer = parameter == 7 ? 0 : 1;
    return &table;
}

extern "C" __declspec(dllexport) void FakeEngineCounts(int *initCalls, int *termCalls)
{
    *initCalls = inits;
    *termCalls = terms;
}
