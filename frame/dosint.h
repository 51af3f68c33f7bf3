/*
 * dosint.h - process-service state read by other frame sources.
 */
#ifndef DOSINT_H
#define DOSINT_H

#include "orinbase.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Non-zero while KnlNamCopy should beep after each block. */
USHORT dosCopySoundFlag(void);

#ifdef __cplusplus
}

#include <windows.h>
#include <stddef.h>
namespace orin::dosres {
/* Language + module name (at most 7 characters) + ".dll" when the name has
 * no extension; false when it does not fit. */
bool BuildModuleFileName(const char *moduleName, char *out, size_t size) noexcept;
/* Loads a resource module by name, then from the resource path, then asks
 * the user unless told never to ask again; null when it stays missing. */
HMODULE LoadResourceModule(const char *moduleName) noexcept;
}  // namespace orin::dosres
#endif

#endif /* DOSINT_H */
