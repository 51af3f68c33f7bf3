/*
 * lsp_mailrec.cpp - conversions between Simple MAPI structures and the
 * association-list records of the mail builtins (lsp_mailrec.h).
 *
 * Records are built with the node calls: a list builder appends elements
 * behind the last one and closes the list at the end; an entry is a
 * two-element list of a key symbol and its value.  Building stops at the
 * first node that cannot be had and frees what was built.
 */
#include <cstdio>
#include <cstring>
#include <iterator>
#include "lisp/lsp_mailrec.h"

namespace orin::lsp::mail {
namespace {

/* Recipient classes by number, MAPI_ORIG (0) to MAPI_BCC (3). */
constexpr const char *kClassNames[] = {"orig", "to", "cc", "bcc"};
constexpr ULONG kNoPosition = static_cast<ULONG>(-1);   // attachment not placed in the text

struct FlagLetter {
    char letter;
    ULONG bit;
};
constexpr FlagLetter kMessageFlags[] = {
    {'S', MAPI_SENT}, {'U', MAPI_UNREAD}, {'R', MAPI_RECEIPT_REQUESTED}};
constexpr FlagLetter kFileFlags[] = {{'S', MAPI_OLE_STATIC}, {'O', MAPI_OLE}};

template <size_t N>
std::string lettersOf(ULONG flags, const FlagLetter (&table)[N])
{
    std::string out;
    for (const FlagLetter &f : table)
        if (flags & f.bit)
            out += f.letter;
    return out;
}

template <size_t N>
ULONG flagsOf(const char *letters, const FlagLetter (&table)[N])
{
    ULONG flags = 0;
    for (const FlagLetter &f : table)
        if (strchr(letters, f.letter) || strchr(letters, f.letter - 'A' + 'a'))
            flags |= f.bit;
    return flags;
}

/* A closed list built element by element; nil when nothing was added. */
class ListBuilder {
public:
    ListBuilder() : list_(lspNewList(nullptr)) {}
    bool ok() const { return list_ && !failed_; }

    /* Takes the node (null counts as a failure). */
    void add(PLSPLIST node)
    {
        Tree owned(node);
        if (!ok() || !node || !lspAttach(last_ ? last_ : list_.get(), node)) {
            failed_ = true;
            return;
        }
        last_ = owned.release();
    }

    void entry(const char *key, PLSPLIST value)
    {
        Tree owned(value);
        ListBuilder pair;
        pair.add(lspNewText(nullptr, key, LSP_T_SYMBOL));
        pair.add(owned.release());
        add(pair.finish());
    }
    void text(const char *key, const char *value)
    {
        entry(key, lspNewText(nullptr, value ? value : "", LSP_T_STRING));
    }
    void optionalText(const char *key, const char *value)
    {
        if (value)
            text(key, value);
    }

