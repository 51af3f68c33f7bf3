/*
 * arcops.h - the archive workload of the crash tests (killwork.h ArcWork)
 * applied to a real archive: each operation opens what it needs, changes
 * it and closes it again, so that an operation that returned has handed
 * everything to the profile (in exclusive mode a document's field list
 * is written only when the document closes).
 */
#ifndef ARCOPS_H
#define ARCOPS_H

#include <cstring>
#include "brc.h"
#include "killwork.h"

namespace arcops {

constexpr const char *kAppSite = "crash";

/* Applies one operation; *number receives the document it worked on (for
 * an add, the number the archive gave it).  The error code. */
inline USHORT apply(BrcArchive *a, const killwork::ArcOp &op, unsigned *number)
{
    using killwork::ArcOp;
    BrdDocument *d = nullptr;
    *number = op.doc;
    USHORT rc;
    if (op.kind == ArcOp::kAdd) {
        rc = BrdAddDocument(a, &d, kAppSite, op.value.c_str(), TRUE, FALSE);
        if (rc == 0)
            *number = BrdGetDocNumber(d);
    } else {
        rc = BrdOpenDocument(a, &d, USHORT(op.doc), TRUE);
    }
    if (rc)
        return rc;
    if (op.kind == ArcOp::kDeleteDoc)
        return BrdDeleteDocument(d);   // the handle goes with the document
    if (op.kind == ArcOp::kSet)
        rc = BrdFldSet(d, op.field.c_str(), 'T', op.value.data(), ULONG(op.value.size()), FALSE);
    else if (op.kind == ArcOp::kDeleteField)
        rc = BrdFldDelete(d, op.field.c_str());
    USHORT closed = BrdCloseDocument(d);
    return rc ? rc : closed;
}

/* Makes the archive every crash test starts from: empty, with the index
 * defined and built. */
inline USHORT create(const char *file)
{
    BrcArchive *a = nullptr;
    USHORT rc = BrcCreate(nullptr, &a, file, 0);
    if (rc)
        return rc;
    BrcIndexEntry *entry = nullptr;
    rc = BrcIxOpenStr(a, killwork::kArcIndex, &entry);
    USHORT closed = BrcClose(a);
    return rc ? rc : closed;
}

}  // namespace arcops

#endif
