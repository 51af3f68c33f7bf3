/*
 * stu_match.cpp - the match scanner's handles: opening a cursor on text, a
 * caller's buffer or a file, and the exported calls, each of which checks
 * its handle and runs the cursor's operation (stu_cursor.cpp, stu_find.cpp).
 *
 * The cursors behind handles live in a handle pool: a handle that is not
 * a live cursor (made up, of another family, or closed) gets the answer of
 * a null cursor and 87 (invalid parameter) in the last error, without
 * being read through.  Each cursor belongs to one thread at a time.
 */
#include <climits>
#include <cstring>
#include "frame/boundary.h"
#include "frame/handle_pool.h"
#include "text/strint.h"
#include "text/stuint.h"

namespace orin::stu {
namespace {

constexpr ULONG kFileAttribute = 0x80;       // normal file
constexpr unsigned kAllDigits = 0xFFFF;      // digit limit of the unbounded decimal readers
constexpr unsigned kHexDigits = UINT_MAX;    // hexadecimal numbers have no digit limit

constinit HandlePool<_STUMATCH> cursors;

_STUMATCH *live(STUMATCH *h) noexcept
{
    return orin::str::liveRecord(cursors, h);
}

/* Hands out a new cursor made from args; 8 when memory runs out. */
template <class... Args>
USHORT handOut(STUMATCH **out, Args &&...args) noexcept
{
    return guardCode([&] {
        *out = cursors.make(std::forward<Args>(args)...).release();
        return USHORT{0};
    });
}

/* Runs f on the cursor of a live handle; without one the answer is
 * noCursor. */
template <class R, class F>
R onCursor(STUMATCH *h, R noCursor, F f) noexcept
{
    Cursor *c = live(h);
    return c ? static_cast<R>(f(*c)) : noCursor;
}

}  // namespace
}  // namespace orin::stu

using orin::stu::Cursor;
using orin::stu::live;

/* ---- Opening and closing ---- */

USHORT ORINAPI StuMatchOpen(const char *text, STUMATCH **cursor) noexcept
{
    if (!text || !cursor)
        return ORIN_ERR_INVALID_PARAM;
    return orin::guardCode([&] {
        std::size_t n = std::strlen(text) + 1;
        auto copy = std::make_unique_for_overwrite<BYTE[]>(n);
        std::memcpy(copy.get(), text, n);
        return orin::stu::handOut(cursor, std::move(copy));
    });
}

USHORT ORINAPI StuMatchOpenRealBuffer(const char *buffer, STUMATCH **cursor) noexcept
{
    if (!buffer || !cursor)
        return ORIN_ERR_INVALID_PARAM;
    return orin::stu::handOut(cursor, buffer);
}

/* The window and the record are made first; a file that does not open
 * leaves a null cursor and its error. */
USHORT ORINAPI StuMatchOpenFile(void *ns, const char *name, STUMATCH **cursor, ULONG openMode) noexcept
{
    if (!name || !cursor)
        return ORIN_ERR_INVALID_PARAM;
    return orin::guardCode([&] {
        auto window = std::make_unique_for_overwrite<BYTE[]>(orin::stu::kWindow + 1);
        auto c = orin::stu::cursors.make(std::move(window), ns);
        KNLHFILE h;
        ULONG action;
        USHORT rc = KnlNamOpen(ns, name, &h, &action, 0, orin::stu::kFileAttribute,
                               KNLNAM_OPEN_EXISTING, openMode, 0);
        if (rc) {
            *cursor = nullptr;
            return rc;
        }
        c->attachFile(h);
        *cursor = c.release();
        return USHORT{0};
    });
}

void ORINAPI StuMatchClose(STUMATCH *c) noexcept
{
    if (_STUMATCH *cur = live(c))
        orin::stu::cursors.destroy(cur);
}

void ORINAPI StuMatchRewind(STUMATCH *c) noexcept
{
    if (Cursor *cur = live(c))
        cur->rewind();
}

/* ---- Position and characters ---- */

using orin::stu::onCursor;

char *ORINAPI StuMatchPtr(STUMATCH *c) noexcept
{
    return onCursor<char *>(c, nullptr, [](Cursor &k) { return k.ptr(); });
}

USHORT ORINAPI StuMatchIndex(STUMATCH *c) noexcept
{
    return onCursor<USHORT>(c, 0, [](Cursor &k) { return k.index(); });
}

/* No cursor is at its end. */
USHORT ORINAPI StuMatchEom(STUMATCH *c) noexcept
{
    return onCursor<USHORT>(c, 1, [](Cursor &k) { return k.atEnd(); });
}

USHORT ORINAPI StuMatchQueryChar(STUMATCH *c) noexcept
{
    return onCursor<USHORT>(c, 0, [](Cursor &k) { return k.queryChar(); });
}

USHORT ORINAPI StuMatchGetChar(STUMATCH *c) noexcept
{
    return onCursor<USHORT>(c, 0, [](Cursor &k) { return k.getChar(); });
}

/* Without a cursor the copy is empty. */
USHORT ORINAPI StuMatchGetStr(STUMATCH *c, USHORT count, char *buf) noexcept
{
    if (Cursor *cur = live(c))
        return cur->getStr(count, buf);
    if (buf)
        buf[0] = 0;
    return 0;
}

