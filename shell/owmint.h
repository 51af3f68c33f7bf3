/*
 * owmint.h - internal steps of the mail entry points, split out so that
 * tests can drive them without a mail library.
 */
#ifndef ORIN_SHELL_OWMINT_H
#define ORIN_SHELL_OWMINT_H

#include "owmmapi.h"

namespace orin::owm {

/* Mail is enabled through the Windows profile or the registry. */
bool mailEnabled() noexcept;

/* A Simple MAPI result as this library's error code. */
USHORT translateMapiResult(ULONG result) noexcept;

/* The file parts of the delimiter-separated paths, joined by the
 * delimiter, in a heap block for the caller to free; null when no block
 * could be had.  When the block cannot grow, the list built so far. */
char *fileNameList(const char *delimiter, const char *paths) noexcept;

/* Use counts of the two bindings. */
ULONG mapiUses() noexcept;
ULONG tapiUses() noexcept;

}  // namespace orin::owm

#endif  // ORIN_SHELL_OWMINT_H
