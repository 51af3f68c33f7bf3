/*
 * prf_api.cpp - the profile calls: each one checks and normalises its
 * arguments, fills a request record and sends one message to the
 * profile's handler.
 *
 * Which message a query sends depends on the names given: section and key
 * read a value (4, or 8 from an offset), a section alone lists its keys
 * (6), no section lists the sections (5).  A whole-value or list query
 * whose result does not fit the caller's buffer fills the buffer and
 * answers 111; it finds out
 * by the length the handler reports or, when the buffer came back exactly
 * full, by asking the handler for the full length.
 *
 * OEM mode: names are converted on the way in (prf_names.cpp), string
 * values on the way in and out, and lists on the way out.
 */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include "profile/prfint.h"
#include "knl.h"
#include "frame/knlint.h"

constexpr ULONG PRF_NUMBER_CHARS = 19;             /* digits read by the number queries */
constexpr ULONG PRF_NUMBER_BUFFER = 24;

static ULONG minOf(ULONG a, ULONG b) { return a < b ? a : b; }

static USHORT send(HPRF h, PRFCMD message, void *param)
{
    return (USHORT)h->handler(h, message, param);
}

/* Fills the names of a request; a key without a section is ignored. */
static USHORT prepare(HPRF h, const char *section, const char *key, PRFREQUEST *rq)
{
    USHORT rc;
    memset(rq, 0, sizeof *rq);
    if (!prfIsValid(h))
        return ORIN_ERR_INVALID_HANDLE;
    if (!section)
        return 0;
    rc = prfNormaliseName(h, 0, section, (h->oemMode & PRF_OEM_SECTIONS) != 0, &rq->section);
    if (!rc && key) {
        rc = prfNormaliseName(h, 1, key, (h->oemMode & PRF_OEM_KEYS) != 0, &rq->key);
        rq->section = h->nameBuffer;        /* the buffer may have moved */
    }
    return rc;
}

static PRFCMD queryMessage(const PRFREQUEST *rq, BOOL offset)
{
    if (rq->section && rq->key)
        return offset ? PRF_CMD_READOFFSET : PRF_CMD_READ;
    return rq->section ? PRF_CMD_LISTKEYS : PRF_CMD_LISTSECTIONS;
}

/* A handler may count a name more than once when it lists without a
 * buffer, so a longer count alone does not prove that a list was cut:
 * this fetches the list into a buffer of that size and compares. */
static BOOL listLonger(HPRF h, PRFCMD msg, const PRFREQUEST *rq, ULONG bound)
{
    PRFREQUEST full = *rq;
    BOOL longer;
    full.data = malloc(bound + 1);
    if (!full.data)
        return TRUE;
    full.size = bound;
    full.length = 0;
    longer = send(h, msg, &full) == 0 && full.length > rq->length;
    free(full.data);
    return longer;
}

/* Sends a query with the caller's buffer; 111 when the result was cut. */
static USHORT query(HPRF h, PRFCMD msg, PRFREQUEST *rq)
{
    USHORT rc = send(h, msg, rq);
    PRFREQUEST probe;

    if (rc || !rq->data)
        return rc;
    if (rq->length > rq->size)
        return ORIN_ERR_BUFFER_TOO_SMALL;
    if (msg != PRF_CMD_LISTKEYS && msg != PRF_CMD_LISTSECTIONS && rq->length < rq->size)
        return 0;
    probe = *rq;
    probe.data = NULL;
    probe.size = 0;
    probe.length = 0;
    if (send(h, msg, &probe) || probe.length <= rq->length)
        return 0;
    if (msg == PRF_CMD_LISTKEYS || msg == PRF_CMD_LISTSECTIONS)
        return listLonger(h, msg, rq, probe.length) ? ORIN_ERR_BUFFER_TOO_SMALL : 0;
    return ORIN_ERR_BUFFER_TOO_SMALL;
}

/* ---- Queries ------------------------------------------------------------- */

USHORT ORINAPI PrfQueryProfileSize(HPRF h, const char *section, const char *key, ULONG *size) noexcept
{
    PRFREQUEST rq;
    USHORT rc;
    if (!size)
        return ORIN_ERR_INVALID_PARAM;
    *size = 0;
    rc = prepare(h, section, key, &rq);
    if (!rc)
        rc = send(h, queryMessage(&rq, FALSE), &rq);
    if (!rc)
        *size = rq.length + 1;
    return rc;
}

