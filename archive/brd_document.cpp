/*
 * brd_document.cpp - adding, opening, closing, locking, deleting and
 * finding documents.
 *
 * A new document always takes the next slot ("NrDocs"); deleting gives
 * back only the highest slot, lower ones stay empty holes.  In shared mode
 * the header section is locked around every change of the slot count and
 * a document section while the document is locked.
 */
#include "archive/arcint.h"

#include <cstring>

#include "frame/boundary.h"

namespace orin::arc {
namespace {

constexpr size_t kAppSiteMax = BRD_APPSITE_SIZE - 1;
constexpr size_t kDocIdMax = BRD_DOCID_SIZE - 1;

std::string cut(const char *text, size_t max)
{
    std::string s(text ? text : "");
    if (s.size() > max)
        s.resize(max);
    return s;
}

USHORT writeNewDocument(BrdDocument &d, const char *appSite, const char *docId, bool active)
{
    HPRF p = d.archive->profile;
    USHORT rc = PrfWriteProfileString(p, d.section, kKeyAppSite, cut(appSite, kAppSiteMax).c_str());
    if (rc == 0)
        rc = PrfWriteProfileString(p, d.section, kKeyDocId, cut(docId, kDocIdMax).c_str());
    if (rc == 0)
        rc = PrfWriteProfileString(p, d.section, kKeyEntrance, dateTimeStamp(nullptr).c_str());
    if (rc == 0)
        rc = PrfWriteProfileUShort(p, d.section, kKeyActive, active ? 1 : 0);
    if (rc == 0)
        rc = PrfWriteProfileUShort(p, d.section, kKeyActiveOnEntrance, active ? 1 : 0);
    if (rc == 0)
        rc = storeFieldList(d, std::nullopt);
    return rc;
}

USHORT addDocument(BrcArchive &a, BrdDocument **out, const char *appSite, const char *docId,
                   bool active, bool keepLocked) noexcept
{
    BrdDocument *d = nullptr;
    USHORT rc = guardCode([&]() -> USHORT {
        d = newDocument(&a, 0);
        return 0;
    });
    if (rc)
        return rc;
    if ((rc = lockHeader(a, true)) != 0) {
        freeDocument(d);
        return rc;
    }
    USHORT number = 0;
    if ((rc = readHeaderCount(a, kKeyNrDocs, &number)) != 0 || number == BRC_TEMPLATE_NUMBER) {
        lockHeader(a, false);
        freeDocument(d);
        return rc ? rc : ORIN_ERR_GENERAL;   // every slot number is taken
    }
    d->number = number;
    snprintf(d->section, sizeof d->section, "%s", docSection(number).c_str());
    if (a.shared())
        rc = PrfLockSection(a.profile, d->section, TRUE, TRUE);
    d->locked = true;
    if (rc == 0)
        rc = guardCode([&] { return writeNewDocument(*d, appSite, docId, active); });
    if (rc == 0)
        rc = writeHeaderCount(a, kKeyNrDocs, USHORT(number + 1));
    lockHeader(a, false);
    if (rc) {
        if (a.shared())
            PrfLockSection(a.profile, d->section, FALSE, FALSE);
        PrfDestroySection(a.profile, d->section);
        freeDocument(d);
        return rc;
    }
    keysAfter(*d, nullptr);
    if (!keepLocked)
        BrdLockDocument(d, FALSE);
    *out = d;
    return 0;
}

/* Gives the highest slot back when the deleted document held it. */
void releaseSlot(BrcArchive &a, USHORT number) noexcept
{
    USHORT slots = 0;
    if (readHeaderCount(a, kKeyNrDocs, &slots) || number + 1 != slots)
        return;
    if (lockHeader(a, true))
        return;
    // Another process may have added a document meanwhile.
    if (readHeaderCount(a, kKeyNrDocs, &slots) == 0 && number + 1 == slots)
        writeHeaderCount(a, kKeyNrDocs, number);
    lockHeader(a, false);
}

std::string subSection(const BrdDocument &d, const char *name)
{
    return std::string(d.section) + "." + name;
}

}  // namespace

USHORT readDocString(BrdDocument &d, const char *key, char *buffer, ULONG size) noexcept
{
    return PrfQueryProfileString(d.archive->profile, d.section, key, "", buffer, size);
}

}  // namespace orin::arc

using namespace orin::arc;
using orin::guardCode;

USHORT ORINAPI BrdAddDocument(BrcArchive *archive, BrdDocument **document, const char *appSite,
                              const char *docId, BOOL active, BOOL keepLocked) noexcept
{
    if (document == nullptr)
        return ORIN_ERR_INVALID_PARAM;
    *document = nullptr;
    BrcArchive *a = liveArchive(archive);
    if (a == nullptr)
        return ORIN_ERR_INVALID_HANDLE;
    return addDocument(*a, document, appSite, docId, active != FALSE, keepLocked != FALSE);
}

