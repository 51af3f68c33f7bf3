/*
 * fluint.h - what the sources of the chopped-file family share: the
 * volume header and its checks, volume names, plain files opened through
 * the file calls, the event callback of chop and merge, and the seams the
 * white-box tests use.  Not part of the exported interface.
 *
 * Chop, merge, the queries and the back-end all read a volume the same
 * way: decode the 12-byte header (FLU_ERR_NOT_CHOPPED when it is missing
 * or has no magic), then check it against what is expected
 * (FLU_ERR_WRONG_VOLUME for another index, FLU_ERR_NOT_CHOPPED for
 * another total size).  Volume names come from one VolumeNames object
 * made from the first volume's name.
 */
#ifndef ORIN_VFILE_FLUINT_H
#define ORIN_VFILE_FLUINT_H

#include <cstddef>
#include <map>
#include <memory>
#include <string>
#include <type_traits>
#include "flu.h"
#include "vfile/vbf_owner.h"
#include "knlnam.h"
#include "frame/failure_seam.h"
#include "frame/scope.h"

namespace orin::flu {

constexpr ULONG kHeaderSize = FLU_HEADER_SIZE;
constexpr USHORT kAnyIndex = 0xFFFF;          // a header index that fits any volume
constexpr std::size_t kPathRoom = KNLNAM_MAXPATH;

/* ---- Volume header (flu_header.cpp) ---------------------------------------- */

struct VolumeHeader {
    USHORT index = 0;
    ULONG totalSize = 0;
};

void encodeHeader(const VolumeHeader &h, BYTE (&out)[kHeaderSize]) noexcept;
/* FLU_ERR_NOT_CHOPPED when fewer than kHeaderSize bytes were read or the
 * magic is wrong. */
USHORT decodeHeader(const BYTE *in, ULONG length, VolumeHeader *h) noexcept;
/* Whether a header index stands for volume `expected`. */
bool indexFits(USHORT found, USHORT expected) noexcept;
/* FLU_ERR_WRONG_VOLUME for another index, FLU_ERR_NOT_CHOPPED for
 * another total size; 0 when the header belongs where it was found. */
USHORT checkHeader(const VolumeHeader &h, USHORT expectedIndex, ULONG totalSize) noexcept;

/* ---- Plain files through the file calls (flu_header.cpp) ------------------- */

/* A file opened with KnlNamOpen, closed when the object ends. */
class PlainFile {
public:
    USHORT open(void *ns, const char *name, ULONG openFlags, ULONG openMode) noexcept;
    /* Creates or replaces name for writing, without sharing. */
    USHORT create(void *ns, const char *name) noexcept;
    USHORT read(void *buffer, ULONG count, ULONG *done) noexcept;
    USHORT write(const void *buffer, ULONG count, ULONG *done) noexcept;
    USHORT seek(ULONG offset) noexcept;
    USHORT size(ULONG *length) noexcept;
    /* Cuts the file at length and puts the pointer there. */
    USHORT truncate(ULONG length) noexcept;
    void close() noexcept { owner_.reset(); }

private:
    KNLHFILE handle() const noexcept;
    void *ns_ = nullptr;
    UniqueHandle owner_;
};

/* Every write of a plain file (volume headers and data, merge targets)
 * takes a step here; a failing step writes half its bytes, as a full
 * medium would. */
extern FailureSeam writeSeam;

/* Opens a volume for reading (others may read and write) and reads its
 * header; the file stays open behind the header.  *dataSize (when given)
 * receives the bytes of data the volume holds. */
USHORT openVolumeFile(void *ns, const char *path, PlainFile &file, VolumeHeader *h,
                      ULONG *dataSize) noexcept;

/* ---- Volume names (flu_names.cpp) ------------------------------------------ */

class VolumeNames {
public:
    /* Takes the first volume's name: 87 for null, 123 for one too long,
     * else the error of expanding it. */
    USHORT init(void *ns, const char *firstName) noexcept;
    /* The name of volume `index` into out (kPathRoom bytes); 123 when it
     * would be too long. */
    USHORT name(ULONG index, char *out) const noexcept;
    const char *base() const noexcept { return base_; }
    void *nameSpace() const noexcept { return ns_; }

private:
    void *ns_ = nullptr;
    char base_[kPathRoom] = {};
    char lead_[3] = "0";          // first character of the base extension
    ULONG start_ = 0;             // number of volume 0
};

/* ---- Events of chop and merge ---------------------------------------------- */

/* The caller's event callback, when there is one.  The callback may
 * rewrite the path (kPathRoom bytes); it stays terminated. */
class Events {
public:
    Events(PFNFLUEVENT callback, void *userData) noexcept : callback_(callback), user_(userData) {}
    void tell(USHORT event, ULONG volume, ULONG value, char *path) const noexcept
    {
        call(event, volume, value, path);
    }
    /* Whether the caller wants the failed volume tried again. */
    bool retry(USHORT event, ULONG volume, USHORT error, char *path) const noexcept
    {
        return callback_ != nullptr && call(event, volume, error, path) == 0;
    }

private:
    ULONG call(USHORT event, ULONG volume, ULONG value, char *path) const noexcept
    {
        if (callback_ == nullptr)
            return 1;
        ULONG answer = callback_(event, static_cast<USHORT>(volume), value, path,
                                 FLU_PATH_SIZE, user_);
        path[kPathRoom - 1] = 0;
        return answer;
    }
    PFNFLUEVENT callback_;
    void *user_;
};

/* ---- The back-end's chopped file (flu_volumes.cpp) ------------------------- */


/* One chopped file opened as a whole: its volume names, the one volume
 * open at a time (a buffered file), the total length once a header was
 * read, and the data size of every volume seen.  Volumes are opened as
 * positions need them; one that cannot be opened or is not the expected
 * volume goes to the process-wide volume-change callback. */
class ChopFile {
public:
    ChopFile() noexcept;
    USHORT init(void *ns, const char *firstName, ULONG openMode) noexcept;
    /* Closes the open volume; its result. */
    USHORT close() noexcept;
    /* Makes sure the total length is known (volume 0 was read). */
    USHORT start();
    ULONG total() const noexcept { return static_cast<ULONG>(total_); }
    /* Opens the volume holding byte pos (below the total length): *offset
     * is pos's place in the volume's data, *available the data from there
     * to the volume's end. */
    USHORT openAt(ULONG pos, ULONG *offset, ULONG *available);
    HVBF volume() const noexcept { return volume_.get(); }
    /* The name of the open volume, else of volume 0. */
    const char *currentName() const noexcept;