    /* The list, nil when empty, or null after a failure. */
    PLSPLIST finish()
    {
        if (!ok())
            return nullptr;
        if (!last_)
            lspSetNil(list_.get());
        else
            lspListClose(list_.get());
        return list_.release();
    }

private:
    Tree list_;
    PLSPLIST last_ = nullptr;
    bool failed_ = false;
};

std::string hexOf(const void *bytes, ULONG size)
{
    std::string out;
    char two[3];
    for (ULONG i = 0; bytes && i < size; i++) {
        snprintf(two, sizeof two, "%02X", static_cast<const BYTE *>(bytes)[i]);
        out += two;
    }
    return out;
}

int hexDigit(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

PLSPLIST fileRecord(const MapiFileDesc &f)
{
    ListBuilder b;
    b.text("flags", lettersOf(f.flFlags, kFileFlags).c_str());
    b.entry("position", lspNewLong(nullptr, static_cast<LONG>(f.nPosition)));
    b.text("pathname", f.lpszPathName);
    b.text("filename", f.lpszFileName);
    return b.finish();
}

PLSPLIST fileList(const MapiFileDesc *files, ULONG count)
{
    ListBuilder b;
    for (ULONG i = 0; i < count; i++)
        b.add(fileRecord(files[i]));
    return b.finish();
}

/* The value of the entry `key` of a record, or null when there is none. */
PLSPLIST valueOf(PLSPLIST record, const char *key)
{
    for (PLSPLIST e = isList(record) ? record->down : nullptr; e; e = e->next)
        if (isList(e) && e->down && isText(e->down) && _stricmp(lspNodeText(e->down), key) == 0)
            return e->down->next;
    return nullptr;
}

bool isNil(PLSPLIST n)
{
    return !n || n->type == LSP_T_NIL;
}

/* The elements of a list-of-records value (nil: none). */
PLSPLIST recordsOf(PLSPLIST value)
{
    if (isNil(value))
        return nullptr;
    if (!isList(value))
        throw BadValue{lspNodeText(value)};
    return value->down;
}

}  // namespace

PLSPLIST recipientRecord(const MapiRecipDesc &r)
{
    ListBuilder b;
    b.text("class", r.ulRecipClass < std::size(kClassNames) ? kClassNames[r.ulRecipClass] : "");
    b.text("name", r.lpszName);
    b.text("address", r.lpszAddress);
    b.text("entryid", hexOf(r.lpEntryID, r.ulEIDSize).c_str());
    return b.finish();
}

PLSPLIST recipientList(const MapiRecipDesc *recips, ULONG count)
{
    ListBuilder b;
    for (ULONG i = 0; recips && i < count; i++)
        b.add(recipientRecord(recips[i]));
    return b.finish();
}

PLSPLIST messageRecord(const MapiMessage &m)
{
    ListBuilder b;
    b.optionalText("subject", m.lpszSubject);
    b.optionalText("text", m.lpszNoteText);
    b.optionalText("type", m.lpszMessageType);
    b.optionalText("date", m.lpszDateReceived);
    b.optionalText("convid", m.lpszConversationID);
    b.text("flags", lettersOf(m.flFlags, kMessageFlags).c_str());
    if (m.lpOriginator)
        b.entry("originator", recipientRecord(*m.lpOriginator));
    if (m.nRecipCount && m.lpRecips)
        b.entry("recipients", recipientList(m.lpRecips, m.nRecipCount));
    if (m.nFileCount && m.lpFiles)
        b.entry("files", fileList(m.lpFiles, m.nFileCount));
    return b.finish();
}

/* ---- records to structures ---- */

LPSTR MapiRecords::keep(const char *text)
{
    texts_.emplace_back(text);
    return texts_.back().data();
}

LPSTR MapiRecords::textOf(PLSPLIST record, const char *key)
{
    PLSPLIST v = valueOf(record, key);
    if (isNil(v))
        return nullptr;
    if (isList(v))
        throw BadValue{lspNodeText(v)};
    return keep(lspNodeText(v));
}

LPVOID MapiRecords::entryId(PLSPLIST record, ULONG *size)
{
    *size = 0;
    const char *hex = textOf(record, "entryid");
    if (!hex || !*hex)
        return nullptr;
    std::vector<BYTE> bytes;
    for (const char *p = hex; *p; p += 2) {
        int hi = hexDigit(p[0]), lo = p[1] ? hexDigit(p[1]) : -1;
        if (hi < 0 || lo < 0)
            throw BadValue{hex};
        bytes.push_back(static_cast<BYTE>(hi << 4 | lo));
    }
    ids_.push_back(std::move(bytes));
    *size = static_cast<ULONG>(ids_.back().size());
    return ids_.back().data();
}

MapiRecipDesc MapiRecords::recipient(PLSPLIST record)
{
    if (!isNil(record) && !isList(record))
        throw BadValue{lspNodeText(record)};
    MapiRecipDesc r{};
    r.ulRecipClass = MAPI_TO;
    if (const char *cls = textOf(record, "class")) {
        for (ULONG i = 0; i < std::size(kClassNames); i++)
            if (_stricmp(cls, kClassNames[i]) == 0)
                r.ulRecipClass = i;
    }
    r.lpszName = textOf(record, "name");
    r.lpszAddress = textOf(record, "address");
    r.lpEntryID = entryId(record, &r.ulEIDSize);
    return r;
}

MapiRecipDesc *MapiRecords::recipients(PLSPLIST list, ULONG *count)
{
    std::vector<MapiRecipDesc> out;
    for (PLSPLIST e = recordsOf(list); e; e = e->next)
        out.push_back(recipient(e));
    *count = static_cast<ULONG>(out.size());
    if (out.empty())
        return nullptr;
    recipArrays_.push_back(std::move(out));
    return recipArrays_.back().data();
}

MapiFileDesc MapiRecords::file(PLSPLIST record)
{
    if (!isList(record))
        throw BadValue{lspNodeText(record)};
    MapiFileDesc f{};
    const char *flags = textOf(record, "flags");
    f.flFlags = flags ? flagsOf(flags, kFileFlags) : 0;
    PLSPLIST position = valueOf(record, "position");
    f.nPosition = isNil(position) ? kNoPosition
                                  : static_cast<ULONG>(static_cast<LONG>(lspNodeDouble(position)));
    f.lpszPathName = textOf(record, "pathname");
    f.lpszFileName = textOf(record, "filename");
    return f;
}

MapiMessage *MapiRecords::message(PLSPLIST record)
{
    if (!isNil(record) && !isList(record))
        throw BadValue{lspNodeText(record)};
    message_ = MapiMessage{};
    message_.lpszSubject = textOf(record, "subject");
    message_.lpszNoteText = textOf(record, "text");
    message_.lpszMessageType = textOf(record, "type");
    message_.lpszDateReceived = textOf(record, "date");
    message_.lpszConversationID = textOf(record, "convid");
    const char *flags = textOf(record, "flags");
    message_.flFlags = flags ? flagsOf(flags, kMessageFlags) : 0;
    PLSPLIST originator = valueOf(record, "originator");
    if (!isNil(originator)) {
        originator_ = recipient(originator);
        message_.lpOriginator = &originator_;
    }
    message_.lpRecips = recipients(valueOf(record, "recipients"), &message_.nRecipCount);
    files_.clear();
    for (PLSPLIST e = recordsOf(valueOf(record, "files")); e; e = e->next)
        files_.push_back(file(e));
    message_.nFileCount = static_cast<ULONG>(files_.size());
    message_.lpFiles = files_.empty() ? nullptr : files_.data();
    return &message_;
}

}  // namespace orin::lsp::mail