USHORT ORINAPI PrfQueryProfileDataOffset(HPRF h, const char *section, const char *key,
                                         ULONG offset, void *buffer, ULONG *size) noexcept
{
    PRFREQUEST rq;
    PRFCMD msg;
    USHORT rc;
    if (!size)
        return ORIN_ERR_INVALID_PARAM;
    rc = prepare(h, section, key, &rq);
    if (rc)
        return rc;
    msg = queryMessage(&rq, TRUE);
    rq.data = buffer;
    rq.size = buffer ? *size : 0;
    if (msg == PRF_CMD_READOFFSET) {
        rq.offset = offset;
        rq.offsetMode = 1;
    }
    /* Reading a value piece by piece is what this call is for: a value
     * longer than the buffer is no error here. */
    rc = send(h, msg, &rq);
    *size = rc ? 0 : buffer ? minOf(rq.length, rq.size) : rq.length;
    return rc;
}

USHORT ORINAPI PrfQueryProfileData(HPRF h, const char *section, const char *key, void *buffer,
                                   ULONG *size) noexcept
{
    PRFREQUEST rq;
    USHORT rc;
    if (!size)
        return ORIN_ERR_INVALID_PARAM;
    rc = prepare(h, section, key, &rq);
    if (rc)
        return rc;
    rq.data = buffer;
    rq.size = buffer ? *size : 0;
    rc = query(h, queryMessage(&rq, FALSE), &rq);
    *size = rc && rc != ORIN_ERR_BUFFER_TOO_SMALL ? 0 : rq.length;
    return rc;
}

static void copyDefault(const char *def, char *buffer, ULONG size)
{
    ULONG n = def ? minOf((ULONG)strlen(def), size - 1) : 0;
    if (n)
        memcpy(buffer, def, n);
    buffer[n] = 0;
}

/* Converts a text result from OEM as the profile's mode asks. */
static void resultToAnsi(HPRF h, PRFCMD msg, char *text, ULONG length)
{
    USHORT bit = msg == PRF_CMD_READ ? PRF_OEM_VALUES
               : msg == PRF_CMD_LISTKEYS ? PRF_OEM_KEYS : PRF_OEM_SECTIONS;
    if (length && (h->oemMode & bit))
        KnlOemToAnsiBuff(text, text, length);
}

/* The string query behind PrfQueryProfileString and the number queries. */
static USHORT queryString(HPRF h, const char *section, const char *key, const char *def,
                          char *buffer, ULONG size)
{
    PRFREQUEST rq;
    PRFCMD msg;
    ULONG n;
    USHORT rc;

    if (!buffer || size == 0)
        return ORIN_ERR_INVALID_PARAM;
    buffer[0] = 0;
    rc = prepare(h, section, key, &rq);
    if (rc)
        return rc;
    msg = queryMessage(&rq, FALSE);
    rq.data = buffer;
    rq.size = size - 1;
    /* A handler may count list names it did not write: the names it wrote
     * end at the first zero byte. */
    if (msg != PRF_CMD_READ)
        memset(buffer, 0, size);
    rc = query(h, msg, &rq);
    if (rc == ORIN_ERR_NO_KEY) {
        copyDefault(def, buffer, size);
        return rc;
    }
    if (rc && rc != ORIN_ERR_BUFFER_TOO_SMALL)
        return rc;
    n = minOf(rq.length, size - 1);
    if (msg != PRF_CMD_READ)
        n = (ULONG)strnlen(buffer, n);
    buffer[n] = 0;
    resultToAnsi(h, msg, buffer, n);
    return rc;
}

USHORT ORINAPI PrfQueryProfileString(HPRF h, const char *section, const char *key,
                                     const char *defaultValue, char *buffer, ULONG size) noexcept
{
    return queryString(h, section, key, defaultValue, buffer, size);
}

/* Reads at most 19 characters of a value as decimal text. */
static USHORT queryNumber(HPRF h, const char *section, const char *key, char *text)
{
    USHORT rc = queryString(h, section, key, NULL, text, PRF_NUMBER_CHARS + 1);
    return rc == ORIN_ERR_BUFFER_TOO_SMALL ? 0 : rc;
}

USHORT ORINAPI PrfQueryProfileShort(HPRF h, const char *section, const char *key, SHORT *value) noexcept
{
    char text[PRF_NUMBER_BUFFER];
    USHORT rc = value ? queryNumber(h, section, key, text) : ORIN_ERR_INVALID_PARAM;
    if (!rc)
        *value = (SHORT)atoi(text);
    return rc;
}

