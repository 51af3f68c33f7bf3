/*
 * prf100_handler.cpp - PrfFal100Handler, the handler of first-format
 * profiles (prf100_format.h): open and close, and one function per
 * message 2 to 7.  Every other message is answered with 57505.
 *
 * Nothing is cached between messages.  Each message takes the FAL lock
 * (shared for the reads 4, 5 and 6, exclusive for the changes 2, 3 and 7),
 * reads the 12-byte header and the section list, works, and writes back
 * what it changed: value blocks first, then a changed key list
 * (reallocated, or freed when it is empty, its id stored in the section
 * record), then a changed section list (likewise), and the header when the
 * section list's block id moved.  Every size limit is checked on the
 * lists in memory before the first block is written, so a refused write
 * leaves the file as it was.  The format has no in-update marker: a
 * failure between two block writes can leave a list naming a freed block,
 * which later messages report as a block of the wrong type.
 */
#include <string.h>
#include <algorithm>
#include <string_view>
#include <vector>
#include "frame/boundary.h"
#include "frame/handle_pool.h"
#include "profile/prf100_format.h"
#include "profile/prfint.h"
#include "knlnam.h"

namespace orin::prf100 {

namespace {

// The state of one open first-format profile; the handle's word names it
// and is checked against the pool before it is used.
struct State {
    HFAL fal = NULL;
    USHORT openFlags = 0;
};

HandlePool<State> states;

State *stateOf(HPRF h)
{
    if (!prfIsValid(h))
        return NULL;
    return states.get(reinterpret_cast<const void *>(h->handlerData));
}

bool isReadOnly(const State *st) { return (st->openFlags & PRF_OPEN_READONLY) != 0; }

// ---- One message's hold on the FAL lock ----------------------------------------

USHORT lockFile(State *st, BOOL exclusive)
{
    if (exclusive && isReadOnly(st))
        return ORIN_ERR_ACCESS_DENIED;
    return FalLock(st->fal, exclusive);
}

USHORT unlockFile(State *st, USHORT rc, BOOL)
{
    USHORT unlocked = FalUnlock(st->fal);
    return rc ? rc : unlocked;
}

using Bracket = BasicBracket<State *, lockFile, unlockFile, ORIN_ERR_GENERAL>;

bool isChange(PRFCMD msg)
{
    return msg == PRF_CMD_CREATESECTION || msg == PRF_CMD_DESTROYSECTION || msg == PRF_CMD_WRITE;
}

bool isServed(PRFCMD msg)
{
    return isChange(msg) || msg == PRF_CMD_READ || msg == PRF_CMD_LISTSECTIONS
        || msg == PRF_CMD_LISTKEYS;
}

// ---- Blocks -------------------------------------------------------------------

// Reads the header of an open file; 57494 when it is not a first-format one.
USHORT readHeader(HFAL fal, Header &hdr)
{
    ULONG used = 0;
    USHORT rc = FalQueryBlockSize(fal, 0, &used);
    if (!rc && used < kHeaderSize)
        return PRF_ERR_NOTFIRSTFORMAT;
    if (!rc)
        rc = FalReadBlock(fal, 0, 0, &hdr, kHeaderSize);
    if (!rc && !hasVersion(hdr))
        rc = PRF_ERR_NOTFIRSTFORMAT;
    return rc;
}

USHORT loadList(HFAL fal, ULONG id, NameList &list)
{
    ULONG used = 0;
    if (id == 0)
        return list.assign({});
    USHORT rc = FalQueryBlockSize(fal, id, &used);
    if (rc)
        return rc;
    std::vector<BYTE> bytes(used);
    rc = FalReadBlock(fal, id, 0, bytes.data(), used);
    return rc ? rc : list.assign(std::move(bytes));
}

// Writes a list back to its block, or frees the block of an empty list;
// *id follows the list to a new block.
USHORT saveList(HFAL fal, const NameList &list, ULONG *id)
{
    if (list.empty()) {
        USHORT rc = *id ? FalFreeBlock(fal, *id) : 0;
        if (!rc)
            *id = 0;
        return rc;
    }
    const std::vector<BYTE> &bytes = list.bytes();
    return FalReallocBlock(fal, id, (ULONG)bytes.size(), bytes.data(), (ULONG)bytes.size());
}

// ---- Lists of names --------------------------------------------------------------

// A name with its '~' goes in when it fits after the text so far; the
// length counts every name, fitting or not.
void appendName(PRFREQUEST *rq, std::string_view name, ULONG *written)
{
    ULONG n = (ULONG)name.size() + 1;
    rq->length += n;
    if (!rq->data || *written + n > rq->size)
        return;
    char *out = static_cast<char *>(rq->data) + *written;
    memcpy(out, name.data(), name.size());
    out[name.size()] = PRF_LIST_SEPARATOR;
    *written += n;
}

void listNames(const NameList &list, PRFREQUEST *rq)
{
    ULONG written = 0;
    rq->length = 0;
    for (size_t i = 0; i < list.size(); i++)
        appendName(rq, list.name(i), &written);
}

// ---- One message on the file ----------------------------------------------------

class Message {
public:
    explicit Message(HFAL fal) : fal_(fal) {}

