/*
 * lsp_math.cpp - arithmetic, comparison and logic builtins of the core
 * table (ids below 100).
 *
 * Every number is read with the double getter, so integers, floats,
 * date-times and numeric text all work.  Results are floats, printed
 * without a decimal point when whole; a date-time anywhere among the
 * operands makes the result a date-time, which is how dates are shifted
 * by days.  A C math function that reports a domain or range error
 * through errno yields nil.
 */
#include <cerrno>
#include <cmath>
#include <cstring>
#include "lisp/lspint.h"
#include "num.h"

namespace orin::lsp {

namespace {

constexpr double kEqualEpsilon = 1e-200;
constexpr double kRandomMax = 4294967295.0;

enum {
    M_ADD = 10, M_MUL, M_SUB, M_DIV, M_IDIV, M_MOD,
    M_ABS = 20, M_TRUNC, M_FRAC, M_INT, M_ROUND,
    M_SIN, M_COS, M_TAN, M_ASIN, M_ACOS, M_ATAN, M_COSH, M_SINH, M_TANH,
    M_LOG, M_LOG10, M_EXP, M_RANDOM, M_SQRT,
    M_EQ = 51, M_NE, M_LT, M_GT, M_GE, M_LE, M_NEQ, M_NNE,
    M_SEQ = 70, M_SNE,
    M_MIN = 80, M_MAX, M_AVERAGE,
    M_AND = 90, M_OR, M_NOT
};

PLSPLIST number(double v, bool dateTime, unsigned int *err)
{
    return lspMade(lspNewDouble(nullptr, v, dateTime ? LSP_T_DATETIME : LSP_T_FLOAT), err);
}

PLSPLIST truth(int t, unsigned int *err)
{
    return lspMade(lspNewTruth(nullptr, t), err);
}

bool anyDateTime(PLSPLIST a)
{
    for (; a; a = a->next)
        if (a->type == LSP_T_DATETIME)
            return true;
    return false;
}

PLSPLIST fold(USHORT id, PLSPLIST a, unsigned int *err)
{
    double acc = lspNodeDouble(a);
    PLSPLIST n;
    for (n = a->next; n; n = n->next) {
        double v = lspNodeDouble(n);
        switch (id) {
        case M_ADD: acc += v; break;
        case M_MUL: acc *= v; break;
        case M_SUB: acc -= v; break;
        case M_DIV:
            if (v == 0.0) {
                lspFail(err, LSPERR_DIVZERO, "");
                return nullptr;
            }
            acc /= v;
            break;
        }
    }
    return number(acc, anyDateTime(a), err);
}

PLSPLIST intFold(USHORT id, PLSPLIST a, unsigned int *err)
{
    LONG acc = lspNodeLong(a);
    PLSPLIST n;
    for (n = a->next; n; n = n->next) {
        double dv = lspNodeDouble(n);
        LONG v = lspNodeLong(n);
        if (dv == 0.0 || v == 0) {
            lspFail(err, LSPERR_DIVZERO, "");
            return nullptr;
        }
        if (v == -1)      /* avoids the one overflowing quotient */
            acc = id == M_IDIV ? (LONG)(0UL - (ULONG)acc) : 0;
        else
            acc = id == M_IDIV ? acc / v : acc % v;
    }
    return number((double)acc, anyDateTime(a), err);
}

PLSPLIST unary(USHORT id, PLSPLIST a, unsigned int *err)
{
    double x = lspNodeDouble(a), r;
    bool dt = a->type == LSP_T_DATETIME;
    errno = 0;
    switch (id) {
    case M_ABS:    r = fabs(x); break;
    case M_TRUNC:  r = trunc(x); break;
    case M_FRAC:   r = x - trunc(x); break;
    case M_INT:    r = x >= 0 ? trunc(x) : trunc(x) - 1; break;
    case M_ROUND:  r = trunc(x >= 0 ? x + 0.5 : x - 0.5); break;
    case M_SIN:    r = sin(x); break;
    case M_COS:    r = cos(x); break;
    case M_TAN:    r = tan(x); break;
    case M_ASIN:   r = asin(x); break;
    case M_ACOS:   r = acos(x); break;
    case M_ATAN:   r = atan(x); break;
    case M_COSH:   r = cosh(x); break;
    case M_SINH:   r = sinh(x); break;
    case M_TANH:   r = tanh(x); break;
    case M_LOG:    r = log(x); break;
    case M_LOG10:  r = log10(x); break;
    case M_EXP:    r = exp(x); break;
    case M_SQRT:   r = sqrt(x); break;
    case M_RANDOM: r = x * (double)NumUlRandom() / kRandomMax; break;
    default:       r = 0; break;
    }
    if (errno || r != r)
        return lspMade(lspNewNil(nullptr), err);
    return number(r, dt && id <= M_ROUND, err);
}

PLSPLIST compare(USHORT id, PLSPLIST a, unsigned int *err)
{
    double x = lspNodeDouble(a), y = lspNodeDouble(a->next);
    int eq = fabs(x - y) < kEqualEpsilon;
    switch (id) {
    case M_EQ: case M_NEQ: return truth(eq, err);
    case M_NE: case M_NNE: return truth(!eq, err);
    case M_LT: return truth(x < y, err);
    case M_GT: return truth(x > y, err);
    case M_GE: return truth(x >= y, err);
    default:   return truth(x <= y, err);
    }
}

PLSPLIST strEqual(USHORT id, PLSPLIST a, unsigned int *err)
{
    PLSPLIST b = a->next;
    int eq;
    if (a->type != LSP_T_STRING) {
        lspFail(err, LSPERR_TYPE, lspNodeText(a));
        return nullptr;
    }
    if (b->type != LSP_T_STRING) {
        lspFail(err, LSPERR_TYPE, lspNodeText(b));
        return nullptr;
    }
    eq = strcmp(a->value.psz, b->value.psz) == 0;
    return truth(id == M_SEQ ? eq : !eq, err);
}

PLSPLIST extremes(USHORT id, PLSPLIST a, unsigned int *err)
{
    double acc = lspNodeDouble(a);
    ULONG count = 1;
    PLSPLIST n;
    for (n = a->next; n; n = n->next, count++) {
        double v = lspNodeDouble(n);
        if (id == M_MIN && v < acc) acc = v;
        else if (id == M_MAX && v > acc) acc = v;
        else if (id == M_AVERAGE) acc += v;
    }
    if (id == M_AVERAGE)
        acc /= count;
    return number(acc, anyDateTime(a), err);
}

PLSPLIST logic(USHORT id, PLSPLIST a, unsigned int *err)
{
    int all = 1, any = 0;
    for (; a; a = a->next) {
        int t = lspNodeTruth(a);
        all = all && t;
        any = any || t;
    }
    return truth(id == M_AND ? all : any, err);
}

}  // namespace

PLSPLIST lspBiMath(LSPSESSION *s, USHORT id, PLSPLIST a, unsigned int *err)
{
    switch (id) {
    case M_ADD: case M_MUL: case M_SUB: case M_DIV: return fold(id, a, err);
    case M_IDIV: case M_MOD:                        return intFold(id, a, err);
    case M_EQ: case M_NE: case M_LT: case M_GT:
    case M_GE: case M_LE: case M_NEQ: case M_NNE:   return compare(id, a, err);
    case M_SEQ: case M_SNE:                         return strEqual(id, a, err);
    case M_MIN: case M_MAX: case M_AVERAGE:         return extremes(id, a, err);
    case M_AND: case M_OR:                          return logic(id, a, err);
    case M_NOT:                                     return truth(!lspNodeTruth(a), err);
    default:
        if (id >= M_ABS && id <= M_SQRT)
            return unary(id, a, err);
        lspFailf(err, LSPERR_UNKNOWNFN, "#%u", id);
        return nullptr;
    }
}

}  // namespace orin::lsp
