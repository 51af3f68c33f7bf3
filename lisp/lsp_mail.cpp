/*
 * lsp_mail.cpp - the mail and telephony builtins: the third builtin table
 * (mapiavailable to tapicall) and its dispatcher.
 *
 * Each builtin checks its arguments (a MAPI session is an integer node,
 * ids, names and the other texts are string nodes, records are lists or
 * nil; anything else fails with the type error and the argument's text),
 * reads its optional flag text, calls the matching OwmMAPI function and
 * turns the answer into a value: T or nil for calls that only succeed or
 * fail, a record, id or session for the others, nil when the call failed.
 * Memory that MAPI hands back is released with OwmMAPIFreeBuffer once it
 * has been converted.  tapicall alone passes its result code on, in the
 * error word.
 *
 * A flag text is scanned for letters without regard to case; a nil in its
 * place counts as no flag text, so the default applies.
 */
#include <cstring>
#include <initializer_list>
#include <iterator>
#include "lisp/lspint.h"
#include "lisp/lsp_mailrec.h"
#include "owmmapi.h"

namespace orin::lsp {
namespace {

using namespace orin::lsp::mail;

enum MailId : USHORT {
    M_AVAILABLE = 5, M_SENDDOCUMENTS = 10, M_LOGON = 20, M_LOGOFF = 30, M_FINDNEXT = 40,
    M_DELETEMAIL = 50, M_RESOLVENAME = 60, M_DETAILS = 70, M_ADDRESS = 80, M_READMAIL = 90,
    M_SAVEMAIL = 100, M_SENDMAIL = 110, M_TAPICALL = 200
};

constexpr LSPMODFUNCDESC mailTable[] = {
    { "mapiavailable", M_AVAILABLE, 0, 0, 0 },
    { "mapisenddocuments", M_SENDDOCUMENTS, 0, 3, 3 },
    { "mapilogon", M_LOGON, 0, 2, 3 },
    { "mapilogoff", M_LOGOFF, 0, 1, 2 },
    { "mapifindnext", M_FINDNEXT, 0, 2, 3 },
    { "mapideletemail", M_DELETEMAIL, 0, 2, 2 },
    { "mapiresolvename", M_RESOLVENAME, 0, 2, 3 },
    { "mapidetails", M_DETAILS, 0, 2, 3 },
    { "mapiaddress", M_ADDRESS, 0, 5, 6 },
    { "mapireadmail", M_READMAIL, 0, 2, 3 },
    { "mapisavemail", M_SAVEMAIL, 0, 3, 4 },
    { "mapisendmail", M_SENDMAIL, 0, 2, 3 },
    { "tapicall", M_TAPICALL, 0, 1, 1 },
};

constexpr char kTapiAppName[] = "Lisp";
constexpr size_t kMessageIdSize = 512;      // room for a long message id

/* The flag bits a letter of a flag text contributes. */
struct FlagLetter {
    char letter;
    FLAGS bits;
};
using FlagTable = std::initializer_list<FlagLetter>;

const FlagTable kLogonFlags = {{'U', 1}, {'N', 2}, {'D', 0x1000}, {'S', 8}, {'P', 16}};
const FlagTable kLogoffFlags = {{'U', 2}, {'S', 1}};
const FlagTable kFindFlags = {{'U', MAPI_UNREAD_ONLY}};
const FlagTable kResolveFlags = {{'U', 1}, {'N', 2}, {'D', 8}, {'X', 0x400}};
const FlagTable kDetailsFlags = {{'U', 1}, {'N', 2}, {'X', 0x400}};
const FlagTable kUiFlags = {{'U', 1}, {'N', 2}};
const FlagTable kReadFlags = {{'P', MAPI_PEEK}, {'E', MAPI_ENVELOPE_ONLY},
                              {'F', MAPI_BODY_AS_FILE}, {'S', MAPI_SUPPRESS_ATTACH}};
const FlagTable kSendFlags = {{'U', 1}, {'N', 2}, {'D', 8}};

constexpr FLAGS kLogonDefault = 0x1009;
constexpr FLAGS kLogoffDefault = 2;
constexpr FLAGS kResolveDefault = 9;

/* The n-th argument (0-based), or null. */
PLSPLIST argAt(PLSPLIST args, int n)
{
    for (; args && n > 0; n--)
        args = args->next;
    return args;
}

FLAGS flagsOf(PLSPLIST arg, FLAGS byDefault, const FlagTable &table)
{
    if (!arg || arg->type == LSP_T_NIL)
        return byDefault;
    const char *text = lspNodeText(arg);
    FLAGS flags = 0;
    for (const FlagLetter &f : table)
        if (strchr(text, f.letter) || strchr(text, f.letter - 'A' + 'a'))
            flags |= f.bits;
    return flags;
}

bool typeFails(PLSPLIST arg, unsigned int *err)
{
    lspFail(err, LSPERR_TYPE, lspNodeText(arg));
    return false;
}

bool isString(PLSPLIST n)
{
    return n && n->type == LSP_T_STRING;
}

/* Checks that every listed argument is a string node. */
bool stringsOk(std::initializer_list<PLSPLIST> args, unsigned int *err)
{
    for (PLSPLIST a : args)
        if (!isString(a))
            return typeFails(a, err);
    return true;
}

LPSTR textArg(PLSPLIST n)
{
    return const_cast<LPSTR>(lspNodeText(n));
}

/* A MAPI session argument. */
bool sessionOf(PLSPLIST n, LHANDLE *session, unsigned int *err)
{
    if (!n || n->type != LSP_T_INTEGER)
        return typeFails(n, err);
    *session = static_cast<LHANDLE>(static_cast<ULONG>(n->value.l));
    return true;
}

bool listOrNil(PLSPLIST n, unsigned int *err)
{
    if (n && (isList(n) || n->type == LSP_T_NIL))
        return true;
    return typeFails(n, err);
}

PLSPLIST truth(bool value, unsigned int *err)
{
    return lspMade(lspNewTruth(nullptr, value), err);
}

PLSPLIST nil(unsigned int *err)
{
    return lspMade(lspNewNil(nullptr), err);
}

PLSPLIST text(const char *value, unsigned int *err)
{
    return lspMade(lspNewText(nullptr, value, LSP_T_STRING), err);
}

/* Memory MAPI handed back, released when the owner goes. */
template <class T>
struct MapiBuffer {
    T *p = nullptr;
    ~MapiBuffer()
    {
        if (p)
            OwmMAPIFreeBuffer(p);
    }
};

/* Builds a value from a record the caller gives, reporting a bad one. */
template <class Call>
PLSPLIST withRecords(Call call, unsigned int *err)
{
    try {
        MapiRecords records;
        return call(records);
    } catch (const BadValue &bad) {
        lspFail(err, LSPERR_TYPE, bad.text.c_str());
        return nullptr;
    }
}

/* ---- the builtins ---- */

PLSPLIST sendDocuments(PLSPLIST a, unsigned int *err)
{
    PLSPLIST paths = a->next, names = paths->next;
    if (!stringsOk({a, paths, names}, err))
        return nullptr;
    return truth(OwmMAPISendDocuments(0, textArg(a), textArg(paths), textArg(names), 0) == 0,
                 err);
}

PLSPLIST logon(PLSPLIST a, unsigned int *err)
{
    PLSPLIST password = a->next;
    if (!stringsOk({a, password}, err))
        return nullptr;
    LHANDLE session = 0;
    FLAGS flags = flagsOf(password->next, kLogonDefault, kLogonFlags);
    if (OwmMAPILogon(0, textArg(a), textArg(password), flags, 0, &session) != 0)
        return nil(err);
    return lspMade(lspNewLong(nullptr, static_cast<LONG>(session)), err);
}

PLSPLIST logoff(PLSPLIST a, unsigned int *err)
{
    LHANDLE session;
    if (!sessionOf(a, &session, err))
        return nullptr;
    FLAGS flags = flagsOf(a->next, kLogoffDefault, kLogoffFlags);
    return truth(OwmMAPILogoff(session, 0, flags, 0) == 0, err);
}

PLSPLIST findNext(PLSPLIST a, unsigned int *err)
{
    LHANDLE session;
    PLSPLIST seed = a->next;
    if (!sessionOf(a, &session, err) || !stringsOk({seed}, err))
        return nullptr;
    char id[kMessageIdSize] = "";
    FLAGS flags = flagsOf(seed->next, 0, kFindFlags);
    if (OwmMAPIFindNext(session, 0, nullptr, textArg(seed), flags, 0, id) != 0)
        return nil(err);
    return text(id, err);
}

PLSPLIST deleteMail(PLSPLIST a, unsigned int *err)
{
    LHANDLE session;
    if (!sessionOf(a, &session, err) || !stringsOk({a->next}, err))
        return nullptr;
    return truth(OwmMAPIDeleteMail(session, 0, textArg(a->next), 0, 0) == 0, err);
}

PLSPLIST resolveName(PLSPLIST a, unsigned int *err)
{
    LHANDLE session;
    PLSPLIST name = a->next;
    if (!sessionOf(a, &session, err) || !stringsOk({name}, err))
        return nullptr;
    MapiBuffer<MapiRecipDesc> found;
    FLAGS flags = flagsOf(name->next, kResolveDefault, kResolveFlags);
    if (OwmMAPIResolveName(session, 0, textArg(name), flags, 0, &found.p) != 0 || !found.p)
        return nil(err);
    return lspMade(recipientRecord(*found.p), err);
}

PLSPLIST details(PLSPLIST a, unsigned int *err)
{
    LHANDLE session;
    PLSPLIST record = a->next;
    if (!sessionOf(a, &session, err))
        return nullptr;
    if (!isList(record)) {
        typeFails(record, err);
        return nullptr;
    }
    FLAGS flags = flagsOf(record->next, 1, kDetailsFlags);
    return withRecords([&](MapiRecords &records) {
        MapiRecipDesc recip = records.recipient(record);
        return truth(OwmMAPIDetails(session, 0, &recip, flags, 0) == 0, err);
    }, err);
}

PLSPLIST address(PLSPLIST a, unsigned int *err)
{
    LHANDLE session;
    PLSPLIST caption = a->next, editFields = argAt(a, 2), labels = argAt(a, 3),
             initial = argAt(a, 4);
    if (!sessionOf(a, &session, err) || !stringsOk({caption}, err))
        return nullptr;
    if (editFields->type != LSP_T_INTEGER && editFields->type != LSP_T_FLOAT) {
        typeFails(editFields, err);
        return nullptr;
    }
    if (!stringsOk({labels}, err) || !listOrNil(initial, err))
        return nullptr;
    FLAGS flags = flagsOf(initial->next, 1, kUiFlags);
    ULONG fields = static_cast<ULONG>(lspNodeDouble(editFields));
    LPSTR labelText = *lspNodeText(labels) ? textArg(labels) : nullptr;
    return withRecords([&](MapiRecords &records) {
        ULONG count = 0, chosenCount = 0;
        MapiRecipDesc *recips = records.recipients(initial, &count);
        MapiBuffer<MapiRecipDesc> chosen;
        if (OwmMAPIAddress(session, 0, textArg(caption), fields, labelText, count, recips,
                           flags, 0, &chosenCount, &chosen.p) != 0)
            return nil(err);
        return lspMade(recipientList(chosen.p, chosenCount), err);
    }, err);
}

PLSPLIST readMail(PLSPLIST a, unsigned int *err)
{
    LHANDLE session;
    PLSPLIST id = a->next;
    if (!sessionOf(a, &session, err) || !stringsOk({id}, err))
        return nullptr;
    MapiBuffer<MapiMessage> message;
    FLAGS flags = flagsOf(id->next, 0, kReadFlags);
    if (OwmMAPIReadMail(session, 0, textArg(id), flags, 0, &message.p) != 0 || !message.p)
        return nil(err);
    return lspMade(messageRecord(*message.p), err);
}

PLSPLIST saveMail(PLSPLIST a, unsigned int *err)
{
    LHANDLE session;
    PLSPLIST record = a->next, id = argAt(a, 2);
    if (!sessionOf(a, &session, err) || !listOrNil(record, err) || !stringsOk({id}, err))
        return nullptr;
    FLAGS flags = flagsOf(id->next, 1, kUiFlags);
    char idBuffer[kMessageIdSize];
    snprintf(idBuffer, sizeof idBuffer, "%s", lspNodeText(id));
    return withRecords([&](MapiRecords &records) {
        if (OwmMAPISaveMail(session, 0, records.message(record), flags, 0, idBuffer) != 0)
            return nil(err);
        return text(idBuffer, err);
    }, err);
}

PLSPLIST sendMail(PLSPLIST a, unsigned int *err)
{
    LHANDLE session;
    PLSPLIST record = a->next;
    if (!sessionOf(a, &session, err) || !listOrNil(record, err))
        return nullptr;
    FLAGS flags = flagsOf(record->next, 1, kSendFlags);
    return withRecords([&](MapiRecords &records) {
        return truth(OwmMAPISendMail(session, 0, records.message(record), flags, 0) == 0, err);
    }, err);
}

/* The request's result code goes to the error word; T when it is 0. */
PLSPLIST tapiCall(PLSPLIST a, unsigned int *err)
{
    if (!stringsOk({a}, err))
        return nullptr;
    LONG result = OwmTapiRequestMakeCall(lspNodeText(a), kTapiAppName, nullptr, nullptr);
    if (result == 0)
        return truth(true, err);
    lspFail(err, static_cast<unsigned int>(result), lspNodeText(a));
    return nullptr;
}

}  // namespace

PLSPLIST lspBiMail(void *session, void *userData, unsigned short id, PLSPLIST a,
                   unsigned int *err)
{
    switch (id) {
    case M_AVAILABLE:     return truth(OwmMAPIAvailable() != 0, err);
    case M_SENDDOCUMENTS: return sendDocuments(a, err);
    case M_LOGON:         return logon(a, err);
    case M_LOGOFF:        return logoff(a, err);
    case M_FINDNEXT:      return findNext(a, err);
    case M_DELETEMAIL:    return deleteMail(a, err);
    case M_RESOLVENAME:   return resolveName(a, err);
    case M_DETAILS:       return details(a, err);
    case M_ADDRESS:       return address(a, err);
    case M_READMAIL:      return readMail(a, err);
    case M_SAVEMAIL:      return saveMail(a, err);
    case M_SENDMAIL:      return sendMail(a, err);
    case M_TAPICALL:      return tapiCall(a, err);
    default:
        lspFailf(err, LSPERR_UNKNOWNFN, "#%u", id);
        return nullptr;
    }
}

bool lspMailRegister()
{
    return lspModRegister(std::size(mailTable), mailTable, lspBiMail, true) == 0;
}

void lspMailUnregister()
{
    lspModUnregister(lspBiMail);
}

}  // namespace orin::lsp
