/*
 * printfix.h - what the printing test programs share: the document titles
 * stamped with the run, and the DEVNAMES block a stand-in print dialog
 * hands back (laid out as the system dialog lays it out).
 */
#ifndef ORIN_TESTS_PM_PRINT_PRINTFIX_H
#define ORIN_TESTS_PM_PRINT_PRINTFIX_H

#include <windows.h>
#include <cstring>
#include <string>

namespace printfix {

/* Document titles carry the run's stamp, so the host check tells this
 * run's PDFs from earlier ones. */
inline std::string titled(const char *name)
{
    static const std::string stamp =
        std::to_string(GetCurrentProcessId()) + "_" + std::to_string(GetTickCount());
    return std::string(name) + "_" + stamp;
}

/* A DEVNAMES block naming a printer, as the system dialog makes it. */
inline HGLOBAL devNamesFor(const char *driver, const char *device, const char *port)
{
    size_t d = std::strlen(driver) + 1, v = std::strlen(device) + 1, p = std::strlen(port) + 1;
    HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(DEVNAMES) + d + v + p);
    auto *names = static_cast<DEVNAMES *>(GlobalLock(h));
    char *base = reinterpret_cast<char *>(names);
    names->wDriverOffset = sizeof(DEVNAMES);
    names->wDeviceOffset = static_cast<WORD>(names->wDriverOffset + d);
    names->wOutputOffset = static_cast<WORD>(names->wDeviceOffset + v);
    std::memcpy(base + names->wDriverOffset, driver, d);
    std::memcpy(base + names->wDeviceOffset, device, v);
    std::memcpy(base + names->wOutputOffset, port, p);
    GlobalUnlock(h);
    return h;
}

}  // namespace printfix

#endif  // ORIN_TESTS_PM_PRINT_PRINTFIX_H
