/*
 * prf_store_handler.h - what the handlers over the system's own stores
 * (the registry, INI files) share.
 *
 * Such a profile is named by one string - a registry key path, an INI
 * file name - made at open from the open record and kept, in a record of
 * a handle pool, behind the handler's word (so a word set by a caller is
 * refused, never followed).  The messages are checked alike; offsets and
 * sizes (8 to 10) are not served (50); checks, locks and transactions
 * succeed doing nothing.  A store supplies a class with static members:
 *
 *   std::string nameFor(const char *openRecord);     // "" refuses the open
 *   USHORT createSection(const std::string &name, const char *section);
 *   USHORT destroySection(const std::string &name, const char *section);
 *   USHORT read(const std::string &name, PRFREQUEST *rq);         // section and key given
 *   USHORT listSections(const std::string &name, PRFREQUEST *rq);
 *   USHORT listKeys(const std::string &name, PRFREQUEST *rq);     // section given
 *   USHORT write(const std::string &name, PRFREQUEST *rq);        // section given
 */
#ifndef PRF_STORE_HANDLER_H
#define PRF_STORE_HANDLER_H

#include <string>
#include "frame/boundary.h"
#include "frame/handle_pool.h"
#include "profile/prfint.h"

namespace orin::prf {

struct StoreName {
    std::string name;
};

template <class Store>
USHORT serveStore(HPRF h, PRFCMD msg, void *param)
{
    static HandlePool<StoreName> names;
    PRFREQUEST *rq = static_cast<PRFREQUEST *>(param);
    if (!prfIsValid(h))
        return ORIN_ERR_INVALID_HANDLE;
    if (msg == PRF_CMD_OPEN) {
        std::string name = param ? Store::nameFor(static_cast<const char *>(param)) : "";
        if (name.empty())
            return ORIN_ERR_GENERAL;
        h->handlerData = reinterpret_cast<ULONG_PTR>(names.make(StoreName{name}).release());
        return 0;
    }
    StoreName *own = names.get(reinterpret_cast<const void *>(h->handlerData));
    if (!own)
        return ORIN_ERR_INVALID_HANDLE;
    const std::string &name = own->name;
    const char *section = static_cast<const char *>(param);
    switch (msg) {
    case PRF_CMD_CLOSE:
        names.destroy(own);
        h->handlerData = 0;
        return 0;
    case PRF_CMD_CREATESECTION:
        return section ? Store::createSection(name, section) : ORIN_ERR_INVALID_NAME;
    case PRF_CMD_DESTROYSECTION:
        return section ? Store::destroySection(name, section) : ORIN_ERR_INVALID_NAME;
    case PRF_CMD_READ:
        return rq && rq->section && rq->key ? Store::read(name, rq) : ORIN_ERR_INVALID_NAME;
    case PRF_CMD_LISTSECTIONS:
        return rq ? Store::listSections(name, rq) : ORIN_ERR_INVALID_PARAM;
    case PRF_CMD_LISTKEYS:
        return rq && rq->section ? Store::listKeys(name, rq) : ORIN_ERR_INVALID_NAME;
    case PRF_CMD_WRITE:
        return rq && rq->section ? Store::write(name, rq) : ORIN_ERR_INVALID_NAME;
    case PRF_CMD_READOFFSET:
    case PRF_CMD_WRITEOFFSET:
    case PRF_CMD_SETSIZE:
        return ORIN_ERR_NOT_SUPPORTED;
    default:
        return 0;
    }
}

// The handler function of a store: no exception leaves it.
template <class Store>
ULONG storeHandler(HPRF h, PRFCMD msg, void *param) noexcept
{
    return guardCode([&] { return serveStore<Store>(h, msg, param); });
}

}  // namespace orin::prf

#endif /* PRF_STORE_HANDLER_H */
