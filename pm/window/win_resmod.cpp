/*
 * win_resmod.cpp - the library's system resource module and string loads.
 *
 * The system resource module is language code + "ocl" (engocl.dll), looked
 * for like every resource module (frame/dos_resmod.cpp).  It is loaded on
 * the first WinGetSystemResourceModule and counted: each later call adds
 * one use, WinFreeSystemResourceModule(0) takes one away and frees the
 * module with the last; a non-zero flag frees it whatever the count
 * (WinTerminate does that).  OpmLoadString reads from the module without
 * counting a use, loading it when it is not loaded yet.
 */
#include <windows.h>
#include "win.h"
#include "frame/dosint.h"

namespace orin::pmres {
namespace {

constexpr char kSystemModuleName[] = "ocl";

HMODULE systemModule = nullptr;
ULONG useCount = 0;

HMODULE loadSystemModule() noexcept
{
    if (systemModule == nullptr) {
        systemModule = orin::dosres::LoadResourceModule(kSystemModuleName);
        useCount = 0;
    }
    return systemModule;
}

}  // namespace
}  // namespace orin::pmres

using namespace orin::pmres;

HMODULE ORINAPI WinGetSystemResourceModule(void) noexcept
{
    HMODULE module = loadSystemModule();
    if (module != nullptr)
        useCount++;
    return module;
}

BOOL ORINAPI WinFreeSystemResourceModule(ULONG flag) noexcept
{
    if (systemModule == nullptr)
        return FALSE;
    if (flag == 0 && useCount > 1) {
        useCount--;
        return TRUE;
    }
    FreeLibrary(systemModule);
    systemModule = nullptr;
    useCount = 0;
    return TRUE;
}

ULONG ORINAPI WinQuerySystemResourceModuleUses(void) noexcept
{
    return systemModule != nullptr ? useCount : 0;
}

LONG ORINAPI WinLoadString(HMODULE module, ULONG id, LONG size, char *buffer) noexcept
{
    if (buffer == nullptr || size <= 0)
        return 0;
    buffer[0] = '\0';
    if (id > 0xFFFF)
        return 0;
    HMODULE from = module != nullptr ? module : GetModuleHandleA(nullptr);
    int copied = LoadStringA(from, static_cast<UINT>(id), buffer, static_cast<int>(size));
    if (copied <= 0) {
        buffer[0] = '\0';
        return 0;
    }
    return copied;
}

LONG ORINAPI OpmLoadString(ULONG id, char *buffer, LONG size) noexcept
{
    if (buffer == nullptr || size <= 0)
        return 0;
    buffer[0] = '\0';
    HMODULE module = loadSystemModule();
    return module != nullptr ? WinLoadString(module, id, size, buffer) : 0;
}