    // Reads the header and the section list.
    USHORT load()
    {
        USHORT rc = readHeader(fal_, hdr_);
        return rc ? rc : loadList(fal_, hdr_.sectionList, sections_);
    }

    USHORT createSection(std::string_view name)
    {
        if (sections_.find(name) != NameList::npos)
            return PRF_ERR_EXISTS;
        USHORT rc = addSection(name);
        return rc ? rc : saveSections();
    }

    USHORT destroySection(std::string_view name)
    {
        size_t s = sections_.find(name);
        if (s == NameList::npos)
            return ORIN_ERR_NO_KEY;
        USHORT rc = dropKeys(s);
        if (rc)
            return rc;
        sections_.remove(s);
        sectionsChanged_ = true;
        return saveSections();
    }

    USHORT read(PRFREQUEST *rq)
    {
        NameList keys;
        size_t s, k;
        rq->length = 0;
        USHORT rc = findKey(rq->section, rq->key, keys, &s, &k);
        if (rc)
            return rc;
        ULONG id = keys.target(k);
        if (id == 0) {
            if (rq->data && rq->size)
                static_cast<char *>(rq->data)[0] = 0;
            return 0;
        }
        ULONG used = 0;
        rc = FalQueryBlockSize(fal_, id, &used);
        if (!rc)
            rc = FalReadBlock(fal_, id, 0, rq->data, rq->data ? std::min(rq->size, used) : 0);
        if (!rc)
            rq->length = used;
        return rc;
    }

    USHORT listSections(PRFREQUEST *rq)
    {
        listNames(sections_, rq);
        return 0;
    }

    USHORT listKeys(PRFREQUEST *rq)
    {
        NameList keys;
        rq->length = 0;
        size_t s = sections_.find(rq->section);
        if (s == NameList::npos)
            return ORIN_ERR_NO_KEY;
        USHORT rc = loadList(fal_, sections_.target(s), keys);
        if (!rc)
            listNames(keys, rq);
        return rc;
    }

    USHORT write(const PRFREQUEST *rq)
    {
        if (!rq->key)
            return deleteAllKeys(rq->section);
        if (!rq->data)
            return deleteKey(rq->section, rq->key);
        return writeValue(rq->section, rq->key, rq->data, rq->size);
    }

private:
    USHORT addSection(std::string_view name)
    {
        USHORT rc = sections_.append(name, 0);
        if (!rc)
            sectionsChanged_ = true;
        return rc;
    }

    // Finds a section (*s) and a key (*k) in its key list, which is loaded
    // into `keys`; 211 when either is missing.
    USHORT findKey(std::string_view section, std::string_view key, NameList &keys, size_t *s,
                   size_t *k)
    {
        *s = sections_.find(section);
        if (*s == NameList::npos)
            return ORIN_ERR_NO_KEY;
        USHORT rc = loadList(fal_, sections_.target(*s), keys);
        if (rc)
            return rc;
        *k = keys.find(key);
        return *k == NameList::npos ? ORIN_ERR_NO_KEY : 0;
    }

    // Frees every value block and the key list of section s.
    USHORT dropKeys(size_t s)
    {
        ULONG id = sections_.target(s);
        NameList keys;
        if (id == 0)
            return 0;
        USHORT rc = loadList(fal_, id, keys);
        for (size_t k = 0; !rc && k < keys.size(); k++)
            if (keys.target(k))
                rc = FalFreeBlock(fal_, keys.target(k));
        if (!rc)
            rc = FalFreeBlock(fal_, id);
        if (!rc) {
            sections_.setTarget(s, 0);
            sectionsChanged_ = true;
        }
        return rc;
    }

