/*
 * ixd_cases.cpp - bad calls to the index files (Ixd).  A failed call
 * answers IXD_FAILED and stores its error through the last argument.
 */
#include <string>

#include "badcall.h"
#include "ixd.h"
#include "prf.h"

namespace {

using badcall::addCase;
using badcall::addHandleCases;
using badcall::Table;

constexpr char kIndex[] = "bc_live.ix";
constexpr USHORT kKeyLength = 8;
constexpr ULONG kUserSize = 32;
constexpr char kKey[kKeyLength + 1] = "KEY00001";

/* Another family's live handle: a profile, kept open for the run. */
void *liveProfileHandle()
{
    static HPRF h = [] {
        HPRF p = nullptr;
        PrfOpenProfile(nullptr, &p, "bc_ixforeign.prf", 0);
        return p;
    }();
    return h;
}

PIX makeIndex(const char *name)
{
    ULONG err = 0;
    PIX ix = IxdCreate(name, kKeyLength, 0, 0, kUserSize, nullptr, &err);
    if (ix != nullptr)
        IxdEnter(ix, kKey, 1, &err);
    return ix;
}

PIX X(void *v) { return static_cast<PIX>(v); }

/* Refused with the family's failure value and an error code. */
bool refused(USHORT rc, const ULONG &err) { return rc == IXD_FAILED && err != 0; }

void addHandleTable(Table &t)
{
    badcall::HandleSource src = {[] {
                                     PIX ix = makeIndex("bc_closed.ix");
                                     IxdClose(ix);
                                     return static_cast<void *>(ix);
                                 },
                                 // A profile handle must not be taken for another
                                 // implementation's index and read through.
                                 liveProfileHandle};
    struct Call {
        const char *name;
        bool (*call)(void *);
    };
    static const Call calls[] = {
        {"IxdClose", [](void *h) { IxdClose(X(h)); return true; }},
        {"IxdEnter", [](void *h) { ULONG e = 0; return refused(IxdEnter(X(h), kKey, 2, &e), e); }},
        {"IxdRemove", [](void *h) { ULONG e = 0; return refused(IxdRemove(X(h), kKey, 1, &e), e); }},
        {"IxdRemoveKey", [](void *h) {
             char k[kKeyLength + 4] = {};
             ULONG e = 0;
             return refused(IxdRemoveKey(X(h), k, &e), e);
         }},
        {"IxdSearch", [](void *h) {
             char k[kKeyLength + 4];
             ULONG r, e = 0;
             return refused(IxdSearch(X(h), kKey, k, &r, &e), e);
         }},
        {"IxdSearchID", [](void *h) {
             char k[kKeyLength + 4];
             ULONG r, e = 0;
             return refused(IxdSearchID(X(h), kKey, 1, k, &r, &e), e);
         }},
        {"IxdSearchBack", [](void *h) {
             char k[kKeyLength + 4];
             ULONG r, e = 0;
             return refused(IxdSearchBack(X(h), kKey, k, &r, &e), e);
         }},
        {"IxdRetrieve", [](void *h) { ULONG e = 0; return refused(IxdRetrieve(X(h), kKey, 1, &e), e); }},
        {"IxdFirst", [](void *h) { ULONG r, e = 0; return refused(IxdFirst(X(h), nullptr, &r, &e), e); }},
        {"IxdLast", [](void *h) { ULONG r, e = 0; return refused(IxdLast(X(h), nullptr, &r, &e), e); }},
        {"IxdNext", [](void *h) { ULONG r, e = 0; return refused(IxdNext(X(h), nullptr, &r, &e), e); }},
        {"IxdPrev", [](void *h) { ULONG r, e = 0; return refused(IxdPrev(X(h), nullptr, &r, &e), e); }},
        {"IxdSkipkey", [](void *h) { ULONG r, e = 0; return refused(IxdSkipkey(X(h), 1, nullptr, &r, &e), e); }},
        {"IxdGetNrRecords", [](void *h) { ULONG n = 0; return IxdGetNrRecords(X(h), "K", &n) == IXD_FAILED; }},
        {"IxdQueryNrKeys", [](void *h) { ULONG n, e = 0; return refused(IxdQueryNrKeys(X(h), &n, &e), e); }},
        {"IxdQueryTreeChanged", [](void *h) { ULONG n, e = 0; return refused(IxdQueryTreeChanged(X(h), &n, &e), e); }},
        {"IxdQueryTreeVersion", [](void *h) { USHORT n; ULONG e = 0; return refused(IxdQueryTreeVersion(X(h), &n, &e), e); }},
        {"IxdQueryKeyBufLength", [](void *h) { return IxdQueryKeyBufLength(X(h)) == 0; }},
        {"IxdQueryKeyLength", [](void *h) { return IxdQueryKeyLength(X(h)) == 0; }},
        {"IxdQueryCurrentKey", [](void *h) {
             char k[kKeyLength + 4];
             return IxdQueryCurrentKey(X(h), k, sizeof k) == IXD_FAILED;
         }},
        {"IxdChandeIndexMode", [](void *h) { return IxdChandeIndexMode(X(h), 1, 10) == IXD_FAILED; }},
        {"IxdQueryPerformanceCounter", [](void *h) { IxdQueryPerformanceCounter(X(h), 15, 1); return true; }},
        {"IxdUserSetPos", [](void *h) { ULONG p, e = 0; return refused(IxdUserSetPos(X(h), 0, IXD_USER_BEGIN, &p, &e), e); }},
        {"IxdUserRead", [](void *h) {
             char b[8];
             ULONG n, e = 0;
             return refused(IxdUserRead(X(h), b, sizeof b, &n, &e), e);
         }},
        {"IxdUserWrite", [](void *h) { ULONG n, e = 0; return refused(IxdUserWrite(X(h), "ab", 2, &n, &e), e); }},
        {"IxdUserQuerySize", [](void *h) { return IxdUserQuerySize(X(h)) == 0; }},
    };
    for (const Call &c : calls)
        addHandleCases(t, c.name, src, c.call);
}

void addArgumentTable(Table &t)
{
    auto live = [](auto call) {
        return [=] {
            PIX ix = makeIndex(kIndex);
            bool ok = ix != nullptr && call(ix);
            IxdClose(ix);
            return ok;
        };
    };
    addCase(t, "IxdCreate", "NullName", [] {
        ULONG e = 0;
        return IxdCreate(nullptr, kKeyLength, 0, 0, 0, nullptr, &e) == nullptr && e != 0;
    });
    addCase(t, "IxdCreate", "NullError", [] { return IxdCreate(nullptr, kKeyLength, 0, 0, 0, nullptr, nullptr) == nullptr; });
    for (USHORT len : {USHORT(0), USHORT(0xFFFF)})
        addCase(t, "IxdCreate", "KeyLength" + std::to_string(len), [len] {
            ULONG e = 0;
            PIX ix = IxdCreate("bc_bad.ix", len, 0, 0, 0, nullptr, &e);
            IxdClose(ix);
            return len == 0 || (ix == nullptr && e != 0);  // a key may be the record alone
        });
    addCase(t, "IxdCreate", "NodeSizeOne", [] {
        ULONG e = 0;
        return IxdCreate("bc_bad.ix", kKeyLength, 0, 1, 0, nullptr, &e) == nullptr && e != 0;
    });
    addCase(t, "IxdCreate", "UserArea4G", [] {
        ULONG e = 0;
        PIX ix = IxdCreate("bc_bad.ix", kKeyLength, 0, 0, 0xFFFFFFFF, nullptr, &e);
        IxdClose(ix);
        return ix == nullptr && e != 0;
    });
    addCase(t, "IxdCreate", "EmptyTable", [] {
        VBFFUNCS funcs = {};
        ULONG e = 0;
        return IxdCreate("bc_bad.ix", kKeyLength, 0, 0, 0, &funcs, &e) == nullptr && e != 0;
    });
    addCase(t, "IxdOpen", "NullName", [] {
        ULONG e = 0;
        return IxdOpen(nullptr, kKeyLength, 0, nullptr, &e) == nullptr && e != 0;
    });
    addCase(t, "IxdOpen", "WrongKeyLength", live([](PIX) {
        ULONG e = 0;
        PIX other = IxdOpen(kIndex, kKeyLength + 1, 0, nullptr, &e);
        IxdClose(other);
        return other == nullptr && e != 0;
    }));
    addCase(t, "IxdOpen", "NotAnIndex", [] {
        badcall::makeFile("bc_notix.ix", 5000);
        ULONG e = 0;
        return IxdOpen("bc_notix.ix", 0, 0, nullptr, &e) == nullptr && e != 0;
    });
    addCase(t, "IxdQueryKeySize", "NullName", [] {
        ULONG e = 0;
        IxdQueryKeySize(nullptr, &e);
        return e != 0;
    });
    addCase(t, "IxdQueryKeySize", "AllNull", [] { IxdQueryKeySize(nullptr, nullptr); return true; });
    addCase(t, "IxdEnter", "NullKey", live([](PIX ix) { ULONG e = 0; return refused(IxdEnter(ix, nullptr, 2, &e), e); }));
    addCase(t, "IxdEnter", "NullError", live([](PIX ix) { return IxdEnter(ix, nullptr, 2, nullptr) == IXD_FAILED; }));
    addCase(t, "IxdRemove", "NullKey", live([](PIX ix) { ULONG e = 0; return refused(IxdRemove(ix, nullptr, 1, &e), e); }));
    addCase(t, "IxdRemoveKey", "NullKey", live([](PIX ix) { ULONG e = 0; return refused(IxdRemoveKey(ix, nullptr, &e), e); }));
    addCase(t, "IxdSearch", "NullKey", live([](PIX ix) { ULONG r, e = 0; return refused(IxdSearch(ix, nullptr, nullptr, &r, &e), e); }));
    addCase(t, "IxdSearch", "NullRecord", live([](PIX ix) {
        ULONG e = 0;
        (void)(refused(IxdSearch(ix, kKey, nullptr, nullptr, &e), e)); return true;  /* optional output */
    }));
    addCase(t, "IxdSearchID", "NullKey", live([](PIX ix) { ULONG r, e = 0; return refused(IxdSearchID(ix, nullptr, 1, nullptr, &r, &e), e); }));
    addCase(t, "IxdSearchID", "NullRecord", live([](PIX ix) {
        ULONG e = 0;
        (void)(refused(IxdSearchID(ix, kKey, 1, nullptr, nullptr, &e), e)); return true;  /* optional output */
    }));
    addCase(t, "IxdSearchBack", "NullKey", live([](PIX ix) { ULONG r, e = 0; return refused(IxdSearchBack(ix, nullptr, nullptr, &r, &e), e); }));
    addCase(t, "IxdSearchBack", "NullRecord", live([](PIX ix) {
        ULONG e = 0;
        (void)(refused(IxdSearchBack(ix, kKey, nullptr, nullptr, &e), e)); return true;  /* optional output */
    }));
    addCase(t, "IxdRetrieve", "NullKey", live([](PIX ix) { ULONG e = 0; return refused(IxdRetrieve(ix, nullptr, 1, &e), e); }));
    addCase(t, "IxdFirst", "NullRecord", live([](PIX ix) { ULONG e = 0; (void)(refused(IxdFirst(ix, nullptr, nullptr, &e), e)); return true;  /* optional output */ }));
    addCase(t, "IxdLast", "NullRecord", live([](PIX ix) { ULONG e = 0; (void)(refused(IxdLast(ix, nullptr, nullptr, &e), e)); return true;  /* optional output */ }));
    addCase(t, "IxdNext", "NullRecord", live([](PIX ix) { ULONG e = 0; return refused(IxdNext(ix, nullptr, nullptr, &e), e); }));
    addCase(t, "IxdPrev", "NullRecord", live([](PIX ix) { ULONG e = 0; return refused(IxdPrev(ix, nullptr, nullptr, &e), e); }));
    addCase(t, "IxdSkipkey", "NullRecord", live([](PIX ix) { ULONG e = 0; return refused(IxdSkipkey(ix, 1, nullptr, nullptr, &e), e); }));
    for (SHORT n : {SHORT(0x7FFF), SHORT(-0x8000)})
        addCase(t, "IxdSkipkey", "Count" + std::to_string(n < 0 ? -n : n) + (n < 0 ? "Back" : "Ahead"), live([n](PIX ix) {
            ULONG r, e = 0;
            IxdFirst(ix, nullptr, &r, &e);
            return refused(IxdSkipkey(ix, n, nullptr, &r, &e), e);
        }));
    addCase(t, "IxdGetNrRecords", "NullCount", live([](PIX ix) { (void)(IxdGetNrRecords(ix, "K", nullptr) == IXD_FAILED); return true;  /* optional output */ }));
    addCase(t, "IxdQueryNrKeys", "NullCount", live([](PIX ix) { ULONG e = 0; (void)(refused(IxdQueryNrKeys(ix, nullptr, &e), e)); return true;  /* optional output */ }));
    addCase(t, "IxdQueryTreeChanged", "NullChanged", live([](PIX ix) { ULONG e = 0; (void)(refused(IxdQueryTreeChanged(ix, nullptr, &e), e)); return true;  /* optional output */ }));
    addCase(t, "IxdQueryTreeVersion", "NullVersion", live([](PIX ix) { ULONG e = 0; (void)(refused(IxdQueryTreeVersion(ix, nullptr, &e), e)); return true;  /* optional output */ }));
    addCase(t, "IxdQueryCurrentKey", "NullBuffer", live([](PIX ix) {
        ULONG r, e;
        IxdFirst(ix, nullptr, &r, &e);
        return IxdQueryCurrentKey(ix, nullptr, 64) == IXD_FAILED;
    }));
    addCase(t, "IxdQueryCurrentKey", "SizeOne", live([](PIX ix) {
        ULONG r, e;
        IxdFirst(ix, nullptr, &r, &e);
        char b[4] = {'z', 'z', 'z', 'z'};
        IxdQueryCurrentKey(ix, b, 1);
        return b[1] == 'z';  // never past the buffer
    }));
    addCase(t, "IxdUserSetPos", "BadMethod", live([](PIX ix) { ULONG p, e = 0; return refused(IxdUserSetPos(ix, 0, 0xFFFFFFFF, &p, &e), e); }));
    addCase(t, "IxdUserSetPos", "Beyond", live([](PIX ix) { ULONG p, e = 0; return refused(IxdUserSetPos(ix, 0x7FFFFFFF, IXD_USER_BEGIN, &p, &e), e); }));
    addCase(t, "IxdUserSetPos", "BeforeStart", live([](PIX ix) { ULONG p, e = 0; return refused(IxdUserSetPos(ix, -1, IXD_USER_BEGIN, &p, &e), e); }));
    addCase(t, "IxdUserRead", "NullBuffer", live([](PIX ix) { ULONG n, e = 0; return refused(IxdUserRead(ix, nullptr, 8, &n, &e), e); }));
    addCase(t, "IxdUserRead", "Count4G", live([](PIX ix) {
        char b[kUserSize];
        ULONG n = 0, e = 0;
        USHORT rc = IxdUserRead(ix, b, 0xFFFFFFFF, &n, &e);
        return refused(rc, e) || n <= kUserSize;  // never past the area
    }));
    addCase(t, "IxdUserWrite", "NullBuffer", live([](PIX ix) { ULONG n, e = 0; return refused(IxdUserWrite(ix, nullptr, 8, &n, &e), e); }));
    addCase(t, "IxdUserWrite", "Count64K", live([](PIX ix) {
        std::string big(0xFFFF, 'w');
        ULONG n = 0, e = 0;
        USHORT rc = IxdUserWrite(ix, big.data(), 0xFFFF, &n, &e);
        return refused(rc, e) || n <= kUserSize;
    }));
}

Table ixdTable()
{
    Table t;
    addHandleTable(t);
    addArgumentTable(t);
    return t;
}

}  // namespace

BADCALL_SUITE(Ixd, ixdTable);
