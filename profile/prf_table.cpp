/*
 * prf_table.cpp - profiles answered from a static table.
 *
 * A client handler keeps an array of entries (section, key, flags, code,
 * value buffer and its capacity) ended by an entry without section, and
 * passes every message to PrfUtlTableHandler after PrfUtlInitTableHandler.
 * Reads and writes find the first entry whose names match exactly; lists
 * walk the table in order.  An entry without a string value answers with
 * its own code, which the client hands back to its caller.
 */
#include <string.h>
#include "profile/prfint.h"

static ULONG minOf(ULONG a, ULONG b) { return a < b ? a : b; }

static PRFUTLTABLEENTRY *findEntry(PRFUTLTABLEENTRY *table, const char *section,
                                   const char *key)
{
    if (!section || !key)
        return NULL;
    for (; table->section; table++)
        if (table->key && strcmp(table->section, section) == 0 && strcmp(table->key, key) == 0)
            return table;
    return NULL;
}

static ULONG readEntry(PRFUTLTABLEENTRY *e, PRFREQUEST *rq, USHORT *code)
{
    ULONG length;
    if (!(e->flags & PRF_TABLE_STRING)) {
        *code = e->code;
        return PRF_ERR_NOSTRING;
    }
    length = e->value ? (ULONG)strlen(e->value) : 0;
    rq->length = length;
    if (rq->data && length)
        memcpy(rq->data, e->value, minOf(rq->size, length));
    return 0;
}

static ULONG writeEntry(PRFUTLTABLEENTRY *e, PRFREQUEST *rq, USHORT *code)
{
    ULONG n;
    if (e->flags & PRF_TABLE_READONLY)
        return ORIN_ERR_ACCESS_DENIED;
    if (!(e->flags & PRF_TABLE_STRING)) {
        *code = e->code;
        return PRF_ERR_NOSTRING;
    }
    if (!e->value || e->capacity == 0)
        return 0;
    n = rq->data ? minOf(rq->size, e->capacity - 1) : 0;
    if (n)
        memcpy(e->value, rq->data, n);
    e->value[n] = 0;
    return 0;
}

/* True when `name` followed by '~' already stands in the first `used`
 * bytes of a list. */
static BOOL inList(const char *list, ULONG used, const char *name)
{
    size_t len = strlen(name);
    ULONG pos = 0;
    while (pos < used) {
        const char *sep = (const char*)memchr(list + pos, PRF_LIST_SEPARATOR, used - pos);
        ULONG end = sep ? (ULONG)(sep - list) : used;
        if (end - pos == len && memcmp(list + pos, name, len) == 0)
            return TRUE;
        pos = end + 1;
    }
    return FALSE;
}

typedef struct {
    PRFREQUEST *rq;
    ULONG used;                         /* bytes in the caller's buffer */
    BOOL full;                          /* a name did not fit: append no more */
} LISTOUT;

static void appendName(LISTOUT *out, const char *name)
{
    ULONG len = (ULONG)strlen(name);
    PRFREQUEST *rq = out->rq;
    rq->length += len + 1;
    if (!rq->data || out->full)
        return;
    if (out->used + len + 1 > rq->size) {
        out->full = TRUE;
        return;
    }
    memcpy((char *)rq->data + out->used, name, len);
    ((char *)rq->data)[out->used + len] = PRF_LIST_SEPARATOR;
    out->used += len + 1;
}

static BOOL sectionSeenBefore(const PRFUTLTABLEENTRY *table, const PRFUTLTABLEENTRY *e)
{
    for (; table < e; table++)
        if (strcmp(table->section, e->section) == 0)
            return TRUE;
    return FALSE;
}

static ULONG listSections(PRFUTLTABLEENTRY *table, PRFREQUEST *rq)
{
    LISTOUT out = { rq, 0, FALSE };
    PRFUTLTABLEENTRY *e;
    rq->length = 0;
    for (e = table; e->section; e++)
        if (!rq->data || !sectionSeenBefore(table, e))
            appendName(&out, e->section);
    return 0;
}

static ULONG listKeys(PRFUTLTABLEENTRY *table, PRFREQUEST *rq)
{
    LISTOUT out = { rq, 0, FALSE };
    PRFUTLTABLEENTRY *e;
    BOOL any = FALSE;
    rq->length = 0;
    for (e = table; e->section; e++) {
        if (!e->key || !rq->section || strcmp(e->section, rq->section) != 0)
            continue;
        any = TRUE;
        if (rq->data && inList((const char *)rq->data, out.used, e->key))
            continue;
        appendName(&out, e->key);
    }
    return any ? 0 : PRF_ERR_NOTSERVED;
}

ULONG ORINAPI PrfUtlTableHandler(PRFUTLTABLEENTRY *table, HPRF h, PRFCMD message,
                                 PRFREQUEST *request, USHORT *code) noexcept
{
    USHORT ignored;
    PRFUTLTABLEENTRY *e;

    if (!code)
        code = &ignored;
    if (!table || !request)
        return PRF_ERR_NOTSERVED;
    switch (message) {
    case PRF_CMD_READ:
        e = findEntry(table, request->section, request->key);
        return e ? readEntry(e, request, code) : PRF_ERR_NOTSERVED;
    case PRF_CMD_WRITE:
        e = findEntry(table, request->section, request->key);
        return e ? writeEntry(e, request, code) : PRF_ERR_NOTSERVED;
    case PRF_CMD_LISTSECTIONS:
        return listSections(table, request);
    case PRF_CMD_LISTKEYS:
        return listKeys(table, request);
    default:
        return PRF_ERR_NOTSERVED;
    }
}

ULONG ORINAPI PrfUtlInitTableHandler(HPRF h, PRFCMD message, PRFREQUEST *request) noexcept
{
    if (message == PRF_CMD_LISTSECTIONS && request) {
        request->length = 0;
        if (request->data && request->size)
            *(char *)request->data = 0;
    }
    return 0;
}
