/*
 * rt.h - rich-text strings (RtStr): narrow strings with embedded formatting.
 *
 * A rich-text string is an ordinary zero-terminated narrow string (str.h)
 * in which formatting changes stand as escape sequences: the escape byte
 * 0x7F, one code letter, an optional decimal number and an optional ';'
 * that ends the number.  Everything else is visible text.
 *
 *   b  bold off (0) / on          i  italic off / on
 *   s  strike-out off / on        u  underline off / single / double (2)
 *   p  position normal / small / small raised (2)
 *   f  font index 0..255 (an entry of the context)
 *   c  foreground colour index    g  background colour; 256 or more: none
 *   x  horizontal rule flag (the number is ignored; nothing clears it)
 *
 * A missing number counts as 0.  Numbers saturate at 65535; f keeps the
 * low 8 bits of its number.  An escape byte followed by anything other
 * than a code letter is visible text itself; an escape byte right before
 * the terminator ends the string.  Visible text steps over double-byte
 * characters as the Str family does: an escape byte that is the trail
 * byte of a double-byte character is part of that character.
 *
 * The formatting state is a 16-bit formatting word (RT_FMT_*), a colour
 * and a background (RT_NO_BACKGROUND for none); a string starts with word
 * 0, colour 0 and no background.
 *
 * Stored form: the escape byte is written as '^' and a literal '^' as
 * "^^".  Format strings of the RtStrSprintf family use the same caret
 * convention ("^b1;" switches bold on).  A string in which an escape byte
 * that is text stands directly before a '^' or another escape byte (no
 * function here makes one) does not come back unchanged from its stored
 * form.
 *
 * A context is a font table of up to 256 entries (face name and size:
 * negative = points, positive = device pixels, 0 = 12 points); entry i is
 * font index i.  Its text form is "name,size;" per entry.
 *
 * Heap results (strings, run arrays and run texts) come from the C run
 * time's malloc; the caller releases them with free().  Calls that return
 * a pointer or a count return null or 0 on failure and leave the code in
 * the last error: 87 for a null argument or a position past the visible
 * text, 6 for a context handle that is not live, 8 when memory runs out.
 * Context calls that return a code answer 0xFFFF for a null or dead
 * context, a bad index or a full table.  Positions and counts are in
 * visible characters unless the name says bytes.
 */
#ifndef RT_H
#define RT_H

#include <stdarg.h>
#include <stddef.h>
#include "orinbase.h"

ORIN_BEGIN_DECLS

#define RT_ESCAPE            0x7F    /* the escape byte of the in-memory form */
#define RT_CARET             '^'     /* the escape byte in stored form and formats */

/* The formatting word */
#define RT_FMT_ITALIC        0x0001
#define RT_FMT_BOLD          0x0002
#define RT_FMT_FONT          0x03FC  /* font index << 2 */
#define RT_FMT_FONT_SHIFT    2
#define RT_FMT_STRIKEOUT     0x0400
#define RT_FMT_UNDERLINE     0x0800
#define RT_FMT_DUNDERLINE    0x1000
#define RT_FMT_SMALL         0x2000  /* position 1 */
#define RT_FMT_RAISED        0x4000  /* position 2 */
#define RT_FMT_RULE          0x8000  /* the x code */
#define RT_FMT_ATTRIBUTES    0xFC03  /* everything but the font index */

#define RT_NO_BACKGROUND     0xFFFF
#define RT_CONTEXT_CAPACITY  256
#define RT_ERR_CONTEXT       0xFFFF  /* null or dead context, bad index, full table */
#define RT_ERR_FORMAT        0xFFFF  /* RtStrSNprintf: output did not fit / failed */

/* One run of equal formatting, as RtStrSplit hands them out (14 bytes). */
#pragma pack(push, 1)
typedef struct _RTSTRRUN {
    USHORT usFormat;       /* formatting word */
    USHORT usColor;        /* foreground colour index */
    USHORT usBackColor;    /* background colour index or RT_NO_BACKGROUND */
    char  *pszText;        /* the run's visible text, owned by the caller */
} RTSTRRUN, *PRTSTRRUN;
#pragma pack(pop)

typedef struct _RTCONTEXT *PRTCONTEXT;   /* owned by the family */

/* Contexts */
PRTCONTEXT ORINAPI RtStrCreateContext(void) ORIN_NOEXCEPT;
void   ORINAPI RtStrDestroyContext(PRTCONTEXT ctx) ORIN_NOEXCEPT;
USHORT ORINAPI RtStrAddContextEntry(PRTCONTEXT ctx, const char *face, SHORT size) ORIN_NOEXCEPT;
USHORT ORINAPI RtStrDeleteContextEntry(PRTCONTEXT ctx, USHORT index) ORIN_NOEXCEPT;
USHORT ORINAPI RtStrQueryContextEntry(PRTCONTEXT ctx, USHORT index, const char **face,
                                      SHORT *size) ORIN_NOEXCEPT;