USHORT ORINAPI PrfQueryProfileUShort(HPRF h, const char *section, const char *key,
                                     USHORT *value) noexcept
{
    char text[PRF_NUMBER_BUFFER];
    USHORT rc = value ? queryNumber(h, section, key, text) : ORIN_ERR_INVALID_PARAM;
    if (!rc)
        *value = (USHORT)atoi(text);
    return rc;
}

USHORT ORINAPI PrfQueryProfileLong(HPRF h, const char *section, const char *key, LONG *value) noexcept
{
    char text[PRF_NUMBER_BUFFER];
    USHORT rc = value ? queryNumber(h, section, key, text) : ORIN_ERR_INVALID_PARAM;
    if (!rc)
        *value = strtol(text, NULL, 10);
    return rc;
}

USHORT ORINAPI PrfQueryProfileULong(HPRF h, const char *section, const char *key, ULONG *value) noexcept
{
    char text[PRF_NUMBER_BUFFER];
    USHORT rc = value ? queryNumber(h, section, key, text) : ORIN_ERR_INVALID_PARAM;
    if (!rc)
        *value = strtoul(text, NULL, 10);
    return rc;
}

/* ---- Writes -------------------------------------------------------------- */

static USHORT sendWrite(HPRF h, PRFCMD msg, const char *section, const char *key,
                        const void *data, ULONG length, ULONG offset, USHORT type)
{
    PRFREQUEST rq;
    USHORT rc = prepare(h, section, key, &rq);
    if (rc)
        return rc;
    if (!rq.section || (!rq.key && msg != PRF_CMD_WRITE))
        return ORIN_ERR_INVALID_NAME;
    rq.data = (void *)data;
    rq.size = data ? length : 0;
    rq.offset = offset;
    rq.offsetMode = msg == PRF_CMD_WRITEOFFSET ? 1 : 0;
    rq.dataType = type;
    return send(h, msg, &rq);
}

USHORT ORINAPI PrfWriteProfileData(HPRF h, const char *section, const char *key,
                                   const void *data, ULONG length) noexcept
{
    return sendWrite(h, PRF_CMD_WRITE, section, key, data, length, 0, PRF_TYPE_BINARY);
}

USHORT ORINAPI PrfWriteProfileDataOffset(HPRF h, const char *section, const char *key,
                                         ULONG offset, const void *data, ULONG length) noexcept
{
    if (!data && length)
        return ORIN_ERR_INVALID_PARAM;
    return sendWrite(h, PRF_CMD_WRITEOFFSET, section, key, data ? data : "", length, offset,
                     PRF_TYPE_BINARY);
}

USHORT ORINAPI PrfSetProfileDataSize(HPRF h, const char *section, const char *key, ULONG size) noexcept
{
    return sendWrite(h, PRF_CMD_SETSIZE, section, key, NULL, 0, size, PRF_TYPE_BINARY);
}

USHORT ORINAPI PrfWriteProfileString(HPRF h, const char *section, const char *key,
                                     const char *value) noexcept
{
    ULONG length = value ? (ULONG)strlen(value) : 0;
    char *oem;
    USHORT rc;

    if (!value || !prfIsValid(h) || !(h->oemMode & PRF_OEM_VALUES) || length == 0)
        return sendWrite(h, PRF_CMD_WRITE, section, key, value, length, 0, PRF_TYPE_STRING);
    oem = (char *)malloc(length + 1);
    if (!oem)
        return ORIN_ERR_NO_MEMORY;
    KnlAnsiToOemBuff(value, oem, length + 1);
    rc = sendWrite(h, PRF_CMD_WRITE, section, key, oem, length, 0, PRF_TYPE_STRING);
    free(oem);
    return rc;
}

static USHORT writeNumber(HPRF h, const char *section, const char *key, const char *fmt,
                          long long value)
{
    char text[PRF_NUMBER_BUFFER];
    snprintf(text, sizeof text, fmt, value);
    return PrfWriteProfileString(h, section, key, text);
}

USHORT ORINAPI PrfWriteProfileShort(HPRF h, const char *section, const char *key, SHORT value) noexcept
{
    return writeNumber(h, section, key, "%lld", value);
}

USHORT ORINAPI PrfWriteProfileUShort(HPRF h, const char *section, const char *key, USHORT value) noexcept
{
    return writeNumber(h, section, key, "%lld", value);
}

USHORT ORINAPI PrfWriteProfileLong(HPRF h, const char *section, const char *key, LONG value) noexcept
{
    return writeNumber(h, section, key, "%lld", value);
}

USHORT ORINAPI PrfWriteProfileULong(HPRF h, const char *section, const char *key, ULONG value) noexcept
{
    return writeNumber(h, section, key, "%lld", value);
}

