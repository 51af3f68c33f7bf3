/*
 * fbf_view.cpp - read views of the buffered files.
 *
 * A file on a local disk opened to deny all sharing, with read access, is
 * one that no other handle can write, shorten or lock while it is open:
 * every change to it goes through this process's one system handle.  Such a file is
 * read through a read-only mapped view of the system's copy of it instead
 * of read calls; a read inside the view is one copy.  Writes still go to
 * the system at once, and the view shows them (the file is opened for
 * cached transfers, and on a local disk a mapped view and cached read and
 * write calls see the same pages), so nothing here is ever stale.
 *
 * A view covers the file's length when it was made.  A read that reaches
 * past it goes through the page cache as before; once the file has grown
 * by a quarter (or kMinGrowth) the view is made again over the new
 * length.  A change of size drops the view first (the system refuses to
 * shorten a file under a view), as does closing.  Views of all files
 * together stay within kViewBudget; a file larger than what is left is
 * viewed in its first part.  Files shorter than kMinViewBytes are left to
 * the page cache, which holds them whole, and files on network or
 * removable drives to read calls.
 *
 * Every function here expects tableLock held.
 */
#include <algorithm>
#include <atomic>
#include <cstring>
#include "vfile/fbfint.h"

namespace orin::fbf {

namespace {

constexpr ULONG kMinViewBytes = 64 * 1024;
constexpr ULONG kMinGrowth = 256 * 1024;

std::atomic<bool> mappedReadsOn{true};
ULONG64 viewedBytes;                    /* all views together; tableLock */

/* The length at which a view made at `length` is worth making again. */
ULONG64 remapLength(ULONG length)
{
    return ULONG64{length} + std::max<ULONG>(length / 4, kMinGrowth);
}

/* Maps [0, length) of the file read-only; null on any failure. */
const BYTE *mapHead(const FBFENTRY &e, ULONG length)
{
    HANDLE mapping = CreateFileMappingA(osHandleOf(e), nullptr, PAGE_READONLY, 0, length, nullptr);
    if (mapping == nullptr)
        return nullptr;
    void *view = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, length);
    CloseHandle(mapping);               /* the view keeps the section */
    return static_cast<const BYTE *>(view);
}

/* Whether `name` lies on a disk of this machine.  The system does not
 * keep a view of a remote file coherent with writes, and a view of a file
 * on a network or removable drive faults where a read call answers an
 * error when the drive goes away; such files are read by calls. */
bool onLocalDisk(const char *name)
{
    char volume[MAX_PATH];
    if (!GetVolumePathNameA(name, volume, sizeof volume))
        return false;
    UINT type = GetDriveTypeA(volume);
    return type == DRIVE_FIXED || type == DRIVE_RAMDISK;
}

}  // namespace

bool mayView(const char *name, USHORT openMode) noexcept
{
    return (openMode & knlnam::kOpenShareMask) == VBF_SHARE_DENY_ALL &&
           (openMode & knlnam::kOpenAccessMask) != VBF_MODE_WRITE && onLocalDisk(name);
}

void setMappedReads(bool on) noexcept
{
    mappedReadsOn.store(on, std::memory_order_relaxed);
}

bool mappedReads() noexcept
{
    return mappedReadsOn.load(std::memory_order_relaxed);
}

void dropReadView(FBFENTRY &e)
{
    if (e.readView != nullptr) {
        UnmapViewOfFile(e.readView);
        viewedBytes -= e.readViewLength;
    }
    e.readView = nullptr;
    e.readViewLength = 0;
    e.viewTriedAt = 0;
}

void refreshReadView(const _FBF *h)
{
    FBFENTRY &e = entryOf(h);
    ULONG length;
    if (!e.viewable || !mappedReads() || knownLength(h, &length) != 0)
        return;
    if (length < kMinViewBytes || (e.viewTriedAt != 0 && length < remapLength(e.viewTriedAt)))
        return;
    dropReadView(e);
    e.viewTriedAt = length;
    ULONG64 room = kViewBudget - viewedBytes;
    auto want = static_cast<ULONG>(std::min<ULONG64>(length, room) & ~ULONG64{kPageMask});
    if (want < kMinViewBytes)
        return;
    if (const BYTE *view = mapHead(e, want)) {
        e.readView = view;
        e.readViewLength = want;
        viewedBytes += want;
    }
}

bool copyFromView(const FBFENTRY &e, ULONG offset, void *dst, ULONG count)
{
    // Invariant: a view never reaches past the file's end (it is dropped
    // before any change of size), so bytes inside it are the file's.
    if (e.readView == nullptr || ULONG64{offset} + count > e.readViewLength)
        return false;
    std::memcpy(dst, e.readView + offset, count);
    stats.viewReads++;
    return true;
}

}  // namespace orin::fbf
