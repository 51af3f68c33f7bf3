/*
 * lsp_mailrec.h - Simple MAPI messages, recipients and attachments as
 * Lisp association lists, and back.
 *
 * A record is a list of (key value) entries with symbol keys:
 *   message:   subject text type date convid (texts), flags (letters S U R
 *              for sent, unread, receipt requested), originator (a
 *              recipient record), recipients and files (lists of records);
 *   recipient: class ("orig" "to" "cc" "bcc", empty for other classes),
 *              name, address, entryid (upper-case hex, two digits a byte);
 *   file:      flags (letters S O for static OLE and OLE), position
 *              (integer), pathname, filename.
 * A message field that MAPI leaves out (a null text, no
 * originator, no recipients, no files) has no entry; recipient entries are
 * always there, with an empty text for a missing name, address or id.
 *
 * Reading a record back, keys are compared without regard to case; an
 * entry that is missing or nil leaves the field null (a position of -1,
 * the class "to"), and a value of the wrong kind (a list where a text
 * belongs, an atom where a list of records belongs, an entry id that is
 * not hex) is refused with the offending text.
 */
#ifndef ORIN_LISP_LSP_MAILREC_H
#define ORIN_LISP_LSP_MAILREC_H

#include <deque>
#include <string>
#include <vector>
#include "lisp/lspint.h"
#include "owmmapi.h"

namespace orin::lsp::mail {

/* MAPI structures to Lisp records: a new node, or null when out of memory. */
PLSPLIST recipientRecord(const MapiRecipDesc &recip);
PLSPLIST recipientList(const MapiRecipDesc *recips, ULONG count);  // nil when count is 0
PLSPLIST messageRecord(const MapiMessage &message);

/* A bad record value: the text of the node that was refused. */
struct BadValue {
    std::string text;
};

/* MAPI structures built from Lisp records, owning every text, entry id
 * and array they point into.  Each build call throws BadValue for a
 * value of the wrong kind. */
class MapiRecords {
public:
    MapiRecords() = default;
    MapiRecords(const MapiRecords &) = delete;
    MapiRecords &operator=(const MapiRecords &) = delete;

    MapiRecipDesc recipient(PLSPLIST record);
    /* A list of records (or nil) as an array; null for an empty list. */
    MapiRecipDesc *recipients(PLSPLIST list, ULONG *count);
    /* A message record (or nil, an empty message). */
    MapiMessage *message(PLSPLIST record);

private:
    LPSTR keep(const char *text);
    LPSTR textOf(PLSPLIST record, const char *key);
    LPVOID entryId(PLSPLIST record, ULONG *size);
    MapiFileDesc file(PLSPLIST record);

    std::deque<std::string> texts_;
    std::deque<std::vector<BYTE>> ids_;
    std::deque<std::vector<MapiRecipDesc>> recipArrays_;
    std::vector<MapiFileDesc> files_;
    MapiRecipDesc originator_{};
    MapiMessage message_{};
};

}  // namespace orin::lsp::mail

#endif  // ORIN_LISP_LSP_MAILREC_H
