/*
 * flu_chop.cpp - FluFileChop: cuts a file into volumes.
 *
 * A source that fits in one volume is copied unchanged.  Otherwise every
 * volume gets volumeSize - 12 bytes of data (the last one the rest) behind
 * its header.  For each volume the caller hears event 1 (volumes still to
 * write) and may change the volume's name; the volume is then created,
 * given its header and filled from the source through one copy buffer.
 * A failure (112, a full medium, is event 5; anything else event 3) first
 * deletes the volume when no data reached it, then asks the caller: zero
 * writes the volume again from its first byte, anything else ends the
 * chop with the error.  Event 4 follows each finished volume.  With the
 * copy sound on, each chunk copied ends with a short beep.
 */
#include <cstdlib>
#include "vfile/fluint.h"
#include "frame/dosint.h"
#include "dos.h"

namespace orin::flu {

namespace {

constexpr ULONG kCopyBufferSize = 32256;
constexpr ULONG kSmallestHalved = 512;
constexpr ULONG kLastResortSize = 8;

/* One chop: the source open, its length, the volume geometry. */
class Chop {
public:
    Chop(void *ns, PlainFile &source, ULONG total, ULONG share, CopyBuffer &buffer) noexcept
        : ns_(ns), source_(source), total_(total), share_(share), buffer_(buffer) {}

    ULONG volumeCount() const noexcept { return total_ / share_ + (total_ % share_ != 0); }

    /* Writes volume `index` to path; a volume left without data is
     * deleted. */
    USHORT writeVolume(ULONG index, const char *path) noexcept
    {
        ULONG dataDone = 0;
        PlainFile volume;
        USHORT rc = fillVolume(index, path, volume, &dataDone);
        if (rc != 0) {
            volume.close();
            if (dataDone == 0)
                KnlNamDelete(ns_, path);
        }
        return rc;
    }

private:
    USHORT fillVolume(ULONG index, const char *path, PlainFile &volume, ULONG *dataDone) noexcept
    {
        ULONG offset = index * share_;
        ULONG length = total_ - offset < share_ ? total_ - offset : share_;
        BYTE header[kHeaderSize];
        encodeHeader({static_cast<USHORT>(index), total_}, header);
        USHORT rc = volume.create(ns_, path);
        if (rc == 0)
            rc = writeAll(volume, header, kHeaderSize, nullptr);
        if (rc == 0)
            rc = source_.seek(offset);
        while (rc == 0 && *dataDone < length) {
            ULONG chunk = length - *dataDone < buffer_.size ? length - *dataDone : buffer_.size;
            ULONG got = 0;
            rc = source_.read(buffer_.data.get(), chunk, &got);
            if (rc == 0 && got != chunk)
                rc = ORIN_ERR_GENERAL;             // the source shrank under us
            if (rc == 0)
                rc = writeAll(volume, buffer_.data.get(), chunk, dataDone);
            if (rc == 0 && dosCopySoundFlag())
                DosBeep(DOS_COPY_SOUND_FREQ, DOS_COPY_SOUND_MS);
        }
        return rc;
    }

    /* 112 when the medium took fewer bytes; *counted grows by what it took. */
    static USHORT writeAll(PlainFile &volume, const BYTE *data, ULONG count, ULONG *counted) noexcept
    {
        ULONG done = 0;
        USHORT rc = volume.write(data, count, &done);
        if (counted != nullptr)
            *counted += done;
        return rc == 0 && done < count ? ORIN_ERR_DISK_FULL : rc;
    }

    void *ns_;
    PlainFile &source_;
    ULONG total_;
    ULONG share_;
    CopyBuffer &buffer_;
};

USHORT chopInto(void *ns, Chop &chop, const char *target, const Events &events) noexcept
{
    VolumeNames names;
    USHORT rc = names.init(ns, target);
    if (rc != 0)
        return rc;
    ULONG count = chop.volumeCount();
    for (ULONG i = 0; i < count; i++) {
        char path[kPathRoom];
        if ((rc = names.name(i, path)) != 0)
            return rc;
        events.tell(FLU_EVENT_NEXT_VOLUME, i, count - i, path);
        while ((rc = chop.writeVolume(i, path)) != 0) {
            USHORT event = rc == ORIN_ERR_DISK_FULL ? FLU_EVENT_DISK_FULL : FLU_EVENT_ERROR;
            if (!events.retry(event, i, rc, path))
                return rc;
        }
        events.tell(FLU_EVENT_VOLUME_DONE, i, count, path);
    }
    return 0;
}

}  // namespace

CopyBuffer takeCopyBuffer(Allocator alloc) noexcept
{
    CopyBuffer b;
    for (ULONG size = kCopyBufferSize; size >= kSmallestHalved && !b.data; size /= 2) {
        b.data.reset(static_cast<BYTE *>(alloc(size)));
        b.size = size;
    }
    if (!b.data) {
        b.data.reset(static_cast<BYTE *>(alloc(kLastResortSize)));
        b.size = b.data ? kLastResortSize : 0;
    }
    return b;
}

USHORT chopFile(void *ns, const char *source, const char *target, ULONG volumeSize,
                const Events &events, Allocator alloc) noexcept
{
    if (source == nullptr || target == nullptr)
        return ORIN_ERR_INVALID_PARAM;
    PlainFile src;
    ULONG total = 0;
    USHORT rc = src.open(ns, source, KNLNAM_OPEN_EXISTING, KNLNAM_SHARE_DENYWRITE);
    if (rc == 0)
        rc = src.size(&total);
    if (rc != 0)
        return rc;
    if (total <= volumeSize) {
        src.close();
        return KnlNamCopy(ns, source, target, KNLNAM_COPY_REPLACE, 0);
    }
    if (volumeSize < FLU_MIN_VOLUME_SIZE)
        volumeSize = FLU_SMALL_VOLUME_SIZE;
    CopyBuffer buffer = takeCopyBuffer(alloc);
    if (!buffer.data)
        return ORIN_ERR_NO_MEMORY;
    Chop chop(ns, src, total, volumeSize - kHeaderSize, buffer);
    if (chop.volumeCount() > FLU_MAX_CHOP_VOLUMES)
        return ORIN_ERR_GENERAL;
    return chopInto(ns, chop, target, events);
}

}  // namespace orin::flu

USHORT ORINAPI FluFileChop(void *nameSpace, const char *sourceName, const char *targetName,
                           ULONG volumeSize, PFNFLUEVENT callback, void *userData) noexcept
{
    return orin::flu::chopFile(nameSpace, sourceName, targetName, volumeSize,
                               orin::flu::Events(callback, userData), std::malloc);
}
