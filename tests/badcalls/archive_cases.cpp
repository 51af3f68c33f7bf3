/*
 * archive_cases.cpp - bad calls to the document archive: archives (Brc),
 * documents and fields (Brd), and the archive's indexes and views.
 */
#include <cstdlib>
#include <string>

#include "badcall.h"
#include "brc.h"
#include "ixd.h"
#include "prf.h"

namespace {

using badcall::addCase;
using badcall::addHandleCases;
using badcall::Table;

constexpr char kArchive[] = "bc_live.arc";
constexpr char kClosedArchive[] = "bc_closed.arc";
constexpr char kSite[] = "SITE";
constexpr char kField[] = "FIELD";

struct Live {
    BrcArchive *archive = nullptr;
    BrdDocument *document = nullptr;
    USHORT number = 0;
};

/* The archive every live case uses, with one document holding one field
 * and one index, and the document kept open. */
const Live &live()
{
    static Live l = [] {
        Live x;
        DeleteFileA(kArchive);
        BrcCreate(nullptr, &x.archive, kArchive, 0);
        BrdDocument *d = nullptr;
        BrdAddDocument(x.archive, &d, kSite, "DOC1", TRUE, FALSE);
        BrdFldSetString(d, kField, "text");
        x.number = BrdGetDocNumber(d);
        BrdCloseDocument(d);
        BrdOpenDocument(x.archive, &x.document, x.number, FALSE);
        BrcArchive *c = nullptr;
        DeleteFileA(kClosedArchive);
        BrcCreate(nullptr, &c, kClosedArchive, 0);
        BrcClose(c);
        return x;
    }();
    return l;
}

BrcArchive *A(void *v) { return static_cast<BrcArchive *>(v); }
BrdDocument *D(void *v) { return static_cast<BrdDocument *>(v); }
bool failed(ULONG rc) { return rc != 0; }

badcall::HandleSource archiveSource()
{
    return {[] {
                BrcArchive *a = nullptr;
                BrcOpen(nullptr, &a, kClosedArchive, 0);
                BrcClose(a);
                return static_cast<void *>(a);
            },
            [] { return static_cast<void *>(live().document); }};
}

badcall::HandleSource documentSource()
{
    return {[] {
                BrdDocument *d = nullptr;
                BrdOpenDocument(live().archive, &d, live().number, FALSE);
                BrdCloseDocument(d);
                return static_cast<void *>(d);
            },
            [] { return static_cast<void *>(live().archive); }};
}

struct Call {
    const char *name;
    bool (*call)(void *);
};

USHORT ORINAPI copySection(void *, HPRF, HPRF, const char *, const char *) { return 0; }
USHORT ORINAPI copyKey(HPRF, HPRF, const char *, const char *, const char *, const char *, ULONG) { return 0; }

const Call archiveCalls[] = {
    {"BrcClose", [](void *h) { return failed(BrcClose(A(h))); }},
    {"BrcSetCorrupt", [](void *h) { return failed(BrcSetCorrupt(A(h), FALSE)); }},
    {"BrcGetPrfHandle", [](void *h) { return BrcGetPrfHandle(A(h)) == nullptr; }},
    {"BrcGetVersion", [](void *h) { USHORT n; return failed(BrcGetVersion(A(h), &n)); }},
    {"BrcGetMaxNrDocs", [](void *h) { USHORT n; return failed(BrcGetMaxNrDocs(A(h), &n)); }},
    {"BrcGetMaxNrIx", [](void *h) { USHORT n; return failed(BrcGetMaxNrIx(A(h), &n)); }},
    {"BrcGetMaxNrViews", [](void *h) { USHORT n; return failed(BrcGetMaxNrViews(A(h), &n)); }},
    {"BrcGetNrDocs", [](void *h) { USHORT n; return failed(BrcGetNrDocs(A(h), &n)); }},
    {"BrcGetNrIx", [](void *h) { USHORT n; return failed(BrcGetNrIx(A(h), &n)); }},
    {"BrcGetNrViews", [](void *h) { USHORT n; return failed(BrcGetNrViews(A(h), &n)); }},
    {"BrcGetNrActiveDocs", [](void *h) { USHORT n; return failed(BrcGetNrActiveDocs(A(h), &n)); }},
    {"BrcQueryDocExist", [](void *h) { return BrcQueryDocExist(A(h), 0) == 0; }},
    {"BrcQueryIxExist", [](void *h) { return BrcQueryIxExist(A(h), 0) == 0; }},
    {"BrcQueryViewExist", [](void *h) { return BrcQueryViewExist(A(h), 0) == 0; }},
    {"BrcGetHeaderInfo", [](void *h) { BrcHeaderInfo i; return failed(BrcGetHeaderInfo(A(h), &i)); }},
    {"BrcGetID", [](void *h) { char b[64]; return failed(BrcGetID(A(h), b, sizeof b)); }},
    {"BrcGetComment", [](void *h) { char b[64]; ULONG n = sizeof b; return failed(BrcGetComment(A(h), b, &n)); }},
    {"BrcSetComment", [](void *h) { return failed(BrcSetComment(A(h), "c")); }},
    {"BrcSetPassword", [](void *h) { return failed(BrcSetPassword(A(h), "pw")); }},
    {"BrcVerifyPassword", [](void *h) { return failed(BrcVerifyPassword(A(h), "pw")); }},
    {"BrcSetBusyFunc", [](void *h) { return BrcSetBusyFunc(A(h), nullptr, 0, 1) == nullptr; }},
    {"BrcLockHeader", [](void *h) { return failed(BrcLockHeader(A(h), TRUE)); }},
    {"BrcOpenTemplate", [](void *h) {
         BrdDocument *d = nullptr;
         return failed(BrcOpenTemplate(A(h), &d)) && d == nullptr;
     }},
    {"BrdAddDocument", [](void *h) {
         BrdDocument *d = nullptr;
         return failed(BrdAddDocument(A(h), &d, kSite, "X", TRUE, FALSE)) && d == nullptr;
     }},
    {"BrdOpenDocument", [](void *h) {
         BrdDocument *d = nullptr;
         return failed(BrdOpenDocument(A(h), &d, 0, FALSE)) && d == nullptr;
     }},
    {"BrcFindDoc", [](void *h) { USHORT n; return failed(BrcFindDoc(A(h), kSite, "DOC1", &n)); }},
    {"BrcFindDocFile", [](void *h) { USHORT n; return failed(BrcFindDocFile(A(h), "x.doc", &n)); }},
    {"BrcIxGetIxDef", [](void *h) {
         BrcIxSegment *s = nullptr;
         USHORT n;
         return failed(BrcIxGetIxDef(A(h), 0, &s, &n)) && s == nullptr;
     }},
    {"BrcIxGetIxDefStr", [](void *h) { char b[64]; return failed(BrcIxGetIxDefStr(A(h), 0, b, sizeof b)); }},
    {"BrcIxFind", [](void *h) {
         BrcIxSegment s = {"FIELD", 8, 0};
         USHORT n;
         return failed(BrcIxFind(A(h), &s, 1, &n));
     }},
    {"BrcIxFindStr", [](void *h) { USHORT n; return failed(BrcIxFindStr(A(h), "FIELD,8", &n)); }},
    {"BrcIxOpen", [](void *h) {
         BrcIxSegment s = {"FIELD", 8, 0};
         BrcIndexEntry *e = nullptr;
         return failed(BrcIxOpen(A(h), &s, 1, &e)) && e == nullptr;
     }},
    {"BrcIxOpenStr", [](void *h) {
         BrcIndexEntry *e = nullptr;
         return failed(BrcIxOpenStr(A(h), "FIELD,8", &e)) && e == nullptr;
     }},
    {"BrcIxOpenNr", [](void *h) {
         BrcIndexEntry *e = nullptr;
         return failed(BrcIxOpenNr(A(h), 0, &e)) && e == nullptr;
     }},
    {"BrcIxClose", [](void *h) { return failed(BrcIxClose(A(h), nullptr)); }},
    {"BrcIxDelete", [](void *h) { return failed(BrcIxDelete(A(h), nullptr)); }},
    {"BrcIxDeleteNr", [](void *h) { return failed(BrcIxDeleteNr(A(h), 0)); }},
    {"BrcIxBuildIx", [](void *h) { return failed(BrcIxBuildIx(A(h), nullptr)); }},
    {"BrcIxQueryKeyFromDocNr", [](void *h) { char b[256]; return failed(BrcIxQueryKeyFromDocNr(A(h), nullptr, 0, b)); }},
    {"BrcIxQueryNrKeys", [](void *h) { return BrcIxQueryNrKeys(A(h), nullptr) == 0; }},
    {"BrcIxFirst", [](void *h) { USHORT n; return failed(BrcIxFirst(A(h), nullptr, &n)); }},
    {"BrcIxLast", [](void *h) { USHORT n; return failed(BrcIxLast(A(h), nullptr, &n)); }},
    {"BrcIxNextPrev", [](void *h) { USHORT n; return failed(BrcIxNextPrev(A(h), nullptr, 0, 1, &n)); }},
    {"BrcIxQueryNumber", [](void *h) { return BrcIxQueryNumber(A(h), nullptr) == 0xFFFF; }},
    {"BrcIxQueryKeyLength", [](void *h) { return BrcIxQueryKeyLength(A(h), nullptr) == 0; }},
    {"BrcOpenHixNr", [](void *h) { PIX ix = nullptr; return failed(BrcOpenHixNr(A(h), 0, &ix)) && ix == nullptr; }},
    {"BrcOpenHixStr", [](void *h) { PIX ix = nullptr; return failed(BrcOpenHixStr(A(h), "FIELD,8", &ix)) && ix == nullptr; }},
    {"BrcVwDefine", [](void *h) { USHORT n; return failed(BrcVwDefine(A(h), "V", "FIELD,8", "FIELD,8", &n)); }},
};

const Call documentCalls[] = {
    {"BrcCloseTemplate", [](void *h) { return failed(BrcCloseTemplate(D(h))); }},
    {"BrcTemplateFldSet", [](void *h) { return failed(BrcTemplateFldSet(D(h), kField, 'S', "x", 2, FALSE)); }},
    {"BrcTemplateFldDelete", [](void *h) { return failed(BrcTemplateFldDelete(D(h), kField)); }},
    {"BrdCloseDocument", [](void *h) { return failed(BrdCloseDocument(D(h))); }},
    {"BrdDeleteDocument", [](void *h) { return failed(BrdDeleteDocument(D(h))); }},
    {"BrdLockDocument", [](void *h) { return failed(BrdLockDocument(D(h), TRUE)); }},
    {"BrdGetPrfHandle", [](void *h) { return BrdGetPrfHandle(D(h)) == nullptr; }},
    {"BrdGetDocNumber", [](void *h) { return BrdGetDocNumber(D(h)) == 0xFFFF; }},
    {"BrdGetHeaderInfo", [](void *h) { BrdHeaderInfo i; return failed(BrdGetHeaderInfo(D(h), &i)); }},
    {"BrdGetAppSite", [](void *h) { char b[64]; return failed(BrdGetAppSite(D(h), b, sizeof b)); }},
    {"BrdGetDocID", [](void *h) { char b[64]; return failed(BrdGetDocID(D(h), b, sizeof b)); }},
    {"BrdGetDTEntrance", [](void *h) { DATETIME dt; return failed(BrdGetDTEntrance(D(h), &dt)); }},
    {"BrdGetActive", [](void *h) { ULONG v; return failed(BrdGetActive(D(h), &v)); }},
    {"BrdGetActiveOnEntrance", [](void *h) { ULONG v; return failed(BrdGetActiveOnEntrance(D(h), &v)); }},
    {"BrdSetActive", [](void *h) { return failed(BrdSetActive(D(h), TRUE)); }},
    {"BrdGetArchive", [](void *h) { ULONG v; return failed(BrdGetArchive(D(h), &v)); }},
    {"BrdGetStatus", [](void *h) { USHORT v; return failed(BrdGetStatus(D(h), kSite, &v)); }},
    {"BrdGetUpdated", [](void *h) { ULONG v; return failed(BrdGetUpdated(D(h), &v)); }},
    {"BrdResetUpdated", [](void *h) { return failed(BrdResetUpdated(D(h))); }},
    {"BrdGetHistory", [](void *h) { char b[64]; ULONG n = sizeof b; return failed(BrdGetHistory(D(h), b, &n)); }},
    {"BrdHistoryPrintf", [](void *h) { return failed(BrdHistoryPrintf(D(h), "%s %d", "x", 1)); }},
    {"BrdSetDocName", [](void *h) { return failed(BrdSetDocName(D(h), "C:\\x.doc")); }},
    {"BrdGetDocName", [](void *h) { char b[300]; return failed(BrdGetDocName(D(h), b, sizeof b)); }},
    {"BrdFindDocName", [](void *h) { return failed(BrdFindDocName(D(h))); }},
    {"BrdSetGroupDocName", [](void *h) { return failed(BrdSetGroupDocName(D(h), 1, "C:\\x.doc")); }},
    {"BrdGetNrFields", [](void *h) { USHORT n; return failed(BrdGetNrFields(D(h), &n)); }},
    {"BrdFldGetName", [](void *h) { char b[64]; return failed(BrdFldGetName(D(h), 0, b, sizeof b)); }},
    {"BrdFldQueryExist", [](void *h) { return BrdFldQueryExist(D(h), kField) == 0; }},
    {"BrdFindField", [](void *h) { USHORT t; return failed(BrdFindField(D(h), kField, 'S', &t)); }},
    {"BrdFldGetInfo", [](void *h) { PRFFLDINFO i; return failed(BrdFldGetInfo(D(h), kField, &i)); }},
    {"BrdFldGetType", [](void *h) { USHORT t; return failed(BrdFldGetType(D(h), kField, &t)); }},
    {"BrdFldGetSize", [](void *h) { ULONG n; return failed(BrdFldGetSize(D(h), kField, &n)); }},
    {"BrdFldGetUpdated", [](void *h) { USHORT n; return failed(BrdFldGetUpdated(D(h), kField, &n)); }},
    {"BrdFldGetCompressed", [](void *h) { USHORT n; return failed(BrdFldGetCompressed(D(h), kField, &n)); }},
    {"BrdFldGetAttrib", [](void *h) { USHORT n; return failed(BrdFldGetAttrib(D(h), kField, &n)); }},
    {"BrdFldGetDTCreate", [](void *h) { DATETIME dt; return failed(BrdFldGetDTCreate(D(h), kField, &dt)); }},
    {"BrdFldGetDTUpdate", [](void *h) { DATETIME dt; return failed(BrdFldGetDTUpdate(D(h), kField, &dt)); }},
    {"BrdFldSetAttrib", [](void *h) { return failed(BrdFldSetAttrib(D(h), kField, 1)); }},
    {"BrdFldGetString", [](void *h) { char b[64]; return failed(BrdFldGetString(D(h), kField, b, sizeof b)); }},
    {"BrdFldSet", [](void *h) { return failed(BrdFldSet(D(h), kField, 'S', "x", 2, FALSE)); }},
    {"BrdFldSetString", [](void *h) { return failed(BrdFldSetString(D(h), kField, "x")); }},
    {"BrdFldSetData", [](void *h) { return failed(BrdFldSetData(D(h), kField, "x", 1)); }},
    {"BrdFldDelete", [](void *h) { return failed(BrdFldDelete(D(h), kField)); }},
    {"BrdFldCompare", [](void *h) { USHORT r; return failed(BrdFldCompare(D(h), kField, "x", 1, 0, &r)); }},
    {"BrdFldCompareWithDisk", [](void *h) { USHORT r; return failed(BrdFldCompareWithDisk(D(h), kField, "bc_beside.dat", 0, &r)); }},
    {"BrdFldCopyToDisk", [](void *h) { return failed(BrdFldCopyToDisk(D(h), kField, "bc_fldout.dat", FALSE)); }},
    {"BrdFldCopyFromDisk", [](void *h) { return failed(BrdFldCopyFromDisk(D(h), kField, "bc_beside.dat", FALSE)); }},
    {"BrdFldGetVbf", [](void *h) { HVBF f = nullptr; return failed(BrdFldGetVbf(D(h), kField, FALSE, FALSE, &f)) && f == nullptr; }},
    {"BrdSetMemos", [](void *h) { return failed(BrdSetMemos(D(h), live().document ? BrcGetPrfHandle(live().archive) : nullptr, copySection, nullptr, "M")); }},
    {"BrdGetMemos", [](void *h) { return failed(BrdGetMemos(D(h), BrcGetPrfHandle(live().archive), copySection, nullptr, "M")); }},
    {"BrdSetMemoField", [](void *h) { return failed(BrdSetMemoField(D(h), BrcGetPrfHandle(live().archive), copyKey, "M", "a", "b", 0)); }},
    {"BrdGetMemoField", [](void *h) { return failed(BrdGetMemoField(D(h), BrcGetPrfHandle(live().archive), copyKey, "M", "a", "b")); }},
    {"BrdSetRedlines", [](void *h) { return failed(BrdSetRedlines(D(h), BrcGetPrfHandle(live().archive), copySection, nullptr, "M")); }},
    {"BrdGetRedlines", [](void *h) { return failed(BrdGetRedlines(D(h), BrcGetPrfHandle(live().archive), copySection, nullptr, "M")); }},
    {"BrdSetRedLayer", [](void *h) { return failed(BrdSetRedLayer(D(h), BrcGetPrfHandle(live().archive), copyKey, "M", "a", "b", 0)); }},
    {"BrdGetRedLayer", [](void *h) { return failed(BrdGetRedLayer(D(h), BrcGetPrfHandle(live().archive), copyKey, "M", "a", "b")); }},
    {"BrdDeleteMemos", [](void *h) { return failed(BrdDeleteMemos(D(h))); }},
    {"BrdDeleteRedlines", [](void *h) { return failed(BrdDeleteRedlines(D(h))); }},
    {"BrdFldGetMemoInfo", [](void *h) { PRFFLDINFO i; return failed(BrdFldGetMemoInfo(D(h), kField, &i)); }},
    {"BrdFldSetMemoInfo", [](void *h) { PRFFLDINFO i; PrfFldInfoInit(&i, 'S'); return failed(BrdFldSetMemoInfo(D(h), kField, &i)); }},
    {"BrdFldGetRedLayerInfo", [](void *h) { PRFFLDINFO i; return failed(BrdFldGetRedLayerInfo(D(h), kField, &i)); }},
    {"BrdFldSetRedLayerInfo", [](void *h) { PRFFLDINFO i; PrfFldInfoInit(&i, 'S'); return failed(BrdFldSetRedLayerInfo(D(h), kField, &i)); }},
    {"BrcIxVwQueryKeyFromDoc", [](void *h) {
         BrcIxSegment s = {"FIELD", 8, 0};
         char b[64];
         return failed(BrcIxVwQueryKeyFromDoc(D(h), &s, 1, TRUE, b, sizeof b));
     }},
};

/* Opening and creating, with a null or bad argument at a time. */
void addOpenCases(Table &t)
{
    using Open = USHORT(ORINAPI *)(void *, BrcArchive **, const char *, USHORT);
    struct Named {
        const char *name;
        Open open;
    };
    static const Named opens[] = {
        {"BrcCreate", BrcCreate}, {"BrcCreateArchive", BrcCreateArchive},
        {"BrcOpen", BrcOpen}, {"BrcOpenArchive", BrcOpenArchive},
        {"BrcOpenReadonly", BrcOpenReadonly}, {"BrcOpenArchiveReadonly", BrcOpenArchiveReadonly},
    };
    for (const Named &o : opens) {
        Open open = o.open;
        addCase(t, o.name, "NullOut", [open] { return failed(open(nullptr, nullptr, "bc_new.arc", 0)); });
        addCase(t, o.name, "NullName", [open] {
            BrcArchive *a = nullptr;
            return failed(open(nullptr, &a, nullptr, 0)) && a == nullptr;
        });
        addCase(t, o.name, "AllNull", [open] { return failed(open(nullptr, nullptr, nullptr, 0)); });
        addCase(t, o.name, "NotAnArchive", [open] {
            badcall::makeFile("bc_notarc.arc", 3000);
            BrcArchive *a = nullptr;
            USHORT rc = open(nullptr, &a, "bc_notarc.arc", 0);
            if (rc == 0)
                BrcClose(a);
            return rc != 0 || a != nullptr;  // create may replace it
        });
    }
    using OpenOnVbf = USHORT(ORINAPI *)(void *, BrcArchive **, const char *, USHORT, VBFFUNCS *);
    struct NamedVbf {
        const char *name;
        OpenOnVbf open;
    };
    static const NamedVbf vbfOpens[] = {
        {"BrcCreateOnVbf", BrcCreateOnVbf}, {"BrcCreateArchiveOnVbf", BrcCreateArchiveOnVbf},
        {"BrcOpenOnVbf", BrcOpenOnVbf}, {"BrcOpenArchiveOnVbf", BrcOpenArchiveOnVbf},
        {"BrcOpenReadonlyOnVbf", BrcOpenReadonlyOnVbf},
        {"BrcOpenArchiveReadonlyOnVbf", BrcOpenArchiveReadonlyOnVbf},
    };
    for (const NamedVbf &o : vbfOpens) {
        OpenOnVbf open = o.open;
        addCase(t, o.name, "NullOut", [open] { return failed(open(nullptr, nullptr, "bc_new.arc", 0, nullptr)); });
        addCase(t, o.name, "NullName", [open] {
            BrcArchive *a = nullptr;
            return failed(open(nullptr, &a, nullptr, 0, nullptr)) && a == nullptr;
        });
        addCase(t, o.name, "EmptyTable", [open] {
            VBFFUNCS funcs = {};
            BrcArchive *a = nullptr;
            return failed(open(nullptr, &a, "bc_vbf.arc", 0, &funcs)) && a == nullptr;
        });
    }
    addCase(t, "BrcDelete", "NullName", [] { return failed(BrcDelete(nullptr, nullptr)); });
    addCase(t, "BrcDelete", "MissingFile", [] { return failed(BrcDelete(nullptr, "bc_none.arc")); });
    addCase(t, "BrcPack", "NullName", [] { return failed(BrcPack(nullptr, nullptr, 0)); });
    addCase(t, "BrcPack", "MissingFile", [] { return failed(BrcPack(nullptr, "bc_none.arc", 0)); });
    addCase(t, "BrcGetDateTimeStamp", "ZeroSize", [] {
        char b[4] = {'z', 'z', 'z', 'z'};
        BrcGetDateTimeStamp(nullptr, b, 0);
        return b[0] == 'z';
    });
    addCase(t, "BrcGetDateTimeStamp", "SizeOne", [] {
        char b[4] = {'z', 'z', 'z', 'z'};
        char *r = BrcGetDateTimeStamp(nullptr, b, 1);
        return r != b || (b[0] == '\0' && b[1] == 'z');
    });
}

/* Null outputs and out-of-range numbers on the live archive. */
void addArchiveArgumentCases(Table &t)
{
    auto a = [] { return live().archive; };
    auto nullOut = [&](const char *fn, USHORT (ORINAPI *get)(BrcArchive *, USHORT *)) {
        addCase(t, fn, "NullCount", [=] { return failed(get(a(), nullptr)); });
    };
    nullOut("BrcGetVersion", BrcGetVersion);
    nullOut("BrcGetMaxNrDocs", BrcGetMaxNrDocs);
    nullOut("BrcGetMaxNrIx", BrcGetMaxNrIx);
    nullOut("BrcGetMaxNrViews", BrcGetMaxNrViews);
    nullOut("BrcGetNrDocs", BrcGetNrDocs);
    nullOut("BrcGetNrIx", BrcGetNrIx);
    nullOut("BrcGetNrViews", BrcGetNrViews);
    nullOut("BrcGetNrActiveDocs", BrcGetNrActiveDocs);
    for (USHORT n : {USHORT(0xFFFF), USHORT(0xFFFE)}) {
        std::string tag = "Number" + std::to_string(n);
        addCase(t, "BrcQueryDocExist", tag, [=] { return BrcQueryDocExist(a(), n) == 0; });
        addCase(t, "BrcQueryIxExist", tag, [=] { return BrcQueryIxExist(a(), n) == 0; });
        addCase(t, "BrcQueryViewExist", tag, [=] { return BrcQueryViewExist(a(), n) == 0; });
        addCase(t, "BrdOpenDocument", tag, [=] {
            BrdDocument *d = nullptr;
            return failed(BrdOpenDocument(a(), &d, n, FALSE)) && d == nullptr;
        });
        addCase(t, "BrcIxOpenNr", tag, [=] {
            BrcIndexEntry *e = nullptr;
            return failed(BrcIxOpenNr(a(), n, &e)) && e == nullptr;
        });
        addCase(t, "BrcIxDeleteNr", tag, [=] {
            BrcIxDeleteNr(a(), n);  // nothing there to delete
            return BrcQueryIxExist(a(), n) == 0;
        });
        addCase(t, "BrcIxGetIxDefStr", tag, [=] {
            char b[64];
            return failed(BrcIxGetIxDefStr(a(), n, b, sizeof b));
        });
        addCase(t, "BrcOpenHixNr", tag, [=] {
            PIX ix = nullptr;
            return failed(BrcOpenHixNr(a(), n, &ix)) && ix == nullptr;
        });
    }
    addCase(t, "BrcGetHeaderInfo", "NullInfo", [=] { return failed(BrcGetHeaderInfo(a(), nullptr)); });
    addCase(t, "BrcGetID", "NullBuffer", [=] { return failed(BrcGetID(a(), nullptr, 64)); });
    addCase(t, "BrcGetID", "ZeroSize", [=] {
        char b[4] = {'z', 'z', 'z', 'z'};
        BrcGetID(a(), b, 0);
        return b[0] == 'z';
    });
    addCase(t, "BrcGetComment", "NullSize", [=] {
        char b[16];
        return failed(BrcGetComment(a(), b, nullptr));
    });
    addCase(t, "BrcGetComment", "NullBufferWithSize", [=] {
        ULONG n = 64;
        return failed(BrcGetComment(a(), nullptr, &n));
    });
    addCase(t, "BrcSetComment", "NullText", [=] { return failed(BrcSetComment(a(), nullptr)); });
    addCase(t, "BrcVerifyPassword", "NullPassword", [=] { return failed(BrcVerifyPassword(a(), nullptr)) || true; });
    addCase(t, "BrcOpenTemplate", "NullOut", [=] { return failed(BrcOpenTemplate(a(), nullptr)); });
    addCase(t, "BrdAddDocument", "NullOut", [=] { return failed(BrdAddDocument(a(), nullptr, kSite, "Y", TRUE, FALSE)); });
    for (int which = 0; which < 2; ++which)
        addCase(t, "BrdAddDocument", which ? "NullDocId" : "NullSite", [=] {
            BrdDocument *d = nullptr;
            // An empty name is taken for a missing one: refused, or a document made.
            USHORT rc = BrdAddDocument(a(), &d, which ? kSite : nullptr, which ? nullptr : "Y",
                                       TRUE, FALSE);
            bool ok = rc != 0 ? d == nullptr : d != nullptr;
            if (d != nullptr)
                BrdDeleteDocument(d);
            return ok;
        });
    addCase(t, "BrdOpenDocument", "NullOut", [=] { return failed(BrdOpenDocument(a(), nullptr, live().number, FALSE)); });
    addCase(t, "BrcFindDoc", "NullSite", [=] { USHORT n; BrcFindDoc(a(), nullptr, "DOC1", &n); return true; });
    addCase(t, "BrcFindDoc", "NullNumber", [=] { BrcFindDoc(a(), kSite, "DOC1", nullptr); return true; });
    addCase(t, "BrcFindDocFile", "NullName", [=] { USHORT n; return failed(BrcFindDocFile(a(), nullptr, &n)); });
    addCase(t, "BrcFindDocFile", "NullNumber", [=] { return failed(BrcFindDocFile(a(), "x.doc", nullptr)); });
    addCase(t, "BrcIxGetIxDef", "NullSegments", [=] { USHORT n; return failed(BrcIxGetIxDef(a(), 0, nullptr, &n)); });
    addCase(t, "BrcIxGetIxDef", "NullCount", [=] { BrcIxSegment *s = nullptr; return failed(BrcIxGetIxDef(a(), 0, &s, nullptr)); });
    addCase(t, "BrcIxGetIxDefStr", "NullBuffer", [=] { return failed(BrcIxGetIxDefStr(a(), 0, nullptr, 64)); });
    addCase(t, "BrcIxFind", "NullSegments", [=] { USHORT n; return failed(BrcIxFind(a(), nullptr, 1, &n)); });
    addCase(t, "BrcIxFind", "ZeroCount", [=] {
        BrcIxSegment s = {"FIELD", 8, 0};
        USHORT n;
        return failed(BrcIxFind(a(), &s, 0, &n));
    });
    addCase(t, "BrcIxFind", "NullNumber", [=] {
        BrcIxSegment s = {"FIELD", 8, 0};
        return failed(BrcIxFind(a(), &s, 1, nullptr));
    });
    addCase(t, "BrcIxFindStr", "NullText", [=] { USHORT n; return failed(BrcIxFindStr(a(), nullptr, &n)); });
    addCase(t, "BrcIxFindStr", "NullNumber", [=] { return failed(BrcIxFindStr(a(), "FIELD,8", nullptr)); });
    addCase(t, "BrcIxOpen", "NullSegments", [=] { BrcIndexEntry *e = nullptr; return failed(BrcIxOpen(a(), nullptr, 1, &e)); });
    addCase(t, "BrcIxOpen", "ZeroCount", [=] {
        BrcIxSegment s = {"FIELD", 8, 0};
        BrcIndexEntry *e = nullptr;
        return failed(BrcIxOpen(a(), &s, 0, &e)) && e == nullptr;
    });
    addCase(t, "BrcIxOpen", "NullOut", [=] {
        BrcIxSegment s = {"FIELD", 8, 0};
        return failed(BrcIxOpen(a(), &s, 1, nullptr));
    });
    addCase(t, "BrcIxOpenStr", "NullText", [=] { BrcIndexEntry *e = nullptr; return failed(BrcIxOpenStr(a(), nullptr, &e)); });
    addCase(t, "BrcIxOpenStr", "NullOut", [=] { return failed(BrcIxOpenStr(a(), "FIELD,8", nullptr)); });
    addCase(t, "BrcIxOpenStr", "Garbage", [=] { BrcIndexEntry *e = nullptr; return failed(BrcIxOpenStr(a(), ",,,~~", &e)) && e == nullptr; });
    addCase(t, "BrcIxOpenNr", "NullOut", [=] { return failed(BrcIxOpenNr(a(), 0, nullptr)); });
    addCase(t, "BrcOpenHixNr", "NullOut", [=] { return failed(BrcOpenHixNr(a(), 0, nullptr)); });
    addCase(t, "BrcOpenHixStr", "NullText", [=] { PIX ix = nullptr; return failed(BrcOpenHixStr(a(), nullptr, &ix)); });
    addCase(t, "BrcOpenHixStr", "NullOut", [=] { return failed(BrcOpenHixStr(a(), "FIELD,8", nullptr)); });
    addCase(t, "BrcVwDefine", "NullName", [=] { USHORT n; return failed(BrcVwDefine(a(), nullptr, "FIELD,8", "FIELD,8", &n)); });
    addCase(t, "BrcVwDefine", "NullSort", [=] { USHORT n; return failed(BrcVwDefine(a(), "V", nullptr, "FIELD,8", &n)); });
    addCase(t, "BrcVwDefine", "NullNumber", [=] { return failed(BrcVwDefine(a(), "V2", "FIELD,8", "FIELD,8", nullptr)) || true; });
    // Index entries that were never opened on this archive.
    auto entries = [&](const std::string &arg, BrcIndexEntry *(*entry)()) {
        addCase(t, "BrcIxClose", arg, [=] { return failed(BrcIxClose(a(), entry())); });
        addCase(t, "BrcIxDelete", arg, [=] { return failed(BrcIxDelete(a(), entry())); });
        addCase(t, "BrcIxBuildIx", arg, [=] { return failed(BrcIxBuildIx(a(), entry())); });
        addCase(t, "BrcIxQueryKeyFromDocNr", arg, [=] {
            char b[256];
            return failed(BrcIxQueryKeyFromDocNr(a(), entry(), live().number, b));
        });
        addCase(t, "BrcIxQueryNrKeys", arg, [=] { return BrcIxQueryNrKeys(a(), entry()) == 0; });
        addCase(t, "BrcIxFirst", arg, [=] { USHORT n; return failed(BrcIxFirst(a(), entry(), &n)); });
        addCase(t, "BrcIxLast", arg, [=] { USHORT n; return failed(BrcIxLast(a(), entry(), &n)); });
        addCase(t, "BrcIxNextPrev", arg, [=] { USHORT n; return failed(BrcIxNextPrev(a(), entry(), live().number, 1, &n)); });
        addCase(t, "BrcIxQueryNumber", arg, [=] { return BrcIxQueryNumber(a(), entry()) == 0xFFFF; });
        addCase(t, "BrcIxQueryKeyLength", arg, [=] { return BrcIxQueryKeyLength(a(), entry()) == 0; });
    };
    entries("EntryOne", [] { return reinterpret_cast<BrcIndexEntry *>(1); });
    entries("EntryOnStack", [] {
        static thread_local unsigned char fake[256];
        return reinterpret_cast<BrcIndexEntry *>(fake);
    });
    entries("EntryIsDocument", [] { return reinterpret_cast<BrcIndexEntry *>(live().document); });
    addCase(t, "BrcIxFirst", "NullNumber", [=] { return failed(BrcIxFirst(a(), nullptr, nullptr)); });
    addCase(t, "BrcIxLast", "NullNumber", [=] { return failed(BrcIxLast(a(), nullptr, nullptr)); });
    addCase(t, "BrcIxNextPrev", "NullReached", [=] { return failed(BrcIxNextPrev(a(), nullptr, live().number, 1, nullptr)); });
    addCase(t, "BrcIxQueryKeyFromDocNr", "NullBuffer", [=] { return failed(BrcIxQueryKeyFromDocNr(a(), nullptr, live().number, nullptr)); });
}

/* Null arguments on the live document. */
void addDocumentArgumentCases(Table &t)
{
    auto d = [] { return live().document; };
    addCase(t, "BrdGetHeaderInfo", "NullInfo", [=] { return failed(BrdGetHeaderInfo(d(), nullptr)); });
    addCase(t, "BrdGetAppSite", "NullBuffer", [=] { return failed(BrdGetAppSite(d(), nullptr, 64)); });
    addCase(t, "BrdGetAppSite", "ZeroSize", [=] { char b[4] = {'z'}; BrdGetAppSite(d(), b, 0); return b[0] == 'z'; });
    addCase(t, "BrdGetDocID", "NullBuffer", [=] { return failed(BrdGetDocID(d(), nullptr, 64)); });
    addCase(t, "BrdGetDocID", "ZeroSize", [=] { char b[4] = {'z'}; BrdGetDocID(d(), b, 0); return b[0] == 'z'; });
    addCase(t, "BrdGetDTEntrance", "NullDateTime", [=] { return failed(BrdGetDTEntrance(d(), nullptr)); });
    addCase(t, "BrdGetActive", "NullOut", [=] { return failed(BrdGetActive(d(), nullptr)); });
    addCase(t, "BrdGetActiveOnEntrance", "NullOut", [=] { return failed(BrdGetActiveOnEntrance(d(), nullptr)); });
    addCase(t, "BrdGetArchive", "NullOut", [=] { return failed(BrdGetArchive(d(), nullptr)); });
    addCase(t, "BrdGetStatus", "NullStatus", [=] { return failed(BrdGetStatus(d(), kSite, nullptr)); });
    addCase(t, "BrdGetStatus", "NullSite", [=] { USHORT s; return failed(BrdGetStatus(d(), nullptr, &s)) || true; });
    addCase(t, "BrdGetUpdated", "NullOut", [=] { return failed(BrdGetUpdated(d(), nullptr)); });
    addCase(t, "BrdGetHistory", "NullSize", [=] { char b[16]; return failed(BrdGetHistory(d(), b, nullptr)); });
    addCase(t, "BrdGetHistory", "NullBufferWithSize", [=] { ULONG n = 64; return failed(BrdGetHistory(d(), nullptr, &n)); });
    addCase(t, "BrdHistoryPrintf", "NullFormat", [=] { return failed(BrdHistoryPrintf(d(), nullptr)); });
    addCase(t, "BrdSetDocName", "NullPath", [=] { return failed(BrdSetDocName(d(), nullptr)); });
    addCase(t, "BrdGetDocName", "NullBuffer", [=] { return failed(BrdGetDocName(d(), nullptr, 300)); });
    addCase(t, "BrdSetGroupDocName", "NullPath", [=] { return failed(BrdSetGroupDocName(d(), 1, nullptr)); });
    addCase(t, "BrdSetGroupDocName", "MemberMax", [=] { return failed(BrdSetGroupDocName(d(), 0xFFFF, "C:\\x.doc")) || true; });
    addCase(t, "BrdGetNrFields", "NullCount", [=] { return failed(BrdGetNrFields(d(), nullptr)); });
    addCase(t, "BrdFldGetName", "NullBuffer", [=] { return failed(BrdFldGetName(d(), 0, nullptr, 64)); });
    addCase(t, "BrdFldGetName", "IndexMax", [=] { char b[64]; return failed(BrdFldGetName(d(), 0xFFFF, b, sizeof b)); });
    addCase(t, "BrdFldQueryExist", "NullName", [=] { return BrdFldQueryExist(d(), nullptr) == 0; });
    addCase(t, "BrdFindField", "NullName", [=] { USHORT ty; return failed(BrdFindField(d(), nullptr, 'S', &ty)); });
    addCase(t, "BrdFindField", "NullType", [=] { return failed(BrdFindField(d(), kField, 'S', nullptr)); });
    addCase(t, "BrdFldGetInfo", "NullInfo", [=] { return failed(BrdFldGetInfo(d(), kField, nullptr)); });
    addCase(t, "BrdFldGetInfo", "NullName", [=] { PRFFLDINFO i; return failed(BrdFldGetInfo(d(), nullptr, &i)); });
    addCase(t, "BrdFldGetType", "NullType", [=] { return failed(BrdFldGetType(d(), kField, nullptr)); });
    addCase(t, "BrdFldGetSize", "NullSize", [=] { return failed(BrdFldGetSize(d(), kField, nullptr)); });
    addCase(t, "BrdFldGetUpdated", "NullOut", [=] { return failed(BrdFldGetUpdated(d(), kField, nullptr)); });
    addCase(t, "BrdFldGetCompressed", "NullOut", [=] { return failed(BrdFldGetCompressed(d(), kField, nullptr)); });
    addCase(t, "BrdFldGetAttrib", "NullOut", [=] { return failed(BrdFldGetAttrib(d(), kField, nullptr)); });
    addCase(t, "BrdFldGetDTCreate", "NullOut", [=] { return failed(BrdFldGetDTCreate(d(), kField, nullptr)); });
    addCase(t, "BrdFldGetDTUpdate", "NullOut", [=] { return failed(BrdFldGetDTUpdate(d(), kField, nullptr)); });
    addCase(t, "BrdFldSetAttrib", "NullName", [=] { return failed(BrdFldSetAttrib(d(), nullptr, 1)); });
    addCase(t, "BrdFldGetString", "NullBuffer", [=] { return failed(BrdFldGetString(d(), kField, nullptr, 64)); });
    addCase(t, "BrdFldGetString", "NullName", [=] { char b[64]; return failed(BrdFldGetString(d(), nullptr, b, sizeof b)); });
    addCase(t, "BrdFldSet", "NullName", [=] { return failed(BrdFldSet(d(), nullptr, 'S', "x", 2, FALSE)); });
    addCase(t, "BrdFldSet", "NullValueWithLength", [=] {
        BrdFldSet(d(), "F2", 'S', nullptr, 0xFFFF, FALSE);  // no bytes read through null
        ULONG n = 0;
        return failed(BrdFldGetSize(d(), "F2", &n)) || n == 0;
    });
    addCase(t, "BrdFldSetString", "NullName", [=] { return failed(BrdFldSetString(d(), nullptr, "x")); });
    addCase(t, "BrdFldSetString", "NullText", [=] { return failed(BrdFldSetString(d(), "F3", nullptr)) || true; });
    addCase(t, "BrdFldSetData", "NullName", [=] { return failed(BrdFldSetData(d(), nullptr, "x", 1)); });
    addCase(t, "BrdFldSetData", "NullDataWithLength", [=] { return failed(BrdFldSetData(d(), "F4", nullptr, 0xFFFFFFFF)); });
    addCase(t, "BrdFldDelete", "NullName", [=] { return failed(BrdFldDelete(d(), nullptr)); });
    addCase(t, "BrdFldCompare", "NullResult", [=] { return failed(BrdFldCompare(d(), kField, "x", 1, 0, nullptr)); });
    addCase(t, "BrdFldCompare", "NullValueWithLength", [=] { USHORT r; return failed(BrdFldCompare(d(), kField, nullptr, 64, 0, &r)); });
    addCase(t, "BrdFldCompareWithDisk", "NullPath", [=] { USHORT r; return failed(BrdFldCompareWithDisk(d(), kField, nullptr, 0, &r)); });
    addCase(t, "BrdFldCompareWithDisk", "NullResult", [=] { return failed(BrdFldCompareWithDisk(d(), kField, "bc_beside.dat", 0, nullptr)); });
    addCase(t, "BrdFldCopyToDisk", "NullPath", [=] { return failed(BrdFldCopyToDisk(d(), kField, nullptr, FALSE)); });
    addCase(t, "BrdFldCopyToDisk", "NullName", [=] { return failed(BrdFldCopyToDisk(d(), nullptr, "bc_fldout.dat", FALSE)); });
    addCase(t, "BrdFldCopyFromDisk", "NullPath", [=] { return failed(BrdFldCopyFromDisk(d(), kField, nullptr, FALSE)); });
    addCase(t, "BrdFldCopyFromDisk", "MissingFile", [=] { return failed(BrdFldCopyFromDisk(d(), "F5", "bc_none.dat", FALSE)); });
    addCase(t, "BrdFldGetVbf", "NullOut", [=] { return failed(BrdFldGetVbf(d(), kField, FALSE, FALSE, nullptr)); });
    addCase(t, "BrdFldGetVbf", "NullName", [=] { HVBF f = nullptr; return failed(BrdFldGetVbf(d(), nullptr, FALSE, FALSE, &f)) && f == nullptr; });
    addCase(t, "BrdSetMemos", "NullProfile", [=] { (void)BrdSetMemos(d(), nullptr, copySection, nullptr, "M"); return true; });
    addCase(t, "BrdSetMemos", "NullCopy", [=] { (void)BrdSetMemos(d(), BrcGetPrfHandle(live().archive), nullptr, nullptr, "M"); return true; });
    addCase(t, "BrdGetMemos", "NullProfile", [=] { (void)BrdGetMemos(d(), nullptr, copySection, nullptr, "M"); return true; });
    addCase(t, "BrdGetMemos", "NullCopy", [=] { (void)BrdGetMemos(d(), BrcGetPrfHandle(live().archive), nullptr, nullptr, "M"); return true; });
    addCase(t, "BrdSetMemoField", "NullCopy", [=] { (void)BrdSetMemoField(d(), BrcGetPrfHandle(live().archive), nullptr, "M", "a", "b", 0); return true; });
    addCase(t, "BrdGetMemoField", "NullCopy", [=] { (void)BrdGetMemoField(d(), BrcGetPrfHandle(live().archive), nullptr, "M", "a", "b"); return true; });
    addCase(t, "BrdSetRedlines", "NullCopy", [=] { (void)BrdSetRedlines(d(), BrcGetPrfHandle(live().archive), nullptr, nullptr, "M"); return true; });
    addCase(t, "BrdGetRedlines", "NullCopy", [=] { (void)BrdGetRedlines(d(), BrcGetPrfHandle(live().archive), nullptr, nullptr, "M"); return true; });
    addCase(t, "BrdSetRedLayer", "NullCopy", [=] { (void)BrdSetRedLayer(d(), BrcGetPrfHandle(live().archive), nullptr, "M", "a", "b", 0); return true; });
    addCase(t, "BrdGetRedLayer", "NullCopy", [=] { (void)BrdGetRedLayer(d(), BrcGetPrfHandle(live().archive), nullptr, "M", "a", "b"); return true; });
    addCase(t, "BrdFldGetMemoInfo", "NullInfo", [=] { return failed(BrdFldGetMemoInfo(d(), kField, nullptr)); });
    addCase(t, "BrdFldSetMemoInfo", "NullInfo", [=] { return failed(BrdFldSetMemoInfo(d(), kField, nullptr)); });
    addCase(t, "BrdFldGetRedLayerInfo", "NullInfo", [=] { return failed(BrdFldGetRedLayerInfo(d(), kField, nullptr)); });
    addCase(t, "BrdFldSetRedLayerInfo", "NullInfo", [=] { return failed(BrdFldSetRedLayerInfo(d(), kField, nullptr)); });
    addCase(t, "BrcIxVwQueryKeyFromDoc", "NullSegments", [=] { char b[64]; return failed(BrcIxVwQueryKeyFromDoc(d(), nullptr, 1, TRUE, b, sizeof b)); });
    addCase(t, "BrcIxVwQueryKeyFromDoc", "NullBuffer", [=] {
        BrcIxSegment s = {"FIELD", 8, 0};
        return failed(BrcIxVwQueryKeyFromDoc(d(), &s, 1, TRUE, nullptr, 64));
    });
    addCase(t, "BrcIxVwQueryKeyFromDoc", "ShortBuffer", [=] {
        BrcIxSegment s = {"FIELD", 8, 0};
        char b[4] = {'z', 'z', 'z', 'z'};
        BrcIxVwQueryKeyFromDoc(d(), &s, 1, TRUE, b, 1);
        return b[1] == 'z';  // never past the buffer
    });
    addCase(t, "BrcTemplateFldSet", "NullName", [=] {
        BrdDocument *tp = nullptr;
        BrcOpenTemplate(live().archive, &tp);
        bool ok = failed(BrcTemplateFldSet(tp, nullptr, 'S', "x", 2, FALSE));
        BrcCloseTemplate(tp);
        return ok;
    });
    addCase(t, "BrcTemplateFldDelete", "NullName", [=] {
        BrdDocument *tp = nullptr;
        BrcOpenTemplate(live().archive, &tp);
        bool ok = failed(BrcTemplateFldDelete(tp, nullptr));
        BrcCloseTemplate(tp);
        return ok;
    });
}

Table brcTable()
{
    Table t;
    live();
    auto src = archiveSource();
    for (const Call &c : archiveCalls)
        addHandleCases(t, c.name, src, c.call);
    addOpenCases(t);
    addArchiveArgumentCases(t);
    return t;
}

Table brdTable()
{
    Table t;
    live();
    auto src = documentSource();
    for (const Call &c : documentCalls)
        addHandleCases(t, c.name, src, c.call);
    addDocumentArgumentCases(t);
    return t;
}

}  // namespace

BADCALL_SUITE(Brc, brcTable);
BADCALL_SUITE(Brd, brdTable);
