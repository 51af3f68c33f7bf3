/*
 * profile_cases.cpp - bad calls to the FAL block files (Fal), the profile
 * calls and handlers (Prf, Prf100) and the files kept in profile values
 * (PrfFile).
 */
#include <cstdio>
#include <cstdlib>
#include <string>

#include "badcall.h"
#include "fal.h"
#include "fbf.h"
#include "prf.h"
#include "vbf.h"

namespace {

using badcall::addCase;
using badcall::addHandleCases;
using badcall::Table;

constexpr char kProfile[] = "bc_live.prf";
constexpr char kOld[] = "bc_old.prf";
constexpr char kSection[] = "Sec";
constexpr char kKey[] = "Key";
constexpr char kValueName[] = "bc_live.prf;Sec~File";
constexpr ULONG kMaxSizes[] = {0xFFFF, 0xFFFFFFFF};

HPRF openProfile()
{
    HPRF h = nullptr;
    PrfOpenProfile(nullptr, &h, kProfile, 0);
    return h;
}

/* The profile every live case uses, holding one section and key. */
HPRF liveProfile()
{
    static HPRF h = [] {
        HPRF p = openProfile();
        PrfWriteProfileString(p, kSection, kKey, "value");
        return p;
    }();
    return h;
}

void *liveVbf()
{
    static HVBF v = [] {
        badcall::makeFile("bc_pforeign.dat", 100);
        HVBF h = nullptr;
        ULONG a;
        VbfOpen(nullptr, "bc_pforeign.dat", &h, &a, 0, VBF_ATTR_NORMAL, VBF_OPEN_EXISTING,
                VBF_MODE_READWRITE | VBF_SHARE_DENY_NONE, nullptr);
        return h;
    }();
    return v;
}

badcall::HandleSource prfSource()
{
    return {[] {
                HPRF h = openProfile();
                PrfCloseProfile(h);
                return static_cast<void *>(h);
            },
            liveVbf};
}

HPRF P(void *v) { return static_cast<HPRF>(v); }
bool failed(ULONG rc) { return rc != 0; }

/* Each call that takes a profile handle, made with a handle of choice. */
void addPrfHandleCases(Table &t)
{
    auto src = prfSource();
    struct Call {
        const char *name;
        bool (*call)(void *);
    };
    static const Call calls[] = {
        {"PrfCloseHandler", [](void *h) { return failed(PrfCloseHandler(P(h))) || h == nullptr; }},
        {"PrfLockHandler", [](void *h) { return PrfLockHandler(P(h), TRUE) == 0; }},  // no count
        {"PrfUtlQueryHandlerLockCount", [](void *h) { return PrfUtlQueryHandlerLockCount(P(h)) == 0; }},
        {"PrfUtlSetHandlerULongPtr", [](void *h) { PrfUtlSetHandlerULongPtr(P(h), 5); return PrfUtlQueryHandlerULongPtr(P(h)) == 0; }},
        {"PrfUtlSetHandlerULong", [](void *h) { PrfUtlSetHandlerULong(P(h), 5); return PrfUtlQueryHandlerULong(P(h)) == 0; }},
        {"PrfSetOemMode", [](void *h) { return PrfSetOemMode(P(h), PRF_OEM_KEYS) == 0 && PrfGetOemMode(P(h)) == 0; }},
        {"PrfGetOemMode", [](void *h) { PrfGetOemMode(P(h)); return true; }},
        {"PrfCloseProfile", [](void *h) { return failed(PrfCloseProfile(P(h))) || h == nullptr; }},
        {"PrfFalHandler", [](void *h) {
             char b[16];
             PRFREQUEST r = {kSection, kKey, b, sizeof b, 0, 0, 0, PRF_TYPE_STRING};
             return failed(PrfFalHandler(P(h), PRF_CMD_READ, &r));
         }},
        {"PrfFalCloseHandler", [](void *h) { return failed(PrfFalCloseHandler(P(h))); }},
        {"PrfFalTransaction", [](void *h) { return failed(PrfFalTransaction(P(h), TRUE)); }},
        {"PrfFalFlush", [](void *h) { return failed(PrfFalFlush(P(h))); }},
        {"PrfFalSetCorrupt", [](void *h) { return failed(PrfFalSetCorrupt(P(h), TRUE)); }},
        {"PrfFal100Handler", [](void *h) {
             char b[16];
             PRFREQUEST r = {kSection, kKey, b, sizeof b, 0, 0, 0, PRF_TYPE_STRING};
             return failed(PrfFal100Handler(P(h), PRF_CMD_READ, &r));
         }},
        {"Prf100CloseProfile", [](void *h) { return failed(Prf100CloseProfile(P(h))) || h == nullptr; }},
        {"PrfWinRegHandler", [](void *h) {
             char b[16];
             PRFREQUEST r = {kSection, kKey, b, sizeof b, 0, 0, 0, PRF_TYPE_STRING};
             return failed(PrfWinRegHandler(P(h), PRF_CMD_READ, &r));
         }},
        {"PrfWinIniHandler", [](void *h) {
             char b[16];
             PRFREQUEST r = {kSection, kKey, b, sizeof b, 0, 0, 0, PRF_TYPE_STRING};
             return failed(PrfWinIniHandler(P(h), PRF_CMD_READ, &r));
         }},
        {"PrfCreateSection", [](void *h) { return failed(PrfCreateSection(P(h), "New")); }},
        {"PrfDestroySection", [](void *h) { return failed(PrfDestroySection(P(h), kSection)); }},
        {"PrfLockSection", [](void *h) { return failed(PrfLockSection(P(h), kSection, FALSE, TRUE)); }},
        {"PrfTransaction", [](void *h) { return failed(PrfTransaction(P(h), TRUE)); }},
        {"PrfCheckConsistent", [](void *h) { return failed(PrfCheckConsistent(P(h))); }},
        {"PrfQueryProfileSize", [](void *h) { ULONG n; return failed(PrfQueryProfileSize(P(h), kSection, kKey, &n)); }},
        {"PrfQueryProfileData", [](void *h) {
             char b[16];
             ULONG n = sizeof b;
             return failed(PrfQueryProfileData(P(h), kSection, kKey, b, &n));
         }},
        {"PrfQueryProfileDataOffset", [](void *h) {
             char b[16];
             ULONG n = sizeof b;
             return failed(PrfQueryProfileDataOffset(P(h), kSection, kKey, 0, b, &n));
         }},
        {"PrfQueryProfileString", [](void *h) {
             char b[16];
             return failed(PrfQueryProfileString(P(h), kSection, kKey, "d", b, sizeof b));
         }},
        {"PrfQueryProfileShort", [](void *h) { SHORT v; return failed(PrfQueryProfileShort(P(h), kSection, kKey, &v)); }},
        {"PrfQueryProfileUShort", [](void *h) { USHORT v; return failed(PrfQueryProfileUShort(P(h), kSection, kKey, &v)); }},
        {"PrfQueryProfileLong", [](void *h) { LONG v; return failed(PrfQueryProfileLong(P(h), kSection, kKey, &v)); }},
        {"PrfQueryProfileULong", [](void *h) { ULONG v; return failed(PrfQueryProfileULong(P(h), kSection, kKey, &v)); }},
        {"PrfQueryProfileKey", [](void *h) { return PrfQueryProfileKey(P(h), kSection, kKey, FALSE) == nullptr; }},
        {"PrfWriteProfileData", [](void *h) { return failed(PrfWriteProfileData(P(h), kSection, kKey, "x", 1)); }},
        {"PrfWriteProfileDataOffset", [](void *h) { return failed(PrfWriteProfileDataOffset(P(h), kSection, kKey, 0, "x", 1)); }},
        {"PrfWriteProfileString", [](void *h) { return failed(PrfWriteProfileString(P(h), kSection, kKey, "x")); }},
        {"PrfWriteProfileShort", [](void *h) { return failed(PrfWriteProfileShort(P(h), kSection, kKey, 1)); }},
        {"PrfWriteProfileUShort", [](void *h) { return failed(PrfWriteProfileUShort(P(h), kSection, kKey, 1)); }},
        {"PrfWriteProfileLong", [](void *h) { return failed(PrfWriteProfileLong(P(h), kSection, kKey, 1)); }},
        {"PrfWriteProfileULong", [](void *h) { return failed(PrfWriteProfileULong(P(h), kSection, kKey, 1)); }},
        {"PrfSetProfileDataSize", [](void *h) { return failed(PrfSetProfileDataSize(P(h), kSection, kKey, 1)); }},
        {"PrfQueryProfileFldInfo", [](void *h) { PRFFLDINFO i; return failed(PrfQueryProfileFldInfo(P(h), kSection, kKey, &i)); }},
        {"PrfWriteProfileFldInfo", [](void *h) {
             PRFFLDINFO i;
             PrfFldInfoInit(&i, 'S');
             return failed(PrfWriteProfileFldInfo(P(h), kSection, kKey, &i));
         }},
    };
    for (const Call &c : calls)
        addHandleCases(t, c.name, src, c.call);
}

/* Null and out-of-range arguments on a live profile. */
void addPrfArgumentCases(Table &t)
{
    auto live = [](auto call) { return [=] { return call(liveProfile()); }; };
    addCase(t, "PrfOpenHandler", "NullHandler", [] {
        HPRF h = nullptr;
        return failed(PrfOpenHandler(nullptr, nullptr, &h)) && h == nullptr;
    });
    addCase(t, "PrfOpenHandler", "NullOut", [] {
        PRFFALOPEN rec = {nullptr, kProfile, 0, 0, nullptr};
        return failed(PrfOpenHandler(PrfFalHandler, &rec, nullptr));
    });
    addCase(t, "PrfOpenHandler", "NullRecord", [] {
        HPRF h = nullptr;
        return failed(PrfOpenHandler(PrfFalHandler, nullptr, &h)) && h == nullptr;
    });
    addCase(t, "PrfOpenHandler", "RecordNullName", [] {
        PRFFALOPEN rec = {nullptr, nullptr, 0, 0, nullptr};
        HPRF h = nullptr;
        return failed(PrfOpenHandler(PrfFalHandler, &rec, &h)) && h == nullptr;
    });
    addCase(t, "PrfOpenProfile", "NullOut", [] { return failed(PrfOpenProfile(nullptr, nullptr, kProfile, 0)); });
    addCase(t, "PrfOpenProfile", "NullName", [] {
        HPRF h = nullptr;
        return failed(PrfOpenProfile(nullptr, &h, nullptr, 0)) && h == nullptr;
    });
    addCase(t, "PrfOpenProfile", "AllNull", [] { return failed(PrfOpenProfile(nullptr, nullptr, nullptr, 0)); });
    addCase(t, "PrfOpenProfile", "NotAProfile", [] {
        badcall::makeFile("bc_notprf.prf", 3000);
        HPRF h = nullptr;
        return failed(PrfOpenProfile(nullptr, &h, "bc_notprf.prf", PRF_OPEN_READONLY)) && h == nullptr;
    });
    addCase(t, "PrfOpenProfileOnVbf", "EmptyTable", [] {
        VBFFUNCS funcs = {};
        HPRF h = nullptr;
        return failed(PrfOpenProfileOnVbf(nullptr, &h, "bc_onvbf.prf", 0, &funcs)) && h == nullptr;
    });
    addCase(t, "PrfOpenProfileOnVbf", "NullOut", [] {
        return failed(PrfOpenProfileOnVbf(nullptr, nullptr, kProfile, 0, nullptr));
    });
    addCase(t, "PrfFalOpenHandler", "NullRecord", live([](HPRF h) { return failed(PrfFalOpenHandler(h, nullptr)); }));
    addHandleCases(t, "PrfFalOpenHandler", prfSource(), [](void *h) {
        PRFFALOPEN rec = {nullptr, "bc_other.prf", 0, 0, nullptr};
        return failed(PrfFalOpenHandler(P(h), &rec));
    });
    addCase(t, "Prf100OpenProfile", "NullOut", [] { return failed(Prf100OpenProfile(nullptr, nullptr, kOld, 0)); });
    addCase(t, "Prf100OpenProfile", "NullName", [] {
        HPRF h = nullptr;
        return failed(Prf100OpenProfile(nullptr, &h, nullptr, 0)) && h == nullptr;
    });
    addCase(t, "Prf100OpenProfile", "CurrentFormat", live([](HPRF) {
        HPRF h = nullptr;
        return Prf100OpenProfile(nullptr, &h, kProfile, PRF_OPEN_READONLY) == PRF_ERR_NOTFIRSTFORMAT;
    }));
    addCase(t, "PrfFalConvert100to200", "NullName", [] { return failed(PrfFalConvert100to200(nullptr, nullptr)); });
    addCase(t, "PrfFalPack", "NullName", [] { return failed(PrfFalPack(nullptr, nullptr, FALSE)); });
    addCase(t, "PrfFalPackQueryCancel", "NullName", [] {
        USHORT pc;
        return failed(PrfFalPackQueryCancel(nullptr, nullptr, FALSE, nullptr, &pc));
    });
    addCase(t, "PrfFalConvert20Xto202", "NullName", [] { return failed(PrfFalConvert20Xto202(nullptr, nullptr)); });
    addCase(t, "PrfFalRepair", "NullName", [] { return failed(PrfFalRepair(nullptr, nullptr)); });
    addCase(t, "PrfFalRepairQueryCancel", "NullName", [] {
        return failed(PrfFalRepairQueryCancel(nullptr, nullptr, nullptr, nullptr));
    });
    addCase(t, "PrfFalPack", "MissingFile", [] { return failed(PrfFalPack(nullptr, "bc_none.prf", FALSE)); });
    addCase(t, "PrfFalRepair", "NotAProfile", [] {
        badcall::makeFile("bc_notprf2.prf", 3000);
        PrfFalRepair(nullptr, "bc_notprf2.prf");
        return true;  // whatever it makes of it, it must return
    });
    addCase(t, "PrfWinRegHandlerOpen", "NullKey", [] {
        HPRF h = PrfWinRegHandlerOpen(nullptr);
        return h == nullptr || PrfCloseHandler(h) == 0;
    });
    addCase(t, "PrfWinIniHandlerOpen", "NullName", [] { return PrfWinIniHandlerOpen(nullptr) == nullptr; });
    addCase(t, "PrfIniQueryKey", "NullName", [] {
        char b[16];
        return failed(PrfIniQueryKey(nullptr, nullptr, "s", "k", b, sizeof b));
    });
    addCase(t, "PrfIniQueryKey", "NullSection", [] {
        char b[16];
        badcall::makeFile("bc.ini", 0);
        return failed(PrfIniQueryKey(nullptr, "bc.ini", nullptr, "k", b, sizeof b));
    });
    addCase(t, "PrfIniQueryKey", "NullBuffer", [] {
        return failed(PrfIniQueryKey(nullptr, "bc.ini", "s", "k", nullptr, 16));
    });
    addCase(t, "PrfIniQueryKey", "AllNull", [] { return failed(PrfIniQueryKey(nullptr, nullptr, nullptr, nullptr, nullptr, 0)); });
    addCase(t, "PrfIniEnumKeys", "NullSize", [] {
        char b[16];
        return failed(PrfIniEnumKeys(nullptr, "bc.ini", "s", b, nullptr));
    });
    addCase(t, "PrfIniEnumKeys", "NullName", [] {
        USHORT n = 16;
        char b[16];
        return failed(PrfIniEnumKeys(nullptr, nullptr, "s", b, &n));
    });
    addCase(t, "PrfIniEnumKeys", "AllNull", [] { return failed(PrfIniEnumKeys(nullptr, nullptr, nullptr, nullptr, nullptr)); });

    addCase(t, "PrfCreateSection", "NullSection", live([](HPRF h) { return failed(PrfCreateSection(h, nullptr)); }));
    addCase(t, "PrfCreateSection", "EmptySection", live([](HPRF h) { return failed(PrfCreateSection(h, "  ")); }));
    addCase(t, "PrfDestroySection", "NullSection", live([](HPRF h) { return failed(PrfDestroySection(h, nullptr)); }));
    addCase(t, "PrfLockSection", "NullSection", live([](HPRF h) { return failed(PrfLockSection(h, nullptr, FALSE, TRUE)); }));
    addCase(t, "PrfQueryProfileSize", "NullSize", live([](HPRF h) { return failed(PrfQueryProfileSize(h, kSection, kKey, nullptr)); }));
    addCase(t, "PrfQueryProfileData", "NullSize", live([](HPRF h) {
        char b[16];
        return failed(PrfQueryProfileData(h, kSection, kKey, b, nullptr));
    }));
    addCase(t, "PrfQueryProfileData", "AllNull", live([](HPRF h) { return failed(PrfQueryProfileData(h, nullptr, nullptr, nullptr, nullptr)); }));
    addCase(t, "PrfQueryProfileDataOffset", "NullSize", live([](HPRF h) {
        char b[16];
        return failed(PrfQueryProfileDataOffset(h, kSection, kKey, 0, b, nullptr));
    }));
    for (ULONG off : kMaxSizes)
        addCase(t, "PrfQueryProfileDataOffset", "Offset" + std::to_string(off), live([off](HPRF h) {
            char b[16] = {};
            ULONG n = sizeof b;
            USHORT rc = PrfQueryProfileDataOffset(h, kSection, kKey, off, b, &n);
            return rc != 0 || n == 0;
        }));
    addCase(t, "PrfQueryProfileString", "NullBufferWithSize", live([](HPRF h) {
        return failed(PrfQueryProfileString(h, kSection, kKey, "d", nullptr, 16));
    }));
    addCase(t, "PrfQueryProfileString", "ZeroSize", live([](HPRF h) {
        char b[4] = {'z', 'z', 'z', 'z'};
        PrfQueryProfileString(h, kSection, kKey, "d", b, 0);
        return b[0] == 'z';
    }));
    addCase(t, "PrfQueryProfileShort", "NullValue", live([](HPRF h) { return failed(PrfQueryProfileShort(h, kSection, kKey, nullptr)); }));
    addCase(t, "PrfQueryProfileUShort", "NullValue", live([](HPRF h) { return failed(PrfQueryProfileUShort(h, kSection, kKey, nullptr)); }));
    addCase(t, "PrfQueryProfileLong", "NullValue", live([](HPRF h) { return failed(PrfQueryProfileLong(h, kSection, kKey, nullptr)); }));
    addCase(t, "PrfQueryProfileULong", "NullValue", live([](HPRF h) { return failed(PrfQueryProfileULong(h, kSection, kKey, nullptr)); }));
    addCase(t, "PrfQueryProfileKey", "NullKey", live([](HPRF h) { return PrfQueryProfileKey(h, kSection, nullptr, FALSE) == nullptr; }));
    addCase(t, "PrfQueryProfileKey", "NullSection", live([](HPRF h) { return PrfQueryProfileKey(h, nullptr, kKey, FALSE) == nullptr; }));
    addCase(t, "PrfWriteProfileData", "NullSection", live([](HPRF h) { return failed(PrfWriteProfileData(h, nullptr, kKey, "x", 1)); }));
    addCase(t, "PrfWriteProfileData", "NullDataWithLength", live([](HPRF h) {
        PrfWriteProfileString(h, kSection, "Gone", "x");
        PrfWriteProfileData(h, kSection, "Gone", nullptr, 0xFFFF);  // deletes, reads nothing
        ULONG n = 7;
        return failed(PrfQueryProfileSize(h, kSection, "Gone", &n));
    }));
    addCase(t, "PrfWriteProfileDataOffset", "NullData", live([](HPRF h) {
        return failed(PrfWriteProfileDataOffset(h, kSection, kKey, 0, nullptr, 4));
    }));
    addCase(t, "PrfWriteProfileDataOffset", "Offset4G", live([](HPRF h) {
        return failed(PrfWriteProfileDataOffset(h, kSection, kKey, 0xFFFFFFFF, "xy", 2));
    }));
    addCase(t, "PrfWriteProfileString", "NullSection", live([](HPRF h) { return failed(PrfWriteProfileString(h, nullptr, kKey, "x")); }));
    addCase(t, "PrfWriteProfileString", "NullKey", live([](HPRF h) { return failed(PrfWriteProfileString(h, nullptr, nullptr, "x")); }));
    addCase(t, "PrfWriteProfileShort", "NullSection", live([](HPRF h) { return failed(PrfWriteProfileShort(h, nullptr, kKey, 1)); }));
    addCase(t, "PrfWriteProfileUShort", "NullSection", live([](HPRF h) { return failed(PrfWriteProfileUShort(h, nullptr, kKey, 1)); }));
    addCase(t, "PrfWriteProfileLong", "NullSection", live([](HPRF h) { return failed(PrfWriteProfileLong(h, nullptr, kKey, 1)); }));
    addCase(t, "PrfWriteProfileULong", "NullSection", live([](HPRF h) { return failed(PrfWriteProfileULong(h, nullptr, kKey, 1)); }));
    addCase(t, "PrfSetProfileDataSize", "NullSection", live([](HPRF h) { return failed(PrfSetProfileDataSize(h, nullptr, kKey, 1)); }));
    addCase(t, "PrfSetProfileDataSize", "NullKey", live([](HPRF h) { return failed(PrfSetProfileDataSize(h, kSection, nullptr, 1)); }));
    addCase(t, "PrfQueryProfileFldInfo", "NullInfo", live([](HPRF h) { return failed(PrfQueryProfileFldInfo(h, kSection, kKey, nullptr)); }));
    addCase(t, "PrfWriteProfileFldInfo", "NullInfo", live([](HPRF h) {
        PrfWriteProfileString(h, kSection, "Info", "x");
        PrfWriteProfileFldInfo(h, kSection, "Info", nullptr);  // deletes the key
        ULONG n = 7;
        return failed(PrfQueryProfileSize(h, kSection, "Info", &n));
    }));
    addCase(t, "PrfFldInfoInit", "NullInfo", [] { PrfFldInfoInit(nullptr, 'S'); return true; });
    addCase(t, "PrfFldInfoSetUpdate", "NullInfo", [] { PrfFldInfoSetUpdate(nullptr); return true; });
    addCase(t, "PrfFldInfoSetAccess", "NullInfo", [] { PrfFldInfoSetAccess(nullptr); return true; });
    addCase(t, "PrfFalHandler", "NullParam", live([](HPRF h) { return failed(PrfFalHandler(h, PRF_CMD_READ, nullptr)); }));
    addCase(t, "PrfFalHandler", "BadMessage", live([](HPRF h) { return failed(PrfFalHandler(h, static_cast<PRFCMD>(0xFFFF), nullptr)); }));
    addCase(t, "PrfFal100Handler", "ForeignState", live([](HPRF h) {
        char b[16];
        PRFREQUEST r = {kSection, kKey, b, sizeof b, 0, 0, 0, PRF_TYPE_STRING};
        return failed(PrfFal100Handler(h, PRF_CMD_READ, &r));  // h is served by PrfFalHandler
    }));
    addCase(t, "PrfUtlTableHandler", "NullTable", live([](HPRF h) {
        char b[16];
        USHORT code;
        PRFREQUEST r = {kSection, kKey, b, sizeof b, 0, 0, 0, PRF_TYPE_STRING};
        return failed(PrfUtlTableHandler(nullptr, h, PRF_CMD_READ, &r, &code));
    }));
    addCase(t, "PrfUtlTableHandler", "NullRequest", live([](HPRF h) {
        static char value[8] = "v";
        PRFUTLTABLEENTRY table[] = {{kSection, kKey, PRF_TABLE_STRING, 0, value, sizeof value},
                                    {nullptr, nullptr, 0, 0, nullptr, 0}};
        USHORT code;
        return failed(PrfUtlTableHandler(table, h, PRF_CMD_READ, nullptr, &code));
    }));
}

/* ---- FAL block files ---- */

HFAL openFal()
{
    liveProfile();
    HFAL h = nullptr;
    FalOpen(nullptr, "bc_fal.prf", &h, FAL_OPEN_SHARED);
    return h;
}

badcall::HandleSource falSource()
{
    return {[] {
                HFAL h = openFal();
                FalClose(h);
                return static_cast<void *>(h);
            },
            [] { return static_cast<void *>(liveProfile()); }};
}

Table falTable()
{
    Table t;
    // A profile file is a block file.
    {
        HPRF p = nullptr;
        PrfOpenProfile(nullptr, &p, "bc_fal.prf", 0);
        PrfWriteProfileString(p, kSection, kKey, "value");
        PrfCloseProfile(p);
    }
    auto src = falSource();
    auto F = [](void *v) { return static_cast<HFAL>(v); };
    addHandleCases(t, "FalClose", src, [F](void *h) { return failed(FalClose(F(h))); });
    addHandleCases(t, "FalGetBlock", src, [F](void *h) {
        char b[16];
        return failed(FalGetBlock(F(h), 1, b, sizeof b));
    });
    addHandleCases(t, "FalQueryTotalBlockSize", src, [F](void *h) {
        ULONG n;
        return failed(FalQueryTotalBlockSize(F(h), 1, &n));
    });
    auto live = [](auto call) {
        return [=] {
            HFAL h = openFal();
            bool ok = h != nullptr && call(h);
            FalClose(h);
            return ok;
        };
    };
    addCase(t, "FalOpen", "NullName", [] {
        HFAL h = nullptr;
        return failed(FalOpen(nullptr, nullptr, &h, 0)) && h == nullptr;
    });
    addCase(t, "FalOpen", "NullOut", [] { return failed(FalOpen(nullptr, "bc_fal.prf", nullptr, 0)); });
    addCase(t, "FalOpen", "AllNull", [] { return failed(FalOpen(nullptr, nullptr, nullptr, 0)); });
    addCase(t, "FalOpen", "NotABlockFile", [] {
        badcall::makeFile("bc_notfal.dat", 3000);
        HFAL h = nullptr;
        return failed(FalOpen(nullptr, "bc_notfal.dat", &h, FAL_OPEN_READONLY)) && h == nullptr;
    });
    addCase(t, "FalOpen", "BadFlags", [] {
        HFAL h = nullptr;
        USHORT rc = FalOpen(nullptr, "bc_fal.prf", &h, 0xFFFF);
        if (rc == 0)
            FalClose(h);
        return true;  // unknown bits may be ignored; it must not crash
    });
    addCase(t, "FalGetBlock", "NullBuffer", live([](HFAL h) { return failed(FalGetBlock(h, 1, nullptr, 16)); }));
    for (ULONG id : {0UL, 0xFFFFUL, 0xFFFFFFFFUL})
        addCase(t, "FalGetBlock", "Id" + std::to_string(id), live([id](HFAL h) {
            char b[16];
            return id == 0 || failed(FalGetBlock(h, id, b, sizeof b));  // 0: the user header
        }));
    addCase(t, "FalGetBlock", "ZeroLength", live([](HFAL h) {
        char b[4] = {'z', 'z', 'z', 'z'};
        FalGetBlock(h, 1, b, 0);
        return b[0] == 'z';
    }));
    addCase(t, "FalQueryTotalBlockSize", "NullCapacity", live([](HFAL h) {
        return failed(FalQueryTotalBlockSize(h, 1, nullptr));
    }));
    for (ULONG id : {0UL, 0xFFFFUL, 0xFFFFFFFFUL})
        addCase(t, "FalQueryTotalBlockSize", "Id" + std::to_string(id), live([id](HFAL h) {
            ULONG n;
            return id == 0 || failed(FalQueryTotalBlockSize(h, id, &n));  // 0: the user header
        }));
    return t;
}

/* ---- Files in profile values ---- */

HPRFFILE openPrfFile()
{
    liveProfile();
    HPRFFILE h = nullptr;
    ULONG a;
    PrfFileOpen(nullptr, kValueName, &h, &a, 0, VBF_ATTR_NORMAL, VBF_OPEN_ALWAYS,
                VBF_MODE_READWRITE | VBF_SHARE_DENY_NONE);
    return h;
}

Table prfFileTable()
{
    Table t;
    badcall::HandleSource src = {[] {
                                     HPRFFILE h = openPrfFile();
                                     PrfFileClose(h);
                                     return static_cast<void *>(h);
                                 },
                                 [] { return static_cast<void *>(liveProfile()); }};
    auto F = [](void *v) { return static_cast<HPRFFILE>(v); };
    addHandleCases(t, "PrfFileClose", src, [F](void *h) { return failed(PrfFileClose(F(h))); });
    addHandleCases(t, "PrfFileRead", src, [F](void *h) {
        char b[16];
        ULONG n;
        return failed(PrfFileRead(F(h), b, sizeof b, &n));
    });
    addHandleCases(t, "PrfFileGetch", src, [F](void *h) {
        BYTE c;
        return failed(PrfFileGetch(F(h), &c));
    });
    addHandleCases(t, "PrfFileWrite", src, [F](void *h) {
        ULONG n;
        return failed(PrfFileWrite(F(h), "x", 1, &n));
    });
    addHandleCases(t, "PrfFileGets", src, [F](void *h) {
        char b[16];
        ULONG n;
        return failed(PrfFileGets(F(h), b, sizeof b, &n));
    });
    addHandleCases(t, "PrfFileChgFilePtr", src, [F](void *h) {
        ULONG n;
        return failed(PrfFileChgFilePtr(F(h), 0, VBF_FILE_BEGIN, &n));
    });
    addHandleCases(t, "PrfFileTell", src, [F](void *h) { return PrfFileTell(F(h)) == 0; });
    addHandleCases(t, "PrfFileQueryLength", src, [F](void *h) {
        ULONG n;
        return failed(PrfFileQueryLength(F(h), &n));
    });
    addHandleCases(t, "PrfFileNewSize", src, [F](void *h) { return failed(PrfFileNewSize(F(h), 1)); });
    addHandleCases(t, "PrfFileFlush", src, [F](void *h) { return failed(PrfFileFlush(F(h))); });
    addHandleCases(t, "PrfFileQueryFilename", src, [F](void *h) {
        char b[300];
        return failed(PrfFileQueryFilename(F(h), b, sizeof b));
    });
    addHandleCases(t, "PrfFileFileLocks", src, [F](void *h) {
        FILELOCK l = {0, 1};
        return failed(PrfFileFileLocks(F(h), nullptr, &l));
    });
    auto live = [](auto call) {
        return [=] {
            HPRFFILE h = openPrfFile();
            bool ok = h != nullptr && call(h);
            PrfFileClose(h);
            return ok;
        };
    };
    auto open = [](const std::string &name) {
        HPRFFILE h = nullptr;
        ULONG a;
        USHORT rc = PrfFileOpen(nullptr, name.c_str(), &h, &a, 0, VBF_ATTR_NORMAL, VBF_OPEN_ALWAYS,
                                VBF_MODE_READWRITE);
        if (rc == 0)
            PrfFileClose(h);
        return rc != 0;
    };
    addCase(t, "PrfFileOpen", "NullName", [] {
        HPRFFILE h = nullptr;
        ULONG a;
        return failed(PrfFileOpen(nullptr, nullptr, &h, &a, 0, 0, VBF_OPEN_ALWAYS, 2)) && h == nullptr;
    });
    addCase(t, "PrfFileOpen", "NullOut", [] {
        ULONG a;
        return failed(PrfFileOpen(nullptr, kValueName, nullptr, &a, 0, 0, VBF_OPEN_ALWAYS, 2));
    });
    addCase(t, "PrfFileOpen", "AllNull", [] { return failed(PrfFileOpen(nullptr, nullptr, nullptr, nullptr, 0, 0, 0, 0)); });
    addCase(t, "PrfFileOpen", "NoSection", [open] { return open("bc_live.prf"); });
    addCase(t, "PrfFileOpen", "NoKey", [open] { return open("bc_live.prf;Sec"); });
    addCase(t, "PrfFileOpen", "EmptyParts", [open] { return open(";~"); });
    addCase(t, "PrfFileOpen", "MadeUpHandleName", [open] { return open("@PRFHANDLE@0000000000000001;Sec~K"); });
    addCase(t, "PrfFileOpen", "StackHandleName", [open] {
        char stack[64] = {};
        char name[80];
        snprintf(name, sizeof name, "@PRFHANDLE@%016llX;Sec~K",
                 static_cast<unsigned long long>(reinterpret_cast<ULONG_PTR>(stack)));
        return open(name);
    });
    addCase(t, "PrfFileOpen", "ClosedHandleName", [open] {
        HPRF p = openProfile();
        PrfCloseProfile(p);
        char name[80];
        snprintf(name, sizeof name, "@PRFHANDLE@%016llX;Sec~K",
                 static_cast<unsigned long long>(reinterpret_cast<ULONG_PTR>(p)));
        return open(name);
    });
    addCase(t, "PrfFileOpen", "ShortHandleName", [open] { return open("@PRFHANDLE@12;Sec~K"); });
    addCase(t, "PrfFileRead", "NullBuffer", live([](HPRFFILE h) {
        PrfFileWrite(h, "abc", 3, nullptr);
        PrfFileChgFilePtr(h, 0, VBF_FILE_BEGIN, nullptr);
        ULONG n;
        return failed(PrfFileRead(h, nullptr, 3, &n));
    }));
    addCase(t, "PrfFileRead", "NullCount", live([](HPRFFILE h) {
        char b[4];
        PrfFileRead(h, b, sizeof b, nullptr);  // the count is optional
        return true;
    }));
    addCase(t, "PrfFileGetch", "NullChar", live([](HPRFFILE h) { return failed(PrfFileGetch(h, nullptr)); }));
    addCase(t, "PrfFileWrite", "NullData", live([](HPRFFILE h) {
        ULONG n;
        return failed(PrfFileWrite(h, nullptr, 3, &n));
    }));
    addCase(t, "PrfFileGets", "NullBuffer", live([](HPRFFILE h) {
        ULONG n;
        return failed(PrfFileGets(h, nullptr, 16, &n));
    }));
    addCase(t, "PrfFileChgFilePtr", "BadMethod", live([](HPRFFILE h) {
        ULONG n;
        return failed(PrfFileChgFilePtr(h, 0, 0xFFFFFFFF, &n));
    }));
    addCase(t, "PrfFileChgFilePtr", "BeforeStart", live([](HPRFFILE h) {
        ULONG n = 9;
        return failed(PrfFileChgFilePtr(h, -1, VBF_FILE_BEGIN, &n)) || n == 0;  // held at the start
    }));
    addCase(t, "PrfFileQueryLength", "NullLength", live([](HPRFFILE h) { return failed(PrfFileQueryLength(h, nullptr)); }));
    addCase(t, "PrfFileQueryFilename", "NullBuffer", live([](HPRFFILE h) { return failed(PrfFileQueryFilename(h, nullptr, 300)); }));
    addCase(t, "PrfFileQueryFilename", "ZeroSize", live([](HPRFFILE h) {
        char b[4] = {'z', 'z', 'z', 'z'};
        return failed(PrfFileQueryFilename(h, b, 0)) && b[0] == 'z';
    }));
    addCase(t, "PrfFileFileLocks", "BothNull", live([](HPRFFILE h) { return PrfFileFileLocks(h, nullptr, nullptr) == 0; }));
    addCase(t, "PrfFileNewSize", "Size4G", live([](HPRFFILE h) { return failed(PrfFileNewSize(h, 0xFFFFFFFF)); }));
    addCase(t, "PrfFileAllocVbfFuncStruct", "Table", [] {
        VBFFUNCS *f = PrfFileAllocVbfFuncStruct(nullptr);
        bool ok = f != nullptr && f->cb == VBF_FUNCS_SIZE;
        free(f);
        return ok;
    });
    return t;
}

Table prfTable()
{
    Table t;
    liveProfile();
    addPrfHandleCases(t);
    addPrfArgumentCases(t);
    return t;
}

}  // namespace

BADCALL_SUITE(Fal, falTable);
BADCALL_SUITE(Prf, prfTable);
BADCALL_SUITE(PrfFile, prfFileTable);