/* ---- Sections, locks, transactions ---------------------------------------- */

static USHORT sendSection(HPRF h, PRFCMD msg, const char *section)
{
    PRFREQUEST rq;
    USHORT rc = prepare(h, section, NULL, &rq);
    if (rc)
        return rc;
    if (!rq.section)
        return ORIN_ERR_INVALID_NAME;
    return send(h, msg, (void *)rq.section);
}

USHORT ORINAPI PrfCreateSection(HPRF h, const char *section) noexcept
{
    return sendSection(h, PRF_CMD_CREATESECTION, section);
}

USHORT ORINAPI PrfDestroySection(HPRF h, const char *section) noexcept
{
    return sendSection(h, PRF_CMD_DESTROYSECTION, section);
}

USHORT ORINAPI PrfLockSection(HPRF h, const char *section, BOOL create, BOOL lock) noexcept
{
    PRFREQUEST rq;
    USHORT rc = prepare(h, section, NULL, &rq);
    if (rc)
        return rc;
    if (!rq.section)
        return ORIN_ERR_INVALID_NAME;
    rq.offsetMode = (USHORT)((create ? PRF_LOCK_CREATE : 0) | (lock ? PRF_LOCK_SET : 0));
    return send(h, PRF_CMD_LOCKSECTION, &rq);
}

USHORT ORINAPI PrfTransaction(HPRF h, BOOL begin) noexcept
{
    if (!prfIsValid(h))
        return ORIN_ERR_INVALID_HANDLE;
    return send(h, begin ? PRF_CMD_BEGINTRANS : PRF_CMD_ENDTRANS, NULL);
}

USHORT ORINAPI PrfCheckConsistent(HPRF h) noexcept
{
    if (!prfIsValid(h))
        return ORIN_ERR_INVALID_HANDLE;
    return send(h, PRF_CMD_CHECK, NULL);
}

/* ---- Key spelling ------------------------------------------------------- */

/* The spelling PrfQueryProfileKey hands back lives in a buffer of the
 * calling thread, valid until that thread's next call. */
constexpr ULONG PRF_KEY_SPELLING = 256;
static thread_local char prfKeySpelling[PRF_KEY_SPELLING];

static BOOL sameIgnoringCase(const char *a, const char *b, int lengthA)
{
    return CompareStringA(LOCALE_SYSTEM_DEFAULT, NORM_IGNORECASE, a, lengthA, b, -1)
           == CSTR_EQUAL;
}

/* Finds `key` in a '~' list ignoring case and keeps its stored spelling. */
static const char *findSpelling(const char *list, ULONG length, const char *key)
{
    const char *p = list, *end = list + length;
    while (p < end) {
        const char *sep = p;
        while (sep < end && *sep != PRF_LIST_SEPARATOR)
            sep += (knlLeadByte[(BYTE)*sep] && sep + 1 < end) ? 2 : 1;
        if (sameIgnoringCase(p, key, (int)(sep - p))) {
            ULONG n = minOf((ULONG)(sep - p), PRF_KEY_SPELLING - 1);
            memcpy(prfKeySpelling, p, n);
            prfKeySpelling[n] = 0;
            return prfKeySpelling;
        }
        p = sep + 1;
    }
    return NULL;
}

const char *ORINAPI PrfQueryProfileKey(HPRF h, const char *section, const char *key,
                                       BOOL exactOnly) noexcept
{
    ULONG size = 0;
    char *list, *trimmed;
    const char *found = NULL;
    USHORT rc;

    if (!prfIsValid(h) || !section || !*section || !key || !*key
        || !prfNameIsValid(key) || !prfNameIsValid(section))
        return NULL;
    rc = PrfQueryProfileSize(h, section, key, &size);
    if (rc == 0)
        return key;
    if (exactOnly || rc != ORIN_ERR_NO_KEY)
        return NULL;
    if (PrfQueryProfileSize(h, section, NULL, &size) || size < 2)
        return NULL;
    list = (char *)malloc(size + 1);
    trimmed = _strdup(key);
    if (list && trimmed) {
        char *t = trimmed, *e;
        while (*t == ' ')
            t++;
        e = t + strlen(t);
        while (e > t && e[-1] == ' ')
            *--e = 0;
        if (PrfQueryProfileString(h, section, NULL, NULL, list, size + 1) == 0)
            found = findSpelling(list, (ULONG)strlen(list), t);
    }
    free(list);
    free(trimmed);
    return found;
}