char  *ORINAPI RtStrStoreContext(PRTCONTEXT ctx) ORIN_NOEXCEPT;
PRTCONTEXT ORINAPI RtStrRetrieveContext(const char *text) ORIN_NOEXCEPT;

/* Conversion; a null context in RtMakeRtTxt writes no context text */
ULONG  ORINAPI RtMakeRtTxt(PRTCONTEXT ctx, const char *s, char **text) ORIN_NOEXCEPT;
USHORT ORINAPI RtSplitRtTxt(const char *text, PRTCONTEXT *ctx, char **s) ORIN_NOEXCEPT;
char  *ORINAPI RtStrMakeStore(const char *s, ULONG *length) ORIN_NOEXCEPT;
char  *ORINAPI RtStrRetrieveStore(const char *stored) ORIN_NOEXCEPT;
char  *ORINAPI RtStrToStr(const char *s, char *out) ORIN_NOEXCEPT;
char  *ORINAPI RtStripFromFormatting(const char *s) ORIN_NOEXCEPT;
ULONG  ORINAPI RtStrSplit(const char *s, PRTSTRRUN *runs, ULONG maxRuns) ORIN_NOEXCEPT;
USHORT ORINAPI RtStrSplitAndPaste(char *s) ORIN_NOEXCEPT;

/* Queries */
size_t ORINAPI RtStrLen(const char *s) ORIN_NOEXCEPT;
size_t ORINAPI RtStrNBytesToNChr(const char *s, size_t bytes) ORIN_NOEXCEPT;
char  *ORINAPI RtStrChr(const char *s, USHORT ch) ORIN_NOEXCEPT;
char  *ORINAPI RtStrRChr(const char *s, USHORT ch) ORIN_NOEXCEPT;
char  *ORINAPI RtStrStr(const char *s, const char *pattern) ORIN_NOEXCEPT;
char  *ORINAPI RtStrIStr(const char *s, const char *pattern) ORIN_NOEXCEPT;
char  *ORINAPI RtStrStrAttr(const char *s, const char *pattern, USHORT mask,
                            USHORT value) ORIN_NOEXCEPT;
char  *ORINAPI RtStrIStrAttr(const char *s, const char *pattern, USHORT mask,
                             USHORT value) ORIN_NOEXCEPT;
char  *ORINAPI RtStrNAttr(const char *s, size_t bytes, USHORT *font, USHORT *attributes,
                          USHORT *color, USHORT *background) ORIN_NOEXCEPT;
char  *ORINAPI RtStrNCAttr(const char *s, size_t chars, USHORT *font, USHORT *attributes,
                           USHORT *color, USHORT *background) ORIN_NOEXCEPT;

/* Copies (byte-wise, like their Str twins) */
char  *ORINAPI RtStrCat(char *dst, const char *src) ORIN_NOEXCEPT;
char  *ORINAPI RtStrCpy(char *dst, const char *src) ORIN_NOEXCEPT;
char  *ORINAPI RtStrNCpy(char *dst, const char *src, size_t n) ORIN_NOEXCEPT;
char  *ORINAPI RtStrDup(const char *s) ORIN_NOEXCEPT;

/* Changing the visible text in place (escape sequences stay) */
char  *ORINAPI RtStrUpr(char *s) ORIN_NOEXCEPT;
char  *ORINAPI RtStrLwr(char *s) ORIN_NOEXCEPT;
char  *ORINAPI RtStrSet(char *s, USHORT ch) ORIN_NOEXCEPT;
char  *ORINAPI RtStrDeleteChar(char *s, size_t pos) ORIN_NOEXCEPT;
char  *ORINAPI RtStrInsertChar(char *s, size_t pos, USHORT ch) ORIN_NOEXCEPT;
char  *ORINAPI RtStrInsertStr(char *s, size_t pos, const char *text) ORIN_NOEXCEPT;
char  *ORINAPI RtStrPreInsertStr(char *s, size_t pos, const char *text) ORIN_NOEXCEPT;
char  *ORINAPI RtStrLTrim(char *s) ORIN_NOEXCEPT;
char  *ORINAPI RtStrRTrim(char *s) ORIN_NOEXCEPT;
char  *ORINAPI RtStrLRTrim(char *s) ORIN_NOEXCEPT;

/* Formatting with caret-convention format strings */
int    __cdecl RtStrSprintf(char *buf, const char *fmt, ...) ORIN_NOEXCEPT;
int    ORINAPI RtStrVSprintf(char *buf, const char *fmt, va_list ap) ORIN_NOEXCEPT;
USHORT __cdecl RtStrSNprintf(char *buf, size_t size, const char *fmt, ...) ORIN_NOEXCEPT;
USHORT ORINAPI RtStrVSNprintf(char *buf, size_t size, const char *fmt, va_list ap) ORIN_NOEXCEPT;

ORIN_END_DECLS

#endif /* RT_H */
