/*
 * ocixd.h - OcIxd: an object over one Ixd index handle.
 *
 * Each member forwards to the Ixd call of the same meaning and keeps its
 * error code; members that act return non-zero for success, queries return
 * their value (0 on failure).  Ok() is true when the last call left no
 * error.  A handle still open is closed by the destructor.  An object owns
 * its handle alone: it cannot be copied, only moved, which leaves the
 * source with no index open.
 */
#ifndef OCIXD_H
#define OCIXD_H

#include "ixd.h"

#ifdef __cplusplus

class ORIN_CLASS OcIxd {
public:
    OcIxd();
    virtual ~OcIxd();
    OcIxd(const OcIxd &) = delete;
    OcIxd &operator=(const OcIxd &) = delete;
    OcIxd(OcIxd &&other) noexcept;
    OcIxd &operator=(OcIxd &&other) noexcept;

    int Open(const char *name, USHORT keyLength, ULONG shared, VBFFUNCS *funcs = NULL);
    int Create(const char *name, USHORT keyLength, USHORT nodeSize, ULONG userAreaSize,
               ULONG shared, VBFFUNCS *funcs = NULL);
    void Attach(PIX ix);
    int Close();

    int Enter(const void *key, ULONG record);
    int Remove(const void *key, ULONG record);
    int Retrieve(const void *key, ULONG record);
    int Search(const void *key, void *outKey, ULONG *record);
    int SearchBack(const void *key, void *outKey, ULONG *record);
    int SearchID(const void *key, ULONG record, void *outKey, ULONG *outRecord);
    int First(void *outKey, ULONG *record);
    int Last(void *outKey, ULONG *record);
    int Next(void *outKey, ULONG *record);
    int Prev(void *outKey, ULONG *record);
    int Skip(SHORT count, void *outKey, ULONG *record);

    ULONG  QueryNrKeys();
    ULONG  QueryNrRecords(const char *prefix);
    int    QueryTreeChanged();
    USHORT QueryTreeVersion();
    USHORT QueryKeyBufLength();
    USHORT QueryKeyLength(const char *fileName = NULL);

    int   Ok() const { return m_lastError == 0; }
    ULONG LastError() const { return m_lastError; }
    ULONG GetLastError() const { return m_lastError; }
    PIX   Handle() const { return m_ix; }

protected:
    int Result(USHORT rc);
    int NotOpen();

    PIX   m_ix;
    ULONG m_lastError;
};

#endif /* __cplusplus */

#endif /* OCIXD_H */
