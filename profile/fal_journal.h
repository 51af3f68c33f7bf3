/*
 * fal_journal.h - undo journal of one block-file operation.
 *
 * While a Journal is open on a handle, every write and every change of
 * the file's length first saves the bytes it is about to replace or cut
 * off (falWriteAt and falSetLength ask recordWrite/recordLength).  The
 * journal also keeps the handle's header (the free lists) and the file's
 * length from its start.  An operation that fails part-way rolls back:
 * the saved bytes go back in reverse order, the length and the header are
 * restored and the descriptor cache and the free-list mirror are dropped,
 * so the file is byte for byte what it was.  commit() keeps the changes; a
 * journal that is neither committed nor rolled back explicitly rolls back
 * when it ends.
 */
#ifndef ORIN_PROFILE_FAL_JOURNAL_H
#define ORIN_PROFILE_FAL_JOURNAL_H

#include <vector>
#include "profile/falint.h"

namespace orin::fal {

class Journal {
public:
    /* Opens the journal on h (which must not have one). */
    explicit Journal(HFAL h) noexcept;
    ~Journal();
    Journal(const Journal &) = delete;
    Journal &operator=(const Journal &) = delete;

    /* 0 when the journal could start; else nothing may be changed. */
    USHORT status() const noexcept { return status_; }

    void commit() noexcept;

    /* Undoes every recorded change; 0 when the file is as it was. */
    USHORT rollBack() noexcept;

    /* Called before a change: saves what it will overwrite or cut off. */
    USHORT recordWrite(ULONG offset, ULONG length) noexcept;
    USHORT recordLength(ULONG newLength) noexcept;

private:
    struct Saved {
        ULONG offset;
        std::vector<BYTE> bytes;
    };

    USHORT save(ULONG offset, ULONG length, ULONG fileLength) noexcept;
    void close() noexcept;

    HFAL h_;
    FALFILEHEADER header_;
    ULONG length_ = 0;
    USHORT status_ = 0;
    bool open_ = true;
    std::vector<Saved> saved_;
};

}  // namespace orin::fal

#endif  // ORIN_PROFILE_FAL_JOURNAL_H
