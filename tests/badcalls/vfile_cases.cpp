/*
 * vfile_cases.cpp - bad calls to the virtual files (Vbf), the buffered
 * files (Fbf), the compressed files (Zip) and the chopped files (Flu).
 */
#include <cstdlib>

#include "badcall.h"
#include "fbf.h"
#include "flu.h"
#include "prf.h"
#include "vbf.h"
#include "zip.h"

namespace {

using badcall::addCase;
using badcall::addHandleCases;
using badcall::Table;

constexpr char kFile[] = "bc_vfile.dat";
constexpr char kMissing[] = "bc_no_such_file.dat";
constexpr ULONG kOpenMode = VBF_MODE_READWRITE | VBF_SHARE_DENY_NONE;
constexpr ULONG kMaxSizes[] = {0xFFFF, 0xFFFFFFFF};

HVBF openVbf()
{
    badcall::makeFile(kFile, 5000);
    HVBF h = nullptr;
    ULONG action = 0;
    VbfOpen(nullptr, kFile, &h, &action, 0, VBF_ATTR_NORMAL, VBF_OPEN_EXISTING, kOpenMode, nullptr);
    return h;
}

HFBF openFbf()
{
    badcall::makeFile(kFile, 5000);
    HFBF h = nullptr;
    ULONG action = 0;
    FbfOpen(0, kFile, &h, &action, 0, VBF_ATTR_NORMAL, VBF_OPEN_EXISTING, kOpenMode, 0);
    return h;
}

badcall::HandleSource vbfSource()
{
    return {[] {
                HVBF h = openVbf();
                VbfClose(h);
                return static_cast<void *>(h);
            },
            [] {
                static HFBF f = openFbf();  // a back-end handle is no Vbf handle
                return static_cast<void *>(f);
            }};
}

badcall::HandleSource fbfSource()
{
    return {[] {
                HFBF h = openFbf();
                FbfClose(h);
                return static_cast<void *>(h);
            },
            [] {
                static HVBF v = openVbf();
                return static_cast<void *>(v);
            }};
}

/* The calls both families share, with the handle given as void *. */
template <class H, class Ops>
void addFileCases(Table &t, const char *family, const badcall::HandleSource &src, H (*open)(),
                  USHORT (*close)(H), const Ops &ops)
{
    const std::string p = family;
    auto h = [](void *v) { return static_cast<H>(v); };
    auto badHandle = [](USHORT rc) { return rc == ORIN_ERR_INVALID_HANDLE; };
    addHandleCases(t, p + "Close", src, [=](void *v) { return badHandle(close(h(v))); });
    addHandleCases(t, p + "ChgFilePtr", src, [=](void *v) {
        ULONG pos;
        return badHandle(ops.chg(h(v), 0, VBF_FILE_BEGIN, &pos));
    });
    addHandleCases(t, p + "Read", src, [=](void *v) {
        char b[16];
        ULONG n;
        return badHandle(ops.read(h(v), b, sizeof b, &n));
    });
    addHandleCases(t, p + "ReadDirect", src, [=](void *v) {
        char b[16];
        ULONG n;
        return badHandle(ops.readDirect(h(v), b, sizeof b, &n));
    });
    addHandleCases(t, p + "Write", src, [=](void *v) {
        ULONG n;
        return badHandle(ops.write(h(v), "x", 1, &n));
    });
    addHandleCases(t, p + "Getch", src, [=](void *v) {
        BYTE c;
        return badHandle(ops.getch(h(v), &c));
    });
    addHandleCases(t, p + "Gets", src, [=](void *v) {
        char b[16];
        ULONG n;
        return badHandle(ops.gets(h(v), b, sizeof b, &n));
    });
    addHandleCases(t, p + "Flush", src, [=](void *v) { return badHandle(ops.flush(h(v))); });
    addHandleCases(t, p + "FileLocks", src, [=](void *v) {
        FILELOCK l = {0, 1};
        return badHandle(ops.locks(h(v), nullptr, &l));
    });
    addHandleCases(t, p + "FileLocksEx", src, [=](void *v) {
        FILELOCK l = {0, 1};
        return badHandle(ops.locksEx(h(v), nullptr, &l));
    });
    addHandleCases(t, p + "Tell", src, [=](void *v) { return ops.tell(h(v)) == 0xFFFFFFFF; });
    addHandleCases(t, p + "QueryLength", src, [=](void *v) {
        ULONG n;
        return badHandle(ops.length(h(v), &n));
    });
    addHandleCases(t, p + "NewSize", src, [=](void *v) { return badHandle(ops.newSize(h(v), 1)); });
    addHandleCases(t, p + "QueryFilename", src, [=](void *v) {
        char b[300];
        return badHandle(ops.filename(h(v), b, sizeof b));
    });
    addHandleCases(t, p + "QFileInfo", src, [=](void *v) {
        VBFFILESTATUS s;
        return badHandle(ops.qinfo(h(v), VBF_INFO_LEVEL_STANDARD, &s, sizeof s));
    });
    addHandleCases(t, p + "SetFileInfo", src, [=](void *v) {
        VBFFILESTATUS s = {};
        return badHandle(ops.sinfo(h(v), VBF_INFO_LEVEL_STANDARD, &s, sizeof s));
    });
    addHandleCases(t, p + "MapViewOfFile", src, [=](void *v) {
        void *view = nullptr;
        return badHandle(ops.map(h(v), &view, 16, 0, 0));
    });
    addHandleCases(t, p + "UnmapViewOfFile", src, [=](void *v) { return badHandle(ops.unmap(h(v))); });

    // Null pointers and extreme sizes on a live handle: refused, or (for
    // sizes) answered without harm; the file must stay as it was.
    auto live = [=](auto call) {
        return [=] {
            H f = open();
            bool ok = call(f);
            close(f);
            return ok;
        };
    };
    addCase(t, p + "ChgFilePtr", "NullNewPos", live([=](H f) {
        return ops.chg(f, 0, VBF_FILE_BEGIN, nullptr) != 0 || ops.tell(f) == 0;
    }));
    addCase(t, p + "ChgFilePtr", "BadMethod", live([=](H f) {
        ULONG pos;
        // An unknown method leaves the position where it was.
        ops.chg(f, 7, VBF_FILE_BEGIN, &pos);
        bool ok = (ops.chg(f, 0, 0xFFFF, &pos) != 0 || ops.tell(f) == 7) &&
                  (ops.chg(f, 0, 0xFFFFFFFF, &pos) != 0 || ops.tell(f) == 7);
        return ok;
    }));
    addCase(t, p + "ChgFilePtr", "BeforeStart", live([=](H f) {
        ULONG pos = 9;
        return ops.chg(f, -1, VBF_FILE_BEGIN, &pos) != 0 || pos == 0;  // held at the start
    }));
    addCase(t, p + "Read", "NullBuffer", live([=](H f) {
        ULONG n;
        return ops.read(f, nullptr, 16, &n) != 0;
    }));
    addCase(t, p + "Read", "NullCount", live([=](H f) {
        char b[16];
        ops.read(f, b, sizeof b, nullptr);  // the count is optional
        return true;
    }));
    addCase(t, p + "Read", "AllNull", live([=](H f) { return ops.read(f, nullptr, 16, nullptr) != 0; }));
    addCase(t, p + "ReadDirect", "NullBuffer", live([=](H f) {
        ULONG n;
        return ops.readDirect(f, nullptr, 16, &n) != 0;
    }));
    addCase(t, p + "ReadDirect", "NullCount", live([=](H f) {
        char b[16];
        ops.readDirect(f, b, sizeof b, nullptr);  // the count is optional
        return true;
    }));
    addCase(t, p + "Write", "NullBuffer", live([=](H f) {
        ULONG n;
        return ops.write(f, nullptr, 16, &n) != 0;
    }));
    addCase(t, p + "Write", "NullCount", live([=](H f) { ops.write(f, "x", 1, nullptr); return true; }));
    addCase(t, p + "Getch", "NullChar", live([=](H f) { return ops.getch(f, nullptr) != 0; }));
    addCase(t, p + "Gets", "NullBuffer", live([=](H f) {
        ULONG n;
        return ops.gets(f, nullptr, 16, &n) != 0;
    }));
    addCase(t, p + "Gets", "ZeroSize", live([=](H f) {
        char b[4] = {'z', 'z', 'z', 'z'};
        ULONG n = 0;
        USHORT rc = ops.gets(f, b, 0, &n);
        return rc != 0 || (n == 0 && b[0] == 'z');
    }));
    addCase(t, p + "QueryLength", "NullLength", live([=](H f) { return ops.length(f, nullptr) != 0; }));
    addCase(t, p + "QueryFilename", "NullBuffer", live([=](H f) {
        return ops.filename(f, nullptr, 300) != 0;
    }));
    addCase(t, p + "QueryFilename", "ZeroSize", live([=](H f) {
        char b[4] = {'z', 'z', 'z', 'z'};
        return ops.filename(f, b, 0) != 0 && b[0] == 'z';
    }));
    addCase(t, p + "QueryFilename", "SizeOne", live([=](H f) {
        char b[4] = {'z', 'z', 'z', 'z'};
        ops.filename(f, b, 1);
        return b[1] == 'z';  // never past the buffer
    }));
    addCase(t, p + "QFileInfo", "NullBuffer", live([=](H f) {
        return ops.qinfo(f, VBF_INFO_LEVEL_STANDARD, nullptr, VBF_FILESTATUS_SIZE) != 0;
    }));
    addCase(t, p + "QFileInfo", "ShortBuffer", live([=](H f) {
        char b[8];
        return ops.qinfo(f, VBF_INFO_LEVEL_STANDARD, b, 1) != 0;
    }));
    addCase(t, p + "QFileInfo", "BadLevel", live([=](H f) {
        VBFFILESTATUS s;
        return ops.qinfo(f, 0xFFFF, &s, sizeof s) != 0;
    }));
    addCase(t, p + "SetFileInfo", "NullBuffer", live([=](H f) {
        return ops.sinfo(f, VBF_INFO_LEVEL_STANDARD, nullptr, VBF_FILESTATUS_SIZE) != 0;
    }));
    addCase(t, p + "SetFileInfo", "ZeroSize", live([=](H f) {
        VBFFILESTATUS s = {};
        return ops.sinfo(f, VBF_INFO_LEVEL_STANDARD, &s, 0) != 0;
    }));
    addCase(t, p + "FileLocks", "BothNull", live([=](H f) {
        return ops.locks(f, nullptr, nullptr) == 0;  // nothing to do is no error
    }));
    addCase(t, p + "MapViewOfFile", "NullView", live([=](H f) {
        return ops.map(f, nullptr, 16, 0, 0) != 0;
    }));
    for (ULONG size : kMaxSizes) {
        std::string tag = size == 0xFFFF ? "64K" : "4G";
        addCase(t, p + "MapViewOfFile", "Bytes" + tag, live([=](H f) {
            void *view = nullptr;
            USHORT rc = ops.map(f, &view, size, 0, 0);
            if (rc == 0)
                ops.unmap(f);
            return true;  // either answer is fine; it must not crash
        }));
        addCase(t, p + "MapViewOfFile", "Offset" + tag, live([=](H f) {
            void *view = nullptr;
            USHORT rc = ops.map(f, &view, 16, size, size);
            if (rc == 0)
                ops.unmap(f);
            return rc != 0;
        }));
        addCase(t, p + "ChgFilePtr", "Distance" + tag, live([=](H f) {
            ULONG pos = 0;
            USHORT rc = ops.chg(f, static_cast<LONG>(size), VBF_FILE_BEGIN, &pos);
            ULONG expect = static_cast<LONG>(size) < 0 ? 0 : size;  // held at the start
            return rc != 0 || pos == expect;
        }));
    }
    addCase(t, p + "Read", "CountZero", live([=](H f) {
        char b[16];
        ULONG n = 7;
        return ops.read(f, b, 0, &n) == 0 && n == 0;
    }));
    addCase(t, p + "UnmapViewOfFile", "NothingMapped", live([=](H f) {
        ops.unmap(f);
        return true;
    }));
}

struct VbfOps {
    decltype(&VbfChgFilePtr) chg = VbfChgFilePtr;
    decltype(&VbfRead) read = VbfRead;
    decltype(&VbfReadDirect) readDirect = VbfReadDirect;
    decltype(&VbfWrite) write = VbfWrite;
    decltype(&VbfGetch) getch = VbfGetch;
    decltype(&VbfGets) gets = VbfGets;
    decltype(&VbfFlush) flush = VbfFlush;
    decltype(&VbfFileLocks) locks = VbfFileLocks;
    decltype(&VbfFileLocksEx) locksEx = VbfFileLocksEx;
    decltype(&VbfTell) tell = VbfTell;
    decltype(&VbfQueryLength) length = VbfQueryLength;
    decltype(&VbfNewSize) newSize = VbfNewSize;
    decltype(&VbfQueryFilename) filename = VbfQueryFilename;
    decltype(&VbfQFileInfo) qinfo = VbfQFileInfo;
    decltype(&VbfSetFileInfo) sinfo = VbfSetFileInfo;
    decltype(&VbfMapViewOfFile) map = VbfMapViewOfFile;
    decltype(&VbfUnmapViewOfFile) unmap = VbfUnmapViewOfFile;
};

struct FbfOps {
    decltype(&FbfChgFilePtr) chg = FbfChgFilePtr;
    decltype(&FbfRead) read = FbfRead;
    decltype(&FbfReadDirect) readDirect = FbfReadDirect;
    decltype(&FbfWrite) write = FbfWrite;
    decltype(&FbfGetch) getch = FbfGetch;
    decltype(&FbfGets) gets = FbfGets;
    decltype(&FbfFlush) flush = FbfFlush;
    decltype(&FbfFileLocks) locks = FbfFileLocks;
    decltype(&FbfFileLocksEx) locksEx = FbfFileLocksEx;
    decltype(&FbfTell) tell = FbfTell;
    decltype(&FbfQueryLength) length = FbfQueryLength;
    decltype(&FbfNewSize) newSize = FbfNewSize;
    decltype(&FbfQueryFilename) filename = FbfQueryFilename;
    decltype(&FbfQFileInfo) qinfo = FbfQFileInfo;
    decltype(&FbfSetFileInfo) sinfo = FbfSetFileInfo;
    decltype(&FbfMapViewOfFile) map = FbfMapViewOfFile;
    decltype(&FbfUnmapViewOfFile) unmap = FbfUnmapViewOfFile;
};

Table vbfTable()
{
    Table t;
    addFileCases<HVBF>(t, "Vbf", vbfSource(), openVbf, VbfClose, VbfOps{});
    addCase(t, "VbfOpen", "NullName", [] {
        HVBF h = nullptr;
        ULONG a;
        return VbfOpen(nullptr, nullptr, &h, &a, 0, VBF_ATTR_NORMAL, VBF_OPEN_ALWAYS, kOpenMode,
                       nullptr) != 0 && h == nullptr;
    });
    addCase(t, "VbfOpen", "NullHandle", [] {
        ULONG a;
        return VbfOpen(nullptr, kFile, nullptr, &a, 0, VBF_ATTR_NORMAL, VBF_OPEN_ALWAYS, kOpenMode,
                       nullptr) != 0;
    });
    addCase(t, "VbfOpen", "NullAction", [] {
        HVBF h = nullptr;
        USHORT rc = VbfOpen(nullptr, kFile, &h, nullptr, 0, VBF_ATTR_NORMAL, VBF_OPEN_ALWAYS,
                            kOpenMode, nullptr);
        if (rc == 0)
            VbfClose(h);
        return true;  // the action word is optional; it must not crash
    });
    addCase(t, "VbfOpen", "AllNull", [] {
        return VbfOpen(nullptr, nullptr, nullptr, nullptr, 0, 0, 0, 0, nullptr) != 0;
    });
    addCase(t, "VbfOpen", "MissingFile", [] {
        HVBF h = nullptr;
        ULONG a;
        return VbfOpen(nullptr, kMissing, &h, &a, 0, VBF_ATTR_NORMAL, VBF_OPEN_EXISTING, kOpenMode,
                       nullptr) != 0 && h == nullptr;
    });
    addCase(t, "VbfOpen", "EmptyTable", [] {
        VBFFUNCS funcs = {};
        HVBF h = nullptr;
        ULONG a;
        return VbfOpen(nullptr, kFile, &h, &a, 0, VBF_ATTR_NORMAL, VBF_OPEN_ALWAYS, kOpenMode,
                       &funcs) != 0 && h == nullptr;
    });
    addCase(t, "VbfOpen", "MaxTableLength", [] {
        VBFFUNCS funcs = {};
        funcs.cb = 0xFFFFFFFF;  // claims slots that are all null
        HVBF h = nullptr;
        ULONG a;
        return VbfOpen(nullptr, kFile, &h, &a, 0, VBF_ATTR_NORMAL, VBF_OPEN_ALWAYS, kOpenMode,
                       &funcs) != 0 && h == nullptr;
    });
    addCase(t, "VbfCreateOnStream", "NullStream", [] { return VbfCreateOnStream(nullptr) == nullptr; });
    addHandleCases(t, "VbfCreateILockBytesOnVbf", vbfSource(), [](void *v) {
        ILockBytes *lb = nullptr;
        return FAILED(VbfCreateILockBytesOnVbf(static_cast<HVBF>(v), &lb)) && lb == nullptr;
    });
    addCase(t, "VbfCreateILockBytesOnVbf", "NullOut", [] {
        HVBF h = openVbf();
        bool ok = FAILED(VbfCreateILockBytesOnVbf(h, nullptr));
        VbfClose(h);
        return ok;
    });
    return t;
}

Table fbfTable()
{
    Table t;
    addFileCases<HFBF>(t, "Fbf", fbfSource(), openFbf, FbfClose, FbfOps{});
    addCase(t, "FbfOpen", "NullName", [] {
        HFBF h = nullptr;
        ULONG a;
        return FbfOpen(0, nullptr, &h, &a, 0, VBF_ATTR_NORMAL, VBF_OPEN_ALWAYS, kOpenMode, 0) != 0 &&
               h == nullptr;
    });
    addCase(t, "FbfOpen", "NullHandle", [] {
        ULONG a;
        return FbfOpen(0, kFile, nullptr, &a, 0, VBF_ATTR_NORMAL, VBF_OPEN_ALWAYS, kOpenMode, 0) != 0;
    });
    addCase(t, "FbfOpen", "AllNull", [] {
        return FbfOpen(0, nullptr, nullptr, nullptr, 0, 0, 0, 0, 0) != 0;
    });
    addCase(t, "FbfOpen", "LongName", [] {
        std::string name(0xFFFF, 'n');
        HFBF h = nullptr;
        ULONG a;
        return FbfOpen(0, name.c_str(), &h, &a, 0, VBF_ATTR_NORMAL, VBF_OPEN_ALWAYS, kOpenMode, 0) !=
                   0 && h == nullptr;
    });
    addCase(t, "FbfOpen", "MaxInitialSize", [] {
        HFBF h = nullptr;
        ULONG a;
        USHORT rc = FbfOpen(0, "bc_fbf_big.dat", &h, &a, 0xFFFFFFFF, VBF_ATTR_NORMAL,
                            VBF_CREATE_OR_REPLACE, kOpenMode, 0);
        if (rc == 0)
            FbfClose(h);
        DeleteFileA("bc_fbf_big.dat");
        return true;  // a disk may take it; it must not crash
    });
    addCase(t, "FbfAllocVbfFuncStruct", "NullNameSpace", [] {
        VBFFUNCS *f = FbfAllocVbfFuncStruct(nullptr);
        bool ok = f != nullptr && f->cb == VBF_FUNCS_SIZE;
        free(f);
        return ok;
    });
    return t;
}

Table zipTable()
{
    Table t;
    auto src = vbfSource();
    for (ULONG mode : {0UL, 1UL}) {
        std::string tag = mode ? "Inflate" : "Deflate";
        addHandleCases(t, "ZipCompressVbfFiles_Source" + tag, src, [mode](void *v) {
            HVBF target = openVbf();
            bool ok = ZipCompressVbfFiles(static_cast<HVBF>(v), target, mode) != 0;
            VbfClose(target);
            return ok;
        });
        addHandleCases(t, "ZipCompressVbfFiles_Target" + tag, src, [mode](void *v) {
            HVBF source = openVbf();
            bool ok = ZipCompressVbfFiles(source, static_cast<HVBF>(v), mode) != 0;
            VbfClose(source);
            return ok;
        });
        addCase(t, "ZipCompress", "NullSource" + tag,
                [mode] { return ZipCompress(nullptr, nullptr, "bc_zip.out", mode) != 0; });
        addCase(t, "ZipCompress", "NullTarget" + tag, [mode] {
            badcall::makeFile(kFile, 100);
            return ZipCompress(nullptr, kFile, nullptr, mode) != 0;
        });
        addCase(t, "ZipCompress", "AllNull" + tag,
                [mode] { return ZipCompress(nullptr, nullptr, nullptr, mode) != 0; });
        addCase(t, "ZipCompress", "MissingSource" + tag,
                [mode] { return ZipCompress(nullptr, kMissing, "bc_zip.out", mode) != 0; });
    }
    addCase(t, "ZipCompressVbfFiles", "BadDirection", [] {
        HVBF a = openVbf();
        HVBF b = nullptr;
        ULONG act;
        VbfOpen(nullptr, "bc_zip.out", &b, &act, 0, VBF_ATTR_NORMAL, VBF_CREATE_OR_REPLACE,
                kOpenMode, nullptr);
        // Not a compressed file: inflating it must be refused.
        bool ok = ZipCompressVbfFiles(a, b, 0xFFFFFFFF) != 0;
        VbfClose(a);
        VbfClose(b);
        return ok;
    });
    addCase(t, "ZipVbfAllocVbfFuncStruct", "OpenNullName", [] {
        VBFFUNCS *f = ZipVbfAllocVbfFuncStruct(nullptr);
        HVBF h = nullptr;
        ULONG a;
        bool ok = f != nullptr && VbfOpen(nullptr, nullptr, &h, &a, 0, VBF_ATTR_NORMAL,
                                          VBF_OPEN_EXISTING, kOpenMode, f) != 0;
        free(f);
        return ok;
    });
    addCase(t, "ZipVbfAllocVbfFuncStruct", "OpenNullHandle", [] {
        VBFFUNCS *f = ZipVbfAllocVbfFuncStruct(nullptr);
        ULONG a;
        badcall::makeFile(kFile, 100);
        bool ok = f != nullptr && VbfOpen(nullptr, kFile, nullptr, &a, 0, VBF_ATTR_NORMAL,
                                          VBF_OPEN_EXISTING, kOpenMode, f) != 0;
        free(f);
        return ok;
    });
    return t;
}

ULONG ORINAPI giveUp(USHORT, USHORT, ULONG, char *, ULONG, void *) { return 1; }

Table fluTable()
{
    Table t;
    auto withSource = [](auto call) {
        return [=] {
            badcall::makeFile(kFile, 3000);
            return call();
        };
    };
    addCase(t, "FluFileChop", "NullSource",
            [] { return FluFileChop(nullptr, nullptr, "bc_chop.dat", 256, nullptr, nullptr) != 0; });
    addCase(t, "FluFileChop", "NullTarget", withSource([] {
                return FluFileChop(nullptr, kFile, nullptr, 256, nullptr, nullptr) != 0;
            }));
    addCase(t, "FluFileChop", "AllNull",
            [] { return FluFileChop(nullptr, nullptr, nullptr, 0, nullptr, nullptr) != 0; });
    addCase(t, "FluFileChop", "MissingSource",
            [] { return FluFileChop(nullptr, kMissing, "bc_chop.dat", 256, giveUp, nullptr) != 0; });
    addCase(t, "FluFileChop", "TooManyVolumes", [] {
        // A name no handle holds open: 1220 volumes of 244 bytes of data.
        badcall::makeFile("bc_bigsrc.dat", 300000);
        return FluFileChop(nullptr, "bc_bigsrc.dat", "bc_chop.dat", 0, nullptr, nullptr) == 0xFFFF;
    });
    addCase(t, "FluFileMerge", "NullFirst",
            [] { return FluFileMerge(nullptr, nullptr, "bc_merge.dat", nullptr, nullptr) != 0; });
    addCase(t, "FluFileMerge", "NullTarget", withSource([] {
                return FluFileMerge(nullptr, kFile, nullptr, nullptr, nullptr) != 0;
            }));
    addCase(t, "FluFileMerge", "AllNull",
            [] { return FluFileMerge(nullptr, nullptr, nullptr, nullptr, nullptr) != 0; });
    addCase(t, "FluFileMerge", "NotChopped", withSource([] {
                return FluFileMerge(nullptr, kFile, "bc_merge.dat", giveUp, nullptr) != 0;
            }));
    addCase(t, "FluQueryChopped", "NullName", [] {
        BOOL c = 7;
        return FluQueryChopped(nullptr, nullptr, FLU_ANY_VOLUME, &c) != 0;
    });
    addCase(t, "FluQueryChopped", "NullAnswer", withSource([] {
                return FluQueryChopped(nullptr, kFile, FLU_ANY_VOLUME, nullptr) != 0;
            }));
    addCase(t, "FluQueryChopped", "AllNull",
            [] { return FluQueryChopped(nullptr, nullptr, 0, nullptr) != 0; });
    addCase(t, "FluChopEnumNames", "NullFirst", [] {
        char b[64];
        ULONG size = sizeof b;
        return FluChopEnumNames(nullptr, nullptr, b, &size, 0) != 0;
    });
    addCase(t, "FluChopEnumNames", "NullList", withSource([] {
                ULONG size = 64;
                return FluChopEnumNames(nullptr, kFile, nullptr, &size, 0) != 0;
            }));
    addCase(t, "FluChopEnumNames", "NullSize", withSource([] {
                char b[64];
                return FluChopEnumNames(nullptr, kFile, b, nullptr, 0) != 0;
            }));
    addCase(t, "FluChopEnumNames", "AllNull",
            [] { return FluChopEnumNames(nullptr, nullptr, nullptr, nullptr, 0) != 0; });
    addCase(t, "FluChopAllocVbfFuncStruct", "OpenNullName", [] {
        VBFFUNCS *f = FluChopAllocVbfFuncStruct(nullptr);
        HVBF h = nullptr;
        ULONG a;
        bool ok = f != nullptr && VbfOpen(nullptr, nullptr, &h, &a, 0, VBF_ATTR_NORMAL,
                                          VBF_OPEN_EXISTING, VBF_MODE_READ, f) != 0;
        free(f);
        return ok;
    });
    addCase(t, "FluChopAllocVbfFuncStruct", "OpenNotChopped", withSource([] {
                VBFFUNCS *f = FluChopAllocVbfFuncStruct(nullptr);
                HVBF h = nullptr;
                ULONG a;
                // A plain file may be read as a file of one volume.
                if (f != nullptr && VbfOpen(nullptr, kFile, &h, &a, 0, VBF_ATTR_NORMAL,
                                            VBF_OPEN_EXISTING, VBF_MODE_READ, f) == 0)
                    VbfClose(h);
                free(f);
                return f != nullptr;
            }));
    addCase(t, "ChopVbfSetVolumeChangeCallback", "Null",
            [] { return ChopVbfSetVolumeChangeCallback(nullptr, nullptr) == 0; });
    return t;
}

}  // namespace

BADCALL_SUITE(Vbf, vbfTable);
BADCALL_SUITE(Fbf, fbfTable);
BADCALL_SUITE(Zip, zipTable);
BADCALL_SUITE(Flu, fluTable);