    USHORT deleteAllKeys(std::string_view section)
    {
        size_t s = sections_.find(section);
        if (s == NameList::npos)
            return ORIN_ERR_NO_KEY;
        USHORT rc = dropKeys(s);
        return rc ? rc : saveSections();
    }

    USHORT deleteKey(std::string_view section, std::string_view key)
    {
        NameList keys;
        size_t s, k;
        USHORT rc = findKey(section, key, keys, &s, &k);
        if (!rc && keys.target(k))
            rc = FalFreeBlock(fal_, keys.target(k));
        if (rc)
            return rc;
        keys.remove(k);
        rc = saveKeys(s, keys);
        return rc ? rc : saveSections();
    }

    USHORT writeValue(std::string_view section, std::string_view key, const void *data,
                      ULONG size)
    {
        NameList keys;
        USHORT rc = 0;
        if (size > kMaxBlockData)
            return ORIN_ERR_NO_MEMORY;
        size_t s = sections_.find(section);
        if (s == NameList::npos) {
            rc = addSection(section);
            s = sections_.size() - 1;
        }
        if (!rc)
            rc = loadList(fal_, sections_.target(s), keys);
        if (rc)
            return rc;
        size_t k = keys.find(key);
        bool keysChanged = k == NameList::npos;
        if (keysChanged) {
            rc = keys.append(key, 0);
            k = keys.size() - 1;
        }
        ULONG id = rc ? 0 : keys.target(k);
        if (!rc)
            rc = id ? FalReallocBlock(fal_, &id, size, data, size)
                    : FalAllocBlock(fal_, &id, size, data, size);
        if (rc)
            return rc;
        if (id != keys.target(k)) {
            keys.setTarget(k, id);
            keysChanged = true;
        }
        if (keysChanged)
            rc = saveKeys(s, keys);
        return rc ? rc : saveSections();
    }

    USHORT saveKeys(size_t s, const NameList &keys)
    {
        ULONG id = sections_.target(s);
        USHORT rc = saveList(fal_, keys, &id);
        if (!rc && id != sections_.target(s)) {
            sections_.setTarget(s, id);
            sectionsChanged_ = true;
        }
        return rc;
    }

    USHORT saveSections()
    {
        ULONG id = hdr_.sectionList;
        if (!sectionsChanged_)
            return 0;
        USHORT rc = saveList(fal_, sections_, &id);
        if (rc || id == hdr_.sectionList)
            return rc;
        hdr_.sectionList = id;
        return FalWriteBlock(fal_, 0, 0, &hdr_, kHeaderSize);
    }

