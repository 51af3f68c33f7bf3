/*
 * lsp_core.cpp - the core table of builtins and its dispatcher, with the
 * control forms, symbol and definition forms, list functions and type
 * functions.  Arithmetic lives in lsp_math.cpp, string functions in
 * lsp_bstr.cpp, system variables in lsp_sysvar.cpp, file handles and file
 * operations in lsp_fhandle.cpp, paths, dates and programs in lsp_file.cpp,
 * calls into dynamic libraries in lsp_dll.cpp.
 *
 * The builtins are ordinary module registrations: the core table, the
 * string table and the mail table (lsp_mail.cpp), registered at session
 * start in that order and removed at session end in reverse order.  A dispatcher receives the argument
 * chain (evaluated unless the descriptor is a special form), never frees
 * it, and returns a new node.
 */
#include <cstdio>
#include <cstring>
#include <iterator>
#include "lisp/lspint.h"
#include "lisp/lsq.h"
#include "frame/knlint.h"

namespace orin::lsp {

namespace {

constexpr USHORT S = LSP_MF_SPECIAL;
constexpr USHORT N = LSP_ARGS_NOMAX;

/* Core builtin ids. */
enum {
    BI_IF = 170, BI_WHILE, BI_EVAL, BI_PROGN, BI_QUOTE, BI_BREAK, BI_READSTR,
    BI_GETSYSVAR = 180, BI_SETSYSVAR,
    BI_SET = 190, BI_SETQ, BI_DEFUN, BI_DEFMACRO, BI_FREE, BI_FREEQ, BI_DLLFUNC,
    BI_BOUNDP, BI_APPLY,
    BI_LENGTH = 220, BI_CAR, BI_CDR, BI_LIST, BI_CONS, BI_APPEND,
    BI_ASSOC = 240, BI_SETASSOC,
    BI_TYPENUM = 250, BI_TYPEOF, BI_COERCE, BI_TYPEP,
    BI_EQL = 270,
    BI_DEBUGPRINT = 300,
    BI_SOUND = 310
};

constexpr LSPMODFUNCDESC coreTable[] = {
    { "+", 10, 0, 1, N }, { "*", 11, 0, 1, N }, { "-", 12, 0, 1, N }, { "/", 13, 0, 1, N },
    { "div", 14, 0, 1, N }, { "mod", 15, 0, 1, N },
    { "abs", 20, 0, 1, 1 }, { "trunc", 21, 0, 1, 1 }, { "frac", 22, 0, 1, 1 },
    { "int", 23, 0, 1, 1 }, { "round", 24, 0, 1, 1 },
    { "sin", 25, 0, 1, 1 }, { "cos", 26, 0, 1, 1 }, { "tan", 27, 0, 1, 1 },
    { "asin", 28, 0, 1, 1 }, { "acos", 29, 0, 1, 1 }, { "atan", 30, 0, 1, 1 },
    { "cosh", 31, 0, 1, 1 }, { "sinh", 32, 0, 1, 1 }, { "tanh", 33, 0, 1, 1 },
    { "log", 34, 0, 1, 1 }, { "log10", 35, 0, 1, 1 }, { "exp", 36, 0, 1, 1 },
    { "random", 37, 0, 1, 1 }, { "sqrt", 38, 0, 1, 1 },
    { "=", 51, 0, 2, 2 }, { "/=", 52, 0, 2, 2 }, { "<", 53, 0, 2, 2 }, { ">", 54, 0, 2, 2 },
    { ">=", 55, 0, 2, 2 }, { "<=", 56, 0, 2, 2 }, { "n=", 57, 0, 2, 2 }, { "n/=", 58, 0, 2, 2 },
    { "s=", 70, 0, 2, 2 }, { "s/=", 71, 0, 2, 2 },
    { "min", 80, 0, 1, N }, { "max", 81, 0, 1, N }, { "average", 82, 0, 1, N },
    { "and", 90, 0, 2, N }, { "or", 91, 0, 2, N }, { "not", 92, 0, 1, 1 },
    { "chr", 100, 0, 1, 1 }, { "asc", 101, 0, 1, 1 }, { "ascii", 101, 0, 1, 1 },
    { "strchr", 108, 0, 2, 2 }, { "strichr", 109, 0, 2, 2 },
    { "strstr", 110, 0, 2, 2 }, { "stristr", 111, 0, 2, 2 },
    { "strcnt", 112, 0, 2, 2 }, { "stricnt", 113, 0, 2, 2 },
    { "strcmp", 114, 0, 2, 2 }, { "stricmp", 115, 0, 2, 2 },
    { "strupr", 116, 0, 1, 1 }, { "strlwr", 117, 0, 1, 1 },
    { "ltrim", 118, 0, 1, 1 }, { "rtrim", 119, 0, 1, 1 }, { "lrtrim", 120, 0, 1, 1 },
    { "trim", 121, 0, 1, 1 }, { "strlen", 122, 0, 1, 1 }, { "strcapitalize", 123, 0, 1, 1 },
    { "str2date", 132, 0, 1, 1 }, { "str2time", 133, 0, 1, 1 },
    { "fileexist", 141, 0, 1, 1 }, { "fopen", 142, 0, 1, 2 },
    { "fwrite", 143, 0, 2, N }, { "fputs", 144, 0, 2, N }, { "fclose", 145, 0, 1, 1 },
    { "feof", 148, 0, 1, 1 }, { "fseek", 149, 0, 2, 3 }, { "ftell", 151, 0, 1, 1 },
    { "filedelete", 152, 0, 1, 1 }, { "filerename", 157, 0, 2, 2 }, { "filemove", 157, 0, 2, 2 },
    { "filecopy", 158, 0, 2, 2 }, { "mkdir", 159, 0, 1, 1 }, { "rmdir", 160, 0, 1, 1 },
    { "diskspace", 161, 0, 1, 1 }, { "direxist", 162, 0, 1, 1 },
    { "runprogram", 164, 0, 1, 2 }, { "sound", 310, 0, 2, 2 },
    { "cutextension", 153, 0, 1, 1 }, { "cutpath", 154, 0, 1, 1 },
    { "dos2acadpath", 155, 0, 1, 1 }, { "acad2dospath", 156, 0, 1, 1 },
    { "if", BI_IF, S, 2, 3 }, { "while", BI_WHILE, S, 1, N }, { "eval", BI_EVAL, 0, 1, N },
    { "progn", BI_PROGN, 0, 1, N }, { "quote", BI_QUOTE, S, 1, 1 },
    { "break", BI_BREAK, 0, 1, N }, { "read-from-string", BI_READSTR, 0, 1, 1 },
    { "getsysvar", BI_GETSYSVAR, 0, 1, 1 }, { "setsysvar", BI_SETSYSVAR, 0, 2, 2 },
    { "set", BI_SET, 0, 2, 2 }, { "setq", BI_SETQ, S, 2, 2 },
    { "defun", BI_DEFUN, S, 3, N }, { "defmacro", BI_DEFMACRO, S, 3, N },
    { "free", BI_FREE, 0, 1, 1 }, { "freeq", BI_FREEQ, S, 1, 1 },
    { "dllfunc", BI_DLLFUNC, 0, 3, N },
    { "boundp", BI_BOUNDP, 0, 1, 1 }, { "apply", BI_APPLY, 0, 2, 2 },
    { "length", BI_LENGTH, 0, 1, 1 }, { "car", BI_CAR, 0, 1, 1 }, { "first", BI_CAR, 0, 1, 1 },
    { "cdr", BI_CDR, 0, 1, 1 }, { "rest", BI_CDR, 0, 1, 1 }, { "list", BI_LIST, 0, 1, N },
    { "cons", BI_CONS, 0, 2, 2 }, { "append", BI_APPEND, 0, 1, N },
    { "assoc", BI_ASSOC, 0, 2, 2 }, { "setassoc", BI_SETASSOC, 0, 3, 3 },
    { "typenum", BI_TYPENUM, 0, 1, 1 }, { "type-of", BI_TYPEOF, 0, 1, 1 },
    { "coerce", BI_COERCE, 0, 2, 2 }, { "typep", BI_TYPEP, 0, 2, 2 },
    { "eql", BI_EQL, 0, 2, 2 }, { "debugprint", BI_DEBUGPRINT, 0, 1, N },
    { "load", kBiLoad, 0, 1, 2 }, { "lsp2lsq", kBiLsp2Lsq, 0, 2, 2 },
};

constexpr LSPMODFUNCDESC strTable[] = {
    { "strcat", 102, 0, 1, N }, { "substr", 103, 0, 2, 3 },
    { "strrepl", 104, 0, 3, 3 }, { "strirepl", 105, 0, 3, 3 },
    { "rightstr", 106, 0, 2, 2 }, { "leftstr", 107, 0, 2, 2 },
    { "date2str", 130, 0, 1, 1 }, { "time2str", 131, 0, 1, 1 },
    { "datetimestamp", 134, 0, 1, 2 }, { "splitpath", 140, 0, 2, 3 },
    { "mapuncfilename", 164, 0, 1, 1 }, { "fread", 146, 0, 2, 2 }, { "fgets", 147, 0, 1, 1 },
    { "shortfilename", 163, 0, 1, 2 },
};

}  // namespace

/* The core table, the string table, then the mail and telephony table
 * (lsp_mail.cpp); host modules register after them.  False when memory
 * ran out; nothing is left registered then. */
bool lspBuiltinsRegister()
{
    if (lspModRegister(std::size(coreTable), coreTable, lspBiCore, true) != 0)
        return false;
    if (lspModRegister(std::size(strTable), strTable, lspBiStrTable, true) != 0) {
        lspModDropNewest();            // the core table just added
        return false;
    }
    if (lspMailRegister())
        return true;
    lspModDropNewest();                // the string table
    lspModDropNewest();                // the core table
    return false;
}

void lspBuiltinsUnregister()
{
    lspMailUnregister();
    lspModUnregister(lspBiStrTable);
    lspModUnregister(lspBiCore);
    lspBreakTimerStop();
    lspFilesCloseAll();
}

namespace {

/* ---- helpers ---- */

PLSPLIST nomem(unsigned int *err)
{
    lspFailNoMem(err);
    return nullptr;
}

PLSPLIST checked(PLSPLIST n, unsigned int *err)
{
    return lspMade(n, err);
}

PLSPLIST typeError(PLSPLIST arg, unsigned int *err)
{
    lspFail(err, LSPERR_TYPE, lspNodeText(arg));
    return nullptr;
}

bool isListOrNil(PLSPLIST n)
{
    return isList(n) || n->type == LSP_T_NIL;
}

/* Appends copies of a chain to a list being built; last tracks the end. */
bool appendCopies(PLSPLIST list, PLSPLIST *last, PLSPLIST chain)
{
    PLSPLIST n, c;
    for (n = chain; n; n = n->next) {
        c = lspTreeCopy(n);
        if (!c)
            return false;
        lspAttach(*last ? *last : list, c);
        *last = c;
    }
    return true;
}

/* A closed list of copies of chain; nil when the chain is empty and
 * nilIfEmpty is set. */
PLSPLIST listOfCopies(PLSPLIST chain, bool nilIfEmpty, unsigned int *err)
{
    if (!chain && nilIfEmpty)
        return checked(lspNewNil(nullptr), err);
    Tree list(lspNewList(nullptr));
    PLSPLIST last = nullptr;
    if (!list || !appendCopies(list.get(), &last, chain))
        return nomem(err);
    lspListClose(list.get());
    return list.release();
}

}  // namespace

/* Evaluates a text as source: wrapped in (progn "" text) so that a text
 * holding several forms yields the value of the last. */
PLSPLIST lspEvalString(LSPSESSION *s, const char *text, unsigned int *err)
{
    static constexpr char head[] = "(progn \"\" ", tail[] = ")";
    size_t size = static_cast<size_t>(s->bufferSize), len = strlen(text);

    if (sizeof head - 1 + len + sizeof tail > size) {
        lspFail(err, LSPERR_TOOLONG, "");
        return nullptr;
    }
    Buffer src = makeBuffer(size);
    if (!src)
        return lspMade(nullptr, err);
    snprintf(src.get(), size, "%s%s%s", head, text, tail);
    Tree chain(lspParseText(s, src.get(), err));
    src.reset();
    if (*err)
        return nullptr;
    return lspEval(s, chain.get(), err);
}

namespace {

/* ---- control ---- */

PLSPLIST biIf(LSPSESSION *s, PLSPLIST a, unsigned int *err)
{
    int truth = lspNodeTruth(Tree(lspEval(s, a, err)).get());
    if (*err)
        return nullptr;
    if (truth)
        return lspEval(s, a->next, err);
    if (a->next->next)
        return lspEval(s, a->next->next, err);
    return checked(lspNewNil(nullptr), err);
}

PLSPLIST biWhile(LSPSESSION *s, PLSPLIST a, unsigned int *err)
{
    Tree result;
    for (;;) {
        int truth = lspNodeTruth(Tree(lspEval(s, a, err)).get());
        if (*err || !truth)
            break;
        for (PLSPLIST form = a->next; form && !*err; form = form->next) {
            result.reset();
            s->discardNext = form->next != nullptr;   /* only the last value counts */
            result.reset(lspEval(s, form, err));
        }
        if (*err)
            break;
        if (lspBreakPending()) {
            lspFail(err, LSPERR_BREAK, "");
            break;
        }
    }
    if (*err)
        return nullptr;
    return result ? result.release() : checked(lspNewNil(nullptr), err);
}

PLSPLIST biEval(LSPSESSION *s, PLSPLIST a, unsigned int *err)
{
    Tree v;
    for (; a && !*err; a = a->next) {
        v.reset();
        v.reset(a->type == LSP_T_STRING ? lspEvalString(s, a->value.psz, err) : lspEval(s, a, err));
    }
    if (*err)
        return nullptr;
    return v.release();
}

PLSPLIST biReadFromString(LSPSESSION *s, PLSPLIST a, unsigned int *err)
{
    if (!isText(a))
        return typeError(a, err);
    PLSPLIST chain = lspParseText(s, a->value.psz, err);
    if (*err)
        return nullptr;
    if (!chain)
        return checked(lspNewNil(nullptr), err);
    lspFreeRest(chain);
    return chain;
}

/* ---- symbols and definitions ---- */

PLSPLIST assignName(const char *name, PLSPLIST value, unsigned int *err)
{
    if (strchr(name, ':')) {
        if (!lspPathAssign(name, value, err))
            return nullptr;
    } else if (!lspSymAssign(name, value)) {
        return nomem(err);
    }
    return checked(lspTreeCopy(value), err);
}

PLSPLIST biSet(LSPSESSION *s, PLSPLIST a, unsigned int *err)
{
    if (a->type != LSP_T_SYMBOL) {
        lspFail(err, LSPERR_ASSIGN, lspNodeText(a));
        return nullptr;
    }
    return assignName(a->value.psz, a->next, err);
}

/* setq moves the evaluated value into the variable instead of copying
 * it, and builds its own result only when the caller will use it. */
PLSPLIST biSetq(LSPSESSION *s, PLSPLIST a, unsigned int *err)
{
    bool discard = s->callDiscard;
    s->callDiscard = false;
    if (a->type != LSP_T_SYMBOL) {
        lspFail(err, LSPERR_ASSIGN, lspNodeText(a));
        return nullptr;
    }
    Tree v(lspEval(s, a->next, err));
    if (*err)
        return nullptr;
    if (strchr(a->value.psz, ':') || !v)
        return assignName(a->value.psz, v.get(), err);
    Tree r(discard ? lspNewNil(nullptr) : lspTreeCopy(v.get()));
    if (!r || !lspSymAssignOwned(a->value.psz, v.release()))
        return nomem(err);
    return r.release();
}

bool validParamList(PLSPLIST p)
{
    PLSPLIST e;
    if (p->type == LSP_T_NIL)
        return true;
    if (!isList(p))
        return false;
    for (e = p->down; e; e = e->next)
        if (e->type != LSP_T_SYMBOL)
            return false;
    return true;
}

PLSPLIST biDefine(PLSPLIST a, USHORT kind, unsigned int *err)
{
    if (a->type != LSP_T_SYMBOL || !validParamList(a->next)) {
        lspFail(err, LSPERR_DEFINE, lspNodeText(a));
        return nullptr;
    }
    if (!lspSymDefine(a->value.psz, a->next, kind))
        return nomem(err);
    return checked(lspNewText(nullptr, a->value.psz, LSP_T_SYMBOL), err);
}

PLSPLIST biApply(LSPSESSION *s, PLSPLIST a, unsigned int *err)
{
    PLSPLIST list = a->next;
    if (a->type != LSP_T_SYMBOL)
        return typeError(a, err);
    if (!isListOrNil(list))
        return typeError(list, err);
    return lspCallByName(s, a->value.psz, isList(list) ? list->down : nullptr, err);
}

/* ---- lists ---- */

PLSPLIST biCar(PLSPLIST a, unsigned int *err)
{
    if (!isListOrNil(a))
        return typeError(a, err);
    if (a->type == LSP_T_NIL || !a->down)
        return checked(lspNewNil(nullptr), err);
    return checked(lspTreeCopyNilEmpty(a->down), err);
}

PLSPLIST biCdr(PLSPLIST a, unsigned int *err)
{
    if (!isListOrNil(a))
        return typeError(a, err);
    if (a->type == LSP_T_NIL || !a->down || !a->down->next)
        return checked(lspNewNil(nullptr), err);
    if (a->type != LSP_T_LIST)
        return listOfCopies(a->down->next, true, err);
    return checked(lspListRest(a), err);
}

/* The arguments are a temporary chain that the caller frees after the
 * call, so the elements of the second one are moved, not copied. */
PLSPLIST biCons(PLSPLIST a, unsigned int *err)
{
    if (!isListOrNil(a->next))
        return typeError(a->next, err);
    Tree first(lspTreeCopy(a));
    PLSPLIST list = first ? lspListCons(first.get(), a->next) : nullptr;
    if (!list)
        return nomem(err);
    first.release();
    return list;
}

PLSPLIST biAppend(PLSPLIST a, unsigned int *err)
{
    for (PLSPLIST n = a; n; n = n->next)
        if (!isListOrNil(n))
            return typeError(n, err);
    Tree list(lspNewList(nullptr));
    PLSPLIST last = nullptr;
    if (!list)
        return nomem(err);
    for (PLSPLIST n = a; n; n = n->next)
        if (isList(n) && !appendCopies(list.get(), &last, n->down))
            return nomem(err);
    if (!list->down)
        lspSetNil(list.get());
    else
        lspListClose(list.get());
    return list.release();
}

bool entryMatches(PLSPLIST e, const char *key)
{
    return isList(e) && e->down && isText(e->down) &&
           _stricmp(e->down->value.psz, key) == 0;
}

PLSPLIST biAssoc(PLSPLIST a, unsigned int *err)
{
    PLSPLIST alist = a->next;
    if (!isListOrNil(alist))
        return typeError(alist, err);
    for (PLSPLIST e = isList(alist) ? alist->down : nullptr; e; e = e->next) {
        if (!entryMatches(e, lspNodeText(a)))
            continue;
        Tree list(lspNewList(nullptr));
        PLSPLIST last = list ? lspTreeCopy(a) : nullptr;
        if (last)
            lspAttach(list.get(), last);
        if (!last || !appendCopies(list.get(), &last, e->down->next))
            return nomem(err);
        lspListClose(list.get());
        return list.release();
    }
    return checked(lspNewNil(nullptr), err);
}

/* The entry (key value) of setassoc, placed first in the open list. */
bool addEntry(PLSPLIST list, PLSPLIST key, PLSPLIST value)
{
    PLSPLIST entry = lspNewList(list);
    if (!entry)
        return false;
    Tree k(lspTreeCopy(key)), v(lspTreeCopy(value));
    if (!k || !v || !lspAttach(entry, k.get()))
        return false;
    lspAttach(k.release(), v.release());
    lspListClose(entry);
    return true;
}

PLSPLIST biSetAssoc(PLSPLIST a, unsigned int *err)
{
    PLSPLIST alist = a->next, value = alist->next, last = nullptr;
    const char *key = lspNodeText(a);
    if (!isListOrNil(alist))
        return typeError(alist, err);
    Tree list(lspNewList(nullptr));
    if (!list)
        return nomem(err);
    if (value->type != LSP_T_NIL) {
        if (!addEntry(list.get(), a, value))
            return nomem(err);
        last = list->down;
    }
    for (PLSPLIST e = isList(alist) ? alist->down : nullptr; e; e = e->next) {
        if (entryMatches(e, key))
            continue;
        PLSPLIST c = lspTreeCopy(e);
        if (!c)
            return nomem(err);
        lspAttach(last ? last : list.get(), c);
        last = c;
    }
    if (!list->down)
        lspSetNil(list.get());
    else
        lspListClose(list.get());
    return list.release();
}

/* ---- types ---- */

constexpr size_t kCoerceTextSize = 4096;     // a list coerced to a string is cut to this

PLSPLIST biCoerce(PLSPLIST a, unsigned int *err)
{
    USHORT to = lspTypeCode(lspNodeText(a->next));
    USHORT from = a->type == LSP_T_OPENLIST ? LSP_T_LIST : a->type;

    if (from == to)
        return checked(lspTreeCopy(a), err);
    if (from == LSP_T_LIST && to == LSP_T_STRING) {
        Buffer buf = makeBuffer(kCoerceTextSize);
        if (!buf)
            return nomem(err);
        lspPrint(a, buf.get(), kCoerceTextSize);
        return checked(lspNewText(nullptr, buf.get(), LSP_T_STRING), err);
    }
    if (to == LSP_T_LIST) {
        Tree r(lspNewList(nullptr)), element(lspTreeCopy(a));
        if (!r || !element)
            return nomem(err);
        lspAttach(r.get(), element.release());
        lspListClose(r.get());
        return r.release();
    }
    if (from == LSP_T_DATETIME && to == LSP_T_FLOAT)
        return checked(lspNewDouble(nullptr, a->value.d, LSP_T_FLOAT), err);
    if (from == LSP_T_DATETIME && to == LSP_T_INTEGER)
        return checked(lspNewLong(nullptr, lspNodeLong(a)), err);
    return checked(lspNodeMake(nullptr, lspNodeText(a), to), err);
}

bool typeMatches(PLSPLIST a, const char *name)
{
    if (_stricmp(name, "number") == 0)
        return a->type == LSP_T_INTEGER || a->type == LSP_T_FLOAT || a->type == LSP_T_DATETIME;
    return _stricmp(lspTypeName(a->type), name) == 0;
}

/* 1 when x and y are equal, 0 when not, -1 when lists are nested too
 * deep to compare. */
int nodesEqual(PLSPLIST x, PLSPLIST y, int depth)
{
    if ((x->type & LSP_T_LIST) != (y->type & LSP_T_LIST))
        return 0;
    if (isList(x)) {
        PLSPLIST p, q;
        int eq;
        if (x->down == y->down)
            return 1;                   /* the same (shared) elements */
        if (depth > kMaxDepth)
            return -1;
        for (p = x->down, q = y->down; p && q; p = p->next, q = q->next)
            if ((eq = nodesEqual(p, q, depth + 1)) != 1)
                return eq;
        return !p && !q;
    }
    if (x->type != y->type)
        return false;
    switch (x->type) {
    case LSP_T_NIL:     return true;
    case LSP_T_INTEGER: return x->value.l == y->value.l;
    case LSP_T_SYMBOL:
    case LSP_T_STRING:  return strcmp(x->value.psz, y->value.psz) == 0;
    default:            return x->value.d == y->value.d;
    }
}

PLSPLIST biEql(PLSPLIST a, unsigned int *err)
{
    int eq = nodesEqual(a, a->next, 0);
    if (eq < 0) {
        lspFail(err, LSPERR_NOMEM, "nesting too deep");
        return nullptr;
    }
    return checked(lspNewTruth(nullptr, eq), err);
}

PLSPLIST biDebugPrint(PLSPLIST a, unsigned int *err)
{
    for (PLSPLIST n = a; n; n = n->next)
        KnlDbgPrintf(n->next ? "%s " : "%s\n", lspNodeText(n));
    return checked(lspNewText(nullptr, lspNodeText(lspLastOf(a)), LSP_T_STRING), err);
}

}  // namespace

/* ---- dispatcher ---- */

PLSPLIST lspBiCore(void *session, void *userData, unsigned short id, PLSPLIST a,
                   unsigned int *err)
{
    auto *s = static_cast<LSPSESSION *>(session);
    if (id < 100)
        return lspBiMath(s, id, a, err);
    if ((id >= 142 && id <= 152) || (id >= 157 && id <= 160))
        return lspBiHandle(s, id, a, err);
    if (id == 132 || id == 133 || id == 141 || (id >= 161 && id < BI_IF) || id == BI_SOUND)
        return lspBiFile(s, id, a, err);
    if (id < BI_IF)
        return lspBiStr(s, id, a, err);
    switch (id) {
    case BI_IF:        return biIf(s, a, err);
    case BI_WHILE:     return biWhile(s, a, err);
    case BI_EVAL:      return biEval(s, a, err);
    case BI_PROGN:     return checked(lspTreeCopy(lspLastOf(a)), err);
    case BI_QUOTE:     return checked(lspTreeCopyNilEmpty(a), err);
    case BI_BREAK:     lspFail(err, LSPERR_BREAK, ""); return nullptr;
    case BI_READSTR:   return biReadFromString(s, a, err);
    case BI_GETSYSVAR:
    case BI_SETSYSVAR: return lspBiSysVar(s, id, a, err);
    case BI_SET:       return biSet(s, a, err);
    case BI_SETQ:      return biSetq(s, a, err);
    case BI_DEFUN:     return biDefine(a, LSP_SYM_DEFUN, err);
    case BI_DEFMACRO:  return biDefine(a, LSP_SYM_MACRO, err);
    case BI_FREE:
    case BI_FREEQ:
        if (!isText(a))
            return typeError(a, err);
        return checked(lspNewTruth(nullptr, lspSymUnbind(a->value.psz)), err);
    case BI_DLLFUNC:   return lspBiDllFunc(s, a, err);
    case BI_BOUNDP:    return checked(lspNewTruth(nullptr, isText(a) && lspSymFind(a->value.psz)), err);
    case BI_APPLY:     return biApply(s, a, err);
    case BI_LENGTH:
        return checked(lspNewLong(nullptr, isList(a) ? static_cast<LONG>(lspCountChain(a->down)) : 0),
                       err);
    case BI_CAR:       return biCar(a, err);
    case BI_CDR:       return biCdr(a, err);
    case BI_LIST:      return listOfCopies(a, false, err);
    case BI_CONS:      return biCons(a, err);
    case BI_APPEND:    return biAppend(a, err);
    case BI_ASSOC:     return biAssoc(a, err);
    case BI_SETASSOC:  return biSetAssoc(a, err);
    case BI_TYPENUM:   return checked(lspNewLong(nullptr, a->type), err);
    case BI_TYPEOF:    return checked(lspNewText(nullptr, lspTypeName(a->type), LSP_T_SYMBOL), err);
    case BI_COERCE:    return biCoerce(a, err);
    case BI_TYPEP:     return checked(lspNewTruth(nullptr, typeMatches(a, lspNodeText(a->next))), err);
    case BI_EQL:       return biEql(a, err);
    case BI_DEBUGPRINT: return biDebugPrint(a, err);
    case kBiLoad:
    case kBiLsp2Lsq:   return lspBiLoad(s, id, a, err);
    default:
        lspFailf(err, LSPERR_UNKNOWNFN, "#%u", id);
        return nullptr;
    }
}

PLSPLIST lspBiStrTable(void *session, void *userData, unsigned short id, PLSPLIST a,
                       unsigned int *err)
{
    auto *s = static_cast<LSPSESSION *>(session);
    if (id == 146 || id == 147 || id == 163)
        return lspBiHandle(s, id, a, err);
    if ((id >= 130 && id <= 134) || id >= 140)
        return lspBiFileStrTable(s, id, a, err);
    return lspBiStr(s, id, a, err);
}

}  // namespace orin::lsp