USHORT ORINAPI BrdOpenDocument(BrcArchive *archive, BrdDocument **document, USHORT number,
                               BOOL lock) noexcept
{
    if (document == nullptr)
        return ORIN_ERR_INVALID_PARAM;
    *document = nullptr;
    BrcArchive *a = liveArchive(archive);
    if (a == nullptr)
        return ORIN_ERR_INVALID_HANDLE;
    BrdDocument *d = nullptr;
    USHORT rc = guardCode([&]() -> USHORT {
        d = newDocument(a, number);
        return 0;
    });
    if (rc)
        return rc;
    if (number == BRC_TEMPLATE_NUMBER || !sectionExists(a->profile, d->section)) {
        freeDocument(d);
        return BRC_ERR_NO_DOC;
    }
    if (lock && a->shared()) {
        rc = PrfLockSection(a->profile, d->section, FALSE, TRUE);
        if (rc) {
            freeDocument(d);
            return rc;
        }
    }
    d->locked = lock != FALSE;
    *document = d;
    return 0;
}

USHORT ORINAPI BrdCloseDocument(BrdDocument *document) noexcept
{
    BrdDocument *d = liveDocument(document);
    if (d == nullptr)
        return ORIN_ERR_INVALID_HANDLE;
    USHORT rc = d->archive->shared() ? 0 : flushFieldList(*d);
    if (d->locked && d->archive->shared()) {
        USHORT unlockRc = PrfLockSection(d->archive->profile, d->section, FALSE, FALSE);
        if (rc == 0)
            rc = unlockRc;
    }
    freeDocument(d);
    return rc;
}

USHORT ORINAPI BrdDeleteDocument(BrdDocument *document) noexcept
{
    BrdDocument *d = liveDocument(document);
    if (d == nullptr)
        return ORIN_ERR_INVALID_HANDLE;
    BrcArchive &a = *d->archive;
    removeDocumentKeys(*d);
    // The fields' keys go with the section: no need to delete them one by
    // one first, which would leave a half-emptied document after a crash.
    d->fields.reset();
    d->fieldsCached = false;
    d->fieldsDirty = false;
    USHORT rc = guardCode([&]() -> USHORT {
        PrfDestroySection(a.profile, subSection(*d, "MEMOS").c_str());
        PrfDestroySection(a.profile, subSection(*d, "REDLINES").c_str());
        return 0;
    });
    if (d->locked && a.shared())
        PrfLockSection(a.profile, d->section, FALSE, FALSE);
    rc = PrfDestroySection(a.profile, d->section);
    if (rc == 0 && !d->isTemplate())
        releaseSlot(a, d->number);
    freeDocument(d);
    return rc;
}

USHORT ORINAPI BrdLockDocument(BrdDocument *document, BOOL lock) noexcept
{
    BrdDocument *d = liveDocument(document);
    if (d == nullptr)
        return ORIN_ERR_INVALID_HANDLE;
    if (d->archive->shared() &&
        PrfLockSection(d->archive->profile, d->section, FALSE, lock) != 0)
        return 0;   // the flag stays as it was
    d->locked = lock != FALSE;
    return 0;
}

HPRF ORINAPI BrdGetPrfHandle(BrdDocument *document) noexcept
{
    BrdDocument *d = liveDocument(document);
    return d ? d->archive->profile : nullptr;
}

USHORT ORINAPI BrdGetDocNumber(BrdDocument *document) noexcept
{
    BrdDocument *d = liveDocument(document);
    return d ? d->number : USHORT(BRC_TEMPLATE_NUMBER);
}

USHORT ORINAPI BrcFindDoc(BrcArchive *archive, const char *appSite, const char *docId,
                          USHORT *number) noexcept
{
    BrcArchive *a = liveArchive(archive);
    if (a == nullptr)
        return ORIN_ERR_INVALID_HANDLE;
    if (docId == nullptr)
        return ORIN_ERR_INVALID_PARAM;
    USHORT slots = 0;
    if (readHeaderCount(*a, kKeyNrDocs, &slots) != 0)
        return BRC_ERR_NO_DOC;
    for (USHORT n = 0; n < slots; n++) {
        std::string name = docSection(n);
        const char *section = name.c_str();
        char id[BRD_DOCID_SIZE];
        if (PrfQueryProfileString(a->profile, section, kKeyDocId, "", id, sizeof id) != 0 ||
            strcmp(id, docId) != 0)
            continue;
        if (appSite != nullptr) {
            char site[BRD_APPSITE_SIZE];
            if (PrfQueryProfileString(a->profile, section, kKeyAppSite, "", site, sizeof site) != 0 ||
                strcmp(site, appSite) != 0)
                continue;
        }
        if (number)
            *number = n;
        return 0;
    }
    return BRC_ERR_NO_DOC;
}