    HFAL fal_;
    Header hdr_ = {};
    NameList sections_;
    bool sectionsChanged_ = false;
};

// ---- Messages ---------------------------------------------------------------------

// A name a change may store: given, not empty, without '~'.
bool storable(const char *name) { return name && prfNameIsValid(name); }

// 0 when a message's parameter can be served, else the code for it; bad
// arguments never reach the file.
USHORT checkParam(PRFCMD msg, const void *param)
{
    auto *rq = static_cast<const PRFREQUEST *>(param);
    auto *name = static_cast<const char *>(param);
    if (msg == PRF_CMD_CREATESECTION)
        return storable(name) ? 0 : ORIN_ERR_INVALID_NAME;
    if (msg == PRF_CMD_DESTROYSECTION)
        return name ? 0 : ORIN_ERR_INVALID_NAME;
    if (!rq)
        return ORIN_ERR_INVALID_PARAM;
    switch (msg) {
    case PRF_CMD_READ:
        return rq->section && rq->key ? 0 : ORIN_ERR_INVALID_NAME;
    case PRF_CMD_LISTKEYS:
        return rq->section ? 0 : ORIN_ERR_INVALID_NAME;
    case PRF_CMD_WRITE:
        if (!rq->section)
            return ORIN_ERR_INVALID_NAME;
        // A write that would store the names needs names that can be stored.
        if (rq->key && rq->data && !(storable(rq->section) && storable(rq->key)))
            return ORIN_ERR_INVALID_NAME;
        return 0;
    default:
        return 0;
    }
}

USHORT serve(Message &m, PRFCMD msg, void *param)
{
    auto *rq = static_cast<PRFREQUEST *>(param);
    auto *name = static_cast<const char *>(param);
    switch (msg) {
    case PRF_CMD_CREATESECTION:
        return m.createSection(name);
    case PRF_CMD_DESTROYSECTION:
        return m.destroySection(name);
    case PRF_CMD_READ:
        return m.read(rq);
    case PRF_CMD_LISTSECTIONS:
        return m.listSections(rq);
    case PRF_CMD_LISTKEYS:
        return m.listKeys(rq);
    case PRF_CMD_WRITE:
        return m.write(rq);
    default:
        return PRF_ERR_NOTSERVED;
    }
}

// ---- Open and close -----------------------------------------------------------------

// Creates a new, empty profile file; a file whose header could not be
// written is closed and removed again.
USHORT createProfile(State *st, const PRFFALOPEN *rec)
{
    USHORT rc = FalCreate(rec->nameSpace, rec->fileName, &st->fal,
                          (USHORT)(rec->falFlags & ~kClearedFalFlags), kHeaderSize, 0,
                          rec->openFlags, rec->funcStruct);
    if (rc)
        return rc;
    Header hdr = freshHeader();
    rc = FalWriteBlock(st->fal, 0, 0, &hdr, kHeaderSize);
    if (rc) {
        FalClose(st->fal);
        st->fal = NULL;
        if (!rec->funcStruct)
            KnlNamDelete(rec->nameSpace, rec->fileName);
    }
    return rc;
}

USHORT checkExisting(State *st)
{
    Header hdr;
    USHORT rc = FalLock(st->fal, FALSE);
    if (rc)
        return rc;
    rc = readHeader(st->fal, hdr);
    FalUnlock(st->fal);
    return rc;
}

USHORT openProfile(HPRF h, const PRFFALOPEN *rec)
{
    if (!rec || !rec->fileName)
        return ORIN_ERR_INVALID_PARAM;
    auto owned = states.tryMake();
    if (!owned)
        return ORIN_ERR_NO_MEMORY;
    State *st = owned.get();
    st->openFlags = rec->openFlags;
    USHORT rc = FalOpenEx(rec->nameSpace, rec->fileName, &st->fal, rec->openFlags,
                          rec->funcStruct);
    if (rc == ORIN_ERR_FILE_NOT_FOUND && !isReadOnly(st))
        rc = createProfile(st, rec);
    else if (!rc)
        rc = checkExisting(st);
    if (rc) {
        if (st->fal)
            FalClose(st->fal);
        return rc;
    }
    PrfUtlSetHandlerULongPtr(h, reinterpret_cast<ULONG_PTR>(owned.release()));
    return 0;
}

USHORT closeProfile(HPRF h, State *st)
{
    USHORT rc = FalClose(st->fal);
    states.destroy(st);
    PrfUtlSetHandlerULongPtr(h, 0);
    return rc;
}

USHORT handle(HPRF h, PRFCMD msg, void *param)
{
    if (msg == PRF_CMD_OPEN) {
        // Only a handle being opened for this handler, not one in use.
        if (!prfIsValid(h) || stateOf(h))
            return ORIN_ERR_INVALID_HANDLE;
        return openProfile(h, static_cast<const PRFFALOPEN *>(param));
    }
    State *st = stateOf(h);
    if (!st)
        return ORIN_ERR_INVALID_HANDLE;
    if (msg == PRF_CMD_CLOSE)
        return closeProfile(h, st);
    if (!isServed(msg))
        return PRF_ERR_NOTSERVED;
    USHORT rc = checkParam(msg, param);
    if (rc)
        return rc;
    Bracket bracket(st, isChange(msg));
    rc = bracket.status();
    if (rc)
        return rc;
    Message m(st->fal);
    rc = m.load();
    if (!rc)
        rc = serve(m, msg, param);
    return bracket.end(rc, isChange(msg));
}

}  // namespace

}  // namespace orin::prf100

// Lists are vectors: running out of memory comes as an exception, which
// the guard turns into 8 (the bracket has given the lock back by then).
ULONG ORINAPI PrfFal100Handler(HPRF h, PRFCMD message, void *param) noexcept
{
    return orin::guardCode([&] { return orin::prf100::handle(h, message, param); });
}

USHORT ORINAPI Prf100OpenProfile(void *nameSpace, HPRF *h, const char *fileName,
                                 USHORT openFlags) noexcept
{
    PRFFALOPEN rec;
    rec.nameSpace = nameSpace;
    rec.fileName = fileName;
    rec.falFlags = FAL_FIRST_FIT;
    rec.openFlags = openFlags;
    rec.funcStruct = NULL;
    return PrfOpenHandler(PrfFal100Handler, &rec, h);
}

USHORT ORINAPI Prf100CloseProfile(HPRF h) noexcept
{
    return PrfCloseHandler(h);
}
