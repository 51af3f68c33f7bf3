/*
 * flu_merge.cpp - FluFileMerge: joins the volumes of a chopped file.
 *
 * The first volume's header must be volume 0's; it gives the length of
 * the whole file.  The target is then created (or replaced) and the
 * volumes are appended in turn until that many bytes are written.  Before
 * each attempt to open a volume the caller hears event 2 and may change
 * the volume's name.  A volume must carry the magic, its own index (or
 * 65535) and the same total length; a failure there or in the copy cuts
 * the target back to where the volume began and asks the caller (event 3
 * with the error): zero tries the volume again, anything else ends the
 * merge.  A merge that does not finish deletes its incomplete target.
 */
#include <cstdlib>
#include "vfile/fluint.h"

namespace orin::flu {
namespace {

constexpr ULONG kMergeEventValue = 0xFFFF;

class Merge {
public:
    Merge(void *ns, ULONG total, PlainFile &target, CopyBuffer &buffer) noexcept
        : ns_(ns), total_(total), target_(target), buffer_(buffer) {}

    bool done() const noexcept { return written_ >= total_; }

    /* Appends the data of volume `index` found at path. */
    USHORT appendVolume(ULONG index, const char *path) noexcept
    {
        PlainFile volume;
        VolumeHeader h;
        ULONG added = 0;
        USHORT rc = openVolumeFile(ns_, path, volume, &h, nullptr);
        if (rc == 0)
            rc = checkHeader(h, static_cast<USHORT>(index), total_);
        while (rc == 0 && written_ + added < total_) {
            ULONG want = total_ - written_ - added;
            ULONG got = 0, put = 0;
            rc = volume.read(buffer_.data.get(), want < buffer_.size ? want : buffer_.size, &got);
            if (rc != 0 || got == 0)
                break;
            rc = target_.write(buffer_.data.get(), got, &put);
            added += put;
            if (rc == 0 && put < got)
                rc = ORIN_ERR_DISK_FULL;
        }
        if (rc == 0)
            written_ += added;
        else if (added != 0)
            target_.truncate(written_);
        return rc;
    }

private:
    void *ns_;
    ULONG total_;
    PlainFile &target_;
    CopyBuffer &buffer_;
    ULONG written_ = 0;
};

/* The header of the first volume, which must be volume 0. */
USHORT readFirstHeader(void *ns, const char *path, VolumeHeader *h) noexcept
{
    PlainFile first;
    USHORT rc = openVolumeFile(ns, path, first, h, nullptr);
    if (rc == 0 && !indexFits(h->index, 0))
        rc = FLU_ERR_WRONG_VOLUME;
    return rc;
}

USHORT mergeVolumes(const VolumeNames &names, Merge &merge, const Events &events) noexcept
{
    USHORT rc = 0;
    for (ULONG i = 0; !merge.done(); i++) {
        if (i >= FLU_MAX_CHOP_VOLUMES)
            return FLU_ERR_WRONG_VOLUME;
        char path[kPathRoom];
        if ((rc = names.name(i, path)) != 0)
            return rc;
        do {
            events.tell(FLU_EVENT_READ_VOLUME, i, kMergeEventValue, path);
            rc = merge.appendVolume(i, path);
        } while (rc != 0 && events.retry(FLU_EVENT_ERROR, i, rc, path));
        if (rc != 0)
            return rc;
    }
    return 0;
}

}  // namespace
}  // namespace orin::flu

using namespace orin::flu;

USHORT ORINAPI FluFileMerge(void *nameSpace, const char *firstVolumeName, const char *targetName,
                            PFNFLUEVENT callback, void *userData) noexcept
{
    if (targetName == nullptr)
        return ORIN_ERR_INVALID_PARAM;
    VolumeNames names;
    VolumeHeader first;
    USHORT rc = names.init(nameSpace, firstVolumeName);
    if (rc == 0)
        rc = readFirstHeader(nameSpace, names.base(), &first);
    if (rc != 0)
        return rc;
    if (KnlNamIsTheSameFile(names.base(), targetName))
        return ORIN_ERR_INVALID_PARAM;            // the target would wipe the first volume
    CopyBuffer buffer = takeCopyBuffer(std::malloc);
    if (!buffer.data)
        return ORIN_ERR_NO_MEMORY;
    PlainFile target;
    if ((rc = target.create(nameSpace, targetName)) != 0)
        return rc;
    Merge merge(nameSpace, first.totalSize, target, buffer);
    rc = mergeVolumes(names, merge, Events(callback, userData));
    if (rc != 0) {
        target.close();
        KnlNamDelete(nameSpace, targetName);
    }
    return rc;
}
