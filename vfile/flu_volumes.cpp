/*
 * flu_volumes.cpp - the volumes behind the chopped-file back-end, and the
 * process-wide volume-change callback.
 *
 * A ChopFile keeps one volume open at a time, as a buffered file opened
 * for existing files with the back-end's open mode.  Opening volume i
 * (at most volume 999, else 57565) reads and checks its header: the magic
 * (57564), the index (57565), the total length (the first header read
 * sets it, later ones must agree: 57564) and the volume's data size
 * (file length - 12, which must agree with what an earlier opening saw:
 * 57564).  When opening or a check fails and a volume-change callback is
 * set, the callback may name another place for the volume and ask for
 * another attempt; a place it gave that worked is remembered for the
 * volume.  A byte's volume is found by adding up the data sizes from
 * volume 0, opening volumes not yet seen to learn theirs.
 */
#include <algorithm>
#include <cstring>
#include <mutex>
#include "vfile/fluint.h"
#include "frame/knlnamint.h"

namespace orin::flu {
namespace {

struct VolumeChangeHook {
    PFNCHOPVOLUMECHANGE callback = nullptr;
    void *user = nullptr;
};

SlimLock hookLock;
VolumeChangeHook hook;                 // hookLock

VolumeChangeHook currentHook() noexcept
{
    std::lock_guard guard(hookLock);
    return hook;
}

/* Asks the callback where volume `index` is; true for another attempt,
 * with path rewritten when the callback moved the path or its folder. */
bool askForVolume(void *ns, char *path, ULONG index) noexcept
{
    VolumeChangeHook h = currentHook();
    if (h.callback == nullptr)
        return false;
    char before[kPathRoom], file[kPathRoom], dir[kPathRoom], dirBefore[kPathRoom];
    std::strcpy(before, path);
    const char *name = knlNamLastComponent(ns, path);
    std::strcpy(file, name);
    knlNamCopy(dir, path, static_cast<std::size_t>(name - path) + 1);
    std::strcpy(dirBefore, dir);
    ULONG answer = h.callback(ns, path, dir, static_cast<USHORT>(index), h.user);
    path[kPathRoom - 1] = 0;
    dir[kPathRoom - 1] = 0;
    if (answer == 0)
        return false;
    if (std::strcmp(path, before) == 0 && std::strcmp(dir, dirBefore) != 0)
        KnlNamMakePathFromDF(ns, path, dir, file);
    return true;
}

}  // namespace

ChopFile::ChopFile() noexcept
{
    std::fill(std::begin(sizes_), std::end(sizes_), kUnseen);
}

USHORT ChopFile::init(void *ns, const char *firstName, ULONG openMode) noexcept
{
    openMode_ = openMode;
    return names_.init(ns, firstName);
}

USHORT ChopFile::close() noexcept
{
    current_ = kUnseen;
    return volume_ ? VbfClose(volume_.release()) : 0;
}

USHORT ChopFile::start()
{
    return total_ >= 0 ? 0 : openVolume(0);
}

const char *ChopFile::currentName() const noexcept
{
    return volume_ ? currentPath_ : names_.base();
}

USHORT ChopFile::openAt(ULONG pos, ULONG *offset, ULONG *available)
{
    ULONGLONG first = 0;
    for (ULONG i = 0; i < FLU_MAX_VBF_VOLUMES; i++) {
        USHORT rc = sizes_[i] == kUnseen ? openVolume(i) : 0;
        if (rc != 0)
            return rc;
        if (pos < first + sizes_[i]) {
            if ((rc = openVolume(i)) != 0)
                return rc;
            *offset = static_cast<ULONG>(pos - first);
            *available = sizes_[i] - *offset;
            return 0;
        }
        first += sizes_[i];
    }
    return FLU_ERR_WRONG_VOLUME;
}

USHORT ChopFile::openVolume(ULONG index)
{
    if (index == current_ && volume_)
        return 0;
    if (index >= FLU_MAX_VBF_VOLUMES)
        return FLU_ERR_WRONG_VOLUME;
    close();
    char path[kPathRoom];
    auto moved = moved_.find(index);
    USHORT rc = 0;
    if (moved != moved_.end())
        knlNamCopy(path, moved->second.c_str(), sizeof path);
    else if ((rc = names_.name(index, path)) != 0)
        return rc;
    while ((rc = tryOpen(index, path)) != 0) {
        if (!askForVolume(names_.nameSpace(), path, index))
            return rc;
    }
    char built[kPathRoom];
    if (names_.name(index, built) != 0 || std::strcmp(built, path) != 0)
        moved_[index] = path;
    return 0;
}

USHORT ChopFile::tryOpen(ULONG index, const char *path) noexcept
{
    HVBF h = nullptr;
    ULONG action = 0;
    USHORT rc = VbfOpen(names_.nameSpace(), path, &h, &action, 0, VBF_ATTR_NORMAL,
                        VBF_OPEN_EXISTING, openMode_, nullptr);
    if (rc != 0)
        return rc;
    UniqueVbf opened(h);
    BYTE bytes[kHeaderSize];
    ULONG got = 0, length = 0;
    VolumeHeader header;
    if ((rc = VbfRead(h, bytes, kHeaderSize, &got)) != 0
        || (rc = decodeHeader(bytes, got, &header)) != 0)
        return rc;
    ULONG total = total_ >= 0 ? static_cast<ULONG>(total_) : header.totalSize;
    if ((rc = checkHeader(header, static_cast<USHORT>(index), total)) != 0
        || (rc = VbfQueryLength(h, &length)) != 0)
        return rc;
    ULONG data = length - kHeaderSize;
    if (sizes_[index] != kUnseen && sizes_[index] != data)
        return FLU_ERR_NOT_CHOPPED;
    total_ = total;
    sizes_[index] = data;
    current_ = index;
    volume_ = std::move(opened);
    knlNamCopy(currentPath_, path, sizeof currentPath_);
    return 0;
}

}  // namespace orin::flu

USHORT ORINAPI ChopVbfSetVolumeChangeCallback(PFNCHOPVOLUMECHANGE callback, void *userData) noexcept
{
    std::lock_guard guard(orin::flu::hookLock);
    orin::flu::hook = {callback, userData};
    return 0;
}
