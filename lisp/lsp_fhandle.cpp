/*
 * lsp_fhandle.c - file handles for Lisp code (fopen, fwrite, fputs,
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
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include "lisp/lspint.h"
#include "fbf.h"
#include "knlnam.h"

#define LSP_MAX_FILES    10
#define LSP_HANDLE_BASE  10
#define LSP_CRLF         "\r\n"

enum { MODE_READ = 0, MODE_WRITE = 1, MODE_APPEND = 2 };

enum {
    H_FOPEN = 142, H_FWRITE, H_FPUTS, H_FCLOSE, H_FREAD, H_FGETS, H_FEOF, H_FSEEK,
    H_FTELL = 151, H_FILEDELETE,
    H_FILEMOVE = 157, H_FILECOPY, H_MKDIR, H_RMDIR,
    H_SHORTNAME = 163
};

static HFBF files[LSP_MAX_FILES];
static int highWater;

static PLSPLIST made(PLSPLIST n, unsigned int *err)
{
    if (!n)
        lspFail(err, LSPERR_NOMEM, "");
    return n;
}

static PLSPLIST truth(int t, unsigned int *err)
{
    return made(lspNewTruth(NULL, t), err);
}

/* The slot of a handle argument, or -1 with LSPERR_BADFILE. */
static int slotOf(PLSPLIST a, unsigned int *err)
{
    LONG h = lspNodeLong(a) - LSP_HANDLE_BASE;
    if (h < 0 || h >= highWater || !files[h]) {
        lspFail(err, LSPERR_BADFILE, lspNodeText(a));
        return -1;
    }
    return (int)h;
}

static PLSPLIST fileOpen(PLSPLIST a, unsigned int *err)
{
    LONG mode = a->next ? lspNodeLong(a->next) : (LONG)MODE_READ;
    ULONG flags, access, action, pos;
    HFBF h = NULL;
    int slot;

    if (a->type != LSP_T_STRING) {
        lspFail(err, LSPERR_TYPE, lspNodeText(a));
        return NULL;
    }
    switch (mode) {
    case MODE_READ:   flags = VBF_OPEN_EXISTING;     access = VBF_MODE_READ;  break;
    case MODE_WRITE:  flags = VBF_CREATE_OR_REPLACE; access = VBF_MODE_WRITE; break;
    case MODE_APPEND: flags = VBF_OPEN_OR_CREATE;    access = VBF_MODE_WRITE; break;
    default:
        lspFail(err, ORIN_ERR_INVALID_PARAM, lspNodeText(a->next));
        return NULL;
    }
    for (slot = 0; slot < highWater && files[slot]; slot++)
        ;
    if (slot >= LSP_MAX_FILES)
        return made(lspNewNil(NULL), err);
    if (FbfOpen((ULONG_PTR)KnlNamGetDefaultNS(), a->value.psz, &h, &action, 0, VBF_ATTR_NORMAL,
                flags, access | VBF_SHARE_DENY_WRITE, 0) != 0 || !h)
        return made(lspNewNil(NULL), err);
    if (mode == MODE_APPEND)
        FbfChgFilePtr(h, 0, VBF_FILE_END, &pos);
    files[slot] = h;
    if (slot == highWater)
        highWater++;
    return made(lspNewLong(NULL, slot + LSP_HANDLE_BASE), err);
}

static void closeSlot(int slot)
{
    FbfClose(files[slot]);
    files[slot] = NULL;
    while (highWater > 0 && !files[highWater - 1])
        highWater--;
}

void lspFilesCloseAll(void)
{
    int i;
    for (i = 0; i < highWater; i++)
        if (files[i])
            FbfClose(files[i]);
    memset(files, 0, sizeof files);
    highWater = 0;
}

static PLSPLIST fileWrite(LSPSESSION *s, int slot, PLSPLIST texts, BOOL lines,
                          unsigned int *err)
{
    size_t size = (size_t)s->bufferSize;
    char *tmp = (char*)lspMalloc(size);
    BOOL ok = TRUE;
    if (!tmp)
        return made(NULL, err);
    for (; texts; texts = texts->next) {
        const char *t = lspArgText(s, texts, tmp, size);
        ULONG n = (ULONG)strlen(t), done = 0;
        if (FbfWrite(files[slot], t, n, &done) != 0 || done != n)
            ok = FALSE;
        if (lines && (FbfWrite(files[slot], LSP_CRLF, 2, &done) != 0 || done != 2))
            ok = FALSE;
    }
    lspMemFree(tmp);
    return truth(ok, err);
}

