/*
 * brc_template.cpp - the template document: section "Template", document
 * number 65535, fields set with BrcTemplateFldSet (values as given: no file
 * references, no OEM conversion, no index keys).
 */
#include "archive/arcint.h"

#include "frame/boundary.h"

using namespace orin::arc;
using orin::guardCode;

USHORT ORINAPI BrcOpenTemplate(BrcArchive *archive, BrdDocument **document) noexcept
{
    if (document == nullptr)
        return ORIN_ERR_INVALID_PARAM;
    *document = nullptr;
    BrcArchive *a = liveArchive(archive);
    if (a == nullptr)
        return ORIN_ERR_INVALID_HANDLE;
    BrdDocument *d = nullptr;
    USHORT rc = guardCode([&]() -> USHORT {
        d = newDocument(a, BRC_TEMPLATE_NUMBER);
        return 0;
    });
    if (rc)
        return rc;
    if (a->shared()) {
        bool create = !sectionExists(a->profile, kTemplate);
        rc = PrfLockSection(a->profile, kTemplate, create, TRUE);
        if (rc) {
            freeDocument(d);
            return rc;
        }
        d->locked = true;
    }
    *document = d;
    return 0;
}

USHORT ORINAPI BrcCloseTemplate(BrdDocument *document) noexcept
{
    return BrdCloseDocument(document);
}