USHORT ORINAPI StuMatchIsAlpha(STUMATCH *c) noexcept
{
    return onCursor<USHORT>(c, 0, [](Cursor &k) { return k.isAlpha(); });
}

USHORT ORINAPI StuMatchBlanks(STUMATCH *c) noexcept
{
    return onCursor<USHORT>(c, 0, [](Cursor &k) { return k.blanks(); });
}

USHORT ORINAPI StuMatchIsNumber(STUMATCH *c) noexcept
{
    return onCursor<USHORT>(c, 0, [](Cursor &k) { return k.digitFollows(false); });
}

USHORT ORINAPI StuMatchIsHexNumber(STUMATCH *c) noexcept
{
    return onCursor<USHORT>(c, 0, [](Cursor &k) { return k.digitFollows(true); });
}

/* ---- Literals ---- */

namespace {

/* The B forms skip blanks first; the skipping stays when the literal
 * does not follow. */
USHORT matchLiteral(STUMATCH *c, const char *literal, bool ignoreCase, bool blanksFirst) noexcept
{
    return onCursor<USHORT>(c, 0, [=](Cursor &k) {
        if (blanksFirst)
            k.blanks();
        return literal && k.match(literal, ignoreCase);
    });
}

USHORT matchName(STUMATCH *c, const char *name, bool ignoreCase) noexcept
{
    return onCursor<USHORT>(c, 0, [=](Cursor &k) { return name && k.matchName(name, ignoreCase); });
}

}  // namespace

USHORT ORINAPI StuMatchMatch(STUMATCH *c, const char *literal) noexcept
{
    return matchLiteral(c, literal, false, false);
}

USHORT ORINAPI StuMatchIMatch(STUMATCH *c, const char *literal) noexcept
{
    return matchLiteral(c, literal, true, false);
}

USHORT ORINAPI StuMatchBMatch(STUMATCH *c, const char *literal) noexcept
{
    return matchLiteral(c, literal, false, true);
}

USHORT ORINAPI StuMatchBIMatch(STUMATCH *c, const char *literal) noexcept
{
    return matchLiteral(c, literal, true, true);
}

USHORT ORINAPI StuMatchMatchName(STUMATCH *c, const char *name) noexcept
{
    return matchName(c, name, false);
}

USHORT ORINAPI StuMatchIMatchName(STUMATCH *c, const char *name) noexcept
{
    return matchName(c, name, true);
}

/* ---- Numbers: the short forms keep the low 16 bits ---- */

namespace {

using orin::stu::kAllDigits;
using orin::stu::kDecimalBase;
using orin::stu::kHexBase;
using orin::stu::kHexDigits;

LONG readSigned(STUMATCH *c, unsigned maxDigits, unsigned base) noexcept
{
    return onCursor<LONG>(c, 0, [=](Cursor &k) { return k.readSigned(maxDigits, base); });
}

/* No minus signs for the unsigned readers. */
ULONG readUnsigned(STUMATCH *c, unsigned maxDigits) noexcept
{
    return onCursor<ULONG>(c, 0, [=](Cursor &k) { return k.readDigits(maxDigits, kDecimalBase); });
}

}  // namespace

LONG ORINAPI StuMatchLongN(STUMATCH *c, USHORT maxDigits) noexcept { return readSigned(c, maxDigits, kDecimalBase); }
SHORT ORINAPI StuMatchShortN(STUMATCH *c, USHORT maxDigits) noexcept
{
    return static_cast<SHORT>(readSigned(c, maxDigits, kDecimalBase));
}
LONG ORINAPI StuMatchLong(STUMATCH *c) noexcept { return readSigned(c, kAllDigits, kDecimalBase); }
SHORT ORINAPI StuMatchShort(STUMATCH *c) noexcept
{
    return static_cast<SHORT>(readSigned(c, kAllDigits, kDecimalBase));
}
ULONG ORINAPI StuMatchULongN(STUMATCH *c, USHORT maxDigits) noexcept { return readUnsigned(c, maxDigits); }
USHORT ORINAPI StuMatchUShortN(STUMATCH *c, USHORT maxDigits) noexcept
{
    return static_cast<USHORT>(readUnsigned(c, maxDigits));
}
ULONG ORINAPI StuMatchULong(STUMATCH *c) noexcept { return readUnsigned(c, kAllDigits); }
USHORT ORINAPI StuMatchUShort(STUMATCH *c) noexcept { return static_cast<USHORT>(readUnsigned(c, kAllDigits)); }
LONG ORINAPI StuMatchHexLong(STUMATCH *c) noexcept { return readSigned(c, kHexDigits, kHexBase); }
SHORT ORINAPI StuMatchHexShort(STUMATCH *c) noexcept
{
    return static_cast<SHORT>(readSigned(c, kHexDigits, kHexBase));
}

/* The forward search; a null cursor or pattern finds nothing and leaves
 * an empty copy. */
USHORT ORINAPI StuMatchFindEx(STUMATCH *c, const char *pattern, USHORT flags, char *buf,
                              USHORT size, USHORT *overflow, const char *const *markers) noexcept
{
    Cursor *cur = live(c);
    if (!cur || !pattern) {
        if (overflow)
            *overflow = 0;
        if (size && buf)
            buf[0] = 0;
        return 0;
    }
    return cur->find(pattern, flags, buf, size, overflow, markers);
}
