/*
 * brd_fldvbf.h - a field's value opened as a virtual file: the seam
 * between the field virtual files (brd_fldvbf.cpp) and the copies between
 * fields and disk files (brd_fldcopy.cpp).
 */
#ifndef ORIN_ARCHIVE_BRD_FLDVBF_H
#define ORIN_ARCHIVE_BRD_FLDVBF_H

#include "archive/arcint.h"

namespace orin::arc {

/* Why a value is opened.  The purpose decides the open words, whether
 * the file may be written and what closing it does to the field. */
enum class FieldOpen {
    Compare,   // read only, for comparisons; writes refused with 5
    CopyOut,   // read only, the stored bytes
    CopyIn,    // created anew, the stored bytes; index keys refreshed on close
    Update,    // BrdFldGetVbf of a listed field: read/write; stamped on close when written
    Create,    // BrdFldGetVbf creating the value: stamped as created on close
};

/* Opens Value.<name> of the document as a virtual file for `purpose`;
 * plain: through the zip layer, so a compressed value reads as its
 * content (the copies never go that way; only compressed values can).  Update,
 * Create and CopyIn capture the field's index keys here and refresh them
 * when the file is closed with VbfClose. */
USHORT openFieldFile(BrdDocument &document, const char *name, FieldOpen purpose, bool plain,
                     HVBF *file) noexcept;

/* Enters a field the list lacks: its name is appended and a fresh
 * information record written (type 'F', updated, created and updated now,
 * attribute word 0, the given compressed flag).  A name that is empty,
 * longer than 31 characters or holds ',' is refused with 87. */
USHORT registerField(BrdDocument &document, const char *name, bool compressed) noexcept;

}  // namespace orin::arc

#endif /* ORIN_ARCHIVE_BRD_FLDVBF_H */