    ULONG position = 0;

private:
    static constexpr ULONG kUnseen = 0xFFFFFFFF;
    USHORT openVolume(ULONG index);
    USHORT tryOpen(ULONG index, const char *path) noexcept;

    VolumeNames names_;
    ULONG openMode_ = 0;
    ULONG current_ = kUnseen;
    UniqueVbf volume_;
    char currentPath_[kPathRoom] = {};
    LONGLONG total_ = -1;
    ULONG sizes_[FLU_MAX_VBF_VOLUMES];
    std::map<ULONG, std::string> moved_;   // paths the volume-change callback gave
};

/* ---- Copy buffers (flu_chop.cpp) ------------------------------------------- */

struct CopyBuffer {
    UniqueMalloc<BYTE> data;
    ULONG size = 0;
};

/* The allocation a copy buffer comes from (malloc unless a test says). */
using Allocator = void *(*)(std::size_t);

/* 32256 bytes, halved while that cannot be allocated down to 512, else 8;
 * an empty buffer when not even that is there. */
CopyBuffer takeCopyBuffer(Allocator alloc) noexcept;

/* FluFileChop with the copy buffer taken from alloc. */
USHORT chopFile(void *ns, const char *source, const char *target, ULONG volumeSize,
                const Events &events, Allocator alloc) noexcept;

}  // namespace orin::flu

#endif  // ORIN_VFILE_FLUINT_H
