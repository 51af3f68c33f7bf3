/*
 * flu_file.cpp - plain files for the chop and the merge: opened through
 * the library's file calls (KnlNamOpen and friends) and closed by their
 * owner.  Volumes are written and read directly, not through the buffered
 * files, whose page cache and open-file table would gain nothing from one
 * pass over each volume.  Writes pass the test seam writeSeam, through
 * which the tests make a medium run full.
 */
#include "vfile/fluint.h"
#include "frame/knlnamint.h"

namespace orin::flu {

FailureSeam writeSeam;

KNLHFILE PlainFile::handle() const noexcept
{
    return KNLNAM_FROM_HANDLE(owner_.get());
}

USHORT PlainFile::open(void *ns, const char *name, ULONG openFlags, ULONG openMode) noexcept
{
    KNLHFILE h;
    ULONG action;
    close();
    USHORT rc = KnlNamOpen(ns, name, &h, &action, 0, 0, openFlags, openMode, 0);
    if (rc == 0) {
        ns_ = ns;
        owner_.reset(KNLNAM_TO_HANDLE(h));
    }
    return rc;
}

USHORT PlainFile::create(void *ns, const char *name) noexcept
{
    return open(ns, name, KNLNAM_OPEN_CREATE, KNLNAM_ACCESS_WRITE | KNLNAM_SHARE_DENYALL);
}

USHORT PlainFile::read(void *buffer, ULONG count, ULONG *done) noexcept
{
    return KnlNamRead(ns_, handle(), buffer, count, done);
}

/* A failing seam step writes half the bytes, as a full medium would. */
USHORT PlainFile::write(const void *buffer, ULONG count, ULONG *done) noexcept
{
    if (writeSeam.fails())
        count /= 2;
    return KnlNamWrite(ns_, handle(), buffer, count, done);
}

USHORT PlainFile::seek(ULONG offset) noexcept
{
    ULONG pos;
    return KnlNamChgFilePtr(ns_, handle(), static_cast<LONG>(offset), KNLNAM_SEEK_BEGIN, &pos);
}

USHORT PlainFile::size(ULONG *length) noexcept
{
    return KnlNamQFileSize(ns_, handle(), length);
}

USHORT PlainFile::truncate(ULONG length) noexcept
{
    USHORT rc = KnlNamNewSize(ns_, handle(), length);
    return rc != 0 ? rc : seek(length);
}

}  // namespace orin::flu
