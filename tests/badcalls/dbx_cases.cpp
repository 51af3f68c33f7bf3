/*
 * dbx_cases.cpp - bad calls to the table engine (Dbx): its exports and the
 * slots of the built-in engine table.  A slot given a table the engine
 * does not hold answers its failure value (DBX_FAILED, 0 or DBX_NO_RECORD
 * by the slot's kind) and leaves the table alone.
 */
#include <cstring>
#include <string>

#include "badcall.h"
#include "dbx.h"

namespace {

using badcall::addCase;
using badcall::addHandleCases;
using badcall::Table;

constexpr char kTable[] = "bc_live";

PDBXGROUP makeTable(const char *name)
{
    DBXFIELDDES f{};
    std::strcpy(f.name, "NAME");
    f.type = 'C';
    f.length = 8;
    ULONG err = 0;
    DbxGetVtbl()->FileOp(DBX_FILE_DELETE, name, nullptr, 0);
    return DbxGetVtbl()->Create(name, &f, 1, 0, 1, &err);
}

PDBXGROUP G(void *v) { return static_cast<PDBXGROUP>(v); }

void addHandleTable(Table &t)
{
    badcall::HandleSource src = {[] {
                                     PDBXGROUP g = makeTable("bc_closed");
                                     DbxGetVtbl()->Close(g);
                                     return static_cast<void *>(g);
                                 },
                                 nullptr};
    struct Call {
        const char *name;
        bool (*call)(void *);
    };
    static const Call calls[] = {
        {"DbxGetSequenceNr", [](void *h) { return DbxGetSequenceNr(G(h), 1, nullptr, 0) == 0; }},
        {"DbxQueryPerformanceCounter", [](void *h) { return DbxQueryPerformanceCounter(G(h), 15, 1) == 0; }},
        {"DbxClose", [](void *h) { return DbxGetVtbl()->Close(G(h)) == DBX_FAILED; }},
        {"DbxRead", [](void *h) { return DbxGetVtbl()->Read(G(h), 1, 1) == DBX_FAILED; }},
        {"DbxWriteCmd", [](void *h) { return DbxGetVtbl()->WriteCmd(G(h), 1, 1) == DBX_FAILED; }},
        {"DbxAppend", [](void *h) { return DbxGetVtbl()->Append(G(h), 0) == DBX_NO_RECORD; }},
        {"DbxFirstRec", [](void *h) { return DbxGetVtbl()->FirstRec(G(h), nullptr) == DBX_NO_RECORD; }},
        {"DbxNextRec", [](void *h) { return DbxGetVtbl()->NextRec(G(h), nullptr) == 0; }},
        {"DbxAttachIndex", [](void *h) {
             const char *f[] = {"NAME"};
             ULONG e = 0;
             return DbxGetVtbl()->AttachIndex(G(h), 0, nullptr, f, 1, 3, 0, &e) == nullptr;
         }},
        {"DbxSetField", [](void *h) { return DbxGetVtbl()->SetField(G(h), nullptr, "x", 1) == DBX_FAILED; }},
        {"DbxQueryBuffer", [](void *h) { return DbxGetVtbl()->QueryBuffer(G(h)) == nullptr; }},
        {"DbxDeleteRecord", [](void *h) { return DbxGetVtbl()->DeleteRecord(G(h), 1, 1, 0) == DBX_FAILED; }},
        {"DbxCheckUnique", [](void *h) {
             ULONG e = 0;
             return DbxGetVtbl()->CheckUnique(G(h), 1, 0, nullptr, nullptr, 0, &e) == DBX_FAILED;
         }},
    };
    for (const auto &c : calls)
        addHandleCases(t, c.name, src, c.call);
}

/* A call on the live table; the table is closed again afterwards. */
std::function<bool()> live(bool (*call)(PDBXGROUP))
{
    return [call] {
        PDBXGROUP g = makeTable(kTable);
        bool ok = g != nullptr && call(g);
        DbxGetVtbl()->Close(g);
        return ok;
    };
}

void addArgumentTable(Table &t)
{
    addCase(t, "DbxOpen", "NullName", [] {
        ULONG e = 0;
        return DbxGetVtbl()->Open(nullptr, nullptr, 0, 0, 0, &e) == nullptr && e != 0;
    });
    addCase(t, "DbxCreate", "NullFields", [] {
        ULONG e = 0;
        return DbxGetVtbl()->Create("bc_nofields", nullptr, 3, 0, 1, &e) == nullptr && e != 0;
    });
    addCase(t, "DbxFileOp", "BadMode", [] { return DbxGetVtbl()->FileOp(77, kTable, nullptr, 0) != 0; });
    addCase(t, "DbxFileOp", "CopyNoTarget", [] { return DbxGetVtbl()->FileOp(DBX_FILE_COPY, kTable, nullptr, 0) != 0; });
    addCase(t, "DbxCopyTableEx", "NullNames", [] { return DbxCopyTableEx(nullptr, nullptr, 1, nullptr, nullptr) != 0; });
    addCase(t, "DbxAttachIndex", "NullFields", live([](PDBXGROUP g) {
        ULONG e = 0;
        return DbxGetVtbl()->AttachIndex(g, 0, nullptr, nullptr, 1, 3, 0, &e) == nullptr && e != 0;
    }));
    addCase(t, "DbxAttachIndex", "NullNameAbove99", live([](PDBXGROUP g) {
        const char *f[] = {"NAME"};
        ULONG e = 0;
        return DbxGetVtbl()->AttachIndex(g, 100, nullptr, f, 1, 3, 0, &e) == nullptr && e != 0;
    }));
    addCase(t, "DbxRead", "RecordBeyondCount", live([](PDBXGROUP g) { return DbxGetVtbl()->Read(g, 5, 1) == DBX_FAILED; }));
    addCase(t, "DbxWriteCmd", "BadCommand", live([](PDBXGROUP g) { return DbxGetVtbl()->WriteCmd(g, 1, 99) == DBX_FAILED; }));
    addCase(t, "DbxSetField", "NullValue", live([](PDBXGROUP g) {
        return DbxGetVtbl()->SetField(g, DbxGetVtbl()->QueryFieldDes(g, 1), nullptr, 3) == DBX_FAILED;
    }));
    addCase(t, "DbxQueryField", "ZeroSize", live([](PDBXGROUP g) {
        char b[4];
        return DbxGetVtbl()->QueryField(g, DbxGetVtbl()->QueryFieldDes(g, 1), b, 0) == DBX_FAILED;
    }));
    addCase(t, "DbxSetCurrentIndex", "NotOfThisTable", live([](PDBXGROUP g) {
        DBFIX stray{};
        return DbxGetVtbl()->SetCurrentIndex(g, &stray) == DBX_FAILED;
    }));
    addCase(t, "DbxSearchKey", "NoIndex", live([](PDBXGROUP g) {
        return DbxGetVtbl()->SearchKey(g, nullptr, "A", 1) == DBX_NO_RECORD;
    }));
    addCase(t, "DbxCopyFlags", "DeadSource", live([](PDBXGROUP g) {
        DBXGROUP fake{};
        return DbxGetVtbl()->CopyFlags(g, 1, &fake, 1) != 0;
    }));
}

Table dbxTable()
{
    Table t;
    addHandleTable(t);
    addArgumentTable(t);
    return t;
}

}  // namespace

BADCALL_SUITE(Dbx, dbxTable);
