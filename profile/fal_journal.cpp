/*
 * fal_journal.cpp - the undo journal of a block-file operation
 * (fal_journal.h).  Saving reads the current bytes through the handle's
 * virtual file; rolling back writes them straight to it, past the failure
 * seam and with the journal already detached, so that the undo is not
 * journalled itself.
 */
#include <new>
#include "frame/boundary.h"
#include "profile/fal_freeindex.h"
#include "profile/fal_journal.h"

namespace orin::fal {

Journal::Journal(HFAL h) noexcept : h_(h), header_(h->hdr)
{
    status_ = falFileLength(h_, &length_);
    if (status_ == 0)
        h_->journal = this;
    else
        open_ = false;
}

Journal::~Journal()
{
    if (open_)
        rollBack();
}

void Journal::close() noexcept
{
    open_ = false;
    if (h_->journal == this)
        h_->journal = nullptr;
}

void Journal::commit() noexcept
{
    close();
    saved_.clear();
}

USHORT Journal::save(ULONG offset, ULONG length, ULONG fileLength) noexcept
{
    if (offset >= fileLength || length == 0)
        return 0;
    if (length > fileLength - offset)
        length = fileLength - offset;
    USHORT rc = guardCode([&] {
        saved_.push_back(Saved{offset, std::vector<BYTE>(length)});
        return USHORT{0};
    });
    if (rc)
        return rc;
    rc = falReadAt(h_, offset, saved_.back().bytes.data(), length);
    if (rc)
        saved_.pop_back();
    return rc;
}

USHORT Journal::recordWrite(ULONG offset, ULONG length) noexcept
{
    ULONG fileLength = 0;
    USHORT rc = falFileLength(h_, &fileLength);
    return rc ? rc : save(offset, length, fileLength);
}

USHORT Journal::recordLength(ULONG newLength) noexcept
{
    ULONG fileLength = 0;
    USHORT rc = falFileLength(h_, &fileLength);
    if (rc || newLength >= fileLength)
        return rc;
    return save(newLength, fileLength - newLength, fileLength);
}

USHORT Journal::rollBack() noexcept
{
    USHORT rc = 0;
    if (!open_)
        return status_;
    close();
    for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
        USHORT wrc = falWriteRaw(h_, it->offset, it->bytes.data(), (ULONG)it->bytes.size());
        if (!rc)
            rc = wrc;
    }
    ULONG fileLength = 0;
    USHORT lrc = falFileLength(h_, &fileLength);
    if (!lrc && fileLength != length_)
        lrc = VbfNewSize(h_->vbf, length_);
    if (!rc)
        rc = lrc;
    saved_.clear();
    h_->hdr = header_;
    falClearCache(h_);
    dropFreeIndex(h_);
    return rc;
}

}  // namespace orin::fal
