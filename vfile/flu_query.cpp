/*
 * flu_query.cpp - questions about chopped files without opening them as
 * one: whether a file is a volume (FluQueryChopped), and the names of all
 * volumes of a chopped file (FluChopEnumNames).
 *
 * The enumeration walks the volumes from the first, checking each header
 * (magic, index, total length) and adding up the data the volumes hold
 * until it reaches the total length.  The list is built in full first,
 * then handed over in the caller's buffer (as much as fits) or in a block
 * of the run-time heap that the caller frees.
 */
#include <cstdlib>
#include <cstring>
#include <string>
#include "vfile/fluint.h"
#include "frame/boundary.h"

namespace orin::flu {
namespace {

/* Appends the names of all volumes, each followed by the separator. */
USHORT listVolumes(void *ns, const char *firstName, char separator, std::string &list)
{
    VolumeNames names;
    USHORT rc = names.init(ns, firstName);
    if (rc != 0)
        return rc;
    ULONG total = 0;
    ULONGLONG seen = 0;
    for (ULONG i = 0; i == 0 || seen < total; i++) {
        char path[kPathRoom];
        PlainFile volume;
        VolumeHeader h;
        ULONG data = 0;
        if (i >= FLU_MAX_CHOP_VOLUMES || names.name(i, path) != 0
            || openVolumeFile(ns, path, volume, &h, &data) != 0)
            return ORIN_ERR_GENERAL;
        if (i == 0)
            total = h.totalSize;
        if (checkHeader(h, static_cast<USHORT>(i), total) != 0)
            return ORIN_ERR_GENERAL;
        seen += data;
        list += path;
        list += separator;
    }
    return 0;
}

/* Hands the list over: into the caller's buffer of *size bytes, or (when
 * *size is 0) as a heap block stored through list. */
USHORT deliver(const std::string &text, void *list, ULONG *size) noexcept
{
    ULONG room = *size;
    *size = static_cast<ULONG>(text.size());
    if (room == 0) {
        auto *block = static_cast<char *>(std::malloc(text.size() + 1));
        if (block == nullptr)
            return ORIN_ERR_NO_MEMORY;
        std::memcpy(block, text.data(), text.size() + 1);
        *static_cast<char **>(list) = block;
        return 0;
    }
    std::size_t n = text.size() < room ? text.size() : room - 1;
    std::memcpy(list, text.data(), n);
    static_cast<char *>(list)[n] = 0;
    return n == text.size() ? 0 : ORIN_ERR_BUFFER_TOO_SMALL;
}

}  // namespace
}  // namespace orin::flu

using namespace orin::flu;

USHORT ORINAPI FluQueryChopped(void *nameSpace, const char *name, USHORT volumeIndex,
                               BOOL *isChopped) noexcept
{
    if (name == nullptr || isChopped == nullptr)
        return ORIN_ERR_INVALID_PARAM;
    *isChopped = FALSE;
    PlainFile file;
    VolumeHeader h;
    USHORT rc = openVolumeFile(nameSpace, name, file, &h, nullptr);
    if (rc == FLU_ERR_NOT_CHOPPED)
        return 0;
    if (rc == 0)
        *isChopped = volumeIndex == FLU_ANY_VOLUME || h.index == volumeIndex;
    return rc;
}

USHORT ORINAPI FluChopEnumNames(void *nameSpace, const char *firstName, void *list,
                                ULONG *size, char separator) noexcept
{
    if (list == nullptr || size == nullptr)
        return ORIN_ERR_INVALID_PARAM;
    return orin::guardCode([&]() -> USHORT {
        std::string text;
        USHORT rc = listVolumes(nameSpace, firstName, separator, text);
        return rc != 0 ? rc : deliver(text, list, size);
    });
}
