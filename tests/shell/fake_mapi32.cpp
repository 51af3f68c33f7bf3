/* A stand-in for the host's Simple MAPI library (MAPI32.DLL), for tests:
 * the twelve Simple MAPI calls over a small mailbox and address book.
 *
 * The caller loads and frees the library around each call, so nothing
 * the double must remember lives in it:
 * - the mailbox (sessions, messages with recipients and attachments) is
 *   a text file, named by the environment variable FAKEMAPI_STORE
 *   (default "fakemapi.store" in the current directory), read at the
 *   start of each call and written after each change;
 * - buffers handed out (MAPIReadMail, MAPIResolveName, MAPIAddress) come
 *   from the process heap in chains that MAPIFreeBuffer frees; the number
 *   outstanding is kept in the variable FAKEMAPI_BUFFERS;
 * - each call leaves what it was given in FAKEMAPI_CALL_<function>;
 * - FAKEMAPI_FAIL="MAPIReadMail=26,MAPILogon=1" makes the calls named
 *   answer those codes without doing anything.
 *
 * Sending delivers to the same mailbox: the message arrives unread, sent,
 * from the session's user, with the date received set.  The address book
 * holds Alice Archer, Bob Baker, Bob Brown and Test User; the one profile
 * is "tester" with the password "secret".
 *
 * The structures are declared here from the published interface rather
 * than taken from <mapi.h>, so that a layout slip on either side shows.
 * Built with FAKE_MAPI_NO_DETAILS, MAPIDetails is not exported. */
#include <windows.h>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace {

/* ---- the published structures and codes ---- */
struct FileDesc {
    ULONG reserved, flags, position;
    char *pathName, *fileName;
    void *fileType;
};
struct RecipDesc {
    ULONG reserved, recipClass;
    char *name, *address;
    ULONG eidSize;
    void *entryId;
};
struct Message {
    ULONG reserved;
    char *subject, *noteText, *messageType, *dateReceived, *conversationId;
    ULONG flags;
    RecipDesc *originator;
    ULONG recipCount;
    RecipDesc *recips;
    ULONG fileCount;
    FileDesc *files;
};
static_assert(sizeof(FileDesc) == 40 && offsetof(FileDesc, pathName) == 16, "x64 layout");
static_assert(sizeof(RecipDesc) == 40 && offsetof(RecipDesc, eidSize) == 24 &&
              offsetof(RecipDesc, entryId) == 32, "x64 layout");
static_assert(sizeof(Message) == 96 && offsetof(Message, flags) == 48 &&
              offsetof(Message, recipCount) == 64 && offsetof(Message, files) == 88, "x64 layout");

enum : ULONG {
    OK = 0, E_FAILURE = 2, E_LOGON_FAILURE = 3, E_ATTACHMENT_NOT_FOUND = 11,
    E_UNKNOWN_RECIPIENT = 14, E_BAD_RECIPTYPE = 15, E_NO_MESSAGES = 16, E_INVALID_MESSAGE = 17,
    E_INVALID_SESSION = 19, E_AMBIGUOUS_RECIPIENT = 21, E_INVALID_EDITFIELDS = 24,
    E_INVALID_RECIPS = 25
};
enum : ULONG { UNREAD = 1, RECEIPT_REQUESTED = 2, SENT = 4 };
enum : ULONG { ORIG = 0, TO = 1, BCC = 3 };
enum : ULONG { UNREAD_ONLY = 0x20, ENVELOPE_ONLY = 0x40, PEEK = 0x80, SUPPRESS_ATTACH = 0x800 };

/* ---- the mailbox ---- */
using Text = std::optional<std::string>;

struct Recip {
    ULONG cls = TO;
    Text name, address;
    std::string entryId;            // raw bytes
};
struct Attachment {
    ULONG flags = 0, position = 0;
    Text path, file;
};
struct Mail {
    std::string id;
    ULONG flags = 0;
    Text subject, text, type, date, convid;
    std::optional<Recip> originator;
    std::vector<Recip> recips;
    std::vector<Attachment> files;
};
struct Store {
    ULONG nextSession = 0x1001, nextId = 1;
    std::vector<std::pair<ULONG, std::string>> sessions;
    std::vector<Mail> mails;
};