static PLSPLIST fileEof(int slot, unsigned int *err)
{
    ULONG pos = FbfTell(files[slot]), got = 0, now;
    BYTE b;
    if (FbfRead(files[slot], &b, 1, &got) != 0 || got == 0)
        return truth(1, err);
    FbfChgFilePtr(files[slot], (LONG)pos, VBF_FILE_BEGIN, &now);
    return truth(0, err);
}

static PLSPLIST fileSeek(PLSPLIST a, int slot, unsigned int *err)
{
    ULONG offset = (ULONG)strtoul(lspNodeText(a->next), NULL, 10), pos = 0;
    LONG origin = a->next->next ? lspNodeLong(a->next->next) : 0;
    ULONG method = origin == 0 ? VBF_FILE_BEGIN : origin == 1 ? VBF_FILE_CURRENT : VBF_FILE_END;
    FbfChgFilePtr(files[slot], (LONG)offset, method, &pos);
    return made(lspNewLong(NULL, (LONG)pos), err);
}

static PLSPLIST fileRead(LSPSESSION *s, PLSPLIST a, int slot, BOOL line, unsigned int *err)
{
    size_t size = (size_t)s->bufferSize;
    char *buf = (char*)lspMalloc(size);
    ULONG want, got = 0;
    PLSPLIST r;
    if (!buf)
        return made(NULL, err);
    buf[0] = 0;
    if (line) {
        if (FbfGets(files[slot], buf, (ULONG)size, &got) != 0)
            buf[0] = 0;
        buf[size - 1] = 0;
    } else {
        LONG n = lspNodeLong(a->next);
        want = n < 0 ? 0 : (ULONG)n;
        if (want > size - 1)
            want = (ULONG)(size - 1);
        if (FbfRead(files[slot], buf, want, &got) != 0)
            got = 0;
        buf[got] = 0;
    }
    r = made(lspNewText(NULL, buf, LSP_T_STRING), err);
    lspMemFree(buf);
    return r;
}

static PLSPLIST shortName(PLSPLIST a, unsigned int *err)
{
    char out[KNLNAM_MAXPATH];
    void *ns = KnlNamGetDefaultNS();
    const char *name = lspNodeText(a);
    BOOL created = FALSE;
    if (strlen(name) >= KNLNAM_MAXPATH)
        return made(lspNewText(NULL, name, LSP_T_STRING), err);
    if (a->next && lspNodeTruth(a->next) && !KnlNamQFileExist(ns, name)) {
        /* the short form exists only for an existing file: make it briefly */
        HANDLE h = CreateFileA(name, GENERIC_WRITE, 0, NULL, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, NULL);
        if (h != INVALID_HANDLE_VALUE) {
            CloseHandle(h);
            created = TRUE;
        }
    }
    if (KnlNamGetShortPathName(out, name) != 0)
        snprintf(out, sizeof out, "%s", name);
    if (created)
        KnlNamDelete(ns, name);
    return made(lspNewText(NULL, out, LSP_T_STRING), err);
}

/* File operations return T when the file-name family reports success. */
static PLSPLIST fileOp(USHORT id, PLSPLIST a, unsigned int *err)
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
        return NULL;
    switch (id) {
    case H_FWRITE:  return fileWrite(s, slot, a->next, FALSE, err);
    case H_FPUTS:   return fileWrite(s, slot, a->next, TRUE, err);
    case H_FCLOSE:  closeSlot(slot); return truth(1, err);
    case H_FREAD:   return fileRead(s, a, slot, FALSE, err);
    case H_FGETS:   return fileRead(s, a, slot, TRUE, err);
    case H_FEOF:    return fileEof(slot, err);
    case H_FSEEK:   return fileSeek(a, slot, err);
    case H_FTELL:   return made(lspNewLong(NULL, (LONG)FbfTell(files[slot])), err);
    default:
        lspFailf(err, LSPERR_UNKNOWNFN, "#%u", id);
        return NULL;
    }
}
