/*
 * lsp_fhandle.cpp - file handles for Lisp code (fopen, fwrite, fputs,
 * fclose, feof, fseek, ftell, fread, fgets) and the file operations
 * filedelete, filerename/filemove, filecopy, mkdir, rmdir and
 * shortfilename.
 *
 * A process-wide table holds up to LSP_MAX_FILES buffered files; the
 * number a script sees is the slot index + LSP_HANDLE_BASE.  fopen takes
 * the first empty slot below the high-water mark, else grows the mark;
 * fclose lowers the mark past trailing empty slots.  Files are opened in
 * the default name space with writing denied to others.  Every file still
 * open is closed when the builtins are unregistered at session end.
 */
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include "lisp/lspint.h"
#include "fbf.h"
#include "knlnam.h"
#include "frame/scope.h"

namespace orin::lsp {

namespace {

constexpr int kMaxFiles = 10;
constexpr LONG kHandleBase = 10;       // the number a script sees for slot 0
constexpr char kCrLf[] = "\r\n";

enum { MODE_READ = 0, MODE_WRITE = 1, MODE_APPEND = 2 };

enum {
    H_FOPEN = 142, H_FWRITE, H_FPUTS, H_FCLOSE, H_FREAD, H_FGETS, H_FEOF, H_FSEEK,
    H_FTELL = 151, H_FILEDELETE,
    H_FILEMOVE = 157, H_FILECOPY, H_MKDIR, H_RMDIR,
    H_SHORTNAME = 163
};

/* The open files of Lisp code; like the rest of the interpreter's state
 * they belong to its one thread. */
struct FileTable {
    std::array<HFBF, kMaxFiles> files;
    int highWater;               // slots at and above are empty
};
constinit FileTable table{};

PLSPLIST made(PLSPLIST n, unsigned int *err)
{
    return lspMade(n, err);
}

PLSPLIST truth(int t, unsigned int *err)
{
    return made(lspNewTruth(nullptr, t), err);
}

/* The slot of a handle argument, or -1 with LSPERR_BADFILE: a number
 * that names no open file (never opened, closed, out of range) is
 * refused. */
int slotOf(PLSPLIST a, unsigned int *err)
{
    LONGLONG h = static_cast<LONGLONG>(lspNodeLong(a)) - kHandleBase;
    if (h < 0 || h >= table.highWater || !table.files[h]) {
        lspFail(err, LSPERR_BADFILE, lspNodeText(a));
        return -1;
    }
    return static_cast<int>(h);
}

HFBF fileOf(int slot)
{
    return table.files[slot];
}

int firstFreeSlot()
{
    int slot = 0;
    while (slot < table.highWater && table.files[slot])
        slot++;
    return slot;
}

PLSPLIST fileOpen(PLSPLIST a, unsigned int *err)
{
    LONG mode = a->next ? lspNodeLong(a->next) : static_cast<LONG>(MODE_READ);
    ULONG flags, access, action, pos;
    HFBF h = nullptr;

    if (a->type != LSP_T_STRING) {
        lspFail(err, LSPERR_TYPE, lspNodeText(a));
        return nullptr;
    }
    switch (mode) {
    case MODE_READ:   flags = VBF_OPEN_EXISTING;     access = VBF_MODE_READ;  break;
    case MODE_WRITE:  flags = VBF_CREATE_OR_REPLACE; access = VBF_MODE_WRITE; break;
    case MODE_APPEND: flags = VBF_OPEN_OR_CREATE;    access = VBF_MODE_WRITE; break;
    default:
        lspFail(err, ORIN_ERR_INVALID_PARAM, lspNodeText(a->next));
        return nullptr;
    }
    int slot = firstFreeSlot();
    /* the value is made first, so a file is never open without its number */
    Tree r(made(lspNewLong(nullptr, slot + kHandleBase), err));
    if (!r)
        return nullptr;
    if (slot >= kMaxFiles ||
        FbfOpen(reinterpret_cast<ULONG_PTR>(KnlNamGetDefaultNS()), a->value.psz, &h, &action, 0,
                VBF_ATTR_NORMAL, flags, access | VBF_SHARE_DENY_WRITE, 0) != 0 || !h) {
        lspSetNil(r.get());
        return r.release();
    }
    if (mode == MODE_APPEND)
        FbfChgFilePtr(h, 0, VBF_FILE_END, &pos);
    table.files[slot] = h;
    if (slot == table.highWater)
        table.highWater++;
    return r.release();
}

void closeSlot(int slot)
{
    FbfClose(table.files[slot]);
    table.files[slot] = nullptr;
    while (table.highWater > 0 && !table.files[table.highWater - 1])
        table.highWater--;
}

}  // namespace

void lspFilesCloseAll()
{
    for (int i = 0; i < table.highWater; i++)
        if (table.files[i])
            FbfClose(table.files[i]);
    table = FileTable{};
}

namespace {

PLSPLIST fileWrite(LSPSESSION *s, int slot, PLSPLIST texts, bool lines, unsigned int *err)
{
    size_t size = static_cast<size_t>(s->bufferSize);
    Buffer tmp = makeBuffer(size);
    bool ok = true;
    if (!tmp)
        return made(nullptr, err);
    for (; texts; texts = texts->next) {
        const char *t = lspArgText(s, texts, tmp.get(), size);
        ULONG n = (ULONG)strlen(t), done = 0;
        if (FbfWrite(fileOf(slot), t, n, &done) != 0 || done != n)
            ok = false;
        if (lines && (FbfWrite(fileOf(slot), kCrLf, 2, &done) != 0 || done != 2))
            ok = false;
    }
    return truth(ok, err);
}

PLSPLIST fileEof(int slot, unsigned int *err)
{
    ULONG pos = FbfTell(fileOf(slot)), got = 0, now;
    BYTE b;
    if (FbfRead(fileOf(slot), &b, 1, &got) != 0 || got == 0)
        return truth(1, err);
    FbfChgFilePtr(fileOf(slot), (LONG)pos, VBF_FILE_BEGIN, &now);
    return truth(0, err);
}

PLSPLIST fileSeek(PLSPLIST a, int slot, unsigned int *err)
{
    ULONG offset = (ULONG)strtoul(lspNodeText(a->next), nullptr, 10), pos = 0;
    LONG origin = a->next->next ? lspNodeLong(a->next->next) : 0;
    ULONG method = origin == 0 ? VBF_FILE_BEGIN : origin == 1 ? VBF_FILE_CURRENT : VBF_FILE_END;
    FbfChgFilePtr(fileOf(slot), (LONG)offset, method, &pos);
    return made(lspNewLong(nullptr, (LONG)pos), err);
}

PLSPLIST fileRead(LSPSESSION *s, PLSPLIST a, int slot, bool line, unsigned int *err)
{
    size_t size = static_cast<size_t>(s->bufferSize);
    Buffer buf = makeBuffer(size);
    ULONG want, got = 0;
    if (!buf)
        return made(nullptr, err);
    buf[0] = 0;
    if (line) {
        if (FbfGets(fileOf(slot), buf.get(), static_cast<ULONG>(size), &got) != 0)
            buf[0] = 0;
        buf[size - 1] = 0;
    } else {
        LONG n = lspNodeLong(a->next);
        want = n < 0 ? 0 : (ULONG)n;
        if (want > size - 1)
            want = (ULONG)(size - 1);
        if (FbfRead(fileOf(slot), buf.get(), want, &got) != 0)
            got = 0;
        buf[got] = 0;
    }
    return made(lspNewText(nullptr, buf.get(), LSP_T_STRING), err);
}

PLSPLIST shortName(PLSPLIST a, unsigned int *err)
{
    char out[KNLNAM_MAXPATH];
    void *ns = KnlNamGetDefaultNS();
    const char *name = lspNodeText(a);
    bool created = false;
    if (strlen(name) >= KNLNAM_MAXPATH)
        return made(lspNewText(nullptr, name, LSP_T_STRING), err);
    if (a->next && lspNodeTruth(a->next) && !KnlNamQFileExist(ns, name)) {
        /* the short form exists only for an existing file: make it briefly */
        created = adoptFileHandle(CreateFileA(name, GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                              FILE_ATTRIBUTE_NORMAL, nullptr)) != nullptr;
    }
    if (KnlNamGetShortPathName(out, name) != 0)
        snprintf(out, sizeof out, "%s", name);
    if (created)
        KnlNamDelete(ns, name);
    return made(lspNewText(nullptr, out, LSP_T_STRING), err);
}

/* File operations return T when the file-name family reports success. */
PLSPLIST fileOp(USHORT id, PLSPLIST a, unsigned int *err)
{
    void *ns = KnlNamGetDefaultNS();
    const char *from = lspNodeText(a);
    const char *to = a->next ? lspNodeText(a->next) : "";
    USHORT rc;
    switch (id) {
    case H_FILEDELETE: rc = KnlNamDelete(ns, from); break;
    case H_FILEMOVE:   rc = KnlNamMove(ns, from, to); break;
    case H_FILECOPY:   rc = KnlNamCopy(ns, from, to, KNLNAM_COPY_REPLACE, 0); break;
    case H_MKDIR:      rc = KnlNamMkDir(ns, from); break;
    default:           rc = KnlNamRmDir(ns, from); break;
    }
    return truth(rc == 0, err);
}

}  // namespace

PLSPLIST lspBiHandle(LSPSESSION *s, USHORT id, PLSPLIST a, unsigned int *err)
{
    int slot;
    switch (id) {
    case H_FOPEN:      return fileOpen(a, err);
    case H_FILEDELETE:
    case H_FILEMOVE:
    case H_FILECOPY:
    case H_MKDIR:
    case H_RMDIR:      return fileOp(id, a, err);
    case H_SHORTNAME:  return shortName(a, err);
    default:
        break;
    }
    if ((slot = slotOf(a, err)) < 0)
        return nullptr;
    switch (id) {
    case H_FWRITE:  return fileWrite(s, slot, a->next, false, err);
    case H_FPUTS:   return fileWrite(s, slot, a->next, true, err);
    case H_FCLOSE:  closeSlot(slot); return truth(1, err);
    case H_FREAD:   return fileRead(s, a, slot, false, err);
    case H_FGETS:   return fileRead(s, a, slot, true, err);
    case H_FEOF:    return fileEof(slot, err);
    case H_FSEEK:   return fileSeek(a, slot, err);
    case H_FTELL:   return made(lspNewLong(nullptr, (LONG)FbfTell(fileOf(slot))), err);
    default:
        lspFailf(err, LSPERR_UNKNOWNFN, "#%u", id);
        return nullptr;
    }
}

}  // namespace orin::lsp