struct BookEntry {
    const char *name, *address, *entryId;
};
const BookEntry kBook[] = {
    {"Alice Archer", "alice@example.org", "\x00\xA1\x1C\xE0"},
    {"Bob Baker", "bob@example.org", "\x00\xB0\xB0\x01"},
    {"Bob Brown", "brown@example.org", "\x00\xB0\xB0\x02"},
    {"Test User", "tester@example.org", "\x00\x7E\x57\x01"},
};
constexpr size_t kEntryIdSize = 4;
const BookEntry &kOwner = kBook[3];
constexpr char kProfile[] = "tester", kPassword[] = "secret";

std::string env(const char *name, const char *fallback = "")
{
    char buf[4096];
    DWORD n = GetEnvironmentVariableA(name, buf, sizeof buf);
    return n > 0 && n < sizeof buf ? std::string(buf, n) : fallback;
}

void setEnv(const std::string &name, const std::string &value)
{
    SetEnvironmentVariableA(name.c_str(), value.c_str());
}

/* ---- the store file: one record a line, fields split by tabs; a text
 * is "-" when null, else "=" and the text with % escapes ---- */
std::string encode(const Text &t)
{
    if (!t)
        return "-";
    std::string out = "=";
    char esc[4];
    for (unsigned char c : *t) {
        if (c == '%' || c == '\t' || c == '\n' || c == '\r') {
            snprintf(esc, sizeof esc, "%%%02X", c);
            out += esc;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

Text decode(const std::string &s)
{
    if (s.empty() || s[0] != '=')
        return std::nullopt;
    std::string out;
    for (size_t i = 1; i < s.size(); i++) {
        if (s[i] == '%' && i + 2 < s.size()) {
            out += static_cast<char>(std::stoi(s.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            out += s[i];
        }
    }
    return out;
}

std::vector<std::string> split(const std::string &line)
{
    std::vector<std::string> f;
    std::stringstream in(line);
    std::string part;
    while (std::getline(in, part, '\t'))
        f.push_back(part);
    return f;
}

std::string storeName()
{
    return env("FAKEMAPI_STORE", "fakemapi.store");
}

std::string recipLine(char tag, const Recip &r)
{
    return std::string(1, tag) + "\t" + std::to_string(r.cls) + "\t" + encode(r.name) + "\t" +
           encode(r.address) + "\t" + encode(r.entryId) + "\n";
}

Recip recipFrom(const std::vector<std::string> &f)
{
    Recip r;
    r.cls = std::stoul(f.at(1));
    r.name = decode(f.at(2));
    r.address = decode(f.at(3));
    r.entryId = decode(f.at(4)).value_or("");
    return r;
}

Store load()
{
    Store s;
    std::ifstream in(storeName(), std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
        auto f = split(line);
        if (f.empty())
            continue;
        char tag = f[0][0];
        if (tag == 'N') {
            s.nextSession = std::stoul(f.at(1));
            s.nextId = std::stoul(f.at(2));
        } else if (tag == 'S') {
            s.sessions.emplace_back(std::stoul(f.at(1)), decode(f.at(2)).value_or(""));
        } else if (tag == 'M') {
            Mail m;
            m.id = f.at(1);
            m.flags = std::stoul(f.at(2));
            m.subject = decode(f.at(3));
            m.text = decode(f.at(4));
            m.type = decode(f.at(5));
            m.date = decode(f.at(6));
            m.convid = decode(f.at(7));
            s.mails.push_back(m);
        } else if (tag == 'O' && !s.mails.empty()) {
            s.mails.back().originator = recipFrom(f);
        } else if (tag == 'R' && !s.mails.empty()) {
            s.mails.back().recips.push_back(recipFrom(f));
        } else if (tag == 'F' && !s.mails.empty()) {
            Attachment a;
            a.flags = std::stoul(f.at(1));
            a.position = std::stoul(f.at(2));
            a.path = decode(f.at(3));
            a.file = decode(f.at(4));
            s.mails.back().files.push_back(a);
        }
    }
    return s;
}

void save(const Store &s)
{
    std::ofstream out(storeName(), std::ios::binary | std::ios::trunc);
    out << "N\t" << s.nextSession << "\t" << s.nextId << "\n";
    for (auto &[handle, profile] : s.sessions)
        out << "S\t" << handle << "\t" << encode(profile) << "\n";
    for (const Mail &m : s.mails) {
        out << "M\t" << m.id << "\t" << m.flags << "\t" << encode(m.subject) << "\t"
            << encode(m.text) << "\t" << encode(m.type) << "\t" << encode(m.date) << "\t"
            << encode(m.convid) << "\n";
        if (m.originator)
            out << recipLine('O', *m.originator);
        for (const Recip &r : m.recips)
            out << recipLine('R', r);
        for (const Attachment &a : m.files)
            out << "F\t" << a.flags << "\t" << a.position << "\t" << encode(a.path) << "\t"
                << encode(a.file) << "\n";
    }
}

/* ---- canned failures and the call log ---- */
bool cannedFailure(const char *function, ULONG *code)
{
    std::string list = "," + env("FAKEMAPI_FAIL") + ",", key = std::string(",") + function + "=";
    size_t at = list.find(key);
    if (at == std::string::npos)
        return false;
    *code = std::stoul(list.substr(at + key.size()));
    return true;
}

std::string show(const char *text)
{
    return text ? text : "(null)";
}

void logCall(const char *function, const std::string &what)
{
    setEnv(std::string("FAKEMAPI_CALL_") + function, what);
}

/* ---- buffers: chains of process-heap blocks that outlive this library ---- */
constexpr ULONGLONG kBlockMagic = 0x46414B454D415049ull;

struct BlockHeader {
    ULONGLONG magic;
    BlockHeader *next;          // further blocks of the same chain
};
static_assert(sizeof(BlockHeader) % 8 == 0, "payload stays 8-byte aligned");

void countBuffers(int delta)
{
    setEnv("FAKEMAPI_BUFFERS", std::to_string(std::stoi(env("FAKEMAPI_BUFFERS", "0")) + delta));
}

/* One chain of blocks for one buffer handed out. */
class Chain {
public:
    void *block(size_t size)
    {
        auto *h = static_cast<BlockHeader *>(
            HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(BlockHeader) + size));
        h->magic = kBlockMagic;
        h->next = nullptr;
        if (root_)
            last_->next = h;
        else
            root_ = h;
        last_ = h;
        return h + 1;
    }
    char *text(const Text &t)
    {
        if (!t)
            return nullptr;
        char *p = static_cast<char *>(block(t->size() + 1));
        memcpy(p, t->c_str(), t->size() + 1);
        return p;
    }
    void fill(RecipDesc &d, const Recip &r)
    {
        d.recipClass = r.cls;
        d.name = text(r.name);
        d.address = text(r.address);
        d.eidSize = static_cast<ULONG>(r.entryId.size());
        d.entryId = r.entryId.empty() ? nullptr : text(r.entryId);
    }
    RecipDesc *recips(const std::vector<Recip> &list)
    {
        if (list.empty())
            return nullptr;
        auto *out = static_cast<RecipDesc *>(block(sizeof(RecipDesc) * list.size()));
        for (size_t i = 0; i < list.size(); i++)
            fill(out[i], list[i]);
        return out;
    }
    /* The root block as handed out; counted until freed. */
    void *handOut()
    {
        countBuffers(1);
        return root_ + 1;
    }

private:
    BlockHeader *root_ = nullptr, *last_ = nullptr;
};

/* ---- address book and sessions ---- */
Recip fromBook(const BookEntry &e, ULONG cls)
{
    return Recip{cls, std::string(e.name), std::string(e.address),
                 std::string(e.entryId, kEntryIdSize)};
}

bool containsNoCase(const char *text, const char *part)
{
    size_t n = strlen(part);
    for (; *text; text++)
        if (_strnicmp(text, part, n) == 0)
            return true;
    return false;
}

/* Entries whose name holds `name` (any case) or whose address is it. */
ULONG lookUp(const char *name, ULONG cls, Recip *out)
{
    std::vector<const BookEntry *> hits;
    for (const BookEntry &e : kBook)
        if (name && *name && (containsNoCase(e.name, name) || _stricmp(e.address, name) == 0))
            hits.push_back(&e);
    if (hits.empty())
        return E_UNKNOWN_RECIPIENT;
    if (hits.size() > 1)
        return E_AMBIGUOUS_RECIPIENT;
    *out = fromBook(*hits[0], cls);
    return OK;
}

Recip fromDesc(const RecipDesc &d)
{
    Recip r;
    r.cls = d.recipClass;
    if (d.name)
        r.name = std::string(d.name);
    if (d.address)
        r.address = std::string(d.address);
    if (d.entryId)
        r.entryId.assign(static_cast<const char *>(d.entryId), d.eidSize);
    return r;
}

/* A recipient as given, or looked up by name when it has no address. */
ULONG resolved(const RecipDesc &d, Recip *out)
{
    if (d.address && *d.address) {
        *out = fromDesc(d);
        return OK;
    }
    return lookUp(d.name, d.recipClass, out);
}

bool sessionKnown(const Store &s, ULONG_PTR session)
{
    for (auto &entry : s.sessions)
        if (entry.first == session)
            return true;
    return false;
}

Mail *findMail(Store &s, const char *id)
{
    for (Mail &m : s.mails)
        if (id && m.id == id)
            return &m;
    return nullptr;
}

Text textOf(const char *p)
{
    return p ? Text(p) : std::nullopt;
}

std::string nowReceived()
{
    SYSTEMTIME t;
    GetLocalTime(&t);
    char buf[32];
    snprintf(buf, sizeof buf, "%04u/%02u/%02u %02u:%02u", t.wYear, t.wMonth, t.wDay, t.wHour,
             t.wMinute);
    return buf;
}

/* The message's contents as the mailbox keeps them; fails on a bad
 * recipient or a missing attachment. */
ULONG contentsOf(const Message *msg, bool resolveRecips, Mail *out)
{
    if (!msg)
        return OK;
    out->subject = textOf(msg->subject);
    out->text = textOf(msg->noteText);
    out->type = textOf(msg->messageType);
    out->date = textOf(msg->dateReceived);
    out->convid = textOf(msg->conversationId);
    out->flags = msg->flags;
    if (msg->originator)
        out->originator = fromDesc(*msg->originator);
    for (ULONG i = 0; i < msg->recipCount; i++) {
        Recip r;
        if (msg->recips[i].recipClass < TO || msg->recips[i].recipClass > BCC)
            return E_BAD_RECIPTYPE;
        ULONG rc = resolveRecips ? resolved(msg->recips[i], &r) : OK;
        if (rc != OK)
            return rc;
        out->recips.push_back(resolveRecips ? r : fromDesc(msg->recips[i]));
    }
    for (ULONG i = 0; i < msg->fileCount; i++) {
        const FileDesc &f = msg->files[i];
        Attachment a{f.flags, f.position, textOf(f.pathName), textOf(f.fileName)};
        if (resolveRecips && (!f.pathName || GetFileAttributesA(f.pathName) == INVALID_FILE_ATTRIBUTES))
            return E_ATTACHMENT_NOT_FOUND;
        out->files.push_back(a);
    }
    return OK;
}

std::string nextId(Store &s)
{
    char id[16];
    snprintf(id, sizeof id, "MSG%04lu", s.nextId++);
    return id;
}

}  // namespace

#define CANNED(fn)                          \
    do {                                    \
        ULONG canned;                       \
        if (cannedFailure(fn, &canned))     \
            return canned;                  \
    } while (0)

extern "C" {

__declspec(dllexport) ULONG WINAPI MAPILogon(ULONG_PTR ui, LPSTR profile, LPSTR password,
                                             ULONG flags, ULONG reserved, ULONG_PTR *session)
{
    logCall("MAPILogon", show(profile) + "|" + show(password) + "|" + std::to_string(flags));
    CANNED("MAPILogon");
    if (!session || !profile || strcmp(profile, kProfile) != 0 || !password ||
        strcmp(password, kPassword) != 0)
        return E_LOGON_FAILURE;
    Store s = load();
    *session = s.nextSession++;
    s.sessions.emplace_back(static_cast<ULONG>(*session), profile);
    save(s);
    return OK;
}

__declspec(dllexport) ULONG WINAPI MAPILogoff(ULONG_PTR session, ULONG_PTR ui, ULONG flags,
                                              ULONG reserved)
{
    logCall("MAPILogoff", std::to_string(session) + "|" + std::to_string(flags));
    CANNED("MAPILogoff");
    Store s = load();
    if (!sessionKnown(s, session))
        return E_INVALID_SESSION;
    std::erase_if(s.sessions, [&](auto &e) { return e.first == session; });
    save(s);
    return OK;
}

__declspec(dllexport) ULONG WINAPI MAPISendMail(ULONG_PTR session, ULONG_PTR ui, Message *msg,
                                                ULONG flags, ULONG reserved)
{
    logCall("MAPISendMail", std::to_string(flags));
    CANNED("MAPISendMail");
    Store s = load();
    if (session && !sessionKnown(s, session))
        return E_INVALID_SESSION;
    if (!msg || msg->recipCount == 0)
        return E_INVALID_RECIPS;
    Mail m;
    if (ULONG rc = contentsOf(msg, true, &m); rc != OK)
        return rc;
    m.id = nextId(s);
    m.flags = UNREAD | SENT | (msg->flags & RECEIPT_REQUESTED);
    m.originator = fromBook(kOwner, ORIG);
    m.date = nowReceived();
    if (!m.convid)
        m.convid = "CONV-" + m.id;
    s.mails.push_back(m);
    save(s);
    return OK;
}

__declspec(dllexport) ULONG WINAPI MAPISendDocuments(ULONG_PTR ui, LPSTR delimiter, LPSTR paths,
                                                     LPSTR names, ULONG reserved)
{
    logCall("MAPISendDocuments", show(delimiter) + "|" + show(paths) + "|" + show(names));
    CANNED("MAPISendDocuments");
    return paths && *paths ? OK : E_ATTACHMENT_NOT_FOUND;
}

__declspec(dllexport) ULONG WINAPI MAPIFindNext(ULONG_PTR session, ULONG_PTR ui, LPSTR type,
                                                LPSTR seed, ULONG flags, ULONG reserved,
                                                LPSTR id)
{
    logCall("MAPIFindNext", show(seed) + "|" + std::to_string(flags));
    CANNED("MAPIFindNext");
    Store s = load();
    if (!sessionKnown(s, session))
        return E_INVALID_SESSION;
    size_t from = 0;
    if (seed && *seed) {
        Mail *m = findMail(s, seed);
        if (!m)
            return E_INVALID_MESSAGE;
        from = m - s.mails.data() + 1;
    }
    for (size_t i = from; i < s.mails.size(); i++) {
        const Mail &m = s.mails[i];
        if ((flags & UNREAD_ONLY) && !(m.flags & UNREAD))
            continue;
        if (type && *type && m.type != std::string(type))
            continue;
        strcpy(id, m.id.c_str());
        return OK;
    }
    return E_NO_MESSAGES;
}

__declspec(dllexport) ULONG WINAPI MAPIReadMail(ULONG_PTR session, ULONG_PTR ui, LPSTR id,
                                                ULONG flags, ULONG reserved, Message **out)
{
    logCall("MAPIReadMail", show(id) + "|" + std::to_string(flags));
    CANNED("MAPIReadMail");
    Store s = load();
    if (!sessionKnown(s, session))
        return E_INVALID_SESSION;
    Mail *m = findMail(s, id);
    if (!m)
        return E_INVALID_MESSAGE;
    Chain chain;
    auto *msg = static_cast<Message *>(chain.block(sizeof(Message)));
    msg->subject = chain.text(m->subject);
    msg->noteText = (flags & ENVELOPE_ONLY) ? nullptr : chain.text(m->text);
    msg->messageType = chain.text(m->type);
    msg->dateReceived = chain.text(m->date);
    msg->conversationId = chain.text(m->convid);
    msg->flags = m->flags;
    if (m->originator) {
        msg->originator = static_cast<RecipDesc *>(chain.block(sizeof(RecipDesc)));
        chain.fill(*msg->originator, *m->originator);
    }
    msg->recipCount = static_cast<ULONG>(m->recips.size());
    msg->recips = chain.recips(m->recips);
    if (!(flags & (ENVELOPE_ONLY | SUPPRESS_ATTACH)) && !m->files.empty()) {
        msg->fileCount = static_cast<ULONG>(m->files.size());
        msg->files = static_cast<FileDesc *>(chain.block(sizeof(FileDesc) * m->files.size()));
        for (size_t i = 0; i < m->files.size(); i++) {
            msg->files[i].flags = m->files[i].flags;
            msg->files[i].position = m->files[i].position;
            msg->files[i].pathName = chain.text(m->files[i].path);
            msg->files[i].fileName = chain.text(m->files[i].file);
        }
    }
    if (!(flags & PEEK)) {
        m->flags &= ~UNREAD;
        save(s);
    }
    *out = static_cast<Message *>(chain.handOut());
    return OK;
}

__declspec(dllexport) ULONG WINAPI MAPISaveMail(ULONG_PTR session, ULONG_PTR ui, Message *msg,
                                                ULONG flags, ULONG reserved, LPSTR id)
{
    logCall("MAPISaveMail", show(id) + "|" + std::to_string(flags));
    CANNED("MAPISaveMail");
    Store s = load();
    if (!sessionKnown(s, session))
        return E_INVALID_SESSION;
    Mail m;
    if (ULONG rc = contentsOf(msg, false, &m); rc != OK)
        return rc;
    if (id && *id) {
        Mail *old = findMail(s, id);
        if (!old)
            return E_INVALID_MESSAGE;
        m.id = old->id;
        *old = m;
    } else {
        m.id = nextId(s);
        s.mails.push_back(m);
    }
    strcpy(id, m.id.c_str());
    save(s);
    return OK;
}

__declspec(dllexport) ULONG WINAPI MAPIDeleteMail(ULONG_PTR session, ULONG_PTR ui, LPSTR id,
                                                  ULONG flags, ULONG reserved)
{
    logCall("MAPIDeleteMail", show(id));
    CANNED("MAPIDeleteMail");
    Store s = load();
    if (!sessionKnown(s, session))
        return E_INVALID_SESSION;
    Mail *m = findMail(s, id);
    if (!m)
        return E_INVALID_MESSAGE;
    s.mails.erase(s.mails.begin() + (m - s.mails.data()));
    save(s);
    return OK;
}

__declspec(dllexport) ULONG WINAPI MAPIFreeBuffer(void *p)
{
    CANNED("MAPIFreeBuffer");
    if (!p)
        return OK;
    auto *h = static_cast<BlockHeader *>(p) - 1;
    if (h->magic != kBlockMagic)
        return E_FAILURE;
    while (h) {
        BlockHeader *next = h->next;
        h->magic = 0;
        HeapFree(GetProcessHeap(), 0, h);
        h = next;
    }
    countBuffers(-1);
    return OK;
}

__declspec(dllexport) ULONG WINAPI MAPIAddress(ULONG_PTR session, ULONG_PTR ui, LPSTR caption,
                                               ULONG editFields, LPSTR labels, ULONG count,
                                               RecipDesc *recips, ULONG flags, ULONG reserved,
                                               ULONG *newCount, RecipDesc **newRecips)
{
    logCall("MAPIAddress", show(caption) + "|" + std::to_string(editFields) + "|" +
                               show(labels) + "|" + std::to_string(count) + "|" +
                               std::to_string(flags));
    CANNED("MAPIAddress");
    if (editFields > 4)
        return E_INVALID_EDITFIELDS;
    std::vector<Recip> chosen;
    for (ULONG i = 0; i < count; i++) {
        Recip r;
        if (ULONG rc = resolved(recips[i], &r); rc != OK)
            return rc;
        chosen.push_back(r);
    }
    if (count == 0)
        for (const BookEntry &e : kBook)
            chosen.push_back(fromBook(e, TO));
    Chain chain;
    chain.recips(chosen);           // the array is the chain's first block
    *newCount = static_cast<ULONG>(chosen.size());
    *newRecips = static_cast<RecipDesc *>(chain.handOut());
    return OK;
}

#ifndef FAKE_MAPI_NO_DETAILS
__declspec(dllexport) ULONG WINAPI MAPIDetails(ULONG_PTR session, ULONG_PTR ui, RecipDesc *recip,
                                               ULONG flags, ULONG reserved)
{
    std::string eid = recip && recip->entryId
                          ? std::string(static_cast<char *>(recip->entryId), recip->eidSize) : "";
    std::string hex;
    char two[3];
    for (unsigned char c : eid) {
        snprintf(two, sizeof two, "%02X", c);
        hex += two;
    }
    logCall("MAPIDetails", show(recip ? recip->name : nullptr) + "|" + hex + "|" +
                               std::to_string(flags));
    CANNED("MAPIDetails");
    for (const BookEntry &e : kBook)
        if (eid == std::string(e.entryId, kEntryIdSize))
            return OK;
    return E_UNKNOWN_RECIPIENT;
}
#endif

__declspec(dllexport) ULONG WINAPI MAPIResolveName(ULONG_PTR session, ULONG_PTR ui, LPSTR name,
                                                   ULONG flags, ULONG reserved, RecipDesc **out)
{
    logCall("MAPIResolveName", show(name) + "|" + std::to_string(flags));
    CANNED("MAPIResolveName");
    Recip r;
    if (ULONG rc = lookUp(name, TO, &r); rc != OK)
        return rc;
    Chain chain;
    auto *d = static_cast<RecipDesc *>(chain.block(sizeof(RecipDesc)));
    chain.fill(*d, r);
    *out = static_cast<RecipDesc *>(chain.handOut());
    return OK;
}

}  // extern "C"
