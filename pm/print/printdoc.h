/*
 * printdoc.h - what the printer PS needs from the document layer: finding
 * a printer PS by handle, and ending a document left open on a PS that is
 * being destroyed.  Not part of the exported interface.
 */
#ifndef ORIN_PM_PRINT_PRINTDOC_H
#define ORIN_PM_PRINT_PRINTDOC_H

#include "pm/gpi/gpiint.h"

namespace orin::pm::print {

/* The record of a printer PS, or null with PMERR_GPI_INV_HPS set. */
gpi::GpiPS *findPrinterPS(HPS hps) noexcept;
/* Gives the PS a fresh context on the selected printer, dropping the old
 * one with whatever document it held unprinted; false leaves it as it was. */
bool renewPrinterContext(gpi::GpiPS &ps) noexcept;
/* Aborts the document open on hps, if any. */
void abandonDocumentOf(HPS hps) noexcept;

}  // namespace orin::pm::print

#endif  // ORIN_PM_PRINT_PRINTDOC_H
